// Transitions of the single-image view, driven by hand through the engine's
// timer and an injected clock.
#include <gtest/gtest.h>

#include <vector>

#include "platform/graphics.h"
#include "view_fixture.h"

namespace {

class TransitionTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    engine_ = view_->GetTransitionEngine();
    engine_->Clock = [this] { return now_; };
  }
  // One timer tick at time T (ms).
  void Tick(DWORD T) {
    now_ = T;
    engine_->GetTimer()->Timer();
  }
  // Sizes the client area to W x H (no scroll bars).
  void ClientSize(Integer W, Integer H) {
    view_->SetScrollBars(ssNone);
    view_->SetBounds(0, 0, W + view_->GetWidth() - view_->GetClientWidth(),
                     H + view_->GetHeight() - view_->GetClientHeight());
    ASSERT_EQ(view_->GetClientWidth(), W);
    ASSERT_EQ(view_->GetClientHeight(), H);
  }
  TLKTransitionEffects* engine_ = nullptr;
  DWORD now_ = 5000;
};

TEST_F(TransitionTest, TimedRunDrawsFramesAndEndsOnTheNewPicture) {
  Load(600, 500);
  view_->PaintNow();
  const Integer cw = view_->GetClientWidth();
  const TRGB left = Screen(10, 10), right = Screen(cw - 5, 10);
  view_->PrepareTransition();
  view_->GetLKBitmap()->Fill(static_cast<double>(0x00FF00));
  view_->Update();

  std::vector<Integer> steps;
  Integer stops = 0;
  view_->SetOnTransitionStep([&](TObject* Sender, Integer Step) {
    EXPECT_EQ(Sender, view_);
    steps.push_back(Step);
  });
  view_->SetOnTransitionStop([&](TObject*) { ++stops; });
  view_->RunTransition(lkttLeftRight1, 1000);
  ASSERT_TRUE(view_->GetTransitionRunning());
  EXPECT_EQ(view_->GetPaintLock(), 1);
  EXPECT_TRUE(engine_->GetTimer()->GetEnabled());

  Tick(5000);  // the first frame is step 0: the old look
  EXPECT_EQ(Screen(10, 10), left);
  // While the run holds the paint lock, a repaint does not show the new
  // picture.
  view_->PaintNow();
  EXPECT_EQ(Screen(10, 10), left);
  Tick(5500);  // draws step 0 again, computes 512
  Tick(5600);  // draws 512: the left half is new
  EXPECT_EQ(Screen(10, 10), (TRGB{0, 255, 0}));
  EXPECT_EQ(Screen(cw - 5, 10), right);
  Tick(6000);  // the duration has passed: the new look at once, then the stop
  EXPECT_EQ(Screen(cw - 5, 10), (TRGB{0, 255, 0}));
  EXPECT_EQ(steps, (std::vector<Integer>{0, 0, 512, 614}));
  EXPECT_EQ(stops, 1);
  EXPECT_FALSE(view_->GetTransitionRunning());
  EXPECT_FALSE(engine_->GetTimer()->GetEnabled());
  EXPECT_EQ(view_->GetPaintLock(), 0);
  EXPECT_EQ(engine_->FrameBitmap->GetWidth(), 1);
  Tick(6100);  // idle: nothing
  EXPECT_EQ(stops, 1);
}

TEST_F(TransitionTest, TimingCurvesRestartAndDuration) {
  Load(200, 100);
  view_->PrepareTransition();
  std::vector<Integer> steps;
  view_->SetOnTransitionStep([&](TObject*, Integer Step) { steps.push_back(Step); });
  view_->SetTransitionTiming(lkttExponential);
  view_->RunTransition(lkttCrossDissolve, 1000);
  Tick(5000);
  Tick(5999);
  Tick(6000);
  // Step 0 first, then 6 at t = 0 and about 998 at the end: never 1024.
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0], 0);
  EXPECT_EQ(steps[1], 6);
  EXPECT_EQ(steps[2], 998);
  EXPECT_EQ(engine_->Step, 1003);
  EXPECT_FALSE(view_->GetTransitionRunning());

  // A second run while one runs restarts it without a second lock.
  view_->SetTransitionTiming(lkttLinear);
  view_->PrepareTransition();
  view_->RunTransition(lkttCrossDissolve, 0);
  EXPECT_EQ(engine_->Duration, 1);  // 0 and below become 1 ms
  view_->RunTransition(lkttCrossDissolve, 500);
  EXPECT_EQ(view_->GetPaintLock(), 1);
  EXPECT_EQ(engine_->Step, 0);
  Tick(5600);
  EXPECT_FALSE(view_->GetTransitionRunning());
  EXPECT_EQ(view_->GetPaintLock(), 0);
}

TEST_F(TransitionTest, ResizeBlankAndAbortStopARun) {
  Load(200, 100);
  for (Integer way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    view_->PrepareTransition();
    view_->RunTransition(lkttFadeIn, 1000);
    ASSERT_TRUE(view_->GetTransitionRunning());
    if (way == 0) view_->SetBounds(0, 0, 300, 200);
    if (way == 1) view_->AbortTransition();
    if (way == 2) view_->Blank();
    EXPECT_FALSE(view_->GetTransitionRunning());
    EXPECT_EQ(view_->GetPaintLock(), 0);
  }
  // Nothing starts on an empty client area.
  view_->SetBounds(0, 0, 0, 0);
  view_->RunTransition(lkttFadeIn, 1000);
  EXPECT_FALSE(view_->GetTransitionRunning());
}

TEST_F(TransitionTest, AspectRectanglesAndPanZoomEnd) {
  Load(1000, 1000);
  ClientSize(400, 400);
  EXPECT_EQ(view_->AdjustRectToAspectRatio({0, 0, 100, 50}), (TRect{0, -25, 100, 75}));
  EXPECT_EQ(view_->AdjustRectToAspectRatio({10, 0, 60, 100}), (TRect{-15, 0, 85, 100}));
  view_->SetTransitionStartRect({0, 0, 100, 50});
  EXPECT_EQ(view_->GetTransitionStartRect(), (TRect{0, -25, 100, 75}));
  view_->SetTransitionRectMaintainAspectRatio(false);
  view_->SetTransitionEndRect({0, 0, 100, 50});
  EXPECT_EQ(view_->GetTransitionEndRect(), (TRect{0, 0, 100, 50}));
  view_->SetTransitionRectMaintainAspectRatio(true);
  EXPECT_EQ(view_->GetTransitionEndRect(), (TRect{0, -25, 100, 75}));

  // A pan-zoom ends showing its end rectangle: 500 rows in 400 -> 80 %.
  view_->SetTransitionEndRect({100, 200, 600, 700});
  view_->PrepareTransition();
  view_->RunTransition(lkttPanZoom, 100);
  EXPECT_TRUE(view_->GetTransitionRunning());
  EXPECT_DOUBLE_EQ(view_->GetZoom(), 80);
  EXPECT_EQ(view_->GetViewX(), 80);
  EXPECT_EQ(view_->GetViewY(), 160);
  Tick(now_ + 100);
  EXPECT_FALSE(view_->GetTransitionRunning());
}

TEST_F(TransitionTest, FrameByFrameIntoBitmapsAndSpecialKeys) {
  TBitmap start(30, 20, pf24bit), target(30, 20, pf24bit), frame;
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 90; ++x) {
      start.ScanLine(y)[x] = 10;
      target.ScanLine(y)[x] = 250;
    }
  view_->PrepareTransitionBitmap(&start, &target, lkttCrossDissolve);
  view_->CreateTransitionBitmapFrame(0, &frame);
  EXPECT_EQ(frame.ScanLine(5)[5], 10);
  view_->CreateTransitionBitmapFrame(500, &frame);
  EXPECT_EQ(frame.ScanLine(5)[5], (10 * 512 + 250 * 512) >> 10);
  view_->CreateTransitionBitmapFrame(1000, &frame);
  EXPECT_EQ(frame.ScanLine(5)[5], 250);
  EXPECT_FALSE(view_->GetTransitionRunning());

  // A handler that takes the left arrow makes the view receive it.
  EXPECT_EQ(view_->Perform(CM_WANTSPECIALKEY, VK_LEFT, 0), 0);
  view_->OnSpecialKey = [](TObject*, Word Key, TShiftState, bool& Handled) { Handled = Key == VK_LEFT; };
  EXPECT_EQ(view_->Perform(CM_WANTSPECIALKEY, VK_LEFT, 0), 1);
  EXPECT_EQ(view_->Perform(CM_WANTSPECIALKEY, VK_RIGHT, 0), 0);
}

}  // namespace
