#include "core/lkmask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

// The mask as one string per row, '#' for a selected pixel.
std::vector<std::string> Picture(const TLKMask& m) {
  std::vector<std::string> rows;
  for (Integer y = 0; y < m.GetHeight(); ++y) {
    std::string s;
    for (Integer x = 0; x < m.GetWidth(); ++x) s += m.GetPixel(x, y) != 0 ? '#' : '.';
    rows.push_back(s);
  }
  return rows;
}

struct Box {
  Integer x1, y1, x2, y2;
};

void ExpectBox(const TLKMask& m, Box b) {
  EXPECT_EQ(m.GetX1(), b.x1);
  EXPECT_EQ(m.GetY1(), b.y1);
  EXPECT_EQ(m.GetX2(), b.x2);
  EXPECT_EQ(m.GetY2(), b.y2);
}

constexpr Integer S = TLKMask::PolygonSeparator;
constexpr Box kEmptyBox{TLKMask::EmptyBox, TLKMask::EmptyBox, 0, 0};

struct PolygonCase {
  const char* name;
  std::vector<TPoint> points;
  std::vector<std::string> expected;  // 8 x 8
  Box box;
};

const std::vector<PolygonCase> kPolygons = {
    {"square", {{2, 2}, {6, 2}, {6, 6}, {2, 6}},
     {"........", "........", "..####..", "..####..", "..####..", "..####..", "........", "........"},
     {2, 2, 5, 5}},
    {"right triangle", {{0, 0}, {8, 0}, {0, 8}},
     {"########", "#######.", "######..", "#####...", "####....", "###.....", "##......", "#......."},
     {0, 0, 7, 7}},
    // Both edges start at (0, 0): the vertical one must come first in the
    // active list, or every span is empty.
    {"shared start vertex", {{0, 0}, {4, 8}, {0, 8}},
     {"........", "........", "#.......", "#.......", "##......", "##......", "###.....", "###....."},
     {0, 0, 3, 7}},
    // The wide rows lie above the mask; they must not be painted onto row 0.
    {"rows above the mask", {{0, -4}, {8, -4}, {4, 4}},
     {"..####..", "..####..", "...##...", "...##...", "........", "........", "........", "........"},
     {0, 0, 7, 3}},
    {"rows below the mask", {{1, 6}, {3, 6}, {3, 40}, {1, 40}},
     {"........", "........", "........", "........", "........", "........", ".##.....", ".##....."},
     {1, 6, 2, 7}},
    {"concave", {{0, 0}, {2, 0}, {2, 4}, {4, 4}, {4, 0}, {6, 0}, {6, 6}, {0, 6}},
     {"##..##..", "##..##..", "##..##..", "##..##..", "######..", "######..", "........", "........"},
     {0, 0, 5, 5}},
    {"two squares", {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {S, 0}, {5, 5}, {8, 5}, {8, 8}, {5, 8}},
     {"##......", "##......", "........", "........", "........", ".....###", ".....###", ".....###"},
     {0, 0, 7, 7}},
    {"collinear", {{1, 1}, {3, 3}, {5, 5}},
     {"........", "........", "........", "........", "........", "........", "........", "........"},
     kEmptyBox},
};

TEST(LKMaskPolygon, FillsExactPixelsAtBothDepths) {
  for (Integer bpp : {1, 8}) {
    for (const PolygonCase& c : kPolygons) {
      SCOPED_TRACE(std::string(c.name) + " bpp " + std::to_string(bpp));
      TLKMask m;
      m.AllocateBits(8, 8, bpp);
      m.DrawPolygon(bpp == 8 ? 255 : 1, c.points.data(), static_cast<Integer>(c.points.size()));
      EXPECT_EQ(Picture(m), c.expected);
      ExpectBox(m, c.box);
      EXPECT_FALSE(m.GetFull());
    }
  }
}

TEST(LKMaskPolygon, SquareOfTheWholeMaskSetsFull) {
  TLKMask m;
  m.AllocateBits(20, 20, 8);
  const TPoint pts[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  m.DrawPolygon(255, pts, 4);
  EXPECT_EQ(m.GetPixel(9, 9), 255);
  EXPECT_EQ(m.GetPixel(10, 9), 0);
  EXPECT_EQ(m.GetPixel(9, 10), 0);
  ExpectBox(m, {0, 0, 9, 9});
  const TPoint all[] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
  m.DrawPolygon(255, all, 4);
  EXPECT_TRUE(m.GetFull());
}

TEST(LKMaskPolygon, DegeneratePolygonKeepsTheExistingBox) {
  TLKMask m;
  m.AllocateBits(8, 8, 1);
  m.SetPixel(6, 6, 1);
  const TPoint line[] = {{1, 1}, {2, 2}, {3, 3}};
  m.DrawPolygon(1, line, 3);
  ExpectBox(m, {6, 6, 6, 6});
  EXPECT_FALSE(m.IsEmpty());
  // Erasing with value 0 clears the pixels and leaves the box alone.
  const TPoint all[] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}};
  m.DrawPolygon(0, all, 4);
  EXPECT_EQ(m.GetPixel(6, 6), 0);
  ExpectBox(m, {6, 6, 6, 6});
}

TEST(LKMaskPolygon, HugeCoordinatesCostOnlyTheMaskRows) {
  TLKMask m;
  m.AllocateBits(4, 4, 8);
  const TPoint pts[] = {{-2000000000, -2000000000}, {2000000000, -2000000000}, {2000000000, 2000000000},
                        {-2000000000, 2000000000}};
  m.DrawPolygon(255, pts, 4);
  EXPECT_TRUE(m.GetFull());
  ExpectBox(m, {0, 0, 3, 3});
}

TEST(LKMaskPixels, SetGetBoxAndFull) {
  TLKMask m;
  m.AllocateBits(10, 10, 8);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_FALSE(m.GetFull());
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x) ASSERT_EQ(m.GetPixel(x, y), 0);
  m.SetPixel(3, 4, 255);
  ExpectBox(m, {3, 4, 3, 4});
  m.SetPixel(20, 0, 255);
  m.SetPixel(-1, 0, 255);
  ExpectBox(m, {3, 4, 3, 4});
  EXPECT_EQ(m.GetPixel(20, 0), 0);
  EXPECT_EQ(m.GetPixel(3, 4), 255);
  EXPECT_TRUE(m.IsPointInside(3, 4));

  TLKMask b;
  b.AllocateBits(10, 3, 1);
  b.SetPixel(9, 2, 7);
  EXPECT_EQ(b.GetPixel(9, 2), 1);  // 0 or 1, never the bit's weight
  b.Fill(255);
  b.SyncFull();
  EXPECT_TRUE(b.GetFull());
  b.SetPixel(0, 0, 0);
  EXPECT_FALSE(b.GetFull());
  b.Fill(255);
  EXPECT_TRUE(b.GetFull());
  b.Fill(0);
  EXPECT_FALSE(b.GetFull());
}

TEST(LKMaskPixels, SyncRectAndSyncFullIgnoreRowPadding) {
  TLKMask m;
  m.AllocateBits(10, 2, 1);
  m.Fill(255);  // sets the padding bits after pixel 9 as well
  m.SyncRect();
  ExpectBox(m, {0, 0, 9, 1});
  m.SetPixel(9, 1, 0);
  m.SyncFull();
  EXPECT_FALSE(m.GetFull());
  m.Empty();
  m.SetPixel(2, 1, 1);
  m.SetPixel(7, 0, 1);
  m.SyncRect();
  ExpectBox(m, {2, 0, 7, 1});
}

TEST(LKMaskPixels, HorizontalLineClampsColumnsAndSkipsOutsideRows) {
  TLKMask m;
  m.AllocateBits(12, 3, 1);
  EXPECT_EQ(m.DrawHorizontalLine(1, -5, 100, 1), 12);
  EXPECT_EQ(m.DrawHorizontalLine(1, 0, 5, 3), 0);
  EXPECT_EQ(m.DrawHorizontalLine(1, 0, 5, -1), 0);
  EXPECT_EQ(m.DrawHorizontalLine(1, 6, 5, 0), 0);
  EXPECT_EQ(m.DrawHorizontalLine(0, 3, 9, 1), 7);
  EXPECT_EQ(Picture(m), (std::vector<std::string>{"............", "###.......##", "............"}));
  EXPECT_TRUE(m.IsEmpty());  // lines never touch the box
}

struct TranslateCase {
  const char* name;
  bool cut;
  Integer dx, dy;
  Integer dxBack, dyBack;
  std::vector<std::string> expected;  // 6 x 4
  Box box;
};

TEST(LKMaskTranslate, MovesClipsOrReducesAtBothDepths) {
  // Selection: columns 2..3 of rows 1..2.
  const std::vector<TranslateCase> cases = {
      {"inside", false, 1, 1, 1, 1, {"......", "......", "...##.", "...##."}, {3, 2, 4, 3}},
      {"reduced left", false, -5, 0, -2, 0, {"......", "##....", "##....", "......"}, {0, 1, 1, 2}},
      {"reduced right and down", false, 9, 9, 2, 1, {"......", "......", "....##", "....##"}, {4, 2, 5, 3}},
      {"cut left", true, -3, 0, -3, 0, {"......", "#.....", "#.....", "......"}, {0, 1, 0, 2}},
      {"cut down", true, 0, 2, 0, 2, {"......", "......", "......", "..##.."}, {2, 3, 3, 3}},
      {"cut out entirely", true, 10, 0, 10, 0, {"......", "......", "......", "......"}, kEmptyBox},
  };
  for (Integer bpp : {1, 8}) {
    for (const TranslateCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " bpp " + std::to_string(bpp));
      TLKMask m;
      m.AllocateBits(6, 4, bpp);
      for (Integer y = 1; y <= 2; ++y)
        for (Integer x = 2; x <= 3; ++x) m.SetPixel(x, y, bpp == 8 ? 200 : 1);
      Integer dx = c.dx, dy = c.dy;
      m.TranslateBitmap(dx, dy, c.cut);
      EXPECT_EQ(dx, c.dxBack);
      EXPECT_EQ(dy, c.dyBack);
      EXPECT_EQ(Picture(m), c.expected);
      ExpectBox(m, c.box);
      if (bpp == 8 && c.box.x1 != TLKMask::EmptyBox) {
        EXPECT_EQ(m.GetPixel(c.box.x1, c.box.y1), 200);
      }
    }
  }
}

TEST(LKMaskOperations, NegativeIntersectAndCombineWithAlpha) {
  TLKMask m;
  m.AllocateBits(5, 2, 8);
  m.Negative(255);  // empty: nothing happens
  EXPECT_EQ(m.GetPixel(0, 0), 0);
  m.SetPixel(0, 0, 9);
  m.Negative(128);
  EXPECT_EQ(m.GetPixel(0, 0), 0);
  EXPECT_EQ(m.GetPixel(4, 1), 128);
  ExpectBox(m, {0, 0, 4, 1});

  TLKMask b;
  b.AllocateBits(5, 2, 1);
  b.SetPixel(4, 1, 1);
  b.Negative(1);
  EXPECT_EQ(Picture(b), (std::vector<std::string>{"#####", "####."}));
  b.Intersect(1, 0, 3, 0);
  EXPECT_EQ(Picture(b), (std::vector<std::string>{".###.", "....."}));
  ExpectBox(b, {1, 0, 3, 0});

  // Alpha columns 0 and 1 are 0, column 2 is 100.
  TLKBitmap alpha(3, 3, lk8g);
  for (Integer y = 0; y < 3; ++y) {
    auto* row = static_cast<Byte*>(alpha.GetScanLine(y));
    row[0] = 0;
    row[1] = 0;
    row[2] = 100;
  }
  b.CombineWithAlpha(&alpha, 1, 0, true);
  EXPECT_EQ(Picture(b), (std::vector<std::string>{"...#.", "....."}));
  ExpectBox(b, {3, 0, 3, 0});

  m.Fill(255);
  m.CombineWithAlpha(&alpha, 3, -1, false);  // column 2 and row 0 fall outside
  EXPECT_EQ(m.GetPixel(3, 0), 0);
  EXPECT_EQ(m.GetPixel(4, 1), 0);
  EXPECT_EQ(m.GetPixel(2, 0), 255);
  EXPECT_FALSE(m.GetFull());
}

TEST(LKMaskStorage, AssignAndResizeKeepTopLeft) {
  TLKMask m;
  m.AllocateBits(9, 4, 1);
  m.SetPixel(0, 0, 1);
  m.SetPixel(8, 3, 1);
  TLKMask c;
  c.Assign(&m);
  EXPECT_EQ(Picture(c), Picture(m));
  ExpectBox(c, {0, 0, 8, 3});
  c.Resize(4, 2);
  EXPECT_EQ(Picture(c), (std::vector<std::string>{"#...", "...."}));
  ExpectBox(c, {0, 0, 3, 1});
  c.Resize(6, 3);
  EXPECT_EQ(Picture(c), (std::vector<std::string>{"#.....", "......", "......"}));
}

// Fills a bitmap's rows with a pattern that differs per byte.
void Pattern(TLKBitmap& b, Byte seed) {
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    auto* row = static_cast<Byte*>(b.GetScanLine(y));
    for (Integer i = 0; i < b.GetRowLen(); ++i) row[i] = static_cast<Byte>(seed + y * 31 + i * 7);
  }
}

class LKMaskCopy : public bitmap_test::MinFileSizeTest {};

// A 1-bit mask copies exactly the selected samples of every format.
TEST_P(LKMaskCopy, OneBitMaskCopiesSelectedSamplesOfEveryFormat) {
  TLKMask m;
  m.AllocateBits(6, 5, 1);
  const TPoint pts[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}};
  m.DrawPolygon(1, pts, 4);
  m.SetPixel(2, 2, 0);  // a hole inside the box
  for (TLKPixelFormat f : {lk1g, lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab}) {
    SCOPED_TRACE(static_cast<int>(f));
    TLKBitmap src(6, 5, f), dst(6, 5, f), before(6, 5, f);
    Pattern(src, 1);
    Pattern(dst, 100);
    before.Assign(&dst);
    m.CopyLKBitmap(&dst, &src, false, false, false);
    const Integer bits = LKPixelFormatBitCount(f);
    for (Integer y = 0; y < 5; ++y) {
      for (Integer x = 0; x < 6; ++x) {
        const TLKBitmap& expect = m.GetPixel(x, y) ? src : before;
        const auto* e = static_cast<const Byte*>(const_cast<TLKBitmap&>(expect).GetScanLine(y));
        std::vector<Byte> ev(e, e + src.GetRowLen());
        const auto* d = static_cast<const Byte*>(dst.GetScanLine(y));
        if (bits == 1) {
          ASSERT_EQ((d[x / 8] >> (7 - x % 8)) & 1, (ev[x / 8] >> (7 - x % 8)) & 1) << x << "," << y;
        } else {
          const Integer n = bits / 8;
          for (Integer c = 0; c < n; ++c) ASSERT_EQ(d[x * n + c], ev[x * n + c]) << x << "," << y;
        }
      }
    }
  }
}

TEST_P(LKMaskCopy, EightBitMaskBlendsAndWritesAlpha) {
  TLKMask m;
  m.AllocateBits(4, 2, 8);
  m.SetPixel(1, 0, 128);
  m.SetPixel(2, 1, 255);
  TLKBitmap src(4, 2, lk24RGB), dst(4, 2, lk24RGB);
  src.Fill(clWhite);
  dst.Fill(clBlack);
  src.GetAlphaChannel()->Fill(200);
  m.CopyLKBitmap(&dst, &src, false, false, true);
  EXPECT_EQ(dst.GetPixels_lk24RGB(1, 0), (TRGB{127, 127, 127}));
  EXPECT_EQ(dst.GetPixels_lk24RGB(2, 1), (TRGB{254, 254, 254}));  // m/256 never reaches the source
  EXPECT_EQ(dst.GetPixels_lk24RGB(0, 0), (TRGB{0, 0, 0}));
  ASSERT_TRUE(dst.GetHasAlphaChannel());
  EXPECT_EQ(dst.GetAlpha(1, 0), 128);  // min(source alpha 200, mask 128)
  EXPECT_EQ(dst.GetAlpha(2, 1), 200);
  EXPECT_EQ(dst.GetAlpha(2, 0), 0);  // inside the box, not selected
  EXPECT_EQ(dst.GetAlpha(0, 0), 255);  // outside the box: untouched
  EXPECT_FALSE(dst.GetAlphaChannel()->GetFull());
}

TEST_P(LKMaskCopy, CopyWithinOnePictureReadsEachRowBeforeWriting) {
  TLKMask m;
  m.AllocateBits(6, 6, 1);
  const TPoint pts[] = {{2, 3}, {5, 3}, {5, 6}, {2, 6}};
  m.DrawPolygon(1, pts, 4);  // box (2, 3)-(4, 5)
  TLKBitmap img(6, 6, lk8g);
  for (Integer y = 0; y < 6; ++y)
    for (Integer x = 0; x < 6; ++x) img.SetPixels_lk8(x, y, static_cast<Byte>(10 * y + x));
  img.SetAlpha(2, 3, 77);
  m.CopyLKBitmap(&img, &img, true, false, true);
  EXPECT_EQ(img.GetAlpha(0, 0), 77);
  EXPECT_EQ(img.GetAlpha(1, 0), 255);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 3; ++x) EXPECT_EQ(img.GetPixels_lk8(x, y), 10 * (y + 3) + x + 2) << x << "," << y;
  EXPECT_EQ(img.GetPixels_lk8(3, 0), 3);
}

INSTANTIATE_TEST_SUITE_P(Storage, LKMaskCopy, ::testing::Values(1 << 30, 1));

TEST(LKMaskCopyRelative, RelativeSidesAndClippingToSmallPictures) {
  TLKMask m;
  m.AllocateBits(10, 10, 1);
  const TPoint pts[] = {{4, 3}, {8, 3}, {8, 6}, {4, 6}};
  m.DrawPolygon(1, pts, 4);  // box (4, 3)-(7, 5)
  TLKBitmap image(10, 10, lk8g), cut(4, 3, lk8g), small(2, 2, lk8g);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x) image.SetPixels_lk8(x, y, static_cast<Byte>(y * 10 + x));
  cut.Fill(0);
  m.CopyLKBitmap(&cut, &image, true, false, false);
  EXPECT_EQ(cut.GetPixels_lk8(0, 0), 34);
  EXPECT_EQ(cut.GetPixels_lk8(3, 2), 57);
  // Back again at absolute positions.
  TLKBitmap back(10, 10, lk8g);
  back.Fill(0);
  m.CopyLKBitmap(&back, &cut, false, true, false);
  EXPECT_EQ(back.GetPixels_lk8(4, 3), 34);
  EXPECT_EQ(back.GetPixels_lk8(7, 5), 57);
  EXPECT_EQ(back.GetPixels_lk8(3, 3), 0);
  // A relative destination smaller than the box only gets what fits.
  small.Fill(1);
  m.CopyLKBitmap(&small, &image, true, false, true);
  EXPECT_EQ(small.GetPixels_lk8(1, 1), 45);
  EXPECT_EQ(small.GetAlpha(1, 1), 255);
}

TEST(LKMaskCopyTBitmap, Copies24And1BitBitmapsOnly) {
  TLKMask m;
  m.AllocateBits(4, 2, 8);
  m.SetPixel(0, 0, 255);
  m.SetPixel(3, 1, 64);
  TBitmap src(4, 2, pf24bit), dst(4, 2, pf24bit);
  for (Integer y = 0; y < 2; ++y) {
    std::fill_n(src.ScanLine(y), 12, Byte{200});
    std::fill_n(dst.ScanLine(y), 12, Byte{0});
  }
  m.CopyBitmap(&dst, &src, false, false);
  EXPECT_EQ(dst.ScanLine(0)[0], 199);  // 200 * 255 / 256, rounded down
  EXPECT_EQ(dst.ScanLine(1)[9], 50);   // 200 * 64 / 256
  EXPECT_EQ(dst.ScanLine(1)[0], 0);
  TBitmap grey(4, 2, pf8bit);
  std::fill_n(grey.ScanLine(0), 4, Byte{0});
  TBitmap src8(4, 2, pf8bit);
  std::fill_n(src8.ScanLine(0), 4, Byte{9});
  m.CopyBitmap(&grey, &src8, false, false);
  EXPECT_EQ(grey.ScanLine(0)[0], 0);
}

// A 24-bit bitmap's pixels as one string of hex triples per row.
std::vector<Cardinal> Pixels(TBitmap& b) {
  std::vector<Cardinal> v;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const Byte* p = b.ScanLine(y) + 3 * x;
      v.push_back(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  return v;
}

TBitmap* NewCanvasBitmap(Integer w, Integer h) {
  auto* b = new TBitmap(w, h, pf24bit);
  for (Integer y = 0; y < h; ++y)
    for (Integer i = 0; i < 3 * w; ++i) b->ScanLine(y)[i] = static_cast<Byte>(y * 40 + i * 3);
  return b;
}

TEST(LKMaskDrawing, InvertTwiceRestoresTheCanvas) {
  TLKMask m;
  m.AllocateBits(8, 8, 1);
  const TPoint pts[] = {{1, 1}, {6, 2}, {3, 7}};
  m.DrawPolygon(1, pts, 3);
  std::unique_ptr<TBitmap> b(NewCanvasBitmap(16, 16));
  const std::vector<Cardinal> original = Pixels(*b);
  m.InvertCanvas(b->GetCanvas(), 0, 0, 16, 16, 0, 0, 8, 8);
  const std::vector<Cardinal> once = Pixels(*b);
  // Mask pixel (3, 3) is selected: its four zoomed pixels are inverted.
  EXPECT_EQ(once[7 * 16 + 6], original[7 * 16 + 6] ^ 0xFFFFFFu);
  EXPECT_EQ(once[0], original[0]);
  m.InvertCanvas(b->GetCanvas(), 0, 0, 16, 16, 0, 0, 8, 8);
  EXPECT_EQ(Pixels(*b), original);
  EXPECT_EQ(b->GetCanvas()->GetCopyMode(), cmSrcCopy);
}

TEST(LKMaskDrawing, OutlineIsTheBorderWithMarchingDashes) {
  TLKMask m;
  m.AllocateBits(8, 8, 1);
  const TPoint pts[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  m.DrawPolygon(1, pts, 4);
  const TColor c1 = clRed, c2 = clBlue;
  auto draw = [&](Integer phase) {
    std::unique_ptr<TBitmap> b(new TBitmap(8, 8, pf24bit));
    b->GetCanvas()->GetBrush()->SetColor(clWhite);
    b->GetCanvas()->FillRect(Rect(0, 0, 8, 8));
    m.DrawOutline(b->GetCanvas(), 0, 0, 8, 8, 0, 0, 8, 8, phase, c1, c2);
    std::vector<std::string> rows;
    for (Integer y = 0; y < 8; ++y) {
      std::string s;
      for (Integer x = 0; x < 8; ++x) {
        const TColor c = b->GetCanvas()->GetPixel(x, y);
        s += c == clWhite ? '.' : c == c1 ? '1' : c == c2 ? '2' : '?';
      }
      rows.push_back(s);
    }
    return rows;
  };
  // Colour 2 where (x + y + phase) and 7 is below 4.
  const std::vector<std::string> phase0 = {"........", "........", "..1111..", "..1..2..",
                                           "..1..2..", "..1222..", "........", "........"};
  EXPECT_EQ(draw(0), phase0);
  EXPECT_EQ(draw(8), phase0);
  std::vector<std::string> swapped = phase0;
  for (std::string& r : swapped)
    for (char& ch : r) ch = ch == '1' ? '2' : ch == '2' ? '1' : ch;
  EXPECT_EQ(draw(4), swapped);

  // The same square at half the size drawn at twice the zoom.
  TLKMask half;
  half.AllocateBits(4, 4, 1);
  const TPoint small[] = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
  half.DrawPolygon(1, small, 4);
  std::unique_ptr<TBitmap> b(new TBitmap(8, 8, pf24bit));
  b->GetCanvas()->GetBrush()->SetColor(clWhite);
  b->GetCanvas()->FillRect(Rect(0, 0, 8, 8));
  half.DrawOutline(b->GetCanvas(), 0, 0, 8, 8, 0, 0, 4, 4, 0, c1, c2);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) {
      const TColor c = b->GetCanvas()->GetPixel(x, y);
      const char ch = c == clWhite ? '.' : c == c1 ? '1' : c == c2 ? '2' : '?';
      EXPECT_EQ(ch, phase0[static_cast<size_t>(y)][static_cast<size_t>(x)]) << x << "," << y;
    }
}

TEST(LKMaskDrawing, OuterShadesTheUnselectedHalfAsACheckerboard) {
  TLKMask m;
  m.AllocateBits(8, 4, 8);
  std::unique_ptr<TBitmap> b(new TBitmap(8, 4, pf24bit));
  for (Integer y = 0; y < 4; ++y) std::fill_n(b->ScanLine(y), 24, Byte{255});
  m.DrawOuter(b.get(), 0, 0, 8, 4, 0, 0, 8, 4);  // empty selection: nothing
  for (Integer y = 0; y < 4; ++y)
    for (Integer i = 0; i < 24; ++i) ASSERT_EQ(b->ScanLine(y)[i], 255);
  for (Integer y = 0; y < 4; ++y) m.DrawHorizontalLine(255, 0, 3, y);
  m.SyncRect();
  m.DrawOuter(b.get(), 0, 0, 8, 4, 0, 0, 8, 4);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 8; ++x) {
      const bool grey = x >= 4 && (x + y) % 2 == 0;
      EXPECT_EQ(b->ScanLine(y)[3 * x], grey ? 97 : 255) << x << "," << y;
    }
  // Drawing offset past the bitmap's edges writes nothing outside it.
  m.DrawOuter(b.get(), 5, 2, 8, 4, 0, 0, 8, 4);
  m.DrawOuter(b.get(), -5, -2, 8, 4, 0, 0, 8, 4);
}

}  // namespace
