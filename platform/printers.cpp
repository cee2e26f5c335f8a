#include "platform/printers.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <cstring>

#include "platform/controls.h"
#include "platform/testhooks.h"

namespace {

std::unique_ptr<TPrinter>& PrinterSlot() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

// Default resolution of PDF output: what a desktop printer driver reports.
constexpr int kDefaultPdfDpi = 300;

}  // namespace

TPrinter::TPrinter() { MakeQtPrinter(""); }

TPrinter::~TPrinter() {
  if (FPrinting) Abort();
}

void TPrinter::MakeQtPrinter(const String& Name) {
  FQt = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (!Name.empty()) FQt->setPrinterName(QString::fromStdString(Name));
  if (!FOutputFileName.empty()) {
    FQt->setOutputFormat(QPrinter::PdfFormat);
    FQt->setOutputFileName(QString::fromStdString(FOutputFileName));
  }
  // The whole sheet is the page: coordinates start at the paper's corner,
  // and margins are the caller's business (as the picture layout has them).
  FQt->setFullPage(true);
  FQt->setPageSize(QPageSize(QSizeF(FPaperW, FPaperH), QPageSize::Millimeter));
  FQt->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  if (FResolution > 0)
    FQt->setResolution(FResolution);
  else if (FQt->outputFormat() == QPrinter::PdfFormat)
    FQt->setResolution(kDefaultPdfDpi);
}

std::vector<String> TPrinter::GetPrinters() const {
  std::vector<String> names;
  for (const QString& n : QPrinterInfo::availablePrinterNames()) names.push_back(n.toStdString());
  return names;
}

void TPrinter::SetPrinterIndex(Integer Value) {
  if (FPrinting) throw EPrinter("Printing in progress");
  const std::vector<String> names = GetPrinters();
  if (Value < -1 || Value >= static_cast<Integer>(names.size())) throw EPrinter("Printer index out of range");
  FPrinterIndex = Value;
  const TPrinterOrientation o = GetOrientation();
  const Integer copies = GetCopies();
  MakeQtPrinter(Value < 0 ? String(QPrinterInfo::defaultPrinterName().toStdString()) : names[Value]);
  SetOrientation(o);
  SetCopies(copies);
}

String TPrinter::GetPrinterName() const {
  if (FQt->outputFormat() == QPrinter::PdfFormat) return FOutputFileName;
  return FQt->printerName().toStdString();
}

void TPrinter::SetOutputFileName(const String& Value) {
  if (FPrinting) throw EPrinter("Printing in progress");
  FOutputFileName = Value;
  const TPrinterOrientation o = GetOrientation();
  const Integer copies = GetCopies();
  MakeQtPrinter(FQt->printerName().toStdString());
  SetOrientation(o);
  SetCopies(copies);
}

Integer TPrinter::GetResolution() const { return FQt->resolution(); }

void TPrinter::SetResolution(Integer Dpi) {
  if (FPrinting) throw EPrinter("Printing in progress");
  if (Dpi < 1) return;
  FResolution = Dpi;
  FQt->setResolution(Dpi);
}

void TPrinter::SetPaperSizeMM(double Width, double Height) {
  if (FPrinting) throw EPrinter("Printing in progress");
  if (!(Width > 0) || !(Height > 0)) return;
  FPaperW = Width;
  FPaperH = Height;
  FQt->setPageSize(QPageSize(QSizeF(Width, Height), QPageSize::Millimeter));
}

Integer TPrinter::GetCopies() const { return FQt->copyCount(); }
void TPrinter::SetCopies(Integer Value) { FQt->setCopyCount(Value < 1 ? 1 : Value); }

TPrinterOrientation TPrinter::GetOrientation() const {
  return FQt->pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}
void TPrinter::SetOrientation(TPrinterOrientation Value) {
  FQt->setPageOrientation(Value == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

Integer TPrinter::GetPageWidth() const { return FQt->pageLayout().fullRectPixels(FQt->resolution()).width(); }
Integer TPrinter::GetPageHeight() const { return FQt->pageLayout().fullRectPixels(FQt->resolution()).height(); }

void TPrinter::BeginDoc() {
  if (FPrinting) throw EPrinter("Printing in progress");
  if (!FOutputFileName.empty()) {
    FQt->setOutputFormat(QPrinter::PdfFormat);
    FQt->setOutputFileName(QString::fromStdString(FOutputFileName));
  } else if (FQt->printerName().isEmpty()) {
    throw EPrinter("There is no default printer currently selected");
  }
  FQt->setDocName(QString::fromStdString(Title));
  FQt->setCreator(QStringLiteral("Velmoran"));
  FPainter = std::make_unique<QPainter>();
  if (!FPainter->begin(FQt.get())) {
    FPainter.reset();
    throw EPrinter("Printer \"" + GetPrinterName() + "\" cannot be opened");
  }
  FPage = std::make_unique<TBitmap>(GetPageWidth(), GetPageHeight(), pf24bit);
  ClearPage();
  FPrinting = true;
  FPageNumber = 1;
}

void TPrinter::ClearPage() {
  for (Integer y = 0; y < FPage->GetHeight(); ++y) std::memset(FPage->ScanLine(y), 0xFF, FPage->RowBytes());
  FPage->GetCanvas()->ResetClipRect();
}

void TPrinter::FlushPage() {
  // Only the box around what is not white goes to the device: one image at
  // its device-pixel place.
  const Integer w = FPage->GetWidth(), h = FPage->GetHeight();
  const Integer rowBytes = w * 3;
  Integer top = -1, bottom = -1, left = w, right = -1;
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = FPage->ScanLine(y);
    Integer first = 0;
    while (first < rowBytes && row[first] == 0xFF) ++first;
    if (first == rowBytes) continue;
    Integer last = rowBytes - 1;
    while (row[last] == 0xFF) --last;
    if (top < 0) top = y;
    bottom = y;
    left = std::min(left, first / 3);
    right = std::max(right, last / 3);
  }
  if (top < 0) return;
  const QImage image(FPage->ScanLine(top) + static_cast<std::size_t>(left) * 3, right - left + 1,
                     bottom - top + 1, FPage->RowBytes(), QImage::Format_BGR888);
  FPainter->drawImage(QPoint(left, top), image);
}

void TPrinter::NewPage() {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  FlushPage();
  FQt->newPage();
  ClearPage();
  ++FPageNumber;
}

void TPrinter::EndDoc() {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  FlushPage();
  FPainter->end();
  FPainter.reset();
  FPage.reset();
  FPrinting = false;
  FPageNumber = 0;
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FQt->abort();
  FPainter->end();
  FPainter.reset();
  FPage.reset();
  FPrinting = false;
  FPageNumber = 0;
}

TCanvas* TPrinter::GetCanvas() {
  if (!FPage) {
    // No job: a canvas on an empty surface, which draws nothing.
    FPage = std::make_unique<TBitmap>();
  }
  return FPage->GetCanvas();
}

void TPrinter::ResetToDefaults() {
  if (FPrinting) return;
  const Integer copies = GetCopies();
  const TPrinterOrientation o = GetOrientation();
  FResolution = 0;
  FPaperW = 210.0;
  FPaperH = 297.0;
  MakeQtPrinter(FQt->printerName().toStdString());
  SetCopies(copies);
  SetOrientation(o);
}

TPrinter* Printer() {
  auto& slot = PrinterSlot();
  if (!slot) slot = std::make_unique<TPrinter>();
  return slot.get();
}

TPrinter* ResetPrinterObject() {
  PrinterSlot() = std::make_unique<TPrinter>();
  return PrinterSlot().get();
}

void LKResetPrinter() {
  TPrinter* p = Printer();
  const String title = p->Title;
  p->ResetToDefaults();
  p->Title = title;
}

Integer GetDeviceCaps(TCanvas* Canvas, Integer Index) {
  if (!Canvas) return 0;
  auto& slot = PrinterSlot();
  if (slot && slot->GetPrinting() && Canvas == slot->GetCanvas()) {
    switch (Index) {
      case HORZRES: return slot->GetPageWidth();
      case VERTRES: return slot->GetPageHeight();
      case LOGPIXELSX: return slot->GetXDpi();
      case LOGPIXELSY: return slot->GetYDpi();
      default: return 0;
    }
  }
  TPixelSurface* s = Canvas->GetSurface();
  switch (Index) {
    case HORZRES: return s ? s->SurfaceWidth() : 0;
    case VERTRES: return s ? s->SurfaceHeight() : 0;
    case LOGPIXELSX:
    case LOGPIXELSY: return ScreenPixelsPerInch;
    default: return 0;
  }
}

bool TPrinterSetupDialog::Execute() {
  if (TestHooks::ModalScripted()) {
    TestHooks::TModalStep step = TestHooks::TakeModalStep();
    if (!step) return false;
    step(nullptr);
    return true;
  }
  QPrintDialog dialog(Printer()->QtPrinter());
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}
