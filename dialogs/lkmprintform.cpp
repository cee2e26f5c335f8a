#include "dialogs/lkmprintform.h"

#include <algorithm>
#include <string>

#include "core/lkbitmap.h"
#include "core/lkmsg.h"
#include "io/lumerakio.h"
#include "platform/printers.h"
#include "platform/splitter.h"
#include "views/lumerakmview.h"
#include "views/lumerakvect.h"

using lkprintformui::NewEdit;
using lkprintformui::NewUpDown;

TflkPrnForm3::TflkPrnForm3(TComponent* Owner) : TflkPrnFormBase(Owner) {
  SetCaption("Print");
  SetBounds(0, 0, 898, 626);
  SetShowHint(true);
  // The page work view: its I/O component prints and previews each page.
  FWork = std::make_unique<TLumerakVect>(nullptr);
  IO = FWork->GetLumerakIO();

  Panel2 = new TPanel(this);
  Panel2->SetParent(this);
  Panel2->SetAlign(alTop);
  Panel2->SetHeight(72);
  Panel2->SetShowHint(true);
  for (int i = 0; i < 9; ++i) {
    Grid[i] = new TRadioButton(this);
    Grid[i]->SetParent(Panel2);
    Grid[i]->SetBounds(6 + (i % 3) * 20, 4 + (i / 3) * 22, 18, 20);
    Grid[i]->SetHint(lkprintformui::GridHints[i]);
  }
  // First row: the four margins; second row: size, width, height, gamma.
  const char* const hints[7] = {"Top Margin", "Left Margin", "Right Margin", "Bottom Margin", "Width", "Height",
                                "Gamma Correction"};
  const char* const texts[7] = {"1", "1", "1", "1", "6", "4", "1"};
  Integer x = 74;
  for (int i = 0; i < 4; ++i, x += 66) {
    Edit[i] = NewEdit(Panel2, this, x, 8, 46, texts[i]);
    UpDown[i] = NewUpDown(Panel2, this, x + 46, 8);
    Edit[i]->SetHint(hints[i]);
  }
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetParent(Panel2);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->SetBounds(74, 40, 130, 21);
  ComboBox1->SetHint("Location/size");
  x = 212;
  for (int i = 4; i < 7; ++i, x += 66) {
    Edit[i] = NewEdit(Panel2, this, x, 40, 46, texts[i]);
    UpDown[i] = NewUpDown(Panel2, this, x + 46, 40);
    Edit[i]->SetHint(hints[i]);
  }
  ComboBox2 = new TComboBox(this);
  ComboBox2->SetParent(Panel2);
  ComboBox2->SetStyle(csDropDownList);
  ComboBox2->SetBounds(420, 8, 150, 21);
  auto button = [this](const String& Caption, const String& Hint, Integer X) {
    auto* b = new TButton(this);
    b->SetParent(Panel2);
    b->SetBounds(X, 38, 60, 25);
    b->SetCaption(Caption);
    b->SetHint(Hint);
    return b;
  };
  SpeedButton10 = button("Setup", "Print Setup", 420);
  SpeedButton11 = button("Print", "Print", 484);
  SpeedButton12 = button("&Close", "Close", 548);

  Panel3 = new TPanel(this);
  Panel3->SetParent(this);
  Panel3->SetAlign(alLeft);
  Panel3->SetWidth(185);
  LumerakMView1 = new TLumerakMView(this);
  LumerakMView1->SetParent(Panel3);
  LumerakMView1->SetAlign(alClient);
  LumerakMView1->SetThumbWidth(150);
  LumerakMView1->SetThumbHeight(190);
  LumerakMView1->Style = lkmsFlat;
  LumerakMView1->EnableMultiSelect = true;
  // A column: as many thumbnails in a row as the column's width holds.
  LumerakMView1->SetGridWidth(-1);
  // The column shows reductions: the pages themselves come from the
  // component's view when they are printed.
  LumerakMView1->StoreType = lktThumb;
  Splitter1 = new TSplitter(this);
  Splitter1->SetParent(this);
  Splitter1->SetAlign(alLeft);
  Splitter1->SetLeft(190);
  Preview = new TLKPrintPreviewPane(this);
  Preview->SetParent(this);
  Preview->SetAlign(alClient);

  PopupMenu1 = new TPopupMenu(this);
  Add1 = new TMenuItem(this);
  Add1->SetCaption("Zoom In");
  Delete1 = new TMenuItem(this);
  Delete1->SetCaption("Zoom Out");
  PopupMenu1->GetItems()->Add(Add1);
  PopupMenu1->GetItems()->Add(Delete1);
  LumerakMView1->SetPopupMenu(PopupMenu1);

  lkprintformui::WireControls(this);
  ShowSizeControls(false);
  ComboBox1->OnChange = [this](TObject*) {
    ShowSizeControls(ComboBox1->GetItemIndex() == lksSPECIFIEDSIZE);
    PrintPreview(false);
  };
  SpeedButton10->OnClick = [this](TObject*) { PrinterSetup(); };
  SpeedButton11->OnClick = [this](TObject*) { PrintPreview(true); };
  SpeedButton12->OnClick = [this](TObject*) { SetModalResult(mrOk); };
  Add1->OnClick = [this](TObject*) { ZoomIn(); };
  Delete1->OnClick = [this](TObject*) { ZoomOut(); };
  LumerakMView1->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, Integer, Integer) { ImageSelect(); };
  OnActivate = [this](TObject*) { FormActivate3(); };
  OnResize = [this](TObject*) { PrintPreview(false); };
}

// The thumbnails go before the page work view their images came beside.
TflkPrnForm3::~TflkPrnForm3() { LumerakMView1->Clear(); }

TLumerakMView* TflkPrnForm3::Source() const { return MIO != nullptr ? MIO->GetAttachedMView() : nullptr; }

bool TflkPrnForm3::CanPreview() const {
  auto* self = const_cast<TflkPrnForm3*>(this);
  return self->GetWidth() >= 100 && self->GetHeight() >= 100;
}

void TflkPrnForm3::SetLanguage(TMsgLanguage Value) {
  Language = Value;
  SetCaption(lkmsg(LKMSG_PRINT, Value));
  lkprintformui::SetToolBarTexts(this, SpeedButton10, SpeedButton11, SpeedButton12, Value);
  ComboBox2->GetItems()->Add(lkmsg(LKMSG_PRINTALL, Value));
  ComboBox2->GetItems()->Add(lkmsg(LKMSG_PRINTSELECTED, Value));
}

void TflkPrnForm3::FormActivate3() {
  if (FActivated) return;
  FActivated = true;
  TLumerakMView* src = Source();
  if (src == nullptr) return;
  FActivating = true;
  LumerakMView1->FillThumbnail = false;
  LumerakMView1->SoftShadowEnabled = true;
  LumerakMView1->GradientEndColor = RGB(128, 128, 128);
  LumerakMView1->LockPaint();
  for (Integer i = 0; i < src->GetImageCount(); ++i) {
    const Integer j = LumerakMView1->AppendImage();
    if (TLKBitmap* b = src->GetTLKBitmap(i)) {
      LumerakMView1->SetLKBitmapEx(j, b);
      src->ReleaseBitmap(i);
    }
    LumerakMView1->GetImageTopText(j)->SetCaption("Image " + std::to_string(i + 1));
  }
  LumerakMView1->UnLockPaint();
  if (LumerakMView1->GetImageCount() > 0) LumerakMView1->SetSelectedItem(0);
  ComboBox1->SetItemIndex(lksFITTOPAGE);
  ComboBox2->SetItemIndex(0);
  FActivating = false;
  ImageSelect();
}

void TflkPrnForm3::GetPage(Integer Idx) {
  TLumerakMView* src = Source();
  if (src == nullptr || Idx < 0 || Idx >= src->GetImageCount()) return;
  src->CopyToLKBitmap(Idx, FWork->GetLKBitmap());
  // The page prints at its own resolution (a normal size is the picture's
  // size at it); a missing one takes the default.
  TIOParamsVals* page = IO->GetIOParams();
  const TIOParamsVals* rec = MIO->GetParams(Idx);
  page->DPIX = rec != nullptr && rec->DPIX >= 2 ? rec->DPIX : gDefaultDPIX;
  page->DPIY = rec != nullptr && rec->DPIY >= 2 ? rec->DPIY : gDefaultDPIY;
  if (PrintAnnotations) lkprintformui::BurnAnnotations(FWork->GetLKBitmap(), MIO->GetParams(Idx));
  FWork->Update();
}

void TflkPrnForm3::ImageSelect() {
  const Integer sel = LumerakMView1->GetSelectedImage();
  if (sel >= 0) GetPage(sel);
  PrintPreview(false);
}

std::vector<Integer> TflkPrnForm3::PagesToPrint() const {
  std::vector<Integer> pages;
  TLumerakMView* src = Source();
  if (src == nullptr) return pages;
  if (ComboBox2->GetItemIndex() <= 0) {
    for (Integer i = 0; i < src->GetImageCount(); ++i) pages.push_back(i);
    return pages;
  }
  for (Integer k = 0; k < LumerakMView1->MultiSelectedImagesCount(); ++k) {
    const Integer i = LumerakMView1->MultiSelectedImages(k);
    if (i >= 0 && i < src->GetImageCount()) pages.push_back(i);
  }
  // A single selection is not in the multiple-selection list.
  if (pages.empty() && LumerakMView1->GetSelectedImage() >= 0) pages.push_back(LumerakMView1->GetSelectedImage());
  return pages;
}

void TflkPrnForm3::PrintPreview(bool Print) {
  if (FActivating || MIO == nullptr || !CanPreview()) return;
  IO->SetPrintingFilter(MIO->GetPrintingFilter());
  if (!Print) {
    TflkPrnFormBase::PrintPreview(false);
    return;
  }
  // With nothing to print no job is started: a job without pages would
  // still come out of the printer as a blank sheet.
  const std::vector<Integer> pages = PagesToPrint();
  if (pages.empty()) return;
  const TLKPrintLayout l = lkprintform::Layout(Texts(), MeasureUnit);
  TPrinter* p = Printer();
  p->Title = TaskName;
  p->BeginDoc();
  try {
    for (size_t k = 0; k < pages.size(); ++k) {
      if (k > 0) p->NewPage();
      GetPage(pages[k]);
      IO->PrintImage(nullptr, l.MarginLeft, l.MarginTop, l.MarginRight, l.MarginBottom, l.VerticalPos,
                     l.HorizontalPos, l.Size, l.Width, l.Height, l.Gamma);
      ++PagesPrinted;
    }
  } catch (...) {
    p->Abort();
    ImageSelect();
    throw;
  }
  p->EndDoc();
  ImageSelect();
}

void TflkPrnForm3::ZoomIn() {
  LumerakMView1->SetThumbWidth(LumerakMView1->GetThumbWidth() + 50);
  LumerakMView1->SetThumbHeight(LumerakMView1->GetThumbHeight() + 50);
}

void TflkPrnForm3::ZoomOut() {
  // Never below 10 pixels: a thumbnail of no size cannot be found again.
  LumerakMView1->SetThumbWidth(std::max(10, LumerakMView1->GetThumbWidth() - 10));
  LumerakMView1->SetThumbHeight(std::max(10, LumerakMView1->GetThumbHeight() - 10));
}

// ---------------------------------------------------------------------------
// The component's door

namespace {

class TMultiPrintFormAdapter : public TLKMultiPrintForm {
 public:
  explicit TMultiPrintFormAdapter(TComponent* Owner) : FForm(new TflkPrnForm3(Owner)) {}
  ~TMultiPrintFormAdapter() override { delete FForm; }
  bool ShowModal() override {
    FForm->MIO = MIO;
    FForm->SetLanguage(Language);
    FForm->MeasureUnit = MeasureUnit;
    FForm->TaskName = TaskName;
    FForm->PrintAnnotations = PrintAnnotations;
    if (!Caption.empty()) FForm->SetCaption(Caption);
    FForm->SetFont(Font);
    return FForm->ShowModal() == mrOk;
  }

 private:
  TflkPrnForm3* FForm;
};

}  // namespace

std::unique_ptr<TLKMultiPrintForm> LKCreateMultiPrintForm(TComponent* Owner) {
  return std::make_unique<TMultiPrintFormAdapter>(Owner);
}
