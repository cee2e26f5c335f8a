// The single-image view repainting a 24-megapixel picture (6000 x 4000,
// shown without a copy) in a 1600 x 1000 client area, beside Qt's
// QPainter::drawImage with smooth scaling of the same picture into a QImage
// of the same size:
//   - fitted repaint: the whole picture at fit zoom with the fast linear
//     filter (render into the back buffer and copy to the client image);
//   - one scroll step at 100 % (no filter) and at 33 % (fast linear): the
//     view's synchronous repaint after moving the origin by one line.
// The Qt rows draw the same picture area into the same target size.
// Run: lumerak_bench --benchmark_filter='View|QtDrawImage'
// Reported: milliseconds per repaint (wall clock), one thread each.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench/bench_pictures.h"
#include "views/lumerakview.h"

namespace {

constexpr Integer kClientW = 1600, kClientH = 1000;

// The widgets need an application object; the benchmarks run headless.
void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "lumerak_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  // Qt scales large images on its thread pool: one thread, as the view.
  QThreadPool::globalInstance()->setMaxThreadCount(1);
}

// A view in a window showing the shared picture (attached, not copied),
// with a client area of kClientW x kClientH and the fast linear filter.
struct ViewRig {
  struct App {
    App() { EnsureApplication(); }
  } app;  // before any widget
  QWidget form;
  std::unique_ptr<TLumerakView> view;
  ViewRig() {
    form.resize(kClientW + 100, kClientH + 100);
    view = std::make_unique<TLumerakView>();
    view->SetParentWindow(&form);
    view->SetScrollBars(ssNone);  // the client area stays 1600 x 1000 at every zoom
    view->SetBounds(0, 0, kClientW + 4, kClientH + 4);
    view->SetZoomFilter(rfFastLinear);
    view->SetExternalBitmap(benchpic::GradientPicture());
  }
  ~ViewRig() { view->SetExternalBitmap(nullptr); }
};

void BM_ViewFittedRepaint(benchmark::State& state) {
  ViewRig rig;
  rig.view->Fit();
  for (auto _ : state) {
    rig.view->MarkBackBufferDirty();
    rig.view->PaintNow();
  }
  state.counters["zoom"] = rig.view->GetZoom();
}

void ScrollSteps(benchmark::State& state, double Zoom) {
  ViewRig rig;
  rig.view->SetZoom(Zoom);
  rig.view->SetViewXY(400, 400);
  Integer step = 0;
  for (auto _ : state) {
    // One line down, then back up: every step re-renders synchronously.
    rig.view->DoVertScroll((step++ & 1) == 0 ? lkscLineDown : lkscLineUp, 0);
  }
  state.counters["zoom"] = Zoom;
}

void BM_ViewScrollStep100(benchmark::State& state) { ScrollSteps(state, 100); }
void BM_ViewScrollStep33(benchmark::State& state) { ScrollSteps(state, 33); }

// The picture as a QImage (copied once, outside the timing).
const QImage& QtPicture() {
  static QImage image = [] {
    TLKBitmap* pic = benchpic::GradientPicture();
    QImage img(pic->GetWidth(), pic->GetHeight(), QImage::Format_BGR888);
    for (Integer y = 0; y < pic->GetHeight(); ++y)
      std::memcpy(img.scanLine(y), pic->GetScanLine(y), static_cast<std::size_t>(pic->GetWidth()) * 3);
    return img;
  }();
  return image;
}

void QtDraw(benchmark::State& state, const QRectF& Target, const QRectF& Source) {
  EnsureApplication();
  const QImage& src = QtPicture();
  QImage dst(kClientW, kClientH, QImage::Format_BGR888);
  for (auto _ : state) {
    dst.fill(Qt::gray);
    QPainter p(&dst);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(Target, src, Source);
    p.end();
    benchmark::DoNotOptimize(dst.bits());
  }
}

// Fit: 6000 x 4000 into 1600 x 1000 is 1500 x 1000, centred.
void BM_QtDrawImageFitted(benchmark::State& state) {
  QtDraw(state, QRectF(50, 0, 1500, 1000), QRectF(0, 0, 6000, 4000));
}
// 100 %: a 1600 x 1000 part of the picture, 1:1.
void BM_QtDrawImage100(benchmark::State& state) {
  QtDraw(state, QRectF(0, 0, kClientW, kClientH), QRectF(400, 401, kClientW, kClientH));
}
// 33 %: the part of the picture that fills 1600 x 1000 at 33 %.
void BM_QtDrawImage33(benchmark::State& state) {
  QtDraw(state, QRectF(0, 0, kClientW, kClientH), QRectF(1212, 1215, kClientW / 0.33, kClientH / 0.33));
}

}  // namespace

BENCHMARK(BM_ViewFittedRepaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtDrawImageFitted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ViewScrollStep100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtDrawImage100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ViewScrollStep33)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtDrawImage33)->Unit(benchmark::kMillisecond)->UseRealTime();
