#include "processing/lkcolorconv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"

namespace {

TRGB Rgb(Byte r, Byte g, Byte b) { return CreateRGB(r, g, b); }

int MaxChannelDiff(const TRGB& a, const TRGB& b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST(ColorConvTest, HSLKnownValues) {
  struct Case {
    TRGB rgb;
    double h, s, l;
  };
  const Case cases[] = {
      {Rgb(255, 0, 0), 0.0, 1.0, 0.5},
      {Rgb(0, 0, 255), 4.0 / 6.0, 1.0, 0.5},
      {Rgb(0, 255, 0), 2.0 / 6.0, 1.0, 0.5},
      {Rgb(255, 0, 255), 5.0 / 6.0, 1.0, 0.5},  // negative hue wraps
      {Rgb(128, 128, 128), 0.0, 0.0, 128 / 255.0},
  };
  for (const Case& c : cases) {
    double h, s, l;
    RGB2HSL(c.rgb, h, s, l);
    EXPECT_NEAR(h, c.h, 1e-12);
    EXPECT_NEAR(s, c.s, 1e-12);
    EXPECT_NEAR(l, c.l, 1e-12);
  }
}

TEST(ColorConvTest, HSLToRgb) {
  TRGB c;
  HSL2RGB(c, 0.3, 0.0, 0.5);  // 127.5 rounds to even
  EXPECT_EQ(c, Rgb(128, 128, 128));
  HSL2RGB(c, 1.0 / 3.0, 1.0, 0.5);
  EXPECT_EQ(c, Rgb(0, 255, 0));
  HSL2RGB(c, -1.0 / 3.0, 1.0, 0.5);  // one turn below: read as 2/3
  EXPECT_EQ(c, Rgb(0, 0, 255));
  HSL2RGB(c, 0.0, 2.0, 1.5);  // saturation and lightness clamp to 1
  EXPECT_EQ(c, Rgb(255, 255, 255));
}

TEST(ColorConvTest, HSLRoundTripIsExact) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) {
        double h, s, l;
        TRGB out;
        RGB2HSL(Rgb(r, g, b), h, s, l);
        HSL2RGB(out, h, s, l);
        ASSERT_EQ(out, Rgb(r, g, b));
      }
}

TEST(ColorConvTest, HSVKnownValues) {
  struct Case {
    TRGB rgb;
    Integer h, s, v;
  };
  const Case cases[] = {
      {Rgb(255, 128, 0), 30, 99, 99},  // g = nearest(49.694) = 50; 50*60 div 99
      {Rgb(255, 0, 0), 0, 99, 99},
      {Rgb(0, 255, 0), 120, 99, 99},
      {Rgb(0, 0, 255), 240, 99, 99},
      {Rgb(255, 0, 128), 330, 99, 99},  // negative hue gets 360 added
      {Rgb(0, 0, 0), 0, 0, 0},
      {Rgb(200, 200, 200), 0, 0, 78},
  };
  for (const Case& c : cases) {
    Integer h, s, v;
    RGB2HSV(c.rgb, h, s, v);
    EXPECT_EQ(h, c.h);
    EXPECT_EQ(s, c.s);
    EXPECT_EQ(v, c.v);
  }
}

TEST(ColorConvTest, HSVToRgb) {
  struct Case {
    Integer h, s, v;
    TRGB rgb;
  };
  const Case cases[] = {
      {360, 99, 99, Rgb(255, 0, 0)},
      {0, 99, 99, Rgb(255, 0, 0)},
      {-30, 99, 99, Rgb(255, 0, 129)},  // read as 330
      {330, 99, 99, Rgb(255, 0, 129)},
      {690, 99, 99, Rgb(255, 0, 129)},
      {1050, 99, 99, Rgb(255, 0, 129)},  // more than one turn out: reduced, never garbage
      {0, 0, 99, Rgb(255, 255, 255)},
      {0, 0, 50, Rgb(129, 129, 129)},  // nearest(128.79)
      {120, 150, 120, Rgb(0, 255, 0)},  // saturation and value clamp to 99
  };
  for (const Case& c : cases) {
    TRGB out;
    HSV2RGB(out, c.h, c.s, c.v);
    EXPECT_EQ(out, c.rgb) << c.h << " " << c.s << " " << c.v;
  }
}

TEST(ColorConvTest, HSVRoundTripWithinItsScale) {
  // Saturation and value have 100 steps and the hue is whole degrees, so a
  // round trip can move a channel by a few levels, never more.
  int worst = 0;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 5) {
        Integer h, s, v;
        TRGB out;
        RGB2HSV(Rgb(r, g, b), h, s, v);
        HSV2RGB(out, h, s, v);
        worst = std::max(worst, MaxChannelDiff(out, Rgb(r, g, b)));
      }
  EXPECT_LE(worst, 8);
  // Greys and the primaries at full value come back exactly.
  for (const TRGB c : {Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 0, 0), Rgb(0, 255, 255)}) {
    Integer h, s, v;
    TRGB out;
    RGB2HSV(c, h, s, v);
    HSV2RGB(out, h, s, v);
    EXPECT_EQ(out, c);
  }
}

TEST(ColorConvTest, HSB) {
  Word h, s, br;
  LKRGBtoHSB(0, 0, 0, h, s, br);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(br, 0);
  LKRGBtoHSB(255, 128, 0, h, s, br);
  EXPECT_EQ(h, 30);  // 128*60 div 255
  EXPECT_EQ(s, 255);
  EXPECT_EQ(br, 255);
  LKRGBtoHSB(255, 0, 128, h, s, br);
  EXPECT_EQ(h, 330);

  Byte r = 1, g = 2, b = 3;
  LKHSBtoRGB(120, 255, 255, r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 0);
  LKHSBtoRGB(360, 255, 255, r, g, b);  // 360 is 0
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  // A hue of a full turn or more is reduced instead of leaving the outputs
  // unwritten.
  r = g = b = 7;
  LKHSBtoRGB(480, 255, 255, r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 0);
  LKHSBtoRGB(10, 0, 77, r, g, b);
  EXPECT_EQ(r, 77);
  EXPECT_EQ(g, 77);
  EXPECT_EQ(b, 77);

  int worst = 0;
  for (int R = 0; R < 256; R += 5)
    for (int G = 0; G < 256; G += 5)
      for (int B = 0; B < 256; B += 5) {
        LKRGBtoHSB(R, G, B, h, s, br);
        LKHSBtoRGB(h, s, br, r, g, b);
        worst = std::max(worst, MaxChannelDiff(Rgb(r, g, b), Rgb(R, G, B)));
      }
  EXPECT_LE(worst, 6);
}

TEST(ColorConvTest, ChangeYCbCrCoefficients) {
  const Integer saved = LKDefMinFileSize;
  for (Integer minFile : {1 << 30, 1}) {  // memory, then file storage
    LKDefMinFileSize = minFile;
    auto bmp = std::make_unique<TLKBitmap>(3, 2, lk24RGB);
    LKDefMinFileSize = saved;
    const TRGB pixels[6] = {Rgb(255, 0, 0), Rgb(51, 153, 102), Rgb(128, 128, 128),
                            Rgb(0, 0, 0),   Rgb(255, 255, 255), Rgb(10, 200, 30)};
    for (int i = 0; i < 6; ++i) bmp->SetPixels_lk24RGB(i % 3, i / 3, pixels[i]);

    // Equal weights give the pixels back.
    LKChangeYCbCrCoefficients(bmp.get(), 0.299, 0.587, 0.114, 0.299, 0.587, 0.114);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bmp->GetPixels_lk24RGB(i % 3, i / 3), pixels[i]) << i;

    // Rec. 601 to Rec. 709 weights: red 277.0 clamps, blue -3.6 clamps.
    LKChangeYCbCrCoefficients(bmp.get(), 0.299, 0.587, 0.114, 0.2126, 0.7152, 0.0722);
    EXPECT_EQ(bmp->GetPixels_lk24RGB(0, 0), Rgb(255, 25, 0));
    EXPECT_EQ(bmp->GetPixels_lk24RGB(1, 0), Rgb(43, 140, 101));
    EXPECT_EQ(bmp->GetPixels_lk24RGB(2, 0), Rgb(128, 128, 128));  // greys stay
    EXPECT_EQ(bmp->GetPixels_lk24RGB(1, 1), Rgb(255, 255, 255));
  }
  // Other formats have no three bytes per pixel: left unchanged.
  auto grey = std::make_unique<TLKBitmap>(5, 1, lk8g);
  grey->Fill(77);
  LKChangeYCbCrCoefficients(grey.get(), 0.299, 0.587, 0.114, 0.2126, 0.7152, 0.0722);
  for (Integer x = 0; x < 5; ++x) EXPECT_EQ(grey->GetPixels_lk8(x, 0), 77);
  LKChangeYCbCrCoefficients(nullptr, 0.299, 0.587, 0.114, 0.2126, 0.7152, 0.0722);
}

}  // namespace
