// Staircase removal of traced outlines: hand-checked vertices for a few
// shapes, the half-pixel closeness of every result to its outline, the
// refusals, and the view's operation on a traced colour edge.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <string>

#include "views/lkvectgeom.h"
#include "views/vect_fixture.h"

namespace {

// A closed outline of one-pixel steps from (10, 10): "R8D4" is eight steps
// right, then four down (U and L go up and left).
std::vector<TPoint> Walk(const std::string& Moves) {
  std::vector<TPoint> r{TPoint{10, 10}};
  for (std::size_t i = 0; i < Moves.size();) {
    const char c = Moves[i++];
    int k = 0;
    while (i < Moves.size() && std::isdigit(static_cast<unsigned char>(Moves[i]))) k = k * 10 + (Moves[i++] - '0');
    for (int j = 0; j < std::max(k, 1); ++j) {
      TPoint p = r.back();
      p.X += (c == 'R') - (c == 'L');
      p.Y += (c == 'D') - (c == 'U');
      r.push_back(p);
    }
  }
  r.pop_back();  // back at the start
  return r;
}

// Distance from P to the closed polygon Q.
double DistToPolygon(TPoint P, const std::vector<TPoint>& Q) {
  double best = 1e9;
  for (std::size_t i = 0; i < Q.size(); ++i) {
    const TPoint a = Q[i], b = Q[(i + 1) % Q.size()];
    const double dx = b.X - a.X, dy = b.Y - a.Y, l2 = dx * dx + dy * dy;
    double t = l2 == 0 ? 0 : ((P.X - a.X) * dx + (P.Y - a.Y) * dy) / l2;
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, std::hypot(P.X - (a.X + t * dx), P.Y - (a.Y + t * dy)));
  }
  return best;
}

TEST(VectStairs, StraightEdgesFromStaircases) {
  struct Row {
    const char* moves;
    std::vector<TPoint> expected;
  } rows[] = {
      // A rectangle: a corner lands on the first step past it, truncated.
      {"R8D4L8U4", {{10, 10}, {18, 10}, {17, 14}, {10, 13}, {10, 10}}},
      // A 45-degree staircase becomes one edge.
      {"RDRDRDRDRDRDL6U6", {{10, 10}, {16, 15}, {10, 16}, {10, 10}}},
      // So does a staircase of slope 1/2.
      {"R2DR2DR2DR2DL8U4", {{10, 10}, {18, 13}, {10, 14}, {10, 10}}},
      // A right triangle whose hypotenuse climbs back up-left.
      {"R10D10LULULULULULULULULULU", {{10, 10}, {20, 10}, {19, 20}, {10, 10}}},
      // A step in the middle of a long side starts a new edge.
      {"R5D2R5D5L10U7", {{10, 10}, {15, 10}, {17, 12}, {20, 12}, {19, 17}, {10, 16}, {10, 10}}},
      // A diamond: four diagonal edges.
      {"RDRDRDLDLDLDLULULURURURU", {{10, 10}, {13, 12}, {9, 16}, {7, 13}, {10, 10}}},
  };
  for (const Row& r : rows) {
    const std::vector<TPoint> in = Walk(r.moves);
    std::vector<TPoint> out;
    ASSERT_TRUE(LKRemoveJaggedEdges(in, out)) << r.moves;
    EXPECT_EQ(out, r.expected) << r.moves;
    // Whatever the shape, the polygon stays within a pixel and a half of
    // every outline point (half a pixel, plus the truncation to pixels).
    for (const TPoint& p : in) EXPECT_LE(DistToPolygon(p, out), 1.5) << r.moves << " at " << p.X << "," << p.Y;
    // The outline's closing repetition of its first point changes nothing.
    std::vector<TPoint> closed = in, again;
    closed.push_back(in.front());
    ASSERT_TRUE(LKRemoveJaggedEdges(closed, again)) << r.moves;
    EXPECT_EQ(again, out) << r.moves;
  }
  // The tracer keeps only corners; the stretches between them are the same
  // steps.
  std::vector<TPoint> out;
  ASSERT_TRUE(LKRemoveJaggedEdges({{10, 10}, {18, 10}, {18, 14}, {10, 14}}, out));
  EXPECT_EQ(out, (std::vector<TPoint>{{10, 10}, {18, 10}, {17, 14}, {10, 13}, {10, 10}}));
  ASSERT_TRUE(LKRemoveJaggedEdges({{10, 10}, {16, 16}, {10, 16}}, out));
  EXPECT_EQ(out, (std::vector<TPoint>{{10, 10}, {16, 15}, {10, 16}, {10, 10}}));
}

TEST(VectStairs, Refusals) {
  std::vector<TPoint> out{{1, 1}};
  // A slanted step is no stretch of pixel steps: read as one it gave a
  // polygon of the wrong shape that replaced the outline.
  EXPECT_FALSE(LKRemoveJaggedEdges({{0, 0}, {10, 0}, {10, 10}, {3, 7}}, out));
  EXPECT_TRUE(out.empty());
  // Corners that would lay out as millions of steps are refused, not
  // allocated.
  EXPECT_FALSE(LKRemoveJaggedEdges({{0, 0}, {2000000000, 0}, {2000000000, 5}, {0, 5}}, out));
  EXPECT_FALSE(LKRemoveJaggedEdges({{0, 0}, {1, 0}}, out));
  EXPECT_FALSE(LKRemoveJaggedEdges({}, out));
  EXPECT_FALSE(LKRemoveJaggedEdges({{5, 5}, {5, 5}, {5, 5}, {5, 5}}, out));
}

class VectStairsView : public VectTest {};

TEST_F(VectStairsView, TracedEdgeLosesItsStaircase) {
  Load(200, 150);
  TLKBitmap* b = v_->GetLKBitmap();
  // A right triangle: its hypotenuse is a 45-degree staircase.
  for (Integer y = 40; y < 100; ++y)
    for (Integer x = 60; x < 60 + (y - 40) + 1; ++x) b->SetPixels_lk24RGB(x, y, TRGB{0, 0, 255});
  v_->Update();
  const Integer h = v_->CreatePolygonFromEdge(65, 90, false, 10);
  ASSERT_GE(h, 0);
  const Integer traced = v_->GetObjPolylinePointsCount(h);
  const double area = v_->GetPolylineArea(h), len = v_->GetPolylineLen(h);
  ASSERT_GT(traced, 100);
  EXPECT_TRUE(v_->RemovePolygonJaggedEdges(h));
  EXPECT_LE(v_->GetObjPolylinePointsCount(h), 6);
  EXPECT_NEAR(v_->GetPolylineArea(h), area, len);

  // A polyline drawn by hand with a slanted side keeps its points.
  const Integer hand = Add(lkkPOLYLINE, TRect{0, 0, 10, 10});
  v_->SetObjPolylinePoints(hand, {{0, 0}, {10, 0}, {10, 10}, {3, 7}});
  EXPECT_FALSE(v_->RemovePolygonJaggedEdges(hand));
  ASSERT_EQ(v_->GetObjPolylinePointsCount(hand), 4);
  EXPECT_EQ(v_->GetObjPolylinePoints(hand, 2), (TPoint{10, 10}));

  // Not a polyline: nothing happens, false.
  const Integer box = Add(lkkBOX, TRect{1, 1, 20, 20});
  const Integer updates = v_->Updates;
  EXPECT_FALSE(v_->RemovePolygonJaggedEdges(box));
  EXPECT_EQ(v_->Updates, updates + 1);
  EXPECT_EQ(v_->GetObjRect(box), (TRect{1, 1, 20, 20}));
}

}  // namespace
