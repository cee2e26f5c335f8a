// EXIF blocks written from a record and read back by the EXIF reader, alone
// and injected into a JPEG file: every group of fields, the thumbnail page
// and the maker note survive.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/jpeg/jpegxform.h"
#include "core/lkbitmap.h"
#include "io/lkexif.h"
#include "tests/io/io_kit.h"

namespace {

using Bytes = std::vector<Byte>;

using iokit::PutLE16;
using iokit::PutLE32;

// A record with a value in every group the block carries.
void FillRecord(TIOParamsVals& p) {
  p.EXIF_HASEXIF = true;
  p.EXIF_IMAGEDESCRIPTION = "A description";
  p.EXIF_MAKE = "Maker";
  p.EXIF_MODEL = "M1";
  p.SetEXIF_Orientation(1);
  p.EXIF_XRESOLUTION = 300;
  p.EXIF_YRESOLUTION = 300;
  p.EXIF_SOFTWARE = "Velmoran";
  p.EXIF_Artist = "Someone";
  p.EXIF_DATETIME = "2026:12:10 10:00:00";
  p.SetEXIF_WhitePoint(0, 0.3127);
  p.SetEXIF_ReferenceBlackWhite(5, 255);
  p.EXIF_COPYRIGHT = "(c) nobody";
  p.EXIF_EXPOSURETIME = 0.004;
  p.EXIF_FNUMBER = 5.6;
  p.EXIF_EXPOSUREPROGRAM = 2;
  p.SetEXIF_ISOSpeedRatings(0, 400);
  p.EXIF_EXIFVERSION = "0230";
  p.EXIF_DATETIMEORIGINAL = "2026:12:09 09:30:00";
  p.EXIF_SHUTTERSPEEDVALUE = -1.5;
  p.EXIF_EXPOSUREBIASVALUE = -0.7;
  p.EXIF_FLASH = 16;
  p.EXIF_FOCALLENGTH = 35;
  p.EXIF_SUBSECTIME = "25";
  p.EXIF_FLASHPIXVERSION = "0100";
  p.EXIF_COLORSPACE = 1;
  p.EXIF_EXIFIMAGEWIDTH = 70000;
  p.EXIF_EXIFIMAGEHEIGHT = 4000;
  p.EXIF_USERCOMMENTCODE = std::string("ASCII\0\0\0", 8);
  p.EXIF_USERCOMMENT = "a comment";
  p.EXIF_XPTitle = u"Title \u00e9";
  p.EXIF_XPKeywords = u"k1;k2";
  p.EXIF_EXPOSUREMODE = 1;
  p.EXIF_WHITEBALANCE = -1;
  p.EXIF_DIGITALZOOMRATIO = 2;
  p.EXIF_IMAGEUNIQUEID = "0123456789abcdef";
  p.EXIF_GPSVERSIONID = std::string("\x02\x02\x00\x00", 4);
  p.EXIF_GPSLATITUDEREF = "S";
  p.EXIF_GPSLATITUDEDEGREES = 33;
  p.EXIF_GPSLATITUDEMINUTES = 51;
  p.EXIF_GPSLATITUDESECONDS = 54.5;
  p.EXIF_GPSLONGITUDEREF = "E";
  p.EXIF_GPSLONGITUDEDEGREES = 151;
  p.EXIF_GPSALTITUDEREF = std::string("\x01", 1);
  p.EXIF_GPSALTITUDE = 12.5;
  p.EXIF_GPSMAPDATUM = "WGS-84";
  p.EXIF_GPSDATESTAMP = "2026:12:09";
}

void ExpectSameExif(const TIOParamsVals& want, const TIOParamsVals& got) {
  EXPECT_TRUE(got.EXIF_HASEXIF);
  EXPECT_EQ(got.EXIF_IMAGEDESCRIPTION, want.EXIF_IMAGEDESCRIPTION);
  EXPECT_EQ(got.EXIF_MAKE, want.EXIF_MAKE);
  EXPECT_EQ(got.EXIF_MODEL, want.EXIF_MODEL);
  EXPECT_EQ(got.EXIF_ORIENTATION, want.EXIF_ORIENTATION);
  EXPECT_EQ(got.EXIF_XRESOLUTION, want.EXIF_XRESOLUTION);
  EXPECT_EQ(got.EXIF_SOFTWARE, want.EXIF_SOFTWARE);
  EXPECT_EQ(got.EXIF_Artist, want.EXIF_Artist);
  EXPECT_EQ(got.EXIF_DATETIME, want.EXIF_DATETIME);
  EXPECT_DOUBLE_EQ(got.GetEXIF_WhitePoint(0), want.GetEXIF_WhitePoint(0));
  EXPECT_DOUBLE_EQ(got.GetEXIF_ReferenceBlackWhite(5), want.GetEXIF_ReferenceBlackWhite(5));
  EXPECT_EQ(got.EXIF_COPYRIGHT, want.EXIF_COPYRIGHT);
  EXPECT_DOUBLE_EQ(got.EXIF_EXPOSURETIME, want.EXIF_EXPOSURETIME);
  EXPECT_DOUBLE_EQ(got.EXIF_FNUMBER, want.EXIF_FNUMBER);
  EXPECT_EQ(got.EXIF_EXPOSUREPROGRAM, want.EXIF_EXPOSUREPROGRAM);
  EXPECT_EQ(got.GetEXIF_ISOSpeedRatings(0), want.GetEXIF_ISOSpeedRatings(0));
  EXPECT_EQ(got.EXIF_EXIFVERSION, want.EXIF_EXIFVERSION);
  EXPECT_EQ(got.EXIF_DATETIMEORIGINAL, want.EXIF_DATETIMEORIGINAL);
  EXPECT_DOUBLE_EQ(got.EXIF_SHUTTERSPEEDVALUE, want.EXIF_SHUTTERSPEEDVALUE);
  EXPECT_DOUBLE_EQ(got.EXIF_EXPOSUREBIASVALUE, want.EXIF_EXPOSUREBIASVALUE);
  EXPECT_EQ(got.EXIF_FLASH, want.EXIF_FLASH);
  EXPECT_DOUBLE_EQ(got.EXIF_FOCALLENGTH, want.EXIF_FOCALLENGTH);
  EXPECT_EQ(got.EXIF_SUBSECTIME, want.EXIF_SUBSECTIME);
  EXPECT_EQ(got.EXIF_FLASHPIXVERSION, want.EXIF_FLASHPIXVERSION);
  EXPECT_EQ(got.EXIF_COLORSPACE, want.EXIF_COLORSPACE);
  EXPECT_EQ(got.EXIF_EXIFIMAGEWIDTH, want.EXIF_EXIFIMAGEWIDTH);
  EXPECT_EQ(got.EXIF_EXIFIMAGEHEIGHT, want.EXIF_EXIFIMAGEHEIGHT);
  EXPECT_EQ(got.EXIF_USERCOMMENTCODE, want.EXIF_USERCOMMENTCODE);
  EXPECT_EQ(got.EXIF_USERCOMMENT, want.EXIF_USERCOMMENT);
  EXPECT_TRUE(got.EXIF_XPTitle == want.EXIF_XPTitle);
  EXPECT_TRUE(got.EXIF_XPKeywords == want.EXIF_XPKeywords);
  EXPECT_EQ(got.EXIF_EXPOSUREMODE, want.EXIF_EXPOSUREMODE);
  EXPECT_EQ(got.EXIF_WHITEBALANCE, -1);
  EXPECT_DOUBLE_EQ(got.EXIF_DIGITALZOOMRATIO, want.EXIF_DIGITALZOOMRATIO);
  EXPECT_EQ(got.EXIF_IMAGEUNIQUEID, want.EXIF_IMAGEUNIQUEID);
  EXPECT_EQ(got.EXIF_GPSVERSIONID, want.EXIF_GPSVERSIONID);
  EXPECT_EQ(got.EXIF_GPSLATITUDEREF, want.EXIF_GPSLATITUDEREF);
  EXPECT_DOUBLE_EQ(got.EXIF_GPSLATITUDEDEGREES, want.EXIF_GPSLATITUDEDEGREES);
  EXPECT_DOUBLE_EQ(got.EXIF_GPSLATITUDEMINUTES, want.EXIF_GPSLATITUDEMINUTES);
  EXPECT_DOUBLE_EQ(got.EXIF_GPSLATITUDESECONDS, want.EXIF_GPSLATITUDESECONDS);
  EXPECT_EQ(got.EXIF_GPSLONGITUDEREF, want.EXIF_GPSLONGITUDEREF);
  EXPECT_DOUBLE_EQ(got.EXIF_GPSLONGITUDEDEGREES, want.EXIF_GPSLONGITUDEDEGREES);
  EXPECT_EQ(got.EXIF_GPSALTITUDEREF, want.EXIF_GPSALTITUDEREF);
  EXPECT_DOUBLE_EQ(got.EXIF_GPSALTITUDE, want.EXIF_GPSALTITUDE);
  EXPECT_EQ(got.EXIF_GPSMAPDATUM, want.EXIF_GPSMAPDATUM);
  EXPECT_EQ(got.EXIF_GPSDATESTAMP, want.EXIF_GPSDATESTAMP);
}

TEST(ExifBlockRoundTrip, EveryGroupThumbnailAndMakerNote) {
  TIOParamsVals p;
  FillRecord(p);
  // A thumbnail with a bright left half, so its orientation can be seen.
  TLKBitmap* thumb = p.GetEXIF_ThumbnailImage();
  thumb->Allocate(64, 48, lk24RGB);
  for (Integer y = 0; y < 48; ++y) {
    auto* row = static_cast<TRGB*>(thumb->GetScanLine(y));
    for (Integer x = 0; x < 64; ++x) row[x] = x < 32 ? TRGB{230, 230, 230} : TRGB{20, 20, 20};
  }
  // A maker note of three entries: a SHORT in the entry, a 6-byte text and
  // a 2000-byte block (left out of the written note).
  Bytes note;
  PutLE16(note, 3);
  const uint32_t dataAt = 2 + 3 * 12;
  for (auto e : {std::vector<uint32_t>{1, 3, 1, 7}, {2, 2, 6, dataAt}, {3, 7, 2000, dataAt + 6}}) {
    PutLE16(note, e[0]);
    PutLE16(note, e[1]);
    PutLE32(note, e[2]);
    PutLE32(note, e[3]);
  }
  for (char ch : std::string("model", 6)) note.push_back(Byte(ch));
  note.resize(note.size() + 2000, 0x55);
  p.EXIF_MakerNote.GetStream()->Write(note.data(), static_cast<Integer>(note.size()));
  p.EXIF_MakerNote.Update();

  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(p, block);
  ASSERT_LE(block.size(), static_cast<std::size_t>(LKMaxMarkerPayload));
  TIOParamsVals r;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), r));
  ExpectSameExif(p, r);
  EXPECT_EQ(r.EXIF_MakerNote.GetInteger(1), 7);
  EXPECT_EQ(r.EXIF_MakerNote.GetString(2), "model");
  EXPECT_FALSE(r.EXIF_MakerNote.TagExists(3));

  TLKBitmap* back = r.GetEXIF_ThumbnailImage();
  ASSERT_EQ(back->GetWidth(), 64);
  ASSERT_EQ(back->GetHeight(), 48);
  const auto* row = static_cast<const TRGB*>(back->GetScanLine(24));
  EXPECT_GT(row[4].g, 200);
  EXPECT_LT(row[60].g, 50);
}

TEST(ExifBlockRoundTrip, InjectedIntoAJpegAndReadWithThePicture) {
  TLKBitmap bmp(48, 32, lk24RGB);
  TIOParamsVals w;
  TMemoryStream src;
  TProgressRec wp;
  WriteJPegStream(&src, &bmp, w, wp);
  src.SetPosition(0);

  TIOParamsVals p;
  FillRecord(p);
  TMemoryStream out;
  TProgressRec ip;
  ASSERT_TRUE(LKJpegInjectEXIF(&src, &out, p, ip));
  out.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec rp;
  rp.AbortFlag = &abort;
  TLKBitmap pic;
  TIOParamsVals r;
  ReadJPegStream(&out, nullptr, &pic, r, rp, false, false, true, false, false, false, -1);
  ASSERT_FALSE(abort.load());
  EXPECT_EQ(pic.GetWidth(), 48);
  ExpectSameExif(p, r);
}

TEST(ExifBlockRoundTrip, RecordWithoutExifKeepsDescriptionAndResolution) {
  TIOParamsVals p;
  p.TIFF_IMAGEDESCRIPTION = "plain";
  p.DPIX = 200;
  p.DPIY = 100;
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(p, block);
  TIOParamsVals r;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), r));
  EXPECT_EQ(r.EXIF_IMAGEDESCRIPTION, "plain");
  EXPECT_EQ(r.EXIF_XRESOLUTION, 200);
  EXPECT_EQ(r.EXIF_YRESOLUTION, 100);
  EXPECT_TRUE(r.GetEXIF_ThumbnailImage()->IsEmpty());
}

}  // namespace

namespace {

// The reader turns the thumbnail upright by the orientation; every
// orientation must give back the thumbnail that was saved.
TEST(ExifBlockRoundTrip, ThumbnailComesBackTheWayItWentOut) {
  for (Integer orientation = 1; orientation <= 8; ++orientation) {
    TIOParamsVals p;
    p.EXIF_HASEXIF = true;
    p.SetEXIF_Orientation(orientation);
    TLKBitmap* thumb = p.GetEXIF_ThumbnailImage();
    thumb->Allocate(64, 32, lk24RGB);
    // Bright only in the top-left quarter: any turn or mirror moves it.
    for (Integer y = 0; y < 32; ++y) {
      auto* row = static_cast<TRGB*>(thumb->GetScanLine(y));
      for (Integer x = 0; x < 64; ++x) row[x] = x < 32 && y < 16 ? TRGB{240, 240, 240} : TRGB{10, 10, 10};
    }
    std::vector<Byte> block;
    SaveEXIFToStandardBuffer(p, block);
    TIOParamsVals r;
    ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), r));
    TLKBitmap* back = r.GetEXIF_ThumbnailImage();
    ASSERT_EQ(back->GetWidth(), 64) << orientation;
    ASSERT_EQ(back->GetHeight(), 32) << orientation;
    const auto* top = static_cast<const TRGB*>(back->GetScanLine(4));
    const auto* bottom = static_cast<const TRGB*>(back->GetScanLine(28));
    EXPECT_GT(top[4].g, 200) << orientation;
    EXPECT_LT(top[60].g, 50) << orientation;
    EXPECT_LT(bottom[4].g, 50) << orientation;
  }
}

}  // namespace
