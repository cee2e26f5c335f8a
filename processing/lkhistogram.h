// Measurements that change nothing: the 256-level histogram of a rectangle
// (through an optional mask), the number of distinct colours, row and column
// density profiles, and the difference of the mean channel values of two
// pictures.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;
class TLKMask;

/// Counts of one level: red, green, blue and grey.
struct THistogramItem {
  Integer R = 0, G = 0, B = 0, Gray = 0;
};
/// 256 levels (4096 bytes).
struct THistogram {
  THistogramItem Items[256];
};
using PHistogram = THistogram*;

/// Histogram of the rectangle x1, y1, x2, y2 (right and bottom exclusive,
/// cut to the bitmap) of an lk24RGB bitmap, or of the high bytes of an
/// lk48RGB bitmap: cleared, then each counted pixel adds one to the count
/// of its red, green and blue value and of its grey level
/// ((R*21 + G*71 + B*8) div 100 with the library's grey weights). A pixel
/// counts when Mask is nil or empty, or selects it at its picture
/// coordinates. Other formats leave the histogram untouched.
void _GetHistogram(TLKBitmap* Bitmap, THistogram& Histogram, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   TLKMask* Mask);

/// Number of distinct colours of the rectangle of an lk24RGB bitmap; 0 for
/// other formats.
Integer _GetImageNumColors(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2);

/// Density profiles of the rectangle: Vertical[i] sums row y1 + i and
/// Horizontal[j] column x1 + j, of grey levels (lk24RGB) or of set bits
/// (lk1g); then each profile whose largest entry m is not 0 is scaled to
/// Trunc(entry / m * norm). The arrays hold one entry per row and per column
/// of the cut rectangle. Other formats leave them untouched. Progress after
/// each row: Trunc((row - y1 + 1) * 100 / (rows - 1 + 0.5)).
void _CalcDensityHistogram(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                           const TLKProgressEvent& OnProgress, TObject* Sender, Integer* Vertical,
                           Integer* Horizontal, Integer VerticalNorm, Integer HorizontalNorm);

/// Differences of the mean red, green and blue of two pictures of the same
/// size and format (lk24RGB bytes, lk48RGB samples), each mean the channel
/// sum div the pixel count, summed in 64 bits. 0, 0, 0 for pictures of
/// different sizes or formats, other formats or nil.
void LKGetLuminosityDiff(TLKBitmap* First, TLKBitmap* Second, Integer& Red, Integer& Green, Integer& Blue);
