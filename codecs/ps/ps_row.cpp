// The PostScript row: a write-only format whose one-step save makes a
// one-page document (documents of several pages come through the
// component's document calls).
#include "codecs/lkcodecutil.h"
#include "codecs/ps/lkpswriter.h"
#include "io/lkformatrow.h"

namespace {

// A stream that fails (a full disk) sets the flag, as other formats do.
void Write(TLKFormatJob& J) {
  lkcodec::AbortOnStreamError(J.Progress, "PostScript",
                              [&] { LKPostScriptSaveOneStep(&J.Stream, J.Bitmap, J.Params, J.Progress); });
}

void* Create(TStream& S, TIOParamsVals& P) { return LKPostScriptCreate(&S, P); }
void AddPage(void* D, TStream& S, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr) {
  lkcodec::AbortOnStreamError(Pr, "PostScript", [&] { LKPostScriptSave(static_cast<TLKPSDocument*>(D), &S, B, P, Pr); });
}
void Close(void* D, TStream& S, TIOParamsVals&) { LKPostScriptClose(static_cast<TLKPSDocument*>(D), &S); }

constexpr TLKDocumentOps kDocument = {Create, AddPage, Close};

}  // namespace

extern constinit const TLKFormatRow LKRow_PS = [] {
  TLKFormatRow r;
  r.Type = lkftPS;
  r.Name = "PostScript Level 2";
  r.Extensions = "PS;EPS";
  r.CanWrite = true;
  r.Write = Write;
  r.Save.Convert = true;
  r.Document = &kDocument;
  return r;
}();
