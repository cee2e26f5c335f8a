// Per-pixel colour-space conversions over a 24-megapixel picture (6000 x
// 4000), reported in megapixels per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/lkcolorspace.h"
#include "processing/lkcolorconv.h"
#include "processing/lkprocutils.h"

namespace {

constexpr int kWidth = 6000, kHeight = 4000;
constexpr Int64 kPixels = Int64{kWidth} * kHeight;

// A smooth picture with every channel moving, so that all branches of the
// conversions are taken.
const std::vector<TRGB>& Picture() {
  static const std::vector<TRGB> pic = [] {
    std::vector<TRGB> p(kPixels);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        p[Int64{y} * kWidth + x] = CreateRGB(static_cast<Byte>(x * 255 / kWidth),
                                             static_cast<Byte>(y * 255 / kHeight),
                                             static_cast<Byte>((x + y) & 255));
    return p;
  }();
  return pic;
}

void ReportMegapixels(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(kPixels) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RGBToCIELab(benchmark::State& state) {
  const std::vector<TRGB>& src = Picture();
  std::vector<TCIELab> dst(kPixels);
  for (auto _ : state) {
    for (Int64 i = 0; i < kPixels; ++i) dst[i] = LKRGB2CIELAB(src[i]);
    benchmark::DoNotOptimize(dst.data());
  }
  ReportMegapixels(state);
}

void BM_CIELabToRGB(benchmark::State& state) {
  const std::vector<TRGB>& pic = Picture();
  std::vector<TCIELab> src(kPixels);
  for (Int64 i = 0; i < kPixels; ++i) src[i] = LKRGB2CIELAB(pic[i]);
  std::vector<TRGB> dst(kPixels);
  for (auto _ : state) {
    for (Int64 i = 0; i < kPixels; ++i) dst[i] = LKCIELAB2RGB(src[i]);
    benchmark::DoNotOptimize(dst.data());
  }
  ReportMegapixels(state);
}

struct HSV {
  Integer h, s, v;
};

void BM_RGBToHSV(benchmark::State& state) {
  const std::vector<TRGB>& src = Picture();
  std::vector<HSV> dst(kPixels);
  for (auto _ : state) {
    for (Int64 i = 0; i < kPixels; ++i) RGB2HSV(src[i], dst[i].h, dst[i].s, dst[i].v);
    benchmark::DoNotOptimize(dst.data());
  }
  ReportMegapixels(state);
}

void BM_HSVToRGB(benchmark::State& state) {
  const std::vector<TRGB>& pic = Picture();
  std::vector<HSV> src(kPixels);
  for (Int64 i = 0; i < kPixels; ++i) RGB2HSV(pic[i], src[i].h, src[i].s, src[i].v);
  std::vector<TRGB> dst(kPixels);
  for (auto _ : state) {
    for (Int64 i = 0; i < kPixels; ++i) HSV2RGB(dst[i], src[i].h, src[i].s, src[i].v);
    benchmark::DoNotOptimize(dst.data());
  }
  ReportMegapixels(state);
}

}  // namespace

BENCHMARK(BM_RGBToCIELab)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CIELabToRGB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RGBToHSV)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HSVToRGB)->Unit(benchmark::kMillisecond);
