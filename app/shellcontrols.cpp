#include "app/shellcontrols.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Natural order: runs of digits compare by value, letters without case.
bool NaturalLess(const String& A, const String& B) {
  size_t i = 0, j = 0;
  while (i < A.size() && j < B.size()) {
    const unsigned char a = A[i], b = B[j];
    if (std::isdigit(a) && std::isdigit(b)) {
      size_t ei = i, ej = j;
      while (ei < A.size() && std::isdigit(static_cast<unsigned char>(A[ei]))) ++ei;
      while (ej < B.size() && std::isdigit(static_cast<unsigned char>(B[ej]))) ++ej;
      size_t si = i, sj = j;
      while (si + 1 < ei && A[si] == '0') ++si;
      while (sj + 1 < ej && B[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int c = A.compare(si, ei - si, B, sj, ej - sj);
      if (c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    const int la = std::tolower(a), lb = std::tolower(b);
    if (la != lb) return la < lb;
    ++i;
    ++j;
  }
  if (A.size() - i != B.size() - j) return A.size() - i < B.size() - j;
  return A < B;
}

bool MatchesMask(const String& Name, const String& Mask) {
  if (Mask.empty()) return true;
  size_t start = 0;
  while (start <= Mask.size()) {
    size_t end = Mask.find(';', start);
    if (end == String::npos) end = Mask.size();
    String one = Mask.substr(start, end - start);
    if (one == "*.*") one = "*";
    if (!one.empty() && fnmatch(one.c_str(), Name.c_str(), FNM_CASEFOLD) == 0) return true;
    start = end + 1;
  }
  return false;
}

String SizeText(long long Size) {
  char buf[64];
  if (Size < 1024)
    std::snprintf(buf, sizeof buf, "%lld b", Size);
  else if (Size < 1024LL * 1024)
    std::snprintf(buf, sizeof buf, "%.1f Kb", double(Size) / 1024);
  else
    std::snprintf(buf, sizeof buf, "%.1f Mb", double(Size) / (1024.0 * 1024));
  return buf;
}

String WithSlash(const String& Path) { return Path.empty() || Path.back() == '/' ? Path : Path + "/"; }

}  // namespace

// ---------------------------------------------------------------------------
// TFileListView

TFileListView::TFileListView(TComponent* AOwner) : TListView(AOwner) {
  SetViewStyle(vsReport);
  AddColumn("File", 150);
  AddColumn("Size", 150, 1);
}

void TFileListView::SetMask(const String& Value) {
  FMask = Value.empty() ? String("*.*") : Value;
  Rescan();
}

void TFileListView::SetDirectory(const String& Value) {
  const String dir = WithSlash(Value);
  if (dir != FDirectory) {
    // Nothing of the old folder stays selected, so no file of the new one
    // is chosen for the user.
    SetSelected(nullptr);
    GetItems()->Clear();
    FNames.clear();
  }
  FDirectory = dir;
  Rescan();
}

String TFileListView::GetSelectedFile() {
  TListItem* item = GetSelected();
  if (!item) return String();
  const Integer i = item->GetIndex();
  return i >= 0 && i < Integer(FNames.size()) ? FNames[size_t(i)] : String();
}

void TFileListView::Rescan() {
  const String keep = GetSelectedFile();
  struct Entry {
    String Name;
    long long Size;
  };
  std::vector<Entry> found;
  if (!FDirectory.empty()) {
    if (DIR* d = opendir(FDirectory.c_str())) {
      while (dirent* e = readdir(d)) {
        const String name = e->d_name;
        if (name == "." || name == ".." || name[0] == '.') continue;
        struct stat st {};
        if (stat((FDirectory + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!MatchesMask(name, FMask)) continue;
        found.push_back({name, static_cast<long long>(st.st_size)});
      }
      closedir(d);
    }
  }
  std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) { return NaturalLess(a.Name, b.Name); });
  SetSelected(nullptr);
  GetItems()->Clear();
  FNames.clear();
  for (const Entry& e : found) {
    TListItem* item = GetItems()->Add();
    // Names that are not UTF-8 are shown with replacement characters; the
    // path keeps the bytes.
    item->SetCaption(e.Name);
    item->GetSubItems()->Add(SizeText(e.Size));
    FNames.push_back(e.Name);
  }
  if (!keep.empty()) {
    const auto it = std::find(FNames.begin(), FNames.end(), keep);
    if (it != FNames.end()) GetItems()->GetItem(Integer(it - FNames.begin()))->SetSelected(true);
  }
}

// ---------------------------------------------------------------------------
// TDirectoryTreeView

TDirectoryTreeView::TDirectoryTreeView(TComponent* AOwner) : TTreeView(AOwner) {
  SetReadOnly(true);
  TTreeNode* root = GetItems()->AddChild(nullptr, "/");
  FPaths.push_back(new String("/"));
  root->SetData(FPaths.back());
  root->SetHasChildren(true);
  OnExpanding = [this](TObject*, TTreeNode* Node, bool&) { Fill(Node); };
  OnChange = [this](TObject*, TTreeNode* Node) {
    if (FFileList && Node) FFileList->SetDirectory(PathOf(Node));
  };
}

TDirectoryTreeView::~TDirectoryTreeView() {
  OnChange = nullptr;
  OnExpanding = nullptr;
  for (String* p : FPaths) delete p;
}

void TDirectoryTreeView::SetFileList(TFileListView* Value) {
  FFileList = Value;
  if (FFileList && !GetSelected()) SetSelected(GetItems()->GetFirstNode());
}

String TDirectoryTreeView::PathOf(TTreeNode* Node) const {
  return Node && Node->GetData() ? *static_cast<String*>(Node->GetData()) : String();
}

void TDirectoryTreeView::Fill(TTreeNode* Node) {
  if (!Node || Node->GetCount() > 0) return;
  const String path = PathOf(Node);
  std::vector<String> subs;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      const String name = e->d_name;
      if (name == "." || name == ".." || name[0] == '.') continue;
      struct stat st {};
      if (stat((path + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) subs.push_back(name);
    }
    closedir(d);
  }
  std::sort(subs.begin(), subs.end(), NaturalLess);
  for (const String& s : subs) {
    TTreeNode* child = GetItems()->AddChild(Node, s);
    FPaths.push_back(new String(path + s + "/"));
    child->SetData(FPaths.back());
    child->SetHasChildren(true);
  }
  if (subs.empty()) Node->SetHasChildren(false);
}

// ---------------------------------------------------------------------------
// TRxSpinEdit

TRxSpinEdit::TRxSpinEdit(TComponent* AOwner) : TEdit(AOwner) { SetValue(0); }

double TRxSpinEdit::GetValue() const {
  String t = GetText();
  std::replace(t.begin(), t.end(), ',', '.');
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  return end == t.c_str() ? 0.0 : v;
}

void TRxSpinEdit::SetValue(double Value) {
  char buf[64];
  if (FValueType == vtFloat)
    std::snprintf(buf, sizeof buf, "%.*f", int(FDecimal), Value);
  else
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(Value));
  SetText(buf);
}

void TRxSpinEdit::KeyDown(Word& Key, TShiftState Shift) {
  if (Key == VK_UP || Key == VK_DOWN) {
    SetValue(GetValue() + (Key == VK_UP ? FIncrement : -FIncrement));
    Key = 0;
    return;
  }
  TEdit::KeyDown(Key, Shift);
}

// ---------------------------------------------------------------------------
// TFilterComboBox

TFilterComboBox::TFilterComboBox(TComponent* AOwner) : TComboBox(AOwner) { SetStyle(csDropDownList); }

void TFilterComboBox::SetFilter(const String& Value) {
  GetItems()->Clear();
  FMasks.clear();
  size_t start = 0;
  while (start < Value.size()) {
    size_t bar = Value.find('|', start);
    if (bar == String::npos) break;
    size_t end = Value.find('|', bar + 1);
    if (end == String::npos) end = Value.size();
    GetItems()->Add(Value.substr(start, bar - start));
    FMasks.push_back(Value.substr(bar + 1, end - bar - 1));
    start = end + 1;
  }
  SetItemIndex(FMasks.empty() ? -1 : 0);
}

String TFilterComboBox::GetMask() const {
  const Integer i = GetItemIndex();
  return i >= 0 && i < Integer(FMasks.size()) ? FMasks[size_t(i)] : String("*.*");
}
