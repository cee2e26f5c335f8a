// The pixel-data coders of GIF images: the LZW decoder, the hashed LZW
// encoder and an encoder that writes a valid code stream of runs without a
// string table. The GIF codec reaches them only through the decoder and
// encoder hooks of its parameters (or the process-wide defaults); this
// module installs GIFLZWDecompress and GIFLZWCompress there at start-up.
//
// The coders work on one image's data: width x height index bytes, rows from
// the top, and the part of the stream from the minimum code size byte to the
// zero-length sub-block.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Decodes the image data at the stream's position into Output (width x
/// height bytes, interlaced rows put in place). Data that ends early leaves
/// the remaining pixels as they were and counts as success; a minimum code
/// size outside 2..9 or a code the table cannot hold is a failure, signalled
/// by the stream position being back where it started. After a full table
/// the decoder goes on without adding entries until the next clear code.
void GIFLZWDecompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, Byte* Output);

/// Where GIFLZWDecodeRows puts the rows of an image as it decodes them.
struct TGIFRowTarget {
  virtual ~TGIFRowTarget() = default;
  /// The Width bytes row Y is decoded into; asked when the row begins and
  /// valid until Done for it.
  virtual Byte* Row(Integer Y) = 0;
  /// Row Y holds Filled decoded values (Width, or fewer for the last row
  /// reached when the data ends early; the rest of it is left as it was).
  virtual void Done(Integer Y, Integer Filled) = 0;
};

/// GIFLZWDecompress row by row: each row is asked from Target, decoded in
/// place and handed back, in the file's row order (the four interlace passes
/// when Interlaced). Rows the data never reaches are not done.
/// The stream and failure rules are those of GIFLZWDecompress.
void GIFLZWDecodeRows(TStream* Stream, Integer Height, Integer Width, bool Interlaced, TGIFRowTarget& Target);

/// Writes Pixels (width x height index bytes) as LZW data: the minimum code
/// size max(BitsPerPixel, 2), sub-blocks of at most 254 bytes and the zero
/// length byte. Interlaced images are coded in the four-pass row order.
void GIFLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Pixels,
                    Integer BitsPerPixel);

/// The same contract without a string table: runs of equal pixels are coded
/// with the entries a decoder builds for them, so the output needs no LZW
/// dictionary. Minimum code size 2 for 1-bit data, else BitsPerPixel;
/// sub-blocks of up to 255 bytes.
void GIFNONLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Pixels,
                       Integer BitsPerPixel);
