// Headerless pixels: a bitmap's rows moved to and from a stream as the
// caller sized and formatted the bitmap, with the row alignment, sample
// order and plane layout of the parameters (BMPRAW_*). Also the content
// probes of the two metafile formats.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Bytes of one stream row of Width samples of Bits bits at Alignment bits
/// (8, 16 or 32; other values count as 8).
Int64 LKRawRowBytes(Integer Width, Integer Bits, Integer Alignment);

/// Reads the bitmap's rows (after BMPRAW_SkipBytes bytes) into it as it
/// stands. Rows the stream does not hold stay as they were. lkCIELab and
/// lknull bitmaps set the abort flag and nothing is read.
void LKRealRAWReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// Writes the bitmap's rows; row padding is written as zero bytes. The
/// bitmap is not changed. lkCIELab and lknull bitmaps set the abort flag.
void LKRealRAWWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

/// Enhanced metafile: the first 32-bit value is 1 and the one at 40 spells
/// " EMF". Windows metafile (after an optional 22-byte placeable header):
/// type 1, header size 9, parameter count 0. Both restore the position.
bool LKEMFTryStream(TStream* Stream);
bool LKWMFTryStream(TStream* Stream);
