// Window controls: geometry from create parameters and metrics, the size
// message, window re-creation, the paint pump and the retained client image,
// messages sent and posted (also from other threads), parents and children,
// and the timer.
#include "platform/controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QWidget>
#include <memory>
#include <thread>
#include <vector>

#include "platform/threads.h"

namespace {

// A custom control whose styles the test chooses; it records the messages
// and paints it gets.
class TProbe : public TCustomControl {
 public:
  explicit TProbe(DWORD Style = 0, DWORD ExStyle = 0, bool Redraw = true)
      : FStyle(Style), FExStyle(ExStyle), FRedraw(Redraw) {}
  ~TProbe() override { if (Destroyed) *Destroyed = true; }

  std::vector<Cardinal> Messages;
  std::vector<WPARAM> Params;
  std::vector<TSize> Sizes;       // from WM_SIZE
  std::vector<TRect> PaintClips;  // canvas clip during each Paint
  bool* Destroyed = nullptr;
  DWORD FStyle, FExStyle;
  bool FRedraw;
  TColor PaintColor = clNone;  // fills the clip in Paint when set

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style |= FStyle;
    Params.ExStyle |= FExStyle;
    if (!FRedraw) Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
  }
  void WndProc(TMessage& M) override {
    if (M.Msg >= WM_USER && M.Msg < CM_BASE) {
      Messages.push_back(M.Msg);
      Params.push_back(M.WParam);
      M.Result = static_cast<LRESULT>(M.WParam) + 1;
      return;
    }
    if (M.Msg == WM_SIZE) Sizes.push_back(TSize{LOWORD(M.LParam), HIWORD(M.LParam)});
    TCustomControl::WndProc(M);
  }
  void Paint() override {
    PaintClips.push_back(GetCanvas()->GetClipRect());
    if (PaintColor != clNone) {
      GetCanvas()->GetBrush()->SetColor(PaintColor);
      GetCanvas()->FillRect(GetCanvas()->GetClipRect());
    }
  }
};

struct MetricsScope {
  ~MetricsScope() { ClearSystemMetricsOverrides(); }
};

TColor SurfacePixel(TCustomControl& c, Integer x, Integer y) { return c.GetCanvas()->GetPixel(x, y); }

}  // namespace

TEST(Controls, ClientAreaIsTheOuterBoundsLessTheFrameOfTheStyles) {
  MetricsScope restore;
  struct Case {
    DWORD style, exStyle;
    Integer edge, border;
    TRect client;     // expected client rect of a 100 x 80 control
    TPoint offset;    // where it starts in the outer rectangle
  };
  const Case cases[] = {
      {0, WS_EX_CLIENTEDGE, 2, 1, {0, 0, 96, 76}, {2, 2}},
      {0, WS_EX_CLIENTEDGE, 3, 1, {0, 0, 94, 74}, {3, 3}},  // injected edge metric
      {WS_BORDER, 0, 2, 1, {0, 0, 98, 78}, {1, 1}},
      {WS_BORDER, WS_EX_CLIENTEDGE, 2, 1, {0, 0, 94, 74}, {3, 3}},
      {0, 0, 2, 1, {0, 0, 100, 80}, {0, 0}},
  };
  for (const Case& c : cases) {
    SetSystemMetricsOverride(SM_CXEDGE, c.edge);
    SetSystemMetricsOverride(SM_CYEDGE, c.edge);
    SetSystemMetricsOverride(SM_CXBORDER, c.border);
    SetSystemMetricsOverride(SM_CYBORDER, c.border);
    TProbe p(c.style, c.exStyle);
    p.SetBounds(5, 6, 100, 80);
    EXPECT_EQ(p.GetClientRect(), c.client) << "style " << c.style << " ex " << c.exStyle << " edge " << c.edge;
    EXPECT_EQ(p.GetClientOffset(), c.offset);
    EXPECT_EQ(p.GetSurface()->GetWidth(), c.client.Right);
    EXPECT_EQ(p.GetSurface()->GetHeight(), c.client.Bottom);
  }
}

TEST(Controls, SizeMessageIsSentSynchronouslyWhenTheClientSizeChanges) {
  TProbe p(0, WS_EX_CLIENTEDGE);
  p.SetBounds(0, 0, 50, 40);
  EXPECT_TRUE(p.Sizes.empty()) << "no window yet, no size message";
  p.HandleNeeded();
  ASSERT_EQ(p.Sizes.size(), 1u) << "a new window learns its size";
  EXPECT_EQ(p.Sizes[0], (TSize{46, 36}));

  p.SetBounds(10, 10, 50, 40);  // moved only
  EXPECT_EQ(p.Sizes.size(), 1u);
  p.SetBounds(10, 10, 60, 40);  // the control is hidden: Qt would defer this
  ASSERT_EQ(p.Sizes.size(), 2u);
  EXPECT_EQ(p.Sizes[1], (TSize{56, 36}));
  EXPECT_EQ(p.GetSurface()->GetWidth(), 56);

  p.SetBounds(10, 10, -5, 40);
  EXPECT_EQ(p.GetWidth(), 0);
  EXPECT_EQ(p.GetClientWidth(), 0) << "a frame wider than the control leaves no client area";
}

TEST(Controls, RecreateCountsGenerationsAndReadsTheParametersAgain) {
  TProbe p;
  p.SetBounds(0, 0, 30, 20);
  p.RecreateWnd();
  EXPECT_EQ(p.GetHandleGeneration(), 0) << "nothing to re-create before the window exists";
  EXPECT_FALSE(p.HandleAllocated());

  p.HandleNeeded();
  EXPECT_EQ(p.GetHandleGeneration(), 1);
  EXPECT_EQ(p.GetClientWidth(), 30);

  p.FExStyle = WS_EX_CLIENTEDGE;
  p.HandleNeeded();  // the window exists: no new parameters
  EXPECT_EQ(p.GetHandleGeneration(), 1);
  EXPECT_EQ(p.GetClientWidth(), 30);
  p.RecreateWnd();
  EXPECT_EQ(p.GetHandleGeneration(), 2);
  EXPECT_TRUE(p.GetWindowParams().ExStyle & WS_EX_CLIENTEDGE);
  EXPECT_EQ(p.GetClientWidth(), 26);
  EXPECT_EQ(p.Sizes.back(), (TSize{26, 16})) << "the frame change resized the client area";
}

TEST(Controls, InvalidRectanglesArePaintedOnceByThePump) {
  TProbe p;
  p.SetBounds(0, 0, 40, 30);
  p.HandleNeeded();
  ProcessPendingPaints();  // the new window's first paint
  ASSERT_EQ(p.PaintClips.size(), 1u);
  EXPECT_EQ(p.PaintClips[0], (TRect{0, 0, 40, 30}));

  p.InvalidateRect(TRect{2, 3, 5, 6});
  p.InvalidateRect(TRect{10, 1, 12, 4});
  p.InvalidateRect(TRect{35, 25, 90, 90});  // cut to the client area
  EXPECT_EQ(p.GetInvalidRect(), (TRect{2, 1, 40, 30}));
  ProcessPendingPaints();
  ASSERT_EQ(p.PaintClips.size(), 2u);
  EXPECT_EQ(p.PaintClips[1], (TRect{2, 1, 40, 30})) << "one paint, clipped to the union";
  EXPECT_EQ(p.GetCanvas()->GetClipRect(), (TRect{0, 0, 40, 30})) << "the clip ends with the paint";

  ProcessPendingPaints();
  p.Update();
  EXPECT_EQ(p.PaintClips.size(), 2u) << "nothing pending, nothing painted";

  p.Repaint();
  EXPECT_EQ(p.PaintClips.size(), 3u) << "Repaint paints at once";
}

TEST(Controls, PaintErasesOnlyInsideTheInvalidRectangle) {
  TProbe p;
  p.SetColor(clRed);
  p.SetBounds(0, 0, 20, 10);
  p.Repaint();
  EXPECT_TRUE(p.PaintClips.empty()) << "no window, nothing to paint";
  p.HandleNeeded();
  p.Repaint();
  EXPECT_EQ(SurfacePixel(p, 19, 9), clRed);
  p.SetColor(clBlue);  // invalidates everything
  ProcessPendingPaints();
  p.SetColor(clLime);
  p.Update();
  EXPECT_EQ(SurfacePixel(p, 0, 0), clLime);

  p.GetCanvas()->GetBrush()->SetColor(clYellow);
  p.GetCanvas()->FillRect(TRect{0, 0, 20, 10});
  p.InvalidateRect(TRect{5, 5, 7, 7});
  p.Update();
  EXPECT_EQ(SurfacePixel(p, 5, 5), clLime);
  EXPECT_EQ(SurfacePixel(p, 6, 6), clLime);
  EXPECT_EQ(SurfacePixel(p, 7, 7), clYellow) << "outside the invalid rectangle the image is kept";
  EXPECT_EQ(SurfacePixel(p, 4, 5), clYellow);
  EXPECT_EQ(p.GetCanvas()->GetBrush()->GetColor(), clYellow) << "erasing leaves the canvas brush alone";
}

TEST(Controls, GrowingWithoutRedrawStylesInvalidatesOnlyTheUncoveredStrip) {
  TProbe p(0, 0, /*Redraw=*/false);
  p.SetBounds(0, 0, 50, 40);
  p.HandleNeeded();
  ProcessPendingPaints();
  p.SetBounds(0, 0, 70, 40);
  EXPECT_EQ(p.GetInvalidRect(), (TRect{50, 0, 70, 40}));
  ProcessPendingPaints();
  p.SetBounds(0, 0, 60, 30);
  EXPECT_EQ(p.GetInvalidRect(), (TRect{})) << "shrinking uncovers nothing";

  TProbe q;  // with the redraw styles every size change repaints it all
  q.SetBounds(0, 0, 50, 40);
  q.HandleNeeded();
  ProcessPendingPaints();
  q.SetBounds(0, 0, 60, 30);
  EXPECT_EQ(q.GetInvalidRect(), (TRect{0, 0, 60, 30}));
}

TEST(Controls, CanvasDrawingOutsidePaintShowsOnTheScreen) {
  TWinControl form;
  form.SetBounds(0, 0, 120, 90);
  QWidget window;
  form.SetParentWindow(&window);
  auto* p = new TProbe(0, WS_EX_CLIENTEDGE);
  p->SetParent(&form);
  p->SetBounds(10, 20, 60, 40);
  p->SetColor(clWhite);
  window.resize(120, 90);
  window.show();
  p->HandleNeeded();
  ProcessPendingPaints();

  TCanvas* canvas = p->GetCanvas();
  canvas->GetBrush()->SetColor(clRed);
  canvas->FillRect(TRect{3, 4, 8, 9});  // no paint pending: straight into the image
  EXPECT_EQ(p->GetInvalidRect(), (TRect{}));
  EXPECT_EQ(p->GetSurface()->GetCanvas()->GetPixel(3, 4), clRed);

  const QImage shot = p->GetPeer()->grab().toImage();
  ASSERT_EQ(shot.width(), 60);
  EXPECT_EQ(shot.pixelColor(2 + 3, 2 + 4), QColor(255, 0, 0)) << "client image drawn inside the edge";
  EXPECT_EQ(shot.pixelColor(2 + 8, 2 + 9), QColor(255, 255, 255));
  const QImage whole = window.grab().toImage();
  EXPECT_EQ(whole.pixelColor(10 + 2 + 3, 20 + 2 + 4), QColor(255, 0, 0)) << "placed in the parent's client area";
}

TEST(Controls, AParentWindowDeletedFirstLeavesTheControlsWhole) {
  TWinControl form;
  auto* child = new TProbe;
  child->SetParent(&form);
  {
    QWidget window;
    form.SetParentWindow(&window);
    window.show();
    EXPECT_TRUE(form.GetShowing());
  }  // Qt deletes the window's children, our peers among them
  EXPECT_EQ(form.GetParentWindow(), nullptr);
  EXPECT_FALSE(form.HasParentWindow());
  EXPECT_FALSE(WindowHasParent(form.GetHandle()));
  ASSERT_NE(form.GetPeer(), nullptr);
  EXPECT_EQ(child->GetPeer()->parentWidget(), form.GetPeer());
  child->Repaint();  // still usable; freed with the form (checked by the address sanitizer)
}

TEST(Controls, PerformIsSynchronousAndPostedMessagesFollowInOrder) {
  TProbe p;
  EXPECT_TRUE(PostMessage(p.GetHandle(), WM_USER + 1, 10, 0));
  EXPECT_TRUE(PostMessage(p.GetHandle(), WM_USER + 2, 20, 0));
  EXPECT_EQ(p.Perform(WM_USER + 3, 30, 0), 31) << "the handler's answer comes back";
  ASSERT_EQ(p.Messages, (std::vector<Cardinal>{WM_USER + 3})) << "posted messages wait for the queue";
  CheckSynchronize();
  EXPECT_EQ(p.Messages, (std::vector<Cardinal>{WM_USER + 3, WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(p.Params, (std::vector<WPARAM>{30, 10, 20}));
  EXPECT_EQ(p.Perform(WM_SIZE + 0x100, 0, 0), 0) << "unhandled messages answer 0";
}

TEST(Controls, MessagesPostedToADestroyedControlAreDropped) {
  bool destroyed = false;
  auto* p = new TProbe;
  p->Destroyed = &destroyed;
  const TWindowHandle handle = p->GetHandle();
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_TRUE(PostMessage(handle, WM_USER + 1, 0, 0));
  int calls = 0;
  EXPECT_TRUE(PostWindowCall(handle, [&](TControl*) { ++calls; }));
  delete p;
  ASSERT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(handle));
  CheckSynchronize();  // the queued message finds no control: nothing runs
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(PostMessage(handle, WM_USER + 2, 0, 0));
  EXPECT_FALSE(PostMessage(TWindowHandle(), WM_USER + 2, 0, 0));
  EXPECT_FALSE(WindowHasParent(handle));
}

TEST(Controls, WorkerThreadsPostInOrderAndNothingRunsOffTheMainThread) {
  TProbe p;
  std::vector<bool> onMain;
  const TWindowHandle handle = p.GetHandle();
  std::thread worker([handle] {
    for (WPARAM i = 0; i < 200; ++i) PostMessage(handle, WM_USER + 7, i, 0);
  });
  PostWindowCall(handle, [&](TControl*) { onMain.push_back(IsMainThread()); });
  worker.join();
  PostWindowCall(handle, [&](TControl*) { onMain.push_back(IsMainThread()); });
  // The Qt event loop drains the queue as well.
  QApplication::processEvents();
  CheckSynchronize();
  ASSERT_EQ(p.Params.size(), 200u);
  for (WPARAM i = 0; i < 200; ++i) ASSERT_EQ(p.Params[i], i);
  EXPECT_EQ(onMain, (std::vector<bool>{true, true}));
}

TEST(Controls, MouseEnterAndLeaveFromQtBecomeMessages) {
  struct TEnterProbe : TCustomControl {
    std::vector<Cardinal> Seen;
    void CMMouseEnter(TMessage&) override { Seen.push_back(CM_MOUSEENTER); }
    void CMMouseLeave(TMessage&) override { Seen.push_back(CM_MOUSELEAVE); }
  } p;
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(p.GetPeer(), &enter);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(p.GetPeer(), &leave);
  EXPECT_EQ(p.Seen, (std::vector<Cardinal>{CM_MOUSEENTER, CM_MOUSELEAVE}));
}

TEST(Controls, ParentsPlaceShowAndFreeTheirChildren) {
  bool childGone = false;
  auto* form = new TWinControl;
  auto* child = new TProbe;
  child->Destroyed = &childGone;
  EXPECT_FALSE(child->HasParentWindow());
  child->SetParent(form);
  EXPECT_TRUE(child->HasParentWindow());
  EXPECT_TRUE(WindowHasParent(child->GetHandle()));
  EXPECT_EQ(form->GetControlCount(), 1);
  EXPECT_EQ(form->GetControl(0), child);
  EXPECT_THROW(form->GetControl(1), EListError);
  EXPECT_THROW(form->SetParent(form), EInvalidOperation);
  auto* inner = new TWinControl;
  inner->SetParent(form);
  EXPECT_THROW(form->SetParent(inner), EInvalidOperation) << "no cycles";

  EXPECT_FALSE(child->GetShowing()) << "the chain ends in no window";
  QWidget window;
  form->SetParentWindow(&window);
  window.show();
  EXPECT_TRUE(child->GetShowing());
  EXPECT_TRUE(child->GetPeer()->isVisible());
  child->Hide();
  EXPECT_FALSE(child->GetShowing());
  EXPECT_FALSE(child->GetPeer()->isVisible());

  // The child's peer moves with the parent's frame.
  child->SetBounds(4, 5, 10, 10);
  form->SetControlStyle(form->GetControlStyle() + TControlStyle{csFramed});
  form->SetCtl3D(false);  // framed: re-created with a plain border
  form->HandleNeeded();
  EXPECT_EQ(child->GetPeer()->geometry().topLeft(), QPoint(5, 6));

  child->SetParent(nullptr);
  EXPECT_EQ(form->GetControlCount(), 1);
  EXPECT_FALSE(WindowHasParent(child->GetHandle()));
  child->SetParent(form);
  delete form;  // frees both children
  EXPECT_TRUE(childGone);
}

TEST(Controls, Ctl3DFollowsTheParentUntilSetDirectly) {
  TWinControl form;
  auto* a = new TWinControl;
  auto* b = new TWinControl;
  a->SetParent(&form);
  b->SetParent(&form);
  b->SetCtl3D(false);
  EXPECT_FALSE(b->GetParentCtl3D());
  form.SetCtl3D(false);
  EXPECT_FALSE(a->GetCtl3D());
  EXPECT_TRUE(a->GetParentCtl3D());
  b->SetCtl3D(true);
  form.SetCtl3D(true);
  EXPECT_TRUE(a->GetCtl3D());
  b->SetCtl3D(false);
  form.SetCtl3D(false);
  form.SetCtl3D(true);
  EXPECT_FALSE(b->GetCtl3D()) << "set directly: no longer follows";
  b->SetParentCtl3D(true);
  EXPECT_TRUE(b->GetCtl3D());
}

TEST(Controls, SystemMetricsCanBeOverriddenAndRestored) {
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 0);
  EXPECT_EQ(GetSystemMetrics(-77), 0);
  {
    MetricsScope restore;
    SetSystemMetricsOverride(SM_CXEDGE, 5);
    EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 5);
  }
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_GE(GetScreenDeviceCaps(BITSPIXEL), 24);
  EXPECT_GT(GetScreenDeviceCaps(LOGPIXELSX), 0);
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_EQ(ColorToRGB(clBtnFace) & 0xFF000000, 0) << "system colours resolve to plain colours";
}

TEST(Timers, RunOnlyWhenEnabledWithAnIntervalAndAHandler) {
  TTimer t;
  EXPECT_FALSE(t.GetActive()) << "no handler yet";
  int ticks = 0;
  t.SetOnTimer([&](TObject* Sender) {
    EXPECT_EQ(Sender, &t);
    ++ticks;
  });
  EXPECT_TRUE(t.GetActive());
  t.SetInterval(0);
  EXPECT_FALSE(t.GetActive());
  t.SetInterval(5);
  t.SetEnabled(false);
  EXPECT_FALSE(t.GetActive());
  t.Timer();
  EXPECT_EQ(ticks, 1) << "a hand tick always calls the handler";

  t.SetEnabled(true);
  QElapsedTimer clock;
  clock.start();
  while (ticks < 3 && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_GE(ticks, 3) << "the Qt timer drives the ticks";
}
