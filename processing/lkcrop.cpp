// Crop, fill, grid marks, pen marker and tiling of the processing
// component, and polygon copies between class-library bitmaps.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "processing/lkprocutils.h"
#include "platform/graphics.h"
#include "processing/lumerakproc.h"
#include "core/lkviewlink.h"

namespace {

// A new bitmap of the given size in Source's format, with Source's palette.
std::unique_ptr<TLKBitmap> NewLike(TLKBitmap* Source, Integer Width, Integer Height) {
  auto b = std::make_unique<TLKBitmap>(Width, Height, Source->GetPixelFormat());
  for (Integer i = 0; i < Source->GetPaletteLen(); ++i) b->SetPalette(i, Source->GetPalette(i));
  return b;
}

// Row progress factor of a rectangle routine: 100 / (last row - Y1 + 0.5).
double RowFactor(Integer Y1, Integer Y2) { return 100.0 / (static_cast<double>(Y2 - 1) - Y1 + 0.5); }

// End of one polygon in a polygon list.
constexpr Integer kPolygonSeparator = 1048575;

// Calls f with each polygon of the list (runs between separators).
template <typename F>
void ForEachPolygon(const TPoint* points, Integer count, F f) {
  Integer start = 0;
  for (Integer i = 0; i <= count; ++i) {
    if (i == count || points[i].X == kPolygonSeparator) {
      if (i > start) f(std::span<const TPoint>(points + start, static_cast<size_t>(i - start)));
      start = i + 1;
    }
  }
}

// The box spanned by the points of a polygon list (separators left out).
TRect PolygonBox(const TPoint* points, Integer count) {
  TRect box{0, 0, 0, 0};
  bool first = true;
  for (Integer i = 0; i < count; ++i) {
    const TPoint p = points[i];
    if (p.X == kPolygonSeparator) continue;
    if (first) {
      box = TRect{p.X, p.Y, p.X, p.Y};
      first = false;
    }
    box.Left = std::min(box.Left, p.X);
    box.Top = std::min(box.Top, p.Y);
    box.Right = std::max(box.Right, p.X);
    box.Bottom = std::max(box.Bottom, p.Y);
  }
  return box;
}

// Grows a class-library bitmap to at least w x h.
void GrowTo(TBitmap* b, Integer w, Integer h) {
  if (b->GetWidth() < w || b->GetHeight() < h) b->SetSize(std::max(b->GetWidth(), w), std::max(b->GetHeight(), h));
}

}  // namespace

void _CopyPolygonToPoint(TBitmap* Source, const TPoint* Polygon, Integer Count, TBitmap* Dest, const TPoint& Point) {
  if (!Source || !Dest || !Polygon || Count < 3) return;
  const TRect box = PolygonBox(Polygon, Count);
  std::vector<TPoint> moved(Polygon, Polygon + Count);
  for (TPoint& p : moved) {
    if (p.X == kPolygonSeparator) continue;
    p.X += Point.X - box.Left;
    p.Y += Point.Y - box.Top;
  }
  const TRect dest{Point.X, Point.Y, Point.X + box.Width(), Point.Y + box.Height()};
  GrowTo(Dest, dest.Right, dest.Bottom);
  TCanvas* canvas = Dest->GetCanvas();
  ForEachPolygon(moved.data(), Count, [&](std::span<const TPoint> polygon) {
    canvas->SetClipRegion(polygon);
    canvas->CopyRect(dest, Source->GetCanvas(), box);
    canvas->ResetClipRect();
  });
}

void _CopyPointToPolygon(TBitmap* Source, const TPoint* Polygon, Integer Count, TBitmap* Dest, const TPoint& Point) {
  if (!Source || !Dest || !Polygon || Count < 3) return;
  const TRect box = PolygonBox(Polygon, Count);
  GrowTo(Dest, box.Right, box.Bottom);
  const TRect source{Point.X, Point.Y, Point.X + box.Width(), Point.Y + box.Height()};
  TCanvas* canvas = Dest->GetCanvas();
  ForEachPolygon(Polygon, Count, [&](std::span<const TPoint> polygon) {
    canvas->SetClipRegion(polygon);
    canvas->CopyRect(box, Source->GetCanvas(), source);
    canvas->ResetClipRect();
  });
}

void _CopyPolygonBitmap(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, const TPoint* Polygon, Integer Count) {
  if (!Source || !Dest || !Polygon || Count < 1) return;
  TCanvas* canvas = Dest->GetCanvas();
  ForEachPolygon(Polygon, Count, [&](std::span<const TPoint> polygon) {
    canvas->SetClipRegion(polygon);
    canvas->Draw(X, Y, Source);
    canvas->ResetClipRect();
  });
}

void _Fill(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, TRGB Color,
           const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->GetWidth());
  Y2 = std::min(Y2, Bitmap->GetHeight());
  if (X2 <= X1 || Y2 <= Y1) return;
  if (Bitmap->GetPixelFormat() == lk24RGB) {
    const double factor = RowFactor(Y1, Y2);
    for (Integer y = Y1; y < Y2; ++y) {
      TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
      std::fill(row + X1, row + X2, Color);
      TLumerakProc::ReportRowProgress(OnProgress, Sender, y, Y1, factor);
    }
    Bitmap->SetFull(false);
  } else if (Bitmap->GetPixelFormat() == lk1g) {
    for (Integer y = Y1; y < Y2; ++y) {
      Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(y));
      for (Integer x = X1; x < X2; ++x) _SetPixelbw(row, x, Color.r);
    }
    if (Color.r == 0) Bitmap->SetFull(false);
  }
}

void _PaintMark(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Spacing, TRGB Color,
                const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Spacing < 0) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->GetWidth());
  Y2 = std::min(Y2, Bitmap->GetHeight());
  if (X2 <= X1 || Y2 <= Y1) return;
  const double factor = RowFactor(Y1, Y2);
  const Int64 step = static_cast<Int64>(Spacing) + 1;
  for (Integer y = Y1; y < Y2; ++y) {
    if ((y - Y1) % step == 0) {
      TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
      for (Int64 x = X1; x < X2; x += step) row[x] = Color;
      Bitmap->SetFull(false);
    }
    TLumerakProc::ReportRowProgress(OnProgress, Sender, y, Y1, factor);
  }
}

void TLumerakProc::CropSel() {
  if (!MakeConsistentBitmap({})) return;
  if (FAutoUndo) SaveUndoCaptioned("CropSel", lkuImage);
  Integer x1, y1, x2, y2, count;
  TPoint* polygon = nullptr;
  TLKMask* mask = nullptr;
  if (GetReSel(x1, y1, x2, y2, polygon, count, mask) && mask && !mask->IsEmpty()) {
    const Integer w = mask->GetX2() - mask->GetX1() + 1;
    const Integer h = mask->GetY2() - mask->GetY1() + 1;
    std::unique_ptr<TLKBitmap> cut = NewLike(FBitmap, w, h);
    cut->Fill(GetReBackground());
    mask->CopyLKBitmap(cut.get(), FBitmap, true, false, true);
    FBitmap->Assign(cut.get());
    // A box fully inside the selection needs no alpha channel.
    TLKBitmap* alpha = FBitmap->GetAlphaChannel();
    alpha->SyncFull();
    if (alpha->GetFull()) FBitmap->RemoveAlphaChannel();
  }
  Update();
  DoFinishWork();
}

void TLumerakProc::Crop(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!MakeConsistentBitmap({})) return;
  // Corners in the wrong order, or a rectangle that misses the picture, have
  // nothing to keep; the part of a rectangle outside the picture would be
  // pixels that were never written, so the rectangle is clipped first.
  if (X2 < X1 || Y2 < Y1) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, FBitmap->GetWidth() - 1);
  Y2 = std::min(Y2, FBitmap->GetHeight() - 1);
  if (X2 < X1 || Y2 < Y1) return;
  if (FAutoUndo) SaveUndoCaptioned("Crop", lkuImage);
  const Integer w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  std::unique_ptr<TLKBitmap> cut = NewLike(FBitmap, w, h);
  FBitmap->CopyRectTo(cut.get(), X1, Y1, 0, 0, w, h);
  std::unique_ptr<TLKBitmap> cutAlpha;
  if (FBitmap->GetHasAlphaChannel()) {
    TLKBitmap* alpha = FBitmap->GetAlphaChannel();
    cutAlpha = NewLike(alpha, w, h);
    alpha->CopyRectTo(cutAlpha.get(), X1, Y1, 0, 0, w, h);
  }
  FBitmap->AssignImage(cut.get());
  if (cutAlpha) FBitmap->GetAlphaChannel()->AssignImage(cutAlpha.get());
  Update();
  DoFinishWork();
}

void TLumerakProc::AutoCrop(Integer Tolerance, TRGB Color) {
  if (!MakeConsistentBitmap({})) return;
  const Integer w = FBitmap->GetWidth(), h = FBitmap->GetHeight();
  auto isBackground = [&](Integer x, Integer y) {
    const TRGB p = FBitmap->GetPixels(x, y);
    return std::abs(p.r - Color.r) <= Tolerance && std::abs(p.g - Color.g) <= Tolerance &&
           std::abs(p.b - Color.b) <= Tolerance;
  };
  // Top and a first left: the first foreground pixel in reading order.
  Integer top = -1, left = 0;
  for (Integer y = 0; y < h && top < 0; ++y)
    for (Integer x = 0; x < w; ++x)
      if (!isBackground(x, y)) {
        top = y;
        left = x;
        break;
      }
  // Nothing but background: there is nothing to crop to.
  if (top < 0) return;
  for (Integer y = top; y < h; ++y)
    for (Integer x = 0; x < left; ++x)
      if (!isBackground(x, y)) {
        left = x;
        break;
      }
  Integer right = left;
  for (Integer y = top; y < h; ++y)
    for (Integer x = w - 1; x > right; --x)
      if (!isBackground(x, y)) {
        right = x;
        break;
      }
  Integer bottom = h - 1;
  for (Integer y = h - 1; y >= top; --y) {
    bool found = false;
    for (Integer x = 0; x < w && !found; ++x) found = !isBackground(x, y);
    if (found) {
      bottom = y;
      break;
    }
  }
  Crop(left, top, right, bottom);
}

void TLumerakProc::Fill(TRGB Color) {
  RunImageProcessing({}, "Fill", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Fill(b, x1, y1, x2, y2, Color, OnProgress, this);
  });
}

void TLumerakProc::PaintMark(Integer Spacing, TRGB Color) {
  RunImageProcessing({}, "PaintMark", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _PaintMark(b, x1, y1, x2, y2, Spacing, Color, OnProgress, this);
  });
}

void TLumerakProc::PaintPenMarker(Integer X, Integer Y, Integer Width, TColor Color, TColor SourceColor,
                                  Integer Tolerance) {
  if (!MakeConsistentBitmap({lk24RGB})) return;
  const Integer w = FBitmap->GetWidth(), h = FBitmap->GetHeight();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return;
  const TRGB color = TColor2TRGB(Color), source = TColor2TRGB(SourceColor);
  const bool alpha = FBitmap->GetHasAlphaChannel();
  auto pen = [&](Integer x, Integer y) {
    const TRGB p = FBitmap->GetPixels_lk24RGB(x, y);
    const Integer d = std::max({std::abs(p.r - source.r), std::abs(p.g - source.g), std::abs(p.b - source.b)});
    if (d > Tolerance) return;
    FBitmap->SetPixels_lk24RGB(x, y, color);
    if (alpha) FBitmap->SetAlpha(x, y, 255);
  };
  pen(X, Y);
  const double twoPi = 2 * 3.14159265358979323846;
  for (Integer c = 1; c <= Width / 2; ++c) {
    const Integer n = 2 * LKRound(twoPi * c);
    for (Integer k = 0; k < n; ++k) {
      const double a = k * twoPi / n;
      pen(std::clamp(LKRound(X + c * std::cos(a)), 0, w - 1), std::clamp(LKRound(Y + c * std::sin(a)), 0, h - 1));
    }
  }
  if (TLumerakViewServices* view = ViewServices()) {
    const Integer cx = view->XBmp2Scr(X), cy = view->YBmp2Scr(Y);
    const Integer e = LKRound((static_cast<double>(Width / 2) + 1) * view->GetZoom() / 100);
    view->UpdateRect(Rect(cx - e, cy - e, cx + e + 1, cy + e + 1));
  }
}

void TLumerakProc::MakeTile(Integer Columns, Integer Rows) {
  if (!MakeConsistentBitmap({})) return;
  const Integer w = FBitmap->GetWidth(), h = FBitmap->GetHeight();
  // Counts below 1 would give a negative or empty canvas; sizes past the
  // integer range cannot be held.
  if (Columns < 1 || Rows < 1 || w < 1 || h < 1) return;
  if (static_cast<Int64>(Columns) * w > std::numeric_limits<Integer>::max() ||
      static_cast<Int64>(Rows) * h > std::numeric_limits<Integer>::max())
    return;
  FBitmap->Resize(Columns * w, Rows * h, 0, 255, lkhLeft, lkvTop);
  auto tile = [&](TLKBitmap* b) {
    std::unique_ptr<TLKBitmap> first = NewLike(b, w, h);
    b->CopyRectTo(first.get(), 0, 0, 0, 0, w, h);
    for (Integer r = 0; r < Rows; ++r)
      for (Integer c = 0; c < Columns; ++c)
        if (r != 0 || c != 0) first->CopyRectTo(b, 0, 0, c * w, r * h, w, h);
  };
  tile(FBitmap);
  if (FBitmap->GetHasAlphaChannel()) tile(FBitmap->GetAlphaChannel());
  Update();
  DoFinishWork();
}

void TLumerakProc::Clear() {
  RunWholeImage({}, "Clear", [&](TLKBitmap* b) { b->Fill(GetReBackground()); });
}
