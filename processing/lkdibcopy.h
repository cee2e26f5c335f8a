// Pixels between the library's bitmaps and the system's raw picture forms:
// packed device-independent bitmaps (a 40-byte or longer header, an optional
// colour table or bit-field masks, then the rows), the YUV frame layouts of
// video capture named by their four-character codes, and class-library
// bitmaps; with the channel-order swaps of 24- and 48-bit pixel runs.
//
// A packed DIB here is a plain byte block with its size. Blocks come from
// the clipboard, devices and plug-ins and are untrusted: every header field,
// table, mask and row is checked against the block before it is read.
#pragma once

#include <cstddef>
#include <vector>

#include "core/hylkdefs.h"

class TBitmap;
class TLKBitmap;
class TLKDibbitmap;

/// Limited-range (16-235 luma, chroma centred on 128) YUV sample triple to
/// 8-bit RGB, each channel rounded half to even and clamped to 0..255.
void YUV2RGB(Integer Y, Integer U, Integer V, TRGB& RGB);

/// Loads a packed DIB or YUV frame of Size bytes into Bitmap, which becomes
/// lk1g for 1-bit DIBs and lk24RGB otherwise. Uncompressed 1, 4, 8, 16, 24
/// and 32 bits, run-length 4 and 8 bits and bit fields (16 and 32 bits) are
/// read, bottom-up (positive height) or top-down (negative height); a 1-bit
/// table whose entry 0 is the lighter one gives inverted bits. A frame whose
/// compression is a supported four-character code is converted by its
/// frame converter. Bits, when not nil, holds the pixel data (BitsSize
/// bytes) instead of the bytes after the header and table. Returns the
/// header's bit count, or 0 when the block is refused (too short, a field
/// out of range, rows or frame data missing, an unknown compression); a
/// refused block leaves Bitmap unchanged.
Integer _CopyDIB2BitmapEx(const void* DIB, size_t Size, TLKBaseBitmap* Bitmap, const void* Bits = nullptr,
                          size_t BitsSize = 0);
inline Integer _CopyDIB2BitmapEx(const std::vector<Byte>& DIB, TLKBaseBitmap* Bitmap) {
  return _CopyDIB2BitmapEx(DIB.data(), DIB.size(), Bitmap);
}
/// The same into a class-library bitmap (pf1bit or pf24bit).
Integer _CopyDIB2Bitmap(const void* DIB, size_t Size, TBitmap* Bitmap, const void* Bits = nullptr,
                        size_t BitsSize = 0);
/// The same into a DIB raster: 1 bit for 1-bit DIBs, 24 bits for the others.
Integer _LKCopyDIB2Bitmap2Ex(const void* DIB, size_t Size, TLKDibbitmap* Dest, const void* Bits = nullptr,
                             size_t BitsSize = 0);

/// A new packed DIB of the rectangle X1, Y1 to X2, Y2 (right and bottom
/// exclusive, 0 for X2 or Y2 meaning the width or height, clamped to the
/// bitmap): a 40-byte header, the colour table (black and white for lk1g,
/// the palette for lk8p, a grey ramp for lk8g), the rows bottom row first
/// and four spare bytes. Formats other than lk1g, lk8p, lk8g and lk24RGB are
/// written from a 24-bit copy. Empty for a nil bitmap.
std::vector<Byte> _CopyBitmaptoDIBEx(TLKBaseBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2);

/// Gamma-corrects an uncompressed bottom-up 24-bit DIB in place: every byte
/// of every pixel through Round((i / 255) ^ (1 / Gamma) * 255). Other DIBs,
/// short blocks and a Gamma not above 0 are left unchanged.
void LKDIBGamma(std::vector<Byte>& DIB, double Gamma);

/// Frame converters: Data holds Size bytes of one frame of Bitmap's size
/// (the bitmap is allocated lk24RGB beforehand). TopDown writes from row 0
/// downwards, otherwise from the last row upwards. Each returns false and
/// writes nothing when Size is too small for the frame (or the frame too
/// narrow for its chroma blocks).
bool _CopyIYU1ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyIYU2ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyUYVYToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyYUY2ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyYVYUToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyY41PToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyY211ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyCLJRToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyYVU9ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyYV12ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);
bool _CopyI420ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown);

/// Copies the rectangle (0 for X2 or Y2: the source's width or height; both
/// limited to the source) of a pf24bit or pf1bit class-library bitmap into
/// Dest, which takes the source's format and the rectangle's size; other
/// formats get the size and no pixels.
void _CopyBitmapRect(TBitmap* Source, TBitmap* Dest, Integer X1, Integer Y1, Integer X2, Integer Y2);

/// Index of the first palette entry with the smallest sum of channel
/// differences to Color; 0 for an empty palette.
Integer _GetSimilColor(const TRGB* Palette, Integer Count, TRGB Color);

/// Copy Count pixels, exchanging the first and third channel of each.
void _CopyBGR_RGB(TRGB* Dest, const TRGB* Source, Integer Count);
void _CopyBGR_RGB48(TRGB48* Dest, const TRGB48* Source, Integer Count);
/// Exchange the first and third channel of Count pixels in place.
void _BGR2RGB(TRGB* Pixels, Integer Count);
void _RGB2BGR(TRGB* Row, Integer Count);
void _BGR2RGB48(TRGB48* Pixels, Integer Count);
