#include "dialogs/lkrulerbox.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/sysutils.h"

TRulerBox::TRulerBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FBitmap.SetPixelFormat(pf24bit);
  SetBounds(0, 0, 300, 40);
  FBitmap.SetSize(300, 40);
  FGrips.push_back(NewGrip());
  FScrollTimer = new TTimer(this);
  FScrollTimer->SetEnabled(false);
  FScrollTimer->SetInterval(30);
  FScrollTimer->SetOnTimer([this](TObject*) { ScrollStep(FScrollDir); });
  Update();
}

TRulerBox::~TRulerBox() { BeginDestroy(); }

TRulerBox::TGrip TRulerBox::NewGrip() const {
  TGrip g;
  g.Color = FBackground;
  g.Min = FViewMin;
  g.Max = FViewMax;
  return g;
}

Integer TRulerBox::Length() const { return FRulerDir == rdHorizontal ? FBitmap.GetWidth() : FBitmap.GetHeight(); }

void TRulerBox::ClientResized(Integer NewWidth, Integer NewHeight) {
  TCustomControl::ClientResized(NewWidth, NewHeight);
  NewWidth = std::max(NewWidth, 0);
  NewHeight = std::max(NewHeight, 0);
  if (NewWidth == FBitmap.GetWidth() && NewHeight == FBitmap.GetHeight()) return;
  FBitmap.SetSize(NewWidth, NewHeight);
  Update();
}

void TRulerBox::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  ClientResized(GetWidth(), GetHeight());
}

void TRulerBox::Paint() { GetCanvas()->Draw(0, 0, &FBitmap); }

// ---- properties

void TRulerBox::SetViewPos(double Value) {
  FViewPos = Value;
  AdjustViewLimits();
  Update();
}

void TRulerBox::SetDPU(double Value) {
  if (!(Value > 0) || !std::isfinite(Value)) return;
  FDPU = Value;
  Update();
}

void TRulerBox::SetFrequency(double Value) {
  FFrequency = Value;
  Update();
}

void TRulerBox::SetLabelFreq(double Value) {
  FLabelFreq = Value;
  Update();
}

void TRulerBox::SetViewMin(double Value) {
  FViewMin = Value;
  AdjustViewLimits();
  for (TGrip& g : FGrips) g.Min = Value;
  Update();
}

void TRulerBox::SetViewMax(double Value) {
  FViewMax = Value;
  AdjustViewLimits();
  for (TGrip& g : FGrips) g.Max = Value;
  Update();
}

void TRulerBox::SetFitInView(bool Value) { FFitInView = Value, Update(); }
void TRulerBox::SetRuler(bool Value) { FRuler = Value, Update(); }
void TRulerBox::SetRulerColor(TColor Value) { FRulerColor = Value, Update(); }
void TRulerBox::SetBackground(TColor Value) { FBackground = Value, Update(); }
void TRulerBox::SetRulerDir(TRulerDir Value) { FRulerDir = Value, Update(); }
void TRulerBox::SetGripsDir(TGripsDir Value) { FGripsDir = Value, Update(); }
void TRulerBox::SetGripBaseDim(Integer Value) { FGripBaseDim = Value, Update(); }
void TRulerBox::SetHexLabels(bool Value) { FHexLabels = Value, Update(); }

void TRulerBox::SetGripsCount(Integer Value) {
  Value = std::max(Value, 0);
  if (Value == GetGripsCount()) return;
  if (Value < GetGripsCount()) {
    FGrips.resize(Value);
    if (FPressed >= Value) FPressed = -1;
  } else {
    while (GetGripsCount() < Value) FGrips.push_back(NewGrip());
  }
  Update();
}

double TRulerBox::GetGripsPos(Integer i) const { return i >= 0 && i < GetGripsCount() ? FGrips[i].Pos : 0; }
TColor TRulerBox::GetGripsCol(Integer i) const { return i >= 0 && i < GetGripsCount() ? FGrips[i].Color : 0; }
TGripKind TRulerBox::GetGripsKind(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? FGrips[i].Kind : gkTriangle;
}
double TRulerBox::GetGripsMin(Integer i) const { return i >= 0 && i < GetGripsCount() ? FGrips[i].Min : 0; }
double TRulerBox::GetGripsMax(Integer i) const { return i >= 0 && i < GetGripsCount() ? FGrips[i].Max : 0; }

void TRulerBox::SetGripsPos(Integer i, double Value) {
  if (i < 0 || i >= GetGripsCount()) return;
  FGrips[i].Pos = Value;
  AdjustGripLimits(i);
  if (OnRulerPosChange) OnRulerPosChange(this, i);
  Update();
}

void TRulerBox::SetGripsCol(Integer i, TColor Value) {
  if (i < 0 || i >= GetGripsCount()) return;
  FGrips[i].Color = Value;
  Update();
}

void TRulerBox::SetGripsKind(Integer i, TGripKind Value) {
  if (i < 0 || i >= GetGripsCount()) return;
  FGrips[i].Kind = Value;
  Update();
}

void TRulerBox::SetGripsMin(Integer i, double Value) {
  if (i < 0 || i >= GetGripsCount()) return;
  FGrips[i].Min = Value;
  for (Integer k = 0; k < GetGripsCount(); ++k) AdjustGripLimits(k);
  Update();
}

void TRulerBox::SetGripsMax(Integer i, double Value) {
  if (i < 0 || i >= GetGripsCount()) return;
  FGrips[i].Max = Value;
  for (Integer k = 0; k < GetGripsCount(); ++k) AdjustGripLimits(k);
  Update();
}

void TRulerBox::AdjustGripLimits(Integer i) {
  const TGrip& g = FGrips[i];
  if (!(g.Max > g.Min)) return;
  // Setting the limited position again reports it as a change of its own.
  if (g.Pos < g.Min)
    SetGripsPos(i, g.Min);
  else if (g.Pos > g.Max)
    SetGripsPos(i, g.Max);
}

void TRulerBox::AdjustViewLimits() {
  if (FViewMin >= FViewMax) return;
  if (FViewPos < FViewMin)
    FViewPos = FViewMin;
  else if (FViewPos > FViewMax - GetWidthInUnit())
    FViewPos = std::max(FViewMax - GetWidthInUnit(), 0.0);
}

// ---- geometry

Integer TRulerBox::GetRulerHeight() const {
  if (!FRuler) return 0;
  TFont* font = const_cast<TBitmap&>(FBitmap).GetCanvas()->GetFont();
  return static_cast<Integer>(std::abs(font->GetHeight()) * 1.7) + 3;
}

Integer TRulerBox::GetXGripPos(Integer i) const {
  const double v = (GetGripsPos(i) - FViewPos) * FDPU;
  return LKRound(std::clamp(v, -1e9, 1e9));
}

double TRulerBox::GetWidthInUnit() const { return FBitmap.GetWidth() / FDPU; }

void TRulerBox::GetGripPoly(Integer i, std::vector<TPoint>& Points) const {
  Points.clear();
  if (i < 0 || i >= GetGripsCount()) return;
  const Integer x = GetXGripPos(i);
  const Integer across = FRulerDir == rdHorizontal ? FBitmap.GetHeight() : FBitmap.GetWidth();
  const Integer R = GetRulerHeight();
  Integer B, T;
  if (FGripsDir == gdUp) {
    B = across - 1;
    T = R;
  } else {
    B = 0;
    T = across - 1 - R;
  }
  const Integer d = FGripBaseDim / 2, q = FGripBaseDim / 4;
  switch (FGrips[i].Kind) {
    case gkTriangle: Points = {{x - d, B}, {x + d, B}, {x, T}}; break;
    case gkLeftTriangle: Points = {{x - d, B}, {x, B}, {x, T}}; break;
    case gkRightTriangle: Points = {{x, B}, {x + d, B}, {x, T}}; break;
    case gkArrow: {
      const Integer M = FGripsDir == gdUp ? T + (B - T) / 3 : B + ((T - B) / 3) * 2;
      Points = {{x - q, B}, {x + q, B}, {x + q, M}, {x + d, M}, {x, T}, {x - d, M}, {x - q, M}};
      break;
    }
    case gkArrow2: {
      const Integer M2 = FGripsDir == gdUp ? T + (B - T) / 2 : B + (T - B) / 2;
      Points = {{x - d, B}, {x + d, B}, {x + d, M2}, {x, T}, {x - d, M2}};
      break;
    }
  }
  if (FRulerDir == rdVertical)
    for (TPoint& p : Points) std::swap(p.X, p.Y);
}

TRect TRulerBox::GetGripRect(Integer i) const {
  std::vector<TPoint> pts;
  GetGripPoly(i, pts);
  if (pts.empty()) return TRect{};
  TRect r{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (const TPoint& p : pts) {
    r.Left = std::min(r.Left, p.X);
    r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X);
    r.Bottom = std::max(r.Bottom, p.Y);
  }
  ++r.Right;
  ++r.Bottom;
  return r;
}

Integer TRulerBox::GetClickedGrip(Integer X, Integer Y) const {
  for (Integer i = GetGripsCount() - 1; i >= 0; --i) {
    const TRect r = GetGripRect(i);
    if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) return i;
  }
  return -1;
}

String TRulerBox::LabelText(double V) const {
  if (!FHexLabels) return FloatToStr(V);
  const double a = std::min(std::fabs(V), 9.2e18);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(a));
  return (V < 0 && static_cast<unsigned long long>(a) != 0 ? "-" : "") + String(buf);
}

// ---- drawing

void TRulerBox::Update() {
  if (FFitInView && FViewMax > FViewMin) {
    // Without a range (ViewMax not above ViewMin) the scale keeps its pixels
    // per unit instead of dividing by zero.
    FDPU = FBitmap.GetWidth() / (FViewMax - FViewMin);
    if (!(FDPU > 0)) FDPU = 1;
    AdjustViewLimits();
  }
  RepaintGrips();
  RepaintRuler();
  Invalidate();
}

void TRulerBox::RepaintGrips() {
  TCanvas* c = FBitmap.GetCanvas();
  const Integer W = FBitmap.GetWidth(), H = FBitmap.GetHeight(), R = GetRulerHeight();
  c->GetPen()->SetMode(pmCopy);
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(FBackground);
  TRect area;
  if (FRulerDir == rdHorizontal)
    area = FGripsDir == gdUp ? TRect{0, R, W, H} : TRect{0, 0, W, H - R};
  else
    area = FGripsDir == gdUp ? TRect{R, 0, W, H} : TRect{0, 0, W - R, H};
  c->FillRect(area);
  c->GetPen()->SetColor(clBlack);
  c->GetPen()->SetStyle(psSolid);
  std::vector<TPoint> pts;
  for (Integer i = 0; i < GetGripsCount(); ++i) {
    GetGripPoly(i, pts);
    c->GetBrush()->SetColor(FGrips[i].Color);
    c->Polygon(pts);
  }
}

void TRulerBox::RepaintRuler() {
  if (!FRuler) return;
  TCanvas* c = FBitmap.GetCanvas();
  const Integer W = FBitmap.GetWidth(), H = FBitmap.GetHeight(), R = GetRulerHeight();
  const bool horz = FRulerDir == rdHorizontal;
  const Integer across = horz ? H : W, along = horz ? W : H;
  c->GetPen()->SetMode(pmCopy);
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(FRulerColor);
  // The scale area: next to the grips' tips.
  const Integer a0 = FGripsDir == gdUp ? 0 : across - R, a1 = FGripsDir == gdUp ? R + 1 : across;
  c->FillRect(horz ? TRect{0, a0, W, a1} : TRect{a0, 0, a1, H});
  c->GetPen()->SetColor(c->GetFont()->GetColor());
  c->GetBrush()->SetStyle(bsClear);
  const Integer base = FGripsDir == gdUp ? R : across - R;
  const Integer sign = FGripsDir == gdUp ? -1 : 1;
  auto tick = [&](double v, Integer len) {
    const double px = (v - FViewPos) * FDPU;
    const Integer p = LKRound(std::clamp(px, -1e9, 1e9));
    if (horz) {
      c->MoveTo(p, base);
      c->LineTo(p, base + sign * len);
    } else {
      c->MoveTo(base, p);
      c->LineTo(base + sign * len, p);
    }
    return p;
  };
  auto ticks = [&](double freq, Integer len, bool labels) {
    if (!(freq > 0) || !(FDPU > 0)) return;
    const double n = std::floor(along / FDPU / freq);
    if (!(n < 100000)) return;  // a scale this dense draws as solid colour anyway
    const double first = freq * std::trunc(FViewPos / freq);
    for (Integer k = 0; k <= static_cast<Integer>(n) + 1; ++k) {
      const double v = first + k * freq;
      const Integer p = tick(v, len);
      if (!labels) continue;
      const String text = LabelText(v);
      const Integer tw = c->TextWidth(text);
      const Integer fh = std::abs(c->GetFont()->GetHeight());
      if (horz) {
        c->TextOut(p - tw / 2, FGripsDir == gdUp ? 0 : H - fh, text);
      } else {
        TFont saved;
        saved.Assign(c->GetFont());
        c->GetFont()->SetOrientation(FGripsDir == gdUp ? 900 : -900);
        c->TextOut(FGripsDir == gdUp ? 0 : W, FGripsDir == gdUp ? p + tw / 2 : p - tw / 2, text);
        c->GetFont()->Assign(&saved);
      }
    }
  };
  ticks(FFrequency, R / 4, false);
  ticks(FLabelFreq, R / 2, true);
}

// ---- mouse

void TRulerBox::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FPressed = GetClickedGrip(X, Y);
  FPressPoint = TPoint{X, Y};
  if (FPressed >= 0) {
    if (Shift.Contains(ssDouble) && OnRulerGripDblClick) OnRulerGripDblClick(this, FPressed);
    FPressGripPixel = GetXGripPos(FPressed);
    SetMouseCapture(true);
  } else if (OnRulerClick) {
    OnRulerClick(this, X / FDPU + FViewPos);
  }
}

void TRulerBox::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (FPressed < 0 || !GetMouseCapture()) return;
  const bool horz = FRulerDir == rdHorizontal;
  const Integer p = horz ? X : Y, press = horz ? FPressPoint.X : FPressPoint.Y;
  const Integer len = Length();
  if (p < 0) {
    FScrollDir = -1;
  } else if (p > len) {
    FScrollDir = 1;
  } else {
    StopScroll();
    SetGripsPos(FPressed, (p + FPressGripPixel - press) / FDPU + FViewPos);
    Invalidate();
    return;
  }
  // Past an end the ruler scrolls by one pixel per tick of the timer until
  // the pointer comes back or the button is released.
  if (!FScrollTimer->GetEnabled()) {
    ScrollStep(FScrollDir);
    FScrollTimer->SetEnabled(true);
  }
}

void TRulerBox::ScrollStep(Integer Direction) {
  if (FPressed < 0 || FPressed >= GetGripsCount() || Direction == 0) {
    StopScroll();
    return;
  }
  const bool horz = FRulerDir == rdHorizontal;
  const Integer press = horz ? FPressPoint.X : FPressPoint.Y;
  const double step = 1 / FDPU;
  TGrip& g = FGrips[FPressed];
  if (Direction < 0)
    g.Pos = (FPressGripPixel - press) / FDPU + FViewPos - step;
  else
    g.Pos = (Length() + FPressGripPixel - press - 1) / FDPU + FViewPos + step;
  if (g.Max > g.Min) g.Pos = std::clamp(g.Pos, g.Min, g.Max);
  FViewPos += Direction * step;
  AdjustViewLimits();
  RepaintGrips();
  RepaintRuler();
  Invalidate();
  if (OnRulerPosChange) OnRulerPosChange(this, FPressed);
}

void TRulerBox::StopScroll() {
  FScrollDir = 0;
  if (FScrollTimer != nullptr) FScrollTimer->SetEnabled(false);
}

void TRulerBox::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  StopScroll();
  if (FPressed >= 0 && X == FPressPoint.X && Y == FPressPoint.Y && OnRulerGripClick) OnRulerGripClick(this, FPressed);
  FPressed = -1;
  SetMouseCapture(false);
}
