#include "platform/threads.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Generous bound for waits that only fail when the code under test is broken.
constexpr Cardinal kLong = 10000;

/// A thread whose work is a lambda; exposes the protected helpers to it.
class TLambdaThread : public TThread {
 public:
  using Body = std::function<void(TLambdaThread&)>;
  TLambdaThread(bool CreateSuspended, Body body) : TThread(CreateSuspended), FBody(std::move(body)) {}
  ~TLambdaThread() override {
    // Execute uses FBody: stop before it is destroyed.
    if (!GetFreeOnTerminate() && GetHandle() != 0) {
      Terminate();
      WaitFor();
    }
  }
  using TThread::CheckSuspended;
  using TThread::Queue;
  using TThread::Synchronize;

 protected:
  void Execute() override { FBody(*this); }

 private:
  Body FBody;
};

/// Runs main-thread calls until ev is signalled or the bound passes.
bool PumpUntil(TEvent& ev, Cardinal bound = kLong) {
  const UInt64 end = GetTickCount64() + bound;
  while (ev.WaitFor(0) != wrSignaled) {
    if (GetTickCount64() > end) return false;
    CheckSynchronize(5);
  }
  return true;
}

TEST(ThreadTest, ExecuteSeesTerminateAndWaitForReturnsTheReturnValue) {
  TSimpleEvent running;
  TLambdaThread t(true, [&](TLambdaThread& self) {
    running.SetEvent();
    while (!self.Terminated()) Sleep(1);
    self.SetReturnValue(-2);
  });
  EXPECT_TRUE(t.GetSuspended());
  t.Start();
  ASSERT_EQ(running.WaitFor(kLong), wrSignaled);
  EXPECT_FALSE(t.GetFinished());
  t.Terminate();
  EXPECT_EQ(t.WaitFor(), 0xFFFFFFFEu);  // the Integer -2 as LongWord
  EXPECT_TRUE(t.GetFinished());
  EXPECT_FALSE(t.GetFatalException());
}

TEST(ThreadTest, StartingRules) {
  // Built with CreateSuspended = false through Create: starts by itself.
  TSimpleEvent ran;
  std::unique_ptr<TLambdaThread> a(
      TThread::Create<TLambdaThread>(false, [&](TLambdaThread&) { ran.SetEvent(); }));
  EXPECT_EQ(ran.WaitFor(kLong), wrSignaled);
  EXPECT_THROW(a->Start(), EThread);  // already started
  a->WaitFor();

  // Built suspended: nothing runs until Resume; waiting for it is an error.
  std::atomic<bool> ranB{false};
  std::unique_ptr<TLambdaThread> b(TThread::Create<TLambdaThread>(true, [&](TLambdaThread&) { ranB = true; }));
  EXPECT_THROW(b->WaitFor(), EThread);
  EXPECT_FALSE(ranB.load());
  b->Resume();
  b->WaitFor();
  EXPECT_TRUE(ranB.load());

  // A thread cannot wait for itself.
  bool raised = false;
  TLambdaThread c(true, [&](TLambdaThread& self) {
    try {
      self.WaitFor();
    } catch (const EThread&) {
      raised = true;
    }
  });
  c.Start();
  c.WaitFor();
  EXPECT_TRUE(raised);

  // Terminated before it starts: Execute is skipped.
  std::atomic<bool> ranD{false};
  TLambdaThread d(true, [&](TLambdaThread&) { ranD = true; });
  d.Terminate();
  d.Start();
  d.WaitFor();
  EXPECT_FALSE(ranD.load());
}

TEST(ThreadTest, ThreadIdsAreDistinctAndKnownBeforeStart) {
  EXPECT_EQ(GetCurrentThreadId(), MainThreadID);
  EXPECT_TRUE(IsMainThread());
  TThreadID inside = 0;
  TLambdaThread t(true, [&](TLambdaThread&) { inside = GetCurrentThreadId(); });
  const TThreadID before = t.GetThreadID();
  EXPECT_NE(before, 0u);
  EXPECT_NE(before, MainThreadID);
  t.Start();
  t.WaitFor();
  EXPECT_EQ(inside, before);
  EXPECT_NE(t.GetHandle(), 0u);

  TThreadID plain = 0;
  std::thread([&] { plain = GetCurrentThreadId(); }).join();
  EXPECT_NE(plain, 0u);
  EXPECT_NE(plain, MainThreadID);
  EXPECT_NE(plain, before);
}

TEST(ThreadTest, ExceptionInExecuteIsKeptNotFatal) {
  TLambdaThread t(true, [](TLambdaThread& self) {
    self.SetReturnValue(3);
    throw EReadError("boom");
  });
  t.Start();
  EXPECT_EQ(t.WaitFor(), 3u);
  std::exception_ptr e = t.GetFatalException();
  ASSERT_TRUE(e);
  try {
    std::rethrow_exception(e);
  } catch (const EReadError& ex) {
    EXPECT_EQ(ex.Message(), "boom");
  }
}

TEST(ThreadTest, SynchronizeRunsOnTheMainThreadWhileMainWaits) {
  std::vector<TThreadID> seen;  // touched only on the main thread
  bool errorCameBack = false;
  TLambdaThread t(true, [&](TLambdaThread& self) {
    for (int i = 0; i < 50; ++i) self.Synchronize([&] { seen.push_back(GetCurrentThreadId()); });
    try {
      TThread::Synchronize(&self, [] { throw EConvertError("bad"); });
    } catch (const EConvertError&) {
      errorCameBack = true;  // raised again in the calling thread
    }
  });
  t.Start();
  t.WaitFor();  // the main thread serves the calls while it waits
  ASSERT_EQ(seen.size(), 50u);
  for (TThreadID id : seen) EXPECT_EQ(id, MainThreadID);
  EXPECT_TRUE(errorCameBack);

  // On the main thread Synchronize and Queue call at once.
  int direct = 0;
  TThread::Synchronize(nullptr, [&] { ++direct; });
  TThread::Queue(nullptr, [&] { ++direct; });
  EXPECT_EQ(direct, 2);
}

TEST(ThreadTest, QueuedCallsRunInOrderOnTheMainThread) {
  enum Drain { kCheckSynchronize, kQtEventLoop };
  for (Drain drain : {kCheckSynchronize, kQtEventLoop}) {
    SCOPED_TRACE(drain == kCheckSynchronize ? "CheckSynchronize" : "Qt event loop");
    std::vector<int> order;
    std::vector<TThreadID> ids;
    TSimpleEvent queued;
    TLambdaThread t(true, [&](TLambdaThread& self) {
      for (int i = 0; i < 100; ++i) {
        if (i % 2)
          self.Queue([&, i] { order.push_back(i); ids.push_back(GetCurrentThreadId()); });
        else
          PostToMainThread([&, i] { order.push_back(i); ids.push_back(GetCurrentThreadId()); });
      }
      queued.SetEvent();
    });
    t.Start();
    ASSERT_EQ(queued.WaitFor(kLong), wrSignaled);
    EXPECT_TRUE(order.empty());  // nothing runs until the main thread drains
    if (drain == kCheckSynchronize)
      EXPECT_TRUE(CheckSynchronize());
    else
      QCoreApplication::processEvents();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
    for (TThreadID id : ids) EXPECT_EQ(id, MainThreadID);
    t.WaitFor();
  }
  EXPECT_FALSE(CheckSynchronize());  // nothing left over
}

TEST(ThreadTest, RunningQtEventLoopServesSynchronize) {
  // The GUI case: the main thread sits in its event loop, not in WaitFor or
  // CheckSynchronize; queued and synchronized calls must still reach it.
  QEventLoop loop;
  QTimer::singleShot(kLong, &loop, [&loop] { loop.exit(1); });  // only when broken
  std::vector<int> order;
  TLambdaThread t(true, [&](TLambdaThread& self) {
    self.Queue([&] { order.push_back(1); });
    self.Synchronize([&] { order.push_back(2); });
    PostToMainThread([&] { loop.exit(0); });
  });
  t.Start();
  EXPECT_EQ(loop.exec(), 0);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  t.WaitFor();
}

TEST(ThreadTest, PostToMainThreadDefersAndSurvivesExceptions) {
  std::vector<int> order;
  std::vector<String> errors;
  SetMainThreadExceptionHandler([&](std::exception_ptr e) {
    try {
      std::rethrow_exception(e);
    } catch (const Exception& ex) {
      errors.push_back(ex.Message());
    }
  });
  PostToMainThread([&] {
    order.push_back(1);
    // Posted from inside a drain: runs in a later drain, not this one.
    PostToMainThread([&] { order.push_back(4); });
  });
  PostToMainThread([] { throw EAbort("queued failure"); });
  PostToMainThread([&] { order.push_back(2); });
  EXPECT_TRUE(order.empty());  // posting never runs the call at once
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(errors, (std::vector<String>{"queued failure"}));
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 4}));
  SetMainThreadExceptionHandler(nullptr);

  // CheckSynchronize belongs to the main thread.
  bool raised = false;
  std::thread([&] {
    try {
      CheckSynchronize();
    } catch (const EThread&) {
      raised = true;
    }
  }).join();
  EXPECT_TRUE(raised);
}

TEST(ThreadTest, CheckSynchronizeWaitsForTheFirstCall) {
  std::atomic<bool> ran{false};
  std::thread poster([&] { PostToMainThread([&] { ran = true; }); });
  EXPECT_TRUE(CheckSynchronize(kLong));
  poster.join();
  EXPECT_TRUE(ran.load());
}

class TCountedThread : public TThread {
 public:
  static inline std::atomic<int> Destroyed{0};
  explicit TCountedThread(TEvent& gone) : TThread(true), FGone(gone) {}
  ~TCountedThread() override {
    ++Destroyed;
    FGone.SetEvent();
  }
  TThreadID TerminateThread = 0;
  bool FinishedInOnTerminate = false;

 protected:
  void Execute() override { SetReturnValue(7); }

 private:
  TEvent& FGone;
};

TEST(ThreadTest, FreeOnTerminateRunsOnTerminateOnMainThenDeletesOnce) {
  TCountedThread::Destroyed = 0;
  TSimpleEvent gone;
  TThreadID onTerminateThread = 0;
  bool finishedSeen = false;
  TObject* sender = nullptr;
  auto* t = new TCountedThread(gone);
  t->SetFreeOnTerminate(true);
  t->OnTerminate = [&](TObject* s) {
    onTerminateThread = GetCurrentThreadId();
    sender = s;
    finishedSeen = static_cast<TThread*>(s)->GetFinished();
    EXPECT_EQ(TCountedThread::Destroyed.load(), 0);  // not freed before its handler ran
  };
  TObject* const expected = t;
  t->Start();
  ASSERT_TRUE(PumpUntil(gone));  // OnTerminate needs the main thread
  EXPECT_EQ(onTerminateThread, MainThreadID);
  EXPECT_EQ(sender, expected);
  EXPECT_TRUE(finishedSeen);
  EXPECT_EQ(TCountedThread::Destroyed.load(), 1);

  // Without OnTerminate the thread frees itself without the main thread.
  TSimpleEvent gone2;
  auto* t2 = new TCountedThread(gone2);
  t2->SetFreeOnTerminate(true);
  EXPECT_THROW(t2->WaitFor(), EThread);  // not started
  t2->Start();
  ASSERT_EQ(gone2.WaitFor(kLong), wrSignaled);
  EXPECT_EQ(TCountedThread::Destroyed.load(), 2);
}

TEST(ThreadTest, OnTerminateRunsOnMainBeforeWaitForReturns) {
  TThreadID where = 0;
  TLambdaThread t(true, [](TLambdaThread&) {});
  t.OnTerminate = [&](TObject*) { where = GetCurrentThreadId(); };
  t.Start();
  t.WaitFor();
  EXPECT_EQ(where, MainThreadID);
}

TEST(ThreadTest, SelfSuspendResumeLosesNoWakeUp) {
  // A worker that suspends itself when it finds no work, fed by the main
  // thread with "add work, then Resume": the classic lost wake-up race.
  constexpr int kItems = 3000;
  std::mutex m;
  int pending = 0, done = 0;
  TSimpleEvent allDone;
  TLambdaThread worker(true, [&](TLambdaThread& self) {
    while (!self.Terminated()) {
      bool idle;
      {
        std::lock_guard<std::mutex> lk(m);
        if (pending > 0) {
          --pending;
          if (++done == kItems) allDone.SetEvent();
        }
        idle = pending == 0;
      }
      if (idle) self.Suspend();
    }
  });
  worker.Start();
  for (int i = 0; i < kItems; ++i) {
    {
      std::lock_guard<std::mutex> lk(m);
      ++pending;
    }
    worker.Resume();
    if (i % 7 == 0) std::this_thread::yield();
  }
  EXPECT_EQ(allDone.WaitFor(kLong), wrSignaled);
  worker.Terminate();  // also wakes it from its last Suspend
  worker.WaitFor();
  EXPECT_EQ(done, kItems);
}

TEST(ThreadTest, ResumeBeforeSelfSuspendIsNotLost) {
  // The Resume lands while the thread is still busy; its Suspend right after
  // must return at once instead of sleeping forever.
  TSimpleEvent busy, gate, passed;
  TLambdaThread t(true, [&](TLambdaThread& self) {
    busy.SetEvent();
    gate.WaitFor();
    self.Suspend();
    passed.SetEvent();
    self.Suspend();  // the remembered Resume was used up: this one blocks
  });
  t.Start();
  ASSERT_EQ(busy.WaitFor(kLong), wrSignaled);
  t.Resume();
  gate.SetEvent();
  EXPECT_EQ(passed.WaitFor(kLong), wrSignaled);
  t.Terminate();  // wakes the second Suspend
  t.WaitFor();
}

TEST(ThreadTest, SuspendFromOutsideStopsAtCheckSuspendedOrSleep) {
  for (bool viaSleep : {false, true}) {
    SCOPED_TRACE(viaSleep ? "Sleep" : "CheckSuspended");
    TSimpleEvent atGate, gate, passed;
    TLambdaThread t(true, [&](TLambdaThread& self) {
      atGate.SetEvent();
      gate.WaitFor();
      if (viaSleep)
        Sleep(0);
      else
        self.CheckSuspended();  // the requested suspension happens here
      passed.SetEvent();
    });
    t.Start();
    ASSERT_EQ(atGate.WaitFor(kLong), wrSignaled);
    t.Suspend();
    EXPECT_TRUE(t.GetSuspended());
    gate.SetEvent();
    EXPECT_EQ(passed.WaitFor(30), wrTimeout);  // held at the suspension point
    t.Resume();
    EXPECT_EQ(passed.WaitFor(kLong), wrSignaled);
    t.WaitFor();
  }

  // A Resume before the thread reaches its check cancels the request.
  TSimpleEvent atGate2, gate2;
  TLambdaThread u(true, [&](TLambdaThread& self) {
    atGate2.SetEvent();
    gate2.WaitFor();
    self.CheckSuspended();
  });
  u.Start();
  ASSERT_EQ(atGate2.WaitFor(kLong), wrSignaled);
  u.Suspend();
  u.Resume();
  EXPECT_FALSE(u.GetSuspended());
  gate2.SetEvent();
  u.WaitFor();
}

TEST(ThreadTest, DeletingARunningThreadEndsItWithoutDeadlock) {
  // The thread keeps calling Synchronize; deleting it on the main thread
  // must serve those calls while it waits for the thread to end.
  std::atomic<int> calls{0};
  TSimpleEvent running;
  {
    TLambdaThread t(true, [&](TLambdaThread& self) {
      while (!self.Terminated()) {
        self.Synchronize([&] { ++calls; });
        running.SetEvent();
      }
    });
    t.Start();
    ASSERT_TRUE(PumpUntil(running));
  }
  EXPECT_GE(calls.load(), 1);

  // A thread suspended by itself is woken by the deletion.
  TSimpleEvent suspending;
  {
    TLambdaThread s(true, [&](TLambdaThread& self) {
      suspending.SetEvent();
      self.Suspend();
    });
    s.Start();
    ASSERT_EQ(suspending.WaitFor(kLong), wrSignaled);
  }
}

TEST(ThreadTest, QueuedCallsOfADeletedThreadAreDropped) {
  int ran = 0;
  auto* t = new TLambdaThread(true, [&](TLambdaThread& self) { self.Queue([&] { ++ran; }); });
  t->Start();
  // Waited for and deleted off the main thread, so nothing drains the
  // queue in between.
  std::thread([t] {
    t->WaitFor();
    delete t;
  }).join();
  CheckSynchronize();
  EXPECT_EQ(ran, 0);
}

TEST(TickCountTest, MonotonicAndAdvancesBySleep) {
  const UInt64 a64 = GetTickCount64();
  const DWORD a = GetTickCount();
  EXPECT_LE(static_cast<DWORD>(a - static_cast<DWORD>(a64)), 1000u);  // same clock, cut to 32 bits
  Sleep(5);
  EXPECT_GE(GetTickCount64() - a64, 5u);
  EXPECT_GE(static_cast<DWORD>(GetTickCount() - a), 5u);
  EXPECT_TRUE(SwitchToThread());
  Sleep(0);
}

}  // namespace
