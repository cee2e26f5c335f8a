#include "processing/lkenhance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkmath.h"
#include "processing/lkfilterresample.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

using lkpoint::Clamp8;
using lkpoint::Is24;

namespace {

// Largest reduced copy ACE works on: its cost grows with the square of the
// pixel count (65536 pixels are about 1.3e10 steps, seconds of work).
constexpr Int64 kMaxAcePixels = 65536;

}  // namespace

void LKACE(TLKBitmap* Bitmap, Integer ReductionWidth, double Angle, double ClipPercent, Integer SearchRadius,
           const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const double slope = std::tan(Angle * M_PI / 180);
  const double limit = ClipPercent / 100 * slope * 255;
  // A reduction width of 0 would divide by zero: it means no reduction.
  Integer f = ReductionWidth > 0 ? W / ReductionWidth : 1;
  if (f < 1) f = 1;
  while (static_cast<Int64>(W / f) * (H / f) > kMaxAcePixels) ++f;
  const Integer w = W / f, h = H / f;
  if (w < 1 || h < 1) return;
  TLKBitmap reduced(w, h, lk24RGB);
  _LKResampleLKBitmap(Bitmap, &reduced, rfNone);
  const size_t n = static_cast<size_t>(w) * h;

  // The reduced pixels as one array per channel, and the distance table
  // ([dy][dx], the pixel itself at a million so that it weighs nothing).
  std::vector<float> val[3];
  for (auto& v : val) v.resize(n);
  for (Integer y = 0; y < h; ++y) {
    const Byte* p = static_cast<const Byte*>(reduced.GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) val[c][static_cast<size_t>(y) * w + x] = p[x * 3 + c];
  }
  std::vector<float> dist(n);
  for (Integer dy = 0; dy < h; ++dy)
    for (Integer dx = 0; dx < w; ++dx)
      dist[static_cast<size_t>(dy) * w + dx] = static_cast<float>(std::sqrt(double(dx) * dx + double(dy) * dy));
  dist[0] = 1000000.0f;

  std::vector<float> result[3];
  for (auto& r : result) r.resize(n);
  double mn[3] = {100000, 100000, 100000}, mx[3] = {-100000, -100000, -100000};
  std::vector<double> weight(n);  // 1 / distance from the current pixel to each pixel
  for (Integer py = 0; py < h; ++py) {
    for (Integer px = 0; px < w; ++px) {
      double sumWeight = 0;
      for (Integer y = 0; y < h; ++y) {
        const float* drow = &dist[static_cast<size_t>(std::abs(py - y)) * w];
        double* wrow = &weight[static_cast<size_t>(y) * w];
        for (Integer x = 0; x < w; ++x) {
          wrow[x] = 1.0 / drow[std::abs(px - x)];
          sumWeight += wrow[x];
        }
      }
      const size_t pi = static_cast<size_t>(py) * w + px;
      for (int c = 0; c < 3; ++c) {
        const double vp = val[c][pi];
        const float* vj = val[c].data();
        double sum = 0, m = 0;
        for (size_t j = 0; j < n; ++j) {
          double r = (vp - vj[j]) * slope;
          r = r < -limit ? -limit : (r > limit ? limit : r);
          sum += r * weight[j];
          m = std::max(m, std::fabs(r));
        }
        const double total = m * sumWeight;
        const double res = total != 0 ? sum / total : sum;
        result[c][pi] = static_cast<float>(res);
        mn[c] = std::min(mn[c], res);
        mx[c] = std::max(mx[c], res);
      }
    }
    if (OnProgress) OnProgress(Sender, LKTrunc(static_cast<double>(py) / h * 50));
  }
  TLKBitmap enhanced(w, h, lk24RGB);
  for (int c = 0; c < 3; ++c) {
    const double scale = mx[c] == mn[c] ? 255 : 255 / (mx[c] - mn[c]);
    for (Integer y = 0; y < h; ++y) {
      Byte* p = static_cast<Byte*>(enhanced.GetScanLine(y));
      for (Integer x = 0; x < w; ++x)
        p[x * 3 + c] = Clamp8(LKRound(scale * (result[c][static_cast<size_t>(y) * w + x] - mn[c])));
    }
  }
  LKLLLUT(&reduced, &enhanced, Bitmap, SearchRadius, OnProgress, Sender, 50, 50.0);
}

void LKLLLUT(TLKBitmap* Reduced, TLKBitmap* Enhanced, TLKBitmap* Bitmap, Integer SearchRadius,
             const TLKProgressEvent& OnProgress, TObject* Sender, Integer Base, double Span) {
  if (!Is24(Reduced) || !Is24(Enhanced) || !Is24(Bitmap)) return;
  const Integer rw = Reduced->GetWidth(), rh = Reduced->GetHeight();
  if (Enhanced->GetWidth() != rw || Enhanced->GetHeight() != rh) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const double s = static_cast<double>(W) / rw;
  const Integer radius = SearchRadius < 0 ? 0 : SearchRadius;
  // The reduced pair in memory (they are small).
  std::vector<Byte> red(static_cast<size_t>(rw) * rh * 3), enh(red.size());
  for (Integer y = 0; y < rh; ++y) {
    std::copy_n(static_cast<const Byte*>(Reduced->GetScanLine(y)), rw * 3, &red[static_cast<size_t>(y) * rw * 3]);
    std::copy_n(static_cast<const Byte*>(Enhanced->GetScanLine(y)), rw * 3, &enh[static_cast<size_t>(y) * rw * 3]);
  }
  // The window depends only on the reduced row and column a pixel falls in:
  // for each reduced column of the current reduced row, one table per
  // channel gives the new value of every level.
  std::vector<std::array<Byte, 256>> tables(static_cast<size_t>(rw) * 3);
  Integer tableRow = -2;  // reduced row the tables hold
  auto build = [&](Integer cy) {
    const Integer ry1 = std::max(cy - 1, 0), ry2 = std::min(cy + 1, rh - 1);
    for (Integer cx = 0; cx < rw; ++cx) {
      const Integer rx1 = std::max(cx - radius, 0), rx2 = std::min(cx + radius, rw - 1);
      for (int c = 0; c < 3; ++c) {
        std::array<Byte, 256>& t = tables[static_cast<size_t>(cx) * 3 + c];
        for (Integer v = 0; v < 256; ++v) {
          Integer upD = 1 << 30, loD = 1 << 30;
          Integer upR = 255, upE = 255, loR = 0, loE = 0;
          for (Integer ry = ry1; ry <= ry2; ++ry)
            for (Integer rx = rx1; rx <= rx2; ++rx) {
              const size_t i = (static_cast<size_t>(ry) * rw + rx) * 3 + c;
              const Integer r = red[i];
              if (r >= v && r - v < upD) upD = r - v, upR = r, upE = enh[i];
              if (r <= v && v - r < loD) loD = v - r, loR = r, loE = enh[i];
            }
          t[v] = Clamp8(LKRound(static_cast<double>(upE - loE) * (v - loR) / std::max(1, upR - loR) + loE));
        }
      }
    }
  };
  for (Integer y = 0; y < H; ++y) {
    const Integer cy = LKTrunc(y / s);
    if (cy != tableRow) {
      if (cy <= rh) build(cy);
      tableRow = cy;
    }
    const bool empty = cy > rh;  // no reduced row in the window
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
    const Integer percent = LKTrunc(Base + Span * y / H);
    for (Integer x = 0; x < W; ++x, p += 3) {
      if (!empty) {
        // x / s stays below the reduced width, so cx is a reduced column.
        const size_t ti = static_cast<size_t>(std::min(LKTrunc(x / s), rw - 1)) * 3;
        p[0] = tables[ti][p[0]], p[1] = tables[ti + 1][p[1]], p[2] = tables[ti + 2][p[2]];
      }
      if (OnProgress) OnProgress(Sender, percent);
    }
  }
}

namespace {

// Young - van Vliet recursive Gaussian coefficients for one scale.
struct Coefficients {
  float B, b1, b2, b3;
};

Coefficients Gauss(float sigma) {
  float q;
  if (sigma >= 2.5f)
    q = 0.98711f * sigma - 0.96330f;
  else if (sigma >= 0.5f)
    q = 3.97156f - 4.14554f * std::sqrt(1 - 0.26891f * sigma);
  else
    q = 0.1147705f;
  const float q2 = q * q, q3 = q2 * q;
  const float b0 = 1.57825f + 2.44413f * q + 1.4281f * q2 + 0.422205f * q3;
  Coefficients k;
  k.b1 = (2.44413f * q + 2.85619f * q2 + 1.26661f * q3) / b0;
  k.b2 = -(1.4281f * q2 + 1.26661f * q3) / b0;
  k.b3 = 0.422205f * q3 / b0;
  k.B = 1 - (k.b1 + k.b2 + k.b3);
  return k;
}

// Filters one line x[0..n-1] (at least 3 values) on mirror, line, mirror:
// a causal pass from the start, an anti-causal one from the end, both
// without history; the middle part of the result goes to out (stride
// apart). `seq` is scratch of 3n floats.
void FilterLine(const float* x, size_t stride, size_t n, const Coefficients& k, std::vector<float>& seq,
                float* out, size_t outStride) {
  seq.resize(3 * n);
  for (size_t i = 0; i < n; ++i) {
    const float v = x[i * stride];
    seq[n - 1 - i] = v;
    seq[n + i] = v;
    seq[3 * n - 1 - i] = v;
  }
  float w1 = 0, w2 = 0, w3 = 0;
  for (size_t i = 0; i < 3 * n; ++i) {
    const float w = k.B * seq[i] + k.b1 * w1 + k.b2 * w2 + k.b3 * w3;
    w3 = w2, w2 = w1, w1 = w;
    seq[i] = w;
  }
  w1 = w2 = w3 = 0;
  for (size_t i = 3 * n; i-- > 0;) {
    const float w = k.B * seq[i] + k.b1 * w1 + k.b2 * w2 + k.b3 * w3;
    w3 = w2, w2 = w1, w1 = w;
    if (i >= n && i < 2 * n) out[(i - n) * outStride] = w;
  }
}

}  // namespace

void LKRetinex(TLKBitmap* Bitmap, Integer Scales, Integer Distribution, float Variance, Integer LargestScale,
               bool Grey, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap) || Scales < 1) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  if (W < 3 || H < 3) return;
  auto report = [&](Integer p) {
    if (OnProgress) OnProgress(Sender, p);
  };
  report(0);
  const size_t n = static_cast<size_t>(W) * H;
  const int planes = Grey ? 1 : 3;
  // The input of plane c at pixel x of a row: the channel's byte + 1, or the
  // luma + 1 in grey mode.
  auto inputRow = [&](Integer y, int c, float* dst) {
    const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < W; ++x, p += 3) {
      if (Grey) {
        Integer Y, Cb, Cr;
        LKRGB2YCbCr(CreateRGB(p[2], p[1], p[0]), Y, Cb, Cr);
        dst[x] = static_cast<float>(Y + 1);
      } else {
        dst[x] = static_cast<float>(p[c] + 1);
      }
    }
  };
  float lnTable[257];  // ln of every input value 1..256
  for (Integer i = 1; i <= 256; ++i) lnTable[i] = std::log(static_cast<float>(i));
  report(10);

  std::vector<float> scale(static_cast<size_t>(std::max(Scales, 2)) + 1, 0.0f);
  scale[0] = LargestScale / 2.0f;
  scale[1] = static_cast<float>(LargestScale);
  if (Scales > 2) {
    const double L = std::max(LargestScale - 2, 1);
    for (Integer i = 0; i < Scales; ++i) {
      const double pw = static_cast<double>(LKPower(10, std::log(L) / Scales * i / std::log(10.0)));
      switch (Distribution) {
        case 0: scale[static_cast<size_t>(i)] = static_cast<float>(2 + pw); break;
        case 1: scale[static_cast<size_t>(i)] = static_cast<float>(LargestScale - pw); break;
        case 2: scale[static_cast<size_t>(i)] = static_cast<float>(static_cast<double>(LargestScale) / Scales * i + 2); break;
        default: break;
      }
    }
  }

  std::vector<float> out(n * planes, 0.0f), smooth(n), row(static_cast<size_t>(W)), seq;
  for (Integer i = 0; i < Scales; ++i) {
    report(LKTrunc(static_cast<double>(i) / Scales * 50 + 20));
    const Coefficients k = Gauss(scale[static_cast<size_t>(i)]);
    for (int c = 0; c < planes; ++c) {
      for (Integer y = 0; y < H; ++y) {
        inputRow(y, c, row.data());
        FilterLine(row.data(), 1, static_cast<size_t>(W), k, seq, &smooth[static_cast<size_t>(y) * W], 1);
      }
      for (Integer x = 0; x < W; ++x)
        FilterLine(&smooth[static_cast<size_t>(x)], static_cast<size_t>(W), static_cast<size_t>(H), k, seq,
                   &smooth[static_cast<size_t>(x)], static_cast<size_t>(W));
      float* o = &out[n * c];
      for (Integer y = 0; y < H; ++y) {
        inputRow(y, c, row.data());
        const float* sm = &smooth[static_cast<size_t>(y) * W];
        float* oo = o + static_cast<size_t>(y) * W;
        for (Integer x = 0; x < W; ++x)
          oo[x] += (lnTable[static_cast<Integer>(row[static_cast<size_t>(x)])] - std::log(sm[x])) / Scales;
      }
    }
  }
  report(80);
  // Colour restoration.
  for (Integer y = 0; y < H; ++y) {
    const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < W; ++x, p += 3) {
      const size_t i = static_cast<size_t>(y) * W + x;
      if (Grey) {
        out[i] *= std::log(128.0f);
      } else {
        const float S = std::log(static_cast<float>(p[0] + p[1] + p[2] + 3));
        for (int c = 0; c < 3; ++c) out[n * c + i] *= std::log(128.0f * (p[c] + 1)) - S;
      }
    }
  }
  // Mean and population deviation of every output value (summed in double:
  // tens of millions of floats added in single precision drift).
  double sum = 0, sq = 0;
  for (float v : out) sum += v, sq += static_cast<double>(v) * v;
  const double count = static_cast<double>(out.size());
  const float mean = static_cast<float>(sum / count);
  const float sd = static_cast<float>(std::sqrt(std::max(0.0, sq / count - (sum / count) * (sum / count))));
  const float low = mean - Variance * sd, high = mean + Variance * sd;
  float range = high - low;
  if (range == 0) range = 1;
  report(90);
  for (Integer y = 0; y < H; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < W; ++x, p += 3) {
      const size_t i = static_cast<size_t>(y) * W + x;
      if (Grey) {
        Integer Y, Cb, Cr;
        LKRGB2YCbCr(CreateRGB(p[2], p[1], p[0]), Y, Cb, Cr);
        TRGB c;
        LKYCbCr2RGB(c, Clamp8(LKTrunc((out[i] - low) * 255 / range)), Cb, Cr);
        p[0] = c.b, p[1] = c.g, p[2] = c.r;
      } else {
        for (int c = 0; c < 3; ++c) p[c] = Clamp8(LKTrunc((out[n * c + i] - low) * 255 / range));
      }
    }
  }
  report(100);
}

// --- Methods of the processing component ----------------------------------------

void TLumerakProc::AutoEnhance1(Integer ReductionWidth, double Angle, double ClipPercent, Integer SearchRadius) {
  RunImageProcessing({lk24RGB}, "AutoEnhance1", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKACE(bm, ReductionWidth, Angle, ClipPercent, SearchRadius, OnProgress, this);
  });
}

void TLumerakProc::AutoEnhance2(Integer Scales, Integer Distribution, double Variance, Integer LargestScale,
                                bool Grey) {
  RunImageProcessing({lk24RGB}, "AutoEnhance2", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKRetinex(bm, Scales, Distribution, static_cast<float>(Variance), LargestScale, Grey, OnProgress, this);
  });
}
