#include "app/RXSpin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/sysutils.h"

namespace {

// Rounds half to even and keeps the result inside the 64-bit range (NaN
// gives 0).
Int64 RoundToInt64(long double V) {
  if (std::isnan(V)) return 0;
  const long double r = std::nearbyintl(V);
  if (r >= 9.2233720368547758e18L) return std::numeric_limits<Int64>::max();
  if (r <= -9.2233720368547758e18L) return std::numeric_limits<Int64>::min();
  return static_cast<Int64>(r);
}

// First repeat after the press, then the steady rate.
constexpr Cardinal kFirstRepeat = 400;
constexpr Cardinal kNextRepeat = 100;

// The default glyphs: 6 x 6 black arrows on white, the white left out.
std::unique_ptr<TBitmap> DefaultGlyph(bool Up) {
  static const char* const kUp[6] = {"......", "..##..", ".####.", "######", "......", "......"};
  static const char* const kDown[6] = {"......", "......", "######", ".####.", "..##..", "......"};
  const char* const* rows = Up ? kUp : kDown;
  auto b = std::make_unique<TBitmap>(6, 6, pf1bit);
  for (Integer y = 0; y < 6; ++y)
    for (Integer x = 0; x < 6; ++x)
      if (rows[y][x] == '#') b->GetCanvas()->SetPixel(x, y, clBlack);
  return b;
}

std::unique_ptr<TBitmap> CopyGlyph(TBitmap* Source) {
  auto b = std::make_unique<TBitmap>();
  b->Assign(Source);
  return b;
}

// Draws Glyph centred on (X, Y), its transparent colour left out.
void DrawGlyph(TCanvas* Canvas, TBitmap* Glyph, Integer X, Integer Y) {
  if (!Glyph || Glyph->GetEmpty()) return;
  const Integer w = Glyph->GetWidth(), h = Glyph->GetHeight();
  const Integer left = X - w / 2, top = Y - h / 2;
  Canvas->CopyFromSurface(TRect{left, top, left + w, top + h}, Glyph, TRect{0, 0, w, h}, Glyph->GetTransparentColor());
}

}  // namespace

// ---------------------------------------------------------------------------
// TRxSpinButton
// ---------------------------------------------------------------------------

TRxSpinButton::TRxSpinButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  SetBounds(GetLeft(), GetTop(), 20, 20);
  FUpGlyph = DefaultGlyph(true);
  FDownGlyph = DefaultGlyph(false);
}

TRxSpinButton::~TRxSpinButton() {
  OnTopClick = nullptr;
  OnBottomClick = nullptr;
}

void TRxSpinButton::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
  if (Operation == opRemove && AComponent == FRepeatTimer) FRepeatTimer = nullptr;
}

void TRxSpinButton::SetFocusControl(TWinControl* Value) {
  if (FFocusControl != nullptr) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

TSpinButtonState TRxSpinButton::HalfAt(Integer W, Integer H, Integer X, Integer Y) {
  if (W <= 0) return sbTopDown;
  return static_cast<double>(Y) > H - static_cast<double>(H) / W * X ? sbBottomDown : sbTopDown;
}

void TRxSpinButton::SetDown(TSpinButtonState Value) {
  if (Value == FDown) return;
  FDown = Value;
  Invalidate();
}

void TRxSpinButton::FireClick(TSpinButtonState Half) {
  const TNotifyEvent& e = Half == sbTopDown ? OnTopClick : OnBottomClick;
  if (e) e(this);
}

void TRxSpinButton::EnabledChanged() {
  if (!GetEnabled()) SetDown(sbNotDown);
  Invalidate();
}

void TRxSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !GetEnabled()) return;
  if (FFocusControl != nullptr && FFocusControl->GetTabStop() && FFocusControl->CanFocus() &&
      !FFocusControl->Focused())
    FFocusControl->SetFocus();
  if (FDown == sbNotDown) {
    FDragDown = HalfAt(GetWidth(), GetHeight(), X, Y);
    SetDown(FDragDown);
    FireClick(FDragDown);
    // A click handler that took the press away (a dialog, say) ends it.
    if (GetKeyState(VK_LBUTTON) >= 0) {
      SetDown(sbNotDown);
      if (GetMouseCapture()) SetMouseCapture(false);
      return;
    }
  }
  if (FRepeatTimer == nullptr) {
    FRepeatTimer = new TTimer(this);
    FRepeatTimer->SetOnTimer([this](TObject* Sender) { TimerExpired(Sender); });
  }
  FRepeatTimer->SetEnabled(false);
  FRepeatTimer->SetInterval(kFirstRepeat);
  FRepeatTimer->SetEnabled(true);
  FDragging = true;
}

void TRxSpinButton::TimerExpired(TObject*) {
  FRepeatTimer->SetInterval(kNextRepeat);
  // The timer keeps ticking afterwards; its ticks do nothing while no half
  // is held.
  if (FDown == sbNotDown || !GetMouseCapture()) return;
  try {
    FireClick(FDown);
  } catch (...) {
    FRepeatTimer->SetEnabled(false);
    throw;
  }
}

void TRxSpinButton::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  const bool inside = X >= 0 && Y >= 0 && X < GetWidth() && Y < GetHeight();
  const bool onHalf = inside && HalfAt(GetWidth(), GetHeight(), X, Y) == FDragDown;
  SetDown(onHalf ? FDragDown : sbNotDown);
}

void TRxSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FDragging = false;
  SetDown(sbNotDown);
}

void TRxSpinButton::Paint() { PaintStateImage(GetEnabled() ? FDown : sbNotDown); }

void TRxSpinButton::PaintStateImage(TSpinButtonState State) {
  TCanvas* c = GetCanvas();
  const Integer w = GetClientWidth(), h = GetClientHeight();
  if (w <= 2 || h <= 2) return;
  c->GetBrush()->SetColor(clBtnFace);
  c->FillRect(TRect{0, 0, w, h});
  // Frame and the diagonal between the halves.
  c->GetPen()->SetColor(clWindowFrame);
  c->GetBrush()->SetStyle(bsClear);
  c->Rectangle(0, 0, w, h);
  c->MoveTo(-1, h);
  c->LineTo(w, -1);
  // Bevels: raised, or sunk for the pressed half.
  const TColor topLight = State == sbTopDown ? clBtnShadow : clBtnHighlight;
  const TColor bottomDark = State == sbBottomDown ? clBtnHighlight : clBtnShadow;
  c->GetPen()->SetColor(topLight);
  c->MoveTo(1, h - 3);
  c->LineTo(1, 1);
  c->LineTo(w - 3, 1);
  c->GetPen()->SetColor(bottomDark);
  c->MoveTo(w - 2, 2);
  c->LineTo(w - 2, h - 2);
  c->LineTo(2, h - 2);
  if (State == sbBottomDown) {
    c->GetPen()->SetColor(clBtnShadow);
    c->MoveTo(3, h - 2);
    c->LineTo(w - 1, 2);
  }
  // The glyphs, centred a little inside each half; the up glyph moves with
  // its pressed half.
  const Integer shift = State == sbTopDown ? 1 : 0;
  DrawGlyph(c, FUpGlyph.get(), w / 4 + 1 + shift, h / 4 + 1 + shift);
  DrawGlyph(c, FDownGlyph.get(), 3 * w / 4 - 1, 3 * h / 4 - 1);
}

void TRxSpinButton::SetUpGlyph(TBitmap* Value) {
  FUpGlyph = Value && !Value->GetEmpty() ? CopyGlyph(Value) : DefaultGlyph(true);
  Invalidate();
}

void TRxSpinButton::SetDownGlyph(TBitmap* Value) {
  FDownGlyph = Value && !Value->GetEmpty() ? CopyGlyph(Value) : DefaultGlyph(false);
  Invalidate();
}

// ---------------------------------------------------------------------------
// TRxSpinEdit
// ---------------------------------------------------------------------------

TRxSpinEdit::TRxSpinEdit(TComponent* AOwner) : TEdit(AOwner) {
  FChanging = true;
  SetText("0");
  FChanging = false;
  BuildSpinControl();
}

TRxSpinEdit::~TRxSpinEdit() {
  // No change event while the control goes.
  FChanging = true;
  FBuilding = true;
  OnChange = nullptr;
}

long double TRxSpinEdit::ClampValue(long double Value) const {
  if (FMaxValue == FMinValue) return Value;
  return std::clamp(Value, std::min(FMinValue, FMaxValue), std::max(FMinValue, FMaxValue));
}

long double TRxSpinEdit::TextValue(bool& Ok) const {
  const String text = Trim(GetText());
  Ok = false;
  switch (FValueType) {
    case vtFloat: {
      double v = 0;
      Ok = TryStrToFloat(text, v);
      return v;
    }
    case vtHex: {
      Int64 v = 0;
      Ok = !text.empty() && text[0] != '$' && text[0] != '-' && text[0] != '+' && TryStrToInt64("$" + text, v);
      return static_cast<long double>(v);
    }
    case vtInt: {
      Int64 v = 0;
      Ok = !text.empty() && text[0] != '$' && text.find_first_of("xX") == String::npos && TryStrToInt64(text, v);
      return static_cast<long double>(v);
    }
  }
  return 0;
}

long double TRxSpinEdit::GetValue() {
  bool ok;
  const long double v = TextValue(ok);
  if (ok) return v;
  return FValueType == vtFloat ? FMinValue : static_cast<long double>(RoundToInt64(FMinValue));
}

void TRxSpinEdit::SetValue(long double Value) {
  const long double v = ClampValue(Value);
  String text;
  switch (FValueType) {
    case vtFloat: {
      char buf[512];
      std::snprintf(buf, sizeof buf, "%.*Lf", static_cast<int>(FDecimal), std::isfinite(v) ? v : 0.0L);
      text = buf;
      break;
    }
    case vtHex:
      text = IntToHex(RoundToInt64(v), 1);
      break;
    case vtInt:
      text = IntToStr(RoundToInt64(v));
      break;
  }
  SetText(text);
}

void TRxSpinEdit::SetValueType(TValueType Value) {
  if (Value == FValueType) return;
  const long double v = GetValue();
  FValueType = Value;
  SetValue(v);
  if (Value != vtFloat) {
    FIncrement = static_cast<long double>(RoundToInt64(FIncrement));
    if (FIncrement == 0) FIncrement = 1;
  }
}

void TRxSpinEdit::SetDecimal(Byte Value) {
  if (Value == FDecimal) return;
  const long double v = GetValue();
  FDecimal = std::min<Byte>(Value, 30);
  SetValue(v);
}

void TRxSpinEdit::Change() {
  if (!FChanging) TEdit::Change();
}

void TRxSpinEdit::Step(long double Delta, const TNotifyEvent& Event) {
  if (GetReadOnly()) {
    MessageBeep();
    return;
  }
  const String before = GetText();
  FChanging = true;
  try {
    SetValue(GetValue() + Delta);
  } catch (...) {
    FChanging = false;
    throw;
  }
  FChanging = false;
  if (!SameText(before, GetText())) {
    SetModified(true);
    TEdit::Change();
  }
  if (Event) Event(this);
}

void TRxSpinEdit::StepUp() { Step(FIncrement, OnTopClick); }
void TRxSpinEdit::StepDown() { Step(-FIncrement, OnBottomClick); }

bool TRxSpinEdit::AcceptsChar(char C) {
  const unsigned char u = static_cast<unsigned char>(C);
  if (!FEditorEnabled) return u < 32 && C != '\b';
  if (u < 32) return true;
  if (C == '+' || C == '-' || (C >= '0' && C <= '9')) return true;
  const String text = GetText();
  if (FValueType == vtFloat) {
    if (C == '.' && text.find('.') == String::npos) return true;
    if ((C == 'E' || C == 'e') && UpperCase(text).find('E') == String::npos) return true;
  }
  if (FValueType == vtHex) return (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
  return false;
}

void TRxSpinEdit::KeyDown(Word& Key, TShiftState Shift) {
  if (FArrowKeys && (Key == VK_UP || Key == VK_DOWN)) {
    if (Key == VK_UP)
      StepUp();
    else
      StepDown();
    Key = 0;
    return;
  }
  TEdit::KeyDown(Key, Shift);
}

void TRxSpinEdit::KeyPress(char& Key) {
  if (Key != '\0' && !AcceptsChar(Key)) {
    Key = '\0';
    MessageBeep();
    return;
  }
  TEdit::KeyPress(Key);
}

void TRxSpinEdit::DoEnter() {
  if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
  TEdit::DoEnter();
}

void TRxSpinEdit::DoExit() {
  bool ok;
  const long double v = TextValue(ok);
  if (ok && ClampValue(v) != v) SetValue(v);
  TEdit::DoExit();
}

void TRxSpinEdit::EnabledChanged() {
  TEdit::EnabledChanged();
  if (FButton != nullptr) FButton->SetEnabled(GetEnabled());
  if (FUpDown != nullptr) FUpDown->SetEnabled(GetEnabled());
}

void TRxSpinEdit::SetArrowKeys(bool Value) {
  FArrowKeys = Value;
  PlaceSpinControl();
}

void TRxSpinEdit::SetButtonKind(TSpinButtonKind Value) {
  const TSpinButtonKind old = FButtonKind;
  FButtonKind = NewStyleControls ? Value : bkDiagonal;
  if (old != FButtonKind) BuildSpinControl();
}

void TRxSpinEdit::BuildSpinControl() {
  FBuilding = true;
  delete FButton;
  FButton = nullptr;
  delete FUpDown;
  FUpDown = nullptr;
  if (FButtonKind == bkStandard) {
    FUpDown = new TUpDown(this);
    FUpDown->SetMin(-1);
    FUpDown->SetMax(1);
    FUpDown->SetPosition(0);
    FUpDown->SetParent(this);
    FUpDown->OnClick = [this](TObject*, TUDBtnType Button) {
      if (GetTabStop() && CanFocus() && !Focused()) SetFocus();
      if (Button == btNext)
        StepUp();
      else
        StepDown();
      FUpDown->SetPosition(0);
    };
  } else {
    FButton = new TRxSpinButton(this);
    FButton->SetParent(this);
    FButton->SetFocusControl(this);
    FButton->OnTopClick = [this](TObject*) { StepUp(); };
    FButton->OnBottomClick = [this](TObject*) { StepDown(); };
  }
  FBuilding = false;
  PlaceSpinControl();
  LimitTextArea();
}

Integer TRxSpinEdit::MinimalHeight() const {
  // Borders above and below the text line of the dialog font.
  return 4 * GetSystemMetrics(SM_CYBORDER) + 13 + 1;
}

void TRxSpinEdit::PlaceSpinControl() {
  const Integer w = GetWidth(), h = GetHeight();
  if (FUpDown != nullptr) {
    const Integer uw = std::min(GetSystemMetrics(SM_CXVSCROLL), 15);
    FUpDown->SetBounds(w - uw, 0, uw, h);
  }
  if (FButton != nullptr) {
    // A square inside the edit's frame at its right edge.
    const Integer side = std::max(0, h - 4);
    FButton->SetBounds(w - side - 2, 2, side, side);
  }
}

void TRxSpinEdit::LimitTextArea() {
  const Integer spin = FUpDown != nullptr ? FUpDown->GetWidth() : FButton != nullptr ? FButton->GetWidth() : 0;
  SetTextMargins(0, spin + 2);
}

void TRxSpinEdit::ClientResized(Integer NewWidth, Integer NewHeight) {
  TEdit::ClientResized(NewWidth, NewHeight);
  if (FBuilding) return;
  if (GetHeight() < MinimalHeight()) {
    SetHeight(MinimalHeight());
    return;
  }
  PlaceSpinControl();
  LimitTextArea();
}
