// Helper of bench/quantize_side_by_side.sh: writes the benchmark's
// photograph-like picture as a binary PPM, reduces a PPM to N colours with
// the library's quantisers, and measures the mean colour error between two
// PPMs of the same size.
//
//   quantize_ppm make WIDTH HEIGHT OUT.ppm
//   quantize_ppm mediancut|neuquant IN.ppm OUT.ppm [N]
//   quantize_ppm error A.ppm B.ppm
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/quant_picture.h"
#include "core/lkbitmap.h"
#include "core/lkquantizer.h"
#include "bench/tools/ppm_io.h"

namespace {

using namespace ppm_io;


int Usage() {
  std::fprintf(stderr,
               "usage: quantize_ppm make W H OUT.ppm | mediancut|neuquant IN.ppm OUT.ppm [N] | error A.ppm B.ppm\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "make" && argc == 5) {
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
    if (w < 1 || h < 1) return Usage();
    return WritePPM(argv[4], w, h, [&](int y, std::uint8_t* row) { quantbench::PhotoRow(w, h, y, 1, row); }) ? 0 : 1;
  }
  if ((cmd == "mediancut" || cmd == "neuquant") && (argc == 4 || argc == 5)) {
    const Integer n = argc == 5 ? std::atoi(argv[4]) : 256;
    auto bmp = ReadPPM(argv[2]);
    if (!bmp) return 1;
    TRGB pal[256];
    const Integer w = bmp->GetWidth(), h = bmp->GetHeight();
    std::vector<Byte> indexes(static_cast<std::size_t>(w) * h);
    auto map = [&](auto indexOf) {
      for (Integer y = 0; y < h; ++y) {
        const TRGB* p = static_cast<const TRGB*>(bmp->GetScanLine(y));
        for (Integer x = 0; x < w; ++x) indexes[static_cast<std::size_t>(y) * w + x] = static_cast<Byte>(indexOf(p[x]));
      }
    };
    if (cmd == "mediancut") {
      TMedianCutState* st = CreateMedianCutQuantizer(bmp.get(), pal, 255, n);
      map([st](const TRGB& c) { return MedianCutFindIndex(st, c); });
      FreeMedianCutQuantizer(st);
    } else {
      TLKQuantizer q(bmp.get(), pal, 255, n);
      map([&q](const TRGB& c) { return q.GetRGBIndex(c); });
    }
    return WritePPM(argv[3], w, h,
                    [&](int y, std::uint8_t* row) {
                      for (Integer x = 0; x < w; ++x)
                        std::memcpy(row + 3 * x, &pal[indexes[static_cast<std::size_t>(y) * w + x]], 3);
                    })
               ? 0
               : 1;
  }
  if (cmd == "error" && argc == 4) {
    auto a = ReadPPM(argv[2]), b = ReadPPM(argv[3]);
    if (!a || !b) return 1;
    if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) {
      std::fprintf(stderr, "sizes differ\n");
      return 1;
    }
    double sum = 0;
    const Integer w = a->GetWidth(), h = a->GetHeight();
    for (Integer y = 0; y < h; ++y) {
      const Byte* p = static_cast<const Byte*>(a->GetScanLine(y));
      const Byte* q = static_cast<const Byte*>(b->GetScanLine(y));
      for (Integer i = 0; i < 3 * w; ++i) sum += std::abs(p[i] - q[i]);
    }
    std::printf("%.2f\n", sum / (static_cast<double>(w) * h));
    return 0;
  }
  return Usage();
}
