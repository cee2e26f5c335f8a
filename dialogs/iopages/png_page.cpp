#include "dialogs/iopages/png_page.h"

#include "dialogs/lkiopreviewslogic.h"
#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"

extern constinit const TLKOptionsPageMaker LKPage_PNG = LKMakeOptionsPage<TLKPngOptionsPage>;

TLKPngOptionsPage::TLKPngOptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppPNG, lkftPNG) {}

void TLKPngOptionsPage::Build(TLKPageKit& Kit) {
  TabSheetPNG1 = Kit.NewPage("PNG");
  Kit.Label(8, 8, "C&olors:", LKMSG_COLORS);
  ComboBox10 = Kit.Combo(120, 8, 110, {"B/W", "256", "16M"});
  TLabel* background = Kit.Label(250, 8, "&Background:", LKMSG_BACKGROUND);
  Panel1 = Kit.ColorPanel(350, 8);
  // The advanced settings: filter, interlacing and compression level.
  TGroupBox* advanced = Kit.Group(36, 80, LKMSG_ADVANCED);
  Kit.Label(14, 58, "&Filter", LKMSG_FILTER);
  ComboBox11 = Kit.Combo(130, 58, 110, {"None", "Sub", "Paeth"});
  CheckBox6 = Kit.Check(260, 58, "I&nterlaced:", LKMSG_INTERLACED, false);
  Kit.Label(14, 86, "Co&mpression", LKMSG_COMPRESSION);
  ComboBox12 = Kit.Combo(130, 86, 110, {"None", "1", "2", "3", "4", "5", "6", "7", "8", "Max"});
  Kit.EndGroup();
  FullOnly({background, Panel1, advanced});
  Panel1->OnClick = [this](TObject*) { Panel1Click(); };
  ComboBox10->OnChange = ComboBox11->OnChange = ComboBox12->OnChange = CheckBox6->OnClick =
      [this](TObject*) { Change(); };
  SetSheets(TabSheetPNG1);
}

void TLKPngOptionsPage::Load(const TIOParamsVals& P) {
  W.Bps = P.BITSPERSAMPLE;
  W.Spp = P.SAMPLESPERPIXEL;
  W.Colors = LKColorIndex(lkclPNG, W.Spp, W.Bps, W.Colors);
  W.Interlaced = P.PNG_INTERLACED;
  W.Background = P.PNG_BACKGROUND;
  W.Filter = P.PNG_FILTER;
  W.Compression = P.PNG_COMPRESSION;
}

void TLKPngOptionsPage::Show(TTabSheet*) {
  ComboBox10->SetItemIndex(W.Colors);
  Panel1->SetColor(LKTRGBToColor(W.Background));
  ComboBox11->SetItemIndex(W.Filter);
  CheckBox6->SetChecked(W.Interlaced);
  ComboBox12->SetItemIndex(W.Compression);
}

void TLKPngOptionsPage::Write(TIOParamsVals& P) const {
  LKColorValues(lkclPNG, W.Colors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
  P.PNG_BACKGROUND = W.Background;
  P.PNG_INTERLACED = W.Interlaced;
  P.PNG_FILTER = W.Filter;
  P.PNG_COMPRESSION = W.Compression;
  P.FILETYPE = lkftPNG;
}

TLKPreviewResult TLKPngOptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  LKColorValues(lkclPNG, W.Colors, S.BITSPERSAMPLE, S.SAMPLESPERPIXEL);
  S.PNG_INTERLACED = W.Interlaced;
  S.PNG_FILTER = W.Filter;
  S.PNG_COMPRESSION = W.Compression;
  return lkprPalette;
}

void TLKPngOptionsPage::Change() {
  if (!Host.GuardOn()) return;
  bool changed = LKStoreChanged(W.Colors, ComboBox10->GetItemIndex());
  LKColorValues(lkclPNG, W.Colors, W.Bps, W.Spp);
  changed |= LKStoreChanged(W.Filter, TIOPNGFilter(LKItemIndex0(ComboBox11)));
  changed |= LKStoreChanged(W.Interlaced, CheckBox6->GetChecked());
  changed |= LKStoreChanged(W.Compression, LKItemIndex0(ComboBox12));
  if (changed) Host.Refresh();
  Host.Changed();
}

void TLKPngOptionsPage::Panel1Click() {
  W.Background = ChooseBackground(Panel1);
  Host.Changed();
}
