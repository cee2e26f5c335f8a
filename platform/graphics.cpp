// Colours, pens, brushes, fonts, the canvas, bitmaps and pictures.
#include "platform/graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/atomicfile.h"
#include "platform/canvas_raster.h"
#include "platform/sysutils.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

namespace {

// Fixed values of the system colours, by index (a light, neutral scheme).
constexpr TColor kSystemColors[] = {
    RGB(200, 200, 200),  //  0 scroll bar
    RGB(0, 128, 128),    //  1 desktop
    RGB(0, 84, 166),     //  2 active caption
    RGB(191, 205, 219),  //  3 inactive caption
    RGB(240, 240, 240),  //  4 menu
    RGB(255, 255, 255),  //  5 window
    RGB(100, 100, 100),  //  6 window frame
    RGB(0, 0, 0),        //  7 menu text
    RGB(0, 0, 0),        //  8 window text
    RGB(255, 255, 255),  //  9 caption text
    RGB(180, 180, 180),  // 10 active border
    RGB(244, 247, 252),  // 11 inactive border
    RGB(171, 171, 171),  // 12 application work space
    RGB(0, 120, 215),    // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(240, 240, 240),  // 15 button face
    RGB(160, 160, 160),  // 16 button shadow
    RGB(109, 109, 109),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(0, 0, 0),        // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(105, 105, 105),  // 21 3D dark shadow
    RGB(227, 227, 227),  // 22 3D light
    RGB(0, 0, 0),        // 23 tool-tip text
    RGB(255, 255, 225),  // 24 tool-tip background
    RGB(0, 0, 0),        // 25 (unused)
    RGB(0, 102, 204),    // 26 hot-tracked item
    RGB(185, 209, 234),  // 27 active caption gradient
    RGB(215, 228, 242),  // 28 inactive caption gradient
    RGB(51, 153, 255),   // 29 menu highlight
    RGB(240, 240, 240),  // 30 menu bar
};

}  // namespace

TColor ColorToRGB(TColor Color) {
  if (Color >= 0) return Color;
  const Cardinal index = static_cast<Cardinal>(Color) & 0xFF;
  return index < std::size(kSystemColors) ? kSystemColors[index] : clBlack;
}

TRGBQuad ColorToRGBQuad(TColor Color) {
  const TColor c = ColorToRGB(Color);
  return TRGBQuad{GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

// ---------------------------------------------------------------------------
// Pens, brushes, fonts
// ---------------------------------------------------------------------------

void TPen::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

void TPen::SetWidth(Integer Value) {
  Value = std::max(Value, 1);
  if (FWidth == Value) return;
  FWidth = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

void TPen::SetMode(TPenMode Value) {
  if (FMode == Value) return;
  FMode = Value;
  Changed();
}

void TPen::Assign(const TPen* Source) {
  if (!Source || Source == this) return;
  FColor = Source->FColor;
  FWidth = Source->FWidth;
  FStyle = Source->FStyle;
  FMode = Source->FMode;
  Changed();
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) Assign(static_cast<const TPen*>(p));
  else TPersistent::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
  if (FColor == Value && FStyle != bsClear) return;
  FColor = Value;
  if (FStyle == bsClear) FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

void TBrush::Assign(const TBrush* Source) {
  if (!Source || Source == this) return;
  FColor = Source->FColor;
  FStyle = Source->FStyle;
  Changed();
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) Assign(static_cast<const TBrush*>(b));
  else TPersistent::Assign(Source);
}

void TFont::Touch() {
  ++FGeneration;
  Changed();
}

void TFont::SetName(const String& Value) {
  if (FName == Value) return;
  FName = Value;
  Touch();
}

Integer TFont::GetSize() const {
  // Size = -Height x 72 / 96, rounded half away from zero.
  const Int64 num = -static_cast<Int64>(FHeight) * 72;
  const Int64 den = ScreenPixelsPerInch;
  return static_cast<Integer>(num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den));
}

void TFont::SetSize(Integer Value) {
  const Int64 num = -static_cast<Int64>(Value) * ScreenPixelsPerInch;
  const Int64 h = num >= 0 ? (num + 36) / 72 : -((-num + 36) / 72);
  SetHeight(static_cast<Integer>(std::clamp<Int64>(h, -100000, 100000)));
}

void TFont::SetHeight(Integer Value) {
  if (FHeight == Value) return;
  FHeight = Value;
  Touch();
}

void TFont::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Touch();
}

void TFont::SetCharset(TFontCharset Value) {
  if (FCharset == Value) return;
  FCharset = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (FPitch == Value) return;
  FPitch = Value;
  Touch();
}

void TFont::SetOrientation(Integer Value) {
  if (FOrientation == Value) return;
  FOrientation = Value;
  Touch();
}

void TFont::Assign(const TFont* Source) {
  if (!Source || Source == this) return;
  FName = Source->FName;
  FHeight = Source->FHeight;
  FColor = Source->FColor;
  FStyle = Source->FStyle;
  FCharset = Source->FCharset;
  FPitch = Source->FPitch;
  FOrientation = Source->FOrientation;
  Touch();
}

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) Assign(static_cast<const TFont*>(f));
  else TPersistent::Assign(Source);
}

namespace {

QFont BaseQFont(const TFont& Font, Integer pixelSize) {
  QFont f(QString::fromStdString(Font.GetName()));
  f.setPixelSize(std::max(pixelSize, 1));
  f.setBold(Font.GetStyle().Contains(fsBold));
  f.setItalic(Font.GetStyle().Contains(fsItalic));
  f.setUnderline(Font.GetStyle().Contains(fsUnderline));
  f.setStrikeOut(Font.GetStyle().Contains(fsStrikeOut));
  if (Font.GetPitch() == fpFixed) f.setFixedPitch(true);
  f.setStyleStrategy(QFont::NoAntialias);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

}  // namespace

QFont FontToQFont(const TFont& Font) {
  const Integer h = Font.GetHeight();
  if (h < 0) return BaseQFont(Font, -h);
  if (h == 0) return BaseQFont(Font, 16);
  // A positive height is the whole cell: the largest size whose line fits
  // (line heights grow with the size, so a binary search finds it).
  const Integer cell = std::min(h, 2000);
  Integer lo = 1, hi = cell;
  while (lo < hi) {
    const Integer mid = (lo + hi + 1) / 2;
    if (QFontMetrics(BaseQFont(Font, mid)).height() <= cell) lo = mid;
    else hi = mid - 1;
  }
  return BaseQFont(Font, lo);
}

// ---------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------

// Text state of a canvas, and what its text drawing learnt. Fonts, text
// extents and glyph masks are kept by what they depend on (the font's
// description, the orientation, the text), so that a view that draws the
// same labels at every repaint lays out and rasterises each of them once;
// each table is emptied when it fills up.
struct TCanvas::TextCache {
  const TFont* font = nullptr;
  Cardinal generation = 0;
  std::optional<QFont> qfont;
  std::optional<QFontMetrics> metrics;
  std::string key;  // the description of qfont
  std::unordered_map<std::string, QFont> fonts;
  std::unordered_map<std::string, TSize> extents;
  /// Glyph pixels (alpha >= 128) over Box, relative to the text's origin.
  struct Mask {
    TRect box;
    std::vector<Byte> bits;
  };
  std::unordered_map<std::string, Mask> masks;
  /// The mask of Text in the current font turned by Font's orientation.
  const Mask& GlyphMask(const TFont& Font, const String& Text, TSize Extent);
  template <class Map>
  static void Bound(Map& M, std::size_t Most) {
    if (M.size() >= Most) M.clear();
  }
};

TCanvas::TCanvas(TPixelSurface* Surface)
    : FSurface(Surface), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()),
      FFont(std::make_unique<TFont>()) {}

TCanvas::~TCanvas() = default;

void TCanvas::SetSurface(TPixelSurface* Surface) {
  FSurface = Surface;
  ResetClipRect();
}

raster::Target TCanvas::MakeTarget() const {
  return raster::Target(FSurface, FHasClip ? FClip : TRect{0, 0, INT32_MAX, INT32_MAX}, FRegion.get());
}

TRect TCanvas::GetClipRect() const {
  if (!FSurface) return TRect{};
  return MakeTarget().clip;
}

void TCanvas::SetClipRect(const TRect& Rect) {
  FClip = Rect;
  FHasClip = true;
}

void TCanvas::SetClipRegion(std::span<const TPoint> Polygon) {
  // Only the part on the surface is kept (nothing without a surface).
  const TRect limit = FSurface ? TRect{0, 0, FSurface->SurfaceWidth(), FSurface->SurfaceHeight()} : TRect{};
  FRegion = std::make_unique<raster::Region>(raster::Region::FromPolygon(Polygon, limit));
}

void TCanvas::ResetClipRect() {
  FHasClip = false;
  FRegion.reset();
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
  if (FSurface) FSurface->SurfaceChanged();
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

namespace {

// Dash patterns of styled one-pixel pens: alternating on and off lengths.
std::span<const Integer> DashPattern(TPenStyle style) {
  static constexpr Integer dash[] = {18, 6};
  static constexpr Integer dot[] = {3, 3};
  static constexpr Integer dashDot[] = {9, 6, 3, 6};
  static constexpr Integer dashDotDot[] = {9, 3, 3, 3, 3, 3};
  switch (style) {
    case psDash: return dash;
    case psDot: return dot;
    case psDashDot: return dashDot;
    case psDashDotDot: return dashDotDot;
    default: return {};
  }
}

// Every dash pattern repeats within this many pixels.
constexpr Int64 kDashCycle = 24;

bool DashOn(std::span<const Integer> pattern, Int64 pos) {
  Integer total = 0;
  for (Integer n : pattern) total += n;
  pos %= total;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pos < pattern[i]) return (i % 2) == 0;
    pos -= pattern[i];
  }
  return true;
}

// A set of pixels collected before painting, so a pixel covered twice by a
// wide pen is still painted once.
class PixelSet {
 public:
  explicit PixelSet(const TRect& area) : a_(area), w_(std::max(area.Width(), 0)), h_(std::max(area.Height(), 0)) {
    bits_.assign(static_cast<std::size_t>(w_) * h_, 0);
  }
  void Add(Integer x, Integer y) {
    if (x < a_.Left || x >= a_.Right || y < a_.Top || y >= a_.Bottom) return;
    bits_[static_cast<std::size_t>(y - a_.Top) * w_ + (x - a_.Left)] = 1;
  }
  void AddRun(Integer y, Integer x0, Integer x1) {
    x0 = std::max(x0, a_.Left);
    x1 = std::min(x1, a_.Right);
    for (Integer x = x0; x < x1; ++x) Add(x, y);
  }
  bool Has(Integer x, Integer y) const {
    if (x < a_.Left || x >= a_.Right || y < a_.Top || y >= a_.Bottom) return false;
    return bits_[static_cast<std::size_t>(y - a_.Top) * w_ + (x - a_.Left)] != 0;
  }
  void Paint(const raster::Painter& p) const {
    for (Integer y = 0; y < h_; ++y) {
      const Byte* row = bits_.data() + static_cast<std::size_t>(y) * w_;
      Integer x = 0;
      while (x < w_) {
        if (!row[x]) { ++x; continue; }
        Integer e = x;
        while (e < w_ && row[e]) ++e;
        p.Span(a_.Top + y, a_.Left + x, a_.Left + e);
        x = e;
      }
    }
  }

 private:
  TRect a_;
  Integer w_, h_;
  std::vector<Byte> bits_;
};

// Adds the pixels whose centres lie closer than r to the segment from a to
// b (continuous coordinates): a wide pen's stroke with round ends. Each row
// of that shape is one run, the hull of what the two end discs and the band
// between them cover.
void AddCapsule(PixelSet& set, const TRect& clip, double ax, double ay, double bx, double by, double r) {
  const double top = std::max(std::min(ay, by) - r, static_cast<double>(clip.Top));
  const double bottom = std::min(std::max(ay, by) + r, static_cast<double>(clip.Bottom));
  const double dx = bx - ax, dy = by - ay, len = std::hypot(dx, dy);
  const double r2 = r * r - 1e-9;
  for (Integer y = static_cast<Integer>(std::floor(top)); y < static_cast<Integer>(std::ceil(bottom)); ++y) {
    const double yc = y + 0.5;
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    auto disc = [&](double cx, double cy) {
      const double q = r2 - (yc - cy) * (yc - cy);
      if (q < 0) return;
      const double h = std::sqrt(q);
      lo = std::min(lo, cx - h);
      hi = std::max(hi, cx + h);
    };
    disc(ax, ay);
    disc(bx, by);
    if (len > 0) {
      // Band: 0 <= (P - A).u <= len and |(P - A).n| < r, each linear in x.
      const double ux = dx / len, uy = dy / len;
      double bl = -std::numeric_limits<double>::infinity(), bh = -bl;
      auto limit = [&](double coef, double constant, double from, double to) {  // from <= coef x + constant <= to
        if (std::fabs(coef) < 1e-12) {
          if (constant < from || constant > to) bh = bl - 1;
          return;
        }
        double x1 = (from - constant) / coef, x2 = (to - constant) / coef;
        if (x1 > x2) std::swap(x1, x2);
        bl = std::max(bl, x1);
        bh = std::min(bh, x2);
      };
      limit(ux, -ax * ux + (yc - ay) * uy, 0, len);
      const double rr = std::sqrt(std::max(r2, 0.0));
      limit(-uy, ax * uy + (yc - ay) * ux, -rr, rr);
      if (bl <= bh) {
        lo = std::min(lo, bl);
        hi = std::max(hi, bh);
      }
    }
    if (lo > hi) continue;
    const double x0 = std::max(std::ceil(lo - 0.5), static_cast<double>(clip.Left));
    const double x1 = std::min(std::floor(hi - 0.5) + 1, static_cast<double>(clip.Right));
    if (x0 < x1) set.AddRun(y, static_cast<Integer>(x0), static_cast<Integer>(x1));
  }
}

// The box, inside Clip, of every pixel a wide stroke through Points (moved
// by Shift) with radius R can set, with a pixel to spare on each side.
TRect StrokeBox(std::span<const TPoint> Points, double Shift, double R, const TRect& Clip) {
  double x0 = Points[0].X, x1 = x0, y0 = Points[0].Y, y1 = y0;
  for (const TPoint& p : Points) {
    x0 = std::min(x0, static_cast<double>(p.X));
    x1 = std::max(x1, static_cast<double>(p.X));
    y0 = std::min(y0, static_cast<double>(p.Y));
    y1 = std::max(y1, static_cast<double>(p.Y));
  }
  auto at = [](double v, Integer lo, Integer hi) { return static_cast<Integer>(std::clamp(v, double(lo), double(hi))); };
  return TRect{at(std::floor(x0 + Shift - R) - 1, Clip.Left, Clip.Right), at(std::floor(y0 + Shift - R) - 1, Clip.Top, Clip.Bottom),
               at(std::ceil(x1 + Shift + R) + 2, Clip.Left, Clip.Right), at(std::ceil(y1 + Shift + R) + 2, Clip.Top, Clip.Bottom)};
}

TRect Inflate(const TRect& r, Integer d) {
  auto sat = [](Int64 v) { return static_cast<Integer>(std::clamp<Int64>(v, INT32_MIN, INT32_MAX)); };
  return TRect{sat(static_cast<Int64>(r.Left) - d), sat(static_cast<Int64>(r.Top) - d),
               sat(static_cast<Int64>(r.Right) + d), sat(static_cast<Int64>(r.Bottom) + d)};
}

// Outer edge of a pen frame around X1..X2, Y1..Y2: a frame wider than one
// pixel is centred on the edges, except with psInsideFrame.
TRect FrameOuter(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer w, bool insideFrame) {
  if (w <= 1 || insideFrame) return TRect{X1, Y1, X2, Y2};
  auto sat = [](Int64 v) { return static_cast<Integer>(std::clamp<Int64>(v, INT32_MIN, INT32_MAX)); };
  return TRect{sat(static_cast<Int64>(X1) - (w - 1) / 2), sat(static_cast<Int64>(Y1) - (w - 1) / 2),
               sat(static_cast<Int64>(X2) + w / 2), sat(static_cast<Int64>(Y2) + w / 2)};
}

void Order(Integer& a, Integer& b) {
  if (b < a) std::swap(a, b);
}

}  // namespace

void TCanvas::MoveTo(Integer X, Integer Y) {
  FPenPos = TPoint{X, Y};
  FDashPhase = 0;
}

void TCanvas::StrokePath(std::span<const TPoint> Points, bool Closed) {
  if (!Ready() || Points.size() < 2 || FPen->GetStyle() == psClear) return;
  const raster::Target t = MakeTarget();
  if (t.clip.Width() <= 0 || t.clip.Height() <= 0) return;
  const raster::Painter pen(t, FPen->GetMode(), FPen->GetColor());
  const Integer w = FPen->GetWidth();
  const std::size_t segments = Closed ? Points.size() : Points.size() - 1;
  if (w > 1) {
    // The stroke runs through pixel centres; an even width has no centre
    // pixel, so its stroke is moved half a pixel right and down.
    const double shift = (w % 2 == 0) ? 1.0 : 0.5;
    // The pixel set covers the stroke's box only, not the whole clip: a
    // short stroke on a big surface would clear and scan every pixel.
    const TRect box = StrokeBox(Points, shift, w / 2.0, t.clip);
    if (box.Left >= box.Right || box.Top >= box.Bottom) return;
    PixelSet set(box);
    for (std::size_t i = 0; i < segments; ++i) {
      const TPoint& a = Points[i];
      const TPoint& b = Points[(i + 1) % Points.size()];
      AddCapsule(set, box, a.X + shift, a.Y + shift, b.X + shift, b.Y + shift, w / 2.0);
    }
    set.Paint(pen);
    return;
  }
  const std::span<const Integer> pattern = DashPattern(FPen->GetStyle());
  if (pattern.empty()) {
    auto plot = [&](Integer x, Integer y, Int64) { pen.Pixel(x, y); };
    for (std::size_t i = 0; i < segments; ++i) {
      const TPoint& a = Points[i];
      const TPoint& b = Points[(i + 1) % Points.size()];
      raster::LinePixels(a.X, a.Y, b.X, b.Y, t.clip.Left, t.clip.Right, t.clip.Top, t.clip.Bottom, plot);
    }
    return;
  }
  // Gaps of a styled pen take the background colour when the brush is solid
  // (an opaque background) and are left alone otherwise.
  const bool opaque = FBrush->GetStyle() == bsSolid;
  const raster::Painter gap(t, FPen->GetMode(), FBrush->GetColor());
  for (std::size_t i = 0; i < segments; ++i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % Points.size()];
    const Integer phase = FDashPhase;
    raster::LinePixels(a.X, a.Y, b.X, b.Y, t.clip.Left, t.clip.Right, t.clip.Top, t.clip.Bottom,
                       [&](Integer x, Integer y, Int64 k) {
                         if (DashOn(pattern, phase + k)) pen.Pixel(x, y);
                         else if (opaque) gap.Pixel(x, y);
                       });
    const Int64 len = std::max(std::llabs(static_cast<Int64>(b.X) - a.X), std::llabs(static_cast<Int64>(b.Y) - a.Y));
    FDashPhase = static_cast<Integer>((phase + len) % kDashCycle);
  }
}

void TCanvas::LineTo(Integer X, Integer Y) {
  Changing();
  const TPoint pts[2] = {FPenPos, TPoint{X, Y}};  // a wide pen also covers the end, with a round cap
  StrokePath(pts, false);
  FPenPos = TPoint{X, Y};
  Changed();
}

void TCanvas::Polyline(std::span<const TPoint> Points) {
  Changing();
  const Integer phase = FDashPhase;
  FDashPhase = 0;
  StrokePath(Points, false);
  FDashPhase = phase;
  Changed();
}

namespace {

// Fills the runs of a shape with the brush through the pen mode.
void BrushRun(const raster::Painter& p, TBrushStyle style, Integer y, Integer x0, Integer x1) {
  if (style == bsSolid) p.Span(y, x0, x1);
  else if (style != bsClear) p.HatchSpan(y, x0, x1, style);
}

}  // namespace

void TCanvas::Polygon(std::span<const TPoint> Points) {
  if (Points.size() < 2) return;
  Changing();
  if (Ready()) {
    const raster::Target t = MakeTarget();
    if (FBrush->GetStyle() != bsClear) {
      const raster::Painter brush(t, FPen->GetMode(), FBrush->GetColor());
      const TBrushStyle style = FBrush->GetStyle();
      raster::PolygonRuns(Points, t.clip, [&](Integer y, Integer x0, Integer x1) { BrushRun(brush, style, y, x0, x1); });
    }
    const Integer phase = FDashPhase;
    FDashPhase = 0;
    StrokePath(Points, true);
    FDashPhase = phase;
  }
  Changed();
}

void TCanvas::Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Order(X1, X2);
  Order(Y1, Y2);
  if (X1 == X2 || Y1 == Y2) return;
  Changing();
  if (Ready()) {
    const raster::Target t = MakeTarget();
    const TPenStyle ps = FPen->GetStyle();
    const Integer w = ps == psClear ? 0 : FPen->GetWidth();
    const TRect outer = FrameOuter(X1, Y1, X2, Y2, w, ps == psInsideFrame);
    const TRect inner = w == 0 ? outer : Inflate(outer, -w);
    if (FBrush->GetStyle() != bsClear && inner.Left < inner.Right && inner.Top < inner.Bottom) {
      const raster::Painter brush(t, FPen->GetMode(), FBrush->GetColor());
      const Integer y0 = std::max(inner.Top, t.clip.Top), y1 = std::min(inner.Bottom, t.clip.Bottom);
      for (Integer y = y0; y < y1; ++y) BrushRun(brush, FBrush->GetStyle(), y, inner.Left, inner.Right);
    }
    if (w == 1 && ps != psSolid && ps != psInsideFrame && static_cast<Int64>(X2) - X1 > 1 &&
        static_cast<Int64>(Y2) - Y1 > 1) {
      const TPoint pts[4] = {{X1, Y1}, {X2 - 1, Y1}, {X2 - 1, Y2 - 1}, {X1, Y2 - 1}};
      const Integer phase = FDashPhase;
      FDashPhase = 0;
      StrokePath(pts, true);
      FDashPhase = phase;
    } else if (w > 0) {
      const raster::Painter pen(t, FPen->GetMode(), FPen->GetColor());
      const Integer y0 = std::max(outer.Top, t.clip.Top), y1 = std::min(outer.Bottom, t.clip.Bottom);
      for (Integer y = y0; y < y1; ++y) {
        if (y < inner.Top || y >= inner.Bottom || inner.Left >= inner.Right) {
          pen.Span(y, outer.Left, outer.Right);
        } else {
          pen.Span(y, outer.Left, std::min(inner.Left, outer.Right));
          pen.Span(y, std::max(inner.Right, inner.Left), outer.Right);
        }
      }
    }
  }
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  Changing();
  if (Ready() && FBrush->GetStyle() != bsClear) {
    const raster::Target t = MakeTarget();
    const raster::Painter brush(t, pmCopy, FBrush->GetColor());
    const Integer y0 = std::max(R.Top, t.clip.Top), y1 = std::min(R.Bottom, t.clip.Bottom);
    for (Integer y = y0; y < y1; ++y) BrushRun(brush, FBrush->GetStyle(), y, R.Left, R.Right);
  }
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  Changing();
  if (Ready() && FBrush->GetStyle() != bsClear && R.Left < R.Right && R.Top < R.Bottom) {
    const raster::Target t = MakeTarget();
    const raster::Painter brush(t, pmCopy, FBrush->GetColor());
    const TBrushStyle style = FBrush->GetStyle();
    const Integer y0 = std::max(R.Top, t.clip.Top), y1 = std::min(R.Bottom, t.clip.Bottom);
    for (Integer y = y0; y < y1; ++y) {
      if (y == R.Top || y == R.Bottom - 1) {
        BrushRun(brush, style, y, R.Left, R.Right);
      } else {
        BrushRun(brush, style, y, R.Left, R.Left + 1);
        if (R.Right - 1 > R.Left) BrushRun(brush, style, y, R.Right - 1, R.Right);
      }
    }
  }
  Changed();
}

namespace {

enum class Part { Full, ArcOnly, Pie, Chord };

// Angles (radians, counter-clockwise as seen on screen) of the pixel
// centres relative to the ellipse centre.
struct AngleFilter {
  bool all = true;
  double cx = 0, cy = 0, start = 0, span = 0;
  double Angle(double x, double y) const { return std::atan2(-(y - cy), x - cx); }
  bool In(Integer x, Integer y) const {
    if (all) return true;
    double d = Angle(x + 0.5, y + 0.5) - start;
    const double twoPi = 2 * std::numbers::pi;
    d = std::fmod(d, twoPi);
    if (d < 0) d += twoPi;
    return d <= span + 1e-12;
  }
};

}  // namespace

// Draws an ellipse or a rounded rectangle (Round > 0), optionally limited to
// an arc, a wedge or a chord.
static void DrawEllipseShape(TCanvas* c, const raster::Target& t, Integer X1, Integer Y1, Integer X2, Integer Y2,
                             Integer EW, Integer EH, bool round, Part part, TPoint p3, TPoint p4) {
  Order(X1, X2);
  Order(Y1, Y2);
  if (X1 == X2 || Y1 == Y2) return;
  if (t.clip.Width() <= 0 || t.clip.Height() <= 0) return;
  TPen* penObj = c->GetPen();
  TBrush* brushObj = c->GetBrush();
  const Integer w = penObj->GetStyle() == psClear ? 0 : penObj->GetWidth();
  const TRect outer = FrameOuter(X1, Y1, X2, Y2, w, penObj->GetStyle() == psInsideFrame);
  const TRect innerBox = Inflate(outer, -w);
  // Rows are computed for the box cut to the clip rectangle, plus one row
  // each side for the outline's neighbour test.
  auto clippedSpans = [&](const TRect& b, Integer ew, Integer eh) {
    const Integer r0 = t.clip.Top - 1, r1 = t.clip.Bottom + 1;
    return round ? raster::RoundRectSpans(b.Left, b.Top, b.Right, b.Bottom, ew, eh, r0, r1)
                 : raster::EllipseSpans(b.Left, b.Top, b.Right, b.Bottom, r0, r1);
  };
  // Corner ellipses grow and shrink with the frame.
  auto corner = [](Int64 e, Int64 grow) { return static_cast<Integer>(std::clamp<Int64>(std::llabs(e) + grow, 0, INT32_MAX)); };
  const Int64 growX = (static_cast<Int64>(outer.Right) - outer.Left) - (static_cast<Int64>(X2) - X1);
  const Int64 growY = (static_cast<Int64>(outer.Bottom) - outer.Top) - (static_cast<Int64>(Y2) - Y1);
  const raster::Spans outerS = clippedSpans(outer, corner(EW, growX), corner(EH, growY));
  raster::Spans innerS;
  if (w > 1) innerS = clippedSpans(innerBox, corner(EW, growX - 2 * w), corner(EH, growY - 2 * w));

  AngleFilter filter;
  double chordSide = 0;
  double sx = 0, sy = 0, ex = 0, ey = 0;  // arc ends (continuous coordinates)
  if (part != Part::Full) {
    filter.all = false;
    filter.cx = (static_cast<double>(X1) + X2) / 2;
    filter.cy = (static_cast<double>(Y1) + Y2) / 2;
    filter.start = filter.Angle(p3.X + 0.5, p3.Y + 0.5);
    const double end = filter.Angle(p4.X + 0.5, p4.Y + 0.5);
    const double twoPi = 2 * std::numbers::pi;
    double span = std::fmod(end - filter.start, twoPi);
    if (span <= 0) span += twoPi;
    filter.span = span;
    const double a = (static_cast<double>(X2) - X1) / 2, b = (static_cast<double>(Y2) - Y1) / 2;
    auto onEllipse = [&](double ang, double& x, double& y) {
      const double dx = std::cos(ang), dy = -std::sin(ang);
      const double k = 1.0 / std::sqrt((dx * dx) / (a * a) + (dy * dy) / (b * b));
      x = filter.cx + dx * k;
      y = filter.cy + dy * k;
    };
    onEllipse(filter.start, sx, sy);
    onEllipse(filter.start + span, ex, ey);
    if (part == Part::Chord) {
      double mx, my;
      onEllipse(filter.start + span / 2, mx, my);
      chordSide = (ex - sx) * (my - sy) - (ey - sy) * (mx - sx);
    }
  }
  auto inFill = [&](Integer x, Integer y) {
    if (part == Part::Full) return true;
    if (part == Part::Pie) return filter.In(x, y);
    if (part == Part::Chord) {
      const double side = (ex - sx) * (y + 0.5 - sy) - (ey - sy) * (x + 0.5 - sx);
      return side * chordSide >= 0;
    }
    return false;
  };

  // Interior: inner spans for wide pens, else the outer spans minus the outline.
  auto outlineRuns = [&](Integer y, const std::function<void(Integer, Integer)>& run,
                         const std::function<void(Integer, Integer)>& inside) {
    const Integer i = y - outerS.Top;
    if (i < 0 || i >= outerS.Rows()) return;
    const Integer L = outerS.L[i], R = outerS.R[i];
    if (L > R) return;
    Integer il, ir;  // interior (inclusive), possibly empty
    if (w > 1) {
      const Integer j = y - innerS.Top;
      if (j >= 0 && j < innerS.Rows() && innerS.L[j] <= innerS.R[j]) {
        il = innerS.L[j];
        ir = innerS.R[j];
      } else {
        il = 1;
        ir = 0;
      }
    } else if (w == 0) {
      il = L;
      ir = R;
    } else {
      il = L + 1;
      ir = R - 1;
      for (Integer dy : {-1, 1}) {
        const Integer k = i + dy;
        if (k < 0 || k >= outerS.Rows() || y + dy < outer.Top || y + dy >= outer.Bottom) {
          // Neighbour row outside the shape (or not computed: outside the clip).
          if (y + dy < outer.Top || y + dy >= outer.Bottom) { il = 1; ir = 0; }
          continue;
        }
        il = std::max(il, outerS.L[k]);
        ir = std::min(ir, outerS.R[k]);
      }
    }
    if (il > ir) {
      run(L, R + 1);
    } else {
      if (L < il) run(L, il);
      if (ir < R) run(ir + 1, R + 1);
      inside(il, ir + 1);
    }
  };

  const TPenMode mode = penObj->GetMode();
  const TBrushStyle bstyle = brushObj->GetStyle();
  const bool fill = part != Part::ArcOnly && bstyle != bsClear;
  const raster::Painter brush(t, mode, brushObj->GetColor());
  const raster::Painter pen(t, mode, penObj->GetColor());
  // Nothing is drawn outside the frame's box (the closing lines end on the
  // outline): rows and the outline's pixel set are limited to it.
  const TRect grown = Inflate(outer, 2), wide = Inflate(t.clip, 1);
  const TRect area{std::max(wide.Left, grown.Left), std::max(wide.Top, grown.Top), std::min(wide.Right, grown.Right),
                   std::min(wide.Bottom, grown.Bottom)};
  PixelSet outline(part == Part::Full || area.Left >= area.Right || area.Top >= area.Bottom ? TRect{} : area);
  const Integer rowFrom = std::max(t.clip.Top, grown.Top), rowTo = std::min(t.clip.Bottom, grown.Bottom);
  for (Integer y = rowFrom; y < rowTo; ++y) {
    auto drawOutline = [&](Integer x0, Integer x1) {
      if (w == 0) return;
      x0 = std::max(x0, t.clip.Left);
      x1 = std::min(x1, t.clip.Right);
      if (part == Part::Full) { pen.Span(y, x0, x1); return; }
      for (Integer x = x0; x < x1; ++x)
        if (filter.In(x, y)) outline.Add(x, y);
    };
    auto drawInside = [&](Integer x0, Integer x1) {
      if (!fill) return;
      x0 = std::max(x0, t.clip.Left);
      x1 = std::min(x1, t.clip.Right);
      if (part == Part::Full) { BrushRun(brush, bstyle, y, x0, x1); return; }
      for (Integer x = x0; x < x1; ++x)
        if (inFill(x, y) && (bstyle == bsSolid || raster::HatchBit(bstyle, x, y))) brush.Pixel(x, y);
    };
    if (w == 0) {
      outlineRuns(y, [&](Integer a, Integer b) { drawInside(a, b); }, drawInside);
    } else {
      outlineRuns(y, drawOutline, drawInside);
    }
  }
  if (part == Part::Full) return;
  if (w > 0 && part != Part::ArcOnly) {
    // Closing lines: both radii of a wedge, the chord of a chord.
    auto addLine = [&](double ax, double ay, double bx, double by) {
      auto pixel = [](double v) { return static_cast<Integer>(std::clamp(std::floor(v), -2147483648.0, 2147483647.0)); };
      const Integer x0 = pixel(ax), y0 = pixel(ay), x1 = pixel(bx), y1 = pixel(by);
      raster::LinePixels(x0, y0, x1, y1, area.Left, area.Right, area.Top, area.Bottom,
                         [&](Integer x, Integer y, Int64) { outline.Add(x, y); });
      outline.Add(x1, y1);
    };
    if (part == Part::Pie) {
      addLine(filter.cx, filter.cy, sx, sy);
      addLine(filter.cx, filter.cy, ex, ey);
    } else {
      addLine(sx, sy, ex, ey);
    }
  }
  outline.Paint(pen);
}

void TCanvas::Ellipse(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Changing();
  if (Ready()) DrawEllipseShape(this, MakeTarget(), X1, Y1, X2, Y2, 0, 0, false, Part::Full, {}, {});
  Changed();
}

void TCanvas::RoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3) {
  Changing();
  if (Ready()) DrawEllipseShape(this, MakeTarget(), X1, Y1, X2, Y2, X3, Y3, true, Part::Full, {}, {});
  Changed();
}

void TCanvas::Arc(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  if (Ready())
    DrawEllipseShape(this, MakeTarget(), X1, Y1, X2, Y2, 0, 0, false, Part::ArcOnly, {X3, Y3}, {X4, Y4});
  Changed();
}

void TCanvas::Pie(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  if (Ready())
    DrawEllipseShape(this, MakeTarget(), X1, Y1, X2, Y2, 0, 0, false, Part::Pie, {X3, Y3}, {X4, Y4});
  Changed();
}

void TCanvas::Chord(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4) {
  Changing();
  if (Ready())
    DrawEllipseShape(this, MakeTarget(), X1, Y1, X2, Y2, 0, 0, false, Part::Chord, {X3, Y3}, {X4, Y4});
  Changed();
}

TColor TCanvas::GetPixel(Integer X, Integer Y) const {
  if (!Ready()) return -1;
  if (!MakeTarget().Inside(X, Y)) return -1;
  const Integer bpp = FSurface->SurfaceBitsPerPixel();
  return raster::ValueToColor(raster::ReadValue(FSurface->SurfaceRow(Y), X, bpp), bpp, FSurface->SurfacePalette());
}

void TCanvas::SetPixel(Integer X, Integer Y, TColor Color) {
  Changing();
  if (Ready()) {
    const raster::Target t = MakeTarget();
    raster::Painter(t, pmCopy, Color).Pixel(X, Y);
  }
  Changed();
}

// --- text -------------------------------------------------------------------

const TCanvas::TextCache& TCanvas::Text() const {
  if (!FText) FText = std::make_unique<TextCache>();
  TextCache& c = *FText;
  if (c.font != FFont.get() || c.generation != FFont->Generation() || !c.qfont) {
    c.font = FFont.get();
    c.generation = FFont->Generation();
    // What FontToQFont reads of the font (colour and orientation aside).
    const TFont& f = *FFont;
    std::string key = f.GetName() + '\x1f' + std::to_string(f.GetHeight()) + '\x1f';
    for (TFontStyle st : {fsBold, fsItalic, fsUnderline, fsStrikeOut}) key += f.GetStyle().Contains(st) ? '1' : '0';
    key += f.GetPitch() == fpFixed ? 'f' : 'v';
    if (key != c.key || !c.qfont) {
      auto it = c.fonts.find(key);
      if (it == c.fonts.end()) {
        TextCache::Bound(c.fonts, 64);
        it = c.fonts.emplace(key, FontToQFont(f)).first;
      }
      c.qfont = it->second;
      c.metrics.emplace(*c.qfont);
      c.key = std::move(key);
    }
  }
  return c;
}

TSize TCanvas::TextExtent(const String& Text) const {
  TextCache& c = const_cast<TextCache&>(this->Text());
  const std::string key = c.key + '\x1f' + Text;
  if (auto it = c.extents.find(key); it != c.extents.end()) return it->second;
  const TSize size{c.metrics->horizontalAdvance(QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()))),
                   c.metrics->height()};
  TextCache::Bound(c.extents, 4096);
  c.extents.emplace(key, size);
  return size;
}

void TCanvas::DrawText(const TRect* Limit, Integer X, Integer Y, const String& Text, bool FillCell) {
  if (!Ready()) return;
  const raster::Target t = MakeTarget();
  const TextCache& c = this->Text();
  const TSize ext = TextExtent(Text);
  // The text's cell, turned counter-clockwise about (X, Y) by the font's
  // orientation (tenths of a degree).
  const double angle = FFont->GetOrientation() / 10.0;
  const double rad = angle * std::numbers::pi / 180.0, cs = std::cos(rad), sn = std::sin(rad);
  auto corner = [&](double x, double y) {
    auto r = [](double v) { return static_cast<Integer>(std::clamp(std::round(v), -1e9, 1e9)); };
    return TPoint{r(X + x * cs + y * sn), r(Y - x * sn + y * cs)};
  };
  const TPoint cell[4] = {corner(0, 0), corner(ext.cx, 0), corner(ext.cx, ext.cy), corner(0, ext.cy)};
  TRect clip = t.clip;
  if (Limit) {
    clip.Left = std::max(clip.Left, Limit->Left);
    clip.Top = std::max(clip.Top, Limit->Top);
    clip.Right = std::min(clip.Right, Limit->Right);
    clip.Bottom = std::min(clip.Bottom, Limit->Bottom);
  }
  const raster::Region inCell = raster::Region::FromPolygon(cell, clip);
  clip = inCell.box;
  if (clip.Left >= clip.Right || clip.Top >= clip.Bottom) return;
  if (FillCell) {
    const raster::Painter fill(t, pmCopy, FBrush->GetColor());
    raster::PolygonRuns(cell, clip, [&](Integer y, Integer x0, Integer x1) { fill.Span(y, x0, x1); });
  }
  if (Text.empty()) return;
  // The glyphs' pixels (text is drawn without smoothing), relative to the
  // text's origin, then the ones inside the visible part of the cell are set.
  const TextCache::Mask& mask = const_cast<TextCache&>(c).GlyphMask(*FFont, Text, ext);
  const raster::Painter ink(t, pmCopy, FFont->GetColor());
  const Int64 ox = static_cast<Int64>(X) + mask.box.Left, oy = static_cast<Int64>(Y) + mask.box.Top;
  const Int64 mw = mask.box.Width(), mh = mask.box.Height();
  for (Integer y = clip.Top; y < clip.Bottom; ++y) {
    const Int64 my = y - oy;
    if (my < 0 || my >= mh) continue;
    const Byte* line = mask.bits.data() + my * mw;
    for (Integer x = clip.Left; x < clip.Right; ++x) {
      const Int64 mx = x - ox;
      if (mx >= 0 && mx < mw && line[mx] && inCell.Has(x, y)) ink.Pixel(x, y);
    }
  }
}

const TCanvas::TextCache::Mask& TCanvas::TextCache::GlyphMask(const TFont& Font, const String& Text, TSize Extent) {
  TextCache& C = *this;
  const Integer orientation = Font.GetOrientation();
  const std::string key = C.key + '\x1f' + std::to_string(orientation) + '\x1f' + Text;
  if (auto it = C.masks.find(key); it != C.masks.end()) return it->second;
  // The box of the turned cell about the origin, two pixels to spare for
  // the glyphs' overhang and the rounding of the cell's corners.
  const double rad = orientation / 10.0 * std::numbers::pi / 180.0, cs = std::cos(rad), sn = std::sin(rad);
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  for (auto [u, v] : {std::pair<double, double>{double(Extent.cx), 0}, {double(Extent.cx), double(Extent.cy)}, {0, double(Extent.cy)}}) {
    x0 = std::min(x0, u * cs + v * sn);
    x1 = std::max(x1, u * cs + v * sn);
    y0 = std::min(y0, -u * sn + v * cs);
    y1 = std::max(y1, -u * sn + v * cs);
  }
  auto at = [](double v) { return static_cast<Integer>(std::clamp(v, -1e6, 1e6)); };
  TextCache::Mask m;
  m.box = TRect{at(std::floor(x0)) - 2, at(std::floor(y0)) - 2, at(std::ceil(x1)) + 3, at(std::ceil(y1)) + 3};
  const Integer w = m.box.Width(), h = m.box.Height();
  m.bits.assign(static_cast<std::size_t>(w) * h, 0);
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setFont(*C.qfont);
    p.setPen(Qt::black);
    p.translate(-m.box.Left, -m.box.Top);
    if (orientation != 0) p.rotate(-orientation / 10.0);
    p.drawText(0, C.metrics->ascent(), QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size())));
  }
  for (Integer y = 0; y < h; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (Integer x = 0; x < w; ++x) m.bits[static_cast<std::size_t>(y) * w + x] = qAlpha(line[x]) >= 128;
  }
  TextCache::Bound(C.masks, 512);
  return C.masks.emplace(key, std::move(m)).first->second;
}

void TCanvas::TextOut(Integer X, Integer Y, const String& Text) {
  Changing();
  DrawText(nullptr, X, Y, Text, FBrush->GetStyle() == bsSolid);
  FPenPos = TPoint{static_cast<Integer>(std::min<Int64>(static_cast<Int64>(X) + TextWidth(Text), INT32_MAX)), Y};
  Changed();
}

void TCanvas::TextRect(const TRect& R, Integer X, Integer Y, const String& Text) {
  Changing();
  if (Ready() && FBrush->GetStyle() == bsSolid) {
    const raster::Target t = MakeTarget();
    const raster::Painter fill(t, pmCopy, FBrush->GetColor());
    for (Integer y = std::max(R.Top, t.clip.Top); y < std::min(R.Bottom, t.clip.Bottom); ++y)
      fill.Span(y, R.Left, R.Right);
  }
  DrawText(&R, X, Y, Text, false);
  Changed();
}

// --- copies -----------------------------------------------------------------

void TCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->GetEmpty()) return;
  Graphic->Draw(this, TRect{X, Y, X + Graphic->GetWidth(), Y + Graphic->GetHeight()});
}

void TCanvas::StretchDraw(const TRect& R, TGraphic* Graphic) {
  if (!Graphic || Graphic->GetEmpty()) return;
  Graphic->Draw(this, R);
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Source, const TRect& SourceRect) {
  CopyFromSurface(Dest, Source ? Source->GetSurface() : nullptr, SourceRect, clNone);
}

void TCanvas::CopyFromSurface(const TRect& Dest, TPixelSurface* Source, const TRect& SourceRect,
                              TColor TransparentColor) {
  Changing();
  if (Ready()) {
    const raster::Target t = MakeTarget();
    const Cardinal pattern = FBrush->GetStyle() == bsClear ? 0 : t.Value(FBrush->GetColor());
    raster::StretchBlit(t, Dest, Source, SourceRect, FCopyMode, pattern, TransparentColor);
  }
  Changed();
}

void LineDDA(Integer X1, Integer Y1, Integer X2, Integer Y2, const std::function<void(Integer X, Integer Y)>& Proc) {
  if (!Proc) return;
  raster::LinePixels(X1, Y1, X2, Y2, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX,
                     [&](Integer x, Integer y, Int64) { Proc(x, y); });
}

bool DrawEdge(TCanvas* Canvas, TRect& Rect, Cardinal Edge, Cardinal Flags) {
  if (!Canvas) return false;
  TBrush* brush = Canvas->GetBrush();
  const TColor savedColor = brush->GetColor();
  const TBrushStyle savedStyle = brush->GetStyle();
  TRect r = Rect;
  // One frame: the light-or-dark colour on top and left, the other on bottom and right.
  auto frame = [&](TColor topLeft, TColor bottomRight) {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    brush->SetStyle(bsSolid);
    brush->SetColor(topLeft);
    if (Flags & BF_TOP) Canvas->FillRect(TRect{r.Left, r.Top, r.Right - 1, r.Top + 1});
    if (Flags & BF_LEFT) Canvas->FillRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom - 1});
    brush->SetColor(bottomRight);
    if (Flags & BF_BOTTOM) Canvas->FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom});
    if (Flags & BF_RIGHT) Canvas->FillRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom});
    if (Flags & BF_LEFT) ++r.Left;
    if (Flags & BF_TOP) ++r.Top;
    if (Flags & BF_RIGHT) --r.Right;
    if (Flags & BF_BOTTOM) --r.Bottom;
  };
  if (Edge & BDR_RAISEDOUTER) frame(cl3DLight, cl3DDkShadow);
  else if (Edge & BDR_SUNKENOUTER) frame(clBtnShadow, clBtnHighlight);
  if (Edge & BDR_RAISEDINNER) frame(clBtnHighlight, clBtnShadow);
  else if (Edge & BDR_SUNKENINNER) frame(cl3DDkShadow, cl3DLight);
  if (Flags & BF_MIDDLE) {
    brush->SetStyle(bsSolid);
    brush->SetColor(clBtnFace);
    Canvas->FillRect(r);
  }
  brush->SetColor(savedColor);
  brush->SetStyle(savedStyle);
  if (Flags & BF_ADJUST) Rect = r;
  return true;
}

// ---------------------------------------------------------------------------
// Graphic
// ---------------------------------------------------------------------------

void TGraphic::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  Changed();
}

void TGraphic::SetModified(bool Value) {
  if (Value) Changed();
  else FModified = false;
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const String& FileName) {
  WriteFileAtomically(FileName, [this](TStream* Stream) { SaveToStream(Stream); });
}

// ---------------------------------------------------------------------------
// Bitmap
// ---------------------------------------------------------------------------

Integer PixelFormatBits(TPixelFormat Format) {
  switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

Integer BytesPerScanline(Integer Width, Integer Bits) {
  const Int64 bytes = ((static_cast<Int64>(Width) * Bits + 31) / 32) * 4;
  return static_cast<Integer>(std::min<Int64>(bytes, INT32_MAX));
}

std::vector<TRGBQuad> DefaultColorTable(TPixelFormat Format) {
  static constexpr TColor vga[16] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clSilver,
                                     clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
  std::vector<TRGBQuad> t;
  switch (Format) {
    case pf1bit:
      t = {ColorToRGBQuad(clBlack), ColorToRGBQuad(clWhite)};
      break;
    case pf4bit:
      for (TColor c : vga) t.push_back(ColorToRGBQuad(c));
      break;
    case pf8bit:
      for (TColor c : vga) t.push_back(ColorToRGBQuad(c));
      for (Integer r = 0; r < 6; ++r)
        for (Integer g = 0; g < 6; ++g)
          for (Integer b = 0; b < 6; ++b)
            t.push_back(TRGBQuad{static_cast<Byte>(b * 51), static_cast<Byte>(g * 51), static_cast<Byte>(r * 51), 0});
      for (Integer i = 0; i < 24; ++i) {
        const Byte v = static_cast<Byte>(8 + 10 * i);
        t.push_back(TRGBQuad{v, v, v, 0});
      }
      break;
    default:
      break;
  }
  return t;
}

namespace {

TPixelFormat HeldFormat(TPixelFormat f) { return f == pfDevice ? pf32bit : f; }

Integer SurfaceBits(TPixelFormat f) {
  switch (f) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

// Pixels of one bitmap may take at most this many bytes.
constexpr Int64 kMaxPixelBytes = Int64{1} << 31;

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(Integer Width, Integer Height, TPixelFormat Format) {
  SetPixelFormat(Format);
  SetSize(Width, Height);
}

TBitmap::~TBitmap() = default;

Integer TBitmap::SurfaceBitsPerPixel() const { return SurfaceBits(FPixelFormat); }

void TBitmap::Reallocate(Integer Width, Integer Height, TPixelFormat Format, bool KeepPixels) {
  if (Width < 0 || Height < 0) throw EInvalidGraphic("Invalid bitmap size");
  const Int64 row = ((static_cast<Int64>(Width) * PixelFormatBits(Format) + 31) / 32) * 4;
  if (row * Height > kMaxPixelBytes) throw EOutOfMemory("Bitmap too large");
  std::vector<Byte> pixels(static_cast<std::size_t>(row * Height));
  const Integer rowBytes = static_cast<Integer>(row);
  // New pixels are white (the entry nearest white in indexed formats); the
  // padding at the end of each row stays zero.
  const Integer bits = SurfaceBits(Format);
  std::vector<TRGBQuad> palette = Format == FPixelFormat ? FPalette : DefaultColorTable(Format);
  if (Width > 0 && Height > 0) {
    const Cardinal white = raster::ColorToValue(clWhite, bits, palette);
    Byte* first = pixels.data();
    for (Integer x = 0; x < Width; ++x) raster::WriteValue(first, x, bits, white);
    for (Integer y = 1; y < Height; ++y)
      std::memcpy(first + static_cast<std::size_t>(y) * rowBytes, first, static_cast<std::size_t>(rowBytes));
  }
  if (KeepPixels && Format == FPixelFormat) {
    const Integer rows = std::min(Height, FHeight);
    const Integer cols = std::min(Width, FWidth);
    // With no column to keep (a width of 0) there are no rows to copy into.
    for (Integer y = 0; cols > 0 && y < rows; ++y) {
      const Byte* src = FPixels.data() + static_cast<std::size_t>(y) * FRowBytes;
      Byte* dst = pixels.data() + static_cast<std::size_t>(y) * rowBytes;
      if (bits >= 8) {
        std::memcpy(dst, src, static_cast<std::size_t>(cols) * (bits == 15 ? 2 : bits / 8));
      } else {
        for (Integer x = 0; x < cols; ++x) raster::WriteValue(dst, x, bits, raster::ReadValue(src, x, bits));
      }
    }
  }
  FPixels.swap(pixels);
  FWidth = Width;
  FHeight = Height;
  FRowBytes = rowBytes;
  FPixelFormat = Format;
  FPalette.swap(palette);
}

void TBitmap::SetSize(Integer Width, Integer Height) {
  if (Width == FWidth && Height == FHeight) return;
  Reallocate(Width, Height, FPixelFormat, true);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  Value = HeldFormat(Value);
  if (Value == FPixelFormat) return;
  const Integer oldBits = SurfaceBits(FPixelFormat), newBits = SurfaceBits(Value);
  std::vector<TRGBQuad> newPal = DefaultColorTable(Value);
  // Indexes survive when the new table has room for the old one.
  const bool keepIndexes = oldBits <= 8 && newBits <= 8 && newPal.size() >= FPalette.size();
  if (keepIndexes) std::copy(FPalette.begin(), FPalette.end(), newPal.begin());
  TBitmap old;
  old.FWidth = FWidth;
  old.FHeight = FHeight;
  old.FRowBytes = FRowBytes;
  old.FPixelFormat = FPixelFormat;
  old.FPixels.swap(FPixels);
  old.FPalette = FPalette;
  FWidth = FHeight = 0;
  FRowBytes = 0;
  FPixelFormat = Value;
  FPalette = newPal;
  Reallocate(old.FWidth, old.FHeight, Value, false);
  // Indexed sources map through a table, direct-to-direct by arithmetic,
  // direct-to-indexed through a cache of nearest-entry searches.
  std::vector<Cardinal> fromIndex;
  if (oldBits <= 8 && !keepIndexes) {
    fromIndex.resize(old.FPalette.size());
    for (std::size_t i = 0; i < fromIndex.size(); ++i)
      fromIndex[i] = raster::ColorToValue(RGBQuadToColor(old.FPalette[i]), newBits, FPalette);
  }
  std::unordered_map<Cardinal, Cardinal> cache;
  for (Integer y = 0; y < FHeight; ++y) {
    const Byte* src = old.ScanLine(y);
    Byte* dst = ScanLine(y);
    for (Integer x = 0; x < FWidth; ++x) {
      const Cardinal v = raster::ReadValue(src, x, oldBits);
      Cardinal nv;
      if (keepIndexes) {
        nv = v;
      } else if (oldBits <= 8) {
        nv = v < fromIndex.size() ? fromIndex[v] : raster::ColorToValue(clBlack, newBits, FPalette);
      } else if (newBits > 8) {
        nv = raster::ColorToValue(raster::ValueToColor(v, oldBits, {}), newBits, {});
      } else {
        auto it = cache.find(v);
        if (it != cache.end()) {
          nv = it->second;
        } else {
          nv = raster::ColorToValue(raster::ValueToColor(v, oldBits, {}), newBits, FPalette);
          if (cache.size() < 65536) cache.emplace(v, nv);
        }
      }
      raster::WriteValue(dst, x, newBits, nv);
    }
  }
  Changed();
}

bool TBitmap::GetMonochrome() const {
  return FPixelFormat == pf1bit && FPalette.size() == 2 && FPalette[0] == ColorToRGBQuad(clBlack) &&
         FPalette[1] == ColorToRGBQuad(clWhite);
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value) {
    SetPixelFormat(pf1bit);
    const std::vector<TRGBQuad> bw = DefaultColorTable(pf1bit);
    if (FPalette != bw) {
      FPalette = bw;
      Changed();
    }
  } else if (GetMonochrome()) {
    SetPixelFormat(pfDevice);
  }
}

TColor TBitmap::GetTransparentColor() const {
  if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
  if (GetEmpty()) return clDefault;
  const Integer bits = SurfaceBits(FPixelFormat);
  return raster::ValueToColor(raster::ReadValue(ScanLine(FHeight - 1), 0, bits), bits, FPalette);
}

void TBitmap::SetTransparentColor(TColor Value) {
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  FTransparentMode = Value;
  if (Value == tmAuto) FTransparentColor = clDefault;
  else FTransparentColor = GetTransparentColor();
  Changed();
}

Byte* TBitmap::ScanLine(Integer Row) {
  if (Row < 0 || Row >= FHeight) throw EInvalidGraphic("Scan line index out of range");
  return SurfaceRow(Row);
}

const Byte* TBitmap::ScanLine(Integer Row) const {
  if (Row < 0 || Row >= FHeight) throw EInvalidGraphic("Scan line index out of range");
  return FPixels.data() + static_cast<std::size_t>(Row) * FRowBytes;
}

Integer TBitmap::GetColorTable(Integer Start, Integer Count, TRGBQuad* Entries) const {
  const Integer n = GetColorTableCount();
  if (Start < 0 || Count <= 0 || Start >= n || !Entries) return 0;
  const Integer k = std::min(Count, n - Start);
  std::copy_n(FPalette.begin() + Start, k, Entries);
  return k;
}

Integer TBitmap::SetColorTable(Integer Start, Integer Count, const TRGBQuad* Entries) {
  const Integer n = GetColorTableCount();
  if (Start < 0 || Count <= 0 || Start >= n || !Entries) return 0;
  const Integer k = std::min(Count, n - Start);
  std::copy_n(Entries, k, FPalette.begin() + Start);
  Changed();
  return k;
}

void TBitmap::SetColorTable(const std::vector<TRGBQuad>& Entries) {
  SetColorTable(0, static_cast<Integer>(Entries.size()), Entries.data());
}

TCanvas* TBitmap::GetCanvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(this);
  return FCanvas.get();
}

void TBitmap::Assign(const TBitmap* Source) {
  if (!Source || Source == this) return;
  if (FPixelFormat != Source->FPixelFormat || FWidth != Source->FWidth || FHeight != Source->FHeight) {
    FPixelFormat = Source->FPixelFormat;
    FPalette = Source->FPalette;
    Reallocate(Source->FWidth, Source->FHeight, Source->FPixelFormat, false);
  }
  // Same size and format: the rows are copied in place, their addresses kept.
  FPixels = Source->FPixels;
  FPalette = Source->FPalette;
  FHandleType = Source->FHandleType;
  FTransparentMode = Source->FTransparentMode;
  FTransparentColor = Source->FTransparentColor;
  TGraphic::SetTransparent(Source->GetTransparent());
  Changed();
}

void TBitmap::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBitmap*>(Source)) Assign(static_cast<const TBitmap*>(b));
  else TPersistent::Assign(Source);
}

namespace {

#pragma pack(push, 1)
struct BmpFileHeader {
  Word bfType;        // "BM"
  DWORD bfSize;       // whole file
  Word bfReserved1;
  Word bfReserved2;
  DWORD bfOffBits;    // pixel data, from the start of this header
};
struct BmpInfoHeader {
  DWORD biSize;       // 40, or more for later versions
  Integer biWidth;
  Integer biHeight;   // negative: rows top-down
  Word biPlanes;      // 1
  Word biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  Integer biXPelsPerMeter;
  Integer biYPelsPerMeter;
  DWORD biClrUsed;    // colour-table entries (0: all)
  DWORD biClrImportant;
};
struct BmpCoreHeader {
  DWORD bcSize;       // 12
  Word bcWidth;
  Word bcHeight;
  Word bcPlanes;
  Word bcBitCount;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14);
static_assert(sizeof(BmpInfoHeader) == 40);
static_assert(sizeof(BmpCoreHeader) == 12);

constexpr Word kBmpMagic = 0x4D42;  // "BM"
constexpr DWORD kBiRgb = 0, kBiBitfields = 3;

[[noreturn]] void BadBitmap(const String& what) { throw EInvalidGraphic("Bitmap image is not valid: " + what); }

// Reads exactly n bytes or reports the image as cut short.
void ReadExact(TStream* s, void* buf, Int64 n) {
  Byte* p = static_cast<Byte*>(buf);
  while (n > 0) {
    const Integer chunk = static_cast<Integer>(std::min<Int64>(n, 1 << 30));
    const Integer got = s->Read(p, chunk);
    if (got <= 0) BadBitmap("data cut short");
    p += got;
    n -= got;
  }
}

}  // namespace

void TBitmap::LoadFromStream(TStream* Stream) {
  if (!Stream) throw EInvalidGraphic("Bitmap image is not valid: no stream");
  const Int64 start = Stream->GetPosition();
  const Int64 available = Stream->GetSize() - start;
  BmpFileHeader fh{};
  ReadExact(Stream, &fh, sizeof fh);
  if (fh.bfType != kBmpMagic) BadBitmap("no BM signature");
  DWORD headerSize = 0;
  ReadExact(Stream, &headerSize, 4);
  Int64 width, height;
  Integer bits;
  DWORD compression = kBiRgb, clrUsed = 0;
  Integer entrySize = 4;
  Int64 headerEnd;
  if (headerSize == sizeof(BmpCoreHeader)) {
    BmpCoreHeader ch{};
    ch.bcSize = headerSize;
    ReadExact(Stream, reinterpret_cast<Byte*>(&ch) + 4, sizeof ch - 4);
    width = ch.bcWidth;
    height = ch.bcHeight;
    bits = ch.bcBitCount;
    entrySize = 3;
    if (ch.bcPlanes != 1) BadBitmap("planes must be 1");
    headerEnd = 14 + 12;
  } else if (headerSize >= sizeof(BmpInfoHeader) && headerSize <= 1024) {
    BmpInfoHeader ih{};
    ih.biSize = headerSize;
    ReadExact(Stream, reinterpret_cast<Byte*>(&ih) + 4, sizeof ih - 4);
    width = ih.biWidth;
    height = ih.biHeight;
    bits = ih.biBitCount;
    compression = ih.biCompression;
    clrUsed = ih.biClrUsed;
    if (ih.biPlanes != 1) BadBitmap("planes must be 1");
    headerEnd = 14 + static_cast<Int64>(headerSize);
  } else {
    BadBitmap("unknown header size " + IntToStr(headerSize));
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) BadBitmap("empty or negative size");
  // Colour masks follow a 40-byte header with bit fields; later headers hold them inside.
  DWORD masks[3] = {0, 0, 0};
  if (compression == kBiBitfields) {
    if (bits != 16 && bits != 32) BadBitmap("bit fields need 16 or 32 bits");
    if (headerSize == sizeof(BmpInfoHeader)) {
      ReadExact(Stream, masks, sizeof masks);
      headerEnd += sizeof masks;
    } else {
      // Masks sit right after the 40 bytes of a longer header.
      Stream->Seek(start + 14 + 40, soBeginning);
      ReadExact(Stream, masks, sizeof masks);
    }
  } else if (compression != kBiRgb) {
    BadBitmap("compressed bitmaps are not read here");
  }
  TPixelFormat format;
  switch (bits) {
    case 1: format = pf1bit; break;
    case 4: format = pf4bit; break;
    case 8: format = pf8bit; break;
    case 16:
      if (compression == kBiRgb || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) format = pf15bit;
      else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) format = pf16bit;
      else BadBitmap("unsupported 16-bit colour masks");
      break;
    case 24: format = pf24bit; break;
    case 32:
      if (compression == kBiBitfields && !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
        BadBitmap("unsupported 32-bit colour masks");
      format = pf32bit;
      break;
    default: BadBitmap("unsupported bit count " + IntToStr(bits));
  }
  const Int64 rowBytes = ((width * PixelFormatBits(format) + 31) / 32) * 4;
  if (width > INT32_MAX || height > INT32_MAX || rowBytes > kMaxPixelBytes / height) BadBitmap("too large");
  // Colour table.
  std::vector<TRGBQuad> table = DefaultColorTable(format);
  if (bits <= 8) {
    const DWORD maxEntries = 1u << bits;
    const DWORD entries = clrUsed == 0 ? maxEntries : clrUsed;
    if (entries > maxEntries) BadBitmap("colour table too long");
    Stream->Seek(start + headerEnd, soBeginning);
    std::vector<Byte> raw(static_cast<std::size_t>(entries) * entrySize);
    ReadExact(Stream, raw.data(), static_cast<Int64>(raw.size()));
    for (DWORD i = 0; i < entries; ++i)
      table[i] = TRGBQuad{raw[i * entrySize], raw[i * entrySize + 1], raw[i * entrySize + 2], 0};
    headerEnd += static_cast<Int64>(raw.size());
  }
  // Pixel rows: at bfOffBits when it points past the headers.
  const Int64 dataStart = fh.bfOffBits >= headerEnd ? fh.bfOffBits : headerEnd;
  const Int64 dataBytes = rowBytes * height;
  if (dataStart + dataBytes > available) BadBitmap("data cut short");
  TBitmap loaded(static_cast<Integer>(width), static_cast<Integer>(height), format);
  loaded.FPalette = table;
  Stream->Seek(start + dataStart, soBeginning);
  for (Int64 r = 0; r < height; ++r) {
    const Integer y = static_cast<Integer>(topDown ? r : height - 1 - r);
    ReadExact(Stream, loaded.ScanLine(y), rowBytes);
  }
  // Keep the rows' addresses when size and format are unchanged.
  Assign(&loaded);
}

void TBitmap::SaveToStream(TStream* Stream) {
  if (!Stream) throw EWriteError("Stream write error");
  const Integer bits = PixelFormatBits(FPixelFormat);
  const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  const bool bitfields = FPixelFormat == pf16bit;
  const Int64 tableBytes = static_cast<Int64>(FPalette.size()) * 4 + (bitfields ? sizeof masks : 0);
  const Int64 offBits = 14 + 40 + tableBytes;
  const Int64 dataBytes = static_cast<Int64>(FRowBytes) * FHeight;
  BmpFileHeader fh{kBmpMagic, static_cast<DWORD>(std::min<Int64>(offBits + dataBytes, UINT32_MAX)), 0, 0,
                   static_cast<DWORD>(offBits)};
  BmpInfoHeader ih{40, FWidth, FHeight, 1, static_cast<Word>(bits), bitfields ? kBiBitfields : kBiRgb,
                   static_cast<DWORD>(dataBytes), 0, 0, static_cast<DWORD>(FPalette.size()), 0};
  Stream->WriteBuffer(&fh, sizeof fh);
  Stream->WriteBuffer(&ih, sizeof ih);
  if (bitfields) Stream->WriteBuffer(masks, sizeof masks);
  if (!FPalette.empty()) Stream->WriteBuffer(FPalette.data(), static_cast<Int64>(FPalette.size()) * 4);
  for (Integer y = FHeight - 1; y >= 0; --y) Stream->WriteBuffer(ScanLine(y), FRowBytes);
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!ACanvas || GetEmpty()) return;
  ACanvas->CopyFromSurface(Rect, this, TRect{0, 0, FWidth, FHeight}, GetTransparent() ? GetTransparentColor() : clNone);
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto b = std::make_unique<TBitmap>();
  b->Assign(this);
  return b;
}

void TBitmap::FreeImage() {
  if (GetEmpty() && FPixels.empty()) return;
  Reallocate(0, 0, FPixelFormat, false);
  Changed();
}

QImage TBitmap::ToQImage(bool WithAlpha) const {
  const bool alpha = WithAlpha && FPixelFormat == pf32bit;
  QImage img(FWidth, FHeight, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const Integer bits = SurfaceBits(FPixelFormat);
  for (Integer y = 0; y < FHeight; ++y) {
    const Byte* src = ScanLine(y);
    QRgb* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
    if (bits == 24 || bits == 32) {  // the common formats, byte by byte
      const Integer step = bits / 8;
      for (Integer x = 0; x < FWidth; ++x, src += step)
        dst[x] = qRgba(src[2], src[1], src[0], alpha ? src[3] : 255);
      continue;
    }
    for (Integer x = 0; x < FWidth; ++x) {
      const TColor c = raster::ValueToColor(raster::ReadValue(src, x, bits), bits, FPalette);
      const int a = alpha ? src[4 * x + 3] : 255;
      dst[x] = qRgba(GetRValue(c), GetGValue(c), GetBValue(c), a);
    }
  }
  return img;
}

void TBitmap::FromQImage(const QImage& Image) {
  QImage src = Image;
  TPixelFormat fmt;
  std::vector<TRGBQuad> table;
  switch (Image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
      src = Image.convertToFormat(QImage::Format_Mono);
      fmt = pf1bit;
      break;
    case QImage::Format_Indexed8:
      fmt = pf8bit;
      break;
    case QImage::Format_Grayscale8:
      fmt = pf8bit;
      break;
    default:
      if (Image.hasAlphaChannel()) {
        src = Image.convertToFormat(QImage::Format_ARGB32);
        fmt = pf32bit;
      } else {
        src = Image.convertToFormat(QImage::Format_RGB32);
        fmt = pf24bit;
      }
      break;
  }
  if (fmt == pf1bit || fmt == pf8bit) {
    const Integer n = fmt == pf1bit ? 2 : 256;
    table.assign(static_cast<std::size_t>(n), TRGBQuad{});
    const QList<QRgb> ct = src.colorTable();
    for (Integer i = 0; i < n; ++i) {
      if (src.format() == QImage::Format_Grayscale8) {
        table[i] = TRGBQuad{static_cast<Byte>(i), static_cast<Byte>(i), static_cast<Byte>(i), 0};
      } else if (i < ct.size()) {
        table[i] = TRGBQuad{static_cast<Byte>(qBlue(ct[i])), static_cast<Byte>(qGreen(ct[i])),
                            static_cast<Byte>(qRed(ct[i])), 0};
      }
    }
  }
  FPixelFormat = fmt;
  FPalette = table.empty() ? DefaultColorTable(fmt) : table;
  Reallocate(src.width(), src.height(), fmt, false);
  for (Integer y = 0; y < FHeight; ++y) {
    const uchar* s = src.constScanLine(y);
    Byte* d = ScanLine(y);
    if (fmt == pf1bit) {
      std::memcpy(d, s, static_cast<std::size_t>((FWidth + 7) / 8));
    } else if (fmt == pf8bit) {
      std::memcpy(d, s, static_cast<std::size_t>(FWidth));
    } else {
      const QRgb* p = reinterpret_cast<const QRgb*>(s);
      const Integer step = fmt == pf32bit ? 4 : 3;
      for (Integer x = 0; x < FWidth; ++x) {
        d[step * x] = static_cast<Byte>(qBlue(p[x]));
        d[step * x + 1] = static_cast<Byte>(qGreen(p[x]));
        d[step * x + 2] = static_cast<Byte>(qRed(p[x]));
        if (step == 4) d[4 * x + 3] = static_cast<Byte>(qAlpha(p[x]));
      }
    }
  }
  Changed();
}

// ---------------------------------------------------------------------------
// Picture
// ---------------------------------------------------------------------------

namespace {

std::mutex gFormatsLock;

std::vector<TPicture::TFileFormat>& Formats() {
  static std::vector<TPicture::TFileFormat> formats = [] {
    std::vector<TPicture::TFileFormat> f;
    f.push_back(TPicture::TFileFormat{"bmp", "Bitmaps", typeid(TBitmap),
                                      [] { return std::unique_ptr<TGraphic>(new TBitmap()); }});
    return f;
  }();
  return formats;
}

String NormaliseExtension(const String& Extension) {
  String e = Extension;
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  for (char& ch : e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return e;
}

}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Hook() {
  if (FGraphic) FGraphic->OnChange = [this](TObject* Sender) { Changed(Sender); };
}

void TPicture::Changed(TObject* Sender) {
  if (OnChange) OnChange(Sender ? Sender : this);
}

void TPicture::SetGraphic(const TGraphic* Value) {
  std::unique_ptr<TGraphic> copy = Value ? Value->Clone() : nullptr;
  FGraphic = std::move(copy);
  Hook();
  Changed(this);
}

TBitmap* TPicture::GetBitmap() {
  auto* bmp = dynamic_cast<TBitmap*>(FGraphic.get());
  if (!bmp) {
    FGraphic = std::make_unique<TBitmap>();
    bmp = static_cast<TBitmap*>(FGraphic.get());
    Hook();
    Changed(this);
  }
  return bmp;
}

void TPicture::Assign(const TPicture* Source) {
  if (!Source || Source == this) return;
  SetGraphic(Source->FGraphic.get());
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) SetGraphic(nullptr);
  else if (auto* p = dynamic_cast<TPicture*>(Source)) Assign(static_cast<const TPicture*>(p));
  else if (auto* g = dynamic_cast<TGraphic*>(Source)) SetGraphic(g);
  else TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const String& FileName) {
  const String ext = NormaliseExtension(ExtractFileExt(FileName));
  TGraphicFactory factory = FindFileFormat(ext);
  if (!factory) throw EInvalidGraphic("Unknown picture file extension (." + ext + ")");
  std::unique_ptr<TGraphic> g = factory();
  g->LoadFromFile(FileName);
  FGraphic = std::move(g);
  Hook();
  Changed(this);
}

void TPicture::SaveToFile(const String& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::RegisterFileFormat(const String& Extension, const String& Description, std::type_index Class,
                                  TGraphicFactory Factory) {
  std::lock_guard<std::mutex> g(gFormatsLock);
  Formats().insert(Formats().begin(), TFileFormat{NormaliseExtension(Extension), Description, Class, std::move(Factory)});
}

void TPicture::UnregisterGraphicClass(std::type_index Class) {
  std::lock_guard<std::mutex> g(gFormatsLock);
  auto& f = Formats();
  f.erase(std::remove_if(f.begin(), f.end(), [&](const TFileFormat& e) { return e.Class == Class; }), f.end());
}

std::vector<TPicture::TFileFormat> TPicture::FileFormats() {
  std::lock_guard<std::mutex> g(gFormatsLock);
  return Formats();
}

TPicture::TGraphicFactory TPicture::FindFileFormat(const String& Extension) {
  const String e = NormaliseExtension(Extension);
  std::lock_guard<std::mutex> g(gFormatsLock);
  for (const TFileFormat& f : Formats())
    if (f.Extension == e) return f.Factory;
  return {};
}
