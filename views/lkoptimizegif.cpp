// The animated GIF optimiser: one hidden view per frame loads the frame as
// composed on the logical screen, the change against the frame before is
// boxed, and the frames are written back one by one.
#include "views/lkoptimizegif.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

// Start values of the change box: a box still holding them found nothing.
constexpr Integer kNoMin = 1000000, kNoMax = 0;

struct TChangeBox {
  Integer MinX = kNoMin, MinY = kNoMin, MaxX = kNoMax, MaxY = kNoMax;
  // A box whose maximum column or row is 0 is treated as empty, so a change
  // confined to the first column or row keeps the frame whole.
  bool Found() const { return MinX != kNoMin && MinY != kNoMin && MaxX != kNoMax && MaxY != kNoMax; }
};

// The picture as 24-bit pixels: the bitmap itself, or a converted copy in
// Scratch when it has another pixel format (the alpha channel comes along).
TLKBitmap& As24(TLKBitmap& B, TLKBitmap& Scratch) {
  if (B.GetPixelFormat() == lk24RGB) return B;
  Scratch.Assign(&B);
  Scratch.SetPixelFormat(lk24RGB);
  return Scratch;
}

// The box of the pixels of Frame that differ in colour from Shown over the
// part both cover. A pixel that is transparent in Frame but opaque in Shown
// cannot be drawn over the frame before, so it empties the box and ends the
// comparison.
TChangeBox ChangedBox(TLKBitmap& Shown, TLKBitmap& Frame) {
  TChangeBox box;
  TLKBitmap scratch;
  TLKBitmap& f = As24(Frame, scratch);
  const Integer w = std::min(Shown.GetWidth(), f.GetWidth());
  const Integer h = std::min(Shown.GetHeight(), f.GetHeight());
  TLKBitmap* fa = f.GetHasAlphaChannel() ? f.GetAlphaChannel() : nullptr;
  TLKBitmap* sa = Shown.GetHasAlphaChannel() ? Shown.GetAlphaChannel() : nullptr;
  for (Integer y = 0; y < h; ++y) {
    const Byte* fp = static_cast<const Byte*>(f.GetScanLine(y));
    const Byte* sp = static_cast<const Byte*>(Shown.GetScanLine(y));
    const Byte* fap = fa ? static_cast<const Byte*>(fa->GetScanLine(y)) : nullptr;
    const Byte* sap = sa ? static_cast<const Byte*>(sa->GetScanLine(y)) : nullptr;
    for (Integer x = 0; x < w; ++x) {
      const Byte frameAlpha = fap ? fap[x] : 255, shownAlpha = sap ? sap[x] : 255;
      if (frameAlpha == 0 && shownAlpha == 255) return TChangeBox{};
      const Byte* a = fp + 3 * x;
      const Byte* b = sp + 3 * x;
      if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) {
        box.MinX = std::min(box.MinX, x);
        box.MinY = std::min(box.MinY, y);
        box.MaxX = std::max(box.MaxX, x);
        box.MaxY = std::max(box.MaxY, y);
      }
    }
  }
  return box;
}

}  // namespace

void LKOptimizeGIF(const String& Source, const String& Destination) {
  std::vector<std::unique_ptr<TLumerakView>> frames;
  std::vector<TLKGIFAction> disposals;
  TLKBitmap shown;  // the previous frame as loaded, in 24 bits

  for (Integer i = 0;; ++i) {
    auto view = std::make_unique<TLumerakView>(nullptr);
    TLumerakIO* io = view->GetLumerakIO();
    TIOParamsVals* params = io->GetIOParams();
    params->SetImageIndex(i);
    try {
      io->LoadFromFileGIF(Source);
    } catch (const std::exception&) {
      break;  // a missing or unreadable file: no (further) frame
    }
    TLKBitmap* bitmap = view->GetLKBitmap();
    // A frame that cannot be loaded (a missing file, no GIF, damaged data)
    // ends the animation; without any frame nothing is written.
    if (io->GetAborted() || !bitmap || bitmap->IsEmpty()) break;
    const Integer count = params->GIF_IMAGECOUNT;

    TLKGIFAction disposal = ioGIF_DontRemove;
    if (i > 0) {
      const TChangeBox box = ChangedBox(shown, *bitmap);
      const Integer fullWidth = bitmap->GetWidth(), fullHeight = bitmap->GetHeight();
      shown.Assign(bitmap);
      if (box.Found()) {
        TLumerakProc* proc = view->GetLumerakProc();
        proc->SetAutoUndo(false);  // a throw-away view needs no undo copy
        proc->Crop(box.MinX, box.MinY, box.MaxX, box.MaxY);
        params->GIF_XPOS = box.MinX;
        params->GIF_YPOS = box.MinY;
        params->GIF_WINWIDTH = fullWidth;
        params->GIF_WINHEIGHT = fullHeight;
      } else {
        disposal = ioGIF_DrawBackground;
      }
    } else {
      shown.Assign(bitmap);
    }
    if (shown.GetPixelFormat() != lk24RGB) shown.SetPixelFormat(lk24RGB);
    params->GIF_Disposal = disposal;
    disposals.push_back(disposal);
    frames.push_back(std::move(view));
    if (i + 1 >= count) break;
  }

  // A frame's disposal says how the frame after it is drawn over it, so each
  // frame but the last takes the one worked out for its successor.
  for (size_t i = 0; i < frames.size(); ++i) {
    TLumerakIO* io = frames[i]->GetLumerakIO();
    if (i + 1 < frames.size()) io->GetIOParams()->GIF_Disposal = disposals[i + 1];
    if (i == 0)
      io->SaveToFileGIF(Destination);
    else
      io->InsertToFileGIF(Destination);
    const bool failed = io->GetAborted();
    frames[i].reset();
    if (failed) break;
  }
}
