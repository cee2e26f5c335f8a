#include <gtest/gtest.h>

#include <memory>

#include "core/lkbitmap.h"
#include "io/lkadjustdpi.h"
#include "io/lkparams.h"

namespace {

struct Result {
  Integer Width, Height, DpiX, DpiY;
  bool Same;
};

Result Adjust(Integer W, Integer H, Integer DpiX, Integer DpiY, bool Filtered, TLKPixelFormat Format = lk24RGB) {
  TLKBitmap bitmap(W, H, Format);
  TIOParamsVals params;
  params.WIDTH = W;
  params.HEIGHT = H;
  params.DPIX = DpiX;
  params.DPIY = DpiY;
  TLKBitmap* out = LKAdjustDPI(&bitmap, &params, Filtered);
  std::unique_ptr<TLKBitmap> owned(out == &bitmap ? nullptr : out);
  EXPECT_EQ(params.WIDTH, out->GetWidth());
  EXPECT_EQ(params.HEIGHT, out->GetHeight());
  return {out->GetWidth(), out->GetHeight(), params.DPIX, params.DPIY, out == &bitmap};
}

// The shorter side is the one resampled.
TEST(AdjustDPI, NewSizeAndResolution) {
  struct Case {
    Integer W, H, DpiX, DpiY;
    Result Want;
  } const cases[] = {
      {1000, 500, 200, 100, {1000, 1000, 200, 200, false}},
      {1000, 500, 100, 200, {1000, 250, 100, 100, false}},
      {500, 1000, 100, 200, {1000, 1000, 200, 200, false}},
      {500, 500, 300, 100, {166, 500, 100, 100, false}},  // a square: the width changes, truncated
      // Nothing to do.
      {40, 30, 72, 72, {40, 30, 72, 72, true}},
      {40, 30, 0, 72, {40, 30, 0, 72, true}},
      {40, 30, -5, 72, {40, 30, -5, 72, true}},
      // A size that would vanish leaves the picture alone.
      {40, 3, 1, 100, {40, 3, 1, 100, true}},
  };
  for (bool filtered : {false, true}) {
    for (const Case& c : cases) {
      const Result r = Adjust(c.W, c.H, c.DpiX, c.DpiY, filtered);
      SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " at " << c.DpiX << "x" << c.DpiY);
      EXPECT_EQ(r.Width, c.Want.Width);
      EXPECT_EQ(r.Height, c.Want.Height);
      EXPECT_EQ(r.DpiX, c.Want.DpiX);
      EXPECT_EQ(r.DpiY, c.Want.DpiY);
      EXPECT_EQ(r.Same, c.Want.Same);
    }
  }
}

TEST(AdjustDPI, PixelFormats) {
  TLKBitmap grey(4, 2, lk8g);
  grey.SetPixels_lk8(3, 1, 200);
  TIOParamsVals params;
  params.WIDTH = 4, params.HEIGHT = 2, params.DPIX = 200, params.DPIY = 100;
  // Unfiltered: the source's format and its pixels, nearest neighbour.
  std::unique_ptr<TLKBitmap> stretched(LKAdjustDPI(&grey, &params, false));
  ASSERT_NE(stretched.get(), &grey);
  EXPECT_EQ(stretched->GetPixelFormat(), lk8g);
  EXPECT_EQ(stretched->GetPixels_lk8(3, 3), 200);

  // Filtered: 24-bit, the caller's bitmap untouched.
  params.HEIGHT = 2, params.DPIY = 100;
  std::unique_ptr<TLKBitmap> filtered(LKAdjustDPI(&grey, &params, true));
  EXPECT_EQ(filtered->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(filtered->GetHeight(), 4);
  EXPECT_EQ(grey.GetPixelFormat(), lk8g);

  // An empty bitmap or missing arguments: nothing to do.
  TLKBitmap empty;
  EXPECT_EQ(LKAdjustDPI(&empty, &params, true), &empty);
  EXPECT_EQ(LKAdjustDPI(&grey, nullptr, true), &grey);
}

}  // namespace
