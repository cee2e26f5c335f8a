#include <gtest/gtest.h>

#include <memory>

#include "raw/kit/rawkit.h"
#include "raw/lkrawbits.h"

namespace {

struct Fixture {
  rawkit::Bytes bytes;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();
  explicit Fixture(rawkit::Bytes b) : bytes(std::move(b)) {
    src = std::make_unique<TRAWMemorySource>(bytes.data(), static_cast<Int64>(bytes.size()));
    set_source(*s, src.get());
    reset_decoder_state(*s);
  }
  // Picture geometry with a freshly allocated image.
  void picture(int raw_h, int raw_w, int h, int w, Cardinal filters = 0x94949494u) {
    s->raw_height = raw_h; s->raw_width = raw_w; s->height = h; s->width = w;
    s->iheight = h; s->iwidth = w; s->filters = filters;
    alloc_image(*s);
  }
  Word at(int r, int c) const { return s->image[size_t(r) * size_t(s->iwidth) + size_t(c)][cell_color(*s, r, c)]; }
};

}  // namespace

TEST(RawBitsTest, GetBitsEdgeCasesAndStuffing) {
  Fixture f({0xff, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9a});
  EXPECT_EQ(get_bits(*f.s, 0), 0u);
  EXPECT_EQ(stream_position(*f.s), 0);  // n = 0 reads nothing
  f.s->zero_after_ff = true;
  EXPECT_EQ(get_bits(*f.s, -1), 0u);
  EXPECT_EQ(f.s->vbits, 32);
  EXPECT_EQ(get_bits(*f.s, 8), 0xffu);   // FF 00 gives one FF
  EXPECT_EQ(get_bits(*f.s, 12), 0x123u);
  EXPECT_EQ(get_bits(*f.s, 4), 0x4u);
  EXPECT_EQ(get_bits(*f.s, 16), 0x5678u);
  EXPECT_THROW(get_bits(*f.s, 26), Exception);  // wider than the buffer guarantees
}

// Every code of every built-in table decodes to its value: the encoder's
// canonical codes are computed independently of the tree builder.
TEST(RawBitsTest, BuiltInTablesRoundTrip) {
  struct Table { const Byte* t; size_t len; };
  std::vector<Table> tables = {{kNikonTree, sizeof kNikonTree}};
  for (int i = 0; i < 3; ++i) {
    tables.push_back({kCanonFirstTree[i], sizeof kCanonFirstTree[i]});
    tables.push_back({kCanonSecondTree[i], sizeof kCanonSecondTree[i]});
  }
  for (const Table& t : tables) {
    int ncodes = 0;
    for (int i = 0; i < 16; ++i) ncodes += t.t[i];
    rawkit::HuffEncoder enc(t.t, t.len - 16);
    rawkit::BitWriter bw;
    std::vector<int> order;
    for (int k = 0; k < ncodes; ++k) {
      int v = t.t[16 + k];
      if (enc.code(v).bits != 0 || k == 0) { enc.put(bw, v); order.push_back(v); }
    }
    Fixture f(bw.finish());
    init_node_pool(*f.s);
    EXPECT_EQ(make_huffman_decoder(*f.s, t.t, static_cast<Integer>(t.len), 0), 16 + ncodes);
    get_bits(*f.s, -1);
    for (int v : order) ASSERT_EQ(huff_decode(*f.s, f.s->pool), v);
  }
}

TEST(RawBitsTest, PoolOverflowAndCorruptLengthsRaise) {
  Fixture f({0, 0, 0, 0});
  // 16-bit codes only: 4000 leaves need far more than 2048 nodes.
  rawkit::Bytes big(16, 0);
  big[15] = 255;
  big.resize(16 + 255, 1);
  init_node_pool(*f.s);
  EXPECT_NO_THROW(make_huffman_decoder(*f.s, big.data(), static_cast<Integer>(big.size()), 0));
  rawkit::Bytes huge = big;
  huge[14] = 255; huge[13] = 255; huge[12] = 255;
  huge.resize(16 + 4 * 255, 1);
  init_node_pool(*f.s);
  try {
    make_huffman_decoder(*f.s, huge.data(), static_cast<Integer>(huge.size()), 0);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), ": decoder table overflow");
  }
  // A difference length above 16 can only come from damaged data.
  EXPECT_THROW(read_difference(*f.s, 17, "x()"), Exception);
  // A table listing fewer values than its counts reads the missing ones as 0.
  const Byte short_table[17] = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
  init_node_pool(*f.s);
  make_huffman_decoder(*f.s, short_table, 17, 0);
  Fixture g({0x40, 0, 0, 0, 0});  // bits 01...
  std::memcpy(g.s->pool, f.s->pool, sizeof f.s->pool);
  for (auto& n : g.s->pool)
    for (auto& b : n.branch)
      if (b) b = g.s->pool + (b - f.s->pool);
  get_bits(*g.s, -1);
  EXPECT_EQ(huff_decode(*g.s, g.s->pool), 0);
}

// Nikon's table: counts give 14 codes, the 14th value is 0.
TEST(RawBitsTest, NikonTableHasFourteenValues) {
  int n = 0;
  for (int i = 0; i < 16; ++i) n += kNikonTree[i];
  EXPECT_EQ(n, 14);
  EXPECT_EQ(kNikonTree[16 + 13], 0);
}

TEST(RawBitsTest, FoveonTreeDecodesItsCodeWords) {
  std::vector<Cardinal> codes(1024, 0);
  // Value 5: "0" (1 bit); value 9: "10"; value 700: "110"; value 3: "111".
  codes[5] = (1u << 27) | 0;
  codes[9] = (2u << 27) | 2;
  codes[700] = (3u << 27) | 6;
  codes[3] = (3u << 27) | 7;
  rawkit::BitWriter bw;
  bw.put(0b1100101110, 10);  // 110 0 10 111 0 -> 700 5 9 3 ... 
  Fixture f(bw.finish());
  init_node_pool(*f.s);
  foveon_make_decoder(*f.s, codes.data(), 0);
  get_bits(*f.s, -1);
  EXPECT_EQ(huff_decode(*f.s, f.s->pool), 700);
  EXPECT_EQ(huff_decode(*f.s, f.s->pool), 5);
  EXPECT_EQ(huff_decode(*f.s, f.s->pool), 9);
  EXPECT_EQ(huff_decode(*f.s, f.s->pool), 3);
}

// A 2 × 4 lossless-JPEG stream coded by hand, independent of the kit's
// encoder: lengths 0, 1, 2 have the codes 00, 01, 10 in both classes.
TEST(RawBitsTest, LosslessJpegHandCodedVector) {
  rawkit::ByteWriter w(false);
  w.u16(0xffd8);
  w.u16(0xffc3).u16(8 + 6).u8(12).u16(2).u16(2).u8(2).u8(1).u8(0x11).u8(0).u8(2).u8(0x11).u8(0);
  const uint8_t tbl[] = {0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
  w.u16(0xffc4).u16(2 + 2 * (1 + sizeof tbl)).u8(0).raw(tbl, sizeof tbl).u8(1).raw(tbl, sizeof tbl);
  w.u16(0xffda).u16(10).u8(2).u8(1).u8(0).u8(2).u8(0x11).u8(1).u8(0).u8(0);
  w.u8(0x69).u8(0xa2).u8(0xea).u8(0x7f).u16(0xffd9);
  Fixture f(w.bytes());
  f.picture(2, 4, 2, 4);
  lossless_jpeg_load_raw(*f.s);
  const int want[2][4] = {{2049, 2047, 2050, 2046}, {2049, 2050, 2051, 2048}};
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(f.at(r, c), want[r][c] * 4) << r << "," << c;
}

TEST(RawBitsTest, LosslessJpegRoundTripWithMarginsAndBlack) {
  // 6 rows × 10 columns stored; the picture is rows 1..5, columns 0..7;
  // columns 8 and 9 are masked and give the black level.
  auto value = [](int r, int c) { return c >= 8 ? 60 + r : 100 + 37 * r + 11 * c + (c & 1) * 500; };
  Fixture f(rawkit::lossless_jpeg(6, 10, value));
  f.picture(6, 10, 5, 8);
  f.s->top_margin = 1;
  lossless_jpeg_load_raw(*f.s);
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 8; ++c) ASSERT_EQ(f.at(r, c), value(r + 1, c) * 4) << r << "," << c;
  // Masked columns of every stored row above the picture's end, the top
  // margin row included, over (2 × 5) cells.
  EXPECT_EQ(f.s->black, (60 + 61 + 62 + 63 + 64 + 65) * 2 * 4 / 10);
}

TEST(RawBitsTest, LosslessJpegBadStreamsLeaveTheImageEmpty) {
  rawkit::Bytes good = rawkit::lossless_jpeg(2, 4, [](int, int) { return 3000; });
  std::vector<std::pair<const char*, rawkit::Bytes>> cases;
  rawkit::Bytes no_soi = good; no_soi[1] = 0xd9;
  cases.push_back({"no SOI", no_soi});
  rawkit::Bytes short_len = good; short_len[4] = 0; short_len[5] = 1;  // SOF length 1
  cases.push_back({"segment length below 2", short_len});
  for (auto& c : cases) {
    Fixture f(c.second);
    f.picture(2, 4, 2, 4);
    lossless_jpeg_load_raw(*f.s);
    for (auto& cell : f.s->image) ASSERT_EQ(cell[0] | cell[1] | cell[2] | cell[3], 0) << c.first;
  }
  // Every prefix of a valid stream loads without fault.
  for (size_t n = 0; n <= good.size(); ++n) {
    Fixture f(rawkit::Bytes(good.begin(), good.begin() + static_cast<long>(n)));
    f.picture(2, 4, 2, 4);
    EXPECT_NO_THROW(lossless_jpeg_load_raw(*f.s));
  }
}

TEST(RawBitsTest, CanonCompressedRoundTrip) {
  auto value = [](int r, int c) { return (r * 53 + c * 29 + (c & 1) * 300) & 1023; };
  for (int set = 0; set < 3; ++set) {
    SCOPED_TRACE(set);
    rawkit::Bytes coded = rawkit::canon_compressed(16, 24, value, kCanonFirstTree[set], 29,
                                                   kCanonSecondTree[set], 180);
    rawkit::ByteWriter w;
    w.pad_to(540);
    w.raw(coded);
    w.u8(0xff).u8(0);  // one stuffed FF and no other: the file has no low bits
    Fixture f(w.bytes());
    f.picture(16, 24, 14, 20);
    f.s->top_margin = 2;
    f.s->left_margin = 4;
    canon_init_tables(*f.s, static_cast<Cardinal>(set));
    canon_compressed_load_raw(*f.s);
    for (int r = 0; r < 14; ++r)
      for (int c = 0; c < 20; ++c) ASSERT_EQ(f.at(r, c), value(r + 2, c + 4) << 4) << r << "," << c;
    Int64 sum = 0;
    for (int r = 2; r < 16; ++r)
      for (int c : {0, 1, 2, 3}) sum += value(r, c);
    EXPECT_EQ(f.s->black, static_cast<Integer>((sum << 4) / (4 * 14)));
  }
}

TEST(RawBitsTest, CanonLowBitsAndWidth2672) {
  // Low bits all 3: every low-bit byte is 0xFF, which also marks the file as
  // one with low bits. Width 2672 raises results below 512 by 2.
  const int rows = 8, cols = 2672;
  auto hi = [](int r, int c) { return (c % 200) + r; };
  rawkit::Bytes coded = rawkit::canon_compressed(rows, cols, hi, kCanonFirstTree[0], 29,
                                                 kCanonSecondTree[0], 180);
  rawkit::ByteWriter w;
  w.pad_to(26);
  w.raw(rawkit::Bytes(size_t(rows) * cols / 4, 0xff));
  w.pad_to(540 + size_t(rows) * cols / 4);
  w.raw(coded);
  Fixture f(w.bytes());
  f.picture(rows, cols, rows, cols);
  canon_init_tables(*f.s, 0);
  EXPECT_TRUE(canon_has_lowbits(*f.s));
  canon_compressed_load_raw(*f.s);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      int v = hi(r, c) * 4 + 3;
      if (v < 512) v += 2;
      ASSERT_EQ(f.at(r, c), v << 2) << r << "," << c;
    }
}

// Every prefix of a small Canon file (with low bits) loads without fault.
TEST(RawBitsTest, CanonCompressedEveryPrefix) {
  auto value = [](int r, int c) { return (r * 91 + c * 13) & 1023; };
  rawkit::ByteWriter w;
  w.pad_to(26);
  w.raw(rawkit::Bytes(8 * 16 / 4, 0x1b));
  w.pad_to(540);
  w.u8(0xff).u8(0x01);
  w.pad_to(540 + 8 * 16 / 4);
  w.raw(rawkit::canon_compressed(8, 16, value, kCanonFirstTree[2], 29, kCanonSecondTree[2], 180));
  const rawkit::Bytes good = w.bytes();
  for (size_t n = 0; n <= good.size(); ++n) {
    Fixture f(rawkit::Bytes(good.begin(), good.begin() + static_cast<long>(n)));
    f.picture(8, 16, 8, 16);
    canon_init_tables(*f.s, 2);
    ASSERT_NO_THROW(canon_compressed_load_raw(*f.s)) << n;
  }
}

// Truncated Canon data stops at the end of the data instead of decoding
// gigabytes of zeros for a header that claims a huge sensor.
TEST(RawBitsTest, CanonCompressedStopsOnExhaustedData) {
  rawkit::ByteWriter w;
  w.pad_to(600);
  w.put_at(540, {0xff, 0x00});
  Fixture f(w.bytes());
  f.s->raw_height = 60000; f.s->raw_width = 60000; f.s->height = 0; f.s->width = 0;
  canon_init_tables(*f.s, 0);
  EXPECT_NO_THROW(canon_compressed_load_raw(*f.s));
  EXPECT_TRUE(stream_exhausted(*f.s));
}
