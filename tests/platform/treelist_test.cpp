// Tree view and list view: lazy branches through OnExpanding, selection
// events in code and by the user, deselections before selections, and
// owner-data lists filled on demand.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
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

// The report view's last column takes the width the others leave: no
// horizontal scroll bar while the columns fit, one only when the first
// columns alone are wider than the list. Grid lines run between columns and
// rows down to the bottom, in the face colour, and only when asked for.
TEST(ListView, LastColumnFillsTheWidthAndGridLinesAreDrawn) {
  QWidget window;  // a child resizes at once; a top-level window waits for the platform
  TListView list;
  list.SetViewStyle(vsReport);
  list.AddColumn("File", 150);
  list.AddColumn("Size", 150, 1);
  for (const char* name : {"a.crw", "b.nef", "c.mrw"}) list.GetItems()->Add()->SetCaption(name);
  auto* view = static_cast<QTreeView*>(list.GetWidget());
  view->setParent(&window);
  window.resize(600, 300);
  window.show();
  view->resize(285, 237);
  QApplication::processEvents();
  EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0) << "two 150 columns in a 285 list: nothing to scroll";
  EXPECT_EQ(view->header()->sectionSize(0), 150);
  EXPECT_EQ(view->header()->sectionSize(0) + view->header()->sectionSize(1), view->viewport()->width());
  EXPECT_EQ(list.GetColumn(1).Width, 150) << "the column keeps its own width";

  view->resize(500, 237);
  QApplication::processEvents();
  EXPECT_EQ(view->header()->sectionSize(0) + view->header()->sectionSize(1), view->viewport()->width());
  view->resize(120, 237);
  QApplication::processEvents();
  EXPECT_GT(view->horizontalScrollBar()->maximum(), 0) << "the first column alone is wider than the list " << view->header()->length() << " " << view->viewport()->width() << " " << view->width();

  view->resize(285, 237);
  QApplication::processEvents();
  const QColor grid(240, 240, 240), base = view->palette().color(QPalette::Base);
  const int rowStep = view->visualRect(view->model()->index(0, 0)).height();
  const int emptyY = rowStep * 5 + rowStep / 2;  // far below the last row
  QImage shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(149, emptyY), base) << "no grid lines unless asked for";
  list.SetGridLines(true);
  QApplication::processEvents();
  shot = view->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(149, emptyY), grid) << "the line after the first column";
  EXPECT_EQ(shot.pixelColor(60, rowStep - 1), grid) << "the line under the first row";
  EXPECT_EQ(shot.pixelColor(60, rowStep * 5 - 1), grid) << "row lines run on past the last item";
  EXPECT_EQ(shot.pixelColor(60, emptyY), base);
  EXPECT_FALSE(view->alternatingRowColors());
}
