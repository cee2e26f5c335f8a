// Icon and cursor reader and icon writer.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/bmp/bmpfilt.h"
#include "codecs/ico/icofilt.h"
#include "codecs/lkcodecutil.h"
#include "core/lkquantizer.h"
#include "processing/lkfilterresample.h"

using lkcodec::Le16;
using lkcodec::Le32;
using lkcodec::PutLe16;
using lkcodec::PutLe32;

namespace {

constexpr Integer kDirHeader = 6, kDirEntry = 16, kInfoHeader = 40;

bool TryDirectory(TStream* Stream, Word Type) {
  if (!Stream) return false;
  const Int64 pos = Stream->Position();
  bool ok = false;
  if (lkcodec::Remaining(*Stream) >= 23) {
    Byte h[kDirHeader];
    if (lkcodec::ReadFull(*Stream, h, kDirHeader) == kDirHeader && Le16(h) == 0 && Le16(h + 2) == Type && Le16(h + 4)) {
      ok = true;
      for (Integer i = 0; ok && i < Le16(h + 4); ++i) {
        Byte e[kDirEntry];
        ok = lkcodec::ReadFull(*Stream, e, kDirEntry) == kDirEntry && e[3] == 0 && Le32(e + 8) != 0 &&
             Int64(Le32(e + 12)) >= kDirHeader + Int64(i + 1) * kDirEntry;
      }
    }
  }
  Stream->Seek(pos, soBeginning);
  return ok;
}

Int64 RowBytes(Int64 Width, Integer Bits) { return ((Width * Bits + 31) / 32) * 4; }

// Reads one image of an icon or cursor file held in Data.
void ReadImage(const std::vector<Byte>& Data, bool Cursor, TLKBitmap* Bitmap, TIOParamsVals& P, bool ParamsOnly,
               TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha) {
  const Integer count = Le16(Data.data() + 4);
  const Integer index = Cursor ? P.CUR_IMAGEINDEX : P.ICO_IMAGEINDEX;
  // A directory cut short, or (for a load) an index past it, loads nothing.
  const Integer entries = (index >= 0 && index < count ? index : 0) + 1;
  if (count <= 0 || Data.size() < size_t(kDirHeader + entries * kDirEntry))
    return LKAbort(Progress, "ICO: the directory is cut short");
  if (index < 0 || index >= count) {
    if (!ParamsOnly) LKAbort(Progress, "ICO: the directory holds no image " + IntToStr(index));
    return;
  }
  if (!Cursor) {
    for (Integer i = 0; i < 16; ++i) {
      P.ICO_PageSizes[i] = TSize{};
      P.ICO_PageBitCounts[i] = 0;
    }
    for (Integer i = 0; i < std::min(count, 16); ++i) {
      const size_t at = size_t(kDirHeader + i * kDirEntry);
      if (at + kDirEntry > Data.size()) break;
      const Byte* e = Data.data() + at;
      P.ICO_PageSizes[i] = TSize{e[0], e[1]};
      Integer bits = Le16(e + 6);
      if (bits == 0) bits = std::max(_NColToBitsPixel(e[2]), 0);
      P.ICO_PageBitCounts[i] = bits ? bits : 24;
    }
  }
  const Byte* e = Data.data() + kDirHeader + index * kDirEntry;
  const DWORD offset = Le32(e + 12);
  if (Cursor) {
    P.CUR_XHOTSPOT = Le16(e + 4);
    P.CUR_YHOTSPOT = Le16(e + 6);
  }
  if (Int64(offset) + kInfoHeader > Int64(Data.size())) return LKAbort(Progress, "ICO: damaged or unsupported data");
  const Byte* h = Data.data() + offset;
  const Integer hw = Integer(Le32(h + 4)), hh = Integer(Le32(h + 8));
  const Integer xppm = Integer(Le32(h + 24)), yppm = Integer(Le32(h + 28));
  P.DPIX = xppm < 1 ? gDefaultDPIX : lkcodec::PpmToDpi(xppm);
  P.DPIY = yppm < 1 ? gDefaultDPIY : lkcodec::PpmToDpi(yppm);
  // The image's own header gives its depth; a cursor's entry holds its hot
  // spot where an icon's holds planes and bit count, and its colour count
  // is not always the palette's, so cursors decode by the icon rules.
  const Integer colours = e[2];
  Integer bits = Le16(h + 14);
  if (bits == 0 && !Cursor) bits = Le16(e + 6);
  if (bits == 0) bits = colours ? _NColToBitsPixel(colours) : 0;
  if (bits <= 0) return LKAbort(Progress, "ICO: damaged or unsupported data");
  P.BITSPERSAMPLE = bits <= 8 ? bits : 8;
  P.SAMPLESPERPIXEL = bits <= 8 ? 1 : bits == 32 ? 4 : 3;
  Integer w = e[0] ? e[0] : hw, ht = e[1] ? e[1] : hh / 2;
  if (!Cursor && e[0] && hw && e[0] != hw && hw > 0 && hh > 0 && hw < 2048 && hh < 2048) {
    w = hw;
    ht = hh / 2;
  }
  const bool palette = bits <= 8;
  const Integer palCount = 1 << std::min(bits, 8);
  size_t at = offset + kInfoHeader;
  std::vector<TRGB> pal(256, TRGB{0, 0, 0});
  P.SetColorMapCount(0);
  if (palette) {
    const Integer n = std::min(palCount, 256);
    P.SetColorMapCount(n);
    for (Integer i = 0; i < n; ++i, at += 4) {
      if (at + 4 <= Data.size()) pal[size_t(i)] = TRGB{Data[at], Data[at + 1], Data[at + 2]};
      P.ColorMap[size_t(i)] = pal[size_t(i)];
    }
  }
  P.WIDTH = w;
  P.HEIGHT = ht;
  if (ParamsOnly) return;
  if (w <= 0 || ht <= 0) return LKAbort(Progress, "ICO: damaged or unsupported data");
  const bool known = bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
  const Int64 colourRow = RowBytes(w, bits), maskRow = RowBytes(w, 1);
  const Int64 left = Int64(Data.size()) - Int64(at);
  // An image needs its colour rows; a header claiming more than the file
  // holds is refused before anything is allocated.
  if (known && colourRow > left / ht) return LKAbort(Progress, "ICO: damaged or unsupported data");
  // Every icon image carries its transparency rows, one bit a pixel; an image
  // of an unknown depth (shown blank) is held to them, so a few bytes cannot
  // claim a huge picture.
  if (!known && maskRow > left / ht) return LKAbort(Progress, "ICO: damaged or unsupported data");
  const TLKPixelFormat fmt = bits == 1 ? lk1g : lk24RGB;
  if (!LKAllowPicture(w, ht, bits == 1 ? 1 : 24, Progress, "ICO")) return;
  Bitmap->Allocate(w, ht, fmt);
  const bool useMask = !IgnoreAlpha;
  if (useMask) {
    if (!Mask) Mask = new TLKMask();
    Mask->AllocateBits(w, ht, 8);
    Mask->Fill(255);
  }
  const TRGB bg = Cursor ? P.CUR_BACKGROUND : P.ICO_BACKGROUND;
  const bool whiteBg = bg == TRGB{255, 255, 255};
  if (!known) {
    for (Integer y = 0; y < ht; ++y) std::memset(Bitmap->GetScanLine(y), 0, size_t(Bitmap->GetRowLen()));
  } else {
    const size_t andStart = at + size_t(colourRow * ht);
    auto andBit = [&](Integer r, Integer x) {
      const size_t p = andStart + size_t(r * maskRow + x / 8);
      return bits != 24 && bits != 32 && p < Data.size() && (Data[p] >> (7 - (x & 7))) & 1;
    };
    for (Integer r = 0; r < ht; ++r) {
      const Integer y = ht - 1 - r;
      const Byte* src = Data.data() + at + size_t(r) * size_t(colourRow);
      Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(y));
      Byte* m = useMask ? Mask->GetScanLine(y) : nullptr;
      TRGB* px = reinterpret_cast<TRGB*>(row);
      if (bits == 1) std::memcpy(row, src, size_t((w + 7) / 8));
      for (Integer x = 0; x < w; ++x) {
        switch (bits) {
          case 4: px[x] = pal[size_t(x & 1 ? src[x / 2] & 15 : src[x / 2] >> 4)]; break;
          case 8: px[x] = pal[src[x]]; break;
          case 24: px[x] = TRGB{src[x * 3], src[x * 3 + 1], src[x * 3 + 2]}; break;
          case 32:
            px[x] = TRGB{src[x * 4], src[x * 4 + 1], src[x * 4 + 2]};
            if (m) m[x] = src[x * 4 + 3];
            break;
          default: break;
        }
        if (andBit(r, x)) {
          if (m) m[x] = 0;
          if (bits == 1) {
            // Transparent 1-bit pixels show the background: white on white.
            const bool bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
            const bool on = whiteBg ? !bit : bit;
            if (on) row[x >> 3] |= Byte(0x80 >> (x & 7));
            else row[x >> 3] &= Byte(~(0x80 >> (x & 7)));
          } else {
            px[x] = bg;
          }
        }
      }
    }
  }
  Bitmap->FreeAllMaps();
  if (useMask) {
    Mask->SyncFull();
    if (!Cursor && Mask->GetFull()) {
      delete Mask;
      Mask = nullptr;
    } else {
      Mask->SyncRect();
    }
  }
}

void ReadIconOrCursor(TStream* Stream, bool Cursor, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                      TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha) {
  if (!Stream) return LKAbort(Progress, "ICO: damaged or unsupported data");
  const Int64 start = Stream->Position();
  const std::vector<Byte> data = lkcodec::ReadRest(*Stream);
  Stream->Seek(start, soBeginning);
  if (!Cursor && data.size() >= 2 && data[0] == 'B' && data[1] == 'M')
    return BMPReadStream(Stream, Bitmap, Int64(data.size()), Params, Progress, ParamsOnly, false, Mask, IgnoreAlpha);
  if (data.size() < kDirHeader) return LKAbort(Progress, "ICO: damaged or unsupported data");
  ReadImage(data, Cursor, Bitmap, Params, ParamsOnly, Progress, Mask, IgnoreAlpha);
}

}  // namespace

bool ICOTryStream(TStream* Stream) { return TryDirectory(Stream, 1); }
bool CURTryStream(TStream* Stream) { return TryDirectory(Stream, 2); }

Integer _EnumICOImStream(TStream* Stream) {
  if (!Stream) return 0;
  const Int64 pos = Stream->Position();
  Byte h[kDirHeader] = {};
  const bool ok = lkcodec::ReadFull(*Stream, h, kDirHeader) == kDirHeader;
  Stream->Seek(pos, soBeginning);
  return ok ? Le16(h + 4) : 0;
}

void ICOReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha) {
  ReadIconOrCursor(Stream, false, Bitmap, Params, ParamsOnly, Progress, Mask, IgnoreAlpha);
}

void CURReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha) {
  ReadIconOrCursor(Stream, true, Bitmap, Params, ParamsOnly, Progress, Mask, IgnoreAlpha);
}

namespace {

// Writes one icon image of Work (lk1g for depth 1, lk24RGB otherwise) at
// Depth: the info header, palette, colour rows and AND mask. With
// KeepZero, palette entry 0 is kept for transparent pixels (alpha below
// 255) and the quantiser's colours follow; otherwise transparency is only in
// the AND mask. Reports progress per band of rows as image Index of Count
// and stops when the save is cancelled. Returns the quantiser's colours.
std::vector<TRGB> WriteIconImage(TStream& S, TLKBitmap& Work, Integer Depth, bool KeepZero, Integer DpiX,
                                 Integer DpiY, TProgressRec& Progress, Integer Index, Integer Count) {
  std::atomic<bool>* Abort = Progress.AbortFlag;
  const Integer w = Work.GetWidth(), h = Work.GetHeight();
  const Integer rowLen = Integer(RowBytes(w, Depth)), maskRow = Integer(RowBytes(w, 1));
  Byte ih[kInfoHeader] = {};
  PutLe32(ih, kInfoHeader);
  PutLe32(ih + 4, DWORD(w));
  PutLe32(ih + 8, DWORD(h * 2));
  PutLe16(ih + 12, 1);
  PutLe16(ih + 14, Word(Depth));
  const DWORD imageSize = Depth == 1 ? DWORD(h * rowLen + w * h / 8) : Depth <= 8 ? DWORD(w * h / 8 + h * rowLen) : 0;
  PutLe32(ih + 20, imageSize);
  PutLe32(ih + 24, DWORD(lkcodec::DpiToPpm(DpiX)));
  PutLe32(ih + 28, DWORD(lkcodec::DpiToPpm(DpiY)));
  SafeStreamWrite(&S, Abort, ih, kInfoHeader);
  TLKBitmap* alpha = Work.GetHasAlphaChannel() ? Work.GetAlphaChannel() : nullptr;
  std::vector<TRGB> pal, colours;
  std::unique_ptr<TLKQuantizer> q;
  const Integer first = KeepZero ? 1 : 0;
  if (Depth == 1) {
    pal = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  } else if (Depth <= 8) {
    const Integer entries = 1 << Depth;
    colours.assign(size_t(entries - first), TRGB{0, 0, 0});
    q = std::make_unique<TLKQuantizer>(&Work, colours.data(), entries - first - 1, entries - first, -1, 0);
    pal.assign(size_t(first), TRGB{0, 0, 0});
    pal.insert(pal.end(), colours.begin(), colours.end());
  }
  if (!pal.empty()) {
    std::vector<Byte> pb(pal.size() * 4, 0);
    for (size_t k = 0; k < pal.size(); ++k) {
      pb[k * 4] = pal[k].b;
      pb[k * 4 + 1] = pal[k].g;
      pb[k * 4 + 2] = pal[k].r;
    }
    SafeStreamWrite(&S, Abort, pb.data(), Integer(pb.size()));
  }
  std::vector<Byte> row(static_cast<size_t>(rowLen));
  for (Integer r = 0; r < h; ++r) {
    if (r % 16 == 0) {
      if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc((Index + double(r) / h) * 100 / Count));
      if (LKAborted(Progress)) return colours;
    }
    const Integer y = h - 1 - r;
    std::fill(row.begin(), row.end(), 0);
    const Byte* s = static_cast<const Byte*>(Work.GetScanLine(y));
    const TRGB* px = reinterpret_cast<const TRGB*>(s);
    const Byte* a = alpha ? static_cast<const Byte*>(alpha->GetScanLine(y)) : nullptr;
    if (Depth == 1) std::memcpy(row.data(), s, size_t((w + 7) / 8));
    for (Integer x = 0; x < w && Depth != 1; ++x) {
      switch (Depth) {
        case 24: std::memcpy(&row[size_t(x) * 3], &px[x], 3); break;
        case 32:
          std::memcpy(&row[size_t(x) * 4], &px[x], 3);
          row[size_t(x) * 4 + 3] = a ? a[x] : 255;
          break;
        default: {
          const Integer top = (1 << Depth) - 1 - first;
          const Integer idx = KeepZero && a && a[x] < 255 ? 0 : std::clamp(q->GetRGBIndex(px[x]), 0, top) + first;
          if (Depth == 8) row[size_t(x)] = Byte(idx);
          else row[size_t(x / 2)] |= Byte(x & 1 ? idx : idx << 4);
        }
      }
    }
    SafeStreamWrite(&S, Abort, row.data(), rowLen);
  }
  std::vector<Byte> mrow(static_cast<size_t>(maskRow));
  for (Integer r = 0; r < h; ++r) {
    std::fill(mrow.begin(), mrow.end(), 0);
    if (alpha && Depth != 24) {
      const Byte* a = static_cast<const Byte*>(alpha->GetScanLine(h - 1 - r));
      for (Integer x = 0; x < w; ++x)
        if (a[x] < 255) mrow[size_t(x / 8)] |= Byte(0x80 >> (x & 7));
    }
    SafeStreamWrite(&S, Abort, mrow.data(), maskRow);
  }
  return colours;
}

// Fills directory entry I (width and height bytes, colours, planes, bits,
// byte length, offset).
void PutEntry(std::vector<Byte>& Dir, Integer I, Integer W, Integer H, Integer Depth, Int64 Length, Int64 Offset) {
  Byte* e = &Dir[size_t(kDirHeader + I * kDirEntry)];
  e[0] = Byte(W);
  e[1] = Byte(H);
  if (Depth >= 24) {
    PutLe16(e + 4, 1);
    PutLe16(e + 6, Word(Depth));
  } else {
    e[2] = Byte(std::min(1 << Depth, 255));
  }
  PutLe32(e + 8, DWORD(Length));
  PutLe32(e + 12, DWORD(Offset));
}

// Depth for a bit count asked of an image: 8, 32, 4 and 1 as they are,
// 0 from the samples and bits, everything else 24.
Integer DepthFor(Integer Requested, Integer Samples, Integer Bits) {
  if (Requested == 8 || Requested == 32 || Requested == 4 || Requested == 1) return Requested;
  if (Requested != 0) return 24;
  return Samples == 3 && Bits == 8 ? 24 : Samples == 4 && Bits == 8 ? 32 : Samples == 1 && Bits == 1 ? 1
         : Samples == 1 && Bits == 4                                ? 4
                                                                    : 8;
}

void ToDepthFormat(TLKBitmap& Work, Integer Depth) {
  const TLKPixelFormat want = Depth == 1 ? lk1g : lk24RGB;
  if (Work.GetPixelFormat() != want) Work.SetPixelFormat(want);
}

}  // namespace

void ICOWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    const std::vector<TSize>& Sizes, const std::vector<Integer>& BitCounts) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "ICO: damaged or unsupported data");
  TStream& S = *Stream;
  std::atomic<bool>* abort = Progress.AbortFlag;
  const Integer n = Integer(std::min<size_t>(Sizes.size(), 65535));
  const Int64 start = S.Position();
  std::vector<Byte> dir(size_t(kDirHeader + n * kDirEntry), 0);
  PutLe16(&dir[2], 1);
  PutLe16(&dir[4], Word(n));
  SafeStreamWrite(&S, abort, dir.data(), Integer(dir.size()));
  Params.SetColorMapCount(0);
  if (Bitmap->GetPixelFormat() != lk24RGB) Params.BITSPERSAMPLE = Params.SAMPLESPERPIXEL = 1;
  for (Integer i = 0; i < n; ++i) {
    if (LKAborted(Progress)) return;
    const Integer w = std::clamp(Sizes[size_t(i)].cx, 1, 256), h = std::clamp(Sizes[size_t(i)].cy, 1, 256);
    // The working copy: the picture resampled to the size.
    TLKBitmap work;
    work.Assign(Bitmap);
    _LKResampleLKBitmap2(&work, work.GetPixelFormat() == lk1g ? rfNone : rfFastLinear, w, h);
    const Integer depth =
        DepthFor(i < Integer(BitCounts.size()) ? BitCounts[size_t(i)] : 0, Params.SAMPLESPERPIXEL, Params.BITSPERSAMPLE);
    ToDepthFormat(work, depth);
    const Int64 imageStart = S.Position();
    const std::vector<TRGB> colours = WriteIconImage(S, work, depth, true, Params.DPIX, Params.DPIY, Progress, i, n);
    if (LKAborted(Progress)) return;
    if (!colours.empty()) {
      Params.SetColorMapCount(Integer(colours.size()));
      std::copy(colours.begin(), colours.end(), Params.ColorMap.begin());
    }
    PutEntry(dir, i, Sizes[size_t(i)].cx, Sizes[size_t(i)].cy, depth, S.Position() - imageStart, imageStart - start);
  }
  const Int64 end = S.Position();
  S.Seek(start, soBeginning);
  SafeStreamWrite(&S, abort, dir.data(), Integer(dir.size()));
  S.Seek(end, soBeginning);
}

void ICOWriteStream2(TStream* Stream, const std::vector<TLKIconImage>& Images, TProgressRec& Progress) {
  if (!Stream) return LKAbort(Progress, "ICO: damaged or unsupported data");
  TStream& S = *Stream;
  std::atomic<bool>* abort = Progress.AbortFlag;
  std::vector<TLKIconImage> images;
  for (const TLKIconImage& im : Images)
    if (im.Bitmap && !im.Bitmap->IsEmpty()) images.push_back(im);
  const Integer n = Integer(std::min<size_t>(images.size(), 65535));
  if (n == 0) return LKAbort(Progress, "ICO: damaged or unsupported data");
  const Int64 start = S.Position();
  std::vector<Byte> dir(size_t(kDirHeader + n * kDirEntry), 0);
  PutLe16(&dir[2], 1);
  PutLe16(&dir[4], Word(n));
  SafeStreamWrite(&S, abort, dir.data(), Integer(dir.size()));
  for (Integer i = 0; i < n; ++i) {
    if (LKAborted(Progress)) return;
    TIOParamsVals* params = images[size_t(i)].Params;
    TLKBitmap work;
    work.Assign(images[size_t(i)].Bitmap);
    // Each image keeps its size. With parameters the depth follows their
    // samples and bits, a two-level picture being 1 bit; a palette or grey
    // picture keeps the depth its parameters give rather than being
    // thresholded to black and white. Without parameters the depth follows
    // the pixel format.
    const TLKPixelFormat f = work.GetPixelFormat();
    Integer depth;
    if (params) {
      if (f == lk1g) params->BITSPERSAMPLE = params->SAMPLESPERPIXEL = 1;
      depth = DepthFor(0, params->SAMPLESPERPIXEL, params->BITSPERSAMPLE);
    } else {
      depth = f == lk1g ? 1 : f == lk8p ? 8 : work.GetHasAlphaChannel() ? 32 : 24;
    }
    ToDepthFormat(work, depth);
    const Int64 imageStart = S.Position();
    WriteIconImage(S, work, depth, false, params ? params->DPIX : gDefaultDPIX, params ? params->DPIY : gDefaultDPIY,
                   Progress, i, n);
    if (LKAborted(Progress)) return;
    PutEntry(dir, i, work.GetWidth(), work.GetHeight(), depth, S.Position() - imageStart, imageStart - start);
  }
  const Int64 end = S.Position();
  S.Seek(start, soBeginning);
  SafeStreamWrite(&S, abort, dir.data(), Integer(dir.size()));
  S.Seek(end, soBeginning);
}
