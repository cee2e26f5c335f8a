// Threads over std::thread, and the queue of calls for the main thread.
//
// The queue is one FIFO list under one mutex. Calls come from Synchronize
// (the caller waits for a done flag), Queue and PostToMainThread (the caller
// goes on). Whenever a call is added, the Qt application object (if there is
// one) is sent one queued invocation that drains the list, so the GUI event
// loop runs the calls; CheckSynchronize and WaitFor on the main thread drain
// the same list for code that runs no event loop.
#include "platform/threads.h"

#include <sched.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <system_error>
#include <vector>

namespace {

std::atomic<TThreadID> gNextThreadID{1};
thread_local TThreadID tCurrentID = 0;
thread_local TThread* tCurrentThread = nullptr;

TThreadID NewThreadID() { return gNextThreadID.fetch_add(1, std::memory_order_relaxed); }

/// A Synchronize call in flight: the caller waits on Cond (with the queue's mutex)
/// until Done.
struct TSyncRequest {
  std::exception_ptr Error;
  bool Done = false;
  std::condition_variable Cond;
};

struct TQueuedCall {
  TThreadMethod Method;                  // Queue and PostToMainThread
  const TThreadMethod* Sync = nullptr;   // Synchronize: the caller's method
  TSyncRequest* Request = nullptr;       // Synchronize: where to report
  TThread* Owner = nullptr;              // thread the call was queued for
};

/// The list of calls for the main thread and its bookkeeping. Built on first
/// use and never destroyed, so that threads still running while the process
/// exits never meet a destroyed mutex.
struct TMainQueue {
  std::mutex Mutex;
  // Notified when a call is queued, a queued call has run, or a thread ends.
  std::condition_variable Cond;
  std::deque<TQueuedCall> Calls;
  // Owners of the queued calls running now (nested when a call drains too).
  std::vector<TThread*> RunningOwners;
  // The application object whose event loop drains the list; kept here (not
  // read from QCoreApplication::instance) so that threads never race with
  // the object being built or destroyed.
  QCoreApplication* PostTarget = nullptr;
  bool DrainPosted = false;
  std::function<void(std::exception_ptr)> ExceptionHandler;
};

TMainQueue& MainQueue() {
  static TMainQueue* const queue = new TMainQueue;
  return *queue;
}

void DefaultExceptionHandler(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "Exception in a call queued for the main thread: %s\n", ex.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception in a call queued for the main thread\n");
  }
}

void ReportException(std::exception_ptr e) {
  TMainQueue& q = MainQueue();
  if (q.ExceptionHandler)
    q.ExceptionHandler(e);
  else
    DefaultExceptionHandler(e);
}

/// Runs the calls queued now, in order, one at a time (so a nested drain
/// takes the following ones in the same order). Main thread only.
size_t RunQueuedCalls() {
  TMainQueue& q = MainQueue();
  size_t count;
  {
    std::lock_guard<std::mutex> lk(q.Mutex);
    // Any drain makes a new posted drain necessary for later calls; an
    // outstanding one finds the list empty and does nothing.
    q.DrainPosted = false;
    count = q.Calls.size();
  }
  size_t ran = 0;
  while (ran < count) {
    TQueuedCall call;
    {
      std::lock_guard<std::mutex> lk(q.Mutex);
      if (q.Calls.empty()) break;
      call = std::move(q.Calls.front());
      q.Calls.pop_front();
      q.RunningOwners.push_back(call.Owner);
    }
    ++ran;
    std::exception_ptr error;
    try {
      if (call.Sync)
        (*call.Sync)();
      else
        call.Method();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lk(q.Mutex);
      q.RunningOwners.erase(std::find(q.RunningOwners.begin(), q.RunningOwners.end(), call.Owner));
      if (call.Request) {
        call.Request->Error = error;
        call.Request->Done = true;
        // Notified under the mutex: the request lives on the waiter's stack
        // and stays alive until the waiter can take the mutex again.
        call.Request->Cond.notify_one();
      }
      q.Cond.notify_all();
    }
    if (error && !call.Request) ReportException(error);
  }
  return ran;
}

void DrainFromEventLoop() {
  if (IsMainThread()) RunQueuedCalls();
}

/// Adds a call and wakes whoever drains the list.
void Enqueue(TQueuedCall call) {
  TMainQueue& q = MainQueue();
  std::lock_guard<std::mutex> lk(q.Mutex);
  q.Calls.push_back(std::move(call));
  q.Cond.notify_all();
  if (!q.DrainPosted && q.PostTarget) {
    q.DrainPosted = true;
    // Posted under the queue mutex, which ForgetApplication also takes: the
    // application object cannot be destroyed meanwhile.
    QMetaObject::invokeMethod(q.PostTarget, &DrainFromEventLoop, Qt::QueuedConnection);
  }
}

void ForgetApplication() {
  TMainQueue& q = MainQueue();
  std::lock_guard<std::mutex> lk(q.Mutex);
  q.PostTarget = nullptr;
  q.DrainPosted = false;
}

/// Called on the main thread when the application object is built (or at
/// once, when it exists already as this library loads): from then on queued
/// calls also wake its event loop, until it is destroyed.
void AttachApplication() {
  TMainQueue& q = MainQueue();
  {
    std::lock_guard<std::mutex> lk(q.Mutex);
    q.PostTarget = QCoreApplication::instance();
    q.DrainPosted = false;
  }
  qAddPostRoutine(&ForgetApplication);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(AttachApplication)

const TThreadID MainThreadID = GetCurrentThreadId();

TThreadID GetCurrentThreadId() {
  if (tCurrentID == 0) tCurrentID = NewThreadID();
  return tCurrentID;
}

bool IsMainThread() { return GetCurrentThreadId() == MainThreadID; }

UInt64 GetTickCount64() {
  using namespace std::chrono;
  return static_cast<UInt64>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

void Sleep(Cardinal Milliseconds) {
  if (tCurrentThread) tCurrentThread->CheckSuspended();
  if (Milliseconds == 0)
    sched_yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

bool SwitchToThread() {
  sched_yield();
  return true;
}

void PostToMainThread(TThreadMethod Proc) {
  if (!Proc) return;
  Enqueue(TQueuedCall{std::move(Proc), nullptr, nullptr, nullptr});
}

bool CheckSynchronize(Cardinal Timeout) {
  TMainQueue& q = MainQueue();
  if (!IsMainThread())
    throw EThread("CheckSynchronize called from a thread that is not the main thread");
  if (Timeout > 0) {
    std::unique_lock<std::mutex> lk(q.Mutex);
    auto queued = [&q] { return !q.Calls.empty(); };
    if (Timeout == INFINITE)
      q.Cond.wait(lk, queued);
    else
      q.Cond.wait_for(lk, std::chrono::milliseconds(Timeout), queued);
  }
  return RunQueuedCalls() > 0;
}

void SetMainThreadExceptionHandler(std::function<void(std::exception_ptr)> Handler) {
  TMainQueue& q = MainQueue();
  std::lock_guard<std::mutex> lk(q.Mutex);
  q.ExceptionHandler = std::move(Handler);
}

// ---------------------------------------------------------------- TThread

TThread::TThread(bool CreateSuspended) : FThreadID(NewThreadID()), FCreateSuspended(CreateSuspended) {}

TThread::~TThread() {
  bool self;
  {
    std::lock_guard<std::mutex> lk(FLock);
    self = FThread.joinable() && FThread.get_id() == std::this_thread::get_id();
    // A thread freeing itself cannot join itself.
    if (self) FThread.detach();
  }
  if (!self && FThread.joinable()) {
    Terminate();
    WaitDone();
    FThread.join();
  }
  RemoveQueuedEvents(this);
}

void TThread::AfterConstruction() {
  {
    std::lock_guard<std::mutex> lk(FLock);
    if (FCreateSuspended || FStarted) return;
  }
  Start();
}

void TThread::Start() {
  std::lock_guard<std::mutex> lk(FLock);
  if (FStarted) throw EThread("Cannot call Start on a running or suspended thread");
  // The lock is held while FThread is assigned: a thread that ends at once
  // and frees itself reads FThread under the same lock.
  try {
    FThread = std::thread([this] { Run(); });
  } catch (const std::system_error& e) {
    throw EThread(String("Thread creation error: ") + e.what());
  }
  FStarted = true;
}

void TThread::Run() {
  tCurrentID = FThreadID;
  tCurrentThread = this;
  if (!GetTerminated()) {
    try {
      Execute();
    } catch (...) {
      std::lock_guard<std::mutex> lk(FLock);
      FFatalException = std::current_exception();
    }
  }
  const bool freeThread = GetFreeOnTerminate();
  FFinished.store(true, std::memory_order_release);
  try {
    DoTerminate();
  } catch (...) {
    std::lock_guard<std::mutex> lk(FLock);
    if (!FFatalException) FFatalException = std::current_exception();
  }
  tCurrentThread = nullptr;
  if (freeThread) {
    RemoveQueuedEvents(this);
    delete this;
    return;
  }
  {
    std::lock_guard<std::mutex> lk(FLock);
    FDone.store(true, std::memory_order_release);
    FCond.notify_all();
  }
  // Wakes a main thread waiting in WaitFor (it waits on the queue's
  // condition, so that it can also run queued calls).
  TMainQueue& q = MainQueue();
  std::lock_guard<std::mutex> lk(q.Mutex);
  q.Cond.notify_all();
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Resume() {
  std::unique_lock<std::mutex> lk(FLock);
  if (!FStarted) {
    lk.unlock();
    Start();
    return;
  }
  if (FSuspendedNow) {
    FSuspendedNow = false;
    FCond.notify_all();
  } else if (FSuspendRequested) {
    FSuspendRequested = false;
  } else if (!FDone.load(std::memory_order_relaxed)) {
    FWakePermit = true;
  }
}

void TThread::Suspend() {
  std::unique_lock<std::mutex> lk(FLock);
  if (!FStarted || FDone.load(std::memory_order_relaxed)) return;
  if (tCurrentThread == this) {
    SuspendSelf(lk);
  } else {
    // A later Suspend overrides an earlier Resume that found nothing to do.
    FWakePermit = false;
    FSuspendRequested = true;
  }
}

void TThread::SuspendSelf(std::unique_lock<std::mutex>& lk) {
  FSuspendRequested = false;
  if (FWakePermit) {
    FWakePermit = false;
    return;
  }
  if (GetTerminated()) return;
  FSuspendedNow = true;
  FCond.wait(lk, [this] { return !FSuspendedNow; });
}

void TThread::CheckSuspended() {
  std::unique_lock<std::mutex> lk(FLock);
  if (!FSuspendRequested) return;
  FSuspendRequested = false;
  if (GetTerminated()) return;
  FSuspendedNow = true;
  FCond.wait(lk, [this] { return !FSuspendedNow; });
}

bool TThread::GetSuspended() const {
  std::lock_guard<std::mutex> lk(FLock);
  return !FStarted || FSuspendedNow || FSuspendRequested;
}

void TThread::Terminate() {
  FTerminated.store(true, std::memory_order_release);
  std::lock_guard<std::mutex> lk(FLock);
  FSuspendedNow = false;
  FSuspendRequested = false;
  FCond.notify_all();
}

LongWord TThread::WaitFor() {
  if (GetCurrentThreadId() == FThreadID) throw EThread("A thread cannot wait for itself");
  {
    std::lock_guard<std::mutex> lk(FLock);
    if (!FStarted) throw EThread("Cannot wait for a thread that was never started");
  }
  if (GetFreeOnTerminate()) throw EThread("Cannot wait for a thread that frees itself on termination");
  WaitDone();
  return static_cast<LongWord>(GetReturnValue());
}

void TThread::WaitDone() {
  if (IsMainThread()) {
    TMainQueue& q = MainQueue();
    while (!FDone.load(std::memory_order_acquire)) {
      RunQueuedCalls();
      std::unique_lock<std::mutex> lk(q.Mutex);
      q.Cond.wait(lk, [this, &q] { return !q.Calls.empty() || FDone.load(std::memory_order_acquire); });
    }
  } else {
    std::unique_lock<std::mutex> lk(FLock);
    FCond.wait(lk, [this] { return FDone.load(std::memory_order_acquire); });
  }
}

std::exception_ptr TThread::GetFatalException() const {
  std::lock_guard<std::mutex> lk(FLock);
  return FFatalException;
}

std::uintptr_t TThread::GetHandle() const {
  std::lock_guard<std::mutex> lk(FLock);
  if (!FThread.joinable()) return 0;
  return static_cast<std::uintptr_t>(const_cast<std::thread&>(FThread).native_handle());
}

void TThread::Synchronize(TThread* AThread, const TThreadMethod& Method) {
  if (!Method) return;
  if (IsMainThread()) {
    Method();
    return;
  }
  TMainQueue& q = MainQueue();
  TSyncRequest request;
  Enqueue(TQueuedCall{TThreadMethod(), &Method, &request, AThread});
  std::unique_lock<std::mutex> lk(q.Mutex);
  request.Cond.wait(lk, [&request] { return request.Done; });
  lk.unlock();
  if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::Queue(TThread* AThread, TThreadMethod Method) {
  if (!Method) return;
  if (IsMainThread()) {
    Method();
    return;
  }
  Enqueue(TQueuedCall{std::move(Method), nullptr, nullptr, AThread});
}

void TThread::RemoveQueuedEvents(TThread* AThread) {
  TMainQueue& q = MainQueue();
  if (!AThread) return;
  std::unique_lock<std::mutex> lk(q.Mutex);
  // Synchronize calls stay: their callers wait for them.
  std::erase_if(q.Calls, [AThread](const TQueuedCall& c) { return c.Owner == AThread && !c.Request; });
  // Off the main thread, also wait until a call of this thread that runs now
  // has returned, so it cannot touch the object after it is gone.
  if (!IsMainThread()) {
    q.Cond.wait(lk, [&q, AThread] {
      return std::find(q.RunningOwners.begin(), q.RunningOwners.end(), AThread) == q.RunningOwners.end();
    });
  }
}

void TThread::Yield() { sched_yield(); }
