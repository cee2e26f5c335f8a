// Soft, rectangle, stamped and inner shadows from the alpha channel.
#include "processing/lkshadows.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkgaussian.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// An 8-bit plane (an alpha channel) held in memory, rows from the top.
struct Plane {
  Integer w = 0, h = 0;
  std::vector<Byte> px;
  Plane(Integer width, Integer height, Byte fill) : w(width), h(height), px(static_cast<size_t>(w) * h, fill) {}
  Byte& at(Integer x, Integer y) { return px[static_cast<size_t>(y) * w + x]; }
  Byte at(Integer x, Integer y) const { return px[static_cast<size_t>(y) * w + x]; }
};

Plane ReadPlane(TLKBitmap* b) {
  Plane p(b->GetWidth(), b->GetHeight(), 0);
  for (Integer y = 0; y < p.h; ++y) std::memcpy(&p.at(0, y), b->GetScanLine(y), static_cast<size_t>(p.w));
  return p;
}

void WritePlane(TLKBitmap* b, const Plane& p) {
  for (Integer y = 0; y < p.h; ++y)
    std::memcpy(b->GetScanLine(y), &p.px[static_cast<size_t>(y) * p.w], static_cast<size_t>(p.w));
}

// The alpha channel, made opaque when missing, marked as no longer full.
TLKBitmap* OpenAlpha(TLKBitmap* b) {
  TLKBitmap* alpha = b->GetAlphaChannel();
  alpha->SetFull(false);
  return alpha;
}

// Shadow extent: room for the offsets and the blur.
Integer Extent(double radius, Integer ox, Integer oy) {
  const Int64 g = 2 * static_cast<Int64>(std::max(std::abs(static_cast<Int64>(ox)), std::abs(static_cast<Int64>(oy)))) +
                  LKTrunc(radius * 5);
  return static_cast<Integer>(std::clamp<Int64>(g, 1, 1 << 20));
}

// 3 x 3 mean of columns x1..x2 - 1 and rows y1..y2 - 1, neighbours from the
// plane as it was (the picture's edges repeat).
void BoxBlur(Plane& p, Integer x1, Integer y1, Integer x2, Integer y2) {
  const Plane before = p;
  for (Integer y = std::max(y1, 0); y < std::min(y2, p.h); ++y)
    for (Integer x = std::max(x1, 0); x < std::min(x2, p.w); ++x) {
      Integer s = 0;
      for (Integer dy = -1; dy <= 1; ++dy)
        for (Integer dx = -1; dx <= 1; ++dx)
          s += before.at(std::clamp(x + dx, 0, p.w - 1), std::clamp(y + dy, 0, p.h - 1));
      p.at(x, y) = static_cast<Byte>(s / 9);
    }
}

// Moves the inclusive rectangle by (dx, dy): the rectangle is cleared to 0
// and the block laid back at its new place, clipped to the plane.
void MoveBlock(Plane& p, Integer x1, Integer y1, Integer x2, Integer y2, Integer dx, Integer dy) {
  if (dx == 0 && dy == 0) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, p.w - 1);
  y2 = std::min(y2, p.h - 1);
  if (x2 < x1 || y2 < y1) return;
  const Plane before = p;
  for (Integer y = y1; y <= y2; ++y) std::memset(&p.at(x1, y), 0, static_cast<size_t>(x2 - x1 + 1));
  for (Integer y = y1; y <= y2; ++y) {
    const Int64 ty = static_cast<Int64>(y) + dy;
    if (ty < 0 || ty >= p.h) continue;
    for (Integer x = x1; x <= x2; ++x) {
      const Int64 tx = static_cast<Int64>(x) + dx;
      if (tx >= 0 && tx < p.w) p.at(static_cast<Integer>(tx), static_cast<Integer>(ty)) = before.at(x, y);
    }
  }
}

// Where the picture was transparent and the shadow is not, the pixel takes
// the shadow (its alpha and colour); elsewhere the picture keeps its own
// alpha. Over columns x1..x2 and rows y1..y2 (inclusive).
void Compose(TLKBitmap* b, const Plane& own, Plane& shadow, TRGB colour, Integer x1, Integer y1, Integer x2,
             Integer y2) {
  const TLKPixelFormat f = b->GetPixelFormat();
  for (Integer y = y1; y <= y2; ++y) {
    Byte* row = (f == lk24RGB || f == lk1g) ? static_cast<Byte*>(b->GetScanLine(y)) : nullptr;
    for (Integer x = x1; x <= x2; ++x) {
      const Byte a = own.at(x, y);
      Byte& s = shadow.at(x, y);
      if (a != 0 || a == s) {
        s = a;
      } else if (f == lk24RGB) {
        reinterpret_cast<TRGB*>(row)[x] = colour;
      } else if (f == lk1g) {
        _SetPixelbw(row, x, 0);
      }
    }
  }
}

}  // namespace

void _LKAddSoftShadow(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, bool AdaptSize,
                      TRGB Colour, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  OpenAlpha(Bitmap);
  if (AdaptSize) {
    const Int64 g = Extent(Radius, OffsetX, OffsetY);
    Bitmap->Resize(static_cast<Integer>(std::min<Int64>(Bitmap->GetWidth() + g, 1 << 30)),
                   static_cast<Integer>(std::min<Int64>(Bitmap->GetHeight() + g, 1 << 30)), 0, 0, lkhCenter,
                   lkvCenter);
  }
  TLKBitmap* alpha = OpenAlpha(Bitmap);
  const Plane own = ReadPlane(alpha);
  // The alpha channel is blurred in place; it gets the composed shadow
  // below.
  _LKGBlur(alpha, Radius, OnProgress, Sender);
  Plane shadow = ReadPlane(alpha);
  MoveBlock(shadow, 0, 0, shadow.w - 1, shadow.h - 1, OffsetX, OffsetY);
  Compose(Bitmap, own, shadow, Colour, 0, 0, own.w - 1, own.h - 1);
  WritePlane(alpha, shadow);
  Bitmap->SetFull(false);
}

void _LKAddInnerShadow(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, TRGB Colour,
                       const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  const Plane own = ReadPlane(OpenAlpha(Bitmap));
  const Integer g = Extent(Radius, OffsetX, OffsetY), h = g / 2;
  // The alpha centred on a transparent margin of the shadow extent, blurred.
  TLKBitmap margin;
  margin.SetMinFileSize(Bitmap->GetMinFileSize());
  margin.Allocate(own.w + g, own.h + g, lk8g);
  margin.Fill(0);
  for (Integer y = 0; y < own.h; ++y)
    std::memcpy(static_cast<Byte*>(margin.GetScanLine(y + h)) + h, &own.px[static_cast<size_t>(y) * own.w],
                static_cast<size_t>(own.w));
  _LKGBlur(&margin, Radius, OnProgress, Sender);
  Plane c = ReadPlane(&margin);
  MoveBlock(c, 0, 0, own.w - 1, own.h - 1, OffsetX, OffsetY);
  if (Bitmap->GetPixelFormat() != lk24RGB) return;
  for (Integer y = 0; y < own.h; ++y) {
    TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < own.w; ++x) {
      const Integer u = (255 - c.at(x + h, y + h)) << 10;
      auto toward = [u](Byte v, Byte target) {
        return static_cast<Byte>(v + ((static_cast<Integer>(target) - v) * u >> 18));
      };
      TRGB& p = row[x];
      p = TRGB{toward(p.b, Colour.b), toward(p.g, Colour.g), toward(p.r, Colour.r)};
    }
  }
  Bitmap->SetFull(false);
}

Integer _LKAddSoftShadowRect(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, Integer X1,
                             Integer Y1, Integer X2, Integer Y2) {
  const bool box = Radius == 0;
  if (box) Radius = 2;
  const Integer g = Extent(Radius, OffsetX, OffsetY);
  if (!Bitmap || Bitmap->IsEmpty()) return g;
  const Integer h = g / 2, W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  TLKBitmap* alpha = OpenAlpha(Bitmap);
  const Plane own = ReadPlane(alpha);
  auto cx = [&](Int64 v) { return static_cast<Integer>(std::clamp<Int64>(v, 0, W - 1)); };
  auto cy = [&](Int64 v) { return static_cast<Integer>(std::clamp<Int64>(v, 0, H - 1)); };
  const Integer bx1 = cx(static_cast<Int64>(X1) - h), by1 = cy(static_cast<Int64>(Y1) - h);
  const Integer bx2 = cx(static_cast<Int64>(X2) + h), by2 = cy(static_cast<Int64>(Y2) + h);
  // The Gaussian blurs the alpha channel in place; it gets the composed
  // shadow below.
  if (!box) _LKGBlurRect8(alpha, bx1, by1, bx2, by2, Radius);
  Plane shadow = ReadPlane(alpha);
  if (box) BoxBlur(shadow, bx1, by1, bx2, by2);
  MoveBlock(shadow, bx1, by1, bx2, by2, OffsetX, OffsetY);
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  if (f == lk24RGB || f == lk1g)
    Compose(Bitmap, own, shadow, TRGB{0, 0, 0}, cx(static_cast<Int64>(X1) - g), cy(static_cast<Int64>(Y1) - g),
            cx(static_cast<Int64>(X2) + g), cy(static_cast<Int64>(Y2) + g));
  WritePlane(alpha, shadow);
  Bitmap->SetFull(false);
  return g;
}

void _LKAddSoftShadowRect2(TLKBitmap* Bitmap, Integer Size, double Intensity, Integer OffsetX, Integer OffsetY,
                           Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty() || Size < 1 || Size > 4096) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight(), half = Size / 2;
  const double k = (100 - Intensity) / 100;
  std::vector<double> p(static_cast<size_t>(Size));
  for (Integer i = 0; i < Size; ++i) p[static_cast<size_t>(i)] = std::exp(-k - std::pow((i - half) / (Size / 5.0), 2) / 2);
  std::vector<Int64> stamp(static_cast<size_t>(Size) * Size);
  for (Integer i = 0; i < Size; ++i)
    for (Integer j = 0; j < Size; ++j)
      stamp[static_cast<size_t>(i) * Size + j] = LKTrunc64(p[static_cast<size_t>(i)] * p[static_cast<size_t>(j)] * 65536);
  const Integer wx1 = std::clamp<Int64>(static_cast<Int64>(X1) - half, 0, W - 1);
  const Integer wy1 = std::clamp<Int64>(static_cast<Int64>(Y1) - half, 0, H - 1);
  const Integer wx2 = std::clamp<Int64>(static_cast<Int64>(X2) + half, 0, W - 1);
  const Integer wy2 = std::clamp<Int64>(static_cast<Int64>(Y2) + half, 0, H - 1);
  if (wx2 < wx1 || wy2 < wy1) return;
  TLKBitmap* alphaChannel = Bitmap->GetAlphaChannel();
  const Plane alpha = ReadPlane(alphaChannel);
  Plane t(wx2 - wx1 + 1, wy2 - wy1 + 1, 0);
  for (Integer y = std::max(wy1, 1); y <= std::min(wy2, H - 2); ++y)
    for (Integer x = std::max(wx1, 1); x <= std::min(wx2, W - 2); ++x) {
      const Byte a = alpha.at(x, y);
      if (a == 0) continue;
      Integer around = 0;
      for (Integer dy = -1; dy <= 1; ++dy)
        for (Integer dx = -1; dx <= 1; ++dx)
          if (dx != 0 || dy != 0) around += alpha.at(x + dx, y + dy);
      if (around < 2040) {
        const Int64 sx = static_cast<Int64>(x) + OffsetX, sy = static_cast<Int64>(y) + OffsetY;
        for (Integer i = -half; i < half; ++i) {
          const Int64 ty = sy + i;
          if (ty < wy1 || ty > wy2) continue;
          for (Integer j = -half; j < half; ++j) {
            const Int64 tx = sx + j;
            if (tx < wx1 || tx > wx2) continue;
            Byte& cell = t.at(static_cast<Integer>(tx - wx1), static_cast<Integer>(ty - wy1));
            const Int64 v = a * stamp[static_cast<size_t>(i + half) * Size + (j + half)] / 65536;
            cell = static_cast<Byte>(std::max<Int64>(cell, std::min<Int64>(v, 255)));
          }
        }
      }
      t.at(x - wx1, y - wy1) = a;
    }
  for (Integer y = wy1; y <= wy2; ++y) {
    TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
    for (Integer x = wx1; x <= wx2; ++x)
      if (alpha.at(x, y) == 0) row[x] = TRGB{0, 0, 0};
  }
  Plane out = alpha;
  for (Integer y = wy1; y <= wy2; ++y)
    std::memcpy(&out.at(wx1, y), &t.at(0, y - wy1), static_cast<size_t>(t.w));
  WritePlane(alphaChannel, out);
  alphaChannel->SetFull(false);
  Bitmap->SetFull(false);
}

void TLumerakProc::AddSoftShadow(double Radius, Integer OffsetX, Integer OffsetY, bool AdaptSize, TColor Color) {
  RunWholeImage({}, "AddSoftShadow", [&](TLKBitmap* b) {
    _LKAddSoftShadow(b, Radius, OffsetX, OffsetY, AdaptSize, TColor2TRGB(Color), OnProgress, this);
  });
}

void TLumerakProc::AddInnerShadow(double Radius, Integer OffsetX, Integer OffsetY, TColor Color) {
  RunWholeImage({}, "AddInnerShadow", [&](TLKBitmap* b) {
    _LKAddInnerShadow(b, Radius, OffsetX, OffsetY, TColor2TRGB(Color), OnProgress, this);
  });
}
