// The RAW road with the real plug-in: the library's own camera RAW record
// removed and the plug-in registered as the program does, files read
// through the plug-in bridge and the I/O component, and the developed
// picture saved as JPEG.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/lkbitmap.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lumerakio.h"
#include "raw/lkraw.h"
#include "raw/rawfiles.h"

using rawfiles::Bytes;
using rawfiles::SamePixels;

namespace {

// Registers the plug-in in place of the library's own record, as the main
// window does; the module end afterwards restores the built-in registry.
class RawRoadTest : public testing::Test {
 protected:
  void SetUp() override {
    LKFileFormatRemove(20);
    type = LKAddExtIOPlugin("rawdevlib.dll");
  }
  void TearDown() override { LKIOModuleEnd(); }
  Integer type = 0;
};

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/rawroadXXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
};

}  // namespace

TEST_F(RawRoadTest, PluginRegistersForTheRawExtension) {
  ASSERT_GE(type, kLKFirstExternalFormat);
  EXPECT_EQ(LKExtToFileFormat("RAW"), type);
  EXPECT_EQ(LKExtToFileFormat("nef"), type);
}

// The bridge over the plug-in and the built-in reader give the same
// pictures on every kit file.
TEST_F(RawRoadTest, BridgeGivesTheBuiltInReadersPictures) {
  ASSERT_GE(type, kLKFirstExternalFormat);
  for (const auto& f : rawfiles::Kit()) {
    for (bool wide : {false, true}) {
      SCOPED_TRACE(f.name + (wide ? " 48-bit" : " 24-bit"));
      TIOParamsVals pp, bp;
      for (TIOParamsVals* p : {&pp, &bp}) {
        p->ISNATIVEPIXELFORMAT = wide;
        p->RAW_QUICKINTERPOLATE = false;
      }
      pp.FILETYPE = type;
      TLKBitmap viaBridge, builtIn;
      std::atomic<bool> a1{false}, a2{false};
      TProgressRec r1, r2;
      r1.AbortFlag = &a1;
      r2.AbortFlag = &a2;
      auto s1 = rawfiles::Stream(f.bytes);
      auto s2 = rawfiles::Stream(f.bytes);
      LKExtIOPluginRead(*s1, viaBridge, pp, r1, false);
      LKReadCameraRAWStream(*s2, builtIn, bp, r2, false);
      ASSERT_FALSE(a1.load());
      ASSERT_FALSE(a2.load());
      EXPECT_TRUE(SamePixels(viaBridge, builtIn));
      EXPECT_EQ(pp.RAW_CAMERA, bp.RAW_CAMERA);
    }
  }
}

// A synthetic 24-megapixel file of a camera the identification knows,
// loaded by the RAW road and saved as JPEG.
TEST_F(RawRoadTest, LoadTwentyFourMegapixelsAndSaveAsJpeg) {
  ASSERT_GE(type, kLKFirstExternalFormat);
  TempDir dir;
  const std::string raw = (dir.path / "big.raw").string();
  {
    const Bytes file = rawfiles::Nucore(4000, 6000);
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  }
  TLumerakIO io;
  io.GetIOParams()->RAW_QUICKINTERPOLATE = true;
  std::vector<Integer> progress;
  io.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
  io.LoadFromFileRAW(raw);
  ASSERT_FALSE(io.GetAborted());
  TLKBitmap* b = io.GetLKBitmap();
  EXPECT_EQ(b->GetWidth(), 5998);
  EXPECT_EQ(b->GetHeight(), 3998);
  EXPECT_EQ(b->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(io.GetIOParams()->RAW_CAMERA, "Nucore RAW ");
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);

  const std::string jpg = (dir.path / "big.jpg").string();
  io.SaveToFile(jpg);
  ASSERT_FALSE(io.GetAborted());
  TLumerakIO back;
  back.LoadFromFileAuto(jpg);
  ASSERT_FALSE(back.GetAborted());
  EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 5998);
  EXPECT_EQ(back.GetLKBitmap()->GetHeight(), 3998);
}

// The thumbnail request on the RAW road: the embedded picture in place of a
// development.
TEST_F(RawRoadTest, ThumbnailRequestThroughTheIOComponent) {
  ASSERT_GE(type, kLKFirstExternalFormat);
  TempDir dir;
  const std::string raw = (dir.path / "shot.crw").string();
  {
    const Bytes file = rawfiles::CanonCiff(48, 64, true);
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  }
  TLumerakIO io;
  io.GetIOParams()->SetRAW_GetExifThumbnail(true);
  io.LoadFromFileRAW(raw);
  ASSERT_FALSE(io.GetAborted());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 40);
  EXPECT_EQ(io.GetLKBitmap()->GetHeight(), 30);
  // Without the request the same file is developed.
  TLumerakIO dev;
  dev.LoadFromFileRAW(raw);
  ASSERT_FALSE(dev.GetAborted());
  EXPECT_EQ(dev.GetLKBitmap()->GetWidth(), 62);
  EXPECT_EQ(dev.GetLKBitmap()->GetHeight(), 46);
}
