// Pixel combination modes of the renderer and of layer merging, and the
// combiner that applies one of them to a pair of 24-bit colours.
#pragma once

#include "core/hylkdefs.h"

/// How a drawn colour (the source) is combined with the colour already in
/// the destination. The ordinals are stored by callers and must not change.
enum TLKRenderOperation : Byte {
  lklNormal = 0,
  lklAdd = 1,
  lklSub = 2,
  lklDiv = 3,
  lklMul = 4,
  lklOR = 5,
  lklAND = 6,
  lklXOR = 7,
  lklMAX = 8,
  lklMIN = 9,
  lklAverage = 10,
  lklScreen = 11,
  lklNegation = 12,
  lklExclusion = 13,
  lklOverlay = 14,
  lklHardLight = 15,
  lklSoftLight = 16,
  lklXFader = 17,
  lklColorEdge = 18,
  lklColorBurn = 19,
  lklInverseColorDodge = 20,
  lklInverseColorBurn = 21,
  lklSoftDodge = 22,
  lklSoftBurn = 23,
  lklReflect = 24,
  lklGlow = 25,
  lklFreeze = 26,
  lklEat = 27,
  lklSubtractive = 28,
  lklInterpolation = 29,
  lklStamp = 30,
  lklRed = 31,
  lklGreen = 32,
  lklBlue = 33,
  lklHue = 34,
  lklSaturation = 35,
  lklColor = 36,
  lklLuminosity = 37,
};

/// Number of combination modes.
inline constexpr int LKRenderOperationCount = 38;

/// Combines the source colour `s` into the destination colour `d` by `op`.
/// Per-channel modes work on blue, green and red alike; lklRed, lklGreen and
/// lklBlue replace one channel; lklHue .. lklLuminosity mix hue, saturation
/// and lightness of the two colours. A value outside the enumeration leaves
/// `d` unchanged.
void LKBlend(const TRGB& s, TRGB& d, TLKRenderOperation op);

/// LKBlend on the blue, green and red bytes of two 32-bit pixels; the alpha
/// byte of `d` is left alone.
void LKBlendRGBA(const TRGBA& s, TRGBA& d, TLKRenderOperation op);
