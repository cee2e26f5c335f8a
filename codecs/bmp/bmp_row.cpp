// The BMP format row: alpha is read and written when BMP_HANDLETRANSPARENCY
// says so.
#include "codecs/bmp/bmpfilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void Read(TLKFormatJob& J) {
  BMPReadStream(&J.Stream, J.Bitmap, J.ByteCount > 0 ? J.ByteCount : 0, J.Params, J.Progress, J.ParamsOnly, false,
                J.Mask, J.IgnoreAlpha || J.ParamsOnly || !J.Params.BMP_HANDLETRANSPARENCY);
}

void Write(TLKFormatJob& J) {
  BMPWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.Params.BMP_HANDLETRANSPARENCY);
}

bool Probe(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 14 && r.U8() == 'B' && r.U8() == 'M'; });
}

String Detail(const TIOParamsVals& P) {
  static const char* const kVersion[] = {" ver.1", " ver.3", " OS/2 v.1", " OS/2 v.2"};
  return P.BMP_VERSION < 4 ? kVersion[P.BMP_VERSION] : "";
}

}  // namespace

extern constinit const TLKFormatRow LKRow_BMP = [] {
  TLKFormatRow r;
  r.Type = lkftBMP;
  r.Name = "Windows Bitmap";
  r.Extensions = "BMP;DIB;RLE";
  r.OptionPages = PreviewPage(ppBMP);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeBMP, Probe};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  r.TypeDetail = Detail;
  return r;
}();
