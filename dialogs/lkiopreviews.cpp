#include "dialogs/lkiopreviews.h"

#include <cmath>

#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "core/lkmath.h"
#include "dialogs/lkiopreviewslogic.h"
#include "dialogs/lkpalettedialog.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "platform/colordialog.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/sysutils.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

constexpr Integer kClientWidth = 527, kClientHeight = 471;
constexpr Integer kPageHeight = 236;

TColor TRGBToColor(TRGB C) { return TColor(C.r) | (TColor(C.g) << 8) | (TColor(C.b) << 16); }
TRGB ColorToTRGB(TColor C) { return TRGB{Byte((C >> 16) & 0xFF), Byte((C >> 8) & 0xFF), Byte(C & 0xFF)}; }

Integer IntDef(TEdit* E, Integer Default) { return E ? StrToIntDef(Trim(E->GetText()), Default) : Default; }

bool IsFax(TIOTIFFCompression C) { return C >= ioTIFF_CCITT1D && C <= ioTIFF_G4FAX; }

/// Restores the screen cursor when it leaves, also on an exception.
struct TCursorGuard {
  TCursor Old;
  explicit TCursorGuard(TCursor C) : Old(Screen->GetCursor()) { Screen->SetCursor(C); }
  ~TCursorGuard() { Screen->SetCursor(Old); }
};

}  // namespace

/// The two size value labels of a page.
struct TfIOPreviews::TPageLabels {
  TTabSheet* Page;
  TLabel* Original;
  TLabel* Compressed;
  TLabel* OriginalCaption;
  TLabel* CompressedCaption;
};

TfIOPreviews::TfIOPreviews(TComponent*) { BuildForm(); }

TfIOPreviews::~TfIOPreviews() {
  ReleasePicture();
  FForm.reset();
}

TLabel* TfIOPreviews::CompressedSizeLabel(TTabSheet* Page) const {
  for (const auto& l : FLabels)
    if (l->Page == Page) return l->Compressed;
  return nullptr;
}

TLabel* TfIOPreviews::OriginalSizeLabel(TTabSheet* Page) const {
  for (const auto& l : FLabels)
    if (l->Page == Page) return l->Original;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Building

void TfIOPreviews::BuildForm() {
  FForm = std::make_unique<TForm>(nullptr);
  TForm* f = FForm.get();
  f->SetCaption("Parameters preview");
  f->SetBorderStyle(bsDialog);
  f->SetPosition(poScreenCenter);
  f->SetBounds(0, 0, kClientWidth + 8, kClientHeight + 27);
  PageControl1 = new TPageControl(f);
  PageControl1->SetParent(f);
  PageControl1->SetBounds(4, 4, kClientWidth - 8, kPageHeight);
  BuildPages();
  PageControl1->OnChanging = [this](TObject*, bool&) { FGuard = false; };
  PageControl1->OnChange = [this](TObject*) { PageControl1Change(); };

  FViewsPanel = new TPanel(f);
  FViewsPanel->SetParent(f);
  FViewsPanel->SetBevelOuter(bvNone);
  FSourceLabel = new TLabel(f);
  FSourceLabel->SetParent(FViewsPanel);
  FSourceLabel->SetCaption("Source:");
  FCaptions.push_back({FSourceLabel, LKMSG_SOURCE, true});
  FResultLabel = new TLabel(f);
  FResultLabel->SetParent(FViewsPanel);
  FResultLabel->SetCaption("Result:");
  FCaptions.push_back({FResultLabel, LKMSG_RESULT, true});
  Lumerak1 = new TLumerakView(f);
  Lumerak1->SetParent(FViewsPanel);
  Lumerak1->SetBackGround(clWhite);
  Lumerak1->SetMouseInteract({miScroll, miZoom});
  Lumerak2 = new TLumerakView(f);
  Lumerak2->SetParent(FViewsPanel);
  Lumerak2->SetBackGround(clWhite);
  ProgressBar1 = new TProgressBar(f);
  ProgressBar1->SetParent(FViewsPanel);
  LayoutViews(kPageHeight + 8, kClientHeight - 4);
  auto progress = [this](TObject*, Integer per) {
    ProgressBar1->SetPosition(per / (FStages > 0 ? FStages : 1) + FOffset);
  };
  Lumerak1->SetOnProgress(progress);
  Lumerak2->SetOnProgress(progress);
  Lumerak1->OnViewChange = [this](TObject*, Integer) {
    Lumerak2->LockPaint();
    Lumerak2->SetZoom(Lumerak1->GetZoom());
    Lumerak2->SetViewXY(Lumerak1->GetViewX(), Lumerak1->GetViewY());
    Lumerak2->UnLockPaint();
  };

  auto button = [&](Integer Top, const char* Caption, TMsgLanguageWords Word) {
    auto* b = new TButton(f);
    b->SetParent(f);
    b->SetBounds(kClientWidth - 95, Top, 88, 25);
    b->SetCaption(Caption);
    FCaptions.push_back({b, Word, false});
    return b;
  };
  Button1 = button(kPageHeight + 12, "OK", LKMSG_OK);
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button1->OnClick = [this](TObject*) { Apply(); };
  Button2 = button(kPageHeight + 42, "Cancel", LKMSG_CANCEL);
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  Button3 = button(kPageHeight + 72, "&Preview", LKMSG_PREVIEW);
  Button3->OnClick = [this](TObject*) { applyAct(); };
  Button4 = button(kPageHeight + 102, "&Apply", LKMSG_APPLY);
  Button4->SetEnabled(false);
  Button4->OnClick = [this](TObject*) {
    Apply();
    Button4->SetEnabled(false);
  };
  chkLockPreview = new TCheckBox(f);
  chkLockPreview->SetParent(f);
  chkLockPreview->SetBounds(kClientWidth - 100, kPageHeight + 134, 98, 20);
  chkLockPreview->SetCaption("Lock Preview");
  chkLockPreview->SetHint("Automatically updates your preview with the changes you have selected");
  FCaptions.push_back({chkLockPreview, LKMSG_LOCKPREVIEW, false});
  chkLockPreview->OnClick = [this](TObject*) {
    if (!FActivationDone) return;
    if (chkLockPreview->GetChecked()) applyAct();
    Button3->SetEnabled(!chkLockPreview->GetChecked());
  };
  f->OnActivate = [this](TObject*) { FormActivate(); };
}

void TfIOPreviews::BuildPages() {
  TForm* f = FForm.get();
  TTabSheet* page = nullptr;
  // Where the helpers below put controls: the page, or a framed group on
  // it. Positions are given in page coordinates either way.
  TWinControl* parent = nullptr;
  Integer ox = 0, oy = 0;
  auto newPage = [&](const char* Caption) {
    page = new TTabSheet(f);
    parent = page;
    ox = oy = 0;
    page->SetPageControl(PageControl1);
    page->SetCaption(Caption);
    // The size captions and values at the bottom of every page.
    auto lbl = [&](Integer X, Integer Y, const char* Text) {
      auto* l = new TLabel(f);
      l->SetParent(page);
      l->SetBounds(X, Y, 120, 16);
      l->SetCaption(Text);
      return l;
    };
    TLabel* originalCaption = lbl(8, kPageHeight - 66, "Original size:");
    TLabel* compressedCaption = lbl(8, kPageHeight - 46, "Compressed size:");
    FCaptions.push_back({originalCaption, LKMSG_ORIGINALSIZE, true});
    FCaptions.push_back({compressedCaption, LKMSG_COMPRESSEDSIZE, true});
    FLabels.push_back(std::make_unique<TPageLabels>(TPageLabels{
        page, lbl(140, kPageHeight - 66, "---"), lbl(140, kPageHeight - 46, "---"), originalCaption, compressedCaption}));
    return page;
  };
  auto label = [&](Integer X, Integer Y, const char* Text, TMsgLanguageWords Word, bool Colon = true,
                   Integer Width = 110) {
    auto* l = new TLabel(f);
    l->SetParent(parent);
    l->SetBounds(X - ox, Y + 3 - oy, Width, 16);
    l->SetCaption(Text);
    FCaptions.push_back({l, Word, Colon});
    return l;
  };
  auto combo = [&](Integer X, Integer Y, Integer Wd, std::initializer_list<const char*> Items) {
    auto* c = new TComboBox(f);
    c->SetParent(parent);
    c->SetStyle(csDropDownList);
    c->SetBounds(X - ox, Y - oy, Wd, 21);
    for (const char* i : Items) c->GetItems()->Add(i);
    return c;
  };
  auto edit = [&](Integer X, Integer Y, Integer Wd) {
    auto* e = new TEdit(f);
    e->SetParent(parent);
    e->SetBounds(X - ox, Y - oy, Wd, 21);
    return e;
  };
  auto check = [&](Integer X, Integer Y, const char* Text) {
    auto* c = new TCheckBox(f);
    c->SetParent(parent);
    c->SetBounds(X - ox, Y - oy, 150, 20);
    c->SetCaption(Text);
    return c;
  };
  auto track = [&](Integer X, Integer Y, Integer Max, Integer Freq) {
    auto* t = new TTrackBar(f);
    t->SetParent(parent);
    t->SetBounds(X - ox, Y - oy, 300, 28);
    t->SetMax(Max);
    t->SetFrequency(Freq);
    return t;
  };
  auto colorPanel = [&](Integer X, Integer Y) {
    auto* p = new TPanel(f);
    p->SetParent(parent);
    p->SetBevelOuter(bvLowered);
    p->SetBounds(X - ox, Y - oy, 40, 21);
    return p;
  };
  auto upDown = [&](TEdit* E, Integer Max) {
    auto* u = new TUpDown(f);
    u->SetParent(parent);
    u->SetMax(Max);
    u->SetAssociate(E);
    return u;
  };
  // A framed group on the page; the controls made until endGroup go in it.
  auto group = [&](Integer Y, Integer H, TMsgLanguageWords Word) {
    auto* g = new TGroupBox(f);
    g->SetParent(page);
    g->SetBounds(4, Y, kClientWidth - 24, H);
    g->SetCaption(" " + lkmsg(Word, msEnglish) + " ");
    FCaptions.push_back({g, Word, false, true});
    parent = g;
    ox = 4;
    oy = Y;
    return g;
  };
  auto endGroup = [&] {
    parent = page;
    ox = oy = 0;
  };
  const char* const kColors8[] = {"B/W", "4", "8", "16", "32", "64", "128", "256"};

  // JPEG, full
  TabSheetJPEG1 = newPage("JPEG");
  label(8, 8, "&Quality:", LKMSG_QUALITY);
  Edit22 = edit(120, 8, 40);
  TrackBar13 = track(170, 4, 100, 5);
  group(38, 104, LKMSG_ADVANCED);
  label(14, 58, "&DCT method:", LKMSG_DCTMETHOD);
  ComboBox1 = combo(130, 58, 90, {"ISLOW", "IFAST", "FLOAT"});
  label(240, 58, "&Smoothing factor:", LKMSG_SMOOTHINGFACTOR, true, 130);
  Edit23 = edit(375, 58, 40);
  UpDown11 = upDown(Edit23, 100);
  CheckBox2 = check(14, 86, "&Optimal Huffman");
  FCaptions.push_back({CheckBox2, LKMSG_OPTIMALHUFFMAN, false});
  CheckBox3 = check(240, 86, "P&rogressive");
  FCaptions.push_back({CheckBox3, LKMSG_PROGRESSIVE, false});
  label(14, 112, "P&hotometric:", LKMSG_PHOTOMETRIC);
  ComboBox13 = combo(130, 112, 90, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"});
  endGroup();
  Edit22->OnChange = Edit23->OnChange = [this](TObject*) { JpegEditChange(); };
  TrackBar13->OnChange = CheckBox2->OnClick = CheckBox3->OnClick = [this](TObject*) { JpegTrackChange(); };
  ComboBox1->OnChange = ComboBox13->OnChange = [this](TObject*) { JpegTrackChange(); };

  // JPEG, simplified
  TabSheetJPEG2 = newPage("JPEG");
  label(8, 8, "&Quality:", LKMSG_QUALITY);
  Edit16 = edit(120, 8, 40);
  TrackBar2 = track(170, 4, 100, 5);
  Edit16->OnChange = [this](TObject*) { JpegSimpleEditChange(); };
  TrackBar2->OnChange = [this](TObject*) { JpegSimpleTrackChange(); };

  // TIFF, full
  TabSheetTIFF1 = newPage("TIFF");
  label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox2 = combo(120, 8, 110, {});
  label(250, 8, "&Image index:", LKMSG_IMAGEINDEX);
  Edit1 = edit(350, 8, 40);
  upDown(Edit1, 1000);
  label(8, 34, "P&hotometric:", LKMSG_PHOTOMETRIC);
  ComboBox3 = combo(120, 34, 110, {"WHITEISZERO/Gray", "BLACKISZERO/Gray", "RGB", "RGBPALETTE", "TRANSPMASK",
                                   "CMYK", "YCBCR", "CIELAB"});
  label(250, 34, "C&olors:", LKMSG_COLORS);
  ComboBox4 = combo(350, 34, 80, {"B/W", "16", "256", "65536", "16M"});
  group(62, 110, LKMSG_SCANNDEDDOCUMENTINFO);
  label(14, 82, "H&oriz. Position (inch):", LKMSG_HORIZPOSITIONINCH, true, 140);
  Edit2 = edit(160, 82, 40);
  label(260, 82, "&Vert. Position (inch):", LKMSG_VERTPOSITIONINCH, true, 140);
  Edit3 = edit(405, 82, 40);
  label(14, 110, "&Name:", LKMSG_NAME);
  Edit4 = edit(160, 110, 90);
  label(260, 110, "&Description:", LKMSG_DESCRIPTION);
  Edit5 = edit(405, 110, 90);
  label(14, 138, "P&age name:", LKMSG_PAGENAME);
  Edit6 = edit(160, 138, 90);
  label(260, 138, "Page N&umber:", LKMSG_PAGENUMBER);
  Edit7 = edit(405, 138, 30);
  label(440, 138, "o&f", LKMSG_OF, false, 20);
  Edit8 = edit(465, 138, 30);
  endGroup();
  for (TComboBox* c : {ComboBox2, ComboBox3, ComboBox4}) c->OnChange = [this](TObject* S) { TiffChange(S); };
  for (TEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8})
    e->OnChange = [this](TObject* S) { TiffChange(S); };

  // TIFF, simplified
  TabSheetTIFF2 = newPage("TIFF");
  label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox16 = combo(120, 8, 110, {});
  label(8, 34, "C&olors:", LKMSG_COLORS);
  ComboBox17 = combo(120, 34, 110, {"2", "16", "256", "16777216"});
  ComboBox16->OnChange = ComboBox17->OnChange = [this](TObject* S) { TiffSimpleChange(S); };

  // GIF, full
  TabSheetGIF1 = newPage("GIF");
  label(8, 8, "&Image index:", LKMSG_IMAGEINDEX);
  Edit9 = edit(120, 8, 40);
  upDown(Edit9, 1000);
  label(250, 8, "&Colors:", LKMSG_COLORS);
  ComboBox5 = combo(350, 8, 80, {});
  for (const char* c : kColors8) ComboBox5->GetItems()->Add(c);
  CheckBox4 = check(8, 34, "&Transparent:");
  FCaptions.push_back({CheckBox4, LKMSG_TRANSPARENT, true});
  label(170, 34, "T&ransparent color:", LKMSG_TRANSPARENTCOLOR);
  Panel3 = colorPanel(290, 34);
  CheckBox5 = check(8, 60, "I&nterlaced:");
  FCaptions.push_back({CheckBox5, LKMSG_INTERLACED, true});
  label(170, 60, "&Background:", LKMSG_BACKGROUND);
  Panel4 = colorPanel(290, 60);
  group(88, 56, LKMSG_ADVANCED);
  label(14, 110, "&Delay time:", LKMSG_DELAYTIME, true, 75);
  Edit12 = edit(92, 110, 40);
  auto* hundredths = new TLabel(f);
  hundredths->SetParent(parent);
  hundredths->SetBounds(136 - ox, 113 - oy, 40, 16);
  hundredths->SetCaption("1/100 s");
  label(196, 110, "&Horiz. Position:", LKMSG_HORIZPOSITION, true, 92);
  Edit10 = edit(290, 110, 40);
  label(346, 110, "&Vert. Position:", LKMSG_VERTPOSITION, true, 92);
  Edit11 = edit(440, 110, 40);
  endGroup();
  Panel3->OnClick = [this](TObject*) { Panel3Click(); };
  Panel4->OnClick = [this](TObject*) { Panel4Click(); };
  ComboBox5->OnChange = CheckBox4->OnClick = CheckBox5->OnClick = [this](TObject*) { GifChange(); };
  for (TEdit* e : {Edit9, Edit10, Edit11, Edit12}) e->OnChange = [this](TObject*) { GifChange(); };

  // GIF, simplified
  TabSheetGIF2 = newPage("GIF");
  label(8, 8, "&Colors:", LKMSG_COLORS);
  ComboBox18 = combo(120, 8, 80, {});
  for (const char* c : kColors8) ComboBox18->GetItems()->Add(c);
  ComboBox18->OnChange = [this](TObject*) { GifSimpleChange(); };

  // BMP
  TabSheetBMP1 = newPage("BMP");
  label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox6 = combo(120, 8, 110, {"UNCOMPRESSED", "RLE"});
  label(8, 34, "C&olors:", LKMSG_COLORS);
  ComboBox7 = combo(120, 34, 110, {"B/W", "16", "256", "16M", "16M (32bit)"});
  ComboBox6->OnChange = ComboBox7->OnChange = [this](TObject*) { SmallPageChange(TabSheetBMP1); };

  // PCX
  TabSheetPCX1 = newPage("PCX");
  label(8, 8, "&Compression:", LKMSG_COMPRESSION);
  ComboBox8 = combo(120, 8, 110, {"UNCOMPRESSED", "RLE"});
  label(8, 34, "C&olors:", LKMSG_COLORS);
  ComboBox9 = combo(120, 34, 110, {"B/W", "16", "256", "16M"});
  ComboBox8->OnChange = ComboBox9->OnChange = [this](TObject*) { SmallPageChange(TabSheetPCX1); };

  // PNG
  TabSheetPNG1 = newPage("PNG");
  label(8, 8, "C&olors:", LKMSG_COLORS);
  ComboBox10 = combo(120, 8, 110, {"B/W", "256", "16M"});
  FFullOnly.push_back(label(250, 8, "&Background:", LKMSG_BACKGROUND));
  Panel1 = colorPanel(350, 8);
  FFullOnly.push_back(Panel1);
  // The advanced settings: filter, interlacing and compression level.
  FFullOnly.push_back(group(36, 80, LKMSG_ADVANCED));
  label(14, 58, "&Filter", LKMSG_FILTER);
  ComboBox11 = combo(130, 58, 110, {"None", "Sub", "Paeth"});
  CheckBox6 = check(260, 58, "I&nterlaced:");
  FCaptions.push_back({CheckBox6, LKMSG_INTERLACED, false});
  label(14, 86, "Co&mpression", LKMSG_COMPRESSION);
  ComboBox12 = combo(130, 86, 110, {"None", "1", "2", "3", "4", "5", "6", "7", "8", "Max"});
  endGroup();
  Panel1->OnClick = [this](TObject*) { Panel1Click(); };
  ComboBox10->OnChange = ComboBox11->OnChange = ComboBox12->OnChange = CheckBox6->OnClick =
      [this](TObject*) { SmallPageChange(TabSheetPNG1); };

  // TGA
  TabSheetTGA1 = newPage("TGA");
  label(8, 8, "C&olors:", LKMSG_COLORS);
  ComboBox14 = combo(120, 8, 110, {"B/W", "256", "16M"});
  FFullOnly.push_back(label(250, 8, "&Background:", LKMSG_BACKGROUND));
  Panel5 = colorPanel(350, 8);
  FFullOnly.push_back(Panel5);
  CheckBox1 = check(8, 34, "Compression:");
  FCaptions.push_back({CheckBox1, LKMSG_COMPRESSION, true});
  FFullOnly.push_back(label(8, 60, "&Name:", LKMSG_NAME));
  Edit13 = edit(120, 60, 200);
  FFullOnly.push_back(label(8, 86, "&Description:", LKMSG_DESCRIPTION));
  Edit14 = edit(120, 86, 200);
  FFullOnly.insert(FFullOnly.end(), {Edit13, Edit14});
  Panel5->OnClick = [this](TObject*) { Panel5Click(); };
  ComboBox14->OnChange = CheckBox1->OnClick = [this](TObject*) { SmallPageChange(TabSheetTGA1); };
  Edit13->OnChange = Edit14->OnChange = [this](TObject*) { SmallPageChange(TabSheetTGA1); };

  // JPEG 2000
  TabSheetJ20001 = newPage("JPEG2000");
  label(8, 8, "&Rate:", LKMSG_RATE);
  Edit15 = edit(120, 8, 50);
  TrackBar1 = track(180, 4, 1000, 20);
  FFullOnly.push_back(label(8, 40, "P&hotometric:", LKMSG_PHOTOMETRIC));
  ComboBox15 = combo(120, 40, 110, {"GrayScale", "RGB", "YCbCr"});
  FFullOnly.push_back(ComboBox15);
  Edit15->OnChange = [this](TObject*) { J2KEditChange(); };
  TrackBar1->OnChange = ComboBox15->OnChange = [this](TObject*) { J2KTrackChange(); };
}

// ---------------------------------------------------------------------------
// Interface

void TfIOPreviews::SetLanguage(TMsgLanguage Language) {
  FForm->SetCaption(lkmsg(LKMSG_PARAMETERSPREVIEW, Language));
  for (const TCaption& c : FCaptions)
    c.Control->SetCaption(c.Framed ? " " + lkmsg(c.Word, Language) + " " : lkmsg(c.Word, Language) + (c.Colon ? ":" : ""));
  FPaletteCancelCaption = "&" + lkmsg(LKMSG_CANCEL, Language);
}

void TfIOPreviews::ShowPicture(TLKBitmap* Bitmap) {
  FBitmap = Bitmap;
  Lumerak1->SetExternalBitmap(Bitmap);
  Lumerak1->Update();
  Lumerak2->Blank();
}

void TfIOPreviews::ReleasePicture() {
  if (FBitmap && Lumerak1) Lumerak1->SetExternalBitmap(nullptr);
  FBitmap = nullptr;
}

bool TfIOPreviews::SetPreviewParams(TPreviewParams Pages) {
  FPages = Pages;
  if ((FPages & PreviewPage(ppAUTO)) && Params) FPages |= LKPageOfFileType(Params->FILETYPE);
  return FPages != PreviewPage(ppAUTO);
}

void TfIOPreviews::LayoutViews(Integer Top, Integer Bottom) {
  FViewsPanel->SetBounds(4, Top, kClientWidth - 110, std::max<Integer>(Bottom - Top, 60));
  const Integer vw = (FViewsPanel->GetWidth() - 12) / 2, vh = FViewsPanel->GetHeight() - 40;
  FSourceLabel->SetBounds(4, 0, vw, 16);
  FResultLabel->SetBounds(8 + vw, 0, vw, 16);
  Lumerak1->SetBounds(4, 18, vw, vh);
  Lumerak2->SetBounds(8 + vw, 18, vw, vh);
  ProgressBar1->SetBounds(4, vh + 22, FViewsPanel->GetWidth() - 8, 14);
}

bool TfIOPreviews::ShowModal() {
  if (Simplified && FormHeight > 0) {
    PageControl1->SetHeight(PageControlHeight);
    FForm->SetHeight(FormHeight);
    // The shorter form keeps the views whole: they and the buttons follow
    // the page control up, the views ending above the form's lower edge.
    // Lock Preview moves up with the form's lower edge.
    LayoutViews(PageControlHeight + 8, FForm->GetClientHeight() - 4);
    Integer top = PageControlHeight + 12;
    for (TButton* b : {Button1, Button2, Button3, Button4}) {
      b->SetTop(top);
      top += 30;
    }
    chkLockPreview->SetTop(LKTrunc(ScreenPixelsPerInch * 302.0 / 96.0));
  }
  Button4->SetVisible(ApplyButtonVisible);
  return FForm->ShowModal() == mrOk;
}

// ---------------------------------------------------------------------------
// Activation, loading and showing

void TfIOPreviews::RebuildTIFFList() {
  const bool lzw = LKHasTIFFLZW();
  for (TComboBox* c : {ComboBox2, ComboBox16}) {
    c->GetItems()->Clear();
    for (const char* i : {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX"}) c->GetItems()->Add(i);
    if (lzw) c->GetItems()->Add("LZW");
    c->GetItems()->Add("JPEG");
    c->GetItems()->Add("PACKBITS");
  }
}

void TfIOPreviews::FormActivate() {
  // Closing a child dialog activates the form again: the set-up runs once,
  // so that values edited before are kept.
  if (FActivationDone) return;
  FActivationDone = true;
  FGuard = true;
  chkLockPreview->SetChecked(LockPreview);
  Button3->SetEnabled(!LockPreview);
  PageControl1->SetVisible(false);
  const TLKFileFormatInfo* info = Params ? LKFileFormatGetInfo(Params->FILETYPE) : nullptr;
  TTabSheet* full[] = {TabSheetJPEG1, TabSheetTIFF1, TabSheetGIF1, TabSheetBMP1,
                       TabSheetPCX1,  TabSheetPNG1,  TabSheetTGA1, TabSheetJ20001};
  TTabSheet* simple[] = {TabSheetJPEG2, TabSheetTIFF2, TabSheetGIF2, TabSheetBMP1,
                         TabSheetPCX1,  TabSheetPNG1,  TabSheetTGA1, TabSheetJ20001};
  const TPreviewParam bits[] = {ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA, ppJ2000};
  for (Integer i = 0; i < PageControl1->GetPageCount(); ++i) PageControl1->GetPage(i)->SetTabVisible(false);
  // A page shows only while its format can be written here.
  const TPreviewParams usable = LKAvailableOptionPages(
      (FPages & PreviewPage(ppALL)) ? TPreviewParams(0xFFFF) : FPages);
  TTabSheet** order = Simplified ? simple : full;
  TTabSheet* active = nullptr;
  for (Integer i = 0; i < 8; ++i) {
    const bool visible = (usable & PreviewPage(bits[i])) != 0;
    order[i]->SetTabVisible(visible);
    if (visible && info && (info->OptionPages & PreviewPage(bits[i]))) active = order[i];
  }
  if (active) PageControl1->SetActivePage(active);
  // The simplified pages are shorter: the settings beyond the essential ones
  // are hidden and the sizes move up below them, captions over values.
  for (TControl* c : FFullOnly) c->SetVisible(!Simplified);
  for (const auto& l : FLabels) {
    if (Simplified) {
      l->OriginalCaption->SetBounds(8, 61, 120, 16);
      l->Original->SetBounds(8, 77, 120, 16);
      l->CompressedCaption->SetBounds(200, 61, 120, 16);
      l->Compressed->SetBounds(200, 77, 120, 16);
    } else {
      l->OriginalCaption->SetBounds(8, kPageHeight - 66, 120, 16);
      l->Original->SetBounds(140, kPageHeight - 66, 120, 16);
      l->CompressedCaption->SetBounds(8, kPageHeight - 46, 120, 16);
      l->Compressed->SetBounds(140, kPageHeight - 46, 120, 16);
    }
  }
  RebuildTIFFList();
  Lumerak1->SetChessboardStyle(12, bsSolid);
  Lumerak2->SetChessboardStyle(12, bsSolid);
  PageControl1->SetVisible(true);
  ResetParameters();
  ApplyParameters();
  Lumerak1->Fit();
  PageControl1Change();
  FActivated = true;
  applyAct();
}

void TfIOPreviews::PageControl1Change() {
  FGuard = true;
  ResetParameters();
  ApplyParameters();
  if (chkLockPreview->GetChecked()) applyAct();
  Button4->SetEnabled(false);
}

void TfIOPreviews::ResetParameters() {
  if (!Params) return;
  const TIOParamsVals& p = *Params;
  W.Quality = p.JPEG_QUALITY;
  W.JpegColorSpace = p.JPEG_COLORSPACE;
  if (p.JPEG_DCTMETHOD <= ioJPEG_FLOAT) W.Dct = p.JPEG_DCTMETHOD;
  W.OptimalHuffman = p.JPEG_OPTIMALHUFFMAN;
  W.Smooth = p.JPEG_SMOOTH;
  W.Progressive = p.JPEG_PROGRESSIVE;
  W.J2KRate = p.J2000_RATE;
  W.J2KColorSpace = p.J2000_COLORSPACE;
  W.TiffComp = p.TIFF_COMPRESSION;
  W.TiffIndex = p.TIFF_IMAGEINDEX;
  W.Photometric = p.TIFF_PHOTOMETINTEPRET;
  W.TiffX = p.TIFF_XPOS;
  W.TiffY = p.TIFF_YPOS;
  W.DocName = p.TIFF_DOCUMENTNAME;
  W.Description = p.TIFF_IMAGEDESCRIPTION;
  W.PageName = p.TIFF_PAGENAME;
  W.PageNumber = p.TIFF_PAGENUMBER;
  W.PageCount = p.TIFF_PAGECOUNT;
  W.Bps = p.BITSPERSAMPLE;
  W.Spp = p.SAMPLESPERPIXEL;
  W.GifIndex = p.GIF_IMAGEINDEX;
  W.GifX = p.GIF_XPOS;
  W.GifY = p.GIF_YPOS;
  W.Delay = p.GIF_DELAYTIME;
  W.Transparent = p.GIF_TRANSPARENT;
  W.TranspColor = p.GIF_TRANSPCOLOR;
  W.Interlaced = p.GIF_INTERLACED;
  W.GifBackground = p.GIF_BACKGROUND;
  W.BmpComp = p.BMP_COMPRESSION;
  W.PcxComp = p.PCX_COMPRESSION;
  W.PngInterlaced = p.PNG_INTERLACED;
  W.PngBackground = p.PNG_BACKGROUND;
  W.PngFilter = p.PNG_FILTER;
  W.PngCompression = p.PNG_COMPRESSION;
  W.TgaBackground = p.TGA_BACKGROUND;
  W.TgaCompressed = p.TGA_COMPRESSED;
  W.TgaName = p.TGA_IMAGENAME;
  W.TgaDescriptor = p.TGA_DESCRIPTOR;
  W.BmpColors = LKColorIndex(lkclBMP, W.Spp, W.Bps, W.BmpColors);
  W.PcxColors = LKColorIndex(lkclPCX, W.Spp, W.Bps, W.PcxColors);
  W.PngColors = LKColorIndex(lkclPNG, W.Spp, W.Bps, W.PngColors);
  W.TgaColors = W.PngColors;
}

void TfIOPreviews::ApplyParameters() {
  FGuard = false;
  TTabSheet* page = PageControl1->GetActivePage();
  const Int64 original = FBitmap ? Int64(FBitmap->GetRowLen()) * FBitmap->GetHeight() : 0;
  if (TLabel* l = OriginalSizeLabel(page)) l->SetCaption(IntToStr(original) + " bytes");
  if (page == TabSheetJPEG1) {
    Edit22->SetText(IntToStr(W.Quality));
    TrackBar13->SetPosition(W.Quality);
    ComboBox1->SetItemIndex(W.Dct);
    Edit23->SetText(IntToStr(W.Smooth));
    UpDown11->SetPosition(W.Smooth);
    CheckBox2->SetChecked(W.OptimalHuffman);
    CheckBox3->SetChecked(W.Progressive);
    ComboBox13->SetItemIndex(W.JpegColorSpace);
  } else if (page == TabSheetJPEG2) {
    Edit16->SetText(IntToStr(W.Quality));
    TrackBar2->SetPosition(W.Quality);
  } else if (page == TabSheetJ20001) {
    const Integer r = LKRound(W.J2KRate * 1000);
    Edit15->SetText(IntToStr(r));
    TrackBar1->SetPosition(r);
    ComboBox15->SetItemIndex(W.J2KColorSpace);
  } else if (page == TabSheetTIFF1) {
    ComboBox2->SetItemIndex(LKCompToCombo(W.TiffComp, LKHasTIFFLZW()));
    Edit1->SetText(IntToStr(W.TiffIndex));
    ComboBox3->SetItemIndex(W.Photometric);
    Integer colors = LKColorIndex(lkclTIFF, W.Spp, W.Bps, -1);
    if (W.Photometric >= ioTIFF_CMYK)
      colors = 4;
    else if (W.Photometric >= ioTIFF_RGB && colors == 0)
      colors = 4;
    else if (W.Photometric <= ioTIFF_BLACKISZERO)
      colors = W.Bps == 1 ? 0 : 2;
    ComboBox4->SetItemIndex(colors);
    Edit2->SetText(IntToStr(W.TiffX));
    Edit3->SetText(IntToStr(W.TiffY));
    Edit4->SetText(W.DocName);
    Edit5->SetText(W.Description);
    Edit6->SetText(W.PageName);
    Edit7->SetText(IntToStr(W.PageNumber));
    Edit8->SetText(IntToStr(W.PageCount));
  } else if (page == TabSheetTIFF2) {
    if (IsFax(W.TiffComp)) W.Spp = W.Bps = 1;
    if (W.TiffComp == ioTIFF_JPEG) W.Spp = 3, W.Bps = 8;
    ComboBox16->SetItemIndex(LKCompToCombo(W.TiffComp, LKHasTIFFLZW()));
    ComboBox17->SetItemIndex(LKColorIndex(lkclTIFFSimple, W.Spp, W.Bps, -1));
  } else if (page == TabSheetGIF1) {
    Edit9->SetText(IntToStr(W.GifIndex));
    ComboBox5->SetItemIndex(W.Bps - 1);
    CheckBox4->SetChecked(W.Transparent);
    Panel3->SetColor(TRGBToColor(W.TranspColor));
    Panel3->SetEnabled(W.Transparent);
    CheckBox5->SetChecked(W.Interlaced);
    Panel4->SetColor(TRGBToColor(W.GifBackground));
    Edit12->SetText(IntToStr(W.Delay));
    Edit10->SetText(IntToStr(W.GifX));
    Edit11->SetText(IntToStr(W.GifY));
  } else if (page == TabSheetGIF2) {
    ComboBox18->SetItemIndex(W.Bps - 1);
  } else if (page == TabSheetBMP1) {
    ComboBox6->SetItemIndex(W.BmpComp);
    ComboBox7->SetItemIndex(W.BmpColors);
  } else if (page == TabSheetPCX1) {
    ComboBox8->SetItemIndex(W.PcxComp);
    ComboBox9->SetItemIndex(W.PcxColors);
  } else if (page == TabSheetPNG1) {
    ComboBox10->SetItemIndex(W.PngColors);
    Panel1->SetColor(TRGBToColor(W.PngBackground));
    ComboBox11->SetItemIndex(W.PngFilter);
    CheckBox6->SetChecked(W.PngInterlaced);
    ComboBox12->SetItemIndex(W.PngCompression);
  } else if (page == TabSheetTGA1) {
    ComboBox14->SetItemIndex(W.TgaColors);
    Panel5->SetColor(TRGBToColor(W.TgaBackground));
    CheckBox1->SetChecked(W.TgaCompressed);
    Edit13->SetText(W.TgaName);
    Edit14->SetText(W.TgaDescriptor);
  }
  FGuard = true;
}

// ---------------------------------------------------------------------------
// Handlers

void TfIOPreviews::Refresh() {
  if (chkLockPreview->GetChecked()) applyAct();
}

void TfIOPreviews::Changed() { Button4->SetEnabled(true); }

void TfIOPreviews::JpegEditChange() {
  if (!FGuard) return;
  const Integer q = IntDef(Edit22, 50), s = IntDef(Edit23, 0);
  if (q != W.Quality || s != W.Smooth) {
    // The track bar clamps a number typed out of range to 0..100.
    TrackBar13->SetPosition(q);
    JpegTrackChange();
  }
  Changed();
}

void TfIOPreviews::JpegTrackChange() {
  if (!FGuard) return;
  Integer s = IntDef(Edit23, 0);
  s = s < 0 ? 0 : (s > 100 ? 100 : s);
  const Integer q = TrackBar13->GetPosition();
  const auto cs = TIOJPEGColorspace(ComboBox13->GetItemIndex() < 0 ? 0 : ComboBox13->GetItemIndex());
  const auto dct = TIOJPEGDctMethod(ComboBox1->GetItemIndex() < 0 ? 0 : ComboBox1->GetItemIndex());
  if (q == W.Quality && cs == W.JpegColorSpace && dct == W.Dct && CheckBox2->GetChecked() == W.OptimalHuffman &&
      s == W.Smooth && CheckBox3->GetChecked() == W.Progressive)
    return;
  W.Quality = q;
  W.JpegColorSpace = cs;
  W.Dct = dct;
  W.OptimalHuffman = CheckBox2->GetChecked();
  W.Smooth = s;
  W.Progressive = CheckBox3->GetChecked();
  FGuard = false;
  Edit22->SetText(IntToStr(q));
  FGuard = true;
  Refresh();
  Changed();
}

void TfIOPreviews::JpegSimpleEditChange() {
  if (!FGuard) return;
  const Integer q = IntDef(Edit16, 50);
  if (q != W.Quality) {
    TrackBar2->SetPosition(q);
    JpegSimpleTrackChange();
  }
}

void TfIOPreviews::JpegSimpleTrackChange() {
  if (!FGuard) return;
  const Integer q = TrackBar2->GetPosition();
  if (q == W.Quality) return;
  W.Quality = q;
  FGuard = false;
  Edit16->SetText(IntToStr(q));
  FGuard = true;
  Refresh();
  Changed();
}

void TfIOPreviews::J2KEditChange() {
  if (!FGuard) return;
  const double rate = IntDef(Edit15, 1000) / 1000.0;
  if (rate != W.J2KRate) {
    TrackBar1->SetPosition(LKTrunc(rate * 1000));
    J2KTrackChange();
  }
  Changed();
}

void TfIOPreviews::J2KTrackChange() {
  if (!FGuard) return;
  const Integer pos = TrackBar1->GetPosition();
  const auto cs = TIOJ2000ColorSpace(ComboBox15->GetItemIndex() < 0 ? 0 : ComboBox15->GetItemIndex());
  if (pos == LKRound(W.J2KRate * 1000) && cs == W.J2KColorSpace) return;
  W.J2KRate = pos / 1000.0;
  W.J2KColorSpace = cs;
  FGuard = false;
  Edit15->SetText(IntToStr(LKRound(W.J2KRate * 1000)));
  FGuard = true;
  Refresh();
  Changed();
}

void TfIOPreviews::TiffChange(TObject* Sender) {
  if (!FGuard) return;
  FGuard = false;
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
  FGuard = true;
  const TIOTIFFCompression comp = LKComboToComp(ComboBox2->GetItemIndex(), LKHasTIFFLZW());
  const auto phot = TIOTIFFPhotometInterpret(ComboBox3->GetItemIndex() < 0 ? 0 : ComboBox3->GetItemIndex());
  Integer bps = W.Bps, spp = W.Spp;
  LKColorValues(lkclTIFF, ComboBox4->GetItemIndex(), bps, spp);
  if (phot == ioTIFF_CMYK) bps = 8, spp = 4;
  if (comp != W.TiffComp || phot != W.Photometric || bps != W.Bps || spp != W.Spp) {
    W.TiffComp = comp;
    W.Photometric = phot;
    W.Bps = bps;
    W.Spp = spp;
    Refresh();
  }
  W.TiffIndex = IntDef(Edit1, 0);
  W.TiffX = IntDef(Edit2, 0);
  W.TiffY = IntDef(Edit3, 0);
  W.DocName = Edit4->GetText();
  W.Description = Edit5->GetText();
  W.PageName = Edit6->GetText();
  W.PageNumber = IntDef(Edit7, 0);
  W.PageCount = IntDef(Edit8, 0);
  Changed();
}

void TfIOPreviews::TiffSimpleChange(TObject* Sender) {
  if (!FGuard) return;
  TIOTIFFCompression comp = LKComboToComp(ComboBox16->GetItemIndex(), LKHasTIFFLZW());
  TIOTIFFPhotometInterpret phot = W.Photometric;
  Integer bps = W.Bps, spp = W.Spp;
  FGuard = false;
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
  FGuard = true;
  if (comp != W.TiffComp || phot != W.Photometric || bps != W.Bps || spp != W.Spp) {
    W.TiffComp = comp;
    W.Photometric = phot;
    W.Bps = bps;
    W.Spp = spp;
    Refresh();
  }
  Changed();
}

void TfIOPreviews::GifChange() {
  if (!FGuard) return;
  const Integer bits = ComboBox5->GetItemIndex() + 1;
  if (bits != W.Bps || CheckBox5->GetChecked() != W.Interlaced) {
    W.Bps = bits;
    W.Interlaced = CheckBox5->GetChecked();
    Refresh();
  }
  W.GifIndex = IntDef(Edit9, 0);
  W.GifX = IntDef(Edit10, 0);
  W.GifY = IntDef(Edit11, 0);
  W.Delay = IntDef(Edit12, 0);
  W.Transparent = CheckBox4->GetChecked();
  Panel3->SetEnabled(W.Transparent);
  W.Interlaced = CheckBox5->GetChecked();
  Changed();
}

void TfIOPreviews::GifSimpleChange() {
  if (!FGuard) return;
  const Integer bits = ComboBox18->GetItemIndex() + 1;
  if (bits != W.Bps) {
    W.Bps = bits;
    Refresh();
  }
  Changed();
}

void TfIOPreviews::SmallPageChange(TTabSheet* Page) {
  if (!FGuard) return;
  bool changed = false;
  auto store = [&](auto& Field, auto Value) {
    if (Field != Value) Field = Value, changed = true;
  };
  auto colors = [&](TLKColorList List, TComboBox* Combo, Integer& Index) {
    store(Index, Combo->GetItemIndex());
    LKColorValues(List, Index, W.Bps, W.Spp);
  };
  if (Page == TabSheetBMP1) {
    store(W.BmpComp, TIOBMPCompression(ComboBox6->GetItemIndex() == 1 ? 1 : 0));
    colors(lkclBMP, ComboBox7, W.BmpColors);
  } else if (Page == TabSheetPCX1) {
    store(W.PcxComp, TIOPCXCompression(ComboBox8->GetItemIndex() == 1 ? 1 : 0));
    colors(lkclPCX, ComboBox9, W.PcxColors);
  } else if (Page == TabSheetPNG1) {
    colors(lkclPNG, ComboBox10, W.PngColors);
    store(W.PngFilter, TIOPNGFilter(ComboBox11->GetItemIndex() < 0 ? 0 : ComboBox11->GetItemIndex()));
    store(W.PngInterlaced, CheckBox6->GetChecked());
    store(W.PngCompression, ComboBox12->GetItemIndex() < 0 ? 0 : ComboBox12->GetItemIndex());
  } else if (Page == TabSheetTGA1) {
    colors(lkclPNG, ComboBox14, W.TgaColors);
    store(W.TgaCompressed, CheckBox1->GetChecked());
    W.TgaName = Edit13->GetText();
    W.TgaDescriptor = Edit14->GetText();
  }
  if (changed) Refresh();
  Changed();
}

// ---------------------------------------------------------------------------
// Preview

void TfIOPreviews::ShowSize(Int64 Size) {
  const String text = IntToStr(Size) + " bytes";
  TTabSheet* page = PageControl1->GetActivePage();
  // The two variants of a format show the same size.
  const std::pair<TTabSheet*, TTabSheet*> twins[] = {
      {TabSheetJPEG1, TabSheetJPEG2}, {TabSheetTIFF1, TabSheetTIFF2}, {TabSheetGIF1, TabSheetGIF2}};
  for (auto [a, b] : twins)
    if (page == a || page == b) {
      CompressedSizeLabel(a)->SetCaption(text);
      CompressedSizeLabel(b)->SetCaption(text);
      return;
    }
  if (TLabel* l = CompressedSizeLabel(page)) l->SetCaption(text);
}

void TfIOPreviews::applyAct() {
  if (!FActivated || !FBitmap) return;
  TTabSheet* page = PageControl1->GetActivePage();
  if (!page) return;
  TCursorGuard cursor(crHourGlass);
  TMemoryStream memory;
  TNulStream nul;
  TLumerakIO* src = Lumerak1->GetLumerakIO();
  TLumerakIO* dst = Lumerak2->GetLumerakIO();
  TIOParamsVals& sp = *src->GetIOParams();
  src->SetDefaultDitherMethod(DitherMethod);
  FOffset = 0;
  struct TEnd {
    TfIOPreviews* Self;
    ~TEnd() {
      Self->ProgressBar1->SetPosition(0);
      Self->FOffset = 0;
    }
  } end{this};
  if (page == TabSheetJPEG1 || page == TabSheetJPEG2) {
    FStages = 2;
    sp.JPEG_QUALITY = W.Quality;
    sp.JPEG_COLORSPACE = W.JpegColorSpace;
    sp.JPEG_DCTMETHOD = W.Dct;
    sp.JPEG_OPTIMALHUFFMAN = W.OptimalHuffman;
    sp.JPEG_SMOOTH = W.Smooth;
    sp.JPEG_PROGRESSIVE = W.Progressive;
    src->SaveToStreamJpeg(&memory);
    ShowSize(memory.Size());
    memory.Seek(0, soBeginning);
    FOffset = 50;
    dst->LoadFromStreamJpeg(&memory);
  } else if (page == TabSheetJ20001) {
    FStages = 2;
    sp.J2000_RATE = W.J2KRate;
    sp.J2000_COLORSPACE = W.J2KColorSpace;
    sp.BITSPERSAMPLE = 8;
    sp.SAMPLESPERPIXEL = 3;
    src->SaveToStreamJ2K(&memory);
    ShowSize(memory.Size());
    memory.Seek(0, soBeginning);
    FOffset = 50;
    dst->LoadFromStreamJ2K(&memory);
  } else {
    FStages = 1;
    enum { kPalette, kConvert, kGray, kKeep } reduce = kPalette;
    if (page == TabSheetTIFF1 || page == TabSheetTIFF2) {
      sp.TIFF_LZWCompressor = Params ? Params->TIFF_LZWCompressor : nullptr;
      sp.TIFF_LZWDecompressor = Params ? Params->TIFF_LZWDecompressor : nullptr;
      sp.TIFF_COMPRESSION = W.TiffComp;
      sp.TIFF_PHOTOMETINTEPRET = W.Photometric;
      sp.SAMPLESPERPIXEL = W.Spp;
      sp.BITSPERSAMPLE = W.Bps;
      src->SaveToStreamTIFF(&nul);
      if (W.Photometric <= ioTIFF_BLACKISZERO && W.Bps == 8 && W.Spp == 1)
        reduce = kGray;
      else if (W.Photometric >= ioTIFF_CMYK)
        reduce = kKeep;
    } else if (page == TabSheetGIF1 || page == TabSheetGIF2) {
      sp.BITSPERSAMPLE = W.Bps;
      sp.SAMPLESPERPIXEL = 1;
      sp.GIF_INTERLACED = W.Interlaced;
      src->SaveToStreamGIF(&nul);
    } else if (page == TabSheetPNG1) {
      LKColorValues(lkclPNG, W.PngColors, sp.BITSPERSAMPLE, sp.SAMPLESPERPIXEL);
      sp.PNG_INTERLACED = W.PngInterlaced;
      sp.PNG_FILTER = W.PngFilter;
      sp.PNG_COMPRESSION = W.PngCompression;
      src->SaveToStreamPNG(&nul);
    } else if (page == TabSheetTGA1) {
      LKColorValues(lkclPNG, W.TgaColors, sp.BITSPERSAMPLE, sp.SAMPLESPERPIXEL);
      sp.TGA_COMPRESSED = W.TgaCompressed;
      src->SaveToStreamTGA(&nul);
    } else if (page == TabSheetBMP1) {
      sp.BMP_COMPRESSION = W.BmpComp;
      LKColorValues(lkclBMP, W.BmpColors, sp.BITSPERSAMPLE, sp.SAMPLESPERPIXEL);
      src->SaveToStreamBMP(&nul);
      reduce = kConvert;
    } else if (page == TabSheetPCX1) {
      sp.PCX_COMPRESSION = W.PcxComp;
      LKColorValues(lkclPCX, W.PcxColors, sp.BITSPERSAMPLE, sp.SAMPLESPERPIXEL);
      src->SaveToStreamPCX(&nul);
      reduce = kConvert;
    }
    ShowSize(nul.Size());
    try {
      Lumerak2->Assign(Lumerak1);
    } catch (const std::exception&) {
      FForm->SetCaption("Result can not be shown but parameters may be entered");
    }
    TIOParamsVals& rp = *dst->GetIOParams();
    rp.Assign(&sp);
    TLumerakProc* proc = Lumerak2->GetLumerakProc();
    const Integer n = _GetNumCol(rp.BITSPERSAMPLE, rp.SAMPLESPERPIXEL);
    switch (reduce) {
      case kGray:
        proc->ConvertToGray();
        rp.ColorMap.clear();
        rp.COLORMAPCOUNT = 0;
        break;
      case kConvert:
        if (n > 0 && n <= 256) proc->ConvertTo(n, DitherMethod);
        break;
      case kPalette:
        if (n > 256 || n <= 0) {
          rp.ColorMap.clear();
          rp.COLORMAPCOUNT = 0;
        } else {
          rp.ColorMap.assign(size_t(n), TRGB{0, 0, 0});
          rp.COLORMAPCOUNT = n;
          proc->ConvertToPalette(n, rp.ColorMap.data(), DitherMethod);
        }
        break;
      case kKeep:
        break;
    }
  }
  Lumerak2->LockPaint();
  Lumerak2->SetZoom(Lumerak1->GetZoom());
  Lumerak2->SetViewXY(Lumerak1->GetViewX(), Lumerak1->GetViewY());
  Lumerak2->UnLockPaint();
}

// ---------------------------------------------------------------------------
// OK and Apply

void TfIOPreviews::Apply() {
  if (Params) WriteParams(*Params);
}

void TfIOPreviews::WriteParams(TIOParamsVals& P) const {
  TTabSheet* page = PageControl1->GetActivePage();
  if (page == TabSheetJPEG1 || page == TabSheetJPEG2) {
    P.JPEG_QUALITY = W.Quality;
    P.JPEG_COLORSPACE = W.JpegColorSpace;
    if (W.Dct <= ioJPEG_FLOAT) P.JPEG_DCTMETHOD = W.Dct;
    P.JPEG_OPTIMALHUFFMAN = W.OptimalHuffman;
    P.JPEG_SMOOTH = W.Smooth;
    P.JPEG_PROGRESSIVE = W.Progressive;
    P.FILETYPE = lkftJPEG;
  } else if (page == TabSheetTIFF1 || page == TabSheetTIFF2) {
    P.TIFF_COMPRESSION = W.TiffComp;
    P.SetImageIndex(W.TiffIndex);
    P.TIFF_PHOTOMETINTEPRET = W.Photometric;
    P.TIFF_XPOS = W.TiffX;
    P.TIFF_YPOS = W.TiffY;
    P.TIFF_DOCUMENTNAME = W.DocName;
    P.TIFF_IMAGEDESCRIPTION = W.Description;
    P.TIFF_PAGENAME = W.PageName;
    P.TIFF_PAGENUMBER = W.PageNumber;
    P.TIFF_PAGECOUNT = W.PageCount;
    P.SAMPLESPERPIXEL = W.Spp;
    P.BITSPERSAMPLE = W.Bps;
    P.FILETYPE = lkftTIFF;
  } else if (page == TabSheetGIF1 || page == TabSheetGIF2) {
    P.SetImageIndex(W.GifIndex);
    P.GIF_XPOS = W.GifX;
    P.GIF_YPOS = W.GifY;
    P.GIF_DELAYTIME = W.Delay;
    P.GIF_TRANSPARENT = W.Transparent;
    P.GIF_TRANSPCOLOR = W.TranspColor;
    P.GIF_INTERLACED = W.Interlaced;
    P.GIF_BACKGROUND = W.GifBackground;
    P.BITSPERSAMPLE = W.Bps;
    P.FILETYPE = lkftGIF;
  } else if (page == TabSheetBMP1) {
    P.BMP_COMPRESSION = W.BmpComp;
    LKColorValues(lkclBMP, W.BmpColors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
    P.FILETYPE = lkftBMP;
  } else if (page == TabSheetPCX1) {
    P.PCX_COMPRESSION = W.PcxComp;
    LKColorValues(lkclPCX, W.PcxColors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
    P.FILETYPE = lkftPCX;
  } else if (page == TabSheetPNG1) {
    LKColorValues(lkclPNG, W.PngColors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
    P.PNG_BACKGROUND = W.PngBackground;
    P.PNG_INTERLACED = W.PngInterlaced;
    P.PNG_FILTER = W.PngFilter;
    P.PNG_COMPRESSION = W.PngCompression;
    P.FILETYPE = lkftPNG;
  } else if (page == TabSheetTGA1) {
    LKColorValues(lkclPNG, W.TgaColors, P.BITSPERSAMPLE, P.SAMPLESPERPIXEL);
    P.TGA_BACKGROUND = W.TgaBackground;
    P.TGA_COMPRESSED = W.TgaCompressed;
    P.TGA_IMAGENAME = W.TgaName;
    P.TGA_DESCRIPTOR = W.TgaDescriptor;
    P.FILETYPE = lkftTGA;
  } else if (page == TabSheetJ20001) {
    P.BITSPERSAMPLE = 8;
    if (W.J2KColorSpace == ioJ2000_GRAYLEV) {
      P.SAMPLESPERPIXEL = 1;
      P.J2000_COLORSPACE = ioJ2000_GRAYLEV;
    } else {
      P.SAMPLESPERPIXEL = 3;
      P.J2000_COLORSPACE = W.J2KColorSpace;
    }
    P.J2000_RATE = W.J2KRate;
    P.FILETYPE = lkftJ2K;
  }
}

// ---------------------------------------------------------------------------
// Colour panels

bool TfIOPreviews::ChooseFromResultPalette(Integer Count, TColor& Chosen) {
  const TIOParamsVals& rp = *Lumerak2->GetLumerakIO()->GetIOParams();
  // The result's palette can be older and smaller than the colours now
  // chosen (Lock Preview off, colours raised): never show entries past its
  // end.
  const Integer available = Integer(rp.ColorMap.size()) < rp.COLORMAPCOUNT ? Integer(rp.ColorMap.size())
                                                                          : rp.COLORMAPCOUNT;
  const Integer n = Count < available ? Count : available;
  if (n <= 0) return false;
  if (OnPalette) return OnPalette(rp.ColorMap.data(), n, FPaletteCancelCaption, Chosen);
  TLumerakPaletteDialog dialog(nullptr);
  dialog.SetPalette(rp.ColorMap.data(), n);
  dialog.GetCancelButton()->SetCaption(FPaletteCancelCaption);
  if (!dialog.Execute()) return false;
  Chosen = dialog.GetSelectedColor();
  return true;
}

void TfIOPreviews::Panel3Click() {
  if (Lumerak2->GetLumerakIO()->GetIOParams()->COLORMAPCOUNT == 0) applyAct();
  TColor c = Panel3->GetColor();
  if (ChooseFromResultPalette(W.Bps >= 1 && W.Bps <= 8 ? 1 << W.Bps : 256, c)) Panel3->SetColor(c);
  W.TranspColor = ColorToTRGB(Panel3->GetColor());
  Changed();
}

void TfIOPreviews::Panel4Click() {
  if (Lumerak2->GetLumerakIO()->GetIOParams()->COLORMAPCOUNT == 0) applyAct();
  TColor c = Panel4->GetColor();
  if (ChooseFromResultPalette(W.Bps >= 1 && W.Bps <= 8 ? 1 << W.Bps : 256, c)) Panel4->SetColor(c);
  W.GifBackground = ColorToTRGB(Panel4->GetColor());
  Changed();
}

namespace {
/// A background panel: the result's palette when it has one, else the
/// standard colour dialog.
void ChooseBackground(TPanel* Panel, const std::function<bool(Integer, TColor&)>& FromPalette,
                      const TIOParamsVals& Result) {
  TColor c = Panel->GetColor();
  bool ok = false;
  if (Result.COLORMAPCOUNT > 0)
    ok = FromPalette(_GetNumCol(Result.BITSPERSAMPLE, Result.SAMPLESPERPIXEL), c);
  else
    ok = ExecuteColorDialog(c);
  if (ok) Panel->SetColor(c);
}
}  // namespace

void TfIOPreviews::Panel1Click() {
  ChooseBackground(Panel1, [this](Integer N, TColor& C) { return ChooseFromResultPalette(N, C); },
                   *Lumerak2->GetLumerakIO()->GetIOParams());
  W.PngBackground = ColorToTRGB(Panel1->GetColor());
  Changed();
}

void TfIOPreviews::Panel5Click() {
  ChooseBackground(Panel5, [this](Integer N, TColor& C) { return ChooseFromResultPalette(N, C); },
                   *Lumerak2->GetLumerakIO()->GetIOParams());
  W.TgaBackground = ColorToTRGB(Panel5->GetColor());
  Changed();
}

std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent* Owner) {
  return std::make_unique<TfIOPreviews>(Owner);
}
