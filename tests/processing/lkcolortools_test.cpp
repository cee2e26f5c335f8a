// Brightness, contrast and saturation; HSB equalisation; saturation and
// tint; channel order, intensity bump, pivot contrast and channel shift.
#include "processing/lkcolortools.h"

#include <gtest/gtest.h>

#include <cmath>

#include "color_fixtures.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

std::unique_ptr<TLKBitmap> VariedPicture(Integer w = 9, Integer h = 7) {
  auto b = std::make_unique<TLKBitmap>(w, h, lk24RGB);
  Paint(b.get(), Varied);
  return b;
}

TEST(ColorTools, BrightnessContrastSaturation) {
  auto a = VariedPicture(), ref = VariedPicture();
  LKAdjustBrightnessContrastSaturation(a.get(), 256, 0, 256, nullptr, nullptr);
  EXPECT_EQ(Pixels(a.get()), Pixels(ref.get()));
  auto c99 = VariedPicture(), c100 = VariedPicture();
  LKAdjustBrightnessContrastSaturation(c99.get(), 300, 99, 200, nullptr, nullptr);
  LKAdjustBrightnessContrastSaturation(c100.get(), 300, 100, 200, nullptr, nullptr);
  EXPECT_EQ(Pixels(c99.get()), Pixels(c100.get()));
  EXPECT_NE(Pixels(c99.get()), Pixels(ref.get()));
  // Saturation factor 0: every channel becomes the pixel's mean (t div 3),
  // level 170 is the contrast pivot: contrast -50 keeps it.
  auto grey = Uniform(2, 2, CreateRGB(200, 170, 140));
  LKAdjustBrightnessContrastSaturation(grey.get(), 256, -50, 0, nullptr, nullptr);
  EXPECT_EQ(grey->GetPixels_lk24RGB(1, 1), CreateRGB(170, 170, 170));

  ProcOnView s(3, 3);
  auto& [view, before, proc, ev] = s;
  proc.AdjustBrightnessContrastSaturation(0, 0, 0);
  EXPECT_EQ(Pixels(view.GetLKBitmap()), Pixels(&before));
  EXPECT_EQ(proc.GetUndoCaptions(0), "AdjustBrightnessContrastSaturation");
}

TEST(ColorTools, SaturationAndTint) {
  auto b = VariedPicture();
  auto ref = VariedPicture();
  LKAdjustSaturation(b.get(), 0, nullptr, nullptr);  // amount -100: grey
  auto t = VariedPicture();
  LKAdjustTint(t.get(), 0, nullptr, nullptr);
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 9; ++x) {
      const TRGB c = ref->GetPixels_lk24RGB(x, y);
      const Integer R = c.r, G = c.g, B = c.b;
      const Integer Y = std::lrint((30 * R + 59 * G + 11 * B) / 100.0);
      EXPECT_EQ(b->GetPixels_lk24RGB(x, y), CreateRGB(Byte(Y), Byte(Y), Byte(Y)));
      const Integer u = std::lrint((89 * B - 30 * R - 59 * G) / 100.0);
      const Integer v = std::lrint((70 * R - 59 * G - 11 * B) / 100.0);
      const Integer g = std::lrint((-51.0 * v - 19 * u) / 100);
      EXPECT_EQ(t->GetPixels_lk24RGB(x, y), CreateRGB(Byte(std::clamp(Y + v, 0, 255)), Byte(std::clamp(Y + g, 0, 255)),
                                                      Byte(std::clamp(Y + u, 0, 255))));
    }
}

TEST(ColorTools, BrightnessEqualisation) {
  auto two = std::make_unique<TLKBitmap>(4, 2, lk24RGB);
  Paint(two.get(), [](Integer x, Integer) { return x < 2 ? CreateRGB(50, 50, 50) : CreateRGB(200, 200, 200); });
  auto flat = std::make_unique<TLKBitmap>(4, 2, lk24RGB);
  flat->Assign(two.get());
  LKContrast2(two.get(), 1, nullptr, nullptr);  // plain equalisation
  EXPECT_EQ(two->GetPixels_lk24RGB(0, 0), CreateRGB(127, 127, 127));
  EXPECT_EQ(two->GetPixels_lk24RGB(3, 1), CreateRGB(255, 255, 255));
  LKContrast2(flat.get(), 0, nullptr, nullptr);  // every level the same weight
  EXPECT_EQ(flat->GetPixels_lk24RGB(0, 0), CreateRGB(50, 50, 50));
  EXPECT_EQ(flat->GetPixels_lk24RGB(3, 0), CreateRGB(200, 200, 200));
  // A negative exponent meets empty levels: they weigh nothing, no error.
  auto neg = VariedPicture();
  EXPECT_NO_THROW(LKContrast2(neg.get(), -1, nullptr, nullptr));
  EXPECT_NO_THROW(LKAutoSBHist(neg.get(), -1, -0.5f, nullptr, nullptr));
}

TEST(ColorTools, OperationsOnChosenChannels) {
  TTestView view(3, 2, lk24RGB);
  TLKBitmap* b = view.GetLKBitmap();
  auto reset = [&] {
    Paint(b, [](Integer x, Integer y) { return y ? CreateRGB(150, 40, 3) : CreateRGB(Byte(10 * x + 1), 20, 30); });
  };
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  struct Case {
    const char* name;
    std::function<void()> run;
    TRGB top0, bottom;
  } cases[] = {
      {"RGB swaps red and blue", [&] { proc.DisposeChannels("rgb"); }, CreateRGB(30, 20, 1), CreateRGB(3, 40, 150)},
      {"BBB copies blue", [&] { proc.DisposeChannels("BBBX"); }, CreateRGB(30, 30, 30), CreateRGB(3, 3, 3)},
      {"short code changes nothing", [&] { proc.DisposeChannels("RG"); }, CreateRGB(1, 20, 30), CreateRGB(150, 40, 3)},
      {"unknown letter changes nothing", [&] { proc.DisposeChannels("RGX"); }, CreateRGB(1, 20, 30),
       CreateRGB(150, 40, 3)},
      {"band narrower than 2", [&] { proc.Intensity(100, 101, 50, false, true, true, true); }, CreateRGB(1, 20, 30),
       CreateRGB(150, 40, 3)},
      // lo 0, hi 4, amount 10: offsets 5, 10, 15 up to the middle, then 10, 5.
      {"bump on blue", [&] { proc.Intensity(0, 4, 10, false, false, false, true); }, CreateRGB(1, 20, 30),
       CreateRGB(150, 40, 13)},
      {"bump by the mean", [&] { proc.Intensity(60, 64, -10, true, true, false, false); }, CreateRGB(1, 20, 30),
       CreateRGB(145, 40, 3)},  // mean 64: offset -5
      {"pivot contrast 50 doubles distances from 100",
       [&] { proc.Contrast3(50, 0, true, true, false); }, CreateRGB(0, 0, 30), CreateRGB(200, 0, 3)},
      {"pivot contrast 0 does nothing", [&] { proc.Contrast3(0, 50, true, true, true); }, CreateRGB(1, 20, 30),
       CreateRGB(150, 40, 3)},
  };
  for (const Case& c : cases) {
    reset();
    c.run();
    EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), c.top0) << c.name;
    EXPECT_EQ(b->GetPixels_lk24RGB(2, 1), c.bottom) << c.name;
  }
}

TEST(ColorTools, ChannelShift) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    auto b = std::make_unique<TLKBitmap>(3, 2, lk24RGB);
    Paint(b.get(), [](Integer x, Integer y) { return CreateRGB(Byte(10 * x + y), 50, 60); });
    LKShift(b.get(), 1, 0, 2, -1, nullptr, nullptr);  // red from the left, edges repeated
    EXPECT_EQ(b->GetPixels_lk24RGB(0, 1), CreateRGB(1, 50, 60));
    EXPECT_EQ(b->GetPixels_lk24RGB(1, 1), CreateRGB(1, 50, 60));
    EXPECT_EQ(b->GetPixels_lk24RGB(2, 1), CreateRGB(11, 50, 60));
    LKShift(b.get(), 1, 0, 2, 0, nullptr, nullptr);  // column 0 gets the fill
    EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), CreateRGB(0, 50, 60));
    LKShift(b.get(), 0, 5, 1, 0x107, nullptr, nullptr);  // every row from outside: the fill's low byte
    EXPECT_EQ(b->GetPixels_lk24RGB(2, 1), CreateRGB(1, 7, 60));
  }
}

}  // namespace
