#include "core/lkcolorspace.h"

#include <cmath>

#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

// The sRGB transfer curve from a byte to linear light (extended precision).
long double LineariseExact(int v) {
  long double c = v / 255.0L;
  if (c <= 0.03928L) return c / 12.92L;
  return std::pow((c + 0.055L) / 1.055L, 2.4L);
}

// Byte of a linear-light value through the inverse sRGB transfer curve,
// rounded half to even and clamped (extended precision).
Integer DelineariseExact(long double c) {
  if (c <= 0.0031308L)
    c = 12.92L * c;
  else
    c = 1.055L * std::pow(c, 1.0L / 2.4L) - 0.055L;
  return blimit(LKRound(static_cast<double>(c * 255.0L)));
}

// Tables that replace the powers of the transfer curves: the linear value
// of each byte, and for each byte k = 1..255 the smallest linear value that
// maps to k or more. A byte then takes a lookup or a binary search instead
// of a power, with the same results.
struct TransferTables {
  double lin[256];
  double threshold[256];  // threshold[0] is unused
  TransferTables() {
    for (int v = 0; v < 256; ++v) lin[v] = static_cast<double>(LineariseExact(v));
    for (int k = 1; k < 256; ++k) {
      double lo = -1.0, hi = 2.0;  // DelineariseExact(lo) < k <= DelineariseExact(hi)
      for (;;) {
        const double mid = lo + (hi - lo) / 2;
        if (mid <= lo || mid >= hi) break;
        if (DelineariseExact(mid) >= k)
          hi = mid;
        else
          lo = mid;
      }
      threshold[k] = hi;
    }
  }
};

const TransferTables& Tables() {
  static const TransferTables tables;
  return tables;
}

Byte Delinearise(const TransferTables& t, double c) {
  // Count of thresholds at or below c: the largest k with threshold[k] <= c.
  int k = 0;
  for (int step = 128; step > 0; step >>= 1)
    if (k + step < 256 && t.threshold[k + step] <= c) k += step;
  return static_cast<Byte>(k);
}

double LabF(double t) {
  if (t > 0.008856) return std::cbrt(t);
  return 7.787 * t + 16.0 / 116.0;
}

double LabFInv(double f) {
  const double cube = f * f * f;
  if (cube > 0.008856) return cube;
  return (f - 0.13793103448) / 7.787;
}

// Truncates toward zero into a signed byte (sRGB colours never leave its
// range; the clamp only keeps out-of-range inputs defined).
ShortInt ToSignedByte(double v) { return static_cast<ShortInt>(ilimit(LKTrunc(v), -128, 127)); }

}  // namespace

TCIELab LKRGB2CIELAB(const TRGB& rgb) {
  const TransferTables& t = Tables();
  const double R = t.lin[rgb.r], G = t.lin[rgb.g], B = t.lin[rgb.b];
  const double X = (0.412453 * R + 0.35758 * G + 0.180423 * B) / 0.95047;
  const double Y = 0.212671 * R + 0.71516 * G + 0.072169 * B;
  const double Z = (0.019334 * R + 0.119193 * G + 0.950227 * B) / 1.088883;
  const double fx = LabF(X), fy = LabF(Y), fz = LabF(Z);
  const double L = Y > 0.008856 ? 116.0 * fy - 16.0 : 903.3 * Y;
  TCIELab lab;
  // The slack keeps a lightness that is whole in exact arithmetic (white's
  // 255) from being truncated one step down by rounding noise.
  lab.l = static_cast<Byte>(ilimit(LKTrunc(L * 2.55 + 1e-9), 0, 255));
  lab.a = ToSignedByte(500.0 * (fx - fy));
  lab.b = ToSignedByte(200.0 * (fy - fz));
  return lab;
}

TRGB LKCIELAB2RGB(const TCIELab& lab) {
  const TransferTables& t = Tables();
  const double fy = (lab.l * 0.39215686275 + 16.0) / 116.0;
  const double fx = fy + lab.a / 500.0;
  const double fz = fy - lab.b / 200.0;
  const double X = LabFInv(fx) * 0.95047;
  const double Y = LabFInv(fy);
  const double Z = LabFInv(fz) * 1.08883;
  TRGB rgb;
  rgb.r = Delinearise(t, 3.2406 * X - 1.5372 * Y - 0.4986 * Z);
  rgb.g = Delinearise(t, -0.9689 * X + 1.8758 * Y + 0.0415 * Z);
  rgb.b = Delinearise(t, 0.0557 * X - 0.204 * Y + 1.057 * Z);
  return rgb;
}

// The JFIF coefficients have at most five decimals, so the formulas are
// evaluated exactly in scaled integers: floating point would put a grey
// level a hair below its integer and truncate it one step down.
void LKRGB2YCbCr(const TRGB& rgb, Integer& Y, Integer& Cb, Integer& Cr) {
  const Integer R = rgb.r, G = rgb.g, B = rgb.b;
  Y = blimit((299 * R + 587 * G + 114 * B) / 1000);
  Cb = blimit((-16874 * R - 33126 * G + 50000 * B + 12800000) / 100000);
  Cr = blimit((50000 * R - 41869 * G - 8131 * B + 12800000) / 100000);
}

void LKYCbCr2RGB(TRGB& rgb, Integer Y, Integer Cb, Integer Cr) {
  const Int64 y = Y, cb = static_cast<Int64>(Cb) - 128, cr = static_cast<Int64>(Cr) - 128;
  auto clampByte = [](Int64 v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  rgb.r = clampByte((1000 * y + 1402 * cr) / 1000);
  rgb.g = clampByte((100000 * y - 34414 * cb - 71414 * cr) / 100000);
  rgb.b = clampByte((1000 * y + 1772 * cb) / 1000);
}

void LKDraw3DRect(TCanvas* Canvas, Integer x1, Integer y1, Integer x2, Integer y2,
                  TColor Color1, TColor Color2) {
  if (Canvas == nullptr) return;
  TPen* pen = Canvas->GetPen();
  pen->SetMode(pmCopy);
  pen->SetStyle(psSolid);
  pen->SetColor(Color1);
  Canvas->MoveTo(x1, y2);
  Canvas->LineTo(x1, y1);
  Canvas->LineTo(x2, y1);
  pen->SetColor(Color2);
  Canvas->MoveTo(x1, y2);
  Canvas->LineTo(x2, y2);
  Canvas->LineTo(x2, y1);
}
