#include "platform/printers.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <cstring>
#include <span>

#include "platform/controls.h"
#include "platform/testhooks.h"

namespace {

std::unique_ptr<TPrinter>& PrinterSlot() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

// Default resolution of PDF output: what a desktop printer driver reports.
constexpr int kDefaultPdfDpi = 300;

// Largest band DrawBanded draws at once.
constexpr long long kBandBytes = 8LL << 20;
// Band heights are multiples of this many rows, counted from the top of the
// box that is sent: a device that codes images in blocks of up to 16 rows
// (JPEG in PDF output) then codes the same blocks as for one image.
constexpr Integer kBandGrid = 16;

// Box of what is not white in rows [First, Last) of a 24-bit raster (rows
// Stride bytes apart, Width pixels); empty (Left >= Right) when all white.
// Rows counts from the raster's first row; the box is in page rows.
TRect InkBox(const Byte* Rows, Integer Stride, Integer Width, Integer FirstPageRow, Integer Count) {
  const Integer rowBytes = Width * 3;
  TRect box{Width, 0, -1, 0};
  bool any = false;
  for (Integer y = 0; y < Count; ++y) {
    const Byte* row = Rows + static_cast<std::size_t>(y) * Stride;
    Integer first = 0;
    while (first < rowBytes && row[first] == 0xFF) ++first;
    if (first == rowBytes) continue;
    Integer last = rowBytes - 1;
    while (row[last] == 0xFF) --last;
    if (!any) box.Top = FirstPageRow + y;
    any = true;
    box.Bottom = FirstPageRow + y + 1;
    box.Left = std::min(box.Left, first / 3);
    box.Right = std::max(box.Right, last / 3 + 1);
  }
  return any ? box : TRect{};
}

TRect Union(const TRect& A, const TRect& B) {
  if (A.Left >= A.Right) return B;
  if (B.Left >= B.Right) return A;
  return TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
               std::max(A.Bottom, B.Bottom)};
}

}  // namespace

// The page's pixels: the whole raster, made white when a canvas first asks
// for a row, or while a band is drawn only the band's rows. Rows outside the
// band (which a band's clip keeps the canvas from touching) share one
// scratch row, so a stray write can never land on the band.
class TPrinterPage : public TPixelSurface {
 public:
  void Reset(Integer Width, Integer Height) {
    FWidth = std::max<Integer>(Width, 0);
    FHeight = std::max<Integer>(Height, 0);
    FStride = BytesPerScanline(FWidth, 24);
    FRaster = {};
    FBand = {};
    FBandRows = 0;
    FScratch.assign(static_cast<std::size_t>(FStride), 0xFF);
  }
  Integer SurfaceWidth() const override { return FWidth; }
  Integer SurfaceHeight() const override { return FHeight; }
  Integer SurfaceBitsPerPixel() const override { return 24; }
  std::span<const TRGBQuad> SurfacePalette() const override { return {}; }
  Byte* SurfaceRow(Integer y) override {
    if (FBandRows > 0) {
      if (y < FBandTop || y >= FBandTop + FBandRows) return FScratch.data();
      return FBand.data() + static_cast<std::size_t>(y - FBandTop) * FStride;
    }
    if (FRaster.empty()) FRaster.assign(static_cast<std::size_t>(FStride) * FHeight, 0xFF);
    return FRaster.data() + static_cast<std::size_t>(y) * FStride;
  }

  bool HasRaster() const { return !FRaster.empty(); }
  const Byte* Raster() const { return FRaster.data(); }
  Integer Stride() const { return FStride; }
  /// Rows of a band of at most kBandBytes, a multiple of kBandGrid.
  Integer BandRows() const {
    const long long rows = kBandBytes / std::max<Integer>(FStride, 1) / kBandGrid * kBandGrid;
    return static_cast<Integer>(std::max<long long>(rows, kBandGrid));
  }
  void BeginBand(Integer Top, Integer Rows) {
    FBandTop = Top;
    FBandRows = Rows;
    FBand.assign(static_cast<std::size_t>(FStride) * Rows, 0xFF);
  }
  const Byte* Band() const { return FBand.data(); }
  void EndBand() {
    FBandRows = 0;
    FBand = {};
  }

 private:
  Integer FWidth = 0, FHeight = 0, FStride = 0;
  std::vector<Byte> FRaster;
  std::vector<Byte> FBand;
  Integer FBandTop = 0, FBandRows = 0;
  std::vector<Byte> FScratch;
};

TPrinter::TPrinter()
    : FPage(std::make_unique<TPrinterPage>()), FCanvas(std::make_unique<TCanvas>(FPage.get())) {
  MakeQtPrinter("");
}

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
  // Each job starts with a canvas of default pen, brush and font.
  FCanvas = std::make_unique<TCanvas>(FPage.get());
  FPage->Reset(GetPageWidth(), GetPageHeight());
  FPrinting = true;
  FPageNumber = 1;
}

void TPrinter::ClearPage() {
  FPage->Reset(GetPageWidth(), GetPageHeight());
  FCanvas->ResetClipRect();
}

void TPrinter::SendRows(const Byte* Rows, Integer Stride, const TRect& Box, Integer FirstRow) {
  // Rows holds page rows from FirstRow on; Box is in page pixels.
  const QImage image(Rows + static_cast<std::size_t>(Box.Top - FirstRow) * Stride + static_cast<std::size_t>(Box.Left) * 3,
                     Box.Right - Box.Left, Box.Bottom - Box.Top, Stride, QImage::Format_BGR888);
  FPainter->drawImage(QPoint(Box.Left, Box.Top), image);
}

void TPrinter::FlushPage() {
  // Only the box around what is not white goes to the device: one image at
  // its device-pixel place.
  if (!FPage->HasRaster()) return;
  const TRect box = InkBox(FPage->Raster(), FPage->Stride(), FPage->SurfaceWidth(), 0, FPage->SurfaceHeight());
  if (box.Left < box.Right) SendRows(FPage->Raster(), FPage->Stride(), box, 0);
}

void TPrinter::DrawBanded(const TRect& Area, const std::function<void()>& Draw) {
  if (!FPrinting) throw EPrinter("Printer is not currently printing");
  if (!Draw) return;
  if (FPage->HasRaster()) {
    Draw();
    return;
  }
  const Integer top = std::max<Integer>(std::min(Area.Top, Area.Bottom), 0);
  const Integer bottom = std::min<Integer>(std::max(Area.Top, Area.Bottom), FPage->SurfaceHeight());
  if (top >= bottom) return;
  const TRect before = FCanvas->GetClipRect();
  const bool clipped = !(before == TRect{0, 0, FPage->SurfaceWidth(), FPage->SurfaceHeight()});
  struct TRestore {
    TPrinterPage* Page;
    TCanvas* Canvas;
    TRect Clip;
    bool Clipped;
    ~TRestore() {
      Page->EndBand();
      if (Clipped) Canvas->SetClipRect(Clip);
      else Canvas->ResetClipRect();
    }
  } restore{FPage.get(), FCanvas.get(), before, clipped};
  const Integer rows = FPage->BandRows();
  auto drawBand = [&](Integer From, Integer To) {
    FPage->BeginBand(From, To - From);
    FCanvas->SetClipRect(TRect{std::max(before.Left, 0), std::max(before.Top, From), before.Right,
                               std::min(before.Bottom, To)});
    Draw();
  };
  // First the box of what the drawing puts on the page, then that box in
  // bands on a grid from its top, so the device gets the same image rows
  // as when the whole page is sent at once. Each band's image reaches one
  // grid step into its neighbours and is clipped to the band: a JPEG
  // decoder smooths colour across an image's edge rows, and so no edge row
  // of a band shows.
  TRect box{};
  for (Integer y = top; y < bottom; y += rows) {
    const Integer to = std::min(y + rows, bottom);
    drawBand(y, to);
    box = Union(box, InkBox(FPage->Band(), FPage->Stride(), FPage->SurfaceWidth(), y, to - y));
  }
  if (box.Left >= box.Right) return;
  FPainter->save();
  for (Integer y = box.Top; y < box.Bottom; y += rows) {
    const Integer to = std::min(y + rows, box.Bottom);
    const Integer from = std::max(y - kBandGrid, box.Top), until = std::min(to + kBandGrid, box.Bottom);
    drawBand(from, until);
    FPainter->setClipRect(QRect(box.Left, y, box.Right - box.Left, to - y));
    SendRows(FPage->Band(), FPage->Stride(), TRect{box.Left, from, box.Right, until}, from);
  }
  FPainter->restore();
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
  FPage->Reset(0, 0);
  FPrinting = false;
  FPageNumber = 0;
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FQt->abort();
  FPainter->end();
  FPainter.reset();
  FPage->Reset(0, 0);
  FPrinting = false;
  FPageNumber = 0;
}

TCanvas* TPrinter::GetCanvas() {
  // Without a job the page has no pixels, and the canvas draws nothing.
  return FCanvas.get();
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

void PrintInBands(TCanvas* Canvas, const TRect& Area, const std::function<void()>& Draw) {
  if (!Draw) return;
  auto& slot = PrinterSlot();
  if (Canvas && slot && slot->GetPrinting() && Canvas == slot->GetCanvas())
    slot->DrawBanded(Area, Draw);
  else
    Draw();
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
