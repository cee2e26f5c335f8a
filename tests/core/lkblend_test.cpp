#include <gtest/gtest.h>

#include "core/lkblend.h"

namespace {

// Two source/destination pairs, channels in memory order (blue, green, red).
// Pair A mixes a dark, a light and a full channel over three different
// destinations; pair B puts 0, 128 and 255 over themselves.
constexpr TRGB kSourceA{10, 200, 255}, kDestA{200, 10, 64};
constexpr TRGB kSourceB{0, 128, 255}, kDestB{0, 128, 255};

struct BlendCase {
  TLKRenderOperation op;
  TRGB expectA, expectB;
};

// Expected values worked out from each mode's formula by hand.
const BlendCase kPerChannel[] = {
    {lklNormal, {10, 200, 255}, {0, 128, 255}},
    {lklAdd, {210, 210, 255}, {0, 255, 255}},
    {lklSub, {190, 190, 191}, {0, 0, 0}},
    {lklDiv, {20, 0, 0}, {0, 1, 1}},
    {lklMul, {7, 7, 63}, {0, 64, 254}},
    {lklOR, {202, 202, 255}, {0, 128, 255}},
    {lklAND, {8, 8, 64}, {0, 128, 255}},
    {lklXOR, {194, 194, 191}, {0, 0, 0}},
    {lklMAX, {200, 200, 255}, {0, 128, 255}},
    {lklMIN, {10, 10, 64}, {0, 128, 255}},
    {lklAverage, {105, 105, 159}, {0, 128, 255}},
    {lklScreen, {203, 203, 255}, {1, 192, 255}},
    {lklNegation, {210, 210, 191}, {0, 254, 0}},
    {lklExclusion, {195, 195, 192}, {0, 128, 2}},
    {lklOverlay, {150, 15, 127}, {0, 129, 255}},
    {lklHardLight, {15, 150, 255}, {0, 129, 255}},
    {lklSoftLight, {160, 33, 127}, {0, 128, 255}},
    {lklXFader, {160, 14, 111}, {0, 128, 254}},
    {lklColorEdge, {208, 46, 255}, {0, 255, 255}},
    {lklColorBurn, {0, 0, 64}, {0, 1, 255}},
    {lklInverseColorDodge, {46, 208, 255}, {0, 255, 255}},
    {lklInverseColorBurn, {0, 0, 255}, {0, 1, 255}},
    {lklSoftDodge, {104, 23, 255}, {0, 128, 255}},
    {lklSoftBurn, {23, 104, 160}, {0, 128, 255}},
    {lklReflect, {163, 1, 255}, {0, 129, 255}},
    {lklGlow, {1, 163, 255}, {0, 129, 255}},
    {lklFreeze, {0, 0, 112}, {0, 129, 255}},
    {lklEat, {0, 0, 255}, {0, 129, 255}},
    {lklSubtractive, {0, 0, 63}, {0, 0, 254}},
    {lklInterpolation, {114, 114, 147}, {0, 128, 255}},
    {lklStamp, {0, 154, 255}, {0, 128, 255}},
    // Single-channel copies: only the named channel takes the source's.
    {lklRed, {200, 10, 255}, {0, 128, 255}},
    {lklGreen, {200, 200, 64}, {0, 128, 255}},
    {lklBlue, {10, 10, 64}, {0, 128, 255}},
};

TEST(LKBlend, PerChannelModesGiveTheirFormulaValues) {
  for (const BlendCase& c : kPerChannel) {
    TRGB d = kDestA;
    LKBlend(kSourceA, d, c.op);
    EXPECT_EQ(d, c.expectA) << "mode " << int(c.op) << " pair A";
    d = kDestB;
    LKBlend(kSourceB, d, c.op);
    EXPECT_EQ(d, c.expectB) << "mode " << int(c.op) << " pair B";
  }
}

TEST(LKBlend, SubtractionIsSymmetricAndDivisionByZeroDividesByOne) {
  TRGB d{200, 10, 77};
  LKBlend(TRGB{10, 200, 0}, d, lklSub);
  EXPECT_EQ(d.b, 190);
  EXPECT_EQ(d.g, 190);
  d = TRGB{77, 77, 77};
  LKBlend(TRGB{0, 0, 0}, d, lklDiv);
  EXPECT_EQ(d, (TRGB{77, 77, 77}));
}

// Hue, saturation and lightness modes: source pure red, destination a
// half-saturated blue (64, 64, 192) at lightness 0.502.
TEST(LKBlend, HslModesTakeTheirComponentsFromTheRightColour) {
  const TRGB red{0, 0, 255};
  const TRGB blueish{192, 64, 64};
  struct Case {
    TLKRenderOperation op;
    TRGB expect;
  } cases[] = {
      {lklHue, {64, 64, 192}},         // red hue, the destination's saturation and lightness
      {lklSaturation, {255, 1, 1}},    // blue hue, full saturation
      {lklColor, {1, 1, 255}},         // red hue and saturation, the destination's lightness
      {lklLuminosity, {63, 63, 192}},  // red hue (from the source), the destination's saturation, lightness 0.5
  };
  for (const Case& c : cases) {
    TRGB d = blueish;
    LKBlend(red, d, c.op);
    EXPECT_EQ(d, c.expect) << "mode " << int(c.op);
  }
}

TEST(LKBlend, UnknownModeLeavesTheDestinationAndRgbaKeepsAlpha) {
  TRGB d{1, 2, 3};
  LKBlend(TRGB{200, 200, 200}, d, static_cast<TLKRenderOperation>(38));
  EXPECT_EQ(d, (TRGB{1, 2, 3}));
  LKBlend(TRGB{200, 200, 200}, d, static_cast<TLKRenderOperation>(255));
  EXPECT_EQ(d, (TRGB{1, 2, 3}));

  TRGBA da{200, 10, 64, 17};
  LKBlendRGBA(TRGBA{10, 200, 255, 99}, da, lklAdd);
  EXPECT_EQ(da, (TRGBA{210, 210, 255, 17}));
}

}  // namespace
