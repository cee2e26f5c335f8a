// Morphological filters: maximum, minimum, opening and closing of 24-bit
// pictures by grey order (whole pixels move) and of 1-bit pictures.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Grey-order morphology of the rectangle (x2, y2 exclusive, clamped) of an
/// lk24RGB bitmap with a (2 WindowSize + 1)-pixel square window, clamped to
/// the rectangle. Op 0 maximum, 1 minimum, 2 opening, 3 closing; each pixel
/// takes the first pixel in reading order of the largest (smallest) grey
/// level, or keeps its own when the window is all 0 (all 255).
void _MorphFilter(TLKBitmap* Bitmap, Integer WindowSize, Integer Op, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  const TLKProgressEvent& OnProgress, TObject* Sender);

/// Two-level morphology of a whole lk1g bitmap over set bits (black ones
/// with Invert): Op 1 dilation, 2 erosion (fewer than WindowSize^2 set
/// pixels in the window clears), 3 and 4 alternate dilation and erosion pass
/// by pass. The window is 2 (WindowSize div 2) + 1 pixels square; for
/// erosion the pixels beyond the picture count as set, so the picture's
/// border is not eaten away.
void LKmorph1bit(TLKBitmap* Bitmap, Integer Iterations, Integer Op, Integer WindowSize, bool Invert,
                 const TLKProgressEvent& OnProgress, TObject* Sender);
