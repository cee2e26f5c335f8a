// JPEG codec: the stream reader and writer of JPEG pictures, the content
// probe, the embedded ICC profile loader, the length scan and thin wrappers
// over the library's decompression calls for callers that drive it
// themselves.
#pragma once

#include <atomic>
#include <cstddef>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "platform/system.h"

/// A fatal error of the JPEG library; the message is the library's text for
/// the error code with every parameter shown as "?".
class ELKJpegException : public Exception {
  using Exception::Exception;
};

/// Reads one JPEG picture from Stream's current position into Bitmap and
/// Params.
///  - TablesStream: null, or a stream holding an abbreviated tables-only
///    datastream read before the picture (when it is not Stream itself).
///  - ParamsOnly: fills the parameters only; the bitmap is left untouched.
///  - RawYCbCr: YCbCr-coded pictures come out as Y, Cb, Cr bytes unconverted.
///  - ReadMetadata: loads the IPTC records of the first APP13 marker.
///  - InvertCMYK: CMYK samples are inverted before the conversion to RGB
///    (for files storing plain rather than inverted inks).
///  - DropICCMarkers: removes APP2 markers after an ICC conversion.
///  - ReadICC: loads the embedded ICC profile into Params.InputICC first.
///  - MaxLines: rows to decode; -1 for the whole picture.
/// Failures (not a JPEG, library errors, fewer rows than MaxLines) set the
/// abort flag of Progress; nothing is raised.
void ReadJPegStream(TStream* Stream, TStream* TablesStream, TLKBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, bool ParamsOnly, bool RawYCbCr, bool ReadMetadata,
                    bool InvertCMYK, bool DropICCMarkers, bool ReadICC, Integer MaxLines);

/// Writes Bitmap as one JPEG picture at Stream's position with the JPEG_*
/// options, the resolution and the marker list of Params (the list is
/// sorted by code in place; APP14 markers are not written). Bitmaps of other
/// formats than 24-bit colour are converted on a copy first. An empty bitmap
/// or a short stream write sets the abort flag; library errors set it and
/// raise ELKJpegException.
void WriteJPegStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

/// Position of the first FF D8 FF found at one of the 100 positions starting
/// at the current one, or -1; the stream position is restored.
Int64 JpegTryStream(TStream* Stream);

/// Loads the ICC profile carried in APP2 "ICC_PROFILE" markers of the JPEG
/// at the current position into Params.InputICC (nothing when the file has
/// none). The stream position is restored.
void LKGetJpegICC(TStream* Stream, TIOParamsVals& Params);

/// Bytes from the current position to the end of the first end-of-image
/// marker reached by walking the marker segments (to the end of the stream
/// when there is none). The stream position is restored; never fails.
Int64 LKGetJpegLength(TStream* Stream);

// ---------------------------------------------------------------------------
// Decompression wrappers. The record and the error manager are untyped
// pointers; every call that reaches the library raises ELKJpegException on a
// library error. Order: CreateDecompStruct, CreateErrMgr, CreateDecompress,
// SetReadStream (optionally SetFillInputBuffer), ReadHeader, StartDecompress,
// AllocSArray, ReadScanlines, FinishDecompress, DestroyDecompress,
// FreeDecompStruct, FreeErrMgr.

/// A caller's fill-input routine: gets the decompression record, supplies
/// bytes through LKJPEG_SetNextInput and returns true. It must not raise.
using TLKJpegFillInputFunc = bool (*)(void* Decomp);

/// An uninitialised decompression record.
void* LKJPEG_CreateDecompStruct();
/// Frees a record of LKJPEG_CreateDecompStruct (null is ignored).
void LKJPEG_FreeDecompStruct(void* Decomp);
/// An error manager without abort flag, attached to Decomp.
void* LKJPEG_CreateErrMgr(void* Decomp);
/// Frees an error manager of LKJPEG_CreateErrMgr (null is ignored).
void LKJPEG_FreeErrMgr(void* ErrMgr);
/// Initialises the record (library version 62); the error manager must be
/// attached first.
void LKJPEG_CreateDecompress(void* Decomp);
/// Releases everything the library holds for the record.
void LKJPEG_DestroyDecompress(void* Decomp);
/// Attaches the stream source manager (64 KB buffer, no abort flag).
void LKJPEG_SetReadStream(void* Decomp, TStream* Stream);
/// Replaces the source manager's fill-input routine by Func.
void LKJPEG_SetFillInputBuffer(void* Decomp, TLKJpegFillInputFunc Func);
/// Sets the source manager's next input bytes.
void LKJPEG_SetNextInput(void* Decomp, const Byte* Data, std::size_t Count);
/// Reads the header; returns the library's result code.
Integer LKJPEG_ReadHeader(void* Decomp, bool RequireImage);
/// Starts the decompression.
void LKJPEG_StartDecompress(void* Decomp);
Integer LKJPEG_GetOutputWidth(void* Decomp);
Integer LKJPEG_GetOutputHeight(void* Decomp);
Integer LKJPEG_GetOutputComponents(void* Decomp);
Integer LKJPEG_GetOutputScanline(void* Decomp);
/// Rows of SamplesPerRow bytes from the library's pool Pool (0 permanent, 1
/// image), freed by the library with the record.
Byte** LKJPEG_AllocSArray(void* Decomp, Integer Pool, Cardinal SamplesPerRow, Cardinal Rows);
/// Reads up to Count rows into Rows; returns the number read.
Cardinal LKJPEG_ReadScanlines(void* Decomp, Byte** Rows, Cardinal Count);
/// Finishes the decompression.
void LKJPEG_FinishDecompress(void* Decomp);
