#include "dialogs/iopages/j2000_page.h"

#include "core/lkmath.h"
#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

extern constinit const TLKOptionsPageMaker LKPage_J2000 = LKMakeOptionsPage<TLKJ2000OptionsPage>;

TLKJ2000OptionsPage::TLKJ2000OptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppJ2000, lkftJ2K) {}

void TLKJ2000OptionsPage::Build(TLKPageKit& Kit) {
  TabSheetJ20001 = Kit.NewPage("JPEG2000");
  Kit.Label(8, 8, "&Rate:", LKMSG_RATE);
  Edit15 = Kit.Edit(120, 8, 50);
  TrackBar1 = Kit.Track(180, 4, 1000, 20);
  TLabel* photometric = Kit.Label(8, 40, "P&hotometric:", LKMSG_PHOTOMETRIC);
  ComboBox15 = Kit.Combo(120, 40, 110, {"GrayScale", "RGB", "YCbCr"});
  FullOnly({photometric, ComboBox15});
  Edit15->OnChange = [this](TObject*) { EditChange(); };
  TrackBar1->OnChange = ComboBox15->OnChange = [this](TObject*) { TrackChange(); };
  SetSheets(TabSheetJ20001);
}

void TLKJ2000OptionsPage::Load(const TIOParamsVals& P) {
  W.Rate = P.J2000_RATE;
  W.ColorSpace = P.J2000_COLORSPACE;
}

void TLKJ2000OptionsPage::Show(TTabSheet*) {
  const Integer r = LKRound(W.Rate * 1000);
  Edit15->SetText(IntToStr(r));
  TrackBar1->SetPosition(r);
  ComboBox15->SetItemIndex(W.ColorSpace);
}

void TLKJ2000OptionsPage::Write(TIOParamsVals& P) const {
  P.BITSPERSAMPLE = 8;
  if (W.ColorSpace == ioJ2000_GRAYLEV) {
    P.SAMPLESPERPIXEL = 1;
    P.J2000_COLORSPACE = ioJ2000_GRAYLEV;
  } else {
    P.SAMPLESPERPIXEL = 3;
    P.J2000_COLORSPACE = W.ColorSpace;
  }
  P.J2000_RATE = W.Rate;
  P.FILETYPE = lkftJ2K;
}

TLKPreviewResult TLKJ2000OptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  S.J2000_RATE = W.Rate;
  S.J2000_COLORSPACE = W.ColorSpace;
  S.BITSPERSAMPLE = 8;
  S.SAMPLESPERPIXEL = 3;
  return lkprRoundTrip;
}

void TLKJ2000OptionsPage::EditChange() {
  if (!Host.GuardOn()) return;
  const double rate = LKEditInt(Edit15, 1000) / 1000.0;
  if (rate != W.Rate) {
    TrackBar1->SetPosition(LKTrunc(rate * 1000));
    TrackChange();
  }
  Host.Changed();
}

void TLKJ2000OptionsPage::TrackChange() {
  if (!Host.GuardOn()) return;
  const Integer pos = TrackBar1->GetPosition();
  const auto cs = TIOJ2000ColorSpace(LKItemIndex0(ComboBox15));
  if (pos == LKRound(W.Rate * 1000) && cs == W.ColorSpace) return;
  W.Rate = pos / 1000.0;
  W.ColorSpace = cs;
  Host.SetGuard(false);
  Edit15->SetText(IntToStr(LKRound(W.Rate * 1000)));
  Host.SetGuard(true);
  Host.Refresh();
  Host.Changed();
}
