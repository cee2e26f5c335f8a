// Colour equalisation with its local lookup, and the retinex.
#include "processing/lkenhance.h"

#include <gtest/gtest.h>

#include "color_fixtures.h"
#include "core/lkcolorspace.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

TEST(Enhance, AceWithoutClippingRoomIsBlack) {
  // Blocks of 2 x 2: the copy reduced by 2 holds every value of the picture
  // where the lookup searches, so each maps to its enhanced value, 0.
  auto b = std::make_unique<TLKBitmap>(12, 8, lk24RGB);
  Paint(b.get(), [](Integer x, Integer y) { return Varied(x / 2, y / 2); });
  std::vector<Integer> progress;
  LKACE(b.get(), 6, 45, 0, 1, [&](TObject*, Integer p) { progress.push_back(p); }, nullptr);
  for (const TRGB& c : Pixels(b.get())) EXPECT_EQ(c, CreateRGB(0, 0, 0));
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 50 + 50 * 7 / 8);  // per pixel of the last row
}

TEST(Enhance, AceStretchesAndKeepsOrder) {
  // A dull ramp gains contrast and keeps its order; a reduction width of 0
  // means no reduction.
  auto b = std::make_unique<TLKBitmap>(16, 4, lk24RGB);
  Paint(b.get(), [](Integer x, Integer) { return CreateRGB(Byte(100 + x), Byte(100 + x), Byte(100 + x)); });
  LKACE(b.get(), 0, 45, 100, 2, nullptr, nullptr);
  EXPECT_LT(b->GetPixels_lk24RGB(0, 0).r, 20);
  EXPECT_GT(b->GetPixels_lk24RGB(15, 0).r, 235);
  for (Integer x = 1; x < 16; ++x) EXPECT_LE(b->GetPixels_lk24RGB(x - 1, 2).g, b->GetPixels_lk24RGB(x, 2).g);
}

TEST(Enhance, LookupWithIdenticalPairChangesNothingItFinds) {
  auto reduced = std::make_unique<TLKBitmap>(4, 3, lk24RGB);
  Paint(reduced.get(), Varied);
  auto full = std::make_unique<TLKBitmap>(8, 6, lk24RGB);
  Paint(full.get(), [](Integer x, Integer y) { return Varied(x / 2, y / 2); });
  TLKBitmap before;
  before.Assign(full.get());
  LKLLLUT(reduced.get(), reduced.get(), full.get(), 1, nullptr, nullptr, 0, 100);
  EXPECT_EQ(Pixels(full.get()), Pixels(&before));
  // Values between two found ones are placed linearly between their
  // enhanced values: 10 and 30 enhanced to 0 and 200 put 20 at 100.
  TLKBitmap r(2, 1, lk24RGB), e(2, 1, lk24RGB), f(2, 1, lk24RGB);
  r.SetPixels_lk24RGB(0, 0, CreateRGB(10, 10, 10));
  r.SetPixels_lk24RGB(1, 0, CreateRGB(30, 30, 30));
  e.SetPixels_lk24RGB(0, 0, CreateRGB(0, 0, 0));
  e.SetPixels_lk24RGB(1, 0, CreateRGB(200, 200, 200));
  f.SetPixels_lk24RGB(0, 0, CreateRGB(20, 5, 40));
  LKLLLUT(&r, &e, &f, 1, nullptr, nullptr, 0, 100);
  // 5: nothing below, which counts as 0 enhanced 0, so 0; 40: nothing
  // above, which counts as 255 enhanced 255: 55 * 10 / 225 + 200 = 202.4.
  EXPECT_EQ(f.GetPixels_lk24RGB(0, 0), CreateRGB(100, 0, 202));
}

TEST(Enhance, RetinexGreyKeepsGreyAndSmallPicturesStay) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    auto b = std::make_unique<TLKBitmap>(20, 15, lk24RGB);
    Paint(b.get(), [](Integer x, Integer y) { return x > 8 ? CreateRGB(40, 40, 40) : CreateRGB(Byte(90 + y), 90, 90); });
    TLKBitmap colour;
    colour.Assign(b.get());
    std::vector<Integer> progress;
    LKRetinex(b.get(), 3, 2, 1.2f, 6, true, [&](TObject*, Integer p) { progress.push_back(p); }, nullptr);
    EXPECT_EQ(progress, (std::vector<Integer>{0, 10, 20, 36, 53, 80, 90, 100}));
    // Grey pixels stay grey (chroma 128 kept) and are spread over the range.
    const TRGB dark = b->GetPixels_lk24RGB(15, 7);
    EXPECT_EQ(dark.r, dark.g);
    EXPECT_EQ(dark.g, dark.b);
    Integer Y, Cb, Cr, Y0, Cb0, Cr0;
    LKRGB2YCbCr(b->GetPixels_lk24RGB(2, 14), Y, Cb, Cr);
    LKRGB2YCbCr(colour.GetPixels_lk24RGB(2, 14), Y0, Cb0, Cr0);
    EXPECT_NEAR(Cr, Cr0, 2);
    EXPECT_NEAR(Cb, Cb0, 2);
    LKRetinex(&colour, 1, 0, 2, 10, false, nullptr, nullptr);
    EXPECT_NE(Pixels(&colour), Pixels(b.get()));
  }
  auto tiny = Uniform(2, 5, CreateRGB(1, 2, 3));
  LKRetinex(tiny.get(), 2, 0, 1, 5, false, nullptr, nullptr);
  EXPECT_EQ(tiny->GetPixels_lk24RGB(1, 4), CreateRGB(1, 2, 3));
}

TEST(Enhance, OperationsConvertAndRecord) {
  TTestView view(12, 10, lk8g);
  view.GetLKBitmap()->Fill(100);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.AutoEnhance2(2, 0, 1.5, 5, false);
  EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(proc.GetUndoCaptions(0), "AutoEnhance2");
  proc.AutoEnhance1(6, 30, 50, 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "AutoEnhance1");
}

}  // namespace
