#include "platform/treeview.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "platform/shellicons_qt.h"
#include <algorithm>

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

QTreeWidget* Tree(const TTreeView* View) { return static_cast<QTreeWidget*>(View->GetWidget()); }

}  // namespace

// ---------------------------------------------------------------------------
// TTreeNode
// ---------------------------------------------------------------------------

void TTreeNode::SetText(const String& Value) {
  FText = Value;
  const QSignalBlocker block(Tree(FView));
  FItem->setText(0, QString::fromStdString(Value));
}

bool TTreeNode::GetHasChildren() const {
  return !FChildren.empty() || FItem->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

void TTreeNode::SetHasChildren(bool Value) {
  FItem->setChildIndicatorPolicy(Value ? QTreeWidgetItem::ShowIndicator
                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool TTreeNode::GetExpanded() const { return FItem->isExpanded(); }

void TTreeNode::SetExpanded(bool Value) {
  if (Value == FItem->isExpanded()) return;
  // The item's signal runs the events, as for the user's click.
  FItem->setExpanded(Value);
}

bool TTreeNode::GetSelected() const { return FView->FSelected == this; }

void TTreeNode::SetImageIndex(Integer Value) {
  FImageIndex = Value;
  ShowIcon();
}

void TTreeNode::SetSelectedIndex(Integer Value) {
  FSelectedIndex = Value;
  ShowIcon();
}

void TTreeNode::ShowIcon() {
  const QSignalBlocker block(Tree(FView));
  const Integer i = GetSelected() && FSelectedIndex >= 0 ? FSelectedIndex : FImageIndex;
  FItem->setIcon(0, LKShellIcon(i));
}

TTreeNode* TTreeNode::GetItem(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  return FChildren[static_cast<size_t>(Index)];
}

Integer TTreeNode::GetIndex() const {
  const auto& siblings = FView->FItems.SiblingsOf(FParent);
  return static_cast<Integer>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

TTreeNode* TTreeNode::GetNextSibling() const {
  const auto& siblings = FView->FItems.SiblingsOf(FParent);
  const size_t i = static_cast<size_t>(GetIndex()) + 1;
  return i < siblings.size() ? siblings[i] : nullptr;
}

void TTreeNode::DeleteChildren() {
  while (!FChildren.empty()) FView->FItems.Delete(FChildren.back());
}

void TTreeNode::Delete() { FView->FItems.Delete(this); }

// ---------------------------------------------------------------------------
// TTreeNodes
// ---------------------------------------------------------------------------

TTreeNodes::~TTreeNodes() {
  for (TTreeNode* n : FRoots) Free(n);
}

TTreeNode* TTreeNodes::GetRoot(Integer Index) const {
  if (Index < 0 || Index >= GetRootCount()) ListIndexError(Index);
  return FRoots[static_cast<size_t>(Index)];
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* Parent, Integer Index, const String& Text) {
  QTreeWidget* tree = Tree(FView);
  const QSignalBlocker block(tree);
  auto* node = new TTreeNode(FView, Parent);
  node->FText = Text;
  node->FItem = new QTreeWidgetItem(QStringList(QString::fromStdString(Text)));
  node->FItem->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
  node->FItem->setFlags(node->FItem->flags() | Qt::ItemIsEditable);
  if (Parent != nullptr)
    Parent->FItem->insertChild(Index, node->FItem);
  else
    tree->insertTopLevelItem(Index, node->FItem);
  auto& siblings = SiblingsOf(Parent);
  siblings.insert(siblings.begin() + Index, node);
  return node;
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const String& Text) {
  return InsertAt(Parent, static_cast<Integer>(SiblingsOf(Parent).size()), Text);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* Parent, const String& Text) { return InsertAt(Parent, 0, Text); }

TTreeNode* TTreeNodes::Add(TTreeNode* Sibling, const String& Text) {
  return AddChild(Sibling != nullptr ? Sibling->FParent : nullptr, Text);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const String& Text) {
  if (Sibling == nullptr) return AddChild(nullptr, Text);
  return InsertAt(Sibling->FParent, Sibling->GetIndex(), Text);
}

void TTreeNodes::Free(TTreeNode* Node) {
  for (TTreeNode* c : Node->FChildren) Free(c);
  delete Node;
}

void TTreeNodes::Delete(TTreeNode* Node) {
  if (Node == nullptr) return;
  // A selection inside the deleted branch moves off it first (telling).
  for (TTreeNode* s = FView->FSelected; s != nullptr; s = s->FParent)
    if (s == Node) {
      FView->FSelected = nullptr;
      if (FView->OnChange) FView->OnChange(FView, nullptr);
      break;
    }
  auto& siblings = SiblingsOf(Node->FParent);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), Node), siblings.end());
  {
    const QSignalBlocker block(Tree(FView));
    delete Node->FItem;  // and the items of the children
  }
  std::vector<TTreeNode*> stack{Node};
  while (!stack.empty()) {
    TTreeNode* n = stack.back();
    stack.pop_back();
    stack.insert(stack.end(), n->FChildren.begin(), n->FChildren.end());
    delete n;
  }
}

void TTreeNodes::Clear() {
  while (!FRoots.empty()) Delete(FRoots.back());
}

// ---------------------------------------------------------------------------
// TTreeView
// ---------------------------------------------------------------------------

TTreeView::TTreeView(TComponent* AOwner) : TWidgetControl(AOwner, new QTreeWidget()), FItems(this) {
  QTreeWidget* tree = Tree(this);
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  WatchWidget(tree->viewport());
  QObject::connect(tree, &QTreeWidget::itemExpanded, [this](QTreeWidgetItem* I) { ItemExpanded(I); });
  QObject::connect(tree, &QTreeWidget::itemCollapsed, [this](QTreeWidgetItem* I) { ItemCollapsed(I); });
  QObject::connect(tree, &QTreeWidget::itemSelectionChanged, [this] { SelectionChanged(); });
  QObject::connect(tree, &QTreeWidget::itemChanged, [this](QTreeWidgetItem* I, int) {
    // A rename in place.
    TTreeNode* n = NodeOf(I);
    if (n == nullptr) return;
    String text = I->text(0).toStdString();
    if (text == n->FText) return;
    n->FText = text;
    if (OnEdited) {
      OnEdited(this, n, text);
      if (text != n->FText) n->SetText(text);
    }
  });
  SetTabStop(true);
  SetBounds(GetLeft(), GetTop(), 121, 97);
}

TTreeView::~TTreeView() {
  const QSignalBlocker block(Tree(this));
  FSelected = nullptr;
  FItems.Clear();
}

TTreeNode* TTreeView::NodeOf(QTreeWidgetItem* Item) const {
  if (Item == nullptr) return nullptr;
  return reinterpret_cast<TTreeNode*>(Item->data(0, kNodeRole).value<quintptr>());
}

void TTreeView::SetReadOnly(bool Value) {
  FReadOnly = Value;
  Tree(this)->setEditTriggers(Value ? QAbstractItemView::NoEditTriggers
                                    : QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}

void TTreeView::SetIndent(Integer Value) { Tree(this)->setIndentation(std::max(0, Value)); }

void TTreeView::ItemExpanded(QTreeWidgetItem* Item) {
  TTreeNode* node = NodeOf(Item);
  if (node == nullptr) return;
  bool allow = true;
  if (OnExpanding) OnExpanding(this, node, allow);
  if (!allow) {
    const QSignalBlocker block(Tree(this));
    Item->setExpanded(false);
    return;
  }
  if (OnExpanded) OnExpanded(this, node);
}

void TTreeView::ItemCollapsed(QTreeWidgetItem* Item) {
  TTreeNode* node = NodeOf(Item);
  if (node == nullptr) return;
  bool allow = true;
  if (OnCollapsing) OnCollapsing(this, node, allow);
  if (!allow) {
    const QSignalBlocker block(Tree(this));
    Item->setExpanded(true);
    return;
  }
  if (OnCollapsed) OnCollapsed(this, node);
}

TTreeNode* TTreeView::GetSelected() const { return FSelected; }

void TTreeView::SetSelected(TTreeNode* Value) {
  QTreeWidget* tree = Tree(this);
  if (Value == nullptr) {
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
  } else {
    tree->setCurrentItem(Value->FItem);
  }
  SelectionChanged();
}

void TTreeView::SelectionChanged() {
  QTreeWidget* tree = Tree(this);
  const QList<QTreeWidgetItem*> chosen = tree->selectedItems();
  TTreeNode* node = chosen.isEmpty() ? nullptr : NodeOf(chosen.front());
  if (node == FSelected) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, node, allow);
  if (!allow) {
    const QSignalBlocker block(tree);
    tree->setCurrentItem(FSelected != nullptr ? FSelected->FItem : nullptr);
    if (FSelected == nullptr) tree->clearSelection();
    return;
  }
  TTreeNode* old = FSelected;
  FSelected = node;
  if (old != nullptr) old->ShowIcon();
  if (node != nullptr) node->ShowIcon();
  if (OnChange) OnChange(this, node);
}
