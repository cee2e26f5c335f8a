#include "dialogs/iopages/tiff_page.h"

#include "dialogs/lkiopreviewslogic.h"
#include "io/lkformatrow.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

extern constinit const TLKOptionsPageMaker LKPage_TIFF = LKMakeOptionsPage<TLKTiffOptionsPage>;

namespace {
bool IsFax(TIOTIFFCompression C) { return C >= ioTIFF_CCITT1D && C <= ioTIFF_G4FAX; }
}  // namespace

TLKTiffOptionsPage::TLKTiffOptionsPage(TLKOptionsHost& Host) : TLKOptionsPage(Host, ppTIFF, lkftTIFF) {}

void TLKTiffOptionsPage::Build(TLKPageKit& Kit) {
  TabSheetTIFF1 = Kit.NewPage("TIFF");
  Kit.Label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox2 = Kit.Combo(120, 8, 110, {});
  Kit.Label(250, 8, "&Image index:", LKMSG_IMAGEINDEX);
  Edit1 = Kit.Edit(350, 8, 40);
  Kit.UpDown(Edit1, 1000);
  Kit.Label(8, 34, "P&hotometric:", LKMSG_PHOTOMETRIC);
  ComboBox3 = Kit.Combo(120, 34, 110, {"WHITEISZERO/Gray", "BLACKISZERO/Gray", "RGB", "RGBPALETTE", "TRANSPMASK",
                                       "CMYK", "YCBCR", "CIELAB"});
  Kit.Label(250, 34, "C&olors:", LKMSG_COLORS);
  ComboBox4 = Kit.Combo(350, 34, 80, {"B/W", "16", "256", "65536", "16M"});
  Kit.Group(62, 110, LKMSG_SCANNDEDDOCUMENTINFO);
  Kit.Label(14, 82, "H&oriz. Position (inch):", LKMSG_HORIZPOSITIONINCH, true, 140);
  Edit2 = Kit.Edit(160, 82, 40);
  Kit.Label(260, 82, "&Vert. Position (inch):", LKMSG_VERTPOSITIONINCH, true, 140);
  Edit3 = Kit.Edit(405, 82, 40);
  Kit.Label(14, 110, "&Name:", LKMSG_NAME);
  Edit4 = Kit.Edit(160, 110, 90);
  Kit.Label(260, 110, "&Description:", LKMSG_DESCRIPTION);
  Edit5 = Kit.Edit(405, 110, 90);
  Kit.Label(14, 138, "P&age name:", LKMSG_PAGENAME);
  Edit6 = Kit.Edit(160, 138, 90);
  Kit.Label(260, 138, "Page N&umber:", LKMSG_PAGENUMBER);
  Edit7 = Kit.Edit(405, 138, 30);
  Kit.Label(440, 138, "o&f", LKMSG_OF, false, 20);
  Edit8 = Kit.Edit(465, 138, 30);
  Kit.EndGroup();
  for (TComboBox* c : {ComboBox2, ComboBox3, ComboBox4}) c->OnChange = [this](TObject* S) { Change(S); };
  for (TEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8})
    e->OnChange = [this](TObject* S) { Change(S); };

  TabSheetTIFF2 = Kit.NewPage("TIFF");
  Kit.Label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox16 = Kit.Combo(120, 8, 110, {});
  Kit.Label(8, 34, "C&olors:", LKMSG_COLORS);
  ComboBox17 = Kit.Combo(120, 34, 110, {"2", "16", "256", "16777216"});
  ComboBox16->OnChange = ComboBox17->OnChange = [this](TObject* S) { SimpleChange(S); };
  SetSheets(TabSheetTIFF1, TabSheetTIFF2);
}

void TLKTiffOptionsPage::Prepare(bool Simplified) {
  TLKOptionsPage::Prepare(Simplified);
  const bool lzw = LKHasTIFFLZW();
  for (TComboBox* c : {ComboBox2, ComboBox16}) {
    c->GetItems()->Clear();
    for (const char* i : {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX"}) c->GetItems()->Add(i);
    if (lzw) c->GetItems()->Add("LZW");
    c->GetItems()->Add("JPEG");
    c->GetItems()->Add("PACKBITS");
  }
}

void TLKTiffOptionsPage::Load(const TIOParamsVals& P) {
  W.Compression = P.TIFF_COMPRESSION;
  W.ImageIndex = P.TIFF_IMAGEINDEX;
  W.Photometric = P.TIFF_PHOTOMETINTEPRET;
  W.XPos = P.TIFF_XPOS;
  W.YPos = P.TIFF_YPOS;
  W.DocName = P.TIFF_DOCUMENTNAME;
  W.Description = P.TIFF_IMAGEDESCRIPTION;
  W.PageName = P.TIFF_PAGENAME;
  W.PageNumber = P.TIFF_PAGENUMBER;
  W.PageCount = P.TIFF_PAGECOUNT;
  W.Bps = P.BITSPERSAMPLE;
  W.Spp = P.SAMPLESPERPIXEL;
}

void TLKTiffOptionsPage::Show(TTabSheet* Sheet) {
  if (Sheet == TabSheetTIFF1) {
    ComboBox2->SetItemIndex(LKCompToCombo(W.Compression, LKHasTIFFLZW()));
    Edit1->SetText(IntToStr(W.ImageIndex));
    ComboBox3->SetItemIndex(W.Photometric);
    // The colours follow the photometric where the two disagree.
    Integer colors = LKColorIndex(lkclTIFF, W.Spp, W.Bps, -1);
    if (W.Photometric >= ioTIFF_CMYK)
      colors = 4;
    else if (W.Photometric >= ioTIFF_RGB && colors == 0)
      colors = 4;
    else if (W.Photometric <= ioTIFF_BLACKISZERO)
      colors = W.Bps == 1 ? 0 : 2;
    ComboBox4->SetItemIndex(colors);
    Edit2->SetText(IntToStr(W.XPos));
    Edit3->SetText(IntToStr(W.YPos));
    Edit4->SetText(W.DocName);
    Edit5->SetText(W.Description);
    Edit6->SetText(W.PageName);
    Edit7->SetText(IntToStr(W.PageNumber));
    Edit8->SetText(IntToStr(W.PageCount));
  } else {
    // Fax codings keep one bit, JPEG coding three samples of eight.
    if (IsFax(W.Compression)) W.Spp = W.Bps = 1;
    if (W.Compression == ioTIFF_JPEG) W.Spp = 3, W.Bps = 8;
    ComboBox16->SetItemIndex(LKCompToCombo(W.Compression, LKHasTIFFLZW()));
    ComboBox17->SetItemIndex(LKColorIndex(lkclTIFFSimple, W.Spp, W.Bps, -1));
  }
}

void TLKTiffOptionsPage::Write(TIOParamsVals& P) const {
  P.TIFF_COMPRESSION = W.Compression;
  P.SetImageIndex(W.ImageIndex);
  P.TIFF_PHOTOMETINTEPRET = W.Photometric;
  P.TIFF_XPOS = W.XPos;
  P.TIFF_YPOS = W.YPos;
  P.TIFF_DOCUMENTNAME = W.DocName;
  P.TIFF_IMAGEDESCRIPTION = W.Description;
  P.TIFF_PAGENAME = W.PageName;
  P.TIFF_PAGENUMBER = W.PageNumber;
  P.TIFF_PAGECOUNT = W.PageCount;
  P.SAMPLESPERPIXEL = W.Spp;
  P.BITSPERSAMPLE = W.Bps;
  P.FILETYPE = lkftTIFF;
}

TLKPreviewResult TLKTiffOptionsPage::PreviewParams(TIOParamsVals& S, const TIOParamsVals* Caller) const {
  S.TIFF_LZWCompressor = Caller ? Caller->TIFF_LZWCompressor : nullptr;
  S.TIFF_LZWDecompressor = Caller ? Caller->TIFF_LZWDecompressor : nullptr;
  S.TIFF_COMPRESSION = W.Compression;
  S.TIFF_PHOTOMETINTEPRET = W.Photometric;
  S.SAMPLESPERPIXEL = W.Spp;
  S.BITSPERSAMPLE = W.Bps;
  if (W.Photometric <= ioTIFF_BLACKISZERO && W.Bps == 8 && W.Spp == 1) return lkprGray;
  if (W.Photometric >= ioTIFF_CMYK) return lkprKeep;
  return lkprPalette;
}

void TLKTiffOptionsPage::Store(TIOTIFFCompression Compression, TIOTIFFPhotometInterpret Photometric, Integer Bps,
                               Integer Spp) {
  if (Compression == W.Compression && Photometric == W.Photometric && Bps == W.Bps && Spp == W.Spp) return;
  W.Compression = Compression;
  W.Photometric = Photometric;
  W.Bps = Bps;
  W.Spp = Spp;
  Host.Refresh();
}

void TLKTiffOptionsPage::Change(TObject* Sender) {
  if (!Host.GuardOn()) return;
  Host.SetGuard(false);
  // The photometric and the colours keep each other consistent.
  const Integer photometric = ComboBox3->GetItemIndex();
  if (Sender == ComboBox3) {
    if (photometric <= ioTIFF_BLACKISZERO && ComboBox4->GetItemIndex() != 0) ComboBox4->SetItemIndex(2);
    if (photometric == ioTIFF_RGB || photometric >= ioTIFF_CMYK) ComboBox4->SetItemIndex(4);
    if (photometric == ioTIFF_RGBPALETTE) ComboBox4->SetItemIndex(2);
  } else if (Sender == ComboBox4) {
    switch (ComboBox4->GetItemIndex()) {
      case 0:
        if (photometric > ioTIFF_BLACKISZERO) ComboBox3->SetItemIndex(ioTIFF_BLACKISZERO);
        break;
      case 1: ComboBox3->SetItemIndex(ioTIFF_RGBPALETTE); break;
      case 2:
        if (photometric == ioTIFF_RGB || photometric > ioTIFF_RGBPALETTE) ComboBox3->SetItemIndex(ioTIFF_RGBPALETTE);
        break;
      default: break;
    }
  }
  Host.SetGuard(true);
  const TIOTIFFCompression comp = LKComboToComp(ComboBox2->GetItemIndex(), LKHasTIFFLZW());
  const auto phot = TIOTIFFPhotometInterpret(LKItemIndex0(ComboBox3));
  Integer bps = W.Bps, spp = W.Spp;
  LKColorValues(lkclTIFF, ComboBox4->GetItemIndex(), bps, spp);
  if (phot == ioTIFF_CMYK) bps = 8, spp = 4;
  Store(comp, phot, bps, spp);
  W.ImageIndex = LKEditInt(Edit1, 0);
  W.XPos = LKEditInt(Edit2, 0);
  W.YPos = LKEditInt(Edit3, 0);
  W.DocName = Edit4->GetText();
  W.Description = Edit5->GetText();
  W.PageName = Edit6->GetText();
  W.PageNumber = LKEditInt(Edit7, 0);
  W.PageCount = LKEditInt(Edit8, 0);
  Host.Changed();
}

void TLKTiffOptionsPage::SimpleChange(TObject* Sender) {
  if (!Host.GuardOn()) return;
  TIOTIFFCompression comp = LKComboToComp(ComboBox16->GetItemIndex(), LKHasTIFFLZW());
  TIOTIFFPhotometInterpret phot = W.Photometric;
  Integer bps = W.Bps, spp = W.Spp;
  Host.SetGuard(false);
  if (Sender == ComboBox16) {
    if (IsFax(comp)) {
      ComboBox17->SetItemIndex(0);
      bps = spp = 1;
      phot = ioTIFF_BLACKISZERO;
    } else if (comp == ioTIFF_JPEG) {
      ComboBox17->SetItemIndex(3);
      bps = 8, spp = 3;
      phot = ioTIFF_YCBCR;
    }
  } else {
    LKColorValues(lkclTIFFSimple, ComboBox17->GetItemIndex(), bps, spp);
    if ((bps > 1 && IsFax(comp)) || (comp == ioTIFF_JPEG && bps != 8 && spp != 3)) {
      comp = ioTIFF_UNCOMPRESSED;
      ComboBox16->SetItemIndex(0);
    }
    if (bps == 16 && spp == 1) phot = ioTIFF_BLACKISZERO;
  }
  Host.SetGuard(true);
  Store(comp, phot, bps, spp);
  Host.Changed();
}
