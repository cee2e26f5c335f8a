// The magic wand: the region of similar colour around a seed pixel, as an
// outline polygon or as mask pixels.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/graphics.h"

class TLKBitmap;
class TLKMask;

/// The outline of the 4-connected region of pixels whose red, green and
/// blue each differ from the seed's by at most Tolerance, in bitmap
/// coordinates on pixel corners; MaxFilter grows the region by one pixel
/// inside the fill's box. Empty for a seed outside the bitmap.
std::vector<TPoint> _MakeMagicWandPoints(TLKBitmap* Bitmap, Integer X, Integer Y, bool MaxFilter, Integer Tolerance);
/// Sets to Value the mask pixels of that region (grown by one pixel on every
/// side with MaxFilter). Nothing for a seed outside the bitmap.
void _MakeMagicWandPointsEx(TLKBitmap* Bitmap, Integer X, Integer Y, bool MaxFilter, Integer Tolerance,
                            TLKMask* Mask, Integer Value);
/// Sets to Value the mask pixel of every similar pixel of the bitmap.
/// Nothing for a seed outside the bitmap.
void _MakeMagicWandPointsEx2(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Tolerance, TLKMask* Mask,
                             Integer Value);
