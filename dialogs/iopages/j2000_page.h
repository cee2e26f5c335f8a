// The JPEG 2000 options page: the rate (shown times 1000) and, in the full
// form, the colour space.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKJ2000OptionsPage : public TLKOptionsPage {
 public:
  explicit TLKJ2000OptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  /// Writes FILETYPE 14 whichever of the two JPEG 2000 types the
  /// parameters held.
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The working values.
  struct TWorking {
    double Rate = 0;
    TIOJ2000ColorSpace ColorSpace = ioJ2000_GRAYLEV;
  };
  const TWorking& Working() const { return W; }

  TTabSheet* TabSheetJ20001 = nullptr;
  TEdit* Edit15 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TComboBox* ComboBox15 = nullptr;

 private:
  void EditChange();
  void TrackChange();

  TWorking W;
};
