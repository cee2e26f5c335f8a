// Read throughput of the platform's file and memory streams, in bytes per
// second, for a range of request sizes (the codecs read a few bytes at a time
// through buffered readers, whole rows, or big blocks).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/classes.h"

namespace {

constexpr Int64 kFileBytes = Int64{64} << 20;

// A 64 MiB file in the temporary folder, written once and removed at exit.
const std::string& DataFile() {
  static const std::string name = [] {
    char tmpl[] = "/tmp/pcore-streambench-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    std::string n = tmpl;
    TFileStream f(n, fmCreate);
    std::vector<Byte> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<Byte>(i * 31);
    for (Int64 done = 0; done < kFileBytes; done += static_cast<Int64>(block.size()))
      f.WriteBuffer(block.data(), static_cast<Int64>(block.size()));
    std::atexit([] { unlink(DataFile().c_str()); });
    return n;
  }();
  return name;
}

void ReadAll(benchmark::State& state, TStream& s) {
  const Integer chunk = static_cast<Integer>(state.range(0));
  std::vector<Byte> buf(static_cast<std::size_t>(chunk));
  for (auto _ : state) {
    s.SetPosition(0);
    Int64 total = 0;
    while (Integer got = s.Read(buf.data(), chunk)) total += got;
    benchmark::DoNotOptimize(total);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * s.GetSize());
}

void BM_FileStreamRead(benchmark::State& state) {
  TFileStream f(DataFile(), fmOpenRead | fmShareDenyWrite);
  ReadAll(state, f);
}
BENCHMARK(BM_FileStreamRead)->Arg(4096)->Arg(65536)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_MemoryStreamRead(benchmark::State& state) {
  TMemoryStream m;
  m.LoadFromFile(DataFile());
  ReadAll(state, m);
}
BENCHMARK(BM_MemoryStreamRead)->Arg(16)->Arg(4096)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_MemoryStreamLoadFromFile(benchmark::State& state) {
  for (auto _ : state) {
    TMemoryStream m;
    m.LoadFromFile(DataFile());
    benchmark::DoNotOptimize(m.Memory());
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
}
BENCHMARK(BM_MemoryStreamLoadFromFile)->Unit(benchmark::kMillisecond);

}  // namespace
