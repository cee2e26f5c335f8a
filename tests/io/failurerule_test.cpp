// The failure rule of the I/O component, pinned: every load road against
// every kind of bad input either raises or sets the abort flag (where the
// content names no format, the flag alone: nothing started, so no finish),
// reports the finish when it started work, and never sizes a picture past
// the allocation gate; a
// failing save leaves the old file and no temporary file.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "core/lkioglobals.h"
#include "io/lkextio.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "raw/kit/identfiles.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

// The gate's limit while these tests run: small enough that every huge
// header is refused, large enough for the fixtures.
constexpr Int64 kLimit = Int64{64} << 20;

// ---------------------------------------------------------------------------
// Inputs

// A 64 x 48 JPEG from the library's own writer.
std::string GoodJpeg() {
  TLumerakIO io;
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(64, 48, lk24RGB);
  for (Integer y = 0; y < 48; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < 64 * 3; ++x) row[x] = Byte(x * 7 + y * 13);
  }
  TMemoryStream s;
  io.SaveToStreamJpeg(&s);
  return std::string(static_cast<const char*>(s.Memory()), size_t(s.Size()));
}

// The JPEG with its frame header claiming Width x Height, cut to Keep bytes.
std::string JpegClaiming(Word Width, Word Height, size_t Keep) {
  std::string j = GoodJpeg();
  const size_t sof = j.find("\xFF\xC0");
  j[sof + 5] = char(Height >> 8);
  j[sof + 6] = char(Height & 0xFF);
  j[sof + 7] = char(Width >> 8);
  j[sof + 8] = char(Width & 0xFF);
  return j.substr(0, Keep);
}

std::string Str(const rawkit::Bytes& B) { return std::string(B.begin(), B.end()); }

// The fake plug-in's format: "LKXF", width, height, pixel format, options,
// rows offset (little-endian int32 each).
std::string PluginHeader(int32_t W, int32_t H) {
  std::string h(24, '\0');
  std::memcpy(h.data(), "LKXF", 4);
  const int32_t v[5] = {W, H, 5, 0, 24};
  for (int i = 0; i < 5; ++i)
    for (int b = 0; b < 4; ++b) h[size_t(4 + 4 * i + b)] = char(uint32_t(v[i]) >> (8 * b));
  return h;
}

enum Family { kJpeg, kRaw, kPlugin };

// One kind of bad input per family.
struct Input {
  const char* Name;
  bool Missing;
  std::function<std::string(Family)> Make;
};

const std::vector<Input>& Inputs() {
  static const std::vector<Input> inputs = {
      {"missing", true, [](Family) { return std::string(); }},
      {"empty", false, [](Family) { return std::string(); }},
      {"truncated", false,
       [](Family f) {
         switch (f) {
           case kJpeg: return GoodJpeg().substr(0, GoodJpeg().size() * 2 / 5);
           // Sensor data at 26 for 64 x 64 pixels, only 100 bytes of it.
           case kRaw: return Str(rawkit::nucore_file("BR", 26, 64, 64, false, 126));
           case kPlugin: return PluginHeader(8, 8).substr(0, 14);
         }
         return std::string();
       }},
      {"corrupt", false,
       [](Family f) {
         std::string junk(600, '\x55');
         if (f == kJpeg) junk.replace(0, 4, "\xFF\xD8\xFF\xE0", 4);
         if (f == kPlugin) junk.replace(0, 4, "LKXF");
         return junk;
       }},
      {"huge header", false,
       [](Family f) {
         switch (f) {
           case kJpeg: return JpegClaiming(65500, 65500, 659);
           case kRaw: return Str(rawkit::nucore_file("BR", 26, 60000, 60000, false, 26));
           case kPlugin: return PluginHeader(65500, 65500);
         }
         return std::string();
       }},
  };
  return inputs;
}

// ---------------------------------------------------------------------------
// Roads

// kNothing: nothing was started (no progress, no finish), and the abort
// flag says so with its reason.
enum Expect { kRaises, kFlag, kNothing };

struct Road {
  const char* Name;
  Family F;
  const char* Ext;  // the input is written to "in" + Ext
  std::function<void(TLumerakIO&, const String& File, TStream* Stream)> Run;
  // What a missing file does, and what an input no format is named by does.
  Expect Missing;
  Expect Unnamed;
};

constexpr Integer kRegistryType = 5000;

const std::vector<Road>& Roads() {
  static const std::vector<Road> roads = {
      {"file", kJpeg, ".jpg", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFile(f); }, kRaises, kFlag},
      {"file by content", kJpeg, ".bin", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFileAuto(f); },
       kNothing, kNothing},
      {"stream", kJpeg, ".jpg", [](TLumerakIO& io, const String&, TStream* s) { io.LoadFromStream(s); }, kNothing,
       kNothing},
      {"format", kJpeg, ".jpg",
       [](TLumerakIO& io, const String&, TStream* s) { io.LoadFromStreamFormat(s, lkftJPEG); }, kNothing, kFlag},
      {"per format", kJpeg, ".jpg", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFileJpeg(f); },
       kRaises, kFlag},
      {"registry", kJpeg, ".jqx", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFile(f); }, kRaises,
       kFlag},
      {"plug-in", kPlugin, ".fk1", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFile(f); }, kRaises,
       kFlag},
      {"registry by type", kJpeg, ".jqx",
       [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFileFormat(f, kRegistryType); }, kRaises, kFlag},
      {"plug-in stream", kPlugin, ".fk1",
       [](TLumerakIO& io, const String&, TStream* s) { io.LoadFromStreamFormat(s, LKExtToFileFormat("FK1")); },
       kNothing, kFlag},
      {"camera RAW", kRaw, ".nef", [](TLumerakIO& io, const String& f, TStream*) { io.LoadFromFileRAW(f); },
       kRaises, kFlag},
  };
  return roads;
}

class FailureRule : public ::testing::Test {
 protected:
  void SetUp() override {
    LKSetAllocationLimit(kLimit);
    // An outside format served by the JPEG codec through the registry road.
    TLKFileFormatInfo info;
    info.FormatType = kRegistryType;
    info.FormatName = "Registry JPEG";
    info.ExtensionList = "JQX";
    info.ReadProc = LKFileFormatGetInfo(lkftJPEG)->ReadProc;
    info.WriteProc = LKFileFormatGetInfo(lkftJPEG)->WriteProc;
    LKFileFormatAdd(info);
    ASSERT_GT(LKAddExtIOPlugin(String(LKX_FAKE_PLUGIN_DIR) + "/lkxfakeone.so"), 0);
  }
  void TearDown() override { LKSetAllocationLimit(0); }
  FreshRegistry registry;
  TempDir dir;
};

TEST_F(FailureRule, EveryRoadRaisesOrSetsTheFlagAndNeverAllocatesPastTheGate) {
  for (const Road& road : Roads()) {
    for (const Input& in : Inputs()) {
      SCOPED_TRACE(std::string(road.Name) + " / " + in.Name);
      const String file = dir.File(String("in") + road.Ext);
      std::remove(file.c_str());
      const std::string bytes = in.Make(road.F);
      if (!in.Missing) WriteAll(file, bytes);
      TMemoryStream stream;
      if (!bytes.empty()) stream.WriteBuffer(bytes.data(), Integer(bytes.size()));
      stream.Seek(0, soBeginning);

      // Content no probe names goes nowhere on the roads that detect.
      const bool named = !bytes.empty();
      const Expect expect = in.Missing ? road.Missing : named ? kFlag : road.Unnamed;

      TLumerakIO io;
      io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
      Recorder rec(io);
      bool raised = false;
      try {
        road.Run(io, file, in.Missing ? nullptr : &stream);
      } catch (const Exception&) {
        raised = true;
      }
      switch (expect) {
        case kRaises: EXPECT_TRUE(raised); break;
        case kFlag:
          EXPECT_FALSE(raised);
          EXPECT_TRUE(io.GetAborted());
          EXPECT_EQ(rec.Finishes, 1);
          EXPECT_TRUE(rec.AbortedAtFinish);
          break;
        case kNothing:
          EXPECT_FALSE(raised);
          EXPECT_TRUE(io.GetAborted());
          EXPECT_FALSE(io.GetAbortReason().empty());
          EXPECT_EQ(rec.Finishes, 0);
          EXPECT_EQ(rec.Progresses(), 0);
          break;
      }
      TLKBitmap* b = io.GetLKBitmap();
      EXPECT_LE(LKPictureBytes(b->GetWidth(), b->GetHeight(), 24), kLimit);
      EXPECT_EQ(dir.Names().size(), in.Missing ? 0u : 1u);  // no temporary file either
      std::remove(file.c_str());
    }
  }
}

TEST_F(FailureRule, TheGatesRefusalSaysWhy) {
  const String file = dir.File("huge.jpg");
  // Long enough for the coded data such a picture needs, so that the
  // allocation limit, not the shortness of the data, is what refuses it.
  std::string jpeg = JpegClaiming(5000, 5000, 659);
  jpeg.resize(100000, '\0');
  WriteAll(file, jpeg);
  TLumerakIO io;
  io.LoadFromFile(file);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_NE(io.GetAbortReason().find("allocation limit"), String::npos) << io.GetAbortReason();
  io.SetAborted(false);
  EXPECT_TRUE(io.GetAbortReason().empty());
}

// In a process whose file-size limit is 512 MB, with the gate's own
// default, a small file claiming a huge picture ends in the abort flag:
// no picture file grows past the limit, so the process is not killed by
// SIGXFSZ. The load runs in a child process, which may lower its limits.
TEST_F(FailureRule, AHugeHeaderUnderAFileSizeLimitEndsInTheAbortFlag) {
  const String file = dir.File("huge.jpg");
  WriteAll(file, JpegClaiming(65500, 65500, 659));
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto loadUnderLimit = [&] {
    LKSetAllocationLimit(0);
    rlimit lower;
    lower.rlim_cur = lower.rlim_max = rlim_t{512} << 20;
    setrlimit(RLIMIT_FSIZE, &lower);
    TLumerakIO io;
    io.LoadFromFile(file);
    std::_Exit(io.GetAborted() ? 0 : 1);
  };
  EXPECT_EXIT(loadUnderLimit(), ::testing::ExitedWithCode(0), "");
}

// A save that fails (nothing to write) on every save road: the old file
// stays byte for byte and nothing else is left in the folder.
TEST_F(FailureRule, AFailingSaveLeavesTheOldFileAndNoTemporaryFile) {
  const std::function<void(TLumerakIO&, const String&)> saves[] = {
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".jpg"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFileJpeg(f + ".jpg"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".jqx"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".tif"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".fk1"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".pdf"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFilePS(f + ".ps"); },
      [](TLumerakIO& io, const String& f) { io.SaveToFile(f + ".jp2"); },
  };
  const String base = dir.File("old");
  const char* const exts[] = {".jpg", ".jqx", ".tif", ".fk1", ".pdf", ".ps", ".jp2"};
  for (const char* ext : exts) WriteAll(base + ext, "OLD");
  for (const auto& save : saves) {
    TLumerakIO io;  // an empty picture: every writer refuses it
    try {
      save(io, base);
    } catch (const Exception&) {
    }
    EXPECT_TRUE(io.GetAborted());
    for (const char* ext : exts) EXPECT_EQ(ReadAll(base + ext), "OLD") << ext;
    EXPECT_EQ(dir.Names().size(), std::size(exts));
  }
}

// Saves write through a symbolic link (the link stays), refuse a file
// nobody may write, and take away the new files that killed saves of the
// same target left beside it.
TEST_F(FailureRule, SavesKeepLinksHonourReadOnlyFilesAndRemoveStaleNewFiles) {
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(8, 8, lk24RGB);
  const String real = dir.File("real.jpg"), link = dir.File("link.jpg");
  WriteAll(real, "OLD");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  io.SaveToFile(link);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(real).substr(0, 2), "\xFF\xD8");

  const String locked = dir.File("locked.jpg");
  WriteAll(locked, "OLD");
  ::chmod(locked.c_str(), 0444);
  EXPECT_THROW(io.SaveToFile(locked), EFCreateError);
  EXPECT_EQ(ReadAll(locked), "OLD");

  const String fresh = dir.File("fresh.jpg");
  WriteAll(fresh + ".~999999-0", "left by a killed save");
  io.SaveToFile(fresh);
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(dir.Names().size(), 4u);  // real, link, locked, fresh
}

// Picture buffers of a killed process are removed by a later start; those
// in use (locked) or written just now are not.
TEST_F(FailureRule, StalePictureBuffersAreRecognisedAndRemoved) {
  const String folder = dir.File("") ;
  const String stale = dir.File("IMG-0000ABCD.tmp");
  WriteAll(stale, "left behind");
  const timeval old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ::utimes(stale.c_str(), old);
  WriteAll(dir.File("IMG-0000ABCE.tmp"), "written just now");
  WriteAll(dir.File("IMG-notours.tmp"), "another name");
  DefTEMPPATH = folder;
  TLKBitmap inUse;
  inUse.SetMinFileSize(0);
  inUse.SetLocation(lkFile);
  inUse.Allocate(16, 16, lk24RGB);
  const String inUseName = inUse.GetFileBuffer()->GetFileName();
  ::utimes(inUseName.c_str(), old);
  EXPECT_EQ(LKRemoveStaleTempFiles(folder, 600), 1);
  DefTEMPPATH.clear();
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(inUseName));
  EXPECT_EQ(dir.Names().size(), 3u);
}

}  // namespace
