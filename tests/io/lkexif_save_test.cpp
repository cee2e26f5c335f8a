// The EXIF block of a JPEG saved on the develop road: a record filled as the
// camera RAW develop leaves it (the camera's fields, the camera's small
// thumbnail, everything else unknown), the picture cropped, then saved as
// JPEG. The block must name its EXIF version, hold no zero placeholders for
// values nobody knows, and carry a thumbnail of the saved picture (not the
// camera's); exiftool, where installed, must find no error in it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkexif.h"
#include "io/lumerakio.h"
#include "processing/lumerakproc.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

uint16_t LE16(const std::string& B, size_t At) { return uint16_t(uint8_t(B[At]) | uint8_t(B[At + 1]) << 8); }
uint32_t LE32(const std::string& B, size_t At) { return uint32_t(LE16(B, At)) | uint32_t(LE16(B, At + 2)) << 16; }

// The payload of the file's EXIF APP1 marker, or empty.
std::string ExifPayload(const std::string& Jpeg) {
  size_t i = 2;
  while (i + 4 <= Jpeg.size() && uint8_t(Jpeg[i]) == 0xFF) {
    const uint8_t code = uint8_t(Jpeg[i + 1]);
    const size_t len = size_t(uint8_t(Jpeg[i + 2])) << 8 | uint8_t(Jpeg[i + 3]);
    if (code == 0xDA || len < 2 || i + 2 + len > Jpeg.size()) break;
    const std::string payload = Jpeg.substr(i + 4, len - 2);
    if (code == 0xE1 && payload.compare(0, 6, std::string("Exif\0\0", 6)) == 0) return payload;
    i += 2 + len;
  }
  return {};
}

struct Entry {
  uint16_t Tag, Type;
  uint32_t Count;
  std::string Value;  // the value bytes
};

// The entries of the directory at Offset of the little-endian TIFF T.
std::vector<Entry> Directory(const std::string& T, uint32_t Offset) {
  std::vector<Entry> out;
  if (Offset + 2 > T.size()) return out;
  const uint16_t n = LE16(T, Offset);
  static const uint32_t kSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  for (uint16_t k = 0; k < n && Offset + 2 + 12 * (k + 1) <= T.size(); ++k) {
    const size_t e = Offset + 2 + 12 * k;
    Entry en{LE16(T, e), LE16(T, e + 2), LE32(T, e + 4), {}};
    const uint32_t bytes = en.Type < 13 ? kSize[en.Type] * en.Count : 0;
    const size_t at = bytes <= 4 ? e + 8 : LE32(T, e + 8);
    if (at + bytes <= T.size()) en.Value = T.substr(at, bytes);
    out.push_back(en);
  }
  return out;
}

bool AllZero(const std::string& S) { return S.find_first_not_of('\0') == std::string::npos; }

// A 240 x 160 picture of horizontal and vertical ramps.
void FillPicture(TLKBitmap& B) {
  B.Allocate(240, 160, lk24RGB);
  for (Integer y = 0; y < 160; ++y) {
    auto* row = static_cast<TRGB*>(B.GetScanLine(y));
    for (Integer x = 0; x < 240; ++x) row[x] = TRGB{Byte(y), Byte(x), Byte(255 - x)};
  }
}

// What the camera RAW develop leaves in the record: the camera's own EXIF
// fields and its small embedded thumbnail (here a flat grey), the rest
// unknown; then the development settings.
void FillAsDevelopDoes(TIOParamsVals& P) {
  P.EXIF_HASEXIF = true;
  P.EXIF_MAKE = "Camera Maker";
  P.EXIF_MODEL = "Model 10";
  P.EXIF_DATETIME = "2026:12:10 09:00:00";
  P.EXIF_DATETIMEORIGINAL = "2026:12:10 09:00:00";
  P.EXIF_EXPOSURETIME = 0.008;
  P.EXIF_FNUMBER = 8;
  P.SetEXIF_ISOSpeedRatings(0, 200);
  P.EXIF_FOCALLENGTH = 50;
  P.EXIF_EXIFIMAGEWIDTH = 3000;
  P.EXIF_EXIFIMAGEHEIGHT = 2000;
  P.SetEXIF_Orientation(1);
  TLKBitmap* thumb = P.GetEXIF_ThumbnailImage();
  thumb->Allocate(24, 16, lk24RGB);
  for (Integer y = 0; y < 16; ++y) {
    auto* row = static_cast<TRGB*>(thumb->GetScanLine(y));
    for (Integer x = 0; x < 24; ++x) row[x] = TRGB{128, 128, 128};
  }
  P.SetProperty("RAW_USECAMERAWB", "1");
  P.SetProperty("RAW_GAMMA", "0.6");
  P.JPEG_ENABLEADJUSTORIENTATION = true;
  P.TIFF_ENABLEADJUSTORIENTATION = true;
}

class ExifOnSave : public ::testing::Test {
 protected:
  void SetUp() override {
    FillPicture(picture_);
    io_.SetAttachedLKBitmap(&picture_);
    FillAsDevelopDoes(*io_.GetIOParams());
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&picture_);
    proc.Crop(40, 20, 200, 140);
    file_ = dir_.File("developed.jpg");
    io_.SaveToFile(file_);
    ASSERT_FALSE(io_.GetAborted());
  }
  FreshRegistry registry_;
  TempDir dir_;
  TLKBitmap picture_;
  TLumerakIO io_;
  String file_;
};

TEST_F(ExifOnSave, BlockNamesItsVersionAndHoldsNoZeroPlaceholders) {
  const std::string block = ExifPayload(ReadAll(file_));
  ASSERT_GT(block.size(), 14u);
  const std::string tiff = block.substr(6);
  ASSERT_EQ(tiff.compare(0, 4, std::string("II*\0", 4)), 0);
  std::vector<Entry> main = Directory(tiff, LE32(tiff, 4));
  std::vector<Entry> all = main;
  for (const Entry& e : main)
    if (e.Tag == 34665) {
      const std::vector<Entry> exif = Directory(tiff, LE32(e.Value, 0));
      all.insert(all.end(), exif.begin(), exif.end());
    }
  bool version = false;
  for (const Entry& e : all) {
    if (e.Tag == 36864) {
      version = true;
      EXPECT_EQ(e.Count, 4u);
      EXPECT_FALSE(AllZero(e.Value)) << "empty ExifVersion";
    }
    // A number nobody knows is left out, not written as 0.
    const bool number = e.Type == 3 || e.Type == 4 || e.Type == 5 || e.Type == 10;
    if (number && e.Tag != 34665 && e.Tag != 34853) EXPECT_FALSE(AllZero(e.Value)) << "zero placeholder, tag " << e.Tag;
  }
  EXPECT_TRUE(version);

  // The camera's fields are there, with the size of the saved picture.
  TIOParamsVals back;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(reinterpret_cast<const Byte*>(block.data()),
                                         static_cast<Integer>(block.size()), back));
  EXPECT_EQ(back.EXIF_MODEL, "Model 10");
  EXPECT_DOUBLE_EQ(back.EXIF_EXPOSURETIME, 0.008);
  EXPECT_EQ(back.GetEXIF_ISOSpeedRatings(0), 200);
  EXPECT_EQ(back.EXIF_EXIFIMAGEWIDTH, picture_.GetWidth());
  EXPECT_EQ(back.EXIF_EXIFIMAGEHEIGHT, picture_.GetHeight());
  EXPECT_LT(picture_.GetWidth(), 240);
  EXPECT_FALSE(back.EXIF_EXIFVERSION.empty());
}

TEST_F(ExifOnSave, ThumbnailIsAReducedCopyOfTheSavedPicture) {
  const std::string block = ExifPayload(ReadAll(file_));
  TIOParamsVals back;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(reinterpret_cast<const Byte*>(block.data()),
                                         static_cast<Integer>(block.size()), back));
  TLKBitmap* thumb = back.GetEXIF_ThumbnailImage();
  ASSERT_EQ(thumb->GetWidth(), 160);
  ASSERT_EQ(thumb->GetHeight(), 120);

  // The saved picture as a reader sees it, reduced to the thumbnail's size.
  TLKBitmap saved;
  TLumerakIO reader;
  reader.SetAttachedLKBitmap(&saved);
  reader.LoadFromFile(file_);
  ASSERT_FALSE(reader.GetAborted());
  TLKBitmap reduced;
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&saved);
  proc.ResampleTo(&reduced, thumb->GetWidth(), thumb->GetHeight(), rfTriangle);
  double sum = 0;
  for (Integer y = 0; y < thumb->GetHeight(); ++y) {
    const auto* a = static_cast<const TRGB*>(thumb->GetScanLine(y));
    const auto* b = static_cast<const TRGB*>(reduced.GetScanLine(y));
    for (Integer x = 0; x < thumb->GetWidth(); ++x)
      sum += std::abs(a[x].r - b[x].r) + std::abs(a[x].g - b[x].g) + std::abs(a[x].b - b[x].b);
  }
  // JPEG twice over leaves a few levels; the camera's flat grey thumbnail
  // would be off by tens.
  EXPECT_LT(sum / (3.0 * thumb->GetWidth() * thumb->GetHeight()), 4.0);
}

TEST_F(ExifOnSave, ExiftoolFindsNoError) {
  if (std::system("command -v exiftool >/dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
  const std::string cmd = "exiftool -validate -warning -error -a '" + file_ + "' 2>&1";
  FILE* out = ::popen(cmd.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buf[512];
  while (std::fgets(buf, sizeof buf, out)) text += buf;
  ::pclose(out);
  EXPECT_EQ(text.find("Error"), std::string::npos) << text;
  // The warnings left are printed for the record.
  std::printf("%s", text.c_str());
}

}  // namespace
