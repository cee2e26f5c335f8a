// Rounded corners, radial stretch and line-field morphing.
#include <gtest/gtest.h>

#include "processing/lkcorners.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

std::vector<Integer> ClearColumns(TLKBitmap& b, Integer y) {
  std::vector<Integer> out;
  for (Integer x = 0; x < b.GetWidth(); ++x)
    if (b.GetAlpha(x, y) == 0) out.push_back(x);
  return out;
}

class Corners : public ::testing::TestWithParam<bool> {};

TEST_P(Corners, RoundImageClearsTheCorners) {
  StorageScope storage(GetParam());
  TLKBitmap b(10, 10, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.RoundImage(1, 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RoundImage");
  EXPECT_EQ(ClearColumns(b, 0), (std::vector<Integer>{0, 1, 8, 9}));
  EXPECT_TRUE(ClearColumns(b, 1).empty());
  EXPECT_TRUE(ClearColumns(b, 9).empty());  // the bottom curve lies below the last row
  EXPECT_FALSE(b.GetAlphaChannel()->GetFull());
  // Larger corners: both top and bottom rounded, the middle untouched.
  TLKBitmap c(40, 30, lk8g);
  _LKRoundImage(&c, 8, 8, {}, nullptr);
  EXPECT_EQ(c.GetAlpha(0, 0), 0);
  EXPECT_EQ(c.GetAlpha(39, 29), 0);
  EXPECT_EQ(c.GetAlpha(0, 29), 0);
  EXPECT_EQ(c.GetAlpha(20, 15), 255);
  EXPECT_EQ(c.GetAlpha(20, 0), 255);
  // Wider than the picture: whole top rows go.
  TLKBitmap d(5, 20, lk24RGB);
  _LKRoundImage(&d, 12, 4, {}, nullptr);
  EXPECT_EQ(ClearColumns(d, 0).size(), 5u);
  // A size of 0 does nothing, not even an alpha channel.
  TLKBitmap e(5, 5, lk24RGB);
  _LKRoundImage(&e, 0, 3, {}, nullptr);
  EXPECT_FALSE(e.GetHasAlphaChannel());
}

TEST_P(Corners, RadialStretchScalesEachChannel) {
  StorageScope storage(GetParam());
  TLKBitmap b(100, 50, lk24RGB);
  FillDistinct(&b);
  TLKBitmap original;
  original.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.RadialStretch(0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "RadialStretch");
  for (Integer y = 0; y < 50; y += 7)
    for (Integer x = 0; x < 100; x += 9) ASSERT_EQ(b.GetPixels(x, y), original.GetPixels(x, y));
  // d = 0.5 magnifies red twice about the centre (50, 25); green stays,
  // blue comes from 1.5 times the offset (0 outside the picture).
  proc.RadialStretch(0, 0, 0, 0.5, 0, 0, 0, 1, 0, 0, 0, 1.5);
  EXPECT_EQ(b.GetPixels(60, 25).r, original.GetPixels(55, 25).r);
  EXPECT_EQ(b.GetPixels(60, 25).g, original.GetPixels(60, 25).g);
  EXPECT_EQ(b.GetPixels(60, 25).b, original.GetPixels(65, 25).b);
  EXPECT_EQ(b.GetPixels(99, 0).b, 0);
  // The radius unit is half the shorter side: 25 pixels right of the
  // centre R = 1, so with a = 1, d = 0 the pixel samples the offset itself.
  b.Assign(&original);
  _LKRadialStretch(&b, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, {}, nullptr);
  EXPECT_EQ(b.GetPixels(75, 25), original.GetPixels(75, 25));
  EXPECT_EQ(b.GetPixels(50, 25), original.GetPixels(50, 25));
}

INSTANTIATE_TEST_SUITE_P(Storage, Corners, ::testing::Bool());

TEST(FieldWarp, FramesMoveFeaturesTowardTheSecondLines) {
  TLKBitmap b(60, 40, lk24RGB);
  b.Fill(0);
  for (Integer y = 0; y < 40; ++y) b.SetPixels_lk24RGB(20, y, TRGB{255, 255, 255});  // a white column
  std::vector<std::unique_ptr<TLKBitmap>> frames;
  const TLKLine a[] = {{20, 5, 20, 35}};
  const TLKLine shifted[] = {{30, 5, 30, 35}};
  LKFields_warp(&b, a, shifted, 1, 1, frames);
  EXPECT_TRUE(frames.empty());
  LKFields_warp(&b, a, a, 1, 4, frames);
  ASSERT_EQ(frames.size(), 3u);
  for (auto& f : frames) EXPECT_EQ(f->GetPixels(20, 20), (TRGB{255, 255, 255}));
  frames.clear();
  LKFields_warp(&b, a, shifted, 1, 2, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->GetPixels(25, 20), (TRGB{255, 255, 255}));  // half way: 5 pixels right
  EXPECT_EQ(frames[0]->GetPixels(20, 20), (TRGB{0, 0, 0}));
  EXPECT_EQ(b.GetPixels(20, 20), (TRGB{255, 255, 255}));  // the picture stays
  // Zero-length lines are left out (a copy when none is left); more than
  // a hundred pairs are fine.
  frames.clear();
  const TLKLine dot[] = {{3, 3, 3, 3}};
  LKFields_warp(&b, dot, dot, 1, 2, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->GetPixels(20, 7), (TRGB{255, 255, 255}));
  std::vector<TLKLine> many(150, TLKLine{20, 5, 20, 35});
  frames.clear();
  LKFields_warp(&b, many.data(), many.data(), 150, 2, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]->GetPixels(20, 30), (TRGB{255, 255, 255}));
}

}  // namespace
