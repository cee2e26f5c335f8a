// The library's open and save dialogs: a file chooser (Qt's non-native file
// dialog, platform/filechooser.h) with a preview pane on its right (the
// picture, a zoom list and a full-size preview window) and an information
// panel below (file type, file and memory size, and in the save dialog the
// Advanced button that opens the format-options dialog). Their filters come
// from the format registry.
//
// The I/O component reaches them through TLumerakIO::ExecuteOpenDialog and
// ExecuteSaveDialog once LKInstallLumerakDialogs has installed them; a
// program may also create one and call Execute itself.
//
// Multi-frame files preview as a strip of all their frames (a thumbnail
// view, views/lumerakmview.h) with a play button when ShowAllFrames is set;
// AlwaysAnimate starts playing GIF animations at once.
//
// Main thread only; Execute runs modally (TestHooks scripts it in tests).
#pragma once

#include <memory>

#include "dialogs/lkcommondialog.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkparams.h"
#include "platform/filechooser.h"
#include "views/lkbackground.h"

class TButton;
class TCheckBox;
class TComboBox;
class TForm;
class TLabel;
class TLumerakIO;
class TLumerakMIO;
class TLumerakView;
class TLumerakMView;

/// Background of the file dialogs' previews.
extern TLKBackgroundStyle lkgPreviewImageBackgroundStyle;
extern TColor lkgPreviewImageBackgroundColor;
class TPanel;
class TProgressBar;
class TTimer;

/// Options of the open and save dialogs, as the class library names them.
enum TOpenOption : Byte {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
  ofDontAddToRecent,
  ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

/// Save dialog extras: the preview pane, the Advanced button.
enum TLKSaveDlgOption : Byte { sdShowPreview, sdShowAdvanced };
using TLKSaveDlgOpt = TSet<TLKSaveDlgOption>;

using TCanCloseEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TOpenLumerakDialog : public TLKCommonDialog {
 public:
  explicit TOpenLumerakDialog(TComponent* AOwner = nullptr);
  ~TOpenLumerakDialog() override;

  String DefaultExt;
  /// The chosen file after a confirmed Execute (GetFileName asks the live
  /// dialog).
  String FileName;
  /// Pairs of description and patterns separated by "|"; rebuilt from the
  /// registry by Execute when AutoSetFilter is on.
  String Filter;
  /// Entry of Filter chosen, from 1; 0 derives it from FileName.
  Integer FilterIndex = 1;
  String Title;
  TOpenOptions Options{ofHideReadOnly};
  TCanCloseEvent OnCanClose;
  TNotifyEvent OnFolderChange, OnSelectionChange, OnTypeChange;
  bool AutoSetFilter = true;
  bool AutoAdjustDPI = false, FilteredAdjustDPI = false;
  bool ShowAllFrames = true;
  TLKDBorderStyle PreviewBorderStyle = lkpsDefault;
  /// Extra pairs of description and patterns merged into the built filter.
  String ExtraFilters;
  /// The frame chosen in the preview (always 0: the first frame is shown).
  Integer ChosenFrameIndex = 0;

  const String& GetInitialDir() const { return FInitialDir; }
  /// Drops one trailing "/" (not the root's).
  void SetInitialDir(const String& Value);
  bool GetAlwaysAnimate() const { return FAlwaysAnimate; }
  /// Setting it also sets ShowAllFrames.
  void SetAlwaysAnimate(bool Value);
  /// The files chosen (several with ofAllowMultiSelect).
  const std::vector<String>& GetFiles() const { return FFiles; }

  /// Runs the dialog; true when a file was chosen (FileName holds it).
  bool Execute() override;
  /// While the dialog shows, the full path now in it; else FileName.
  String GetFileName() const;
  /// While the dialog shows, the name typed in its name box; else FileName.
  String GetFileName2() const;
  /// The live filter entry while shown, else FilterIndex.
  Integer GetFilterIndex() const;
  /// The filter built from the registry for this kind of dialog.
  String BuildStrFilter() const;
  /// The entry of Filter whose patterns hold Name's extension (see
  /// LKFileName2FilterIndex).
  Integer FileName2FilterIndex(const String& Name) const;
  /// Copies History into the dialog's history list.
  void SetHistoryList(const std::vector<String>& History) { FHistory = History; }
  const std::vector<String>& GetHistoryList() const { return FHistory; }
  /// The area of the file chooser in the dialog window; empty without one.
  virtual void GetStaticRect(TRect& Rect) const;
  /// Plays the frames strip while PlayButton is down.
  void PlayClick();
  bool GetPlayDown() const { return FPlayDown; }
  /// A frame chosen in the strip: its parameters are shown.
  void OnMViewSelect(Integer Idx);
  /// Every visible frame is in: the selected frame's parameters are shown.
  void DoAllDisplayed();
  /// Fills the five information labels from Params; null clears them.
  void ShowIOParams(const TIOParamsVals* Params);
  /// Applies the zoom list's choice to the preview.
  void SetZoom();

  // ---- the window while it shows (null otherwise); for tests and callers
  TForm* GetForm() const { return FForm.get(); }
  TFileChooser* Chooser = nullptr;
  TPanel* InfoPanel = nullptr;
  TLabel *InfoLabel1 = nullptr, *InfoLabel2 = nullptr;
  TButton* AdvancedButton = nullptr;
  TCheckBox* PreviewCheck = nullptr;
  TPanel* PicturePanel = nullptr;
  TLabel *PicLabel1 = nullptr, *PicLabel2 = nullptr, *PicLabel3 = nullptr;
  TComboBox* ZoomCombo = nullptr;
  TButton* PreviewButton = nullptr;
  TLumerakView* LumerakView = nullptr;
  TLumerakMView* LumerakMView = nullptr;
  TButton* PlayButton = nullptr;
  TProgressBar* ProgressBar = nullptr;

 protected:
  /// Builds the window, runs it modally and takes the result.
  bool DoExecute(bool Save);
  void WndProc(TLKDialogMessage& Message) override;
  void DoShow() override;
  void DoClose() override;
  virtual bool DoCanClose();
  virtual void DoSelectionChange();
  virtual void DoFolderChange();
  virtual void DoTypeChange();
  /// The form is built: descendants add their own settings.
  virtual void WindowBuilt() {}
  /// The suggested name is in the name box, the type list at its entry.
  virtual void NameShown() {}
  /// Sets the texts of the message table.
  void SetLang();
  /// The live filter entry's pattern list ("*.jpg;*.jpeg").
  String LivePatterns() const;
  /// The preview pane is present.
  bool FPreviewPresent = true;

 private:
  void BuildWindow(bool Save);
  void PreviewFile(const String& Path);
  void ClearPreview();
  void PreviewClick();
  void DoCheckPreview();

  bool PreviewFrames(const String& Path);
  void SetPlayDown(bool Down);

  std::unique_ptr<TForm> FForm;
  String FInitialDir;
  std::vector<String> FHistory;
  bool FPlayDown = false;
  bool FAlwaysAnimate = false;
  std::vector<String> FFiles;
  Integer FLiveFilterIndex = 1;
  Int64 FFileSize = 0;
  Integer FFrameCount = 0;
  bool FInSelection = false;
  /// The path the chooser last reported as selected: the file under the
  /// cursor in the list or the typed name. The chooser's name field is not
  /// yet updated when a click in the list reports its file.
  String FSelectedPath;
};

class TSaveLumerakDialog : public TOpenLumerakDialog {
 public:
  explicit TSaveLumerakDialog(TComponent* AOwner = nullptr);
  ~TSaveLumerakDialog() override;

  TLKSaveDlgOpt ExOptions{sdShowPreview, sdShowAdvanced};
  /// The component whose parameters the Advanced button edits: a
  /// TLumerakIO, a TLumerakMIO, a TLumerakMView or a TLumerakView
  /// (anything else is refused: null).
  TObject* GetAttachedLumerakIO() const { return FAttached; }
  void SetAttachedLumerakIO(TObject* Value);

  bool Execute() override;
  /// Replaces the extension of the name in the name box with the live
  /// filter's first one.
  virtual void SetFileNameExt();
  /// The format-options pages and type of the name now in the dialog.
  void GetAdvancedType(TPreviewParams& Pages, Integer& FileType) const;
  /// Writes the type into the attached component's parameters and enables
  /// Advanced exactly when there are pages.
  void EnableDisableAdvanced();
  /// Opens the format-options dialog on the attached component.
  void DoAdvanced();
  /// The 100 ms watch that keeps Advanced in step with what is typed.
  TTimer* GetWatchTimer() const { return FTimer.get(); }

 protected:
  void DoTypeChange() override;
  bool DoCanClose() override;
  void WindowBuilt() override;
  void NameShown() override;
  void WndProc(TLKDialogMessage& Message) override;

 private:
  /// The parameter record of the attached component (null when none).
  TIOParamsVals* AttachedParams() const;
  TLumerakIO* AttachedIO() const;
  /// The multi-image component attached, or that of an attached thumbnail view.
  TLumerakMIO* AttachedMIO() const;

  TObject* FAttached = nullptr;
  TIOParamsVals FBackup;
  std::unique_ptr<TTimer> FTimer;
};

/// Installs the library's open, save and format-options dialogs for the I/O
/// components (LKSetIODialogs). Call once on the main thread.
void LKInstallLumerakDialogs();
