// The processing preview dialog driven through the processing component, as
// the "Color Adjust ..." and "Effects ..." menu items open it.
#include "dialogs/lkpreviewsform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTabBar>
#include <QToolButton>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

#include "dialogs/lkhistogrambox.h"
#include "dialogs/lkrulerbox.h"
#include "platform/testhooks.h"
#include "processing/lkfft.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

TRGB Gradient(Integer x, Integer y) { return CreateRGB(Byte(x * 3), Byte(y * 5), Byte(100 + (x + y) % 50)); }

std::vector<TRGB> Pixels(TLKBitmap* b) {
  std::vector<TRGB> v;
  for (Integer y = 0; y < b->GetHeight(); ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x) v.push_back(b->GetPixels_lk24RGB(x, y));
  return v;
}

/// A picture of 80 x 50 on a processing component whose dialog is the
/// preview dialog; Run opens it with a page set and a script.
class Previews : public ::testing::Test {
 protected:
  TLKBitmap Bitmap;
  TLumerakProc Proc;
  TfPreviews* Dialog = nullptr;

  void SetUp() override {
    Bitmap.Allocate(80, 50, lk24RGB);
    for (Integer y = 0; y < 50; ++y)
      for (Integer x = 0; x < 80; ++x) Bitmap.SetPixels_lk24RGB(x, y, Gradient(x, y));
    Proc.SetAttachedLKBitmap(&Bitmap);
    Proc.SetPreviewDialogFactory([this](TLumerakProc*) {
      auto d = std::make_unique<TfPreviews>();
      Dialog = d.get();
      return d;
    });
  }
  void TearDown() override { TestHooks::Reset(); }

  bool Run(TPreviewEffects Pages, std::function<void(TfPreviews&)> Script) {
    TestHooks::PushModalStep([&](TCustomForm*) { Script(*Dialog); });
    return Proc.DoPreviews(Pages);
  }
};

TEST_F(Previews, MenuPageSetsShowTheirPagesAndOpenOnTheFirst) {
  struct TRow {
    const char* Name;
    TPreviewEffects Pages;
    std::vector<TLKPreviewPage> Shown;
  };
  const TRow rows[] = {
      {"Color Adjust", LKColorAdjustPages(),
       {ppContrast, ppHSL, ppRGB, ppHSV, ppEqualization, ppFFT, ppGamma, ppSharpen}},
      {"Effects", LKEffectsPages(), {ppUserFilter, ppBumpMap, ppLens, ppWave, ppMorph, ppRotate}},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    std::vector<TLKPreviewPage> shown;
    TLKPreviewPage active{};
    Run(r.Pages, [&](TfPreviews& d) {
      for (Integer p = ppContrast; p <= ppSharpen; ++p)
        if (d.Pages[p]->GetTabVisible()) shown.push_back(TLKPreviewPage(p));
      active = d.ActivePage();
      // Every shown page makes a copy and applies without failing.
      for (TLKPreviewPage p : shown) EXPECT_TRUE(d.SelectPage(p));
    });
    EXPECT_EQ(shown, r.Shown);
    EXPECT_EQ(active, r.Shown[0]);
  }
}

TEST_F(Previews, SliderStepPreviewsOnTheScreenSizeCopyOnly) {
  const std::vector<TRGB> before = Pixels(&Bitmap);
  Run({peContrast}, [&](TfPreviews& d) {
    d.chkLockPreview->SetChecked(true);
    TLKBitmap* result = d.GetResult();
    // The copy is the shown part of the source at the size it is shown.
    EXPECT_LE(result->GetWidth(), d.Lumerak1->GetWidth());
    EXPECT_LE(result->GetHeight(), d.Lumerak1->GetHeight());
    const std::vector<TRGB> copy = Pixels(result);
    d.TrackBar12->SetPosition(60);  // brightness
    EXPECT_EQ(d.Edit21->GetText(), "60");
    const std::vector<TRGB> bright = Pixels(result);
    EXPECT_NE(bright, copy);
    EXPECT_GT(bright[0].r + bright[0].g + bright[0].b, copy[0].r + copy[0].g + copy[0].b);
    // Each step starts again from the copy, not from the last preview.
    d.TrackBar12->SetPosition(0);
    EXPECT_EQ(Pixels(result), copy);
    EXPECT_EQ(Pixels(d.GetBitmap()), before) << "the source is untouched";
    // Without Lock Preview a change waits for the Preview button.
    d.chkLockPreview->SetChecked(false);
    EXPECT_TRUE(d.Button3->GetVisible());
    d.TrackBar12->SetPosition(60);
    EXPECT_EQ(Pixels(result), copy);
    d.Button3->Click();
    EXPECT_EQ(Pixels(result), bright);
    d.Button2->Click();
  });
  EXPECT_EQ(Pixels(&Bitmap), before) << "Cancel leaves the picture";
  EXPECT_EQ(Proc.GetDialogParams()->ContrastBrightness, 0) << "and the values";
}

TEST_F(Previews, OkAppliesToThePictureWithUndoAndRemembersTheValues) {
  const std::vector<TRGB> before = Pixels(&Bitmap);
  EXPECT_TRUE(Run({peRGB}, [&](TfPreviews& d) {
    d.Edit7->SetText("40");  // red
    EXPECT_EQ(d.TrackBar6->GetPosition(), 40);
    d.Button1->Click();
  }));
  EXPECT_EQ(Bitmap.GetPixels_lk24RGB(0, 0).r, before[0].r + 40);
  EXPECT_EQ(Bitmap.GetPixels_lk24RGB(0, 0).g, before[0].g);
  EXPECT_EQ(Proc.GetUndoCaptions(0), "RGB adjust");
  EXPECT_EQ(Proc.GetDialogParams()->RGB_R, 40);
  Proc.Undo();
  EXPECT_EQ(Pixels(&Bitmap), before);

  // The next opening starts from the remembered value; "<<" applies the page
  // to the source and goes back to it, then OK applies once more.
  EXPECT_TRUE(Run({peRGB}, [&](TfPreviews& d) {
    EXPECT_EQ(d.Edit7->GetText(), "40");
    d.TrackBar6->SetPosition(10);
    d.Button6->Click();
    EXPECT_EQ(d.TrackBar6->GetPosition(), 40) << "back to the remembered value";
    d.TrackBar6->SetPosition(20);
    d.Button1->Click();
  }));
  EXPECT_EQ(Bitmap.GetPixels_lk24RGB(0, 0).r, before[0].r + 10 + 20);
  EXPECT_EQ(Proc.GetUndoCaptions(0), "RGB adjust,RGB adjust");
}

TEST_F(Previews, TypedNumbersAreHeldToTheTrackBarRanges) {
  Run({peHSV}, [&](TfPreviews& d) {
    d.chkLockPreview->SetChecked(true);
    // 500 in the hue edit: the bar stops at 180 and the edit shows it.
    d.Edit19->SetText("500");
    EXPECT_EQ(d.TrackBar9->GetPosition(), 180);
    EXPECT_EQ(d.Edit19->GetText(), "180");
    EXPECT_EQ(d.Working().HSV_H, 180);
    // With the bar already at 180 nothing moves and the typed text stays.
    d.Edit19->SetText("500");
    EXPECT_EQ(d.Edit19->GetText(), "500");
    EXPECT_EQ(d.Working().HSV_H, 180);
    // Text that is not a number counts as 0.
    d.Edit18->SetText("abc");
    EXPECT_EQ(d.TrackBar10->GetPosition(), 0);
    d.Edit18->SetText("-250");
    EXPECT_EQ(d.Working().HSV_S, -100);
  });
  // Geometry edits are held to their up-down ranges.
  Run({peMorph}, [&](TfPreviews& d) {
    d.Edit35->SetText("1000");
    EXPECT_EQ(d.Working().MorphWinSize, 64);
    d.Edit35->SetText("x");
    EXPECT_EQ(d.Working().MorphWinSize, 1);
  });
}

TEST_F(Previews, FilterFilesLoadSaveAndDamagedFiles) {
  char dir[] = "/tmp/lkflt-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const String good = String(dir) + "/edge.flt", bad = String(dir) + "/bad.flt", shortf = String(dir) + "/short.flt";
  {
    std::ofstream(bad, std::ios::binary) << "not a filter file at all, but long enough for one";
    std::ofstream(shortf, std::ios::binary).write("\x01\x03\x03\x00", 4);
  }
  std::vector<String> errors;
  TestHooks::SetExceptionSink([&](const String& m) { errors.push_back(m); });
  Run({peUserFilt}, [&](TfPreviews& d) {
    d.chkLockPreview->SetChecked(true);
    const std::vector<TRGB> plain = Pixels(d.GetResult());
    // Type an edge kernel, save it, reset to identity, load it back.
    const Integer edge[9] = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
    for (int t = 0; t < 9; ++t) d.KernelEdits[t]->SetText(std::to_string(edge[t]));
    d.KernelEdits[9]->SetText("1");
    EXPECT_NE(Pixels(d.GetResult()), plain);
    String chosen = good;
    d.OnChooseFilterFile = [&](bool, String& name) {
      name = chosen;
      return true;
    };
    d.Button5->Click();
    for (int t = 0; t < 9; ++t) d.KernelEdits[t]->SetText(t == 4 ? "1" : "0");
    EXPECT_EQ(Pixels(d.GetResult()), plain);
    d.Button4->Click();
    EXPECT_EQ(std::vector<Integer>(d.Kernel().Values, d.Kernel().Values + 9), std::vector<Integer>(edge, edge + 9));
    EXPECT_EQ(d.KernelEdits[4]->GetText(), "8");
    const std::vector<TRGB> edged = Pixels(d.GetResult());
    EXPECT_NE(edged, plain);
    // A damaged or short file is reported and changes nothing; so does a
    // missing one.
    for (const String& f : {bad, shortf, String(dir) + "/missing.flt"}) {
      chosen = f;
      d.Button4->Click();
      EXPECT_EQ(d.Kernel().Values[4], 8) << f;
    }
    EXPECT_EQ(Pixels(d.GetResult()), edged);
    // Cancelled file dialog: nothing.
    d.OnChooseFilterFile = [](bool, String&) { return false; };
    d.Button4->Click();
  });
  EXPECT_EQ(errors.size(), 3u);
  for (const String& f : {good, bad, shortf}) std::remove(f.c_str());
  rmdir(dir);
}

TEST_F(Previews, GammaCurveAndApply) {
  Run({peGamma}, [&](TfPreviews& d) {
    d.chkLockPreview->SetChecked(true);
    EXPECT_EQ(d.trkGamma->GetPosition(), 10);
    EXPECT_EQ(d.edtGamma->GetText(), "1");
    TBitmap* g = d.GetGammaGraph();
    const Integer w = g->GetWidth(), h = g->GetHeight();
    // Gamma 1 is the diagonal from bottom left to top right.
    EXPECT_EQ(g->GetCanvas()->GetPixel(w / 2, h - 1 - h / 2), clBlack);
    EXPECT_EQ(g->GetCanvas()->GetPixel(w / 4, h / 4), clSilver);
    d.trkGamma->SetPosition(20);
    EXPECT_EQ(d.edtGamma->GetText(), "2");
    // The curve does not depend on the channels chosen.
    auto shot = [&] {
      std::vector<TColor> v;
      for (Integer y = 0; y < h; ++y)
        for (Integer x = 0; x < w; ++x) v.push_back(g->GetCanvas()->GetPixel(x, y));
      return v;
    };
    const std::vector<TColor> all = shot();
    // v(i) = 255 * (i/255)^(1/2): at i = 64, v = 128.
    EXPECT_EQ(g->GetCanvas()->GetPixel(Integer(64 / 255.0 * w), Integer((255 - 128) / 255.0 * h)), clBlack);
    d.cbxGamma->SetChecked(0, false);
    d.DrawGammaGraph(2.0);
    EXPECT_EQ(shot(), all);
    d.Button1->Click();
  });
  EXPECT_DOUBLE_EQ(Proc.GetDialogParams()->GammaValue, 2.0);
  EXPECT_EQ(Proc.GetUndoCaptions(0), "Gamma Correction");
}

TEST_F(Previews, CaptionsInTheComponentsLanguage) {
  Proc.SetMsgLanguage(msGerman);
  Run({peAll}, [&](TfPreviews& d) {
    EXPECT_EQ(d.GetCaption(), lkmsg(LKMSG_PREVIEW, msGerman));
    EXPECT_EQ(d.Button2->GetCaption(), lkmsg(LKMSG_CANCEL, msGerman));
    EXPECT_EQ(d.Pages[ppSharpen]->GetCaption(), lkmsg(LKMSG_SHARPEN, msGerman));
    EXPECT_EQ(d.LabelHSV[0]->GetCaption(), lkmsg(LKMSG_HUE, msGerman) + " (H):");
    EXPECT_EQ(d.GroupLight->GetCaption(), " " + lkmsg(LKMSG_LIGHT, msGerman) + " ");
    EXPECT_EQ(d.CheckListBox1->GetItems()->Strings(3), lkmsg(LKMSG_GRAY, msGerman));
    EXPECT_TRUE(d.CheckListBox1->GetChecked(3));
  });
}

TEST_F(Previews, FrequencyPagePreviewsTheReducedCopyAndClearsAtFullSize) {
  const std::vector<TRGB> before = Pixels(&Bitmap);
  EXPECT_TRUE(Run({peFFT}, [&](TfPreviews& d) {
    d.chkLockPreview->SetChecked(true);
    // The preview is the inverse transform of a copy whose longer side is
    // 128: 128 x 80 for 80 x 50, made from the whole source.
    EXPECT_EQ(d.GetResult()->GetWidth(), 128);
    EXPECT_EQ(d.GetResult()->GetHeight(), 80);
    const std::vector<TRGB> plain = Pixels(d.GetResult());
    const Integer n = d.GetFourierImage()->GetSize();
    ASSERT_GT(n, 0);
    // Clearing the low frequencies changes the preview; clearing again from
    // the same selection gives the same picture (nothing accumulates).
    d.LumerakView1->Select(n / 2 - 4, n / 2 - 4, n / 2 + 4, n / 2 + 4, lkspReplace);
    d.ButtonClear->Click();
    const std::vector<TRGB> cleared = Pixels(d.GetResult());
    EXPECT_NE(cleared, plain);
    d.ButtonClear->Click();
    EXPECT_EQ(Pixels(d.GetResult()), cleared);
    d.Button1->Click();
  }));
  EXPECT_EQ(Bitmap.GetWidth(), 80);
  EXPECT_EQ(Bitmap.GetHeight(), 50);
  EXPECT_NE(Pixels(&Bitmap), before);
  EXPECT_EQ(Proc.GetUndoCaptions(0), "FFT");
  EXPECT_GE(Proc.GetDialogParams()->FFTLeft, 0);
  EXPECT_TRUE(Proc.GetDialogParams()->FFTGrayScale);

  // A picture one pixel high still gets a reduced copy of at least one row.
  Bitmap.Allocate(300, 2, lk24RGB);
  for (Integer x = 0; x < 300; ++x) Bitmap.SetPixels_lk24RGB(x, 0, Gradient(x, 0));
  Run({peFFT}, [&](TfPreviews& d) {
    EXPECT_EQ(d.GetResult()->GetWidth(), 128);
    EXPECT_GE(d.GetResult()->GetHeight(), 1);
  });
}

TEST_F(Previews, EqualizationRulersSetTheLevels) {
  Run({peEqualize}, [&](TfPreviews& d) {
    // The histogram box draws the original's levels over its background.
    TBitmap* h = d.HistogramBox1->GetBitmap();
    Integer bars = 0;
    for (Integer y = 0; y < h->GetHeight(); ++y)
      for (Integer x = 0; x < h->GetWidth(); ++x) bars += h->GetCanvas()->GetPixel(x, y) != clSilver;
    EXPECT_GT(bars, 0);
    d.chkLockPreview->SetChecked(true);
    d.RulerBox1->SetGripsPos(0, 100);
    EXPECT_EQ(d.Label16->GetCaption(), "100");
    EXPECT_EQ(d.Working().EqThresholdDown.r, 100);
    EXPECT_EQ(d.Working().EqThresholdDown.b, 100) << "Gray sets all three";
    // Grip 1 below grip 0: grip 0 follows.
    d.RulerBox1->SetGripsPos(1, 50);
    EXPECT_EQ(d.RulerBox1->GetGripsPos(0), 50);
    EXPECT_EQ(d.Working().EqThresholdUp.g, 50);
    // Every pixel is now at the threshold colours.
    for (const TRGB& p : Pixels(d.GetResult())) EXPECT_TRUE(p.r == 0 || p.r == 255);
  });
}

}  // namespace

namespace {

// The tab bar of the dialog's page control as it stands on first show: the
// visible tabs side by side from the left edge, in order, with no room left
// for the hidden ones; tabs past the bar's end are reached by its arrows.
TEST_F(Previews, TabsAreLaidOutOnFirstShow) {
  for (TPreviewEffects pages : {LKColorAdjustPages(), LKEffectsPages()}) {
    Run(pages, [&](TfPreviews& d) {
      QTabBar* bar = d.PageControl1->GetWidget()->findChild<QTabBar*>();
      ASSERT_NE(bar, nullptr);
      QApplication::processEvents();
      int right = 0;
      bool first = true;
      for (int i = 0; i < bar->count(); ++i) {
        if (!bar->isTabVisible(i)) continue;
        const QRect r = bar->tabRect(i);
        SCOPED_TRACE(bar->tabText(i).toStdString());
        if (first) EXPECT_EQ(r.left(), 0);
        else EXPECT_EQ(r.left(), right);
        right = r.right() + 1;
        first = false;
      }
      if (right > bar->width()) {
        int arrows = 0;
        for (QToolButton* b : bar->findChildren<QToolButton*>()) arrows += b->isVisible();
        EXPECT_EQ(arrows, 2);
      }
    });
  }
}

}  // namespace
