// The main window under test: built and shown offscreen over a temporary
// folder of small sample files, with helpers that act as a user does (a
// folder chosen in the tree, a row clicked in the list, a mouse drag on the
// view) and the library's own reader as the yardstick.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/formmain.h"
#include "app/samples/samplefiles.h"
#include "core/lkbitmap.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "platform/testhooks.h"
#include "raw/lkraw.h"

namespace mainwin {

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/velmoranXXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path, ec);
  }
  std::string str() const { return path.string(); }
};

inline void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

/// Sends a mouse event to a widget at a local position.
inline void Mouse(QWidget* W, QEvent::Type Type, QPoint At, Qt::MouseButtons Held) {
  const QPointF local(At);
  QMouseEvent e(Type, local, W->mapToGlobal(local), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Held,
                Qt::NoModifier);
  QApplication::sendEvent(W, &e);
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    samples::Write(dir.str(), kRows, kCols);
    form = new TFormMain(nullptr);
    form->Show();
    QApplication::processEvents();
    form->LumerakIO1->OnProgress = [this](TObject* S, Integer P) {
      progress.push_back(P);
      form->LumerakIO1Progress(S, P);
    };
    TestHooks::SetExceptionSink([this](const String& M) { errors.push_back(M); });
  }
  void TearDown() override {
    TestHooks::Reset();
    delete form;
    CurrentFile.clear();
    LKIOModuleEnd();
  }

  /// Chooses Folder in the tree by opening the branches down to it.
  void ChooseFolder(const std::string& Folder) {
    TDirectoryTreeView* tree = form->DirectoryTreeView1;
    TTreeNode* node = tree->GetItems()->GetFirstNode();
    ASSERT_NE(node, nullptr);
    for (const auto& part : std::filesystem::path(Folder).relative_path()) {
      node->Expand();
      TTreeNode* next = nullptr;
      for (Integer i = 0; i < node->GetCount(); ++i)
        if (node->GetItem(i)->GetText() == part.string()) next = node->GetItem(i);
      ASSERT_NE(next, nullptr) << part;
      node = next;
    }
    tree->SetSelected(node);
    QApplication::processEvents();
  }

  /// The rows of the file list.
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    TListItems* items = form->FileListView1->GetItems();
    for (Integer i = 0; i < items->GetCount(); ++i) rows.push_back(items->GetItem(i)->GetCaption());
    return rows;
  }

  /// Clicks row Index of the file list with the mouse.
  void ClickRow(Integer Index) {
    auto* view = qobject_cast<QTreeView*>(form->FileListView1->GetWidget());
    ASSERT_NE(view, nullptr);
    const QRect r = view->visualRect(view->model()->index(Index, 0));
    ASSERT_FALSE(r.isEmpty()) << "row " << Index << " not shown";
    Mouse(view->viewport(), QEvent::MouseButtonPress, r.center(), Qt::LeftButton);
    Mouse(view->viewport(), QEvent::MouseButtonRelease, r.center(), Qt::NoButton);
    QApplication::processEvents();
  }

  /// Clicks the row showing Name.
  void ClickFile(const std::string& Name) {
    const auto rows = Rows();
    const auto it = std::find(rows.begin(), rows.end(), Name);
    ASSERT_NE(it, rows.end()) << Name;
    ClickRow(Integer(it - rows.begin()));
  }

  /// The library's own reader on File with the window's current settings.
  void BuiltIn(const std::string& File, TLKBitmap& Out) {
    TIOParamsVals p;
    p.RAW_AUTOADJUSTCOLORS = form->CheckBoxAutoAdjustColors->GetChecked();
    p.RAW_BLUESCALE = form->SpinEditBlueScale->GetValue();
    p.RAW_REDSCALE = form->SpinEditRedScale->GetValue();
    p.RAW_BRIGHT = form->SpinEditBright->GetValue();
    p.RAW_FOURCOLORRGB = form->CheckBoxFourColorRGB->GetChecked();
    p.RAW_GAMMA = form->SpinEditGamma->GetValue();
    p.RAW_QUICKINTERPOLATE = form->CheckBoxQuickInterpolate->GetChecked();
    p.RAW_USEAUTOWB = form->CheckBoxUseAutoWB->GetChecked();
    p.RAW_USECAMERAWB = form->CheckBoxUseCameraWB->GetChecked();
    const auto bytes = ReadFile(File);
    auto s = rawfiles::Stream(bytes);
    std::atomic<bool> aborted{false};
    TProgressRec r;
    r.AbortFlag = &aborted;
    LKReadCameraRAWStream(*s, Out, p, r, false);
    ASSERT_FALSE(aborted.load());
  }

  TLKBitmap* Shown() { return form->LumerakView1->GetLKBitmap(); }

  static constexpr int kRows = 96, kCols = 128;
  TempDir dir;
  TFormMain* form = nullptr;
  std::vector<Integer> progress;
  std::vector<String> errors;
};

}  // namespace mainwin
