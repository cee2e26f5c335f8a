// Text objects of the vector view: the curves a text can follow, and the
// drawing of a text straight (turned by its font's escapement, placed by
// its alignment) or character by character along its curve.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "views/lkvectgeom.h"
#include "views/lumerakvect.h"

// ---------------------------------------------------------------------------
// Curves
// ---------------------------------------------------------------------------

void TLumerakVect::SetObjTextCurve(Integer hobj, double X, double Y) { Obj(hobj).CurvePoints.push_back({X, Y}); }

void TLumerakVect::SetObjTextCurveShape(Integer hobj, TLKCurve Shape, Integer Phase, bool Reverse) {
  std::vector<TLKDPoint>& pts = Obj(hobj).CurvePoints;
  pts.clear();
  const double phi = Phase * std::numbers::pi / 180;
  constexpr Integer kDegrees = 360;
  // One point a degree over Span degrees from Start, both ends included.
  const auto round = [&](double Start, Integer Span) {
    for (Integer k = 0; k <= Span; ++k) {
      const Integer i = Reverse ? Span - k : k;
      const double t = Start + i * std::numbers::pi / 180;
      pts.push_back({0.5 + std::sin(t) / 2, 0.5 + std::cos(t) / 2});
    }
  };
  switch (Shape) {
    case lkcNone:
      break;
    case lkcEllipse:
      round(phi, kDegrees);
      break;
    case lkcArc:
      round(phi - std::numbers::pi / 2, kDegrees / 2);
      break;
    case lkcCosine:
      for (Integer k = 1; k <= kDegrees + 1; ++k) {
        const double t = phi + 2 * std::numbers::pi - (k - 1) * std::numbers::pi / 180;
        pts.push_back({k / 360.0, 0.5 + std::cos(t) / 2});
      }
      break;
    case lkcVertical:
      pts = Reverse ? std::vector<TLKDPoint>{{0.5, 0}, {0.5, 1}} : std::vector<TLKDPoint>{{0.5, 1}, {0.5, 0}};
      break;
    case lkcHorizontal:
      pts = Reverse ? std::vector<TLKDPoint>{{0, 0.5}, {1, 0.5}} : std::vector<TLKDPoint>{{1, 0.5}, {0, 0.5}};
      break;
  }
  Update();
}

void TLumerakVect::SetObjTextCurveFromPolyline(Integer hobj, Integer hPolyline) {
  TLKVObject& text = Obj(hobj);
  const TLKVObject& poly = Obj(hPolyline);
  text.CurvePoints.clear();
  const double w = std::abs(static_cast<double>(poly.PolyBox.Right) - poly.PolyBox.Left);
  const double h = std::abs(static_cast<double>(poly.PolyBox.Bottom) - poly.PolyBox.Top);
  const double minX = std::min(poly.PolyBox.Left, poly.PolyBox.Right);
  const double minY = std::min(poly.PolyBox.Top, poly.PolyBox.Bottom);
  // A straight polyline has a flat box: that axis takes the middle.
  for (const TPoint& p : poly.PolyPoints)
    text.CurvePoints.push_back({w > 0 ? (p.X - minX) / w : 0.5, h > 0 ? (p.Y - minY) / h : 0.5});
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

namespace {

// The font of a text object on the canvas: the record's height times the
// zoom (the box height when the record gives none), turned by Escapement.
void SelectTextFont(TCanvas* C, const TLKVObject& O, double ZoomY, Integer BoxHeight, Integer Escapement) {
  TFont f;
  TLKLogFont record = O.LogFont ? *O.LogFont : TLKLogFont{};
  LKLogFontToFont(record, O.PenColor, f);
  const Integer h = record.lfHeight != 0 ? LKTrunc(ZoomY * record.lfHeight) : BoxHeight;
  f.SetHeight(h == 0 ? (record.lfHeight < 0 ? -1 : 1) : h);
  f.SetOrientation(Escapement);
  C->SetFont(&f);
}

void Grow(TRect& R, Integer X, Integer Y) {
  R.Left = std::min(R.Left, X);
  R.Top = std::min(R.Top, Y);
  R.Right = std::max(R.Right, X);
  R.Bottom = std::max(R.Bottom, Y);
}

}  // namespace

void TLumerakVect::DrawObjectText(TLKVObject& O, TCanvas* C, Integer SX1, Integer SY1, Integer SX2, Integer SY2,
                                  double ZoomY, TRect& DrawnRect) {
  if (!O.Text) return;
  const String text = LKAnsiToUtf8(*O.Text);
  const Integer escapement = O.LogFont ? O.LogFont->lfEscapement : 0;
  SelectTextFont(C, O, ZoomY, SY2 - SY1, escapement);
  TBrush* brush = C->GetBrush();
  if (O.CurvePoints.empty()) {
    const double theta = escapement / 10.0 * std::numbers::pi / 180, cs = std::cos(theta), sn = std::sin(theta);
    // The extent of the unturned text.
    TFont* font = C->GetFont();
    font->SetOrientation(0);
    const TSize e = C->TextExtent(text);
    font->SetOrientation(escapement);
    const double W = e.cx, H = e.cy, BW = SX2 - SX1, BH = SY2 - SY1;
    const Integer dy = LKTrunc(BH - cs * H + sn * W) / 2;
    Integer dx;
    switch (O.TextAlign) {
      case lkjLeft: dx = std::abs(LKTrunc(sn * H)); break;
      case lkjRight: dx = LKTrunc(BW - cs * W); break;
      default: dx = LKTrunc(BW - cs * W - sn * H) / 2;
    }
    C->Rectangle(SX1, SY1, SX2 + 1, SY2 + 1);
    brush->SetStyle(bsClear);
    C->TextRect(TRect{SX1, SY1, SX2 + 1, SY2 + 1}, SX1 + dx, SY1 + dy, text);
    return;
  }
  if (O.Text->empty()) return;
  // Along the curve: the characters evenly spaced from its first point.
  brush->SetStyle(bsClear);
  const double W = std::abs(SX2 - SX1), H = std::abs(SY2 - SY1);
  const Integer left = std::min(SX1, SX2), top = std::min(SY1, SY2);
  const std::vector<TLKDPoint>& pts = O.CurvePoints;
  double length = 0;
  for (std::size_t i = 1; i < pts.size(); ++i)
    length += std::hypot((pts[i].X - pts[i - 1].X) * W, (pts[i].Y - pts[i - 1].Y) * H);
  const std::size_t count = O.Text->size();
  // At least a pixel apart, or a short curve would never move on.
  const double spacing = std::max<double>(1, LKTrunc(length / static_cast<double>(count)));
  std::size_t next = 0;
  double px = pts[0].X * W, py = pts[0].Y * H, d = 0;
  for (std::size_t i = 1; i < pts.size() && next < count; ++i) {
    const double ex = pts[i].X * W, ey = pts[i].Y * H;
    d += std::hypot(ex - pts[i - 1].X * W, ey - pts[i - 1].Y * H);
    while (d >= spacing && next < count) {
      const double nx = px + (ex - px) * spacing / d, ny = py + (ey - py) * spacing / d;
      Integer a = O.CurveCharRot;
      if (a == -10) {
        const double dx = nx - px, dy = ny - py;
        if (std::abs(dx) < 0.01)
          a = dy > 0 ? 2700 : 900;
        else
          a = LKTrunc(std::atan(-dy / dx) * 180 / std::numbers::pi * 10 + 0.5) + (px > nx ? 1800 : 0);
      }
      C->GetFont()->SetOrientation(a);
      // The character's baseline centre sits on the curve.
      const String ch = LKAnsiToUtf8(std::string(1, (*O.Text)[next]));
      C->GetFont()->SetOrientation(0);
      const TSize e = C->TextExtent(ch);
      C->GetFont()->SetOrientation(a);
      const double r = a / 10.0 * std::numbers::pi / 180, cs = std::cos(r), sn = std::sin(r);
      const double ox = e.cx / 2.0, oy = e.cy * 0.8;  // to the baseline centre, unturned
      const Integer x = left + LKTrunc(px - (cs * ox + sn * oy));
      const Integer y = top + LKTrunc(py - (-sn * ox + cs * oy));
      C->TextOut(x, y, ch);
      Grow(DrawnRect, left + LKTrunc(px) - e.cx, top + LKTrunc(py) - e.cy);
      Grow(DrawnRect, left + LKTrunc(px) + e.cx, top + LKTrunc(py) + e.cy);
      ++next;
      d -= spacing;
      px = nx;
      py = ny;
    }
    // P stays where the last character put it; d keeps what is left.
  }
}
