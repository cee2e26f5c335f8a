#include "platform/testhooks.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/controls.h"

namespace TestHooks {
namespace {

struct TManualTimer {
  TTimer* Timer;
  Cardinal Interval;
  UInt64 Due;
};

struct THookState {
  std::deque<TModalStep> Steps;
  bool Scripted = false;
  TMessageBoxSink MessageBox;
  TExceptionSink Exception;
  bool Manual = false;
  UInt64 Now = 0;
  std::vector<TManualTimer> Timers;
  std::map<Integer, bool> Keys;
  std::optional<TPoint> Pointer;
};

THookState& State() {
  static THookState state;
  return state;
}

}  // namespace

void PushModalStep(TModalStep Step) { State().Steps.push_back(std::move(Step)); }
bool ModalScripted() { return State().Scripted || !State().Steps.empty(); }
void SetModalScripted(bool Value) { State().Scripted = Value; }

TModalStep TakeModalStep() {
  auto& steps = State().Steps;
  if (steps.empty()) return nullptr;
  TModalStep step = std::move(steps.front());
  steps.pop_front();
  return step;
}

void SetMessageBoxSink(TMessageBoxSink Sink) { State().MessageBox = std::move(Sink); }
const TMessageBoxSink& MessageBoxSink() { return State().MessageBox; }
void SetExceptionSink(TExceptionSink Sink) { State().Exception = std::move(Sink); }
const TExceptionSink& ExceptionSink() { return State().Exception; }

void SetManualTimers(bool Value) {
  THookState& s = State();
  s.Manual = Value;
  s.Timers.clear();
}

bool ManualTimers() { return State().Manual; }

void TimerChanged(TTimer* Timer, Cardinal Interval) {
  THookState& s = State();
  auto& list = s.Timers;
  list.erase(std::remove_if(list.begin(), list.end(), [Timer](const TManualTimer& t) { return t.Timer == Timer; }),
             list.end());
  if (s.Manual && Interval > 0) list.push_back(TManualTimer{Timer, Interval, s.Now + Interval});
}

void AdvanceTimers(Cardinal Milliseconds) {
  THookState& s = State();
  const UInt64 end = s.Now + Milliseconds;
  for (;;) {
    // The earliest due timer first; a tick may start, stop or free timers.
    auto next = std::min_element(s.Timers.begin(), s.Timers.end(),
                                 [](const TManualTimer& a, const TManualTimer& b) { return a.Due < b.Due; });
    if (next == s.Timers.end() || next->Due > end) break;
    s.Now = next->Due;
    next->Due += next->Interval;
    next->Timer->Timer();
  }
  s.Now = end;
}

void SetKeyState(Integer VirtKey, std::optional<bool> Down) {
  if (Down)
    State().Keys[VirtKey] = *Down;
  else
    State().Keys.erase(VirtKey);
}

std::optional<bool> KeyStateOverride(Integer VirtKey) {
  auto& keys = State().Keys;
  auto it = keys.find(VirtKey);
  if (it == keys.end()) return std::nullopt;
  return it->second;
}

void SetPointerPos(std::optional<TPoint> Pos) { State().Pointer = Pos; }
std::optional<TPoint> PointerPosOverride() { return State().Pointer; }

void Reset() {
  THookState& s = State();
  s.Steps.clear();
  s.Scripted = false;
  s.MessageBox = nullptr;
  s.Exception = nullptr;
  s.Manual = false;
  s.Timers.clear();
  s.Keys.clear();
  s.Pointer.reset();
}

}  // namespace TestHooks
