// Edge maps of colour pictures (exponential smoothing, zero crossings of the
// band-limited Laplacian, adaptive gradient, hysteresis tracing) and the
// skew and orientation measurements of scanned pages.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// OutBitmap becomes the lk1g edge map of the lk24RGB InBitmap (black edges
/// on white); the two may be the same bitmap. Smoothing is the filter's
/// factor b (0 < b < 1), Ratio the share of the map above the high
/// threshold, WindowSize the gradient window, ThinningFactor > 0 keeps every
/// that many pixels of a traced chain. Another input format: nothing.
void _LKEdgeDetect_ShenCastan(TLKBitmap* InBitmap, TLKBitmap* OutBitmap, double Ratio, double Smoothing,
                              Integer WindowSize, Integer ThinningFactor, bool Hysteresis, TProgressRec& Progress);

/// Dominant line angle (degrees, the skew of horizontal lines) of an lk1g
/// page by an integer Hough transform over AngleRange degrees around
/// horizontal, Precision degrees per bin (0.1..1, truncated to tenths). 0 for
/// another format, a parameter out of range or a page without black pixels.
double _lkhough(TLKBitmap* Bitmap, TProgressRec& Progress, Integer AngleRange, double Precision);

/// The Hough angle of a page prepared as the parameters ask: resampled to
/// ResampleWidth (unless below 1 or equal to the width) and edge-detected
/// (always for colour pictures). The bitmap itself is not changed.
double _LKSkewDetection(TLKBitmap* Bitmap, Integer ResampleWidth, Integer AngleRange, double Precision,
                        bool EdgeDetect, const TLKProgressEvent& OnProgress, TObject* Sender);

/// Sum of squared differences of neighbouring entries of the row density
/// profile (normalised to 1000) of an lk24RGB or lk1g bitmap; 0 for others.
Integer _LKCalcVertOrientationFitness(TLKBitmap* Bitmap);

/// The angle StartAngle + offset (offsets 0, -Step, -2 Step, ..., then Step,
/// 2 Step, ... while below Range / 2 in magnitude) whose rotated copy has the
/// largest fitness. Precise works on a full copy, otherwise on one at least
/// 256 pixels wide. A Step of 0 tries offset 0 only.
double _LKSkewDetectionFine(TLKBitmap* Bitmap, double StartAngle, double Step, Integer Range, bool Precise);
