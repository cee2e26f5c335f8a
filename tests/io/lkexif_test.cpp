// EXIF and XMP reading: EXIF blocks of JPEG APP1 markers in both byte
// orders with GPS, orientation, resolution, maker note and thumbnail, the
// search for a TIFF header inside camera-like files, EXIF from such a TIFF,
// turning pictures upright, XMP packets, and hostile blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "common/tiff_builder.h"
#include "core/lkbitmap.h"
#include "io/lkexif.h"
#include "io/lkparams.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// A small picture whose pixels all differ.
void Paint(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x)
      B.SetPixels_lk24RGB(x, y, TRGB{Byte(10 + 40 * x), Byte(20 + 60 * y), Byte(200 - 10 * x)});
}

// A JPEG of a flat colour (flat, so lossy coding keeps it exactly enough).
Bytes FlatJpeg(Integer W, Integer H, TRGB Colour) {
  TLKBitmap b(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) b.SetPixels_lk24RGB(x, y, Colour);
  TIOParamsVals p(nullptr);
  p.JPEG_QUALITY = 95;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TMemoryStream m;
  WriteJPegStream(&m, &b, p, pr);
  Bytes out(static_cast<size_t>(m.GetSize()));
  std::memcpy(out.data(), m.GetMemory(), out.size());
  return out;
}

// The EXIF TIFF of a camera picture: make, model, orientation, resolution,
// an EXIF directory with a maker note, a GPS directory, and a second page
// holding a JPEG thumbnail of ThumbW x ThumbH.
Bytes CameraTiff(bool le, Integer Orientation, Integer ThumbW = 16, Integer ThumbH = 8) {
  tiffkit::Builder b(le);
  const int ifd0 = b.AddIfd();
  const int thumb = b.AddIfd();
  const int exif = b.AddIfd(false);
  const int gps = b.AddIfd(false);
  b.Ascii(ifd0, 270, "a description");
  b.Ascii(ifd0, 271, "Velmoran Optics");
  b.Ascii(ifd0, 272, "VX-1");
  b.Short(ifd0, 274, {static_cast<uint16_t>(Orientation)});
  b.Rational(ifd0, 282, {{145, 2}});
  b.Rational(ifd0, 283, {{72, 1}});
  b.Short(ifd0, 296, {2});
  b.Ascii(ifd0, 306, "2026:12:10 12:00:00");
  b.Bytes(ifd0, 40091, 1, {'H', 0, 'i', 0, '!', 0, 0, 0});
  b.Pointer(ifd0, 34665, exif);
  b.Pointer(ifd0, 34853, gps);
  b.Rational(exif, 33434, {{1, 125}});
  b.Rational(exif, 33437, {{28, 10}});
  b.Short(exif, 34855, {200});
  b.Bytes(exif, 36864, 7, {'0', '2', '3', '0'});
  b.Ascii(exif, 36867, "2026:12:10 11:59:58");
  b.Rational(exif, 37380, {{0xFFFFFFFDu, 3}}, true);  // -1 EV
  b.Short(exif, 37385, {16});
  b.Bytes(exif, 37510, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'e', 'l', 'l', 'o'});
  b.Bytes(exif, 41728, 7, {3});
  b.Short(exif, 41987, {1});
  // A maker note laid out as a directory: one SHORT held in the entry and
  // one text at an offset counted from the start of the TIFF.
  {
    Bytes note;
    b.Put16(note, 2);
    const uint32_t noteText = 0;  // patched below
    b.Put16(note, 1), b.Put16(note, 3), b.Put32(note, 1), b.Put16(note, 0x1234), b.Put16(note, 0);
    b.Put16(note, 6), b.Put16(note, 2), b.Put32(note, 8), b.Put32(note, noteText);
    b.Put32(note, 0);
    b.Bytes(exif, 37500, 7, note);
  }
  b.Bytes(gps, 0, 1, {2, 3, 0, 0});
  b.Ascii(gps, 1, "N");
  b.Rational(gps, 2, {{48, 1}, {51, 1}, {2445, 100}});
  b.Ascii(gps, 3, "E");
  b.Rational(gps, 4, {{2, 1}, {21, 1}, {0, 1}});
  b.Bytes(gps, 5, 1, {0});
  b.Rational(gps, 6, {{35, 1}});
  b.Ascii(gps, 18, "WGS-84");
  b.Ascii(gps, 29, "2026:12:10");
  const Bytes jpeg = FlatJpeg(ThumbW, ThumbH, TRGB{40, 160, 220});
  const int blob = b.AddBlob(jpeg);
  const int noteBlob = b.AddBlob({'N', 'O', 'T', 'E', 'T', 'X', 'T', 0});
  // As in camera files, the thumbnail directory gives no size of its own.
  b.Short(thumb, 259, {6});
  b.BlobOffset(thumb, 513, blob);
  b.Long(thumb, 514, {static_cast<uint32_t>(jpeg.size())});
  Bytes out = b.Build();
  (void)noteBlob;
  // Point the maker note's text entry at the note text block: it is the
  // last block, after the JPEG (each block padded to an even length).
  const uint32_t textAt = static_cast<uint32_t>(out.size() - 8);
  const std::string noteNeedle = le ? std::string("\x06\x00\x02\x00", 4) : std::string("\x00\x06\x00\x02", 4);
  auto it = std::search(out.begin(), out.end(), noteNeedle.begin(), noteNeedle.end());
  EXPECT_NE(it, out.end());
  tiffkit::Patch32(out, static_cast<size_t>(it - out.begin()) + 8, textAt, le);
  return out;
}

Bytes ExifBlock(const Bytes& Tiff) {
  Bytes out = {'E', 'x', 'i', 'f', 0, 0};
  out.insert(out.end(), Tiff.begin(), Tiff.end());
  return out;
}

// A JPEG picture carrying the given APP1 payloads, without JFIF header (as
// cameras write them), so the EXIF resolution decides.
Bytes JpegWithApp1(const std::vector<Bytes>& Payloads, Integer W = 40, Integer H = 30) {
  TLKBitmap b;
  Paint(b, W, H);
  TIOParamsVals p(nullptr);
  for (const Bytes& pl : Payloads) p.JPEG_Markers.AddMarker(0xE1, pl.data(), static_cast<Integer>(pl.size()));
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TMemoryStream m;
  WriteJPegStream(&m, &b, p, pr);
  Bytes out(static_cast<size_t>(m.GetSize()));
  std::memcpy(out.data(), m.GetMemory(), out.size());
  // Drop the JFIF APP0 segment that follows the start-of-image marker.
  if (out.size() > 6 && out[2] == 0xFF && out[3] == 0xE0) {
    const size_t len = (out[4] << 8) | out[5];
    out.erase(out.begin() + 2, out.begin() + 2 + static_cast<std::ptrdiff_t>(len) + 2);
  }
  return out;
}

bool ReadJpeg(const Bytes& Jpeg, TIOParamsVals& P, TLKBitmap* B, bool ParamsOnly) {
  TMemoryStream m;
  m.Write(Jpeg.data(), static_cast<Integer>(Jpeg.size()));
  m.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  ReadJPegStream(&m, nullptr, B, P, pr, ParamsOnly, false, true, false, false, false, -1);
  return !abort.load();
}

class ExifByteOrder : public ::testing::TestWithParam<bool> {};

TEST_P(ExifByteOrder, JpegApp1CarriesEveryGroup) {
  const Bytes jpeg = JpegWithApp1({ExifBlock(CameraTiff(GetParam(), 6))});
  TIOParamsVals p(nullptr);
  TLKBitmap full;
  ASSERT_TRUE(ReadJpeg(jpeg, p, &full, false));
  EXPECT_TRUE(p.EXIF_HASEXIF);
  EXPECT_EQ(p.EXIF_MAKE, "Velmoran Optics");
  EXPECT_EQ(p.EXIF_MODEL, "VX-1");
  EXPECT_EQ(p.EXIF_IMAGEDESCRIPTION, "a description");
  EXPECT_EQ(p.EXIF_DATETIME, "2026:12:10 12:00:00");
  EXPECT_EQ(p.EXIF_XPTitle, u"Hi!");
  // Orientation and resolution: 72.5 truncates to 72 through the setters,
  // and a picture without JFIF density takes the EXIF resolution.
  EXPECT_EQ(p.EXIF_ORIENTATION, 6);
  EXPECT_EQ(p.TIFF_ORIENTATION, 6);
  EXPECT_EQ(p.EXIF_RESOLUTIONUNIT, 2);
  EXPECT_EQ(p.EXIF_XRESOLUTION, 72.0);
  EXPECT_EQ(p.DPIX, 72);
  EXPECT_EQ(p.DPIY, 72);
  // EXIF directory.
  EXPECT_DOUBLE_EQ(p.EXIF_EXPOSURETIME, 1.0 / 125);
  EXPECT_DOUBLE_EQ(p.EXIF_FNUMBER, 2.8);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(0), 200);
  EXPECT_EQ(p.EXIF_EXIFVERSION, "0230");
  EXPECT_EQ(p.EXIF_DATETIMEORIGINAL, "2026:12:10 11:59:58");
  EXPECT_DOUBLE_EQ(p.EXIF_EXPOSUREBIASVALUE, -1.0);
  EXPECT_EQ(p.EXIF_FLASH, 16);
  EXPECT_EQ(p.EXIF_USERCOMMENTCODE, String("ASCII\0\0\0", 8));
  EXPECT_EQ(p.EXIF_USERCOMMENT, "hello");
  EXPECT_EQ(p.EXIF_FILESOURCE, 3);
  EXPECT_EQ(p.EXIF_WHITEBALANCE, 1);
  EXPECT_EQ(p.EXIF_EXPOSUREMODE, -1);  // absent
  EXPECT_EQ(p.EXIF_DIGITALZOOMRATIO, -1.0);
  // Maker note: converted to a little-endian block whatever the file's order.
  EXPECT_EQ(p.EXIF_MakerNote.GetInteger(1), 0x1234);
  EXPECT_EQ(p.EXIF_MakerNote.GetString(6), "NOTETXT");
  // GPS directory.
  EXPECT_EQ(p.EXIF_GPSVERSIONID, String("\x02\x03\x00\x00", 4));
  EXPECT_EQ(p.EXIF_GPSLATITUDEREF, "N");  // without its terminating zero
  EXPECT_EQ(p.EXIF_GPSLATITUDEDEGREES, 48.0);
  EXPECT_EQ(p.EXIF_GPSLATITUDEMINUTES, 51.0);
  EXPECT_DOUBLE_EQ(p.EXIF_GPSLATITUDESECONDS, 24.45);
  EXPECT_EQ(p.EXIF_GPSLONGITUDEREF, "E");
  EXPECT_EQ(p.EXIF_GPSLONGITUDEMINUTES, 21.0);
  EXPECT_EQ(p.EXIF_GPSALTITUDE, 35.0);
  EXPECT_EQ(p.EXIF_GPSMAPDATUM, "WGS-84");
  EXPECT_EQ(p.EXIF_GPSDATESTAMP, "2026:12:10");
  // Thumbnail: the second page, turned upright by orientation 6.
  ASSERT_TRUE(p.EXIF_ThumbnailImage);
  EXPECT_EQ(p.EXIF_ThumbnailImage->GetWidth(), 8);
  EXPECT_EQ(p.EXIF_ThumbnailImage->GetHeight(), 16);
  const TRGB c = p.EXIF_ThumbnailImage->GetPixels_lk24RGB(3, 3);
  EXPECT_NEAR(c.r, 220, 6);
  EXPECT_NEAR(c.g, 160, 6);
  EXPECT_NEAR(c.b, 40, 6);
  EXPECT_EQ(full.GetWidth(), 40);  // without the orientation switch the picture stays
}

INSTANTIATE_TEST_SUITE_P(Orders, ExifByteOrder, ::testing::Values(true, false),
                         [](const auto& i) { return i.param ? "II" : "MM"; });

TEST(Exif, ThumbnailRequestAndOrientationSwitch) {
  const Bytes jpeg = JpegWithApp1({ExifBlock(CameraTiff(true, 8))});
  TIOParamsVals p(nullptr);
  p.SetJPEG_GetExifThumbnail(true);
  TLKBitmap b;
  ASSERT_TRUE(ReadJpeg(jpeg, p, &b, false));
  EXPECT_EQ(b.GetWidth(), 8);  // the thumbnail, turned upright
  EXPECT_EQ(b.GetHeight(), 16);
  EXPECT_EQ(p.WIDTH, 40);  // the full picture's size
  EXPECT_EQ(p.HEIGHT, 30);

  TIOParamsVals q(nullptr);
  q.JPEG_ENABLEADJUSTORIENTATION = true;
  ASSERT_TRUE(ReadJpeg(jpeg, q, &b, false));
  EXPECT_EQ(b.GetWidth(), 30);
  EXPECT_EQ(b.GetHeight(), 40);
}

// What the block writer stores, the reader gives back.
TEST(Exif, RoundTripThroughTheBlockWriter) {
  TIOParamsVals src(nullptr);
  src.EXIF_HASEXIF = true;
  src.EXIF_IMAGEDESCRIPTION = "round trip";
  src.EXIF_MAKE = "Velmoran Optics";
  src.EXIF_MODEL = "VX-2";
  src.SetEXIF_Orientation(6);
  src.SetDpi(240);
  src.EXIF_RESOLUTIONUNIT = 2;
  src.EXIF_DATETIME = "2026:12:10 12:00:00";
  src.EXIF_EXPOSURETIME = 0.004;
  src.EXIF_FNUMBER = 4.5;
  src.SetEXIF_ISOSpeedRatings(0, 400);
  src.EXIF_EXPOSUREBIASVALUE = -0.5;
  src.EXIF_FLASH = 9;
  src.EXIF_WHITEBALANCE = 1;
  src.EXIF_XPTitle = u"Title";
  src.EXIF_GPSVERSIONID = String("\x02\x02\x00\x00", 4);
  src.EXIF_GPSLATITUDEREF = "S";
  src.EXIF_GPSLATITUDEDEGREES = 33;
  src.EXIF_GPSLATITUDEMINUTES = 52;
  src.EXIF_GPSLATITUDESECONDS = 4.5;
  src.EXIF_GPSALTITUDE = 58;
  TLKBitmap* thumb = src.GetEXIF_ThumbnailImage();
  thumb->Allocate(20, 10, lk24RGB);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 20; ++x) thumb->SetPixels_lk24RGB(x, y, TRGB{30, 90, 210});
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(src, block);
  TIOParamsVals dst(nullptr);
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), dst));
  EXPECT_EQ(dst.EXIF_IMAGEDESCRIPTION, "round trip");
  EXPECT_EQ(dst.EXIF_MAKE, "Velmoran Optics");
  EXPECT_EQ(dst.EXIF_MODEL, "VX-2");
  EXPECT_EQ(dst.EXIF_ORIENTATION, 6);
  EXPECT_EQ(dst.DPIX, 240);
  EXPECT_EQ(dst.EXIF_DATETIME, "2026:12:10 12:00:00");
  EXPECT_NEAR(dst.EXIF_EXPOSURETIME, 0.004, 1e-6);
  EXPECT_NEAR(dst.EXIF_FNUMBER, 4.5, 1e-6);
  EXPECT_EQ(dst.GetEXIF_ISOSpeedRatings(0), 400);
  EXPECT_NEAR(dst.EXIF_EXPOSUREBIASVALUE, -0.5, 1e-6);
  EXPECT_EQ(dst.EXIF_FLASH, 9);
  EXPECT_EQ(dst.EXIF_WHITEBALANCE, 1);
  EXPECT_EQ(dst.EXIF_XPTitle, u"Title");
  EXPECT_EQ(dst.EXIF_GPSVERSIONID, String("\x02\x02\x00\x00", 4));
  EXPECT_EQ(dst.EXIF_GPSLATITUDEREF.substr(0, 1), "S");
  EXPECT_NEAR(dst.EXIF_GPSLATITUDEDEGREES, 33, 1e-6);
  EXPECT_NEAR(dst.EXIF_GPSLATITUDEMINUTES, 52, 1e-6);
  EXPECT_NEAR(dst.EXIF_GPSLATITUDESECONDS, 4.5, 1e-6);
  EXPECT_NEAR(dst.EXIF_GPSALTITUDE, 58, 1e-6);
  ASSERT_TRUE(dst.EXIF_ThumbnailImage);
  // The record's thumbnail is upright; the block stores it as the picture
  // is stored, and reading turns it upright again.
  ASSERT_EQ(dst.EXIF_ThumbnailImage->GetWidth(), 20);
  ASSERT_EQ(dst.EXIF_ThumbnailImage->GetHeight(), 10);
  const TRGB c = dst.EXIF_ThumbnailImage->GetPixels_lk24RGB(5, 5);
  EXPECT_NEAR(c.r, 210, 6);
  EXPECT_NEAR(c.g, 90, 6);
  EXPECT_NEAR(c.b, 30, 6);
}

TEST(Exif, ResolutionInCentimetres) {
  tiffkit::Builder tb(true);
  const int d = tb.AddIfd();
  tb.Rational(d, 282, {{118, 1}});
  tb.Rational(d, 283, {{118, 1}});
  tb.Short(d, 296, {3});
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadJpeg(JpegWithApp1({ExifBlock(tb.Build())}), p, nullptr, true));
  EXPECT_EQ(p.DPIX, 299);
  EXPECT_EQ(p.DPIY, 299);
}

TEST(Exif, BlockRecognition) {
  struct Case {
    const char* name;
    Bytes data;
    bool exif;
  } cases[] = {
      {"Exif and zeros", {'E', 'x', 'i', 'f', 0, 0}, true},
      {"Exif and one zero", {'E', 'x', 'i', 'f', 0}, true},
      {"no zero after Exif", {'E', 'x', 'i', 'f', 1, 0}, false},
      {"other name", {'E', 'x', 'i', 'F', 0, 0}, false},
      {"too short", {'E', 'x', 'i', 'f'}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckEXIFFromStandardBuffer(c.data.data(), static_cast<Integer>(c.data.size())), c.exif);
    TIOParamsVals p(nullptr);
    p.EXIF_MAKE = "kept";
    EXPECT_FALSE(LoadEXIFFromStandardBuffer(c.data.data(), static_cast<Integer>(c.data.size()), p));
    EXPECT_EQ(p.EXIF_MAKE, "kept");
    EXPECT_FALSE(p.EXIF_HASEXIF);
  }
  EXPECT_FALSE(CheckEXIFFromStandardBuffer(nullptr, 10));
}

// Every damaged form of a block: truncated at each length, and every 32-bit
// word of the TIFF replaced by values that point outside or back inside.
TEST(Exif, HostileBlocksNeverCrash) {
  const Bytes block = ExifBlock(CameraTiff(false, 6));
  for (size_t len = 0; len <= block.size(); len += (len < 400 ? 1 : 97)) {
    TIOParamsVals p(nullptr);
    LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(len), p);
  }
  const uint32_t evil[] = {0, 4, 8, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 10};
  for (size_t pos = 6; pos + 4 <= 600 && pos + 4 <= block.size(); pos += 2) {
    for (uint32_t v : evil) {
      Bytes b = block;
      tiffkit::Patch32(b, pos, v, false);
      TIOParamsVals p(nullptr);
      LoadEXIFFromStandardBuffer(b.data(), static_cast<Integer>(b.size()), p);
      if (p.EXIF_ThumbnailImage && !p.EXIF_ThumbnailImage->IsEmpty()) {
        EXPECT_LE(p.EXIF_ThumbnailImage->GetWidth(), 400);
        EXPECT_LE(p.EXIF_ThumbnailImage->GetHeight(), 400);
      }
    }
  }
  // The EXIF pointer aimed at the first directory itself: read once, no loop.
  tiffkit::Builder tb(true);
  const int d = tb.AddIfd();
  tb.Ascii(d, 271, "Loop");
  tb.Pointer(d, 34665, d);
  tb.Pointer(d, 34853, d);
  const Bytes loop = ExifBlock(tb.Build());
  TIOParamsVals p(nullptr);
  EXPECT_TRUE(LoadEXIFFromStandardBuffer(loop.data(), static_cast<Integer>(loop.size()), p));
  EXPECT_EQ(p.EXIF_MAKE, "Loop");
  // A thumbnail JPEG larger than the thumbnail limit is refused.
  const Bytes big = ExifBlock(CameraTiff(true, 1, 480, 16));
  TIOParamsVals r(nullptr);
  EXPECT_TRUE(LoadEXIFFromStandardBuffer(big.data(), static_cast<Integer>(big.size()), r));
  EXPECT_TRUE(r.EXIF_ThumbnailImage->IsEmpty());
  // "Exif" followed by no TIFF at all is refused, leaving the record alone.
  const Bytes junk = {'E', 'x', 'i', 'f', 0, 0, 'X', 'Y', 1, 2, 3, 4, 5, 6};
  TIOParamsVals q(nullptr);
  EXPECT_FALSE(LoadEXIFFromStandardBuffer(junk.data(), static_cast<Integer>(junk.size()), q));
  EXPECT_FALSE(q.EXIF_HASEXIF);
}

TEST(Exif, SearchFindsTheFirstHeader) {
  auto stream = [](size_t Size, size_t At, const Bytes& Header) {
    Bytes b(Size, 0x55);
    std::copy(Header.begin(), Header.end(), b.begin() + static_cast<std::ptrdiff_t>(At));
    return b;
  };
  const Bytes ii = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const Bytes mm = {'M', 'M', 0, 42, 0, 0, 0, 8};
  const Bytes orf = {'I', 'I', 0x52, 0x4F, 8, 0, 0, 0};
  const Bytes far = {'I', 'I', 42, 0, 0, 0, 0, 0x7F};  // directory beyond the stream
  struct Case {
    const char* name;
    Bytes data;
    Int64 start, expected;
  } cases[] = {
      {"little-endian at 612 from 100", stream(2000, 612, ii), 100, 512},
      {"big-endian", stream(2000, 40, mm), 0, 40},
      {"raw-format magic", stream(500, 3, orf), 0, 3},
      {"directory beyond the stream", stream(2000, 10, far), 0, -1},
      {"passed-over header then a good one", [&] {
         Bytes b = stream(2000, 10, far);
         std::copy(ii.begin(), ii.end(), b.begin() + 900);
         return b;
       }(), 0, 900},
      {"outside the window", stream(140000, 131080, ii), 0, -1},
      {"ten bytes, no header", Bytes(10, 0), 4, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryStream m;
    m.Write(c.data.data(), static_cast<Integer>(c.data.size()));
    m.SetPosition(c.start);
    EXPECT_EQ(LKSearchEXIFInfo(&m), c.expected);
    EXPECT_EQ(m.GetPosition(), c.start);
  }
}

// A camera-like file: a private header, then a TIFF whose offsets count from
// its own start; page 1 an uncompressed RGB preview, page 2 a JPEG.
Bytes CameraFile(bool BlackPreview) {
  tiffkit::Builder b(true);
  const int ifd0 = b.AddIfd();
  const int page2 = b.AddIfd();
  const int exif = b.AddIfd(false);
  Bytes rgb;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      rgb.insert(rgb.end(), {BlackPreview ? Byte(0) : Byte(50 * x), BlackPreview ? Byte(0) : Byte(70 * y),
                             BlackPreview ? Byte(0) : Byte(9)});
  const int strip = b.AddBlob(rgb);
  b.Short(ifd0, 256, {4});
  b.Short(ifd0, 257, {3});
  b.Short(ifd0, 258, {8, 8, 8});
  b.Short(ifd0, 259, {1});
  b.Short(ifd0, 262, {2});
  b.Ascii(ifd0, 271, "Velmoran Optics");
  b.BlobOffset(ifd0, 273, strip);
  b.Short(ifd0, 277, {3});
  b.Long(ifd0, 278, {3});
  b.Long(ifd0, 279, {static_cast<uint32_t>(rgb.size())});
  b.Pointer(ifd0, 34665, exif);
  b.Rational(exif, 33437, {{56, 10}});
  const Bytes jpeg = FlatJpeg(24, 16, TRGB{200, 100, 50});
  const int blob = b.AddBlob(jpeg);
  b.Short(page2, 256, {24});
  b.Short(page2, 257, {16});
  b.Short(page2, 259, {6});
  b.BlobOffset(page2, 513, blob);
  b.Long(page2, 514, {static_cast<uint32_t>(jpeg.size())});
  Bytes file(300, 0x11);  // private header
  const Bytes tiff = b.Build();
  file.insert(file.end(), tiff.begin(), tiff.end());
  return file;
}

TEST(Exif, LoadFromCameraTiff) {
  for (bool black : {false, true}) {
    SCOPED_TRACE(black ? "black preview" : "preview");
    const Bytes file = CameraFile(black);
    TMemoryStream m;
    m.Write(file.data(), static_cast<Integer>(file.size()));
    m.SetPosition(0);
    const Int64 at = LKSearchEXIFInfo(&m);
    ASSERT_EQ(at, 300);
    m.SetPosition(at);
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(LKLoadEXIFFromTIFF(&m, p));
    EXPECT_EQ(m.GetPosition(), 300);
    EXPECT_TRUE(p.EXIF_HASEXIF);
    EXPECT_EQ(p.EXIF_MAKE, "Velmoran Optics");
    EXPECT_DOUBLE_EQ(p.EXIF_FNUMBER, 5.6);
    ASSERT_TRUE(p.EXIF_ThumbnailImage);
    if (!black) {
      ASSERT_EQ(p.EXIF_ThumbnailImage->GetWidth(), 4);
      const TRGB c = p.EXIF_ThumbnailImage->GetPixels_lk24RGB(2, 1);
      EXPECT_EQ(c.r, 100);
      EXPECT_EQ(c.g, 70);
      EXPECT_EQ(c.b, 9);
    } else {
      EXPECT_EQ(p.EXIF_ThumbnailImage->GetWidth(), 24);  // the second page
    }
  }
  // No TIFF at the position: false, nothing changed, position kept.
  const Bytes junk(100, 0x22);
  TMemoryStream m;
  m.Write(junk.data(), 100);
  m.SetPosition(7);
  TIOParamsVals p(nullptr);
  EXPECT_FALSE(LKLoadEXIFFromTIFF(&m, p));
  EXPECT_FALSE(p.EXIF_HASEXIF);
  EXPECT_EQ(m.GetPosition(), 7);
}

// Where the stored top-left and top-right pixels of a 3 x 2 picture end up.
TEST(Exif, AdjustOrientation) {
  struct Case {
    Integer orientation, w, h;
    TPoint topLeft, topRight;
  } cases[] = {
      {1, 3, 2, {0, 0}, {2, 0}}, {2, 3, 2, {2, 0}, {0, 0}}, {3, 3, 2, {2, 1}, {0, 1}},
      {4, 3, 2, {0, 1}, {2, 1}}, {5, 2, 3, {0, 0}, {0, 2}}, {6, 2, 3, {1, 0}, {1, 2}},
      {7, 2, 3, {1, 2}, {1, 0}}, {8, 2, 3, {0, 2}, {0, 0}}, {9, 3, 2, {0, 0}, {2, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    TLKBitmap b;
    Paint(b, 3, 2);
    const TRGB tl = b.GetPixels_lk24RGB(0, 0), tr = b.GetPixels_lk24RGB(2, 0);
    LKAdjustEXIFOrientation(&b, c.orientation);
    ASSERT_EQ(b.GetWidth(), c.w);
    ASSERT_EQ(b.GetHeight(), c.h);
    const TRGB a = b.GetPixels_lk24RGB(c.topLeft.X, c.topLeft.Y);
    const TRGB z = b.GetPixels_lk24RGB(c.topRight.X, c.topRight.Y);
    EXPECT_TRUE(a.r == tl.r && a.g == tl.g && a.b == tl.b);
    EXPECT_TRUE(z.r == tr.r && z.g == tr.g && z.b == tr.b);
  }
  LKAdjustEXIFOrientation(nullptr, 6);
}

TEST(Exif, XmpPackets) {
  const std::string ns(LKXMP_NAMESPACE);
  ASSERT_EQ(ns.size(), 28u);
  auto payload = [&](const std::string& Packet) {
    Bytes b(ns.begin(), ns.end());
    b.push_back(0);
    b.insert(b.end(), Packet.begin(), Packet.end());
    return b;
  };
  struct Case {
    const char* name;
    Bytes data;
    bool xmp;
    std::string packet;
  } cases[] = {
      {"packet", payload("<x:xmpmeta/>"), true, "<x:xmpmeta/>"},
      {"29 bytes: no packet", payload(""), false, ""},
      {"one byte of packet", payload("A"), true, "A"},
      {"no zero byte", [&] {
         Bytes b(ns.begin(), ns.end());
         b.insert(b.end(), {'a', 'b', 'c'});
         return b;
       }(), false, ""},
      {"other prefix", Bytes(40, 'x'), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals p(nullptr);
    p.XMP_INFO = "old";
    EXPECT_EQ(LKFindXMPFromJpegTag(c.data.data(), static_cast<Integer>(c.data.size())) != nullptr, c.xmp);
    EXPECT_EQ(LKLoadXMPFromJpegTag(c.data.data(), static_cast<Integer>(c.data.size()), p), c.xmp);
    EXPECT_EQ(p.XMP_INFO, c.xmp ? c.packet : "old");
  }
  // In a JPEG the first XMP APP1 is loaded, after the EXIF one.
  const Bytes jpeg = JpegWithApp1({ExifBlock(CameraTiff(true, 1)), payload("<first/>"), payload("<second/>")});
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadJpeg(jpeg, p, nullptr, true));
  EXPECT_EQ(p.XMP_INFO, "<first/>");
  EXPECT_EQ(p.EXIF_MAKE, "Velmoran Optics");
}

// Maker-note entries whose data lies outside the stream are left out and
// the count written matches the entries kept; an unknown field type drops
// the whole note.
TEST(Exif, MakerNoteEntriesOutsideTheStream) {
  for (uint16_t secondType : {uint16_t{4}, uint16_t{13}}) {
    SCOPED_TRACE(secondType);
    tiffkit::Builder b(false);
    const int d = b.AddIfd();
    const int exif = b.AddIfd(false);
    b.Pointer(d, 34665, exif);
    Bytes note;
    b.Put16(note, 3);
    b.Put16(note, 1), b.Put16(note, 3), b.Put32(note, 1), b.Put16(note, 77), b.Put16(note, 0);
    b.Put16(note, 2), b.Put16(note, secondType), b.Put32(note, 2), b.Put32(note, 0x7FFFFFF0u);
    b.Put16(note, 3), b.Put16(note, 3), b.Put32(note, 2), b.Put16(note, 5), b.Put16(note, 6);
    b.Bytes(exif, 37500, 7, note);
    const Bytes block = ExifBlock(b.Build());
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), p));
    if (secondType == 13) {
      EXPECT_FALSE(p.EXIF_MakerNote.TagExists(1));
      continue;
    }
    EXPECT_EQ(p.EXIF_MakerNote.GetEnv().Tags.size(), 2u);
    EXPECT_EQ(p.EXIF_MakerNote.GetInteger(1), 77);
    EXPECT_FALSE(p.EXIF_MakerNote.TagExists(2));
    EXPECT_EQ(p.EXIF_MakerNote.GetIntegerIndexed(3, 1), 6);
  }
}

TEST(Exif, TagsHandlerEmptiedStream) {
  TLKTagsHandler h;
  const Byte block[] = {1, 0, 0x10, 0, 3, 0, 1, 0, 0, 0, 7, 0, 0, 0};
  h.GetStream()->Write(block, sizeof block);
  h.Update();
  EXPECT_TRUE(h.TagExists(16));
  EXPECT_EQ(h.GetInteger(16), 7);
  h.GetStream()->Clear();
  h.Update();
  EXPECT_FALSE(h.TagExists(16));
  EXPECT_EQ(h.GetInteger(16), 0);
}

// Real camera files: metadata that the file names and folders promise.
TEST(Exif, RealFiles) {
  const fs::path root = fs::path(LUMERAK_TESTDATA_DIR) / "exif-samples" / "jpg";
  if (!fs::exists(root)) GTEST_SKIP() << "no test data at " << root;
  auto load = [](const fs::path& f, TIOParamsVals& p) {
    std::ifstream in(f, std::ios::binary);
    const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    p.SetJPEG_GetExifThumbnail(false);
    ReadJpeg(data, p, nullptr, true);
  };
  for (Integer o = 1; o <= 8; ++o) {
    for (const char* kind : {"landscape", "portrait"}) {
      const fs::path f = root / "orientation" / (std::string(kind) + "_" + std::to_string(o) + ".jpg");
      if (!fs::exists(f)) continue;
      SCOPED_TRACE(f.string());
      TIOParamsVals p(nullptr);
      load(f, p);
      EXPECT_EQ(p.EXIF_ORIENTATION, o);
    }
  }
  Integer gpsFiles = 0;
  for (const auto& e : fs::directory_iterator(root / "gps")) {
    if (e.path().extension() != ".jpg") continue;
    SCOPED_TRACE(e.path().string());
    TIOParamsVals p(nullptr);
    load(e.path(), p);
    EXPECT_TRUE(p.EXIF_GPSLATITUDEREF.rfind("N", 0) == 0 || p.EXIF_GPSLATITUDEREF.rfind("S", 0) == 0);
    EXPECT_GT(p.EXIF_GPSLATITUDEDEGREES + p.EXIF_GPSLATITUDEMINUTES, 0.0);
    ++gpsFiles;
  }
  EXPECT_GT(gpsFiles, 0);
  // Every file, damaged ones included, reads without harm; thumbnails stay
  // within the thumbnail limit, and most cameras' thumbnails are found.
  Integer files = 0, thumbnails = 0;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const auto ext = e.path().extension().string();
    if (ext != ".jpg" && ext != ".jpeg") continue;
    SCOPED_TRACE(e.path().string());
    TIOParamsVals p(nullptr);
    load(e.path(), p);
    ++files;
    if (p.EXIF_ThumbnailImage && !p.EXIF_ThumbnailImage->IsEmpty()) {
      EXPECT_LE(p.EXIF_ThumbnailImage->GetWidth(), 400);
      ++thumbnails;
    }
  }
  EXPECT_GT(thumbnails * 2, files);
}

}  // namespace
