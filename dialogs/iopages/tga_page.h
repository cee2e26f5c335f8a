// The Targa options page: colours, run-length compression, and in the full
// form the background colour, the image name and the descriptor.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKTgaOptionsPage : public TLKOptionsPage {
 public:
  explicit TLKTgaOptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The background panel: the result's palette when it has one, else the
  /// standard colour dialog.
  void Panel5Click();

  /// The working values; Colors is the index in the colours list.
  struct TWorking {
    Integer Colors = 2;
    TRGB Background{0, 0, 0};
    bool Compressed = false;
    String Name, Descriptor;
  };
  const TWorking& Working() const { return W; }

  TTabSheet* TabSheetTGA1 = nullptr;
  TComboBox* ComboBox14 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TEdit *Edit13 = nullptr, *Edit14 = nullptr;
  TPanel* Panel5 = nullptr;

 private:
  void Change();

  TWorking W;
};
