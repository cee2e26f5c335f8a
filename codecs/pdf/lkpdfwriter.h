// The PDF writer: pictures as a PDF 1.4 document, one picture per page,
// each an image fitted into the paper from the top-left corner. The
// document is built in memory while pages are added and written when it is
// closed.
//
//   TLKPDFDocument* d = LKPDFCreate(params);
//   LKPDFSave(d, bitmap, params, progress);   // once per page
//   LKPDFClose(d, stream, params);            // writes and frees
#pragma once

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"

struct TLKPDFDocument;

/// Starts a document: the catalog (object 1) and the shared resources
/// dictionary (object 2). Nothing is written.
TLKPDFDocument* LKPDFCreate(TIOParamsVals& Params);
/// Adds Bitmap as the next page: its image with the compression of
/// PDF_COMPRESSION, its content stream and its page dictionary. Pictures
/// other than lk1g and lk24RGB are written from a 24-bit copy.
void LKPDFSave(TLKPDFDocument* Document, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
/// Adds the page tree and the information dictionary, writes the document
/// at the stream's position and frees it. Null does nothing.
void LKPDFClose(TLKPDFDocument* Document, TStream* Stream, TIOParamsVals& Params);
/// A one-page document in one call.
void LKPDFSaveOneStep(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
