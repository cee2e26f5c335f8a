// 3x3 convolution, its presets and filter file, and the colour offsets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "common/file_kit.h"
#include "processing/lkconvolve.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// The convolution written out directly: edges repeat, magnitude, division
// toward zero, clamp.
Byte Reference(TLKBitmap* b, const TGraphFilter& f, Integer x, Integer y, Integer c) {
  Int64 s = 0;
  for (Integer k = 0; k < 9; ++k) {
    const Integer sx = std::clamp(x + k % 3 - 1, 0, b->GetWidth() - 1);
    const Integer sy = std::clamp(y + k / 3 - 1, 0, b->GetHeight() - 1);
    s += static_cast<Int64>(f.Values[k]) * PixelBytes(b, sx, sy)[static_cast<size_t>(c)];
  }
  const Int64 q = std::llabs(s) / (f.Divisor == 0 ? 1 : f.Divisor);
  return static_cast<Byte>(std::clamp<Int64>(q, 0, 255));
}

TLKBitmap* Flat(TLKBitmap* b, Byte v) {
  for (Integer y = 0; y < b->GetHeight(); ++y)
    std::memset(b->GetScanLine(y), v, static_cast<size_t>(b->GetWidth()) * (b->GetBitCount() / 8));
  return b;
}

TEST(ConvolvePresets, NamesAndWorkedValues) {
  ASSERT_GE(LKGetFiltersCount(), 9);
  const char* names[] = {"None", "Blur", "Edges", "Emboss", "High Pass 1", "High Pass 2", "High Pass 3", "Low Pass 1",
                         "Low Pass 2"};
  for (Integer i = 0; i < 9; ++i) EXPECT_EQ(LKGetFilterName(i), names[i]);
  EXPECT_EQ(LKGetFilter(7)->Divisor, 10);
  EXPECT_THROW(LKGetFilter(-1), EListError);
  EXPECT_THROW(LKGetFilterName(LKGetFiltersCount()), EListError);

  // A flat 200: None and Blur keep it, Low Pass 1 darkens it to 180.
  struct Case {
    Integer preset;
    Byte expected;
  } cases[] = {{0, 200}, {1, 200}, {7, 180}, {8, 200}, {2, 0}};
  for (const Case& c : cases) {
    TLKBitmap b(5, 4, lk24RGB);
    Flat(&b, 200);
    TProgressRec rec;
    _ApplyFilter(&b, *LKGetFilter(c.preset), 0, 0, 5, 4, rec);
    EXPECT_EQ(b.GetPixels(2, 2).g, c.expected) << LKGetFilterName(c.preset);
  }
  // Edges gives the magnitude: a light pixel among dark ones comes out 255.
  TLKBitmap b(3, 3, lk24RGB);
  Flat(&b, 10);
  b.SetPixels_lk24RGB(1, 1, TRGB{200, 200, 200});
  TProgressRec rec;
  _ApplyFilter(&b, *LKGetFilter(2), 0, 0, 3, 3, rec);
  EXPECT_EQ(b.GetPixels(1, 1).r, 255);
}

class Convolve : public ::testing::TestWithParam<bool> {};

TEST_P(Convolve, MatchesDirectSumOnRectangleOnly) {
  StorageScope storage(GetParam());
  const TGraphFilter kernels[] = {
      {{1, -2, 3, -4, 5, -6, 7, -8, 9}, 3},
      {{-1, 0, 1, -1, 1, 1, -1, 0, 1}, -2},                                          // negative divisor: all 0
      {{1000000000, 0, 0, 0, 1000000000, 0, 0, 0, -1000000000}, 1000000000},         // sums past 32 bits
  };
  for (const TGraphFilter& f : kernels) {
    TLKBitmap b(9, 7, lk24RGB);
    FillDistinct(&b);
    TLKBitmap before;
    before.Assign(&b);
    TProgressRec rec;
    std::vector<Integer> progress;
    rec.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
    _ApplyFilter(&b, f, 2, 1, 7, 5, rec);
    for (Integer y = 0; y < 7; ++y)
      for (Integer x = 0; x < 9; ++x)
        for (Integer c = 0; c < 3; ++c) {
          const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
          const Byte want = inside ? Reference(&before, f, x, y, c) : PixelBytes(&before, x, y)[c];
          ASSERT_EQ(PixelBytes(&b, x, y)[c], want) << x << "," << y;
        }
    EXPECT_EQ(progress.size(), 4u);
    EXPECT_GE(progress.back(), 100);
  }
  // The 8-bit twin is the same on one channel; empty rectangles do nothing.
  TLKBitmap g(6, 5, lk8g);
  FillDistinct(&g);
  TLKBitmap before;
  before.Assign(&g);
  _ApplyFilter8(&g, kernels[0], 0, 0, 100, 100);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 6; ++x) ASSERT_EQ(PixelBytes(&g, x, y)[0], Reference(&before, kernels[0], x, y, 0));
  before.Assign(&g);
  _ApplyFilter8(&g, kernels[0], 4, 0, 4, 5);
  _ApplyFilter8(&g, kernels[0], -5, -5, 0, 0);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 6; ++x) ASSERT_EQ(PixelBytes(&g, x, y), PixelBytes(&before, x, y));
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Convolve, ::testing::Bool());

TEST(FilterFile, RoundTripAndDamagedFilesRefused) {
  filekit::TempDir dir("lkfilter");
  const TGraphFilter f{{1, -2, 3, -4, 5, -6, 7, -8, 2147483647}, -9};
  SaveFilterToFile(dir / "a.flt", f);
  const filekit::Bytes bytes = filekit::LoadFile(dir / "a.flt");
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 3);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(bytes[3 + 4], 0xFE);  // -2 little-endian
  TGraphFilter g{};
  LoadFilterFromFile(dir / "a.flt", g);
  EXPECT_EQ(g, f);

  // Wrong magic, truncated, missing: a clear error, the record untouched.
  filekit::Bytes wrong = bytes;
  wrong[2] = 4;
  filekit::SaveFile(dir / "wrong.flt", wrong);
  filekit::SaveFile(dir / "short.flt", filekit::Bytes(bytes.begin(), bytes.begin() + 30));
  filekit::SaveFile(dir / "tiny.flt", filekit::Bytes{1, 3});
  const TGraphFilter keep{{9, 9, 9, 9, 9, 9, 9, 9, 9}, 9};
  for (const char* name : {"wrong.flt", "short.flt", "tiny.flt"}) {
    TGraphFilter h = keep;
    try {
      LoadFilterFromFile(dir / name, h);
      ADD_FAILURE() << name << " was accepted";
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    EXPECT_EQ(h, keep);
  }
  TGraphFilter h = keep;
  EXPECT_THROW(LoadFilterFromFile(dir / "missing.flt", h), EFOpenError);
  EXPECT_THROW(SaveFilterToFile(dir / "no/such/folder.flt", f), EFCreateError);
}

TEST(ColourOffsets, FullDesaturationGivesGrey) {
  TLKBitmap b(4, 3, lk24RGB);
  FillDistinct(&b);
  TLKBitmap hsv;
  hsv.Assign(&b);
  TLKBitmap before;
  before.Assign(&b);
  _HSLvar(&b, 0, -100, 0, 0, 0, 4, 3, {}, nullptr);
  _HSVvar(&hsv, 0, -99, 0, 0, 0, 4, 3, {}, nullptr);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) {
      const TRGB o = before.GetPixels(x, y), p = b.GetPixels(x, y), q = hsv.GetPixels(x, y);
      const Integer hi = std::max({o.r, o.g, o.b}), lo = std::min({o.r, o.g, o.b});
      EXPECT_EQ(p.r, LKRound((hi + lo) / 2.0));
      EXPECT_TRUE(p.r == p.g && p.g == p.b);
      EXPECT_TRUE(q.r == q.g && q.g == q.b);
    }
}

TEST(ConvolveComponent, CaptionsAndSelection) {
  TTestView view(8, 6, lk8g);
  FillDistinct(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  view.SelectRect(2, 2, 4, 3);
  proc.ApplyFilterPreset(5);
  TLKBitmap* b = view.GetLKBitmap();
  EXPECT_EQ(b->GetPixelFormat(), lk24RGB);  // converted by the frame
  EXPECT_EQ(proc.GetUndoCaptions(0), "ApplyFilter");
  proc.HSLvar(10, -5, 0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "HSLvar 10,-5,0");
  proc.HSVvar(-3, 0, 7);
  EXPECT_EQ(proc.GetUndoCaptions(0), "HSVvar -3,0,7");
  EXPECT_THROW(proc.ApplyFilterPreset(LKGetFiltersCount()), EListError);
  const TGraphFilter f{{0, 0, 0, 0, 2, 0, 0, 0, 0}, 1};
  const Integer added = LKAddNewFilter(f, "Double");
  EXPECT_EQ(LKGetFilterName(added), "Double");
  EXPECT_EQ(*LKGetFilter(added), f);
}

}  // namespace
