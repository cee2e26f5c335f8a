#include "core/lkmath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// Integer sums and products of the geometry routines are formed in 128 bits:
// coordinate differences reach 2^33 and their squares 2^66, which no 64-bit
// type holds. The results are exact up to the final square root.
using Wide = __int128;

[[noreturn]] void RaiseZeroDivide() { throw EMathError("Floating point division by zero"); }
[[noreturn]] void RaiseInvalidOp() { throw EMathError("Invalid floating point operation"); }

// Clamps a real to the 32-bit range; NaN gives 0. The argument is already whole.
Integer ClampToInteger(long double v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<long double>(std::numeric_limits<Integer>::min()))
    return std::numeric_limits<Integer>::min();
  if (v >= static_cast<long double>(std::numeric_limits<Integer>::max()))
    return std::numeric_limits<Integer>::max();
  return static_cast<Integer>(v);
}

// Nearest integer, halves to even, clamped to the 32-bit range.
Integer RoundToInteger(long double v) { return ClampToInteger(std::nearbyint(v)); }

// Toward zero, clamped to the 32-bit range.
Integer TruncToInteger(long double v) { return ClampToInteger(std::trunc(v)); }

long double WideSqrt(Wide v) { return std::sqrt(static_cast<long double>(v)); }

Wide Sq(Int64 v) { return static_cast<Wide>(v) * v; }

// base^|n| by repeated squaring over the bits of |n|.
long double IntPower(long double base, Int64 n) {
  std::uint64_t bits = n < 0 ? static_cast<std::uint64_t>(-n) : static_cast<std::uint64_t>(n);
  long double result = 1.0L;
  long double square = base;
  while (bits != 0) {
    if (bits & 1u) result *= square;
    square *= square;
    bits >>= 1;
  }
  return result;
}

// exp(exponent * ln(base)) with the floating-point errors of ln raised.
long double ExpLn(long double base, long double exponent) {
  if (base < 0) RaiseInvalidOp();
  if (base == 0) RaiseZeroDivide();
  return std::exp(exponent * std::log(base));
}

constexpr std::array<Byte, 256> MakeReversedBytes() {
  std::array<Byte, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= 0x80 >> b;
    table[i] = static_cast<Byte>(r);
  }
  return table;
}
constexpr std::array<Byte, 256> kReversedBytes = MakeReversedBytes();

constexpr double kFarAway = 1000000.0;
constexpr Int64 kEndReach = 45000;

}  // namespace

long double LKPower(long double Base, long double Exponent) {
  if (Exponent == 0) return 1.0L;
  if (Base == 0 && Exponent > 0) return 0.0L;
  if (std::isfinite(Exponent) && std::trunc(Exponent) == Exponent &&
      std::fabs(Exponent) <= 2147483647.0L) {
    const auto n = static_cast<Int64>(Exponent);
    const long double power = IntPower(Base, n);
    if (n >= 0) return power;
    if (power == 0) RaiseZeroDivide();
    return 1.0L / power;
  }
  return ExpLn(Base, Exponent);
}

double LKPower2(double Base, double Exponent) {
  constexpr double kLimit = 2147483647.0;
  if (std::fabs(Exponent) < kLimit) {
    const double whole = std::nearbyint(Exponent);
    if (Exponent == whole) {
      const auto n = static_cast<Int64>(whole);
      if (Base == 0) return n == 0 ? 1.0 : 0.0;
      switch (n) {
        case 0: return 1.0;
        case 1: return Base;
        case 2: return Base * Base;
        case -1: return 1.0 / Base;
        case -2: return 1.0 / (Base * Base);
        default: break;
      }
      const auto power = static_cast<double>(IntPower(Base, n));
      if (n > 0) return power;
      if (power == 0) RaiseZeroDivide();
      return 1.0 / power;
    }
    return static_cast<double>(ExpLn(Base, Exponent));
  }
  if (Base == 0) return 0.0;
  return static_cast<double>(ExpLn(Base, Exponent));
}

Integer LKFloor(long double x) { return ClampToInteger(std::floor(x)); }

void ReverseBitsB(Byte& B) { B = kReversedBytes[B]; }

void ReverseBits(Cardinal& V) {
  const Cardinal v = V;
  V = (static_cast<Cardinal>(kReversedBytes[v & 0xFF]) << 24) |
      (static_cast<Cardinal>(kReversedBytes[(v >> 8) & 0xFF]) << 16) |
      (static_cast<Cardinal>(kReversedBytes[(v >> 16) & 0xFF]) << 8) |
      static_cast<Cardinal>(kReversedBytes[v >> 24]);
}

Integer _GetNumCol(Integer BitsPerSample, Integer SamplesPerPixel) {
  // Each sample multiplies by 2^(bits mod 32) in 32-bit arithmetic, so a
  // total of 32 bits or more shifts the single set bit out and leaves 0.
  const unsigned shift = static_cast<unsigned>(BitsPerSample) & 31u;
  // A factor of 1 never changes the result; the sample count comes from
  // file headers, so do not loop over it.
  if (shift == 0) return 1;
  std::uint32_t result = 1;
  for (Integer i = 0; i < SamplesPerPixel && result != 0; ++i)
    result = static_cast<std::uint32_t>(static_cast<std::uint64_t>(result) << shift);
  return static_cast<Integer>(result);
}

bool _InRect(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2) {
  return x >= x1 && x <= x2 && y >= y1 && y <= y2;
}

bool _InRectO(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  return _InRect(x, y, x1, y1, x2, y2);
}

bool _RectXRect(Integer ax1, Integer ay1, Integer ax2, Integer ay2, Integer bx1, Integer by1,
                Integer bx2, Integer by2) {
  return !(std::max(ax1, ax2) < bx1 || std::min(ax1, ax2) > bx2 || std::max(ay1, ay2) < by1 ||
           std::min(ay1, ay2) > by2);
}

Integer _RectPRect(Integer ax1, Integer ay1, Integer ax2, Integer ay2, Integer bx1, Integer by1,
                   Integer bx2, Integer by2) {
  const bool fx1 = bx1 >= ax1 && bx1 <= ax2;
  const bool fx2 = bx2 >= ax1 && bx2 <= ax2;
  const bool fy1 = by1 >= ay1 && by1 <= ay2;
  const bool fy2 = by2 >= ay1 && by2 <= ay2;
  if (((fx1 != fx2) && (fy1 || fy2)) || ((fx1 || fx2) && (fy1 != fy2))) return 1;
  if (fx1 && fx2 && fy1 && fy2) return 2;
  return 0;
}

void LKSetplim(TRect& R, Integer x, Integer y) {
  if (x < R.Left) R.Left = x;
  if (x > R.Right) R.Right = x;
  if (y < R.Top) R.Top = y;
  if (y > R.Bottom) R.Bottom = y;
}

double _DistPoint2Point(Integer x1, Integer y1, Integer x2, Integer y2) {
  return static_cast<double>(WideSqrt(Sq(Int64{x2} - x1) + Sq(Int64{y2} - y1)));
}

double _DistPoint2Line(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2) {
  const Int64 a = Int64{y1} - y2;
  const Int64 b = Int64{x2} - x1;
  const Wide c = static_cast<Wide>(x1) * y2 - static_cast<Wide>(x2) * y1;
  Wide num = static_cast<Wide>(a) * x + static_cast<Wide>(b) * y + c;
  if (num < 0) num = -num;
  const Wide den2 = Sq(a) + Sq(b);
  if (den2 == 0) RaiseInvalidOp();  // two equal points: 0 / 0
  return static_cast<double>(static_cast<long double>(num) / WideSqrt(den2));
}

double _DistPoint2Seg(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2) {
  if (x1 == x2 && y1 == y2) return _DistPoint2Point(x, y, x1, y1);
  const Int64 dx = Int64{x2} - x1;
  const Int64 dy = Int64{y2} - y1;
  const Wide num = static_cast<Wide>(Int64{y} - y1) * dy + static_cast<Wide>(Int64{x} - x1) * dx;
  const Wide den = Sq(dx) + Sq(dy);
  const long double t = static_cast<long double>(num) / static_cast<long double>(den);
  if (t > 1) {
    if (std::llabs(Int64{x} - x2) <= kEndReach && std::llabs(Int64{y} - y2) <= kEndReach)
      return _DistPoint2Point(x, y, x2, y2);
    return kFarAway;
  }
  if (t < 0) {
    if (std::llabs(Int64{x} - x1) <= kEndReach && std::llabs(Int64{y} - y1) <= kEndReach)
      return _DistPoint2Point(x, y, x1, y1);
    return kFarAway;
  }
  return _DistPoint2Line(x, y, x1, y1, x2, y2);
}

double _DistPoint2Polyline(Integer x, Integer y, const TPoint* Points, Integer Count, Integer OriginX,
                           Integer OriginY, Integer OffsetX, Integer OffsetY, double ScaleX,
                           double ScaleY) {
  double result = kFarAway;
  if (Points == nullptr || Count <= 0) return result;
  auto map = [&](const TPoint& p) {
    return TPoint{RoundToInteger(static_cast<long double>(Int64{p.X} - OriginX) * ScaleX + OffsetX),
                  RoundToInteger(static_cast<long double>(Int64{p.Y} - OriginY) * ScaleY + OffsetY)};
  };
  TPoint prev = map(Points[0]);
  for (Integer i = 1; i < Count; ++i) {
    const TPoint cur = map(Points[i]);
    result = std::min(result, _DistPoint2Seg(x, y, prev.X, prev.Y, cur.X, cur.Y));
    prev = cur;
  }
  return result;
}

long double LKArcCos(long double x) {
  // Rounding can push a cosine slightly past +-1; clamping keeps the square
  // root real.
  x = std::clamp(x, -1.0L, 1.0L);
  if (x == 1.0L || x == -1.0L) return 0.0L;
  return std::atan2(std::sqrt(1.0L - x * x), x);
}

double LKAngle(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3) {
  const Int64 ux = Int64{x2} - x1, uy = Int64{y2} - y1;
  const Int64 wx = Int64{x3} - x2, wy = Int64{y3} - y2;
  const long double lenU = WideSqrt(Sq(ux) + Sq(uy));
  const long double lenW = WideSqrt(Sq(wx) + Sq(wy));
  if (lenU == 0 || lenW == 0) return 0.0;
  const Wide dot = static_cast<Wide>(ux) * wx + static_cast<Wide>(uy) * wy;
  const long double cosine = static_cast<long double>(dot) / (lenU * lenW);
  if (std::fabs(cosine) > 1.0L) return 0.0;
  return static_cast<double>(LKArcCos(cosine));
}

void LKBezier2D4Controls(TPoint P0, TPoint P1, TPoint P2, TPoint P3, TPoint* Points, Integer N) {
  if (Points == nullptr || N <= 0) return;
  for (Integer i = 1; i <= N; ++i) {
    const double t = static_cast<double>(i) / N;
    const double t2 = t * t, t3 = t2 * t;
    const double b0 = 1 - 3 * t + 3 * t2 - t3;
    const double b1 = 3 * t - 6 * t2 + 3 * t3;
    const double b2 = 3 * t2 - 3 * t3;
    const double b3 = t3;
    Points[i - 1].X = RoundToInteger(b0 * P0.X + b1 * P1.X + b2 * P2.X + b3 * P3.X);
    Points[i - 1].Y = RoundToInteger(b0 * P0.Y + b1 * P1.Y + b2 * P2.Y + b3 * P3.Y);
  }
}

void LKFitResample(Integer Width, Integer Height, Integer MaxWidth, Integer MaxHeight,
                   Integer& NewWidth, Integer& NewHeight) {
  if (Width == 0 || Height == 0) return;
  const double scale = std::min(static_cast<double>(MaxWidth) / Width,
                                static_cast<double>(MaxHeight) / Height);
  NewWidth = TruncToInteger(static_cast<long double>(Width * scale));
  NewHeight = TruncToInteger(static_cast<long double>(Height * scale));
  if (NewWidth == 0) NewWidth = 1;
  if (NewHeight == 0) NewHeight = 1;
}

void _CastPolySelCC(Integer x0, Integer y0, Integer& x1, Integer& y1) {
  const Int64 dx = Int64{x0} - x1, dy = Int64{y0} - y1;
  const Int64 e = std::llabs(dx), f = std::llabs(dy);
  const Int64 d = std::llabs(e - f);
  if (f > e + 30) {
    x1 = x0;
    return;
  }
  if (f < e - 30) {
    y1 = y0;
    return;
  }
  // Here d <= 30, but the moved coordinate is still kept within 32 bits.
  auto move = [](Integer& v, Int64 by) { v = ClampToInteger(static_cast<long double>(Int64{v} + by)); };
  if (dx < 0 && dy < 0) {
    if (f > e) move(x1, d); else move(y1, d);
  } else if (dx > 0 && dy > 0) {
    if (f > e) move(y1, d); else move(x1, d);
  } else if (dx > 0 && dy <= 0) {
    if (f > e) move(x1, -d); else move(y1, d);
  } else if (dx <= 0 && dy > 0) {
    if (f > e) move(x1, d); else move(y1, -d);
  }
}
