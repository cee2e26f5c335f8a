#include "processing/lkneurnet.h"

#include <gtest/gtest.h>

#include "core/lkbitmap.h"

namespace {

void ZeroWeights(TLKNeurNet& N) {
  for (Integer i = 0; i < N.GetHiddenCount(); ++i)
    for (Integer j = 0; j <= N.GetInputCount(); ++j) N.FirstWeight(i, j) = 0;
  for (Integer k = 0; k < N.GetOutputCount(); ++k)
    for (Integer j = 0; j <= N.GetHiddenCount(); ++j) N.SecondWeight(k, j) = 0;
}

TEST(NeurNet, WeightsStartSmallAndNonZero) {
  TLKNeurNet n(4, 5, 2);
  for (Integer i = 0; i < 5; ++i)
    for (Integer j = 0; j <= 4; ++j) {
      const float w = n.FirstWeight(i, j);
      EXPECT_NE(w, 0.0f);
      EXPECT_GE(w, -0.5f);
      EXPECT_LE(w, 0.49f + 1e-6f);
    }
}

TEST(NeurNet, RunAndLearn) {
  TLKNeurNet n(2, 3, 1);
  ZeroWeights(n);
  n.SetInput(0, 0.7);
  n.SetInput(1, 0.2);
  n.Run();
  EXPECT_DOUBLE_EQ(n.GetOutput(0), 0.5);
  n.SetCmp(0, 1);
  EXPECT_NEAR(n.Learn(1.0), 0.5, 1e-6);
  n.Run();
  EXPECT_GT(n.GetOutput(0), 0.5);

  // XOR takes the hidden layer: trained, every case comes out on its side.
  TLKNeurNet x(2, 4, 1);
  const double cases[4][3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
  for (int round = 0; round < 20000; ++round) {
    const auto& c = cases[round % 4];
    x.SetInput(0, c[0]);
    x.SetInput(1, c[1]);
    x.SetCmp(0, c[2]);
    x.Learn(0.8);
  }
  for (const auto& c : cases) {
    x.SetInput(0, c[0]);
    x.SetInput(1, c[1]);
    x.Run();
    EXPECT_NEAR(x.GetOutput(0), c[2], 0.3) << c[0] << " xor " << c[1];
  }
}

TEST(NeurNet, StreamRestoresTheNetworkAndRefusesShortData) {
  TLKNeurNet a(2, 3, 1);
  TMemoryStream ms;
  a.SaveToStream(&ms);
  EXPECT_EQ(ms.GetSize(), 12 + 9 * 4 + 4 * 4);
  ms.SetPosition(0);
  TLKNeurNet b(7, 7, 7);
  b.LoadFromStream(&ms);
  ASSERT_EQ(b.GetInputCount(), 2);
  a.SetInput(0, 0.3);
  b.SetInput(0, 0.3);
  a.Run();
  b.Run();
  EXPECT_EQ(a.GetOutput(0), b.GetOutput(0));

  struct Case {
    const char* Name;
    Integer Counts[3];
    Integer WeightBytes;
  } const cases[] = {
      {"negative count", {-1, 3, 1}, 64},
      {"zero hidden units", {2, 0, 1}, 64},
      // Counts whose weights would take gigabytes, in a 40-byte stream.
      {"huge counts", {100000, 100000, 1}, 28},
      {"one weight short", {2, 3, 1}, 13 * 4 - 1},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    s.WriteBuffer(c.Counts, 12);
    std::vector<Byte> w(std::size_t(c.WeightBytes), 0);
    s.WriteBuffer(w.data(), Int64(w.size()));
    s.SetPosition(0);
    TLKNeurNet n(2, 2, 2);
    EXPECT_THROW(n.LoadFromStream(&s), EReadError) << c.Name;
    EXPECT_EQ(n.GetHiddenCount(), 2) << c.Name;
  }
}

TEST(NeurNet, BitmapHelpers) {
  TLKBitmap b(3, 2, lk24RGB);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) {
      TRGB c{};
      c.r = Byte(10 * x), c.g = Byte(20 * y), c.b = 255;
      b.SetPixels_lk24RGB(x, y, c);
    }
  TLKNeurNet n(6, 2, 6);
  n.SetInputAsBitmap(&b, 0, 0, 2, 1, 0);  // the red channel
  EXPECT_NEAR(n.GetInput(4), 10 / 255.0, 1e-6);  // pixel (1, 1)
  n.SetInputAsBitmap(&b, 0, 0, 2, 1, 1);  // green
  EXPECT_NEAR(n.GetInput(4), 20 / 255.0, 1e-6);
  // A channel that does not exist, or a rectangle past the bitmap, stores nothing.
  n.SetInputAsBitmap(&b, 0, 0, 2, 1, 3);
  n.SetInputAsBitmap(&b, 0, 0, 5, 5, 0);
  EXPECT_NEAR(n.GetInput(4), 20 / 255.0, 1e-6);

  n.SetCmp(0, 0.25);
  n.SetLearnAsRGB(&b, 2, 3, 1);
  EXPECT_FLOAT_EQ(n.GetCmp(0), 0.25f);
  n.SetLearnAsRGB(&b, 2, 1, 1);
  EXPECT_NEAR(n.GetCmp(0), 20 / 255.0, 1e-6);

  // Grey, resampled 3x2 -> 3x2 (no resampling) into inputs 0..5.
  n.SetInputAsBitmap(&b, 0, 0, 3, 2, 3, 2);
  const TRGB p = b.GetPixels_lk24RGB(2, 1);
  EXPECT_NEAR(n.GetInput(5), (p.r * 21 + p.g * 71 + p.b * 8) / 100.0 / 255.0, 0.01);

  for (Integer k = 0; k < 6; ++k) n.SetOutput(k, k / 5.0);
  TLKBitmap out;
  n.GetOutputAsBitmap(&out, 3, 2);
  ASSERT_EQ(out.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(out.GetPixels_lk24RGB(2, 1).g, 255);
  EXPECT_EQ(out.GetPixels_lk24RGB(1, 0).r, 51);
  n.GetOutputAsRGB(&b, 0, 0, 0);
  EXPECT_EQ(b.GetPixels_lk24RGB(0, 0).r, 0);
  EXPECT_EQ(b.GetPixels_lk24RGB(0, 0).b, 255);

  TLKNeurNet h(768, 2, 3);
  h.SetInputAsHistogram(&b);
  EXPECT_NEAR(h.GetInput(3 * 255 + 2), 6 / 255.0, 1e-6);  // six pixels of blue 255
  h.SetLearnAsAverages(&b);
  EXPECT_NEAR(h.GetCmp(0), 1.0, 1e-6);          // blue, first in the pixel
  EXPECT_NEAR(h.GetCmp(2), 15 / 255.0, 1e-6);   // red: the mean of its non-zero values
}

}  // namespace
