// Morphology of 24-bit and 1-bit pictures and the Fourier-transform image.
#include <gtest/gtest.h>

#include <cmath>

#include "processing/lkfft.h"
#include "processing/lkmorph.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

constexpr TRGB kWhite{255, 255, 255}, kBlack{0, 0, 0};

TEST(Morph, GreyOrderMovesWholePixels) {
  // Maximum of a single white pixel: a 3x3 white square; minimum of a black
  // one in white: a 3x3 black square.
  for (const auto& [ground, dot, op] : {std::tuple{kBlack, kWhite, 0}, std::tuple{kWhite, kBlack, 1}}) {
    TLKBitmap b(7, 7, lk24RGB);
    b.Fill(TRGB2TColor(ground));
    b.SetPixels_lk24RGB(3, 3, dot);
    _MorphFilter(&b, 1, op, 0, 0, 7, 7, {}, nullptr);
    for (Integer y = 0; y < 7; ++y)
      for (Integer x = 0; x < 7; ++x)
        ASSERT_EQ(b.GetPixels(x, y), (std::abs(x - 3) <= 1 && std::abs(y - 3) <= 1) ? dot : ground);
  }
  // Ties go to the first pixel met, upper row first, then left column:
  // two colours of the same grey level at (2, 0) and (0, 1).
  TLKBitmap t(3, 3, lk24RGB);
  t.Fill(0);
  const TRGB p{100, 100, 100}, q{101, 100, 100};
  ASSERT_EQ(_RGBToGray(p), _RGBToGray(q));
  t.SetPixels_lk24RGB(2, 0, p);
  t.SetPixels_lk24RGB(0, 1, q);
  _MorphFilter(&t, 1, 0, 0, 0, 3, 3, {}, nullptr);
  EXPECT_EQ(t.GetPixels(1, 1), p);
  EXPECT_EQ(t.GetPixels(0, 2), q);
  // Grey all 0 although the colours differ: every centre wins; op 4 and a
  // negative window do nothing.
  TLKBitmap z(4, 3, lk24RGB);
  z.Fill(0);
  z.SetPixels_lk24RGB(1, 1, TRGB{0, 0, 1});
  TLKBitmap before;
  before.Assign(&z);
  _MorphFilter(&z, 1, 0, 0, 0, 4, 3, {}, nullptr);
  _MorphFilter(&z, 1, 4, 0, 0, 4, 3, {}, nullptr);
  _MorphFilter(&z, -1, 1, 0, 0, 4, 3, {}, nullptr);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) ASSERT_EQ(z.GetPixels(x, y), before.GetPixels(x, y));
}


TEST(Morph, OneBitComponentOperations) {
  const std::vector<std::string> speck = {"#####...", "#####...", "#####...", "#####.#.", "#####...", "........"};
  const std::vector<std::string> hole = {"........", "........", "..####..", "..#.##..", "..####..", "........", "........"};
  struct Case {
    const char* name;
    void (TLumerakProc::*op)(Integer);
    Integer n;
    std::vector<std::string> in, out;
  } cases[] = {
      // Window 0: nothing changes, not even the picture's edge.
      {"Maximum 0", &TLumerakProc::Maximum, 0, speck, speck},
      // Opening removes the speck, the black block touching the edge stays.
      {"Opening 3", &TLumerakProc::Opening, 3, speck,
       {"#####...", "#####...", "#####...", "#####...", "#####...", "........"}},
      // Closing fills the hole.
      {"Closing 3", &TLumerakProc::Closing, 3, hole,
       {"........", "........", "..####..", "..####..", "..####..", "........", "........"}},
      // Ink at the picture's edge is not eaten away by erosion.
      {"Minimum 3", &TLumerakProc::Minimum, 3, {"####", "####", "####"}, {"####", "####", "####"}},
  };
  for (const Case& c : cases) {
    TLKBitmap b;
    DrawBits(&b, c.in);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    (proc.*c.op)(c.n);
    EXPECT_EQ(BitsText(&b), c.out) << c.name;
    EXPECT_EQ(proc.GetUndoCaptions(0), c.name);
  }
  // Other formats: only the undo entry.
  TLKBitmap g(5, 5, lk8g);
  FillDistinct(&g);
  TLKBitmap before;
  before.Assign(&g);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&g);
  proc.Maximum(3);
  EXPECT_EQ(g.GetPixelFormat(), lk8g);
  EXPECT_EQ(PixelBytes(&g, 2, 2), PixelBytes(&before, 2, 2));
  EXPECT_EQ(proc.GetUndoCaptions(0), "Maximum 3");
}

TEST(FtImage, SizesOffsetsAndRoundTrip) {
  TLKBitmap big(300, 200, lk24RGB);
  big.Fill(0);
  TLKFtImage ft;
  ft.BuildFT(&big, lkitGrayscale);
  EXPECT_EQ(ft.GetSize(), 512);
  EXPECT_EQ(ft.GetOffsetX(), 106);
  EXPECT_EQ(ft.GetOffsetY(), 156);

  // Forward then inverse: each channel stretched over the square, so a
  // channel reaching 0 (the border) and 255 comes back within one level.
  TLKBitmap b(13, 9, lk24RGB);
  FillDistinct(&b, 4);
  b.SetPixels_lk24RGB(0, 0, kWhite);
  TLKBitmap before;
  before.Assign(&b);
  for (TLKFtImageType type : {lkitRGB, lkitGrayscale}) {
    TLKFtImage f;
    std::vector<Integer> progress;
    f.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
    f.BuildFT(&before, type);
    ASSERT_EQ(f.GetSize(), 16);
    f.BuildBitmap(&b);
    ASSERT_EQ(b.GetWidth(), 13);
    ASSERT_EQ(b.GetHeight(), 9);
    for (Integer y = 0; y < 9; ++y)
      for (Integer x = 0; x < 13; ++x) {
        const TRGB s = before.GetPixels(x, y), r = b.GetPixels(x, y);
        if (type == lkitRGB) {
          EXPECT_NEAR(r.r, s.r, 1);
          EXPECT_NEAR(r.g, s.g, 1);
          EXPECT_NEAR(r.b, s.b, 1);
        } else {
          EXPECT_NEAR(r.g, LKTrunc(_RGBToGray(s) * 255.0 / 255), 1);
        }
      }
    EXPECT_FALSE(progress.empty());
    TLKBitmap spectrum;
    f.GetFTImage(&spectrum);
    EXPECT_EQ(spectrum.GetWidth(), 16);
    EXPECT_EQ(spectrum.GetPixelFormat(), lk24RGB);
  }
}

TEST(FtImage, PassFiltersAndZones) {
  TLKBitmap b(8, 8, lk24RGB);
  FillDistinct(&b);
  TLKFtImage ft;
  ft.BuildFT(&b, lkitGrayscale);
  auto nonzero = [](TLKFtImage& f) {
    Integer n = 0;
    for (Integer y = 0; y < f.GetSize(); ++y)
      for (Integer x = 0; x < f.GetSize(); ++x) {
        const TLKComplexPixel c = f.GetComplexImage(x, y);
        n += *c.GrayRe != 0 || *c.GrayIm != 0;
        EXPECT_EQ(c.RedRe, nullptr);
      }
    return n;
  };
  TLKFtImage hi, lo;
  hi.Assign(&ft);
  lo.Assign(&ft);
  const Integer all = nonzero(ft);
  hi.HiPass(0);
  lo.LoPass(0);
  EXPECT_EQ(nonzero(hi), all - 1);
  EXPECT_EQ(nonzero(lo), 1);
  EXPECT_NE(*lo.GetComplexImage(4, 4).GrayRe, 0.0f);  // the mean, at the centre
  // Zones are cut to the square; outside it there is no coefficient.
  ft.ClearZone(-5, -5, 100, 1);
  EXPECT_EQ(nonzero(ft), all - 16);
  EXPECT_EQ(ft.GetComplexImage(8, 0).GrayRe, nullptr);
  ft.ClearZone(3, 3, 2, 2);
  EXPECT_EQ(nonzero(ft), all - 16);
}

TEST(FtImage, MemoryIsCheckedBeforeAnyWork) {
  // 24 MP: N = 8192, 512 MiB per plane, planes plus one working copy.
  EXPECT_EQ(TLKFtImage::BytesNeeded(6000, 4000, lkitRGB), Int64{4} * 512 * 1024 * 1024);
  EXPECT_EQ(TLKFtImage::BytesNeeded(6000, 4000, lkitGrayscale), Int64{2} * 512 * 1024 * 1024);
  EXPECT_EQ(TLKFtImage::BytesNeeded(6000, 4000, lkitUnknown), 0);
  // A thin picture whose square no machine here holds is refused with the
  // figures, and the image stays empty.
  TLKBitmap thin(100000, 1, lk24RGB);
  thin.Fill(0);
  TLKFtImage ft;
  try {
    ft.BuildFT(&thin, lkitRGB);
    ADD_FAILURE() << "accepted";
  } catch (const EOutOfMemory& e) {
    EXPECT_NE(std::string(e.what()).find("131072 x 131072"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ft.GetImageType(), lkitUnknown);
  TLKBitmap out;
  ft.BuildBitmap(&out);
  EXPECT_TRUE(out.IsEmpty());
}

TEST(FtImage, ComponentCalls) {
  TLKBitmap b(400, 300, lk8g);
  FillDistinct(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  std::unique_ptr<TLKFtImage> ft(proc.FTCreateImage(lkitRGB, 128, -1));
  ASSERT_TRUE(ft);
  EXPECT_EQ(ft->GetPictureWidth(), 128);
  EXPECT_EQ(ft->GetPictureHeight(), 96);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  proc.FTDisplayFrom(ft.get());
  EXPECT_EQ(b.GetWidth(), 128);
  EXPECT_EQ(b.GetHeight(), 128);
  proc.FTConvertFrom(ft.get());
  EXPECT_EQ(b.GetWidth(), 128);
  EXPECT_EQ(b.GetHeight(), 96);
  proc.SetAutoConvertFormat(false);
  b.SetPixelFormat(lk8g);
  EXPECT_EQ(proc.FTCreateImage(lkitRGB, -1, -1), nullptr);
}

}  // namespace
