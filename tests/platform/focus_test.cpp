// Focus: SetFocus, OnEnter and OnExit, the form's active control, and the
// controls that cannot take the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "window_kit.h"

using namespace window_kit;

TEST(Focus, SetFocusMovesTheFocusAndTellsBothControls) {
  TForm form;
  form.SetBounds(0, 0, 300, 200);
  auto* first = Make<TEdit>(form);
  auto* second = Make<TEdit>(form);
  second->SetTop(30);
  std::vector<std::string> log;
  first->OnEnter = [&](TObject*) { log.push_back("enter 1"); };
  first->OnExit = [&](TObject*) { log.push_back("exit 1"); };
  second->OnEnter = [&](TObject*) { log.push_back("enter 2"); };
  form.SetActiveControl(first);  // before showing: focused when shown
  form.Show();
  QApplication::processEvents();
  EXPECT_TRUE(first->Focused());
  second->SetFocus();
  QApplication::processEvents();
  EXPECT_TRUE(second->Focused());
  EXPECT_FALSE(first->Focused());
  EXPECT_EQ(form.GetActiveControl(), second);
  EXPECT_EQ(log, (std::vector<std::string>{"enter 1", "exit 1", "enter 2"}));

  second->SetEnabled(false);
  EXPECT_FALSE(second->CanFocus());
  EXPECT_THROW(second->SetFocus(), EInvalidOperation);
  first->SetVisible(false);
  EXPECT_THROW(first->SetFocus(), EInvalidOperation);
  TForm other;
  EXPECT_THROW(form.SetActiveControl(Make<TEdit>(other)), EInvalidOperation) << "not inside this form";
}
