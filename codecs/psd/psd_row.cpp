// The PSD format row.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/psd/psdfilt.h"
#include "core/lkabort.h"
#include "io/lkformatrow.h"
#include "core/lklayer.h"

namespace {

// The transparency of a document's one layer on its merged picture: the
// layer's alpha times its opacity at the layer's place, clear where the
// layer does not reach; the white the picture was stored over is taken out.
// A layer without an alpha channel leaves the picture as it is.
void AlphaFromLayer(TLKBitmap& B, const TLKLayer& L) {
  if (!L.Bitmap->GetHasAlphaChannel() || B.IsEmpty()) return;
  TLKBitmap* a = B.GetAlphaChannel();
  a->Fill(0);
  TLKBitmap* from = L.Bitmap->GetAlphaChannel();
  const Integer x0 = std::max<Integer>(0, L.PosX), x1 = std::min<Integer>(B.GetWidth(), L.PosX + from->GetWidth());
  const Integer y0 = std::max<Integer>(0, L.PosY), y1 = std::min<Integer>(B.GetHeight(), L.PosY + from->GetHeight());
  if (x0 >= x1) return;
  const Integer opacity = std::clamp(L.Opacity, 0, 255);
  for (Integer y = y0; y < y1; ++y) {
    Byte* to = static_cast<Byte*>(a->GetScanLine(y)) + x0;
    const Byte* src = static_cast<const Byte*>(from->GetScanLine(y - L.PosY)) + (x0 - L.PosX);
    for (Integer x = 0; x < x1 - x0; ++x) to[x] = Byte((src[x] * opacity + 127) / 255);
  }
  LKPSDRemoveWhiteMatte(B);
}

// With a layer list (the component's layered road) every layer is read into
// it, and a document without layers gives its merged picture as the one
// layer. Without one only the merged picture is read; a document of exactly
// one layer also lends it its transparency.
void Read(TLKFormatJob& J) {
  if (J.ParamsOnly) return LKReadPSD(&J.Stream, nullptr, J.Params, J.Progress, false, nullptr);
  if (J.Layers) {
    LKReadPSD(&J.Stream, J.Bitmap, J.Params, J.Progress, true, J.Layers);
    if (J.Layers->GetCount() == 0 && !LKAborted(J.Progress) && !J.Bitmap->IsEmpty()) {
      auto* l = new TLKLayer(nullptr, nullptr, false);
      J.Layers->Add(l);
      l->Bitmap->Assign(J.Bitmap);
    }
    return;
  }
  TList layers;
  try {
    LKReadPSD(&J.Stream, J.Bitmap, J.Params, J.Progress, false, &layers);
    // A merged picture with its own transparency keeps it.
    if (layers.GetCount() == 1 && !LKAborted(J.Progress) && !J.Bitmap->GetHasAlphaChannel())
      AlphaFromLayer(*J.Bitmap, *static_cast<TLKLayer*>(layers.Get(0)));
  } catch (...) {
    LKFreeLayers(layers);
    throw;
  }
  LKFreeLayers(layers);
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
  r.Load.LayersOption = &TIOParamsVals::PSD_LOADLAYERS;
  r.Save.CreateFirst = true;
  r.Save.ViewLayers = true;
  r.HeaderClaiming = Claiming;
  return r;
}();
