// Per-channel colour corrections besides histogram matching (lkadjustcolors.h):
// channel coefficients chosen directly, from the grey-world assumption, from
// near-white pixels or from a picked white point; stretching each channel
// between its minimum and maximum; replacing the colour or the alpha of a
// connected region. Coefficients and averages are three doubles in storage
// order: blue, green, red. Each routine works on the whole bitmap given; the
// ones for lk24RGB return at once for another format. Progress after each
// row: Trunc(row * 100 / height), rows from 0.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Each channel through clamped(Trunc(i * coefficient)).
void LKApplyCoefficients(TLKBitmap* Bitmap, const double Coefficients[3], const TLKProgressEvent& OnProgress,
                         TObject* Sender);
/// Mean of the non-zero bytes of each channel (0 for a channel without one).
void LKGetAverageValues(TLKBitmap* Bitmap, double Averages[3]);
/// Grey world: coefficient = the largest average / the channel's average (1
/// for a channel that is 0 everywhere).
void LKWhiteBalance_grayworld(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Near-white pixels (HSL saturation below 0.3, lightness above 0.7, hue
/// outside 0.01..0.04, 0.35..0.5 and 0.57..0.59) give each channel's mean
/// (255 without any); coefficient = 255 / mean.
void LKWhiteBalance_2(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender);
/// White point at (X, Y): coefficient = the channel's maximum over the
/// bitmap / max(1, the pixel's value). A point outside changes nothing.
void LKWhiteBalance_3(TLKBitmap* Bitmap, Integer X, Integer Y, const TLKProgressEvent& OnProgress,
                      TObject* Sender);
/// Stretches each channel of an lk24RGB or lk48RGB bitmap from its minimum
/// and maximum to 0..255 (0..65535): Trunc((v - min) * full / (max - min)).
/// A channel with one value only is moved to 0 (coefficient 1).
void LKAdjustGainOffset(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Paints Color on the 4-connected region of colours within Tolerance (each
/// channel) of the pixel at (X, Y). A region of one row or one column, and a
/// seed outside the bitmap, change nothing. Progress per row of the region's
/// box.
void LKCastColor(TLKBitmap* Bitmap, Integer X, Integer Y, TRGB Color, Integer Tolerance,
                 const TLKProgressEvent& OnProgress, TObject* Sender);
/// As LKCastColor, writing Alpha into the alpha channel instead (whose Full
/// flag is then brought up to date).
void LKCastAlpha(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Alpha, Integer Tolerance,
                 const TLKProgressEvent& OnProgress, TObject* Sender);
/// Colours the picture: value = Trunc(Luminosity * ((R*21 + G*71 + B*8) shr
/// 8)) with the grey weights, then HSV2RGB(Hue, Saturation, value).
void LKColorize(TLKBitmap* Bitmap, Integer Hue, Integer Saturation, double Luminosity,
                const TLKProgressEvent& OnProgress, TObject* Sender);
