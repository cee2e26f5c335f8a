// Window controls of the platform layer: TControl, TWinControl and
// TCustomControl over Qt widgets, window messages, system metrics and
// colours of the screen, and TTimer.
//
// Design ("window surface"):
// - Every TControl owns one QWidget peer, placed and shown by the control;
//   Qt layouts are never used. Geometry is ours: Left/Top/Width/Height are
//   the outer bounds in the parent's client area; the client area is the
//   outer rectangle less the non-client insets (the frame that the create
//   parameters ask for, measured with the injectable system metrics). A
//   change of the client size sends WM_SIZE synchronously, whether or not Qt
//   has shown the widget.
// - A TCustomControl keeps a retained image of its client area (24-bit
//   rows). Its Canvas draws into that image at any time, also outside a
//   paint; Qt only copies the image to the screen. Invalidate records an
//   invalid rectangle and a pending paint; the pending paint (erase, then
//   Paint with the canvas clipped to the invalid rectangle) runs on Update,
//   on Qt's paint event, or when ProcessPendingPaints pumps it (tests).
// - The "window" of a control is created on first need from CreateParams
//   (style, extended style, class style); RecreateWnd applies changed
//   parameters again and counts a new handle generation. The window handle
//   is a token that any thread may keep: PostMessage through it queues the
//   message for the main thread, where it is dispatched with Perform while
//   the control exists and dropped once it has been destroyed.
// - Messages go through the virtual WndProc: descendants handle theirs and
//   pass the rest on; Perform dispatches synchronously.
// Controls are used on the main thread only; only PostMessage and the handle
// queries below may be called from other threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/ctrltypes.h"
#include "platform/graphics.h"
#include "platform/system.h"

class QWidget;
class QPainter;
class QTimer;
class TControl;
class TWinControl;
class TPopupMenu;

// ---------------------------------------------------------------------------
// Messages
// ---------------------------------------------------------------------------

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

/// One window message and the answer its handler gives.
struct TMessage {
  Cardinal Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

/// The client size changed: WParam SIZE_RESTORED, LParam MAKELPARAM(width, height).
constexpr Cardinal WM_SIZE = 0x0005;
/// The pending paint runs (sent by the paint pump).
constexpr Cardinal WM_PAINT = 0x000F;
/// Erase before a paint; a handler answering non-zero has erased (or chose not to).
constexpr Cardinal WM_ERASEBKGND = 0x0014;
/// First message number free for a program's own messages.
constexpr Cardinal WM_USER = 0x0400;
/// The control layer's own notifications.
constexpr Cardinal CM_BASE = 0xB000;
constexpr Cardinal CM_MOUSEENTER = CM_BASE + 19;
constexpr Cardinal CM_MOUSELEAVE = CM_BASE + 20;
/// A scroll bar was used: WParam MAKEWPARAM(SB_ code, thumb position),
/// LParam 0 (the control's own bar).
constexpr Cardinal WM_HSCROLL = 0x0114;
constexpr Cardinal WM_VSCROLL = 0x0115;

/// Scroll codes of WM_HSCROLL and WM_VSCROLL (LEFT/RIGHT are the same
/// values as UP/DOWN, TOP/BOTTOM as LEFT/RIGHT).
constexpr Word SB_LINEUP = 0, SB_LINELEFT = 0;
constexpr Word SB_LINEDOWN = 1, SB_LINERIGHT = 1;
constexpr Word SB_PAGEUP = 2, SB_PAGELEFT = 2;
constexpr Word SB_PAGEDOWN = 3, SB_PAGERIGHT = 3;
constexpr Word SB_THUMBPOSITION = 4;
constexpr Word SB_THUMBTRACK = 5;
constexpr Word SB_TOP = 6, SB_LEFT = 6;
constexpr Word SB_BOTTOM = 7, SB_RIGHT = 7;
constexpr Word SB_ENDSCROLL = 8;
/// Which scroll bar of a window.
constexpr Integer SB_HORZ = 0;
constexpr Integer SB_VERT = 1;

constexpr WPARAM SIZE_RESTORED = 0;
/// Packs two 16-bit values into a message parameter (low word first).
constexpr LPARAM MAKELPARAM(Word Low, Word High) {
  return static_cast<LPARAM>(static_cast<Cardinal>(Low) | (static_cast<Cardinal>(High) << 16));
}
constexpr Word LOWORD(std::uintptr_t V) { return static_cast<Word>(V & 0xFFFF); }
constexpr Word HIWORD(std::uintptr_t V) { return static_cast<Word>((V >> 16) & 0xFFFF); }
constexpr WPARAM MAKEWPARAM(Word Low, Word High) {
  return static_cast<WPARAM>(static_cast<Cardinal>(Low) | (static_cast<Cardinal>(High) << 16));
}

// ---------------------------------------------------------------------------
// Create parameters
// ---------------------------------------------------------------------------

constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
/// A one-pixel plain border (SM_CXBORDER x SM_CYBORDER).
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_TABSTOP = 0x00010000;
/// A sunken 3-D edge (SM_CXEDGE x SM_CYEDGE).
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
/// Class styles: repaint everything when the width (height) changes;
/// double clicks reach the control.
constexpr DWORD CS_VREDRAW = 0x0001;
constexpr DWORD CS_HREDRAW = 0x0002;
constexpr DWORD CS_DBLCLKS = 0x0008;

/// What a control's window is created with.
struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  /// Class style (CS_ flags).
  DWORD WindowClassStyle = 0;
  Integer X = 0, Y = 0, Width = 0, Height = 0;
  TWinControl* Parent = nullptr;
};

/// Whether controls draw the new-style look (client edges instead of plain
/// frames). Always true on this platform.
constexpr bool NewStyleControls = true;

// ---------------------------------------------------------------------------
// Screen metrics
// ---------------------------------------------------------------------------

constexpr Integer SM_CXSCREEN = 0;
constexpr Integer SM_CYSCREEN = 1;
constexpr Integer SM_CXVSCROLL = 2;
constexpr Integer SM_CYHSCROLL = 3;
constexpr Integer SM_CXBORDER = 5;
constexpr Integer SM_CYBORDER = 6;
constexpr Integer SM_CYCAPTION = 4;
constexpr Integer SM_CXDLGFRAME = 7;
constexpr Integer SM_CYDLGFRAME = 8;
constexpr Integer SM_CYMENU = 15;
constexpr Integer SM_CXFRAME = 32;
constexpr Integer SM_CYFRAME = 33;
constexpr Integer SM_CYSMCAPTION = 51;
constexpr Integer SM_CXEDGE = 45;
constexpr Integer SM_CYEDGE = 46;
constexpr Integer SM_REMOTESESSION = 0x1000;

/// A system metric: edges 2, borders 1, scroll bars 16, sizing frames 4,
/// dialog frames 3, captions and menu bars 19, small captions 15, the primary
/// screen's size (0 without a screen), never a remote session; unknown
/// indexes give 0. An override set for the index wins.
Integer GetSystemMetrics(Integer Index);
/// Makes GetSystemMetrics(Index) answer Value (for tests and other looks).
void SetSystemMetricsOverride(Integer Index, Integer Value);
/// Drops every override.
void ClearSystemMetricsOverrides();

constexpr Integer HORZRES = 8;
constexpr Integer VERTRES = 10;
constexpr Integer BITSPIXEL = 12;
constexpr Integer LOGPIXELSX = 88;
constexpr Integer LOGPIXELSY = 90;
/// A capability of the screen: bits per pixel (24 when no screen tells
/// more), logical dots per inch (96 without a screen), size in pixels;
/// unknown indexes give 0.
Integer GetScreenDeviceCaps(Integer Index);

// ---------------------------------------------------------------------------
// Window handles
// ---------------------------------------------------------------------------

struct TWindowState;

/// Identity of a control's window that any thread may copy and keep. It
/// outlives the control: afterwards it names no window and messages posted
/// to it are dropped. An empty handle names no window either.
class TWindowHandle {
 public:
  TWindowHandle() = default;
  /// Whether both name the same window (two empty handles are equal).
  friend bool operator==(const TWindowHandle& A, const TWindowHandle& B);

 private:
  friend class TControl;
  friend bool IsWindow(const TWindowHandle&);
  friend bool WindowHasParent(const TWindowHandle&);
  friend bool PostWindowCall(const TWindowHandle&, std::function<void(TControl*)>);
  friend bool PostCoalescedMessage(const TWindowHandle&, Cardinal, WPARAM, LPARAM);
  explicit TWindowHandle(std::weak_ptr<TWindowState> State) : FState(std::move(State)) {}
  std::weak_ptr<TWindowState> FState;
};

/// Whether the handle names a control that still exists. Any thread.
bool IsWindow(const TWindowHandle& Wnd);
/// Whether that control has a parent control or a parent window. Any thread.
bool WindowHasParent(const TWindowHandle& Wnd);
/// Queues the message for the main thread and returns at once (also on the
/// main thread). There it is dispatched with Perform if the control still
/// exists, and dropped otherwise. Posted messages run in the order they were
/// posted, together with the other calls queued for the main thread.
/// Returns false (posting nothing) for a handle of a control already gone.
bool PostMessage(const TWindowHandle& Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
/// As PostMessage, but while a message of the same number posted this way to
/// the same window is still waiting, that one takes the new parameters and
/// nothing more is queued: a stream of progress reports never floods the
/// queue, and the handler sees the latest value. Any thread.
bool PostCoalescedMessage(const TWindowHandle& Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam);
/// As PostMessage, but runs Proc(control) on the main thread instead of a
/// message, under the same rule.
bool PostWindowCall(const TWindowHandle& Wnd, std::function<void(TControl*)> Proc);

// ---------------------------------------------------------------------------
// Controls
// ---------------------------------------------------------------------------

/// Behaviour flags of a control class.
enum TControlStyleItem {
  csAcceptsControls,  // may be the parent of other controls
  csCaptureMouse,
  csClickEvents,
  csFramed,           // old-style plain frame
  csOpaque,           // paints its whole client area itself
  csDoubleClicks,
  csReplicatable,
};
using TControlStyle = TSet<TControlStyleItem>;

/// Border styles of controls and forms; controls use bsNone and bsSingle.
enum TFormBorderStyle : Byte { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

class TControlPeer;

/// Base of every control: a component with a parent, bounds, visibility, a
/// colour, a window with create parameters, an invalid rectangle, and
/// message dispatch.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner = nullptr);
  /// Leaves the parent, drops pending paints and the window; messages
  /// posted to the handle afterwards are dropped.
  ~TControl() override;

  // ---- parent and visibility

  TWinControl* GetParent() const { return FParent; }
  /// Moves the control into Value's client area (null: no parent).
  /// Raises EInvalidOperation for a parent that is this control or inside it.
  virtual void SetParent(TWinControl* Value);
  /// A window of another toolkit part to live in when the control has no
  /// parent control (the program's own Qt windows).
  QWidget* GetParentWindow() const { return FParentWindow; }
  void SetParentWindow(QWidget* Value);
  /// Whether the control has a parent control or a parent window.
  bool HasParentWindow() const { return FParent != nullptr || FParentWindow != nullptr; }
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  /// Visible and in a visible parent chain that ends in a parent window.
  bool GetShowing() const;

  // ---- geometry

  Integer GetLeft() const { return FLeft; }
  Integer GetTop() const { return FTop; }
  Integer GetWidth() const { return FWidth; }
  Integer GetHeight() const { return FHeight; }
  TRect GetBoundsRect() const { return TRect{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  /// Sets the outer bounds (negative sizes become 0). A changed client size
  /// sends WM_SIZE before this returns.
  virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
  void SetLeft(Integer Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(Integer Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(Integer Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(Integer Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  /// The client area, (0, 0, width, height); creates the window when needed.
  virtual TRect GetClientRect();
  Integer GetClientWidth() { return GetClientRect().Right; }
  Integer GetClientHeight() { return GetClientRect().Bottom; }
  /// Where the client area starts in the control's Qt widget (inside the
  /// outer bounds; forms: below their menu bar).
  virtual TPoint GetClientOffset();

  // ---- look

  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TControlStyle GetControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }

  // ---- window

  /// The handle that names the control for messages. It exists from
  /// construction (the window itself is created on first need) and may be
  /// read on any thread while the control exists.
  TWindowHandle GetHandle() const { return TWindowHandle(FState); }
  bool HandleAllocated() const { return FHandleGeneration > 0; }
  /// Creates the window from CreateParams unless it exists.
  void HandleNeeded();
  /// 0 before the window exists, then 1, plus one for every re-creation.
  Integer GetHandleGeneration() const { return FHandleGeneration; }
  /// Creates the window again with fresh create parameters (nothing when
  /// it does not exist yet: its creation will read them).
  void RecreateWnd();
  /// The parameters of the existing window (all zero before it exists).
  const TCreateParams& GetWindowParams() const { return FWindowParams; }

  // ---- painting

  /// Marks the whole client area invalid; it is painted by the next Update,
  /// paint pump or Qt paint event.
  virtual void Invalidate();
  /// Marks part of the client area invalid.
  void InvalidateRect(const TRect& Rect);
  /// The invalid rectangle (empty when nothing waits to be painted).
  TRect GetInvalidRect() const { return FInvalid; }
  /// Paints a pending invalid rectangle now.
  virtual void Update();
  /// Invalidate, then Update.
  virtual void Repaint();

  // ---- messages

  /// Dispatches a message synchronously and returns its result.
  LRESULT Perform(Cardinal Msg, WPARAM WParam, LPARAM LParam);
  /// Dispatches Message: descendants handle their messages and pass the
  /// rest to the inherited WndProc; unhandled messages reach DefaultHandler.
  virtual void WndProc(TMessage& Message);
  /// Answers a message nobody handled (Result 0).
  virtual void DefaultHandler(TMessage& Message);

  /// The Qt widget standing for the control (for placing it in Qt windows
  /// and for tests); owned by the control.
  QWidget* GetPeer() const;

  /// Fired after the client size changed (from WM_SIZE).
  TNotifyEvent OnResize;

  // ---- alignment (platform/align.cpp)

  TAlign GetAlign() const { return FAlign; }
  /// Places the control at an edge of the parent's client area or fills
  /// what the other aligned controls leave; the parent realigns at once.
  void SetAlign(TAlign Value);
  TAnchors GetAnchors() const { return FAnchors; }
  /// The parent edges whose distance the control keeps when the parent is
  /// resized (controls with alNone only).
  void SetAnchors(TAnchors Value);
  /// Sets the outer size so that the client area gets Value.
  void SetClientWidth(Integer Value);
  void SetClientHeight(Integer Value);

  // ---- state, text and input (platform/ctrlinput.cpp)

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  /// The caption (labels, buttons, forms) or the text (edits): one string.
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  const String& GetText() const { return FCaption; }
  void SetText(const String& Value) { SetCaption(Value); }
  /// The cursor shown over the control (a screen cursor number).
  TCursor GetCursor() const { return FCursor; }
  virtual void SetCursor(TCursor Value);
  /// Whether this control receives every mouse message until released.
  bool GetMouseCapture() const;
  void SetMouseCapture(bool Value);
  TPoint ClientToScreen(TPoint P);
  TPoint ScreenToClient(TPoint P);
  /// The tip shown when the pointer rests on the control (with ShowHint).
  const String& GetHint() const { return FHint; }
  void SetHint(const String& Value);
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  /// The menu a right click on the control pops up (null: none).
  TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  /// Click fires between a left press and its release over the control, and
  /// for the user's choice in standard controls; DblClick fires for the
  /// second press of a double click, before its MouseDown (with ssDouble).
  TNotifyEvent OnClick, OnDblClick;
  TNotifyEvent OnMouseEnter, OnMouseLeave;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelUp, OnMouseWheelDown;

 protected:
  /// Fills the parameters the window is created with. The base: a visible
  /// child window with the bounds and class styles HREDRAW, VREDRAW and
  /// DBLCLKS.
  virtual void CreateParams(TCreateParams& Params);
  /// Creates the window from CreateParams (called for the first creation and
  /// for every re-creation); descendants that must learn of a new window
  /// call the inherited one first.
  virtual void CreateWnd();
  /// Space the non-client area takes on each side (Left, Top, Right,
  /// Bottom), from the window parameters: an edge for WS_EX_CLIENTEDGE plus
  /// a border for WS_BORDER. Descendants add scroll bars.
  virtual TRect GetNonClientInsets();
  /// Recomputes the client size; when it changed, resizes what depends on it
  /// and sends WM_SIZE. Call after anything that changes the insets.
  void UpdateClientSize();
  /// Takes the invalid rectangle for painting: returns it and leaves
  /// nothing pending.
  TRect TakeInvalidRect();
  /// Called when the client area got a new size, before WM_SIZE.
  virtual void ClientResized(Integer NewWidth, Integer NewHeight) {}
  /// WM_SIZE: fires OnResize.
  virtual void WMSize(TMessage& Message);
  /// CM_MOUSEENTER and CM_MOUSELEAVE: fire OnMouseEnter and OnMouseLeave.
  virtual void CMMouseEnter(TMessage& Message);
  virtual void CMMouseLeave(TMessage& Message);
  /// Runs the pending paint of the invalid rectangle (WM_PAINT); the base
  /// only forgets it.
  virtual void WMPaint(TMessage& Message);
  /// Draws what Qt shows of the control (the frame, and in descendants the
  /// client image) with Painter on the peer.
  virtual void PaintPeer(QPainter& Painter);

  /// Forgets a popup menu that goes away.
  void Notification(TComponent* AComponent, TOperation Operation) override;
  /// Stores the caption without calling TextChanged (for controls whose
  /// widget changed the text itself).
  void StoreCaption(const String& Value) { FCaption = Value; }
  /// Mouse handlers in client coordinates; each fires its event.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  virtual void MouseMove(TShiftState Shift, Integer X, Integer Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  virtual void Click();
  virtual void DblClick();
  /// Fires OnMouseWheel; unless it handled the turn, fires OnMouseWheelUp or
  /// OnMouseWheelDown once per whole notch collected. Returns whether a
  /// handler took it (the parent gets the message otherwise).
  virtual bool DoMouseWheel(TShiftState Shift, Integer WheelDelta, TPoint MousePos);
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);
  /// Called after Enabled or Caption changed (standard controls update
  /// their Qt widget).
  virtual void EnabledChanged() {}
  virtual void TextChanged() {}
  /// Where the peer sits in its parent widget and whether it is shown;
  /// forms place their own window.
  virtual void PlacePeer();
  virtual void SyncPeerVisibility();

 private:
  friend class TWinControl;
  friend class TControlPeer;
  friend void ProcessPendingPaints();
  friend class TInputRouter;
  /// Mouse, wheel, key and focus messages: true when Message was one.
  bool InputMessage(TMessage& Message);
  void ApplyHint();
  /// Gives up the mouse capture and the hover state before the control goes.
  void ReleaseInput();
  /// After the bounds or the parent changed in code: keeps the anchor
  /// distances and realigns the parent when the control is aligned.
  void PlacementChanged();
  void PeerDestroyed();
  void SetPendingPaint(bool Pending);
  void RunPendingPaint();

  TWinControl* FParent = nullptr;
  QWidget* FParentWindow = nullptr;
  Integer FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  Integer FClientWidth = -1, FClientHeight = -1;
  bool FVisible = true;
  TColor FColor = clWindow;
  TControlStyle FControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
  Integer FHandleGeneration = 0;
  TCreateParams FWindowParams;
  TRect FInvalid;
  bool FPaintPending = false;
  std::shared_ptr<TWindowState> FState;
  TControlPeer* FPeer = nullptr;
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  /// Distances to the parent's right and bottom client edges, kept for
  /// anchoring; valid when FAnchorsKnown.
  Integer FAnchorRight = 0, FAnchorBottom = 0;
  bool FAnchorsKnown = false;
  bool FEnabled = true;
  String FCaption;
  TCursor FCursor = crDefault;
  Integer FWheelAccumulator = 0;
  bool FClicked = false;
  String FHint;
  bool FShowHint = false;
  TPopupMenu* FPopupMenu = nullptr;
};

/// A control that may hold other controls, with a 3-D look flag.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner = nullptr);
  /// Frees the child controls still inside it (last first).
  ~TWinControl() override;

  Integer GetControlCount() const { return static_cast<Integer>(FControls.size()); }
  /// The child at Index (EListError outside 0..count-1).
  TControl* GetControl(Integer Index) const;
  /// Whether Control is this one or inside it at any depth.
  bool ContainsControl(const TControl* Control) const;

  /// The 3-D look flag (default true).
  virtual bool GetCtl3D() const { return FCtl3D; }
  /// Changes the flag; it stops following the parent. A framed control is
  /// re-created; children that follow this one take the new value.
  virtual void SetCtl3D(bool Value);
  /// Whether the flag follows the parent's (default true).
  bool GetParentCtl3D() const { return FParentCtl3D; }
  void SetParentCtl3D(bool Value);

  // ---- alignment (platform/align.cpp)

  /// Places the aligned children (top, bottom, left, right, client) and the
  /// anchored ones again; runs by itself on every client size change and
  /// whenever a child's place in the alignment changes.
  void Realign();
  /// Holds realignment back until the matching EnableAlign (nested).
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();

  // ---- focus and keys (platform/ctrlinput.cpp)

  /// Whether the control and its parents are visible and enabled.
  bool CanFocus() const;
  /// Whether the control has the keyboard focus.
  bool Focused() const;
  /// Gives the control the keyboard focus (EInvalidOperation when it
  /// cannot take it).
  virtual void SetFocus();
  bool GetTabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  /// Place in the Tab key's order among the siblings (0 first); setting it
  /// moves the others along.
  Integer GetTabOrder() const;
  void SetTabOrder(Integer Value);
  /// The Qt widget that takes the keyboard focus for the control.
  virtual QWidget* GetFocusWidget() const;

  /// Key events; a form that previews keys sees them first.
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  /// The control got (lost) the keyboard focus.
  TNotifyEvent OnEnter, OnExit;

 protected:
  /// Adds WS_CLIPCHILDREN for controls that accept children; a framed
  /// control gets WS_EX_CLIENTEDGE (3-D) or WS_BORDER.
  void CreateParams(TCreateParams& Params) override;
  /// Realigns the children, then fires OnResize.
  void WMSize(TMessage& Message) override;
  /// Fills the control with its colour, then draws the frame.
  void PaintPeer(QPainter& Painter) override;
  /// Narrows the client rectangle the children are aligned in (group
  /// boxes leave room for their caption, panels for their bevels).
  virtual void AdjustClientRect(TRect& Rect) {}
  /// Key handlers; each fires its event.
  virtual void KeyDown(Word& Key, TShiftState Shift);
  virtual void KeyUp(Word& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();
  /// Whether the top-level control sees the keys of its children first.
  virtual bool WantsKeyPreview() const { return false; }
  /// A key nobody consumed reaches the top-level control (Enter and Esc
  /// click a form's default and cancel buttons); true when it took it.
  virtual bool DialogKey(Word Key, TShiftState Shift) { return false; }

 private:
  friend class TControl;
  friend class TInputRouter;
  void TakeParentCtl3D();
  void AlignChildren();
  /// Brings FTabList up to date with the children (new ones at the end).
  void SyncTabList();
  std::vector<TControl*> FControls;
  bool FCtl3D = true;
  bool FParentCtl3D = true;
  Integer FAlignLevel = 0;
  bool FAligning = false;
  bool FTabStop = false;
  /// The windowed children in Tab key order.
  std::vector<TWinControl*> FTabList;
};

/// State of one of a window's own scroll bars.
struct TScrollBarState {
  Integer Min = 0, Max = 0;
  /// Page size (the thumb's share of Max - Min + 1); 0 for none.
  Integer Page = 0;
  Integer Pos = 0;
  bool Shown = false;
  bool Enabled = true;
};

class QScrollBar;

/// A windowed control that draws itself: a retained client image, a canvas
/// on it usable at any time, and Paint for the pending paints.
///
/// It may also show its own scroll bars in the non-client area, right and
/// bottom, each SM_CXVSCROLL (SM_CYHSCROLL) wide. Showing or hiding one
/// changes the client size before the call returns, with WM_SIZE sent at
/// once. The user's actions on a bar reach the control as WM_HSCROLL and
/// WM_VSCROLL; the bar's range, page and position change only through the
/// calls below.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner = nullptr);
  ~TCustomControl() override;

  /// The canvas on the client image (creates the window when needed). Its
  /// drawings show on the screen at the next Qt repaint; they do not make a
  /// paint pending.
  virtual TCanvas* GetCanvas();
  /// The retained client image: 24-bit rows of the client size.
  TBitmap* GetSurface() { return &FSurface; }
  /// The client image was written directly: Qt shows it at its next
  /// repaint.
  void SurfaceWritten();

  // ---- own scroll bars (Bar: SB_HORZ or SB_VERT; other values are ignored)

  /// Shows or hides the bar; the client size follows synchronously.
  void ShowScrollBar(Integer Bar, bool Show);
  /// Range Min..Max (Max below Min becomes Min).
  void SetScrollRange(Integer Bar, Integer Min, Integer Max, bool Redraw);
  /// Page size, limited to 0..Max - Min + 1.
  void SetScrollPage(Integer Bar, Integer Page, bool Redraw);
  /// Thumb position, limited to the range less the page.
  void SetScrollPos(Integer Bar, Integer Pos, bool Redraw);
  /// Enables or disables both arrows and the thumb.
  void EnableScrollBar(Integer Bar, bool Enable);
  /// The bar's state (a default state for an unknown bar).
  TScrollBarState GetScrollBarState(Integer Bar) const;
  /// Draws both bars flat from now on: plain thumb and arrow buttons with a
  /// one-pixel outline over a plain track, no raised edges. Geometry and
  /// behaviour do not change.
  void InitializeFlatSB();
  /// Back to the standard look.
  void UninitializeFlatSB();
  bool IsFlatSB() const { return FFlatBars; }
  /// Screen coordinates to client coordinates.
  TPoint ScreenToClient(const TPoint& Point);

 protected:
  /// The frame plus the shown scroll bars.
  TRect GetNonClientInsets() override;
  /// Draws the invalid part of the client area on the canvas (clipped to
  /// it). The base draws nothing.
  virtual void Paint() {}
  /// Erases the invalid rectangle with the control's colour (answering 1)
  /// unless a descendant handles WM_ERASEBKGND, then calls Paint.
  void WMPaint(TMessage& Message) override;
  void WndProc(TMessage& Message) override;
  void ClientResized(Integer NewWidth, Integer NewHeight) override;
  void PaintPeer(QPainter& Painter) override;

 private:
  // Places (and creates, on the current peer) the Qt bars that show the
  // emulated state and feed the user's actions back as messages.
  void SyncScrollBarWidgets();
  void ScrollBarAction(Integer Bar, int Action);
  TBitmap FSurface;
  std::unique_ptr<TCanvas> FCanvas;
  TScrollBarState FBars[2];
  QScrollBar* FBarWidgets[2] = {nullptr, nullptr};
  bool FSyncingBars = false;
  bool FFlatBars = false;
};

// ---------------------------------------------------------------------------
// Input state (platform/ctrlinput.cpp)
// ---------------------------------------------------------------------------

/// Whether a key or mouse button was down when the input now handled was
/// made: negative when down, 0 otherwise (VK_SHIFT, VK_CONTROL, VK_MENU,
/// VK_LBUTTON, VK_RBUTTON, VK_MBUTTON; tests may force any key).
SmallInt GetKeyState(Integer VirtKey);
/// The shift state of a key message: Alt from the key data, Shift and Ctrl
/// from GetKeyState.
TShiftState KeyDataToShiftState(LPARAM KeyData);
/// The pointer position in screen coordinates (tests may set it).
TPoint GetCursorPos();
/// The control that receives every mouse message (null: none).
TControl* GetCaptureControl();
/// Gives Control the mouse capture (null releases it); the control that
/// loses it gets WM_CANCELMODE.
void SetCaptureControl(TControl* Control);
/// The virtual-key code of a Qt key (0 for keys without one); Keypad picks
/// the number-pad codes.
Word KeyToVirtualKey(int QtKey, bool Keypad);

/// Sounds the system's default beep (a refused key or action).
void MessageBeep();
/// Number of beeps sounded so far (for tests).
Integer GetBeepCount();

/// Runs every pending paint on the main thread (all controls, in the order
/// their paints became pending). Qt's paint events do the same per widget.
void ProcessPendingPaints();

// ---------------------------------------------------------------------------
// Timer
// ---------------------------------------------------------------------------

/// Calls OnTimer every Interval milliseconds on the main thread while it is
/// enabled, the interval is above 0 and OnTimer is set. Create and use it on
/// the main thread.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner = nullptr);
  ~TTimer() override;

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  /// Milliseconds (default 1000; 0 stops the timer).
  Cardinal GetInterval() const { return FInterval; }
  void SetInterval(Cardinal Value);
  const TNotifyEvent& GetOnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  /// Whether the Qt timer behind it runs.
  bool GetActive() const;
  /// One tick: calls OnTimer (tests call it instead of waiting).
  virtual void Timer();

 private:
  void UpdateTimer();
  bool FEnabled = true;
  Cardinal FInterval = 1000;
  TNotifyEvent FOnTimer;
  QTimer* FTimer = nullptr;
};
