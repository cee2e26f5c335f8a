// Resampling a picture whose horizontal and vertical resolutions differ, so
// that both agree and the picture keeps its physical proportions.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;
class TIOParamsVals;

/// Makes the resolutions of Params agree by resampling the shorter side of
/// Bitmap. With W and H the parameters' WIDTH and HEIGHT: when H < W the new
/// height is Trunc(H / DPIY * DPIX) and DPIY takes DPIX; otherwise the new
/// width is Trunc(W / DPIX * DPIY) and DPIX takes DPIY (through SetDpiX and
/// SetDpiY); WIDTH and HEIGHT take the new size. Filtered resamples into a
/// new lk24RGB bitmap (a copy of the source converted to lk24RGB first);
/// otherwise the nearest pixels are copied into a new bitmap of the source's
/// format and palette. The alpha channel is not carried over.
/// Returns Bitmap itself when there is nothing to do (equal resolutions,
/// either one 0 or less, an empty bitmap, or a size that would come out
/// below one pixel); otherwise a new bitmap that the caller owns and frees.
TLKBitmap* LKAdjustDPI(TLKBitmap* Bitmap, TIOParamsVals* Params, bool Filtered);
