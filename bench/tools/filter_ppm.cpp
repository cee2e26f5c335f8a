// Helper of bench/filters_side_by_side.sh: runs one of the library's filters
// or rotations on a PPM picture, from file to file, printing the
// processor milliseconds of the filter call alone (reading and writing
// excluded; processor time, so that a busy machine does not count).
//
//   filter_ppm OP IN.ppm OUT.ppm
//
// OP: conv3 (3x3 kernel 1 2 1 / 2 4 2 / 1 2 1, divisor 16), gauss2, gauss10,
// sharpen (window mean of 5x5, intensity 10), median3, median7 (middle
// threshold), rotate7 (bilinear), rotate7shear (three antialiased shears),
// rot90, copy.
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "bench/tools/ppm_io.h"
#include "processing/lkconvolve.h"
#include "processing/lkgaussian.h"
#include "processing/lkmedian.h"
#include "processing/lkrotate.h"

namespace {

using namespace ppm_io;

struct Op {
  const char* name;
  std::function<void(TLKBitmap*)> run;
};

const Op kOps[] = {
    {"conv3",
     [](TLKBitmap* b) {
       TProgressRec rec;
       _ApplyFilter(b, TGraphFilter{{1, 2, 1, 2, 4, 2, 1, 2, 1}, 16}, 0, 0, b->GetWidth(), b->GetHeight(), rec);
     }},
    {"gauss2", [](TLKBitmap* b) { _LKGBlur(b, 2, {}, nullptr); }},
    {"gauss10", [](TLKBitmap* b) { _LKGBlur(b, 10, {}, nullptr); }},
    {"sharpen", [](TLKBitmap* b) { _Sharpen(b, 0, 0, b->GetWidth(), b->GetHeight(), 10, 5, {}, nullptr); }},
    {"median3", [](TLKBitmap* b) { _LKMedianFilter(b, 3, 3, 50, 0, 0, 50, mfMedianFilter, {}, nullptr); }},
    {"median7", [](TLKBitmap* b) { _LKMedianFilter(b, 7, 7, 50, 0, 0, 50, mfMedianFilter, {}, nullptr); }},
    {"rotate7", [](TLKBitmap* b) { _LKQRotate(b, 7, 0, lkrBilinear, {}, nullptr); }},
    {"rotate7shear", [](TLKBitmap* b) { _RotateEx(b, 7, true, TRGB{0, 0, 0}, {}, nullptr); }},
    {"rot90", [](TLKBitmap* b) { _RotateEx(b, 90, false, TRGB{0, 0, 0}, {}, nullptr); }},
    {"copy", [](TLKBitmap*) {}},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: filter_ppm OP IN.ppm OUT.ppm\n");
    return 2;
  }
  const Op* op = nullptr;
  for (const Op& o : kOps)
    if (argv[1] == std::string(o.name)) op = &o;
  if (!op) {
    std::fprintf(stderr, "unknown operation %s\n", argv[1]);
    return 2;
  }
  auto bmp = ReadPPM(argv[2]);
  if (!bmp) return 1;
  timespec start{}, end{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
  op->run(bmp.get());
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
  std::printf("%.1f\n", (end.tv_sec - start.tv_sec) * 1e3 + (end.tv_nsec - start.tv_nsec) / 1e6);
  const int w = bmp->GetWidth(), h = bmp->GetHeight();
  return WritePPM(argv[3], w, h,
                  [&](int y, std::uint8_t* row) { std::memcpy(row, bmp->GetScanLine(y), static_cast<size_t>(w) * 3); })
             ? 0
             : 1;
}
