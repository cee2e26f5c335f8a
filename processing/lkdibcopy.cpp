// Packed DIB reader and writer, YUV frame converters, class-library bitmap
// rectangles and channel swaps.
#include "processing/lkdibcopy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "core/lkbitmap.h"
#include "core/lkbytereader.h"
#include "core/lkdibbitmap.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

constexpr DWORD kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3;
constexpr Int64 kHeaderSize = 40;

// Run-length pictures may claim far more pixels than their bytes can hold;
// beyond this many pixels a picture must offer at least one data byte per
// 256 pixels (a run pair covers at most 255).
constexpr Int64 kRleFreePixels = Int64{1} << 20;

DWORD FourCC(const char* s) {
  return static_cast<DWORD>(static_cast<Byte>(s[0])) | (static_cast<DWORD>(static_cast<Byte>(s[1])) << 8) |
         (static_cast<DWORD>(static_cast<Byte>(s[2])) << 16) | (static_cast<DWORD>(static_cast<Byte>(s[3])) << 24);
}

DWORD ReadLE32(const Byte* p) { return LKGetLE32(p); }
Word ReadLE16(const Byte* p) { return LKGetLE16(p); }
void WriteLE32(Byte* p, DWORD v) { LKPutLE32(p, v); }

// One channel of a bit-field mask: the value is moved down to bit 0 and
// then placed in the top bits of a byte (masks wider than 8 bits keep their
// top 8 bits).
struct MaskChannel {
  DWORD mask = 0;
  Integer shift = 0;
  Integer bits = 0;
  explicit MaskChannel(DWORD m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    bits = std::countr_one(m >> shift);
  }
  Byte Get(DWORD pixel) const {
    if (bits == 0) return 0;
    const DWORD v = (pixel & mask) >> shift;
    return static_cast<Byte>(bits >= 8 ? (v >> (bits - 8)) : (v << (8 - bits)));
  }
};

// Rows of a picture being read: bitmap row for source row `r`.
struct RowOrder {
  Integer height;
  bool topDown;
  Integer operator()(Integer r) const { return topDown ? r : height - 1 - r; }
};

struct DibHeader {
  Int64 headerSize = 0;
  Integer width = 0;
  Integer height = 0;  // absolute value
  bool topDown = false;
  Integer bitCount = 0;
  DWORD compression = 0;
  DWORD clrUsed = 0;
};

// Writes 24-bit pixels of a colour table lookup; an index past the table is
// black.
inline TRGB TableColor(const TRGB* table, Integer count, Integer index) {
  return index < count ? table[index] : TRGB{0, 0, 0};
}

// Frame layouts of the packed converters.
struct PackedLayout {
  Integer group;       // pixels per group
  Integer groupBytes;  // bytes per group
};

bool FrameSize(TLKBaseBitmap* b, Integer& w, Integer& h) {
  if (!b || b->GetPixelFormat() != lk24RGB) return false;
  w = b->GetWidth();
  h = b->GetHeight();
  return w > 0 && h > 0;
}

// Converts a packed frame; `emit` fills the pixels of one group from its
// bytes (out holds `group` entries).
template <typename F>
bool CopyPacked(const Byte* data, size_t size, TLKBaseBitmap* bitmap, bool topDown, PackedLayout layout,
                F emit) {
  Integer w = 0, h = 0;
  if (!data || !FrameSize(bitmap, w, h)) return false;
  const Int64 groups = (static_cast<Int64>(w) + layout.group - 1) / layout.group;
  const Int64 rowBytes = groups * layout.groupBytes;
  if (static_cast<Int64>(size) / h < rowBytes) return false;
  const RowOrder order{h, topDown};
  TRGB px[8];
  for (Integer r = 0; r < h; ++r) {
    const Byte* src = data + rowBytes * r;
    TRGB* row = static_cast<TRGB*>(bitmap->GetScanLine(order(r)));
    for (Int64 g = 0; g < groups; ++g) {
      emit(src + g * layout.groupBytes, px);
      const Int64 x0 = g * layout.group;
      const Int64 n = std::min<Int64>(layout.group, w - x0);
      for (Int64 k = 0; k < n; ++k) row[x0 + k] = px[k];
    }
  }
  return true;
}

// Converts a planar frame: the luma plane, then two chroma planes of
// (w div block) x (h div block) samples; `uFirst` tells the plane order.
bool CopyPlanar(const Byte* data, size_t size, TLKBaseBitmap* bitmap, bool topDown, Integer block, bool uFirst) {
  Integer w = 0, h = 0;
  if (!data || !FrameSize(bitmap, w, h)) return false;
  const Int64 cw = w / block, ch = h / block;
  if (cw == 0 || ch == 0) return false;
  const Int64 luma = static_cast<Int64>(w) * h;
  const Int64 chroma = cw * ch;
  if (static_cast<Int64>(size) < luma + 2 * chroma) return false;
  const Byte* first = data + luma;
  const Byte* second = first + chroma;
  const Byte* uPlane = uFirst ? first : second;
  const Byte* vPlane = uFirst ? second : first;
  const RowOrder order{h, topDown};
  for (Integer r = 0; r < h; ++r) {
    const Int64 cr = std::min<Int64>(r / block, ch - 1);
    const Byte* y = data + static_cast<Int64>(w) * r;
    TRGB* row = static_cast<TRGB*>(bitmap->GetScanLine(order(r)));
    for (Integer x = 0; x < w; ++x) {
      const Int64 c = cr * cw + std::min<Int64>(x / block, cw - 1);
      YUV2RGB(y[x], uPlane[c], vPlane[c], row[x]);
    }
  }
  return true;
}

// Hands a finished picture to the caller's bitmap: a TLKBitmap takes it
// over, any other kind is allocated in its format and gets the rows.
void Deliver(TLKBitmap* picture, TLKBaseBitmap* target) {
  if (auto* lk = dynamic_cast<TLKBitmap*>(target)) {
    picture->SwitchTo(lk);
    return;
  }
  const Integer w = picture->GetWidth(), h = picture->GetHeight();
  target->Allocate(w, h, picture->GetPixelFormat());
  if (target->GetWidth() != w || target->GetHeight() != h) return;
  const Integer len = std::min(target->GetRowLen(), picture->GetRowLen());
  for (Integer y = 0; y < h; ++y)
    std::memcpy(target->GetScanLine(y), picture->GetScanLine(y), static_cast<size_t>(len));
}

// Reader of one packed DIB.
class DibReader {
 public:
  DibReader(const Byte* dib, size_t size, const Byte* bits, size_t bitsSize)
      : dib_(dib), size_(static_cast<Int64>(size)), bits_(bits), bitsSize_(static_cast<Int64>(bitsSize)) {}

  Integer Read(TLKBaseBitmap* bitmap);

 private:
  bool ParseHeader();
  bool ReadFrame(TLKBaseBitmap* bitmap);
  bool LocateData(Int64 tableEntries, Int64 maskBytes);
  bool ReadTable(Int64 entries);
  bool Uncompressed(TLKBitmap* out);
  bool RunLength(TLKBitmap* out);

  const Byte* dib_;
  Int64 size_;
  const Byte* bits_;
  Int64 bitsSize_;
  DibHeader h_;
  const Byte* data_ = nullptr;  // pixel data
  Int64 dataSize_ = 0;
  std::vector<TRGB> table_;
  DWORD masks_[3] = {0, 0, 0};
};

bool DibReader::ParseHeader() {
  if (!dib_ || size_ < kHeaderSize) return false;
  const Int64 hs = ReadLE32(dib_);
  if (hs < kHeaderSize || hs > size_) return false;
  const Integer width = static_cast<Integer>(ReadLE32(dib_ + 4));
  const Integer height = static_cast<Integer>(ReadLE32(dib_ + 8));
  if (width <= 0 || height == 0 || height == std::numeric_limits<Integer>::min()) return false;
  h_.headerSize = hs;
  h_.width = width;
  h_.topDown = height < 0;
  h_.height = height < 0 ? -height : height;
  h_.bitCount = ReadLE16(dib_ + 14);
  h_.compression = ReadLE32(dib_ + 16);
  h_.clrUsed = ReadLE32(dib_ + 32);
  return true;
}

// Finds the pixel data after the header, `maskBytes` of masks and
// `tableEntries` colour-table entries (or takes the caller's Bits).
bool DibReader::LocateData(Int64 tableEntries, Int64 maskBytes) {
  const Int64 start = h_.headerSize + maskBytes + tableEntries * 4;
  if (bits_) {
    if (start > size_) return false;
    data_ = bits_;
    dataSize_ = bitsSize_;
    return true;
  }
  if (start > size_) return false;
  data_ = dib_ + start;
  dataSize_ = size_ - start;
  return true;
}

bool DibReader::ReadTable(Int64 entries) {
  const Int64 offset = h_.headerSize;
  if (offset + entries * 4 > size_) return false;
  table_.resize(static_cast<size_t>(entries));
  for (Int64 i = 0; i < entries; ++i) {
    const Byte* q = dib_ + offset + i * 4;
    table_[static_cast<size_t>(i)] = TRGB{q[0], q[1], q[2]};
  }
  return true;
}

bool DibReader::Uncompressed(TLKBitmap* out) {
  const Integer w = h_.width, hgt = h_.height, bc = h_.bitCount;
  const Int64 rowLen = ((static_cast<Int64>(bc) * w + 31) / 32) * 4;
  if (rowLen <= 0 || dataSize_ / rowLen < hgt) return false;
  out->Allocate(w, hgt, bc == 1 ? lk1g : lk24RGB);
  const RowOrder order{hgt, h_.topDown};
  const Integer n = static_cast<Integer>(table_.size());
  bool invert = false;
  if (bc == 1 && n >= 2) invert = _RGBToGray(table_[0]) > _RGBToGray(table_[1]);
  const MaskChannel red(masks_[0]), green(masks_[1]), blue(masks_[2]);
  const Integer outRowLen = out->GetRowLen();
  for (Integer r = 0; r < hgt; ++r) {
    const Byte* src = data_ + rowLen * r;
    Byte* dst = static_cast<Byte*>(out->GetScanLine(order(r)));
    TRGB* px = reinterpret_cast<TRGB*>(dst);
    switch (bc) {
      case 1: {
        const Integer bytes = std::min<Integer>(outRowLen, static_cast<Integer>(rowLen));
        for (Integer i = 0; i < bytes; ++i) dst[i] = invert ? static_cast<Byte>(~src[i]) : src[i];
        break;
      }
      case 4:
        for (Integer x = 0; x < w; ++x) {
          const Byte b = src[x >> 1];
          px[x] = TableColor(table_.data(), n, (x & 1) ? (b & 15) : (b >> 4));
        }
        break;
      case 8:
        for (Integer x = 0; x < w; ++x) px[x] = TableColor(table_.data(), n, src[x]);
        break;
      case 16:
        for (Integer x = 0; x < w; ++x) {
          const DWORD p = ReadLE16(src + 2 * x);
          px[x] = TRGB{blue.Get(p), green.Get(p), red.Get(p)};
        }
        break;
      case 24:
        std::memcpy(dst, src, static_cast<size_t>(w) * 3);
        break;
      case 32:
        for (Integer x = 0; x < w; ++x) {
          const DWORD p = ReadLE32(src + 4 * x);
          px[x] = TRGB{blue.Get(p), green.Get(p), red.Get(p)};
        }
        break;
    }
  }
  return true;
}

// Run-length 8 and 4 bits: decoded into a zeroed index plane first (every
// run and literal checked against the data and the picture), then looked up
// in the table.
bool DibReader::RunLength(TLKBitmap* out) {
  const Integer w = h_.width, hgt = h_.height;
  const bool four = h_.compression == kRLE4;
  const Int64 pixels = static_cast<Int64>(w) * hgt;
  if (pixels > kRleFreePixels && pixels / 256 > dataSize_) return false;
  std::vector<Byte> index(static_cast<size_t>(pixels), 0);
  Int64 x = 0, y = 0, p = 0;
  const Byte* d = data_;
  const Int64 n = dataSize_;
  auto put = [&](Byte v) {
    if (x < w && y < hgt) index[static_cast<size_t>(y * w + x)] = v;
    ++x;
  };
  while (p + 1 < n && y < hgt) {
    const Byte count = d[p], value = d[p + 1];
    p += 2;
    if (count > 0) {
      for (Integer i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 15) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      break;
    } else if (value == 2) {  // delta
      if (p + 1 >= n) return false;
      x += d[p];
      y += d[p + 1];
      p += 2;
    } else {  // literal run of `value` pixels, padded to 16 bits
      const Int64 bytes = four ? (value + 1) / 2 : value;
      if (p + bytes > n) return false;
      for (Integer i = 0; i < value; ++i) {
        const Byte b = d[p + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? (b & 15) : (b >> 4)) : b);
      }
      p += bytes + (bytes & 1);
    }
  }
  out->Allocate(w, hgt, lk24RGB);
  const Integer count = static_cast<Integer>(table_.size());
  for (Integer r = 0; r < hgt; ++r) {  // run-length pictures are always bottom-up
    TRGB* px = static_cast<TRGB*>(out->GetScanLine(hgt - 1 - r));
    const Byte* src = index.data() + static_cast<Int64>(r) * w;
    for (Integer i = 0; i < w; ++i) px[i] = TableColor(table_.data(), count, src[i]);
  }
  return true;
}

bool DibReader::ReadFrame(TLKBaseBitmap* bitmap) {
  const DWORD c = h_.compression;
  const Byte* data = bits_ ? bits_ : dib_ + h_.headerSize;
  const size_t size = static_cast<size_t>(bits_ ? bitsSize_ : size_ - h_.headerSize);
  bool topDown = !h_.topDown;
  if (c == FourCC("Y41P") || c == FourCC("cyuv")) topDown = h_.topDown;
  using Converter = bool (*)(const Byte*, size_t, TLKBaseBitmap*, bool);
  Converter conv = nullptr;
  if (c == FourCC("I420") || c == FourCC("IYUV")) conv = _CopyI420ToBitmap;
  else if (c == FourCC("Y211")) conv = _CopyY211ToBitmap;
  else if (c == FourCC("IYU1")) conv = _CopyIYU1ToBitmap;
  else if (c == FourCC("IYU2")) conv = _CopyIYU2ToBitmap;
  else if (c == FourCC("CLJR")) conv = _CopyCLJRToBitmap;
  else if (c == FourCC("Y41P")) conv = _CopyY41PToBitmap;
  else if (c == FourCC("YVU9")) conv = _CopyYVU9ToBitmap;
  else if (c == FourCC("YV12")) conv = _CopyYV12ToBitmap;
  else if (c == FourCC("YUY2") || c == FourCC("YUYV") || c == FourCC("YUNV") || c == FourCC("V422"))
    conv = _CopyYUY2ToBitmap;
  else if (c == FourCC("YVYU")) conv = _CopyYVYUToBitmap;
  else if (c == FourCC("UYVY") || c == FourCC("UYNV") || c == FourCC("cyuv")) conv = _CopyUYVYToBitmap;
  if (!conv) return false;
  // Every layout needs at least one byte per pixel: nothing is allocated
  // for a frame whose bytes cannot be there.
  if (static_cast<Int64>(size) / h_.height < h_.width) return false;
  // Checked on a scratch bitmap first so that a short frame leaves the
  // caller's bitmap as it was.
  TLKBitmap frame;
  frame.Allocate(h_.width, h_.height, lk24RGB);
  if (!conv(data, size, &frame, topDown)) return false;
  Deliver(&frame, bitmap);
  return true;
}

Integer DibReader::Read(TLKBaseBitmap* bitmap) {
  if (!bitmap || !ParseHeader()) return 0;
  const Integer bc = h_.bitCount;
  const DWORD c = h_.compression;
  if (c > kBitFields) return ReadFrame(bitmap) ? bc : 0;
  // Tables and masks.
  Int64 entries = 0, maskBytes = 0;
  if (bc == 1 || bc == 4 || bc == 8) {
    const Int64 full = Int64{1} << bc;
    entries = h_.clrUsed == 0 ? full : static_cast<Int64>(h_.clrUsed);
    if (entries > 256) return 0;
    if (c == kBitFields || (c == kRLE8 && bc != 8) || (c == kRLE4 && bc != 4)) return 0;
    if (!ReadTable(entries)) return 0;
  } else if (bc == 16 || bc == 32) {
    if (c == kRLE8 || c == kRLE4) return 0;
    if (c == kBitFields) {
      // Masks sit inside headers of 52 bytes and more, else right after it.
      const Int64 at = h_.headerSize >= 52 ? 40 : h_.headerSize;
      if (at + 12 > size_) return 0;
      for (Integer i = 0; i < 3; ++i) masks_[i] = ReadLE32(dib_ + at + 4 * i);
      if (h_.headerSize < 52) maskBytes = 12;
    } else if (bc == 16) {
      masks_[0] = 0x7C00, masks_[1] = 0x03E0, masks_[2] = 0x001F;
    } else {
      masks_[0] = 0xFF0000, masks_[1] = 0xFF00, masks_[2] = 0xFF;
    }
    // A colour table of colours used may follow even where no index needs it.
    if (h_.clrUsed > 256) return 0;
    entries = h_.clrUsed;
  } else if (bc == 24) {
    if (c != kRGB || h_.clrUsed > 256) return 0;
    entries = h_.clrUsed;
  } else {
    return 0;
  }
  if (!LocateData(entries, maskBytes)) return 0;
  TLKBitmap picture;
  if (c == kRLE8 || c == kRLE4) {
    if (h_.topDown || !RunLength(&picture)) return 0;
  } else if (!Uncompressed(&picture)) {
    return 0;
  }
  Deliver(&picture, bitmap);
  return bc;
}

}  // namespace

void YUV2RGB(Integer Y, Integer U, Integer V, TRGB& RGB) {
  const double y = 1.164 * (Y - 16);
  RGB.b = static_cast<Byte>(blimit(LKRound(y + 2.018 * (U - 128))));
  RGB.g = static_cast<Byte>(blimit(LKRound(y - 0.813 * (V - 128) - 0.391 * (U - 128))));
  RGB.r = static_cast<Byte>(blimit(LKRound(y + 1.596 * (V - 128))));
}

Integer _CopyDIB2BitmapEx(const void* DIB, size_t Size, TLKBaseBitmap* Bitmap, const void* Bits, size_t BitsSize) {
  DibReader reader(static_cast<const Byte*>(DIB), Size, static_cast<const Byte*>(Bits), BitsSize);
  return reader.Read(Bitmap);
}

Integer _CopyDIB2Bitmap(const void* DIB, size_t Size, TBitmap* Bitmap, const void* Bits, size_t BitsSize) {
  if (!Bitmap) return 0;
  TLKBitmap picture;
  const Integer result = _CopyDIB2BitmapEx(DIB, Size, &picture, Bits, BitsSize);
  if (result != 0) picture.CopyToTBitmap(Bitmap);
  return result;
}

Integer _LKCopyDIB2Bitmap2Ex(const void* DIB, size_t Size, TLKDibbitmap* Dest, const void* Bits,
                             size_t BitsSize) {
  if (!Dest) return 0;
  TLKBitmap picture;
  const Integer result = _CopyDIB2BitmapEx(DIB, Size, &picture, Bits, BitsSize);
  if (result == 0) return 0;
  Dest->AllocateBits(picture.GetWidth(), picture.GetHeight(), picture.GetPixelFormat() == lk1g ? 1 : 24);
  picture.CopyToTDibBitmap(Dest, 0, 0, picture.GetWidth(), picture.GetHeight());
  return result;
}

std::vector<Byte> _CopyBitmaptoDIBEx(TLKBaseBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!Bitmap) return {};
  LKPrintLogWrite("_CopyBitmaptoDIBEx: begin");
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  const bool empty = Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0;
  if (!empty && f != lk1g && f != lk8p && f != lk8g && f != lk24RGB) {
    LKPrintLogWrite("_CopyBitmaptoDIBEx: not supported pixel format, converting to 24bit and recurse");
    TLKBitmap copy;
    if (auto* lk = dynamic_cast<TLKBitmap*>(Bitmap)) {
      // A copy is converted: the conversion would take the source's alpha
      // channel over.
      copy.Assign(lk);
      copy.RemoveAlphaChannel();
      copy.SetPixelFormat(lk24RGB);
    } else {
      copy.Allocate(Bitmap->GetWidth(), Bitmap->GetHeight(), lk24RGB);
    }
    return _CopyBitmaptoDIBEx(&copy, X1, Y1, X2, Y2);
  }
  const Integer W = std::max(Bitmap->GetWidth(), 0), H = std::max(Bitmap->GetHeight(), 0);
  if (X2 == 0) X2 = W;
  if (Y2 == 0) Y2 = H;
  X1 = std::clamp(X1, 0, W);
  Y1 = std::clamp(Y1, 0, H);
  X2 = std::clamp(X2, X1, W);
  Y2 = std::clamp(Y2, Y1, H);
  const Integer w = X2 - X1, h = Y2 - Y1;
  const Integer bc = empty ? 24 : (f == lk1g ? 1 : (f == lk24RGB ? 24 : 8));
  const Integer tableBytes = bc == 1 ? 8 : (bc == 8 ? 1024 : 0);
  const Int64 rowLen = ((static_cast<Int64>(w) * bc + 31) / 32) * 4;
  const Int64 size = kHeaderSize + tableBytes + rowLen * h + 4;
  LKPrintLogWrite("_CopyBitmaptoDIBEx: allocate " + std::to_string(size) + " bytes");
  std::vector<Byte> dib(static_cast<size_t>(size), 0);
  Byte* p = dib.data();
  WriteLE32(p, 40);
  WriteLE32(p + 4, static_cast<DWORD>(w));
  WriteLE32(p + 8, static_cast<DWORD>(h));
  p[12] = 1;
  p[14] = static_cast<Byte>(bc);
  Byte* table = p + kHeaderSize;
  if (bc == 1) {
    LKPrintLogWrite("_CopyBitmaptoDIBEx: lk1g");
    std::memset(table + 4, 255, 4);
  } else if (bc == 8) {
    LKPrintLogWrite("_CopyBitmaptoDIBEx: lk8g or lk8p");
    const Integer n = f == lk8p ? std::min(Bitmap->GetPaletteLen(), 256) : 256;
    for (Integer i = 0; i < n; ++i) {
      const TRGB c = f == lk8p ? Bitmap->GetPalette(i) : TRGB{Byte(i), Byte(i), Byte(i)};
      table[4 * i] = c.b;
      table[4 * i + 1] = c.g;
      table[4 * i + 2] = c.r;
    }
  } else {
    LKPrintLogWrite("_CopyBitmaptoDIBEx: lk24RGB");
  }
  Byte* rows = table + tableBytes;
  const Integer srcRowLen = Bitmap->GetRowLen();
  for (Integer k = 0; k < h; ++k) {
    const Byte* src = static_cast<const Byte*>(Bitmap->GetScanLine(Y2 - 1 - k));
    Byte* dst = rows + rowLen * k;
    if (bc == 1) _CopyBits(dst, src, 0, X1, w, srcRowLen);
    else std::memcpy(dst, src + static_cast<Int64>(X1) * (bc / 8), static_cast<size_t>(w) * (bc / 8));
  }
  return dib;
}

void LKDIBGamma(std::vector<Byte>& DIB, double Gamma) {
  if (DIB.size() < static_cast<size_t>(kHeaderSize) || !(Gamma > 0)) return;
  const Byte* p = DIB.data();
  const Int64 hs = ReadLE32(p);
  const Integer w = static_cast<Integer>(ReadLE32(p + 4)), h = static_cast<Integer>(ReadLE32(p + 8));
  if (hs < kHeaderSize || w <= 0 || h <= 0 || ReadLE16(p + 14) != 24 || ReadLE32(p + 16) != kRGB) return;
  const Int64 rowLen = ((static_cast<Int64>(w) * 24 + 31) / 32) * 4;
  if (hs > static_cast<Int64>(DIB.size()) || (static_cast<Int64>(DIB.size()) - hs) / rowLen < h) return;
  Byte table[256];
  for (Integer i = 0; i < 256; ++i)
    table[i] = static_cast<Byte>(blimit(LKRound(std::pow(i / 255.0, 1.0 / Gamma) * 255)));
  for (Integer r = 0; r < h; ++r) {
    Byte* row = DIB.data() + hs + rowLen * r;
    for (Integer i = 0; i < w * 3; ++i) row[i] = table[row[i]];
  }
}

bool _CopyIYU1ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {4, 6}, [](const Byte* s, TRGB* px) {
    YUV2RGB(s[1], s[0], s[3], px[0]);
    YUV2RGB(s[2], s[0], s[3], px[1]);
    YUV2RGB(s[4], s[0], s[3], px[2]);
    YUV2RGB(s[5], s[0], s[3], px[3]);
  });
}

bool _CopyIYU2ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {1, 3},
                    [](const Byte* s, TRGB* px) { YUV2RGB(s[1], s[0], s[2], px[0]); });
}

bool _CopyUYVYToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {2, 4}, [](const Byte* s, TRGB* px) {
    YUV2RGB(s[1], s[0], s[2], px[0]);
    YUV2RGB(s[3], s[0], s[2], px[1]);
  });
}

bool _CopyYUY2ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {2, 4}, [](const Byte* s, TRGB* px) {
    YUV2RGB(s[0], s[1], s[3], px[0]);
    YUV2RGB(s[2], s[1], s[3], px[1]);
  });
}

bool _CopyYVYUToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {2, 4}, [](const Byte* s, TRGB* px) {
    YUV2RGB(s[0], s[3], s[1], px[0]);
    YUV2RGB(s[2], s[3], s[1], px[1]);
  });
}

bool _CopyY41PToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  // U0, Y0, V0, Y1, U4, Y2, V4, Y3, Y4, Y5, Y6, Y7
  return CopyPacked(Data, Size, Bitmap, TopDown, {8, 12}, [](const Byte* s, TRGB* px) {
    const Byte y[8] = {s[1], s[3], s[5], s[7], s[8], s[9], s[10], s[11]};
    for (Integer i = 0; i < 4; ++i) YUV2RGB(y[i], s[0], s[2], px[i]);
    for (Integer i = 4; i < 8; ++i) YUV2RGB(y[i], s[4], s[6], px[i]);
  });
}

bool _CopyY211ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPacked(Data, Size, Bitmap, TopDown, {4, 4}, [](const Byte* s, TRGB* px) {
    YUV2RGB(s[0], s[1], s[3], px[0]);
    px[1] = px[0];
    YUV2RGB(s[2], s[1], s[3], px[2]);
    px[3] = px[2];
  });
}

bool _CopyCLJRToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  // The 5-bit luma and 6-bit chroma fields are widened to 8 bits by
  // repeating their top bits.
  return CopyPacked(Data, Size, Bitmap, TopDown, {4, 4}, [](const Byte* s, TRGB* px) {
    const DWORD word = ReadLE32(s);
    const auto six = [](DWORD v) { return static_cast<Integer>((v << 2) | (v >> 4)); };
    const auto five = [](DWORD v) { return static_cast<Integer>((v << 3) | (v >> 2)); };
    const Integer v = six(word & 63), u = six((word >> 6) & 63);
    for (Integer i = 0; i < 4; ++i) YUV2RGB(five((word >> (12 + 5 * i)) & 31), u, v, px[i]);
  });
}

bool _CopyYVU9ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPlanar(Data, Size, Bitmap, TopDown, 4, false);
}
bool _CopyYV12ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPlanar(Data, Size, Bitmap, TopDown, 2, false);
}
bool _CopyI420ToBitmap(const Byte* Data, size_t Size, TLKBaseBitmap* Bitmap, bool TopDown) {
  return CopyPlanar(Data, Size, Bitmap, TopDown, 2, true);
}

void _CopyBitmapRect(TBitmap* Source, TBitmap* Dest, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!Source || !Dest) return;
  const Integer W = Source->GetWidth(), H = Source->GetHeight();
  if (X2 == 0) X2 = W;
  if (Y2 == 0) Y2 = H;
  X2 = std::min(X2, W);
  Y2 = std::min(Y2, H);
  X1 = std::clamp(X1, 0, X2 < 0 ? 0 : X2);
  Y1 = std::clamp(Y1, 0, Y2 < 0 ? 0 : Y2);
  const Integer w = std::max(X2 - X1, 0), h = std::max(Y2 - Y1, 0);
  Dest->SetSize(1, 1);
  Dest->SetPixelFormat(Source->GetPixelFormat());
  Dest->SetSize(w, h);
  const TPixelFormat f = Source->GetPixelFormat();
  if (w == 0 || h == 0 || (f != pf24bit && f != pf1bit)) return;
  if (f == pf1bit) Dest->SetColorTable(Source->GetColorTable());
  for (Integer k = 0; k < h; ++k) {
    const Byte* src = Source->ScanLine(Y1 + k);
    Byte* dst = Dest->ScanLine(k);
    if (f == pf24bit) std::memcpy(dst, src + static_cast<Int64>(X1) * 3, static_cast<size_t>(w) * 3);
    else _CopyBits(dst, src, 0, X1, w, Source->RowBytes());
  }
}

Integer _GetSimilColor(const TRGB* Palette, Integer Count, TRGB Color) {
  Integer best = 0, bestDistance = std::numeric_limits<Integer>::max();
  for (Integer i = 0; i < Count; ++i) {
    const TRGB& p = Palette[i];
    const Integer d = std::abs(p.r - Color.r) + std::abs(p.g - Color.g) + std::abs(p.b - Color.b);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

void _CopyBGR_RGB(TRGB* Dest, const TRGB* Source, Integer Count) {
  for (Integer i = 0; i < Count; ++i) Dest[i] = TRGB{Source[i].r, Source[i].g, Source[i].b};
}
void _CopyBGR_RGB48(TRGB48* Dest, const TRGB48* Source, Integer Count) {
  for (Integer i = 0; i < Count; ++i) Dest[i] = TRGB48{Source[i].b, Source[i].g, Source[i].r};
}
void _BGR2RGB(TRGB* Pixels, Integer Count) {
  for (Integer i = 0; i < Count; ++i) std::swap(Pixels[i].b, Pixels[i].r);
}
void _RGB2BGR(TRGB* Row, Integer Count) { _BGR2RGB(Row, Count); }
void _BGR2RGB48(TRGB48* Pixels, Integer Count) {
  for (Integer i = 0; i < Count; ++i) std::swap(Pixels[i].r, Pixels[i].b);
}
