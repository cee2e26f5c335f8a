// Plain geometry of the vector view: units, polyline and outline measures,
// simplification, angle values, directions, line-end shapes, the ellipse
// distance and number text, checked against hand-worked values.
#include <gtest/gtest.h>

#include <cmath>

#include "views/lkvectgeom.h"

namespace {

std::vector<TLKDPoint> D(std::initializer_list<TPoint> P) {
  std::vector<TLKDPoint> r;
  for (const TPoint& p : P) r.push_back(TLKDPoint{double(p.X), double(p.Y)});
  return r;
}

TEST(VectGeom, UnitCoefficients) {
  struct Row {
    TLKUnits unit;
    Integer dpi;
    double scale, pixels, expected;
  } rows[] = {
      {lkuCENTIMETERS, 300, 1, 300, 2.54},   {lkuMILLIMETERS, 300, 1, 300, 25.4},
      {lkuPIXELS, 300, 1, 300, 300},         {lkuPIXELS, 72, 1, 300, 300},
      {lkuINCHES, 150, 1, 300, 2},           {lkuMETERS, 100, 1, 100, 0.0254},
      {lkuKM, 1, 1, 1, 2.54e-5},             {lkuMICRONS, 254, 1, 1, 100},
      {lkuNANOMETERS, 254, 1, 1, 100000},    {lkuCENTIMETERS, 300, 2, 300, 5.08},
      {lkuCENTIMETERS, 0, 1, 1, 2.54},  // no resolution counts as 1 dpi, never a division by 0
  };
  for (const Row& r : rows) {
    double cx, cy;
    LKVectCalcCoef(r.unit, r.dpi, r.dpi, r.scale, cx, cy);
    EXPECT_NEAR(r.pixels * cx, r.expected, 1e-9 * r.expected) << LKUnitName(r.unit) << " at " << r.dpi;
    EXPECT_DOUBLE_EQ(cx, cy);
  }
  EXPECT_STREQ(LKUnitName(lkuMETERS), "mt");
  EXPECT_STREQ(LKUnitName(static_cast<TLKUnits>(40)), "");
}

TEST(VectGeom, PolylineLengthAreaCentroid) {
  const auto open = D({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_DOUBLE_EQ(LKPolylineLength(open, 1, 1), 30);
  EXPECT_DOUBLE_EQ(LKPolygonArea(open, 1, 1), 100);
  EXPECT_EQ(LKPolygonCentroid(open), (TPoint{5, 5}));
  const auto closed = D({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
  EXPECT_DOUBLE_EQ(LKPolylineLength(closed, 1, 1), 40);
  EXPECT_DOUBLE_EQ(LKPolygonArea(closed, 1, 1), 100);
  // A triangle: area 6, centroid (1.33, 1) truncated; coefficients scale.
  const auto tri = D({{0, 0}, {4, 0}, {0, 3}});
  EXPECT_DOUBLE_EQ(LKPolygonArea(tri, 0.5, 2), 6);
  EXPECT_DOUBLE_EQ(LKPolylineLength(tri, 1, 1), 9);
  EXPECT_EQ(LKPolygonCentroid(tri), (TPoint{1, 1}));
  // Degenerate outlines have no centroid.
  EXPECT_EQ(LKPolygonCentroid(D({{1, 1}, {5, 5}})), (TPoint{0, 0}));
}

TEST(VectGeom, PolylineFactors) {
  double zx, zy;
  LKPolylineFactors(TRect{0, 0, 10, 20}, 100, 100, 120, 110, zx, zy);
  EXPECT_DOUBLE_EQ(zx, 2);
  EXPECT_DOUBLE_EQ(zy, 0.5);
  // A flat point box maps with factor 1, so moving the rectangle still moves it.
  LKPolylineFactors(TRect{5, 0, 5, 20}, 100, 100, 130, 110, zx, zy);
  EXPECT_DOUBLE_EQ(zx, 1);
}

constexpr Integer B = 1048575;

TEST(VectGeom, OutlineLength) {
  const TPoint rect[] = {{0, 0}, {100, 0}, {100, 50}, {0, 50}};
  EXPECT_DOUBLE_EQ(LKOutlineLength(rect, 4, false, true, {}, 1, 1), 300);
  // While drawing: no closing side, the step to the mouse instead.
  const TPoint three[] = {{0, 0}, {100, 0}, {100, 50}};
  EXPECT_DOUBLE_EQ(LKOutlineLength(three, 3, true, true, TPoint{0, 50}, 1, 1), 250);
  EXPECT_DOUBLE_EQ(LKOutlineLength(three, 3, true, false, TPoint{0, 50}, 1, 1), 150);
  // Two polygons separated by a break each get their closing side.
  const TPoint two[] = {{0, 0}, {10, 0}, {10, 10}, {B, B}, {20, 0}, {30, 0}, {30, 10}};
  EXPECT_NEAR(LKOutlineLength(two, 7, false, true, {}, 1, 1), 2 * (20 + std::sqrt(200.0)), 1e-9);
  // A break at the very end closes nothing past the list.
  const TPoint trailing[] = {{0, 0}, {10, 0}, {10, 10}, {B, B}};
  EXPECT_NEAR(LKOutlineLength(trailing, 4, false, true, {}, 1, 1), 20 + std::sqrt(200.0), 1e-9);
  // 300 pixels at 300 dpi in centimetres.
  const TPoint edge[] = {{0, 0}, {300, 0}};
  double cx, cy;
  LKVectCalcCoef(lkuCENTIMETERS, 300, 300, 1, cx, cy);
  EXPECT_NEAR(LKOutlineLength(edge, 2, false, true, {}, cx, cy), 2.54, 1e-12);
}

TEST(VectGeom, OutlineAreaAndCentroid) {
  const TPoint two[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {B, B}, {20, 0}, {24, 0}, {24, 4}, {20, 4}};
  EXPECT_DOUBLE_EQ(LKOutlineArea(two, 9, 1, 1), 116);
  EXPECT_EQ(LKOutlineCentroid(two, 9), (TPoint{5, 5}));
  EXPECT_DOUBLE_EQ(LKOutlineArea(two, 2, 1, 1), 0);
}

TEST(VectGeom, SimplifyCircleToMaxPoints) {
  std::vector<TPoint> circle;
  for (int i = 0; i < 100; ++i)
    circle.push_back(TPoint{static_cast<Integer>(std::lround(50 + 40 * std::cos(i * 2 * M_PI / 100))),
                            static_cast<Integer>(std::lround(50 + 40 * std::sin(i * 2 * M_PI / 100)))});
  for (Integer max : {8, 20, 2}) {
    const auto r = LKSimplify(circle, max);
    EXPECT_LE(r.size(), static_cast<std::size_t>(max)) << max;
    EXPECT_GE(r.size(), 2u);
    EXPECT_EQ(r.front(), circle.front());
    EXPECT_EQ(r.back(), circle.back());
  }
  // A limit below two would never be reached: it counts as two.
  EXPECT_EQ(LKSimplify(circle, 0).size(), 2u);
  // Collinear middle points go at the smallest tolerance; corners stay.
  const std::vector<TPoint> l = {{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}};
  EXPECT_EQ(LKSimplifyOnce(l, 0.1), (std::vector<TPoint>{{0, 0}, {10, 0}, {10, 10}}));
}

TEST(VectGeom, AngleValues) {
  struct Row {
    TPoint p0, p1, p2;
    double degrees;
  } rows[] = {
      {{10, 0}, {0, 0}, {0, 10}, 270},
      {{0, 10}, {0, 0}, {10, 0}, 90},
      {{0, 0}, {5, 0}, {10, 0}, 180},  // a straight angle, not 0
      {{10, 0}, {0, 0}, {5, 0}, 0},
      {{10, 0}, {0, 0}, {10, 10}, 315},
      {{10, 10}, {0, 0}, {10, 0}, 45},
  };
  for (const Row& r : rows) EXPECT_NEAR(LKAngleDegrees(r.p0, r.p1, r.p2), r.degrees, 1e-9) << r.degrees;
}

TEST(VectGeom, SegmentDirection) {
  EXPECT_EQ(LKSegmentDirection(0, 0, 10, 0), 0);
  EXPECT_DOUBLE_EQ(LKSegmentDirection(0, 0, 0, -10), M_PI / 2);
  EXPECT_DOUBLE_EQ(LKSegmentDirection(0, 0, -10, 0), M_PI);
  EXPECT_DOUBLE_EQ(LKSegmentDirection(0, 0, 0, 10), 3 * M_PI / 2);
  EXPECT_EQ(LKSegmentDirection(3, 3, 3, 3), 0);
}

testing::AssertionResult SameTriangle(const TPoint (&A)[3], std::initializer_list<TPoint> B) {
  for (const TPoint& b : B)
    if (std::find(std::begin(A), std::end(A), b) == std::end(A))
      return testing::AssertionFailure() << "(" << b.X << ", " << b.Y << ") missing";
  return testing::AssertionSuccess();
}

TEST(VectGeom, LineShapes) {
  TPoint t[3];
  ASSERT_TRUE(LKLineShapeTriangle(100, 100, 200, 100, lksINARROW, 10, 20, t));
  EXPECT_TRUE(SameTriangle(t, {{100, 95}, {100, 105}, {120, 100}}));
  ASSERT_TRUE(LKLineShapeTriangle(200, 100, 100, 100, lksOUTARROW, 10, 20, t));
  EXPECT_TRUE(SameTriangle(t, {{180, 95}, {180, 105}, {200, 100}}));
  ASSERT_TRUE(LKLineShapeTriangle(100, 100, 0, 0, lksOUTARROW, 10, 20, t));
  EXPECT_TRUE(SameTriangle(t, {{89, 83}, {83, 89}, {100, 100}}));
  // Vertical lines follow the same rule; a zero-length line points up.
  ASSERT_TRUE(LKLineShapeTriangle(50, 50, 50, 150, lksOUTARROW, 10, 20, t));
  EXPECT_TRUE(SameTriangle(t, {{45, 70}, {55, 70}, {50, 50}}));
  ASSERT_TRUE(LKLineShapeTriangle(50, 50, 50, 50, lksINARROW, 10, 20, t));
  EXPECT_TRUE(SameTriangle(t, {{45, 50}, {55, 50}, {50, 30}}));
  EXPECT_FALSE(LKLineShapeTriangle(0, 0, 10, 0, lksNONE, 10, 20, t));
  EXPECT_FALSE(LKLineShapeTriangle(0, 0, 10, 0, static_cast<TLKShape>(7), 10, 20, t));
}

TEST(VectGeom, EllipseDistance) {
  // Outline only: near the rim, far inside.
  EXPECT_LT(LKEllipseDistance(50, 20, 50, 0, false), 1.0);
  EXPECT_GT(LKEllipseDistance(50, 20, 0, 0, false), 15);
  // Filled: every inside point, also near the flat ends, is at 0.
  for (TPoint p : {TPoint{0, 0}, TPoint{45, 3}, TPoint{-48, -2}, TPoint{10, 18}})
    EXPECT_EQ(LKEllipseDistance(50, 20, p.X, p.Y, true), 0) << p.X << "," << p.Y;
  EXPECT_GT(LKEllipseDistance(50, 20, 80, 0, true), 25);
  // A flat ellipse still answers.
  EXPECT_LT(LKEllipseDistance(0, 10, 0, 5, true), 1.0);
}

TEST(VectGeom, FixedText) {
  EXPECT_EQ(LKFormatFixed(12.3456, 15, 2), "12.35");
  EXPECT_EQ(LKFormatFixed(300, 15, 2), "300.00");
  EXPECT_EQ(LKFormatFixed(-1.25, 15, 1), "-1.2");
  EXPECT_EQ(LKFormatFixed(2.54, 15, 3), "2.540");
  EXPECT_EQ(LKFormatFixed(1.23456, 3, 4), "1.2300");
}

TEST(VectGeom, AnsiText) {
  EXPECT_EQ(LKAnsiToUtf8("a\xB0" "b\x80"), "a\xC2\xB0" "b\xE2\x82\xAC");
}

}  // namespace
