// The magic wand's outline: its vertices for a lone pixel, and for hole-free
// regions an outline that fills back exactly to the connected fill's mask.
#include <gtest/gtest.h>

#include <random>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "processing/lkmagicwand.h"

namespace {

void Paint(TLKBitmap& B, Integer X, Integer Y, TRGB C) { static_cast<TRGB*>(B.GetScanLine(Y))[X] = C; }

}  // namespace

TEST(MagicWandOutline, LonePixelGivesEachCornerTwice) {
  TLKBitmap b(5, 4, lk24RGB);
  b.Fill(clWhite);
  Paint(b, 2, 1, TRGB{0, 0, 0});
  const std::vector<TPoint> v = _MakeMagicWandPoints(&b, 2, 1, false, 0);
  const std::vector<TPoint> want = {{2, 1}, {3, 1}, {3, 1}, {3, 2}, {3, 2}, {2, 2}, {2, 2}, {2, 1}};
  ASSERT_EQ(v.size(), want.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    EXPECT_EQ(v[i].X, want[i].X) << i;
    EXPECT_EQ(v[i].Y, want[i].Y) << i;
  }
  EXPECT_TRUE(_MakeMagicWandPoints(&b, 5, 1, false, 0).empty());  // seed outside
}

TEST(MagicWandOutline, OutlineOfAHoleFreeRegionFillsToTheRegion) {
  // Random walks of black pixels; pictures whose region encloses a hole
  // (white pixels the outside's fill cannot reach) are skipped, as only the
  // outer contour is traced.
  std::mt19937 rng(11);
  Integer checked = 0;
  for (Integer t = 0; t < 120; ++t) {
    const Integer w = 3 + rng() % 30, h = 3 + rng() % 30;
    TLKBitmap b(w, h, lk24RGB);
    b.Fill(clWhite);
    Integer x = rng() % w, y = rng() % h;
    const Integer sx = x, sy = y;
    for (Integer k = 0; k < w * h / 2; ++k) {
      Paint(b, x, y, TRGB{0, 0, 0});
      switch (rng() % 4) {
        case 0: x = std::min(x + 1, w - 1); break;
        case 1: x = std::max(x - 1, 0); break;
        case 2: y = std::min(y + 1, h - 1); break;
        default: y = std::max(y - 1, 0); break;
      }
    }
    TLKMask region, outside, filled;
    region.AllocateBits(w + 2, h + 2, 8);
    _MakeMagicWandPointsEx(&b, sx, sy, false, 0, &region, 255);
    // A hole shows as white pixels that the outside's fill does not reach.
    TLKBitmap framed(w + 2, h + 2, lk24RGB);
    framed.Fill(clWhite);
    for (Integer yy = 0; yy < h; ++yy)
      for (Integer xx = 0; xx < w; ++xx)
        if (region.GetPixel(xx, yy)) Paint(framed, xx + 1, yy + 1, TRGB{0, 0, 0});
    outside.AllocateBits(w + 2, h + 2, 8);
    _MakeMagicWandPointsEx(&framed, 0, 0, false, 0, &outside, 255);
    bool hole = false;
    for (Integer yy = 0; yy < h; ++yy)
      for (Integer xx = 0; xx < w; ++xx)
        if (!region.GetPixel(xx, yy) && !outside.GetPixel(xx + 1, yy + 1)) hole = true;
    if (hole) continue;
    const std::vector<TPoint> v = _MakeMagicWandPoints(&b, sx, sy, false, 0);
    filled.AllocateBits(w + 2, h + 2, 8);
    filled.DrawPolygon(255, v.data(), static_cast<Integer>(v.size()));
    for (Integer yy = 0; yy < h; ++yy)
      for (Integer xx = 0; xx < w; ++xx)
        ASSERT_EQ(filled.GetPixel(xx, yy) != 0, region.GetPixel(xx, yy) != 0) << t << " at " << xx << "," << yy;
    ++checked;
  }
  EXPECT_GT(checked, 20);
}
