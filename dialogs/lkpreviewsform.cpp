#include "dialogs/lkpreviewsform.h"

#include <algorithm>

#include <QFileDialog>

#include "dialogs/lkformkit.h"
#include "dialogs/lkhistogrambox.h"
#include "dialogs/lkhsvbox.h"
#include "dialogs/lkrulerbox.h"
#include "core/lkmath.h"
#include "processing/lkfft.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

using namespace lkformkit;

struct TPageRow {
  TLKPreviewPage Page;
  TPreviewEffect Effect;
  const char* Caption;
  const char* Undo;
  TMsgLanguageWords Word;
};

// In tag order.
const TPageRow kPages[] = {
    {ppContrast, peContrast, "Contrast", "Contrast/Brightness", LKMSG_CONTRAST},
    {ppHSL, peHSL, "HSL", "HSL adjust", LKMSG_HSL},
    {ppRGB, peRGB, "RGB", "RGB adjust", LKMSG_RGB},
    {ppUserFilter, peUserFilt, "User filter", "Convolution Filter", LKMSG_USERFILTER},
    {ppHSV, peHSV, "HSV", "HSV adjust", LKMSG_HSV},
    {ppEqualization, peEqualize, "Equalization", "Histogram adjust", LKMSG_EQUALIZATION},
    {ppBumpMap, peBumpMap, "Bump map", "Bump Map", LKMSG_BUMPMAP},
    {ppLens, peLens, "Lens", "Lens effect", LKMSG_LENS},
    {ppWave, peWave, "Wave", "Wave effect", LKMSG_WAVE},
    {ppMorph, peMorph, "Morph filters", "Morph", LKMSG_MORPHFILTER},
    {ppRotate, peRotate, "Rotate", "Rotate", LKMSG_ROTATE},
    {ppFFT, peFFT, "FFT", "FFT", LKMSG_FFT},
    {ppGamma, peGamma, "Gamma Correction", "Gamma Correction", LKMSG_GAMMACORRECTION},
    {ppSharpen, peSharpen, "Sharpen", "Sharpen", LKMSG_SHARPEN},
};

// The order of the tabs in the form.
const TLKPreviewPage kTabOrder[] = {ppContrast, ppHSV, ppHSL, ppRGB, ppUserFilter, ppEqualization, ppBumpMap,
                                    ppLens, ppWave, ppMorph, ppRotate, ppFFT, ppGamma, ppSharpen};

const TPageRow& Row(TLKPreviewPage Page) { return kPages[Page - 1]; }

bool DefaultChooseFilterFile(bool Save, String& FileName, const String& Folder, TMsgLanguage Language) {
  const QString title = QString::fromStdString(lkmsg(Save ? LKMSG_SAVEFILTER : LKMSG_LOADFILTER, Language));
  const QString filter = "Filter (*.flt)";
  const QString dir = QString::fromStdString(Folder);
  const QFileDialog::Options opts = QFileDialog::DontUseNativeDialog;
  QString name = Save ? QFileDialog::getSaveFileName(nullptr, title, dir, filter, nullptr, opts)
                      : QFileDialog::getOpenFileName(nullptr, title, dir, filter, nullptr, opts);
  if (name.isEmpty()) return false;
  if (Save && !name.endsWith(".flt", Qt::CaseInsensitive)) name += ".flt";
  FileName = name.toStdString();
  return true;
}

}  // namespace

TfPreviews::TfPreviews(TComponent* AOwner) : TForm(AOwner) {
  FWorkProc = std::make_unique<TLumerakProc>();
  FWorkProc->SetAutoUndo(false);
  FKernel = TGraphFilter{{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0};
  BuildForm();
  BuildPages();
  OnActivate = [this](TObject*) {
    // Once per showing: a child dialog closing (the filter file dialogs)
    // must not reload the pages and lose what the user changed.
    if (FActivated) return;
    FActivated = true;
    FormActivate();
  };
  OnChooseFilterFile = [this](bool Save, String& FileName) {
    return DefaultChooseFilterFile(Save, FileName, FFilterFolder, FLanguage);
  };
  SetLanguage(msSystem);
}

void TfPreviews::BuildPreviewFT() {
  if (!FFt) {
    FFt = std::make_unique<TLKFtImage>();
    FFt->OnProgress = [this](TObject*, Integer Percent) { ProgressBar1->SetPosition(Percent); };
  }
  const Integer w = FSource.GetWidth(), h = FSource.GetHeight();
  if (w <= 0 || h <= 0) return;
  // The longer side becomes 128; the other keeps the aspect ratio and at
  // least one pixel, however thin the picture.
  const Integer longer = std::max(w, h);
  const Integer nw = w >= h ? 128 : std::max<Integer>(1, static_cast<Integer>(Int64(w) * 128 / longer));
  const Integer nh = h > w ? 128 : std::max<Integer>(1, static_cast<Integer>(Int64(h) * 128 / longer));
  TLKBitmap small;
  FWorkProc->SetAttachedLKBitmap(&FSource);
  FWorkProc->OnProgress = {};
  FWorkProc->ResampleTo(&small, nw, nh, rfTriangle);
  FWorkProc->SetAttachedLKBitmap(nullptr);
  FFt->BuildFT(&small, CheckBox1->GetChecked() ? lkitGrayscale : lkitRGB);
  ProgressBar1->SetPosition(0);
}

TfPreviews::~TfPreviews() {
  // The controls' handlers reach members of this form: they go first.
  BeginDestroy();
}

void TfPreviews::BuildForm() {
  SetCaption("Previews");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetBounds(0, 0, 528 + 8, 394 + 46 - 19);  // client 528 x 394, no menu
  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(4, 4, 520, 214);
  PageControl1->OnChange = [this](TObject*) { PageControl1Change(); };

  LabelSource = MakeLabel(this, 8, 222, "Source:");
  LabelResult = MakeLabel(this, 284, 222, "Result:");
  Lumerak1 = new TLumerak(this);
  Lumerak1->SetParent(this);
  Lumerak1->SetBounds(8, 238, 236, 116);
  Lumerak1->SetExternalBitmap(&FSource);
  Lumerak1->SetMouseInteract({miScroll, miZoom});
  Lumerak1->OnViewChange = [this](TObject*, Integer) {
    if (FActivated && !FPageChanging) CopyOrg();
  };
  Lumerak2 = new TLumerak(this);
  Lumerak2->SetParent(this);
  Lumerak2->SetBounds(284, 238, 236, 116);
  Lumerak2->SetExternalBitmap(&FResult);
  Lumerak2->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, Integer X, Integer Y) { ResultMouse(B, X, Y); };
  Lumerak2->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState, Integer X, Integer Y) { ResultMouse(B, X, Y); };

  Button6 = MakeButton(this, 248, 282, 32, "<<");
  Button6->SetHint("Copy Result to Source");
  Button6->SetShowHint(true);
  Button6->OnClick = [this](TObject*) { CopyResultToSource(); };
  chkLockPreview = new TCheckBox(this);
  chkLockPreview->SetParent(this);
  chkLockPreview->SetBounds(8, 366, 120, 17);
  chkLockPreview->SetCaption("Lock Preview");
  chkLockPreview->SetHint("Automatically updates your preview with the changes you have selected");
  chkLockPreview->SetShowHint(true);
  chkLockPreview->OnClick = [this](TObject*) {
    if (chkLockPreview->GetChecked()) UpdatePreview();
    Button3->SetEnabled(!chkLockPreview->GetChecked());
    Button3->SetVisible(!chkLockPreview->GetChecked());
  };
  Button3 = MakeButton(this, 200, 362, 75, "&Preview");
  Button3->OnClick = [this](TObject*) { UpdatePreview(true); };
  Button1 = MakeButton(this, 364, 362, 75, "OK");
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject*) { ApplyAndClose(); };
  Button2 = MakeButton(this, 445, 362, 75, "Cancel");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
}

TTabSheet* TfPreviews::AddPage(TLKPreviewPage Page) {
  auto* sheet = new TTabSheet(this);
  sheet->SetPageControl(PageControl1);
  sheet->SetCaption(Row(Page).Caption);
  sheet->SetTag(Page);
  Pages[Page] = sheet;
  return sheet;
}

// ---- language

void TfPreviews::SetLanguage(TMsgLanguage Language) {
  FLanguage = Language;
  auto w = [&](TMsgLanguageWords Word) { return lkmsg(Word, Language); };
  auto colon = [&](TMsgLanguageWords Word) { return w(Word) + ":"; };
  auto framed = [&](TMsgLanguageWords Word) { return " " + w(Word) + " "; };
  SetCaption(w(LKMSG_PREVIEW));
  Button3->SetCaption(w(LKMSG_PREVIEW));
  LabelSource->SetCaption(colon(LKMSG_SOURCE));
  LabelResult->SetCaption(colon(LKMSG_RESULT));
  Button1->SetCaption(w(LKMSG_OK));
  Button2->SetCaption(w(LKMSG_CANCEL));
  chkLockPreview->SetCaption(w(LKMSG_LOCKPREVIEW));
  chkLockPreview->SetHint(w(LKMSG_LOCKPREVIEWHINT));
  Button6->SetHint(w(LKMSG_COPYRESULTTOSOURCE));
  for (const TPageRow& r : kPages) Pages[r.Page]->SetCaption(w(r.Word));
  LabelContrast->SetCaption(w(LKMSG_CONTRAST));
  LabelBrightness->SetCaption(colon(LKMSG_BRIGHTNESS));
  LabelHSV[0]->SetCaption(w(LKMSG_HUE) + " (H):");
  LabelHSV[1]->SetCaption(w(LKMSG_SATURATION) + " (S):");
  LabelHSV[2]->SetCaption(w(LKMSG_VALUE) + " (V):");
  LabelHSL[0]->SetCaption(w(LKMSG_HUE) + " (H):");
  LabelHSL[1]->SetCaption(w(LKMSG_SATURATION) + " (S):");
  LabelHSL[2]->SetCaption(w(LKMSG_LUMINOSITY) + " (L):");
  LabelBaseColor->SetCaption(colon(LKMSG_BASECOLOR));
  LabelNewColor->SetCaption(colon(LKMSG_NEWCOLOR));
  LabelRGB[0]->SetCaption(w(LKMSG_RED) + " (R):");
  LabelRGB[1]->SetCaption(w(LKMSG_GREEN) + " (G):");
  LabelRGB[2]->SetCaption(w(LKMSG_BLUE) + " (B):");
  GroupFilterValues->SetCaption(framed(LKMSG_FILTERVALUES));
  GroupPresets->SetCaption(framed(LKMSG_PRESETS));
  LabelDivisor->SetCaption(w(LKMSG_DIVISOR));
  Button4->SetCaption(w(LKMSG_LOAD));
  Button5->SetCaption(w(LKMSG_SAVE));
  LabelEqualization->SetCaption(w(LKMSG_EQUALIZATION));
  LabelThreshold->SetCaption(w(LKMSG_THRESHOLD));
  SpeedButton3->SetCaption(w(LKMSG_EQUALIZE));
  GroupHistogram->SetCaption(framed(LKMSG_HISTOGRAM));
  {
    // The check list is emptied and filled again: only "Gray" is checked.
    TStrings* items = CheckListBox1->GetItems();
    items->Clear();
    for (TMsgLanguageWords k : {LKMSG_RED, LKMSG_GREEN, LKMSG_BLUE, LKMSG_GRAY}) items->Add(w(k));
    CheckListBox1->SetChecked(3, true);
  }
  GroupLight->SetCaption(framed(LKMSG_LIGHT));
  const TMsgLanguageWords geo[4] = {LKMSG_LEFT, LKMSG_TOP, LKMSG_WIDTH, LKMSG_HEIGHT};
  for (int i = 0; i < 4; ++i) {
    LabelBump[i]->SetCaption(colon(geo[i]));
    LabelLens[i]->SetCaption(colon(geo[i]));
  }
  LabelBump[4]->SetCaption(colon(LKMSG_COLOR));
  LabelBump[5]->SetCaption(w(LKMSG_SOURCEIMAGEQUANTITY) + " (%):");
  GroupLens->SetCaption(framed(LKMSG_LENS));
  LabelLens[4]->SetCaption(colon(LKMSG_REFRACTION));
  GroupWave->SetCaption(framed(LKMSG_WAVE));
  LabelWave[0]->SetCaption(w(LKMSG_AMPLITUDE));
  LabelWave[1]->SetCaption(w(LKMSG_WAVELENGTH));
  LabelWave[2]->SetCaption(w(LKMSG_PHASE));
  CheckBox2->SetCaption(w(LKMSG_REFLECTIVE));
  GroupMorph->SetCaption(framed(LKMSG_MORPHFILTER));
  LabelMorphFilter->SetCaption(colon(LKMSG_FILTER));
  LabelMorphWindow->SetCaption(colon(LKMSG_WINDOWSIZE));
  {
    const Integer keep = ListBox2->GetItemIndex();
    TStrings* items = ListBox2->GetItems();
    items->Clear();
    for (TMsgLanguageWords k : {LKMSG_MAXIMUM, LKMSG_MINIMUM, LKMSG_OPEN, LKMSG_CLOSE}) items->Add(w(k));
    ListBox2->SetItemIndex(keep);
  }
  LabelRotate->SetCaption(colon(LKMSG_ROTATE));
  LabelFlip->SetCaption(framed(LKMSG_FLIP));
  CheckBox3->SetCaption(w(LKMSG_FLIPHOR));
  CheckBox4->SetCaption(w(LKMSG_FLIPVER));
  GroupChannels->SetCaption(framed(LKMSG_CHANNELS));
  LabelGamma->SetCaption(w(LKMSG_GAMMACORRECTION));
  {
    TStrings* items = cbxGamma->GetItems();
    const TMsgLanguageWords ch[3] = {LKMSG_RED, LKMSG_GREEN, LKMSG_BLUE};
    for (int i = 0; i < 3; ++i) items->Put(i, w(ch[i]));
  }
  LabelSharpenAmp->SetCaption(w(LKMSG_AMPLITUDE));
  LabelSharpenWin->SetCaption(w(LKMSG_WINDOWSIZE));
}

// ---- what the processing component sets

void TfPreviews::SetLockPreview(bool Value) {
  FLockDefault = Value;
  chkLockPreview->SetChecked(Value);
}

bool TfPreviews::GetLockPreview() { return chkLockPreview->GetChecked(); }

void TfPreviews::SetPreviewFont(TFont*) {}

void TfPreviews::SetProcessing(const TLKProgressEvent& Progress, TLumerakProc* Proc) {
  FProgress = Progress;
  FCallerProc = Proc;
}

void TfPreviews::SetBackground(TColor Color) {
  Lumerak1->SetBackGround(Color);
  Lumerak2->SetBackGround(Color);
}

void TfPreviews::SetPages(TPreviewEffects Effects, TIPDialogParams* Params) {
  FEffects = Effects;
  FParams = Params;
}

Integer TfPreviews::ShowModal() {
  FActivated = false;
  return TCustomForm::ShowModal();
}

// ---- pages

bool TfPreviews::PageVisible(TLKPreviewPage Page) const {
  return FEffects.Contains(peAll) || FEffects.Contains(Row(Page).Effect);
}

TLKPreviewPage TfPreviews::ActivePage() const {
  TTabSheet* page = PageControl1->GetActivePage();
  return page != nullptr ? static_cast<TLKPreviewPage>(page->GetTag()) : ppContrast;
}

bool TfPreviews::SelectPage(TLKPreviewPage Page) {
  if (Page < ppContrast || Page > ppSharpen || !Pages[Page]->GetTabVisible()) return false;
  if (PageControl1->GetActivePage() == Pages[Page]) return true;
  PageControl1->SetActivePage(Pages[Page]);
  PageControl1Change();
  return true;
}

void TfPreviews::FormActivate() {
  FFinal = false;
  FChangeGuard = true;
  PageControl1->SetActivePage(Pages[ppContrast]);
  ResetParameters(true);
  chkLockPreview->SetChecked(FLockDefault);
  Button3->SetEnabled(!chkLockPreview->GetChecked());
  Button3->SetVisible(!chkLockPreview->GetChecked());
  PageControl1->SetVisible(false);
  TTabSheet* first = nullptr;
  for (TLKPreviewPage p : kTabOrder) {
    const bool shown = PageVisible(p);
    Pages[p]->SetTabVisible(shown);
    if (shown && first == nullptr) first = Pages[p];
  }
  if (first != nullptr) PageControl1->SetActivePage(first);
  PageControl1->SetVisible(true);
  for (TLumerak* v : {Lumerak1, Lumerak2}) {
    v->SetBackgroundStyle(lkbsChessboard);
    v->SetChessboardStyle(12, bsSolid);
  }
  Lumerak1->Update();
  Lumerak1->Fit();
  ListBox1->GetItems()->Clear();
  for (Integer i = 0; i < LKGetFiltersCount(); ++i) ListBox1->GetItems()->Add(LKGetFilterName(i));
  PageControl1Change();
}

void TfPreviews::PageControl1Change() {
  ResetParameters(false);
  UpdatePreviewZoom();
  CopyOrg();
}

void TfPreviews::ResetParameters(bool All) {
  if (All)
    for (bool& l : FLoaded) l = false;
  const TLKPreviewPage page = ActivePage();
  if (FLoaded[page] || FParams == nullptr) return;
  FChangeGuard = false;
  FLoaded[page] = true;
  FPageUndo[page] = Row(page).Undo;
  LoadPage(page);
  FChangeGuard = true;
}

void TfPreviews::UpdatePreviewZoom() {
  TLKMouseInteract mi = Lumerak1->GetMouseInteract();
  switch (ActivePage()) {
    case ppBumpMap:
    case ppLens:
    case ppWave:
    case ppRotate:
    case ppFFT:
      mi.Exclude(miZoom);
      Lumerak1->SetMouseInteract(mi);
      FPageChanging = true;
      Lumerak1->Fit();
      FPageChanging = false;
      break;
    default:
      mi.Include(miZoom);
      Lumerak1->SetMouseInteract(mi);
      break;
  }
}

// ---- copies and refresh

void TfPreviews::CopyOrg() {
  Lumerak2->LockPaint();
  struct TUnlock {
    TLumerak* View;
    ~TUnlock() { View->UnLockPaint(); }
  } unlock{Lumerak2};
  Integer dx = 0, dy = 0, dw = 0, dh = 0, sx = 0, sy = 0, sw = 0, sh = 0;
  if (FSource.GetWidth() > 0 && FSource.GetHeight() > 0) Lumerak1->GetRenderRectangles(dx, dy, dw, dh, sx, sy, sw, sh);
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
    // The source view shows nothing yet: the result is the whole source.
    sx = sy = 0;
    sw = dw = FSource.GetWidth();
    sh = dh = FSource.GetHeight();
  }
  sw = std::min(sw, FSource.GetWidth() - sx);
  sh = std::min(sh, FSource.GetHeight() - sy);
  if (sw <= 0 || sh <= 0) {
    FResult.Allocate(1, 1, lk24RGB);
    FSnapshot.Allocate(1, 1, lk24RGB);
    return;
  }
  TLKBitmap part(sw, sh, lk24RGB);
  FSource.CopyRectTo(&part, sx, sy, 0, 0, sw, sh);
  FResult.Allocate(dw, dh, lk24RGB);
  if (dw == sw && dh == sh)
    part.CopyRectTo(&FResult, 0, 0, 0, 0, sw, sh);
  else
    _LKBmpStretchEx(&part, &FResult);
  FSnapshot.Allocate(dw, dh, lk24RGB);
  FResult.CopyRectTo(&FSnapshot, 0, 0, 0, 0, dw, dh);
  if (ActivePage() == ppFFT) BuildPreviewFT();
  ApplyAct(&FResult, false);
  Lumerak2->Update();
  if (ActivePage() == ppEqualization) HistogramBox1->Update();
}

void TfPreviews::UpdatePreview(bool Force) {
  if (!Force && !chkLockPreview->GetChecked()) return;
  if (FSnapshot.GetWidth() != FResult.GetWidth() || FSnapshot.GetHeight() != FResult.GetHeight())
    FResult.Allocate(FSnapshot.GetWidth(), FSnapshot.GetHeight(), lk24RGB);
  FSnapshot.CopyRectTo(&FResult, 0, 0, 0, 0, FSnapshot.GetWidth(), FSnapshot.GetHeight());
  ApplyAct(&FResult, false);
  Lumerak2->Update();
}

void TfPreviews::CopyModToOrg() {
  ApplyAct(&FSource, false);
  Lumerak1->Update();
  CopyOrg();
}

void TfPreviews::CopyResultToSource() {
  const TLKPreviewPage page = ActivePage();
  CopyModToOrg();
  ResetParameters(true);
  CopyOrg();
  FUndoCaption += FPageUndo[page] + ",";
}

void TfPreviews::ApplyAndClose() {
  const TLKPreviewPage page = ActivePage();
  FFinal = true;
  ApplyAct(&FSource, true);
  FFinal = false;
  Lumerak1->Update();
  FUndoCaption += FPageUndo[page];
  GetIPParams();
  SetModalResult(mrOk);
}

void TfPreviews::GetIPParams() {
  if (FParams == nullptr) return;
  for (const TPageRow& r : kPages)
    if (FLoaded[r.Page]) WriteBackPage(r.Page);
}

TBitmap* TfPreviews::GetGammaGraph() { return &LumerakView2->Bitmap; }

void TfPreviews::DrawGammaGraph(double Gamma) {
  TBitmap& bmp = LumerakView2->Bitmap;
  const Integer w = std::max(LumerakView2->GetWidth(), 1), h = std::max(LumerakView2->GetHeight(), 1);
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  TCanvas* c = bmp.GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clSilver);
  c->FillRect(TRect{0, 0, w, h});
  c->GetPen()->SetStyle(psSolid);
  c->GetPen()->SetColor(clBlack);
  c->GetPen()->SetMode(pmCopy);
  c->MoveTo(0, h);
  const double g = Gamma > 0 ? Gamma : 1;
  for (Integer i = 0; i < 256; ++i) {
    const Integer v = std::clamp(LKRound(LKPower(i / 255.0, 1 / g) * 255), 0, 255);
    const Integer x = std::clamp(static_cast<Integer>(i / 255.0 * w), 0, w - 1);
    const Integer y = std::clamp(static_cast<Integer>((255.0 - v) / 255.0 * h), 0, h - 1);
    c->LineTo(x, y);
  }
  LumerakView2->Invalidate();
}

// ---- registration

void LKRegisterPreviewDialog() {
  LKSetPreviewDialogFactory([](TLumerakProc*) -> std::unique_ptr<TLKPreviewDialog> {
    return std::make_unique<TfPreviews>();
  });
}

TPreviewEffects LKColorAdjustPages() {
  return TPreviewEffects{peContrast, peHSV, peHSL, peRGB, peEqualize, peFFT, peGamma, peSharpen};
}

TPreviewEffects LKEffectsPages() { return TPreviewEffects{peUserFilt, peBumpMap, peLens, peWave, peMorph, peRotate}; }
