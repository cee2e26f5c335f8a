// The vector view's object stream with 10,000 mixed objects: lines, boxes,
// ellipses, texts, polylines of 20 points, rulers, memos and picture
// objects sharing 16 small pictures.
//   - LKVSave: one block written to memory (reported: bytes of the block).
//   - LKVLoad: the block read back into a view holding nothing.
//   - MemoTypeChar: one character typed into the middle of a memo of 10,000
//     characters, then the memo laid out and drawn again in 600 x 400
//     (a Backspace between rounds keeps the length).
// Run: lumerak_bench --benchmark_filter='LKV|Memo'
// Reported: milliseconds per call. One thread. There is no peer tool for
// this format.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_app.h"
#include "core/lkbitmap.h"
#include "platform/classes.h"
#include "platform/ctrltypes.h"
#include "views/lkrichedit.h"
#include "views/lumerakvect.h"

namespace {

constexpr Integer kObjects = 10000;

TLumerakVect& Filled() {
  EnsureBenchApplication();
  static std::unique_ptr<TLumerakVect> v = [] {
    auto view = std::make_unique<TLumerakVect>();
    std::vector<std::unique_ptr<TLKBitmap>> pictures;
    for (Integer i = 0; i < 16; ++i) {
      pictures.push_back(std::make_unique<TLKBitmap>(32, 32, lk24RGB));
      pictures.back()->Fill(i * 15);
    }
    const TLKVObjectKind kinds[] = {lkkLINE, lkkBOX, lkkELLIPSE, lkkTEXT, lkkPOLYLINE, lkkRULER, lkkMEMO, lkkBITMAP};
    for (Integer i = 0; i < kObjects; ++i) {
      TLKVObject o;
      o.Kind = kinds[i % 8];
      o.X1 = i % 900;
      o.Y1 = i % 700;
      o.X2 = o.X1 + 40;
      o.Y2 = o.Y1 + 30;
      o.Name = "object " + std::to_string(i);
      if (o.Kind == lkkTEXT || o.Kind == lkkMEMO) o.Text = "Text number " + std::to_string(i);
      if (o.Kind == lkkPOLYLINE)
        for (Integer p = 0; p < 20; ++p) o.PolyPoints.push_back(TPoint{p * 3, (p * 7) % 40});
      const Integer h = view->AddVObject(o);
      if (o.Kind == lkkBITMAP) view->SetObjBitmap(h, pictures[static_cast<std::size_t>(i % 16)].get());
    }
    return view;
  }();
  return *v;
}

void BM_LKVSave(benchmark::State& state) {
  TLumerakVect& v = Filled();
  Int64 size = 0;
  for (auto _ : state) {
    TMemoryStream s;
    v.SaveToStreamLKV(&s);
    size = s.GetSize();
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_LKVSave)->Unit(benchmark::kMillisecond);

void BM_LKVLoad(benchmark::State& state) {
  TLumerakVect& v = Filled();
  TMemoryStream s;
  v.SaveToStreamLKV(&s);
  TLumerakVect target;
  for (auto _ : state) {
    s.SetPosition(0);
    if (!target.LoadFromStreamLKV(&s)) state.SkipWithError("the block did not read back");
  }
  state.counters["objects"] = target.GetObjectCount();
}
BENCHMARK(BM_LKVLoad)->Unit(benchmark::kMillisecond);

void BM_MemoTypeChar(benchmark::State& state) {
  EnsureBenchApplication();
  TLKTextControl memo;
  memo.GetDefaultFont()->SetHeight(-14);
  std::string text;
  for (Integer i = 0; text.size() < 10000; ++i) text += (i % 12 == 11) ? "word\n" : "word ";
  text.resize(10000);
  memo.Rich.Text = text;
  memo.Init();
  TBitmap target(600, 400, pf24bit);
  memo.PaintTo(target.GetCanvas(), 0, 0, 600, 400);
  for (auto _ : state) {
    memo.Rich.Caret = 5000;
    char c = 'x';
    memo.KeyPress(c);
    memo.PaintTo(target.GetCanvas(), 0, 0, 600, 400);
    state.PauseTiming();
    Word back = VK_BACK;
    memo.KeyDown(back, {});
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MemoTypeChar)->Unit(benchmark::kMillisecond);

}  // namespace
