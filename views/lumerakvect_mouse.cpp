// Mouse interaction of the vector view: the interaction set, inserting
// objects by dragging or clicking, clicked polylines and angles, selecting
// by click or rubber band, moving and resizing by grips, editing polyline
// points, measuring a dragged distance, and the hit tests behind them.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "views/lkvectgeom.h"
#include "views/lkviewgeometry.h"
#include "views/lumerakvect.h"

namespace {

constexpr Integer kCurMove2 = 1786, kCurMoveY = 1787, kCurMove1 = 1788, kCurMoveX = 1789, kCurMove = 1790,
                  kCurCross3Plus = 1791, kCurCross3Minus = 1792;

bool IsLineLike(TLKVObjectKind K) { return K == lkkLINE || K == lkkRULER || K == lkkLINELABEL; }

// The interactions that replace one another, in the order the first new
// one is chosen.
constexpr TLKMouseInteractVtItem kPriority[] = {miArea,      miLineLen,      miPutLine,    miPutLineLabel, miPutBox,
                                                 miPutEllipse, miPutBitmap,   miPutText,    miPutMemo,      miObjectSelect,
                                                 miDragLen,   miPutRuler,     miPutPolyLine, miPutAngle,    miEditPolyline};

}  // namespace

// ---------------------------------------------------------------------------
// Interaction set
// ---------------------------------------------------------------------------

void TLumerakVect::SetMouseInteractVt(TLKMouseInteractVt Value) {
  CancelInteracts();
  if (Value == FMouseInteractVt) return;
  const TLKMouseInteractVt old = FMouseInteractVt;
  bool chosen = false;
  TLKMouseInteractVtItem pick = miArea;
  for (TLKMouseInteractVtItem m : kPriority)
    if (Value.Contains(m) && !old.Contains(m)) {
      pick = m;
      chosen = true;
      break;
    }
  if (!chosen) {
    FMouseInteractVt = Value;
  } else {
    if (pick != miArea && pick != miLineLen) SetMouseInteract(TLKMouseInteract{});
    FMouseInteractVt = TLKMouseInteractVt{pick};
    if (Value.Contains(miUnStampMode)) FMouseInteractVt.Include(miUnStampMode);
  }
  HintRestore();
  FLastMeasure = 0;
  if (FMouseInteractVt.Contains(miArea) || FMouseInteractVt.Contains(miLineLen)) {
    FHintActive = true;
    HintShow(GetClientWidth() / 2, GetClientHeight() / 2);
  } else {
    FHintActive = false;
  }
  if (old.Contains(miEditPolyline) || (chosen && pick == miEditPolyline)) Update();
}

void TLumerakVect::SetMouseInteract(TLKMouseInteract Value) {
  TLumerakView::SetMouseInteract(Value);
  if (!GetMouseInteract().Empty())
    FMouseInteractVt = FMouseInteractVt * TLKMouseInteractVt{miArea, miLineLen, miUnStampMode};
  CancelInteracts();
}

void TLumerakVect::CancelInteracts() {
  if (FEdited >= 0) {
    RemoveTextEdit();
    FEdited = -1;
  }
  FInserting = lkkNONE;
  FGrip = 0;
  FPolyInProgress = FAngleInProgress = -1;
}

// ---------------------------------------------------------------------------
// Hit testing
// ---------------------------------------------------------------------------

double TLumerakVect::CalcDistPtObj(TLKVObject& O, Integer X, Integer Y) {
  switch (O.Kind) {
    case lkkLINE:
    case lkkLINELABEL: {
      const double d = _DistPoint2Seg(X, Y, O.X1, O.Y1, O.X2, O.Y2);
      if (O.PenWidth >= 2) return O.PenWidth / 2.0 > d ? 0 : d - O.PenWidth / 2.0;
      return d;
    }
    case lkkRULER:
      return _DistPoint2Seg(X, Y, O.X1, O.Y1, O.X2, O.Y2);
    case lkkBOX:
    case lkkBITMAP:
    case lkkTEXT:
    case lkkMEMO: {
      const bool filled = O.Kind != lkkBOX || O.BrushStyle != bsClear;
      if (filled && _InRectO(X, Y, O.X1, O.Y1, O.X2, O.Y2)) return 0;
      return std::min({_DistPoint2Seg(X, Y, O.X1, O.Y1, O.X2, O.Y1), _DistPoint2Seg(X, Y, O.X2, O.Y1, O.X2, O.Y2),
                       _DistPoint2Seg(X, Y, O.X1, O.Y2, O.X2, O.Y2), _DistPoint2Seg(X, Y, O.X1, O.Y1, O.X1, O.Y2)});
    }
    case lkkELLIPSE:
    case lkkARC: {
      const Integer rx = (O.X2 - O.X1) / 2, ry = (O.Y2 - O.Y1) / 2;
      return LKEllipseDistance(rx, ry, X - (O.X1 + rx), Y - (O.Y1 + ry),
                               O.Kind == lkkELLIPSE && O.BrushStyle != bsClear);
    }
    case lkkPOLYLINE: {
      double zx, zy;
      CalcZxZyPolyline(O, zx, zy);
      return _DistPoint2Polyline(X, Y, O.PolyPoints.data(), static_cast<Integer>(O.PolyPoints.size()), O.PolyBox.Left,
                                 O.PolyBox.Top, O.X1, O.Y1, zx, zy);
    }
    case lkkANGLE: {
      const Integer n = CountAnglePoints(O.AnglePoints);
      double best = 1000000;
      for (Integer i = 1; i < n; ++i)
        best = std::min(best, _DistPoint2Seg(X, Y, O.AnglePoints[i - 1].X, O.AnglePoints[i - 1].Y,
                                             O.AnglePoints[i].X, O.AnglePoints[i].Y));
      if (n == 1) best = _DistPoint2Point(X, Y, O.AnglePoints[0].X, O.AnglePoints[0].Y);
      return best;
    }
    default:
      return -1.0;
  }
}

// Whether every point of O's shape is at least Best from (X, Y), judged by
// its box: the rectangle for shapes that lie in it (a thick line's half pen
// and a pixel of rounding aside), the mapped extent of the points for
// polylines (whose points may lie past their point box) and angles.
bool TLumerakVect::FartherThan(const TLKVObject& O, Integer X, Integer Y, double Best) {
  double x1, y1, x2, y2, slack = 1;
  if (O.Kind == lkkPOLYLINE) {
    if (O.PolyPoints.empty()) return false;
    Integer px1 = O.PolyPoints[0].X, px2 = px1, py1 = O.PolyPoints[0].Y, py2 = py1;
    for (const TPoint& p : O.PolyPoints) {
      px1 = std::min(px1, p.X);
      px2 = std::max(px2, p.X);
      py1 = std::min(py1, p.Y);
      py2 = std::max(py2, p.Y);
    }
    double zx, zy;
    LKPolylineFactors(O.PolyBox, O.X1, O.Y1, O.X2, O.Y2, zx, zy);
    const double ax = (double(px1) - O.PolyBox.Left) * zx + O.X1, bx = (double(px2) - O.PolyBox.Left) * zx + O.X1;
    const double ay = (double(py1) - O.PolyBox.Top) * zy + O.Y1, by = (double(py2) - O.PolyBox.Top) * zy + O.Y1;
    x1 = std::min(ax, bx);
    x2 = std::max(ax, bx);
    y1 = std::min(ay, by);
    y2 = std::max(ay, by);
  } else if (O.Kind == lkkANGLE) {
    const Integer n = CountAnglePoints(O.AnglePoints);
    if (n == 0) return false;
    x1 = x2 = O.AnglePoints[0].X;
    y1 = y2 = O.AnglePoints[0].Y;
    for (Integer i = 1; i < n; ++i) {
      x1 = std::min(x1, double(O.AnglePoints[i].X));
      x2 = std::max(x2, double(O.AnglePoints[i].X));
      y1 = std::min(y1, double(O.AnglePoints[i].Y));
      y2 = std::max(y2, double(O.AnglePoints[i].Y));
    }
  } else {
    x1 = std::min(O.X1, O.X2);
    x2 = std::max(O.X1, O.X2);
    y1 = std::min(O.Y1, O.Y2);
    y2 = std::max(O.Y1, O.Y2);
    slack += std::max(O.PenWidth, 0) / 2.0;
  }
  const double dx = std::max({0.0, x1 - X, X - x2}), dy = std::max({0.0, y1 - Y, Y - y2});
  // Squares, not a square root per object.
  const double reach = Best + slack;
  return dx * dx + dy * dy >= reach * reach;
}

Integer TLumerakVect::FindNearObj(Integer X, Integer Y, bool SelectableOnly, double& Distance) {
  const TLKViewGeometry& g = GetGeometry();
  const Integer vx1 = LKTruncClamp(g.ViewX * g.ix), vy1 = LKTruncClamp(g.ViewY * g.iy);
  const Integer vx2 = LKTruncClamp((g.ViewX + g.VW) * g.ix), vy2 = LKTruncClamp((g.ViewY + g.VH) * g.iy);
  double best = 2147483647.0;
  Integer result = LKVAll;
  for (auto it = FOrder.rbegin(); it != FOrder.rend(); ++it) {
    TLKVObject* o = GetObj(*it);
    if (o == nullptr || (SelectableOnly && !o->Style.Contains(lkvsSelectable))) continue;
    if (!_RectXRect(o->X1, o->Y1, o->X2, o->Y2, vx1, vy1, vx2, vy2)) continue;
    // An object whose box is already farther than the best cannot win:
    // only the few that pass this pass are measured.
    if (best < 2147483647.0 && FartherThan(*o, X, Y, best)) continue;
    const double d = CalcDistPtObj(*o, X, Y);
    // Kinds without a shape answer -1: they are never found.
    if (d >= 0 && d < best) {
      best = d;
      result = *it;
    }
  }
  if (SelectDistanceLimit >= 0 && best > SelectDistanceLimit * g.ix) result = LKVAll;
  Distance = best;
  return result;
}

Integer TLumerakVect::FindObjectAt(Integer X, Integer Y, double& Distance) {
  return FindNearObj(XScr2Bmp(X), YScr2Bmp(Y), false, Distance);
}

bool TLumerakVect::InGrip(Integer GX, Integer GY, Integer X, Integer Y) const {
  return X >= GX - GripSize && X < GX + GripSize && Y >= GY - GripSize && Y < GY + GripSize;
}

void TLumerakVect::ObjectClientRect(TLKVObject& O, Integer& SX1, Integer& SY1, Integer& SX2, Integer& SY2) {
  SX1 = XBmp2Scr(O.X1);
  SY1 = YBmp2Scr(O.Y1);
  SX2 = XBmp2Scr(O.X2);
  SY2 = YBmp2Scr(O.Y2);
  AdjustCoords(O, SX2, SY2, GetZoomX() / 100, GetZoomY() / 100, true, 1);
}

Integer TLumerakVect::FindSelGrip(Integer X, Integer Y, Integer& Grip) {
  Grip = 0;
  const TLKViewGeometry& g = GetGeometry();
  for (std::size_t i = 0; i < FSel.size(); ++i) {
    TLKVObject* o = GetObj(FSel[i]);
    if (o == nullptr) continue;
    Integer sx1, sy1, sx2, sy2;
    ObjectClientRect(*o, sx1, sy1, sx2, sy2);
    if (!_RectXRect(sx1, sy1, sx2, sy2, g.OffX, g.OffY, g.OffX + g.VW, g.OffY + g.VH)) continue;
    const Integer ox1 = std::min(sx1, sx2), ox2 = std::max(sx1, sx2), oy1 = std::min(sy1, sy2),
                  oy2 = std::max(sy1, sy2);
    if (InGrip(sx1, sy1, X, Y)) {
      Grip = 1;
    } else if (InGrip(sx2, sy2, X, Y)) {
      Grip = 2;
    } else if (!CenterGripMove) {
      const double d = CalcDistPtObj(*o, XScr2Bmp(X), YScr2Bmp(Y));
      if (d >= 0 && d < 1.0) Grip = 3;
    }
    if (Grip == 0 && InGrip(ox1 + (ox2 - ox1 + 1) / 2, oy1 + (oy2 - oy1 + 1) / 2, X, Y) &&
        (CenterGripMove || o->Kind == lkkANGLE))
      Grip = 3;
    if (!IsLineLike(o->Kind)) {
      const Integer mx = (sx1 + sx2) / 2, my = (sy1 + sy2) / 2;
      const TPoint places[6] = {{sx2, sy1}, {sx1, sy2}, {sx1, my}, {sx2, my}, {mx, sy1}, {mx, sy2}};
      for (Integer k = 0; k < 6; ++k)
        if (InGrip(places[k].X, places[k].Y, X, Y)) {
          Grip = 4 + k;
          break;
        }
    }
    if (Grip != 0 && (o->Kind == lkkANGLE || !o->Style.Contains(lkvsSizeable))) Grip = 3;
    if (Grip != 0) return static_cast<Integer>(i);
  }
  return LKVNone;
}

Integer TLumerakVect::FindPolylinePoint(Integer X, Integer Y) {
  if (FSel.size() != 1) return -1;
  TLKVObject* o = GetObj(FSel[0]);
  if (o == nullptr || o->Kind != lkkPOLYLINE) return -1;
  for (std::size_t i = 0; i < o->ScreenPoints.size(); ++i)
    if (std::abs(o->ScreenPoints[i].X - X) <= 3 && std::abs(o->ScreenPoints[i].Y - Y) <= 3)
      return static_cast<Integer>(i);
  return -1;
}

Integer TLumerakVect::FindPolylineIntraPoint(Integer X, Integer Y) {
  if (FSel.size() != 1) return -1;
  TLKVObject* o = GetObj(FSel[0]);
  if (o == nullptr || o->Kind != lkkPOLYLINE) return -1;
  const auto& s = o->ScreenPoints;
  const auto n = static_cast<Integer>(s.size());
  for (Integer i = 0; i + 1 < n; ++i)
    if (_DistPoint2Seg(X, Y, s[i].X, s[i].Y, s[i + 1].X, s[i + 1].Y) < 1.5) return i;
  if (o->PolylineClosed && n >= 2 && _DistPoint2Seg(X, Y, s[n - 1].X, s[n - 1].Y, s[0].X, s[0].Y) < 1.5) return n - 1;
  return -1;
}

// ---------------------------------------------------------------------------
// Selection by mouse, moving and resizing
// ---------------------------------------------------------------------------

void TLumerakVect::MouseSelect(TShiftState Shift, Integer X, Integer Y, bool OnPress) {
  double d;
  const Integer h = FindNearObj(XScr2Bmp(X), YScr2Bmp(Y), true, d);
  if (h < 0) {
    if (!Shift.Contains(ssShift)) UnSelAllObjects();
    return;
  }
  FDeferredSel = IsSelObject(h) && SelectOnMouseDown && OnPress;
  if (FDeferredSel) return;
  if (IsSelObject(h)) {
    if (Shift.Contains(ssShift)) {
      UnSelObject(h);
    } else {
      UnSelAllObjectsNU();
      AddSelObjectEx(h);
    }
  } else {
    if (!Shift.Contains(ssShift)) UnSelAllObjectsNU();
    AddSelObjectEx(h);
  }
  Update();
}

void TLumerakVect::TraslateObject(Integer hobj, Integer DX, Integer DY) {
  TLKVObject& o = Obj(hobj);
  o.X1 += DX;
  o.X2 += DX;
  o.Y1 += DY;
  o.Y2 += DY;
  if (o.Kind == lkkANGLE) {
    const Integer n = CountAnglePoints(o.AnglePoints);
    for (Integer i = 0; i < n; ++i) {
      o.AnglePoints[i].X += DX;
      o.AnglePoints[i].Y += DY;
    }
  }
}

void TLumerakVect::ChangeObjectCoor(Integer hobj, Integer DX1, Integer DY1, Integer DX2, Integer DY2, bool KeepAspect,
                                    Integer Grip) {
  TLKVObject& o = Obj(hobj);
  o.X1 += DX1;
  o.Y1 += DY1;
  o.X2 += DX2;
  o.Y2 += DY2;
  if (!KeepAspect) return;
  const double a = static_cast<double>(o.X2 - o.X1) * (o.DragRect.Bottom - o.DragRect.Top);
  const double b = o.DragRect.Right - o.DragRect.Left;
  if (a == 0 || b == 0) return;
  if (Grip == 1 || Grip == 4) o.Y1 = LKRoundEven(o.Y2 - a / b);
  if (Grip == 2 || Grip == 5) o.Y2 = LKRoundEven(o.Y1 + a / b);
}

// ---------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------

void TLumerakVect::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLumerakView::MouseDown(Button, Shift, X, Y);
  FDoubleClick = Shift.Contains(ssDouble);
  if (Button != mbLeft) return;
  FPickedSegment = -1;
  FObjectsChanged = false;
  const TLKMouseInteractVt& m = FMouseInteractVt;
  if (m.Contains(miPutLine)) FInserting = lkkLINE;
  else if (m.Contains(miPutLineLabel)) FInserting = lkkLINELABEL;
  else if (m.Contains(miPutRuler)) FInserting = lkkRULER;
  else if (m.Contains(miPutBox)) FInserting = lkkBOX;
  else if (m.Contains(miPutEllipse)) FInserting = lkkELLIPSE;
  else if (m.Contains(miPutBitmap)) FInserting = lkkBITMAP;
  else if (m.Contains(miPutText)) FInserting = lkkTEXT;
  else if (m.Contains(miPutMemo)) FInserting = lkkMEMO;
  else if (m.Contains(miDragLen)) FInserting = lkkLINE;
  else if (m.Contains(miPutAngle) && !FDoubleClick) {
    TPoint p{XScr2Bmp(X), YScr2Bmp(Y)};
    if (FAngleInProgress < 0) {
      FInserting = lkkANGLE;
      FTemplate.Kind = lkkANGLE;
      FTemplate.AnglePoints[0] = p;
      FTemplate.AnglePoints[1] = FTemplate.AnglePoints[2] = TPoint{LKAngleUnset, LKAngleUnset};
      FTemplate.X1 = FTemplate.Y1 = 1000000;
      FTemplate.X2 = FTemplate.Y2 = -1000000;
      FAngleInProgress = AddVObject(FTemplate);
      UnSelAllObjects();
      Update();
    } else {
      TLKVObject& o = Obj(FAngleInProgress);
      if (o.AnglePoints[1].X == LKAngleUnset) {
        if (Shift.Contains(ssCtrl)) {
          _CastPolySelCC(o.AnglePoints[0].X, o.AnglePoints[0].Y, p.X, p.Y);
          SetAnchorPoint(TPoint{XBmp2Scr(p.X), YBmp2Scr(p.Y)});
        }
        o.AnglePoints[1] = p;
        Update();
      } else {
        if (Shift.Contains(ssCtrl)) _CastPolySelCC(o.AnglePoints[1].X, o.AnglePoints[1].Y, p.X, p.Y);
        o.AnglePoints[2] = p;
        // The box of the three points, so that both arms lie inside it.
        o.X1 = std::min({o.AnglePoints[0].X, o.AnglePoints[1].X, o.AnglePoints[2].X});
        o.X2 = std::max({o.AnglePoints[0].X, o.AnglePoints[1].X, o.AnglePoints[2].X});
        o.Y1 = std::min({o.AnglePoints[0].Y, o.AnglePoints[1].Y, o.AnglePoints[2].Y});
        o.Y2 = std::max({o.AnglePoints[0].Y, o.AnglePoints[1].Y, o.AnglePoints[2].Y});
        FTemplate.X1 = o.X1;
        FTemplate.Y1 = o.Y1;
        FTemplate.X2 = o.X2;
        FTemplate.Y2 = o.Y2;
        const Integer h = FAngleInProgress;
        FAngleInProgress = -1;
        AddSelObjectEx(h);
        DoVectorialChanged();
        DoNewObject(h);
        FInserting = lkkNONE;
        Update();
      }
    }
  } else if (m.Contains(miPutPolyLine)) {
    if (FPolyInProgress < 0) {
      FInserting = lkkPOLYLINE;
      FTemplate.Kind = lkkPOLYLINE;
      FTemplate.X1 = FTemplate.Y1 = 1000000;
      FTemplate.X2 = FTemplate.Y2 = -1000000;
      FTemplate.PolyPoints.clear();
      FPolyInProgress = AddVObject(FTemplate);
      FLastPolyPt = TPoint{X, Y};
      AddPolyLinePoint(FPolyInProgress, XScr2Bmp(X), YScr2Bmp(Y));
      UnSelAllObjects();
      Update();
    } else {
      if (Shift.Contains(ssCtrl)) {
        _CastPolySelCC(FLastPolyPt.X, FLastPolyPt.Y, X, Y);
        SetAnchorPoint(TPoint{X, Y});
      }
      FLastPolyPt = TPoint{X, Y};
      AddPolyLinePoint(FPolyInProgress, XScr2Bmp(X), YScr2Bmp(Y));
      if (FDoubleClick && PolylineEndingMode == lkemDoubleClick) {
        const Integer h = FPolyInProgress;
        TLKVObject& o = Obj(h);
        FTemplate.X1 = o.X1;
        FTemplate.Y1 = o.Y1;
        FTemplate.X2 = o.X2;
        FTemplate.Y2 = o.Y2;
        FPolyInProgress = -1;
        AddSelObjectEx(h);
        DoVectorialChanged();
        DoNewObject(h);
        FInserting = lkkNONE;
      }
      Update();
    }
  } else if (m.Contains(miEditPolyline)) {
    FPickedPoint = FindPolylinePoint(X, Y);
    FPickedSegment = FPickedPoint == -1 ? FindPolylineIntraPoint(X, Y) : -1;
  } else if (m.Contains(miObjectSelect)) {
    if (FDoubleClick) {
      double d;
      const Integer h = FindNearObj(XScr2Bmp(X), YScr2Bmp(Y), true, d);
      if (h >= 0) DoObjectDblClick(h);
    } else {
      FindSelGrip(X, Y, FGrip);
      if ((FGrip == 0 || FGrip == 3) && SelectOnMouseDown) {
        MouseSelect(Shift, X, Y, true);
        FindSelGrip(X, Y, FGrip);
      }
      if (FGrip > 0)
        for (Integer h : FSel)
          if (TLKVObject* o = GetObj(h)) o->DragRect = TRect{o->X1, o->Y1, o->X2, o->Y2};
    }
  }
  FEnd = TPoint{X, Y};
  if (FInserting != lkkNONE && FInserting != lkkPOLYLINE && FInserting != lkkANGLE) FEnd = GetAnchorPoint();
  FApplied = TPoint{0, 0};
  FRubberOn = false;
}

void TLumerakVect::DrawInserting() {
  switch (FInserting) {
    case lkkLINE:
    case lkkLINELABEL: DrawLineInserting(); break;
    case lkkELLIPSE: DrawEllipseInserting(); break;
    case lkkBOX:
    case lkkBITMAP:
    case lkkTEXT:
    case lkkMEMO: DrawBoxInserting(); break;
    default: break;
  }
}

// Ctrl while an end grip of a line, ruler or labelled line (the first
// selected object) is dragged: the dragged end goes to the horizontal,
// vertical or diagonal of the other end. The snap is made once, in bitmap
// pixels, on where the end would go ((CX, CY) from where it was at the
// press), so that it holds at any zoom and scroll; the movement becomes
// the one that puts the end there.
void TLumerakVect::SnapEndGrip(Integer& CX, Integer& CY) {
  if ((FGrip != 1 && FGrip != 2) || FSel.empty()) return;
  const TLKVObject* o = GetObj(FSel[0]);
  if (o == nullptr || (o->Kind != lkkLINE && o->Kind != lkkRULER && o->Kind != lkkLINELABEL)) return;
  if (!o->Style.Contains(lkvsSizeable)) return;
  const TRect& d = o->DragRect;
  const TPoint start = FGrip == 1 ? TPoint{d.Left, d.Top} : TPoint{d.Right, d.Bottom};
  const TPoint other = FGrip == 1 ? TPoint{o->X2, o->Y2} : TPoint{o->X1, o->Y1};
  Integer x = start.X + CX, y = start.Y + CY;
  _CastPolySelCC(other.X, other.Y, x, y);
  CX = x - start.X;
  CY = y - start.Y;
}

void TLumerakVect::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  if (FDoubleClick) {
    FDoubleClick = false;
    return;
  }
  HintRestore();
  TLumerakView::MouseMove(Shift, X, Y);
  FRawPt = TPoint{X, Y};
  const TLKViewGeometry& g = GetGeometry();
  X = std::clamp(X, g.OffX, std::max(g.OffX, g.OffX + g.VW - 1));
  Y = std::clamp(Y, g.OffY, std::max(g.OffY, g.OffY + g.VH - 1));
  const bool held = Shift.Contains(ssLeft);
  if (held && FInserting != lkkNONE && FInserting != lkkPOLYLINE && FInserting != lkkANGLE) {
    FFastPicture = 1;
    if (!FTemplate.Style.Contains(lkvsSizeable)) {
      SetAnchorPoint(TPoint{X, Y});
      FEnd = TPoint{X, Y};
    } else if (FInserting == lkkRULER) {
      MouseMoveScroll();
      if (Shift.Contains(ssCtrl)) _CastPolySelCC(GetAnchorPoint().X, GetAnchorPoint().Y, X, Y);
      FEnd = TPoint{X, Y};
      PaintNow();
      DrawRulerInserting();
    } else {
      if (FRubberOn) DrawInserting();
      if (FMouseInteractVt.Contains(miDragLen)) {
        X = FRawPt.X;
        Y = FRawPt.Y;
        FHintActive = true;
      }
      MouseMoveScroll();
      const TPoint a = GetAnchorPoint();
      if (Shift.Contains(ssCtrl) && (FInserting == lkkBOX || FInserting == lkkELLIPSE)) {
        const Integer d = std::abs(a.X - X) > std::abs(a.Y - Y) ? X - a.X : Y - a.Y;
        FEnd = TPoint{a.X + d, a.Y + d};
      } else {
        if (Shift.Contains(ssCtrl) && (FInserting == lkkLINE || FInserting == lkkLINELABEL))
          _CastPolySelCC(a.X, a.Y, X, Y);
        FEnd = TPoint{X, Y};
      }
      DrawInserting();
      FRubberOn = true;
    }
  } else if (held && FInserting == lkkPOLYLINE && FPolyInProgress >= 0) {
    FFastPicture = 1;
    AddPolyLinePoint(FPolyInProgress, XScr2Bmp(FRawPt.X), YScr2Bmp(FRawPt.Y));
    FLastPolyPt = FRawPt;
    Update();
  } else if (held && FGrip > 0) {
    DoBeforeVectorialChange();
    FFastPicture = 1;
    MouseMoveScroll();
    const TPoint a = GetAnchorPoint();
    Integer cx = LKTruncClamp((X - a.X) * g.ix), cy = LKTruncClamp((Y - a.Y) * g.iy);
    if (Shift.Contains(ssCtrl)) SnapEndGrip(cx, cy);
    Integer dx = cx - FApplied.X, dy = cy - FApplied.Y;
    FApplied = TPoint{cx, cy};
    const TRect u = GetSelectedObjectsRect();
    const Integer bw = GetLKBitmap()->GetWidth(), bh = GetLKBitmap()->GetHeight();
    for (Integer h : std::vector<Integer>(FSel)) {
      TLKVObject* o = GetObj(h);
      if (o == nullptr) continue;
      DoObjectMoveResize(h, FGrip, dx, dy);
      if (o->Style.Contains(lkvsSizeable) && o->Kind != lkkANGLE && FGrip != 3) {
        const bool keep = Shift.Contains(ssAlt) || ForceConstrain;
        switch (FGrip) {
          case 1: ChangeObjectCoor(h, dx, dy, 0, 0, keep, 1); break;
          case 2: ChangeObjectCoor(h, 0, 0, dx, dy, keep, 2); break;
          case 4: ChangeObjectCoor(h, 0, dy, dx, 0, keep, 4); break;
          case 5: ChangeObjectCoor(h, dx, 0, 0, dy, keep, 5); break;
          case 6: ChangeObjectCoor(h, dx, 0, 0, 0, keep, 6); break;
          case 7: ChangeObjectCoor(h, 0, 0, dx, 0, keep, 7); break;
          case 8: ChangeObjectCoor(h, 0, dy, 0, 0, keep, 8); break;
          case 9: ChangeObjectCoor(h, 0, 0, 0, dy, keep, 9); break;
          default: break;
        }
      }
      if (o->Style.Contains(lkvsMoveable) && FGrip == 3) {
        const bool inside = u.Left + dx >= 0 && u.Top + dy >= 0 && u.Left + dx < bw && u.Top + dy < bh &&
                            u.Right + dx < bw && u.Bottom + dy < bh;
        if (inside || MoveOutsideBitmap) TraslateObject(h, dx, dy);
      }
    }
    Update();
  } else if (held && FMouseInteractVt.Contains(miEditPolyline) && FPickedPoint >= 0 && FSel.size() == 1) {
    MouseMoveScroll();
    const TPoint a = GetAnchorPoint();
    const Integer cx = LKTruncClamp((X - a.X) * g.ix), cy = LKTruncClamp((Y - a.Y) * g.iy);
    const Integer dx = cx - FApplied.X, dy = cy - FApplied.Y;
    FApplied = TPoint{cx, cy};
    TLKVObject* o = GetObj(FSel[0]);
    if (o != nullptr && FPickedPoint < static_cast<Integer>(o->PolyPoints.size())) {
      o->PolyPoints[static_cast<std::size_t>(FPickedPoint)].X += dx;
      o->PolyPoints[static_cast<std::size_t>(FPickedPoint)].Y += dy;
      RecalcPolylineBox(*o);
      Update();
    }
  } else if (held && FMouseInteractVt.Contains(miObjectSelect) && RubberBandSelect && FGrip == 0) {
    if (FRubberOn) DrawBoxInserting();
    MouseMoveScroll();
    FEnd = TPoint{X, Y};
    if (!Shift.Contains(ssShift)) FSel.clear();
    const TPoint a = GetAnchorPoint();
    const Integer bx1 = XScr2Bmp(std::min(a.X, FEnd.X)), by1 = YScr2Bmp(std::min(a.Y, FEnd.Y));
    const Integer bx2 = XScr2Bmp(std::max(a.X, FEnd.X)), by2 = YScr2Bmp(std::max(a.Y, FEnd.Y));
    SelInRect(LKVAll, bx1, by1, bx2, by2);
    if (OnSelectObject) OnSelectObject(this);
    PaintNow();
    DrawBoxInserting();
    FRubberOn = true;
  } else if (!held) {
    if (FPolyInProgress >= 0) {
      if (FRubberOn) DrawLineInserting();
      MouseMoveScroll();
      TPoint r = FRawPt;
      if (Shift.Contains(ssCtrl)) _CastPolySelCC(FLastPolyPt.X, FLastPolyPt.Y, r.X, r.Y);
      FEnd = r;
      SetAnchorPoint(FLastPolyPt);
      DrawLineInserting();
      FRubberOn = true;
    } else if (FAngleInProgress >= 0) {
      MouseMoveScroll();
      FEnd = TPoint{X, Y};
      PaintNow();
      DrawAngleInserting();
    } else {
      double d;
      const Integer h = FindNearObj(XScr2Bmp(X), YScr2Bmp(Y), false, d);
      if (h >= 0) DoObjectOver(h);
    }
    if (FMouseInteractVt.Contains(miEditPolyline)) {
      if (FindPolylinePoint(X, Y) >= 0)
        SetTempCursor(Shift.Contains(ssCtrl) ? kCurCross3Minus : kCurMove);
      else if (FindPolylineIntraPoint(X, Y) >= 0)
        SetTempCursor(kCurCross3Plus);
      else
        RestoreCursor();
    }
    if (FMouseInteractVt.Contains(miObjectSelect)) {
      Integer grip;
      FindSelGrip(X, Y, grip);
      switch (grip) {
        case 1: case 2: SetTempCursor(kCurMove2); break;
        case 3: SetTempCursor(kCurMove); break;
        case 4: case 5: SetTempCursor(kCurMove1); break;
        case 6: case 7: SetTempCursor(kCurMoveX); break;
        case 8: case 9: SetTempCursor(kCurMoveY); break;
        default: RestoreCursor(); break;
      }
    }
  }
  HintRestore();
  HintShow(FRawPt.X, FRawPt.Y);
}

void TLumerakVect::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TLumerakView::MouseUp(Button, Shift, X, Y);
  FDoubleClick = Shift.Contains(ssDouble);
  const TPoint a = GetAnchorPoint();
  const bool same = X == a.X && Y == a.Y;
  const TLKMouseInteractVt& m = FMouseInteractVt;
  auto finish = [&] {
    // Paint at once: the rubber band goes and the objects show where the
    // release left them.
    FRubberOn = false;
    PaintNow();
    HintShow(X, Y);
  };
  if (FPolyInProgress >= 0 || FAngleInProgress >= 0 || Button != mbLeft) return finish();
  const bool stampOff = same && m.Contains(miUnStampMode) && !m.Contains(miObjectSelect) &&
                        !m.Contains(miLineLen) && !m.Contains(miArea);
  if (!stampOff) {
    if (FInserting != lkkNONE) {
      if (!(FEnd == a)) {
        FTemplate.X1 = XScr2Bmp(a.X);
        FTemplate.Y1 = YScr2Bmp(a.Y);
        FTemplate.X2 = XScr2Bmp(FEnd.X);
        FTemplate.Y2 = YScr2Bmp(FEnd.Y);
      } else {
        const Integer w = FTemplate.X2 - FTemplate.X1, h = FTemplate.Y2 - FTemplate.Y1;
        FTemplate.X1 = XScr2Bmp(a.X) - (CenterStampedObjects ? w / 2 : 0);
        FTemplate.Y1 = YScr2Bmp(a.Y) - (CenterStampedObjects ? h / 2 : 0);
        FTemplate.X2 = FTemplate.X1 + w;
        FTemplate.Y2 = FTemplate.Y1 + h;
      }
      if (m.Contains(miDragLen)) {
        HintRestore();
        FHintActive = false;
        if (OnDragLenEnd) OnDragLenEnd(this, FLastMeasure);
      } else {
        FTemplate.Kind = FInserting;
        DoBeforeVectorialChange();
        AddVObject(FTemplate);
        UnSelAllObjectsNU();
        DoNewObject(static_cast<Integer>(FStore.size()) - 1);
        AddSelObjectEx(LKVLast);
        DoVectorialChanged();
      }
    } else {
      if ((FGrip == 0 || (FGrip == 3 && same)) &&
          (m.Contains(miObjectSelect) || m.Contains(miEditPolyline)) && FEnd == a) {
        if (!SelectOnMouseDown || FDeferredSel) MouseSelect(Shift, X, Y, false);
      } else if (FGrip > 0) {
        for (Integer h : FSel) {
          TLKVObject* o = GetObj(h);
          if (o == nullptr || IsLineLike(o->Kind) || o->Kind == lkkPOLYLINE) continue;
          if (o->X1 > o->X2) std::swap(o->X1, o->X2);
          if (o->Y1 > o->Y2) std::swap(o->Y1, o->Y2);
        }
        DoVectorialChanged();
      }
    }
    FDeferredSel = false;
    // Point editing of the one selected polyline.
    if (FSel.size() == 1 && m.Contains(miEditPolyline)) {
      TLKVObject* o = GetObj(FSel[0]);
      if (o != nullptr && o->Kind == lkkPOLYLINE) {
        if (FPickedPoint >= 0 && Shift.Contains(ssCtrl) && o->PolyPoints.size() > 2 &&
            FPickedPoint < static_cast<Integer>(o->PolyPoints.size())) {
          o->PolyPoints.erase(o->PolyPoints.begin() + FPickedPoint);
          RecalcPolylineBox(*o);
          FPickedPoint = -1;
          DoVectorialChanged();
        } else if (FPickedSegment >= 0) {
          double zx, zy;
          CalcZxZyPolyline(*o, zx, zy);
          // A flat polyline maps with factor 1, never 0.
          if (zx == 0) zx = 1;
          if (zy == 0) zy = 1;
          const TPoint p{LKRoundEven((XScr2Bmp(X) + o->PolyBox.Left * zx - o->X1) / zx),
                         LKRoundEven((YScr2Bmp(Y) + o->PolyBox.Top * zy - o->Y1) / zy)};
          const auto at = std::min<std::size_t>(static_cast<std::size_t>(FPickedSegment) + 1, o->PolyPoints.size());
          o->PolyPoints.insert(o->PolyPoints.begin() + static_cast<std::ptrdiff_t>(at), p);
          FPickedSegment = -1;
          DoVectorialChanged();
        }
      }
    }
    Update();
    FInserting = lkkNONE;
    FGrip = 0;
    if (FFastPicture) {
      FFastPicture = 0;
      Invalidate();
    }
  }
  if (m.Contains(miObjectSelect)) {
    double d;
    const Integer h = FindObjectAt(X, Y, d);
    if (h >= 0) DoObjectClick(h);
  }
  finish();
}
