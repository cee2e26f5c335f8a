// The program's one window: a folder tree over the list of camera RAW files
// of the chosen folder, the developed picture in a zoomable view with a
// progress bar under it, the development settings below, and the menus
// "File" (Save As) and "Image" (colour adjustment, effects, crop to a
// selection). Loads and saves run on the main thread; the settings are
// copied into the I/O component's parameters before every load.
#pragma once

#include "app/RXSpin.h"
#include "app/RXSplit.h"
#include "app/kfiledir.h"
#include "io/lumerakio.h"
#include "platform/comctrls.h"
#include "platform/filtercombo.h"
#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

/// The filter of the file list: the twelve camera RAW extensions.
extern const char* const kRawFilter;

class TFormMain : public TForm {
 public:
  explicit TFormMain(TComponent* AOwner = nullptr);
  ~TFormMain() override;

  // Components, owned by the form.
  TPanel* Panel1;
  TGroupBox* Files;
  TDirectoryTreeView* DirectoryTreeView1;
  TFileListView* FileListView1;
  TRxSplitter* RxSplitter1;
  TPanel* Panel2;
  TFilterComboBox* FilterComboBox1;
  TRxSplitter* RxSplitter2;
  TLumerakIO* LumerakIO1;
  TPanel* Panel3;
  TLumerakView* LumerakView1;
  TProgressBar* ProgressBar1;
  TGroupBox* GroupBox1;
  TLabel* Label1;
  TLabel* Label2;
  TCheckBox* CheckBoxAutoAdjustColors;
  TRxSpinEdit* SpinEditBlueScale;
  TButton* BitBtnRefresh;
  TRxSpinEdit* SpinEditBright;
  TCheckBox* CheckBoxFourColorRGB;
  TRxSpinEdit* SpinEditGamma;
  TLabel* Label3;
  TCheckBox* CheckBoxQuickInterpolate;
  TRxSpinEdit* SpinEditRedScale;
  TLabel* Label4;
  TCheckBox* CheckBoxUseAutoWB;
  TCheckBox* CheckBoxUseCameraWB;
  TMainMenu* MainMenu1;
  TMenuItem* File1;
  TMenuItem* SaveAs1;
  TMenuItem* Image1;
  TLumerakProc* LumerakProc1;
  TMenuItem* Effects1;
  TMenuItem* ColorAdjust1;
  TMenuItem* Crop1;

  // Event handlers.
  void FormResize(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void Panel2Resize(TObject* Sender);
  void FilterComboBox1Change(TObject* Sender);
  void FileListView1SelectItem(TObject* Sender, TListItem* Item, bool Selected);
  /// Copies the settings into the I/O parameters and develops FileName.
  /// The view is left empty when the file cannot be developed; a file that
  /// cannot be opened raises.
  void SetAndLoad(const String& FileName);
  void BitBtnRefreshClick(TObject* Sender);
  void LumerakIO1Progress(TObject* Sender, Integer Percent);
  void LumerakView1DblClick(TObject* Sender);
  void CheckBoxAutoAdjustColorsClick(TObject* Sender);
  void CheckBoxUseAutoWBClick(TObject* Sender);
  void CheckBoxUseCameraWBClick(TObject* Sender);
  void SaveAs1Click(TObject* Sender);
  void ColorAdjust1Click(TObject* Sender);
  void Effects1Click(TObject* Sender);
  void Crop1Click(TObject* Sender);

 private:
  void CreateComponents();
  /// Leaves one of the three exclusive boxes checked at most.
  void ExclusiveClick(TCheckBox* Clicked);
};

/// The main window (set by the program before the window's constructor
/// finishes).
extern TFormMain* FormMain;
/// Full path of the file last developed; the name "Save As" offers.
extern String CurrentFile;
/// Set while the program itself unchecks one of the exclusive boxes.
extern bool CheckBoxUpdating;
