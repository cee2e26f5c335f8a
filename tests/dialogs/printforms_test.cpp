// The print forms: their arithmetic (units, steppers, stored values, the
// layout handed to printing) and the two forms run through the I/O
// component with a scripted modal loop, printing to a PDF file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <QFont>
#include <QWidget>

#include "core/lkbitmap.h"
#include "dialogs/lkiodialogs.h"
#include "dialogs/lkprintformlogic.h"
#include "dialogs/lkprintforms.h"
#include "io/lumerakio.h"
#include "platform/printers.h"
#include "platform/testhooks.h"
#include "common/print_kit.h"

namespace lp = lkprintform;

TEST(PrintFormLogic, LoadShowsStoredValuesAndThePicturesOwnSize) {
  TIOPrintPreviewParams p;
  TLKPrintFormTexts t;
  // A stored width of -1 shows the picture's physical width: 3000 pixels at
  // 300 dpi are 10 inches or 25.4 cm.
  lp::Load(p, t, lkduInches, 3000, 1500, 300, 300, 72);
  EXPECT_EQ(t.Width, "10");
  EXPECT_EQ(t.Height, "5");
  EXPECT_EQ(t.Margin[0], "1");
  EXPECT_EQ(t.Position, ppCenter);
  EXPECT_EQ(t.SizeIndex, psFitToPage);
  lp::Load(p, t, lkduSelectableDefCm, 3000, 1500, 300, 300, 72);
  EXPECT_EQ(t.Width, "25.4");
  // Settings made without a resolution take the default one instead of
  // dividing by zero.
  lp::Load(p, t, lkduInches, 720, 72, 0, 0, 72);
  EXPECT_EQ(t.Width, "10");
  // A size outside the list selects nothing (the form shows fit to page).
  p.Size = static_cast<TIOPrintPreviewSize>(7);
  lp::Load(p, t, lkduInches, 10, 10, 72, 72, 72);
  EXPECT_EQ(t.SizeIndex, -1);
  EXPECT_EQ(lp::Layout(t, lkduInches).Size, lksFITTOPAGE);
  // Four significant digits.
  p.MarginTop = 1.0 / 3;
  lp::Load(p, t, lkduInches, 10, 10, 72, 72, 72);
  EXPECT_EQ(t.Margin[0], "0.3333");
}

TEST(PrintFormLogic, SteppersAndUnitSwitch) {
  struct Row {
    const char* Text;
    bool Up;
    double Step;
    const char* Expected;
  };
  const Row rows[] = {
      {"0.005", false, 0.01, "0"},  // never below 0
      {"1", true, 0.01, "1.01"},
      {"abc", true, 0.01, "0.01"},  // not a number counts as 0
      {"0.05", false, 0.1, "0"},
      {"1", true, 0.1, "1.1"},
  };
  for (const Row& r : rows) EXPECT_EQ(lp::Stepped(r.Text, r.Up, r.Step), r.Expected) << r.Text;

  TLKPrintFormTexts t;
  for (String& m : t.Margin) m = "1";
  t.Gamma = "2";
  lp::ConvertUnits(t, lkduSelectableDefInches, lkduSelectableDefCm);
  EXPECT_EQ(t.Margin[2], "2.54");
  EXPECT_EQ(t.Gamma, "2");
  lp::ConvertUnits(t, lkduSelectableDefCm, lkduSelectableDefInches);
  EXPECT_EQ(t.Margin[2], "1");
  EXPECT_EQ(t.Width, "6");
}

TEST(PrintFormLogic, LayoutValuesForPrinting) {
  TLKPrintFormTexts t;
  t.Margin[0] = "2.54";
  t.Margin[1] = "x";
  t.Margin[2] = "5.08";
  t.Margin[3] = "0";
  t.Width = "0";
  t.Height = "y";
  t.Gamma = "z";
  t.Position = 6;  // bottom left
  t.SizeIndex = lksSPECIFIEDSIZE;
  const TLKPrintLayout l = lp::Layout(t, lkduCm);
  EXPECT_DOUBLE_EQ(l.MarginTop, 1);
  EXPECT_EQ(l.MarginLeft, 0);
  EXPECT_DOUBLE_EQ(l.MarginRight, 2);
  EXPECT_EQ(l.Width, 0.001);  // a width of 0 prints 0.001 wide
  EXPECT_EQ(l.Height, 1);
  EXPECT_EQ(l.Gamma, 1);
  EXPECT_EQ(l.VerticalPos, lkvpBOTTOM);
  EXPECT_EQ(l.HorizontalPos, lkhpLEFT);
  // The grid: rows give the vertical place, columns the horizontal one.
  const TLKVerticalPos v[9] = {lkvpTOP, lkvpTOP, lkvpTOP, lkvpCENTER, lkvpCENTER, lkvpCENTER, lkvpBOTTOM, lkvpBOTTOM, lkvpBOTTOM};
  const TLKHorizontalPos h[9] = {lkhpLEFT, lkhpCENTER, lkhpRIGHT, lkhpLEFT, lkhpCENTER, lkhpRIGHT, lkhpLEFT, lkhpCENTER, lkhpRIGHT};
  for (int i = 0; i < 9; ++i) {
    t.Position = i;
    EXPECT_EQ(lp::Layout(t, lkduInches).VerticalPos, v[i]);
    EXPECT_EQ(lp::Layout(t, lkduInches).HorizontalPos, h[i]);
  }
}

TEST(PrintFormLogic, SaveKeepsWidthOnlyForSpecifiedSize) {
  TLKPrintFormTexts t;
  for (String& m : t.Margin) m = "bad";
  t.Width = "7";
  t.SizeIndex = lksFITTOPAGE;
  TIOPrintPreviewParams p;
  lp::Save(t, p);
  EXPECT_EQ(p.MarginTop, 1);
  EXPECT_EQ(p.Width, -1);
  t.SizeIndex = lksSPECIFIEDSIZE;
  t.Height = "?";
  lp::Save(t, p);
  EXPECT_EQ(p.Width, 7);
  EXPECT_EQ(p.Height, 4);
}

namespace {

class PrintForms : public ::testing::Test {
 protected:
  void SetUp() override {
    LKSetPrintForms(LKCreatePrintForm);
    io.GetLKBitmap()->Allocate(300, 200, lk24RGB);
    for (Integer y = 0; y < 200; ++y) std::memset(io.GetLKBitmap()->GetScanLine(y), 0, 900);
    io.GetIOParams()->DPIX = io.GetIOParams()->DPIY = 100;
    io.SetAutoResetPrinter(false);
    char pattern[] = "/tmp/lkprn-XXXXXX";
    dir = ::mkdtemp(pattern);
    pdf = dir + "/out.pdf";
    TPrinter* p = ResetPrinterObject();
    p->SetOutputFileName(pdf);
    p->SetResolution(50);
    io.OnIOPreview = [this](TObject*, TObject* Form) { form = dynamic_cast<TflkPrnFormBase*>(Form); };
  }
  void TearDown() override {
    TestHooks::Reset();
    LKSetPrintForms(nullptr);
    ResetPrinterObject();
    std::filesystem::remove_all(dir);
  }
  TLumerakIO io;
  TflkPrnFormBase* form = nullptr;
  String dir, pdf;
};

}  // namespace

TEST_F(PrintForms, DialogOKPrintsAndStoresCancelDoesNeither) {
  // Cancel: nothing printed, settings as they were.
  TestHooks::PushModalStep([&](TCustomForm*) {
    ASSERT_NE(form, nullptr);
    form->Edit[0]->SetText("2");
    static_cast<TflkPrnForm2*>(form)->Button2->Click();
  });
  EXPECT_FALSE(io.DoPrintPreviewDialog(lkdtDialog, "job", false, "Print"));
  EXPECT_EQ(io.GetPrintPreviewParams()->MarginTop, 1);
  EXPECT_FALSE(std::filesystem::exists(pdf));

  // OK: the page is printed and the settings stored; the preview was drawn
  // at the pane's size.
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto* f = static_cast<TflkPrnForm2*>(form);
    EXPECT_GT(f->Preview->Page.GetWidth(), 1);
    EXPECT_FALSE(f->Edit[4]->GetVisible());
    f->ComboBox1->SetItemIndex(lksSPECIFIEDSIZE);
    f->ComboBox1->OnChange(f->ComboBox1);
    EXPECT_TRUE(f->Edit[4]->GetVisible());
    f->Edit[0]->SetText("0.5");
    f->Grid[0]->SetChecked(true);
    f->UpDown[6]->OnClick(f->UpDown[6], btNext);
    f->Button1->Click();
  });
  EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtDialog, "job", false, "Print"));
  EXPECT_EQ(io.GetPrintPreviewParams()->MarginTop, 0.5);
  EXPECT_EQ(io.GetPrintPreviewParams()->Position, ppTopLeft);
  EXPECT_EQ(io.GetPrintPreviewParams()->Size, psSpecifiedSize);
  EXPECT_EQ(io.GetPrintPreviewParams()->Width, 3);  // 300 pixels at 100 dpi
  EXPECT_DOUBLE_EQ(io.GetPrintPreviewParams()->Gamma, 1.1);
  EXPECT_TRUE(std::filesystem::exists(pdf));
}

TEST_F(PrintForms, DialogUnitChooserConvertsTheShownValues) {
  io.SetDialogsMeasureUnit(lkduSelectableDefInches);
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto* f = static_cast<TflkPrnForm2*>(form);
    EXPECT_TRUE(f->GroupBox6->GetVisible());
    EXPECT_EQ(f->GroupBox1->GetCaption(), " Margins (inches) ");
    f->ComboBox2->SetItemIndex(1);
    f->ComboBox2->OnChange(f->ComboBox2);
    EXPECT_EQ(f->Edit[0]->GetText(), "2.54");
    EXPECT_EQ(f->GroupBox1->GetCaption(), " Margins (cm) ");
    f->Button2->Click();
  });
  EXPECT_FALSE(io.DoPrintPreviewDialog(lkdtDialog, "job", false, ""));
  // A fixed unit has no chooser.
  io.SetDialogsMeasureUnit(lkduCm);
  TestHooks::PushModalStep([&](TCustomForm*) {
    EXPECT_FALSE(static_cast<TflkPrnForm2*>(form)->GroupBox6->GetVisible());
    EXPECT_EQ(form->Edit[0]->GetText(), "1");  // stored values are shown as they are
    static_cast<TflkPrnForm2*>(form)->Button2->Click();
  });
  EXPECT_FALSE(io.DoPrintPreviewDialog(lkdtDialog, "job", false, ""));
}

TEST_F(PrintForms, FullWindowCloseStoresFileCloseDoesNot) {
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto* f = static_cast<TflkPrnForm1*>(form);
    f->Edit[3]->SetText("0.25");
    f->Exit1->Click();
  });
  EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtMaxi, "job", false, ""));
  EXPECT_EQ(io.GetPrintPreviewParams()->MarginBottom, 1);
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto* f = static_cast<TflkPrnForm1*>(form);
    f->Edit[3]->SetText("0.25");
    f->SpeedButton12->Click();
  });
  EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtMaxi, "job", false, ""));
  EXPECT_EQ(io.GetPrintPreviewParams()->MarginBottom, 0.25);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  // Print from the menu prints one page.
  TestHooks::PushModalStep([&](TCustomForm*) {
    static_cast<TflkPrnForm1*>(form)->Print1->Click();
    EXPECT_EQ(form->PagesPrinted, 1);
    static_cast<TflkPrnForm1*>(form)->Exit1->Click();
  });
  EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtMaxi, "job", false, ""));
  EXPECT_TRUE(std::filesystem::exists(pdf));
  EXPECT_FALSE(io.DoPrintPreviewDialog(static_cast<TLKDialogType>(5), "job", false, ""));
}

TEST_F(PrintForms, FullWindowStopsPreviewingBelow100Pixels) {
  TestHooks::PushModalStep([&](TCustomForm*) {
    auto* f = static_cast<TflkPrnForm1*>(form);
    f->SetWindowState(wsNormal);
    f->SetBounds(0, 0, 90, 400);
    f->Preview->Page.SetSize(1, 1);
    f->Edit[0]->SetText("0.5");
    EXPECT_EQ(f->Preview->Page.GetWidth(), 1);
    f->SetBounds(0, 0, 600, 400);
    f->Edit[0]->SetText("0.6");
    EXPECT_GT(f->Preview->Page.GetWidth(), 1);
    f->Exit1->Click();
  });
  EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtMaxi, "job", false, ""));
}

TEST_F(PrintForms, BothFormsTakeThePreviewFont) {
  TFont font;
  font.SetName("DejaVu Serif");
  font.SetHeight(-17);
  io.SetPreviewFont(&font);
  for (TLKDialogType type : {lkdtDialog, lkdtMaxi}) {
    TestHooks::PushModalStep([&](TCustomForm* F) {
      const QFont f = F->GetPeer()->font();
      EXPECT_EQ(f.family().toStdString(), "DejaVu Serif") << type;
      EXPECT_EQ(f.pixelSize(), 17) << type;
      // The controls on it inherit it.
      EXPECT_EQ(form->Edit[0]->GetPeer()->font().pixelSize(), 17) << type;
    });
    io.DoPrintPreviewDialog(type, "job", false, "");
  }
}

TEST_F(PrintForms, AnnotationsAreBurntInOnlyWhenPrinted) {
  // A white picture with a black filled box over its left half.
  for (Integer y = 0; y < 200; ++y) std::memset(io.GetLKBitmap()->GetScanLine(y), 0xFF, 900);
  TLKImagingObject& box = *io.GetIOParams()->GetImagingAnnot()->AddObject();
  box.Attributes.MarkType = lkmtFilledRect;
  box.Attributes.Right = 149;
  box.Attributes.Bottom = 199;
  auto dark = [](TBitmap& B) {
    Integer n = 0;
    for (Integer y = 0; y < B.GetHeight(); ++y)
      for (Integer x = 0; x < B.GetWidth(); ++x) n += B.ScanLine(y)[3 * x] < 128;
    return n;
  };
  Integer shown[2] = {};
  for (bool annotations : {false, true}) {
    TestHooks::PushModalStep([&](TCustomForm*) {
      shown[annotations] = dark(form->Preview->Page);
      static_cast<TflkPrnForm2*>(form)->Button1->Click();
    });
    EXPECT_TRUE(io.DoPrintPreviewDialog(lkdtDialog, "job", annotations, ""));
  }
  // Without them only the dashed margin frame is dark; with them the box's
  // area too. The picture itself keeps no mark.
  EXPECT_GT(shown[true], shown[false] + 500);
  EXPECT_EQ(static_cast<Byte*>(io.GetLKBitmap()->GetScanLine(100))[0], 0xFF);
  const std::string ppm = printkit::Output("pdftoppm -r 50 '" + pdf + "'");
  EXPECT_NE(ppm.find(std::string(30, '\0')), std::string::npos) << "the printed page holds the black box";
}
