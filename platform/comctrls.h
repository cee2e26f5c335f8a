// Common controls over Qt widgets: progress bar, track bar, up-down, combo
// box, list box (and check list box), page control with tab sheets.
// Event rules:
//   - TTrackBar.OnChange fires for every change of Position, in code too,
//     after clamping to Min..Max;
//   - TComboBox.OnChange/OnClick, TListBox.OnClick, TPageControl.OnChange
//     and OnChanging fire only for the user's action; setters are silent
//     (OnChanging may veto the user's choice of a tab);
//   - TUpDown.OnClick fires only for the user's click; a new Position, in
//     code too, rewrites the associated edit (which fires its OnChange).
#pragma once

#include <memory>
#include <vector>

#include "platform/stdctrls.h"

class QWidget;

/// A progress bar from Min to Max (default 0..100).
class TProgressBar : public TWidgetControl {
 public:
  explicit TProgressBar(TComponent* AOwner = nullptr);
  Integer GetMin() const { return FMin; }
  void SetMin(Integer Value);
  Integer GetMax() const { return FMax; }
  void SetMax(Integer Value);
  Integer GetPosition() const { return FPosition; }
  /// Clamped to Min..Max.
  void SetPosition(Integer Value);
  Integer GetStep() const { return FStep; }
  void SetStep(Integer Value) { FStep = Value; }
  void StepIt() { SetPosition(FPosition + FStep); }
  void StepBy(Integer Delta) { SetPosition(FPosition + Delta); }

 private:
  void Sync();
  Integer FMin = 0, FMax = 100, FPosition = 0, FStep = 10;
};

enum TTrackBarOrientation { trHorizontal, trVertical };

/// A slider from Min to Max (default 0..10).
class TTrackBar : public TWidgetControl {
 public:
  explicit TTrackBar(TComponent* AOwner = nullptr);
  Integer GetMin() const;
  void SetMin(Integer Value);
  Integer GetMax() const;
  void SetMax(Integer Value);
  Integer GetPosition() const;
  /// Clamped to Min..Max; OnChange fires when the position changed.
  void SetPosition(Integer Value);
  /// Distance between tick marks.
  void SetFrequency(Integer Value);
  void SetLineSize(Integer Value);
  void SetPageSize(Integer Value);
  TTrackBarOrientation GetOrientation() const { return FOrientation; }
  void SetOrientation(TTrackBarOrientation Value);
  TNotifyEvent OnChange;

 private:
  TTrackBarOrientation FOrientation = trHorizontal;
};

enum TUDBtnType { btNext, btPrev };
enum TUDOrientation { udHorizontal, udVertical };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;
using TUDChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

/// Two arrow buttons that step Position between Min and Max (default
/// 0..100) by Increment, optionally showing it in an associated edit
/// placed on its left (the edit gives up the up-down's width). The edit
/// shows plain digits, no thousands separators, so any value it shows
/// reads back.
class TUpDown : public TWidgetControl {
 public:
  explicit TUpDown(TComponent* AOwner = nullptr);
  ~TUpDown() override;
  Integer GetMin() const { return FMin; }
  void SetMin(Integer Value);
  Integer GetMax() const { return FMax; }
  void SetMax(Integer Value);
  Integer GetPosition() const { return FPosition; }
  /// Clamped to Min..Max; rewrites the associated edit.
  void SetPosition(Integer Value);
  Integer GetIncrement() const { return FIncrement; }
  void SetIncrement(Integer Value) { FIncrement = Value; }
  /// Past Max goes on at Min and the other way round.
  bool GetWrap() const { return FWrap; }
  void SetWrap(bool Value) { FWrap = Value; }
  TWinControl* GetAssociate() const { return FAssociate; }
  void SetAssociate(TWinControl* Value);
  TUDOrientation GetOrientation() const { return FOrientation; }
  void SetOrientation(TUDOrientation Value) { FOrientation = Value; }
  /// What the user's click on an arrow does: OnChanging may refuse, the
  /// position steps (starting from the number in the edit when it holds
  /// one), then OnClick.
  void ButtonClick(TUDBtnType Button);

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void UpdateAssociate();
  Integer FMin = 0, FMax = 100, FPosition = 0, FIncrement = 1;
  bool FWrap = false;
  TWinControl* FAssociate = nullptr;
  TUDOrientation FOrientation = udVertical;
};

/// The strings of a combo box or list box: kept in the Qt widget.
class TControlItems;

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList };

/// A combo box: a list to choose from, with an edit unless its style is
/// csDropDownList.
class TComboBox : public TWidgetControl {
 public:
  explicit TComboBox(TComponent* AOwner = nullptr);
  ~TComboBox() override;
  TComboBoxStyle GetStyle() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  TStrings* GetItems() const;
  Integer GetItemIndex() const;
  /// Silent: no OnChange or OnClick.
  void SetItemIndex(Integer Value);
  Integer GetDropDownCount() const;
  void SetDropDownCount(Integer Value);

  /// The user chose an item or typed.
  TNotifyEvent OnChange;

 protected:
  void TextChanged() override;
  virtual void Change();

 private:
  std::unique_ptr<TControlItems> FItems;
  TComboBoxStyle FStyle = csDropDown;
};

/// A list of strings to pick one (or with MultiSelect, several) from.
class TListBox : public TWidgetControl {
 public:
  explicit TListBox(TComponent* AOwner = nullptr);
  ~TListBox() override;
  TStrings* GetItems() const;
  Integer GetItemIndex() const;
  /// Silent: no OnClick.
  void SetItemIndex(Integer Value);
  bool GetMultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool GetSelected(Integer Index) const;
  void SetSelected(Integer Index, bool Value);
  Integer GetSelCount() const;

 private:
  std::unique_ptr<TControlItems> FItems;
  bool FMultiSelect = false;
};

/// A list box whose items carry check boxes; OnClickCheck fires when the
/// user toggles one.
class TCheckListBox : public TListBox {
 public:
  explicit TCheckListBox(TComponent* AOwner = nullptr);
  bool GetChecked(Integer Index) const;
  /// Silent: no OnClickCheck.
  void SetChecked(Integer Index, bool Value);
  TNotifyEvent OnClickCheck;
};

class TPageControl;

/// One page of a page control; its children fill the page.
class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* AOwner = nullptr);
  ~TTabSheet() override;
  TPageControl* GetPageControl() const { return FPageControl; }
  /// Puts the sheet into a page control (null: out of it).
  void SetPageControl(TPageControl* Value);
  /// Index among the page control's pages (-1 outside one).
  Integer GetPageIndex() const;
  /// Whether the sheet has a tab; a sheet without one cannot be shown.
  bool GetTabVisible() const { return FTabVisible; }
  void SetTabVisible(bool Value);

 protected:
  void TextChanged() override;

 private:
  friend class TPageControl;
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

/// Tabbed pages: a row of tabs above the active sheet.
class TPageControl : public TWidgetControl {
 public:
  explicit TPageControl(TComponent* AOwner = nullptr);
  ~TPageControl() override;
  Integer GetPageCount() const { return static_cast<Integer>(FPages.size()); }
  TTabSheet* GetPage(Integer Index) const;
  TTabSheet* GetActivePage() const { return FActivePage; }
  /// Silent: no OnChanging or OnChange. A sheet without a tab is refused
  /// (the active page stays).
  void SetActivePage(TTabSheet* Value);
  Integer GetActivePageIndex() const;
  void SetActivePageIndex(Integer Value);
  /// Height of the row of tabs.
  static constexpr Integer TabHeight = 20;
  /// What the user's choice of a tab does: OnChanging may refuse, then the
  /// sheet shows and OnChange fires. Returns whether it changed.
  bool SelectTabByUser(TTabSheet* Sheet);

  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;

 protected:
  void AdjustClientRect(TRect& Rect) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Sheet);
  void RemovePage(TTabSheet* Sheet);
  void UpdateTabs();
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
};
