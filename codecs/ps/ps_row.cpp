// The PostScript row: a write-only format whose one-step save makes a
// one-page document (documents of several pages come through the
// component's document calls).
#include "codecs/ps/lkpswriter.h"
#include "io/lkformatrow.h"

namespace {

void Write(TLKFormatJob& J) { LKPostScriptSaveOneStep(&J.Stream, J.Bitmap, J.Params, J.Progress); }

void* Create(TStream& S, TIOParamsVals& P) { return LKPostScriptCreate(&S, P); }
void AddPage(void* D, TStream& S, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr) {
  LKPostScriptSave(static_cast<TLKPSDocument*>(D), &S, B, P, Pr);
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
