// Colour reduction and depth conversion: a 24-bit picture reduced to n
// quantiser colours or to black and white by Floyd-Steinberg diffusion, a
// picture of exactly two colours recognised as a 1-bit picture, one pixel
// row repacked between 1, 4, 8, 24 and 32 bits, and a logical palette made
// from a colour table.
#pragma once

#include <vector>

#include "core/hylkdefs.h"

class TLKBitmap;
class TLKQuantizer;

/// Reduces an lk24RGB bitmap to the quantiser's colours for Colors (the
/// quantiser gives at most 256), staying lk24RGB. Palette, when given,
/// receives the colours (room for Colors entries). Other formats and
/// Colors below 1 change nothing. Progress after each row:
/// Trunc((row + 1) * 100 / (height - 0.5)).
void _ConvertToEx(TLKBitmap* Bitmap, Integer Colors, TRGB* Palette, const TLKProgressEvent& OnProgress,
                  TObject* Sender);
/// lk24RGB to lk1g by serpentine Floyd-Steinberg diffusion of the grey
/// level (white when round(level + error) >= 128). Progress
/// Trunc(row * 100 / height) after each row.
void _LKfsdither(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender);
/// A new lk1g bitmap (the caller owns it) when Bitmap (any format) holds
/// exactly two colours: 0 stands for the darker (First), 1 for the other
/// (Second); on equal grey the first colour met is 0. Nil for one colour or
/// more than two.
TLKBitmap* _ConvertTo1bitEx(TLKBitmap* Bitmap, TRGB& First, TRGB& Second);
/// Repacks Width pixels of one row from SourceBits to DestBits (24 -> 4, 8,
/// 24; 32 -> 24; 8 -> 1, 8, 24; 1 -> 1, 4, 8, 24; 4 -> 4, 8, 24; other pairs
/// write nothing). Palette gives the colours of indices (entries 0 and 1 for
/// 1-bit rows), Quantizer the indices of colours. 4-bit destinations are
/// OR-ed into zeroed bytes the caller supplies. Returns the destination
/// row's byte count by DestBits alone (0 for other depths).
Integer _ConvertXBitsToYBits(const Byte* Source, Byte* Dest, Integer SourceBits, Integer DestBits, Word Width,
                             const TRGB* Palette, const TLKQuantizer* Quantizer);

/// One entry of a logical palette.
struct TLKPaletteEntry {
  Byte Red = 0, Green = 0, Blue = 0, Flags = 0;
};
/// A logical palette: version $300 and its entries.
struct TLKLogPalette {
  Word Version = 0x300;
  std::vector<TLKPaletteEntry> Entries;
};
/// The logical palette of Count colours of Palette (at most 256; negative
/// counts give none), each with flags 0.
TLKLogPalette _CreateWinPalette(const TRGB* Palette, Integer Count);
