// The program: the application object titled "Velmoran", the library's
// dialogs, its main window and the message loop. An exception that reaches this far is shown in the
// application's exception box.
#include <QApplication>

#include <exception>

#include "app/RxGraph.h"
#include "app/formmain.h"
#include "dialogs/lkopensavedlg.h"
#include "dialogs/lkpreviewsform.h"
#include "io/lkconvertcolor.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  // The library's open and save dialogs with their previews, and the
  // processing preview dialog behind "Color Adjust ..." and "Effects ...".
  LKInstallLumerakDialogs();
  LKRegisterPreviewDialog();
  // The shell's hand and drag cursors and the icon clipboard format.
  RegisterShellGraphics();
  // Pictures with an embedded colour profile are shown in sRGB.
  lkgEnableCMS = true;
  try {
    Application->SetTitle("Velmoran");
    TFormMain* form = new TFormMain(Application);
    Application->SetMainForm(form);
    Application->Run();
  } catch (const std::exception& e) {
    Application->ShowException(e);
  } catch (...) {
    Application->ShowException(std::runtime_error(""));
  }
  return 0;
}
