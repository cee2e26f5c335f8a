// Portable bitmap, grey map and pixmap codecs ("P1" to "P6") and the
// wireless bitmap (WBMP type 0).
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// True when the stream starts with "P1".."P6", a width and a height above
/// 0 (comments skipped); the position is restored.
bool TryPXM(TStream* Stream);
/// Reads a portable bitmap, grey map or pixmap: lk1g for "P1"/"P4",
/// lk24RGB otherwise (lk48RGB for 16-bit "P6" with ISNATIVEPIXELFORMAT).
/// Header comments go to PXM_CommentLines. Bad headers set the abort flag;
/// data that ends early keeps the rows read and sets it too.
void PXMReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly);
/// Writes "P4", "P5" or "P6" (8 or 16 bits) by BITSPERSAMPLE, SAMPLESPERPIXEL
/// and the pixel format, with PXM_CommentLines as comments.
void PXMWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

/// Reads a type-0 WBMP into an lk1g bitmap.
void WBMPReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    bool ParamsOnly);
/// Writes the bitmap as a type-0 WBMP (at most 255 pixels on the longer
/// side: larger pictures are cut to that size).
void WBMPWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
