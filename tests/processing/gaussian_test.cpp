// Gaussian blur, sharpening against the window mean and edge-weighted
// sharpening.
#include <gtest/gtest.h>

#include <cstring>

#include "processing/lkgaussian.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// Separable blur written out directly on bytes of `n` channels: rows, then
// columns, ends repeated, (sum + 32768) shr 16.
std::vector<Byte> Reference(const std::vector<Byte>& in, Integer w, Integer h, Integer n, double sigma) {
  const std::vector<DWORD> k = LKGaussKernel(sigma);
  const Integer r = static_cast<Integer>(k.size() / 2);
  auto pass = [&](const std::vector<Byte>& src, bool rows) {
    std::vector<Byte> out(src.size());
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x)
        for (Integer c = 0; c < n; ++c) {
          DWORD s = 32768;
          for (Integer d = -r; d <= r; ++d) {
            const Integer sx = rows ? std::clamp(x + d, 0, w - 1) : x, sy = rows ? y : std::clamp(y + d, 0, h - 1);
            s += k[static_cast<size_t>(d + r)] * src[(static_cast<size_t>(sy) * w + sx) * n + c];
          }
          out[(static_cast<size_t>(y) * w + x) * n + c] = static_cast<Byte>(s >> 16);
        }
    return out;
  };
  return pass(pass(in, true), false);
}

std::vector<Byte> Bytes(TLKBitmap* b) {
  const size_t row = static_cast<size_t>(b->GetWidth()) * (b->GetBitCount() / 8);
  std::vector<Byte> v(row * b->GetHeight());
  for (Integer y = 0; y < b->GetHeight(); ++y) std::memcpy(&v[row * y], b->GetScanLine(y), row);
  return v;
}

TEST(GaussKernel, ReachAndWeights) {
  EXPECT_EQ(LKGaussKernel(0.1), (std::vector<DWORD>{0, 65536, 0}));
  for (double s : {0.7, 2.0, 10.0, 60.0}) {
    const std::vector<DWORD> k = LKGaussKernel(s);
    DWORD sum = 0;
    for (DWORD w : k) sum += w;
    EXPECT_NEAR(sum, 65536.0, 101.0) << s;
    EXPECT_NE(k.front(), 0u);
    EXPECT_EQ(k.front(), k.back());
  }
  EXPECT_EQ(LKGaussKernel(60).size(), 201u);  // reach capped at 100
}

class Blur : public ::testing::TestWithParam<bool> {};

TEST_P(Blur, MatchesSeparableSumInBothFormats) {
  StorageScope storage(GetParam());
  for (TLKPixelFormat f : {lk8g, lk24RGB})
    for (double sigma : {0.8, 2.0, 7.5}) {
      TLKBitmap b(23, 17, f);
      FillDistinct(&b, 5);
      const Integer n = f == lk8g ? 1 : 3;
      const std::vector<Byte> want = Reference(Bytes(&b), 23, 17, n, sigma);
      _LKGBlur(&b, sigma, {}, nullptr);
      ASSERT_EQ(Bytes(&b), want) << f << " " << sigma;
    }
}

TEST_P(Blur, RectangleBlursAsIfThePictureEndedThere) {
  StorageScope storage(GetParam());
  TLKBitmap b(20, 16, lk8g), part(9, 6, lk8g);
  FillDistinct(&b, 3);
  b.CopyRectTo(&part, 4, 5, 0, 0, 9, 6);
  const std::vector<Byte> before = Bytes(&b);
  const std::vector<Byte> want = Reference(Bytes(&part), 9, 6, 1, 1.5);
  _LKGBlurRect8(&b, 4, 5, 12, 10, 1.5);
  const std::vector<Byte> after = Bytes(&b);
  for (Integer y = 0; y < 16; ++y)
    for (Integer x = 0; x < 20; ++x) {
      const bool inside = x >= 4 && x <= 12 && y >= 5 && y <= 10;
      const Byte expected = inside ? want[static_cast<size_t>(y - 5) * 9 + (x - 4)] : before[static_cast<size_t>(y) * 20 + x];
      ASSERT_EQ(after[static_cast<size_t>(y) * 20 + x], expected) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Blur, ::testing::Bool());

TEST(Blur, NothingForNonPositiveRadiusOrOtherFormats) {
  for (const auto& [f, sigma] : {std::pair{lk24RGB, 0.0}, std::pair{lk24RGB, -2.0}, std::pair{lk24RGB, 0.1},
                                 std::pair{lk16g, 3.0}}) {
    TLKBitmap b(9, 8, f);
    FillDistinct(&b);
    const std::vector<Byte> before = Bytes(&b);
    _LKGBlur(&b, sigma, {}, nullptr);
    EXPECT_EQ(Bytes(&b), before);
  }
  TLKBitmap flat(30, 20, lk24RGB);
  flat.Fill(RGB2TColor(90, 150, 240));
  _LKGBlur(&flat, 12, {}, nullptr);
  for (Integer y = 0; y < 20; y += 3)
    for (Integer x = 0; x < 30; x += 3) ASSERT_EQ(flat.GetPixels(x, y), (TRGB{240, 150, 90}));
}

// The window mean without the pixel's row and column, written out.
TEST(Sharpen, WindowMeanWithoutOwnRowAndColumn) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TLKBitmap b(11, 9, lk24RGB);
    FillDistinct(&b, 2);
    TLKBitmap src;
    src.Assign(&b);
    const Integer h = 2;
    const double amount = 1.5;
    _Sharpen(&b, 1, 2, 10, 8, 15, 5, {}, nullptr);
    for (Integer y = 0; y < 9; ++y)
      for (Integer x = 0; x < 11; ++x)
        for (Integer c = 0; c < 3; ++c) {
          Byte want = PixelBytes(&src, x, y)[c];
          if (x >= 1 && x < 10 && y >= 2 && y < 8) {
            Integer sum = 0, cols = 0, rows = 0;
            for (Integer j = std::max(0, y - h); j <= std::min(8, y + h); ++j, ++rows)
              for (Integer i = std::max(0, x - h); i <= std::min(10, x + h); ++i)
                if (i != x && j != y) sum += PixelBytes(&src, i, j)[c];
            cols = std::min(10, x + h) - std::max(0, x - h) + 1;
            const Integer mean = sum / ((cols - 1) * (rows - 1));
            want = static_cast<Byte>(std::clamp(LKTrunc((want - mean) * amount + want), 0, 255));
          }
          ASSERT_EQ(PixelBytes(&b, x, y)[c], want) << x << "," << y << " file " << file;
        }
  }
  // Neighbourhood 0 or 1: the mean is 0, every channel scaled by 1 + i/10.
  TLKBitmap b(4, 4, lk24RGB);
  b.Fill(RGB2TColor(20, 100, 200));
  _Sharpen(&b, 0, 0, 4, 4, 5, 1, {}, nullptr);
  EXPECT_EQ(b.GetPixels(2, 2), (TRGB{255, 150, 30}));
}

TEST(Sharpen, ComponentCaptionsAndAutoSharp) {
  TLKBitmap b(40, 30, lk8g);
  FillDistinct(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.SetUndoLimit(5);
  proc.Blur(2.5);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Blur 2.5");
  EXPECT_EQ(b.GetPixelFormat(), lk8g);
  proc.AutoSharp(20, 0.5);
  EXPECT_EQ(proc.GetUndoCaptions(0), "AutoSharp");
  EXPECT_EQ(b.GetPixelFormat(), lk8g);  // sharpened through 24 bits and back
  proc.Sharpen(10, 3);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Sharpen");
  EXPECT_EQ(b.GetPixelFormat(), lk24RGB);
  // A flat picture has no edges and nothing to sharpen.
  TLKBitmap flat(30, 30, lk24RGB);
  flat.Fill(RGB2TColor(70, 70, 70));
  _LKAutoSharp(&flat, 50, 0.9, {}, nullptr);
  EXPECT_EQ(flat.GetPixels(15, 15), (TRGB{70, 70, 70}));
}

}  // namespace
