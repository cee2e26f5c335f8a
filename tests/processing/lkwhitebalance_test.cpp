// White balance by coefficients, grey world, near-white and white point;
// gain and offset in 24 and 48 bits; cast colour and alpha; colouring.
#include "processing/lkwhitebalance.h"

#include <gtest/gtest.h>

#include "color_fixtures.h"
#include "processing/lkcolorconv.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

TEST(WhiteBalance, Coefficients) {
  TTestView view(4, 3, lk24RGB);
  Paint(view.GetLKBitmap(), [](Integer x, Integer) { return CreateRGB(Byte(60 * x + 10), 7, 200); });
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.WhiteBalance_coef(1, 1, 1);
  EXPECT_EQ(Pixels(view.GetLKBitmap()), Pixels(&before));
  proc.WhiteBalance_coef(2.0, 1, 0.5);
  EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(1, 0), CreateRGB(140, 7, 100));
  EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(3, 0), CreateRGB(255, 7, 100));
  EXPECT_EQ(proc.GetUndoCaptions(0), "WhiteBalance_coef");
}

TEST(WhiteBalance, GreyWorldAndItsZeroChannel) {
  // Averages blue 100, green 120, red 80: blue x 1.2, red x 1.5.
  auto b = Uniform(3, 3, CreateRGB(80, 120, 100));
  LKWhiteBalance_grayworld(b.get(), nullptr, nullptr);
  EXPECT_EQ(b->GetPixels_lk24RGB(2, 2), CreateRGB(120, 120, 120));
  // A channel that is 0 everywhere has no average: it stays, the others
  // are balanced without a division by zero.
  auto z = std::make_unique<TLKBitmap>(2, 1, lk24RGB);
  Paint(z.get(), [](Integer x, Integer) { return x ? CreateRGB(100, 50, 0) : CreateRGB(0, 0, 0); });
  LKWhiteBalance_grayworld(z.get(), nullptr, nullptr);
  EXPECT_EQ(z->GetPixels_lk24RGB(1, 0), CreateRGB(100, 100, 0));
  double avg[3];
  LKGetAverageValues(z.get(), avg);
  EXPECT_EQ(avg[0], 0);
}

TEST(WhiteBalance, NearWhiteAndWhitePoint) {
  auto dark = Uniform(3, 2, CreateRGB(40, 90, 10));
  LKWhiteBalance_2(dark.get(), nullptr, nullptr);  // no near-white pixel: 255 / 255
  EXPECT_EQ(dark->GetPixels_lk24RGB(0, 0), CreateRGB(40, 90, 10));
  auto light = std::make_unique<TLKBitmap>(2, 1, lk24RGB);
  Paint(light.get(), [](Integer x, Integer) { return x ? CreateRGB(250, 250, 248) : CreateRGB(30, 60, 90); });
  LKWhiteBalance_2(light.get(), nullptr, nullptr);  // the light pixel becomes white
  EXPECT_EQ(light->GetPixels_lk24RGB(1, 0), CreateRGB(255, 255, 255));
  EXPECT_EQ(light->GetPixels_lk24RGB(0, 0), CreateRGB(30, 61, 92));

  auto w = std::make_unique<TLKBitmap>(2, 1, lk24RGB);
  Paint(w.get(), [](Integer x, Integer) { return x ? CreateRGB(200, 100, 0) : CreateRGB(100, 50, 50); });
  LKWhiteBalance_3(w.get(), 0, 0, nullptr, nullptr);  // maxima 200, 100, 50 over 100, 50, max(1, 50)
  EXPECT_EQ(w->GetPixels_lk24RGB(0, 0), CreateRGB(200, 100, 50));
  LKWhiteBalance_3(w.get(), 5, 0, nullptr, nullptr);  // outside: nothing
  EXPECT_EQ(w->GetPixels_lk24RGB(0, 0), CreateRGB(200, 100, 50));
}

TEST(WhiteBalance, GainOffset) {
  auto b = std::make_unique<TLKBitmap>(3, 1, lk24RGB);
  Paint(b.get(), [](Integer x, Integer) { return CreateRGB(Byte(50 + 50 * x), Byte(127 * x + 1), 9); });
  LKAdjustGainOffset(b.get(), nullptr, nullptr);
  EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), CreateRGB(0, 0, 0));  // one value only: moved to 0
  EXPECT_EQ(b->GetPixels_lk24RGB(1, 0), CreateRGB(127, 127, 0));
  // 100 * (255 / 100) is 254.99999... in doubles: Trunc gives 254.
  EXPECT_EQ(b->GetPixels_lk24RGB(2, 0), CreateRGB(254, 255, 0));

  TTestView view(2, 2, lk48RGB);
  TLKBitmap* w = view.GetLKBitmap();
  w->SetPixels_lk48RGB(0, 0, TRGB48{0, 1000, 3000});
  w->SetPixels_lk48RGB(1, 0, TRGB48{65535, 2000, 3000});
  w->SetPixels_lk48RGB(0, 1, TRGB48{0, 1500, 5000});
  w->SetPixels_lk48RGB(1, 1, TRGB48{65535, 1000, 3000});
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.AdjustGainOffset();
  EXPECT_EQ(w->GetPixelFormat(), lk48RGB);
  EXPECT_EQ(w->GetPixels_lk48RGB(0, 1), (TRGB48{0, 32767, 65535}));
  EXPECT_EQ(w->GetPixels_lk48RGB(1, 0), (TRGB48{65535, 65535, 0}));
}

TEST(WhiteBalance, CastColourAndAlpha) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TTestView view(6, 5, lk24RGB);
    // A frame of grey 100 around a cross of 101 and one isolated 0.
    Paint(view.GetLKBitmap(), [](Integer x, Integer y) {
      if (x == 4 && y == 1) return CreateRGB(0, 0, 0);
      return (x == 2 || y == 2) ? CreateRGB(101, 101, 101) : CreateRGB(100, 100, 100);
    });
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    proc.CastColor(4, 1, CreateRGB(9, 9, 9), 5);  // a single pixel: nothing
    EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(4, 1), CreateRGB(0, 0, 0));
    proc.CastColor(2, 0, CreateRGB(1, 2, 3), 0);  // the cross only
    TLKBitmap* b = view.GetLKBitmap();
    EXPECT_EQ(b->GetPixels_lk24RGB(2, 4), CreateRGB(1, 2, 3));
    EXPECT_EQ(b->GetPixels_lk24RGB(5, 2), CreateRGB(1, 2, 3));
    EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), CreateRGB(100, 100, 100));
    proc.CastAlpha(0, 0, 30, 0);  // the top-left quarter, cut off by the cross
    EXPECT_EQ(b->GetAlpha(1, 1), 30);
    EXPECT_EQ(b->GetAlpha(3, 0), 255);
    EXPECT_EQ(proc.GetUndoCaptions(0), "CastAlpha");
  }
}

TEST(WhiteBalance, Colorize) {
  auto b = std::make_unique<TLKBitmap>(2, 1, lk24RGB);
  Paint(b.get(), [](Integer x, Integer) { return x ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0); });
  LKColorize(b.get(), 120, 50, 1.0, nullptr, nullptr);
  TRGB white, black;
  HSV2RGB(white, 120, 50, 99);
  HSV2RGB(black, 120, 50, 0);
  EXPECT_EQ(b->GetPixels_lk24RGB(1, 0), white);
  EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), black);
}

}  // namespace
