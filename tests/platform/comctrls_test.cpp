// The event rules of the common controls: changes in code fire OnChange on
// track bars only; combo boxes, list boxes, page controls and up-downs
// speak only for the user.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QTabBar>
#include <string>
#include <vector>

#include "window_kit.h"
#include "platform/comctrls.h"
#include "platform/forms.h"

using namespace window_kit;

TEST(ComCtrls, EventsFireByTheRulesOfEachControl) {
  RunEventRows({
      {"track bar: a position set in code fires OnChange once, after clamping",
       [](TForm& f, int& n) {
         auto* t = Make<TTrackBar>(f);
         t->SetMax(180);
         t->OnChange = [&](TObject*) { ++n; };
         t->SetPosition(500);
         EXPECT_EQ(t->GetPosition(), 180);
         t->SetPosition(180);
       },
       1},
      {"track bar: lowering Max below the position moves it and tells",
       [](TForm& f, int& n) {
         auto* t = Make<TTrackBar>(f);
         t->SetPosition(8);
         t->OnChange = [&](TObject*) { ++n; };
         t->SetMax(5);
         EXPECT_EQ(t->GetPosition(), 5);
       },
       1},
      {"combo box: ItemIndex and Text set in code are silent",
       [](TForm& f, int& n) {
         auto* c = Make<TComboBox>(f);
         c->SetStyle(csDropDownList);
         c->GetItems()->SetCommaText("25%,50%,100%");
         c->OnChange = [&](TObject*) { ++n; };
         c->OnClick = [&](TObject*) { ++n; };
         c->SetItemIndex(1);
         EXPECT_EQ(c->GetText(), "50%");
         c->SetText("100%");
         EXPECT_EQ(c->GetItemIndex(), 2);
         c->GetItems()->Delete(0);
       },
       0},
      {"combo box: the user's choice fires OnClick and OnChange",
       [](TForm& f, int& n) {
         auto* c = Make<TComboBox>(f);
         c->SetStyle(csDropDownList);
         c->GetItems()->SetCommaText("a,b");
         c->OnChange = [&](TObject*) { n += 10; };
         c->OnClick = [&](TObject*) { n += 1; };
         auto* q = static_cast<QComboBox*>(c->GetWidget());
         q->setCurrentIndex(1);
         emit q->activated(1);
         EXPECT_EQ(c->GetText(), "b");
       },
       11},
      {"list box: ItemIndex in code is silent, the user's selection clicks",
       [](TForm& f, int& n) {
         auto* l = Make<TListBox>(f);
         l->GetItems()->SetCommaText("x,y,z");
         l->OnClick = [&](TObject*) { ++n; };
         l->SetItemIndex(2);
         EXPECT_EQ(l->GetItemIndex(), 2);
         static_cast<QListWidget*>(l->GetWidget())->setCurrentRow(0);  // as a click does
         EXPECT_EQ(l->GetItemIndex(), 0);
       },
       1},
      {"check list box: Checked in code is silent, the user's toggle is not",
       [](TForm& f, int& n) {
         auto* l = Make<TCheckListBox>(f);
         l->GetItems()->Add("sharpen");
         l->OnClickCheck = [&](TObject*) { ++n; };
         l->SetChecked(0, true);
         EXPECT_TRUE(l->GetChecked(0));
         static_cast<QListWidget*>(l->GetWidget())->item(0)->setCheckState(Qt::Unchecked);
         EXPECT_FALSE(l->GetChecked(0));
       },
       1},
  });
}

TEST(ComCtrls, PageControlIsSilentInCodeAndLetsOnChangingVetoTheUser) {
  TForm form;
  form.SetBounds(0, 0, 400, 300);
  auto* pages = Make<TPageControl>(form);
  pages->SetBounds(0, 0, 289, 193);
  std::vector<TTabSheet*> sheets;
  for (const char* caption : {"JPEG", "TIFF", "GIF"}) {
    auto* s = new TTabSheet;
    s->SetCaption(caption);
    s->SetPageControl(pages);
    sheets.push_back(s);
  }
  EXPECT_EQ(pages->GetActivePage(), sheets[0]) << "the first sheet shows";
  // Sheets added behind the active one stay hidden (they used to show on
  // top of it, the last one added winning).
  EXPECT_FALSE(sheets[1]->GetVisible());
  EXPECT_FALSE(sheets[2]->GetVisible());
  EXPECT_EQ(sheets[0]->GetBoundsRect(), (TRect{4, 24, 285, 189})) << "sheets fill the area below the tabs";
  std::vector<std::string> log;
  bool allow = true;
  pages->OnChanging = [&](TObject*, bool& Allow) {
    log.push_back("changing");
    Allow = allow;
  };
  pages->OnChange = [&](TObject*) { log.push_back("change " + std::to_string(pages->GetActivePageIndex())); };

  pages->SetActivePageIndex(2);
  EXPECT_TRUE(log.empty()) << "set in code: no events";
  EXPECT_TRUE(sheets[2]->GetVisible());
  EXPECT_FALSE(sheets[0]->GetVisible());

  auto* bar = pages->GetWidget()->findChild<QTabBar*>();
  Mouse(bar, QEvent::MouseButtonPress, bar->tabRect(1).center());
  EXPECT_EQ(log, (std::vector<std::string>{"changing", "change 1"}));
  allow = false;
  Mouse(bar, QEvent::MouseButtonPress, bar->tabRect(0).center());
  EXPECT_EQ(pages->GetActivePageIndex(), 1) << "vetoed";
  EXPECT_EQ(log.size(), 3u);

  // A sheet without a tab cannot be shown; hiding the active one moves on.
  sheets[0]->SetTabVisible(false);
  pages->SetActivePage(sheets[0]);
  EXPECT_EQ(pages->GetActivePageIndex(), 1);
  sheets[1]->SetTabVisible(false);
  EXPECT_FALSE(sheets[1]->GetVisible()) << "a sheet that loses its tab is hidden";
  EXPECT_EQ(pages->GetActivePage(), sheets[2]);
  delete sheets[2];
  EXPECT_EQ(pages->GetPageCount(), 2);
  EXPECT_EQ(pages->GetActivePage(), nullptr) << "no sheet with a tab is left";
}

TEST(ComCtrls, UpDownStepsItsEditWithoutThousandsSeparators) {
  TForm form;
  auto* edit = Make<TEdit>(form);
  edit->SetBounds(10, 10, 80, 21);
  auto* ud = Make<TUpDown>(form);
  ud->SetMax(32767);
  int changes = 0, clicks = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  ud->OnClick = [&](TObject*, TUDBtnType) { ++clicks; };
  ud->SetAssociate(edit);
  EXPECT_EQ(ud->GetLeft(), edit->GetLeft() + edit->GetWidth()) << "placed at the edit's right end";
  EXPECT_EQ(edit->GetWidth() + ud->GetWidth(), 80);
  EXPECT_EQ(edit->GetText(), "0");

  ud->SetPosition(1000);
  EXPECT_EQ(edit->GetText(), "1000");
  EXPECT_EQ(clicks, 0) << "a position set in code is no click";
  EXPECT_EQ(changes, 2) << "but the edit's text changed twice";

  edit->SetText("41");  // typed by the user
  ud->ButtonClick(btNext);
  EXPECT_EQ(ud->GetPosition(), 42);
  EXPECT_EQ(edit->GetText(), "42");
  EXPECT_EQ(clicks, 1);

  ud->SetWrap(true);
  ud->SetPosition(32767);
  ud->ButtonClick(btNext);
  EXPECT_EQ(ud->GetPosition(), 0);
  ud->SetWrap(false);
  ud->ButtonClick(btPrev);
  EXPECT_EQ(ud->GetPosition(), 0) << "clamped without wrap";
}

TEST(ComCtrls, ProgressBarClampsItsPosition) {
  TProgressBar bar;
  bar.SetPosition(150);
  EXPECT_EQ(bar.GetPosition(), 100);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.GetPosition(), 0);
  bar.StepIt();
  EXPECT_EQ(bar.GetPosition(), 10);
  bar.SetMax(5);
  EXPECT_EQ(bar.GetPosition(), 5);
}
