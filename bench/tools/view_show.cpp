// Shows a picture in a single-image view inside a top-level window, for a
// look at the real view on a desktop (or under Xvfb):
//   view_show PICTURE.jpg [zoom] [seconds]
// Loads the picture through the view's I/O component, fits it (or sets the
// zoom given), shows the window and quits after the given seconds (default
// 3), saving what the window shows to view_show.png beside the working
// folder. Without a picture it shows a generated ramp with a translucent
// second layer. Built by hand against a build of the library, e.g.
//   c++ -std=c++20 -I. $(pkg-config --cflags Qt6Widgets) bench/tools/view_show.cpp \
//       -Lbuild/bin -Wl,-rpath,$PWD/build/bin -llumerak -lplatform \
//       $(pkg-config --libs Qt6Widgets) -o view_show
// and run under Xvfb with QT_QPA_PLATFORM=xcb.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <string>

#include "core/lkbitmap.h"
#include "io/lkconvertcolor.h"
#include "io/lumerakio.h"
#include "views/lumerakview.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  LKViewInitGlobals();
  // As the program: embedded colour profiles convert pictures to sRGB.
  lkgEnableCMS = true;
  QWidget form;
  form.setWindowTitle("view_show");
  form.resize(820, 620);
  auto* view = new TLumerakView();
  view->SetParentWindow(&form);
  view->SetBounds(10, 10, 800, 600);
  view->SetZoomFilter(rfFastLinear);
  view->SetBackgroundStyle(lkbsChessboard);
  if (argc > 1) {
    view->GetLumerakIO()->LoadFromFileAuto(argv[1]);
  } else {
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
    const Integer top = view->LayersAdd();
    TLKLayer* l = view->GetLayer(top);
    l->Bitmap->Allocate(400, 300, lk24RGB);
    l->Bitmap->Fill(clWhite);
    l->PosX = 100;
    l->PosY = 100;
    l->Opacity = 140;
    view->SetLayersCurrent(0);
    view->Update();
  }
  form.show();
  if (argc > 2)
    view->SetZoom(std::atof(argv[2]));
  else
    view->Fit();
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 3;
  QTimer::singleShot(seconds * 1000, [&] {
    form.grab().save("view_show.png");
    app.quit();
  });
  const int rc = app.exec();
  delete view;
  return rc;
}
