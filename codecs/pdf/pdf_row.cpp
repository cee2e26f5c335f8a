// The PDF row: a write-only format whose one-step save makes a one-page
// document (documents of several pages come through the component's
// document calls).
#include "codecs/lkcodecutil.h"
#include "codecs/pdf/lkpdfwriter.h"
#include "io/lkformatrow.h"

namespace {

// A stream that fails (a full disk) sets the flag, as other formats do.
void Write(TLKFormatJob& J) {
  lkcodec::AbortOnStreamError(J.Progress, "PDF", [&] { LKPDFSaveOneStep(&J.Stream, J.Bitmap, J.Params, J.Progress); });
}

void* Create(TStream&, TIOParamsVals& P) { return LKPDFCreate(P); }
void AddPage(void* D, TStream&, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr) {
  LKPDFSave(static_cast<TLKPDFDocument*>(D), B, P, Pr);
}
void Close(void* D, TStream& S, TIOParamsVals& P) { LKPDFClose(static_cast<TLKPDFDocument*>(D), &S, P); }

constexpr TLKDocumentOps kDocument = {Create, AddPage, Close};

}  // namespace

extern constinit const TLKFormatRow LKRow_PDF = [] {
  TLKFormatRow r;
  r.Type = lkftPDF;
  r.Name = "Adobe PDF";
  r.Extensions = "PDF";
  r.CanWrite = true;
  r.Write = Write;
  r.Save.Convert = true;
  r.Document = &kDocument;
  return r;
}();
