// The PSD format row.
#include <vector>

#include "codecs/psd/psdfilt.h"
#include "io/lkformatrow.h"

namespace {

void Read(TLKFormatJob& J) {
  LKReadPSD(&J.Stream, J.ParamsOnly ? nullptr : J.Bitmap, J.Params, J.Progress, J.Params.PSD_LOADLAYERS,
            J.ParamsOnly ? nullptr : J.Layers);
}

void Write(TLKFormatJob& J) { LKWritePSD(&J.Stream, J.Params, J.Progress, J.Bitmap, J.Layers); }

bool Probe(TStream& S) { return LKTryPSD(&S); }

// An RGB document of Width x Height with empty sections and raw pixel data
// that is not there.
void Claiming(Integer Width, Integer Height, std::vector<Byte>& File) {
  File = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
  for (Integer v : {Height, Width}) {
    File.push_back(Byte(v >> 24));
    File.push_back(Byte(v >> 16));
    File.push_back(Byte(v >> 8));
    File.push_back(Byte(v));
  }
  File.insert(File.end(), {0, 8, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

}  // namespace

extern constinit const TLKFormatRow LKRow_PSD = [] {
  TLKFormatRow r;
  r.Type = lkftPSD;
  r.Name = "Photoshop PSD";
  r.Extensions = "PSD";
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbePSD, Probe};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  r.HeaderClaiming = Claiming;
  return r;
}();
