// Hooks that let tests drive the window layer without a person or a clock:
// a scripted runner for modal forms, sinks for message boxes and for
// exceptions shown to the user, a manual clock for timers, and forced key
// states and pointer position. Every hook is off until a test sets it; a
// test resets them all with TestHooks::Reset. Main thread only.
#pragma once

#include <deque>
#include <functional>
#include <optional>

#include "platform/system.h"

class TCustomForm;
class TTimer;

namespace TestHooks {

/// One step of a modal script: runs while the form is showing modally
/// (after OnShow and OnActivate) and may click, type or set ModalResult.
using TModalStep = std::function<void(TCustomForm* Form)>;

/// Queues a step for the next ShowModal. While steps are queued or
/// scripting is on, ShowModal runs the next step instead of waiting for the
/// user; a form whose step left ModalResult at 0 closes as cancelled.
void PushModalStep(TModalStep Step);
/// Whether ShowModal is scripted (steps queued or SetModalScripted(true)).
bool ModalScripted();
/// Keeps ShowModal scripted with no step left (each such form cancels).
void SetModalScripted(bool Value);
/// Takes the next step (null when none is left).
TModalStep TakeModalStep();

/// Receives message boxes instead of the screen: Text, Caption, the box's
/// flags; returns the button the "user" chose.
using TMessageBoxSink = std::function<Integer(const String& Text, const String& Caption, Integer Flags)>;
void SetMessageBoxSink(TMessageBoxSink Sink);
const TMessageBoxSink& MessageBoxSink();

/// Receives exceptions that the program shows to the user.
using TExceptionSink = std::function<void(const String& Message)>;
void SetExceptionSink(TExceptionSink Sink);
const TExceptionSink& ExceptionSink();

/// Manual clock: while on, timers do not run by themselves; AdvanceTimers
/// moves the clock on and fires every timer that falls due, in due order
/// (a timer due several times fires several times).
void SetManualTimers(bool Value);
bool ManualTimers();
void AdvanceTimers(Cardinal Milliseconds);
/// Called by TTimer when it starts (Interval > 0) or stops (0).
void TimerChanged(TTimer* Timer, Cardinal Interval);

/// Forces GetKeyState for one key (nullopt: the real state again).
void SetKeyState(Integer VirtKey, std::optional<bool> Down);
std::optional<bool> KeyStateOverride(Integer VirtKey);
/// Forces GetCursorPos (nullopt: the real pointer again).
void SetPointerPos(std::optional<TPoint> Pos);
std::optional<TPoint> PointerPosOverride();

/// Turns every hook off.
void Reset();

}  // namespace TestHooks
