#include "processing/lkbwconv.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

using lkinternal::AccessScope;

struct C1To24Table {
  Byte v[256][24];
};

constexpr C1To24Table MakeC1To24() {
  C1To24Table t{};
  for (int b = 0; b < 256; ++b)
    for (int bit = 0; bit < 8; ++bit) {
      const Byte level = (b & (0x80 >> bit)) ? 255 : 0;
      for (int c = 0; c < 3; ++c) t.v[b][bit * 3 + c] = level;
    }
  return t;
}

constexpr C1To24Table kC1To24 = MakeC1To24();

inline void ReportRow(TProgressRec& progress, Integer row, Integer height) {
  if (progress.OnProgress)
    progress.OnProgress(progress.Sender, LKTrunc((row + 1) * 100.0 / (height + 0.5)));
}

inline Integer GreyLevel(Integer r, Integer g, Integer b) {
  return (r * gRedToGrayCoef + g * gGreenToGrayCoef + b * gBlueToGrayCoef) / 100;
}

// The 256 palette entries of a buffer (black past its palette length).
void ReadPalette(TLKBaseBitmap* bitmap, TRGB* palette) {
  for (Integer i = 0; i < 256; ++i) palette[i] = bitmap->GetPalette(i);
}

// Low byte of trunc(v * scale), through 64 bits so that samples outside
// 0..1 (and NaN, which gives 0) wrap instead of overflowing.
inline Byte FloatByte(float v) { return static_cast<Byte>(LKTrunc64(static_cast<double>(v) * 255.0)); }

// Converts one row of any format to 24-bit colours: lk1g white or black,
// lk8p the palette colour, grey formats grey (lk16g the high byte, lk32f
// the low byte of trunc(v * 255)), lk48RGB the high bytes, lkCMYK and
// lkCIELab converted. lknull rows give black.
void RowToRGB(TLKPixelFormat format, const void* row, Integer width, const TRGB* palette, TRGB* out) {
  switch (format) {
    case lk1g: {
      const Byte* p = static_cast<const Byte*>(row);
      for (Integer x = 0; x < width; ++x) {
        const Byte v = _GetPixelbw(p, x) ? 255 : 0;
        out[x] = CreateRGB(v, v, v);
      }
      break;
    }
    case lk8p: {
      const Byte* p = static_cast<const Byte*>(row);
      for (Integer x = 0; x < width; ++x) out[x] = palette[p[x]];
      break;
    }
    case lk8g: {
      const Byte* p = static_cast<const Byte*>(row);
      for (Integer x = 0; x < width; ++x) out[x] = CreateRGB(p[x], p[x], p[x]);
      break;
    }
    case lk16g: {
      const Word* p = static_cast<const Word*>(row);
      for (Integer x = 0; x < width; ++x) {
        const Byte v = static_cast<Byte>(p[x] >> 8);
        out[x] = CreateRGB(v, v, v);
      }
      break;
    }
    case lk24RGB:
      std::memcpy(out, row, static_cast<std::size_t>(width) * 3);
      break;
    case lk32f: {
      const float* p = static_cast<const float*>(row);
      for (Integer x = 0; x < width; ++x) {
        const Byte v = FloatByte(p[x]);
        out[x] = CreateRGB(v, v, v);
      }
      break;
    }
    case lkCMYK: {
      const TCMYK* p = static_cast<const TCMYK*>(row);
      for (Integer x = 0; x < width; ++x) out[x] = LKCMYK2RGB(p[x]);
      break;
    }
    case lk48RGB: {
      const TRGB48* p = static_cast<const TRGB48*>(row);
      for (Integer x = 0; x < width; ++x)
        out[x] = CreateRGB(static_cast<Byte>(p[x].r >> 8), static_cast<Byte>(p[x].g >> 8),
                           static_cast<Byte>(p[x].b >> 8));
      break;
    }
    case lkCIELab: {
      const TCIELab* p = static_cast<const TCIELab*>(row);
      for (Integer x = 0; x < width; ++x) out[x] = LKCIELAB2RGB(p[x]);
      break;
    }
    default:
      std::memset(out, 0, static_cast<std::size_t>(width) * 3);
      break;
  }
}

// Maximum-entropy threshold of a grey histogram; -2 when no level splits it
// with a positive score. The share below each level is counted in integers,
// so a level past the last occupied one is never taken for a split.
Integer MaxEntropyThreshold(const Integer* hist, Int64 pixels) {
  double p[256];
  double total = 0;
  for (int i = 0; i < 256; ++i) {
    p[i] = static_cast<double>(hist[i]) / static_cast<double>(pixels);
    if (p[i] != 0) total -= p[i] * std::log(p[i]);
  }
  Integer threshold = -2;
  double best = 0, e = 0;
  Int64 below = 0;
  for (int t = 1; t < 256; ++t) {
    // below, P and e cover the levels under t.
    below += hist[t - 1];
    if (p[t - 1] > 0) e -= p[t - 1] * std::log(p[t - 1]);
    if (below > 0 && below < pixels) {
      const double P = static_cast<double>(below) / static_cast<double>(pixels);
      const double score = std::log(P - P * P) + e / P + (total - e) / (1 - P);
      if (score > best) {
        best = score;
        threshold = t;
      }
    }
  }
  return threshold;
}

}  // namespace

const Byte (&C1TO24)[256][24] = kC1To24.v;

// ---------------------------------------------------------------------------
// Black and white

void _ConvertToBWOrdered(TLKBitmap* bitmap, TProgressRec& progress) {
  if (!bitmap || bitmap->GetPixelFormat() != lk24RGB || bitmap->IsEmpty()) return;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  TLKBitmap result(w, h, lk1g);
  {
    AccessScope readOnly(bitmap, TLKDataAccess{lkdRead});
    AccessScope writeOnly(&result, TLKDataAccess{lkdWrite});
    const Integer rowLen = result.GetRowLen();
    for (Integer y = 0; y < h; ++y) {
      const Byte* src = static_cast<const Byte*>(bitmap->GetScanLine(y));
      Byte* dst = static_cast<Byte*>(result.GetScanLine(y));
      std::memset(dst, 0, static_cast<std::size_t>(rowLen));
      for (Integer x = 0; x < w; ++x, src += 3) {
        const Integer level =
            (src[0] > 250 && src[1] > 250 && src[2] > 250) ? 64 : GreyLevel(src[2], src[1], src[0]) >> 2;
        if (level > BWORDERPATTERN[x & 7][y & 7]) dst[x >> 3] |= lkbitmask1[x & 7];
      }
      ReportRow(progress, y, h);
    }
    result.FreeAllMaps();
    bitmap->FreeAllMaps();
  }
  bitmap->AssignImage(&result);
}

void _ConvertToBWThreshold(TLKBitmap* bitmap, Integer threshold, TProgressRec& progress) {
  if (!bitmap || bitmap->GetPixelFormat() != lk24RGB || bitmap->IsEmpty()) return;
  TLKBitmap result(bitmap->GetWidth(), bitmap->GetHeight(), lk1g);
  _ConvertToBWThresholdEx(bitmap, &result, threshold, progress);
  bitmap->AssignImage(&result);
}

void _ConvertToBWThresholdEx(TLKBitmap* source, TLKBitmap* dest, Integer threshold, TProgressRec& progress) {
  if (!source || !dest || source == dest || source->IsEmpty()) return;
  const TLKPixelFormat format = source->GetPixelFormat();
  if (format == lk1g) {
    dest->AssignImage(source);
    return;
  }
  const Integer w = source->GetWidth(), h = source->GetHeight();
  if (dest->GetPixelFormat() != lk1g || dest->GetWidth() != w || dest->GetHeight() != h)
    dest->Allocate(w, h, lk1g);

  if (threshold == -1) {
    Integer r, g, b;
    _GetMediaContrastRGB(source, r, g, b);
    threshold = GreyLevel(r, g, b);
  } else if (threshold == -2) {
    Integer hist[256];
    _GetLuminanceHistogram(source, hist);
    threshold = MaxEntropyThreshold(hist, Int64{w} * h);
  }

  TRGB palette[256];
  if (format == lk8p) ReadPalette(source, palette);
  std::vector<TRGB> colours(format == lk24RGB ? 0 : static_cast<std::size_t>(w));
  AccessScope readOnly(source, TLKDataAccess{lkdRead});
  AccessScope writeOnly(dest, TLKDataAccess{lkdWrite});
  const Integer rowLen = dest->GetRowLen();
  for (Integer y = 0; y < h; ++y) {
    const void* srcRow = source->GetScanLine(y);
    const TRGB* c = static_cast<const TRGB*>(srcRow);
    if (format != lk24RGB) {
      RowToRGB(format, srcRow, w, palette, colours.data());
      c = colours.data();
    }
    Byte* dst = static_cast<Byte*>(dest->GetScanLine(y));
    std::memset(dst, 0, static_cast<std::size_t>(rowLen));
    for (Integer x = 0; x < w; ++x)
      if (GreyLevel(c[x].r, c[x].g, c[x].b) >= threshold) dst[x >> 3] |= lkbitmask1[x & 7];
    ReportRow(progress, y, h);
  }
  dest->FreeAllMaps();
  source->FreeAllMaps();
}

// ---------------------------------------------------------------------------
// 1-bit to 24-bit

void _ConvRow1To24(const Byte* source, Byte* dest, Integer width) {
  if (width <= 0) return;
  const Integer full = width / 8;
  for (Integer i = 0; i < full; ++i, dest += 24) std::memcpy(dest, C1TO24[source[i]], 24);
  const Integer rest = width % 8;
  if (rest) std::memcpy(dest, C1TO24[source[full]], static_cast<std::size_t>(rest) * 3);
}

void _Conv1to24(TBitmap* source, TBitmap* dest, TProgressRec& progress) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != pf1bit || source->GetEmpty()) return;
  dest->SetSize(1, 1);
  dest->SetPixelFormat(pf24bit);
  const Integer w = source->GetWidth(), h = source->GetHeight();
  dest->SetSize(w, h);
  for (Integer y = 0; y < h; ++y) {
    _ConvRow1To24(source->ScanLine(y), dest->ScanLine(y), w);
    if (progress.OnProgress) progress.OnProgress(progress.Sender, LKTrunc((y + 1) * 100.0 / (h + 0.5)));
  }
  dest->Modify();
}

void _Conv1to24Ex(TLKBitmap* source, TLKBitmap* dest, TProgressRec& progress) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk1g || source->IsEmpty()) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  dest->Allocate(w, h, lk24RGB);
  AccessScope readOnly(source, TLKDataAccess{lkdRead});
  AccessScope writeOnly(dest, TLKDataAccess{lkdWrite});
  for (Integer y = 0; y < h; ++y) {
    const Byte* src = static_cast<const Byte*>(source->GetScanLine(y));
    _ConvRow1To24(src, static_cast<Byte*>(dest->GetScanLine(y)), w);
    ReportRow(progress, y, h);
  }
  dest->FreeAllMaps();
  source->FreeAllMaps();
}

// ---------------------------------------------------------------------------
// Measurements

void _GetMediaContrastRGB(TLKBaseBitmap* bitmap, Integer& red, Integer& green, Integer& blue) {
  red = green = blue = 0;
  if (!bitmap) return;
  const TLKPixelFormat format = bitmap->GetPixelFormat();
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w <= 0 || h <= 0 || format == lknull) return;
  TRGB palette[256];
  if (format == lk8p) ReadPalette(bitmap, palette);
  std::vector<TRGB> colours(static_cast<std::size_t>(w));
  AccessScope readOnly(bitmap, TLKDataAccess{lkdRead});
  Int64 tr = 0, tg = 0, tb = 0;
  for (Integer y = 0; y < h; ++y) {
    const void* row = bitmap->GetScanLine(y);
    Int64 sr = 0, sg = 0, sb = 0;
    switch (format) {
      case lk32f: {
        // The scaled sample itself, not wrapped into a byte.
        const float* p = static_cast<const float*>(row);
        for (Integer x = 0; x < w; ++x) sr += LKTrunc(static_cast<double>(p[x]) * 255.0);
        sg = sb = sr;
        break;
      }
      case lk48RGB: {
        const TRGB48* p = static_cast<const TRGB48*>(row);
        for (Integer x = 0; x < w; ++x) {
          sr += p[x].r * 255 / 65535;
          sg += p[x].g * 255 / 65535;
          sb += p[x].b * 255 / 65535;
        }
        break;
      }
      default: {
        RowToRGB(format, row, w, palette, colours.data());
        for (const TRGB& c : colours) {
          sr += c.r;
          sg += c.g;
          sb += c.b;
        }
        break;
      }
    }
    tr += sr / w;
    tg += sg / w;
    tb += sb / w;
  }
  red = static_cast<Integer>(tr / h);
  green = static_cast<Integer>(tg / h);
  blue = static_cast<Integer>(tb / h);
}

void _GetLuminanceHistogram(TLKBaseBitmap* bitmap, Integer* histogram) {
  if (!histogram) return;
  std::memset(histogram, 0, 256 * sizeof(Integer));
  if (!bitmap) return;
  const TLKPixelFormat format = bitmap->GetPixelFormat();
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w <= 0 || h <= 0 || format == lknull) return;
  TRGB palette[256];
  if (format == lk8p) ReadPalette(bitmap, palette);
  std::vector<TRGB> colours(static_cast<std::size_t>(w));
  AccessScope readOnly(bitmap, TLKDataAccess{lkdRead});
  for (Integer y = 0; y < h; ++y) {
    const void* row = bitmap->GetScanLine(y);
    switch (format) {
      case lk1g: {
        const Byte* p = static_cast<const Byte*>(row);
        for (Integer x = 0; x < w; ++x) ++histogram[_GetPixelbw(p, x) ? 1 : 0];
        break;
      }
      case lk8g: {
        const Byte* p = static_cast<const Byte*>(row);
        for (Integer x = 0; x < w; ++x) ++histogram[p[x]];
        break;
      }
      case lk16g: {
        const Word* p = static_cast<const Word*>(row);
        for (Integer x = 0; x < w; ++x) ++histogram[p[x] >> 8];
        break;
      }
      case lk32f: {
        const float* p = static_cast<const float*>(row);
        for (Integer x = 0; x < w; ++x) ++histogram[FloatByte(p[x])];
        break;
      }
      case lk24RGB: {
        const Byte* p = static_cast<const Byte*>(row);
        for (Integer x = 0; x < w; ++x, p += 3) ++histogram[blimit(GreyLevel(p[2], p[1], p[0]))];
        break;
      }
      default: {
        // lk8p, lkCMYK, lk48RGB (high bytes), lkCIELab: the grey level of
        // the colour.
        RowToRGB(format, row, w, palette, colours.data());
        for (const TRGB& c : colours) ++histogram[blimit(GreyLevel(c.r, c.g, c.b))];
        break;
      }
    }
  }
}
