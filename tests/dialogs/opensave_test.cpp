#include "dialogs/lkopensavedlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QFileDialog>
#include <QLineEdit>
#include <cstring>
#include <filesystem>

#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "dialogs/lkiopreviewslogic.h"
#include "dialogs/lkopensavelogic.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"
#include "views/lumerakview.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/testhooks.h"

namespace {

namespace fs = std::filesystem;

class OpenSaveDialog : public ::testing::Test {
 protected:
  void SetUp() override { LKInstallLumerakDialogs(); }
  void TearDown() override {
    TestHooks::Reset();
    LKSetIODialogs(nullptr);
  }
};

/// A 24-bit picture with distinct pixels.
void FillPicture(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W * 3; ++x) row[x] = Byte(x * 7 + y * 13);
  }
}

}  // namespace

TEST(OpenSaveLogic, SaveFilterListsWritableFormatsInRegistrationOrder) {
  const String filter = LKBuildDialogFilter(true, "", msEnglish);
  const std::vector<TLKFilterEntry> entries = LKSplitFilter(filter);
  ASSERT_GE(entries.size(), 4u);
  // No combined entry and no all-files entry; TIFF, GIF, JPEG first.
  EXPECT_EQ(entries[0].Patterns.substr(0, 13), "*.tif;*.tiff;");
  EXPECT_EQ(entries[1].Patterns, "*.gif");
  EXPECT_EQ(entries[2].Patterns.substr(0, 6), "*.jpg;");
  EXPECT_EQ(filter.find("*.*"), String::npos);
  // Every registry entry is listed exactly when it can be written now.
  for (Integer i = 0; i < lkgFileFormats->Count(); ++i) {
    const auto* info = static_cast<const TLKFileFormatInfo*>(lkgFileFormats->Items(i));
    const String first = "*." + LowerCase(info->ExtensionList.substr(0, info->ExtensionList.find(';')));
    bool listed = false;
    for (const TLKFilterEntry& e : entries) listed |= e.Patterns.rfind(first, 0) == 0;
    EXPECT_EQ(listed, LKFormatHasWriter(*info)) << info->FormatName;
  }
  // Video has no writer: it is not offered, as no save of it could work.
  EXPECT_EQ(filter.find("*.avi"), String::npos);

  const std::vector<TLKFilterEntry> open = LKSplitFilter(LKBuildDialogFilter(false, "Mine|*.mine", msEnglish));
  EXPECT_EQ(open[0].Description.substr(0, 19), "Common Graphic File");
  EXPECT_NE(open[0].Patterns.find("*.jpg"), String::npos);
  EXPECT_NE(open[0].Patterns.find(";*.mine"), String::npos);
  EXPECT_EQ(open[1].Patterns, "*.*");
  EXPECT_EQ(open.back().Patterns, "*.mine");
}

TEST(OpenSaveLogic, PagesOfFormatsWithoutWriterAreHidden) {
  struct TRow {
    TPreviewParam Page;
    Integer Type;
  };
  const TRow rows[] = {{ppJPEG, lkftJPEG}, {ppTIFF, lkftTIFF}, {ppBMP, lkftBMP}, {ppPCX, lkftPCX},
                       {ppPNG, lkftPNG},   {ppTGA, lkftTGA},   {ppJ2000, lkftJ2K}};
  for (const TRow& r : rows) {
    const TLKFormatRow* row = LKFormatRowOf(r.Type);
    const bool writes = row != nullptr && row->Write != nullptr;
    EXPECT_EQ(LKAvailableOptionPages(PreviewPage(r.Page)) != 0, writes) << r.Type;
  }
  // ppALL and ppAUTO always stay.
  EXPECT_EQ(LKAvailableOptionPages(PreviewPage(ppALL) | PreviewPage(ppAUTO)),
            PreviewPage(ppALL) | PreviewPage(ppAUTO));
}

TEST(OpenSaveLogic, ExtensionRules) {
  struct TRow {
    const char* Name;
    const char* Ext;
    const char* Expected;
  };
  const TRow rows[] = {
      {"photo.crw", ".png", "photo.png"},
      {"my.photo", ".png", "my.png"},
      {"photo", ".jpg", "photo.jpg"},
      // Only the last extension of the file name is replaced.
      {"IMG.2024.05.crw", ".png", "IMG.2024.05.png"},
      // Dots in folder names and a leading dot are not extensions.
      {"../a.b/x", ".png", "../a.b/x.png"},
      {"/tmp/.hidden", ".png", "/tmp/.hidden.png"},
  };
  for (const TRow& r : rows) EXPECT_EQ(LKReplaceFileNameExt(r.Name, r.Ext), r.Expected) << r.Name;

  EXPECT_EQ(LKFirstPatternExt("*.jpg;*.jpeg"), ".jpg");
  EXPECT_EQ(LKLastPatternExt("*.jpg;*.jpeg"), ".jpeg");
  EXPECT_EQ(LKFirstPatternExt("*.*"), "");
  EXPECT_TRUE(LKPatternsHaveExt("*.jpg; *.JPEG", ".jpeg"));
  EXPECT_FALSE(LKPatternsHaveExt("*.jpg;*.jpeg", ".jp"));
  EXPECT_FALSE(LKPatternsHaveExt("*.jpg", ""));
  const String filter = "A (*.tif)|*.tif|B (*.png)|*.png|C (*.jpg)|*.jpg";
  EXPECT_EQ(LKFileName2FilterIndex(filter, "/x/Photo.PNG"), 2);
  EXPECT_EQ(LKFileName2FilterIndex(filter, "photo.jpg"), 3);
  EXPECT_EQ(LKFileName2FilterIndex(filter, "photo"), 1);
}

TEST(OpenSaveLogic, InformationLabels) {
  TIOParamsVals p;
  p.FILETYPE = lkftPNG;
  p.WIDTH = 640;
  p.HEIGHT = 480;
  p.DPIX = p.DPIY = 72;
  p.SAMPLESPERPIXEL = 3;
  p.BITSPERSAMPLE = 8;
  TLKDialogInfoTexts t = LKDialogInfoTexts(p, 2047, 1, msEnglish);
  EXPECT_EQ(t.Pic1, "640 x 480 pixel");
  EXPECT_EQ(t.Pic2, "16777216 Colors (24 bit)");
  EXPECT_EQ(t.Pic3, "72 x 72 dpi");
  EXPECT_EQ(t.Info2, "File: 1 KB   Mem: 900 KB");
  p.SAMPLESPERPIXEL = p.BITSPERSAMPLE = 1;
  t = LKDialogInfoTexts(p, 1023, 3, msEnglish);
  EXPECT_EQ(t.Pic1, "640 x 480 pixel , 3 frames");
  EXPECT_EQ(t.Pic2, "2 Colors (1 bit)");
  EXPECT_EQ(t.Info2, "File: 1023 byte   Mem: 37 KB");
  // 64-bit pixels and pictures whose memory size passes 32 bits.
  p.SAMPLESPERPIXEL = 4;
  p.BITSPERSAMPLE = 16;
  p.WIDTH = p.HEIGHT = 100000;
  t = LKDialogInfoTexts(p, 0, 1, msEnglish);
  EXPECT_EQ(t.Pic2, "2^64 Colors (64 bit)");
  EXPECT_EQ(t.Info2, "File: 0 byte   Mem: 29296875 KB");
  EXPECT_EQ(LKColorCountText(3, 16), "2^48");
  EXPECT_EQ(LKColorCountText(4, 8), "16777216");
}

TEST_F(OpenSaveDialog, SaveAsTypedNameGetsTheFilterExtensionAndSaves) {
  filekit::TempDir dir("dlgsave");
  TLumerakIO io;
  FillPicture(*io.GetLKBitmap(), 40, 30);
  TSaveLumerakDialog dlg;
  dlg.SetAttachedLumerakIO(&io);
  dlg.SetInitialDir(dir.path.string());
  dlg.FileName = "";
  dlg.FilterIndex = 3;
  String advancedCaption;
  bool advancedEnabled = false;
  TestHooks::PushModalStep([&](TCustomForm*) {
    ASSERT_NE(dlg.Chooser, nullptr);
    EXPECT_EQ(dlg.Chooser->GetFilterIndex(), 3);
    EXPECT_EQ(dlg.Chooser->GetDirectory(), dir.path.string());
    dlg.Chooser->SetFileNameText("photo");
    dlg.EnableDisableAdvanced();
    advancedCaption = dlg.AdvancedButton->GetCaption();
    advancedEnabled = dlg.AdvancedButton->GetEnabled();
    dlg.Chooser->Accept();
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName, (dir.path / "photo.jpg").string());
  EXPECT_EQ(dlg.FilterIndex, 3);
  EXPECT_EQ(advancedCaption, "Advanced...");
  EXPECT_TRUE(advancedEnabled);
  // The I/O component saves where the user said.
  io.GetIOParams()->JPEG_QUALITY = 90;
  io.SaveToFile(dlg.FileName);
  EXPECT_FALSE(io.GetAborted());
  TLumerakIO back;
  back.LoadFromFile(dlg.FileName);
  EXPECT_FALSE(back.GetAborted());
  EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 40);
}

TEST_F(OpenSaveDialog, TypeChangeRewritesTheNameAndAdvancedFollowsTheName) {
  filekit::TempDir dir("dlgsave");
  TLumerakIO io;
  FillPicture(*io.GetLKBitmap(), 8, 8);
  TSaveLumerakDialog dlg;
  dlg.SetAttachedLumerakIO(&io);
  dlg.SetInitialDir(dir.path.string());
  dlg.FileName = "photo.crw";
  dlg.FilterIndex = 3;
  TestHooks::SetManualTimers(true);
  std::vector<String> names;
  std::vector<bool> advanced;
  TestHooks::PushModalStep([&](TCustomForm*) {
    // The camera file's name is offered with the JPEG entry's extension.
    names.push_back(dlg.Chooser->GetFileNameText());
    QFileDialog* q = dlg.Chooser->GetDialog();
    const QStringList filters = q->nameFilters();
    const Integer png = Integer(filters.indexOf(QRegularExpression("^Portable Network Graphics.*"))) + 1;
    ASSERT_GT(png, 0);
    // The user picks the PNG entry.
    auto* combo = q->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(png - 1);
    emit combo->activated(png - 1);
    emit combo->textActivated(combo->currentText());
    names.push_back(dlg.Chooser->GetFileNameText());
    dlg.Chooser->SetFileNameText("my.photo");
    dlg.SetFileNameExt();
    names.push_back(dlg.Chooser->GetFileNameText());
    // Advanced follows a typed extension within one tick of the watch.
    advanced.push_back(dlg.AdvancedButton->GetEnabled());
    dlg.Chooser->SetFileNameText("x.ico");
    TestHooks::AdvanceTimers(100);
    advanced.push_back(dlg.AdvancedButton->GetEnabled());
    EXPECT_EQ(io.GetIOParams()->FILETYPE, lkftICO);
    dlg.Chooser->SetFileNameText("x.bmp");
    TestHooks::AdvanceTimers(100);
    advanced.push_back(dlg.AdvancedButton->GetEnabled());
    dlg.Chooser->Reject();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(names, (std::vector<String>{"photo.jpg", "photo.png", "my.png"}));
  EXPECT_EQ(advanced, (std::vector<bool>{true, false, true}));
}

TEST_F(OpenSaveDialog, CancelRestoresTheParameters) {
  TLumerakIO io;
  FillPicture(*io.GetLKBitmap(), 8, 8);
  io.GetIOParams()->JPEG_QUALITY = 75;
  io.GetIOParams()->PNG_COMPRESSION = 4;
  TSaveLumerakDialog dlg;
  dlg.SetAttachedLumerakIO(&io);
  TestHooks::PushModalStep([&](TCustomForm*) {
    // What the format-options dialog writes while the save dialog shows.
    io.GetIOParams()->JPEG_QUALITY = 20;
    io.GetIOParams()->PNG_COMPRESSION = 9;
    dlg.Chooser->Reject();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(io.GetIOParams()->JPEG_QUALITY, 75);
  EXPECT_EQ(io.GetIOParams()->PNG_COMPRESSION, 4);
}

TEST_F(OpenSaveDialog, SavingAThumbnailViewEditsTheFirstPicturesParametersForAll) {
  TLumerakMView view;
  TLumerakMIO* mio = view.GetLumerakMIO();
  Integer optionRuns = 0;
  mio->OnDoPreviews = [&](TObject*, bool& Handled) {
    ++optionRuns;
    Handled = true;
  };
  // Taken as the view or as its component: the same records.
  for (TObject* attached : {static_cast<TObject*>(&view), static_cast<TObject*>(mio)}) {
    TSaveLumerakDialog dlg;
    dlg.SetAttachedLumerakIO(attached);
    EXPECT_EQ(dlg.GetAttachedLumerakIO(), attached);
    // Without pictures there is nothing to save: the dialog does not show.
    if (view.GetImageCount() == 0) {
      EXPECT_FALSE(dlg.Execute());
      view.AppendImage2(8, 8, lk24RGB);
      view.AppendImage2(8, 8, lk24RGB);
    }
    mio->GetParams(0)->JPEG_QUALITY = 75;
    TestHooks::PushModalStep([&](TCustomForm*) {
      dlg.Chooser->SetFileNameText("pages.tif");
      dlg.DoAdvanced();  // the options of every page at once
      mio->GetParams(0)->JPEG_QUALITY = 20;
      dlg.Chooser->Reject();
    });
    EXPECT_FALSE(dlg.Execute());
    EXPECT_EQ(mio->GetParams(0)->JPEG_QUALITY, 75);
  }
  EXPECT_EQ(optionRuns, 2);
}

TEST_F(OpenSaveDialog, PreviewShowsGoodFilesAndClearsDamagedOnes) {
  filekit::TempDir dir("dlgsave");
  TLumerakIO io;
  FillPicture(*io.GetLKBitmap(), 64, 48);
  io.SaveToFile((dir.path / "good.png").string());
  ASSERT_FALSE(io.GetAborted());
  // A PNG signature followed by garbage, and a JPEG cut after its header.
  filekit::Bytes bad = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0xFF, 0xFF};
  filekit::SaveFile((dir.path / "bad.png").string(), bad);
  filekit::SaveFile((dir.path / "cut.jpg").string(), {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F'});
  TOpenLumerakDialog dlg;
  dlg.SetInitialDir(dir.path.string());
  std::vector<String> seen;
  TestHooks::PushModalStep([&](TCustomForm*) {
    for (const char* name : {"good.png", "bad.png", "cut.jpg", "missing.png", "good.png"}) {
      // A click in the list reports the file before the name field shows it.
      dlg.Chooser->SetFileNameText("");
      emit dlg.Chooser->GetDialog()->currentChanged(QString::fromStdString((dir.path / name).string()));
      seen.push_back(dlg.PicLabel1->GetCaption() + "|" + dlg.PicLabel2->GetCaption() + "|" +
                     dlg.InfoLabel1->GetCaption().substr(0, 8));
    }
    EXPECT_TRUE(dlg.PreviewButton->GetEnabled());
    dlg.Chooser->SetFileNameText("good.png");
    dlg.Chooser->Accept();
  });
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName, (dir.path / "good.png").string());
  const String good = "64 x 48 pixel|16777216 Colors (24 bit)|Portable";
  EXPECT_EQ(seen, (std::vector<String>{good, "||", "||", "||", good}));
}

TEST_F(OpenSaveDialog, FolderWithoutWritePermissionKeepsTheDialogOpen) {
  // The super-user writes anywhere except in pseudo file systems.
  filekit::TempDir dir("dlgsave");
  fs::path folder = dir.path / "locked";
  fs::create_directories(folder);
  filekit::SaveFile((folder / "old.png").string(), {1, 2, 3});
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() == 0) folder = "/proc";
  TLumerakIO io;
  FillPicture(*io.GetLKBitmap(), 8, 8);
  std::vector<String> boxes;
  TestHooks::SetMessageBoxSink([&](const String& Text, const String&, Integer) {
    boxes.push_back(Text);
    return IDOK;
  });
  TSaveLumerakDialog dlg;
  dlg.SetAttachedLumerakIO(&io);
  dlg.SetInitialDir(folder.string());
  bool stillOpen = false;
  TestHooks::PushModalStep([&](TCustomForm* Form) {
    dlg.Chooser->SetFileNameText(::geteuid() == 0 ? "new.png" : "old.png");
    dlg.Chooser->Accept();
    stillOpen = Form->GetModalResult() == mrNone;
    dlg.Chooser->Reject();
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(::geteuid() == 0 ? "new.png" : "old.png"), String::npos);
  // A save there fails and leaves the old file as it was.
  bool failed = false;
  try {
    io.SaveToFile((folder / (::geteuid() == 0 ? "new.png" : "old.png")).string());
    failed = io.GetAborted();
  } catch (const std::exception&) {
    failed = true;
  }
  EXPECT_TRUE(failed);
  fs::permissions(dir.path / "locked", fs::perms::owner_all);
  EXPECT_EQ(filekit::LoadFile((dir.path / "locked" / "old.png").string()), (filekit::Bytes{1, 2, 3}));
}

TEST_F(OpenSaveDialog, ListingWithNamedPipesAndHiddenFiles) {
  // Naming file types by their content read the pipe and waited for a
  // writer that never came: the dialog froze.
  filekit::TempDir dir("dlgsave");
  ASSERT_EQ(::mkfifo((dir.path / "pipe.png").c_str(), 0600), 0);
  filekit::SaveFile((dir.path / "a.png").string(), {1});
  filekit::SaveFile((dir.path / ".hidden.png").string(), {1});
  for (bool hidden : {false, true}) {
    TOpenLumerakDialog dlg;
    dlg.SetInitialDir(dir.path.string());
    if (hidden) dlg.Options.Include(ofForceShowHidden);
    Integer listed = -1;
    TestHooks::PushModalStep([&](TCustomForm*) {
      auto* model = dlg.Chooser->GetDialog()->findChild<QFileSystemModel*>();
      ASSERT_NE(model, nullptr);
      QElapsedTimer clock;
      clock.start();
      const QModelIndex root = model->index(QString::fromStdString(dir.path.string()));
      // The pipe is not listed (special files are not), the hidden file
      // only with the option.
      const int want = hidden ? 2 : 1;
      while (model->rowCount(root) < want && clock.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
      for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::AllEvents, 5);
      listed = model->rowCount(root);
      // A typed path in another folder is taken as typed.
      dlg.Chooser->SetFileNameText((dir.path / "a.png").string());
      dlg.Chooser->Accept();
    });
    EXPECT_TRUE(dlg.Execute());
    EXPECT_EQ(listed, hidden ? 2 : 1);
    EXPECT_EQ(dlg.FileName, (dir.path / "a.png").string());
  }
}

TEST_F(OpenSaveDialog, MultiPageFilesPreviewAsAStripOfFramesThatPlays) {
  filekit::TempDir dir("dlgstrip");
  LKInstallDefaultLZW();
  // A TIFF of three pages of different widths, and a plain PNG.
  const String tif = (dir.path / "pages.tif").string();
  for (Integer i = 0; i < 3; ++i) {
    TLumerakIO io;
    FillPicture(*io.GetLKBitmap(), 30 + i * 10, 20);
    io.GetIOParams()->TIFF_IMAGEINDEX = i;
    if (i == 0)
      io.SaveToFile(tif);
    else
      io.InsertToFileTIFF(tif);
  }
  TLumerakIO png;
  FillPicture(*png.GetLKBitmap(), 64, 48);
  png.SaveToFile((dir.path / "one.png").string());
  TOpenLumerakDialog dlg;
  dlg.SetInitialDir(dir.path.string());
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto show = [&](const char* name) {
      dlg.Chooser->SetFileNameText("");
      emit dlg.Chooser->GetDialog()->currentChanged(QString::fromStdString((dir.path / name).string()));
    };
    show("pages.tif");
    EXPECT_TRUE(dlg.LumerakMView->GetVisible());
    EXPECT_FALSE(dlg.LumerakView->GetVisible());
    EXPECT_EQ(dlg.LumerakMView->GetImageCount(), 3);
    EXPECT_EQ(dlg.LumerakMView->GetSelectedImage(), 0);
    // The strip scrolls sideways when its frames do not fit.
    EXPECT_GT(dlg.LumerakMView->GetMaximumViewX(), 0);
    EXPECT_TRUE(dlg.LumerakMView->GetScrollBarState(SB_HORZ).Shown);
    EXPECT_EQ(dlg.PicLabel1->GetCaption(), "30 x 20 pixel , 3 frames");
    EXPECT_TRUE(dlg.PlayButton->GetEnabled());
    // Choosing a frame shows its parameters.
    dlg.LumerakMView->ObtainImageNow(2);
    dlg.OnMViewSelect(2);
    EXPECT_EQ(dlg.ChosenFrameIndex, 2);
    EXPECT_EQ(dlg.PicLabel1->GetCaption(), "50 x 20 pixel , 3 frames");
    // Play while the button is down; the preview button waits.
    dlg.PlayButton->Click();
    EXPECT_TRUE(dlg.LumerakMView->GetPlaying());
    EXPECT_FALSE(dlg.PreviewButton->GetEnabled());
    dlg.PlayButton->Click();
    EXPECT_FALSE(dlg.LumerakMView->GetPlaying());
    EXPECT_TRUE(dlg.PreviewButton->GetEnabled());
    // A one-frame file goes back to the single picture.
    show("one.png");
    EXPECT_FALSE(dlg.LumerakMView->GetVisible());
    EXPECT_TRUE(dlg.LumerakView->GetVisible());
    EXPECT_FALSE(dlg.PlayButton->GetEnabled());
    EXPECT_EQ(dlg.PicLabel1->GetCaption(), "64 x 48 pixel");
    dlg.Chooser->Reject();
  });
  EXPECT_FALSE(dlg.Execute());
  TRect r;
  dlg.GetStaticRect(r);
  EXPECT_EQ(r.Right - r.Left, 0);
}
