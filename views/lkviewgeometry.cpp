#include "views/lkviewgeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Lookup tables longer than this stay unbuilt: at extreme zooms the
// conversions fall back to the zoom formula instead of allocating hundreds of
// megabytes for a strip of the picture.
constexpr std::int64_t kMaxTableEntries = std::int64_t{1} << 25;

double ClampToInt(double V) {
  if (std::isnan(V)) return 0;
  return std::clamp(V, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
}

}  // namespace

Integer LKTruncClamp(double V) { return static_cast<Integer>(std::trunc(ClampToInt(V))); }

Integer LKRoundEven(double V) { return static_cast<Integer>(std::nearbyint(ClampToInt(V))); }

TLKViewGeometry::TLKViewGeometry() = default;

void TLKViewGeometry::SetZoomXFactors(double Zoom) {
  ZoomX = Zoom;
  zx = Zoom / 100;
  ix = 100 / Zoom;
}

void TLKViewGeometry::SetZoomYFactors(double Zoom) {
  ZoomY = Zoom;
  zy = Zoom / 100;
  iy = 100 / Zoom;
}

void TLKViewGeometry::UpdateLimits(bool Designing) {
  ZW = LKRoundEven(static_cast<double>(BmpW) * zx);
  ZH = LKRoundEven(static_cast<double>(BmpH) * zy);
  OffX = OffY = 0;
  if (Designing) {
    VW = std::min(ZW, W);
    VH = std::min(ZH, H);
    return;
  }
  VW = std::min(ZW, CW);
  VH = std::min(ZH, CH);
  if (Center) {
    if (VW < CW) OffX = (CW - VW) / 2;
    if (VH < CH) OffY = (CH - VH) / 2;
  }
}

void TLKViewGeometry::CalcPaintCoordsEx(Integer& OSX0, Integer& OSY0, Integer& OSW, Integer& OSH, Integer& ODW,
                                        Integer& ODH, Integer AViewX, Integer AViewY) const {
  OSX0 = OSY0 = OSW = OSH = 0;
  if (ZW != 0) {
    const double r = static_cast<double>(BmpW) / ZW;
    OSX0 = LKRoundEven(QuantizeViewX(AViewX) * r);
    OSW = LKRoundEven(VW * r);
    if (static_cast<std::int64_t>(OSX0) + OSW > BmpW) --OSW;
  }
  if (ZH != 0) {
    const double r = static_cast<double>(BmpH) / ZH;
    OSY0 = LKRoundEven(QuantizeViewY(AViewY) * r);
    OSH = LKRoundEven(VH * r);
    if (static_cast<std::int64_t>(OSY0) + OSH > BmpH) --OSH;
  }
  if (ZoomX > 100) {
    ODW = LKTruncClamp(OSW * zx);
    if (ODW < VW && static_cast<std::int64_t>(OSX0) + OSW + 1 <= BmpW) {
      ++OSW;
      ODW = LKTruncClamp(OSW * zx);
    }
  } else {
    ODW = VW;
  }
  if (ZoomY > 100) {
    ODH = LKTruncClamp(OSH * zy);
    if (ODH < VH && static_cast<std::int64_t>(OSY0) + OSH + 1 <= BmpH) {
      ++OSH;
      ODH = LKTruncClamp(OSH * zy);
    }
  } else {
    ODH = VH;
  }
}

void TLKViewGeometry::CalcPaintCoords() { CalcPaintCoordsEx(SX0, SY0, SW, SH, DW, DH, ViewX, ViewY); }

void TLKViewGeometry::FreeTables() {
  FS2BX.clear();
  FS2BY.clear();
  FB2SX.clear();
  FB2SY.clear();
  FLX = FLY = FBX = FBY = 0;
  FS2BPosX = FS2BPosY = FB2SPosX = FB2SPosY = 0;
  FKeyZoomX = FKeyZoomY = -1;
  FKeyDW = FKeyDH = FKeyBmpW = FKeyBmpH = -1;
}

namespace {

// One axis of the tables: screen-to-bitmap (index: zoomed coordinate) and
// bitmap-to-screen (index: bitmap column, value: its first zoomed
// coordinate). False when the tables would be too long.
bool BuildAxis(double Zoom, double z, double i, Integer Z, Integer D, Integer Bmp, std::vector<Integer>& S2B,
               std::vector<Integer>& B2S) {
  const std::int64_t n = static_cast<std::int64_t>(Z) + D + 1;
  const std::int64_t m = static_cast<std::int64_t>(std::trunc(static_cast<double>(n) * i)) + 1;
  if (n <= 0 || m <= 0 || n > kMaxTableEntries || m > kMaxTableEntries) return false;
  S2B.assign(static_cast<std::size_t>(n + 1), 0);
  B2S.assign(static_cast<std::size_t>(m + 1), 0);
  const Integer last = std::max(Bmp - 1, 0);
  if (Zoom > 100) {
    // Downward, so that each column ends with its first zoomed coordinate.
    for (std::int64_t u = n - 1; u >= 0; --u) {
      const auto b = static_cast<std::int64_t>(std::trunc(static_cast<double>(u) * i));
      B2S[static_cast<std::size_t>(b)] = static_cast<Integer>(u);
      S2B[static_cast<std::size_t>(u)] = static_cast<Integer>(std::min<std::int64_t>(b, last));
    }
  } else {
    // Downward, so that each zoomed coordinate ends with the smallest column
    // that maps onto it.
    for (std::int64_t b = m - 1; b >= 0; --b) {
      const auto u = static_cast<std::int64_t>(std::trunc(static_cast<double>(b) * z));
      B2S[static_cast<std::size_t>(b)] = static_cast<Integer>(u);
      if (u <= n) S2B[static_cast<std::size_t>(u)] = static_cast<Integer>(std::min<std::int64_t>(b, last));
    }
  }
  return true;
}

}  // namespace

void TLKViewGeometry::CreateCoordConvLUT(Integer CurW, Integer CurH) {
  if (ZoomX != FKeyZoomX || ZoomY != FKeyZoomY || DW != FKeyDW || DH != FKeyDH || BmpW != FKeyBmpW ||
      BmpH != FKeyBmpH) {
    FreeTables();
    if (DH == 0 || DW == 0 || CurW == 0 || CurH == 0) return;
    if (!BuildAxis(ZoomX, zx, ix, ZW, DW, BmpW, FS2BX, FB2SX) ||
        !BuildAxis(ZoomY, zy, iy, ZH, DH, BmpH, FS2BY, FB2SY)) {
      FreeTables();
      return;
    }
    FLX = DW;
    FLY = DH;
    FBX = LKTruncClamp(DW * ix);
    FBY = LKTruncClamp(DH * iy);
    FKeyZoomX = ZoomX;
    FKeyZoomY = ZoomY;
    FKeyDW = DW;
    FKeyDH = DH;
    FKeyBmpW = BmpW;
    FKeyBmpH = BmpH;
  }
  if (FLX > 0) {
    const Integer qx = QuantizeViewX(ViewX), qy = QuantizeViewY(ViewY);
    FS2BPosX = qx;
    FS2BPosY = qy;
    const auto at = [](const std::vector<Integer>& t, Integer i) {
      return t[std::min(static_cast<std::size_t>(i), t.size() - 1)];
    };
    FB2SPosX = std::max(0, at(FS2BX, qx) - SX0);
    FB2SPosY = std::max(0, at(FS2BY, qy) - SY0);
  }
}

Integer TLKViewGeometry::QuantizeViewX(Integer V) const {
  if (V < 0) V = 0;
  if (V < ZW && !FS2BX.empty() && FLX > 0 && static_cast<std::size_t>(V) < FS2BX.size()) {
    const Integer b = FS2BX[static_cast<std::size_t>(V)];
    if (static_cast<std::size_t>(b) < FB2SX.size()) return FB2SX[static_cast<std::size_t>(b)];
  }
  return V;
}

Integer TLKViewGeometry::QuantizeViewY(Integer V) const {
  if (V < 0) V = 0;
  if (V < ZH && !FS2BY.empty() && FLY > 0 && static_cast<std::size_t>(V) < FS2BY.size()) {
    const Integer b = FS2BY[static_cast<std::size_t>(V)];
    if (static_cast<std::size_t>(b) < FB2SY.size()) return FB2SY[static_cast<std::size_t>(b)];
  }
  return V;
}

Integer TLKViewGeometry::XScr2Bmp(Integer X) const {
  const std::int64_t d = static_cast<std::int64_t>(X) - OffX;
  if (d >= 0 && d < FLX && static_cast<std::size_t>(FS2BPosX + d) < FS2BX.size())
    return FS2BX[static_cast<std::size_t>(FS2BPosX + d)];
  return LKTruncClamp(static_cast<double>(d) * ix + SX0);
}

Integer TLKViewGeometry::YScr2Bmp(Integer Y) const {
  const std::int64_t d = static_cast<std::int64_t>(Y) - OffY;
  if (d >= 0 && d < FLY && static_cast<std::size_t>(FS2BPosY + d) < FS2BY.size())
    return FS2BY[static_cast<std::size_t>(FS2BPosY + d)];
  return LKTruncClamp(static_cast<double>(d) * iy + SY0);
}

// Inside the painted columns the client position is where the renderer put
// the column: its first zoomed coordinate less the quantised origin. Reading
// the table at the column itself keeps the two directions exact inverses of
// each other at every zoom.
Integer TLKViewGeometry::XBmp2Scr(Integer B) const {
  const std::int64_t d = static_cast<std::int64_t>(B) - SX0;
  if (d >= 0 && d < FBX && static_cast<std::size_t>(B) < FB2SX.size())
    return FB2SX[static_cast<std::size_t>(B)] - FS2BPosX + OffX;
  const double q = -static_cast<double>(QuantizeViewX(ViewX)) * ix;
  return LKRoundEven((static_cast<double>(LKRoundEven(q)) + B) * zx + OffX);
}

Integer TLKViewGeometry::YBmp2Scr(Integer B) const {
  const std::int64_t d = static_cast<std::int64_t>(B) - SY0;
  if (d >= 0 && d < FBY && static_cast<std::size_t>(B) < FB2SY.size())
    return FB2SY[static_cast<std::size_t>(B)] - FS2BPosY + OffY;
  const double q = -static_cast<double>(QuantizeViewY(ViewY)) * iy;
  return LKRoundEven((static_cast<double>(LKRoundEven(q)) + B) * zy + OffY);
}

void TLKViewGeometry::GetMaxViewXY(Integer& MaxX, Integer& MaxY) const {
  Integer a = LKTruncClamp(BmpW * zx), b = LKTruncClamp(BmpH * zy);
  // A picture larger than the client area by more than 10 pixels may be
  // scrolled one bitmap pixel further.
  const bool widerX = static_cast<std::int64_t>(CW) + 10 < a, widerY = static_cast<std::int64_t>(CH) + 10 < b;
  if (ZoomX != ZoomY) {
    if (widerX) a = LKTruncClamp((BmpW + 1.0) * zx);
    if (widerY) b = LKTruncClamp((BmpH + 1.0) * zy);
  } else if (widerX || widerY) {
    a = LKTruncClamp((BmpW + 1.0) * zx);
    b = LKTruncClamp((BmpH + 1.0) * zy);
  }
  MaxX = MaxY = 0;
  if (a < 1 || b < 1) return;
  MaxX = a - CW;
  MaxY = b - CH;
  if (MaxX < 0 || XScr2Bmp(MaxX) == 0) MaxX = 0;
  if (MaxY < 0 || YScr2Bmp(MaxY) == 0) MaxY = 0;
  // A picture that fits the outer size (scroll-bar room included) needs no
  // scrolling.
  if (ZoomX != ZoomY) {
    if (a <= W) MaxX = 0;
    if (b <= H) MaxY = 0;
  } else if (a <= W && b <= H) {
    MaxX = MaxY = 0;
  }
}

void TLKViewGeometry::ZoomKeepingCentre(double Z, bool DoX, bool DoY) {
  const Integer hw = CW / 2, hh = CH / 2;
  // The new origin is only kept non-negative here; the caller's Update
  // lowers it to the maximum of the new zoom. (Limiting it by the old zoom's
  // maximum would pin a fitted picture to its top-left corner when zooming
  // in.)
  if (DoX) {
    const double cx = LKRoundEven((static_cast<double>(ViewX) + hw - OffX) * ix);
    ViewX = std::max(LKTruncClamp(cx * Z / 100 - hw), 0);
    SetZoomXFactors(Z);
  }
  if (DoY) {
    const double cy = LKRoundEven((static_cast<double>(ViewY) + hh - OffY) * iy);
    ViewY = std::max(LKTruncClamp(cy * Z / 100 - hh), 0);
    SetZoomYFactors(Z);
  }
}

void LKCalcEdges(const TLKViewGeometry& G, const TLKFitEdges& E, Integer EdgeX, Integer EdgeY, Integer BorderX,
                 Integer BorderY, bool UseBorderX, bool UseBorderY, Integer& EX, Integer& EY) {
  if (E.Cropped) {
    EX = EdgeX;
    EY = EdgeY;
    return;
  }
  if (E.CropShadow) {
    EX = EY = 5;
    return;
  }
  EX = UseBorderX ? (E.BorderNone ? 0 : E.Ctl3D ? EdgeX : BorderX) : (G.W - G.CW) / 2;
  EY = UseBorderY ? (E.BorderNone ? 0 : E.Ctl3D ? EdgeY : BorderY) : (G.H - G.CH) / 2;
}

Integer LKScrollTarget(TLKScrollCommand Command, Integer Pos, Integer Origin, Integer Max, double Zoom,
                       Integer Client, Integer LineStep, Integer PageStep) {
  const std::int64_t u = std::max(LKTruncClamp(Zoom), 1);
  const std::int64_t line = u * (LineStep == -1 ? 1 : LineStep);
  const std::int64_t page = PageStep == -1 ? Client : u * PageStep;
  std::int64_t v = Origin;
  switch (Command) {
    case lkscPosition: v = Pos; break;
    case lkscBottom: v = Max; break;
    case lkscTop: v = 0; break;
    case lkscLineDown: v = Origin + line; break;
    case lkscLineUp: v = Origin - line; break;
    case lkscPageDown: v = Origin + page; break;
    case lkscPageUp: v = Origin - page; break;
  }
  return static_cast<Integer>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}
