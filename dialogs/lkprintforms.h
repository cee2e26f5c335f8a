// The print forms of one picture: the print dialog (TflkPrnForm2) and the
// full-window print preview (TflkPrnForm1). Both show the four margins, a
// 3 x 3 position grid, the size mode with width and height and a gamma
// correction, and draw the page as the current printer would print it on
// every change; the arithmetic is in lkprintformlogic.h.
#pragma once

#include <memory>

#include "dialogs/lkprintformlogic.h"
#include "io/lkprintparams.h"
#include "platform/comctrls.h"
#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"

class TIOParamsVals;
class TLKBitmap;
class TLumerakIO;

/// The page preview: the bitmap PreviewPrintImage draws, on a grey ground.
class TLKPrintPreviewPane : public TCustomControl {
 public:
  explicit TLKPrintPreviewPane(TComponent* Owner) : TCustomControl(Owner) {}
  TBitmap Page;

 protected:
  void Paint() override;
};

/// What the two forms share: the controls of the layout, loading and
/// storing the settings, the steppers and the page preview.
class TflkPrnFormBase : public TForm {
 public:
  explicit TflkPrnFormBase(TComponent* Owner);

  // Set by the opener.
  TLumerakIO* IO = nullptr;
  TLKDialogsMeasureUnit MeasureUnit = lkduInches;
  String TaskName;
  TIOPrintPreviewParams* Params = nullptr;
  bool PrintAnnotations = false;
  TMsgLanguage Language = msSystem;

  TEdit* Edit[7] = {};  // top, left, right, bottom margin, width, height, gamma
  TUpDown* UpDown[7] = {};
  TRadioButton* Grid[9] = {};  // the position grid, top-left first
  TComboBox* ComboBox1 = nullptr;  // size mode
  TLKPrintPreviewPane* Preview = nullptr;

  /// The controls' values as texts.
  TLKPrintFormTexts Texts() const;
  void LoadParameters();
  void SaveParameters();
  double XMult() const { return lkprintform::XMult(MeasureUnit); }
  /// Prints the page (Print true: a job titled TaskName on the printer) or
  /// redraws the preview; nothing while the controls are being filled.
  virtual void PrintPreview(bool Print);
  /// Runs the printer set-up dialog, then previews.
  void PrinterSetup();
  /// Pages printed by this form (for tests and the report).
  Integer PagesPrinted = 0;

 protected:
  void FormActivate();
  virtual void ShowSizeControls(bool Show);
  virtual bool CanPreview() const { return true; }
  bool FActivating = false;
  bool FActivated = false;
};

/// The print dialog: OK prints one page and stores the settings, Cancel
/// leaves them as they were; a unit chooser for the selectable units.
class TflkPrnForm2 : public TflkPrnFormBase {
 public:
  explicit TflkPrnForm2(TComponent* Owner);
  void SetLanguage(TMsgLanguage Value);
  void SetLanguage_units();
  TGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6;
  TLabel *Label[10];  // Label1 .. Label10
  TButton *Button1, *Button2, *Button4;
  TComboBox* ComboBox2 = nullptr;  // units

 protected:
  void ShowSizeControls(bool Show) override;
};

/// The full-window preview: a tool bar with the same settings, print,
/// printer set-up and close, and a File menu. Close stores the settings,
/// File, Close does not; both end with OK.
class TflkPrnForm1 : public TflkPrnFormBase {
 public:
  explicit TflkPrnForm1(TComponent* Owner);
  ~TflkPrnForm1() override;
  void SetLanguage(TMsgLanguage Value);
  TPanel* Panel1 = nullptr;
  TButton *SpeedButton10, *SpeedButton11, *SpeedButton12;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem *File1, *Print1, *PrintSetup1, *Exit1;

 protected:
  bool CanPreview() const override;
};

/// Controls the forms share: an edit, its stepper, and the wiring of the
/// seven edits, their steppers, the grid and the size list (every change
/// previews; margins, width and height step by 0.01, gamma by 0.1).
namespace lkprintformui {
TEdit* NewEdit(TWinControl* Parent, TComponent* Owner, Integer X, Integer Y, Integer W, const String& Text);
TUpDown* NewUpDown(TWinControl* Parent, TComponent* Owner, Integer X, Integer Y);
void WireControls(TflkPrnFormBase* F);
/// The tool bar's texts in a language: the hints of the edits, the size
/// list, the grid, printer set-up and print, and the close caption.
void SetToolBarTexts(TflkPrnFormBase* F, TButton* Setup, TButton* Print, TButton* Close, TMsgLanguage Value);
/// Burns the imaging annotations of Params into Bitmap (made 24-bit) through
/// a vector view, as printing shows them; false (Bitmap untouched) when
/// Params holds none.
bool BurnAnnotations(TLKBitmap* Bitmap, TIOParamsVals* Params);
/// The hints of the grid buttons, top-left first.
extern const char* const GridHints[9];
}  // namespace lkprintformui

/// The maker the I/O component's DoPrintPreviewDialog uses.
std::unique_ptr<TLKPrintForm> LKCreatePrintForm(TLKDialogType Type, TComponent* Owner);
