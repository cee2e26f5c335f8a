// The PostScript writer: pictures as a PostScript Level 2 document with
// structuring comments, one picture per page, each fitted into the paper
// from the top-left corner. Image data is 7-bit text: ASCII85 over
// run-length, fax or JPEG data.
//
//   TLKPSDocument* d = LKPostScriptCreate(stream, params);  // header now
//   LKPostScriptSave(d, stream, bitmap, params, progress);  // once per page
//   LKPostScriptClose(d, stream);                           // trailer, frees
#pragma once

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// An open document: where its "%%Pages: " line starts and where the next
/// page (or the trailer) goes.
struct TLKPSDocument {
  Int64 PagesLine = 0;
  Int64 PagePosition = 0;
  Integer Pages = 0;  ///< pages written through this handle
};

/// Writes the header and prolog at the stream's position.
TLKPSDocument* LKPostScriptCreate(TStream* Stream, TIOParamsVals& Params);
/// Adds Bitmap as the next page and counts it in the header. Pictures other
/// than lk1g and lk24RGB are written from a 24-bit copy.
void LKPostScriptSave(TLKPSDocument* Document, TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params,
                      TProgressRec& Progress);
/// Writes the trailer after the last page and frees the handle; null does
/// nothing.
void LKPostScriptClose(TLKPSDocument* Document, TStream* Stream);
/// A one-page document in one call.
void LKPostScriptSaveOneStep(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
