#include "platform/metafile_draw.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace metafile {

namespace {

Cardinal U32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Word U16(const Byte* p) { return Word(p[0] | p[1] << 8); }

// Handles a metafile may make; more are not followed.
constexpr size_t kMaxObjects = 4096;
// States SaveDC may stack.
constexpr size_t kMaxSaved = 1024;
// Elements of a path or clip outline; past this, more figures are dropped
// rather than letting a file grow them without end.
constexpr int kMaxPathElements = 1 << 18;
// Elements of an outline that clipping combines with another: the
// combination costs more than linear time, so a clip stays small.
constexpr int kMaxClipElements = 4096;
// The most pixels a bitmap record may decode to.
constexpr Int64 kMaxDibPixels = Int64(1) << 26;
// The largest side of a bitmap.
constexpr Int64 kMaxDibSide = 1 << 20;
// Transform entries past this are taken for garbage.
constexpr double kMaxScale = 1e7;

// Raster operations with the source.
constexpr Cardinal kSrcPaint = 0x00EE0086, kSrcAnd = 0x008800C6, kSrcInvert = 0x00660046,
                   kNotSrcCopy = 0x00330008;
// Raster operations without it.
constexpr Cardinal kPatCopy = 0x00F00021, kPatInvert = 0x005A0049, kDstInvert = 0x00550009, kBlackness = 0x00000042,
                   kWhiteness = 0x00FF0062;

// The value of a bit-field mask, stretched to 8 bits.
int Field(Cardinal V, Cardinal Mask) {
  if (!Mask) return 0;
  int shift = 0;
  while (!(Mask >> shift & 1)) ++shift;
  const Cardinal m = Mask >> shift;
  const Cardinal v = (V >> shift) & m;
  return int((Int64(v) * 255 + m / 2) / m);
}

bool Finite(const QTransform& M) {
  for (double v : {M.m11(), M.m12(), M.m21(), M.m22(), M.dx(), M.dy()})
    if (!std::isfinite(v)) return false;
  return true;
}

QPainterPath Rects(const std::vector<QRectF>& R) {
  QPainterPath p;
  for (const QRectF& r : R) p.addRect(r.normalized());
  return p;
}

}  // namespace

size_t DibInfoSize(const Byte* Info, size_t InfoLen) {
  if (InfoLen < 12) return 0;
  const Cardinal hs = U32(Info);
  if (hs == 12) {
    const Word bits = U16(Info + 10);
    return 12 + (bits <= 8 ? size_t(3) << bits : 0);
  }
  if (hs < 40 || InfoLen < 40 || hs > InfoLen) return 0;
  const Word bits = U16(Info + 14);
  const Cardinal compression = U32(Info + 16), used = U32(Info + 32);
  size_t size = hs;
  if (compression == 3 && hs == 40) size += 12;  // the three masks
  if (bits <= 8) size += size_t(used && used < (1u << bits) ? used : 1u << bits) * 4;
  else if (used && used <= 256) size += size_t(used) * 4;
  return size;
}

namespace {

// Run-coded palette pixels (8 or 4 bits) into Img, bottom row first.
// Pixels the runs skip or never reach keep colour 0; runs past a row's end
// or past the top are cut. Every step consumes data, so it ends.
void RunDecode(QImage& Img, const Byte* D, size_t N, bool Nibbles, const std::vector<QRgb>& Table) {
  const Int64 w = Img.width(), h = Img.height();
  Int64 x = 0, y = 0;
  auto put = [&](Byte Index) {
    if (x < w && y < h) reinterpret_cast<QRgb*>(Img.scanLine(int(h - 1 - y)))[x] = Table[Index];
    ++x;
  };
  size_t pos = 0;
  while (pos + 2 <= N && y < h) {
    const Byte n = D[pos], c = D[pos + 1];
    pos += 2;
    if (n > 0) {
      for (int i = 0; i < n && x < w; ++i) put(Nibbles ? (i & 1 ? c & 15 : c >> 4) : c);
    } else if (c == 0) {
      x = 0, ++y;
    } else if (c == 1) {
      break;
    } else if (c == 2) {
      if (pos + 2 > N) break;
      x += D[pos], y += D[pos + 1];
      pos += 2;
    } else {
      // A literal run of c pixels, padded to a whole 16-bit word.
      const size_t bytes = Nibbles ? (c + 1) / 2 : c;
      if (bytes > N - pos) break;
      for (int i = 0; i < c; ++i) put(Nibbles ? (i & 1 ? D[pos + i / 2] & 15 : D[pos + i / 2] >> 4) : D[pos + i]);
      pos += (bytes + 1) & ~size_t(1);
    }
  }
}

}  // namespace

QImage ReadDib(const Byte* Info, size_t InfoLen, const Byte* Bits, size_t BitsLen) {
  if (!Info || InfoLen < 12) return {};
  const Cardinal hs = U32(Info);
  Int64 w = 0, h = 0;
  Cardinal bits = 0, compression = 0, used = 0;
  size_t tableAt = 0, entry = 4;
  Cardinal masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (hs == 12) {
    w = U16(Info + 4);
    h = U16(Info + 6);
    bits = U16(Info + 10);
    tableAt = 12;
    entry = 3;
  } else if (hs >= 40 && InfoLen >= 40 && hs <= InfoLen) {
    w = Integer(U32(Info + 4));
    h = Integer(U32(Info + 8));
    bits = U16(Info + 14);
    compression = U32(Info + 16);
    used = U32(Info + 32);
    tableAt = hs;
    if (compression == 3) {
      const size_t at = hs >= 52 ? 40 : hs;
      if (InfoLen < at + 12) return {};
      for (int i = 0; i < 3; ++i) masks[i] = U32(Info + at + 4 * i);
      if (hs < 52) tableAt += 12;
    } else if (bits == 32) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    }
  } else {
    return {};
  }
  const bool topDown = h < 0;
  h = std::abs(h);
  if (w <= 0 || h <= 0 || w > kMaxDibSide || h > kMaxDibSide || w * h > kMaxDibPixels) return {};
  const bool rle = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
  if (compression != 0 && !rle && !(compression == 3 && (bits == 16 || bits == 32))) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return {};
  if (rle && topDown) return {};  // run-coded bitmaps are stored bottom-up only
  const Int64 stride = (w * bits + 31) / 32 * 4;
  if (!Bits || (!rle && Int64(BitsLen) / stride < h)) return {};
  std::vector<QRgb> table;
  if (bits <= 8) {
    const size_t n = used && used < (1u << bits) ? used : 1u << bits;
    table.assign(size_t(1) << bits, qRgb(0, 0, 0));
    for (size_t i = 0; i < n && tableAt + i * entry + 3 <= InfoLen; ++i) {
      const Byte* e = Info + tableAt + i * entry;
      table[i] = qRgb(e[2], e[1], e[0]);
    }
  }
  QImage img(int(w), int(h), QImage::Format_RGB32);
  if (img.isNull()) return {};
  if (rle) {
    img.fill(table[0]);
    RunDecode(img, Bits, BitsLen, bits == 4, table);
    return img;
  }
  for (Int64 y = 0; y < h; ++y) {
    const Byte* row = Bits + (topDown ? y : h - 1 - y) * stride;
    QRgb* out = reinterpret_cast<QRgb*>(img.scanLine(int(y)));
    for (Int64 x = 0; x < w; ++x) {
      switch (bits) {
        case 1: out[x] = table[row[x >> 3] >> (7 - (x & 7)) & 1]; break;
        case 4: out[x] = table[row[x >> 1] >> (x & 1 ? 0 : 4) & 15]; break;
        case 8: out[x] = table[row[x]]; break;
        case 24: out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
        default: {
          const Cardinal v = bits == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
          out[x] = qRgb(Field(v, masks[0]), Field(v, masks[1]), Field(v, masks[2]));
        }
      }
    }
  }
  return img;
}

Player::Player(QPainter& Painter, bool Enhanced, double Width, double Height, double FrameLeft, double FrameTop,
               double FrameW, double FrameH, double MmX, double MmY)
    : P(Painter),
      FEnhanced(Enhanced),
      FTw(Width),
      FTh(Height),
      FOx(FrameLeft),
      FOy(FrameTop),
      FFw(FrameW),
      FFh(FrameH),
      FMmX(MmX > 0 ? MmX : 96 / 25.4),
      FMmY(MmY > 0 ? MmY : 96 / 25.4) {
  S.Font.Height = -12;
  S.Font.Face = "Sans Serif";
}

// Logical units to target pixels: the world transform, then the page to
// the device (by the mapping mode), then the frame onto the target. The
// 16-bit kind has no device of its own: its window is the picture.
QTransform Player::Full() const {
  double sx = 1, sy = 1, ox = 0, oy = 0;  // page to target: x * s + o
  if (FEnhanced) {
    double px = 1, py = 1;
    switch (S.MapMode) {
      case 2: px = FMmX / 10, py = -FMmY / 10; break;  // 0.1 mm
      case 3: px = FMmX / 100, py = -FMmY / 100; break;  // 0.01 mm
      case 4: px = FMmX * 0.254, py = -FMmY * 0.254; break;  // 0.01 inch
      case 5: px = FMmX * 0.0254, py = -FMmY * 0.0254; break;  // 0.001 inch
      case 6: px = FMmX * 25.4 / 1440, py = -FMmY * 25.4 / 1440; break;  // twips
      case 7: case 8:
        if (S.WinEX != 0 && S.WinEY != 0 && S.VpEX != 0 && S.VpEY != 0) {
          px = S.VpEX / S.WinEX, py = S.VpEY / S.WinEY;
          if (S.MapMode == 7) {
            const double s = std::min(std::abs(px), std::abs(py));
            px = std::copysign(s, px), py = std::copysign(s, py);
          }
        }
        break;
      default: break;
    }
    const double kx = FTw / FFw, ky = FTh / FFh;
    sx = px * kx, sy = py * ky;
    ox = (S.VpOX - S.WinOX * px - FOx) * kx;
    oy = (S.VpOY - S.WinOY * py - FOy) * ky;
  } else if (S.WinEX != 0 && S.WinEY != 0) {
    sx = FTw / S.WinEX, sy = FTh / S.WinEY;
    ox = -S.WinOX * sx, oy = -S.WinOY * sy;
  } else {
    sx = FTw / FFw, sy = FTh / FFh;
    ox = -FOx * sx, oy = -FOy * sy;
  }
  return S.World * QTransform(sx, 0, 0, sy, ox, oy);
}

bool Player::Usable(const QTransform& M) const {
  if (!Finite(M)) return false;
  for (double v : {M.m11(), M.m12(), M.m21(), M.m22()})
    if (std::abs(v) > kMaxScale) return false;
  return std::abs(M.determinant()) > 1e-12;
}

void Player::ScaleWindowExt(double XNum, double XDen, double YNum, double YDen) {
  if (XDen != 0 && YDen != 0) S.WinEX = S.WinEX * XNum / XDen, S.WinEY = S.WinEY * YNum / YDen;
}

void Player::ScaleViewportExt(double XNum, double XDen, double YNum, double YDen) {
  if (XDen != 0 && YDen != 0) S.VpEX = S.VpEX * XNum / XDen, S.VpEY = S.VpEY * YNum / YDen;
}

void Player::WorldTransform(const QTransform& M, Cardinal Mode) {
  QTransform next;
  switch (Mode) {
    case 1: break;
    case 2: next = M * S.World; break;
    case 3: next = S.World * M; break;
    case 4: next = M; break;
    default: return;
  }
  if (Usable(next)) S.World = next;
}

void Player::SaveDC() {
  if (FSaved.size() < kMaxSaved) FSaved.push_back(S);
}

void Player::RestoreDC(Integer Which) {
  const Int64 n = Int64(FSaved.size());
  const Int64 target = Which < 0 ? n + Which : Int64(Which) - 1;  // index of the state to take back
  if (target < 0 || target >= n) return;
  S = FSaved[size_t(target)];
  FSaved.resize(size_t(target));
}

void Player::MoveTo(double X, double Y) {
  S.Cur = QPointF(X, Y);
  if (FPathOpen && FPath.elementCount() < kMaxPathElements) FPath.moveTo(Full().map(S.Cur));
}

// --- objects ------------------------------------------------------------------

void Player::Put(Cardinal Index, const Object& O) {
  if (Index >= kMaxObjects) return;
  if (FObjects.size() <= Index) FObjects.resize(size_t(Index) + 1);
  FObjects[Index] = O;
}

void Player::Add(const Object& O) {
  for (auto& slot : FObjects)
    if (slot.Kind == Object::None) return void(slot = O);
  if (FObjects.size() < kMaxObjects) FObjects.push_back(O);
}

const Object* Player::At(Cardinal Index) const {
  return Index < FObjects.size() && FObjects[Index].Kind != Object::None ? &FObjects[Index] : nullptr;
}

void Player::Select(Cardinal Index) {
  if (FEnhanced && Index & 0x80000000u) {
    // Stock objects.
    static const int greys[] = {255, 192, 128, 64, 0};
    const Cardinal stock = Index & 0x7FFFFFFFu;
    if (stock <= 4) S.Brush = Object{Object::Brush, QColor(greys[stock], greys[stock], greys[stock])};
    else if (stock == 18) S.Brush = Object{Object::Brush, Qt::white};
    else if (stock == 5) S.Brush = Object{Object::Brush, Qt::white, true};
    else if (stock == 6 || stock == 7 || stock == 19) S.Pen = Object{Object::Pen, stock == 6 ? Qt::white : Qt::black};
    else if (stock == 8) S.Pen = Object{Object::Pen, Qt::black, true};
    else if (stock >= 10 && stock <= 17) S.Font = Object{Object::Font}, S.Font.Height = -12, S.Font.Face = "Sans Serif";
    return;
  }
  const Object* o = At(Index);
  if (!o) return;
  if (o->Kind == Object::Pen) S.Pen = *o;
  if (o->Kind == Object::Brush) S.Brush = *o;
  if (o->Kind == Object::Font) S.Font = *o;
}

void Player::Delete(Cardinal Index) {
  if (Index < FObjects.size()) FObjects[Index] = Object();
}

// --- clipping -----------------------------------------------------------------

void Player::ClipTo(const QPainterPath& Target, int How) {
  if (Target.elementCount() > kMaxClipElements) return;
  QPainterPath whole;
  whole.addRect(QRectF(-1, -1, FTw + 2, FTh + 2));
  const QPainterPath now = S.Clip ? *S.Clip : whole;
  QPainterPath next;
  switch (How) {
    case 0: next = now.intersected(Target); break;
    case 1: next = now.united(Target); break;
    case 2: next = now.united(Target).subtracted(now.intersected(Target)); break;
    case 3: next = now.subtracted(Target); break;
    default: next = Target; break;
  }
  if (next.elementCount() > kMaxClipElements) return;
  S.Clip = next.intersected(whole);
}

void Player::ClipRect(const QRectF& R, int How) {
  const QTransform m = Full();
  if (!Usable(m)) return;
  QPainterPath p;
  p.addRect(R.normalized());
  ClipTo(m.map(p), How);
}

void Player::SelectClipRegion(const std::vector<QRectF>& DeviceRects, Cardinal Mode) {
  if (Mode < 1 || Mode > 5) return;
  if (DeviceRects.empty() && Mode == 5) return void(S.Clip.reset());
  if (!FEnhanced) return;
  const QTransform toTarget(FTw / FFw, 0, 0, FTh / FFh, -FOx * FTw / FFw, -FOy * FTh / FFh);
  ClipTo(toTarget.map(Rects(DeviceRects)), int(Mode) - 1);
}

void Player::SelectClipPath(Cardinal Mode) {
  if (!FPathDone || Mode < 1 || Mode > 5) return;
  QPainterPath p = FPath;
  p.setFillRule(S.Winding ? Qt::WindingFill : Qt::OddEvenFill);
  ClipTo(p, int(Mode) - 1);
  AbortPath();
}

// --- paths --------------------------------------------------------------------

void Player::BeginPath() {
  FPath = QPainterPath();
  FPathOpen = true;
  FPathDone = true;
}

void Player::AbortPath() {
  FPath = QPainterPath();
  FPathOpen = FPathDone = false;
}

void Player::CloseFigure() {
  if (FPathOpen) FPath.closeSubpath();
}

void Player::FillPath(bool Fill, bool Stroke) {
  if (!FPathDone || FPathOpen) return;
  QPainterPath p = FPath;
  AbortPath();
  const QTransform m = Full();
  if (!Ready(Fill) || !Usable(m) || !Mix()) return;
  // The path is held in target pixels: draw it untransformed with the pen
  // widened as the mapping widens it.
  P.setTransform(QTransform());
  if (!Stroke) P.setPen(Qt::NoPen);
  else if (QPen pen = P.pen(); pen.widthF() > 0) pen.setWidthF(pen.widthF() * std::sqrt(std::abs(m.determinant()))), P.setPen(pen);
  if (!Fill) P.setBrush(Qt::NoBrush);
  p.setFillRule(S.Winding ? Qt::WindingFill : Qt::OddEvenFill);
  if (Fill && S.Brush.Hatch >= 0 && S.Opaque) P.fillPath(p, S.BkColour);
  P.drawPath(p);
}

void Player::WidenPath() {
  if (!FPathDone || FPathOpen || FPath.elementCount() > kMaxClipElements) return;
  QPainterPathStroker stroker;
  stroker.setWidth(std::max(1.0, S.Pen.Width * std::sqrt(std::abs(Full().determinant()))));
  const QPainterPath wide = stroker.createStroke(FPath);
  if (wide.elementCount() <= kMaxPathElements) FPath = wide;
}

// --- drawing ------------------------------------------------------------------

bool Player::Ready(bool Fill) {
  const QTransform m = Full();
  if (!Usable(m)) return false;
  P.setTransform(QTransform());
  if (S.Clip) P.setClipPath(*S.Clip);
  else P.setClipping(false);
  P.setTransform(m);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (S.Pen.Null) {
    P.setPen(Qt::NoPen);
  } else {
    // A width under one pixel on the target draws one pixel wide.
    const double device = S.Pen.Width * std::sqrt(std::abs(m.determinant()));
    QPen pen(S.Pen.Colour, device < 1.5 ? 0.0 : S.Pen.Width);
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine};
    const Cardinal style = S.Pen.Style & 0xF;
    pen.setStyle(style < 5 ? styles[style] : Qt::SolidLine);
    const Cardinal cap = S.Pen.Style & 0xF00, join = S.Pen.Style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
    P.setPen(pen);
  }
  if (!Fill || S.Brush.Null) {
    P.setBrush(Qt::NoBrush);
  } else if (!S.Brush.Pattern.isNull()) {
    P.setBrush(QBrush(S.Brush.Pattern));
  } else if (S.Brush.Hatch >= 0) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern, Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern};
    P.setBrush(QBrush(S.Brush.Colour, S.Brush.Hatch < 6 ? hatches[S.Brush.Hatch] : Qt::SolidPattern));
  } else {
    P.setBrush(S.Brush.Colour);
  }
  return true;
}

bool Player::Mix() {
  using M = QPainter::CompositionMode;
  static const M modes[] = {M::RasterOp_ClearDestination,
                            M::RasterOp_NotSourceAndNotDestination,
                            M::RasterOp_NotSourceAndDestination,
                            M::RasterOp_NotSource,
                            M::RasterOp_SourceAndNotDestination,
                            M::RasterOp_NotDestination,
                            M::RasterOp_SourceXorDestination,
                            M::RasterOp_NotSourceOrNotDestination,
                            M::RasterOp_SourceAndDestination,
                            M::RasterOp_NotSourceXorDestination,
                            M::CompositionMode_Destination,
                            M::RasterOp_NotSourceOrDestination,
                            M::CompositionMode_SourceOver,
                            M::RasterOp_SourceOrNotDestination,
                            M::RasterOp_SourceOrDestination,
                            M::RasterOp_SetDestination};
  if (S.Rop2 == 11) return false;
  P.setCompositionMode(modes[S.Rop2 - 1]);
  return true;
}

// Draws a figure, or adds it to the open path.
void Player::Shape(QPainterPath Path, bool Fill, bool Stroke) {
  if (FPathOpen) {
    const QTransform m = Full();
    if (Usable(m) && FPath.elementCount() + Path.elementCount() <= kMaxPathElements)
      FPath.addPath(m.map(Path));
    return;
  }
  if (!Ready(Fill) || !Mix()) return;
  if (!Stroke) P.setPen(Qt::NoPen);
  Path.setFillRule(S.Winding ? Qt::WindingFill : Qt::OddEvenFill);
  if (Fill && !S.Brush.Null && S.Brush.Hatch >= 0 && S.Opaque) P.fillPath(Path, S.BkColour);
  P.drawPath(Path);
}

void Player::LineTo(double X, double Y) {
  const QPointF to(X, Y);
  if (FPathOpen) {
    const QTransform m = Full();
    if (Usable(m) && FPath.elementCount() < kMaxPathElements) {
      if (FPath.elementCount() == 0 || FPath.currentPosition() != m.map(S.Cur)) FPath.moveTo(m.map(S.Cur));
      FPath.lineTo(m.map(to));
    }
  } else if (Ready(false) && Mix()) {
    P.drawLine(S.Cur, to);
  }
  S.Cur = to;
}

void Player::Polyline(const QPolygonF& Points) {
  if (Points.size() < 2) return;
  QPainterPath p;
  p.addPolygon(Points);
  Shape(p, false, true);
}

void Player::PolylineTo(const QPolygonF& Points) {
  for (const QPointF& pt : Points) LineTo(pt.x(), pt.y());
}

void Player::Polygon(const QPolygonF& Points) {
  if (Points.size() < 2) return;
  QPainterPath p;
  p.addPolygon(Points);
  p.closeSubpath();
  Shape(p, true, true);
}

void Player::PolyPolygon(const std::vector<QPolygonF>& Polys) {
  QPainterPath p;
  for (const QPolygonF& poly : Polys) {
    if (poly.size() < 2) continue;
    p.addPolygon(poly);
    p.closeSubpath();
  }
  Shape(p, true, true);
}

void Player::PolyBezier(const QPolygonF& Points) {
  if (Points.size() < 4) return;
  QPainterPath p(Points[0]);
  for (qsizetype i = 1; i + 2 < Points.size(); i += 3) p.cubicTo(Points[i], Points[i + 1], Points[i + 2]);
  Shape(p, false, true);
}

void Player::PolyBezierTo(const QPolygonF& Points) {
  if (Points.size() < 3) return;
  QPainterPath p(S.Cur);
  for (qsizetype i = 0; i + 2 < Points.size(); i += 3) p.cubicTo(Points[i], Points[i + 1], Points[i + 2]);
  S.Cur = p.currentPosition();
  if (FPathOpen) {
    const QTransform m = Full();
    if (!Usable(m) || FPath.elementCount() + p.elementCount() > kMaxPathElements) return;
    // Continue the figure rather than start one.
    if (FPath.elementCount() == 0 || FPath.currentPosition() != m.map(p.elementAt(0))) FPath.moveTo(m.map(p.elementAt(0)));
    for (int i = 1; i + 2 < p.elementCount(); i += 3)
      FPath.cubicTo(m.map(QPointF(p.elementAt(i))), m.map(QPointF(p.elementAt(i + 1))), m.map(QPointF(p.elementAt(i + 2))));
    return;
  }
  Shape(p, false, true);
}

void Player::Rectangle(const QRectF& R) {
  QPainterPath p;
  p.addRect(R.normalized());
  Shape(p, true, true);
}

void Player::RoundRect(const QRectF& R, double CornerW, double CornerH) {
  QPainterPath p;
  p.addRoundedRect(R.normalized(), std::abs(CornerW) / 2, std::abs(CornerH) / 2);
  Shape(p, true, true);
}

void Player::Ellipse(const QRectF& R) {
  QPainterPath p;
  p.addEllipse(R.normalized());
  Shape(p, true, true);
}

// The outline of an arc, chord or pie: counter-clockwise (as the logical
// axes lie) from where the line from the centre to Start meets the ellipse
// to where the one to End does; the same point twice is the whole ellipse.
QPainterPath Player::ArcPath(const QRectF& Box, QPointF Start, QPointF End, int Kind) const {
  const QRectF box = Box.normalized();
  const QPointF c = box.center();
  const double rx = box.width() / 2, ry = box.height() / 2;
  if (rx <= 0 || ry <= 0) return {};
  auto angle = [&](QPointF Pt) {
    return std::atan2(-(Pt.y() - c.y()) / ry, (Pt.x() - c.x()) / rx) * 180 / std::numbers::pi;
  };
  const double a0 = angle(Start), a1 = angle(End);
  double sweep = a1 - a0;
  if (S.Clockwise) {
    while (sweep >= 0) sweep -= 360;
  } else {
    while (sweep <= 0) sweep += 360;
  }
  if (Kind == 2) {
    QPainterPath pie(c);
    pie.arcTo(box, a0, sweep);
    pie.closeSubpath();
    return pie;
  }
  QPainterPath arc;
  arc.arcMoveTo(box, a0);
  arc.arcTo(box, a0, sweep);
  if (Kind == 1) arc.closeSubpath();
  return arc;
}

void Player::Arc(const QRectF& Box, QPointF Start, QPointF End, int Kind) {
  QPainterPath p = ArcPath(Box, Start, End, Kind);
  if (p.elementCount() == 0) return;
  if (Kind == 3) {
    LineTo(p.elementAt(0).x, p.elementAt(0).y);
    S.Cur = p.currentPosition();
    if (FPathOpen) {
      const QTransform m = Full();
      if (Usable(m) && FPath.elementCount() + p.elementCount() <= kMaxPathElements) FPath.connectPath(m.map(p));
      return;
    }
  }
  Shape(p, Kind == 1 || Kind == 2, true);
}

void Player::AngleArc(QPointF Centre, double Radius, double Start, double Sweep) {
  if (!std::isfinite(Start) || !std::isfinite(Sweep) || Radius <= 0) return;
  Sweep = std::clamp(Sweep, -3600.0, 3600.0);
  const QRectF box(Centre.x() - Radius, Centre.y() - Radius, 2 * Radius, 2 * Radius);
  QPainterPath arc;
  arc.arcMoveTo(box, Start);
  arc.arcTo(box, Start, Sweep);
  LineTo(arc.elementAt(0).x, arc.elementAt(0).y);
  S.Cur = arc.currentPosition();
  if (FPathOpen) {
    const QTransform m = Full();
    if (Usable(m) && FPath.elementCount() + arc.elementCount() <= kMaxPathElements) FPath.connectPath(m.map(arc));
    return;
  }
  Shape(arc, false, true);
}

void Player::SetPixel(double X, double Y, QColor C) {
  if (FPathOpen || !Ready(false)) return;
  const QPointF at = Full().map(QPointF(X, Y));
  P.setTransform(QTransform());
  P.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), C);
}

void Player::FillRegion(const std::vector<QRectF>& DeviceRects, const Object* Brush) {
  if (FPathOpen || !FEnhanced || DeviceRects.empty()) return;
  const Object keep = S.Brush;
  if (Brush) S.Brush = *Brush;
  if (Ready(true) && Mix()) {
    P.setTransform(QTransform(FTw / FFw, 0, 0, FTh / FFh, -FOx * FTw / FFw, -FOy * FTh / FFh));
    P.setPen(Qt::NoPen);
    P.drawPath(Rects(DeviceRects));
  }
  S.Brush = keep;
}

void Player::Text(double X, double Y, const QString& Str, const std::vector<double>& Dx, Cardinal Options,
                  const std::optional<QRectF>& Rect) {
  const QTransform m = Full();
  if (FPathOpen || !Usable(m) || !Ready(false)) return;
  const bool updateCp = S.TextAlign & 1;
  const QPointF origin = updateCp ? S.Cur : QPointF(X, Y);
  const double sx = std::hypot(m.m11(), m.m12()), sy = std::hypot(m.m21(), m.m22());
  // The font at its size on the target, never far past the target's own.
  const double most = 8 * std::max(FTw, FTh) + 16;
  double px = (S.Font.Height == 0 ? 12 : std::abs(S.Font.Height)) * sy;
  QFont font(S.Font.Face.isEmpty() ? QStringLiteral("Sans Serif") : S.Font.Face);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setPixelSize(std::max(1, int(std::lround(std::min(px, most)))));
  if (S.Font.Height > 0) {
    // A positive height is the whole cell.
    const double cell = QFontMetricsF(font).height();
    if (cell > 0) px = px * px / cell;
    font.setPixelSize(std::max(1, int(std::lround(std::min(px, most)))));
  }
  font.setWeight(QFont::Weight(std::clamp(S.Font.Weight ? S.Font.Weight : 400, 100, 900)));
  font.setItalic(S.Font.Italic);
  font.setUnderline(S.Font.Underline);
  font.setStrikeOut(S.Font.StrikeOut);
  const QFontMetricsF fm(font);
  double width = 0;
  std::vector<double> advance;  // target pixels along the baseline
  if (!Dx.empty()) {
    for (qsizetype i = 0; i < Str.size(); ++i) {
      advance.push_back(width);
      width += (size_t(i) < Dx.size() ? Dx[size_t(i)] : 0) * sx;
    }
  } else {
    width = fm.horizontalAdvance(Str);
  }
  if (!std::isfinite(width)) return;
  double x0 = 0;
  const Cardinal h = S.TextAlign & 6, v = S.TextAlign & 24;
  if (h == 2) x0 = -width;
  else if (h == 6) x0 = -width / 2;
  const double y0 = v == 24 ? 0 : v == 8 ? -fm.descent() : fm.ascent();
  // Rotation: the escapement, counter-clockwise as seen, and that of the
  // world transform.
  const double turn = -S.Font.Escapement / 10.0 + std::atan2(S.World.m12(), S.World.m11()) * 180 / std::numbers::pi;

  if (Rect && Options & kTextOpaque) {
    QPainterPath box;
    box.addRect(Rect->normalized());
    P.fillPath(box, S.BkColour);
  }
  P.save();
  if (Rect && Options & kTextClipped) {
    QPainterPath box;
    box.addRect(Rect->normalized());
    P.setClipPath(box, Qt::IntersectClip);
  }
  P.setTransform(QTransform());
  P.translate(m.map(origin));
  P.rotate(turn);
  if (S.Opaque) P.fillRect(QRectF(x0, y0 - fm.ascent(), width, fm.ascent() + fm.descent()), S.BkColour);
  P.setFont(font);
  P.setPen(S.TextColour);
  if (advance.empty()) {
    P.drawText(QPointF(x0, y0), Str);
  } else {
    for (qsizetype i = 0; i < Str.size(); ++i) {
      // A pair of surrogates is one character, drawn at the first's place.
      const bool pair = Str[i].isHighSurrogate() && i + 1 < Str.size();
      P.drawText(QPointF(x0 + advance[size_t(i)], y0), Str.mid(i, pair ? 2 : 1));
      if (pair) ++i;
    }
  }
  P.restore();
  if (updateCp && sx > 0) S.Cur = QPointF(origin.x() + (h == 2 ? -width : width) / sx, origin.y());
}

void Player::Blit(const QRectF& Dest, const QImage& Image, const QRectF& Source, Cardinal Rop) {
  if (FPathOpen || Image.isNull() || !Ready(false)) return;
  // Cut to the bitmap before rounding: a source far outside it stays outside.
  const QRectF inside = Source.normalized().intersected(QRectF(Image.rect()));
  if (inside.isEmpty() || Dest.width() == 0 || Dest.height() == 0) return;
  const QRect src = inside.toAlignedRect().intersected(Image.rect());
  if (src.isEmpty()) return;
  const QImage part = Image.copy(src).mirrored(Dest.width() < 0, Dest.height() < 0);
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (Rop) {
    case kSrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case kSrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case kSrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case kNotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    default: break;
  }
  P.setCompositionMode(mode);
  P.setRenderHint(QPainter::SmoothPixmapTransform, false);
  P.drawImage(Dest.normalized(), part);
  P.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Player::PatBlt(const QRectF& Dest, Cardinal Rop) {
  if (FPathOpen || !Ready(true)) return;
  const QRectF r = Dest.normalized();
  switch (Rop) {
    case kBlackness: P.fillRect(r, Qt::black); break;
    case kWhiteness: P.fillRect(r, Qt::white); break;
    case kDstInvert: case kPatInvert:
      P.setCompositionMode(kDstInvert == Rop ? QPainter::RasterOp_NotDestination : QPainter::RasterOp_SourceXorDestination);
      P.fillRect(r, kDstInvert == Rop ? QBrush(Qt::white) : P.brush());
      P.setCompositionMode(QPainter::CompositionMode_SourceOver);
      break;
    case kPatCopy:
    default:
      if (!S.Brush.Null) P.fillRect(r, P.brush());
      break;
  }
}

}  // namespace metafile
