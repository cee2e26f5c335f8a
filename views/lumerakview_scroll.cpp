// View origin, scroll bars, scroll commands and the mouse wheel of the
// single-image view.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

namespace {

bool HasHorizontal(TScrollStyle S) { return S == ssHorizontal || S == ssBoth; }
bool HasVertical(TScrollStyle S) { return S == ssVertical || S == ssBoth; }

// The bars span 0..65535 whatever the picture size; the scale is zoomed
// pixels per bar unit.
constexpr Integer kBarUnits = 65536;

}  // namespace

void TLumerakView::GetMaxViewXY(Integer& MaxX, Integer& MaxY) {
  FGeo.CW = GetClientWidth();
  FGeo.CH = GetClientHeight();
  FGeo.W = GetWidth();
  FGeo.H = GetHeight();
  FGeo.GetMaxViewXY(MaxX, MaxY);
}

bool TLumerakView::RequiresScrollBars() {
  Integer mx, my;
  GetMaxViewXY(mx, my);
  return mx > 0 || my > 0;
}

void TLumerakView::MoveView(Integer X, Integer Y, bool DoX, bool DoY) {
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  const Integer nx = DoX ? (X > maxX ? maxX : std::max(X, 0)) : FGeo.ViewX;
  const Integer ny = DoY ? (Y > maxY ? maxY : std::max(Y, 0)) : FGeo.ViewY;
  if (nx == FGeo.ViewX && ny == FGeo.ViewY) return;
  FGeo.ViewX = nx;
  FGeo.ViewY = ny;
  DelayFilterAfterChange(FGeo.ZoomX != 100 || FGeo.ZoomY != 100);
  // Painted now, not at the next paint message.
  FBackBufferDirty = true;
  FFullRepaint = true;
  Paint();
  ViewChange(0);
  if (DoX && HasHorizontal(FScrollBars)) SetScrollPos(SB_HORZ, LKTruncClamp(FGeo.ViewX / FHScale), true);
  if (DoY && HasVertical(FScrollBars)) SetScrollPos(SB_VERT, LKTruncClamp(FGeo.ViewY / FVScale), true);
}

void TLumerakView::SetViewXY(Integer X, Integer Y) {
  if (X == FGeo.ViewX && Y == FGeo.ViewY) return;
  MoveView(X, Y, true, true);
}

void TLumerakView::SetViewX(Integer X) {
  if (X == FGeo.ViewX) return;
  MoveView(X, 0, true, false);
}

void TLumerakView::SetViewY(Integer Y) {
  if (Y == FGeo.ViewY) return;
  MoveView(0, Y, false, true);
}

void TLumerakView::CenterImage() {
  // The zoomed picture against the client area, at every zoom.
  UpdateLimits();
  SetViewXY((FGeo.ZW - GetClientWidth()) / 2, (FGeo.ZH - GetClientHeight()) / 2);
}

void TLumerakView::DoHorizScroll(TLKScrollCommand Command, Integer Pos) {
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  SetViewX(LKScrollTarget(Command, Pos, FGeo.ViewX, maxX, FGeo.zx, GetClientWidth(), HScrollBarParams.LineScrollStep,
                          HScrollBarParams.PageScrollStep));
}

void TLumerakView::DoVertScroll(TLKScrollCommand Command, Integer Pos) {
  Integer maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  SetViewY(LKScrollTarget(Command, Pos, FGeo.ViewY, maxY, FGeo.zy, GetClientHeight(), VScrollBarParams.LineScrollStep,
                          VScrollBarParams.PageScrollStep));
}

void TLumerakView::DoMouseWheelScroll(Integer Delta, Integer X, Integer Y, bool Horizontal) {
  const TLKMouseWheelParams& p = MouseWheelParams;
  if (p.Action == lkmwNone || FAutoFit) return;
  Integer dir = Delta > 0 ? -1 : 1;
  if (p.ReverseDirection) dir = -dir;
  if (p.Action == lkmwVScroll) {
    Integer maxX, maxY;
    GetMaxViewXY(maxX, maxY);
    const bool horz = Horizontal || (maxX > 0 && maxY == 0);
    Integer step;
    if (p.Variation == lkmwAbsolute)
      step = p.Amount * std::max(LKTruncClamp(horz ? FGeo.zx : FGeo.zy), 1);
    else
      step = std::max(LKRoundEven((horz ? GetClientWidth() : GetClientHeight()) * p.Amount / 100.0), 1);
    if (horz)
      SetViewX(FGeo.ViewX + dir * step);
    else
      SetViewY(FGeo.ViewY + dir * step);
    return;
  }
  const double zoom = FGeo.ZoomX;
  double z = p.Variation == lkmwAbsolute ? zoom + dir * p.Amount
                                         : zoom + dir * std::max(LKRoundEven(p.Amount * zoom / 100), 1);
  if (z > zoom) DoZoomIn(z);
  if (z < zoom) DoZoomOut(z);
  if (p.ZoomPosition == lkmwCenter)
    SetZoom(z);
  else
    ZoomAt(X, Y, z, false);
}

void TLumerakView::DoZoomIn(double& NewZoom) {
  if (OnZoomIn) OnZoomIn(this, NewZoom);
}

void TLumerakView::DoZoomOut(double& NewZoom) {
  if (OnZoomOut) OnZoomOut(this, NewZoom);
}

// ---------------------------------------------------------------------------
// Scroll bars
// ---------------------------------------------------------------------------

void TLumerakView::SetScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  if (!HasVertical(Value)) ShowScrollBar(SB_VERT, false);
  if (!HasHorizontal(Value)) ShowScrollBar(SB_HORZ, false);
  Update();
}

void TLumerakView::SetScrollBarsAlwaysVisible(bool Value) {
  FScrollBarsAlwaysVisible = Value;
  Update();
}

void TLumerakView::SetFlatScrollBars(bool Value) {
  // Turning flat bars on hides both bars until the next Update shows what
  // is needed.
  if (Value == FFlatScrollBars) return;
  FFlatScrollBars = Value;
  if (!Value) UninitializeFlatSB();
  if (Value) {
    SetScrollRange(SB_HORZ, 0, kBarUnits - 1, false);
    SetScrollRange(SB_VERT, 0, kBarUnits - 1, false);
    InitializeFlatSB();
    ShowScrollBar(SB_HORZ, false);
    ShowScrollBar(SB_VERT, false);
  }
}

void TLumerakView::HideHorizScrollBar() {
  if (!FHBarShown) return;
  FHBarShown = false;
  ShowScrollBar(SB_HORZ, false);
}

void TLumerakView::HideVertScrollBar() {
  if (!FVBarShown) return;
  FVBarShown = false;
  ShowScrollBar(SB_VERT, false);
}

void TLumerakView::SetupScrollBar(Integer Bar, Integer Max, Integer Client, Integer Origin, double& Scale,
                                  bool& Shown) {
  if (Max > 0) {
    Shown = true;
    Scale = (static_cast<double>(Client) + Max) / kBarUnits;
    SetScrollRange(Bar, 0, kBarUnits - 1, false);
    SetScrollPage(Bar, LKTruncClamp(Client / Scale), true);
    SetScrollPos(Bar, LKTruncClamp(Origin / Scale), false);
    EnableScrollBar(Bar, true);
    ShowScrollBar(Bar, true);
  } else if (FScrollBarsAlwaysVisible) {
    Shown = true;
    EnableScrollBar(Bar, false);
    ShowScrollBar(Bar, true);
  } else if (Bar == SB_HORZ) {
    HideHorizScrollBar();
  } else {
    HideVertScrollBar();
  }
}

void TLumerakView::SetupScrollBars(Integer MaxX, Integer MaxY) {
  if (!HasParentWindow()) return;
  // Both bars with the maxima and client size of the clamping step before:
  // Update lays out again when the bars changed the client size.
  const Integer cw = FRememberedCW, ch = FRememberedCH;
  if (HasHorizontal(FScrollBars)) SetupScrollBar(SB_HORZ, MaxX, cw, FGeo.ViewX, FHScale, FHBarShown);
  if (HasVertical(FScrollBars)) SetupScrollBar(SB_VERT, MaxY, ch, FGeo.ViewY, FVScale, FVBarShown);
}

void TLumerakView::ViewChange(Integer Change) {
  if (OnViewChange) OnViewChange(this, Change);
  if (FNavigator != nullptr) SetNavigatorRect();
}
