#include "app/RXSplit.h"

#include <algorithm>

#include "platform/forms.h"

namespace {

bool TopOrBottom(const TControl* C) { return C->GetAlign() == alTop || C->GetAlign() == alBottom; }
bool LeftOrRight(const TControl* C) { return C->GetAlign() == alLeft || C->GetAlign() == alRight; }

// The tracking line: a dark bar raised over the parent's other controls for
// the time of a drag, removed afterwards without a trace.
class TTrackLine : public TCustomControl {
 public:
  explicit TTrackLine(TWinControl* Parent) : TCustomControl(nullptr) {
    SetColor(clBtnShadow);
    SetParent(Parent);
  }
};

}  // namespace

TRxSplitter::TRxSplitter(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque});
  SetBounds(GetLeft(), GetTop(), 185, 3);
  SetCtl3D(false);
  SetParentCtl3D(false);
  SetColor(clBtnFace);
}

TRxSplitter::~TRxSplitter() {
  if (FDragging) StopLineDrag(0, 0, false);
}

void TRxSplitter::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FControlFirst) {
    FControlFirst = nullptr;
    ApplySplitCursor();
  }
  if (AComponent == FControlSecond) {
    FControlSecond = nullptr;
    ApplySplitCursor();
  }
  if (AComponent == FKeyControl) FKeyControl = nullptr;
}

TControl* TRxSplitter::Accept(TControl* Value) {
  if (Value == this || dynamic_cast<TCustomForm*>(Value) != nullptr) return nullptr;
  return Value;
}

void TRxSplitter::SetControlFirst(TControl* Value) {
  if (FControlFirst != nullptr) FControlFirst->RemoveFreeNotification(this);
  FControlFirst = Accept(Value);
  if (FControlFirst != nullptr) FControlFirst->FreeNotification(this);
  ApplySplitCursor();
}

void TRxSplitter::SetControlSecond(TControl* Value) {
  if (FControlSecond != nullptr) FControlSecond->RemoveFreeNotification(this);
  FControlSecond = Accept(Value);
  if (FControlSecond != nullptr) FControlSecond->FreeNotification(this);
  ApplySplitCursor();
}

void TRxSplitter::SetAlign(TAlign Value) {
  const TAlign old = GetAlign();
  const bool wasEdge = old == alTop || old == alBottom || old == alLeft || old == alRight;
  TControl::SetAlign(Value);
  if (!wasEdge) {
    if (Value == alTop || Value == alBottom)
      SetHeight(3);
    else if (Value == alLeft || Value == alRight)
      SetWidth(3);
  }
  if (FControlFirst == nullptr) SetControlFirst(AdjacentControl());
}

void TRxSplitter::SetBevelOuter(TPanelBevel Value) {
  FBevelOuter = Value;
  Invalidate();
}

TSplitKind TRxSplitter::SplitKind() const {
  const TControl* f = FControlFirst;
  const TControl* s = FControlSecond;
  if (f == nullptr) return skNone;
  TSplitKind kind = skNone;
  const TControl* sized = nullptr;
  if (TopOrBottom(f) && (s == nullptr || s->GetAlign() == alClient)) {
    kind = skHeightFirst;
    sized = f;
  } else if (f->GetAlign() == alClient && s != nullptr && TopOrBottom(s)) {
    kind = skHeightSecond;
    sized = s;
  } else if (LeftOrRight(f) && (s == nullptr || s->GetAlign() == alClient)) {
    kind = skWidthFirst;
    sized = f;
  } else if (f->GetAlign() == alClient && s != nullptr && LeftOrRight(s)) {
    kind = skWidthSecond;
    sized = s;
  }
  // The bar must sit at the same edge as the control it sizes.
  if (sized == nullptr || sized->GetAlign() != GetAlign()) return skNone;
  return kind;
}

TControl* TRxSplitter::AdjacentControl() const {
  TWinControl* parent = GetParent();
  if (parent == nullptr) return nullptr;
  TPoint p;
  switch (GetAlign()) {
    case alTop: p = TPoint{GetLeft(), GetTop() - 1}; break;
    case alBottom: p = TPoint{GetLeft(), GetTop() + GetHeight()}; break;
    case alLeft: p = TPoint{GetLeft() - 1, GetTop()}; break;
    case alRight: p = TPoint{GetLeft() + GetWidth(), GetTop()}; break;
    default: return nullptr;
  }
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* c = parent->GetControl(i);
    if (c == this) continue;
    const TRect r = c->GetBoundsRect();
    if (p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom) return c;
  }
  return nullptr;
}

void TRxSplitter::ApplySplitCursor() {
  const TSplitKind kind = SplitKind();
  SetCursor(kind == skNone ? crDefault : Vertical(kind) ? crVSplit : crHSplit);
}

Integer TRxSplitter::Thickness() const { return Vertical(FKind) ? GetHeight() : GetWidth(); }

void TRxSplitter::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || FDragging) return;
  FKind = SplitKind();
  if (FKind == skNone) return;
  FDragging = true;
  SetMouseCapture(true);
  // Esc cancels: the drag borrows the key handler of the control that has
  // the keys (the form's active control, or the form), passing other keys
  // on to its own handler.
  TCustomForm* form = GetParentForm(this);
  FKeyControl = form != nullptr ? (form->GetActiveControl() != nullptr ? form->GetActiveControl() : form) : nullptr;
  if (FKeyControl != nullptr) {
    FKeyControl->FreeNotification(this);
    FOldKeyDown = FKeyControl->OnKeyDown;
    FKeyControl->OnKeyDown = [this](TObject* Sender, Word& Key, TShiftState S) {
      if (Key == VK_ESCAPE && FDragging) {
        const TPoint at = ScreenToClient(GetCursorPos());
        StopLineDrag(at.X, at.Y, false);
        Key = 0;
        return;
      }
      if (FOldKeyDown) FOldKeyDown(Sender, Key, S);
    };
  }
  FPress = TPoint{X, Y};
  StartLineDrag();
}

void TRxSplitter::StartLineDrag() {
  TWinControl* parent = GetParent();
  const TRect client = parent->GetClientRect();
  // Limits of the leading edge in the bar's coordinates.
  FLimits = TRect{client.Left + FTopLeftLimit - GetLeft(), client.Top + FTopLeftLimit - GetTop(),
                  client.Right - FBottomRightLimit - GetLeft(), client.Bottom - FBottomRightLimit - GetTop()};
  FNoDrop = false;
  FLine = new TTrackLine(parent);
  FLinePos = TPoint{-1000000, -1000000};
  TrackLine(TPoint{GetLeft() + GetWidth() / 2, GetTop() + GetHeight() / 2});
}

TPoint TRxSplitter::ClampDragPoint(TPoint P) const {
  const Integer t = Thickness();
  if (Vertical(FKind)) {
    Integer lead = P.Y - FPress.Y;
    lead = std::max(lead, FLimits.Top);
    lead = std::min(lead, FLimits.Bottom - t);
    P.Y = lead + FPress.Y;
  } else {
    Integer lead = P.X - FPress.X;
    lead = std::max(lead, FLimits.Left);
    lead = std::min(lead, FLimits.Right - t);
    P.X = lead + FPress.X;
  }
  return P;
}

void TRxSplitter::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  bool allow = true;
  if (OnPosChanging) OnPosChanging(this, X, Y, allow);
  DragStep(X, Y, allow);
}

void TRxSplitter::DragStep(Integer X, Integer Y, bool AllowChange) {
  if (!AllowChange) {
    SetCursor(crNoDrop);
    FNoDrop = true;
    return;
  }
  const TPoint c = ClampDragPoint(TPoint{X, Y});
  const bool clamped = Vertical(FKind) ? c.Y != Y : c.X != X;
  if (clamped != FNoDrop) {
    FNoDrop = clamped;
    SetCursor(clamped ? crNoDrop : Vertical(FKind) ? crVSplit : crHSplit);
  }
  // The line runs through the bar's centre at the dragged position.
  TrackLine(TPoint{GetLeft() + c.X - FPress.X + GetWidth() / 2, GetTop() + c.Y - FPress.Y + GetHeight() / 2});
}

void TRxSplitter::TrackLine(TPoint P) {
  if (FLine == nullptr) return;
  TWinControl* parent = GetParent();
  const TRect client = parent->GetClientRect();
  const Integer t = Thickness();
  const Integer w = t < 4 ? 2 : t - 2;
  TPoint pos = FLinePos;
  if (Vertical(FKind)) {
    pos = TPoint{GetLeft(), std::clamp(P.Y, client.Top, std::max(client.Top, client.Bottom - 1))};
  } else {
    pos = TPoint{std::clamp(P.X, client.Left, std::max(client.Left, client.Right - 1)), GetTop()};
  }
  if (pos.X == FLinePos.X && pos.Y == FLinePos.Y) return;
  FLinePos = pos;
  if (Vertical(FKind))
    FLine->SetBounds(GetLeft(), pos.Y - w / 2, GetWidth(), w);
  else
    FLine->SetBounds(pos.X - w / 2, GetTop(), w, GetHeight());
}

void TRxSplitter::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) StopLineDrag(X, Y, true);
}

void TRxSplitter::StopLineDrag(Integer X, Integer Y, bool Apply) {
  if (!FDragging) return;
  if (GetMouseCapture()) SetMouseCapture(false);
  bool allow = Apply;
  if (Apply && OnPosChanging) OnPosChanging(this, X, Y, allow);
  FinishLineDrag(X, Y, Apply, allow);
}

void TRxSplitter::FinishLineDrag(Integer X, Integer Y, bool Apply, bool AllowChange) {
  delete FLine;
  FLine = nullptr;
  if (!AllowChange) {
    // A refusal applies the last line shown.
    X = FLinePos.X - GetLeft() + FPress.X - GetWidth() / 2;
    Y = FLinePos.Y - GetTop() + FPress.Y - GetHeight() / 2;
  }
  if (Apply) {
    const TPoint c = ClampDragPoint(TPoint{X, Y});
    Integer dx = c.X - FPress.X, dy = c.Y - FPress.Y;
    auto aligned = [this](TAlign A) {
      return (FControlFirst != nullptr && FControlFirst->GetAlign() == A) ||
             (FControlSecond != nullptr && FControlSecond->GetAlign() == A);
    };
    if (aligned(alRight)) dx = -dx;
    if (aligned(alBottom)) dy = -dy;
    TControl* sized = FKind == skHeightFirst || FKind == skWidthFirst ? FControlFirst : FControlSecond;
    TWinControl* parent = GetParent();
    if (sized != nullptr && parent != nullptr) {
      parent->DisableAlign();
      if (Vertical(FKind)) {
        Integer h = std::max(1, sized->GetHeight() + dy);
        const Integer room = parent->GetClientHeight() - GetHeight();
        if (h >= room) h = room - 3;
        sized->SetHeight(std::max(1, h));
      } else {
        Integer w = std::max(1, sized->GetWidth() + dx);
        const Integer room = parent->GetClientWidth() - GetWidth();
        if (w >= room) w = room - 3;
        sized->SetWidth(std::max(1, w));
      }
      parent->EnableAlign();
    }
  }
  FDragging = false;
  RestoreKeyDown();
  ApplySplitCursor();
  if (Apply && AllowChange && OnPosChanged) OnPosChanged(this);
}

void TRxSplitter::RestoreKeyDown() {
  if (FKeyControl != nullptr) {
    FKeyControl->OnKeyDown = FOldKeyDown;
    FKeyControl->RemoveFreeNotification(this);
  }
  FKeyControl = nullptr;
  FOldKeyDown = nullptr;
}

void TRxSplitter::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect r = GetClientRect();
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(r);
  if (FBevelOuter == bvNone || r.Right < 2 || r.Bottom < 2) return;
  const bool raised = FBevelOuter == bvRaised;
  canvas->GetPen()->SetColor(raised ? clBtnHighlight : clBtnShadow);
  canvas->MoveTo(r.Left, r.Bottom - 1);
  canvas->LineTo(r.Left, r.Top);
  canvas->LineTo(r.Right - 1, r.Top);
  canvas->GetPen()->SetColor(raised ? clBtnShadow : clBtnHighlight);
  canvas->LineTo(r.Right - 1, r.Bottom - 1);
  canvas->LineTo(r.Left, r.Bottom - 1);
}
