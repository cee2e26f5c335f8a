// Opening the save dialog on a folder of 2,000 files: the time from Execute
// to the first shown dialog, and to the folder's listing being complete
// (the file chooser lists folders on a worker of its own).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "core/lkbitmap.h"
#include "dialogs/lkopensavedlg.h"
#include "io/lumerakio.h"
#include "platform/forms.h"
#include "platform/testhooks.h"

namespace {

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "lumerak_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

/// A folder of Count small files with the extensions of a camera folder.
std::filesystem::path MakeFolder(int Count) {
  const auto dir = std::filesystem::temp_directory_path() / ("velmoran_bench_2000_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const char* const exts[] = {".crw", ".jpg", ".png", ".tif", ".txt"};
  for (int i = 0; i < Count; ++i) {
    std::ofstream f(dir / ("IMG_" + std::to_string(10000 + i) + exts[i % 5]));
    f << "0123456789";
  }
  return dir;
}

void BM_SaveDialogOpen(benchmark::State& State) {
  EnsureApplication();
  static const std::filesystem::path dir = MakeFolder(2000);
  const bool toListing = State.range(0) != 0;
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(64, 64, lk24RGB);
  for (auto _ : State) {
    TSaveLumerakDialog dlg;
    dlg.SetAttachedLumerakIO(&io);
    dlg.SetInitialDir(dir.string());
    double seconds = 0;
    QElapsedTimer clock;
    TestHooks::PushModalStep([&](TCustomForm*) {
      if (toListing) {
        auto* model = dlg.Chooser->GetDialog()->findChild<QFileSystemModel*>();
        bool loaded = false;
        QObject::connect(model, &QFileSystemModel::directoryLoaded, [&](const QString&) { loaded = true; });
        while (!loaded && clock.elapsed() < 30000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
      }
      seconds = clock.nsecsElapsed() / 1e9;
      dlg.Chooser->Reject();
    });
    clock.start();
    dlg.Execute();
    State.SetIterationTime(seconds);
  }
  TestHooks::Reset();
}
BENCHMARK(BM_SaveDialogOpen)->Arg(0)->Arg(1)->ArgNames({"to_listing"})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
