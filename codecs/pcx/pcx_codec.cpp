// PCX reader and writer.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/pcx/pcxfilt.h"
#include "core/lkquantizer.h"

using lkcodec::Le16;
using lkcodec::PutLe16;

namespace {

constexpr Integer kHeader = 128;

void Fail(TProgressRec& Progress) { LKAbort(Progress, "PCX: damaged or unsupported data"); }

// Run-length or raw decoding of consecutive lines; runs may go on from one
// line into the next. The coded bytes come from the stream in blocks, so a
// large file is never held whole; never reads past the Left bytes given.
struct TLineDecoder {
  static constexpr size_t kBlock = size_t(1) << 18;

  TStream& S;
  Int64 Left;  // coded bytes not yet taken from the stream
  bool Rle;
  size_t Block = size_t(std::clamp<Int64>(Left, 1, kBlock));
  std::unique_ptr<Byte[]> Buf{new Byte[Block]};
  const Byte* P = nullptr;
  const Byte* End = nullptr;
  Integer RunLeft = 0;
  Byte RunValue = 0;

  // The next block; false when the data is used up.
  bool Refill() {
    if (Left <= 0) return false;
    const Int64 got = lkcodec::ReadFull(S, Buf.get(), std::min<Int64>(Left, Int64(Block)));
    Left = got > 0 ? Left - got : 0;
    P = Buf.get();
    End = P + std::max<Int64>(got, 0);
    return P < End;
  }

  // Fills Count bytes; false when the data ended first (the rest is zero).
  bool Line(Byte* Out, size_t Count) {
    size_t i = 0;
    if (!Rle) {
      while (i < Count && (P < End || Refill())) {
        const size_t n = std::min<size_t>(Count - i, size_t(End - P));
        std::memcpy(Out + i, P, n);
        P += n;
        i += n;
      }
    } else {
      while (i < Count) {
        if (RunLeft > 0) {
          const size_t n = std::min<size_t>(size_t(RunLeft), Count - i);
          std::memset(Out + i, RunValue, n);
          i += n;
          RunLeft -= Integer(n);
          continue;
        }
        if (P >= End && !Refill()) break;
        // Literal bytes up to the next run packet, the line's end or the
        // block's end.
        while (i < Count && P < End && *P < 192) Out[i++] = *P++;
        if (i == Count || P >= End) continue;
        const Byte b = *P++;
        if (P >= End && !Refill()) break;
        RunLeft = b & 63;
        RunValue = *P++;
      }
    }
    if (i < Count) std::memset(Out + i, 0, Count - i);
    return i == Count;
  }
};

}  // namespace

void ReadPcxStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, Int64 DataLength,
                   TProgressRec& Progress, bool ParamsOnly) {
  if (!Stream) return Fail(Progress);
  TStream& S = *Stream;
  const Int64 start = S.Position();
  Int64 avail = lkcodec::Remaining(S);
  if (DataLength >= 0) avail = std::min(avail, DataLength);
  Byte h[kHeader];
  if (avail < kHeader || lkcodec::ReadFull(S, h, kHeader) != kHeader) return Fail(Progress);
  const Byte bits = h[3], planes = h[65];
  if (h[0] != 10 || bits > 8 || bits == 0 || h[2] > 1 || planes == 0) return Fail(Progress);
  const Integer w = Integer(Le16(h + 8)) - Integer(Le16(h + 4)) + 1;
  const Integer ht = Integer(Le16(h + 10)) - Integer(Le16(h + 6)) + 1;
  const Integer bpl = Le16(h + 66);
  TIOParamsVals& P = Params;
  P.DPIX = Le16(h + 12);
  P.DPIY = Le16(h + 14);
  if (P.DPIX == 0 || P.DPIY == 0) {
    P.DPIX = gDefaultDPIX;
    P.DPIY = gDefaultDPIY;
  }
  // Palettes in blue, green, red order: the header's 16 entries and, for one
  // plane of more than 4 bits, the 256 entries at the end of the data.
  TRGB pal16[16], pal256[256] = {};
  for (Integer i = 0; i < 16; ++i) pal16[i] = TRGB{h[16 + i * 3 + 2], h[16 + i * 3 + 1], h[16 + i * 3]};
  const bool big = planes == 1 && bits > 4;
  // The pixel data of such a file ends where its palette's marker (12)
  // starts; without the marker the file was cut (or never had a palette)
  // and the colours taken from its last bytes are not the picture's.
  Int64 pixelBytes = avail - kHeader;
  bool paletteFound = !big;
  if (big && avail >= kHeader + 768) {
    Byte raw[769];
    const bool marked = avail >= kHeader + 769;
    S.Seek(start + avail - (marked ? 769 : 768), soBeginning);
    lkcodec::ReadFull(S, raw, marked ? 769 : 768);
    const Byte* pal = marked ? raw + 1 : raw;
    for (Integer i = 0; i < 256; ++i) pal256[i] = TRGB{pal[i * 3 + 2], pal[i * 3 + 1], pal[i * 3]};
    if (marked && raw[0] == 12) {
      paletteFound = true;
      pixelBytes = avail - kHeader - 769;
    }
  }
  P.BITSPERSAMPLE = bits;
  P.SAMPLESPERPIXEL = planes;
  P.WIDTH = w;
  P.HEIGHT = ht;
  P.PCX_VERSION = h[1];
  P.PCX_COMPRESSION = h[2] ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
  if (bits == 8 && planes == 1) {
    P.SetColorMapCount(256);
    std::copy(pal256, pal256 + 256, P.ColorMap.begin());
  } else if (bits == 1 && planes == 4) {
    P.BITSPERSAMPLE = 4;
    P.SAMPLESPERPIXEL = 1;
    P.SetColorMapCount(16);
    std::copy(pal16, pal16 + 16, P.ColorMap.begin());
  } else if (bits < 8) {
    const Integer n = 1 << std::min<Integer>(bits, 4);
    P.SetColorMapCount(n);
    std::copy(pal16, pal16 + n, P.ColorMap.begin());
  } else {
    P.SetColorMapCount(0);
  }
  if (ParamsOnly) {
    S.Seek(start + avail, soBeginning);
    return;
  }
  if (w <= 0 || ht <= 0 || bpl <= 0) return Fail(Progress);
  const bool oneBit = bits == 1 && planes == 1;
  const Int64 lineBytes = Int64(bpl) * planes;
  const bool rle = h[2] == 1;
  TLKPictureRequest req;
  req.Width = w;
  req.Height = ht;
  req.BitsPerPixel = oneBit ? 1 : 24;
  req.AvailableBytes = avail - kHeader;
  // A run packet of two bytes gives at most 63 bytes.
  req.MinCodedBytes = rle ? (lineBytes * ht + 62) / 63 * 2 : lineBytes * ht;
  if (!LKAllowPicture(req, Progress, "PCX")) return;
  S.Seek(start + kHeader, soBeginning);
  TLKBitmap& B = *Bitmap;
  B.Allocate(w, ht, oneBit ? lk1g : lk24RGB);
  // Every row is written whole below (what the lines do not cover is
  // zeroed), so the picture is not cleared first.
  const size_t rowLen = size_t(B.GetRowLen());
  auto zeroFrom = [&](Integer y0) {
    for (Integer y = y0; y < ht; ++y) std::memset(B.GetScanLine(y), 0, rowLen);
  };
  TLineDecoder dec{S, pixelBytes, rle};
  std::vector<Byte> line(static_cast<size_t>(lineBytes));
  const size_t plane = size_t(bpl);
  const double factor = 100.0 / ht;
  for (Integer y = 0; y < ht; ++y) {
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * factor));
    if (LKAborted(Progress)) {
      zeroFrom(y);
      S.Seek(start + avail, soBeginning);
      return;
    }
    const bool whole = dec.Line(line.data(), line.size());
    Byte* row = static_cast<Byte*>(B.GetScanLine(y));
    const Byte* l = line.data();
    size_t done = 0;  // bytes of the row written
    if (oneBit) {
      done = std::min<size_t>(plane, size_t(w + 7) / 8);
      std::memcpy(row, l, done);
    } else if (planes == 1 && bits == 8) {
      TRGB* px = reinterpret_cast<TRGB*>(row);
      const Integer n = std::min<Integer>(w, bpl);
      for (Integer x = 0; x < n; ++x) px[x] = pal256[l[x]];
      done = size_t(n) * 3;
    } else if (planes == 1 && (bits == 4 || bits == 2)) {
      TRGB* px = reinterpret_cast<TRGB*>(row);
      const Integer perByte = 8 / bits, mask = (1 << bits) - 1;
      const Integer n = std::min<Int64>(w, Int64(bpl) * perByte);
      for (Integer x = 0; x < n; ++x) {
        const Integer shift = 8 - bits * (x % perByte + 1);
        px[x] = pal16[(l[x / perByte] >> shift) & mask];
      }
      done = size_t(n) * 3;
    } else if (planes >= 3 && bits == 8) {
      TRGB* px = reinterpret_cast<TRGB*>(row);
      const Integer n = std::min<Integer>(w, bpl);
      const Byte* r = l;
      const Byte* g = l + plane;
      const Byte* b = l + 2 * plane;
      for (Integer x = 0; x < n; ++x) px[x] = TRGB{b[x], g[x], r[x]};
      done = size_t(n) * 3;
    } else if (bits == 1 && planes <= 4) {
      // Bit planes: the first line gives bit 0 of the 16-colour index.
      TRGB* px = reinterpret_cast<TRGB*>(row);
      const Integer n = std::min<Int64>(w, Int64(bpl) * 8);
      for (Integer x = 0; x < n; ++x) {
        Integer idx = 0;
        for (Integer p = 0; p < planes; ++p) idx |= ((l[p * plane + x / 8] >> (7 - x % 8)) & 1) << p;
        px[x] = pal16[idx];
      }
      done = size_t(n) * 3;
    }
    if (done < rowLen) std::memset(row + done, 0, rowLen - done);
    if (!whole) {
      zeroFrom(y + 1);
      S.Seek(start + avail, soBeginning);
      return Fail(Progress);
    }
  }
  S.Seek(start + avail, soBeginning);
  // The rows are kept; the flag says their colours are not the picture's.
  if (!paletteFound) LKAbort(Progress, "PCX: the palette at the end of the data is missing");
}

namespace {

// Codes the Count pixel bytes of one plane line as PCX runs into Out; an odd
// Count is followed by a literal zero, the pad byte of the even line.
void EncodeLine(const Byte* L, size_t Count, std::vector<Byte>& Out) {
  size_t i = 0;
  while (i < Count) {
    const Byte v = L[i];
    size_t run = 1;
    while (i + run < Count && run < 63 && L[i + run] == v) ++run;
    if (run > 1 || v >= 192) {
      Out.push_back(Byte(192 + run));
      Out.push_back(v);
    } else {
      Out.push_back(v);
    }
    i += run;
  }
  if (Count % 2) Out.push_back(0);
}

}  // namespace

void WritePcxStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || !Bitmap || Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0) return Fail(Progress);
  TStream& S = *Stream;
  TLKBitmap& B = *Bitmap;
  std::atomic<bool>* abort = Progress.AbortFlag;
  const Integer w = B.GetWidth(), ht = B.GetHeight();
  if (w > 65535 || ht > 65535) return LKAbort(Progress, "PCX: picture too large for the format");
  Integer product = Params.BITSPERSAMPLE * Params.SAMPLESPERPIXEL;
  if (Params.BITSPERSAMPLE == 1) product = 1;
  if (product != 1 && product != 4 && product != 8) product = 24;
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* src = &B;
  TRGB dark{0, 0, 0}, light{255, 255, 255};
  if (product == 1) {
    if (B.GetPixelFormat() != lk1g) {
      copy = lkcodec::ConvertTo1bitEx(B, dark, light);
      if (!copy) {
        copy = std::make_unique<TLKBitmap>();
        copy->Assign(&B);
        copy->SetPixelFormat(lk1g);
        dark = TRGB{0, 0, 0};
        light = TRGB{255, 255, 255};
      }
      src = copy.get();
    }
  } else {
    src = lkcodec::WorkingCopy(B, copy, false, false);
  }
  const Integer bits = product == 1 ? 1 : product == 4 ? 4 : 8;
  const Integer planes = product == 24 ? 3 : 1;
  Integer bpl = product == 1 ? (w + 7) / 8 : product == 4 ? (w + 1) / 2 : w;
  const Integer coded = bpl;  // bytes of the line that carry pixels
  if (bpl % 2) ++bpl;
  std::vector<TRGB> pal(product == 4 ? 16 : product == 8 ? 256 : 0, TRGB{0, 0, 0});
  std::unique_ptr<TLKQuantizer> q;
  if (!pal.empty()) q = std::make_unique<TLKQuantizer>(src, pal.data(), Integer(pal.size()) - 1, Integer(pal.size()));
  const bool rle = Params.PCX_COMPRESSION != ioPCX_UNCOMPRESSED;
  Byte h[kHeader] = {};
  h[0] = 10;
  h[1] = Byte(Params.PCX_VERSION);
  h[2] = rle ? 1 : 0;
  h[3] = Byte(bits);
  PutLe16(h + 8, Word(w - 1));
  PutLe16(h + 10, Word(ht - 1));
  PutLe16(h + 12, Word(std::clamp(Params.DPIX, 0, 65535)));
  PutLe16(h + 14, Word(std::clamp(Params.DPIY, 0, 65535)));
  auto putPal = [&](Byte* at, const TRGB& c) {
    at[0] = c.r;
    at[1] = c.g;
    at[2] = c.b;
  };
  if (product == 1) {
    putPal(h + 16, dark);
    putPal(h + 19, light);
  } else if (product == 4) {
    for (Integer i = 0; i < 16; ++i) putPal(h + 16 + i * 3, pal[size_t(i)]);
  }
  h[65] = Byte(planes);
  PutLe16(h + 66, Word(bpl));
  PutLe16(h + 68, product == 24 ? 0 : 1);
  SafeStreamWrite(&S, abort, h, kHeader);
  std::vector<Byte> line(size_t(bpl) * planes, 0), out;
  out.reserve(line.size() * 2 + 2);
  const double factor = 100.0 / ht;
  const Integer maxIdx = Integer(pal.size()) - 1;
  for (Integer y = 0; y < ht; ++y) {
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * factor));
    if (LKAborted(Progress)) return;
    const Byte* s = static_cast<const Byte*>(src->GetScanLine(y));
    if (product == 1) {
      std::memcpy(line.data(), s, size_t(coded));
    } else if (product == 24) {
      const TRGB* px = reinterpret_cast<const TRGB*>(s);
      Byte* r = line.data();
      Byte* g = r + bpl;
      Byte* b = g + bpl;
      for (Integer x = 0; x < w; ++x) {
        r[x] = px[x].r;
        g[x] = px[x].g;
        b[x] = px[x].b;
      }
    } else {
      const TRGB* px = reinterpret_cast<const TRGB*>(s);
      if (product == 8) {
        for (Integer x = 0; x < w; ++x) line[size_t(x)] = Byte(std::clamp(q->GetRGBIndex(px[x]), 0, maxIdx));
      } else {
        std::fill(line.begin(), line.end(), 0);
        for (Integer x = 0; x < w; ++x) {
          const Byte i = Byte(std::clamp(q->GetRGBIndex(px[x]), 0, maxIdx));
          line[size_t(x / 2)] |= x % 2 ? i : Byte(i << 4);
        }
      }
    }
    if (!rle) {
      SafeStreamWrite(&S, abort, line.data(), Integer(line.size()));
      continue;
    }
    out.clear();
    for (Integer p = 0; p < planes; ++p) EncodeLine(line.data() + size_t(p) * bpl, size_t(coded), out);
    SafeStreamWrite(&S, abort, out.data(), Integer(out.size()));
  }
  if (product == 8 && !LKAborted(Progress)) {
    Byte tail[769];
    tail[0] = 12;
    for (Integer i = 0; i < 256; ++i) putPal(tail + 1 + i * 3, pal[size_t(i)]);
    SafeStreamWrite(&S, abort, tail, 769);
  }
}

void ReadPcx(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  ReadPcxStream(&f, Bitmap, Params, f.Size(), Progress, false);
}

void WritePcx(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  lkcodec::WriteFileUnlessAborted(FileName, Progress,
                                  [&](TStream& f) { WritePcxStream(&f, Bitmap, Params, Progress); });
}
