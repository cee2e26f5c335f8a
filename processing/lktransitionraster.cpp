// Row copies, area-averaging stretches and coverage masks for the
// transitions (see lktransitionraster.h).
#include "processing/lktransitionraster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "platform/graphics.h"

namespace {

constexpr std::size_t kPx = 3;

Byte* At(const TLKRows& R, Integer X, Integer Y) {
  return R.Rows[static_cast<std::size_t>(Y)] + static_cast<std::size_t>(X) * kPx;
}

// Contributions of source pixels to each destination pixel along one axis:
// destination i (0 .. Count-1 of the clipped range) takes Weights[First[i] ..
// First[i] + N[i]) times source pixels Start[i] .. Start[i] + N[i] - 1.
struct TAxis {
  std::vector<Integer> Start, N, First;
  std::vector<float> Weights;
  Integer MaxN = 0;
};

// Destination offsets D0 .. D1 - 1 of a Len-long destination showing SLen
// source pixels from SOrigin; Mirror walks the source backwards.
void BuildAxis(TAxis& A, Integer D0, Integer D1, Integer Len, Integer SOrigin, Integer SLen, bool Mirror) {
  A.Start.clear();
  A.N.clear();
  A.First.clear();
  A.Weights.clear();
  A.MaxN = 0;
  const double scale = static_cast<double>(SLen) / Len;
  for (Integer i = D0; i < D1; ++i) {
    const Integer j = Mirror ? Len - 1 - i : i;
    const double a = j * scale, b = (j + 1) * scale;
    Integer p0 = static_cast<Integer>(std::floor(a));
    Integer p1 = static_cast<Integer>(std::ceil(b));
    p0 = std::clamp(p0, 0, SLen - 1);
    p1 = std::clamp(p1, p0 + 1, SLen);
    A.Start.push_back(SOrigin + p0);
    A.N.push_back(p1 - p0);
    A.First.push_back(static_cast<Integer>(A.Weights.size()));
    const double span = b - a;
    for (Integer p = p0; p < p1; ++p) {
      const double lo = std::max<double>(a, p), hi = std::min<double>(b, p + 1);
      A.Weights.push_back(static_cast<float>(std::max(0.0, hi - lo) / span));
    }
    A.MaxN = std::max(A.MaxN, p1 - p0);
  }
}

// The footprint [a, b) of each destination pixel along a row, in source
// pixels from the rectangle's left edge: the sum over it is
// (P[IB] + FB * s[IB]) - (P[IA] + FA * s[IA]), P being the running sums.
struct TBoxAxis {
  std::vector<Integer> IA, IB;
  std::vector<float> FA, FB, Inv;
  std::vector<float> WA, WB;  // a magnification's weights of pixels IA and IB
  bool Wide = false;          // a reduction (footprints of a pixel or more)
};

void BuildBoxAxis(TBoxAxis& A, Integer D0, Integer D1, Integer Len, Integer SLen, bool Mirror) {
  A.IA.clear();
  A.IB.clear();
  A.FA.clear();
  A.FB.clear();
  A.Inv.clear();
  A.WA.clear();
  A.WB.clear();
  const double scale = static_cast<double>(SLen) / Len;
  A.Wide = scale >= 1;
  const auto split = [SLen](double x, Integer& i, float& f) {
    i = std::clamp(static_cast<Integer>(std::floor(x)), 0, SLen - 1);
    f = static_cast<float>(std::clamp(x - i, 0.0, 1.0));
  };
  for (Integer d = D0; d < D1; ++d) {
    const Integer j = Mirror ? Len - 1 - d : d;
    Integer ia = 0, ib = 0;
    float fa = 0, fb = 0;
    split(j * scale, ia, fa);
    split((j + 1) * scale, ib, fb);
    A.IA.push_back(ia);
    A.IB.push_back(ib);
    A.FA.push_back(fa);
    A.FB.push_back(fb);
    A.Inv.push_back(static_cast<float>(1 / scale));
    A.WA.push_back(ia == ib ? 1.f : static_cast<float>((1 - fa) / scale));
    A.WB.push_back(ia == ib ? 0.f : static_cast<float>(fb / scale));
  }
}

// Working floats that keep their memory between calls and are not cleared
// when they grow (every use writes before it reads).
struct TScratch {
  std::unique_ptr<float[]> Data;
  std::size_t Capacity = 0;
  float* Get(std::size_t N) {
    if (N > Capacity) {
      Data.reset(new float[N]);
      Capacity = N;
    }
    return Data.get();
  }
};

Byte ToByte(float V) { return static_cast<Byte>(static_cast<int>(std::clamp(V + 0.5f, 0.f, 255.f))); }

}  // namespace

TLKRows LKRowsOf(TBitmap* Bitmap, std::vector<Byte*>& Rows) {
  Rows.resize(static_cast<std::size_t>(std::max(Bitmap->GetHeight(), 0)));
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y) Rows[static_cast<std::size_t>(y)] = Bitmap->ScanLine(y);
  return TLKRows{Rows.data(), Bitmap->GetWidth(), Bitmap->GetHeight()};
}

TLKRows LKRowsOf(TPixelSurface* Surface, std::vector<Byte*>& Rows) {
  Rows.resize(static_cast<std::size_t>(std::max(Surface->SurfaceHeight(), 0)));
  for (Integer y = 0; y < Surface->SurfaceHeight(); ++y) Rows[static_cast<std::size_t>(y)] = Surface->SurfaceRow(y);
  return TLKRows{Rows.data(), Surface->SurfaceWidth(), Surface->SurfaceHeight()};
}

void LKRowsCopy(const TLKRows& Dst, Integer DX, Integer DY, const TLKRows& Src, Integer SX, Integer SY, Integer W,
                Integer H) {
  // Clip against the source, then the destination.
  if (SX < 0) { DX -= SX; W += SX; SX = 0; }
  if (SY < 0) { DY -= SY; H += SY; SY = 0; }
  if (DX < 0) { SX -= DX; W += DX; DX = 0; }
  if (DY < 0) { SY -= DY; H += DY; DY = 0; }
  W = std::min({W, Src.Width - SX, Dst.Width - DX});
  H = std::min({H, Src.Height - SY, Dst.Height - DY});
  if (W <= 0 || H <= 0) return;
  const std::size_t bytes = static_cast<std::size_t>(W) * kPx;
  // Within one picture, walk rows against the direction of the move.
  const bool up = Dst.Rows == Src.Rows && DY > SY;
  for (Integer i = 0; i < H; ++i) {
    const Integer r = up ? H - 1 - i : i;
    std::memmove(At(Dst, DX, DY + r), At(Src, SX, SY + r), bytes);
  }
}

void LKRowsCopyAll(const TLKRows& Dst, const TLKRows& Src) {
  LKRowsCopy(Dst, 0, 0, Src, 0, 0, Src.Width, Src.Height);
}

void LKRowsFill(const TLKRows& Dst, const TRect& R, Byte B, Byte G, Byte R_) {
  const Integer x0 = std::max(R.Left, 0), x1 = std::min(R.Right, Dst.Width);
  const Integer y0 = std::max(R.Top, 0), y1 = std::min(R.Bottom, Dst.Height);
  if (x0 >= x1 || y0 >= y1) return;
  Byte* first = At(Dst, x0, y0);
  for (Integer x = 0; x < x1 - x0; ++x) {
    first[x * 3] = B;
    first[x * 3 + 1] = G;
    first[x * 3 + 2] = R_;
  }
  const std::size_t bytes = static_cast<std::size_t>(x1 - x0) * kPx;
  for (Integer y = y0 + 1; y < y1; ++y) std::memcpy(At(Dst, x0, y), first, bytes);
}

void LKRowsStretch(const TLKRows& Dst, TRect Dest, const TLKRows& Src, TRect Source, bool MirrorH, bool MirrorV) {
  Source.Left = std::max(Source.Left, 0);
  Source.Top = std::max(Source.Top, 0);
  Source.Right = std::min(Source.Right, Src.Width);
  Source.Bottom = std::min(Source.Bottom, Src.Height);
  const Integer sw = Source.Right - Source.Left, sh = Source.Bottom - Source.Top;
  const Integer dw = Dest.Right - Dest.Left, dh = Dest.Bottom - Dest.Top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  if (sw == dw && sh == dh && !MirrorH && !MirrorV) {
    LKRowsCopy(Dst, Dest.Left, Dest.Top, Src, Source.Left, Source.Top, sw, sh);
    return;
  }
  // The destination part inside Dst, as offsets into Dest.
  const Integer i0 = std::max(0, -Dest.Left), i1 = std::min(dw, Dst.Width - Dest.Left);
  const Integer j0 = std::max(0, -Dest.Top), j1 = std::min(dh, Dst.Height - Dest.Top);
  if (i0 >= i1 || j0 >= j1) return;
  const Integer n = i1 - i0;
  const std::size_t rowFloats = static_cast<std::size_t>(n) * kPx;

  thread_local TAxis ay;
  thread_local TBoxAxis ax;
  thread_local TScratch cacheBuf, accBuf, prefixBuf;
  float* cache = nullptr;
  float* prefix = nullptr;
  thread_local std::vector<Integer> tags;
  const bool plainX = sw == dw && !MirrorH;
  const bool plainY = sh == dh && !MirrorV;
  if (!plainX) BuildBoxAxis(ax, i0, i1, dw, sw, MirrorH);
  BuildAxis(ay, j0, j1, dh, Source.Top, sh, MirrorV);

  // Horizontally filtered source rows, kept in a small ring because
  // neighbouring destination rows share source rows.
  const Integer slots = ay.MaxN + 1;
  if (!plainX) {
    cache = cacheBuf.Get(static_cast<std::size_t>(slots) * rowFloats);
    tags.assign(static_cast<std::size_t>(slots), -1);
    prefix = prefixBuf.Get(static_cast<std::size_t>(sw) * kPx);
  }
  // One row of sw source pixels (bytes, or vertical sums in floats)
  // filtered into the n destination pixels.
  const auto hfilter = [&](const auto* src, float* out) {
    if (ax.Wide) {
      // A reduction: running sums (prefix[i] is the sum of pixels 0 .. i-1),
      // so a footprint costs the same whatever its length; every footprint
      // is at least one pixel long, so their rounding does not show.
      float* pre = prefix;
      float sb = 0, sg = 0, sr = 0;
      for (Integer i = 0; i < sw; ++i) {
        pre[i * 3] = sb;
        pre[i * 3 + 1] = sg;
        pre[i * 3 + 2] = sr;
        sb += src[i * 3];
        sg += src[i * 3 + 1];
        sr += src[i * 3 + 2];
      }
      const Integer* ia = ax.IA.data();
      const Integer* ib = ax.IB.data();
      const float* fa = ax.FA.data();
      const float* fb = ax.FB.data();
      const float* inv = ax.Inv.data();
      for (Integer k = 0; k < n; ++k) {
        const Integer a = ia[k] * 3, b = ib[k] * 3;
        for (Integer c = 0; c < 3; ++c)
          out[k * 3 + c] = (pre[b + c] + fb[k] * src[b + c] - pre[a + c] - fa[k] * src[a + c]) * inv[k];
      }
    } else {
      // A magnification: a footprint lies in one pixel or across one edge;
      // the two weights were worked out with the axis.
      const Integer* ia = ax.IA.data();
      const Integer* ib = ax.IB.data();
      const float* wa = ax.WA.data();
      const float* wb = ax.WB.data();
      for (Integer k = 0; k < n; ++k) {
        const Integer a = ia[k] * 3, b = ib[k] * 3;
        for (Integer c = 0; c < 3; ++c) out[k * 3 + c] = wa[k] * src[a + c] + wb[k] * src[b + c];
      }
    }
  };
  const std::size_t leftOff = static_cast<std::size_t>(Source.Left) * kPx;
  const auto filtered = [&](Integer Row) -> const float* {
    const auto slot = static_cast<std::size_t>(Row % slots);
    float* out = cache + slot * rowFloats;
    if (tags[slot] == Row) return out;
    tags[slot] = Row;
    hfilter(Src.Rows[static_cast<std::size_t>(Row)] + leftOff, out);
    return out;
  };
  // A vertical reduction sums the source rows first and filters one row
  // per destination row.
  const bool verticalFirst = !plainX && !plainY && ay.MaxN > 2;

  const std::size_t accLen = verticalFirst ? static_cast<std::size_t>(sw) * kPx : rowFloats;
  float* const acc = accBuf.Get(accLen);
  const std::size_t srcOff = verticalFirst ? leftOff : static_cast<std::size_t>(Source.Left + i0) * kPx;
  for (Integer j = j0; j < j1; ++j) {
    const std::size_t jj = static_cast<std::size_t>(j - j0);
    Byte* out = At(Dst, Dest.Left + i0, Dest.Top + j);
    const Integer start = ay.Start[jj], cnt = ay.N[jj];
    const float* wy = ay.Weights.data() + ay.First[jj];
    if (plainY && !plainX) {
      const float* f = filtered(start);
      for (std::size_t k = 0; k < rowFloats; ++k) out[k] = ToByte(f[k]);
      continue;
    }
    float* a = acc;
    for (Integer c = 0; c < cnt; ++c) {
      const float wc = wy[c];
      if (plainX || verticalFirst) {
        const Byte* s = Src.Rows[static_cast<std::size_t>(start + c)] + srcOff;
        if (c == 0)
          for (std::size_t k = 0; k < accLen; ++k) a[k] = wc * s[k];
        else
          for (std::size_t k = 0; k < accLen; ++k) a[k] += wc * s[k];
      } else {
        const float* f = filtered(start + c);
        if (c == 0)
          for (std::size_t k = 0; k < accLen; ++k) a[k] = wc * f[k];
        else
          for (std::size_t k = 0; k < accLen; ++k) a[k] += wc * f[k];
      }
    }
    if (verticalFirst) {
      float* row = cache;
      hfilter(static_cast<const float*>(a), row);
      a = row;
    }
    for (std::size_t k = 0; k < rowFloats; ++k) out[k] = ToByte(a[k]);
  }
}

// ---------------------------------------------------------------------------
// Region mask
// ---------------------------------------------------------------------------

void TLKRegionMask::Reset(Integer Width, Integer Height) {
  FWidth = std::max(Width, 0);
  FHeight = std::max(Height, 0);
  FBits.assign(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), 0);
  FMinX.assign(static_cast<std::size_t>(FHeight), FWidth);
  FMaxX.assign(static_cast<std::size_t>(FHeight), -1);
}

void TLKRegionMask::SpanRow(Integer Y, Integer X0, Integer X1, bool Flip) {
  if (Y < 0 || Y >= FHeight) return;
  X0 = std::max(X0, 0);
  X1 = std::min(X1, FWidth);
  if (X0 >= X1) return;
  Byte* row = FBits.data() + static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth);
  if (Flip)
    for (Integer x = X0; x < X1; ++x) row[x] ^= 1;
  else
    std::memset(row + X0, 1, static_cast<std::size_t>(X1 - X0));
  auto& lo = FMinX[static_cast<std::size_t>(Y)];
  auto& hi = FMaxX[static_cast<std::size_t>(Y)];
  lo = std::min(lo, X0);
  hi = std::max(hi, X1 - 1);
}

void TLKRegionMask::AddRect(Integer L, Integer T, Integer R, Integer B) {
  for (Integer y = std::max(T, 0); y < std::min(B, FHeight); ++y) SpanRow(y, L, R, false);
}

void TLKRegionMask::XorRect(Integer L, Integer T, Integer R, Integer B) {
  for (Integer y = std::max(T, 0); y < std::min(B, FHeight); ++y) SpanRow(y, L, R, true);
}

void TLKRegionMask::RoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH, bool Flip) {
  if (R < L) std::swap(L, R);
  if (B < T) std::swap(T, B);
  if (L == R || T == B) return;
  const double a = std::min(std::abs(EW), R - L) / 2.0, b = std::min(std::abs(EH), B - T) / 2.0;
  for (Integer y = std::max(T, 0); y < std::min(B, FHeight); ++y) {
    const double yc = y + 0.5;
    double d = 0;
    if (b > 0) {
      if (yc < T + b) d = (T + b - yc) / b;
      else if (yc > B - b) d = (yc - (B - b)) / b;
    }
    if (d > 1) continue;
    const double ext = a * (1 - std::sqrt(1 - d * d));
    const auto x0 = static_cast<Integer>(std::ceil(std::max(L + ext - 0.5, -1.0)));
    const auto x1 = static_cast<Integer>(std::ceil(std::min(R - ext - 0.5, FWidth + 1.0)));
    SpanRow(y, x0, x1, Flip);
  }
}

void TLKRegionMask::AddRoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH) {
  RoundRect(L, T, R, B, EW, EH, false);
}

void TLKRegionMask::XorRoundRect(Integer L, Integer T, Integer R, Integer B, Integer EW, Integer EH) {
  RoundRect(L, T, R, B, EW, EH, true);
}

void TLKRegionMask::AddPolygon(const TPoint* Points, Integer Count) {
  if (Points == nullptr || Count < 3) return;
  double minY = Points[0].Y, maxY = Points[0].Y;
  for (Integer i = 1; i < Count; ++i) {
    minY = std::min<double>(minY, Points[i].Y);
    maxY = std::max<double>(maxY, Points[i].Y);
  }
  const Integer y0 = std::max(0, static_cast<Integer>(std::floor(minY)));
  const Integer y1 = std::min(FHeight, static_cast<Integer>(std::ceil(maxY)));
  struct Cross {
    double X;
    Integer Dir;
  };
  std::vector<Cross> xs;
  for (Integer y = y0; y < y1; ++y) {
    const double yc = y + 0.5;
    xs.clear();
    for (Integer i = 0; i < Count; ++i) {
      const TPoint& p = Points[i];
      const TPoint& q = Points[(i + 1) % Count];
      if (p.Y == q.Y) continue;
      const bool down = p.Y < q.Y;
      const double lo = down ? p.Y : q.Y, hi = down ? q.Y : p.Y;
      if (yc < lo || yc >= hi) continue;
      xs.push_back({p.X + (yc - p.Y) * (static_cast<double>(q.X) - p.X) / (static_cast<double>(q.Y) - p.Y),
                    down ? 1 : -1});
    }
    std::sort(xs.begin(), xs.end(), [](const Cross& a, const Cross& b) { return a.X < b.X; });
    Integer wind = 0;
    for (std::size_t k = 0; k + 1 < xs.size(); ++k) {
      wind += xs[k].Dir;
      if (wind == 0) continue;
      const auto xa = static_cast<Integer>(std::ceil(std::clamp(xs[k].X - 0.5, -1.0, FWidth + 1.0)));
      const auto xb = static_cast<Integer>(std::ceil(std::clamp(xs[k + 1].X - 0.5, -1.0, FWidth + 1.0)));
      SpanRow(y, xa, xb, false);
    }
  }
}

void TLKRegionMask::Intersect(const TLKRegionMask& Other) {
  if (Other.FWidth != FWidth || Other.FHeight != FHeight) {
    Reset(FWidth, FHeight);
    return;
  }
  for (std::size_t i = 0; i < FBits.size(); ++i) FBits[i] &= Other.FBits[i];
  for (std::size_t y = 0; y < FMinX.size(); ++y) {
    FMinX[y] = std::max(FMinX[y], Other.FMinX[y]);
    FMaxX[y] = std::min(FMaxX[y], Other.FMaxX[y]);
  }
}

Int64 TLKRegionMask::CoveredCount() const {
  Int64 n = 0;
  for (Byte b : FBits) n += b;
  return n;
}

bool TLKRegionMask::Covered(Integer X, Integer Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return false;
  return FBits[static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X)] != 0;
}

void TLKRegionMask::Blit(const TLKRows& Dst, const TLKRows& Src) const {
  const Integer h = std::min({FHeight, Dst.Height, Src.Height});
  const Integer w = std::min({FWidth, Dst.Width, Src.Width});
  for (Integer y = 0; y < h; ++y) {
    Integer x = FMinX[static_cast<std::size_t>(y)];
    const Integer end = std::min(FMaxX[static_cast<std::size_t>(y)] + 1, w);
    const Byte* row = FBits.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth);
    while (x < end) {
      const void* on = std::memchr(row + x, 1, static_cast<std::size_t>(end - x));
      if (on == nullptr) break;
      const auto a = static_cast<Integer>(static_cast<const Byte*>(on) - row);
      const void* off = std::memchr(row + a, 0, static_cast<std::size_t>(end - a));
      const Integer b = off == nullptr ? end : static_cast<Integer>(static_cast<const Byte*>(off) - row);
      std::memcpy(At(Dst, a, y), At(Src, a, y), static_cast<std::size_t>(b - a) * kPx);
      x = b;
    }
  }
}
