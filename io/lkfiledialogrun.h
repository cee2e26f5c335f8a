// Running the installed open and save dialogs for an I/O component: both the
// single-picture and the multi-picture components fill and show them alike.
#pragma once

#include <memory>

#include "core/lkmsg.h"
#include "platform/classes.h"
#include "platform/system.h"

// The dialog itself is declared with the dialogs (dialogs/lkiodialogs.h).
class TLKFileDialog;

/// What an I/O component's settings give its open or save dialog.
struct TLKFileDialogSetup {
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  TMsgLanguage Language = msSystem;
  /// The dialog may be resized.
  bool EnableSizing = false;
  /// Save dialog: the component whose picture and parameters it uses.
  TObject* AttachedIO = nullptr;
};

/// Makes the installed dialogs' open dialog (Save false) or save dialog for
/// Owner, fills it from Setup and the call's values (FilterIndex counted
/// from 1) and shows it. Returns the dialog after the user confirmed a file
/// (its FileName and SelectedImage hold the choice); null when no dialogs
/// are installed, none was made, or the user cancelled.
std::unique_ptr<TLKFileDialog> LKRunFileDialog(TComponent* Owner, bool Save, const TLKFileDialogSetup& Setup,
                                               const String& InitialDir, const String& InitialFileName,
                                               bool AlwaysAnimate, Integer FilterIndex,
                                               const String& ExtendedFilters);
