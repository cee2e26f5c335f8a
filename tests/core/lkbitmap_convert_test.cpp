#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkbwconv.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

const char* Name(TLKPixelFormat f) {
  static const char* names[] = {"lknull", "lk1g", "lk8p", "lk8g", "lk16g", "lk24RGB",
                                "lk32f", "lkCMYK", "lk48RGB", "lkCIELab"};
  return names[f];
}

template <typename T>
Bytes Raw(const T& v) {
  Bytes b(sizeof(T));
  std::memcpy(b.data(), &v, sizeof(T));
  return b;
}
Bytes G8(Byte v) { return Raw(v); }
Bytes G16(Word v) { return Raw(v); }
Bytes F32(float v) { return Raw(v); }
Bytes RGB(Byte r, Byte g, Byte b) { return Raw(TRGB{b, g, r}); }
Bytes RGB48(Word r, Word g, Word b) { return Raw(TRGB48{r, g, b}); }
Bytes CMYK(Byte c, Byte m, Byte y, Byte k) { return Raw(TCMYK{c, m, y, k}); }
Bytes Lab(const TCIELab& v) { return Raw(v); }

std::string Hex(const Bytes& b) {
  std::string s;
  char buf[4];
  for (Byte v : b) {
    std::snprintf(buf, sizeof buf, "%02x ", v);
    s += buf;
  }
  return s;
}

// Three probe colours every format can hold: black, white and the grey
// level 150 (not in lk1g), which survives the CIELab round trip. kProbeValue gives a format's own value of each.
enum Probe { kBlack = 0, kWhite = 1, kMid = 2 };
const TRGB kProbeColour[3] = {{0, 0, 0}, {255, 255, 255}, {150, 150, 150}};

Bytes ProbeValue(TLKPixelFormat f, Probe p) {
  const Byte v8[3] = {0, 255, 150};
  const Word v16[3] = {0, 65535, 150 * 257};
  switch (f) {
    case lk1g:
      return Bytes{static_cast<Byte>(p == kWhite)};
    case lk8p:
      return G8(static_cast<Byte>(p));  // palette entries 0, 1, 2 hold the colours
    case lk8g:
      return G8(v8[p]);
    case lk16g:
      return G16(v16[p]);
    case lk24RGB:
      return RGB(v8[p], v8[p], v8[p]);
    case lk32f:
      return F32(p == kMid ? static_cast<float>(150 / 255.0L) : static_cast<float>(p));
    case lkCMYK:
      return Raw(LKRGB2CMYK(kProbeColour[p]));
    case lk48RGB:
      return RGB48(v16[p], v16[p], v16[p]);
    case lkCIELab:
      return Lab(LKRGB2CIELAB(kProbeColour[p]));
    default:
      return {};
  }
}

constexpr Integer kW = 11, kH = 3;

// Probe at (x, y): formats without the grey level alternate black and white.
Probe ProbeAt(TLKPixelFormat f, Integer x, Integer y) {
  if (f == lk1g) return static_cast<Probe>((x + y) % 2);
  return static_cast<Probe>((x + y) % 3);
}

Byte AlphaAt(Integer x, Integer y) { return static_cast<Byte>(x * 20 + y * 7 + 3); }

// A kW x kH picture of probes with an alpha channel.
std::unique_ptr<TLKBitmap> MakeProbePicture(TLKPixelFormat f) {
  auto bmp = std::make_unique<TLKBitmap>(kW, kH, f);
  if (f == lk8p) {
    for (Integer i = 0; i < 3; ++i) bmp->SetPalette(i, kProbeColour[i]);
  }
  for (Integer y = 0; y < kH; ++y)
    for (Integer x = 0; x < kW; ++x) {
      PutPixel(*bmp, x, y, ProbeValue(f, ProbeAt(f, x, y)));
      bmp->SetAlpha(x, y, AlphaAt(x, y));
    }
  return bmp;
}

// Checks every probe of a converted picture against the target format's own
// value; lk8p through its palette, lk1g only for black and white.
void ExpectProbes(TLKBitmap& bmp, TLKPixelFormat from, TLKPixelFormat to) {
  ASSERT_EQ(bmp.GetPixelFormat(), to);
  ASSERT_EQ(bmp.GetWidth(), kW);
  ASSERT_EQ(bmp.GetHeight(), kH);
  for (Integer y = 0; y < kH; ++y)
    for (Integer x = 0; x < kW; ++x) {
      const Probe p = ProbeAt(from, x, y);
      SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y) + " probe " + std::to_string(p));
      if (to == lk1g && p == kMid) continue;
      const Bytes got = GetPixel(bmp, x, y);
      if (to == lk8p) {
        const TRGB c = bmp.GetPalette(got[0]);
        EXPECT_TRUE(c == kProbeColour[p]) << int(c.r) << "," << int(c.g) << "," << int(c.b);
      } else {
        EXPECT_EQ(Hex(got), Hex(ProbeValue(to, p)));
      }
    }
  ASSERT_TRUE(bmp.GetHasAlphaChannel());
  TLKBitmap* alpha = bmp.GetAlphaChannel();
  for (Integer y = 0; y < kH; ++y)
    for (Integer x = 0; x < kW; ++x) ASSERT_EQ(alpha->GetPixels_lk8(x, y), AlphaAt(x, y));
}

bool GoesVia24(TLKPixelFormat from, TLKPixelFormat to, TLKDitherMethod dither) {
  if (from == to || from == lk24RGB || to == lk24RGB) return false;
  if (from == lkCMYK || from == lkCIELab || to == lkCMYK || to == lkCIELab) return true;
  return from == lk48RGB && (to == lk8p || (to == lk1g && dither == lkThreshold));
}

// Every pair of the nine formats, in memory and in file storage, converted
// in place and into a second buffer, by both black-and-white methods.
TEST(LKBitmapConvert, EveryPairKeepsProbesAndAlpha) {
  // The probe grey must survive the CIELab round trip for the lkCIELab rows.
  ASSERT_TRUE(LKCIELAB2RGB(LKRGB2CIELAB(kProbeColour[kMid])) == kProbeColour[kMid]);
  for (const Integer minFileSize : {kAllInMemory, kAllInFiles}) {
    StorageSettings settings(minFileSize);
    const TLKLocation where = minFileSize == kAllInFiles ? lkFile : lkMemory;
    for (const TLKDitherMethod dither : {lkThreshold, lkOrdered})
      for (const TLKPixelFormat from : kFormats)
        for (const TLKPixelFormat to : kFormats) {
          SCOPED_TRACE(std::string(Name(from)) + " -> " + Name(to) + (where == lkFile ? " file" : " memory") +
                       (dither == lkOrdered ? " ordered" : " threshold"));
          {
            SCOPED_TRACE("in place");
            auto bmp = MakeProbePicture(from);
            ASSERT_EQ(bmp->GetLocation(), where);
            bmp->SetDitherMethod(dither);
            bmp->ConvertToPixelFormat(to);  // also for equal formats
            EXPECT_EQ(bmp->GetLocation(), where);
            ExpectProbes(*bmp, from, to);
          }
          {
            SCOPED_TRACE("into another buffer");
            auto src = MakeProbePicture(from);
            TLKBitmap dst(kW, kH, to);
            dst.SetDitherMethod(dither);
            dst.CopyAndConvertFormat(src.get());
            ExpectProbes(dst, from, to);
            EXPECT_FALSE(src->GetHasAlphaChannel());
            EXPECT_EQ(src->GetPixelFormat(), GoesVia24(from, to, dither) ? lk24RGB : from);
          }
        }
  }
}

struct ExactCase {
  const char* what;
  TLKPixelFormat from;
  Bytes source;
  TLKPixelFormat to;
  Bytes expected;
};

// The rules with exact values, on colours that are not grey and on samples
// at and beyond the ends of their range. lk8p sources hold palette entry 7
// = (red 10, green 20, blue 30).
TEST(LKBitmapConvert, ExactValues) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const ExactCase cases[] = {
      {"grey 128 widened", lk8g, G8(128), lk16g, G16(32896)},
      {"grey 128 as float", lk8g, G8(128), lk32f, F32(static_cast<float>(128 / 255.0L))},
      {"grey 128 to 48", lk8g, G8(128), lk48RGB, RGB48(32896, 32896, 32896)},
      {"red grey 21/71/8", lk24RGB, RGB(255, 0, 0), lk8g, G8(53)},
      {"colour grey8", lk24RGB, RGB(10, 20, 30), lk8g, G8(18)},
      {"red grey16", lk24RGB, RGB(255, 0, 0), lk16g, G16(13893)},
      {"colour grey16", lk24RGB, RGB(10, 20, 30), lk16g, G16(4787)},
      {"white grey16", lk24RGB, RGB(255, 255, 255), lk16g, G16(65535)},
      {"red greyF", lk24RGB, RGB(255, 0, 0), lk32f, F32(static_cast<float>(255 * 0.2126L / 255))},
      {"white greyF", lk24RGB, RGB(255, 255, 255), lk32f, F32(1.0f)},
      {"colour to 48", lk24RGB, RGB(10, 20, 255), lk48RGB, RGB48(2570, 5140, 65535)},
      {"colour to CMYK", lk24RGB, RGB(10, 20, 40), lkCMYK, CMYK(63, 127, 255, 40)},
      {"CMYK to colour", lkCMYK, CMYK(63, 127, 255, 40), lk24RGB, RGB(9, 19, 40)},
      {"CMYK grey via 24", lkCMYK, CMYK(255, 255, 255, 100), lk8g, G8(100)},
      {"palette grey8", lk8p, G8(7), lk8g, G8(18)},
      {"palette grey16", lk8p, G8(7), lk16g, G16(4787)},
      {"palette colour", lk8p, G8(7), lk24RGB, RGB(10, 20, 30)},
      {"palette to 48", lk8p, G8(7), lk48RGB, RGB48(2570, 5140, 7710)},
      {"palette greyF", lk8p, G8(7), lk32f,
       F32(static_cast<float>((10 * 0.2126L + 20 * 0.7152L + 30 * 0.0722L) / 255))},
      {"16 high byte", lk16g, G16(65535), lk8g, G8(255)},
      {"16 low byte dropped", lk16g, G16(255), lk8g, G8(0)},
      {"16 to 24", lk16g, G16(0x1234), lk24RGB, RGB(0x12, 0x12, 0x12)},
      {"16 to float", lk16g, G16(1000), lk32f, F32(static_cast<float>(1000 / 65535.0L))},
      {"16 to 48", lk16g, G16(1000), lk48RGB, RGB48(1000, 1000, 1000)},
      {"16 to palette ramp", lk16g, G16(0x8899), lk8p, G8(0x88)},
      {"float 1.0", lk32f, F32(1.0f), lk8g, G8(255)},
      {"float 0.999", lk32f, F32(0.999f), lk8g, G8(254)},
      {"float 1.5 keeps the low byte", lk32f, F32(1.5f), lk8g, G8(126)},
      {"float -0.5 keeps the low byte", lk32f, F32(-0.5f), lk8g, G8(129)},
      {"float NaN", lk32f, F32(nan), lk8g, G8(0)},
      {"float huge", lk32f, F32(1e30f), lk16g, G16(65535)},
      {"float 1.5 to 16", lk32f, F32(1.5f), lk16g, G16(32766)},
      {"float to 24", lk32f, F32(0.5f), lk24RGB, RGB(127, 127, 127)},
      {"float to 48", lk32f, F32(0.5f), lk48RGB, RGB48(32767, 32767, 32767)},
      {"48 red to 24", lk48RGB, RGB48(65535, 0, 0), lk24RGB, RGB(255, 0, 0)},
      {"48 red grey16", lk48RGB, RGB48(65535, 0, 0), lk16g, G16(13893)},
      {"48 colour grey16", lk48RGB, RGB48(1000, 2000, 3000), lk16g, G16(1863)},
      {"48 colour grey8 of high bytes", lk48RGB, RGB48(1000, 2000, 3000), lk8g, G8(6)},
      {"48 colour to 24", lk48RGB, RGB48(1000, 2000, 3000), lk24RGB, RGB(3, 7, 11)},
      {"48 greyF", lk48RGB, RGB48(1000, 2000, 3000), lk32f,
       F32(static_cast<float>((1000 * 0.2126L + 2000 * 0.7152L + 3000 * 0.0722L) / 65535))},
      {"48 white greyF is 1.0", lk48RGB, RGB48(65535, 65535, 65535), lk32f, F32(1.0f)},
      {"white to CIELab, L x 2.55", lk24RGB, RGB(255, 255, 255), lkCIELab, Lab(TCIELab{255, 0, 0})},
      {"1-bit white to CIELab", lk1g, Bytes{1}, lkCIELab, Lab(TCIELab{255, 0, 0})},
      {"1-bit black to CIELab", lk1g, Bytes{0}, lkCIELab, Lab(TCIELab{0, 0, 0})},
      {"CIELab white back", lkCIELab, Lab(TCIELab{255, 0, 0}), lk24RGB, RGB(255, 255, 255)},
      {"colour to CIELab", lk24RGB, RGB(200, 30, 60), lkCIELab, Lab(LKRGB2CIELAB(TRGB{60, 30, 200}))},
      {"CIELab to colour", lkCIELab, Lab(TCIELab{120, 40, -30}), lk24RGB,
       Raw(LKCIELAB2RGB(TCIELab{120, 40, -30}))},
      {"CIELab to CMYK via 24", lkCIELab, Lab(TCIELab{120, 40, -30}), lkCMYK,
       Raw(LKRGB2CMYK(LKCIELAB2RGB(TCIELab{120, 40, -30})))},
  };
  for (const Integer minFileSize : {kAllInMemory, kAllInFiles}) {
    StorageSettings settings(minFileSize);
    for (const ExactCase& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (minFileSize == kAllInFiles ? " (file)" : " (memory)"));
      // Column 3 of row 1 of a 5 x 2 picture, so that row and column
      // mapping count; the other pixels are 0.
      TLKBitmap bmp(5, 2, c.from);
      for (Integer y = 0; y < 2; ++y) std::memset(bmp.GetScanLine(y), 0, static_cast<size_t>(bmp.GetRowLen()));
      if (c.from == lk8p) bmp.SetPalette(7, TRGB{30, 20, 10});
      PutPixel(bmp, 3, 1, c.source);
      bmp.SetPixelFormat(c.to);
      ASSERT_EQ(bmp.GetPixelFormat(), c.to);
      EXPECT_EQ(Hex(GetPixel(bmp, 3, 1)), Hex(c.expected));
    }
  }
}

TEST(LKBitmapConvert, GreyWeightsAreReadAtEachConversion) {
  const Integer r = gRedToGrayCoef, g = gGreenToGrayCoef, b = gBlueToGrayCoef;
  gRedToGrayCoef = 30, gGreenToGrayCoef = 59, gBlueToGrayCoef = 11;
  TLKBitmap bmp(1, 1, lk24RGB);
  bmp.SetPixels_lk24RGB(0, 0, TRGB{30, 20, 10});  // red 10, green 20, blue 30
  bmp.SetPixelFormat(lk8g);
  gRedToGrayCoef = r, gGreenToGrayCoef = g, gBlueToGrayCoef = b;
  EXPECT_EQ(bmp.GetPixels_lk8(0, 0), (10 * 30 + 20 * 59 + 30 * 11) / 100);
}

// Ordered dither of a constant level: exactly the matrix cells below the
// level are white, the stored row chosen by x.
TEST(LKBitmapConvert, OrderedDitherFollowsTheMatrix) {
  struct Case {
    TLKPixelFormat from;
    Bytes value;
    Integer level;
  };
  const Case cases[] = {
      {lk8g, G8(128), 32},
      {lk16g, G16(128 * 256 + 255), 32},
      {lk24RGB, RGB(128, 128, 128), 32},
      {lk48RGB, RGB48(40000, 40000, 40000), 156 >> 2},
      {lk32f, F32(0.25f), 63 >> 2},
      {lk32f, F32(7.0f), 64},  // above white: white
      {lk8g, G8(255), 64},     // white stays white
      {lk8g, G8(254), 63},
      {lk8g, G8(0), 0},
  };
  for (const Integer minFileSize : {kAllInMemory, kAllInFiles}) {
    StorageSettings settings(minFileSize);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(c.from)) + " level " + std::to_string(c.level));
      TLKBitmap bmp(19, 10, c.from);
      for (Integer y = 0; y < 10; ++y)
        for (Integer x = 0; x < 19; ++x) PutPixel(bmp, x, y, c.value);
      bmp.SetDitherMethod(lkOrdered);
      bmp.SetPixelFormat(lk1g);
      Integer white = 0;
      for (Integer y = 0; y < 10; ++y)
        for (Integer x = 0; x < 19; ++x) {
          const bool set = bmp.GetPixels_lk1g(x, y);
          ASSERT_EQ(set, BWORDERPATTERN[x & 7][y & 7] < c.level) << x << "," << y;
          if (x < 8 && y < 8) white += set;
        }
      EXPECT_EQ(white, c.level);  // one 8 x 8 block holds each matrix value once
    }
  }
}

TEST(LKBitmapConvert, PaletteTargets) {
  {
    SCOPED_TRACE("1-bit: black and white at 0 and 1");
    TLKBitmap bmp(9, 1, lk1g);
    std::memset(bmp.GetScanLine(0), 0, static_cast<size_t>(bmp.GetRowLen()));
    bmp.SetPixels_lk1g(8, 0, true);
    bmp.SetPixelFormat(lk8p);
    EXPECT_EQ(bmp.GetPixels_lk8(0, 0), 0);
    EXPECT_EQ(bmp.GetPixels_lk8(8, 0), 1);
    EXPECT_TRUE(bmp.GetPalette(0) == (TRGB{0, 0, 0}));
    EXPECT_TRUE(bmp.GetPalette(1) == (TRGB{255, 255, 255}));
  }
  for (const TLKPixelFormat from : {lk8g, lk16g, lk32f}) {
    SCOPED_TRACE(std::string(Name(from)) + ": grey ramp");
    TLKBitmap bmp(1, 1, from);
    bmp.SetPixelFormat(lk8p);
    for (Integer i = 0; i < 256; ++i) ASSERT_TRUE(bmp.GetPalette(i) == (TRGB{Byte(i), Byte(i), Byte(i)}));
  }
  {
    SCOPED_TRACE("colour: exact colours, limited count");
    TLKBitmap bmp(40, 3, lk24RGB);
    for (Integer x = 0; x < 40; ++x)
      for (Integer y = 0; y < 3; ++y)
        bmp.SetPixels_lk24RGB(x, y, TRGB{Byte(x * 6), Byte(y * 100), Byte(255 - x)});
    TLKBitmap copy(40, 3, lk24RGB);
    copy.Assign(&bmp);
    bmp.SetPixelFormat(lk8p);  // 120 colours: the palette holds them all
    for (Integer x = 0; x < 40; ++x)
      for (Integer y = 0; y < 3; ++y)
        ASSERT_TRUE(bmp.GetPalette(bmp.GetPixels_lk8(x, y)) == copy.GetPixels_lk24RGB(x, y));
    copy.SetQuantizeColorCount(16);
    copy.SetPixelFormat(lk8p);
    for (Integer x = 0; x < 40; ++x)
      for (Integer y = 0; y < 3; ++y) ASSERT_LT(copy.GetPixels_lk8(x, y), 16);
  }
}

TEST(LKBitmapConvert, CopyAndConvertFormatNoOps) {
  auto src = MakeProbePicture(lk8g);
  {
    SCOPED_TRACE("size differs");
    TLKBitmap dst(kW + 1, kH, lk24RGB);
    dst.Fill(0x123456);
    dst.CopyAndConvertFormat(src.get());
    EXPECT_TRUE(dst.GetPixels_lk24RGB(0, 0) == (TRGB{0x12, 0x34, 0x56}));
    EXPECT_TRUE(src->GetHasAlphaChannel());
    EXPECT_FALSE(dst.GetHasAlphaChannel());
  }
  {
    SCOPED_TRACE("nil and itself");
    src->CopyAndConvertFormat(nullptr);
    src->CopyAndConvertFormat(src.get());
    EXPECT_TRUE(src->GetHasAlphaChannel());
    EXPECT_EQ(src->GetPixels_lk8(1, 0), 255);
  }
  {
    SCOPED_TRACE("lknull source converts nothing");
    TLKBitmap none;
    TLKBitmap dst;
    dst.CopyAndConvertFormat(&none);
    EXPECT_EQ(dst.GetPixelFormat(), lknull);
  }
  {
    SCOPED_TRACE("an alpha channel of the destination is replaced");
    TLKBitmap dst(kW, kH, lk24RGB);
    dst.SetAlpha(0, 0, 9);
    dst.CopyAndConvertFormat(src.get());
    EXPECT_EQ(dst.GetAlpha(0, 0), AlphaAt(0, 0));
  }
}

TEST(LKBitmapConvert, SetPixelFormatWithTheCurrentFormatDoesNothing) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp(4, 4, lk24RGB);
  bmp.Fill(0x102030);
  void* memory = bmp.GetMemory();
  bmp.SetPixelFormat(lk24RGB);
  EXPECT_EQ(bmp.GetMemory(), memory);
  EXPECT_TRUE(bmp.GetPixels_lk24RGB(3, 3) == (TRGB{0x10, 0x20, 0x30}));
}

TEST(LKBitmapConvert, StorageFollowsTheNewByteSize) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp(100, 100, lk8g);
  bmp.SetMinFileSize(20000);  // 10000 bytes stay in memory, 60000 do not
  ASSERT_EQ(bmp.GetLocation(), lkMemory);
  bmp.SetPixelFormat(lk48RGB);
  EXPECT_EQ(bmp.GetLocation(), lkFile);
  bmp.SetPixelFormat(lk1g);
  EXPECT_EQ(bmp.GetLocation(), lkMemory);
}

TEST(LKBitmapConvert, EmptyBufferOnlyTakesTheFormat) {
  TLKBitmap bmp;
  bmp.SetPixelFormat(lk48RGB);
  EXPECT_EQ(bmp.GetPixelFormat(), lk48RGB);
  EXPECT_TRUE(bmp.IsEmpty());
  bmp.Allocate(3, 2, lk48RGB);
  EXPECT_EQ(bmp.GetRowLen(), 20);
}

TEST(LKBitmapConvert, WrappedMemoryIsLeftToItsOwner) {
  alignas(32) Byte block[2 * 8] = {10, 20, 30, 40, 50, 60, 0, 0, 1, 2, 3, 4, 5, 6, 0, 0};
  {
    TLKBitmap bmp;
    bmp.EncapsulateMemory(block, 2, 2, lk24RGB, true);
    bmp.SetPixelFormat(lk48RGB);
    EXPECT_FALSE(bmp.GetMemoryEncapsulated());
    EXPECT_TRUE(bmp.GetPixels_lk48RGB(1, 0) == (TRGB48{6 * 257, 5 * 257, 4 * 257}));  // bottom-up rows
  }
  EXPECT_EQ(block[0], 10);  // neither written nor freed
  EXPECT_EQ(block[13], 6);
}

// --- Class-library bitmap storage -------------------------------------------

// A 24-bit class-library bitmap of 13 x 4: black, white, grey 128 and a
// colour by column.
void PaintTestColours(TBitmap& vcl) {
  vcl.SetPixelFormat(pf24bit);
  vcl.SetSize(13, 4);
  const TRGB colours[4] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {30, 160, 220}};
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 13; ++x) std::memcpy(vcl.ScanLine(y) + 3 * x, &colours[(x + y) % 4], 3);
}

// The same picture in a memory buffer, as the reference.
std::unique_ptr<TLKBitmap> MemoryCopy(TBitmap& vcl) {
  TLKBitmap wrap;
  wrap.EncapsulateTBitmap(&vcl, true);
  auto copy = std::make_unique<TLKBitmap>();
  copy->AssignImage(&wrap);
  return copy;
}

TEST(LKBitmapConvertTBitmap, OneBitToColourExpandsTheRows) {
  TBitmap vcl(10, 3, pf1bit);
  for (Integer y = 0; y < 3; ++y) vcl.ScanLine(y)[0] = static_cast<Byte>(0xA5 >> y), vcl.ScanLine(y)[1] = 0x80;
  TLKBitmap bmp;
  bmp.EncapsulateTBitmap(&vcl, true);
  bmp.GetAlphaChannel()->SetPixels_lk8(2, 1, 77);
  bmp.SetPixelFormat(lk24RGB);
  EXPECT_EQ(vcl.GetPixelFormat(), pf24bit);
  EXPECT_EQ(bmp.GetLocation(), lkTBitmap);
  EXPECT_EQ(bmp.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(bmp.GetRowLen(), 32);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 10; ++x) {
      const bool set = x < 8 ? ((0xA5 >> y) & (0x80 >> x)) != 0 : x == 8;
      const Byte v = set ? 255 : 0;
      ASSERT_TRUE(bmp.GetPixels_lk24RGB(x, y) == (TRGB{v, v, v})) << x << "," << y;
    }
  EXPECT_EQ(bmp.GetAlpha(2, 1), 77);
}

TEST(LKBitmapConvertTBitmap, ColourToBlackAndWhiteUsesTheBitmapRoutines) {
  for (const TLKDitherMethod dither : {lkOrdered, lkThreshold}) {
    SCOPED_TRACE(dither == lkOrdered ? "ordered" : "threshold");
    TBitmap vcl;
    PaintTestColours(vcl);
    auto expected = MemoryCopy(vcl);
    TProgressRec progress;
    if (dither == lkOrdered)
      _ConvertToBWOrdered(expected.get(), progress);
    else
      _ConvertToBWThreshold(expected.get(), -1, progress);
    TLKBitmap bmp;
    bmp.EncapsulateTBitmap(&vcl, true);
    bmp.SetDitherMethod(dither);
    bmp.SetPixelFormat(lk1g);
    EXPECT_EQ(vcl.GetPixelFormat(), pf1bit);
    ASSERT_EQ(bmp.GetPixelFormat(), lk1g);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 13; ++x)
        ASSERT_EQ(bmp.GetPixels_lk1g(x, y), expected->GetPixels_lk1g(x, y)) << x << "," << y;
  }
}

TEST(LKBitmapConvertTBitmap, OtherFormatsGoThroughMemory) {
  struct Case {
    TLKPixelFormat to, held;
    TPixelFormat vcl;
  };
  const Case cases[] = {{lk8g, lk8g, pf8bit}, {lk16g, lk8g, pf8bit}, {lk8p, lk8p, pf8bit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Name(c.to));
    TBitmap vcl;
    PaintTestColours(vcl);
    auto expected = MemoryCopy(vcl);
    expected->SetPixelFormat(c.to);  // lk16g: the high bytes of the 16-bit grey
    TLKBitmap bmp;
    bmp.EncapsulateTBitmap(&vcl, true);
    bmp.GetAlphaChannel()->SetPixels_lk8(0, 3, 5);
    bmp.SetPixelFormat(c.to);
    EXPECT_EQ(vcl.GetPixelFormat(), c.vcl);
    ASSERT_EQ(bmp.GetPixelFormat(), c.held);
    EXPECT_EQ(bmp.GetAlpha(0, 3), 5);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 13; ++x)
        ASSERT_TRUE(bmp.GetPixels(x, y) == expected->GetPixels(x, y)) << x << "," << y;
    if (c.to == lk8p) {
      // The palette reached the bitmap's colour table.
      const Byte i = bmp.GetPixels_lk8(3, 0);
      TRGBQuad q;
      vcl.GetColorTable(i, 1, &q);
      EXPECT_EQ(q.rgbRed, 220);
      EXPECT_EQ(q.rgbGreen, 160);
      EXPECT_EQ(q.rgbBlue, 30);
    }
  }
}

TEST(LKBitmapConvertTBitmap, FormatsABitmapCannotHoldAreRefused) {
  TBitmap vcl;
  PaintTestColours(vcl);
  TLKBitmap bmp;
  bmp.EncapsulateTBitmap(&vcl, true);
  try {
    bmp.SetPixelFormat(lkCMYK);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "lkCMYK pixel format not allowed when Location=lkTBitmap");
  }
  EXPECT_EQ(bmp.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(vcl.GetPixelFormat(), pf24bit);
  EXPECT_TRUE(bmp.GetPixels_lk24RGB(3, 0) == (TRGB{30, 160, 220}));
}

TEST(LKBitmapConvertTBitmap, AnEmptyBitmapTakesTheLayout) {
  for (const auto& [to, vclFormat] : {std::pair{lk1g, pf1bit}, std::pair{lk24RGB, pf24bit}}) {
    TBitmap vcl;
    vcl.SetPixelFormat(to == lk1g ? pf24bit : pf1bit);
    TLKBitmap bmp;
    bmp.EncapsulateTBitmap(&vcl, true);
    bmp.SetPixelFormat(to);
    EXPECT_EQ(vcl.GetPixelFormat(), vclFormat);
    EXPECT_EQ(bmp.GetPixelFormat(), to);
    EXPECT_EQ(bmp.GetLocation(), lkTBitmap);
  }
}

}  // namespace
