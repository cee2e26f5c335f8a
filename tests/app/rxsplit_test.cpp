// The splitter: split kinds from the alignments, the drag clamped by the
// limits, Esc and refusals, right-aligned controls, and a control that goes
// away while set.
#include <gtest/gtest.h>

#include "app/RXSplit.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

namespace {

LPARAM At(Integer X, Integer Y) { return MAKELPARAM(static_cast<Word>(X), static_cast<Word>(Y)); }

// A 300 x 400 box holding the tree, the bar and the list of the program's
// left panel: tree at the top (154 high), an 8-high bar, the list filling
// the rest.
struct SplitFixture : ::testing::Test {
  SplitFixture() {
    form.SetBounds(0, 0, 600, 600);
    box = new TPanel(&form);
    box->SetParent(&form);
    box->SetBevelOuter(bvNone);
    box->SetBounds(0, 0, 300, 400);
    tree = new TPanel(&form);
    tree->SetParent(box);
    tree->SetBounds(0, 0, 300, 154);
    tree->SetAlign(alTop);
    bar = new TRxSplitter(&form);
    bar->SetParent(box);
    bar->SetTop(154);
    bar->SetAlign(alTop);
    bar->SetHeight(8);
    list = new TPanel(&form);
    list->SetParent(box);
    list->SetAlign(alClient);
    bar->SetControlFirst(tree);
    bar->SetControlSecond(list);
    bar->SetTopLeftLimit(10);
    bar->SetBottomRightLimit(10);
  }
  void Drag(Integer FromY, Integer ToY) {
    bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, FromY));
    bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(5, ToY));
    bar->Perform(WM_LBUTTONUP, 0, At(5, ToY));
  }
  TForm form;
  TPanel* box;
  TPanel* tree;
  TRxSplitter* bar;
  TPanel* list;
};

}  // namespace

TEST_F(SplitFixture, KindAdjacentControlAndCursor) {
  EXPECT_EQ(bar->SplitKind(), skHeightFirst);
  EXPECT_EQ(bar->GetCursor(), crVSplit);
  EXPECT_EQ(bar->AdjacentControl(), tree);
  EXPECT_EQ(bar->GetTop(), 154);
  bar->SetControlFirst(bar);  // itself is refused
  EXPECT_EQ(bar->GetControlFirst(), nullptr);
  EXPECT_EQ(bar->SplitKind(), skNone);
  EXPECT_EQ(bar->GetCursor(), crDefault);
  bar->SetControlFirst(list);
  bar->SetControlSecond(tree);  // client first, top second: sizes the second
  EXPECT_EQ(bar->SplitKind(), skHeightSecond);
  // A first control at another edge than the bar: no kind.
  tree->SetAlign(alLeft);
  EXPECT_EQ(bar->SplitKind(), skNone);
}

TEST_F(SplitFixture, DragIsClampedByTheLimits) {
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 4));
  ASSERT_TRUE(bar->GetDragging());
  ASSERT_NE(bar->GetTrackLine(), nullptr);
  bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(5, 1000));
  EXPECT_EQ(bar->GetCursor(), crNoDrop) << "held at the limit";
  // The line runs through the bar's centre at the lowest place it may take.
  const TRect line = bar->GetTrackLine()->GetBoundsRect();
  EXPECT_EQ((line.Top + line.Bottom) / 2, 390 - 4);
  bar->Perform(WM_LBUTTONUP, 0, At(5, 1000));
  EXPECT_EQ(bar->GetTrackLine(), nullptr) << "no trace after the drag";
  EXPECT_EQ(bar->GetTop() + bar->GetHeight(), 400 - 10) << "lower edge 10 above the bottom";
  EXPECT_EQ(tree->GetHeight(), 382);

  Drag(4, -1000);
  EXPECT_EQ(bar->GetTop(), 10) << "upper edge 10 below the top";
  EXPECT_EQ(tree->GetHeight(), 10);

  Drag(4, 54);
  EXPECT_EQ(tree->GetHeight(), 60);
  EXPECT_EQ(bar->GetCursor(), crVSplit);
}

TEST_F(SplitFixture, EscAndRefusalsAndEvents) {
  int changed = 0;
  bar->OnPosChanged = [&](TObject*) { ++changed; };
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 4));
  bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(5, 60));
  ASSERT_TRUE(form.OnKeyDown) << "the drag borrows the form's key handler";
  Word key = VK_ESCAPE;
  form.OnKeyDown(&form, key, TShiftState{});
  EXPECT_EQ(key, 0);
  EXPECT_FALSE(bar->GetDragging());
  EXPECT_EQ(bar->GetTrackLine(), nullptr);
  EXPECT_EQ(tree->GetHeight(), 154) << "Esc leaves the sizes";
  EXPECT_FALSE(form.OnKeyDown) << "and gives the handler back";
  EXPECT_EQ(changed, 0);

  // Refused while moving: the line stays; refused at release: the last
  // line shown is applied.
  bool allow = true;
  bar->OnPosChanging = [&](TObject*, Integer, Integer, bool& Allow) { Allow = allow; };
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 4));
  bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(5, 24));
  allow = false;
  bar->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(5, 100));
  EXPECT_EQ(bar->GetCursor(), crNoDrop);
  bar->Perform(WM_LBUTTONUP, 0, At(5, 100));
  EXPECT_EQ(tree->GetHeight(), 174);
  EXPECT_EQ(changed, 0) << "no change event after a refused release";
  allow = true;
  Drag(4, 14);
  EXPECT_EQ(tree->GetHeight(), 184);
  EXPECT_EQ(changed, 1);
}

TEST_F(SplitFixture, RightAlignedFirstGrowsWhenDraggedLeft) {
  TPanel* side = new TPanel(&form);
  side->SetParent(&form);
  side->SetBounds(500, 0, 100, 600);
  side->SetAlign(alRight);
  TRxSplitter* v = new TRxSplitter(&form);
  v->SetParent(&form);
  v->SetBounds(300, 0, 3, 600);
  v->SetAlign(alRight);
  EXPECT_EQ(v->GetWidth(), 3);
  EXPECT_EQ(v->GetControlFirst(), side) << "the adjacent control";
  EXPECT_EQ(v->SplitKind(), skWidthFirst);
  EXPECT_EQ(v->GetCursor(), crHSplit);
  v->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(1, 5));
  v->Perform(WM_MOUSEMOVE, MK_LBUTTON, At(-19, 5));
  v->Perform(WM_LBUTTONUP, 0, At(-19, 5));
  EXPECT_EQ(side->GetWidth(), 120);
}

TEST_F(SplitFixture, FreedControlIsForgotten) {
  delete tree;
  EXPECT_EQ(bar->GetControlFirst(), nullptr);
  EXPECT_EQ(bar->GetCursor(), crDefault);
  bar->Perform(WM_LBUTTONDOWN, MK_LBUTTON, At(5, 4));
  EXPECT_FALSE(bar->GetDragging()) << "a press without a kind is ignored";
  bar->Perform(WM_LBUTTONUP, 0, At(5, 4));
}
