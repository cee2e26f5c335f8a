// Development of three-colour-per-cell (Foveon) pictures: correction,
// red sharpening, despeckle, chroma smoothing, colour matrix and de-haze.
//
// Intermediate values are 64-bit: squares and cubes of corrected samples
// and the luminance ratios of bright pictures do not fit 32 bits. Right
// shifts of signed values truncate towards zero (written as divisions).
#include <algorithm>
#include <memory>
#include <span>

#include "raw/lkrawdevelop.h"
#include "raw/lkrawdevelop_internal.h"

namespace {

const char* const kStage = "foveon_interpolate()";

/// A symmetric tone curve of n entries: e[i] inside, mirrored for negative
/// arguments, one step beyond the last entry outside. The index is bounded
/// by the table's own size where it is used, so no lookup can leave it.
Int64 Curve(std::span<const short> e, Int64 i) {
  const size_t n = e.size();
  const size_t k = i >= 0 ? size_t(i) : size_t(0) - size_t(i);
  const Int64 last = e[n - 1];
  if (k >= n) return i >= 0 ? last + 1 : -last - 1;
  return i >= 0 ? e[k] : -e[k];
}

const short kCurveA[72] = {0,  1,  2,  2,  3,  4,  5,  6,  6,  7,  8,  9,  9,  10, 11, 11, 12, 13,
                           13, 14, 14, 15, 16, 16, 17, 17, 18, 18, 18, 19, 19, 20, 20, 20, 21, 21,
                           21, 22, 22, 22, 23, 23, 23, 23, 23, 24, 24, 24, 24, 24, 25, 25, 25, 25,
                           25, 25, 25, 25, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26};
const short kCurveB[20] = {0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7};
const short kCurveC0[72] = {0,  1,  1,  2,  2,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  8,  9,
                            9,  10, 10, 10, 10, 11, 11, 11, 12, 12, 12, 12, 12, 12, 13, 13, 13, 13,
                            13, 13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14,
                            14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14};
const short kCurveC1[36] = {0, 1,  1,  2,  3,  3,  4,  4,  5,  6,  6,  7,  7,  7,  8,  8,  9,  9,
                            9, 10, 10, 10, 11, 11, 11, 11, 11, 12, 12, 12, 12, 12, 12, 12, 12, 12};
const short kCurveC2[110] = {
    0,  1,  1,  2,  3,  3,  4,  5,  6,  6,  7,  7,  8,  9,  9,  10, 11, 11, 12, 12, 13, 13,
    14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 18, 19, 19, 19, 20, 20, 20, 21, 21, 21, 21, 22,
    22, 22, 22, 22, 23, 23, 23, 23, 23, 24, 24, 24, 24, 24, 24, 24, 24, 25, 25, 25, 25, 25,
    25, 25, 25, 25, 25, 25, 25, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26,
    26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26, 26};

inline Word ToSample(Int64 v, Int64 hi) { return Word(std::clamp<Int64>(v, 0, std::min<Int64>(hi, 65535))); }

struct TPicture {
  Word* base;
  Integer h, w;
  Word* at(Integer row, Integer col) const { return base + (size_t(row) * size_t(w) + size_t(col)) * 4; }
};

void Correct(const TPicture& p) {
  static const Int64 kQ[3][9] = {{4141, 37726, 11265, -30437, 16066, -41102, 326, -413, 362},
                                 {1770, -1316, 3480, -2139, 213, -4998, -2381, 3496, -2008},
                                 {-3838, -24025, -12968, 20144, -12195, 30272, -631, -2025, 822}};
  static const double kMul[3] = {1.0321, 1, 1.1124};
  for (Integer row = 0; row < p.h; ++row) {
    Int64 prev[3];
    for (int c = 0; c < 3; ++c) prev[c] = p.at(row, 0)[c];
    for (Integer col = 0; col < p.w; ++col) {
      Word* pix = p.at(row, col);
      Int64 x[3];
      for (int c = 0; c < 3; ++c) {
        const Int64 o = prev[c], v = pix[c];
        prev[c] = v;
        const Int64 d = v - o;
        x[c] = v + (d + Int64(UInt64(d * d) / 16384)) * 13107 / 16384;
      }
      Int64 w[9];
      w[0] = x[0] * x[0] / 16384;
      w[1] = x[1] * x[1] / 16384;
      w[2] = x[2] * x[2] / 16384;
      w[3] = x[0] * x[1] / 16384;
      w[4] = x[0] * x[2] / 16384;
      w[5] = x[1] * x[2] / 16384;
      w[6] = x[0] * w[0] / 16384;
      w[7] = x[1] * w[1] / 16384;
      w[8] = x[2] * w[2] / 16384;
      for (int j = 0; j < 3; ++j) {
        Int64 q = 0;
        for (int i = 0; i < 9; ++i) q += kQ[j][i] * w[i];
        const double v = double(x[j] + q / 16384) * kMul[j];
        pix[j] = v <= 0 ? 0 : v >= 32000 ? 32000 : Word(Int64(v));
      }
    }
  }
}

/// Five work rows of `w` cells × 3 values, rotated so that slot 4 is the
/// newest; slot i holds picture row (current row - 2 + i).
class TWorkRows {
 public:
  explicit TWorkRows(Integer w) : Data(raw_alloc<Int64>(Int64(w) * 15, kStage)) {
    for (int i = 0; i < 5; ++i) Slot[i] = Data.get() + size_t(i) * size_t(w) * 3;
  }
  Int64* operator[](int i) const { return Slot[i]; }
  /// Drops slot 0 and returns the freed row as the new slot 4.
  Int64* Rotate() {
    Int64* first = Slot[0];
    for (int i = 0; i < 4; ++i) Slot[i] = Slot[i + 1];
    Slot[4] = first;
    return first;
  }

 private:
  std::unique_ptr<Int64[]> Data;
  Int64* Slot[5];
};

void SharpenRed(const TPicture& p) {
  if (p.h < 5 || p.w < 5) return;
  TWorkRows work(p.w);
  auto fill = [&](Int64* dst, Integer row) {
    for (Integer col = 2; col < p.w - 2; ++col) {
      const Word* s = p.at(row, col);
      dst[size_t(col) * 3] = (Int64(s[-8]) + 4 * s[-4] + 6 * s[0] + 4 * s[4] + s[8] + 8) >> 4;
    }
  };
  for (Integer row = 0; row < 4; ++row) fill(work.Rotate(), row);
  for (Integer row = 2; row < p.h - 2; ++row) {
    fill(work.Rotate(), row + 2);
    Int64 smredPrev = 0;
    for (Integer col = 2; col < p.w - 2; ++col) {
      const size_t i = size_t(col) * 3;
      const Int64 smred = (6 * work[2][i] + 4 * (work[1][i] + work[3][i]) + work[0][i] + work[4][i] + 8) >> 4;
      if (col == 2) smredPrev = smred;
      const Int64 t = (7 * smred + smredPrev) >> 3;
      smredPrev = smred;
      Word* pix = p.at(row, col);
      const Int64 v = pix[0];
      pix[0] = ToSample(v + (v - t) / 4, 10000);
    }
  }
}

void Despeckle(const TPicture& p) {
  for (Integer row = 1; row < p.h - 1; ++row) {
    Word left[3];
    for (int c = 0; c < 3; ++c) left[c] = p.at(row, 0)[c];
    for (Integer col = 1; col < p.w - 1; ++col) {
      Word* pix = p.at(row, col);
      const Word before[3] = {pix[0], pix[1], pix[2]};
      for (int c = 0; c < 3; ++c) {
        Word lo = left[c], hi = left[c];
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            if ((!dy && !dx) || (!dy && dx < 0)) continue;
            const Word v = p.at(row + dy, col + dx)[c];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
          }
        pix[c] = std::clamp(pix[c], lo, hi);
      }
      for (int c = 0; c < 3; ++c) left[c] = before[c];
    }
  }
}

void SmoothChroma(const TPicture& p) {
  if (p.h < 5 || p.w < 5) return;
  TWorkRows work(p.w);
  auto fill = [&](Int64* dst, Integer row) {
    for (Integer col = 2; col < p.w - 2; ++col)
      for (int c = 0; c < 3; ++c) {
        Int64 sum = 0;
        for (int k = -2; k <= 2; ++k) sum += p.at(row, col + k)[c];
        dst[size_t(col) * 3 + size_t(c)] = sum;
      }
  };
  for (Integer row = 0; row < 4; ++row) fill(work.Rotate(), row);
  for (Integer row = 2; row < p.h - 2; ++row) {
    fill(work.Rotate(), row + 2);
    for (Integer col = 2; col < p.w - 2; ++col) {
      Word* pix = p.at(row, col);
      Int64 sm[3], sumSm = 0, sumPix = 0;
      for (int c = 0; c < 3; ++c) {
        const size_t i = size_t(col) * 3 + size_t(c);
        sm[c] = work[0][i] + work[1][i] + work[2][i] + work[3][i] + work[4][i];
        sumSm += sm[c];
        sumPix += pix[c];
      }
      const Int64 u = (60 + sumPix) * 65536 / (1500 + sumSm);
      Int64 d[3];
      for (int c = 0; c < 3; ++c) {
        const Int64 a = (u * sm[c]) >> 16;
        const Int64 z = Curve(kCurveA, a - pix[c]) + pix[c] - 13 - (c == 1 ? 1 : 0);
        d[c] = z - Curve(kCurveB, z);
      }
      const Int64 m = (d[0] + 2 * d[1] + d[2]) / 4;
      for (int c = 0; c < 3; ++c) pix[c] = ToSample(d[c] - Curve(kCurveB, d[c] - m), 65535);
    }
  }
}

void ApplyMatrix(const TPicture& p) {
  static const Int64 kR[3][3] = {{7576, -2933, 1279}, {-11594, 29911, -12394}, {4000, -18850, 20772}};
  for (Integer row = 0; row < p.h; ++row)
    for (Integer col = 0; col < p.w; ++col) {
      Word* pix = p.at(row, col);
      const Int64 v[3] = {pix[0], pix[1], pix[2]};
      for (int j = 0; j < 3; ++j)
        pix[j] = ToSample((kR[j][0] * v[0] + kR[j][1] * v[1] + kR[j][2] * v[2] + 4096) / 8192, 24000);
    }
}

void Dehaze(const TPicture& p) {
  const Integer bh = p.h / 4, bw = p.w / 4;
  if (bh <= 0 || bw <= 0) return;
  auto grid = raw_alloc<Int64>(Int64(bh) * bw * 3, kStage);
  auto block = [&](Integer br, Integer bc) { return grid.get() + (size_t(br) * size_t(bw) + size_t(bc)) * 3; };
  for (Integer br = bh - 1; br >= 0; --br)
    for (Integer bc = 0; bc < bw; ++bc) {
      Int64 sum[3] = {};
      for (Integer r = 0; r < 4; ++r)
        for (Integer c = 0; c < 4; ++c) {
          const Word* pix = p.at(br * 4 + r, bc * 4 + c);
          for (int k = 0; k < 3; ++k) sum[k] += pix[k];
        }
      Int64* b = block(br, bc);
      for (int k = 0; k < 3; ++k)
        b[k] = br == bh - 1 ? sum[k] >> 4 : (1840 * block(br + 1, bc)[k] + 141 * sum[k]) >> 12;
    }

  const Integer cols = bw * 4;
  auto rows = raw_alloc<Int64>(Int64(cols) * 9, kStage);
  Int64* work0 = rows.get();
  Int64* work1 = work0 + size_t(cols) * 3;
  Int64* work2 = work1 + size_t(cols) * 3;
  for (Integer row = 0; row < bh * 4; ++row) {
    if (row % 4 == 0) {
      Int64 r[3] = {};
      for (Integer col = cols - 1; col >= 0; --col)
        for (int k = 0; k < 3; ++k) {
          r[k] = (1485 * block(row / 4, col / 4)[k] + 6707 * r[k]) >> 13;
          work0[size_t(col) * 3 + size_t(k)] = r[k];
        }
    }
    Int64 r[3] = {};
    for (Integer col = 0; col < cols; ++col)
      for (int k = 0; k < 3; ++k) {
        const size_t i = size_t(col) * 3 + size_t(k);
        r[k] = (1485 * work0[i] + 6707 * r[k]) >> 13;
        work1[i] = r[k];
        work2[i] = row == 0 ? work1[i] : (6707 * work2[i] + 1485 * work1[i]) >> 13;
      }
    for (Integer col = 0; col < cols; ++col) {
      Word* pix = p.at(row, col);
      const Int64* w2 = work2 + size_t(col) * 3;
      const Int64 g = 60 + w2[0] + w2[1] + w2[2];
      const Int64 y = 60 + Int64(pix[0]) + pix[1] + pix[2];
      const Int64 f = y * 65536 / g;
      Int64 e[3];
      e[0] = Curve(kCurveC0, ((f * w2[0]) >> 16) - pix[0]);
      e[1] = Curve(kCurveC1, ((f * w2[1]) >> 16) - pix[1]);
      e[2] = Curve(kCurveC2, ((f * w2[2]) >> 16) - pix[2]);
      const Int64 m = (e[0] + e[1] + e[2]) / 8;
      for (int k = 0; k < 3; ++k) pix[k] = ToSample(pix[k] + e[k] - m, 65535);
    }
  }
}

}  // namespace

void foveon_interpolate(TRAWDecoderState& s) {
  if (!develop_cells(s)) return;
  const TPicture p{s.image.data()->data(), s.height, s.width};
  Correct(p);
  SharpenRed(p);
  Despeckle(p);
  SmoothChroma(p);
  ApplyMatrix(p);
  Dehaze(p);
}
