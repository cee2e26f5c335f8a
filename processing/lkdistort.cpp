// Bump mapping, lens and wave.
#include "processing/lkdistort.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

bool Aborted(const TProgressRec& p) { return p.AbortFlag && p.AbortFlag->load(); }

void Report(const TProgressRec& p, double done) {
  if (p.OnProgress) p.OnProgress(p.Sender, LKTrunc(done));
}

// The whole of an lk24RGB picture in memory, rows from the top.
struct Pixels {
  Integer w = 0, h = 0;
  std::vector<TRGB> px;
  explicit Pixels(TLKBitmap* b) : w(b->GetWidth()), h(b->GetHeight()), px(static_cast<size_t>(w) * h) {
    for (Integer y = 0; y < h; ++y)
      std::memcpy(&px[static_cast<size_t>(y) * w], b->GetScanLine(y), static_cast<size_t>(w) * sizeof(TRGB));
  }
  const TRGB& at(Integer x, Integer y) const { return px[static_cast<size_t>(y) * w + x]; }
};

}  // namespace

void _BumpMapping(TLKBitmap* Bitmap, Integer Left, Integer Top, Integer Width, Integer Height, Integer Src,
                  TRGB Color, Integer X1, Integer Y1, Integer X2, Integer Y2, TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Width == 0 || Height == 0) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  const Integer xe = std::min(X2, Bitmap->GetWidth()) - 1, ye = std::min(Y2, Bitmap->GetHeight()) - 1;
  if (xe < X1 || ye < Y1) return;
  Progress.Step = 100 / ((ye - Y1) + 0.5);
  // Light table: 255 at the centre, falling to 0 at distance 1.
  static const std::vector<Byte> table = [] {
    std::vector<Byte> t(256 * 256);
    for (Integer u = 0; u < 256; ++u)
      for (Integer v = 0; v < 256; ++v) {
        const double du = (u - 128) / 128.0, dv = (v - 128) / 128.0;
        const double f = std::max(1 - std::sqrt(du * du + dv * dv), 0.0);
        t[static_cast<size_t>(u) * 256 + v] = static_cast<Byte>(std::min(255, LKTrunc(f * 256)));
      }
    return t;
  }();
  // Grey relief of the rectangle.
  const Integer cols = xe - X1 + 1, rows = ye - Y1 + 1;
  std::vector<Integer> grey(static_cast<size_t>(cols) * rows);
  for (Integer y = 0; y < rows; ++y) {
    const TRGB* row = static_cast<const TRGB*>(Bitmap->GetScanLine(Y1 + y));
    for (Integer x = 0; x < cols; ++x) grey[static_cast<size_t>(y) * cols + x] = _RGBToGray(row[X1 + x]);
  }
  auto g = [&](Integer x, Integer y) { return grey[static_cast<size_t>(y - Y1) * cols + (x - X1)]; };
  const double ks = Src / 100.0, kl = (100 - Src) / 100.0;
  const double cr = Color.r / 255.0, cg = Color.g / 255.0, cb = Color.b / 255.0;
  auto light = [](double c, double ks, double l, double cl) {
    return static_cast<Byte>(blimit(LKRound(c * ks + l * cl)));
  };
  for (Integer y = Y1; y <= ye; ++y) {
    if (Aborted(Progress)) return;
    TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
    const Integer vShift = LKTrunc((static_cast<double>(y) - Top) / Height * 128);
    for (Integer x = X1; x <= xe; ++x) {
      const Integer gx = g(std::min(x + 1, xe), y) - g(std::max(x - 1, X1), y);
      const Integer gy = g(x, std::min(y + 1, ye)) - g(x, std::max(y - 1, Y1));
      const Integer u = std::clamp(gx + 128 - LKTrunc((static_cast<double>(x) - Left) / Width * 128), 0, 255);
      const Integer v = std::clamp(gy + 128 - vShift, 0, 255);
      const double l = table[static_cast<size_t>(u) * 256 + v] * kl;
      TRGB& p = row[x];
      p = TRGB{light(p.b, ks, l, cb), light(p.g, ks, l, cg), light(p.r, ks, l, cr)};
    }
    Report(Progress, (y - Y1 + 1) * Progress.Step);
  }
}

void _lens(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height, double Refraction,
           TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  // A refraction index of 1 (or below) bends nothing.
  if (!(Refraction > 1)) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer hw = Width / 2, hh = Height / 2;
  const Integer L = std::clamp<Int64>(static_cast<Int64>(X) - hw, 0, W - 1);
  const Integer T = std::clamp<Int64>(static_cast<Int64>(Y) - hh, 0, H - 1);
  const Integer R = std::clamp<Int64>(static_cast<Int64>(X) + hw, 0, W - 1);
  const Integer B = std::clamp<Int64>(static_cast<Int64>(Y) + hh, 0, H - 1);
  if (R <= L || B <= T) return;
  const double a = (R - L) / 2.0, b = (B - T) / 2.0, n = Refraction;
  const Pixels copy(Bitmap);
  const Integer cols = R - L, rows = B - T;
  std::vector<TRGB> result(static_cast<size_t>(cols) * rows);
  Progress.Step = 100 / (cols + 0.5);
  const double halfPi = std::numbers::pi / 2;
  for (Integer k = 0; k < cols; ++k) {
    if (Aborted(Progress)) return;
    const double U = k - a + 0.5;
    for (Integer i = 0; i < rows; ++i) {
      const double V = b - i - 0.5;
      Integer sx = L + k, sy = T + i;
      if (b * b - b * b * U * U / (a * a) > V * V) {
        const double z = std::min(a, b) * std::sqrt(1 - U * U / (a * a) - V * V / (b * b));
        const double fx = std::cos(U / std::sqrt(U * U + z * z));
        const double ax = halfPi - fx, bx = std::acos(std::sin(ax) / n), cx = ax - bx;
        const double DX = U - z * std::tan(cx);
        const double fy = std::asin(V / std::sqrt(V * V + z * z));
        const double ay = halfPi - fy, by = std::acos(std::sin(ay) / n), cy = ay - by;
        const double DY = V - z * std::tan(cy);
        sx = L + std::clamp(LKTrunc(a + DX), 0, W - 1 - L);
        sy = T + std::clamp(LKTrunc(b - DY), 0, H - 1 - T);
      }
      result[static_cast<size_t>(i) * cols + k] = copy.at(sx, sy);
    }
    Report(Progress, (k + 1) * Progress.Step);
  }
  for (Integer i = 0; i < rows; ++i)
    std::memcpy(static_cast<TRGB*>(Bitmap->GetScanLine(T + i)) + L, &result[static_cast<size_t>(i) * cols],
                static_cast<size_t>(cols) * sizeof(TRGB));
}

void _wave(TLKBitmap* Bitmap, Integer Amplitude, Integer WaveLength, Integer Phase, bool Reflective,
           TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  if (Amplitude == 0 || WaveLength == 0) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Pixels copy(Bitmap);
  // y counts rows from the bottom of the picture, for source and result.
  auto sample = [&](Integer x, Integer y, Integer c) -> double {
    if (x < 0 || x >= W || y < 0 || y >= H) return 0;
    return reinterpret_cast<const Byte*>(&copy.at(x, H - 1 - y))[c];
  };
  const double cx = (W - 1) / 2.0, cy = (H - 1) / 2.0, rx = W / 2.0, ry = H / 2.0;
  double kx = 1, ky = 1;
  if (rx < ry) kx = ry / rx;
  else if (rx > ry) ky = rx / ry;
  const double phi = Phase * std::numbers::pi / 180, lambda = 2.0 * WaveLength;
  std::vector<TRGB> result(copy.px.size());
  for (Integer y = 0; y < H; ++y) {
    if (Aborted(Progress)) return;
    for (Integer x = 0; x < W; ++x) {
      const double dx = (x - cx) * kx, dy = (y - cy) * ky;
      const double d = std::sqrt(dx * dx + dy * dy);
      const double t = std::sin(d / lambda * 2 * std::numbers::pi + phi);
      double sx, sy;
      if (Reflective) {
        const double s = std::fabs(t) * Amplitude;
        sx = cx + dx * s / kx;
        sy = cy + dy * s / ky;
      } else {
        const double s = t * Amplitude;
        sx = (s + dx) / kx + cx;
        sy = (s + dy) / ky + cy;
      }
      const Integer ix = ilimit(LKTrunc(sx), 0, W - 2), iy = ilimit(LKTrunc(sy), 0, H - 2);
      double fx = sx - std::trunc(sx), fy = sy - std::trunc(sy);
      if (fx < 0) fx += 1;
      if (fy < 0) fy += 1;
      TRGB& out = result[static_cast<size_t>(H - 1 - y) * W + x];
      for (Integer c = 0; c < 3; ++c) {
        const double v = (1 - fy) * ((1 - fx) * sample(ix, iy, c) + fx * sample(ix + 1, iy, c)) +
                         fy * ((1 - fx) * sample(ix, iy + 1, c) + fx * sample(ix + 1, iy + 1, c));
        reinterpret_cast<Byte*>(&out)[c] = static_cast<Byte>(blimit(LKTrunc(v)));
      }
    }
    Report(Progress, static_cast<double>(y) * 100 / H);
  }
  for (Integer y = 0; y < H; ++y)
    std::memcpy(Bitmap->GetScanLine(y), &result[static_cast<size_t>(y) * W], static_cast<size_t>(W) * sizeof(TRGB));
}

void TLumerakProc::BumpMapping(Integer Left, Integer Top, Integer Width, Integer Height, Integer Src, TRGB Color) {
  RunImageProcessing(TLKPixelFormatSet{lk24RGB}, "BumpMapping",
                     [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
                       TProgressRec progress;
                       progress.OnProgress = OnProgress;
                       progress.Sender = this;
                       _BumpMapping(b, Left, Top, Width, Height, Src, Color, x1, y1, x2, y2, progress);
                     });
}

void TLumerakProc::Lens(Integer X, Integer Y, Integer Width, Integer Height, double Refraction) {
  RunImageProcessing(TLKPixelFormatSet{lk24RGB}, "Lens", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    _lens(b, X, Y, Width, Height, Refraction, progress);
  });
}

void TLumerakProc::Wave(Integer Amplitude, Integer WaveLength, Integer Phase, bool Reflective) {
  RunImageProcessing(TLKPixelFormatSet{lk24RGB}, "Wave", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    _wave(b, Amplitude, WaveLength, Phase, Reflective, progress);
  });
}
