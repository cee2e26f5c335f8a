#include "platform/shellicons.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "platform/listview.h"
#include "platform/treeview.h"

namespace {

namespace fs = std::filesystem;

// Files of one type share one icon; folders have their own; an index is
// stable, so the views can keep it with their items.
TEST(ShellIcons, OneIndexPerIconAndType) {
  const fs::path dir = fs::temp_directory_path() / ("shellicons." + std::to_string(::getpid()));
  fs::create_directories(dir / "sub");
  for (const char* n : {"a.txt", "b.txt", "c.png"}) std::ofstream(dir / n) << "x";
  const Integer folder = LKShellIconIndex((dir / "sub").string());
  if (folder < 0) GTEST_SKIP() << "no icon theme on this machine";
  EXPECT_EQ(LKShellIconIndex((dir / "sub").string()), folder);
  const Integer txt = LKShellIconIndex((dir / "a.txt").string());
  EXPECT_EQ(LKShellIconIndex((dir / "b.txt").string()), txt);
  EXPECT_NE(txt, folder);
  EXPECT_GE(LKShellIconIndex((dir / "c.png").string()), 0);
  EXPECT_LE(LKShellIconCount(), 4);
  EXPECT_LT(LKShellIconIndex((dir / "sub").string(), true), LKShellIconCount());

  // The views keep the index with their items.
  TListView list;
  TListItem* item = list.GetItems()->Add();
  EXPECT_EQ(item->GetImageIndex(), -1);
  item->SetImageIndex(txt);
  EXPECT_EQ(item->GetImageIndex(), txt);
  TTreeView tree;
  TTreeNode* node = tree.GetItems()->AddChild(nullptr, "sub");
  node->SetImageIndex(folder);
  node->SetSelectedIndex(LKShellIconIndex((dir / "sub").string(), true));
  EXPECT_EQ(node->GetImageIndex(), folder);
  fs::remove_all(dir);
}

}  // namespace
