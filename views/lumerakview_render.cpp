// Painting of the single-image view: the back buffer, layer compositing,
// the delayed zoom filter, the background inside the render, decorations,
// the pixel grid and the version text.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

namespace {

// The pixel grid is drawn from this zoom (percent) up.
constexpr double kMinZoomDisplayGrid = 400;
// Layers smaller than this in both directions are not drawn.
constexpr Integer kMinLayerSize = 2;
// Reload values of the countdowns a timer tick lowers.
constexpr Integer kFilterCountdown = 4;
// Grey of the checker drawn outside the current layer.
constexpr Byte kOuterGrey = 97;

}  // namespace

// ---------------------------------------------------------------------------
// Paint and the back buffer
// ---------------------------------------------------------------------------

void TLumerakView::Paint() {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (!HasParentWindow() || cw == 0 || ch == 0) return;
  try {
    if (Designing()) {
      DrawBackgroundToCanvas(GetCanvas());
    } else {
      if (FPaintLock == 0) {
        TRect r{0, 0, cw, ch};
        if (!FFullRepaint) {
          r = GetCanvas()->GetClipRect();
          if (r.Right == 0 || r.Bottom == 0) {
            r.Right = cw;
            r.Bottom = ch;
          }
        }
        PaintRect(r);
        FRubberShown = false;
        if (!FRectMoved) AniPolyFunc(this, false);
        if (OnDrawCanvas) OnDrawCanvas(this, GetCanvas(), TRect{0, 0, cw, ch});
      }
      FFullRepaint = false;
      if (FFilterCountdown > 0 || FOutlineCountdown > 0) EnsureFilterTimer();
      if (OnPaint) OnPaint(this);
    }
  } catch (...) {
    // A failed paint leaves the client image as it is.
  }
  if (FDrawVersion) DoDrawVersion();
}

void TLumerakView::PaintNow() {
  Invalidate();
  TLKView::Update();
}

void TLumerakView::EnsureBackBuffer() {
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (FBackBuffer == nullptr) {
    FBackBuffer = std::make_unique<TLKBitmap>();
    FBackBuffer->SetLocation(lkTBitmap);
  }
  if (FBackBuffer->GetWidth() != cw || FBackBuffer->GetHeight() != ch ||
      FBackBuffer->GetPixelFormat() != lk24RGB || static_cast<Integer>(FRowTable.size()) != ch) {
    FBackBuffer->Allocate(cw, ch, lk24RGB);
    FRowTable.resize(static_cast<std::size_t>(std::max(ch, 0)));
    for (Integer y = 0; y < ch; ++y) FRowTable[static_cast<std::size_t>(y)] = FBackBuffer->GetScanLine(y);
    FBackBufferDirty = true;
  }
}

void TLumerakView::PaintRect(const TRect& Rect) {
  if (!HasParentWindow()) return;
  const Integer cw = GetClientWidth(), ch = GetClientHeight();
  if (cw <= 0 || ch <= 0) return;
  EnsureBackBuffer();
  if (FBackBufferDirty) {
    PaintToEx(FBackBuffer.get(), FRowTable.data(), &Rect, true, true);
    ++FRenderCount;
    if (OnDrawBackBuffer) OnDrawBackBuffer(this);
    FBackBufferDirty = false;
  }
  // The copy to the client image.
  TBitmap* surface = GetSurface();
  const Integer x0 = std::clamp(Rect.Left, 0, cw), y0 = std::clamp(Rect.Top, 0, ch);
  const Integer w = std::min({Rect.Right - Rect.Left, cw, cw - x0, surface->GetWidth() - x0});
  const Integer h = std::min({Rect.Bottom - Rect.Top, ch, ch - y0, surface->GetHeight() - y0});
  if (w <= 0 || h <= 0) return;
  for (Integer y = y0; y < y0 + h; ++y)
    std::memcpy(surface->ScanLine(y) + static_cast<std::size_t>(x0) * 3,
                static_cast<Byte*>(FRowTable[static_cast<std::size_t>(y)]) + static_cast<std::size_t>(x0) * 3,
                static_cast<std::size_t>(w) * 3);
  SurfaceWritten();
}

void TLumerakView::UpdateRect(const TRect& Rect) {
  FBackBufferDirty = true;
  InvalidateRect(Rect);
}

TBitmap* TLumerakView::GetBackBuffer() {
  if (FBackBuffer == nullptr || FBackBuffer->GetWidth() <= 0) return nullptr;
  return FBackBuffer->GetVclBitmap();
}

void TLumerakView::DrawTo(TCanvas* Canvas) {
  TBitmap* back = GetBackBuffer();
  if (Canvas == nullptr || back == nullptr) return;
  const TLKViewGeometry& g = FGeo;
  TBitmap part;
  part.SetPixelFormat(pf24bit);
  part.SetSize(g.DW, g.DH);
  for (Integer y = 0; y < g.DH && g.OffY + y < back->GetHeight(); ++y) {
    const Integer n = std::min(g.DW, back->GetWidth() - g.OffX);
    if (n > 0)
      std::memcpy(part.ScanLine(y), back->ScanLine(g.OffY + y) + static_cast<std::size_t>(g.OffX) * 3,
                  static_cast<std::size_t>(n) * 3);
  }
  Canvas->Draw(0, 0, &part);
}

void TLumerakView::DoDrawVersion() {
  TCanvas* c = GetCanvas();
  const String text = String("Lumerak Version ") + LKViewVersion + " - 2/8/2006";
  c->GetFont()->SetName("Arial");
  c->GetFont()->SetHeight(13);
  c->GetFont()->SetColor(clBlack);
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  const TSize ext = c->TextExtent(text);
  c->TextOut(GetClientWidth() - ext.cx, GetClientHeight() - ext.cy, text);
}

// ---------------------------------------------------------------------------
// Delayed zoom filter
// ---------------------------------------------------------------------------

void TLumerakView::EnsureFilterTimer() { GetOutlineTimer()->SetEnabled(true); }

void TLumerakView::TimerStep() {
  // The outline timer runs while an animated outline shows or a countdown
  // is pending.
  if (FFilterCountdown != 0 || FOutlineCountdown != 0 || FKeepTimer)
    GetOutlineTimer()->SetEnabled(true);
  else if (FTimer != nullptr)
    FTimer->SetEnabled(false);
}

void TLumerakView::FilterTick() {
  TimerStep();
  if (FFilterCountdown > 0) {
    --FFilterCountdown;
    if (FFilterCountdown == 0) Update();
  }
  if (FOutlineCountdown > 0) --FOutlineCountdown;
}

// ---------------------------------------------------------------------------
// Compositing
// ---------------------------------------------------------------------------

void TLumerakView::DrawBackgroundInto(TLKBitmap* Target, const TRect* UpdateRect, bool SkipRule,
                                      TLKLayer* FirstLayer) {
  const Integer tw = Target->GetWidth(), th = Target->GetHeight();
  if (SkipRule && FirstLayer != nullptr && FGeo.OffX <= 0 && FGeo.OffY <= 0 && tw <= FGeo.DW && th <= FGeo.DH) {
    TLKBitmap* b = FirstLayer->Bitmap;
    const bool opaque = !FEnableAlphaChannel || !b->GetHasAlphaChannel() || b->GetAlphaChannel()->GetFull();
    if (opaque && FirstLayer->Opacity >= 255) return;
  }
  TCanvas* canvas = Target->GetCanvas();
  if (canvas == nullptr) return;
  if (UpdateRect != nullptr)
    canvas->SetClipRect(TRect{UpdateRect->Left, UpdateRect->Top, UpdateRect->Right + 1, UpdateRect->Bottom + 1});
  bool handled = false;
  if (OnDrawBackground) OnDrawBackground(this, canvas, TRect{0, 0, tw, th}, handled);
  if (!handled)
    LKDrawBackground(Designing(), canvas, Target->GetVclBitmap(), FBackgroundStyle, GetBackground(), 0, 0, tw, th,
                     FGeo.OffX, FGeo.OffY, FGeo.OffX + FGeo.DW, FGeo.OffY + FGeo.DH, FChessboardSize,
                     FChessboardBrush, FGradientEndColor, FWallPaper.get(), FWallPaperStyle);
  canvas->ResetClipRect();
}

void TLumerakView::PaintToEx(TLKBitmap* Target, void** RowTable, const TRect* UpdateRect, bool DrawBackground,
                             bool DrawGadgets) {
  DoLayersSync();
  CalcPaintCoords();
  CreateCoordConvLUT();
  if (Designing() || Target == nullptr || FCurrent->GetWidth() == 0 || FCurrent->GetHeight() == 0) return;
  if (FCurrent->GetHasAlphaChannel()) {
    TLKBitmap* a = FCurrent->GetAlphaChannel();
    if (a->GetWidth() != FCurrent->GetWidth() || a->GetHeight() != FCurrent->GetHeight()) return;
  }
  // The renderer's update rectangle has its right and bottom edges inside.
  TRect inclusive{};
  const TRect* upd = nullptr;
  if (UpdateRect != nullptr) {
    inclusive = TRect{UpdateRect->Left, UpdateRect->Top, UpdateRect->Right - 1, UpdateRect->Bottom - 1};
    upd = &inclusive;
  }
  bool first = true;
  const auto count = static_cast<Integer>(FLayers.size());
  for (Integer i = 0; i < count; ++i) {
    TLKLayer* layer = FLayers[static_cast<std::size_t>(i)];
    TLKBitmap* b = layer->Bitmap;
    if (!layer->Visible || FGeo.DW == 0 || FGeo.DH == 0 || b == nullptr ||
        (b->GetWidth() < kMinLayerSize && b->GetHeight() < kMinLayerSize))
      continue;
    // A layer followed by a mask layer is drawn through the mask: its alpha
    // channel is replaced for this render by min(alpha, mask).
    TLKLayer* mask = i + 1 < count && !layer->IsMask && FLayers[static_cast<std::size_t>(i + 1)]->IsMask
                         ? FLayers[static_cast<std::size_t>(i + 1)]
                         : nullptr;
    std::vector<Byte> ownAlpha;
    if (mask != nullptr) ownAlpha = ApplyMaskLayer(layer, mask);
    if (first && DrawBackground) DrawBackgroundInto(Target, UpdateRect, true, layer);
    RenderLayer(layer, i, Target, RowTable, upd, first);
    if (DrawGadgets) DrawLayerGadgets(Target, layer, i);
    if (!ownAlpha.empty()) RestoreMaskedAlpha(layer, ownAlpha);
    first = false;
  }
  if (first && DrawBackground) DrawBackgroundInto(Target, UpdateRect, false, nullptr);
  if (DrawGadgets) {
    PaintSelection(Target);
    PaintGrid(Target);
  }
}

TResampleFilter TLumerakView::LayerFilter(const TLKLayer* Layer) const {
  if (FFilterCountdown >= 1) return rfNone;
  if (Layer->DisplayWidth == 0 && Layer->DisplayHeight == 0 && FGeo.ZoomX == 100 && FGeo.ZoomY == 100) return rfNone;
  return Layer->UseResampleFilter ? Layer->ResampleFilter : FZoomFilter;
}

void TLumerakView::RenderLayer(TLKLayer* Layer, Integer Index, TLKBitmap* Target, void** RowTable,
                               const TRect* UpdateRect, bool First) {
  const TResampleFilter filter = LayerFilter(Layer);
  const bool solid = FBackgroundStyle == lkbsSolid && First;
  const TLKViewGeometry& g = FGeo;
  if (FLayersSync || (Index == 0 && Layer->DisplayWidth == 0 && Layer->DisplayHeight == 0 && Layer->PosX == 0 &&
                      Layer->PosY == 0)) {
    // The view's own tables, when they reach over the drawn extent.
    auto* cols = const_cast<Integer*>(g.ScreenToBitmapX());
    auto* rows = const_cast<Integer*>(g.ScreenToBitmapY());
    if (g.TableLengthX() < g.DW || g.TableLengthY() < g.DH) cols = rows = nullptr;
    void** rowTable = RowTable;
    Layer->Bitmap->RenderToTLKBitmap(Target, rowTable, cols, rows, UpdateRect, g.OffX, g.OffY, g.DW, g.DH, g.SX0,
                                     g.SY0, g.SW, g.SH, FEnableAlphaChannel, solid, Layer->Opacity, filter, true,
                                     Layer->Operation);
    Layer->ClientRect = TRect{g.OffX, g.OffY, g.OffX + g.DW, g.OffY + g.DH};
    Layer->Placement = TLKPaintPlacement{g.OffX, g.OffY, g.DW, g.DH, g.SX0, g.SY0, g.SW, g.SH};
    return;
  }
  if (Index != 0 && Layer->Magnify.Enabled && Layer->Magnify.Rate >= 1) Magnify(Layer, Target, filter);
  RenderPositionedLayer(Layer, Target, RowTable, UpdateRect, First, filter);
}

void TLumerakView::Magnify(TLKLayer* Layer, TLKBitmap* Target, TResampleFilter Filter) {
  TLKBitmap* b = Layer->Bitmap;
  if (Layer->DisplayWidth > 0 && Layer->DisplayHeight > 0 &&
      (b->GetWidth() != Layer->DisplayWidth || b->GetHeight() != Layer->DisplayHeight))
    b->Allocate(Layer->DisplayWidth, Layer->DisplayHeight, lk24RGB);
  if (b->GetPixelFormat() != lk24RGB) b->ConvertToPixelFormat(lk24RGB);
  const Integer bw = b->GetWidth(), bh = b->GetHeight();
  if (bw <= 0 || bh <= 0) return;
  const double rate = Layer->Magnify.Rate;
  // The client area the magnifier shows, centred on the layer.
  const Integer w = LKTruncClamp(bw / (rate / FGeo.zx)), h = LKTruncClamp(bh / (rate / FGeo.zy));
  const Integer cx = XBmp2Scr(Layer->PosX) + LKTruncClamp(bw * FGeo.zx / 2);
  const Integer cy = YBmp2Scr(Layer->PosY) + LKTruncClamp(bh * FGeo.zy / 2);
  const Integer x1 = cx - w / 2, y1 = cy - h / 2, x2 = x1 + w, y2 = y1 + h;
  if (Layer->Magnify.Source == lkmCanvas) {
    // What the lower layers drew, stretched over the whole layer bitmap.
    if (w > 0 && h > 0)
      for (Integer y = 0; y < bh; ++y) {
        auto* out = static_cast<Byte*>(b->GetScanLine(y));
        const Integer ty = y1 + static_cast<Integer>(static_cast<Int64>(y) * h / bh);
        if (ty < 0 || ty >= Target->GetHeight()) continue;
        const auto* in = static_cast<const Byte*>(Target->GetScanLine(ty));
        for (Integer x = 0; x < bw; ++x) {
          const Integer tx = x1 + static_cast<Integer>(static_cast<Int64>(x) * w / bw);
          if (tx >= 0 && tx < Target->GetWidth()) std::memcpy(out + x * 3, in + tx * 3, 3);
        }
      }
  } else {
    TLKBitmap* bg = FLayers[0]->Bitmap;
    const Integer bx1 = XScr2Bmp(x1), by1 = YScr2Bmp(y1), bx2 = XScr2Bmp(x2), by2 = YScr2Bmp(y2);
    const Integer sw = bx2 - bx1 + 1, sh = by2 - by1 + 1;
    // Only a source area wholly inside the background; otherwise the
    // magnifier keeps what it showed.
    if (bx1 >= 0 && by1 >= 0 && bx1 < bg->GetWidth() - sw && by1 < bg->GetHeight() - sh && sw < bg->GetWidth() &&
        sh < bg->GetHeight()) {
      b->Fill(0);
      bg->RenderToTLKBitmapEx(b, 0, 0, bw, bh, bx1, by1, sw, sh, 255, Filter, lklNormal);
    }
  }
  TLKBitmap* alpha = b->GetAlphaChannel();
  if (Layer->Magnify.Style == lkmRectangle) {
    alpha->Fill(255);
    return;
  }
  // Opaque inside the ellipse through the bitmap's corners' box,
  // transparent in the corners.
  const double rx = (bw - 1) / 2.0, ry = (bh - 1) / 2.0;
  for (Integer y = 0; y < bh; ++y) {
    auto* a = static_cast<Byte*>(alpha->GetScanLine(y));
    for (Integer x = 0; x < bw; ++x) {
      const double dx = rx > 0 ? (x - rx) / rx : 0, dy = ry > 0 ? (y - ry) / ry : 0;
      a[x] = dx * dx + dy * dy <= 1.0 ? 255 : 0;
    }
  }
  alpha->SetFull(false);
}

void TLumerakView::RenderPositionedLayer(TLKLayer* Layer, TLKBitmap* Target, void** RowTable,
                                         const TRect* UpdateRect, bool First, TResampleFilter Filter) {
  TLKBitmap* b = Layer->Bitmap;
  const Integer bw = b->GetWidth(), bh = b->GetHeight();
  Integer dx = XBmp2Scr(Layer->PosX), dy = YBmp2Scr(Layer->PosY);
  const Integer lw = Layer->GetWidth(), lh = Layer->GetHeight();
  Integer dw = XBmp2Scr(Layer->PosX + lw) - dx, dh = YBmp2Scr(Layer->PosY + lh) - dy;
  Integer sx = 0, sy = 0, sw = bw, sh = bh;
  Layer->ClientRect = TRect{dx, dy, dx + dw, dy + dh};
  if (Layer->Cropped && lw > 0 && lh > 0) {
    // Cut at the background layer's edges.
    const Integer bgW = FLayers[0]->Bitmap->GetWidth(), bgH = FLayers[0]->Bitmap->GetHeight();
    if (XScr2Bmp(dx) < 0) {
      sx = -LKTruncClamp(static_cast<double>(bw) / lw * Layer->PosX);
      sw = bw - sx;
      dx = XBmp2Scr(0);
      dw = XBmp2Scr(Layer->PosX + lw) - dx;
    }
    if (YScr2Bmp(dy) < 0) {
      sy = -LKTruncClamp(static_cast<double>(bh) / lh * Layer->PosY);
      sh = bh - sy;
      dy = YBmp2Scr(0);
      dh = YBmp2Scr(Layer->PosY + lh) - dy;
    }
    const Integer crw = Layer->ClientRect.Right - Layer->ClientRect.Left;
    const Integer crh = Layer->ClientRect.Bottom - Layer->ClientRect.Top;
    if (bgW < XScr2Bmp(dx + dw) && crw != 0) {
      dw = XBmp2Scr(bgW) - dx;
      sw = LKTruncClamp(static_cast<double>(bw) / crw * dw);
    }
    if (bgH < YScr2Bmp(dy + dh) && crh != 0) {
      dh = YBmp2Scr(bgH) - dy;
      sh = LKTruncClamp(static_cast<double>(bh) / crh * dh);
    }
  }
  void** rowTable = RowTable;
  Integer* cols = nullptr;
  Integer* rows = nullptr;
  b->RenderToTLKBitmap(Target, rowTable, cols, rows, UpdateRect, dx, dy, dw, dh, sx, sy, sw, sh, FEnableAlphaChannel,
                       FBackgroundStyle == lkbsSolid && First, Layer->Opacity, Filter, true, Layer->Operation);
  Layer->Placement = TLKPaintPlacement{dx, dy, dw, dh, sx, sy, sw, sh};
}

// ---------------------------------------------------------------------------
// Mask layers
// ---------------------------------------------------------------------------

std::vector<Byte> TLumerakView::ApplyMaskLayer(TLKLayer* Layer, TLKLayer* Mask) {
  TLKBitmap* m = Mask->Bitmap;
  if (m->GetPixelFormat() != lk8g) {
    m->RemoveAlphaChannel();
    m->ConvertToPixelFormat(lk8g);
  }
  TLKBitmap* b = Layer->Bitmap;
  TLKBitmap* alpha = b->GetAlphaChannel();  // created opaque when missing
  const Integer w = alpha->GetWidth(), h = alpha->GetHeight();
  // The layer's own alpha values are set aside (last byte: its Full flag)
  // and replaced for this render by min(alpha, mask).
  std::vector<Byte> own(static_cast<std::size_t>(w) * h + 1);
  own.back() = alpha->GetFull() ? 1 : 0;
  // Scale factors between the layer's and the mask's bitmap pixels through
  // their effective sizes, so that no factor is 0.
  const double lx = static_cast<double>(Layer->GetWidth()) / std::max(b->GetWidth(), 1);
  const double ly = static_cast<double>(Layer->GetHeight()) / std::max(b->GetHeight(), 1);
  const double mx = static_cast<double>(Mask->GetWidth()) / std::max(m->GetWidth(), 1);
  const double my = static_cast<double>(Mask->GetHeight()) / std::max(m->GetHeight(), 1);
  const Integer mw = m->GetWidth(), mh = m->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<Byte*>(alpha->GetScanLine(y));
    std::memcpy(own.data() + static_cast<std::size_t>(y) * w, row, static_cast<std::size_t>(w));
    const Integer my0 = my > 0 ? LKRoundEven(y * ly / my - Mask->PosY / my + Layer->PosY / my) : -1;
    const Byte* mrow = my0 >= 0 && my0 < mh ? static_cast<const Byte*>(m->GetScanLine(my0)) : nullptr;
    for (Integer x = 0; x < w; ++x) {
      const Integer mx0 = mx > 0 ? LKRoundEven(x * lx / mx - Mask->PosX / mx + Layer->PosX / mx) : -1;
      const Byte mv = mrow != nullptr && mx0 >= 0 && mx0 < mw ? mrow[mx0] : 0;
      row[x] = std::min(row[x], mv);
    }
  }
  alpha->SetFull(false);
  return own;
}

void TLumerakView::RestoreMaskedAlpha(TLKLayer* Layer, const std::vector<Byte>& Own) {
  TLKBitmap* alpha = Layer->Bitmap->GetAlphaChannel();
  const Integer w = alpha->GetWidth(), h = alpha->GetHeight();
  for (Integer y = 0; y < h; ++y)
    std::memcpy(alpha->GetScanLine(y), Own.data() + static_cast<std::size_t>(y) * w, static_cast<std::size_t>(w));
  alpha->SetFull(Own.back() != 0);
}

// ---------------------------------------------------------------------------
// Decorations and grid
// ---------------------------------------------------------------------------

void TLumerakView::CalcLayerGripCoords(const TLKLayer* Layer, TRect (&Grips)[8]) const {
  const TRect& r = Layer->ClientRect;
  const Integer mx = (r.Left + r.Right) / 2, my = (r.Top + r.Bottom) / 2;
  const TPoint c[8] = {{r.Left, r.Top},  {r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom},
                       {r.Left, my},     {r.Right, my},    {mx, r.Top},         {mx, r.Bottom}};
  for (Integer i = 0; i < 8; ++i) Grips[i] = TRect{c[i].X - 4, c[i].Y - 4, c[i].X + 4, c[i].Y + 4};
}

Integer TLumerakView::FindLayerGrip(Integer X, Integer Y) {
  if (FLayersCurrent < 0) return 0;
  TRect grips[8];
  CalcLayerGripCoords(FLayers[static_cast<std::size_t>(FLayersCurrent)], grips);
  for (Integer i = 0; i < 8; ++i)
    if (X >= grips[i].Left && X <= grips[i].Right && Y >= grips[i].Top && Y <= grips[i].Bottom) return i + 1;
  return 0;
}

void TLumerakView::DrawLayerGadgets(TLKBitmap* Target, TLKLayer* Layer, Integer Index) {
  const bool current = Index == FLayersCurrent;
  if (Layer->BoxVisible) {
    const bool move = FMouseInteract.Contains(miMoveLayers), resize = FMouseInteract.Contains(miResizeLayers);
    if (current) {
      if (move || resize) DrawLayerBox(Target, Layer);
      if (resize && !Layer->Locked) DrawLayerGrips(Target, Layer);
    } else if (FLayersDrawBox) {
      DrawLayerBox(Target, Layer);
    }
  }
  if (Layer->DrawOuter && current) DrawLayerOuter(Target, Layer);
}

void TLumerakView::DrawLayerBox(TLKBitmap* Target, TLKLayer* Layer) {
  TBitmap* bmp = Target->GetVclBitmap();
  if (bmp == nullptr) return;
  if (OnDrawLayerBox) {
    OnDrawLayerBox(this, bmp, Layer);
    return;
  }
  TCanvas* c = Target->GetCanvas();
  c->GetPen()->SetStyle(psDot);
  c->GetPen()->SetMode(pmNot);
  c->GetPen()->SetWidth(1);
  c->GetBrush()->SetStyle(bsClear);
  c->Rectangle(Layer->ClientRect);
  c->GetPen()->SetMode(pmCopy);
  c->GetPen()->SetStyle(psSolid);
  c->GetBrush()->SetStyle(bsSolid);
}

void TLumerakView::DrawLayerGrips(TLKBitmap* Target, TLKLayer* Layer) {
  TRect grips[8];
  CalcLayerGripCoords(Layer, grips);
  TBitmap* bmp = Target->GetVclBitmap();
  if (bmp == nullptr) return;
  if (OnDrawLayerGrip) {
    for (Integer i = 0; i < 8; ++i) OnDrawLayerGrip(this, bmp, Layer, i, grips[i]);
    return;
  }
  TCanvas* c = Target->GetCanvas();
  c->GetPen()->SetStyle(psSolid);
  c->GetPen()->SetMode(pmCopy);
  c->GetPen()->SetColor(clBlack);
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  for (const TRect& g : grips) c->Rectangle(g);
}

void TLumerakView::DrawLayerOuter(TLKBitmap* Target, TLKLayer* Layer) {
  if (Target->GetPixelFormat() != lk24RGB) return;
  const TRect& r = Layer->ClientRect;
  for (Integer y = 0; y < Target->GetHeight(); ++y) {
    auto* row = static_cast<Byte*>(Target->GetScanLine(y));
    for (Integer x = 0; x < Target->GetWidth(); ++x) {
      if (x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom) continue;
      if (((x ^ y) & 1) == 0) std::memset(row + static_cast<std::size_t>(x) * 3, kOuterGrey, 3);
    }
  }
}

void TLumerakView::PaintSelection(TLKBitmap* Target) {
  if (!FVisibleSelection || FMask->IsEmpty()) return;
  const TLKAnimPolygon* outline = GetSelectionOutline();
  if (outline == nullptr || !outline->Shown) return;
  const bool filled = FSelectionOptions.Contains(lksoFilled), outer = FSelectionOptions.Contains(lksoMarkOuter);
  if (!filled && !outer) return;
  TLKLayer* layer = GetCurrentLayer();
  if (layer == nullptr) return;
  // Placed like the current layer's paint, so the effect covers exactly the
  // selected pixels of that layer at the view's zoom and scroll.
  const TLKPaintPlacement& p = layer->Placement;
  if (p.SourceWidth <= 0 || p.SourceHeight <= 0) return;
  if (filled)
    if (TCanvas* c = Target->GetCanvas())
      FMask->InvertCanvas(c, p.DestX, p.DestY, p.DestWidth, p.DestHeight, p.SourceX, p.SourceY, p.SourceWidth,
                          p.SourceHeight);
  if (outer)
    if (TBitmap* b = Target->GetVclBitmap())
      FMask->DrawOuter(b, p.DestX, p.DestY, p.DestWidth, p.DestHeight, p.SourceX, p.SourceY, p.SourceWidth,
                       p.SourceHeight);
}

void TLumerakView::PaintGrid(TLKBitmap* Target) {
  if (!FDisplayGrid || FLayersCurrent < 0) return;
  TLKLayer* layer = FLayers[static_cast<std::size_t>(FLayersCurrent)];
  if (!layer->Visible) return;
  if (FGeo.ZoomX < kMinZoomDisplayGrid && FGeo.ZoomY < kMinZoomDisplayGrid) return;
  if (FGeo.BmpW <= 1 && FGeo.BmpH <= 1) return;
  const TLKPaintPlacement& p = layer->Placement;
  // A layer never drawn has no spacing to draw by.
  if (p.SourceWidth <= 0 || p.SourceHeight <= 0) return;
  TCanvas* c = Target->GetCanvas();
  if (c == nullptr) return;
  c->GetPen()->SetMode(pmNot);
  c->GetPen()->SetStyle(psSolid);
  c->GetPen()->SetWidth(1);
  for (Integer g = 0; g <= p.SourceWidth; ++g) {
    const Integer x = LKRoundEven(p.DestX + g * (static_cast<double>(p.DestWidth) / p.SourceWidth));
    c->MoveTo(x, p.DestY);
    c->LineTo(x, p.DestY + p.DestHeight);
  }
  for (Integer g = 0; g <= p.SourceHeight; ++g) {
    const Integer y = LKRoundEven(p.DestY + g * (static_cast<double>(p.DestHeight) / p.SourceHeight));
    c->MoveTo(p.DestX, y);
    c->LineTo(p.DestX + p.DestWidth, y);
  }
  c->GetPen()->SetMode(pmCopy);
}

// ---------------------------------------------------------------------------
// Rendering layers into an outside bitmap
// ---------------------------------------------------------------------------

void TLumerakView::LayersDrawTo(TLKBitmap* Bitmap) {
  if (Bitmap == nullptr) return;
  TLKLayer* bg = FLayers[0];
  Integer ex = bg->PosX + bg->GetWidth(), ey = bg->PosY + bg->GetHeight();
  for (TLKLayer* l : FLayers) {
    if (l->Cropped) continue;
    ex = std::max(ex, l->PosX + l->GetWidth());
    ey = std::max(ey, l->PosY + l->GetHeight());
  }
  if (Bitmap->GetPixelFormat() != lk24RGB || Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0)
    Bitmap->Allocate(std::max(ex, 1), std::max(ey, 1), lk24RGB);
  else
    Bitmap->Resize(ex, ey, ColorToRGB(GetBackground()), 255, lkhLeft, lkvTop);
  const TLKViewGeometry saved = FGeo;
  const Integer bw = bg->Bitmap->GetWidth(), bh = bg->Bitmap->GetHeight();
  FGeo.SetZoomXFactors(100);
  FGeo.SetZoomYFactors(100);
  FGeo.ViewX = FGeo.ViewY = 0;
  FGeo.FreeTables();
  FGeo.BmpW = bw;
  FGeo.BmpH = bh;
  FGeo.CW = bw;
  FGeo.CH = bh;
  FGeo.W = bw;
  FGeo.H = bh;
  FGeo.Center = false;
  FGeo.UpdateLimits(false);
  const bool syncWas = FLayersSync;
  FLayersSync = false;
  try {
    PaintToEx(Bitmap, nullptr, nullptr, false, false);
  } catch (...) {
    FLayersSync = syncWas;
    FGeo = saved;
    throw;
  }
  FLayersSync = syncWas;
  FGeo = saved;
  FGeo.FreeTables();
  Update();
}

void TLumerakView::LayersMergeAll() {
  TLKBitmap merged(FCurrent->GetWidth(), FCurrent->GetHeight(), lk24RGB);
  LayersDrawTo(&merged);
  LayersClear();
  FCurrent->Assign(&merged);
  Update();
}
