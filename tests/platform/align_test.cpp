// The align engine and anchors: aligned children take strips off the
// parent's client area in the order top, bottom, left, right, client;
// anchored children keep their distances when the parent is resized.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/controls.h"
#include "platform/stdctrls.h"

namespace {

class TBox : public TWinControl {
 public:
  TBox() { SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls}); }
};

struct TChild {
  TAlign Align;
  TRect Start;  // bounds set before aligning (Left, Top, Width, Height in Right/Bottom)
  bool Visible;
  TRect Expected;  // Left, Top, Width, Height
};

struct TAlignCase {
  const char* Name;
  std::vector<TChild> Children;
};

TRect Bounds(TControl* C) { return TRect{C->GetLeft(), C->GetTop(), C->GetWidth(), C->GetHeight()}; }

}  // namespace

TEST(Align, ChildrenTakeStripsInTheOrderTopBottomLeftRightClient) {
  // Parent client area 200 x 100. Rows: align, start bounds, visible, result.
  const std::vector<TAlignCase> cases = {
      {"one of each, added client first",
       {{alClient, {0, 0, 10, 10}, true, {30, 20, 130, 50}},
        {alRight, {0, 0, 40, 10}, true, {160, 20, 40, 50}},
        {alLeft, {0, 0, 30, 10}, true, {0, 20, 30, 50}},
        {alBottom, {0, 0, 10, 30}, true, {0, 70, 200, 30}},
        {alTop, {0, 0, 10, 20}, true, {0, 0, 200, 20}}}},
      {"two tops keep their order by Top, whatever the child order",
       {{alTop, {0, 50, 10, 15}, true, {0, 10, 200, 15}}, {alTop, {0, 5, 10, 10}, true, {0, 0, 200, 10}}}},
      {"two bottoms: the lower one sits at the edge",
       {{alBottom, {0, 90, 10, 10}, true, {0, 90, 200, 10}}, {alBottom, {0, 40, 10, 20}, true, {0, 70, 200, 20}}}},
      {"two rights: the one further right sits at the edge",
       {{alRight, {100, 0, 20, 10}, true, {160, 0, 20, 100}}, {alRight, {170, 0, 20, 10}, true, {180, 0, 20, 100}}}},
      {"an invisible child takes no room",
       {{alTop, {0, 0, 10, 30}, false, {0, 0, 10, 30}}, {alClient, {0, 0, 5, 5}, true, {0, 0, 200, 100}}}},
      {"strips larger than the room leave an empty client",
       {{alLeft, {0, 0, 150, 10}, true, {0, 0, 150, 100}},
        {alRight, {0, 0, 80, 10}, true, {120, 0, 80, 100}},
        {alClient, {0, 0, 5, 5}, true, {150, 0, 0, 100}}}},
      {"alNone children stay where they are",
       {{alNone, {7, 8, 9, 10}, true, {7, 8, 9, 10}}, {alTop, {0, 0, 10, 10}, true, {0, 0, 200, 10}}}},
  };
  for (const TAlignCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TBox parent;
    parent.SetBounds(0, 0, 200, 100);
    std::vector<TControl*> kids;
    parent.DisableAlign();
    for (const TChild& k : c.Children) {
      auto* child = new TBox;
      child->SetBounds(k.Start.Left, k.Start.Top, k.Start.Right, k.Start.Bottom);
      child->SetVisible(k.Visible);
      child->SetParent(&parent);
      child->SetAlign(k.Align);
      kids.push_back(child);
    }
    parent.EnableAlign();
    for (size_t i = 0; i < kids.size(); ++i) EXPECT_EQ(Bounds(kids[i]), c.Children[i].Expected) << "child " << i;
  }
}

TEST(Align, ResizingOrChangingAChildRealignsAtOnce) {
  TBox parent;
  parent.SetBounds(0, 0, 200, 100);
  auto* top = new TBox;
  top->SetParent(&parent);
  top->SetHeight(20);
  top->SetAlign(alTop);
  auto* client = new TBox;
  client->SetParent(&parent);
  client->SetAlign(alClient);
  EXPECT_EQ(Bounds(client), (TRect{0, 20, 200, 80}));

  int resized = 0;
  client->HandleNeeded();
  client->OnResize = [&](TObject*) { ++resized; };
  parent.SetBounds(0, 0, 300, 150);
  EXPECT_EQ(Bounds(top), (TRect{0, 0, 300, 20}));
  EXPECT_EQ(Bounds(client), (TRect{0, 20, 300, 130}));
  EXPECT_EQ(resized, 1) << "the client child hears of its new size once";

  top->SetHeight(50);  // a strip's own size change moves what follows it
  EXPECT_EQ(Bounds(client), (TRect{0, 50, 300, 100}));
  top->SetVisible(false);
  EXPECT_EQ(Bounds(client), (TRect{0, 0, 300, 150}));
  top->SetVisible(true);
  delete top;  // a child going away gives its room back
  EXPECT_EQ(Bounds(client), (TRect{0, 0, 300, 150}));
}

TEST(Align, AnchorsKeepTheDistancesToTheEdgesTheyHold) {
  struct TRow {
    const char* Name;
    TAnchors Anchors;
    TRect Expected;  // after the parent grows from 200 x 100 to 260 x 140
  };
  const std::vector<TRow> rows = {
      {"left top stays", {akLeft, akTop}, {10, 20, 30, 40}},
      {"right moves with the right edge", {akRight, akTop}, {70, 20, 30, 40}},
      {"left and right stretch", {akLeft, akRight, akTop}, {10, 20, 90, 40}},
      {"bottom moves down", {akLeft, akBottom}, {10, 60, 30, 40}},
      {"all four stretch both ways", {akLeft, akTop, akRight, akBottom}, {10, 20, 90, 80}},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    TBox parent;
    parent.SetBounds(0, 0, 200, 100);
    auto* child = new TBox;
    child->SetParent(&parent);
    child->SetBounds(10, 20, 30, 40);
    child->SetAnchors(r.Anchors);
    parent.SetBounds(0, 0, 260, 140);
    EXPECT_EQ(Bounds(child), r.Expected);
    parent.SetBounds(0, 0, 200, 100);
    EXPECT_EQ(Bounds(child), (TRect{10, 20, 30, 40})) << "and back";
  }
}

TEST(Align, PanelAndGroupBoxAlignInsideTheirFrames) {
  TPanel panel;
  panel.SetBounds(0, 0, 100, 60);
  panel.SetBorderWidth(2);
  auto* inPanel = new TBox;
  inPanel->SetParent(&panel);
  inPanel->SetAlign(alClient);
  EXPECT_EQ(Bounds(inPanel), (TRect{3, 3, 94, 54})) << "border 2 plus one raised bevel";

  // A tree in a 289-wide group box sits at (2, 15) and is 285 wide.
  TGroupBox box;
  box.SetBounds(0, 0, 289, 200);
  auto* tree = new TBox;
  tree->SetParent(&box);
  tree->SetAlign(alClient);
  EXPECT_EQ(Bounds(tree), (TRect{2, 15, 285, 183}));
}
