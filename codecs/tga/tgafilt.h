// Truevision TGA codec: colour-mapped, true-colour and grey pictures, raw
// or run-length coded, with the version 2 extension area and footer.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// True when the 18-byte header has a known type and depth, colour-map type
/// 0 or 1 and a non-zero size; the position is restored.
bool TryTGA(TStream* Stream);
/// Reads the TGA at the stream's position: lk1g for 1-bit pictures,
/// lk24RGB otherwise; alpha (32-bit pixels or 32-bit map entries) into Mask
/// unless IgnoreAlpha (null when no pixel has alpha). Bad headers set the
/// abort flag; data that ends early keeps the rows read and sets it too.
void ReadTGAStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly, TLKMask*& Mask, bool IgnoreAlpha);
/// Writes the picture with the TGA_ options; Mask (may be null) gives 32-bit
/// alpha.
void WriteTGAStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TLKMask* Mask);
