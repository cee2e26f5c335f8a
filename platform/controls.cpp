#include "platform/controls.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "platform/inputrouter.h"
#include "platform/testhooks.h"
#include "platform/threads.h"

// ---------------------------------------------------------------------------
// Screen metrics
// ---------------------------------------------------------------------------

namespace {

std::mutex gMetricsLock;
std::map<Integer, Integer>& MetricOverrides() {
  static std::map<Integer, Integer> overrides;
  return overrides;
}

QScreen* PrimaryScreen() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return QGuiApplication::primaryScreen();
}

}  // namespace

Integer GetSystemMetrics(Integer Index) {
  {
    std::lock_guard<std::mutex> lk(gMetricsLock);
    auto it = MetricOverrides().find(Index);
    if (it != MetricOverrides().end()) return it->second;
  }
  switch (Index) {
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 4;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 3;
    case SM_CYCAPTION:
    case SM_CYMENU:
      return 19;
    case SM_CYSMCAPTION:
      return 15;
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      QScreen* screen = PrimaryScreen();
      if (screen == nullptr) return 0;
      const QRect g = screen->geometry();
      return Index == SM_CXSCREEN ? g.width() : g.height();
    }
    default:
      return 0;  // SM_REMOTESESSION and anything unknown
  }
}

void SetSystemMetricsOverride(Integer Index, Integer Value) {
  std::lock_guard<std::mutex> lk(gMetricsLock);
  MetricOverrides()[Index] = Value;
}

void ClearSystemMetricsOverrides() {
  std::lock_guard<std::mutex> lk(gMetricsLock);
  MetricOverrides().clear();
}

Integer GetScreenDeviceCaps(Integer Index) {
  QScreen* screen = PrimaryScreen();
  switch (Index) {
    case BITSPIXEL:
      return screen != nullptr && screen->depth() > 0 ? screen->depth() : 24;
    case LOGPIXELSX:
      return screen != nullptr ? static_cast<Integer>(std::lround(screen->logicalDotsPerInchX())) : 96;
    case LOGPIXELSY:
      return screen != nullptr ? static_cast<Integer>(std::lround(screen->logicalDotsPerInchY())) : 96;
    case HORZRES:
      return screen != nullptr ? screen->geometry().width() : 0;
    case VERTRES:
      return screen != nullptr ? screen->geometry().height() : 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Window handles and posted messages
// ---------------------------------------------------------------------------

/// What a handle refers to. Owned by the control; Control is cleared (on the
/// main thread) when the control goes, HasParent is readable anywhere.
struct TWindowState {
  TControl* Control = nullptr;
  std::atomic<bool> HasParent{false};
  /// Coalesced messages waiting on the main thread, by number.
  std::mutex CoalescedLock;
  std::map<Cardinal, std::pair<WPARAM, LPARAM>> Coalesced;
};

bool operator==(const TWindowHandle& A, const TWindowHandle& B) {
  return !A.FState.owner_before(B.FState) && !B.FState.owner_before(A.FState);
}

bool IsWindow(const TWindowHandle& Wnd) { return !Wnd.FState.expired(); }

bool WindowHasParent(const TWindowHandle& Wnd) {
  std::shared_ptr<TWindowState> state = Wnd.FState.lock();
  return state != nullptr && state->HasParent.load(std::memory_order_acquire);
}

bool PostWindowCall(const TWindowHandle& Wnd, std::function<void(TControl*)> Proc) {
  if (Wnd.FState.expired()) return false;
  std::weak_ptr<TWindowState> weak = Wnd.FState;
  PostToMainThread([weak, Proc = std::move(Proc)] {
    std::shared_ptr<TWindowState> state = weak.lock();
    if (state != nullptr && state->Control != nullptr) Proc(state->Control);
  });
  return true;
}

bool PostCoalescedMessage(const TWindowHandle& Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  std::shared_ptr<TWindowState> state = Wnd.FState.lock();
  if (state == nullptr) return false;
  {
    std::lock_guard<std::mutex> lk(state->CoalescedLock);
    auto it = state->Coalesced.find(Msg);
    if (it != state->Coalesced.end()) {
      it->second = {WParam, LParam};
      return true;
    }
    state->Coalesced.emplace(Msg, std::make_pair(WParam, LParam));
  }
  std::weak_ptr<TWindowState> weak = state;
  PostToMainThread([weak, Msg] {
    std::shared_ptr<TWindowState> s = weak.lock();
    if (s == nullptr) return;
    std::pair<WPARAM, LPARAM> params;
    {
      std::lock_guard<std::mutex> lk(s->CoalescedLock);
      auto it = s->Coalesced.find(Msg);
      if (it == s->Coalesced.end()) return;
      params = it->second;
      s->Coalesced.erase(it);
    }
    if (s->Control != nullptr) s->Control->Perform(Msg, params.first, params.second);
  });
  return true;
}

bool PostMessage(const TWindowHandle& Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  return PostWindowCall(Wnd, [Msg, WParam, LParam](TControl* Control) { Control->Perform(Msg, WParam, LParam); });
}

// ---------------------------------------------------------------------------
// The Qt peer
// ---------------------------------------------------------------------------

/// The widget standing for a control: hands Qt's paint and pointer events to
/// the control while it exists.
class TControlPeer : public QWidget {
 public:
  explicit TControlPeer(TControl* Control) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Every pointer move is a message, with or without a button down.
    setMouseTracking(true);
    hide();
    // Events sent while the widget is set up go nowhere: the control is
    // still being built and does not know its peer yet.
    FControl = Control;
  }
  ~TControlPeer() override {
    // Deleted by a Qt window it was placed in, not by its control.
    if (FControl != nullptr) FControl->PeerDestroyed();
  }
  TControl* FControl = nullptr;

 protected:
  bool event(QEvent* Event) override {
    // Mouse, wheel, key and focus events become the control's messages.
    if (FControl != nullptr && TInputRouter::Route(FControl, this, Event)) return true;
    return QWidget::event(Event);
  }
  void paintEvent(QPaintEvent*) override {
    if (FControl == nullptr) return;
    FControl->HandleNeeded();
    FControl->RunPendingPaint();
    if (FControl == nullptr) return;  // the paint freed the control
    QPainter painter(this);
    FControl->PaintPeer(painter);
  }
  void enterEvent(QEnterEvent*) override {
    if (FControl != nullptr) FControl->Perform(CM_MOUSEENTER, 0, 0);
  }
  void leaveEvent(QEvent*) override {
    if (FControl != nullptr) FControl->Perform(CM_MOUSELEAVE, 0, 0);
  }
  void wheelEvent(QWheelEvent* Event) override {
    if (FControl == nullptr) return;
    // Qt's vertical angle delta is 120 per notch, positive away from the
    // user, as the message wants it.
    const int delta = Event->angleDelta().y();
    if (delta == 0) return;
    Word keys = 0;
    if (Event->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
    if (Event->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
    const QPoint global = Event->globalPosition().toPoint();
    FControl->Perform(WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<Word>(static_cast<int16_t>(delta))),
                      MAKELPARAM(static_cast<Word>(static_cast<int16_t>(global.x())),
                                 static_cast<Word>(static_cast<int16_t>(global.y()))));
    Event->accept();
  }
};

namespace {

/// Controls with a pending paint, in the order their paints became pending.
/// Main thread only.
std::vector<TControl*>& PendingPaints() {
  static std::vector<TControl*> list;
  return list;
}

QColor ToQColor(TColor Color) {
  const TColor c = ColorToRGB(Color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TRect Intersect(const TRect& A, const TRect& B) {
  TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
          std::min(A.Bottom, B.Bottom)};
  if (r.Right <= r.Left || r.Bottom <= r.Top) return TRect{};
  return r;
}

bool IsEmptyRect(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }

TRect Union(const TRect& A, const TRect& B) {
  if (IsEmptyRect(A)) return B;
  if (IsEmptyRect(B)) return A;
  return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
               std::max(A.Bottom, B.Bottom)};
}

/// Frame width on each side from the window's styles.
TPoint FrameSize(const TCreateParams& P) {
  TPoint f;
  if (P.ExStyle & WS_EX_CLIENTEDGE) {
    f.X += GetSystemMetrics(SM_CXEDGE);
    f.Y += GetSystemMetrics(SM_CYEDGE);
  }
  if (P.Style & WS_BORDER) {
    f.X += GetSystemMetrics(SM_CXBORDER);
    f.Y += GetSystemMetrics(SM_CYBORDER);
  }
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------
// TControl
// ---------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), FState(std::make_shared<TWindowState>()), FPeer(new TControlPeer(this)) {
  FState->Control = this;
}

TControl::~TControl() {
  SetPendingPaint(false);
  ReleaseInput();
  if (FParent != nullptr) {
    TWinControl* parent = FParent;
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    FParent = nullptr;
    if (FAlign != alNone && FVisible && !parent->GetComponentState().Contains(csDestroying)) parent->Realign();
  }
  FState->Control = nullptr;
  FState->HasParent.store(false, std::memory_order_release);
  FState.reset();
  FPeer->FControl = nullptr;
  delete FPeer;
  FPeer = nullptr;
}

QWidget* TControl::GetPeer() const { return FPeer; }

void TControl::PeerDestroyed() {
  // Only a parent window of the program's own deletes a peer behind the
  // control's back (it deletes its Qt children): the window is gone, so
  // forget it and go on with a new peer. The children's peers move over
  // before the old peer's own destructor would delete them.
  FPeer->FControl = nullptr;
  FParentWindow = nullptr;
  FState->HasParent.store(HasParentWindow(), std::memory_order_release);
  FPeer = new TControlPeer(this);
  if (FParent != nullptr) FPeer->setParent(FParent->FPeer);
  PlacePeer();
  SyncPeerVisibility();
  if (auto* self = dynamic_cast<TWinControl*>(this)) {
    for (TControl* child : self->FControls) {
      child->FPeer->setParent(FPeer);
      child->PlacePeer();
      child->SyncPeerVisibility();
    }
  }
}

void TControl::SetParent(TWinControl* Value) {
  if (Value == FParent) return;
  if (Value == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (auto* self = dynamic_cast<TWinControl*>(this); self != nullptr && Value != nullptr && self->ContainsControl(Value))
    throw EInvalidOperation("A control cannot have one of its children as its parent");
  TWinControl* oldParent = FParent;
  if (FParent != nullptr) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  FParent = Value;
  if (Value != nullptr) Value->FControls.push_back(this);
  FState->HasParent.store(HasParentWindow(), std::memory_order_release);
  FPeer->setParent(Value != nullptr ? static_cast<QWidget*>(Value->FPeer) : FParentWindow);
  PlacePeer();
  SyncPeerVisibility();
  if (auto* self = dynamic_cast<TWinControl*>(this); self != nullptr && Value != nullptr && self->FParentCtl3D)
    self->TakeParentCtl3D();
  if (oldParent != nullptr && FAlign != alNone) oldParent->Realign();
  PlacementChanged();
}

void TControl::SetParentWindow(QWidget* Value) {
  if (Value == FParentWindow) return;
  FParentWindow = Value;
  FState->HasParent.store(HasParentWindow(), std::memory_order_release);
  if (FParent == nullptr) {
    FPeer->setParent(Value);
    PlacePeer();
    SyncPeerVisibility();
  }
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  SyncPeerVisibility();
  if (FAlign != alNone && FParent != nullptr) FParent->Realign();
}

bool TControl::GetShowing() const {
  if (!FVisible) return false;
  if (FParent != nullptr) return FParent->GetShowing();
  // A control without any parent shows only as a window of its own (a form).
  return FParentWindow != nullptr ? FParentWindow->isVisible() : FPeer->isVisible();
}

void TControl::SyncPeerVisibility() { FPeer->setVisible(FVisible && HasParentWindow()); }

void TControl::PlacePeer() {
  TPoint off;
  if (FParent != nullptr) off = FParent->GetClientOffset();
  FPeer->setGeometry(off.X + FLeft, off.Y + FTop, FWidth, FHeight);
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  PlacePeer();
  UpdateClientSize();
  PlacementChanged();
}

TRect TControl::GetClientRect() {
  HandleNeeded();
  return TRect{0, 0, FClientWidth, FClientHeight};
}

TPoint TControl::GetClientOffset() {
  if (!HandleAllocated()) return TPoint{};
  const TRect insets = GetNonClientInsets();
  return TPoint{insets.Left, insets.Top};
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Invalidate();
}

void TControl::HandleNeeded() {
  if (!HandleAllocated()) CreateWnd();
}

void TControl::RecreateWnd() {
  if (HandleAllocated()) CreateWnd();
}

void TControl::CreateParams(TCreateParams& Params) {
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS | (FVisible ? WS_VISIBLE : 0);
  Params.WindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  Params.Parent = FParent;
}

void TControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  FWindowParams = params;
  ++FHandleGeneration;
  // The frame may have changed: children sit in the client area.
  if (auto* self = dynamic_cast<TWinControl*>(this))
    for (TControl* child : self->FControls) child->PlacePeer();
  UpdateClientSize();
  // A new window has nothing on the screen yet.
  Invalidate();
  FPeer->update();
}

TRect TControl::GetNonClientInsets() {
  const TPoint f = FrameSize(FWindowParams);
  return TRect{f.X, f.Y, f.X, f.Y};
}

void TControl::UpdateClientSize() {
  if (!HandleAllocated()) return;
  const TRect insets = GetNonClientInsets();
  const Integer cw = std::max(0, FWidth - insets.Left - insets.Right);
  const Integer ch = std::max(0, FHeight - insets.Top - insets.Bottom);
  if (cw == FClientWidth && ch == FClientHeight) return;
  const Integer oldW = FClientWidth, oldH = FClientHeight;
  FClientWidth = cw;
  FClientHeight = ch;
  ClientResized(cw, ch);
  const DWORD cs = FWindowParams.WindowClassStyle;
  if (oldW < 0 || (cw != oldW && (cs & CS_HREDRAW)) || (ch != oldH && (cs & CS_VREDRAW))) {
    Invalidate();
  } else {
    // Without the redraw class styles only the uncovered strips need paint.
    if (cw > oldW) InvalidateRect(TRect{oldW, 0, cw, ch});
    if (ch > oldH) InvalidateRect(TRect{0, oldH, cw, ch});
  }
  Perform(WM_SIZE, SIZE_RESTORED,
          MAKELPARAM(static_cast<Word>(std::min(cw, 0xFFFF)), static_cast<Word>(std::min(ch, 0xFFFF))));
}

void TControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(TRect{0, 0, FClientWidth, FClientHeight});
}

void TControl::InvalidateRect(const TRect& Rect) {
  if (!HandleAllocated()) return;
  const TRect r = Intersect(Rect, TRect{0, 0, FClientWidth, FClientHeight});
  if (IsEmptyRect(r)) return;
  FInvalid = Union(FInvalid, r);
  SetPendingPaint(true);
  FPeer->update();
}

void TControl::Update() { RunPendingPaint(); }

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::SetPendingPaint(bool Pending) {
  if (Pending == FPaintPending) return;
  FPaintPending = Pending;
  auto& list = PendingPaints();
  if (Pending)
    list.push_back(this);
  else
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControl::RunPendingPaint() {
  if (FPaintPending) Perform(WM_PAINT, 0, 0);
}

TRect TControl::TakeInvalidRect() {
  const TRect r = FInvalid;
  FInvalid = TRect{};
  SetPendingPaint(false);
  return r;
}

void ProcessPendingPaints() {
  // A paint that invalidates again waits for the next pump.
  std::vector<TControl*> snapshot = PendingPaints();
  for (TControl* control : snapshot) {
    auto& list = PendingPaints();
    if (std::find(list.begin(), list.end(), control) != list.end()) control->RunPendingPaint();
  }
}

LRESULT TControl::Perform(Cardinal Msg, WPARAM WParam, LPARAM LParam) {
  TMessage message{Msg, WParam, LParam, 0};
  WndProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SIZE:
      WMSize(Message);
      break;
    case WM_PAINT:
      WMPaint(Message);
      break;
    case CM_MOUSEENTER:
      CMMouseEnter(Message);
      break;
    case CM_MOUSELEAVE:
      CMMouseLeave(Message);
      break;
    default:
      if (!InputMessage(Message)) DefaultHandler(Message);
  }
}

void TControl::DefaultHandler(TMessage& Message) { Message.Result = 0; }

void TControl::WMSize(TMessage&) {
  if (OnResize) OnResize(this);
}

void TControl::WMPaint(TMessage&) { TakeInvalidRect(); }

void TControl::PaintPeer(QPainter& Painter) {
  // Rings of the frame from the outside in: the plain border, then the
  // sunken edge (shadow over dark shadow at the top and left, highlight over
  // light at the bottom and right).
  struct Ring {
    TColor TopLeft, BottomRight;
  };
  std::vector<Ring> ringsX, ringsY;
  auto add = [](std::vector<Ring>& rings, Integer count, Ring first, Ring rest) {
    for (Integer i = 0; i < count; ++i) rings.push_back(i == 0 ? first : rest);
  };
  const DWORD style = FWindowParams.Style, exStyle = FWindowParams.ExStyle;
  const Ring border{clWindowFrame, clWindowFrame};
  const Ring edgeOuter{clBtnShadow, clBtnHighlight}, edgeInner{cl3DDkShadow, cl3DLight};
  if (style & WS_BORDER) {
    add(ringsX, GetSystemMetrics(SM_CXBORDER), border, border);
    add(ringsY, GetSystemMetrics(SM_CYBORDER), border, border);
  }
  if (exStyle & WS_EX_CLIENTEDGE) {
    add(ringsX, GetSystemMetrics(SM_CXEDGE), edgeOuter, edgeInner);
    add(ringsY, GetSystemMetrics(SM_CYEDGE), edgeOuter, edgeInner);
  }
  const Integer w = FWidth, h = FHeight;
  for (size_t i = 0; i < ringsY.size(); ++i) {
    const Integer k = static_cast<Integer>(i);
    Painter.fillRect(0, k, w, 1, ToQColor(ringsY[i].TopLeft));
    Painter.fillRect(0, h - 1 - k, w, 1, ToQColor(ringsY[i].BottomRight));
  }
  for (size_t i = 0; i < ringsX.size(); ++i) {
    const Integer k = static_cast<Integer>(i);
    Painter.fillRect(k, k, 1, h - 2 * k, ToQColor(ringsX[i].TopLeft));
    Painter.fillRect(w - 1 - k, k, 1, h - 2 * k, ToQColor(ringsX[i].BottomRight));
  }
}

// ---------------------------------------------------------------------------
// TWinControl
// ---------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  // Each child takes itself off the list as it goes.
  while (!FControls.empty()) delete FControls.back();
}

TControl* TWinControl::GetControl(Integer Index) const {
  if (Index < 0 || Index >= GetControlCount()) ListIndexError(Index);
  return FControls[static_cast<size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* Control) const {
  for (const TControl* c = Control; c != nullptr; c = c->GetParent())
    if (c == this) return true;
  return false;
}

void TWinControl::SetCtl3D(bool Value) {
  if (Value == FCtl3D) return;
  FCtl3D = Value;
  FParentCtl3D = false;
  if (GetControlStyle().Contains(csFramed)) RecreateWnd();
  for (TControl* child : FControls)
    if (auto* win = dynamic_cast<TWinControl*>(child); win != nullptr && win->FParentCtl3D) win->TakeParentCtl3D();
}

void TWinControl::SetParentCtl3D(bool Value) {
  if (Value == FParentCtl3D) return;
  FParentCtl3D = Value;
  if (Value) TakeParentCtl3D();
}

void TWinControl::TakeParentCtl3D() {
  if (GetParent() == nullptr) return;
  SetCtl3D(GetParent()->GetCtl3D());
  FParentCtl3D = true;
}

void TWinControl::PaintPeer(QPainter& Painter) {
  Painter.fillRect(0, 0, GetWidth(), GetHeight(), ToQColor(GetColor()));
  TControl::PaintPeer(Painter);
}

void TWinControl::CreateParams(TCreateParams& Params) {
  TControl::CreateParams(Params);
  const TControlStyle style = GetControlStyle();
  if (style.Contains(csAcceptsControls)) Params.Style |= WS_CLIPCHILDREN;
  if (style.Contains(csFramed)) {
    if (NewStyleControls && GetCtl3D())
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
}

// ---------------------------------------------------------------------------
// TCustomControl
// ---------------------------------------------------------------------------

namespace {

// The flat look of a control's own scroll bars: a plain track, and the
// thumb and arrow buttons as plain faces with a one-pixel outline. The base
// style keeps the geometry and the hit testing, so only the paint changes.
class FlatBarStyle : public QProxyStyle {
 public:
  void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option, QPainter* Painter,
                          const QWidget* Widget) const override {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(Option);
    if (Control != CC_ScrollBar || bar == nullptr) {
      QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
      return;
    }
    const bool enabled = (bar->state & State_Enabled) != 0;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing, false);
    Painter->fillRect(bar->rect, ToQColor(enabled ? clScrollBar : clBtnFace));
    auto face = [&](SubControl Part) -> QRect {
      const QRect r = subControlRect(CC_ScrollBar, bar, Part, Widget);
      if (r.isEmpty()) return r;
      const bool down = enabled && (bar->activeSubControls & Part) && (bar->state & State_Sunken);
      Painter->fillRect(r, ToQColor(down ? clBtnShadow : clBtnFace));
      Painter->setPen(ToQColor(clBtnShadow));
      Painter->setBrush(Qt::NoBrush);
      Painter->drawRect(r.adjusted(0, 0, -1, -1));
      return r;
    };
    // Arrows: a filled triangle pointing away from the track's middle.
    for (const SubControl part : {SC_ScrollBarSubLine, SC_ScrollBarAddLine}) {
      const QRect r = face(part);
      if (r.isEmpty()) continue;
      const int s = std::max(2, std::min(r.width(), r.height()) / 4);
      const QPoint c = r.center();
      const int d = part == SC_ScrollBarSubLine ? -1 : 1;
      QPolygon tri;
      if (horizontal)
        tri << QPoint(c.x() + d * s / 2, c.y()) << QPoint(c.x() - d * s / 2, c.y() - s)
            << QPoint(c.x() - d * s / 2, c.y() + s);
      else
        tri << QPoint(c.x(), c.y() + d * s / 2) << QPoint(c.x() - s, c.y() - d * s / 2)
            << QPoint(c.x() + s, c.y() - d * s / 2);
      const QColor ink = ToQColor(enabled ? clBtnText : clGrayText);
      Painter->setPen(ink);
      Painter->setBrush(ink);
      Painter->drawPolygon(tri);
    }
    if (enabled && bar->maximum > bar->minimum) face(SC_ScrollBarSlider);
    Painter->restore();
  }
};

// Gives one bar the flat look or takes it away; the style lives as the
// bar's child.
void ApplyBarLook(QScrollBar* Widget, bool Flat) {
  auto* flat = Widget->findChild<FlatBarStyle*>(QString(), Qt::FindDirectChildrenOnly);
  if (Flat == (flat != nullptr)) return;
  if (Flat) {
    flat = new FlatBarStyle();
    flat->setParent(Widget);
    Widget->setStyle(flat);
  } else {
    Widget->setStyle(nullptr);
    delete flat;
  }
  Widget->update();
}

}  // namespace

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FSurface(0, 0, pf24bit), FCanvas(std::make_unique<TCanvas>(&FSurface)) {
  FCanvas->OnChange = [this](TObject*) {
    // Drawings outside a paint reach the screen at Qt's next repaint.
    if (IsMainThread()) {
      GetPeer()->update();
    } else {
      PostWindowCall(GetHandle(), [](TControl* Control) { Control->GetPeer()->update(); });
    }
  };
}

TCustomControl::~TCustomControl() {
  FCanvas->OnChange = nullptr;
  // The bars call back into this control: they go while it is whole.
  for (QScrollBar*& widget : FBarWidgets) {
    if (widget == nullptr) continue;
    QObject::disconnect(widget, nullptr, nullptr, nullptr);
    delete widget;
    widget = nullptr;
  }
}

TCanvas* TCustomControl::GetCanvas() {
  HandleNeeded();
  return FCanvas.get();
}

void TCustomControl::ClientResized(Integer NewWidth, Integer NewHeight) {
  FSurface.SetSize(NewWidth, NewHeight);
  FCanvas->ResetClipRect();
  SyncScrollBarWidgets();
}

void TCustomControl::SurfaceWritten() { GetPeer()->update(); }

TRect TCustomControl::GetNonClientInsets() {
  TRect insets = TWinControl::GetNonClientInsets();
  if (FBars[SB_VERT].Shown) insets.Right += GetSystemMetrics(SM_CXVSCROLL);
  if (FBars[SB_HORZ].Shown) insets.Bottom += GetSystemMetrics(SM_CYHSCROLL);
  return insets;
}

void TCustomControl::ShowScrollBar(Integer Bar, bool Show) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return;
  if (FBars[Bar].Shown == Show) return;
  FBars[Bar].Shown = Show;
  // The client area changes now, and WM_SIZE with it.
  UpdateClientSize();
  SyncScrollBarWidgets();
  GetPeer()->update();
}

void TCustomControl::SetScrollRange(Integer Bar, Integer Min, Integer Max, bool Redraw) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return;
  TScrollBarState& b = FBars[Bar];
  b.Min = Min;
  b.Max = std::max(Max, Min);
  const Integer span = b.Max - b.Min + 1;
  b.Page = std::clamp(b.Page, 0, span);
  SetScrollPos(Bar, b.Pos, Redraw);
}

void TCustomControl::SetScrollPage(Integer Bar, Integer Page, bool Redraw) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return;
  TScrollBarState& b = FBars[Bar];
  b.Page = std::clamp(Page, 0, b.Max - b.Min + 1);
  SetScrollPos(Bar, b.Pos, Redraw);
}

void TCustomControl::SetScrollPos(Integer Bar, Integer Pos, bool Redraw) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return;
  TScrollBarState& b = FBars[Bar];
  const Integer top = std::max(b.Min, b.Max - std::max(b.Page - 1, 0));
  b.Pos = std::clamp(Pos, b.Min, top);
  if (Redraw) SyncScrollBarWidgets();
}

void TCustomControl::EnableScrollBar(Integer Bar, bool Enable) {
  if (Bar != SB_HORZ && Bar != SB_VERT) return;
  FBars[Bar].Enabled = Enable;
  SyncScrollBarWidgets();
}

void TCustomControl::InitializeFlatSB() {
  FFlatBars = true;
  SyncScrollBarWidgets();
}

void TCustomControl::UninitializeFlatSB() {
  FFlatBars = false;
  SyncScrollBarWidgets();
}

TScrollBarState TCustomControl::GetScrollBarState(Integer Bar) const {
  if (Bar != SB_HORZ && Bar != SB_VERT) return TScrollBarState{};
  return FBars[Bar];
}

TPoint TCustomControl::ScreenToClient(const TPoint& Point) {
  const QPoint p = GetPeer()->mapFromGlobal(QPoint(Point.X, Point.Y));
  const TPoint off = GetClientOffset();
  return TPoint{p.x() - off.X, p.y() - off.Y};
}

void TCustomControl::SyncScrollBarWidgets() {
  if (FSyncingBars) return;
  FSyncingBars = true;
  const TRect insets = GetNonClientInsets();
  const Integer cw = std::max(0, GetWidth() - insets.Left - insets.Right);
  const Integer ch = std::max(0, GetHeight() - insets.Top - insets.Bottom);
  for (Integer bar : {SB_HORZ, SB_VERT}) {
    const TScrollBarState& b = FBars[bar];
    QScrollBar*& widget = FBarWidgets[bar];
    if (widget != nullptr && widget->parentWidget() != GetPeer()) {
      delete widget;
      widget = nullptr;
    }
    if (widget != nullptr) ApplyBarLook(widget, FFlatBars);
    if (!b.Shown) {
      if (widget != nullptr) widget->hide();
      continue;
    }
    if (widget == nullptr) {
      widget = new QScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, GetPeer());
      QObject::connect(widget, &QObject::destroyed, [this, bar] { FBarWidgets[bar] = nullptr; });
      QObject::connect(widget, &QAbstractSlider::actionTriggered,
                       [this, bar](int action) { ScrollBarAction(bar, action); });
      QObject::connect(widget, &QAbstractSlider::sliderReleased,
                       [this, bar] { ScrollBarAction(bar, -1); });
      ApplyBarLook(widget, FFlatBars);
    }
    if (bar == SB_HORZ)
      widget->setGeometry(insets.Left, insets.Top + ch, cw, GetSystemMetrics(SM_CYHSCROLL));
    else
      widget->setGeometry(insets.Left + cw, insets.Top, GetSystemMetrics(SM_CXVSCROLL), ch);
    const QSignalBlocker blocker(widget);
    widget->setRange(b.Min, std::max(b.Min, b.Max - std::max(b.Page - 1, 0)));
    widget->setPageStep(std::max(b.Page, 1));
    widget->setValue(b.Pos);
    widget->setEnabled(b.Enabled);
    widget->show();
  }
  FSyncingBars = false;
}

void TCustomControl::ScrollBarAction(Integer Bar, int Action) {
  QScrollBar* widget = FBarWidgets[Bar];
  if (widget == nullptr) return;
  Word code = SB_ENDSCROLL;
  switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    case -1: code = SB_THUMBPOSITION; break;
    default: return;
  }
  const Integer pos = widget->sliderPosition();
  Perform(Bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, static_cast<Word>(pos & 0xFFFF)), 0);
  // The control decides where the thumb goes; Qt then applies that value.
  if (FBarWidgets[Bar] != nullptr) FBarWidgets[Bar]->setSliderPosition(FBars[Bar].Pos);
}

void TCustomControl::WndProc(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND) {
    // Erase within the paint's clip with the control's colour.
    TBrush* brush = FCanvas->GetBrush();
    const TColor color = brush->GetColor();
    const TBrushStyle style = brush->GetStyle();
    brush->SetColor(GetColor());
    brush->SetStyle(bsSolid);
    FCanvas->FillRect(TRect{0, 0, FSurface.GetWidth(), FSurface.GetHeight()});
    brush->SetColor(color);
    brush->SetStyle(style);
    Message.Result = 1;
    return;
  }
  TWinControl::WndProc(Message);
}

void TCustomControl::WMPaint(TMessage&) {
  const TRect invalid = TakeInvalidRect();
  if (invalid.Right <= invalid.Left || invalid.Bottom <= invalid.Top) return;
  FCanvas->Lock();
  try {
    FCanvas->SetClipRect(invalid);
    Perform(WM_ERASEBKGND, 0, 0);
    Paint();
  } catch (...) {
    FCanvas->ResetClipRect();
    FCanvas->Unlock();
    throw;
  }
  FCanvas->ResetClipRect();
  FCanvas->Unlock();
  GetPeer()->update();
}

void TCustomControl::PaintPeer(QPainter& Painter) {
  TControl::PaintPeer(Painter);
  const Integer w = FSurface.GetWidth(), h = FSurface.GetHeight();
  if (w <= 0 || h <= 0) return;
  const TPoint off = GetClientOffset();
  const QImage image(FSurface.SurfaceRow(0), w, h, FSurface.RowBytes(), QImage::Format_BGR888);
  Painter.drawImage(off.X, off.Y, image);
  if (FBars[SB_HORZ].Shown && FBars[SB_VERT].Shown)
    Painter.fillRect(off.X + w, off.Y + h, GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL),
                     ToQColor(clBtnFace));
}

// ---------------------------------------------------------------------------
// TTimer
// ---------------------------------------------------------------------------

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FTimer(new QTimer()) {
  QObject::connect(FTimer, &QTimer::timeout, [this] { Timer(); });
}

TTimer::~TTimer() {
  TestHooks::TimerChanged(this, 0);
  delete FTimer;
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

bool TTimer::GetActive() const { return FTimer->isActive(); }

void TTimer::Timer() {
  if (FOnTimer) FOnTimer(this);
}

void TTimer::UpdateTimer() {
  FTimer->stop();
  const bool run = FEnabled && FInterval > 0 && FOnTimer;
  // Under the tests' manual clock the timer waits for AdvanceTimers.
  TestHooks::TimerChanged(this, run ? FInterval : 0);
  if (run && !TestHooks::ManualTimers())
    FTimer->start(static_cast<int>(std::min<Cardinal>(FInterval, 0x7FFFFFFF)));
}
