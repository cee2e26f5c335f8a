// Picture comparison and hidden data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "platform/graphics.h"
#include "processing/lkcompare.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

struct Measures {
  double psnrMin, psnrMax, mseMin, mseMax, rmseMin, rmseMax, peakMin, peakMax, meanMin, meanMax;
  bool equal;
};

Measures Diff(TLKBitmap* a, TLKBitmap* b) {
  Measures m{};
  _LKComputeDiff(a, b, m.psnrMin, m.psnrMax, m.mseMin, m.mseMax, m.rmseMin, m.rmseMax, m.peakMin, m.peakMax,
                 m.meanMin, m.meanMax, m.equal);
  return m;
}

TEST(Compare, ErrorMeasuresAndSimilarity) {
  TLKBitmap a(4, 4, lk24RGB), b(4, 4, lk24RGB);
  a.Fill(RGB2TColor(100, 100, 100));
  b.Assign(&a);
  Measures m = Diff(&a, &b);
  EXPECT_TRUE(m.equal);
  EXPECT_EQ(m.psnrMax, 0);  // not infinite
  EXPECT_EQ(m.mseMax, 0);
  // B darker everywhere: the peaks stay 0 but the pictures are not equal.
  b.Fill(RGB2TColor(90, 100, 100));
  m = Diff(&a, &b);
  EXPECT_FALSE(m.equal);
  EXPECT_EQ(m.peakMax, 0);
  EXPECT_EQ(m.mseMax, 100);
  EXPECT_EQ(m.mseMin, 0);
  EXPECT_NEAR(m.psnrMax, 20 * std::log10(25.5), 1e-9);

  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&a);
  double v[10] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  EXPECT_FALSE(proc.ComputeImageEquality(&b, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]));
  EXPECT_EQ(v[3], 100);
  TLKBitmap small(2, 2, lk24RGB);
  v[3] = -1;
  EXPECT_FALSE(proc.ComputeImageEquality(&small, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]));
  EXPECT_EQ(v[3], -1);  // another size: untouched

  // Grey similarity: 1 with itself, 0 black against white; the difference
  // picture holds the grey distance.
  TLKBitmap white(3, 2, lk24RGB), black(5, 5, lk24RGB), diff(1, 1, lk8g);
  white.Fill(RGB2TColor(255, 255, 255));
  black.Fill(0);
  EXPECT_EQ(LKCompareImages(&white, &white, nullptr), 1);
  EXPECT_NEAR(proc.CompareWith(&white, nullptr), 100.0 / 255, 1e-9);  // grey 100 against white
  EXPECT_EQ(LKCompareImages(&white, &black, &diff), 0);
  EXPECT_EQ(diff.GetWidth(), 3);
  EXPECT_EQ(diff.GetPixels_lk8(2, 1), 255);
  TLKBitmap empty;
  EXPECT_EQ(LKCompareImages(&white, &empty, nullptr), 0);
}

TEST(Compare, ExactEqualityIgnoresPadding) {
  for (TLKPixelFormat f : {lk1g, lk24RGB}) {
    TLKBitmap a(5, 3, f), b(5, 3, f);
    a.Fill(0);
    b.Fill(0);
    // Padding bits and bytes differ; pixels do not.
    static_cast<Byte*>(b.GetScanLine(1))[f == lk1g ? 0 : 15] |= f == lk1g ? 0x01 : 0xFF;
    EXPECT_TRUE(_BitmapCompareXEx(&a, &b));
    b.GetAlphaChannel();
    EXPECT_FALSE(_BitmapCompareXEx(&a, &b));
    a.GetAlphaChannel();
    EXPECT_TRUE(_BitmapCompareXEx(&a, &b));
    a.SetAlpha(4, 2, 7);
    EXPECT_FALSE(_BitmapCompareXEx(&a, &b));
  }
  TBitmap x(5, 2, pf1bit), y(5, 2, pf1bit), z(5, 2, pf24bit);
  std::memset(x.ScanLine(0), 0, 4);
  std::memset(y.ScanLine(0), 0x07, 4);  // only bits past pixel 4 and padding
  std::memset(x.ScanLine(1), 0, 4);
  std::memset(y.ScanLine(1), 0, 4);
  EXPECT_TRUE(_BitmapCompareX(&x, &y));
  y.ScanLine(1)[0] = 0x08;  // pixel 4
  EXPECT_FALSE(_BitmapCompareX(&x, &y));
  EXPECT_FALSE(_BitmapCompareX(&x, &z));
}

class Hidden : public ::testing::TestWithParam<bool> {};

TEST_P(Hidden, TextRoundTripChangesCarriersByOneAtMost) {
  StorageScope storage(GetParam());
  TLKBitmap b(100, 100, lk24RGB);
  FillDistinct(&b);
  for (Integer x = 0; x < 30; ++x) b.SetPixels_lk24RGB(x, 0, TRGB{255, 255, 255});
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  EXPECT_EQ(proc.GetHiddenDataSpace(), 3742);
  EXPECT_EQ(proc.ReadHiddenText(), "");
  EXPECT_EQ(proc.WriteHiddenText("abc"), 3);
  EXPECT_EQ(proc.GetUndoCaptions(0), "WriteHiddenData");
  EXPECT_EQ(proc.ReadHiddenText(), "abc");
  for (Integer y = 0; y < 100; ++y)
    for (Integer x = 0; x < 100; ++x) {
      const TRGB o = before.GetPixels_lk24RGB(x, y), n = b.GetPixels_lk24RGB(x, y);
      for (auto [p, q] : {std::pair{o.b, n.b}, std::pair{o.g, n.g}, std::pair{o.r, n.r}})
        ASSERT_TRUE(q == p || q == p + 1 || (p == 255 && q == 254)) << x << "," << y;
    }
  char buffer[2] = {0, 0};
  EXPECT_EQ(proc.ReadHiddenData(buffer, 2), 3);  // reads only what fits
  EXPECT_EQ(std::string(buffer, 2), "ab");
  proc.ClearHiddenText();
  EXPECT_EQ(proc.ReadHiddenText(), "");
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
  // Size -1 writes a header no reader accepts.
  EXPECT_EQ(proc.WriteHiddenData(nullptr, -1), -1);
  EXPECT_EQ(proc.ReadHiddenData(nullptr, 0), 0);
}

TEST_P(Hidden, LongStreamsAndLengthsBeyondTheCapacity) {
  StorageScope storage(GetParam());
  TLKBitmap b(10, 4, lk8g);  // converted to 24 bits: 15 - 8 = 7 bytes
  b.Fill(0);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  EXPECT_EQ(proc.GetHiddenDataSpace(), 7);
  EXPECT_EQ(b.GetPixelFormat(), lk24RGB);
  // Cut off at the end of the picture, yet the size is returned; the stored
  // length (20) exceeds the capacity, so no stream is found.
  const char text[] = "0123456789abcdefghij";
  EXPECT_EQ(proc.WriteHiddenData(text, 20), 20);
  EXPECT_EQ(proc.ReadHiddenText(), "");
  EXPECT_EQ(proc.WriteHiddenData(text, 7), 7);
  EXPECT_EQ(proc.ReadHiddenText(), "0123456");
  EXPECT_EQ(proc.WriteHiddenData(nullptr, 3), 0);
  EXPECT_EQ(proc.WriteHiddenData(text, -2), 0);
  // A picture too small for the header holds nothing.
  TLKBitmap tiny(2, 2, lk24RGB);
  proc.SetAttachedLKBitmap(&tiny);
  EXPECT_EQ(proc.GetHiddenDataSpace(), 0);
  EXPECT_EQ(proc.WriteHiddenText("x"), 1);
  EXPECT_EQ(proc.ReadHiddenText(), "");
}

INSTANTIATE_TEST_SUITE_P(Storage, Hidden, ::testing::Bool());

}  // namespace
