// The canvas's rasteriser: stored values, colour matching, pen modes, shape
// spans and the stretching copy.
#include "platform/canvas_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

namespace raster {

Cardinal ValueMask(Integer bpp) {
  switch (bpp) {
    case 1: return 0x1;
    case 4: return 0xF;
    case 8: return 0xFF;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    default: return 0xFFFFFF;
  }
}

Cardinal ReadValue(const Byte* row, Integer x, Integer bpp) {
  switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? (row[x >> 1] & 0xFu) : (row[x >> 1] >> 4);
    case 8: return row[x];
    case 15:
    case 16: {
      const Byte* p = row + 2 * static_cast<std::size_t>(x);
      return static_cast<Cardinal>(p[0] | (p[1] << 8));
    }
    case 24: {
      const Byte* p = row + 3 * static_cast<std::size_t>(x);
      return static_cast<Cardinal>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    default: {
      const Byte* p = row + 4 * static_cast<std::size_t>(x);
      return static_cast<Cardinal>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  }
}

void WriteValue(Byte* row, Integer x, Integer bpp, Cardinal v) {
  switch (bpp) {
    case 1: {
      Byte bit = static_cast<Byte>(0x80u >> (x & 7));
      if (v & 1) row[x >> 3] |= bit; else row[x >> 3] &= static_cast<Byte>(~bit);
      break;
    }
    case 4: {
      Byte& b = row[x >> 1];
      if (x & 1) b = static_cast<Byte>((b & 0xF0) | (v & 0xF));
      else b = static_cast<Byte>((b & 0x0F) | ((v & 0xF) << 4));
      break;
    }
    case 8: row[x] = static_cast<Byte>(v); break;
    case 15:
    case 16: {
      Byte* p = row + 2 * static_cast<std::size_t>(x);
      p[0] = static_cast<Byte>(v);
      p[1] = static_cast<Byte>(v >> 8);
      break;
    }
    case 24: {
      Byte* p = row + 3 * static_cast<std::size_t>(x);
      p[0] = static_cast<Byte>(v);
      p[1] = static_cast<Byte>(v >> 8);
      p[2] = static_cast<Byte>(v >> 16);
      break;
    }
    default: {
      Byte* p = row + 4 * static_cast<std::size_t>(x);
      p[0] = static_cast<Byte>(v);
      p[1] = static_cast<Byte>(v >> 8);
      p[2] = static_cast<Byte>(v >> 16);
      break;
    }
  }
}

Cardinal NearestIndex(std::span<const TRGBQuad> pal, Byte r, Byte g, Byte b) {
  Cardinal best = 0;
  Integer bestD = 0x7FFFFFFF;
  for (std::size_t i = 0; i < pal.size(); ++i) {
    Integer dr = pal[i].rgbRed - r, dg = pal[i].rgbGreen - g, db = pal[i].rgbBlue - b;
    Integer d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = static_cast<Cardinal>(i);
      if (d == 0) break;
    }
  }
  return best;
}

Cardinal ColorToValue(TColor color, Integer bpp, std::span<const TRGBQuad> pal) {
  const Cardinal c = static_cast<Cardinal>(ColorToRGB(color));
  const bool indexed = bpp <= 8;
  if ((c >> 24) == 0x01) {  // index into the surface's colour table
    Cardinal i = c & 0xFFFF;
    if (indexed) return pal.empty() ? 0 : std::min<Cardinal>(i, static_cast<Cardinal>(pal.size() - 1));
    return 0;  // no table: black
  }
  const Byte r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (bpp) {
    case 1:
    case 4:
    case 8: return NearestIndex(pal, r, g, b);
    case 15: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case 16: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return (static_cast<Cardinal>(r) << 16) | (g << 8) | b;
  }
}

TColor ValueToColor(Cardinal v, Integer bpp, std::span<const TRGBQuad> pal) {
  switch (bpp) {
    case 1:
    case 4:
    case 8: return v < pal.size() ? RGBQuadToColor(pal[v]) : clBlack;
    case 15:
      return RGB(static_cast<Byte>(((v >> 10) & 31) << 3), static_cast<Byte>(((v >> 5) & 31) << 3),
                 static_cast<Byte>((v & 31) << 3));
    case 16:
      return RGB(static_cast<Byte>((v >> 11) << 3), static_cast<Byte>(((v >> 5) & 63) << 2),
                 static_cast<Byte>((v & 31) << 3));
    default: return RGB(static_cast<Byte>(v >> 16), static_cast<Byte>(v >> 8), static_cast<Byte>(v));
  }
}

Region Region::FromPolygon(std::span<const TPoint> pts, const TRect& limit) {
  Region r;
  if (pts.empty()) return r;
  Int64 l = pts[0].X, t = pts[0].Y, rt = pts[0].X, b = pts[0].Y;
  for (const TPoint& p : pts) {
    l = std::min<Int64>(l, p.X);
    rt = std::max<Int64>(rt, p.X);
    t = std::min<Int64>(t, p.Y);
    b = std::max<Int64>(b, p.Y);
  }
  r.box.Left = static_cast<Integer>(std::max<Int64>(l, limit.Left));
  r.box.Top = static_cast<Integer>(std::max<Int64>(t, limit.Top));
  r.box.Right = static_cast<Integer>(std::max<Int64>(std::min<Int64>(rt, limit.Right), r.box.Left));
  r.box.Bottom = static_cast<Integer>(std::max<Int64>(std::min<Int64>(b, limit.Bottom), r.box.Top));
  const std::size_t w = static_cast<std::size_t>(r.box.Right - r.box.Left);
  r.bits.assign(w * static_cast<std::size_t>(r.box.Bottom - r.box.Top), 0);
  PolygonRuns(pts, r.box, [&](Integer y, Integer x0, Integer x1) {
    Byte* row = r.bits.data() + static_cast<std::size_t>(y - r.box.Top) * w;
    std::fill(row + (x0 - r.box.Left), row + (x1 - r.box.Left), Byte{1});
  });
  return r;
}

Target::Target(TPixelSurface* surface, const TRect& clipRect, const Region* clipRegion)
    : s(surface), region(clipRegion) {
  if (!s) return;
  w = s->SurfaceWidth();
  h = s->SurfaceHeight();
  bpp = s->SurfaceBitsPerPixel();
  pal = s->SurfacePalette();
  mask = ValueMask(bpp);
  TRect c = clipRect;
  if (region) {
    c.Left = std::max(c.Left, region->box.Left);
    c.Top = std::max(c.Top, region->box.Top);
    c.Right = std::min(c.Right, region->box.Right);
    c.Bottom = std::min(c.Bottom, region->box.Bottom);
  }
  clip.Left = std::clamp(c.Left, 0, w);
  clip.Right = std::clamp(c.Right, clip.Left, w);
  clip.Top = std::clamp(c.Top, 0, h);
  clip.Bottom = std::clamp(c.Bottom, clip.Top, h);
}

Painter::Painter(const Target& t, TPenMode mode, TColor color)
    : Painter(t, mode, t.Value(color), true) {}

Painter::Painter(const Target& t, TPenMode mode, Cardinal value, bool)
    : t_(t), mode_(mode), value_(value & t.mask), black_(t.Value(clBlack)), white_(t.Value(clWhite)) {}

Cardinal Painter::Apply(Cardinal d) const {
  const Cardinal p = value_, m = t_.mask;
  switch (mode_) {
    case pmBlack: return black_;
    case pmWhite: return white_;
    case pmNop: return d;
    case pmNot: return ~d & m;
    case pmCopy: return p;
    case pmNotCopy: return ~p & m;
    case pmMergePenNot: return (p | ~d) & m;
    case pmMaskPenNot: return (p & ~d) & m;
    case pmMergeNotPen: return (~p | d) & m;
    case pmMaskNotPen: return (~p & d) & m;
    case pmMerge: return (p | d) & m;
    case pmNotMerge: return ~(p | d) & m;
    case pmMask: return p & d;
    case pmNotMask: return ~(p & d) & m;
    case pmXor: return (p ^ d) & m;
    case pmNotXor: return ~(p ^ d) & m;
  }
  return d;
}

void Painter::Span(Integer y, Integer x0, Integer x1) const {
  if (y < t_.clip.Top || y >= t_.clip.Bottom || mode_ == pmNop) return;
  x0 = std::max(x0, t_.clip.Left);
  x1 = std::min(x1, t_.clip.Right);
  if (x0 >= x1) return;
  Byte* row = t_.s->SurfaceRow(y);
  if (!t_.region) {
    RawSpan(row, x0, x1);
    return;
  }
  // Split the run at the region's edges.
  Integer x = x0;
  while (x < x1) {
    while (x < x1 && !t_.region->Has(x, y)) ++x;
    Integer e = x;
    while (e < x1 && t_.region->Has(e, y)) ++e;
    if (x < e) RawSpan(row, x, e);
    x = e;
  }
}

void Painter::RawSpan(Byte* row, Integer x0, Integer x1) const {
  const bool constant = mode_ == pmCopy || mode_ == pmNotCopy || mode_ == pmBlack || mode_ == pmWhite;
  if (constant) {
    const Cardinal v = Apply(0);
    if (t_.bpp == 8) {
      std::memset(row + x0, static_cast<int>(v), static_cast<std::size_t>(x1 - x0));
      return;
    }
    if (t_.bpp == 24) {
      Byte* p = row + 3 * static_cast<std::size_t>(x0);
      const Byte b0 = static_cast<Byte>(v), b1 = static_cast<Byte>(v >> 8), b2 = static_cast<Byte>(v >> 16);
      for (Integer x = x0; x < x1; ++x, p += 3) {
        p[0] = b0;
        p[1] = b1;
        p[2] = b2;
      }
      return;
    }
    for (Integer x = x0; x < x1; ++x) WriteValue(row, x, t_.bpp, v);
    return;
  }
  for (Integer x = x0; x < x1; ++x) WriteValue(row, x, t_.bpp, Apply(ReadValue(row, x, t_.bpp)));
}

void Painter::Pixel(Integer x, Integer y) const {
  if (!t_.Inside(x, y)) return;
  Byte* row = t_.s->SurfaceRow(y);
  WriteValue(row, x, t_.bpp, Apply(ReadValue(row, x, t_.bpp)));
}

bool HatchBit(TBrushStyle style, Integer x, Integer y) {
  const Integer u = x & 7, v = y & 7;
  switch (style) {
    case bsHorizontal: return v == 3;
    case bsVertical: return u == 3;
    case bsFDiagonal: return u == v;
    case bsBDiagonal: return u + v == 7;
    case bsCross: return u == 3 || v == 3;
    case bsDiagCross: return u == v || u + v == 7;
    default: return false;
  }
}

void Painter::HatchSpan(Integer y, Integer x0, Integer x1, TBrushStyle style) const {
  if (y < t_.clip.Top || y >= t_.clip.Bottom) return;
  x0 = std::max(x0, t_.clip.Left);
  x1 = std::min(x1, t_.clip.Right);
  for (Integer x = x0; x < x1; ++x)
    if (HatchBit(style, x, y)) Pixel(x, y);
}

namespace {

// Left edge of row y of the ellipse in the box (continuous edges): the first
// pixel whose centre lies inside; thin rows keep their centre pixel(s), so
// the shape touches all four sides of its box. Rows mirror about the centre.
Integer EllipseLeft(Integer x1, Integer y1, Integer x2, Integer y2, Integer y) {
  const Int64 mirror = static_cast<Int64>(y1) + y2 - 1 - y;
  const Int64 yy = std::min<Int64>(y, mirror);
  const double cx = (static_cast<double>(x1) + x2) / 2, cy = (static_cast<double>(y1) + y2) / 2;
  const double a = (static_cast<double>(x2) - x1) / 2, b = (static_cast<double>(y2) - y1) / 2;
  const double t = (static_cast<double>(yy) + 0.5 - cy) / b;
  const double half = a * std::sqrt(std::max(0.0, 1.0 - t * t));
  const Int64 sumX = static_cast<Int64>(x1) + x2 - 1;
  const Int64 centreL = sumX >= 0 ? sumX / 2 : -((-sumX + 1) / 2);
  Int64 l = static_cast<Int64>(std::ceil(cx - half - 0.5));
  l = std::max<Int64>(std::min(l, centreL), x1);
  return static_cast<Integer>(l);
}

}  // namespace

Spans EllipseSpans(Integer x1, Integer y1, Integer x2, Integer y2, Integer r0, Integer r1) {
  Spans s;
  r0 = std::max(r0, y1);
  r1 = std::min(r1, y2);
  s.Top = r0;
  if (r0 >= r1 || x2 <= x1) return s;
  const Int64 sumX = static_cast<Int64>(x1) + x2 - 1;
  for (Integer y = r0; y < r1; ++y) {
    const Integer l = EllipseLeft(x1, y1, x2, y2, y);
    s.L.push_back(l);
    s.R.push_back(static_cast<Integer>(sumX - l));
  }
  return s;
}

Spans RoundRectSpans(Integer x1, Integer y1, Integer x2, Integer y2, Integer ew, Integer eh, Integer r0,
                     Integer r1) {
  Spans s;
  r0 = std::max(r0, y1);
  r1 = std::min(r1, y2);
  s.Top = r0;
  const Int64 w = static_cast<Int64>(x2) - x1, h = static_cast<Int64>(y2) - y1;
  if (w <= 0 || h <= 0 || r0 >= r1) return s;
  ew = static_cast<Integer>(std::min<Int64>(std::abs(static_cast<Int64>(ew)), w));
  eh = static_cast<Integer>(std::min<Int64>(std::abs(static_cast<Int64>(eh)), h));
  for (Integer y = r0; y < r1; ++y) {
    const Int64 i = static_cast<Int64>(y) - y1;
    Int64 inset = 0;
    if (ew > 1 && eh > 1) {
      Int64 er = -1;
      if (i < eh / 2) er = i;
      else if (h - 1 - i < eh / 2) er = eh - (h - i);
      if (er >= 0) inset = EllipseLeft(0, 0, ew, eh, static_cast<Integer>(er));
    }
    s.L.push_back(static_cast<Integer>(x1 + inset));
    s.R.push_back(static_cast<Integer>(x2 - 1 - inset));
  }
  return s;
}

void PolygonRuns(std::span<const TPoint> pts, const TRect& clip,
                 const std::function<void(Integer, Integer, Integer)>& f) {
  if (pts.size() < 3) return;
  Integer top = pts[0].Y, bottom = pts[0].Y;
  for (const TPoint& p : pts) {
    top = std::min(top, p.Y);
    bottom = std::max(bottom, p.Y);
  }
  top = std::max(top, clip.Top);
  bottom = std::min(bottom, clip.Bottom);
  std::vector<double> xs;
  const std::size_t n = pts.size();
  for (Integer y = top; y < bottom; ++y) {
    const double yc = y + 0.5;
    xs.clear();
    for (std::size_t i = 0; i < n; ++i) {
      const TPoint& a = pts[i];
      const TPoint& b = pts[(i + 1) % n];
      if (a.Y == b.Y) continue;
      const double ya = a.Y, yb = b.Y;
      if ((yc >= ya && yc < yb) || (yc >= yb && yc < ya))
        xs.push_back(a.X + (yc - ya) * (static_cast<double>(b.X) - a.X) / (yb - ya));
    }
    std::sort(xs.begin(), xs.end());
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
      const double l = std::max(std::ceil(xs[i] - 0.5), static_cast<double>(clip.Left));
      const double r = std::min(std::ceil(xs[i + 1] - 0.5), static_cast<double>(clip.Right));
      if (l < r) f(y, static_cast<Integer>(l), static_cast<Integer>(r));
    }
  }
}

namespace {

Cardinal Rop3(Cardinal code, Cardinal p, Cardinal s, Cardinal d) {
  switch (code) {
    case 0xCC: return s;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x33: return ~s;
    case 0x55: return ~d;
    case 0x44: return s & ~d;
    case 0x11: return ~(s | d);
    case 0xC0: return p & s;
    case 0xBB: return ~s | d;
    case 0xF0: return p;
    case 0x5A: return p ^ d;
    case 0xAA: return d;
    default: break;
  }
  // Generic: bit i of the code is the result for pattern bit (i >> 2),
  // source bit (i >> 1) & 1 and destination bit i & 1.
  Cardinal r = 0;
  for (Cardinal i = 0; i < 8; ++i)
    if ((code >> i) & 1u) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

// Maps source pixel values to destination values, exactly when both
// formats and colour tables agree.
class ValueMapper {
 public:
  ValueMapper(TPixelSurface* src, const Target& t)
      : sbpp_(src->SurfaceBitsPerPixel()), spal_(src->SurfacePalette()), t_(t) {
    same_ = sbpp_ == t.bpp && (sbpp_ > 8 || std::equal(spal_.begin(), spal_.end(), t.pal.begin(), t.pal.end()));
  }
  bool Same() const { return same_; }
  Integer SrcBpp() const { return sbpp_; }
  TColor ColorOf(Cardinal v) const { return ValueToColor(v, sbpp_, spal_); }
  Cardinal Map(Cardinal v) {
    if (same_) return v;
    const TColor c = ValueToColor(v, sbpp_, spal_);
    if (t_.bpp > 8) return ColorToValue(c, t_.bpp, t_.pal);
    auto it = cache_.find(c);
    if (it != cache_.end()) return it->second;
    Cardinal r = ColorToValue(c, t_.bpp, t_.pal);
    if (cache_.size() < 65536) cache_.emplace(c, r);
    return r;
  }

 private:
  Integer sbpp_;
  std::span<const TRGBQuad> spal_;
  const Target& t_;
  bool same_;
  std::unordered_map<TColor, Cardinal> cache_;
};

}  // namespace

void StretchBlit(const Target& t, const TRect& dr, TPixelSurface* src, const TRect& sr, Cardinal rop,
                 Cardinal brushValue, TColor transparentColor) {
  if (!t.s) return;
  const Int64 dw = static_cast<Int64>(dr.Right) - dr.Left, dh = static_cast<Int64>(dr.Bottom) - dr.Top;
  const Int64 sw = static_cast<Int64>(sr.Right) - sr.Left, sh = static_cast<Int64>(sr.Bottom) - sr.Top;
  const Cardinal code = (rop >> 16) & 0xFF;
  const bool usesSource = ((code >> 2) & 0x33) != (code & 0x33);
  if (dw == 0 || dh == 0) return;
  if (usesSource && (!src || sw == 0 || sh == 0)) return;
  const bool mirrorX = (dw < 0) != (sw < 0), mirrorY = (dh < 0) != (sh < 0);
  const Int64 adw = std::abs(dw), adh = std::abs(dh), asw = std::abs(sw), ash = std::abs(sh);
  const Int64 dl = std::min<Int64>(dr.Left, dr.Right), dt = std::min<Int64>(dr.Top, dr.Bottom);
  const Int64 sl = std::min<Int64>(sr.Left, sr.Right), st = std::min<Int64>(sr.Top, sr.Bottom);
  // Destination pixels to visit.
  const Int64 x0 = std::max<Int64>(dl, t.clip.Left), x1 = std::min<Int64>(dl + adw, t.clip.Right);
  const Int64 y0 = std::max<Int64>(dt, t.clip.Top), y1 = std::min<Int64>(dt + adh, t.clip.Bottom);
  if (x0 >= x1 || y0 >= y1) return;
  const Cardinal m = t.mask;
  const Cardinal black = t.Value(clBlack), white = t.Value(clWhite);
  if (code == 0x00 || code == 0xFF) {
    const Painter fill(t, pmCopy, code == 0 ? black : white, true);  // clipped to the region too
    for (Int64 y = y0; y < y1; ++y) fill.Span(static_cast<Integer>(y), static_cast<Integer>(x0), static_cast<Integer>(x1));
    return;
  }
  // Source column and row of each destination pixel (centre sampling).
  // Rectangles may span the whole 32-bit range: the product needs 128 bits.
  auto srcIndex = [](Int64 i, Int64 dn, Int64 sn, bool mirror) {
    const Int64 j = static_cast<Int64>((static_cast<__int128>(2 * i + 1) * sn) / (2 * dn));
    return mirror ? sn - 1 - j : j;
  };
  std::vector<Int64> colMap(static_cast<std::size_t>(x1 - x0));
  if (usesSource)
    for (Int64 x = x0; x < x1; ++x) colMap[static_cast<std::size_t>(x - x0)] = sl + srcIndex(x - dl, adw, asw, mirrorX);
  // A copy within one surface reads from a snapshot of the source rows.
  const Integer srcW = usesSource ? src->SurfaceWidth() : 0, srcH = usesSource ? src->SurfaceHeight() : 0;
  std::vector<Byte> snapshot;
  Int64 snapTop = 0, snapRows = 0;
  std::size_t snapStride = 0;
  if (usesSource && src == t.s) {
    snapTop = std::clamp<Int64>(st, 0, srcH);
    snapRows = std::clamp<Int64>(st + ash, 0, srcH) - snapTop;
    snapStride = static_cast<std::size_t>(BytesPerScanline(srcW, src->SurfaceBitsPerPixel() == 15 ? 16 : src->SurfaceBitsPerPixel()));
    snapshot.resize(static_cast<std::size_t>(snapRows) * snapStride);
    for (Int64 r = 0; r < snapRows; ++r)
      std::memcpy(snapshot.data() + static_cast<std::size_t>(r) * snapStride, src->SurfaceRow(static_cast<Integer>(snapTop + r)), snapStride);
  }
  auto srcRow = [&](Int64 y) -> const Byte* {
    if (y < 0 || y >= srcH) return nullptr;
    if (src == t.s) {
      if (y < snapTop || y >= snapTop + snapRows) return nullptr;
      return snapshot.data() + static_cast<std::size_t>(y - snapTop) * snapStride;
    }
    return src->SurfaceRow(static_cast<Integer>(y));
  };
  std::unique_ptr<ValueMapper> mapper;
  if (usesSource) mapper = std::make_unique<ValueMapper>(src, t);
  const bool transparent = usesSource && transparentColor != clNone;
  const TColor transparentRGB = transparent ? (ColorToRGB(transparentColor) & 0xFFFFFF) : 0;
  const Cardinal srcBlack = usesSource ? mapper->Map(0) : 0;
  const Cardinal p = brushValue & m;
  const bool plainCopy = code == 0xCC && !transparent;
  for (Int64 y = y0; y < y1; ++y) {
    Byte* drow = t.s->SurfaceRow(static_cast<Integer>(y));
    const Byte* srow = nullptr;
    if (usesSource) srow = srcRow(st + srcIndex(y - dt, adh, ash, mirrorY));
    // Fast path: unstretched copy between equal formats and tables.
    if (plainCopy && !t.region && srow && mapper->Same() && adw == asw && !mirrorX && t.bpp >= 8 && sl >= 0 &&
        sl + asw <= srcW) {
      const Integer bytes = t.bpp == 15 ? 2 : t.bpp / 8;
      const Int64 sx = colMap[0];
      std::memmove(drow + static_cast<std::size_t>(x0) * bytes, srow + static_cast<std::size_t>(sx) * bytes,
                   static_cast<std::size_t>(x1 - x0) * bytes);
      continue;
    }
    for (Int64 x = x0; x < x1; ++x) {
      if (t.region && !t.region->Has(static_cast<Integer>(x), static_cast<Integer>(y))) continue;
      Cardinal s = 0;
      if (usesSource) {
        const Int64 sx = colMap[static_cast<std::size_t>(x - x0)];
        if (srow && sx >= 0 && sx < srcW) {
          const Cardinal sv = ReadValue(srow, static_cast<Integer>(sx), mapper->SrcBpp());
          if (transparent && (mapper->ColorOf(sv) & 0xFFFFFF) == transparentRGB) continue;
          s = mapper->Map(sv);
        } else {
          s = srcBlack;
        }
      }
      const Integer xi = static_cast<Integer>(x);
      const Cardinal d = code == 0xCC ? 0 : ReadValue(drow, xi, t.bpp);
      WriteValue(drow, xi, t.bpp, Rop3(code, p, s, d) & m);
    }
  }
}

}  // namespace raster
