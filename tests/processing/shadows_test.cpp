// Soft, rectangle, stamped and inner shadows.
#include <gtest/gtest.h>

#include "processing/lkprocutils.h"
#include "processing/lkshadows.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// A white w x h picture, transparent except the opaque inclusive rectangle.
void OpaqueRect(TLKBitmap& b, Integer x1, Integer y1, Integer x2, Integer y2) {
  b.Fill(RGB2TColor(255, 255, 255));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      b.SetAlpha(x, y, x >= x1 && x <= x2 && y >= y1 && y <= y2 ? 255 : 0);
}

class Shadows : public ::testing::TestWithParam<bool> {};

TEST_P(Shadows, SoftShadowGrowsTheCanvasAndFallsBehind) {
  StorageScope storage(GetParam());
  TLKBitmap b(100, 80, lk24RGB);
  OpaqueRect(b, 20, 20, 79, 59);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.AddSoftShadow(4, 5, 5, true, RGB2TColor(0, 0, 128));
  EXPECT_EQ(proc.GetUndoCaptions(0), "AddSoftShadow");
  ASSERT_EQ(b.GetWidth(), 130);  // g = 2 * 5 + 20 = 30
  ASSERT_EQ(b.GetHeight(), 110);
  EXPECT_EQ(b.GetAlpha(15 + 20, 15 + 20), 255);           // the picture keeps its opacity
  EXPECT_EQ(b.GetPixels(35, 35), (TRGB{255, 255, 255}));  // and its colour
  // Below and right of the opaque part: the shadow, in its colour, fading.
  const Integer x = 15 + 79 + 3, y = 15 + 50;
  EXPECT_GT(b.GetAlpha(x, y), 0);
  EXPECT_LT(b.GetAlpha(x, y), 255);
  EXPECT_EQ(b.GetPixels(x, y), (TRGB{128, 0, 0}));
  EXPECT_EQ(b.GetAlpha(2, 2), 0);
  EXPECT_FALSE(b.GetAlphaChannel()->GetFull());

  // Fully opaque without growing: nothing changes.
  TLKBitmap full(20, 10, lk24RGB);
  FillDistinct(&full);
  TLKBitmap before;
  before.Assign(&full);
  _LKAddSoftShadow(&full, 3, 2, 2, false, TRGB{0, 0, 0}, {}, nullptr);
  for (Integer y2 = 0; y2 < 10; ++y2)
    for (Integer x2 = 0; x2 < 20; ++x2) {
      ASSERT_EQ(full.GetPixels(x2, y2), before.GetPixels(x2, y2));
      ASSERT_EQ(full.GetAlpha(x2, y2), 255);
    }
}

TEST_P(Shadows, NoOffsetSurroundsEvenly) {
  StorageScope storage(GetParam());
  TLKBitmap b(41, 41, lk1g);
  b.Fill(1);
  for (Integer y = 0; y < 41; ++y)
    for (Integer x = 0; x < 41; ++x) b.SetAlpha(x, y, x >= 15 && x <= 25 && y >= 15 && y <= 25 ? 255 : 0);
  _LKAddSoftShadow(&b, 3, 0, 0, false, TRGB{0, 0, 0}, {}, nullptr);
  for (Integer d = 1; d < 8; ++d) {
    EXPECT_EQ(b.GetAlpha(15 - d, 20), b.GetAlpha(25 + d, 20)) << d;
    EXPECT_EQ(b.GetAlpha(20, 15 - d), b.GetAlpha(20, 25 + d)) << d;
  }
  EXPECT_GT(b.GetAlpha(13, 20), 0);
  EXPECT_FALSE(b.GetPixels_lk1g(13, 20));  // shadow pixels of a 1-bit picture are black
  EXPECT_TRUE(b.GetPixels_lk1g(2, 2));
}

TEST_P(Shadows, InnerShadowDarkensNearTheEdgesOnly) {
  StorageScope storage(GetParam());
  TLKBitmap b(60, 60, lk24RGB);
  OpaqueRect(b, 0, 0, 59, 59);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.AddInnerShadow(3, 0, 0, RGB2TColor(0, 0, 0));
  EXPECT_EQ(proc.GetUndoCaptions(0), "AddInnerShadow");
  EXPECT_EQ(b.GetPixels(30, 30), (TRGB{255, 255, 255}));  // deep inside: blurred alpha 255
  EXPECT_LT(b.GetPixels(0, 30).r, 200);
  EXPECT_LT(b.GetPixels(0, 0).r, b.GetPixels(0, 30).r);
  EXPECT_EQ(b.GetAlpha(0, 0), 255);  // the alpha channel stays
}

TEST_P(Shadows, RectangleShadows) {
  StorageScope storage(GetParam());
  TLKBitmap b(50, 50, lk24RGB);
  OpaqueRect(b, 10, 10, 30, 30);
  EXPECT_EQ(_LKAddSoftShadowRect(&b, 0, 0, 0, 10, 10, 30, 30), 10);  // radius 0: 2, box blur
  EXPECT_GT(b.GetAlpha(31, 20), 0);
  EXPECT_EQ(b.GetPixels(31, 20), (TRGB{0, 0, 0}));
  EXPECT_EQ(b.GetAlpha(45, 45), 0);
  EXPECT_EQ(b.GetPixels(20, 20), (TRGB{255, 255, 255}));
  EXPECT_EQ(_LKAddSoftShadowRect(&b, 2, 3, -4, 10, 10, 30, 30), 18);

  TLKBitmap s(50, 50, lk24RGB);
  OpaqueRect(s, 10, 10, 30, 30);
  _LKAddSoftShadowRect2(&s, 8, 100, 3, 3, 10, 10, 30, 30);
  EXPECT_EQ(s.GetAlpha(20, 20), 255);
  EXPECT_EQ(s.GetPixels(20, 20), (TRGB{255, 255, 255}));
  EXPECT_GT(s.GetAlpha(32, 32), 0);  // stamped below right of the edge
  EXPECT_EQ(s.GetPixels(32, 32), (TRGB{0, 0, 0}));
  EXPECT_EQ(s.GetAlpha(5, 5), 0);
  EXPECT_EQ(s.GetPixels(45, 45), (TRGB{255, 255, 255}));  // outside the work area: untouched
}

INSTANTIATE_TEST_SUITE_P(Storage, Shadows, ::testing::Bool());

}  // namespace
