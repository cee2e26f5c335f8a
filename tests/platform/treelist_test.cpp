// Tree view and list view: lazy branches through OnExpanding, selection
// events in code and by the user, deselections before selections, and
// owner-data lists filled on demand.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "platform/listview.h"
#include "platform/treeview.h"

TEST(TreeView, BranchesFillWhenOpenedAndSelectionEventsFire) {
  TTreeView tree;
  TTreeNode* root = tree.GetItems()->AddChild(nullptr, "/");
  root->SetHasChildren(true);
  EXPECT_TRUE(root->GetHasChildren()) << "an expand button before any child exists";
  std::vector<std::string> log;
  bool allowExpand = true;
  tree.OnExpanding = [&](TObject*, TTreeNode* N, bool& Allow) {
    log.push_back("expanding " + N->GetText());
    Allow = allowExpand;
    if (Allow && N->GetCount() == 0)
      for (const char* name : {"home", "usr"}) tree.GetItems()->AddChild(N, name)->SetHasChildren(true);
  };
  tree.OnExpanded = [&](TObject*, TTreeNode* N) { log.push_back("expanded " + N->GetText()); };
  tree.OnChange = [&](TObject*, TTreeNode* N) { log.push_back("change " + (N ? N->GetText() : std::string("-"))); };

  allowExpand = false;
  root->Expand();
  EXPECT_FALSE(root->GetExpanded()) << "vetoed";
  allowExpand = true;
  root->Expand();
  ASSERT_EQ(root->GetCount(), 2);
  EXPECT_TRUE(root->GetExpanded());
  // The user's click on the branch goes the same way.
  TTreeNode* usr = root->GetItem(1);
  static_cast<QTreeWidget*>(tree.GetWidget())->expandItem(static_cast<QTreeWidget*>(tree.GetWidget())->topLevelItem(0)->child(1));
  EXPECT_EQ(usr->GetCount(), 2);
  EXPECT_EQ(usr->GetItem(0)->GetText(), "home");

  tree.SetSelected(usr->GetItem(1));  // in code: OnChange fires
  EXPECT_EQ(tree.GetSelected(), usr->GetItem(1));
  tree.OnChanging = [&](TObject*, TTreeNode*, bool& Allow) { Allow = false; };
  tree.SetSelected(root);
  EXPECT_EQ(tree.GetSelected(), usr->GetItem(1)) << "OnChanging refused";
  tree.OnChanging = nullptr;
  usr->Delete();  // the selection was inside: it goes
  EXPECT_EQ(tree.GetSelected(), nullptr);
  EXPECT_EQ(root->GetCount(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"expanding /", "expanding /", "expanded /", "expanding usr", "expanded usr",
                                           "change usr", "change -"}));
}

TEST(ListView, SelectionEventsComeDeselectionsFirst) {
  TListView list;
  list.SetViewStyle(vsReport);
  list.AddColumn("File", 150);
  list.AddColumn("Size", 150, 1);
  list.SetMultiSelect(true);
  for (const char* name : {"a.crw", "b.nef", "c.cr2"}) {
    TListItem* item = list.GetItems()->Add();
    item->SetCaption(name);
    item->GetSubItems()->Add("1 KB");
  }
  std::vector<std::string> log;
  list.OnSelectItem = [&](TObject*, TListItem* Item, bool Selected) {
    log.push_back((Selected ? "+" : "-") + Item->GetCaption());
  };
  list.GetItems()->GetItem(0)->SetSelected(true);
  list.GetItems()->GetItem(1)->SetSelected(true);
  EXPECT_EQ(list.GetSelCount(), 2);
  list.SetSelected(list.GetItems()->GetItem(2));
  EXPECT_EQ(log, (std::vector<std::string>{"+a.crw", "+b.nef", "-a.crw", "-b.nef", "+c.cr2"}));
  EXPECT_EQ(list.GetSelected()->GetCaption(), "c.cr2");
  auto* model = static_cast<QTreeView*>(list.GetWidget())->model();
  EXPECT_EQ(model->data(model->index(1, 1)).toString(), "1 KB");
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Size");
}

TEST(ListView, OwnerDataItemsAreFilledOnDemand) {
  TListView list;
  list.SetViewStyle(vsReport);
  list.AddColumn("File", 150);
  list.SetOwnerData(true);
  int asked = 0;
  list.OnData = [&](TObject*, TListItem* Item) {
    ++asked;
    Item->SetCaption("file" + std::to_string(Item->GetIndex()));
  };
  list.GetItems()->SetCount(1000000);
  EXPECT_EQ(list.GetItems()->GetCount(), 1000000);
  EXPECT_LT(asked, 1000) << "only what is asked for is filled";
  EXPECT_EQ(list.GetItems()->GetItem(999999)->GetCaption(), "file999999");
  EXPECT_THROW(list.GetItems()->Add(), EInvalidOperation);
  std::vector<Integer> selected;
  list.OnSelectItem = [&](TObject*, TListItem* Item, bool Selected) {
    if (Selected) selected.push_back(Item->GetIndex());
  };
  list.SetSelected(list.GetItems()->GetItem(500000));
  EXPECT_EQ(selected, std::vector<Integer>{500000});
  EXPECT_EQ(list.GetSelected()->GetCaption(), "file500000");
}
