// The format-options dialog: the save options of one image format (JPEG
// quality, TIFF compression, GIF colours, ...) with the picture as it will
// look after saving and the number of bytes the saved file will take.
//
// One page per format, each a class of its own (dialogs/iopages/), some
// with a simplified variant. A page shows only while its format can be
// written in this build, so the pages of codecs that arrive later appear by
// themselves. Each page keeps its working values: a page change reloads
// them from the caller's parameters, the controls change them, OK and Apply
// write the active page's values (and "FILETYPE") back. The preview writes
// only into the source view's own parameters, never into the caller's.
//
// Main thread only; shown modally by TLumerakIO::DoPreviews.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "dialogs/iopages/lkoptionspage.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkparams.h"

class TButton;
class TCheckBox;
class TForm;
class TLabel;
class TLumerakView;
class TPageControl;
class TPanel;
class TProgressBar;
class TTabSheet;

class TfIOPreviews : public TLKPreviewsForm, private TLKOptionsHost {
 public:
  explicit TfIOPreviews(TComponent* Owner = nullptr);
  ~TfIOPreviews() override;

  // ---- TLKPreviewsForm
  void SetLanguage(TMsgLanguage Language) override;
  void ShowPicture(TLKBitmap* Bitmap) override;
  void ReleasePicture() override;
  bool SetPreviewParams(TPreviewParams Pages) override;
  bool ShowModal() override;

  /// Loads every page's working values from the caller's parameters.
  void ResetParameters();
  /// Shows the active page's working values.
  void ApplyParameters();
  /// Computes the preview: saves with the active page's values, shows the
  /// size and the result.
  void applyAct();
  /// Runs the activation once (the first time the form is activated).
  void FormActivate();
  /// OK without closing: writes the active page's values.
  void Apply();
  /// The palette dialog the colour panels open; tests script it through
  /// OnPalette.
  std::function<bool(const TRGB* Palette, Integer Count, const String& CancelCaption, TColor& Chosen)> OnPalette;

  /// The pages, in tab order.
  const std::vector<std::unique_ptr<TLKOptionsPage>>& OptionPages() const { return FOptionPages; }
  /// The page of class P, or null.
  template <typename P>
  P* Page() const {
    for (const auto& p : FOptionPages)
      if (auto* page = dynamic_cast<P*>(p.get())) return page;
    return nullptr;
  }
  /// The page the active sheet belongs to, or null.
  TLKOptionsPage* ActiveOptionsPage() const;

  // ---- the window (for tests)
  TForm* GetForm() const { return FForm.get(); }
  TPageControl* PageControl1 = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;
  TCheckBox* chkLockPreview = nullptr;
  TLumerakView *Lumerak1 = nullptr, *Lumerak2 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  /// The compressed-size value label of a sheet (null for a sheet not made).
  TLabel* CompressedSizeLabel(TTabSheet* Page) const;
  TLabel* OriginalSizeLabel(TTabSheet* Page) const;

 private:
  // ---- TLKOptionsHost
  bool GuardOn() const override { return FGuard; }
  void SetGuard(bool On) override { FGuard = On; }
  void Refresh() override;
  void Changed() override;
  void Preview() override { applyAct(); }
  const TIOParamsVals& ResultParams() const override;
  bool ChooseFromResultPalette(Integer Count, TColor& Chosen) override;

  void BuildForm();
  void PageControl1Change();
  void ShowSize(Int64 Size);
  /// Shows the result of a preview that saved without loading back: the
  /// source copied and reduced as the save reduces it.
  void ShowReduced(TLKPreviewResult Result, TIOParamsVals& Source);
  /// Places the source and result views with their captions and the
  /// progress bar between Top and Bottom (form client coordinates).
  void LayoutViews(Integer Top, Integer Bottom);

  std::unique_ptr<TForm> FForm;
  TPanel* FViewsPanel = nullptr;
  TLabel *FSourceLabel = nullptr, *FResultLabel = nullptr;
  std::vector<std::unique_ptr<TLKOptionsPage>> FOptionPages;
  TPreviewParams FPages = 0;
  bool FGuard = false;      ///< change guard: handlers act only while on
  bool FActivated = false;  ///< applyAct works only once activated
  bool FActivationDone = false;
  Integer FStages = 1, FOffset = 0;
  TLKBitmap* FBitmap = nullptr;
  String FPaletteCancelCaption = "&Cancel";
  std::vector<std::unique_ptr<TLKSizeLabels>> FLabels;
  std::vector<TLKOptionsCaption> FCaptions;
};

/// A new format-options form for the I/O component Owner.
std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent* Owner);
