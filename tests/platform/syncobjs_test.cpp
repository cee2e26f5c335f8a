#include "platform/syncobjs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr Cardinal kLongWait = 10000;  // only reached when the code is broken

TEST(CriticalSectionTest, ReentersOnOwningThreadAndExcludesOthers) {
  TCriticalSection cs;
  cs.Enter();
  ASSERT_TRUE(cs.TryEnter());  // same thread: re-entry, not deadlock
  cs.Acquire();

  auto tryFromOther = [&cs] {
    bool got = false;
    std::thread([&] {
      got = cs.TryEnter();
      if (got) cs.Leave();
    }).join();
    return got;
  };
  // Held three levels deep: another thread is kept out until every level is left.
  EXPECT_FALSE(tryFromOther());
  cs.Release();
  cs.Leave();
  EXPECT_FALSE(tryFromOther());
  cs.Leave();
  EXPECT_TRUE(tryFromOther());
}

TEST(CriticalSectionTest, GuardSerialisesReadModifyWrite) {
  TCriticalSection cs;
  long counter = 0;  // deliberately not atomic: the section must protect it
  constexpr int kThreads = 4, kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        TCriticalSectionGuard outer(cs);
        TCriticalSectionGuard inner(cs);  // nested guard on the same section
        counter = counter + 1;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, long{kThreads} * kRounds);
  EXPECT_TRUE(cs.TryEnter());  // every guard left its level
  cs.Leave();
}

TEST(CriticalSectionTest, GuardLeavesWhenAnExceptionPasses) {
  TCriticalSection cs;
  try {
    TCriticalSectionGuard g(cs);
    throw Exception("x");
  } catch (const Exception&) {
  }
  bool got = false;
  std::thread([&] {
    got = cs.TryEnter();
    if (got) cs.Leave();
  }).join();
  EXPECT_TRUE(got);
}

struct EventCase {
  const char* name;
  bool manualReset;
  bool initial;
  TWaitResult first;   // WaitFor(0) on the fresh event
  TWaitResult afterSet;
  TWaitResult second;  // WaitFor(0) again right after the released wait
};

TEST(EventTest, SignalAndResetStates) {
  const EventCase cases[] = {
      {"manual, unsignalled", true, false, wrTimeout, wrSignaled, wrSignaled},
      {"manual, signalled", true, true, wrSignaled, wrSignaled, wrSignaled},
      {"auto, unsignalled", false, false, wrTimeout, wrSignaled, wrTimeout},
      {"auto, signalled", false, true, wrSignaled, wrSignaled, wrTimeout},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TEvent e(c.manualReset, c.initial);
    EXPECT_EQ(e.WaitFor(0), c.first);
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), c.afterSet);
    EXPECT_EQ(e.WaitFor(0), c.second);
    e.SetEvent();
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(0), wrTimeout);
  }
  TSimpleEvent simple;  // manual reset, starts unsignalled
  EXPECT_EQ(simple.WaitFor(0), wrTimeout);
  simple.SetEvent();
  EXPECT_EQ(simple.WaitFor(0), wrSignaled);
  EXPECT_EQ(simple.WaitFor(0), wrSignaled);
}

TEST(EventTest, TimeoutWaitsAtLeastTheGivenTime) {
  TSimpleEvent e;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(e.WaitFor(15), wrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
}

TEST(EventTest, ManualEventReleasesEveryWaiter) {
  TSimpleEvent go;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i)
    waiters.emplace_back([&] {
      if (go.WaitFor(INFINITE) == wrSignaled) ++released;
    });
  go.SetEvent();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 4);
}

TEST(EventTest, AutoEventReleasesOneWaiterPerSignal) {
  TEvent gate(false, false);
  TEvent passed(false, false);
  std::atomic<int> through{0};
  constexpr int kWaiters = 3;
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i)
    waiters.emplace_back([&] {
      ASSERT_EQ(gate.WaitFor(INFINITE), wrSignaled);
      ++through;
      passed.SetEvent();
    });
  for (int i = 1; i <= kWaiters; ++i) {
    gate.SetEvent();
    ASSERT_EQ(passed.WaitFor(10000), wrSignaled);
    EXPECT_EQ(through.load(), i);  // one signal, one waiter through
  }
  for (auto& t : waiters) t.join();
  EXPECT_EQ(gate.WaitFor(0), wrTimeout);  // each signal was consumed
}

TEST(EventTest, PingPongLosesNoWakeUp) {
  // Two auto-reset events bounce control between two threads; a lost
  // signal would leave both waiting (and the bounded wait would fail).
  TEvent ping(false, false), pong(false, false);
  constexpr int kRounds = 2000;
  std::thread partner([&] {
    for (int i = 0; i < kRounds; ++i) {
      if (ping.WaitFor(10000) != wrSignaled) return;
      pong.SetEvent();
    }
  });
  int rounds = 0;
  for (; rounds < kRounds; ++rounds) {
    ping.SetEvent();
    if (pong.WaitFor(10000) != wrSignaled) break;
  }
  partner.join();
  EXPECT_EQ(rounds, kRounds);
}

TEST(EventTest, WaiterMayDestroyTheEventOnceReleased) {
  // The usual hand-off: a thread signals an event that the waiter frees as
  // soon as its wait returns. SetEvent must be done with the event by then.
  for (int i = 0; i < 200; ++i) {
    auto e = std::make_unique<TEvent>(i % 2 == 0, false);
    TEvent* raw = e.get();
    std::thread signaller([raw] { raw->SetEvent(); });
    ASSERT_EQ(e->WaitFor(kLongWait), wrSignaled);
    e.reset();
    signaller.join();
  }
}

TEST(InterlockedTest, ReturnValuesAndConcurrentCounting) {
  std::atomic<Integer> v{5};
  EXPECT_EQ(InterlockedIncrement(v), 6);
  EXPECT_EQ(InterlockedDecrement(v), 5);
  EXPECT_EQ(InterlockedExchange(v, 9), 5);
  EXPECT_EQ(InterlockedCompareExchange(v, 1, 7), 9);  // no match: unchanged
  EXPECT_EQ(v.load(), 9);
  EXPECT_EQ(InterlockedCompareExchange(v, 1, 9), 9);  // match: stored
  EXPECT_EQ(v.load(), 1);

  std::atomic<Integer> counter{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) InterlockedIncrement(counter);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter.load(), 40000);
}

}  // namespace
