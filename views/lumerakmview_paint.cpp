// Painting the thumbnail view: the paint pass (which also asks for the
// images it needs), one cell, and playing the entries as frames.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkmath.h"
#include "processing/lkcorners.h"
#include "processing/lkfilterresample.h"
#include "processing/lkshadows.h"
#include "processing/lktransitions.h"
#include "views/lkmloader.h"
#include "views/lumerakmview.h"

void TLumerakMView::Paint() {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (FPaintLock > 0 || cw <= 0 || ch <= 0) return;
  // Results that arrived since the last paint are stored first (those of
  // cells off the screen only as far as a short budget allows).
  TakeDueImages();
  if (FBackBuffer->GetWidth() != cw || FBackBuffer->GetHeight() != ch || FBackBuffer->GetPixelFormat() != pf24bit) {
    FBackBuffer = std::make_unique<TBitmap>(cw, ch, pf24bit);
  }
  try {
    PaintTo(FBackBuffer.get());
  } catch (...) {
    // A failed pass leaves the window as it was.
  }
  GetCanvas()->Draw(0, 0, FBackBuffer.get());
}

void TLumerakMView::PaintTo(TBitmap* Bitmap) {
  const Integer cw = Bitmap->GetWidth(), ch = Bitmap->GetHeight();
  LKDrawBackground(false, Bitmap->GetCanvas(), Bitmap, BackgroundStyle, GetBackground(), 0, 0, cw, ch, 0, 0, cw, ch,
                   ChessboardSize, ChessboardBrushStyle, GradientEndColor, FWallPaper.get(), WallPaperStyle);
  bool remembered = false;
  Integer first = -1, last = -1;
  for (int restart = 0; restart < 1 + GetImageCount(); ++restart) {
    const Integer count = GetImageCount();
    const Integer n = FDisplayMode == mdSingle && count > 0 ? 1 : count;
    Integer start = 0;
    if (FPlaying || FDisplayMode == mdSingle) {
      FCurrentFrame = std::clamp<Integer>(FCurrentFrame, 0, std::max<Integer>(count - 1, 0));
      start = FCurrentFrame;
    }
    remembered = FAllDisplayed;
    FAllDisplayed = true;
    first = -1;
    last = count - 1;
    bool restarted = false;
    for (Integer k = 0, i = start; k < n; ++k, i = i + 1 < count ? i + 1 : 0) {
      if (OnDrawProgress && n > 1) OnDrawProgress(this, static_cast<Integer>(k * 100.0 / n), i);
      TLKImageInfo& e = *FEntries[static_cast<size_t>(i)];
      if (IsVisible(i)) {
        if (first == -1) first = i;
        if (e.Stored == nullptr && e.DisplayCopy == nullptr) {
          remembered = false;
          bool ok = true;
          if (i == FSelected || FThreadPoolSize == 0 || !ObtainImageThreaded(i)) ok = ObtainImageNow(i);
          if (!ok && RemoveCorrupted) {
            DeleteImageNU(i);
            restarted = true;
            break;
          }
        }
        const bool selected =
            (i == FSelected || (EnableMultiSelect && IsSelected(i))) && VisibleSelection && FDisplayMode == mdGrid;
        if (e.Stored == nullptr && e.DisplayCopy == nullptr) FAllDisplayed = false;
        DrawImage(Bitmap, e, i, selected);
      } else if (first != -1 && last == count - 1) {
        last = i - 1;
      }
    }
    if (!restarted) break;
  }
  if (first >= 0) {
    RequestLookAhead(last);
    // Requests that scrolled away are dropped and their reads stopped.
    FLoader->Retain([this](Int64 key) {
      const Integer idx = IndexOfKey(key);
      return idx >= 0 && (IsVisible(idx) || IsLookAhead(idx));
    });
    ReleaseFarImages(first, last);
  }
  if (OnDrawProgress && GetImageCount() > 1 && FDisplayMode != mdSingle) OnDrawProgress(this, 100, 0);
  if (FAllDisplayed && !remembered && OnAllDisplayed) OnAllDisplayed(this);
}

namespace {

// Draws one caption at (X, Y) after setting up the canvas for it.
void SetupCaption(TCanvas* C, TLKMText* T, bool HighlightColours) {
  C->GetFont()->Assign(T->GetDrawFont());
  C->GetBrush()->SetStyle(T->GetBackgroundStyle());
  if (HighlightColours) {
    C->GetFont()->SetColor(clHighlightText);
    if (T->GetBackgroundStyle() != bsClear) C->GetBrush()->SetColor(clHighlight);
  } else if (T->GetBackgroundStyle() != bsClear) {
    C->GetBrush()->SetColor(T->GetBackground());
  }
}

void FillSolid(TCanvas* C, TColor Colour, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (X2 <= X1 || Y2 <= Y1) return;
  C->GetBrush()->SetStyle(bsSolid);
  C->GetBrush()->SetColor(Colour);
  C->FillRect(TRect{X1, Y1, X2, Y2});
}

void RenderInto(TLKBitmap* Source, TBitmap* Dest, Integer X, Integer Y, Integer W, Integer H, bool Alpha,
                TResampleFilter Filter) {
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  Source->RenderToTBitmap(Dest, rows, cols, rowIdx, nullptr, X, Y, W, H, 0, 0, Source->GetWidth(),
                          Source->GetHeight(), Alpha && Source->GetHasAlphaChannel(), false, 255, Filter, true,
                          lklNormal);
}

}  // namespace

void TLumerakMView::DrawImage(TBitmap* Bitmap, TLKImageInfo& Info, Integer Idx, bool Selected) {
  TCanvas* c = Bitmap->GetCanvas();
  const Integer upper = ShowText ? FUpperGap : FUserUpperGap;
  const Integer bottom = ShowText ? FBottomGap : FUserBottomGap;
  Integer x = Info.X - FViewX, y = Info.Y - FViewY, w = FThumbWidth, h = FThumbHeight;
  if (OnBeforeImageDraw) OnBeforeImageDraw(this, Idx, x, y, c);
  if (FPresetFrame) {
    TLKBitmap* frame = Idx == FSelected ? FPresetFrameSelected.get() : FPresetFrame.get();
    RenderInto(frame, Bitmap, x, y, w, h, true, rfNone);
    w = FPresetInner.Right - FPresetInner.Left;
    h = FPresetInner.Bottom - FPresetInner.Top;
    x += FPresetInner.Left;
    y += FPresetInner.Top;
  }
  // Captions are made when first asked for: a missing one is empty.
  const bool infoShown = ShowText && Info.InfoText && !Info.InfoText->GetCaption().empty();
  const Integer ih = infoShown ? TextSize(Info.InfoText->GetDrawFont(), Info.InfoText->GetCaption()).cy : 0;
  const Integer ah = h - bottom - upper - ih;
  const TColor cc = Selected && SelectionStyle == lkssACD ? clHighlight
                    : DrawImageBackground                ? Info.BackColor
                                                         : ThumbnailsBackground;
  if (FillThumbnail)
    LKDrawBackground(false, c, Bitmap, ThumbnailsBackgroundStyle, cc, x, y, w, h, x, y, x + w, y + h, ChessboardSize,
                     ChessboardBrushStyle, GradientEndColor, nullptr, lkwoNormal);
  Integer fw = 0, fh = 0, dx = x, dy = y + upper;
  if (Info.DisplayCopy == nullptr && Info.Stored != nullptr) {
    TLKBitmap src;
    FImageList->CopyToLKBitmap(Info.Stored, &src);
    const Integer sw = src.GetWidth(), sh = src.GetHeight();
    const TLKMFit fit = LKMFitInCell(sw, sh, w, ah, EnableResamplingOnMinor);
    fw = fit.Width;
    fh = fit.Height;
    dx = fit.OffsetX + x;
    dy = fit.OffsetY + y + upper;
    Info.ImageRect = TRect{0, 0, fw, fh};
    if (sw >= 1 && sh >= 1 && fw >= 1 && fh >= 1) {
      TLKBitmap display;
      const bool oneBitReduced = src.GetPixelFormat() == lk1g && (fw < sw || fh < sh);
      if (fw == sw && fh == sh) {
        display.Assign(&src);
      } else {
        display.Allocate(fw, fh, oneBitReduced ? lk24RGB : src.GetPixelFormat());
        _LKResampleLKBitmap(&src, &display, oneBitReduced ? rfFastLinear : DisplayResampleFilter);
      }
      if (RoundRadiusDivisor > 0) {
        const Integer r = std::min(w, h) / RoundRadiusDivisor;
        _LKRoundImage(&display, r, r, {}, nullptr);
      }
      if (SoftShadowEnabled) {
        TLKBitmap shadowed;
        shadowed.Assign(&display);
        shadowed.SetPixelFormat(lk24RGB);
        _LKAddSoftShadow(&shadowed, SoftShadowRadius, SoftShadowOffsetX, SoftShadowOffsetY, true, TRGB{0, 0, 0}, {},
                         nullptr);
        const Integer sW = shadowed.GetWidth(), sH = shadowed.GetHeight();
        display.Allocate(fw, fh, lk24RGB);
        _LKResampleLKBitmap(&shadowed, &display, rfTriangle);
        const double sx = static_cast<double>(fw) / sW, sy = static_cast<double>(fh) / sH;
        const Integer ox = (sW - fw) / 2, oy = (sH - fh) / 2;
        Info.ImageRect = TRect{LKTruncClamp(ox * sx), LKTruncClamp(oy * sy), LKTruncClamp((fw + ox) * sx) + 1,
                               LKTruncClamp((fh + oy) * sy) + 1};
      }
      RenderInto(&display, Bitmap, dx, dy, fw, fh, EnableAlphaChannel, rfNone);
      if (FEnableImageCaching) {
        Info.DisplayCopy = FDisplayCache->AddLKBitmap(&display);
        FDisplayCache->SetImageOriginalWidth(Info.DisplayCopy, FImageList->GetImageOriginalWidth(Info.Stored));
        FDisplayCache->SetImageOriginalHeight(Info.DisplayCopy, FImageList->GetImageOriginalHeight(Info.Stored));
      }
    }
  } else if (Info.DisplayCopy != nullptr) {
    TLKBitmap display;
    FDisplayCache->CopyToLKBitmap(Info.DisplayCopy, &display);
    fw = display.GetWidth();
    fh = display.GetHeight();
    dx = std::abs(w - fw) / 2 + x;
    dy = std::abs(ah - fh) / 2 + y + upper;
    if (fw > 0 && fh > 0) RenderInto(&display, Bitmap, dx, dy, fw, fh, EnableAlphaChannel, rfNone);
  }
  if (Info.Stored != nullptr || Info.DisplayCopy != nullptr) {
    if (ThumbnailsInternalBorder) {
      c->GetPen()->SetColor(ThumbnailsInternalBorderColor);
      c->GetPen()->SetWidth(1);
      c->GetBrush()->SetStyle(bsClear);
      c->Rectangle(dx + Info.ImageRect.Left, dy + Info.ImageRect.Top, dx + Info.ImageRect.Right,
                   dy + Info.ImageRect.Bottom);
    }
    if (FillThumbnail) {
      FillSolid(c, cc, x, y, dx, y + h);
      FillSolid(c, cc, dx + fw, y, x + w, y + h);
      FillSolid(c, cc, dx, y, dx + fw, dy);
      FillSolid(c, cc, dx, dy + fh, dx + fw, y + h);
    }
  }
  Integer u = 0;
  if (ShowText) {
    const bool hl = Selected && SelectionStyle == lkssACD;
    auto width = [&](const String& s) { return c->TextWidth(s); };
    TLKMText* top = Info.TopText.get();
    if (top && !top->GetCaption().empty()) {
      SetupCaption(c, top, hl);
      const String t = LKMTruncateCaption(top->GetCaption(), w, top->GetTruncSide(), width);
      const Integer tw = c->TextWidth(t);
      if (Style == lkmsFlat && top->GetBackgroundStyle() != bsSolid) c->FillRect(TRect{x, y, x + w, y + c->TextHeight(t)});
      c->TextOut(x + (w - tw) / 2, y, t);
    }
    TLKMText* info = Info.InfoText.get();
    if (info && !info->GetCaption().empty()) {
      SetupCaption(c, info, hl);
      const String t = LKMTruncateCaption(info->GetCaption(), w, info->GetTruncSide(), width);
      const Integer tw = c->TextWidth(t);
      if (Style == lkmsFlat && info->GetBackgroundStyle() == bsSolid)
        c->FillRect(TRect{x, y + h - bottom - ih, x + w, y + h - bottom});
      c->TextOut(x + (w - tw) / 2, y + h - bottom - ih, t);
    }
    TLKMText* bt = Info.BottomText.get();
    if (bt && !bt->GetCaption().empty()) {
      SetupCaption(c, bt, hl);
      const String t = LKMTruncateCaption(bt->GetCaption(), w, bt->GetTruncSide(), width);
      const Integer tw = c->TextWidth(t);
      const Integer bh = c->TextHeight(t);
      if (bt->GetBackgroundStyle() == bsSolid) c->FillRect(TRect{x, y + h - bh - 1, x + w, y + h});
      c->TextOut(x + (w - tw - 2) / 2 + 1, y + h - bh - 1, t);
      u = bh + 3;
    }
  }
  if (Style == lkmsACD) {
    if (fw > 0 && fh > 0) LKDraw3DRect(c, dx, dy, dx + fw - 1, dy + fh - 1, RGB(128, 128, 128), clWhite);
    if (upper + bottom > 0 || infoShown) LKDraw3DRect(c, x, y, x + w - 1, y + h - u - 1, clWhite, clBlack);
    if (ShowText && Info.BottomText && !Info.BottomText->GetCaption().empty())
      LKDraw3DRect(c, x, y + h - u + 2, x + w - 1, y + h - 1, RGB(128, 128, 128), clWhite);
  }
  if (OnImageDraw) OnImageDraw(this, Idx, x, y, c);
  c->GetBrush()->SetStyle(bsClear);
  c->GetPen()->SetWidth(1);
  c->GetPen()->SetStyle(psSolid);
  if (ThumbnailsBorderWidth > 0) {
    c->GetPen()->SetColor(ThumbnailsBorderColor);
    const Integer r = RoundRadiusDivisor > 0 ? std::min(w, h) / RoundRadiusDivisor : 0;
    for (Integer i = 1; i <= ThumbnailsBorderWidth; ++i) {
      if (r > 0)
        c->RoundRect(x - i, y - i, x + w + i, y + h + i, r, r);
      else
        c->Rectangle(x - i, y - i, x + w + i, y + h + i);
    }
  }
  if (Selected && SelectionStyle != lkssACD && !FPresetFrame) {
    c->GetPen()->SetColor(SelectionColor);
    const Integer sw = Focused() ? SelectionWidth : SelectionWidthNoFocus;
    for (Integer i = 1; i <= sw; ++i) c->Rectangle(x - i, y - i, x + w + i, y + h + i);
  }
}

// ---------------------------------------------------------------------------
// Playing
// ---------------------------------------------------------------------------

void TLumerakMView::SetPlaying(bool Value) {
  if (Value == FPlaying) return;
  if (Value) {
    FSavedDisplayMode = FDisplayMode;
    FSavedSelected = FSelected;
    DeselectNU();
    FPlayShown = -1;
  }
  FPlaying = Value;
  PlayFrame();
  if (!FPlaying) {
    if (FPlayTimer) FPlayTimer->SetEnabled(false);
    if (FTransition->Running) FTransition->Stop();
    FDisplayMode = FSavedDisplayMode;
    Update();
    SetSelectedItem(FSavedSelected);
  }
}

Cardinal TLumerakMView::GetPlayInterval() const {
  return FPlayTimer != nullptr && FPlayTimer->GetEnabled() ? FPlayTimer->GetInterval() : 0;
}

void TLumerakMView::PlayFrame() {
  if (FPlayGuard || FDestroying) return;
  FPlayGuard = true;
  if (FPlayTimer) FPlayTimer->SetEnabled(false);
  if (FPlaying) {
    if (FDisplayMode != mdSingle) {
      FDisplayMode = mdSingle;
      Update();
    }
    if (GetImageCount() == 0) {
      FPlayGuard = false;
      return;
    }
    FCurrentFrame = std::min(FCurrentFrame, GetImageCount() - 1);
    const Integer shown = FCurrentFrame;
    if (TransitionEffect != lkttNone && FPlayShown >= 0 && FPlayShown != shown && FPlayShown < GetImageCount()) {
      // The frame shown last turns into this one.
      FCurrentFrame = FPlayShown;
      RunFrameTransition(shown);
    } else {
      Repaint();
    }
    FPlayShown = shown;
    if (FCurrentFrame >= GetImageCount() - 1) {
      FCurrentFrame = 0;
      CallBitmapChangeEvents();
      if (!PlayLoop) {
        FPlaying = false;
        FPlayGuard = false;
        return;
      }
    } else {
      ++FCurrentFrame;
    }
    if (FPlayTimer == nullptr) {
      FPlayTimer = new TTimer(this);
      FPlayTimer->SetOnTimer([this](TObject*) { PlayFrame(); });
    }
    FPlayTimer->SetInterval(static_cast<Cardinal>(std::max<Integer>(GetImageDelayTime(shown), 10)));
    FPlayTimer->SetEnabled(true);
  }
  FPlayGuard = false;
}

void TLumerakMView::SetVisibleFrame(Integer Idx) {
  if (Idx == FCurrentFrame || Idx < 0 || Idx >= GetImageCount()) return;
  if (TransitionEffect == lkttNone) {
    FCurrentFrame = Idx;
    UpdateEx(false);
    return;
  }
  RunFrameTransition(Idx);
}

void TLumerakMView::RunFrameTransition(Integer Idx) {
  // The engine blends the cell as it is into the cell with the new frame;
  // in single mode the cell sits at the client's top-left corner.
  FTransition->Transition = TransitionEffect;
  FTransition->Duration = TransitionDuration;
  FTransition->SetSizes(FThumbWidth, FThumbHeight);
  PaintTo(FTransition->FromBitmap.get());
  FCurrentFrame = Idx;
  PaintTo(FTransition->ToBitmap.get());
  FTransition->Run(true);
}

bool TLumerakMView::GetTransitionRunning() const { return FTransition->Running; }

void TLumerakMView::CenterFrame() {
  if (FSelected < 0) return;
  TLKImageInfo* e = Entry(FCurrentFrame);
  if (e == nullptr) return;
  SetViewXY(e->X - (GetClientWidth() - FThumbWidth) / 2, e->Y - (GetClientHeight() - FThumbHeight) / 2);
}
