#include "processing/lkfilterresample.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"
#include "resample_fixtures.h"

using namespace resample_test;

namespace {

class FilterResample : public ::testing::TestWithParam<TLKLocation> {
 protected:
  void SetUp() override { guard_ = std::make_unique<StorageGuard>(GetParam()); }
  std::unique_ptr<StorageGuard> guard_;
};

INSTANTIATE_TEST_SUITE_P(Storage, FilterResample, ::testing::Values(lkMemory, lkFile),
                         [](const auto& info) { return info.param == lkFile ? "File" : "Memory"; });

constexpr TResampleFilter kAllFilters[] = {rfTriangle, rfHermite,    rfBell,     rfBSpline,   rfLanczos3,
                                           rfMitchell, rfNearest,    rfLinear,   rfFastLinear, rfBilinear,
                                           rfBicubic,  rfProjectBW,  rfProjectWB};

bool IsProjection(TResampleFilter f) { return f == rfProjectBW || f == rfProjectWB; }

// Sizes for the whole-table tests: enlarging, reducing, mixed, thin and
// single-pixel sources and destinations.
struct SizeCase {
  Integer w, h, w2, h2;
};
constexpr SizeCase kSizes[] = {{6, 5, 13, 11}, {13, 11, 4, 3}, {7, 9, 15, 2}, {1, 9, 5, 4},
                               {9, 1, 3, 6},   {1, 1, 4, 3},   {40, 3, 1, 1}, {5, 5, 5, 5}};

// ---------------------------------------------------------------------------
// Kernels

TEST(ResampleKernels, ValuesAndSupports) {
  struct Case {
    TResampleFilter filter;
    double support;
    double x;
    double value;
  } cases[] = {
      {rfTriangle, 1.0, 0.25, 0.75},       {rfHermite, 1.0, 0.5, 0.5},
      {rfBell, 1.5, 0.5, 0.5},           {rfBell, 1.5, 0.0, 0.75},
      {rfBSpline, 2.0, 1.0, 1.0 / 6},      {rfBSpline, 2.0, 0.0, 2.0 / 3},
      {rfLanczos3, 3.0, 0.0, 1.0},         {rfLanczos3, 3.0, 3.0, 0.0},
      {rfMitchell, 2.0, 0.0, 16.0 / 18},   {rfMitchell, 2.0, 1.0, 1.0 / 18},
      {rfNearest, 1.0, 0.5, 1.0},          {rfNearest, 1.0, -0.5, 0.0},
      {rfLinear, 1.0, -1.0, 0.0},          {rfLinear, 1.0, -0.25, 0.75},
  };
  for (const auto& c : cases) {
    const TLKResampleKernel* k = LKResampleKernel(c.filter);
    ASSERT_NE(k, nullptr) << static_cast<int>(c.filter);
    EXPECT_EQ(k->Support, c.support);
    EXPECT_NEAR(k->Kernel(c.x), c.value, 1e-12) << static_cast<int>(c.filter) << " at " << c.x;
  }
  for (TResampleFilter f : {rfNone, rfFastLinear, rfBilinear, rfBicubic, rfProjectBW, rfProjectWB})
    EXPECT_EQ(LKResampleKernel(f), nullptr);
}

// ---------------------------------------------------------------------------
// Worked values of the kernel resampler

TEST_P(FilterResample, TriangleEnlargesBlackWhite) {
  auto src = Make24(2, 1, [](Integer x, Integer) { return x ? Rgb(255, 255, 255) : Rgb(0, 0, 0); });
  TLKBitmap dst(4, 1, lk24RGB);
  _ResampleEx(src.get(), &dst, rfTriangle);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{0, 84, 170, 255}));
}

TEST_P(FilterResample, MirroringRepeatsTheRightEdgeOnly) {
  // B-spline at equal size: taps 43, 171, 43 (weight sum 257). Pixel 0 reads
  // column 1 for its tap at -1; pixel 2 reads itself for its tap at 3.
  auto src = Make24(3, 1, [](Integer x, Integer) { return x == 1 ? Rgb(255, 255, 255) : Rgb(0, 0, 0); });
  TLKBitmap dst(3, 1, lk24RGB);
  _ResampleEx(src.get(), &dst, rfBSpline);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{85, 169, 42}));
}

TEST_P(FilterResample, NegativeLobesAreClamped) {
  // A step 0, 0, 255, 255 enlarged to 7 with Lanczos: pixel 1 sums to
  // -23 * 255 / 254 (undershoot), pixel 5 to 283 * 255 / 254 (overshoot).
  auto src = Make24(4, 1, [](Integer x, Integer) { return x >= 2 ? Rgb(255, 255, 255) : Rgb(0, 0, 0); });
  TLKBitmap dst(7, 1, lk24RGB);
  _ResampleEx(src.get(), &dst, rfLanczos3);
  const std::vector<int> row = RedRow(dst, 0);
  EXPECT_EQ(row[1], 0);
  EXPECT_EQ(row[5], 255);
}

TEST_P(FilterResample, NearestPicksOneSourcePixel) {
  // 3 to 5: centres 0, 0.5, 1, 1.5, 2; at +0.5 the lower neighbour is taken.
  auto src = Make24(3, 1, [](Integer x, Integer) { return Rgb(10 + x * 100, 0, 0); });
  TLKBitmap dst(5, 1, lk24RGB);
  _ResampleEx(src.get(), &dst, rfNearest);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{10, 10, 110, 110, 210}));
}

TEST_P(FilterResample, StrongReductionTakesTheNearestPixelWhenEveryWeightVanishes) {
  // 2000 to 2 with the triangle: every weight rounds to 0; the pixels come
  // from the nearest source pixels instead of black.
  auto src = Make24(2000, 1, [](Integer x, Integer) {
    return x == 0 ? Rgb(10, 20, 30) : x == 1999 ? Rgb(40, 50, 60) : Rgb(200, 200, 200);
  });
  TLKBitmap dst(2, 1, lk24RGB);
  _ResampleEx(src.get(), &dst, rfTriangle);
  EXPECT_EQ(At(dst, 0, 0), Rgb(10, 20, 30));
  EXPECT_EQ(At(dst, 1, 0), Rgb(40, 50, 60));
}

TEST_P(FilterResample, TwoToOneReductionOfAKnownPattern) {
  // Columns 0, 60, 120, 180 reduced to 2: s = 1/3, f = 3.
  auto src = Make24(4, 2, [](Integer x, Integer) { return Rgb(x * 60, 0, 0); });
  struct Case {
    TResampleFilter filter;
    std::vector<int> expected;
  } cases[] = {
      // Triangle stretched 3 times: weights 85, 57, 28 at distances 0, 1, 2
      // (sum 255). Pixel 0 reads 120, 60, 0, 60, 120 (mirrored):
      // 13560 div 255; pixel 1 reads 60, 120, 180, 180, 120: 37440 div 255.
      {rfTriangle, {53, 146}},
      {rfFastLinear, {60, 120}},
      {rfBilinear, {30, 150}},
  };
  for (const auto& c : cases) {
    TLKBitmap dst(2, 1, lk24RGB);
    _ResampleEx(src.get(), &dst, c.filter);
    EXPECT_EQ(RedRow(dst, 0), c.expected) << static_cast<int>(c.filter);
  }
}

// ---------------------------------------------------------------------------
// Filters by formats

TEST_P(FilterResample, FlatPicturesStayFlat) {
  for (TResampleFilter f : kAllFilters) {
    for (const SizeCase& s : kSizes) {
      SCOPED_TRACE(testing::Message() << "filter " << int(f) << " " << s.w << "x" << s.h << " -> " << s.w2 << "x"
                                      << s.h2);
      // 24-bit.
      auto c24 = Make24(s.w, s.h, [](Integer, Integer) { return Rgb(200, 31, 129); });
      TLKBitmap d24(s.w2, s.h2, lk24RGB);
      Poison(d24, 1);
      _ResampleEx(c24.get(), &d24, f);
      if (IsProjection(f)) {
        ASSERT_EQ(d24.GetPixelFormat(), lk1g);
        // Neither all below nor all above 128: white on white, black on black.
        for (Integer y = 0; y < s.h2; ++y)
          for (Integer x = 0; x < s.w2; ++x) ASSERT_EQ(d24.GetPixels_lk1g(x, y), f == rfProjectBW);
      } else {
        for (Integer y = 0; y < s.h2; ++y)
          for (Integer x = 0; x < s.w2; ++x) ASSERT_EQ(At(d24, x, y), Rgb(200, 31, 129)) << x << "," << y;
      }
      // 8-bit channel.
      auto c8 = Make8(s.w, s.h, [](Integer, Integer) { return 77; });
      TLKBitmap d8(s.w2, s.h2, lk8g);
      Poison(d8, 1);
      _ResampleAlphaEx(c8.get(), &d8, f);
      for (Integer y = 0; y < s.h2; ++y)
        for (Integer x = 0; x < s.w2; ++x) ASSERT_EQ(At8(d8, x, y), 77) << x << "," << y;
      // 1-bit, all white.
      auto c1 = Make1(s.w, s.h, [](Integer, Integer) { return true; });
      TLKBitmap d1(s.w2, s.h2, IsProjection(f) ? lk1g : lk24RGB);
      Poison(d1, 1);
      _Resample1bitEx(c1.get(), &d1, f);
      for (Integer y = 0; y < s.h2; ++y)
        for (Integer x = 0; x < s.w2; ++x) {
          if (d1.GetPixelFormat() == lk1g)
            ASSERT_TRUE(d1.GetPixels_lk1g(x, y)) << x << "," << y;
          else
            ASSERT_EQ(At(d1, x, y), Rgb(255, 255, 255)) << x << "," << y;
        }
    }
  }
}

TEST_P(FilterResample, EqualSizeCopiesForInterpolatingKernels) {
  auto src = Make24(7, 6, [](Integer x, Integer y) { return Rgb((x * 71 + y * 13) & 255, (x * y * 29) & 255, y * 40); });
  const std::vector<Byte> pixels = Pixels(*src);
  for (TResampleFilter f : {rfTriangle, rfHermite, rfLanczos3, rfNearest, rfLinear, rfFastLinear, rfBilinear, rfBicubic}) {
    TLKBitmap dst(7, 6, lk24RGB);
    _ResampleEx(src.get(), &dst, f);
    EXPECT_EQ(Pixels(dst), pixels) << static_cast<int>(f);
  }
  // The smoothing kernels blur at equal size.
  for (TResampleFilter f : {rfBell, rfBSpline, rfMitchell}) {
    TLKBitmap dst(7, 6, lk24RGB);
    _ResampleEx(src.get(), &dst, f);
    EXPECT_NE(Pixels(dst), pixels) << static_cast<int>(f);
  }
}

TEST_P(FilterResample, NoFilterAndWrongFormatsLeaveTheDestination) {
  auto src = Make24(4, 4, [](Integer x, Integer) { return Rgb(x, x, x); });
  auto grey = Make8(4, 4, [](Integer x, Integer) { return x; });
  auto bits = Make1(4, 4, [](Integer x, Integer) { return x & 1; });
  struct Case {
    const char* name;
    std::function<void(TLKBitmap*)> call;
    TLKPixelFormat destFormat;
  } cases[] = {
      {"rfNone has no kernel", [&](TLKBitmap* d) { _ResampleEx(src.get(), d, rfNone); }, lk24RGB},
      {"8-bit source", [&](TLKBitmap* d) { _ResampleEx(grey.get(), d, rfLanczos3); }, lk24RGB},
      {"8-bit destination", [&](TLKBitmap* d) { _ResampleEx(src.get(), d, rfLanczos3); }, lk8g},
      {"1-bit as an alpha channel", [&](TLKBitmap* d) { _ResampleAlphaEx(bits.get(), d, rfTriangle); }, lk8g},
      {"24-bit as a 1-bit source", [&](TLKBitmap* d) { _Resample1bitEx(src.get(), d, rfTriangle); }, lk24RGB},
      {"1-bit into 8-bit", [&](TLKBitmap* d) { _Resample1bitEx(bits.get(), d, rfMitchell); }, lk8g},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap dst(9, 9, c.destFormat);
    Poison(dst, 0xA5);
    c.call(&dst);
    const std::vector<Byte> px = Pixels(dst);
    for (Byte b : px) ASSERT_EQ(b, 0xA5);
  }
}

TEST_P(FilterResample, HugeReductionsAndThinSourcesStayInBounds) {
  // Lists far wider than the source mirror and clamp into it; the sanitizer
  // build checks every read.
  struct Case {
    Integer w, h, w2, h2;
  } cases[] = {{1000, 2, 1, 1}, {1, 1000, 3, 1}, {2, 1, 1, 700}, {3, 3, 1, 2}, {1, 2, 1, 1}};
  for (const auto& c : cases)
    for (TResampleFilter f : kAllFilters) {
      auto src = Make24(c.w, c.h, [](Integer x, Integer y) { return Rgb(x & 255, y & 255, 90); });
      TLKBitmap dst(c.w2, c.h2, lk24RGB);
      _ResampleEx(src.get(), &dst, f);
      if (!IsProjection(f)) {
        EXPECT_EQ(At(dst, c.w2 - 1, c.h2 - 1).b, 90) << int(f) << " " << c.w << "x" << c.h;
      }
    }
}

TEST_P(FilterResample, ProgressKeepsTheColumnOrderOfTheVerticalPass) {
  auto src = Make24(5, 4, [](Integer x, Integer y) { return Rgb(x * 50, y * 60, 0); });
  TLKBitmap dst(7, 3, lk24RGB);
  std::vector<Integer> seen;
  _ResampleEx(src.get(), &dst, rfMitchell, [&](TObject*, Integer per) { seen.push_back(per); });
  // One report per source row, then one per destination column:
  // Trunc(k * 100 / (4 + 7 + 0.5)) for k = 1 .. 11.
  std::vector<Integer> expected;
  for (Integer k = 1; k <= 11; ++k) expected.push_back(static_cast<Integer>(k * 100 / 11.5));
  EXPECT_EQ(seen, expected);
}

// ---------------------------------------------------------------------------
// Whole bitmaps

TEST_P(FilterResample, TransparentPixelsTurnGreyWithoutTouchingTheSource) {
  auto src = Make24(4, 4, [](Integer, Integer) { return Rgb(255, 0, 0); });
  TLKBitmap* alpha = src->GetAlphaChannel();
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) alpha->SetPixels_lk8(x, y, 0);
  alpha->SetFull(false);
  const std::vector<Byte> before = Pixels(*src);
  TLKBitmap dst(8, 6, lk24RGB);
  _LKResampleLKBitmap(src.get(), &dst, rfLanczos3);
  EXPECT_EQ(Pixels(*src), before);
  EXPECT_EQ(At(dst, 3, 3), Rgb(128, 128, 128));
  ASSERT_TRUE(dst.GetHasAlphaChannel());
  EXPECT_EQ(dst.GetAlphaChannel()->GetWidth(), 8);
  EXPECT_EQ(At8(*dst.GetAlphaChannel(), 7, 5), 0);
  EXPECT_FALSE(dst.GetAlphaChannel()->GetFull());
}

TEST_P(FilterResample, WholeBitmapsOfEveryFormatAreWritten) {
  // Grey pictures are filtered; formats without a filtered path take the
  // nearest pixels instead of keeping an unwritten buffer.
  for (TLKPixelFormat f : {lk1g, lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab}) {
    SCOPED_TRACE(static_cast<int>(f));
    const Integer bytes = f == lk1g ? 1 : LKPixelFormatBitCount(f) / 8;
    auto src = Make(3, 3, f, [&](Integer, Integer, Byte* p) {
      for (Integer i = 0; i < bytes; ++i) p[i] = static_cast<Byte>(0x40 + i);
      if (f == lk1g) p[0] = 1;
    });
    for (TResampleFilter filter : {rfNone, rfBell, rfFastLinear, rfProjectWB}) {
      TLKBitmap dst(6, 5, f);
      Poison(dst, 0);
      _LKResampleLKBitmap(src.get(), &dst, filter);
      TLKBitmap expected(6, 5, dst.GetPixelFormat());
      if (dst.GetPixelFormat() == lk24RGB && f == lk1g) {
        for (Integer y = 0; y < 5; ++y)
          for (Integer x = 0; x < 6; ++x) ASSERT_EQ(At(dst, x, y), Rgb(255, 255, 255));
        continue;
      }
      if (f == lk24RGB && filter == rfProjectWB) {
        EXPECT_EQ(dst.GetPixelFormat(), lk1g);  // nothing above 128: all black
        EXPECT_TRUE(dst.IsAllBlack());
        continue;
      }
      ASSERT_EQ(dst.GetPixelFormat(), f) << int(filter);
      _LKBmpStretchEx(src.get(), &expected);
      EXPECT_EQ(Pixels(dst), Pixels(expected)) << int(filter);
    }
  }
}

TEST_P(FilterResample, InPlaceResampleKeepsFormatPaletteAndAlpha) {
  auto bmp = Make(4, 2, lk8p, [](Integer x, Integer, Byte* p) { p[0] = static_cast<Byte>(x); });
  bmp->SetPalette(3, Rgb(1, 2, 3));
  bmp->GetAlphaChannel()->SetPixels_lk8(0, 0, 10);
  _LKResampleLKBitmap2(bmp.get(), rfNone, 8, 4);
  EXPECT_EQ(bmp->GetWidth(), 8);
  EXPECT_EQ(bmp->GetHeight(), 4);
  EXPECT_EQ(bmp->GetPixelFormat(), lk8p);
  EXPECT_EQ(bmp->GetPalette(3), Rgb(1, 2, 3));
  EXPECT_EQ(bmp->GetPixels_lk8(7, 3), 3);
  ASSERT_TRUE(bmp->GetHasAlphaChannel());
  EXPECT_EQ(bmp->GetAlphaChannel()->GetWidth(), 8);
  EXPECT_EQ(bmp->GetAlphaChannel()->GetPixels_lk8(1, 1), 10);

  _LKResampleLKBitmap2(bmp.get(), rfTriangle, 0, 4);  // refused
  EXPECT_EQ(bmp->GetWidth(), 8);
}

TEST(FilterResampleThreads, ConcurrentCallsMatchOneThread) {
  StorageGuard memory(lkMemory);
  auto make = [] {
    return Make24(61, 37, [](Integer x, Integer y) { return Rgb((x * 7 + y * 3) & 255, (x * y) & 255, (x ^ y) * 4); });
  };
  const Integer sizes[][2] = {{23, 71}, {140, 11}};
  auto run = [&](TLKBitmap* src) {
    std::vector<std::vector<Byte>> out;
    for (TResampleFilter f : kAllFilters)
      for (const auto& s : sizes) {
        TLKBitmap dst(s[0], s[1], lk24RGB);
        _ResampleEx(src, &dst, f);
        out.push_back(Pixels(dst));
      }
    return out;
  };
  auto reference = make();
  const auto expected = run(reference.get());
  constexpr int kThreads = 6;
  std::vector<std::unique_ptr<TLKBitmap>> sources;
  for (int i = 0; i < kThreads; ++i) sources.push_back(make());
  std::vector<std::vector<std::vector<Byte>>> results(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      for (int rep = 0; rep < 3; ++rep) results[static_cast<size_t>(i)] = run(sources[static_cast<size_t>(i)].get());
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(results[static_cast<size_t>(i)], expected) << "thread " << i;
}

}  // namespace
