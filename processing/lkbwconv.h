// Black-and-white conversions and whole-picture measurements: 24-bit
// pictures to 1-bit by an 8 x 8 ordered dither or by a threshold (fixed,
// from the channel means, or by maximum entropy), 1-bit rows expanded to
// 24-bit black and white, and the per-channel means and grey-level
// histogram of a picture of any pixel format.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;
class TBitmap;

/// Ordered-dither matrix, levels 0..63. A pixel of level L (0..64) at
/// column x, row y is white when L > BWORDERPATTERN[x mod 8][y mod 8]: the
/// column selects the stored row.
inline constexpr Integer BWORDERPATTERN[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

/// Entry b holds the eight 24-bit pixels that byte b of a 1-bit row stands
/// for, most significant bit first: a set bit gives white (255, 255, 255),
/// a clear bit black.
extern const Byte (&C1TO24)[256][24];

/// Turns an lk24RGB bitmap into lk1g by ordered dither: level 64 when red,
/// green and blue are all above 250, else the grey level shr 2; white when
/// the level is above the matrix entry. Progress is reported per row through
/// the record. Any other format is left unchanged.
void _ConvertToBWOrdered(TLKBitmap* bitmap, TProgressRec& progress);

/// Turns an lk24RGB bitmap into lk1g with _ConvertToBWThresholdEx. Any other
/// format is left unchanged.
void _ConvertToBWThreshold(TLKBitmap* bitmap, Integer threshold, TProgressRec& progress);

/// Writes the 1-bit picture of `source` (any format) into `dest`: a pixel
/// whose grey level is below the threshold becomes black, any other white.
/// Threshold -1 takes the grey level of the channel means; -2 the maximum
/// entropy threshold of the grey histogram (every pixel white when no
/// threshold splits it). An lk1g source is copied unchanged. `dest` is
/// (re)allocated as lk1g of the source's size when it is not already that.
/// Nothing happens for a nil or empty source or when dest is the source.
void _ConvertToBWThresholdEx(TLKBitmap* source, TLKBitmap* dest, Integer threshold, TProgressRec& progress);

/// Expands `width` pixels of a 1-bit row into 24-bit black and white
/// (width * 3 bytes written, (width + 7) div 8 bytes read).
void _ConvRow1To24(const Byte* source, Byte* dest, Integer width);

/// Class-library bitmaps: `dest` becomes a pf24bit bitmap of the source's
/// size holding the expanded rows of the pf1bit `source` (set bits white).
/// Nothing happens unless the source is a non-empty pf1bit bitmap distinct
/// from dest.
void _Conv1to24(TBitmap* source, TBitmap* dest, TProgressRec& progress);

/// `dest` is allocated as lk24RGB of the source's size and receives the
/// expanded rows of the lk1g `source`. Nothing happens unless the source is a
/// non-empty lk1g bitmap distinct from dest.
void _Conv1to24Ex(TLKBitmap* source, TLKBitmap* dest, TProgressRec& progress);

/// The mean red, green and blue of the whole bitmap: per row the sums
/// divided by the width, then the total of the row means divided by the
/// height (integer division). 0, 0, 0 for an empty or lknull bitmap.
void _GetMediaContrastRGB(TLKBaseBitmap* bitmap, Integer& red, Integer& green, Integer& blue);

/// Fills histogram[0..255] with the grey-level counts of every pixel
/// (lk1g: clear bits in level 0, set bits in level 1).
void _GetLuminanceHistogram(TLKBaseBitmap* bitmap, Integer* histogram);
