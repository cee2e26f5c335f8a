#include "dialogs/iopages/gif_page.h"

#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

extern constinit const TLKOptionsPageMaker LKPage_GIF = LKMakeOptionsPage<TLKGifOptionsPage>;

TLKGifOptionsPage::TLKGifOptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppGIF, lkftGIF) {}

void TLKGifOptionsPage::Build(TLKPageKit& Kit) {
  TabSheetGIF1 = Kit.NewPage("GIF");
  Kit.Label(8, 8, "&Image index:", LKMSG_IMAGEINDEX);
  Edit9 = Kit.Edit(120, 8, 40);
  Kit.UpDown(Edit9, 1000);
  Kit.Label(250, 8, "&Colors:", LKMSG_COLORS);
  ComboBox5 = Kit.Combo(350, 8, 80, {"B/W", "4", "8", "16", "32", "64", "128", "256"});
  CheckBox4 = Kit.Check(8, 34, "&Transparent:", LKMSG_TRANSPARENT, true);
  Kit.Label(170, 34, "T&ransparent color:", LKMSG_TRANSPARENTCOLOR);
  Panel3 = Kit.ColorPanel(290, 34);
  CheckBox5 = Kit.Check(8, 60, "I&nterlaced:", LKMSG_INTERLACED, true);
  Kit.Label(170, 60, "&Background:", LKMSG_BACKGROUND);
  Panel4 = Kit.ColorPanel(290, 60);
  Kit.Group(88, 56, LKMSG_ADVANCED);
  Kit.Label(14, 110, "&Delay time:", LKMSG_DELAYTIME, true, 75);
  Edit12 = Kit.Edit(92, 110, 40);
  Kit.FixedLabel(136, 113, 40, "1/100 s");
  Kit.Label(196, 110, "&Horiz. Position:", LKMSG_HORIZPOSITION, true, 92);
  Edit10 = Kit.Edit(290, 110, 40);
  Kit.Label(346, 110, "&Vert. Position:", LKMSG_VERTPOSITION, true, 92);
  Edit11 = Kit.Edit(440, 110, 40);
  Kit.EndGroup();
  Panel3->OnClick = [this](TObject*) { Panel3Click(); };
  Panel4->OnClick = [this](TObject*) { Panel4Click(); };
  ComboBox5->OnChange = CheckBox4->OnClick = CheckBox5->OnClick = [this](TObject*) { Change(); };
  for (TEdit* e : {Edit9, Edit10, Edit11, Edit12}) e->OnChange = [this](TObject*) { Change(); };

  TabSheetGIF2 = Kit.NewPage("GIF");
  Kit.Label(8, 8, "&Colors:", LKMSG_COLORS);
  ComboBox18 = Kit.Combo(120, 8, 80, {"B/W", "4", "8", "16", "32", "64", "128", "256"});
  ComboBox18->OnChange = [this](TObject*) { SimpleChange(); };
  SetSheets(TabSheetGIF1, TabSheetGIF2);
}

void TLKGifOptionsPage::Load(const TIOParamsVals& P) {
  W.ImageIndex = P.GIF_IMAGEINDEX;
  W.XPos = P.GIF_XPOS;
  W.YPos = P.GIF_YPOS;
  W.Delay = P.GIF_DELAYTIME;
  W.Transparent = P.GIF_TRANSPARENT;
  W.TranspColor = P.GIF_TRANSPCOLOR;
  W.Interlaced = P.GIF_INTERLACED;
  W.Background = P.GIF_BACKGROUND;
  W.Bps = P.BITSPERSAMPLE;
}

void TLKGifOptionsPage::Show(TTabSheet* Sheet) {
  if (Sheet == TabSheetGIF1) {
    Edit9->SetText(IntToStr(W.ImageIndex));
    ComboBox5->SetItemIndex(W.Bps - 1);
    CheckBox4->SetChecked(W.Transparent);
    Panel3->SetColor(LKTRGBToColor(W.TranspColor));
    Panel3->SetEnabled(W.Transparent);
    CheckBox5->SetChecked(W.Interlaced);
    Panel4->SetColor(LKTRGBToColor(W.Background));
    Edit12->SetText(IntToStr(W.Delay));
    Edit10->SetText(IntToStr(W.XPos));
    Edit11->SetText(IntToStr(W.YPos));
  } else {
    ComboBox18->SetItemIndex(W.Bps - 1);
  }
}

void TLKGifOptionsPage::Write(TIOParamsVals& P) const {
  P.SetImageIndex(W.ImageIndex);
  P.GIF_XPOS = W.XPos;
  P.GIF_YPOS = W.YPos;
  P.GIF_DELAYTIME = W.Delay;
  P.GIF_TRANSPARENT = W.Transparent;
  P.GIF_TRANSPCOLOR = W.TranspColor;
  P.GIF_INTERLACED = W.Interlaced;
  P.GIF_BACKGROUND = W.Background;
  P.BITSPERSAMPLE = W.Bps;
  P.FILETYPE = lkftGIF;
}

TLKPreviewResult TLKGifOptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  S.BITSPERSAMPLE = W.Bps;
  S.SAMPLESPERPIXEL = 1;
  S.GIF_INTERLACED = W.Interlaced;
  return lkprPalette;
}

void TLKGifOptionsPage::Change() {
  if (!Host.GuardOn()) return;
  const Integer bits = ComboBox5->GetItemIndex() + 1;
  if (bits != W.Bps || CheckBox5->GetChecked() != W.Interlaced) {
    W.Bps = bits;
    W.Interlaced = CheckBox5->GetChecked();
    Host.Refresh();
  }
  W.ImageIndex = LKEditInt(Edit9, 0);
  W.XPos = LKEditInt(Edit10, 0);
  W.YPos = LKEditInt(Edit11, 0);
  W.Delay = LKEditInt(Edit12, 0);
  W.Transparent = CheckBox4->GetChecked();
  Panel3->SetEnabled(W.Transparent);
  W.Interlaced = CheckBox5->GetChecked();
  Host.Changed();
}

void TLKGifOptionsPage::SimpleChange() {
  if (!Host.GuardOn()) return;
  const Integer bits = ComboBox18->GetItemIndex() + 1;
  if (bits != W.Bps) {
    W.Bps = bits;
    Host.Refresh();
  }
  Host.Changed();
}

TRGB TLKGifOptionsPage::PickFromPalette(TPanel* Panel) {
  if (Host.ResultParams().COLORMAPCOUNT == 0) Host.Preview();
  TColor c = Panel->GetColor();
  if (Host.ChooseFromResultPalette(W.Bps >= 1 && W.Bps <= 8 ? 1 << W.Bps : 256, c)) Panel->SetColor(c);
  return LKColorToTRGB(Panel->GetColor());
}

void TLKGifOptionsPage::Panel3Click() {
  W.TranspColor = PickFromPalette(Panel3);
  Host.Changed();
}

void TLKGifOptionsPage::Panel4Click() {
  W.Background = PickFromPalette(Panel4);
  Host.Changed();
}
