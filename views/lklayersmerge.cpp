// Layer merging: two layers of a view, the upper one optionally masked by
// the mask layer above it, composited into one 24-bit picture with alpha.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "processing/lkbwconv.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"
#include "views/lumerakview.h"

namespace {

// A layer's pixels as the merge reads them: lk24RGB rows at the display
// size, alpha rows (nil: opaque), its opacity and place. Temporary copies
// are made where the layer's own bitmap cannot be read as it is; the layer
// itself never changes.
struct TMergeSource {
  TLKBitmap* Pixels = nullptr;
  TLKBitmap* Alpha = nullptr;
  Int64 X = 0, Y = 0;
  Integer W = 0, H = 0;
  Integer Opacity = 255;
  std::unique_ptr<TLKBitmap> Resampled, Converted;

  void Prepare(TLKLayer* Layer, TResampleFilter Filter) {
    TLKBitmap* b = Layer->Bitmap;
    W = Layer->GetWidth();
    H = Layer->GetHeight();
    X = Layer->PosX;
    Y = Layer->PosY;
    Opacity = std::clamp(Layer->Opacity, 0, 255);
    if (W <= 0 || H <= 0 || b == nullptr || b->GetWidth() <= 0 || b->GetHeight() <= 0) {
      // An empty layer covers nothing.
      W = H = 0;
      return;
    }
    if (b->GetWidth() != W || b->GetHeight() != H) {
      Resampled = std::make_unique<TLKBitmap>();
      TLumerakProc proc(nullptr);
      proc.SetAttachedLKBitmap(b);
      proc.SetAutoUndo(false);
      proc.ResampleTo(Resampled.get(), W, H, Filter);
      b = Resampled.get();
    }
    Alpha = b->GetHasAlphaChannel() ? b->GetAlphaChannel() : nullptr;
    if (b->GetPixelFormat() != lk24RGB) {
      Converted = std::make_unique<TLKBitmap>(b->GetWidth(), b->GetHeight(), lk24RGB);
      if (b->GetPixelFormat() == lk1g) {
        for (Integer y = 0; y < b->GetHeight(); ++y)
          _ConvRow1To24(static_cast<const Byte*>(b->GetScanLine(y)), static_cast<Byte*>(Converted->GetScanLine(y)),
                        b->GetWidth());
      } else {
        // Other formats are converted as a whole rather than read as 1-bit
        // rows, which would run past the rows' ends.
        TLKBitmap copy;
        copy.AssignImage(b);
        copy.ConvertToPixelFormat(lk24RGB);
        copy.CopyRectTo(Converted.get(), 0, 0, 0, 0, copy.GetWidth(), copy.GetHeight());
      }
      b = Converted.get();
    }
    Pixels = b;
    // The sizes actually read (a resample may round to at least 1 pixel).
    W = std::min(W, Pixels->GetWidth());
    H = std::min(H, Pixels->GetHeight());
    if (Alpha && (Alpha->GetWidth() < W || Alpha->GetHeight() < H)) Alpha = nullptr;
  }
};

}  // namespace

void LKLayersMerge(TLKLayer* Layer1, TLKLayer* Layer2, TLKLayer* MaskLayer, TLKBitmap* Dest, TResampleFilter Filter,
                   TColor Background, bool Crop) {
  if (Layer1 == nullptr || Layer2 == nullptr || Dest == nullptr) return;
  TMergeSource s1, s2;
  s1.Prepare(Layer1, Filter);
  s2.Prepare(Layer2, Filter);

  // The mask layer as lk8g at its display size.
  std::unique_ptr<TLKBitmap> mask;
  Int64 xm = 0, ym = 0;
  if (MaskLayer != nullptr && MaskLayer->Bitmap != nullptr) {
    mask = std::make_unique<TLKBitmap>(std::max(MaskLayer->GetWidth(), 1), std::max(MaskLayer->GetHeight(), 1), lk8g);
    mask->Fill(0);
    if (MaskLayer->Bitmap->GetWidth() > 0 && MaskLayer->Bitmap->GetHeight() > 0) {
      TLKBitmap grey;
      grey.AssignImage(MaskLayer->Bitmap);
      if (grey.GetPixelFormat() != lk8g) grey.ConvertToPixelFormat(lk8g);
      if (grey.GetWidth() == mask->GetWidth() && grey.GetHeight() == mask->GetHeight())
        grey.CopyRectTo(mask.get(), 0, 0, 0, 0, grey.GetWidth(), grey.GetHeight());
      else
        _LKBmpStretchEx(&grey, mask.get());
    }
    xm = MaskLayer->PosX;
    ym = MaskLayer->PosY;
  }

  // Positions made non-negative, layer 1's first.
  if (s1.X < 0) { s2.X -= s1.X; xm -= s1.X; s1.X = 0; }
  if (s1.Y < 0) { s2.Y -= s1.Y; ym -= s1.Y; s1.Y = 0; }
  if (s2.X < 0) { s1.X -= s2.X; xm -= s2.X; s2.X = 0; }
  if (s2.Y < 0) { s1.Y -= s2.Y; ym -= s2.Y; s2.Y = 0; }

  const Int64 W = std::max(s1.X + s1.W, s2.X + s2.W), H = std::max(s1.Y + s1.H, s2.Y + s2.H);
  const Int64 ox = Crop ? std::min(s1.X, s2.X) : 0, oy = Crop ? std::min(s1.Y, s2.Y) : 0;
  const Int64 dw = W - ox, dh = H - oy;
  if (dw <= 0 || dh <= 0 || dw > std::numeric_limits<Integer>::max() || dh > std::numeric_limits<Integer>::max()) return;
  if (Dest->GetWidth() != dw || Dest->GetHeight() != dh || Dest->GetPixelFormat() != lk24RGB)
    Dest->Allocate(static_cast<Integer>(dw), static_cast<Integer>(dh), lk24RGB);
  TLKBitmap* destAlpha = Dest->GetAlphaChannel();
  destAlpha->SetFull(false);

  const TColor bgc = ColorToRGB(Background);
  const TRGB bg{static_cast<Byte>(GetBValue(bgc)), static_cast<Byte>(GetGValue(bgc)), static_cast<Byte>(GetRValue(bgc))};
  const TLKRenderOperation op = Layer2->Operation;

  for (Int64 y = oy; y < H; ++y) {
    auto* drow = static_cast<TRGB*>(Dest->GetScanLine(static_cast<Integer>(y - oy)));
    auto* arow = static_cast<Byte*>(destAlpha->GetScanLine(static_cast<Integer>(y - oy)));
    const Int64 ly1 = y - s1.Y, ly2 = y - s2.Y, lym = y - ym;
    const bool in1y = ly1 >= 0 && ly1 < s1.H, in2y = ly2 >= 0 && ly2 < s2.H;
    const TRGB* r1 = in1y ? static_cast<const TRGB*>(s1.Pixels->GetScanLine(static_cast<Integer>(ly1))) : nullptr;
    const TRGB* r2 = in2y ? static_cast<const TRGB*>(s2.Pixels->GetScanLine(static_cast<Integer>(ly2))) : nullptr;
    const Byte* a1 = in1y && s1.Alpha ? static_cast<const Byte*>(s1.Alpha->GetScanLine(static_cast<Integer>(ly1))) : nullptr;
    const Byte* a2 = in2y && s2.Alpha ? static_cast<const Byte*>(s2.Alpha->GetScanLine(static_cast<Integer>(ly2))) : nullptr;
    const Byte* mrow = mask && lym >= 0 && lym < mask->GetHeight()
                           ? static_cast<const Byte*>(mask->GetScanLine(static_cast<Integer>(lym)))
                           : nullptr;
    for (Int64 x = ox; x < W; ++x) {
      const Int64 lx1 = x - s1.X, lx2 = x - s2.X;
      const bool in1 = in1y && lx1 >= 0 && lx1 < s1.W, in2 = in2y && lx2 >= 0 && lx2 < s2.W;
      TRGB& d = drow[x - ox];
      Byte& da = arow[x - ox];
      if (!in1 && !in2) {
        d = bg;
        da = 0;
        continue;
      }
      Integer alpha2 = 0;
      if (in2) {
        alpha2 = std::min<Integer>(a2 ? a2[lx2] : 255, s2.Opacity);
        if (mask) {
          const Int64 lxm = x - xm;
          const Integer m = mrow && lxm >= 0 && lxm < mask->GetWidth() ? mrow[lxm] : 0;
          alpha2 = std::min(alpha2, m);
        }
      }
      const Integer alpha1 = in1 ? std::min<Integer>(a1 ? a1[lx1] : 255, s1.Opacity) : 0;
      if (!in1) {
        d = r2[lx2];
        da = static_cast<Byte>(alpha2);
        continue;
      }
      if (!in2) {
        d = r1[lx1];
        da = static_cast<Byte>(alpha1);
        continue;
      }
      const TRGB p1 = r1[lx1];
      TRGB b = p1;
      LKBlend(r2[lx2], b, op);
      const double f2 = alpha2 / 255.0, k = (1 - f2) * (alpha1 / 255.0), A = f2 + k;
      if (A != 0) {
        auto mix = [&](Byte bc, Byte pc) {
          return static_cast<Byte>(std::clamp(LKRoundEven((bc * f2 + pc * k) / A), 0, 255));
        };
        d = TRGB{mix(b.b, p1.b), mix(b.g, p1.g), mix(b.r, p1.r)};
      } else {
        d = b;
      }
      da = static_cast<Byte>(std::clamp(LKRoundEven(A * 255), 0, 255));
    }
  }
  destAlpha->SyncFull();
  if (destAlpha->GetFull()) Dest->RemoveAlphaChannel();
}

void TLumerakView::LayersMergeTo(Integer Index1, Integer Index2, TLKBitmap* Dest) {
  const Integer a = std::min(Index1, Index2), b = std::max(Index1, Index2);
  if (a < 0 || b >= GetLayersCount()) return;
  SyncCurrentToLayer();
  TLKLayer* mask = nullptr;
  if (b + 1 < GetLayersCount() && GetLayer(b + 1)->IsMask) mask = GetLayer(b + 1);
  LKLayersMerge(GetLayer(a), GetLayer(b), mask, Dest, FZoomFilter, GetBackground(), a > 0);
}

void TLumerakView::LayersMerge(Integer Index1, Integer Index2, bool RemoveUpper) {
  const Integer lo = std::min(Index1, Index2), hi = std::max(Index1, Index2);
  // Equal indexes would free the same layer twice.
  if (lo == hi || lo < 0 || hi >= GetLayersCount()) return;
  SyncCurrentToLayer();
  auto merged = std::make_unique<TLKLayer>(this, GetLayer(Index1)->Bitmap, false);
  LayersMergeTo(Index1, Index2, merged->Bitmap);
  TLKLayer* low = GetLayer(lo);
  TLKLayer* high = GetLayer(hi);
  if (lo > 0) {
    merged->PosX = std::min(low->PosX, high->PosX);
    merged->PosY = std::min(low->PosY, high->PosY);
  }
  merged->Locked = low->Locked;
  merged->BoxVisible = low->BoxVisible;
  merged->Selectable = low->Selectable;
  if (RemoveUpper) {
    if (hi + 1 < GetLayersCount() && GetLayer(hi + 1)->IsMask) {
      delete FLayers[static_cast<std::size_t>(hi + 1)];
      FLayers.erase(FLayers.begin() + hi + 1);
    }
    delete FLayers[static_cast<std::size_t>(hi)];
    FLayers.erase(FLayers.begin() + hi);
  }
  delete FLayers[static_cast<std::size_t>(lo)];
  FLayers[static_cast<std::size_t>(lo)] = merged.release();
  // The current bitmap may have been freed: nothing is written back.
  FCurrent = FLayers[static_cast<std::size_t>(lo)]->Bitmap;
  SetCurrentNone();
  SetLayersCurrent(lo);
}
