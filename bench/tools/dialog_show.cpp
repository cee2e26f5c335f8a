// Opens one of the library's dialogs on a generated picture, for a look at
// the real dialog on a desktop (or under Xvfb, driven with xdotool):
//   dialog_show open [FOLDER]       the open dialog with its preview
//   dialog_show save [FOLDER]       the save dialog with its Advanced button
//   dialog_show options TYPE [full] the format options of a file type
//                                   (3 JPEG, 2 GIF, 1 TIFF, 8 PNG, ...),
//                                   simplified unless "full" follows
//   dialog_show previews            the processing preview dialog with the
//                                   colour-adjusting pages
// Prints what the dialog returned. Built by hand against a build of the
// library, e.g.
//   c++ -std=c++20 -I. $(pkg-config --cflags Qt6Widgets) bench/tools/dialog_show.cpp \
//       -Lbuild-rel/bin -Wl,-rpath,$PWD/build-rel/bin -llumerak -lplatform \
//       $(pkg-config --libs Qt6Widgets) -o dialog_show
// and run under Xvfb with QT_QPA_PLATFORM=xcb.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/lkbitmap.h"
#include "dialogs/lkopensavedlg.h"
#include "dialogs/lkpreviewsform.h"
#include "io/lumerakio.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  LKInstallLumerakDialogs();
  LKRegisterPreviewDialog();
  const std::string mode = argc > 1 ? argv[1] : "open";
  TLumerakIO io;
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(640, 420, lk24RGB);
  for (Integer y = 0; y < 420; ++y)
    for (Integer x = 0; x < 640; ++x)
      b->SetPixels_lk24RGB(x, y, CreateRGB(Byte(x * 255 / 639), Byte(y * 255 / 419), Byte(((x / 40 + y / 40) & 1) * 200)));
  if (mode == "open" || mode == "save") {
    const String folder = argc > 2 ? argv[2] : ".";
    const String name = mode == "open" ? io.ExecuteOpenDialog(folder, "", false, 0, "")
                                       : io.ExecuteSaveDialog(folder, "picture.crw", false, 3, "");
    std::printf("chosen: %s\n", name.c_str());
  } else if (mode == "options") {
    io.GetIOParams()->FILETYPE = argc > 2 ? std::atoi(argv[2]) : 3;
    io.SetSimplifiedParamsDialogs(!(argc > 3 && std::string(argv[3]) == "full"));
    std::printf("ok: %d\n", io.DoPreviews(PreviewPage(ppAUTO)) ? 1 : 0);
  } else if (mode == "previews") {
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(b);
    std::printf("ok: %d\n",
                proc.DoPreviews(TPreviewEffects{peContrast, peHSV, peHSL, peRGB, peEqualize, peFFT, peGamma}) ? 1 : 0);
  }
  return 0;
}
