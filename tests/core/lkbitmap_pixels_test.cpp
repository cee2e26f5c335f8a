#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;
TRGB Grey(Byte v) { return Rgb(v, v, v); }

// One row per pixel format: how to write a distinct sample for index i with
// the format's own setter, read it back with its own getter, and the colour
// GetPixels must give for it.
struct FormatCase {
  const char* name;
  TLKPixelFormat format;
  std::function<void(TLKBitmap&, Integer x, Integer y, int i)> set;
  std::function<bool(TLKBitmap&, Integer x, Integer y, int i)> check;
  std::function<TRGB(int i)> colour;
};

TRGB48 Rgb48(int i) {
  return TRGB48{static_cast<Word>(0x1000 * (i % 16) + 0x34), static_cast<Word>(0x0101 * i),
                static_cast<Word>(0xFF00 - 0x100 * i)};
}
TCMYK Cmyk(int i) {
  return TCMYK{static_cast<Byte>(10 * i), static_cast<Byte>(200 - i), 255, static_cast<Byte>(100 + i)};
}
TCIELab Lab(int i) {
  return TCIELab{static_cast<Byte>(15 * i), static_cast<ShortInt>(i - 7), static_cast<ShortInt>(3 * i - 20)};
}

const std::vector<FormatCase>& FormatCases() {
  static const std::vector<FormatCase> cases = {
      {"lk1g", lk1g,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk1g(x, y, i % 3 == 0); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk1g(x, y) == (i % 3 == 0); },
       [](int i) { return i % 3 == 0 ? Grey(255) : Grey(0); }},
      {"lk8p", lk8p,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk8(x, y, static_cast<Byte>(i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk8(x, y) == i; },
       [](int i) { return Rgb(static_cast<Byte>(i), static_cast<Byte>(2 * i), static_cast<Byte>(255 - i)); }},
      {"lk8g", lk8g,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk8(x, y, static_cast<Byte>(17 * i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk8(x, y) == 17 * i; },
       [](int i) { return Grey(static_cast<Byte>(17 * i)); }},
      {"lk16g", lk16g,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk16g(x, y, static_cast<Word>(0x1111 * i + 0x34)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk16g(x, y) == 0x1111 * i + 0x34; },
       [](int i) { return Grey(static_cast<Byte>((0x1111 * i + 0x34) >> 8)); }},
      {"lk24RGB", lk24RGB,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk24RGB(x, y, Rgb(i, 100 + i, 250 - i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk24RGB(x, y) == Rgb(i, 100 + i, 250 - i); },
       [](int i) { return Rgb(i, 100 + i, 250 - i); }},
      {"lk32f", lk32f,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk32f(x, y, i / 16.0f); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk32f(x, y) == i / 16.0f; },
       [](int i) { return Grey(static_cast<Byte>(static_cast<int>(i / 16.0 * 255) & 255)); }},
      {"lkCMYK", lkCMYK,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lkCMYK(x, y, Cmyk(i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lkCMYK(x, y) == Cmyk(i); },
       [](int i) { return LKCMYK2RGB(Cmyk(i)); }},
      {"lk48RGB", lk48RGB,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lk48RGB(x, y, Rgb48(i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lk48RGB(x, y) == Rgb48(i); },
       [](int i) {
         const TRGB48 p = Rgb48(i);
         return Rgb(static_cast<Byte>(p.r >> 8), static_cast<Byte>(p.g >> 8), static_cast<Byte>(p.b >> 8));
       }},
      {"lkCIELab", lkCIELab,
       [](TLKBitmap& b, Integer x, Integer y, int i) { b.SetPixels_lkCIELab(x, y, Lab(i)); },
       [](TLKBitmap& b, Integer x, Integer y, int i) { return b.GetPixels_lkCIELab(x, y) == Lab(i); },
       [](int i) { return LKCIELAB2RGB(Lab(i)); }},
  };
  return cases;
}

// Every test runs on memory storage and on file storage.
class PixelsTest : public ::testing::TestWithParam<TLKLocation> {
 protected:
  std::unique_ptr<TLKBitmap> Make(Integer w, Integer h, TLKPixelFormat f) {
    MinFileSizeGuard guard(GetParam() == lkFile ? 1 : 1 << 30);
    auto bmp = std::make_unique<TLKBitmap>(w, h, f);
    EXPECT_EQ(bmp->GetLocation(), GetParam());
    return bmp;
  }
};

TEST_P(PixelsTest, GetAndSetEveryFormat) {
  constexpr Integer w = 5, h = 3;  // odd width: rows end in padding
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE(c.name);
    auto bmp = Make(w, h, c.format);
    if (c.format == lk8p)
      for (int i = 0; i < 256; ++i) bmp->SetPalette(i, FormatCases()[1].colour(i));
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) c.set(*bmp, x, y, y * w + x);
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const int i = y * w + x;
        EXPECT_TRUE(c.check(*bmp, x, y, i)) << x << "," << y;
        EXPECT_EQ(bmp->GetPixels(x, y), c.colour(i)) << x << "," << y;
      }
  }
}

TEST_P(PixelsTest, PixelAddresses) {
  auto bmp24 = Make(4, 2, lk24RGB);
  bmp24->GetPPixels_lk24RGB(3, 1)->g = 77;
  EXPECT_EQ(bmp24->GetPixels_lk24RGB(3, 1).g, 77);
  auto bmp48 = Make(4, 2, lk48RGB);
  bmp48->GetPPixels_lk48RGB(2, 0)->b = 0xBEEF;
  EXPECT_EQ(bmp48->GetPixels_lk48RGB(2, 0).b, 0xBEEF);
}

TEST_P(PixelsTest, WritesClearFullButNeverSetIt) {
  struct Case {
    const char* name;
    TLKPixelFormat format;
    std::function<void(TLKBitmap&)> writeMax, writeLess;
    bool lessClears;
  };
  const Case cases[] = {
      {"lk1g", lk1g, [](TLKBitmap& b) { b.SetPixels_lk1g(0, 0, true); },
       [](TLKBitmap& b) { b.SetPixels_lk1g(0, 0, false); }, true},
      {"lk8g", lk8g, [](TLKBitmap& b) { b.SetPixels_lk8(0, 0, 255); },
       [](TLKBitmap& b) { b.SetPixels_lk8(0, 0, 254); }, true},
      {"lk16g", lk16g, [](TLKBitmap& b) { b.SetPixels_lk16g(0, 0, 65535); },
       [](TLKBitmap& b) { b.SetPixels_lk16g(0, 0, 65534); }, true},
      {"lk32f", lk32f, [](TLKBitmap& b) { b.SetPixels_lk32f(0, 0, 1.0f); },
       [](TLKBitmap& b) { b.SetPixels_lk32f(0, 0, 0.999f); }, true},
      {"lk24RGB", lk24RGB, [](TLKBitmap& b) { b.SetPixels_lk24RGB(0, 0, Rgb(255, 255, 255)); },
       [](TLKBitmap& b) { b.SetPixels_lk24RGB(0, 0, Rgb(255, 254, 255)); }, true},
      {"lk48RGB", lk48RGB, [](TLKBitmap& b) { b.SetPixels_lk48RGB(0, 0, TRGB48{65535, 65535, 65535}); },
       [](TLKBitmap& b) { b.SetPixels_lk48RGB(0, 0, TRGB48{65535, 65535, 0}); }, true},
      {"lkCMYK", lkCMYK, [](TLKBitmap& b) { b.SetPixels_lkCMYK(0, 0, TCMYK{255, 255, 255, 255}); },
       [](TLKBitmap& b) { b.SetPixels_lkCMYK(0, 0, TCMYK{0, 0, 0, 0}); }, false},
      {"lkCIELab", lkCIELab, [](TLKBitmap& b) { b.SetPixels_lkCIELab(0, 0, TCIELab{255, 0, 0}); },
       [](TLKBitmap& b) { b.SetPixels_lkCIELab(0, 0, TCIELab{0, 0, 0}); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bmp = Make(3, 2, c.format);
    bmp->Fill(0);
    EXPECT_FALSE(bmp->GetFull());
    c.writeMax(*bmp);
    EXPECT_FALSE(bmp->GetFull()) << "a write never sets Full";
    bmp->SetFull(true);
    c.writeMax(*bmp);
    EXPECT_TRUE(bmp->GetFull());
    c.writeLess(*bmp);
    EXPECT_EQ(bmp->GetFull(), !c.lessClears);
  }
}

TEST_P(PixelsTest, FillEveryFormat) {
  struct Case {
    TLKPixelFormat format;
    double value;
    TRGB colour;
    bool full;
  };
  const Case cases[] = {
      {lk1g, 1, Grey(255), true},           {lk1g, 0, Grey(0), false},
      {lk8g, 255, Grey(255), true},         {lk8g, 254, Grey(254), false},
      {lk8g, 511.7, Grey(255), true},       {lk16g, 65535, Grey(255), true},
      {lk16g, 0x1234, Grey(0x12), false},   {lk32f, 1.0, Grey(255), true},
      {lk32f, 0.5, Grey(127), false},       {lk24RGB, 16777215, Grey(255), true},
      {lk24RGB, 0x0000FF, Rgb(255, 0, 0), false}, {lk24RGB, 0, Grey(0), false},
      {lkCMYK, 16777215, Grey(255), true},  {lkCMYK, 0x00FF00, Rgb(0, 255, 0), false},
      {lk48RGB, 16777215, Grey(255), true}, {lk48RGB, 0x123456, Rgb(0x56, 0x34, 0x12), false},
      {lkCIELab, 16777215, Grey(255), true},
      {lkCIELab, 0x808080, LKCIELAB2RGB(LKRGB2CIELAB(Grey(128))), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(c.value));
    auto bmp = Make(7, 5, c.format);  // several rows, padded
    bmp->SetFull(!c.full);
    bmp->Fill(c.value);
    EXPECT_EQ(bmp->GetFull(), c.full);
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 7; ++x) ASSERT_EQ(bmp->GetPixels(x, y), c.colour) << x << "," << y;
  }
  auto sys = Make(3, 2, lk24RGB);  // a system colour is resolved first
  sys->Fill(clBtnFace);
  EXPECT_EQ(TRGB2TColor(sys->GetPixels(2, 1)), ColorToRGB(clBtnFace));
  auto f = Make(3, 3, lk32f);
  f->Fill(0.5);
  EXPECT_EQ(f->GetPixels_lk32f(2, 2), 0.5f);
  auto p = Make(4, 4, lk8p);
  p->Fill(7);
  EXPECT_EQ(p->GetPixels_lk8(3, 3), 7);
  auto n = std::make_unique<TLKBitmap>();
  n->Fill(255);  // an empty buffer is left alone
  EXPECT_TRUE(n->IsEmpty());
}

TEST_P(PixelsTest, FillRectClampsAndKeepsFull) {
  auto bmp = Make(10, 10, lk8g);
  bmp->Fill(0);
  bmp->FillRect(-5, -5, 1000, 1000, 9);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x) ASSERT_EQ(bmp->GetPixels_lk8(x, y), 9);
  bmp->FillRect(5, 5, 4, 9, 200);  // x2 < x1: nothing
  bmp->FillRect(2, 3, 4, 3, 200);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 10; ++x)
      ASSERT_EQ(bmp->GetPixels_lk8(x, y), (y == 3 && x >= 2 && x <= 4) ? 200 : 9) << x << "," << y;
  bmp->Fill(255);
  bmp->FillRect(0, 0, 0, 0, 0);
  EXPECT_TRUE(bmp->GetFull()) << "FillRect does not touch Full";

  auto f = Make(10, 10, lk32f);
  f->Fill(1.0);
  f->FillRect(0, 0, 9, 9, 0.5);  // the truncated value
  EXPECT_EQ(f->GetPixels_lk32f(9, 9), 0.0f);

  auto bw = Make(20, 3, lk1g);
  bw->Fill(0);
  bw->FillRect(3, 1, 12, 1, 1);
  for (Integer x = 0; x < 20; ++x) {
    EXPECT_FALSE(bw->GetPixels_lk1g(x, 0));
    EXPECT_EQ(bw->GetPixels_lk1g(x, 1), x >= 3 && x <= 12) << x;
  }

  auto rgb = Make(6, 4, lk24RGB);
  rgb->Fill(0);
  rgb->FillRect(1, 1, 4, 2, 0x00FF00);
  EXPECT_EQ(rgb->GetPixels(1, 1), Rgb(0, 255, 0));
  EXPECT_EQ(rgb->GetPixels(4, 2), Rgb(0, 255, 0));
  EXPECT_EQ(rgb->GetPixels(5, 2), Grey(0));
  EXPECT_EQ(rgb->GetPixels(1, 3), Grey(0));
}

TEST_P(PixelsTest, Alpha) {
  auto bmp = Make(4, 3, lk24RGB);
  EXPECT_FALSE(bmp->GetHasAlphaChannel());
  EXPECT_EQ(bmp->GetAlpha(2, 1), 255);
  ASSERT_TRUE(bmp->GetHasAlphaChannel());
  EXPECT_TRUE(bmp->GetAlphaChannel()->GetFull());
  bmp->Fill(16777215);
  bmp->SetAlpha(2, 1, 128);
  EXPECT_EQ(bmp->GetAlpha(2, 1), 128);
  EXPECT_FALSE(bmp->GetAlphaChannel()->GetFull());
  EXPECT_FALSE(bmp->GetFull());

  TLKBitmap* alpha = bmp->GetAlphaChannel();
  alpha->SetFull(true);
  alpha->SetAlpha(0, 0, 255);
  EXPECT_EQ(alpha->GetAlpha(0, 0), 255);
  EXPECT_TRUE(alpha->GetFull());
  alpha->SetAlpha(0, 0, 3);
  EXPECT_EQ(alpha->GetPixels_lk8(0, 0), 3);
  EXPECT_FALSE(alpha->GetFull());
}

TEST_P(PixelsTest, Palette) {
  auto bmp = Make(2, 2, lk8p);
  EXPECT_EQ(bmp->GetPaletteLen(), 256);
  bmp->SetPalette(5, Rgb(1, 2, 3));
  EXPECT_EQ(bmp->GetPalette(5), Rgb(1, 2, 3));
  bmp->SetPalette(-1, Rgb(9, 9, 9));  // ignored
  bmp->SetPalette(256, Rgb(9, 9, 9));
  EXPECT_EQ(bmp->GetPalette(300), Grey(0));
  EXPECT_EQ(Make(2, 2, lk24RGB)->GetPaletteLen(), 0);
}

TEST_P(PixelsTest, WholeImageTests) {
  auto g = Make(5, 4, lk8g);
  g->Fill(100);
  g->SetPixels_lk8(1, 1, 10);
  g->SetPixels_lk8(4, 3, 200);
  g->AutoCalcBWValues();
  EXPECT_EQ(g->GetBlackValue(), 10);
  EXPECT_EQ(g->GetWhiteValue(), 200);

  auto w = Make(5, 4, lk16g);
  w->Fill(300);
  w->SetPixels_lk16g(0, 3, 60000);
  w->AutoCalcBWValues();
  EXPECT_EQ(w->GetBlackValue(), 300);
  EXPECT_EQ(w->GetWhiteValue(), 60000);
  EXPECT_TRUE(w->IsGrayScale());

  auto f = Make(3, 2, lk32f);
  f->Fill(0.25);
  f->SetPixels_lk32f(2, 1, -1.5f);
  f->AutoCalcBWValues();
  EXPECT_EQ(f->GetBlackValue(), -1.5);
  EXPECT_EQ(f->GetWhiteValue(), 0.25);

  auto rgb = Make(5, 4, lk24RGB);
  rgb->Fill(0x808080);
  rgb->SetBlackValue(1);
  rgb->SetWhiteValue(2);
  rgb->AutoCalcBWValues();
  EXPECT_EQ(rgb->GetBlackValue(), 1);
  EXPECT_EQ(rgb->GetWhiteValue(), 2);
  EXPECT_TRUE(rgb->IsGrayScale());
  rgb->SetPixels_lk24RGB(4, 3, Rgb(1, 2, 1));
  EXPECT_FALSE(rgb->IsGrayScale());

  auto pal = Make(2, 2, lk8p);
  for (int i = 0; i < 256; ++i) pal->SetPalette(i, Grey(static_cast<Byte>(i)));
  EXPECT_TRUE(pal->IsGrayScale());
  pal->SetPalette(200, Rgb(1, 1, 2));
  EXPECT_FALSE(pal->IsGrayScale());

  auto b = Make(9, 3, lk8g);
  b->Fill(0);
  EXPECT_TRUE(b->IsAllBlack());
  b->SetPixels_lk8(8, 2, 1);
  EXPECT_FALSE(b->IsAllBlack());

  // SyncFull reads every byte of every row, padding included.
  auto s = Make(8, 3, lk8g);  // 8 bytes a row: no padding
  s->Fill(255);
  s->SetFull(false);
  s->SyncFull();
  EXPECT_TRUE(s->GetFull());
  s->SetPixels_lk8(7, 2, 254);
  s->SetFull(true);
  s->SyncFull();
  EXPECT_FALSE(s->GetFull());
  auto white24 = Make(5, 2, lk24RGB);  // 15 pixel bytes, 1 padding byte
  white24->Fill(16777215);
  white24->SyncFull();
  EXPECT_TRUE(white24->GetFull()) << "a white fill pads its rows with 255";
}

INSTANTIATE_TEST_SUITE_P(Storage, PixelsTest, ::testing::Values(lkMemory, lkFile),
                         [](const auto& info) { return info.param == lkMemory ? "Memory" : "File"; });

}  // namespace
