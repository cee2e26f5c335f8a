// GIF reader: walks the blocks of the stream, decodes the wanted frame
// through the decoder hook and counts the frames.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/gif/gif_pvt.h"
#include "codecs/gif/giffilter.h"
#include "codecs/gif/giflzw.h"
#include "codecs/lkcodecutil.h"

using namespace gifcodec;
using lkcodec::Le16;

namespace {

// The most pixels one byte of LZW data can give: a 12-bit code stands for
// at most 4096 pixels. A frame larger than its data could ever fill is
// refused before its buffer is allocated.
constexpr Int64 kMaxPixelsPerByte = 4096 * 8 / 12 + 1;

void SwapTable(std::vector<TRGB>& T) {
  for (TRGB& c : T) std::swap(c.r, c.b);
}

// Reads Count entries stored red, green, blue into TRGB order; missing bytes
// stay black.
std::vector<TRGB> ReadTable(TStream& S, Integer Count) {
  std::vector<Byte> raw(size_t(Count) * 3, 0);
  lkcodec::ReadFull(S, raw.data(), Int64(raw.size()));
  std::vector<TRGB> t(static_cast<size_t>(Count));
  std::memcpy(t.data(), raw.data(), raw.size());  // r, g, b in the b, g, r slots
  SwapTable(t);
  return t;
}

// The table a frame without any colour table is shown with: a grey ramp of
// 2^bits entries (black and white at 1 bit).
std::vector<TRGB> DefaultTable(Integer Count) {
  std::vector<TRGB> t(static_cast<size_t>(Count));
  for (Integer i = 0; i < Count; ++i) {
    const Byte v = Byte(Count > 1 ? i * 255 / (Count - 1) : 0);
    t[size_t(i)] = TRGB{v, v, v};
  }
  return t;
}

// Fills the picture of one frame row by row from its index values: packed
// bits for a black-and-white table, the indexes themselves for a palette
// picture, colours of the table otherwise; with a mask, index values equal
// to the transparent one become 0 there and the others 255.
struct TFrameRows final : TGIFRowTarget {
  TLKBitmap& Bitmap;
  TLKPixelFormat Format;
  const std::vector<TRGB>& Table;
  Byte TransIndex;
  TLKMask* Mask = nullptr;
  std::vector<Byte> Scratch;
  std::vector<bool> Filled;
  bool Short = false;  // the data ended before the last pixel

  TFrameRows(TLKBitmap& B, TLKPixelFormat F, const std::vector<TRGB>& T, Byte Trans)
      : Bitmap(B), Format(F), Table(T), TransIndex(Trans) {}

  // A palette picture takes the indexes in its own rows.
  Byte* Row(Integer Y) override {
    if (Format == lk8p) return static_cast<Byte*>(Bitmap.GetScanLine(Y));
    Scratch.resize(size_t(Bitmap.GetWidth()));
    return Scratch.data();
  }
  void Done(Integer Y, Integer Count) override {
    Byte* in = Row(Y);  // the same row again (a mapped row stays mapped)
    const Integer width = Bitmap.GetWidth();
    if (Count < width) {
      std::memset(in + Count, 0, size_t(width - Count));
      Short = true;
    }
    Put(Y, in);
  }
  // The rows the data never reached, as index 0.
  void FinishUndone() {
    const Integer height = Bitmap.GetHeight();
    for (Integer y = 0; y < height; ++y) {
      if (y < Integer(Filled.size()) && Filled[size_t(y)]) continue;
      Short = true;
      Byte* in = Row(y);
      std::memset(in, 0, size_t(Bitmap.GetWidth()));
      Put(y, in);
    }
  }
  void Put(Integer Y, const Byte* In) {
    const Integer width = Bitmap.GetWidth();
    if (Filled.empty()) Filled.assign(size_t(Bitmap.GetHeight()), false);
    Filled[size_t(Y)] = true;
    Byte* row = static_cast<Byte*>(Bitmap.GetScanLine(Y));
    if (Format == lk1g) {
      std::memset(row, 0, size_t((width + 7) / 8));
      for (Integer x = 0; x < width; ++x)
        if (In[x] & 1) row[x >> 3] |= Byte(0x80 >> (x & 7));
    } else if (Format == lk8p) {
      if (row != In) std::memcpy(row, In, size_t(width));
    } else {
      const TRGB* table = Table.data();
      const Integer last = Integer(Table.size()) - 1;  // the table has 2^bits entries
      TRGB* px = reinterpret_cast<TRGB*>(row);
      for (Integer x = 0; x < width; ++x) px[x] = table[In[x] & last];
    }
    if (Mask) {
      Byte* m = Mask->GetScanLine(Y);
      for (Integer x = 0; x < width; ++x) m[x] = In[x] == TransIndex ? 0 : 255;
    }
  }
};

}  // namespace

void ReadGIFStream(TStream* Stream, TLKBitmap* Bitmap, Integer& FrameCount, TIOParamsVals& Params,
                   TProgressRec& Progress, bool ParamsOnly, TLKMask*& Mask, bool IgnoreAlpha) {
  FrameCount = 0;
  lkcodec::Report(Progress, 0);
  if (LKAborted(Progress) || !Stream) return;
  TStream& S = *Stream;
  const Int64 size = S.Size();
  Byte gce[4] = {0, 0, 0, 0};  // packed byte, delay (2), transparent index
  const Integer wanted = Params.GIF_IMAGEINDEX;

  Byte raw[kHeaderSize];
  TGIFHeader h{};
  if (lkcodec::ReadFull(S, raw, kHeaderSize) != kHeaderSize || !ParseHeader(raw, h))
    return LKAbort(Progress, "GIF: damaged or unsupported data");
  Params.GIF_VERSION = String(h.Signature, 6) + '\0';
  Params.GIF_WINWIDTH = h.ScreenWidth;
  Params.GIF_WINHEIGHT = h.ScreenHeight;
  Params.GIF_RATIO = h.Aspect;
  Params.SetDpiX(gDefaultDPIX);
  Params.SetDpiY(gDefaultDPIY);
  Params.SAMPLESPERPIXEL = 1;
  std::vector<TRGB> global;
  const bool hasGlobal = (h.Flags & 0x80) != 0;
  if (hasGlobal) {
    global = ReadTable(S, TableEntries(h.Flags));
    Params.GIF_BACKGROUND = global[h.Background < global.size() ? h.Background : 0];
  }
  if (S.Position() >= size) LKAbort(Progress, "GIF: damaged or unsupported data");

  while (!LKAborted(Progress)) {
    Byte intro = 0;
    if (!GetByte(S, intro) || intro == kTrailer) break;
    if (intro == kExtension) {
      Byte label = 0;
      if (!GetByte(S, label)) break;
      if (label == kGraphicControl && FrameCount == wanted) {
        Byte len = 0, term = 0;
        GetByte(S, len);
        lkcodec::ReadFull(S, gce, 4);
        GetByte(S, term);
      } else if (label == kComment) {
        Byte len = 0;
        while (GetByte(S, len) && len != 0) {
          char text[256];
          const Int64 got = lkcodec::ReadFull(S, text, len);
          const String s(text, size_t(std::find(text, text + got, '\0') - text));
          if (!s.empty()) Params.GIF_CommentLines.Add(s);
          if (got < len) break;
        }
      } else {
        PassSubBlocks(S, nullptr);
      }
      continue;
    }
    if (intro != kImage) continue;  // stray bytes between blocks are skipped

    Byte d[9];
    if (lkcodec::ReadFull(S, d, 9) != 9) break;
    const Integer left = Le16(d), top = Le16(d + 2), width = Le16(d + 4), height = Le16(d + 6);
    const Byte flags = d[8];
    std::vector<TRGB> local;
    if (flags & 0x80) local = ReadTable(S, TableEntries(flags));
    if (FrameCount != wanted) {
      Byte mcs = 0;
      GetByte(S, mcs);
      PassSubBlocks(S, nullptr);
      ++FrameCount;
      continue;
    }
    lkcodec::Report(Progress, 30);
    if (LKAborted(Progress)) break;
    const bool transparent = (gce[0] & 1) != 0;
    const Byte transIndex = gce[3];
    Params.GIF_XPOS = left;
    Params.GIF_YPOS = top;
    Params.WIDTH = width;
    Params.HEIGHT = height;
    Params.GIF_INTERLACED = (flags & 0x40) != 0;
    Params.GIF_DELAYTIME = Le16(gce + 1);
    Params.GIF_TRANSPARENT = transparent;
    Params.GIF_Disposal = TLKGIFAction(std::min<Integer>((gce[0] >> 2) & 7, ioGIF_RestorePrev));
    const Integer bits = ((flags & 0x80) ? (flags & 7) : hasGlobal ? (h.Flags & 7) : (flags & 7)) + 1;
    const Integer count = 1 << bits;
    std::vector<TRGB> table = !local.empty() ? local : hasGlobal ? global : DefaultTable(count);
    table.resize(size_t(count), TRGB{0, 0, 0});
    Params.GIF_TRANSPCOLOR = table[transIndex < table.size() ? transIndex : 0];

    if (ParamsOnly) {
      Byte mcs = 0;
      GetByte(S, mcs);
      PassSubBlocks(S, nullptr);
      Params.BITSPERSAMPLE = bits;
      Params.SetColorMapCount(count);
      std::copy(table.begin(), table.end(), Params.ColorMap.begin());
      ++FrameCount;
      continue;
    }
    const Int64 dataLeft = lkcodec::Remaining(S);
    if (width == 0 || height == 0 || Int64(width) * height > (dataLeft + 1) * kMaxPixelsPerByte) {
      LKAbort(Progress, "GIF: damaged or unsupported data");
      break;
    }
    TGIFLZWDecompFunc decode = Params.GIF_LZWDecompressor ? Params.GIF_LZWDecompressor : DefGIF_LZWDECOMPFUNC;
    // A missing decoder or a code size no decoder takes fails before the
    // picture is touched.
    Byte codeSize = 0;
    const Int64 before = S.Position();
    const bool sizeOk = GetByte(S, codeSize) && codeSize >= 2 && codeSize <= 9;
    S.Seek(before, soBeginning);
    if (!decode || !sizeOk) {
      LKAbort(Progress, "GIF: damaged or unsupported data");
      break;
    }
    const bool blackWhite = bits == 1 && table[0] == TRGB{0, 0, 0} && table[1] == TRGB{255, 255, 255};
    const TLKPixelFormat fmt = blackWhite ? lk1g : Params.ISNATIVEPIXELFORMAT ? lk8p : lk24RGB;
    const bool useMask = !IgnoreAlpha && transparent;
    // The gate counts what the frame takes: the picture, its mask, and the
    // whole frame of indexes a decoder other than ours fills first.
    TLKPictureRequest request;
    request.Width = width;
    request.Height = height;
    request.BitsPerPixel = LKPixelFormatBitCount(fmt) + (useMask ? 8 : 0);
    if (decode != GIFLZWDecompress) request.WorkBytes = Int64(width) * height;
    if (!LKAllowPicture(request, Progress, "GIF")) break;
    std::unique_ptr<TLKMask> newMask;
    TFrameRows rows(*Bitmap, fmt, table, transIndex);
    Bitmap->Allocate(width, height, fmt);
    if (fmt == lk8p) {
      for (Integer i = 0; i < count; ++i) Bitmap->SetPalette(i, table[size_t(i)]);
    }
    if (useMask) {
      if (!Mask) newMask = std::make_unique<TLKMask>();
      rows.Mask = Mask ? Mask : newMask.get();
      rows.Mask->AllocateBits(width, height, 8);
    }
    if (decode == GIFLZWDecompress) {
      // Rows are decoded straight into the picture (or a row that is
      // expanded into it at once); rows the data never reaches read as 0.
      GIFLZWDecodeRows(&S, height, width, Params.GIF_INTERLACED, rows);
      rows.FinishUndone();
    } else {
      std::vector<Byte> buffer(size_t(width) * size_t(height), 0);
      decode(&S, height, width, Params.GIF_INTERLACED, buffer.data());
      for (Integer y = 0; y < height; ++y) rows.Put(y, buffer.data() + size_t(y) * size_t(width));
    }
    Bitmap->FreeAllMaps();
    // A frame that fails in its data leaves no half-decoded picture.
    const bool damaged =
        S.Position() == before || (!blackWhite && (width > 65000 || height > 65000) && size - S.Position() < 2000);
    if (damaged) {
      Bitmap->FreeImage();
      LKAbort(Progress, "GIF: damaged or unsupported data");
      break;
    }
    // Data that ends early keeps the rows it gave; the flag says the
    // picture is not whole.
    const bool cut = rows.Short;
    if (!cut) lkcodec::Report(Progress, 70);
    if (LKAborted(Progress)) break;
    Params.BITSPERSAMPLE = bits;
    Params.SetColorMapCount(count);
    std::copy(table.begin(), table.end(), Params.ColorMap.begin());
    if (!IgnoreAlpha) {
      // Without a transparent index every pixel is opaque: no mask.
      if (newMask) Mask = newMask.release();
      if (!useMask || (Mask->SyncFull(), Mask->GetFull())) {
        delete Mask;
        Mask = nullptr;
      } else {
        Mask->SyncRect();
      }
    }
    ++FrameCount;
    if (cut) {
      LKAbort(Progress, "GIF: the image data ends early");
      break;
    }
  }
  // A file that ends before the frame asked for (cut between blocks) has
  // loaded nothing.
  if (!ParamsOnly && FrameCount <= wanted && !LKAborted(Progress))
    LKAbort(Progress, "GIF: the file ends before frame " + IntToStr(wanted));
  Params.SetImageCount(FrameCount);
  if (!LKAborted(Progress)) lkcodec::Report(Progress, 100);
}

void ReadGIF(const String& FileName, TLKBitmap* Bitmap, Integer& FrameCount, TIOParamsVals& Params,
             TProgressRec& Progress, TLKMask*& Mask, bool IgnoreAlpha) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  ReadGIFStream(&f, Bitmap, FrameCount, Params, Progress, false, Mask, IgnoreAlpha);
}
