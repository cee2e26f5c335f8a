// Transitions of the single-image view: the start and end looks captured
// into the engine's frames, the run, frame-by-frame rendering and the
// pan-zoom rectangles.
#include <cmath>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

void TLumerakView::CaptureInto(TBitmap* Frame) {
  // The view renders itself (background, layers, decorations, grid) into
  // the engine's frame through a wrapper that does not own it.
  TLKBitmap wrap;
  wrap.EncapsulateTBitmap(Frame, true);
  PaintToEx(&wrap, nullptr, nullptr, true, true);
}

void TLumerakView::PrepareTransition() {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (cw == 0 || ch == 0) return;
  FTransition->SetSizes(cw, ch);
  CaptureInto(FTransition->FromBitmap.get());
}

void TLumerakView::RunTransition(TLKTransitionType Effect, Integer Duration) {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (cw == 0 || ch == 0) return;
  FTransitionType = Effect;
  FTransitionDuration = Duration <= 0 ? 1 : Duration;
  FTransition->Transition = Effect;
  FTransition->Duration = FTransitionDuration;
  CaptureInto(FTransition->ToBitmap.get());
  FTransition->SourceImage = FCurrent;
  FTransition->Run(true);
  if (Effect == lkttPanZoom) DisplayImageRect(GetTransitionEndRect());
  FTransitionType = lkttNone;
}

void TLumerakView::PrepareTransitionBitmap(TBitmap* StartBitmap, TBitmap* TargetBitmap, TLKTransitionType Effect) {
  FTransition->Transition = Effect;
  FTransition->SourceImage = FCurrent;
  FTransition->PrepareBitmap(StartBitmap, TargetBitmap);
}

void TLumerakView::CreateTransitionBitmapFrame(Integer Step, TBitmap* Bitmap) {
  FTransition->CreateBitmapFrame(Step, Bitmap);
}

void TLumerakView::SetTransitionStartRect(const TRect& Rect) {
  FTransition->StartRect = FTransitionKeepAspect ? AdjustRectToAspectRatio(Rect) : Rect;
}

void TLumerakView::SetTransitionEndRect(const TRect& Rect) {
  FTransition->EndRect = FTransitionKeepAspect ? AdjustRectToAspectRatio(Rect) : Rect;
}

void TLumerakView::SetTransitionRectMaintainAspectRatio(bool Value) {
  if (Value == FTransitionKeepAspect) return;
  FTransitionKeepAspect = Value;
  if (Value) {
    FTransition->StartRect = AdjustRectToAspectRatio(FTransition->StartRect);
    FTransition->EndRect = AdjustRectToAspectRatio(FTransition->EndRect);
  }
}

TRect TLumerakView::AdjustRectToAspectRatio(const TRect& Rect) {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  // An empty client area has no aspect ratio to follow.
  if (GetIsEmpty() || cw <= 0 || ch <= 0) return Rect;
  const Integer bw = FCurrent->GetWidth(), bh = FCurrent->GetHeight();
  Integer l = std::max(0, Rect.Left), t = std::max(0, Rect.Top);
  const Integer w = std::min(bw, Rect.Right - Rect.Left), h = std::min(bh, Rect.Bottom - Rect.Top);
  if (static_cast<double>(w) / cw >= static_cast<double>(h) / ch) {
    const Integer h2 = LKRound(static_cast<double>(ch) * w / cw);
    t -= (h2 - h) / 2;
    return TRect{l, t, l + w, t + h2};
  }
  const Integer w2 = LKRound(static_cast<double>(cw) * h / ch);
  l -= (w2 - w) / 2;
  return TRect{l, t, l + w2, t + h};
}

void TLumerakView::DisplayImageRect(const TRect& Rect) {
  LockPaint();
  try {
    const TRect r = AdjustRectToAspectRatio(Rect);
    // A rectangle without height has no zoom that shows it.
    if (r.Bottom > r.Top) {
      const double z = static_cast<double>(GetClientHeight()) / (r.Bottom - r.Top);
      SetZoom(z * 100);
      SetViewX(LKRound(r.Left * z));
      SetViewY(LKRound(r.Top * z));
    }
  } catch (...) {
  }
  UnLockPaint();
}
