// The PNG format row: the reader starts from the component's background and
// the component takes the one the reader found; the writer gets the alpha
// channel as a mask.
#include "codecs/png/pngfilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "processing/lkprocutils.h"

namespace {

void Read(TLKFormatJob& J) { ReadPNGStream(&J.Stream, J.Bitmap, J.Params, J.ParamsOnly, J.Progress); }

void Write(TLKFormatJob& J) { WritePNGStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.Mask); }

bool Probe(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 8 && r.U32BE() == 0x89504E47u; });
}

void BackgroundIn(TLumerakIO& IO) { IO.GetIOParams()->PNG_BACKGROUND = TColor2TRGB(IO.GetReBackground()); }
void BackgroundOut(TLumerakIO& IO) { IO.SetReBackground(TRGB2TColor(IO.GetIOParams()->PNG_BACKGROUND)); }

String Detail(const TIOParamsVals& P) { return P.PNG_INTERLACED ? " Interlaced" : ""; }

}  // namespace

extern constinit const TLKFormatRow LKRow_PNG = [] {
  TLKFormatRow r;
  r.Type = lkftPNG;
  r.Name = "Portable Network Graphics";
  r.Extensions = "PNG";
  r.OptionPages = PreviewPage(ppPNG);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbePNG, Probe};
  r.Load.BeforeFileLoad = BackgroundIn;
  r.Load.AfterViewResolution = BackgroundOut;
  r.Save.AlphaAsMask = true;
  r.TypeDetail = Detail;
  return r;
}();
