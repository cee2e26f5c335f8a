// Point operations that are not level curves: the negative of a picture of
// any pixel format (and of byte buffers and 1-bit rows), grey levels,
// replacing or making transparent a colour range, merging another picture by
// a percentage, and channel pictures (red, green, blue, hue, saturation,
// value as grey lk24RGB pictures). Rectangles are x1, y1 inclusive, x2, y2
// exclusive, cut to the bitmap; progress after each row as the frame's
// routines report it unless said otherwise. No state is kept between calls.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;
class TBitmap;

/// Negative of the rectangle, by format: lk1g bits inverted; lk8p palette
/// entries inverted (indices and rectangle untouched, no progress); lk8g,
/// lk24RGB 255 - v; lk16g, lk48RGB 65535 - v; lk32f 1 - v; lkCMYK and
/// lkCIELab through TRGB, each channel inverted and converted back.
void _Negative(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
               const TLKProgressEvent& OnProgress, TObject* Sender);
/// Inverts each of Length bytes.
void _NegativeBuffer(Byte* Buffer, Integer Length);
/// Inverts every byte of every row of a pf1bit class-library bitmap (the
/// spare bits after the last pixel too). Other formats are left.
void _Negative1Bit(TBitmap* Bitmap);
/// Inverts every byte of every row of an lk1g bitmap (spare bits too).
void _Negative1BitEx(TLKBitmap* Bitmap);
/// lk24RGB: each pixel gets its grey level in all three bytes. Other
/// formats are left.
void _ConvertToGray(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                    const TLKProgressEvent& OnProgress, TObject* Sender);
/// lk24RGB: pixels whose red, green and blue each lie within Lower..Upper
/// (ends included) become Color.
void _CastColorRange(TLKBitmap* Bitmap, TRGB Lower, TRGB Upper, TRGB Color, Integer X1, Integer Y1, Integer X2,
                     Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Writes Alpha into the alpha channel (made opaque on first use) of the
/// pixels of a colour range: lk24RGB within Lower..Upper; lk1g black pixels
/// when Lower's red is 0, else white ones. Other formats: nothing. The
/// alpha channel's Full flag is brought up to date.
void _SetTransparentColors(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, TRGB Lower,
                           TRGB Upper, Integer Alpha, const TLKProgressEvent& OnProgress, TObject* Sender);
/// lk24RGB target: Other (any format, read through a 24-bit copy) is
/// stretched to the rectangle's size by nearest pixels and each byte becomes
/// clamped(round(target * p/100 + other * (100 - p)/100)).
void _Merge(TLKBitmap* Bitmap, TLKBitmap* Other, Integer Percent, Integer X1, Integer Y1, Integer X2, Integer Y2,
            const TLKProgressEvent& OnProgress, TObject* Sender);

/// New grey lk24RGB picture of one channel of an lk24RGB bitmap: 0 blue, 1
/// green, 2 red, others red. Nil for other formats (or a negative channel).
/// Progress Trunc(row * 100 / height) after each row.
TLKBitmap* _GetRGBChannel(TLKBitmap* Bitmap, Integer Channel, const TLKProgressEvent& OnProgress,
                          TObject* Sender);
/// New grey picture of hue (0, and any other number) Trunc(h / 359 * 255),
/// saturation (1) Trunc(s / 99 * 255) or value (2) Trunc(v / 99 * 255).
TLKBitmap* _GetHSVChannel(TLKBitmap* Bitmap, Integer Channel, const TLKProgressEvent& OnProgress,
                          TObject* Sender);
/// The three channel pictures in one pass into existing bitmaps (allocated
/// here as lk24RGB of the source's size). Nothing unless the source is
/// lk24RGB and the three are given.
void _GetRGBChannelAll(TLKBitmap* Bitmap, TLKBitmap* Red, TLKBitmap* Green, TLKBitmap* Blue,
                       const TLKProgressEvent& OnProgress, TObject* Sender);
void _GetHSVChannelAll(TLKBitmap* Bitmap, TLKBitmap* Hue, TLKBitmap* Saturation, TLKBitmap* Value,
                       const TLKProgressEvent& OnProgress, TObject* Sender);
