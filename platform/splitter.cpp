#include "platform/splitter.h"

#include <algorithm>

TSplitter::TSplitter(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  SetAlign(alLeft);
  SetBounds(GetLeft(), GetTop(), 3, 100);
  SetCursor(crHSplit);
}

TControl* TSplitter::FindControl() const {
  TWinControl* parent = GetParent();
  if (parent == nullptr) return nullptr;
  // The neighbour at the splitter's outer side, aligned to the same edge.
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    TControl* c = parent->GetControl(i);
    if (c == this || !c->GetVisible() || c->GetAlign() != GetAlign()) continue;
    const TRect r = c->GetBoundsRect(), s = GetBoundsRect();
    const bool touches = (GetAlign() == alLeft && r.Right == s.Left) || (GetAlign() == alRight && r.Left == s.Right) ||
                         (GetAlign() == alTop && r.Bottom == s.Top) || (GetAlign() == alBottom && r.Top == s.Bottom);
    if (touches) return c;
  }
  return nullptr;
}

void TSplitter::CMMouseEnter(TMessage& Message) {
  // The cursor follows the edge the splitter sits at.
  SetCursor(Horizontal() ? crHSplit : crVSplit);
  TCustomControl::CMMouseEnter(Message);
}

void TSplitter::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FControl = FindControl();
  FDownAt = ClientToScreen(TPoint{X, Y});
  if (FControl != nullptr) FStartSize = Horizontal() ? FControl->GetWidth() : FControl->GetHeight();
}

void TSplitter::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (FControl == nullptr || !Shift.Contains(ssLeft)) return;
  const TPoint at = ClientToScreen(TPoint{X, Y});
  Integer delta = Horizontal() ? at.X - FDownAt.X : at.Y - FDownAt.Y;
  if (GetAlign() == alRight || GetAlign() == alBottom) delta = -delta;
  // Leave at least MinSize to the control and to what the parent has left.
  const TRect client = GetParent()->GetClientRect();
  Integer used = 0;
  for (Integer i = 0; i < GetParent()->GetControlCount(); ++i) {
    TControl* c = GetParent()->GetControl(i);
    if (c != FControl && c->GetVisible() && c->GetAlign() != alClient && c->GetAlign() != alNone &&
        Horizontal() == (c->GetAlign() == alLeft || c->GetAlign() == alRight))
      used += Horizontal() ? c->GetWidth() : c->GetHeight();
  }
  const Integer room = (Horizontal() ? client.Right : client.Bottom) - used - FMinSize;
  Integer size = std::clamp(FStartSize + delta, FMinSize, std::max(FMinSize, room));
  bool accept = true;
  if (OnCanResize) OnCanResize(this, size, accept);
  if (!accept) return;
  if (Horizontal())
    FControl->SetWidth(size);
  else
    FControl->SetHeight(size);
}

void TSplitter::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  const bool moved = FControl != nullptr;
  FControl = nullptr;
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (moved && OnMoved) OnMoved(this);
}

void TSplitter::Paint() {
  TCanvas* c = GetCanvas();
  c->GetBrush()->SetColor(GetColor());
  c->FillRect(GetClientRect());
}
