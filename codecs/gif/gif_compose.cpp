// Composition of an animation's frames on its logical screen, so that
// frame n is shown as it looks while the animation plays.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/gif/giffilter.h"
#include "codecs/lkcodecutil.h"

namespace {

constexpr Int64 kMaxPixelsPerByte = 4096 * 8 / 12 + 1;

struct TRect4 {
  Integer X = 0, Y = 0, W = 0, H = 0;
};

// Clips a rectangle to a canvas.
TRect4 Clip(TRect4 R, Integer CW, Integer CH) {
  const Integer x2 = std::min(R.X + R.W, CW), y2 = std::min(R.Y + R.H, CH);
  R.X = std::max(R.X, 0);
  R.Y = std::max(R.Y, 0);
  R.W = std::max(0, x2 - R.X);
  R.H = std::max(0, y2 - R.Y);
  return R;
}

void FillRect(TLKBitmap& C, const TRect4& R, const TRGB& Colour, Byte Alpha) {
  if (R.W <= 0 || R.H <= 0) return;
  const std::vector<TRGB> line(static_cast<size_t>(R.W), Colour);
  TLKBitmap* a = C.GetAlphaChannel();
  for (Integer y = R.Y; y < R.Y + R.H; ++y) {
    std::memcpy(static_cast<TRGB*>(C.GetScanLine(y)) + R.X, line.data(), size_t(R.W) * 3);
    std::memset(static_cast<Byte*>(a->GetScanLine(y)) + R.X, Alpha, size_t(R.W));
  }
}

// Saved pixels and alpha of a rectangle, for "restore previous".
struct TSavedArea {
  TRect4 Rect;
  std::vector<TRGB> Pixels;
  std::vector<Byte> Alpha;
  void Take(TLKBitmap& C, const TRect4& R) {
    Rect = R;
    if (R.W <= 0 || R.H <= 0) Rect = TRect4{};
    Pixels.resize(size_t(Rect.W) * size_t(Rect.H));
    Alpha.resize(Pixels.size());
    TLKBitmap* a = C.GetAlphaChannel();
    for (Integer y = 0; y < Rect.H; ++y) {
      std::memcpy(Pixels.data() + size_t(y) * R.W, static_cast<TRGB*>(C.GetScanLine(R.Y + y)) + R.X, size_t(R.W) * 3);
      std::memcpy(Alpha.data() + size_t(y) * R.W, static_cast<Byte*>(a->GetScanLine(R.Y + y)) + R.X, size_t(R.W));
    }
  }
  void Put(TLKBitmap& C) const {
    TLKBitmap* a = C.GetAlphaChannel();
    for (Integer y = 0; y < Rect.H; ++y) {
      std::memcpy(static_cast<TRGB*>(C.GetScanLine(Rect.Y + y)) + Rect.X, Pixels.data() + size_t(y) * Rect.W,
                  size_t(Rect.W) * 3);
      std::memcpy(static_cast<Byte*>(a->GetScanLine(Rect.Y + y)) + Rect.X, Alpha.data() + size_t(y) * Rect.W,
                  size_t(Rect.W));
    }
  }
};

// True when Dest may take Source's pixels without a copy: what Assign would
// give (the same storage, since a plain buffer picks memory or a temporary
// file by the picture's byte size against its threshold) is what Source
// already holds. Buffers over a caller's memory or class-library bitmap, and
// alpha channels, are always copied into.
bool CanTakeOver(TLKBitmap& Dest, TLKBitmap& Source) {
  if (Dest.GetIsAlphaChannel() || Dest.GetVclBitmapEncapsulated() || Dest.GetMemoryEncapsulated() ||
      Dest.GetLocation() == lkTBitmap || Source.GetLocation() == lkTBitmap || Source.GetMemoryEncapsulated() ||
      Source.GetMemoryAllocator() != Dest.GetMemoryAllocator())
    return false;
  const Int64 size = Int64(Source.GetRowLen()) * Source.GetHeight();
  TLKLocation where = Dest.GetLocation();
  if (where == lkFile && size < Dest.GetMinFileSize()) where = lkMemory;
  if (where == lkMemory && size > Dest.GetMinFileSize()) where = lkFile;
  return where == Source.GetLocation();
}

}  // namespace

Integer LKComposeGIFFrames(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || !Bitmap) return 0;
  TStream& S = *Stream;
  const Int64 start = S.Position();
  const Int64 dataSize = lkcodec::Remaining(S);
  const Integer requested = Params.GIF_IMAGEINDEX;
  TProgressRec frameProgress;
  frameProgress.AbortFlag = Progress.AbortFlag;
  if (requested < 1) frameProgress = Progress;
  std::unique_ptr<TLKBitmap> composite;
  TRect4 prevRect;
  TLKGIFAction prevDisposal = ioGIF_None;
  TSavedArea saved;
  Integer count = 0;
  std::unique_ptr<TLKBitmap> current;
  TLKPixelFormat format = lk24RGB;
  bool produced = false;

  for (Integer i = 0;; ++i) {
    auto frame = std::make_unique<TLKBitmap>();
    // Stored as Bitmap would store it, so a single frame can be handed over.
    frame->SetMinFileSize(Bitmap->GetMinFileSize());
    frame->SetMemoryAllocator(Bitmap->GetMemoryAllocator());
    S.Seek(start, soBeginning);
    Params.SetImageIndex(i);
    TLKMask* mask = nullptr;
    ReadGIFStream(&S, frame.get(), count, Params, frameProgress, false, mask, false);
    std::unique_ptr<TLKMask> maskHolder(mask);
    // A frame whose data ended early comes with the flag and its rows: it is
    // still shown (the loop ends after it).
    if (frame->IsEmpty()) break;
    format = frame->GetPixelFormat();
    if (mask) {
      TLKBitmap* a = frame->GetAlphaChannel();
      for (Integer y = 0; y < frame->GetHeight(); ++y)
        std::memcpy(a->GetScanLine(y), mask->GetScanLine(y), size_t(frame->GetWidth()));
      a->SetFull(false);
    }
    if (count > 1) {
      const TRect4 rect{Params.GIF_XPOS, Params.GIF_YPOS, frame->GetWidth(), frame->GetHeight()};
      Integer cw = std::max(Params.GIF_WINWIDTH, frame->GetWidth());
      Integer ch = std::max(Params.GIF_WINHEIGHT, frame->GetHeight());
      // A logical screen far larger than the data could ever paint is cut
      // to the frames' extent, so a tiny file cannot demand a huge canvas.
      const Int64 paintable = (dataSize + 1) * kMaxPixelsPerByte;
      if (Int64(cw) * ch > paintable) {
        cw = std::min(cw, rect.X + rect.W);
        ch = std::min(ch, rect.Y + rect.H);
        if (Int64(cw) * ch > paintable) {
          LKAbort(Progress, "GIF: damaged or unsupported data");
          break;
        }
      }
      const TRGB bg = Params.GIF_BACKGROUND;
      if (composite && prevDisposal == ioGIF_DrawBackground)
        FillRect(*composite, Clip(prevRect, composite->GetWidth(), composite->GetHeight()), bg, 0);
      if (composite && prevDisposal == ioGIF_RestorePrev) saved.Put(*composite);
      if (!composite) {
        if (!LKAllowPicture(cw, ch, 32, Progress, "GIF")) break;
        composite = std::make_unique<TLKBitmap>(cw, ch, lk24RGB);
        composite->GetAlphaChannel();
        FillRect(*composite, TRect4{0, 0, cw, ch}, bg, 0);
      } else if (composite->GetWidth() < cw || composite->GetHeight() < ch) {
        if (!LKAllowPicture(cw, ch, 32, Progress, "GIF")) break;
        auto bigger = std::make_unique<TLKBitmap>(std::max(cw, composite->GetWidth()),
                                                  std::max(ch, composite->GetHeight()), lk24RGB);
        bigger->GetAlphaChannel();
        FillRect(*bigger, TRect4{0, 0, bigger->GetWidth(), bigger->GetHeight()}, bg, 0);
        for (Integer y = 0; y < composite->GetHeight(); ++y) {
          std::memcpy(bigger->GetScanLine(y), composite->GetScanLine(y), size_t(composite->GetWidth()) * 3);
          std::memcpy(bigger->GetAlphaChannel()->GetScanLine(y), composite->GetAlphaChannel()->GetScanLine(y),
                      size_t(composite->GetWidth()));
        }
        composite = std::move(bigger);
      }
      const TRect4 drawn = Clip(rect, composite->GetWidth(), composite->GetHeight());
      if (Params.GIF_Disposal == ioGIF_RestorePrev) saved.Take(*composite, drawn);
      // Opaque frame pixels replace the composite's (GIF alpha is all or
      // nothing); transparent ones leave it as it was.
      if (frame->GetPixelFormat() != lk24RGB) frame->SetPixelFormat(lk24RGB);
      TLKBitmap* fa = frame->GetHasAlphaChannel() ? frame->GetAlphaChannel() : nullptr;
      TLKBitmap* ca = composite->GetAlphaChannel();
      for (Integer y = 0; y < drawn.H; ++y) {
        const Integer fy = drawn.Y - rect.Y + y, fx0 = drawn.X - rect.X;
        const TRGB* src = static_cast<const TRGB*>(frame->GetScanLine(fy)) + fx0;
        const Byte* sa = fa ? static_cast<const Byte*>(fa->GetScanLine(fy)) + fx0 : nullptr;
        TRGB* dst = static_cast<TRGB*>(composite->GetScanLine(drawn.Y + y)) + drawn.X;
        Byte* da = static_cast<Byte*>(ca->GetScanLine(drawn.Y + y)) + drawn.X;
        for (Integer x = 0; x < drawn.W; ++x) {
          if (sa && sa[x] == 0) continue;
          dst[x] = src[x];
          da[x] = sa ? sa[x] : 255;
        }
      }
      ca->SetFull(false);
      prevRect = rect;
      prevDisposal = Params.GIF_Disposal;
      Params.GIF_Disposal = ioGIF_DrawBackground;
      Params.GIF_XPOS = Params.GIF_YPOS = 0;
      current.reset();
    } else {
      current = std::move(frame);
    }
    produced = true;
    if (requested >= 1 && count > 0) lkcodec::Report(Progress, LKTrunc(i * (100.0 / count)));
    if (LKAborted(Progress) || i + 1 >= count || i == requested) break;
  }
  Params.SetImageIndex(requested);
  if (produced) {
    TLKBitmap* result = current ? current.get() : composite.get();
    if (CanTakeOver(*Bitmap, *result))
      result->SwitchTo(Bitmap);
    else
      Bitmap->Assign(result);
    if (Bitmap->GetPixelFormat() != format) Bitmap->SetPixelFormat(format);
  }
  return count;
}
