#include "processing/lkcolorreduce.h"

#include <cmath>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkquantizer.h"
#include "platform/graphics.h"
#include "processing/lkbwconv.h"
#include "processing/lkcolorops.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

void _ConvertToEx(TLKBitmap* Bitmap, Integer Colors, TRGB* Palette, const TLKProgressEvent& OnProgress,
                  TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || Colors < 1) return;
  std::vector<TRGB> scratch;
  if (!Palette) {
    scratch.assign(static_cast<size_t>(Colors), TRGB{0, 0, 0});
    Palette = scratch.data();
  }
  TLKQuantizer quantizer(Bitmap, Palette, 134217727, Colors, -1, 0);
  const Integer entries = quantizer.GetColorCount();
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  const lkpoint::RectProgress progress(OnProgress, Sender, 0, h);
  // Pictures repeat colours: the last colour's answer is kept.
  uint32_t lastKey = 0xFFFFFFFF;
  TRGB lastColour{0, 0, 0};
  for (Integer y = 0; y < h; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      const uint32_t key = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      if (key != lastKey) {
        Integer i = quantizer.GetRGBIndex(CreateRGB(p[2], p[1], p[0]));
        if (i < 0 || i >= entries) i = 0;
        lastKey = key;
        lastColour = Palette[i];
      }
      p[0] = lastColour.b, p[1] = lastColour.g, p[2] = lastColour.r;
    }
    progress.Row(y);
  }
}

void _LKfsdither(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap)) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  TLKBitmap out(w, h, lk1g);
  std::vector<double> cur(static_cast<size_t>(w), 0.0), next(static_cast<size_t>(w), 0.0);
  for (Integer y = 0; y < h; ++y) {
    const Integer d = (y & 1) == 0 ? 1 : -1;
    std::fill(next.begin(), next.end(), 0.0);
    // The source row is copied out: the output's row may replace it in
    // the mapping of a file-backed picture.
    const Byte* src = static_cast<const Byte*>(Bitmap->GetRow(y));
    Byte* dst = static_cast<Byte*>(out.GetScanLine(y));
    for (Integer i = 0; i < w; ++i) {
      const Integer c = d > 0 ? i : w - 1 - i;
      const Byte* p = src + static_cast<size_t>(c) * 3;
      const double v = lkpoint::Grey(p[2], p[1], p[0]) + cur[static_cast<size_t>(c)];
      const Integer o = std::floor(v + 0.5) >= 128 ? 255 : 0;
      if (o)
        dst[c >> 3] |= static_cast<Byte>(0x80 >> (c & 7));
      else
        dst[c >> 3] &= static_cast<Byte>(~(0x80 >> (c & 7)));
      const double err = v - o;
      next[static_cast<size_t>(c)] += err * 5 / 16;
      if (c + d >= 0 && c + d < w) {
        cur[static_cast<size_t>(c + d)] += err * 7 / 16;
        next[static_cast<size_t>(c + d)] += err * 1 / 16;
      }
      if (c - d >= 0 && c - d < w) next[static_cast<size_t>(c - d)] += err * 3 / 16;
    }
    Bitmap->FreeRow(0);
    cur.swap(next);
    if (OnProgress) OnProgress(Sender, LKTrunc(static_cast<double>(y) * 100 / h));
  }
  Bitmap->Assign(&out);
}

TLKBitmap* _ConvertTo1bitEx(TLKBitmap* Bitmap, TRGB& First, TRGB& Second) {
  if (!Bitmap || Bitmap->IsEmpty()) return nullptr;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  auto out = std::make_unique<TLKBitmap>(w, h, lk1g);
  Integer count = 0;
  TRGB first{0, 0, 0}, second{0, 0, 0};
  const bool rgb = Bitmap->GetPixelFormat() == lk24RGB;
  for (Integer y = 0; y < h && count <= 2; ++y) {
    const Byte* row = rgb ? static_cast<const Byte*>(Bitmap->GetRow(y)) : nullptr;
    Byte* dst = static_cast<Byte*>(out->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const TRGB c = rgb ? CreateRGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]) : Bitmap->GetPixels(x, y);
      if (count == 0) {
        first = c;
        count = 1;
      } else if (!(c == first) && (count < 2 || !(c == second))) {
        // Every further new colour lands in the second; from three on the
        // picture is not two-coloured.
        second = c;
        ++count;
      }
      if (c == first)
        dst[x >> 3] &= static_cast<Byte>(~(0x80 >> (x & 7)));
      else
        dst[x >> 3] |= static_cast<Byte>(0x80 >> (x & 7));
    }
    if (rgb) Bitmap->FreeRow(0);
  }
  if (count != 2) return nullptr;
  auto grey = [](const TRGB& c) {
    return lkpoint::Clamp8(LKRound((c.r * 21 + c.g * 71 + c.b * 8) / 100.0));
  };
  if (grey(second) < grey(first)) {
    _Negative1BitEx(out.get());
    std::swap(first, second);
  }
  First = first;
  Second = second;
  return out.release();
}

Integer _ConvertXBitsToYBits(const Byte* Source, Byte* Dest, Integer SourceBits, Integer DestBits, Word Width,
                             const TRGB* Palette, const TLKQuantizer* Quantizer) {
  const Integer w = Width;
  auto index = [&](const Byte* p) -> Integer {
    return Quantizer ? Quantizer->GetRGBIndex(CreateRGB(p[2], p[1], p[0])) : 0;
  };
  auto put24 = [&](Integer x, const TRGB& c) {
    Dest[x * 3] = c.b, Dest[x * 3 + 1] = c.g, Dest[x * 3 + 2] = c.r;
  };
  const TRGB black{0, 0, 0};
  auto entry = [&](Integer i) { return Palette ? Palette[i] : black; };
  const auto bit = [&](Integer x) { return (Source[x >> 3] >> (7 - (x & 7))) & 1; };
  const auto nibble = [&](Integer x) { return (x & 1) ? Source[x >> 1] & 15 : Source[x >> 1] >> 4; };
  switch (SourceBits * 100 + DestBits) {
    case 2404:
      for (Integer x = 0; x < w; ++x)
        Dest[x >> 1] |= static_cast<Byte>((index(Source + x * 3) & 15) << ((x & 1) ? 0 : 4));
      break;
    case 2408:
      for (Integer x = 0; x < w; ++x) Dest[x] = static_cast<Byte>(index(Source + x * 3));
      break;
    case 2424:
      std::copy_n(Source, w * 3, Dest);
      break;
    case 3224:
      for (Integer x = 0; x < w; ++x) Dest[x * 3] = Source[x * 4], Dest[x * 3 + 1] = Source[x * 4 + 1],
                                      Dest[x * 3 + 2] = Source[x * 4 + 2];
      break;
    case 801:
      std::fill_n(Dest, (w + 7) / 8, Byte{0});
      for (Integer x = 0; x < w; ++x)
        if (Source[x]) Dest[x >> 3] |= static_cast<Byte>(0x80 >> (x & 7));
      break;
    case 808:
      std::copy_n(Source, w, Dest);
      break;
    case 824:
      for (Integer x = 0; x < w; ++x) put24(x, entry(Source[x]));
      break;
    case 101:
      std::copy_n(Source, (w + 7) / 8, Dest);
      break;
    case 104:
      for (Integer x = 0; x < w; ++x) Dest[x >> 1] |= static_cast<Byte>(bit(x) << ((x & 1) ? 0 : 4));
      break;
    case 108:
      for (Integer x = 0; x < w; ++x) Dest[x] = static_cast<Byte>(bit(x));
      break;
    case 124:
      for (Integer x = 0; x < w; ++x) put24(x, entry(bit(x)));
      break;
    case 404:
      std::copy_n(Source, (w + 1) / 2, Dest);
      break;
    case 408:
      for (Integer x = 0; x < w; ++x) Dest[x] = static_cast<Byte>(nibble(x));
      break;
    case 424:
      for (Integer x = 0; x < w; ++x) put24(x, entry(nibble(x)));
      break;
    default:
      break;
  }
  switch (DestBits) {
    case 1: return (w + 7) / 8;
    case 4: return (w + 1) / 2;
    case 8: return w;
    case 24: return w * 3;
    default: return 0;
  }
}

TLKLogPalette _CreateWinPalette(const TRGB* Palette, Integer Count) {
  TLKLogPalette pal;
  const Integer n = !Palette || Count < 0 ? 0 : (Count > 256 ? 256 : Count);
  for (Integer i = 0; i < n; ++i) pal.Entries.push_back(TLKPaletteEntry{Palette[i].r, Palette[i].g, Palette[i].b, 0});
  return pal;
}

// --- Methods of the processing component ----------------------------------------

namespace {

// Black and white for fewer than three colours, as ConvertTo does it.
void ToBlackAndWhite(TLKBitmap* b, TLKDitherMethod method, const TLKProgressEvent& ev, TObject* sender) {
  TProgressRec progress;
  progress.OnProgress = ev;
  progress.Sender = sender;
  if (method == lkThreshold)
    _ConvertToBWThreshold(b, -1, progress);
  else
    _ConvertToBWOrdered(b, progress);
}

}  // namespace

void TLumerakProc::ConvertTo(Integer Colors, TLKDitherMethod Method) {
  RunWholeImage({lk24RGB}, "ConvertTo " + std::to_string(Colors), [&](TLKBitmap* b) {
    if (Colors < 3)
      ToBlackAndWhite(b, Method, OnProgress, this);
    else if (Colors <= 1024)
      _ConvertToEx(b, Colors, nullptr, OnProgress, this);
  });
}

void TLumerakProc::ConvertToPalette(Integer Colors, TRGB* Palette, TLKDitherMethod Method) {
  if (Colors == 0) return;
  RunWholeImage({lk24RGB}, "ConvertToPalette", [&](TLKBitmap* b) {
    if (Colors < 3) {
      ToBlackAndWhite(b, Method, OnProgress, this);
      // Black then white, each only where the caller gave room for it.
      if (Palette && Colors > 0) Palette[0] = TRGB{0, 0, 0};
      if (Palette && Colors > 1) Palette[1] = TRGB{255, 255, 255};
    } else if (Colors <= 1024) {
      _ConvertToEx(b, Colors, Palette, OnProgress, this);
    }
  });
}

void TLumerakProc::ConvertToBWOrdered() {
  RunWholeImage({lk24RGB}, "ConvertToBWOrdered", [&](TLKBitmap* b) { ToBlackAndWhite(b, lkOrdered, OnProgress, this); });
}

void TLumerakProc::ConvertToBWThreshold(Integer Threshold) {
  RunWholeImage({lk24RGB}, "ConvertToBWThreshold " + std::to_string(Threshold), [&](TLKBitmap* b) {
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    _ConvertToBWThreshold(b, Threshold, progress);
  });
}

void TLumerakProc::ConvertToBW_FloydSteinberg() {
  RunWholeImage({lk24RGB}, "ConvertToBW_FloyedSteinberg", [&](TLKBitmap* b) { _LKfsdither(b, OnProgress, this); });
}

void TLumerakProc::ConvertTo24Bit() {
  if (!FBitmap) return;
  if (FAttachedBitmap) FBitmap->UpdateFromTBitmap();
  if (FBitmap->GetPixelFormat() != lk1g) return;
  RunWholeImage({lk1g}, "ConvertTo24Bit", [&](TLKBitmap* b) {
    TLKBitmap copy;
    copy.Assign(b);
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    _Conv1to24Ex(&copy, b, progress);
  });
}

void TLumerakProc::CalcImagePalette(TRGB* Palette, Integer Colors) {
  if (!Palette || !MakeConsistentBitmap({lk24RGB}) || !lkpoint::Is24(FBitmap)) return;
  TLKQuantizer quantizer(FBitmap, Palette, Colors - 1, Colors, -1, 0);
}
