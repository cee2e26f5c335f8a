// The PNG options page: colours and background, and in the full form the
// filter, interlacing and compression level.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKPngOptionsPage : public TLKOptionsPage {
 public:
  explicit TLKPngOptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The background panel: the result's palette when it has one, else the
  /// standard colour dialog.
  void Panel1Click();

  /// The working values; Colors is the index in the colours list, Bps and
  /// Spp what it writes.
  struct TWorking {
    Integer Colors = 2;
    Integer Bps = 8, Spp = 3;
    bool Interlaced = false;
    TRGB Background{0, 0, 0};
    TIOPNGFilter Filter = ioPNG_FILTER_NONE;
    Integer Compression = 0;
  };
  const TWorking& Working() const { return W; }

  TTabSheet* TabSheetPNG1 = nullptr;
  TComboBox *ComboBox10 = nullptr, *ComboBox11 = nullptr, *ComboBox12 = nullptr;
  TCheckBox* CheckBox6 = nullptr;
  TPanel* Panel1 = nullptr;

 private:
  void Change();

  TWorking W;
};
