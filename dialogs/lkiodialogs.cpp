#include "dialogs/lkiodialogs.h"

#include "platform/graphics.h"

namespace {
TLKIODialogs* gIODialogs = nullptr;
}

void LKSetIODialogs(TLKIODialogs* Dialogs) { gIODialogs = Dialogs; }

TLKIODialogs* LKGetIODialogs() { return gIODialogs; }

void LKFillFileDialog(TLKFileDialog& D, const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                      Integer FilterIndex, const String& ExtendedFilters, bool AutoAdjustDPI, bool FilteredAdjustDPI,
                      TMsgLanguage Language) {
  D.InitialDir = InitialDir;
  D.FileName = InitialFileName;
  D.AlwaysAnimate = AlwaysAnimate;
  D.PreviewBorderStyle = lkpsCropShadow;
  D.FilterIndex = FilterIndex;
  D.AutoAdjustDPI = AutoAdjustDPI;
  D.FilteredAdjustDPI = FilteredAdjustDPI;
  D.ExtendedFilters = ExtendedFilters;
  D.MsgLanguage = Language;
}

bool LKRunPreviewsForm(TComponent* Owner, const TLKPreviewsSetup& Setup, TLKBitmap* Picture, TPreviewParams Pages,
                       const std::function<void(TLKPreviewsForm*)>& BeforeModal) {
  if (gIODialogs == nullptr || Setup.Params == nullptr) return false;
  std::unique_ptr<TLKPreviewsForm> form = gIODialogs->CreatePreviewsForm(Owner);
  if (!form) return false;
  form->LockPreview = Setup.LockPreview;
  form->ApplyButtonVisible = Setup.ApplyButton;
  form->Params = Setup.Params;
  form->Simplified = Setup.Simplified;
  if (Setup.Simplified) {
    form->PageControlHeight = LKTrunc(ScreenPixelsPerInch * 61.0 / 48.0);
    form->FormHeight = LKTrunc(ScreenPixelsPerInch * Setup.SimplifiedHeight);
  }
  form->DitherMethod = Setup.DitherMethod;
  form->SetLanguage(Setup.Language);
  form->Font = Setup.Font;
  form->ShowPicture(Picture);
  bool result = false;
  try {
    if (form->SetPreviewParams(Pages)) {
      if (BeforeModal) BeforeModal(form.get());
      result = form->ShowModal();
    }
  } catch (...) {
    form->ReleasePicture();
    throw;
  }
  form->ReleasePicture();
  return result;
}
