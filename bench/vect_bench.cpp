// The vector view: one repaint of 1,000 mixed objects over a fitted
// 24-megapixel picture in a 1600 x 1000 view (the whole repaint, and the
// objects alone drawn into the back buffer, directly and composed), and one
// hit test among 10,000 objects.
// Run: lumerak_bench --benchmark_filter='Vect'
// Reported: milliseconds (wall clock), one thread.
#include <benchmark/benchmark.h>

#include <QThreadPool>
#include <QWidget>
#include <memory>

#include "bench/bench_app.h"
#include "bench/bench_pictures.h"
#include "views/lumerakvect.h"

namespace {

constexpr Integer kClientW = 1600, kClientH = 1000;

struct VectRig {
  struct App {
    App() {
      EnsureBenchApplication();
      QThreadPool::globalInstance()->setMaxThreadCount(1);
    }
  } app;
  QWidget form;
  std::unique_ptr<TLumerakVect> view;
  explicit VectRig(Integer Objects) {
    form.resize(kClientW + 100, kClientH + 100);
    view = std::make_unique<TLumerakVect>();
    view->SetParentWindow(&form);
    view->SetScrollBars(ssNone);
    view->SetBounds(0, 0, kClientW + 4, kClientH + 4);
    view->SetZoomFilter(rfFastLinear);
    view->SetExternalBitmap(benchpic::GradientPicture());
    view->Fit();
    const Integer W = view->GetLKBitmap()->GetWidth(), H = view->GetLKBitmap()->GetHeight();
    static const TLKVObjectKind kinds[] = {lkkLINE, lkkBOX, lkkELLIPSE, lkkPOLYLINE, lkkRULER, lkkARC};
    TLKVObject o;
    o.PenColor = clRed;
    o.PenWidth = 2;
    for (Integer i = 0; i < Objects; ++i) {
      o.Kind = kinds[i % 6];
      o.X1 = (i * 7919) % (W - 300);
      o.Y1 = (i * 104729) % (H - 300);
      o.X2 = o.X1 + 40 + (i * 31) % 250;
      o.Y2 = o.Y1 + 30 + (i * 17) % 250;
      o.RulerType = lkrtQUOTECENTER;
      o.BrushStyle = i % 3 == 0 ? bsSolid : bsClear;
      o.BrushColor = clYellow;
      o.PolyPoints = {{0, 0}, {10, 5}, {20, 0}, {30, 10}};
      o.PolyBox = TRect{0, 0, 30, 10};
      view->AddVObject(o);
    }
  }
  ~VectRig() { view->SetExternalBitmap(nullptr); }
};

void BM_VectRepaintFitted(benchmark::State& state) {
  VectRig rig(static_cast<Integer>(state.range(1)));
  rig.view->SetObjGraphicRender(state.range(0) != 0);
  for (auto _ : state) {
    rig.view->MarkBackBufferDirty();
    rig.view->PaintNow();
  }
}
// objects:0 is the picture alone, the floor under the objects' share.
BENCHMARK(BM_VectRepaintFitted)
    ->Args({0, 1000})
    ->Args({1, 1000})
    ->Args({0, 0})
    ->ArgNames({"composed", "objects"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_VectObjectsOnly(benchmark::State& state) {
  VectRig rig(1000);
  rig.view->SetObjGraphicRender(state.range(0) != 0);
  rig.view->PaintNow();
  TBitmap* back = rig.view->GetBackBuffer();
  for (auto _ : state) rig.view->DrawObjectAll(back, false, false, -1);
}
BENCHMARK(BM_VectObjectsOnly)->Arg(0)->Arg(1)->ArgName("composed")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VectHitTest(benchmark::State& state) {
  VectRig rig(10000);
  double d;
  Integer x = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rig.view->FindNearObj(1000 + x, 1500, true, d));
    x = (x + 37) % 3000;
  }
}
BENCHMARK(BM_VectHitTest)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
