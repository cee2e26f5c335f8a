// Update, zoom, fit and coordinate conversion of the single-image view.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "views/lumerakview.h"

Integer TLumerakView::GetClientWidth() { return HasParentWindow() ? TLKView::GetClientWidth() : 50; }
Integer TLumerakView::GetClientHeight() { return HasParentWindow() ? TLKView::GetClientHeight() : 50; }

bool TLumerakView::UpdateBlocked() const {
  if (FUpdateLock > 0) return true;
  const TComponentState state = GetComponentState();
  if (state == TComponentState{csDesigning} && !HasParentWindow()) return true;
  // Nothing happens while loading, reading or destroying.
  return !(state == TComponentState{} || state == TComponentState{csDesigning} ||
           state == TComponentState{csFreeNotification});
}

void TLumerakView::Update() {
  if (UpdateBlocked()) return;
  const bool wasInside = FInsideUpdate;
  FInsideUpdate = true;
  bool dropSelection = false;
  try {
    DoLayersSync();
    FGeo.CW = GetClientWidth();
    FGeo.CH = GetClientHeight();
    FGeo.W = GetWidth();
    FGeo.H = GetHeight();

    // Automatic fit.
    if ((FAutoStretch || FAutoShrink || FAutoFit) && FGeo.BmpW != 0 && FGeo.BmpH != 0) {
      Integer ex, ey;
      if (FBackgroundStyle == lkbsCropped) {
        ex = gEdgeX;
        ey = gEdgeY;
      } else if (FBackgroundStyle == lkbsCropShadow) {
        ex = ey = 5;
      } else {
        ex = (FGeo.W - FGeo.CW) / 2;
        ey = (FGeo.H - FGeo.CH) / 2;
      }
      double z = 100;
      if (FGeo.BmpW >= 2 || FGeo.BmpH >= 2)
        z = GetOptimalZoom(FGeo.BmpW, FGeo.BmpH, FGeo.CW - 2 * ex, FGeo.CH - 2 * ey, FAutoStretch || FAutoFit,
                           FAutoShrink || FAutoFit);
      if (z < 1) z = 1;
      FGeo.SetZoomXFactors(z);
      FGeo.SetZoomYFactors(z);
      FGeo.UpdateLimits(Designing());
      CalcPaintCoords();
      CreateCoordConvLUT();
      ViewChange(1);
      FFilterCountdown = 0;
      FOutlineCountdown = 0;
    }

    // The picture changed size: the selection mask and the alpha channel
    // follow it. A selection drawn on the old picture (a crop to it, a new
    // picture loaded) would be an outline off the new one: it goes.
    if (FCurrent->GetWidth() != FLastWidth || FCurrent->GetHeight() != FLastHeight) {
      const TLKAnimPolygon* outline = GetSelectionOutline();
      dropSelection = FSelected || (outline != nullptr && !outline->Points.empty());
      FLastWidth = FCurrent->GetWidth();
      FLastHeight = FCurrent->GetHeight();
      if (FMask->GetWidth() != FLastWidth || FMask->GetHeight() != FLastHeight) {
        if (FLastWidth > 0 && FLastHeight > 0)
          FMask->AllocateBits(FLastWidth, FLastHeight, std::max(FMask->GetBitsPerPixel(), 1));
        else
          FMask->FreeBits();
      }
      if (FCurrent->GetHasAlphaChannel()) {
        TLKBitmap* alpha = FCurrent->GetAlphaChannel();
        if (alpha->GetWidth() != FLastWidth || alpha->GetHeight() != FLastHeight) {
          alpha->Allocate(FLastWidth, FLastHeight, lk8g);
          alpha->Fill(255);
        }
      }
    }

    if (!Designing()) {
      const Integer cw = GetClientWidth(), ch = GetClientHeight();
      FRememberedCW = cw;
      FRememberedCH = ch;
      FGeo.CW = cw;
      FGeo.CH = ch;
      Integer maxX, maxY;
      FGeo.GetMaxViewXY(maxX, maxY);
      bool lowered = false;
      if (FGeo.ViewX > maxX) {
        FGeo.ViewX = maxX;
        lowered = true;
      }
      if (FGeo.ViewY > maxY) {
        FGeo.ViewY = maxY;
        lowered = true;
      }
      if (lowered) ViewChange(0);
      try {
        SetupScrollBars(maxX, maxY);
      } catch (...) {
      }
      // A scroll bar appeared or went: lay out again once for the new size.
      if ((GetClientWidth() != FRememberedCW || GetClientHeight() != FRememberedCH) && !FUpdateReentry) {
        FUpdateReentry = true;
        try {
          Update();
        } catch (...) {
          FUpdateReentry = false;
          throw;
        }
        FUpdateReentry = false;
      }
      FGeo.CW = GetClientWidth();
      FGeo.CH = GetClientHeight();
    }
    UpdateLimits();
    FBackBufferDirty = true;
    FFullRepaint = true;
    if (HasParentWindow() && !FNoPaintUpdate) Invalidate();
  } catch (...) {
    FInsideUpdate = wasInside;
    throw;
  }
  FInsideUpdate = wasInside;
  if (dropSelection) DeSelect();
}

void TLumerakView::UpdateLimits() { FGeo.UpdateLimits(Designing()); }
void TLumerakView::CalcPaintCoords() { FGeo.CalcPaintCoords(); }
void TLumerakView::CreateCoordConvLUT() { FGeo.CreateCoordConvLUT(FCurrent->GetWidth(), FCurrent->GetHeight()); }

// ---------------------------------------------------------------------------
// Zoom
// ---------------------------------------------------------------------------

void TLumerakView::DelayFilterAfterChange(bool AnyAxisNot100) {
  if (FDelayZoomFilter && FZoomFilter != rfNone && AnyAxisNot100) FFilterCountdown = 4;
  FOutlineCountdown = 2;
}

void TLumerakView::ZoomAndPaint(double Zoom, bool DoX, bool DoY) {
  DelayFilterAfterChange((DoX && FGeo.ZoomX != 100) || (DoY && FGeo.ZoomY != 100));
  LockPaint();
  if (DoX && DoY)
    SetZoomNoUpdate(Zoom);
  else if (DoX)
    SetZoomXNoUpdate(Zoom);
  else
    SetZoomYNoUpdate(Zoom);
  // Twice: the first pass may show or hide scroll bars.
  Update();
  Update();
  CalcPaintCoords();
  CreateCoordConvLUT();
  NPUnLockPaint();
  Paint();
  ViewChange(1);
}

void TLumerakView::SetZoom(double Zoom) {
  if (!(Zoom > 0) || (Zoom == FGeo.ZoomX && Zoom == FGeo.ZoomY)) return;
  ZoomAndPaint(Zoom, true, true);
}

void TLumerakView::SetZoomX(double Zoom) {
  if (!(Zoom > 0) || Zoom == FGeo.ZoomX) return;
  ZoomAndPaint(Zoom, true, false);
}

void TLumerakView::SetZoomY(double Zoom) {
  if (!(Zoom > 0) || Zoom == FGeo.ZoomY) return;
  ZoomAndPaint(Zoom, false, true);
}

void TLumerakView::SetZoomNoUpdate(double Zoom) {
  FGeo.CW = GetClientWidth();
  FGeo.CH = GetClientHeight();
  FGeo.ZoomKeepingCentre(Zoom, true, true);
}

void TLumerakView::SetZoomXNoUpdate(double Zoom) {
  FGeo.CW = GetClientWidth();
  FGeo.CH = GetClientHeight();
  FGeo.ZoomKeepingCentre(Zoom, true, false);
}

void TLumerakView::SetZoomYNoUpdate(double Zoom) {
  FGeo.CW = GetClientWidth();
  FGeo.CH = GetClientHeight();
  FGeo.ZoomKeepingCentre(Zoom, false, true);
}

void TLumerakView::ZoomAt(Integer X, Integer Y, double Zoom, bool Center) {
  LockPaint();
  const Integer bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  SetZoom(Zoom);
  const double z = FGeo.ZoomX / 100;
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (Center)
    SetViewXY(LKTruncClamp(bx * z - cw / 2), LKTruncClamp(by * z - ch / 2));
  else
    SetViewXY(LKTruncClamp(bx * z - X + z), LKTruncClamp(by * z - Y + z));
  UnLockPaint();
  CalcPaintCoords();
  CreateCoordConvLUT();
  ViewChange(1);
}

double TLumerakView::GetIdealZoom() {
  if (FGeo.BmpW == 0 || FGeo.BmpH == 0) return 100;
  return std::min(GetHeight() / (FGeo.BmpH / 100.0), GetWidth() / (FGeo.BmpW / 100.0));
}

Integer TLumerakView::GetIdealComponentWidth() {
  Integer w = LKTruncClamp(FGeo.BmpW / 100.0 * FGeo.ZoomX) + 1;
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) w += GetWidth() - GetClientWidth();
  return w;
}

Integer TLumerakView::GetIdealComponentHeight() {
  Integer h = LKTruncClamp(FGeo.BmpH / 100.0 * FGeo.ZoomY) + 1;
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) h += GetHeight() - GetClientHeight();
  return h;
}

void TLumerakView::GetRenderRectangles(Integer& DstX, Integer& DstY, Integer& DstW, Integer& DstH, Integer& SrcX,
                                       Integer& SrcY, Integer& SrcW, Integer& SrcH) {
  DoLayersSync();
  CalcPaintCoords();
  CreateCoordConvLUT();
  DstX = FGeo.OffX;
  DstY = FGeo.OffY;
  DstW = FGeo.DW;
  DstH = FGeo.DH;
  SrcX = FGeo.SX0;
  SrcY = FGeo.SY0;
  SrcW = FGeo.SW;
  SrcH = FGeo.SH;
}

// ---------------------------------------------------------------------------
// Fit
// ---------------------------------------------------------------------------

void TLumerakView::CalcEdges(Integer& EX, Integer& EY, bool UseBorderX, bool UseBorderY) {
  FGeo.W = GetWidth();
  FGeo.H = GetHeight();
  FGeo.CW = GetClientWidth();
  FGeo.CH = GetClientHeight();
  TLKFitEdges e;
  e.Cropped = FBackgroundStyle == lkbsCropped;
  e.CropShadow = FBackgroundStyle == lkbsCropShadow;
  e.BorderNone = GetBorderStyle() == bsNone;
  e.Ctl3D = GetCtl3D();
  LKCalcEdges(FGeo, e, gEdgeX, gEdgeY, gBorderX, gBorderY, UseBorderX, UseBorderY, EX, EY);
}

void TLumerakView::GetFitValueXY(double& FX, double& FY) {
  Integer ex, ey;
  CalcEdges(ex, ey, true, true);
  // An empty layout fits at 100 %.
  FX = FGeo.BmpW != 0 ? (GetWidth() - 2.0 * ex) / (FGeo.BmpW / 100.0) : 100;
  FY = FGeo.BmpH != 0 ? (GetHeight() - 2.0 * ey) / (FGeo.BmpH / 100.0) : 100;
}

double TLumerakView::GetFitValue() {
  double fx, fy;
  GetFitValueXY(fx, fy);
  return std::min(fx, fy);
}

void TLumerakView::Fit() {
  DoLayersSync();
  if (FGeo.BmpW == 0 || FGeo.BmpH == 0) return;
  HideHorizScrollBar();
  HideVertScrollBar();
  SetZoom(GetFitValue());
}

void TLumerakView::Stretch() {
  DoLayersSync();
  if (FGeo.BmpW == 0 || FGeo.BmpH == 0) return;
  HideHorizScrollBar();
  HideVertScrollBar();
  double fx, fy;
  GetFitValueXY(fx, fy);
  LockPaint();
  SetZoomX(fx);
  SetZoomY(fy);
  UnLockPaint();
  HideHorizScrollBar();
  HideVertScrollBar();
}

void TLumerakView::FitToWidth() {
  Integer ex, ey;
  CalcEdges(ex, ey, false, true);
  DoLayersSync();
  if (FGeo.BmpW == 0 || FGeo.BmpH == 0) return;
  LockPaint();
  SetZoom((GetWidth() - 2.0 * ex) / (FGeo.BmpW / 100.0));
  SetZoom(GetClientWidth() / (FGeo.BmpW / 100.0));
  UnLockPaint();
}

void TLumerakView::FitToHeight() {
  Integer ex, ey;
  CalcEdges(ex, ey, true, false);
  DoLayersSync();
  if (FGeo.BmpW == 0 || FGeo.BmpH == 0) return;
  LockPaint();
  SetZoom((GetHeight() - 2.0 * ey) / (FGeo.BmpH / 100.0));
  SetZoom(GetClientHeight() / (FGeo.BmpH / 100.0));
  UnLockPaint();
}

double TLumerakView::GetOptimalZoom(Integer BmpW, Integer BmpH, Integer AvailW, Integer AvailH, bool CanStretch,
                                    bool CanShrink) {
  if (BmpW == 0 || BmpH == 0 || AvailW == 0 || AvailH == 0) return 100;
  const double fit = GetFitValue();
  if (!std::isfinite(fit)) return 100;
  const bool widthLimits = static_cast<double>(BmpW) / AvailW > static_cast<double>(BmpH) / AvailH;
  const Integer avail = widthLimits ? AvailW : AvailH, size = widthLimits ? BmpW : BmpH;
  if ((avail < size && CanShrink) || (avail >= size && CanStretch)) return fit;
  return 100;
}
