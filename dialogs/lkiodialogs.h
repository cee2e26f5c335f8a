// What the I/O component uses of the image dialogs: the open and save
// dialogs and the format-options (save-parameters) form, behind a small
// interface. The dialogs subsystem installs its real dialogs with
// LKSetIODialogs; without them the component's dialog calls answer as if the
// user had cancelled.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "io/lkfileformats.h"
#include "platform/classes.h"
#include "platform/system.h"

class TFont;
class TIOParamsVals;
class TLKBitmap;

/// Border and background of the open and save dialogs' picture preview:
/// solid with a single border, cropped, or cropped with a shadow (no border).
enum TLKDBorderStyle : Byte { lkpsDefault, lkpsCropped, lkpsCropShadow };

/// The library's open or save dialog, filled in by the caller before Execute.
class TLKFileDialog {
 public:
  virtual ~TLKFileDialog() = default;

  String InitialDir;
  /// The initial file name; after a confirmed Execute the chosen file.
  String FileName;
  bool AlwaysAnimate = false;
  /// The dialog may be resized (the I/O component always asks for it).
  bool EnableSizing = false;
  TLKDBorderStyle PreviewBorderStyle = lkpsDefault;
  /// Preselected filter entry, counted from 1.
  Integer FilterIndex = 1;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  /// Extra pairs of description and mask separated by "|", merged into the
  /// filter list.
  String ExtendedFilters;
  TMsgLanguage MsgLanguage = msSystem;
  /// Save dialog: the I/O component whose picture and parameters it uses.
  TObject* AttachedLumerakIO = nullptr;
  /// Open dialog, after a confirmed Execute: the page chosen in its preview.
  Integer SelectedImage = 0;

  /// Shows the dialog; true when the user confirmed a file.
  virtual bool Execute() = 0;
};

/// The format-options form.
class TLKPreviewsForm : public TObject {
 public:
  ~TLKPreviewsForm() override = default;

  bool LockPreview = false;
  bool ApplyButtonVisible = false;
  TIOParamsVals* Params = nullptr;
  bool Simplified = false;
  /// Heights in pixels; 0 keeps the form's own.
  Integer PageControlHeight = 0;
  Integer FormHeight = 0;
  TLKDitherMethod DitherMethod = lkThreshold;
  TFont* Font = nullptr;

  virtual void SetLanguage(TMsgLanguage Language) = 0;
  /// Shows Bitmap (not owned) in the first preview and blanks the second.
  virtual void ShowPicture(TLKBitmap* Bitmap) = 0;
  /// Lets go of the picture given to ShowPicture.
  virtual void ReleasePicture() = 0;
  /// Chooses the pages; false when there is nothing to show.
  virtual bool SetPreviewParams(TPreviewParams Pages) = 0;
  /// Shows the form modally; true when it closed with OK.
  virtual bool ShowModal() = 0;
};

/// Maker of the dialogs; the I/O component asks it for a new dialog each time.
class TLKIODialogs {
 public:
  virtual ~TLKIODialogs() = default;
  virtual std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent* Owner) = 0;
  virtual std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent* Owner) = 0;
  virtual std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent* Owner) = 0;
};

/// Hands a file dialog what both I/O components give it alike.
void LKFillFileDialog(TLKFileDialog& D, const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                      Integer FilterIndex, const String& ExtendedFilters, bool AutoAdjustDPI, bool FilteredAdjustDPI,
                      TMsgLanguage Language);

/// What both I/O components give the format-options form.
struct TLKPreviewsSetup {
  bool LockPreview = false;
  bool ApplyButton = false;
  bool Simplified = false;
  /// Height of the simplified form, in inches.
  double SimplifiedHeight = 3.75;
  TLKDitherMethod DitherMethod = lkThreshold;
  TIOParamsVals* Params = nullptr;
  TMsgLanguage Language = msSystem;
  TFont* Font = nullptr;
};

/// Shows the installed dialogs' format-options form on Picture (not owned)
/// for Pages; BeforeModal sees the form once it took the pages. True when
/// it closed with OK; false without dialogs, a form, parameters or pages.
bool LKRunPreviewsForm(TComponent* Owner, const TLKPreviewsSetup& Setup, TLKBitmap* Picture, TPreviewParams Pages,
                       const std::function<void(TLKPreviewsForm*)>& BeforeModal);

/// Installs the dialogs (not owned; null removes them). Set it on the main
/// thread before the dialogs are used.
void LKSetIODialogs(TLKIODialogs* Dialogs);
/// The installed dialogs, or null.
TLKIODialogs* LKGetIODialogs();
