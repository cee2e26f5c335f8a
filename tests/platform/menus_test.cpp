// Menus: the menu bar of a form, item clicks, radio groups and shortcuts.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <memory>

#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"

namespace {

TMenuItem* AddItem(TMenuItem* Parent, const char* Caption) {
  auto* item = new TMenuItem;
  item->SetCaption(Caption);
  Parent->Add(item);
  return item;
}

/// The Qt action showing Caption in the form's menu bar, at any depth.
QAction* FindAction(TForm& Form, const QString& Caption) {
  for (QAction* a : Form.GetPeer()->findChildren<QAction*>())
    if (a->text() == Caption) return a;
  return nullptr;
}

}  // namespace

TEST(Menus, TheMenuBarRunsItemsAndShowsTheirState) {
  TForm form;
  form.SetBounds(0, 0, 300, 200);
  TMainMenu menu;
  TMenuItem* file = AddItem(menu.GetItems(), "&File");
  TMenuItem* save = AddItem(file, "Save As ...");
  AddItem(file, "-");
  TMenuItem* image = AddItem(menu.GetItems(), "&Image");
  TMenuItem* fit = AddItem(image, "Fit");
  TMenuItem* full = AddItem(image, "100%");
  for (TMenuItem* z : {fit, full}) {
    z->SetRadioItem(true);
    z->SetAutoCheck(true);
    z->SetGroupIndex(1);
  }
  auto* button = new TButton;
  button->SetParent(&form);
  form.SetMenu(&menu);
  EXPECT_EQ(button->GetPeer()->y(), 19) << "the client area starts below the menu bar";
  EXPECT_EQ(form.GetClientHeight(), 200 - 8 - 19 - 19);

  int saves = 0;
  save->OnClick = [&](TObject*) { ++saves; };
  save->SetShortCut(ShortCut('S', {ssCtrl}));
  QAction* saveAction = FindAction(form, "Save As ...");
  ASSERT_NE(saveAction, nullptr);
  EXPECT_EQ(saveAction->shortcut(), QKeySequence("Ctrl+S"));
  saveAction->trigger();
  EXPECT_EQ(saves, 1);
  save->SetEnabled(false);
  EXPECT_FALSE(saveAction->isEnabled());
  save->Click();
  EXPECT_EQ(saves, 1) << "a disabled item does nothing";

  FindAction(form, "Fit")->trigger();
  FindAction(form, "100%")->trigger();
  EXPECT_FALSE(fit->GetChecked());
  EXPECT_TRUE(full->GetChecked());
  EXPECT_TRUE(FindAction(form, "100%")->isChecked());
  EXPECT_FALSE(FindAction(form, "Fit")->isChecked());

  // Adding an item builds the bar again with it.
  AddItem(file, "Close");
  EXPECT_NE(FindAction(form, "Close"), nullptr);
}

TEST(Menus, AFormOutlivesItsMenu) {
  TForm form;
  form.SetBounds(0, 0, 300, 200);
  auto menu = std::make_unique<TMainMenu>();
  AddItem(AddItem(menu->GetItems(), "&File"), "Open");
  form.SetMenu(menu.get());
  menu.reset();
  EXPECT_EQ(form.GetMenu(), nullptr);
  EXPECT_EQ(FindAction(form, "Open"), nullptr);
  EXPECT_EQ(form.GetClientHeight(), 200 - 8 - 19);
}
