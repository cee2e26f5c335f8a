#include "views/lkbackground.h"

#include <algorithm>

#include "views/lkview.h"

namespace {

TColor Complement(TColor Color) { return ColorToRGB(Color) ^ 0x00FFFFFF; }

void FillSolid(TCanvas* Canvas, TColor Color, const TRect& R) {
  TBrush* brush = Canvas->GetBrush();
  brush->SetStyle(bsSolid);
  brush->SetColor(Color);
  Canvas->FillRect(R);
}

TRect Intersect(const TRect& A, const TRect& B) {
  return TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
               std::min(A.Bottom, B.Bottom)};
}

// Squares of SquareSize starting at the area's top-left corner; the first
// square is First, colours alternate along a band and between bands.
void ChessboardRows(TCanvas* Canvas, TBitmap* Bitmap, const TRect& Area, Integer Size, TColor First,
                    TColor Second) {
  const TColor a = ColorToRGB(First), b = ColorToRGB(Second);
  const Byte pa[3] = {GetBValue(a), GetGValue(a), GetRValue(a)};
  const Byte pb[3] = {GetBValue(b), GetGValue(b), GetRValue(b)};
  TRect r = Intersect(Area, Canvas->GetClipRect());
  r = Intersect(r, TRect{0, 0, Bitmap->GetWidth(), Bitmap->GetHeight()});
  if (r.Right <= r.Left || r.Bottom <= r.Top) return;
  for (Integer y = r.Top; y < r.Bottom; ++y) {
    Byte* row = Bitmap->ScanLine(y);
    const Integer band = (y - Area.Top) / Size;
    for (Integer x = r.Left; x < r.Right; ++x) {
      const Integer col = (x - Area.Left) / Size;
      const Byte* p = ((band + col) & 1) == 0 ? pa : pb;
      Byte* d = row + static_cast<std::size_t>(x) * 3;
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    }
  }
  Bitmap->SurfaceChanged();
}

// A soft shadow: steps from a dark share of Color towards Color.
TColor Shade(TColor Color, Integer Step, Integer Steps) {
  const TColor c = ColorToRGB(Color);
  const auto mix = [&](Byte v) { return static_cast<Byte>(v * (Steps + Step) / (2 * Steps)); };
  return RGB(mix(GetRValue(c)), mix(GetGValue(c)), mix(GetBValue(c)));
}

void RightShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TColor Color) {
  const Integer steps = X2 - X1;
  for (Integer i = 0; i < steps; ++i)
    FillSolid(Canvas, Shade(Color, i, steps), TRect{X1 + i, Y1 + 2 + i / 2, X1 + i + 1, Y2});
}

void BottomShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TColor Color) {
  const Integer steps = Y2 - Y1;
  for (Integer i = 0; i < steps; ++i)
    FillSolid(Canvas, Shade(Color, i, steps), TRect{X1 + 2 + i / 2, Y1 + i, X2 - (steps - 1 - i), Y1 + i + 1});
}

}  // namespace

bool LKDrawGradient(const TRect& Rect, TCanvas* Canvas, TColor Color1, TColor Color2, bool Vertical) {
  if (Canvas == nullptr) return false;
  const TColor a = ColorToRGB(Color1), b = ColorToRGB(Color2);
  const Integer n = Vertical ? Rect.Bottom - Rect.Top : Rect.Right - Rect.Left;
  if (n <= 0 || Rect.Right <= Rect.Left || Rect.Bottom <= Rect.Top) return true;
  const auto lerp = [n](Byte from, Byte to, Integer k) {
    return n == 1 ? from : static_cast<Byte>(from + (static_cast<Integer>(to) - from) * k / (n - 1));
  };
  for (Integer k = 0; k < n; ++k) {
    const TColor c =
        RGB(lerp(GetRValue(a), GetRValue(b), k), lerp(GetGValue(a), GetGValue(b), k), lerp(GetBValue(a), GetBValue(b), k));
    const TRect line = Vertical ? TRect{Rect.Left, Rect.Top + k, Rect.Right, Rect.Top + k + 1}
                                : TRect{Rect.Left + k, Rect.Top, Rect.Left + k + 1, Rect.Bottom};
    FillSolid(Canvas, c, line);
  }
  return true;
}

void LKDrawBackground(bool Designing, TCanvas* Canvas, TBitmap* Bitmap, TLKBackgroundStyle Style, TColor Color,
                      Integer X, Integer Y, Integer Width, Integer Height, Integer ImageX1, Integer ImageY1,
                      Integer ImageX2, Integer ImageY2, Integer SquareSize, TBrushStyle BrushStyle, TColor Color2,
                      TPicture* WallPaper, TLKWallPaperStyle WallPaperStyle) {
  if (Canvas == nullptr) return;
  const TRect area{X, Y, X + Width, Y + Height};
  TBrush* brush = Canvas->GetBrush();
  switch (Style) {
    case lkbsSolid:
      FillSolid(Canvas, Color, area);
      break;
    case lkbsHorizontal:
    case lkbsVertical:
    case lkbsFDiagonal:
    case lkbsBDiagonal:
    case lkbsCross:
    case lkbsDiagCross: {
      // Hatch lines in Color over the gap colour.
      FillSolid(Canvas, LKHatchGapColor, area);
      static constexpr TBrushStyle hatch[] = {bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross};
      brush->SetColor(Color);
      brush->SetStyle(hatch[Style - lkbsHorizontal]);
      Canvas->FillRect(area);
      brush->SetStyle(bsSolid);
      break;
    }
    case lkbsChessboard: {
      const Integer size = std::max(SquareSize, 1);
      if (Bitmap != nullptr && BrushStyle == bsSolid && Bitmap->GetPixelFormat() == pf24bit) {
        ChessboardRows(Canvas, Bitmap, area, size, Color, Complement(Color));
        break;
      }
      for (Integer top = Y, band = 0; top < Y + Height; top += size, ++band) {
        for (Integer left = X, col = 0; left < X + Width; left += size, ++col) {
          brush->SetStyle(BrushStyle);
          brush->SetColor(((band + col) & 1) == 0 ? Complement(Color) : Color);
          Canvas->FillRect(TRect{left, top, std::min(left + size, X + Width), std::min(top + size, Y + Height)});
        }
      }
      brush->SetStyle(bsSolid);
      break;
    }
    case lkbsDiagonals: {
      FillSolid(Canvas, Color, area);
      TPen* pen = Canvas->GetPen();
      pen->SetStyle(psSolid);
      pen->SetMode(pmCopy);
      pen->SetWidth(1);
      pen->SetColor(Complement(Color));
      Canvas->MoveTo(X, Y);
      Canvas->LineTo(X + Width, Y + Height);
      Canvas->MoveTo(X + Width, Y);
      Canvas->LineTo(X, Y + Height);
      break;
    }
    case lkbsCropped:
      if (Designing) {
        FillSolid(Canvas, Color, area);
        break;
      }
      FillSolid(Canvas, clBtnFace, area);
      if (ImageX2 - ImageX1 >= 2 && ImageY2 - ImageY1 >= 2) {
        const Integer ex = gEdgeX, ey = gEdgeY;
        TRect edge{ImageX1 - ex, ImageY1 - ey, ImageX2 + ex, ImageY2 + ey};
        DrawEdge(Canvas, edge, EDGE_SUNKEN, BF_RECT);
      }
      break;
    case lkbsCropShadow:
      FillSolid(Canvas, Color, area);
      if (!Designing && ImageX2 - ImageX1 >= 2 && ImageY2 - ImageY1 >= 2) {
        RightShadow(Canvas, ImageX2, ImageY1, ImageX2 + 5, ImageY2 + 3, Color);
        BottomShadow(Canvas, ImageX1, ImageY2, ImageX2 + 4, ImageY2 + 5, Color);
      }
      break;
    case lkbsGradient:
      LKDrawGradient(area, Canvas, Color, Color2, true);
      break;
  }
  if (WallPaper == nullptr || WallPaper->GetGraphic() == nullptr || WallPaper->GetGraphic()->GetEmpty()) return;
  TGraphic* g = WallPaper->GetGraphic();
  const Integer gw = g->GetWidth(), gh = g->GetHeight();
  if (gw <= 0 || gh <= 0) return;
  switch (WallPaperStyle) {
    case lkwoNormal:
      Canvas->Draw(0, 0, g);
      break;
    case lkwoStretch:
      Canvas->StretchDraw(TRect{0, 0, Width, Height}, g);
      break;
    case lkwoTile:
      for (Integer top = 0; top < Height; top += gh)
        for (Integer left = 0; left < Width; left += gw) Canvas->Draw(left, top, g);
      break;
  }
}
