// Speed of the processing hot paths on a photograph-like lk24RGB picture
// (smooth gradients with seeded per-pixel noise, see bench/quant_picture.h):
// - Shrink: 6000 x 4000 to 1500 x 1000 with each of the ten filters.
// - Enlarge: 1000 x 667 to 3000 x 2000 with each of the ten filters.
// - RenderFit: the 6000 x 4000 picture fitted (1500 x 1000, centred) into a
//   1600 x 1000 lk24RGB back buffer with the fast linear filter; the paint
//   budget of a view is 16 ms.
// - UndoSnapshot: one undo entry of the 6000 x 4000 picture with undo images
//   in temporary files, against FileCopy*: the same 72 MB of rows written to
//   a file in the same temporary folder through TFileStream and through
//   std::ofstream. Each iteration also drops its entry (deletes its file).
// All on one thread. bench/resample_peers.sh times peer tools on the same
// shrink.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "bench/quant_picture.h"
#include "bench/bench_pictures.h"
#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "platform/classes.h"
#include "processing/lkfilterresample.h"
#include "processing/lumerakproc.h"

namespace {

using benchpic::InMemory;

// The photograph-like picture of w x h pixels (lk24RGB rows are blue, green,
// red, as PhotoRow writes them); seed 1, as bench/tools/resample_ppm makes it.
std::unique_ptr<TLKBitmap> Photo(Integer w, Integer h) {
  auto bmp = InMemory(w, h);
  for (Integer y = 0; y < h; ++y) quantbench::PhotoRow(w, h, y, 1, static_cast<std::uint8_t*>(bmp->GetScanLine(y)));
  return bmp;
}

TLKBitmap* Large() {
  static std::unique_ptr<TLKBitmap> pic = Photo(6000, 4000);
  return pic.get();
}

TLKBitmap* Small() {
  static std::unique_ptr<TLKBitmap> pic = Photo(1000, 667);
  return pic.get();
}

void SetMegapixelRates(benchmark::State& state, double srcPixels, double dstPixels) {
  const double n = static_cast<double>(state.iterations());
  state.counters["SrcMP/s"] = benchmark::Counter(n * srcPixels / 1e6, benchmark::Counter::kIsRate);
  state.counters["DstMP/s"] = benchmark::Counter(n * dstPixels / 1e6, benchmark::Counter::kIsRate);
}

void Resize(benchmark::State& state, TLKBitmap* src, Integer w2, Integer h2, TResampleFilter filter) {
  auto dst = InMemory(w2, h2);
  for (auto _ : state) {
    _ResampleEx(src, dst.get(), filter);
    benchmark::DoNotOptimize(dst->GetScanLine(0));
  }
  SetMegapixelRates(state, static_cast<double>(src->GetWidth()) * src->GetHeight(), static_cast<double>(w2) * h2);
}

void Shrink(benchmark::State& state, TResampleFilter filter) { Resize(state, Large(), 1500, 1000, filter); }
void Enlarge(benchmark::State& state, TResampleFilter filter) { Resize(state, Small(), 3000, 2000, filter); }

void BM_RenderFit(benchmark::State& state) {
  TLKBitmap* src = Large();
  auto view = InMemory(1600, 1000);
  for (auto _ : state) {
    src->RenderToTLKBitmapEx(view.get(), 50, 0, 1500, 1000, 0, 0, 6000, 4000, 255, rfFastLinear, lklNormal);
    benchmark::DoNotOptimize(view->GetScanLine(0));
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void SetByteRate(benchmark::State& state) {
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 6000.0 * 4000.0 * 3.0 / 1e6,
                                              benchmark::Counter::kIsRate);
}

void BM_UndoSnapshot(benchmark::State& state) {
  TLumerakProc proc;
  proc.SetLKBitmap(Large());
  proc.SetUndoLocation(lkFile);
  proc.SetUndoLimit(1);
  for (auto _ : state) {
    proc.SaveUndo(lkuImage);
    proc.ClearUndo();
  }
  SetByteRate(state);
}

void BM_FileCopyTFileStream(benchmark::State& state) {
  TLKBitmap* src = Large();
  const Integer rowLen = src->GetWidth() * 3;
  for (auto _ : state) {
    const String name = LKGetTempFileName("lkbench", LKTempFolder());
    {
      TFileStream out(name, fmCreate);
      for (Integer y = 0; y < src->GetHeight(); ++y) out.WriteBuffer(src->GetScanLine(y), rowLen);
    }
    std::remove(name.c_str());
  }
  SetByteRate(state);
}

void BM_FileCopyOfstream(benchmark::State& state) {
  TLKBitmap* src = Large();
  const Integer rowLen = src->GetWidth() * 3;
  for (auto _ : state) {
    const String name = LKGetTempFileName("lkbench", LKTempFolder());
    {
      std::ofstream out(name, std::ios::binary | std::ios::trunc);
      for (Integer y = 0; y < src->GetHeight(); ++y)
        out.write(static_cast<const char*>(src->GetScanLine(y)), rowLen);
      if (!out) state.SkipWithError("writing the copy failed");
    }
    std::remove(name.c_str());
  }
  SetByteRate(state);
}

}  // namespace

#define LK_RESIZE_BENCH(Name, Filter)                                                               \
  BENCHMARK_CAPTURE(Shrink, Name, Filter)->Unit(benchmark::kMillisecond)->UseRealTime();            \
  BENCHMARK_CAPTURE(Enlarge, Name, Filter)->Unit(benchmark::kMillisecond)->UseRealTime()

LK_RESIZE_BENCH(Triangle, rfTriangle);
LK_RESIZE_BENCH(Hermite, rfHermite);
LK_RESIZE_BENCH(Bell, rfBell);
LK_RESIZE_BENCH(BSpline, rfBSpline);
LK_RESIZE_BENCH(Lanczos3, rfLanczos3);
LK_RESIZE_BENCH(Mitchell, rfMitchell);
LK_RESIZE_BENCH(Linear, rfLinear);
LK_RESIZE_BENCH(FastLinear, rfFastLinear);
LK_RESIZE_BENCH(Bilinear, rfBilinear);
LK_RESIZE_BENCH(Bicubic, rfBicubic);

BENCHMARK(BM_RenderFit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UndoSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileCopyTFileStream)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileCopyOfstream)->Unit(benchmark::kMillisecond)->UseRealTime();
