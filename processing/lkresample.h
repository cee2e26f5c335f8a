// Linear, area, projection and unfiltered resampling: the routines behind the
// fast-linear, bilinear, bicubic and projection filters and behind drawing
// without a filter, plus the box-filtered reduction of 1-bit pictures.
//
// Every routine fills the whole destination, which the caller allocates at
// the target size, from the whole source; the source is only read. None
// keeps state between calls or uses shared scratch memory, so they may run
// on any thread on bitmaps that no other thread uses at the same time. A
// source or destination of a format a routine does not handle, or an empty
// one, leaves the destination as it is. Scratch rasters are sized with
// 64-bit products; EOutOfMemory is raised when they cannot be had.
#pragma once

#include <functional>

#include "core/hylkdefs.h"

class TLKBitmap;
class TBitmap;

/// Fixed-point fraction bits of the linear routines (a fraction f of a source
/// pixel is held as Trunc(f * 131072)).
inline constexpr Integer LKLinearFractionBits = 17;

/// Fast linear resampling of an lk24RGB source into an lk24RGB destination.
/// Each axis is handled on its own: an enlarged axis interpolates linearly
/// between two neighbours with 17-bit fractions (the step from the near
/// sample floored), a reduced or kept axis averages the source pixels from a
/// destination pixel's start up to and including the next one's start. Equal
/// sizes copy the pixels. Progress runs over both passes.
void _ResampleLinearEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress = {},
                       TObject* sender = nullptr);

/// The part of _ResampleLinearEx that is to be seen, for drawing a picture
/// scaled: the rectangle `rect` of an lk24RGB source (Right and Bottom
/// exclusive) resampled to w2 x h2 pixels, of which only the pixels of `part`
/// (exclusive likewise, cut to 0..w2 x 0..h2) are computed, each equal to
/// that pixel of _ResampleLinearEx on a copy of the rectangle. Only the
/// source pixels those depend on are read, and no intermediate of the whole
/// source is held. Row k of the part (0 = part.Top) is written to the
/// address outRow(k) returns: part.Width() pixels from column part.Left.
/// Nothing happens for another format, a rectangle not inside the source,
/// or an empty rectangle, size or part.
void LKResampleLinearPart(TLKBaseBitmap* source, const TRect& rect, Integer w2, Integer h2, const TRect& part,
                          const std::function<Byte*(Integer)>& outRow);

/// _ResampleLinearEx on one 8-bit channel (an alpha channel or any 8-bit
/// bitmap, lk8g or lk8p indexes); both bitmaps must have 8 bits per pixel.
void _ResampleLinearAlpha(TLKBitmap* source, TLKBitmap* dest, const TLKProgressEvent& progress = {},
                          TObject* sender = nullptr);

/// Linear resampling of an lk1g source into an lk24RGB grey destination (set
/// bits 255, clear bits 0). When both axes shrink the work is the box
/// reduction _SubResample1bitFilteredEx; otherwise both axes interpolate.
/// Equal sizes turn the destination into a 1-bit copy of the source.
void _ResampleLinear1BitEx(TLKBitmap* source, TLKBitmap* dest, const TLKProgressEvent& progress = {},
                           TObject* sender = nullptr);

/// Area resampling of an lk24RGB source into an lk24RGB destination: each
/// destination pixel is the integral of the source over its area, the source
/// interpolated (mode 0 bilinear, 1 bicubic) along the axes that are
/// enlarged and taken as constant pixels along the others, so reducing both
/// axes is a plain area average. Progress per destination row.
void _LKQResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, Integer mode,
                  const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// _LKQResample for a source that is not needed afterwards: the source rows
/// the resampler has passed go back to the system as it goes, so the source
/// and the result are not both held whole, and the source is freed at the
/// end, also when its format leaves the destination unchanged. The result is
/// _LKQResample's. Nil or identical bitmaps: nothing happens.
void LKQResampleAndFree(TLKBitmap* source, TLKBitmap* dest, Integer mode,
                        const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// Projection of an lk24RGB source onto a 1-bit destination (reallocated as
/// lk1g at its size when it is not). Black on white (whiteOnBlack false): a
/// destination pixel is black when some pixel of its source block has red,
/// green and blue all below 128; white on black: white when some pixel has
/// all three above 128. Thin details of the chosen colour survive reduction.
void _ResampleProject24Bit(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool whiteOnBlack,
                           const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// Projection of an lk1g source onto an lk1g destination (reallocated as lk1g
/// when it is not): black on white keeps a pixel black when one pixel of its
/// block is clear, white on black sets it when one is set.
void _ResampleProject1Bit(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool whiteOnBlack,
                          const TLKProgressEvent& progress = {}, TObject* sender = nullptr);

/// Box reduction of the inclusive rectangle (x1, y1)-(x2, y2) of an lk1g
/// source into an lk24RGB grey destination: each destination pixel is
/// 255 * (set pixels of its block) div (pixels of the block). Blocks are
/// centred on their destination pixel and may reach half a block beyond the
/// rectangle, never beyond the source. The rectangle is clamped to the
/// source; nothing happens when it, the source or the destination is empty.
void _SubResample1bitFilteredEx(TLKBaseBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2,
                                TLKBitmap* dest);

/// Nearest-neighbour copy for every pixel format: destination column j reads
/// source column Trunc(W / W2 * j), row r source row Trunc(H / H2 * r); whole
/// pixels are copied. The destination must have the source's format (else
/// nothing happens); a palette is not copied.
void _LKBmpStretchEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress = {},
                     TObject* sender = nullptr);

/// _LKBmpStretchEx for class-library bitmaps: the destination keeps its size
/// and takes the source's format, pf1bit (black and white table) or pf24bit;
/// other source formats leave the destination unchanged.
void _LKBmpStretch(TBitmap* source, TBitmap* dest);
