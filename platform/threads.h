// Threads: the TThread class, the main-thread call queue (Synchronize, Queue,
// PostToMainThread, CheckSynchronize), thread ids, tick counts and sleeping.
//
// The main thread is the thread that loaded this library (the program's
// first thread); the Qt application object must live on it. Calls queued for
// the main thread run there in the order they were queued, either when the
// Qt event loop runs (a queued call wakes it) or when the main thread calls
// CheckSynchronize or waits in TThread::WaitFor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/syncobjs.h"
#include "platform/system.h"

/// Identifier of a thread, unique within the process and never 0.
using TThreadID = DWORD;

/// Id of the main thread.
extern const TThreadID MainThreadID;

/// Returns the calling thread's id.
TThreadID GetCurrentThreadId();

/// Returns whether the caller runs on the main thread.
bool IsMainThread();

/// Milliseconds from a fixed point in the past on the monotonic clock, cut
/// to 32 bits, so it wraps after about 49.7 days: compare tick counts by
/// unsigned difference (GetTickCount() - start), never by order.
DWORD GetTickCount();

/// The same clock in 64 bits: never wraps.
UInt64 GetTickCount64();

/// Blocks the calling thread for Milliseconds (0: gives up the rest of its
/// time slice). In a TThread it is also a point where a Suspend requested by
/// another thread takes effect (see TThread::Suspend).
void Sleep(Cardinal Milliseconds);

/// Lets another ready thread run; returns true (the scheduler does not tell
/// whether one ran).
bool SwitchToThread();

/// A call handed to another thread.
using TThreadMethod = std::function<void()>;

/// Queues Proc to run on the main thread and returns at once, also when
/// called on the main thread (the call then runs later, never inside this
/// one). The stand-in for messages a window posts to itself: calls run in
/// the order they were posted, together with the calls of TThread::Queue.
/// Proc must check itself that what it touches still exists.
void PostToMainThread(TThreadMethod Proc);

/// Runs the calls queued for the main thread. Waits up to Timeout
/// milliseconds for the first one when none is queued (0: does not wait;
/// INFINITE: waits for one). Runs the calls that were queued when it
/// started, in order (a call that queues another does not keep it looping).
/// Returns whether any ran. Raises EThread when called off the main thread.
bool CheckSynchronize(Cardinal Timeout = 0);

/// Receives the exceptions that escape queued calls (Queue and
/// PostToMainThread) wherever they run: in the Qt event loop, in
/// CheckSynchronize or in WaitFor; the calls after it still run. (An
/// exception from a Synchronize call goes back to its caller instead.) The
/// default handler writes the message to standard error; an empty handler
/// restores it. Set it on the main thread.
void SetMainThreadExceptionHandler(std::function<void(std::exception_ptr)> Handler);

/// Scheduling priority. Accepted and reported back; this platform runs every
/// thread at the normal priority.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

/// A thread of execution. Subclasses put their work in Execute.
///
/// Starting: a thread created suspended (CreateSuspended = true) starts with
/// Start (or Resume). A thread created with CreateSuspended = false starts
/// in AfterConstruction, once the object is fully built; TThread::Create
/// builds and starts in one call:
///   auto* t = TThread::Create<TMyThread>(args...);
/// (Starting in the TThread constructor itself would run Execute while the
/// subclass is still being constructed.)
///
/// Suspending cannot lose a wake-up:
/// - Suspend called by the thread itself blocks it until Resume or
///   Terminate. A Resume that arrived while the thread was not suspended is
///   remembered (once), and the next self-Suspend returns at once, so
///   "check for work, then Suspend" races with "add work, then Resume"
///   safely.
/// - Suspend called by another thread is a request: the thread stops at its
///   next CheckSuspended or Sleep call, never in the middle of other work
///   (so it cannot be stopped while holding a lock). A Resume before then
///   cancels the request.
/// - Terminate wakes a suspended thread, so that it can see Terminated.
///
/// Ending: after Execute returns (or raises: the exception is kept as
/// FatalException, never ends the process), the thread is Finished, the
/// OnTerminate event runs on the main thread (through Synchronize), and a
/// FreeOnTerminate thread then deletes itself. Do not touch a
/// FreeOnTerminate thread once it may have ended, and do not WaitFor it.
///
/// Deleting a thread that is still running terminates it, wakes it and
/// waits for it (on the main thread running queued calls meanwhile). That
/// happens in this base destructor, after the subclass's members are gone:
/// a subclass whose Execute uses its own members must Terminate and WaitFor
/// in its own destructor. A thread never started is deleted without running
/// Execute or OnTerminate.
class TThread : public TObject {
 public:
  /// Builds the thread; see the class comment for CreateSuspended.
  explicit TThread(bool CreateSuspended);
  ~TThread() override;

  /// Builds a T with the given arguments, then starts it unless it was
  /// created suspended. Raises EThread when the system cannot create the
  /// thread (the object is then freed).
  template <typename T, typename... Args>
  static T* Create(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);
    try {
      thread->AfterConstruction();
    } catch (...) {
      delete thread;
      throw;
    }
    return thread;
  }

  /// Starts a thread built with CreateSuspended = false; does nothing for
  /// one built suspended or already started.
  void AfterConstruction();

  /// Starts the thread. Raises EThread when it was started already or the
  /// system cannot create it.
  void Start();
  /// Resumes a suspended thread (see the class comment), or starts one that
  /// was never started.
  void Resume();
  /// Suspends the thread (see the class comment).
  void Suspend();
  /// Whether the thread is not started, suspended, or asked to suspend.
  bool GetSuspended() const;

  /// Asks the thread to end: sets Terminated, which Execute should test,
  /// and wakes it when suspended.
  void Terminate();
  /// Whether Terminate was called.
  bool GetTerminated() const { return FTerminated.load(std::memory_order_acquire); }
  /// Same as GetTerminated (the name Execute loops use).
  bool Terminated() const { return GetTerminated(); }

  /// Waits until the thread has ended (after OnTerminate ran) and returns
  /// its ReturnValue. On the main thread it keeps running the calls queued
  /// for the main thread, so a thread that calls Synchronize meanwhile
  /// cannot deadlock it. Raises EThread when called by the thread itself,
  /// for a thread never started, or for a FreeOnTerminate thread.
  LongWord WaitFor();

  /// Runs Method on the main thread and waits until it is done; on the main
  /// thread it just calls Method. An exception raised by Method is raised
  /// again in the caller. AThread may be null (any thread may call this).
  static void Synchronize(TThread* AThread, const TThreadMethod& Method);
  /// Queues Method to run on the main thread and returns at once; on the
  /// main thread it just calls Method. Calls queued for AThread (non-null)
  /// are dropped when that thread object is deleted.
  static void Queue(TThread* AThread, TThreadMethod Method);
  /// Drops the calls queued for AThread that have not run yet.
  static void RemoveQueuedEvents(TThread* AThread);
  /// Lets another ready thread run.
  static void Yield();

  /// Whether Execute has ended (OnTerminate may still be running).
  bool GetFinished() const { return FFinished.load(std::memory_order_acquire); }
  /// Whether the thread deletes itself once it has ended.
  bool GetFreeOnTerminate() const { return FFreeOnTerminate.load(std::memory_order_acquire); }
  void SetFreeOnTerminate(bool Value) { FFreeOnTerminate.store(Value, std::memory_order_release); }
  /// The value WaitFor returns.
  Integer GetReturnValue() const { return FReturnValue.load(std::memory_order_acquire); }
  void SetReturnValue(Integer Value) { FReturnValue.store(Value, std::memory_order_release); }
  /// The exception that left Execute (or OnTerminate), or null.
  std::exception_ptr GetFatalException() const;
  /// The thread's id; fixed when the object is built, so it is known before
  /// the thread starts.
  TThreadID GetThreadID() const { return FThreadID; }
  /// The system handle of the running thread (0 before it starts).
  std::uintptr_t GetHandle() const;
  TThreadPriority GetPriority() const { return FPriority.load(std::memory_order_relaxed); }
  void SetPriority(TThreadPriority Value) { FPriority.store(Value, std::memory_order_relaxed); }

  /// Called on the main thread after Execute, with this thread as sender.
  /// Set it before the thread starts.
  TNotifyEvent OnTerminate;

 protected:
  /// The thread's work. Runs on the new thread; test Terminated regularly.
  virtual void Execute() = 0;
  /// Calls OnTerminate on the main thread when it is set.
  virtual void DoTerminate();

  /// Synchronize and Queue for this thread's own calls.
  void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
  void Queue(TThreadMethod Method) { Queue(this, std::move(Method)); }

  /// Stops here while another thread has asked this one to suspend; call it
  /// only from Execute.
  void CheckSuspended();

 private:
  friend void Sleep(Cardinal);
  void Run();
  void SuspendSelf(std::unique_lock<std::mutex>& lk);
  void WaitDone();

  const TThreadID FThreadID;
  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<bool> FFreeOnTerminate{false};
  std::atomic<Integer> FReturnValue{0};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  std::exception_ptr FFatalException;

  mutable std::mutex FLock;  // guards the fields below and FFatalException
  std::condition_variable FCond;
  bool FCreateSuspended;
  bool FStarted = false;
  std::atomic<bool> FDone{false};  // Run has finished with the object
  bool FSuspendedNow = false;      // blocked in a suspend
  bool FSuspendRequested = false;  // another thread asked it to suspend
  bool FWakePermit = false;        // a Resume found nothing to resume
};
