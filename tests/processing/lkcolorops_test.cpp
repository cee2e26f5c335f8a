// Negatives in every format, grey, colour ranges, transparency, merging and
// channel pictures.
#include "processing/lkcolorops.h"

#include <gtest/gtest.h>

#include "color_fixtures.h"
#include "core/lkioglobals.h"
#include "processing/lkcolorconv.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;

std::vector<Byte> Rows(TLKBitmap* b) {
  std::vector<Byte> v;
  const Integer bytes = (b->GetWidth() * b->GetBitCount() + 7) / 8;
  for (Integer y = 0; y < b->GetHeight(); ++y) {
    const Byte* r = static_cast<const Byte*>(b->GetScanLine(y));
    v.insert(v.end(), r, r + bytes);
  }
  return v;
}

TEST(Negative, TwiceRestoresTheExactFormats) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    for (TLKPixelFormat f : {lk1g, lk8g, lk16g, lk24RGB, lk48RGB}) {
      TLKBitmap b(7, 3, f);
      FillDistinct(&b);
      const std::vector<Byte> before = Rows(&b);
      _Negative(&b, 0, 0, 7, 3, nullptr, nullptr);
      EXPECT_NE(Rows(&b), before) << int(f);
      _Negative(&b, 0, 0, 7, 3, nullptr, nullptr);
      EXPECT_EQ(Rows(&b), before) << int(f);
    }
  }
}

TEST(Negative, ValuesPerFormat) {
  TLKBitmap g16(2, 2, lk16g);
  g16.Fill(0);
  TLKBitmap g48(2, 2, lk48RGB);
  g48.SetPixels_lk48RGB(1, 1, TRGB48{1000, 0, 65535});
  TLKBitmap f32(2, 2, lk32f);
  f32.SetPixels_lk32f(1, 1, 0.25f);
  TLKBitmap cmyk(2, 2, lkCMYK);
  cmyk.SetPixels_lkCMYK(1, 1, LKRGB2CMYK(CreateRGB(200, 100, 0)));
  TLKBitmap* all[] = {&g16, &g48, &f32, &cmyk};
  for (TLKBitmap* b : all) _Negative(b, 0, 0, 2, 2, nullptr, nullptr);
  EXPECT_EQ(g16.GetPixels_lk16g(0, 0), 65535);
  EXPECT_EQ(g48.GetPixels_lk48RGB(1, 1), (TRGB48{64535, 65535, 0}));
  EXPECT_FLOAT_EQ(f32.GetPixels_lk32f(1, 1), 0.75f);
  const TRGB through = LKCMYK2RGB(LKRGB2CMYK(CreateRGB(200, 100, 0)));
  EXPECT_EQ(cmyk.GetPixels_lkCMYK(1, 1),
            LKRGB2CMYK(CreateRGB(Byte(255 - through.r), Byte(255 - through.g), Byte(255 - through.b))));

  // lk1g: only the bits of the rectangle, across a byte boundary.
  TLKBitmap bw(20, 1, lk1g);
  bw.Fill(0);
  _Negative(&bw, 5, 0, 18, 1, nullptr, nullptr);
  for (Integer x = 0; x < 20; ++x) EXPECT_EQ(bw.GetPixels_lk1g(x, 0), x >= 5 && x < 18) << x;
}

TEST(Negative, PaletteChangesNotIndicesEvenWithASelection) {
  TTestView view(4, 4, lk8p);
  TLKBitmap* b = view.GetLKBitmap();
  b->SetPalette(0, CreateRGB(10, 20, 30));
  b->SetPalette(1, CreateRGB(200, 0, 255));
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) b->SetPixels_lk8(x, y, Byte((x + y) & 1));
  const std::vector<Byte> indices = Rows(b);
  view.SelectRect(1, 1, 2, 2);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.Negative();
  EXPECT_EQ(b->GetPalette(0), CreateRGB(245, 235, 225));
  EXPECT_EQ(b->GetPalette(1), CreateRGB(55, 255, 0));
  EXPECT_EQ(Rows(b), indices);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Negative");
}

TEST(Negative, WholeRowsOfOneBitPictures) {
  // Rows of an odd byte count: every byte is inverted, the last one too.
  TLKBitmap bw(17, 2, lk1g);
  bw.SetBitAlignment(8);
  ASSERT_EQ(bw.GetRowLen(), 3);
  bw.Fill(0);
  _Negative1BitEx(&bw);
  for (Integer x = 0; x < 17; ++x) EXPECT_TRUE(bw.GetPixels_lk1g(x, 1)) << x;
  Byte buf[3] = {0x0F, 0, 0xFF};
  _NegativeBuffer(buf, 3);
  EXPECT_EQ((std::vector<Byte>(buf, buf + 3)), (std::vector<Byte>{0xF0, 0xFF, 0}));
}

TEST(ColorOps, GreyRangesAndTransparency) {
  auto b = std::make_unique<TLKBitmap>(3, 2, lk24RGB);
  Paint(b.get(), [](Integer x, Integer) { return x == 0 ? CreateRGB(10, 20, 30) : CreateRGB(10, 20, 31); });
  _CastColorRange(b.get(), CreateRGB(10, 20, 30), CreateRGB(10, 20, 30), CreateRGB(1, 1, 1), 0, 0, 3, 2, nullptr,
                  nullptr);
  EXPECT_EQ(b->GetPixels_lk24RGB(0, 1), CreateRGB(1, 1, 1));
  EXPECT_EQ(b->GetPixels_lk24RGB(1, 1), CreateRGB(10, 20, 31));
  _ConvertToGray(b.get(), 1, 0, 3, 2, nullptr, nullptr);
  const Byte g = Byte((10 * 21 + 20 * 71 + 31 * 8) / 100);
  EXPECT_EQ(b->GetPixels_lk24RGB(2, 0), CreateRGB(g, g, g));
  _SetTransparentColors(b.get(), 0, 0, 3, 2, CreateRGB(0, 0, 0), CreateRGB(5, 5, 5), 40, nullptr, nullptr);
  EXPECT_EQ(b->GetAlpha(0, 0), 40);
  EXPECT_EQ(b->GetAlpha(1, 0), 255);
  EXPECT_FALSE(b->GetAlphaChannel()->GetFull());

  // lk1g: a lower red of 0 makes the black pixels transparent, whatever the
  // upper colour.
  TLKBitmap bw(4, 1, lk1g);
  bw.Fill(0);
  bw.SetPixels_lk1g(2, 0, true);
  _SetTransparentColors(&bw, 0, 0, 4, 1, CreateRGB(0, 9, 9), CreateRGB(0, 0, 0), 0, nullptr, nullptr);
  EXPECT_EQ(bw.GetAlpha(0, 0), 0);
  EXPECT_EQ(bw.GetAlpha(2, 0), 255);

  // ConvertToGray on lk8g: unchanged, but undo and the finishing event.
  TTestView grey(3, 3, lk8g);
  grey.GetLKBitmap()->Fill(9);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&grey);
  Events ev;
  ev.Attach(proc);
  proc.ConvertToGray();
  EXPECT_EQ(grey.GetLKBitmap()->GetPixelFormat(), lk8g);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToGray");
  EXPECT_EQ(ev.finished, 1);
}

TEST(ColorOps, Merge) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TTestView view(4, 4, lk24RGB);
    Paint(view.GetLKBitmap(), [](Integer, Integer) { return CreateRGB(255, 255, 255); });
    TLKBitmap black(2, 2, lk8g);  // another format and size: converted and stretched
    black.Fill(0);
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    Events ev;
    ev.Attach(proc);
    proc.MergeLKBitmap(&black, 50);
    EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(3, 3), CreateRGB(128, 128, 128));  // 127.5 to even
    EXPECT_EQ(proc.GetUndoCaptions(0), "Merge 50");
    EXPECT_EQ(black.GetPixelFormat(), lk8g);
    proc.MergeLKBitmap(&black, 100);
    EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(0, 0), CreateRGB(128, 128, 128));
    proc.MergeLKBitmap(&black, 0);
    EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(0, 0), CreateRGB(0, 0, 0));
    // Merge of a class-library bitmap finishes twice.
    TBitmap other;
    other.SetPixelFormat(pf24bit);
    other.SetSize(1, 1);
    ev.finished = 0;
    proc.Merge(&other, 100);
    EXPECT_EQ(ev.finished, 2);
  }
}

TEST(ColorOps, ChannelPictures) {
  auto b = std::make_unique<TLKBitmap>(3, 2, lk24RGB);
  Paint(b.get(), [](Integer x, Integer y) { return CreateRGB(Byte(200 + x), Byte(100 + y), Byte(x * 50)); });
  const struct {
    Integer channel;
    std::function<Byte(TRGB)> expect;
  } rgb[] = {{0, [](TRGB c) { return c.b; }}, {1, [](TRGB c) { return c.g; }}, {2, [](TRGB c) { return c.r; }},
             {7, [](TRGB c) { return c.r; }}};
  for (const auto& c : rgb) {
    std::unique_ptr<TLKBitmap> out(_GetRGBChannel(b.get(), c.channel, nullptr, nullptr));
    ASSERT_TRUE(out);
    for (Integer y = 0; y < 2; ++y)
      for (Integer x = 0; x < 3; ++x) {
        const Byte v = c.expect(b->GetPixels_lk24RGB(x, y));
        EXPECT_EQ(out->GetPixels_lk24RGB(x, y), CreateRGB(v, v, v)) << c.channel;
      }
  }
  TLKBitmap h, s, v, r, g, bl;
  _GetHSVChannelAll(b.get(), &h, &s, &v, nullptr, nullptr);
  _GetRGBChannelAll(b.get(), &r, &g, &bl, nullptr, nullptr);
  for (Integer ch = 0; ch < 3; ++ch) {
    std::unique_ptr<TLKBitmap> one(_GetHSVChannel(b.get(), ch, nullptr, nullptr));
    EXPECT_EQ(Pixels(one.get()), Pixels(ch == 0 ? &h : ch == 1 ? &s : &v)) << ch;
  }
  EXPECT_EQ(Pixels(&r), Pixels(std::unique_ptr<TLKBitmap>(_GetRGBChannel(b.get(), 2, nullptr, nullptr)).get()));
  Integer H, S, V;
  RGB2HSV(CreateRGB(202, 101, 100), H, S, V);
  EXPECT_EQ(h.GetPixels_lk24RGB(2, 1).r, Byte(H * 255 / 359));
  EXPECT_EQ(s.GetPixels_lk24RGB(2, 1).r, Byte(S * 255 / 99));
  TLKBitmap grey(2, 2, lk8g);
  EXPECT_EQ(_GetRGBChannel(&grey, 0, nullptr, nullptr), nullptr);
}

}  // namespace
