// Header parsers of camera files: TIFF-based files with their EXIF data and
// Nikon and Olympus maker notes, the Canon CIFF heap, the Rollei text header
// and the Foveon section directory. Each fills fields of the decoder state;
// none raises for data it does not recognise (fields are left unset), and
// every count, offset and chain from the file is bounded by the data.
#pragma once

#include "raw/lkrawstate.h"

/// Mask words of the Canon white-sample table (alternating, first word
/// first).
extern const Word kCanonWhiteMask[2];

/// Reads the TIFF header at `base` (its byte order becomes the state's) and
/// every directory of its chain. Offsets are relative to `base`. The chain
/// stops at an offset of 0, one beyond the end of the file, or one already
/// visited.
void parse_tiff(TRAWDecoderState& s, Int64 base);
/// Reads one raw-image directory at the current position: sizes,
/// compression, photometric, data offset and tone curve.
void parse_tiff_ifd(TRAWDecoderState& s, Int64 base);
/// Reads the EXIF directory at the current position (maker notes of Nikon
/// and Olympus files).
void parse_exif_ifd(TRAWDecoderState& s, Int64 base);
/// Reads a Nikon or Olympus maker note at the current position; the byte
/// order is restored afterwards.
void parse_makernote(TRAWDecoderState& s);
/// Reads the CIFF heap [start, start + length) and its sub-heaps (each must
/// lie inside its parent; nesting is limited).
void parse_ciff(TRAWDecoderState& s, Int64 start, Int64 length);
/// Reads the Canon white-sample block at the current position.
void parse_ciff_white_table(TRAWDecoderState& s);
/// The same with explicit mask words.
void parse_ciff_white_table(TRAWDecoderState& s, const Word mask[2]);
/// Reads the Rollei text header (128-byte lines from offset 0 up to "EOHD").
void parse_rollei(TRAWDecoderState& s);
/// Reads the Foveon section directory (make, model, time, raw size).
/// Raises ": Out of memory in parse_foveon()" when its property block
/// cannot be allocated.
void parse_foveon(TRAWDecoderState& s);
