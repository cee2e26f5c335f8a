// On-disk structures of Windows bitmaps (little-endian).
#pragma once

#include "core/hylkdefs.h"

namespace bmpcodec {

constexpr Integer kFileHeaderSize = 14;  ///< "BM", file size (4), reserved (2 + 2), pixel offset (4)
constexpr Integer kCoreHeaderSize = 12;  ///< OS/2 1: size, width (16), height (16), planes, bit count
constexpr Integer kInfoHeaderSize = 40;  ///< Windows 3: the fields of TInfoHeader
constexpr Integer kOS2V2HeaderSize = 64; ///< OS/2 2: the 40 bytes and 24 more, unused here

/// The fields of the info headers the codec uses.
struct TInfoHeader {
  DWORD Size = 0;          ///< header size, tells the kind
  Integer Width = 0;       ///< pixels
  Integer Height = 0;      ///< pixels; negative: rows stored top-down
  Word Planes = 1;         ///< always 1
  Word BitCount = 0;       ///< 1, 4, 8, 16, 24 or 32
  DWORD Compression = 0;   ///< 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  DWORD ImageSize = 0;     ///< bytes of pixel data (0 allowed when uncompressed)
  Integer XPelsPerMeter = 0, YPelsPerMeter = 0;
  DWORD ColorsUsed = 0;    ///< palette entries (0: 2^bits for bit counts up to 8)
  DWORD ColorsImportant = 0;
};

/// Bytes of one row, padded to 4 bytes.
inline Int64 RowBytes(Int64 Width, Integer Bits) { return ((Width * Bits + 31) / 32) * 4; }

}  // namespace bmpcodec
