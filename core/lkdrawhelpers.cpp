// Drop shadows and the hint box (see core/lkdrawhelpers.h).
#include "core/lkdrawhelpers.h"

#include <algorithm>
#include <cmath>

#include "core/lkcolorspace.h"
#include "platform/graphics.h"

namespace {

// The colour scaled by m per channel, truncated.
TColor Darkened(TColor Color, double M) {
  const TColor c = ColorToRGB(Color);
  return RGB(static_cast<Byte>(GetRValue(c) * M), static_cast<Byte>(GetGValue(c) * M),
             static_cast<Byte>(GetBValue(c) * M));
}

// Darkening of line i of n lines (0 next to the object).
double SmoothFactor(Integer I, Integer N) {
  const double t = (N - I) / (N / 3.0);
  return std::exp(-0.1 - t * t / 6);
}

// 255 x exp(v) / e, truncated and limited to 0..255.
Integer GreyLevel(double V) { return std::clamp(static_cast<Integer>(255 * std::exp(V) / M_E), 0, 255); }

}  // namespace

void LKRightShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKShadowType ShadowType,
                   TColor Color) {
  if (Canvas == nullptr) return;
  const Integer w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  switch (ShadowType) {
    case lkstSolid:
      Canvas->FillRect(TRect{X1, Y1 + w, X2, Y2 + 1});
      break;
    case lkstSmooth1: {
      TPen* pen = Canvas->GetPen();
      pen->SetStyle(psSolid);
      pen->SetMode(pmCopy);
      for (Integer i = 0; i < w; ++i) {
        pen->SetColor(Darkened(Color, SmoothFactor(i, w)));
        Canvas->MoveTo(X1 + i, Y1 + w);
        Canvas->LineTo(X1 + i, Y2 - w + i + 3);
      }
      break;
    }
    case lkstSmooth2: {
      if (w <= 0 || h <= 0) break;
      Integer s = 0;
      for (Integer j = 0; j <= h; ++j) {
        const Integer row = GreyLevel(static_cast<double>(h - 3 * j) / h);
        if (j > h - w + 1) ++s;
        for (Integer i = s; i <= w; ++i) {
          const Byte g = static_cast<Byte>(std::max(row, GreyLevel(static_cast<double>(i) / w)));
          Canvas->SetPixel(X1 + i, Y1 + j, RGB(g, g, g));
        }
      }
      break;
    }
    default:
      break;
  }
}

void LKBottomShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKShadowType ShadowType,
                    TColor Color) {
  if (Canvas == nullptr) return;
  const Integer w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  switch (ShadowType) {
    case lkstSolid:
      Canvas->FillRect(TRect{X1 + h, Y1, X2 + 1, Y2});
      break;
    case lkstSmooth1: {
      TPen* pen = Canvas->GetPen();
      pen->SetStyle(psSolid);
      pen->SetMode(pmCopy);
      for (Integer i = 0; i < h; ++i) {
        pen->SetColor(Darkened(Color, SmoothFactor(i, h)));
        Canvas->MoveTo(X1 + h, Y1 + i);
        Canvas->LineTo(X2 - h + i + 3, Y1 + i);
      }
      break;
    }
    case lkstSmooth2: {
      if (w <= 0 || h <= 0) break;
      Integer s = 0;
      for (Integer j = 0; j <= w; ++j) {
        const Integer col = GreyLevel(static_cast<double>(w - 3 * j) / w);
        if (j > w - h + 1) ++s;
        for (Integer i = s; i <= h; ++i) {
          const Byte g = static_cast<Byte>(std::max(col, GreyLevel(static_cast<double>(i) / h)));
          Canvas->SetPixel(X1 + j, Y1 + i, RGB(g, g, g));
        }
      }
      break;
    }
    default:
      break;
  }
}

void LKDrawHint(TCanvas* Canvas, Integer& X, Integer& Y, const String& Text, const TFont* Font, const TBrush* Brush,
                TBitmap* SaveBitmap, Integer MaxWidth, Integer MaxHeight, TColor TopLeftColor,
                TColor BottomRightColor) {
  if (Canvas == nullptr || SaveBitmap == nullptr) return;
  if (Font != nullptr) Canvas->SetFont(Font);
  if (Brush != nullptr) Canvas->SetBrush(Brush);
  const TSize ext = Canvas->TextExtent(Text);
  const Integer W = ext.cx + 12, H = ext.cy + 12;
  X = std::min(std::max(X, 0), MaxWidth - W - 1);
  Y = std::min(std::max(Y, 0), MaxHeight - H - 1);
  SaveBitmap->SetPixelFormat(pf24bit);
  SaveBitmap->SetSize(W, H);
  SaveBitmap->GetCanvas()->SetCopyMode(cmSrcCopy);
  SaveBitmap->GetCanvas()->CopyRect(TRect{0, 0, W, H}, Canvas, TRect{X, Y, X + W, Y + H});
  Canvas->FillRect(TRect{X + 6, Y + 6, X + W, Y + H});
  LKDraw3DRect(Canvas, X + 6, Y + 6, X + W - 1, Y + H - 1, TopLeftColor, BottomRightColor);
  const TBrushStyle keep = Canvas->GetBrush()->GetStyle();
  Canvas->GetBrush()->SetStyle(bsClear);
  Canvas->TextOut(X + 9, Y + 9, Text);
  Canvas->GetBrush()->SetStyle(keep);
}
