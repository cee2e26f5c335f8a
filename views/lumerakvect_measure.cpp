// Measurement in the vector view: units and coefficients, the scale, the
// measure hint, polyline and selection geometry, angle values, and the
// drawing of rulers, dimension lines, angles and line labels.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkdrawhelpers.h"
#include "core/lkmask.h"
#include "core/lkmath.h"
#include "processing/lkmagicwand.h"
#include "processing/lkredeye.h"
#include "views/lkvectgeom.h"
#include "views/lkviewgeometry.h"
#include "views/lumerakvect.h"

namespace {

constexpr Integer kLastPos = -1000000;
constexpr double kTwoPi = 6.283185307179586;
// Ticks closer than this (screen pixels) are not drawn: a ruler in a small
// unit would otherwise draw millions of them.
constexpr double kMinTickSpacing = 2.0;

// Pen and font of rulers and angles: a solid copy pen, the record's face at
// its height over the scale (at least 3 pixels), a clear brush.
void MeasurePenAndFont(TCanvas* C, TColor Color, Integer PenWidth, const TLKLogFont* Font, double ScaleY) {
  TPen* pen = C->GetPen();
  pen->SetMode(pmCopy);
  pen->SetWidth(PenWidth);
  pen->SetStyle(psSolid);
  pen->SetColor(Color);
  TFont f;
  if (Font != nullptr) {
    LKLogFontToFont(*Font, Color, f);
    f.SetOrientation(0);
    f.SetHeight(-std::max(3, LKTruncClamp(std::abs(Font->lfHeight) / ScaleY)));
  } else {
    f.SetColor(Color);
  }
  C->SetFont(&f);
  C->GetBrush()->SetStyle(bsClear);
}

}  // namespace

// ---------------------------------------------------------------------------
// Units and scale
// ---------------------------------------------------------------------------

void TLumerakVect::CalcCoef(double& CX, double& CY, TLKUnits Unit) {
  LKVectCalcCoef(Unit, GetDpiX(), GetDpiY(), FScale, CX, CY);
}

void TLumerakVect::SetMUnit(TLKUnits Value) {
  FMUnit = Value;
  FTemplate.RulerUnit = Value;
  CalcCoef(FCoefX, FCoefY, FMUnit);
  UpdateHint(kLastPos, kLastPos);
}

void TLumerakVect::SetFloatDigits(Integer Value) {
  FFloatDigits = Value;
  UpdateHint(kLastPos, kLastPos);
}

void TLumerakVect::SetFloatPrecision(Integer Value) {
  FFloatPrecision = Value;
  UpdateHint(kLastPos, kLastPos);
}

void TLumerakVect::SetDPIX(Integer Value) {
  TLumerakView::SetDPIX(Value);
  CalcCoef(FCoefX, FCoefY, FMUnit);
  UpdateHint(kLastPos, kLastPos);
  Update();
}

void TLumerakVect::SetDPIY(Integer Value) {
  TLumerakView::SetDPIY(Value);
  CalcCoef(FCoefX, FCoefY, FMUnit);
  UpdateHint(kLastPos, kLastPos);
  Update();
}

void TLumerakVect::SetScale(double Value) {
  // A scale of 0 (or worse) would make every coefficient 0 and the next
  // calibration divide by it.
  if (!(Value > 0) || !std::isfinite(Value)) return;
  FScale = Value;
  CalcCoef(FCoefX, FCoefY, FMUnit);
  UpdateHint(kLastPos, kLastPos);
  Update();
}

void TLumerakVect::SetScaleFromPixels(Integer Pixels, double Length) {
  if (Pixels <= 0 || !(Length > 0)) return;
  SetScale(Length / Pixels / (FCoefX / FScale));
}

void TLumerakVect::SetScaleFromSelectionLen(double Length) {
  const double kx = FCoefX, ky = FCoefY;
  FCoefX = FCoefY = 1.0;
  const double pixels = GetSelectionLen();
  FCoefX = kx;
  FCoefY = ky;
  SetScaleFromPixels(LKRoundEven(pixels), Length);
}

// ---------------------------------------------------------------------------
// Selection measures
// ---------------------------------------------------------------------------

double TLumerakVect::GetSelectionLen() {
  const TPoint r = GetRubberPoint();
  return LKOutlineLength(GetPolySelArray(), GetPolySelCount(), GetPolygonDrawing(), MeasureToMouse,
                         TPoint{XScr2Bmp(r.X), YScr2Bmp(r.Y)}, FCoefX, FCoefY);
}

double TLumerakVect::GetSelectionArea() {
  const Integer n = GetPolySelCount();
  if (n > 2) return LKOutlineArea(GetPolySelArray(), n, FCoefX, FCoefY);
  TLKMask* m = GetSelectionMask();
  if (m == nullptr || m->IsEmpty() || m->GetBitsPerPixel() != 1) return 0;
  double count = 0;
  for (Integer y = m->GetY1(); y <= m->GetY2(); ++y)
    for (Integer x = m->GetX1(); x <= m->GetX2(); ++x)
      if (m->GetPixel(x, y)) ++count;
  return FCoefX * FCoefY * count;
}

TPoint TLumerakVect::GetSelectionCentroid() {
  const Integer n = GetPolySelCount();
  if (n > 2) return LKOutlineCentroid(GetPolySelArray(), n);
  TLKMask* m = GetSelectionMask();
  if (m == nullptr || m->IsEmpty() || m->GetBitsPerPixel() != 1) return TPoint{0, 0};
  double sx = 0, sy = 0, count = 0;
  for (Integer y = m->GetY1(); y <= m->GetY2(); ++y)
    for (Integer x = m->GetX1(); x <= m->GetX2(); ++x)
      if (m->GetPixel(x, y)) {
        sx += x;
        sy += y;
        ++count;
      }
  if (count == 0) return TPoint{0, 0};
  return TPoint{LKRoundEven(sx / count + 1), LKRoundEven(sy / count + 1)};
}

// ---------------------------------------------------------------------------
// The measure hint
// ---------------------------------------------------------------------------

void TLumerakVect::HintShow(Integer X, Integer Y) {
  if (!FHintActive) return;
  if (X == kLastPos) X = FHintPos.X;
  if (Y == kLastPos) Y = FHintPos.Y;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  double v = 0;
  bool area = false, any = true;
  if (FMouseInteractVt.Contains(miArea)) {
    v = GetSelectionArea();
    area = true;
  } else if (FMouseInteractVt.Contains(miLineLen)) {
    v = GetSelectionLen();
  } else if (FMouseInteractVt.Contains(miDragLen)) {
    const TPoint a = GetAnchorPoint();
    const TLKViewGeometry& g = GetGeometry();
    // One pixel is added to the span's size whichever way the drag runs.
    const double dx = (std::abs(X - a.X) + 1) * FCoefX * g.ix, dy = (std::abs(Y - a.Y) + 1) * FCoefY * g.iy;
    v = std::sqrt(dx * dx + dy * dy);
  } else {
    any = false;
  }
  if (v == 0) v = FLastMeasure;
  FLastMeasure = v;
  std::string text;
  if (any) {
    text = LKFormatFixed(v, FFloatPrecision, FFloatDigits) + " " + LKUnitName(FMUnit);
    if (area) text += "\xC2\xB2";
  }
  if (OnMeasureHint) OnMeasureHint(this, text, v);
  FHintText = text;
  TCanvas* c = GetCanvas();
  if (c == nullptr) return;
  LKDrawHint(c, X, Y, text, FHintFont.get(), FHintBrush.get(), FHintBack.get(), GetClientWidth(), GetClientHeight(),
             FHintLight, FHintDark);
  FHintPos = TPoint{X, Y};
  SurfaceWritten();
}

void TLumerakVect::HintRestore() {
  if (!FHintActive || FHintBack->GetWidth() < 2) return;
  TCanvas* c = GetCanvas();
  if (c != nullptr) {
    c->SetCopyMode(cmSrcCopy);
    c->Draw(FHintPos.X, FHintPos.Y, FHintBack.get());
    SurfaceWritten();
  }
  FHintBack->SetWidth(1);
}

void TLumerakVect::UpdateHint(Integer X, Integer Y) {
  HintRestore();
  HintShow(X, Y);
}

// ---------------------------------------------------------------------------
// Polylines
// ---------------------------------------------------------------------------

void TLumerakVect::CalcZxZyPolyline(TLKVObject& O, double& ZX, double& ZY) {
  LKPolylineFactors(O.PolyBox, O.X1, O.Y1, O.X2, O.Y2, ZX, ZY);
}

std::vector<TLKDPoint> TLumerakVect::PolylineBitmapPoints(TLKVObject& O) {
  double zx, zy;
  CalcZxZyPolyline(O, zx, zy);
  std::vector<TLKDPoint> r;
  r.reserve(O.PolyPoints.size());
  for (const TPoint& p : O.PolyPoints)
    r.push_back(TLKDPoint{(p.X - O.PolyBox.Left) * zx + O.X1, (p.Y - O.PolyBox.Top) * zy + O.Y1});
  return r;
}

void TLumerakVect::RecalcPolylineBox(TLKVObject& O) {
  double zx, zy;
  CalcZxZyPolyline(O, zx, zy);
  TRect r{1000000, 1000000, -1000000, -1000000}, box{1000000, 1000000, -1000000, -1000000};
  for (const TPoint& p : O.PolyPoints) {
    const Integer x = LKRoundEven((p.X - O.PolyBox.Left) * zx + O.X1);
    const Integer y = LKRoundEven((p.Y - O.PolyBox.Top) * zy + O.Y1);
    r = TRect{std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x), std::max(r.Bottom, y)};
    box = TRect{std::min(box.Left, p.X), std::min(box.Top, p.Y), std::max(box.Right, p.X), std::max(box.Bottom, p.Y)};
  }
  O.X1 = r.Left;
  O.Y1 = r.Top;
  O.X2 = r.Right;
  O.Y2 = r.Bottom;
  O.PolyBox = box;
}

double TLumerakVect::GetPolylineLen(Integer hobj) {
  TLKVObject& o = Obj(hobj);
  return o.Kind == lkkPOLYLINE ? LKPolylineLength(PolylineBitmapPoints(o), FCoefX, FCoefY) : 0;
}

double TLumerakVect::GetPolylineArea(Integer hobj) {
  TLKVObject& o = Obj(hobj);
  return o.Kind == lkkPOLYLINE ? LKPolygonArea(PolylineBitmapPoints(o), FCoefX, FCoefY) : 0;
}

TPoint TLumerakVect::GetPolylineCentroid(Integer hobj) {
  TLKVObject& o = Obj(hobj);
  if (o.Kind != lkkPOLYLINE || o.PolyPoints.empty()) return TPoint{0, 0};
  return LKPolygonCentroid(PolylineBitmapPoints(o));
}

double TLumerakVect::GetObjDiagLen(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  // One pixel is added to each span whichever way the object runs.
  return LKStepLen(std::abs(static_cast<double>(o.X2) - o.X1) + 1, std::abs(static_cast<double>(o.Y2) - o.Y1) + 1,
                   FCoefX, FCoefY);
}

Integer TLumerakVect::CreatePolygonFromEdge(Integer X, Integer Y, bool WandOption, Integer Tolerance) {
  const Integer bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  TLKBitmap* b = GetLKBitmap();
  if (b == nullptr || bx < 0 || by < 0 || bx >= b->GetWidth() || by >= b->GetHeight()) return -1;
  std::vector<TPoint> pts = _MakeMagicWandPoints(b, bx, by, WandOption, Tolerance);
  if (pts.empty()) return -1;
  const Integer h = AddVObject(FTemplate);
  TLKVObject& o = Obj(h);
  o.Kind = lkkPOLYLINE;
  SetObjPolylinePoints(h, pts);
  AddPolyLinePoint(h, pts.front().X, pts.front().Y);
  Update();
  return h;
}

Integer TLumerakVect::CreatePolygonsFromSelection() {
  TLKMask* m = GetSelectionMask();
  if (!GetSelected() || m == nullptr || m->IsEmpty()) return 0;
  const std::vector<TPoint> pts = LKVectorize(m, m->GetX1(), m->GetY1(), m->GetX2(), m->GetY2());
  Integer count = 0, cur = -1;
  auto dropShort = [&] {
    if (cur >= 0 && Obj(cur).PolyPoints.size() < 3) {
      RemoveVObjData(Obj(cur));
      RemoveVObject(cur);
      FStore[static_cast<std::size_t>(cur)].reset();
      if (cur == static_cast<Integer>(FStore.size()) - 1) FStore.pop_back();
      --count;
    }
  };
  for (const TPoint& p : pts) {
    if (p.X == 2147483647) {
      dropShort();
      cur = AddVObject(FTemplate);
      TLKVObject& o = Obj(cur);
      o.Kind = lkkPOLYLINE;
      o.PolyPoints.clear();
      o.X1 = o.Y1 = 1000000;
      o.X2 = o.Y2 = -1000000;
      ++count;
    } else if (cur >= 0) {
      AddPolyLinePoint(cur, p.X, p.Y);
    }
  }
  dropShort();
  return count;
}

void TLumerakVect::SimplifyPolygon(Integer hobj, Integer MaxPoints) {
  TLKVObject& o = Obj(hobj);
  if (o.Kind != lkkPOLYLINE) return;
  std::vector<TPoint> pts;
  for (std::size_t i = 0; i < o.PolyPoints.size(); ++i) pts.push_back(GetObjPolylinePoints(hobj, static_cast<Integer>(i)));
  SetObjPolylinePoints(hobj, LKSimplify(pts, MaxPoints));
  Update();
}

bool TLumerakVect::RemovePolygonJaggedEdges(Integer hobj) {
  std::vector<TPoint> out;
  TLKVObject& o = Obj(hobj);
  if (o.Kind == lkkPOLYLINE) {
    std::vector<TPoint> pts;
    for (std::size_t i = 0; i < o.PolyPoints.size(); ++i) pts.push_back(GetObjPolylinePoints(hobj, static_cast<Integer>(i)));
    if (LKRemoveJaggedEdges(pts, out)) SetObjPolylinePoints(hobj, out);
  }
  Update();
  return !out.empty();
}

// ---------------------------------------------------------------------------
// Angles
// ---------------------------------------------------------------------------

Integer TLumerakVect::CountAnglePoints(const TPoint* Points) {
  Integer n = 0;
  while (n < 3 && Points[n].X != LKAngleUnset) ++n;
  return n;
}

double TLumerakVect::GetAngleValue(Integer hobj) {
  const TLKVObject& o = Obj(hobj);
  if (CountAnglePoints(o.AnglePoints) < 3) return 0;
  return LKAngleDegrees(o.AnglePoints[0], o.AnglePoints[1], o.AnglePoints[2]);
}

void TLumerakVect::FontToCanvas(TCanvas* C, const TLKLogFont* Font, double Scale, TColor Color) {
  TFont f;
  if (Font != nullptr) {
    LKLogFontToFont(*Font, Color, f);
    if (Scale != 1 && Scale > 0) {
      const Integer h = LKTruncClamp(std::abs(Font->lfHeight) * Scale);
      f.SetHeight(Font->lfHeight < 0 ? -std::max(h, 1) : std::max(h, 1));
    }
  } else {
    f.SetColor(Color);
  }
  C->SetFont(&f);
}

void TLumerakVect::DrawAngle(TCanvas* C, const TPoint* P, TColor Color, Integer PenWidth, TRect& DrawnRect,
                             bool ViewCoords, Integer M, double ScaleX, double ScaleY, const TLKLogFont* Font) {
  (void)ScaleX;
  const Integer n = CountAnglePoints(P);
  if (n == 0) return;
  MeasurePenAndFont(C, Color, PenWidth, Font, ScaleY);
  TPoint s[3];
  for (Integer i = 0; i < n; ++i) {
    s[i] = TPoint{VXBmp2Scr(P[i].X, ViewCoords, M), VYBmp2Scr(P[i].Y, ViewCoords, M)};
    LKSetplim(DrawnRect, s[i].X, s[i].Y);
  }
  C->MoveTo(s[0].X, s[0].Y);
  for (Integer i = 1; i < n; ++i) C->LineTo(s[i].X, s[i].Y);
  if (n == 3) {
    const std::string text = LKFormatFixed(LKAngleDegrees(P[0], P[1], P[2]), FFloatPrecision, FFloatDigits) + "\xC2\xB0";
    C->TextOut(s[1].X, s[1].Y, text);
    const TSize ext = C->TextExtent(text);
    LKSetplim(DrawnRect, s[1].X + ext.cx, s[1].Y + ext.cy);
    const Integer r = std::min(LKTruncClamp(_DistPoint2Point(s[1].X, s[1].Y, s[2].X, s[2].Y)) / 4,
                               LKTruncClamp(_DistPoint2Point(s[1].X, s[1].Y, s[0].X, s[0].Y)) / 4);
    if (r > 0) {
      C->Arc(s[1].X - r, s[1].Y - r, s[1].X + r, s[1].Y + r, s[0].X, s[0].Y, s[2].X, s[2].Y);
      LKSetplim(DrawnRect, s[1].X - r, s[1].Y - r);
      LKSetplim(DrawnRect, s[1].X + r, s[1].Y + r);
    }
  }
}

// ---------------------------------------------------------------------------
// Rulers and dimension lines
// ---------------------------------------------------------------------------

void TLumerakVect::DrawRuler(TCanvas* C, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKUnits Unit, TColor Color,
                             Integer PenWidth, TLKVRulerType Type, double ScaleX, double ScaleY, TRect& DrawnRect,
                             const TLKLogFont* Font) {
  if (X1 == X2 && Y1 == Y2) return;
  if (!(ScaleX > 0) || !(ScaleY > 0)) return;
  MeasurePenAndFont(C, Color, PenWidth, Font, ScaleY);
  TFont font;
  font.Assign(C->GetFont());
  const double L = _DistPoint2Point(X1, Y1, X2, Y2);
  const double ux = (X2 - X1) / L, uy = (Y2 - Y1) / L;
  // q: the direction ticks and numbers stand out to; the ruler's steps run
  // along (-sin q, cos q) (or its opposite when the line runs left).
  const double q = X2 < X1 ? std::atan2(ux, -uy) : std::atan2(-ux, uy);
  const bool downRightOrUpLeft = (X2 > X1 && Y2 > Y1) || (X2 < X1 && Y2 < Y1);
  C->MoveTo(X1, Y1);
  C->LineTo(X2, Y2);
  LKSetplim(DrawnRect, X1, Y1);
  LKSetplim(DrawnRect, X2, Y2);
  double cx, cy;
  CalcCoef(cx, cy, Unit);
  if (Type == lkrtRULER) {
    const double dx = 1 / (ScaleX * cx * 10), dy = 1 / (ScaleY * cy * 10);
    const double a = X2 < X1 ? std::sin(q) : -std::sin(q), b = X2 < X1 ? -std::cos(q) : std::cos(q);
    const double spacing = std::hypot(dx * a, dy * b);
    if (!(spacing > 0) || !std::isfinite(spacing)) return;
    // Ticks every tenth of a unit where the screen can show them; else
    // every 5, 10, 50, 100 ... tenths, the long ticks and numbers ten steps
    // apart.
    Int64 every = 1;
    for (Int64 f = 5; spacing * every < kMinTickSpacing && every < 1000000000; f = f == 5 ? 2 : 5) every *= f;
    if (spacing * every < kMinTickSpacing) return;
    const Integer bl = std::min(X1, X2), br = std::max(X1, X2), bt = std::min(Y1, Y2), bb = std::max(Y1, Y2);
    const double cq = std::cos(q), sq = std::sin(q);
    const Integer hText = C->TextHeight("0");
    double prev = 0;
    for (Int64 k = 0; prev < L && k < 10000000; k += every) {
      const Integer bx = X1 + LKTruncClamp(k * dx * a), by = Y1 + LKTruncClamp(k * dy * b);
      prev = _DistPoint2Point(X1, Y1, bx, by);
      if (bx < bl || bx > br || by < bt || by > bb) continue;
      const Integer hl = LKTruncClamp((k % (10 * every) == 0 ? 12 : k % (5 * every) == 0 ? 8 : 6) / ScaleY);
      const Integer tx = bx + LKTruncClamp(hl * cq), ty = by + LKTruncClamp(hl * sq);
      C->MoveTo(bx - LKTruncClamp(hl * cq), by - LKTruncClamp(hl * sq));
      C->LineTo(tx, ty);
      LKSetplim(DrawnRect, tx, ty);
      if (k % (10 * every) == 0) {
        const std::string text = std::to_string(k / 10);
        const Integer H2 = 2 * hText, Cw = C->TextWidth(text) / 2;
        Integer X, Y;
        if (downRightOrUpLeft) {
          X = LKTruncClamp(H2 * cq + tx - 2 * Cw * cq + Cw * sq);
          Y = LKTruncClamp(H2 * sq + ty - Cw * cq) + 20;
        } else {
          X = LKTruncClamp(H2 * cq + tx + Cw * sq);
          Y = LKTruncClamp(H2 * sq + ty + Cw * cq) + 20;
        }
        C->TextOut(X, Y, text);
        LKSetplim(DrawnRect, X - 15, Y - 15);
        LKSetplim(DrawnRect, X + 15, Y + 15);
      }
    }
    return;
  }
  // Dimension line: bars at both ends, the value along the line.
  const Integer bx = LKTruncClamp(9 / ScaleX * -uy), by = LKTruncClamp(9 / ScaleY * ux);
  for (const TPoint e : {TPoint{X1, Y1}, TPoint{X2, Y2}}) {
    C->MoveTo(e.X - bx, e.Y - by);
    C->LineTo(e.X + bx, e.Y + by);
    LKSetplim(DrawnRect, e.X - bx, e.Y - by);
    LKSetplim(DrawnRect, e.X + bx, e.Y + by);
  }
  const double delta = LKSegmentDirection(X1, Y1, X2, Y2);
  const double psi = kTwoPi - delta;
  const double length = LKStepLen(std::abs(X2 - X1) + 1.0, std::abs(Y2 - Y1) + 1.0, ScaleX * cx, ScaleY * cy);
  std::string text = LKFormatFixed(length, FFloatPrecision, FFloatDigits) + " " + LKUnitName(Unit);
  double at = 0;
  if (Type == lkrtQUOTEBEGIN) text = " " + text;
  if (Type == lkrtQUOTEEND) text += " ";
  const Integer W = C->TextWidth(text), Ht = C->TextHeight(text);
  if (Type == lkrtQUOTECENTER) at = (L - W) / 2;
  if (Type == lkrtQUOTEEND) at = L - W;
  const Integer esc = ((LKTruncClamp(-psi * 180 / M_PI * 10) % 3600) + 3600) % 3600;
  TFont turned;
  turned.Assign(C->GetFont());
  turned.SetOrientation(esc);
  C->SetFont(&turned);
  const Integer tx = X1 + LKTruncClamp(std::cos(psi) * at), ty = Y1 + LKTruncClamp(std::sin(psi) * at);
  C->TextOut(tx, ty, text);
  const Integer fx = tx + LKTruncClamp(std::cos(psi) * W), fy = ty + LKTruncClamp(std::sin(psi) * W);
  for (const TPoint p : {TPoint{tx, ty}, TPoint{fx, fy}}) {
    LKSetplim(DrawnRect, p.X - 15 - Ht, p.Y - 15 - Ht);
    LKSetplim(DrawnRect, p.X + 15 + Ht, p.Y + 15 + Ht);
  }
  C->SetFont(&font);
}

void TLumerakVect::DrawObjectLineLabel(TCanvas* C, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKVObject& O,
                                       double Zoom, TRect& DrawnRect) {
  if (!O.Text || O.Text->empty()) return;
  if (O.LabelPos == lklEnd) {
    std::swap(X1, X2);
    std::swap(Y1, Y2);
  }
  TFont keep;
  keep.Assign(C->GetFont());
  TFont f;
  if (O.LogFont) {
    LKLogFontToFont(*O.LogFont, O.PenColor, f);
    f.SetHeight(LKTruncClamp(O.LogFont->lfHeight * Zoom));
  } else {
    f.SetColor(O.PenColor);
  }
  C->SetFont(&f);
  const double theta = (O.LogFont ? O.LogFont->lfEscapement : 0) / 10.0 * M_PI / 180;
  const std::string text = LKAnsiToUtf8(*O.Text);
  const TSize ext = C->TextExtent(text);
  const Integer W = ext.cx, H = ext.cy;
  const Integer left = X1 < X2 ? X1 - W : X1, top = Y1 < Y2 ? Y1 - H : Y1;
  const double ct = std::cos(theta), st = std::sin(theta);
  const Integer dy = LKTruncClamp(H - ct * H + st * W) / 2;
  Integer dx = 0;
  switch (O.TextAlign) {
    case lkjLeft: dx = std::abs(LKTruncClamp(st * H)); break;
    case lkjRight: dx = LKTruncClamp(W - ct * W); break;
    default: dx = LKTruncClamp(W - ct * W - st * H) / 2; break;
  }
  C->GetBrush()->SetColor(O.LabelBrushColor);
  C->GetBrush()->SetStyle(O.LabelBrushStyle);
  C->Rectangle(left, top, left + W + 1, top + H + 1);
  C->GetBrush()->SetStyle(bsClear);
  C->TextRect(TRect{left, top, left + W + 1, top + H + 1}, left + dx, top + dy, text);
  LKSetplim(DrawnRect, left, top);
  LKSetplim(DrawnRect, left + W + 1, top + H + 1);
  C->SetFont(&keep);
}
