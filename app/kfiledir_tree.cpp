#include <algorithm>

#include "app/kfiledir.h"
#include "platform/shellicons.h"

namespace {

// Order of the sub-folders of one folder: natural order, then the bytes, so
// that it is total (two names equal here are the same name).
int FolderCompare(const String& A, const String& B) {
  const int c = NaturalCompare(A, B);
  return c != 0 ? c : CompareStr(A, B);
}

String JoinPath(const String& Folder, const String& Name) {
  return Folder == "/" ? "/" + Name : Folder + "/" + Name;
}

}  // namespace

TDirectoryTreeView::TDirectoryTreeView(TComponent* AOwner) : TTreeView(AOwner) {
  OnChange = [this](TObject*, TTreeNode* Node) { Change(Node); };
  OnExpanding = [this](TObject*, TTreeNode* Node, bool& Allow) { Allow = CanExpand(Node); };
  OnEdited = [this](TObject*, TTreeNode* Node, String& S) { Edited(Node, S); };
}

TDirectoryTreeView::~TDirectoryTreeView() {
  OnChange = nullptr;
  OnExpanding = nullptr;
  OnEdited = nullptr;
  for (Integer i = 0; i < GetItems()->GetRootCount(); ++i) FreeInfos(GetItems()->GetRoot(i));
}

NodeInfo* TDirectoryTreeView::InfoOf(const TTreeNode* Node) {
  return Node != nullptr ? static_cast<NodeInfo*>(Node->GetData()) : nullptr;
}

void TDirectoryTreeView::FreeInfos(TTreeNode* Node) {
  for (Integer i = 0; i < Node->GetCount(); ++i) FreeInfos(Node->GetItem(i));
  delete InfoOf(Node);
  Node->SetData(nullptr);
}

void TDirectoryTreeView::Notification(TComponent* AComponent, TOperation Operation) {
  TTreeView::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFileList) FFileList = nullptr;
}

void TDirectoryTreeView::SetParent(TWinControl* Value) {
  TTreeView::SetParent(Value);
  if (FInitialised || Value == nullptr) return;
  FInitialised = true;
  FDoNotUpdate = false;
  SetRootDrivers();
  // The root of the current folder's drive: on this system, "/".
  SetSelected(FRoot);
}

void TDirectoryTreeView::SetRootDrivers() {
  for (Integer i = 0; i < GetItems()->GetRootCount(); ++i) FreeInfos(GetItems()->GetRoot(i));
  GetItems()->Clear();
  FRoot = GetItems()->AddChild(nullptr, "/");
  auto* info = new NodeInfo{"/", "/", FRoot};
  FRoot->SetData(info);
  FRoot->SetHasChildren(true);
  FRoot->SetImageIndex(LKShellIconIndex("/"));
  FRoot->SetSelectedIndex(LKShellIconIndex("/", true));
}

void TDirectoryTreeView::SetFileListView(TFileListView* List) {
  if (FFileList != nullptr) FFileList->RemoveFreeNotification(this);
  FFileList = List;
  if (List == nullptr) return;
  List->FreeNotification(this);
  List->SetDirectory(FSelectedPath);
}

String TDirectoryTreeView::GetSelectedDir() const {
  if (FSelectedPath.empty() || !DirectoryExists(FSelectedPath)) return String();
  return IncludeTrailingPathDelimiter(FSelectedPath);
}

TTreeNode* TDirectoryTreeView::AddFolderNode(TTreeNode* Parent, const String& Name) {
  // Names that are not valid UTF-8 show with replacement marks; the record
  // keeps the bytes the file system holds.
  TTreeNode* node = GetItems()->AddChild(Parent, Name);
  node->SetData(new NodeInfo{Name, JoinPath(InfoOf(Parent)->Path, Name), node});
  node->SetHasChildren(HasSubfolders(InfoOf(node)->Path));
  node->SetImageIndex(LKShellIconIndex(InfoOf(node)->Path));
  node->SetSelectedIndex(LKShellIconIndex(InfoOf(node)->Path, true));
  return node;
}

TTreeNode* TDirectoryTreeView::FindChildNode(TTreeNode* Node, const String& Name) const {
  // The children stay in folder order: a halving search.
  Integer lo = 0, hi = Node->GetCount() - 1;
  while (lo <= hi) {
    const Integer mid = lo + (hi - lo) / 2;
    TTreeNode* child = Node->GetItem(mid);
    const int c = FolderCompare(InfoOf(child)->Name, Name);
    if (c == 0) return child;
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return nullptr;
}

Integer TDirectoryTreeView::AddFoldersToNode(TTreeNode* Node) {
  NodeInfo* info = InfoOf(Node);
  if (info == nullptr) return 0;
  std::vector<String> names;
  if (ListSubfolders(info->Path, names) != 0) {
    Node->SetHasChildren(Node->GetCount() > 0);
    return 2;
  }
  std::sort(names.begin(), names.end(), [](const String& a, const String& b) { return FolderCompare(a, b) < 0; });

  // Merge the sorted names with the children (kept in the same order):
  // children whose folder went are deleted, new folders are inserted in
  // place, and children still there keep their nodes, expanded or not.
  Integer i = 0;
  for (const String& name : names) {
    bool present = false;
    while (i < Node->GetCount()) {
      TTreeNode* child = Node->GetItem(i);
      const int c = FolderCompare(InfoOf(child)->Name, name);
      if (c > 0) break;
      if (c == 0) {
        present = true;
        ++i;
        break;
      }
      FreeInfos(child);
      child->Delete();
    }
    if (present) continue;
    if (i < Node->GetCount()) {
      TTreeNode* node = GetItems()->Insert(Node->GetItem(i), name);
      node->SetData(new NodeInfo{name, JoinPath(info->Path, name), node});
      node->SetHasChildren(HasSubfolders(InfoOf(node)->Path));
    } else {
      AddFolderNode(Node, name);
    }
    ++i;
  }
  while (i < Node->GetCount()) {
    TTreeNode* child = Node->GetItem(Node->GetCount() - 1);
    FreeInfos(child);
    child->Delete();
  }
  Node->SetHasChildren(!names.empty());
  return names.empty() ? 0 : 1;
}

bool TDirectoryTreeView::CanExpand(TTreeNode* Node) {
  const Integer r = AddFoldersToNode(Node);
  Node->SetHasChildren(r != 0 && Node->GetCount() > 0);
  return true;
}

void TDirectoryTreeView::Change(TTreeNode* Node) {
  NodeInfo* info = InfoOf(Node);
  if (info == nullptr) return;
  FSelectedPath = info->Path;
  if (FDoNotUpdate) return;
  if (AddFoldersToNode(Node) == 2) {
    // A folder that cannot be read shows its parent's contents.
    if (TTreeNode* parent = Node->GetParent(); parent != nullptr && InfoOf(parent) != nullptr) {
      FSelectedPath = InfoOf(parent)->Path;
      AddFoldersToNode(parent);
    }
  }
  if (FFileList != nullptr && FFileList->GetDirectory() != IncludeTrailingPathDelimiter(FSelectedPath))
    FFileList->SetDirectory(FSelectedPath);
}

void TDirectoryTreeView::SetSelectedDir(const String& Path) {
  if (Path.empty() || Path[0] != '/' || !DirectoryExists(Path) || FRoot == nullptr) return;
  TTreeNode* node = FRoot;
  size_t start = 1;
  while (start < Path.size()) {
    size_t slash = Path.find('/', start);
    if (slash == String::npos) slash = Path.size();
    const String part = Path.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    TTreeNode* child = FindChildNode(node, part);
    if (child == nullptr) {
      AddFoldersToNode(node);
      child = FindChildNode(node, part);
    }
    if (child == nullptr) break;
    node = child;
  }
  if (TTreeNode* p = node->GetParent()) {
    for (; p != nullptr; p = p->GetParent()) p->Expand();
  }
  SetSelected(node);
}

void TDirectoryTreeView::Edited(TTreeNode* Node, String& S) {
  NodeInfo* info = InfoOf(Node);
  if (info == nullptr || Node == FRoot) {
    if (info != nullptr) S = info->Name;
    return;
  }
  const String oldPath = info->Path;
  const String parent = ExtractFileDir(oldPath);
  // A name holding a separator would move the folder elsewhere.
  if (S.empty() || S.find('/') != String::npos || S == "." || S == ".." ||
      !ShellFileOperation(oldPath, nullptr, JoinPath(parent, S), FO_RENAME)) {
    S = info->Name;
    return;
  }
  info->Name = S;
  info->Path = JoinPath(parent, S);
  for (Integer i = Node->GetCount() - 1; i >= 0; --i) {
    FreeInfos(Node->GetItem(i));
    Node->GetItem(i)->Delete();
  }
  if (Node->GetSelected()) Change(Node);
}
