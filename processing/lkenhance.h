// Automatic enhancement: automatic colour equalisation (ACE) on a reduced
// copy carried back to full size by a local linear lookup, and a multi-scale
// retinex with colour restoration over a recursive Gaussian. Both work on
// the lk24RGB pixels of the whole bitmap given and return at once for
// another format.
//
// Memory: ACE holds the reduced copy (at most 65536 pixels, see LKACE)
// and about 20 bytes per reduced pixel, plus lookup tables of 768 bytes per
// reduced column; the full picture is walked row by row. The retinex holds
// four single-precision planes of the picture's size in colour mode (the
// smoothed plane and three outputs; the inputs are read from the pixels
// again when needed), two in grey mode: 16 (8) bytes per pixel, so 384 MB
// (192 MB) for a 24-megapixel picture, plus one column of 12 bytes per row.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// ACE: slope = tan(Angle degrees), clipping at ClipPercent / 100 * slope *
/// 255; every pixel of a copy reduced by Trunc(width / ReductionWidth)
/// (width when ReductionWidth is 0 or less) is compared with every other
/// (3 (wh)^2 steps). The reduction is raised further while the copy would
/// hold more than 65536 pixels, so the cost stays bounded. The result is
/// carried back by LKLLLUT with SearchRadius. Progress 0..50 over the
/// reduced rows, then 50..100 from LKLLLUT.
void LKACE(TLKBitmap* Bitmap, Integer ReductionWidth, double Angle, double ClipPercent, Integer SearchRadius,
           const TLKProgressEvent& OnProgress, TObject* Sender);
/// Local linear lookup: each value v of the full bitmap is placed between
/// the nearest reduced values above and below it in a window of 3 reduced
/// rows and 2 * SearchRadius + 1 columns around the pixel's place, and
/// mapped linearly between their enhanced values. All three bitmaps are
/// lk24RGB; Reduced and Enhanced have the same size. Progress after every
/// pixel: Trunc(Base + Span * y / height).
void LKLLLUT(TLKBitmap* Reduced, TLKBitmap* Enhanced, TLKBitmap* Bitmap, Integer SearchRadius,
             const TLKProgressEvent& OnProgress, TObject* Sender, Integer Base, double Span);
/// Multi-scale retinex with colour restoration: Scales scales (at least 1)
/// up to LargestScale, spread by Distribution (0 toward small, 1 toward
/// large, 2 even); the result is stretched to mean +- Variance standard
/// deviations. Grey mode works on the luma and keeps each pixel's chroma.
/// Pictures below 3 x 3 are left unchanged.
void LKRetinex(TLKBitmap* Bitmap, Integer Scales, Integer Distribution, float Variance, Integer LargestScale,
               bool Grey, const TLKProgressEvent& OnProgress, TObject* Sender);
