#include "processing/lkresample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample_util.h"

using namespace lkresample;

namespace {

constexpr Integer kFracOne = 1 << LKLinearFractionBits;

// Bytes of one lk24RGB, 8-bit or expanded 1-bit pixel row of `width` pixels
// with `channels` bytes per pixel.
Int64 RowBytes(Integer width, Integer channels) { return CheckedProduct(width, channels); }

// a + floor((b - a) * f / 131072): always between a and b.
inline Integer Lerp17(Integer a, Integer b, Integer f) { return a + (((b - a) * f) >> LKLinearFractionBits); }

// Expands `width` pixels of a 1-bit row into bytes, 255 for a set bit.
void Expand1Bit(const Byte* row, Byte* out, Integer width) {
  for (Integer x = 0; x < width; ++x) out[x] = (row[x >> 3] & lkbitmask1[x & 7]) ? 255 : 0;
}

// Copies the first `bytes` of every row of the source into the destination.
void CopyRows(TLKBaseBitmap* source, TLKBaseBitmap* dest, Int64 bytes) {
  const Integer h = source->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    const void* src = source->GetScanLine(y);
    std::memcpy(dest->GetScanLine(y), src, static_cast<size_t>(bytes));
  }
}

// ---------------------------------------------------------------------------
// Fast linear resampling

// Column tables of the linear routines for one axis: start, 17-bit fraction,
// far neighbour for interpolation, and end of the averaged run.
struct LinearAxis {
  Scratch<Integer> start, frac, next, end;
};

// Builds the column tables for n source and m destination pixels; `epsilon`
// is added to the end position (the horizontal axis uses 1e-10, the
// vertical one nothing).
void BuildLinearAxis(Integer n, Integer m, double epsilon, LinearAxis& t) {
  const double scale = static_cast<double>(m) / n;
  t.start.Reset(m);
  t.frac.Reset(m);
  t.next.Reset(m);
  t.end.Reset(m);
  for (Integer i = 0; i < m; ++i) {
    const double pos = i / scale;
    const Integer s = std::clamp(LKTrunc(pos), 0, n - 1);
    t.start[i] = s;
    t.frac[i] = std::clamp(LKTrunc((pos - s) * kFracOne), 0, kFracOne - 1);
    t.next[i] = imin(s + 1, n - 1);
    const Integer e = LKTrunc(imin(i + 1, m - 1) / scale + epsilon);
    t.end[i] = std::clamp(e, s, n - 1);
  }
}

// One horizontal pass of a linear routine over a row of `channels`-byte
// pixels: interpolation when `interpolate`, else the average of each run.
void LinearRow(const Byte* src, Byte* out, const LinearAxis& t, Integer m, Integer channels, bool interpolate) {
  if (interpolate) {
    for (Integer i = 0; i < m; ++i) {
      const Byte* a = src + static_cast<Int64>(t.start[i]) * channels;
      const Byte* b = src + static_cast<Int64>(t.next[i]) * channels;
      const Integer f = t.frac[i];
      for (Integer c = 0; c < channels; ++c) out[c] = static_cast<Byte>(Lerp17(a[c], b[c], f));
      out += channels;
    }
    return;
  }
  for (Integer i = 0; i < m; ++i) {
    const Integer s = t.start[i];
    const Integer e = t.end[i];
    const Integer count = e - s + 1;
    Integer sum[3] = {0, 0, 0};
    const Byte* p = src + static_cast<Int64>(s) * channels;
    for (Integer x = s; x <= e; ++x) {
      for (Integer c = 0; c < channels; ++c) sum[c] += p[c];
      p += channels;
    }
    if (count == 1) {
      for (Integer c = 0; c < channels; ++c) out[c] = static_cast<Byte>(sum[c]);
    } else {
      const TruncDivider div(count, Int64{255} * count);
      for (Integer c = 0; c < channels; ++c) out[c] = static_cast<Byte>(div(sum[c]));
    }
    out += channels;
  }
}

// The two passes of _ResampleLinearEx and _ResampleLinearAlpha over
// `channels`-byte pixels (3 or 1).
void LinearResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, Integer channels, const TLKProgressEvent& progress,
                    TObject* sender) {
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  const double sx = static_cast<double>(w2) / w;
  const double sy = static_cast<double>(h2) / h;
  const Int64 rowBytes = RowBytes(w2, channels);
  if (sx == 1.0 && sy == 1.0) {
    CopyRows(source, dest, rowBytes);
    return;
  }

  LinearAxis cols;
  BuildLinearAxis(w, w2, 0.0000000001, cols);
  Scratch<Byte> mid(CheckedProduct(rowBytes, h));
  const double p = 100.0 / (h + h2 + 0.5);

  // Horizontal pass into the intermediate, one source row at a time.
  for (Integer y = 0; y < h; ++y) {
    const auto* src = static_cast<const Byte*>(source->GetScanLine(y));
    LinearRow(src, mid.get() + static_cast<Int64>(y) * rowBytes, cols, w2, channels, sx > 1);
    Report(progress, sender, LKTrunc(y * p));
  }

  // Vertical pass: interpolation between two intermediate rows, or the
  // average of a run of them.
  Scratch<Integer> sums(rowBytes);
  Scratch<Byte> out(rowBytes);
  for (Integer r = 0; r < h2; ++r) {
    if (sy > 1) {
      const double pos = r / sy;
      const Integer y0 = std::clamp(LKTrunc(pos), 0, h - 1);
      const Integer f = std::clamp(LKTrunc((pos - y0) * kFracOne), 0, kFracOne - 1);
      // The far row stays inside the intermediate on every row, not only on
      // the last destination row.
      const Integer y1 = imin(y0 + 1, h - 1);
      const Byte* a = mid.get() + static_cast<Int64>(y0) * rowBytes;
      const Byte* b = mid.get() + static_cast<Int64>(y1) * rowBytes;
      for (Int64 k = 0; k < rowBytes; ++k) out[k] = static_cast<Byte>(Lerp17(a[k], b[k], f));
    } else {
      const Integer ys = std::clamp(LKTrunc(r / sy), 0, h - 1);
      const Integer ye = std::clamp(LKTrunc(imin(r + 1, h2 - 1) / sy), ys, h - 1);
      const Integer count = ye - ys + 1;
      if (count == 1) {
        std::memcpy(out.get(), mid.get() + static_cast<Int64>(ys) * rowBytes, static_cast<size_t>(rowBytes));
      } else {
        std::fill_n(sums.get(), rowBytes, 0);
        for (Integer y = ys; y <= ye; ++y) {
          const Byte* a = mid.get() + static_cast<Int64>(y) * rowBytes;
          for (Int64 k = 0; k < rowBytes; ++k) sums[k] += a[k];
        }
        const TruncDivider div(count, Int64{255} * count);
        for (Int64 k = 0; k < rowBytes; ++k) out[k] = static_cast<Byte>(div(sums[k]));
      }
    }
    std::memcpy(dest->GetScanLine(r), out.get(), static_cast<size_t>(rowBytes));
    Report(progress, sender, LKTrunc((r + h) * p));
  }
}

// ---------------------------------------------------------------------------
// Area resampling

// One piece of an axis: a stretch that lies in one source pixel and one
// destination pixel.
struct AreaPiece {
  double size;   // length of the piece (may be a hair below 0 at a near-tie)
  Integer src;   // source pixel
  Integer dst;   // destination pixel
  double frac;   // position of the piece's far end inside its source pixel
};

// Cuts an axis of n source pixels into pieces at every source boundary and
// every destination boundary (multiples of `b`, the source pixels per
// destination pixel). A destination boundary comes first when the next
// source boundary lies less than 0.0001 before it.
std::vector<AreaPiece> BuildPieces(Integer n, Integer m, double b) {
  std::vector<AreaPiece> pieces;
  pieces.reserve(static_cast<size_t>(n) + static_cast<size_t>(m) + 1);
  double pos = 0;
  Integer x = 0, k = 0;
  while (k < m) {
    const double u = x + 1.0;
    const double d = b * (k + 1);
    if (u + 0.0001 >= d || x >= n) {
      pieces.push_back({d - pos, imin(x, n - 1), k, d - x});
      pos = d;
      ++k;
    } else {
      pieces.push_back({u - pos, x, k, 1.0});
      pos = u;
      ++x;
    }
  }
  return pieces;
}

// Weights of the cubic convolution at offset t (0..1 past p0) for the
// samples p-1, p1 and p2; the weight of p0 is what they leave of 1.
struct CubicWeights {
  double m1, p1, p2;
};
inline CubicWeights CubicAt(double t) {
  const double a = std::fabs(t + 1), e = std::fabs(t - 1), g = std::fabs(t - 2);
  return {((-a + 5) * a - 8) * a + 4, (e - 2) * e * e + 1, ((-g + 5) * g - 8) * g + 4};
}

// Cubic convolution of four samples, clamped to 0..255. The sum is taken as
// p0 plus the weighted differences: a flat run then gives exactly its level,
// where the plain weighted sum can fall a hair short and truncate one level
// lower.
inline double Cubic(const CubicWeights& w, double pm1, double p0, double p1, double p2) {
  const double v = p0 + w.m1 * (pm1 - p0) + w.p1 * (p1 - p0) + w.p2 * (p2 - p0);
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Neighbours of pixel x of an axis of n pixels, the edge repeated outside.
struct Neighbours {
  Integer m1, p1, p2;
};
inline Neighbours NeighboursOf(Integer x, Integer n) {
  Neighbours r;
  r.m1 = x > 0 ? x - 1 : x;
  r.p1 = x < n - 1 ? x + 1 : x;
  r.p2 = x + 1 < n - 1 ? x + 2 : r.p1;
  return r;
}

}  // namespace

void _ResampleLinearEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress,
                       TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetPixelFormat() != lk24RGB || dest->GetPixelFormat() != lk24RGB) return;
  LinearResample(source, dest, 3, progress, sender);
}

void _ResampleLinearAlpha(TLKBitmap* source, TLKBitmap* dest, const TLKProgressEvent& progress, TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetBitCount() != 8 || dest->GetBitCount() != 8) return;
  LinearResample(source, dest, 1, progress, sender);
}

void _ResampleLinear1BitEx(TLKBitmap* source, TLKBitmap* dest, const TLKProgressEvent& progress, TObject* sender) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk1g) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  const double sx = static_cast<double>(w2) / w;
  const double sy = static_cast<double>(h2) / h;
  if (sx == 1.0 && sy == 1.0) {
    dest->Allocate(w, h, lk1g);
    CopyRows(source, dest, (static_cast<Int64>(w) + 7) / 8);
    return;
  }
  if (dest->GetPixelFormat() != lk24RGB) return;
  if (sx < 1 && sy < 1) {
    _SubResample1bitFilteredEx(source, 0, 0, w - 1, h - 1, dest);
    return;
  }

  LinearAxis cols;
  BuildLinearAxis(w, w2, 0.0000000001, cols);
  Scratch<Byte> mid(CheckedProduct(w2, h));
  Scratch<Byte> expanded(w);
  const double p = 100.0 / (h + h2 + 0.5);
  for (Integer y = 0; y < h; ++y) {
    Expand1Bit(static_cast<const Byte*>(source->GetScanLine(y)), expanded.get(), w);
    LinearRow(expanded.get(), mid.get() + static_cast<Int64>(y) * w2, cols, w2, 1, true);
    Report(progress, sender, LKTrunc(y * p));
  }
  Scratch<Byte> out(RowBytes(w2, 3));
  for (Integer r = 0; r < h2; ++r) {
    const double pos = r / sy;
    const Integer y0 = std::clamp(LKTrunc(pos), 0, h - 1);
    const Integer f = std::clamp(LKTrunc((pos - y0) * kFracOne), 0, kFracOne - 1);
    const Integer y1 = imin(y0 + 1, h - 1);
    const Byte* a = mid.get() + static_cast<Int64>(y0) * w2;
    const Byte* b = mid.get() + static_cast<Int64>(y1) * w2;
    Byte* o = out.get();
    for (Integer i = 0; i < w2; ++i) {
      const auto v = static_cast<Byte>(Lerp17(a[i], b[i], f));
      o[0] = o[1] = o[2] = v;
      o += 3;
    }
    std::memcpy(dest->GetScanLine(r), out.get(), static_cast<size_t>(w2) * 3);
    Report(progress, sender, LKTrunc((r + h) * p));
  }
}

void _LKQResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, Integer mode, const TLKProgressEvent& progress,
                  TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetPixelFormat() != lk24RGB || dest->GetPixelFormat() != lk24RGB) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  const bool bicubic = mode == 1;
  const double bx = static_cast<double>(w) / w2;
  const double by = static_cast<double>(h) / h2;
  const bool interpX = bx < 1;
  const bool interpY = by < 1;

  const std::vector<AreaPiece> xs = BuildPieces(w, w2, bx);
  const std::vector<AreaPiece> ys = BuildPieces(h, h2, by);
  const Int64 nx = static_cast<Int64>(xs.size());
  std::vector<CubicWeights> xWeights;
  if (bicubic && interpX) {
    xWeights.reserve(xs.size());
    for (const AreaPiece& pc : xs) xWeights.push_back(CubicAt(pc.frac));
  }

  // Horizontal values of a source row at the far end of every x piece, per
  // channel: the pixel itself, or its horizontal interpolation. Bicubic on
  // both axes truncates them before the vertical step. Four rows are cached.
  struct CachedRow {
    Integer row = -1;
    Scratch<double> v;
  };
  CachedRow cache[4];
  for (auto& c : cache) c.v.Reset(CheckedProduct(nx, 3));
  // Rows j - 1 .. j + 2 are consecutive, so slot (row and 3) never evicts a
  // row that the same piece needs.
  auto rowValues = [&](Integer row) -> const double* {
    CachedRow& c = cache[row & 3];
    if (c.row == row) return c.v.get();
    c.row = row;
    const auto* src = static_cast<const TRGB*>(source->GetScanLine(row));
    double* out = c.v.get();
    for (Int64 i = 0; i < nx; ++i) {
      const AreaPiece& pc = xs[static_cast<size_t>(i)];
      const Integer x = pc.src;
      const TRGB& s0 = src[x];
      double r, g, b;
      if (!interpX) {
        r = s0.r, g = s0.g, b = s0.b;
      } else {
        const Neighbours nb = NeighboursOf(x, w);
        const TRGB& s1 = src[nb.p1];
        const double l = pc.frac;
        if (bicubic) {
          const TRGB& sm = src[nb.m1];
          const TRGB& s2 = src[nb.p2];
          const CubicWeights& cw = xWeights[static_cast<size_t>(i)];
          r = Cubic(cw, sm.r, s0.r, s1.r, s2.r);
          g = Cubic(cw, sm.g, s0.g, s1.g, s2.g);
          b = Cubic(cw, sm.b, s0.b, s1.b, s2.b);
          if (interpY) r = std::trunc(r), g = std::trunc(g), b = std::trunc(b);
        } else {
          r = (1 - l) * s0.r + l * s1.r;
          g = (1 - l) * s0.g + l * s1.g;
          b = (1 - l) * s0.b + l * s1.b;
        }
      }
      out[3 * i] = b;  // the accumulators follow the TRGB byte order
      out[3 * i + 1] = g;
      out[3 * i + 2] = r;
    }
    return out;
  };

  // Vertical step: per x piece, the sum over the y pieces of a destination
  // row of (piece height x value); when the row is complete each x piece adds
  // its width times that sum to its destination pixel.
  const Int64 nv = CheckedProduct(nx, 3);
  Scratch<double> column(nv);
  std::fill_n(column.get(), nv, 0.0);
  Scratch<double> acc(CheckedProduct(w2, 3));
  Scratch<Byte> out(RowBytes(w2, 3));
  const double area = bx * by;
  for (size_t yi = 0; yi < ys.size(); ++yi) {
    const AreaPiece& py = ys[yi];
    const Integer j = py.src;
    const double k = py.frac;
    const double ph = py.size;
    double* col = column.get();
    if (!interpY) {
      const double* v0 = rowValues(j);
      for (Int64 q = 0; q < nv; ++q) col[q] += ph * v0[q];
    } else if (!bicubic) {
      const Neighbours nb = NeighboursOf(j, h);
      const double* v0 = rowValues(j);
      const double* v1 = rowValues(nb.p1);
      for (Int64 q = 0; q < nv; ++q) col[q] += ph * ((1 - k) * v0[q] + k * v1[q]);
    } else {
      const Neighbours nb = NeighboursOf(j, h);
      const double* vm = rowValues(nb.m1);
      const double* v0 = rowValues(j);
      const double* v1 = rowValues(nb.p1);
      const double* v2 = rowValues(nb.p2);
      const CubicWeights cw = CubicAt(k);
      for (Int64 q = 0; q < nv; ++q) col[q] += ph * Cubic(cw, vm[q], v0[q], v1[q], v2[q]);
    }
    // A destination row is complete when its last piece has been added.
    const bool rowDone = yi + 1 == ys.size() || ys[yi + 1].dst != py.dst;
    if (!rowDone) continue;
    std::fill_n(acc.get(), Int64{w2} * 3, 0.0);
    for (Int64 i = 0; i < nx; ++i) {
      const AreaPiece& px = xs[static_cast<size_t>(i)];
      double* a = acc.get() + Int64{px.dst} * 3;
      a[0] += px.size * col[3 * i];
      a[1] += px.size * col[3 * i + 1];
      a[2] += px.size * col[3 * i + 2];
    }
    std::fill_n(col, nv, 0.0);
    // The pieces' areas carry rounding error; the small tolerance keeps an
    // exact level (a flat area, a copy at equal size) from coming out one
    // lower.
    for (Int64 q = 0; q < Int64{w2} * 3; ++q) out[q] = static_cast<Byte>(blimit(LKTrunc(acc[q] / area + 1e-7)));
    std::memcpy(dest->GetScanLine(py.dst), out.get(), static_cast<size_t>(w2) * 3);
    Report(progress, sender, LKTrunc((py.dst + 1.0) / h2 * 100));
  }
}

// ---------------------------------------------------------------------------
// Projection

namespace {

// First and last source index of each of the m blocks of an axis of n
// source pixels: block k covers k*n div m .. (k+1)*n div m - 1, at least
// its first pixel, so together the blocks cover the whole axis.
void BuildBlocks(Integer n, Integer m, Scratch<Integer>& first, Scratch<Integer>& last) {
  first.Reset(m);
  last.Reset(m);
  for (Integer k = 0; k < m; ++k) {
    const auto a = static_cast<Integer>(Int64{k} * n / m);
    const auto b = static_cast<Integer>(Int64{k + 1} * n / m) - 1;
    first[k] = imin(a, n - 1);
    last[k] = std::clamp(b, first[k], n - 1);
  }
}

// Shared frame of the two projections; `decides(row, x)` tells whether
// source pixel x of a row decides its destination pixel.
template <typename Decides>
void Project(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool whiteOnBlack, const TLKProgressEvent& progress,
             TObject* sender, Decides decides) {
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  if (dest->GetPixelFormat() != lk1g) dest->Allocate(w2, h2, lk1g);
  const Integer rowLen = dest->GetRowLen();
  if (rowLen < (w2 + 7) / 8) return;

  AccessNarrowing narrow(source, dest);
  Scratch<Integer> colFirst, colLast, rowFirst, rowLast;
  BuildBlocks(w, w2, colFirst, colLast);
  BuildBlocks(h, h2, rowFirst, rowLast);
  Scratch<Byte> hit(w2);
  Scratch<Byte> out(rowLen);
  const double p = 100.0 / (h2 + 0.5);
  for (Integer j = 0; j < h2; ++j) {
    std::fill_n(hit.get(), w2, Byte{0});
    for (Integer y = rowFirst[j]; y <= rowLast[j]; ++y) {
      const auto* row = static_cast<const Byte*>(source->GetScanLine(y));
      for (Integer k = 0; k < w2; ++k) {
        if (hit[k]) continue;
        for (Integer x = colFirst[k]; x <= colLast[k]; ++x)
          if (decides(row, x)) {
            hit[k] = 1;
            break;
          }
      }
    }
    std::fill_n(out.get(), rowLen, whiteOnBlack ? Byte{0} : Byte{255});
    for (Integer k = 0; k < w2; ++k)
      if (hit[k]) _SetPixelbw(out.get(), k, whiteOnBlack ? 1 : 0);
    std::memcpy(dest->GetScanLine(j), out.get(), static_cast<size_t>(rowLen));
    Report(progress, sender, LKTrunc(j * p));
  }
}

}  // namespace

void _ResampleProject24Bit(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool whiteOnBlack,
                           const TLKProgressEvent& progress, TObject* sender) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk24RGB) return;
  if (whiteOnBlack) {
    Project(source, dest, true, progress, sender, [](const Byte* row, Integer x) {
      const Byte* px = row + Int64{x} * 3;
      return px[0] > 128 && px[1] > 128 && px[2] > 128;
    });
  } else {
    Project(source, dest, false, progress, sender, [](const Byte* row, Integer x) {
      const Byte* px = row + Int64{x} * 3;
      return px[0] < 128 && px[1] < 128 && px[2] < 128;
    });
  }
}

void _ResampleProject1Bit(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool whiteOnBlack,
                          const TLKProgressEvent& progress, TObject* sender) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk1g) return;
  Project(source, dest, whiteOnBlack, progress, sender, [whiteOnBlack](const Byte* row, Integer x) {
    return (_GetPixelbw(row, x) != 0) == whiteOnBlack;
  });
}

// ---------------------------------------------------------------------------
// 1-bit box reduction

void _SubResample1bitFilteredEx(TLKBaseBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2,
                                TLKBitmap* dest) {
  if (!source || !dest || source == dest) return;
  if (source->GetPixelFormat() != lk1g || dest->GetPixelFormat() != lk24RGB) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  x1 = imax(x1, 0);
  y1 = imax(y1, 0);
  x2 = imin(x2, w - 1);
  y2 = imin(y2, h - 1);
  if (x2 < x1 || y2 < y1) return;
  const double dx = (static_cast<double>(x2) - x1 + 1) / w2;
  const double dy = (static_cast<double>(y2) - y1 + 1) / h2;

  // Blocks: centred on each destination pixel; the row end takes half of
  // the whole part of dy, the column end half of dx itself.
  Scratch<Integer> colFirst(w2), colLast(w2);
  for (Integer j = 0; j < w2; ++j) {
    const Integer a = imax(LKTrunc(j * dx - dx / 2), 0);
    const Integer b = LKTrunc(j * dx + dx / 2);
    colFirst[j] = static_cast<Integer>(std::clamp<Int64>(Int64{x1} + a, 0, w - 1));
    colLast[j] = static_cast<Integer>(std::clamp<Int64>(Int64{x1} + b, colFirst[j], w - 1));
  }
  const double halfWhole = std::trunc(dy) / 2;

  Scratch<Int64> setCount(w2);
  Scratch<Integer> prefix(Int64{w} + 1);
  Scratch<Byte> out(RowBytes(w2, 3));
  for (Integer i = 0; i < h2; ++i) {
    const Integer a = imax(LKTrunc(i * dy - dy / 2), 0);
    const Integer b = LKTrunc(i * dy + halfWhole);
    const auto ys = static_cast<Integer>(std::clamp<Int64>(Int64{y1} + a, 0, h - 1));
    const auto ye = static_cast<Integer>(std::clamp<Int64>(Int64{y1} + b, ys, h - 1));
    std::fill_n(setCount.get(), w2, Int64{0});
    for (Integer y = ys; y <= ye; ++y) {
      const auto* row = static_cast<const Byte*>(source->GetScanLine(y));
      prefix[0] = 0;
      for (Integer x = 0; x < w; ++x) prefix[x + 1] = prefix[x] + ((row[x >> 3] & lkbitmask1[x & 7]) ? 1 : 0);
      for (Integer j = 0; j < w2; ++j) setCount[j] += prefix[colLast[j] + 1] - prefix[colFirst[j]];
    }
    const Int64 rows = ye - ys + 1;
    Byte* o = out.get();
    for (Integer j = 0; j < w2; ++j) {
      const Int64 total = rows * (colLast[j] - colFirst[j] + 1);
      const auto v = static_cast<Byte>(255 * setCount[j] / total);
      o[0] = o[1] = o[2] = v;
      o += 3;
    }
    std::memcpy(dest->GetScanLine(i), out.get(), static_cast<size_t>(w2) * 3);
  }
}

// ---------------------------------------------------------------------------
// Nearest-neighbour copy

void _LKBmpStretchEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress,
                     TObject* sender) {
  if (!source || !dest || source == dest) return;
  const TLKPixelFormat format = source->GetPixelFormat();
  // Pixels are copied whole in the source's layout, so any other
  // destination format would be overrun or misread.
  if (format == lknull || dest->GetPixelFormat() != format) return;
  const Integer bits = LKPixelFormatBitCount(format);
  if (bits == 0) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  const Integer rowLen = dest->GetRowLen();
  const Int64 needed = bits == 1 ? (Int64{w2} + 7) / 8 : CheckedProduct(w2, bits / 8);
  if (rowLen < needed || source->GetRowLen() < (bits == 1 ? (Int64{w} + 7) / 8 : Int64{w} * (bits / 8))) return;

  AccessNarrowing narrow(source, dest);
  const double fx = static_cast<double>(w) / w2;
  const double fy = static_cast<double>(h) / h2;
  Scratch<Integer> cols(w2);
  for (Integer j = 0; j < w2; ++j) cols[j] = std::clamp(LKTrunc(fx * j), 0, w - 1);
  Scratch<Byte> out(rowLen);
  std::fill_n(out.get(), rowLen, Byte{0});
  const Integer bpp = bits / 8;
  const double p = 100.0 / (h2 + 0.5);
  Integer lastRow = -1;
  for (Integer r = 0; r < h2; ++r) {
    const Integer y = std::clamp(LKTrunc(fy * r), 0, h - 1);
    if (y != lastRow) {
      const auto* src = static_cast<const Byte*>(source->GetScanLine(y));
      Byte* o = out.get();
      if (bits == 1) {
        for (Integer j = 0; j < w2; ++j) _SetPixelbw(o, j, static_cast<Integer>(_GetPixelbw(src, cols[j])));
      } else if (bpp == 3) {
        for (Integer j = 0; j < w2; ++j, o += 3) std::memcpy(o, src + Int64{cols[j]} * 3, 3);
      } else if (bpp == 1) {
        for (Integer j = 0; j < w2; ++j) o[j] = src[cols[j]];
      } else {
        for (Integer j = 0; j < w2; ++j, o += bpp) std::memcpy(o, src + Int64{cols[j]} * bpp, static_cast<size_t>(bpp));
      }
      lastRow = y;
    }
    std::memcpy(dest->GetScanLine(r), out.get(), static_cast<size_t>(rowLen));
    Report(progress, sender, LKTrunc(r * p));
  }
}

void _LKBmpStretch(TBitmap* source, TBitmap* dest) {
  if (!source || !dest || source == dest) return;
  const TPixelFormat format = source->GetPixelFormat();
  if (format != pf1bit && format != pf24bit) return;
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  dest->SetPixelFormat(format);
  if (format == pf1bit) {
    TRGBQuad black, white;
    white.rgbBlue = white.rgbGreen = white.rgbRed = 255;
    dest->SetColorTable(std::vector<TRGBQuad>{black, white});
  }
  const double fx = static_cast<double>(w) / w2;
  const double fy = static_cast<double>(h) / h2;
  for (Integer r = 0; r < h2; ++r) {
    const Byte* src = source->ScanLine(std::clamp(LKTrunc(fy * r), 0, h - 1));
    Byte* o = dest->ScanLine(r);
    for (Integer j = 0; j < w2; ++j) {
      const Integer x = std::clamp(LKTrunc(fx * j), 0, w - 1);
      if (format == pf1bit)
        _SetPixelbw(o, j, static_cast<Integer>(_GetPixelbw(src, x)));
      else
        std::memcpy(o + Int64{j} * 3, src + Int64{x} * 3, 3);
    }
  }
  dest->Modify();
}
