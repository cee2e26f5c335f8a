// Costs of the locking and main-thread hand-off primitives.
#include <benchmark/benchmark.h>

#include <thread>

#include "platform/syncobjs.h"
#include "platform/threads.h"

namespace {

// Uncontended enter and leave: the price every guarded list access pays.
void BM_CriticalSectionEnterLeave(benchmark::State& state) {
  TCriticalSection cs;
  for (auto _ : state) {
    cs.Enter();
    cs.Leave();
  }
}
BENCHMARK(BM_CriticalSectionEnterLeave);

// One re-entry on top of a held section.
void BM_CriticalSectionReenter(benchmark::State& state) {
  TCriticalSection cs;
  cs.Enter();
  for (auto _ : state) {
    cs.Enter();
    cs.Leave();
  }
  cs.Leave();
}
BENCHMARK(BM_CriticalSectionReenter);

// Signal and wait on an auto-reset event within one thread.
void BM_EventSetWait(benchmark::State& state) {
  TEvent e(false, false);
  for (auto _ : state) {
    e.SetEvent();
    benchmark::DoNotOptimize(e.WaitFor(INFINITE));
  }
}
BENCHMARK(BM_EventSetWait);

// Post a call and drain it on the main thread, without threads involved.
void BM_PostAndDrain(benchmark::State& state) {
  int n = 0;
  for (auto _ : state) {
    PostToMainThread([&n] { ++n; });
    CheckSynchronize();
  }
  benchmark::DoNotOptimize(n);
}
BENCHMARK(BM_PostAndDrain);

// Round trip of Synchronize: a worker hands calls to the main thread and
// waits for each, while the main thread serves them in CheckSynchronize.
void BM_SynchronizeRoundTrip(benchmark::State& state) {
  const int64_t calls = state.range(0);
  for (auto _ : state) {
    std::atomic<bool> done{false};
    int n = 0;
    std::thread worker([&] {
      for (int64_t i = 0; i < calls; ++i) TThread::Synchronize(nullptr, [&n] { ++n; });
      done = true;
      PostToMainThread([] {});  // wakes the last CheckSynchronize
    });
    while (!done.load()) CheckSynchronize(INFINITE);
    worker.join();
    CheckSynchronize();
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * calls);
}
BENCHMARK(BM_SynchronizeRoundTrip)->Arg(1000)->UseRealTime();

}  // namespace
