// Pixel plumbing of the transitions: 24-bit frames seen as row tables,
// plain and stretched rectangle copies between them, and a coverage mask
// that stands for a clipping region made of rectangles, rounded
// rectangles and polygons.
//
// Everything works on whole rows (memcpy, or one pass over a precomputed
// table of source contributions); nothing here calls a function per pixel.
// Stretched copies average the covered source area (a box filter over
// the exact footprint of each destination pixel), so the result does not
// depend on the platform and a flat colour stays exactly that colour.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"

class TBitmap;
class TPixelSurface;

/// A 24-bit picture as row addresses (row 0 the top row), 3 bytes a pixel.
struct TLKRows {
  Byte* const* Rows = nullptr;
  Integer Width = 0, Height = 0;
};

/// The rows of a pf24bit bitmap or surface (Rows is filled and returned).
TLKRows LKRowsOf(TBitmap* Bitmap, std::vector<Byte*>& Rows);
TLKRows LKRowsOf(TPixelSurface* Surface, std::vector<Byte*>& Rows);

/// Copies Src's pixels (SX, SY) .. (SX + W, SY + H) to (DX, DY) of Dst,
/// clipped to both pictures. Dst may be Src (overlap is handled).
void LKRowsCopy(const TLKRows& Dst, Integer DX, Integer DY, const TLKRows& Src, Integer SX, Integer SY, Integer W,
                Integer H);
/// Copies the whole of Src onto Dst at the origin (the common size).
void LKRowsCopyAll(const TLKRows& Dst, const TLKRows& Src);
/// Fills the rectangle (clipped) with one colour.
void LKRowsFill(const TLKRows& Dst, const TRect& R, Byte B, Byte G, Byte R_);

/// Stretches rectangle Source of Src into rectangle Dest of Dst, clipped to
/// Dst. Source is first limited to Src's bounds; an empty source or
/// destination draws nothing. MirrorH / MirrorV turn the picture over
/// inside Dest. Equal sizes without mirroring copy rows unscaled. Src must
/// not be Dst, unless only the width changes and rows stay where they are
/// (the same top and height, no vertical mirror).
void LKRowsStretch(const TLKRows& Dst, TRect Dest, const TLKRows& Src, TRect Source, bool MirrorH = false,
                   bool MirrorV = false);

/// A clipping region on a frame of Width x Height pixels, kept as one
/// coverage byte per pixel plus the covered column range of each row.
/// Shapes outside the frame are clipped away.
class TLKRegionMask {
 public:
  /// Empties the mask and sizes it to the frame.
  void Reset(Integer Width, Integer Height);
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }

  /// Adds (union) the rectangle (Left, Top, Right, Bottom), right and
  /// bottom exclusive.
  void AddRect(Integer L, Integer T, Integer R, Integer B);
  /// Flips the coverage inside the rectangle (exclusive-or).
  void XorRect(Integer L, Integer T, Integer R, Integer B);
  /// Adds a rectangle with elliptic corners EW wide and EH high (limited to
  /// the rectangle's size). A pixel is inside when its centre is.
  void AddRoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH);
  /// Like AddRoundRect, but flips the coverage.
  void XorRoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH);
  /// Adds a polygon filled with the nonzero winding rule; a pixel is inside
  /// when its centre is (centres on a left edge count, on a right edge not).
  void AddPolygon(const TPoint* Points, Integer Count);
  /// Keeps only what Other covers too (both of the same size).
  void Intersect(const TLKRegionMask& Other);

  /// Pixels covered (for tests).
  Int64 CoveredCount() const;
  bool Covered(Integer X, Integer Y) const;

  /// Copies every covered pixel of Src to the same place of Dst.
  void Blit(const TLKRows& Dst, const TLKRows& Src) const;

 private:
  void SpanRow(Integer Y, Integer X0, Integer X1, bool Flip);
  void RoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH, bool Flip);
  Integer FWidth = 0, FHeight = 0;
  std::vector<Byte> FBits;
  std::vector<Integer> FMinX, FMaxX;  // covered columns per row, MinX > MaxX when none
};
