// Median and Wallis filters; isolated-pixel removal and kFill of 1-bit
// pictures.
#include <gtest/gtest.h>

#include <algorithm>

#include "processing/lkbwnoise.h"
#include "processing/lkmedian.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

class Median : public ::testing::TestWithParam<bool> {};

TEST_P(Median, KindsOnSmallPictures) {
  StorageScope storage(GetParam());
  // Threshold 0: every middle pixel becomes its nearest-to-mean neighbour;
  // a white speck in black goes.
  TLKBitmap b(9, 7, lk24RGB);
  b.Fill(0);
  b.SetPixels_lk24RGB(4, 3, TRGB{255, 255, 255});
  _LKMedianFilter(&b, 3, 3, 50, 0, 0, 0, mfMedianFilter, {}, nullptr);
  EXPECT_EQ(b.GetPixels(4, 3), (TRGB{0, 0, 0}));
  // A flat picture stays as it is, in every kind but edge extraction.
  for (TLKMedFilType kind : {mfMedianFilter, mfSharpen}) {
    TLKBitmap f(12, 10, lk24RGB);
    f.Fill(RGB2TColor(30, 120, 200));
    _LKMedianFilter(&f, 5, 3, 50, 0, 20, 40, kind, {}, nullptr);
    for (Integer y = 0; y < 10; ++y)
      for (Integer x = 0; x < 12; ++x) ASSERT_EQ(f.GetPixels(x, y), (TRGB{200, 120, 30})) << kind;
  }
  // Edge extraction: black and white only, the outer hh rows and hw columns
  // white.
  TLKBitmap e(16, 12, lk24RGB);
  FillDistinct(&e);
  _LKMedianFilter(&e, 5, 3, 50, 30, 0, 50, mfEdgeExtract, {}, nullptr);
  Integer black = 0;
  for (Integer y = 0; y < 12; ++y)
    for (Integer x = 0; x < 16; ++x) {
      const TRGB p = e.GetPixels(x, y);
      ASSERT_TRUE(p == (TRGB{0, 0, 0}) || p == (TRGB{255, 255, 255}));
      if (x < 2 || x >= 14 || y < 1 || y >= 11) ASSERT_EQ(p.r, 255) << x << "," << y;
      black += p.r == 0;
    }
  EXPECT_GT(black, 0);
}

TEST_P(Median, DegenerateSettingsLeaveThePicture) {
  StorageScope storage(GetParam());
  // A 1-pixel window has no neighbour; sharpness 109 makes the sharpening
  // divide by zero; a window as large as the picture has no middle.
  const struct {
    Integer ww, wh, sharpness;
    TLKMedFilType kind;
  } cases[] = {{1, 1, 0, mfMedianFilter}, {1, 1, 0, mfEdgeExtract}, {3, 3, 109, mfSharpen}, {20, 20, 0, mfMedianFilter}};
  for (const auto& c : cases) {
    TLKBitmap b(10, 8, lk24RGB);
    FillDistinct(&b);
    TLKBitmap before;
    before.Assign(&b);
    _LKMedianFilter(&b, c.ww, c.wh, 50, 10, c.sharpness, 0, c.kind, {}, nullptr);
    for (Integer y = 0; y < 8; ++y)
      for (Integer x = 0; x < 10; ++x) ASSERT_EQ(b.GetPixels(x, y), before.GetPixels(x, y));
  }
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Median, ::testing::Bool());

TEST(Median, EdgeExtractionFollowsTheWindowMedian) {
  // Small windows rank by sorting, larger ones by the sliding histogram:
  // both must give the median of the window's luminances.
  for (const auto& [ww, wh] : {std::pair{3, 3}, std::pair{7, 5}, std::pair{4, 6}}) {
    TLKBitmap b(23, 19, lk24RGB);
    FillDistinct(&b, 7);
    TLKBitmap src;
    src.Assign(&b);
    const Integer gain = 40, brightness = 60, threshold = 50;
    _LKMedianFilter(&b, ww, wh, brightness, gain, 0, threshold, mfEdgeExtract, {}, nullptr);
    const Integer n = ww * wh, hw = ww / 2, hh = wh / 2;
    const double p4 = gain * 0.5 / (n - 1), offset = (brightness - 50) * 5.1;
    for (Integer y = hh; y < 19 - hh; ++y)
      for (Integer x = hw; x < 23 - hw; ++x) {
        std::vector<Integer> l;
        for (Integer j = y - hh; j <= y + hh; ++j)
          for (Integer i = x - hw; i <= x + hw; ++i) {
            const TRGB c = src.GetPixels(i, j);
            l.push_back((c.r * 54 + c.g * 182 + c.b * 20) >> 8);
          }
        std::sort(l.begin(), l.end());
        const Integer med = l[static_cast<size_t>(n / 2 - 1)];
        const Integer v = std::clamp(LKTrunc((src.GetPixels(x, y).g * n - med * n) * p4 + offset), 0, 255);
        ASSERT_EQ(b.GetPixels(x, y).r, 255 - v >= LKTrunc(threshold * 2.56) ? 255 : 0) << ww << "x" << wh;
      }
  }
}

TEST(Wallis, FlatGreyBinarisedByTargetMean) {
  // Brightness weight 100: L' is the target mean, so 40 gives black and 60
  // white, the last column included.
  for (const auto& [mean, want] : {std::pair{40, Byte{0}}, std::pair{60, Byte{255}}}) {
    TLKBitmap b(30, 25, lk24RGB);
    b.Fill(RGB2TColor(128, 128, 128));
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.WallisFilter(0, 0, mean, 50, 1, 100, 50, true);
    EXPECT_EQ(proc.GetUndoCaptions(0), "WallisFilter");
    for (Integer y = 0; y < 25; ++y)
      for (Integer x = 0; x < 30; ++x) ASSERT_EQ(b.GetPixels(x, y).g, want) << mean << " " << x << "," << y;
  }
  // Without binarising a flat picture keeps its hue.
  TLKBitmap c(12, 10, lk24RGB);
  c.Fill(RGB2TColor(200, 100, 50));
  _LKWallisFilter(&c, 0, 0, 50, 50, 1, 0, 50, false, {}, nullptr);
  const TRGB p = c.GetPixels(5, 5);
  EXPECT_GT(p.r, p.g);
  EXPECT_GT(p.g, p.b);
}


TEST(IsolatedPixels, CountsOfTheColour) {
  const std::vector<std::string> in = {"#######", "#.##..#", "#######", "#######"};
  struct Case {
    Integer maximum;
    std::vector<std::string> out;
  } cases[] = {
      {0, in},
      {1, {"#######", "####..#", "#######", "#######"}},  // the pair survives 1
      {2, {"#######", "#######", "#######", "#######"}},
  };
  for (const Case& c : cases) {
    TLKBitmap b;
    DrawBits(&b, in);
    _LKRemoveIsolatedPixels1Bit(&b, 0, 0, 7, 4, 1, c.maximum);
    EXPECT_EQ(BitsText(&b), c.out) << c.maximum;
  }
}

TEST(KFill, SpecksAndHolesAndTheBorder) {
  const std::vector<std::string> in = {
      "..........", "..........", "...#......", "..........", "......###.", "......#.#.", "......###.", "#.........",
  };
  struct Case {
    Integer passes;
    std::vector<std::string> out;
  } cases[] = {
      // White is ON: pass 1 (OFF fills) clears the isolated white pixel of
      // the black ring, pass 2 (ON fills) removes the isolated black speck.
      {1, {"..........", "..........", "...#......", "..........", "......###.", "......###.", "......###.", "#........."}},
      {2, {"..........", "..........", "..........", "..........", "......###.", "......###.", "......###.", "#........."}},
  };
  for (const Case& c : cases) {
    TLKBitmap b;
    DrawBits(&b, in);
    _kf_kfill(&b, true, true, c.passes, 3, false);
    EXPECT_EQ(BitsText(&b), c.out) << c.passes;
  }
  // Inverted, black is ON: the black speck goes in pass 1, the hole in 2.
  TLKBitmap b;
  DrawBits(&b, in);
  _kf_kfill(&b, true, true, 1, 3, true);
  EXPECT_EQ(BitsText(&b)[2], "..........");
  EXPECT_EQ(BitsText(&b)[5], "......#.#.");
  // The corner pixel on the border is never changed; huge passes and
  // windows are limited rather than overflowing the markers and tables.
  DrawBits(&b, in);
  _kf_kfill(&b, true, true, 100000, 40, false);
  EXPECT_EQ(BitsText(&b)[7][0], '#');
}

TEST(KFill, ComponentNoiseRemoval) {
  TLKBitmap b(12, 10, lk1g);
  b.Fill(1);
  b.SetPixels_lk1g(5, 5, false);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.RemoveNoise(0, true);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_FALSE(b.GetPixels_lk1g(5, 5));
  proc.RemoveNoise(2, true);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RemoveNoise");
  EXPECT_TRUE(b.GetPixels_lk1g(5, 5));
  proc.RemoveIsolatedPixels(1, 0);
  EXPECT_EQ(proc.GetUndoCount(), 1);
  b.SetPixels_lk1g(3, 3, false);
  proc.RemoveIsolatedPixels(0, 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RemoveIsolatedPixels");
  EXPECT_TRUE(b.GetPixels_lk1g(3, 3));
}

}  // namespace
