#include "processing/lkcolorops.h"

#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkcolorconv.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"

using lkpoint::ClipRect;
using lkpoint::RectProgress;
using lkpoint::WholeProgress;

namespace {

// Negative of pixels kept in another colour model: each is read as TRGB,
// inverted and written back.
template <typename Pixel, typename ToRGB, typename FromRGB>
void NegativeThroughRGB(Pixel* p, Integer x1, Integer x2, ToRGB toRGB, FromRGB fromRGB) {
  for (Integer x = x1; x < x2; ++x) {
    const TRGB c = toRGB(p[x]);
    p[x] = fromRGB(CreateRGB(static_cast<Byte>(255 - c.r), static_cast<Byte>(255 - c.g), static_cast<Byte>(255 - c.b)));
  }
}

}  // namespace

void _Negative(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
               const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt == lk8p) {
    for (Integer i = 0; i < Bitmap->GetPaletteLen(); ++i) {
      const TRGB c = Bitmap->GetPalette(i);
      Bitmap->SetPalette(i, CreateRGB(static_cast<Byte>(255 - c.r), static_cast<Byte>(255 - c.g),
                                      static_cast<Byte>(255 - c.b)));
    }
    return;
  }
  if (fmt == lknull || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  RectProgress progress(OnProgress, Sender, Y1, Y2);
  for (Integer y = Y1; y < Y2; ++y) {
    void* row = Bitmap->GetScanLine(y);
    switch (fmt) {
      case lk1g: {
        Byte* p = static_cast<Byte*>(row);
        for (Integer x = X1; x < X2;) {
          // Whole bytes at once where the run covers them.
          if ((x & 7) == 0 && x + 8 <= X2) {
            p[x >> 3] = static_cast<Byte>(~p[x >> 3]);
            x += 8;
          } else {
            p[x >> 3] ^= static_cast<Byte>(0x80 >> (x & 7));
            ++x;
          }
        }
        break;
      }
      case lk8g:
      case lk24RGB: {
        const Integer n = fmt == lk8g ? 1 : 3;
        Byte* p = static_cast<Byte*>(row) + static_cast<size_t>(X1) * n;
        const size_t count = static_cast<size_t>(X2 - X1) * n;
        for (size_t i = 0; i < count; ++i) p[i] = static_cast<Byte>(~p[i]);
        break;
      }
      case lk16g:
      case lk48RGB: {
        const Integer n = fmt == lk16g ? 1 : 3;
        Word* p = static_cast<Word*>(row) + static_cast<size_t>(X1) * n;
        const size_t count = static_cast<size_t>(X2 - X1) * n;
        for (size_t i = 0; i < count; ++i) p[i] = static_cast<Word>(65535 - p[i]);
        break;
      }
      case lk32f: {
        float* p = static_cast<float*>(row);
        for (Integer x = X1; x < X2; ++x) p[x] = 1.0f - p[x];
        break;
      }
      case lkCMYK:
        NegativeThroughRGB(static_cast<TCMYK*>(row), X1, X2, LKCMYK2RGB, LKRGB2CMYK);
        break;
      case lkCIELab:
        NegativeThroughRGB(static_cast<TCIELab*>(row), X1, X2, LKCIELAB2RGB, LKRGB2CIELAB);
        break;
      default:
        break;
    }
    progress.Row(y);
  }
}

void _NegativeBuffer(Byte* Buffer, Integer Length) {
  if (!Buffer) return;
  for (Integer i = 0; i < Length; ++i) Buffer[i] = static_cast<Byte>(~Buffer[i]);
}

void _Negative1Bit(TBitmap* Bitmap) {
  if (!Bitmap || Bitmap->GetPixelFormat() != pf1bit) return;
  // Every byte of the row: halving the row length to count 16-bit words
  // would leave the last byte of an odd-length row as it was.
  const Integer len = (Bitmap->GetWidth() + 7) / 8;
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y)
    _NegativeBuffer(static_cast<Byte*>(Bitmap->ScanLine(y)), len);
}

void _Negative1BitEx(TLKBitmap* Bitmap) {
  if (!Bitmap || Bitmap->IsEmpty() || Bitmap->GetPixelFormat() != lk1g) return;
  const Integer len = Bitmap->GetRowLen();
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y)
    _NegativeBuffer(static_cast<Byte*>(Bitmap->GetScanLine(y)), len);
  Bitmap->SetFull(false);
}

void _ConvertToGray(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                    const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  RectProgress progress(OnProgress, Sender, Y1, Y2);
  const Integer wr = gRedToGrayCoef, wg = gGreenToGrayCoef, wb = gBlueToGrayCoef;
  for (Integer y = Y1; y < Y2; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y)) + static_cast<size_t>(X1) * 3;
    for (Integer x = X1; x < X2; ++x, p += 3) {
      const Byte g = static_cast<Byte>((p[2] * wr + p[1] * wg + p[0] * wb) / 100);
      p[0] = p[1] = p[2] = g;
    }
    progress.Row(y);
  }
}

namespace {
inline bool InRange(const Byte* p, const TRGB& lo, const TRGB& hi) {
  return p[0] >= lo.b && p[0] <= hi.b && p[1] >= lo.g && p[1] <= hi.g && p[2] >= lo.r && p[2] <= hi.r;
}
}  // namespace

void _CastColorRange(TLKBitmap* Bitmap, TRGB Lower, TRGB Upper, TRGB Color, Integer X1, Integer Y1, Integer X2,
                     Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  RectProgress progress(OnProgress, Sender, Y1, Y2);
  for (Integer y = Y1; y < Y2; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y)) + static_cast<size_t>(X1) * 3;
    for (Integer x = X1; x < X2; ++x, p += 3)
      if (InRange(p, Lower, Upper)) p[0] = Color.b, p[1] = Color.g, p[2] = Color.r;
    progress.Row(y);
  }
}

void _SetTransparentColors(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, TRGB Lower,
                           TRGB Upper, Integer Alpha, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  TLKBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha) return;
  if ((fmt == lk24RGB || fmt == lk1g) && ClipRect(Bitmap, X1, Y1, X2, Y2)) {
    const Byte a = static_cast<Byte>(Alpha);
    const bool whiteSet = Lower.r > 0;
    RectProgress progress(OnProgress, Sender, Y1, Y2);
    // The picture's row and the alpha row are both held: GetRow keeps the
    // first valid while the second is mapped (file storage).
    for (Integer y = Y1; y < Y2; ++y) {
      const Byte* row = static_cast<const Byte*>(Bitmap->GetRow(y));
      Byte* arow = static_cast<Byte*>(alpha->GetScanLine(y));
      for (Integer x = X1; x < X2; ++x) {
        bool hit;
        if (fmt == lk24RGB)
          hit = InRange(row + static_cast<size_t>(x) * 3, Lower, Upper);
        else
          hit = ((row[x >> 3] & (0x80 >> (x & 7))) != 0) == whiteSet;
        if (hit) arow[x] = a;
      }
      Bitmap->FreeRow(0);
      progress.Row(y);
    }
  }
  alpha->SyncFull();
}

void _Merge(TLKBitmap* Bitmap, TLKBitmap* Other, Integer Percent, Integer X1, Integer Y1, Integer X2, Integer Y2,
            const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !Other || Other->IsEmpty() || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  TLKBitmap* source = Other;
  std::unique_ptr<TLKBitmap> converted;
  if (Other->GetPixelFormat() != lk24RGB) {
    // The stretch copies whole pixels of one format: read the other picture
    // through a 24-bit copy, leaving it as it is.
    converted = std::make_unique<TLKBitmap>();
    converted->Assign(Other);
    converted->SetPixelFormat(lk24RGB);
    source = converted.get();
  }
  TLKBitmap stretched(X2 - X1, Y2 - Y1, lk24RGB);
  _LKBmpStretchEx(source, &stretched);
  converted.reset();
  // One table pair per percent: target * p/100 + other * (100 - p)/100,
  // rounded half to even, as a sum of two table entries would round twice.
  const double p = Percent / 100.0, q = (100 - Percent) / 100.0;
  RectProgress progress(OnProgress, Sender, Y1, Y2);
  for (Integer y = Y1; y < Y2; ++y) {
    const Byte* s = static_cast<const Byte*>(stretched.GetRow(y - Y1));
    Byte* t = static_cast<Byte*>(Bitmap->GetScanLine(y)) + static_cast<size_t>(X1) * 3;
    const size_t n = static_cast<size_t>(X2 - X1) * 3;
    for (size_t i = 0; i < n; ++i) t[i] = lkpoint::Clamp8(LKRound(t[i] * p + s[i] * q));
    stretched.FreeRow(0);
    progress.Row(y);
  }
}

namespace {

// Grey picture of the source's size, filled row by row by `value` (one byte
// per source pixel).
template <typename F>
void FillChannels(TLKBitmap* src, TLKBitmap* const* outs, const TLKProgressEvent& ev, TObject* sender, F value) {
  const Integer w = src->GetWidth(), h = src->GetHeight();
  for (int k = 0; k < 3; ++k)
    if (outs[k]) outs[k]->Allocate(w, h, lk24RGB);
  std::vector<Byte> vals(static_cast<size_t>(w) * 3);
  WholeProgress progress(ev, sender, h);
  for (Integer y = 0; y < h; ++y) {
    const Byte* p = static_cast<const Byte*>(src->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) value(p, &vals[static_cast<size_t>(x) * 3]);
    for (int k = 0; k < 3; ++k) {
      if (!outs[k]) continue;
      Byte* o = static_cast<Byte*>(outs[k]->GetScanLine(y));
      for (Integer x = 0; x < w; ++x, o += 3) o[0] = o[1] = o[2] = vals[static_cast<size_t>(x) * 3 + k];
    }
    progress.Row(y);
  }
}

void HSVBytes(const Byte* p, Byte* out) {
  Integer h, s, v;
  RGB2HSV(CreateRGB(p[2], p[1], p[0]), h, s, v);
  out[0] = static_cast<Byte>(LKTrunc(h / 359.0 * 255));
  out[1] = static_cast<Byte>(LKTrunc(s / 99.0 * 255));
  out[2] = static_cast<Byte>(LKTrunc(v / 99.0 * 255));
}

}  // namespace

TLKBitmap* _GetRGBChannel(TLKBitmap* Bitmap, Integer Channel, const TLKProgressEvent& OnProgress,
                          TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || Channel < 0) return nullptr;
  const int c = Channel > 2 ? 2 : Channel;
  auto out = std::make_unique<TLKBitmap>();
  TLKBitmap* outs[3] = {out.get(), nullptr, nullptr};
  FillChannels(Bitmap, outs, OnProgress, Sender, [c](const Byte* p, Byte* v) { v[0] = p[c]; });
  return out.release();
}

TLKBitmap* _GetHSVChannel(TLKBitmap* Bitmap, Integer Channel, const TLKProgressEvent& OnProgress,
                          TObject* Sender) {
  if (!lkpoint::Is24(Bitmap)) return nullptr;
  const int c = Channel == 1 || Channel == 2 ? Channel : 0;
  auto out = std::make_unique<TLKBitmap>();
  TLKBitmap* outs[3] = {out.get(), nullptr, nullptr};
  FillChannels(Bitmap, outs, OnProgress, Sender, [c](const Byte* p, Byte* v) {
    Byte hsv[3];
    HSVBytes(p, hsv);
    v[0] = hsv[c];
  });
  return out.release();
}

void _GetRGBChannelAll(TLKBitmap* Bitmap, TLKBitmap* Red, TLKBitmap* Green, TLKBitmap* Blue,
                       const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !Red || !Green || !Blue) return;
  TLKBitmap* outs[3] = {Red, Green, Blue};
  FillChannels(Bitmap, outs, OnProgress, Sender, [](const Byte* p, Byte* v) {
    v[0] = p[2], v[1] = p[1], v[2] = p[0];
  });
}

void _GetHSVChannelAll(TLKBitmap* Bitmap, TLKBitmap* Hue, TLKBitmap* Saturation, TLKBitmap* Value,
                       const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !Hue || !Saturation || !Value) return;
  TLKBitmap* outs[3] = {Hue, Saturation, Value};
  FillChannels(Bitmap, outs, OnProgress, Sender, HSVBytes);
}

// --- Methods of the processing component ----------------------------------------

void TLumerakProc::Negative() {
  RunImageProcessing({}, "Negative", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Negative(bm, x1, y1, x2, y2, OnProgress, this);
    lkpoint::CopyPalette(bm, FBitmap);
  });
}

void TLumerakProc::ConvertToGray() {
  RunImageProcessing({}, "ConvertToGray", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    _ConvertToGray(bm, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::CastColorRange(TRGB Lower, TRGB Upper, TRGB Color) {
  RunImageProcessing({lk24RGB}, "CastColorRange", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2,
                                                      Integer y2) {
    _CastColorRange(bm, Lower, Upper, Color, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::SetTransparentColors(TRGB Lower, TRGB Upper, Integer Alpha) {
  RunImageProcessing({}, "SetTransparentColors", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2,
                                                     Integer y2) {
    _SetTransparentColors(bm, x1, y1, x2, y2, Lower, Upper, Alpha, OnProgress, this);
  });
}

void TLumerakProc::MergeLKBitmap(TLKBitmap* Other, Integer Percent) {
  RunImageProcessing({lk24RGB}, "Merge " + std::to_string(Percent),
                     [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
                       _Merge(bm, Other, Percent, x1, y1, x2, y2, OnProgress, this);
                     });
}

void TLumerakProc::Merge(TBitmap* Other, Integer Percent) {
  TLKBitmap wrapper;
  wrapper.EncapsulateTBitmap(Other, true);
  MergeLKBitmap(&wrapper, Percent);
  DoFinishWork();
}

TLKBitmap* TLumerakProc::GetRGBChannel(Integer Channel) {
  if (!MakeConsistentBitmap({lk24RGB})) return nullptr;
  TLKBitmap* out = _GetRGBChannel(FBitmap, Channel, OnProgress, this);
  DoFinishWork();
  return out;
}

TLKBitmap* TLumerakProc::GetHSVChannel(Integer Channel) {
  if (!MakeConsistentBitmap({lk24RGB})) return nullptr;
  TLKBitmap* out = _GetHSVChannel(FBitmap, Channel, OnProgress, this);
  DoFinishWork();
  return out;
}

void TLumerakProc::GetRGBChannelAll(TLKBitmap* Red, TLKBitmap* Green, TLKBitmap* Blue) {
  if (!MakeConsistentBitmap({lk24RGB})) return;
  _GetRGBChannelAll(FBitmap, Red, Green, Blue, OnProgress, this);
  DoFinishWork();
}

void TLumerakProc::GetHSVChannelAll(TLKBitmap* Hue, TLKBitmap* Saturation, TLKBitmap* Value) {
  if (!MakeConsistentBitmap({lk24RGB})) return;
  _GetHSVChannelAll(FBitmap, Hue, Saturation, Value, OnProgress, this);
  DoFinishWork();
}
