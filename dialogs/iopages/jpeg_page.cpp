#include "dialogs/iopages/jpeg_page.h"

#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

extern constinit const TLKOptionsPageMaker LKPage_JPEG = LKMakeOptionsPage<TLKJpegOptionsPage>;

TLKJpegOptionsPage::TLKJpegOptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppJPEG, lkftJPEG) {}

void TLKJpegOptionsPage::Build(TLKPageKit& Kit) {
  TabSheetJPEG1 = Kit.NewPage("JPEG");
  Kit.Label(8, 8, "&Quality:", LKMSG_QUALITY);
  Edit22 = Kit.Edit(120, 8, 40);
  TrackBar13 = Kit.Track(170, 4, 100, 5);
  Kit.Group(38, 104, LKMSG_ADVANCED);
  Kit.Label(14, 58, "&DCT method:", LKMSG_DCTMETHOD);
  ComboBox1 = Kit.Combo(130, 58, 90, {"ISLOW", "IFAST", "FLOAT"});
  Kit.Label(240, 58, "&Smoothing factor:", LKMSG_SMOOTHINGFACTOR, true, 130);
  Edit23 = Kit.Edit(375, 58, 40);
  UpDown11 = Kit.UpDown(Edit23, 100);
  CheckBox2 = Kit.Check(14, 86, "&Optimal Huffman", LKMSG_OPTIMALHUFFMAN, false);
  CheckBox3 = Kit.Check(240, 86, "P&rogressive", LKMSG_PROGRESSIVE, false);
  Kit.Label(14, 112, "P&hotometric:", LKMSG_PHOTOMETRIC);
  ComboBox13 = Kit.Combo(130, 112, 90, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"});
  Kit.EndGroup();
  Edit22->OnChange = Edit23->OnChange = [this](TObject*) { EditChange(); };
  TrackBar13->OnChange = CheckBox2->OnClick = CheckBox3->OnClick = [this](TObject*) { TrackChange(); };
  ComboBox1->OnChange = ComboBox13->OnChange = [this](TObject*) { TrackChange(); };

  TabSheetJPEG2 = Kit.NewPage("JPEG");
  Kit.Label(8, 8, "&Quality:", LKMSG_QUALITY);
  Edit16 = Kit.Edit(120, 8, 40);
  TrackBar2 = Kit.Track(170, 4, 100, 5);
  Edit16->OnChange = [this](TObject*) { SimpleEditChange(); };
  TrackBar2->OnChange = [this](TObject*) { SimpleTrackChange(); };
  SetSheets(TabSheetJPEG1, TabSheetJPEG2);
}

void TLKJpegOptionsPage::Load(const TIOParamsVals& P) {
  W.Quality = P.JPEG_QUALITY;
  W.ColorSpace = P.JPEG_COLORSPACE;
  // Methods beyond the list leave the working value as it was.
  if (P.JPEG_DCTMETHOD <= ioJPEG_FLOAT) W.Dct = P.JPEG_DCTMETHOD;
  W.OptimalHuffman = P.JPEG_OPTIMALHUFFMAN;
  W.Smooth = P.JPEG_SMOOTH;
  W.Progressive = P.JPEG_PROGRESSIVE;
}

void TLKJpegOptionsPage::Show(TTabSheet* Sheet) {
  if (Sheet == TabSheetJPEG1) {
    Edit22->SetText(IntToStr(W.Quality));
    TrackBar13->SetPosition(W.Quality);
    ComboBox1->SetItemIndex(W.Dct);
    Edit23->SetText(IntToStr(W.Smooth));
    UpDown11->SetPosition(W.Smooth);
    CheckBox2->SetChecked(W.OptimalHuffman);
    CheckBox3->SetChecked(W.Progressive);
    ComboBox13->SetItemIndex(W.ColorSpace);
  } else {
    Edit16->SetText(IntToStr(W.Quality));
    TrackBar2->SetPosition(W.Quality);
  }
}

void TLKJpegOptionsPage::Put(TIOParamsVals& P) const {
  P.JPEG_QUALITY = W.Quality;
  P.JPEG_COLORSPACE = W.ColorSpace;
  if (W.Dct <= ioJPEG_FLOAT) P.JPEG_DCTMETHOD = W.Dct;
  P.JPEG_OPTIMALHUFFMAN = W.OptimalHuffman;
  P.JPEG_SMOOTH = W.Smooth;
  P.JPEG_PROGRESSIVE = W.Progressive;
}

void TLKJpegOptionsPage::Write(TIOParamsVals& P) const {
  Put(P);
  P.FILETYPE = lkftJPEG;
}

TLKPreviewResult TLKJpegOptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals*) const {
  Put(S);
  return lkprRoundTrip;
}

void TLKJpegOptionsPage::EditChange() {
  if (!Host.GuardOn()) return;
  const Integer q = LKEditInt(Edit22, 50), s = LKEditInt(Edit23, 0);
  if (q != W.Quality || s != W.Smooth) {
    // The track bar clamps a number typed out of range to 0..100.
    TrackBar13->SetPosition(q);
    TrackChange();
  }
  Host.Changed();
}

void TLKJpegOptionsPage::TrackChange() {
  if (!Host.GuardOn()) return;
  Integer s = LKEditInt(Edit23, 0);
  s = s < 0 ? 0 : (s > 100 ? 100 : s);
  const Integer q = TrackBar13->GetPosition();
  const auto cs = TIOJPEGColorspace(LKItemIndex0(ComboBox13));
  const auto dct = TIOJPEGDctMethod(LKItemIndex0(ComboBox1));
  if (q == W.Quality && cs == W.ColorSpace && dct == W.Dct && CheckBox2->GetChecked() == W.OptimalHuffman &&
      s == W.Smooth && CheckBox3->GetChecked() == W.Progressive)
    return;
  W.Quality = q;
  W.ColorSpace = cs;
  W.Dct = dct;
  W.OptimalHuffman = CheckBox2->GetChecked();
  W.Smooth = s;
  W.Progressive = CheckBox3->GetChecked();
  Host.SetGuard(false);
  Edit22->SetText(IntToStr(q));
  Host.SetGuard(true);
  Host.Refresh();
  Host.Changed();
}

void TLKJpegOptionsPage::SimpleEditChange() {
  if (!Host.GuardOn()) return;
  const Integer q = LKEditInt(Edit16, 50);
  if (q != W.Quality) {
    TrackBar2->SetPosition(q);
    SimpleTrackChange();
  }
}

void TLKJpegOptionsPage::SimpleTrackChange() {
  if (!Host.GuardOn()) return;
  const Integer q = TrackBar2->GetPosition();
  if (q == W.Quality) return;
  W.Quality = q;
  Host.SetGuard(false);
  Edit16->SetText(IntToStr(q));
  Host.SetGuard(true);
  Host.Refresh();
  Host.Changed();
}
