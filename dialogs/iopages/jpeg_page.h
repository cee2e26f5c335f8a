// The JPEG options page: quality, and in the full form the DCT method,
// smoothing, optimal Huffman tables, progressive coding and the colour
// space. The simplified form has a sheet of its own with the quality alone.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKJpegOptionsPage : public TLKOptionsPage {
 public:
  explicit TLKJpegOptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The working values.
  struct TWorking {
    Integer Quality = 0, Smooth = 0;
    TIOJPEGColorspace ColorSpace = ioJPEG_RGB;
    TIOJPEGDctMethod Dct = ioJPEG_ISLOW;
    bool OptimalHuffman = false, Progressive = false;
  };
  const TWorking& Working() const { return W; }

  TTabSheet *TabSheetJPEG1 = nullptr, *TabSheetJPEG2 = nullptr;
  // full sheet
  TEdit *Edit22 = nullptr, *Edit23 = nullptr;
  TTrackBar* TrackBar13 = nullptr;
  TUpDown* UpDown11 = nullptr;
  TComboBox *ComboBox1 = nullptr, *ComboBox13 = nullptr;
  TCheckBox *CheckBox2 = nullptr, *CheckBox3 = nullptr;
  // simplified sheet
  TEdit* Edit16 = nullptr;
  TTrackBar* TrackBar2 = nullptr;

 private:
  /// Writes the working values into P.
  void Put(TIOParamsVals& P) const;
  void EditChange();
  void TrackChange();
  void SimpleEditChange();
  void SimpleTrackChange();

  TWorking W;
};
