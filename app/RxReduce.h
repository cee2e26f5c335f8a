// Colour reduction of class-library bitmaps: a TBitmap becomes a bitmap
// file (file header, 40-byte info header, palette, rows bottom-up) of 1, 4,
// 8 or 24 bits per pixel in a memory stream. Eight bits are reached by one
// of six methods: the most frequent exact colours, median cut, two fixed
// colour cubes, one channel per pixel in turn, or grey.
#pragma once

#include <memory>

#include "platform/classes.h"
#include "platform/graphics.h"

enum TReductionMethod {
  rdExactColors,
  rdMedianCut,
  rdTruncate7R8G4B,
  rdTruncate6R6G6B,
  rdChannelInterleave,
  rdGrayscale
};

/// The method ReduceBitmapColors and the GIF frames use (rdExactColors).
extern TReductionMethod gDefaultReductionMethod;

/// The bitmap as a file of Format (pf1bit, pf4bit, pf8bit or pf24bit),
/// positioned at 0. A bitmap already in Format saves itself unchanged,
/// except with rdGrayscale. 1 and 4 bits take the nearest colours of the
/// format's default table; 8 bits go through Method; 24 bits are real
/// 24-bit rows (grey ones with rdGrayscale). A null or empty bitmap raises
/// EInvalidGraphic "Bitmap image is not valid"; another format shows
/// "Function not yet implemented" and ends silently (EAbort).
std::unique_ptr<TMemoryStream> ReduceBitmapToStream(TBitmap* Bitmap, TPixelFormat Format, TReductionMethod Method);
/// 1 bit for up to 2 colours, 4 up to 16, 8 up to 256, else 24, with
/// gDefaultReductionMethod.
std::unique_ptr<TMemoryStream> ReduceBitmapColorsToStream(TBitmap* Bitmap, Integer Colors);
/// Reloads the bitmap from ReduceBitmapColorsToStream (a count of 0 or
/// less changes nothing).
void ReduceBitmapColors(TBitmap* Bitmap, Integer Colors);
/// Resets the screen cursor, shows "Function not yet implemented" and
/// raises EAbort.
[[noreturn]] void NotImplemented();
