#include "core/lkcolorspace.h"

#include <cmath>

#include "processing/lkprocutils.h"

namespace {

// The sRGB transfer curve from a byte to linear light.
long double Linearise(Byte v) {
  long double c = v / 255.0L;
  if (c <= 0.03928L) return c / 12.92L;
  return std::pow((c + 0.055L) / 1.055L, 2.4L);
}

long double LabF(long double t) {
  if (t > 0.008856L) return std::cbrt(t);
  return 7.787L * t + 16.0L / 116.0L;
}

long double LabFInv(long double f) {
  long double cube = f * f * f;
  if (cube > 0.008856L) return cube;
  return (f - 0.13793103448L) / 7.787L;
}

// Linear light to a byte through the inverse sRGB transfer curve.
Byte Delinearise(long double c) {
  if (c <= 0.0031308L)
    c = 12.92L * c;
  else
    c = 1.055L * std::pow(c, 1.0L / 2.4L) - 0.055L;
  return static_cast<Byte>(blimit(LKRound(static_cast<double>(c * 255.0L))));
}

// Truncates toward zero into a signed byte (sRGB colours never leave its
// range; the clamp only keeps out-of-range inputs defined).
ShortInt ToSignedByte(long double v) {
  Integer i = LKTrunc(static_cast<double>(v));
  return static_cast<ShortInt>(ilimit(i, -128, 127));
}

}  // namespace

TCIELab LKRGB2CIELAB(const TRGB& rgb) {
  const long double R = Linearise(rgb.r), G = Linearise(rgb.g), B = Linearise(rgb.b);
  const long double X = (0.412453L * R + 0.35758L * G + 0.180423L * B) / 0.95047L;
  const long double Y = (0.212671L * R + 0.71516L * G + 0.072169L * B) / 1.0L;
  const long double Z = (0.019334L * R + 0.119193L * G + 0.950227L * B) / 1.088883L;
  const long double fx = LabF(X), fy = LabF(Y), fz = LabF(Z);
  const long double L = Y > 0.008856L ? 116.0L * fy - 16.0L : 903.3L * Y;
  TCIELab lab;
  lab.l = static_cast<Byte>(ilimit(LKTrunc(static_cast<double>(L * 2.55L)), 0, 255));
  lab.a = ToSignedByte(500.0L * (fx - fy));
  lab.b = ToSignedByte(200.0L * (fy - fz));
  return lab;
}

TRGB LKCIELAB2RGB(const TCIELab& lab) {
  const long double fy = (lab.l * 0.39215686275L + 16.0L) / 116.0L;
  const long double fx = fy + lab.a / 500.0L;
  const long double fz = fy - lab.b / 200.0L;
  const long double X = LabFInv(fx) * 0.95047L;
  const long double Y = LabFInv(fy);
  const long double Z = LabFInv(fz) * 1.08883L;
  TRGB rgb;
  rgb.r = Delinearise(3.2406L * X - 1.5372L * Y - 0.4986L * Z);
  rgb.g = Delinearise(-0.9689L * X + 1.8758L * Y + 0.0415L * Z);
  rgb.b = Delinearise(0.0557L * X - 0.204L * Y + 1.057L * Z);
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
