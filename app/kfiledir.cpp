#include "app/kfiledir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/shellicons.h"

Integer SortColumn = 0;
Integer SortSign = 1;
bool SortBySize = false;

// ---------------------------------------------------------------------------
// Natural order and size texts
// ---------------------------------------------------------------------------

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

char FoldAscii(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

// Length of the run that starts at P (digits or non-digits).
size_t RunLength(const char* P, const char* End) {
  const bool digits = IsDigit(*P);
  const char* q = P;
  while (q < End && IsDigit(*q) == digits) ++q;
  return static_cast<size_t>(q - P);
}

// The names of one listing, in natural order with folders first while the
// name column is the key; ties in natural order fall back to the bytes, so
// names that differ only in case keep one order.
bool StoreLess(const String& NameA, const FileEntry& A, const String& NameB, const FileEntry& B) {
  if (SortColumn == 0 && A.Folder != B.Folder) return A.Folder;
  int c;
  if (SortBySize) {
    if (A.Folder || B.Folder) {
      if (A.Folder == B.Folder) return NameA < NameB;
      return A.Folder;
    }
    // The first click on the size column (sign -1) shows the smallest first.
    c = A.Size < B.Size ? 1 : A.Size > B.Size ? -1 : 0;
  } else {
    c = NaturalCompare(NameA, NameB);
  }
  if (c == 0) c = CompareStr(NameA, NameB);
  return c * SortSign < 0;
}

}  // namespace

int NaturalCompare(const String& A, const String& B) {
  const char* a = A.data();
  const char* aEnd = a + A.size();
  const char* b = B.data();
  const char* bEnd = b + B.size();
  for (;;) {
    if (a == aEnd || b == bEnd) return (a == aEnd ? 0 : 1) - (b == bEnd ? 0 : 1);
    const bool aDigits = IsDigit(*a), bDigits = IsDigit(*b);
    if (aDigits != bDigits) return aDigits ? -1 : 1;
    const size_t la = RunLength(a, aEnd), lb = RunLength(b, bEnd);
    if (aDigits) {
      if (la != lb) return la < lb ? -1 : 1;
      for (size_t i = 0; i < la; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    } else {
      const size_t n = std::min(la, lb);
      for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(FoldAscii(a[i]));
        const unsigned char cb = static_cast<unsigned char>(FoldAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
      }
      if (la != lb) return la < lb ? -1 : 1;
    }
    a += la;
    b += lb;
  }
}

String TFileListView::CalculateSize(Int64 Size) {
  // Whole units and tenths of the next smaller unit; a tenth left at 0 is
  // not shown.
  auto withTenths = [](Int64 Whole, Int64 Remainder, const char* Unit) {
    String text = IntToStr(Whole);
    const Int64 tenths = Remainder * 10 / 1024;
    if (tenths != 0) text += "." + IntToStr(tenths);
    return text + Unit;
  };
  const Int64 fourGiB = Int64{4} << 30;
  Int64 k;
  if (Size >= fourGiB) {
    k = Size / 1024;
  } else {
    if (Size < 1024) return IntToStr(Size) + " Bytes";
    k = Size / 1024;
    if (k < 1024) return withTenths(k, Size % 1024, " Kb");
  }
  return withTenths(k / 1024, k % 1024, " Mb");
}

Int64 TFileListView::CalculateFileSize(const String& Path) {
  const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  const bool ok = ::fstat(fd, &st) == 0;
  ::close(fd);
  return ok ? static_cast<Int64>(st.st_size) : -1;
}

// ---------------------------------------------------------------------------
// Shell file operation
// ---------------------------------------------------------------------------

bool ShellFileOperation(const String& From, const TStrings* Names, const String& To, Integer Operation) {
  if (Operation != FO_RENAME) return false;
  // A rename takes one source; a list names it in its first string.
  const String source = Names != nullptr ? (Names->GetCount() > 0 ? Names->Get(0) : String()) : From;
  if (source.empty() || To.empty()) return false;
  return RenameFile(source, To);
}

// ---------------------------------------------------------------------------
// Folder watcher
// ---------------------------------------------------------------------------

namespace {
std::atomic<Integer> gLiveWatchers{0};
}

DirScanThreadNew::DirScanThreadNew(const String& Path) : TThread(true), FFolder(Path), FWatch(Path) {
  SetFreeOnTerminate(true);
  gLiveWatchers.fetch_add(1);
}

DirScanThreadNew::~DirScanThreadNew() { gLiveWatchers.fetch_sub(1); }

Integer DirScanThreadNew::LiveCount() { return gLiveWatchers.load(); }

void DirScanThreadNew::Stop() {
  Terminate();
  FWatch.Wake();
}

void DirScanThreadNew::Execute() {
  // A folder the system will not watch ends the watcher at once, unchanged.
  while (FWatch.Valid()) {
    const TDirWaitResult r = FWatch.Wait(1000);
    if (r == TDirWaitResult::Changed) {
      FChanged.store(true, std::memory_order_release);
      break;
    }
    if (r == TDirWaitResult::Failed) break;
    if (Terminated()) {
      // Asked to stop: nobody waits for this watcher's news any more.
      OnTerminate = nullptr;
      break;
    }
  }
  FWatch.Close();
}

// ---------------------------------------------------------------------------
// TFileListView
// ---------------------------------------------------------------------------

TFileListView::TFileListView(TComponent* AOwner) : TListView(AOwner), FLink(std::make_shared<TWatchLink>()) {
  FLink->List = this;
  SetViewStyle(vsReport);
  OnData = [this](TObject* Sender, TListItem* Item) { Data(Sender, Item); };
  OnColumnClick = [this](TObject*, Integer Column) { ColClick(Column); };
  SetOwnerData(true);
  AddColumn("File", 150);
  FSortSigns.assign(16, 1);
  FShowColumnFileSize = false;
  SetColumnFileSize(true);
  SortColumn = 0;
  SortSign = 1;
  SortBySize = false;
}

TFileListView::~TFileListView() {
  FDestroying = true;
  // End handlers that are still to come find the link cut.
  FLink->List = nullptr;
  RemoveAllThreads();
  OnData = nullptr;
  OnColumnClick = nullptr;
  FStore.clear();
}

void TFileListView::Notification(TComponent* AComponent, TOperation Operation) {
  TListView::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFilterCombo) FFilterCombo = nullptr;
}

void TFileListView::SetDirectory(const String& Path) {
  String dir;
  if (!Path.empty() && DirectoryExists(Path)) dir = IncludeTrailingPathDelimiter(ExcludeTrailingPathDelimiter(Path));
  FDirectory = dir;
  RefreshView();
  if (!FDirectory.empty() && DirectoryExists(FDirectory))
    RecreateThread(FDirectory);
  else
    RemoveAllThreads();
}

void TFileListView::SetMask(const String& Value) {
  FMask = Value;
  RefreshView();
}

void TFileListView::SetSearchAttr(Integer Value) {
  FSearchAttr = Value;
  RefreshView();
}

void TFileListView::SetAttrBits(Integer Bits, bool On) { SetSearchAttr(On ? FSearchAttr | Bits : FSearchAttr & ~Bits); }

Integer TFileListView::FindSizeColumn() const {
  for (Integer i = 0; i < GetColumnCount(); ++i)
    if (GetColumn(i).Tag == 1) return i;
  return -1;
}

void TFileListView::SetColumnFileSize(bool Value) {
  if (Value == FShowColumnFileSize) return;
  FShowColumnFileSize = Value;
  if (Value) {
    AddColumn("Size", 150, 1);
  } else {
    const Integer i = FindSizeColumn();
    if (i >= 0) DeleteColumn(i);
  }
  RefreshView();
}

void TFileListView::SetVirtual(bool Value) {
  if (Value == GetOwnerData()) return;
  SetOwnerData(Value);
  RefreshView();
}

void TFileListView::SetFilterCombo(TFilterComboBox* Value) {
  if (FFilterCombo != nullptr) FFilterCombo->RemoveFreeNotification(this);
  FFilterCombo = Value;
  if (Value == nullptr) return;
  Value->FreeNotification(this);
  Value->OnChange = [this](TObject* Sender) { ApplyComboMask(Sender); };
  ApplyComboMask(Value);
}

void TFileListView::ApplyComboMask(TObject*) {
  if (FFilterCombo != nullptr) SetMask(FFilterCombo->GetMask());
}

Integer TFileListView::IndexOfName(const String& Name) const {
  for (size_t i = 0; i < FStore.size(); ++i)
    if (FStore[i].Name == Name) return static_cast<Integer>(i);
  return -1;
}

void TFileListView::Reselect(const String& Name, Integer Index) {
  Integer row = Name.empty() ? -1 : IndexOfName(Name);
  if (row < 0 && Index >= 0 && Index < GetItems()->GetCount()) row = Index;
  if (row < 0) return;
  SetSelected(GetItems()->GetItem(row));
  SetItemFocused(row);
  MakeVisible(row);
}

void TFileListView::RefreshView() {
  if (FDestroying || FRenamePending || FDoNotRefresh) return;
  // A rescan of the same folder keeps the selected name (or its place); a
  // new folder starts without a selection, so that nothing the user did not
  // choose gets selected.
  String oldName;
  Integer oldIndex = -1;
  if (FScanned == FDirectory && !FDirectory.empty()) {
    const std::vector<Integer> sel = GetSelectedIndexes();
    if (!sel.empty() && static_cast<size_t>(sel.front()) < FStore.size()) {
      oldIndex = sel.front();
      oldName = FStore[static_cast<size_t>(oldIndex)].Name;
    }
  }
  FSizeColumn = FindSizeColumn();
  const String mask = FMask.empty() ? String("*.*") : FMask;

  // The owner-data count is handed over once, after the scan, so that the
  // first row shown stays in place.
  FStore.clear();
  FScanned = FDirectory;
  if (FDirectory.empty()) {
    if (GetOwnerData())
      GetItems()->SetCount(0);
    else
      GetItems()->Clear();
    return;
  }

  // One pass over the folder with every mask part: a name that two parts
  // match is listed once. A part naming another folder ("../*") is no mask
  // and is skipped.
  std::vector<String> parts;
  size_t start = 0;
  while (start <= mask.size()) {
    size_t semi = mask.find(';', start);
    if (semi == String::npos) semi = mask.size();
    String part = Trim(mask.substr(start, semi - start));
    start = semi + 1;
    if (!part.empty() && part.find('/') == String::npos) parts.push_back(std::move(part));
  }
  std::vector<TFolderEntry> found;
  if (!parts.empty()) ListFolderEntries(FDirectory, parts, FSearchAttr, found);
  FStore.reserve(found.size());
  for (const TFolderEntry& r : found) {
    TStoreItem item;
    item.Name = r.Name;
    item.Entry.Folder = (r.Attr & faDirectory) != 0;
    item.Entry.Size = r.Size;
    FStore.push_back(std::move(item));
  }
  SortStore();
  if (GetOwnerData()) {
    GetItems()->SetCount(static_cast<Integer>(FStore.size()));
  } else {
    FillItemRows();
    // Each row's search record, found by name.
    std::sort(found.begin(), found.end(), [](const TFolderEntry& a, const TFolderEntry& b) { return a.Name < b.Name; });
    for (size_t i = 0; i < FStore.size(); ++i) {
      auto it = std::lower_bound(found.begin(), found.end(), FStore[i].Name,
                                 [](const TFolderEntry& r, const String& n) { return r.Name < n; });
      if (it == found.end() || it->Name != FStore[i].Name) continue;
      TSearchRec sr;
      sr.Name = it->Name;
      sr.Size = it->Size;
      sr.Attr = it->Attr;
      FileAdd(GetItems()->GetItem(static_cast<Integer>(i)), FDirectory + it->Name, sr);
    }
  }
  Reselect(oldName, oldIndex);
  Invalidate();
}

void TFileListView::SetDoNotRefresh(bool Value) {
  FDoNotRefresh = Value;
  if (!Value) RefreshView();
}

namespace {

bool IsShortcut(const String& Name) {
  return Name.size() >= 4 && SameText(Name.substr(Name.size() - 4), ".lnk");
}

}  // namespace

void TFileListView::Data(TObject*, TListItem* Item) {
  const Integer index = Item->GetIndex();
  if (index < 0 || static_cast<size_t>(index) >= FStore.size()) return;
  TStoreItem& s = FStore[static_cast<size_t>(index)];
  if (s.Entry.IconIndex < 0) s.Entry.IconIndex = GetIcoIndex(FDirectory + s.Name, GetViewStyle() == vsIcon);
  Item->SetCaption(IsShortcut(s.Name) ? s.Name.substr(0, s.Name.size() - 4) : s.Name);
  Item->SetImageIndex(s.Entry.IconIndex);
  if (FShowColumnFileSize && FSizeColumn > 0) {
    if (!s.Entry.Folder && s.Entry.SizeText.empty()) {
      const Int64 exact = CalculateFileSize(FDirectory + s.Name);
      if (exact >= 0) s.Entry.Size = exact;
      s.Entry.SizeText = CalculateSize(s.Entry.Size);
    }
    TStrings* sub = Item->GetSubItems();
    while (sub->GetCount() < FSizeColumn - 1) sub->Add(String());
    sub->Add(s.Entry.Folder ? String() : s.Entry.SizeText);
  }
}

void TFileListView::FillItemRows() {
  GetItems()->Clear();
  for (TStoreItem& s : FStore) {
    TListItem* item = GetItems()->Add();
    item->SetCaption(IsShortcut(s.Name) ? s.Name.substr(0, s.Name.size() - 4) : s.Name);
    item->SetData(s.Entry.Folder ? item : nullptr);
    if (s.Entry.IconIndex < 0) s.Entry.IconIndex = GetIcoIndex(FDirectory + s.Name, GetViewStyle() == vsIcon);
    item->SetImageIndex(s.Entry.IconIndex);
    if (FShowColumnFileSize && FSizeColumn > 0) {
      const Int64 exact = CalculateFileSize(FDirectory + s.Name);
      if (exact >= 0) s.Entry.Size = exact;
      s.Entry.SizeText = CalculateSize(s.Entry.Size);
      AddSizeString(item, FSizeColumn, s.Entry.Folder, s.Entry.Size);
    }
  }
}

void TFileListView::AddSizeString(TListItem* Item, Integer Column, bool Folder, Int64 Size) {
  TStrings* sub = Item->GetSubItems();
  while (sub->GetCount() < Column - 1) sub->Add(String());
  sub->Add(Folder ? String() : CalculateSize(Size));
}

// The desktop theme's icons come in every size: one index serves both.
Integer TFileListView::GetIcoIndex(const String& Path, bool) { return LKShellIconIndex(Path); }

void TFileListView::FileAdd(TListItem* Item, const String& File, const TSearchRec& sr) {
  if (OnFileAdd) OnFileAdd(this, Item, File, sr);
}

String TFileListView::GetSelectedFile() {
  const std::vector<Integer> sel = GetSelectedIndexes();
  if (sel.empty() || static_cast<size_t>(sel.front()) >= FStore.size()) return String();
  // The stored name is the caption with ".lnk" put back for shortcuts.
  return FStore[static_cast<size_t>(sel.front())].Name;
}

TStrings* TFileListView::GetSelectedFiles() {
  FSelectedFiles.Clear();
  for (Integer row : GetSelectedIndexes())
    if (static_cast<size_t>(row) < FStore.size()) FSelectedFiles.Add(FDirectory + FStore[static_cast<size_t>(row)].Name);
  return &FSelectedFiles;
}

void TFileListView::GetSizesOfAllFiles() {
  for (TStoreItem& s : FStore) {
    if (s.Entry.Folder || !s.Entry.SizeText.empty()) continue;
    const Int64 exact = CalculateFileSize(FDirectory + s.Name);
    if (exact >= 0) s.Entry.Size = exact;
    s.Entry.SizeText = CalculateSize(s.Entry.Size);
  }
}

void TFileListView::SortStore() {
  std::sort(FStore.begin(), FStore.end(),
            [](const TStoreItem& a, const TStoreItem& b) { return StoreLess(a.Name, a.Entry, b.Name, b.Entry); });
}

void TFileListView::Sort() {
  const std::vector<Integer> sel = GetSelectedIndexes();
  const Integer oldIndex = sel.empty() ? -1 : sel.front();
  const String oldName =
      oldIndex >= 0 && static_cast<size_t>(oldIndex) < FStore.size() ? FStore[static_cast<size_t>(oldIndex)].Name
                                                                     : String();
  SortStore();
  if (GetOwnerData()) {
    GetItems()->SetCount(static_cast<Integer>(FStore.size()));
  } else {
    FillItemRows();
  }
  Reselect(oldName, oldIndex);
  Invalidate();
}

void TFileListView::ColClick(Integer Column) {
  if (Column < 0) return;
  if (static_cast<size_t>(Column) >= FSortSigns.size()) FSortSigns.resize((static_cast<size_t>(Column) / 16 + 1) * 16, 1);
  Integer& sign = FSortSigns[static_cast<size_t>(Column)];
  sign = -sign;
  SortColumn = Column;
  SortSign = sign;
  SortBySize = Column < GetColumnCount() && GetColumn(Column).Tag == 1;
  if (SortBySize) GetSizesOfAllFiles();
  Sort();
}

void TFileListView::Edited(TListItem* Item, String& S) {
  if (Item == nullptr) return;
  FRenamePending = true;
  const String old = Item->GetCaption();
  if (S == old) return;
  // A new name holding a folder separator would move the file elsewhere.
  if (S.empty() || S.find('/') != String::npos ||
      !ShellFileOperation(FDirectory + old, nullptr, FDirectory + S, FO_RENAME))
    S = old;
}

void TFileListView::MouseMove(TShiftState Shift, Integer X, Integer Y) {
  TListView::MouseMove(Shift, X, Y);
  if (FRenamePending) {
    FRenamePending = false;
    RefreshView();
  }
}

// ---- watchers

DirScanThreadNew* TFileListView::CreateNewThread(const String& Path) {
  auto* t = new DirScanThreadNew(Path);
  std::shared_ptr<TWatchLink> link = FLink;
  t->OnTerminate = [link](TObject* Sender) {
    if (link->List != nullptr) link->List->DSThreadDone(Sender);
  };
  FWatchers.push_back(t);
  t->Start();
  return t;
}

DirScanThreadNew* TFileListView::GetThread(Integer Index) const {
  return Index >= 0 && static_cast<size_t>(Index) < FWatchers.size() ? FWatchers[static_cast<size_t>(Index)] : nullptr;
}

void TFileListView::RemoveThread(DirScanThreadNew* Thread) {
  auto it = std::find(FWatchers.begin(), FWatchers.end(), Thread);
  if (it == FWatchers.end()) return;
  FWatchers.erase(it);
  Thread->Stop();
}

void TFileListView::RecreateThread(const String& Path) {
  RemoveAllThreads();
  CreateNewThread(Path);
}

void TFileListView::RemoveAllThreads() {
  std::vector<DirScanThreadNew*> all;
  all.swap(FWatchers);
  for (DirScanThreadNew* t : all) t->Stop();
}

void TFileListView::DSThreadDone(TObject* Sender) {
  auto* t = dynamic_cast<DirScanThreadNew*>(Sender);
  if (t == nullptr) return;
  // The watcher frees itself once this returns: it leaves the list in any
  // case (also when it ended without a change because its folder could not
  // be watched).
  FWatchers.erase(std::remove(FWatchers.begin(), FWatchers.end(), t), FWatchers.end());
  if (FDestroying || !t->GetChanged() || t->GetFolder() != FDirectory) return;
  RecreateThread(FDirectory);
  if (!FDoNotRefresh) RefreshView();
}
