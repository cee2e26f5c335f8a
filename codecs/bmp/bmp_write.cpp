// BMP writer and the run-length row coder.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/bmp/bmp_format.h"
#include "codecs/bmp/bmpfilt.h"
#include "codecs/lkcodecutil.h"
#include "core/lkquantizer.h"

using namespace bmpcodec;
using lkcodec::PutLe16;
using lkcodec::PutLe32;

void BMPEncodeRLERow(const Byte* P, Integer Count, bool Four, std::vector<Byte>& Out) {
  Integer lit = 0;  // start of the pending literal pixels
  auto literals = [&](Integer from, Integer to) {
    while (from < to) {
      const Integer n = std::min(to - from, 255);
      if (n == 1) {
        Out.push_back(1);
        Out.push_back(Four ? Byte(P[from] << 4) : P[from]);
      } else if (n == 2) {
        if (Four) {
          Out.push_back(2);
          Out.push_back(Byte((P[from] << 4) | (P[from + 1] & 15)));
        } else {
          Out.insert(Out.end(), {1, P[from], 1, P[from + 1]});
        }
      } else {
        Out.push_back(0);
        Out.push_back(Byte(n));
        Integer bytes = 0;
        if (Four) {
          for (Integer k = 0; k < n; k += 2, ++bytes)
            Out.push_back(Byte((P[from + k] << 4) | (k + 1 < n ? P[from + k + 1] & 15 : 0)));
        } else {
          Out.insert(Out.end(), P + from, P + from + n);
          bytes = n;
        }
        if (bytes & 1) Out.push_back(0);
      }
      from += n;
    }
  };
  Integer i = 0;
  while (i < Count) {
    if (i + 1 < Count && P[i] == P[i + 1]) {
      literals(lit, i);
      Integer n = 2;
      while (i + n < Count && n < 255 && P[i + n] == P[i]) ++n;
      Out.push_back(Byte(n));
      Out.push_back(Four ? Byte((P[i] << 4) | (P[i] & 15)) : P[i]);
      i += n;
      lit = i;
    } else {
      ++i;
      if (i - lit > 255) {
        literals(lit, i);
        lit = i;
      }
    }
  }
  literals(lit, Count);
  Out.push_back(0);
  Out.push_back(0);
}

void BMPWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    bool WriteAlpha) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "BMP: damaged or unsupported data");
  TStream& S = *Stream;
  std::atomic<bool>* abort = Progress.AbortFlag;
  TLKBitmap& B = *Bitmap;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  Integer depth = Params.BITSPERSAMPLE == 1 || Params.BITSPERSAMPLE == 4 ? Params.BITSPERSAMPLE
                  : Params.SAMPLESPERPIXEL == 1                          ? 8
                  : B.GetHasAlphaChannel()                               ? 32
                                                                         : 24;
  const bool core = Params.BMP_VERSION == ioBMP_BMOS2V1;
  if (core && (w > 65535 || h > 65535)) return LKAbort(Progress, "BMP: damaged or unsupported data");
  const bool rle = Params.BMP_COMPRESSION == ioBMP_RLE && (depth == 4 || depth == 8) && !core;
  const Integer headerSize = core ? kCoreHeaderSize : Params.BMP_VERSION == ioBMP_BMOS2V2 ? kOS2V2HeaderSize : kInfoHeaderSize;
  const Int64 start = S.Position();
  Byte fh[kFileHeaderSize] = {'B', 'M'};
  SafeStreamWrite(&S, abort, fh, kFileHeaderSize);
  Byte ih[kOS2V2HeaderSize] = {};
  auto fillInfo = [&](Integer bitCount, DWORD imageSize) {
    PutLe32(ih, DWORD(headerSize));
    if (core) {
      PutLe16(ih + 4, Word(w));
      PutLe16(ih + 6, Word(h));
      PutLe16(ih + 8, 1);
      PutLe16(ih + 10, Word(bitCount));
      return;
    }
    PutLe32(ih + 4, DWORD(w));
    PutLe32(ih + 8, DWORD(h));
    PutLe16(ih + 12, 1);
    PutLe16(ih + 14, Word(bitCount));
    PutLe32(ih + 16, rle ? (depth == 8 ? 1 : 2) : 0);
    PutLe32(ih + 20, imageSize);
    PutLe32(ih + 24, DWORD(lkcodec::DpiToPpm(Params.DPIX)));
    PutLe32(ih + 28, DWORD(lkcodec::DpiToPpm(Params.DPIY)));
    PutLe32(ih + 32, depth <= 8 ? 1u << depth : 0);
    PutLe32(ih + 36, depth <= 8 ? 1u << depth : depth == 24 ? 16777216u : 1u);
  };
  fillInfo(0, 0);
  SafeStreamWrite(&S, abort, ih, headerSize);

  std::unique_ptr<TLKBitmap> copy;
  std::unique_ptr<TLKQuantizer> q;
  TLKBitmap* src = &B;
  std::vector<Byte> palBytes;
  const Integer entry = core ? 3 : 4;
  auto putPalette = [&](const std::vector<TRGB>& pal) {
    Params.SetColorMapCount(Integer(pal.size()));
    std::copy(pal.begin(), pal.end(), Params.ColorMap.begin());
    palBytes.assign(pal.size() * size_t(entry), 0);
    for (size_t i = 0; i < pal.size(); ++i) {
      palBytes[i * entry] = pal[i].b;
      palBytes[i * entry + 1] = pal[i].g;
      palBytes[i * entry + 2] = pal[i].r;
    }
    SafeStreamWrite(&S, abort, palBytes.data(), Integer(palBytes.size()));
  };
  if (depth == 4 || depth == 8) {
    src = lkcodec::WorkingCopy(B, copy, false, true);
    std::vector<TRGB> pal(size_t(1) << depth, TRGB{0, 0, 0});
    q = std::make_unique<TLKQuantizer>(src, pal.data(), Integer(pal.size()) - 1, Integer(pal.size()), -1, 0);
    putPalette(pal);
  } else if (depth == 1) {
    std::vector<TRGB> pal = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    if (B.GetPixelFormat() != lk1g) {
      TRGB dark{}, light{};
      copy = lkcodec::ConvertTo1bitEx(B, dark, light);
      if (copy) {
        pal = {dark, light};
      } else {
        copy = std::make_unique<TLKBitmap>();
        copy->Assign(&B);
        copy->SetPixelFormat(lk1g);
      }
      src = copy.get();
    }
    putPalette(pal);
  } else {
    src = lkcodec::WorkingCopy(B, copy, false, false);
  }
  const Int64 pixelStart = S.Position();
  const Int64 rowLen = RowBytes(w, depth);
  std::vector<Byte> row(static_cast<size_t>(rowLen) + 8, 0), idx(static_cast<size_t>(w) + 1, 0), out;
  TLKBitmap* alphaCh = depth == 32 && WriteAlpha && B.GetHasAlphaChannel() ? B.GetAlphaChannel() : nullptr;
  for (Integer r = 0; r < h; ++r) {
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(r * 100.0 / h));
    if (LKAborted(Progress)) return;
    const Integer y = h - 1 - r;
    const Byte* s = static_cast<const Byte*>(src->GetScanLine(y));
    std::fill(row.begin(), row.end(), 0);
    if (depth == 4 || depth == 8) {
      if (src->GetPixelFormat() == lk8p) {
        std::memcpy(idx.data(), s, size_t(w));
      } else {
        const TRGB* px = reinterpret_cast<const TRGB*>(s);
        for (Integer x = 0; x < w; ++x) idx[size_t(x)] = Byte(std::clamp(q->GetRGBIndex(px[x]), 0, (1 << depth) - 1));
      }
      if (depth == 4)
        for (Integer x = 0; x < w; ++x) idx[size_t(x)] &= 15;
      if (rle) {
        out.clear();
        BMPEncodeRLERow(idx.data(), w, depth == 4, out);
        SafeStreamWrite(&S, abort, out.data(), Integer(out.size()));
        continue;
      }
      if (depth == 8) {
        std::memcpy(row.data(), idx.data(), size_t(w));
      } else {
        for (Integer x = 0; x < w; ++x) row[size_t(x / 2)] |= Byte(x & 1 ? idx[size_t(x)] : idx[size_t(x)] << 4);
      }
    } else if (depth == 1) {
      std::memcpy(row.data(), s, size_t((w + 7) / 8));
    } else if (depth == 24) {
      std::memcpy(row.data(), s, size_t(w) * 3);
    } else {
      const TRGB* px = reinterpret_cast<const TRGB*>(s);
      const Byte* a = alphaCh ? static_cast<const Byte*>(alphaCh->GetScanLine(y)) : nullptr;
      for (Integer x = 0; x < w; ++x) {
        row[size_t(x) * 4] = px[x].b;
        row[size_t(x) * 4 + 1] = px[x].g;
        row[size_t(x) * 4 + 2] = px[x].r;
        row[size_t(x) * 4 + 3] = a ? a[x] : 255;
      }
    }
    SafeStreamWrite(&S, abort, row.data(), Integer(rowLen));
  }
  if (Params.BMP_COMPRESSION == ioBMP_RLE && (depth == 4 || depth == 8)) {
    const Byte eob[2] = {0, 1};
    SafeStreamWrite(&S, abort, eob, 2);
  }
  src->FreeAllMaps();
  if (LKAborted(Progress)) return;
  const Int64 end = S.Position();
  S.Seek(start, soBeginning);
  PutLe32(fh + 2, DWORD(end - start));
  PutLe32(fh + 10, DWORD(pixelStart - start));
  SafeStreamWrite(&S, abort, fh, kFileHeaderSize);
  fillInfo(depth, DWORD(end - pixelStart));
  SafeStreamWrite(&S, abort, ih, headerSize);
  S.Seek(end, soBeginning);
}
