// Input of the controls: Qt's mouse, wheel, key and focus events become
// window messages, and the message handlers turn them into the controls'
// virtual handlers and events.
//
// Order of a left double click on a control with CS_DBLCLKS:
//   MouseDown, Click, MouseUp, DblClick, MouseDown (ssDouble), MouseUp.
// Wheel turns arrive as WM_MOUSEWHEEL with the signed delta (120 a notch)
// in the high word of WParam and the screen position in LParam; a control
// that does not take the turn passes the message on to its parent.
// Keys arrive as virtual-key codes with the shift state: the top-level
// control sees them first when it previews keys, then the focused control,
// then Enter and Esc go to the top-level control as dialog keys.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <atomic>

#include "platform/cursors.h"
#include "platform/menus.h"
#include "platform/inputrouter.h"
#include "platform/testhooks.h"

namespace {

TControl* gCaptureControl = nullptr;
/// Keyboard modifiers and mouse buttons of the input event being handled
/// (what GetKeyState answers for, as the desktop's queued key state does).
Qt::KeyboardModifiers gModifiers;
Qt::MouseButtons gButtons;

WPARAM MouseKeyFlags(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods) {
  WPARAM k = 0;
  if (Buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (Buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (Buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (Mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (Mods & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

TShiftState KeysToShiftState(WPARAM Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState ModifiersToShiftState(Qt::KeyboardModifiers Mods) {
  TShiftState s;
  if (Mods & Qt::ShiftModifier) s.Include(ssShift);
  if (Mods & Qt::ControlModifier) s.Include(ssCtrl);
  if (Mods & Qt::AltModifier) s.Include(ssAlt);
  return s;
}

LPARAM PackPoint(Integer X, Integer Y) {
  return MAKELPARAM(static_cast<Word>(static_cast<SmallInt>(X)), static_cast<Word>(static_cast<SmallInt>(Y)));
}

TPoint UnpackPoint(LPARAM L) {
  return TPoint{static_cast<SmallInt>(LOWORD(static_cast<std::uintptr_t>(L))),
                static_cast<SmallInt>(HIWORD(static_cast<std::uintptr_t>(L)))};
}

TWinControl* TopLevelOf(TControl* Control) {
  TWinControl* top = dynamic_cast<TWinControl*>(Control);
  for (TWinControl* p = Control->GetParent(); p != nullptr; p = p->GetParent()) top = p;
  return top;
}

/// Where the control's client area starts in its peer's coordinates.
QPoint ClientOrigin(TControl* Control) {
  const TPoint off = Control->GetClientOffset();
  return QPoint(off.X, off.Y);
}

}  // namespace

// ---------------------------------------------------------------------------
// Key codes
// ---------------------------------------------------------------------------

Word KeyToVirtualKey(int QtKey, bool Keypad) {
  if (Keypad) {
    if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) return static_cast<Word>(VK_NUMPAD0 + (QtKey - Qt::Key_0));
    switch (QtKey) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Period: return VK_DECIMAL;
      case Qt::Key_Slash: return VK_DIVIDE;
      default: break;
    }
  }
  if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) return static_cast<Word>('A' + (QtKey - Qt::Key_A));
  if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) return static_cast<Word>('0' + (QtKey - Qt::Key_0));
  if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return static_cast<Word>(VK_F1 + (QtKey - Qt::Key_F1));
  switch (QtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Comma:
    case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Period:
    case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Slash:
    case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return VK_OEM_7;
    default: return 0;
  }
}

SmallInt GetKeyState(Integer VirtKey) {
  if (auto forced = TestHooks::KeyStateOverride(VirtKey)) return *forced ? SmallInt(-128) : SmallInt(0);
  bool down = false;
  switch (VirtKey) {
    case VK_SHIFT: down = (gModifiers & Qt::ShiftModifier) != 0; break;
    case VK_CONTROL: down = (gModifiers & Qt::ControlModifier) != 0; break;
    case VK_MENU: down = (gModifiers & Qt::AltModifier) != 0; break;
    case VK_LBUTTON: down = (gButtons & Qt::LeftButton) != 0; break;
    case VK_RBUTTON: down = (gButtons & Qt::RightButton) != 0; break;
    case VK_MBUTTON: down = (gButtons & Qt::MiddleButton) != 0; break;
    default: break;
  }
  return down ? SmallInt(-128) : SmallInt(0);
}

TShiftState KeyDataToShiftState(LPARAM KeyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (KeyData & KF_ALTDOWN_DATA) s.Include(ssAlt);
  return s;
}

namespace {
std::atomic<Integer> gBeeps{0};
}

void MessageBeep() {
  ++gBeeps;
  QApplication::beep();
}

Integer GetBeepCount() { return gBeeps.load(); }

TPoint GetCursorPos() {
  if (auto p = TestHooks::PointerPosOverride()) return *p;
  const QPoint p = QCursor::pos();
  return TPoint{p.x(), p.y()};
}

TControl* GetCaptureControl() { return gCaptureControl; }

void SetCaptureControl(TControl* Control) {
  if (Control == gCaptureControl) return;
  TControl* old = gCaptureControl;
  gCaptureControl = Control;
  if (old != nullptr) {
    QWidget* w = old->GetPeer();
    if (QWidget::mouseGrabber() == w) w->releaseMouse();
    old->Perform(WM_CANCELMODE, 0, 0);
  }
  if (Control != nullptr && Control->GetPeer()->isVisible() && QApplication::mouseButtons() == Qt::NoButton)
    Control->GetPeer()->grabMouse();
}

// ---------------------------------------------------------------------------
// TControl: mouse
// ---------------------------------------------------------------------------

bool TControl::GetMouseCapture() const { return gCaptureControl == this; }

void TControl::SetMouseCapture(bool Value) {
  if (Value)
    SetCaptureControl(this);
  else if (gCaptureControl == this)
    SetCaptureControl(nullptr);
}

void TControl::ReleaseInput() {
  if (gCaptureControl == this) {
    gCaptureControl = nullptr;
    if (QWidget::mouseGrabber() == GetPeer()) GetPeer()->releaseMouse();
  }
}

TPoint TControl::ClientToScreen(TPoint P) {
  const QPoint g = GetPeer()->mapToGlobal(ClientOrigin(this) + QPoint(P.X, P.Y));
  return TPoint{g.x(), g.y()};
}

TPoint TControl::ScreenToClient(TPoint P) {
  const QPoint c = GetPeer()->mapFromGlobal(QPoint(P.X, P.Y)) - ClientOrigin(this);
  return TPoint{c.x(), c.y()};
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::CMMouseEnter(TMessage&) {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage&) {
  if (OnMouseLeave) OnMouseLeave(this);
}

bool TControl::DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, MousePos, handled);
  if (handled) return true;
  // Whole notches only: high-resolution wheels send parts of one.
  FWheelAccumulator += WheelDelta;
  while (FWheelAccumulator <= -WHEEL_DELTA || FWheelAccumulator >= WHEEL_DELTA) {
    const bool up = FWheelAccumulator > 0;
    FWheelAccumulator += up ? -WHEEL_DELTA : WHEEL_DELTA;
    handled = up ? DoMouseWheelUp(Shift, MousePos) : DoMouseWheelDown(Shift, MousePos);
  }
  return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheelDown) OnMouseWheelDown(this, Shift, MousePos, handled);
  return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (OnMouseWheelUp) OnMouseWheelUp(this, Shift, MousePos, handled);
  return handled;
}

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  GetPeer()->setEnabled(Value);
  if (!Value && gCaptureControl == this) SetCaptureControl(nullptr);
  EnabledChanged();
  Invalidate();
}

void TControl::SetCaption(const String& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  TextChanged();
}

void TControl::SetHint(const String& Value) {
  FHint = Value;
  ApplyHint();
}

void TControl::SetShowHint(bool Value) {
  FShowHint = Value;
  ApplyHint();
}

void TControl::ApplyHint() {
  // Qt asks the widget under the pointer, then its parents: the peer's tip
  // serves a standard control's own widget too.
  GetPeer()->setToolTip(FShowHint ? QString::fromStdString(FHint) : QString());
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  FPopupMenu = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetCursor(TCursor Value) {
  FCursor = Value;
  ApplyCursor(GetPeer(), Value);
}

bool TControl::InputMessage(TMessage& Message) {
  const Cardinal msg = Message.Msg;
  auto button = [msg]() {
    if (msg >= WM_RBUTTONDOWN && msg <= WM_RBUTTONDBLCLK) return mbRight;
    if (msg >= WM_MBUTTONDOWN && msg <= WM_MBUTTONDBLCLK) return mbMiddle;
    return mbLeft;
  };
  const TPoint pt = UnpackPoint(Message.LParam);
  switch (msg) {
    case WM_MOUSEMOVE:
      MouseMove(KeysToShiftState(Message.WParam), pt.X, pt.Y);
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (FControlStyle.Contains(csCaptureMouse)) gCaptureControl = this;
      if (msg == WM_LBUTTONDOWN && FControlStyle.Contains(csClickEvents)) FClicked = true;
      MouseDown(button(), KeysToShiftState(Message.WParam), pt.X, pt.Y);
      return true;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      if (FControlStyle.Contains(csCaptureMouse)) gCaptureControl = this;
      if (msg == WM_LBUTTONDBLCLK && FControlStyle.Contains(csClickEvents)) DblClick();
      TShiftState shift = KeysToShiftState(Message.WParam);
      shift.Include(ssDouble);
      MouseDown(button(), shift, pt.X, pt.Y);
      return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      // The release ends the capture its press took (no WM_CANCELMODE: the
      // control lets go itself).
      if (FControlStyle.Contains(csCaptureMouse) && gCaptureControl == this) ReleaseInput();
      const bool clicked = msg == WM_LBUTTONUP && FClicked;
      if (msg == WM_LBUTTONUP) FClicked = false;
      const TMouseButton b = msg == WM_LBUTTONUP ? mbLeft : msg == WM_RBUTTONUP ? mbRight : mbMiddle;
      const TRect client = GetClientRect();
      if (clicked && pt.X >= 0 && pt.Y >= 0 && pt.X < client.Right && pt.Y < client.Bottom) Click();
      MouseUp(b, KeysToShiftState(Message.WParam), pt.X, pt.Y);
      if (msg == WM_RBUTTONUP && FPopupMenu != nullptr) {
        const TPoint at = ClientToScreen(pt);
        FPopupMenu->Popup(at.X, at.Y);
      }
      return true;
    }
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<SmallInt>(HIWORD(Message.WParam));
      Message.Result = DoMouseWheel(KeysToShiftState(LOWORD(Message.WParam)), delta, pt) ? 1 : 0;
      return true;
    }
    case WM_CANCELMODE:
      FClicked = false;
      return true;
    default:
      break;
  }
  auto* win = dynamic_cast<TWinControl*>(this);
  if (win == nullptr) return false;
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      Word key = static_cast<Word>(Message.WParam);
      win->KeyDown(key, KeyDataToShiftState(Message.LParam));
      // Non-zero: a handler consumed the key.
      Message.Result = Message.WParam != 0 && key == 0 ? 1 : 0;
      return true;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      Word key = static_cast<Word>(Message.WParam);
      win->KeyUp(key, KeyDataToShiftState(Message.LParam));
      Message.Result = Message.WParam != 0 && key == 0 ? 1 : 0;
      return true;
    }
    case WM_CHAR: {
      char key = static_cast<char>(Message.WParam);
      win->KeyPress(key);
      Message.Result = Message.WParam != 0 && key == '\0' ? 1 : 0;
      return true;
    }
    case WM_SETFOCUS:
      win->DoEnter();
      return true;
    case WM_KILLFOCUS:
      win->DoExit();
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// TWinControl: focus and keys
// ---------------------------------------------------------------------------

bool TWinControl::CanFocus() const {
  for (const TControl* c = this; c != nullptr; c = c->GetParent())
    if (!c->GetVisible() || !c->GetEnabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return GetFocusWidget()->hasFocus(); }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  QWidget* w = GetFocusWidget();
  if (QWidget* top = w->window(); top->isVisible() && !top->isActiveWindow()) top->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
}

void TWinControl::SetTabStop(bool Value) {
  FTabStop = Value;
  if (GetFocusWidget() == GetPeer()) GetPeer()->setFocusPolicy(Value ? Qt::StrongFocus : Qt::ClickFocus);
}

QWidget* TWinControl::GetFocusWidget() const { return GetPeer(); }

void TWinControl::SyncTabList() {
  // Pointers of children gone are only compared, never followed.
  std::vector<TWinControl*> list;
  for (TWinControl* w : FTabList)
    if (std::find(FControls.begin(), FControls.end(), w) != FControls.end()) list.push_back(w);
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w != nullptr && std::find(list.begin(), list.end(), w) == list.end())
      list.push_back(w);
  FTabList = std::move(list);
}

Integer TWinControl::GetTabOrder() const {
  TWinControl* parent = GetParent();
  if (parent == nullptr) return -1;
  parent->SyncTabList();
  const auto& list = parent->FTabList;
  return static_cast<Integer>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(Integer Value) {
  TWinControl* parent = GetParent();
  if (parent == nullptr) return;
  parent->SyncTabList();
  auto& list = parent->FTabList;
  list.erase(std::find(list.begin(), list.end(), this));
  const size_t at = static_cast<size_t>(std::clamp<Integer>(Value, 0, static_cast<Integer>(list.size())));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
  for (size_t i = 1; i < list.size(); ++i) QWidget::setTabOrder(list[i - 1]->GetFocusWidget(), list[i]->GetFocusWidget());
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---------------------------------------------------------------------------
// Routing Qt events
// ---------------------------------------------------------------------------

bool TInputRouter::HasNativeWidget(const TControl* Control) {
  return dynamic_cast<const TWinControl*>(Control) != nullptr &&
         static_cast<const TWinControl*>(Control)->GetFocusWidget() != Control->GetPeer();
}

Word TInputRouter::KeyDownChain(TWinControl* Control, Word Key, TShiftState Shift) {
  TWinControl* top = TopLevelOf(Control);
  if (top != Control && top->WantsKeyPreview()) top->KeyDown(Key, Shift);
  if (Key == 0) return 0;
  QPointer<QWidget> alive = Control->GetPeer();
  const LPARAM data = Shift.Contains(ssAlt) ? KF_ALTDOWN_DATA : 0;
  if (Control->Perform(Shift.Contains(ssAlt) ? WM_SYSKEYDOWN : WM_KEYDOWN, Key, data) != 0) return 0;
  if (alive.isNull()) return 0;
  if ((Key == VK_RETURN || Key == VK_ESCAPE) && top->DialogKey(Key, Shift)) return 0;
  return Key;
}

Word TInputRouter::KeyUpChain(TWinControl* Control, Word Key, TShiftState Shift) {
  TWinControl* top = TopLevelOf(Control);
  if (top != Control && top->WantsKeyPreview()) top->KeyUp(Key, Shift);
  if (Key == 0) return 0;
  const LPARAM data = Shift.Contains(ssAlt) ? KF_ALTDOWN_DATA : 0;
  return Control->Perform(Shift.Contains(ssAlt) ? WM_SYSKEYUP : WM_KEYUP, Key, data) != 0 ? 0 : Key;
}

char TInputRouter::KeyPressChain(TWinControl* Control, char Key) {
  TWinControl* top = TopLevelOf(Control);
  if (top != Control && top->WantsKeyPreview()) top->KeyPress(Key);
  if (Key == '\0') return '\0';
  return Control->Perform(WM_CHAR, static_cast<unsigned char>(Key), 0) != 0 ? '\0' : Key;
}

bool TInputRouter::Route(TControl* Control, QWidget* Source, QEvent* Event) {
  const bool native = HasNativeWidget(Control);
  const bool onPeer = Source == Control->GetPeer();
  switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      // A standard control's widget passes on what it ignores: the control
      // already had its message.
      if (native && onPeer) return true;
      auto* me = static_cast<QMouseEvent*>(Event);
      gModifiers = me->modifiers();
      gButtons = me->buttons();
      TControl* target = Control;
      QPoint local = Source->mapTo(Control->GetPeer(), me->position().toPoint());
      if (gCaptureControl != nullptr && gCaptureControl != Control) {
        target = gCaptureControl;
        local = target->GetPeer()->mapFromGlobal(me->globalPosition().toPoint());
      }
      local -= ClientOrigin(target);
      if (!target->GetEnabled()) return true;
      Cardinal msg = WM_MOUSEMOVE;
      const Qt::MouseButton b = me->button();
      const Cardinal base = b == Qt::RightButton ? WM_RBUTTONDOWN : b == Qt::MiddleButton ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
      if (Event->type() == QEvent::MouseButtonPress) msg = base;
      if (Event->type() == QEvent::MouseButtonRelease) msg = base + 1;
      if (Event->type() == QEvent::MouseButtonDblClick) {
        target->HandleNeeded();
        msg = (target->GetWindowParams().WindowClassStyle & CS_DBLCLKS) ? base + 2 : base;
      }
      if (msg != WM_MOUSEMOVE && b != Qt::LeftButton && b != Qt::RightButton && b != Qt::MiddleButton) return !native;
      // The release's key flags still hold the released button, as the
      // desktop's do not: take it out.
      Qt::MouseButtons buttons = me->buttons();
      if (Event->type() == QEvent::MouseButtonRelease) buttons &= ~b;
      target->Perform(msg, MouseKeyFlags(buttons, me->modifiers()), PackPoint(local.x(), local.y()));
      return !native;
    }
    case QEvent::Wheel: {
      if (native && onPeer) return true;
      auto* we = static_cast<QWheelEvent*>(Event);
      gModifiers = we->modifiers();
      gButtons = we->buttons();
      const Integer delta = we->angleDelta().y();
      if (delta == 0) return !native;
      const QPoint g = we->globalPosition().toPoint();
      const WPARAM wp = (static_cast<WPARAM>(static_cast<Word>(static_cast<SmallInt>(delta))) << 16) |
                        MouseKeyFlags(we->buttons(), we->modifiers());
      QPointer<QWidget> alive = Control->GetPeer();
      for (TControl* c = Control; c != nullptr; c = c->GetParent()) {
        if (c->Perform(WM_MOUSEWHEEL, wp, PackPoint(g.x(), g.y())) != 0) return true;
        if (alive.isNull()) return true;
      }
      return !native;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      if (native && onPeer) return true;
      auto* win = dynamic_cast<TWinControl*>(Control);
      if (win == nullptr) return false;
      auto* ke = static_cast<QKeyEvent*>(Event);
      gModifiers = ke->modifiers();
      const Word vk = KeyToVirtualKey(ke->key(), (ke->modifiers() & Qt::KeypadModifier) != 0);
      if (vk == 0) return !native;
      const TShiftState shift = ModifiersToShiftState(ke->modifiers());
      if (Event->type() == QEvent::KeyRelease) {
        if (ke->isAutoRepeat()) return false;
        return KeyUpChain(win, vk, shift) == 0 || !native;
      }
      // Tab moves the focus unless the control asks for it.
      if (vk == VK_TAB && win->Perform(CM_WANTSPECIALKEY, vk, 0) == 0) return false;
      QPointer<QWidget> alive = Control->GetPeer();
      if (KeyDownChain(win, vk, shift) == 0) return true;
      if (alive.isNull()) return true;
      const QString text = ke->text();
      if (text.size() == 1 && text[0].unicode() < 0x80 && !(ke->modifiers() & Qt::ControlModifier)) {
        if (KeyPressChain(win, static_cast<char>(text[0].unicode())) == '\0') return true;
      } else if (!text.isEmpty() && !(ke->modifiers() & Qt::ControlModifier)) {
        const QList<uint> points = text.toUcs4();
        if (points.size() == 1 && points[0] >= 0x80 && win->Perform(WM_UNICHAR, points[0], 0) != 0) return true;
      }
      return !native;
    }
    case QEvent::FocusIn: {
      if (native && onPeer) return false;
      auto* win = dynamic_cast<TWinControl*>(Control);
      if (win == nullptr) return false;
      win->Perform(WM_SETFOCUS, 0, 0);
      if (TWinControl* top = TopLevelOf(win)) top->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(win));
      return false;
    }
    case QEvent::FocusOut: {
      if (native && onPeer) return false;
      if (auto* win = dynamic_cast<TWinControl*>(Control)) win->Perform(WM_KILLFOCUS, 0, 0);
      return false;
    }
    default:
      return false;
  }
}
