// Mouse, wheel and key input of the controls: the double-click order,
// wheel deltas of 120 a notch passed on to the parent when nobody takes
// them, virtual-key codes with the shift state, key preview and capture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window_kit.h"
#include "platform/controls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"

using namespace window_kit;

namespace {

/// A custom control that logs its mouse handlers.
class TMouseProbe : public TCustomControl {
 public:
  explicit TMouseProbe(bool DoubleClicks = true) : FDoubleClicks(DoubleClicks) {
    SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls});
    OnClick = [this](TObject*) { Log.push_back("click"); };
    OnDblClick = [this](TObject*) { Log.push_back("dblclick"); };
  }
  std::vector<std::string> Log;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    if (!FDoubleClicks) Params.WindowClassStyle &= ~CS_DBLCLKS;
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override {
    Log.push_back(std::string(Shift.Contains(ssDouble) ? "down2 " : "down ") + std::to_string(X) + "," +
                  std::to_string(Y));
    TCustomControl::MouseDown(Button, Shift, X, Y);
  }
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override {
    Log.push_back("up");
    TCustomControl::MouseUp(Button, Shift, X, Y);
  }
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override {
    Log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
  }

 private:
  bool FDoubleClicks;
};

}  // namespace

TEST(Input, DoubleClickOrderFollowsTheClassStyle) {
  struct TRow {
    bool DoubleClicks;
    std::vector<std::string> Expected;
  };
  const std::vector<TRow> rows = {
      {true, {"down 5,6", "click", "up", "dblclick", "down2 5,6", "up"}},
      {false, {"down 5,6", "click", "up", "down 5,6", "click", "up"}},
  };
  for (const TRow& r : rows) {
    TMouseProbe p(r.DoubleClicks);
    p.SetBounds(0, 0, 50, 50);
    DoubleClick(p.GetPeer(), QPoint(5, 6));
    EXPECT_EQ(p.Log, r.Expected) << "double clicks " << r.DoubleClicks;
  }
}

TEST(Input, MouseCoordinatesAreClientCoordinatesAndCaptureRedirects) {
  TMouseProbe parent;
  parent.SetBounds(0, 0, 200, 200);
  auto* framed = new TMouseProbe;
  framed->SetParent(&parent);
  framed->SetControlStyle(framed->GetControlStyle() + TControlStyle{csFramed});
  framed->SetBounds(10, 10, 50, 50);
  framed->HandleNeeded();
  auto* other = new TMouseProbe;
  other->SetParent(&parent);
  other->SetBounds(100, 100, 50, 50);

  // The sunken edge of 2 pixels lies outside the client area.
  Mouse(framed->GetPeer(), QEvent::MouseButtonPress, QPoint(2, 3));
  EXPECT_EQ(framed->Log.back(), "down 0,1");
  EXPECT_EQ(GetCaptureControl(), framed) << "a press captures the mouse";
  // While captured, moves over another control reach the captured one in
  // its own coordinates.
  Mouse(other->GetPeer(), QEvent::MouseMove, QPoint(5, 5));
  EXPECT_TRUE(other->Log.empty());
  EXPECT_EQ(framed->Log.back(), "move 93,93");
  Mouse(framed->GetPeer(), QEvent::MouseButtonRelease, QPoint(2, 3));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  Mouse(other->GetPeer(), QEvent::MouseMove, QPoint(5, 5));
  EXPECT_EQ(other->Log.back(), "move 5,5");

  // A release outside the control is no click.
  framed->Log.clear();
  Mouse(framed->GetPeer(), QEvent::MouseButtonPress, QPoint(10, 10));
  Mouse(framed->GetPeer(), QEvent::MouseButtonRelease, QPoint(80, 10));
  EXPECT_EQ(framed->Log, (std::vector<std::string>{"down 8,8", "up"}));
}

TEST(Input, WheelTurnsComeIn120AndGoToTheParentWhenNotTaken) {
  struct TRow {
    std::vector<int> Deltas;  // what the window system sends
    bool ChildTakes;          // the child's OnMouseWheel sets Handled
    int ChildUps, ChildDowns, ParentWheels;
  };
  const std::vector<TRow> rows = {
      {{120}, false, 1, 0, 0},     {{-240}, false, 0, 2, 0},   {{60, 60}, false, 1, 0, 1},
      {{120}, true, 0, 0, 0},      {{-40, -40, -40}, false, 0, 1, 2},
  };
  for (const TRow& r : rows) {
    TMouseProbe parent;
    parent.SetBounds(0, 0, 100, 100);
    auto* child = new TMouseProbe;
    child->SetParent(&parent);
    child->SetBounds(0, 0, 50, 50);
    int ups = 0, downs = 0, parentWheels = 0;
    std::vector<int> seen;
    child->OnMouseWheel = [&](TObject*, TShiftState, Integer Delta, TPoint, bool& Handled) {
      seen.push_back(Delta);
      Handled = r.ChildTakes;
    };
    child->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool& Handled) { ++ups, Handled = true; };
    child->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& Handled) { ++downs, Handled = true; };
    parent.OnMouseWheel = [&](TObject*, TShiftState, Integer, TPoint, bool& Handled) {
      ++parentWheels;
      Handled = true;
    };
    for (int d : r.Deltas) Wheel(child->GetPeer(), QPoint(3, 4), d);
    EXPECT_EQ(seen, r.Deltas) << "the child sees every raw delta";
    EXPECT_EQ(ups, r.ChildUps);
    EXPECT_EQ(downs, r.ChildDowns);
    EXPECT_EQ(parentWheels, r.ParentWheels) << "parts of a notch go on to the parent";
  }
}

TEST(Input, WheelMessageCarriesTheSignedDeltaAndScreenPosition) {
  class TWheelProbe : public TCustomControl {
   public:
    TMessage Last;
    void WndProc(TMessage& M) override {
      if (M.Msg == WM_MOUSEWHEEL) Last = M;
      TCustomControl::WndProc(M);
    }
  } p;
  p.SetBounds(0, 0, 50, 50);
  Wheel(p.GetPeer(), QPoint(3, 4), -120, Qt::ControlModifier);
  EXPECT_EQ(static_cast<SmallInt>(HIWORD(p.Last.WParam)), -120);
  EXPECT_EQ(LOWORD(p.Last.WParam), MK_CONTROL);
  const QPoint g = p.GetPeer()->mapToGlobal(QPoint(3, 4));
  EXPECT_EQ(static_cast<SmallInt>(LOWORD(p.Last.LParam)), g.x());
  EXPECT_EQ(static_cast<SmallInt>(HIWORD(p.Last.LParam)), g.y());
}

TEST(Input, KeysArriveAsVirtualKeyCodesWithTheShiftState) {
  struct TRow {
    int QtKey;
    Qt::KeyboardModifiers Mods;
    Word Vk;
    TShiftState Shift;
  };
  const std::vector<TRow> rows = {
      {Qt::Key_A, Qt::ShiftModifier, 'A', {ssShift}},
      {Qt::Key_Z, Qt::ControlModifier, 'Z', {ssCtrl}},
      {Qt::Key_7, Qt::NoModifier, '7', {}},
      {Qt::Key_5, Qt::KeypadModifier, static_cast<Word>(VK_NUMPAD0 + 5), {}},
      {Qt::Key_Plus, Qt::KeypadModifier, VK_ADD, {}},
      {Qt::Key_Minus, Qt::NoModifier, VK_OEM_MINUS, {}},
      {Qt::Key_F5, Qt::AltModifier, static_cast<Word>(VK_F1 + 4), {ssAlt}},
      {Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier, VK_LEFT, {ssShift, ssCtrl}},
      {Qt::Key_PageDown, Qt::NoModifier, VK_NEXT, {}},
      {Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN, {}},
      {Qt::Key_Escape, Qt::NoModifier, VK_ESCAPE, {}},
      {Qt::Key_Delete, Qt::NoModifier, VK_DELETE, {}},
  };
  TMouseProbe p;
  p.SetBounds(0, 0, 10, 10);
  Word key = 0, up = 0;
  TShiftState shift;
  p.OnKeyDown = [&](TObject*, Word& K, TShiftState S) { key = K, shift = S; };
  p.OnKeyUp = [&](TObject*, Word& K, TShiftState) { up = K; };
  for (const TRow& r : rows) {
    key = up = 0;
    Key(p.GetPeer(), r.QtKey, r.Mods);
    EXPECT_EQ(key, r.Vk) << "Qt key " << r.QtKey;
    EXPECT_EQ(up, r.Vk);
    EXPECT_TRUE(shift == r.Shift) << "Qt key " << r.QtKey;
  }
}

TEST(Input, KeyPreviewAndConsumedKeysStopTheChain) {
  TForm form;
  form.SetBounds(0, 0, 200, 100);
  auto* edit = new TEdit;
  edit->SetParent(&form);
  std::vector<std::string> log;
  form.OnKeyDown = [&](TObject*, Word& K, TShiftState) {
    log.push_back("form " + std::to_string(K));
    if (K == 'Q') K = 0;
  };
  edit->OnKeyDown = [&](TObject*, Word& K, TShiftState) { log.push_back("edit " + std::to_string(K)); };
  edit->OnKeyPress = [&](TObject*, char& C) {
    log.push_back(std::string("char ") + C);
    if (C == 'x') C = '\0';
  };

  Key(edit->GetWidget(), Qt::Key_B, Qt::NoModifier, "b");
  EXPECT_EQ(log, (std::vector<std::string>{"edit 66", "char b"})) << "without preview the form sees nothing";
  EXPECT_EQ(edit->GetText(), "b") << "keys nobody consumed reach the Qt widget";

  form.SetKeyPreview(true);
  log.clear();
  Key(edit->GetWidget(), Qt::Key_Q, Qt::NoModifier, "q");
  EXPECT_EQ(log, (std::vector<std::string>{"form 81"})) << "the form consumed it first";
  log.clear();
  Key(edit->GetWidget(), Qt::Key_X, Qt::NoModifier, "x");
  EXPECT_EQ(log, (std::vector<std::string>{"form 88", "edit 88", "char x"}));
  EXPECT_EQ(edit->GetText(), "b") << "a consumed character is not typed";
}

TEST(Input, KeyStateAndPointerPositionCanBeForced) {
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
  TestHooks::SetKeyState(VK_CONTROL, true);
  EXPECT_LT(GetKeyState(VK_CONTROL), 0);
  TestHooks::SetPointerPos(TPoint{-20, 30});
  EXPECT_EQ(GetCursorPos(), (TPoint{-20, 30}));
  TestHooks::Reset();
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
}
