// The multi-image I/O component's dialogs: open and save dialogs and the
// format-options form on one entry of the attached thumbnail view.
#include <algorithm>

#include "core/lkbitmap.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkfiledialogrun.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

String TLumerakMIO::ExecuteOpenDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                      Integer FilterIndex, const String& ExtendedFilters) {
  // Unlike the single-picture component's dialogs, these are not resizable.
  const TLKFileDialogSetup setup{AutoAdjustDPI, FilteredAdjustDPI, MsgLanguage, false, nullptr};
  const std::unique_ptr<TLKFileDialog> dialog =
      LKRunFileDialog(this, false, setup, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  return dialog ? dialog->FileName : String();
}

String TLumerakMIO::ExecuteSaveDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                      Integer FilterIndex, const String& ExtendedFilters) {
  const TLKFileDialogSetup setup{AutoAdjustDPI, FilteredAdjustDPI, MsgLanguage, false, this};
  const std::unique_ptr<TLKFileDialog> dialog =
      LKRunFileDialog(this, true, setup, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  return dialog ? dialog->FileName : String();
}

bool TLumerakMIO::DoPreviews(Integer Idx, TPreviewParams Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (FView == nullptr) return false;
  if (FView->GetImageCount() > 0 && FView->GetSelectedImage() < 0) FView->SetSelectedItem(0);
  TLKBitmap* selected = FView->GetLKBitmap();
  if (selected == nullptr) return false;
  if (!LKGetIODialogs()) return false;
  TLKPreviewsSetup setup;
  setup.LockPreview = (PreviewsParams & PreviewsOption(ioppDefaultLockPreview)) != 0;
  setup.ApplyButton = (PreviewsParams & PreviewsOption(ioppApplyButton)) != 0;
  setup.Simplified = SimplifiedParamsDialogs;
  setup.SimplifiedHeight = 3.4375;
  setup.DitherMethod = DefaultDitherMethod;
  setup.Params = GetParams(std::max<Integer>(Idx, 0));
  setup.Language = MsgLanguage;
  setup.Font = GetPreviewFont();
  // The form works on a copy: the stored image stays as it is.
  TLKBitmap picture;
  picture.Assign(selected);
  const bool result = LKRunPreviewsForm(this, setup, &picture, Pages, nullptr);
  if (Idx < 0) DuplicateCompressionInfo();
  Update();
  return result;
}

TFont* TLumerakMIO::GetPreviewFont() const {
  if (!FPreviewFont) FPreviewFont = std::make_unique<TFont>();
  return FPreviewFont.get();
}

void TLumerakMIO::SetPreviewFont(const TFont* Value) {
  if (Value) GetPreviewFont()->Assign(Value);
}
