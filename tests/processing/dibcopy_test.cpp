// Packed DIBs written and read back, hand-built DIBs of every bit count and
// compression, hostile blocks, YUV frames and the small pixel helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkdibbitmap.h"
#include "platform/graphics.h"
#include "processing/lkdibcopy.h"
#include "processing/lkprocutils.h"
#include "testview.h"

namespace {

void Put32(std::vector<Byte>& v, size_t at, DWORD x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<Byte>(x >> (8 * i));
}

// A packed DIB: 40-byte header, then `extra` (table or masks), then `rows`.
std::vector<Byte> Dib(Integer w, Integer h, Integer bc, DWORD compression, std::initializer_list<Byte> extra,
                      std::initializer_list<Byte> rows, DWORD clrUsed = 0) {
  std::vector<Byte> d(40, 0);
  Put32(d, 0, 40);
  Put32(d, 4, static_cast<DWORD>(w));
  Put32(d, 8, static_cast<DWORD>(h));
  d[12] = 1;
  d[14] = static_cast<Byte>(bc);
  Put32(d, 16, compression);
  Put32(d, 32, clrUsed);
  d.insert(d.end(), extra);
  d.insert(d.end(), rows);
  return d;
}

TRGB Px(TLKBitmap& b, Integer x, Integer y) { return b.GetPixels_lk24RGB(x, y); }

class DibWrite : public ::testing::TestWithParam<bool> {};

TEST_P(DibWrite, RoundTripEveryFormat) {
  StorageScope storage(GetParam());
  for (TLKPixelFormat f : {lk1g, lk8g, lk8p, lk24RGB}) {
    SCOPED_TRACE(static_cast<int>(f));
    TLKBitmap b(13, 7, f);
    if (f == lk8p)
      for (Integer i = 0; i < 256; ++i) b.SetPalette(i, TRGB{Byte(i), Byte(255 - i), Byte(i / 2)});
    FillDistinct(&b);
    std::vector<Byte> dib = _CopyBitmaptoDIBEx(&b, 0, 0, 0, 0);
    const Integer bc = f == lk1g ? 1 : f == lk24RGB ? 24 : 8;
    EXPECT_EQ(dib[14], bc);
    TLKBitmap back;
    ASSERT_EQ(_CopyDIB2BitmapEx(dib, &back), bc);
    ASSERT_EQ(back.GetPixelFormat(), f == lk1g ? lk1g : lk24RGB);
    ASSERT_EQ(back.GetWidth(), 13);
    for (Integer y = 0; y < 7; ++y)
      for (Integer x = 0; x < 13; ++x) {
        if (f == lk1g) ASSERT_EQ(back.GetPixels_lk1g(x, y), b.GetPixels_lk1g(x, y));
        else ASSERT_EQ(back.GetPixels(x, y), b.GetPixels(x, y)) << x << "," << y;
      }
  }
}

TEST_P(DibWrite, LayoutOfARectangle) {
  StorageScope storage(GetParam());
  TLKBitmap b(10, 10, lk24RGB);
  FillDistinct(&b);
  std::vector<Byte> dib = _CopyBitmaptoDIBEx(&b, 0, 0, 0, 0);
  EXPECT_EQ(dib.size(), 364u);  // 40 + 32 * 10 + 4
  // A rectangle: bottom row of the rectangle first, from column X1.
  dib = _CopyBitmaptoDIBEx(&b, 2, 3, 5, 7);
  ASSERT_EQ(dib.size(), 40u + 12 * 4 + 4);
  EXPECT_EQ(dib[4], 3);
  EXPECT_EQ(dib[8], 4);
  const TRGB* first = reinterpret_cast<const TRGB*>(dib.data() + 40);
  EXPECT_EQ(first[0], Px(b, 2, 6));
  // A 1-bit DIB has a black and white table; lk48RGB is written as 24 bits.
  TLKBitmap bw(9, 2, lk1g);
  dib = _CopyBitmaptoDIBEx(&bw, 0, 0, 0, 0);
  EXPECT_EQ((std::vector<Byte>(dib.begin() + 40, dib.begin() + 48)),
            (std::vector<Byte>{0, 0, 0, 0, 255, 255, 255, 255}));
  TLKBitmap deep(3, 3, lk48RGB);
  dib = _CopyBitmaptoDIBEx(&deep, 0, 0, 0, 0);
  EXPECT_EQ(dib[14], 24);
}

INSTANTIATE_TEST_SUITE_P(Storage, DibWrite, ::testing::Bool());

TEST(DibRead, EveryBitCountAndCompression) {
  const std::initializer_list<Byte> bw = {0, 0, 0, 0, 255, 255, 255, 0};
  const std::initializer_list<Byte> masks565 = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  struct Case {
    const char* name;
    std::vector<Byte> dib;
    TRGB expect[3];  // pixels (0,0), (1,0), (2,0) of the top row
  } cases[] = {
      // 4 bits, width 3: two bytes per row, the low nibble of the second unused.
      {"4bit", Dib(3, 1, 4, 0, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}, {0x01, 0x2F, 0, 0}, 3),
       {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"8bit", Dib(3, 1, 8, 0, {10, 20, 30, 0, 40, 50, 60, 0}, {1, 0, 7, 0}, 2),
       {{40, 50, 60}, {10, 20, 30}, {0, 0, 0}}},
      {"565", Dib(3, 1, 16, 3, masks565, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}),
       {{0, 0, 0xF8}, {0, 0xFC, 0}, {0xF8, 0, 0}}},
      {"555", Dib(3, 1, 16, 0, {}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0}),
       {{0, 0, 0xF8}, {0, 0xF8, 0}, {0xF8, 0, 0}}},
      {"24bit", Dib(3, 1, 24, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}), {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"32bit", Dib(3, 1, 32, 0, {}, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99}), {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      // 32-bit fields in another order: red in the low byte.
      {"32fields",
       Dib(3, 1, 32, 3, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}),
       {{3, 2, 1}, {6, 5, 4}, {9, 8, 7}}},
      // Run-length 8: a run of two index-1 pixels, a literal of one, end.
      {"rle8", Dib(3, 1, 8, 1, {10, 20, 30, 0, 40, 50, 60, 0}, {2, 1, 0, 3, 0, 1, 0, 0, 0, 1}, 2),
       {{40, 50, 60}, {40, 50, 60}, {10, 20, 30}}},
      // Run-length 4: a run of three pixels alternating 1 and 0.
      {"rle4", Dib(3, 1, 4, 2, {10, 20, 30, 0, 40, 50, 60, 0}, {3, 0x10, 0, 1}, 2),
       {{40, 50, 60}, {10, 20, 30}, {40, 50, 60}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap b;
    ASSERT_NE(_CopyDIB2BitmapEx(c.dib, &b), 0);
    ASSERT_EQ(b.GetPixelFormat(), lk24RGB);
    ASSERT_EQ(b.GetWidth(), 3);
    for (Integer x = 0; x < 3; ++x) EXPECT_EQ(Px(b, x, 0), c.expect[x]) << x;
  }
  // 1 bit: bit 1 is white, unless the table puts the lighter colour first.
  TLKBitmap b;
  ASSERT_EQ(_CopyDIB2BitmapEx(Dib(2, 1, 1, 0, bw, {0x80, 0, 0, 0}), &b), 1);
  EXPECT_TRUE(b.GetPixels_lk1g(0, 0));
  EXPECT_FALSE(b.GetPixels_lk1g(1, 0));
  ASSERT_EQ(_CopyDIB2BitmapEx(Dib(2, 1, 1, 0, {255, 255, 255, 0, 0, 0, 0, 0}, {0x80, 0, 0, 0}), &b), 1);
  EXPECT_FALSE(b.GetPixels_lk1g(0, 0));
  EXPECT_TRUE(b.GetPixels_lk1g(1, 0));
}

TEST(DibRead, BottomUpAndTopDown) {
  // Two rows: first in memory (1,2,3), then (4,5,6).
  const std::initializer_list<Byte> rows = {1, 2, 3, 0, 4, 5, 6, 0};
  TLKBitmap b;
  ASSERT_EQ(_CopyDIB2BitmapEx(Dib(1, 2, 24, 0, {}, rows), &b), 24);
  EXPECT_EQ(Px(b, 0, 0), (TRGB{4, 5, 6}));
  ASSERT_EQ(_CopyDIB2BitmapEx(Dib(1, -2, 24, 0, {}, rows), &b), 24);
  ASSERT_EQ(b.GetHeight(), 2);
  EXPECT_EQ(Px(b, 0, 0), (TRGB{1, 2, 3}));
  // Separate pixel data replaces what follows the header.
  const Byte bits[] = {9, 9, 9, 0};
  const std::vector<Byte> header = Dib(1, 1, 24, 0, {}, {});
  ASSERT_EQ(_CopyDIB2BitmapEx(header.data(), header.size(), &b, bits, sizeof bits), 24);
  EXPECT_EQ(Px(b, 0, 0), (TRGB{9, 9, 9}));
  // Into a DIB raster.
  TLKDibbitmap raster;
  ASSERT_EQ(_LKCopyDIB2Bitmap2Ex(header.data(), header.size(), &raster, bits, sizeof bits), 24);
  EXPECT_EQ(raster.GetBitCount(), 24);
  EXPECT_EQ(static_cast<Byte*>(raster.GetScanLine(0))[0], 9);
}

TEST(DibRead, HostileBlocksAreRefusedAndLeaveTheBitmap) {
  const std::vector<Byte> good = Dib(2, 2, 24, 0, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 1, 2, 3, 0, 0});
  std::vector<std::vector<Byte>> bad;
  for (size_t n : {0u, 10u, 39u, 40u, 50u, static_cast<unsigned>(good.size() - 1)})
    bad.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
  auto field = [&](size_t at, DWORD v) {
    std::vector<Byte> d = good;
    Put32(d, at, v);
    bad.push_back(d);
  };
  field(0, 12);            // header too short for its kind
  field(0, 4000);          // header longer than the block
  field(4, 0);             // no width
  field(4, 0x80000000u);   // negative width
  field(4, 0x40000000u);   // rows far past the block
  field(8, 0);             // no height
  field(8, 0x80000000u);   // a height with no positive counterpart
  field(8, 0x7FFFFFFFu);
  field(12, 0x00070001u);  // 7 bits per pixel
  field(16, 1);            // run-length 8 on 24 bits
  field(16, 9);            // unknown compression
  bad.push_back(Dib(2, 2, 16, 0x32595559u, {}, {1, 2, 3, 4, 5, 6, 7}));  // "YUY2" frame cut short
  // Tables and masks past the end, run-length data cut short.
  bad.push_back(Dib(2, 2, 8, 0, {1, 2, 3, 0}, {}, 300));
  bad.push_back(Dib(2, 2, 8, 0, {1, 2, 3, 0}, {}, 5));
  bad.push_back(Dib(2, 2, 16, 3, {0, 0xF8, 0}, {}));
  bad.push_back(Dib(2, 2, 8, 1, {1, 2, 3, 0}, {0, 4, 1}, 1));
  bad.push_back(Dib(2, -2, 8, 1, {1, 2, 3, 0}, {0, 1}, 1));  // top-down run-length
  for (size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    TLKBitmap b(3, 3, lk8g);
    std::vector<Byte> exact(bad[i]);  // exactly sized, so ASan sees any over-read
    EXPECT_EQ(_CopyDIB2BitmapEx(exact, &b), 0);
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetPixelFormat(), lk8g);
  }
  // Run-length data that runs past the picture is clipped, never written out.
  TLKBitmap b;
  EXPECT_EQ(_CopyDIB2BitmapEx(Dib(2, 1, 8, 1, {1, 2, 3, 0}, {255, 0, 0, 2, 200, 200, 9, 0}, 1), &b), 8);
  EXPECT_EQ(Px(b, 1, 0), (TRGB{1, 2, 3}));
}

TEST(DibFrames, YuvValuesAndLayouts) {
  TRGB c;
  YUV2RGB(16, 128, 128, c);
  EXPECT_EQ(c, (TRGB{0, 0, 0}));
  YUV2RGB(235, 128, 128, c);
  EXPECT_EQ(c, (TRGB{255, 255, 255}));
  YUV2RGB(81, 90, 240, c);
  EXPECT_GE(c.r, 250);
  EXPECT_LE(c.g, 5);
  EXPECT_LE(c.b, 5);
  // A 2 x 2 YUY2 frame: a black top row and a white bottom row in memory
  // order. With a positive height it fills from the top; Y41P from the bottom.
  auto frame = [](Integer w, Integer h, const char* code, std::vector<Byte> data) {
    std::vector<Byte> d = Dib(w, h, 16, 0, {}, {});
    std::memcpy(d.data() + 16, code, 4);
    d.insert(d.end(), data.begin(), data.end());
    return d;
  };
  TLKBitmap b;
  ASSERT_EQ(_CopyDIB2BitmapEx(frame(2, 2, "YUY2", {16, 128, 16, 128, 235, 128, 235, 128}), &b), 16);
  EXPECT_EQ(Px(b, 1, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(Px(b, 1, 1), (TRGB{255, 255, 255}));
  std::vector<Byte> y41p(24, 128);
  for (int i : {1, 3, 5, 7, 8, 9, 10, 11}) y41p[i] = 16;
  for (int i : {1, 3, 5, 7, 8, 9, 10, 11}) y41p[12 + i] = 235;
  ASSERT_EQ(_CopyDIB2BitmapEx(frame(8, 2, "Y41P", y41p), &b), 16);
  EXPECT_EQ(Px(b, 7, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(Px(b, 7, 1), (TRGB{0, 0, 0}));
  // I420 and YV12: planes U then V, or V then U; the chroma of each 2 x 2 block.
  std::vector<Byte> planar(4 * 4 + 2 * 4, 128);
  std::fill(planar.begin(), planar.begin() + 16, 81);
  planar[16] = 90;   // first plane, block (0, 0)
  planar[20] = 240;  // second plane, block (0, 0)
  ASSERT_EQ(_CopyDIB2BitmapEx(frame(4, 4, "I420", planar), &b), 16);
  EXPECT_GE(Px(b, 1, 1).r, 250);
  EXPECT_EQ(Px(b, 2, 2), Px(b, 3, 3));
  ASSERT_EQ(_CopyDIB2BitmapEx(frame(4, 4, "YV12", planar), &b), 16);
  EXPECT_LT(Px(b, 1, 1).r, 20);
  EXPECT_EQ(Px(b, 1, 1).b, 255);
  // A frame too narrow for its chroma blocks, or cut short, is refused.
  EXPECT_EQ(_CopyDIB2BitmapEx(frame(1, 4, "I420", planar), &b), 0);
  EXPECT_EQ(_CopyDIB2BitmapEx(frame(4, 4, "YVU9", std::vector<Byte>(17, 16)), &b), 0);
}

TEST(DibHelpers, GammaNearestColourAndSwaps) {
  TLKBitmap b(2, 2, lk24RGB);
  b.Fill(RGB2TColor(64, 64, 64));
  std::vector<Byte> dib = _CopyBitmaptoDIBEx(&b, 0, 0, 0, 0);
  const std::vector<Byte> before = dib;
  LKDIBGamma(dib, 1);
  EXPECT_EQ(dib, before);
  LKDIBGamma(dib, 2);
  EXPECT_EQ(dib[40], 128);
  EXPECT_EQ(dib[40 + 5], 128);
  dib.resize(50);  // short: left alone
  LKDIBGamma(dib, 2);
  EXPECT_EQ(dib[45], 128);

  const TRGB pal[] = {{0, 0, 0}, {10, 10, 10}, {30, 30, 30}, {10, 10, 10}};
  EXPECT_EQ(_GetSimilColor(pal, 4, TRGB{20, 20, 20}), 1);
  EXPECT_EQ(_GetSimilColor(pal, 0, TRGB{20, 20, 20}), 0);
  TRGB px[2] = {{1, 2, 3}, {4, 5, 6}}, out[2];
  _CopyBGR_RGB(out, px, 2);
  EXPECT_EQ(out[1], (TRGB{6, 5, 4}));
  _BGR2RGB(px, 2);
  EXPECT_EQ(px[0], (TRGB{3, 2, 1}));
  TRGB48 deep{1, 2, 3};
  _BGR2RGB48(&deep, 1);
  EXPECT_EQ(deep, (TRGB48{3, 2, 1}));

  TBitmap src(10, 4, pf24bit), dst;
  src.ScanLine(2)[9] = 77;  // pixel (3, 2), blue
  _CopyBitmapRect(&src, &dst, 3, 1, 0, 0);
  EXPECT_EQ(dst.GetWidth(), 7);
  EXPECT_EQ(dst.GetHeight(), 3);
  EXPECT_EQ(dst.ScanLine(1)[0], 77);
}

}  // namespace
