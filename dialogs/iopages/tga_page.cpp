#include "dialogs/iopages/tga_page.h"

#include "dialogs/lkiopreviewslogic.h"
#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"

extern constinit const TLKOptionsPageMaker LKPage_TGA = LKMakeOptionsPage<TLKTgaOptionsPage>;

TLKTgaOptionsPage::TLKTgaOptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppTGA, lkftTGA) {}

void TLKTgaOptionsPage::Build(TLKPageKit& Kit) {
  TabSheetTGA1 = Kit.NewPage("TGA");
  Kit.Label(8, 8, "C&olors:", LKMSG_COLORS);
  ComboBox14 = Kit.Combo(120, 8, 110, {"B/W", "256", "16M"});
  TLabel* background = Kit.Label(250, 8, "&Background:", LKMSG_BACKGROUND);
  Panel5 = Kit.ColorPanel(350, 8);
  CheckBox1 = Kit.Check(8, 34, "Compression:", LKMSG_COMPRESSION, true);
  TLabel* name = Kit.Label(8, 60, "&Name:", LKMSG_NAME);
  Edit13 = Kit.Edit(120, 60, 200);
  TLabel* description = Kit.Label(8, 86, "&Description:", LKMSG_DESCRIPTION);
  Edit14 = Kit.Edit(120, 86, 200);
  FullOnly({background, Panel5, name, description, Edit13, Edit14});
  Panel5->OnClick = [this](TObject*) { Panel5Click(); };
  ComboBox14->OnChange = CheckBox1->OnClick = [this](TObject*) { Change(); };
  Edit13->OnChange = Edit14->OnChange = [this](TObject*) { Change(); };
  SetSheets(TabSheetTGA1);
}

void TLKTgaOptionsPage::Load(const TIOParamsVals& P) {
  W.Colors = LKColorIndex(lkclPNG, P.SAMPLESPERPIXEL, P.BITSPERSAMPLE, W.Colors);
  W.Background = P.TGA_BACKGROUND;
  W.Compressed = P.TGA_COMPRESSED;
  W.Name = P.TGA_IMAGENAME;
  W.Descriptor = P.TGA_DESCRIPTOR;
}

void TLKTgaOptionsPage::Show(TTabSheet*) {
  ComboBox14->SetItemIndex(W.Colors);
  Panel5->SetColor(LKTRGBToColor(W.Background));
  CheckBox1->SetChecked(W.Compressed);
  Edit13->SetText(W.Name);
  Edit14->SetText(W.Descriptor);
}

void TLKTgaOptionsPage::Write(TIOParamsVals& P) const {
  LKColorValues(lkclPNG, W.Colors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
  P.TGA_BACKGROUND = W.Background;
  P.TGA_COMPRESSED = W.Compressed;
  P.TGA_IMAGENAME = W.Name;
  P.TGA_DESCRIPTOR = W.Descriptor;
  P.FILETYPE = lkftTGA;
}

TLKPreviewResult TLKTgaOptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  LKColorValues(lkclPNG, W.Colors, S.BITSPERSAMPLE, S.SAMPLESPERPIXEL);
  S.TGA_COMPRESSED = W.Compressed;
  return lkprPalette;
}

void TLKTgaOptionsPage::Change() {
  if (!Host.GuardOn()) return;
  bool changed = LKStoreChanged(W.Colors, ComboBox14->GetItemIndex());
  changed |= LKStoreChanged(W.Compressed, CheckBox1->GetChecked());
  W.Name = Edit13->GetText();
  W.Descriptor = Edit14->GetText();
  if (changed) Host.Refresh();
  Host.Changed();
}

void TLKTgaOptionsPage::Panel5Click() {
  W.Background = ChooseBackground(Panel5);
  Host.Changed();
}
