// Mouse and key interaction of the single-image view: zoom clicks,
// scrolling by drag, selection drags (rectangle, circle, lasso, polygon,
// magic wand), moving and resizing the selection, moving and resizing
// layers, and auto-scrolling while the pointer is outside the picture.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "core/lkmath.h"
#include "platform/controls.h"
#include "views/lumerakview.h"

namespace {

constexpr double kZoomSteps[] = {2, 5, 10, 25, 33, 50, 75, 100};
constexpr Integer kCursorHand = 1782, kCursorDiag1 = 1786, kCursorVert = 1787, kCursorDiag2 = 1788,
                  kCursorHorz = 1789, kCursorMove = 1790, kCursorCrossPlus = 1791, kCursorCross2 = 1793,
                  kCursorCross2Plus = 1794, kCursorHourglass = -11;

Integer GripCursor(Integer Grip) {
  switch (Grip) {
    case lkTopLeft:
    case lkBottomRight:
      return kCursorDiag1;
    case lkTopRight:
    case lkBottomLeft:
      return kCursorDiag2;
    case lkLeftSide:
    case lkRightSide:
      return kCursorHorz;
    default:
      return kCursorVert;
  }
}

// Holds the user's selection base aside while a handler runs.
class TBaseGuard {
 public:
  explicit TBaseGuard(TLumerakView* V) : v_(V) {
    v_->SwapSelectionBase();
    v_->SetSelectionBase(lksbClientArea);
  }
  ~TBaseGuard() { v_->SwapSelectionBase(); }

 private:
  TLumerakView* v_;
};

}  // namespace

TPoint TLumerakView::Clamped(Integer X, Integer Y) {
  TLKLayer* layer = GetCurrentLayer();
  if (layer == nullptr) return TPoint{X, Y};
  const TRect& r = layer->ClientRect;
  return TPoint{std::clamp(X, r.Left, std::max(r.Left, r.Right + 1)),
                std::clamp(Y, r.Top, std::max(r.Top, r.Bottom + 1))};
}

// ---------------------------------------------------------------------------
// Hit testing
// ---------------------------------------------------------------------------

TLKGrip TLumerakView::GetGripAt(Integer X, Integer Y) {
  TLKAnimPolygon* o = GetSelectionOutline();
  TLKLayer* layer = GetCurrentLayer();
  if (!o->Shown || !o->Sizeable || !OutlineIsRect() || FRectDrawing || layer == nullptr) return lkNone;
  const Integer g = FGripStyle.Size;
  for (Integer i = 0; i < 4; ++i) {
    const Integer px = layer->ConvXBmp2Scr(o->Points[i].X), py = layer->ConvYBmp2Scr(o->Points[i].Y);
    if (X >= px - g && X <= px + g && Y >= py - g && Y <= py + g) return static_cast<TLKGrip>(i + 1);
  }
  const Integer x1 = layer->ConvXBmp2Scr(o->X1), y1 = layer->ConvYBmp2Scr(o->Y1), x2 = layer->ConvXBmp2Scr(o->X2),
                y2 = layer->ConvYBmp2Scr(o->Y2);
  if (_DistPoint2Seg(X, Y, x1, y1, x1, y2) < 3) return lkLeftSide;
  if (_DistPoint2Seg(X, Y, x2, y1, x2, y2) < 3) return lkRightSide;
  if (_DistPoint2Seg(X, Y, x1, y1, x2, y1) < 3) return lkTopSide;
  if (_DistPoint2Seg(X, Y, x1, y2, x2, y2) < 3) return lkBottomSide;
  return lkNone;
}

TLKGrip TLumerakView::GetResizingGrip(Integer X, Integer Y, TShiftState Shift) {
  return Shift.Contains(ssShift) ? lkNone : GetGripAt(X, Y);
}

Integer TLumerakView::GetMovingGrip(Integer X, Integer Y, TShiftState Shift) {
  if (Shift.Contains(ssShift) || FMask->IsEmpty() || FRectDrawing || FPolyDrawing || FCircleDrawing) return -1;
  if (TLKLayer* layer = GetCurrentLayer()) {
    X = layer->ConvXScr2Bmp(X);
    Y = layer->ConvYScr2Bmp(Y);
  }
  if (!FMask->IsPointInside(X, Y)) return -1;
  return FSelectionOptions.Contains(lksoMoveable) ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Drag steps
// ---------------------------------------------------------------------------

void TLumerakView::MouseSelectRectangle(Integer X, Integer Y, TShiftState Shift) {
  MouseMoveScroll();
  if (FAspectRatio == 0) {
    const Integer hw = LKRoundEven(FixedSelWidth * FGeo.ZoomX / 100) / 2;
    const Integer hh = LKRoundEven(FixedSelHeight * FGeo.ZoomY / 100) / 2;
    FAnchor = TPoint{X - hw, Y - hh};
    X = X + hw - 1;
    Y = Y + hh - 1;
  }
  const bool square = Shift.Contains(ssAlt) || ForceConstrain;
  const bool keepInside = !FSelectionOptions.Contains(lksoSizeable);
  if (Shift.Contains(ssShift) && ShiftAddsSelection) {
    if (GetSelectionOutline()->Count() != FCountAtPress) AnimPolygonRemoveLast(GetSelectionOutline());
    SelectEx(FAnchor.X, FAnchor.Y, X, Y, lkspAdd, square, keepInside);
  } else {
    SelectEx(FAnchor.X, FAnchor.Y, X, Y, lkspReplace, square, keepInside);
  }
  DoSelectionChanging();
}

void TLumerakView::MouseSelectCircle(Integer X, Integer Y, TShiftState Shift) {
  MouseMoveScroll();
  if (FAspectRatio == 0) {
    const Integer hw = LKRoundEven(FixedSelWidth * FGeo.ZoomX / 100) / 2;
    const Integer hh = LKRoundEven(FixedSelHeight * FGeo.ZoomY / 100) / 2;
    FAnchor = TPoint{X, Y};
    X += hw;
    Y += hh;
  }
  TLKAnimPolygon* o = GetSelectionOutline();
  if (Shift.Contains(ssShift) && ShiftAddsSelection) {
    if (o->Count() != FCountAtPress) AnimPolygonRemoveLast(o);
    AnimPolygonAddBreak(o);
  } else {
    AnimPolygonClear(o);
  }
  const Integer dx = std::abs(FAnchor.X - X), dy = std::abs(FAnchor.Y - Y);
  double rx = dx, ry = dy;
  if ((Shift.Contains(ssAlt) || ForceConstrain) && FAspectRatio == -1) {
    rx = ry = std::max(dx, dy);
  } else if (FAspectRatio > 0) {
    rx = std::max(dx, dy);
    ry = LKRoundEven(rx * FAspectRatio);
  }
  const Integer irx = static_cast<Integer>(rx * 100 / FGeo.ZoomX), iry = static_cast<Integer>(ry * 100 / FGeo.ZoomY);
  const Integer N = std::max(static_cast<Integer>(std::min(irx, iry) * 2 * M_PI), 50);
  TLKLayer* layer = GetCurrentLayer();
  const Integer cx = layer ? layer->ConvXScr2Bmp(FAnchor.X) : FAnchor.X;
  const Integer cy = layer ? layer->ConvYScr2Bmp(FAnchor.Y) : FAnchor.Y;
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  for (Integer i = 0; i < N; ++i) {
    const double a = 2 * M_PI * i / N;
    AnimPolygonAddPtEx(o, std::clamp(LKRoundEven(cx + std::cos(a) * irx), 0, W),
                       std::clamp(LKRoundEven(cy + std::sin(a) * iry), 0, H));
  }
  ShowSelectionEx(true);
  DoSelectionChanging();
}

bool TLumerakView::MouseMoveScroll() {
  bool result = false;
  FAutoScrolling = true;
  try {
    for (;;) {
      const TPoint p = ScreenToClient(GetCursorPos());
      const Integer ox = FGeo.OffX, oy = FGeo.OffY, ew = FGeo.DW, eh = FGeo.DH;
      const Integer dx = p.X < ox ? p.X - ox : p.X > ox + ew - 1 ? p.X - (ox + ew - 1) : 0;
      const Integer dy = p.Y < oy ? p.Y - oy : p.Y > oy + eh - 1 ? p.Y - (oy + eh - 1) : 0;
      if (dx == 0 && dy == 0) break;
      const Integer vx = FGeo.ViewX, vy = FGeo.ViewY;
      SetViewXY(vx + dx, vy + dy);
      if (FGeo.ViewX == vx && FGeo.ViewY == vy) break;
      result = true;
      FAnchor.X += vx - FGeo.ViewX;
      FAnchor.Y += vy - FGeo.ViewY;
      SubMouseMoveScroll(dx, dy);
    }
  } catch (...) {
    FAutoScrolling = false;
    throw;
  }
  FAutoScrolling = false;
  return result;
}

void TLumerakView::SubMouseMoveScroll(Integer DX, Integer DY) {
  FRubber.X -= DX;
  FRubber.Y -= DY;
  FPrev.X -= DX;
  FPrev.Y -= DY;
  FRaw.X -= DX;
  FRaw.Y -= DY;
}

void TLumerakView::MouseResizeLayer(Integer X, Integer Y, bool MaintainAspect) {
  TLKLayer* L = GetCurrentLayer();
  if (L == nullptr || L->Bitmap == nullptr || L->Bitmap->GetWidth() == 0) return;
  const Integer w0 = L->GetWidth(), h0 = L->GetHeight();
  Integer fx = XScr2Bmp(X), fy = YScr2Bmp(Y);
  const Integer px = XScr2Bmp(FRaw.X), py = YScr2Bmp(FRaw.Y);
  const Integer x1 = FLayerRectAtPress.Left, y1 = FLayerRectAtPress.Top, x2 = FLayerRectAtPress.Right,
                y2 = FLayerRectAtPress.Bottom;
  const double q = double(L->Bitmap->GetHeight()) / L->Bitmap->GetWidth();
  Integer grip = FLayerGrip;
  if (MaintainAspect) {
    switch (grip) {
      case 1: fy = YScr2Bmp(static_cast<Integer>(q * (X - x1)) + y1); break;
      case 2: fy = YScr2Bmp(static_cast<Integer>(q * (x2 - X)) + y1); break;
      case 3: fy = YScr2Bmp(static_cast<Integer>(q * (X - x1)) + y1); break;
      case 4: fy = YScr2Bmp(static_cast<Integer>(q * (x1 - X)) + y2); break;
      case 5: fy = YScr2Bmp(static_cast<Integer>(q * (x1 - X)) + y2); grip = 4; break;
      case 6: fy = YScr2Bmp(static_cast<Integer>(q * (X - x1)) + y1); grip = 3; break;
      case 7: fx = XScr2Bmp(static_cast<Integer>((Y - y1) / q) + x1); grip = 1; break;
      case 8: fx = XScr2Bmp(static_cast<Integer>((Y - y1) / q) + x1); grip = 3; break;
      default: break;
    }
  }
  auto atLeast1 = [](Integer V) { return std::max(V, 1); };
  switch (grip) {
    case 1:
      L->DisplayWidth = atLeast1(L->PosX + w0 - fx);
      L->DisplayHeight = atLeast1(L->PosY + h0 - fy);
      if (L->DisplayWidth > 1) L->PosX = fx;
      if (L->DisplayHeight > 1) L->PosY = fy;
      break;
    case 2:
      L->DisplayWidth = atLeast1(fx - L->PosX);
      L->DisplayHeight = atLeast1(L->PosY + h0 - fy);
      if (L->DisplayHeight > 1) L->PosY = fy;
      break;
    case 3:
      L->DisplayWidth = atLeast1(fx - XScr2Bmp(x1));
      L->DisplayHeight = atLeast1(fy - YScr2Bmp(y1));
      break;
    case 4:
      L->DisplayWidth = atLeast1(L->PosX + w0 - fx);
      L->DisplayHeight = atLeast1(fy - YScr2Bmp(y1));
      if (L->DisplayWidth > 1) L->PosX = fx;
      break;
    case 5: {
      const Integer d = fx - px;
      L->DisplayWidth = atLeast1(w0 - d);
      if (L->DisplayWidth > 1) L->PosX += d;
      break;
    }
    case 6: L->DisplayWidth = atLeast1(fx - XScr2Bmp(x1)); break;
    case 7:
      L->DisplayHeight = atLeast1(L->PosY + h0 - fy);
      if (L->DisplayHeight > 1) L->PosY = fy;
      break;
    case 8: L->DisplayHeight = atLeast1(h0 + fy - py); break;
    default: break;
  }
}

void TLumerakView::ZoomSelection(bool KeepAspect) {
  if (!FSelected) return;
  const Integer x1 = GetSelX1(), y1 = GetSelY1(), w = GetSelX2() - x1 + 1, h = GetSelY2() - y1 + 1;
  if (x1 < 0 || y1 < 0 || w < 2 || h < 2) return;
  DeSelect();
  const double W = GetClientWidth(), H = GetClientHeight();
  if (KeepAspect) {
    SetZoom(std::min(W / (w / 100.0), H / (h / 100.0)));
  } else {
    SetZoomX(W / (w / 100.0));
    SetZoomY(H / (h / 100.0));
  }
  SetViewXY(static_cast<Integer>(x1 * FGeo.zx) - (GetClientWidth() - static_cast<Integer>(w * FGeo.zx)) / 2,
            static_cast<Integer>(y1 * FGeo.zy) - (GetClientHeight() - static_cast<Integer>(h * FGeo.zy)) / 2);
}

void TLumerakView::DoDoubleClickEx(TShiftState Shift) {
  if (!FPolyDrawing) return;
  TLKAnimPolygon* o = GetSelectionOutline();
  // The second press of the double click added a point of its own.
  AnimPolygonRemoveLastPoint(o);
  if (!(Shift.Contains(ssShift) && ShiftAddsSelection)) FMask->Empty();
  EndSelect();
  Update();
  FPolyDrawing = false;
  FLasso = false;
  DoSelectionChange();
}

// ---------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------

void TLumerakView::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseDown(Button, Shift, X, Y);
  FKeptZoomFilter = FZoomFilter;
  if (Button == mbRight && Shift.Contains(ssLeft)) return;
  if (Button != mbLeft && !FMouseInteract.Contains(miZoom)) return;
  if (!FMouseInteract.Contains(miScroll) && FDelayZoomFilter) FZoomFilter = rfNone;
  TBaseGuard guard(this);
  const TPoint c = Clamped(X, Y);
  FRaw = TPoint{X, Y};
  FPrev = FAnchor = FRubber = c;
  FOriginAtPress = TPoint{FGeo.ViewX, FGeo.ViewY};
  FCountAtPress = GetSelectionOutline()->Count();
  if (Button != mbLeft) return;
  TLKAnimPolygon* o = GetSelectionOutline();
  if (FMouseInteract.Contains(miSelectPolygon) || FMouseInteract.Contains(miSelectLasso)) {
    DoBeforeSelectionChange();
    FMovingGrip = GetMovingGrip(c.X, c.Y, Shift);
    if (FMovingGrip == -1) {
      TPoint p = c;
      if ((Shift.Contains(ssAlt) || ForceConstrain) && o->Count() > 0 && !IsSelBreak(o->Points.back())) {
        if (TLKLayer* layer = GetCurrentLayer())
          _CastPolySelCC(layer->ConvXBmp2Scr(o->Points.back().X), layer->ConvYBmp2Scr(o->Points.back().Y), p.X,
                         p.Y);
      }
      if (!FPolyDrawing) {
        if (Shift.Contains(ssShift) && ShiftAddsSelection)
          AddSelBreakEx();
        else
          DeSelect();
      }
      AddSelPointEx(p.X, p.Y);
      FPolyDrawing = true;
      FLasso = FMouseInteract.Contains(miSelectLasso);
      DoSelectionChanging();
    }
  } else if (FMouseInteract.Contains(miSelect)) {
    DoBeforeSelectionChange();
    FResizingGrip = GetResizingGrip(X, Y, Shift);
    if (FResizingGrip == lkNone) FMovingGrip = GetMovingGrip(X, Y, Shift);
    if (FResizingGrip == lkNone && FMovingGrip < 0) {
      FRectDrawing = true;
      if (FAspectRatio == 0) MouseSelectRectangle(c.X, c.Y, Shift);
      DoSelectionChanging();
    }
    if (FResizingGrip != lkNone) FResizeOrigin = TRect{o->X1, o->Y1, o->X2, o->Y2};
  } else if (FMouseInteract.Contains(miSelectZoom)) {
    FRectDrawing = true;
    DoSelectionChanging();
    SaveSelection();
  } else if (FMouseInteract.Contains(miSelectCircle)) {
    DoBeforeSelectionChange();
    FMovingGrip = GetMovingGrip(c.X, c.Y, Shift);
    if (FMovingGrip == -1) {
      FCircleDrawing = true;
      ShowSelectionEx(false);
      if (FAspectRatio == 0) MouseSelectCircle(c.X, c.Y, Shift);
      DoSelectionChanging();
    }
  } else if (FMouseInteract.Contains(miSelectMagicWand)) {
    DoBeforeSelectionChange();
    FMovingGrip = GetMovingGrip(c.X, c.Y, Shift);
  } else if (FMouseInteract.Contains(miMoveLayers) || FMouseInteract.Contains(miResizeLayers)) {
    FLayerGrip = FMouseInteract.Contains(miResizeLayers) ? FindLayerGrip(X, Y) : 0;
    if (FLayerGrip != 0 && GetCurrentLayer()) FLayerRectAtPress = GetCurrentLayer()->ClientRect;
    if (FLayerGrip == 0 && FMouseInteract.Contains(miMoveLayers)) {
      FMovedLayer = FindLayerAt(X, Y);
      if (FMovedLayer >= 0) {
        SetLayersCurrent(FMovedLayer);
        DoLayerNotify(FLayersCurrent, lklSelected);
        if (GetCurrentLayer() && !GetCurrentLayer()->Locked) SetTempCursor(kCursorMove);
      }
    }
  }
  if (FMouseInteract.Contains(miScroll) && RequiresScrollBars()) SetTempCursor(kCursorHand);
  // The second press of a double click arrives with ssDouble.
  if (Shift.Contains(ssDouble)) DoDoubleClickEx(Shift);
}

void TLumerakView::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseMove(Shift, X, Y);
  TBaseGuard guard(this);
  TPoint c = Clamped(X, Y);
  TLKLayer* layer = GetCurrentLayer();
  const bool captured = Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle);
  if (captured) {
    if (FMouseInteract.Contains(miScroll)) {
      SetViewXY(FOriginAtPress.X - static_cast<Integer>((X - FAnchor.X) * MouseScrollRatio),
                FOriginAtPress.Y - static_cast<Integer>((Y - FAnchor.Y) * MouseScrollRatio));
    } else if (FResizingGrip != lkNone) {
      MouseMoveScroll();
      FResizingGrip = SelectResizeEx(FResizingGrip, c.X, c.Y,
                                     Shift.Contains(ssAlt) || ForceConstrain || FAspectRatio > 0);
      DoSelectionChanging();
    } else if (FMovingGrip >= 0) {
      if (FSelectionOptions.Contains(lksoCanScroll)) MouseMoveScroll();
      const Integer dx = layer ? layer->ConvXScr2Bmp(c.X) - layer->ConvXScr2Bmp(FPrev.X) : 0;
      const Integer dy = layer ? layer->ConvYScr2Bmp(c.Y) - layer->ConvYScr2Bmp(FPrev.Y) : 0;
      FMovingGrip = SelectMoveEx(FMovingGrip, dx, dy, FSelectionOptions.Contains(lksoCutBorders));
      DoSelectionChanging();
    } else if (FRectDrawing) {
      MouseSelectRectangle(c.X, c.Y, Shift);
    } else if (FPolyDrawing) {
      MouseMoveScroll();
      RepaintSelection();
      PolyDraw1();
      if (layer) AnimPolygonAddPtEx(GetSelectionOutline(), layer->ConvXScr2Bmp(c.X), layer->ConvYScr2Bmp(c.Y));
      AniPolyFunc(this, false);
      DoSelectionChanging();
    } else if (FCircleDrawing) {
      MouseSelectCircle(c.X, c.Y, Shift);
    } else if (FMovedLayer >= 0 && layer && !layer->Locked) {
      MouseMoveScroll();
      layer->PosX += XScr2Bmp(X) - XScr2Bmp(FRaw.X);
      layer->PosY += YScr2Bmp(Y) - YScr2Bmp(FRaw.Y);
      Update();
      DoLayerNotify(FLayersCurrent, lklMoving);
    } else if (FLayerGrip != 0 && layer && !layer->Locked) {
      MouseMoveScroll();
      MouseResizeLayer(X, Y, Shift.Contains(ssAlt) || ForceConstrain);
      Update();
      DoLayerNotify(FLayersCurrent, lklResizing);
    }
  } else {
    if (FPolyDrawing && !FLasso) {
      if (FRubberShown) PolyDraw1();
      TLKAnimPolygon* o = GetSelectionOutline();
      if ((Shift.Contains(ssAlt) || ForceConstrain) && layer && o->Count() > 0 && !IsSelBreak(o->Points.back()))
        _CastPolySelCC(layer->ConvXBmp2Scr(o->Points.back().X), layer->ConvYBmp2Scr(o->Points.back().Y), c.X, c.Y);
      FRubber = c;
      PolyDraw1();
      DoSelectionChanging();
    } else if (FMouseInteract.Contains(miSelect) || FMouseInteract.Contains(miSelectPolygon) ||
               FMouseInteract.Contains(miSelectCircle) || FMouseInteract.Contains(miSelectMagicWand) ||
               FMouseInteract.Contains(miSelectLasso)) {
      const TLKGrip grip = GetResizingGrip(X, Y, Shift);
      DoMouseInResizingGrip(grip);
      if (grip == lkNone) {
        if (GetMovingGrip(X, Y, Shift) >= 0)
          SetTempCursor(kCursorMove);
        else
          RestoreCursor();
      } else {
        SetTempCursor(GripCursor(grip));
      }
    } else if (FMouseInteract.Contains(miResizeLayers) || FMouseInteract.Contains(miMoveLayers)) {
      const Integer g = FMouseInteract.Contains(miResizeLayers) && layer && !layer->Locked ? FindLayerGrip(X, Y) : 0;
      if (g == 0) {
        const Integer at = FindLayerAt(X, Y);
        TLKLayer* under = at >= 0 ? GetLayer(at) : nullptr;
        if (under && !under->Locked && FMouseInteract.Contains(miMoveLayers))
          SetTempCursor(kCursorMove);
        else
          RestoreCursor();
      } else {
        SetTempCursor(GripCursor(g));
      }
    }
  }
  if (layer && FMask->IsPointInside(layer->ConvXScr2Bmp(c.X), layer->ConvYScr2Bmp(c.Y))) DoMouseInSel();
  FRubber = c;
  FPrev = c;
  FRaw = TPoint{X, Y};
}

void TLumerakView::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLKView::MouseUp(Button, Shift, X, Y);
  const TPoint c = Clamped(X, Y);
  bool changed = false;
  {
    TBaseGuard guard(this);
    const bool atAnchor = X == FAnchor.X && Y == FAnchor.Y;
    const bool addShift = Shift.Contains(ssShift) && ShiftAddsSelection;
    if (FMouseInteract.Contains(miZoom) && atAnchor && !GetIsEmpty() && Button != mbMiddle) {
      double z = FGeo.ZoomX;
      if (Button == mbLeft) {
        if (FMouseInteract.Contains(miScroll)) RestoreCursor();
        z = FGeo.ZoomX + 100;
        if (FGeo.ZoomX < 100)
          for (double s : kZoomSteps)
            if (s > FGeo.ZoomX) {
              z = s;
              break;
            }
        DoZoomIn(z);
      } else {
        if (FGeo.ZoomX >= 200) {
          z = FGeo.ZoomX - 100;
        } else {
          z = 2;
          for (Integer i = 7; i >= 0; --i)
            if (kZoomSteps[i] < FGeo.ZoomX) {
              z = kZoomSteps[i];
              break;
            }
        }
        DoZoomOut(z);
      }
      if (z != FGeo.ZoomX || z != FGeo.ZoomY) ZoomAt(X, Y, z, false);
      FPolyDrawing = false;
    } else if (Button == mbLeft && FMouseInteract.Contains(miScroll) && RequiresScrollBars()) {
      SetViewXY(FOriginAtPress.X - static_cast<Integer>((X - FAnchor.X) * MouseScrollRatio),
                FOriginAtPress.Y - static_cast<Integer>((Y - FAnchor.Y) * MouseScrollRatio));
      RestoreCursor();
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelectZoom)) {
      ZoomSelection(SelectZoomAspect);
      FRectDrawing = false;
      RestoreSelection(true, lkrsMoveToAdapt);
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelect)) {
      // A click that moved nothing removes the selection, unless it was a
      // press inside the selection (which would start a move): then the
      // selection stays, so that a click inside it can be followed by a
      // double click that uses it.
      if (atAnchor && FResizingGrip == lkNone && FMovingGrip < 0) {
        DeSelect();
        changed = true;
      } else if (FRectDrawing || FResizingGrip != lkNone) {
        if (!addShift) FMask->Empty();
        EndSelect();
        FRectDrawing = false;
        FResizingGrip = lkNone;
        FMovingGrip = -1;
        changed = true;
        Update();
      }
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelectCircle)) {
      if (atAnchor && FMovingGrip < 0 && FAspectRatio != 0) {
        DeSelect();
      } else if (FCircleDrawing) {
        if (!addShift) FMask->Empty();
        EndSelect();
        FCircleDrawing = false;
        FMovingGrip = -1;
        changed = true;
        Update();
      }
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelectLasso)) {
      if (atAnchor && FMovingGrip < 0) {
        DeSelect();
      } else if (FLasso) {
        if (!addShift) FMask->Empty();
        EndSelect();
        FLasso = FPolyDrawing = false;
        FMovingGrip = -1;
        changed = true;
        Update();
      }
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelectPolygon)) {
      if (FMovingGrip >= 0) {
        FMovingGrip = -1;
        changed = true;
      }
      Update();
    } else if (Button == mbLeft && FMouseInteract.Contains(miSelectMagicWand)) {
      if (FMovingGrip >= 0) {
        FMovingGrip = -1;
        changed = true;
      } else {
        SetTempCursor(kCursorHourglass);
        SelectMagicWand(X, Y, addShift ? lkspAdd : lkspReplace);
        RestoreCursor();
        changed = true;
      }
      Update();
    }
    if (Button == mbLeft) {
      if (FRectMoved) {
        FRectMoved = false;
        FMask->Empty();
        EndSelect();
      }
      if (FMovedLayer >= 0) {
        FMovedLayer = -1;
        RestoreCursor();
        DoLayerNotify(FLayersCurrent, lklMoved);
      }
      if (FLayerGrip != 0) {
        FLayerGrip = 0;
        DoLayerNotify(FLayersCurrent, lklResized);
        Update();
      }
      FMovingGrip = -1;
      FResizingGrip = lkNone;
      FRectDrawing = FCircleDrawing = FLasso = false;
    }
    (void)c;
  }
  FZoomFilter = FKeptZoomFilter;
  if (changed) DoSelectionChange();
}

void TLumerakView::PolyDraw1() {
  TLKAnimPolygon* o = GetSelectionOutline();
  TLKLayer* layer = GetCurrentLayer();
  if (!HasParentWindow() || layer == nullptr || o->Count() == 0 || IsSelBreak(o->Points.back())) return;
  TCanvas* C = GetCanvas();
  TPen* pen = C->GetPen();
  const TPenMode mode = pen->GetMode();
  pen->SetMode(pmNot);
  C->MoveTo(layer->ConvXBmp2Scr(o->Points.back().X), layer->ConvYBmp2Scr(o->Points.back().Y));
  C->LineTo(FRubber.X, FRubber.Y);
  pen->SetMode(mode);
  FRubberShown = !FRubberShown;
}

void TLumerakView::KeyDown(Word& Key, TShiftState Shift) {
  TLKView::KeyDown(Key, Shift);
  if (Shift.Contains(ssShift) && ShiftAddsSelection) {
    if (FCursor == LKCursorDefault) SetTempCursor(kCursorCrossPlus);
    if (FCursor == kCursorCross2) SetTempCursor(kCursorCross2Plus);
  }
}

void TLumerakView::KeyUp(Word& Key, TShiftState Shift) {
  TLKView::KeyUp(Key, Shift);
  if (!Shift.Contains(ssShift) && ShiftAddsSelection) RestoreCursor();
}
