// Measurements: histogram through a selection (memory, file, 48-bit),
// colour counts, the dominant colour, density profiles and mean channel
// differences.
#include "processing/lkhistogram.h"

#include <gtest/gtest.h>

#include "color_fixtures.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

Int64 Total(const THistogram& h, Integer THistogramItem::*field) {
  Int64 s = 0;
  for (const THistogramItem& i : h.Items) s += i.*field;
  return s;
}

TEST(Histogram, SelectionCountsOnlyMaskedPixels) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TTestView view(10, 8, lk24RGB);
    Paint(view.GetLKBitmap(), [](Integer x, Integer) { return x < 5 ? CreateRGB(200, 10, 0) : CreateRGB(0, 0, 255); });
    view.SelectRect(3, 2, 6, 4);  // 4 x 3: columns 3, 4 red, 5, 6 blue
    view.Mask.SetPixel(3, 2, 0);
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    Events ev;
    ev.Attach(proc);
    THistogram h;
    proc.GetHistogram(&h);
    for (auto f : {&THistogramItem::R, &THistogramItem::G, &THistogramItem::B, &THistogramItem::Gray})
      EXPECT_EQ(Total(h, f), 11);
    EXPECT_EQ(h.Items[200].R, 5);
    EXPECT_EQ(h.Items[255].B, 6);
    EXPECT_EQ(h.Items[(200 * 21 + 10 * 71) / 100].Gray, 5);
    EXPECT_EQ(ev.finished, 0);  // a measurement fires nothing
    EXPECT_TRUE(ev.progress.empty());
    EXPECT_EQ(proc.GetUndoCount(), 0);
  }
}

TEST(Histogram, DeepAndOtherFormatsAreMeasuredWithoutConversion) {
  TTestView wide(4, 4, lk48RGB);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) wide.GetLKBitmap()->SetPixels_lk48RGB(x, y, TRGB48{0x1234, 0xFFFF, 0x00FF});
  TLumerakProc proc;
  proc.SetAttachedLumerak(&wide);
  THistogram h;
  proc.GetHistogram(&h);
  EXPECT_EQ(wide.GetLKBitmap()->GetPixelFormat(), lk48RGB);  // the picture keeps its depth
  EXPECT_EQ(h.Items[0x12].R, 16);
  EXPECT_EQ(h.Items[0xFF].G, 16);
  EXPECT_EQ(h.Items[0x00].B, 16);

  TTestView grey(3, 3, lk8g);
  grey.GetLKBitmap()->Fill(40);
  proc.SetAttachedLumerak(&grey);
  proc.GetHistogram(&h);
  EXPECT_EQ(grey.GetLKBitmap()->GetPixelFormat(), lk8g);
  EXPECT_EQ(h.Items[40].Gray, 9);

  // The routine itself leaves the histogram of another format untouched.
  h.Items[0].R = 1234;
  TLKBitmap one(2, 2, lk1g);
  _GetHistogram(&one, h, 0, 0, 2, 2, nullptr);
  EXPECT_EQ(h.Items[0].R, 1234);
}

TEST(Histogram, ColourCounts) {
  auto b = std::make_unique<TLKBitmap>(7, 5, lk24RGB);
  Paint(b.get(), [](Integer x, Integer y) { return CreateRGB(Byte(x % 3), 0, Byte(y % 2)); });
  EXPECT_EQ(_GetImageNumColors(b.get(), 0, 0, 7, 5), 6);
  EXPECT_EQ(_GetImageNumColors(b.get(), 0, 0, 1, 99), 2);  // cut to the picture
  TLKBitmap grey(4, 4, lk8g);
  EXPECT_EQ(_GetImageNumColors(&grey, 0, 0, 4, 4), 0);
  TTestView bw(5, 5, lk1g);
  bw.GetLKBitmap()->Fill(0);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&bw);
  EXPECT_EQ(proc.CalcImageNumColors(), 2);
}

TEST(Histogram, DominantColour) {
  TTestView view(6, 4, lk24RGB);
  Paint(view.GetLKBitmap(), [](Integer x, Integer) { return x < 3 ? CreateRGB(255, 0, 0) : CreateRGB(0, 0, 255); });
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Events ev;
  ev.Attach(proc);
  TRGB c{};
  EXPECT_DOUBLE_EQ(proc.GetDominantColor(c), 50);
  EXPECT_TRUE(c == CreateRGB(255, 0, 0) || c == CreateRGB(0, 0, 255));
  view.GetLKBitmap()->SetPixels_lk24RGB(5, 3, CreateRGB(255, 0, 0));
  EXPECT_NEAR(proc.GetDominantColor(c), 13 * 100.0 / 24, 1e-9);
  EXPECT_EQ(c, CreateRGB(255, 0, 0));
  EXPECT_EQ(ev.finished, 2);

  TTestView bw(4, 2, lk1g);
  for (Integer x = 0; x < 4; ++x) bw.GetLKBitmap()->SetPixels_lk1g(x, 0, true), bw.GetLKBitmap()->SetPixels_lk1g(x, 1, false);
  proc.SetAttachedLumerak(&bw);
  EXPECT_DOUBLE_EQ(proc.GetDominantColor(c), 50);
  EXPECT_EQ(c, CreateRGB(255, 255, 255));  // white wins a tie

  TTestView grey(3, 3, lk8g);
  proc.SetAttachedLumerak(&grey);
  c = CreateRGB(1, 2, 3);
  EXPECT_EQ(proc.GetDominantColor(c), -1);
  EXPECT_EQ(c, CreateRGB(1, 2, 3));
}

TEST(Histogram, DensityProfiles) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TLKBitmap black(5, 4, lk24RGB);
    black.Fill(0);
    std::vector<Integer> v(4, 7), h(5, 7);
    _CalcDensityHistogram(&black, 0, 0, 5, 4, nullptr, nullptr, v.data(), h.data(), 100, 100);
    EXPECT_EQ(v, std::vector<Integer>(4, 0));
    EXPECT_EQ(h, std::vector<Integer>(5, 0));

    // lk1g: row 1 holds three set bits, row 2 one; column 3 is set on both.
    TLKBitmap bw(5, 4, lk1g);
    bw.Fill(0);
    for (Integer x : {1, 2, 3}) bw.SetPixels_lk1g(x, 1, true);
    bw.SetPixels_lk1g(3, 2, true);
    std::vector<Integer> progress;
    _CalcDensityHistogram(&bw, 0, 0, 5, 4, [&](TObject*, Integer p) { progress.push_back(p); }, nullptr, v.data(),
                          h.data(), 90, 10);
    EXPECT_EQ(v, (std::vector<Integer>{0, 90, 30, 0}));
    EXPECT_EQ(h, (std::vector<Integer>{0, 5, 5, 10, 0}));
    EXPECT_EQ(progress, (std::vector<Integer>{28, 57, 85, 114}));
  }
}

TEST(Histogram, LuminosityDifferences) {
  TLKBitmap a(3, 2, lk24RGB), b(3, 2, lk24RGB);
  Paint(&a, [](Integer, Integer) { return CreateRGB(100, 50, 20); });
  Paint(&b, [](Integer, Integer) { return CreateRGB(40, 60, 20); });
  Integer r = 9, g = 9, bl = 9;
  LKGetLuminosityDiff(&a, &a, r, g, bl);
  EXPECT_EQ((std::vector<Integer>{r, g, bl}), (std::vector<Integer>{0, 0, 0}));
  LKGetLuminosityDiff(&a, &b, r, g, bl);
  EXPECT_EQ((std::vector<Integer>{r, g, bl}), (std::vector<Integer>{60, -10, 0}));
  TLKBitmap c(3, 3, lk24RGB);
  LKGetLuminosityDiff(&a, &c, r, g, bl);
  EXPECT_EQ((std::vector<Integer>{r, g, bl}), (std::vector<Integer>{0, 0, 0}));
  // 40000 white 48-bit pixels sum past 2^31 in each channel.
  TLKBitmap w(200, 200, lk48RGB), k(200, 200, lk48RGB);
  w.Fill(TRGB2TColor(CreateRGB(255, 255, 255)));
  k.Fill(0);
  LKGetLuminosityDiff(&w, &k, r, g, bl);
  EXPECT_EQ((std::vector<Integer>{r, g, bl}), (std::vector<Integer>{65535, 65535, 65535}));
}

}  // namespace
