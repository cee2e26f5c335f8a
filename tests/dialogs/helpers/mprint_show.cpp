// Shows the multi-image print preview on the display for a look by hand or
// through xdotool: every file named on the command line is loaded into a
// thumbnail view (all pages of multi-page files) and the preview opens over
// it; "Print" writes the job to the PDF file named first.
//
//   mprint_show OUT.pdf FILE...
#include <QApplication>
#include <cstdio>

#include "dialogs/lkopensavedlg.h"
#include "platform/printers.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: mprint_show OUT.pdf FILE...\n");
    return 2;
  }
  QApplication app(argc, argv);
  LKInstallLumerakDialogs();
  TLumerakMView view;
  TLumerakMIO* mio = view.GetLumerakMIO();
  for (int i = 2; i < argc; ++i) mio->LoadFromFile(argv[i]);
  std::printf("pages %d\n", view.GetImageCount());
  std::fflush(stdout);
  Printer()->SetOutputFileName(argv[1]);
  Printer()->SetResolution(100);
  const bool ok = mio->DoPrintPreviewDialog("Velmoran pages", false, "");
  std::printf("closed %s\n", ok ? "ok" : "cancel");
  return 0;
}
