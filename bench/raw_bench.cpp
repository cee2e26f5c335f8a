// Throughput of the camera RAW decoder's Huffman loaders: the per-bit tree
// walk of lossless-JPEG and Canon compressed data, in samples per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "raw/lkrawbits.h"
#include "tests/raw/kit/rawkit.h"

namespace {

// A smooth test picture with some noise, so differences take several lengths.
int sample(int r, int c) { return (1000 + 3 * r + 2 * c + ((r * 7919 + c * 104729) % 37)) & 1023; }

struct Decode {
  rawkit::Bytes bytes;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();
  Decode(rawkit::Bytes b, int rows, int cols) : bytes(std::move(b)) {
    src = std::make_unique<TRAWMemorySource>(bytes.data(), static_cast<Int64>(bytes.size()));
    s->raw_height = s->height = s->iheight = rows;
    s->raw_width = s->width = s->iwidth = cols;
    s->filters = 0x94949494u;
    alloc_image(*s);
  }
  void start() {
    set_source(*s, src.get());
    reset_decoder_state(*s);
  }
};

void BM_LosslessJpegLoad(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = 2 * rows;
  Decode d(rawkit::lossless_jpeg(rows, cols, sample), rows, cols);
  for (auto _ : state) {
    d.start();
    lossless_jpeg_load_raw(*d.s);
    benchmark::DoNotOptimize(d.s->image.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(rows) * cols);
}
BENCHMARK(BM_LosslessJpegLoad)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_CanonCompressedLoad(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = 2 * rows;
  rawkit::ByteWriter w;
  w.pad_to(540);
  w.raw(rawkit::canon_compressed(rows, cols, sample, kCanonFirstTree[1], 29, kCanonSecondTree[1], 180));
  w.u8(0xff).u8(0);
  Decode d(w.bytes(), rows, cols);
  for (auto _ : state) {
    d.start();
    canon_init_tables(*d.s, 1);
    canon_compressed_load_raw(*d.s);
    benchmark::DoNotOptimize(d.s->image.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(rows) * cols);
}
BENCHMARK(BM_CanonCompressedLoad)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
