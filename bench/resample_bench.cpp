// Resampling a 24-megapixel lk24RGB picture (6000 x 4000, in memory) to 50%
// and to 200% with the fast linear, bilinear, bicubic and Lanczos filters.
// Reported rates: source megapixels per second (SrcMP/s) and destination
// megapixels per second (DstMP/s). bench/resample_side_by_side.sh times a
// peer command-line tool on a picture of the same size.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkfilterresample.h"

namespace {

constexpr Integer kWidth = 6000;
constexpr Integer kHeight = 4000;

// Memory storage whatever the machine's free memory says.
std::unique_ptr<TLKBitmap> InMemory(Integer w, Integer h) {
  const Integer saved = LKDefMinFileSize;
  LKDefMinFileSize = 2000000000;
  auto bmp = std::make_unique<TLKBitmap>(w, h, lk24RGB);
  LKDefMinFileSize = saved;
  return bmp;
}

// A photo-like test picture: smooth gradients with some fine texture.
TLKBitmap* Picture() {
  static std::unique_ptr<TLKBitmap> pic = [] {
    auto bmp = InMemory(kWidth, kHeight);
    std::vector<Byte> row(static_cast<size_t>(kWidth) * 3);
    for (Integer y = 0; y < kHeight; ++y) {
      for (Integer x = 0; x < kWidth; ++x) {
        row[static_cast<size_t>(x) * 3] = static_cast<Byte>((x * 255) / kWidth);
        row[static_cast<size_t>(x) * 3 + 1] = static_cast<Byte>((y * 255) / kHeight);
        row[static_cast<size_t>(x) * 3 + 2] = static_cast<Byte>(((x ^ y) & 31) * 4 + ((x + y) >> 6));
      }
      std::memcpy(bmp->GetScanLine(y), row.data(), row.size());
    }
    return bmp;
  }();
  return pic.get();
}

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
