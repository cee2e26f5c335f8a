// A second process for the clipboard tests, on a real X display:
//   clipboard_peer copy   puts the test picture on the clipboard through a
//                         processing component (with the raw format), says
//                         "ready" on stdout and serves the clipboard until
//                         its stdin closes;
//   clipboard_peer image  prints the clipboard's picture as the class-library
//                         clipboard reads it;
//   clipboard_peer paste  prints what a processing component pastes.
// Exit status 2 for a wrong call, 3 when nothing could be read.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "clippicture.h"
#include "platform/clipboard.h"
#include "processing/lumerakproc.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const String mode = argv[1];
  QApplication app(argc, argv);
  TLKBitmap bitmap;
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&bitmap);

  if (mode == "copy") {
    LKClipTestPicture(bitmap, true);
    proc.CopyToClipboard(true);
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&app] {
      char c;
      if (read(STDIN_FILENO, &c, 1) <= 0) app.quit();
    });
    // Never outlive a test that forgot this process.
    QTimer::singleShot(60000, &app, &QApplication::quit);
    return app.exec();
  }
  if (mode == "image") {
    TBitmap picture;
    if (!Clipboard()->GetBitmap(picture)) return 3;
    bitmap.CopyFromTBitmap(&picture);
  } else if (mode == "paste") {
    proc.PasteFromClipboard();
    if (bitmap.GetWidth() == 0) return 3;
  } else {
    return 2;
  }
  std::printf("%s\n", LKClipDump(bitmap).c_str());
  return 0;
}
