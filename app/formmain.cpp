#include "app/formmain.h"

#include <cstdio>

#include "core/lkbitmap.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

const char* const kRawFilter =
    "Camera RAW (CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR)|"
    "*.crw;*.cr2;*.nef;*.raw;*.pef;*.raf;*.x3f;*.bay;*.orf;*.srf;*.mrw;*.dcr";

TFormMain* FormMain = nullptr;
String CurrentFile;
bool CheckBoxUpdating = false;

namespace {

// Runs an event handler, showing what it raises in the program's
// exception box: no exception ever crosses the window system's dispatch.
void Guarded(const std::function<void()>& Proc) { Application->HandleException(Proc); }

String Number(double Value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", Value);
  return buf;
}

template <typename T>
T* Make(TComponent* Owner, TWinControl* Parent, Integer L, Integer T_, Integer W, Integer H) {
  T* c = new T(Owner);
  c->SetParent(Parent);
  c->SetBounds(L, T_, W, H);
  return c;
}

}  // namespace

TFormMain::TFormMain(TComponent* AOwner) : TForm(AOwner) {
  FormMain = this;
  CreateComponents();
  LKInstallDefaultLZW();
  // The library's own camera RAW reader gives way to the plug-in.
  LKFileFormatRemove(lkftRAW);
  LKAddExtIOPlugin("rawdevlib.dll");
  SetCaption(Application->GetTitle().empty() ? String("Velmoran") : Application->GetTitle());
}

TFormMain::~TFormMain() {
  // The menu bar goes first: its items are freed with the other components,
  // after the form has stopped being a form.
  SetMenu(nullptr);
  if (FormMain == this) FormMain = nullptr;
}

void TFormMain::CreateComponents() {
  SetBounds(252, 112, 865, 603);
  SetPosition(poScreenCenter);
  SetColor(clBtnFace);
  SetCaption("Velmoran");

  Panel1 = Make<TPanel>(this, this, 0, 0, 297, 453);
  Panel1->SetAlign(alLeft);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetBorderWidth(4);
  Files = Make<TGroupBox>(this, Panel1, 4, 4, 289, 416);
  Files->SetCaption("Files");
  FileListView1 = new TFileListView(this);
  // The tree's first parenting makes its root ("/") and selects it.
  DirectoryTreeView1 = Make<TDirectoryTreeView>(this, Files, 2, 15, 285, 154);
  DirectoryTreeView1->SetAlign(alTop);
  DirectoryTreeView1->SetReadOnly(true);
  DirectoryTreeView1->SetIndent(19);
  // A splitter starts aligned to the left: it takes its edge before its place.
  RxSplitter1 = new TRxSplitter(this);
  RxSplitter1->SetAlign(alTop);
  RxSplitter1->SetParent(Files);
  RxSplitter1->SetBounds(2, 169, 285, 8);
  RxSplitter1->SetBevelOuter(bvNone);
  RxSplitter1->SetControlFirst(DirectoryTreeView1);
  RxSplitter1->SetControlSecond(FileListView1);
  RxSplitter1->SetTopLeftLimit(10);
  RxSplitter1->SetBottomRightLimit(10);
  FileListView1->SetParent(Files);
  FileListView1->SetBounds(2, 177, 285, 237);
  FileListView1->SetAlign(alClient);
  FileListView1->SetGridLines(true);
  FileListView1->SetMultiSelect(true);
  FileListView1->SetReadOnly(true);
  FileListView1->SetShowROFiles(true);
  FileListView1->SetMask("*.*");
  FileListView1->OnSelectItem = [this](TObject* S, TListItem* I, bool Sel) { FileListView1SelectItem(S, I, Sel); };
  Files->SetAlign(alClient);
  Panel2 = Make<TPanel>(this, Panel1, 4, 420, 289, 29);
  Panel2->SetAlign(alBottom);
  Panel2->SetBevelOuter(bvNone);
  Panel2->SetBorderWidth(4);
  Panel2->OnResize = [this](TObject* S) { Panel2Resize(S); };
  FilterComboBox1 = Make<TFilterComboBox>(this, Panel2, 0, 4, 277, 21);
  FilterComboBox1->SetAnchors(TAnchors{akLeft, akBottom});
  FilterComboBox1->SetFilter(kRawFilter);
  FilterComboBox1->OnChange = [this](TObject* S) { FilterComboBox1Change(S); };
  // The list shows the tree's folder, with every file until the window
  // is shown and the filter applies.
  DirectoryTreeView1->SetFileListView(FileListView1);

  RxSplitter2 = new TRxSplitter(this);
  RxSplitter2->SetAlign(alLeft);
  RxSplitter2->SetParent(this);
  RxSplitter2->SetBounds(297, 0, 8, 453);
  RxSplitter2->SetBevelOuter(bvNone);
  RxSplitter2->SetControlFirst(Panel1);
  RxSplitter2->SetTopLeftLimit(10);
  RxSplitter2->SetBottomRightLimit(10);

  Panel3 = Make<TPanel>(this, this, 305, 0, 552, 453);
  Panel3->SetAlign(alClient);
  Panel3->SetBevelOuter(bvNone);
  Panel3->SetBevelWidth(4);
  Panel3->SetBorderWidth(4);
  LumerakView1 = Make<TLumerakView>(this, Panel3, 4, 4, 544, 429);
  LumerakView1->SetAlign(alClient);
  LumerakView1->SetZoomFilter(rfFastLinear);
  LumerakView1->SetMouseInteract(TLKMouseInteract{miScroll, miZoom});
  LumerakView1->SetEnableAlphaChannel(true);
  // The pointer passing over the view leaves the keyboard focus where the
  // user put it (arrow keys keep browsing the file list): the view takes
  // the focus when it is pressed.
  LumerakView1->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, Integer, Integer) {
    if (LumerakView1->CanFocus() && !LumerakView1->Focused()) LumerakView1->SetFocus();
  };
  LumerakView1->OnDblClick = [this](TObject* S) { LumerakView1DblClick(S); };
  ProgressBar1 = Make<TProgressBar>(this, Panel3, 4, 433, 544, 16);
  ProgressBar1->SetAlign(alBottom);
  ProgressBar1->SetMin(0);
  ProgressBar1->SetMax(100);

  GroupBox1 = Make<TGroupBox>(this, this, 0, 453, 857, 104);
  GroupBox1->SetAlign(alBottom);
  GroupBox1->SetCaption("Settings");
  auto check = [this](Integer L, Integer T, Integer W, const char* Caption) {
    TCheckBox* c = Make<TCheckBox>(this, GroupBox1, L, T, W, 17);
    c->SetCaption(Caption);
    return c;
  };
  CheckBoxAutoAdjustColors = check(16, 24, 145, "Auto Adjust Colors");
  CheckBoxUseAutoWB = check(16, 48, 113, "Use Auto WB");
  CheckBoxUseCameraWB = check(16, 72, 121, "Use Camera WB");
  CheckBoxFourColorRGB = check(168, 24, 129, "Four Color RGB");
  CheckBoxQuickInterpolate = check(360, 24, 129, "Quick Interpolate");
  CheckBoxQuickInterpolate->SetChecked(true);
  CheckBoxAutoAdjustColors->OnClick = [this](TObject* S) { CheckBoxAutoAdjustColorsClick(S); };
  CheckBoxUseAutoWB->OnClick = [this](TObject* S) { CheckBoxUseAutoWBClick(S); };
  CheckBoxUseCameraWB->OnClick = [this](TObject* S) { CheckBoxUseCameraWBClick(S); };
  auto label = [this](Integer L, Integer W, const char* Caption) {
    TLabel* l = Make<TLabel>(this, GroupBox1, L, 56, W, 13);
    l->SetCaption(Caption);
    return l;
  };
  auto spin = [this](Integer L, double Value) {
    TRxSpinEdit* s = Make<TRxSpinEdit>(this, GroupBox1, L, 72, 65, 21);
    s->SetValueType(vtFloat);
    s->SetValue(Value);
    return s;
  };
  Label1 = label(168, 51, "Blue Scale");
  SpinEditBlueScale = spin(168, 1);
  Label4 = label(264, 47, "RedScale");
  SpinEditRedScale = spin(264, 1);
  Label3 = label(360, 36, "Gamma");
  SpinEditGamma = spin(360, 0.6);
  Label2 = label(456, 27, "Bright");
  SpinEditBright = spin(456, 1);
  BitBtnRefresh = Make<TButton>(this, GroupBox1, 775, 72, 75, 25);
  BitBtnRefresh->SetCaption("Refresh");
  BitBtnRefresh->SetAnchors(TAnchors{akRight, akBottom});
  BitBtnRefresh->OnClick = [this](TObject* S) { BitBtnRefreshClick(S); };

  LumerakIO1 = new TLumerakIO(this);
  LumerakIO1->SetAttachedLumerak(LumerakView1);
  LumerakIO1->OnProgress = [this](TObject* S, Integer P) { LumerakIO1Progress(S, P); };
  LumerakProc1 = new TLumerakProc(this);
  LumerakProc1->SetAttachedLumerak(LumerakView1);

  MainMenu1 = new TMainMenu(this);
  auto item = [this](TMenuItem* Parent, const char* Caption, std::function<void()> Click) {
    TMenuItem* m = new TMenuItem(this);
    m->SetCaption(Caption);
    if (Click) m->OnClick = [Click](TObject*) { Click(); };
    Parent->Add(m);
    return m;
  };
  File1 = item(MainMenu1->GetItems(), "File", nullptr);
  SaveAs1 = item(File1, "Save As ...", [this] { SaveAs1Click(SaveAs1); });
  Image1 = item(MainMenu1->GetItems(), "Image", nullptr);
  ColorAdjust1 = item(Image1, "Color Adjust ...", [this] { ColorAdjust1Click(ColorAdjust1); });
  Effects1 = item(Image1, "Effects ...", [this] { Effects1Click(Effects1); });
  Crop1 = item(Image1, "Crop Selected", [this] { Crop1Click(Crop1); });
  SetMenu(MainMenu1);

  OnResize = [this](TObject* S) { FormResize(S); };
  OnShow = [this](TObject* S) { FormShow(S); };
  OnClose = [this](TObject* S, TCloseAction& A) { FormClose(S, A); };
}

void TFormMain::FormResize(TObject*) { DirectoryTreeView1->SetHeight(GetHeight() / 3); }

void TFormMain::FormShow(TObject*) {
  FileListView1->SetMask(FilterComboBox1->GetMask());
  for (TRxSpinEdit* s : {SpinEditBlueScale, SpinEditRedScale, SpinEditBright, SpinEditGamma}) s->SetIncrement(0.1);
}

void TFormMain::FormClose(TObject*, TCloseAction&) {}

void TFormMain::Panel2Resize(TObject*) { FilterComboBox1->SetWidth(Panel2->GetWidth()); }

void TFormMain::FilterComboBox1Change(TObject*) {
  Guarded([this] { FileListView1->SetMask(FilterComboBox1->GetMask()); });
}

void TFormMain::FileListView1SelectItem(TObject*, TListItem*, bool Selected) {
  if (!Selected) return;
  const String path = FileListView1->GetDirectory() + FileListView1->GetSelectedFile();
  if (path == CurrentFile || FileListView1->GetSelectedFile().empty()) return;
  const String previous = CurrentFile;
  Guarded([&] {
    CurrentFile = path;
    LumerakIO1->GetIOParams()->JPEG_ENABLEADJUSTORIENTATION = true;
    LumerakIO1->GetIOParams()->TIFF_ENABLEADJUSTORIENTATION = true;
    try {
      SetAndLoad(CurrentFile);
    } catch (...) {
      // A file that could not be opened is not the current one: choosing
      // it again tries again.
      CurrentFile = previous;
      ProgressBar1->SetPosition(0);
      throw;
    }
    LumerakView1->Fit();
  });
}

void TFormMain::SetAndLoad(const String& FileName) {
  TIOParamsVals* p = LumerakIO1->GetIOParams();
  p->SetProperty("RAW_AUTOADJUSTCOLORS", CheckBoxAutoAdjustColors->GetChecked() ? "TRUE" : "FALSE");
  p->SetProperty("RAW_BLUESCALE", Number(double(SpinEditBlueScale->GetValue())));
  p->SetProperty("RAW_REDSCALE", Number(double(SpinEditRedScale->GetValue())));
  p->SetProperty("RAW_BRIGHT", Number(double(SpinEditBright->GetValue())));
  p->SetProperty("RAW_FOURCOLORRGB", CheckBoxFourColorRGB->GetChecked() ? "TRUE" : "FALSE");
  p->SetProperty("RAW_GAMMA", Number(double(SpinEditGamma->GetValue())));
  p->SetProperty("RAW_QUICKINTERPOLATE", CheckBoxQuickInterpolate->GetChecked() ? "TRUE" : "FALSE");
  p->SetProperty("RAW_USEAUTOWB", CheckBoxUseAutoWB->GetChecked() ? "TRUE" : "FALSE");
  p->SetProperty("RAW_USECAMERAWB", CheckBoxUseCameraWB->GetChecked() ? "TRUE" : "FALSE");

  // A new picture comes: the selection drawn on the old one goes with it.
  LumerakView1->DeSelect();
  // A file that cannot be developed (damaged, not a camera file, empty,
  // gone) leaves the view empty: what was shown belongs to another file and
  // must not stand under this one's name, nor may a half-decoded picture.
  const auto clear = [this] {
    LumerakView1->GetLKBitmap()->FreeImage();
    LumerakView1->Update();
  };
  try {
    LumerakIO1->LoadFromFileRAW(FileName);
  } catch (...) {
    clear();
    ProgressBar1->SetPosition(0);
    throw;
  }
  if (LumerakIO1->GetAborted()) clear();
  ProgressBar1->SetPosition(0);
}

void TFormMain::BitBtnRefreshClick(TObject*) {
  if (FileListView1->GetSelCount() == 0 || FileListView1->GetSelectedFile().empty()) return;
  Guarded([this] {
    CurrentFile = FileListView1->GetDirectory() + FileListView1->GetSelectedFile();
    SetAndLoad(CurrentFile);
  });
}

void TFormMain::LumerakIO1Progress(TObject*, Integer Percent) {
  ProgressBar1->SetPosition(Percent);
  // The load runs on the main thread: draw the bar now.
  ProgressBar1->Repaint();
}

void TFormMain::LumerakView1DblClick(TObject*) {
  if (!LumerakView1->GetSelected()) return;
  Guarded([this] {
    LumerakProc1->CropSel();
    ProgressBar1->SetPosition(0);
    LumerakView1->SetMouseInteract(TLKMouseInteract{miScroll});
  });
}

void TFormMain::ExclusiveClick(TCheckBox* Clicked) {
  if (CheckBoxUpdating) {
    CheckBoxUpdating = false;
    return;
  }
  CheckBoxUpdating = true;
  for (TCheckBox* other : {CheckBoxAutoAdjustColors, CheckBoxUseAutoWB, CheckBoxUseCameraWB}) {
    if (other == Clicked || !other->GetChecked()) continue;
    other->SetChecked(false);
    CheckBoxUpdating = true;
  }
  CheckBoxUpdating = false;
  const bool manual = !CheckBoxAutoAdjustColors->GetChecked();
  SpinEditBright->SetEnabled(manual);
  Label2->SetEnabled(manual);
}

void TFormMain::CheckBoxAutoAdjustColorsClick(TObject*) { ExclusiveClick(CheckBoxAutoAdjustColors); }
void TFormMain::CheckBoxUseAutoWBClick(TObject*) { ExclusiveClick(CheckBoxUseAutoWB); }
void TFormMain::CheckBoxUseCameraWBClick(TObject*) { ExclusiveClick(CheckBoxUseCameraWB); }

void TFormMain::SaveAs1Click(TObject*) {
  Guarded([this] {
    const String name = LumerakIO1->ExecuteSaveDialog("", CurrentFile, false, 3, "");
    try {
      if (!name.empty()) {
        LumerakIO1->SaveToFile(name);
        // A name whose extension no format writes, or a writer that gave up,
        // only raises the abort flag: say so rather than let the user think
        // the picture was saved.
        if (LumerakIO1->GetAborted()) {
          const String reason = LumerakIO1->GetAbortReason();
          throw Exception("The picture was not saved as \"" + name + "\"" +
                          (reason.empty() ? String(".") : ": " + reason + "."));
        }
      }
    } catch (...) {
      ProgressBar1->SetPosition(0);
      throw;
    }
  });
  ProgressBar1->SetPosition(0);
}

void TFormMain::ColorAdjust1Click(TObject*) {
  Guarded([this] {
    LumerakProc1->DoPreviews(
        TPreviewEffects{peContrast, peHSV, peHSL, peRGB, peEqualize, peFFT, peGamma, peSharpen});
  });
  ProgressBar1->SetPosition(0);
}

void TFormMain::Effects1Click(TObject*) {
  Guarded([this] { LumerakProc1->DoPreviews(TPreviewEffects{peUserFilt, peBumpMap, peLens, peWave, peMorph, peRotate}); });
  ProgressBar1->SetPosition(0);
}

void TFormMain::Crop1Click(TObject*) { LumerakView1->SetMouseInteract(TLKMouseInteract{miSelect}); }
