// Printers of the platform layer: one process-wide printer object over Qt's
// print support, its printer set-up dialog, and device capabilities of
// canvases (printer pages and the screen).
//
// Design: a page is drawn on a raster of the printer's resolution (24-bit,
// white at the start of each page) through the ordinary TCanvas, so printer
// drawing follows the same desktop drawing rules as every other canvas
// (end points left out, pen modes on stored values). NewPage and EndDoc hand
// the raster to Qt's printer at one device pixel per raster pixel; only the
// part that holds something other than white is sent, so an empty page
// costs nothing and a picture keeps its place exactly. The raster is made
// when the canvas first touches a row, so a page drawn only in bands (see
// DrawBanded) never holds more than one band: a 600 dpi A4 page is 100 MB.
// The printer prints to a queue that Qt's printer list names (CUPS on
// Linux), or to a PDF file when an output file name is set.
//
// Threading: main thread only, like the forms that print.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/graphics.h"
#include "platform/system.h"

class QPrinter;

enum TPrinterOrientation : Byte { poPortrait, poLandscape };

/// The printer: pages, their canvas, the chosen queue and its settings.
class TPrinter : public TObject {
 public:
  TPrinter();
  ~TPrinter() override;
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  /// Names of the print queues the system lists (may be empty).
  std::vector<String> GetPrinters() const;
  /// The chosen queue, -1 for the system's default one.
  Integer GetPrinterIndex() const { return FPrinterIndex; }
  /// Chooses a queue of GetPrinters (-1: the default); an index out of
  /// range raises EPrinter. Not while printing.
  void SetPrinterIndex(Integer Value);
  /// Name of the queue in use ("" when there is none and no output file).
  String GetPrinterName() const;

  /// Prints into this PDF file instead of a queue ("" : the queue).
  String GetOutputFileName() const { return FOutputFileName; }
  void SetOutputFileName(const String& Value);
  /// Device resolution in dots per inch (both directions); default 300
  /// for PDF output, the queue's own otherwise.
  Integer GetResolution() const;
  void SetResolution(Integer Dpi);
  /// Paper size in millimetres (portrait); default A4.
  void SetPaperSizeMM(double Width, double Height);

  Integer GetCopies() const;
  void SetCopies(Integer Value);
  TPrinterOrientation GetOrientation() const;
  void SetOrientation(TPrinterOrientation Value);
  /// Title of the print job.
  String Title;

  /// Page size in device pixels (the whole sheet).
  Integer GetPageWidth() const;
  Integer GetPageHeight() const;
  /// Device dots per inch.
  Integer GetXDpi() const { return GetResolution(); }
  Integer GetYDpi() const { return GetResolution(); }

  /// Starts a job and its first page; raises EPrinter when already printing
  /// or when the queue or file cannot be opened.
  void BeginDoc();
  /// Sends the page drawn so far and starts a new, white one.
  void NewPage();
  /// Sends the last page and ends the job.
  void EndDoc();
  /// Drops the job (nothing more is sent).
  void Abort();
  bool GetPrinting() const { return FPrinting; }
  /// Pages begun in the current job (1 after BeginDoc).
  Integer GetPageNumber() const { return FPageNumber; }
  /// The page's canvas; drawing needs a started job.
  TCanvas* GetCanvas();
  /// Draws part of the page in horizontal bands, sending each band to the
  /// device as soon as it is drawn, so the whole page raster is never held.
  /// Draw is called once per band with the page canvas clipped to the band
  /// (it should skip work outside GetCanvas()->GetClipRect()), twice over:
  /// once to find the box that holds something other than white, once to
  /// send that box in bands of whole rows. Area bounds what Draw draws. When
  /// the page's raster already holds drawing, Draw is called once on it
  /// instead, so the page keeps its drawing order. Drawing straight on the
  /// canvas after a banded drawing of the same page is sent over it when the
  /// page ends, white included. Raises EPrinter when not printing.
  void DrawBanded(const TRect& Area, const std::function<void()>& Draw);

  /// Chooses the same queue again with the driver's defaults for every
  /// setting but the copies, the orientation and the title.
  void ResetToDefaults();

  /// Qt's printer behind this object, for the dialogs of this layer.
  QPrinter* QtPrinter() const { return FQt.get(); }

 private:
  void MakeQtPrinter(const String& Name);
  void FlushPage();
  void ClearPage();
  void SendRows(const Byte* Rows, Integer Stride, const TRect& Box, Integer FirstRow);

  std::unique_ptr<QPrinter> FQt;
  std::unique_ptr<class QPainter> FPainter;
  std::unique_ptr<class TPrinterPage> FPage;
  std::unique_ptr<TCanvas> FCanvas;
  Integer FPrinterIndex = -1;
  String FOutputFileName;
  Integer FResolution = 0;  // 0: the device's own
  double FPaperW = 210.0, FPaperH = 297.0;
  bool FPrinting = false;
  Integer FPageNumber = 0;
};

/// The process-wide printer, made on first use.
TPrinter* Printer();
/// Replaces the process-wide printer with a new one with default settings
/// (tests); returns it.
TPrinter* ResetPrinterObject();

/// Draw limited to Area of Canvas: in bands through TPrinter::DrawBanded
/// when Canvas is the page canvas of the process-wide printer's running
/// job, otherwise by one call of Draw.
void PrintInBands(TCanvas* Canvas, const TRect& Area, const std::function<void()>& Draw);

/// Raised for printer misuse and queues that cannot be opened.
class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

/// Chooses the current printer again with no device settings, so that all
/// its settings return to the driver's defaults, keeping its copies,
/// orientation and print title.
void LKResetPrinter();

/// A device capability of a canvas (HORZRES, VERTRES, LOGPIXELSX,
/// LOGPIXELSY): the printer's for the printer's page canvas, the screen's
/// dots per inch and the surface's size for any other canvas; 0 for other
/// indexes or a null canvas.
Integer GetDeviceCaps(TCanvas* Canvas, Integer Index);

/// The printer set-up dialog: the queue and its paper, orientation and
/// copies. Behind the scripted modal runner of the test hooks: while modal
/// forms are scripted, no dialog shows; a queued step runs (with a null
/// form) and counts as OK, no step counts as Cancel.
class TPrinterSetupDialog : public TComponent {
 public:
  explicit TPrinterSetupDialog(TComponent* Owner = nullptr) : TComponent(Owner) {}
  /// Shows the dialog for Printer(); true when the user confirmed.
  bool Execute();
};
