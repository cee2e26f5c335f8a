#include "platform/menus.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <algorithm>

#include "platform/forms.h"

namespace {

/// Qt's key for a virtual-key code (the reverse of KeyToVirtualKey for the
/// keys shortcuts use).
int QtKeyOf(Word Vk) {
  if ((Vk >= 'A' && Vk <= 'Z') || (Vk >= '0' && Vk <= '9')) return Vk;
  if (Vk >= VK_F1 && Vk <= VK_F1 + 23) return Qt::Key_F1 + (Vk - VK_F1);
  if (Vk >= VK_NUMPAD0 && Vk <= VK_NUMPAD0 + 9) return Qt::Key_0 + (Vk - VK_NUMPAD0);
  switch (Vk) {
    case VK_BACK: return Qt::Key_Backspace;
    case VK_TAB: return Qt::Key_Tab;
    case VK_RETURN: return Qt::Key_Return;
    case VK_ESCAPE: return Qt::Key_Escape;
    case VK_SPACE: return Qt::Key_Space;
    case VK_PRIOR: return Qt::Key_PageUp;
    case VK_NEXT: return Qt::Key_PageDown;
    case VK_END: return Qt::Key_End;
    case VK_HOME: return Qt::Key_Home;
    case VK_LEFT: return Qt::Key_Left;
    case VK_UP: return Qt::Key_Up;
    case VK_RIGHT: return Qt::Key_Right;
    case VK_DOWN: return Qt::Key_Down;
    case VK_INSERT: return Qt::Key_Insert;
    case VK_DELETE: return Qt::Key_Delete;
    case VK_ADD:
    case VK_OEM_PLUS: return Qt::Key_Plus;
    case VK_SUBTRACT:
    case VK_OEM_MINUS: return Qt::Key_Minus;
    case VK_MULTIPLY: return Qt::Key_Asterisk;
    case VK_DIVIDE: return Qt::Key_Slash;
    default: return 0;
  }
}

QKeySequence ToKeySequence(TShortCut S) {
  const int key = QtKeyOf(S & 0x1FFF);
  if (key == 0) return QKeySequence();
  int mods = 0;
  if (S & scShift) mods |= Qt::SHIFT;
  if (S & scCtrl) mods |= Qt::CTRL;
  if (S & scAlt) mods |= Qt::ALT;
  return QKeySequence(key | mods);
}

}  // namespace

// ---------------------------------------------------------------------------
// TMenuItem
// ---------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  Clear();
  if (FParent != nullptr) FParent->Remove(this);
  for (QAction* a : FActions) a->disconnect();
  FActions.clear();
}

TMenuItem* TMenuItem::GetItem(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) { Insert(GetCount(), Item); }

void TMenuItem::Insert(Integer Index, TMenuItem* Item) {
  if (Item == nullptr) return;
  if (Item->FParent != nullptr) throw EInvalidOperation("Menu item is already inside a menu");
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  Changed(true);
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FParent = nullptr;
  Changed(true);
}

void TMenuItem::Delete(Integer Index) { delete GetItem(Index); }

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TMenuItem::Changed(bool Structure) {
  if (!Structure) {
    for (QAction* a : FActions) {
      a->setText(QString::fromStdString(FCaption));
      a->setCheckable(FChecked || FAutoCheck || FRadioItem);
      a->setChecked(FChecked);
      a->setEnabled(FEnabled);
      a->setVisible(FVisible);
      a->setShortcut(ToKeySequence(FShortCut));
    }
    return;
  }
  TMenuItem* root = this;
  while (root->FParent != nullptr) root = root->FParent;
  if (root->FMenu != nullptr) root->FMenu->MenuChanged();
}

void TMenuItem::SetCaption(const String& Value) {
  const bool wasLine = IsLine();
  FCaption = Value;
  Changed(wasLine != IsLine());
}

void TMenuItem::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  if (Value && FRadioItem && FParent != nullptr)
    for (TMenuItem* other : FParent->FItems)
      if (other != this && other->FRadioItem && other->FGroupIndex == FGroupIndex) other->SetChecked(false);
  Changed(false);
}

void TMenuItem::SetEnabled(bool Value) {
  FEnabled = Value;
  Changed(false);
}

void TMenuItem::SetVisible(bool Value) {
  FVisible = Value;
  Changed(false);
}

void TMenuItem::SetRadioItem(bool Value) {
  FRadioItem = Value;
  Changed(false);
}

void TMenuItem::SetShortCut(TShortCut Value) {
  FShortCut = Value;
  Changed(false);
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (FAutoCheck) SetChecked(!FChecked || FRadioItem);
  if (OnClick) OnClick(this);
}

QAction* TMenuItem::MakeAction(QWidget* Parent) {
  auto* a = new QAction(QString::fromStdString(FCaption), Parent);
  if (IsLine()) a->setSeparator(true);
  FActions.push_back(a);
  QObject::connect(a, &QObject::destroyed, [this, a] { FActions.erase(std::remove(FActions.begin(), FActions.end(), a), FActions.end()); });
  QObject::connect(a, &QAction::triggered, [this, a](bool) {
    // The item keeps its own check state; Click changes it.
    a->setChecked(FChecked);
    Click();
  });
  Changed(false);
  return a;
}

void TMenuItem::Fill(QMenu* Menu) {
  for (TMenuItem* item : FItems) {
    QAction* a = item->MakeAction(Menu);
    if (!item->FItems.empty()) {
      auto* sub = new QMenu(Menu);
      item->Fill(sub);
      a->setMenu(sub);
    }
    Menu->addAction(a);
  }
}

// ---------------------------------------------------------------------------
// Menus
// ---------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem()) { FItems->FMenu = this; }

TMenu::~TMenu() {
  FItems->FMenu = nullptr;
  delete FItems;
}

namespace {

/// The look of the program's style with the desktop's keyboard rule for
/// menu bars: Alt pressed and released on its own enters the bar.
class TMenuBarStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Return) const override {
    if (Hint == SH_MenuBar_AltKeyNavigation) return 1;
    return QProxyStyle::styleHint(Hint, Option, Widget, Return);
  }
};

QStyle* MenuBarStyle() {
  // One for every bar, kept for the program's life.
  static QStyle* style = new TMenuBarStyle;
  return style;
}

/// F10 in the bar's window enters the bar (or leaves it) as Alt does:
/// the first menu is highlighted, the arrow keys move, Enter or Down opens,
/// Esc leaves. Even a bar without mnemonics is reached from the keyboard.
class TMenuBarKeys : public QObject {
 public:
  explicit TMenuBarKeys(QMenuBar* Bar) : QObject(Bar), FBar(Bar) { qApp->installEventFilter(this); }
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(Event);
    if (key->key() != Qt::Key_F10 || key->modifiers() != Qt::NoModifier || key->isAutoRepeat()) return false;
    auto* widget = qobject_cast<QWidget*>(Watched);
    if (widget == nullptr || widget->window() != FBar->window() || !FBar->isVisible() ||
        QApplication::activePopupWidget() != nullptr || FBar->actions().isEmpty())
      return false;
    // The bar's own Alt handling does the work: Alt pressed alone (its
    // shortcut check and its press), then released.
    QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::AltModifier);
    press.ignore();
    QApplication::sendEvent(widget, &press);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QApplication::sendEvent(widget, &down);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    return true;
  }

 private:
  QMenuBar* FBar;
};

}  // namespace

QMenuBar* TMainMenu::BuildMenuBar(QWidget* Parent) {
  auto* bar = new QMenuBar(Parent);
  bar->setStyle(MenuBarStyle());
  new TMenuBarKeys(bar);
  TMenuItem* root = GetItems();
  for (Integer i = 0; i < root->GetCount(); ++i) {
    TMenuItem* top = root->GetItem(i);
    QAction* a = top->MakeAction(bar);
    if (top->GetCount() > 0) {
      auto* menu = new QMenu(bar);
      top->Fill(menu);
      a->setMenu(menu);
    }
    bar->addAction(a);
  }
  return bar;
}

void TMainMenu::MenuChanged() {
  if (FForm != nullptr) FForm->MenuChanged();
}

TPopupMenu::~TPopupMenu() { delete FMenu; }

void TPopupMenu::Popup(Integer X, Integer Y) {
  if (OnPopup) OnPopup(this);
  delete FMenu;
  FMenu = new QMenu();
  GetItems()->Fill(FMenu);
  FMenu->popup(QPoint(X, Y));
}
