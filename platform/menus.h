// Menus: items with captions, check marks, radio groups and shortcuts, a
// main menu shown as the menu bar of a form, and pop-up menus. A caption of
// "-" makes a separator; '&' marks the access letter.
#pragma once

#include <vector>

#include "platform/classes.h"
#include "platform/ctrltypes.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class TCustomForm;

/// A key with its modifiers: the virtual-key code plus scShift, scCtrl and
/// scAlt.
using TShortCut = Word;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
constexpr TShortCut ShortCut(Word Key, TShiftState Shift) {
  return static_cast<TShortCut>(Key | (Shift.Contains(ssShift) ? scShift : 0) | (Shift.Contains(ssCtrl) ? scCtrl : 0) |
                                (Shift.Contains(ssAlt) ? scAlt : 0));
}

/// One menu item and its sub-items (it owns them).
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner = nullptr);
  ~TMenuItem() override;

  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  bool GetChecked() const { return FChecked; }
  /// Checking a radio item unchecks the other radio items of its group.
  void SetChecked(bool Value);
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  bool GetRadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value);
  Byte GetGroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(Byte Value) { FGroupIndex = Value; }
  /// Checked flips on every click.
  bool GetAutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool Value) { FAutoCheck = Value; }
  TShortCut GetShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool IsLine() const { return FCaption == "-"; }

  Integer GetCount() const { return static_cast<Integer>(FItems.size()); }
  TMenuItem* GetItem(Integer Index) const;
  TMenuItem* GetParent() const { return FParent; }
  /// Adds Item at the end (it is owned from now on).
  void Add(TMenuItem* Item);
  void Insert(Integer Index, TMenuItem* Item);
  /// Takes Item out without freeing it.
  void Remove(TMenuItem* Item);
  /// Frees the sub-item at Index.
  void Delete(Integer Index);
  void Clear();

  /// What choosing the item does: AutoCheck, then OnClick.
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  friend class TMenu;
  friend class TMainMenu;
  friend class TPopupMenu;
  void Changed(bool Structure);
  void Fill(QMenu* Menu);
  QAction* MakeAction(QWidget* Parent);
  String FCaption;
  bool FChecked = false, FEnabled = true, FVisible = true, FRadioItem = false, FAutoCheck = false;
  Byte FGroupIndex = 0;
  TShortCut FShortCut = 0;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
  std::vector<QAction*> FActions;
  class TMenu* FMenu = nullptr;
};

/// Base of the menus: the root item whose sub-items are the menu.
class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* AOwner = nullptr);
  ~TMenu() override;
  TMenuItem* GetItems() const { return FItems; }

 protected:
  friend class TMenuItem;
  /// The items' structure or look changed.
  virtual void MenuChanged() {}

 private:
  TMenuItem* FItems;
};

/// The menu bar of a form (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
 public:
  using TMenu::TMenu;
  /// Builds the Qt menu bar of the items inside Parent.
  QMenuBar* BuildMenuBar(QWidget* Parent);

 protected:
  void MenuChanged() override;

 private:
  friend class TCustomForm;
  TCustomForm* FForm = nullptr;
};

/// A menu that pops up at a screen position.
class TPopupMenu : public TMenu {
 public:
  using TMenu::TMenu;
  ~TPopupMenu() override;
  /// Shows the menu at (X, Y) in screen coordinates and returns at once;
  /// OnPopup runs first.
  void Popup(Integer X, Integer Y);
  TNotifyEvent OnPopup;

 private:
  QMenu* FMenu = nullptr;
};
