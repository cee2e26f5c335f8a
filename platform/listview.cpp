#include "platform/listview.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QTreeView>
#include <algorithm>
#include <set>

#include "platform/shellicons_qt.h"

/// The rows and columns the Qt view shows, read from the items (or from
/// OnData) whenever it paints.
class TListModel : public QAbstractTableModel {
 public:
  explicit TListModel(TListView* View) : FView(View) {}
  int rowCount(const QModelIndex& Parent) const override {
    return Parent.isValid() ? 0 : FView->FItems.GetCount();
  }
  int columnCount(const QModelIndex& Parent) const override {
    return Parent.isValid() ? 0 : std::max(1, FView->GetColumnCount());
  }
  QVariant data(const QModelIndex& Index, int Role) const override {
    if (!Index.isValid()) return QVariant();
    if (Role == Qt::DecorationRole && Index.column() == 0) {
      const Integer image = FView->FItems.GetItem(Index.row())->GetImageIndex();
      return image >= 0 ? QVariant(LKShellIcon(image)) : QVariant();
    }
    if (Role != Qt::DisplayRole) return QVariant();
    TListItem* item = FView->FItems.GetItem(Index.row());
    if (Index.column() == 0) return QString::fromStdString(item->GetCaption());
    TStrings* sub = item->GetSubItems();
    return Index.column() - 1 < sub->GetCount() ? QString::fromStdString(sub->Get(Index.column() - 1)) : QString();
  }
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override {
    if (Role != Qt::DisplayRole || Orientation != Qt::Horizontal || Section >= FView->GetColumnCount())
      return QVariant();
    return QString::fromStdString(FView->GetColumn(Section).Caption);
  }
  void BeginInsert(int Row) { beginInsertRows(QModelIndex(), Row, Row); }
  void EndInsert() { endInsertRows(); }
  void BeginRemove(int Row) { beginRemoveRows(QModelIndex(), Row, Row); }
  void EndRemove() { endRemoveRows(); }
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void Changed(int First, int Last) {
    emit dataChanged(index(First, 0), index(Last, std::max(0, columnCount(QModelIndex()) - 1)));
  }

 private:
  TListView* FView;
};

namespace {

/// The report view as the desktop draws it: the last column takes the width
/// the others leave (so a list that holds its columns shows no horizontal
/// scroll bar), and grid lines, when asked for, run between the columns and
/// between rows down to the bottom of the view.
class TReportView : public QTreeView {
 public:
  TReportView() { header()->setStretchLastSection(false); }
  void SetGridLines(bool Value) {
    FGridLines = Value;
    viewport()->update();
  }
  void FitLastColumn() {
    QHeaderView* h = header();
    const int n = h->count();
    if (n < 1) return;
    int others = 0;
    for (int i = 0; i < n - 1; ++i) others += h->sectionSize(i);
    const int want = std::max(h->minimumSectionSize(), viewport()->width() - others);
    if (h->sectionSize(n - 1) != want) h->resizeSection(n - 1, want);
  }

 protected:
  bool viewportEvent(QEvent* Event) override {
    if (Event->type() == QEvent::Resize) FitLastColumn();
    return QTreeView::viewportEvent(Event);
  }
  void updateGeometries() override {
    FitLastColumn();
    QTreeView::updateGeometries();
  }
  void paintEvent(QPaintEvent* Event) override {
    QTreeView::paintEvent(Event);
    if (!FGridLines || model() == nullptr) return;
    QPainter p(viewport());
    const TColor line = ColorToRGB(clBtnFace);
    p.setPen(QColor(GetRValue(line), GetGValue(line), GetBValue(line)));
    const int width = viewport()->width(), height = viewport()->height();
    for (int i = 0; i < header()->count(); ++i) {
      const int x = header()->sectionViewportPosition(i) + header()->sectionSize(i) - 1;
      p.drawLine(x, 0, x, height);
    }
    if (model()->rowCount() == 0) return;
    const QModelIndex first = indexAt(QPoint(0, 0));
    const QModelIndex row = first.isValid() ? first : model()->index(0, 0);
    const int step = rowHeight(row);
    if (step <= 0) return;
    for (int y = visualRect(row).top() + step - 1; y < height; y += step) p.drawLine(0, y, width, y);
  }

 private:
  bool FGridLines = false;
};

TReportView* View(const TListView* V) { return static_cast<TReportView*>(V->GetWidget()); }

std::vector<Integer> Rows(const QItemSelection& Selection) {
  std::set<Integer> rows;
  for (const QModelIndex& i : Selection.indexes()) rows.insert(i.row());
  return std::vector<Integer>(rows.begin(), rows.end());
}

}  // namespace

// ---------------------------------------------------------------------------
// TListItem and TListItems
// ---------------------------------------------------------------------------

void TListItem::SetCaption(const String& Value) {
  FCaption = Value;
  if (!FView->FOwnerData) FView->FModel->Changed(FIndex, FIndex);
}

void TListItem::SetImageIndex(Integer Value) {
  FImageIndex = Value;
  if (!FView->FOwnerData) FView->FModel->Changed(FIndex, FIndex);
}

bool TListItem::GetSelected() const {
  return View(FView)->selectionModel()->isRowSelected(FIndex, QModelIndex());
}

void TListItem::SetSelected(bool Value) {
  const QModelIndex i = FView->FModel->index(FIndex, 0);
  View(FView)->selectionModel()->select(
      i, (Value ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

TListItems::~TListItems() = default;

Integer TListItems::GetCount() const {
  return FView->FOwnerData ? FVirtualCount : static_cast<Integer>(FItems.size());
}

TListItem* TListItems::Add() {
  if (FView->FOwnerData) throw EInvalidOperation("Items of an owner-data list view are counted, not added");
  const Integer row = static_cast<Integer>(FItems.size());
  FView->FModel->BeginInsert(row);
  FItems.push_back(std::unique_ptr<TListItem>(new TListItem(FView)));
  FItems.back()->FIndex = row;
  FView->FModel->EndInsert();
  return FItems.back().get();
}

void TListItems::Delete(Integer Index) {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  if (FView->FOwnerData) {
    SetCount(FVirtualCount - 1);
    return;
  }
  FView->FModel->BeginRemove(Index);
  FItems.erase(FItems.begin() + Index);
  for (size_t i = static_cast<size_t>(Index); i < FItems.size(); ++i) FItems[i]->FIndex = static_cast<Integer>(i);
  FView->FModel->EndRemove();
}

void TListItems::Clear() {
  FView->FModel->BeginReset();
  FItems.clear();
  FVirtualCount = 0;
  FView->FModel->EndReset();
}

void TListItems::SetCount(Integer Value) {
  if (!FView->FOwnerData) throw EInvalidOperation("Only an owner-data list view takes a count");
  QTreeView* v = View(FView);
  const int top = v->indexAt(QPoint(0, 0)).row();
  FView->FModel->BeginReset();
  FVirtualCount = std::max(0, Value);
  FView->FModel->EndReset();
  if (top > 0 && FVirtualCount > 0)
    v->scrollTo(FView->FModel->index(std::min(top, FVirtualCount - 1), 0), QAbstractItemView::PositionAtTop);
}

TListItem* TListItems::GetItem(Integer Index) {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  if (!FView->FOwnerData) return FItems[static_cast<size_t>(Index)].get();
  if (!FScratch) FScratch.reset(new TListItem(FView));
  TListItem* item = FScratch.get();
  item->FIndex = Index;
  item->FCaption.clear();
  item->FSubItems.Clear();
  item->FData = nullptr;
  item->FImageIndex = -1;
  if (FView->OnData) FView->OnData(FView, item);
  return item;
}

// ---------------------------------------------------------------------------
// TListView
// ---------------------------------------------------------------------------

TListView::TListView(TComponent* AOwner)
    : TWidgetControl(AOwner, new TReportView()), FItems(this), FModel(new TListModel(this)) {
  TReportView* v = View(this);
  v->setRootIsDecorated(false);
  v->setUniformRowHeights(true);
  v->setItemsExpandable(false);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setModel(FModel);
  FModel->setParent(v);
  WatchWidget(v->viewport());
  QObject::connect(v->selectionModel(), &QItemSelectionModel::selectionChanged,
                   [this](const QItemSelection& Selected, const QItemSelection& Deselected) {
                     SelectionChanged(Rows(Deselected), Rows(Selected));
                   });
  QObject::connect(v, &QTreeView::doubleClicked, [this](const QModelIndex&) { DblClick(); });
  QObject::connect(v->header(), &QHeaderView::sectionResized, [v](int Section, int, int) {
    if (Section < v->header()->count() - 1) v->FitLastColumn();
  });
  QObject::connect(v->header(), &QHeaderView::sectionClicked, [this](int Section) {
    if (OnColumnClick) OnColumnClick(this, Section);
  });
  SetMultiSelect(false);
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 250, 150);
}

TListView::~TListView() {
  // The Qt view may still ask for rows while it goes.
  View(this)->setModel(nullptr);
  OnData = nullptr;
  OnSelectItem = nullptr;
}

TListColumn& TListView::AddColumn(const String& Caption, Integer Width, Integer Tag) {
  FModel->BeginReset();
  FColumns.push_back(TListColumn{Caption, Width, Tag});
  FModel->EndReset();
  SetColumnWidths();
  return FColumns.back();
}

const TListColumn& TListView::GetColumn(Integer Index) const {
  if (Index < 0 || Index >= GetColumnCount()) ListIndexError(Index);
  return FColumns[static_cast<size_t>(Index)];
}

void TListView::DeleteColumn(Integer Index) {
  if (Index < 0 || Index >= GetColumnCount()) ListIndexError(Index);
  FModel->BeginReset();
  FColumns.erase(FColumns.begin() + Index);
  FModel->EndReset();
  SetColumnWidths();
}

void TListView::SetColumnWidths() {
  for (size_t i = 0; i < FColumns.size(); ++i) View(this)->setColumnWidth(static_cast<int>(i), FColumns[i].Width);
  View(this)->FitLastColumn();
}

void TListView::SetOwnerData(bool Value) {
  if (Value == FOwnerData) return;
  FItems.Clear();
  FOwnerData = Value;
}

void TListView::SetMultiSelect(bool Value) {
  FMultiSelect = Value;
  View(this)->setSelectionMode(Value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TListView::SetGridLines(bool Value) { View(this)->SetGridLines(Value); }

void TListView::SetViewStyle(TViewStyle Value) {
  FViewStyle = Value;
  View(this)->setHeaderHidden(Value != vsReport);
}

TListItem* TListView::GetSelected() {
  const QModelIndexList rows = View(this)->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  Integer first = rows.front().row();
  for (const QModelIndex& i : rows) first = std::min(first, i.row());
  return FItems.GetItem(first);
}

void TListView::SetSelected(TListItem* Value) {
  QItemSelectionModel* sm = View(this)->selectionModel();
  if (Value == nullptr) {
    sm->clearSelection();
    return;
  }
  sm->select(FModel->index(Value->FIndex, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

Integer TListView::GetSelCount() const {
  return static_cast<Integer>(View(this)->selectionModel()->selectedRows().size());
}

std::vector<Integer> TListView::GetSelectedIndexes() const {
  std::vector<Integer> rows;
  for (const QModelIndex& i : View(this)->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TListView::MakeVisible(Integer Index) {
  if (Index < 0 || Index >= FItems.GetCount()) return;
  View(this)->scrollTo(FModel->index(Index, 0));
}

Integer TListView::GetItemFocused() const {
  const QModelIndex i = View(this)->selectionModel()->currentIndex();
  return i.isValid() ? i.row() : -1;
}

void TListView::SetItemFocused(Integer Index) {
  View(this)->selectionModel()->setCurrentIndex(FModel->index(Index, 0), QItemSelectionModel::NoUpdate);
}

void TListView::UpdateItems(Integer First, Integer Last) {
  if (FItems.GetCount() == 0) return;
  FModel->Changed(std::max(0, First), std::min(Last, FItems.GetCount() - 1));
}

void TListView::SelectionChanged(const std::vector<Integer>& Deselected, const std::vector<Integer>& Selected) {
  if (!OnSelectItem) return;
  for (Integer row : Deselected)
    if (row < FItems.GetCount()) OnSelectItem(this, FItems.GetItem(row), false);
  for (Integer row : Selected)
    if (row < FItems.GetCount()) OnSelectItem(this, FItems.GetItem(row), true);
}
