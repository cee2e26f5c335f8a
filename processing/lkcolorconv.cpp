#include "processing/lkcolorconv.h"

#include <algorithm>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"

namespace {

// Brings a hue in degrees into 0..359.
inline Integer WrapDegrees(Integer h) {
  h %= 360;
  return h < 0 ? h + 360 : h;
}

inline Byte ByteOf(double v) { return static_cast<Byte>(blimit(LKRound(v))); }

double HueToChannel(double m1, double m2, double h) {
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  if (6 * h < 1) return m1 + (m2 - m1) * h * 6;
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3.0 - h) * 6;
  return m1;
}

}  // namespace

void RGB2HSL(const TRGB& Color, double& H, double& S, double& L) {
  const double r = Color.r / 255.0, g = Color.g / 255.0, b = Color.b / 255.0;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  L = (mx + mn) / 2;
  if (mx == mn) {
    H = 0;
    S = 0;
    return;
  }
  const double d = mx - mn;
  S = L < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
  double h;
  if (r == mx)
    h = (g - b) / d;
  else if (g == mx)
    h = 2 + (b - r) / d;
  else
    h = 4 + (r - g) / d;
  h /= 6;
  if (h < 0) h += 1;
  H = h;
}

void HSL2RGB(TRGB& Color, double H, double S, double L) {
  if (H < 0)
    H += 1;
  else if (H > 1)
    H -= 1;
  S = std::clamp(S, 0.0, 1.0);
  L = std::clamp(L, 0.0, 1.0);
  double r, g, b;
  if (S == 0) {
    r = g = b = L;
  } else {
    const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
    const double m1 = 2 * L - m2;
    r = HueToChannel(m1, m2, H + 1.0 / 3.0);
    g = HueToChannel(m1, m2, H);
    b = HueToChannel(m1, m2, H - 1.0 / 3.0);
  }
  Color.r = ByteOf(r * 255);
  Color.g = ByteOf(g * 255);
  Color.b = ByteOf(b * 255);
}

void RGB2HSV(const TRGB& Color, Integer& H, Integer& S, Integer& V) {
  const Integer r = LKRound(Color.r / 255.0 * 99);
  const Integer g = LKRound(Color.g / 255.0 * 99);
  const Integer b = LKRound(Color.b / 255.0 * 99);
  V = std::max({r, g, b});
  const Integer d = V - std::min({r, g, b});
  S = V == 0 ? 0 : d * 99 / V;
  if (S == 0) {
    H = 0;
    return;
  }
  if (r == V)
    H = (g - b) * 60 / d;
  else if (g == V)
    H = (b - r) * 60 / d + 120;
  else
    H = (r - g) * 60 / d + 240;
  if (H < 0) H += 360;
}

void HSV2RGB(TRGB& Color, Integer H, Integer S, Integer V) {
  // Callers pass hues one turn out of range or more; any hue is reduced.
  H = WrapDegrees(H);
  S = ilimit(S, 0, 99);
  V = ilimit(V, 0, 99);
  Integer r, g, b;
  if (S == 0) {
    r = g = b = V;
  } else {
    const Integer f = H % 60;
    const Integer p = V - V * S / 99;
    const Integer q = V - V * S * f / 5940;
    const Integer t = V - V * S * (60 - f) / 5940;
    switch (H / 60) {
      case 0: r = V; g = t; b = p; break;
      case 1: r = q; g = V; b = p; break;
      case 2: r = p; g = V; b = t; break;
      case 3: r = p; g = q; b = V; break;
      case 4: r = t; g = p; b = V; break;
      default: r = V; g = p; b = q; break;
    }
  }
  Color.r = ByteOf(r / 99.0 * 255);
  Color.g = ByteOf(g / 99.0 * 255);
  Color.b = ByteOf(b / 99.0 * 255);
}

void LKRGBtoHSB(Byte R, Byte G, Byte B, Word& H, Word& S, Word& Br) {
  const Integer mx = std::max({R, G, B}), mn = std::min({R, G, B});
  const Integer d = mx - mn;
  Br = static_cast<Word>(mx);
  const Integer s = mx == 0 ? 0 : d * 255 / mx;
  S = static_cast<Word>(s);
  Integer h = 0;
  if (s != 0) {
    if (R == mx)
      h = (G - B) * 60 / d;
    else if (G == mx)
      h = (B - R) * 60 / d + 120;
    else
      h = (R - G) * 60 / d + 240;
    if (h < 0) h += 360;
  }
  H = static_cast<Word>(h);
}

void LKHSBtoRGB(Word H, Word S, Word Br, Byte& R, Byte& G, Byte& B) {
  // Hues of a full turn or more are reduced rather than leaving the outputs
  // unwritten; channel values above a byte are limited to it.
  const Integer br = imin(Br, 255), s = imin(S, 255);
  if (s == 0) {
    R = G = B = static_cast<Byte>(br);
    return;
  }
  const Integer h = H % 360;
  const Integer f = h % 60;
  const Integer p = br - s * br / 255;
  const Integer q = br - s * br * f / 15300;
  const Integer t = br - s * br * (60 - f) / 15300;
  Integer r, g, b;
  switch (h / 60) {
    case 0: r = br; g = t; b = p; break;
    case 1: r = q; g = br; b = p; break;
    case 2: r = p; g = br; b = t; break;
    case 3: r = p; g = q; b = br; break;
    case 4: r = t; g = p; b = br; break;
    default: r = br; g = p; b = q; break;
  }
  R = static_cast<Byte>(r);
  G = static_cast<Byte>(g);
  B = static_cast<Byte>(b);
}

void LKChangeYCbCrCoefficients(TLKBitmap* Bitmap, double OldR, double OldG, double OldB,
                               double NewR, double NewG, double NewB) {
  // The loop reads three bytes per pixel: only 24-bit rows hold that.
  if (Bitmap == nullptr || Bitmap->GetPixelFormat() != lk24RGB) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    TRGB* px = static_cast<TRGB*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, ++px) {
      const double R = px->r / 255.0, G = px->g / 255.0, B = px->b / 255.0;
      const double Y = OldR * R + OldG * G + OldB * B;
      const double Cb = (B - Y) / (2 - 2 * OldB);
      const double Cr = (R - Y) / (2 - 2 * OldR);
      const double R2 = Y + (2 - 2 * NewR) * Cr;
      const double B2 = Y + (2 - 2 * NewB) * Cb;
      const double G2 = (Y - NewR * R2 - NewB * B2) / NewG;
      px->r = ByteOf(R2 * 255);
      px->g = ByteOf(G2 * 255);
      px->b = ByteOf(B2 * 255);
    }
  }
}
