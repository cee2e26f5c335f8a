// AVI files frame by frame: our files read back and pass the peers' probes,
// the peers' files read frame for frame, and cut or hostile files fail
// cleanly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "core/lkbitmap.h"
#include "io/lkavilib.h"
#include "io/lkformatrow.h"
#include "io/lkmultipage.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/avifile.h"
#include "platform/avilib.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

// Frame f of a W x H moving pattern; Colours > 0 keeps it to that many greys.
void Paint(TLKBitmap& B, Integer W, Integer H, int F, int Colours = 0) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      Byte* p = row + 3 * x;
      if (Colours) {
        p[0] = p[1] = p[2] = Byte(((x + y + F) % Colours) * (255 / Colours));
      } else {
        p[0] = Byte(x * 9 + F * 40);
        p[1] = Byte(y * 13 + F);
        p[2] = Byte((x ^ y) * 5 + F * 3);
      }
    }
  }
}

// The largest difference of two pictures' samples, or with Mean the mean
// difference (lossy codings differ most at sharp edges).
int MaxDiff(TLKBitmap& A, TLKBitmap& B, bool Mean = false) {
  if (A.GetWidth() != B.GetWidth() || A.GetHeight() != B.GetHeight()) return 1000;
  int d = 0;
  long long sum = 0;
  for (Integer y = 0; y < A.GetHeight(); ++y) {
    auto* a = static_cast<const Byte*>(A.GetScanLine(y));
    auto* b = static_cast<const Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < A.GetWidth() * 3; ++x) {
      d = std::max(d, std::abs(int(a[x]) - int(b[x])));
      sum += std::abs(int(a[x]) - int(b[x]));
    }
  }
  return Mean ? int(sum / (A.GetWidth() * A.GetHeight() * 3)) : d;
}

bool Have(const char* Tool) { return std::system((String("command -v ") + Tool + " >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const String& Cmd) {
  std::string out;
  if (FILE* f = ::popen(Cmd.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    ::pclose(f);
  }
  return out;
}

struct Avi : ::testing::Test {
  TempDir dir;
  TLumerakIO io;

  // Writes Frames frames of the pattern at Rate with Codec.
  String Write(const String& Name, const String& Codec, int Frames, Integer Rate, int Colours = 0) {
    const String file = dir.File(Name);
    io.CreateAVIFile(file, Rate, Codec);
    EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
    for (int f = 0; f < Frames; ++f) {
      Paint(*io.GetLKBitmap(), 23, 17, f, Colours);
      io.SaveToAVI();
      EXPECT_FALSE(io.GetAborted()) << io.GetAbortReason();
    }
    io.CloseAVIFile();
    return file;
  }
};

// Plain 24-bit, 256-colour and Motion-JPEG files read back frame by frame.
TEST_F(Avi, OurFilesReadBack) {
  struct Row {
    const char* Codec;
    int Colours;
    int Tolerance;
  };
  // Motion-JPEG frames: a mean difference (the frames differ by far more).
  for (const Row& r : {Row{"", 0, 0}, Row{"", 4, 0}, Row{"MJPG", 0, 10}}) {
    SCOPED_TRACE(r.Codec + std::to_string(r.Colours));
    if (r.Colours) io.GetIOParams()->BITSPERSAMPLE = 8, io.GetIOParams()->SAMPLESPERPIXEL = 1;
    const String file = Write("a.avi", r.Codec, 3, 25, r.Colours);
    io.GetIOParams()->BITSPERSAMPLE = 8;
    io.GetIOParams()->SAMPLESPERPIXEL = 3;
    ASSERT_EQ(io.OpenAVIFile(file), 3) << io.GetAbortReason();
    EXPECT_TRUE(io.IsOpenAVI());
    for (int f = 0; f < 3; ++f) {
      io.LoadFromAVI(f);
      ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
      TLKBitmap want;
      Paint(want, 23, 17, f, r.Colours);
      io.GetLKBitmap()->ConvertToPixelFormat(lk24RGB);
      EXPECT_LE(MaxDiff(*io.GetLKBitmap(), want, *r.Codec != 0), r.Tolerance) << f;
    }
    EXPECT_EQ(io.GetIOParams()->AVI_FrameDelayTime, 40);
    EXPECT_EQ(io.GetIOParams()->AVI_FrameCount, 3);
    EXPECT_EQ(io.GetIOParams()->BITSPERSAMPLE, 8);
    EXPECT_EQ(io.GetIOParams()->SAMPLESPERPIXEL, r.Colours ? 1 : 3);
    // An index past the end loads nothing and still finishes.
    Recorder rec(io);
    io.LoadFromAVI(3);
    EXPECT_FALSE(io.GetAborted());
    EXPECT_EQ(rec.Finishes, 1);
    io.OnProgress = nullptr;
    io.OnFinishWork = nullptr;
    io.CloseAVIFile();
    EXPECT_FALSE(io.IsOpenAVI());
    EXPECT_EQ(LKGetFileFramesCount(file), 3);
  }
}

// The file road loads frame IMAGEINDEX and names the type.
TEST_F(Avi, FileRoadLoadsTheIndexedFrame) {
  const String file = Write("clip.avi", "", 3, 10);
  io.GetIOParams()->IMAGEINDEX = 2;
  io.LoadFromFile(file);
  ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
  TLKBitmap want;
  Paint(want, 23, 17, 2);
  EXPECT_EQ(MaxDiff(*io.GetLKBitmap(), want), 0);
  EXPECT_EQ(io.GetIOParams()->FILETYPE, lkftAVI);
  EXPECT_FALSE(io.IsOpenAVI());
}

TEST_F(Avi, WritingRefusesWhatItCannotWrite) {
  io.CreateAVIFile(dir.File("x.avi"), 25, "XVID");
  EXPECT_TRUE(io.GetAborted());
  io.CreateAVIFile(dir.File("x.avi"), 0, "");
  EXPECT_TRUE(io.GetAborted());
  EXPECT_THROW(io.CreateAVIFile(dir.File("no/such/x.avi"), 25, ""), EInvalidGraphic);
  io.CreateAVIFile(dir.File("x.avi"), 25, "");
  Paint(*io.GetLKBitmap(), 8, 8, 0);
  io.SaveToAVI();
  Paint(*io.GetLKBitmap(), 9, 8, 0);  // every frame the size of the first
  io.SaveToAVI();
  EXPECT_TRUE(io.GetAborted());
  io.CloseAVIFile();
  EXPECT_EQ(io.OpenAVIFile(dir.File("x.avi")), 1);
}

// The AVI file library is started once for the process, by whichever
// component first opens or creates a file, and its starts never go below
// zero.
TEST_F(Avi, TheLibraryIsStartedOnce) {
  const Integer before = AVIFileStarts();
  const bool started = gAVIFILEinit;
  const String file = Write("clip.avi", "", 2, 10);
  EXPECT_EQ(io.OpenAVIFile(file), 2);
  TLumerakIO other;
  other.OpenAVIFile(dir.File("missing.avi"));
  other.CreateAVIFile(dir.File("y.avi"), 25, "");
  EXPECT_TRUE(gAVIFILEinit);
  EXPECT_EQ(AVIFileStarts(), started ? before : before + 1);
  for (Integer i = 0; i <= AVIFileStarts() + 1; ++i) AVIFileExit();
  EXPECT_EQ(AVIFileStarts(), 0);
  AVIFileInit();
  EXPECT_EQ(AVIFileStarts(), 1);
}

// Frame durations from the stream's rate and scale; a rate of 0 gives 0.
TEST_F(Avi, FrameDelays) {
  const String file = Write("d.avi", "", 1, 25);
  const std::string bytes = ReadAll(file);
  struct Row {
    Cardinal Rate, Scale;
    Integer Delay;
  };
  for (const Row& r : {Row{25, 1, 40}, Row{30000, 1001, 33}, Row{0, 1, 0}}) {
    std::string b = bytes;
    // The stream header's data starts at 108: RIFF (12), the header list
    // (12), the main header (8 + 56), the stream list (12), its chunk head.
    std::memcpy(&b[108 + 20], &r.Scale, 4);
    std::memcpy(&b[108 + 24], &r.Rate, 4);
    WriteAll(dir.File("r.avi"), b);
    ASSERT_EQ(io.OpenAVIFile(dir.File("r.avi")), 1);
    io.LoadFromAVI(0);
    EXPECT_EQ(io.GetIOParams()->AVI_FrameDelayTime, r.Delay) << r.Rate;
  }
}

// Cut and hostile files: no crash, the frames that are whole still read.
TEST_F(Avi, CutAndHostileFiles) {
  const std::string good = ReadAll(Write("g.avi", "", 3, 25));
  const size_t frame = size_t(((23 * 3 + 3) & ~3) * 17);
  struct Row {
    const char* Fault;
    std::function<std::string()> Make;
    Integer Frames;  // -1: refused
  };
  auto put32 = [](std::string b, size_t at, Cardinal v) {
    std::memcpy(&b[at], &v, 4);
    return b;
  };
  const size_t movi = good.find("movi");
  const std::vector<Row> rows = {
      {"not RIFF", [&] { return "RIFX" + good.substr(4); }, -1},
      {"no more than a header", [&] { return good.substr(0, 12); }, -1},
      {"cut inside the second frame", [&] { return good.substr(0, movi + 4 + 2 * (8 + frame) - 10); }, 1},
      {"a frame size past the file", [&] { return put32(good, movi + 8, 0xFFFFFFF0u); }, 0},
      {"a huge list size", [&] { return put32(good, movi - 4, 0xFFFFFFFFu); }, 3},
      {"no video stream", [&] { return put32(good, 108, 0x73647561u /* "auds" */); }, -1},
      {"a width of 0", [&] { return put32(good, good.find("strf") + 12, 0); }, -1},
      {"an unknown coding", [&] { return put32(good, good.find("strf") + 24, 0x34363248u); }, -1},
  };
  for (const Row& r : rows) {
    WriteAll(dir.File("h.avi"), r.Make());
    const Integer n = io.OpenAVIFile(dir.File("h.avi"));
    EXPECT_EQ(r.Frames < 0, io.GetAborted()) << r.Fault << ": " << io.GetAbortReason();
    EXPECT_EQ(n, r.Frames < 0 ? 0 : r.Frames) << r.Fault;
    for (Integer i = 0; i < n; ++i) {
      io.LoadFromAVI(i);
      EXPECT_FALSE(io.GetAborted()) << r.Fault << " " << i << ": " << io.GetAbortReason();
    }
  }
}

// Our files as the peers see them: the frame count, the rate, the coding.
TEST_F(Avi, PeersProbeOurFiles) {
  if (!Have("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
  for (const char* codec : {"", "MJPG"}) {
    const String file = Write("p.avi", codec, 4, 15);
    const std::string out = Output("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                "stream=codec_name,r_frame_rate,nb_read_frames,width,height -of csv=p=0 '" +
                                file + "'");
    EXPECT_EQ(out, std::string(*codec ? "mjpeg" : "rawvideo") + ",23,17,15/1,4\n") << codec;
    if (!Have("gst-discoverer-1.0")) continue;
    const std::string seen = Output("gst-discoverer-1.0 -v '" + file + "' 2>&1");
    EXPECT_NE(seen.find("Frame rate: 15/1"), std::string::npos) << seen;
    EXPECT_NE(seen.find("Duration: 0:00:00.266666666"), std::string::npos) << seen;
  }
}

// Files the peers write read frame for frame like the frames ffmpeg
// decodes from them.
TEST_F(Avi, PeerFilesReadFrameForFrame) {
  if (!Have("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const String src = "ffmpeg -v error -y -f lavfi -i testsrc=size=32x24:rate=10 -frames:v 5 ";
  const String gst = "gst-launch-1.0 -q videotestsrc num-buffers=5 ! video/x-raw,width=32,height=24,framerate=10/1";
  struct Row {
    String Make;  // writes the file named last
    int Tolerance;
    bool NeedsGst;
  };
  const std::vector<Row> rows = {
      {src + "-c:v rawvideo -pix_fmt bgr24", 0, false},
      {src + "-c:v rawvideo -pix_fmt pal8", 0, false},
      {src + "-c:v mjpeg -q:v 3", 12, false},
      {gst + ",format=BGR ! avimux ! filesink location=", 0, true},
      {gst + " ! jpegenc ! avimux ! filesink location=", 12, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Make);
    if (r.NeedsGst && !Have("gst-launch-1.0")) continue;
    const String avi = dir.File("peer.avi");
    const String raw = dir.File("peer.rgb");
    ASSERT_EQ(std::system((r.Make + (r.NeedsGst ? "" : " ") + "'" + avi + "'").c_str()), 0);
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + avi + "' -f rawvideo -pix_fmt bgr24 '" + raw + "'").c_str()),
              0);
    const std::string frames = ReadAll(raw);
    ASSERT_EQ(io.OpenAVIFile(avi), 5) << io.GetAbortReason();
    ASSERT_EQ(frames.size(), size_t(5 * 32 * 24 * 3));
    for (int f = 0; f < 5; ++f) {
      io.LoadFromAVI(f);
      ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
      TLKBitmap want;
      want.Allocate(32, 24, lk24RGB);
      for (Integer y = 0; y < 24; ++y)
        std::memcpy(want.GetScanLine(y), frames.data() + (f * 24 + y) * 32 * 3, 32 * 3);
      io.GetLKBitmap()->ConvertToPixelFormat(lk24RGB);
      EXPECT_LE(MaxDiff(*io.GetLKBitmap(), want), r.Tolerance) << f;
    }
  }
}

}  // namespace
