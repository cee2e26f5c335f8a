// Synchronisation objects: the re-entrant critical section, waitable events
// and interlocked counters, over the C++ standard library.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <type_traits>

#include "platform/system.h"

/// Timeout value meaning "wait without a limit".
inline constexpr Cardinal INFINITE = 0xFFFFFFFFu;

/// A lock that the thread holding it may take again (each Enter needs its own
/// Leave), as desktop critical sections are re-entrant. It also meets the
/// standard Lockable requirements, so std::lock_guard and std::unique_lock
/// work on it. Leaving a section the calling thread does not hold is a
/// programming error (undefined, as on the desktop).
class TCriticalSection : public TObject {
 public:
  TCriticalSection() = default;

  /// Takes the lock, waiting while another thread holds it.
  void Enter() { FMutex.lock(); }
  /// Gives up one level of the lock.
  void Leave() { FMutex.unlock(); }
  /// Same as Enter.
  void Acquire() { Enter(); }
  /// Same as Leave.
  void Release() { Leave(); }
  /// Takes the lock if that needs no waiting; returns whether it was taken.
  bool TryEnter() { return FMutex.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex FMutex;
};

/// Holds a critical section for the lifetime of the guard:
///   { TCriticalSectionGuard g(cs); ...work... }   // left on every exit path
class TCriticalSectionGuard {
 public:
  explicit TCriticalSectionGuard(TCriticalSection& cs) : FCS(cs) { FCS.Enter(); }
  ~TCriticalSectionGuard() { FCS.Leave(); }
  TCriticalSectionGuard(const TCriticalSectionGuard&) = delete;
  TCriticalSectionGuard& operator=(const TCriticalSectionGuard&) = delete;

 private:
  TCriticalSection& FCS;
};

/// Outcome of a wait. wrAbandoned and wrError exist for callers that test
/// them; this platform's in-process events are never abandoned and their
/// waits do not fail, so they return only wrSignaled or wrTimeout.
enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

/// A waitable event. A manual-reset event stays signalled until ResetEvent
/// and releases every waiter; an auto-reset event releases exactly one
/// waiter per SetEvent and resets itself (a SetEvent with nobody waiting is
/// kept for the next waiter, never lost).
class TEvent : public TObject {
 public:
  /// Creates the event. ManualReset: see the class comment; InitialState:
  /// whether it starts signalled.
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : FManualReset(ManualReset), FSignaled(InitialState) {}

  /// Signals the event.
  void SetEvent();
  /// Clears the signal.
  void ResetEvent();
  /// Waits until the event is signalled or Timeout milliseconds have passed
  /// (INFINITE: no limit; 0: only tests). Returns wrSignaled or wrTimeout.
  /// An auto-reset event is reset by the wait that it releases.
  TWaitResult WaitFor(Cardinal Timeout = INFINITE);

 private:
  const bool FManualReset;
  bool FSignaled;
  std::mutex FMutex;
  std::condition_variable FCond;
};

/// A manual-reset event that starts unsignalled.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};

/// Interlocked counters over std::atomic: each returns the new value (or,
/// for the exchanges, the previous one), as the desktop routines do.
template <typename T>
  requires std::is_integral_v<T>
inline T InterlockedIncrement(std::atomic<T>& Target) {
  return ++Target;
}
template <typename T>
  requires std::is_integral_v<T>
inline T InterlockedDecrement(std::atomic<T>& Target) {
  return --Target;
}
/// Stores Value; returns the previous value.
template <typename T>
  requires std::is_integral_v<T>
inline T InterlockedExchange(std::atomic<T>& Target, T Value) {
  return Target.exchange(Value);
}
/// Stores Exchange only when the value equals Comparand; returns the value
/// found (equal to Comparand when the store happened).
template <typename T>
  requires std::is_integral_v<T>
inline T InterlockedCompareExchange(std::atomic<T>& Target, T Exchange, T Comparand) {
  T expected = Comparand;
  Target.compare_exchange_strong(expected, Exchange);
  return expected;
}
