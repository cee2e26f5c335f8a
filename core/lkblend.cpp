// The pixel combiner: 30 per-channel modes, three single-channel copies and
// four modes that mix hue, saturation and lightness.
#include "core/lkblend.h"

#include <cmath>
#include <cstdlib>

#include "processing/lkcolorconv.h"
#include "processing/lkprocutils.h"

namespace {

// One channel of a per-channel mode: s is the source, d the destination
// value. Every formula stays inside 0..255 for byte inputs.
inline Integer BlendChannel(Integer s, Integer d, TLKRenderOperation op) {
  switch (op) {
    case lklNormal: return s;
    case lklAdd: return blimit(d + s);
    case lklSub: return std::abs(d - s);
    case lklDiv: return blimit(d / ilimit(s, 1, 255));
    case lklMul: return (d * s) >> 8;
    case lklOR: return d | s;
    case lklAND: return d & s;
    case lklXOR: return d ^ s;
    case lklMAX: return imax(d, s);
    case lklMIN: return imin(d, s);
    case lklAverage: return (d + s) >> 1;
    case lklScreen: return 255 - (((255 - d) * (255 - s)) >> 8);
    case lklNegation: return 255 - std::abs(255 - s - d);
    case lklExclusion: return s + d - ((s * d) >> 7);
    case lklOverlay: return d < 128 ? (s * d) >> 7 : 255 - (((255 - s) * (255 - d)) >> 7);
    case lklHardLight: return s < 128 ? (s * d) >> 7 : 255 - (((255 - s) * (255 - d)) >> 7);
    case lklSoftLight: {
      const double a = s / 255.0, b = d / 255.0;
      if (a < 0.5) return LKTrunc(255.0 * (2.0 * a * b + b * b * (1.0 - 2.0 * a)));
      return LKTrunc(255.0 * (std::sqrt(b) * (2.0 * a - 1.0) + 2.0 * b * (1.0 - a)));
    }
    case lklXFader: {
      const Integer m = (s * d) >> 8;
      const Integer c = 255 - (((255 - d) * (255 - s)) >> 8) - m;
      return m + ((c * d) >> 8);
    }
    case lklColorEdge: return s == 255 ? 255 : imin(d * 256 / (255 - s), 255);
    case lklColorBurn: return s == 0 ? 0 : imax(255 - (255 - d) * 256 / s, 0);
    case lklInverseColorDodge: return d == 255 ? 255 : imin(s * 256 / (255 - d), 255);
    case lklInverseColorBurn: return d == 0 ? 0 : imax(255 - (255 - s) * 256 / d, 0);
    case lklSoftDodge:
      if (s + d < 256) return s == 255 ? 255 : imin(d * 128 / (255 - s), 255);
      return imax(255 - (255 - s) * 128 / d, 0);
    case lklSoftBurn:
      if (s + d < 256) return d == 255 ? 255 : imin(s * 128 / (255 - d), 255);
      return imax(255 - (255 - d) * 128 / s, 0);
    case lklReflect: return s == 255 ? 255 : imin(d * d / (255 - s), 255);
    case lklGlow: return d == 255 ? 255 : imin(s * s / (255 - d), 255);
    case lklFreeze: return s == 0 ? 0 : imax(255 - (255 - d) * (255 - d) / s, 0);
    case lklEat: return d == 0 ? 0 : imax(255 - (255 - s) * (255 - s) / d, 0);
    case lklSubtractive: return blimit(d + s - 256);
    case lklInterpolation: return imin(lkCosineTable[s] + lkCosineTable[d], 255);
    case lklStamp: return blimit(d + 2 * s - 256);
    default: return d;
  }
}

}  // namespace

void LKBlend(const TRGB& s, TRGB& d, TLKRenderOperation op) {
  switch (op) {
    case lklRed: d.r = s.r; return;
    case lklGreen: d.g = s.g; return;
    case lklBlue: d.b = s.b; return;
    case lklHue:
    case lklSaturation:
    case lklColor:
    case lklLuminosity: {
      double sh, ss, sl, dh, ds, dl;
      RGB2HSL(s, sh, ss, sl);
      RGB2HSL(d, dh, ds, dl);
      if (op == lklHue) HSL2RGB(d, sh, ds, dl);
      else if (op == lklSaturation) HSL2RGB(d, dh, ss, dl);
      else if (op == lklColor) HSL2RGB(d, sh, ss, dl);
      else HSL2RGB(d, sh, ds, sl);
      return;
    }
    default:
      if (static_cast<unsigned>(op) >= LKRenderOperationCount) return;
      d.b = static_cast<Byte>(BlendChannel(s.b, d.b, op));
      d.g = static_cast<Byte>(BlendChannel(s.g, d.g, op));
      d.r = static_cast<Byte>(BlendChannel(s.r, d.r, op));
  }
}

void LKBlendRGBA(const TRGBA& s, TRGBA& d, TLKRenderOperation op) {
  const TRGB src{s.b, s.g, s.r};
  TRGB dst{d.b, d.g, d.r};
  LKBlend(src, dst, op);
  d.b = dst.b;
  d.g = dst.g;
  d.r = dst.r;
}
