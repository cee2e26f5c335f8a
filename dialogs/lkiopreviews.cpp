#include "dialogs/lkiopreviews.h"

#include <cmath>

#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "core/lkmath.h"
#include "dialogs/lkiopreviewslogic.h"
#include "dialogs/lkpalettedialog.h"
#include "io/lumerakio.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/sysutils.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

constexpr Integer kClientWidth = kLKOptionsClientWidth, kClientHeight = 471;
constexpr Integer kPageHeight = kLKOptionsPageHeight;

/// Restores the screen cursor when it leaves, also on an exception.
struct TCursorGuard {
  TCursor Old;
  explicit TCursorGuard(TCursor C) : Old(Screen->GetCursor()) { Screen->SetCursor(C); }
  ~TCursorGuard() { Screen->SetCursor(Old); }
};

}  // namespace

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

TLKOptionsPage* TfIOPreviews::ActiveOptionsPage() const {
  TTabSheet* sheet = PageControl1->GetActivePage();
  for (const auto& p : FOptionPages)
    if (p->Holds(sheet)) return p.get();
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
  TLKPageKit kit(f, PageControl1, FCaptions, FLabels);
  for (TLKOptionsPageMaker make : LKOptionsPageMakers()) {
    FOptionPages.push_back(make(*this));
    FOptionPages.back()->Build(kit);
  }
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

// ---------------------------------------------------------------------------
// Interface

void TfIOPreviews::SetLanguage(TMsgLanguage Language) {
  FForm->SetCaption(lkmsg(LKMSG_PARAMETERSPREVIEW, Language));
  for (const TLKOptionsCaption& c : FCaptions)
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
  for (Integer i = 0; i < PageControl1->GetPageCount(); ++i) PageControl1->GetPage(i)->SetTabVisible(false);
  // A page shows only while its format can be written here; the last page
  // of the parameters' type becomes the active one.
  const TPreviewParams usable = LKAvailableOptionPages(
      (FPages & PreviewPage(ppALL)) ? TPreviewParams(0xFFFF) : FPages);
  TTabSheet* active = nullptr;
  for (const auto& page : FOptionPages) {
    TTabSheet* sheet = page->Sheet(Simplified);
    const bool visible = (usable & PreviewPage(page->Kind())) != 0;
    sheet->SetTabVisible(visible);
    if (visible && info && (info->OptionPages & PreviewPage(page->Kind()))) active = sheet;
  }
  if (active) PageControl1->SetActivePage(active);
  // The simplified pages are shorter: the settings beyond the essential ones
  // are hidden and the sizes move up below them, captions over values.
  for (const auto& page : FOptionPages) page->Prepare(Simplified);
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
  for (const auto& page : FOptionPages) page->Load(*Params);
}

void TfIOPreviews::ApplyParameters() {
  FGuard = false;
  TTabSheet* sheet = PageControl1->GetActivePage();
  const Int64 original = FBitmap ? Int64(FBitmap->GetRowLen()) * FBitmap->GetHeight() : 0;
  if (TLabel* l = OriginalSizeLabel(sheet)) l->SetCaption(IntToStr(original) + " bytes");
  if (TLKOptionsPage* page = ActiveOptionsPage()) page->Show(sheet);
  FGuard = true;
}

// ---------------------------------------------------------------------------
// What the pages share

void TfIOPreviews::Refresh() {
  if (chkLockPreview->GetChecked()) applyAct();
}

void TfIOPreviews::Changed() { Button4->SetEnabled(true); }

const TIOParamsVals& TfIOPreviews::ResultParams() const { return *Lumerak2->GetLumerakIO()->GetIOParams(); }

// ---------------------------------------------------------------------------
// Preview

void TfIOPreviews::ShowSize(Int64 Size) {
  // Both variants of a page show the same size.
  const String text = IntToStr(Size) + " bytes";
  if (TLKOptionsPage* page = ActiveOptionsPage())
    for (TTabSheet* sheet : page->Sheets())
      if (TLabel* l = CompressedSizeLabel(sheet)) l->SetCaption(text);
}

void TfIOPreviews::applyAct() {
  if (!FActivated || !FBitmap) return;
  TLKOptionsPage* page = ActiveOptionsPage();
  if (!page) return;
  TCursorGuard cursor(crHourGlass);
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
  const TLKPreviewResult result = page->PreviewParams(sp, Params);
  if (result == lkprRoundTrip) {
    // Lossy formats: save, then load back what the file will show.
    FStages = 2;
    TMemoryStream memory;
    src->SaveToStream(&memory, page->FileType());
    ShowSize(memory.Size());
    memory.Seek(0, soBeginning);
    FOffset = 50;
    dst->LoadFromStreamFormat(&memory, page->FileType());
  } else {
    // The others only measure the save and imitate its colour reduction.
    FStages = 1;
    TNulStream nul;
    src->SaveToStream(&nul, page->FileType());
    ShowSize(nul.Size());
    ShowReduced(result, sp);
  }
  Lumerak2->LockPaint();
  Lumerak2->SetZoom(Lumerak1->GetZoom());
  Lumerak2->SetViewXY(Lumerak1->GetViewX(), Lumerak1->GetViewY());
  Lumerak2->UnLockPaint();
}

void TfIOPreviews::ShowReduced(TLKPreviewResult Result, TIOParamsVals& Source) {
  try {
    Lumerak2->Assign(Lumerak1);
  } catch (const std::exception&) {
    FForm->SetCaption("Result can not be shown but parameters may be entered");
  }
  TIOParamsVals& rp = *Lumerak2->GetLumerakIO()->GetIOParams();
  rp.Assign(&Source);
  TLumerakProc* proc = Lumerak2->GetLumerakProc();
  const Integer n = _GetNumCol(rp.BITSPERSAMPLE, rp.SAMPLESPERPIXEL);
  switch (Result) {
    case lkprGray:
      proc->ConvertToGray();
      rp.ColorMap.clear();
      rp.COLORMAPCOUNT = 0;
      break;
    case lkprConvert:
      if (n > 0 && n <= 256) proc->ConvertTo(n, DitherMethod);
      break;
    case lkprPalette:
      if (n > 256 || n <= 0) {
        rp.ColorMap.clear();
        rp.COLORMAPCOUNT = 0;
      } else {
        rp.ColorMap.assign(size_t(n), TRGB{0, 0, 0});
        rp.COLORMAPCOUNT = n;
        proc->ConvertToPalette(n, rp.ColorMap.data(), DitherMethod);
      }
      break;
    case lkprKeep:
    case lkprRoundTrip:
      break;
  }
}

// ---------------------------------------------------------------------------
// OK and Apply

void TfIOPreviews::Apply() {
  if (!Params) return;
  if (TLKOptionsPage* page = ActiveOptionsPage()) page->Write(*Params);
}

// ---------------------------------------------------------------------------
// Colour panels

bool TfIOPreviews::ChooseFromResultPalette(Integer Count, TColor& Chosen) {
  const TIOParamsVals& rp = ResultParams();
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

std::unique_ptr<TLKPreviewsForm> LKCreatePreviewsForm(TComponent* Owner) {
  return std::make_unique<TfIOPreviews>(Owner);
}
