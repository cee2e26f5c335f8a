// The sliding-histogram median filter in its three kinds and the Wallis
// filter, which adapts each pixel's lightness to a target mean and contrast
// over a large window. Both work on whole lk24RGB pictures.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Kind of the median filter.
enum TLKMedFilType : Byte { mfMedianFilter = 0, mfSharpen = 1, mfEdgeExtract = 2 };

/// Median filter over a WindowWidth x WindowHeight window (luminances
/// (54 r + 182 g + 20 b) shr 8): mfMedianFilter replaces pixels far from the
/// window's median by the neighbour nearest the window mean, mfSharpen pushes
/// pixels away from that neighbour, mfEdgeExtract thresholds the distance
/// from the median into black and white. A window of one pixel, or a
/// sharpness that makes the sharpening diverge, leaves pixels unchanged.
void _LKMedianFilter(TLKBitmap* Bitmap, Integer WindowWidth, Integer WindowHeight, Integer Brightness,
                     Integer EdgeGain, Integer Sharpness, Integer Threshold, TLKMedFilType Kind,
                     const TLKProgressEvent& OnProgress, TObject* Sender);

/// Wallis filter: window sizes in percent of the shorter side plus 29 (at
/// least 21 pixels), target mean and contrast, gain, brightness weight and
/// maximum deviation in percent; Binarize gives black and white.
void _LKWallisFilter(TLKBitmap* Bitmap, Integer WindowWidthPercent, Integer WindowHeightPercent, Integer TargetMean,
                     Integer TargetContrast, Integer Gain, Integer BrightnessWeight, Integer MaxDeviation,
                     bool Binarize, const TLKProgressEvent& OnProgress, TObject* Sender);
