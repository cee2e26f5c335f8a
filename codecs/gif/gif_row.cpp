// The GIF format row: loads compose an animation's frames up to the one
// asked for; the component then shows the transparent colour (or the
// background) around the picture.
#include "codecs/gif/giffilter.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "processing/lkprocutils.h"

namespace {

void Read(TLKFormatJob& J) {
  if (J.ParamsOnly) {
    TLKMask* none = nullptr;
    ReadGIFStream(&J.Stream, J.Bitmap, J.PageCount, J.Params, J.Progress, true, none, true);
    return;
  }
  J.PageCount = LKComposeGIFFrames(&J.Stream, J.Bitmap, J.Params, J.Progress);
}

void Write(TLKFormatJob& J) { WriteGIFStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }

bool Probe(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 13 && r.U8() == 'G' && r.U8() == 'I' && r.U8() == 'F'; });
}

void Background(TLumerakIO& IO) {
  const TIOParamsVals* p = IO.GetIOParams();
  IO.SetReBackground(TRGB2TColor(p->GIF_TRANSPARENT ? p->GIF_TRANSPCOLOR : p->GIF_BACKGROUND));
}

// ---- frames

Integer CountFrames(TStream& S) { return _DeleteGIFImStream(&S, -1, false); }
Integer DeleteFrame(TStream& S, Integer Index) {
  const Integer frames = CountFrames(S);
  if (Index < 0 || Index >= frames) return 0;
  return _DeleteGIFImStream(&S, Index, true);
}
void InsertFrame(TLKFormatJob& J) {
  if (_InsertGIFImStream(&J.Stream, J.Bitmap, J.Params, J.Progress) == 0 && !LKAborted(J.Progress))
    LKAbort(J.Progress, "GIF: the frame could not be inserted");
}

constexpr TLKPageOps kFrames{
    .Count = CountFrames,
    .Delete = DeleteFrame,
    .Insert = InsertFrame,
    .IsAnimated = _CheckGIFAnimate,
    .MakeAnimated = _GIFMakeAnimate,
};

String Detail(const TIOParamsVals& P) { return P.GIF_INTERLACED ? " Interlaced" : ""; }

}  // namespace

extern constinit const TLKFormatRow LKRow_GIF = [] {
  TLKFormatRow r;
  r.Type = lkftGIF;
  r.Name = "CompuServe Bitmap";
  r.Extensions = "GIF";
  r.OptionPages = PreviewPage(ppGIF);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeGIF, Probe};
  // A colour picture is reduced to 256 colours on the way out.
  r.RoundTripTolerance = 40;
  r.Load.OpenFirst = true;
  r.Load.AfterViewResolution = Background;
  r.Pages = &kFrames;
  r.TypeDetail = Detail;
  return r;
}();
