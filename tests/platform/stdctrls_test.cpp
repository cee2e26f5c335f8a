// The event rules of the standard controls: which events fire for a change
// made in code and which only for the user's action.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "window_kit.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

using namespace window_kit;

TEST(StdCtrls, EventsFireByTheRulesOfEachControl) {
  RunEventRows({
      {"edit: text set in code fires OnChange",
       [](TForm& f, int& n) {
         auto* e = Make<TEdit>(f);
         e->OnChange = [&](TObject*) { ++n; };
         e->SetText("12");
         e->SetText("12");  // no change, no event
       },
       1},
      {"edit: typing fires OnChange per character and sets Modified",
       [](TForm& f, int& n) {
         auto* e = Make<TEdit>(f);
         e->OnChange = [&](TObject*) { ++n; };
         Key(e->GetWidget(), Qt::Key_4, Qt::NoModifier, "4");
         Key(e->GetWidget(), Qt::Key_2, Qt::NoModifier, "2");
         EXPECT_EQ(e->GetText(), "42");
         EXPECT_TRUE(e->GetModified());
       },
       2},
      {"check box: Checked set in code fires OnClick on a real change only",
       [](TForm& f, int& n) {
         auto* c = Make<TCheckBox>(f);
         c->OnClick = [&](TObject*) { ++n; };
         c->SetChecked(true);
         c->SetChecked(true);
         c->SetChecked(false);
       },
       2},
      {"check box: the user's click fires OnClick and flips Checked",
       [](TForm& f, int& n) {
         auto* c = Make<TCheckBox>(f);
         c->OnClick = [&](TObject*) { ++n; };
         static_cast<QAbstractButton*>(c->GetWidget())->click();
         EXPECT_TRUE(c->GetChecked());
       },
       1},
      {"check box: grayed needs AllowGrayed",
       [](TForm& f, int& n) {
         auto* c = Make<TCheckBox>(f);
         c->OnClick = [&](TObject*) { ++n; };
         c->SetState(cbGrayed);
         EXPECT_EQ(c->GetState(), cbUnchecked);
         c->SetAllowGrayed(true);
         c->SetState(cbGrayed);
         EXPECT_EQ(c->GetState(), cbGrayed);
       },
       1},
      {"radio buttons: checking one in code fires its OnClick and unchecks the sibling silently",
       [](TForm& f, int& n) {
         auto* a = Make<TRadioButton>(f);
         auto* b = Make<TRadioButton>(f);
         a->OnClick = [&](TObject*) { n += 1; };
         b->OnClick = [&](TObject*) { n += 10; };
         a->SetChecked(true);
         b->SetChecked(true);
         EXPECT_FALSE(a->GetChecked());
         a->SetChecked(false);  // already unchecked
       },
       11},
      {"radio buttons in different parents do not exclude each other",
       [](TForm& f, int& n) {
         auto* a = Make<TRadioButton>(f);
         auto* box = Make<TGroupBox>(f);
         auto* b = new TRadioButton;
         b->SetParent(box);
         a->SetChecked(true);
         b->SetChecked(true);
         n = a->GetChecked() + b->GetChecked();
       },
       2},
      {"button: Click in code and the user's click both fire OnClick",
       [](TForm& f, int& n) {
         auto* b = Make<TButton>(f);
         b->OnClick = [&](TObject*) { ++n; };
         b->Click();
         Click(b->GetWidget(), QPoint(5, 5));
       },
       2},
      {"panel: the user's click fires OnClick, a press released outside does not",
       [](TForm& f, int& n) {
         auto* p = Make<TPanel>(f);
         p->SetBounds(0, 0, 40, 21);
         p->OnClick = [&](TObject*) { ++n; };
         Click(p->GetWidget(), QPoint(5, 5));
         Mouse(p->GetWidget(), QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
         Mouse(p->GetWidget(), QEvent::MouseButtonRelease, QPoint(80, 5), Qt::LeftButton);
       },
       1},
      {"button: a disabled button ignores the user",
       [](TForm& f, int& n) {
         auto* b = Make<TButton>(f);
         b->OnClick = [&](TObject*) { ++n; };
         b->SetEnabled(false);
         Click(b->GetWidget(), QPoint(5, 5));
       },
       0},
  });
}

TEST(StdCtrls, EditLimitsAndSelection) {
  TEdit e;
  e.SetMaxLength(3);
  e.SetText("12345");
  EXPECT_EQ(e.GetText(), "123") << "the text follows what the widget holds";
  e.SetSelStart(1);
  e.SetSelLength(2);
  EXPECT_EQ(e.GetSelText(), "23");
  e.SetReadOnly(true);
  Key(e.GetWidget(), Qt::Key_9, Qt::NoModifier, "9");
  EXPECT_EQ(e.GetText(), "123");
}

TEST(StdCtrls, LabelSizesToItsTextAndTakesNoFocus) {
  TForm form;
  auto* label = new TLabel;
  label->SetParent(&form);
  label->SetCaption("A longer caption");
  const Integer wide = label->GetWidth();
  label->SetCaption("A");
  EXPECT_GT(wide, label->GetWidth());
  EXPECT_GT(label->GetHeight(), 0);
  EXPECT_EQ(dynamic_cast<TWinControl*>(static_cast<TControl*>(label)), nullptr);
  label->SetAutoSize(false);
  label->SetBounds(0, 0, 200, 40);
  label->SetCaption("A longer caption");
  EXPECT_EQ(label->GetWidth(), 200);
}

// A group box's inside is its own colour all over, so the controls placed on
// it (which fill with that colour) show no patches; its frame is etched from
// the middle of the caption line down, broken where the caption sits.
TEST(StdCtrls, GroupBoxInsideMatchesTheControlsOnIt) {
  TWinControl form;
  form.SetBounds(0, 0, 240, 120);
  QWidget window;
  form.SetParentWindow(&window);
  auto* box = new TGroupBox;
  box->SetParent(&form);
  box->SetBounds(10, 10, 220, 100);
  box->SetCaption("Settings");
  auto* check = new TCheckBox;
  check->SetParent(box);
  check->SetBounds(10, 30, 150, 17);
  check->SetCaption("Use Auto WB");
  window.resize(240, 120);
  window.show();
  QApplication::processEvents();

  const QImage shot = box->GetPeer()->grab().toImage();
  const QColor face = shot.pixelColor(200, 60);
  EXPECT_EQ(face, QColor(240, 240, 240)) << "the inside is the face colour, untinted";
  EXPECT_EQ(shot.pixelColor(10 + 148, 30 + 8), face) << "the check box's own fill, right of its text";
  EXPECT_EQ(shot.pixelColor(100, 95), face);
  const int top = QFontMetrics(box->GetWidget()->font()).height() / 2;
  EXPECT_EQ(shot.pixelColor(200, top), QColor(160, 160, 160)) << "the frame's top edge, right of the caption";
  EXPECT_EQ(shot.pixelColor(200, top + 1), QColor(255, 255, 255)) << "etched: its highlight below";
  EXPECT_EQ(shot.pixelColor(0, 60), QColor(160, 160, 160)) << "the left edge";
  EXPECT_EQ(shot.pixelColor(7, top), QColor(160, 160, 160));
  EXPECT_NE(shot.pixelColor(12, top), QColor(160, 160, 160)) << "the caption breaks the top edge";
}
