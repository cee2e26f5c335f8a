// Scan-line seed fill over an explicit segment stack (no recursion, so the
// region's size cannot exhaust the call stack) and the outline tracer on a
// four-times magnified grid of the region's box (computed, not stored).
#include "processing/lkmagicwand.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unordered_set>

#include "core/lkbitmap.h"
#include "core/lkmask.h"

namespace {

// Reads pixels of any format as TRGB; 24-bit rows are read in place.
class TSimilar {
 public:
  TSimilar(TLKBitmap* B, TRGB Seed, Integer Tol) : b_(B), seed_(Seed), tol_(Tol), rgb_(B->GetPixelFormat() == lk24RGB) {}
  void Row(Integer y) {
    y_ = y;
    row_ = rgb_ ? static_cast<const TRGB*>(b_->GetScanLine(y)) : nullptr;
  }
  bool operator()(Integer x) const {
    const TRGB c = row_ ? row_[x] : b_->GetPixels(x, y_);
    return std::abs(c.r - seed_.r) <= tol_ && std::abs(c.g - seed_.g) <= tol_ && std::abs(c.b - seed_.b) <= tol_;
  }

 private:
  TLKBitmap* b_;
  TRGB seed_;
  Integer tol_;
  bool rgb_;
  Integer y_ = 0;
  const TRGB* row_ = nullptr;
};

struct TSeg {
  Integer y, l, r, d;
};

// The filled set, one bit per pixel, and its box.
struct TFill {
  Integer w = 0, h = 0, stride = 0;
  std::vector<std::uint64_t> bits;
  Integer left = INT_MAX, top = INT_MAX, right = 0, bottom = 0;
  bool Get(Integer x, Integer y) const {
    const std::size_t i = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 6);
    return (bits[i] >> (x & 63)) & 1;
  }
  void Set(Integer x, Integer y) {
    bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x >> 6)] |= std::uint64_t{1} << (x & 63);
  }
};

bool Fill(TLKBitmap* B, Integer X, Integer Y, Integer Tol, TFill& F) {
  const Integer W = B->GetWidth(), H = B->GetHeight();
  if (X < 0 || Y < 0 || X >= W || Y >= H) return false;
  F.w = W;
  F.h = H;
  F.stride = (W + 63) / 64;
  F.bits.assign(static_cast<std::size_t>(F.stride) * H, 0);
  TSimilar sim(B, B->GetPixels(X, Y), Tol);
  std::vector<TSeg> stack;
  stack.reserve(static_cast<std::size_t>(2 * W));
  stack.push_back({Y, X, X, 1});
  stack.push_back({Y + 1, X, X, -1});
  auto ok = [&](Integer x, Integer y) { return sim(x) && !F.Get(x, y); };
  while (!stack.empty()) {
    const TSeg s = stack.back();
    stack.pop_back();
    const Integer y = s.y + s.d;
    if (y < 0 || y >= H) continue;
    sim.Row(y);
    const Integer rr = std::min(s.r, W - 1);
    Integer d = s.d;
    Integer x = s.l;
    Integer ln = 0;
    auto mark = [&](Integer xx) {
      F.Set(xx, y);
      F.left = std::min(F.left, xx);
      F.right = std::max(F.right, xx);
      F.top = std::min(F.top, y);
      F.bottom = std::max(F.bottom, y);
    };
    while (x >= 0 && ok(x, y)) mark(x--);
    bool skip = x == s.l;
    if (!skip) {
      ln = x + 1;
      if (ln < s.l) stack.push_back({y, ln, s.l - 1, -d});
      x = s.l + 1;
    }
    for (;;) {
      if (!skip) {
        while (x < W && ok(x, y)) mark(x++);
        stack.push_back({y, ln, x - 1, d});
        if (x > rr + 1) stack.push_back({y, rr + 1, x - 1, -d});
      }
      skip = false;
      ++x;
      while (x <= rr && !ok(x, y)) ++x;
      ln = x;
      if (x > rr) break;
    }
  }
  return F.left != INT_MAX;
}

}  // namespace

void _MakeMagicWandPointsEx(TLKBitmap* Bitmap, Integer X, Integer Y, bool MaxFilter, Integer Tolerance,
                            TLKMask* Mask, Integer Value) {
  TFill f;
  if (!Fill(Bitmap, X, Y, Tolerance, f)) return;
  for (Integer y = f.top; y <= f.bottom; ++y)
    for (Integer x = f.left; x <= f.right; ++x) {
      if (!f.Get(x, y)) continue;
      if (!MaxFilter) {
        Mask->SetPixel(x, y, Value);
        continue;
      }
      for (Integer yy = std::max(y - 1, 0); yy <= std::min(y + 1, f.h - 1); ++yy)
        for (Integer xx = std::max(x - 1, 0); xx <= std::min(x + 1, f.w - 1); ++xx) Mask->SetPixel(xx, yy, Value);
    }
}

void _MakeMagicWandPointsEx2(TLKBitmap* Bitmap, Integer X, Integer Y, Integer Tolerance, TLKMask* Mask,
                             Integer Value) {
  if (X < 0 || Y < 0 || X >= Bitmap->GetWidth() || Y >= Bitmap->GetHeight()) return;
  TSimilar sim(Bitmap, Bitmap->GetPixels(X, Y), Tolerance);
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y) {
    sim.Row(y);
    for (Integer x = 0; x < Bitmap->GetWidth(); ++x)
      if (sim(x)) Mask->SetPixel(x, y, Value);
  }
}

std::vector<TPoint> _MakeMagicWandPoints(TLKBitmap* Bitmap, Integer X, Integer Y, bool MaxFilter,
                                         Integer Tolerance) {
  TFill f;
  if (!Fill(Bitmap, X, Y, Tolerance, f)) return {};
  const Integer bw = f.right - f.left + 1, bh = f.bottom - f.top + 1;
  // Region raster of the box.
  std::vector<Byte> raster(static_cast<std::size_t>(bw) * bh, 0);
  for (Integer y = 0; y < bh; ++y)
    for (Integer x = 0; x < bw; ++x) {
      if (!f.Get(x + f.left, y + f.top)) continue;
      if (!MaxFilter) {
        raster[static_cast<std::size_t>(y) * bw + x] = 1;
        continue;
      }
      for (Integer yy = std::max(y - 1, 0); yy <= std::min(y + 1, bh - 1); ++yy)
        for (Integer xx = std::max(x - 1, 0); xx <= std::min(x + 1, bw - 1); ++xx)
          raster[static_cast<std::size_t>(yy) * bw + xx] = 1;
    }
  // The outline is traced on a grid four times the box's size with a margin
  // of two cells: a cell is 1 inside a region pixel's 4 x 4 block, and a
  // contour cell is an empty cell with a 1 above, below, left or right of
  // it. The grid is never stored (it would take 16 bytes a box pixel): its
  // cells are computed from the raster, and the cells the trace has been
  // through are kept in a set.
  const Integer gw = 4 * bw + 4, gh = 4 * bh + 4;
  auto pixelRow = [&](Integer r) { return r >= 2 && r <= 4 * bh + 1 ? (r - 2) / 4 : -1; };
  auto one = [&](Integer c, Integer r) {
    if (c < 2 || r < 2 || c > 4 * bw + 1 || r > 4 * bh + 1) return false;
    return raster[static_cast<std::size_t>((r - 2) / 4) * bw + static_cast<std::size_t>((c - 2) / 4)] != 0;
  };
  auto contour = [&](Integer c, Integer r) {
    if (c < 0 || r < 0 || c >= gw || r >= gh || one(c, r)) return false;
    return one(c - 1, r) || one(c + 1, r) || one(c, r - 1) || one(c, r + 1);
  };
  auto set = [&](Integer y, Integer x) { return y >= 0 && raster[static_cast<std::size_t>(y) * bw + x] != 0; };
  // The contour's box starts at (1, 1): the box's top row and left column
  // hold region pixels. The start is the contour cell nearest to that corner,
  // the first in row order on a tie; in each grid row that is its leftmost
  // contour cell, and rows further down than the best distance cannot win.
  Int64 best = -1;
  Integer sc = 0, sr = 0;
  for (Integer r = 1; r < gh; ++r) {
    const Int64 dr = Int64(r - 1) * (r - 1);
    if (best >= 0 && dr >= best) break;
    Integer lc = INT_MAX;
    const Integer p = pixelRow(r);
    // Left of the first run of 1s in the row.
    if (p >= 0)
      for (Integer x = 0; x < bw; ++x)
        if (set(p, x)) {
          lc = 4 * x + 1;
          break;
        }
    // Empty cells under or over a 1 of the next or previous row.
    for (const Integer q : {pixelRow(r - 1), pixelRow(r + 1)}) {
      if (q < 0 || q == p) continue;
      for (Integer x = 0; x < bw && 4 * x + 2 < lc; ++x)
        if (set(q, x) && !set(p, x)) {
          lc = 4 * x + 2;
          break;
        }
    }
    if (lc == INT_MAX) continue;
    const Int64 d = Int64(lc - 1) * (lc - 1) + dr;
    if (best < 0 || d < best) {
      best = d;
      sc = lc;
      sr = r;
    }
  }
  static const Integer dx[8] = {1, 0, -1, 0, 1, -1, -1, 1}, dy[8] = {0, -1, 0, 1, -1, -1, 1, 1},
                       code[8] = {0, 2, 4, 6, 1, 3, 5, 7};
  static const Integer mx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, my[8] = {0, -1, -1, -1, 0, 1, 1, 1};
  std::unordered_set<Int64> visited;
  auto key = [&](Integer c, Integer r) { return Int64(r) * gw + c; };
  auto open = [&](Integer c, Integer r) { return contour(c, r) && visited.count(key(c, r)) == 0; };
  visited.insert(key(sc, sr));
  std::vector<Byte> codes;
  Integer cc = sc, cr = sr, dir = 4;
  for (;;) {
    if (open(cc + dx[dir], cr + dy[dir])) {
      cc += dx[dir];
      cr += dy[dir];
      visited.insert(key(cc, cr));
      codes.push_back(static_cast<Byte>(code[dir]));
    }
    bool moved = false;
    for (Integer k = 0; k < 8; ++k) {
      const Integer nc = cc + dx[k], nr = cr + dy[k];
      if (open(nc, nr)) {
        cc = nc;
        cr = nr;
        visited.insert(key(cc, cr));
        codes.push_back(static_cast<Byte>(code[k]));
        dir = k;
        moved = true;
        break;
      }
    }
    if (!moved) break;
  }
  for (Integer k = 0; k < 8; ++k)
    if (cc + dx[k] == sc && cr + dy[k] == sr) {
      codes.push_back(static_cast<Byte>(code[k]));
      break;
    }
  std::vector<TPoint> v;
  Integer px = sc + 4 * f.left - 1, py = sr + 4 * f.top - 1;
  v.push_back({px, py});
  Integer prev = -1;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    if (i > 0 && codes[i] != prev) v.push_back({px, py});
    prev = codes[i];
    px += mx[codes[i]];
    py += my[codes[i]];
  }
  auto floorDiv4 = [](Integer a) { return a >= 0 ? a / 4 : -((-a + 3) / 4); };
  for (TPoint& p : v) {
    p.X = floorDiv4(p.X);
    p.Y = floorDiv4(p.Y);
  }
  return v;
}
