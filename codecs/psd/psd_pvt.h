// Helpers shared by the document reader and writer.
#pragma once

#include "core/hylkdefs.h"

namespace lkpsd {

/// The pixel format of a colour mode at a depth (lknull: none).
TLKPixelFormat FormatOf(Integer Mode, Integer Depth);
/// The colour mode of a pixel format (-1: none).
Integer ModeOf(TLKPixelFormat Format);
/// Bytes of one uncompressed row of Width samples at Depth bits.
inline Int64 RowBytes(Int64 Width, Integer Depth) { return Depth == 1 ? (Width + 7) / 8 : Width * (Depth / 8); }
/// Least coded bytes of Rows rows of RowLen bytes, including the row table
/// entries: PackBits gives at most 128 bytes for a two-byte packet.
inline Int64 MinPackedBytes(Int64 Rows, Int64 RowLen) { return Rows * (2 + 2 * ((RowLen + 127) / 128)); }

}  // namespace lkpsd
