// The multi-image print preview: every picture (or the selected ones, in
// the order they were selected) printed one per page into one job, through
// a PDF file and through the private print queue; the thumbnail column,
// its captions, zoom and languages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include <QFont>
#include <QWidget>

#include "core/lkbitmap.h"
#include "dialogs/lkmprintform.h"
#include "io/lumerakio.h"
#include "platform/printers.h"
#include "platform/testhooks.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"
#include "views/lumerakvect.h"
#include "common/print_kit.h"

namespace {

using printkit::Output;

// The colour at the middle of page Page of a PDF, rendered at 10 dpi, as
// "r g b" rounded to dark (0) or light (1).
std::string MiddleColour(const String& Pdf, int Page) {
  const std::string ppm = Output("pdftoppm -r 10 -f " + std::to_string(Page) + " -l " + std::to_string(Page) + " '" +
                                Pdf + "'");
  int w = 0, h = 0, maxval = 0, used = 0;
  if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &used) != 3) return "none";
  const size_t at = static_cast<size_t>(used) + 1 + (static_cast<size_t>(h / 2) * w + w / 2) * 3;
  if (ppm.size() < at + 3) return "none";
  std::string s;
  for (int c = 0; c < 3; ++c) s += (static_cast<unsigned char>(ppm[at + c]) > 127 ? "1" : "0");
  return s;
}

class MultiPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    LKSetMultiPrintForm(LKCreateMultiPrintForm);
    // Red, green and blue pictures, 300 x 200 at 100 dpi.
    const Byte colours[3][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};  // stored blue, green, red
    for (const auto& c : colours) {
      TLKBitmap b;
      b.Allocate(300, 200, lk24RGB);
      for (Integer y = 0; y < 200; ++y) {
        auto* row = static_cast<Byte*>(b.GetScanLine(y));
        for (Integer x = 0; x < 300; ++x) std::memcpy(row + 3 * x, c, 3);
      }
      view.SetLKBitmap(view.AppendImage(), &b);
    }
    mio = view.GetLumerakMIO();
    mio->SetAutoResetPrinter(false);
    for (Integer i = 0; i < 3; ++i) mio->GetParams(i)->DPIX = mio->GetParams(i)->DPIY = 100;
    char pattern[] = "/tmp/lkmprn-XXXXXX";
    dir = ::mkdtemp(pattern);
    pdf = dir + "/out.pdf";
    TPrinter* p = ResetPrinterObject();
    p->SetOutputFileName(pdf);
    p->SetResolution(50);
  }
  void TearDown() override {
    TestHooks::Reset();
    LKSetMultiPrintForm(nullptr);
    ResetPrinterObject();
    std::filesystem::remove_all(dir);
  }
  // Runs the preview with Step acting on the form.
  bool Run(const std::function<void(TflkPrnForm3*)>& Step, TMsgLanguage Language = msEnglish,
           bool Annotations = false) {
    mio->MsgLanguage = Language;
    TestHooks::PushModalStep([&](TCustomForm* F) {
      auto* f = dynamic_cast<TflkPrnForm3*>(F);
      ASSERT_NE(f, nullptr);
      Step(f);
    });
    return mio->DoPrintPreviewDialog("Velmoran multi-page test", Annotations, "");
  }
  TLumerakMView view;
  TLumerakMIO* mio = nullptr;
  String dir, pdf;
};

}  // namespace

TEST_F(MultiPrint, PrintsEveryPictureOrTheSelectedOnesOnePerPage) {
  struct Row {
    const char* Name;
    std::vector<Integer> Select;  // selected in this order; empty: print all
    std::vector<std::string> Pages;  // middle colour of each page
  };
  const Row rows[] = {
      {"all", {}, {"100", "010", "001"}},
      {"selected, in the order of selection", {2, 0}, {"001", "100"}},
  };
  for (const Row& r : rows) {
    std::filesystem::remove(pdf);
    EXPECT_TRUE(Run([&](TflkPrnForm3* f) {
      if (!r.Select.empty()) {
        f->ComboBox2->SetItemIndex(1);
        f->LumerakMView1->BeginSelectImages();
        for (Integer i : r.Select) f->LumerakMView1->SetSelectedItem(i);
        f->LumerakMView1->EndSelectImages();
      }
      f->SpeedButton11->Click();
      EXPECT_EQ(f->PagesPrinted, static_cast<Integer>(r.Pages.size()));
      f->SpeedButton12->Click();
    })) << r.Name;
    ASSERT_TRUE(std::filesystem::exists(pdf)) << r.Name;
    EXPECT_EQ(Output("qpdf --show-npages '" + pdf + "'"), std::to_string(r.Pages.size()) + "\n") << r.Name;
    for (size_t k = 0; k < r.Pages.size(); ++k)
      EXPECT_EQ(MiddleColour(pdf, static_cast<int>(k + 1)), r.Pages[k]) << r.Name << " page " << k + 1;
  }
}

TEST_F(MultiPrint, PrintSelectedWithNothingSelectedStartsNoJob) {
  // A job without pages would still put out a blank sheet.
  EXPECT_TRUE(Run([&](TflkPrnForm3* f) {
    f->ComboBox2->SetItemIndex(1);
    f->LumerakMView1->Deselect();
    f->SpeedButton11->Click();
    EXPECT_EQ(f->PagesPrinted, 0);
    EXPECT_FALSE(Printer()->GetPrinting());
    f->SpeedButton12->Click();
  }));
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(MultiPrint, ColumnCaptionsPreviewZoomLanguageAndFont) {
  TFont font;
  font.SetHeight(-15);
  mio->SetPreviewFont(&font);
  EXPECT_TRUE(Run(
      [&](TflkPrnForm3* f) {
        ASSERT_EQ(f->LumerakMView1->GetImageCount(), 3);
        for (Integer i = 0; i < 3; ++i)
          EXPECT_EQ(f->LumerakMView1->GetImageTopText(i)->GetCaption(), "Image " + std::to_string(i + 1));
        EXPECT_EQ(f->LumerakMView1->GetSelectedImage(), 0);
        EXPECT_EQ(f->ComboBox1->GetItemIndex(), lksFITTOPAGE);
        EXPECT_EQ(f->ComboBox2->GetItemIndex(), 0);
        EXPECT_FALSE(f->LumerakMView1->FillThumbnail);
        // The first picture is on the page preview; choosing the third
        // puts it there.
        EXPECT_GT(f->Preview->Page.GetWidth(), 1);
        EXPECT_EQ(static_cast<Byte*>(f->GetWorkView()->GetLKBitmap()->GetScanLine(0))[2], 255);
        f->LumerakMView1->SetSelectedItem(2);
        f->ImageSelect();
        EXPECT_EQ(static_cast<Byte*>(f->GetWorkView()->GetLKBitmap()->GetScanLine(0))[0], 255);
        // Zoom in then out leaves the thumbnails 40 pixels larger.
        f->Add1->Click();
        f->Delete1->Click();
        EXPECT_EQ(f->LumerakMView1->GetThumbWidth(), 190);
        EXPECT_EQ(f->LumerakMView1->GetThumbHeight(), 230);
        for (int i = 0; i < 30; ++i) f->Delete1->Click();
        EXPECT_GE(f->LumerakMView1->GetThumbWidth(), 10);
        // The choice of pages in the form's language.
        ASSERT_EQ(f->ComboBox2->GetItems()->GetCount(), 2);
        EXPECT_EQ(f->ComboBox2->GetItems()->Get(0), lkmsg(LKMSG_PRINTALL, msGerman));
        EXPECT_EQ(f->SpeedButton12->GetCaption(), lkmsg(LKMSG_CLOSE2, msGerman));
        // The component's preview font.
        EXPECT_EQ(f->GetPeer()->font().pixelSize(), 15);
        f->SpeedButton12->Click();
      },
      msGerman));
  // Nothing to print: refused before anything opens.
  TLumerakMIO lone;
  EXPECT_FALSE(lone.DoPrintPreviewDialog("job", false, ""));
  // Without the form installed.
  LKSetMultiPrintForm(nullptr);
  EXPECT_FALSE(mio->DoPrintPreviewDialog("job", false, ""));
}

// Three pages through the private print scheduler's queue: one document of
// three pages arrives.
TEST_F(MultiPrint, ThreePagesArriveThroughTheSchedulerQueue) {
  std::string why;
  TPrinter* P = printkit::QueuePrinter(why);
  ASSERT_NE(P, nullptr) << why;
  const std::string arrived = printkit::JobFile("Velmoran multi-page test");
  std::filesystem::remove(arrived);
  P->SetResolution(75);
  EXPECT_TRUE(Run([&](TflkPrnForm3* f) {
    f->SpeedButton11->Click();
    f->SpeedButton12->Click();
  }));
  ResetPrinterObject();
  ASSERT_TRUE(printkit::WaitForFile(arrived)) << "no document arrived at " << arrived;
  EXPECT_EQ(Output("qpdf --show-npages '" + arrived + "'"), "3\n");
}

TEST_F(MultiPrint, AnnotationsOfEachPictureAreBurntInWhenPrinted) {
  // A black box over the whole of the second (green) picture.
  TLKImagingObject& box = *mio->GetParams(1)->GetImagingAnnot()->AddObject();
  box.Attributes.MarkType = lkmtFilledRect;
  box.Attributes.Right = 299;
  box.Attributes.Bottom = 199;
  for (bool annotations : {false, true}) {
    std::filesystem::remove(pdf);
    EXPECT_TRUE(Run(
        [&](TflkPrnForm3* f) {
          f->SpeedButton11->Click();
          f->SpeedButton12->Click();
        },
        msEnglish, annotations));
    EXPECT_EQ(MiddleColour(pdf, 1), "100");
    EXPECT_EQ(MiddleColour(pdf, 2), annotations ? "000" : "010");
  }
  // The pictures of the view keep no mark.
  TLKBitmap copy;
  view.CopyToLKBitmap(1, &copy);
  EXPECT_EQ(static_cast<Byte*>(copy.GetScanLine(100))[1], 255);
}
