// Colour reduction of class-library bitmaps: the exact-colour count and its
// coarser recount, the fixed cubes' rounding, median cut boxes, the file
// written, and the refused requests.
#include "app/RxReduce.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/forms.h"
#include "platform/testhooks.h"

namespace {

struct Reduced {
  TBitmap Bitmap;
  Cardinal ColorsUsed = 0;
  Integer Bits = 0;
};

std::unique_ptr<Reduced> Reduce(TBitmap& Source, TPixelFormat Format, TReductionMethod Method) {
  auto s = ReduceBitmapToStream(&Source, Format, Method);
  auto out = std::make_unique<Reduced>();
  Reduced& r = *out;
  const Byte* p = static_cast<const Byte*>(s->GetMemory());
  EXPECT_EQ(p[0], 'B');
  EXPECT_EQ(p[1], 'M');
  r.Bits = p[28] | p[29] << 8;
  r.ColorsUsed = Cardinal(p[46] | p[47] << 8 | p[48] << 16 | p[49] << 24);
  EXPECT_EQ(s->GetPosition(), 0);
  r.Bitmap.LoadFromStream(s.get());
  return out;
}

/// Count copies of colour i for i in 0..N-1 (colour i appearing Count(i) times).
template <class ColorOf, class CountOf>
std::unique_ptr<TBitmap> Picture(int N, ColorOf Color, CountOf Count) {
  int total = 0;
  for (int i = 0; i < N; ++i) total += Count(i);
  auto b = std::make_unique<TBitmap>(total, 1, pf24bit);
  int x = 0;
  for (int i = 0; i < N; ++i)
    for (int k = 0; k < Count(i); ++k) b->GetCanvas()->SetPixel(x++, 0, Color(i));
  return b;
}

}  // namespace

TEST(RxReduceTest, ExactColorsKeepTheMostFrequent) {
  // 300 colours, colour i appearing i + 1 times: the 256 most frequent are
  // colours 44..299, each kept exactly; the others take their nearest.
  auto color = [](int i) { return RGB(Byte(i % 20 * 12), Byte(i / 20 * 16), 77); };
  auto picp = Picture(300, color, [](int i) { return i + 1; });
  TBitmap& pic = *picp;
  auto rp = Reduce(pic, pf8bit, rdExactColors);
  Reduced& r = *rp;
  ASSERT_EQ(r.Bitmap.GetPixelFormat(), pf8bit);
  EXPECT_EQ(r.ColorsUsed, 256u);
  const std::vector<TRGBQuad> table = r.Bitmap.GetColorTable();
  EXPECT_EQ(RGBQuadToColor(table[0]), color(299));
  std::set<TColor> kept_colors;
  for (int i = 44; i < 300; ++i) kept_colors.insert(color(i));
  Integer exact = 0;
  for (Integer x = 0; x < pic.GetWidth(); ++x) {
    const TColor want = pic.GetCanvas()->GetPixel(x, 0), got = r.Bitmap.GetCanvas()->GetPixel(x, 0);
    exact += want == got;
    EXPECT_TRUE(kept_colors.count(got)) << x;
  }
  int kept = 0;
  for (int i = 44; i < 300; ++i) kept += i + 1;
  EXPECT_EQ(exact, kept);

  // 3000 colours in pairs that differ only in blue's lowest bit: counted
  // again with blue's mask at 254, which leaves 1500.
  auto pair = [](int i) { return RGB(Byte(i / 2 % 40 * 6), Byte(i / 80 * 6), Byte(100 + i % 2)); };
  auto manyp = Picture(3000, pair, [](int) { return 1; });
  TBitmap& many = *manyp;
  auto mp = Reduce(many, pf8bit, rdExactColors);
  Reduced& m = *mp;
  for (const TRGBQuad& q : m.Bitmap.GetColorTable())
    if (!(q.rgbRed == 128 && q.rgbGreen == 128 && q.rgbBlue == 128)) EXPECT_EQ(q.rgbBlue, 100);
}

TEST(RxReduceTest, FixedCubesInterleaveAndGrey) {
  struct Case {
    TReductionMethod Method;
    TColor In;
    TColor Out;
    Cardinal Used;
  };
  const Case cases[] = {
      // 64 lies half-way between 43 and 85 on the 7-level scale: the lower wins.
      {rdTruncate7R8G4B, RGB(64, 0, 0), RGB(43, 0, 0), 224},
      {rdTruncate7R8G4B, RGB(200, 100, 200), RGB(213, 109, 170), 224},
      {rdTruncate6R6G6B, RGB(30, 130, 250), RGB(51, 153, 255), 216},
      {rdGrayscale, RGB(255, 0, 0), RGB(76, 76, 76), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Method));
    TBitmap one(1, 1, pf24bit);
    one.GetCanvas()->SetPixel(0, 0, c.In);
    auto rp = Reduce(one, pf8bit, c.Method);
    Reduced& r = *rp;
    EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(0, 0), c.Out);
    EXPECT_EQ(r.ColorsUsed, c.Used);
  }
  // Interleave: the pixel at (x, y) shows red, green or blue by (x + y) mod 3.
  TBitmap three(3, 1, pf24bit);
  for (Integer x = 0; x < 3; ++x) three.GetCanvas()->SetPixel(x, 0, RGB(200, 100, 40));
  auto rp = Reduce(three, pf8bit, rdChannelInterleave);
  Reduced& r = *rp;
  EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(1, 0), RGB(0, 100, 0));
  EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(2, 0), RGB(0, 0, 40));
}

TEST(RxReduceTest, MedianCutSplitsByCount) {
  // Two colours far apart in red: two boxes, each the mean of its cell.
  TBitmap pic(4, 1, pf24bit);
  for (Integer x = 0; x < 4; ++x) pic.GetCanvas()->SetPixel(x, 0, x < 2 ? RGB(20, 200, 90) : RGB(240, 200, 90));
  auto rp = Reduce(pic, pf8bit, rdMedianCut);
  Reduced& r = *rp;
  EXPECT_EQ(r.ColorsUsed, 2u);
  EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(0, 0), RGB(16 * 1 + 15, 16 * 12 + 15, 16 * 5 + 15));
  EXPECT_EQ(r.Bitmap.GetCanvas()->GetPixel(3, 0), RGB(16 * 15 + 15, 16 * 12 + 15, 16 * 5 + 15));
  // A smooth picture gets the full 256 boxes and stays close to itself.
  TBitmap smooth(64, 64, pf24bit);
  for (Integer y = 0; y < 64; ++y)
    for (Integer x = 0; x < 64; ++x) smooth.GetCanvas()->SetPixel(x, y, RGB(Byte(x * 4), Byte(y * 4), Byte(x + y)));
  auto sp = Reduce(smooth, pf8bit, rdMedianCut);
  Reduced& s = *sp;
  EXPECT_EQ(s.ColorsUsed, 256u);
  double err = 0;
  for (Integer y = 0; y < 64; ++y)
    for (Integer x = 0; x < 64; ++x) {
      const TColor a = smooth.GetCanvas()->GetPixel(x, y), b = s.Bitmap.GetCanvas()->GetPixel(x, y);
      err += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b));
    }
  EXPECT_LT(err / (64 * 64), 24);
}

TEST(RxReduceTest, FormatsAndRefusals) {
  TBitmap eight(5, 3, pf8bit);
  eight.GetCanvas()->SetPixel(1, 1, clRed);
  // Already 8 bits: the bitmap's own file.
  auto same = ReduceBitmapToStream(&eight, pf8bit, rdExactColors);
  TMemoryStream own;
  eight.SaveToStream(&own);
  ASSERT_EQ(same->GetSize(), own.GetSize());
  EXPECT_EQ(std::memcmp(same->GetMemory(), own.GetMemory(), std::size_t(own.GetSize())), 0);
  // Grey converts even so.
  auto greyp = Reduce(eight, pf8bit, rdGrayscale);
  Reduced& grey = *greyp;
  EXPECT_EQ(grey.Bitmap.GetCanvas()->GetPixel(1, 1), RGB(76, 76, 76));
  // 24 bits asked of an 8-bit bitmap: real 24-bit rows.
  auto deepp = Reduce(eight, pf24bit, rdExactColors);
  Reduced& deep = *deepp;
  EXPECT_EQ(deep.Bits, 24);
  EXPECT_EQ(deep.Bitmap.GetCanvas()->GetPixel(1, 1), clRed);
  EXPECT_EQ(deep.Bitmap.GetCanvas()->GetPixel(0, 0), eight.GetCanvas()->GetPixel(0, 0));
  // 1 and 4 bits, by colour count.
  TBitmap pic(7, 2, pf24bit);
  pic.GetCanvas()->SetPixel(3, 1, clBlack);
  auto two = ReduceBitmapColorsToStream(&pic, 2);
  TBitmap b;
  b.LoadFromStream(two.get());
  EXPECT_EQ(b.GetPixelFormat(), pf1bit);
  EXPECT_EQ(b.GetCanvas()->GetPixel(3, 1), clBlack);
  ReduceBitmapColors(&pic, 16);
  EXPECT_EQ(pic.GetPixelFormat(), pf4bit);

  EXPECT_THROW(ReduceBitmapToStream(nullptr, pf8bit, rdExactColors), EInvalidGraphic);
  TBitmap empty;
  EXPECT_THROW(ReduceBitmapToStream(&empty, pf8bit, rdExactColors), EInvalidGraphic);
  std::vector<String> shown;
  TestHooks::SetMessageBoxSink([&](const String& Text, const String&, Integer) {
    shown.push_back(Text);
    return IDOK;
  });
  EXPECT_THROW(ReduceBitmapToStream(&eight, pf15bit, rdExactColors), EAbort);
  TestHooks::SetMessageBoxSink(nullptr);
  EXPECT_EQ(shown, std::vector<String>{"Function not yet implemented"});
}
