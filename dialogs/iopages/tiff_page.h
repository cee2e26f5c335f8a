// The TIFF options page: compression, image index, photometric
// interpretation, colours and the scanned-document fields (positions,
// names, page number). The simplified form has a sheet of its own with the
// compression and the colours, each keeping the other consistent.
#pragma once

#include "dialogs/iopages/lkoptionspage.h"

class TLKTiffOptionsPage : public TLKOptionsPage {
 public:
  explicit TLKTiffOptionsPage(TLKOptionsHost& Host);

  void Build(TLKPageKit& Kit) override;
  /// Also rebuilds the compression lists: "LZW" is listed only while the
  /// LZW coder hook is installed.
  void Prepare(bool Simplified) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The working values.
  struct TWorking {
    TIOTIFFCompression Compression = ioTIFF_UNCOMPRESSED;
    Integer ImageIndex = 0;
    TIOTIFFPhotometInterpret Photometric = ioTIFF_WHITEISZERO;
    Integer XPos = 0, YPos = 0, PageNumber = 0, PageCount = 0;
    String DocName, Description, PageName;
    Integer Bps = 8, Spp = 3;
  };
  const TWorking& Working() const { return W; }

  TTabSheet *TabSheetTIFF1 = nullptr, *TabSheetTIFF2 = nullptr;
  // full sheet
  TComboBox *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr,
        *Edit7 = nullptr, *Edit8 = nullptr;
  // simplified sheet
  TComboBox *ComboBox16 = nullptr, *ComboBox17 = nullptr;

 private:
  /// Stores the values the preview depends on, refreshing it when any
  /// changed.
  void Store(TIOTIFFCompression Compression, TIOTIFFPhotometInterpret Photometric, Integer Bps, Integer Spp);
  void Change(TObject* Sender);
  void SimpleChange(TObject* Sender);

  TWorking W;
};
