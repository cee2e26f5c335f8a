// Tone and level routines of the preview dialog's colour pages: contrast
// around a centre, channel offsets, per-channel thresholds, a linear stretch
// between levels, automatic equalisation with local means, and gamma. Each
// works on lk24RGB pixels of a rectangle (x1, y1 inclusive, x2, y2
// exclusive, cut to the bitmap) through 256-entry tables built per call,
// keeps no state between calls and returns at once for another format.
// Progress after each row: Trunc((row - y1 + 1) * 100 / (rows - 1 + 0.5)),
// only when an event is given.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Channels a gamma correction acts on.
enum TLKChannel : Byte { lkcRed = 0, lkcGreen = 1, lkcBlue = 2 };
using TLKChannels = TLKSet<TLKChannel>;

/// Contrast c around the centres: factor f = Trunc((1 + c/10) * 65536) for
/// c >= 0, Trunc((1 - sqrt(-c)/10) * 65536) below; level i becomes
/// clamped((i - centre) * f / 65536 + centre), the division truncating.
void _ContrastRGB(TLKBitmap* Bitmap, Integer Contrast, Integer RedCentre, Integer GreenCentre, Integer BlueCentre,
                  Integer X1, Integer Y1, Integer X2, Integer Y2, const TLKProgressEvent& OnProgress,
                  TObject* Sender);
/// Adds the offsets to red, green and blue, clamped.
void _IntensityRGBall(TLKBitmap* Bitmap, Integer Red, Integer Green, Integer Blue, Integer X1, Integer Y1,
                      Integer X2, Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Per channel: a value at or below the low limit becomes the low colour's;
/// then a value above the high limit becomes the high colour's. Limits of
/// black and white change nothing.
void _Threshold(TLKBitmap* Bitmap, TRGB LowLimits, TRGB HighLimits, TRGB LowColor, TRGB HighColor, Integer X1,
                Integer Y1, Integer X2, Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Linear stretch: high levels below 1 count as 1; equal low and high
/// levels change nothing; otherwise each value v of a channel with levels
/// l, h becomes second[first[v]], first[i] = clamped(round((i - l) / (255 -
/// l) * 255)), second[i] = clamped(round(i / h * 255)).
void _HistEqualize(TLKBitmap* Bitmap, TRGB Low, TRGB High, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   const TLKProgressEvent& OnProgress, TObject* Sender);
/// Automatic equalisation: level ranges from the grey histogram of the whole
/// bitmap; each pixel of the rectangle is decided by its grey level and that
/// of its 3 x 3 local mean (edges repeated). Reads three source rows at a
/// time and writes through a band of result rows, so file-backed pictures
/// work and memory stays a few rows whatever the size.
void _HistAutoEqualize(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                       const TLKProgressEvent& OnProgress, TObject* Sender);
/// Gamma on the whole bitmap: level i becomes clamped(round((i/255)^(1/g)
/// * 255)) on the chosen channels (all three: every byte). lk24RGB and the
/// samples of lk48RGB (a 16-bit table), lk8g, lk16g and the palette of lk8p
/// (grey formats when any channel is chosen); other formats and a gamma
/// that is not positive change nothing. Progress Trunc(y * 100 / height)
/// after row y.
void _LKGammaCorrect(TLKBitmap* Bitmap, double Gamma, TLKChannels Channels, const TLKProgressEvent& OnProgress,
                     TObject* Sender);
