#include "codecs/gif/gif_pvt.h"

#include <algorithm>
#include <cstring>

#include "codecs/lkcodecutil.h"
#include "core/lkquantizer.h"

namespace gifcodec {

using lkcodec::Le16;
using lkcodec::PutLe16;

bool ParseHeader(const Byte* Raw, TGIFHeader& H) {
  if (std::memcmp(Raw, "GIF", 3) != 0) return false;
  std::memcpy(H.Signature, Raw, 6);
  H.ScreenWidth = Le16(Raw + 6);
  H.ScreenHeight = Le16(Raw + 8);
  H.Flags = Raw[10];
  H.Background = Raw[11];
  H.Aspect = Raw[12];
  return true;
}

void StoreHeader(const TGIFHeader& H, Byte* Raw) {
  std::memcpy(Raw, H.Signature, 6);
  PutLe16(Raw + 6, H.ScreenWidth);
  PutLe16(Raw + 8, H.ScreenHeight);
  Raw[10] = H.Flags;
  Raw[11] = H.Background;
  Raw[12] = H.Aspect;
}

bool GetByte(TStream& S, Byte& B) { return S.Read(&B, 1) == 1; }

bool PassSubBlocks(TStream& S, TStream* Copy) {
  Byte buf[256];
  for (;;) {
    Byte len = 0;
    if (!GetByte(S, len)) return true;  // the end of the stream ends the blocks
    if (Copy) Copy->WriteBuffer(&len, 1);
    if (len == 0) return true;
    if (Copy) {
      const Int64 got = lkcodec::ReadFull(S, buf, len);
      if (got > 0) Copy->WriteBuffer(buf, got);
      if (got < len) return false;
    } else {
      const Int64 left = lkcodec::Remaining(S);
      if (left < len) {
        S.Seek(0, soEnd);
        return false;
      }
      S.Seek(len, soCurrent);
    }
  }
}

bool MakeFrame(TLKBitmap& Bitmap, TIOParamsVals& Params, bool ForInsert, TGIFFrame& F) {
  Integer b = std::clamp<Integer>(Params.BITSPERSAMPLE, 1, 8);
  const bool alpha = Bitmap.GetHasAlphaChannel();
  F.Width = Bitmap.GetWidth();
  F.Height = Bitmap.GetHeight();
  if (F.Width <= 0 || F.Height <= 0 || F.Width > 65535 || F.Height > 65535) return false;
  std::unique_ptr<TLKBitmap> oneBit, copy;
  TLKBitmap* src = &Bitmap;
  // At 1 bit the only index left for transparency would be white, so a
  // picture with an alpha channel gets 2 bits instead.
  if (b == 1 && alpha) b = 2;
  if (b == 1) {
    TRGB dark{}, light{};
    if (Bitmap.GetPixelFormat() != lk1g) {
      oneBit = lkcodec::ConvertTo1bitEx(Bitmap, dark, light);
      if (!oneBit) {
        if (ForInsert) {
          b = 8;
        } else {
          oneBit = std::make_unique<TLKBitmap>();
          oneBit->Assign(&Bitmap);
          oneBit->SetPixelFormat(lk1g);
        }
      }
      if (oneBit) src = oneBit.get();
    }
  }
  if (b > 1) {
    // Sources other than lk24RGB (and lk8p pictures whose palette fits the
    // colour count) are read through a 24-bit copy.
    const bool palFits = Bitmap.GetPixelFormat() == lk8p && Bitmap.GetPaletteLen() <= (1 << b) - (alpha ? 1 : 0);
    src = lkcodec::WorkingCopy(Bitmap, copy, false, palFits);
  }
  F.Bits = b;
  F.HasAlpha = alpha && src->GetPixelFormat() != lk1g;
  F.Colors = (1 << b) - (F.HasAlpha ? 1 : 0);
  F.Palette.assign(size_t(1) << b, TRGB{0, 0, 0});
  F.Indices.assign(size_t(F.Width) * size_t(F.Height) + 9, 0);
  const Integer w = F.Width, h = F.Height;
  if (src->GetPixelFormat() == lk1g) {
    F.Palette[1] = TRGB{255, 255, 255};
    for (Integer y = 0; y < h; ++y) {
      const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
      Byte* out = F.Indices.data() + size_t(y) * size_t(w);
      for (Integer x = 0; x < w; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    const Integer n = 2;
    F.BackgroundIndex = lkcodec::NearestColor(F.Palette.data(), n, Params.GIF_BACKGROUND);
    F.TransparentIndex = lkcodec::NearestColor(F.Palette.data(), n, Params.GIF_TRANSPCOLOR);
    return true;
  }
  TLKQuantizer q(src, F.Palette.data(), 255, F.Colors, -1, 0);
  const Integer n = F.Colors;
  TLKBitmap* alphaCh = alpha ? Bitmap.GetAlphaChannel() : nullptr;
  auto clampIndex = [n](Integer i) { return Byte(i < 0 ? 0 : i >= n ? n - 1 : i); };
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(src->GetRow(y));
    const Byte* arow = alphaCh ? static_cast<const Byte*>(alphaCh->GetScanLine(y)) : nullptr;
    Byte* out = F.Indices.data() + size_t(y) * size_t(w);
    if (src->GetPixelFormat() == lk8p) {
      for (Integer x = 0; x < w; ++x) out[x] = clampIndex(row[x]);
    } else {
      const TRGB* px = reinterpret_cast<const TRGB*>(row);
      for (Integer x = 0; x < w; ++x) out[x] = clampIndex(q.GetRGBIndex(px[x]));
    }
    if (arow)
      for (Integer x = 0; x < w; ++x)
        if (arow[x] < 255) out[x] = Byte(n);
    src->FreeAllMaps();
  }
  auto indexOf = [&](const TRGB& c) {
    if (src->GetPixelFormat() == lk24RGB) {
      const Integer i = q.GetRGBIndex(c);
      if (i >= 0 && i < n) return i;
    }
    return lkcodec::NearestColor(F.Palette.data(), n, c);
  };
  F.BackgroundIndex = indexOf(Params.GIF_BACKGROUND);
  F.TransparentIndex = F.HasAlpha ? n : indexOf(Params.GIF_TRANSPCOLOR);
  if (F.HasAlpha) Params.GIF_TRANSPARENT = true;
  return true;
}

std::vector<Byte> TableBytes(const std::vector<TRGB>& Palette, Integer Count) {
  std::vector<Byte> out(size_t(Count) * 3, 0);
  for (Integer i = 0; i < Count && i < Integer(Palette.size()); ++i) {
    out[size_t(i) * 3] = Palette[size_t(i)].r;
    out[size_t(i) * 3 + 1] = Palette[size_t(i)].g;
    out[size_t(i) * 3 + 2] = Palette[size_t(i)].b;
  }
  return out;
}

void WriteImageDescriptor(TStream& S, TIOParamsVals& Params, const TGIFFrame& Frame, bool LocalTable,
                          std::atomic<bool>* Abort) {
  Byte d[10] = {kImage};
  PutLe16(d + 1, Word(Params.GIF_XPOS));
  PutLe16(d + 3, Word(Params.GIF_YPOS));
  PutLe16(d + 5, Word(Frame.Width));
  PutLe16(d + 7, Word(Frame.Height));
  d[9] = Byte((Params.GIF_INTERLACED ? 0x40 : 0) | (LocalTable ? 0x80 | (Frame.Bits - 1) : 0));
  SafeStreamWrite(&S, Abort, d, 10);
}

void WriteGraphicControl(TStream& S, TIOParamsVals& Params, const TGIFFrame& Frame, std::atomic<bool>* Abort) {
  Byte g[8] = {kExtension, kGraphicControl, 4, 0, 0, 0, 0, 0};
  g[3] = Byte((Params.GIF_TRANSPARENT ? 1 : 0) | ((Byte(Params.GIF_Disposal) & 7) << 2));
  PutLe16(g + 4, Word(Params.GIF_DELAYTIME));
  g[6] = Byte(Frame.TransparentIndex);
  SafeStreamWrite(&S, Abort, g, 8);
}

}  // namespace gifcodec
