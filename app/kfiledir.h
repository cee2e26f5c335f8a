// The folder browser of the program: a file list that shows the contents of
// one folder (wildcard masks, attribute classes, a size column, natural
// order with folders first) and rescans by itself when names in the folder
// change, and a folder tree over the file system that drives the list.
//
// Threads: everything here runs on the main thread except the body of the
// folder watchers (DirScanThreadNew). A watcher touches only its own fields
// on its thread and hands over through its end handler, which the thread
// class runs on the main thread. The list keeps each watcher it started in
// its watcher list until that watcher's end handler has run (or until it
// asked it to stop), so it never touches a watcher that may have freed
// itself; a watcher asked to stop drops its end handler itself, and end
// handlers reach the list only through a link the list cuts when it goes.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/direnum.h"
#include "platform/dirwatch.h"
#include "platform/filtercombo.h"
#include "platform/listview.h"
#include "platform/sysutils.h"
#include "platform/threads.h"
#include "platform/treeview.h"

/// Compares two names in natural order: runs of digits compare by value
/// (by length, then digit by digit), other runs ignoring ASCII case; a digit
/// run sorts before a non-digit run and a name that ends first sorts first.
/// Negative, zero or positive.
int NaturalCompare(const String& A, const String& B);

/// Shell operation codes of ShellFileOperation.
constexpr Integer FO_MOVE = 1;
constexpr Integer FO_COPY = 2;
constexpr Integer FO_DELETE = 3;
constexpr Integer FO_RENAME = 4;

/// Runs a file operation on From (one name, Names null) or on every string
/// of Names, with To as the target. Only FO_RENAME is carried out on this
/// platform: it renames From to To and refuses to replace an existing name.
/// Returns true when the operation succeeded.
bool ShellFileOperation(const String& From, const TStrings* Names, const String& To, Integer Operation);

/// Sort state of the file lists, shared by every list (column, sign +1 or
/// -1, and whether the size column is the sort key).
extern Integer SortColumn;
extern Integer SortSign;
extern bool SortBySize;

/// One listed name of an owner-data file list.
struct FileEntry {
  bool Folder = false;
  /// System image index; -1 until first displayed (this platform has none
  /// and keeps -1 after).
  Integer IconIndex = -1;
  /// Bytes: from the folder scan, replaced by the exact size once computed.
  Int64 Size = 0;
  /// Empty until computed.
  String SizeText;
};

class TFileListView;

/// Watches one folder for added, removed and renamed names. It ends at the
/// first change (Changed set) or when asked to stop, and frees itself; its
/// end handler runs on the main thread.
class DirScanThreadNew : public TThread {
 public:
  /// Created suspended; starts watching Path at once, on the calling thread,
  /// so that no change made after this returns is missed.
  explicit DirScanThreadNew(const String& Path);
  ~DirScanThreadNew() override;
  /// The watched folder.
  const String& GetFolder() const { return FFolder; }
  /// Whether the watcher ended because a name in the folder changed.
  bool GetChanged() const { return FChanged.load(std::memory_order_acquire); }
  /// Asks the watcher to stop and wakes it (main thread, while the watcher
  /// is known to be alive).
  void Stop();
  /// Number of watchers that exist in the process (tests wait for 0).
  static Integer LiveCount();

 protected:
  void Execute() override;

 private:
  String FFolder;
  std::atomic<bool> FChanged{false};
  TDirChangeWatch FWatch;
};

/// Fired for each row added in item mode: the list, the new row, the full
/// path and the search record of the file.
using TFileAddEvent = std::function<void(TObject* Sender, TListItem* Item, const String& File, TSearchRec sr)>;

/// A report-style list of the names in one folder.
class TFileListView : public TListView {
 public:
  explicit TFileListView(TComponent* AOwner = nullptr);
  ~TFileListView() override;

  /// Shows Path (a folder that does not exist shows nothing and gets no
  /// watcher). Switching to another folder forgets the selection.
  void SetDirectory(const String& Path);
  /// The shown folder with a trailing "/", or empty.
  const String& GetDirectory() const { return FDirectory; }

  /// Masks separated by ";" (empty means "*.*"); setting rescans.
  const String& GetMask() const { return FMask; }
  void SetMask(const String& Value);
  /// The attribute classes listed (fa* bits); setting rescans.
  Integer GetSearchAttr() const { return FSearchAttr; }
  void SetSearchAttr(Integer Value);
  bool GetShowROFiles() const { return (FSearchAttr & faReadOnly) != 0; }
  void SetShowROFiles(bool Value) { SetAttrBits(faReadOnly, Value); }
  bool GetShowHiddenFiles() const { return (FSearchAttr & faHidden) != 0; }
  void SetShowHiddenFiles(bool Value) { SetAttrBits(faHidden, Value); }
  bool GetShowSysFiles() const { return (FSearchAttr & faSysFile) != 0; }
  void SetShowSysFiles(bool Value) { SetAttrBits(faSysFile, Value); }
  bool GetShowFolders() const { return (FSearchAttr & faDirectory) != 0; }
  void SetShowFolders(bool Value) { SetAttrBits(faDirectory, Value); }
  bool GetShowArchiveFiles() const { return (FSearchAttr & faArchive) != 0; }
  void SetShowArchiveFiles(bool Value) { SetAttrBits(faArchive, Value); }
  bool GetShowAnyFiles() const { return (FSearchAttr & faAnyFile) == faAnyFile; }
  void SetShowAnyFiles(bool Value) { SetAttrBits(faAnyFile, Value); }

  /// Whether the "Size" column is shown (default true).
  bool GetShowColumnFileSize() const { return FShowColumnFileSize; }
  void SetColumnFileSize(bool Value);
  /// Owner-data mode (default true): rows are filled when shown.
  bool GetVirtual() const { return GetOwnerData(); }
  void SetVirtual(bool Value);
  /// Binds a filter combo box: its choice becomes the mask.
  TFilterComboBox* GetFilterCombo() const { return FFilterCombo; }
  void SetFilterCombo(TFilterComboBox* Value);
  /// Sets the mask from the bound combo's current choice.
  void ApplyComboMask(TObject* Sender);

  /// Rescans the folder (not while a rename waits or rescans are held).
  void RefreshView();
  /// Holds rescans back; clearing the flag rescans at once.
  void SetDoNotRefresh(bool Value);
  bool GetDoNotRefresh() const { return FDoNotRefresh; }

  /// The name of the first selected row (".lnk" added for shortcut rows);
  /// empty when nothing is selected.
  String GetSelectedFile();
  /// Full paths of every selected row; the list owns the result.
  TStrings* GetSelectedFiles();
  /// Exact size and size text of every file whose size text is missing.
  void GetSizesOfAllFiles();
  /// Sorts by the current sort state, keeping the selected name.
  void Sort();
  /// A click on a column header: flips that column's sign and sorts by it.
  void ColClick(Integer Column);

  /// Size text: "n Bytes" below 1 KiB, "k[.d] Kb" below 1 MiB and "m[.d]
  /// Mb" above, d being tenths (left out when 0).
  static String CalculateSize(Int64 Size);
  /// Exact size of a file that can be opened for reading, else -1.
  static Int64 CalculateFileSize(const String& Path);
  /// Pads Item's texts up to Column and adds the size text (empty for a
  /// folder).
  void AddSizeString(TListItem* Item, Integer Column, bool Folder, Int64 Size);
  /// System image index of Path; this platform has no system image list
  /// and answers -1.
  Integer GetIcoIndex(const String& Path, bool Large);

  /// Rename of a row in place: renames the file and reverts S to the old
  /// caption when that fails.
  virtual void Edited(TListItem* Item, String& S);

  // ---- watchers (main thread)
  DirScanThreadNew* CreateNewThread(const String& Path);
  /// The watcher at Index, null past the end.
  DirScanThreadNew* GetThread(Integer Index) const;
  Integer GetThreadCount() const { return static_cast<Integer>(FWatchers.size()); }
  /// Drops Thread from the list when it is there and asks it to stop.
  void RemoveThread(DirScanThreadNew* Thread);
  void RecreateThread(const String& Path);
  void RemoveAllThreads();
  /// End handler of the watchers (main thread).
  void DSThreadDone(TObject* Sender);

  /// Whether a rename waits for the next mouse move to rescan.
  bool GetRenamePending() const { return FRenamePending; }
  /// Number of store entries (owner-data mode) and their names in order.
  Integer GetEntryCount() const { return static_cast<Integer>(FStore.size()); }
  const String& GetEntryName(Integer Index) const { return FStore.at(static_cast<size_t>(Index)).Name; }
  const FileEntry& GetEntry(Integer Index) const { return FStore.at(static_cast<size_t>(Index)).Entry; }

  TFileAddEvent OnFileAdd;

 protected:
  /// Fills a shown row (owner-data mode).
  virtual void Data(TObject* Sender, TListItem* Item);
  /// Fires OnFileAdd.
  virtual void FileAdd(TListItem* Item, const String& File, const TSearchRec& sr);
  /// The first mouse move after a rename rescans.
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  struct TStoreItem {
    String Name;
    FileEntry Entry;
  };
  struct TWatchLink {
    TFileListView* List;
  };
  void SetAttrBits(Integer Bits, bool On);
  Integer FindSizeColumn() const;
  /// Selects the row of Name (scrolled into view), else the row at Index
  /// when it exists.
  void Reselect(const String& Name, Integer Index);
  void SortStore();
  void FillItemRows();
  Integer IndexOfName(const String& Name) const;

  String FMask;
  String FDirectory;
  /// The folder the rows come from: a rescan of another folder forgets the
  /// selection.
  String FScanned;
  Integer FSearchAttr = 0;
  Integer FSizeColumn = -1;
  bool FShowColumnFileSize = true;
  bool FDoNotRefresh = false;
  bool FRenamePending = false;
  bool FDestroying = false;
  std::vector<TStoreItem> FStore;
  std::vector<Integer> FSortSigns;
  TStringList FSelectedFiles;
  std::vector<DirScanThreadNew*> FWatchers;
  std::shared_ptr<TWatchLink> FLink;
  TFilterComboBox* FFilterCombo = nullptr;
};

/// One node's record of a folder tree.
struct NodeInfo {
  /// Display name (the node text).
  String Name;
  /// File-system path, without trailing "/" except for the root.
  String Path;
  TTreeNode* Node = nullptr;
};

/// A tree of the file-system folders rooted at "/", filled when a node is
/// expanded or selected, merged with what is on disk each time, and driving
/// a bound file list.
class TDirectoryTreeView : public TTreeView {
 public:
  explicit TDirectoryTreeView(TComponent* AOwner = nullptr);
  ~TDirectoryTreeView() override;

  /// The first parenting builds the root and selects it.
  void SetParent(TWinControl* Value) override;

  TFileListView* GetFileListView() const { return FFileList; }
  /// Binds List and shows the selected folder in it.
  void SetFileListView(TFileListView* List);
  /// The selected folder with a trailing "/" when it exists, else empty.
  String GetSelectedDir() const;
  /// Selects the node of an existing folder, filling the tree down to it
  /// (the deepest node found when only part of the path is there).
  void SetSelectedDir(const String& Path);
  void SetDoNotUpdateFileList(bool Value) { FDoNotUpdate = Value; }
  bool GetDoNotUpdateFileList() const { return FDoNotUpdate; }

  /// Fills Node with its sub-folders, merging with the children it has:
  /// 0 when it has none, 1 when some are listed, 2 when the folder cannot
  /// be read.
  Integer AddFoldersToNode(TTreeNode* Node);
  /// The root node ("/").
  TTreeNode* GetRootNode() const { return FRoot; }
  /// The record of Node (null for none).
  static NodeInfo* InfoOf(const TTreeNode* Node);
  /// Rename of a node in place: renames the folder and keeps the node
  /// selected with its new path, or reverts S when that fails.
  virtual void Edited(TTreeNode* Node, String& S);

 protected:
  /// Selection changed: fills the node and hands its folder to the list.
  virtual void Change(TTreeNode* Node);
  /// Expanding: fills the node first.
  virtual bool CanExpand(TTreeNode* Node);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void SetRootDrivers();
  TTreeNode* AddFolderNode(TTreeNode* Parent, const String& Name);
  TTreeNode* FindChildNode(TTreeNode* Node, const String& Name) const;
  void FreeInfos(TTreeNode* Node);

  TFileListView* FFileList = nullptr;
  String FSelectedPath;
  bool FDoNotUpdate = false;
  bool FInitialised = false;
  TTreeNode* FRoot = nullptr;
  std::vector<std::unique_ptr<NodeInfo>> FInfos;
};
