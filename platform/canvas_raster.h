// The canvas's rasteriser: stored pixel values of every surface format,
// colour matching, pen modes on values, and the pixel sets of lines,
// ellipses and polygons. Used by TCanvas and TBitmap only.
#pragma once

#include <cstdlib>
#include <span>
#include <vector>

#include "platform/graphics.h"

namespace raster {

/// Mask of the bits a stored value of the format uses (24 bits for 24 and 32).
Cardinal ValueMask(Integer bpp);
/// Stored value of pixel x in a row (for 24 and 32 bits: 0x00RRGGBB).
Cardinal ReadValue(const Byte* row, Integer x, Integer bpp);
/// Stores value v at pixel x (for 32 bits the fourth byte is left alone).
void WriteValue(Byte* row, Integer x, Integer bpp, Cardinal v);
/// Index of the colour-table entry nearest to an RGB colour (least squared
/// distance, lowest index on ties); 0 for an empty table.
Cardinal NearestIndex(std::span<const TRGBQuad> pal, Byte r, Byte g, Byte b);
/// Stored value for a colour: system colours resolved, palette codes
/// (0x01 index, 0x02 nearest) honoured, nearest entry on indexed surfaces.
Cardinal ColorToValue(TColor color, Integer bpp, std::span<const TRGBQuad> pal);
/// Plain colour of a stored value (indexes past the table give black).
TColor ValueToColor(Cardinal v, Integer bpp, std::span<const TRGBQuad> pal);

/// A clip region: the pixels whose centres lie inside a polygon
/// (alternate rule), kept as a mask over its bounding box.
struct Region {
  TRect box;
  std::vector<Byte> bits;
  bool Has(Integer x, Integer y) const {
    return x >= box.Left && x < box.Right && y >= box.Top && y < box.Bottom &&
           bits[static_cast<std::size_t>(y - box.Top) * static_cast<std::size_t>(box.Right - box.Left) + (x - box.Left)];
  }
  /// The region of a polygon, limited to `limit`.
  static Region FromPolygon(std::span<const TPoint> pts, const TRect& limit);
};

/// A surface ready for drawing: its geometry, the clip rectangle and an
/// optional clip region.
struct Target {
  TPixelSurface* s = nullptr;
  Integer w = 0, h = 0, bpp = 0;
  std::span<const TRGBQuad> pal;
  TRect clip;  // already inside 0..w, 0..h (and the region's box)
  Cardinal mask = 0;
  const Region* region = nullptr;
  Target(TPixelSurface* surface, const TRect& clipRect, const Region* clipRegion = nullptr);
  Cardinal Value(TColor c) const { return ColorToValue(c, bpp, pal); }
  bool Inside(Integer x, Integer y) const {
    return x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom && (!region || region->Has(x, y));
  }
};

/// Writes one value through a pen mode, clipped.
class Painter {
 public:
  Painter(const Target& t, TPenMode mode, TColor color);
  Painter(const Target& t, TPenMode mode, Cardinal value, bool isValue);
  /// Pixels x0..x1-1 of row y.
  void Span(Integer y, Integer x0, Integer x1) const;
  void Pixel(Integer x, Integer y) const;
  /// Pixels x0..x1-1 of row y where the 8x8 hatch pattern is set.
  void HatchSpan(Integer y, Integer x0, Integer x1, TBrushStyle style) const;

 private:
  Cardinal Apply(Cardinal d) const;
  void RawSpan(Byte* row, Integer x0, Integer x1) const;
  const Target& t_;
  TPenMode mode_;
  Cardinal value_, black_, white_;
};

/// True where the 8x8 hatch of the style has a line at (x, y).
bool HatchBit(TBrushStyle style, Integer x, Integer y);

/// Calls f(x, y, i) for the i-th pixel (i an Int64) of the line from (x0, y0) towards
/// (x1, y1), the end point left out, visiting only pixels whose coordinate
/// along the line's major axis lies in lo..hi-1 (so clipped lines cost only
/// their visible part). The pixel set does not depend on the direction: the
/// minor coordinate is the ideal value rounded half up.
template <class F>
void LinePixels(Integer x0, Integer y0, Integer x1, Integer y1, Integer loX, Integer hiX, Integer loY,
                Integer hiY, F&& f) {
  const Int64 dx = static_cast<Int64>(x1) - x0, dy = static_cast<Int64>(y1) - y0;
  const Int64 adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0) return;
  // floor(num / den + 1/2) for den > 0; products of two 33-bit spans need 128 bits.
  auto roundDiv = [](__int128 num, Int64 den) {
    const __int128 n = 2 * num + den, d = 2 * static_cast<__int128>(den);
    __int128 q = n / d;
    if (n % d != 0 && n < 0) --q;
    return static_cast<Int64>(q);
  };
  // Minor coordinate from the end with the smaller major coordinate.
  const bool xMajor = adx >= ady;
  const Int64 a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0, a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1;
  const Int64 len = xMajor ? adx : ady;
  const Int64 step = a1 > a0 ? 1 : -1;
  const Int64 ca = step > 0 ? a0 : a1, cb = step > 0 ? b0 : b1, cd = step > 0 ? b1 - b0 : b0 - b1;
  const Int64 lo = xMajor ? loX : loY, hi = xMajor ? hiX : hiY;
  Int64 iFirst = step > 0 ? lo - a0 : a0 - hi + 1;
  Int64 iLast = step > 0 ? hi - a0 : a0 - lo + 1;  // exclusive
  iFirst = iFirst < 0 ? 0 : iFirst;
  iLast = iLast > len ? len : iLast;
  for (Int64 i = iFirst; i < iLast; ++i) {
    const Int64 a = a0 + i * step;
    const Int64 b = cb + roundDiv(static_cast<__int128>(a - ca) * cd, len);
    if (xMajor) f(static_cast<Integer>(a), static_cast<Integer>(b), i);
    else f(static_cast<Integer>(b), static_cast<Integer>(a), i);
  }
}

/// Horizontal extent of a shape per row: row Top + i covers L[i]..R[i]
/// inclusive (empty when L > R).
struct Spans {
  Integer Top = 0;
  std::vector<Integer> L, R;
  Integer Rows() const { return static_cast<Integer>(L.size()); }
  bool Has(Integer x, Integer y) const {
    Integer i = y - Top;
    return i >= 0 && i < Rows() && x >= L[i] && x <= R[i];
  }
};
/// Rows r0..r1-1 (cut to the box) of the pixels whose centres lie inside the
/// ellipse inscribed in x1..x2, y1..y2 (edges as continuous coordinates).
/// Every row of the box holds at least its centre pixel(s); the shape is
/// symmetric about both centre lines.
Spans EllipseSpans(Integer x1, Integer y1, Integer x2, Integer y2, Integer r0, Integer r1);
/// Rows r0..r1-1 of the rectangle x1..x2-1, y1..y2-1 with its corners cut
/// by ellipses of ew x eh pixels.
Spans RoundRectSpans(Integer x1, Integer y1, Integer x2, Integer y2, Integer ew, Integer eh, Integer r0, Integer r1);
/// Calls f(y, x0, x1) for the runs x0..x1-1 of pixel centres inside the
/// polygon (alternate rule, vertices as continuous coordinates).
void PolygonRuns(std::span<const TPoint> pts, const TRect& clip,
                 const std::function<void(Integer, Integer, Integer)>& f);

/// Copies Source's rectangle sr (nearest pixel, mirrored where one side's
/// width or height is negative) onto dr of the target with a raster code;
/// brushValue is the pattern. Pixels outside the source read as black;
/// transparentColor (or clNone) marks source pixels to leave out.
void StretchBlit(const Target& t, const TRect& dr, TPixelSurface* src, const TRect& sr, Cardinal rop,
                 Cardinal brushValue, TColor transparentColor);

}  // namespace raster
