// A page of two lists, compression (none or run-length) and colours: the
// shape of the BMP and PCX pages, which differ only in their fields.
#pragma once

#include <vector>

#include "dialogs/iopages/lkoptionspage.h"
#include "dialogs/lkiopreviewslogic.h"

/// What a compression-and-colours page is made of.
struct TLKRleColorsSpec {
  TPreviewParam Kind;
  Integer FileType;
  const char* Caption;  ///< tab caption
  TLKColorList List;    ///< the colours list and its entries
  std::vector<const char*> Colors;
  /// The compression field of the parameters (0 none, 1 run-length).
  Byte (*GetCompression)(const TIOParamsVals& Params);
  void (*SetCompression)(TIOParamsVals& Params, Byte Compression);
};

class TLKRleColorsPage : public TLKOptionsPage {
 public:
  /// Spec must outlive the page.
  TLKRleColorsPage(TLKOptionsHost& Host, const TLKRleColorsSpec& Spec);

  void Build(TLKPageKit& Kit) override;
  void Load(const TIOParamsVals& Params) override;
  void Show(TTabSheet* Sheet) override;
  void Write(TIOParamsVals& Params) const override;
  /// The preview reduces the result's colours in place (no palette kept).
  TLKPreviewResult PreviewParams(TIOParamsVals& Source, const TIOParamsVals* Caller) const override;

  /// The working values; Colors is the index in the colours list, kept
  /// when the parameters' samples and bits match no entry.
  struct TWorking {
    Byte Compression = 0;
    Integer Colors = 3;
  };
  const TWorking& Working() const { return W; }

  TTabSheet* TabSheet = nullptr;
  TComboBox *CompressionList = nullptr, *ColorsList = nullptr;

 private:
  void Change();

  const TLKRleColorsSpec& FSpec;
  TWorking W;
};
