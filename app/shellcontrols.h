// Interim shell controls the main window is built from: a folder list of
// the files matching a mask, a folder tree over the file system rooted at
// "/", a splitter, a numeric spin edit and a filter combo box. They carry
// the names and properties the window uses; the full controls replace them.
#pragma once

#include <vector>

#include "platform/comctrls.h"
#include "platform/listview.h"
#include "platform/splitter.h"
#include "platform/stdctrls.h"
#include "platform/treeview.h"

/// The files of one folder that match a list of masks, in natural order,
/// with a size column.
class TFileListView : public TListView {
 public:
  explicit TFileListView(TComponent* AOwner = nullptr);
  /// Masks separated by ";" ("*.crw;*.nef"); empty means every file.
  const String& GetMask() const { return FMask; }
  void SetMask(const String& Value);
  /// The shown folder, ending in "/", or empty.
  const String& GetDirectory() const { return FDirectory; }
  /// Shows Value; a new folder forgets the old folder's selection.
  void SetDirectory(const String& Value);
  /// The name of the first selected file (raw bytes), or empty.
  String GetSelectedFile();
  void SetShowROFiles(bool Value) { FShowROFiles = Value; }
  /// Lists the folder again, keeping the selected name when it is still there.
  void Rescan();

 private:
  String FMask = "*.*";
  String FDirectory;
  bool FShowROFiles = false;
  std::vector<String> FNames;
};

/// A folder tree over the file system, rooted at "/", filled as branches
/// open; the selected folder is shown by the bound file list.
class TDirectoryTreeView : public TTreeView {
 public:
  explicit TDirectoryTreeView(TComponent* AOwner = nullptr);
  ~TDirectoryTreeView() override;
  TFileListView* GetFileList() const { return FFileList; }
  void SetFileList(TFileListView* Value);
  /// The full path of Node's folder, ending in "/".
  String PathOf(TTreeNode* Node) const;

 private:
  void Fill(TTreeNode* Node);
  TFileListView* FFileList = nullptr;
  std::vector<String*> FPaths;
};

/// A bar between two controls that resizes the first.
class TRxSplitter : public TSplitter {
 public:
  explicit TRxSplitter(TComponent* AOwner = nullptr) : TSplitter(AOwner) {}
  void SetControlFirst(TControl* Value) { FFirst = Value; }
  void SetControlSecond(TControl* Value) { FSecond = Value; }
  void SetTopLeftLimit(Integer Value) { SetMinSize(Value); }
  void SetBottomRightLimit(Integer) {}

 private:
  TControl* FFirst = nullptr;
  TControl* FSecond = nullptr;
};

enum TValueType { vtInteger, vtFloat, vtHex };

/// A numeric edit whose value lives in its text; Up and Down step it.
class TRxSpinEdit : public TEdit {
 public:
  explicit TRxSpinEdit(TComponent* AOwner = nullptr);
  /// The value read from the text ("." or "," as decimal separator); 0 for
  /// text that is no number.
  double GetValue() const;
  void SetValue(double Value);
  double GetIncrement() const { return FIncrement; }
  void SetIncrement(double Value) { FIncrement = Value; }
  Integer GetDecimal() const { return FDecimal; }
  void SetDecimal(Integer Value) { FDecimal = Value; }
  void SetValueType(TValueType Value) { FValueType = Value; }

 protected:
  void KeyDown(Word& Key, TShiftState Shift) override;

 private:
  double FIncrement = 1;
  Integer FDecimal = 2;
  TValueType FValueType = vtInteger;
};

/// A combo box of file filters "description|masks|description|masks".
class TFilterComboBox : public TComboBox {
 public:
  explicit TFilterComboBox(TComponent* AOwner = nullptr);
  void SetFilter(const String& Value);
  /// The masks of the chosen entry.
  String GetMask() const;

 private:
  std::vector<String> FMasks;
};
