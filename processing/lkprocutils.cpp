#include "processing/lkprocutils.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <limits>

#include "platform/graphics.h"

void OrdCor(Integer& x1, Integer& y1, Integer& x2, Integer& y2) {
  if (x1 > x2) iswap(x1, x2);
  if (y1 > y2) iswap(y1, y2);
}

Integer LKCeil(long double x) {
  if (std::isnan(x)) return 0;
  if (x <= static_cast<long double>(std::numeric_limits<Integer>::min()))
    return std::numeric_limits<Integer>::min();
  if (x > static_cast<long double>(std::numeric_limits<Integer>::max()) - 1)
    return std::numeric_limits<Integer>::max();
  long double ip = std::trunc(x);
  Integer r = static_cast<Integer>(ip);
  if (x - ip > 0) ++r;
  return r;
}

namespace {

// Eight bits of a 1-bit row starting at bit pos (most significant bit first).
// Bytes at or past limit are not read; their bits count as 0.
inline unsigned Fetch8(const Byte* src, Int64 pos, Int64 limit) {
  Int64 byte = pos >> 3;
  unsigned shift = static_cast<unsigned>(pos & 7);
  unsigned hi = src[byte];
  if (shift == 0) return hi;
  unsigned lo = byte + 1 < limit ? src[byte + 1] : 0u;
  return (((hi << 8) | lo) << shift >> 8) & 0xFFu;
}

// Writes the top n bits of bits (n in 1..8) into dst at bit offset off of
// the byte (off + n <= 8), keeping the byte's other bits.
inline void Put(Byte& dst, unsigned bits, unsigned off, unsigned n) {
  unsigned mask = ((1u << n) - 1u) << (8 - off - n);
  unsigned val = (bits >> (8 - n)) << (8 - off - n);
  dst = static_cast<Byte>((dst & ~mask) | (val & mask));
}

}  // namespace

void _CopyBits(Byte* Dest, const Byte* Source, Integer DestBitPos, Integer SourceBitPos,
               Integer BitCount, Integer SourceRowLen) {
  if (BitCount < 1 || DestBitPos < 0 || SourceBitPos < 0) return;
  const Int64 limit = SourceRowLen;  // bytes of the source row that may be read
  Int64 avail = limit * 8 - SourceBitPos;
  if (avail <= 0) return;
  Int64 count = std::min<Int64>(BitCount, avail);
  Int64 sp = SourceBitPos;
  Int64 db = DestBitPos >> 3;
  unsigned doff = static_cast<unsigned>(DestBitPos & 7);

  // Leading partial destination byte.
  if (doff != 0) {
    unsigned n = static_cast<unsigned>(std::min<Int64>(8 - doff, count));
    Put(Dest[db], Fetch8(Source, sp, limit), doff, n);
    sp += n;
    count -= n;
    ++db;
  }
  // Whole destination bytes.
  if ((sp & 7) == 0) {
    Int64 whole = count >> 3;
    std::copy_n(Source + (sp >> 3), whole, Dest + db);
    sp += whole * 8;
    count -= whole * 8;
    db += whole;
  } else {
    while (count >= 8) {
      Dest[db++] = static_cast<Byte>(Fetch8(Source, sp, limit));
      sp += 8;
      count -= 8;
    }
  }
  // Trailing partial destination byte.
  if (count > 0) Put(Dest[db], Fetch8(Source, sp, limit), 0, static_cast<unsigned>(count));
}

TRGB TColor2TRGB(TColor c) {
  const Cardinal v = static_cast<Cardinal>(ColorToRGB(c));
  return CreateRGB(static_cast<Byte>(v), static_cast<Byte>(v >> 8), static_cast<Byte>(v >> 16));
}

void LKCopyBitmap(TBitmap* Source, TBitmap* Dest) {
  if (Source == nullptr || Dest == nullptr || Source == Dest) return;
  const TPixelFormat format = Source->GetPixelFormat();
  if (Source->GetWidth() == 0 || Source->GetHeight() == 0) {
    Dest->SetSize(1, 1);
    Dest->SetPixelFormat(format);
    return;
  }
  if (Dest->GetWidth() != Source->GetWidth() || Dest->GetHeight() != Source->GetHeight() ||
      Dest->GetPixelFormat() != format) {
    Dest->SetSize(1, 1);
    Dest->SetPixelFormat(format);
    Dest->SetSize(Source->GetWidth(), Source->GetHeight());
  }
  // The colour table goes with the pixels, or indexed copies would show
  // other colours than the source.
  if (Source->GetColorTableCount() > 0) Dest->SetColorTable(Source->GetColorTable());
  const size_t len = static_cast<size_t>(imin(Source->RowBytes(), Dest->RowBytes()));
  for (Integer y = 0; y < Source->GetHeight(); ++y)
    std::memcpy(Dest->ScanLine(y), Source->ScanLine(y), len);
  Dest->Modify();
}

TBitmap* LKCloneBitmap(TBitmap* Source) {
  auto* bmp = new TBitmap();
  try {
    LKCopyBitmap(Source, bmp);
  } catch (...) {
    delete bmp;
    throw;
  }
  return bmp;
}
