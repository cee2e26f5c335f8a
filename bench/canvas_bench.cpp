// Canvas fills and lines on a large 24-bit bitmap.
#include <benchmark/benchmark.h>

#include "platform/graphics.h"

namespace {

constexpr Integer kW = 4000, kH = 3000;

// Whole-bitmap FillRect with a solid brush; reports bytes written per second.
void BM_FillRect24(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  TCanvas* c = b.GetCanvas();
  Integer i = 0;
  for (auto _ : state) {
    c->GetBrush()->SetColor(RGB(static_cast<Byte>(i++), 40, 200));
    c->FillRect(Rect(0, 0, kW, kH));
    benchmark::DoNotOptimize(b.ScanLine(kH / 2)[0]);
  }
  state.SetBytesProcessed(state.iterations() * Int64{kW} * kH * 3);
}
BENCHMARK(BM_FillRect24)->Unit(benchmark::kMillisecond);

// Lines in every direction with the given pen mode; reports pixels per second.
void BM_LineTo24(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  TCanvas* c = b.GetCanvas();
  c->GetPen()->SetMode(static_cast<TPenMode>(state.range(0)));
  Int64 pixels = 0;
  for (auto _ : state) {
    for (Integer k = 0; k < 64; ++k) {
      const Integer x0 = (k * 61) % kW, y0 = (k * 37) % kH;
      const Integer x1 = kW - 1 - (k * 113) % kW, y1 = kH - 1 - (k * 71) % kH;
      c->MoveTo(x0, y0);
      c->LineTo(x1, y1);
      pixels += std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    }
    benchmark::DoNotOptimize(b.ScanLine(0)[0]);
  }
  state.SetItemsProcessed(pixels);
  state.SetLabel("items = pixels");
}
BENCHMARK(BM_LineTo24)->Arg(pmCopy)->Arg(pmXor)->Unit(benchmark::kMillisecond);

}  // namespace
