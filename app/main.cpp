// The program: the application object titled "Velmoran", its main window
// and the message loop. An exception that reaches this far is shown in the
// application's exception box.
#include <QApplication>

#include <exception>

#include "app/formmain.h"
#include "app/savechooser.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  static TPlainSaveChooser chooser;
  if (!LKGetIODialogs()) LKSetIODialogs(&chooser);
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
