// The TGA format row.
#include "codecs/tga/tgafilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void Read(TLKFormatJob& J) {
  ReadTGAStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.ParamsOnly, J.Mask, J.IgnoreAlpha || J.ParamsOnly);
}

void Write(TLKFormatJob& J) { WriteTGAStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.Mask); }

bool Probe(TStream& S) { return TryTGA(&S); }

String Detail(const TIOParamsVals& P) { return P.TGA_COMPRESSED ? " Compressed" : " Uncompressed"; }

}  // namespace

extern constinit const TLKFormatRow LKRow_TGA = [] {
  TLKFormatRow r;
  r.Type = lkftTGA;
  r.Name = "Targa Bitmap";
  r.Extensions = "TGA;TARGA;VDA;ICB;VST;PIX";
  r.OptionPages = PreviewPage(ppTGA);
  r.SaveExtensions = "WIN";
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeTGA, Probe};
  r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  r.Save.AlphaAsMask = true;
  r.TypeDetail = Detail;
  return r;
}();
