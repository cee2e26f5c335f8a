// What a worker of the I/O component tells an attached view: posted
// messages to a view in a window, direct events without one, and nothing
// ever touching the view off the main thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkiothread.h"
#include "io/lumerakio.h"
#include "platform/controls.h"
#include "platform/threads.h"
#include "common/stub_view.h"

namespace {

// A view that logs, in order, what reaches it and whether on the main thread.
class TLogView : public TStubView {
 public:
  TLKBitmap Bitmap{4, 4, lk24RGB};
  std::vector<std::string> Log;
  bool OffMain = false;
  TLKBitmap* GetLKBitmap() override { return &Bitmap; }
  void Update() override { Note("Update"); }
  void ImageChange() override { Note("ImageChange"); }
  void SetDPIX(Integer Value) override {
    Note("DPIX " + std::to_string(Value));
    TLKView::SetDPIX(Value);
  }
  void Note(const std::string& What) {
    if (!IsMainThread()) OffMain = true;
    Log.push_back(What);
  }
};

// Runs Body as a load would on a worker of io and waits for it, then runs
// what the worker queued for the main thread.
void RunOnWorker(TLumerakIO& io, std::function<void()> Body) {
  new TLKIOThread(&io, TLKIOMethodFile([Body](const String&) { Body(); }), "file");
  io.WaitThreads(false);
  CheckSynchronize();
}

// The calls a load makes: progress steps, the update, the finish.
void Load(TLumerakIO& io) {
  io.GetProgressHook()(&io, 30);
  io.GetProgressHook()(&io, 60);
  io.Update();
  io.DoFinishWork();
}

}  // namespace

TEST(LumerakIOMessages, AWorkerPostsProgressUpdateAndFinishToAViewInAWindow) {
  TWinControl form;
  auto* view = new TLogView;
  view->SetParent(&form);
  view->SetOnProgress([&](TObject* s, Integer per) { view->Note((s == view ? "progress " : "? ") + std::to_string(per)); });
  view->SetOnFinishWork([&](TObject* s) { view->Note(s == view ? "finish" : "?"); });
  TLumerakIO io;
  io.SetAttachedLumerak(view);
  std::atomic<int> ownEvents{0};
  io.OnProgress = [&](TObject*, Integer) { ++ownEvents; };
  io.OnFinishWork = [&](TObject*) { ++ownEvents; };

  RunOnWorker(io, [&] { Load(io); });
  EXPECT_EQ(ownEvents.load(), 0) << "the component's own events are not called from the worker";
  EXPECT_FALSE(view->OffMain);
  // Progress reports are coalesced: while the first is still waiting, each
  // later one only gives it the newer value.
  EXPECT_EQ(view->Log, (std::vector<std::string>{"progress 100", "Update", "ImageChange", "finish"}));

  // Without OnProgress no progress message is posted at all.
  view->Log.clear();
  io.OnProgress = nullptr;
  RunOnWorker(io, [&] { Load(io); });
  EXPECT_EQ(view->Log, (std::vector<std::string>{"Update", "ImageChange", "finish"}));

  // On the main thread the component calls the view and its own events.
  view->Log.clear();
  Load(io);
  EXPECT_EQ(view->Log, (std::vector<std::string>{"Update", "ImageChange"}));
  EXPECT_EQ(ownEvents.load(), 1);
}

TEST(LumerakIOMessages, WithoutAParentWindowTheWorkerCallsTheComponentsEvents) {
  TLogView view;
  TLumerakIO io;
  io.SetAttachedLumerak(&view);
  std::vector<Integer> progress;
  std::atomic<bool> eventsOffMain{true};
  std::atomic<int> finishes{0};
  io.OnProgress = [&](TObject*, Integer per) {
    progress.push_back(per);
    if (IsMainThread()) eventsOffMain = false;
  };
  io.OnFinishWork = [&](TObject*) {
    ++finishes;
    if (IsMainThread()) eventsOffMain = false;
  };
  RunOnWorker(io, [&] {
    Load(io);
    io.GetIOParams()->SetDpiX(240);
  });
  EXPECT_EQ(progress, (std::vector<Integer>{30, 60, 100}));
  EXPECT_EQ(finishes.load(), 1);
  EXPECT_TRUE(eventsOffMain.load()) << "the component's events run on the worker";
  EXPECT_FALSE(view.OffMain) << "the view is never touched from the worker";
  EXPECT_EQ(view.Log, (std::vector<std::string>{"ImageChange", "DPIX 240"})) << "no update without a window";
  EXPECT_EQ(view.GetDpiX(), 240);
}

TEST(LumerakIOMessages, MessagesForAViewDestroyedMeanwhileAreDropped) {
  TWinControl form;
  auto* view = new TLogView;
  view->SetParent(&form);
  int finishes = 0;
  view->SetOnFinishWork([&](TObject*) { ++finishes; });
  TLumerakIO io;
  io.SetAttachedLumerak(view);
  io.OnFinishWork = [](TObject*) {};
  new TLKIOThread(&io, TLKIOMethodFile([&](const String&) { Load(io); }), "file");
  io.WaitThreads(false);
  delete view;  // before the main thread ran the posted messages
  CheckSynchronize();
  EXPECT_EQ(finishes, 0);
  EXPECT_EQ(io.GetAttachedLumerak(), nullptr);
}
