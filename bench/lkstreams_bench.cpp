// Throughput of the buffered read stream against plain file-stream reads:
// byte-wise reads (the JPEG marker scans and RAW bit readers), block reads
// of several sizes, and a marker-style walk of short reads and forward seeks.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/lkstreams.h"

namespace {

constexpr Integer kFileSize = 4 << 20;

// One temporary file of pseudo-random bytes shared by every benchmark,
// removed at exit.
class BenchFile {
 public:
  BenchFile() {
    path_ = (std::filesystem::temp_directory_path() /
             ("lkstreams_bench_" + std::to_string(getpid()) + ".bin"))
                .string();
    TFileStream f(path_, fmCreate);
    std::vector<Byte> data(static_cast<std::size_t>(kFileSize));
    std::uint32_t x = 2463534242u;
    for (Byte& b : data) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      b = static_cast<Byte>(x);
    }
    f.WriteBuffer(data.data(), kFileSize);
  }
  ~BenchFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  const String& Path() const { return path_; }

 private:
  String path_;
};

const String& FilePath() {
  static BenchFile file;
  return file.Path();
}

// Byte-wise reads cost one system call each without a buffer, so that case
// reads only the first MiB.
constexpr Integer kByteWiseBytes = 1 << 20;

void BM_FileStreamByteReads(benchmark::State& state) {
  TFileStream f(FilePath(), fmOpenRead);
  for (auto _ : state) {
    f.Seek(0, soBeginning);
    unsigned sum = 0;
    Byte b;
    for (Integer i = 0; i < kByteWiseBytes; ++i) {
      f.Read(&b, 1);
      sum += b;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kByteWiseBytes);
}
BENCHMARK(BM_FileStreamByteReads)->Unit(benchmark::kMillisecond);

void BM_BufferedByteReads(benchmark::State& state) {
  TFileStream f(FilePath(), fmOpenRead);
  TLKBufferedReadStream s(&f, static_cast<Integer>(state.range(0)));
  for (auto _ : state) {
    s.Seek(0, soBeginning);
    unsigned sum = 0;
    Byte b;
    for (Integer i = 0; i < kByteWiseBytes; ++i) {
      s.Read(&b, 1);
      sum += b;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * kByteWiseBytes);
}
BENCHMARK(BM_BufferedByteReads)->Arg(8192)->Arg(65536)->Unit(benchmark::kMillisecond);

template <typename MakeStream>
void BlockReads(benchmark::State& state, MakeStream make) {
  const auto block = static_cast<Integer>(state.range(0));
  TFileStream f(FilePath(), fmOpenRead);
  std::unique_ptr<TStream> owned;
  TStream* s = make(f, owned);
  std::vector<Byte> buf(static_cast<std::size_t>(block));
  for (auto _ : state) {
    s->Seek(0, soBeginning);
    Int64 total = 0;
    while (total < kFileSize) {
      const Integer got = s->Read(buf.data(), block);
      if (got <= 0) break;
      total += got;
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_FileStreamBlockReads(benchmark::State& state) {
  BlockReads(state, [](TFileStream& f, std::unique_ptr<TStream>&) -> TStream* { return &f; });
}
BENCHMARK(BM_FileStreamBlockReads)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

void BM_BufferedBlockReads(benchmark::State& state) {
  BlockReads(state, [](TFileStream& f, std::unique_ptr<TStream>& owned) -> TStream* {
    owned = std::make_unique<TLKBufferedReadStream>(&f, 8192);
    return owned.get();
  });
}
BENCHMARK(BM_BufferedBlockReads)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond);

// A marker walk: read a 4-byte header, skip a short body, as the JPEG marker
// scan does through the buffered stream.
template <typename MakeStream>
void MarkerWalk(benchmark::State& state, MakeStream make) {
  TFileStream f(FilePath(), fmOpenRead);
  std::unique_ptr<TStream> owned;
  TStream* s = make(f, owned);
  Int64 walked = 0;
  for (auto _ : state) {
    s->Seek(0, soBeginning);
    Byte header[4];
    Int64 pos = 0;
    while (pos + 4 <= kByteWiseBytes) {
      s->Read(header, 4);
      const Int64 skip = header[2] % 64;
      pos = s->Seek(skip, soCurrent);
    }
    walked += pos;
  }
  state.SetBytesProcessed(walked);
}

void BM_FileStreamMarkerWalk(benchmark::State& state) {
  MarkerWalk(state, [](TFileStream& f, std::unique_ptr<TStream>&) -> TStream* { return &f; });
}
BENCHMARK(BM_FileStreamMarkerWalk)->Unit(benchmark::kMillisecond);

void BM_BufferedMarkerWalk(benchmark::State& state) {
  MarkerWalk(state, [](TFileStream& f, std::unique_ptr<TStream>& owned) -> TStream* {
    owned = std::make_unique<TLKBufferedReadStream>(&f, 8192);
    return owned.get();
  });
}
BENCHMARK(BM_BufferedMarkerWalk)->Unit(benchmark::kMillisecond);

}  // namespace
