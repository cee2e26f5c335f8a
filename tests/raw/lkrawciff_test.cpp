#include <gtest/gtest.h>

#include "raw/kit/rawkit.h"
#include "raw/lkrawciff.h"

using rawkit::ByteWriter;
using rawkit::Bytes;
using rawkit::CiffBuilder;
using rawkit::CiffRecord;

namespace {

// Stand-in pictures for the size probe: "JPG", then width and height as
// little-endian 16-bit values.
Bytes fake_jpeg(int w, int h) {
  ByteWriter b(true);
  b.text("JPG", false).u16(static_cast<uint32_t>(w)).u16(static_cast<uint32_t>(h));
  return b.bytes();
}

struct File {
  Bytes bytes;
  TRAWMemorySource src;
  explicit File(Bytes b) : bytes(std::move(b)), src(bytes.data(), static_cast<Int64>(bytes.size())) {}
  TCIFFJpegProbe probe() {
    return [this](Int64 pos, Integer& w, Integer& h) {
      if (pos < 0 || pos + 7 > static_cast<Int64>(bytes.size())) return false;
      if (std::memcmp(&bytes[static_cast<size_t>(pos)], "JPG", 3) != 0) return false;
      const uint8_t* p = &bytes[static_cast<size_t>(pos) + 3];
      w = p[0] | (p[1] << 8);
      h = p[2] | (p[3] << 8);
      return true;
    };
  }
};

Bytes text2(const char* a, const char* b) {
  ByteWriter w;
  w.text(a).text(b);
  return w.bytes();
}

}  // namespace

class RawCiffWalkTest : public testing::TestWithParam<bool> {};

TEST_P(RawCiffWalkTest, MetadataThumbnailAndLargestPicture) {
  const bool little = GetParam();
  ByteWriter size(little);
  size.u32(3072).u32(2048);
  CiffBuilder c(little);
  File f(c.build_file({
      CiffBuilder::heap(0x300a, {
          CiffBuilder::rec(0x080a, text2("Canon", "Canon EOS 10D")),
          CiffBuilder::rec(0x080b, text2("Firmware 2.0", "")),
          CiffBuilder::inrec(0x0805, {'S', 'h', 'o', 't', 0, 'x', 'x', 'x'}),
          CiffBuilder::heap(0x2807, {CiffBuilder::rec(0x1810, size.bytes())}),
      }),
      CiffBuilder::rec(0x2007, fake_jpeg(160, 120)),
      CiffBuilder::heap(0x300b, {CiffBuilder::rec(0x2008, fake_jpeg(2048, 1360))}),
      CiffBuilder::rec(0x2007, fake_jpeg(1536, 1024)),
  }));
  TCIFFExifInfo info;
  ASSERT_TRUE(ciff_walk_for_exif(f.src, f.probe(), info));
  EXPECT_EQ(info.Make, "Canon");
  EXPECT_EQ(info.Model, "Canon EOS 10D");
  EXPECT_EQ(info.Software, "Firmware 2.0");
  EXPECT_EQ(info.ImageDescription, "Shot");
  EXPECT_TRUE(info.HasImageSize);
  EXPECT_EQ(info.ExifImageWidth, 3072);
  EXPECT_EQ(info.ExifImageHeight, 2048);
  ASSERT_GT(info.ThumbPos, 0);
  EXPECT_EQ(info.ThumbWidth, 160);
  EXPECT_EQ(info.ThumbHeight, 120);
  Int64 best = ciff_walk_for_jpeg(f.src, f.probe());
  ASSERT_GT(best, 0);
  Integer w = 0, h = 0;
  ASSERT_TRUE(f.probe()(best, w, h));
  EXPECT_EQ(w, 2048);
  EXPECT_EQ(h, 1360);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RawCiffWalkTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "II" : "MM"; });

// The thumbnail must be smaller in both sides: 200 × 100 does not replace
// 160 × 120. Without any picture nothing is chosen.
TEST(RawCiffWalkTest, ThumbnailSmallerInBothSidesAndNoPictures) {
  CiffBuilder c(true);
  File f(c.build_file({CiffBuilder::rec(0x2007, fake_jpeg(160, 120)),
                       CiffBuilder::rec(0x2008, fake_jpeg(200, 100))}));
  TCIFFExifInfo info;
  ASSERT_TRUE(ciff_walk_for_exif(f.src, f.probe(), info));
  EXPECT_EQ(info.ThumbWidth, 160);
  File none(c.build_file({CiffBuilder::rec(0x0805, text2("x", ""))}));
  ASSERT_TRUE(ciff_walk_for_exif(none.src, none.probe(), info));
  EXPECT_EQ(info.ThumbPos, -1);
  EXPECT_EQ(ciff_walk_for_jpeg(none.src, none.probe()), -1);
}

// A TIFF file (byte order but no "HEAPCCDR") is left alone.
TEST(RawCiffWalkTest, NonCiffStreams) {
  rawkit::TiffBuilder t(true);
  t.ifds.resize(1);
  t.ifds[0].add_long(256, 10);
  ByteWriter w;
  t.write(w);
  File f(w.bytes());
  TCIFFExifInfo info;
  info.Make = "unchanged";
  EXPECT_FALSE(ciff_walk_for_exif(f.src, f.probe(), info));
  EXPECT_EQ(info.Make, "unchanged");
  EXPECT_EQ(ciff_walk_for_jpeg(f.src, f.probe()), -1);
  File tiny(Bytes{'I', 'I', 1});
  EXPECT_FALSE(ciff_walk_for_exif(tiny.src, tiny.probe(), info));
}

// The metadata walk looks at the first 256 records of a heap only; the
// picture walk at all of them.
TEST(RawCiffWalkTest, AtMost256RecordsForMetadata) {
  std::vector<CiffRecord> recs;
  for (int i = 0; i < 300; ++i) recs.push_back(CiffBuilder::rec(0x0001, {0}));
  recs[10] = CiffBuilder::rec(0x080b, text2("early", ""));
  recs[280] = CiffBuilder::rec(0x0805, text2("late", ""));
  recs[290] = CiffBuilder::rec(0x2007, fake_jpeg(64, 48));
  File f(CiffBuilder(true).build_file(recs));
  TCIFFExifInfo info;
  ASSERT_TRUE(ciff_walk_for_exif(f.src, f.probe(), info));
  EXPECT_EQ(info.Software, "early");
  EXPECT_EQ(info.ImageDescription, "");
  EXPECT_EQ(info.ThumbPos, -1);
  EXPECT_GT(ciff_walk_for_jpeg(f.src, f.probe()), 0);
}

// The maker-note directory, byte for byte: little-endian whatever the file's
// order; the words themselves are copied as stored, those of arrays of up to
// two words inside their entry (a TIFF reader looks for them there).
TEST(RawCiffWalkTest, MakerNoteDirectoryBytes) {
  CiffBuilder c(false);
  File f(c.build_file({CiffBuilder::rec(0x102a, {0x00, 0x01, 0x00, 0x02, 0x00, 0x03}),
                       CiffBuilder::rec(0x102d, {0xaa, 0xbb, 0xcc, 0xdd, 0xee})}));
  TCIFFExifInfo info;
  ASSERT_TRUE(ciff_walk_for_exif(f.src, f.probe(), info));
  const Bytes want = {
      2, 0,                                     // entries
      4, 0, 3, 0, 3, 0, 0, 0, 26, 0, 0, 0,      // tag 4, short, 3 words at 26
      1, 0, 3, 0, 2, 0, 0, 0, 0xaa, 0xbb, 0xcc, 0xdd,  // tag 1, short, 2 words inside (odd byte dropped)
      0x00, 0x01, 0x00, 0x02, 0x00, 0x03};      // words as stored (big-endian)
  EXPECT_EQ(ciff_makernote_directory(info), want);
  EXPECT_EQ(ciff_makernote_directory(TCIFFExifInfo{}), (Bytes{0, 0}));
}

// 40 sub-heaps sharing the parent's start and record table, each a byte
// shorter: every level finds the same records again, so the number of heaps
// grows combinatorially with the depth. The walks stop after a fixed number
// of record visits.
rawkit::Bytes overlapping_heaps() {
  const int n = 40, len = 500;
  ByteWriter w(true);
  w.u16(0x4949).u32(14).text("HEAPCCDR", false);
  w.u16(n);
  for (int i = 0; i < n; ++i) w.u16(0x300a).u32(static_cast<uint32_t>(len - 1 - i)).u32(0);
  w.pad_to(14 + len);  // zeros: every heap end holds table offset 0
  return w.bytes();
}

TEST(RawCiffWalkTest, OverlappingSubHeapsAreBounded) {
  File f(overlapping_heaps());
  TCIFFExifInfo info;
  EXPECT_TRUE(ciff_walk_for_exif(f.src, f.probe(), info));
  EXPECT_EQ(ciff_walk_for_jpeg(f.src, f.probe()), -1);
}

// Heaps that contain themselves, nest without end, or claim records beyond
// their bounds; every prefix of a valid file.
TEST(RawCiffWalkTest, HostileHeapsEnd) {
  ByteWriter w(true);
  w.u16(0x4949).u32(14).text("HEAPCCDR", false);
  w.u16(1).u16(0x300a).u32(16).u32(0).u32(0);  // a sub-heap equal to its parent
  File self(w.bytes());
  TCIFFExifInfo info;
  EXPECT_TRUE(ciff_walk_for_exif(self.src, self.probe(), info));
  EXPECT_EQ(ciff_walk_for_jpeg(self.src, self.probe()), -1);

  std::vector<CiffRecord> deep = {CiffBuilder::rec(0x2007, fake_jpeg(9, 9))};
  for (int d = 0; d < 50; ++d) deep = {CiffBuilder::heap(0x300a, deep)};
  File nest(CiffBuilder(true).build_file(deep));
  EXPECT_EQ(ciff_walk_for_jpeg(nest.src, nest.probe()), -1);  // below the nesting limit

  Bytes good = CiffBuilder(false).build_file({
      CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x080a, text2("Canon", "M")),
                                 CiffBuilder::rec(0x102a, Bytes(20, 1))}),
      CiffBuilder::rec(0x2007, fake_jpeg(20, 10))});
  for (size_t n = 0; n <= good.size(); ++n) {
    File p(Bytes(good.begin(), good.begin() + static_cast<long>(n)));
    TCIFFExifInfo i;
    ciff_walk_for_exif(p.src, p.probe(), i);
    ciff_walk_for_jpeg(p.src, p.probe());
    EXPECT_LE(ciff_makernote_directory(i).size(), 2 + 12 + n);
  }
}
