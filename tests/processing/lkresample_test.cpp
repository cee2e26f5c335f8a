#include "processing/lkresample.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "resample_fixtures.h"

using namespace resample_test;

namespace {

// Each test runs on pictures in memory and in temporary files (file storage
// hands out one row at a time, so routines that hold two source rows at once
// break there).
class Resample : public ::testing::TestWithParam<TLKLocation> {
 protected:
  void SetUp() override { guard_ = std::make_unique<StorageGuard>(GetParam()); }
  std::unique_ptr<StorageGuard> guard_;
};

INSTANTIATE_TEST_SUITE_P(Storage, Resample, ::testing::Values(lkMemory, lkFile),
                         [](const auto& info) { return info.param == lkFile ? "File" : "Memory"; });

std::unique_ptr<TLKBitmap> Row24(const std::vector<int>& reds) {
  return Make24(static_cast<Integer>(reds.size()), 1, [&](Integer x, Integer) {
    const int v = reds[static_cast<size_t>(x)];
    return Rgb(v, v, v);
  });
}

// ---------------------------------------------------------------------------
// Fast linear

TEST_P(Resample, LinearRowsFollowTheWorkedValues) {
  struct Case {
    const char* name;
    std::vector<int> source;
    Integer width;
    std::vector<int> expected;
  } cases[] = {
      // Reduction averages from a pixel's start up to the next one's start;
      // the last destination column takes its single start pixel.
      {"reduce 4 to 2", {10, 20, 60, 100}, 2, {30, 60}},
      {"enlarge 2 to 4", {100, 200}, 4, {100, 150, 200, 200}},
      {"enlarge 2 to 4 falling", {200, 100}, 4, {200, 150, 100, 100}},
      // 2 -> 3: fraction 2/3 of a falling step rounds toward the smaller
      // value: 200 + floor(-66.67) = 133.
      {"inexact fraction floors", {200, 100}, 3, {200, 133, 100}},
      {"one pixel to five", {77}, 5, {77, 77, 77, 77, 77}},
      {"five pixels to one", {9, 50, 50, 50, 50}, 1, {9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto src = Row24(c.source);
    TLKBitmap dst(c.width, 1, lk24RGB);
    _ResampleLinearEx(src.get(), &dst);
    EXPECT_EQ(RedRow(dst, 0), c.expected);
  }
}

TEST_P(Resample, LinearKeptWidthSoftensWhileHeightGrows) {
  // 4 x 4 to 4 x 8: each column averages itself and its right neighbour.
  auto src = Make24(4, 4, [](Integer x, Integer) { return Rgb(x * 40, 0, 0); });
  TLKBitmap dst(4, 8, lk24RGB);
  _ResampleLinearEx(src.get(), &dst);
  for (Integer y = 0; y < 8; ++y) EXPECT_EQ(RedRow(dst, y), (std::vector<int>{20, 60, 100, 120})) << y;
}

TEST_P(Resample, LinearVerticalFarRowStaysInsideThePicture) {
  // 1 x 2 to 1 x 4: row 2 starts on the last source row without being the
  // last destination row; its far neighbour is that row again.
  auto src = Make24(1, 2, [](Integer, Integer y) { return Rgb(y ? 200 : 100, 0, 0); });
  TLKBitmap dst(1, 4, lk24RGB);
  _ResampleLinearEx(src.get(), &dst);
  std::vector<int> column;
  for (Integer y = 0; y < 4; ++y) column.push_back(At(dst, 0, y).r);
  EXPECT_EQ(column, (std::vector<int>{100, 150, 200, 200}));
}

TEST_P(Resample, LinearEqualSizesCopy) {
  auto src = Make24(5, 3, [](Integer x, Integer y) { return Rgb(x * 50, y * 80, x * y * 7); });
  TLKBitmap dst(5, 3, lk24RGB);
  _ResampleLinearEx(src.get(), &dst);
  EXPECT_EQ(Pixels(dst), Pixels(*src));

  auto a = Make8(5, 3, [](Integer x, Integer y) { return x * 13 + y * 31; });
  TLKBitmap ad(5, 3, lk8g);
  _ResampleLinearAlpha(a.get(), &ad);
  EXPECT_EQ(Pixels(ad), Pixels(*a));

  // The 1-bit form leaves a 1-bit copy.
  auto b = Make1(11, 3, [](Integer x, Integer y) { return (x + y) % 3 == 0; });
  TLKBitmap bd(11, 3, lk24RGB);
  _ResampleLinear1BitEx(b.get(), &bd);
  EXPECT_EQ(bd.GetPixelFormat(), lk1g);
  EXPECT_EQ(Pixels(bd), Pixels(*b));
}

TEST_P(Resample, LinearAlphaMatchesTheColourForm) {
  auto grey = Make8(7, 5, [](Integer x, Integer y) { return (x * 37 + y * 11) & 255; });
  auto colour = Make24(7, 5, [](Integer x, Integer y) {
    const int v = (x * 37 + y * 11) & 255;
    return Rgb(v, v, v);
  });
  for (auto [w, h] : {std::pair{3, 9}, std::pair{13, 2}, std::pair{2, 2}}) {
    TLKBitmap g(w, h, lk8g), c(w, h, lk24RGB);
    _ResampleLinearAlpha(grey.get(), &g);
    _ResampleLinearEx(colour.get(), &c);
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) ASSERT_EQ(At8(g, x, y), At(c, x, y).r) << w << "x" << h << " " << x << "," << y;
  }
}

TEST_P(Resample, Linear1BitEnlargesByInterpolation) {
  // Black, white to 4 x 1: the same fractions as the colour form.
  auto src = Make1(2, 1, [](Integer x, Integer) { return x == 1; });
  TLKBitmap dst(4, 1, lk24RGB);
  _ResampleLinear1BitEx(src.get(), &dst);
  EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{0, 127, 255, 255}));
  EXPECT_EQ(At(dst, 1, 0), Rgb(127, 127, 127));
}

// ---------------------------------------------------------------------------
// Area resampling

TEST_P(Resample, AreaReductionIsTheTruncatedBlockMean) {
  const int v[4][4] = {{0, 1, 10, 20}, {2, 4, 30, 41}, {100, 100, 255, 255}, {101, 100, 255, 254}};
  auto src = Make24(4, 4, [&](Integer x, Integer y) { return Rgb(v[y][x], 255 - v[y][x], 7); });
  for (Integer mode : {0, 1}) {
    TLKBitmap dst(2, 2, lk24RGB);
    _LKQResample(src.get(), &dst, mode);
    EXPECT_EQ(RedRow(dst, 0), (std::vector<int>{1, 25})) << mode;       // 7/4, 101/4
    EXPECT_EQ(RedRow(dst, 1), (std::vector<int>{100, 254})) << mode;    // 401/4, 1019/4
    EXPECT_EQ(At(dst, 0, 0).g, 253) << mode;                            // 1013/4
  }
}

TEST_P(Resample, AreaKeepsFlatPicturesAndCopiesAtEqualSize) {
  auto flat = Make24(5, 4, [](Integer, Integer) { return Rgb(201, 3, 77); });
  auto busy = Make24(6, 5, [](Integer x, Integer y) { return Rgb(x * 40, y * 50, (x * y * 9) & 255); });
  for (Integer mode : {0, 1}) {
    for (auto [w, h] : {std::pair{17, 13}, std::pair{3, 2}, std::pair{9, 3}, std::pair{2, 11}, std::pair{1, 1}}) {
      TLKBitmap dst(w, h, lk24RGB);
      _LKQResample(flat.get(), &dst, mode);
      for (Integer y = 0; y < h; ++y)
        for (Integer x = 0; x < w; ++x) ASSERT_EQ(At(dst, x, y), Rgb(201, 3, 77)) << mode << " " << w << "x" << h;
    }
    TLKBitmap same(6, 5, lk24RGB);
    _LKQResample(busy.get(), &same, mode);
    EXPECT_EQ(Pixels(same), Pixels(*busy)) << mode;
  }
}

TEST_P(Resample, AreaAndFreeGivesTheSameResultAndFreesTheSource) {
  // Sources of several MB, so rows go back to the system along the way. The
  // wide ones hold whole 2 MiB pages in every row: a row given back before
  // its last reader shows in the result (only pictures in memory give rows
  // back, so file storage leaves them out).
  struct Case {
    const char* name;
    Integer w, h, w2, h2;
  };
  const Case cases[] = {{"both reduced", 1000, 3000, 900, 2700},
                        {"width enlarged", 1000, 3000, 1300, 2100},
                        {"wide rows reduced", 1400000, 10, 1260000, 8},
                        {"wide rows, height enlarged", 1400000, 5, 1100000, 13}};
  for (const Case& c : cases) {
    if (GetParam() == lkFile && c.h < 100) continue;
    auto make = [&] {
      return Make24(c.w, c.h, [](Integer x, Integer y) { return Rgb((x * 7) ^ y, (x + y * 3) & 255, (x * y) >> 5); });
    };
    auto keep = make();
    for (Integer mode : {0, 1}) {
      SCOPED_TRACE(std::string(c.name) + (mode ? " bicubic" : " bilinear"));
      TLKBitmap want(c.w2, c.h2, lk24RGB), got(c.w2, c.h2, lk24RGB);
      _LKQResample(keep.get(), &want, mode);
      auto src = make();
      LKQResampleAndFree(src.get(), &got, mode);
      EXPECT_TRUE(src->IsEmpty());
      EXPECT_EQ(Pixels(got), Pixels(want));
    }
  }
}

TEST_P(Resample, AreaHandlesOnePixelSources) {
  auto row = Make24(1, 7, [](Integer, Integer y) { return Rgb(y * 30, 0, 0); });
  auto col = Make24(7, 1, [](Integer x, Integer) { return Rgb(x * 30, 0, 0); });
  for (Integer mode : {0, 1}) {
    TLKBitmap a(5, 20, lk24RGB), b(20, 5, lk24RGB), c(1, 1, lk24RGB);
    _LKQResample(row.get(), &a, mode);
    _LKQResample(col.get(), &b, mode);
    _LKQResample(row.get(), &c, mode);
    EXPECT_EQ(At(a, 0, 0).r, At(a, 4, 0).r);  // one source column: rows stay flat
    EXPECT_LE(At(b, 19, 4).r, 180);
    EXPECT_EQ(At(c, 0, 0).r, 90);  // mean of 0, 30, ..., 180
  }
}

// ---------------------------------------------------------------------------
// Projection

TEST_P(Resample, ProjectionDecidesOnStrictThresholds) {
  struct Case {
    const char* name;
    TRGB dark;  // one pixel of the 2 x 2 block; the rest are (128, 128, 128)
    bool whiteOnBlack;
    bool expectSet;
  } cases[] = {
      {"127 darkens black on white", Rgb(127, 127, 127), false, false},
      {"128 alone stays white", Rgb(128, 128, 128), false, true},
      {"128 alone stays black", Rgb(128, 128, 128), true, false},
      {"129 lights white on black", Rgb(129, 129, 129), true, true},
      {"one channel at 128 decides nothing", Rgb(200, 128, 200), true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto src = Make24(2, 2, [&](Integer x, Integer y) { return x == 1 && y == 1 ? c.dark : Rgb(128, 128, 128); });
    TLKBitmap dst(1, 1, lk24RGB);
    _ResampleProject24Bit(src.get(), &dst, c.whiteOnBlack);
    ASSERT_EQ(dst.GetPixelFormat(), lk1g);
    EXPECT_EQ(dst.GetPixels_lk1g(0, 0), c.expectSet);
  }
}

TEST_P(Resample, ProjectionKeepsThinLinesUpToTheLastRowAndColumn) {
  // A one-pixel black line in the last column and one in the last row of
  // an 8 x 8 page must survive a reduction to 2 x 2.
  auto src = Make1(8, 8, [](Integer x, Integer y) { return x != 7 && y != 7; });
  TLKBitmap dst(2, 2, lk1g);
  _ResampleProject1Bit(src.get(), &dst, false);
  EXPECT_TRUE(dst.GetPixels_lk1g(0, 0));
  EXPECT_FALSE(dst.GetPixels_lk1g(1, 0));
  EXPECT_FALSE(dst.GetPixels_lk1g(0, 1));
  EXPECT_FALSE(dst.GetPixels_lk1g(1, 1));

  // White on black: one white dot anywhere lights its block only.
  auto dots = Make1(9, 6, [](Integer x, Integer y) { return x == 8 && y == 0; });
  TLKBitmap d2(3, 3, lk1g);
  _ResampleProject1Bit(dots.get(), &d2, true);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 3; ++x) EXPECT_EQ(d2.GetPixels_lk1g(x, y), x == 2 && y == 0) << x << "," << y;
}

TEST_P(Resample, ProjectionEnlargesEveryPixel) {
  auto src = Make1(3, 2, [](Integer x, Integer y) { return (x + y) % 2 == 0; });
  TLKBitmap dst(7, 5, lk1g);
  _ResampleProject1Bit(src.get(), &dst, false);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 7; ++x)
      EXPECT_EQ(dst.GetPixels_lk1g(x, y), src->GetPixels_lk1g(x * 3 / 7, y * 2 / 5)) << x << "," << y;
}

// ---------------------------------------------------------------------------
// 1-bit box reduction

TEST_P(Resample, BoxReductionBlocks) {
  struct Case {
    const char* name;
    Integer setX, setY;
    Integer w, h;
    std::vector<int> expectedRow0;
  } cases[] = {
      // Into 1 x 1 only rows and columns 0..2 are counted.
      {"far corner not counted", 3, 3, 1, 1, {0}},
      {"near corner one of nine", 0, 0, 1, 1, {28}},
      // Into 2 x 2: rows (and columns) 0..1 and 1..3.
      {"shared pixel counted twice", 1, 0, 2, 2, {63, 42}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto src = Make1(4, 4, [&](Integer x, Integer y) { return x == c.setX && y == c.setY; });
    TLKBitmap dst(c.w, c.h, lk24RGB);
    _SubResample1bitFilteredEx(src.get(), 0, 0, 3, 3, &dst);
    EXPECT_EQ(RedRow(dst, 0), c.expectedRow0);
  }
}

TEST_P(Resample, BoxReductionStaysInsideTheSource) {
  // A rectangle reaching past the picture is clamped; blocks never read
  // outside it (the sanitizer build checks the reads).
  auto src = Make1(9, 5, [](Integer, Integer) { return true; });
  TLKBitmap dst(2, 2, lk24RGB);
  Poison(dst, 7);
  _SubResample1bitFilteredEx(src.get(), -5, -5, 100, 100, &dst);
  EXPECT_EQ(At(dst, 1, 1), Rgb(255, 255, 255));
  TLKBitmap untouched(2, 2, lk24RGB);
  Poison(untouched, 7);
  _SubResample1bitFilteredEx(src.get(), 20, 0, 30, 4, &untouched);
  EXPECT_EQ(At(untouched, 0, 0), Rgb(7, 7, 7));
}

// ---------------------------------------------------------------------------
// Nearest-neighbour copy

TEST_P(Resample, StretchCopiesWholePixelsOfEveryFormat) {
  for (TLKPixelFormat f : {lk1g, lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab}) {
    SCOPED_TRACE(static_cast<int>(f));
    const Integer bytes = f == lk1g ? 1 : LKPixelFormatBitCount(f) / 8;
    auto src = Make(3, 2, f, [&](Integer x, Integer y, Byte* p) {
      for (Integer i = 0; i < bytes; ++i) p[i] = static_cast<Byte>(1 + x * 10 + y * 100 + i);
      if (f == lk1g) p[0] = (x + y) & 1;
    });
    TLKBitmap dst(2, 3, f);
    _LKBmpStretchEx(src.get(), &dst);
    // Columns 0 and 1 (Trunc(1.5 * 1) = 1); rows 0, 0, 1.
    TLKBitmap expected(2, 3, f);
    const Integer srcRow[3] = {0, 0, 1};
    for (Integer y = 0; y < 3; ++y) {
      auto* e = static_cast<Byte*>(expected.GetScanLine(y));
      std::memset(e, 0, static_cast<size_t>(expected.GetRowLen()));
      const auto* s = static_cast<const Byte*>(src->GetScanLine(srcRow[y]));
      if (f == lk1g) {
        for (Integer x = 0; x < 2; ++x) _SetPixelbw(e, x, static_cast<Integer>(_GetPixelbw(s, x)));
      } else {
        std::memcpy(e, s, static_cast<size_t>(bytes) * 2);
      }
    }
    EXPECT_EQ(Pixels(dst), Pixels(expected));
  }
}

TEST_P(Resample, StretchRefusesAnotherDestinationFormat) {
  // Copying 3-byte pixels into an 8-bit destination would overrun its rows.
  auto src = Make24(4, 4, [](Integer, Integer) { return Rgb(1, 2, 3); });
  TLKBitmap dst(16, 16, lk8g);
  Poison(dst, 9);
  _LKBmpStretchEx(src.get(), &dst);
  EXPECT_EQ(At8(dst, 15, 15), 9);
}

TEST(ResampleClassLibrary, StretchOfTBitmaps) {
  TBitmap src(3, 1, pf24bit);
  for (Integer x = 0; x < 3; ++x) src.ScanLine(0)[x * 3] = static_cast<Byte>(10 * (x + 1));
  TBitmap dst(6, 2, pf8bit);
  _LKBmpStretch(&src, &dst);
  ASSERT_EQ(dst.GetPixelFormat(), pf24bit);
  const Byte expected[6] = {10, 10, 20, 20, 30, 30};
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 6; ++x) EXPECT_EQ(dst.ScanLine(y)[x * 3], expected[x]);
}

// ---------------------------------------------------------------------------
// Progress and the source

TEST_P(Resample, ProgressRisesAndSourcesStayUnchanged) {
  auto src = Make24(9, 7, [](Integer x, Integer y) { return Rgb(x * 25, y * 30, 200); });
  const std::vector<Byte> before = Pixels(*src);
  struct Run {
    const char* name;
    std::function<void(const TLKProgressEvent&)> call;
  };
  TLKBitmap d1(4, 13, lk24RGB), d2(13, 4, lk24RGB), d3(3, 3, lk24RGB), d4(20, 2, lk24RGB);
  const Run runs[] = {
      {"linear", [&](const TLKProgressEvent& p) { _ResampleLinearEx(src.get(), &d1, p); }},
      {"area", [&](const TLKProgressEvent& p) { _LKQResample(src.get(), &d2, 1, p); }},
      {"projection", [&](const TLKProgressEvent& p) { _ResampleProject24Bit(src.get(), &d3, false, p); }},
      {"stretch", [&](const TLKProgressEvent& p) { _LKBmpStretchEx(src.get(), &d4, p); }},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    std::vector<Integer> seen;
    run.call([&](TObject*, Integer per) { seen.push_back(per); });
    ASSERT_FALSE(seen.empty());
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]);
    EXPECT_GE(seen.front(), 0);
    EXPECT_LE(seen.back(), 100);
    EXPECT_EQ(Pixels(*src), before);
  }
  EXPECT_TRUE(src->Access.Contains(lkdWrite));  // narrowed sets are given back
}

}  // namespace
