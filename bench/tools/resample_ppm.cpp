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
#include "bench/tools/ppm_io.h"

namespace {

using namespace ppm_io;

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
