#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkdibbitmap.h"
#include "core/lkmask.h"
#include "platform/graphics.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

// Runs a test with every picture in memory (1 << 30) or in temporary files (1).
class Storage : public bitmap_test::MinFileSizeTest {};

TRGB Rgb(Byte r, Byte g, Byte b) { return TRGB{b, g, r}; }
TRGB FromColor(TColor c) { return Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Raw bytes of a bitmap row filled so that neighbouring pixels differ.
void FillBitmap(TBitmap& bmp) {
  for (Integer y = 0; y < bmp.GetHeight(); ++y)
    for (Integer i = 0; i < bmp.RowBytes(); ++i) bmp.ScanLine(y)[i] = static_cast<Byte>(y * 53 + i * 29 + 7);
}

struct ImportCase {
  const char* name;
  TPixelFormat pf;
  bool monochrome;
  TLKPixelFormat expected;
};

// Colour of pixel (x, y) of a TBitmap as the import must read it.
TRGB ExpectedColor(TBitmap& bmp, Integer x, Integer y) {
  const TPixelFormat pf = bmp.GetPixelFormat();
  if (pf != pf15bit && pf != pf16bit) return FromColor(bmp.GetCanvas()->GetPixel(x, y));
  const Byte* row = bmp.ScanLine(y);
  const Word v = static_cast<Word>(row[2 * x] | (row[2 * x + 1] << 8));
  switch (pf) {
    case pf15bit:
      return Rgb(static_cast<Byte>(((v >> 10) & 31) << 3), static_cast<Byte>(((v >> 5) & 31) << 3),
                 static_cast<Byte>((v & 31) << 3));
    case pf16bit:
      return Rgb(static_cast<Byte>((v >> 11) << 3), static_cast<Byte>(((v >> 5) & 63) << 2),
                 static_cast<Byte>((v & 31) << 3));
    default:
      return FromColor(bmp.GetCanvas()->GetPixel(x, y));
  }
}

TEST_P(Storage, TBitmapImportAndExportRoundTripForEveryFormat) {
  const std::vector<ImportCase> cases = {
      {"pf1bit monochrome", pf1bit, true, lk1g}, {"pf1bit coloured", pf1bit, false, lk8p},
      {"pf4bit", pf4bit, false, lk8p},           {"pf8bit", pf8bit, false, lk8p},
      {"pf15bit", pf15bit, false, lk24RGB},      {"pf16bit", pf16bit, false, lk24RGB},
      {"pf24bit", pf24bit, false, lk24RGB},      {"pf32bit", pf32bit, false, lk24RGB},
  };
  for (const ImportCase& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap src(13, 5, c.pf);
    if (c.pf == pf1bit && !c.monochrome) {
      const TRGBQuad table[2] = {TRGBQuad{10, 20, 30, 0}, TRGBQuad{200, 150, 100, 0}};
      src.SetColorTable(0, 2, table);
    }
    FillBitmap(src);
    ASSERT_EQ(src.GetMonochrome(), c.monochrome);
    TLKBitmap img;
    img.CopyFromTBitmap(&src);
    ASSERT_EQ(img.GetPixelFormat(), c.expected);
    ASSERT_EQ(img.GetWidth(), 13);
    EXPECT_FALSE(img.GetFull());
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 13; ++x) ASSERT_EQ(img.GetPixels(x, y), ExpectedColor(src, x, y)) << x << "," << y;

    TBitmap out;
    img.CopyToTBitmap(&out);
    ASSERT_EQ(out.GetWidth(), 13);
    ASSERT_EQ(out.GetHeight(), 5);
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 13; ++x)
        ASSERT_EQ(FromColor(out.GetCanvas()->GetPixel(x, y)), ExpectedColor(src, x, y)) << x << "," << y;
  }
}

TEST_P(Storage, FifteenAndSixteenBitWhiteUnpackExactly) {
  TBitmap b16(1, 1, pf16bit), b15(1, 1, pf15bit);
  b16.ScanLine(0)[0] = 0xFF;
  b16.ScanLine(0)[1] = 0xFF;
  b15.ScanLine(0)[0] = 0xFF;
  b15.ScanLine(0)[1] = 0x7F;
  TLKBitmap img;
  img.Assign(&b16);  // a TBitmap source goes through the import
  EXPECT_EQ(img.GetPixels(0, 0), Rgb(248, 252, 248));
  img.CopyFromTBitmap(&b15);
  EXPECT_EQ(img.GetPixels(0, 0), Rgb(248, 248, 248));
}

TEST_P(Storage, ExportOfGreyFormatsAndRefusedFormats) {
  TLKBitmap g16(2, 1, lk16g);
  g16.SetPixels_lk16g(0, 0, 171 * 256 + 205);
  g16.SetPixels_lk16g(1, 0, 255);
  TBitmap out;
  g16.CopyToTBitmap(&out);
  EXPECT_EQ(out.GetPixelFormat(), pf8bit);
  EXPECT_EQ(out.ScanLine(0)[0], 171);
  EXPECT_EQ(out.ScanLine(0)[1], 0);
  EXPECT_EQ(out.GetCanvas()->GetPixel(0, 0), RGB(171, 171, 171));

  TLKBitmap f(3, 1, lk32f);
  f.SetPixels_lk32f(0, 0, 0.5f);
  f.SetPixels_lk32f(1, 0, 1.0f);
  f.SetPixels_lk32f(2, 0, 1e30f);  // far out of range: wraps, never undefined
  f.CopyToTBitmap(&out);
  EXPECT_EQ(out.ScanLine(0)[0], 127);
  EXPECT_EQ(out.ScanLine(0)[1], 255);

  const struct {
    TLKPixelFormat f;
    const char* message;
  } refused[] = {{lkCMYK, "CMYK to TBitmap not supported"},
                 {lk48RGB, "RGB48 to TBitmap not supported"},
                 {lkCIELab, "CIELab to TBitmap not supported"}};
  for (const auto& r : refused) {
    TLKBitmap img(4, 4, r.f);
    TBitmap target(8, 8, pf24bit);
    try {
      img.CopyToTBitmap(&target);
      ADD_FAILURE() << r.message;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), r.message);
    }
    EXPECT_EQ(target.GetWidth(), 1);
    EXPECT_EQ(target.GetHeight(), 1);
  }
}

TEST(LKExchangeWrap, EncapsulatedBitmapsAndMemoryAreSharedNotCopied) {
  TBitmap grey(4, 2, pf8bit), coloured(4, 2, pf8bit);
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i) table[static_cast<size_t>(i)] = TRGBQuad{Byte(i), Byte(i), Byte(i), 0};
  grey.SetColorTable(table);
  {
    TLKBitmap img(3, 3, lk24RGB);
    img.EncapsulateTBitmap(&coloured, true);
    // An 8-bit bitmap takes the format its colour table says, not the
    // buffer's previous one.
    EXPECT_EQ(img.GetPixelFormat(), lk8p);
    EXPECT_EQ(img.GetLocation(), lkTBitmap);
    EXPECT_TRUE(img.GetVclBitmapEncapsulated());
    img.EncapsulateTBitmap(&grey, true);
    EXPECT_EQ(img.GetPixelFormat(), lk8g);
    EXPECT_EQ(img.GetRowLen(), 4);
    static_cast<Byte*>(img.GetScanLine(1))[2] = 77;
  }
  EXPECT_EQ(grey.ScanLine(1)[2], 77);  // written through, and not freed with the buffer

  alignas(32) Byte block[2 * 8] = {};
  {
    TLKBitmap img;
    img.EncapsulateMemory(block, 2, 2, lk24RGB, true);
    EXPECT_EQ(img.GetRowLen(), 8);
    img.SetPixels_lk24RGB(1, 0, Rgb(1, 2, 3));
    img.EncapsulateMemory(nullptr, 2, 2, lk24RGB, false);  // nil: nothing
    EXPECT_TRUE(img.GetMemoryEncapsulated());
  }
  EXPECT_EQ(block[8 + 3], 3);  // row 0 is the last row of the block
  EXPECT_EQ(block[8 + 5], 1);
}

struct RectCase {
  const char* name;
  Integer sx, sy, dx, dy, w, h;
  // Expected source origin and size of the block that lands at the clipped
  // destination origin (edx, edy); w = 0 for nothing.
  Integer esx, esy, edx, edy, ew, eh;
};

TEST_P(Storage, CopyRectToClipsToBothBuffers) {
  const std::vector<RectCase> cases = {
      {"plain", 1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6},
      {"negative destination", 0, 0, -3, -2, 10, 10, 3, 2, 0, 0, 7, 8},
      {"past the right edges", 10, 0, 12, 0, 50, 3, 10, 0, 12, 0, 4, 3},
      {"negative source clamped", -4, -4, 0, 0, 3, 3, 0, 0, 0, 0, 3, 3},
      {"destination beyond", 0, 0, 100, 100, 5, 5, 0, 0, 15, 15, 1, 1},
      {"huge size", 0, 0, 0, 0, 2147483647, 2147483647, 0, 0, 0, 0, 16, 16},
      {"nothing", 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0},
  };
  for (TLKPixelFormat f : {lk1g, lk8g, lk48RGB}) {
    for (const RectCase& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " format " + std::to_string(f));
      TLKBitmap src(20, 20, f), dst(16, 16, f);
      src.Fill(0);
      dst.Fill(0);
      for (Integer y = 0; y < 20; ++y)
        for (Integer x = 0; x < 20; ++x) {
          if (f == lk1g) src.SetPixels_lk1g(x, y, (x * 3 + y) % 4 == 0);
          else if (f == lk8g) src.SetPixels_lk8(x, y, static_cast<Byte>(1 + x + 20 * y));
          else src.SetPixels_lk48RGB(x, y, TRGB48{Word(x), Word(y), Word(1 + x * y)});
        }
      src.CopyRectTo(&dst, c.sx, c.sy, c.dx, c.dy, c.w, c.h);
      for (Integer y = 0; y < 16; ++y)
        for (Integer x = 0; x < 16; ++x) {
          const bool inside = x >= c.edx && x < c.edx + c.ew && y >= c.edy && y < c.edy + c.eh;
          const Integer sx = x - c.edx + c.esx, sy = y - c.edy + c.esy;
          if (f == lk1g) {
            ASSERT_EQ(dst.GetPixels_lk1g(x, y), inside && src.GetPixels_lk1g(sx, sy)) << x << "," << y;
          } else if (f == lk8g) {
            ASSERT_EQ(dst.GetPixels_lk8(x, y), inside ? src.GetPixels_lk8(sx, sy) : 0) << x << "," << y;
          } else {
            ASSERT_EQ(dst.GetPixels_lk48RGB(x, y), inside ? src.GetPixels_lk48RGB(sx, sy) : (TRGB48{0, 0, 0}));
          }
        }
    }
  }
}

TEST_P(Storage, CopyRectToBetweenFormatsAndWithinOneBuffer) {
  TLKBitmap bw(4, 1, lk1g), rgb(4, 1, lk24RGB), grey(4, 1, lk8g);
  bw.Fill(0);
  bw.SetPixels_lk1g(1, 0, true);
  rgb.Fill(clRed);
  bw.CopyRectTo(&rgb, 0, 0, 0, 0, 3, 1);
  EXPECT_EQ(rgb.GetPixels_lk24RGB(0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(rgb.GetPixels_lk24RGB(1, 0), Rgb(255, 255, 255));
  EXPECT_EQ(rgb.GetPixels_lk24RGB(3, 0), Rgb(255, 0, 0));
  grey.Fill(9);
  grey.CopyRectTo(&rgb, 0, 0, 0, 0, 4, 1);  // different formats: nothing
  EXPECT_EQ(rgb.GetPixels_lk24RGB(3, 0), Rgb(255, 0, 0));

  // Overlapping moves inside one buffer, down and up.
  TLKBitmap one(3, 6, lk8g);
  for (Integer y = 0; y < 6; ++y)
    for (Integer x = 0; x < 3; ++x) one.SetPixels_lk8(x, y, static_cast<Byte>(10 * y + x));
  one.CopyRectTo(&one, 0, 0, 0, 2, 3, 3);
  for (Integer y = 2; y < 5; ++y) EXPECT_EQ(one.GetPixels_lk8(1, y), 10 * (y - 2) + 1);
  one.CopyRectTo(&one, 0, 2, 0, 1, 3, 3);
  for (Integer y = 1; y < 4; ++y) EXPECT_EQ(one.GetPixels_lk8(2, y), 10 * (y - 1) + 2);
}

TEST_P(Storage, MergeAlphaRectToTakesTheLargerAlpha) {
  TLKBitmap a(4, 4, lk24RGB), b(4, 4, lk24RGB);
  a.MergeAlphaRectTo(&b, 0, 0, 0, 0, 4, 4);
  ASSERT_TRUE(a.GetHasAlphaChannel());
  ASSERT_TRUE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(3, 3), 255);
  a.GetAlphaChannel()->Fill(0);
  b.GetAlphaChannel()->Fill(0);
  a.SetAlpha(1, 1, 100);
  b.SetAlpha(3, 2, 50);
  a.MergeAlphaRectTo(&b, 1, 1, 2, 2, 10, 10);
  EXPECT_EQ(b.GetAlpha(2, 2), 100);
  EXPECT_EQ(b.GetAlpha(3, 2), 50);
  EXPECT_EQ(b.GetAlpha(1, 1), 0);
}

TEST_P(Storage, MasksRoundTripAndNilFillsWhite) {
  TLKBitmap bw(11, 3, lk1g);
  bw.Fill(0);
  bw.SetPixels_lk1g(10, 2, true);
  TLKMask m;
  bw.CopyToTLKMask(&m);
  EXPECT_EQ(m.GetBitsPerPixel(), 1);
  EXPECT_TRUE(m.IsEmpty());
  m.SyncRect();
  EXPECT_EQ(m.GetX1(), 10);
  EXPECT_EQ(m.GetY1(), 2);
  m.SetPixel(0, 0, 1);
  TLKBitmap back;
  back.CopyFromTLKMask(&m);
  EXPECT_EQ(back.GetPixelFormat(), lk1g);
  EXPECT_TRUE(back.GetPixels_lk1g(0, 0));
  EXPECT_TRUE(back.GetPixels_lk1g(10, 2));
  EXPECT_FALSE(back.GetPixels_lk1g(1, 0));

  TLKBitmap grey(3, 3, lk8g);
  grey.Fill(255);
  grey.CopyToTLKMask(&m);
  EXPECT_EQ(m.GetBitsPerPixel(), 8);
  EXPECT_TRUE(m.GetFull());
  TLKBitmap rgb(3, 3, lk24RGB);
  rgb.CopyToTLKMask(&m);  // other formats: nothing
  EXPECT_EQ(m.GetBitsPerPixel(), 8);

  TLKBitmap white(3, 2, lk8g);
  white.CopyFromTLKMask(nullptr);
  EXPECT_EQ(white.GetPixels_lk8(2, 1), 255);
  EXPECT_TRUE(white.GetFull());
}

TEST_P(Storage, CutOutAndPasteBackThroughAMask) {
  TLKBitmap img(30, 30, lk24RGB);
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 30; ++x) img.SetPixels_lk24RGB(x, y, Rgb(Byte(x), Byte(y), 7));
  img.SetAlpha(12, 21, 90);
  TLKMask m;
  m.AllocateBits(30, 30, 1);
  const TPoint pts[] = {{10, 20}, {20, 20}, {20, 25}, {10, 25}};
  m.DrawPolygon(1, pts, 4);
  m.SetPixel(11, 21, 0);  // a hole
  ASSERT_EQ(m.GetX2(), 19);
  ASSERT_EQ(m.GetY2(), 24);

  TLKBitmap cut;
  img.CopyWithMask1(&cut, &m, clBlue);
  ASSERT_EQ(cut.GetWidth(), 10);
  ASSERT_EQ(cut.GetHeight(), 5);
  EXPECT_EQ(cut.GetPixels_lk24RGB(0, 0), Rgb(10, 20, 7));
  EXPECT_EQ(cut.GetPixels_lk24RGB(9, 4), Rgb(19, 24, 7));
  EXPECT_EQ(cut.GetPixels_lk24RGB(1, 1), Rgb(0, 0, 255));  // the hole shows the background
  EXPECT_EQ(cut.GetAlpha(1, 1), 0);
  EXPECT_EQ(cut.GetAlpha(2, 1), 90);
  EXPECT_EQ(cut.GetAlpha(0, 0), 255);

  TLKBitmap target(30, 30, lk24RGB);
  target.Fill(clBlack);
  cut.CopyWithMask2(&target, &m);
  EXPECT_EQ(target.GetPixels_lk24RGB(10, 20), Rgb(10, 20, 7));
  EXPECT_EQ(target.GetPixels_lk24RGB(19, 24), Rgb(19, 24, 7));
  EXPECT_EQ(target.GetPixels_lk24RGB(11, 21), Rgb(0, 0, 0));
  EXPECT_EQ(target.GetPixels_lk24RGB(9, 20), Rgb(0, 0, 0));
  EXPECT_EQ(target.GetAlpha(12, 21), 90);
  EXPECT_EQ(target.GetAlpha(11, 21), 255);
  EXPECT_FALSE(target.GetAlphaChannel()->GetFull());

  // An indexed cut-out carries the palette its indexes refer to.
  TLKBitmap pal(30, 30, lk8p);
  pal.Fill(3);
  pal.SetPalette(3, Rgb(1, 2, 3));
  TLKBitmap palCut;
  pal.CopyWithMask1(&palCut, &m, 0);
  EXPECT_EQ(palCut.GetPixels(0, 0), Rgb(1, 2, 3));

  TLKMask empty;
  empty.AllocateBits(30, 30, 1);
  TLKBitmap untouched(2, 2, lk8g);
  img.CopyWithMask1(&untouched, &empty, clBlue);
  EXPECT_EQ(untouched.GetWidth(), 2);
}

TEST_P(Storage, DibCopiesAreClippedAndFormatChecked) {
  TLKDibbitmap dib;
  dib.AllocateBits(5, 3, 24);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 5; ++x) {
      Byte* p = static_cast<Byte*>(dib.GetScanLine(y)) + 3 * x;
      p[0] = Byte(x);
      p[1] = Byte(y);
      p[2] = 50;
    }
  TLKBitmap img;
  img.CopyFromTDibBitmap(&dib);
  ASSERT_EQ(img.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(img.GetPixels_lk24RGB(4, 2), Rgb(50, 2, 4));

  TLKBitmap big(6, 6, lk24RGB);
  big.Fill(clBlack);
  big.MergeFromTDibBitmap(&dib, 3, -1);  // rows and columns outside are dropped
  EXPECT_EQ(big.GetPixels_lk24RGB(3, 0), Rgb(50, 1, 0));
  EXPECT_EQ(big.GetPixels_lk24RGB(5, 1), Rgb(50, 2, 2));
  EXPECT_EQ(big.GetPixels_lk24RGB(2, 0), Rgb(0, 0, 0));
  EXPECT_EQ(big.GetPixels_lk24RGB(3, 2), Rgb(0, 0, 0));

  TLKDibbitmap out;
  out.AllocateBits(2, 2, 24);
  big.CopyToTDibBitmap(&out, 4, -1, 5, 5);
  const Byte* p = static_cast<const Byte*>(out.GetScanLine(1)) + 3;  // from big (5, 0)
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[1], 1);

  TLKDibbitmap mono;
  mono.AllocateBits(10, 2, 1);
  static_cast<Byte*>(mono.GetScanLine(0))[0] = 0xA0;
  TLKBitmap bw(12, 2, lk1g);
  bw.Fill(0);
  bw.MergeFromTDibBitmap(&mono, 3, 0);
  EXPECT_TRUE(bw.GetPixels_lk1g(3, 0));
  EXPECT_FALSE(bw.GetPixels_lk1g(4, 0));
  EXPECT_TRUE(bw.GetPixels_lk1g(5, 0));
  big.MergeFromTDibBitmap(&mono, 0, 0);  // formats differ: nothing
  EXPECT_EQ(big.GetPixels_lk24RGB(0, 0), Rgb(0, 0, 0));

  // TBitmap storage takes the DIB into the wrapped bitmap.
  TBitmap holder(1, 1, pf24bit);
  TLKBitmap wrapped;
  wrapped.EncapsulateTBitmap(&holder, true);
  wrapped.CopyFromTDibBitmap(&mono);
  EXPECT_EQ(wrapped.GetPixelFormat(), lk1g);
  EXPECT_EQ(holder.GetPixelFormat(), pf1bit);
  EXPECT_EQ(holder.GetWidth(), 10);
  EXPECT_EQ(holder.ScanLine(0)[0], 0xA0);
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFiles, Storage, ::testing::Values(1 << 30, 1),
                         [](const ::testing::TestParamInfo<Integer>& i) {
                           return std::string(i.param == 1 ? "Files" : "Memory");
                         });

}  // namespace
