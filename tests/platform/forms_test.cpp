// Forms: geometry from the metrics, the modal loop driven by a script,
// default and cancel buttons, the close button, activation after a modal
// form closes, message boxes, exceptions and the manual timer clock.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <string>
#include <vector>

#include "window_kit.h"
#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"

using namespace window_kit;

namespace {

struct THooks : ::testing::Test {
  void TearDown() override { TestHooks::Reset(); }
};
using Forms = THooks;

/// A dialog with an edit, OK (default, mrOk) and Cancel (cancel, mrCancel).
struct TDialog {
  TForm Form;
  TEdit* Edit = new TEdit;
  TButton* Ok = new TButton;
  TButton* Cancel = new TButton;
  TDialog() {
    Form.SetBounds(0, 0, 300, 200);
    for (TWinControl* c : {static_cast<TWinControl*>(Edit), static_cast<TWinControl*>(Ok),
                           static_cast<TWinControl*>(Cancel)})
      c->SetParent(&Form);
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
  }
};

}  // namespace

TEST_F(Forms, OuterSizeHoldsFrameCaptionAndMenu) {
  struct TRow {
    TFormBorderStyle Border;
    bool Menu;
    Integer ClientW, ClientH;
  };
  const std::vector<TRow> rows = {
      {bsSizeable, true, 857, 557}, {bsSizeable, false, 857, 576}, {bsDialog, false, 859, 578},
      {bsNone, false, 865, 603},    {bsToolWindow, false, 859, 582},
  };
  for (const TRow& r : rows) {
    TForm form;
    TMainMenu menu;
    auto* file = new TMenuItem;
    file->SetCaption("&File");
    menu.GetItems()->Add(file);
    form.SetBorderStyle(r.Border);
    if (r.Menu) form.SetMenu(&menu);
    form.SetBounds(10, 20, 865, 603);
    EXPECT_EQ(form.GetClientWidth(), r.ClientW) << "border " << int(r.Border);
    EXPECT_EQ(form.GetClientHeight(), r.ClientH) << "border " << int(r.Border);
    form.SetMenu(nullptr);
  }
  // The metrics are ours to change.
  SetSystemMetricsOverride(SM_CYCAPTION, 30);
  TForm form;
  form.SetBounds(0, 0, 100, 100);
  EXPECT_EQ(form.GetClientHeight(), 100 - 8 - 30);
  ClearSystemMetricsOverrides();
  TForm other;
  other.SetClientHeight(50);
  EXPECT_EQ(other.GetHeight(), 50 + 8 + 19);
}

TEST_F(Forms, ShowModalRunsUntilModalResultIsSet) {
  struct TRow {
    const char* Name;
    std::function<void(TDialog&)> Step;  // what the "user" does
    TModalResult Expected;
  };
  const std::vector<TRow> rows = {
      {"OK clicked", [](TDialog& d) { Click(d.Ok->GetWidget(), QPoint(3, 3)); }, mrOk},
      {"Enter in the edit clicks the default button", [](TDialog& d) { Key(d.Edit->GetWidget(), Qt::Key_Return); },
       mrOk},
      {"Esc clicks the cancel button", [](TDialog& d) { Key(d.Edit->GetWidget(), Qt::Key_Escape); }, mrCancel},
      {"the window's close button cancels",
       [](TDialog& d) {
         QCloseEvent e;
         QApplication::sendEvent(d.Form.GetPeer(), &e);
       },
       mrCancel},
      {"ModalResult set in code", [](TDialog& d) { d.Form.SetModalResult(mrRetry); }, mrRetry},
      {"a step that leaves the form open cancels it", [](TDialog&) {}, mrCancel},
      {"a disabled default button is not clicked",
       [](TDialog& d) {
         d.Ok->SetEnabled(false);
         Key(d.Edit->GetWidget(), Qt::Key_Return);
       },
       mrCancel},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    TDialog d;
    bool shownDuring = false;
    TestHooks::PushModalStep([&](TCustomForm* F) {
      shownDuring = F->GetVisible() && F->GetModal();
      r.Step(d);
    });
    EXPECT_EQ(d.Form.ShowModal(), r.Expected);
    EXPECT_TRUE(shownDuring);
    EXPECT_FALSE(d.Form.GetVisible()) << "hidden afterwards";
    EXPECT_FALSE(d.Form.GetModal());
    // The hidden form no longer blocks input to the other windows.
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST_F(Forms, CloseQueryAndOnClickCanKeepAModalFormOpen) {
  TDialog d;
  int queries = 0;
  d.Form.OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = ++queries > 1; };
  d.Ok->OnClick = [&](TObject*) {
    if (d.Edit->GetText().empty()) d.Form.SetModalResult(mrNone);  // refuse without a name
  };
  std::vector<TModalResult> seen;
  TestHooks::PushModalStep([&](TCustomForm*) {
    d.Ok->Click();  // refused by OnClick
    seen.push_back(d.Form.GetModalResult());
  });
  TestHooks::PushModalStep([&](TCustomForm*) {
    d.Edit->SetText("name");
    d.Ok->Click();  // refused once by OnCloseQuery
  });
  TestHooks::PushModalStep([&](TCustomForm*) { d.Ok->Click(); });
  EXPECT_EQ(d.Form.ShowModal(), mrOk);
  EXPECT_EQ(seen, std::vector<TModalResult>{mrNone});
  EXPECT_EQ(queries, 2);
  EXPECT_THROW(
      {
        d.Form.Show();
        d.Form.ShowModal();
      },
      EInvalidOperation)
      << "a visible form cannot become modal";
}

TEST_F(Forms, OnActivateFiresAgainWhenAModalChildCloses) {
  std::vector<std::string> log;
  TForm main;
  main.SetBounds(0, 0, 400, 300);
  main.OnActivate = [&](TObject*) { log.push_back("main activate"); };
  main.OnDeactivate = [&](TObject*) { log.push_back("main deactivate"); };
  TForm child;
  child.SetBounds(0, 0, 200, 100);
  child.SetPosition(poMainFormCenter);
  child.OnShow = [&](TObject*) { log.push_back("child show"); };
  child.OnActivate = [&](TObject*) { log.push_back("child activate"); };
  child.OnDeactivate = [&](TObject*) { log.push_back("child deactivate"); };
  Application->SetMainForm(&main);
  main.Show();
  EXPECT_TRUE(main.GetActive());
  for (int i = 0; i < 2; ++i) {
    TestHooks::PushModalStep([&](TCustomForm* F) {
      log.push_back("step");
      EXPECT_TRUE(F->GetActive());
      F->SetModalResult(mrOk);
    });
    child.ShowModal();
  }
  EXPECT_EQ(log, (std::vector<std::string>{"main activate", "child show", "main deactivate", "child activate", "step",
                                           "child deactivate", "main activate", "child show", "main deactivate",
                                           "child activate", "step", "child deactivate", "main activate"}));
  EXPECT_EQ(child.GetLeft(), 100) << "centred on the main form once";
  EXPECT_EQ(child.GetTop(), 100);
  EXPECT_EQ(Screen->GetActiveForm(), &main);
  Application->SetMainForm(nullptr);
}

TEST_F(Forms, CloseOfAModelessFormAsksAndHides) {
  TForm form;
  TCloseAction action = caHide;
  bool allow = false;
  form.OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
  form.OnClose = [&](TObject*, TCloseAction& A) { A = action; };
  form.Show();
  form.Close();
  EXPECT_TRUE(form.GetVisible()) << "OnCloseQuery refused";
  allow = true;
  action = caNone;
  form.Close();
  EXPECT_TRUE(form.GetVisible()) << "OnClose chose to do nothing";
  action = caHide;
  form.Close();
  EXPECT_FALSE(form.GetVisible());
}

TEST_F(Forms, MessageBoxesAndExceptionsGoToTheSinks) {
  std::vector<std::string> boxes, errors;
  TestHooks::SetMessageBoxSink([&](const String& Text, const String& Caption, Integer Flags) {
    boxes.push_back(Caption + ": " + Text + " " + std::to_string(Flags));
    return IDYES;
  });
  TestHooks::SetExceptionSink([&](const String& Message) { errors.push_back(Message); });
  Application->SetTitle("Velmoran");
  EXPECT_EQ(Application->MessageBox("Replace?", "", MB_YESNO | MB_ICONQUESTION), IDYES);
  ShowMessage("Done");
  Application->HandleException([] { throw EConvertError("bad number"); });
  Application->HandleException([] { throw EAbort(); });  // silent
  EXPECT_EQ(boxes, (std::vector<std::string>{"Velmoran: Replace? 36", "Velmoran: Done 0"}));
  EXPECT_EQ(errors, std::vector<std::string>{"bad number"});
}

TEST_F(Forms, ManualClockFiresTimersInDueOrder) {
  TestHooks::SetManualTimers(true);
  std::vector<std::string> log;
  TTimer fast, slow;
  fast.SetInterval(100);
  slow.SetInterval(250);
  fast.SetOnTimer([&](TObject*) { log.push_back("fast"); });
  slow.SetOnTimer([&](TObject*) {
    log.push_back("slow");
    slow.SetEnabled(false);  // a tick may stop its timer
  });
  EXPECT_FALSE(fast.GetActive()) << "no Qt timer runs under the manual clock";
  TestHooks::AdvanceTimers(99);
  EXPECT_TRUE(log.empty());
  TestHooks::AdvanceTimers(401);
  EXPECT_EQ(log, (std::vector<std::string>{"fast", "fast", "slow", "fast", "fast", "fast"}));
}
