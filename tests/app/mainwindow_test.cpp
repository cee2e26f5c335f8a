// The main window end to end, headless: start-up state, developing a
// clicked sample file as the library's reader does, "Refresh" with a new
// setting, a mouse selection cropped by a double click, "Save As" to JPEG,
// and bad files and folders that must leave the picture alone.
#include "tests/app/mainwindow_kit.h"

#include <sys/stat.h>

#include "codecs/gif/giflzw.h"
#include "codecs/tiff/tifflzw.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkextio.h"
#include "io/lumerakio.h"
#include "raw/rawfiles.h"

using namespace mainwin;
using rawfiles::SamePixels;

namespace {

// A save dialog that "chooses" a fixed name and remembers what it was
// offered.
struct FakeSave : TLKIODialogs {
  String answer, offered;
  Integer filter = 0;
  struct Dialog : TLKFileDialog {
    FakeSave* owner;
    bool Execute() override {
      owner->offered = FileName;
      owner->filter = FilterIndex;
      FileName = owner->answer;
      return !FileName.empty();
    }
  };
  std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent*) override { return nullptr; }
  std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent*) override {
    auto d = std::make_unique<Dialog>();
    d->owner = this;
    return d;
  }
  std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent*) override { return nullptr; }
};

}  // namespace

// The constructor puts the library's four LZW coders in the hooks, puts the
// plug-in in place of the built-in camera RAW reader, and the window starts
// with the settings, filter and menus of its design.
TEST(MainWindowStart, HooksPluginCaptionAndControls) {
  DefGIF_LZWDECOMPFUNC = nullptr;
  DefGIF_LZWCOMPFUNC = nullptr;
  DefTIFF_LZWDECOMPFUNC = nullptr;
  DefTIFF_LZWCOMPFUNC = nullptr;
  TFormMain form;
  EXPECT_EQ(FormMain, &form);
  EXPECT_EQ(DefGIF_LZWDECOMPFUNC, &GIFLZWDecompress);
  EXPECT_EQ(DefGIF_LZWCOMPFUNC, &GIFLZWCompress);
  EXPECT_EQ(DefTIFF_LZWDECOMPFUNC, &TIFFLZWDecompress);
  EXPECT_EQ(DefTIFF_LZWCOMPFUNC, &TIFFLZWCompress);
  EXPECT_GE(LKExtToFileFormat("NEF"), kLKFirstExternalFormat) << "rawdevlib.so not registered";
  EXPECT_EQ(form.GetCaption(), "Velmoran");
  EXPECT_EQ(form.GetWidth(), 865);
  EXPECT_EQ(form.GetHeight(), 603);
  EXPECT_EQ(form.FilterComboBox1->GetMask(),
            "*.crw;*.cr2;*.nef;*.raw;*.pef;*.raf;*.x3f;*.bay;*.orf;*.srf;*.mrw;*.dcr");
  EXPECT_EQ(form.SpinEditBlueScale->GetText(), "1.00");
  EXPECT_EQ(form.SpinEditRedScale->GetText(), "1.00");
  EXPECT_EQ(form.SpinEditGamma->GetText(), "0.60");
  EXPECT_EQ(form.SpinEditBright->GetText(), "1.00");
  EXPECT_TRUE(form.CheckBoxQuickInterpolate->GetChecked());
  EXPECT_FALSE(form.CheckBoxAutoAdjustColors->GetChecked());
  EXPECT_EQ(form.BitBtnRefresh->GetCaption(), "Refresh");
  ASSERT_EQ(form.MainMenu1->GetItems()->GetCount(), 2);
  EXPECT_EQ(form.File1->GetItem(0)->GetCaption(), "Save As ...");
  EXPECT_EQ(form.Image1->GetItem(0)->GetCaption(), "Color Adjust ...");
  EXPECT_EQ(form.Image1->GetItem(1)->GetCaption(), "Effects ...");
  EXPECT_EQ(form.Image1->GetItem(2)->GetCaption(), "Crop Selected");
  EXPECT_EQ(form.LumerakView1->GetMouseInteract(), (TLKMouseInteract{miScroll, miZoom}));
  form.Show();
  EXPECT_DOUBLE_EQ(form.SpinEditGamma->GetIncrement(), 0.1);
  form.SetBounds(0, 0, 900, 700);
  EXPECT_EQ(form.DirectoryTreeView1->GetHeight(), 700 / 3);
  LKIOModuleEnd();
}

// The three white-balance and colour boxes: at most one checked, and
// "Bright" editable exactly while automatic colour adjustment is off.
TEST_F(MainWindowTest, ExclusiveCheckBoxes) {
  TCheckBox* aac = form->CheckBoxAutoAdjustColors;
  TCheckBox* awb = form->CheckBoxUseAutoWB;
  TCheckBox* cwb = form->CheckBoxUseCameraWB;
  struct Step {
    TCheckBox* box;
    bool check;
    bool aac, awb, cwb;
  } steps[] = {
      {aac, true, true, false, false},  {awb, true, false, true, false}, {cwb, true, false, false, true},
      {aac, true, true, false, false},  {aac, false, false, false, false}, {cwb, true, false, false, true},
      {cwb, false, false, false, false},
  };
  for (const Step& s : steps) {
    s.box->SetChecked(s.check);
    EXPECT_EQ(aac->GetChecked(), s.aac);
    EXPECT_EQ(awb->GetChecked(), s.awb);
    EXPECT_EQ(cwb->GetChecked(), s.cwb);
    EXPECT_EQ(form->SpinEditBright->GetEnabled(), !s.aac);
    EXPECT_EQ(form->Label2->GetEnabled(), !s.aac);
    EXPECT_FALSE(CheckBoxUpdating);
  }
}

// Choose the folder, click a file: the view shows what the library's own
// reader makes of it with the panel's settings, fitted, and the bar is back
// at 0. Clicking it again does nothing; "Refresh" develops it again with a
// changed setting and keeps the zoom.
TEST_F(MainWindowTest, DevelopsTheClickedFileAndRefreshes) {
  ChooseFolder(dir.str());
  EXPECT_EQ(form->FileListView1->GetDirectory(), dir.str() + "/");
  ASSERT_EQ(Rows(), (std::vector<std::string>{"canon_powershot.crw", "nikon_d1.nef", "nucore_scene.raw"}));
  ClickFile("nucore_scene.raw");
  const std::string file = dir.str() + "/nucore_scene.raw";
  EXPECT_EQ(CurrentFile, file);
  TLKBitmap expected;
  BuiltIn(file, expected);
  EXPECT_TRUE(SamePixels(*Shown(), expected));
  ASSERT_FALSE(progress.empty());
  EXPECT_GT(*std::max_element(progress.begin(), progress.end()), 0);
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  // Fitted: the whole picture inside the view.
  const double zoom = form->LumerakView1->GetZoom();
  EXPECT_LE(expected.GetWidth() * zoom / 100, form->LumerakView1->GetClientWidth() + 1);
  EXPECT_LE(expected.GetHeight() * zoom / 100, form->LumerakView1->GetClientHeight() + 1);

  progress.clear();
  ClickFile("nucore_scene.raw");
  EXPECT_TRUE(progress.empty());

  form->SpinEditGamma->SetValue(1.0);
  form->CheckBoxQuickInterpolate->SetChecked(false);
  form->LumerakView1->SetZoom(50);
  form->BitBtnRefresh->Click();
  TLKBitmap again;
  BuiltIn(file, again);
  EXPECT_FALSE(SamePixels(again, expected));
  EXPECT_TRUE(SamePixels(*Shown(), again));
  EXPECT_FALSE(progress.empty());
  EXPECT_DOUBLE_EQ(form->LumerakView1->GetZoom(), 50);
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  EXPECT_TRUE(errors.empty());
}

// "Crop Selected", a rectangle dragged with the mouse and a double click
// crop the picture to the selection (mouse zoom stays off afterwards);
// "Save As" offers the RAW file's name with the JPEG entry and writes a
// JPEG that reads back as the cropped picture.
TEST_F(MainWindowTest, CropSelectionAndSaveAsJpeg) {
  ChooseFolder(dir.str());
  ClickFile("nikon_d1.nef");
  TLKBitmap whole;
  whole.AssignImage(Shown());
  ASSERT_GT(whole.GetWidth(), 0);

  QWidget* view = form->LumerakView1->GetPeer();
  // A double click without a selection does nothing.
  Mouse(view, QEvent::MouseButtonDblClick, QPoint(40, 40), Qt::LeftButton);
  EXPECT_EQ(Shown()->GetWidth(), whole.GetWidth());

  form->Crop1->Click();
  EXPECT_EQ(form->LumerakView1->GetMouseInteract(), TLKMouseInteract{miSelect});
  Mouse(view, QEvent::MouseButtonPress, QPoint(60, 50), Qt::LeftButton);
  Mouse(view, QEvent::MouseMove, QPoint(120, 100), Qt::LeftButton);
  Mouse(view, QEvent::MouseMove, QPoint(200, 160), Qt::LeftButton);
  Mouse(view, QEvent::MouseButtonRelease, QPoint(200, 160), Qt::NoButton);
  ASSERT_TRUE(form->LumerakView1->GetSelected());
  TLKMask* mask = form->LumerakView1->GetSelectionMask();
  const Integer x1 = mask->GetX1(), y1 = mask->GetY1(), x2 = mask->GetX2(), y2 = mask->GetY2();
  ASSERT_GT(x2, x1);
  ASSERT_GT(y2, y1);
  Mouse(view, QEvent::MouseButtonDblClick, QPoint(120, 100), Qt::LeftButton);
  Mouse(view, QEvent::MouseButtonRelease, QPoint(120, 100), Qt::NoButton);
  QApplication::processEvents();
  ASSERT_EQ(Shown()->GetWidth(), x2 - x1 + 1);
  ASSERT_EQ(Shown()->GetHeight(), y2 - y1 + 1);
  for (Integer y = 0; y < Shown()->GetHeight(); y += 7)
    for (Integer x = 0; x < Shown()->GetWidth(); x += 5)
      ASSERT_TRUE(Shown()->GetPixels_lk24RGB(x, y) == whole.GetPixels_lk24RGB(x + x1, y + y1)) << x << "," << y;
  EXPECT_EQ(form->LumerakView1->GetMouseInteract(), TLKMouseInteract{miScroll});
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  // The outline went with the picture it was drawn on.
  EXPECT_FALSE(form->LumerakView1->GetSelected());
  EXPECT_TRUE(form->LumerakView1->GetSelectionOutline()->Points.empty());

  FakeSave dialogs;
  dialogs.answer = dir.str() + "/cropped.jpg";
  LKSetIODialogs(&dialogs);
  form->SaveAs1->Click();
  LKSetIODialogs(nullptr);
  EXPECT_EQ(dialogs.offered, dir.str() + "/nikon_d1.nef");
  EXPECT_EQ(dialogs.filter, 3);
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  TLumerakIO back;
  back.LoadFromFile(dialogs.answer);
  ASSERT_FALSE(back.GetAborted());
  TLKBitmap* b = back.GetLKBitmap();
  ASSERT_EQ(b->GetWidth(), Shown()->GetWidth());
  ASSERT_EQ(b->GetHeight(), Shown()->GetHeight());
  double diff = 0;
  for (Integer y = 0; y < b->GetHeight(); ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x) {
      const TRGB p = b->GetPixels_lk24RGB(x, y), q = Shown()->GetPixels_lk24RGB(x, y);
      diff += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
    }
  EXPECT_LT(diff / (3.0 * b->GetWidth() * b->GetHeight()), 16.0);
  EXPECT_TRUE(errors.empty());

  // A name no format writes saves nothing, and the window says so.
  dialogs.answer = dir.str() + "/cropped.crw";
  LKSetIODialogs(&dialogs);
  form->SaveAs1->Click();
  LKSetIODialogs(nullptr);
  EXPECT_FALSE(std::filesystem::exists(dialogs.answer));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("not saved"), String::npos);
  // It says why.
  EXPECT_NE(errors[0].find("cropped.crw\": "), String::npos) << errors[0];
}

// Files with a RAW extension that are damaged, not camera files, empty, a
// JPEG under a camera name, or gone by the time they are clicked: the view
// is left empty (never the previous file's picture under the new name), the
// bar is at 0, nothing crashes. A missing file is reported, and choosing it
// again tries again. A name that is not UTF-8 develops like any other.
TEST_F(MainWindowTest, BadFilesLeaveTheViewEmpty) {
  const auto nucore = ReadFile(dir.str() + "/nucore_scene.raw");
  const auto nikon = ReadFile(dir.str() + "/nikon_d1.nef");
  WriteFile(dir.str() + "/a_truncated.nef", std::vector<uint8_t>(nikon.begin(), nikon.begin() + 600));
  WriteFile(dir.str() + "/b_text.crw", std::vector<uint8_t>{'n', 'o', 't', ' ', 'r', 'a', 'w', '\n'});
  WriteFile(dir.str() + "/c_empty.raw", {});
  WriteFile(dir.str() + "/c_jpeg.cr2", rawfiles::Jpeg(64, 48));
  std::vector<uint8_t> noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
  WriteFile(dir.str() + "/c_noise.nef", noise);
  // The vanishing file is a link to a file in another folder: deleting that
  // one makes the listed name fail to open without a change the folder
  // watcher could see, so the listing stays as it was when the user clicks.
  TempDir elsewhere;
  WriteFile(elsewhere.str() + "/target.raw", nucore);
  std::filesystem::create_symlink(elsewhere.path / "target.raw", dir.path / "d_vanishing.raw");
  WriteFile(dir.str() + "/e_latin1_\xe9.raw", nucore);
  ChooseFolder(dir.str());

  for (const char* name : {"a_truncated.nef", "b_text.crw", "c_empty.raw", "c_jpeg.cr2", "c_noise.nef"}) {
    SCOPED_TRACE(name);
    ClickFile("canon_powershot.crw");
    ASSERT_GT(Shown()->GetWidth(), 0);
    ClickFile(name);
    EXPECT_EQ(CurrentFile, dir.str() + "/" + name);
    EXPECT_TRUE(form->LumerakView1->GetIsEmpty());
    EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);
  }
  EXPECT_TRUE(errors.empty());

  ClickFile("canon_powershot.crw");
  const String before = CurrentFile;
  std::filesystem::remove(elsewhere.path / "target.raw");
  ClickFile("d_vanishing.raw");
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(CurrentFile, before);
  EXPECT_TRUE(form->LumerakView1->GetIsEmpty());
  EXPECT_EQ(form->ProgressBar1->GetPosition(), 0);

  // The list shows the name with a replacement character; the path keeps
  // its bytes.
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 10u);
  const auto latin = std::find_if(rows.begin(), rows.end(), [](const std::string& r) { return r.rfind("e_latin1_", 0) == 0; });
  ASSERT_NE(latin, rows.end());
  ClickRow(Integer(latin - rows.begin()));
  EXPECT_EQ(CurrentFile, dir.str() + "/e_latin1_\xe9.raw");
  TLKBitmap expected;
  BuiltIn(CurrentFile, expected);
  EXPECT_TRUE(SamePixels(*Shown(), expected));
}

// Changing folders develops nothing the user did not click, also when the
// new folder has a file at the selected row; a folder that cannot be read
// shows an empty list.
TEST_F(MainWindowTest, ChangingFoldersDevelopsNothing) {
  std::filesystem::create_directory(dir.path / "other");
  samples::Write((dir.path / "other").string(), 48, 64);
  std::filesystem::create_directory(dir.path / "locked");
  WriteFile((dir.path / "locked" / "x.raw").string(), ReadFile(dir.str() + "/nucore_scene.raw"));
  ChooseFolder(dir.str());
  ClickFile("nikon_d1.nef");
  const String loaded = CurrentFile;
  progress.clear();
  ChooseFolder((dir.path / "other").string());
  EXPECT_EQ(Rows().size(), 3u);
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(CurrentFile, loaded);
  EXPECT_EQ(form->FileListView1->GetSelCount(), 0);
  form->BitBtnRefresh->Click();  // nothing selected: nothing happens
  EXPECT_TRUE(progress.empty());

  chmod((dir.path / "locked").c_str(), 0);
  ChooseFolder((dir.path / "locked").string());
  if (geteuid() != 0) {
    EXPECT_TRUE(Rows().empty());
  }
  EXPECT_TRUE(progress.empty());
  EXPECT_EQ(CurrentFile, loaded);
  chmod((dir.path / "locked").c_str(), 0755);
}

// A selection belongs to its picture: a new picture (another file, the same
// one developed again) comes without it.
TEST_F(MainWindowTest, ASelectionNeverOutlivesItsPicture) {
  ChooseFolder(dir.str());
  QWidget* view = form->LumerakView1->GetPeer();
  auto select = [&] {
    form->Crop1->Click();
    Mouse(view, QEvent::MouseButtonPress, QPoint(60, 50), Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, QPoint(150, 120), Qt::LeftButton);
    Mouse(view, QEvent::MouseButtonRelease, QPoint(150, 120), Qt::NoButton);
    ASSERT_TRUE(form->LumerakView1->GetSelected());
  };
  ClickFile("nikon_d1.nef");
  select();
  form->BitBtnRefresh->Click();
  EXPECT_FALSE(form->LumerakView1->GetSelected());
  EXPECT_TRUE(form->LumerakView1->GetSelectionOutline()->Points.empty());
  select();
  ClickFile("nucore_scene.raw");
  EXPECT_FALSE(form->LumerakView1->GetSelected());
  EXPECT_TRUE(form->LumerakView1->GetSelectionOutline()->Points.empty());
}

// The pointer passing over the view leaves the keyboard with the file list;
// a press on the view gives the view the keyboard.
TEST_F(MainWindowTest, TheViewTakesTheKeyboardOnAPressOnly) {
  ChooseFolder(dir.str());
  form->GetPeer()->activateWindow();
  QWidget* list = form->FileListView1->GetWidget();
  list->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(list->hasFocus() || list->isAncestorOf(QApplication::focusWidget()));
  QWidget* view = form->LumerakView1->GetPeer();
  QEnterEvent enter(QPointF(30, 30), QPointF(30, 30), view->mapToGlobal(QPointF(30, 30)));
  QApplication::sendEvent(view, &enter);
  Mouse(view, QEvent::MouseMove, QPoint(40, 40), Qt::NoButton);
  QApplication::processEvents();
  EXPECT_FALSE(view->hasFocus());
  EXPECT_TRUE(list->hasFocus() || list->isAncestorOf(QApplication::focusWidget()));
  Mouse(view, QEvent::MouseButtonPress, QPoint(40, 40), Qt::LeftButton);
  Mouse(view, QEvent::MouseButtonRelease, QPoint(40, 40), Qt::NoButton);
  QApplication::processEvents();
  EXPECT_TRUE(view->hasFocus());
}

// The window resized from outside: the controls follow (the tree keeps a
// third of the height, the settings stay at the bottom, the view takes the
// rest and "Refresh" keeps to the right edge).
TEST_F(MainWindowTest, TheWindowFollowsItsSize) {
  for (const QSize size : {QSize(1192, 804), QSize(500, 330)}) {
    SCOPED_TRACE(size.width());
    form->GetPeer()->resize(size);
    QApplication::processEvents();
    const Integer cw = form->GetClientWidth(), ch = form->GetClientHeight();
    EXPECT_EQ(cw, size.width());
    EXPECT_EQ(form->DirectoryTreeView1->GetHeight(), form->GetHeight() / 3);
    EXPECT_EQ(form->GroupBox1->GetWidth(), cw);
    EXPECT_EQ(form->GroupBox1->GetTop() + form->GroupBox1->GetHeight(), ch);
    EXPECT_EQ(form->Panel3->GetLeft() + form->Panel3->GetWidth(), cw);
    EXPECT_EQ(form->BitBtnRefresh->GetLeft() + form->BitBtnRefresh->GetWidth(), form->GroupBox1->GetWidth() - 7);
    EXPECT_EQ(form->LumerakView1->GetPeer()->width(), form->Panel3->GetWidth() - 8);
  }
}
