// Row copies, area-averaging stretches and coverage masks for the
// transitions (see lktransitionraster.h).
#include "processing/lktransitionraster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  std::vector<float> FA, FB;
  std::vector<float> WA, WB;  // a magnification's weights of pixels IA and IB
  float Inv = 1;              // destination pixels per source pixel
  bool Wide = false;          // a reduction (footprints of a pixel or more)
  Integer Lo = 0, Hi = 0;     // source pixels read: Lo .. Hi - 1
};

void BuildBoxAxis(TBoxAxis& A, Integer D0, Integer D1, Integer Len, Integer SLen, bool Mirror) {
  A.IA.clear();
  A.IB.clear();
  A.FA.clear();
  A.FB.clear();
  A.WA.clear();
  A.WB.clear();
  const double scale = static_cast<double>(SLen) / Len;
  A.Wide = scale >= 1;
  A.Inv = static_cast<float>(1 / scale);
  A.Lo = SLen;
  A.Hi = 0;
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
    A.Lo = std::min(A.Lo, ia);
    A.Hi = std::max(A.Hi, ib + 1);
    if (A.Wide) {
      A.FA.push_back(fa);
      A.FB.push_back(fb);
    } else {
      A.WA.push_back(ia == ib ? 1.f : static_cast<float>((1 - fa) / scale));
      A.WB.push_back(ia == ib ? 0.f : static_cast<float>(fb / scale));
    }
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

// The horizontal filter works on one source row at a time, prepared as
// samples in floats (Vals, 3 a pixel) and, for a reduction, running sums
// (Pre[i] is the sum of pixels 0 .. i-1, per channel). Both arrays hold one
// float past the last prepared pixel, so a pixel can be read as four
// floats. The arithmetic of a destination pixel is the same whichever way
// it is done, channel by channel or three channels at once, so the output
// does not depend on the build.
//
// Sums of bytes are whole numbers, exact in a float up to 2^24; rows short
// enough for that are summed in integers, which gives the same floats as
// summing in floats.
constexpr Integer kExactSumPixels = (1 << 24) / 255;

#if defined(__SSE2__)

// A pixel's three bytes as the first three of four 32-bit lanes (the
// fourth is 0). Four bytes are read unless Last.
__m128i PixelLanes(const Byte* P, bool Last) {
  std::uint32_t u = 0;
  if (Last)
    u = P[0] | static_cast<std::uint32_t>(P[1]) << 8 | static_cast<std::uint32_t>(P[2]) << 16;
  else
    std::memcpy(&u, P, 4);
  const __m128i z = _mm_setzero_si128();
  const __m128i b = _mm_cvtsi32_si128(static_cast<int>(u & 0xFFFFFF));
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(b, z), z);
}

// Pixels From .. To - 1 of the byte row S into Vals, and when Pre is given
// (From is then 0) their running sums.
void PrepareBytes(const Byte* S, Integer From, Integer To, float* Vals, float* Pre) {
  if (Pre != nullptr && To > kExactSumPixels) {
    for (Integer i = From; i < To; ++i) _mm_storeu_ps(Vals + i * 3, _mm_cvtepi32_ps(PixelLanes(S + i * 3, i + 1 == To)));
    Vals[To * 3] = 0;
    __m128 sum = _mm_setzero_ps();
    for (Integer i = 0; i < To; ++i) {
      _mm_storeu_ps(Pre + i * 3, sum);
      sum = _mm_add_ps(sum, _mm_loadu_ps(Vals + i * 3));
    }
    Pre[To * 3] = 0;
    return;
  }
  __m128i sum = _mm_setzero_si128();
  for (Integer i = From; i < To; ++i) {
    const __m128i px = PixelLanes(S + i * 3, i + 1 == To);
    _mm_storeu_ps(Vals + i * 3, _mm_cvtepi32_ps(px));
    if (Pre != nullptr) {
      _mm_storeu_ps(Pre + i * 3, _mm_cvtepi32_ps(sum));
      sum = _mm_add_epi32(sum, px);
    }
  }
}

// Running sums of pixels 0 .. To - 1 of a float row (with its float past
// the end). The fourth lane is masked off, so each channel is summed in
// the order a plain loop sums it.
void PrepareFloatSums(const float* Vals, Integer To, float* Pre) {
  const __m128 keep = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
  __m128 sum = _mm_setzero_ps();
  for (Integer i = 0; i < To; ++i) {
    _mm_storeu_ps(Pre + i * 3, sum);
    sum = _mm_add_ps(sum, _mm_and_ps(_mm_loadu_ps(Vals + i * 3), keep));
  }
  Pre[To * 3] = 0;
}

// Destination pixel K's three values: to floats at Out + K * 3 (the fourth
// float written is the next pixel's, or the row's spare float), or rounded
// to bytes.
void Emit(__m128 V, Integer K, Integer N, float* Out) { _mm_storeu_ps(Out + K * 3, V); }
void Emit(__m128 V, Integer K, Integer N, Byte* Out) {
  V = _mm_min_ps(_mm_max_ps(_mm_add_ps(V, _mm_set1_ps(0.5f)), _mm_setzero_ps()), _mm_set1_ps(255.f));
  const __m128i w = _mm_packs_epi32(_mm_cvttps_epi32(V), _mm_setzero_si128());
  const auto u = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
  if (K + 1 < N) {
    std::memcpy(Out + K * 3, &u, 4);
  } else {
    Out[K * 3] = static_cast<Byte>(u);
    Out[K * 3 + 1] = static_cast<Byte>(u >> 8);
    Out[K * 3 + 2] = static_cast<Byte>(u >> 16);
  }
}

template <class T>
void FilterRow(const TBoxAxis& A, Integer N, const float* Vals, const float* Pre, T* Out) {
  const Integer* ia = A.IA.data();
  const Integer* ib = A.IB.data();
  if (A.Wide) {
    const float* fa = A.FA.data();
    const float* fb = A.FB.data();
    const __m128 inv = _mm_set1_ps(A.Inv);
    for (Integer k = 0; k < N; ++k) {
      const Integer a = ia[k] * 3, b = ib[k] * 3;
      __m128 v = _mm_add_ps(_mm_loadu_ps(Pre + b), _mm_mul_ps(_mm_set1_ps(fb[k]), _mm_loadu_ps(Vals + b)));
      v = _mm_sub_ps(v, _mm_loadu_ps(Pre + a));
      v = _mm_sub_ps(v, _mm_mul_ps(_mm_set1_ps(fa[k]), _mm_loadu_ps(Vals + a)));
      Emit(_mm_mul_ps(v, inv), k, N, Out);
    }
  } else {
    const float* wa = A.WA.data();
    const float* wb = A.WB.data();
    for (Integer k = 0; k < N; ++k) {
      const Integer a = ia[k] * 3, b = ib[k] * 3;
      Emit(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(wa[k]), _mm_loadu_ps(Vals + a)),
                      _mm_mul_ps(_mm_set1_ps(wb[k]), _mm_loadu_ps(Vals + b))),
           k, N, Out);
    }
  }
}

// Sixteen samples as four vectors of floats, and back.
void Load16(const Byte* P, __m128 V[4]) {
  const __m128i z = _mm_setzero_si128();
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  const __m128i lo = _mm_unpacklo_epi8(b, z), hi = _mm_unpackhi_epi8(b, z);
  V[0] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, z));
  V[1] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, z));
  V[2] = _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, z));
  V[3] = _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, z));
}
void Load16(const float* P, __m128 V[4]) {
  for (int i = 0; i < 4; ++i) V[i] = _mm_loadu_ps(P + 4 * i);
}
void Store16(float* P, const __m128 V[4]) {
  for (int i = 0; i < 4; ++i) _mm_storeu_ps(P + 4 * i, V[i]);
}
// Rounds as ToByte does: V + 0.5 held to 0 .. 255, then truncated.
void Store16(Byte* P, const __m128 V[4]) {
  const __m128 half = _mm_set1_ps(0.5f), zero = _mm_setzero_ps(), top = _mm_set1_ps(255.f);
  __m128i w[4];
  for (int i = 0; i < 4; ++i) w[i] = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(_mm_add_ps(V[i], half), zero), top));
  const __m128i b = _mm_packus_epi16(_mm_packs_epi32(w[0], w[1]), _mm_packs_epi32(w[2], w[3]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(P), b);
}

#endif

void Put(float V, float* Out) { *Out = V; }
void Put(float V, Byte* Out) { *Out = ToByte(V); }

// Out[k] = W[0] * Rows[0][k] + W[1] * Rows[1][k] + ..., added in that
// order, for k < Len: a destination row made of Cnt source rows.
template <class S, class D>
void BlendRows(const S* const* Rows, const float* W, Integer Cnt, std::size_t Len, D* Out) {
  std::size_t k = 0;
#if defined(__SSE2__)
  for (; k + 16 <= Len; k += 16) {
    __m128 acc[4], v[4];
    Load16(Rows[0] + k, v);
    const __m128 w0 = _mm_set1_ps(W[0]);
    for (int i = 0; i < 4; ++i) acc[i] = _mm_mul_ps(w0, v[i]);
    for (Integer c = 1; c < Cnt; ++c) {
      Load16(Rows[c] + k, v);
      const __m128 wc = _mm_set1_ps(W[c]);
      for (int i = 0; i < 4; ++i) acc[i] = _mm_add_ps(acc[i], _mm_mul_ps(wc, v[i]));
    }
    Store16(Out + k, acc);
  }
#endif
  for (; k < Len; ++k) {
    float a = W[0] * Rows[0][k];
    for (Integer c = 1; c < Cnt; ++c) a += W[c] * Rows[c][k];
    Put(a, Out + k);
  }
}

#if !defined(__SSE2__)

void PrepareFloatSums(const float* Vals, Integer To, float* Pre) {
  float sum[3] = {0, 0, 0};
  for (Integer i = 0; i < To; ++i)
    for (Integer c = 0; c < 3; ++c) {
      Pre[i * 3 + c] = sum[c];
      sum[c] += Vals[i * 3 + c];
    }
  Pre[To * 3] = 0;
}

void PrepareBytes(const Byte* S, Integer From, Integer To, float* Vals, float* Pre) {
  for (Integer i = From * 3; i < To * 3; ++i) Vals[i] = S[i];
  Vals[To * 3] = 0;
  if (Pre != nullptr) PrepareFloatSums(Vals, To, Pre);
}

template <class T>
void FilterRow(const TBoxAxis& A, Integer N, const float* Vals, const float* Pre, T* Out) {
  for (Integer k = 0; k < N; ++k) {
    const Integer a = A.IA[k] * 3, b = A.IB[k] * 3;
    for (Integer c = 0; c < 3; ++c) {
      const float v =
          A.Wide ? (Pre[b + c] + A.FB[k] * Vals[b + c] - Pre[a + c] - A.FA[k] * Vals[a + c]) * A.Inv
                 : A.WA[k] * Vals[a + c] + A.WB[k] * Vals[b + c];
      Put(v, Out + k * 3 + c);
    }
  }
}

#endif

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
  // Filtered rows are rowFloats long and one float apart, for the fourth
  // float a pixel's store writes.
  const std::size_t rowStride = rowFloats + 1;

  thread_local TAxis ay;
  thread_local TBoxAxis ax;
  thread_local TScratch cacheBuf, accBuf, valsBuf, prefixBuf;
  float* cache = nullptr;
  float* vals = nullptr;
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
    cache = cacheBuf.Get(static_cast<std::size_t>(slots) * rowStride);
    tags.assign(static_cast<std::size_t>(slots), -1);
    vals = valsBuf.Get(static_cast<std::size_t>(sw) * kPx + 1);
    if (ax.Wide) prefix = prefixBuf.Get(static_cast<std::size_t>(sw) * kPx + 1);
  }
  // One source row of bytes filtered into the n destination pixels (floats
  // or bytes). A reduction sums from the rectangle's left edge, so every
  // footprint's sum is taken the same way whatever part is shown.
  const std::size_t leftOff = static_cast<std::size_t>(Source.Left) * kPx;
  const auto filterBytes = [&](Integer Row, auto* Out) {
    const Byte* src = Src.Rows[static_cast<std::size_t>(Row)] + leftOff;
    PrepareBytes(src, ax.Wide ? 0 : ax.Lo, ax.Hi, vals, prefix);
    FilterRow(ax, n, vals, prefix, Out);
  };
  const auto filtered = [&](Integer Row) -> const float* {
    const auto slot = static_cast<std::size_t>(Row % slots);
    float* out = cache + slot * rowStride;
    if (tags[slot] == Row) return out;
    tags[slot] = Row;
    filterBytes(Row, out);
    return out;
  };
  // A vertical reduction sums the source rows first and filters one row
  // per destination row.
  const bool verticalFirst = !plainX && !plainY && ay.MaxN > 2;

  // A vertical reduction's sums of whole source rows, with a spare float.
  const std::size_t accLen = static_cast<std::size_t>(sw) * kPx;
  float* acc = nullptr;
  if (verticalFirst) {
    acc = accBuf.Get(accLen + 1);
    acc[accLen] = 0;
  }
  // The source rows of one destination row (its neighbouring filtered rows
  // sit in different slots of the ring, so all stay valid together).
  thread_local std::vector<const Byte*> byteRows;
  thread_local std::vector<const float*> floatRows;
  byteRows.resize(static_cast<std::size_t>(ay.MaxN));
  floatRows.resize(static_cast<std::size_t>(ay.MaxN));
  const std::size_t srcOff = verticalFirst ? leftOff : static_cast<std::size_t>(Source.Left + i0) * kPx;
  for (Integer j = j0; j < j1; ++j) {
    const std::size_t jj = static_cast<std::size_t>(j - j0);
    Byte* out = At(Dst, Dest.Left + i0, Dest.Top + j);
    const Integer start = ay.Start[jj], cnt = ay.N[jj];
    const float* wy = ay.Weights.data() + ay.First[jj];
    if (plainY && !plainX) {
      // Every source row serves one destination row: straight to bytes. The
      // row is read whole before it is written, so it may be the same row.
      filterBytes(start, out);
      continue;
    }
    if (verticalFirst) {
      for (Integer c = 0; c < cnt; ++c) byteRows[c] = Src.Rows[static_cast<std::size_t>(start + c)] + srcOff;
      BlendRows(byteRows.data(), wy, cnt, accLen, acc);
      if (ax.Wide) PrepareFloatSums(acc, ax.Hi, prefix);
      FilterRow(ax, n, acc, prefix, out);
    } else if (plainX) {
      for (Integer c = 0; c < cnt; ++c) byteRows[c] = Src.Rows[static_cast<std::size_t>(start + c)] + srcOff;
      BlendRows(byteRows.data(), wy, cnt, rowFloats, out);
    } else {
      for (Integer c = 0; c < cnt; ++c) floatRows[c] = filtered(start + c);
      BlendRows(floatRows.data(), wy, cnt, rowFloats, out);
    }
  }
}

// ---------------------------------------------------------------------------
// Region mask
// ---------------------------------------------------------------------------

void TLKRegionMask::Reset(Integer Width, Integer Height) {
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  if (Width == FWidth && Height == FHeight) {
    // Set bits lie only inside each row's covered columns: clearing those
    // is enough, and a frame's mask is reset this way every frame.
    for (std::size_t y = 0; y < FMinX.size(); ++y) {
      if (FMinX[y] <= FMaxX[y])
        std::memset(FBits.data() + y * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(FMinX[y]), 0,
                    static_cast<std::size_t>(FMaxX[y] - FMinX[y] + 1));
      FMinX[y] = FWidth;
      FMaxX[y] = -1;
    }
    return;
  }
  FWidth = Width;
  FHeight = Height;
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
  // Row by row, only where this mask has set bits: those outside the
  // common covered columns go, those inside are ANDed.
  for (std::size_t y = 0; y < FMinX.size(); ++y) {
    const Integer lo = FMinX[y], hi = FMaxX[y];
    if (lo > hi) continue;
    const Integer a = std::max(lo, Other.FMinX[y]), b = std::min(hi, Other.FMaxX[y]);
    Byte* row = FBits.data() + y * static_cast<std::size_t>(FWidth);
    const Byte* other = Other.FBits.data() + y * static_cast<std::size_t>(FWidth);
    if (a > b) {
      std::memset(row + lo, 0, static_cast<std::size_t>(hi - lo + 1));
    } else {
      std::memset(row + lo, 0, static_cast<std::size_t>(a - lo));
      for (Integer x = a; x <= b; ++x) row[x] &= other[x];
      std::memset(row + b + 1, 0, static_cast<std::size_t>(hi - b));
    }
    FMinX[y] = a;
    FMaxX[y] = b;
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
