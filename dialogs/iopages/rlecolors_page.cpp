#include "dialogs/iopages/rlecolors_page.h"

#include "platform/comctrls.h"
#include "platform/stdctrls.h"

TLKRleColorsPage::TLKRleColorsPage(TLKOptionsHost& Host, const TLKRleColorsSpec& Spec)
    : TLKOptionsPage(Host, Spec.Kind, Spec.FileType), FSpec(Spec) {}

void TLKRleColorsPage::Build(TLKPageKit& Kit) {
  TabSheet = Kit.NewPage(FSpec.Caption);
  Kit.Label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  CompressionList = Kit.Combo(120, 8, 110, {"UNCOMPRESSED", "RLE"});
  Kit.Label(8, 34, "C&olors:", LKMSG_COLORS);
  ColorsList = Kit.Combo(120, 34, 110, {});
  for (const char* c : FSpec.Colors) ColorsList->GetItems()->Add(c);
  CompressionList->OnChange = ColorsList->OnChange = [this](TObject*) { Change(); };
  SetSheets(TabSheet);
}

void TLKRleColorsPage::Load(const TIOParamsVals& P) {
  W.Compression = FSpec.GetCompression(P);
  W.Colors = LKColorIndex(FSpec.List, P.SAMPLESPERPIXEL, P.BITSPERSAMPLE, W.Colors);
}

void TLKRleColorsPage::Show(TTabSheet*) {
  CompressionList->SetItemIndex(W.Compression);
  ColorsList->SetItemIndex(W.Colors);
}

void TLKRleColorsPage::Write(TIOParamsVals& P) const {
  FSpec.SetCompression(P, W.Compression);
  LKColorValues(FSpec.List, W.Colors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
  P.FILETYPE = FileType();
}

TLKPreviewResult TLKRleColorsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  FSpec.SetCompression(S, W.Compression);
  LKColorValues(FSpec.List, W.Colors, S.BITSPERSAMPLE, S.SAMPLESPERPIXEL);
  return lkprConvert;
}

void TLKRleColorsPage::Change() {
  if (!Host.GuardOn()) return;
  bool changed = LKStoreChanged(W.Compression, Byte(CompressionList->GetItemIndex() == 1 ? 1 : 0));
  changed |= LKStoreChanged(W.Colors, ColorsList->GetItemIndex());
  if (changed) Host.Refresh();
  Host.Changed();
}
