// The multi-image component's dialogs, with scripted stand-ins for the real
// dialogs.
#include <gtest/gtest.h>

#include <QWidget>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "dialogs/lkiodialogs.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

namespace {

struct ScriptedFile : TLKFileDialog {
  TLKFileDialog* Seen = nullptr;  // where the settings are copied on Execute
  bool Confirm = true;
  bool Execute() override {
    static_cast<TLKFileDialog&>(*Seen) = *this;
    if (!Confirm) return false;
    FileName = "/tmp/pages.tif";
    return true;
  }
};

// The form writes Quality into the record it edits and paints the picture
// it was shown black.
struct ScriptedForm : TLKPreviewsForm {
  bool Accept = true;
  Integer Quality = 0;
  Integer* Shown = nullptr;
  TLKBitmap* Picture = nullptr;
  void SetLanguage(TMsgLanguage) override {}
  void ShowPicture(TLKBitmap* B) override { Picture = B; }
  void ReleasePicture() override { Picture = nullptr; }
  bool SetPreviewParams(TPreviewParams) override { return Accept; }
  bool ShowModal() override {
    ++*Shown;
    Params->JPEG_QUALITY = Quality;
    Picture->Fill(0);
    return true;
  }
};

struct Scripted : TLKIODialogs {
  bool Confirm = true, Accept = true;
  Integer Quality = 0, Shown = 0;
  ScriptedFile Last;
  TLKPreviewsForm* LastForm = nullptr;
  std::unique_ptr<TLKFileDialog> File() {
    auto d = std::make_unique<ScriptedFile>();
    d->Seen = &Last;
    d->Confirm = Confirm;
    return d;
  }
  std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent*) override { return File(); }
  std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent*) override { return File(); }
  std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent*) override {
    auto f = std::make_unique<ScriptedForm>();
    f->Accept = Accept;
    f->Quality = Quality;
    f->Shown = &Shown;
    LastForm = f.get();
    return f;
  }
};

class MIODialogs : public testing::Test {
 protected:
  void SetUp() override {
    LKSetIODialogs(&dialogs_);
    for (Integer i = 0; i < 3; ++i) {
      TLKBitmap b(10, 10, lk24RGB);
      b.Fill(0xFFFFFF);
      view_.SetLKBitmap(view_.AppendImage(), &b);
    }
    view_.Deselect();
    mio_ = view_.GetLumerakMIO();
    for (Integer i = 0; i < 3; ++i) mio_->GetParams(i)->JPEG_QUALITY = 50 + i;
  }
  void TearDown() override { LKSetIODialogs(nullptr); }
  std::vector<Integer> Qualities() {
    std::vector<Integer> q;
    for (Integer i = 0; i < mio_->GetParamsCount(); ++i) q.push_back(mio_->GetParams(i)->JPEG_QUALITY);
    return q;
  }
  Scripted dialogs_;
  TLumerakMView view_;
  TLumerakMIO* mio_ = nullptr;
};

TEST_F(MIODialogs, FileDialogsGetTheComponentsSettings) {
  mio_->MsgLanguage = static_cast<TMsgLanguage>(3);
  mio_->AutoAdjustDPI = true;
  EXPECT_EQ(mio_->ExecuteSaveDialog("/photos", "a.gif", true, 4, "Extra|*.ext"), "/tmp/pages.tif");
  const TLKFileDialog& seen = dialogs_.Last;
  EXPECT_EQ(seen.AttachedLumerakIO, mio_);
  EXPECT_EQ(seen.InitialDir, "/photos");
  EXPECT_EQ(seen.FileName, "a.gif");
  EXPECT_TRUE(seen.AlwaysAnimate);
  EXPECT_EQ(seen.FilterIndex, 4);
  EXPECT_EQ(seen.ExtendedFilters, "Extra|*.ext");
  EXPECT_EQ(seen.PreviewBorderStyle, lkpsCropShadow);
  EXPECT_FALSE(seen.EnableSizing);
  EXPECT_TRUE(seen.AutoAdjustDPI);
  EXPECT_EQ(seen.MsgLanguage, static_cast<TMsgLanguage>(3));

  EXPECT_EQ(mio_->ExecuteOpenDialog("", "", false, 1, ""), "/tmp/pages.tif");
  EXPECT_EQ(dialogs_.Last.AttachedLumerakIO, nullptr);
  dialogs_.Confirm = false;
  EXPECT_EQ(mio_->ExecuteOpenDialog("", "", false, 1, ""), "");
  EXPECT_EQ(mio_->ExecuteSaveDialog("", "", false, 1, ""), "");
  LKSetIODialogs(nullptr);
  EXPECT_EQ(mio_->ExecuteSaveDialog("", "", false, 1, ""), "");
}

TEST_F(MIODialogs, OptionsFormEditsOneRecordOrAll) {
  dialogs_.Quality = 90;
  // One entry: its record only; entry 0 is selected to show a picture.
  EXPECT_TRUE(mio_->DoPreviews(1, 0));
  EXPECT_EQ(view_.GetSelectedImage(), 0);
  EXPECT_EQ(Qualities(), (std::vector<Integer>{50, 90, 52}));
  // The form drew on its copy, not on the stored picture.
  TLKBitmap stored;
  view_.CopyToLKBitmap(0, &stored);
  EXPECT_EQ(stored.GetPixels_lk24RGB(5, 5).r, 255);
  // All entries: record 0 is edited and its choices go to every record.
  dialogs_.Quality = 30;
  EXPECT_TRUE(mio_->DoPreviews(-1, 0));
  EXPECT_EQ(Qualities(), (std::vector<Integer>{30, 30, 30}));
  EXPECT_EQ(dialogs_.Shown, 2);
}

TEST_F(MIODialogs, OptionsFormRefusalsAndTakeOver) {
  struct Case {
    const char* What;
    bool Accept;
    bool Installed;
    bool Handled;
    bool Expected;
  };
  const Case cases[] = {
      {"form without pages", false, true, false, false},
      {"no dialogs", true, false, false, false},
      {"taken over by the event", true, false, true, true},
  };
  for (const Case& c : cases) {
    dialogs_.Accept = c.Accept;
    LKSetIODialogs(c.Installed ? &dialogs_ : nullptr);
    mio_->OnDoPreviews = [&](TObject*, bool& Handled) { Handled = c.Handled; };
    EXPECT_EQ(mio_->DoPreviews(0, 0), c.Expected) << c.What;
  }
  EXPECT_EQ(dialogs_.Shown, 0);
  mio_->OnDoPreviews = nullptr;
  // Without a view, or with an empty one, there is no picture to show.
  TLumerakMIO alone;
  EXPECT_FALSE(alone.DoPreviews(0, 0));
  TLumerakMView empty;
  EXPECT_FALSE(empty.GetLumerakMIO()->DoPreviews(-1, 0));
}

}  // namespace
