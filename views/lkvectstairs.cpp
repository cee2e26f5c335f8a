// Staircase removal of traced pixel outlines (see LKRemoveJaggedEdges in
// views/lkvectgeom.h).
//
// Every outline point stands for one unit edge of a pixel, worked in
// sub-pixel units of 32 per pixel. The outline is cut into runs that form
// digital straight lines: a run starts at a vertex O and takes edges while
// (a) they use at most a main and a minor direction, never two minor steps
// in a row, and (b) some direction from O passes within half a pixel of
// every edge's midpoint, measured across the edge. (b) is kept as a wedge of
// directions bounded by two vectors and compared by cross products. Each run
// ends with a vertex on its last edge, which starts the next run.
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "views/lkvectgeom.h"

namespace {

using I64 = std::int64_t;

constexpr I64 kUnit = 32;  // sub-pixel units per pixel
constexpr I64 kHalf = 16;  // half a pixel: the tolerance across an edge
constexpr I64 kSlack = 15; // the strict check's point, just inside the half pixel
// The most one-pixel steps an outline may be laid out as (the border of a
// whole 24 M pixel picture is 20,000); beyond it the outline is refused
// rather than given some 200 MB of steps and edges.
constexpr std::size_t kMaxSteps = std::size_t(1) << 22;

struct V {
  I64 X = 0, Y = 0;
};

V operator-(V A, V B) { return {A.X - B.X, A.Y - B.Y}; }
V operator+(V A, V B) { return {A.X + B.X, A.Y + B.Y}; }
V Scale(V A, I64 K) { return {A.X * K, A.Y * K}; }
I64 Cross(V A, V B) { return A.X * B.Y - A.Y * B.X; }

// One unit edge: its direction code (+-1 horizontal, +-2 vertical, the sign
// that of its travel), its midpoint and the unit vector across it.
struct Edge {
  int Code = 0;
  V Mid;
  V Across;
};

// Directions from O that pass between Lo and Hi (Cross(Lo, Hi) > 0).
struct Wedge {
  V Lo, Hi;
  bool Contains(V D) const { return Cross(Lo, D) >= 0 && Cross(D, Hi) >= 0; }
  bool StrictlyContains(V D) const { return Cross(Lo, D) > 0 && Cross(D, Hi) > 0; }
};

// The directions an edge admits from O: those to the points within half a
// pixel of its midpoint across it. False when O lies on that line (no
// proper range).
bool Admitted(const Edge& E, V O, Wedge& W, V& LoInner, V& HiInner) {
  V a = E.Mid - Scale(E.Across, kHalf) - O, b = E.Mid + Scale(E.Across, kHalf) - O;
  V ai = E.Mid - Scale(E.Across, kSlack) - O, bi = E.Mid + Scale(E.Across, kSlack) - O;
  const I64 c = Cross(a, b);
  if (c == 0) return false;
  if (c < 0) {
    std::swap(a, b);
    std::swap(ai, bi);
  }
  W = {a, b};
  LoInner = ai;
  HiInner = bi;
  return true;
}

// Division rounded to the integer on the side Inside prefers: the two
// neighbours of an inexact quotient are tried in order.
I64 FloorDiv(I64 N, I64 D) {
  I64 q = N / D;
  if ((N % D != 0) && ((N < 0) != (D < 0))) --q;
  return q;
}

// The state of one run: the direction rules and the wedge.
class Run {
public:
  explicit Run(V O) : FO(O) {}

  // Takes edge E when the run can go on with it; false ends the run before it.
  bool Take(const Edge& E) {
    const int d = E.Code;
    if (FMain == 0) {
      for (int i = 0; i < FRecorded; ++i)
        if (FRec[i] == -d) return false;
      const bool skip = FRecorded == 2 && FRec[0] == FRec[1] && d == FRec[0];
      if (!skip) FRec[FRecorded++] = d;
      if (FRecorded == 3) {
        if (FRec[0] == FRec[1]) {
          FMain = FRec[0];
          FMinor = FRec[2];
        } else {
          FMain = FRec[2];
          FMinor = FRec[1] == FRec[2] ? FRec[0] : FRec[1];
        }
        // The wedge starts with the edge at which main and minor became known.
        V li, hi;
        if (!Admitted(E, FO, FWedge, li, hi)) return false;
        FHasWedge = true;
      }
    } else {
      if (d != FMain && d != FMinor) return false;
      if (d == FMinor && FLast == FMinor) return false;
      Wedge e;
      V loIn, hiIn;
      if (!Admitted(E, FO, e, loIn, hiIn)) return false;
      Wedge w = FWedge;
      const bool lo = Cross(w.Lo, e.Lo) > 0, hi = Cross(w.Hi, e.Hi) < 0;
      if (lo) w.Lo = e.Lo;
      if (hi) w.Hi = e.Hi;
      if (Cross(w.Lo, w.Hi) < 0) return false;
      if (lo && !w.StrictlyContains(loIn)) return false;
      if (hi && !w.StrictlyContains(hiIn)) return false;
      FWedge = w;
    }
    FLast = d;
    FLastEdge = E;
    ++FEdges;
    return true;
  }

  int Edges() const { return FEdges; }
  bool HasWedge() const { return FHasWedge; }
  const Wedge& GetWedge() const { return FWedge; }
  V Origin() const { return FO; }
  const Edge& LastEdge() const { return FLastEdge; }

  // The end vertex on the last edge: its midpoint when the run's wedge
  // holds it, else where the nearer bound crosses the line across the edge,
  // rounded toward the inside.
  V EndVertex() const {
    const V m = FLastEdge.Mid;
    if (!FHasWedge || FWedge.Contains(m - FO)) return m;
    const V bound = Cross(FWedge.Lo, m - FO) < 0 ? FWedge.Lo : FWedge.Hi;
    // Along the edge (the axis the across vector does not move) the point
    // keeps the midpoint's coordinate; across it follows the bound.
    const bool horizontal = FLastEdge.Across.X == 0;
    const I64 along = horizontal ? m.X - FO.X : m.Y - FO.Y;
    const I64 den = horizontal ? bound.X : bound.Y;
    const I64 num = along * (horizontal ? bound.Y : bound.X);
    if (den == 0) return m;
    const I64 q = FloorDiv(num, den);
    for (I64 c : {q, q + 1}) {
      const V p = horizontal ? V{m.X, FO.Y + c} : V{FO.X + c, m.Y};
      if (FWedge.Contains(p - FO)) return p;
    }
    return horizontal ? V{m.X, FO.Y + q} : V{FO.X + q, m.Y};
  }

  // The trial end vertex of the first-vertex search: whether a point within
  // kSlack of the last edge's midpoint across it lies in the wedge.
  bool TrialEndFits() const {
    if (!FHasWedge) return true;
    for (I64 t = -kSlack; t <= kSlack; ++t)
      if (FWedge.Contains(FLastEdge.Mid + Scale(FLastEdge.Across, t) - FO)) return true;
    return false;
  }

private:
  V FO;
  int FRec[3] = {0, 0, 0};
  int FRecorded = 0;
  int FMain = 0, FMinor = 0, FLast = 0;
  bool FHasWedge = false;
  Wedge FWedge;
  Edge FLastEdge;
  int FEdges = 0;
};

// The number of edges, from the first on, that a trial run from O covers:
// the run gives back its last edge while no trial end vertex fits on it.
// The states after the last few edges are kept to give back to; a longer
// give-back (rare) replays the run from the start.
int TrialCover(const std::vector<Edge>& E, V O) {
  constexpr std::size_t kKept = 64;
  std::vector<Run> ring;
  ring.reserve(kKept);
  Run r(O);
  std::size_t taken = 0;
  for (const Edge& e : E) {
    if (!r.Take(e)) break;
    ++taken;
    if (ring.size() < kKept) ring.push_back(r);
    else ring[(taken - 1) % kKept] = r;
  }
  auto stateAfter = [&](std::size_t count) {
    if (count + kKept > taken) return ring[(count - 1) % kKept];
    Run again(O);
    for (std::size_t i = 0; i < count; ++i) again.Take(E[i]);
    return again;
  };
  std::size_t count = taken;
  while (count > 0 && !stateAfter(count).TrialEndFits()) --count;
  return static_cast<int>(count);
}

} // namespace

bool LKRemoveJaggedEdges(const std::vector<TPoint>& P, std::vector<TPoint>& Out) {
  Out.clear();
  // A repeated point (a traced outline ends with its first point again) is
  // no pixel step: it would stand for an edge that is not there.
  std::vector<TPoint> corners;
  for (const TPoint& p : P)
    if (corners.empty() || p.X != corners.back().X || p.Y != corners.back().Y) corners.push_back(p);
  while (corners.size() > 1 && corners.back() == corners.front()) corners.pop_back();
  if (corners.size() < 3) return false;
  // The tracer keeps only the corners of its outline: a straight or
  // diagonal stretch between two of them is laid out again as one-pixel
  // steps (a diagonal one as a staircase, across first). Any other step
  // would be read as a one-pixel one, and the polygon that came out would
  // replace the outline with a wrong shape.
  std::vector<TPoint> pts;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const TPoint a = corners[i], b = corners[(i + 1) % corners.size()];
    const I64 dx = static_cast<I64>(b.X) - a.X, dy = static_cast<I64>(b.Y) - a.Y;
    if (dx != 0 && dy != 0 && std::abs(dx) != std::abs(dy)) return false;
    const I64 steps = std::abs(dx) + std::abs(dy);
    if (steps > static_cast<I64>(kMaxSteps - pts.size())) return false;
    const Integer sx = dx > 0 ? 1 : dx < 0 ? -1 : 0, sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    TPoint p = a;
    pts.push_back(p);
    while (p.X != b.X || p.Y != b.Y) {
      if (p.X != b.X) {
        p.X += sx;
        if (p.X == b.X && p.Y == b.Y) break;
        pts.push_back(p);
      }
      if (p.Y != b.Y) {
        p.Y += sy;
        if (p.X == b.X && p.Y == b.Y) break;
        pts.push_back(p);
      }
    }
  }
  const std::size_t n = pts.size();

  std::vector<Edge> edges(n);
  for (std::size_t i = 0; i < n; ++i) {
    const TPoint& a = pts[i];
    const TPoint& b = pts[(i + 1) % n];
    Edge& e = edges[i];
    // The edge is the step itself, so its midpoint lies halfway between
    // the two points. (Placing horizontal and vertical steps on different
    // sides of their pixels would put the two kinds of step of a 45-degree
    // staircase on lines 1.4 pixels apart, and no straight run could cover
    // it.)
    const I64 x = a.X, y = a.Y;
    if (b.X == a.X) {
      e.Code = b.Y > a.Y ? 2 : -2;
      e.Mid = {kUnit * x, kUnit * y + (e.Code > 0 ? kHalf : -kHalf)};
      e.Across = {1, 0};
    } else {
      e.Code = b.X > a.X ? 1 : -1;
      e.Mid = {kUnit * x + (e.Code > 0 ? kHalf : -kHalf), kUnit * y};
      e.Across = {0, 1};
    }
  }

  // The first vertex: the start on the first edge whose first run covers
  // the most edges, the earliest among equals.
  const V along = edges[0].Across.X == 0 ? V{-1, 0} : V{0, 1};
  int best = -1, bestCover = -1;
  for (int k = 0; k <= static_cast<int>(kSlack); ++k) {
    const int c = TrialCover(edges, edges[0].Mid + Scale(along, k));
    if (c > bestCover) {
      bestCover = c;
      best = k;
    }
  }
  // The candidates beyond the midpoint are the ones kept: the midpoint's own
  // trial, when best, stands for the first of them.
  if (best == 0) best = 1;

  std::vector<V> vertices{edges[0].Mid + Scale(along, best)};
  std::size_t next = 0;
  while (next < n) {
    Run r(vertices.back());
    while (next < n && r.Take(edges[next])) ++next;
    if (vertices.size() + 1 >= n) return false;
    vertices.push_back(r.EndVertex());
  }
  if (vertices.size() <= 2) return false;
  for (const V& v : vertices) Out.push_back(TPoint{static_cast<Integer>(v.X / kUnit), static_cast<Integer>(v.Y / kUnit)});
  return true;
}
