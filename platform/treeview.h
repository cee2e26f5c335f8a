// A tree of text nodes over a Qt tree widget. Nodes may show an expand
// button before they have children (HasChildren), so a program can fill a
// branch when it is first opened (OnExpanding). OnChange fires whenever the
// selected node changes, in code too; OnExpanding may refuse an expansion.
#pragma once

#include <memory>
#include <vector>

#include "platform/stdctrls.h"

class QTreeWidgetItem;
class TTreeView;
class TTreeNodes;

/// One node of a tree view; owned by the view's node list.
class TTreeNode {
 public:
  const String& GetText() const { return FText; }
  void SetText(const String& Value);
  void* GetData() const { return FData; }
  void SetData(void* Value) { FData = Value; }
  /// Whether the node shows an expand button (true as soon as it has
  /// children; may be set before they exist).
  bool GetHasChildren() const;
  void SetHasChildren(bool Value);
  bool GetExpanded() const;
  /// Expanding asks OnExpanding first (which may add the children).
  void SetExpanded(bool Value);
  void Expand() { SetExpanded(true); }
  void Collapse() { SetExpanded(false); }
  bool GetSelected() const;
  TTreeNode* GetParent() const { return FParent; }
  Integer GetCount() const { return static_cast<Integer>(FChildren.size()); }
  TTreeNode* GetItem(Integer Index) const;
  /// Position among its siblings.
  Integer GetIndex() const;
  TTreeNode* GetFirstChild() const { return FChildren.empty() ? nullptr : FChildren.front(); }
  TTreeNode* GetNextSibling() const;
  /// Frees the children.
  void DeleteChildren();
  /// Frees the node and its children.
  void Delete();
  TTreeView* GetTreeView() const { return FView; }
  /// Index of the node's icon in the shell icon list (platform/shellicons.h);
  /// -1 for none. The selected node shows its SelectedIndex icon when it
  /// has one.
  Integer GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  Integer GetSelectedIndex() const { return FSelectedIndex; }
  void SetSelectedIndex(Integer Value);

 private:
  friend class TTreeNodes;
  friend class TTreeView;
  TTreeNode(TTreeView* View, TTreeNode* Parent) : FView(View), FParent(Parent) {}
  TTreeView* FView;
  TTreeNode* FParent;
  String FText;
  void ShowIcon();
  void* FData = nullptr;
  Integer FImageIndex = -1, FSelectedIndex = -1;
  QTreeWidgetItem* FItem = nullptr;
  std::vector<TTreeNode*> FChildren;
};

/// The nodes of a tree view.
class TTreeNodes {
 public:
  explicit TTreeNodes(TTreeView* View) : FView(View) {}
  ~TTreeNodes();
  /// Adds a last child of Parent (null: a top-level node).
  TTreeNode* AddChild(TTreeNode* Parent, const String& Text);
  /// Adds a first child of Parent (null: a top-level node).
  TTreeNode* AddChildFirst(TTreeNode* Parent, const String& Text);
  /// Adds a node after the last sibling of Sibling (null: top level).
  TTreeNode* Add(TTreeNode* Sibling, const String& Text);
  /// Inserts a node before Sibling (null: at the end of the top level).
  TTreeNode* Insert(TTreeNode* Sibling, const String& Text);
  void Delete(TTreeNode* Node);
  void Clear();
  TTreeNode* GetFirstNode() const { return FRoots.empty() ? nullptr : FRoots.front(); }
  /// Number of top-level nodes.
  Integer GetRootCount() const { return static_cast<Integer>(FRoots.size()); }
  TTreeNode* GetRoot(Integer Index) const;

 private:
  friend class TTreeNode;
  friend class TTreeView;
  TTreeNode* InsertAt(TTreeNode* Parent, Integer Index, const String& Text);
  std::vector<TTreeNode*>& SiblingsOf(TTreeNode* Parent) { return Parent ? Parent->FChildren : FRoots; }
  void Free(TTreeNode* Node);
  TTreeView* FView;
  std::vector<TTreeNode*> FRoots;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
/// A node was renamed in place to S; the handler may change S (the node
/// then shows S).
using TTVEditedEvent = std::function<void(TObject* Sender, TTreeNode* Node, String& S)>;

/// The tree view control.
class TTreeView : public TWidgetControl {
 public:
  explicit TTreeView(TComponent* AOwner = nullptr);
  ~TTreeView() override;
  TTreeNodes* GetItems() { return &FItems; }
  TTreeNode* GetSelected() const;
  /// Selects Node (null: nothing); OnChanging may refuse, OnChange fires.
  void SetSelected(TTreeNode* Value);
  /// Whether the user may not rename nodes in place (default false).
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  void SetIndent(Integer Value);

  TTVChangingEvent OnChanging;
  TTVChangedEvent OnChange;
  TTVExpandingEvent OnExpanding, OnCollapsing;
  TTVExpandedEvent OnExpanded, OnCollapsed;
  TTVEditedEvent OnEdited;

 private:
  friend class TTreeNode;
  friend class TTreeNodes;
  TTreeNode* NodeOf(QTreeWidgetItem* Item) const;
  void ItemExpanded(QTreeWidgetItem* Item);
  void ItemCollapsed(QTreeWidgetItem* Item);
  void SelectionChanged();
  TTreeNodes FItems;
  TTreeNode* FSelected = nullptr;
  bool FReadOnly = false;
};
