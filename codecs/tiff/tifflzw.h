// TIFF LZW coder: an incremental decoder that hands out one row per call
// from a strip's compressed bytes, and an incremental encoder that appends
// one LZW stream per strip to an output stream. Codes are written most
// significant bit first, 9 to 12 bits wide, clear code 256, end code 257,
// first free code 258, and the code width grows one code early (at 511,
// 1023 and 2047), the form TIFF files use.
#pragma once

#include <cstdint>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Decoder hook. State 0 starts a strip: Input and InputLen are the strip's
/// whole compressed data and stay valid until the strip is closed. Every
/// call returns the next RowLen bytes (valid until the next call); nil when
/// the data is corrupt or used up. A row the data ends inside is returned
/// once, its missing bytes zero. Input nil with a state frees the state.
Byte* TIFFLZWDecompress(const Byte* Input, Integer InputLen, Integer RowLen, std::intptr_t& State);

/// Encoder hook. State 0 creates the encoder and writes the clear code;
/// each row continues the same stream; Row nil writes the pending code, the
/// end code and the pad bits, flushes and frees the state.
void TIFFLZWCompress(const Byte* Row, Integer Length, TStream* Output, std::intptr_t& State);
