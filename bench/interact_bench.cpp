// The magic wand and the selection outline on a 24-megapixel picture.
//   - Wand: the three modes on a 6000 x 4000 picture of one background
//     colour with black blocks (the seed's region is the background, about
//     90 % of the picture), beside a plain iterative 4-neighbour flood fill
//     written here (a stack of pixel indices, one byte of state per pixel,
//     the same tolerance test). ImageMagick's -floodfill on the same picture
//     runs in bench/wand_side_by_side.sh.
//   - Outline tick: one outline timer tick (the mask border drawn at fit
//     zoom) for an elliptic selection of the picture in a 1600 x 1000 view.
// Run: lumerak_bench --benchmark_filter='Wand|PlainFlood|OutlineTick'
// Reported: milliseconds per call. One thread.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/bench_pictures.h"
#include "core/lkmask.h"
#include "processing/lkmagicwand.h"
#include "views/lumerakview.h"

namespace {

constexpr Integer kW = 6000, kH = 4000, kTolerance = 15;
constexpr TRGB kBackground{160, 180, 200};

// The blocks of the wand picture: every 500 pixels a 150 x 150 black block.
bool InBlock(Integer x, Integer y) { return x % 500 >= 200 && x % 500 < 350 && y % 500 >= 200 && y % 500 < 350; }

TLKBitmap* WandPicture() {
  static std::unique_ptr<TLKBitmap> pic = [] {
    std::unique_ptr<TLKBitmap> b = benchpic::InMemory(kW, kH);
    for (Integer y = 0; y < kH; ++y) {
      auto* row = static_cast<TRGB*>(b->GetScanLine(y));
      for (Integer x = 0; x < kW; ++x) row[x] = InBlock(x, y) ? TRGB{0, 0, 0} : kBackground;
    }
    return b;
  }();
  return pic.get();
}

void BM_WandMode(benchmark::State& state) {
  TLKBitmap* pic = WandPicture();
  TLKMask mask;
  mask.AllocateBits(kW, kH, 8);
  for (auto _ : state) {
    mask.Empty();
    switch (state.range(0)) {
      case 0: benchmark::DoNotOptimize(_MakeMagicWandPoints(pic, 10, 10, false, kTolerance)); break;
      case 1: _MakeMagicWandPointsEx(pic, 10, 10, false, kTolerance, &mask, 255); break;
      default: _MakeMagicWandPointsEx2(pic, 10, 10, kTolerance, &mask, 255); break;
    }
  }
  state.SetLabel(state.range(0) == 0 ? "inclusive (outline)" : state.range(0) == 1 ? "exclusive (mask)" : "global");
}
BENCHMARK(BM_WandMode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The baseline: a plain 4-neighbour fill over a stack of pixel indices.
void BM_PlainFloodFill(benchmark::State& state) {
  TLKBitmap* pic = WandPicture();
  std::vector<Byte> done(static_cast<std::size_t>(kW) * kH);
  std::vector<const TRGB*> rows(kH);
  for (Integer y = 0; y < kH; ++y) rows[y] = static_cast<const TRGB*>(pic->GetScanLine(y));
  const TRGB seed = rows[10][10];
  auto similar = [&](Integer x, Integer y) {
    const TRGB c = rows[y][x];
    return std::abs(c.r - seed.r) <= kTolerance && std::abs(c.g - seed.g) <= kTolerance &&
           std::abs(c.b - seed.b) <= kTolerance;
  };
  std::vector<Integer> stack;
  for (auto _ : state) {
    std::fill(done.begin(), done.end(), 0);
    stack.assign(1, 10 * kW + 10);
    done[10 * kW + 10] = 1;
    while (!stack.empty()) {
      const Integer i = stack.back();
      stack.pop_back();
      const Integer x = i % kW, y = i / kW;
      const auto visit = [&](Integer nx, Integer ny) {
        const std::size_t j = static_cast<std::size_t>(ny) * kW + nx;
        if (!done[j] && similar(nx, ny)) {
          done[j] = 1;
          stack.push_back(static_cast<Integer>(j));
        }
      };
      if (x > 0) visit(x - 1, y);
      if (x < kW - 1) visit(x + 1, y);
      if (y > 0) visit(x, y - 1);
      if (y < kH - 1) visit(x, y + 1);
    }
    benchmark::DoNotOptimize(done.data());
  }
}
BENCHMARK(BM_PlainFloodFill)->Unit(benchmark::kMillisecond);

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "lumerak_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}

void BM_OutlineTick(benchmark::State& state) {
  EnsureApplication();
  QWidget form;
  form.resize(1700, 1100);
  auto view = std::make_unique<TLumerakView>();
  view->SetParentWindow(&form);
  view->SetScrollBars(ssNone);
  view->SetBounds(0, 0, 1604, 1004);
  view->SetExternalBitmap(benchpic::GradientPicture());
  view->Fit();
  view->SetSelectionBase(lksbBitmap);
  view->SelectEllipse(3000, 2000, 5000, 3000, lkspReplace);
  view->PaintNow();
  TTimer* timer = view->GetOutlineTimer();
  for (auto _ : state) timer->Timer();
  view->SetExternalBitmap(nullptr);
}
BENCHMARK(BM_OutlineTick)->Unit(benchmark::kMillisecond);

}  // namespace
