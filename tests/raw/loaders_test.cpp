// Round trips of the raw loaders: sample values f(row, col) are packed into
// each camera family's layout by the test kit, loaded on a hand-filled state
// and compared cell by cell; plus the content tests and hostile inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>
#include <memory>
#include <sstream>

#include "raw/kit/loaderkit.h"
#include "raw/kit/rawkit.h"
#include "raw/lkrawbits.h"
#include "raw/lkrawloaders.h"

using rawkit::Bytes;
using rawkit::ByteWriter;

namespace {

// A decoder state over an in-memory file with a picture already sized.
struct Rig {
  Bytes bytes;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();

  Rig(Bytes b, int height, int width, int rawHeight, int rawWidth, Cardinal filters = 0x94949494u,
      Int64 dataOffset = 0)
      : bytes(std::move(b)) {
    src = std::make_unique<TRAWMemorySource>(bytes.data(), Int64(bytes.size()));
    set_source(*s, src.get());
    reset_decoder_state(*s);
    s->height = s->iheight = height;
    s->width = s->iwidth = width;
    s->raw_height = rawHeight;
    s->raw_width = rawWidth;
    s->filters = filters;
    s->data_offset = dataOffset;
    alloc_image(*s);
    stream_seek(*s, dataOffset);
  }
  TRAWCell cell(int r, int c) const { return s->image[size_t(r) * size_t(s->iwidth) + size_t(c)]; }
  Word at(int r, int c) const { return cell(r, c)[cell_color(*s, r, c)]; }

  // Compares every picture cell with `expected` (in the cell's colour; the
  // other samples must stay 0). Returns a description of the first mismatches.
  std::string Check(const std::function<int(int, int)>& expected) const {
    std::ostringstream out;
    int bad = 0;
    for (int r = 0; r < s->height; ++r)
      for (int c = 0; c < s->width; ++c) {
        const TRAWCell v = cell(r, c);
        const int col = cell_color(*s, r, c);
        int others = 0;
        for (int k = 0; k < 4; ++k)
          if (k != col) others += v[k];
        if (v[col] != expected(r, c) || others) {
          if (bad++ < 5) out << "(" << r << "," << c << ") got " << v[col] << " want " << expected(r, c) << "; ";
        }
      }
    if (bad) out << bad << " cells differ";
    return out.str();
  }
};

// Distinct-looking sample values of `bits` bits that depend on the cell's colour.
int Sample(int r, int c, int bits, Cardinal filters = 0x94949494u) {
  const unsigned v = unsigned(r) * 131u + unsigned(c) * 29u + unsigned(cell_color(filters, r, c)) * 977u + (unsigned(c) >> 2) * 7u;
  return int((v ^ (v >> 5)) & ((1u << bits) - 1u));
}

}  // namespace

// ------------------------------------------------------------------ word loaders

TEST(RawLoadersTest, WordLoadersRoundTrip) {
  struct Case {
    const char* name;
    TRAWLoader loader;
    bool big;
    int bits;    // significant bits of the stored word
    int shift;   // stored = word >> shift (negative: <<)
  };
  const Case cases[] = {
      {"be16", unpacked_be16_load_raw, true, 16, 0},
      {"be12_high", unpacked_be12_high_load_raw, true, 16, 2},
      {"be12_low", unpacked_be12_low_load_raw, true, 12, -2},
      {"be10_low", unpacked_be10_low_load_raw, true, 10, -4},
      {"le12_high", unpacked_le12_high_load_raw, false, 16, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const int h = 5, w = 7, rw = 10;
    auto f = [&](int r, int c) { return c < w ? Sample(r, c, k.bits) : 0xFFFF & ((1 << k.bits) - 1); };
    Rig rig(rawkit::pack_words(h, rw, f, k.big), h, w, h, rw, 0x94949494u);
    k.loader(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) {
      const int v = f(r, c);
      return int(Word(k.shift >= 0 ? v >> k.shift : v << -k.shift));
    }), "");
  }
}

TEST(RawLoadersTest, WordLoaderFullScaleValues) {
  // 0x0FFF stored low gives 16380; 0xFFF0 stored high gives 16380.
  Rig low(rawkit::pack_words(1, 2, [](int, int) { return 0x0FFF; }, true), 1, 2, 1, 2);
  unpacked_be12_low_load_raw(*low.s);
  EXPECT_EQ(low.at(0, 1), 16380);
  Rig high(rawkit::pack_words(1, 2, [](int, int) { return 0xFFF0; }, true), 1, 2, 1, 2);
  unpacked_be12_high_load_raw(*high.s);
  EXPECT_EQ(high.at(0, 1), 16380);
}

// -------------------------------------------------------- bit- and byte-packed

TEST(RawLoadersTest, EightBitAndPacked12RoundTrip) {
  {
    const int h = 4, w = 9, rw = 12;
    ByteWriter b;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < rw; ++c) b.u8(uint32_t(Sample(r, c, 8)));
    Rig rig(b.bytes(), h, w, h, rw, 0x49494949u, 0);
    eight_bit_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([](int r, int c) { return Sample(r, c, 8) << 6; }), "");
  }
  {
    // Raw width counts bytes: width × 3 / 2 = 10 bytes count as used (the
    // half byte of the odd last value included), so 4 bytes of junk follow.
    const int h = 4, w = 7, rw = 14;
    rawkit::BitWriter bw;
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) bw.put(uint32_t(Sample(r, c, 12)), 12);
      for (int k = 0; k < 4; ++k) bw.put(0xAB, 8);
    }
    Rig rig3(bw.finish(0, 8), h, w, h, rw);
    packed_12_load_raw(*rig3.s);
    EXPECT_EQ(rig3.Check([](int r, int c) { return Sample(r, c, 12) << 2; }), "");
  }
}

TEST(RawLoadersTest, NikonUncompressedRoundTrip) {
  // D-series: rows in order; compression 34713 inserts a byte after every
  // tenth value; the picture starts at the left margin.
  {
    const int h = 4, w = 20, rw = 23, left = 3;
    auto f = [](int r, int c) { return Sample(r, c, 12, 0x16161616u); };
    rawkit::BitWriter bw;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < rw; ++c) {
        bw.put(uint32_t(c >= left ? f(r, c - left) : 0x5A5), 12);
        if (c % 10 == 9) bw.put(0xFF, 8);
      }
    Rig rig(bw.finish(0, 8), h, w, h, rw, 0x16161616u);
    std::strcpy(rig.s->model, "D1X");
    rig.s->compression = 34713;
    rig.s->left_margin = left;
    nikon_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 2; }), "");
  }
  // Coolpix below 5000: the odd rows start at half the file size.
  {
    const int h = 6, w = 8;
    auto f = [](int r, int c) { return Sample(r, c, 12, 0xb4b4b4b4u); };
    Bytes even = rawkit::pack_bits(h / 2, w, 12, f, 0, [](int i) { return 2 * i; });
    Bytes odd = rawkit::pack_bits(h / 2, w, 12, f, 0, [](int i) { return 2 * i + 1; });
    Bytes file(2 * std::max(even.size(), odd.size()) + 16, 0);
    std::copy(even.begin(), even.end(), file.begin());
    std::copy(odd.begin(), odd.end(), file.begin() + long(file.size() / 2));
    Rig rig(file, h, w, h, w, 0xb4b4b4b4u);
    std::strcpy(rig.s->model, "E4500");
    nikon_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 2; }), "");
  }
}

TEST(RawLoadersTest, InterlacedBitLoadersRoundTrip) {
  // E950: stored row i is picture row 2i mod height (an odd height covers all rows).
  {
    const int h = 7, w = 9;
    auto f = [](int r, int c) { return Sample(r, c, 10, 0x4b4b4b4bu); };
    Bytes data = rawkit::pack_bits(h, w, 10, f, 28, [&](int i) { return 2 * i % h; });
    Rig rig(data, h, w, h, w, 0x4b4b4b4bu);
    nikon_e950_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 4; }), "");
  }
  // Olympus: two fields, each starting at a 2048-byte boundary after the data offset.
  {
    const int h = 6, w = 10, offset = 100;
    auto f = [](int r, int c) { return Sample(r, c, 12, 0x16161616u); };
    const long field = (long(h) * w * 3 / 4 + 2047) / 2048 * 2048;
    Bytes even = rawkit::pack_bits(h / 2, w, 12, f, 0, [](int i) { return 2 * i; });
    Bytes odd = rawkit::pack_bits(h / 2, w, 12, f, 0, [](int i) { return 2 * i + 1; });
    Bytes file(size_t(offset + field + long(odd.size())), 0xEE);
    std::copy(even.begin(), even.end(), file.begin() + offset);
    std::copy(odd.begin(), odd.end(), file.begin() + offset + field);
    Rig rig(file, h, w, h, w, 0x16161616u, offset);
    olympus_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 2; }), "");
  }
}

TEST(RawLoadersTest, GroupPackedLoadersRoundTrip) {
  // Casio QV-5700: 10-bit values, 3232 bytes a row.
  {
    const int h = 3, w = 2576;
    auto f = [](int r, int c) { return Sample(r, c, 10); };
    ByteWriter b;
    for (int r = 0; r < h; ++r) {
      Bytes row = rawkit::pack_bits(1, w, 10, [&](int, int c) { return f(r, c); }, 0);
      row.resize(3232, 0);
      b.raw(row);
    }
    Rig rig(b.bytes(), h, w, h, w);
    casio_qv5700_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 4; }), "");
  }
  // Canon PowerShot 600: rows 0, 2, 4, then 1, 3; masked columns give black.
  {
    const int h = 5, w = 854;
    auto f = [](int r, int c) { return c < w ? Sample(r, c, 10, 0xe1e4e1e4u) : 64 + (r + c) % 5; };
    ByteWriter b;
    long masked = 0;
    for (int i = 0; i < h; ++i) {
      const int r = i < (h + 1) / 2 ? 2 * i : 2 * (i - (h + 1) / 2) + 1;
      for (int c = 0; c < 896; c += 8) {
        int s[8];
        for (int k = 0; k < 8; ++k) {
          s[k] = f(r, c + k);
          if (c + k >= w) masked += s[k];
        }
        rawkit::put_canon600_group(b, s);
      }
    }
    Rig rig(b.bytes(), h, w, h, w, 0xe1e4e1e4u);
    canon_600_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 4; }), "");
    EXPECT_EQ(rig.s->black, masked * 16 / ((896 - w) * h));
  }
  // Canon A5: pairs of bytes swapped; black from the columns past width.
  {
    const int h = 4, w = 20, rw = 24;
    auto f = [](int r, int c) { return c < w ? Sample(r, c, 10, 0x1e4e1e4eu) : 100 + r; };
    ByteWriter b;
    long masked = 0;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < rw; c += 8) {
        int s[8];
        for (int k = 0; k < 8; ++k) {
          s[k] = f(r, c + k);
          if (c + k >= w) masked += s[k];
        }
        rawkit::put_canon_a5_group(b, s);
      }
    Rig rig(b.bytes(), h, w, h, rw, 0x1e4e1e4eu);
    canon_a5_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 4; }), "");
    EXPECT_EQ(rig.s->black, masked * 16 / ((rw - w) * h));
  }
  // Nikon E2100: even rows, 424 skipped bytes, odd rows.
  {
    const int h = 4, w = 16;
    auto f = [](int r, int c) { return Sample(r, c, 12, 0x16161616u); };
    ByteWriter b;
    for (int i = 0; i < h; ++i) {
      if (i == h / 2) b.pad_to(b.size() + 424, 0x77);
      const int r = i < h / 2 ? 2 * i : 2 * (i - h / 2) + 1;
      for (int c = 0; c < w; c += 8) {
        int s[8];
        for (int k = 0; k < 8; ++k) s[k] = f(r, c + k);
        rawkit::put_e2100_group(b, s);
      }
    }
    Rig rig(b.bytes(), h, w, h, w, 0x16161616u);
    nikon_e2100_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 2; }), "");
  }
}

TEST(RawLoadersTest, RolleiAndNucoreRoundTrip) {
  {
    const int rh = 6, rw = 16, top = 1, left = 2, h = 4, w = 12;
    auto f = [](long pos) { return int((pos * 37 + 5) & 0x3FF); };
    Rig rig(rawkit::pack_rollei(long(rh) * rw, f), h, w, rh, rw, 0x16161616u);
    rig.s->top_margin = top;
    rig.s->left_margin = left;
    rollei_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(long(r + top) * rw + c + left) << 4; }), "");
  }
  struct Case {
    const char* model;
    int h, w;
  };
  for (const Case& k : {Case{"RAW", 4, 10}, Case{"BMQ", 6, 2598}}) {
    SCOPED_TRACE(k.model);
    auto f = [](int r, int c) { return Sample(r, c, 14, 0x61616161u); };
    const bool bottomUp = k.model[0] == 'B';
    auto rowOf = [&](int i) { return bottomUp ? k.h - 1 - i / 2 - (i & 1 ? k.h / 2 : 0) : i; };
    ByteWriter b;
    for (int i = 0; i < k.h; ++i)
      for (int c = 0; c < k.w; ++c) b.u16(uint32_t(f(rowOf(i), c)));
    Rig rig(b.bytes(), k.h, k.w, k.h, k.w, 0x61616161u);
    std::strcpy(rig.s->model, k.model);
    nucore_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) * 4; }), "");
  }
}

// ---------------------------------------------------------------- Huffman loaders

TEST(RawLoadersTest, NikonCompressedRoundTrip) {
  const int h = 4, w = 14, rw = 16, left = 1;
  const int curveOffset = 8;
  // Curve indexes (the decoded values) and a curve that is not the identity.
  auto idx = [](int r, int c) { return Sample(r, c, 12, 0x61616161u) % 3000; };
  auto curve = [](int i) { return (i * 3 + 7) & 0xFFF; };
  ByteWriter b(false);
  b.pad_to(curveOffset);
  const int start[4] = {1000, 1100, 1200, 1300};
  for (int v : start) b.u16(uint32_t(v));
  b.u16(3000);
  for (int i = 0; i < 3000; ++i) b.u16(uint32_t(curve(i)));
  const size_t dataOffset = b.size();
  rawkit::HuffEncoder enc(kNikonTree, sizeof(kNikonTree) - 16);
  rawkit::BitWriter bw;
  int vpred[4];
  std::copy(start, start + 4, vpred);
  for (int r = 0; r < h; ++r) {
    int hpred[2] = {0, 0};
    for (int c = 0; c < rw; ++c) {
      const int v = idx(r, c);
      int& pred = c < 2 ? vpred[2 * (r & 1) + c] : hpred[c & 1];
      rawkit::put_diff(bw, enc, v - pred);
      pred = v;
      hpred[c & 1] = v;
    }
  }
  b.raw(bw.finish(0, 8));
  Rig rig(b.bytes(), h, w, h, rw, 0x61616161u, Int64(dataOffset));
  rig.s->order = 0x4D4D;
  rig.s->curve_offset = curveOffset;
  rig.s->left_margin = left;
  nikon_compressed_load_raw(*rig.s);
  EXPECT_EQ(rig.Check([&](int r, int c) { return curve(idx(r, c + left)) << 2; }), "");
}

TEST(RawLoadersTest, NikonCompressedEmptyCurveIsIdentity) {
  // A curve size of 0 would index entry -1: the values pass unchanged.
  ByteWriter b(false);
  for (int i = 0; i < 5; ++i) b.u16(i < 4 ? 500 : 0);
  const size_t dataOffset = b.size();
  rawkit::HuffEncoder enc(kNikonTree, sizeof(kNikonTree) - 16);
  rawkit::BitWriter bw;
  for (int c = 0; c < 4; ++c) rawkit::put_diff(bw, enc, c < 2 ? 10 * c : 5);
  b.raw(bw.finish(0, 8));
  Rig rig(b.bytes(), 1, 4, 1, 4, 0x61616161u, Int64(dataOffset));
  rig.s->order = 0x4D4D;
  nikon_compressed_load_raw(*rig.s);
  EXPECT_EQ(rig.at(0, 0), 500 << 2);
  EXPECT_EQ(rig.at(0, 1), 510 << 2);
  EXPECT_EQ(rig.at(0, 2), 505 << 2);
  EXPECT_EQ(rig.at(0, 3), 515 << 2);
}

TEST(RawLoadersTest, FoveonRoundTrip) {
  // Ten-bit codes for every difference -512..511; a row of 16 columns ends
  // on a word boundary (480 bits), so a spare word follows it.
  for (int rw : {16, 10}) {
    SCOPED_TRACE(rw);
    const int rh = 5, top = 1, left = 2, h = 3, w = rw - 4;
    auto f = [](int r, int c, int ch) { return 1 + ((r * 53 + c * 17 + ch * 101) % 450); };
    ByteWriter b;
    b.pad_to(260);
    for (int i = 0; i < 1024; ++i) b.u16(uint32_t(i - 512) & 0xFFFF);
    for (int i = 0; i < 1024; ++i) b.u32((10u << 27) | uint32_t(i));
    for (int r = 0; r < rh; ++r) {
      rawkit::BitWriter bw;
      int pred[3] = {0, 0, 0};
      for (int c = 0; c < rw; ++c)
        for (int ch = 0; ch < 3; ++ch) {
          const int v = f(r, c, ch);
          bw.put(uint32_t(v - pred[ch] + 512), 10);
          pred[ch] = v;
        }
      Bytes row = bw.finish(0, 0);
      row.resize((row.size() + 3) / 4 * 4, 0);
      b.raw(row);
      if (rw * 30 % 32 == 0) b.u32(0xDEADBEEF);
    }
    Rig rig(b.bytes(), h, w, rh, rw, 0);
    rig.s->top_margin = top;
    rig.s->left_margin = left;
    foveon_load_raw(*rig.s);
    std::string bad;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c)
        for (int ch = 0; ch < 3; ++ch)
          if (rig.cell(r, c)[ch] != f(r + top, c + left, ch)) bad = "mismatch";
    EXPECT_EQ(bad, "");
  }
}

// ----------------------------------------------------------------- Kodak loaders

TEST(RawLoadersTest, KodakEasyRoundTripAndBlack) {
  struct Case {
    const char* model;
    bool dc2;
  };
  for (const Case& k : {Case{"DCS420", false}, Case{"DC25", true}}) {
    SCOPED_TRACE(k.model);
    const int h = 3, w = 8, rw = 12, left = 2;
    auto f = [](int r, int c) { return (r * 40 + c * 13) & 0xFF; };
    ByteWriter b;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < rw; ++c) b.u8(uint32_t(f(r, c)));
    Rig rig(b.bytes(), h, w, h, rw, 0x61616161u);
    std::strcpy(rig.s->model, k.model);
    rig.s->left_margin = left;
    rig.s->black = 99;
    kodak_easy_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c + left) << 2; }), "");
    long masked = 0;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < rw; ++c)
        if (c < left || c >= left + w) masked += f(r, c);
    EXPECT_EQ(rig.s->black, k.dc2 ? 0 : masked * 4 / ((rw - w) * h));
  }
}

TEST(RawLoadersTest, KodakCompressedRoundTrip) {
  // Widths 264 (a full block and a block of 8) and 268 (a last block of 12,
  // whose bits start with a 16-bit preload); the second row of width 264 is
  // stored plainly.
  for (int w : {264, 268}) {
    SCOPED_TRACE(w);
    const int h = 3;
    auto f = [](int r, int c) { return (c == 0 && r == 1) ? 0xE5A : Sample(r, c, 12, 0x61616161u); };
    auto plain = [&](int r, int col) { return w == 264 && r == 1 && col == 0; };
    Rig rig(rawkit::pack_kodak65000(h, w, f, plain), h, w, h, w, 0x61616161u);
    kodak_compressed_load_raw(*rig.s);
    EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 2; }), "");
  }
}

TEST(RawLoadersTest, KodakYuvRoundTrip) {
  for (int w : {8, 12, 132}) {
    SCOPED_TRACE(w);
    const int h = 4;
    auto g = [](int r, int c) {
      rawkit::YuvGroup q;
      for (int i = 0; i < 4; ++i) q.y[i] = 300 + ((r * 7 + c * 11 + i * 97) % 1500);
      q.cb = ((r + c) % 7) * 30 - 90;
      q.cr = ((r * 3 + c) % 5) * 40 - 80;
      return q;
    };
    Rig rig(rawkit::pack_kodak_yuv(h, w, g), h, w, h, w, 0);
    kodak_yuv_load_raw(*rig.s);
    std::string bad;
    for (int r = 0; r < h; r += 2)
      for (int c = 0; c < w; c += 2) {
        const rawkit::YuvGroup q = g(r, c);
        for (int i = 0; i < 4; ++i) {
          const TRAWCell v = rig.cell(r + i / 2, c + i % 2);
          const int want[3] = {q.y[i] + q.cr, q.y[i], q.y[i] + q.cb};
          for (int ch = 0; ch < 3; ++ch)
            if (v[ch] != want[ch] << 2) bad = "cell " + std::to_string(r) + "," + std::to_string(c);
        }
      }
    EXPECT_EQ(bad, "");
  }
}

TEST(RawLoadersTest, KodakDc120RoundTrip) {
  const int h = 5, w = 848;
  auto f = [](int r, int c) { return Sample(r, c, 8, 0x61616161u); };
  const int mul[4] = {162, 192, 187, 92}, add[4] = {0, 636, 424, 212};
  Bytes data(size_t(h) * 848);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c)
      data[size_t(r) * 848 + size_t((c + r * mul[r & 3] + add[r & 3]) % 848)] = uint8_t(f(r, c));
  Rig rig(data, h, w, h, w, 0x61616161u);
  kodak_dc120_load_raw(*rig.s);
  EXPECT_EQ(rig.Check([&](int r, int c) { return f(r, c) << 6; }), "");
}

namespace {

// The DC40 code trees as (length, value) pairs, from the camera's tables.
std::vector<std::pair<int, int>> RadcTree(int t) {
  static const std::vector<std::vector<std::pair<int, int>>> trees = {
      {{1, 1}, {2, 3}, {3, 4}, {4, 2}, {5, 7}, {6, 5}, {7, 6}, {7, 8}},
      {{1, 0}, {2, 1}, {3, 3}, {4, 4}, {5, 2}, {6, 7}, {7, 6}, {8, 5}, {8, 8}},
      {}, {}, {}, {}, {}, {},
      {{2, 6}, {3, 1}, {3, 3}, {3, 5}, {3, 7}, {3, 8}, {4, 0}, {5, 2}, {5, 4}},
      {{2, 0}, {2, 1}, {3, 2}, {3, 3}, {4, 4}, {4, 5}, {5, 6}, {5, 7}, {4, 8}},
      {{1, 0}, {2, 2}, {2, -2}},
  };
  return trees[size_t(t)];
}

void PutRadc(rawkit::BitWriter& bw, int tree, int value) {
  const auto pairs = RadcTree(tree);
  const auto codes = rawkit::radc_codes(pairs);
  for (size_t i = 0; i < pairs.size(); ++i)
    if (pairs[i].second == value) {
      bw.put(codes[i].bits, codes[i].len);
      return;
    }
  FAIL() << "value " << value << " not in tree " << tree;
}

}  // namespace

TEST(RawLoadersTest, KodakDc40DirectTokensRoundTrip) {
  // Every 2 × 2 group coded directly (token 8): entries are 5-bit values
  // × 8 + 4 for a DC40; output = entry × 16; red and blue cells then take the
  // mean of their green neighbours plus twice themselves minus 4096.
  const int h = 8, w = 12, half = w / 2;
  std::map<std::tuple<int, int, int, int>, int> entry;  // (band row, plane, pass, y*1000+x) -> value
  rawkit::BitWriter bw;
  auto q = [](int row, int c, int pass, int y, int x) { return (row * 5 + c * 7 + pass * 3 + y * 11 + x * 13) % 32; };
  for (int row = 0; row < h; row += 4) {
    const int mul[3] = {10 + row, 20, 33};
    for (int m : mul) bw.put(uint32_t(m), 6);
    for (int c = 0; c < 3; ++c)
      for (int pass = 0; pass < (c == 0 ? 2 : 1); ++pass) {
        int tree = 1;
        for (int col = half; col > 0;) {
          PutRadc(bw, tree, 8);
          tree = 8;
          col -= 2;
          for (int y = 1; y < 3; ++y)
            for (int x = col + 1; x >= col; --x) {
              const int v = q(row, c, pass, y, x);
              bw.put(uint32_t(v), 5);
              entry[{row, c, pass, y * 1000 + x}] = v * 8 + 4;
            }
        }
      }
  }
  Rig rig(bw.finish(0, 8), h, w, h, w, 0x61616161u);
  std::strcpy(rig.s->model, "DC40");
  kodak_dc40_load_raw(*rig.s);
  // Expected before smoothing.
  std::vector<std::vector<int>> pic(size_t(h), std::vector<int>(size_t(w), 0));
  for (int row = 0; row < h; row += 4)
    for (int c = 0; c < 3; ++c)
      for (int pass = 0; pass < (c == 0 ? 2 : 1); ++pass)
        for (int y = 0; y < 2; ++y)
          for (int x = 0; x < half; ++x) {
            const int v = entry[{row, c, pass, (y + 1) * 1000 + x}] * 16;
            if (c == 0)
              pic[size_t(row + 2 * pass + y)][size_t(2 * x + y)] = v;
            else
              pic[size_t(row + 2 * y + c - 1)][size_t(2 * x + 2 - c)] = v;
          }
  auto expected = [&](int r, int c) {
    if (((r + c) & 1) == 0) return pic[size_t(r)][size_t(c)];
    const int left = c > 0 ? pic[size_t(r)][size_t(c - 1)] : pic[size_t(r)][size_t(c + 1)];
    const int right = c + 1 < w ? pic[size_t(r)][size_t(c + 1)] : left;
    return std::max(0, (left + right) / 2 + 2 * pic[size_t(r)][size_t(c)] - 4096);
  };
  EXPECT_EQ(rig.Check(expected), "");
}

TEST(RawLoadersTest, KodakDc40RunsGiveUniformField) {
  // Zero tokens start runs of predicted entries; with every multiplier 16 the
  // predictions and the rescaling are exact, so the field stays at 2048.
  const int h = 8, w = 40, half = w / 2;
  rawkit::BitWriter bw;
  for (int row = 0; row < h; row += 4) {
    for (int c = 0; c < 3; ++c) bw.put(16, 6);
    for (int c = 0; c < 3; ++c)
      for (int pass = 0; pass < (c == 0 ? 2 : 1); ++pass) {
        PutRadc(bw, 1, 0);
        int col = half, n;
        do {
          n = 1;
          if (col > 2) {
            PutRadc(bw, 9, 8);
            n = 9;
          }
          for (int i = 0; i < 8 && i < n && col > 0; ++i) {
            col -= 2;
            if (i & 1) PutRadc(bw, 10, 0);
          }
        } while (n == 9);
      }
  }
  Rig rig(bw.finish(0, 8), h, w, h, w, 0x61616161u);
  std::strcpy(rig.s->model, "DC50");
  kodak_dc40_load_raw(*rig.s);
  EXPECT_EQ(rig.Check([](int, int) { return 2048; }), "");
}

// -------------------------------------------------------------- SuperCCD loaders

TEST(RawLoadersTest, SuperCcdLoadersRoundTrip) {
  // The diagonal layouts reach a small picture only from far into the file,
  // so these use full-size data; only words that land in the picture are set.
  auto f = [](int r, int c) { return 1 + Sample(r, c, 12, 0x61616161u); };
  struct Case {
    const char* name;
    TRAWLoader loader;
    const char* model;
    long skip, rows, rowBytes, words;
    int shift, h, w;
    std::function<std::pair<int, int>(int r, int j)> place;
    bool secondary;
  };
  const Case cases[] = {
      {"s2", fuji_s2_load_raw, "FinePixS2Pro", 141376, 2144, 5888, 2880, 2, 40, 2200,
       [](int r, int i) { return std::make_pair(r + (i + 1) / 2, 2143 - r + i / 2); }, false},
      {"s5000", fuji_load_raw_common, "FinePix S5000", 11824, 2152, 2944, 1424, 2, 40, 1500,
       [](int r, int j) { return std::make_pair(1423 + r / 2 - j, j + (r + 1) / 2); }, false},
      {"s7000", fuji_load_raw_common, "FinePix S7000", 0, 3080, 4096, 2048, 2, 40, 2100,
       [](int r, int j) { return std::make_pair(2047 + r / 2 - j, j + (r + 1) / 2); }, false},
      {"f700", fuji_f700_load_raw, "FinePix F700", 0, 2168, 5888, 1440, 0, 40, 1500,
       [](int r, int j) { return std::make_pair(r / 2 - j + 1439, j + (r + 1) / 2); }, false},
      {"f700 secondary", fuji_f700_load_raw, "FinePix F700", 0, 2168, 5888, 1440, 0, 40, 1500,
       [](int r, int j) { return std::make_pair(r / 2 - j + 1439, j + (r + 1) / 2); }, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Bytes file(size_t(k.skip + k.rows * k.rowBytes), 0);
    std::vector<std::vector<int>> want(size_t(k.h), std::vector<int>(size_t(k.w), 0));
    const long first = k.secondary ? 1472 : 0;
    for (int r = 0; r < k.rows; ++r)
      for (int j = 0; j < k.words; ++j) {
        const auto [pr, pc] = k.place(r, j);
        if (pr < 0 || pc < 0 || pr >= k.h || pc >= k.w) continue;
        const int v = f(pr, pc);
        const size_t at = size_t(k.skip + r * k.rowBytes + 2 * (first + j));
        file[at] = uint8_t(v >> 8);
        file[at + 1] = uint8_t(v);
        want[size_t(pr)][size_t(pc)] = v << k.shift;
      }
    Rig rig(file, k.h, k.w, k.h, k.w, 0x61616161u);
    std::strcpy(rig.s->model, k.model);
    rig.s->fuji_secondary = k.secondary;
    k.loader(*rig.s);
    EXPECT_TRUE(rig.s->fuji_rotate);
    EXPECT_EQ(rig.Check([&](int r, int c) { return want[size_t(r)][size_t(c)]; }), "");
  }
}

// ------------------------------------------------------------------ other makers

TEST(RawLoadersTest, PhaseOneRoundTrip) {
  const int h = 4, w = 34, rw = 40, top = 5, left = 3, offset = 64;
  const Word ka = 0x1234, kb = 0xA5C3;
  auto f = [](int r, int c) { return Sample(r, c, 16, 0x94949494u); };
  ByteWriter b(true);
  b.pad_to(offset + 8);
  b.u32(20);                       // v: the keys follow v + 296 bytes later
  b.pad_to(offset + 12 + 20 + 296);
  b.u16(ka).u16(kb);
  b.pad_to(size_t(offset + 12 + top * rw * 2));
  b.set_little(false);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < rw; c += 2) {
      const int t0 = c - left >= 0 && c - left < w ? f(r, c - left) : 0x1111;
      const int t1 = c + 1 - left >= 0 && c + 1 - left < w ? f(r, c + 1 - left) : 0x2222;
      const int a = (t0 & 0x5555) | (t1 & 0xAAAA), bb = (t1 & 0x5555) | (t0 & 0xAAAA);
      b.u16(uint32_t(a ^ ka)).u16(uint32_t(bb ^ kb));
    }
  Rig rig(b.bytes(), h, w, h + top, rw, 0x94949494u, offset);
  rig.s->top_margin = top;
  rig.s->left_margin = left;
  phase_one_load_raw(*rig.s);
  EXPECT_EQ(rig.Check(f), "");
}

TEST(RawLoadersTest, IxpressRoundTrip) {
  const int h = 3, w = 40;
  auto f = [](int r, int c) { return Sample(r, c, 16, 0x49494949u); };
  ByteWriter b(false);
  b.pad_to(49384);
  for (int r = h - 1; r >= 0; --r)
    for (int i = 0; i < 4090; ++i) b.u16(i < w ? uint32_t(f(r, w - 1 - i)) : 0xBEEF);
  Rig rig(b.bytes(), h, w, h, w, 0x49494949u);
  ixpress_load_raw(*rig.s);
  EXPECT_EQ(rig.Check(f), "");
}

TEST(RawLoadersTest, SonyRoundTripAndBlack) {
  const int h = 3, w = 3288, rw = 3360, left = 5;
  const uint32_t key1 = 0x3C1A2B4Du, key2 = 0x0BADF00Du;
  auto f = [](int r, int c) { return Sample(r, c, 14, 0xb4b4b4b4u); };
  Bytes file(862144 + size_t(h) * rw * 2, 0);
  // The first key: byte b at 200896 points to the key at 200896 + 4b - 1.
  const int bsel = 2;
  file[200896] = bsel;
  for (int i = 0; i < 4; ++i) file[size_t(200896 + 4 * bsel - 1 + i)] = uint8_t(key1 >> (24 - 8 * i));
  // Forty bytes scrambled with the first key carry the second key at 22..25.
  uint8_t head[40] = {};
  for (int i = 0; i < 4; ++i) head[22 + i] = uint8_t(key2 >> (8 * i));
  rawkit::SonyKeystream(key1).apply(head, sizeof(head));
  std::memcpy(file.data() + 164600, head, sizeof(head));
  // Rows of big-endian words scrambled by one keystream running across rows.
  long masked = 0;
  rawkit::SonyKeystream ks(key2);
  for (int r = 0; r < h; ++r) {
    uint8_t* row = file.data() + 862144 + size_t(r) * rw * 2;
    for (int c = 0; c < rw; ++c) {
      const int pc = c - left;
      const int v = pc >= 0 && pc < w ? f(r, pc) : 200 + (c % 9);
      if ((pc < 0 || pc >= w) && c < 3343) masked += v;
      row[2 * c] = uint8_t(v >> 8);
      row[2 * c + 1] = uint8_t(v);
    }
    ks.apply(row, size_t(rw) * 2);
  }
  Rig rig(file, h, w, h, rw, 0xb4b4b4b4u);
  rig.s->left_margin = left;
  sony_load_raw(*rig.s);
  EXPECT_EQ(rig.Check(f), "");
  EXPECT_EQ(rig.s->black, masked / (h * (3343 - w)));
}

// Loading reports once per row and covers 0 to 50 percent; the SuperCCD
// loaders count their own fixed rows.
TEST(RawLoadersTest, ProgressPerRow) {
  struct Case {
    TRAWLoader loader;
    int rows;
  };
  for (const Case& k : {Case{eight_bit_load_raw, 7}, Case{fuji_f700_load_raw, 2168}}) {
    Rig rig(Bytes(size_t(2168) * 5888, 1), 7, 9, 7, 9);
    std::vector<int> seen;
    rig.s->progress.OnProgress = [&](TObject*, Integer p) { seen.push_back(p); };
    k.loader(*rig.s);
    ASSERT_EQ(int(seen.size()), k.rows);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), int((k.rows - 1) * (100.0 / k.rows / 2)));
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  }
}

// ----------------------------------------------------------------- content tests

TEST(RawLoadersTest, ContentTests) {
  auto state = [](Bytes b) { return std::make_unique<Rig>(std::move(b), 1, 1, 1, 1); };
  {
    // D100: compressed exactly when one of bytes 15, 31, ... of the data is set.
    Bytes b(600, 0);
    auto rig = state(b);
    std::strcpy(rig->s->model, "D100");
    rig->s->compression = 34713;
    rig->s->data_offset = 100;
    EXPECT_FALSE(nikon_is_compressed(*rig->s));
    b[100 + 255] = 1;
    auto rig2 = state(b);
    std::strcpy(rig2->s->model, "D100");
    rig2->s->compression = 34713;
    rig2->s->data_offset = 100;
    EXPECT_TRUE(nikon_is_compressed(*rig2->s));
    std::strcpy(rig2->s->model, "D1X");
    EXPECT_TRUE(nikon_is_compressed(*rig2->s));
    rig2->s->compression = 1;
    EXPECT_FALSE(nikon_is_compressed(*rig2->s));
  }
  {
    // E990: more than 400 of one of the values 0, 85, 170, 255 in 2000 bytes.
    Bytes b(2383920 + 2000);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(1 + i % 200);
    EXPECT_FALSE(nikon_e990_test(*state(b)->s));
    for (size_t i = 0; i < 401; ++i) b[2383920 + i * 4] = 170;
    EXPECT_TRUE(nikon_e990_test(*state(b)->s));
  }
  {
    // E2100: every one of 1024 groups has the tell-tale bits set.
    Bytes b(1024 * 12, 0);
    for (size_t g = 0; g < 1024; ++g)
      for (int k : {2, 4, 7, 9, 1, 6, 8, 11}) b[g * 12 + size_t(k)] = (k == 1 || k == 6 || k == 8 || k == 11) ? 0x03 : 0x30;
    EXPECT_TRUE(nikon_e2100_test(*state(b)->s));
    b[1023 * 12 + 9] = 0x20;
    EXPECT_FALSE(nikon_e2100_test(*state(b)->s));
  }
  {
    Bytes b(5000, 0);
    EXPECT_FALSE(minolta_z2_test(*state(b)->s));
    b[5000 - 424] = 1;
    EXPECT_TRUE(minolta_z2_test(*state(b)->s));
    b[5000 - 425] = 1;
    b[5000 - 424] = 0;
    EXPECT_FALSE(minolta_z2_test(*state(b)->s));
  }
}

// --------------------------------------------------------------- hostile inputs

// Truncated files and sizes that do not fit the data: every loader must end
// without reading out of bounds or hanging, leaving the unloaded cells 0.
TEST(RawLoadersTest, TruncatedAndMismatchedDataIsSafe) {
  const TRAWLoader loaders[] = {
      unpacked_be16_load_raw, unpacked_be12_high_load_raw, unpacked_be12_low_load_raw, unpacked_be10_low_load_raw,
      unpacked_le12_high_load_raw, eight_bit_load_raw, packed_12_load_raw, nikon_load_raw, nikon_e950_load_raw,
      olympus_load_raw, casio_qv5700_load_raw, canon_600_load_raw, canon_a5_load_raw, nikon_e2100_load_raw,
      rollei_load_raw, nucore_load_raw, nikon_compressed_load_raw, foveon_load_raw, kodak_easy_load_raw,
      kodak_compressed_load_raw, kodak_yuv_load_raw, kodak_dc120_load_raw, kodak_dc40_load_raw, fuji_s2_load_raw,
      fuji_load_raw_common, fuji_f700_load_raw, phase_one_load_raw, ixpress_load_raw, sony_load_raw};
  struct Geometry {
    int h, w, rh, rw;
  };
  const Geometry geometries[] = {{1, 1, 1, 1}, {3, 3000, 3, 5000}, {200, 64, 200, 1}, {40, 900, 0, 0}, {1, 9, 1, 3}};
  // Size cases: empty, 37 bytes, 70000 bytes of junk, 70000 zero bytes (DC40
  // multipliers of 0 among others).
  for (int sizeCase = 0; sizeCase < 4; ++sizeCase)
    for (const Geometry& g : geometries)
      for (TRAWLoader loader : loaders) {
        Bytes junk(sizeCase == 0 ? 0 : sizeCase == 1 ? 37 : 70000);
        if (sizeCase < 3)
          for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t((i * 2654435761u) >> 11);
        Rig rig(junk, g.h, g.w, g.rh, g.rw, 0x94949494u, 10);
        std::strcpy(rig.s->model, "E4300");
        rig.s->curve_offset = 3;
        try {
          loader(*rig.s);
        } catch (const Exception& e) {
          // Damaged compressed data may be reported, always with the decoder's prefix.
          EXPECT_EQ(std::string(e.what()).substr(0, 2), ": ");
        }
      }
}
