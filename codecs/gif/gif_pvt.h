// Shared pieces of the GIF reader, writer and frame editors: the on-disk
// blocks, small stream helpers, and the making of one frame (palette and
// index bytes) from a bitmap.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

namespace gifcodec {

/// Logical screen descriptor (13 bytes with the signature).
struct TGIFHeader {
  char Signature[6];  ///< "GIF87a" or "GIF89a"
  Word ScreenWidth;   ///< logical screen width
  Word ScreenHeight;  ///< logical screen height
  Byte Flags;         ///< bit 7 global table, bits 4-6 colour resolution, bits 0-2 table size s (2^(s+1) entries)
  Byte Background;    ///< background colour index into the global table
  Byte Aspect;        ///< pixel aspect ratio byte
};
constexpr Integer kHeaderSize = 13;
constexpr Byte kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr Byte kGraphicControl = 0xF9, kComment = 0xFE, kApplication = 0xFF;

/// Parses the 13 header bytes; false when they do not begin with "GIF".
bool ParseHeader(const Byte* Raw, TGIFHeader& H);
void StoreHeader(const TGIFHeader& H, Byte* Raw);
/// Entries of a colour table with size bits s.
inline Integer TableEntries(Byte Flags) { return 1 << ((Flags & 7) + 1); }

/// One byte from the stream; false at its end.
bool GetByte(TStream& S, Byte& B);
/// Copies (Copy non-null) or skips the data sub-blocks up to the zero
/// length byte. Returns false when a sub-block runs past the end of the
/// stream (what is there is still copied).
bool PassSubBlocks(TStream& S, TStream* Copy);

/// One frame made from a bitmap: depth, colours, palette in file order and
/// index bytes, built as the writer and the frame insert do.
struct TGIFFrame {
  Integer Bits = 8;         ///< bits per pixel, 1..8
  Integer Colors = 256;     ///< palette entries filled (2^Bits, less one with alpha)
  bool HasAlpha = false;    ///< the transparent entry is index Colors
  Integer Width = 0, Height = 0;
  std::vector<TRGB> Palette;    ///< 2^Bits entries (TRGB order until SwapToFile)
  std::vector<Byte> Indices;    ///< Width x Height + 9 bytes
  Integer BackgroundIndex = 0;
  Integer TransparentIndex = 0;
};
/// Builds a frame from Bitmap. ForInsert: a picture of more than two
/// colours asked at 1 bit is written at 8 bits instead.
bool MakeFrame(TLKBitmap& Bitmap, TIOParamsVals& Params, bool ForInsert, TGIFFrame& Frame);
/// The colour table bytes (red, green, blue) of Count entries.
std::vector<Byte> TableBytes(const std::vector<TRGB>& Palette, Integer Count);
/// The image descriptor of a frame at GIF_XPOS, GIF_YPOS, flagged with its
/// interlace and, with LocalTable, a local table of the frame's depth.
void WriteImageDescriptor(TStream& S, TIOParamsVals& Params, const TGIFFrame& Frame, bool LocalTable,
                          std::atomic<bool>* Abort);
/// The graphic control extension of a frame.
void WriteGraphicControl(TStream& S, TIOParamsVals& Params, const TGIFFrame& Frame, std::atomic<bool>* Abort);

}  // namespace gifcodec
