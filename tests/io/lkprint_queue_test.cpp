// Printing through the printer object to real output: a PDF file (pages
// counted and measured by qpdf and pdfinfo, the page rendered by pdftoppm
// and compared with the preview) and a print queue of the private print
// scheduler that scripts/test starts (scripts/print-queue).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/lkbitmap.h"
#include "io/io_kit.h"
#include "io/lumerakio.h"
#include "platform/graphics.h"
#include "platform/printers.h"
#include "common/print_kit.h"

namespace {

using printkit::Output;

// The box of dark pixels (below 128 in every channel) of a binary PPM.
TRect DarkBoxOfPPM(const std::string& Data, Integer& W, Integer& H) {
  Integer maxval = 0;
  int used = 0;
  W = H = 0;
  if (std::sscanf(Data.c_str(), "P6 %d %d %d%n", &W, &H, &maxval, &used) != 3) return TRect();
  const size_t start = static_cast<size_t>(used) + 1;
  TRect r(W, H, 0, 0);
  if (Data.size() < start + static_cast<size_t>(W) * H * 3) return TRect();
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(Data.data()) + start + (static_cast<size_t>(y) * W + x) * 3;
      if (p[0] < 128 && p[1] < 128 && p[2] < 128) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
    }
  return r;
}

// The box of dark pixels of a 24-bit bitmap within Inside.
TRect DarkBoxOfBitmap(TBitmap& B, const TRect& Inside) {
  TRect r(B.GetWidth(), B.GetHeight(), 0, 0);
  for (Integer y = Inside.Top; y < Inside.Bottom; ++y) {
    const Byte* row = B.ScanLine(y);
    for (Integer x = Inside.Left; x < Inside.Right; ++x)
      if (row[3 * x] < 128 && row[3 * x + 1] < 128 && row[3 * x + 2] < 128) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  }
  return r;
}

void BlackPicture(TLumerakIO& io, Integer W, Integer H) {
  io.GetLKBitmap()->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) std::memset(io.GetLKBitmap()->GetScanLine(y), 0, static_cast<size_t>(W) * 3);
  io.GetIOParams()->DPIX = 300;
  io.GetIOParams()->DPIY = 300;
}

void ExpectBoxesWithinOnePixel(const TRect& A, const TRect& B) {
  EXPECT_NEAR(A.Left, B.Left, 1);
  EXPECT_NEAR(A.Top, B.Top, 1);
  EXPECT_NEAR(A.Right, B.Right, 1);
  EXPECT_NEAR(A.Bottom, B.Bottom, 1);
}

// The layout both tests print: margins left 0.5, top 1, right 1.5, bottom
// 0.75 inches, a picture of 4 x 3 inches in the middle (clear of the
// margins, so that the preview's margin frame stays off it).
void PrintLayout(TLumerakIO& io, TCanvas* Canvas) {
  io.PrintImage(Canvas, 0.5, 1, 1.5, 0.75, lkvpCENTER, lkhpCENTER, lksSPECIFIEDSIZE, 4, 3, 1);
}

// The picture's box in the preview at the printer's full resolution (a box
// one page plus the preview's 5-pixel allowance), inside the margin frame.
TRect PreviewBox(TLumerakIO& io, TPrinter& P) {
  TBitmap preview;
  io.PreviewPrintImage(&preview, P.GetPageWidth() + 5, P.GetPageHeight() + 5, &P, 0.5, 1, 1.5, 0.75, lkvpCENTER,
                       lkhpCENTER, lksSPECIFIEDSIZE, 4, 3, 1);
  EXPECT_EQ(preview.GetWidth(), P.GetPageWidth());
  const Integer dpi = P.GetXDpi();
  // Three pixels clear of the dashed frame on every side.
  return DarkBoxOfBitmap(preview, TRect(dpi / 2 + 3, dpi + 3, P.GetPageWidth() - dpi * 3 / 2 - 3,
                                        P.GetPageHeight() - dpi * 3 / 4 - 3));
}

}  // namespace

// Two pages printed to PDF at 150 dpi on A4: qpdf counts them, pdfinfo
// gives the paper, and the rendered first page holds the picture where the
// preview puts it, to the device pixel.
TEST(PrintToPDF, PagesPaperAndPlaceMatchThePreview) {
  if (std::system("command -v pdftoppm >/dev/null && command -v qpdf >/dev/null && command -v pdfinfo >/dev/null") != 0)
    FAIL() << "pdftoppm, pdfinfo and qpdf are needed (scripts/setup installs poppler-utils and qpdf)";
  iokit::TempDir dir;
  const String pdf = dir.File("out.pdf");
  TPrinter* P = ResetPrinterObject();
  P->SetOutputFileName(pdf);
  P->SetResolution(150);
  ASSERT_EQ(P->GetPageWidth(), 1240);  // 210 mm
  ASSERT_EQ(P->GetPageHeight(), 1754);
  TLumerakIO io;
  BlackPicture(io, 900, 600);
  const TRect expected = PreviewBox(io, *P);
  // 4 x 3 inches centred inside the margins: x = 0.5 + (6.27 - 4) / 2.
  EXPECT_EQ(expected.Right - expected.Left, 600);
  EXPECT_EQ(expected.Bottom - expected.Top, 450);
  P->Title = "two pages";
  P->BeginDoc();
  PrintLayout(io, nullptr);
  P->NewPage();
  io.PrintImage(nullptr, 0.5, 1, 1.5, 0.75, lkvpBOTTOM, lkhpLEFT, lksFITTOPAGE, 0, 0, 1);
  P->EndDoc();
  ResetPrinterObject();

  EXPECT_EQ(Output("qpdf --show-npages '" + pdf + "'"), "2\n");
  EXPECT_NE(Output("pdfinfo '" + pdf + "'").find(" x 842 pts (A4)"), std::string::npos);
  const std::string ppm = Output("pdftoppm -r 150 -f 1 -l 1 '" + pdf + "'");
  Integer w = 0, h = 0;
  const TRect printed = DarkBoxOfPPM(ppm, w, h);
  EXPECT_EQ(w, 1240);
  EXPECT_NEAR(h, 1754, 1);  // 841.89 points rounded by the renderer
  ExpectBoxesWithinOnePixel(printed, expected);
}

// A page is drawn and sent in bands instead of as one raster: the page
// that arrives must look the same, pixel for pixel, as the page sent whole.
// The picture's pixels all differ, so a band drawn from the wrong rows, a
// lost or doubled row at a band's edge, or an image coder's smoothing
// across a band's edge shows. Ghostscript renders the pages at the device
// resolution, with no resampling of the images.
TEST(PrintToPDF, APageSentInBandsLooksLikeThePageSentWhole) {
  if (std::system("command -v gs >/dev/null && command -v pdfimages >/dev/null") != 0)
    FAIL() << "gs and pdfimages are needed (scripts/setup installs ghostscript and poppler-utils)";
  iokit::TempDir dir;
  // A picture stretched up (one DIB drawn by the canvas) and one shrunk
  // (resampled first, then drawn in strips).
  for (const Integer W : {1500, 3000}) {
    SCOPED_TRACE(W);
    TLumerakIO io;
    TLKBitmap* b = io.GetLKBitmap();
    const Integer H = W * 2 / 3;
    b->Allocate(W, H, lk24RGB);
    for (Integer y = 0; y < H; ++y) {
      Byte* row = static_cast<Byte*>(b->GetScanLine(y));
      for (Integer x = 0; x < W; ++x) {
        row[3 * x] = static_cast<Byte>(x * 7 + y);
        row[3 * x + 1] = static_cast<Byte>(y * 5 + (x >> 3));
        row[3 * x + 2] = static_cast<Byte>((x * y) >> 6);
      }
    }
    auto print = [&](const String& Name, bool Whole) {
      const String pdf = dir.File(Name + IntToStr(W) + ".pdf");
      TPrinter* P = ResetPrinterObject();
      P->SetOutputFileName(pdf);
      P->SetPaperSizeMM(100, 100);  // 2362 pixels square: two bands of at most 8 MiB
      P->SetResolution(600);
      P->BeginDoc();
      // A white pixel makes the page's raster, which then takes all drawing.
      if (Whole) P->GetCanvas()->FillRect(TRect{0, 0, 1, 1});
      io.PrintImage(nullptr, 0.1, 0.1, 0.1, 0.1, lkvpCENTER, lkhpCENTER, lksFITTOPAGE, 0, 0, 1);
      P->EndDoc();
      ResetPrinterObject();
      return pdf;
    };
    const String banded = print("banded", false), whole = print("whole", true);
    auto images = [](const String& Pdf) {
      const std::string list = Output("pdfimages -list '" + Pdf + "'");
      return std::count(list.begin(), list.end(), '\n') - 2;  // two heading lines
    };
    EXPECT_EQ(images(whole), 1);
    EXPECT_EQ(images(banded), 2);
    auto render = [](const String& Pdf) {
      return Output("gs -q -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r600 -o - '" + Pdf + "'");
    };
    const std::string a = render(banded), c = render(whole);
    ASSERT_GT(a.size(), 2300u * 2300u * 3u);  // the paper is given in whole points
    EXPECT_TRUE(a == c) << "the banded page differs from the whole one";
  }
}

// One job through the private scheduler's queue, found in the system's
// printer list: the document that arrives is a one-page PDF with the
// picture in its place.
TEST(PrintQueue, AJobArrivesThroughTheSchedulerQueue) {
  std::string why;
  TPrinter* P = printkit::QueuePrinter(why);
  ASSERT_NE(P, nullptr) << why;
  const std::string output = printkit::JobFile("Velmoran queue test");
  std::filesystem::remove(output);
  P->SetPaperSizeMM(210, 297);
  P->SetResolution(150);
  TLumerakIO io;
  BlackPicture(io, 900, 600);
  const TRect expected = PreviewBox(io, *P);
  P->Title = "Velmoran queue test";
  P->BeginDoc();
  PrintLayout(io, nullptr);
  P->EndDoc();
  ResetPrinterObject();

  ASSERT_TRUE(printkit::WaitForFile(output)) << "no document arrived at " << output;
  const std::string doc = iokit::ReadAll(output);
  ASSERT_EQ(doc.compare(0, 5, "%PDF-"), 0);
  EXPECT_EQ(Output("qpdf --show-npages '" + output + "'"), "1\n");
  Integer w = 0, h = 0;
  const TRect printed = DarkBoxOfPPM(Output("pdftoppm -r 150 '" + output + "'"), w, h);
  EXPECT_EQ(w, 1240);
  ExpectBoxesWithinOnePixel(printed, expected);
}
