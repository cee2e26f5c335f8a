// Shared pieces of the colour and tone routines: clipping a routine's
// rectangle to its bitmap, the two progress rules of the routines, the grey
// level of a pixel and a per-channel table pass over a 24-bit rectangle.
// Nothing here keeps state between calls, so the routines built on it may
// run on several bitmaps at once.
#pragma once

#include <array>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"

namespace lkpoint {

using Table = std::array<Byte, 256>;

/// Cuts x1, y1, x2, y2 (right and bottom exclusive) to the bitmap; negative
/// starts count as 0. False when nothing is left to process.
inline bool ClipRect(TLKBitmap* b, Integer& x1, Integer& y1, Integer& x2, Integer& y2) {
  if (!b || b->IsEmpty()) return false;
  if (x1 < 0) x1 = 0;
  if (y1 < 0) y1 = 0;
  if (x2 > b->GetWidth()) x2 = b->GetWidth();
  if (y2 > b->GetHeight()) y2 = b->GetHeight();
  return x1 < x2 && y1 < y2;
}

/// Progress of a routine working on rows y1 .. y2 - 1 of a rectangle: after
/// row y, Trunc((y - y1 + 1) * 100 / (y2 - 1 - y1 + 0.5)), so the last rows
/// may report a little over 100.
class RectProgress {
 public:
  RectProgress(const TLKProgressEvent& event, TObject* sender, Integer y1, Integer y2)
      : event_(event), sender_(sender), y1_(y1), factor_(100.0 / (y2 - 1 - y1 + 0.5)) {}
  void Row(Integer y) const {
    if (event_) event_(sender_, LKTrunc((y - y1_ + 1) * factor_));
  }

 private:
  const TLKProgressEvent& event_;
  TObject* sender_;
  Integer y1_;
  double factor_;
};

/// Progress of a whole-bitmap routine: after row y (from 0),
/// Trunc(y * 100 / height); the finishing event gives the 100.
class WholeProgress {
 public:
  WholeProgress(const TLKProgressEvent& event, TObject* sender, Integer height)
      : event_(event), sender_(sender), height_(height > 0 ? height : 1) {}
  void Row(Integer y) const {
    if (event_) event_(sender_, LKTrunc(static_cast<double>(y) * 100.0 / height_));
  }

 private:
  const TLKProgressEvent& event_;
  TObject* sender_;
  Integer height_;
};

/// Grey level of red, green and blue with the library's grey weights.
inline Integer Grey(Integer r, Integer g, Integer b) {
  return (r * gRedToGrayCoef + g * gGreenToGrayCoef + b * gBlueToGrayCoef) / 100;
}

/// Limits v to 0..255 as a byte.
inline Byte Clamp8(Integer v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); }
inline Byte Clamp8d(double v) { return v <= 0 ? 0 : (v >= 255 ? 255 : static_cast<Byte>(v)); }

/// Sends every blue, green and red byte of the rectangle (already clipped)
/// of an lk24RGB bitmap through its table.
void ApplyTables24(TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2, const Table& blue,
                   const Table& green, const Table& red, const RectProgress* rect, const WholeProgress* whole);

/// Calls f(p) with the address of every pixel (blue, green, red bytes) of
/// an lk24RGB bitmap, row by row, reporting progress after each row.
template <typename F>
void EachPixel24(TLKBitmap* b, const WholeProgress& progress, F f) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    Byte* p = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) f(p);
    progress.Row(y);
  }
}

/// A frame's copy of a palette picture changed its palette: the working
/// picture takes it (the mask copies indices only). Nothing when From is To
/// or not lk8p.
inline void CopyPalette(TLKBitmap* From, TLKBitmap* To) {
  if (!From || !To || From == To || From->GetPixelFormat() != lk8p) return;
  for (Integer i = 0; i < From->GetPaletteLen(); ++i) To->SetPalette(i, From->GetPalette(i));
}

/// True for a non-empty lk24RGB bitmap.
inline bool Is24(TLKBitmap* b) { return b && !b->IsEmpty() && b->GetPixelFormat() == lk24RGB; }

}  // namespace lkpoint
