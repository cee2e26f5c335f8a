#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkquantizer.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

Integer L1(const TRGB& a, const TRGB& b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

void SetRow(TLKBitmap& bmp, Integer y, const std::vector<TRGB>& row) {
  std::copy(row.begin(), row.end(), static_cast<TRGB*>(bmp.GetScanLine(y)));
}

// An lk24RGB picture whose pixel (x, y) is colour(x, y).
template <typename Fn>
std::unique_ptr<TLKBitmap> MakePicture(Integer w, Integer h, Fn colour) {
  auto bmp = std::make_unique<TLKBitmap>(w, h, lk24RGB);
  std::vector<TRGB> row(w);
  for (Integer y = 0; y < h; ++y) {
    for (Integer x = 0; x < w; ++x) row[x] = colour(x, y);
    SetRow(*bmp, y, row);
  }
  bmp->FreeAllMaps();
  return bmp;
}

// Smooth colour gradients with seeded noise, like a small photograph.
std::unique_ptr<TLKBitmap> MakePhoto(Integer w, Integer h, unsigned seed = 7) {
  std::mt19937 rng(seed);
  return MakePicture(w, h, [&](Integer x, Integer y) {
    const int n = static_cast<int>(rng() % 17) - 8;
    return Rgb(blimit(x * 255 / w + n), blimit(y * 255 / h - n), blimit((x + y) * 127 / (w + h) + 64 + n));
  });
}

std::vector<TRGB> Pixels(TLKBitmap& bmp) {
  std::vector<TRGB> out;
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    const TRGB* p = static_cast<const TRGB*>(bmp.GetScanLine(y));
    out.insert(out.end(), p, p + bmp.GetWidth());
  }
  return out;
}

constexpr TRGB kUnwritten = {1, 2, 3};

// ---------------------------------------------------------------------------
// Grey and palette pictures

TEST(TLKQuantizer, GreyPictureGetsARamp) {
  auto bmp = MakePicture(8, 4, [](Integer x, Integer y) { return Rgb(x * 30, x * 30, x * 30); });
  std::vector<TRGB> pal(256, kUnwritten);
  TLKQuantizer q(bmp.get(), pal.data(), 255, 16);
  EXPECT_TRUE(q.GetGrayScale());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(pal[i], Rgb(16 * i, 16 * i, 16 * i)) << i;
  EXPECT_EQ(pal[16], kUnwritten);
  EXPECT_EQ(q.GetRGBIndex(Rgb(100, 100, 100)), 6);
  EXPECT_EQ(q.GetRGBIndex(Rgb(255, 255, 255)), 15);

  // A ramp whose step is not whole truncates: 0, 85, 170.
  TLKQuantizer three(bmp.get(), pal.data(), 255, 3);
  EXPECT_EQ(pal[1], Rgb(85, 85, 85));
  EXPECT_EQ(pal[2], Rgb(170, 170, 170));
  EXPECT_EQ(three.GetRGBIndex(Rgb(170, 170, 170)), 1);  // trunc(170 * 3 / 256)
}

TEST(TLKQuantizer, OtherGreyFormatsGetARamp) {
  TLKBitmap bmp(4, 4, lk16g);
  std::vector<TRGB> pal(4, kUnwritten);
  TLKQuantizer q(&bmp, pal.data(), 3, 4);
  EXPECT_TRUE(q.GetGrayScale());
  EXPECT_EQ(pal[3], Rgb(192, 192, 192));
  EXPECT_EQ(q.GetRGBIndex(Rgb(200, 0, 0)), 3);  // red only
}

TEST(TLKQuantizer, PalettePictureGivesItsOwnPalette) {
  TLKBitmap bmp(4, 4, lk8p);
  for (int i = 0; i < 256; ++i) bmp.SetPalette(i, Rgb(i, 255 - i, (i * 7) & 255));
  std::vector<TRGB> pal(256, kUnwritten);
  TLKQuantizer q(&bmp, pal.data(), 255, 256);
  EXPECT_FALSE(q.GetGrayScale());
  for (int i = 0; i < 256; ++i) ASSERT_EQ(pal[i], bmp.GetPalette(i)) << i;
  EXPECT_EQ(q.GetRGBIndex(bmp.GetPalette(77)), 77);
  EXPECT_EQ(q.GetRGBIndex(Rgb(1, 1, 1)), bmp.GetPaletteLen());  // absent
}

// A grey lk8p palette that is not a ramp: colours are looked up in the
// palette that was handed out, not by the ramp rule, which would point at
// entries holding other colours.
TEST(TLKQuantizer, GreyPalettePictureIsLookedUpInItsPalette) {
  TLKBitmap bmp(4, 4, lk8p);
  for (int i = 0; i < 256; ++i) bmp.SetPalette(i, Rgb(255 - i, 255 - i, 255 - i));
  std::vector<TRGB> pal(256);
  TLKQuantizer q(&bmp, pal.data(), 255, 256);
  EXPECT_TRUE(q.GetGrayScale());
  for (int v : {0, 1, 100, 255}) {
    const Integer idx = q.GetRGBIndex(Rgb(v, v, v));
    ASSERT_GE(idx, 0);
    EXPECT_EQ(pal[idx], Rgb(v, v, v)) << v;
  }
}

// ---------------------------------------------------------------------------
// Exact colours

TEST(TLKQuantizer, ExactColoursInOrderOfFirstAppearance) {
  for (int n : {5, 127, 200, 256}) {
    SCOPED_TRACE(n);
    // Colour k first appears at pixel 3k; the picture repeats them backwards.
    auto colour = [](int k) { return Rgb(k, 255 - k, (k * 37) & 255); };
    const Integer w = 3 * n;
    auto bmp = MakePicture(w, 3, [&](Integer x, Integer y) { return y == 0 ? colour(x / 3) : colour(n - 1 - x / 3); });
    std::vector<TRGB> pal(257, kUnwritten);
    TLKQuantizer q(bmp.get(), pal.data(), 256, n);
    ASSERT_TRUE(q.GetHasExactColors());
    for (int k = 0; k < n; ++k) {
      ASSERT_EQ(pal[k], colour(k));
      ASSERT_EQ(q.GetRGBIndex(colour(k)), k);
    }
    EXPECT_EQ(pal[n], kUnwritten);
    EXPECT_EQ(q.GetRGBIndex(Rgb(3, 3, 4)), -1);

    // A picture with fewer colours than asked for keeps the rest unchanged.
    std::vector<TRGB> big(256, kUnwritten);
    TLKQuantizer fewer(bmp.get(), big.data(), 255, 256);
    EXPECT_TRUE(fewer.GetHasExactColors());
    if (n < 256) {
      EXPECT_EQ(big[n], kUnwritten);
    }
  }
}

TEST(TLKQuantizer, OneColourTooManySwitchesToAReducedPalette) {
  // n + 1 distinct colours: median cut below 128 colours, NeuQuant above.
  for (int n : {16, 127, 128, 255}) {
    SCOPED_TRACE(n);
    auto bmp = MakePicture(n + 1, 2, [](Integer x, Integer y) { return Rgb(x, 255 - x, 40 + y * 100); });
    std::vector<TRGB> pal(256);
    TLKQuantizer q(bmp.get(), pal.data(), 255, n);
    EXPECT_FALSE(q.GetHasExactColors());
    EXPECT_EQ(q.GetMethod(), n < 128 ? TLKQuantizer::qmMedianCut : TLKQuantizer::qmNeuQuant);
  }
}

// ---------------------------------------------------------------------------
// Argument limits

TEST(TLKQuantizer, ColourCountIsLimitedToThePaletteAnd1To256) {
  auto photo = MakePhoto(64, 48);
  struct Case {
    Integer n, high, expected;
  } cases[] = {{0, 255, 1}, {-5, 255, 1}, {1000, 255, 256}, {256, 15, 16}, {256, 0, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    // The vector is exactly as long as the caller says; AddressSanitizer
    // catches any write past it.
    std::vector<TRGB> pal(static_cast<std::size_t>(c.high) + 1);
    TLKQuantizer q(photo.get(), pal.data(), c.high, c.n);
    EXPECT_EQ(q.GetColorCount(), c.expected);
    for (const TRGB& p : Pixels(*photo)) {
      const Integer idx = q.GetRGBIndex(p);
      ASSERT_GE(idx, 0);
      ASSERT_LT(idx, c.expected);
    }
  }
  TLKQuantizer none(photo.get(), nullptr, 255, 256);
  EXPECT_EQ(none.GetColorCount(), 0);
  EXPECT_EQ(none.GetRGBIndex(Rgb(1, 2, 3)), 0);
}

// A picture without pixels counts as grey and gets the ramp.
TEST(TLKQuantizer, EmptyPicture) {
  for (TLKPixelFormat f : {lknull, lk24RGB}) {
    TLKBitmap empty(0, 0, f);
    std::vector<TRGB> pal(256, kUnwritten);
    TLKQuantizer q(&empty, pal.data(), 255, 256);
    EXPECT_TRUE(q.GetGrayScale());
    EXPECT_EQ(pal[255], Rgb(255, 255, 255));
    EXPECT_EQ(q.GetRGBIndex(Rgb(1, 2, 3)), 1);
    TMedianCutState* st = CreateMedianCutQuantizer(&empty, pal.data(), 255, 16);
    EXPECT_EQ(st->BoxCount, 1);
    FreeMedianCutQuantizer(st);
  }
}

// ---------------------------------------------------------------------------
// Median cut

TEST(MedianCut, SingleColourMakesOneBox) {
  auto bmp = MakePicture(10, 10, [](Integer, Integer) { return Rgb(100, 150, 203); });
  std::vector<TRGB> pal(256, kUnwritten);
  TMedianCutState* st = CreateMedianCutQuantizer(bmp.get(), pal.data(), 255, 64);
  EXPECT_EQ(st->BoxCount, 1);
  EXPECT_EQ(pal[0], Rgb(96, 144, 200));  // 5-bit means times 8
  EXPECT_EQ(pal[1], kUnwritten);
  EXPECT_EQ(MedianCutFindIndex(st, Rgb(100, 150, 203)), 0);
  FreeMedianCutQuantizer(st);
}

TEST(MedianCut, TwoColoursMakeTwoBoxes) {
  auto bmp = MakePicture(10, 10, [](Integer x, Integer) { return x < 3 ? Rgb(16, 200, 40) : Rgb(240, 8, 40); });
  std::vector<TRGB> pal(256, kUnwritten);
  TMedianCutState* st = CreateMedianCutQuantizer(bmp.get(), pal.data(), 255, 8);
  ASSERT_EQ(st->BoxCount, 2);
  const Integer a = MedianCutFindIndex(st, Rgb(16, 200, 40)), b = MedianCutFindIndex(st, Rgb(240, 8, 40));
  EXPECT_NE(a, b);
  EXPECT_EQ(pal[a], Rgb(16, 200, 40));
  EXPECT_EQ(pal[b], Rgb(240, 8, 40));
  EXPECT_EQ(pal[2], kUnwritten);
  FreeMedianCutQuantizer(st);
}

// Boxes partition the colours of the picture: every pixel's cell lies in the
// bounds of the box it maps to, the boxes hold all pixels, and the palette
// entries are the boxes' means.
TEST(MedianCut, BoxesCoverThePicture) {
  auto photo = MakePhoto(120, 90);
  std::vector<TRGB> pal(256);
  TMedianCutState* st = CreateMedianCutQuantizer(photo.get(), pal.data(), 255, 64);
  ASSERT_EQ(st->BoxCount, 64);
  Int64 total = 0;
  for (Integer i = 0; i < st->BoxCount; ++i) total += st->Boxes[i].Count;
  EXPECT_EQ(total, 120 * 90);
  double error = 0;
  for (const TRGB& p : Pixels(*photo)) {
    const Integer i = MedianCutFindIndex(st, p);
    ASSERT_LT(i, st->BoxCount);
    const TMedianCutBox& box = st->Boxes[i];
    const Integer cell[3] = {p.r >> 3, p.g >> 3, p.b >> 3};
    for (int c = 0; c < 3; ++c) {
      ASSERT_GE(cell[c], box.Lower[c]);
      ASSERT_LT(cell[c], box.Upper[c]);
    }
    error += L1(p, pal[i]);
  }
  for (Integer i = 0; i < st->BoxCount; ++i) {
    EXPECT_EQ(pal[i].r % 8, 0);
    EXPECT_LE(pal[i].r, 248);
  }
  EXPECT_LT(error / (120 * 90), 30.0);  // a fair reduction of a noisy gradient
  FreeMedianCutQuantizer(st);
}

TEST(MedianCut, ClassLibraryBitmapGivesTheSameBoxes) {
  auto photo = MakePhoto(50, 40);
  TBitmap vcl(50, 40, pf24bit);
  for (Integer y = 0; y < 40; ++y)
    std::copy_n(static_cast<const Byte*>(photo->GetScanLine(y)), 150, vcl.ScanLine(y));
  std::vector<TRGB> a(256), b(256), c(256);
  TMedianCutState* sa = CreateMedianCutQuantizer(photo.get(), a.data(), 255, 32);
  TMedianCutState* sb = CreateMedianCutQuantizer(&vcl, b.data(), 255, 32);
  vcl.SetPixelFormat(pf32bit);  // read through a 24-bit copy
  TMedianCutState* sc = CreateMedianCutQuantizer(&vcl, c.data(), 255, 32);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(sa->BoxMap, sb->BoxMap);
  EXPECT_EQ(sa->BoxMap, sc->BoxMap);
  FreeMedianCutQuantizer(sa);
  FreeMedianCutQuantizer(sb);
  FreeMedianCutQuantizer(sc);
}

// Sizes above 65535 are kept whole (they once went through 16-bit fields).
TEST(MedianCut, WidePicture) {
  auto bmp = MakePicture(70000, 1, [](Integer x, Integer) { return x < 50000 ? Rgb(0, 0, 0) : Rgb(255, 255, 255); });
  std::vector<TRGB> pal(256);
  TMedianCutState* st = CreateMedianCutQuantizer(bmp.get(), pal.data(), 255, 4);
  EXPECT_EQ(st->Width, 70000);
  EXPECT_EQ(st->TotalPixels, 70000);
  ASSERT_EQ(st->BoxCount, 2);
  EXPECT_EQ(st->Boxes[0].Count + st->Boxes[1].Count, 70000);
  FreeMedianCutQuantizer(st);
}

// ---------------------------------------------------------------------------
// NeuQuant

TEST(NeuQuant, SampleFactor) {
  struct Case {
    Int64 pixels;
    Integer quality, expected;
  } cases[] = {
      {1000 * 1000, -1, 30},  // 89.66 -> 90, limited to 30
      {200 * 200, -1, 5},     // 5.34
      {1999, -1, 1},          {2000, -1, 2},
      {Int64{200000} * 1000, -1, 30},  // the product no longer fits 32 bits
      {500, 100, 1},          {500, 0, 30},
      {500, 50, 15},          {500, 250, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(NeuQuantSampleFactor(c.pixels, c.quality), c.expected) << c.pixels;
}

// The index search returns a palette colour at the smallest L1 distance, for
// every colour of the picture and for colours it does not contain.
TEST(NeuQuant, SearchIsTheNearestPaletteColour) {
  auto photo = MakePhoto(160, 120);
  std::vector<TRGB> pal(256);
  TLKQuantizer q(photo.get(), pal.data(), 255, 256);
  ASSERT_EQ(q.GetMethod(), TLKQuantizer::qmNeuQuant);
  std::set<DWORD> distinct;
  for (const TRGB& p : pal) distinct.insert(p.r << 16 | p.g << 8 | p.b);
  EXPECT_GT(distinct.size(), 200u);

  std::vector<TRGB> probes = Pixels(*photo);
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; ++i) probes.push_back(Rgb(rng() & 255, rng() & 255, rng() & 255));
  for (int v : {0, 255}) probes.push_back(Rgb(v, v, v));
  double error = 0;
  for (const TRGB& p : probes) {
    const Integer idx = q.GetRGBIndex(p);
    ASSERT_GE(idx, 0);
    ASSERT_LT(idx, 256);
    Integer best = 1 << 30;
    for (const TRGB& e : pal) best = std::min(best, L1(p, e));
    ASSERT_EQ(L1(p, pal[idx]), best) << int(p.r) << "," << int(p.g) << "," << int(p.b);
  }
  for (const TRGB& p : Pixels(*photo)) error += L1(p, pal[q.GetRGBIndex(p)]);
  EXPECT_LT(error / (160 * 120), 25.0);
}

// Fewer pixels than the walk's step: every sample index still lands inside
// the picture.
TEST(NeuQuant, TinyPictures) {
  for (Integer w : {1, 7, 21}) {
    auto bmp = MakePicture(w, 20, [&](Integer x, Integer y) { return Rgb(x * 12, y * 13, (x * y) & 255); });
    std::vector<TRGB> pal(256);
    TLKQuantizer q(bmp.get(), pal.data(), 255, 128);
    if (w * 20 <= 128) {
      EXPECT_TRUE(q.GetHasExactColors());
      continue;
    }
    ASSERT_EQ(q.GetMethod(), TLKQuantizer::qmNeuQuant);
    for (const TRGB& p : Pixels(*bmp)) ASSERT_LT(q.GetRGBIndex(p), 128);
  }
}

TEST(NeuQuant, QualityChangesTheSampling) {
  auto photo = MakePhoto(100, 100);
  std::vector<TRGB> fine(256), coarse(256), again(256);
  TLKQuantizer a(photo.get(), fine.data(), 255, 256, 100);
  TLKQuantizer b(photo.get(), coarse.data(), 255, 256, 0);
  TLKQuantizer c(photo.get(), again.data(), 255, 256, 100);
  EXPECT_NE(fine, coarse);
  EXPECT_EQ(fine, again);  // deterministic
}

// ---------------------------------------------------------------------------
// Storage

// Every method reads rows only; a picture in a temporary file gives the same
// palettes and indexes as one in memory.
TEST(TLKQuantizer, FileStorageGivesTheSameResult) {
  struct Case {
    const char* name;
    Integer n;
    Integer w, h;
  } cases[] = {{"exact", 256, 12, 10}, {"median cut", 50, 90, 70}, {"NeuQuant", 256, 90, 70}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TLKBitmap> mem, file;
    {
      MinFileSizeGuard g(1 << 30);
      mem = MakePhoto(c.w, c.h, 11);
    }
    {
      MinFileSizeGuard g(1);
      file = MakePhoto(c.w, c.h, 11);
    }
    ASSERT_EQ(mem->GetLocation(), lkMemory);
    ASSERT_EQ(file->GetLocation(), lkFile);
    std::vector<TRGB> pm(256), pf(256);
    TLKQuantizer qm(mem.get(), pm.data(), 255, c.n);
    TLKQuantizer qf(file.get(), pf.data(), 255, c.n);
    EXPECT_EQ(qm.GetMethod(), qf.GetMethod());
    EXPECT_EQ(pm, pf);
    for (const TRGB& p : Pixels(*mem)) ASSERT_EQ(qm.GetRGBIndex(p), qf.GetRGBIndex(p));
  }
}

}  // namespace
