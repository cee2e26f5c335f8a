// Pixel-format conversion of a 6000 x 4000 (24 MP) 24-bit picture in memory
// into a second buffer: to 8-bit grey, to 1 bit by threshold and by ordered
// dither, and to a quantised palette. Reported as megapixels per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/lkbitmap.h"

namespace {

constexpr Integer kWidth = 6000;
constexpr Integer kHeight = 4000;

std::unique_ptr<TLKBitmap> MakeBitmap(TLKPixelFormat format) {
  const Integer saved = LKDefMinFileSize;
  LKDefMinFileSize = 1 << 30;  // memory storage
  auto bmp = std::make_unique<TLKBitmap>(kWidth, kHeight, format);
  LKDefMinFileSize = saved;
  return bmp;
}

// A photograph-like source: smooth gradients with a little noise, so the
// quantiser sees many colours and neighbouring pixels differ.
TLKBitmap* Source() {
  static std::unique_ptr<TLKBitmap> source = [] {
    auto bmp = MakeBitmap(lk24RGB);
    unsigned seed = 12345;
    for (Integer y = 0; y < kHeight; ++y) {
      auto* p = static_cast<TRGB*>(bmp->GetScanLine(y));
      for (Integer x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const Integer noise = static_cast<Integer>((seed >> 16) & 15) - 8;
        auto clamp = [](Integer v) { return static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v); };
        p[x] = TRGB{clamp(x * 255 / kWidth + noise), clamp(y * 255 / kHeight + noise),
                    clamp((x + y) * 255 / (kWidth + kHeight) - noise)};
      }
    }
    return bmp;
  }();
  return source.get();
}

void Convert(benchmark::State& state, TLKPixelFormat to, TLKDitherMethod dither) {
  TLKBitmap* source = Source();
  auto dest = MakeBitmap(to);
  dest->SetDitherMethod(dither);
  for (auto _ : state) {
    dest->CopyAndConvertFormat(source);
    benchmark::DoNotOptimize(dest->GetScanLine(0));
  }
  state.counters["MP/s"] = benchmark::Counter(kWidth * static_cast<double>(kHeight) / 1e6 * state.iterations(),
                                              benchmark::Counter::kIsRate);
}

void BM_PfConvert24To8g(benchmark::State& state) { Convert(state, lk8g, lkThreshold); }
void BM_PfConvert24To1gThreshold(benchmark::State& state) { Convert(state, lk1g, lkThreshold); }
void BM_PfConvert24To1gOrdered(benchmark::State& state) { Convert(state, lk1g, lkOrdered); }
void BM_PfConvert24To8p(benchmark::State& state) { Convert(state, lk8p, lkThreshold); }

BENCHMARK(BM_PfConvert24To8g)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PfConvert24To1gThreshold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PfConvert24To1gOrdered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PfConvert24To8p)->Unit(benchmark::kMillisecond);

}  // namespace
