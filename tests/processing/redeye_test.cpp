// Red-eye reduction, pattern search and mask outline tracing.
#include <gtest/gtest.h>

#include <algorithm>

#include "processing/lkprocutils.h"
#include "processing/lkredeye.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

class RedEye : public ::testing::TestWithParam<bool> {};

TEST_P(RedEye, DampsRedPixelsOfTheSelectionOnly) {
  StorageScope storage(GetParam());
  TTestView view(6, 4, lk24RGB);
  TLKBitmap* b = view.GetLKBitmap();
  b->Fill(RGB2TColor(255, 0, 0));
  b->SetPixels_lk24RGB(2, 1, TRGB{100, 100, 100});
  b->SetPixels_lk24RGB(3, 1, TRGB{40, 60, 200});  // blue 40, green 60, red 200
  view.SelectRect(1, 1, 3, 2);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  std::vector<Integer> progress;
  proc.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
  proc.RemoveRedEyes();
  EXPECT_EQ(b->GetPixels_lk24RGB(1, 1), (TRGB{0, 0, 0}));        // pure red: ratio 127.5, black
  EXPECT_EQ(b->GetPixels_lk24RGB(2, 1), (TRGB{100, 100, 100}));  // grey: ratio 0.5, unchanged
  EXPECT_EQ(b->GetPixels_lk24RGB(0, 1), (TRGB{0, 0, 255}));      // outside the selection
  // t = sqrt(40 / 60) = 0.816; ratio = 200 / 100 * 0.816 = 1.633;
  // l = 1.775 - 1.475 = 0.300; m = 0.090.
  const TRGB p = b->GetPixels_lk24RGB(3, 1);
  EXPECT_EQ(p.r, 18);
  EXPECT_EQ(p.b, 22);
  EXPECT_EQ(p.g, 46);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RemoveRedEyes");
  EXPECT_EQ(progress.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(Storage, RedEye, ::testing::Bool());

TEST(PatternSearch, FindsACropAndRefusesWhatCannotMatch) {
  TLKBitmap picture(40, 30, lk24RGB);
  UInt64 seed = 12345;  // a picture without repeats
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      const Byte v = static_cast<Byte>(seed >> 56);
      picture.SetPixels_lk24RGB(x, y, TRGB{v, v, v});
    }
  TLKBitmap pattern(8, 6, lk24RGB);
  picture.CopyRectTo(&pattern, 21, 11, 0, 0, 8, 6);
  TRect r{-1, -1, -1, -1};
  for (Integer steps : {0, 1000, -3}) {  // own size only, also for steps outside 1..M
    TLKBitmap copy;
    copy.Assign(&picture);
    ASSERT_TRUE(LKPatternSearch(&copy, &pattern, r, -1, steps));
    EXPECT_EQ(r, (TRect{21, 11, 29, 17}));
    EXPECT_EQ(copy.GetPixels(21, 11), (TRGB{0, 0, 255}));  // outlined in red
  }
  // Several sizes: the own size still wins.
  ASSERT_TRUE(LKPatternSearch(&picture, &pattern, r, -1, 4));
  EXPECT_EQ(r, (TRect{21, 11, 29, 17}));
  // Nothing above the quality asked for, or a pattern as large as the
  // picture: false, nothing drawn, the rectangle unchanged.
  TLKBitmap white(30, 30, lk24RGB), black(5, 5, lk24RGB);
  white.Fill(RGB2TColor(255, 255, 255));
  black.Fill(0);
  r = TRect{1, 2, 3, 4};
  EXPECT_FALSE(LKPatternSearch(&white, &black, r, 0.5, 0));
  EXPECT_FALSE(LKPatternSearch(&white, &white, r, -1, 0));
  EXPECT_EQ(r, (TRect{1, 2, 3, 4}));
  EXPECT_EQ(white.GetLocation(), lkMemory);
}

Integer Separators(const std::vector<TPoint>& points) {
  return static_cast<Integer>(std::count_if(points.begin(), points.end(), [](const TPoint& p) {
    return p.X == LKVectorSeparator && p.Y == LKVectorSeparator;
  }));
}

TEST(Vectorize, OnePolygonPerOutline) {
  TLKMask mask;
  mask.AllocateBits(10, 8, 1);
  mask.Empty();
  EXPECT_TRUE(LKVectorize(&mask, 0, 0, 9, 7).empty());
  mask.SetPixel(3, 2, 1);
  std::vector<TPoint> one = LKVectorize(&mask, 0, 0, 9, 7);
  ASSERT_GE(one.size(), 2u);
  EXPECT_EQ(Separators(one), 1);
  EXPECT_EQ(one[0].X, LKVectorSeparator);
  for (size_t i = 1; i < one.size(); ++i) {
    EXPECT_GE(one[i].X, 2);
    EXPECT_LE(one[i].X, 4);
    EXPECT_GE(one[i].Y, 1);
    EXPECT_LE(one[i].Y, 3);
  }
  // Two blobs apart give two polygons; a rectangle limited to one of them
  // gives one.
  for (Integer y = 4; y <= 6; ++y)
    for (Integer x = 6; x <= 8; ++x) mask.SetPixel(x, y, 1);
  EXPECT_EQ(Separators(LKVectorize(&mask, 0, 0, 9, 7)), 2);
  const std::vector<TPoint> block = LKVectorize(&mask, 5, 3, 100, 100);
  ASSERT_EQ(Separators(block), 1);
  // The outline runs through the block's corner pixels.
  const std::vector<TPoint> corners(block.begin() + 1, block.end());
  for (TPoint c : {TPoint{6, 4}, TPoint{8, 4}, TPoint{8, 6}, TPoint{6, 6}})
    EXPECT_NE(std::find(corners.begin(), corners.end(), c), corners.end()) << c.X << "," << c.Y;
}

TEST(Vectorize, ChainReduction) {
  TLKChainCode c;
  for (char ch : std::string("0000666222711")) c.Append(ch);
  EXPECT_EQ(c.Reduced().Text(), "0711");
}

}  // namespace
