// Binary PPM reading and writing for the side-by-side helper programs in
// bench/tools: the peer tools take and give PPM, and the library has no PPM
// codec of its own yet.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"

namespace ppm_io {

/// A 24-bit bitmap kept in memory whatever its size, so timings never
/// include temporary-file traffic.
inline std::unique_ptr<TLKBitmap> InMemory(long w, long h) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(INT_MAX);
  bmp->Allocate(static_cast<Integer>(w), static_cast<Integer>(h), lk24RGB);
  return bmp;
}

struct File {
  std::FILE* f;
  ~File() {
    if (f) std::fclose(f);
  }
};

// Reads one header number, skipping white space and comments.
inline bool ReadNumber(std::FILE* f, long& value) {
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
inline std::unique_ptr<TLKBitmap> ReadPPM(const char* path) {
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

}  // namespace ppm_io
