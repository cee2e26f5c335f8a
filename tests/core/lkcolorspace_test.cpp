#include "core/lkcolorspace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

TRGB Rgb(Byte r, Byte g, Byte b) { return CreateRGB(r, g, b); }

// The conversions as plain formulas in extended precision, with a power per
// channel: the oracle for the table-driven versions.
long double RefLin(int v) {
  const long double c = v / 255.0L;
  return c <= 0.03928L ? c / 12.92L : std::pow((c + 0.055L) / 1.055L, 2.4L);
}
long double RefF(long double t) { return t > 0.008856L ? std::cbrt(t) : 7.787L * t + 16.0L / 116.0L; }
long double RefFInv(long double f) {
  return f * f * f > 0.008856L ? f * f * f : (f - 0.13793103448L) / 7.787L;
}
Byte RefByte(long double c) {
  c = c <= 0.0031308L ? 12.92L * c : 1.055L * std::pow(c, 1.0L / 2.4L) - 0.055L;
  return static_cast<Byte>(blimit(LKRound(static_cast<double>(c * 255.0L))));
}
TCIELab RefRGB2Lab(const TRGB& c) {
  const long double R = RefLin(c.r), G = RefLin(c.g), B = RefLin(c.b);
  const long double X = (0.412453L * R + 0.35758L * G + 0.180423L * B) / 0.95047L;
  const long double Y = 0.212671L * R + 0.71516L * G + 0.072169L * B;
  const long double Z = (0.019334L * R + 0.119193L * G + 0.950227L * B) / 1.088883L;
  const long double L = Y > 0.008856L ? 116 * RefF(Y) - 16 : 903.3L * Y;
  return TCIELab{static_cast<Byte>(LKTrunc(static_cast<double>(L * 2.55L))),
                 static_cast<ShortInt>(LKTrunc(static_cast<double>(500 * (RefF(X) - RefF(Y))))),
                 static_cast<ShortInt>(LKTrunc(static_cast<double>(200 * (RefF(Y) - RefF(Z)))))};
}
TRGB RefLab2RGB(const TCIELab& lab) {
  const long double fy = (lab.l * 0.39215686275L + 16) / 116;
  const long double X = RefFInv(fy + lab.a / 500.0L) * 0.95047L, Y = RefFInv(fy),
                    Z = RefFInv(fy - lab.b / 200.0L) * 1.08883L;
  return Rgb(RefByte(3.2406L * X - 1.5372L * Y - 0.4986L * Z),
             RefByte(-0.9689L * X + 1.8758L * Y + 0.0415L * Z),
             RefByte(0.0557L * X - 0.204L * Y + 1.057L * Z));
}

TEST(ColorSpaceTest, CIELabMatchesExtendedPrecisionFormulas) {
  for (int i = 0; i < 256; i += 3)
    for (int j = 0; j < 256; j += 5)
      for (int k = 0; k < 256; k += 5) {
        const TRGB c = Rgb(i, j, k);
        ASSERT_EQ(LKRGB2CIELAB(c), RefRGB2Lab(c)) << i << " " << j << " " << k;
        const TCIELab lab{static_cast<Byte>(i), static_cast<ShortInt>(j), static_cast<ShortInt>(k)};
        ASSERT_EQ(LKCIELAB2RGB(lab), RefLab2RGB(lab)) << i << " " << j - 256 * (j > 127) << " " << k;
      }
}

TEST(ColorSpaceTest, CIELabKnownColours) {
  struct Case {
    const char* name;
    TRGB rgb;
    Integer l, a, b;
  };
  // Lightness is stored as L* x 2.55; a* and b* are truncated toward zero.
  const Case cases[] = {
      {"white", Rgb(255, 255, 255), 255, 0, 0},
      {"black", Rgb(0, 0, 0), 0, 0, 0},
      {"red", Rgb(255, 0, 0), 135, 80, 67},
      {"green", Rgb(0, 255, 0), 223, -86, 83},
      {"blue", Rgb(0, 0, 255), 82, 79, -107},
      {"mid grey", Rgb(128, 128, 128), 136, 0, 0},
  };
  for (const Case& c : cases) {
    const TCIELab lab = LKRGB2CIELAB(c.rgb);
    EXPECT_EQ(lab.l, c.l) << c.name;
    EXPECT_EQ(lab.a, c.a) << c.name;
    EXPECT_EQ(lab.b, c.b) << c.name;
  }
}

TEST(ColorSpaceTest, CIELabToRgbClampsAndScales) {
  EXPECT_EQ(LKCIELAB2RGB(TCIELab{255, 0, 0}), Rgb(255, 255, 255));
  EXPECT_EQ(LKCIELAB2RGB(TCIELab{0, 0, 0}), Rgb(0, 0, 0));
  const TRGB lightGrey = LKCIELAB2RGB(TCIELab{250, 0, 0});  // L* 98.04
  EXPECT_LT(lightGrey.g, 255);
  EXPECT_GT(lightGrey.g, 245);
  // Far out of gamut: every channel clamps instead of wrapping.
  const TRGB clamped = LKCIELAB2RGB(TCIELab{255, 127, -128});
  EXPECT_EQ(clamped.r, 255);
  EXPECT_EQ(clamped.b, 255);
  const TRGB low = LKCIELAB2RGB(TCIELab{10, 127, 127});
  EXPECT_EQ(low.g, 0);
  EXPECT_EQ(low.b, 0);
}

TEST(ColorSpaceTest, CIELabRoundTrip) {
  // White and black are exact and greys stay grey.
  EXPECT_EQ(LKCIELAB2RGB(LKRGB2CIELAB(Rgb(255, 255, 255))), Rgb(255, 255, 255));
  EXPECT_EQ(LKCIELAB2RGB(LKRGB2CIELAB(Rgb(0, 0, 0))), Rgb(0, 0, 0));
  // Near black the transfer curve is steep, so RGB can move by tens of
  // levels; measured in Lab, where the quantisation happens, every colour
  // comes back within one step.
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        const TCIELab lab = LKRGB2CIELAB(Rgb(r, g, b));
        const TCIELab back = LKRGB2CIELAB(LKCIELAB2RGB(lab));
        ASSERT_LE(std::abs(lab.l - back.l), 1) << r << " " << g << " " << b;
        ASSERT_LE(std::abs(lab.a - back.a), 1) << r << " " << g << " " << b;
        ASSERT_LE(std::abs(lab.b - back.b), 1) << r << " " << g << " " << b;
      }
  for (int v = 0; v < 256; ++v) {
    const TCIELab lab = LKRGB2CIELAB(Rgb(v, v, v));
    EXPECT_EQ(lab.a, 0) << v;
    EXPECT_EQ(lab.b, 0) << v;
    const TRGB out = LKCIELAB2RGB(lab);
    EXPECT_LE(std::abs(out.g - v), 2) << v;
  }
}

TEST(ColorSpaceTest, YCbCrKnownValues) {
  struct Case {
    TRGB rgb;
    Integer y, cb, cr;
  };
  const Case cases[] = {
      {Rgb(255, 0, 0), 76, 84, 255},  // Cr 255.5 truncated
      {Rgb(0, 255, 0), 149, 43, 21},
      {Rgb(0, 0, 255), 29, 255, 107},
      {Rgb(255, 255, 255), 255, 128, 128},
      {Rgb(0, 0, 0), 0, 128, 128},
  };
  for (const Case& c : cases) {
    Integer y, cb, cr;
    LKRGB2YCbCr(c.rgb, y, cb, cr);
    EXPECT_EQ(y, c.y);
    EXPECT_EQ(cb, c.cb);
    EXPECT_EQ(cr, c.cr);
  }
  TRGB out;
  LKYCbCr2RGB(out, 76, 84, 255);
  EXPECT_EQ(out, Rgb(254, 0, 0));
}

TEST(ColorSpaceTest, YCbCrGreyIsExact) {
  // Every grey keeps its level and neutral chroma both ways.
  for (int v = 0; v < 256; ++v) {
    Integer y, cb, cr;
    LKRGB2YCbCr(Rgb(v, v, v), y, cb, cr);
    EXPECT_EQ(y, v);
    EXPECT_EQ(cb, 128);
    EXPECT_EQ(cr, 128);
    TRGB out;
    LKYCbCr2RGB(out, v, 128, 128);
    EXPECT_EQ(out, Rgb(v, v, v));
  }
}

TEST(ColorSpaceTest, YCbCrClampsOutOfRangeInput) {
  TRGB out;
  LKYCbCr2RGB(out, 300, 0, 255);
  EXPECT_EQ(out.r, 255);
  EXPECT_EQ(out.b, 73);
  LKYCbCr2RGB(out, -50, 128, 128);
  EXPECT_EQ(out, Rgb(0, 0, 0));
}

TEST(ColorSpaceTest, Draw3DRectLeavesOutLineEnds) {
  TBitmap bmp(6, 5, pf24bit);  // new pixels are white
  TCanvas* canvas = bmp.GetCanvas();
  canvas->GetPen()->SetMode(pmXor);
  canvas->GetPen()->SetStyle(psDot);
  LKDraw3DRect(canvas, 1, 1, 4, 3, clRed, clBlue);
  const char* want[5] = {
      "......",
      ".RRR..",
      ".R..B.",
      ".BBBB.",
      "......",
  };
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 6; ++x) {
      const Byte* p = bmp.ScanLine(y) + 3 * x;  // blue, green, red
      const char got = (p[0] == 255 && p[1] == 255 && p[2] == 255) ? '.'
                       : (p[0] == 0 && p[1] == 0 && p[2] == 255)   ? 'R'
                       : (p[0] == 255 && p[1] == 0 && p[2] == 0)   ? 'B'
                                                                   : '?';
      EXPECT_EQ(got, want[y][x]) << x << "," << y;
    }
  EXPECT_EQ(canvas->GetPen()->GetMode(), pmCopy);
  EXPECT_EQ(canvas->GetPen()->GetStyle(), psSolid);
}

}  // namespace
