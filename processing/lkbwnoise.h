// Cleaning of scanned 1-bit pictures: removal of small isolated groups of
// one colour, and the kFill filter, which fills the core of a k x k window
// with one colour when the window's border ring marks the core as noise,
// alternating passes for the two colours.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Every pixel of Colour (nonzero: set, white) in the rectangle (x2, y2
/// exclusive, clamped) whose 3x3 neighbourhood, itself included and only
/// the rectangle counted, holds at most Maximum pixels of Colour takes the
/// other colour. Maximum 0 or another format: nothing.
void _LKRemoveIsolatedPixels1Bit(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Colour,
                                 Integer Maximum);

/// kFill over a whole lk1g bitmap (set bits ON; Invert swaps the colours).
/// MaxPasses is limited to 252, which the pass markers can tell apart, and
/// MaxWindow to 3..5 (its decision tables grow as 2^(4(k-1)) bytes). The
/// outermost rows and columns are never changed.
void _kf_kfill(TLKBitmap* Bitmap, bool ConnectivityCheck, bool AllOffRule, Integer MaxPasses, Integer MaxWindow,
               bool Invert);
