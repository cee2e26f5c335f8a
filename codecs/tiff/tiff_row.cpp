// The TIFF format row: the page reader and the writer as read and write
// jobs, the content probe (a TIFF that is not a DNG, or our "TIFF" stream
// header), and the stream header the component's frames handle.
#include "codecs/tiff/tiffdir.h"
#include "codecs/tiff/tiffilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void Read(TLKFormatJob& J) {
  TIFFReadStream(J.Bitmap, &J.Stream, J.PageCount, &J.Params, J.Progress, J.ParamsOnly,
                 J.IgnoreAlpha ? nullptr : &J.Mask, J.RelativeOffsets, J.IgnoreAlpha, false);
}

void Write(TLKFormatJob& J) { TIFFWriteStream(&J.Stream, false, J.Bitmap, J.Params, J.Progress); }

bool Probe(TStream& S) {
  if (LKProbeText(S, "TIFF", 5, 12)) return true;
  return LKProbeWith(S, [&](TLKByteReader&) { return IsTIFFStream(&S); }) &&
         !LKProbeWith(S, [&](TLKByteReader&) { return IsDNGStream(&S); });
}

}  // namespace

extern constinit const TLKFormatRow LKRow_TIFF = [] {
  TLKFormatRow r;
  r.Type = lkftTIFF;
  r.Name = "TIFF Bitmap";
  r.Extensions = "TIF;TIFF;FAX;G3N;G3F;XIF";
  r.OptionPages = PreviewPage(ppTIFF);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeTIFF, Probe};
  r.Load.OpenFirst = true;
  r.Load.Header = lkshRequired;
  r.Load.HeaderText = "TIFF";
  r.Save.Header = lkshRequired;
  r.Save.HeaderText = "TIFF";
  return r;
}();
