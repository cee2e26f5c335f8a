// Distortion effects on 24-bit pictures: bump mapping (a coloured light
// spot over the picture's own relief), a lens (an elliptic magnifier with a
// refraction index) and a wave (concentric ripples about the centre).
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Relights the rectangle X1, Y1 to X2, Y2 (right and bottom exclusive,
/// clamped) of an lk24RGB bitmap: a light of Color centred at (Left, Top)
/// with horizontal radius Width and vertical radius Height, shifted by the
/// slopes of the picture's grey relief; Src is the percentage of the picture
/// kept. Nothing for another format or a zero radius. Row progress; the
/// record's abort flag, seen between rows, stops it (rows done stay).
void _BumpMapping(TLKBitmap* Bitmap, Integer Left, Integer Top, Integer Width, Integer Height, Integer Src,
                  TRGB Color, Integer X1, Integer Y1, Integer X2, Integer Y2, TProgressRec& Progress);
/// Magnifies the ellipse of Width x Height centred at (X, Y) of an lk24RGB
/// bitmap as a lens of the given refraction index would (below 1 counts as
/// 1, which changes nothing). Column progress; the abort flag, seen
/// between columns, leaves the picture unchanged.
void _lens(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height, double Refraction,
           TProgressRec& Progress);
/// Ripples an lk24RGB bitmap with circles about its centre (stretched with
/// its aspect ratio): Amplitude and WaveLength in pixels, Phase in degrees;
/// Reflective scales radially instead of shifting. Nothing for amplitude or
/// wavelength 0 or another format. Row progress; the abort flag, seen
/// between rows, leaves the picture unchanged.
void _wave(TLKBitmap* Bitmap, Integer Amplitude, Integer WaveLength, Integer Phase, bool Reflective,
           TProgressRec& Progress);
