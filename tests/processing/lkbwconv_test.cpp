#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkbwconv.h"
#include "processing/lkprocutils.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

template <typename Fn>
void Paint24(TLKBitmap& bmp, Fn colour) {
  for (Integer y = 0; y < bmp.GetHeight(); ++y)
    for (Integer x = 0; x < bmp.GetWidth(); ++x) bmp.SetPixels_lk24RGB(x, y, colour(x, y));
  bmp.FreeAllMaps();
}

Integer Grey(const TRGB& c) { return (c.r * 21 + c.g * 71 + c.b * 8) / 100; }

// Each test runs on pictures in memory and in temporary files (every new
// bitmap, results included, follows the storage of the run).
class BWConv : public ::testing::TestWithParam<TLKLocation> {
 protected:
  void SetUp() override { guard_ = std::make_unique<MinFileSizeGuard>(GetParam() == lkFile ? 1 : 1 << 30); }
  std::unique_ptr<TLKBitmap> New(Integer w, Integer h, TLKPixelFormat f) {
    auto bmp = std::make_unique<TLKBitmap>(w, h, f);
    EXPECT_EQ(bmp->GetLocation(), GetParam());
    return bmp;
  }
  std::unique_ptr<MinFileSizeGuard> guard_;
  TProgressRec progress_;
};

// ---------------------------------------------------------------------------
// Ordered dither

TEST_P(BWConv, OrderedDitherFollowsThePatternByColumnThenRow) {
  struct Case {
    const char* name;
    TRGB colour;
    Integer level;
  } cases[] = {
      {"all above 250", Rgb(251, 251, 251), 64},
      {"255,255,250", Rgb(255, 255, 250), 63},  // grey 254
      {"grey 128", Rgb(128, 128, 128), 32},
      {"grey 160", Rgb(160, 160, 160), 40},
      {"black", Rgb(0, 0, 0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bmp = New(19, 11, lk24RGB);
    Paint24(*bmp, [&](Integer, Integer) { return c.colour; });
    _ConvertToBWOrdered(bmp.get(), progress_);
    ASSERT_EQ(bmp->GetPixelFormat(), lk1g);
    ASSERT_EQ(bmp->GetWidth(), 19);
    int white = 0;
    for (Integer y = 0; y < 11; ++y)
      for (Integer x = 0; x < 19; ++x) {
        const bool expected = c.level > BWORDERPATTERN[x % 8][y % 8];
        ASSERT_EQ(bmp->GetPixels_lk1g(x, y), expected) << x << "," << y;
        white += expected;
      }
    if (c.level == 64) {
      EXPECT_EQ(white, 19 * 11);
    }
  }
  // (255, 255, 250) is black exactly where the pattern holds 63.
  auto bmp = New(16, 16, lk24RGB);
  Paint24(*bmp, [](Integer, Integer) { return Rgb(255, 255, 250); });
  _ConvertToBWOrdered(bmp.get(), progress_);
  for (Integer y = 0; y < 16; ++y)
    for (Integer x = 0; x < 16; ++x) EXPECT_EQ(bmp->GetPixels_lk1g(x, y), !(x % 8 == 7 && y % 8 == 0));
}

TEST_P(BWConv, OnlyTrueColourIsConverted) {
  for (TLKPixelFormat f : {lk8g, lk8p, lk48RGB, lk1g}) {
    auto bmp = New(9, 3, f);
    std::memset(bmp->GetScanLine(1), 0x5A, static_cast<std::size_t>(bmp->GetRowLen()));
    _ConvertToBWOrdered(bmp.get(), progress_);
    _ConvertToBWThreshold(bmp.get(), 100, progress_);
    EXPECT_EQ(bmp->GetPixelFormat(), f);
    EXPECT_EQ(static_cast<const Byte*>(bmp->GetScanLine(1))[0], 0x5A);
  }
}

// ---------------------------------------------------------------------------
// Thresholds

TEST_P(BWConv, FixedThreshold) {
  const TRGB colours[] = {Rgb(0, 0, 0), Rgb(100, 100, 100), Rgb(99, 100, 100), Rgb(255, 0, 0), Rgb(0, 255, 0),
                          Rgb(255, 255, 255), Rgb(10, 150, 250), Rgb(101, 99, 100)};
  for (Integer t : {0, 1, 53, 100, 181, 255, 256}) {
    SCOPED_TRACE(t);
    auto bmp = New(8, 2, lk24RGB);
    Paint24(*bmp, [&](Integer x, Integer) { return colours[x]; });
    _ConvertToBWThreshold(bmp.get(), t, progress_);
    ASSERT_EQ(bmp->GetPixelFormat(), lk1g);
    for (Integer x = 0; x < 8; ++x) EXPECT_EQ(bmp->GetPixels_lk1g(x, 1), Grey(colours[x]) >= t) << x;
  }
}

TEST_P(BWConv, ThresholdFromChannelMeans) {
  auto bmp = New(4, 1, lk24RGB);
  const TRGB colours[] = {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(120, 120, 120), Rgb(140, 140, 140)};
  Paint24(*bmp, [&](Integer x, Integer) { return colours[x]; });  // means 128
  _ConvertToBWThreshold(bmp.get(), -1, progress_);
  const bool expected[] = {false, true, false, true};
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(bmp->GetPixels_lk1g(x, 0), expected[x]) << x;
}

TEST_P(BWConv, MaximumEntropyThreshold) {
  // One grey level: no split, everything white.
  auto flat = New(7, 5, lk24RGB);
  Paint24(*flat, [](Integer, Integer) { return Rgb(30, 30, 30); });
  _ConvertToBWThreshold(flat.get(), -2, progress_);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 7; ++x) ASSERT_TRUE(flat->GetPixels_lk1g(x, y));

  // Two clusters of levels are separated between them.
  auto two = New(40, 10, lk24RGB);
  Paint24(*two, [](Integer x, Integer y) {
    const int v = x < 12 ? 40 + (x + y) % 5 : 190 + (x * y) % 7;
    return Rgb(v, v, v);
  });
  _ConvertToBWThreshold(two.get(), -2, progress_);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 40; ++x) ASSERT_EQ(two->GetPixels_lk1g(x, y), x >= 12) << x << "," << y;
}

// Every source format is turned into the colour the buffer's own GetPixels
// gives, then thresholded.
TEST_P(BWConv, ThresholdExReadsEveryFormat) {
  std::mt19937 rng(5);
  for (TLKPixelFormat f : {lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab}) {
    SCOPED_TRACE(static_cast<int>(f));
    auto src = New(13, 4, f);
    if (f == lk8p)
      for (int i = 0; i < 256; ++i) src->SetPalette(i, Rgb(i, (i * 3) & 255, 255 - i));
    for (Integer y = 0; y < 4; ++y) {
      Byte* row = static_cast<Byte*>(src->GetScanLine(y));
      for (Integer i = 0; i < src->GetRowLen(); ++i) row[i] = static_cast<Byte>(rng());
      if (f == lk32f)
        for (Integer x = 0; x < 13; ++x) reinterpret_cast<float*>(row)[x] = static_cast<float>(rng() % 1000) / 999.0f;
    }
    src->FreeAllMaps();
    auto dst = New(13, 4, lk1g);
    _ConvertToBWThresholdEx(src.get(), dst.get(), 120, progress_);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 13; ++x)
        ASSERT_EQ(dst->GetPixels_lk1g(x, y), Grey(src->GetPixels(x, y)) >= 120) << x << "," << y;
  }
}

TEST_P(BWConv, ThresholdExCopiesOneBitSourcesAndSizesTheDestination) {
  auto src = New(11, 3, lk1g);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 11; ++x) src->SetPixels_lk1g(x, y, (x + y) % 3 == 0);
  auto dst = New(2, 2, lk24RGB);
  _ConvertToBWThresholdEx(src.get(), dst.get(), -2, progress_);
  ASSERT_EQ(dst->GetPixelFormat(), lk1g);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 11; ++x) EXPECT_EQ(dst->GetPixels_lk1g(x, y), (x + y) % 3 == 0);

  // A destination of the wrong size or format is given the right one.
  auto colour = New(21, 5, lk24RGB);
  Paint24(*colour, [](Integer x, Integer) { return x < 10 ? Rgb(0, 0, 0) : Rgb(255, 255, 255); });
  _ConvertToBWThresholdEx(colour.get(), dst.get(), 128, progress_);
  ASSERT_EQ(dst->GetWidth(), 21);
  ASSERT_EQ(dst->GetHeight(), 5);
  EXPECT_FALSE(dst->GetPixels_lk1g(9, 4));
  EXPECT_TRUE(dst->GetPixels_lk1g(20, 4));
}

TEST_P(BWConv, ProgressPerRow) {
  auto bmp = New(5, 4, lk24RGB);
  Paint24(*bmp, [](Integer, Integer) { return Rgb(9, 9, 9); });
  std::vector<Integer> seen;
  TProgressRec rec;
  rec.OnProgress = [&](TObject*, Integer per) { seen.push_back(per); };
  _ConvertToBWThreshold(bmp.get(), 1, rec);
  EXPECT_EQ(seen, (std::vector<Integer>{22, 44, 66, 88}));  // trunc((row + 1) * 100 / 4.5)
  seen.clear();
  TLKBitmap out;
  _Conv1to24Ex(bmp.get(), &out, rec);
  EXPECT_EQ(seen, (std::vector<Integer>{22, 44, 66, 88}));
}

// ---------------------------------------------------------------------------
// 1-bit to 24-bit

TEST(ConvRow1To24, TableAndPartialBytes) {
  EXPECT_EQ(C1TO24[0x80][0], 255);
  EXPECT_EQ(C1TO24[0x80][3], 0);
  EXPECT_EQ(C1TO24[0x01][21], 255);
  const Byte src[2] = {0xA5, 0x40};
  Byte dst[40];
  std::memset(dst, 0x77, sizeof dst);
  _ConvRow1To24(src, dst, 10);
  const int bits[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
  for (int x = 0; x < 10; ++x)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(dst[x * 3 + c], bits[x] ? 255 : 0) << x;
  EXPECT_EQ(dst[30], 0x77);  // 30 bytes written, no more
  _ConvRow1To24(src, dst, 0);
  EXPECT_EQ(dst[0], 255);
}

TEST_P(BWConv, OneBitToTrueColour) {
  auto src = New(13, 3, lk1g);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 13; ++x) src->SetPixels_lk1g(x, y, (x * y) % 2 == 1);
  auto dst = New(1, 1, lk8g);
  _Conv1to24Ex(src.get(), dst.get(), progress_);
  ASSERT_EQ(dst->GetPixelFormat(), lk24RGB);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 13; ++x)
      EXPECT_EQ(dst->GetPixels_lk24RGB(x, y), (x * y) % 2 == 1 ? Rgb(255, 255, 255) : Rgb(0, 0, 0));
  // Only lk1g sources, and never into themselves.
  _Conv1to24Ex(dst.get(), src.get(), progress_);
  EXPECT_EQ(src->GetPixelFormat(), lk1g);
  _Conv1to24Ex(src.get(), src.get(), progress_);
  EXPECT_EQ(src->GetPixelFormat(), lk1g);
}

TEST(Conv1to24, ClassLibraryBitmaps) {
  TBitmap src(11, 2, pf1bit);
  std::memset(src.ScanLine(0), 0, src.RowBytes());
  std::memset(src.ScanLine(1), 0, src.RowBytes());
  src.ScanLine(1)[1] = 0x20;  // pixel 10
  TBitmap dst(3, 3, pf8bit);
  TProgressRec rec;
  _Conv1to24(&src, &dst, rec);
  ASSERT_EQ(dst.GetPixelFormat(), pf24bit);
  ASSERT_EQ(dst.GetWidth(), 11);
  ASSERT_EQ(dst.GetHeight(), 2);
  EXPECT_EQ(dst.ScanLine(1)[30], 255);
  EXPECT_EQ(dst.ScanLine(1)[27], 0);
  EXPECT_EQ(dst.ScanLine(0)[30], 0);
  TBitmap notMono(4, 4, pf24bit);
  _Conv1to24(&notMono, &dst, rec);
  EXPECT_EQ(dst.GetWidth(), 11);
}

// ---------------------------------------------------------------------------
// Measurements

TEST_P(BWConv, ChannelMeansPerFormat) {
  struct Case {
    const char* name;
    TLKPixelFormat format;
    Integer w, h;
    std::function<void(TLKBitmap&)> fill;
    Integer r, g, b;
  } cases[] = {
      {"reds 10 20 31", lk24RGB, 3, 1,
       [](TLKBitmap& b) {
         for (Integer x = 0; x < 3; ++x) b.SetPixels_lk24RGB(x, 0, Rgb(x == 0 ? 10 : x == 1 ? 20 : 31, 0, 7));
       },
       20, 0, 7},
      // Row means (0 and 1) are truncated before the rows are averaged.
      {"row means", lk8g, 2, 2,
       [](TLKBitmap& b) {
         b.SetPixels_lk8(0, 0, 0), b.SetPixels_lk8(1, 0, 1), b.SetPixels_lk8(0, 1, 1), b.SetPixels_lk8(1, 1, 2);
       },
       0, 0, 0},
      {"lk1g", lk1g, 4, 1,
       [](TLKBitmap& b) {
         for (Integer x = 0; x < 4; ++x) b.SetPixels_lk1g(x, 0, x != 0);
       },
       191, 191, 191},
      {"lk16g", lk16g, 2, 1, [](TLKBitmap& b) { b.SetPixels_lk16g(0, 0, 0xFFFF), b.SetPixels_lk16g(1, 0, 0x1FF); },
       128, 128, 128},
      {"lk32f", lk32f, 2, 1, [](TLKBitmap& b) { b.SetPixels_lk32f(0, 0, 1.5f), b.SetPixels_lk32f(1, 0, 0.5f); },
       254, 254, 254},  // (382 + 127) div 2, not wrapped into a byte
      {"lk48RGB", lk48RGB, 2, 1,
       [](TLKBitmap& b) {
         b.SetPixels_lk48RGB(0, 0, TRGB48{65535, 257, 256}), b.SetPixels_lk48RGB(1, 0, TRGB48{65535, 257, 256});
       },
       255, 1, 0},
      {"lk8p", lk8p, 2, 1,
       [](TLKBitmap& b) {
         b.SetPalette(3, Rgb(200, 100, 50)), b.SetPalette(4, Rgb(0, 50, 250));
         b.SetPixels_lk8(0, 0, 3), b.SetPixels_lk8(1, 0, 4);
       },
       100, 75, 150},
      {"lkCMYK", lkCMYK, 1, 1, [](TLKBitmap& b) { b.SetPixels_lkCMYK(0, 0, TCMYK{255, 128, 0, 200}); },
       LKCMYK2RGB(TCMYK{255, 128, 0, 200}).r, LKCMYK2RGB(TCMYK{255, 128, 0, 200}).g,
       LKCMYK2RGB(TCMYK{255, 128, 0, 200}).b},
      {"lkCIELab", lkCIELab, 1, 1, [](TLKBitmap& b) { b.SetPixels_lkCIELab(0, 0, TCIELab{128, 20, -30}); },
       LKCIELAB2RGB(TCIELab{128, 20, -30}).r, LKCIELAB2RGB(TCIELab{128, 20, -30}).g,
       LKCIELAB2RGB(TCIELab{128, 20, -30}).b},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bmp = New(c.w, c.h, c.format);
    c.fill(*bmp);
    Integer r = -1, g = -1, b = -1;
    _GetMediaContrastRGB(bmp.get(), r, g, b);
    EXPECT_EQ(r, c.r);
    EXPECT_EQ(g, c.g);
    EXPECT_EQ(b, c.b);
  }
  TLKBitmap empty;
  Integer r = -1, g = -1, b = -1;
  _GetMediaContrastRGB(&empty, r, g, b);
  EXPECT_EQ(r + g + b, 0);
}

TEST_P(BWConv, LuminanceHistogramPerFormat) {
  Integer hist[256];
  auto one = New(10, 2, lk1g);
  for (Integer x = 0; x < 10; ++x) one->SetPixels_lk1g(x, 0, x < 3), one->SetPixels_lk1g(x, 1, false);
  _GetLuminanceHistogram(one.get(), hist);
  EXPECT_EQ(hist[0], 17);
  EXPECT_EQ(hist[1], 3);
  EXPECT_EQ(hist[255], 0);

  auto rgb = New(3, 1, lk24RGB);
  Paint24(*rgb, [](Integer x, Integer) { return x == 0 ? Rgb(255, 255, 250) : Rgb(100, 0, 0); });
  _GetLuminanceHistogram(rgb.get(), hist);
  EXPECT_EQ(hist[254], 1);
  EXPECT_EQ(hist[21], 2);

  auto deep = New(2, 1, lk48RGB);
  deep->SetPixels_lk48RGB(0, 0, TRGB48{0xFFFF, 0x80FF, 0x00FF});
  deep->SetPixels_lk48RGB(1, 0, TRGB48{0, 0, 0xFF00});
  _GetLuminanceHistogram(deep.get(), hist);
  EXPECT_EQ(hist[(255 * 21 + 128 * 71) / 100], 1);
  EXPECT_EQ(hist[255 * 8 / 100], 1);

  auto flt = New(3, 1, lk32f);
  flt->SetPixels_lk32f(0, 0, 0.5f);
  flt->SetPixels_lk32f(1, 0, 1.5f);  // low byte of 382
  flt->SetPixels_lk32f(2, 0, -1.0f);
  _GetLuminanceHistogram(flt.get(), hist);
  EXPECT_EQ(hist[127], 1);
  EXPECT_EQ(hist[126], 1);
  EXPECT_EQ(hist[1], 1);  // low byte of -255

  auto g16 = New(2, 1, lk16g);
  g16->SetPixels_lk16g(0, 0, 0x1234);
  g16->SetPixels_lk16g(1, 0, 0xFFFF);
  _GetLuminanceHistogram(g16.get(), hist);
  EXPECT_EQ(hist[0x12], 1);
  EXPECT_EQ(hist[255], 1);
}

INSTANTIATE_TEST_SUITE_P(Storage, BWConv, ::testing::Values(lkMemory, lkFile),
                         [](const auto& info) { return info.param == lkMemory ? "Memory" : "File"; });

}  // namespace
