// The Canon CIFF helpers of the camera RAW decoder over CIFF files built in
// memory: EXIF fields, thumbnail, maker notes and the largest picture.
#include <gtest/gtest.h>

#include <vector>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "raw/lkraw.h"
#include "raw/rawfiles.h"

using rawfiles::Bytes;
using rawfiles::IsMark;
using rawfiles::Mark;
using rawfiles::ByteWriter;
using rawkit::CiffBuilder;
using rawkit::CiffRecord;

namespace {

Bytes Texts(bool little, const char* a, const char* b) {
  ByteWriter w(little);
  w.text(a).text(b);
  return w.bytes();
}

struct Ciff {
  TIOParamsVals params;
  TLKBitmap picture;
  void Run(const Bytes& file) {
    auto s = rawfiles::Stream(file);
    EXPECT_FALSE(LKCRWGetCIFFAsExif(*s, params));
    s->Seek(0, soBeginning);
    EXPECT_FALSE(LKCRWGetJpeg(picture, *s));
  }
};

}  // namespace

class RawCiffExifTest : public testing::TestWithParam<bool> {};

TEST_P(RawCiffExifTest, SmallestPictureIsTheThumbnailLargestThePicture) {
  const bool little = GetParam();
  ByteWriter size(little);
  size.u32(3072).u32(2048);
  Ciff c;
  c.Run(CiffBuilder(little).build_file({
      CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x080a, Texts(little, "Canon", "Canon EOS D60")),
                                 CiffBuilder::rec(0x080b, Texts(little, "Firmware 1.1", "")),
                                 CiffBuilder::heap(0x2807, {CiffBuilder::rec(0x1810, size.bytes())})}),
      CiffBuilder::rec(0x2007, rawfiles::Jpeg(160, 120)),
      CiffBuilder::heap(0x300b, {CiffBuilder::rec(0x2008, rawfiles::Jpeg(2048, 1360))}),
      CiffBuilder::rec(0x2008, rawfiles::Jpeg(1536, 1024)),
  }));
  EXPECT_EQ(c.params.EXIF_MAKE, "Canon");
  EXPECT_EQ(c.params.EXIF_MODEL, "Canon EOS D60");
  EXPECT_EQ(c.params.EXIF_SOFTWARE, "Firmware 1.1");
  EXPECT_EQ(c.params.EXIF_EXIFIMAGEWIDTH, 3072);
  EXPECT_EQ(c.params.EXIF_EXIFIMAGEHEIGHT, 2048);
  ASSERT_NE(c.params.EXIF_ThumbnailImage, nullptr);
  EXPECT_EQ(c.params.EXIF_ThumbnailImage->GetWidth(), 160);
  EXPECT_EQ(c.params.EXIF_ThumbnailImage->GetHeight(), 120);
  EXPECT_EQ(c.picture.GetWidth(), 2048);
  EXPECT_EQ(c.picture.GetHeight(), 1360);
}

// A second picture that is not smaller in both sides keeps the first.
TEST_P(RawCiffExifTest, ThumbnailMustBeSmallerInBothSides) {
  const bool little = GetParam();
  Ciff c;
  c.Run(CiffBuilder(little).build_file({CiffBuilder::rec(0x2007, rawfiles::Jpeg(160, 120)),
                                        CiffBuilder::rec(0x2008, rawfiles::Jpeg(200, 100))}));
  ASSERT_NE(c.params.EXIF_ThumbnailImage, nullptr);
  EXPECT_EQ(c.params.EXIF_ThumbnailImage->GetWidth(), 160);
  // Neither is larger in both sides than the first either.
  EXPECT_EQ(c.picture.GetWidth(), 160);
}

// Maker-note arrays become one little-endian directory in the maker-note
// tag list, whatever the file's byte order; a two-word array reads back as
// well as a longer one.
TEST_P(RawCiffExifTest, MakerNoteArraysBecomeTags) {
  const bool little = GetParam();
  ByteWriter a(little), b(little);
  a.u16(0x0102).u16(0x0304).u16(7);
  b.u16(1).u16(2);
  Ciff c;
  c.Run(CiffBuilder(little).build_file(
      {CiffBuilder::rec(0x102a, a.bytes()), CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x102d, b.bytes())})}));
  std::vector<Integer> v4, v1;
  // Words are copied as stored: in a big-endian file they read swapped.
  EXPECT_EQ(c.params.EXIF_MakerNote.GetIntegerArray(4, v4), 3);
  EXPECT_EQ(c.params.EXIF_MakerNote.GetIntegerArray(1, v1), 2);
  if (little) {
    EXPECT_EQ(v4, (std::vector<Integer>{0x0102, 0x0304, 7}));
    EXPECT_EQ(v1, (std::vector<Integer>{1, 2}));
  } else {
    EXPECT_EQ(v4, (std::vector<Integer>{0x0201, 0x0403, 0x0700}));
    EXPECT_EQ(v1, (std::vector<Integer>{0x0100, 0x0200}));
  }
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RawCiffExifTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "II" : "MM"; });

TEST(RawCiffTest, NonCiffStreamsChangeNothing) {
  rawkit::TiffBuilder t(true);
  rawkit::TiffIfd ifd;
  ifd.add_text(271, "Canon");
  t.ifds = {ifd};
  ByteWriter w(true);
  t.write(w);
  w.pad_to(512);
  for (const Bytes& file : {w.bytes(), Bytes{}, Bytes{'I', 'I'}}) {
    Ciff c;
    c.params.EXIF_MAKE = "kept";
    Mark(c.picture);
    c.Run(file);
    EXPECT_EQ(c.params.EXIF_MAKE, "kept");
    EXPECT_EQ(c.params.EXIF_ThumbnailImage, nullptr);
    EXPECT_TRUE(IsMark(c.picture));
  }
}

TEST(RawCiffTest, WithoutPicturesTheThumbnailIsEmptyAndTheBitmapKept) {
  Ciff c;
  Mark(*c.params.GetEXIF_ThumbnailImage());
  Mark(c.picture);
  c.Run(CiffBuilder(true).build_file({CiffBuilder::rec(0x0805, ByteWriter(true).text("no pictures").bytes()),
                                      // Bytes that are no JPEG under a picture kind.
                                      CiffBuilder::rec(0x2008, Bytes(64, 0x11))}));
  EXPECT_EQ(c.params.EXIF_IMAGEDESCRIPTION, "no pictures");
  ASSERT_NE(c.params.EXIF_ThumbnailImage, nullptr);
  EXPECT_TRUE(c.params.EXIF_ThumbnailImage->IsEmpty());
  EXPECT_TRUE(IsMark(c.picture));
}

// Only the first 256 records of a heap are read for the metadata.
TEST(RawCiffTest, MetadataWalkReadsAtMost256RecordsPerHeap) {
  std::vector<CiffRecord> recs;
  for (int i = 0; i < 300; ++i) recs.push_back(CiffBuilder::rec(0x0001, Bytes(2, 0)));
  recs[10] = CiffBuilder::rec(0x0805, ByteWriter(true).text("seen").bytes());
  recs[280] = CiffBuilder::rec(0x080b, ByteWriter(true).text("beyond").bytes());
  Ciff c;
  c.Run(CiffBuilder(true).build_file(recs));
  EXPECT_EQ(c.params.EXIF_IMAGEDESCRIPTION, "seen");
  EXPECT_EQ(c.params.EXIF_SOFTWARE, "");
}
