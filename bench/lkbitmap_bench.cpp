// Row walks over a 6000 x 4000 24-bit picture in memory and in file storage,
// against a plain memcpy of the same bytes and a pread of a file of the same
// size, so the figures of one run can be compared directly.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"

namespace {

constexpr Integer kWidth = 6000;
constexpr Integer kHeight = 4000;

// Row copies out, in, out and back; pixels inverted through the row address;
// pixels inverted through the per-pixel accessors.
enum WalkMode { kRowRead = 0, kRowWrite = 1, kRowCopyBack = 2, kPixelInvert = 3, kPixelAccessors = 4 };

// A picture in the storage chosen by the threshold it is created with.
std::unique_ptr<TLKBitmap> MakePicture(bool inFile) {
  const Integer saved = LKDefMinFileSize;
  LKDefMinFileSize = inFile ? 1 : (1 << 30);
  auto bmp = std::make_unique<TLKBitmap>(kWidth, kHeight, lk24RGB);
  LKDefMinFileSize = saved;
  return bmp;
}

void RowWalk(benchmark::State& state, bool inFile) {
  const auto mode = static_cast<WalkMode>(state.range(0));
  auto bmp = MakePicture(inFile);
  if (bmp->GetLocation() != (inFile ? lkFile : lkMemory)) {
    state.SkipWithError("storage not as requested");
    return;
  }
  const Integer len = bmp->GetRowLen();
  std::vector<Byte> scratch(static_cast<size_t>(len), 0x5A);
  for (Integer y = 0; y < kHeight; ++y) std::memset(bmp->GetScanLine(y), y & 0xFF, static_cast<size_t>(len));
  bmp->FreeAllMaps();
  if (mode == kRowRead) bmp->Access = TLKDataAccess{lkdRead};
  if (mode == kRowWrite) bmp->Access = TLKDataAccess{lkdWrite};

  for (auto _ : state) {
    for (Integer y = 0; y < kHeight; ++y) {
      auto* row = static_cast<Byte*>(bmp->GetScanLine(y));
      switch (mode) {
        case kRowRead:
          std::memcpy(scratch.data(), row, static_cast<size_t>(len));
          break;
        case kRowWrite:
          std::memcpy(row, scratch.data(), static_cast<size_t>(len));
          break;
        case kRowCopyBack:
          std::memcpy(scratch.data(), row, static_cast<size_t>(len));
          std::memcpy(row, scratch.data(), static_cast<size_t>(len));
          break;
        case kPixelAccessors:
          for (Integer x = 0; x < kWidth; ++x) {
            const TRGB c = bmp->GetPixels_lk24RGB(x, y);
            bmp->SetPixels_lk24RGB(x, y, TRGB{Byte(255 - c.b), Byte(255 - c.g), Byte(255 - c.r)});
          }
          break;
        case kPixelInvert: {
          auto* px = reinterpret_cast<TRGB*>(row);
          for (Integer x = 0; x < kWidth; ++x) {
            px[x].r = static_cast<Byte>(255 - px[x].r);
            px[x].g = static_cast<Byte>(255 - px[x].g);
            px[x].b = static_cast<Byte>(255 - px[x].b);
          }
          break;
        }
      }
      benchmark::DoNotOptimize(row);
    }
    bmp->FreeAllMaps();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(len) * kHeight);
}

void BM_LKBitmapRowWalk_Memory(benchmark::State& state) { RowWalk(state, false); }
void BM_LKBitmapRowWalk_File(benchmark::State& state) { RowWalk(state, true); }

// Plain memcpy of the picture's bytes, one row at a time and as one block.
void BM_Baseline_Memcpy(benchmark::State& state) {
  const size_t len = static_cast<size_t>(LKBitmapRowLen(kWidth, 24, 32));
  std::vector<Byte> src(len * kHeight, 1), dst(len * kHeight, 2);
  for (auto _ : state) {
    if (state.range(0) == 0) {
      std::memcpy(dst.data(), src.data(), src.size());
    } else {
      for (size_t y = 0; y < static_cast<size_t>(kHeight); ++y)
        std::memcpy(dst.data() + y * len, src.data() + y * len, len);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(src.size()));
}

// pread (or pwrite) of a file of the picture's size, in row-sized or 1 MB
// blocks.
void FileBaseline(benchmark::State& state, bool write) {
  const size_t len = static_cast<size_t>(LKBitmapRowLen(kWidth, 24, 32));
  const size_t total = len * kHeight;
  const String name = LKGetTempFileName("bench", LKTempFolder());
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    state.SkipWithError("cannot create file");
    return;
  }
  std::vector<Byte> buf(std::max<size_t>(len, 1048576), 7);
  for (size_t off = 0; off < total; off += len)
    if (::pwrite(fd, buf.data(), len, static_cast<off_t>(off)) != static_cast<ssize_t>(len)) break;
  const size_t chunk = state.range(0) == 0 ? len : 1048576;
  for (auto _ : state) {
    for (size_t off = 0; off < total; off += chunk) {
      const size_t n = std::min(chunk, total - off);
      if (write) {
        benchmark::DoNotOptimize(::pwrite(fd, buf.data(), n, static_cast<off_t>(off)));
      } else {
        benchmark::DoNotOptimize(::pread(fd, buf.data(), n, static_cast<off_t>(off)));
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(total));
  ::close(fd);
  ::unlink(name.c_str());
}

void BM_Baseline_Pread(benchmark::State& state) { FileBaseline(state, false); }
void BM_Baseline_Pwrite(benchmark::State& state) { FileBaseline(state, true); }

BENCHMARK(BM_LKBitmapRowWalk_Memory)->ArgName("mode")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LKBitmapRowWalk_File)->ArgName("mode")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_Memcpy)->ArgName("per_row")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_Pread)->ArgName("chunk_1mb")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_Pwrite)->ArgName("chunk_1mb")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

}  // namespace
