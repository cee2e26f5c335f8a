// Helper of bench/color_side_by_side.sh: writes the benchmarks'
// photograph-like picture as a binary PPM, and runs one colour or tone
// operation on a PPM picture held in memory, printing the median
// milliseconds of the operation alone (each run on a fresh copy, the copy
// not timed); with OUT.ppm it also writes the last result.
//
//   color_ppm make WIDTH HEIGHT OUT.ppm
//   color_ppm OPERATION IN.ppm RUNS [OUT.ppm]
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/quant_picture.h"
#include "bench/tools/ppm_io.h"
#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "processing/lkcolorops.h"
#include "processing/lkcolorreduce.h"
#include "processing/lkcolortools.h"
#include "processing/lkprocutils.h"
#include "processing/lktone.h"

namespace {

using namespace ppm_io;

// The operation beside each peer's: what it does to the picture.
struct Operation {
  const char* name;
  std::function<void(TLKBitmap*, std::unique_ptr<TLKBitmap>&)> run;
};

const Operation kOperations[] = {
    {"brightness-contrast",  // brightness +10 %, contrast +20
     [](TLKBitmap* b, auto&) { LKAdjustBrightnessContrastSaturation(b, LKTrunc(1.1 * 256), 20, 256, {}, nullptr); }},
    {"modulate",  // brightness +10 %, saturation +30 %
     [](TLKBitmap* b, auto&) {
       LKAdjustBrightnessContrastSaturation(b, LKTrunc(1.1 * 256), 0, LKTrunc(1.3 * 256), {}, nullptr);
     }},
    {"gamma", [](TLKBitmap* b, auto&) { _LKGammaCorrect(b, 2.2, {lkcRed, lkcGreen, lkcBlue}, {}, nullptr); }},
    {"level",  // 10 % .. 90 % stretched to the full range
     [](TLKBitmap* b, auto&) {
       _HistEqualize(b, CreateRGB(26, 26, 26), CreateRGB(230, 230, 230), 0, 0, INT_MAX, INT_MAX, {}, nullptr);
     }},
    {"linear",  // contrast around mid-grey: 1.5 x + b
     [](TLKBitmap* b, auto&) { _ContrastRGB(b, 5, 128, 128, 128, 0, 0, INT_MAX, INT_MAX, {}, nullptr); }},
    {"equalize", [](TLKBitmap* b, auto&) { _HistAutoEqualize(b, 0, 0, INT_MAX, INT_MAX, {}, nullptr); }},
    {"negate", [](TLKBitmap* b, auto&) { _Negative(b, 0, 0, INT_MAX, INT_MAX, {}, nullptr); }},
    {"gray", [](TLKBitmap* b, auto&) { _ConvertToGray(b, 0, 0, INT_MAX, INT_MAX, {}, nullptr); }},
    {"colors256", [](TLKBitmap* b, auto&) { _ConvertToEx(b, 256, nullptr, {}, nullptr); }},
    {"separate",  // the red channel as a picture of its own
     [](TLKBitmap* b, std::unique_ptr<TLKBitmap>& out) { out.reset(_GetRGBChannel(b, 2, {}, nullptr)); }},
};

int Usage() {
  std::fprintf(stderr, "usage: color_ppm make W H OUT.ppm | OPERATION IN.ppm RUNS [OUT.ppm]\noperations:");
  for (const Operation& op : kOperations) std::fprintf(stderr, " %s", op.name);
  std::fprintf(stderr, "\n");
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
  if (argc != 4 && argc != 5) return Usage();
  // Results made by the routines stay in memory too, as the peers' do.
  LKDefMinFileSize = INT_MAX;
  const Operation* op = nullptr;
  for (const Operation& o : kOperations)
    if (cmd == o.name) op = &o;
  const int runs = std::atoi(argv[3]);
  if (!op || runs < 1 || runs > 100) return Usage();
  auto src = ReadPPM(argv[2]);
  if (!src) return 1;
  const int w = src->GetWidth(), h = src->GetHeight();
  std::vector<double> ms;
  std::unique_ptr<TLKBitmap> work, out;
  for (int i = 0; i < runs; ++i) {
    work = InMemory(w, h);
    for (int y = 0; y < h; ++y) std::memcpy(work->GetScanLine(y), src->GetScanLine(y), static_cast<size_t>(w) * 3);
    const auto start = std::chrono::steady_clock::now();
    op->run(work.get(), out);
    const auto end = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("%.1f\n", ms[ms.size() / 2]);
  if (argc == 5) {
    TLKBitmap* result = out ? out.get() : work.get();
    return WritePPM(argv[4], w, h, [&](int y, std::uint8_t* row) {
             std::memcpy(row, result->GetScanLine(y), static_cast<size_t>(w) * 3);
           })
               ? 0
               : 1;
  }
  return 0;
}
