// A file chooser control: Qt's own non-native file dialog, embedded as a
// child control of a form, so that a program can place panels of its own
// beside it and still give the user the file dialog a Linux desktop user
// expects (typed paths with completion, the filter list, hidden files from
// the context menu, the folder history).
//
// The chooser never closes itself: its Open/Save button asks OnCanClose and
// then OnAccept, its Cancel button (and Esc) OnReject; the form around it
// decides what that means. Filters are (description, patterns) pairs with
// the patterns separated by ";" as stored ("*.jpg;*.jpeg"); the list shown
// uses Qt's "description (*.jpg *.jpeg)" form. Masks match in any letter
// case. Main thread only.
#pragma once

#include <functional>
#include <vector>

#include "platform/stdctrls.h"

class QFileDialog;
class QLineEdit;

/// One entry of the chooser's filter list.
struct TFileChooserFilter {
  String Description;  ///< text shown, e.g. "JPEG Bitmap (*.jpg;*.jpeg)"
  String Patterns;     ///< masks separated by ";", e.g. "*.jpg;*.jpeg"
};

enum TFileChooserMode { fcmOpen, fcmSave };

class TFileChooser : public TWidgetControl {
 public:
  explicit TFileChooser(TComponent* AOwner = nullptr);
  ~TFileChooser() override;

  void SetMode(TFileChooserMode Mode);
  TFileChooserMode GetMode() const { return FMode; }
  /// Several files may be chosen (open mode).
  void SetMultiSelect(bool Value);
  /// Files and folders whose names start with "." are listed.
  void SetShowHidden(bool Value);
  bool GetShowHidden() const;
  /// Saving over an existing file asks the user first.
  void SetConfirmOverwrite(bool Value);
  /// Replaces the filter list and chooses entry 1 (counted from 1).
  void SetFilters(const std::vector<TFileChooserFilter>& Filters);
  /// The chosen filter entry, counted from 1 (0 when the list is empty).
  Integer GetFilterIndex() const;
  /// Chooses entry Index (from 1), silently; out of range does nothing.
  void SetFilterIndex(Integer Index);
  /// The folder listed.
  String GetDirectory() const;
  void SetDirectory(const String& Folder);
  /// The text of the name box.
  String GetFileNameText() const;
  /// Sets the name box's text (no event).
  void SetFileNameText(const String& Name);
  /// Full path of what the name box says (a relative name is taken in the
  /// folder listed); empty when the box is empty.
  String GetFilePath() const;
  /// The full paths chosen when the user confirmed (several with
  /// MultiSelect).
  std::vector<String> GetSelectedFiles() const;
  /// Presses the Open/Save button, as the user would.
  void Accept();
  /// Presses Cancel.
  void Reject();
  /// The Qt dialog (for tests).
  QFileDialog* GetDialog() const { return FDialog; }
  /// The name box (for tests).
  QLineEdit* GetNameEdit() const;

  /// The file under the cursor or typed changed (Path: its full path).
  std::function<void(const String& Path)> OnSelectionChange;
  /// Another folder is listed.
  TNotifyEvent OnFolderChange;
  /// Another filter entry was chosen by the user.
  TNotifyEvent OnTypeChange;
  /// The user confirmed a name; setting CanClose false keeps the chooser
  /// as it is.
  std::function<void(TObject* Sender, bool& CanClose)> OnCanClose;
  /// Confirmed and allowed: GetSelectedFiles holds the names.
  TNotifyEvent OnAccept;
  /// The user cancelled.
  TNotifyEvent OnReject;

 private:
  friend class TChooserDialog;
  void Done(bool Accepted);

  QFileDialog* FDialog;
  TFileChooserMode FMode = fcmOpen;
  std::vector<TFileChooserFilter> FFilters;
  std::vector<String> FChosen;
};
