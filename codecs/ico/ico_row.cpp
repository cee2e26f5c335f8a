// The icon and cursor rows. Icon saves write one image per size of
// ICO_PageSizes (up to the first of width 0) at the bit count of the same
// index.
#include "codecs/ico/icofilt.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"

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

// The images of an icon written from several pictures: an I/O component
// gives its picture (a view's current one) with its own parameters, a bare
// bitmap is written by its pixel format.
void WriteImages(TStream& S, const std::vector<TObject*>& Images, TProgressRec& Progress) {
  std::vector<TLKIconImage> list;
  for (TObject* o : Images) {
    if (auto* io = dynamic_cast<TLumerakIO*>(o)) list.push_back({io->GetLKBitmap(), io->GetIOParams()});
    else if (auto* b = dynamic_cast<TLKBitmap*>(o)) list.push_back({b, nullptr});
  }
  ICOWriteStream2(&S, list, Progress);
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
  r.WriteImages = WriteImages;
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
