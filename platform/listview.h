// A list of items in columns (the report view) over a Qt item view. Items
// are held by the list, or, with OwnerData, only counted: the program fills
// a shown item in OnData when the view needs it, so lists of any length
// cost nothing per item. OnSelectItem fires for every item whose selection
// changes, in code too: the deselections first, then the selections.
#pragma once

#include <memory>
#include <vector>

#include "platform/stdctrls.h"

class QTreeView;
class TListView;
class TListModel;

/// One item: a caption for the first column, texts for the others.
class TListItem {
 public:
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& Value);
  /// Texts of the second and later columns.
  TStrings* GetSubItems() { return &FSubItems; }
  void* GetData() const { return FData; }
  void SetData(void* Value) { FData = Value; }
  /// Index of the item's icon in the shell icon list (platform/shellicons.h)
  /// shown before its caption; -1 for none.
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  Integer GetIndex() const { return FIndex; }
  bool GetSelected() const;
  void SetSelected(bool Value);
  TListView* GetListView() const { return FView; }

 private:
  friend class TListItems;
  friend class TListView;
  friend class TListModel;
  explicit TListItem(TListView* View) : FView(View) {}
  TListView* FView;
  String FCaption;
  TStringList FSubItems;
  void* FData = nullptr;
  Integer FImageIndex = -1;
  Integer FIndex = 0;
};

/// The items of a list view.
class TListItems {
 public:
  explicit TListItems(TListView* View) : FView(View) {}
  ~TListItems();
  /// Appends an item (not with OwnerData).
  TListItem* Add();
  void Delete(Integer Index);
  void Clear();
  Integer GetCount() const;
  /// With OwnerData: the number of items the program has. The selection
  /// goes (silently: no OnSelectItem); the first row shown stays where it
  /// was as far as the new count allows.
  void SetCount(Integer Value);
  /// The item at Index (with OwnerData: filled by OnData, valid until the
  /// next call).
  TListItem* GetItem(Integer Index);

 private:
  friend class TListView;
  friend class TListModel;
  TListView* FView;
  std::vector<std::unique_ptr<TListItem>> FItems;
  Integer FVirtualCount = 0;
  std::unique_ptr<TListItem> FScratch;
};

/// A column of the report view.
struct TListColumn {
  String Caption;
  Integer Width = 50;
  Integer Tag = 0;
};

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVOwnerDataEvent = std::function<void(TObject* Sender, TListItem* Item)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, Integer Column)>;

/// The list view control (report style: one row per item).
class TListView : public TWidgetControl {
 public:
  explicit TListView(TComponent* AOwner = nullptr);
  ~TListView() override;
  TListItems* GetItems() { return &FItems; }
  /// Adds a column at the end.
  TListColumn& AddColumn(const String& Caption, Integer Width, Integer Tag = 0);
  Integer GetColumnCount() const { return static_cast<Integer>(FColumns.size()); }
  const TListColumn& GetColumn(Integer Index) const;
  /// Removes the column at Index (EListError outside 0..count-1).
  void DeleteColumn(Integer Index);
  bool GetOwnerData() const { return FOwnerData; }
  /// Switches between held items and counted ones (the items go).
  void SetOwnerData(bool Value);
  bool GetMultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  void SetGridLines(bool Value);
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  TViewStyle GetViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle Value);
  /// The first selected item, or null.
  TListItem* GetSelected();
  /// Selects only Value (null: nothing).
  void SetSelected(TListItem* Value);
  Integer GetSelCount() const;
  /// Indexes of the selected items, smallest first.
  std::vector<Integer> GetSelectedIndexes() const;
  /// Scrolls the item at Index into view (nothing outside the items).
  void MakeVisible(Integer Index);
  /// Index of the item with the focus rectangle (-1: none).
  Integer GetItemFocused() const;
  void SetItemFocused(Integer Index);
  /// Redraws items First..Last (after their texts changed).
  void UpdateItems(Integer First, Integer Last);

  TLVSelectItemEvent OnSelectItem;
  TLVOwnerDataEvent OnData;
  TLVColumnClickEvent OnColumnClick;

 private:
  friend class TListItem;
  friend class TListItems;
  friend class TListModel;
  void SelectionChanged(const std::vector<Integer>& Deselected, const std::vector<Integer>& Selected);
  void SetColumnWidths();
  TListItems FItems;
  std::vector<TListColumn> FColumns;
  TListModel* FModel;
  bool FOwnerData = false, FMultiSelect = false, FReadOnly = true;
  TViewStyle FViewStyle = vsIcon;
};
