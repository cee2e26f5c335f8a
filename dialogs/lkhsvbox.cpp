#include "dialogs/lkhsvbox.h"

#include <algorithm>

#include "processing/lkcolorconv.h"
#include "processing/lkprocutils.h"

THSVBox::THSVBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FBitmap.SetPixelFormat(pf24bit);
  SetBounds(0, 0, 105, 105);
  FBitmap.SetSize(105, 105);
  RedrawAll();
}

void THSVBox::ClientResized(Integer NewWidth, Integer NewHeight) {
  TCustomControl::ClientResized(NewWidth, NewHeight);
  NewWidth = std::max(NewWidth, 0);
  NewHeight = std::max(NewHeight, 0);
  if (NewWidth == FBitmap.GetWidth() && NewHeight == FBitmap.GetHeight()) return;
  FBitmap.SetSize(NewWidth, NewHeight);
  RedrawAll();
  Invalidate();
}

void THSVBox::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  ClientResized(GetWidth(), GetHeight());
}

void THSVBox::Paint() { GetCanvas()->Draw(0, 0, &FBitmap); }

void THSVBox::Show() { Invalidate(); }

void THSVBox::ColorFromHSV() {
  TRGB c;
  HSV2RGB(c, FHue, FSat, FVal);
  FRed = c.r;
  FGreen = c.g;
  FBlue = c.b;
  FColor = TRGB2TColor(c);
}

void THSVBox::DrawValSat() {
  const Integer S = SquareWidth(), H = FBitmap.GetHeight();
  if (S < 1 || H < 1) return;
  for (Integer r = 0; r < H; ++r) {
    Byte* row = FBitmap.ScanLine(H - 1 - r);
    const Integer value = r * 100 / H;
    for (Integer c = 0; c < S; ++c) {
      TRGB px;
      HSV2RGB(px, FHue, c * 100 / S, value);
      row[c * 3] = px.b;
      row[c * 3 + 1] = px.g;
      row[c * 3 + 2] = px.r;
    }
  }
}

void THSVBox::DrawHue() {
  const Integer S = SquareWidth(), H = FBitmap.GetHeight(), W = FBitmap.GetWidth();
  if (S <= 0 || H <= 0) return;
  const TRGB back = TColor2TRGB(FBackground);
  for (Integer r = 0; r < H; ++r) {
    Byte* row = FBitmap.ScanLine(H - 1 - r);
    TRGB px;
    HSV2RGB(px, r * 360 / H, 99, 99);
    for (Integer c = S; c < W; ++c) {
      const TRGB& use = c < S + FBarsDistance ? back : px;
      row[c * 3] = use.b;
      row[c * 3 + 1] = use.g;
      row[c * 3 + 2] = use.r;
    }
  }
}

void THSVBox::DrawGrips() {
  const Integer S = SquareWidth(), H = FBitmap.GetHeight();
  if (S < 2 || H == 1) return;
  TCanvas* c = FBitmap.GetCanvas();
  c->GetPen()->SetStyle(psSolid);
  c->GetPen()->SetWidth(1);
  c->GetPen()->SetColor(clWhite);
  c->GetPen()->SetMode(pmXor);
  c->GetBrush()->SetStyle(bsClear);
  const Integer hy = LKRound((H - 1) * (359.0 - FHue) / 360.0);
  c->Rectangle(S + FBarsDistance, hy - 2, FBitmap.GetWidth(), hy + 2);
  const Integer x = LKRound(FSat / 99.0 * (S - 1));
  const Integer y = (H - 1) - LKRound((H - 1) * FVal / 99.0);
  c->Rectangle(x - 3, y - 3, x + 3, y + 3);
  c->GetPen()->SetMode(pmCopy);
}

void THSVBox::RedrawAll() {
  DrawValSat();
  DrawHue();
  DrawGrips();
}

void THSVBox::SetHue(Integer Value) {
  DrawGrips();
  FHue = std::clamp(Value, 0, 359);
  ColorFromHSV();
  DrawValSat();
  DrawGrips();
  Show();
}

void THSVBox::SetSat(Integer Value) {
  DrawGrips();
  FSat = std::clamp(Value, 0, 99);
  ColorFromHSV();
  DrawGrips();
  Show();
}

void THSVBox::SetVal(Integer Value) {
  DrawGrips();
  FVal = std::clamp(Value, 0, 99);
  ColorFromHSV();
  DrawGrips();
  Show();
}

void THSVBox::SetRGB(Byte R, Byte G, Byte B) {
  DrawGrips();
  FRed = R;
  FGreen = G;
  FBlue = B;
  RGB2HSV(CreateRGB(R, G, B), FHue, FSat, FVal);
  FColor = TRGB2TColor(CreateRGB(R, G, B));
  DrawValSat();
  DrawGrips();
  Show();
}

void THSVBox::SetColor(TColor Value) {
  const TRGB c = TColor2TRGB(Value);
  SetRGB(c.r, c.g, c.b);
  FColor = Value;
}

TColor THSVBox::GetColorAt(Integer X, Integer Y) const {
  const Integer S = SquareWidth(), H = FBitmap.GetHeight();
  if (S < 2 || H < 2 || X < 0 || X >= S || Y < 0 || Y >= H) return FColor;
  TRGB c;
  HSV2RGB(c, FHue, LKRound(static_cast<double>(X) / (S - 1) * 99), 99 - LKRound(static_cast<double>(Y) / (H - 1) * 99));
  return TRGB2TColor(c);
}

void THSVBox::SetBackground(TColor Value) {
  FBackground = Value;
  RedrawAll();
  Invalidate();
}

void THSVBox::SetHueBarWidth(Integer Value) {
  if (Value < 0) return;
  FHueBarWidth = Value;
  RedrawAll();
  Invalidate();
}

void THSVBox::SetBarsDistance(Integer Value) {
  if (Value < 0) return;
  FBarsDistance = Value;
  RedrawAll();
  Invalidate();
}

void THSVBox::XMouseMove(Integer X, Integer Y) {
  const Integer S = SquareWidth(), H = FBitmap.GetHeight();
  if (S < 2) return;
  DrawGrips();
  const double h1 = H > 1 ? static_cast<double>(Y) / (H - 1) : 0.0;
  if (FDrag == dSquare) {
    FSat = std::clamp(LKRound(static_cast<double>(X) / (S - 1) * 99), 0, 99);
    FVal = std::clamp(99 - LKRound(h1 * 99), 0, 99);
  } else if (FDrag == dHue) {
    FHue = std::clamp(359 - LKRound(h1 * 359), 0, 359);
    DrawValSat();
  }
  ColorFromHSV();
  if (OnChange) OnChange(this);
  DrawGrips();
  Show();
}

void THSVBox::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  const Integer S = SquareWidth();
  if (S <= 0) return;
  if (X < S)
    FDrag = dSquare;
  else if (X >= FBitmap.GetWidth() - FHueBarWidth)
    FDrag = dHue;
  else
    return;
  SetMouseCapture(true);
  XMouseMove(X, Y);
}

void THSVBox::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (FDrag == dNone || !GetMouseCapture()) return;
  const Integer S = SquareWidth(), H = FBitmap.GetHeight();
  X = std::max(X, 0);
  Y = std::clamp(Y, 0, std::max(H - 1, 0));
  if (FDrag == dSquare) X = std::min(X, S - 1);
  if (FDrag == dHue) X = std::clamp(X, S + FBarsDistance, std::max(FBitmap.GetWidth() - 1, S + FBarsDistance));
  XMouseMove(X, Y);
}

void THSVBox::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FDrag = dNone;
  SetMouseCapture(false);
}
