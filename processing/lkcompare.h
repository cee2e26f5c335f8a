// Comparing two pictures (exact equality, per-channel error measures, a
// grey-level similarity with a difference picture) and the raw routines
// behind the hidden data the processing component keeps in the lowest bits
// of a 24-bit picture.
#pragma once

#include "core/hylkdefs.h"

class TBitmap;
class TLKBitmap;

/// True when both class-library bitmaps have the same size and format and
/// the same pixels (row padding and the unused bits of a row's last byte
/// are not compared).
bool _BitmapCompareX(TBitmap* A, TBitmap* B);
/// True when both have the same size, pixel format and presence of an alpha
/// channel, and the same pixels and alpha samples (padding not compared).
bool _BitmapCompareXEx(TLKBitmap* A, TLKBitmap* B);
/// Per-channel measures of d = B - A over two lk24RGB pictures of one size:
/// for each of blue, green and red MSE, RMSE, PSNR (0 where MSE is 0), the
/// peak (largest d, from 0) and the mean |d|; each value's minimum and
/// maximum over the three channels. Equal is true when no pixel differs.
void _LKComputeDiff(TLKBitmap* A, TLKBitmap* B, double& PSNRMin, double& PSNRMax, double& MSEMin, double& MSEMax,
                    double& RMSEMin, double& RMSEMax, double& PeakMin, double& PeakMax, double& MeanMin,
                    double& MeanMax, bool& Equal);
/// Grey-level similarity of two lk24RGB pictures over their common area:
/// 1 - mean |grey A - grey B| / 255. Diff, when given, is allocated to the
/// area in its own pixel format (lk8g expected), filled with 255, and takes
/// each pixel's grey difference. 0 for other formats or an empty area.
double LKCompareImages(TLKBitmap* A, TLKBitmap* B, TLKBitmap* Diff);
