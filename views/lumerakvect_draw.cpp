// Drawing of the vector view: one object by its kind, all objects directly
// or through the composing layer (opacity, soft shadow, 2x oversampling),
// line-end shapes, grips, rubber bands and the screen painting.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkbitmappalette.h"
#include "core/lkmath.h"
#include "processing/lkshadows.h"
#include "views/lkvectgeom.h"
#include "views/lkviewgeometry.h"
#include "views/lumerakvect.h"

namespace {

constexpr Integer kEmptyLow = 2000000000, kEmptyHigh = -2000000000;

void Grow(TRect& R, Integer X, Integer Y) { LKSetplim(R, X, Y); }

// A segment drawn as a two-point polygon, so that both ends are drawn.
void Segment(TCanvas* C, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  const TPoint p[2] = {{X1, Y1}, {X2, Y2}};
  C->Polygon(p);
}

}  // namespace

// ---------------------------------------------------------------------------
// Coordinates
// ---------------------------------------------------------------------------

Integer TLumerakVect::VXBmp2Scr(Integer X, bool ViewCoords, Integer M) { return (ViewCoords ? XBmp2Scr(X) : X) * M; }
Integer TLumerakVect::VYBmp2Scr(Integer Y, bool ViewCoords, Integer M) { return (ViewCoords ? YBmp2Scr(Y) : Y) * M; }

Integer TLumerakVect::AdjustCoords(TLKVObject& O, Integer& SX2, Integer& SY2, double ZoomX, double ZoomY,
                                   bool ViewCoords, Integer M) {
  const Integer w = FZoomObjectsWidth ? static_cast<Integer>(std::ceil(std::max(std::min(ZoomX, ZoomY) * O.PenWidth, 1.0)))
                                      : O.PenWidth;
  if (O.Kind == lkkBITMAP) {
    if (ZoomX != 1) SX2 = VXBmp2Scr(O.X2 + 1, ViewCoords, M) - 1;
    if (ZoomY != 1) SY2 = VYBmp2Scr(O.Y2 + 1, ViewCoords, M) - 1;
  }
  return w;
}

// ---------------------------------------------------------------------------
// One object
// ---------------------------------------------------------------------------

bool TLumerakVect::DrawObject(TLKVObject& O, Integer hobj, TBitmap* Target, bool DrawingAlpha, bool ViewCoords,
                              TLKBitmap* TargetLK, Integer M, bool Clip) {
  if (FAllHidden || Target == nullptr) return false;
  M = std::max(M, 1);
  double zoomX = ViewCoords ? GetZoomX() / 100 : 1.0, zoomY = ViewCoords ? GetZoomY() / 100 : 1.0;
  if (M > 1) {
    zoomX *= M;
    zoomY *= M;
  }
  const Integer sx1 = VXBmp2Scr(O.X1, ViewCoords, M), sy1 = VYBmp2Scr(O.Y1, ViewCoords, M);
  Integer sx2 = VXBmp2Scr(O.X2, ViewCoords, M), sy2 = VYBmp2Scr(O.Y2, ViewCoords, M);
  if (O.BoxHighLight) O.PenWidth = 1;
  const Integer w = AdjustCoords(O, sx2, sy2, zoomX, zoomY, ViewCoords, M);
  TCanvas* C = Target->GetCanvas();
  TPen* pen = C->GetPen();
  TBrush* brush = C->GetBrush();
  pen->SetColor(O.PenColor);
  pen->SetStyle(O.PenStyle);
  pen->SetWidth(w);
  pen->SetMode(pmCopy);
  O.DrawnRect = TRect{kEmptyLow, kEmptyLow, kEmptyHigh, kEmptyHigh};
  O.DrawnMargin = w;
  if (!O.Style.Contains(lkvsVisible)) return false;
  if (Clip) {
    const TLKViewGeometry& g = GetGeometry();
    if (!_RectXRect(sx1, sy1, sx2, sy2, g.OffX * M, g.OffY * M, (g.OffX + g.DW) * M, (g.OffY + g.DH) * M))
      return false;
  }
  bool handled = false;
  if (OnBeforeDrawObject) {
    OnBeforeDrawObject(this, hobj, Target, TRect{sx1, sy1, sx2, sy2}, DrawingAlpha, handled);
    Grow(O.DrawnRect, sx1, sy1);
    Grow(O.DrawnRect, sx2, sy2);
  }
  if (!handled) {
    ++FDrawnCount;
    brush->SetColor(O.BrushColor);
    brush->SetStyle(O.BrushStyle);
    Grow(O.DrawnRect, sx1, sy1);
    Grow(O.DrawnRect, sx2, sy2);
    switch (O.Kind) {
      case lkkLINE:
      case lkkLINELABEL: {
        Segment(C, sx1, sy1, sx2, sy2);
        const Integer shw = LKTruncClamp(O.ShapeWidth * zoomX), shh = LKTruncClamp(O.ShapeHeight * zoomY);
        DrawLineShape(O, C, sx1, sy1, sx2, sy2, O.BeginShape, shw, shh, O.DrawnRect);
        DrawLineShape(O, C, sx2, sy2, sx1, sy1, O.EndShape, shw, shh, O.DrawnRect);
        if (O.Kind == lkkLINELABEL) DrawObjectLineLabel(C, sx1, sy1, sx2, sy2, O, zoomY, O.DrawnRect);
        break;
      }
      case lkkBOX:
        if (O.BoxHighLight) {
          // A marker pen: the picture shows through, tinted by the brush.
          const Integer W = Target->GetWidth(), H = Target->GetHeight();
          const Integer l = std::max(std::min(sx1, sx2), 0), r = std::min(std::max(sx1, sx2), W - 1);
          const Integer t = std::max(std::min(sy1, sy2), 0), b = std::min(std::max(sy1, sy2), H - 1);
          const TColor c = ColorToRGB(O.BrushColor);
          const Byte cb = GetBValue(c), cg = GetGValue(c), cr = GetRValue(c);
          if (l <= r && t <= b) {
            if (Target->GetPixelFormat() == pf24bit) {
              for (Integer y = t; y <= b; ++y) {
                Byte* p = Target->ScanLine(y) + static_cast<std::size_t>(l) * 3;
                for (Integer x = l; x <= r; ++x, p += 3) {
                  p[0] &= cb;
                  p[1] &= cg;
                  p[2] &= cr;
                }
              }
            } else if (Target->GetPixelFormat() == pf8bit) {
              for (Integer y = t; y <= b; ++y) std::memset(Target->ScanLine(y) + l, cr, static_cast<std::size_t>(r - l + 1));
            }
            Target->Modify();
          }
        } else {
          C->Rectangle(sx1, sy1, sx2 + 1, sy2 + 1);
        }
        break;
      case lkkELLIPSE:
        C->Ellipse(sx1, sy1, sx2 + 1, sy2 + 1);
        break;
      case lkkARC: {
        const double hw = (sx2 - sx1) / 2.0, hh = (sy2 - sy1) / 2.0;
        C->Arc(sx1, sy1, sx2 + 1, sy2 + 1, sx1 + LKTruncClamp(hw + std::cos(O.ArcStartingAngle) * hw),
               sy1 + LKTruncClamp(hh + std::sin(O.ArcStartingAngle) * hh),
               sx1 + LKTruncClamp(hw + std::cos(O.ArcEndingAngle) * hw),
               sy1 + LKTruncClamp(hh + std::sin(O.ArcEndingAngle) * hh));
        break;
      }
      case lkkBITMAP:
        DrawBitmapObject(Target, O, w, TargetLK, sx1, sy1, sx2, sy2);
        break;
      case lkkTEXT:
      case lkkMEMO:
        if (O.Kind == lkkTEXT) {  // straight, turned or curved (lkvecttext.cpp)
          DrawObjectText(O, C, sx1, sy1, sx2, sy2, zoomY, O.DrawnRect);
          break;
        }
        if (O.Kind == lkkMEMO && O.MemoHasBitmap && !DrawingAlpha)
          DrawBitmapObject(Target, O, w, TargetLK, sx1, sy1, sx2, sy2);
        if (hobj == FEdited && hobj >= 0) {  // the editor shows the text
          brush->SetStyle(bsClear);
          C->Rectangle(sx1 - 1, sy1 - 1, sx2 + 2, sy2 + 2);
        } else {
          DrawMemo(O, hobj, C, std::min(sx1, sx2), std::min(sy1, sy2), zoomY, DrawingAlpha);
        }
        break;
      case lkkRULER:
        DrawRuler(C, sx1, sy1, sx2, sy2, O.RulerUnit, O.PenColor, O.PenWidth, O.RulerType, 1 / zoomX, 1 / zoomY,
                  O.DrawnRect, O.LogFont ? &*O.LogFont : nullptr);
        break;
      case lkkPOLYLINE:
        if ((O.PolyBox.Left != O.PolyBox.Right || O.PolyBox.Top != O.PolyBox.Bottom) && !O.PolyPoints.empty()) {
          double zx, zy;
          CalcZxZyPolyline(O, zx, zy);
          O.ScreenPoints.resize(O.PolyPoints.size());
          for (std::size_t i = 0; i < O.PolyPoints.size(); ++i) {
            const TPoint& p = O.PolyPoints[i];
            TPoint& s = O.ScreenPoints[i];
            s.X = VXBmp2Scr(LKRoundEven((p.X - O.PolyBox.Left) * zx) + O.X1, ViewCoords, M);
            s.Y = VYBmp2Scr(LKRoundEven((p.Y - O.PolyBox.Top) * zy) + O.Y1, ViewCoords, M);
            Grow(O.DrawnRect, s.X, s.Y);
          }
          if (O.PolylineClosed)
            C->Polygon(O.ScreenPoints);
          else
            C->Polyline(O.ScreenPoints);
          if (M != 1)
            for (TPoint& s : O.ScreenPoints) {
              s.X /= M;
              s.Y /= M;
            }
        }
        break;
      case lkkANGLE:
        DrawAngle(C, O.AnglePoints, O.PenColor, O.PenWidth, O.DrawnRect, ViewCoords, M, 1 / zoomX, 1 / zoomY,
                  O.LogFont ? &*O.LogFont : nullptr);
        break;
      default:
        break;
    }
  }
  if (OnAfterDrawObject) {
    bool h2 = false;
    OnAfterDrawObject(this, hobj, Target, TRect{sx1, sy1, sx2, sy2}, DrawingAlpha, h2);
    Grow(O.DrawnRect, sx1, sy1);
    Grow(O.DrawnRect, sx2, sy2);
  }
  return true;
}

void TLumerakVect::DrawBitmapObject(TBitmap* Target, TLKVObject& O, Integer PenWidth, TLKBitmap* TargetLK,
                                    Integer SX1, Integer SY1, Integer SX2, Integer SY2) {
  TCanvas* C = Target->GetCanvas();
  TLKBitmap* pic = GetBitmap(O.BitmapIdx);
  if (pic == nullptr || pic->IsEmpty()) {
    // A missing picture shows as a crossed box.
    C->MoveTo(SX1, SY1);
    C->LineTo(SX2, SY2);
    C->MoveTo(SX2, SY1);
    C->LineTo(SX1, SY2);
    const TBrushStyle keep = C->GetBrush()->GetStyle();
    C->GetBrush()->SetStyle(bsClear);
    C->Rectangle(SX1, SY1, SX2 + 1, SY2 + 1);
    C->GetBrush()->SetStyle(keep);
    return;
  }
  const Integer l = std::min(SX1, SX2), r = std::max(SX1, SX2), t = std::min(SY1, SY2), b = std::max(SY1, SY2);
  const TResampleFilter filter = FFastPicture ? rfNone : FBitmapFilter;
  const Integer opacity = std::clamp(O.Transparency, 0, 255);
  if (TargetLK != nullptr) {
    pic->StretchRectTo(TargetLK, l, t, r - l + 1, b - t + 1, 0, 0, pic->GetWidth(), pic->GetHeight(), filter, opacity);
  } else {
    void** rows = nullptr;
    Integer* cols = nullptr;
    Integer* rowIdx = nullptr;
    pic->RenderToTBitmap(Target, rows, cols, rowIdx, nullptr, l, t, r - l + 1, b - t + 1, 0, 0, pic->GetWidth(),
                         pic->GetHeight(), true, false, opacity, filter, true, lklNormal);
  }
  if (O.BitmapBorder && Target->GetPixelFormat() == pf24bit) {
    const TColor c = ColorToRGB(O.PenColor);
    const Byte px[3] = {GetBValue(c), GetGValue(c), GetRValue(c)};
    const Integer W = Target->GetWidth(), H = Target->GetHeight();
    TLKBitmap* alpha = TargetLK != nullptr && TargetLK->GetHasAlphaChannel() ? TargetLK->GetAlphaChannel() : nullptr;
    auto put = [&](Integer x, Integer y) {
      if (x < 0 || y < 0 || x >= W || y >= H) return;
      std::memcpy(Target->ScanLine(y) + static_cast<std::size_t>(x) * 3, px, 3);
      if (alpha) alpha->SetAlpha(x, y, 255);
    };
    for (Integer i = 0; i < PenWidth && l + i <= r - i && t + i <= b - i; ++i) {
      for (Integer x = l + i; x <= r - i; ++x) {
        put(x, t + i);
        put(x, b - i);
      }
      for (Integer y = t + i; y <= b - i; ++y) {
        put(l + i, y);
        put(r - i, y);
      }
    }
    Target->Modify();
  }
}

void TLumerakVect::DrawLineShape(TLKVObject&, TCanvas* C, Integer EX, Integer EY, Integer OX, Integer OY,
                                 TLKShape Shape, Integer W, Integer H, TRect& DrawnRect) {
  TPoint t[3];
  if (!LKLineShapeTriangle(EX, EY, OX, OY, Shape, W, H, t)) return;
  const Integer keep = C->GetPen()->GetWidth();
  C->Polygon(t);
  C->GetPen()->SetWidth(keep);
  for (const TPoint& p : t) Grow(DrawnRect, p.X, p.Y);
}

// ---------------------------------------------------------------------------
// All objects
// ---------------------------------------------------------------------------

void TLumerakVect::DrawObjectAll(TBitmap* Target, bool InBitmapCoords, bool Antialias, Integer hobj) {
  if (FAllHidden || Target == nullptr || Target->GetEmpty()) return;
  const Integer f = Antialias ? 2 : 1;
  const bool view = !InBitmapCoords;
  std::vector<Integer> list = hobj >= 0 ? std::vector<Integer>{hobj} : FOrder;
  if (!FGraphicRender || FOrder.empty()) {
    for (Integer h : list)
      if (TLKVObject* o = GetObj(h)) DrawObject(*o, h, Target, false, view, nullptr, 1, view);
    return;
  }
  if (Target->GetPixelFormat() != pf24bit) Target->SetPixelFormat(pf24bit);
  const Integer W = Target->GetWidth(), H = Target->GetHeight(), LW = W * f, LH = H * f;
  if (!FLayer || FLayer->GetWidth() != LW || FLayer->GetHeight() != LH) {
    FLayer = std::make_unique<TLKBitmap>();
    FLayer->SetLocation(lkTBitmap);
    FLayer->Allocate(LW, LH, lk24RGB);
    FLayer->GetAlphaChannel()->Fill(0);
    FLayerAlpha = std::make_unique<TBitmap>(LW, LH, pf8bit);
    LKSetGrayPalette(FLayerAlpha.get());
    for (Integer y = 0; y < LH; ++y) std::memset(FLayerAlpha->ScanLine(y), 0, static_cast<std::size_t>(LW));
  }
  TBitmap* layerBmp = FLayer->GetVclBitmap();
  TLKBitmap* alpha = FLayer->GetAlphaChannel();
  TLKBitmap targetLK;
  for (Integer h : list) {
    TLKVObject* o = GetObj(h);
    if (o == nullptr) continue;
    if (Antialias) {
      TCanvas* lc = layerBmp->GetCanvas();
      lc->GetBrush()->SetStyle(bsSolid);
      lc->GetBrush()->SetColor(o->PenColor);
      lc->FillRect(TRect{0, 0, LW, LH});
    }
    if (o->BoxHighLight) {
      // The picture under the box goes into the layer for the highlighter.
      Integer x1 = o->X1, y1 = o->Y1, x2 = o->X2, y2 = o->Y2;
      Integer L = 0, T = 0, R = 0, B = 0;
      for (Integer guard = 0; guard < 4000000; ++guard) {
        L = VXBmp2Scr(x1, view, f);
        T = VYBmp2Scr(y1, view, f);
        R = VXBmp2Scr(x2 + 1, view, f);
        B = VYBmp2Scr(y2 + 1, view, f);
        if (L < 0 && x1 < x2) ++x1;
        else if (T < 0 && y1 < y2) ++y1;
        else if (R / f >= W && x2 > x1) --x2;
        else if (B / f >= H && y2 > y1) --y2;
        else break;
      }
      if (L > R) std::swap(L, R);
      if (T > B) std::swap(T, B);
      targetLK.EncapsulateTBitmap(Target, true);
      targetLK.StretchRectTo(FLayer.get(), L, T, R - L + 1, B - T + 1, L / f, T / f, (R - L + 1) / f,
                             (B - T + 1) / f, rfNone, 255);
      targetLK.RemoveAlphaChannel();
    }
    if (!DrawObject(*o, h, layerBmp, false, view, FLayer.get(), f, view)) continue;
    if (o->Kind != lkkBITMAP) {
      const TColor keepPen = o->PenColor, keepBrush = o->BrushColor, keepLabel = o->LabelBrushColor;
      const Byte t = static_cast<Byte>(std::clamp(o->Transparency, 0, 255));
      o->PenColor = o->BrushColor = o->LabelBrushColor = RGB(t, t, t);
      DrawObject(*o, h, FLayerAlpha.get(), true, view, nullptr, f, view);
      o->PenColor = keepPen;
      o->BrushColor = keepBrush;
      o->LabelBrushColor = keepLabel;
    }
    Integer x1 = std::clamp(o->DrawnRect.Left - o->DrawnMargin, 0, LW - 1);
    Integer y1 = std::clamp(o->DrawnRect.Top - o->DrawnMargin, 0, LH - 1);
    Integer x2 = std::clamp(o->DrawnRect.Right + o->DrawnMargin, 0, LW - 1);
    Integer y2 = std::clamp(o->DrawnRect.Bottom + o->DrawnMargin, 0, LH - 1);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    Integer w = std::min(x2 - x1 + 1, LW), hh = std::min(y2 - y1 + 1, LH);
    if (o->Kind != lkkBITMAP)
      for (Integer y = y1; y < y1 + hh; ++y)
        std::memcpy(static_cast<Byte*>(alpha->GetScanLine(y)) + x1, FLayerAlpha->ScanLine(y) + x1,
                    static_cast<std::size_t>(w));
    if (o->SoftShadow && o->SoftShadow->Enabled) {
      const Integer v = std::max(0, _LKAddSoftShadowRect(FLayer.get(), o->SoftShadow->Radius * f,
                                                         o->SoftShadow->OffsetX * f, o->SoftShadow->OffsetY * f, x1,
                                                         y1, x1 + w - 1, y1 + hh - 1));
      w = std::min(w + 2 * v, LW);
      hh = std::min(hh + 2 * v, LH);
      x1 = std::max(x1 - v, 0);
      y1 = std::max(y1 - v, 0);
      w = std::min(w, LW - x1);
      hh = std::min(hh, LH - y1);
    }
    alpha->SetFull(false);
    void** rows = nullptr;
    Integer* cols = nullptr;
    Integer* rowIdx = nullptr;
    if (f == 1)
      FLayer->RenderToTBitmap(Target, rows, cols, rowIdx, nullptr, x1, y1, w, hh, x1, y1, w, hh, true, false, 255,
                              rfNone, true, lklNormal);
    else
      FLayer->RenderToTBitmap(Target, rows, cols, rowIdx, nullptr, x1 / 2, y1 / 2, w / 2, hh / 2, x1, y1, w, hh, true,
                              false, 255, rfTriangle, true, lklNormal);
    // Leave the alpha planes clear for the next object: only the area used
    // was written.
    for (Integer y = y1; y < y1 + hh; ++y) {
      std::memset(static_cast<Byte*>(alpha->GetScanLine(y)) + x1, 0, static_cast<std::size_t>(w));
      std::memset(FLayerAlpha->ScanLine(y) + x1, 0, static_cast<std::size_t>(w));
    }
  }
  Target->Modify();
}

// ---------------------------------------------------------------------------
// Grips, point markers, rubber bands
// ---------------------------------------------------------------------------

void TLumerakVect::DrawGrip(TCanvas* C, Integer X, Integer Y, Integer Kind) {
  C->SetPen(FGripPen.get());
  C->SetBrush(FGripBrush.get());
  const Integer g = GripSize;
  if (Kind == 0) {
    C->Rectangle(X - g, Y - g, X + g, Y + g);
  } else if (Kind == 1) {
    C->GetPen()->SetWidth(1);
    const TPoint d[5] = {{X, Y - g}, {X + g, Y}, {X, Y + g}, {X - g, Y}, {X, Y - g}};
    C->Polyline(d);
  }
}

void TLumerakVect::DrawObjectGrips(TCanvas* C, TLKVObject& O) {
  Integer sx1, sy1, sx2, sy2;
  ObjectClientRect(O, sx1, sy1, sx2, sy2);
  const TLKViewGeometry& g = GetGeometry();
  if (!_RectXRect(sx1, sy1, sx2, sy2, g.OffX, g.OffY, g.OffX + g.VW, g.OffY + g.VH)) return;
  if (O.Kind == lkkANGLE) {
    const Integer n = CountAnglePoints(O.AnglePoints);
    for (Integer i = 0; i < n; ++i) DrawGrip(C, XBmp2Scr(O.AnglePoints[i].X), YBmp2Scr(O.AnglePoints[i].Y), 0);
  } else {
    DrawGrip(C, sx1, sy1, 0);
    DrawGrip(C, sx2, sy2, 0);
    if (O.Kind != lkkLINE && O.Kind != lkkRULER && O.Kind != lkkLINELABEL) {
      const Integer mx = (sx1 + sx2) / 2, my = (sy1 + sy2) / 2;
      DrawGrip(C, sx2, sy1, 0);
      DrawGrip(C, sx1, sy2, 0);
      DrawGrip(C, sx1, my, 0);
      DrawGrip(C, sx2, my, 0);
      DrawGrip(C, mx, sy1, 0);
      DrawGrip(C, mx, sy2, 0);
    }
  }
  if (CenterGripMove) {
    const Integer ox1 = std::min(sx1, sx2), ox2 = std::max(sx1, sx2), oy1 = std::min(sy1, sy2),
                  oy2 = std::max(sy1, sy2);
    DrawGrip(C, ox1 + (ox2 - ox1 + 1) / 2, oy1 + (oy2 - oy1 + 1) / 2, 1);
  }
}

void TLumerakVect::DrawSelGrips(TCanvas* C) {
  if (C == nullptr) return;
  for (Integer h : std::vector<Integer>(FSel))
    if (TLKVObject* o = GetObj(h)) DrawObjectGrips(C, *o);
}

void TLumerakVect::DrawPolylinePoints(TCanvas* C) {
  if (C == nullptr || FSel.size() != 1) return;
  TLKVObject* o = GetObj(FSel[0]);
  if (o == nullptr || o->Kind != lkkPOLYLINE) return;
  C->GetPen()->SetColor(clBlack);
  C->GetPen()->SetStyle(psSolid);
  C->GetPen()->SetWidth(1);
  C->GetPen()->SetMode(pmCopy);
  C->GetBrush()->SetColor(clRed);
  C->GetBrush()->SetStyle(bsSolid);
  for (const TPoint& p : o->ScreenPoints) C->Ellipse(p.X - 3, p.Y - 3, p.X + 3, p.Y + 3);
}

void TLumerakVect::DrawRubber(TCanvas* C, Integer Kind) {
  TPen* pen = C->GetPen();
  const TPenMode keep = pen->GetMode();
  pen->SetMode(pmNot);
  pen->SetWidth(1);
  pen->SetStyle(psSolid);
  const TPoint a = GetAnchorPoint(), e = FEnd;
  if (Kind == 0) {
    C->MoveTo(a.X, a.Y);
    C->LineTo(e.X, e.Y);
  } else if (Kind == 1) {
    const TPoint p[5] = {a, {e.X, a.Y}, e, {a.X, e.Y}, a};
    C->Polyline(p);
  } else {
    C->GetBrush()->SetStyle(bsClear);
    C->Ellipse(std::min(a.X, e.X), std::min(a.Y, e.Y), std::max(a.X, e.X) + 1, std::max(a.Y, e.Y) + 1);
  }
  pen->SetMode(keep);
  SurfaceWritten();
}

void TLumerakVect::DrawLineInserting() { DrawRubber(GetCanvas(), 0); }
void TLumerakVect::DrawBoxInserting() { DrawRubber(GetCanvas(), 1); }
void TLumerakVect::DrawEllipseInserting() { DrawRubber(GetCanvas(), 2); }

void TLumerakVect::DrawRulerInserting() {
  const TPoint a = GetAnchorPoint();
  const TLKViewGeometry& g = GetGeometry();
  DrawRuler(GetCanvas(), a.X, a.Y, FEnd.X, FEnd.Y, FTemplate.RulerUnit, FTemplate.PenColor, FTemplate.PenWidth,
            FTemplate.RulerType, g.ix, g.iy, FTemplate.DrawnRect, FTemplate.LogFont ? &*FTemplate.LogFont : nullptr);
  SurfaceWritten();
}

void TLumerakVect::DrawAngleInserting() {
  TLKVObject* o = GetObj(FAngleInProgress);
  if (o == nullptr) return;
  TPoint pts[3] = {o->AnglePoints[0], o->AnglePoints[1], o->AnglePoints[2]};
  for (TPoint& p : pts)
    if (p.X == LKAngleUnset) {
      p = TPoint{XScr2Bmp(FEnd.X), YScr2Bmp(FEnd.Y)};
      break;
    }
  DrawAngle(GetCanvas(), pts, o->PenColor, o->PenWidth, o->DrawnRect, true, 1, 100 / GetZoomX(), 100 / GetZoomY(),
            o->LogFont ? &*o->LogFont : nullptr);
  SurfaceWritten();
}

// ---------------------------------------------------------------------------
// Screen painting
// ---------------------------------------------------------------------------

void TLumerakVect::VPaintTo(TBitmap* Target) {
  FDrawnCount = 0;
  DrawObjectAll(Target, false, FObjAntialias, -1);
  DrawSelGrips(Target->GetCanvas());
  if (FMouseInteractVt.Contains(miEditPolyline)) DrawPolylinePoints(Target->GetCanvas());
}

void TLumerakVect::PaintToEx(TLKBitmap* Target, void** RowTable, const TRect* UpdateRect, bool DrawBackground,
                             bool DrawGadgets) {
  TLumerakView::PaintToEx(Target, RowTable, UpdateRect, DrawBackground, DrawGadgets);
  if (FObjPaintLock != 0) return;  // ObjLockPaint: the picture alone
  if (Target == nullptr || Target->IsEmpty() || Target->GetPixelFormat() != lk24RGB) return;
  if (FOrder.empty() && FSel.empty()) return;
  if (Target->GetLocation() == lkTBitmap) {
    VPaintTo(Target->GetVclBitmap());
    return;
  }
  // Targets in other storage are drawn through a copy, so that the caller's
  // row addresses stay valid.
  TBitmap copy;
  Target->CopyToTBitmap(&copy);
  VPaintTo(&copy);
  for (Integer y = 0; y < Target->GetHeight(); ++y)
    std::memcpy(Target->GetScanLine(y), copy.ScanLine(y), static_cast<std::size_t>(Target->GetWidth()) * 3);
}

void TLumerakVect::Paint() {
  TLumerakView::Paint();
  FHintBack->SetWidth(1);
  if (FHintActive) HintShow(FHintPos.X, FHintPos.Y);
}
