// Frames of media files through the media framework, on short files made
// at test time: each frame a grey level of its own, so a seek to the wrong
// frame shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "io/lkmultipage.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// Ten frames at Rate per second, frame k grey 20 k, coded with Codec.
bool MakeClip(const String& File, const char* Codec, const char* Rate) {
  const String cmd = "ffmpeg -v error -y -f lavfi -i \"nullsrc=s=32x24:r=" + String(Rate) +
                     ",geq=lum='N*20':cb=128:cr=128\" "
                     "-frames:v 10 -c:v " + String(Codec) + " '" + File + "'";
  return std::system(cmd.c_str()) == 0;
}

int MeanGrey(TLKBitmap& B) {
  long long sum = 0;
  for (Integer y = 0; y < B.GetHeight(); ++y) {
    auto* row = static_cast<const Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < B.GetWidth() * 3; ++x) sum += row[x];
  }
  return int(sum / (B.GetWidth() * B.GetHeight() * 3));
}

TEST(Media, FramesCountsAndSeeks) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  struct Row {
    const char* Name;
    const char* Codec;
    const char* Rate;
    Integer Delay;
  };
  for (const Row& r : {Row{"clip.mkv", "mjpeg -q:v 2", "25", 40}, Row{"clip.mov", "mjpeg -q:v 2", "25", 40},
                       Row{"ntsc.mkv", "mjpeg -q:v 2", "30000/1001", 33}}) {
    SCOPED_TRACE(r.Name);
    const String file = dir.File(r.Name);
    ASSERT_TRUE(MakeClip(file, r.Codec, r.Rate));
    TLumerakIO io;
    ASSERT_EQ(io.OpenMediaFile(file), 10) << io.GetAbortReason();
    EXPECT_TRUE(io.IsOpenMediaFile());
    EXPECT_EQ(io.GetIOParams()->MEDIAFILE_FRAMECOUNT, 10);
    EXPECT_EQ(io.GetIOParams()->WIDTH, 32);
    EXPECT_EQ(io.GetIOParams()->HEIGHT, 24);
    // Out of order, as a thumbnail strip or a slider asks for them.
    for (int k : {7, 0, 9, 3, 4}) {
      io.LoadFromMediaFile(k);
      ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
      EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 32);
      // Video levels (16 to 235) come out as full-range RGB.
      EXPECT_NEAR(MeanGrey(*io.GetLKBitmap()), std::max(0, (20 * k - 16) * 255 / 219), 4) << k;
      EXPECT_EQ(io.GetIOParams()->IMAGEINDEX, k);
    }
    EXPECT_EQ(io.GetIOParams()->MEDIAFILE_FRAMEDELAYTIME, r.Delay);
    io.CloseMediaFile();
    EXPECT_FALSE(io.IsOpenMediaFile());
    EXPECT_EQ(LKGetFileFramesCount(file), 10);
  }
}

TEST(Media, WhatCannotBePlayedOpensNothing) {
  TempDir dir;
  const String junk = dir.File("junk.mkv");
  WriteAll(junk, "this is no media file at all");
  TLumerakIO io;
  for (const String& f : {junk, dir.File("missing.mkv")}) {
    EXPECT_EQ(io.OpenMediaFile(f), 0) << f;
    EXPECT_TRUE(io.GetAborted());
    EXPECT_FALSE(io.IsOpenMediaFile());
    io.LoadFromMediaFile(0);  // nothing open: nothing happens
    EXPECT_EQ(LKGetFileFramesCount(f), 0);
  }
}

}  // namespace
