#include "dialogs/lkcommondialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"

namespace {

/// A library dialog as a descendant builds one: a window with captions from
/// the message table, run through TaskModalDialog.
class TTestDialog : public TLKCommonDialog {
 public:
  using TLKCommonDialog::TLKCommonDialog;
  bool ExplorerStyle = false;
  std::unique_ptr<TForm> Form;
  TButton* Ok = nullptr;
  TButton* Cancel = nullptr;

  bool Execute() override {
    Form = std::make_unique<TForm>();
    Form->SetBounds(0, 0, 300, 200);
    Form->SetCaption(Msg(LKMSG_PREVIEW));
    Ok = new TButton(Form.get());
    Ok->SetParent(Form.get());
    Ok->SetCaption(Msg(LKMSG_OK));
    Ok->SetModalResult(mrOk);
    Cancel = new TButton(Form.get());
    Cancel->SetParent(Form.get());
    Cancel->SetCaption(Msg(LKMSG_CANCEL));
    Cancel->SetModalResult(mrCancel);
    HookDialogWindow(Form.get(), ExplorerStyle);
    return TaskModalDialog([&] { return Form->ShowModal() == mrOk; });
  }
};

class CommonDialog : public ::testing::Test {
 protected:
  void TearDown() override {
    TestHooks::Reset();
    LKSetMsgSystemLocale("");
    LKDefDialogCenter = nullptr;
    Application->OnHelp = nullptr;
  }
};

TEST_F(CommonDialog, CaptionsFollowTheDialogLanguage) {
  struct TRow {
    TMsgLanguage Language;
    const char* Locale;  // for msSystem
    TMsgLanguage Row;    // the row the texts must come from
  };
  const TRow rows[] = {{msGerman, "", msGerman}, {msSystem, "fr_FR", msFrench}, {msJapanese, "", msJapanese}};
  for (const TRow& r : rows) {
    SCOPED_TRACE(int(r.Language));
    LKSetMsgSystemLocale(r.Locale);
    TTestDialog d;
    d.MsgLanguage = r.Language;
    std::vector<String> seen;
    TestHooks::PushModalStep([&](TCustomForm* F) {
      seen = {F->GetCaption(), d.Ok->GetCaption(), d.Cancel->GetCaption()};
      d.Cancel->Click();
    });
    EXPECT_FALSE(d.Execute());
    const std::vector<String> want = {lkmsg(LKMSG_PREVIEW, r.Row), lkmsg(LKMSG_OK, r.Row),
                                      lkmsg(LKMSG_CANCEL, r.Row)};
    EXPECT_EQ(seen, want);
    EXPECT_NE(seen[2], lkmsg(LKMSG_CANCEL, msEnglish)) << "a translated word, not the English one";
  }
}

TEST_F(CommonDialog, ShowAndCloseBracketTheRunningWindowAndTheDialogCanRunAgain) {
  for (bool explorer : {false, true}) {
    SCOPED_TRACE(explorer);
    TTestDialog d;
    d.ExplorerStyle = explorer;
    std::vector<String> events;
    d.OnShow = [&](TObject* Sender) {
      EXPECT_EQ(Sender, &d);
      EXPECT_EQ(d.GetWindow(), d.Form.get());
      EXPECT_EQ(LKDialogBeingCreated(), nullptr) << "taken over";
      events.push_back("show");
    };
    d.OnClose = [&](TObject* Sender) {
      EXPECT_EQ(Sender, &d);
      events.push_back("close");
    };
    for (int run = 0; run < 2; ++run) {
      TRect placed{};
      TestHooks::PushModalStep([&](TCustomForm* F) {
        placed = F->GetBoundsRect();
        d.Ok->Click();
      });
      EXPECT_TRUE(d.Execute());
      // Centred across, its top at a third of the free height.
      EXPECT_EQ(placed.Left, (Screen->GetWidth() - 300) / 2);
      EXPECT_EQ(placed.Top, (Screen->GetHeight() - 200) / 3);
      EXPECT_EQ(d.GetWindow(), nullptr);
    }
    EXPECT_EQ(events, (std::vector<String>{"show", "close", "show", "close"}));
  }
}

TEST_F(CommonDialog, PlacementProcedureReplacesTheCentring) {
  std::vector<QWidget*> placed;
  LKDefDialogCenter = [&](QWidget* w) { placed.push_back(w); };
  TTestDialog d;
  TestHooks::PushModalStep([&](TCustomForm*) { d.Ok->Click(); });
  EXPECT_TRUE(d.Execute());
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0], d.Form->GetPeer());
  EXPECT_EQ(d.Form->GetLeft(), 0) << "not moved by the library";
}

TEST_F(CommonDialog, HandlerExceptionIsShownAndTheDialogGoesOn) {
  std::vector<String> shown;
  TestHooks::SetExceptionSink([&](const String& m) { shown.push_back(m); });
  TTestDialog d;
  d.OnShow = [](TObject*) { throw Exception("show failed"); };
  TestHooks::PushModalStep([&](TCustomForm*) { d.Ok->Click(); });
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(shown, std::vector<String>{"show failed"});
}

TEST_F(CommonDialog, FailedRunLeavesNothingBound) {
  // A dialog function that raises before its window appears must not leave
  // this dialog as the one being created: the next window would be taken by
  // it.
  TTestDialog failing;
  EXPECT_THROW(failing.TaskModalDialog([]() -> bool { throw std::runtime_error("no window"); }), std::runtime_error);
  EXPECT_EQ(LKDialogBeingCreated(), nullptr);
  // An exception while the window shows: the window is released as well.
  EXPECT_THROW(failing.TaskModalDialog([&]() -> bool {
    TestHooks::PushModalStep([](TCustomForm*) { throw std::runtime_error("inside"); });
    failing.Form = std::make_unique<TForm>();
    failing.HookDialogWindow(failing.Form.get());
    return failing.Form->ShowModal() == mrOk;
  }),
               std::runtime_error);
  EXPECT_EQ(failing.GetWindow(), nullptr);
  EXPECT_EQ(LKDialogBeingCreated(), nullptr);

  TTestDialog other;
  int shows = 0;
  other.OnShow = [&](TObject*) { ++shows; };
  failing.OnShow = [](TObject*) { ADD_FAILURE() << "the failed dialog got a window"; };
  TestHooks::PushModalStep([&](TCustomForm*) { other.Ok->Click(); });
  EXPECT_TRUE(other.Execute());
  EXPECT_EQ(shows, 1);
}

TEST_F(CommonDialog, HelpOpensTheTopicOnlyWhenSetAndExecuteOfTheBaseIsAbstract) {
  std::vector<Integer> topics;
  Application->OnHelp = [&](Integer c) {
    topics.push_back(c);
    return true;
  };
  TTestDialog d;
  EXPECT_FALSE(d.HelpButtonClick());
  d.HelpContext = 42;
  EXPECT_TRUE(d.HelpButtonClick());
  EXPECT_EQ(topics, std::vector<Integer>{42});

  TLKCommonDialog base;
  EXPECT_THROW(base.Execute(), EAbstractError);
}

}  // namespace
