// TLKBitmap::StretchRectTo and the canvas drawing helpers (drop shadows,
// the hint box).
#include <gtest/gtest.h>

#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkdrawhelpers.h"
#include "platform/graphics.h"

namespace {

// Column x of a W x H lk24RGB picture has blue x, green y, red 7.
void Ramp(TLKBitmap& b, Integer W, Integer H) {
  b.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) b.SetPixels_lk24RGB(x, y, TRGB{Byte(x), Byte(y), 7});
}

TEST(StretchRect, OneToOneCopiesAndFillsAlpha) {
  TLKBitmap src, dst(20, 20, lk24RGB);
  Ramp(src, 10, 8);
  dst.Fill(0);
  ASSERT_FALSE(dst.GetHasAlphaChannel());
  src.StretchRectTo(&dst, 5, 6, 4, 3, 2, 1, 4, 3, rfNone, 255);
  ASSERT_TRUE(dst.GetHasAlphaChannel());
  EXPECT_EQ(dst.GetPixels_lk24RGB(5, 6), (TRGB{2, 1, 7}));
  EXPECT_EQ(dst.GetPixels_lk24RGB(8, 8), (TRGB{5, 3, 7}));
  EXPECT_EQ(dst.GetPixels_lk24RGB(9, 8), (TRGB{0, 0, 0}));
  EXPECT_EQ(dst.GetAlpha(5, 6), 255);
  // A 2:1 reduction takes every second column.
  src.StretchRectTo(&dst, 0, 0, 5, 4, 0, 0, 10, 8, rfNone, 100);
  for (Integer x = 0; x < 5; ++x) EXPECT_EQ(dst.GetPixels_lk24RGB(x, 0).b, 2 * x);
  EXPECT_EQ(dst.GetAlpha(4, 3), 100);
}

TEST(StretchRect, AlphaLimitedByTransparencyAndClipped) {
  TLKBitmap src, dst(6, 6, lk24RGB);
  Ramp(src, 4, 4);
  TLKBitmap* a = src.GetAlphaChannel();
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) a->SetPixels_lk8(x, y, static_cast<Byte>(x * 80));
  a->SetFull(false);
  // Half off the left and top edges: only what lies inside is written.
  src.StretchRectTo(&dst, -2, -2, 8, 8, 0, 0, 4, 4, rfNone, 200);
  EXPECT_EQ(dst.GetAlpha(0, 0), 80);   // source column 1
  EXPECT_EQ(dst.GetAlpha(5, 0), 200);  // 240 limited to 200
  // A source rectangle reaching past the picture reads its last column.
  src.StretchRectTo(&dst, 0, 0, 6, 1, 2, 0, 6, 1, rfNone, 255);
  EXPECT_EQ(dst.GetPixels_lk24RGB(5, 0).b, 3);
}

TEST(StretchRect, FilteredAndOneBit) {
  TLKBitmap src, dst(8, 8, lk24RGB);
  Ramp(src, 16, 16);
  src.StretchRectTo(&dst, 0, 0, 8, 8, 0, 0, 16, 16, rfTriangle, 255);
  EXPECT_NEAR(dst.GetPixels_lk24RGB(4, 4).b, 8.5, 1.5);
  EXPECT_EQ(dst.GetAlpha(7, 7), 255);
  TLKBitmap bw(8, 1, lk1g);
  bw.Fill(0);
  bw.SetPixels_lk1g(3, 0, true);
  bw.StretchRectTo(&dst, 0, 0, 8, 1, 0, 0, 8, 1, rfNone, 255);
  EXPECT_EQ(dst.GetPixels_lk24RGB(3, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(dst.GetPixels_lk24RGB(2, 0), (TRGB{0, 0, 0}));
  // Empty rectangles and other destination formats draw nothing.
  TLKBitmap grey(4, 4, lk8g);
  src.StretchRectTo(&grey, 0, 0, 4, 4, 0, 0, 4, 4, rfNone, 255);
  EXPECT_FALSE(grey.GetHasAlphaChannel());
  src.StretchRectTo(&dst, 0, 0, 0, 4, 0, 0, 4, 4, rfNone, 255);
}

TEST(DrawHelpers, Shadows) {
  TBitmap b(200, 100, pf24bit);
  TCanvas* c = b.GetCanvas();
  // lkstNone and unknown kinds draw nothing.
  for (TLKShadowType t : {lkstNone, static_cast<TLKShadowType>(9)}) {
    LKRightShadow(c, 10, 10, 15, 50, t, clBlack);
    LKBottomShadow(c, 10, 10, 50, 15, t, clBlack);
  }
  EXPECT_EQ(c->GetPixel(10, 20), clWhite);
  // Smooth2 reaches one column beyond the strip and the row below it.
  c->GetBrush()->SetColor(clBlack);
  c->FillRect(TRect{95, 0, 120, 60});
  LKRightShadow(c, 100, 10, 105, 50, lkstSmooth2, clBlack);
  EXPECT_NE(c->GetPixel(106, 30), clBlack);
  EXPECT_NE(c->GetPixel(106, 51), clBlack);
  EXPECT_EQ(c->GetPixel(100, 51), clBlack);  // the lower edge steps in
  EXPECT_EQ(c->GetPixel(107, 30), clBlack);
  // Smooth1: one line per column, darkest next to the object; white gives grey.
  LKBottomShadow(c, 10, 70, 90, 75, lkstSmooth1, clWhite);
  const Byte first = GetRValue(c->GetPixel(40, 70)), last = GetRValue(c->GetPixel(40, 75));
  EXPECT_EQ(first, static_cast<Byte>(255 * std::exp(-0.1 - 9.0 / 6 * (36.0 / 36))));
  EXPECT_LT(first, last);
  // A strip one pixel wide: one line at m = exp(-1.6).
  LKRightShadow(c, 150, 10, 150, 40, lkstSmooth1, clWhite);
  EXPECT_EQ(GetRValue(c->GetPixel(150, 20)), static_cast<Byte>(255 * std::exp(-1.6)));
  // Solid ignores the colour and uses the brush.
  c->GetBrush()->SetColor(clRed);
  LKRightShadow(c, 170, 10, 175, 40, lkstSolid, clBlue);
  EXPECT_EQ(c->GetPixel(172, 20), clRed);
}

TEST(DrawHelpers, HintBoxSavesAndStaysInside) {
  TBitmap b(200, 100, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->SetPixel(3, 3, clRed);
  TFont f;
  f.SetColor(clBlack);
  TBrush br;
  br.SetColor(clYellow);
  TBitmap save;
  Integer x = -20, y = 2;
  LKDrawHint(c, x, y, "12.35 cm", &f, &br, &save, 200, 100, clWhite, clGray);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 2);
  EXPECT_EQ(save.GetCanvas()->GetPixel(3, 1), clRed);  // the covered area was saved
  EXPECT_EQ(c->GetPixel(8, 12), clYellow);
  EXPECT_EQ(c->GetPixel(6, 12), clWhite);  // left frame
  const Integer w = save.GetWidth();
  // Near the right edge the box moves left.
  x = 195;
  LKDrawHint(c, x, y, "12.35 cm", &f, &br, &save, 200, 100, clWhite, clGray);
  EXPECT_EQ(x, 200 - w - 1);
}

}  // namespace
