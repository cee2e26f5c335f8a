// Exchange of the image buffer with class-library bitmaps, DIB rasters and
// selection masks; wrapping of a caller's bitmap or memory; rectangle and
// alpha copies between buffers; cut-out and paste-back through a mask.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "core/lkbitmappalette.h"
#include "core/lkdibbitmap.h"
#include "core/lkmask.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

using lkinternal::AccessScope;
using lkinternal::ClipNegativeOrigin;

const TLKDataAccess kRead{lkdRead};
const TLKDataAccess kWrite{lkdWrite};

// Copies a class-library bitmap whole (size, format, colour table, pixels).
void CopyWholeBitmap(TBitmap* source, TBitmap* dest) {
  if (source != dest) dest->Assign(source);
}

// Bytes per pixel of a byte-run copy between two buffers of one format; 0
// for lk1g (bits) and lknull.
Integer RunBytes(TLKPixelFormat f) {
  const Integer bits = LKPixelFormatBitCount(f);
  return bits >= 8 ? bits / 8 : 0;
}

// The rectangle of a copy after clipping to both buffers: a negative
// destination origin moves the source origin, then both origins are clamped
// into their buffers and the size is cut to what fits.
struct ClippedRect {
  Integer sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
  bool Empty() const { return w <= 0 || h <= 0; }
};

ClippedRect ClipRect(Integer sourceW, Integer sourceH, Integer destW, Integer destH, Integer sourceX,
                     Integer sourceY, Integer destX, Integer destY, Integer width, Integer height) {
  ClippedRect r;
  if (sourceW <= 0 || sourceH <= 0 || destW <= 0 || destH <= 0) return r;
  Int64 sx = sourceX, sy = sourceY, dx = destX, dy = destY, w = width, h = height;
  ClipNegativeOrigin(dx, sx, w);
  ClipNegativeOrigin(dy, sy, h);
  dx = std::clamp<Int64>(dx, 0, destW - 1);
  dy = std::clamp<Int64>(dy, 0, destH - 1);
  sx = std::clamp<Int64>(sx, 0, sourceW - 1);
  sy = std::clamp<Int64>(sy, 0, sourceH - 1);
  w = std::min<Int64>({w, sourceW - sx, destW - dx});
  h = std::min<Int64>({h, sourceH - sy, destH - dy});
  if (w <= 0 || h <= 0) return r;
  r.sx = static_cast<Integer>(sx);
  r.sy = static_cast<Integer>(sy);
  r.dx = static_cast<Integer>(dx);
  r.dy = static_cast<Integer>(dy);
  r.w = static_cast<Integer>(w);
  r.h = static_cast<Integer>(h);
  return r;
}

// Walks the rows of a clipped copy from `src` to `dst` (which may be the
// same buffer: the source row is then copied aside first, and rows run
// upwards when the copy moves down).
template <class RowCopy>
void CopyRows(TLKBitmap* src, TLKBitmap* dst, const ClippedRect& r, RowCopy&& copy) {
  std::vector<Byte> temp;
  const bool same = src == dst;
  const bool upwards = same && r.dy > r.sy;
  for (Integer k = 0; k < r.h; ++k) {
    const Integer i = upwards ? r.h - 1 - k : k;
    const Byte* srow = static_cast<const Byte*>(src->GetScanLine(r.sy + i));
    if (same) {
      temp.assign(srow, srow + src->GetRowLen());
      srow = temp.data();
    }
    copy(static_cast<Byte*>(dst->GetScanLine(r.dy + i)), srow);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Wrapping without copying

void TLKBitmap::EncapsulateTBitmap(TBitmap* bitmap, bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!bitmap) return;
  // A bitmap we own that becomes the wrapped one passes to the caller.
  if (bitmap == VclBitmap) VclBitmap = nullptr;
  if (!freeFirst) FreeImage(false);
  Location = lkTBitmap;
  VclBitmap = bitmap;
  VclBitmapEncapsulated = true;
  // The format is read from the bitmap as every later access reads it (an
  // 8-bit bitmap is lk8g or lk8p by its colour table).
  Width = Height = 0;
  PixelFormat = lknull;
  UpdateFromTBitmap();
  Full = false;
}

void TLKBitmap::EncapsulateMemory(void* address, Integer width, Integer height, TLKPixelFormat format,
                                  bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!address) return;
  if (!freeFirst) FreeImage(false);
  if (width <= 0 || height <= 0 || LKPixelFormatBitCount(format) == 0) return;
  Width = width;
  Height = height;
  PixelFormat = format;
  BitCount = LKPixelFormatBitCount(format);
  ChannelCount = LKPixelFormatChannelCount(format);
  RowLen = LKBitmapRowLen(width, BitCount, BitAlignment);
  if (format == lk8p) {
    Palette = new TRGB[256]();
    PaletteLen = 256;
  }
  Location = lkMemory;
  MemoryEncapsulated = true;
  Memory = static_cast<Byte*>(address);
  MemoryBlock = address;
  Full = false;
}

// ---------------------------------------------------------------------------
// Class-library bitmaps

void TLKBitmap::CopyToTBitmap(TBitmap* bitmap) {
  if (!bitmap) return;
  const TLKPixelFormat format = GetPixelFormat();
  bitmap->SetSize(1, 1);
  switch (format) {
    case lkCMYK:
      throw Exception("CMYK to TBitmap not supported");
    case lk48RGB:
      throw Exception("RGB48 to TBitmap not supported");
    case lkCIELab:
      throw Exception("CIELab to TBitmap not supported");
    default:
      break;
  }
  AccessScope access(this, kRead);
  if (format == lk16g || format == lk32f) {
    bitmap->SetPixelFormat(pf8bit);
    LKSetGrayPalette(bitmap);
    bitmap->SetSize(Width, Height);
    for (Integer y = 0; y < Height; ++y) {
      const auto* src = static_cast<const Byte*>(GetScanLine(y));
      Byte* dst = bitmap->ScanLine(y);
      if (format == lk16g) {
        for (Integer x = 0; x < Width; ++x) dst[x] = src[2 * x + 1];
      } else {
        for (Integer x = 0; x < Width; ++x) {
          float v;
          std::memcpy(&v, src + 4 * x, 4);
          dst[x] = static_cast<Byte>(LKTrunc64(static_cast<double>(v) * 255.0) & 0xFF);
        }
      }
    }
    bitmap->Modify();
    return;
  }
  switch (format) {
    case lk1g: {
      bitmap->SetPixelFormat(pf1bit);
      const TRGBQuad bw[2] = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
      bitmap->SetColorTable(0, 2, bw);
      break;
    }
    case lk8p: {
      bitmap->SetPixelFormat(pf8bit);
      std::vector<TRGBQuad> table(256);
      for (Integer i = 0; i < 256 && i < PaletteLen; ++i)
        table[static_cast<size_t>(i)] = TRGBQuad{Palette[i].b, Palette[i].g, Palette[i].r, 0};
      bitmap->SetColorTable(0, 256, table.data());
      break;
    }
    case lk8g:
      bitmap->SetPixelFormat(pf8bit);
      LKSetGrayPalette(bitmap);
      break;
    case lk24RGB:
      bitmap->SetPixelFormat(pf24bit);
      break;
    default:
      break;
  }
  bitmap->SetSize(Width, Height);
  const Integer len = std::min(RowLen, _PixelFormat2RowLen(Width, bitmap->GetPixelFormat()));
  for (Integer y = 0; y < Height && len > 0 && format != lknull; ++y)
    std::memcpy(bitmap->ScanLine(y), GetScanLine(y), static_cast<size_t>(len));
  bitmap->Modify();
}

void TLKBitmap::CopyFromTBitmap(TBitmap* bitmap) {
  if (!bitmap) return;
  if (Location == lkTBitmap) {
    if (!VclBitmap) {
      VclBitmap = new TBitmap();
      VclBitmapEncapsulated = false;
    }
    CopyWholeBitmap(bitmap, VclBitmap);
    Width = Height = 0;
    PixelFormat = lknull;
    UpdateFromTBitmap();
    Full = false;
    return;
  }
  const TPixelFormat pf = bitmap->GetPixelFormat();
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  std::vector<TRGBQuad> table = bitmap->GetColorTable();
  auto takeTable = [&](size_t count) {
    for (size_t i = 0; i < count && i < table.size() && Palette; ++i)
      Palette[i] = TRGB{table[i].rgbBlue, table[i].rgbGreen, table[i].rgbRed};
  };
  switch (pf) {
    case pf1bit:
      Allocate(w, h, bitmap->GetMonochrome() ? lk1g : lk8p);
      if (PixelFormat == lk8p) takeTable(2);
      break;
    case pf4bit:
      Allocate(w, h, lk8p);
      takeTable(16);
      break;
    case pf8bit:
      Allocate(w, h, lk8p);
      takeTable(256);
      break;
    case pf15bit:
    case pf16bit:
    case pf24bit:
    case pf32bit:
      Allocate(w, h, lk24RGB);
      break;
    default:
      return;
  }
  AccessScope access(this, kWrite);
  const Integer rows = std::min(h, Height);
  for (Integer y = 0; y < rows; ++y) {
    const Byte* src = bitmap->ScanLine(y);
    auto* dst = static_cast<Byte*>(GetScanLine(y));
    switch (pf) {
      case pf1bit:
        if (PixelFormat == lk1g) std::memcpy(dst, src, static_cast<size_t>(std::min(RowLen, bitmap->RowBytes())));
        else
          for (Integer x = 0; x < Width; ++x) dst[x] = _GetPixelbw(src, x) != 0 ? 1 : 0;
        break;
      case pf4bit:
        for (Integer x = 0; x < Width; ++x) dst[x] = (x & 1) == 0 ? src[x / 2] >> 4 : src[x / 2] & 15;
        break;
      case pf8bit:
      case pf24bit:
        std::memcpy(dst, src, static_cast<size_t>(std::min(RowLen, bitmap->RowBytes())));
        break;
      case pf15bit:
        for (Integer x = 0; x < Width; ++x) {
          const Word v = static_cast<Word>(src[2 * x] | (src[2 * x + 1] << 8));
          dst[3 * x] = static_cast<Byte>((v & 31) << 3);
          dst[3 * x + 1] = static_cast<Byte>(((v >> 5) & 31) << 3);
          dst[3 * x + 2] = static_cast<Byte>(((v >> 10) & 31) << 3);
        }
        break;
      case pf16bit:
        for (Integer x = 0; x < Width; ++x) {
          const Word v = static_cast<Word>(src[2 * x] | (src[2 * x + 1] << 8));
          dst[3 * x] = static_cast<Byte>((v & 31) << 3);
          dst[3 * x + 1] = static_cast<Byte>(((v >> 5) & 63) << 2);
          dst[3 * x + 2] = static_cast<Byte>((v >> 11) << 3);
        }
        break;
      case pf32bit:
        for (Integer x = 0; x < Width; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
        break;
      default:
        break;
    }
  }
  Full = false;
}

// ---------------------------------------------------------------------------
// DIB rasters

void TLKBitmap::CopyFromTDibBitmap(TLKDibbitmap* dib) {
  if (!dib || !dib->GetBits() || dib->GetWidth() <= 0 || dib->GetHeight() <= 0) return;
  const Integer bits = dib->GetBitCount();
  if (bits != 1 && bits != 8 && bits != 24) return;
  if (Location == lkTBitmap) {
    if (bits == 8) return;  // TBitmap storage takes 1- and 24-bit rasters only
    if (!VclBitmap) {
      VclBitmap = new TBitmap();
      VclBitmapEncapsulated = false;
    }
    VclBitmap->SetSize(1, 1);
    VclBitmap->SetPixelFormat(bits == 1 ? pf1bit : pf24bit);
    if (bits == 1) VclBitmap->SetColorTable(0, 2, dib->GetBitmapInfo().bmiColors);
    VclBitmap->SetSize(dib->GetWidth(), dib->GetHeight());
    Width = Height = 0;
    PixelFormat = lknull;
    UpdateFromTBitmap();
  } else {
    Allocate(dib->GetWidth(), dib->GetHeight(), bits == 1 ? lk1g : bits == 8 ? lk8g : lk24RGB);
  }
  AccessScope access(this, kWrite);
  const Integer len = std::min(RowLen, dib->GetRowLen());
  const Integer rows = std::min(Height, dib->GetHeight());
  for (Integer y = 0; y < rows; ++y) std::memcpy(GetScanLine(y), dib->GetScanLine(y), static_cast<size_t>(len));
  Full = false;
}

void TLKBitmap::MergeFromTDibBitmap(TLKDibbitmap* dib, Integer x, Integer y) {
  if (!dib || !dib->GetBits()) return;
  const TLKPixelFormat f = GetPixelFormat();
  if (f != dib->GetPixelFormat() || (f != lk1g && f != lk24RGB)) return;
  const ClippedRect r = ClipRect(dib->GetWidth(), dib->GetHeight(), Width, Height, 0, 0, x, y, dib->GetWidth(),
                                 dib->GetHeight());
  if (r.Empty()) return;
  for (Integer i = 0; i < r.h; ++i) {
    const auto* src = static_cast<const Byte*>(dib->GetScanLine(r.sy + i));
    auto* dst = static_cast<Byte*>(GetScanLine(r.dy + i));
    if (f == lk1g) _CopyBits(dst, src, r.dx, r.sx, r.w, dib->GetRowLen());
    else std::memcpy(dst + 3 * static_cast<size_t>(r.dx), src + 3 * static_cast<size_t>(r.sx), 3 * static_cast<size_t>(r.w));
  }
  Full = false;
}

void TLKBitmap::CopyToTDibBitmap(TLKDibbitmap* dib, Integer x, Integer y, Integer width, Integer height) {
  if (!dib || !dib->GetBits()) return;
  const TLKPixelFormat f = GetPixelFormat();
  if (f != dib->GetPixelFormat() || (f != lk1g && f != lk24RGB)) return;
  // The rectangle's part inside this image goes to the same place relative
  // to the DIB's origin as it had relative to (x, y).
  const Int64 x0 = std::max<Int64>(x, 0), y0 = std::max<Int64>(y, 0);
  const Int64 x1 = std::min<Int64>({static_cast<Int64>(x) + width, Width, static_cast<Int64>(x) + dib->GetWidth()});
  const Int64 y1 = std::min<Int64>({static_cast<Int64>(y) + height, Height, static_cast<Int64>(y) + dib->GetHeight()});
  if (x1 <= x0 || y1 <= y0) return;
  AccessScope access(this, kRead);
  for (Int64 sy = y0; sy < y1; ++sy) {
    const auto* src = static_cast<const Byte*>(GetScanLine(static_cast<Integer>(sy)));
    auto* dst = static_cast<Byte*>(dib->GetScanLine(static_cast<Integer>(sy - y)));
    if (f == lk1g)
      _CopyBits(dst, src, static_cast<Integer>(x0 - x), static_cast<Integer>(x0), static_cast<Integer>(x1 - x0), RowLen);
    else
      std::memcpy(dst + 3 * (x0 - x), src + 3 * x0, static_cast<size_t>(3 * (x1 - x0)));
  }
}

// ---------------------------------------------------------------------------
// Masks

void TLKBitmap::CopyToTLKMask(TLKMask* mask) {
  if (!mask) return;
  const TLKPixelFormat f = GetPixelFormat();
  if (f != lk1g && f != lk8g) return;
  mask->AllocateBits(Width, Height, f == lk1g ? 1 : 8);
  AccessScope access(this, kRead);
  const Integer len = std::min(RowLen, mask->GetRowLen());
  for (Integer y = 0; y < std::min(Height, mask->GetHeight()); ++y)
    std::memcpy(mask->GetScanLine(y), GetScanLine(y), static_cast<size_t>(len));
  mask->SetFull(Full);
}

void TLKBitmap::CopyFromTLKMask(TLKMask* mask) {
  if (!mask) {
    Fill(255);
    return;
  }
  const Integer bpp = mask->GetBitsPerPixel();
  if (bpp != 1 && bpp != 8) return;
  Allocate(mask->GetWidth(), mask->GetHeight(), bpp == 1 ? lk1g : lk8g);
  AccessScope access(this, kWrite);
  const Integer len = std::min(RowLen, mask->GetRowLen());
  for (Integer y = 0; y < std::min(Height, mask->GetHeight()); ++y)
    std::memcpy(GetScanLine(y), mask->GetScanLine(y), static_cast<size_t>(len));
  Full = mask->GetFull();
}

// ---------------------------------------------------------------------------
// Rectangles between buffers

void TLKBitmap::CopyRectTo(TLKBitmap* dest, Integer sourceX, Integer sourceY, Integer destX, Integer destY,
                           Integer width, Integer height) {
  if (!dest) return;
  const TLKPixelFormat sf = GetPixelFormat(), df = dest->GetPixelFormat();
  const bool bits = sf == lk1g && df == lk1g;
  const bool expand = sf == lk1g && df == lk24RGB;
  const Integer bytes = sf == df ? RunBytes(sf) : 0;
  if (!bits && !expand && bytes == 0) return;
  const ClippedRect r = ClipRect(GetWidth(), GetHeight(), dest->GetWidth(), dest->GetHeight(), sourceX, sourceY,
                                 destX, destY, width, height);
  if (r.Empty()) return;
  const Integer srcRowLen = RowLen;
  if (dest != this) {
    AccessScope access(this, kRead);
    CopyRows(this, dest, r, [&](Byte* d, const Byte* s) {
      if (bits) {
        _CopyBits(d, s, r.dx, r.sx, r.w, srcRowLen);
      } else if (expand) {
        for (Integer k = 0; k < r.w; ++k) std::memset(d + 3 * (r.dx + k), _GetPixelbw(s, r.sx + k) != 0 ? 255 : 0, 3);
      } else {
        std::memcpy(d + static_cast<size_t>(r.dx) * bytes, s + static_cast<size_t>(r.sx) * bytes,
                    static_cast<size_t>(r.w) * bytes);
      }
    });
  } else {
    CopyRows(this, dest, r, [&](Byte* d, const Byte* s) {
      if (bits) _CopyBits(d, s, r.dx, r.sx, r.w, srcRowLen);
      else std::memcpy(d + static_cast<size_t>(r.dx) * bytes, s + static_cast<size_t>(r.sx) * bytes,
                       static_cast<size_t>(r.w) * bytes);
    });
  }
  dest->Full = false;
}

void TLKBitmap::MergeAlphaRectTo(TLKBitmap* dest, Integer sourceX, Integer sourceY, Integer destX, Integer destY,
                                 Integer width, Integer height) {
  if (!dest) return;
  TLKBitmap* sa = GetAlphaChannel();
  TLKBitmap* da = dest->GetAlphaChannel();
  if (!sa || !da || sa->GetPixelFormat() != lk8g || da->GetPixelFormat() != lk8g) return;
  const ClippedRect r = ClipRect(sa->GetWidth(), sa->GetHeight(), da->GetWidth(), da->GetHeight(), sourceX, sourceY,
                                 destX, destY, width, height);
  if (r.Empty()) return;
  CopyRows(sa, da, r, [&](Byte* d, const Byte* s) {
    for (Integer k = 0; k < r.w; ++k) d[r.dx + k] = std::max(d[r.dx + k], s[r.sx + k]);
  });
}

// ---------------------------------------------------------------------------
// Cut-out and paste-back through a mask

void TLKBitmap::CopyWithMask1(TLKBitmap* dest, TLKMask* mask, TColor colour) {
  if (!dest || !mask || mask->IsEmpty() || dest == this) return;
  dest->Allocate(mask->GetX2() - mask->GetX1() + 1, mask->GetY2() - mask->GetY1() + 1, GetPixelFormat());
  // The cut-out's indexes need the palette they index.
  dest->CopyPaletteFrom(this);
  dest->Fill(colour);
  mask->CopyLKBitmap(dest, this, true, false, true);
}

void TLKBitmap::CopyWithMask2(TLKBitmap* dest, TLKMask* mask) {
  if (!dest || !mask || mask->IsEmpty() || dest == this) return;
  mask->CopyLKBitmap(dest, this, false, true, false);
  if (AlphaChannel) {
    TLKBitmap* da = dest->GetAlphaChannel();
    if (!da) return;
    mask->CopyLKBitmap(da, AlphaChannel, false, true, false);
    da->Full = false;
  }
}
