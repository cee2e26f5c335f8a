#include "dialogs/lkprintforms.h"

#include "core/lkmsg.h"
#include "io/lumerakio.h"
#include "platform/graphics.h"
#include "platform/printers.h"
#include "views/lumerakvect.h"

void TLKPrintPreviewPane::Paint() {
  TCanvas* c = GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clGray);
  c->FillRect(GetClientRect());
  c->Draw(0, 0, &Page);
}

namespace {

const char* const kSizeItems[4] = {"Normal", "Fit to page", "Stretch to page", "Specified size"};
}  // namespace

const char* const lkprintformui::GridHints[9] = {"Top Left",     "Top Center",  "Top Right",
                                                 "Center Left",  "Center",      "Center Right",
                                                 "Bottom Left",  "Bottom Center", "Bottom Right"};
using lkprintformui::GridHints;

// ---------------------------------------------------------------------------
// Shared

TflkPrnFormBase::TflkPrnFormBase(TComponent* Owner) : TForm(Owner) {
  OnActivate = [this](TObject*) { FormActivate(); };
}

TLKPrintFormTexts TflkPrnFormBase::Texts() const {
  TLKPrintFormTexts t;
  for (int i = 0; i < 4; ++i) t.Margin[i] = Edit[i]->GetText();
  t.Width = Edit[4]->GetText();
  t.Height = Edit[5]->GetText();
  t.Gamma = Edit[6]->GetText();
  t.Position = -1;
  for (int i = 0; i < 9; ++i)
    if (Grid[i]->GetChecked()) {
      t.Position = i;
      break;
    }
  t.SizeIndex = ComboBox1->GetItemIndex();
  return t;
}

void TflkPrnFormBase::LoadParameters() {
  if (!Params || !IO) return;
  TLKPrintFormTexts t;
  TLKBitmap* bmp = IO->GetLKBitmap();
  lkprintform::Load(*Params, t, MeasureUnit, bmp ? bmp->GetWidth() : 0, bmp ? bmp->GetHeight() : 0,
                    IO->GetIOParams()->DPIX, IO->GetIOParams()->DPIY, gDefaultDPIX);
  for (int i = 0; i < 4; ++i) Edit[i]->SetText(t.Margin[i]);
  Edit[4]->SetText(t.Width);
  Edit[5]->SetText(t.Height);
  Edit[6]->SetText(t.Gamma);
  Grid[t.Position]->SetChecked(true);
  ComboBox1->SetItemIndex(t.SizeIndex);
  ShowSizeControls(t.SizeIndex == lksSPECIFIEDSIZE);
}

void TflkPrnFormBase::SaveParameters() {
  if (Params) lkprintform::Save(Texts(), *Params);
}

void TflkPrnFormBase::ShowSizeControls(bool Show) {
  for (int i = 4; i < 6; ++i) {
    Edit[i]->SetEnabled(Show);
    Edit[i]->SetVisible(Show);
    UpDown[i]->SetEnabled(Show);
    UpDown[i]->SetVisible(Show);
  }
}

void TflkPrnFormBase::FormActivate() {
  // Once per showing: a child dialog closing (printer set-up) activates the
  // form again and must not bring back the stored values over the edits.
  if (FActivated) return;
  FActivated = true;
  FActivating = true;
  LoadParameters();
  if (ComboBox1->GetItemIndex() < 0) ComboBox1->SetItemIndex(lksFITTOPAGE);
  FActivating = false;
  PrintPreview(false);
}

void TflkPrnFormBase::PrintPreview(bool Print) {
  if (FActivating || !IO) return;
  if (!Print && !CanPreview()) return;
  const TLKPrintLayout l = lkprintform::Layout(Texts(), MeasureUnit);
  // With annotations printed, a copy of the picture with them burnt in is
  // printed by an I/O component of its own with the source's resolution and
  // printing filter.
  TLumerakIO* src = IO;
  std::unique_ptr<TLumerakIO> burnt;
  if (PrintAnnotations && IO->GetIOParams()->GetImagingAnnot()->GetObjectsCount() > 0) {
    burnt = std::make_unique<TLumerakIO>(nullptr);
    burnt->GetLKBitmap()->Assign(IO->GetLKBitmap());
    if (lkprintformui::BurnAnnotations(burnt->GetLKBitmap(), IO->GetIOParams())) {
      burnt->GetIOParams()->DPIX = IO->GetIOParams()->DPIX;
      burnt->GetIOParams()->DPIY = IO->GetIOParams()->DPIY;
      burnt->SetPrintingFilter(IO->GetPrintingFilter());
      src = burnt.get();
    }
  }
  if (Print) {
    TPrinter* p = Printer();
    p->Title = TaskName;
    p->BeginDoc();
    try {
      src->PrintImage(nullptr, l.MarginLeft, l.MarginTop, l.MarginRight, l.MarginBottom, l.VerticalPos,
                      l.HorizontalPos, l.Size, l.Width, l.Height, l.Gamma);
    } catch (...) {
      p->Abort();
      throw;
    }
    p->EndDoc();
    ++PagesPrinted;
    return;
  }
  src->PreviewPrintImage(&Preview->Page, Preview->GetWidth(), Preview->GetHeight(), nullptr, l.MarginLeft,
                         l.MarginTop, l.MarginRight, l.MarginBottom, l.VerticalPos, l.HorizontalPos, l.Size, l.Width,
                         l.Height, l.Gamma);
  Preview->Invalidate();
}

void TflkPrnFormBase::PrinterSetup() {
  TPrinterSetupDialog dialog;
  dialog.Execute();
  PrintPreview(false);
}

// Control makers and the events both forms share: every edit previews on
// change, the margin, width and height steppers step by 0.01 and the gamma
// stepper by 0.1 (never below 0), every grid button previews.
namespace lkprintformui {

TEdit* NewEdit(TWinControl* Parent, TComponent* Owner, Integer X, Integer Y, Integer W, const String& Text) {
  auto* e = new TEdit(Owner);
  e->SetParent(Parent);
  e->SetBounds(X, Y, W, 21);
  e->SetText(Text);
  return e;
}

TUpDown* NewUpDown(TWinControl* Parent, TComponent* Owner, Integer X, Integer Y) {
  auto* u = new TUpDown(Owner);
  u->SetParent(Parent);
  u->SetBounds(X, Y, 16, 21);
  u->SetMin(-32000);
  u->SetMax(32000);
  return u;
}

void WireControls(TflkPrnFormBase* F) {
  for (int i = 0; i < 7; ++i) {
    F->Edit[i]->OnChange = [F](TObject*) { F->PrintPreview(false); };
    F->UpDown[i]->OnClick = [F, i](TObject*, TUDBtnType b) {
      F->Edit[i]->SetText(lkprintform::Stepped(F->Edit[i]->GetText(), b == btNext, i == 6 ? 0.1 : 0.01));
    };
  }
  for (int i = 0; i < 9; ++i) F->Grid[i]->OnClick = [F](TObject*) { F->PrintPreview(false); };
  for (const char* s : kSizeItems) F->ComboBox1->GetItems()->Add(s);
  F->Grid[ppCenter]->SetChecked(true);
}

void SetToolBarTexts(TflkPrnFormBase* F, TButton* Setup, TButton* Print, TButton* Close, TMsgLanguage Value) {
  const TMsgLanguageWords edits[7] = {LKMSG_TOPMARGIN, LKMSG_LEFTMARGIN, LKMSG_RIGHTMARGIN, LKMSG_BOTTOMMARGIN,
                                      LKMSG_WIDTH,     LKMSG_HEIGHT,     LKMSG_GAMMACORRECTION};
  for (int i = 0; i < 7; ++i) F->Edit[i]->SetHint(lkmsg(edits[i], Value));
  F->ComboBox1->SetHint(lkmsg(LKMSG_LOCATIONSIZE, Value));
  for (int i = 0; i < 9; ++i) F->Grid[i]->SetHint(lkmsg(static_cast<TMsgLanguageWords>(LKMSG_TOPLEFT + i), Value));
  Setup->SetHint(lkmsg(LKMSG_PRINTSETUP, Value));
  Print->SetHint(lkmsg(LKMSG_PRINT, Value));
  Close->SetCaption(lkmsg(LKMSG_CLOSE2, Value));
}

bool BurnAnnotations(TLKBitmap* Bitmap, TIOParamsVals* Params) {
  TLKImagingAnnot* annot = Params != nullptr ? Params->GetImagingAnnot() : nullptr;
  if (Bitmap == nullptr || annot == nullptr || annot->GetObjectsCount() == 0) return false;
  TLumerakVect view(nullptr);
  view.GetLKBitmap()->Assign(Bitmap);
  view.Update();
  annot->CopyToTLumerakVect(&view);
  view.GetLKBitmap()->SetPixelFormat(lk24RGB);
  view.CopyObjectsToBack(false);
  view.RemoveAllObjects();
  Bitmap->Assign(view.GetLKBitmap());
  return true;
}

}  // namespace lkprintformui
using lkprintformui::NewEdit;
using lkprintformui::NewUpDown;
using lkprintformui::WireControls;

// ---------------------------------------------------------------------------
// The print dialog

TflkPrnForm2::TflkPrnForm2(TComponent* Owner) : TflkPrnFormBase(Owner) {
  SetCaption("Print");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientWidth(664);
  SetClientHeight(356);
  auto group = [this](Integer X, Integer Y, Integer W, Integer H, const String& Caption) {
    auto* g = new TGroupBox(this);
    g->SetParent(this);
    g->SetBounds(X, Y, W, H);
    g->SetCaption(Caption);
    return g;
  };
  auto label = [this](TWinControl* Parent, Integer X, Integer Y, const String& Caption) {
    auto* l = new TLabel(this);
    l->SetParent(Parent);
    l->SetBounds(X, Y + 3, 60, 13);
    l->SetCaption(Caption);
    return l;
  };
  GroupBox1 = group(8, 8, 200, 126, " Margins (inches) ");
  const char* const marginNames[4] = {"Top", "Left", "Right", "Bottom"};
  for (int i = 0; i < 4; ++i) {
    Label[i] = label(GroupBox1, 10, 20 + i * 25, marginNames[i]);
    Edit[i] = NewEdit(GroupBox1, this, 80, 20 + i * 25, 80, "1");
    UpDown[i] = NewUpDown(GroupBox1, this, 160, 20 + i * 25);
  }
  GroupBox2 = group(8, 140, 200, 100, " Position ");
  for (int i = 0; i < 9; ++i) {
    Grid[i] = new TRadioButton(this);
    Grid[i]->SetParent(GroupBox2);
    Grid[i]->SetBounds(50 + (i % 3) * 40, 22 + (i / 3) * 24, 20, 20);
    Grid[i]->SetHint(GridHints[i]);
    Grid[i]->SetShowHint(true);
  }
  GroupBox3 = group(8, 246, 200, 102, " Size ");
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetParent(GroupBox3);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->SetBounds(10, 20, 180, 21);
  Label[4] = label(GroupBox3, 10, 48, "Width");
  Label[5] = label(GroupBox3, 10, 74, "Height");
  Edit[4] = NewEdit(GroupBox3, this, 60, 48, 60, "6");
  Edit[5] = NewEdit(GroupBox3, this, 60, 74, 60, "4");
  UpDown[4] = NewUpDown(GroupBox3, this, 120, 48);
  UpDown[5] = NewUpDown(GroupBox3, this, 120, 74);
  Label[6] = label(GroupBox3, 140, 48, "inches");
  Label[7] = label(GroupBox3, 140, 74, "inches");
  GroupBox4 = group(216, 8, 140, 56, " Gamma correction ");
  Label[8] = label(GroupBox4, 10, 22, "Value");
  Edit[6] = NewEdit(GroupBox4, this, 60, 22, 50, "1");
  UpDown[6] = NewUpDown(GroupBox4, this, 110, 22);
  GroupBox6 = group(216, 70, 140, 56, " Measure units ");
  Label[9] = label(GroupBox6, 10, 22, "Units");
  ComboBox2 = new TComboBox(this);
  ComboBox2->SetParent(GroupBox6);
  ComboBox2->SetStyle(csDropDownList);
  ComboBox2->SetBounds(50, 22, 80, 21);
  ComboBox2->GetItems()->Add("Inches");
  ComboBox2->GetItems()->Add("cm");
  GroupBox5 = group(364, 8, 292, 300, " Preview ");
  Preview = new TLKPrintPreviewPane(this);
  Preview->SetParent(GroupBox5);
  Preview->SetAlign(alClient);
  Button4 = new TButton(this);
  Button4->SetParent(this);
  Button4->SetBounds(216, 140, 140, 25);
  Button4->SetCaption("Printer Setup");
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetBounds(500, 320, 75, 25);
  Button1->SetCaption("OK");
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetBounds(581, 320, 75, 25);
  Button2->SetCaption("Cancel");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  WireControls(this);
  ShowSizeControls(false);
  GroupBox6->SetVisible(false);

  ComboBox1->OnChange = [this](TObject*) {
    ShowSizeControls(ComboBox1->GetItemIndex() == lksSPECIFIEDSIZE);
    PrintPreview(false);
  };
  ComboBox2->OnChange = [this](TObject*) {
    const TLKDialogsMeasureUnit to = ComboBox2->GetItemIndex() == 1 ? lkduSelectableDefCm : lkduSelectableDefInches;
    const TLKDialogsMeasureUnit from = MeasureUnit;
    MeasureUnit = to;
    if (lkprintform::XMult(from) != lkprintform::XMult(to)) {
      TLKPrintFormTexts t = Texts();
      lkprintform::ConvertUnits(t, from, to);
      const bool was = FActivating;
      FActivating = true;
      for (int i = 0; i < 4; ++i) Edit[i]->SetText(t.Margin[i]);
      Edit[4]->SetText(t.Width);
      Edit[5]->SetText(t.Height);
      FActivating = was;
      SetLanguage_units();
      PrintPreview(false);
    }
  };
  Button4->OnClick = [this](TObject*) { PrinterSetup(); };
  Button1->OnClick = [this](TObject*) {
    SaveParameters();
    PrintPreview(true);
  };
  OnActivate = [this](TObject*) {
    if (FActivated) return;
    const bool selectable = MeasureUnit == lkduSelectableDefInches || MeasureUnit == lkduSelectableDefCm;
    GroupBox6->SetVisible(selectable);
    if (selectable) {
      FActivating = true;
      ComboBox2->SetItemIndex(MeasureUnit == lkduSelectableDefCm ? 1 : 0);
      FActivating = false;
    }
    SetLanguage_units();
    FormActivate();
  };
}

void TflkPrnForm2::ShowSizeControls(bool Show) {
  TflkPrnFormBase::ShowSizeControls(Show);
  for (int i = 4; i < 8; ++i) {
    Label[i]->SetEnabled(Show);
    Label[i]->SetVisible(Show);
  }
}

void TflkPrnForm2::SetLanguage_units() {
  const bool cm = MeasureUnit == lkduCm || MeasureUnit == lkduSelectableDefCm;
  const String inches = lkmsg(LKMSG_INCHES, Language);
  GroupBox1->SetCaption(" " + lkmsg(LKMSG_MARGINS, Language) + (cm ? " (cm) " : " (" + inches + ") "));
  Label[6]->SetCaption(cm ? "cm" : inches);
  Label[7]->SetCaption(cm ? "cm" : inches);
}

void TflkPrnForm2::SetLanguage(TMsgLanguage Value) {
  Language = Value;
  SetCaption(lkmsg(LKMSG_PRINT, Value));
  SetLanguage_units();
  Label[0]->SetCaption(lkmsg(LKMSG_TOP, Value));
  Label[1]->SetCaption(lkmsg(LKMSG_LEFT, Value));
  Label[2]->SetCaption(lkmsg(LKMSG_RIGHT, Value));
  Label[3]->SetCaption(lkmsg(LKMSG_BOTTOM, Value));
  GroupBox2->SetCaption(" " + lkmsg(LKMSG_POSITION, Value) + " ");
  GroupBox5->SetCaption(" " + lkmsg(LKMSG_PREVIEW, Value) + " ");
  GroupBox3->SetCaption(" " + lkmsg(LKMSG_SIZE, Value) + " ");
  const Integer index = ComboBox1->GetItemIndex();
  ComboBox1->GetItems()->Clear();
  for (TMsgLanguageWords w : {LKMSG_NORMAL, LKMSG_FITTOPAGE, LKMSG_STRETCHTOPAGE, LKMSG_SPECIFIEDSIZE})
    ComboBox1->GetItems()->Add(lkmsg(w, Value));
  ComboBox1->SetItemIndex(index);
  Label[4]->SetCaption(lkmsg(LKMSG_WIDTH, Value));
  Label[5]->SetCaption(lkmsg(LKMSG_HEIGHT, Value));
  GroupBox4->SetCaption(" " + lkmsg(LKMSG_GAMMACORRECTION, Value) + " ");
  Label[8]->SetCaption(lkmsg(LKMSG_VALUE2, Value));
  Button1->SetCaption(lkmsg(LKMSG_OK, Value));
  Button2->SetCaption(lkmsg(LKMSG_CANCEL, Value));
  Button4->SetCaption(lkmsg(LKMSG_PRINTSETUP, Value) + "...");
  GroupBox6->SetCaption(lkmsg(LKMSG_MEASUREUNITS, Value));
  Label[9]->SetCaption(lkmsg(LKMSG_UNITS, Value));
  ComboBox2->GetItems()->Put(0, lkmsg(LKMSG_INCHES, Value));
}

// ---------------------------------------------------------------------------
// The full-window preview

TflkPrnForm1::TflkPrnForm1(TComponent* Owner) : TflkPrnFormBase(Owner) {
  SetCaption("Print");
  SetBounds(0, 0, 900, 534);
  SetWindowState(wsMaximized);
  SetShowHint(true);
  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(28);
  Panel1->SetShowHint(true);
  Integer x = 4;
  auto next = [&x](Integer W) {
    const Integer at = x;
    x += W + 2;
    return at;
  };
  for (int i = 0; i < 9; ++i) {
    Grid[i] = new TRadioButton(this);
    Grid[i]->SetParent(Panel1);
    Grid[i]->SetBounds(next(18), 4, 18, 20);
    Grid[i]->SetHint(GridHints[i]);
  }
  const char* const hints[7] = {"Top Margin", "Left Margin", "Right Margin", "Bottom Margin", "Width", "Height",
                                "Gamma Correction"};
  const char* const texts[7] = {"1", "1", "1", "1", "6", "4", "1"};
  for (int i = 0; i < 4; ++i) {
    Edit[i] = NewEdit(Panel1, this, next(44), 3, 44, texts[i]);
    UpDown[i] = NewUpDown(Panel1, this, next(16), 3);
    Edit[i]->SetHint(hints[i]);
  }
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetParent(Panel1);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->SetBounds(next(110), 3, 110, 21);
  ComboBox1->SetHint("Location/size");
  for (int i = 4; i < 7; ++i) {
    Edit[i] = NewEdit(Panel1, this, next(44), 3, 44, texts[i]);
    UpDown[i] = NewUpDown(Panel1, this, next(16), 3);
    Edit[i]->SetHint(hints[i]);
  }
  auto button = [this, &next](const String& Caption, const String& Hint, Integer W) {
    auto* b = new TButton(this);
    b->SetParent(Panel1);
    b->SetBounds(next(W), 2, W, 24);
    b->SetCaption(Caption);
    b->SetHint(Hint);
    return b;
  };
  SpeedButton10 = button("Setup", "Print Setup", 50);
  SpeedButton11 = button("Print", "Print", 50);
  SpeedButton12 = button("&Close", "Close", 50);
  Preview = new TLKPrintPreviewPane(this);
  Preview->SetParent(this);
  Preview->SetAlign(alClient);
  WireControls(this);
  ShowSizeControls(false);

  MainMenu1 = new TMainMenu(this);
  auto item = [this](const String& Caption) {
    auto* m = new TMenuItem(this);
    m->SetCaption(Caption);
    return m;
  };
  File1 = item("&File");
  Print1 = item("&Print...");
  PrintSetup1 = item("P&rint Setup...");
  TMenuItem* n1 = item("-");
  Exit1 = item("&Close");
  File1->Add(Print1);
  File1->Add(PrintSetup1);
  File1->Add(n1);
  File1->Add(Exit1);
  MainMenu1->GetItems()->Add(File1);
  SetMenu(MainMenu1);

  ComboBox1->OnChange = [this](TObject*) {
    ShowSizeControls(ComboBox1->GetItemIndex() == lksSPECIFIEDSIZE);
    PrintPreview(false);
  };
  SpeedButton10->OnClick = [this](TObject*) { PrinterSetup(); };
  PrintSetup1->OnClick = [this](TObject*) { PrinterSetup(); };
  SpeedButton11->OnClick = [this](TObject*) { PrintPreview(true); };
  Print1->OnClick = [this](TObject*) { PrintPreview(true); };
  SpeedButton12->OnClick = [this](TObject*) {
    SaveParameters();
    SetModalResult(mrOk);
  };
  Exit1->OnClick = [this](TObject*) { SetModalResult(mrOk); };
  OnResize = [this](TObject*) { PrintPreview(false); };
}

// The menu goes before the components it is made of.
TflkPrnForm1::~TflkPrnForm1() { SetMenu(nullptr); }

bool TflkPrnForm1::CanPreview() const {
  auto* self = const_cast<TflkPrnForm1*>(this);
  return self->GetWidth() >= 100 && self->GetHeight() >= 100;
}

void TflkPrnForm1::SetLanguage(TMsgLanguage Value) {
  Language = Value;
  SetCaption(lkmsg(LKMSG_PRINT, Value));
  Print1->SetCaption(lkmsg(LKMSG_PRINT, Value));
  PrintSetup1->SetCaption(lkmsg(LKMSG_PRINTSETUP, Value) + "...");
  Exit1->SetCaption(lkmsg(LKMSG_CLOSE2, Value));
  lkprintformui::SetToolBarTexts(this, SpeedButton10, SpeedButton11, SpeedButton12, Value);
}

// ---------------------------------------------------------------------------
// The component's door

namespace {

template <typename F>
class TPrintFormAdapter : public TLKPrintForm {
 public:
  explicit TPrintFormAdapter(TComponent* Owner) : FForm(new F(Owner)) {}
  ~TPrintFormAdapter() override { delete FForm; }
  void SetLanguage(TMsgLanguage Language) override { FForm->SetLanguage(Language); }
  TObject* FormObject() override { return FForm; }
  bool ShowModal() override {
    FForm->IO = IO;
    FForm->MeasureUnit = MeasureUnit;
    FForm->TaskName = TaskName;
    FForm->Params = Params;
    FForm->PrintAnnotations = PrintAnnotations;
    if (!Caption.empty()) FForm->SetCaption(Caption);
    FForm->SetFont(Font);
    if constexpr (std::is_same_v<F, TflkPrnForm1>) FForm->SetBounds(0, 0, FForm->GetWidth(), FForm->GetHeight());
    return FForm->ShowModal() == mrOk;
  }

 private:
  F* FForm;
};

}  // namespace

std::unique_ptr<TLKPrintForm> LKCreatePrintForm(TLKDialogType Type, TComponent* Owner) {
  if (Type == lkdtDialog) return std::make_unique<TPrintFormAdapter<TflkPrnForm2>>(Owner);
  if (Type == lkdtMaxi) return std::make_unique<TPrintFormAdapter<TflkPrnForm1>>(Owner);
  return nullptr;
}
