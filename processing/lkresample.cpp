#include "processing/lkresample.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample_util.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace lkresample;

namespace {

constexpr Integer kFracOne = 1 << LKLinearFractionBits;

// Bytes of one lk24RGB, 8-bit or expanded 1-bit pixel row of `width` pixels
// with `channels` bytes per pixel.
Int64 RowBytes(Integer width, Integer channels) { return CheckedProduct(width, channels); }

// a + floor((b - a) * f / 131072): always between a and b.
inline Integer Lerp17(Integer a, Integer b, Integer f) { return a + (((b - a) * f) >> LKLinearFractionBits); }

// Interpolates two rows of bytes with one 17-bit fraction. The products
// need 32-bit lanes, which the baseline x86-64 instruction set multiplies
// slowly, so on processors with AVX2 a copy compiled for it is chosen at
// the first call. The choice is ours rather than the loader's (no
// load-time resolver), so sanitizers that must start before any of our code
// runs, such as ThreadSanitizer, work.
void LerpRowsPlain(const Byte* a, const Byte* b, Byte* out, Int64 n, Integer f) {
  for (Int64 j = 0; j < n; ++j) out[j] = static_cast<Byte>(Lerp17(a[j], b[j], f));
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void LerpRowsAVX2(const Byte* a, const Byte* b, Byte* out, Int64 n, Integer f) {
  for (Int64 j = 0; j < n; ++j) out[j] = static_cast<Byte>(Lerp17(a[j], b[j], f));
}
#endif

void LerpRows(const Byte* a, const Byte* b, Byte* out, Int64 n, Integer f) {
  using TLerpRows = void (*)(const Byte*, const Byte*, Byte*, Int64, Integer);
  static const TLerpRows chosen = [] {
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return static_cast<TLerpRows>(LerpRowsAVX2);
#endif
    return static_cast<TLerpRows>(LerpRowsPlain);
  }();
  chosen(a, b, out, n, f);
}

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

// Averages divide sums of at most 255 * count by their count. floor(s * m /
// 2^32) with m = floor(2^32 / count) + 1 equals s div count whenever
// s < 2^32 / count, which holds for every such sum while count <= 4096; the
// multiply vectorises where a division would not.
constexpr Integer kMaxReciprocalCount = 4096;
inline std::uint32_t Reciprocal(Integer count) {
  return static_cast<std::uint32_t>((std::uint64_t{1} << 32) / static_cast<std::uint64_t>(count) + 1);
}
inline Byte DivideBy(std::uint32_t sum, std::uint32_t reciprocal) {
  return static_cast<Byte>((std::uint64_t{sum} * reciprocal) >> 32);
}

// Short runs: floor(s * m / 2^16) with m = floor(2^16 / n) + 1 equals
// s div n for every s < 2^16 / n, so for every sum of at most 255 * n when
// 2 <= n <= 16; such sums also fit 16 bits.
constexpr Integer kMaxShortRun = 16;
inline std::uint16_t Reciprocal16(Integer n) { return static_cast<std::uint16_t>(65536 / n + 1); }

// Column tables of the linear routines for destination pixels first ..
// first + count - 1 of an axis: start, 17-bit fraction, far neighbour for
// interpolation, end of the averaged run, and the reciprocal of the run's
// length (0 where the run is one pixel or too long for it).
struct LinearAxis {
  Scratch<Integer> start, frac, next, end;
  Scratch<std::uint32_t> recip;
};

// Builds the column tables for n source and m destination pixels; `epsilon`
// is added to the end position (the horizontal axis uses 1e-10, the
// vertical one nothing).
void BuildLinearAxis(Integer n, Integer m, Integer first, Integer count, double epsilon, LinearAxis& t) {
  const double scale = static_cast<double>(m) / n;
  t.start.Reset(count);
  t.frac.Reset(count);
  t.next.Reset(count);
  t.end.Reset(count);
  t.recip.Reset(count);
  for (Integer k = 0; k < count; ++k) {
    const Integer i = first + k;
    const double pos = i / scale;
    const Integer s = std::clamp(LKTrunc(pos), 0, n - 1);
    t.start[k] = s;
    t.frac[k] = std::clamp(LKTrunc((pos - s) * kFracOne), 0, kFracOne - 1);
    t.next[k] = imin(s + 1, n - 1);
    const Integer e = std::clamp(LKTrunc(imin(i + 1, m - 1) / scale + epsilon), s, n - 1);
    t.end[k] = e;
    const Integer len = e - s + 1;
    t.recip[k] = len > 1 && len <= kMaxReciprocalCount ? Reciprocal(len) : 0;
  }
}

// One horizontal pass of a linear routine over a row of kCh-byte pixels,
// giving `count` destination pixels: interpolation when `interpolate`, else
// the average of each run.
template <int kCh>
void LinearRow(const Byte* src, Byte* out, const LinearAxis& t, Integer count, bool interpolate) {
  if (interpolate) {
    for (Integer i = 0; i < count; ++i) {
      const Byte* a = src + static_cast<Int64>(t.start[i]) * kCh;
      const Byte* b = src + static_cast<Int64>(t.next[i]) * kCh;
      const Integer f = t.frac[i];
      for (int c = 0; c < kCh; ++c) out[c] = static_cast<Byte>(Lerp17(a[c], b[c], f));
      out += kCh;
    }
    return;
  }
  for (Integer i = 0; i < count; ++i) {
    const Integer s = t.start[i];
    const Integer n = t.end[i] - s + 1;
    const Byte* p = src + static_cast<Int64>(s) * kCh;
    std::uint32_t sum[kCh] = {};
    for (Integer x = 0; x < n; ++x) {
      for (int c = 0; c < kCh; ++c) sum[c] += p[c];
      p += kCh;
    }
    const std::uint32_t m = t.recip[i];
    if (m != 0) {
      for (int c = 0; c < kCh; ++c) out[c] = DivideBy(sum[c], m);
    } else {
      for (int c = 0; c < kCh; ++c) out[c] = static_cast<Byte>(sum[c] / static_cast<std::uint32_t>(n));
    }
    out += kCh;
  }
}

#if defined(__SSE2__)
// Averages of runs of at most 16 pixels for eight source rows at once. The
// rows' bytes are turned into columns of eight 16-bit lanes (one per row),
// so that one vector addition sums the same byte of a run for all eight
// rows; each sum is divided by a 16-bit reciprocal (exact: see
// Reciprocal16) and the results turned back into rows.
constexpr Integer kBatchRows = 8;
constexpr Integer kMaxBatchRun = kMaxShortRun;

// One vector of eight 16-bit lanes, as an element of scratch arrays.
struct alignas(16) Lanes {
  __m128i v;
};

// Columns j .. j + 15 of eight rows (16 bytes of each, at `rows[r] + j`)
// as sixteen vectors of eight 16-bit lanes, stored at `out`.
inline void TransposeIn(const Byte* const rows[kBatchRows], Int64 j, __m128i* out) {
  const __m128i z = _mm_setzero_si128();
  __m128i a[8];
  for (int r = 0; r < 8; ++r) a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + j));
  const __m128i b0 = _mm_unpacklo_epi8(a[0], a[1]), b1 = _mm_unpackhi_epi8(a[0], a[1]);
  const __m128i b2 = _mm_unpacklo_epi8(a[2], a[3]), b3 = _mm_unpackhi_epi8(a[2], a[3]);
  const __m128i b4 = _mm_unpacklo_epi8(a[4], a[5]), b5 = _mm_unpackhi_epi8(a[4], a[5]);
  const __m128i b6 = _mm_unpacklo_epi8(a[6], a[7]), b7 = _mm_unpackhi_epi8(a[6], a[7]);
  const __m128i c0 = _mm_unpacklo_epi16(b0, b2), c1 = _mm_unpackhi_epi16(b0, b2);
  const __m128i c2 = _mm_unpacklo_epi16(b1, b3), c3 = _mm_unpackhi_epi16(b1, b3);
  const __m128i c4 = _mm_unpacklo_epi16(b4, b6), c5 = _mm_unpackhi_epi16(b4, b6);
  const __m128i c6 = _mm_unpacklo_epi16(b5, b7), c7 = _mm_unpackhi_epi16(b5, b7);
  const __m128i d[8] = {_mm_unpacklo_epi32(c0, c4), _mm_unpackhi_epi32(c0, c4), _mm_unpacklo_epi32(c1, c5),
                        _mm_unpackhi_epi32(c1, c5), _mm_unpacklo_epi32(c2, c6), _mm_unpackhi_epi32(c2, c6),
                        _mm_unpacklo_epi32(c3, c7), _mm_unpackhi_epi32(c3, c7)};
  for (int k = 0; k < 8; ++k) {
    _mm_store_si128(out + 2 * k, _mm_unpacklo_epi8(d[k], z));
    _mm_store_si128(out + 2 * k + 1, _mm_unpackhi_epi8(d[k], z));
  }
}

// Eight of the byte columns 0..7 (each 8 bytes: rows 0..7), given as the
// low and high halves of p[0..3], as 8 bytes of each row: row r in the half
// r % 2 of w[r / 2].
inline void Transpose8x8(const __m128i p[4], __m128i w[4]) {
  const __m128i y0 = _mm_unpacklo_epi8(p[0], _mm_srli_si128(p[0], 8));
  const __m128i y1 = _mm_unpacklo_epi8(p[1], _mm_srli_si128(p[1], 8));
  const __m128i y2 = _mm_unpacklo_epi8(p[2], _mm_srli_si128(p[2], 8));
  const __m128i y3 = _mm_unpacklo_epi8(p[3], _mm_srli_si128(p[3], 8));
  const __m128i z0 = _mm_unpacklo_epi16(y0, y1), z1 = _mm_unpackhi_epi16(y0, y1);
  const __m128i z2 = _mm_unpacklo_epi16(y2, y3), z3 = _mm_unpackhi_epi16(y2, y3);
  w[0] = _mm_unpacklo_epi32(z0, z2);
  w[1] = _mm_unpackhi_epi32(z0, z2);
  w[2] = _mm_unpacklo_epi32(z1, z3);
  w[3] = _mm_unpackhi_epi32(z1, z3);
}

// Sixteen result columns (eight 16-bit lanes each, one per row) written as
// 16 bytes of each of eight rows at `outs[r] + o`.
inline void TransposeOut(const __m128i* res, Byte* const outs[kBatchRows], Int64 o) {
  __m128i p[8];
  for (int k = 0; k < 8; ++k) p[k] = _mm_packus_epi16(res[2 * k], res[2 * k + 1]);
  __m128i lo[4], hi[4];
  Transpose8x8(p, lo);
  Transpose8x8(p + 4, hi);
  for (int r = 0; r < 8; ++r) {
    const __m128i row = (r & 1) ? _mm_unpackhi_epi64(lo[r / 2], hi[r / 2]) : _mm_unpacklo_epi64(lo[r / 2], hi[r / 2]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(outs[r] + o), row);
  }
}

// The averaging pass of LinearRow for eight rows at once, every run at
// most kMaxBatchRun pixels long. rows[r] points at pixel 0 of the source
// rows, `validBytes` of which may be read; outs[r] receives `count` pixels.
template <int kCh>
void AverageRows8(const Byte* const rows[kBatchRows], Byte* const outs[kBatchRows], const LinearAxis& t,
                  Integer count, Int64 validBytes, const Scratch<Lanes>& scratch) {
  __m128i* const columns = &scratch.get()->v;
  const Int64 j0 = static_cast<Int64>(t.start[0]) * kCh;
  const Int64 j1 = (static_cast<Int64>(t.end[count - 1]) + 1) * kCh;
  const Int64 cols = (j1 - j0 + 15) / 16 * 16;  // `columns` holds at least this many

  // Source bytes in chunks of 16; the last chunks of a row go through a
  // padded copy so that nothing past the row is read.
  alignas(16) Byte tail[kBatchRows][16];
  for (Int64 j = 0; j < cols; j += 16) {
    if (j0 + j + 16 <= validBytes) {
      TransposeIn(rows, j0 + j, columns + j);
    } else {
      const Byte* padded[kBatchRows];
      const Int64 n = std::max<Int64>(0, validBytes - (j0 + j));
      for (int r = 0; r < kBatchRows; ++r) {
        std::memset(tail[r], 0, 16);
        std::memcpy(tail[r], rows[r] + j0 + j, static_cast<size_t>(std::min<Int64>(n, 16)));
        padded[r] = tail[r];
      }
      TransposeIn(padded, 0, columns + j);
    }
  }
  // Results in groups of 16 pixels (16 * kCh bytes, kCh row transposes).
  __m128i recip[kMaxBatchRun + 1];
  for (Integer n = 2; n <= kMaxBatchRun; ++n) recip[n] = _mm_set1_epi16(static_cast<short>(Reciprocal16(n)));
  alignas(16) __m128i res[16 * kCh];
  alignas(16) Byte spill[kBatchRows][16 * kCh];
  for (Integer i0 = 0; i0 < count; i0 += 16) {
    const Integer n = imin(16, count - i0);
    for (Integer k = 0; k < n; ++k) {
      const Integer i = i0 + k;
      const Integer len = t.end[i] - t.start[i] + 1;
      const __m128i* p = columns + (static_cast<Int64>(t.start[i]) * kCh - j0);
      __m128i acc[kCh];
      for (int c = 0; c < kCh; ++c) acc[c] = p[c];
      for (Integer x = 1; x < len; ++x) {
        p += kCh;
        for (int c = 0; c < kCh; ++c) acc[c] = _mm_add_epi16(acc[c], p[c]);
      }
      if (len > 1)
        for (int c = 0; c < kCh; ++c) acc[c] = _mm_mulhi_epu16(acc[c], recip[len]);
      for (int c = 0; c < kCh; ++c) res[k * kCh + c] = acc[c];
    }
    const Int64 o0 = static_cast<Int64>(i0) * kCh;
    if (n == 16) {
      for (int c = 0; c < kCh; ++c) TransposeOut(res + 16 * c, outs, o0 + 16 * c);
    } else {
      for (Integer k = n * kCh; k < 16 * kCh; ++k) res[k] = _mm_setzero_si128();
      Byte* spillRows[kBatchRows];
      for (int r = 0; r < kBatchRows; ++r) spillRows[r] = spill[r];
      for (int c = 0; c < kCh; ++c) TransposeOut(res + 16 * c, spillRows, 16 * c);
      for (int r = 0; r < kBatchRows; ++r)
        std::memcpy(outs[r] + o0, spill[r], static_cast<size_t>(n) * kCh);
    }
  }
}
#endif

// Fast linear resampling of the rectangle (sx, sy, sw, sh) of a source of
// kCh-byte pixels (inside it) to a w2 x h2 picture, of which the columns
// c0 .. c0 + cw - 1 and rows r0 .. r0 + rh - 1 are computed: row r0 + k of
// that part goes to outRow(k), which points at its first pixel.
//
// Only the source columns and rows these pixels depend on are read. Each
// source row is filtered horizontally once, when the vertical step first
// needs it, and kept while the next destination row may need it again, so
// no intermediate picture of the whole source height is held. With
// `progress` assigned the horizontal pass runs over every source row first
// into a whole intermediate, so that its reports rise steadily through both
// passes.
template <int kCh>
void LinearPart(TLKBaseBitmap* source, Integer sx, Integer sy, Integer sw, Integer sh, Integer w2, Integer h2,
                Integer c0, Integer cw, Integer r0, Integer rh, const std::function<Byte*(Integer)>& outRow,
                const TLKProgressEvent& progress, TObject* sender) {
  if (sw <= 0 || sh <= 0 || cw <= 0 || rh <= 0) return;
  const Int64 rowBytes = RowBytes(cw, kCh);
  const auto rowAt = [&](Integer y) {
    return static_cast<const Byte*>(source->GetScanLine(sy + y)) + static_cast<Int64>(sx) * kCh;
  };
  if (sw == w2 && sh == h2) {
    for (Integer k = 0; k < rh; ++k)
      std::memcpy(outRow(k), rowAt(r0 + k) + static_cast<Int64>(c0) * kCh, static_cast<size_t>(rowBytes));
    return;
  }
  const double scaleX = static_cast<double>(w2) / sw;
  const double scaleY = static_cast<double>(h2) / sh;
  const bool interpolateX = scaleX > 1, interpolateY = scaleY > 1;
  LinearAxis cols;
  BuildLinearAxis(sw, w2, c0, cw, 0.0000000001, cols);

  // Last source row the part depends on: nothing below it is read.
  Integer lastRow;
  {
    const Integer r = r0 + rh - 1;
    const Integer y0 = std::clamp(LKTrunc(r / scaleY), 0, sh - 1);
    lastRow = interpolateY ? imin(y0 + 1, sh - 1)
                           : std::clamp(LKTrunc(imin(r + 1, h2 - 1) / scaleY), y0, sh - 1);
  }

  // Source rows are filtered horizontally in batches: eight at once where
  // every averaged run fits the vector path, else one at a time.
  Integer batchRows = 1;
#if defined(__SSE2__)
  Scratch<Lanes> columns;
  Scratch<Byte> copies, spare;
  // Rows of memory storage stay where they are while others are read; any
  // other storage maps one row at a time, so its rows are copied.
  const auto* memorySource = dynamic_cast<TLKBitmap*>(source);
  const bool rowsStay = memorySource != nullptr && memorySource->GetLocation() == lkMemory;
  const Int64 validBytes = RowBytes(sw, kCh);
  if (!interpolateX) {
    bool fits = true;
    for (Integer i = 0; i < cw && fits; ++i) fits = cols.end[i] - cols.start[i] + 1 <= kMaxBatchRun;
    if (fits) {
      batchRows = kBatchRows;
      columns.Reset(((static_cast<Int64>(cols.end[cw - 1]) + 1 - cols.start[0]) * kCh + 15) / 16 * 16);
      spare.Reset(rowBytes);
      if (!rowsStay) copies.Reset(CheckedProduct(validBytes, kBatchRows));
    }
  }
#endif
  // Filters source rows y .. y + n - 1 (n <= batchRows) into out(0) ..
  // out(n - 1).
  const auto filterRows = [&](Integer y, Integer n, const auto& out) {
#if defined(__SSE2__)
    if (batchRows == kBatchRows) {
      const Byte* in[kBatchRows];
      Byte* to[kBatchRows];
      for (Integer r = 0; r < kBatchRows; ++r) {
        if (r < n) {
          in[r] = rowAt(y + r);
          if (!rowsStay) {
            Byte* copy = copies.get() + r * validBytes;
            std::memcpy(copy, in[r], static_cast<size_t>(validBytes));
            in[r] = copy;
          }
          to[r] = out(r);
        } else {
          in[r] = in[n - 1];
          to[r] = spare.get();
        }
      }
      AverageRows8<kCh>(in, to, cols, cw, validBytes, columns);
      return;
    }
#endif
    for (Integer r = 0; r < n; ++r) LinearRow<kCh>(rowAt(y + r), out(r), cols, cw, interpolateX);
  };

  // Filtered source rows: all of them in order when progress is reported,
  // else two slots of batchRows rows holding the latest rows asked for
  // (rows are asked for in rising order, so the lower slot is the one to
  // drop).
  Scratch<Byte> whole;
  Scratch<Byte> slot[2];
  Integer slotRow[2] = {-1, -1}, slotCount[2] = {0, 0};
  const double p = 100.0 / (sh + h2 + 0.5);
  if (progress) {
    whole.Reset(CheckedProduct(rowBytes, sh));
    for (Integer y = 0; y < sh; y += batchRows) {
      const Integer n = imin(batchRows, sh - y);
      filterRows(y, n, [&](Integer r) { return whole.get() + static_cast<Int64>(y + r) * rowBytes; });
      for (Integer r = 0; r < n; ++r) Report(progress, sender, LKTrunc((y + r) * p));
    }
  } else {
    slot[0].Reset(CheckedProduct(rowBytes, batchRows));
    slot[1].Reset(CheckedProduct(rowBytes, batchRows));
  }
  const auto filtered = [&](Integer y) -> const Byte* {
    if (progress) return whole.get() + static_cast<Int64>(y) * rowBytes;
    for (int k = 0; k < 2; ++k)
      if (y >= slotRow[k] && y < slotRow[k] + slotCount[k]) return slot[k].get() + (y - slotRow[k]) * rowBytes;
    const int k = slotRow[0] <= slotRow[1] ? 0 : 1;
    const Integer n = imin(batchRows, lastRow + 1 - y);
    filterRows(y, n, [&](Integer r) { return slot[k].get() + r * rowBytes; });
    slotRow[k] = y;
    slotCount[k] = n;
    return slot[k].get();
  };

  Scratch<std::uint32_t> sums(interpolateY ? 0 : rowBytes);
  Scratch<std::uint16_t> shortSums(interpolateY ? 0 : rowBytes);
  for (Integer k = 0; k < rh; ++k) {
    const Integer r = r0 + k;
    Byte* out = outRow(k);
    if (interpolateY) {
      const double pos = r / scaleY;
      const Integer y0 = std::clamp(LKTrunc(pos), 0, sh - 1);
      const Integer f = std::clamp(LKTrunc((pos - y0) * kFracOne), 0, kFracOne - 1);
      // The far row stays inside the source on every row, not only on the
      // last destination row.
      const Byte* a = filtered(y0);
      const Byte* b = filtered(imin(y0 + 1, sh - 1));
      LerpRows(a, b, out, rowBytes, f);
    } else {
      const Integer ys = std::clamp(LKTrunc(r / scaleY), 0, sh - 1);
      const Integer ye = std::clamp(LKTrunc(imin(r + 1, h2 - 1) / scaleY), ys, sh - 1);
      const Integer n = ye - ys + 1;
      if (n == 1) {
        std::memcpy(out, filtered(ys), static_cast<size_t>(rowBytes));
      } else if (n <= kMaxShortRun) {
        // 16-bit sums and a 16-bit reciprocal: twice the lanes per vector.
        std::uint16_t* acc = shortSums.get();
        const Byte* a = filtered(ys);
        for (Int64 j = 0; j < rowBytes; ++j) acc[j] = a[j];
        for (Integer y = ys + 1; y <= ye; ++y) {
          a = filtered(y);
          for (Int64 j = 0; j < rowBytes; ++j) acc[j] = static_cast<std::uint16_t>(acc[j] + a[j]);
        }
        const std::uint16_t m = Reciprocal16(n);
        for (Int64 j = 0; j < rowBytes; ++j)
          out[j] = static_cast<Byte>((static_cast<std::uint32_t>(acc[j]) * m) >> 16);
      } else {
        std::uint32_t* acc = sums.get();
        const Byte* a = filtered(ys);
        for (Int64 j = 0; j < rowBytes; ++j) acc[j] = a[j];
        for (Integer y = ys + 1; y <= ye; ++y) {
          a = filtered(y);
          for (Int64 j = 0; j < rowBytes; ++j) acc[j] += a[j];
        }
        if (n <= kMaxReciprocalCount) {
          const std::uint32_t m = Reciprocal(n);
          for (Int64 j = 0; j < rowBytes; ++j) out[j] = DivideBy(acc[j], m);
        } else {
          for (Int64 j = 0; j < rowBytes; ++j) out[j] = static_cast<Byte>(acc[j] / static_cast<std::uint32_t>(n));
        }
      }
    }
    if (progress) Report(progress, sender, LKTrunc((r + sh) * p));
  }
}

// _ResampleLinearEx and _ResampleLinearAlpha: the whole source into the
// whole destination.
template <int kCh>
void LinearResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress, TObject* sender) {
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  LinearPart<kCh>(
      source, 0, 0, w, h, w2, h2, 0, w2, 0, h2, [&](Integer r) { return static_cast<Byte*>(dest->GetScanLine(r)); },
      progress, sender);
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

// The source rows before row j that the pieces from source row j on no
// longer read: the cubic's first neighbour is row j - 1.
inline Integer PassedRows(Integer j) { return j > 1 ? j - 1 : 0; }

// When the x axis is not interpolated, every x piece of a source pixel
// carries that pixel's own value, so the vertical sums are kept per source
// pixel (the row's bytes in their order) and the x pieces read them: the
// same sums in the same order, over about half as many columns, with no
// double copy of each source row.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMERAK_TSAN)
#define LK_AREA_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LK_AREA_CLONES
#endif

// col[q] += ph * row[q].
LK_AREA_CLONES void AddAreaRow(double* __restrict col, const Byte* __restrict row, double ph, Int64 n) {
  for (Int64 q = 0; q < n; ++q) col[q] += ph * static_cast<double>(row[q]);
}

// col[q] += ph * ((1 - k) * a[q] + k * b[q]).
LK_AREA_CLONES void AddLinearRow(double* __restrict col, const Byte* __restrict a, const Byte* __restrict b, double ph,
                                 double k, Int64 n) {
  const double l = 1 - k;
  for (Int64 q = 0; q < n; ++q) col[q] += ph * (l * static_cast<double>(a[q]) + k * static_cast<double>(b[q]));
}

// col[q] += ph * the cubic convolution of the four rows at q.
LK_AREA_CLONES void AddCubicRow(double* __restrict col, const Byte* __restrict m1, const Byte* __restrict p0,
                                const Byte* __restrict p1, const Byte* __restrict p2, const CubicWeights cw, double ph,
                                Int64 n) {
  for (Int64 q = 0; q < n; ++q)
    col[q] += ph * Cubic(cw, static_cast<double>(m1[q]), static_cast<double>(p0[q]), static_cast<double>(p1[q]),
                         static_cast<double>(p2[q]));
}

// Four doubles; the compiler lowers it to whatever vector width the target
// has. Lane-wise products and sums round exactly as the scalar ones.
typedef double Double4 __attribute__((vector_size(32)));

// One destination row from the per-source-pixel sums: each destination
// pixel adds its x pieces' widths times their source pixel's sums, in the
// pieces' order (three channels in the lanes of one vector; the fourth lane
// reads the next pixel's first sum or the column's pad, and its store is
// overwritten by the next pixel or lands in acc's pad). Then every sum is
// divided by the area and limited to 0..255.
LK_AREA_CLONES void SpreadAreaRow(const AreaPiece* xs, Int64 nx, const double* col, double area, double* acc,
                                  Int64 nacc, Byte* out) {
  Int64 i = 0;
  while (i < nx) {
    const Integer dst = xs[i].dst;
    Double4 a = {0, 0, 0, 0};
    for (; i < nx && xs[i].dst == dst; ++i) {
      Double4 c;
      std::memcpy(&c, col + Int64{xs[i].src} * 3, sizeof c);
      a += xs[i].size * c;
    }
    std::memcpy(acc + Int64{dst} * 3, &a, sizeof a);
  }
  // The pieces' areas carry rounding error; the small tolerance keeps an
  // exact level (a flat area, a copy at equal size) from coming out one
  // lower. NaN, which no sum should be, gives 0 as LKTrunc has it.
  for (Int64 q = 0; q < nacc; ++q) {
    double v = acc[q] / area + 1e-7;
    v = !(v > 0) ? 0.0 : (v > 255 ? 255.0 : v);
    out[q] = static_cast<Byte>(static_cast<Integer>(v));
  }
}

// _LKQResample when the x axis is reduced or kept (no horizontal
// interpolation).
void AreaResampleByPixel(TLKBaseBitmap* source, TLKBaseBitmap* dest, bool bicubic, const std::vector<AreaPiece>& xs,
                         const std::vector<AreaPiece>& ys, double area, bool interpY, const TLKProgressEvent& progress,
                         TObject* sender, const std::function<void(Integer)>& passed) {
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  const Int64 nv = RowBytes(w, 3);
  const Int64 nacc = RowBytes(w2, 3);
  // One spare double behind the sums and the accumulators for the fourth
  // lane of SpreadAreaRow.
  Scratch<double> column(nv + 1);
  std::fill_n(column.get(), nv + 1, 0.0);
  Scratch<double> acc(nacc + 1);
  Scratch<Byte> out(nacc);
  auto row = [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); };
  for (size_t yi = 0; yi < ys.size(); ++yi) {
    const AreaPiece& py = ys[yi];
    const Integer j = py.src;
    if (!interpY) {
      AddAreaRow(column.get(), row(j), py.size, nv);
    } else if (!bicubic) {
      AddLinearRow(column.get(), row(j), row(NeighboursOf(j, h).p1), py.size, py.frac, nv);
    } else {
      const Neighbours nb = NeighboursOf(j, h);
      AddCubicRow(column.get(), row(nb.m1), row(j), row(nb.p1), row(nb.p2), CubicAt(py.frac), py.size, nv);
    }
    // A destination row is complete when its last piece has been added.
    const bool rowDone = yi + 1 == ys.size() || ys[yi + 1].dst != py.dst;
    if (!rowDone) continue;
    SpreadAreaRow(xs.data(), static_cast<Int64>(xs.size()), column.get(), area, acc.get(), nacc, out.get());
    std::fill_n(column.get(), nv, 0.0);
    std::memcpy(dest->GetScanLine(py.dst), out.get(), static_cast<size_t>(w2) * 3);
    Report(progress, sender, LKTrunc((py.dst + 1.0) / h2 * 100));
    if (passed && yi + 1 < ys.size()) passed(PassedRows(ys[yi + 1].src));
  }
}

}  // namespace

void _ResampleLinearEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKProgressEvent& progress,
                       TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetPixelFormat() != lk24RGB || dest->GetPixelFormat() != lk24RGB) return;
  LinearResample<3>(source, dest, progress, sender);
}

void LKResampleLinearPart(TLKBaseBitmap* source, const TRect& rect, Integer w2, Integer h2, const TRect& part,
                          const std::function<Byte*(Integer)>& outRow) {
  if (!source || source->GetPixelFormat() != lk24RGB || w2 <= 0 || h2 <= 0) return;
  if (rect.Left < 0 || rect.Top < 0 || rect.Right <= rect.Left || rect.Bottom <= rect.Top ||
      rect.Right > source->GetWidth() || rect.Bottom > source->GetHeight())
    return;
  const Integer c0 = imax(part.Left, 0), r0 = imax(part.Top, 0);
  const Integer c1 = imin(part.Right, w2), r1 = imin(part.Bottom, h2);
  if (c1 <= c0 || r1 <= r0) return;
  LinearPart<3>(source, rect.Left, rect.Top, rect.Width(), rect.Height(), w2, h2, c0, c1 - c0, r0, r1 - r0, outRow, {},
                nullptr);
}

void _ResampleLinearAlpha(TLKBitmap* source, TLKBitmap* dest, const TLKProgressEvent& progress, TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetBitCount() != 8 || dest->GetBitCount() != 8) return;
  LinearResample<1>(source, dest, progress, sender);
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
  BuildLinearAxis(w, w2, 0, w2, 0.0000000001, cols);
  Scratch<Byte> mid(CheckedProduct(w2, h));
  Scratch<Byte> expanded(w);
  const double p = 100.0 / (h + h2 + 0.5);
  for (Integer y = 0; y < h; ++y) {
    Expand1Bit(static_cast<const Byte*>(source->GetScanLine(y)), expanded.get(), w);
    LinearRow<1>(expanded.get(), mid.get() + static_cast<Int64>(y) * w2, cols, w2, true);
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

namespace {

// _LKQResample; `passed`, when set, is told after each destination row how
// many leading source rows will not be read again.
void QResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, Integer mode, const TLKProgressEvent& progress,
               TObject* sender, const std::function<void(Integer)>& passed) {
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
  if (!interpX) {
    AreaResampleByPixel(source, dest, bicubic, xs, ys, bx * by, interpY, progress, sender, passed);
    return;
  }
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
    if (passed && yi + 1 < ys.size()) passed(PassedRows(ys[yi + 1].src));
  }
}

}  // namespace

void _LKQResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, Integer mode, const TLKProgressEvent& progress,
                  TObject* sender) {
  if (!source || !dest || source == dest) return;
  QResample(source, dest, mode, progress, sender, {});
}

namespace {

constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

// Gives the whole 2 MiB pages inside rows 0 .. rows - 1 of a picture held in
// memory back to the system: they read as zero afterwards. Rows lie
// bottom-up, so the top rows end the block. Pictures in a temporary file or
// a TBitmap keep their rows.
void ReleaseTopRows(TLKBitmap* b, Integer rows) {
  if (b->GetLocation() != lkMemory || !b->GetMemory() || rows <= 0) return;
  const Integer h = b->GetHeight();
  rows = std::min(rows, h);
  const auto* first = static_cast<const Byte*>(b->GetMemory()) + Int64{b->GetRowLen()} * (h - rows);
  const auto* end = static_cast<const Byte*>(b->GetMemory()) + Int64{b->GetRowLen()} * h;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(first) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = reinterpret_cast<uintptr_t>(end) & ~(kHugePage - 1);
  if (to > from) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

}  // namespace

void LKQResampleAndFree(TLKBitmap* source, TLKBitmap* dest, Integer mode, const TLKProgressEvent& progress,
                        TObject* sender) {
  if (!source || !dest || source == dest) return;
  // Rows are given back in steps of at least 4 MiB, so that each step finds
  // whole 2 MiB pages past the last one.
  const Int64 rowLen = std::max<Int64>(source->GetRowLen(), 1);
  const Integer step = static_cast<Integer>(std::max<Int64>(Int64{4} * 1048576 / rowLen, 1));
  Integer released = 0;
  QResample(source, dest, mode, progress, sender, [&](Integer rows) {
    if (rows - released < step) return;
    ReleaseTopRows(source, rows);
    released = rows;
  });
  source->FreeImage();
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
