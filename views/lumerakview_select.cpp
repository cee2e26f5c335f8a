// The selection of the single-image view: the outline (the first animated
// polygon) and the mask, the shape operations that build them, moving and
// resizing, and the polygon list with its outline timer.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "core/lkmath.h"
#include "platform/threads.h"
#include "processing/lkmagicwand.h"
#include "views/lumerakview.h"

namespace {

constexpr Integer kTimerInterval = 210;

Integer Clamp(Integer V, Integer Lo, Integer Hi) { return std::max(Lo, std::min(V, Hi)); }

Integer RoundEven(double V) { return static_cast<Integer>(std::nearbyint(V)); }

}  // namespace

// ---------------------------------------------------------------------------
// Construction and helpers
// ---------------------------------------------------------------------------

void TLumerakView::InitSelection() {
  OutlineClock = [] { return GetTickCount(); };
  AnimPolygonNew(FSelColor1, FSelColor2, true, true);
  if (!Designing()) GetSelectionOutline()->Shown = false;
}

TTimer* TLumerakView::GetOutlineTimer() {
  if (FTimer == nullptr) {
    FTimer = std::make_unique<TTimer>();
    FTimer->SetEnabled(false);
    FTimer->SetInterval(kTimerInterval);
    FTimer->SetOnTimer([this](TObject* Sender) { TimerEvent(Sender); });
  }
  return FTimer.get();
}

void TLumerakView::SetDelayTimer(Integer Value) {
  FDelayTimer = Value;
  if (Value > 0) GetOutlineTimer()->SetInterval(static_cast<Cardinal>(Value));
}

void TLumerakView::RepaintSelection() {
  FBackBufferDirty = true;
  FFullRepaint = true;
  Paint();
}

// A new shape: selected, and a break point after what an add keeps, or an
// empty outline.
void TLumerakView::StartShape(TLKSelOp Op) {
  TLKAnimPolygon* o = GetSelectionOutline();
  FSelected = true;
  if (Op == lkspAdd && o->Count() > 0)
    AnimPolygonAddBreak(o);
  else
    AnimPolygonClear(o);  // repaints: the outline drawn before goes from the window
}

void TLumerakView::ConvPoint(Integer& X, Integer& Y) {
  if (FSelectionBase != lksbClientArea) return;
  if (TLKLayer* layer = GetCurrentLayer()) {
    X = layer->ConvXScr2Bmp(X);
    Y = layer->ConvYScr2Bmp(Y);
  }
}

bool TLumerakView::OutlineIsRect() {
  TLKAnimPolygon* o = GetSelectionOutline();
  return _IsRectangle(o->Points.data(), o->Count());
}

TPoint* TLumerakView::GetPolySelArray() { return GetSelectionOutline()->Points.data(); }
Integer TLumerakView::GetPolySelCount() { return GetSelectionOutline()->Count(); }

TPoint TLumerakView::GetPolySel(Integer Index) {
  TLKAnimPolygon* o = GetSelectionOutline();
  if (Index < 0 || Index >= o->Count()) return TPoint{0, 0};
  return o->Points[static_cast<std::size_t>(Index)];
}

Integer TLumerakView::GetSelX1() { return DragInProgress() ? GetSelectionOutline()->X1 : FMask->GetX1(); }
Integer TLumerakView::GetSelY1() { return DragInProgress() ? GetSelectionOutline()->Y1 : FMask->GetY1(); }
Integer TLumerakView::GetSelX2() { return DragInProgress() ? GetSelectionOutline()->X2 - 1 : FMask->GetX2(); }
Integer TLumerakView::GetSelY2() { return DragInProgress() ? GetSelectionOutline()->Y2 - 1 : FMask->GetY2(); }

bool TLumerakView::IsPointInsideSelection(Integer X, Integer Y) {
  ConvPoint(X, Y);
  return FMask->IsPointInside(X, Y);
}

// ---------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------

namespace {
// Runs an event with the user's selection base in force.
template <class F>
void Swapped(TLumerakView* V, F&& Call) {
  V->SwapSelectionBase();
  try {
    Call();
  } catch (...) {
    V->SwapSelectionBase();
    throw;
  }
  V->SwapSelectionBase();
}
}  // namespace

void TLumerakView::DoBeforeSelectionChange() {
  if (OnBeforeSelectionChange) Swapped(this, [&] { OnBeforeSelectionChange(this); });
}
void TLumerakView::DoSelectionChanging() {
  if (OnSelectionChanging) Swapped(this, [&] { OnSelectionChanging(this); });
}
void TLumerakView::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}
void TLumerakView::DoMouseInSel() {
  if (OnMouseInSel) Swapped(this, [&] { OnMouseInSel(this); });
}
void TLumerakView::DoMouseInResizingGrip(TLKGrip Grip) {
  if (OnMouseInResizingGrip) Swapped(this, [&] { OnMouseInResizingGrip(this, Grip); });
}

// ---------------------------------------------------------------------------
// Making and changing the selection
// ---------------------------------------------------------------------------

void TLumerakView::DeSelect() {
  if (FSelected) {
    FSelected = false;
    HideSelectionEx(true);
  }
  GetSelectionOutline()->Points.clear();
  FMask->Empty();
  FPolyDrawing = FLasso = FRectDrawing = FCircleDrawing = FRectMoved = false;
  FResizingGrip = lkNone;
  FMovingGrip = -1;
  RestoreCursor();
  Update();
}

void TLumerakView::Select(Integer X1, Integer Y1, Integer X2, Integer Y2, TLKSelOp Op) {
  SelectEx(X1, Y1, X2, Y2, Op, false, false);
  if (Op == lkspReplace) FMask->Empty();
  EndSelect();
  RepaintSelection();
}

void TLumerakView::SelectEx(Integer X1, Integer Y1, Integer X2, Integer Y2, TLKSelOp Op, bool Square,
                            bool KeepInside) {
  if (X1 == X2 || Y1 == Y2) return;
  ConvPoint(X1, Y1);
  ConvPoint(X2, Y2);
  TLKAnimPolygon* o = GetSelectionOutline();
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  StartShape(Op);
  if (Op == lkspReplace) FMask->Empty();
  const double R = FAspectRatio;
  if (Square && R == -1) {
    Y2 = Y1 + (X2 - X1);
  } else if (R > 0) {
    Y2 = RoundEven((X2 - X1) * R) + Y1;
    if (Y2 >= H)
      X2 = RoundEven((H - 1 - Y1 + X1 * R) / R);
    else if (Y2 < 0)
      X2 = RoundEven((X1 * R - Y1) / R);
  }
  if (KeepInside) {
    if (X1 < 0) { X2 -= X1; X1 = 0; }
    if (Y1 < 0) { Y2 -= Y1; Y1 = 0; }
    if (X2 >= W) { X1 += W - X2 - 1; X2 = W - 1; }
    if (Y2 >= H) { Y1 += H - Y2 - 1; Y2 = H - 1; }
  }
  if (X1 > X2) std::swap(X1, X2);
  if (Y1 > Y2) std::swap(Y1, Y2);
  X1 = Clamp(X1, 0, std::max(W - 1, 0));
  Y1 = Clamp(Y1, 0, std::max(H - 1, 0));
  X2 = Clamp(X2, 0, W);
  Y2 = Clamp(Y2, 0, H);
  AnimPolygonAddPtEx(o, X1, Y1);
  AnimPolygonAddPtEx(o, X2, Y1);
  AnimPolygonAddPtEx(o, X2, Y2);
  AnimPolygonAddPtEx(o, X1, Y2);
  ShowSelectionEx(true);
}

void TLumerakView::SelectEllipse(Integer CenterX, Integer CenterY, Integer Width, Integer Height, TLKSelOp Op) {
  if (FSelectionBase == lksbClientArea) {
    ConvPoint(CenterX, CenterY);
    Width = static_cast<Integer>(Width * 100.0 / FGeo.ZoomX);
    Height = static_cast<Integer>(Height * 100.0 / FGeo.ZoomY);
  }
  if (Width <= 0 || Height <= 0) return;
  TLKAnimPolygon* o = GetSelectionOutline();
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  StartShape(Op);
  const Integer rx = Width / 2, ry = Height / 2;
  const Integer N = std::max(static_cast<Integer>(std::min(rx, ry) * 2 * M_PI) / 4, 3);
  for (Integer i = 0; i < N; ++i) {
    const double a = 2 * M_PI * i / N;
    AnimPolygonAddPtEx(o, Clamp(RoundEven(std::cos(a) * rx + CenterX), 0, W),
                       Clamp(RoundEven(std::sin(a) * ry + CenterY), 0, H));
  }
  if (Op == lkspReplace) FMask->Empty();
  EndSelect();
  RepaintSelection();
  ShowSelectionEx(true);
}

void TLumerakView::SelectRoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer RoundWidth,
                                   Integer RoundHeight, TLKSelOp Op) {
  Integer w = RoundWidth, h = RoundHeight;
  if (FSelectionBase == lksbClientArea) {
    ConvPoint(X1, Y1);
    ConvPoint(X2, Y2);
    w = static_cast<Integer>(RoundWidth * 100.0 / FGeo.ZoomX);
    h = static_cast<Integer>(RoundHeight * 100.0 / FGeo.ZoomY);
  }
  TLKAnimPolygon* o = GetSelectionOutline();
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  StartShape(Op);
  // A radius of 0 or less gives a plain corner; the points per corner are
  // bounded so that a large radius cannot ask for an unbounded outline.
  w = std::max(w, 0);
  h = std::max(h, 0);
  const Integer n = std::clamp<Int64>(static_cast<Int64>(w) * h, 2, 4096);
  std::vector<TPoint> pts(static_cast<std::size_t>(n));
  auto corner = [&](TPoint P0, TPoint P1, TPoint P2, bool Reverse) {
    LKBezier2D4Controls(P0, P1, P2, P2, pts.data(), n);
    for (Integer i = 0; i < n; ++i) {
      const TPoint& p = pts[static_cast<std::size_t>(Reverse ? n - 1 - i : i)];
      AnimPolygonAddPtEx(o, Clamp(p.X, 0, W), Clamp(p.Y, 0, H));
    }
  };
  corner({X1, Y1 + h}, {X1, Y1}, {X1 + w, Y1}, false);
  corner({X2, Y1 + h}, {X2, Y1}, {X2 - w, Y1}, true);
  corner({X2, Y2 - h}, {X2, Y2}, {X2 - w, Y2}, false);
  corner({X1, Y2 - h}, {X1, Y2}, {X1 + w, Y2}, true);
  if (Op == lkspReplace) FMask->Empty();
  EndSelect();
  RepaintSelection();
  ShowSelectionEx(true);
}

void TLumerakView::SelectCustom() {
  FSelected = !FMask->IsEmpty();
  ShowSelectionEx(true);
  RepaintSelection();
}

void TLumerakView::SelectMagicWand(Integer X, Integer Y, TLKSelOp Op) {
  ConvPoint(X, Y);
  TLKBitmap* bmp = GetLKBitmap();
  const Integer W = bmp->GetWidth(), H = bmp->GetHeight();
  // The seed must be a pixel of the picture: its right and bottom edges are
  // not.
  if (X < 0 || X >= W || Y < 0 || Y >= H) return;
  TLKAnimPolygon* o = GetSelectionOutline();
  if (WandMode == lkwInclusive) {
    std::vector<TPoint> pts = _MakeMagicWandPoints(bmp, X, Y, WandMaxFilter, WandTolerance);
    if (!pts.empty()) {
      FSelected = true;
      if (Op == lkspAdd && o->Count() > 0) {
        AnimPolygonAddBreak(o);
      } else {
        o->Points.clear();
        FMask->Empty();
      }
      for (const TPoint& p : pts) AnimPolygonAddPtEx(o, Clamp(p.X, 0, W), Clamp(p.Y, 0, H));
      if (Op == lkspReplace) FMask->Empty();
      EndSelect();
      ShowSelectionEx(true);
    }
  } else {
    if (Op == lkspReplace) {
      o->Points.clear();
      FMask->Empty();
    }
    if (WandMode == lkwExclusive)
      _MakeMagicWandPointsEx(bmp, X, Y, WandMaxFilter, WandTolerance, FMask.get(), FIntensity);
    else
      _MakeMagicWandPointsEx2(bmp, X, Y, WandTolerance, FMask.get(), FIntensity);
    FSelected = !FMask->IsEmpty();
    ShowSelectionEx(true);
  }
  RepaintSelection();
}

void TLumerakView::AddSelPoint(Integer X, Integer Y) {
  AddSelPointEx(X, Y);
  RepaintSelection();
}

void TLumerakView::AddSelPointEx(Integer X, Integer Y) {
  if (FSelectionBase == lksbClientArea) {
    ConvPoint(X, Y);
    X = Clamp(X, 0, GetLKBitmap()->GetWidth());
    Y = Clamp(Y, 0, GetLKBitmap()->GetHeight());
  }
  AnimPolygonAddPt(GetSelectionOutline(), X, Y);
  ShowSelectionEx(true);
}

void TLumerakView::AddSelBreakEx() {
  if (GetSelectionOutline()->Count() > 0) AnimPolygonAddBreak(GetSelectionOutline());
}

void TLumerakView::EndSelect() {
  TLKAnimPolygon* o = GetSelectionOutline();
  FMask->DrawPolygon(FIntensity, o->Points.data(), o->Count());
  if (FMask->IsEmpty()) {
    FSelected = false;
    o->Points.clear();
  }
}

void TLumerakView::ShowSelectionEx(bool Draw) {
  GetSelectionOutline()->Shown = true;
  if (Draw) AniPolyFunc(this, false);
}

void TLumerakView::HideSelectionEx(bool Repaint) {
  GetSelectionOutline()->Shown = false;
  if (Repaint && FPaintLock == 0) RepaintSelection();
}

void TLumerakView::SetVisibleSelection(bool Value) {
  FVisibleSelection = Value;
  if (Value)
    ShowSelectionEx(true);
  else
    HideSelectionEx(true);
  Update();
}

void TLumerakView::SetSelectionOptions(TLKSelectionOptions Value) {
  FSelectionOptions = Value;
  GetSelectionOutline()->Animated = Value.Contains(lksoAnimated);
  GetSelectionOutline()->Sizeable = Value.Contains(lksoSizeable);
  Update();
}

void TLumerakView::SetSelColor1(TColor Value) { FSelColor1 = GetSelectionOutline()->Color1 = Value; }
void TLumerakView::SetSelColor2(TColor Value) { FSelColor2 = GetSelectionOutline()->Color2 = Value; }

void TLumerakView::SetSelectionAspectRatio(double Value) {
  if (Value == FAspectRatio) return;
  FAspectRatio = Value;
  TLKSelectionOptions o = FSelectionOptions;
  if (Value != 0)
    o.Include(lksoSizeable);
  else
    o.Exclude(lksoSizeable);
  SetSelectionOptions(o);
}

void TLumerakView::SetSelectionGripStyle(TColor PenColor, TColor BrushColor, TBrushStyle BrushStyle, Integer Size,
                                         bool SideGrips) {
  FGripStyle = TLKGripStyle{PenColor, BrushColor, BrushStyle, Size, SideGrips};
}

TLKGrip TLumerakView::SelectResizeEx(TLKGrip Grip, Integer X, Integer Y, bool MaintainAspect) {
  if (!OutlineIsRect()) return Grip;
  if (TLKLayer* layer = GetCurrentLayer()) {
    X = layer->ConvXScr2Bmp(X);
    Y = layer->ConvYScr2Bmp(Y);
  }
  const Integer W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  const Integer X1o = FResizeOrigin.Left, Y1o = FResizeOrigin.Top, X2o = FResizeOrigin.Right,
                Y2o = FResizeOrigin.Bottom;
  TLKGrip as = Grip;
  double r = 1;
  if (MaintainAspect) {
    const Integer h0 = Y2o - Y1o + 1;
    if (h0 == 0) return Grip;
    r = FAspectRatio > 0 ? 1 / FAspectRatio : double(X2o - X1o + 1) / h0;
    // The stepping loops of the aspect rule are bounded by the picture: a
    // point further out than one picture size cannot come back inside.
    const Integer limit = 2 * (W + H) + 16;
    switch (Grip) {
      case lkTopLeft:
      case lkLeftSide:
        for (Integer i = 0; i < limit; ++i) {
          Y = RoundEven((Y2o * r + X - X2o - 1 + r) / r);
          if (Y >= 0) break;
          ++X;
        }
        as = lkTopLeft;
        break;
      case lkTopRight:
        for (Integer i = 0; i < limit; ++i) {
          Y = RoundEven((Y2o * r + X1o - X - 1) / r);
          if (Y >= 0) break;
          --X;
        }
        break;
      case lkBottomRight:
      case lkRightSide:
        Y = RoundEven((Y1o * r + X - X1o + 1 - r) / r);
        as = lkBottomRight;
        break;
      case lkBottomLeft:
        for (Integer i = 0; i < limit; ++i) {
          Y = RoundEven((Y1o * r + X2o - X + 1 + r) / r);
          if (Y <= H) break;
          ++X;
        }
        break;
      case lkTopSide:
        for (Integer i = 0; i < limit; ++i) {
          X = RoundEven(Y * r - Y2o * r - r + X2o + 1);
          if (X >= 0) break;
          ++Y;
        }
        as = lkTopLeft;
        break;
      case lkBottomSide:
        for (Integer i = 0; i < limit; ++i) {
          X = RoundEven(Y * r - Y1o * r + r + X1o - 1);
          if (X <= W) break;
          --Y;
        }
        as = lkBottomRight;
        break;
      default:
        break;
    }
  }
  if (as == lkTopRight || as == lkBottomRight || as == lkRightSide) ++X;
  if (as == lkBottomRight || as == lkBottomLeft || as == lkBottomSide) ++Y;
  TLKAnimPolygon* o = GetSelectionOutline();
  Integer x1 = o->X1, y1 = o->Y1, x2 = o->X2, y2 = o->Y2;
  if (as == lkTopLeft || as == lkBottomLeft || as == lkLeftSide) x1 = X - (X == x2 ? 1 : 0);
  if (as == lkTopRight || as == lkBottomRight || as == lkRightSide) x2 = X + (X == x1 ? 1 : 0);
  if (as == lkTopLeft || as == lkTopRight || as == lkTopSide) y1 = Y - (Y == y2 ? 1 : 0);
  if (as == lkBottomRight || as == lkBottomLeft || as == lkBottomSide) y2 = Y + (Y == y1 ? 1 : 0);
  TLKGrip result = Grip;
  if (x1 > x2) {
    static const TLKGrip mirrorH[] = {lkNone,      lkTopRight,  lkTopLeft, lkBottomLeft, lkBottomRight,
                                      lkRightSide, lkLeftSide, lkTopSide, lkBottomSide};
    result = mirrorH[result];
  }
  if (y1 > y2) {
    static const TLKGrip mirrorV[] = {lkNone,     lkBottomLeft, lkBottomRight, lkTopRight,  lkTopLeft,
                                      lkLeftSide, lkRightSide,  lkBottomSide,  lkTopSide};
    result = mirrorV[result];
  }
  o->Points.clear();
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (MaintainAspect) {
    const double c = 1 / r;
    if (y2 >= H)
      x2 = RoundEven((x1 * c + H - 1 - y1) / c);
    else if (y1 < 0)
      x1 = RoundEven((x2 * c - y2) / c);
    else if (x2 >= W)
      y2 = RoundEven((W - 1 - x1) * c + y1);
    else if (x1 < 0)
      y1 = RoundEven(y2 - x2 * c);
  }
  x1 = Clamp(x1, 0, W);
  x2 = Clamp(x2, 0, W);
  y1 = Clamp(y1, 0, H);
  y2 = Clamp(y2, 0, H);
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  AnimPolygonAddPtEx(o, x1, y1);
  AnimPolygonAddPtEx(o, x2, y1);
  AnimPolygonAddPtEx(o, x2, y2);
  AnimPolygonAddPtEx(o, x1, y2);
  ShowSelectionEx(true);
  return result;
}

Integer TLumerakView::SelectMoveEx(Integer MoveGrip, Integer DX, Integer DY, bool CutBorders) {
  FRectMoved = OutlineIsRect();
  if (FRectMoved)
    FMask->Empty();
  else
    FMask->TranslateBitmap(DX, DY, CutBorders);
  if (DX == 0 && DY == 0) return MoveGrip;
  AnimPolygonMove(GetSelectionOutline(), DX, DY, GetLKBitmap()->GetWidth(), GetLKBitmap()->GetHeight(),
                  CutBorders);
  ShowSelectionEx(true);
  return MoveGrip;
}

void TLumerakView::MoveSelection(Integer DX, Integer DY) {
  SelectMoveEx(0, DX, DY, FSelectionOptions.Contains(lksoCutBorders));
  EndSelect();
  // The mask has been rebuilt from the moved outline: no drag is pending.
  FRectMoved = false;
}

void TLumerakView::InvertSelection() {
  FMask->SyncFull();
  if (FMask->GetFull()) {
    DeSelect();
    return;
  }
  GetSelectionOutline()->Points.clear();
  ShowSelectionEx(true);
  FMask->Negative(FIntensity);
  RepaintSelection();
}

void TLumerakView::SetSelectionMaskDepth(Integer Depth) {
  if ((Depth != 1 && Depth != 8) || Depth == GetSelectionMaskDepth()) return;
  if (FSelected) DeSelect();
  FMask->AllocateBits(FMask->GetWidth(), FMask->GetHeight(), Depth);
  FIntensity = Depth == 1 ? 1 : 255;
}

void TLumerakView::SetSelectionIntensity(Integer Value) {
  FIntensity = Value;
  if (!FSelected || FMask->GetBitsPerPixel() != 8 || FMask->IsEmpty()) return;
  for (Integer y = FMask->GetY1(); y <= FMask->GetY2(); ++y) {
    Byte* row = FMask->GetScanLine(y);
    for (Integer x = FMask->GetX1(); x <= FMask->GetX2(); ++x)
      if (row[x] != 0) row[x] = static_cast<Byte>(Value);
  }
}

// ---------------------------------------------------------------------------
// Animated polygons
// ---------------------------------------------------------------------------

TLKAnimPolygon* TLumerakView::AnimPolygonNew(TColor Color1, TColor Color2, bool Animated, bool Sizeable) {
  auto p = std::make_unique<TLKAnimPolygon>();
  p->Color1 = Color1;
  p->Color2 = Color2;
  p->Animated = Animated;
  p->Sizeable = Sizeable;
  FPolygons.push_back(std::move(p));
  if (FPolygons.size() == 1 && !Designing()) GetOutlineTimer()->SetEnabled(true);
  return FPolygons.back().get();
}

void TLumerakView::AnimPolygonDel(TLKAnimPolygon* Polygon) {
  if (Polygon == nullptr) return;
  auto it = std::find_if(FPolygons.begin(), FPolygons.end(), [&](const auto& P) { return P.get() == Polygon; });
  if (it == FPolygons.end()) return;
  FPolygons.erase(it);
  if (FPolygons.empty()) GetOutlineTimer()->SetEnabled(false);
  if (FPaintLock == 0) RepaintSelection();
}

void TLumerakView::AnimPolygonClear(TLKAnimPolygon* Polygon) {
  Polygon->Points.clear();
  if (FPaintLock == 0) RepaintSelection();
}

void TLumerakView::AnimPolygonAddPtEx(TLKAnimPolygon* P, Integer X, Integer Y) {
  P->Append(TPoint{X, Y});
  if (P->Count() == 2) {
    const TPoint& a = P->Points[0];
    P->X1 = std::min(a.X, X);
    P->Y1 = std::min(a.Y, Y);
    P->X2 = std::max(a.X, X);
    P->Y2 = std::max(a.Y, Y);
  } else if (P->Count() > 2) {
    P->X1 = std::min(P->X1, X);
    P->Y1 = std::min(P->Y1, Y);
    P->X2 = std::max(P->X2, X);
    P->Y2 = std::max(P->Y2, Y);
  }
  FSelected = true;
}

void TLumerakView::AnimPolygonAddPt(TLKAnimPolygon* Polygon, Integer X, Integer Y) {
  AnimPolygonAddPtEx(Polygon, X, Y);
  if (FPaintLock == 0) RepaintSelection();
}

void TLumerakView::AnimPolygonAddBreak(TLKAnimPolygon* P) {
  if (P->Count() > 0 && IsSelBreak(P->Points.back())) return;
  P->Append(TPoint{LKSelBreak, LKSelBreak});
}

void TLumerakView::AnimPolygonRemoveLast(TLKAnimPolygon* P) {
  if (P->Count() == 0) return;
  Integer i = P->Count() - 1;
  while (i >= 0 && !IsSelBreak(P->Points[static_cast<std::size_t>(i)])) --i;
  P->Points.resize(static_cast<std::size_t>(std::max(i, 0)));
  if (P->Count() == 0)
    AnimPolygonClear(P);
  else if (FPaintLock == 0)
    RepaintSelection();
}

void TLumerakView::AnimPolygonRemoveLastPoint(TLKAnimPolygon* P) {
  if (P->Count() == 0) return;
  P->Points.pop_back();
  while (P->Count() > 0 && IsSelBreak(P->Points.back())) P->Points.pop_back();
}

void TLumerakView::AnimPolygonEnabled(TLKAnimPolygon* Polygon, bool Enabled) {
  Polygon->Shown = Enabled;
  AniPolyFunc(this, false);
}

void TLumerakView::AnimPolygonMove(TLKAnimPolygon* P, Integer DX, Integer DY, Integer Width, Integer Height,
                                   bool CutBorders) {
  if (FPaintLock == 0) RepaintSelection();
  // Sums in 64 bits: a box read from a stream may lie anywhere.
  Int64 dx = DX, dy = DY;
  const Int64 x1 = P->X1, y1 = P->Y1, x2 = P->X2, y2 = P->Y2;
  auto limit = [&] {
    if (x1 + dx < 0) dx = -x1;
    if (x2 + dx > Width) dx = Width - x2;
    if (y1 + dy < 0) dy = -y1;
    if (y2 + dy > Height) dy = Height - y2;
  };
  if (!CutBorders) {
    limit();
    // A box that still lies wholly outside the picture does not move.
    if (x2 + dx <= 0 || x1 + dx >= Width || y2 + dy <= 0 || y1 + dy >= Height) return;
  } else if (x1 + dx >= Width || y1 + dy >= Height || x2 + dx <= 0 || y2 + dy <= 0) {
    limit();
  }
  auto clampTo = [](Int64 V, Integer Hi) { return static_cast<Integer>(std::clamp<Int64>(V, 0, std::max(Hi, 0))); };
  P->X1 = clampTo(x1 + dx, Width);
  P->X2 = clampTo(x2 + dx, Width);
  P->Y1 = clampTo(y1 + dy, Height);
  P->Y2 = clampTo(y2 + dy, Height);
  for (TPoint& p : P->Points) {
    if (IsSelBreak(p)) continue;
    p.X = clampTo(p.X + dx, Width);
    p.Y = clampTo(p.Y + dy, Height);
  }
}

// ---------------------------------------------------------------------------
// Drawing and the outline timer
// ---------------------------------------------------------------------------

void TLumerakView::AniPolyFunc(TObject* Sender, bool Redraw) {
  // The outline draws on the window's canvas: never from another thread.
  if (!IsMainThread()) return;
  const bool fromTimer = FTimer != nullptr && Sender == FTimer.get();
  bool keepTimer = false;
  TCanvas* C = GetCanvas();
  if (HasParentWindow() && FVisibleSelection && !Designing()) {
    for (std::size_t idx = 0; idx < FPolygons.size(); ++idx) {
      TLKAnimPolygon* P = FPolygons[idx].get();
      if (!P->Shown) continue;
      if (P->Animated) {
        keepTimer = true;
        if (fromTimer && !DragInProgress()) {
          P->Phase = (P->Phase + 1) % 10;
          ++FMaskPhase;
        }
      }
      const TRect clip = C->GetClipRect();
      if ((clip.Left == 0 && clip.Top == 0 && clip.Right == 0 && clip.Bottom == 0) || FPaintLock > 0 ||
          (Redraw && C->GetLockCount() > 0) || FAutoScrolling)
        continue;
      const bool rect = _IsRectangle(P->Points.data(), P->Count());
      if (P->Sizeable && rect && !FRectDrawing && FMovingGrip < 0 && !FRectMoved) DrawGrips(P, C);
      if (idx == 0 && !FMask->IsEmpty() && FResizingGrip == lkNone && !FRectDrawing && !FCircleDrawing &&
          !FPolyDrawing && !FRectMoved) {
        if (FCountdownGate && FOutlineCountdown > 0) continue;
        TLKLayer* layer = GetCurrentLayer();
        if (layer == nullptr) continue;
        const TLKPaintPlacement& pl = layer->Placement;
        const DWORD start = OutlineClock();
        FMask->DrawOutline(C, pl.DestX, pl.DestY, pl.DestWidth, pl.DestHeight, pl.SourceX, pl.SourceY,
                           pl.SourceWidth, pl.SourceHeight, FMaskPhase, P->Color1, P->Color2);
        const DWORD elapsed = OutlineClock() - start;
        if (FDelayTimer < 0)
          GetOutlineTimer()->SetInterval(static_cast<Cardinal>(
              std::max<Int64>(kTimerInterval, static_cast<Int64>(elapsed) * 100 / -FDelayTimer)));
      } else {
        DrawPolygonLines(P, static_cast<Integer>(idx), C);
      }
    }
  }
  // The timer and its countdowns run whether or not anything was drawn, so
  // that the delayed zoom filter completes with the selection hidden. The
  // countdowns count timer ticks only: a paint between ticks does not
  // shorten them.
  FKeepTimer = keepTimer;
  if (fromTimer)
    FilterTick();
  else
    TimerStep();
}

void TLumerakView::DrawGrips(TLKAnimPolygon* P, TCanvas* C) {
  TLKLayer* layer = GetCurrentLayer();
  if (layer == nullptr) return;
  C->GetBrush()->SetStyle(FGripStyle.BrushStyle);
  C->GetBrush()->SetColor(FGripStyle.BrushColor);
  C->GetPen()->SetColor(FGripStyle.PenColor);
  const Integer g = FGripStyle.Size;
  Integer minX = 10000000, minY = 10000000, maxX = -1000000, maxY = -1000000;
  for (const TPoint& p : P->Points) {
    if (IsSelBreak(p)) continue;
    const Integer x = layer->ConvXBmp2Scr(p.X), y = layer->ConvYBmp2Scr(p.Y);
    C->Rectangle(x - g, y - g, x + g, y + g);
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
  if (FGripStyle.SideGrips) {
    const Integer mx = (minX + maxX) / 2, my = (minY + maxY) / 2;
    C->Rectangle(mx - g, minY - g, mx + g, minY + g);
    C->Rectangle(minX - g, my - g, minX + g, my + g);
    C->Rectangle(maxX - g, my - g, maxX + g, my + g);
    C->Rectangle(mx - g, maxY - g, mx + g, maxY + g);
  }
}

void TLumerakView::DrawPolygonLines(TLKAnimPolygon* P, Integer Index, TCanvas* C) {
  TLKLayer* layer = GetCurrentLayer();
  if (layer == nullptr || P->Count() == 0) return;
  P->DashCounter = P->Phase;
  auto plot = [&](Integer X, Integer Y) {
    C->SetPixel(X, Y, P->DashCounter < 4 ? P->Color1 : P->Color2);
    if (P->DashCounter >= 7) P->DashCounter = -1;
    ++P->DashCounter;
  };
  auto sx = [&](const TPoint& p) { return layer->ConvXBmp2Scr(p.X); };
  auto sy = [&](const TPoint& p) { return layer->ConvYBmp2Scr(p.Y); };
  auto fire = [&](Integer Point, Integer X, Integer Y) {
    if (OnDrawPolygon) OnDrawPolygon(this, Index, Point, C, X, Y);
  };
  const auto& pts = P->Points;
  if (_IsRectangle(pts.data(), P->Count())) {
    const Integer x1 = sx(pts[0]), y1 = sy(pts[0]), x2 = sx(pts[2]) - 1, y2 = sy(pts[2]) - 1;
    const Integer lines[4][4] = {{x1, y1, x2, y1}, {x2, y1, x2, y2}, {x2, y2, x1, y2}, {x1, y1, x1, y2}};
    const Integer ends[4][2] = {{x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
    for (Integer k = 0; k < 4; ++k) {
      if (Index == 0) P->DashCounter = 0;
      LineDDA(lines[k][0], lines[k][1], lines[k][2], lines[k][3], plot);
      fire((k + 1) % 4, ends[k][0], ends[k][1]);
    }
    return;
  }
  std::size_t start = 0;
  const std::size_t n = pts.size();
  for (std::size_t i = 1; i < n; ++i) {
    if (IsSelBreak(pts[i])) {
      LineDDA(sx(pts[i - 1]), sy(pts[i - 1]), sx(pts[start]), sy(pts[start]), plot);
      fire(static_cast<Integer>(i - 1), sx(pts[i - 1]), sy(pts[i - 1]));
      start = i + 1;
      ++i;
      continue;
    }
    LineDDA(sx(pts[i - 1]), sy(pts[i - 1]), sx(pts[i]), sy(pts[i]), plot);
    fire(static_cast<Integer>(i - 1), sx(pts[i - 1]), sy(pts[i - 1]));
  }
  if (!FPolyDrawing && start < n) {
    LineDDA(sx(pts[n - 1]), sy(pts[n - 1]), sx(pts[start]), sy(pts[start]), plot);
    fire(static_cast<Integer>(n - 1), sx(pts[n - 1]), sy(pts[n - 1]));
  }
}

// ---------------------------------------------------------------------------
// Navigator
// ---------------------------------------------------------------------------

namespace {
// Sets a flag for its lifetime (exceptions included).
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& Flag) : flag_(Flag) { flag_ = true; }
  ~TFlagGuard() { flag_ = false; }

 private:
  bool& flag_;
};
}  // namespace

void TLumerakView::SetNavigator(TLumerakView* View) {
  if (View == this) return;
  if (FNavigator != nullptr) {
    FNavigator->OnSelectionChanging = nullptr;
    FNavigator->SetExternalBitmap(nullptr);
    FNavigator->RemoveFreeNotification(this);
  }
  FNavigator = View;
  if (View == nullptr) return;
  View->SetAutoFit(true);
  View->SetMouseInteract(TLKMouseInteract{miSelect});
  View->SetSelectionBase(lksbBitmap);
  View->SetSelectionOptions(TLKSelectionOptions{lksoMoveable, lksoCanScroll});
  View->SetExternalBitmap(FCurrent);
  View->OnSelectionChanging = [this](TObject* Sender) { NavigatorSelectionChanging(Sender); };
  View->FreeNotification(this);
  SetNavigatorRect();
}

void TLumerakView::SetNavigatorRect() {
  if (FNavigator == nullptr || FNavigatorGuard) return;
  TFlagGuard guard(FNavigatorGuard);
  Paint();
  const Integer a = XScr2Bmp(FGeo.OffX), b = YScr2Bmp(FGeo.OffY);
  const Integer c = XScr2Bmp(FGeo.OffX + FGeo.DW), d = YScr2Bmp(FGeo.OffY + FGeo.DH);
  FNavigator->FixedSelWidth = c - a;
  FNavigator->FixedSelHeight = d - b;
  FNavigator->SetSelectionAspectRatio(0);
  FNavigator->Select(a, b, c, d, lkspReplace);
}

void TLumerakView::NavigatorSelectionChanging(TObject*) {
  if (FNavigator == nullptr || FNavigatorGuard) return;
  TFlagGuard guard(FNavigatorGuard);
  SetViewXY(RoundEven(FNavigator->GetSelX1() * FGeo.ZoomX / 100), RoundEven(FNavigator->GetSelY1() * FGeo.ZoomY / 100));
}

void TLumerakView::Notification(TComponent* AComponent, TOperation Operation) {
  TLKView::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FNavigator) FNavigator = nullptr;
}
