// The view base: border and 3-D edge, window re-creation only on a change,
// mouse enter and leave events, the bitmap-change registry, resolution, and
// the messages workers post to a view.
#include "views/lkview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QWidget>
#include <string>
#include <vector>

#include "common/stub_view.h"
#include "platform/threads.h"

namespace {

class TProbeView : public TStubView {
 public:
  explicit TProbeView(TComponent* Owner = nullptr) : TStubView(Owner) {}
  int Updates = 0;
  void Update() override {
    ++Updates;
    TLKView::Update();
  }
};

}  // namespace

TEST(LKView, BorderStyleAndCtl3DChooseTheFrame) {
  struct Case {
    TBorderStyle border;
    bool ctl3d;
    bool clientEdge, plainBorder;
    Integer inset;
  };
  const Case cases[] = {
      {bsSingle, true, true, false, 2},
      {bsSingle, false, false, true, 1},
      {bsNone, true, false, false, 0},
      {bsNone, false, false, false, 0},
  };
  for (const Case& c : cases) {
    TProbeView v;
    v.SetBorderStyle(c.border);
    v.SetCtl3D(c.ctl3d);
    v.SetBounds(0, 0, 100, 60);
    v.HandleNeeded();
    const TCreateParams& p = v.GetWindowParams();
    const std::string what = std::to_string(c.border) + (c.ctl3d ? " 3d" : " flat");
    EXPECT_EQ((p.ExStyle & WS_EX_CLIENTEDGE) != 0, c.clientEdge) << what;
    EXPECT_EQ((p.Style & WS_BORDER) != 0, c.plainBorder) << what;
    EXPECT_EQ(p.WindowClassStyle & (CS_HREDRAW | CS_VREDRAW), 0u) << what;
    EXPECT_EQ(v.GetClientRect(), (TRect{0, 0, 100 - 2 * c.inset, 60 - 2 * c.inset})) << what;
  }
}

TEST(LKView, StartsWithTheDefaults) {
  TProbeView v;
  EXPECT_EQ(v.GetBorderStyle(), bsSingle);
  EXPECT_TRUE(v.GetCtl3D());
  EXPECT_TRUE(v.GetParentCtl3D());
  EXPECT_EQ(v.GetBackground(), clBtnFace);
  EXPECT_EQ(static_cast<Cardinal>(clBtnFace), 0x8000000Fu);
  EXPECT_EQ(v.GetDpiX(), 0);
  EXPECT_EQ(v.GetDpiY(), 0);
  const TControlStyle style = v.GetControlStyle();
  EXPECT_TRUE(style.Contains(csAcceptsControls) && style.Contains(csOpaque) && style.Contains(csReplicatable));
  EXPECT_FALSE(style.Contains(csFramed));
  EXPECT_EQ(v.GetFBitmap(), nullptr);
  EXPECT_EQ(v.GetLKBitmap(), nullptr);
  EXPECT_EQ(gDefaultDPIX, 300);
  EXPECT_EQ(gDefaultDPIY, 300);
}

TEST(LKView, WindowIsRecreatedOnlyWhenBorderOrCtl3DChanges) {
  TProbeView v;
  v.SetBounds(0, 0, 50, 50);
  v.SetBorderStyle(bsNone);  // before the window exists: read at creation
  v.HandleNeeded();
  EXPECT_EQ(v.GetHandleGeneration(), 1);
  EXPECT_EQ(v.GetClientWidth(), 50);

  v.SetBorderStyle(bsNone);
  v.SetCtl3D(true);
  EXPECT_EQ(v.GetHandleGeneration(), 1) << "same values re-create nothing";
  v.SetBorderStyle(bsSingle);
  EXPECT_EQ(v.GetHandleGeneration(), 2);
  EXPECT_EQ(v.GetClientWidth(), 46);
  v.SetCtl3D(false);
  EXPECT_EQ(v.GetHandleGeneration(), 3);
  EXPECT_EQ(v.GetClientWidth(), 48);
  v.SetCtl3D(false);
  EXPECT_EQ(v.GetHandleGeneration(), 3);

  // A parent's change reaches a view that follows it, and re-creates it.
  TWinControl form;
  TProbeView* child = new TProbeView;
  child->SetParent(&form);
  child->HandleNeeded();
  form.SetCtl3D(false);
  EXPECT_FALSE(child->GetCtl3D());
  EXPECT_EQ(child->GetHandleGeneration(), 2);
}

TEST(LKView, MouseEnterAndLeaveFireTheEventsWithTheView) {
  TProbeView v;
  std::vector<std::string> seen;
  v.OnMouseEnter = [&](TObject* s) { seen.push_back(s == &v ? "enter" : "enter?"); };
  v.OnMouseLeave = [&](TObject* s) { seen.push_back(s == &v ? "leave" : "leave?"); };
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(v.GetPeer(), &enter);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(v.GetPeer(), &leave);
  v.Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave", "enter"}));
  v.OnMouseEnter = nullptr;
  v.Perform(CM_MOUSEENTER, 0, 0);  // unassigned: nothing
  EXPECT_EQ(seen.size(), 3u);
}

TEST(LKView, DestructionTellsEveryRegistrationInOrder) {
  std::vector<std::string> calls;
  auto* v = new TProbeView;
  auto record = [&](const char* name) {
    return [&calls, name, v](TObject* s, bool destroying) {
      calls.push_back(std::string(name) + (destroying ? ":destroying" : ":changed") + (s == v ? "" : ":?"));
    };
  };
  const Integer a = v->RegisterBitmapChangeEvent(record("a"));
  const Integer b = v->RegisterBitmapChangeEvent(record("b"));
  const Integer c = v->RegisterBitmapChangeEvent(record("c"));
  EXPECT_TRUE(a >= 0 && b >= 0 && c >= 0);
  EXPECT_TRUE(a != b && b != c && a != c);

  v->RemoveBitmapChangeEvent(-1);
  v->RemoveBitmapChangeEvent(c + 100);
  EXPECT_EQ(v->GetBitmapChangeEventCount(), 3) << "negative and unknown handles are ignored";
  v->RemoveBitmapChangeEvent(b);
  v->RemoveBitmapChangeEvent(b);
  EXPECT_EQ(v->GetBitmapChangeEventCount(), 2);
  const Integer d = v->RegisterBitmapChangeEvent(record("a"));  // the same callback twice
  EXPECT_NE(d, a);

  v->CallBitmapChangeEvents();
  EXPECT_EQ(calls, (std::vector<std::string>{"a:changed", "c:changed", "a:changed"}));
  calls.clear();
  delete v;
  EXPECT_EQ(calls, (std::vector<std::string>{"a:destroying", "c:destroying", "a:destroying"}));
}

TEST(LKView, ZeroResolutionLeavesTheOldValue) {
  TProbeView v;
  v.SetDPI(72, 96);
  v.SetDPI(0, 150);
  EXPECT_EQ(v.GetDpiX(), 72);
  EXPECT_EQ(v.GetDpiY(), 150);
  v.SetDPI(200, 0);
  EXPECT_EQ(v.GetDpiX(), 200);
  EXPECT_EQ(v.GetDpiY(), 150);
}

TEST(LKView, PostedWorkMessagesUpdateAndFireTheViewsEvents) {
  TProbeView v;
  std::vector<std::string> seen;
  v.SetOnProgress([&](TObject* s, Integer per) { seen.push_back((s == &v ? "progress " : "? ") + std::to_string(per)); });
  v.SetOnFinishWork([&](TObject* s) { seen.push_back(s == &v ? "finish" : "?"); });
  PostMessage(v.GetHandle(), LKM_PROGRESS, 40, 0);
  PostMessage(v.GetHandle(), LKM_UPDATE, 0, 0);
  PostMessage(v.GetHandle(), LKM_FINISHWORK, 0, 0);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(v.Updates, 0);
  CheckSynchronize();
  EXPECT_EQ(seen, (std::vector<std::string>{"progress 40", "finish"}));
  EXPECT_EQ(v.Updates, 1);

  v.SetOnProgress(nullptr);
  v.Perform(LKM_PROGRESS, 50, 0);  // no handler: nothing
  EXPECT_EQ(seen.size(), 2u);
}

TEST(LKView, GlobalsComeFromTheScreen) {
  LKViewInitGlobals();
  EXPECT_GE(gSystemColors, 24);
  EXPECT_FALSE(gIsRemoteSession);
  EXPECT_GT(gSystemDPIX, 0);
  EXPECT_GT(gSystemDPIY, 0);
  EXPECT_EQ(gEdgeX, 2);
  EXPECT_EQ(gEdgeY, 2);
  EXPECT_EQ(gBorderX, 1);
  EXPECT_EQ(gBorderY, 1);
}
