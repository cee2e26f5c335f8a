// The file list: natural order, size texts, mask and attribute filters,
// sorting by column, the selection across rescans and folder changes, the
// folder watcher handing changes to the main thread, and folders or names
// the system makes awkward.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/kfiledir.h"
#include "app_kit.h"
#include "platform/forms.h"

using appkit::TScratch;

namespace {

std::vector<std::string> Names(const TFileListView& L) {
  std::vector<std::string> out;
  for (Integer i = 0; i < L.GetEntryCount(); ++i) out.push_back(L.GetEntryName(i));
  return out;
}

// The twelve camera RAW extensions the program's filter lists.
const char* const kRawMask = "*.crw;*.cr2;*.nef;*.raw;*.pef;*.raf;*.x3f;*.bay;*.orf;*.srf;*.mrw;*.dcr";

}  // namespace

TEST(NaturalCompare, Table) {
  struct Row {
    const char* A;
    const char* B;
    int Sign;
  };
  const Row rows[] = {
      {"a2.crw", "a10.crw", -1},  // digit runs by value
      {"A1.crw", "a2.crw", -1},   // case ignored
      {"a.crw", "A.CRW", 0},
      {"file", "file1", -1},      // the name that ends first
      {"1x", "x", -1},            // a digit run before a non-digit run
      {"x", "1x", 1},
      {"img007", "img7", 1},      // longer digit run is larger
      {"img10b", "img10a", 1},
      {"", "", 0},
      {"", "a", -1},
      {"99999999999999999999999", "100000000000000000000000", -1},  // no overflow
  };
  for (const Row& r : rows) {
    const int c = NaturalCompare(r.A, r.B);
    EXPECT_EQ((c > 0) - (c < 0), r.Sign) << r.A << " vs " << r.B;
  }
}

TEST(FileListView, SizeTexts) {
  struct Row {
    Int64 Size;
    const char* Text;
  };
  const Row rows[] = {
      {0, "0 Bytes"},
      {1023, "1023 Bytes"},
      {1024, "1 Kb"},
      {1536, "1.5 Kb"},
      {2047, "1.9 Kb"},  // tenths of a kilobyte (never "1.10")
      {1048575, "1023.9 Kb"},
      {1048576, "1 Mb"},
      {1572864, "1.5 Mb"},
      {Int64{5} << 30, "5120 Mb"},
      {(Int64{4} << 30) - 1, "4095.9 Mb"},
  };
  for (const Row& r : rows) EXPECT_EQ(TFileListView::CalculateSize(r.Size), r.Text) << r.Size;
}

TEST(FileListView, MasksAttributesAndOrder) {
  TScratch dir;
  for (const char* n : {"a10.crw", "a2.crw", "A1.CRW", "b.NEF", "note.txt", ".hidden.crw", "z.crw.bak"}) dir.File(n);
  dir.Folder("sub.crw");
  dir.Folder("Folder2");
  TFileListView list;
  list.SetMask("*.crw;*.CRW; *.crw ");  // one pattern in two cases: each file once
  list.SetDirectory(dir.Path());
  EXPECT_EQ(list.GetDirectory(), dir.Path() + "/");
  EXPECT_EQ(Names(list), (std::vector<std::string>{"A1.CRW", "a2.crw", "a10.crw"}));

  list.SetMask(kRawMask);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"A1.CRW", "a2.crw", "a10.crw", "b.NEF"}));

  list.SetShowFolders(true);
  list.SetShowHiddenFiles(true);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"sub.crw", ".hidden.crw", "A1.CRW", "a2.crw", "a10.crw", "b.NEF"}));
  list.SetShowHiddenFiles(false);
  list.SetShowHiddenFiles(false);  // clearing twice keeps the bit off
  EXPECT_FALSE(list.GetShowHiddenFiles());
  EXPECT_EQ(Names(list), (std::vector<std::string>{"sub.crw", "A1.CRW", "a2.crw", "a10.crw", "b.NEF"}));

  list.SetShowAnyFiles(true);
  EXPECT_TRUE(list.GetShowAnyFiles());
  list.SetMask("");  // empty: every name
  EXPECT_EQ(list.GetEntryCount(), 9);
  // A mask part that names another folder lists nothing from it.
  list.SetMask("../*");
  EXPECT_EQ(list.GetEntryCount(), 0);

  // A folder that does not exist shows nothing and gets no watcher.
  list.SetDirectory(dir / "missing");
  EXPECT_EQ(list.GetDirectory(), "");
  EXPECT_EQ(list.GetEntryCount(), 0);
  EXPECT_EQ(list.GetThreadCount(), 0);
}

TEST(FileListView, ColumnClicksSortFoldersStayFirst) {
  TScratch dir;
  dir.File("b.crw", 3000);
  dir.File("a.crw", 100);
  dir.File("c.crw", 2000);
  dir.Folder("zdir");
  TFileListView list;
  list.SetShowFolders(true);
  list.SetDirectory(dir.Path());
  ASSERT_EQ(list.GetColumnCount(), 2);
  EXPECT_EQ(list.GetColumn(1).Caption, "Size");
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zdir", "a.crw", "b.crw", "c.crw"}));
  list.ColClick(0);  // first click on "File": downwards
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zdir", "c.crw", "b.crw", "a.crw"}));
  list.ColClick(1);  // first click on "Size": smallest first
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zdir", "a.crw", "c.crw", "b.crw"}));
  EXPECT_EQ(list.GetEntry(1).SizeText, "100 Bytes");
  list.ColClick(1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zdir", "b.crw", "c.crw", "a.crw"}));
  list.ColClick(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"zdir", "a.crw", "b.crw", "c.crw"}));

  // The size column goes and comes back; the rows show their size texts.
  list.SetColumnFileSize(false);
  EXPECT_EQ(list.GetColumnCount(), 1);
  list.SetColumnFileSize(true);
  TListItem* row = list.GetItems()->GetItem(3);
  EXPECT_EQ(row->GetCaption(), "c.crw");
  ASSERT_EQ(row->GetSubItems()->GetCount(), 1);
  EXPECT_EQ(row->GetSubItems()->Get(0), "1.9 Kb");
  EXPECT_EQ(list.GetItems()->GetItem(0)->GetSubItems()->Get(0), "") << "folders show no size";
  SortColumn = 0;
  SortSign = 1;
  SortBySize = false;
}

TEST(FileListView, SelectionSurvivesRescanButNotFolderChange) {
  TScratch one, two;
  for (const char* n : {"a.crw", "b.crw", "c.crw"}) one.File(n);
  for (const char* n : {"x.crw", "y.crw", "z.crw"}) two.File(n);
  TFileListView list;
  list.SetMultiSelect(true);
  list.SetDirectory(one.Path());
  std::vector<std::string> selected;
  list.OnSelectItem = [&](TObject*, TListItem* Item, bool Selected) {
    if (Selected) selected.push_back(Item->GetCaption());
  };
  list.SetSelected(list.GetItems()->GetItem(1));
  EXPECT_EQ(list.GetSelectedFile(), "b.crw");
  one.File("0.crw");  // lands before it
  list.RefreshView();
  EXPECT_EQ(list.GetSelectedFile(), "b.crw") << "the name is kept";
  std::filesystem::remove(one / "b.crw");
  list.RefreshView();
  EXPECT_EQ(list.GetSelectedFile(), "c.crw") << "gone: the row at its old place";

  selected.clear();
  list.SetDirectory(two.Path());
  EXPECT_EQ(list.GetSelectedFile(), "") << "a new folder starts without a selection";
  EXPECT_TRUE(selected.empty()) << "nothing the user did not click gets selected";

  list.SetSelected(list.GetItems()->GetItem(0));
  list.GetItems()->GetItem(2)->SetSelected(true);
  TStrings* files = list.GetSelectedFiles();
  ASSERT_EQ(files->GetCount(), 2);
  EXPECT_EQ(files->Get(0), two / "x.crw");
  EXPECT_EQ(files->Get(1), two / "z.crw");
}

TEST(FileListView, WatcherChangesReachTheListOnTheMainThread) {
  TScratch dir;
  dir.File("a.crw");
  {
    TFileListView list;
    list.SetMask("*.crw");
    list.SetDirectory(dir.Path());
    ASSERT_EQ(list.GetThreadCount(), 1);
    list.SetSelected(list.GetItems()->GetItem(0));

    dir.File("b.crw");
    // The watcher never touches the list itself: without the main thread
    // running its queue, nothing changes.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a.crw"}));
    ASSERT_TRUE(appkit::PumpUntil([&] { return list.GetEntryCount() == 2; })) << "added";
    EXPECT_EQ(list.GetSelectedFile(), "a.crw");
    EXPECT_EQ(list.GetThreadCount(), 1) << "a fresh watcher took over";

    std::filesystem::rename(dir / "b.crw", dir / "c.crw");
    ASSERT_TRUE(appkit::PumpUntil([&] { return Names(list) == std::vector<std::string>{"a.crw", "c.crw"}; }))
        << "renamed";
    std::filesystem::remove(dir / "a.crw");
    ASSERT_TRUE(appkit::PumpUntil([&] { return Names(list) == std::vector<std::string>{"c.crw"}; })) << "removed";

    // Held rescans: the change waits until they are allowed again.
    list.SetDoNotRefresh(true);
    dir.File("d.crw");
    appkit::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"c.crw"}));
    list.SetDoNotRefresh(false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"c.crw", "d.crw"}));
    dir.File("e.crw");  // still watched
    ASSERT_TRUE(appkit::PumpUntil([&] { return list.GetEntryCount() == 3; }));

    dir.File("f.crw");  // a change in flight while the list goes
  }
  // The list is gone with its watchers still running: their end handlers
  // find it gone, and they end.
  EXPECT_TRUE(appkit::PumpUntil([] { return DirScanThreadNew::LiveCount() == 0; }));
}

TEST(FileListView, FolderSwitchStopsOldWatchers) {
  TScratch one, two;
  TFileListView list;
  list.SetDirectory(one.Path());
  list.SetDirectory(two.Path());
  EXPECT_EQ(list.GetThreadCount(), 1);
  EXPECT_EQ(list.GetThread(0)->GetFolder(), two.Path() + "/");
  EXPECT_EQ(list.GetThread(1), nullptr);
  ASSERT_TRUE(appkit::PumpUntil([] { return DirScanThreadNew::LiveCount() == 1; })) << "the old one left at once";
  one.File("late.crw");  // the old folder is no longer watched
  two.File("new.crw");
  ASSERT_TRUE(appkit::PumpUntil([&] { return list.GetEntryCount() == 1; }));
  EXPECT_EQ(list.GetEntryName(0), "new.crw");
  list.SetDirectory("");
  EXPECT_EQ(list.GetThreadCount(), 0);
  EXPECT_TRUE(appkit::PumpUntil([] { return DirScanThreadNew::LiveCount() == 0; }));
}

TEST(FileListView, AwkwardFoldersAndNames) {
  TScratch dir;
  const std::string bad = std::string("bad\xff\xfe") + ".crw";  // not UTF-8
  dir.File(bad, 10);
  dir.File("big.crw", Int64{5} << 30);  // sparse: 5 GiB, past any 32-bit size
  dir.File("empty.crw");
  dir.Folder("locked");
  dir.File("locked/inside.crw");
  std::filesystem::permissions(dir / "locked", std::filesystem::perms::none);

  TFileListView list;
  list.SetMask("*.crw");
  list.SetDirectory(dir.Path());
  ASSERT_EQ(list.GetEntryCount(), 3);
  EXPECT_EQ(list.GetEntryName(0), bad) << "the bytes are kept";
  EXPECT_EQ(list.GetItems()->GetItem(1)->GetSubItems()->Get(0), "5120 Mb");
  list.SetSelected(list.GetItems()->GetItem(0));
  EXPECT_EQ(list.GetDirectory() + list.GetSelectedFile(), dir / bad);

  // A file that vanished between listing and display shows its listed size.
  TScratch gone;
  gone.File("v.crw", 1536);
  TFileListView list2;
  list2.SetDirectory(gone.Path());
  std::filesystem::remove(gone / "v.crw");
  EXPECT_EQ(list2.GetItems()->GetItem(0)->GetSubItems()->Get(0), "1.5 Kb");

  // Links: one to a folder counts as a folder; one whose target is gone is
  // a system entry, listed only with those.
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.crw");
  std::filesystem::create_directory_symlink(dir / "locked", dir / "linked.crw");
  list.SetShowFolders(true);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"linked.crw", bad, "big.crw", "empty.crw"}));
  EXPECT_TRUE(list.GetEntry(0).Folder);
  list.SetShowSysFiles(true);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"linked.crw", bad, "big.crw", "dangling.crw", "empty.crw"}));

  appkit::AsOrdinaryUser([&] {
    list.SetDirectory(dir / "locked");  // cannot be searched: empty, no crash
    EXPECT_EQ(list.GetEntryCount(), 0);
  });
  EXPECT_TRUE(appkit::PumpUntil([&] { return list.GetThreadCount() <= 1; }));
}

TEST(FileListView, RenameWaitsForTheNextMouseMove) {
  TScratch dir;
  dir.File("a.crw");
  dir.File("b.crw");
  TFileListView list;
  list.SetDirectory(dir.Path());
  TListItem* item = list.GetItems()->GetItem(0);
  String text = "c.crw";
  list.Edited(item, text);
  EXPECT_EQ(text, "c.crw");
  EXPECT_TRUE(std::filesystem::exists(dir / "c.crw"));
  EXPECT_TRUE(list.GetRenamePending());
  list.RefreshView();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a.crw", "b.crw"})) << "no rescan while the rename waits";
  list.Perform(WM_MOUSEMOVE, 0, 0);
  EXPECT_FALSE(list.GetRenamePending());
  EXPECT_EQ(Names(list), (std::vector<std::string>{"b.crw", "c.crw"}));

  // A rename onto an existing name fails and reverts the text.
  item = list.GetItems()->GetItem(0);
  text = "c.crw";
  list.Edited(item, text);
  EXPECT_EQ(text, "b.crw");
  text = "../escape.crw";
  list.Edited(item, text);
  EXPECT_EQ(text, "b.crw");
  EXPECT_TRUE(std::filesystem::exists(dir / "b.crw"));
}

TEST(FilterComboBox, MaskOfTheChosenEntry) {
  TFilterComboBox combo;
  combo.SetFilter("Camera RAW (CRW;NEF)|*.crw;*.nef|All|*.*");
  EXPECT_EQ(combo.GetItems()->GetCount(), 2);
  EXPECT_EQ(combo.GetMask(), "*.crw;*.nef");
  TFileListView list;
  list.SetFilterCombo(&combo);
  EXPECT_EQ(list.GetMask(), "*.crw;*.nef");
  combo.SetItemIndex(1);
  ASSERT_TRUE(combo.OnChange);
  combo.OnChange(&combo);
  EXPECT_EQ(list.GetMask(), "*.*");
}
