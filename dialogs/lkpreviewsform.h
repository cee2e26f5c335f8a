// The processing preview dialog: the user tunes one image operation at a
// time (contrast, colour offsets, a 3x3 filter, equalisation, bump map,
// lens, wave, morphology, rotation, gamma, sharpening) and sees its effect at
// once in a result view beside the untouched source.
//
// The result is a screen-size copy: the part of the source the source view
// shows, at the size it is shown. Each fresh copy is kept as a snapshot;
// every refresh goes back to the snapshot and applies the page's operation
// to it, so no slider step works on the whole picture. OK applies the page
// to the whole source, which the processing component then puts back into
// its picture with an undo entry.
//
// Page values come from the component's TIPDialogParams the first time a
// page is shown and go back to them on OK, only for the pages shown.
//
// Files: lkpreviewsform.cpp (layout, captions, activation, copies and
// refresh, OK) and lkpreviewsform_pages.cpp (loading, applying and the
// value handlers of each page).
#pragma once

#include <functional>
#include <memory>

#include "core/lkbitmap.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "processing/lkconvolve.h"
#include "processing/lkpreviewparams.h"
#include "processing/lktone.h"

class THistogramBox;
class THSVBox;
class TRulerBox;
class TLumerak;
class TLKFtImage;

/// A plain control showing a bitmap of its own (the gamma curve).
class TLKCurveBox : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  TBitmap Bitmap;

 protected:
  void Paint() override { GetCanvas()->Draw(0, 0, &Bitmap); }
};

/// Pages of the dialog by tag (1..14).
enum TLKPreviewPage : Integer {
  ppContrast = 1, ppHSL, ppRGB, ppUserFilter, ppHSV, ppEqualization, ppBumpMap, ppLens, ppWave, ppMorph,
  ppRotate, ppFFT, ppGamma, ppSharpen
};

class TfPreviews : public TForm, public TLKPreviewDialog {
 public:
  explicit TfPreviews(TComponent* AOwner = nullptr);
  ~TfPreviews() override;

  // ---- what the processing component uses
  void SetLockPreview(bool Value) override;
  bool GetLockPreview() override;
  void SetLanguage(TMsgLanguage Language) override;
  void SetPreviewFont(TFont* Font) override;
  void SetProcessing(const TLKProgressEvent& Progress, TLumerakProc* Proc) override;
  void SetBackground(TColor Color) override;
  void SetFilterFolder(const String& Folder) override { FFilterFolder = Folder; }
  TLKBitmap* GetBitmap() override { return &FSource; }
  void SetPages(TPreviewEffects Effects, TIPDialogParams* Params) override;
  Integer ShowModal() override;
  String GetUndoCaption() override { return FUndoCaption; }

  // ---- the dialog's own operations
  /// Forgets which pages were loaded when All; then loads the active page
  /// from the parameters unless it is loaded.
  void ResetParameters(bool All);
  /// Applies the active page with the working values to Bitmap; Final
  /// reports progress through the caller's event.
  void ApplyAct(TLKBitmap* Bitmap, bool Final);
  /// A fresh result copy of the shown part of the source, kept as the
  /// snapshot, and its preview.
  void CopyOrg();
  /// The page on the source, then a fresh copy.
  void CopyModToOrg();
  /// Refresh of the result when Lock Preview is on (Force: always).
  void UpdatePreview(bool Force = false);
  void UpdatePreviewZoom();
  /// Shows the kernel in the nine edits and the divisor.
  void LoadFilt();
  /// Draws the gamma curve into the curve view.
  void DrawGammaGraph(double Gamma);
  /// Writes the values of the pages loaded since the last activation back
  /// into the parameters.
  void GetIPParams();
  /// Activation: loads the first page, chooses the visible pages, fits the
  /// source and makes the first copy. ShowModal runs it once per showing.
  void FormActivate();
  /// The page whose tag is Page becomes the active one (true when it is
  /// shown).
  bool SelectPage(TLKPreviewPage Page);
  TLKPreviewPage ActivePage() const;
  /// Whether the page of Page has a tab.
  bool PageVisible(TLKPreviewPage Page) const;
  /// Reads a filter file into the kernel (a file without the filter header
  /// leaves it as it was) and refreshes; raises as the file reader does for
  /// a missing file.
  void LoadFilterFile(const String& FileName);
  void SaveFilterFile(const String& FileName);
  /// "<<": the page on the source, the page's values back to the stored
  /// ones.
  void CopyResultToSource();
  /// OK: the page on the whole source with the caller's progress event,
  /// values written back.
  void ApplyAndClose();

  /// Asks the user for a filter file (Save: a name to write); true with
  /// FileName set when confirmed. Tests replace it.
  std::function<bool(bool Save, String& FileName)> OnChooseFilterFile;

  /// The working values of the pages.
  const TIPDialogParams& Working() const { return FWork; }
  const TGraphFilter& Kernel() const { return FKernel; }
  TLKFtImage* GetFourierImage() const { return FFt.get(); }
  /// The result bitmap (the screen-size copy after the page's operation).
  TLKBitmap* GetResult() { return &FResult; }
  /// The gamma curve.
  TBitmap* GetGammaGraph();

  // ---- controls (named as the form's designer would)
  TPageControl* PageControl1 = nullptr;
  TTabSheet* Pages[15] = {};  // by tag
  TLumerak* Lumerak1 = nullptr;
  TLumerak* Lumerak2 = nullptr;
  TLabel *LabelSource = nullptr, *LabelResult = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button6 = nullptr;
  TCheckBox* chkLockPreview = nullptr;
  // Contrast
  TLabel *LabelContrast = nullptr, *LabelBrightness = nullptr;
  TEdit *Edit1 = nullptr, *Edit21 = nullptr;
  TTrackBar *TrackBar1 = nullptr, *TrackBar12 = nullptr;
  // HSV
  TLabel *LabelHSV[3] = {}, *LabelBaseColor = nullptr, *LabelNewColor = nullptr;
  TEdit *Edit19 = nullptr, *Edit18 = nullptr, *Edit17 = nullptr;
  TTrackBar *TrackBar9 = nullptr, *TrackBar10 = nullptr, *TrackBar11 = nullptr;
  THSVBox *HSVBox3 = nullptr, *HSVBox1 = nullptr;
  // HSL
  TLabel* LabelHSL[3] = {};
  TEdit *Edit4 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr;
  TTrackBar *TrackBar2 = nullptr, *TrackBar3 = nullptr, *TrackBar5 = nullptr;
  // RGB
  TLabel* LabelRGB[3] = {};
  TEdit *Edit7 = nullptr, *Edit6 = nullptr, *Edit5 = nullptr;
  TTrackBar *TrackBar6 = nullptr, *TrackBar7 = nullptr, *TrackBar8 = nullptr;
  // User filter: the kernel edits by tag (0..8) and the divisor (9)
  TGroupBox *GroupFilterValues = nullptr, *GroupPresets = nullptr;
  TEdit* KernelEdits[10] = {};
  TUpDown* KernelUpDowns[10] = {};
  TLabel* LabelDivisor = nullptr;
  TButton *Button4 = nullptr, *Button5 = nullptr;
  TListBox* ListBox1 = nullptr;
  // Equalization
  TRulerBox *RulerBox1 = nullptr, *RulerBox2 = nullptr;
  THistogramBox* HistogramBox1 = nullptr;
  TLabel *LabelThreshold = nullptr, *LabelEqualization = nullptr;
  TLabel *Label16 = nullptr, *Label17 = nullptr, *Label20 = nullptr, *Label21 = nullptr;
  TCheckBox* SpeedButton3 = nullptr;  // "Equalize", a toggle
  TGroupBox* GroupHistogram = nullptr;
  TCheckListBox* CheckListBox1 = nullptr;
  // Bump map
  TGroupBox* GroupLight = nullptr;
  TEdit *Edit22 = nullptr, *Edit23 = nullptr, *Edit24 = nullptr, *Edit25 = nullptr, *Edit26 = nullptr;
  TLabel* LabelBump[6] = {};
  THSVBox* HSVBox2 = nullptr;
  // Lens
  TGroupBox* GroupLens = nullptr;
  TEdit *Edit27 = nullptr, *Edit28 = nullptr, *Edit29 = nullptr, *Edit30 = nullptr, *Edit31 = nullptr;
  TLabel* LabelLens[5] = {};
  // Wave
  TGroupBox* GroupWave = nullptr;
  TEdit *Edit32 = nullptr, *Edit33 = nullptr, *Edit34 = nullptr;
  TLabel* LabelWave[3] = {};
  TCheckBox* CheckBox2 = nullptr;
  // Morph filters
  TGroupBox* GroupMorph = nullptr;
  TListBox* ListBox2 = nullptr;
  TEdit* Edit35 = nullptr;
  TLabel *LabelMorphFilter = nullptr, *LabelMorphWindow = nullptr;
  // Rotate
  TLabel *LabelRotate = nullptr, *LabelFlip = nullptr;
  TEdit* EditRotate = nullptr;
  TTrackBar* TrackBarRotate = nullptr;
  TCheckBox *CheckBox3 = nullptr, *CheckBox4 = nullptr;
  // FFT
  TGroupBox* GroupFFT = nullptr;
  TLumerak* LumerakView1 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TButton *ButtonClear = nullptr, *Button7 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  // Gamma Correction
  TLabel* LabelGamma = nullptr;
  TEdit* edtGamma = nullptr;
  TTrackBar* trkGamma = nullptr;
  TGroupBox* GroupChannels = nullptr;
  TCheckListBox* cbxGamma = nullptr;
  TLKCurveBox* LumerakView2 = nullptr;
  // Sharpen
  TLabel *LabelSharpenAmp = nullptr, *LabelSharpenWin = nullptr;
  TEdit *Edit36 = nullptr, *Edit37 = nullptr;
  TTrackBar* TrackBar4 = nullptr;

 private:
  /// A page of two or three values, each an edit with a track bar.
  struct TTriple {
    Integer Count = 0;
    TEdit* Edits[3] = {};
    TTrackBar* Bars[3] = {};
    Integer* Values[3] = {};
  };
  void BuildForm();
  void BuildPages();
  TTabSheet* AddPage(TLKPreviewPage Page);
  void LoadPage(TLKPreviewPage Page);
  void WriteBackPage(TLKPreviewPage Page);
  void PageControl1Change();
  void TripleTrackChange(TTriple& T);
  void TripleEditChange(TTriple& T);
  void KernelEditChange(TObject* Sender);
  void EqualizationRulerChange(bool Threshold, Integer Grip);
  void HistogramChannelsChange();
  void HSVColorsChange();
  void ResultMouse(TMouseButton Button, Integer X, Integer Y);
  void GeometryEditChange();
  void RotateTrackChange();
  void RotateEditChange();
  void GammaTrackChange();
  void SharpenTrackChange();
  void SharpenEditChange();
  TLKChannels GammaChannels() const;
  /// The Fourier image of the reduced copy (made on first use).
  void BuildPreviewFT();
  void ApplyFFT(TLKBitmap* Bitmap);

  TLKBitmap FSource, FResult, FSnapshot;
  TIPDialogParams* FParams = nullptr;
  TIPDialogParams FWork;
  TGraphFilter FKernel{};
  TPreviewEffects FEffects;
  bool FLoaded[15] = {};
  Integer FMeanR = 0, FMeanG = 0, FMeanB = 0;
  bool FLockDefault = false;
  bool FChangeGuard = true;   // handlers act only while on
  bool FKernelGuard = true;   // kernel edits act only while on
  bool FFinal = false;        // OK is applying: progress goes to the caller
  bool FActivated = false;    // set-up done for this showing
  bool FPageChanging = false;
  TLKProgressEvent FProgress;
  TLumerakProc* FCallerProc = nullptr;
  TMsgLanguage FLanguage = msSystem;
  String FFilterFolder;
  String FUndoCaption;
  String FPageUndo[15];
  std::unique_ptr<TTriple> FTriples[4];  // contrast, HSV, HSL, RGB
  std::unique_ptr<TLumerakProc> FWorkProc;  // flips, rotation and gamma on a bitmap
  std::unique_ptr<TLKFtImage> FFt;          // transform of the reduced copy
  TLKBitmap FSpectrum;                      // shown in LumerakView1
};

/// Installs the preview dialog as the one processing components show
/// ("Color Adjust ..." and "Effects ..." call TLumerakProc::DoPreviews).
void LKRegisterPreviewDialog();

/// The pages of "Color Adjust ..." and of "Effects ...".
TPreviewEffects LKColorAdjustPages();
TPreviewEffects LKEffectsPages();
