// Helper of bench/resample_peers.sh: writes the benchmarks' photograph-like
// picture as a binary PPM, and resizes a PPM with one of the library's
// resampling filters, from file to file, printing the milliseconds of the
// resampling call alone.
//
//   resample_ppm make WIDTH HEIGHT OUT.ppm
//   resample_ppm FILTER IN.ppm OUT.ppm WIDTH HEIGHT
//
// FILTER: triangle hermite bell bspline lanczos3 mitchell linear fastlinear
// bilinear bicubic.
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/quant_picture.h"
#include "core/lkbitmap.h"
#include "processing/lkfilterresample.h"

namespace {

struct File {
  std::FILE* f;
  ~File() {
    if (f) std::fclose(f);
  }
};

// Reads one header number, skipping white space and comments.
bool ReadNumber(std::FILE* f, long& value) {
  int c = std::fgetc(f);
  for (;;) {
    if (c == '#') {
      while (c != '\n' && c != EOF) c = std::fgetc(f);
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      c = std::fgetc(f);
    } else {
      break;
    }
  }
  if (c < '0' || c > '9') return false;
  value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 + (c - '0');
    if (value > 1000000) return false;
    c = std::fgetc(f);
  }
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';  // one white-space byte ends the header
}

std::unique_ptr<TLKBitmap> InMemory(long w, long h) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(INT_MAX);
  bmp->Allocate(static_cast<Integer>(w), static_cast<Integer>(h), lk24RGB);
  return bmp;
}

// A binary PPM with maxval 255 into an lk24RGB bitmap kept in memory.
std::unique_ptr<TLKBitmap> ReadPPM(const char* path) {
  File in{std::fopen(path, "rb")};
  if (!in.f) {
    std::fprintf(stderr, "cannot open %s\n", path);
    return nullptr;
  }
  char magic[2];
  long w, h, maxval;
  if (std::fread(magic, 1, 2, in.f) != 2 || magic[0] != 'P' || magic[1] != '6' || !ReadNumber(in.f, w) ||
      !ReadNumber(in.f, h) || !ReadNumber(in.f, maxval) || w < 1 || h < 1 || maxval != 255) {
    std::fprintf(stderr, "%s is not an 8-bit binary PPM\n", path);
    return nullptr;
  }
  auto bmp = InMemory(w, h);
  std::vector<Byte> row(static_cast<std::size_t>(w) * 3);
  for (long y = 0; y < h; ++y) {
    if (std::fread(row.data(), 1, row.size(), in.f) != row.size()) {
      std::fprintf(stderr, "%s is truncated\n", path);
      return nullptr;
    }
    Byte* p = static_cast<Byte*>(bmp->GetScanLine(static_cast<Integer>(y)));
    for (long x = 0; x < w; ++x) {
      p[3 * x] = row[3 * x + 2];
      p[3 * x + 1] = row[3 * x + 1];
      p[3 * x + 2] = row[3 * x];
    }
  }
  return bmp;
}

// Writes rows given as blue, green, red bytes.
template <typename RowFn>
bool WritePPM(const char* path, int w, int h, RowFn rowOf) {
  File out{std::fopen(path, "wb")};
  if (!out.f) {
    std::fprintf(stderr, "cannot create %s\n", path);
    return false;
  }
  std::fprintf(out.f, "P6\n%d %d\n255\n", w, h);
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(w) * 3), rgb(bgr.size());
  for (int y = 0; y < h; ++y) {
    rowOf(y, bgr.data());
    for (int x = 0; x < w; ++x) {
      rgb[3 * x] = bgr[3 * x + 2];
      rgb[3 * x + 1] = bgr[3 * x + 1];
      rgb[3 * x + 2] = bgr[3 * x];
    }
    if (std::fwrite(rgb.data(), 1, rgb.size(), out.f) != rgb.size()) return false;
  }
  return true;
}

struct NamedFilter {
  const char* name;
  TResampleFilter filter;
};
constexpr NamedFilter kFilters[] = {
    {"triangle", rfTriangle}, {"hermite", rfHermite},       {"bell", rfBell},         {"bspline", rfBSpline},
    {"lanczos3", rfLanczos3}, {"mitchell", rfMitchell},     {"linear", rfLinear},     {"fastlinear", rfFastLinear},
    {"bilinear", rfBilinear}, {"bicubic", rfBicubic},
};

int Usage() {
  std::fprintf(stderr, "usage: resample_ppm make W H OUT.ppm | FILTER IN.ppm OUT.ppm W H\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "make" && argc == 5) {
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
    if (w < 1 || h < 1 || w > 100000 || h > 100000) return Usage();
    return WritePPM(argv[4], w, h, [&](int y, std::uint8_t* row) { quantbench::PhotoRow(w, h, y, 1, row); }) ? 0 : 1;
  }
  if (argc != 6) return Usage();
  const NamedFilter* named = nullptr;
  for (const NamedFilter& f : kFilters)
    if (cmd == f.name) named = &f;
  const long w2 = std::atol(argv[4]), h2 = std::atol(argv[5]);
  if (!named || w2 < 1 || h2 < 1 || w2 > 100000 || h2 > 100000) return Usage();
  auto src = ReadPPM(argv[2]);
  if (!src) return 1;
  auto dst = InMemory(w2, h2);
  const auto start = std::chrono::steady_clock::now();
  _ResampleEx(src.get(), dst.get(), named->filter);
  const auto end = std::chrono::steady_clock::now();
  std::printf("%.1f\n", std::chrono::duration<double, std::milli>(end - start).count());
  const int w = static_cast<int>(w2), h = static_cast<int>(h2);
  return WritePPM(argv[3], w, h,
                  [&](int y, std::uint8_t* row) { std::memcpy(row, dst->GetScanLine(y), static_cast<size_t>(w) * 3); })
             ? 0
             : 1;
}
