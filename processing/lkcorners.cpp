// Rounded corners, radial stretch and line-field morphing.
#include "processing/lkcorners.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "platform/system.h"
#include "processing/lumerakproc.h"

namespace {

// The whole of an lk24RGB picture in memory, rows from the top.
std::vector<TRGB> ReadPixels(TLKBitmap* b) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  std::vector<TRGB> px(static_cast<size_t>(w) * h);
  for (Integer y = 0; y < h; ++y)
    std::memcpy(&px[static_cast<size_t>(y) * w], b->GetScanLine(y), static_cast<size_t>(w) * sizeof(TRGB));
  return px;
}

void WritePixels(TLKBitmap* b, const std::vector<TRGB>& px) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  for (Integer y = 0; y < h; ++y)
    std::memcpy(b->GetScanLine(y), &px[static_cast<size_t>(y) * w], static_cast<size_t>(w) * sizeof(TRGB));
}

}  // namespace

void _LKRoundImage(TLKBitmap* Bitmap, Integer RoundWidth, Integer RoundHeight, const TLKProgressEvent&,
                   TObject*) {
  if (!Bitmap || Bitmap->IsEmpty() || RoundWidth <= 0 || RoundHeight <= 0) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Int64 n64 = static_cast<Int64>(RoundWidth) + RoundHeight;
  const Integer n = static_cast<Integer>(std::min<Int64>(n64, std::numeric_limits<Integer>::max() / 2));
  std::vector<TPoint> points(static_cast<size_t>(n));
  // Each curve point clears the rectangle between it and the corner; per
  // row that is the widest reach of the points at or below it (top), or at
  // or above it (bottom).
  std::vector<Integer> topReach(static_cast<size_t>(H), -1), bottomFrom(static_cast<size_t>(H), W);
  LKBezier2D4Controls(TPoint{0, RoundHeight}, TPoint{0, 0}, TPoint{RoundWidth, 0}, TPoint{RoundWidth, 0},
                      points.data(), n);
  for (const TPoint& p : points) {
    const Integer x = std::min(p.X, W - 1), y = std::min(p.Y, H - 1);
    if (x < 0 || y < 0) continue;
    topReach[static_cast<size_t>(y)] = std::max(topReach[static_cast<size_t>(y)], x);
  }
  for (Integer y = H - 2; y >= 0; --y)
    topReach[static_cast<size_t>(y)] = std::max(topReach[static_cast<size_t>(y)], topReach[static_cast<size_t>(y) + 1]);
  LKBezier2D4Controls(TPoint{W, H - RoundHeight}, TPoint{W, H}, TPoint{W - RoundWidth, H},
                      TPoint{W - RoundWidth, H}, points.data(), n);
  for (const TPoint& p : points) {
    const Integer x = std::max(p.X, 0), y = std::max(p.Y, 0);
    if (y >= H) continue;
    bottomFrom[static_cast<size_t>(y)] = std::min(bottomFrom[static_cast<size_t>(y)], x);
  }
  for (Integer y = 1; y < H; ++y)
    bottomFrom[static_cast<size_t>(y)] = std::min(bottomFrom[static_cast<size_t>(y)], bottomFrom[static_cast<size_t>(y) - 1]);

  TLKBitmap* alpha = nullptr;
  for (Integer y = 0; y < H; ++y) {
    // Columns 0..reach and their mirrors W - 1 - reach..W - 1 become clear.
    const Integer reach = std::max(topReach[static_cast<size_t>(y)], W - 1 - bottomFrom[static_cast<size_t>(y)]);
    if (reach < 0) continue;
    if (!alpha) alpha = Bitmap->GetAlphaChannel();
    Byte* row = static_cast<Byte*>(alpha->GetScanLine(y));
    const Integer span = std::min(reach, W - 1) + 1;
    std::memset(row, 0, static_cast<size_t>(span));
    std::memset(row + W - span, 0, static_cast<size_t>(span));
  }
  if (alpha) {
    alpha->SyncFull();
    Bitmap->SetFull(false);
  }
}

void _LKRadialStretch(TLKBitmap* Bitmap, double RedA, double RedB, double RedC, double RedD, double GreenA,
                      double GreenB, double GreenC, double GreenD, double BlueA, double BlueB, double BlueC,
                      double BlueD, const TLKProgressEvent& Progress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer cx = W / 2, cy = H / 2;
  const double ru = std::min(W, H) / 2.0;
  // Pass 0 writes blue, 1 green, 2 red: the byte order of a pixel.
  const double coef[3][4] = {{BlueA, BlueB, BlueC, BlueD}, {GreenA, GreenB, GreenC, GreenD}, {RedA, RedB, RedC, RedD}};
  const std::vector<TRGB> source = ReadPixels(Bitmap);
  std::vector<TRGB> result(source.size());
  for (Integer pass = 0; pass < 3; ++pass) {
    const double a = coef[pass][0], b = coef[pass][1], c = coef[pass][2], d = coef[pass][3];
    for (Integer y = 0; y < H; ++y) {
      const Integer dy = y - cy;
      for (Integer x = 0; x < W; ++x) {
        const Integer dx = x - cx;
        const double R = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy) / ru;
        const double S = ((a * R + b) * R + c) * R + d;
        const Int64 sx = static_cast<Int64>(cx) + LKRound(dx * S), sy = static_cast<Int64>(cy) + LKRound(dy * S);
        Byte v = 0;
        if (sx >= 0 && sx < W && sy >= 0 && sy < H)
          v = reinterpret_cast<const Byte*>(&source[static_cast<size_t>(sy * W + sx)])[pass];
        reinterpret_cast<Byte*>(&result[static_cast<size_t>(y) * W + x])[pass] = v;
      }
      if (Progress) Progress(Sender, LKTrunc((static_cast<double>(pass) * H + y) * 100 / (3.0 * H)));
    }
  }
  WritePixels(Bitmap, result);
}

namespace {

struct WarpLine {
  double px, py, qx, qy, dx, dy, len2, len;
};

WarpLine MakeLine(double px, double py, double qx, double qy) {
  WarpLine l{px, py, qx, qy, qx - px, qy - py, 0, 0};
  l.len2 = l.dx * l.dx + l.dy * l.dy;
  l.len = std::sqrt(l.len2);
  return l;
}

}  // namespace

void LKFields_warp(TLKBitmap* Bitmap, const TLKLine* First, const TLKLine* Second, Integer LineCount,
                   Integer FrameCount, std::vector<std::unique_ptr<TLKBitmap>>& Frames) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty() || FrameCount < 2) return;
  if (LineCount > 0 && (!First || !Second)) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const std::vector<TRGB> source = ReadPixels(Bitmap);
  std::vector<TRGB> frame(source.size());
  for (Integer f = 1; f < FrameCount; ++f) {
    const double t = static_cast<double>(f) / FrameCount;
    // The frame's lines and their matches on the first lines; lines of zero
    // length on either side are left out.
    std::vector<WarpLine> lines, firsts;
    for (Integer i = 0; i < std::max(LineCount, 0); ++i) {
      const TLKLine& a = First[i];
      const TLKLine& b = Second[i];
      const WarpLine l = MakeLine(a.X1 + (b.X1 - a.X1) * t, a.Y1 + (b.Y1 - a.Y1) * t, a.X2 + (b.X2 - a.X2) * t,
                                  a.Y2 + (b.Y2 - a.Y2) * t);
      const WarpLine s = MakeLine(a.X1, a.Y1, a.X2, a.Y2);
      if (l.len == 0 || s.len == 0) continue;
      lines.push_back(l);
      firsts.push_back(s);
    }
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) {
        double sumX = 0, sumY = 0, sumW = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
          const WarpLine& l = lines[i];
          const WarpLine& s = firsts[i];
          const double ex = x - l.px, ey = y - l.py;
          const double u = (ex * l.dx + ey * l.dy) / l.len2;
          const double v = (ey * l.dx - ex * l.dy) / l.len;
          double dist;
          if (u <= 0) dist = std::sqrt(ex * ex + ey * ey);
          else if (u >= 1) dist = std::hypot(x - l.qx, y - l.qy);
          else dist = std::fabs(v);
          const double X = s.px + u * s.dx - v * s.dy / s.len;
          const double Y = s.py + u * s.dy + v * s.dx / s.len;
          const double w = std::pow(std::pow(l.len, 0.75) / (0.001 + dist), 2.0);
          sumX += w * (X - x);
          sumY += w * (Y - y);
          sumW += w;
        }
        Integer sx = x, sy = y;
        if (sumW > 0) {
          sx = std::clamp(LKTrunc(sumX / sumW + x + 0.5), 0, W - 1);
          sy = std::clamp(LKTrunc(sumY / sumW + y + 0.5), 0, H - 1);
        }
        frame[static_cast<size_t>(y) * W + x] = source[static_cast<size_t>(sy) * W + sx];
      }
    auto out = std::make_unique<TLKBitmap>(W, H, lk24RGB);
    WritePixels(out.get(), frame);
    Frames.push_back(std::move(out));
  }
}

void TLumerakProc::RoundImage(Integer RoundWidth, Integer RoundHeight) {
  RunImageProcessing({}, "RoundImage", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    _LKRoundImage(b, RoundWidth, RoundHeight, OnProgress, this);
  });
}

void TLumerakProc::RadialStretch(double RedA, double RedB, double RedC, double RedD, double GreenA, double GreenB,
                                 double GreenC, double GreenD, double BlueA, double BlueB, double BlueC,
                                 double BlueD) {
  RunImageProcessing(TLKPixelFormatSet{lk24RGB}, "RadialStretch", [&](TLKBitmap* b, Integer, Integer, Integer,
                                                                      Integer) {
    _LKRadialStretch(b, RedA, RedB, RedC, RedD, GreenA, GreenB, GreenC, GreenD, BlueA, BlueB, BlueC, BlueD,
                     OnProgress, this);
  });
}
