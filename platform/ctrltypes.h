// Types the controls share: input messages and their flags, mouse buttons,
// shift states, virtual-key codes, alignment and anchors, cursor numbers,
// and the event shapes of mouse and keys.
#pragma once

#include <functional>

#include "platform/classes.h"
#include "platform/system.h"

// ---------------------------------------------------------------------------
// Input messages
// ---------------------------------------------------------------------------

constexpr Cardinal WM_ACTIVATE = 0x0006;
constexpr Cardinal WM_SETFOCUS = 0x0007;
constexpr Cardinal WM_KILLFOCUS = 0x0008;
constexpr Cardinal WM_CLOSE = 0x0010;
constexpr Cardinal WM_CANCELMODE = 0x001F;
constexpr Cardinal WM_KEYDOWN = 0x0100;
constexpr Cardinal WM_KEYUP = 0x0101;
constexpr Cardinal WM_CHAR = 0x0102;
constexpr Cardinal WM_SYSKEYDOWN = 0x0104;
constexpr Cardinal WM_SYSKEYUP = 0x0105;
constexpr Cardinal WM_MOUSEMOVE = 0x0200;
constexpr Cardinal WM_LBUTTONDOWN = 0x0201;
constexpr Cardinal WM_LBUTTONUP = 0x0202;
constexpr Cardinal WM_LBUTTONDBLCLK = 0x0203;
constexpr Cardinal WM_RBUTTONDOWN = 0x0204;
constexpr Cardinal WM_RBUTTONUP = 0x0205;
constexpr Cardinal WM_RBUTTONDBLCLK = 0x0206;
constexpr Cardinal WM_MBUTTONDOWN = 0x0207;
constexpr Cardinal WM_MBUTTONUP = 0x0208;
constexpr Cardinal WM_MBUTTONDBLCLK = 0x0209;
constexpr Cardinal WM_MOUSEWHEEL = 0x020A;
constexpr Cardinal WM_CUT = 0x0300;
constexpr Cardinal WM_COPY = 0x0301;
constexpr Cardinal WM_PASTE = 0x0302;
/// A typed character outside ASCII: WParam its Unicode code point (the
/// key-press handlers see ASCII only).
constexpr Cardinal WM_UNICHAR = 0x0109;

/// Asks a focused control whether it takes a navigation key (Tab, arrows,
/// Page Up/Down, Home, End) itself: WParam the key code, LParam the key
/// data; a non-zero result keeps the key from moving the focus.
constexpr Cardinal CM_WANTSPECIALKEY = 0xB000 + 62;

/// Key flags in the first parameter of mouse messages.
constexpr Word MK_LBUTTON = 0x0001;
constexpr Word MK_RBUTTON = 0x0002;
constexpr Word MK_SHIFT = 0x0004;
constexpr Word MK_CONTROL = 0x0008;
constexpr Word MK_MBUTTON = 0x0010;
/// Key data bit of a key message: Alt was down.
constexpr Integer KF_ALTDOWN_DATA = 0x20000000;

/// One notch of a mouse wheel.
constexpr Integer WHEEL_DELTA = 120;

// ---------------------------------------------------------------------------
// Virtual-key codes
// ---------------------------------------------------------------------------

constexpr Word VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04;
constexpr Word VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D;
constexpr Word VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14;
constexpr Word VK_ESCAPE = 0x1B, VK_SPACE = 0x20;
constexpr Word VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
constexpr Word VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
constexpr Word VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their own codes.
constexpr Word VK_NUMPAD0 = 0x60;  // up to VK_NUMPAD9 = 0x69
constexpr Word VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E,
               VK_DIVIDE = 0x6F;
constexpr Word VK_F1 = 0x70;  // up to VK_F24 = 0x87
constexpr Word VK_NUMLOCK = 0x90, VK_SCROLL = 0x91;
constexpr Word VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE,
               VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE;

// ---------------------------------------------------------------------------
// Mouse, keys and their events
// ---------------------------------------------------------------------------

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, Integer X, Integer Y)>;
/// WheelDelta is signed, WHEEL_DELTA per notch away from the user;
/// MousePos is in screen coordinates.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, Integer WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
/// Setting Key to 0 consumes the key.
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
/// Setting Key to '\0' consumes the character.
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// ---------------------------------------------------------------------------
// Alignment and anchors
// ---------------------------------------------------------------------------

/// Where a control sits in its parent's client area. The parent places its
/// aligned children in this order: top, bottom, left, right, then client.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
/// Edges of the parent's client area whose distance a control keeps when
/// the parent is resized (default left and top: the control stays put).
using TAnchors = TSet<TAnchorKind>;

// ---------------------------------------------------------------------------
// Cursors
// ---------------------------------------------------------------------------

/// A screen cursor number: the standard ones below are 0 or negative, a
/// program registers its own under positive numbers (see platform/cursors.h).
using TCursor = Integer;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12,
                  crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18,
                  crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22;
