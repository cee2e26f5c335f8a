// Edge maps, Hough skew, fine skew and page orientation.
#include <gtest/gtest.h>

#include "processing/lkedges.h"
#include "processing/lkprocutils.h"
#include "processing/lkrotate.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// A white 1-bit page with black horizontal lines, `thick` pixels thick.
// (A Hough cell along a thick bar's diagonal can outvote the horizontal one,
// so the angle test uses thin lines.)
void Lines(TLKBitmap* b, Integer w, Integer h, Integer thick = 3) {
  b->Allocate(w, h, lk1g);
  b->Fill(1);
  for (Integer y = 20; y + 3 < h - 20; y += 25)
    for (Integer t = 0; t < thick; ++t)
      for (Integer x = 20; x < w - 20; ++x) b->SetPixels_lk1g(x, y + t, false);
}

TEST(EdgeMap, BlackEdgesOnWhite) {
  TLKBitmap b(40, 30, lk24RGB), out;
  b.Fill(RGB2TColor(230, 230, 230));
  for (Integer y = 10; y < 20; ++y)
    for (Integer x = 12; x < 28; ++x) b.SetPixels_lk24RGB(x, y, TRGB{20, 20, 20});
  TProgressRec rec;
  std::vector<Integer> progress;
  rec.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
  _LKEdgeDetect_ShenCastan(&b, &out, 0.9, 0.9, 7, 0, true, rec);
  ASSERT_EQ(out.GetPixelFormat(), lk1g);
  ASSERT_EQ(out.GetWidth(), 40);
  EXPECT_EQ(progress, (std::vector<Integer>{16, 33, 50, 66, 83, 100}));
  Integer black = 0, far = 0;
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      if (out.GetPixels_lk1g(x, y)) continue;
      ++black;
      // Edges lie along the rectangle's border.
      const bool nearBorder = x >= 9 && x <= 30 && y >= 7 && y <= 22 && !(x >= 15 && x <= 24 && y >= 13 && y <= 16);
      far += !nearBorder;
    }
  EXPECT_GT(black, 20);
  EXPECT_EQ(far, 0);
  for (Integer y = 0; y < 30; ++y) EXPECT_TRUE(out.GetPixels_lk1g(0, y));
  for (Integer x = 0; x < 40; ++x) EXPECT_TRUE(out.GetPixels_lk1g(x, 29));
  // A flat picture, tiled around itself, has no edge; in place works too.
  TLKBitmap flat(10, 8, lk24RGB);
  flat.Fill(RGB2TColor(100, 100, 100));
  _LKEdgeDetect_ShenCastan(&flat, &flat, 0.9, 0.9, 7, 2, true, rec);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 10; ++x) ASSERT_TRUE(flat.GetPixels_lk1g(x, y));
}

TEST(Hough, SkewOfLinedPages) {
  TLKBitmap page;
  Lines(&page, 800, 200, 1);  // lines long enough to tell 0.1 degree apart
  TProgressRec rec;
  // Out-of-range parameters, and a page without ink, give no skew.
  EXPECT_EQ(_lkhough(&page, rec, 10, 0.05), 0);
  EXPECT_EQ(_lkhough(&page, rec, 10, 1.5), 0);
  EXPECT_EQ(_lkhough(&page, rec, 200, 0.1), 0);
  EXPECT_EQ(_lkhough(&page, rec, 0, 0.1), 0);
  TLKBitmap white(50, 40, lk1g);
  white.Fill(1);
  EXPECT_EQ(_lkhough(&white, rec, 10, 0.1), 0);
  TLKBitmap colour(10, 10, lk24RGB);
  EXPECT_EQ(_lkhough(&colour, rec, 10, 0.1), 0);

  EXPECT_NEAR(_lkhough(&page, rec, 10, 0.1), 0, 0.11);
  for (double turn : {2.0, -2.0}) {
    TLKBitmap t;
    t.Assign(&page);
    TProgressRec r;
    _rotate1bitEx(&t, turn, 1, r);
    EXPECT_NEAR(std::fabs(_lkhough(&t, rec, 10, 0.1)), 2, 0.15) << turn;
    // Precision 0.45 counts as 0.4: two bins per degree.
    const double coarse = _lkhough(&t, rec, 10, 0.45);
    EXPECT_DOUBLE_EQ(coarse * 2, std::round(coarse * 2));
  }
}

TEST(Skew, MeasuringChangesNothing) {
  TLKBitmap page;
  Lines(&page, 200, 150);
  TProgressRec r;
  _rotate1bitEx(&page, 3, 1, r);
  TLKBitmap before;
  before.Assign(&page);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&page);
  const double hough = proc.SkewDetection(0, 10, 0.5, true);
  EXPECT_NEAR(std::fabs(hough), 3, 0.6);
  const double fine = proc.SkewDetectionFine(0, 0.5, 10, true);
  EXPECT_NEAR(std::fabs(fine), 3, 0.6);
  EXPECT_EQ(proc.SkewDetection(100, 10, 0.5, false), proc.SkewDetection(100, 10, 0.5, false));
  ASSERT_EQ(page.GetPixelFormat(), lk1g);
  ASSERT_EQ(page.GetWidth(), before.GetWidth());
  for (Integer y = 0; y < page.GetHeight(); ++y)
    for (Integer x = 0; x < page.GetWidth(); ++x) ASSERT_EQ(page.GetPixels_lk1g(x, y), before.GetPixels_lk1g(x, y));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // A step of 0 or a range of 0 tries the start angle alone.
  EXPECT_EQ(_LKSkewDetectionFine(&page, 1.5, 0, 10, false), 1.5);
  EXPECT_EQ(_LKSkewDetectionFine(&page, -1, 0.5, 0, false), -1);
}

TEST(Orientation, TextLinesAcrossOrDown) {
  TLKBitmap page;
  Lines(&page, 200, 160);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&page);
  EXPECT_EQ(proc.CalcOrientation(), 0);
  TProgressRec r;
  _rotate1bitEx(&page, 90, 1, r);
  EXPECT_EQ(proc.CalcOrientation(), 90);
  EXPECT_GT(_LKCalcVertOrientationFitness(&page), -1);
  TLKBitmap g(5, 5, lk16g);
  EXPECT_EQ(_LKCalcVertOrientationFitness(&g), 0);
}

}  // namespace
