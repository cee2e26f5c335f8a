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
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(0x7FFFFFFF);
  bmp->Allocate(static_cast<Integer>(w), static_cast<Integer>(h), lk24RGB);
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
