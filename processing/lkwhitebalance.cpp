#include "processing/lkwhitebalance.h"

#include <algorithm>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkcolorconv.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

using lkpoint::Is24;
using lkpoint::Table;
using lkpoint::WholeProgress;

void LKApplyCoefficients(TLKBitmap* Bitmap, const double Coefficients[3], const TLKProgressEvent& OnProgress,
                         TObject* Sender) {
  if (!Is24(Bitmap) || !Coefficients) return;
  Table t[3];
  for (int c = 0; c < 3; ++c)
    for (Integer i = 0; i < 256; ++i) t[c][i] = lkpoint::Clamp8(LKTrunc(i * Coefficients[c]));
  WholeProgress progress(OnProgress, Sender, Bitmap->GetHeight());
  lkpoint::ApplyTables24(Bitmap, 0, 0, Bitmap->GetWidth(), Bitmap->GetHeight(), t[0], t[1], t[2], nullptr,
                         &progress);
}

void LKGetAverageValues(TLKBitmap* Bitmap, double Averages[3]) {
  Averages[0] = Averages[1] = Averages[2] = 0;
  if (!Is24(Bitmap)) return;
  Int64 sum[3] = {0, 0, 0}, count[3] = {0, 0, 0};
  const Integer w = Bitmap->GetWidth();
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y) {
    const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3)
      for (int c = 0; c < 3; ++c) {
        sum[c] += p[c];
        count[c] += p[c] != 0;
      }
  }
  for (int c = 0; c < 3; ++c)
    Averages[c] = count[c] ? static_cast<double>(sum[c]) / static_cast<double>(count[c]) : 0;
}

void LKWhiteBalance_grayworld(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  double a[3];
  LKGetAverageValues(Bitmap, a);
  const double m = std::max({a[0], a[1], a[2]});
  // A channel that is 0 everywhere has no average: it keeps its values.
  double k[3];
  for (int c = 0; c < 3; ++c) k[c] = a[c] > 0 ? m / a[c] : 1;
  LKApplyCoefficients(Bitmap, k, OnProgress, Sender);
}

void LKWhiteBalance_2(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  Int64 sum[3] = {0, 0, 0}, n = 0;
  const Integer w = Bitmap->GetWidth();
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y) {
    const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      double h, s, l;
      RGB2HSL(CreateRGB(p[2], p[1], p[0]), h, s, l);
      if (!(s < 0.3 && l > 0.7)) continue;
      if ((h >= 0.01 && h <= 0.04) || (h >= 0.35 && h <= 0.5) || (h >= 0.57 && h <= 0.59)) continue;
      sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
      ++n;
    }
  }
  double k[3];
  for (int c = 0; c < 3; ++c) {
    const double mean = n ? static_cast<double>(sum[c]) / static_cast<double>(n) : 255;
    k[c] = mean > 0 ? 255 / mean : 1;
  }
  LKApplyCoefficients(Bitmap, k, OnProgress, Sender);
}

namespace {

// Per-channel minimum and maximum of an lk24RGB (storage order) or lk48RGB
// (sample order) bitmap.
void MinMax(TLKBitmap* b, Integer mn[3], Integer mx[3]) {
  for (int c = 0; c < 3; ++c) mn[c] = 65535, mx[c] = 0;
  const Integer w = b->GetWidth();
  const bool wide = b->GetPixelFormat() == lk48RGB;
  for (Integer y = 0; y < b->GetHeight(); ++y) {
    const void* row = b->GetScanLine(y);
    for (Integer x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        const Integer v = wide ? static_cast<const Word*>(row)[x * 3 + c] : static_cast<const Byte*>(row)[x * 3 + c];
        mn[c] = std::min(mn[c], v);
        mx[c] = std::max(mx[c], v);
      }
  }
}

}  // namespace

void LKWhiteBalance_3(TLKBitmap* Bitmap, Integer X, Integer Y, const TLKProgressEvent& OnProgress,
                      TObject* Sender) {
  if (!Is24(Bitmap) || X < 0 || Y < 0 || X >= Bitmap->GetWidth() || Y >= Bitmap->GetHeight()) return;
  Integer mn[3], mx[3];
  MinMax(Bitmap, mn, mx);
  const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(Y)) + static_cast<size_t>(X) * 3;
  double k[3];
  for (int c = 0; c < 3; ++c) k[c] = static_cast<double>(mx[c]) / std::max<Integer>(1, p[c]);
  LKApplyCoefficients(Bitmap, k, OnProgress, Sender);
}

void LKAdjustGainOffset(TLKBitmap* Bitmap, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt != lk24RGB && fmt != lk48RGB) return;
  Integer mn[3], mx[3];
  MinMax(Bitmap, mn, mx);
  const double full = fmt == lk24RGB ? 255 : 65535;
  double k[3];
  for (int c = 0; c < 3; ++c) k[c] = mx[c] > mn[c] ? full / (mx[c] - mn[c]) : 1;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  WholeProgress progress(OnProgress, Sender, h);
  if (fmt == lk24RGB) {
    Table t[3];
    for (int c = 0; c < 3; ++c)
      for (Integer i = 0; i < 256; ++i) t[c][i] = lkpoint::Clamp8(LKTrunc((i - mn[c]) * k[c]));
    lkpoint::ApplyTables24(Bitmap, 0, 0, w, h, t[0], t[1], t[2], nullptr, &progress);
    return;
  }
  std::vector<Word> t[3];
  for (int c = 0; c < 3; ++c) {
    t[c].resize(65536);
    for (Integer i = 0; i < 65536; ++i) {
      const Integer v = LKTrunc((i - mn[c]) * k[c]);
      t[c][static_cast<size_t>(i)] = static_cast<Word>(v < 0 ? 0 : v > 65535 ? 65535 : v);
    }
  }
  for (Integer y = 0; y < h; ++y) {
    Word* p = static_cast<Word*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) p[0] = t[0][p[0]], p[1] = t[1][p[1]], p[2] = t[2][p[2]];
    progress.Row(y);
  }
}

namespace {

// The 4-connected region of colours within `tol` of the seed's colour, as
// one byte per pixel of the bitmap (1 inside), with its inclusive box. A
// scan-line fill: each run found is filled whole and the rows above and
// below it are searched for new runs.
struct Region {
  std::vector<Byte> in;
  Integer x1 = 0, y1 = 0, x2 = -1, y2 = -1;
};

Region ConnectedRegion(TLKBitmap* b, Integer sx, Integer sy, Integer tol) {
  Region r;
  const Integer w = b->GetWidth(), h = b->GetHeight();
  r.in.assign(static_cast<size_t>(w) * h, 0);
  const Byte* seedRow = static_cast<const Byte*>(b->GetScanLine(sy));
  const Byte seed[3] = {seedRow[sx * 3], seedRow[sx * 3 + 1], seedRow[sx * 3 + 2]};
  auto similar = [&](const Byte* p) {
    for (int c = 0; c < 3; ++c)
      if (std::abs(p[c] - seed[c]) > tol) return false;
    return true;
  };
  r.x1 = sx, r.y1 = sy, r.x2 = sx, r.y2 = sy;
  std::vector<std::pair<Integer, Integer>> stack{{sx, sy}};
  while (!stack.empty()) {
    auto [x, y] = stack.back();
    stack.pop_back();
    Byte* mark = &r.in[static_cast<size_t>(y) * w];
    if (mark[x]) continue;
    const Byte* row = static_cast<const Byte*>(b->GetScanLine(y));
    if (!similar(row + x * 3)) continue;
    Integer left = x, right = x;
    while (left > 0 && !mark[left - 1] && similar(row + (left - 1) * 3)) --left;
    while (right < w - 1 && !mark[right + 1] && similar(row + (right + 1) * 3)) ++right;
    for (Integer i = left; i <= right; ++i) mark[i] = 1;
    r.x1 = std::min(r.x1, left), r.x2 = std::max(r.x2, right);
    r.y1 = std::min(r.y1, y), r.y2 = std::max(r.y2, y);
    for (Integer ny : {y - 1, y + 1}) {
      if (ny < 0 || ny >= h) continue;
      const Byte* nmark = &r.in[static_cast<size_t>(ny) * w];
      const Byte* nrow = static_cast<const Byte*>(b->GetScanLine(ny));
      // One push per run of similar, unfilled pixels next to this run.
      bool inRun = false;
      for (Integer i = left; i <= right; ++i) {
        const bool candidate = !nmark[i] && similar(nrow + i * 3);
        if (candidate && !inRun) stack.emplace_back(i, ny);
        inRun = candidate;
      }
    }
  }
  return r;
}

template <typename Paint>
void CastRegion(TLKBitmap* b, Integer x, Integer y, Integer tol, const TLKProgressEvent& ev, TObject* sender,
                Paint paint) {
  if (!Is24(b) || x < 0 || y < 0 || x >= b->GetWidth() || y >= b->GetHeight()) return;
  const Region r = ConnectedRegion(b, x, y, tol < 0 ? 0 : tol);
  if (r.x1 == r.x2 || r.y1 == r.y2) return;
  const Integer w = b->GetWidth();
  const double factor = 100.0 / (r.y2 - r.y1 + 0.5);
  for (Integer row = r.y1; row <= r.y2; ++row) {
    const Byte* mark = &r.in[static_cast<size_t>(row) * w];
    paint(row, [&](auto&& set) {
      for (Integer i = r.x1; i <= r.x2; ++i)
        if (mark[i]) set(i);
    });
    if (ev) ev(sender, LKTrunc((row - r.y1 + 1) * factor));
  }
}

}  // namespace

void LKCastColor(TLKBitmap* Bitmap, Integer X, Integer Y, TRGB Color, Integer Tolerance,
                 const TLKProgressEvent& OnProgress, TObject* Sender) {
  CastRegion(Bitmap, X, Y, Tolerance, OnProgress, Sender, [&](Integer row, auto&& each) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(row));
    each([&](Integer i) { p[i * 3] = Color.b, p[i * 3 + 1] = Color.g, p[i * 3 + 2] = Color.r; });
  });
}

void LKCastAlpha(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Alpha, Integer Tolerance,
                 const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  TLKBitmap* alpha = Bitmap->GetAlphaChannel();
  CastRegion(Bitmap, X, Y, Tolerance, OnProgress, Sender, [&](Integer row, auto&& each) {
    Byte* p = static_cast<Byte*>(alpha->GetScanLine(row));
    each([&](Integer i) { p[i] = static_cast<Byte>(Alpha); });
  });
  alpha->SyncFull();
}

void LKColorize(TLKBitmap* Bitmap, Integer Hue, Integer Saturation, double Luminosity,
                const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  // w shr 8 is 0..99 with weights summing to 100: one colour per value.
  const Integer wr = gRedToGrayCoef, wg = gGreenToGrayCoef, wb = gBlueToGrayCoef;
  const Integer levels = ((wr + wg + wb) * 255 >> 8) + 1;
  std::vector<TRGB> colours(static_cast<size_t>(std::max<Integer>(levels, 1)));
  for (size_t i = 0; i < colours.size(); ++i)
    HSV2RGB(colours[i], Hue, Saturation, LKTrunc(Luminosity * static_cast<double>(i)));
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  WholeProgress progress(OnProgress, Sender, h);
  for (Integer y = 0; y < h; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      const Integer v = (p[2] * wr + p[1] * wg + p[0] * wb) >> 8;
      const TRGB& c = colours[static_cast<size_t>(std::clamp<Integer>(v, 0, levels - 1))];
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
    progress.Row(y);
  }
}

// --- Methods of the processing component ----------------------------------------

namespace {
const TLKPixelFormatSet k24{lk24RGB};
}

void TLumerakProc::WhiteBalance_coef(double Red, double Green, double Blue) {
  RunImageProcessing(k24, "WhiteBalance_coef", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    const double k[3] = {Blue, Green, Red};
    LKApplyCoefficients(bm, k, OnProgress, this);
  });
}

void TLumerakProc::WhiteBalance_GrayWorld() {
  RunImageProcessing(k24, "WhiteBalance_GrayWorld", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKWhiteBalance_grayworld(bm, OnProgress, this);
  });
}

void TLumerakProc::WhiteBalance_WhiteAt(Integer X, Integer Y) {
  RunImageProcessing(k24, "WhiteBalance_WhiteAt", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKWhiteBalance_3(bm, X, Y, OnProgress, this);
  });
}

void TLumerakProc::WhiteBalance_AutoWhite() {
  RunImageProcessing(k24, "WhiteBalance_AutoWhite", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKWhiteBalance_2(bm, OnProgress, this);
  });
}

void TLumerakProc::AdjustGainOffset() {
  RunImageProcessing({lk24RGB, lk48RGB}, "AdjustGainOffset", [&](TLKBitmap* bm, Integer, Integer, Integer,
                                                                Integer) {
    LKAdjustGainOffset(bm, OnProgress, this);
  });
}

void TLumerakProc::CastColor(Integer X, Integer Y, TRGB Color, Integer Tolerance) {
  RunImageProcessing(k24, "CastColor", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKCastColor(bm, X, Y, Color, Tolerance, OnProgress, this);
  });
}

void TLumerakProc::CastAlpha(Integer X, Integer Y, Integer Alpha, Integer Tolerance) {
  RunImageProcessing(k24, "CastAlpha", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKCastAlpha(bm, X, Y, Alpha, Tolerance, OnProgress, this);
  });
}

void TLumerakProc::Colorize(Integer Hue, Integer Saturation, double Luminosity) {
  RunImageProcessing(k24, "Colorize", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKColorize(bm, Hue, Saturation, Luminosity, OnProgress, this);
  });
}
