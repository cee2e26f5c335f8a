#include "processing/lkbwnoise.h"

#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// The 1-bit picture as one byte per pixel (1 set, 0 clear) and back.
std::vector<Byte> Unpack(TLKBitmap* b) {
  const Integer W = b->GetWidth(), H = b->GetHeight();
  std::vector<Byte> px(static_cast<size_t>(W) * H);
  for (Integer y = 0; y < H; ++y) {
    const Byte* row = static_cast<const Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) px[static_cast<size_t>(y) * W + x] = _GetPixelbw(row, x) ? 1 : 0;
  }
  return px;
}

void Pack(TLKBitmap* b, const std::vector<Byte>& px) {
  const Integer W = b->GetWidth(), H = b->GetHeight();
  std::vector<Byte> row(static_cast<size_t>(b->GetRowLen()));
  for (Integer y = 0; y < H; ++y) {
    lkfilter::ReadRow(b, y, row.data(), row.size());
    for (Integer x = 0; x < W; ++x) _SetPixelbw(row.data(), x, px[static_cast<size_t>(y) * W + x]);
    lkfilter::WriteRow(b, y, row.data(), row.size());
  }
}

// Decision tables of one window size: entry p says whether a ring pattern p
// (bit 1 = ON) lets the core be filled ON, and OFF.
struct KTables {
  Integer K = 0;
  std::vector<Byte> On, Off;
};

KTables BuildTables(Integer k, bool connectivity, bool allOff) {
  const Integer bits = 4 * k - 4;
  const Integer corners[4] = {0, k - 1, 2 * k - 2, 3 * k - 3};
  auto isCorner = [&](Integer p) { return p == corners[0] || p == corners[1] || p == corners[2] || p == corners[3]; };
  KTables t;
  t.K = k;
  t.On.resize(size_t{1} << bits);
  t.Off.resize(size_t{1} << bits);
  const Integer th = 3 * k - 4;
  for (Integer pat = 0; pat < (1 << bits); ++pat) {
    auto bit = [&](Integer p) { return (pat >> (((p % bits) + bits) % bits)) & 1; };
    Integer ones = 0, r = 0, c = 0;
    for (Integer p = 0; p < bits; ++p) ones += bit(p);
    for (Integer p : corners) r += bit(p);
    for (Integer p = 2; p <= bits - 1; ++p) {
      if (isCorner(p)) continue;
      const Integer pred = isCorner(p - 1) ? p - 2 : p - 1;
      if (bit(p) && !bit(pred)) ++c;
    }
    if (bit(1) && !bit(bits - 1)) ++c;
    for (Integer p : corners)
      if (bit(p) && !bit(p - 1) && !bit(p + 1)) ++c;
    if (connectivity && c > 1) continue;
    const Integer offs = bits - ones;
    t.On[static_cast<size_t>(pat)] = ones > th || (ones == th && r == 2);
    t.Off[static_cast<size_t>(pat)] = allOff ? (ones == 0 || (offs == th && r == 2)) : (offs > th || (offs == th && r == 2));
  }
  return t;
}

}  // namespace

void _LKRemoveIsolatedPixels1Bit(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Colour,
                                 Integer Maximum) {
  if (!Bitmap || Maximum == 0 || Bitmap->GetPixelFormat() != lk1g) return;
  const lkfilter::Span s = lkfilter::ClampExclusive(Bitmap->GetWidth(), Bitmap->GetHeight(), X1, Y1, X2, Y2);
  if (s.Empty()) return;
  const Integer W = Bitmap->GetWidth();
  std::vector<Byte> px = Unpack(Bitmap);
  const Byte colour = Colour != 0 ? 1 : 0;
  const Integer cw = s.Cols() + 2;
  std::vector<Integer> count(static_cast<size_t>(cw) * (s.Rows() + 2), 0);
  for (Integer y = s.Y1; y <= s.YE; ++y)
    for (Integer x = s.X1; x <= s.XE; ++x)
      if (px[static_cast<size_t>(y) * W + x] == colour)
        for (Integer dy = 0; dy < 3; ++dy)
          for (Integer dx = 0; dx < 3; ++dx) ++count[static_cast<size_t>(y - s.Y1 + dy) * cw + (x - s.X1 + dx)];
  for (Integer y = s.Y1; y <= s.YE; ++y)
    for (Integer x = s.X1; x <= s.XE; ++x) {
      const Integer c = count[static_cast<size_t>(y - s.Y1 + 1) * cw + (x - s.X1 + 1)];
      if (c > 0 && c <= Maximum) px[static_cast<size_t>(y) * W + x] = 1 - colour;
    }
  Pack(Bitmap, px);
}

void _kf_kfill(TLKBitmap* Bitmap, bool ConnectivityCheck, bool AllOffRule, Integer MaxPasses, Integer MaxWindow,
               bool Invert) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk1g || Bitmap->IsEmpty()) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  MaxPasses = std::min(MaxPasses, 252);
  const Integer maxK = std::clamp(MaxWindow, 3, 5);
  if (MaxPasses < 1 || W < 3 || H < 3) return;
  std::vector<Byte> px = Unpack(Bitmap);
  // Work map: 255 ON, 0 OFF, the outer ring OFF; fills carry their pass's
  // marker.
  std::vector<Byte> map(px.size());
  auto M = [&](Integer x, Integer y) -> Byte& { return map[static_cast<size_t>(y) * W + x]; };
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      const bool on = (px[static_cast<size_t>(y) * W + x] != 0) != Invert;
      M(x, y) = (x == 0 || y == 0 || x == W - 1 || y == H - 1) ? 0 : (on ? 255 : 0);
    }
  std::vector<KTables> tables;
  for (Integer k = 3; k <= maxK; ++k) tables.push_back(BuildTables(k, ConnectivityCheck, AllOffRule));

  Integer onMarker = 254, offMarker = 1;
  // One step at (x, y); returns the pixels filled.
  auto step = [&](Integer x, Integer y, bool onPass) -> Integer {
    const Integer m = onPass ? onMarker : offMarker;
    auto qualifies = [&](Integer v) { return onPass ? v < m : v > m; };
    if (!qualifies(M(x, y))) return 0;
    Integer size = 3;
    for (Integer k = 4; k <= maxK; ++k) {
      const Integer lo = (k - 1) / 2;
      const Integer cx0 = x - lo + 1, cy0 = y - lo + 1, cx1 = cx0 + k - 3, cy1 = cy0 + k - 3;
      if (cx0 < 1 || cy0 < 1 || cx1 > W - 2 || cy1 > H - 2) break;
      bool all = true;
      for (Integer j = cy0; j <= cy1 && all; ++j)
        for (Integer i = cx0; i <= cx1 && all; ++i) all = qualifies(M(i, j));
      if (!all) break;
      size = k;
    }
    for (Integer k = size; k >= std::max(3, size - 1); --k) {
      const Integer lo = (k - 1) / 2, x0 = x - lo, y0 = y - lo, x1 = x0 + k - 1, y1 = y0 + k - 1;
      // The ring, bit 0 at the top-left corner, clockwise.
      Integer pat = 0, bit = 0;
      auto add = [&](Integer i, Integer j) {
        const Integer v = M(i, j);
        if (onPass ? v > m : v >= m) pat |= 1 << bit;
        ++bit;
      };
      for (Integer i = x0; i <= x1; ++i) add(i, y0);
      for (Integer j = y0 + 1; j <= y1; ++j) add(x1, j);
      for (Integer i = x1 - 1; i >= x0; --i) add(i, y1);
      for (Integer j = y1 - 1; j > y0; --j) add(x0, j);
      const KTables& t = tables[static_cast<size_t>(k - 3)];
      if (!(onPass ? t.On : t.Off)[static_cast<size_t>(pat)]) continue;
      Integer filled = 0;
      for (Integer j = y0 + 1; j < y1; ++j)
        for (Integer i = x0 + 1; i < x1; ++i)
          if (qualifies(M(i, j))) {
            M(i, j) = static_cast<Byte>(m);
            ++filled;
          }
      return filled;
    }
    return 0;
  };

  // Pass 1: OFF over the interior, recording each row's runs of ON pixels.
  std::vector<std::vector<std::pair<Integer, Integer>>> runs(static_cast<size_t>(H));
  std::vector<Integer> fills;
  Integer passFill = 0;
  for (Integer y = 1; y <= H - 2; ++y) {
    auto& row = runs[static_cast<size_t>(y)];
    bool inRun = false;
    for (Integer x = 1; x <= W - 2; ++x) {
      const bool on = M(x, y) > offMarker;
      if (on && !inRun) {
        if (!row.empty() && x - row.back().second <= 4)
          row.back().second = x;
        else
          row.push_back({x, x});
        inRun = true;
      } else if (on) {
        row.back().second = x;
      } else {
        inRun = false;
      }
      passFill += step(x, y, false);
    }
    if (!row.empty()) row.back().second = W - 2;
  }
  fills.push_back(passFill);
  --onMarker;
  // The columns later passes visit in each row.
  std::vector<std::vector<Integer>> visit(static_cast<size_t>(H));
  for (Integer y = 1; y <= H - 2; ++y) {
    std::vector<Byte> mark(static_cast<size_t>(W), 0);
    for (auto [a, b] : runs[static_cast<size_t>(y)])
      for (Integer x = std::max(1, a - (maxK - 2)); x <= std::min(W - 2, b + (maxK - 2)); ++x) mark[static_cast<size_t>(x)] = 1;
    for (Integer x = 1; x <= W - 2; ++x)
      if (mark[static_cast<size_t>(x)]) visit[static_cast<size_t>(y)].push_back(x);
  }
  bool onPass = true;
  for (Integer pass = 2; pass <= MaxPasses; ++pass) {
    if (fills.size() >= 2 && fills[fills.size() - 1] == 0 && fills[fills.size() - 2] == 0) break;
    passFill = 0;
    for (Integer y = 1; y <= H - 2; ++y)
      for (Integer x : visit[static_cast<size_t>(y)]) passFill += step(x, y, onPass);
    fills.push_back(passFill);
    if (onPass)
      ++offMarker;
    else
      --onMarker;
    // The kind switches when the pass before this one filled something.
    if (fills[fills.size() - 2] > 0) onPass = !onPass;
  }
  for (Integer y = 1; y <= H - 2; ++y)
    for (Integer x = 1; x <= W - 2; ++x) {
      const Integer v = M(x, y);
      bool on;
      if (v <= offMarker) on = false;
      else if (v >= onMarker) on = true;
      else continue;
      px[static_cast<size_t>(y) * W + x] = on != Invert ? 1 : 0;
    }
  Pack(Bitmap, px);
}

// --- Component methods ---------------------------------------------------------

void TLumerakProc::RemoveIsolatedPixels(Integer Colour, Integer Maximum) {
  if (Maximum == 0) return;
  RunImageProcessing({lk1g}, "RemoveIsolatedPixels", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _LKRemoveIsolatedPixels1Bit(b, x1, y1, x2, y2, Colour, Maximum);
  });
}

void TLumerakProc::RemoveNoise(Integer Passes, bool Invert) {
  if (!MakeConsistentBitmap({lk1g}) || Passes == 0) return;
  RunImageProcessing({lk1g}, "RemoveNoise", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    _kf_kfill(b, true, true, Passes, 3, Invert);
  });
}
