// The library's dialogs behind the I/O component's dialog interface
// (dialogs/lkiodialogs.h).

#include "dialogs/lkavicodecdlg.h"
#include "dialogs/lkiopreviews.h"
#include "dialogs/lkmprintform.h"
#include "dialogs/lkopensavedlg.h"
#include "dialogs/lkprintforms.h"
#include "io/lumerakio.h"

namespace {

/// The component's file dialog settings handed to one of ours.
template <typename D>
class TFileDialogAdapter : public TLKFileDialog {
 public:
  explicit TFileDialogAdapter(TComponent* Owner) : FDialog(Owner) {}
  bool Execute() override {
    FDialog.SetInitialDir(InitialDir);
    FDialog.FileName = FileName;
    FDialog.SetAlwaysAnimate(AlwaysAnimate);
    if (EnableSizing) FDialog.Options.Include(ofEnableSizing);
    FDialog.PreviewBorderStyle = PreviewBorderStyle;
    FDialog.FilterIndex = FilterIndex;
    FDialog.AutoAdjustDPI = AutoAdjustDPI;
    FDialog.FilteredAdjustDPI = FilteredAdjustDPI;
    FDialog.ExtraFilters = ExtendedFilters;
    FDialog.MsgLanguage = MsgLanguage;
    if constexpr (std::is_same_v<D, TSaveLumerakDialog>) {
      FDialog.SetAttachedLumerakIO(AttachedLumerakIO);
      // Replacing an existing file is confirmed first: a picture is never
      // overwritten by a mistyped or remembered name without a question.
      FDialog.Options.Include(ofOverwritePrompt);
    }
    if (!FDialog.Execute()) return false;
    FileName = FDialog.FileName;
    FilterIndex = FDialog.FilterIndex;
    SelectedImage = FDialog.ChosenFrameIndex;
    return true;
  }

 private:
  D FDialog;
};

class TLumerakDialogs : public TLKIODialogs {
 public:
  std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent* Owner) override {
    return std::make_unique<TFileDialogAdapter<TOpenLumerakDialog>>(Owner);
  }
  std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent* Owner) override {
    return std::make_unique<TFileDialogAdapter<TSaveLumerakDialog>>(Owner);
  }
  std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent* Owner) override {
    return LKCreatePreviewsForm(Owner);
  }
};

}  // namespace

void LKInstallLumerakDialogs() {
  static TLumerakDialogs dialogs;
  LKSetIODialogs(&dialogs);
  LKSetPrintForms(LKCreatePrintForm);
  LKInstallAVICodecDialog();
  LKSetMultiPrintForm(LKCreateMultiPrintForm);
}
