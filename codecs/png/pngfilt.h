// PNG codec over the PNG library: reads a stream into a bitmap with its
// alpha channel and parameters, writes a bitmap (with transparency from an
// optional mask) with palette, grey, RGB or RGBA colour types.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// True when the stream holds the PNG signature at its position; the
/// position is restored.
bool IsPNGStream(TStream* Stream);

/// Reads the PNG at the stream's position into Bitmap and Params (size,
/// depth, samples, resolution, palette, interlace flag, text chunks). An
/// alpha channel (RGBA, grey with alpha, or a transparency chunk the
/// expansion turns into alpha) fills the bitmap's alpha channel. With
/// ParamsOnly the bitmap is untouched. A corrupt or truncated file sets the
/// abort flag and keeps the rows decoded so far; nothing is raised.
void ReadPNGStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress);

/// Writes Bitmap as PNG with the PNG_ options, resolution and text lists
/// of Params; Mask (may be null) gives transparency. A library error raises
/// EInvalidGraphic "Error on creating PNG"; a short stream write sets the
/// abort flag and stops the rows.
void WritePNGStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TLKMask* Mask);
