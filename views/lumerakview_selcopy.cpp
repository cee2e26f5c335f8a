// Selection copies and pixel operations of the single-image view: the
// selected part copied out, pixels and alpha values written through the
// selection, the polygon copies, and feathering of an 8-bit selection.
#include <algorithm>
#include <cmath>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "core/lkmath.h"
#include "processing/lkgaussian.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

// Calls Fn(row, maskRow, width) for every row the picture and the mask share.
template <class F>
void ForMaskedRows(TLKBitmap* B, TLKMask* M, F&& Fn) {
  const Integer w = std::min(B->GetWidth(), M->GetWidth());
  const Integer h = std::min(B->GetHeight(), M->GetHeight());
  if (M->IsEmpty() || w <= 0 || h <= 0) return;
  const Integer y1 = std::max(M->GetY1(), 0), y2 = std::min(M->GetY2(), h - 1);
  const Integer x1 = std::max(M->GetX1(), 0), x2 = std::min(M->GetX2(), w - 1);
  for (Integer y = y1; y <= y2; ++y)
    for (Integer x = x1; x <= x2; ++x)
      if (M->GetPixel(x, y) != 0) Fn(y, x);
}

}  // namespace

void TLumerakView::CopySelectionToLKBitmap(TLKBitmap* Dest) {
  if (Dest == nullptr) return;
  // While a drag runs the mask lags behind the outline.
  if (FRectDrawing || FResizingGrip != lkNone || FMovingGrip >= 0 || FRectMoved) {
    FMask->Empty();
    EndSelect();
  }
  FCurrent->CopyWithMask1(Dest, FMask.get(), GetBackground());
}

void TLumerakView::CopySelectionToBitmap(TBitmap* Dest) {
  if (Dest == nullptr) return;
  if (Dest->GetPixelFormat() != pf1bit) Dest->SetPixelFormat(pf24bit);
  TLKBitmap wrapper;
  wrapper.EncapsulateTBitmap(Dest, true);
  CopySelectionToLKBitmap(&wrapper);
}

void TLumerakView::AssignSelTo(TPersistent* Target) {
  if (auto* view = dynamic_cast<TLumerakView*>(Target)) {
    if (view == this) return;
    if (FMask->IsEmpty())
      view->GetLKBitmap()->Assign(FCurrent);
    else
      CopySelectionToLKBitmap(view->GetLKBitmap());
    view->TLKView::SetBackGround(GetBackground());
    view->SetDPI(GetDpiX(), GetDpiY());
    view->Update();
    view->ImageChange();
  } else if (auto* bmp = dynamic_cast<TBitmap*>(Target)) {
    if (FMask->IsEmpty()) {
      // Without class-library storage the picture is copied from the
      // library's own rows.
      if (TBitmap* own = GetFBitmap())
        LKCopyBitmap(own, bmp);
      else
        FCurrent->CopyToTBitmap(bmp);
    } else {
      CopySelectionToBitmap(bmp);
    }
    bmp->SetModified(true);
  }
}

void TLumerakView::CopyToBitmapWithAlpha(TBitmap* Dest, Integer X, Integer Y) {
  if (Dest == nullptr) return;
  Dest->SetPixelFormat(pf24bit);
  if (!FCurrent->GetHasAlphaChannel()) return;
  const Integer w = FCurrent->GetWidth(), h = FCurrent->GetHeight();
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIndex = nullptr;
  FCurrent->RenderToTBitmap(Dest, rows, cols, rowIndex, nullptr, X, Y, w, h, 0, 0, w, h, true, false, 255, rfNone,
                            true, lklNormal);
}

void TLumerakView::SetSelectedAreaAlpha(Integer Alpha) {
  TLKBitmap* alpha = FCurrent->GetAlphaChannel();
  if (alpha == nullptr) return;
  const Byte a = static_cast<Byte>(Alpha & 0xFF);
  if (FMask->IsEmpty()) {
    alpha->Fill(a);
  } else {
    ForMaskedRows(alpha, FMask.get(), [&](Integer y, Integer x) { static_cast<Byte*>(alpha->GetScanLine(y))[x] = a; });
    alpha->SyncFull();
  }
  Update();
}

void TLumerakView::SetSelectedPixelsColor(TRGB Color) {
  if (FCurrent->GetPixelFormat() != lk24RGB) return;
  ForMaskedRows(FCurrent, FMask.get(), [&](Integer y, Integer x) {
    static_cast<TRGB*>(FCurrent->GetScanLine(y))[x] = Color;
  });
  Update();
}

void TLumerakView::SetAlphaRangePixelsColor(Integer Min, Integer Max, TRGB Color) {
  // Rows of other formats are not three bytes a pixel: writing them as such
  // would run past their ends.
  if (!FCurrent->GetHasAlphaChannel() || FCurrent->GetPixelFormat() != lk24RGB) return;
  TLKBitmap* alpha = FCurrent->GetAlphaChannel();
  const Integer w = std::min(FCurrent->GetWidth(), alpha->GetWidth());
  const Integer h = std::min(FCurrent->GetHeight(), alpha->GetHeight());
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<TRGB*>(FCurrent->GetScanLine(y));
    const auto* a = static_cast<const Byte*>(alpha->GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      if (a[x] >= Min && a[x] <= Max) row[x] = Color;
  }
  Update();
}

void TLumerakView::CopyFromPolygon(TBitmap* Source, const TPoint* Polygon, Integer Count, TPoint Position) {
  TBitmap* own = GetFBitmap();
  if (own == nullptr || Source == nullptr) return;
  _CopyPolygonToPoint(Source, Polygon, Count, own, Position);
  Update();
}

void TLumerakView::CopyToPolygon(TBitmap* Dest, const TPoint* Polygon, Integer Count, TPoint Position) {
  TBitmap* own = GetFBitmap();
  if (own == nullptr || Dest == nullptr) return;
  _CopyPointToPolygon(own, Polygon, Count, Dest, Position);
}

void TLumerakView::MakeSelectionFeather(double Radius) {
  if (!FSelected || FMask->GetBitsPerPixel() != 8 || FMask->IsEmpty()) return;
  GetSelectionOutline()->Points.clear();
  const Integer mw = FMask->GetWidth(), mh = FMask->GetHeight();
  // The mask's rows, bottom row first, wrapped as a grey picture.
  TLKBitmap wrapper;
  wrapper.EncapsulateMemory(FMask->GetScanLine(mh - 1), mw, mh, lk8g, true);
  const Integer d = std::max(LKTruncClamp(Radius * 5), 1);
  const Integer x1 = std::max(FMask->GetX1() - d, 0), y1 = std::max(FMask->GetY1() - d, 0);
  const Integer x2 = static_cast<Integer>(std::min<Int64>(Int64{FMask->GetX2()} + d, mw - 1));
  const Integer y2 = static_cast<Integer>(std::min<Int64>(Int64{FMask->GetY2()} + d, mh - 1));
  _LKGBlurRect8(&wrapper, x1, y1, x2, y2, Radius);
  FMask->SyncRect();
  ShowSelectionEx(true);
  RepaintSelection();
}
