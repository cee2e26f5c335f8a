#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "raw/kit/rawkit.h"
#include "raw/lkrawbits.h"
#include "raw/lkrawparse.h"

using rawkit::ByteWriter;
using rawkit::Bytes;
using rawkit::CiffBuilder;
using rawkit::TiffBuilder;
using rawkit::TiffIfd;

namespace {

struct Parsed {
  Bytes bytes;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();
  explicit Parsed(Bytes b) : bytes(std::move(b)) {
    src = std::make_unique<TRAWMemorySource>(bytes.data(), static_cast<Int64>(bytes.size()));
    set_source(*s, src.get());
    reset_decoder_state(*s);
  }
};

Bytes words(bool little, std::initializer_list<uint32_t> v, bool thirty_two = false) {
  ByteWriter w(little);
  for (uint32_t x : v) thirty_two ? w.u32(x) : w.u16(x);
  return w.bytes();
}

// A Nikon maker note: "Nikon" header, then a TIFF structure of its own whose
// offsets count from the end of the 10-byte header.
Bytes nikon_makernote(bool little) {
  ByteWriter w(little);
  w.text("Nikon", true).u8(2).u8(0x10).u8(0).u8(0);
  TiffBuilder t(little);
  TiffIfd note;
  note.add_data(12, 5, 2, words(little, {3000, 1000, 1500, 1000}, true));
  note.add(140, 7, 10, 500);
  note.add_data(151, 7, 40, Bytes(40, 0));
  t.ifds = {note};
  t.write(w);
  return w.bytes();
}

// A Nikon-like TIFF file: IFD0 with make, model, orientation, a raw
// sub-directory and an EXIF directory holding the maker note.
Bytes nikon_tiff(bool little) {
  TiffBuilder t(little);
  TiffIfd ifd0, raw, exif;
  ifd0.add_text(271, "NIKON CORPORATION").add_text(272, "NIKON D70").add_short(274, 6)
      .add_sub(330, 1).add_sub(34665, 2);
  raw.add_long(256, 3040).add_long(257, 2014).add_short(259, 34713).add_short(262, 32803)
      .add_long(273, 12345).add(291, 3, 4, 0);
  exif.add_data(37500, 7, 0, nikon_makernote(little));
  exif.entries.back().count = static_cast<uint32_t>(exif.entries.back().data.size());
  t.ifds = {ifd0, raw, exif};
  ByteWriter w(little);
  t.write(w);
  return w.bytes();
}

}  // namespace

class RawTiffOrderTest : public testing::TestWithParam<bool> {};

TEST_P(RawTiffOrderTest, TiffWithSubDirectoryExifAndNikonMakerNote) {
  const bool little = GetParam();
  Parsed p(nikon_tiff(little));
  parse_tiff(*p.s, 0);
  EXPECT_STREQ(p.s->make, "NIKON CORPORATION");
  EXPECT_STREQ(p.s->model, "NIKON D70");
  EXPECT_EQ(p.s->order, little ? 0x4949 : 0x4d4d);
  EXPECT_EQ(p.s->flip, 6);
  EXPECT_EQ(p.s->raw_width, 3040);
  EXPECT_EQ(p.s->raw_height, 2014);
  EXPECT_EQ(p.s->compression, 34713);
  EXPECT_EQ(p.s->photometric, 32803);
  EXPECT_EQ(p.s->data_offset, 12345);
  EXPECT_FLOAT_EQ(p.s->camera_red, 3.0f);
  EXPECT_FLOAT_EQ(p.s->camera_blue, 1.5f);
  // Curve offset from tag 140: its value + the note's base (after its
  // 10-byte header) + 2112.
  Int64 note = mem_search(p.bytes.data(), static_cast<Int64>(p.bytes.size()), "Nikon\0", 6);
  ASSERT_GT(note, 0);
  EXPECT_EQ(p.s->curve_offset, 500 + note + 10 + 2112);
}

// Tag 151 of the D70: four 16-bit values 20 bytes into its data.
TEST_P(RawTiffOrderTest, NikonD70WhiteBalanceRecord) {
  const bool little = GetParam();
  ByteWriter w(little);
  w.text("Nikon", true).u8(2).u8(0x10).u8(0).u8(0);
  TiffBuilder t(little);
  TiffIfd note;
  Bytes wb(20, 0);
  Bytes tail = words(little, {600, 300, 500, 250});
  wb.insert(wb.end(), tail.begin(), tail.end());
  note.add_data(151, 7, static_cast<uint32_t>(wb.size()), wb);
  t.ifds = {note};
  t.write(w);
  TiffBuilder main(little);
  TiffIfd ifd0, exif;
  ifd0.add_text(271, "NIKON").add_text(272, "NIKON D70").add_sub(34665, 1);
  exif.add_data(37500, 7, static_cast<uint32_t>(w.size()), w.bytes());
  main.ifds = {ifd0, exif};
  ByteWriter file(little);
  main.write(file);
  Parsed p(file.bytes());
  parse_tiff(*p.s, 0);
  EXPECT_FLOAT_EQ(p.s->camera_red, 2.0f);
  EXPECT_FLOAT_EQ(p.s->camera_blue, 2.0f);
}

// An Olympus maker note: 8-byte header, then a directory whose offsets are
// absolute; tags 4119 and 4120 give the balance in 1/256.
TEST_P(RawTiffOrderTest, OlympusMakerNote) {
  const bool little = GetParam();
  ByteWriter note(little);
  note.text("OLYMP", true).u8(1).u8(0);
  note.u16(2);
  note.u16(4119).u16(3).u32(1).u16(512).u16(0);
  note.u16(4120).u16(4).u32(1).u32(384);
  TiffBuilder t(little);
  TiffIfd ifd0, exif;
  ifd0.add_text(271, "OLYMPUS IMAGING CORP.").add_sub(34665, 1);
  exif.add_data(37500, 7, static_cast<uint32_t>(note.size()), note.bytes());
  t.ifds = {ifd0, exif};
  ByteWriter w(little);
  t.write(w);
  Parsed p(w.bytes());
  parse_tiff(*p.s, 0);
  EXPECT_FLOAT_EQ(p.s->camera_red, 2.0f);
  EXPECT_FLOAT_EQ(p.s->camera_blue, 1.5f);
  EXPECT_EQ(p.s->order, little ? 0x4949 : 0x4d4d);
}

TEST_P(RawTiffOrderTest, OlympusAdobeImaconAndLeafRules) {
  const bool little = GetParam();
  {  // Olympus: make cut to 7 characters, odd height rounded up to even.
    TiffBuilder t(little);
    TiffIfd ifd0;
    ifd0.add_long(256, 2560).add_long(257, 1921).add_text(271, "OLYMPUS OPTICAL CO.,LTD")
        .add_data(273, 4, 2, words(little, {4096, 9000}, true));
    t.ifds = {ifd0};
    ByteWriter w(little);
    t.write(w);
    Parsed p(w.bytes());
    parse_tiff(*p.s, 0);
    EXPECT_STREQ(p.s->make, "OLYMPUS");
    EXPECT_EQ(p.s->raw_width, 2560);
    EXPECT_EQ(p.s->raw_height, 1922);
    EXPECT_EQ(p.s->data_offset, 4096);
  }
  {  // Converted files are rejected: the make is cleared even when a later
     // directory names it again.
    TiffBuilder t(little);
    TiffIfd ifd0, ifd1;
    ifd0.add_text(271, "Canon").add_text(272, "EOS 20D").add_text(305, "Adobe Photoshop");
    ifd1.add_text(271, "Canon");
    t.ifds = {ifd0, ifd1};
    t.chain = {0, 1};
    ByteWriter w(little);
    t.write(w);
    Parsed p(w.bytes());
    parse_tiff(*p.s, 0);
    EXPECT_STREQ(p.s->make, "");
  }
  {  // No make and a 680 × 680 picture: Imacon Ixpress.
    TiffBuilder t(little);
    TiffIfd ifd0;
    ifd0.add_long(256, 680).add_long(257, 680);
    t.ifds = {ifd0};
    ByteWriter w(little);
    t.write(w);
    Parsed p(w.bytes());
    parse_tiff(*p.s, 0);
    EXPECT_STREQ(p.s->make, "Imacon");
    EXPECT_STREQ(p.s->model, "Ixpress");
  }
  {  // Tag 324: Leaf, sizes remembered so far, a single offset.
    TiffBuilder t(little);
    TiffIfd ifd0;
    ifd0.add_long(256, 4080).add_long(257, 4080).add_long(324, 777);
    t.ifds = {ifd0};
    ByteWriter w(little);
    t.write(w);
    Parsed p(w.bytes());
    parse_tiff(*p.s, 0);
    EXPECT_STREQ(p.s->make, "Leaf");
    EXPECT_EQ(p.s->raw_width, 4080);
    EXPECT_EQ(p.s->data_offset, 777);
  }
}

// Directory chains that loop or point past the end stop; entry counts larger
// than the data are bounded by it.
TEST_P(RawTiffOrderTest, HostileChainsEnd) {
  const bool little = GetParam();
  ByteWriter w(little);
  w.u16(little ? 0x4949 : 0x4d4d).u16(42).u32(8);
  w.u16(1).u16(271).u16(2).u32(4).u32(0x41414141);  // make "AAAA" (not terminated)
  w.u32(8);                                          // next: itself
  Parsed loop(w.bytes());
  parse_tiff(*loop.s, 0);
  EXPECT_STREQ(loop.s->make, "");  // 64 bytes at offset 0x41414141: nothing there

  ByteWriter v(little);
  v.u16(little ? 0x4949 : 0x4d4d).u16(42).u32(8);
  v.u16(60000).u16(256).u16(4).u32(1).u32(1000);  // claims 60000 entries
  v.u32(0x7ffffff0);
  Parsed big(v.bytes());
  parse_tiff(*big.s, 0);
  EXPECT_EQ(big.s->raw_width, 0);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RawTiffOrderTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "II" : "MM"; });

namespace {

// White table: 10-bit cells, each value (i × 8 + j) × 7, packed most
// significant first into 16-bit words masked alternately.
Bytes white_table(bool little, const Word mask[2]) {
  ByteWriter w(little);
  w.u16(0).u32(0x80008).u32(1).u16(10);
  rawkit::BitWriter bw;
  for (int k = 0; k < 64; ++k) bw.put(static_cast<uint32_t>(k * 7), 10);
  Bytes packed = bw.finish(0, 0);
  for (size_t i = 0; i < packed.size(); i += 2)
    w.u16(((packed[i] << 8) | packed[i + 1]) ^ mask[(i / 2) & 1]);
  return w.bytes();
}

Bytes canon_ciff(bool little, int wbi, uint32_t at100) {
  CiffBuilder c(little);
  ByteWriter mm(little);
  mm.text("Canon").text("Canon PowerShot S45");
  Bytes r102a(16, 0);
  Bytes wbw = words(little, {static_cast<uint32_t>(wbi)});
  r102a[14] = wbw[0]; r102a[15] = wbw[1];
  Bytes r102c(140, 0);
  ByteWriter x(little);
  x.u32(at100);
  std::memcpy(&r102c[100], x.bytes().data(), 4);
  if (at100) {
    Bytes m = words(little, {100, 200, 300, 150});
    std::memcpy(&r102c[100], m.data(), m.size());
  }
  return c.build_file({
      CiffBuilder::heap(0x300a, {
          CiffBuilder::rec(0x080a, mm.bytes()),
          CiffBuilder::rec(0x1031, words(little, {0, 2672, 1968})),
          CiffBuilder::rec(0x1835, words(little, {1}, true)),
          CiffBuilder::rec(0x1810, words(little, {0, 0, 0, 270}, true)),
          CiffBuilder::rec(0x180e, words(little, {1234567}, true)),
          CiffBuilder::inrec(0x180e, words(little, {99, 0}, true)),
      }),
      CiffBuilder::heap(0x300b, {
          CiffBuilder::rec(0x102a, r102a),
          CiffBuilder::rec(0x102c, r102c),
          CiffBuilder::rec(0x1030, white_table(little, kCanonWhiteMask)),
      }),
  });
}

void run_ciff(Parsed& p) {
  Int64 hl;
  p.s->order = p.bytes[0] == 'I' ? 0x4949 : 0x4d4d;
  hl = read_u32_at(*p.s, 2);
  parse_ciff(*p.s, hl, static_cast<Int64>(p.bytes.size()) - hl);
}

}  // namespace

class RawCiffOrderTest : public testing::TestWithParam<bool> {};

TEST_P(RawCiffOrderTest, HeapRecordsAndSubHeaps) {
  const bool little = GetParam();
  Parsed p(canon_ciff(little, 3, 7));
  run_ciff(p);
  EXPECT_STREQ(p.s->make, "Canon");
  EXPECT_STREQ(p.s->model, "Canon PowerShot S45");
  EXPECT_EQ(p.s->raw_width, 2672);
  EXPECT_EQ(p.s->raw_height, 1968);
  EXPECT_EQ(p.s->flip, 5);
  // The in-record timestamp comes last and wins: its length field.
  EXPECT_EQ(p.s->timestamp, 99);
  // Table set 1 built: the second tree starts after the first one's nodes.
  EXPECT_NE(p.s->second_decode, nullptr);
  // Camera multipliers at +100: red = 200 / 100, blue = 300 / 150.
  EXPECT_FLOAT_EQ(p.s->camera_red, 2.0f);
  EXPECT_FLOAT_EQ(p.s->camera_blue, 2.0f);
  // wbi 3: no white table.
  EXPECT_EQ(p.s->white[0][1], 0);
}

// wbi 6 with a zero word at +100 turns to wbi 15, and the white table of
// record 0x1030 is read.
TEST_P(RawCiffOrderTest, Wbi6BecomesFifteenAndReadsTheWhiteTable) {
  const bool little = GetParam();
  Parsed p(canon_ciff(little, 6, 0));
  run_ciff(p);
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) ASSERT_EQ(p.s->white[i][j], ((i * 8 + j) * 7) << 4) << i << "," << j;
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RawCiffOrderTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "II" : "MM"; });

TEST(RawCiffTest, WhiteTableMasksAlternate) {
  const Word mask[2] = {0x1234, 0xfedc};
  Parsed p(white_table(true, mask));
  p.s->order = 0x4949;
  parse_ciff_white_table(*p.s, mask);
  for (int k = 0; k < 64; ++k) ASSERT_EQ(p.s->white[k / 8][k % 8], (k * 7) << 4);
  Parsed bad(white_table(true, mask));
  bad.bytes[2] = 9;  // not 0x80008: nothing is read
  bad.s->order = 0x4949;
  parse_ciff_white_table(*bad.s, mask);
  EXPECT_EQ(bad.s->white[0][1], 0);
}

TEST(RawCiffTest, WbiMapOf10DSkipsIndexesOutsideIt) {
  for (int wbi : {-1, 12}) {
    CiffBuilder c(true);
    ByteWriter mm(true);
    mm.text("Canon").text("Canon EOS 10D");
    std::vector<rawkit::CiffRecord> recs = {CiffBuilder::rec(0x080a, mm.bytes())};
    if (wbi >= 0) {
      Bytes r(16, 0);
      r[14] = static_cast<uint8_t>(wbi);
      recs.push_back(CiffBuilder::rec(0x102a, r));
    }
    recs.push_back(CiffBuilder::rec(0x10a9, Bytes(200, 1)));
    Parsed p(c.build_file(recs));
    run_ciff(p);
    EXPECT_FLOAT_EQ(p.s->camera_red, 0.0f) << wbi;
  }
}

// A heap that lists itself as a sub-heap, and nesting deeper than any camera
// writes, end instead of recursing without bound.
TEST(RawCiffTest, SelfContainingAndDeepHeapsEnd) {
  ByteWriter w(true);
  w.u16(0x4949).u32(14).text("HEAPCCDR", false);
  // Heap at 14: one record 0x300a at offset 0 with the heap's own length.
  w.u16(1).u16(0x300a).u32(16).u32(0).u32(0);
  Parsed self(w.bytes());
  run_ciff(self);
  SUCCEED();

  std::vector<rawkit::CiffRecord> inner = {CiffBuilder::rec(0x1031, words(true, {0, 640, 480}))};
  for (int d = 0; d < 40; ++d) inner = {CiffBuilder::heap(0x300a, inner)};
  Parsed deep(CiffBuilder(true).build_file(inner));
  run_ciff(deep);
  EXPECT_EQ(deep.s->raw_width, 0);  // beyond the nesting limit
  std::vector<rawkit::CiffRecord> shallow = {CiffBuilder::rec(0x1031, words(true, {0, 640, 480}))};
  for (int d = 0; d < 3; ++d) shallow = {CiffBuilder::heap(0x300a, shallow)};
  Parsed ok(CiffBuilder(true).build_file(shallow));
  run_ciff(ok);
  EXPECT_EQ(ok.s->raw_width, 640);
}

// Sub-heaps that overlap each other, each level finding the same records:
// the parse stops after a fixed number of record visits.
TEST(RawCiffTest, OverlappingSubHeapsAreBounded) {
  const int n = 40, len = 500;
  ByteWriter w(true);
  w.u16(0x4949).u32(14).text("HEAPCCDR", false);
  w.u16(n);
  for (int i = 0; i < n; ++i) w.u16(0x300a).u32(static_cast<uint32_t>(len - 1 - i)).u32(0);
  w.pad_to(14 + len);
  Parsed p(w.bytes());
  run_ciff(p);
  SUCCEED();
}

TEST(RawRolleiTest, TextHeader) {
  ByteWriter w;
  auto line = [&](const std::string& t) {
    size_t at = w.size();
    w.text(t, false);
    w.pad_to(at + 128);
  };
  line("DAT=12.10.2004");
  line("HDR=512");
  line("X  =2568");
  line("Y  =1960");
  line("TX =16");
  line("TY =x");  // unreadable: 0
  line("EOHD");
  Parsed p(w.bytes());
  parse_rollei(*p.s);
  EXPECT_EQ(p.s->data_offset, 512);
  EXPECT_EQ(p.s->raw_width, 2568);
  EXPECT_EQ(p.s->raw_height, 1960);
  EXPECT_STREQ(p.s->make, "Rollei");
  EXPECT_STREQ(p.s->model, "d530flex");
  // Without "EOHD" the header ends with the file.
  Parsed q(Bytes(w.bytes().begin(), w.bytes().begin() + 3 * 128 + 7));
  parse_rollei(*q.s);
  EXPECT_EQ(q.s->raw_width, 2568);
}

namespace {

Bytes foveon_file(uint32_t n_override = 0xffffffff) {
  ByteWriter w(true);
  w.text("FOVb", false);
  w.pad_to(248);
  w.u32(2268).u32(1512);
  w.pad_to(300);
  // Camera property section at 300: 8 bytes, a count of 2 entries, their
  // 8-byte records (ignored), then UTF-16 strings.
  size_t p = w.size();
  w.u32(0).u32(0).u32(n_override == 0xffffffff ? 2 : n_override);
  w.pad_to(p + 8 + 8 * 2 + 24);
  for (const char* t : {"CAMMANUF", "SIGMA", "CAMMODEL", "SIGMA SD10", "TIME", "1100000000"}) {
    for (const char* c = t; *c; ++c) w.u16(static_cast<uint8_t>(*c));
    w.u16(0);
  }
  size_t dir = w.size();
  w.text("SECd", false).u32(0).u32(0x464d4143).u32(static_cast<uint32_t>(p));
  w.u32(static_cast<uint32_t>(dir));
  return w.bytes();
}

}  // namespace

TEST(RawFoveonTest, SectionDirectory) {
  Parsed p(foveon_file());
  parse_foveon(*p.s);
  EXPECT_STREQ(p.s->make, "SIGMA");
  EXPECT_STREQ(p.s->model, "SIGMA SD10");
  EXPECT_EQ(p.s->timestamp, 1100000000);
  EXPECT_EQ(p.s->raw_width, 2268);
  EXPECT_EQ(p.s->raw_height, 1512);
  // A property count that puts the strings past the directory: nothing is
  // allocated from the bogus size.
  Parsed bad(foveon_file(0x10000000));
  parse_foveon(*bad.s);
  EXPECT_STREQ(bad.s->make, "");
}

// Every prefix of each fixture parses without fault (the sanitizers watch
// the reads).
TEST(RawParseTest, EveryPrefixParses) {
  std::vector<std::pair<const char*, Bytes>> files = {
      {"tiff II", nikon_tiff(true)}, {"tiff MM", nikon_tiff(false)},
      {"ciff II", canon_ciff(true, 6, 0)}, {"ciff MM", canon_ciff(false, 3, 7)},
      {"foveon", foveon_file()}};
  for (auto& f : files) {
    for (size_t n = 0; n <= f.second.size(); ++n) {
      Parsed p(Bytes(f.second.begin(), f.second.begin() + static_cast<long>(n)));
      std::string kind = f.first;
      if (kind.rfind("tiff", 0) == 0) parse_tiff(*p.s, 0);
      else if (kind.rfind("ciff", 0) == 0) { if (n >= 6) run_ciff(p); }
      else parse_foveon(*p.s);
      ASSERT_LT(std::strlen(p.s->make), sizeof p.s->make) << f.first << " " << n;
    }
  }
}
