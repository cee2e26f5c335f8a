#include "dialogs/lkhistogrambox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "processing/lkhistogram.h"
#include "processing/lumerakproc.h"

THistogramBox::THistogramBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FBitmap.SetPixelFormat(pf24bit);
  SetBounds(0, 0, 256, 105);
  FBitmap.SetSize(256, 105);
}

THistogramBox::~THistogramBox() { BeginDestroy(); }

void THistogramBox::SetAttachedLumerakProc(TLumerakProc* Value) {
  FProc = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void THistogramBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FProc) FProc = nullptr;
}

void THistogramBox::SetBackground(TColor Value) {
  FBackground = Value;
  Update();
}

void THistogramBox::SetHistogramKind(THistogramKind Value) {
  if (Value == FKind) return;
  FKind = Value;
  Update();
}

void THistogramBox::SetLabels(THistogramLabels Value) {
  if (Value == FLabels) return;
  FLabels = Value;
  Update();
}

void THistogramBox::SetCompBar(bool Value) {
  if (Value == FCompBar) return;
  FCompBar = Value;
  Update();
}

void THistogramBox::SetHistogramStyle(THistogramStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Update();
}

void THistogramBox::ClientResized(Integer NewWidth, Integer NewHeight) {
  TCustomControl::ClientResized(NewWidth, NewHeight);
  NewWidth = std::max(NewWidth, 0);
  NewHeight = std::max(NewHeight, 0);
  if (NewWidth == FBitmap.GetWidth() && NewHeight == FBitmap.GetHeight()) return;
  FBitmap.SetSize(NewWidth, NewHeight);
  Update();
}

void THistogramBox::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  ClientResized(GetWidth(), GetHeight());
}

void THistogramBox::Paint() { GetCanvas()->Draw(0, 0, &FBitmap); }

void THistogramBox::Update() {
  TCanvas* c = FBitmap.GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(FBackground);
  c->GetPen()->SetMode(pmCopy);
  c->FillRect(TRect{0, 0, FBitmap.GetWidth(), FBitmap.GetHeight()});
  Invalidate();
  TLKBitmap* image = FProc != nullptr ? FProc->GetAttachedLKBitmap() : nullptr;
  if (image == nullptr || image->GetWidth() == 0 || image->GetHeight() == 0) return;

  THistogram hist;
  FProc->GetHistogram(&hist);
  auto count = [&](Integer level, THistogramKindItem k) -> Int64 {
    const THistogramItem& it = hist.Items[level];
    switch (k) {
      case hkRed: return it.R;
      case hkGreen: return it.G;
      case hkBlue: return it.B;
      default: return it.Gray;
    }
  };
  Int64 max = 0;
  for (Integer l = 0; l < 256; ++l)
    for (THistogramKindItem k : {hkRed, hkGreen, hkBlue, hkGray})
      if (FKind.Contains(k)) max = std::max(max, count(l, k));
  if (max == 0) return;

  Integer W = FBitmap.GetWidth(), H = FBitmap.GetHeight(), left = 0;
  const Integer fontHeight = std::abs(c->GetFont()->GetHeight());
  const Integer barHeight = static_cast<Integer>(fontHeight * 1.2);
  if (FCompBar) H -= barHeight + 2;
  c->GetBrush()->SetStyle(bsClear);
  if (FLabels.Contains(hlVertical)) {
    const Int64 pixels = static_cast<Int64>(image->GetWidth()) * image->GetHeight();
    const Integer labelWidth = c->TextWidth(std::to_string(pixels));
    c->TextOut(0, H / 2, std::to_string(max / 2));
    c->TextOut(0, 0, std::to_string(max));
    c->GetPen()->SetColor(c->GetFont()->GetColor());
    W -= labelWidth + 2;
    left += labelWidth + 2;
  }
  if (FLabels.Contains(hlHorizontal)) {
    const Integer y = H - fontHeight - 1;
    for (Integer i = 0; i < 4; ++i)
      c->TextOut(LKRound(i * 64.0 / 256.0 * W) + left, y, std::to_string(i * 64));
    c->TextOut(left + W - c->TextWidth("255"), y, "255");
    H -= c->TextHeight("0") + 2;
    c->MoveTo(left - 1, 0);
    c->LineTo(left - 1, H);
    c->LineTo(left + W, H);
  }
  FHistogramLeft = GetLeft() + left;
  if (W <= 0 || H <= 0) return;

  if (FCompBar) {
    const Integer top = FBitmap.GetHeight() - barHeight;
    const bool r = FKind.Contains(hkRed) || FKind.Contains(hkGray);
    const bool g = FKind.Contains(hkGreen) || FKind.Contains(hkGray);
    const bool b = FKind.Contains(hkBlue) || FKind.Contains(hkGray);
    for (Integer col = 0; col < W; ++col) {
      // Wider than 511 columns the ramp would reach 256 at the right end;
      // it stays at full intensity instead of wrapping to black.
      const Integer v = std::min(LKRound(static_cast<double>(col) / W * 256.0), 255);
      const TColor colour = (r ? v : 0) | (g ? v << 8 : 0) | (b ? v << 16 : 0);
      for (Integer y = std::max(top, 0); y < FBitmap.GetHeight(); ++y) c->SetPixel(left + col, y, colour);
    }
  }

  struct TChannel {
    THistogramKindItem Kind;
    TColor Pen;
  };
  const TChannel channels[] = {{hkRed, clRed}, {hkGreen, 0x008000}, {hkBlue, clBlue}, {hkGray, FGrayColor}};
  std::vector<TPoint> line;
  for (const TChannel& ch : channels) {
    if (!FKind.Contains(ch.Kind)) continue;
    c->GetPen()->SetColor(ch.Pen);
    if (FStyle == hsLines) {
      line.assign(1, TPoint{left, H - 1});
    }
    for (Integer col = 0; col < W; ++col) {
      const Integer level = std::min(static_cast<Integer>(static_cast<double>(col) / W * 256.0), 255);
      const Int64 n = count(level, ch.Kind);
      Integer h = LKRound(static_cast<double>(n) / static_cast<double>(max) * H);
      if (FStyle == hsBars) {
        if (h == 0 && n != 0) h = 1;
        c->MoveTo(left + col, H - 1);
        c->LineTo(left + col, H - h - 1);
      } else {
        line.push_back(TPoint{left + col, H - h});
      }
    }
    if (FStyle == hsLines) c->Polyline(line);
  }
}
