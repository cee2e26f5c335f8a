// The form that asks which compressor a new AVI file gets: the compressors
// of the AVI writer in a list, OK and Cancel.
#pragma once

#include <vector>

#include "io/lkavicodec.h"
#include "platform/forms.h"

class TButton;
class TListBox;

class TLKAVICodecDialog : public TForm {
 public:
  explicit TLKAVICodecDialog(TComponent* AOwner = nullptr);
  /// Lists the compressors, the first chosen.
  void SetCompressors(const std::vector<TLKAVICompressor>& Compressors);
  /// Shows the form modally; true when it closed with OK and a compressor
  /// was chosen (its code is then in GetCode).
  bool Execute();
  String GetCode() const { return FCode; }
  TListBox* GetList() const { return FList; }
  TButton* GetOkButton() const { return FOk; }

 private:
  std::vector<TLKAVICompressor> FCompressors;
  String FCode;
  TListBox* FList = nullptr;
  TButton* FOk = nullptr;
};

/// Installs the form as the chooser of LKAVISelectCodec.
void LKInstallAVICodecDialog();
