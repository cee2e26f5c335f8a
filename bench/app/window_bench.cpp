// The main window driven headless (offscreen) over a synthetic 24-megapixel
// camera file (quick interpolation): from choosing the file in the list to
// the fitted picture painted, against developing the same file through the
// plug-in by the I/O component alone, in the same run. Also reported: the
// time from an empty process to the first shown window, and the resident
// memory with the window idle and after developing the file.
//
//   velmoran_bench [--benchmark_repetitions=N]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/formmain.h"
#include "io/lkextio.h"
#include "io/lkfileformats.h"
#include "io/lumerakio.h"
#include "raw/rawfiles.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string gFolder, gFile;
TFormMain* gForm = nullptr;

long ResidentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// One click on the file's row: the load road, the fit and the paint.
void BM_WindowClickToFittedPicture(benchmark::State& state) {
  for (auto _ : state) {
    gForm->FileListView1->SetSelected(nullptr);
    CurrentFile.clear();
    gForm->FileListView1->GetItems()->GetItem(0)->SetSelected(true);
    gForm->LumerakView1->Repaint();
    QApplication::processEvents();
    if (gForm->LumerakIO1->GetAborted() || gForm->LumerakView1->GetLKBitmap()->GetWidth() != 5998)
      state.SkipWithError("the file was not developed");
  }
}

// The same file developed through the plug-in by a bare I/O component.
void BM_PluginDevelopAlone(benchmark::State& state) {
  TLumerakIO io;
  io.GetIOParams()->RAW_QUICKINTERPOLATE = true;
  io.GetIOParams()->RAW_GAMMA = 0.6;
  io.GetIOParams()->RAW_BRIGHT = 1;
  io.GetIOParams()->RAW_REDSCALE = 1;
  io.GetIOParams()->RAW_BLUESCALE = 1;
  for (auto _ : state) {
    io.LoadFromFileRAW(gFile);
    if (io.GetAborted()) state.SkipWithError("the plug-in did not develop the file");
  }
}

BENCHMARK(BM_PluginDevelopAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowClickToFittedPicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PluginDevelopAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowClickToFittedPicture)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  const auto t0 = Clock::now();
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  Application->SetTitle("Velmoran");
  gForm = new TFormMain(Application);
  gForm->Show();
  QApplication::processEvents();
  const double startMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  const long idle = ResidentKiB();

  char tmpl[] = "/tmp/velmoran-benchXXXXXX";
  gFolder = mkdtemp(tmpl);
  gFile = gFolder + "/big.raw";
  {
    const auto bytes = rawfiles::Nucore(4000, 6000);
    std::ofstream(gFile, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  gForm->DirectoryTreeView1->SetSelectedDir(gFolder);
  QApplication::processEvents();

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const long developed = ResidentKiB();
  std::printf("start-up to first shown window (in process, offscreen): %.1f ms\n", startMs);
  std::printf("resident memory: idle %.1f MiB, after developing 24 MP %.1f MiB\n", idle / 1024.0,
              developed / 1024.0);
  delete gForm;
  std::filesystem::remove_all(gFolder);
  return 0;
}
