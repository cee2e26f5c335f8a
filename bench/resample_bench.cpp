// Resampling a 24-megapixel lk24RGB picture (6000 x 4000, in memory) to 50%
// and to 200% with the fast linear, bilinear, bicubic and Lanczos filters.
// Reported rates: source megapixels per second (SrcMP/s) and destination
// megapixels per second (DstMP/s). bench/resample_side_by_side.sh times a
// peer command-line tool on a picture of the same size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_pictures.h"
#include "core/lkbitmap.h"
#include "processing/lkfilterresample.h"

namespace {

using benchpic::InMemory;
inline TLKBitmap* Picture() { return benchpic::GradientPicture(); }

constexpr Integer kWidth = 6000;
constexpr Integer kHeight = 4000;

void Resample(benchmark::State& state, TResampleFilter filter) {
  const auto percent = static_cast<Integer>(state.range(0));
  const Integer w2 = kWidth * percent / 100, h2 = kHeight * percent / 100;
  TLKBitmap* src = Picture();
  auto dst = InMemory(w2, h2);
  for (auto _ : state) {
    _ResampleEx(src, dst.get(), filter);
    benchmark::DoNotOptimize(dst->GetScanLine(0));
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["SrcMP/s"] =
      benchmark::Counter(iterations * kWidth * kHeight / 1e6, benchmark::Counter::kIsRate);
  state.counters["DstMP/s"] = benchmark::Counter(iterations * w2 * h2 / 1e6, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(Resample, FastLinear, rfFastLinear)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, Bilinear, rfBilinear)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, Bicubic, rfBicubic)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, Lanczos3, rfLanczos3)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Resample, Triangle, rfTriangle)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();
