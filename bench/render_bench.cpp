// Painting a 24-megapixel lk24RGB picture (6000 x 4000, in memory) into a
// 1920 x 1080 lk24RGB view buffer, as the image view does on every paint:
// at fit zoom without a filter (nearest pixels through the coordinate
// tables), at fit zoom with the fast linear filter (a resampling pass at the
// view size, then a 1:1 draw), at 100% (block copies of row spans), and
// zoomed in to 250% with the fast linear filter (only the visible part of
// the picture is resampled).
// Reported rate: frames per second.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_pictures.h"
#include "core/lkbitmap.h"

namespace {

using benchpic::InMemory;
inline TLKBitmap* Picture() { return benchpic::GradientPicture(); }

constexpr Integer kWidth = 6000, kHeight = 4000;
constexpr Integer kViewWidth = 1920, kViewHeight = 1080;

// One paint per iteration with tables built and freed by the call, as a
// view does after a zoom change.
void Paint(benchmark::State& state, Integer dx, Integer dy, Integer dw, Integer dh, Integer sx, Integer sy,
           Integer sw, Integer sh, TResampleFilter filter) {
  TLKBitmap* src = Picture();
  auto view = InMemory(kViewWidth, kViewHeight);
  for (auto _ : state) {
    src->RenderToTLKBitmapEx(view.get(), dx, dy, dw, dh, sx, sy, sw, sh, 255, filter, lklNormal);
    benchmark::DoNotOptimize(view->GetScanLine(0));
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Fit zoom: 6000 x 4000 shown as 1620 x 1080, centred.
constexpr Integer kFitWidth = kWidth * kViewHeight / kHeight;

void BM_RenderFitNearest(benchmark::State& state) {
  Paint(state, (kViewWidth - kFitWidth) / 2, 0, kFitWidth, kViewHeight, 0, 0, kWidth, kHeight, rfNone);
}
void BM_RenderFitFastLinear(benchmark::State& state) {
  Paint(state, (kViewWidth - kFitWidth) / 2, 0, kFitWidth, kViewHeight, 0, 0, kWidth, kHeight, rfFastLinear);
}
// 100%: the centre of the picture, the whole picture rectangle placed with a
// negative origin so that clipping picks the visible part.
void BM_Render100Percent(benchmark::State& state) {
  Paint(state, -(kWidth - kViewWidth) / 2, -(kHeight - kViewHeight) / 2, kWidth, kHeight, 0, 0, kWidth, kHeight,
        rfNone);
}

// 250%: the centre of the picture enlarged, placed like the 100% case.
constexpr Integer kZoomWidth = kWidth * 5 / 2, kZoomHeight = kHeight * 5 / 2;
void BM_RenderZoom250FastLinear(benchmark::State& state) {
  Paint(state, -(kZoomWidth - kViewWidth) / 2, -(kZoomHeight - kViewHeight) / 2, kZoomWidth, kZoomHeight, 0, 0, kWidth,
        kHeight, rfFastLinear);
}

}  // namespace

BENCHMARK(BM_RenderFitNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFitFastLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render100Percent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderZoom250FastLinear)->Unit(benchmark::kMillisecond);
