// The rows of headerless raw pixels and of the two metafile formats (which
// are detected here; they have no load road of their own).
#include "codecs/rawpix/rawpixels.h"
#include "io/lkformatrow.h"

namespace {

void Read(TLKFormatJob& J) {
  if (!J.ParamsOnly) LKRealRAWReadStream(&J.Stream, J.Bitmap, J.Params, J.Progress);
}
void Write(TLKFormatJob& J) { LKRealRAWWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }
bool ProbeWMF(TStream& S) { return LKWMFTryStream(&S); }
bool ProbeEMF(TStream& S) { return LKEMFTryStream(&S); }

}  // namespace

extern constinit const TLKFormatRow LKRow_WMF = [] {
  TLKFormatRow r;
  r.Type = lkftWMF;
  r.Name = "Windows Metafile";
  r.Extensions = "WMF";
  r.CanRead = true;
  r.Probes[0] = {kLKProbeWMF, ProbeWMF};
  r.Load.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_EMF = [] {
  TLKFormatRow r;
  r.Type = lkftEMF;
  r.Name = "Enhanced Windows Metafile";
  r.Extensions = "EMF";
  r.CanRead = true;
  r.Probes[0] = {kLKProbeEMF, ProbeEMF};
  r.Load.NoRoad = true;
  return r;
}();

// Headerless raw pixels, read into the bitmap as the caller sized it: no
// resolution handling at all. Not registered.
extern constinit const TLKFormatRow LKRow_BMPRAW = [] {
  TLKFormatRow r;
  r.Type = lkftBMPRAW;
  r.Name = "Raw pixels";
  r.CanRead = r.CanWrite = true;
  r.Registered = false;
  r.Read = Read;
  r.Write = Write;
  r.Load.OpenFirst = true;
  r.Load.CheckResolution = r.Load.AdjustResolution = false;
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Save.CreateFirst = true;
  r.RoundTripTolerance = -1;
  return r;
}();
