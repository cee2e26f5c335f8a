// Speed of the camera RAW decoder's development stages on a synthetic
// 24-megapixel (6000 × 4000) colour-filter picture, one core: white
// balance, bilinear and gradient demosaicing, colour conversion, 24- and
// 48-bit output, and the whole chain. A plain copy of the image array's
// bytes is the reference. Bytes per second count the image array (8 bytes
// per cell).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "raw/lkrawdevelop.h"

namespace {

constexpr int kRows = 4000, kCols = 6000;
constexpr Int64 kBytes = Int64(kRows) * kCols * 8;

/// The loaded mosaic, made once: a smooth picture with edges and noise,
/// black 64, white 4095 + 64.
const std::vector<TRAWCell>& Mosaic() {
  static const std::vector<TRAWCell> m = [] {
    std::vector<TRAWCell> v(size_t(kRows) * kCols, TRAWCell{});
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) {
        const int color = cell_color(0x94949494u, r, c);
        const int base = 1200 + int(800 * std::sin(c / 97.0) * std::cos(r / 53.0)) + ((c / 400 + r / 300) & 1) * 900;
        const int noise = (r * 7919 + c * 104729) % 41;
        v[size_t(r) * kCols + c][color] = Word(64 + base / (color + 1) + noise);
      }
    return v;
  }();
  return m;
}

std::unique_ptr<TRAWDecoderState> Fresh() {
  auto s = std::make_unique<TRAWDecoderState>();
  s->height = s->iheight = kRows;
  s->width = s->iwidth = kCols;
  s->filters = 0x94949494u;
  s->colors = 3;
  s->black = 64;
  s->maximum = 4095 + 64;
  s->image = Mosaic();
  return s;
}

/// A state as each stage finds it in the reader: the stages before it
/// already run.
enum class TStage { Balance, Demosaic, Convert, Output };

std::unique_ptr<TRAWDecoderState> Before(TStage stage, bool quick) {
  auto s = Fresh();
  s->quick_interpolate = quick;
  if (stage == TStage::Balance) return s;
  s->use_auto_wb = true;
  apply_white_balance(*s);
  if (stage == TStage::Demosaic) return s;
  s->trim = true;
  vng_interpolate(*s);
  if (stage == TStage::Convert) return s;
  convert_colors_to_rgb(*s);
  return s;
}

void SetBytes(benchmark::State& state) { state.SetBytesProcessed(state.iterations() * kBytes); }

void BM_RawDevelopCopyReference(benchmark::State& state) {
  const auto& src = Mosaic();
  std::vector<TRAWCell> dst(src.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size() * sizeof(TRAWCell));
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}
BENCHMARK(BM_RawDevelopCopyReference)->Unit(benchmark::kMillisecond);

void BM_RawWhiteBalance(benchmark::State& state) {
  const auto pristine = Before(TStage::Balance, false);
  auto s = Fresh();
  for (auto _ : state) {
    state.PauseTiming();
    *s = *pristine;
    s->use_auto_wb = true;
    state.ResumeTiming();
    apply_white_balance(*s);
  }
  SetBytes(state);
}
BENCHMARK(BM_RawWhiteBalance)->Unit(benchmark::kMillisecond);

/// Argument 1: quick (bilinear only); 0: with the gradient refinement.
void BM_RawDemosaic(benchmark::State& state) {
  const bool quick = state.range(0) != 0;
  const auto pristine = Before(TStage::Demosaic, quick);
  auto s = Fresh();
  for (auto _ : state) {
    state.PauseTiming();
    *s = *pristine;
    state.ResumeTiming();
    vng_interpolate(*s);
  }
  SetBytes(state);
}
BENCHMARK(BM_RawDemosaic)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_RawConvert(benchmark::State& state) {
  const auto pristine = Before(TStage::Convert, true);
  auto s = Fresh();
  for (auto _ : state) {
    state.PauseTiming();
    *s = *pristine;
    state.ResumeTiming();
    convert_colors_to_rgb(*s);
  }
  SetBytes(state);
}
BENCHMARK(BM_RawConvert)->Unit(benchmark::kMillisecond);

/// Argument 48 or 24: bits per pixel of the bitmap (kept in memory).
void BM_RawOutput(benchmark::State& state) {
  const bool wide = state.range(0) == 48;
  const auto pristine = Before(TStage::Output, true);
  auto s = Fresh();
  TLKBitmap bmp;
  bmp.SetMinFileSize(0x7FFFFFFF);
  TIOParamsVals params;
  for (auto _ : state) {
    state.PauseTiming();
    *s = *pristine;
    state.ResumeTiming();
    if (wide) write_ppm16(*s, bmp, params); else write_ppm(*s, bmp, params);
  }
  SetBytes(state);
}
BENCHMARK(BM_RawOutput)->Arg(24)->Arg(48)->Unit(benchmark::kMillisecond);

/// The whole chain after loading: balance, demosaic (argument 1 quick, 0
/// refined), conversion and 24-bit output.
void BM_RawDevelopPipeline(benchmark::State& state) {
  const bool quick = state.range(0) != 0;
  const auto pristine = Before(TStage::Balance, quick);
  auto s = Fresh();
  TLKBitmap bmp;
  bmp.SetMinFileSize(0x7FFFFFFF);
  TIOParamsVals params;
  for (auto _ : state) {
    state.PauseTiming();
    *s = *pristine;
    s->use_auto_wb = true;
    state.ResumeTiming();
    apply_white_balance(*s);
    s->trim = true;
    vng_interpolate(*s);
    convert_colors_to_rgb(*s);
    write_ppm(*s, bmp, params);
  }
  SetBytes(state);
}
BENCHMARK(BM_RawDevelopPipeline)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
