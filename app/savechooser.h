// A plain file chooser for "Save As": the system's save-file dialog behind
// the library's dialog interface, used while no other save dialog is
// installed. It opens nothing and shows no previews.
#pragma once

#include "dialogs/lkiodialogs.h"

class TPlainSaveChooser : public TLKIODialogs {
 public:
  std::unique_ptr<TLKFileDialog> CreateOpenDialog(TComponent*) override { return nullptr; }
  std::unique_ptr<TLKFileDialog> CreateSaveDialog(TComponent* Owner) override;
  std::unique_ptr<TLKPreviewsForm> CreatePreviewsForm(TComponent*) override { return nullptr; }
};

/// A name typed without extension gets the one of the chosen entry (".jpg"
/// for the JPEG entry, preselected by "Save As").
String WithDefaultExtension(const String& FileName, const String& Extension);
