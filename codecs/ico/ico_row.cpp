// The icon and cursor rows. Icon saves write one image per size of
// ICO_PageSizes (up to the first of width 0) at the bit count of the same
// index.
#include "codecs/ico/icofilt.h"
#include "io/lkformatrow.h"

namespace {

void ReadICO(TLKFormatJob& J) {
  ICOReadStream(&J.Stream, J.Bitmap, J.Params, J.ParamsOnly, J.Progress, J.Mask, J.IgnoreAlpha || J.ParamsOnly);
}

void ReadCUR(TLKFormatJob& J) {
  CURReadStream(&J.Stream, J.Bitmap, J.Params, J.ParamsOnly, J.Progress, J.Mask, J.IgnoreAlpha || J.ParamsOnly);
}

void WriteICO(TLKFormatJob& J) {
  std::vector<TSize> sizes;
  std::vector<Integer> depths;
  for (Integer i = 0; i < 16 && J.Params.ICO_PageSizes[i].cx > 0; ++i) {
    sizes.push_back(J.Params.ICO_PageSizes[i]);
    depths.push_back(J.Params.ICO_PageBitCounts[i]);
  }
  ICOWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress, sizes, depths);
}

bool ProbeICO(TStream& S) { return ICOTryStream(&S); }
bool ProbeCUR(TStream& S) { return CURTryStream(&S); }

Integer CountImages(TStream& S) { return _EnumICOImStream(&S); }

constexpr TLKPageOps kImages{.Count = CountImages};

}  // namespace

extern constinit const TLKFormatRow LKRow_ICO = [] {
  TLKFormatRow r;
  r.Type = lkftICO;
  r.Name = "Windows Icon";
  r.Extensions = "ICO";
  r.CanRead = r.CanWrite = true;
  r.Read = ReadICO;
  r.Write = WriteICO;
  r.Probes[0] = {kLKProbeICO, ProbeICO};
  r.RoundTripResizes = true;
  r.Load.ViewResolutionFromStream = false;
  r.Save.Convert = true;
  r.Pages = &kImages;
  r.WriteImages = [](TStream& S, const std::vector<TObject*>& Images, TProgressRec& Progress) {
    ICOWriteImages(&S, Images, Progress);
  };
  return r;
}();

extern constinit const TLKFormatRow LKRow_CUR = [] {
  TLKFormatRow r;
  r.Type = lkftCUR;
  r.Name = "Windows Cursor";
  r.Extensions = "CUR";
  r.CanRead = true;
  r.Read = ReadCUR;
  r.Probes[0] = {kLKProbeCUR, ProbeCUR};
  r.Load.ViewResolutionFromStream = false;
  return r;
}();
