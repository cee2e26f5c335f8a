// Red-eye reduction, pattern search and mask outline tracing.
#include "processing/lkredeye.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/graphics.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"

void _LKRemoveRedEyes(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                      const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->GetWidth());
  Y2 = std::min(Y2, Bitmap->GetHeight());
  if (X2 <= X1 || Y2 <= Y1) return;
  const double factor = 100.0 / (static_cast<double>(Y2 - 1) - Y1 + 0.5);
  for (Integer y = Y1; y < Y2; ++y) {
    TRGB* row = static_cast<TRGB*>(Bitmap->GetScanLine(y));
    for (Integer x = X1; x < X2; ++x) {
      TRGB& p = row[x];
      double t = p.g > 1 ? static_cast<double>(p.b) / p.g : p.b;
      t = std::clamp(std::sqrt(t), 0.5, 1.5);
      const double ratio = static_cast<double>(p.r) / std::max(p.g + p.b, 1) * t;
      if (ratio <= 0.7) continue;
      const double l = std::max(1.775 - (ratio * 0.75 + 0.25), 0.0);
      const double m = l * l;
      p.r = static_cast<Byte>(LKRound(p.r * m));
      p.b = static_cast<Byte>(LKRound(p.b * (1 - (1 - m) / 2)));
      p.g = static_cast<Byte>(LKRound(p.g * (1 - (1 - m) / 4)));
    }
    TLumerakProc::ReportRowProgress(OnProgress, Sender, y, Y1, factor);
  }
}

void TLumerakProc::RemoveRedEyes() {
  RunImageProcessing(TLKPixelFormatSet{lk24RGB}, "RemoveRedEyes",
                     [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
                       _LKRemoveRedEyes(b, x1, y1, x2, y2, OnProgress, this);
                     });
}

// --- Pattern search ---------------------------------------------------------

namespace {

// An 8-bit grey picture held in memory, row by row from the top.
struct GreyPlane {
  Integer w = 0, h = 0;
  std::vector<Byte> px;
  Byte at(Integer x, Integer y) const { return px[static_cast<size_t>(y) * w + x]; }
};

GreyPlane Grey(TLKBitmap* b) {
  GreyPlane g;
  TLKBitmap copy;
  TLKBitmap* src = b;
  if (b->GetPixelFormat() != lk8g) {
    copy.Assign(b);
    copy.RemoveAlphaChannel();
    copy.SetPixelFormat(lk8g);
    src = &copy;
  }
  g.w = src->GetWidth();
  g.h = src->GetHeight();
  g.px.resize(static_cast<size_t>(g.w) * g.h);
  for (Integer y = 0; y < g.h; ++y)
    std::memcpy(&g.px[static_cast<size_t>(y) * g.w], src->GetScanLine(y), static_cast<size_t>(g.w));
  return g;
}

struct Candidate {
  double quality;
  Integer x, y, growth;
};

// Match quality of the pattern at (x, y); 0 as soon as the running mean
// difference shows it cannot reach the threshold.
double MatchQuality(const GreyPlane& picture, const GreyPlane& pattern, Integer x, Integer y, double threshold) {
  const double limit = 1 - threshold;
  double d = 0;
  Int64 done = 0;
  for (Integer j = 0; j < pattern.h; ++j)
    for (Integer i = 0; i < pattern.w; ++i) {
      d += std::abs(picture.at(x + i, y + j) - pattern.at(i, j)) / 255.0;
      if (d / static_cast<double>(++done) > limit) return 0;
    }
  return 1 - d / (static_cast<double>(pattern.w) * pattern.h);
}

}  // namespace

bool LKPatternSearch(TLKBitmap* Picture, TLKBitmap* Pattern, TRect& Rect, double Quality, Integer Steps) {
  if (!Picture || !Pattern || Picture->IsEmpty() || Pattern->IsEmpty()) return false;
  const GreyPlane picture = Grey(Picture);
  const GreyPlane pattern = Grey(Pattern);
  const Integer m = std::min(picture.w - pattern.w, picture.h - pattern.h);
  if (m <= 0) return false;
  // A step count outside 1..M would give no growth step: own size only.
  const Integer step = Steps >= 1 && Steps <= m ? m / Steps : m;
  std::vector<Candidate> candidates;
  double best = -1;
  for (Integer g = 0; g < m; g += step) {
    GreyPlane scaled;
    scaled.w = pattern.w + g;
    scaled.h = pattern.h + g;
    TLKBitmap source(pattern.w, pattern.h, lk8g), grown(scaled.w, scaled.h, lk8g);
    for (Integer y = 0; y < pattern.h; ++y)
      std::memcpy(source.GetScanLine(y), &pattern.px[static_cast<size_t>(y) * pattern.w],
                  static_cast<size_t>(pattern.w));
    _LKBmpStretchEx(&source, &grown);
    scaled.px.resize(static_cast<size_t>(scaled.w) * scaled.h);
    for (Integer y = 0; y < scaled.h; ++y)
      std::memcpy(&scaled.px[static_cast<size_t>(y) * scaled.w], grown.GetScanLine(y),
                  static_cast<size_t>(scaled.w));
    for (Integer x = 0; x < picture.w - scaled.w; ++x)
      for (Integer y = 0; y < picture.h - scaled.h; ++y) {
        const double q = MatchQuality(picture, scaled, x, y, std::max(best, Quality));
        if (Quality != -1) {
          if (q >= Quality) candidates.push_back({q, x, y, g});
        } else if (q > best) {
          candidates.assign(1, {q, x, y, g});
          best = q;
        }
      }
  }
  if (candidates.empty()) return false;
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.quality > b.quality; });
  const Candidate& top = candidates.front();
  Rect = TRect{top.x, top.y, top.x + pattern.w + top.growth, top.y + pattern.h + top.growth};
  TCanvas* canvas = Picture->GetCanvas();
  if (!canvas) return true;
  canvas->GetPen()->SetColor(255);
  canvas->GetBrush()->SetStyle(bsClear);
  for (const Candidate& c : candidates)
    canvas->Rectangle(c.x, c.y, c.x + pattern.w + c.growth, c.y + pattern.h + c.growth);
  return true;
}

// --- Outline tracing ----------------------------------------------------------

TLKChainCode TLKChainCode::Reduced() const {
  TLKChainCode out;
  const std::string& s = FText;
  size_t i = 0;
  auto run = [&](size_t n) {
    if (i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if (s[i + k] != s[i]) return false;
    return true;
  };
  while (i < s.size()) {
    if (run(4)) {
      out.Append(s[i]);
      i += 4;
    } else if (run(3)) {
      i += 3;
    } else {
      out.Append(s[i]);
      ++i;
    }
  }
  return out;
}

namespace {

// Steps of the direction characters '0'..'7'.
constexpr Integer kStepX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr Integer kStepY[8] = {0, -1, -1, -1, 0, 1, 1, 1};
// The tracer's neighbour order: the four straight neighbours, then the
// diagonals, as direction characters.
constexpr char kTraceOrder[8] = {'0', '2', '4', '6', '1', '3', '5', '7'};

class TraceGrid {
 public:
  TraceGrid(Integer w, Integer h) : w_(w), h_(h), cells_(static_cast<size_t>(w) * h, '1') {}
  Integer w() const { return w_; }
  Integer h() const { return h_; }
  bool Inside(Integer x, Integer y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  char& at(Integer x, Integer y) { return cells_[static_cast<size_t>(y) * w_ + x]; }
  char get(Integer x, Integer y) const { return Inside(x, y) ? cells_[static_cast<size_t>(y) * w_ + x] : '1'; }

 private:
  Integer w_, h_;
  std::vector<char> cells_;
};

// One sweep of the outline marking: `cell(k, ...)` gives the k-th cell
// (x, y) of the sweep and the neighbour to mark. A '1' cell met while the
// flag is clear sets it and marks the neighbour (when inside the grid);
// any other cell clears it. The flag carries over from line to line.
template <typename Cell>
void Sweep(TraceGrid& grid, bool& flag, Int64 count, Cell cell) {
  for (Int64 k = 0; k < count; ++k) {
    Integer x, y, nx, ny;
    cell(k, x, y, nx, ny);
    if (grid.at(x, y) != '1') {
      flag = false;
    } else if (!flag) {
      flag = true;
      if (grid.Inside(nx, ny)) grid.at(nx, ny) = 'c';
    }
  }
}

}  // namespace

std::vector<TPoint> LKVectorize(TLKMask* Mask, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  std::vector<TPoint> points;
  if (!Mask || Mask->GetWidth() <= 0 || Mask->GetHeight() <= 0) return points;
  if (X1 > X2) std::swap(X1, X2);
  if (Y1 > Y2) std::swap(Y1, Y2);
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Mask->GetWidth() - 1);
  Y2 = std::min(Y2, Mask->GetHeight() - 1);
  if (X2 < X1 || Y2 < Y1) return points;
  TraceGrid grid((X2 - X1 + 1) * 4 + 4, (Y2 - Y1 + 1) * 4 + 4);
  bool any = false;
  for (Integer j = Y1; j <= Y2; ++j)
    for (Integer i = X1; i <= X2; ++i) {
      if (Mask->GetPixel(i, j) == 0) continue;
      any = true;
      for (Integer r = 0; r < 4; ++r)
        for (Integer c = 0; c < 4; ++c) grid.at(4 * (i - X1) + 2 + c, 4 * (j - Y1) + 2 + r) = '0';
    }
  if (!any) return points;
  const Integer gw = grid.w(), gh = grid.h();
  bool flag = false;
  // Rows left to right from the second cell, marking the left neighbour.
  Sweep(grid, flag, static_cast<Int64>(gh) * (gw - 1), [&](Int64 k, Integer& x, Integer& y, Integer& nx, Integer& ny) {
    y = static_cast<Integer>(k / (gw - 1));
    x = static_cast<Integer>(k % (gw - 1)) + 1;
    nx = x - 1;
    ny = y;
  });
  // Rows right to left from the last cell, marking the right neighbour.
  Sweep(grid, flag, static_cast<Int64>(gh) * gw, [&](Int64 k, Integer& x, Integer& y, Integer& nx, Integer& ny) {
    y = static_cast<Integer>(k / gw);
    x = gw - 1 - static_cast<Integer>(k % gw);
    nx = x + 1;
    ny = y;
  });
  // Columns top to bottom marking the cell above, then bottom to top
  // marking the cell below.
  flag = false;
  Sweep(grid, flag, static_cast<Int64>(gh) * gw, [&](Int64 k, Integer& x, Integer& y, Integer& nx, Integer& ny) {
    x = static_cast<Integer>(k / gh);
    y = static_cast<Integer>(k % gh);
    nx = x;
    ny = y - 1;
  });
  flag = false;
  Sweep(grid, flag, static_cast<Int64>(gh) * gw, [&](Int64 k, Integer& x, Integer& y, Integer& nx, Integer& ny) {
    x = static_cast<Integer>(k / gh);
    y = gh - 1 - static_cast<Integer>(k % gh);
    nx = x;
    ny = y + 1;
  });

  for (;;) {
    Integer sx = -1, sy = -1;
    for (Integer y = 0; y < gh && sx < 0; ++y)
      for (Integer x = 1; x < gw; ++x)
        if (grid.at(x, y) == 'c') {
          sx = x;
          sy = y;
          break;
        }
    if (sx < 0) break;
    TLKChainCode chain;
    Integer cx = sx, cy = sy, last = 4;
    grid.at(cx, cy) = 'v';
    auto tryMove = [&](Integer index) {
      const Integer d = kTraceOrder[index] - '0';
      const Integer nx = cx + kStepX[d], ny = cy + kStepY[d];
      if (grid.get(nx, ny) != 'c') return false;
      cx = nx;
      cy = ny;
      grid.at(cx, cy) = 'v';
      chain.Append(kTraceOrder[index]);
      return true;
    };
    for (;;) {
      tryMove(last);
      bool moved = false;
      for (Integer i = 0; i < 8 && !moved; ++i)
        if (tryMove(i)) {
          last = i;
          moved = true;
        }
      if (!moved) break;
    }
    for (Integer d = 0; d < 8; ++d)
      if (cx + kStepX[d] == sx && cy + kStepY[d] == sy) {
        chain.Append(static_cast<char>('0' + d));
        break;
      }
    const std::string steps = chain.Reduced().Text();
    points.push_back(TPoint{LKVectorSeparator, LKVectorSeparator});
    Integer px = (sx - 2) / 4 + X1, py = (sy - 2) / 4 + Y1;
    // An outline shorter than a pixel step (a lone pixel) is its point.
    if (steps.empty()) points.push_back(TPoint{px, py});
    for (size_t i = 0; i < steps.size(); ++i) {
      if (i == 0 || i + 1 == steps.size() || steps[i] != steps[i - 1]) points.push_back(TPoint{px, py});
      const Integer d = steps[i] - '0';
      px += kStepX[d];
      py += kStepY[d];
    }
  }
  return points;
}
