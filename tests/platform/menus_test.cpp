// Menus: the menu bar of a form, item clicks, radio groups and shortcuts.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
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

namespace {

/// A key as the window system delivers it to the focused widget: first the
/// shortcut check, then the press (no shortcut is set), then the release. Alt on its own is pressed with the Alt modifier held and
/// released without it.
void SystemKey(int QtKey, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  if (QApplication::activePopupWidget() != nullptr) target = QApplication::activePopupWidget();
  ASSERT_NE(target, nullptr);
  const Qt::KeyboardModifiers held = QtKey == Qt::Key_Alt ? Qt::AltModifier : Mods;
  QKeyEvent check(QEvent::ShortcutOverride, QtKey, held);
  check.ignore();
  QApplication::sendEvent(target, &check);
  QKeyEvent down(QEvent::KeyPress, QtKey, held);
  QApplication::sendEvent(target, &down);
  QKeyEvent up(QEvent::KeyRelease, QtKey, QtKey == Qt::Key_Alt ? Qt::NoModifier : Mods);
  QApplication::sendEvent(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : target, &up);
  QApplication::processEvents();
}

}  // namespace

// The menu bar is reached from the keyboard, also without mnemonics: F10 or
// Alt alone highlights the first menu, the arrow keys move along the bar,
// Enter opens a menu and runs an item, Esc leaves and gives the keyboard
// back to the control that had it.
TEST(Menus, TheMenuBarAnswersF10AndAlt) {
  TForm form;
  form.SetBounds(0, 0, 300, 200);
  TMainMenu menu;
  TMenuItem* file = AddItem(menu.GetItems(), "File");
  TMenuItem* save = AddItem(file, "Save As ...");
  TMenuItem* image = AddItem(menu.GetItems(), "Image");
  AddItem(image, "Crop Selected");
  auto* edit = new TEdit;
  edit->SetParent(&form);
  form.SetMenu(&menu);
  int saves = 0;
  save->OnClick = [&](TObject*) { ++saves; };
  form.Show();
  form.GetPeer()->activateWindow();
  edit->SetFocus();
  QApplication::processEvents();
  QWidget* editWidget = QApplication::focusWidget();
  ASSERT_NE(editWidget, nullptr);
  auto* bar = form.GetPeer()->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  auto highlighted = [&] { return bar->activeAction() != nullptr ? bar->activeAction()->text() : QString(); };

  for (const int enter : {int(Qt::Key_F10), int(Qt::Key_Alt)}) {
    SCOPED_TRACE(enter == Qt::Key_F10 ? "F10" : "Alt");
    SystemKey(enter);
    EXPECT_EQ(highlighted(), "File");
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "highlighted, not opened";
    SystemKey(Qt::Key_Right);
    EXPECT_EQ(highlighted(), "Image");
    SystemKey(Qt::Key_Left);
    EXPECT_EQ(highlighted(), "File");
    SystemKey(Qt::Key_Escape);
    EXPECT_EQ(highlighted(), "");
    EXPECT_EQ(QApplication::focusWidget(), editWidget);
  }

  // F10, Enter opens "File", Enter runs its first item.
  SystemKey(Qt::Key_F10);
  SystemKey(Qt::Key_Return);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);
  SystemKey(Qt::Key_Return);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  form.SetMenu(nullptr);
}
