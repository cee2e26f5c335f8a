// Shows a generated picture in a single-image view set for rectangle
// selection, for a look at the selection outline and its grips on a real
// desktop (or under Xvfb, driven with xdotool):
//   selection_show [seconds]
// Quits after the given seconds (default 8). Built by hand like view_show:
//   c++ -std=c++20 -I. $(pkg-config --cflags Qt6Widgets) bench/tools/selection_show.cpp \
//       -Lbuild/bin -Wl,-rpath,$PWD/build/bin -llumerak -lplatform \
//       $(pkg-config --libs Qt6Widgets) -o selection_show
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "views/lumerakview.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  LKViewInitGlobals();
  QWidget form;
  form.setWindowTitle("selection_show");
  form.resize(820, 620);
  form.move(0, 0);
  auto* view = new TLumerakView();
  view->SetParentWindow(&form);
  view->SetBounds(10, 10, 800, 600);
  TLKBitmap* b = view->GetLKBitmap();
  b->Allocate(1200, 900, lk24RGB);
  for (Integer y = 0; y < 900; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < 1200; ++x) {
      row[x * 3] = static_cast<Byte>(x * 255 / 1200);
      row[x * 3 + 1] = static_cast<Byte>(y * 255 / 900);
      row[x * 3 + 2] = static_cast<Byte>(((x / 50 + y / 50) & 1) * 200);
    }
  }
  view->Update();
  view->SetMouseInteract({miSelect});
  form.show();
  view->Fit();
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
  QTimer::singleShot(seconds * 1000, [&] { app.quit(); });
  const int rc = app.exec();
  delete view;
  return rc;
}
