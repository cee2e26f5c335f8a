// Pixel access, fills and whole-image tests of TLKBitmap. Everything goes
// through GetScanLine, so it works on every storage kind.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "processing/lkprocutils.h"

namespace {

using lkinternal::AccessScope;

constexpr TRGB kWhite{255, 255, 255};

template <typename T>
inline T* PixelAt(void* row, Integer x) {
  return static_cast<T*>(row) + x;
}

}  // namespace

// ---------------------------------------------------------------------------
// Per-format pixel access

bool TLKBitmap::GetPixels_lk1g(Integer x, Integer y) {
  return _GetPixelbw(static_cast<const Byte*>(GetScanLine(y)), x) != 0;
}

void TLKBitmap::SetPixels_lk1g(Integer x, Integer y, bool value) {
  _SetPixelbw(static_cast<Byte*>(GetScanLine(y)), x, value ? 1 : 0);
  if (!value) Full = false;
}

Byte TLKBitmap::GetPixels_lk8(Integer x, Integer y) { return *PixelAt<Byte>(GetScanLine(y), x); }

void TLKBitmap::SetPixels_lk8(Integer x, Integer y, Byte value) {
  *PixelAt<Byte>(GetScanLine(y), x) = value;
  if (value != 255) Full = false;
}

Word TLKBitmap::GetPixels_lk16g(Integer x, Integer y) { return *PixelAt<Word>(GetScanLine(y), x); }

void TLKBitmap::SetPixels_lk16g(Integer x, Integer y, Word value) {
  *PixelAt<Word>(GetScanLine(y), x) = value;
  if (value != 65535) Full = false;
}

float TLKBitmap::GetPixels_lk32f(Integer x, Integer y) { return *PixelAt<float>(GetScanLine(y), x); }

void TLKBitmap::SetPixels_lk32f(Integer x, Integer y, float value) {
  *PixelAt<float>(GetScanLine(y), x) = value;
  if (!(value >= 1.0f)) Full = false;
}

TRGB TLKBitmap::GetPixels_lk24RGB(Integer x, Integer y) { return *PixelAt<TRGB>(GetScanLine(y), x); }

void TLKBitmap::SetPixels_lk24RGB(Integer x, Integer y, TRGB value) {
  *PixelAt<TRGB>(GetScanLine(y), x) = value;
  if (!(value == kWhite)) Full = false;
}

TRGB48 TLKBitmap::GetPixels_lk48RGB(Integer x, Integer y) {
  return *PixelAt<TRGB48>(GetScanLine(y), x);
}

void TLKBitmap::SetPixels_lk48RGB(Integer x, Integer y, const TRGB48& value) {
  *PixelAt<TRGB48>(GetScanLine(y), x) = value;
  if (value.r != 65535 || value.g != 65535 || value.b != 65535) Full = false;
}

TCMYK TLKBitmap::GetPixels_lkCMYK(Integer x, Integer y) { return *PixelAt<TCMYK>(GetScanLine(y), x); }

void TLKBitmap::SetPixels_lkCMYK(Integer x, Integer y, TCMYK value) {
  *PixelAt<TCMYK>(GetScanLine(y), x) = value;
}

TCIELab TLKBitmap::GetPixels_lkCIELab(Integer x, Integer y) {
  return *PixelAt<TCIELab>(GetScanLine(y), x);
}

void TLKBitmap::SetPixels_lkCIELab(Integer x, Integer y, TCIELab value) {
  *PixelAt<TCIELab>(GetScanLine(y), x) = value;
}

TRGB* TLKBitmap::GetPPixels_lk24RGB(Integer x, Integer y) { return PixelAt<TRGB>(GetScanLine(y), x); }

TRGB48* TLKBitmap::GetPPixels_lk48RGB(Integer x, Integer y) {
  return PixelAt<TRGB48>(GetScanLine(y), x);
}

TRGB TLKBitmap::GetPixels(Integer x, Integer y) {
  auto grey = [](Byte v) { return TRGB{v, v, v}; };
  switch (GetPixelFormat()) {
    case lk1g:
      return GetPixels_lk1g(x, y) ? kWhite : TRGB{0, 0, 0};
    case lk8p:
      return GetPalette(GetPixels_lk8(x, y));
    case lk8g:
      return grey(GetPixels_lk8(x, y));
    case lk16g:
      return grey(static_cast<Byte>(GetPixels_lk16g(x, y) >> 8));
    case lk24RGB:
      return GetPixels_lk24RGB(x, y);
    case lk32f:
      // Samples are expected in 0..1; others wrap modulo 256.
      return grey(static_cast<Byte>(LKTrunc64(static_cast<double>(GetPixels_lk32f(x, y)) * 255.0) & 0xFF));
    case lkCMYK:
      return LKCMYK2RGB(GetPixels_lkCMYK(x, y));
    case lk48RGB: {
      const TRGB48 p = GetPixels_lk48RGB(x, y);
      return CreateRGB(static_cast<Byte>(p.r >> 8), static_cast<Byte>(p.g >> 8), static_cast<Byte>(p.b >> 8));
    }
    case lkCIELab:
      return LKCIELAB2RGB(GetPixels_lkCIELab(x, y));
    default:
      return TRGB{0, 0, 0};
  }
}

// ---------------------------------------------------------------------------
// Alpha

Byte TLKBitmap::GetAlpha(Integer x, Integer y) {
  if (IsAlphaChannel) return GetPixels_lk8(x, y);
  return GetAlphaChannel()->GetPixels_lk8(x, y);
}

void TLKBitmap::SetAlpha(Integer x, Integer y, Byte value) {
  if (IsAlphaChannel) {
    SetPixels_lk8(x, y, value);
    return;
  }
  GetAlphaChannel()->SetPixels_lk8(x, y, value);
  if (value < 255) Full = false;
}

// ---------------------------------------------------------------------------
// Fills

namespace {

// The sample a fill value gives for a multi-byte format, as bytes, and
// whether it is the format's maximum.
struct FillSample {
  Byte bytes[8];
  Integer size = 0;
  bool full = false;
};

template <typename T>
void Put(FillSample& s, const T& v) {
  static_assert(sizeof(T) <= sizeof(s.bytes));
  std::memcpy(s.bytes, &v, sizeof(T));
  s.size = sizeof(T);
}

// value: the fill value; truncated: trunc(value). lk32f takes `f`.
FillSample SampleFor(TLKPixelFormat format, Integer truncated, float f) {
  FillSample s;
  switch (format) {
    case lk16g: {
      const Word w = static_cast<Word>(truncated);
      Put(s, w);
      s.full = w == 65535;
      break;
    }
    case lk24RGB: {
      const TRGB c = TColor2TRGB(truncated);
      Put(s, c);
      s.full = c == kWhite;
      break;
    }
    case lk32f:
      Put(s, f);
      s.full = f == 1.0f;
      break;
    case lkCMYK: {
      const TRGB c = TColor2TRGB(truncated);
      Put(s, LKRGB2CMYK(c));
      s.full = c == kWhite;
      break;
    }
    case lk48RGB: {
      const TRGB c = TColor2TRGB(truncated);
      Put(s, TRGB48{static_cast<Word>(c.r * 257), static_cast<Word>(c.g * 257), static_cast<Word>(c.b * 257)});
      s.full = c == kWhite;
      break;
    }
    case lkCIELab: {
      const TRGB c = TColor2TRGB(truncated);
      Put(s, LKRGB2CIELAB(c));
      s.full = c == kWhite;
      break;
    }
    default:
      break;
  }
  return s;
}

}  // namespace

void TLKBitmap::Fill(double value) {
  const TLKPixelFormat format = GetPixelFormat();
  if (format == lknull || IsEmpty()) return;
  const Integer v = LKTrunc(value);
  if (format == lk1g) {
    FillAllBytes(v != 0 ? 255 : 0);
    Full = v != 0;
    return;
  }
  if (format == lk8p || format == lk8g) {
    const Byte b = static_cast<Byte>(v);
    FillAllBytes(b);
    Full = b == 255;
    return;
  }
  // One template row, copied into every row without reading the old one. The
  // padding after the last pixel is 255 for a white fill (so SyncFull agrees
  // with Full), else 0.
  const FillSample s = SampleFor(format, v, static_cast<float>(value));
  if (s.size == 0) return;
  std::vector<Byte> row(static_cast<size_t>(RowLen), s.full ? 255 : 0);
  for (Integer x = 0; x < Width; ++x) std::memcpy(row.data() + static_cast<size_t>(x) * s.size, s.bytes, s.size);
  {
    AccessScope writeOnly(this, TLKDataAccess{lkdWrite});
    for (Integer y = 0; y < Height; ++y) std::memcpy(GetScanLine(y), row.data(), row.size());
  }
  Full = s.full;
}

void TLKBitmap::FillRect(Integer x1, Integer y1, Integer x2, Integer y2, double value) {
  const TLKPixelFormat format = GetPixelFormat();
  if (format == lknull || IsEmpty()) return;
  x1 = imax(x1, 0);
  y1 = imax(y1, 0);
  x2 = imin(x2, Width - 1);
  y2 = imin(y2, Height - 1);
  if (x2 < x1 || y2 < y1) return;
  const Integer v = LKTrunc(value);
  const FillSample s = SampleFor(format, v, static_cast<float>(v));
  for (Integer y = y1; y <= y2; ++y) {
    Byte* row = static_cast<Byte*>(GetScanLine(y));
    switch (format) {
      case lk1g:
        for (Integer x = x1; x <= x2; ++x) _SetPixelbw(row, x, v);
        break;
      case lk8p:
      case lk8g:
        std::memset(row + x1, static_cast<Byte>(v), static_cast<size_t>(x2 - x1 + 1));
        break;
      default:
        for (Integer x = x1; x <= x2; ++x)
          std::memcpy(row + static_cast<size_t>(x) * s.size, s.bytes, s.size);
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Whole-image tests

void TLKBitmap::SyncFull() {
  const Integer h = GetHeight(), len = GetRowLen();
  bool full = true;
  for (Integer y = 0; y < h && full; ++y) {
    const Byte* row = static_cast<const Byte*>(GetScanLine(y));
    full = std::all_of(row, row + len, [](Byte b) { return b == 255; });
  }
  Full = full;
}

bool TLKBitmap::IsAllBlack() {
  const Integer h = GetHeight(), len = GetRowLen();
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(GetScanLine(y));
    if (!std::all_of(row, row + len, [](Byte b) { return b == 0; })) return false;
  }
  return true;
}

bool TLKBitmap::IsGrayScale() {
  const TLKPixelFormat format = GetPixelFormat();
  if (format == lk8p) {
    for (Integer i = 0; i < PaletteLen; ++i)
      if (Palette[i].r != Palette[i].g || Palette[i].g != Palette[i].b) return false;
    return true;
  }
  if (format == lk24RGB) {
    const Integer w = GetWidth(), h = GetHeight();
    for (Integer y = 0; y < h; ++y) {
      const TRGB* p = static_cast<const TRGB*>(GetScanLine(y));
      for (Integer x = 0; x < w; ++x)
        if (p[x].r != p[x].g || p[x].g != p[x].b) return false;
    }
  }
  return true;
}

namespace {

template <typename T>
void MinMaxRows(TLKBitmap* bmp, double& lo, double& hi) {
  const Integer w = bmp->GetWidth(), h = bmp->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    const T* p = static_cast<const T*>(bmp->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const double v = p[x];
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
}

}  // namespace

void TLKBitmap::AutoCalcBWValues() {
  double lo, hi;
  switch (GetPixelFormat()) {
    case lk8g:
      lo = 255, hi = -255;
      MinMaxRows<Byte>(this, lo, hi);
      break;
    case lk16g:
      lo = 65535, hi = -65535;
      MinMaxRows<Word>(this, lo, hi);
      break;
    case lk32f:
      lo = 100000000.0, hi = -100000000.0;
      MinMaxRows<float>(this, lo, hi);
      break;
    default:
      return;
  }
  BlackValue = lo;
  WhiteValue = hi;
}
