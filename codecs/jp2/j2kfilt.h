// The JPEG 2000 bridge: JP2 files and raw code streams read into a bitmap
// and written from one, with the coding done by OpenJPEG. The caller's
// stream stands in for the file in both directions; no scratch files.
#pragma once

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// True when the stream starts with the JP2 signature box (length 12, type
/// "jP  ", content 0D 0A 87 0A); the position is restored.
bool J2KTryStreamJP2(TStream* Stream);
/// True when the stream starts with the code stream markers FF 4F (start of
/// code stream) and FF 51 (image size); the position is restored.
bool J2KTryStreamJ2K(TStream* Stream);

/// Reads a JP2 file or a code stream: grey pictures of precision 1 as lk1g,
/// every other grey, RGB or YCbCr picture as lk24RGB (samples reduced to
/// their top 8 bits). Failures set the abort flag.
void J2KReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly);

/// Writes Bitmap (lk1g or lk24RGB) as a JP2 file (Format 0) or a code
/// stream (Format 1) with J2000_COLORSPACE, J2000_RATE (a fraction of the
/// raw size; 1 or more is lossless), J2000_SCALABLEBY and BITSPERSAMPLE.
void J2KWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    Integer Format);

/// The option text of a save: "rate=" the rate (with a point) and
/// " prg=lrcp" or " prg=rlcp".
String J2KOptionText(const TIOParamsVals& Params);

/// The colour conversion tables of YCbCr pictures, indexed by the chroma
/// byte: red from Cr, blue from Cb, green from Cr and from Cb.
struct TJ2KYCbCrTables {
  Integer RedFromCr[256], BlueFromCb[256], GreenFromCr[256], GreenFromCb[256];
};
const TJ2KYCbCrTables& J2KYCbCrTables();
