#include "processing/lkedges.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkbwconv.h"
#include "processing/lkfilterkit.h"
#include "processing/lkfilterresample.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"
#include "processing/lkrotate.h"
#include "processing/lumerakproc.h"

namespace {

// Width of the periodic margin around the picture, and of the part of it
// that stays out of the analysis.
constexpr Integer kMargin = 27;
constexpr Integer kBorder = 25;

// Exponential smoothing of one line of n samples `stride` apart, in place.
void SmoothLine(float* p, Integer n, Int64 stride, float b, std::vector<float>& y1, std::vector<float>& y2) {
  const float c1 = (1 - b) / (1 + b), c2 = b * c1;
  y1[0] = c1 * p[0];
  for (Integer k = 1; k < n; ++k) y1[static_cast<size_t>(k)] = c1 * p[k * stride] + b * y1[static_cast<size_t>(k - 1)];
  y2[static_cast<size_t>(n - 1)] = c2 * p[(n - 1) * stride];
  for (Integer k = n - 2; k >= 0; --k)
    y2[static_cast<size_t>(k)] = c2 * p[k * stride] + b * y2[static_cast<size_t>(k + 1)];
  for (Integer k = 0; k < n - 1; ++k) p[k * stride] = y1[static_cast<size_t>(k)] + y2[static_cast<size_t>(k + 1)];
  p[(n - 1) * stride] = y1[static_cast<size_t>(n - 1)];
}

// Row and column density profiles of an lk24RGB (grey levels) or lk1g (set
// bits) bitmap, each normalised so that its largest entry is 1000.
bool DensityProfiles(TLKBitmap* b, std::vector<Int64>& rows, std::vector<Int64>& cols,
                     const TLKProgressEvent& progress, TObject* sender) {
  const TLKPixelFormat f = b->GetPixelFormat();
  if (f != lk24RGB && f != lk1g) return false;
  const Integer W = b->GetWidth(), H = b->GetHeight();
  rows.assign(static_cast<size_t>(std::max(H, 0)), 0);
  cols.assign(static_cast<size_t>(std::max(W, 0)), 0);
  for (Integer y = 0; y < H; ++y) {
    const Byte* row = static_cast<const Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      const Integer v = f == lk1g ? (_GetPixelbw(row, x) ? 1 : 0)
                                  : _RGBToGray(reinterpret_cast<const TRGB*>(row)[x]);
      rows[static_cast<size_t>(y)] += v;
      cols[static_cast<size_t>(x)] += v;
    }
    if (H > 0) lkfilter::Report(progress, sender, (y + 1) * 100.0 / (H - 1 + 0.5));
  }
  for (auto* p : {&rows, &cols}) {
    Int64 m = 0;
    for (Int64 v : *p) m = std::max(m, v);
    if (m != 0)
      for (Int64& v : *p) v = LKTrunc64(static_cast<double>(v) / m * 1000);
  }
  return true;
}

double SquaredSteps(const std::vector<Int64>& p) {
  double sum = 0;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const double d = static_cast<double>(p[i + 1] - p[i]);
    sum += d * d;
  }
  return sum;
}

// Hough rounding: a 2^17 fixed-point product to the nearest integer, halves
// away from zero.
inline Int64 RoundFixed17(Int64 v) { return v >= 0 ? (v + 65536) >> 17 : -((-v + 65536) >> 17); }

}  // namespace

void _LKEdgeDetect_ShenCastan(TLKBitmap* InBitmap, TLKBitmap* OutBitmap, double Ratio, double Smoothing,
                              Integer WindowSize, Integer ThinningFactor, bool Hysteresis, TProgressRec& Progress) {
  if (!InBitmap || !OutBitmap || InBitmap->GetPixelFormat() != lk24RGB || InBitmap->IsEmpty()) return;
  const Integer W = InBitmap->GetWidth(), H = InBitmap->GetHeight();
  const Integer R = H + 2 * kMargin, C = W + 2 * kMargin;
  const size_t cells = static_cast<size_t>(R) * static_cast<size_t>(C);
  auto at = [C](Integer r, Integer c) { return static_cast<size_t>(r) * static_cast<size_t>(C) + c; };
  auto step = [&](Integer k) { lkfilter::Report(Progress.OnProgress, Progress.Sender, k * 100.0 / 6); };

  // 1-2: the grey picture tiled around itself.
  std::vector<float> raw(cells), smooth(cells);
  {
    std::vector<Byte> grey(static_cast<size_t>(W) * static_cast<size_t>(H));
    for (Integer y = 0; y < H; ++y) {
      const TRGB* row = static_cast<const TRGB*>(InBitmap->GetScanLine(y));
      for (Integer x = 0; x < W; ++x) grey[static_cast<size_t>(y) * W + x] = static_cast<Byte>(_RGBToGray(row[x]));
    }
    for (Integer r = 0; r < R; ++r) {
      const Integer y = (((r - kMargin) % H) + H) % H;
      for (Integer c = 0; c < C; ++c) {
        const Integer x = (((c - kMargin) % W) + W) % W;
        raw[at(r, c)] = grey[static_cast<size_t>(y) * W + x];
      }
    }
  }
  smooth = raw;
  step(1);
  // 3: smoothing down the columns, then along the rows.
  {
    const float b = static_cast<float>(Smoothing);
    std::vector<float> y1(static_cast<size_t>(std::max(R, C))), y2(y1.size());
    for (Integer c = 0; c < C; ++c) SmoothLine(smooth.data() + c, R, C, b, y1, y2);
    for (Integer r = 0; r < R; ++r) SmoothLine(smooth.data() + at(r, 0), C, 1, b, y1, y2);
  }
  step(2);
  // 4: sign of the band-limited Laplacian.
  const Integer r0 = kBorder, r1 = R - kBorder - 1, c0 = kBorder, c1 = C - kBorder - 1;
  std::vector<Byte> lap(cells, 0);
  for (Integer r = r0; r <= r1; ++r)
    for (Integer c = c0; c <= c1; ++c) lap[at(r, c)] = smooth[at(r, c)] - raw[at(r, c)] > 0 ? 1 : 0;
  step(3);
  // 5: zero crossings and their adaptive gradient (the unsmoothed copy is no
  // longer needed and holds the gradient).
  std::vector<float>& grad = raw;
  std::fill(grad.begin(), grad.end(), 0.0f);
  const Integer h = WindowSize / 2;
  for (Integer r = r0; r <= r1; ++r)
    for (Integer c = c0; c <= c1; ++c) {
      if (lap[at(r, c)] != 1) continue;
      const float dv = smooth[at(r + 1, c)] - smooth[at(r - 1, c)];
      const float dh = smooth[at(r, c + 1)] - smooth[at(r, c - 1)];
      bool candidate;
      if (lap[at(r + 1, c)] == 0) candidate = dv > 0;
      else if (lap[at(r, c + 1)] == 0) candidate = dh > 0;
      else if (lap[at(r - 1, c)] == 0) candidate = dv < 0;
      else if (lap[at(r, c - 1)] == 0) candidate = dh < 0;
      else candidate = false;
      if (!candidate) continue;
      double sum0 = 0, sum1 = 0;
      Integer n0 = 0, n1 = 0;
      for (Integer i = std::max(r - h, 0); i <= std::min(r + h, R - 1); ++i)
        for (Integer j = std::max(c - h, 0); j <= std::min(c + h, C - 1); ++j) {
          if (lap[at(i, j)]) {
            sum1 += smooth[at(i, j)];
            ++n1;
          } else {
            sum0 += smooth[at(i, j)];
            ++n0;
          }
        }
      const double m0 = n0 > 0 && sum0 != 0 ? sum0 / n0 : 0, m1 = n1 > 0 && sum1 != 0 ? sum1 / n1 : 0;
      grad[at(r, c)] = static_cast<float>(m0 - m1);
    }
  step(4);
  // 6: thresholds from the gradient histogram.
  double gmin = 0, gmax = 0;
  for (Integer r = r0; r <= r1; ++r)
    for (Integer c = c0; c <= c1; ++c) {
      gmin = std::min<double>(gmin, grad[at(r, c)]);
      gmax = std::max<double>(gmax, grad[at(r, c)]);
    }
  const double scale = 256 / (gmax - gmin + 1);
  Int64 hist[256] = {};
  for (Integer r = r0; r <= r1; ++r)
    for (Integer c = c0; c <= c1; ++c) ++hist[std::clamp(LKTrunc(scale * (grad[at(r, c)] - gmin)), 0, 255)];
  const Int64 target = LKTrunc64(R * Ratio * C);
  Integer bin = 255;
  Int64 sum = hist[255];
  while (sum < target && bin >= 0) {
    --bin;
    if (bin >= 0) sum += hist[bin];
  }
  const double high = bin / scale + gmin;
  const double low = Hysteresis ? high / 2 : high;
  // 7: tracing walks, each one path through visitable neighbours.
  std::vector<Byte> edge(cells, 0);
  static constexpr Integer kDr[8] = {0, 0, 1, 1, 1, -1, -1, -1};
  static constexpr Integer kDc[8] = {1, -1, 1, 0, -1, -1, 0, 1};
  auto visitable = [&](Integer r, Integer c) {
    return r >= 0 && r < R && c >= 0 && c < C && edge[at(r, c)] == 0 && grad[at(r, c)] != 0;
  };
  for (Integer r = r0; r <= r1; ++r)
    for (Integer c = c0; c <= c1; ++c) {
      if (!(grad[at(r, c)] > high) || !visitable(r, c)) continue;
      Integer pr = r, pc = c, depth = 0;
      for (;;) {
        edge[at(pr, pc)] = grad[at(pr, pc)] > low ? 1 : 255;
        Integer k = 0;
        while (k < 8 && !visitable(pr + kDr[k], pc + kDc[k])) ++k;
        if (k == 8) break;
        if (depth > 0 && ThinningFactor > 0 && depth % ThinningFactor != 0) edge[at(pr, pc)] = 255;
        pr += kDr[k];
        pc += kDc[k];
        ++depth;
      }
    }
  step(5);
  // 8-9: the map as black edges on white.
  step(6);
  OutBitmap->Allocate(W, H, lk1g);
  const Integer rowLen = OutBitmap->GetRowLen();
  std::vector<Byte> out(static_cast<size_t>(rowLen));
  for (Integer y = 0; y < H; ++y) {
    std::fill(out.begin(), out.end(), Byte{0xFF});
    if (y < H - 1)
      for (Integer x = 1; x < W; ++x)
        if (edge[at(y + kMargin, x + kMargin)] == 1) _SetPixelbw(out.data(), x, 0);
    lkfilter::WriteRow(OutBitmap, y, out.data(), out.size());
  }
}

double _lkhough(TLKBitmap* Bitmap, TProgressRec& Progress, Integer AngleRange, double Precision) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk1g) return 0;
  const double p = LKTrunc(Precision * 10) / 10.0;
  if (p < 0.1 || p > 1 || AngleRange < 0 || AngleRange > 180) return 0;
  const Integer d = LKRound(1 / p);
  const Integer bins = 180 * d;
  const double stepRad = (1.0 / d) * 0.017453292519444445;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer cx = W / 2, cy = H / 2;
  const Integer rmax = LKTrunc(std::sqrt(static_cast<double>(W) * W + static_cast<double>(H) * H) / 2);
  const Integer cb = bins / 2, half = AngleRange * d / 2;
  const Integer jFirst = std::max(cb - half, 0), jLast = std::min(cb + half - 1, bins - 1);
  if (jLast < jFirst) return 0;
  const Integer span = 2 * rmax + 1;
  // Only the rows of the bins scanned are kept.
  std::vector<std::uint32_t> acc(static_cast<size_t>(jLast - jFirst + 1) * static_cast<size_t>(span), 0);
  std::vector<Int64> sinT(static_cast<size_t>(bins)), cosT(static_cast<size_t>(bins));
  for (Integer j = 0; j < bins; ++j) {
    sinT[static_cast<size_t>(j)] = LKTrunc64(std::sin(j * stepRad) * 131072);
    cosT[static_cast<size_t>(j)] = LKTrunc64(std::cos(j * stepRad) * 131072);
  }
  const Integer voteLast = std::min(cb + half - 2, jLast);
  const Integer rowLen = Bitmap->GetRowLen();
  for (Integer y = 0; y < H; ++y) {
    const Byte* row = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      if ((x & 7) == 0 && (x >> 3) < rowLen && row[x >> 3] == 0xFF) {
        x += 7;
        continue;
      }
      if (_GetPixelbw(row, x)) continue;
      for (Integer j = jFirst; j <= voteLast; ++j) {
        const Int64 rho = RoundFixed17(cosT[static_cast<size_t>(j)] * (x - cx)) +
                          RoundFixed17(sinT[static_cast<size_t>(j)] * (y - cy)) + rmax;
        if (rho >= 0 && rho < span) ++acc[static_cast<size_t>(j - jFirst) * span + static_cast<size_t>(rho)];
      }
    }
    if (H > 0) lkfilter::Report(Progress.OnProgress, Progress.Sender, y * 100.0 / H);
  }
  Integer best = 0;
  std::uint32_t bestCount = 0;
  for (Integer j = jFirst; j <= jLast; ++j)
    for (Integer r = 0; r < span; ++r)
      if (acc[static_cast<size_t>(j - jFirst) * span + r] > bestCount) {
        bestCount = acc[static_cast<size_t>(j - jFirst) * span + r];
        best = j;
      }
  // Without a single vote there is no line: report no skew rather than a
  // quarter turn.
  if (bestCount == 0) return 0;
  return static_cast<double>(best) / d - 90;
}

double _LKSkewDetection(TLKBitmap* Bitmap, Integer ResampleWidth, Integer AngleRange, double Precision,
                        bool EdgeDetect, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return 0;
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  TProgressRec quiet;
  auto edges = [&](TLKBitmap* in, TLKBitmap* out) { _LKEdgeDetect_ShenCastan(in, out, 0.99, 0.9, 7, 0, true, quiet); };
  // The picture is never changed: every preparation works on a new bitmap.
  TLKBitmap prepared;
  prepared.SetMinFileSize(Bitmap->GetMinFileSize());
  TLKBitmap* page = &prepared;
  if (ResampleWidth < 1 || ResampleWidth == W) {
    if (f == lk1g && !EdgeDetect) {
      page = Bitmap;
    } else if (f == lk1g) {
      _Conv1to24Ex(Bitmap, &prepared, quiet);
      edges(&prepared, &prepared);
    } else {
      edges(Bitmap, &prepared);
    }
  } else {
    const Integer h = std::max<Integer>(1, static_cast<Integer>(static_cast<Int64>(H) * ResampleWidth / W));
    if (f == lk1g && EdgeDetect) {
      prepared.Allocate(ResampleWidth, h, lk24RGB);
      _Resample1bitEx(Bitmap, &prepared, rfFastLinear);
    } else if (f == lk1g) {
      prepared.Allocate(ResampleWidth, h, lk1g);
      _LKBmpStretchEx(Bitmap, &prepared);
    } else {
      prepared.Allocate(ResampleWidth, h, f);
      _ResampleEx(Bitmap, &prepared, rfFastLinear);
    }
    if (EdgeDetect) edges(&prepared, &prepared);
  }
  TProgressRec rec;
  rec.OnProgress = OnProgress;
  rec.Sender = Sender;
  return _lkhough(page, rec, AngleRange, Precision);
}

Integer _LKCalcVertOrientationFitness(TLKBitmap* Bitmap) {
  std::vector<Int64> rows, cols;
  if (!Bitmap || !DensityProfiles(Bitmap, rows, cols, {}, nullptr)) return 0;
  return LKTrunc(SquaredSteps(rows));
}

double _LKSkewDetectionFine(TLKBitmap* Bitmap, double StartAngle, double Step, Integer Range, bool Precise) {
  if (!Bitmap || Bitmap->IsEmpty() || Range <= 0) return StartAngle;
  TLKBitmap work;
  work.SetMinFileSize(Bitmap->GetMinFileSize());
  if (Precise) {
    work.Assign(Bitmap);
  } else {
    const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
    const Integer w = std::max(W / 8, 256);
    work.Allocate(w, std::max(1, LKTrunc(static_cast<double>(H) / W * w)), lk24RGB);
    if (Bitmap->GetPixelFormat() == lk1g) {
      _Resample1bitEx(Bitmap, &work, rfFastLinear);
    } else {
      TLKBitmap colour;
      colour.Assign(Bitmap);
      colour.SetPixelFormat(lk24RGB);
      _ResampleEx(&colour, &work, rfFastLinear);
    }
  }
  const double half = Range / 2.0;
  std::vector<double> offsets{0};
  if (Step != 0) {
    const double s = std::fabs(Step);
    for (double o = -s; std::fabs(o) < half; o -= s) offsets.push_back(o);
    for (double o = s; std::fabs(o) < half; o += s) offsets.push_back(o);
  }
  double bestOffset = 0;
  Integer best = 0;
  TLKBitmap trial;
  for (double o : offsets) {
    trial.Assign(&work);
    _RotateEx(&trial, StartAngle + o, false, TRGB{0, 0, 0}, {}, nullptr);
    const Integer fit = _LKCalcVertOrientationFitness(&trial);
    if (fit > best) {
      best = fit;
      bestOffset = o;
    }
  }
  return StartAngle + bestOffset;
}

// --- Component methods ---------------------------------------------------------

void TLumerakProc::EdgeDetect_ShenCastan(double Ratio, double Smoothing, Integer WindowSize, Integer ThinningFactor,
                                         bool Hysteresis) {
  RunWholeImage({lk24RGB}, "EdgeDetect", [&](TLKBitmap* b) {
    TProgressRec rec;
    rec.OnProgress = OnProgress;
    rec.Sender = this;
    _LKEdgeDetect_ShenCastan(b, b, Ratio, Smoothing, WindowSize, ThinningFactor, Hysteresis, rec);
  });
}

double TLumerakProc::SkewDetection(Integer ResampleWidth, Integer AngleRange, double Precision, bool EdgeDetect) {
  double angle = 0;
  RunImageAnalysis({lk1g, lk24RGB}, [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    angle = _LKSkewDetection(b, ResampleWidth, AngleRange, Precision, EdgeDetect, OnProgress, this);
  });
  return angle;
}

double TLumerakProc::SkewDetectionFine(double StartAngle, double Step, Integer Range, bool Precise) {
  double angle = 0;
  RunImageAnalysis({lk1g, lk24RGB}, [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    angle = _LKSkewDetectionFine(b, StartAngle, Step, Range, Precise);
  });
  return angle;
}

Integer TLumerakProc::CalcOrientation() {
  if (!MakeConsistentBitmap({})) return 0;
  std::vector<Int64> rows, cols;
  Integer result = 0;
  if (DensityProfiles(GetAttachedLKBitmap(), rows, cols, OnProgress, this))
    result = SquaredSteps(cols) > SquaredSteps(rows) ? 90 : 0;
  DoFinishWork();
  return result;
}
