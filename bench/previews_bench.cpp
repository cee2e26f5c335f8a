// One live-preview step of the processing preview dialog on a 1600 x 1000
// preview copy: a track-bar move on the brightness page, and a weight edit on
// the user-filter page with the Gaussian 3 x 3 preset ("Low Pass 2"). Each
// step goes back to the copy's snapshot and applies the page to it, as the
// dialog does. One thread.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_app.h"

#include "core/lkbitmap.h"
#include "dialogs/lkpreviewsform.h"
#include "processing/lkconvolve.h"
#include "processing/lkprocutils.h"
#include "views/lumerakview.h"

namespace {

/// A dialog whose source is 1600 x 1000 and whose source view shows all of
/// it at full size, so the preview copy is 1600 x 1000.
std::unique_ptr<TfPreviews> MakeDialog(TIPDialogParams& Params, TPreviewEffects Pages) {
  auto d = std::make_unique<TfPreviews>();
  TLKBitmap* src = d->GetBitmap();
  src->Allocate(1600, 1000, lk24RGB);
  for (Integer y = 0; y < 1000; ++y)
    for (Integer x = 0; x < 1600; ++x)
      src->SetPixels_lk24RGB(x, y, CreateRGB(Byte(x * 7 + y), Byte(y * 3), Byte((x ^ y) & 255)));
  d->SetPages(Pages, &Params);
  d->SetLockPreview(true);
  d->SetBounds(0, 0, 1700, 1400);
  d->Lumerak1->SetBounds(0, 0, 1604, 1004);
  d->FormActivate();
  d->Lumerak1->SetZoom(100);
  d->CopyOrg();
  return d;
}

void BM_PreviewStepBrightness(benchmark::State& state) {
  EnsureBenchApplication();
  TIPDialogParams params;
  auto d = MakeDialog(params, {peContrast});
  state.counters["copy_w"] = d->GetResult()->GetWidth();
  state.counters["copy_h"] = d->GetResult()->GetHeight();
  Integer v = 10;
  for (auto _ : state) {
    d->TrackBar12->SetPosition(v);
    v = v == 10 ? 11 : 10;
  }
  state.SetBytesProcessed(state.iterations() * Int64(d->GetResult()->GetWidth()) * d->GetResult()->GetHeight() * 3);
}
BENCHMARK(BM_PreviewStepBrightness)->Unit(benchmark::kMillisecond);

void BM_PreviewStepGaussianFilter(benchmark::State& state) {
  EnsureBenchApplication();
  TIPDialogParams params;
  const TGraphFilter* gauss = nullptr;
  for (Integer i = 0; i < LKGetFiltersCount(); ++i)
    if (LKGetFilterName(i) == "Low Pass 2") gauss = LKGetFilter(i);
  if (gauss == nullptr) {
    state.SkipWithError("no Gaussian preset");
    return;
  }
  std::copy(gauss->Values, gauss->Values + 9, params.UserFilterValues);
  params.UserFilterDivisor = gauss->Divisor;
  auto d = MakeDialog(params, {peUserFilt});
  state.counters["copy_w"] = d->GetResult()->GetWidth();
  state.counters["copy_h"] = d->GetResult()->GetHeight();
  Integer v = 4;
  for (auto _ : state) {
    // The centre weight moves between 4 and 5 (divisor 16).
    d->KernelEdits[4]->SetText(v == 4 ? "4" : "5");
    v = v == 4 ? 5 : 4;
  }
  state.SetBytesProcessed(state.iterations() * Int64(d->GetResult()->GetWidth()) * d->GetResult()->GetHeight() * 3);
}
BENCHMARK(BM_PreviewStepGaussianFilter)->Unit(benchmark::kMillisecond);

}  // namespace
