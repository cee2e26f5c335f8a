#include "processing/lkmedian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkcolorconv.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

inline Byte Luma(const Byte* p) { return static_cast<Byte>((p[2] * 54 + p[1] * 182 + p[0] * 20) >> 8); }

// A 256-bin histogram with the bin of one rank kept up to date as values
// come and go: the bin b where below(b) < rank <= below(b) + count(b).
struct RankPointer {
  Integer Rank = 1, Bin = 0, Below = 0;
  void Settle(const Integer* hist) {
    while (Bin > 0 && Below >= Rank) Below -= hist[--Bin];
    while (Bin < 255 && Below + hist[Bin] < Rank) Below += hist[Bin++];
  }
};

}  // namespace

void _LKMedianFilter(TLKBitmap* Bitmap, Integer WindowWidth, Integer WindowHeight, Integer Brightness,
                     Integer EdgeGain, Integer Sharpness, Integer Threshold, TLKMedFilType Kind,
                     const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer hw = WindowWidth / 2, hh = WindowHeight / 2;
  const Integer n = WindowWidth * WindowHeight;
  // Without a neighbour there is nothing to compare with.
  if (n <= 1 || hw < 0 || hh < 0) return;
  const double offset = (Brightness - 50) * 5.1;
  const Integer thr = LKTrunc(Threshold * 2.56);
  Integer q1 = n / 4, q3 = 3 * (n / 4);
  const Integer mRank = n / 2;
  double P3 = 0, P4 = 0;
  if (Kind == mfMedianFilter) {
    const double l = (Threshold - 50) * 0.02;
    q1 = (n / 4) - LKTrunc(l * (n / 4));
    q3 = LKTrunc(l * q1) + 3 * (n / 4);
  } else if (Kind == mfSharpen) {
    P3 = (6.36 - (Sharpness * 0.04 + 1)) * (n - 1) + 1;
    P4 = std::fabs(P3 - n) < 1e-6 ? 0 : 1 / (P3 - n);
  } else {
    P3 = n;
    P4 = EdgeGain * 0.5 / (n - 1);
  }
  const bool diverges = Kind == mfSharpen && P4 == 0;
  const bool white = Kind == mfEdgeExtract;
  const size_t bytes = static_cast<size_t>(W) * 3;
  const Integer span = 2 * hh + 1, across = 2 * hw + 1;

  // Source rows and their luminances, held for the window's rows; each
  // result row is written back at once (see RowRing).
  lkfilter::RowRing rows(span, bytes), lumas(span, static_cast<size_t>(W));
  auto src = [&](Integer y) {
    return rows.Get(y, [&](Integer r, Byte* dst) { lkfilter::ReadRow(Bitmap, r, dst, bytes); });
  };
  auto lum = [&](Integer y) {
    const Byte* s = src(y);
    return lumas.Get(y, [&](Integer, Byte* dst) {
      for (Integer x = 0; x < W; ++x) dst[x] = Luma(s + 3 * x);
    });
  };
  std::vector<Byte> out(bytes);
  std::vector<const Byte*> win(static_cast<size_t>(span)), winL(static_cast<size_t>(span));
  std::vector<std::uint32_t> colSum(bytes);
  auto progress = [&](Integer y) { lkfilter::Report(OnProgress, Sender, LKTrunc(static_cast<double>(y) / H * 100) + 1); };

  for (Integer y = 0; y < H; ++y) {
    const bool middle = y >= hh && y < H - hh;
    if (!middle || y % 10 == 0) progress(y);
    if (!middle) {
      if (white) {
        lum(y);  // windows below still read this row as it was
        std::fill(out.begin(), out.end(), Byte{255});
        lkfilter::WriteRow(Bitmap, y, out.data(), bytes);
      }
      continue;
    }
    for (Integer k = 0; k < span; ++k) {
      winL[static_cast<size_t>(k)] = lum(y - hh + k);
      win[static_cast<size_t>(k)] = src(y - hh + k);
    }
    const Byte* own = win[static_cast<size_t>(hh)];
    std::memcpy(out.data(), own, bytes);
    if (white) {
      std::memset(out.data(), 255, static_cast<size_t>(std::min(hw, W)) * 3);
      for (Integer x = std::max(W - hw, 0); x < W; ++x) std::memset(&out[static_cast<size_t>(x) * 3], 255, 3);
    }
    if (across <= W && !diverges) {
      std::fill(colSum.begin(), colSum.end(), 0u);
      if (Kind != mfEdgeExtract)
        for (Integer k = 0; k < span; ++k) {
          const Byte* r = win[static_cast<size_t>(k)];
          for (size_t i = 0; i < bytes; ++i) colSum[i] += r[i];
        }
      // The window's histogram, with the rank bins moved as it slides.
      Integer hist[256] = {};
      for (Integer k = 0; k < span; ++k)
        for (Integer x = 0; x < across; ++x) ++hist[winL[static_cast<size_t>(k)][x]];
      RankPointer pq1{std::max(q1, 1)}, pm{std::max(mRank, 1)}, pq3{std::max(q3, 1)};
      for (RankPointer* p : {&pq1, &pm, &pq3}) p->Settle(hist);
      std::uint32_t sum[3] = {0, 0, 0};
      for (Integer x = 0; x < across; ++x)
        for (Integer c = 0; c < 3; ++c) sum[c] += colSum[static_cast<size_t>(x) * 3 + c];
      for (Integer x = hw; x < W - hw; ++x) {
        if (x > hw) {
          const Integer leave = x - hw - 1, enter = x + hw;
          // The bins stay put while the column moves, so each pointer's
          // count below it changes by the entering values below it less the
          // leaving ones (counted without branches).
          Integer d1 = 0, dm = 0, d3 = 0;
          for (Integer k = 0; k < span; ++k) {
            const Integer a = winL[static_cast<size_t>(k)][leave], b = winL[static_cast<size_t>(k)][enter];
            --hist[a];
            ++hist[b];
            d1 += static_cast<Integer>(b < pq1.Bin) - static_cast<Integer>(a < pq1.Bin);
            dm += static_cast<Integer>(b < pm.Bin) - static_cast<Integer>(a < pm.Bin);
            d3 += static_cast<Integer>(b < pq3.Bin) - static_cast<Integer>(a < pq3.Bin);
          }
          pq1.Below += d1;
          pm.Below += dm;
          pq3.Below += d3;
          for (RankPointer* p : {&pq1, &pm, &pq3}) p->Settle(hist);
          for (Integer c = 0; c < 3; ++c)
            sum[c] += colSum[static_cast<size_t>(enter) * 3 + c] - colSum[static_cast<size_t>(leave) * 3 + c];
        }
        const Byte* p = own + static_cast<size_t>(x) * 3;
        Byte* o = out.data() + static_cast<size_t>(x) * 3;
        const Integer bm = pm.Bin;
        if (Kind == mfEdgeExtract) {
          const Integer v = blimit(LKTrunc((p[1] * n - bm * n) * P4 + offset));
          std::memset(o, 255 - v >= thr ? 255 : 0, 3);
          continue;
        }
        if (Kind == mfMedianFilter) {
          const Integer spread = pq3.Bin - pq1.Bin;
          if (thr != 0 && std::abs(p[1] - bm) < spread && std::abs(p[2] - bm) < spread && std::abs(p[0] - bm) < spread)
            continue;
        }
        // The neighbour nearest the mean of the window without its centre.
        Integer mean[3];
        for (Integer c = 0; c < 3; ++c)
          mean[c] = blimit(static_cast<Integer>((static_cast<Int64>(sum[c]) - p[c]) / (n - 1)));
        const Byte* best = nullptr;
        Integer bestD = 1 << 30;
        for (Integer k = 0; k < span && bestD > 0; ++k) {
          const Byte* r = win[static_cast<size_t>(k)] + static_cast<size_t>(x - hw) * 3;
          for (Integer j = 0; j < across; ++j, r += 3) {
            if (k == hh && j == hw) continue;
            const Integer d = std::abs(r[0] - mean[0]) + std::abs(r[1] - mean[1]) + std::abs(r[2] - mean[2]);
            if (d < bestD) {
              bestD = d;
              best = r;
              if (d == 0) break;
            }
          }
        }
        if (Kind == mfMedianFilter) {
          std::memcpy(o, best, 3);
        } else {
          for (Integer c = 0; c < 3; ++c) o[c] = static_cast<Byte>(blimit(LKTrunc((p[c] * P3 - best[c] * n) * P4 + offset)));
        }
      }
    }
    lkfilter::WriteRow(Bitmap, y, out.data(), bytes);
  }
}

void _LKWallisFilter(TLKBitmap* Bitmap, Integer WindowWidthPercent, Integer WindowHeightPercent, Integer TargetMean,
                     Integer TargetContrast, Integer Gain, Integer BrightnessWeight, Integer MaxDeviation,
                     bool Binarize, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  constexpr Integer M = 15;  // margin of the grid
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer GW = W + 2 * M, GH = H + 2 * M;
  const double S = std::min(W, H) + 29;
  const Integer winW = std::max(21, LKTrunc(WindowWidthPercent / 100.0 * S));
  const Integer winH = std::max(21, LKTrunc(WindowHeightPercent / 100.0 * S));
  const Integer hw = (winW + 1) / 2, hh = (winH + 1) / 2;
  const double N = static_cast<double>(winW) * winH;
  const double md = TargetMean / 100.0, sd = TargetContrast * 3 / 100.0, A = Gain,
               alpha = BrightnessWeight / 100.0, smax = MaxDeviation * 6 / 100.0;
  const size_t bytes = static_cast<size_t>(W) * 3;

  // Lightness of grid rows, from the picture as it was: a ring over the
  // window's rows, fed from picture rows read in order (the last one kept,
  // since the grid repeats the edge rows).
  std::vector<double> edgeL(static_cast<size_t>(W));
  Integer edgeRow = -1;
  std::vector<Byte> rgb(bytes);
  auto pictureL = [&](Integer y) -> const std::vector<double>& {
    if (y != edgeRow) {
      lkfilter::ReadRow(Bitmap, y, rgb.data(), bytes);
      for (Integer x = 0; x < W; ++x) {
        double h, s, l;
        RGB2HSL(reinterpret_cast<const TRGB*>(rgb.data())[x], h, s, l);
        edgeL[static_cast<size_t>(x)] = l;
      }
      edgeRow = y;
    }
    return edgeL;
  };
  const Integer slots = winH + 1;
  std::vector<double> ring(static_cast<size_t>(slots) * GW);
  std::vector<Integer> held(static_cast<size_t>(slots), -1);
  auto gridRow = [&](Integer g) -> const double* {
    double* row = ring.data() + static_cast<size_t>(g % slots) * GW;
    if (held[static_cast<size_t>(g % slots)] != g) {
      const std::vector<double>& l = pictureL(std::clamp(g - M, 0, H - 1));
      for (Integer c = 0; c < GW; ++c) row[c] = l[static_cast<size_t>(std::clamp(c - M, 0, W - 1))];
      held[static_cast<size_t>(g % slots)] = g;
    }
    return row;
  };
  std::vector<long double> colS(static_cast<size_t>(GW), 0), colS2(static_cast<size_t>(GW), 0);
  std::vector<long double> pre(static_cast<size_t>(GW) + 1), pre2(static_cast<size_t>(GW) + 1);
  const Integer rFirst = hh, rLast = GH - 1 - hh;
  std::vector<Byte> out(bytes);
  Integer top = 0, bottom = -1;  // grid rows summed in colS
  for (Integer r = 0; r < GH; ++r) {
    lkfilter::Report(OnProgress, Sender, LKTrunc(static_cast<double>(r) / GH * 100) + 1);
    const Integer y = r - M;
    const bool inside = y >= 0 && y < H;
    if (r < rFirst || r > rLast) {
      // No window reaches this picture row: it stays (white when binarised).
      if (inside && Binarize) {
        std::fill(out.begin(), out.end(), Byte{255});
        lkfilter::WriteRow(Bitmap, y, out.data(), bytes);
      }
      continue;
    }
    const Integer t = r - hh, b = r - hh + winH - 1;
    if (bottom < top) {
      top = t;
      bottom = t - 1;
    }
    while (bottom < b) {
      const double* g = gridRow(++bottom);
      for (Integer c = 0; c < GW; ++c) {
        colS[static_cast<size_t>(c)] += g[c];
        colS2[static_cast<size_t>(c)] += static_cast<long double>(g[c]) * g[c];
      }
    }
    while (top < t) {
      const double* g = gridRow(top++);
      for (Integer c = 0; c < GW; ++c) {
        colS[static_cast<size_t>(c)] -= g[c];
        colS2[static_cast<size_t>(c)] -= static_cast<long double>(g[c]) * g[c];
      }
    }
    if (!inside) continue;
    // Only grid positions inside the picture are written, so the margin's
    // pass-through positions never overwrite filtered edge pixels.
    for (Integer c = 0; c < GW; ++c) {
      pre[static_cast<size_t>(c) + 1] = pre[static_cast<size_t>(c)] + colS[static_cast<size_t>(c)];
      pre2[static_cast<size_t>(c) + 1] = pre2[static_cast<size_t>(c)] + colS2[static_cast<size_t>(c)];
    }
    lkfilter::ReadRow(Bitmap, y, out.data(), bytes);
    for (Integer x = 0; x < W; ++x) {
      const Integer c = x + M;
      TRGB* px = reinterpret_cast<TRGB*>(out.data()) + x;
      if (c < hw || c > GW - 1 - hw) {
        if (Binarize) *px = TRGB{255, 255, 255};
        continue;
      }
      const size_t lo = static_cast<size_t>(c - hw), hi = static_cast<size_t>(c - hw + winW);
      const double m = static_cast<double>((pre[hi] - pre[lo]) / N);
      const double var = static_cast<double>((pre2[hi] - pre2[lo]) / N) - m * m + 1;
      const double sigma = std::min(std::sqrt(std::max(var, 0.0)), smax);
      const double G = A * sd / (A * sigma + sd + 0.00001);
      double h, s, l;
      RGB2HSL(*px, h, s, l);
      const double l2 = std::clamp((l - m) * G + (1 - alpha) * m + alpha * md, 0.0, 1.0);
      if (Binarize) {
        const Byte v = l2 > 0.5 ? 255 : 0;
        *px = TRGB{v, v, v};
      } else {
        HSL2RGB(*px, h, s, l2);
      }
    }
    lkfilter::WriteRow(Bitmap, y, out.data(), bytes);
  }
}

// --- Component methods ---------------------------------------------------------

void TLumerakProc::MedianFilter(Integer WindowWidth, Integer WindowHeight, Integer Brightness, Integer EdgeGain,
                                Integer Sharpness, Integer Threshold, TLKMedFilType Kind) {
  RunImageProcessing({lk24RGB}, "MedianFilter", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    _LKMedianFilter(b, WindowWidth, WindowHeight, Brightness, EdgeGain, Sharpness, Threshold, Kind, OnProgress, this);
  });
}

void TLumerakProc::WallisFilter(Integer WindowWidthPercent, Integer WindowHeightPercent, Integer TargetMean,
                                Integer TargetContrast, Integer Gain, Integer BrightnessWeight, Integer MaxDeviation,
                                bool Binarize) {
  RunImageProcessing({lk24RGB}, "WallisFilter", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    _LKWallisFilter(b, WindowWidthPercent, WindowHeightPercent, TargetMean, TargetContrast, Gain, BrightnessWeight,
                    MaxDeviation, Binarize, OnProgress, this);
  });
}
