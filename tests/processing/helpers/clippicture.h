// The picture the clipboard tests copy between processes and parts of the
// library, and a text dump of a bitmap to compare what arrives.
#pragma once

#include <cstdio>
#include <string>

#include "core/lkbitmap.h"

/// A 5 x 4 RGB picture with distinct pixels; with an alpha channel of
/// distinct values when Alpha is true.
inline void LKClipTestPicture(TLKBitmap& B, bool Alpha) {
  B.Allocate(5, 4, lk24RGB);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 5; ++x) {
      TRGB* p = B.GetPPixels_lk24RGB(x, y);
      p->r = static_cast<Byte>(40 * x + 1), p->g = static_cast<Byte>(60 * y + 2), p->b = static_cast<Byte>(x * y + 3);
      if (Alpha) B.SetAlpha(x, y, static_cast<Byte>(10 * x + 50 * y + 5));
    }
}

/// "width x height format", then each pixel as rrggbb (and /aa with an alpha
/// channel).
inline std::string LKClipDump(TLKBitmap& B) {
  char text[32];
  std::snprintf(text, sizeof text, "%dx%d f%d", B.GetWidth(), B.GetHeight(), static_cast<int>(B.GetPixelFormat()));
  std::string out = text;
  for (Integer y = 0; y < B.GetHeight(); ++y)
    for (Integer x = 0; x < B.GetWidth(); ++x) {
      const TRGB p = B.GetPixels(x, y);
      std::snprintf(text, sizeof text, " %02x%02x%02x", p.r, p.g, p.b);
      out += text;
      if (B.GetHasAlphaChannel()) {
        std::snprintf(text, sizeof text, "/%02x", B.GetAlpha(x, y));
        out += text;
      }
    }
  return out;
}
