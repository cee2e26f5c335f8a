// Small arithmetic, colour and bit-copy helpers shared by the whole image
// library: integer and real limits, TColor <-> TRGB, the grey level of a
// colour, single-pixel access to 1-bit rows and bit-run copies between them,
// and whole copies of class-library bitmaps.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

class TBitmap;

// ---------------------------------------------------------------------------
// Integer and real helpers
// ---------------------------------------------------------------------------

/// The smaller of two integers (a when they are equal).
inline Integer imin(Integer a, Integer b) { return a <= b ? a : b; }
/// The larger of two integers (a when they are equal).
inline Integer imax(Integer a, Integer b) { return b > a ? b : a; }
/// The smaller of two doubles (b when they are equal).
inline double dmin(double a, double b) { return a < b ? a : b; }
/// The larger of two doubles (b when they are equal).
inline double dmax(double a, double b) { return a > b ? a : b; }

/// Limits v to low..high. The low test comes first: with low above high, any
/// v <= low gives low and every other v gives high.
inline Integer ilimit(Integer v, Integer low, Integer high) {
  if (v <= low) return low;
  if (v >= high) return high;
  return v;
}

/// Limits v to the byte range 0..255.
inline Integer blimit(Integer v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

/// Orders a rectangle's corners in place: swaps x1/x2 when x1 > x2, then
/// y1/y2 when y1 > y2.
void OrdCor(Integer& x1, Integer& y1, Integer& x2, Integer& y2);

/// Exchange two values (32-bit signed, 32-bit unsigned, byte, double).
inline void iswap(Integer& a, Integer& b) { Integer t = a; a = b; b = t; }
inline void dwswap(DWORD& a, DWORD& b) { DWORD t = a; a = b; b = t; }
inline void bswap(Byte& a, Byte& b) { Byte t = a; a = b; b = t; }
inline void lkdswap(double& a, double& b) { double t = a; a = b; b = t; }

/// The integer part of x (toward zero) plus one when x has a positive
/// fraction: 2.0 -> 2, 2.1 -> 3, -2.5 -> -2. Results beyond the 32-bit range
/// are clamped to it; NaN gives 0.
Integer LKCeil(long double x);

// ---------------------------------------------------------------------------
// Colour helpers
// ---------------------------------------------------------------------------

/// The TRGB holding the three channel values.
inline TRGB CreateRGB(Byte r, Byte g, Byte b) {
  TRGB c;
  c.r = r;
  c.g = g;
  c.b = b;
  return c;
}

/// A TRGB as a class-library colour: red + green*256 + blue*65536.
inline TColor TRGB2TColor(const TRGB& c) {
  return static_cast<TColor>(c.r + c.g * 256 + c.b * 65536);
}

/// red | green << 8 | blue << 16 without masking: callers pass 0..255.
inline TColor RGB2TColor(Integer r, Integer g, Integer b) {
  return static_cast<TColor>(static_cast<Cardinal>(r) | (static_cast<Cardinal>(g) << 8) |
                             (static_cast<Cardinal>(b) << 16));
}

/// A class-library colour as TRGB. System colours (top byte set) are first
/// resolved to the colour the system currently uses for them.
TRGB TColor2TRGB(TColor c);

/// Grey level of a colour: (red*gRedToGrayCoef + green*gGreenToGrayCoef +
/// blue*gBlueToGrayCoef) div 100, the weights read at each call.
inline Integer _RGBToGray(const TRGB& c) {
  return (c.r * gRedToGrayCoef + c.g * gGreenToGrayCoef + c.b * gBlueToGrayCoef) / 100;
}

/// True when the two colours have equal red, green and blue.
inline bool EqualRGB(const TRGB& a, const TRGB& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// ---------------------------------------------------------------------------
// 1-bit rows and bitmap copies
// ---------------------------------------------------------------------------

/// Pixel x of a 1-bit row (leftmost pixel in the most significant bit):
/// the masked byte, nonzero exactly when the pixel is set (white).
inline DWORD _GetPixelbw(const Byte* row, Integer x) {
  return row[x >> 3] & lkbitmask1[x & 7];
}

/// Sets pixel x of a 1-bit row when value is nonzero, clears it when 0.
inline void _SetPixelbw(Byte* row, Integer x, Integer value) {
  if (value != 0)
    row[x >> 3] |= lkbitmask1[x & 7];
  else
    row[x >> 3] &= static_cast<Byte>(~lkbitmask1[x & 7]);
}

/// Copies BitCount bits from Source, starting at bit SourceBitPos, to Dest
/// starting at bit DestBitPos (bits numbered from the most significant bit of
/// the first byte). Destination bits outside the run keep their values. Does
/// nothing when BitCount < 1 or a position is negative. Source is a row of
/// SourceRowLen bytes: nothing past its end is read, and a run that would
/// need bits beyond it is shortened to the bits the row holds.
void _CopyBits(Byte* Dest, const Byte* Source, Integer DestBitPos, Integer SourceBitPos,
               Integer BitCount, Integer SourceRowLen);

/// Copies a class-library bitmap whole into Dest: same size, pixel format,
/// colour table and pixels. A source without pixels leaves Dest 1 x 1 in the
/// source's format. Null arguments, or Dest equal to Source, do nothing.
void LKCopyBitmap(TBitmap* Source, TBitmap* Dest);

/// A new class-library bitmap (owned by the caller) holding a copy of Source
/// (an empty bitmap for null).
TBitmap* LKCloneBitmap(TBitmap* Source);
