// The rows of the portable formats and of wireless bitmaps (which have no
// magic: content detection never names them).
#include "codecs/pnm/pxmfilt.h"
#include "io/lkformatrow.h"

namespace {

void ReadPXM(TLKFormatJob& J) { PXMReadStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.ParamsOnly); }
void WritePXM(TLKFormatJob& J) { PXMWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }
void ReadWBMP(TLKFormatJob& J) { WBMPReadStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.ParamsOnly); }
void WriteWBMP(TLKFormatJob& J) { WBMPWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }
bool ProbePXM(TStream& S) { return TryPXM(&S); }

}  // namespace

extern constinit const TLKFormatRow LKRow_PXM = [] {
  TLKFormatRow r;
  r.Type = lkftPXM;
  r.Name = "Portable Pixmap, GrayMap, BitMap";
  r.Extensions = "PXM;PPM;PGM;PBM";
  r.CanRead = r.CanWrite = true;
  r.Read = ReadPXM;
  r.Write = WritePXM;
  r.Probes[0] = {kLKProbePXM, ProbePXM};
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_WBMP = [] {
  TLKFormatRow r;
  r.Type = lkftWBMP;
  r.Name = "Wireless Bitmap";
  r.Extensions = "WBMP";
  r.CanRead = r.CanWrite = true;
  r.Read = ReadWBMP;
  r.Write = WriteWBMP;
  // One bit per pixel: only the size survives a colour picture.
  r.RoundTripTolerance = -1;
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Load.AdjustResolution = false;
  r.Save.Convert = true;
  return r;
}();
