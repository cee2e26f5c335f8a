// Development stages of the camera RAW decoder, run after a loader filled
// the image array: white balance, demosaicing (or the Foveon chain), colour
// conversion with the brightness histogram, gamma output into a bitmap and
// the upright turn of 45-degree (SuperCCD) sensor layouts.
//
// Every stage works in place on the state's image array and only ever
// touches cells inside iheight × iwidth (= height × width once loading is
// done), whatever the picture size, including 1 × 1 and odd sizes.
#pragma once

#include "raw/lkrawstate.h"

class TLKBitmap;
class TIOParamsVals;

/// Removes the black level, picks per-colour multipliers (automatic, from
/// the camera's white block or its own multipliers, or the identification
/// defaults with the user's red and blue scales) and scales every non-zero
/// sample of colours 0..colors-1, clipped to 0..maximum - black. maximum
/// becomes maximum - black. A colour for which no usable sample (or white
/// block cell) is found keeps multiplier 1.
void apply_white_balance(TRAWDecoderState& s);

/// Fills the missing colours of every cell of a colour-filter picture: a
/// bilinear pass over all cells but the outermost ring, then, unless quick
/// interpolation is set, a gradient-driven refinement of all cells but the
/// two outermost rings. Does nothing for pictures smaller than 3 × 3 (or
/// 5 × 5 for the refinement). Raises ": Out of memory in vng_interpolate()"
/// when its row buffers cannot be allocated.
void vng_interpolate(TRAWDecoderState& s);

/// Develops a three-colour-per-cell (Foveon) picture in place: correction,
/// red sharpening, despeckle, chroma smoothing, colour matrix and de-haze.
/// Raises ": Out of memory in foveon_interpolate()" when a work buffer
/// cannot be allocated.
void foveon_interpolate(TRAWDecoderState& s);

/// Turns every cell inside the trimmed border into red, green, blue
/// (samples 0..2) and a brightness (sample 3), and rebuilds the 8192-bin
/// brightness histogram (bin = brightness >> 3).
void convert_colors_to_rgb(TRAWDecoderState& s);

/// 48-bit output: sets params BITSPERSAMPLE 16 and SAMPLESPERPIXEL 3,
/// finds the white point in the histogram, builds the gamma table and
/// writes the trimmed picture, repeated xmag × ymag, into `bitmap` as
/// lk48RGB (red first). Frees the image array. Raises
/// ": Out of memory in write_ppm16()" when the row buffer cannot be had,
/// EOutOfMemory (or the bitmap's own error) when the bitmap cannot be
/// allocated or the output size exceeds the 32-bit range.
void write_ppm16(TRAWDecoderState& s, TLKBitmap& bitmap, TIOParamsVals& params);

/// 24-bit output: as write_ppm16 with BITSPERSAMPLE 8, samples limited to
/// 255 and the bitmap lk24RGB (blue first in memory). Raises
/// ": Out of memory in write_ppm()" when the row buffer cannot be had.
void write_ppm(TRAWDecoderState& s, TLKBitmap& bitmap, TIOParamsVals& params);

/// Turns the 45-degree picture of a SuperCCD sensor upright in an lk48RGB
/// bitmap. Leaves the bitmap unchanged when its first row holds no
/// non-black pixel or the result would be empty.
void fuji_rotate_48(TLKBitmap& bitmap);

/// As fuji_rotate_48 for an lk24RGB bitmap.
void fuji_rotate_24(TLKBitmap& bitmap);
