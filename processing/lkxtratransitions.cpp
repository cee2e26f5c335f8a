// The 133 list-drawn transitions (see lkxtratransitions.h), grouped in
// families that share a region builder or a kind of copy.
#include "processing/lkxtratransitions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lktransitionraster.h"

namespace {

// ---------------------------------------------------------------------------
// Random source
// ---------------------------------------------------------------------------

std::uint64_t gRandomState = 0x9E3779B97F4A7C15ull;

// ---------------------------------------------------------------------------
// One frame's context: the frame rows, the to picture's rows and the
// extents for the present progress.
// ---------------------------------------------------------------------------

struct TFrame {
  TLKRows F, T;
  Integer w = 0, h = 0, dx = 0, dy = 0, k = 0, p = 0;
  bool Valid = false;

  TFrame(TCanvas* Canvas, TBitmap* To, const TRect& Rect, Integer Fixed, Integer Percent) {
    thread_local std::vector<Byte*> frameRows, toRows;
    if (Canvas == nullptr || To == nullptr || Canvas->GetSurface() == nullptr) return;
    if (Canvas->GetSurface()->SurfaceBitsPerPixel() != 24 || To->GetPixelFormat() != pf24bit) return;
    F = LKRowsOf(Canvas->GetSurface(), frameRows);
    T = LKRowsOf(To, toRows);
    p = std::clamp(Percent, 0, 100);
    // EffectExtents: the revealed extents grow with the progress along the
    // longer side; k is the longer side over 90 (with Fixed = 1).
    w = Rect.Right - Rect.Left;
    h = Rect.Bottom - Rect.Top;
    if (w <= 0 || h <= 0) return;
    if (w >= h) {
      dx = LKMulDiv(w, p, 100);
      dy = LKMulDiv(dx, h, w);
      k = LKMulDiv(w, Fixed, 90);
    } else {
      dy = LKMulDiv(h, p, 100);
      dx = LKMulDiv(dy, w, h);
      k = LKMulDiv(h, Fixed, 90);
    }
    Valid = true;
  }
  // k as a divisor: a frame whose longer side is below 45 pixels has k = 0.
  Integer K() const { return std::max(k, 1); }

  /// T[S] to D: S of T stretched into D.
  void Str(TRect S, TRect D) const { LKRowsStretch(F, D, T, S); }
  /// T to D: the whole of T stretched into D.
  void Whole(TRect D) const { Str(TRect{0, 0, w, h}, D); }
  /// T[D]: D of T copied in place.
  void Copy(TRect D) const { Str(D, D); }
};

TLKRegionMask& Mask(const TFrame& c) {
  thread_local TLKRegionMask mask;
  mask.Reset(c.F.Width, c.F.Height);
  return mask;
}

void Clip(const TFrame& c, const TLKRegionMask& m) { m.Blit(c.F, c.T); }

#define EFFECT(Name)                                                                                        \
  void Name##Body(const TFrame& c, Integer w, Integer h, Integer dx, Integer dy, Integer k);                \
  void Name(TCanvas* Canvas, TBitmap*, TBitmap* To, const TRect& Rect, Integer Fixed, Integer Percent) {    \
    const TFrame c(Canvas, To, Rect, Fixed, Percent);                                                       \
    if (c.Valid) Name##Body(c, c.w, c.h, c.dx, c.dy, c.k);                                                  \
  }                                                                                                         \
  void Name##Body([[maybe_unused]] const TFrame& c, [[maybe_unused]] Integer w, [[maybe_unused]] Integer h, \
                  [[maybe_unused]] Integer dx, [[maybe_unused]] Integer dy, [[maybe_unused]] Integer k)

// ---------------------------------------------------------------------------
// Family 1: stretched and unscaled rectangle copies
// ---------------------------------------------------------------------------

EFFECT(Effect002) { c.Whole({0, 0, dx, h}); }
EFFECT(Effect001) { c.Whole({w - dx, 0, w, h}); }
EFFECT(Effect019) { c.Whole({0, 0, w, dy}); }
EFFECT(Effect018) { c.Whole({0, h - dy, w, h}); }
EFFECT(Effect037) { c.Whole({0, 0, dx, dy}); }
EFFECT(Effect036) { c.Whole({w - dx, 0, w, dy}); }
EFFECT(Effect038) { c.Whole({0, h - dy, dx, h}); }
EFFECT(Effect035) { c.Whole({w - dx, h - dy, w, h}); }
EFFECT(Effect008) { c.Str({w - dx, 0, w, h}, {dx - w, 0, w, h}); }
EFFECT(Effect007) { c.Str({0, 0, dx, h}, {0, 0, 2 * w - dx, h}); }
EFFECT(Effect025) { c.Str({0, h - dy, w, h}, {0, dy - h, w, h}); }
EFFECT(Effect024) { c.Str({0, 0, w, dy}, {0, 0, w, 2 * h - dy}); }
EFFECT(Effect009) { c.Str({(w - dx) / 2, 0, (w + dx) / 2, h}, {dx - w, 0, 2 * w - dx, h}); }
EFFECT(Effect026) { c.Str({0, (h - dy) / 2, w, (h + dy) / 2}, {0, dy - h, w, 2 * h - dy}); }
EFFECT(Effect013) {
  c.Str({0, 0, w / 2 + 1, h}, {0, 0, dx / 2 + 1, h});
  c.Str({w / 2, 0, w, h}, {w - dx / 2 - 1, 0, w, h});
}
EFFECT(Effect030) {
  c.Str({0, 0, w, h / 2 + 1}, {0, 0, w, dy / 2 + 1});
  c.Str({0, h / 2, w, h}, {0, h - dy / 2 - 1, w, h});
}
EFFECT(Effect027) { c.Whole({0, (h - dy) / 2, w, (h + dy) / 2}); }
EFFECT(Effect010) { c.Whole({(w - dx) / 2, 0, (w + dx) / 2, h}); }
EFFECT(Effect043) { c.Copy({0, 0, dx, dy}); }
EFFECT(Effect046) { c.Copy({w - dx, 0, w, dy}); }
EFFECT(Effect044) { c.Copy({0, h - dy, dx, h}); }
EFFECT(Effect045) { c.Copy({w - dx, h - dy, w, h}); }
EFFECT(Effect028) { c.Copy({0, (h - dy) / 2, w, (h + dy) / 2}); }
EFFECT(Effect012) {
  c.Copy({0, 0, dx / 2 + 1, h});
  c.Copy({w - dx / 2 - 1, 0, w, h});
}
EFFECT(Effect011) { c.Copy({(w - dx) / 2, 0, (w + dx) / 2, h}); }
EFFECT(Effect004) { c.Whole({dx - w, 0, dx, h}); }
EFFECT(Effect003) { c.Whole({w - dx, 0, 2 * w - dx, h}); }
EFFECT(Effect021) { c.Whole({0, dy - h, w, dy}); }
EFFECT(Effect020) { c.Whole({0, h - dy, w, 2 * h - dy}); }
EFFECT(Effect029) {
  c.Copy({0, 0, w, dy / 2 + 1});
  c.Copy({0, h - dy / 2 - 1, w, h});
}
EFFECT(Effect047) { c.Str({0, 0, dx, dy}, {0, 0, 2 * w - dx, 2 * h - dy}); }
EFFECT(Effect050) { c.Str({w - dx, 0, w, dy}, {dx - w, 0, w, 2 * h - dy}); }
EFFECT(Effect048) { c.Str({0, h - dy, dx, h}, {0, dy - h, 2 * w - dx, h}); }
EFFECT(Effect049) { c.Str({w - dx, h - dy, w, h}, {dx - w, dy - h, w, h}); }
EFFECT(Effect051) {
  c.Str({(w - dx) / 2, (h - dy) / 2, (w + dx) / 2, (h + dy) / 2}, {dx - w, dy - h, 2 * w - dx, 2 * h - dy});
}
EFFECT(Effect055) {
  c.Copy({0, 0, dx / 2 + 1, dy / 2 + 1});
  c.Copy({0, h - dy / 2 - 1, dx / 2 + 1, h});
  c.Copy({w - dx / 2 - 1, h - dy / 2 - 1, w, h});
  c.Copy({w - dx / 2 - 1, 0, w, dy / 2 + 1});
}
EFFECT(Effect056) {
  c.Str({0, 0, w / 2 + 1, h / 2 + 1}, {0, 0, dx / 2 + 1, dy / 2 + 1});
  c.Str({0, h / 2 + 1, w / 2 + 1, h}, {0, h - dy / 2, dx / 2 + 1, h});
  c.Str({w / 2 + 1, h / 2 + 1, w, h}, {w - dx / 2, h - dy / 2, w, h});
  c.Str({w / 2 + 1, 0, w, h / 2 + 1}, {w - dx / 2, 0, w, dy / 2 + 1});
}
EFFECT(Effect057) {
  c.Str({0, 0, w / 2 + 1, h / 2 + 1}, {(dx - w) / 2, 0, dx / 2 + 1, h / 2 + 1});
  c.Str({w / 2 - 1, 0, w, h / 2 + 1}, {w / 2 - 1, (dy - h) / 2, w, dy / 2 + 1});
  c.Str({w / 2 + 1, h / 2 - 1, w, h}, {w - dx / 2, h / 2 - 1, (w - dx) / 2 + w, h});
  c.Str({0, h / 2 + 1, w / 2 + 1, h}, {0, h - dy / 2, w / 2 + 1, (h - dy) / 2 + h});
}

// ---------------------------------------------------------------------------
// Family 2: unroll (a mirrored roll next to the moving edge)
// ---------------------------------------------------------------------------

Integer RollWidth(Integer d, Integer len) {
  if (d < len / 5) return d / 2;
  if (len - d < len / 5) return (len - d) / 2;
  return len / 10;
}

void Mirror(const TFrame& c, TRect Dest, TRect Source, bool H, bool V) {
  LKRowsStretch(c.F, Dest, c.T, Source, H, V);
}

EFFECT(Effect014) {
  const Integer r = RollWidth(dx, w);
  Mirror(c, {dx, 0, dx + r, h}, {dx + r, 0, dx + 2 * r, h}, true, false);
  c.Copy({0, 0, dx, h});
}
EFFECT(Effect015) {
  const Integer r = RollWidth(dx, w), e = w - dx;
  Mirror(c, {e - r, 0, e, h}, {e - 2 * r, 0, e - r, h}, true, false);
  c.Copy({e, 0, w, h});
}
EFFECT(Effect031) {
  const Integer r = RollWidth(dy, h);
  Mirror(c, {0, dy, w, dy + r}, {0, dy + r, w, dy + 2 * r}, false, true);
  c.Copy({0, 0, w, dy});
}
EFFECT(Effect032) {
  const Integer r = RollWidth(dy, h), e = h - dy;
  Mirror(c, {0, e - r, w, e}, {0, e - 2 * r, w, e - r}, false, true);
  c.Copy({0, e, w, h});
}

// ---------------------------------------------------------------------------
// Family 3: build up (a narrow strip of T stretched over the rest)
// ---------------------------------------------------------------------------

EFFECT(Effect017) {
  c.Copy({w - dx, 0, w, h});
  c.Str({std::max(w - dx - w / c.K(), 0), 0, w - dx, h}, {0, 0, w - dx, h});
}
EFFECT(Effect016) {
  c.Copy({0, 0, dx, h});
  c.Str({dx, 0, std::min(w / c.K() + dx, w), h}, {dx, 0, w, h});
}
EFFECT(Effect034) {
  c.Copy({0, h - dy, w, h});
  c.Str({0, std::max(h - dy - h / c.K(), 0), w, h - dy}, {0, 0, w, h - dy});
}
EFFECT(Effect033) {
  c.Copy({0, 0, w, dy});
  c.Str({0, dy, w, std::min(h / c.K() + dy, h)}, {0, dy, w, h});
}

// ---------------------------------------------------------------------------
// Family 4: rounded rectangles
// ---------------------------------------------------------------------------

void RoundClip(const TFrame& c, Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH) {
  TLKRegionMask& m = Mask(c);
  m.AddRoundRect(L, T, R, B, EW, EH);
  Clip(c, m);
}

EFFECT(Effect058) { RoundClip(c, -2 * w, -5, 2 * dx, h + 5, 2 * w, 2 * w); }
EFFECT(Effect059) { RoundClip(c, w - 2 * dx, -5, 3 * w, h + 5, 2 * w, 2 * w); }
EFFECT(Effect069) { RoundClip(c, -5, -2 * h, w + 5, 2 * dy, 2 * h, 2 * h); }
EFFECT(Effect070) { RoundClip(c, -5, h - 2 * dy, w + 5, 3 * h, 2 * h, 2 * h); }
EFFECT(Effect080) { RoundClip(c, -2 * w, -2 * h, 2 * dx, 2 * dy, 2 * w, 2 * h); }
EFFECT(Effect081) { RoundClip(c, w - 2 * dx, -2 * h, 3 * w, 2 * dy, 2 * w, 2 * h); }
EFFECT(Effect082) { RoundClip(c, -2 * w, h - 2 * dy, 2 * dx, 3 * h, 2 * w, 2 * h); }
EFFECT(Effect083) { RoundClip(c, w - 2 * dx, h - 2 * dy, 3 * w, 3 * h, 2 * h, 2 * h); }
EFFECT(Effect084) {
  const Integer cx = w / 2, cy = h / 2;
  RoundClip(c, cx - dx, cy - dy, cx + dx, cy + dy, dx * 9 / 5, dy * 9 / 5);
}
EFFECT(Effect085) {
  TLKRegionMask& m = Mask(c);
  m.AddRect(0, 0, w, h);
  m.XorRoundRect(dx - w / 2, dy - h / 2, (3 * w) / 2 - dx, (3 * h) / 2 - dy, (w - dx) * 9 / 5, (h - dy) * 9 / 5);
  Clip(c, m);
}

// ---------------------------------------------------------------------------
// Family 5: bars and crisscross, bands 5 pixels wide
// ---------------------------------------------------------------------------

void BarsRegion(TLKRegionMask& m, Integer X, Integer Y, Integer w, Integer h, Integer K, Integer HKind,
                Integer VKind) {
  if (HKind != 0) {
    const bool second = X > w;
    if (!second && X > w - K) X = w;  // the bars snap shut when less than K is missing
    for (Integer i = second ? 5 : 0; i < h + 5; i += 10) {
      if (!second) {
        switch (HKind) {
          case 1: case 5: m.AddRect(w - X, i, w, i + 5); break;
          case 2: case 4: m.AddRect(0, i, X, i + 5); break;
          case 3:
            m.AddRect(0, i + 5, X, i + 10);
            m.AddRect(w - X, i, w, i + 5);
            break;
          default: break;
        }
      } else {
        m.AddRect(0, i - 5, w, i);
        if (HKind == 1 || HKind == 4) m.AddRect(2 * w - X, i, w, i + 5);
        if (HKind == 2 || HKind == 5) m.AddRect(0, i, X - w, i + 5);
      }
    }
  }
  if (VKind != 0) {
    const bool second = Y > h;
    if (!second && Y > h - K) Y = h;
    for (Integer j = second ? 5 : 0; j < w + 5; j += 10) {
      if (!second) {
        switch (VKind) {
          case 1: case 5: m.AddRect(j, h - Y, j + 5, h); break;
          case 2: case 4: m.AddRect(j, 0, j + 5, Y); break;
          case 3:
            m.AddRect(j + 5, 0, j + 10, Y);
            m.AddRect(j, h - Y, j + 5, h);
            break;
          default: break;
        }
      } else {
        m.AddRect(j - 5, 0, j, h);
        if (VKind == 1 || VKind == 4) m.AddRect(j, 2 * h - Y, j + 5, h);
        if (VKind == 2 || VKind == 5) m.AddRect(j, 0, j + 5, Y - h);
      }
    }
  }
}

void Bars(const TFrame& c, Integer X, Integer Y, Integer K, Integer HKind, Integer VKind) {
  TLKRegionMask& m = Mask(c);
  BarsRegion(m, X, Y, c.w, c.h, K, HKind, VKind);
  Clip(c, m);
}

EFFECT(Effect061) { Bars(c, 2 * dx, 0, k, 2, 0); }
EFFECT(Effect060) { Bars(c, 2 * dx, 0, k, 1, 0); }
EFFECT(Effect072) { Bars(c, 0, 2 * dy, k, 0, 2); }
EFFECT(Effect071) { Bars(c, 0, 2 * dy, k, 0, 1); }
EFFECT(Effect062) { Bars(c, 2 * dx, 0, k, 4, 0); }
EFFECT(Effect063) { Bars(c, 2 * dx, 0, k, 5, 0); }
EFFECT(Effect073) { Bars(c, 0, 2 * dy, k, 0, 4); }
EFFECT(Effect074) { Bars(c, 0, 2 * dy, k, 0, 5); }
EFFECT(Effect064) { Bars(c, dx, 0, 0, 3, 0); }
EFFECT(Effect075) { Bars(c, 0, dy, 0, 0, 3); }
EFFECT(Effect089) { Bars(c, 2 * dx, 2 * dy, k, 2, 2); }
EFFECT(Effect087) { Bars(c, 2 * dx, 2 * dy, k, 1, 2); }
EFFECT(Effect088) { Bars(c, 2 * dx, 2 * dy, k, 2, 1); }
EFFECT(Effect086) { Bars(c, 2 * dx, 2 * dy, k, 1, 1); }
EFFECT(Effect090) { Bars(c, 2 * dx, 2 * dy, k, 4, 4); }
EFFECT(Effect092) { Bars(c, 2 * dx, 2 * dy, k, 5, 4); }
EFFECT(Effect091) { Bars(c, 2 * dx, 2 * dy, k, 4, 5); }
EFFECT(Effect093) { Bars(c, 2 * dx, 2 * dy, k, 5, 5); }
EFFECT(Effect097) { Bars(c, dx, dy, k, 3, 2); }
EFFECT(Effect096) { Bars(c, dx, dy, k, 3, 1); }
EFFECT(Effect095) { Bars(c, dx, dy, k, 2, 3); }
EFFECT(Effect098) { Bars(c, dx, dy, 0, 3, 3); }
EFFECT(Effect094) { Bars(c, dx, dy, k, 1, 3); }
EFFECT(Effect099) {
  TLKRegionMask& m = Mask(c);
  BarsRegion(m, 2 * dx, 2 * dy, w, h, k, 1, 1);
  thread_local TLKRegionMask other;
  other.Reset(c.F.Width, c.F.Height);
  BarsRegion(other, 2 * dx, 2 * dy, w, h, k, 2, 2);
  m.Intersect(other);
  Clip(c, m);
}

// ---------------------------------------------------------------------------
// Family 6: shredded (ragged bands with random jitter)
// ---------------------------------------------------------------------------

void ShredRegion(TLKRegionMask& m, Integer X, Integer Y, Integer w, Integer h, Integer HKind, Integer VKind) {
  if (HKind != 0) {
    const Integer amp = X < w ? w / 7 : 0;
    const auto j = [amp] { return LKTransitionRandom(amp) - LKTransitionRandom(amp); };
    for (Integer o = 0; o < h; o += 5) {
      const Integer b = o + 5 + h % 5;
      switch (HKind) {
        case 1: m.AddRect(w - X + j(), o, w, b); break;
        case 2: m.AddRect(0, o, X + j(), b); break;
        case 3:
          m.AddRect((w - X + j()) / 2, o, w / 2, b);
          m.AddRect(w / 2, o, (X + w + j()) / 2, b);
          break;
        case 4:
          m.AddRect(w - (X + j()) / 2, o, w, b);
          m.AddRect(0, o, (X + j()) / 2, b);
          break;
        default: break;
      }
    }
  }
  if (VKind != 0) {
    const Integer amp = Y < h ? h / 7 : 0;
    const auto j = [amp] { return LKTransitionRandom(amp) - LKTransitionRandom(amp); };
    for (Integer o = 0; o < w; o += 5) {
      const Integer r = o + 5 + w % 5;
      switch (VKind) {
        case 1: m.AddRect(o, h - Y + j(), r, h); break;
        case 2: m.AddRect(o, 0, r, Y + j()); break;
        case 3:
          m.AddRect(o, (h - Y + j()) / 2, r, h / 2);
          m.AddRect(o, h / 2, r, (Y + h + j()) / 2);
          break;
        case 4:
          m.AddRect(o, h - (Y + j()) / 2, r, h);
          m.AddRect(o, 0, r, (Y + j()) / 2);
          break;
        default: break;
      }
    }
  }
}

void Shred(const TFrame& c, Integer X, Integer Y, Integer HKind, Integer VKind) {
  TLKRegionMask& m = Mask(c);
  ShredRegion(m, X, Y, c.w, c.h, HKind, VKind);
  Clip(c, m);
}

EFFECT(Effect066) { Shred(c, dx, 0, 2, 0); }
EFFECT(Effect065) { Shred(c, dx, 0, 1, 0); }
EFFECT(Effect077) { Shred(c, 0, dy, 0, 2); }
EFFECT(Effect076) { Shred(c, 0, dy, 0, 1); }
EFFECT(Effect103) { Shred(c, dx, dy, 2, 2); }
EFFECT(Effect101) { Shred(c, dx, dy, 1, 2); }
EFFECT(Effect102) { Shred(c, dx, dy, 2, 1); }
EFFECT(Effect100) { Shred(c, dx, dy, 1, 1); }
EFFECT(Effect105) { Shred(c, dx, dy, 2, 3); }
EFFECT(Effect104) { Shred(c, dx, dy, 1, 3); }
EFFECT(Effect107) { Shred(c, dx, dy, 3, 2); }
EFFECT(Effect106) { Shred(c, dx, dy, 3, 1); }
EFFECT(Effect109) { Shred(c, dx, dy, 4, 4); }
EFFECT(Effect108) { Shred(c, dx, dy, 3, 3); }
EFFECT(Effect079) { Shred(c, 0, dy, 0, 4); }
EFFECT(Effect068) { Shred(c, dx, 0, 4, 0); }
EFFECT(Effect078) { Shred(c, 0, dy, 0, 3); }
EFFECT(Effect067) { Shred(c, dx, 0, 3, 0); }

// ---------------------------------------------------------------------------
// Family 7: triangles and grids
// ---------------------------------------------------------------------------

void Triangles(const TFrame& c, std::initializer_list<TPoint> Points) {
  TLKRegionMask& m = Mask(c);
  const TPoint* p = Points.begin();
  for (std::size_t i = 0; i + 2 < Points.size(); i += 3) m.AddPolygon(p + i, 3);
  Clip(c, m);
}

EFFECT(Effect110) { Triangles(c, {{0, 0}, {2 * dx, 0}, {0, 2 * dy}}); }
EFFECT(Effect111) { Triangles(c, {{w, 0}, {w - 2 * dx, 0}, {w, 2 * dy}}); }
EFFECT(Effect112) { Triangles(c, {{0, h}, {2 * dx, h}, {0, h - 2 * dy}}); }
EFFECT(Effect113) { Triangles(c, {{w, h}, {w - 2 * dx, h}, {w, h - 2 * dy}}); }
EFFECT(Effect115) { Triangles(c, {{w, 0}, {0, 0}, {w, dy}, {w, h}, {0, h}, {0, h - dy}}); }
EFFECT(Effect114) { Triangles(c, {{0, h}, {0, 0}, {dx, h}, {w, h}, {w, 0}, {w - dx, 0}}); }
EFFECT(Effect116) {
  const TPoint C{w / 2, h / 2};
  Triangles(c, {C, {0, h}, {0, h - dy}, {0, 0}, {dx, 0}, C, {w - dx, h}, C, {w, h}, C, {w, 0}, {w, dy}});
}

// The grid of the two shreds: g cells along each side (k halved).
Integer GridCells(Integer k) { return std::max(k > 1 ? k / 2 : k, 1); }

EFFECT(Effect117) {
  const Integer g = GridCells(k);
  const Integer a = dx / g, b = dy / g, cw = w / g, ch = h / g;
  TLKRegionMask& m = Mask(c);
  for (Integer r = g; r >= 0; --r)
    for (Integer d = g; d >= 0; --d) {
      const TPoint t[3] = {{d * cw - a, r * ch - b}, {d * cw + a, r * ch - b}, {d * cw - a, r * ch + b}};
      m.AddPolygon(t, 3);
    }
  Clip(c, m);
}
EFFECT(Effect142) {
  const Integer a = dx / c.K(), b = dy / c.K();
  const Integer g = GridCells(k);
  const Integer cw = w / g, ch = h / g;
  TLKRegionMask& m = Mask(c);
  for (Integer r = g; r >= 0; --r)
    for (Integer d = g; d >= 0; --d) m.AddRect(d * cw - a, r * ch - b, d * cw + a, r * ch + b);
  Clip(c, m);
}

// ---------------------------------------------------------------------------
// Family 8: sweeps and rotations
// ---------------------------------------------------------------------------

// The centre, then n + 1 arc points from Start to End inclusive, so that a
// full sweep closes the circle.
std::vector<TPoint> PieRegion(Integer cx, Integer cy, Integer r, double Start, double End, Integer n) {
  std::vector<TPoint> pts{{cx, cy}};
  const double s = (End - Start) / n;
  for (Integer i = 0; i <= n; ++i) {
    const double a = Start + i * s;
    pts.push_back({cx + LKRound(r * std::cos(a)), cy + LKRound(r * std::sin(a))});
  }
  return pts;
}

void Sweep(const TFrame& c, double Sign) {
  if (c.p == 0) return;
  const Integer cx = c.w / 2, cy = c.h / 2;
  const Integer r = LKCeil(std::sqrt(static_cast<long double>(cx) * cx + static_cast<long double>(cy) * cy));
  const double start = -std::numbers::pi / 2;
  const auto pts = PieRegion(cx, cy, r, start, Sign * c.p * std::numbers::pi / 50 + start, c.p);
  TLKRegionMask& m = Mask(c);
  m.AddPolygon(pts.data(), static_cast<Integer>(pts.size()));
  Clip(c, m);
}

EFFECT(Effect143) { Sweep(c, 1); }
EFFECT(Effect144) { Sweep(c, -1); }

void Rotated(const TFrame& c, TPoint* Points, Integer Count) {
  RotatePoints(Points, Count, c.w / 2, c.h / 2, c.p * std::numbers::pi_v<long double> / 50);
  TLKRegionMask& m = Mask(c);
  m.AddPolygon(Points, Count);
  Clip(c, m);
}

EFFECT(Effect149) {
  const Integer cx = w / 2, cy = h / 2, a = dx / 2, b = dy / 2;
  TPoint pts[4] = {{cx - a, cy - b}, {cx + a, cy - b}, {cx + a, cy + b}, {cx - a, cy + b}};
  Rotated(c, pts, 4);
}
EFFECT(Effect150) {
  const Integer cx = w / 2, cy = h / 2;
  TPoint pts[8] = {{cx - 2 * dx, cy},         {cx - dx / 2, cy - dy / 2}, {cx, cy - 2 * dy},
                   {cx + dx / 2, cy - dy / 2}, {cx + 2 * dx, cy},         {cx + dx / 2, cy + dy / 2},
                   {cx, cy + 2 * dy},         {cx - dx / 2, cy + dy / 2}};
  Rotated(c, pts, 8);
}

// ---------------------------------------------------------------------------
// Family 9: speckled wipes
// ---------------------------------------------------------------------------

void SpeckleRegion(TLKRegionMask& m, Integer X, Integer Y, Integer w, Integer h, Integer HKind, Integer VKind) {
  // Speckle i squares beyond the solid edge: always for i = 1, with chance
  // 2/i up to t and 1/i beyond.
  const auto keep = [](Integer i, Integer t) { return (i <= t ? 1 : 0) >= LKTransitionRandom(i); };
  if (HKind != 0) {
    const Integer e = X < w ? w / 10 : 0;
    const Integer f = std::max(e / 20, 2), n = e / f, t = (3 * e / f) / 4;
    for (Integer y = 0; y < h; y += f / 2) {
      if (HKind == 1) m.AddRect(w - X, y, w, y + f);
      else m.AddRect(0, y, X, y + f);
      for (Integer i = n; i >= 1; --i) {
        if (!keep(i, t)) continue;
        if (HKind == 1) m.AddRect(w - X - f * i, y, w - X - f * i + f, y + f);
        else m.AddRect(X + f * i - f, y, X + f * i, y + f);
      }
    }
  }
  if (VKind != 0) {
    const Integer e = Y < h ? h / 10 : 0;
    const Integer f = std::max(e / 20, 2), n = e / f, t = (3 * e / f) / 4;
    for (Integer x = 0; x < w; x += f / 2) {
      if (VKind == 1) m.AddRect(x, h - Y, x + f, h);
      else m.AddRect(x, 0, x + f, Y);
      for (Integer i = n; i >= 1; --i) {
        if (!keep(i, t)) continue;
        if (VKind == 1) m.AddRect(x, h - Y - f * i, x + f, h - Y - f * i + f);
        else m.AddRect(x, Y + f * i - f, x + f, Y + f * i);
      }
    }
  }
}

void Speckle(const TFrame& c, Integer HKind, Integer VKind) {
  TLKRegionMask& m = Mask(c);
  SpeckleRegion(m, c.dx, c.dy, c.w, c.h, HKind, VKind);
  Clip(c, m);
}

EFFECT(Effect124) { Speckle(c, 2, 0); }
EFFECT(Effect123) { Speckle(c, 1, 0); }
EFFECT(Effect126) { Speckle(c, 0, 2); }
EFFECT(Effect125) { Speckle(c, 0, 1); }

// ---------------------------------------------------------------------------
// Family 10: push and squeeze (the previous frame moves; its displacement
// adds up from frame to frame)
// ---------------------------------------------------------------------------

void Squeeze(const TFrame& c, TRect Dest) {
  // A squeeze along the rows keeps every row in place: the stretch reads
  // each row whole before writing it, so it can work on the frame itself.
  if (Dest.Top == 0 && Dest.Bottom == c.h) {
    LKRowsStretch(c.F, Dest, c.F, TRect{0, 0, c.w, c.h});
    return;
  }
  thread_local std::vector<Byte> copy;
  thread_local std::vector<Byte*> rows;
  const std::size_t rowBytes = static_cast<std::size_t>(c.F.Width) * 3;
  copy.resize(rowBytes * static_cast<std::size_t>(c.F.Height));
  rows.resize(static_cast<std::size_t>(c.F.Height));
  for (Integer y = 0; y < c.F.Height; ++y) {
    rows[static_cast<std::size_t>(y)] = copy.data() + rowBytes * static_cast<std::size_t>(y);
    std::copy_n(c.F.Rows[static_cast<std::size_t>(y)], rowBytes, rows[static_cast<std::size_t>(y)]);
  }
  const TLKRows snapshot{rows.data(), c.F.Width, c.F.Height};
  LKRowsStretch(c.F, Dest, snapshot, TRect{0, 0, c.w, c.h});
}

EFFECT(Effect129) {
  LKRowsCopy(c.F, 0, 0, c.F, dx, 0, w - dx, h);
  c.Str({0, 0, dx, h}, {w - dx, 0, w, h});
}
EFFECT(Effect128) {
  LKRowsCopy(c.F, dx, 0, c.F, 0, 0, w - dx, h);
  c.Str({w - dx, 0, w, h}, {0, 0, dx, h});
}
EFFECT(Effect133) {
  LKRowsCopy(c.F, 0, 0, c.F, 0, dy, w, h - dy);
  c.Str({0, 0, w, dy}, {0, h - dy, w, h});
}
EFFECT(Effect132) {
  LKRowsCopy(c.F, 0, dy, c.F, 0, 0, w, h - dy);
  c.Str({0, h - dy, w, h}, {0, 0, w, dy});
}
EFFECT(Effect131) {
  Squeeze(c, {0, 0, w - dx, h});
  c.Str({0, 0, dx, h}, {w - dx, 0, w, h});
}
EFFECT(Effect130) {
  Squeeze(c, {dx, 0, w, h});
  c.Str({w - dx, 0, w, h}, {0, 0, dx, h});
}
EFFECT(Effect135) {
  Squeeze(c, {0, 0, w, h - dy});
  c.Str({0, 0, w, dy}, {0, h - dy, w, h});
}
EFFECT(Effect134) {
  Squeeze(c, {0, dy, w, h});
  c.Str({0, h - dy, w, h}, {0, 0, w, dy});
}

// ---------------------------------------------------------------------------
// Families 11 and 12: blinds and rectangles
// ---------------------------------------------------------------------------

// Strips of period c showing the first p % of it; Kind 0 from the left,
// 1 from the right, 2 from the top, 3 from the bottom.
void Blinds(TLKRegionMask& m, const TFrame& f, Integer c, Integer Kind) {
  c = std::max(c, 1);
  const Integer s = f.p * c / 100, w = f.w, h = f.h;
  switch (Kind) {
    case 0: for (Integer j = 0; j * c < w; ++j) m.AddRect(j * c, 0, j * c + s, h); break;
    case 1: for (Integer j = 0; w - j * c >= 0; ++j) m.AddRect(w - s - j * c, 0, w - j * c, h); break;
    case 2: for (Integer j = 0; j * c < h; ++j) m.AddRect(0, j * c, w, j * c + s); break;
    case 3: for (Integer j = 0; h - j * c >= 0; ++j) m.AddRect(0, h - s - j * c, w, h - j * c); break;
    default: break;
  }
}

void BlindsClip(const TFrame& c, Integer Period, Integer Kind) {
  TLKRegionMask& m = Mask(c);
  Blinds(m, c, Period, Kind);
  Clip(c, m);
}

EFFECT(Effect137) { BlindsClip(c, h / c.K(), 2); }
EFFECT(Effect136) { BlindsClip(c, w / c.K(), 0); }
EFFECT(Effect138) { BlindsClip(c, dx, 0); }
EFFECT(Effect139) { BlindsClip(c, dx, 1); }
EFFECT(Effect140) { BlindsClip(c, dy, 2); }
EFFECT(Effect141) { BlindsClip(c, dy, 3); }

// Centred stripes of period Period, rows (Horizontal) or columns, joined
// with the uneven blinds of Kind.
void Rectangles(const TFrame& c, bool Horizontal, Integer Kind) {
  TLKRegionMask& m = Mask(c);
  const Integer per = std::max((Horizontal ? c.h : c.w) / c.K(), 1);
  const Integer half = c.p * per / 200, len = Horizontal ? c.h : c.w;
  for (Integer j = 0; per / 2 - half + j * per < len; ++j) {
    const Integer a = per / 2 - half + j * per, b = per / 2 + half + j * per;
    if (Horizontal) m.AddRect(0, a, c.w, b);
    else m.AddRect(a, 0, b, c.h);
  }
  Blinds(m, c, Kind < 2 ? c.dx : c.dy, Kind);
  Clip(c, m);
}

EFFECT(Effect145) { Rectangles(c, true, 0); }
EFFECT(Effect146) { Rectangles(c, true, 1); }
EFFECT(Effect147) { Rectangles(c, false, 2); }
EFFECT(Effect148) { Rectangles(c, false, 3); }

#undef EFFECT

}  // namespace

// ---------------------------------------------------------------------------
// Public helpers
// ---------------------------------------------------------------------------

Integer LKMulDiv(Integer a, Integer b, Integer c) {
  if (c == 0) return -1;
  const Int64 p = static_cast<Int64>(a) * b;
  const bool neg = (p < 0) != (c < 0);
  const Int64 ap = p < 0 ? -p : p, ac = c < 0 ? -static_cast<Int64>(c) : c;
  const Int64 q = (ap + ac / 2) / ac;
  return static_cast<Integer>(neg ? -q : q);
}

void MirrorCopyRect(TCanvas* Canvas, const TRect& Dest, TBitmap* Bitmap, const TRect& Source, bool MirrorH,
                    bool MirrorV) {
  if (Canvas == nullptr || Bitmap == nullptr || Canvas->GetSurface() == nullptr) return;
  if (Canvas->GetSurface()->SurfaceBitsPerPixel() != 24 || Bitmap->GetPixelFormat() != pf24bit) return;
  std::vector<Byte*> dstRows, srcRows;
  LKRowsStretch(LKRowsOf(Canvas->GetSurface(), dstRows), Dest, LKRowsOf(Bitmap, srcRows), Source, MirrorH,
                MirrorV);
  Canvas->GetSurface()->SurfaceChanged();
}

void RotatePoints(TPoint* Points, Integer Count, Integer Cx, Integer Cy, long double Angle) {
  const long double s = std::sin(Angle), co = std::cos(Angle);
  for (Integer i = 0; i < Count; ++i) {
    const long double dx = Points[i].X - Cx, dy = Points[i].Y - Cy;
    Points[i].X = LKRound(static_cast<double>(dx * co - dy * s)) + Cx;
    Points[i].Y = LKRound(static_cast<double>(dx * s + dy * co)) + Cy;
  }
}

Integer LKTransitionRandom(Integer N) {
  if (N < 1) return 0;
  // xorshift64*: fast, and good enough to scatter points and jitter.
  gRandomState ^= gRandomState >> 12;
  gRandomState ^= gRandomState << 25;
  gRandomState ^= gRandomState >> 27;
  const std::uint64_t r = gRandomState * 0x2545F4914F6CDD1Dull;
  return static_cast<Integer>((r >> 32) % static_cast<std::uint64_t>(N));
}

void LKTransitionRandomSeed(std::uint64_t Seed) { gRandomState = Seed == 0 ? 0x9E3779B97F4A7C15ull : Seed; }

const TEffect LKTransitionList[LKTransitionListCount] = {
    {"Cross Fade", nullptr},
    {"Fade Out", nullptr},
    {"Fade In", nullptr},
    {"Fade Out then In", nullptr},
    {"Wipe Left to Right", nullptr},
    {"Wipe Left to Right 2", nullptr},
    {"Wipe Right to Left", nullptr},
    {"Wipe Right to Left 2", nullptr},
    {"Wipe Top to Bottom", nullptr},
    {"Wipe Top to Bottom 2", nullptr},
    {"Wipe Bottom to Top", nullptr},
    {"Wipe Bottom to Top 2", nullptr},
    {"Slide from Top Left", nullptr},
    {"Slide from Top Right", nullptr},
    {"Slide from Bottom Left", nullptr},
    {"Slide from Bottom Right", nullptr},
    {"Push Left to Right", nullptr},
    {"Slide Out Left to Right", nullptr},
    {"Push Right to Left", nullptr},
    {"Slide Out Right to Left", nullptr},
    {"Push Top to Bottom", nullptr},
    {"Slide Out Top to Bottom", nullptr},
    {"Push Bottom to Top", nullptr},
    {"Slide Out Bottom to Top", nullptr},
    {"Random Points", nullptr},
    {"Random Boxes", nullptr},
    {"Wipe Out from Center", nullptr},
    {"Wipe In to Center", nullptr},
    {"Expand Out from Center", nullptr},
    {"Expand In to Center", nullptr},
    {"Expand from Left", Effect002},
    {"Expand from Right", Effect001},
    {"Expand from Top", Effect019},
    {"Expand from Bottom", Effect018},
    {"Expand from Top Left", Effect037},
    {"Expand from Top Right", Effect036},
    {"Expand from Bottom Left", Effect038},
    {"Expand from Bottom Right", Effect035},
    {"Expand in from Left", Effect008},
    {"Expand in from Right", Effect007},
    {"Expand in from Top", Effect025},
    {"Expand in from Bottom", Effect024},
    {"Expand in to Vertical Center", Effect009},
    {"Expand in to Horizon", Effect026},
    {"Expand in from Sides", Effect013},
    {"Expand in from Top and Bottom", Effect030},
    {"Expand out from Horizon", Effect027},
    {"Expand out from Vertical Center", Effect010},
    {"Wipe from Top Left", Effect043},
    {"Wipe from Top Right", Effect046},
    {"Wipe from Bottom Left", Effect044},
    {"Wipe from Bottom Right", Effect045},
    {"Wipe from Horizon", Effect028},
    {"Wipe in from Sides", Effect012},
    {"Wipe out from Vertical Center", Effect011},
    {"Build up from Left", Effect017},
    {"Build up from Right", Effect016},
    {"Build up from Top", Effect034},
    {"Build up from Bottom", Effect033},
    {"Unroll from Left", Effect014},
    {"Unroll from Right", Effect015},
    {"Unroll from Top", Effect031},
    {"Unroll from Bottom", Effect032},
    {"Slide in from Left", Effect004},
    {"Slide in from Right", Effect003},
    {"Slide in from Top", Effect021},
    {"Slide in from Bottom", Effect020},
    {"Slide in from Top and Bottom", Effect029},
    {"Shrink to Top Left", Effect047},
    {"Shrink to Top Right", Effect050},
    {"Shrink to Bottom Left", Effect048},
    {"Shrink to Bottom Right", Effect049},
    {"Shrink to Center", Effect051},
    {"Quarters Wipe in to Center", Effect055},
    {"Quarters Expand to Center", Effect056},
    {"Quarters Slide in to Center", Effect057},
    {"Curved Wipe from Left", Effect058},
    {"Curved Wipe from Right", Effect059},
    {"Curved Wipe from Top", Effect069},
    {"Curved Wipe from Bottom", Effect070},
    {"Bars in from Left", Effect061},
    {"Bars in from Right", Effect060},
    {"Bars from Top", Effect072},
    {"Bars from Bottom", Effect071},
    {"Bars Left then Right", Effect062},
    {"Bars Right then Left", Effect063},
    {"Bars Top then Bottom", Effect073},
    {"Bars Bottom then Top", Effect074},
    {"Bars from both Sides", Effect064},
    {"Bars from Top and Bottom", Effect075},
    {"Shredded from Left", Effect066},
    {"Shredded from Right", Effect065},
    {"Shredded from Top", Effect077},
    {"Shredded from Bottom", Effect076},
    {"Shredded from Top and Left", Effect103},
    {"Shredded from Top and Right", Effect101},
    {"Shredded from Bottom and Left", Effect102},
    {"Shredded from Bottom and Right", Effect100},
    {"Shredded from Horizon and Left", Effect105},
    {"Shredded from Horizon and Right", Effect104},
    {"Shredded from Top and Vertical Center", Effect107},
    {"Shredded from Bottom and Vertical Center", Effect106},
    {"Shredded to Center", Effect109},
    {"Shredded from Center", Effect108},
    {"Shredded in to Horizon", Effect079},
    {"Shredded in to Vertical Center", Effect068},
    {"Shredded out from Horizon", Effect078},
    {"Shredded out from Vertical Center", Effect067},
    {"Rectangular Shred", Effect142},
    {"Triangular Shred to Top Left", Effect117},
    {"Curved Wipe from Top Left", Effect080},
    {"Curved Wipe from Top Right", Effect081},
    {"Curved Wipe from Bottom Left", Effect082},
    {"Curved Wipe from Bottom Right", Effect083},
    {"Circular Wipe from Center", Effect084},
    {"Circular Wipe to Center", Effect085},
    {"Crisscross Wipe from Top Left", Effect089},
    {"Crisscross Wipe from Top Right", Effect087},
    {"Crisscross Wipe from Bottom Left", Effect088},
    {"Crisscross Wipe from Bottom Right", Effect086},
    {"Crisscross Wipe Bounce from Top Left", Effect090},
    {"Crisscross Wipe Bounce from Top Right", Effect092},
    {"Crisscross Wipe Bounce from Bottom Left", Effect091},
    {"Crisscross Wipe Bounce from Bottom Right", Effect093},
    {"Crisscross Wipe from Left Right and Top", Effect097},
    {"Crisscross Wipe from Left Right and Bottom", Effect096},
    {"Crisscross Wipe from Left Top and Bottom", Effect095},
    {"Crisscross Wipe from Top Left Right and Bottom", Effect098},
    {"Crisscross Wipe from Right Top and Bottom", Effect094},
    {"Crisscross Wipe from Bottom Left Top Right", Effect099},
    {"Wipe diagonal from Top Left", Effect110},
    {"Wipe diagonal from Top Right", Effect111},
    {"Wipe diagonal from Bottom Left", Effect112},
    {"Wipe diagonal from Bottom Right", Effect113},
    {"Diagonal Sweep Clockwise", Effect115},
    {"Diagonal Sweep Counter-Clockwise", Effect114},
    {"Sweep Clockwise", Effect143},
    {"Sweep Counter-Clockwise", Effect144},
    {"Starburst Clockwise from Center", Effect116},
    {"Rotational Rectangle", Effect149},
    {"Rotational Star", Effect150},
    {"Speckled Wipe from Left", Effect124},
    {"Speckled Wipe from Right", Effect123},
    {"Speckled Wipe from Top", Effect126},
    {"Speckled Wipe from Bottom", Effect125},
    {"Push Left and Slide out", Effect129},
    {"Push Right and Slide out", Effect128},
    {"Push up and Slide out", Effect133},
    {"Push down and Slide out", Effect132},
    {"Push and Squeeze Left", Effect131},
    {"Push and Squeeze Right", Effect130},
    {"Push and Squeeze up", Effect135},
    {"Push and Squeeze down", Effect134},
    {"Horizontal Blinds", Effect137},
    {"Vertical Blinds", Effect136},
    {"Uneven Blinds from Left", Effect138},
    {"Uneven Blinds from Right", Effect139},
    {"Uneven Blinds from Top", Effect140},
    {"Uneven Blinds from Bottom", Effect141},
    {"Rectangles from the Left", Effect145},
    {"Rectangles from the Right", Effect146},
    {"Rectangles from the Top", Effect147},
    {"Rectangles from the Bottom", Effect148},
};
