// The GIF options page: image index, colours, transparency with its colour,
// interlacing, background colour, and the frame's delay and position. The
// simplified form has a sheet of its own with the colours alone. The two
// colour panels choose from the palette of the previewed result.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKGifOptionsPage : public TLKOptionsPage {
 public:
  explicit TLKGifOptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The colour panels: transparent colour and background, chosen from the
  /// result's palette (computing a preview first when the result has none).
  void Panel3Click();
  void Panel4Click();

  /// The working values.
  struct TWorking {
    Integer ImageIndex = 0, XPos = 0, YPos = 0, Delay = 0;
    bool Transparent = false, Interlaced = false;
    TRGB TranspColor{0, 0, 0}, Background{0, 0, 0};
    Integer Bps = 8;
  };
  const TWorking& Working() const { return W; }

  TTabSheet *TabSheetGIF1 = nullptr, *TabSheetGIF2 = nullptr;
  // full sheet
  TEdit *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr, *Edit12 = nullptr;
  TComboBox* ComboBox5 = nullptr;
  TCheckBox *CheckBox4 = nullptr, *CheckBox5 = nullptr;
  TPanel *Panel3 = nullptr, *Panel4 = nullptr;
  // simplified sheet
  TComboBox* ComboBox18 = nullptr;

 private:
  void Change();
  void SimpleChange();
  /// Lets the user pick Panel's colour from the result's palette; the
  /// panel's colour afterwards.
  TRGB PickFromPalette(TPanel* Panel);

  TWorking W;
};
