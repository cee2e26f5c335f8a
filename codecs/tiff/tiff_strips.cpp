// TIFF strip and tile decoding: reads a page's strips or tiles one at a
// time, decompresses them row by row (none, CCITT, LZW, PackBits, JPEG),
// undoes the horizontal predictor, spreads small samples to bytes and
// converts each row by photometric interpretation into the bitmap.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/ccitt.h"
#include "codecs/tiff/tiffvars.h"
#include "core/lkbytereader.h"
#include "io/lkconvertcolor.h"

namespace {

// A tile may hold at most this many pixels: real files use tiles of a few
// hundred pixels a side, and a damaged tile size must not claim gigabytes.
constexpr Int64 kMaxTilePixels = Int64{1} << 26;

std::atomic<bool>& AbortOf(TProgressRec& P, std::atomic<bool>& Own) { return P.AbortFlag ? *P.AbortFlag : Own; }

// Reads Count bytes at Base + Offset; fewer when the stream ends first.
// Fill order 2 puts each byte's first bit in its least significant place;
// the fax decoders read that themselves, other codings get the bytes
// reversed back before decoding.
void UndoFillOrder(const TTIFFVars& V, std::vector<Byte>& Data) {
  if (V.FillOrder != 2 || (V.Compression >= 2 && V.Compression <= 4) || V.Compression == 6 || V.Compression == 7)
    return;
  for (Byte& b : Data) {
    b = Byte((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = Byte((b & 0xCC) >> 2 | (b & 0x33) << 2);
    b = Byte((b & 0xAA) >> 1 | (b & 0x55) << 1);
  }
}

std::vector<Byte> ReadBytes(const TTIFFEnv& E, Int64 Offset, Int64 Count) {
  const Int64 size = E.Stream->GetSize();
  const Int64 pos = E.Base + Offset;
  std::vector<Byte> out;
  if (Offset < 0 || pos < 0 || pos >= size || Count <= 0) return out;
  Count = std::min(Count, size - pos);
  out.resize(static_cast<size_t>(Count));
  E.Stream->SetPosition(pos);
  const Integer got = E.Stream->Read(out.data(), static_cast<Integer>(Count));
  out.resize(static_cast<size_t>(std::max(got, 0)));
  return out;
}

// Decoding state of one strip or tile (or one plane of it).
struct TRowDecoder {
  const TTIFFVars* V = nullptr;
  const Byte* Data = nullptr;
  Integer Length = 0;
  Int64 Pos = 0;                // bytes, or bits for compressions 3 and 4
  std::intptr_t LZW = 0;
  std::vector<Byte> Ref;        // reference row of the 2-D fax codings
  std::vector<Byte> Buffer;     // one coded row (and the spread row)
  std::vector<Byte> Spread;

  ~TRowDecoder() {
    if (LZW && V && V->LZW) V->LZW(nullptr, 0, 0, LZW);
  }

  void Start(const Byte* D, Integer L, Integer RowLen, Integer Width) {
    if (LZW && V->LZW) V->LZW(nullptr, 0, 0, LZW);
    LZW = 0;
    Data = D;
    Length = L;
    Pos = 0;
    Buffer.assign(static_cast<size_t>(RowLen), 0);
    Ref.assign(static_cast<size_t>((Width + 7) / 8), 0xFF);
  }

  // The next coded row of RowLen bytes and Width pixels, or nil.
  const Byte* Next(Integer Width, Integer RowLen) {
    const size_t len = static_cast<size_t>(RowLen);
    switch (V->Compression) {
      case 1: {
        if (Pos >= Length) return nullptr;
        const Int64 left = Length - Pos;
        const Byte* src = Data + Pos;
        Pos += std::min<Int64>(left, RowLen);
        if (left >= RowLen && V->BitsPerSample >= 8) return src;  // used in place
        std::memset(Buffer.data(), 0, len);
        std::memcpy(Buffer.data(), src, static_cast<size_t>(std::min<Int64>(left, RowLen)));
        return Buffer.data();
      }
      case 2: {
        if (Pos >= Length) return nullptr;
        const Integer used =
            CCITTHuffmanGetLine(Buffer.data(), Data + Pos, static_cast<Integer>(Length - Pos), Width, V->FillOrder);
        if (used <= 0) return nullptr;
        Pos += used;
        return Buffer.data();
      }
      case 3:
      case 4: {
        if (Pos >= Int64{Length} * 8) return nullptr;
        if (V->Compression == 3 && !(V->T4Options & 1))
          Pos = _CCITTHuffmanGetLine(Buffer.data(), Data, Length, Width, Pos, V->FillOrder);
        else
          Pos = CCITT3_2D_GetLine(Buffer.data(), Data, Length, Width, Ref.data(), Pos, V->FillOrder,
                                  V->Compression == 3 || (V->T4Options & 4));
        return Buffer.data();
      }
      case 5: {
        if (!V->LZW) return nullptr;
        return V->LZW(Data, Length, RowLen, LZW);
      }
      case 32773: {
        if (Pos >= Length) return nullptr;
        const Byte* src = Data + Pos;
        TIFFPackBitsDecode(src, Data + Length, Buffer.data(), len);
        Pos = src - Data;
        return Buffer.data();
      }
      default:
        return Buffer.data();
    }
  }
};

Integer RowBytes(const TTIFFVars& V, Integer Width, bool Planar) {
  const Int64 bits = Int64{Width} * V.BitsPerSample * (Planar ? 1 : V.SamplesPerPixel);
  return static_cast<Integer>((bits + 7) / 8);
}

// Spreads samples below 8 bits (other than bilevel) to one byte each,
// undoes the predictor and shifts 4-bit grey up; returns the row to convert.
const Byte* Prepare(TRowDecoder& D, const Byte* Row, Integer Width, Integer Samples) {
  const TTIFFVars& V = D.V[0];
  const Integer bits = V.BitsPerSample;
  const size_t n = static_cast<size_t>(Width) * static_cast<size_t>(Samples);
  const bool fax = V.Compression >= 2 && V.Compression <= 4;
  if (bits > 1 && bits < 8 && !(fax && bits != 4)) {
    D.Spread.resize(n);
    Int64 bit = 0;
    for (size_t i = 0; i < n; ++i, bit += bits) {
      DWORD v = 0;
      for (Integer b = 0; b < bits; ++b) {
        const Int64 p = bit + b;
        v = (v << 1) | ((Row[p >> 3] >> (7 - (p & 7))) & 1);
      }
      D.Spread[i] = static_cast<Byte>(v);
    }
    Row = D.Spread.data();
  }
  if (V.Predictor == 2 && V.Compression == 5) {
    Byte* r = const_cast<Byte*>(Row);
    if (bits == 8) {
      const size_t s = static_cast<size_t>(Samples);
      for (size_t i = s; i < n; ++i) r[i] = Byte(r[i] + r[i - s]);
    } else if (bits == 16) {
      const size_t st = static_cast<size_t>(Samples);
      for (size_t i = st; i < n; ++i) {
        Byte* p = r + 2 * i;
        const Byte* q = r + 2 * (i - st);
        if (V.LittleEndian) {
          const Word w = Word((p[0] | (p[1] << 8)) + (q[0] | (q[1] << 8)));
          p[0] = Byte(w);
          p[1] = Byte(w >> 8);
        } else {
          const Word w = Word(((p[0] << 8) | p[1]) + ((q[0] << 8) | q[1]));
          p[0] = Byte(w >> 8);
          p[1] = Byte(w);
        }
      }
    }
  }
  // 4-bit grey spreads over the whole range (15 is white, 255).
  if (bits == 4 && (V.Photometric == 0 || V.Photometric == 1) && Row == D.Spread.data())
    for (size_t i = 0; i < n; ++i) D.Spread[i] = Byte(D.Spread[i] * 17);
  return Row;
}

Word Word16(const Byte* p, bool LE) { return LE ? LKGetLE16(p) : LKGetBE16(p); }

// Converts Width pixels of a prepared row into the bitmap's row Y from
// column X, clipped to the bitmap's width.
void PutRow(const TTIFFVars& V, const Byte* Row, Integer Width, TLKBitmap* B, Integer Y, Integer X,
            std::vector<Byte>& Tmp) {
  const Integer bw = B->GetWidth();
  if (Y < 0 || Y >= B->GetHeight() || X >= bw) return;
  const Integer n = std::min(Width, bw - X);
  const TLKPixelFormat pf = B->GetPixelFormat();
  Byte* out = static_cast<Byte*>(B->GetScanLine(Y));
  const Integer ph = V.Photometric, spp = V.SamplesPerPixel, bits = V.BitsPerSample;
  const bool le = V.LittleEndian;
  TLKMask* mask = V.IgnoreAlpha ? nullptr : V.AlphaMask;
  Byte* maskRow = mask && Y < mask->GetHeight() ? mask->GetScanLine(Y) : nullptr;
  const size_t s = static_cast<size_t>(spp);

  if (pf == lk1g) {
    // Bilevel: CCITT rows come as 1 = white; other codings as the file holds
    // them (photometric 0: 1 = black).
    const bool fax = V.Compression >= 2 && V.Compression <= 4;
    const bool invert = fax ? ph == 1 : ph == 0;
    Byte* o = out + X / 8;
    const size_t bytes = static_cast<size_t>((n + 7) / 8);
    for (size_t i = 0; i < bytes; ++i) o[i] = invert ? Byte(~Row[i]) : Row[i];
    return;
  }
  if (pf == lk8g) {
    for (Integer x = 0; x < n; ++x) out[X + x] = ph == 0 ? Byte(255 - Row[x * s]) : Row[x * s];
    return;
  }
  if (pf == lk8p) {
    for (Integer x = 0; x < n; ++x) out[X + x] = Row[x * s];
    return;
  }
  if (pf == lk16g) {
    auto* o = reinterpret_cast<Byte*>(out) + 2 * X;
    for (Integer x = 0; x < n; ++x) {
      Word w = Word16(Row + 2 * x * s, le);
      if (ph == 0) w = Word(65535 - w);
      o[2 * x] = Byte(w);
      o[2 * x + 1] = Byte(w >> 8);
    }
    return;
  }
  if (pf == lkCMYK) {
    Byte* o = out + 4 * X;
    for (Integer x = 0; x < n; ++x)
      for (Integer c = 0; c < 4; ++c)
        o[4 * x + c] = bits == 16 ? Byte(255 - Row[(x * s + c) * 2 + (le ? 1 : 0)]) : Byte(255 - Row[x * s + c]);
    return;
  }
  if (pf == lk48RGB) {
    Byte* o = out + 6 * X;
    for (Integer x = 0; x < n; ++x)
      for (Integer c = 0; c < 3; ++c) {
        const Word w = Word16(Row + 2 * (x * s + c), le);
        o[6 * x + 2 * c] = Byte(w);
        o[6 * x + 2 * c + 1] = Byte(w >> 8);
      }
    return;
  }
  // lk24RGB: blue, green, red.
  Byte* o = out + 3 * X;
  auto convert = [&](const Byte* in, TLKColorSpace space, size_t inStride) {
    Tmp.resize(static_cast<size_t>(n) * inStride);
    for (Integer x = 0; x < n; ++x) std::memcpy(&Tmp[x * inStride], in + x * s * (bits == 16 ? 2 : 1), inStride);
    LKConvertColorFunction(Tmp.data(), space, o, lkcmsBGR, n, V.Params);
  };
  if (ph == 2 && (spp == 3 || spp == 4) && bits == 8) {
    if (spp == 4 && maskRow) {
      for (Integer x = 0; x < n; ++x) {
        const Byte* p = Row + 4 * x;
        o[3 * x] = p[2];
        o[3 * x + 1] = p[1];
        o[3 * x + 2] = p[0];
        maskRow[X + x] = p[3];
      }
      mask->SetFull(false);
    } else if (spp == 3) {
      LKConvertColorFunction(const_cast<Byte*>(Row), lkcmsRGB, o, lkcmsBGR, n, V.Params);
    } else {
      convert(Row, lkcmsRGB, 3);
    }
  } else if (ph == 2 && (spp == 3 || spp == 4) && bits == 16) {
    convert(Row, le ? lkcmsRGB48 : lkcmsRGB48_SE, 6);
  } else if (ph == 2 && spp == 1 && bits == 16) {
    for (Integer x = 0; x < n; ++x) {
      const Word w = Word16(Row + 2 * x, le);
      o[3 * x] = Byte((w & 31) * 8);
      o[3 * x + 1] = Byte(((w >> 5) & 31) * 8);
      o[3 * x + 2] = Byte(((w >> 10) & 31) * 8);
    }
  } else if (ph == 5 && spp >= 4 && (bits == 8 || bits == 16)) {
    Tmp.resize(static_cast<size_t>(n) * 4);
    for (Integer x = 0; x < n; ++x)
      for (Integer c = 0; c < 4; ++c)
        Tmp[4 * x + c] = bits == 16 ? Byte(255 - Row[(x * s + c) * 2 + (le ? 1 : 0)]) : Byte(255 - Row[x * s + c]);
    LKConvertColorFunction(Tmp.data(), lkcmsCMYK, o, lkcmsBGR, n, V.Params);
  } else if (ph == 8 && spp >= 3 && bits == 8) {
    convert(Row, lkcmsCIELab, 3);
  } else if (ph == 6 && spp == 3 && bits == 8 && V.YCbCrSubX == 2 && V.YCbCrSubY == 1) {
    Tmp.resize(static_cast<size_t>(n) * 3 + 6);
    for (Integer x = 0; x + 1 < n + 1; x += 2) {
      const Byte* g = Row + 2 * x;  // Y0 Y1 Cb Cr
      Tmp[3 * x] = g[0];
      Tmp[3 * x + 1] = g[2];
      Tmp[3 * x + 2] = g[3];
      Tmp[3 * x + 3] = g[1];
      Tmp[3 * x + 4] = g[2];
      Tmp[3 * x + 5] = g[3];
    }
    LKConvertColorFunction(Tmp.data(), lkcmsYCBCR, o, lkcmsBGR, n, V.Params);
  } else if ((ph == 0 || ph == 1) && spp == 1 && bits == 16) {
    const int shift = V.Software.rfind("Look@Molli v1.1", 0) == 0 ? 4 : 8;
    for (Integer x = 0; x < n; ++x) {
      Word w = Word16(Row + 2 * x, le);
      if (ph == 0) w = Word(65535 - w);
      const Byte g = Byte(std::min(255, w >> shift));
      o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = g;
    }
  } else if ((ph == 0 || ph == 1) && spp == 2 && bits == 8) {
    for (Integer x = 0; x < n; ++x) {
      const Byte g = ph == 0 ? Byte(255 - Row[2 * x]) : Row[2 * x];
      o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = g;
      if (maskRow) maskRow[X + x] = Row[2 * x + 1];
    }
    if (maskRow) mask->SetFull(false);
  } else if ((ph == 0 || ph == 1) && spp == 1 && (bits == 8 || bits == 4 || (bits > 1 && bits < 8))) {
    for (Integer x = 0; x < n; ++x) {
      Byte g = Row[x];
      if (bits < 8 && bits != 4) g = Byte(g * 255 / ((1 << bits) - 1));
      if (ph == 0) g = Byte(255 - g);
      o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = g;
    }
  } else if (ph == 3 && spp == 2 && bits == 8) {
    for (Integer x = 0; x < n; ++x) {
      const TRGB c = Row[2 * x] < V.ColorMap.size() ? V.ColorMap[Row[2 * x]] : TRGB{};
      o[3 * x] = c.b;
      o[3 * x + 1] = c.g;
      o[3 * x + 2] = c.r;
      if (maskRow) maskRow[X + x] = Byte(255 - Row[2 * x + 1]);
    }
  } else if (ph == 3 && bits <= 8) {
    for (Integer x = 0; x < n; ++x) {
      const Byte i = bits == 1 ? Byte((Row[x >> 3] >> (7 - (x & 7))) & 1) : Row[x * s];
      const TRGB c = i < V.ColorMap.size() ? V.ColorMap[i] : TRGB{};
      o[3 * x] = c.b;
      o[3 * x + 1] = c.g;
      o[3 * x + 2] = c.r;
    }
  }
}

// Decodes a JPEG strip or tile (compression 7) and copies it to column X,
// row Y of the bitmap. False when the JPEG reader gave up.
bool ReadJpegBlock(const TTIFFVars& V, const Byte* Data, Integer Length, TLKBitmap* B, Integer Y, Integer X,
                   Integer Width, Integer Rows, TProgressRec& Progress, bool Single) {
  TMemoryStream data, tables;
  data.Write(Data, Length);
  data.SetPosition(0);
  if (!V.JPEGTables.empty()) {
    tables.Write(V.JPEGTables.data(), static_cast<Integer>(V.JPEGTables.size()));
    tables.SetPosition(0);
  }
  TIOParamsVals jp(nullptr);
  std::atomic<bool> aborted{false};
  TProgressRec p;
  if (Single) p = Progress;
  p.AbortFlag = &aborted;
  const bool raw = V.Photometric == 2 && !V.JPEGTables.empty();
  TLKBitmap part;
  ReadJPegStream(&data, nullptr, nullptr, jp, p, true, false, false, false, false, false, -1);
  if (aborted.load() || jp.WIDTH <= 0 || jp.HEIGHT <= 0 || jp.WIDTH > Width + 16 || jp.HEIGHT > Rows + 16) {
    // Abbreviated data needs the tables to read its header.
    if (V.JPEGTables.empty()) return false;
    aborted = false;
  }
  data.SetPosition(0);
  ReadJPegStream(&data, V.JPEGTables.empty() ? nullptr : &tables, &part, jp, p, false, raw, false, true, false, true,
                 Rows);
  if (aborted.load() || part.IsEmpty() || part.GetWidth() > Width + 16 || part.GetHeight() > Rows + 16) return false;
  // Only data coded as YCbCr comes out of the raw read as it is stored.
  const bool swap = raw && jp.JPEG_COLORSPACE == ioJPEG_YCbCr;
  if (part.GetPixelFormat() != lk24RGB) part.ConvertToPixelFormat(lk24RGB);
  const Integer bw = B->GetWidth();
  for (Integer y = 0; y < part.GetHeight() && y < Rows && Y + y < B->GetHeight(); ++y) {
    const Byte* src = static_cast<const Byte*>(part.GetScanLine(y));
    Byte* dst = static_cast<Byte*>(B->GetScanLine(Y + y));
    const Integer n = std::min({part.GetWidth(), Width, bw - X});
    if (n <= 0) continue;
    if (B->GetPixelFormat() == lk24RGB) {
      for (Integer x = 0; x < n; ++x) {
        const Byte* s = src + 3 * x;
        Byte* d = dst + 3 * (X + x);
        // RGB samples read raw come out red first.
        if (swap) {
          d[0] = s[2];
          d[1] = s[1];
          d[2] = s[0];
        } else {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
        }
      }
      // The page's own profile describes the decoded colours, as it does
      // for the other codings (the converter leaves them alone while colour
      // management is off or the page has no profile).
      Byte* seg = dst + 3 * X;
      std::vector<Byte> row(seg, seg + 3 * std::size_t(n));
      LKConvertColorFunction(row.data(), lkcmsBGR, seg, lkcmsBGR, n, V.Params);
    }
  }
  return true;
}

// Decodes one block (strip or tile) of Rows rows and Width pixels into the
// bitmap from row Y, column X. False when a row failed to decode.
bool ReadBlock(TTIFFVars& V, TRowDecoder& D, const std::vector<Byte>& Data, TLKBitmap* B, Integer Y, Integer X,
               Integer Width, Integer Rows, TProgressRec& Progress, std::atomic<bool>& Abort, bool Single,
               std::vector<Byte>& Tmp) {
  if (V.Compression == 7) {
    const bool ok = ReadJpegBlock(V, Data.data(), static_cast<Integer>(Data.size()), B, Y, X, Width, Rows, Progress,
                                  Single);
    return ok;
  }
  const Integer rowLen = RowBytes(V, Width, false);
  D.Start(Data.data(), static_cast<Integer>(Data.size()), rowLen, Width);
  for (Integer r = 0; r < Rows && !Abort.load(); ++r) {
    if (Y + r >= B->GetHeight()) break;
    const Byte* row = D.Next(Width, rowLen);
    if (!row) return false;
    row = Prepare(D, row, Width, V.SamplesPerPixel);
    PutRow(V, row, Width, B, Y + r, X, Tmp);
    ++Progress.Done;
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, LKTrunc(Progress.Done * Progress.Step));
  }
  return true;
}

Int64 ByteCountOf(const TTIFFEnv& E, const std::vector<Integer>& Counts, size_t I, Int64 Offset) {
  const Int64 size = E.Stream->GetSize();
  Int64 c = I < Counts.size() ? static_cast<DWORD>(Counts[I]) : 0;
  if (c == 0 || c > size) c = size - (E.Base + Offset);
  return c;
}

// Separate planes: strip i of plane p is strip p x (count / samples) + i.
// The planes' rows are decoded side by side and interleaved into one
// chunky row, which then converts as contiguous pages do.
void ReadPlanarStrips(const TTIFFEnv& E, TTIFFVars& V, TLKBitmap* B, TProgressRec& Progress,
                      std::atomic<bool>& Abort) {
  const Integer planes = V.SamplesPerPixel;
  const size_t count = V.StripOffsets.size() / static_cast<size_t>(planes);
  if (V.BitsPerSample % 8 != 0 || planes > 16 || count == 0) {
    Abort = true;
    return;
  }
  const Integer rps = V.RowsPerStrip;
  const Integer w = V.ImageWidth;
  const Integer rowLen = RowBytes(V, w, true);
  const size_t bps = static_cast<size_t>(V.BitsPerSample / 8);
  // The predictor works on one sample per pixel inside a plane. The plane's
  // vars outlive the decoders, whose destructors release their LZW states
  // through them.
  TTIFFVars plane = V;
  plane.SamplesPerPixel = 1;
  std::vector<TRowDecoder> dec(static_cast<size_t>(planes));
  std::vector<std::vector<Byte>> data(static_cast<size_t>(planes));
  std::vector<Byte> chunky(static_cast<size_t>(w) * bps * static_cast<size_t>(planes)), tmp;
  Integer y = 0;
  for (size_t i = 0; i < count && y < V.ImageLength && !Abort.load(); ++i, y += rps) {
    for (size_t p = 0; p < dec.size(); ++p) {
      const size_t k = p * count + i;
      const Int64 off = static_cast<DWORD>(V.StripOffsets[k]);
      data[p] = ReadBytes(E, off, ByteCountOf(E, V.StripByteCounts, k, off));
      UndoFillOrder(V, data[p]);
      dec[p].V = &plane;
      dec[p].Start(data[p].data(), static_cast<Integer>(data[p].size()), rowLen, w);
    }
    const Integer rows = std::min(rps, V.ImageLength - y);
    for (Integer r = 0; r < rows && !Abort.load(); ++r) {
      for (size_t p = 0; p < dec.size(); ++p) {
        const Byte* row = dec[p].Next(w, rowLen);
        if (!row) {
          Abort = true;
          return;
        }
        row = Prepare(dec[p], row, w, 1);
        for (Integer x = 0; x < w; ++x)
          std::memcpy(&chunky[(static_cast<size_t>(x) * dec.size() + p) * bps], row + static_cast<size_t>(x) * bps, bps);
      }
      PutRow(V, chunky.data(), w, B, y + r, 0, tmp);
      ++Progress.Done;
      if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, LKTrunc(Progress.Done * Progress.Step));
    }
  }
}

}  // namespace

bool TIFFPackBitsDecode(const Byte*& Src, const Byte* End, Byte* Dst, size_t Len) {
  size_t out = 0;
  while (out < Len && Src < End) {
    const int n = static_cast<signed char>(*Src++);
    if (n >= 0) {
      const size_t k = std::min<size_t>({static_cast<size_t>(n) + 1, Len - out, static_cast<size_t>(End - Src)});
      std::memcpy(Dst + out, Src, k);
      Src += std::min<size_t>(static_cast<size_t>(n) + 1, static_cast<size_t>(End - Src));
      out += k;
    } else if (n != -128) {
      if (Src >= End) break;
      const size_t k = std::min<size_t>(static_cast<size_t>(1 - n), Len - out);
      std::memset(Dst + out, *Src++, k);
      out += k;
    }
  }
  return out == Len;
}

TLKPixelFormat TIFFPixelFormat(const TTIFFVars& V, bool Native) {
  const Integer b = V.BitsPerSample, s = V.SamplesPerPixel, p = V.Photometric;
  if (V.Compression == 7 || V.Compression == 6) return lk24RGB;
  if (b == 1 && s == 1 && p != 3) return lk1g;
  if (Native) {
    if (b == 8 && s == 1 && p == 3) return lk8p;
    if (b == 8 && s == 1 && (p == 0 || p == 1)) return lk8g;
    if (b == 16 && s == 1 && (p == 0 || p == 1)) return lk16g;
    if (b == 8 && s > 3 && p == 5) return lkCMYK;
    if (b == 16 && s == 4 && p == 5) return lkCMYK;
    if (b == 16 && s == 3 && p == 2) return lk48RGB;
  }
  return lk24RGB;
}

void TIFFReadStrips(const TTIFFEnv& E, TTIFFVars& V, TLKBitmap* B, TProgressRec& Progress) {
  std::atomic<bool> own{false};
  std::atomic<bool>& abort = AbortOf(Progress, own);
  const Integer h = V.ImageLength;
  const Integer rps = V.RowsPerStrip > 0 ? std::min(V.RowsPerStrip, h) : h;
  V.RowsPerStrip = rps;
  Progress.Done = 0;
  Progress.Step = 100.0 / std::max(h, 1);
  if (V.PlanarConfig == 2 && V.SamplesPerPixel > 1) {
    ReadPlanarStrips(E, V, B, Progress, abort);
    return;
  }
  TRowDecoder dec;
  dec.V = &V;
  std::vector<Byte> tmp;
  const size_t strips = V.StripOffsets.size();
  const bool single = strips == 1;
  Integer y = 0;
  for (size_t i = 0; i < strips && y < h && !abort.load(); ++i, y += rps) {
    const Int64 off = static_cast<DWORD>(V.StripOffsets[i]);
    std::vector<Byte> data = ReadBytes(E, off, ByteCountOf(E, V.StripByteCounts, i, off));
    UndoFillOrder(V, data);
    if (data.empty()) {
      abort = true;  // a strip outside the stream
      return;
    }
    if (!ReadBlock(V, dec, data, B, y, 0, V.ImageWidth, std::min(rps, h - y), Progress, abort, single, tmp)) {
      abort = true;
      return;
    }
    if (V.Compression == 7 && Progress.OnProgress && !single)
      Progress.OnProgress(Progress.Sender, static_cast<Integer>((i + 1) * 100 / strips));
  }
}

void TIFFReadTiles(const TTIFFEnv& E, TTIFFVars& V, TLKBitmap* B, TProgressRec& Progress) {
  std::atomic<bool> own{false};
  std::atomic<bool>& abort = AbortOf(Progress, own);
  const Integer tw = V.TileWidth, tl = V.TileLength;
  const TLKPixelFormat pf = B->GetPixelFormat();
  if ((V.PlanarConfig == 2 && V.SamplesPerPixel > 1) || tw <= 0 || tl <= 0 || Int64{tw} * tl > kMaxTilePixels ||
      (pf == lk1g && tw % 8 != 0) || pf == lk32f || pf == lkCIELab) {
    abort = true;
    return;
  }
  const size_t tiles = V.TileOffsets.size();
  Progress.Done = 0;
  Progress.Step = 100.0 / std::max<Int64>(Int64{tl} * static_cast<Int64>(tiles), 1);
  TRowDecoder dec;
  dec.V = &V;
  std::vector<Byte> tmp;
  Integer col = 0, row = 0;
  for (size_t i = 0; i < tiles && row < V.ImageLength && !abort.load(); ++i) {
    const Int64 off = static_cast<DWORD>(V.TileOffsets[i]);
    std::vector<Byte> data = ReadBytes(E, off, ByteCountOf(E, V.TileByteCounts, i, off));
    UndoFillOrder(V, data);
    if (data.empty() ||
        !ReadBlock(V, dec, data, B, row, col, tw, tl, Progress, abort, tiles == 1, tmp)) {
      abort = true;
      return;
    }
    col += tw;
    if (col >= V.ImageWidth) {
      col = 0;
      row += tl;
    }
  }
}
