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

// The window given a new size from outside (the window manager, a dragged
// frame corner, maximising): the form's bounds follow and its controls
// align again, also when it shrinks below what they need.
TEST_F(Forms, AFormFollowsTheSizeOfItsWindow) {
  TForm form;
  form.SetBounds(0, 0, 400, 300);
  auto* bottom = Make<TPanel>(form);
  bottom->SetHeight(40);
  bottom->SetAlign(alBottom);
  auto* client = Make<TPanel>(form);
  client->SetAlign(alClient);
  int resizes = 0;
  form.OnResize = [&](TObject*) { ++resizes; };
  form.Show();
  QApplication::processEvents();
  // The window holds the client area; the frame and caption are the
  // window manager's (8 wide, 27 high with the default metrics).
  for (const QSize size : {QSize(900, 640), QSize(300, 200), QSize(60, 30)}) {
    SCOPED_TRACE(size.width());
    const int before = resizes;
    form.GetPeer()->resize(size);
    QApplication::processEvents();
    EXPECT_EQ(form.GetWidth(), size.width() + 8);
    EXPECT_EQ(form.GetHeight(), size.height() + 27);
    EXPECT_EQ(form.GetClientWidth(), size.width());
    EXPECT_GT(resizes, before);
    EXPECT_EQ(bottom->GetWidth(), size.width());
    EXPECT_EQ(bottom->GetTop(), size.height() - 40);
    EXPECT_EQ(client->GetWidth(), size.width());
    EXPECT_EQ(client->GetHeight(), std::max(0, size.height() - 40));
    EXPECT_EQ(client->GetPeer()->geometry(), QRect(0, 0, size.width(), std::max(0, size.height() - 40)));
  }
  // A size set in code still places the window.
  form.SetBounds(form.GetLeft(), form.GetTop(), 500, 400);
  EXPECT_EQ(form.GetPeer()->size(), QSize(492, 373));
}

// A modal form that closes gives the keyboard back to the control that had
// it in the window that opened it.
TEST_F(Forms, AModalFormGivesTheKeyboardBack) {
  TForm main;
  main.SetBounds(0, 0, 400, 300);
  auto* first = Make<TEdit>(main);
  auto* second = Make<TEdit>(main);
  second->SetTop(40);
  main.Show();
  main.GetPeer()->activateWindow();
  second->SetFocus();
  QApplication::processEvents();
  QWidget* had = QApplication::focusWidget();
  ASSERT_NE(had, nullptr);
  ASSERT_NE(had, first->GetPeer());
  TDialog d;
  TestHooks::PushModalStep([&](TCustomForm* F) {
    d.Edit->SetFocus();
    QApplication::processEvents();
    EXPECT_NE(QApplication::focusWidget(), had);
    F->SetModalResult(mrOk);
  });
  EXPECT_EQ(d.Form.ShowModal(), mrOk);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), had);
  EXPECT_EQ(QApplication::activeWindow(), main.GetPeer());
}
