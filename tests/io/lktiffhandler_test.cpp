// TIFF tag reader and whole-file tag editor: round trips of real pages in
// both byte orders, the old-style JPEG rewrite, typed set and get, and the
// typed reads of a page and its EXIF directory.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "codecs/tiff/tiffilt.h"
#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lktiffhandler.h"

using filekit::Bytes;

namespace {

Bytes Contents(TMemoryStream& S) {
  const Byte* p = static_cast<const Byte*>(S.GetMemory());
  return Bytes(p, p + S.GetSize());
}

// A TIFF of pages in flat shades written by the codec; Old makes page 1
// old-style JPEG.
Bytes MakeFile(std::initializer_list<Byte> Shades, bool Old = false, bool Exif = false) {
  TMemoryStream s;
  Integer i = 0;
  for (Byte shade : Shades) {
    TLKBitmap b;
    b.Allocate(32, 16, lk24RGB);
    b.Fill(shade);
    TIOParamsVals p(nullptr);
    p.TIFF_IMAGEINDEX = i;
    p.TIFF_COMPRESSION = Old && i == 1 ? ioTIFF_OLDJPEG : ioTIFF_LZW;
    p.EXIF_HASEXIF = Exif;
    p.EXIF_EXPOSURETIME = 0.25;
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    s.SetPosition(i == 0 ? 0 : s.GetSize());
    TIFFWriteStream(&s, i > 0, &b, p, pr);
    ++i;
  }
  return Contents(s);
}

Integer ShadeOf(const Bytes& File, Integer Page) {
  TMemoryStream s;
  s.Write(File.data(), static_cast<Integer>(File.size()));
  s.SetPosition(0);
  TIOParamsVals p(nullptr);
  p.TIFF_IMAGEINDEX = Page;
  TLKBitmap b;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  Integer pages = 0;
  TIFFReadStream(&b, &s, pages, &p, pr, false, nullptr, false, true, false);
  return abort.load() || b.IsEmpty() ? -1 : b.GetPixels(3, 3).r;
}

TEST(TiffHandler, ReadWriteKeepsPagesAndOrdersTheLayout) {
  const Bytes file = MakeFile({40, 90, 140});
  TLKTIFFHandler h;
  TMemoryStream in, out;
  in.Write(file.data(), static_cast<Integer>(file.size()));
  in.SetPosition(0);
  ASSERT_TRUE(h.ReadStream(&in));
  ASSERT_EQ(h.GetPagesCount(), 3);
  h.DeletePage(1);
  h.WriteStream(&out);
  const Bytes written = Contents(out);
  EXPECT_EQ(ShadeOf(written, 0), 40);
  EXPECT_EQ(ShadeOf(written, 1), 140);
  // Each directory is sorted; the last links to nothing; page data follows
  // its directory.
  TLKTIFFHandler again;
  out.SetPosition(0);
  ASSERT_TRUE(again.ReadStream(&out));
  for (Integer p = 0; p < again.GetPagesCount(); ++p)
    for (Integer t = 1; t < again.GetTagsCount(p); ++t) EXPECT_LT(again.GetTagCode(p, t - 1), again.GetTagCode(p, t));
  DWORD first, dir2;
  std::memcpy(&first, &written[4], 4);
  const Word n = Word(written[first] | written[first + 1] << 8);
  std::memcpy(&dir2, &written[first + 2 + 12 * n], 4);
  EXPECT_GT(dir2, first);
  const Word n2 = Word(written[dir2] | written[dir2 + 1] << 8);
  DWORD last;
  std::memcpy(&last, &written[dir2 + 2 + 12 * n2], 4);
  EXPECT_EQ(last, 0u);
  if (filekit::HaveTool("tiffinfo")) {
    filekit::TempDir dir("tiffhandler");
    filekit::SaveFile(dir / "h.tif", written);
    EXPECT_EQ(std::system(("tiffinfo -D '" + (dir / "h.tif") + "' >/dev/null 2>&1").c_str()), 0);
  }
}

TEST(TiffHandler, BigEndianFilesStayBigEndian) {
  if (!filekit::HaveTool("tiffcp")) GTEST_SKIP() << "no tiffcp";
  filekit::TempDir dir("tiffhandlerbe");
  filekit::SaveFile(dir / "le.tif", MakeFile({70, 20}));
  ASSERT_TRUE(filekit::RunTool("tiffcp -B '" + (dir / "le.tif") + "' '" + (dir / "be.tif") + "'"));
  TLKTIFFHandler h;
  ASSERT_TRUE(h.ReadFile(dir / "be.tif"));
  EXPECT_TRUE(h.GetBigEndian());
  EXPECT_EQ(h.GetIntegerByCode(0, 256, 0), 32);
  h.WriteFile(dir / "out.tif");
  const Bytes out = filekit::LoadFile(dir / "out.tif");
  EXPECT_EQ(out[0], 'M');
  EXPECT_EQ(ShadeOf(out, 1), 20);
  // Pages of the other byte order are not mixed in.
  EXPECT_FALSE(h.InsertTIFFFile(dir / "le.tif", 0));
  EXPECT_FALSE(h.ReadFile(dir / "missing.tif"));
}

TEST(TiffHandler, OldJpegPagesKeepTheirStreamAndPointAtTheScan) {
  const Bytes file = MakeFile({50, 200}, true);
  TLKTIFFHandler h;
  TMemoryStream in, out;
  in.Write(file.data(), static_cast<Integer>(file.size()));
  in.SetPosition(0);
  ASSERT_TRUE(h.ReadStream(&in));
  EXPECT_EQ(h.FindTag(1, 273), -1);
  EXPECT_GE(h.FindTag(1, 513), 0);
  h.WriteStream(&out);
  EXPECT_EQ(h.FindTag(1, 273), -1);
  const Bytes written = Contents(out);
  EXPECT_NEAR(ShadeOf(written, 1), 200, 3);
  TLKTIFTagsReader r(&out, 1);
  const DWORD strip = static_cast<DWORD>(r.GetInteger(273));
  ASSERT_LT(strip + 1, written.size());
  EXPECT_EQ(written[strip], 0xFF);
  EXPECT_EQ(written[strip + 1], 0xDA);
}

TEST(TiffHandler, TypedValues) {
  TLKTIFFHandler h;
  TMemoryStream in;
  const Bytes file = MakeFile({1});
  in.Write(file.data(), static_cast<Integer>(file.size()));
  in.SetPosition(0);
  ASSERT_TRUE(h.ReadStream(&in));
  h.SetValue(0, 282, 5, 0.5);
  Integer t = h.FindTag(0, 282);
  EXPECT_EQ(h.GetTagLengthInBytes(0, t), 8);
  EXPECT_DOUBLE_EQ(h.GetFloat(0, t, 0), 0.5);
  DWORD num;
  std::memcpy(&num, h.GetValueRAW(0, t, 0), 4);
  EXPECT_EQ(num, 5000u);
  h.SetValue(0, 305, 2, String("abc"));
  t = h.FindTag(0, 305);
  EXPECT_EQ(h.GetTagLength(0, t), 4);
  EXPECT_EQ(h.GetString(0, t), String("abc\0", 4));
  const Byte ten[10] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  h.SetValueRAW(0, 50000, 1, 10, ten);
  t = h.FindTag(0, 50000);
  EXPECT_EQ(h.GetTagLengthInBytes(0, t), 10);
  EXPECT_EQ(*h.GetValueRAW(0, t, 0), 9);
  h.SetValue(0, 40000, 8, -1);
  EXPECT_EQ(h.GetInteger(0, h.FindTag(0, 40000), 0), 65535);
  EXPECT_EQ(h.GetTagDescription(0, h.FindTag(0, 256)), "ImageWidth");
  EXPECT_EQ(h.GetTagDescription(0, h.FindTag(0, 50000)), "Unknown");
  EXPECT_EQ(h.GetTagCode(5, 0), -1);
  EXPECT_EQ(h.GetTagsCount(5), 0);
  EXPECT_THROW(h.GetInteger(0, 999, 0), EListError);
  // The changed file reads back with the new values.
  TMemoryStream out;
  h.WriteStream(&out);
  TLKTIFTagsReader r(&out, 0);
  EXPECT_DOUBLE_EQ(r.GetRational(282), 0.5);
  EXPECT_EQ(r.GetString(305), String("abc\0", 4));
  EXPECT_EQ(r.GetRawData(50000), Bytes(ten, ten + 10));
}

TEST(TiffTagsReader, PageAndExifDirectory) {
  const Bytes file = MakeFile({1, 2}, false, true);
  TMemoryStream s;
  s.Write(file.data(), static_cast<Integer>(file.size()));
  TLKTIFTagsReader page(&s, 1);
  EXPECT_EQ(page.GetDirectoryCount(), 2);
  EXPECT_EQ(page.GetInteger(256), 32);
  EXPECT_TRUE(page.TagExists(34665));
  TLKTIFTagsReader exif(page, 34665);
  EXPECT_DOUBLE_EQ(exif.GetRational(33434), 0.25);
  TLKTIFTagsReader missing(&s, 9);
  EXPECT_FALSE(missing.TagExists(256));
  EXPECT_EQ(missing.GetInteger(256), 0);
}

}  // namespace
