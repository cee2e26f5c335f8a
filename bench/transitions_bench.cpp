// One transition frame of a 1600 x 1000 view, for every transition.
//
// Each iteration renders the next frame of a 51-frame run (positions 0,
// 20, ..., 1000, then again from 0), so the figure is the mean time of a
// frame over the whole run, the way the engine's timer draws them. The
// iterations are two whole runs, so every frame counts the same.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <memory>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lktransitions.h"
#include "processing/lkxtratransitions.h"

namespace {

constexpr Integer kW = 1600, kH = 1000;

void EnsureCoreApp() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "lumerak_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

// Two different smooth pictures.
std::unique_ptr<TBitmap> Picture(Integer Seed) {
  auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
  for (Integer y = 0; y < kH; ++y) {
    Byte* row = b->ScanLine(y);
    for (Integer x = 0; x < kW; ++x) {
      row[x * 3] = static_cast<Byte>(x * 255 / kW + Seed);
      row[x * 3 + 1] = static_cast<Byte>(y * 255 / kH + 2 * Seed);
      row[x * 3 + 2] = static_cast<Byte>((x + y + Seed) / 8);
    }
  }
  return b;
}

void BM_TransitionFrame(benchmark::State& State, Integer Type) {
  EnsureCoreApp();
  static const auto from = Picture(0), to = Picture(90);
  TLKTransitionEffects e(nullptr);
  e.Transition = static_cast<TLKTransitionType>(Type);
  TLKBitmap* source = nullptr;
  std::unique_ptr<TLKBitmap> panSource;
  if (Type == lkttPanZoom) {
    panSource = std::make_unique<TLKBitmap>();
    panSource->CopyFromTBitmap(to.get());
    source = panSource.get();
    e.StartRect = TRect{0, 0, kW, kH};
    e.EndRect = TRect{400, 250, 1200, 750};
  }
  e.SourceImage = source;
  e.PrepareBitmap(from.get(), to.get());
  Integer frame = 0;
  for (auto _ : State) {
    e.DrawFrame(std::min(frame * 20 * 1024 / 1000, 1024));
    benchmark::DoNotOptimize(e.FrameBitmap->ScanLine(kH / 2)[kW]);
    frame = frame == 50 ? 0 : frame + 1;
  }
  State.SetBytesProcessed(State.iterations() * static_cast<Int64>(kW) * kH * 3);
}

const bool kRegistered = [] {
  for (Integer type = 1; type <= lkttPanZoom; ++type) {
    const char* name = type == lkttPanZoom ? "Pan Zoom" : LKTransitionList[type - 1].Name;
    benchmark::RegisterBenchmark(("BM_TransitionFrame/" + std::to_string(type) + " " + name).c_str(),
                                 BM_TransitionFrame, type)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2 * 51);
  }
  return true;
}();

}  // namespace
