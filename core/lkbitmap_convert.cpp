// Pixel-format conversion of TLKBitmap: one row converter per pair of
// formats, the black-and-white and quantised targets, the formats that go
// through 24-bit colour, and the few conversions a class-library bitmap
// allows in place.
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "core/lkquantizer.h"
#include "platform/graphics.h"
#include "processing/lkbwconv.h"
#include "processing/lkprocutils.h"

namespace {

using lkinternal::AccessScope;

// What a row converter needs besides the rows: the source palette and the
// grey weights, read once per conversion.
struct RowContext {
  TRGB palette[256];
  Integer wr = 0, wg = 0, wb = 0;
  // True when r * wr + g * wg + b * wb cannot leave 32 bits for 16-bit
  // channels, so the fast integer path is safe.
  bool smallWeights = true;
};

// grey8: the weighted grey level of 8-bit channels, div 100. Computed in
// 64 bits only when odd weights could overflow 32.
inline Integer Grey8(const RowContext& c, Integer r, Integer g, Integer b) {
  if (c.smallWeights) return (r * c.wr + g * c.wg + b * c.wb) / 100;
  return static_cast<Integer>((Int64{r} * c.wr + Int64{g} * c.wg + Int64{b} * c.wb) / 100);
}

// grey16 of 8-bit channels (each widened by 257) and of 16-bit channels.
inline Word Grey16Of8(unsigned r, unsigned g, unsigned b) {
  return static_cast<Word>((r * 257u * 212u + g * 257u * 713u + b * 257u * 75u) / 1000u);
}
inline Word Grey16Of16(unsigned r, unsigned g, unsigned b) {
  return static_cast<Word>((r * 212u + g * 713u + b * 75u) / 1000u);
}

// greyF in extended precision, stored as single. 16-bit channels are
// scaled by 65535 so that white gives 1.0, as 8-bit white does.
inline float GreyFOf8(Integer r, Integer g, Integer b) {
  return static_cast<float>((r * 0.2126L + g * 0.7152L + b * 0.0722L) / 255.0L);
}
inline float GreyFOf16(Integer r, Integer g, Integer b) {
  return static_cast<float>((r * 0.2126L + g * 0.7152L + b * 0.0722L) / 65535.0L);
}

// trunc(v * 255) and trunc(v * 65535), keeping the low 8 or 16 bits;
// through 64 bits so that samples outside 0..1, infinities and NaN (0)
// never overflow.
inline Byte FloatTo8(float v) { return static_cast<Byte>(LKTrunc64(static_cast<double>(v) * 255.0)); }
inline Word FloatTo16(float v) { return static_cast<Word>(LKTrunc64(static_cast<double>(v) * 65535.0)); }

inline TRGB Grey24(Byte v) { return TRGB{v, v, v}; }
inline TRGB48 Grey48(Word v) { return TRGB48{v, v, v}; }
inline TRGB48 Widen48(const TRGB& c) {
  return TRGB48{static_cast<Word>(c.r * 257), static_cast<Word>(c.g * 257), static_cast<Word>(c.b * 257)};
}

template <typename S, typename D, typename F>
inline void MapRow(const void* src, void* dst, Integer w, F f) {
  const S* s = static_cast<const S*>(src);
  D* d = static_cast<D*>(dst);
  for (Integer x = 0; x < w; ++x) d[x] = f(s[x]);
}

// Expands a 1-bit row: set bits give `on`, clear bits `off`.
template <typename D>
inline void MapBits(const void* src, void* dst, Integer w, D on, D off) {
  const Byte* s = static_cast<const Byte*>(src);
  D* d = static_cast<D*>(dst);
  for (Integer x = 0; x < w; ++x) d[x] = _GetPixelbw(s, x) ? on : off;
}

using RowConverter = void (*)(const void* src, void* dst, Integer w, const RowContext& c);

// The row converter of a pair of formats with a direct rule; nil for equal
// formats, the pairs that go through lk24RGB, the lk1g targets and lk24RGB
// to lk8p, which the caller handles.
RowConverter PickRowConverter(TLKPixelFormat from, TLKPixelFormat to) {
  using C = const RowContext&;
  switch (from) {
    case lk1g:
      switch (to) {
        case lk8p:  // palette entry 0 black, 1 white; index = the bit
          return [](const void* s, void* d, Integer w, C) { MapBits<Byte>(s, d, w, 1, 0); };
        case lk8g:
          return [](const void* s, void* d, Integer w, C) { MapBits<Byte>(s, d, w, 255, 0); };
        case lk16g:
          return [](const void* s, void* d, Integer w, C) { MapBits<Word>(s, d, w, 65535, 0); };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C) { MapBits<TRGB>(s, d, w, Grey24(255), Grey24(0)); };
        case lk32f:
          return [](const void* s, void* d, Integer w, C) { MapBits<float>(s, d, w, 1.0f, 0.0f); };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C) { MapBits<TRGB48>(s, d, w, Grey48(65535), Grey48(0)); };
        default:
          return nullptr;
      }
    case lk8p:
      switch (to) {
        case lk8g:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<Byte, Byte>(s, d, w, [&c](Byte i) {
              const TRGB& e = c.palette[i];
              return static_cast<Byte>(Grey8(c, e.r, e.g, e.b));
            });
          };
        case lk16g:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<Byte, Word>(s, d, w, [&c](Byte i) {
              const TRGB& e = c.palette[i];
              return Grey16Of8(e.r, e.g, e.b);
            });
          };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<Byte, TRGB>(s, d, w, [&c](Byte i) { return c.palette[i]; });
          };
        case lk32f:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<Byte, float>(s, d, w, [&c](Byte i) {
              const TRGB& e = c.palette[i];
              return GreyFOf8(e.r, e.g, e.b);
            });
          };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<Byte, TRGB48>(s, d, w, [&c](Byte i) { return Widen48(c.palette[i]); });
          };
        default:
          return nullptr;
      }
    case lk8g:
      switch (to) {
        case lk8p:  // grey ramp; rows copied byte for byte
          return [](const void* s, void* d, Integer w, C) { std::memcpy(d, s, static_cast<size_t>(w)); };
        case lk16g:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Byte, Word>(s, d, w, [](Byte v) { return static_cast<Word>(v * 257); });
          };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C) { MapRow<Byte, TRGB>(s, d, w, Grey24); };
        case lk32f:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Byte, float>(s, d, w, [](Byte v) { return static_cast<float>(v / 255.0L); });
          };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Byte, TRGB48>(s, d, w, [](Byte v) { return Grey48(static_cast<Word>(v * 257)); });
          };
        default:
          return nullptr;
      }
    case lk16g:
      switch (to) {
        case lk8p:  // grey ramp
        case lk8g:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Word, Byte>(s, d, w, [](Word v) { return static_cast<Byte>(v >> 8); });
          };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Word, TRGB>(s, d, w, [](Word v) { return Grey24(static_cast<Byte>(v >> 8)); });
          };
        case lk32f:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<Word, float>(s, d, w, [](Word v) { return static_cast<float>(v / 65535.0L); });
          };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C) { MapRow<Word, TRGB48>(s, d, w, Grey48); };
        default:
          return nullptr;
      }
    case lk24RGB:
      switch (to) {
        case lk8g:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<TRGB, Byte>(s, d, w, [&c](TRGB p) { return static_cast<Byte>(Grey8(c, p.r, p.g, p.b)); });
          };
        case lk16g:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB, Word>(s, d, w, [](TRGB p) { return Grey16Of8(p.r, p.g, p.b); });
          };
        case lk32f:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB, float>(s, d, w, [](TRGB p) { return GreyFOf8(p.r, p.g, p.b); });
          };
        case lkCMYK:
          return [](const void* s, void* d, Integer w, C) { MapRow<TRGB, TCMYK>(s, d, w, LKRGB2CMYK); };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C) { MapRow<TRGB, TRGB48>(s, d, w, Widen48); };
        case lkCIELab:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB, TCIELab>(s, d, w, [](TRGB p) { return LKRGB2CIELAB(p); });
          };
        default:
          return nullptr;
      }
    case lk32f:
      switch (to) {
        case lk8p:  // grey ramp
        case lk8g:
          return [](const void* s, void* d, Integer w, C) { MapRow<float, Byte>(s, d, w, FloatTo8); };
        case lk16g:
          return [](const void* s, void* d, Integer w, C) { MapRow<float, Word>(s, d, w, FloatTo16); };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<float, TRGB>(s, d, w, [](float v) { return Grey24(FloatTo8(v)); });
          };
        case lk48RGB:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<float, TRGB48>(s, d, w, [](float v) { return Grey48(FloatTo16(v)); });
          };
        default:
          return nullptr;
      }
    case lkCMYK:
      if (to == lk24RGB)
        return [](const void* s, void* d, Integer w, C) { MapRow<TCMYK, TRGB>(s, d, w, LKCMYK2RGB); };
      return nullptr;
    case lk48RGB:
      switch (to) {
        case lk8g:
          return [](const void* s, void* d, Integer w, C c) {
            MapRow<TRGB48, Byte>(s, d, w, [&c](TRGB48 p) {
              return static_cast<Byte>(Grey8(c, p.r / 256, p.g / 256, p.b / 256));
            });
          };
        case lk16g:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB48, Word>(s, d, w, [](TRGB48 p) { return Grey16Of16(p.r, p.g, p.b); });
          };
        case lk24RGB:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB48, TRGB>(s, d, w, [](TRGB48 p) {
              return CreateRGB(static_cast<Byte>(p.r >> 8), static_cast<Byte>(p.g >> 8), static_cast<Byte>(p.b >> 8));
            });
          };
        case lk32f:
          return [](const void* s, void* d, Integer w, C) {
            MapRow<TRGB48, float>(s, d, w, [](TRGB48 p) { return GreyFOf16(p.r, p.g, p.b); });
          };
        default:
          return nullptr;
      }
    case lkCIELab:
      if (to == lk24RGB)
        return [](const void* s, void* d, Integer w, C) {
          MapRow<TCIELab, TRGB>(s, d, w, [](TCIELab p) { return LKCIELAB2RGB(p); });
        };
      return nullptr;
    default:
      return nullptr;
  }
}

// True for the pairs whose rule is "via 24": the source is first converted
// to lk24RGB and the lk24RGB rule runs.
bool GoesVia24(TLKPixelFormat from, TLKPixelFormat to, TLKDitherMethod dither) {
  if (from == to || from == lk24RGB || to == lk24RGB) return false;
  if (from == lkCMYK || from == lkCIELab || to == lkCMYK || to == lkCIELab) return true;
  if (from == lk48RGB) return to == lk8p || (to == lk1g && dither == lkThreshold);
  return false;
}

// Bytes of a row that hold pixels (the rest is padding).
inline size_t UsedRowBytes(Integer width, Integer bits) {
  return static_cast<size_t>((static_cast<Int64>(width) * bits + 7) / 8);
}

// Ordered-dither level 0..64 of an 8-bit grey level: the level shr 2, except
// that white gets 64, above every matrix entry, so white stays white.
inline Integer DitherLevel(Integer grey) { return grey >= 255 ? 64 : grey >> 2; }

// One row of the ordered dither: pixel x is set (white) when the matrix
// entry of stored row (x and 7), column (y and 7) is below its level.
template <typename S, typename L>
void DitherRow(const void* src, Byte* dst, Integer w, Integer y, L level) {
  const S* s = static_cast<const S*>(src);
  Integer m[8];
  for (Integer i = 0; i < 8; ++i) m[i] = BWORDERPATTERN[i][y & 7];
  const Integer whole = w / 8;
  for (Integer bx = 0; bx < whole; ++bx, s += 8) {
    Byte out = 0;
    for (Integer i = 0; i < 8; ++i)
      if (m[i] < level(s[i])) out |= lkbitmask1[i];
    dst[bx] = out;
  }
  const Integer rest = w - whole * 8;
  if (rest > 0) {
    Byte out = 0;
    for (Integer i = 0; i < rest; ++i)
      if (m[i] < level(s[i])) out |= lkbitmask1[i];
    dst[whole] = out;
  }
}

void OrderedDitherRow(TLKPixelFormat from, const void* src, Byte* dst, Integer w, Integer y, const RowContext& c,
                      const Integer* paletteLevel) {
  switch (from) {
    case lk8p:
      DitherRow<Byte>(src, dst, w, y, [paletteLevel](Byte i) { return paletteLevel[i]; });
      break;
    case lk8g:
      DitherRow<Byte>(src, dst, w, y, [](Byte v) { return DitherLevel(v); });
      break;
    case lk16g:
      DitherRow<Word>(src, dst, w, y, [](Word v) { return DitherLevel(v >> 8); });
      break;
    case lk24RGB:
      DitherRow<TRGB>(src, dst, w, y, [&c](TRGB p) { return DitherLevel(Grey8(c, p.r, p.g, p.b)); });
      break;
    case lk32f:
      // Float samples are brought to 0..255 (clamped) like an 8-bit level.
      DitherRow<float>(src, dst, w, y, [](float v) {
        return DitherLevel(static_cast<Integer>(std::clamp<Int64>(LKTrunc64(static_cast<double>(v) * 255.0), 0, 255)));
      });
      break;
    case lk48RGB:
      DitherRow<TRGB48>(src, dst, w, y, [&c](TRGB48 p) { return DitherLevel(Grey8(c, p.r / 256, p.g / 256, p.b / 256)); });
      break;
    default:
      break;
  }
}

RowContext MakeContext(TLKBitmap* source) {
  RowContext c;
  for (Integer i = 0; i < 256; ++i) c.palette[i] = source->GetPalette(i);
  c.wr = gRedToGrayCoef;
  c.wg = gGreenToGrayCoef;
  c.wb = gBlueToGrayCoef;
  const auto small = [](Integer v) { return v >= -(1 << 20) && v <= (1 << 20); };
  c.smallWeights = small(c.wr) && small(c.wg) && small(c.wb);
  return c;
}

// Row walk shared by the direct rules, the ordered dither and the
// quantiser: reads every source row, writes every destination row (padding
// zeroed), with the file-backed rows only read or only written.
template <typename F>
void WalkRows(TLKBitmap* source, TLKBitmap* dest, F convertRow) {
  const Integer h = dest->GetHeight();
  const size_t used = UsedRowBytes(dest->GetWidth(), dest->GetBitCount());
  const size_t len = static_cast<size_t>(dest->GetRowLen());
  {
    AccessScope readOnly(source, TLKDataAccess{lkdRead});
    AccessScope writeOnly(dest, TLKDataAccess{lkdWrite});
    for (Integer y = 0; y < h; ++y) {
      const void* src = source->GetScanLine(y);
      Byte* dst = static_cast<Byte*>(dest->GetScanLine(y));
      convertRow(src, dst, y);
      if (len > used) std::memset(dst + used, 0, len - used);
    }
    dest->FreeAllMaps();
    source->FreeAllMaps();
  }
}

// lk24RGB to lk8p: the palette of a quantiser built on the source, each
// pixel its index.
void QuantizeInto(TLKBitmap* source, TLKBitmap* dest) {
  TRGB palette[256];
  for (Integer i = 0; i < 256; ++i) palette[i] = dest->GetPalette(i);
  TLKQuantizer quantizer(source, palette, 255, dest->GetQuantizeColorCount(), -1, 0);
  for (Integer i = 0; i < 256; ++i) dest->SetPalette(i, palette[i]);
  const Integer w = dest->GetWidth();
  WalkRows(source, dest, [&](const void* src, Byte* dst, Integer) {
    const TRGB* s = static_cast<const TRGB*>(src);
    // Neighbouring pixels often share a colour: remember the last lookup.
    TRGB last{0, 0, 0};
    Byte lastIndex = static_cast<Byte>(std::clamp<Integer>(quantizer.GetRGBIndex(last), 0, 255));
    for (Integer x = 0; x < w; ++x) {
      if (!(s[x] == last)) {
        last = s[x];
        lastIndex = static_cast<Byte>(std::clamp<Integer>(quantizer.GetRGBIndex(last), 0, 255));
      }
      dst[x] = lastIndex;
    }
  });
}

}  // namespace

// ---------------------------------------------------------------------------
// Conversion entry points

void TLKBitmap::SetPixelFormat(TLKPixelFormat format) {
  if (format != GetPixelFormat()) ConvertToPixelFormat(format);
}

void TLKBitmap::ConvertToPixelFormat(TLKPixelFormat format) {
  if (Location == lkTBitmap) {
    ConvertVclImage(format);
    return;
  }
  TLKBitmap temp;
  SwitchTo(&temp);
  Width = temp.Width;
  Height = temp.Height;
  PixelFormat = format;
  try {
    AllocateImage();
    ReallocPending = false;
    if (temp.PixelFormat != lknull) CopyAndConvertFormat(&temp);
  } catch (...) {
    // Put the old picture back rather than leave a half-made one.
    temp.SwitchTo(this);
    throw;
  }
  // Without pixels to convert the alpha channel still comes back.
  if (!AlphaChannel && temp.AlphaChannel && !IsAlphaChannel) {
    AlphaChannel = temp.AlphaChannel;
    temp.AlphaChannel = nullptr;
  }
}

void TLKBitmap::CopyAndConvertFormat(TLKBitmap* source) {
  if (!source || source == this || Location == lkTBitmap) return;
  const Integer w = GetWidth(), h = GetHeight();
  if (source->GetWidth() != w || source->GetHeight() != h) return;

  TLKPixelFormat from = source->GetPixelFormat();
  const TLKPixelFormat to = PixelFormat;
  if (from != lknull && to != lknull && w > 0 && h > 0 && !IsEmpty()) {
    if (GoesVia24(from, to, DitherMethod)) {
      source->ConvertToPixelFormat(lk24RGB);
      from = lk24RGB;
    }
    if (from == to) {
      // The same format: a plain copy of pixels and palette.
      const size_t used = UsedRowBytes(w, BitCount);
      WalkRows(source, this, [used](const void* src, Byte* dst, Integer) { std::memcpy(dst, src, used); });
      if (to == lk8p)
        for (Integer i = 0; i < 256; ++i) SetPalette(i, source->GetPalette(i));
    } else if (to == lk1g) {
      if (DitherMethod == lkThreshold) {
        TProgressRec progress;
        _ConvertToBWThresholdEx(source, this, -1, progress);
      } else {
        const RowContext c = MakeContext(source);
        Integer paletteLevel[256];
        for (Integer i = 0; i < 256; ++i)
          paletteLevel[i] = DitherLevel(Grey8(c, c.palette[i].r, c.palette[i].g, c.palette[i].b));
        WalkRows(source, this, [&](const void* src, Byte* dst, Integer y) {
          OrderedDitherRow(from, src, dst, w, y, c, paletteLevel);
        });
      }
    } else if (from == lk24RGB && to == lk8p) {
      QuantizeInto(source, this);
    } else if (const RowConverter convert = PickRowConverter(from, to)) {
      if (to == lk8p) {
        // lk1g gives black and white at 0 and 1, the grey formats the ramp.
        if (from == lk1g) {
          SetPalette(0, TRGB{0, 0, 0});
          SetPalette(1, TRGB{255, 255, 255});
        } else {
          for (Integer i = 0; i < 256; ++i) SetPalette(i, Grey24(static_cast<Byte>(i)));
        }
      }
      const RowContext c = MakeContext(source);
      WalkRows(source, this, [&](const void* src, Byte* dst, Integer) { convert(src, dst, w, c); });
    }
  }

  if (source->AlphaChannel && !IsAlphaChannel) {
    delete AlphaChannel;
    AlphaChannel = source->AlphaChannel;
    source->AlphaChannel = nullptr;
  }
  UpdateTBitmapPalette();
}

// ---------------------------------------------------------------------------
// TBitmap storage

void TLKBitmap::ConvertVclImage(TLKPixelFormat format) {
  if (!VclBitmap || VclBitmap->GetEmpty()) {
    // Nothing to convert: the (empty) bitmap takes the format's layout.
    const TLKPixelFormat old = PixelFormat;
    PixelFormat = format;
    if (!VclBitmap) {
      BitCount = LKPixelFormatBitCount(format);
      ChannelCount = LKPixelFormatChannelCount(format);
      RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
      return;
    }
    try {
      AllocateVclImage();
    } catch (...) {
      PixelFormat = old;
      throw;
    }
    return;
  }

  UpdateFromTBitmap();
  const TLKPixelFormat current = PixelFormat;
  TProgressRec progress;
  if (current == lk1g && format == lk24RGB) {
    // The rows are expanded from a copy straight into the bitmap.
    std::unique_ptr<TBitmap> copy(LKCloneBitmap(VclBitmap));
    _Conv1to24(copy.get(), VclBitmap, progress);
  } else if (current == lk24RGB && format == lk1g) {
    // The bitmap itself, wrapped in a buffer that does not own it, is
    // dithered or thresholded in place.
    TLKBitmap wrap;
    wrap.EncapsulateTBitmap(VclBitmap, true);
    if (DitherMethod == lkOrdered)
      _ConvertToBWOrdered(&wrap, progress);
    else
      _ConvertToBWThreshold(&wrap, -1, progress);
  } else {
    // Any other format goes through a temporary buffer; a format a TBitmap
    // cannot hold is refused when the picture is given back, before this
    // buffer changes.
    TLKBitmap temp;
    temp.DitherMethod = DitherMethod;
    temp.QuantizeColorCount = QuantizeColorCount;
    temp.AssignImage(this);
    temp.SetPixelFormat(format);
    AssignImage(&temp);
  }
  UpdateFromTBitmap();
  BuildBitmapScanlines();
}
