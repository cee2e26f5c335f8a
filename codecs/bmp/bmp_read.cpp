// BMP reader.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/bmp/bmp_format.h"
#include "codecs/bmp/bmpfilt.h"
#include "codecs/lkcodecutil.h"

using namespace bmpcodec;
using lkcodec::Le16;
using lkcodec::Le32;

namespace {

// Decodes RLE8 (Four false) or RLE4 data into Indices (width x height, file
// row order). Positions are clamped to the picture: pixels past the row's end
// are dropped (encoders code odd-width RLE8 rows with a padding pixel), a
// delta or end of line past the last row ends the decoding. Returns false
// when the data ends before the picture does (no end of bitmap, rows left).
bool DecodeRLE(const std::vector<Byte>& In, bool Four, Integer W, Integer H, std::vector<Byte>& Indices,
               TProgressRec& Progress) {
  size_t i = 0;
  Integer x = 0, y = 0;
  auto put = [&](Byte v) {
    if (y < H && x < W) Indices[size_t(y) * W + x] = v;
    ++x;
  };
  while (y < H) {
    // The last row needs no end of line when it is full.
    if (i + 1 >= In.size()) return y == H - 1 && x >= W;
    const Byte n = In[i], v = In[i + 1];
    i += 2;
    if (n > 0) {
      for (Integer k = 0; k < n && x < W; ++k) put(Four ? Byte(k & 1 ? v & 15 : v >> 4) : v);
      continue;
    }
    if (v == 0) {
      x = 0;
      ++y;
      if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * 100.0 / H));
      if (LKAborted(Progress)) return true;
    } else if (v == 1) {
      return true;
    } else if (v == 2) {
      if (i + 1 >= In.size()) return false;
      x += In[i];
      y += In[i + 1];
      i += 2;
    } else {
      const size_t bytes = Four ? (v + 1) / 2 : v;
      if (i + bytes > In.size()) {
        // The pixels that are there, then the data is over.
        for (Integer k = 0; k < v && i + (Four ? k / 2 : k) < In.size(); ++k) {
          const size_t at = i + (Four ? k / 2 : k);
          put(Four ? Byte(k & 1 ? In[at] & 15 : In[at] >> 4) : In[at]);
        }
        return false;
      }
      for (Integer k = 0; k < v && x < W; ++k) {
        const size_t at = i + (Four ? k / 2 : k);
        put(Four ? Byte(k & 1 ? In[at] & 15 : In[at] >> 4) : In[at]);
      }
      i += bytes + (bytes & 1);
    }
  }
  return true;
}

// Channel of a bit-field mask: shift to its lowest bit and its width.
struct TField {
  Integer Shift = 0, Bits = 0;
  DWORD Mask = 0;
  explicit TField(DWORD M) : Mask(M) {
    if (!M) return;
    while (!(M & 1)) {
      M >>= 1;
      ++Shift;
    }
    while (M & 1) {
      M >>= 1;
      ++Bits;
    }
    Bits = std::min(Bits, 8);
  }
  // The channel at 8 bits: the field moved up to the byte's top.
  Byte Get(DWORD Px) const {
    if (!Bits) return 0;
    const DWORD v = (Px & Mask) >> Shift;
    return Byte((v << (8 - Bits)) & 0xFF);
  }
};

}  // namespace

void BMPReadStream(TStream* Stream, TLKBitmap* Bitmap, Int64 DataSize, TIOParamsVals& Params,
                   TProgressRec& Progress, bool ParamsOnly, bool NoFileHeader, TLKMask*& Mask, bool IgnoreAlpha) {
  if (!Stream) return LKAbort(Progress, "BMP: damaged or unsupported data");
  TStream& S = *Stream;
  const Int64 start = S.Position();
  DWORD fileSize = 0, pixelOffset = 0;
  if (NoFileHeader) {
    fileSize = DWORD(std::min<Int64>(S.Size(), 0xFFFFFFFF));
  } else {
    Byte fh[kFileHeaderSize];
    if (lkcodec::ReadFull(S, fh, kFileHeaderSize) != kFileHeaderSize || fh[0] != 'B' || fh[1] != 'M')
      return LKAbort(Progress, "BMP: damaged or unsupported data");
    fileSize = Le32(fh + 2);
    pixelOffset = Le32(fh + 10);
  }
  if (fileSize != 0 && DataSize < 1) DataSize = fileSize;
  Byte raw[124] = {};
  if (lkcodec::ReadFull(S, raw, 4) != 4) return LKAbort(Progress, "BMP: damaged or unsupported data");
  TInfoHeader h;
  h.Size = Le32(raw);
  Params.SetColorMapCount(0);
  bool topDown = false;
  std::vector<TRGB> palette;
  DWORD masks[3] = {0x7C00, 0x3E0, 0x1F};
  if (h.Size == kCoreHeaderSize) {
    if (lkcodec::ReadFull(S, raw + 4, 8) != 8) return LKAbort(Progress, "BMP: damaged or unsupported data");
    Params.BMP_VERSION = ioBMP_BMOS2V1;
    h.Width = Le16(raw + 4);
    h.Height = Le16(raw + 6);
    h.BitCount = Le16(raw + 10);
    Params.DPIX = gDefaultDPIX;
    Params.DPIY = gDefaultDPIY;
    if (h.BitCount <= 8) {
      const Integer n = 1 << h.BitCount;
      std::vector<Byte> p(size_t(n) * 3, 0);
      lkcodec::ReadFull(S, p.data(), Int64(p.size()));
      for (Integer i = 0; i < n; ++i) palette.push_back(TRGB{p[size_t(i) * 3], p[size_t(i) * 3 + 1], p[size_t(i) * 3 + 2]});
    }
  } else {
    if (h.Size < 16) return LKAbort(Progress, "BMP: damaged or unsupported data");
    const Integer take = Integer(std::min<DWORD>(h.Size, 124));
    if (lkcodec::ReadFull(S, raw + 4, take - 4) != take - 4) return LKAbort(Progress, "BMP: damaged or unsupported data");
    if (h.Size > 124) S.Seek(Int64(h.Size) - 124, soCurrent);
    Params.BMP_VERSION = h.Size == kInfoHeaderSize ? ioBMP_BM3 : h.Size == kOS2V2HeaderSize ? ioBMP_BMOS2V2 : ioBMP_BM;
    h.Width = Integer(Le32(raw + 4));
    h.Height = Integer(Le32(raw + 8));
    if (h.Height < 0) {
      if (h.Height == INT32_MIN) return LKAbort(Progress, "BMP: damaged or unsupported data");
      h.Height = -h.Height;
      topDown = true;
    }
    h.BitCount = Le16(raw + 14);
    h.Compression = Le32(raw + 16);
    h.ImageSize = Le32(raw + 20);
    h.XPelsPerMeter = Integer(Le32(raw + 24));
    h.YPelsPerMeter = Integer(Le32(raw + 28));
    h.ColorsUsed = Le32(raw + 32);
    Params.DPIX = lkcodec::PpmToDpi(h.XPelsPerMeter);
    Params.DPIY = lkcodec::PpmToDpi(h.YPelsPerMeter);
    if (Params.DPIX == 0) Params.DPIX = gDefaultDPIX;
    if (Params.DPIY == 0) Params.DPIY = gDefaultDPIY;
    if (h.ColorsUsed > 256) h.ColorsUsed = 0;
    if (h.ColorsUsed == 0 && h.BitCount <= 8) h.ColorsUsed = 1u << h.BitCount;
    // Headers of 52 bytes and more carry the bit-field masks themselves;
    // older ones have them after the header.
    const bool masksInside = h.Size >= 52;
    if (h.Compression == 3 && masksInside) {
      for (int i = 0; i < 3; ++i) masks[i] = Le32(raw + 40 + 4 * i);
    }
    if (h.Compression == 3 && !masksInside) {
      Byte m[12];
      if (lkcodec::ReadFull(S, m, 12) == 12)
        for (int i = 0; i < 3; ++i) masks[i] = Le32(m + 4 * i);
    }
    if (h.ColorsUsed) {
      std::vector<Byte> p(size_t(h.ColorsUsed) * 4, 0);
      lkcodec::ReadFull(S, p.data(), Int64(p.size()));
      for (DWORD i = 0; i < h.ColorsUsed; ++i) palette.push_back(TRGB{p[i * 4], p[i * 4 + 1], p[i * 4 + 2]});
    }
  }
  if (h.Compression == 0 || h.Compression == 3) Params.BMP_COMPRESSION = ioBMP_UNCOMPRESSED;
  if (h.Compression == 1 || h.Compression == 2) Params.BMP_COMPRESSION = ioBMP_RLE;
  if (!palette.empty()) {
    Params.SetColorMapCount(Integer(palette.size()));
    std::copy(palette.begin(), palette.end(), Params.ColorMap.begin());
  }
  if (pixelOffset != 0) S.Seek(start + pixelOffset, soBeginning);
  const Int64 here = S.Position() - start;
  Int64 compressed = DataSize > 0 ? DataSize - here : Int64(h.ImageSize);
  compressed = std::clamp<Int64>(compressed, 0, lkcodec::Remaining(S));
  const Integer bits = h.BitCount;
  switch (bits) {
    case 1: Params.BITSPERSAMPLE = 1; Params.SAMPLESPERPIXEL = 1; break;
    case 4: Params.BITSPERSAMPLE = 4; Params.SAMPLESPERPIXEL = 1; break;
    case 8: Params.BITSPERSAMPLE = 8; Params.SAMPLESPERPIXEL = 1; break;
    case 16: Params.BITSPERSAMPLE = 5; Params.SAMPLESPERPIXEL = 3; break;
    case 24: Params.BITSPERSAMPLE = 8; Params.SAMPLESPERPIXEL = 3; break;
    case 32: Params.BITSPERSAMPLE = 8; Params.SAMPLESPERPIXEL = 4; break;
    default: break;
  }
  Params.WIDTH = std::max(h.Width, 0);
  Params.HEIGHT = h.Height;
  if (ParamsOnly || h.Width <= 0 || h.Height <= 0) return;
  const bool known = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!known) return LKAbort(Progress, "BMP: damaged or unsupported data");
  const Integer w = h.Width, ht = h.Height;
  const bool rle = (bits == 8 && h.Compression == 1) || (bits == 4 && h.Compression == 2);
  const Int64 rowLen = RowBytes(w, bits);
  // Uncompressed data must hold a fair part of the rows it claims; a header
  // far larger than its data is refused before anything is allocated.
  if (!rle && rowLen > compressed * 8 / ht) return LKAbort(Progress, "BMP: damaged or unsupported data");
  const TLKPixelFormat fmt = bits == 1 ? lk1g : (bits <= 8 && Params.ISNATIVEPIXELFORMAT) ? lk8p : lk24RGB;
  if (!LKAllowPicture(w, ht, fmt == lk1g ? 1 : fmt == lk8p ? 8 : 24, Progress, "BMP")) return;
  if (rle && Int64(w) * ht > compressed * 128 * 255 + 1) return LKAbort(Progress, "BMP: damaged or unsupported data");
  TLKBitmap& B = *Bitmap;
  B.Allocate(w, ht, fmt);
  palette.resize(256, TRGB{0, 0, 0});
  if (fmt == lk8p) {
    for (Integer i = 0; i < 256; ++i) B.SetPalette(i, palette[size_t(i)]);
  }
  auto bitmapRow = [&](Integer fileRow) { return topDown ? fileRow : ht - 1 - fileRow; };
  auto putIndices = [&](Integer y, const Byte* idx) {
    Byte* row = static_cast<Byte*>(B.GetScanLine(y));
    if (fmt == lk8p) {
      std::memcpy(row, idx, size_t(w));
    } else {
      TRGB* px = reinterpret_cast<TRGB*>(row);
      for (Integer x = 0; x < w; ++x) px[x] = palette[idx[x]];
    }
  };
  if (rle) {
    std::vector<Byte> in(static_cast<size_t>(compressed));
    in.resize(size_t(lkcodec::ReadFull(S, in.data(), compressed)));
    std::vector<Byte> idx(size_t(w) * size_t(ht), 0);
    const bool whole = DecodeRLE(in, bits == 4, w, ht, idx, Progress);
    for (Integer r = 0; r < ht; ++r) putIndices(bitmapRow(r), idx.data() + size_t(r) * w);
    B.FreeAllMaps();
    // The rows decoded are kept; the flag says the picture is not whole.
    if (!whole) LKAbort(Progress, "BMP: the compressed pixel data is cut short");
    return;
  }
  if (h.Compression != 0 && !(h.Compression == 3 && (bits == 16 || bits == 32))) {
    B.FreeAllMaps();
    return LKAbort(Progress, "BMP: damaged or unsupported data");
  }
  const bool alpha = bits == 32 && !IgnoreAlpha;
  if (alpha) {
    if (!Mask) Mask = new TLKMask();
    Mask->AllocateBits(w, ht, 8);
    Mask->Fill(255);
  }
  bool anyAlpha = false, allOpaque = true;
  const TField fr(masks[0]), fg(masks[1]), fb(masks[2]);
  const bool fields = bits == 16 || (bits == 32 && h.Compression == 3);
  std::vector<Byte> buf(static_cast<size_t>(rowLen));
  std::vector<Byte> idx(static_cast<size_t>(w));
  bool shortData = false;
  for (Integer r = 0; r < ht; ++r) {
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(r * 100.0 / ht));
    if (LKAborted(Progress)) break;
    const Integer y = bitmapRow(r);
    Byte* row = static_cast<Byte*>(B.GetScanLine(y));
    Byte* in = (bits == 24 || bits == 1) ? row : buf.data();
    const Int64 want = bits == 24 ? Int64(w) * 3 : bits == 1 ? (w + 7) / 8 : rowLen;
    Int64 got = lkcodec::ReadFull(S, in, want);
    if (in == row && want < rowLen) S.Seek(std::min(rowLen - want, lkcodec::Remaining(S)), soCurrent);
    if (got < want) {
      std::memset(in + got, 0, size_t(want - got));
      shortData = true;
    }
    switch (bits) {
      case 4:
        for (Integer x = 0; x < w; ++x) idx[size_t(x)] = x & 1 ? in[x / 2] & 15 : in[x / 2] >> 4;
        putIndices(y, idx.data());
        break;
      case 8: putIndices(y, in); break;
      case 16:
      case 32: {
        TRGB* px = reinterpret_cast<TRGB*>(row);
        Byte* m = alpha ? Mask->GetScanLine(y) : nullptr;
        for (Integer x = 0; x < w; ++x) {
          if (bits == 16 || fields) {
            const DWORD v = bits == 16 ? Le16(in + x * 2) : Le32(in + x * 4);
            px[x] = TRGB{fb.Get(v), fg.Get(v), fr.Get(v)};
          } else {
            px[x] = TRGB{in[x * 4], in[x * 4 + 1], in[x * 4 + 2]};
          }
          if (m && !fields) {
            const Byte a = in[x * 4 + 3];
            m[x] = a;
            anyAlpha |= a != 0;
            allOpaque &= a == 255;
          }
        }
        break;
      }
      default: break;
    }
    if (shortData) break;
  }
  if (bits == 1 && palette[0] == TRGB{255, 255, 255} && palette[1] == TRGB{0, 0, 0} && h.ColorsUsed == 2) {
    for (Integer y = 0; y < ht; ++y) {
      Byte* row = static_cast<Byte*>(B.GetScanLine(y));
      for (Integer i = 0; i < (w + 7) / 8; ++i) row[i] = Byte(~row[i]);
    }
  }
  B.FreeAllMaps();
  if (alpha && (!anyAlpha || allOpaque)) {
    delete Mask;
    Mask = nullptr;
  } else if (alpha) {
    Mask->SyncFull();
    Mask->SyncRect();
  }
  if (shortData) LKAbort(Progress, "BMP: damaged or unsupported data");
}
