// The I/O unit's lossless-transform, quality and injection services on
// files and streams: results, and files left untouched when they fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/file_kit.h"
#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkjpegtransform.h"
#include "io/lumerakio.h"

namespace fs = std::filesystem;

namespace {

using filekit::Bytes;
using filekit::LoadFile;
using filekit::SaveFile;
struct TempDir : filekit::TempDir {
  TempDir() : filekit::TempDir("lkiox_") {}
};

Bytes MakeJpeg(Integer W, Integer H, Integer Quality = 80) {
  TLKBitmap bmp(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) row[x] = TRGB{Byte(x * 5), Byte(y * 7), Byte(x + y)};
  }
  TIOParamsVals params;
  params.JPEG_QUALITY = Quality;
  TMemoryStream ms;
  TProgressRec pr;
  WriteJPegStream(&ms, &bmp, params, pr);
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  return Bytes(p, p + ms.GetSize());
}

// Reads a JPEG file with its metadata.
bool ReadFile(const std::string& name, TLKBitmap& bmp, TIOParamsVals& params) {
  TFileStream fs(name, fmOpenRead);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  ReadJPegStream(&fs, nullptr, &bmp, params, pr, false, false, true, false, false, false, -1);
  return !abort.load();
}

TEST(JpegTransformFiles, InPlaceTransformReplacesTheFileOnlyOnSuccess) {
  TempDir dir;
  const std::string name = dir / "pic.jpg";
  const Bytes original = MakeJpeg(48, 32);
  SaveFile(name, original);

  fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(JpegLosslessTransform2(name, jtRotate90, false, jcCopyAll, TRect{}));
  // The replaced file keeps its permissions.
  EXPECT_EQ(fs::status(name).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TLKBitmap bmp;
  TIOParamsVals params;
  ASSERT_TRUE(ReadFile(name, bmp, params));
  EXPECT_EQ(bmp.GetWidth(), 32);
  EXPECT_EQ(bmp.GetHeight(), 48);
  EXPECT_EQ(dir.Files(), 1u);

  // A crop outside the picture fails: the file stays exactly as it was.
  const Bytes rotated = LoadFile(name);
  EXPECT_FALSE(JpegLosslessTransform2(name, jtCut, false, jcCopyAll, TRect{500, 500, 600, 600}));
  EXPECT_TRUE(LoadFile(name) == rotated);
  EXPECT_EQ(dir.Files(), 1u);

  // Not a JPEG at all.
  const std::string text = dir / "text.jpg";
  SaveFile(text, Bytes(200, 'a'));
  EXPECT_FALSE(JpegLosslessTransform2(text, jtRotate180, false, jcCopyNone, TRect{}));
  EXPECT_TRUE(LoadFile(text) == Bytes(200, 'a'));
  EXPECT_EQ(dir.Files(), 2u);
}

TEST(JpegTransformFiles, FileToFileAndStreams) {
  TempDir dir;
  const std::string in = dir / "in.jpg", out = dir / "out.jpg";
  SaveFile(in, MakeJpeg(40, 24));
  EXPECT_FALSE(JpegLosslessTransform(dir / "missing.jpg", out, jtRotate90, false, jcCopyNone, TRect{}));
  EXPECT_FALSE(JpegLosslessTransform(in, dir / "no/such/folder.jpg", jtRotate90, false, jcCopyNone, TRect{}));
  EXPECT_FALSE(fs::exists(out));

  // A failed transform over an existing output keeps that output.
  SaveFile(out, Bytes{1, 2, 3});
  EXPECT_FALSE(JpegLosslessTransform(in, out, jtCut, true, jcCopyNone, TRect{-1, 0, 5, 5}));
  EXPECT_TRUE(LoadFile(out) == (Bytes{1, 2, 3}));
  ASSERT_TRUE(JpegLosslessTransform(in, out, jtCut, true, jcCopyNone, TRect{17, 0, 30, 7}));
  const std::string fresh = dir / "fresh.jpg";
  ASSERT_TRUE(JpegLosslessTransform(in, fresh, jtNone, false, jcCopyNone, TRect{}));
  EXPECT_TRUE((fs::status(fresh).permissions() & fs::perms::others_read) != fs::perms::none);
  fs::remove(fresh);
  TLKBitmap bmp;
  TIOParamsVals params;
  ASSERT_TRUE(ReadFile(out, bmp, params));
  EXPECT_EQ(params.JPEG_COLORSPACE, ioJPEG_GRAYLEV);
  EXPECT_EQ(bmp.GetWidth(), 16);  // grey MCUs are 8 pixels: x 16 .. 31
  EXPECT_EQ(bmp.GetHeight(), 8);
  EXPECT_EQ(dir.Files(), 2u);

  TMemoryStream src, dst;
  const Bytes jpeg = MakeJpeg(16, 16);
  src.Write(jpeg.data(), static_cast<Integer>(jpeg.size()));
  src.SetPosition(0);
  EXPECT_TRUE(JpegLosslessTransformStream(&src, &dst, jtTranspose, false, jcCopyNone, TRect{}));
  TMemoryStream empty, sink;
  EXPECT_FALSE(JpegLosslessTransformStream(&empty, &sink, jtTranspose, false, jcCopyNone, TRect{}));
}

TEST(JpegQualityFiles, MeanOfTheTables) {
  TempDir dir;
  const std::string name = dir / "q.jpg";
  SaveFile(name, MakeJpeg(16, 16, 75));
  EXPECT_EQ(LKCalcJpegFileQuality(name), 75);
  TMemoryStream none;
  none.Write("no tables here", 14);
  none.SetPosition(0);
  EXPECT_EQ(LKCalcJpegStreamQuality(&none), 0);
  EXPECT_THROW(LKCalcJpegFileQuality(dir / "missing.jpg"), EFOpenError);
}

TEST(JpegInjectFiles, IptcRoundTripAndUntouchedFileOnFailure) {
  TempDir dir;
  const std::string name = dir / "pic.jpg";
  SaveFile(name, MakeJpeg(24, 24));
  TLumerakIO io;
  std::vector<Integer> reports;
  io.OnProgress = [&](TObject*, Integer p) { reports.push_back(p); };
  io.GetIOParams()->IPTC_Records.AddStringItem(2, 120, "A caption");
  ASSERT_TRUE(io.InjectJpegIPTC(name));
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), 100);
  EXPECT_EQ(dir.Files(), 1u);
  TLKBitmap bmp;
  TIOParamsVals params;
  ASSERT_TRUE(ReadFile(name, bmp, params));
  ASSERT_EQ(params.IPTC_Records.GetCount(), 1);
  EXPECT_EQ(params.IPTC_Records.GetStrings(0), "A caption");

  // A block too large for one marker: false, and the file is unchanged.
  const Bytes before = LoadFile(name);
  io.GetIOParams()->IPTC_Records.AddStringItem(2, 25, std::string(66000, 'k'));
  EXPECT_FALSE(io.InjectJpegIPTC(name));
  EXPECT_TRUE(LoadFile(name) == before);
  EXPECT_EQ(dir.Files(), 1u);
  EXPECT_THROW(io.InjectJpegIPTC(dir / "missing.jpg"), EFOpenError);
}

TEST(JpegInjectFiles, ExifFileAndStreams) {
  TempDir dir;
  const std::string name = dir / "pic.jpg";
  const Bytes jpeg = MakeJpeg(24, 16);
  SaveFile(name, jpeg);
  TLumerakIO io;
  TIOParamsVals* p = io.GetIOParams();
  p->EXIF_HASEXIF = true;
  p->EXIF_MAKE = "Abcdef";
  ASSERT_TRUE(io.InjectJpegEXIF(name));
  const Bytes injected = LoadFile(name);
  const std::string exif = "Exif";
  EXPECT_NE(std::search(injected.begin(), injected.end(), exif.begin(), exif.end()), injected.end());
  TLKBitmap bmp;
  TIOParamsVals read;
  EXPECT_TRUE(ReadFile(name, bmp, read));

  TMemoryStream src, dst;
  src.Write(jpeg.data(), static_cast<Integer>(jpeg.size()));
  src.SetPosition(0);
  EXPECT_TRUE(io.InjectJpegEXIFStream(&src, &dst));
  EXPECT_EQ(dst.GetSize(), static_cast<Int64>(injected.size()));
  src.SetPosition(0);
  TMemoryStream dst2;
  p->IPTC_Records.AddStringItem(2, 5, "title");
  EXPECT_TRUE(io.InjectJpegIPTCStream(&src, &dst2));
}

}  // namespace
