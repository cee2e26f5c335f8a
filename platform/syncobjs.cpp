// Waitable events over a mutex and a condition variable. Waits use the
// monotonic clock, so a change of the wall clock neither shortens nor
// stretches a timeout.
#include "platform/syncobjs.h"

#include <chrono>

void TEvent::SetEvent() {
  // Notified under the mutex: a released waiter may destroy the event as
  // soon as it returns, and it cannot return before the mutex is free.
  std::lock_guard<std::mutex> lk(FMutex);
  FSignaled = true;
  if (FManualReset)
    FCond.notify_all();
  else
    FCond.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lk(FMutex);
  FSignaled = false;
}

TWaitResult TEvent::WaitFor(Cardinal Timeout) {
  std::unique_lock<std::mutex> lk(FMutex);
  auto signalled = [this] { return FSignaled; };
  if (Timeout == INFINITE) {
    FCond.wait(lk, signalled);
  } else {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Timeout);
    if (!FCond.wait_until(lk, deadline, signalled)) return wrTimeout;
  }
  if (!FManualReset) FSignaled = false;
  return wrSignaled;
}
