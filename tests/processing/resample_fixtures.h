// Small pictures built in code for the resampling tests, in memory or in
// file storage, and whole-picture comparisons that read pixels only.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"

namespace resample_test {

/// Sets LKDefMinFileSize for the lifetime of the guard.
class StorageGuard {
 public:
  explicit StorageGuard(TLKLocation where) : saved_(LKDefMinFileSize) {
    LKDefMinFileSize = where == lkFile ? 1 : (1 << 30);
  }
  ~StorageGuard() { LKDefMinFileSize = saved_; }

 private:
  Integer saved_;
};

inline TRGB Rgb(int r, int g, int b) {
  return CreateRGB(static_cast<Byte>(r), static_cast<Byte>(g), static_cast<Byte>(b));
}

/// A bitmap of the format whose pixel (x, y) gets the bytes of `fill`
/// (called with a pointer to the pixel's bytes; lk1g: bit set when the first
/// byte is nonzero).
inline std::unique_ptr<TLKBitmap> Make(Integer w, Integer h, TLKPixelFormat f,
                                       const std::function<void(Integer, Integer, Byte*)>& fill) {
  auto bmp = std::make_unique<TLKBitmap>(w, h, f);
  const Integer bytes = f == lk1g ? 1 : LKPixelFormatBitCount(f) / 8;
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<Byte*>(bmp->GetScanLine(y));
    std::memset(row, 0, static_cast<size_t>(bmp->GetRowLen()));
    for (Integer x = 0; x < w; ++x) {
      Byte px[8] = {0};
      fill(x, y, px);
      if (f == lk1g)
        _SetPixelbw(row, x, px[0]);
      else
        std::memcpy(row + static_cast<size_t>(x) * bytes, px, static_cast<size_t>(bytes));
    }
  }
  bmp->FreeAllMaps();
  return bmp;
}

/// A 24-bit picture with a colour per pixel.
inline std::unique_ptr<TLKBitmap> Make24(Integer w, Integer h, const std::function<TRGB(Integer, Integer)>& colour) {
  return Make(w, h, lk24RGB, [&](Integer x, Integer y, Byte* p) {
    const TRGB c = colour(x, y);
    std::memcpy(p, &c, 3);
  });
}

/// An 8-bit grey picture.
inline std::unique_ptr<TLKBitmap> Make8(Integer w, Integer h, const std::function<int(Integer, Integer)>& level) {
  return Make(w, h, lk8g, [&](Integer x, Integer y, Byte* p) { p[0] = static_cast<Byte>(level(x, y)); });
}

/// A 1-bit picture.
inline std::unique_ptr<TLKBitmap> Make1(Integer w, Integer h, const std::function<bool(Integer, Integer)>& set) {
  return Make(w, h, lk1g, [&](Integer x, Integer y, Byte* p) { p[0] = set(x, y) ? 1 : 0; });
}

/// The pixel bytes of every row (padding left out; 1-bit rows with their
/// last byte masked to the pixels).
inline std::vector<Byte> Pixels(TLKBitmap& bmp) {
  std::vector<Byte> out;
  const Integer w = bmp.GetWidth();
  const Integer bits = bmp.GetBitCount();
  const Integer len = bits == 1 ? (w + 7) / 8 : w * (bits / 8);
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    const auto* row = static_cast<const Byte*>(bmp.GetScanLine(y));
    out.insert(out.end(), row, row + len);
    if (bits == 1 && (w & 7)) out.back() &= static_cast<Byte>(0xFF00 >> (w & 7));
  }
  bmp.FreeAllMaps();
  return out;
}

/// Pixel (x, y) of an lk24RGB bitmap.
inline TRGB At(TLKBitmap& bmp, Integer x, Integer y) { return static_cast<const TRGB*>(bmp.GetScanLine(y))[x]; }

/// Byte x of row y of an 8-bit bitmap.
inline Byte At8(TLKBitmap& bmp, Integer x, Integer y) { return static_cast<const Byte*>(bmp.GetScanLine(y))[x]; }

/// The red channel of row y of an lk24RGB bitmap.
inline std::vector<int> RedRow(TLKBitmap& bmp, Integer y) {
  std::vector<int> out;
  for (Integer x = 0; x < bmp.GetWidth(); ++x) out.push_back(At(bmp, x, y).r);
  return out;
}

/// Fills every row byte with `value` (to spot routines that leave the
/// destination unwritten).
inline void Poison(TLKBitmap& bmp, Byte value) {
  for (Integer y = 0; y < bmp.GetHeight(); ++y)
    std::memset(bmp.GetScanLine(y), value, static_cast<size_t>(bmp.GetRowLen()));
  bmp.FreeAllMaps();
}

}  // namespace resample_test
