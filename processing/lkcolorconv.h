// The hue-based colour models of the processing routines and a re-coding of
// luma weights. The three models differ in scale and rounding and are not
// interchangeable:
//   HSL: hue, saturation and lightness as doubles in 0..1;
//   HSV: hue 0..359 degrees, saturation and value 0..99;
//   HSB: hue 0..359 degrees, saturation and brightness 0..255.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

class TLKBitmap;

/// Colour to hue (fraction of a turn), saturation and lightness, all 0..1.
void RGB2HSL(const TRGB& Color, double& H, double& S, double& L);

/// Hue (one turn is 1; one turn out of range is corrected), saturation and
/// lightness (clamped to 0..1) to a colour, channels rounded half to even.
void HSL2RGB(TRGB& Color, double H, double S, double L);

/// Colour to hue 0..359 and saturation and value 0..99.
void RGB2HSV(const TRGB& Color, Integer& H, Integer& S, Integer& V);

/// Hue in degrees (any value, taken modulo 360), saturation and value
/// (clamped to 0..99) to a colour.
void HSV2RGB(TRGB& Color, Integer H, Integer S, Integer V);

/// Red, green and blue to hue 0..359 and saturation and brightness 0..255.
void LKRGBtoHSB(Byte R, Byte G, Byte B, Word& H, Word& S, Word& Br);

/// Hue (taken modulo 360), saturation and brightness (limited to 255) to red,
/// green and blue.
void LKHSBtoRGB(Word H, Word S, Word Br, Byte& R, Byte& G, Byte& B);

/// Re-codes every pixel of a 24-bit bitmap from the luma weights (OldR, OldG,
/// OldB) to (NewR, NewG, NewB): each pixel's Y, Cb and Cr under the old
/// weights are turned back into RGB under the new ones. Bitmaps of any other
/// pixel format, and null, are left unchanged.
void LKChangeYCbCrCoefficients(TLKBitmap* Bitmap, double OldR, double OldG, double OldB,
                               double NewR, double NewG, double NewB);
