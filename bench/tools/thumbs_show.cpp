// Shows a folder in a thumbnail view inside a top-level window (for a look
// at the real view on a desktop or under Xvfb), or times it:
//   thumbs_show FOLDER [seconds]            show; quit after seconds (default 30)
//   thumbs_show --time FOLDER THREADS CELL  print the time to the first full
//                                           screen, to every cell, and the
//                                           peak resident memory
//   thumbs_show --frames FILE [seconds]     the frames of a multi-frame file,
//                                           played
//   thumbs_show --look FOLDER WALL [seconds] the folder over WALL tiled, then
//                                           after 3 s one picture at a time,
//                                           each change a 2 s wipe
// LK_FLAT_BARS=1 in the environment draws the view's scroll bars flat;
// LK_TRANSITION=N plays frames through transition N (lkttCrossDissolve is 1)
// over half a second. The window is 1600 x 1000 with cells of CELL x CELL (default 128) stored as
// thumbnails. Built by hand against a build of the library, e.g.
//   c++ -std=c++20 -O2 -I. $(pkg-config --cflags Qt6Widgets) bench/tools/thumbs_show.cpp \
//       -Lbuild-rel/bin -Wl,-rpath,$PWD/build-rel/bin -llumerak -lplatform \
//       $(pkg-config --libs Qt6Widgets) -o thumbs_show
// and run under Xvfb with QT_QPA_PLATFORM=xcb (offscreen for --time).
#include <sys/resource.h>

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "processing/lktransitions.h"
#include "views/lkmio.h"
#include "views/lkmloader.h"
#include "views/lumerakmview.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point Since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Since).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  LKViewInitGlobals();
  const bool timing = argc > 1 && std::strcmp(argv[1], "--time") == 0;
  const bool frames = argc > 1 && std::strcmp(argv[1], "--frames") == 0;
  const bool look = argc > 3 && std::strcmp(argv[1], "--look") == 0;
  const int first = timing || frames || look ? 2 : 1;
  if (argc <= first) {
    std::fprintf(stderr, "usage: thumbs_show [--time|--frames] FOLDER|FILE [...]\n");
    return 2;
  }
  const std::string folder = argv[first];
  const int threads = timing && argc > 3 ? std::atoi(argv[3]) : 4;
  const int cell = timing && argc > 4 ? std::atoi(argv[4]) : 128;
  QWidget form;
  form.setWindowTitle("thumbs_show");
  form.resize(1600, 1000);
  auto* view = new TLumerakMView();
  view->SetParentWindow(&form);
  view->SetBounds(0, 0, 1600, 1000);
  view->StoreType = lktThumb;
  view->SetThumbWidth(cell);
  view->SetThumbHeight(cell);
  view->SetGridWidth(-1);
  view->SetThreadPoolSize(threads);
  view->EnableMultiSelect = true;
  if (std::getenv("LK_FLAT_BARS") != nullptr) view->SetFlatScrollBars(true);
  form.show();
  const auto start = std::chrono::steady_clock::now();
  if (frames) {
    view->SetThumbWidth(400);
    view->SetThumbHeight(300);
    view->GetLumerakMIO()->LoadFromFile(folder);
    if (const char* t = std::getenv("LK_TRANSITION")) {
      view->TransitionEffect = static_cast<TLKTransitionType>(std::atoi(t));
      view->TransitionDuration = 500;
    }
    view->SetPlaying(true);
  } else {
    view->FillFromDirectory(folder);
  }
  if (look) {
    TPicture wall;
    wall.LoadFromFile(argv[3]);
    view->SetWallPaper(&wall);
    view->SetWallPaperStyle(lkwoTile);
    view->SetHorizBorder(40);
    view->SetVertBorder(40);
    auto* step = new QTimer(&app);
    QObject::connect(step, &QTimer::timeout, [view] {
      if (view->GetDisplayMode() != mdSingle) {
        view->SetThumbWidth(800);
        view->SetThumbHeight(600);
        view->SetDisplayMode(mdSingle);
        view->TransitionEffect = lkttLeftRight1;
        view->TransitionDuration = 2000;
        return;
      }
      view->SetVisibleFrame((view->GetVisibleFrame() + 1) % std::max<Integer>(view->GetImageCount(), 1));
    });
    step->start(3000);
  }
  if (timing) {
    // Everything after the first screen is asked for at once, so the second
    // time is that of every cell.
    view->LookAhead = view->GetImageCount();
    double firstScreen = -1;
    while (Seconds(start) < 600) {
      view->Repaint();
      app.processEvents();
      if (firstScreen < 0 && view->GetAllDisplayed()) firstScreen = Seconds(start);
      if (firstScreen >= 0 && view->GetJobsRunning() + view->GetJobsWaiting() == 0) {
        view->TakeLoadedImages();
        break;
      }
      QThread::msleep(2);
    }
    const double all = Seconds(start);
    Integer stored = 0;
    for (Integer i = 0; i < view->GetImageCount(); ++i) stored += view->HasStoredImage(i);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    // One scroll step of the full view: a row down and a repaint, the cells
    // coming from their drawn copies.
    const Integer steps = 40;
    TBitmap back(view->GetClientWidth(), view->GetClientHeight(), pf24bit);
    const auto scrollStart = std::chrono::steady_clock::now();
    for (Integer i = 0; i < steps; ++i) {
      view->SetViewY((i % 2) == 0 ? view->GetViewY() + cell + 4 : view->GetViewY() - cell - 4);
      view->PaintTo(&back);
    }
    const double stepMs = Seconds(scrollStart) * 1000 / steps;
    std::printf("files %d stored %d first_screen %.3f s all %.3f s peak_rss %ld MB scroll_step %.2f ms\n",
                view->GetImageCount(), stored, firstScreen, all, ru.ru_maxrss / 1024, stepMs);
    delete view;
    return 0;
  }
  const int seconds = argc > first + 1 + look ? std::atoi(argv[first + 1 + look]) : 30;
  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  const int rc = app.exec();
  delete view;
  return rc;
}
