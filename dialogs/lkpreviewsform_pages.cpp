// The pages of the preview dialog: their controls, how each loads its values,
// applies its operation and writes its values back, and the value handlers.
#include <algorithm>
#include <cmath>

#include "dialogs/lkformkit.h"
#include "dialogs/lkhistogrambox.h"
#include "dialogs/lkhsvbox.h"
#include "dialogs/lkpreviewsform.h"
#include "dialogs/lkrulerbox.h"
#include "platform/sysutils.h"
#include "processing/lkbwconv.h"
#include "processing/lkcolorconv.h"
#include "processing/lkconvolve.h"
#include "processing/lkdistort.h"
#include "processing/lkfft.h"
#include "processing/lkgaussian.h"
#include "processing/lkmorph.h"
#include "processing/lkprocutils.h"
#include "processing/lkrotate.h"
#include "processing/lktone.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

using namespace lkformkit;

String IntText(Integer V) { return std::to_string(V); }

}  // namespace

// ---------------------------------------------------------------------------
// Building
// ---------------------------------------------------------------------------

void TfPreviews::BuildPages() {
  for (TLKPreviewPage p : {ppContrast, ppHSV, ppHSL, ppRGB, ppUserFilter, ppEqualization, ppBumpMap, ppLens, ppWave,
                           ppMorph, ppRotate, ppFFT, ppGamma, ppSharpen})
    AddPage(p);
  for (auto& t : FTriples) t = std::make_unique<TTriple>();

  // Contrast
  {
    TTabSheet* s = Pages[ppContrast];
    LabelContrast = MakeLabel(s, 8, 8, "&Contrast:");
    Edit1 = MakeEdit(s, 8, 24, 50, "0");
    TrackBar1 = MakeTrack(s, 64, 20, 420, -100, 100, 10);
    LabelBrightness = MakeLabel(s, 8, 60, "&Brightness:");
    Edit21 = MakeEdit(s, 8, 76, 50, "0");
    TrackBar12 = MakeTrack(s, 64, 72, 420, -100, 100, 10);
    TTriple& t = *FTriples[0];
    t.Count = 2;
    t.Edits[0] = Edit1, t.Edits[1] = Edit21;
    t.Bars[0] = TrackBar1, t.Bars[1] = TrackBar12;
    t.Values[0] = &FWork.ContrastContrast, t.Values[1] = &FWork.ContrastBrightness;
  }
  // HSV
  {
    TTabSheet* s = Pages[ppHSV];
    const char* caps[3] = {"&Hue (H):", "&Saturation (S):", "&Value (V):"};
    TTriple& t = *FTriples[1];
    t.Count = 3;
    TEdit** edits[3] = {&Edit19, &Edit18, &Edit17};
    TTrackBar** bars[3] = {&TrackBar9, &TrackBar10, &TrackBar11};
    const Integer lim[3] = {180, 100, 100};
    for (int i = 0; i < 3; ++i) {
      LabelHSV[i] = MakeLabel(s, 8, 4 + i * 50, caps[i]);
      *edits[i] = MakeEdit(s, 8, 20 + i * 50, 50, "0");
      *bars[i] = MakeTrack(s, 64, 16 + i * 50, 250, -lim[i], lim[i], 10);
      t.Edits[i] = *edits[i];
      t.Bars[i] = *bars[i];
    }
    t.Values[0] = &FWork.HSV_H, t.Values[1] = &FWork.HSV_S, t.Values[2] = &FWork.HSV_V;
    LabelBaseColor = MakeLabel(s, 322, 4, "Base color:");
    LabelNewColor = MakeLabel(s, 416, 4, "New color:");
    HSVBox3 = new THSVBox(this);
    HSVBox3->SetParent(s);
    HSVBox3->SetBounds(322, 20, 88, 88);
    HSVBox1 = new THSVBox(this);
    HSVBox1->SetParent(s);
    HSVBox1->SetBounds(416, 20, 88, 88);
    HSVBox3->OnChange = [this](TObject*) { HSVColorsChange(); };
    HSVBox1->OnChange = [this](TObject*) { HSVColorsChange(); };
  }
  // HSL and RGB
  {
    struct TDef {
      TLKPreviewPage Page;
      int Triple;
      const char* Caps[3];
      TEdit** Edits[3];
      TTrackBar** Bars[3];
      TLabel** Labels;
      Integer Lim[3];
      Integer* Values[3];
    };
    TDef defs[2] = {
        {ppHSL, 2, {"&Hue (H):", "&Saturation (S):", "&Luminosity (L):"}, {&Edit4, &Edit2, &Edit3},
         {&TrackBar2, &TrackBar3, &TrackBar5}, LabelHSL, {180, 100, 100}, {&FWork.HSL_H, &FWork.HSL_S, &FWork.HSL_L}},
        {ppRGB, 3, {"&Red (R):", "&Green (G):", "&Blue (B):"}, {&Edit7, &Edit6, &Edit5},
         {&TrackBar6, &TrackBar7, &TrackBar8}, LabelRGB, {255, 255, 255}, {&FWork.RGB_R, &FWork.RGB_G, &FWork.RGB_B}},
    };
    for (TDef& d : defs) {
      TTabSheet* s = Pages[d.Page];
      TTriple& t = *FTriples[d.Triple];
      t.Count = 3;
      for (int i = 0; i < 3; ++i) {
        d.Labels[i] = MakeLabel(s, 8, 4 + i * 50, d.Caps[i]);
        *d.Edits[i] = MakeEdit(s, 8, 20 + i * 50, 50, "0");
        *d.Bars[i] = MakeTrack(s, 64, 16 + i * 50, 420, -d.Lim[i], d.Lim[i], 10);
        t.Edits[i] = *d.Edits[i];
        t.Bars[i] = *d.Bars[i];
        t.Values[i] = d.Values[i];
      }
    }
  }
  for (auto& tp : FTriples) {
    TTriple* t = tp.get();
    for (int i = 0; i < t->Count; ++i) {
      t->Bars[i]->OnChange = [this, t](TObject*) { TripleTrackChange(*t); };
      t->Edits[i]->OnChange = [this, t](TObject*) { TripleEditChange(*t); };
    }
  }
  // User filter
  {
    TTabSheet* s = Pages[ppUserFilter];
    GroupFilterValues = MakeGroup(s, 8, 4, 230, 150, " Filter values");
    for (int tag = 0; tag < 9; ++tag) {
      TEdit* e = MakeEdit(GroupFilterValues, 10 + (tag % 3) * 70, 20 + (tag / 3) * 30, 40, tag == 4 ? "1" : "0");
      e->SetTag(tag);
      KernelEdits[tag] = e;
    }
    LabelDivisor = MakeLabel(GroupFilterValues, 10, 118, "Divisor:");
    KernelEdits[9] = MakeEdit(GroupFilterValues, 80, 114, 40, "0");
    KernelEdits[9]->SetTag(9);
    for (int tag = 0; tag < 10; ++tag) {
      KernelUpDowns[tag] = MakeUpDown(KernelEdits[tag], -100, 100, 1);
      KernelEdits[tag]->OnChange = [this](TObject* Sender) { KernelEditChange(Sender); };
    }
    Button4 = new TButton(this);
    Button4->SetParent(s);
    Button4->SetBounds(8, 160, 75, 25);
    Button4->SetCaption("&Load");
    Button4->OnClick = [this](TObject*) {
      String name;
      // A missing or damaged file is reported and the kernel stays as it was.
      if (OnChooseFilterFile && OnChooseFilterFile(false, name))
        Application->HandleException([&] { LoadFilterFile(name); });
    };
    Button5 = new TButton(this);
    Button5->SetParent(s);
    Button5->SetBounds(90, 160, 75, 25);
    Button5->SetCaption("&Save");
    Button5->OnClick = [this](TObject*) {
      String name;
      if (OnChooseFilterFile && OnChooseFilterFile(true, name))
        Application->HandleException([&] { SaveFilterFile(name); });
    };
    GroupPresets = MakeGroup(s, 246, 4, 260, 180, " Presets");
    ListBox1 = new TListBox(this);
    ListBox1->SetParent(GroupPresets);
    ListBox1->SetBounds(8, 18, 244, 154);
    ListBox1->OnClick = [this](TObject*) {
      const TGraphFilter* f = LKGetFilter(ListBox1->GetItemIndex());
      if (f == nullptr) return;
      FKernel = *f;
      LoadFilt();
      UpdatePreview();
    };
  }
  // Equalization
  {
    TTabSheet* s = Pages[ppEqualization];
    auto* panel = new TPanel(this);
    panel->SetParent(s);
    panel->SetBounds(8, 4, 295, 176);
    RulerBox2 = new TRulerBox(this);
    RulerBox2->SetParent(panel);
    RulerBox2->SetBounds(2, 2, 289, 20);
    RulerBox2->SetRuler(false);
    RulerBox2->SetGripsDir(gdDown);
    RulerBox2->SetRulerColor(clGray);
    HistogramBox1 = new THistogramBox(this);
    HistogramBox1->SetParent(panel);
    HistogramBox1->SetBounds(2, 22, 289, 110);
    HistogramBox1->SetBackground(clSilver);
    HistogramBox1->SetLabels({});
    RulerBox1 = new TRulerBox(this);
    RulerBox1->SetParent(panel);
    RulerBox1->SetBounds(2, 132, 289, 40);
    for (TRulerBox* r : {RulerBox1, RulerBox2}) {
      r->SetBackground(clSilver);
      r->SetGripsCount(2);
      r->SetDPU(1.1333);
      r->SetFrequency(16);
      r->SetLabelFreq(32);
      r->SetViewMax(255);
    }
    RulerBox2->SetFitInView(true);
    RulerBox1->OnRulerPosChange = [this](TObject*, Integer g) { EqualizationRulerChange(true, g); };
    RulerBox2->OnRulerPosChange = [this](TObject*, Integer g) { EqualizationRulerChange(false, g); };
    LabelThreshold = MakeLabel(s, 312, 4, "Threshold");
    Label16 = MakeLabel(s, 312, 20, "0");
    Label17 = MakeLabel(s, 380, 20, "255");
    LabelEqualization = MakeLabel(s, 312, 40, "Equalization");
    Label20 = MakeLabel(s, 312, 56, "0");
    Label21 = MakeLabel(s, 380, 56, "255");
    SpeedButton3 = MakeCheck(s, 312, 76, "Equalize");
    SpeedButton3->OnClick = [this](TObject*) {
      if (FChangeGuard) UpdatePreview();
    };
    GroupHistogram = MakeGroup(s, 312, 96, 190, 88, " Histogram ");
    CheckListBox1 = new TCheckListBox(this);
    CheckListBox1->SetParent(GroupHistogram);
    CheckListBox1->SetBounds(8, 16, 174, 64);
    CheckListBox1->OnClickCheck = [this](TObject*) { HistogramChannelsChange(); };
  }
  // Bump map
  {
    TTabSheet* s = Pages[ppBumpMap];
    GroupLight = MakeGroup(s, 8, 4, 300, 150, " Light ");
    const char* caps[4] = {"Left:", "Top:", "Width:", "Height:"};
    TEdit** edits[4] = {&Edit22, &Edit23, &Edit24, &Edit25};
    for (int i = 0; i < 4; ++i) {
      LabelBump[i] = MakeLabel(GroupLight, 10, 20 + i * 30, caps[i]);
      *edits[i] = MakeEdit(GroupLight, 70, 16 + i * 30, 60, "0");
      MakeUpDown(*edits[i], 0, 32767, 10);
    }
    LabelBump[4] = MakeLabel(GroupLight, 160, 20, "Color:");
    HSVBox2 = new THSVBox(this);
    HSVBox2->SetParent(GroupLight);
    HSVBox2->SetBounds(160, 36, 105, 105);
    HSVBox2->OnChange = [this](TObject*) {
      FWork.BumpCol = CreateRGB(HSVBox2->GetRed(), HSVBox2->GetGreen(), HSVBox2->GetBlue());
      UpdatePreview();
    };
    LabelBump[5] = MakeLabel(s, 320, 8, "Source image quantity (%):");
    Edit26 = MakeEdit(s, 320, 24, 60, "0");
    MakeUpDown(Edit26, 0, 100, 10);
    for (TEdit* e : {Edit22, Edit23, Edit24, Edit25, Edit26}) e->OnChange = [this](TObject*) { GeometryEditChange(); };
  }
  // Lens
  {
    TTabSheet* s = Pages[ppLens];
    GroupLens = MakeGroup(s, 8, 4, 300, 180, " Lens ");
    const char* caps[5] = {"Left:", "Top:", "Width:", "Height:", "Refraction:"};
    TEdit** edits[5] = {&Edit27, &Edit28, &Edit29, &Edit30, &Edit31};
    for (int i = 0; i < 5; ++i) {
      LabelLens[i] = MakeLabel(GroupLens, 10, 20 + i * 30, caps[i]);
      *edits[i] = MakeEdit(GroupLens, 90, 16 + i * 30, 60, "0");
      MakeUpDown(*edits[i], 0, 32767, i < 4 ? 10 : 1);
      (*edits[i])->OnChange = [this](TObject*) { GeometryEditChange(); };
    }
  }
  // Wave
  {
    TTabSheet* s = Pages[ppWave];
    GroupWave = MakeGroup(s, 8, 4, 300, 150, " Wave ");
    const char* caps[3] = {"Amplitude:", "Wave length:", "Phase:"};
    TEdit** edits[3] = {&Edit32, &Edit33, &Edit34};
    const Integer max[3] = {32767, 32767, 359};
    for (int i = 0; i < 3; ++i) {
      LabelWave[i] = MakeLabel(GroupWave, 10, 20 + i * 30, caps[i]);
      *edits[i] = MakeEdit(GroupWave, 90, 16 + i * 30, 60, "0");
      MakeUpDown(*edits[i], 0, max[i], 1);
      (*edits[i])->OnChange = [this](TObject*) { GeometryEditChange(); };
    }
    CheckBox2 = MakeCheck(GroupWave, 10, 110, "Reflective");
    CheckBox2->OnClick = [this](TObject*) { GeometryEditChange(); };
  }
  // Morph filters
  {
    TTabSheet* s = Pages[ppMorph];
    GroupMorph = MakeGroup(s, 8, 4, 300, 150, " Morph filters ");
    LabelMorphFilter = MakeLabel(GroupMorph, 10, 20, "Filter:");
    ListBox2 = new TListBox(this);
    ListBox2->SetParent(GroupMorph);
    ListBox2->SetBounds(10, 36, 140, 70);
    ListBox2->OnClick = [this](TObject*) { GeometryEditChange(); };
    LabelMorphWindow = MakeLabel(GroupMorph, 170, 20, "Window size:");
    Edit35 = MakeEdit(GroupMorph, 170, 36, 50, "1");
    MakeUpDown(Edit35, 1, 64, 1);
    Edit35->OnChange = [this](TObject*) { GeometryEditChange(); };
  }
  // Rotate
  {
    TTabSheet* s = Pages[ppRotate];
    LabelRotate = MakeLabel(s, 8, 8, "&Rotate:");
    EditRotate = MakeEdit(s, 8, 24, 60, "0");
    TrackBarRotate = MakeTrack(s, 76, 20, 420, -18000, 18000, 500);
    TrackBarRotate->OnChange = [this](TObject*) { RotateTrackChange(); };
    EditRotate->OnChange = [this](TObject*) { RotateEditChange(); };
    LabelFlip = MakeLabel(s, 8, 70, "Flip:");
    CheckBox3 = MakeCheck(s, 8, 88, "Horizontally");
    CheckBox4 = MakeCheck(s, 8, 108, "Vertically");
    for (TCheckBox* c : {CheckBox3, CheckBox4})
      c->OnClick = [this](TObject*) {
        if (FChangeGuard) UpdatePreview();
      };
  }
  // FFT
  {
    TTabSheet* s = Pages[ppFFT];
    GroupFFT = MakeGroup(s, 8, 4, 200, 184, " Frequency domain image ");
    LumerakView1 = new TLumerak(this);
    LumerakView1->SetParent(GroupFFT);
    LumerakView1->SetBounds(8, 16, 184, 144);
    LumerakView1->SetBorderStyle(bsNone);
    LumerakView1->SetExternalBitmap(&FSpectrum);
    LumerakView1->SetMouseInteract({miSelect, miZoom});
    LumerakView1->SetSelectionBase(lksbBitmap);
    ProgressBar1 = new TProgressBar(this);
    ProgressBar1->SetParent(GroupFFT);
    ProgressBar1->SetBounds(8, 164, 184, 14);
    ProgressBar1->SetMin(0);
    ProgressBar1->SetMax(100);
    ButtonClear = MakeButton(s, 216, 12, 75, "Clear");
    ButtonClear->OnClick = [this](TObject*) {
      // Refreshes whatever the Lock Preview state.
      const bool guard = FChangeGuard;
      FChangeGuard = true;
      UpdatePreview(true);
      FChangeGuard = guard;
    };
    Button7 = MakeButton(s, 216, 44, 75, "Reset");
    Button7->OnClick = [this](TObject*) {
      LumerakView1->DeSelect();
      CopyOrg();
    };
    CheckBox1 = MakeCheck(s, 216, 80, "Gray scale");
    CheckBox1->SetChecked(true);
    CheckBox1->OnClick = [this](TObject*) {
      if (FChangeGuard && ActivePage() == ppFFT) CopyOrg();
    };
  }
  // Gamma Correction
  {
    TTabSheet* s = Pages[ppGamma];
    LabelGamma = MakeLabel(s, 8, 8, "Gamma Correction:");
    edtGamma = MakeEdit(s, 8, 24, 60, "1");
    edtGamma->SetReadOnly(true);
    trkGamma = MakeTrack(s, 76, 20, 200, 1, 100, 10);
    trkGamma->OnChange = [this](TObject*) { GammaTrackChange(); };
    GroupChannels = MakeGroup(s, 8, 60, 120, 90, "Channels");
    cbxGamma = new TCheckListBox(this);
    cbxGamma->SetParent(GroupChannels);
    cbxGamma->SetBounds(8, 16, 104, 66);
    for (const char* c : {"Red", "Green", "Blue"}) cbxGamma->GetItems()->Add(c);
    cbxGamma->OnClickCheck = [this](TObject*) {
      DrawGammaGraph(trkGamma->GetPosition() / 10.0);
      UpdatePreview();
    };
    LumerakView2 = new TLKCurveBox(this);
    LumerakView2->SetParent(s);
    LumerakView2->SetBounds(300, 20, 150, 150);
    MakeLabel(s, 290, 172, "0");
    MakeLabel(s, 440, 172, "255");
  }
  // Sharpen
  {
    TTabSheet* s = Pages[ppSharpen];
    LabelSharpenAmp = MakeLabel(s, 8, 8, "Amplitude:");
    Edit36 = MakeEdit(s, 8, 24, 50, "1");
    TrackBar4 = MakeTrack(s, 64, 20, 420, 1, 50, 1);
    LabelSharpenWin = MakeLabel(s, 8, 60, "Window size:");
    Edit37 = MakeEdit(s, 8, 76, 50, "1");
    MakeUpDown(Edit37, 1, 64, 1);
    TrackBar4->OnChange = [this](TObject*) { SharpenTrackChange(); };
    Edit37->OnChange = [this](TObject*) { SharpenTrackChange(); };
    Edit36->OnChange = [this](TObject*) { SharpenEditChange(); };
  }
}

// ---------------------------------------------------------------------------
// Loading and writing back
// ---------------------------------------------------------------------------

void TfPreviews::LoadPage(TLKPreviewPage Page) {
  const TIPDialogParams& P = *FParams;
  auto fillTriple = [&](TTriple& t) {
    for (int i = 0; i < t.Count; ++i) {
      t.Edits[i]->SetText(IntText(*t.Values[i]));
      t.Bars[i]->SetPosition(*t.Values[i]);
    }
  };
  switch (Page) {
    case ppContrast:
      _GetMediaContrastRGB(&FSource, FMeanR, FMeanG, FMeanB);
      FWork.ContrastContrast = P.ContrastContrast;
      FWork.ContrastBrightness = P.ContrastBrightness;
      fillTriple(*FTriples[0]);
      break;
    case ppHSV:
      FWork.HSV_H = P.HSV_H, FWork.HSV_S = P.HSV_S, FWork.HSV_V = P.HSV_V;
      fillTriple(*FTriples[1]);
      break;
    case ppHSL:
      FWork.HSL_H = P.HSL_H, FWork.HSL_S = P.HSL_S, FWork.HSL_L = P.HSL_L;
      fillTriple(*FTriples[2]);
      break;
    case ppRGB:
      FWork.RGB_R = P.RGB_R, FWork.RGB_G = P.RGB_G, FWork.RGB_B = P.RGB_B;
      fillTriple(*FTriples[3]);
      break;
    case ppUserFilter:
      std::copy(std::begin(P.UserFilterValues), std::end(P.UserFilterValues), FKernel.Values);
      FKernel.Divisor = P.UserFilterDivisor;
      if (ListBox1->GetItems()->GetCount() > 0) ListBox1->SetItemIndex(0);
      LoadFilt();
      break;
    case ppEqualization:
      FWork.EqThresholdDown = P.EqThresholdDown, FWork.EqThresholdUp = P.EqThresholdUp;
      FWork.EqDown = P.EqDown, FWork.EqUp = P.EqUp;
      SpeedButton3->SetChecked(false);
      for (Integer i = 0; i < 4; ++i) CheckListBox1->SetChecked(i, i == 3);
      // The histogram is the one of the original shown on the left.
      HistogramBox1->SetAttachedLumerakProc(Lumerak1->GetLumerakProc());
      HistogramBox1->SetHistogramKind({hkGray});
      RulerBox1->SetGripsPos(0, FWork.EqThresholdDown.r);
      RulerBox1->SetGripsPos(1, FWork.EqThresholdUp.r);
      RulerBox2->SetGripsPos(0, FWork.EqDown.r);
      RulerBox2->SetGripsPos(1, FWork.EqUp.r);
      for (TRulerBox* r : {RulerBox1, RulerBox2})
        for (Integer g = 0; g < 2; ++g) {
          r->SetGripsKind(g, gkArrow2);
          r->SetGripsCol(g, 8421504);
        }
      break;
    case ppBumpMap: {
      const Integer half = std::max(FSource.GetWidth(), FSource.GetHeight()) / 2;
      if (P.BumpAuto) {
        FWork.BumpLeft = FSource.GetWidth() / 2, FWork.BumpTop = FSource.GetHeight() / 2;
        FWork.BumpWidth = FWork.BumpHeight = half;
      } else {
        FWork.BumpLeft = P.BumpLeft, FWork.BumpTop = P.BumpTop;
        FWork.BumpWidth = P.BumpWidth, FWork.BumpHeight = P.BumpHeight;
      }
      FWork.BumpCol = P.BumpCol;
      FWork.BumpSrc = P.BumpSrc;
      Edit22->SetText(IntText(FWork.BumpLeft));
      Edit23->SetText(IntText(FWork.BumpTop));
      Edit24->SetText(IntText(FWork.BumpWidth));
      Edit25->SetText(IntText(FWork.BumpHeight));
      Edit26->SetText(IntText(FWork.BumpSrc));
      HSVBox2->SetRGB(FWork.BumpCol.r, FWork.BumpCol.g, FWork.BumpCol.b);
      break;
    }
    case ppLens: {
      const Integer half = std::max(FSource.GetWidth(), FSource.GetHeight()) / 2;
      if (P.LensAuto) {
        FWork.LensLeft = FSource.GetWidth() / 2, FWork.LensTop = FSource.GetHeight() / 2;
        FWork.LensWidth = FWork.LensHeight = half;
      } else {
        FWork.LensLeft = P.LensLeft, FWork.LensTop = P.LensTop;
        FWork.LensWidth = P.LensWidth, FWork.LensHeight = P.LensHeight;
      }
      FWork.LensRef = P.LensRef;
      Edit27->SetText(IntText(FWork.LensLeft));
      Edit28->SetText(IntText(FWork.LensTop));
      Edit29->SetText(IntText(FWork.LensWidth));
      Edit30->SetText(IntText(FWork.LensHeight));
      Edit31->SetText(IntText(LKTrunc(std::clamp(FWork.LensRef * 10 - 10, -1e9, 1e9))));
      break;
    }
    case ppWave:
      FWork.WaveAmplitude = P.WaveAmplitude, FWork.WaveLength = P.WaveLength;
      FWork.WavePhase = P.WavePhase, FWork.WaveReflect = P.WaveReflect;
      Edit32->SetText(IntText(FWork.WaveAmplitude));
      Edit33->SetText(IntText(FWork.WaveLength));
      Edit34->SetText(IntText(FWork.WavePhase));
      CheckBox2->SetChecked(FWork.WaveReflect);
      break;
    case ppMorph:
      FWork.MorphFilter = P.MorphFilter, FWork.MorphWinSize = P.MorphWinSize;
      ListBox2->SetItemIndex(FWork.MorphFilter);
      Edit35->SetText(IntText(FWork.MorphWinSize));
      break;
    case ppRotate:
      FWork.RotateAngle = P.RotateAngle;
      EditRotate->SetText(FloatToStr(FWork.RotateAngle));
      TrackBarRotate->SetPosition(LKTrunc(std::clamp(FWork.RotateAngle * 100, -1e9, 1e9)));
      CheckBox3->SetChecked(false);
      CheckBox4->SetChecked(false);
      break;
    case ppFFT:
      FWork.FFTLeft = P.FFTLeft, FWork.FFTTop = P.FFTTop, FWork.FFTRight = P.FFTRight, FWork.FFTBottom = P.FFTBottom;
      FWork.FFTGrayScale = P.FFTGrayScale;
      CheckBox1->SetChecked(P.FFTGrayScale);
      LumerakView1->DeSelect();
      if (P.FFTLeft >= 0) LumerakView1->Select(P.FFTLeft, P.FFTTop, P.FFTRight + 1, P.FFTBottom + 1, lkspReplace);
      break;
    case ppGamma:
      FWork.GammaValue = P.GammaValue;
      trkGamma->SetPosition(LKTrunc(std::clamp(FWork.GammaValue * 10, -1e9, 1e9)));
      GammaTrackChange();
      for (Integer i = 0; i < 3; ++i) cbxGamma->SetChecked(i, true);
      break;
    case ppSharpen:
      FWork.SharpenSharpen = P.SharpenSharpen, FWork.SharpenSize = P.SharpenSize;
      Edit36->SetText(IntText(FWork.SharpenSharpen));
      TrackBar4->SetPosition(FWork.SharpenSharpen);
      Edit37->SetText(IntText(FWork.SharpenSize));
      break;
  }
}

void TfPreviews::WriteBackPage(TLKPreviewPage Page) {
  TIPDialogParams& P = *FParams;
  switch (Page) {
    case ppContrast:
      P.ContrastContrast = FWork.ContrastContrast, P.ContrastBrightness = FWork.ContrastBrightness;
      break;
    case ppHSV: P.HSV_H = FWork.HSV_H, P.HSV_S = FWork.HSV_S, P.HSV_V = FWork.HSV_V; break;
    case ppHSL: P.HSL_H = FWork.HSL_H, P.HSL_S = FWork.HSL_S, P.HSL_L = FWork.HSL_L; break;
    case ppRGB: P.RGB_R = FWork.RGB_R, P.RGB_G = FWork.RGB_G, P.RGB_B = FWork.RGB_B; break;
    case ppUserFilter:
      std::copy(std::begin(FKernel.Values), std::end(FKernel.Values), P.UserFilterValues);
      P.UserFilterDivisor = FKernel.Divisor;
      break;
    case ppEqualization:
      P.EqThresholdDown = FWork.EqThresholdDown, P.EqThresholdUp = FWork.EqThresholdUp;
      P.EqDown = FWork.EqDown, P.EqUp = FWork.EqUp;
      break;
    case ppBumpMap:
      P.BumpLeft = FWork.BumpLeft, P.BumpTop = FWork.BumpTop;
      P.BumpWidth = FWork.BumpWidth, P.BumpHeight = FWork.BumpHeight;
      P.BumpCol = FWork.BumpCol, P.BumpSrc = FWork.BumpSrc;
      break;
    case ppLens:
      P.LensLeft = FWork.LensLeft, P.LensTop = FWork.LensTop;
      P.LensWidth = FWork.LensWidth, P.LensHeight = FWork.LensHeight, P.LensRef = FWork.LensRef;
      break;
    case ppWave:
      P.WaveAmplitude = FWork.WaveAmplitude, P.WaveLength = FWork.WaveLength;
      P.WavePhase = FWork.WavePhase, P.WaveReflect = FWork.WaveReflect;
      break;
    case ppMorph: P.MorphFilter = FWork.MorphFilter, P.MorphWinSize = FWork.MorphWinSize; break;
    case ppRotate: P.RotateAngle = FWork.RotateAngle; break;
    case ppFFT:
      if (LumerakView1->GetSelected()) {
        P.FFTLeft = LumerakView1->GetSelX1(), P.FFTTop = LumerakView1->GetSelY1();
        P.FFTRight = LumerakView1->GetSelX2(), P.FFTBottom = LumerakView1->GetSelY2();
        LumerakView1->DeSelect();
      } else {
        P.FFTLeft = P.FFTTop = P.FFTRight = P.FFTBottom = -1;
      }
      P.FFTGrayScale = CheckBox1->GetChecked();
      break;
    case ppGamma: P.GammaValue = trkGamma->GetPosition() / 10.0; break;
    case ppSharpen: P.SharpenSharpen = FWork.SharpenSharpen, P.SharpenSize = FWork.SharpenSize; break;
  }
}

// ---------------------------------------------------------------------------
// Applying
// ---------------------------------------------------------------------------

void TfPreviews::ApplyAct(TLKBitmap* Bitmap, bool Final) {
  if (Bitmap == nullptr || Bitmap->GetWidth() == 0 || Bitmap->GetHeight() == 0) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  TLKProgressEvent progress = Final ? FProgress : TLKProgressEvent{};
  TObject* sender = Final ? static_cast<TObject*>(FCallerProc) : nullptr;
  TProgressRec rec;
  rec.OnProgress = progress;
  rec.Sender = sender;
  // On the result copy, positions and sizes in source pixels follow the
  // source view's zoom and scroll position.
  const bool onResult = Bitmap == &FResult;
  const double z = onResult ? Lumerak1->GetZoom() / 100.0 : 1.0;
  const Integer vx = onResult ? Lumerak1->GetViewX() : 0, vy = onResult ? Lumerak1->GetViewY() : 0;
  auto scaled = [&](Integer v) { return LKTrunc(std::clamp(v * z, -1e9, 1e9)); };
  switch (ActivePage()) {
    case ppContrast:
      _ContrastRGB(Bitmap, FWork.ContrastContrast, FMeanR, FMeanG, FMeanB, 0, 0, w, h, progress, sender);
      _IntensityRGBall(Bitmap, FWork.ContrastBrightness, FWork.ContrastBrightness, FWork.ContrastBrightness, 0, 0, w,
                       h, progress, sender);
      break;
    case ppHSL: _HSLvar(Bitmap, FWork.HSL_H, FWork.HSL_S, FWork.HSL_L, 0, 0, w, h, progress, sender); break;
    case ppRGB:
      _IntensityRGBall(Bitmap, FWork.RGB_R, FWork.RGB_G, FWork.RGB_B, 0, 0, w, h, progress, sender);
      break;
    case ppUserFilter: _ApplyFilter(Bitmap, FKernel, 0, 0, w, h, rec); break;
    case ppHSV: _HSVvar(Bitmap, FWork.HSV_H, FWork.HSV_S, FWork.HSV_V, 0, 0, w, h, progress, sender); break;
    case ppEqualization:
      _Threshold(Bitmap, FWork.EqThresholdDown, FWork.EqThresholdUp, CreateRGB(0, 0, 0), CreateRGB(255, 255, 255), 0,
                 0, w, h, progress, sender);
      _HistEqualize(Bitmap, FWork.EqDown, FWork.EqUp, 0, 0, w, h, progress, sender);
      if (SpeedButton3->GetChecked()) _HistAutoEqualize(Bitmap, 0, 0, w, h, progress, sender);
      break;
    case ppBumpMap:
      _BumpMapping(Bitmap, scaled(FWork.BumpLeft) - vx, scaled(FWork.BumpTop) - vy, scaled(FWork.BumpWidth),
                   scaled(FWork.BumpHeight), FWork.BumpSrc, FWork.BumpCol, 0, 0, w, h, rec);
      break;
    case ppLens:
      _lens(Bitmap, scaled(FWork.LensLeft) - vx, scaled(FWork.LensTop) - vy, scaled(FWork.LensWidth),
            scaled(FWork.LensHeight), FWork.LensRef, rec);
      break;
    case ppWave:
      _wave(Bitmap, scaled(FWork.WaveAmplitude), scaled(FWork.WaveLength), FWork.WavePhase, FWork.WaveReflect, rec);
      break;
    case ppMorph: _MorphFilter(Bitmap, FWork.MorphWinSize, FWork.MorphFilter, 0, 0, w, h, progress, sender); break;
    case ppRotate:
      FWorkProc->SetAttachedLKBitmap(Bitmap);
      FWorkProc->OnProgress = progress;
      if (CheckBox3->GetChecked()) FWorkProc->Flip(fdHorizontal);
      if (CheckBox4->GetChecked()) FWorkProc->Flip(fdVertical);
      if (FWork.RotateAngle != 0) FWorkProc->Rotate(FWork.RotateAngle, true, lkrFast, -1);
      FWorkProc->SetAttachedLKBitmap(nullptr);
      break;
    case ppFFT: ApplyFFT(Bitmap); break;
    case ppGamma:
      FWorkProc->SetAttachedLKBitmap(Bitmap);
      FWorkProc->OnProgress = progress;
      FWorkProc->GammaCorrect(trkGamma->GetPosition() / 10.0, GammaChannels());
      FWorkProc->SetAttachedLKBitmap(nullptr);
      break;
    case ppSharpen: _Sharpen(Bitmap, 0, 0, w, h, FWork.SharpenSharpen, FWork.SharpenSize, progress, sender); break;
  }
}

void TfPreviews::ApplyFFT(TLKBitmap* Bitmap) {
  const bool sel = LumerakView1->GetSelected();
  const Integer x1 = sel ? LumerakView1->GetSelX1() : 0, y1 = sel ? LumerakView1->GetSelY1() : 0;
  const Integer x2 = sel ? LumerakView1->GetSelX2() : 0, y2 = sel ? LumerakView1->GetSelY2() : 0;
  if (Bitmap == &FResult) {
    if (!FFt || FFt->GetSize() == 0) return;
    // Clearing works on a copy, so it never accumulates: the result shows
    // the inverse transform of the reduced copy with the zone cleared.
    TLKFtImage keep;
    keep.Assign(FFt.get());
    if (sel) FFt->ClearZone(x1, y1, x2, y2);
    FFt->GetFTImage(&FSpectrum);
    LumerakView1->Update();
    LumerakView1->Fit();
    if (sel) LumerakView1->Select(x1, y1, x2 + 1, y2 + 1, lkspReplace);  // the box is inclusive
    FFt->BuildBitmap(Bitmap);
    ProgressBar1->SetPosition(0);
    FFt->Assign(&keep);
    return;
  }
  // The whole picture: a new transform at full size, the zone scaled to it.
  const Integer oldSize = FFt ? FFt->GetSize() : 0;
  TLKFtImage full;
  if (FFinal && FProgress) full.OnProgress = [this](TObject*, Integer Percent) { FProgress(FCallerProc, Percent); };
  full.BuildFT(Bitmap, CheckBox1->GetChecked() ? lkitGrayscale : lkitRGB);
  if (sel && oldSize > 0) {
    const double f = static_cast<double>(full.GetSize()) / oldSize;
    full.ClearZone(LKTrunc(x1 * f), LKTrunc(y1 * f), LKTrunc(x2 * f), LKTrunc(y2 * f));
  }
  full.BuildBitmap(Bitmap);
  ProgressBar1->SetPosition(0);
}

TLKChannels TfPreviews::GammaChannels() const {
  TLKChannels ch;
  const TLKChannel all[3] = {lkcRed, lkcGreen, lkcBlue};
  for (Integer i = 0; i < 3; ++i)
    if (cbxGamma->GetChecked(i)) ch.Include(all[i]);
  return ch;
}

// ---------------------------------------------------------------------------
// Value handlers
// ---------------------------------------------------------------------------

void TfPreviews::TripleTrackChange(TTriple& T) {
  if (!FChangeGuard) return;
  bool changed = false;
  for (int i = 0; i < T.Count; ++i) changed |= T.Bars[i]->GetPosition() != *T.Values[i];
  if (!changed) return;
  for (int i = 0; i < T.Count; ++i) *T.Values[i] = T.Bars[i]->GetPosition();
  for (int i = 0; i < T.Count; ++i) T.Edits[i]->SetText(IntText(*T.Values[i]));
  UpdatePreview();
}

void TfPreviews::TripleEditChange(TTriple& T) {
  if (!FChangeGuard) return;
  Integer typed[3] = {};
  bool changed = false;
  for (int i = 0; i < T.Count; ++i) {
    typed[i] = EditInt(T.Edits[i], 0);
    changed |= typed[i] != *T.Values[i];
  }
  if (!changed) return;
  // The track bars hold the values to their ranges; a bar that moves
  // reports it, and its handler stores the values and rewrites the edits.
  for (int i = 0; i < T.Count; ++i) T.Bars[i]->SetPosition(typed[i]);
}

void TfPreviews::KernelEditChange(TObject* Sender) {
  if (!FKernelGuard) return;
  auto* edit = static_cast<TEdit*>(Sender);
  FKernel.Divisor = EditInt(KernelEdits[9], 1);
  const Integer tag = static_cast<Integer>(edit->GetTag());
  const Integer v = EditInt(edit, 0);
  if (tag >= 0 && tag < 9)
    FKernel.Values[tag] = v;
  else if (tag == 9)
    FKernel.Divisor = v;
  UpdatePreview();
}

void TfPreviews::LoadFilt() {
  FKernelGuard = false;
  for (int tag = 0; tag < 9; ++tag) KernelEdits[tag]->SetText(IntText(FKernel.Values[tag]));
  KernelEdits[9]->SetText(IntText(FKernel.Divisor));
  FKernelGuard = true;
}

void TfPreviews::LoadFilterFile(const String& FileName) {
  LoadFilterFromFile(FileName, FKernel);
  LoadFilt();
  UpdatePreview();
}

void TfPreviews::SaveFilterFile(const String& FileName) { SaveFilterToFile(FileName, FKernel); }

void TfPreviews::EqualizationRulerChange(bool Threshold, Integer Grip) {
  if (!FChangeGuard) return;
  TRulerBox* r = Threshold ? RulerBox1 : RulerBox2;
  if (r->GetGripsPos(1) < r->GetGripsPos(0)) {
    // The other grip follows the one being moved.
    const Integer other = 1 - Grip;
    FChangeGuard = false;
    r->SetGripsPos(other, r->GetGripsPos(Grip));
    FChangeGuard = true;
  }
  const Integer pos = LKTrunc(std::clamp(r->GetGripsPos(Grip), -1e9, 1e9));
  TLabel* label = Threshold ? (Grip == 0 ? Label16 : Label17) : (Grip == 0 ? Label20 : Label21);
  label->SetCaption(IntText(pos));
  TRGB& lo = Threshold ? FWork.EqThresholdDown : FWork.EqDown;
  TRGB& hi = Threshold ? FWork.EqThresholdUp : FWork.EqUp;
  const Byte v0 = static_cast<Byte>(std::clamp(LKTrunc(std::clamp(r->GetGripsPos(0), -1e9, 1e9)), 0, 255));
  const Byte v1 = static_cast<Byte>(std::clamp(LKTrunc(std::clamp(r->GetGripsPos(1), -1e9, 1e9)), 0, 255));
  const bool gray = CheckListBox1->GetChecked(3);
  if (gray || CheckListBox1->GetChecked(0)) lo.r = v0, hi.r = v1;
  if (gray || CheckListBox1->GetChecked(1)) lo.g = v0, hi.g = v1;
  if (gray || CheckListBox1->GetChecked(2)) lo.b = v0, hi.b = v1;
  UpdatePreview();
}

void TfPreviews::HistogramChannelsChange() {
  THistogramKind kind;
  const THistogramKindItem items[4] = {hkRed, hkGreen, hkBlue, hkGray};
  for (Integer i = 0; i < 4; ++i)
    if (CheckListBox1->GetChecked(i)) kind.Include(items[i]);
  HistogramBox1->SetHistogramKind(kind);
  HistogramBox1->Update();
  // The lower ruler starts where the histogram's drawing area starts.
  const Integer left = HistogramBox1->GetHistogramLeft();
  RulerBox1->SetBounds(left, RulerBox1->GetTop(), HistogramBox1->GetLeft() + HistogramBox1->GetWidth() - left,
                       RulerBox1->GetHeight());
}

void TfPreviews::HSVColorsChange() {
  TrackBar9->SetPosition(HSVBox1->GetHue() - HSVBox3->GetHue());
  TrackBar10->SetPosition(HSVBox1->GetSat() - HSVBox3->GetSat());
  TrackBar11->SetPosition(HSVBox1->GetVal() - HSVBox3->GetVal());
  TripleTrackChange(*FTriples[1]);
}

void TfPreviews::ResultMouse(TMouseButton Button, Integer X, Integer Y) {
  const TLKPreviewPage page = ActivePage();
  if (page == ppHSV && Button == mbLeft) {
    if (X < 0 || Y < 0 || X >= FResult.GetWidth() || Y >= FResult.GetHeight()) return;
    const Integer bx = Lumerak2->XScr2Bmp(X), by = Lumerak2->YScr2Bmp(Y);
    if (bx < 0 || by < 0 || bx >= FResult.GetWidth() || by >= FResult.GetHeight()) return;
    const TRGB c = FResult.GetPixels_lk24RGB(bx, by);
    HSVBox3->SetRGB(c.r, c.g, c.b);
    HSVColorsChange();
    return;
  }
  if (page != ppBumpMap && page != ppLens) return;
  const double zoom = Lumerak1->GetZoom();
  if (!(zoom > 0)) return;
  const TLKViewGeometry& geo = Lumerak1->GetGeometry();
  const Integer sx = LKTrunc(std::clamp(100.0 / zoom * (X - geo.OffX), -1e9, 1e9)) + Lumerak1->GetViewX();
  const Integer sy = LKTrunc(std::clamp(100.0 / zoom * (Y - geo.OffY), -1e9, 1e9)) + Lumerak1->GetViewY();
  FChangeGuard = false;
  if (page == ppBumpMap) {
    FWork.BumpLeft = sx, FWork.BumpTop = sy;
    Edit22->SetText(IntText(sx));
    Edit23->SetText(IntText(sy));
  } else {
    FWork.LensLeft = sx, FWork.LensTop = sy;
    Edit27->SetText(IntText(sx));
    Edit28->SetText(IntText(sy));
  }
  FChangeGuard = true;
  UpdatePreview();
}

void TfPreviews::GeometryEditChange() {
  if (!FChangeGuard) return;
  Byte before[TIPDialogParams::BlockSize], after[TIPDialogParams::BlockSize];
  FWork.Save(before);
  switch (ActivePage()) {
    case ppBumpMap:
      FWork.BumpLeft = EditIntIn(Edit22, 0, 0, 32767);
      FWork.BumpTop = EditIntIn(Edit23, 0, 0, 32767);
      FWork.BumpWidth = EditIntIn(Edit24, 0, 0, 32767);
      FWork.BumpHeight = EditIntIn(Edit25, 0, 0, 32767);
      FWork.BumpSrc = EditIntIn(Edit26, 0, 0, 100);
      break;
    case ppLens:
      FWork.LensLeft = EditIntIn(Edit27, 0, 0, 32767);
      FWork.LensTop = EditIntIn(Edit28, 0, 0, 32767);
      FWork.LensWidth = EditIntIn(Edit29, 0, 0, 32767);
      FWork.LensHeight = EditIntIn(Edit30, 0, 0, 32767);
      FWork.LensRef = EditIntIn(Edit31, 0, 0, 32767) / 10.0 + 1;
      break;
    case ppWave:
      FWork.WaveAmplitude = EditIntIn(Edit32, 0, 0, 32767);
      FWork.WaveLength = EditIntIn(Edit33, 0, 0, 32767);
      FWork.WavePhase = EditIntIn(Edit34, 0, 0, 359);
      FWork.WaveReflect = CheckBox2->GetChecked();
      break;
    case ppMorph:
      FWork.MorphFilter = std::max(ListBox2->GetItemIndex(), 0);
      FWork.MorphWinSize = EditIntIn(Edit35, 1, 1, 64);
      break;
    default: return;
  }
  FWork.Save(after);
  if (std::equal(std::begin(before), std::end(before), std::begin(after))) return;
  UpdatePreview();
}

void TfPreviews::RotateTrackChange() {
  if (!FChangeGuard) return;
  const double angle = TrackBarRotate->GetPosition() / 100.0;
  if (angle == FWork.RotateAngle) return;
  FWork.RotateAngle = angle;
  EditRotate->SetText(FloatToStr(angle));
  UpdatePreview();
}

void TfPreviews::RotateEditChange() {
  if (!FChangeGuard) return;
  double angle = StrToFloatDef(EditRotate->GetText(), 0);
  if (!std::isfinite(angle)) angle = 0;
  if (angle == FWork.RotateAngle) return;
  FWork.RotateAngle = angle;
  TrackBarRotate->SetPosition(LKTrunc(std::clamp(angle * 100, -1e9, 1e9)));
  UpdatePreview();
}

void TfPreviews::GammaTrackChange() {
  const double g = trkGamma->GetPosition() / 10.0;
  edtGamma->SetText(FloatToStr(g));
  DrawGammaGraph(g);
  UpdatePreview();
}

void TfPreviews::SharpenTrackChange() {
  if (!FChangeGuard) return;
  const Integer amp = TrackBar4->GetPosition();
  const Integer win = EditIntIn(Edit37, 2, 1, 64);
  if (amp == FWork.SharpenSharpen && win == FWork.SharpenSize) return;
  FWork.SharpenSharpen = amp;
  FWork.SharpenSize = win;
  Edit36->SetText(IntText(amp));
  UpdatePreview();
}

void TfPreviews::SharpenEditChange() {
  if (!FChangeGuard) return;
  const Integer amp = EditInt(Edit36, 1);
  if (amp != FWork.SharpenSharpen) TrackBar4->SetPosition(amp);
}
