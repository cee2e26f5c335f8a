// Inside the platform layer: turns Qt's mouse, wheel, key and focus events
// into the controls' window messages. Not for use outside platform/.
#pragma once

#include "platform/controls.h"

class QEvent;
class QWidget;

/// Routes Qt input events of a control's widgets to the control.
class TInputRouter {
 public:
  /// Handles Event that arrived at Source (the control's peer or a Qt widget
  /// inside it). Returns true when the event is consumed; false lets Qt
  /// handle it too (a standard control's own widget types, clicks and
  /// scrolls unless a handler consumed the key or wheel turn).
  static bool Route(TControl* Control, QWidget* Source, QEvent* Event);
  /// Whether Control's own Qt widget handles input itself (standard controls).
  static bool HasNativeWidget(const TControl* Control);
  /// Runs the key-down chain on Control (preview by the top-level control,
  /// the control's handler, then the dialog keys). Returns the key left.
  static Word KeyDownChain(TWinControl* Control, Word Key, TShiftState Shift);
  static char KeyPressChain(TWinControl* Control, char Key);
  static Word KeyUpChain(TWinControl* Control, Word Key, TShiftState Shift);
};

/// Message sent to the top-level control when a control inside it got the
/// focus: LParam is the TWinControl*.
constexpr Cardinal CM_FOCUSCHANGED = 0xB000 + 7;
