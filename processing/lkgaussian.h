// Gaussian blur with a 16.16 fixed-point kernel, sharpening against the mean
// of the surrounding pixels, and sharpening weighted by the picture's edges.
#pragma once

#include <vector>

#include "core/hylkdefs.h"

class TLKBitmap;

/// The kernel of radius Sigma: weights w[0..2n] for offsets -n..n, each
/// Round(g * 65536 / sum g) of g = exp(-(d / Sigma)^2 / 2) over d =
/// -100..100, n the largest offset whose weight is not 0 (at least 1).
std::vector<DWORD> LKGaussKernel(double Sigma);

/// Blurs a whole lk8g or lk24RGB bitmap: every row, then every column, each
/// sample (sum of weight x sample + 32768) shr 16, ends repeated. Sigma <= 0
/// or another format: nothing.
void _LKGBlur(TLKBitmap* Bitmap, double Sigma, const TLKProgressEvent& OnProgress, TObject* Sender);
/// The same on the inclusive rectangle of an lk8g bitmap (clamped to it),
/// as if the picture ended at the rectangle's border; no progress.
void _LKGBlurRect8(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, double Sigma);

/// Sharpens the rectangle (x2, y2 exclusive) of an lk24RGB bitmap: each
/// channel c becomes c + (c - mean) x Intensity / 10, the mean taken over
/// the window of Neighbourhood div 2 around the pixel without the pixel's
/// own row and column.
void _Sharpen(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Intensity,
              Integer Neighbourhood, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Sharpens a whole lk24RGB bitmap with a strength that follows its blurred
/// edge map (Rate is the edge detector's ratio).
void _LKAutoSharp(TLKBitmap* Bitmap, Integer Intensity, double Rate, const TLKProgressEvent& OnProgress,
                  TObject* Sender);
