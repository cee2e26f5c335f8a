// Prints one picture file fitted on one page to a PDF file through the
// printer object, as the print dialog's OK does: the page is drawn at the
// printer's resolution and handed to Qt's PDF output.
//   print_tool IN OUT.pdf [DPI]   (default 600 dpi, A4, no margins)
// Built by bench/print_side_by_side.sh; runs on Qt's offscreen platform.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/printers.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: print_tool IN OUT.pdf [DPI]\n");
    return 2;
  }
  QApplication qt(argc, argv);
  TLumerakIO io;
  io.LoadFromFile(argv[1]);
  if (io.GetAborted() || io.GetLKBitmap()->GetWidth() < 1) {
    std::fprintf(stderr, "print_tool: cannot read %s\n", argv[1]);
    return 1;
  }
  TPrinter* p = Printer();
  p->SetOutputFileName(argv[2]);
  p->SetPaperSizeMM(210, 297);
  p->SetResolution(argc > 3 ? std::atoi(argv[3]) : 600);
  p->Title = "print_tool";
  p->BeginDoc();
  io.PrintImage(nullptr, 0, 0, 0, 0, lkvpCENTER, lkhpCENTER, lksFITTOPAGE, 0, 0, 1);
  p->EndDoc();
  return 0;
}
