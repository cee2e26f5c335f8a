// BMP and DIB codec: Windows bitmaps with the "BM" file header and bare
// device-independent bitmaps that begin with the info header; 1, 4, 8, 16,
// 24 and 32 bits, RLE4 and RLE8, bit-field masks, top-down rows. The writer
// picks the depth from the parameters, quantises palettes and can
// run-length code 4- and 8-bit rows.
#pragma once

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// Reads the bitmap at the stream's position. DataSize: bytes of the
/// bitmap from there (0: unknown). NoFileHeader: the data begins with the
/// info header. Unless IgnoreAlpha, 32-bit pictures return their alpha in
/// Mask (null when every alpha byte is 0 or every one 255). Failures set
/// the abort flag.
void BMPReadStream(TStream* Stream, TLKBitmap* Bitmap, Int64 DataSize, TIOParamsVals& Params,
                   TProgressRec& Progress, bool ParamsOnly, bool NoFileHeader, TLKMask*& Mask, bool IgnoreAlpha);

/// Writes Bitmap at the stream's position with the BMP_ options of Params
/// (depth from BITSPERSAMPLE and SAMPLESPERPIXEL). WriteAlpha: 32-bit
/// pictures carry the alpha channel (else 255).
void BMPWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    bool WriteAlpha);

/// Run-length codes one row of palette indices (RLE8, or RLE4 when Four)
/// and appends it, with its end-of-line pair, to Out.
void BMPEncodeRLERow(const Byte* Indices, Integer Count, bool Four, std::vector<Byte>& Out);
