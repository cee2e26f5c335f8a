// The folder tree: rooted at "/", filled on demand, merged with the disk at
// each fill (nodes that stay keep their place and their children), driving
// the bound list, and folders or names the system makes awkward.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/kfiledir.h"
#include "app_kit.h"
#include "platform/forms.h"

using appkit::TScratch;

namespace {

std::vector<std::string> Children(TTreeNode* N) {
  std::vector<std::string> out;
  for (Integer i = 0; i < N->GetCount(); ++i) out.push_back(TDirectoryTreeView::InfoOf(N->GetItem(i))->Name);
  return out;
}

struct TreeFixture : ::testing::Test {
  TreeFixture() {
    tree = new TDirectoryTreeView(&form);
    list = new TFileListView(&form);
    tree->SetParent(&form);
    list->SetParent(&form);
  }
  ~TreeFixture() override {
    delete tree;
    delete list;
    appkit::PumpUntil([] { return DirScanThreadNew::LiveCount() == 0; });
  }
  TForm form;
  TDirectoryTreeView* tree;
  TFileListView* list;
};

}  // namespace

TEST_F(TreeFixture, RootedAtSlashAndDrivesTheList) {
  ASSERT_NE(tree->GetRootNode(), nullptr);
  EXPECT_EQ(tree->GetRootNode()->GetText(), "/");
  EXPECT_EQ(tree->GetSelected(), tree->GetRootNode()) << "the root is selected at start";
  EXPECT_EQ(tree->GetSelectedDir(), "/");
  EXPECT_GT(tree->GetRootNode()->GetCount(), 0);
  tree->SetFileListView(list);
  EXPECT_EQ(list->GetDirectory(), "/");

  TScratch dir;
  dir.Folder("b10");
  dir.Folder("b9");
  dir.Folder("a/deep");
  dir.File("x.crw");
  tree->SetSelectedDir(dir.Path());
  EXPECT_EQ(tree->GetSelectedDir(), dir.Path() + "/");
  EXPECT_EQ(list->GetDirectory(), dir.Path() + "/");
  EXPECT_EQ(list->GetEntryCount(), 1);
  TTreeNode* node = tree->GetSelected();
  EXPECT_EQ(Children(node), (std::vector<std::string>{"a", "b9", "b10"}));
  EXPECT_TRUE(node->GetItem(0)->GetHasChildren()) << "a has a sub-folder";
  EXPECT_FALSE(node->GetItem(1)->GetHasChildren()) << "b9 has none";

  // With the do-not-update flag the list keeps its folder.
  tree->SetDoNotUpdateFileList(true);
  tree->SetSelected(node->GetItem(1));
  EXPECT_EQ(list->GetDirectory(), dir.Path() + "/");
  tree->SetDoNotUpdateFileList(false);
  tree->SetSelected(node->GetItem(2));
  EXPECT_EQ(list->GetDirectory(), dir / "b10/");

  // A path of which only a part exists: nothing happens.
  tree->SetSelectedDir(dir / "nope/deeper");
  EXPECT_EQ(tree->GetSelectedDir(), dir / "b10/");
}

TEST_F(TreeFixture, MergeRefreshKeepsNodesThatStay) {
  TScratch dir;
  dir.Folder("a/inner");
  dir.Folder("c");
  tree->SetSelectedDir(dir.Path());
  TTreeNode* node = tree->GetSelected();
  TTreeNode* a = node->GetItem(0);
  TTreeNode* c = node->GetItem(1);
  a->Expand();
  ASSERT_EQ(Children(a), (std::vector<std::string>{"inner"}));
  EXPECT_FALSE(c->GetHasChildren());

  dir.Folder("b");
  dir.Folder("c/new");  // c gains a sub-folder
  std::filesystem::remove_all(dir / "a");
  dir.Folder("A");  // differs from the old name only in case
  EXPECT_EQ(tree->AddFoldersToNode(node), 1);
  EXPECT_EQ(Children(node), (std::vector<std::string>{"A", "b", "c"}));
  EXPECT_EQ(node->GetItem(2), c) << "a node that stays keeps its place";
  c->Expand();
  EXPECT_TRUE(c->GetHasChildren()) << "the button comes with the fill";
  EXPECT_EQ(Children(c), (std::vector<std::string>{"new"}));

  std::filesystem::remove_all(dir / "c/new");
  EXPECT_EQ(tree->AddFoldersToNode(c), 0);
  EXPECT_FALSE(c->GetHasChildren());
  EXPECT_EQ(c->GetCount(), 0);
}

TEST_F(TreeFixture, UnreadableFoldersAndOddNames) {
  TScratch dir;
  const std::string odd = std::string("odd\xff\x80name");  // not UTF-8
  dir.Folder(odd + "/sub");
  dir.Folder("locked/hidden");
  dir.File(odd + "/p.crw");
  std::filesystem::permissions(dir / "locked", std::filesystem::perms::none);
  tree->SetFileListView(list);
  tree->SetSelectedDir(dir.Path());
  TTreeNode* node = tree->GetSelected();
  ASSERT_EQ(node->GetCount(), 2);
  TTreeNode* locked = node->GetItem(0);
  TTreeNode* oddNode = node->GetItem(1);
  EXPECT_EQ(TDirectoryTreeView::InfoOf(oddNode)->Path, dir / odd) << "the bytes are kept";
  tree->SetSelected(oddNode);
  EXPECT_EQ(list->GetDirectory(), dir / odd + "/");
  EXPECT_EQ(list->GetEntryCount(), 1);

  appkit::AsOrdinaryUser([&] {
    EXPECT_EQ(tree->AddFoldersToNode(locked), 2);
    // Selecting a folder that refuses shows its parent's contents.
    tree->SetSelected(locked);
    EXPECT_EQ(list->GetDirectory(), dir.Path() + "/");
    EXPECT_EQ(tree->GetSelectedDir(), dir.Path() + "/");
  });
}

TEST_F(TreeFixture, RenameInPlace) {
  TScratch dir;
  dir.Folder("old/x");
  tree->SetReadOnly(false);
  tree->SetSelectedDir(dir / "old");
  TTreeNode* node = tree->GetSelected();
  String text = "new";
  tree->Edited(node, text);
  EXPECT_EQ(text, "new");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "new/x"));
  EXPECT_EQ(tree->GetSelected(), node);
  EXPECT_EQ(tree->GetSelectedDir(), dir / "new/");
  dir.Folder("taken");
  text = "taken";  // an existing name: refused, the old text comes back
  tree->Edited(node, text);
  EXPECT_EQ(text, "new");
  text = "../out";
  tree->Edited(node, text);
  EXPECT_EQ(text, "new");
}
