// Colour quantisers on a 12-megapixel photograph-like picture (4000 x 3000)
// reduced to 256 colours, palette built and every pixel mapped; and the
// black-and-white conversions and grey measurements on 24 megapixels
// (6000 x 4000). Reported in megapixels per second.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/quant_picture.h"
#include "core/lkbitmap.h"
#include "core/lkquantizer.h"
#include "processing/lkbwconv.h"
#include "processing/lkprocutils.h"

namespace {

constexpr Integer kQuantW = 4000, kQuantH = 3000;
constexpr Integer kBWW = 6000, kBWH = 4000;

// Keeps the test pictures in memory, whatever the free memory reads.
std::unique_ptr<TLKBitmap> NewMemoryBitmap(Integer w, Integer h, TLKPixelFormat f) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(0x7FFFFFFF);
  bmp->Allocate(w, h, f);
  return bmp;
}

std::unique_ptr<TLKBitmap> MakePhoto(Integer w, Integer h) {
  auto bmp = NewMemoryBitmap(w, h, lk24RGB);
  for (Integer y = 0; y < h; ++y) quantbench::PhotoRow(w, h, y, 1, static_cast<Byte*>(bmp->GetScanLine(y)));
  return bmp;
}

TLKBitmap& Photo12() {
  static std::unique_ptr<TLKBitmap> bmp = MakePhoto(kQuantW, kQuantH);
  return *bmp;
}

TLKBitmap& Photo24() {
  static std::unique_ptr<TLKBitmap> bmp = MakePhoto(kBWW, kBWH);
  return *bmp;
}

// The 12 MP photograph reduced to at most 256 exact colours (through median
// cut), and its grey version.
TLKBitmap& Posterised12() {
  static std::unique_ptr<TLKBitmap> bmp = [] {
    auto out = MakePhoto(kQuantW, kQuantH);
    TRGB pal[256];
    TMedianCutState* st = CreateMedianCutQuantizer(out.get(), pal, 255, 256);
    for (Integer y = 0; y < kQuantH; ++y) {
      TRGB* p = static_cast<TRGB*>(out->GetScanLine(y));
      for (Integer x = 0; x < kQuantW; ++x) p[x] = pal[MedianCutFindIndex(st, p[x])];
    }
    FreeMedianCutQuantizer(st);
    return out;
  }();
  return *bmp;
}

TLKBitmap& Grey12() {
  static std::unique_ptr<TLKBitmap> bmp = [] {
    auto out = MakePhoto(kQuantW, kQuantH);
    for (Integer y = 0; y < kQuantH; ++y) {
      TRGB* p = static_cast<TRGB*>(out->GetScanLine(y));
      for (Integer x = 0; x < kQuantW; ++x) {
        const Byte v = static_cast<Byte>(_RGBToGray(p[x]));
        p[x] = CreateRGB(v, v, v);
      }
    }
    return out;
  }();
  return *bmp;
}

void ReportMegapixels(benchmark::State& state, Int64 pixels) {
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

// Index of every pixel into an 8-bit buffer.
template <typename IndexOf>
void MapPixels(TLKBitmap& bmp, std::vector<Byte>& out, IndexOf indexOf) {
  const Integer w = bmp.GetWidth(), h = bmp.GetHeight();
  for (Integer y = 0; y < h; ++y) {
    const TRGB* p = static_cast<const TRGB*>(bmp.GetScanLine(y));
    Byte* o = out.data() + static_cast<std::size_t>(y) * w;
    for (Integer x = 0; x < w; ++x) o[x] = static_cast<Byte>(indexOf(p[x]));
  }
}

void QuantizeWith(benchmark::State& state, TLKBitmap& bmp) {
  std::vector<Byte> indexes(static_cast<std::size_t>(bmp.GetWidth()) * bmp.GetHeight());
  TRGB pal[256];
  for (auto _ : state) {
    TLKQuantizer q(&bmp, pal, 255, 256);
    MapPixels(bmp, indexes, [&q](const TRGB& c) { return q.GetRGBIndex(c); });
    benchmark::DoNotOptimize(indexes.data());
  }
  ReportMegapixels(state, Int64{bmp.GetWidth()} * bmp.GetHeight());
}

void BM_Quantize12MP_MedianCut(benchmark::State& state) {
  TLKBitmap& bmp = Photo12();
  std::vector<Byte> indexes(static_cast<std::size_t>(kQuantW) * kQuantH);
  TRGB pal[256];
  for (auto _ : state) {
    TMedianCutState* st = CreateMedianCutQuantizer(&bmp, pal, 255, 256);
    MapPixels(bmp, indexes, [st](const TRGB& c) { return MedianCutFindIndex(st, c); });
    FreeMedianCutQuantizer(st);
    benchmark::DoNotOptimize(indexes.data());
  }
  ReportMegapixels(state, Int64{kQuantW} * kQuantH);
}

void BM_Quantize12MP_NeuQuant(benchmark::State& state) { QuantizeWith(state, Photo12()); }
void BM_Quantize12MP_ExactColors(benchmark::State& state) { QuantizeWith(state, Posterised12()); }
void BM_Quantize12MP_GreyRamp(benchmark::State& state) { QuantizeWith(state, Grey12()); }

void BM_BW24MP_Threshold(benchmark::State& state) {
  TLKBitmap& src = Photo24();
  auto dst = NewMemoryBitmap(kBWW, kBWH, lk1g);
  TProgressRec rec;
  const Integer threshold = static_cast<Integer>(state.range(0));
  for (auto _ : state) {
    _ConvertToBWThresholdEx(&src, dst.get(), threshold, rec);
    benchmark::DoNotOptimize(dst->GetScanLine(0));
  }
  ReportMegapixels(state, Int64{kBWW} * kBWH);
}

void BM_BW24MP_Ordered(benchmark::State& state) {
  TLKBitmap& src = Photo24();
  auto work = NewMemoryBitmap(kBWW, kBWH, lk24RGB);
  TProgressRec rec;
  for (auto _ : state) {
    state.PauseTiming();
    work->AssignImage(&src);
    state.ResumeTiming();
    _ConvertToBWOrdered(work.get(), rec);
    benchmark::DoNotOptimize(work->GetScanLine(0));
  }
  ReportMegapixels(state, Int64{kBWW} * kBWH);
}

void BM_Grey24MP_LuminanceHistogram(benchmark::State& state) {
  TLKBitmap& src = Photo24();
  Integer hist[256];
  for (auto _ : state) {
    _GetLuminanceHistogram(&src, hist);
    benchmark::DoNotOptimize(hist);
  }
  ReportMegapixels(state, Int64{kBWW} * kBWH);
}

void BM_Grey24MP_ChannelMeans(benchmark::State& state) {
  TLKBitmap& src = Photo24();
  Integer r, g, b;
  for (auto _ : state) {
    _GetMediaContrastRGB(&src, r, g, b);
    benchmark::DoNotOptimize(r + g + b);
  }
  ReportMegapixels(state, Int64{kBWW} * kBWH);
}

}  // namespace

BENCHMARK(BM_Quantize12MP_MedianCut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quantize12MP_NeuQuant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quantize12MP_ExactColors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quantize12MP_GreyRamp)->Unit(benchmark::kMillisecond);
// Fixed threshold, channel means (-1) and maximum entropy (-2).
BENCHMARK(BM_BW24MP_Threshold)->Arg(128)->Arg(-1)->Arg(-2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BW24MP_Ordered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey24MP_LuminanceHistogram)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grey24MP_ChannelMeans)->Unit(benchmark::kMillisecond);
