// Pictures the benchmarks share: bitmaps kept in memory whatever the
// machine's free memory says, and a 24-megapixel photo-like picture.
#pragma once

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"

namespace benchpic {

/// An lk24RGB bitmap of w x h pixels in memory storage.
inline std::unique_ptr<TLKBitmap> InMemory(Integer w, Integer h) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(INT_MAX);
  bmp->Allocate(w, h, lk24RGB);
  return bmp;
}

constexpr Integer kGradientWidth = 6000, kGradientHeight = 4000;

/// A photo-like 6000 x 4000 picture: smooth gradients with some fine
/// texture, made once and shared.
inline TLKBitmap* GradientPicture() {
  static std::unique_ptr<TLKBitmap> pic = [] {
    const Integer w = kGradientWidth, h = kGradientHeight;
    auto bmp = InMemory(w, h);
    std::vector<Byte> row(static_cast<size_t>(w) * 3);
    for (Integer y = 0; y < h; ++y) {
      for (Integer x = 0; x < w; ++x) {
        row[static_cast<size_t>(x) * 3] = static_cast<Byte>((x * 255) / w);
        row[static_cast<size_t>(x) * 3 + 1] = static_cast<Byte>((y * 255) / h);
        row[static_cast<size_t>(x) * 3 + 2] = static_cast<Byte>(((x ^ y) & 31) * 4 + ((x + y) >> 6));
      }
      std::memcpy(bmp->GetScanLine(y), row.data(), row.size());
    }
    return bmp;
  }();
  return pic.get();
}

}  // namespace benchpic
