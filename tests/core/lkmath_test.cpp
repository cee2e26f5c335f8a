#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "core/lkmath.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr Integer kMaxInt = std::numeric_limits<Integer>::max();
constexpr Integer kMinInt = std::numeric_limits<Integer>::min();

TEST(LKMathTest, PowerTable) {
  struct Case { long double base, exponent, expected; };
  const Case cases[] = {
      {2, 10, 1024},      {2, -2, 0.25},  {0, 0, 1},        {0, 3, 0},    {9, 0.5, 3},
      {-2, 3, -8},        {-2, -3, -0.125}, {1.5, 2, 2.25}, {10, 0, 1},   {0, 0.5, 0},
      {2, 0.5, std::sqrt(2.0L)}, {3, 31, 617673396283947.0L},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(static_cast<double>(LKPower(c.base, c.exponent)), static_cast<double>(c.expected),
                1e-12 * std::fabs(static_cast<double>(c.expected)) + 1e-15)
        << c.base << " ^ " << c.exponent;
}

TEST(LKMathTest, PowerRaisesForZeroBaseNegativeExponentAndNegativeBaseFraction) {
  EXPECT_THROW(LKPower(0, -1), EMathError);    // whole exponent: 1 / 0
  EXPECT_THROW(LKPower(0, -0.5), EMathError);  // fractional: ln(0)
  EXPECT_THROW(LKPower(-8, 1.0L / 3), EMathError);
  // Beyond the whole-exponent range the logarithm path is taken.
  EXPECT_THROW(LKPower(-2, 4294967296.0L), EMathError);
}

TEST(LKMathTest, Power2Table) {
  struct Case { double base, exponent, expected; };
  const Case cases[] = {
      {0, -3, 0},  {0, 0, 1},    {2, -1, 0.5}, {2, -2, 0.25}, {2, 2, 4},   {2, 1, 2},
      {2, 10, 1024}, {2, -10, 1.0 / 1024}, {-3, 3, -27}, {4, 0.5, 2}, {0, 3e9, 0},
      {0.5, -0.5, std::sqrt(2.0)}, {1, 3e9, 1},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(LKPower2(c.base, c.exponent), c.expected, 1e-12 * std::fabs(c.expected))
        << c.base << " ^ " << c.exponent;
  EXPECT_THROW(LKPower2(0, 0.5), EMathError);
  EXPECT_THROW(LKPower2(-1, 0.5), EMathError);
  EXPECT_THROW(LKPower2(-1, 3e9), EMathError);
}

TEST(LKMathTest, FloorIsCheckedAtTheEdges) {
  const std::pair<long double, Integer> cases[] = {
      {-0.5L, -1}, {2.0L, 2}, {-2.0L, -2}, {2.7L, 2}, {-2.7L, -3}, {0.0L, 0},
      {1e30L, kMaxInt}, {-1e30L, kMinInt}, {std::numeric_limits<long double>::quiet_NaN(), 0},
      {std::numeric_limits<long double>::infinity(), kMaxInt},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(LKFloor(x), expected) << x;
}

TEST(LKMathTest, BitReversal) {
  const std::pair<Byte, Byte> bytes[] = {{0x01, 0x80}, {0x0F, 0xF0}, {0x00, 0x00}, {0xA5, 0xA5},
                                         {0x12, 0x48}};
  for (auto [in, out] : bytes) {
    Byte b = in;
    ReverseBitsB(b);
    EXPECT_EQ(b, out) << int(in);
  }
  const std::pair<Cardinal, Cardinal> words[] = {
      {1u, 0x80000000u}, {0x80000000u, 1u}, {0x12345678u, 0x1E6A2C48u}, {0xFFFF0000u, 0x0000FFFFu}};
  for (auto [in, out] : words) {
    Cardinal v = in;
    ReverseBits(v);
    EXPECT_EQ(v, out) << std::hex << in;
  }
}

TEST(LKMathTest, GetNumCol) {
  struct Case { Integer bits, samples, expected; };
  const Case cases[] = {{1, 1, 2},   {8, 3, 16777216}, {8, 4, 0}, {16, 1, 65536}, {16, 3, 0},
                        {4, 1, 16},  {8, 0, 1},        {8, -1, 1}, {31, 1, kMinInt}, {32, 1, 1},
                        {0, kMaxInt, 1}, {32, kMaxInt, 1}, {1, kMaxInt, 0}};
  for (const auto& c : cases) EXPECT_EQ(_GetNumCol(c.bits, c.samples), c.expected) << c.bits << "x" << c.samples;
}

TEST(LKMathTest, RectangleTests) {
  EXPECT_TRUE(_InRect(5, 5, 0, 0, 5, 5));
  EXPECT_TRUE(_InRectO(5, 5, 5, 5, 0, 0));
  EXPECT_FALSE(_InRect(5, 5, 5, 5, 0, 0));
  EXPECT_FALSE(_InRectO(6, 5, 5, 5, 0, 0));

  EXPECT_TRUE(_RectXRect(10, 10, 0, 0, 10, 0, 20, 5));  // touching at x = 10
  EXPECT_FALSE(_RectXRect(9, 10, 0, 0, 10, 0, 20, 5));
  EXPECT_FALSE(_RectXRect(0, 0, 5, 5, 0, 6, 5, 9));

  struct Case { TRect b; Integer expected; };
  const Case cases[] = {
      {{10, 10, 20, 20}, 2},    {{90, 10, 120, 20}, 1}, {{200, 200, 300, 300}, 0},
      {{-10, -10, 200, 200}, 0}, {{10, -10, 20, 200}, 0}, {{-10, -10, 20, 20}, 1},
      {{0, 0, 99, 99}, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(_RectPRect(0, 0, 99, 99, c.b.Left, c.b.Top, c.b.Right, c.b.Bottom), c.expected)
        << c.b.Left << "," << c.b.Top << "," << c.b.Right << "," << c.b.Bottom;

  TRect r{10, 10, 20, 20};
  LKSetplim(r, 5, 25);
  EXPECT_EQ(r, (TRect{5, 10, 20, 25}));
  LKSetplim(r, 15, 15);
  EXPECT_EQ(r, (TRect{5, 10, 20, 25}));
}

TEST(LKMathTest, Distances) {
  EXPECT_DOUBLE_EQ(_DistPoint2Point(0, 0, 3, 4), 5);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(5, 7, 0, 0, 10, 0), 7);
  EXPECT_THROW(_DistPoint2Line(1, 1, 2, 2, 2, 2), EMathError);

  struct Case { Integer x, y, x1, y1, x2, y2; double expected; };
  const Case cases[] = {
      {0, 0, 10, 0, 20, 0, 10},            // before end A
      {15, 5, 10, 0, 20, 0, 5},            // over the segment
      {25, 0, 10, 0, 20, 0, 5},            // beyond end B
      {3, 4, 0, 0, 0, 0, 5},               // degenerate segment
      {-50000, 0, 10, 0, 20, 0, 1000000},  // too far beyond an end
      {25, 50000, 10, 0, 20, 0, 1000000},  // beyond B, too far in y
      {20, 50000, 10, 0, 20, 0, 50000},    // over end B: the line distance
      {100000, 100000, 0, 0, 0, 0, 100000 * std::sqrt(2.0)},  // no limit when A = B
  };
  for (const auto& c : cases)
    EXPECT_NEAR(_DistPoint2Seg(c.x, c.y, c.x1, c.y1, c.x2, c.y2), c.expected, 1e-9)
        << c.x << "," << c.y;
}

TEST(LKMathTest, DistancesDoNotWrapForFarCoordinates) {
  // Differences above 46341 overflow 32-bit squares; the results stay exact.
  EXPECT_DOUBLE_EQ(_DistPoint2Point(-2000000000, 0, 2000000000, 0), 4e9);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(0, 1000000000, -2000000000, 0, 2000000000, 0), 1e9);
  EXPECT_DOUBLE_EQ(_DistPoint2Seg(0, 100000, kMinInt, 0, kMaxInt, 0), 100000);
  EXPECT_NEAR(LKAngle(kMinInt, 0, 0, 0, 0, kMaxInt), kPi / 2, 1e-12);
}

TEST(LKMathTest, DistanceToPolyline) {
  const TPoint line[] = {{0, 0}, {10, 0}, {10, 10}};
  EXPECT_EQ(_DistPoint2Polyline(5, 5, line, 1, 0, 0, 0, 0, 1, 1), 1000000);
  EXPECT_EQ(_DistPoint2Polyline(5, 5, line, 0, 0, 0, 0, 0, 1, 1), 1000000);
  EXPECT_EQ(_DistPoint2Polyline(5, 5, nullptr, 3, 0, 0, 0, 0, 1, 1), 1000000);
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(7, 3, line, 3, 0, 0, 0, 0, 1, 1), 3);
  // Mapped by (p - origin) * scale + offset: the line becomes (100,50)-(120,50)-(120,70).
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(110, 40, line, 3, 0, 0, 100, 50, 2, 2), 10);
  // The last point is not joined back to the first.
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(0, 10, line, 3, 0, 0, 0, 0, 1, 1), 10);
  // Rounding is done after the offset, halves to even: 0.5 * 1 + 0 -> 0, 1.5 -> 2.
  const TPoint halves[] = {{1, 0}, {3, 0}};
  EXPECT_DOUBLE_EQ(_DistPoint2Polyline(-1, 0, halves, 2, 0, 0, 0, 0, 0.5, 1), 1);
}

TEST(LKMathTest, ArcCosAndAngle) {
  EXPECT_EQ(LKArcCos(-1), 0);
  EXPECT_EQ(LKArcCos(1), 0);
  EXPECT_NEAR(static_cast<double>(LKArcCos(0)), kPi / 2, 1e-15);
  EXPECT_NEAR(static_cast<double>(LKArcCos(0.5L)), kPi / 3, 1e-15);
  // Arguments rounded past the range are clamped, never NaN.
  EXPECT_EQ(LKArcCos(1.0000000001L), 0);
  EXPECT_EQ(LKArcCos(-1.0000000001L), 0);

  EXPECT_EQ(LKAngle(0, 0, 10, 0, 20, 0), 0);
  EXPECT_NEAR(LKAngle(0, 0, 10, 0, 10, 10), kPi / 2, 1e-15);
  EXPECT_EQ(LKAngle(0, 0, 10, 0, 0, 0), 0);  // a reversal reads 0
  EXPECT_EQ(LKAngle(0, 0, 0, 0, 5, 5), 0);   // zero-length segment
  EXPECT_NEAR(LKAngle(0, 0, 10, 0, 20, 10), kPi / 4, 1e-15);
}

TEST(LKMathTest, Bezier) {
  const TPoint p0{0, 0}, p1{0, 100}, p2{100, 100}, p3{100, 0};
  TPoint one[1];
  LKBezier2D4Controls(p0, p1, p2, p3, one, 1);
  EXPECT_EQ(one[0], p3);

  std::vector<TPoint> pts(4, TPoint{-7, -7});
  LKBezier2D4Controls(p0, p1, p2, p3, pts.data(), 4);
  // t = 0.25, 0.5, 0.75, 1: x = 100(3t^2 - 2t^3), y = 300t(1 - t).
  const TPoint expected[] = {{16, 56}, {50, 75}, {84, 56}, {100, 0}};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pts[i], expected[i]) << i;

  LKBezier2D4Controls(p0, p1, p2, p3, pts.data(), 0);  // writes nothing
  EXPECT_EQ(pts[0], expected[0]);
}

TEST(LKMathTest, FitResample) {
  struct Case { Integer w, h, mw, mh, ew, eh; };
  const Case cases[] = {
      {400, 200, 100, 100, 100, 50}, {1000, 1, 100, 100, 100, 1}, {10, 10, 100, 50, 50, 50},
      {300, 300, 100, 100, 100, 100}, {1, 1000, 100, 100, 1, 100},
  };
  for (const auto& c : cases) {
    Integer nw = -1, nh = -1;
    LKFitResample(c.w, c.h, c.mw, c.mh, nw, nh);
    EXPECT_EQ(nw, c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(nh, c.eh) << c.w << "x" << c.h;
  }
  Integer nw = 7, nh = 8;
  LKFitResample(0, 10, 100, 100, nw, nh);
  EXPECT_EQ(nw, 7);
  EXPECT_EQ(nh, 8);
}

TEST(LKMathTest, CastPolySelSnaps) {
  struct Case { Integer x, y, ex, ey; };
  const Case cases[] = {
      {200, 140, 200, 100},  // horizontal: 40 < 100 - 30
      {140, 200, 100, 200},  // vertical
      {150, 140, 150, 150},  // right and below: the larger distance
      {140, 150, 150, 150},
      {60, 70, 70, 70},      // left and above: the smaller distance
      {70, 60, 70, 70},
      {60, 130, 60, 140},    // left and below: the larger
      {70, 140, 60, 140},
      {140, 70, 140, 60},    // right and above: the larger
      {130, 60, 140, 60},
      {100, 80, 120, 80},    // straight up by 20: a diagonal to the right
      {100, 100, 100, 100},
  };
  for (const auto& c : cases) {
    Integer x = c.x, y = c.y;
    _CastPolySelCC(100, 100, x, y);
    EXPECT_EQ(x, c.ex) << c.x << "," << c.y;
    EXPECT_EQ(y, c.ey) << c.x << "," << c.y;
  }
  // Far coordinates do not overflow.
  Integer x = kMaxInt, y = kMaxInt - 10;
  _CastPolySelCC(kMaxInt - 20, kMaxInt - 20, x, y);
  EXPECT_EQ(x, kMaxInt);
  EXPECT_EQ(y, kMaxInt);
}

}  // namespace
