// The format-options dialog: the save options of one image format (JPEG
// quality, TIFF compression, GIF colours, ...) with the picture as it will
// look after saving and the number of bytes the saved file will take.
//
// One page per format, a full and a simplified variant for JPEG, TIFF and
// GIF. A page shows only while its format can be written in this build, so
// the pages of codecs that arrive later appear by themselves. The dialog
// keeps a working copy of the values: a page change reloads it from the
// caller's parameters, the controls change it, OK and Apply write the
// active page's values (and "FILETYPE") back. The preview writes only into
// the source view's own parameters, never into the caller's.
//
// Main thread only; shown modally by TLumerakIO::DoPreviews.
#pragma once

#include <functional>
#include <memory>

#include "dialogs/lkiodialogs.h"
#include "io/lkparams.h"

class TButton;
class TCheckBox;
class TComboBox;
class TControl;
class TEdit;
class TForm;
class TLabel;
class TLumerakView;
class TPageControl;
class TPanel;
class TProgressBar;
class TTabSheet;
class TTrackBar;
class TUpDown;

class TfIOPreviews : public TLKPreviewsForm {
 public:
  explicit TfIOPreviews(TComponent* Owner = nullptr);
  ~TfIOPreviews() override;

  // ---- TLKPreviewsForm
  void SetLanguage(TMsgLanguage Language) override;
  void ShowPicture(TLKBitmap* Bitmap) override;
  void ReleasePicture() override;
  bool SetPreviewParams(TPreviewParams Pages) override;
  bool ShowModal() override;

  /// Loads the working copy from the caller's parameters.
  void ResetParameters();
  /// Shows the working copy on the active page.
  void ApplyParameters();
  /// Computes the preview: saves with the working values, shows the size
  /// and the result.
  void applyAct();
  /// Runs the activation once (the first time the form is activated).
  void FormActivate();
  /// OK without closing: writes the active page's values.
  void Apply();
  /// The colour panels: GIF transparent colour and background (the
  /// result's palette), PNG and TGA background (the result's palette, or
  /// the standard colour dialog when it has none).
  void Panel3Click();
  void Panel4Click();
  void Panel1Click();
  void Panel5Click();
  /// The palette dialog the panels open; tests script it through OnPalette.
  std::function<bool(const TRGB* Palette, Integer Count, const String& CancelCaption, TColor& Chosen)> OnPalette;

  /// The working copy.
  struct TWorking {
    Integer Quality = 0, Smooth = 0;
    TIOJPEGColorspace JpegColorSpace = ioJPEG_RGB;
    TIOJPEGDctMethod Dct = ioJPEG_ISLOW;
    bool OptimalHuffman = false, Progressive = false;
    double J2KRate = 0;
    TIOJ2000ColorSpace J2KColorSpace = ioJ2000_GRAYLEV;
    TIOTIFFCompression TiffComp = ioTIFF_UNCOMPRESSED;
    Integer TiffIndex = 0;
    TIOTIFFPhotometInterpret Photometric = ioTIFF_WHITEISZERO;
    Integer TiffX = 0, TiffY = 0, PageNumber = 0, PageCount = 0;
    String DocName, Description, PageName;
    Integer Bps = 8, Spp = 3;
    Integer GifIndex = 0, GifX = 0, GifY = 0, Delay = 0;
    bool Transparent = false, Interlaced = false;
    TRGB TranspColor{0, 0, 0}, GifBackground{0, 0, 0};
    TIOBMPCompression BmpComp = ioBMP_UNCOMPRESSED;
    TIOPCXCompression PcxComp = ioPCX_UNCOMPRESSED;
    bool PngInterlaced = false;
    TRGB PngBackground{0, 0, 0};
    TIOPNGFilter PngFilter = ioPNG_FILTER_NONE;
    Integer PngCompression = 0;
    TRGB TgaBackground{0, 0, 0};
    bool TgaCompressed = false;
    String TgaName, TgaDescriptor;
    Integer BmpColors = 3, PcxColors = 3, PngColors = 2, TgaColors = 2, TiffColors = 4, TiffSimpleColors = 3;
  };
  const TWorking& Working() const { return W; }

  // ---- the window (for tests)
  TForm* GetForm() const { return FForm.get(); }
  TPageControl* PageControl1 = nullptr;
  TTabSheet *TabSheetJPEG1 = nullptr, *TabSheetJPEG2 = nullptr, *TabSheetTIFF1 = nullptr, *TabSheetTIFF2 = nullptr,
            *TabSheetGIF1 = nullptr, *TabSheetGIF2 = nullptr, *TabSheetBMP1 = nullptr, *TabSheetPCX1 = nullptr,
            *TabSheetPNG1 = nullptr, *TabSheetTGA1 = nullptr, *TabSheetJ20001 = nullptr;
  // JPEG
  TEdit *Edit22 = nullptr, *Edit23 = nullptr, *Edit16 = nullptr;
  TTrackBar *TrackBar13 = nullptr, *TrackBar2 = nullptr;
  TUpDown* UpDown11 = nullptr;
  TComboBox *ComboBox1 = nullptr, *ComboBox13 = nullptr;
  TCheckBox *CheckBox2 = nullptr, *CheckBox3 = nullptr;
  // JPEG 2000
  TEdit* Edit15 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TComboBox* ComboBox15 = nullptr;
  // TIFF
  TComboBox *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr, *ComboBox16 = nullptr,
            *ComboBox17 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr,
        *Edit7 = nullptr, *Edit8 = nullptr;
  // GIF
  TEdit *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr, *Edit12 = nullptr;
  TComboBox *ComboBox5 = nullptr, *ComboBox18 = nullptr;
  TCheckBox *CheckBox4 = nullptr, *CheckBox5 = nullptr;
  TPanel *Panel3 = nullptr, *Panel4 = nullptr;
  // BMP, PCX, PNG, TGA
  TComboBox *ComboBox6 = nullptr, *ComboBox7 = nullptr, *ComboBox8 = nullptr, *ComboBox9 = nullptr,
            *ComboBox10 = nullptr, *ComboBox11 = nullptr, *ComboBox12 = nullptr, *ComboBox14 = nullptr;
  TCheckBox *CheckBox6 = nullptr, *CheckBox1 = nullptr;
  TEdit *Edit13 = nullptr, *Edit14 = nullptr;
  TPanel *Panel1 = nullptr, *Panel5 = nullptr;
  // outside the pages
  TButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;
  TCheckBox* chkLockPreview = nullptr;
  TLumerakView *Lumerak1 = nullptr, *Lumerak2 = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  /// The compressed-size value label of a page (null for a page not made).
  TLabel* CompressedSizeLabel(TTabSheet* Page) const;
  TLabel* OriginalSizeLabel(TTabSheet* Page) const;

 private:
  struct TPageLabels;
  void BuildForm();
  void BuildPages();
  void PageControl1Change();
  void Refresh();
  void Changed();
  void WriteParams(TIOParamsVals& P) const;
  void ShowSize(Int64 Size);
  void RebuildTIFFList();
  /// Places the source and result views with their captions and the
  /// progress bar between Top and Bottom (form client coordinates).
  void LayoutViews(Integer Top, Integer Bottom);

  // handlers
  void JpegEditChange();
  void JpegTrackChange();
  void JpegSimpleEditChange();
  void JpegSimpleTrackChange();
  void J2KEditChange();
  void J2KTrackChange();
  void TiffChange(TObject* Sender);
  void TiffSimpleChange(TObject* Sender);
  void GifChange();
  void GifSimpleChange();
  void SmallPageChange(TTabSheet* Page);
  /// Opens the palette dialog on the result's palette with at most Count
  /// entries (fewer when the palette is smaller); true when one was chosen.
  bool ChooseFromResultPalette(Integer Count, TColor& Chosen);

  std::unique_ptr<TForm> FForm;
  TPanel* FViewsPanel = nullptr;
  TLabel *FSourceLabel = nullptr, *FResultLabel = nullptr;
  TWorking W;
  TPreviewParams FPages = 0;
  bool FGuard = false;      ///< change guard: handlers act only while on
  bool FActivated = false;  ///< applyAct works only once activated
  bool FActivationDone = false;
  Integer FStages = 1, FOffset = 0;
  TLKBitmap* FBitmap = nullptr;
  String FPaletteCancelCaption = "&Cancel";
  std::vector<std::unique_ptr<TPageLabels>> FLabels;
  /// Controls of the full pages that the simplified form hides.
  std::vector<TControl*> FFullOnly;
  struct TCaption {
    TControl* Control;
    TMsgLanguageWords Word;
    bool Colon;
    bool Framed = false;  ///< a group's title: the word with a blank on each side
  };
  std::vector<TCaption> FCaptions;
};

/// A new format-options form for the I/O component Owner.
std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent* Owner);
