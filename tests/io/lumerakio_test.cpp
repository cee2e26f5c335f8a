// The I/O component: lifetime, attachment to outside bitmaps, the finish
// order, and the worker threads (start, abort, wait, exceptions).
#include "io/lumerakio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkiothread.h"
#include "platform/graphics.h"
#include "common/stub_view.h"

namespace {

// A latch the tests open to let a worker go on.
struct Gate {
  std::atomic<bool> open{false};
  void WaitOpen() const {
    while (!open.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

// Waits (bounded) until Pred holds; returns whether it did.
template <typename P>
bool Eventually(P Pred) {
  for (int i = 0; i < 5000; ++i) {
    if (Pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return Pred();
}

// Starts a worker running Body on io.
void StartWorker(TLumerakIO& io, std::function<void()> Body) {
  new TLKIOThread(&io, TLKIOMethodFile([Body](const String&) { Body(); }), "file");
}

}  // namespace

TEST(LumerakIO, OwnedByAComponentAndFreedWithIt) {
  TLKBitmap outside(7, 3, lk24RGB);
  auto* owner = new TComponent(nullptr);
  auto* io = new TLumerakIO(owner);
  EXPECT_EQ(owner->GetComponentCount(), 1);
  ASSERT_NE(io->GetLKBitmap(), nullptr);
  EXPECT_TRUE(io->GetOwnsBitmap());
  EXPECT_EQ(io->GetIOParams()->OwnerIO, io);
  EXPECT_FALSE(io->GetAborted());
  EXPECT_EQ(io->GetThreadsCount(), 0);

  io->SetAttachedLKBitmap(&outside);
  EXPECT_EQ(io->GetLKBitmap(), &outside);
  EXPECT_EQ(io->GetAttachedLKBitmap(), &outside);
  EXPECT_FALSE(io->GetOwnsBitmap());
  Integer w = 0, h = 0;
  ASSERT_TRUE(io->GetParamsBitmapSize(w, h));
  EXPECT_EQ(w, 7);
  EXPECT_EQ(h, 3);

  delete owner;  // frees io; the outside bitmap must survive
  EXPECT_EQ(outside.GetWidth(), 7);
  EXPECT_EQ(outside.GetPixelFormat(), lk24RGB);
}

TEST(LumerakIO, DetachingReturnsToAnOwnEmptyBitmap) {
  TLKBitmap outside(4, 4, lk24RGB);
  TLumerakIO io;
  io.SetDefaultDitherMethod(lkOrdered);
  io.SetAttachedLKBitmap(&outside);
  io.SetAttachedLKBitmap(nullptr);
  ASSERT_NE(io.GetLKBitmap(), nullptr);
  EXPECT_NE(io.GetLKBitmap(), &outside);
  EXPECT_TRUE(io.GetOwnsBitmap());
  EXPECT_EQ(io.GetAttachedLKBitmap(), nullptr);
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 0);
  EXPECT_EQ(io.GetLKBitmap()->GetDitherMethod(), lkOrdered);

  // SetLKBitmap(nullptr) leaves no working bitmap: operations see it.
  io.SetLKBitmap(nullptr);
  EXPECT_FALSE(io.MakeConsistentBitmap({}));
  Integer w = 0, h = 0;
  EXPECT_FALSE(io.GetParamsBitmapSize(w, h));
}

TEST(LumerakIO, ClassLibraryBitmapFollowsOutsideChanges) {
  TBitmap vcl(10, 5, pf24bit);
  TLumerakIO io;
  io.SetAttachedBitmap(&vcl);
  EXPECT_EQ(io.GetAttachedBitmap(), &vcl);
  EXPECT_EQ(io.GetBitmap(), &vcl);
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 10);

  vcl.SetSize(20, 8);
  ASSERT_TRUE(io.MakeConsistentBitmap({}));
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 20);
  EXPECT_EQ(io.GetLKBitmap()->GetHeight(), 8);
  EXPECT_TRUE(io.MakeConsistentBitmap({lk24RGB}));
  EXPECT_FALSE(io.MakeConsistentBitmap({lk1g, lk8p}));

  vcl.SetModified(false);
  io.Update();
  EXPECT_TRUE(vcl.GetModified());

  io.SetAttachedBitmap(nullptr);
  EXPECT_EQ(io.GetAttachedBitmap(), nullptr);
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 0);
}

TEST(LumerakIO, AssignParamsTakesOnlyComponentsAndRecords) {
  TLumerakIO io, other;
  TIOParamsVals record;
  other.GetIOParams()->FILENAME = "from-component";
  record.FILENAME = "from-record";
  TObject stranger;

  io.AssignParams(&stranger);
  io.AssignParams(nullptr);
  EXPECT_EQ(io.GetIOParams()->FILENAME, "");
  io.AssignParams(&other);
  EXPECT_EQ(io.GetIOParams()->FILENAME, "from-component");
  io.AssignParams(&record);
  EXPECT_EQ(io.GetIOParams()->FILENAME, "from-record");
  EXPECT_EQ(io.GetIOParams()->OwnerIO, &io);
}

TEST(LumerakIO, FinishReportsProgress100ThenFinish) {
  TLumerakIO io;
  std::vector<String> log;
  io.DoFinishWork();  // no handlers: nothing to see, nothing fails

  io.OnProgress = [&](TObject* Sender, Integer per) {
    EXPECT_EQ(Sender, &io);
    log.push_back("progress " + std::to_string(per));
  };
  io.DoFinishWork();
  EXPECT_EQ(log, (std::vector<String>{"progress 100"}));

  log.clear();
  io.OnFinishWork = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &io);
    log.push_back("finish");
  };
  io.DoFinishWork();
  EXPECT_EQ(log, (std::vector<String>{"progress 100", "finish"}));
}

namespace {
// A descendant that takes over the progress hook.
class TCountingIO : public TLumerakIO {
 public:
  std::vector<Integer> Seen;
  void DoIntProgress(TObject*, Integer per) override { Seen.push_back(per); }
};
}  // namespace

TEST(LumerakIO, ProgressHookReachesAnOverride) {
  TCountingIO io;
  bool called = false;
  io.OnProgress = [&](TObject*, Integer) { called = true; };
  io.GetProgressHook()(&io, 40);
  io.DoFinishWork();
  EXPECT_EQ(io.Seen, (std::vector<Integer>{40, 100}));
  EXPECT_FALSE(called);
}

TEST(LumerakIOWorkers, GateOpensOnlyForABorrowedBitmapInAsyncMode) {
  TLKBitmap outside(2, 2, lk24RGB);
  TLumerakIO io;
  io.SetAsyncEnabled(true);
  EXPECT_FALSE(io.GetAsyncGate()) << "own bitmap never goes to a worker";
  io.SetAttachedLKBitmap(&outside);
  EXPECT_TRUE(io.GetAsyncGate());
  io.SetAsyncEnabled(false);
  EXPECT_FALSE(io.GetAsyncGate());
  io.SetAsyncEnabled(true);

  // On the component's own worker the gate is shut, so the call runs there.
  std::atomic<int> insideSeen{-1}, gateSeen{-1};
  StartWorker(io, [&] {
    insideSeen = io.IsInsideAsyncThreads() ? 1 : 0;
    gateSeen = io.GetAsyncGate() ? 1 : 0;
  });
  io.WaitThreads(false);
  EXPECT_EQ(insideSeen.load(), 1);
  EXPECT_EQ(gateSeen.load(), 0);
  EXPECT_FALSE(io.IsInsideAsyncThreads());
}

TEST(LumerakIOWorkers, EveryKindCallsItsMethodWithItsArguments) {
  TLumerakIO io;
  std::mutex m;
  std::vector<String> calls;
  auto note = [&](String s) {
    std::lock_guard<std::mutex> lk(m);
    calls.push_back(std::move(s));
  };
  auto* stream = reinterpret_cast<TStream*>(0x10);
  new TLKIOThread(&io, TLKIOMethodFile([&](const String& f) { note("file " + f); }), "a");
  new TLKIOThread(&io, TLKIOMethodStream([&](TStream* s) { note(s == stream ? "stream" : "bad"); }), stream);
  new TLKIOThread(&io, TLKIOMethodFileRetInt([&](const String& f) { note("fileint " + f); return 3; }), "b");
  new TLKIOThread(&io, TLKIOMethodRetBool([&] { note("bool"); return true; }));
  new TLKIOThread(&io, TLKIOMethodStreamRetInt([&](TStream*) { note("streamint"); return 1; }), stream);
  new TLKIOThread(&io, TLKIOMethodFileFormat([&](const String& f, Integer t) { note(f + std::to_string(t)); }),
                  "c", 7);
  new TLKIOThread(&io, TLKIOMethodStreamFormat([&](TStream*, Integer t) { note("sf" + std::to_string(t)); }),
                  stream, 9);
  new TLKIOThread(&io, TLKIOMethodIndex([&](Integer i) { note("index " + std::to_string(i)); }), 4);
  new TLKIOThread(&io,
                  TLKIOMethodImportMetaFile([&](const String& f, Integer w, Integer h, bool a) {
                    note(f + std::to_string(w) + "x" + std::to_string(h) + (a ? "a" : ""));
                  }),
                  "m", 5, 6, true);
  new TLKIOThread(&io, TLKIOMethodURL([&](const String& u) { note("url " + u); }), "http://x/", 0.0);
  io.WaitThreads(false);
  EXPECT_EQ(io.GetAsyncRunning(), 0);
  std::sort(calls.begin(), calls.end());
  EXPECT_EQ(calls, (std::vector<String>{"bool", "c7", "file a", "fileint b", "index 4", "m5x6a", "sf9",
                                        "stream", "streamint", "url http://x/"}));
  EXPECT_FALSE(io.GetAborted());
}

TEST(LumerakIOWorkers, WaitThreadsWithAbortStopsAWorkerThatPolls) {
  TLumerakIO io;
  Gate started;
  std::atomic<bool> sawAbort{false};
  StartWorker(io, [&] {
    started.open = true;
    while (!io.GetAborted()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    sawAbort = true;
  });
  started.WaitOpen();
  EXPECT_EQ(io.GetAsyncRunning(), 1);
  io.WaitThreads(true);  // would never return if the flag were not set
  EXPECT_TRUE(sawAbort.load());
  EXPECT_EQ(io.GetThreadsCount(), 0);
}

// A worker that starts its work (clearing the flag, as every load does)
// only after WaitThreads(true) was called must still see the request to
// stop, instead of loading everything and being reported aborted afterwards.
TEST(LumerakIOWorkers, AStopRequestSurvivesAWorkerThatStartsLate) {
  TLumerakIO io;
  Gate go;
  std::atomic<bool> sawStop{false};
  StartWorker(io, [&] {
    go.WaitOpen();
    io.SetAborted(false);
    sawStop = io.GetAborted();
  });
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    go.open = true;
  });
  io.WaitThreads(true);
  opener.join();
  EXPECT_TRUE(sawStop.load());
  io.SetAborted(false);  // once the wait is over the flag clears again
  EXPECT_FALSE(io.GetAborted());
}

TEST(LumerakIOWorkers, WaitThreadsReturnsWhenTheLastWorkerEnds) {
  TLumerakIO io;
  Gate release;
  std::atomic<int> finished{0};
  for (int i = 0; i < 3; ++i) StartWorker(io, [&] {
      release.WaitOpen();
      ++finished;
    });
  EXPECT_EQ(io.GetAsyncRunning(), 3);
  std::atomic<bool> waited{false};
  std::thread waiter([&] {
    io.WaitThreads(false);
    waited = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(waited.load()) << "returned while workers still ran";
  release.open = true;
  waiter.join();
  EXPECT_EQ(finished.load(), 3);
  EXPECT_FALSE(io.GetAborted()) << "waiting without abort leaves the flag alone";
}

TEST(LumerakIOWorkers, DestructorWaitsForRunningWorkers) {
  auto io = std::make_unique<TLumerakIO>();
  Gate started;
  std::atomic<bool> done{false};
  StartWorker(*io, [&, p = io.get()] {
    started.open = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    p->GetIOParams()->FILENAME = "written late";  // the component must still exist
    done = true;
  });
  started.WaitOpen();
  io.reset();
  EXPECT_TRUE(done.load());
}

TEST(LumerakIOWorkers, ExceptionInAWorkerSetsTheAbortFlag) {
  TLumerakIO io;
  StartWorker(io, [] { throw std::runtime_error("codec failed"); });
  io.WaitThreads(false);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(io.GetAsyncRunning(), 0);
}

TEST(LumerakIOWorkers, AWorkerWaitingForTheOthersDoesNotWaitForItself) {
  TLumerakIO io;
  Gate release;
  std::atomic<bool> returned{false};
  StartWorker(io, [&] { release.WaitOpen(); });
  StartWorker(io, [&] {
    io.WaitThreads(false);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(returned.load());
  release.open = true;
  EXPECT_TRUE(Eventually([&] { return returned.load(); }));
  io.WaitThreads(false);
}

namespace {
// A view holding either a TLKBitmap or a class-library bitmap; it counts the
// calls the component makes.
class TIOTestView : public TStubView {
 public:
  TLKBitmap* Lk = nullptr;
  TBitmap* Vcl = nullptr;
  int Updates = 0, Changes = 0;
  TBitmap* GetFBitmap() override { return Vcl; }
  TLKBitmap* GetLKBitmap() override { return Lk; }
  void Update() override { ++Updates; }
  void ImageChange() override { ++Changes; }
};
}  // namespace

TEST(LumerakIOView, AttachUsesTheViewBitmapAndFollowsItsChanges) {
  TLKBitmap first(3, 3, lk24RGB), second(6, 2, lk24RGB);
  TIOTestView view;
  view.Lk = &first;
  TLumerakIO io;
  io.SetAttachedLumerak(&view);
  EXPECT_EQ(io.GetAttachedLumerak(), &view);
  EXPECT_EQ(io.GetLKBitmap(), &first);
  EXPECT_FALSE(io.GetOwnsBitmap());
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 1);

  view.Lk = &second;
  view.SetDPI(150, 300);
  view.CallBitmapChangeEvents();
  EXPECT_EQ(io.GetLKBitmap(), &second);
  EXPECT_EQ(io.GetIOParams()->DPIX, 150);
  EXPECT_EQ(io.GetIOParams()->DPIY, 300);

  io.Update();
  EXPECT_EQ(view.Updates, 1);
  EXPECT_EQ(view.Changes, 1);

  // Background: read from the view; written only when allowed.
  view.SetBackGround(0x123456);
  io.SetReBackground(0x654321);
  EXPECT_EQ(io.GetReBackground(), 0x123456);
  io.SetChangeViewBackground(true);
  io.SetReBackground(0x654321);
  EXPECT_EQ(view.GetBackground(), 0x654321);

  // Null outside bitmap keeps the view; a real one replaces it.
  io.SetAttachedLKBitmap(nullptr);
  EXPECT_EQ(io.GetAttachedLumerak(), &view);
  io.SetAttachedLKBitmap(&first);
  EXPECT_EQ(io.GetAttachedLumerak(), nullptr);
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 0);
  EXPECT_EQ(io.GetLKBitmap(), &first);
}

TEST(LumerakIOView, ViewWithoutLKBitmapGetsAnOwnedWrapperThatIsFreedOnDetach) {
  TBitmap vcl(9, 4, pf24bit);
  TIOTestView view;
  view.Vcl = &vcl;
  TLumerakIO io;
  io.SetAttachedLumerak(&view);
  EXPECT_TRUE(io.GetOwnsBitmap());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 9);
  io.SetAttachedLumerak(nullptr);  // the wrapper goes (checked by the leak sanitizer)
  EXPECT_EQ(io.GetAttachedLumerak(), nullptr);
  EXPECT_TRUE(io.GetOwnsBitmap());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 0);
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 0);
}

TEST(LumerakIOView, DestroyedViewIsForgottenAndItsBitmapNotUsed) {
  TLKBitmap viewBitmap(5, 5, lk24RGB);
  TLumerakIO io;
  {
    TIOTestView view;
    view.Lk = &viewBitmap;
    io.SetAttachedLumerak(&view);
  }
  EXPECT_EQ(io.GetAttachedLumerak(), nullptr);
  ASSERT_NE(io.GetLKBitmap(), nullptr);
  EXPECT_NE(io.GetLKBitmap(), &viewBitmap);
  EXPECT_TRUE(io.GetOwnsBitmap());
  io.Update();  // no view left to touch
}

TEST(LumerakIOView, ComponentDestroyedBeforeTheViewUnregisters) {
  TIOTestView view;
  TLKBitmap b(2, 2, lk24RGB);
  view.Lk = &b;
  {
    TLumerakIO io;
    io.SetAttachedLumerak(&view);
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 1);
  }
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 0);
  view.CallBitmapChangeEvents();  // nobody left to call
}
