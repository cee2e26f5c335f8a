// The raw stream form of an image buffer: one self-describing byte sequence
// holding size, format, palette, display settings, rows and alpha channel.
// The clipboard carries it in a memory block and the layers file stores it
// inside a compressed stream, so its layout is fixed, packed and
// little-endian:
//
//   12  "TLKBITMAPRAW"           4  version (0)          4  N palette entries
//   3N  palette (b, g, r)        4  width                4  height
//    1  pixel format ordinal     1  Full                 4  QuantizeColorCount
//    8  BlackValue (double)      8  WhiteValue           16 ChannelOffset[0..3]
//    1  ChannelOffsetEnabled     4  Contrast             4  BitAlignment
//   RowLen x height  rows, top row first, padding included
//    1  has alpha; when set: alpha RowLen x height alpha rows, 1 alpha Full
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "core/lkbytereader.h"
#include "platform/classes.h"

namespace {

using lkinternal::AccessScope;

constexpr char kMagic[12] = {'T', 'L', 'K', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W'};
// Items 1-3, 5-15 and 17: everything but palette, rows and alpha data.
constexpr Int64 kFixedBytes = 76;
// Header bytes from the width (item 5) to the alignment (item 15).
constexpr size_t kSettingsBytes = 4 + 4 + 1 + 1 + 4 + 8 + 8 + 16 + 1 + 4 + 4;
static_assert(12 + 4 + 4 + kSettingsBytes + 1 == kFixedBytes);
// Largest picture (pixels and alpha) and longest row a form may announce.
// Far beyond any real picture, yet they keep a forged header from asking for
// storage that no machine has; the row limit also bounds the one row a file-
// backed buffer holds in memory while a stream of unknown length is read.
constexpr Int64 kMaxRawPixelBytes = Int64{1} << 36;
constexpr Int64 kMaxRawRowBytes = Int64{1} << 28;

// --- Little-endian encoding ------------------------------------------------

void PutU32(std::vector<Byte>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<Byte>(v >> (8 * i)));
}
void PutI32(std::vector<Byte>& out, Integer v) { PutU32(out, static_cast<uint32_t>(v)); }
void PutF64(std::vector<Byte>& out, double v) {
  uint64_t u;
  std::memcpy(&u, &v, sizeof u);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<Byte>(u >> (8 * i)));
}

uint32_t GetU32(const Byte* p) { return LKGetLE32(p); }
Integer GetI32(const Byte* p) { return static_cast<Integer>(GetU32(p)); }
double GetF64(const Byte* p) {
  const uint64_t u = GetU32(p) | static_cast<uint64_t>(GetU32(p + 4)) << 32;
  double v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}

// Row length of a stored row: `width` pixels of `bits` bits rounded up to
// `alignment` bits, in 64 bits (the header's width is not trusted).
Int64 RawRowLen(Int64 width, Int64 bits, Int64 alignment) {
  return (width * bits + alignment - 1) / alignment * (alignment / 8);
}

// --- Where the bytes go and come from ---------------------------------------

// Consecutive bytes from a caller's block of known size or from a stream.
class RawSource {
 public:
  RawSource(const void* buffer, TStream* stream, Int64 bufferSize)
      : buffer_(static_cast<const Byte*>(buffer)), stream_(buffer ? nullptr : stream) {
    if (buffer_) {
      remaining_ = std::max<Int64>(bufferSize, 0);
      return;
    }
    // A stream that tells its size and position lets a forged header be
    // refused before anything is allocated; one that cannot is read until
    // it runs short.
    try {
      const Int64 pos = stream_->Seek(0, soCurrent);
      const Int64 size = stream_->GetSize();
      if (pos >= 0 && size >= pos) remaining_ = size - pos;
    } catch (...) {
      remaining_ = -1;
    }
  }

  /// Bytes left, -1 when the stream does not tell.
  Int64 Remaining() const { return remaining_; }

  /// Reads exactly n bytes into dst; false when fewer are left.
  bool Read(void* dst, Int64 n) {
    if (n <= 0) return true;
    if (remaining_ >= 0 && n > remaining_) return false;
    auto* out = static_cast<Byte*>(dst);
    if (buffer_) {
      std::memcpy(out, buffer_, static_cast<size_t>(n));
      buffer_ += n;
    } else {
      Int64 done = 0;
      while (done < n) {
        const Integer chunk = static_cast<Integer>(std::min<Int64>(n - done, 1 << 30));
        const Integer got = stream_->Read(out + done, chunk);
        if (got <= 0) return false;
        done += std::min<Int64>(got, chunk);
      }
    }
    if (remaining_ >= 0) remaining_ -= n;
    return true;
  }

  /// Passes over n bytes; false when fewer are left.
  bool Skip(Int64 n) {
    Byte scratch[4096];
    while (n > 0) {
      const Int64 step = std::min<Int64>(n, sizeof scratch);
      if (!Read(scratch, step)) return false;
      n -= step;
    }
    return true;
  }

 private:
  const Byte* buffer_;
  TStream* stream_;
  Int64 remaining_ = -1;
};

// Consecutive bytes into a caller's block or through a stream.
class RawSink {
 public:
  RawSink(void* buffer, TStream* stream) : buffer_(static_cast<Byte*>(buffer)), stream_(buffer ? nullptr : stream) {}

  /// Writes n bytes; false (and nothing more is written) once the stream
  /// took fewer than given.
  bool Write(const void* src, Int64 n) {
    if (!ok_ || n <= 0) return ok_;
    if (buffer_) {
      std::memcpy(buffer_, src, static_cast<size_t>(n));
      buffer_ += n;
      return true;
    }
    const auto* in = static_cast<const Byte*>(src);
    while (n > 0 && ok_) {
      const Integer chunk = static_cast<Integer>(std::min<Int64>(n, 1 << 30));
      ok_ = stream_->Write(in, chunk) == chunk;
      in += chunk;
      n -= chunk;
    }
    return ok_;
  }

 private:
  Byte* buffer_;
  TStream* stream_;
  bool ok_ = true;
};

// The header of a raw stream form, read and checked.
struct RawHeader {
  Integer PaletteCount = 0;
  Byte Palette[3 * 256];
  Byte Settings[kSettingsBytes];  // width to alignment, as stored
  Integer Width = 0, Height = 0, Alignment = 32;
  TLKPixelFormat Format = lknull;
  Int64 RowLen = 0;       // 0: no pixels
  Int64 AlphaRowLen = 0;  // rows of an alpha channel at the recorded size
  Int64 ImageBytes = 0;
};

// Reads the header up to the rows; false for a wrong magic, a negative
// version, a palette count outside 0..256, an unknown format, an alignment
// other than 8, 16 or 32, a negative or oversized size.
bool ReadHeader(RawSource& src, RawHeader& h) {
  Byte magic[sizeof kMagic];
  if (!src.Read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return false;
  Byte word[4];
  if (!src.Read(word, 4) || GetI32(word) < 0) return false;  // any version >= 0 has this layout
  if (!src.Read(word, 4)) return false;
  h.PaletteCount = GetI32(word);
  if (h.PaletteCount < 0 || h.PaletteCount > 256) return false;
  if (!src.Read(h.Palette, 3 * Int64{h.PaletteCount})) return false;
  const Byte* s = h.Settings;
  if (!src.Read(h.Settings, sizeof h.Settings)) return false;
  h.Width = GetI32(s);
  h.Height = GetI32(s + 4);
  const Byte format = s[8];
  h.Alignment = GetI32(s + 51);
  if (h.Width < 0 || h.Height < 0 || format >= LKPixelFormatCount) return false;
  if (h.Alignment != 8 && h.Alignment != 16 && h.Alignment != 32) return false;
  h.Format = static_cast<TLKPixelFormat>(format);
  const Integer bits = LKPixelFormatBitCount(h.Format);
  const bool hasPixels = h.Width > 0 && h.Height > 0 && bits > 0;
  h.RowLen = hasPixels ? RawRowLen(h.Width, bits, h.Alignment) : 0;
  // An alpha channel is created at the recorded size even for a buffer
  // without a pixel format, so its rows depend on the size alone.
  h.AlphaRowLen = h.Width > 0 && h.Height > 0 ? RawRowLen(h.Width, 8, 32) : 0;
  if (h.RowLen > kMaxRawRowBytes) return false;  // also keeps RowLen * Height in 64 bits
  h.ImageBytes = h.RowLen * h.Height;
  return h.ImageBytes + h.AlphaRowLen * h.Height <= kMaxRawPixelBytes;
}

// Writes rows 0..height-1 of `bmp`, rowLen bytes each.
bool WriteRows(TLKBitmap& bmp, RawSink& sink, Integer height, Integer rowLen) {
  AccessScope readOnly(bmp, TLKDataAccess{lkdRead});
  for (Integer y = 0; y < height; ++y)
    if (!sink.Write(bmp.GetScanLine(y), rowLen)) return false;
  return true;
}

// Reads rows 0..height-1 of `bmp` straight into the buffer, rowLen bytes each.
bool ReadRows(TLKBitmap& bmp, RawSource& src, Integer height, Integer rowLen) {
  AccessScope writeOnly(bmp, TLKDataAccess{lkdWrite});
  for (Integer y = 0; y < height; ++y)
    if (!src.Read(bmp.GetScanLine(y), rowLen)) return false;
  return true;
}

// The stored bytes of the image rows: none for a buffer without pixels.
Int64 ImageBytes(TLKBitmap& bmp) { return bmp.IsEmpty() ? 0 : Int64{bmp.GetRowLen()} * bmp.GetHeight(); }

}  // namespace

bool LKRAWFormHeader(const void* Buffer, Int64 Size, Integer& Width, Integer& Height, TLKPixelFormat& Format,
                     Int64& MinBytes, Int64& MaxBytes) {
  if (!Buffer) return false;
  RawSource src(Buffer, nullptr, Size);
  RawHeader h;
  if (!ReadHeader(src, h)) return false;
  Width = h.Width;
  Height = h.Height;
  Format = h.Format;
  MinBytes = (Size - src.Remaining()) + h.ImageBytes + 1;
  MaxBytes = MinBytes + h.AlphaRowLen * h.Height + 1;
  return true;
}

Int64 TLKBitmap::CalcRAWSize() {
  Int64 size = kFixedBytes + 3 * Int64{GetPaletteLen()} + ImageBytes(*this);
  if (AlphaChannel) size += ImageBytes(*AlphaChannel) + 1;
  return size;
}

bool TLKBitmap::SaveRAWToBufferOrStream(void* buffer, TStream* stream) {
  if (!buffer && !stream) return false;
  const bool hasPixels = !IsEmpty();  // also picks up TBitmap changes
  std::vector<Byte> head;
  head.reserve(static_cast<size_t>(kFixedBytes + 3 * 256));
  head.insert(head.end(), kMagic, kMagic + sizeof kMagic);
  PutI32(head, 0);
  const Integer n = Palette ? PaletteLen : 0;
  PutI32(head, n);
  for (Integer i = 0; i < n; ++i) {
    head.push_back(Palette[i].b);
    head.push_back(Palette[i].g);
    head.push_back(Palette[i].r);
  }
  PutI32(head, Width);
  PutI32(head, Height);
  head.push_back(static_cast<Byte>(PixelFormat));
  head.push_back(Full ? 1 : 0);
  PutI32(head, QuantizeColorCount);
  PutF64(head, BlackValue);
  PutF64(head, WhiteValue);
  for (Integer v : ChannelOffset) PutI32(head, v);
  head.push_back(ChannelOffsetEnabled ? 1 : 0);
  PutI32(head, Contrast);
  PutI32(head, BitAlignment);

  RawSink sink(buffer, stream);
  if (!sink.Write(head.data(), static_cast<Int64>(head.size()))) return false;
  if (hasPixels && !WriteRows(*this, sink, Height, RowLen)) return false;
  const Byte hasAlpha = AlphaChannel ? 1 : 0;
  if (!sink.Write(&hasAlpha, 1)) return false;
  if (AlphaChannel) {
    TLKBitmap& alpha = *AlphaChannel;
    if (!alpha.IsEmpty() && !WriteRows(alpha, sink, alpha.Height, alpha.RowLen)) return false;
    const Byte alphaFull = alpha.Full ? 1 : 0;
    if (!sink.Write(&alphaFull, 1)) return false;
  }
  return true;
}

bool TLKBitmap::LoadRAWFromBufferOrStream(const void* buffer, TStream* stream, Int64 bufferSize) {
  if (!buffer && !stream) return false;
  RawSource src(buffer, stream, bufferSize);

  // The whole header is read and checked before the buffer is touched.
  RawHeader h;
  if (!ReadHeader(src, h)) return false;
  const Integer n = h.PaletteCount, width = h.Width, height = h.Height, alignment = h.Alignment;
  const Byte* palette = h.Palette;
  const Byte* s = h.Settings;
  const bool full = s[9] != 0;
  const Integer quantizeColorCount = GetI32(s + 10);
  const double blackValue = GetF64(s + 14);
  const double whiteValue = GetF64(s + 22);
  Integer offsets[4];
  for (int i = 0; i < 4; ++i) offsets[i] = GetI32(s + 30 + 4 * i);
  const bool offsetsEnabled = s[46] != 0;
  const Integer contrast = GetI32(s + 47);
  const TLKPixelFormat pixelFormat = h.Format;
  const bool hasPixels = h.RowLen > 0;
  const Int64 rowLen = h.RowLen, alphaRowLen = h.AlphaRowLen, imageBytes = h.ImageBytes;
  // The rows and the alpha flag must be there before anything is allocated.
  if (src.Remaining() >= 0 && src.Remaining() < imageBytes + 1) return false;

  // Allocate releases the old image and alpha channel, also when size and
  // format are unchanged; the alignment applies to the new rows.
  BitAlignment = alignment;
  ReallocPending = true;
  Allocate(width, height, pixelFormat);
  try {
    bool ok = true;
    if (hasPixels) {
      if (IsEmpty()) {
        ok = false;
      } else if (PixelFormat == pixelFormat && RowLen == rowLen) {
        ok = ReadRows(*this, src, height, static_cast<Integer>(rowLen));
      } else if (PixelFormat == lk8g && pixelFormat == lk16g) {
        // TBitmap storage holds 16-bit grey as 8 bits: keep the high bytes.
        std::vector<Byte> row(static_cast<size_t>(rowLen));
        AccessScope writeOnly(*this, TLKDataAccess{lkdWrite});
        for (Integer y = 0; y < height && ok; ++y) {
          ok = src.Read(row.data(), rowLen);
          auto* dst = static_cast<Byte*>(GetScanLine(y));
          for (Integer x = 0; x < width && ok; ++x) dst[x] = row[2 * static_cast<size_t>(x) + 1];
        }
      } else {
        ok = false;
      }
    }
    Byte hasAlpha = 0;
    ok = ok && src.Read(&hasAlpha, 1);
    if (ok && hasAlpha != 0) {
      const Int64 alphaBytes = alphaRowLen * height;
      if (src.Remaining() >= 0 && src.Remaining() < alphaBytes + 1) {
        ok = false;
      } else if (IsAlphaChannel) {
        // An alpha channel has no alpha channel of its own: pass the data by.
        ok = src.Skip(alphaBytes + 1);
      } else {
        // Created without the opaque fill of GetAlphaChannel: every row is
        // read next, and a forged size on a stream of unknown length must not
        // cost a fill of storage the data never reaches.
        AlphaChannel = new TLKBitmap();
        AlphaChannel->IsAlphaChannel = true;
        AlphaChannel->Location = Location == lkTBitmap ? lkMemory : Location;
        TLKBitmap& alpha = *AlphaChannel;
        alpha.Allocate(Width, Height, lk8g);
        Byte alphaFull = 0;
        ok = (alphaBytes == 0 || (alpha.RowLen == alphaRowLen && alpha.Height == height &&
                                  ReadRows(alpha, src, height, static_cast<Integer>(alphaRowLen)))) &&
             src.Read(&alphaFull, 1);
        alpha.Full = alphaFull != 0;
      }
    }
    if (!ok) {
      FreeImage(true);
      return false;
    }
  } catch (...) {
    FreeImage(true);
    throw;
  }

  Full = full;
  SetQuantizeColorCount(quantizeColorCount);
  BlackValue = blackValue;
  WhiteValue = whiteValue;
  std::copy(offsets, offsets + 4, ChannelOffset);
  ChannelOffsetEnabled = offsetsEnabled;
  Contrast = contrast;
  if (Palette) {
    for (Integer i = 0; i < std::min(n, PaletteLen); ++i)
      Palette[i] = TRGB{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
    UpdateTBitmapPalette();
  }
  return true;
}
