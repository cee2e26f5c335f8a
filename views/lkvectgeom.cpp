// Geometry and measurement of the vector view (see views/lkvectgeom.h).
#include "views/lkvectgeom.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/lkmath.h"
#include "views/lkviewgeometry.h"

namespace {

constexpr Integer kOutlineBreak = 1048575;
constexpr double kTwoPi = 6.283185307179586;

bool IsBreak(const TPoint& P) { return P.X == kOutlineBreak; }

double Step(const TPoint& A, const TPoint& B, double CX, double CY) {
  return LKStepLen(static_cast<double>(A.X) - B.X, static_cast<double>(A.Y) - B.Y, CX, CY);
}

// Squared distance from P to the segment A-B (to A when A = B).
double SegDist2(const TPoint& P, const TPoint& A, const TPoint& B) {
  const double dx = static_cast<double>(B.X) - A.X, dy = static_cast<double>(B.Y) - A.Y;
  double px = A.X, py = A.Y;
  if (dx != 0 || dy != 0) {
    const double t = ((P.X - A.X) * dx + (P.Y - A.Y) * dy) / (dx * dx + dy * dy);
    if (t > 1) {
      px = B.X;
      py = B.Y;
    } else if (t > 0) {
      px += t * dx;
      py += t * dy;
    }
  }
  const double ex = P.X - px, ey = P.Y - py;
  return ex * ex + ey * ey;
}

}  // namespace

const char* const LKUnitNames[8] = {"pixels", "inches", "km", "mt", "cm", "mm", "microns", "nanometers"};

const char* LKUnitName(TLKUnits Unit) { return Unit <= lkuNANOMETERS ? LKUnitNames[Unit] : ""; }

void LKVectCalcCoef(TLKUnits Unit, Integer DpiX, Integer DpiY, double Scale, double& CX, double& CY) {
  if (Unit == lkuPIXELS) {
    CX = CY = 1.0;
  } else {
    double f = 1;
    switch (Unit) {
      case lkuKM: f = 2.54 / 100000; break;
      case lkuMETERS: f = 2.54 / 100; break;
      case lkuCENTIMETERS: f = 2.54; break;
      case lkuMILLIMETERS: f = 2.54 * 10; break;
      case lkuMICRONS: f = 2.54 * 10000; break;
      case lkuNANOMETERS: f = 2.54 * 10000000; break;
      default: break;
    }
    CX = f / std::max(DpiX, 1);
    CY = f / std::max(DpiY, 1);
  }
  CX *= Scale;
  CY *= Scale;
}

double LKStepLen(double DX, double DY, double CX, double CY) {
  const double a = std::abs(DX) * CX, b = std::abs(DY) * CY;
  return std::sqrt(a * a + b * b);
}

void LKPolylineFactors(const TRect& PolyBox, Integer X1, Integer Y1, Integer X2, Integer Y2, double& ZX, double& ZY) {
  ZX = PolyBox.Right == PolyBox.Left ? 1.0 : static_cast<double>(X2 - X1) / (PolyBox.Right - PolyBox.Left);
  ZY = PolyBox.Bottom == PolyBox.Top ? 1.0 : static_cast<double>(Y2 - Y1) / (PolyBox.Bottom - PolyBox.Top);
}

double LKPolylineLength(const std::vector<TLKDPoint>& P, double CX, double CY) {
  double sum = 0;
  for (std::size_t i = 1; i < P.size(); ++i) sum += LKStepLen(P[i].X - P[i - 1].X, P[i].Y - P[i - 1].Y, CX, CY);
  return sum;
}

double LKPolygonArea(const std::vector<TLKDPoint>& P, double CX, double CY) {
  if (P.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < P.size(); ++i) {
    const TLKDPoint& a = P[i];
    const TLKDPoint& b = P[(i + 1) % P.size()];
    sum += (a.X - b.X) * (a.Y + b.Y);
  }
  return std::abs(sum * CX * CY) / 2;
}

TPoint LKPolygonCentroid(const std::vector<TLKDPoint>& P) {
  double A = 0, sx = 0, sy = 0;
  for (std::size_t i = 0, j = P.size() - 1; i < P.size(); j = i++) {
    const double c = P[j].X * P[i].Y - P[i].X * P[j].Y;
    A += c;
    sx += c * (P[j].X + P[i].X);
    sy += c * (P[j].Y + P[i].Y);
  }
  if (A == 0) return TPoint{0, 0};
  return TPoint{LKTruncClamp(sx / (3 * A)), LKTruncClamp(sy / (3 * A))};
}

double LKOutlineLength(const TPoint* P, Integer N, bool Drawing, bool ToMouse, TPoint Mouse, double CX, double CY) {
  double sum = 0;
  Integer start = 0;
  if (P == nullptr || N <= 0) return 0;
  if (N >= 2) {
    Integer i = 0;
    while (i < N - 1) {
      if (IsBreak(P[i + 1])) {
        if (start <= i) sum += Step(P[start], P[i], CX, CY);
        ++i;
        start = i + 1;
      } else if (!IsBreak(P[i])) {
        sum += Step(P[i], P[i + 1], CX, CY);
      }
      ++i;
    }
  }
  // An outline that ends with a break has no open polygon left to close.
  if (!Drawing && N > 2 && start < N && !IsBreak(P[N - 1])) sum += Step(P[start], P[N - 1], CX, CY);
  if (ToMouse && Drawing && !IsBreak(P[N - 1])) sum += Step(P[N - 1], Mouse, CX, CY);
  return sum;
}

double LKOutlineArea(const TPoint* P, Integer N, double CX, double CY) {
  if (P == nullptr || N <= 2) return 0;
  double total = 0;
  Integer start = 0;
  while (start < N) {
    Integer end = start;
    while (end < N && !IsBreak(P[end])) ++end;
    for (Integer i = start; i < end; ++i) {
      const TPoint& a = P[i];
      const TPoint& b = P[i + 1 < end ? i + 1 : start];
      total += (static_cast<double>(a.X) - b.X) * (static_cast<double>(b.Y) + a.Y) * CX * CY;
    }
    start = end + 1;
  }
  return std::abs(total) / 2;
}

TPoint LKOutlineCentroid(const TPoint* P, Integer N) {
  if (P == nullptr || N <= 2) return TPoint{0, 0};
  std::vector<TLKDPoint> first;
  for (Integer i = 0; i < N && !IsBreak(P[i]); ++i)
    first.push_back(TLKDPoint{static_cast<double>(P[i].X), static_cast<double>(P[i].Y)});
  if (first.empty()) return TPoint{0, 0};
  return LKPolygonCentroid(first);
}

std::vector<TPoint> LKSimplifyOnce(const std::vector<TPoint>& P, double T) {
  if (P.size() <= 2) return P;
  const double t2 = T * T;
  // Radial pass.
  std::vector<TPoint> kept{P.front()};
  for (std::size_t i = 1; i < P.size(); ++i) {
    const double dx = static_cast<double>(P[i].X) - kept.back().X, dy = static_cast<double>(P[i].Y) - kept.back().Y;
    if (dx * dx + dy * dy >= t2) kept.push_back(P[i]);
  }
  if (!(kept.back() == P.back()) || kept.size() == 1) kept.push_back(P.back());
  // Douglas-Peucker over the kept points, with an explicit stack.
  std::vector<bool> mark(kept.size(), false);
  mark.front() = mark.back() = true;
  std::vector<std::pair<std::size_t, std::size_t>> spans{{0, kept.size() - 1}};
  while (!spans.empty()) {
    const auto [a, b] = spans.back();
    spans.pop_back();
    double best = -1;
    std::size_t at = 0;
    for (std::size_t i = a + 1; i < b; ++i) {
      const double d = SegDist2(kept[i], kept[a], kept[b]);
      if (d > best) {
        best = d;
        at = i;
      }
    }
    if (best > t2) {
      mark[at] = true;
      spans.emplace_back(a, at);
      spans.emplace_back(at, b);
    }
  }
  std::vector<TPoint> out;
  for (std::size_t i = 0; i < kept.size(); ++i)
    if (mark[i]) out.push_back(kept[i]);
  return out;
}

std::vector<TPoint> LKSimplify(const std::vector<TPoint>& P, Integer MaxPoints) {
  // Fewer than two points can never be reached: the loop would not end.
  const std::size_t limit = static_cast<std::size_t>(std::max(MaxPoints, 2));
  double t = 0.1;
  std::vector<TPoint> r = LKSimplifyOnce(P, t);
  while (r.size() > limit) {
    t += 0.1;
    r = LKSimplifyOnce(r, t);
  }
  return r;
}

double LKAngleDegrees(TPoint P0, TPoint P1, TPoint P2) {
  auto len = [](TPoint A, TPoint B) {
    const double d = _DistPoint2Point(A.X, A.Y, B.X, B.Y);
    return d == 0 ? 1.0 : d;
  };
  const double a = len(P1, P2), b = len(P0, P2), c = len(P0, P1);
  const double q = (a * a + c * c - b * b) / (2 * a * c);
  // A straight angle is pi; the library's arc cosine gives 0 at exactly -1.
  double theta = q <= -1 ? M_PI : static_cast<double>(LKArcCos(q));
  const double d1x = static_cast<double>(P1.X) - P0.X, d1y = static_cast<double>(P1.Y) - P0.Y;
  const double d2x = static_cast<double>(P2.X) - P0.X, d2y = static_cast<double>(P2.Y) - P0.Y;
  Integer orient;
  if (d1x * d2y > d1y * d2x)
    orient = 1;
  else if (d1x * d2y < d1y * d2x)
    orient = -1;
  else if (d1x * d2x < 0 || d1y * d2y < 0)
    orient = -1;
  else
    orient = std::hypot(d1x, d1y) < std::hypot(d2x, d2y) ? 1 : 0;
  if (orient == -1) theta = kTwoPi - theta;
  return theta * 180 / M_PI;
}

double LKSegmentDirection(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (X1 == X2 && Y1 == Y2) return 0;
  double a = std::atan2(-(static_cast<double>(Y2) - Y1), static_cast<double>(X2) - X1);
  if (a < 0) a += kTwoPi;
  return a;
}

bool LKLineShapeTriangle(Integer EX, Integer EY, Integer OX, Integer OY, TLKShape Shape, Integer W, Integer H,
                         TPoint (&Out)[3]) {
  if (Shape != lksINARROW && Shape != lksOUTARROW) return false;
  double ux = static_cast<double>(OX) - EX, uy = static_cast<double>(OY) - EY;
  const double l = std::hypot(ux, uy);
  if (l == 0) {
    ux = 0;
    uy = -1;
  } else {
    ux /= l;
    uy /= l;
  }
  const double nx = uy, ny = -ux;
  const TPoint t{LKTruncClamp(H * ux), LKTruncClamp(H * uy)};
  const TPoint b{LKTruncClamp(nx * (W / 2.0)), LKTruncClamp(ny * (W / 2.0))};
  if (Shape == lksINARROW) {
    Out[0] = TPoint{EX + b.X, EY + b.Y};
    Out[1] = TPoint{EX - b.X, EY - b.Y};
    Out[2] = TPoint{EX + t.X, EY + t.Y};
  } else {
    const TPoint c{EX + t.X, EY + t.Y};
    Out[0] = TPoint{c.X + b.X, c.Y + b.Y};
    Out[1] = TPoint{c.X - b.X, c.Y - b.Y};
    Out[2] = TPoint{EX, EY};
  }
  return true;
}

double LKEllipseDistance(Integer RX, Integer RY, Integer PX, Integer PY, bool Filled) {
  if (Filled && RX > 0 && RY > 0) {
    const double u = static_cast<double>(PX) / RX, v = static_cast<double>(PY) / RY;
    if (u * u + v * v <= 1) return 0;
  }
  // A flat ellipse is a segment; its spokes would all have length 0.
  if (RX <= 0 || RY <= 0) return _DistPoint2Seg(PX, PY, -RX, -RY, RX, RY);
  Integer n = LKTruncClamp(std::min(RX, RY) * kTwoPi);
  if (!Filled) n /= 8;
  n = std::clamp(n, 2, 100000);
  double best = 2147483647.0;
  TPoint prev{RX, 0};
  for (Integer i = 1; i <= n; ++i) {
    const TPoint p = i == n ? TPoint{RX, 0}
                            : TPoint{LKTruncClamp(RX * std::cos(kTwoPi * i / n)),
                                     LKTruncClamp(RY * std::sin(kTwoPi * i / n))};
    const double d = Filled ? std::trunc(_DistPoint2Seg(PX, PY, 0, 0, p.X, p.Y))
                            : _DistPoint2Seg(PX, PY, prev.X, prev.Y, p.X, p.Y);
    best = std::min(best, d);
    prev = p;
  }
  return best;
}

std::string LKFormatFixed(double V, Integer Precision, Integer Digits) {
  if (!std::isfinite(V)) return std::isnan(V) ? "NAN" : (V > 0 ? "INF" : "-INF");
  Digits = std::clamp(Digits, 0, 18);
  Precision = std::clamp(Precision, 1, 18);
  char buf[512];
  // Limit to Precision significant digits first.
  auto r = std::to_chars(buf, buf + sizeof buf, V, std::chars_format::scientific, Precision - 1);
  double limited = V;
  std::from_chars(buf, r.ptr, limited);
  if (std::abs(limited) >= std::pow(10.0, Precision)) {
    r = std::to_chars(buf, buf + sizeof buf, limited, std::chars_format::scientific, Precision - 1);
    return std::string(buf, r.ptr);
  }
  r = std::to_chars(buf, buf + sizeof buf, limited, std::chars_format::fixed, Digits);
  return std::string(buf, r.ptr);
}

std::string LKAnsiToUtf8(const std::string& Bytes) {
  // The 0x80..0x9F block of Windows-1252; 0 marks the five unused codes.
  static const char16_t k80[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                   0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
  std::string out;
  out.reserve(Bytes.size());
  for (unsigned char b : Bytes) {
    char32_t c = b;
    if (b >= 0x80 && b < 0xA0) c = k80[b - 0x80] ? k80[b - 0x80] : U'?';
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}
