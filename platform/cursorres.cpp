// The program's cursor resources: the zoom, cross, eraser, hand, pen and
// move cursors of the image views, 32 x 32 each, drawn here. Each has a
// monochrome image; the numbered ones but "1803" also have a colour image
// with a hot spot of its own.
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <optional>

#include "platform/cursors.h"

namespace {

enum TShape { shMagnifier, shCross, shEraser, shHand, shPen, shMove4, shMoveV, shMoveH, shMoveDiag, shArrow };

struct TResourceRow {
  const char* Name;
  TShape Shape;
  char Sign;  // '+' or '-' drawn beside the shape, or 0
  TPoint MonoHotSpot;
  std::optional<TPoint> ColourHotSpot;
};

const TResourceRow kRows[] = {
    {"ZOOMMENO", shMagnifier, '-', {10, 10}, std::nullopt},
    {"ZOOMPIU", shMagnifier, '+', {10, 10}, std::nullopt},
    {"CROCE", shCross, 0, {16, 15}, std::nullopt},
    {"GOMMA", shEraser, 0, {10, 7}, std::nullopt},
    {"MANO", shHand, 0, {8, 7}, std::nullopt},
    {"PENNA", shPen, 0, {2, 29}, std::nullopt},
    {"CROCE1", shCross, 0, {16, 15}, std::nullopt},
    {"CROCE3", shCross, 0, {16, 15}, std::nullopt},
    {"MOVE2", shMove4, 0, {15, 15}, std::nullopt},
    {"MOVEY", shMoveV, 0, {15, 15}, std::nullopt},
    {"MOVE1", shMoveDiag, 0, {15, 15}, std::nullopt},
    {"MOVEX", shMoveH, 0, {15, 15}, std::nullopt},
    {"MOVE", shMove4, 0, {10, 10}, std::nullopt},
    {"CROCE3+", shCross, '+', {16, 15}, std::nullopt},
    {"CROCE3-", shCross, '-', {16, 15}, std::nullopt},
    {"CROCE2", shCross, 0, {16, 15}, std::nullopt},
    {"CROCE2+", shCross, '+', {16, 15}, std::nullopt},
    {"CROCE2-", shCross, '-', {15, 16}, std::nullopt},
    {"1795", shArrow, 0, {0, 15}, TPoint{2, 14}},
    {"1796", shArrow, 0, {1, 15}, TPoint{1, 14}},
    {"1797", shMoveH, 0, {13, 14}, TPoint{15, 14}},
    {"1798", shMoveV, 0, {8, 15}, TPoint{8, 13}},
    {"1799", shMove4, 0, {8, 8}, TPoint{8, 7}},
    {"1800", shArrow, 0, {3, 3}, TPoint{3, 3}},
    {"1801", shArrow, '+', {1, 1}, TPoint{1, 2}},
    {"1802", shArrow, '-', {1, 1}, TPoint{0, 0}},
    {"1803", shArrow, 0, {0, 0}, std::nullopt},
    {"1805", shCross, 0, {6, 7}, TPoint{7, 7}},
    {"1806", shArrow, 0, {1, 1}, TPoint{0, 0}},
    {"1807", shArrow, 0, {7, 0}, TPoint{7, 0}},
    {"1808", shMoveDiag, 0, {11, 11}, TPoint{6, 5}},
    {"RX_HANDCUR", shHand, 0, {8, 7}, std::nullopt},
    {"RX_DRAGCUR", shMove4, 0, {15, 15}, std::nullopt},
};

void DrawSign(QPainter& P, char Sign, QPointF At) {
  if (Sign == 0) return;
  P.drawLine(At + QPointF(-3, 0), At + QPointF(3, 0));
  if (Sign == '+') P.drawLine(At + QPointF(0, -3), At + QPointF(0, 3));
}

void DrawArrowHead(QPainter& P, QPointF Tip, QPointF Dir) {
  const QPointF n(-Dir.y(), Dir.x());
  QPolygonF head;
  head << Tip << Tip - 4 * Dir + 3 * n << Tip - 4 * Dir - 3 * n;
  P.drawPolygon(head);
}

/// Draws the shape around hot spot H in the pen's colour.
void DrawShape(QPainter& P, const TResourceRow& R, QPointF H) {
  switch (R.Shape) {
    case shMagnifier:
      P.drawEllipse(H, 7, 7);
      P.drawLine(H + QPointF(5, 5), H + QPointF(12, 12));
      DrawSign(P, R.Sign, H);
      break;
    case shCross:
      P.drawLine(H + QPointF(-10, 0), H + QPointF(-2, 0));
      P.drawLine(H + QPointF(2, 0), H + QPointF(10, 0));
      P.drawLine(H + QPointF(0, -10), H + QPointF(0, -2));
      P.drawLine(H + QPointF(0, 2), H + QPointF(0, 10));
      DrawSign(P, R.Sign, H + QPointF(9, 9));
      break;
    case shEraser:
      P.drawRect(QRectF(H + QPointF(-6, -4), QSizeF(14, 9)));
      break;
    case shHand:
      P.drawRect(QRectF(H + QPointF(-5, 2), QSizeF(12, 10)));
      for (int f = 0; f < 4; ++f) P.drawLine(H + QPointF(-4 + 3 * f, 2), H + QPointF(-4 + 3 * f, -5));
      break;
    case shPen:
      P.drawLine(H, H + QPointF(22, -22));
      P.drawLine(H + QPointF(2, -5), H + QPointF(24, -27));
      break;
    case shMove4:
    case shMoveV:
    case shMoveH:
    case shMoveDiag: {
      std::vector<QPointF> dirs;
      if (R.Shape == shMove4 || R.Shape == shMoveV) dirs.insert(dirs.end(), {QPointF(0, -1), QPointF(0, 1)});
      if (R.Shape == shMove4 || R.Shape == shMoveH) dirs.insert(dirs.end(), {QPointF(-1, 0), QPointF(1, 0)});
      if (R.Shape == shMoveDiag) dirs.insert(dirs.end(), {QPointF(-0.7, -0.7), QPointF(0.7, 0.7)});
      for (QPointF d : dirs) {
        P.drawLine(H, H + 8 * d);
        DrawArrowHead(P, H + 9 * d, d);
      }
      break;
    }
    case shArrow: {
      QPolygonF arrow;
      arrow << H << H + QPointF(0, 14) << H + QPointF(4, 10) << H + QPointF(8, 15) << H + QPointF(10, 13)
            << H + QPointF(6, 9) << H + QPointF(11, 9);
      P.drawPolygon(arrow);
      DrawSign(P, R.Sign, H + QPointF(14, 16));
      break;
    }
  }
}

TCursorImage Render(const TResourceRow& R, TPoint HotSpot, QColor Fill) {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    // A white outline under the black (or coloured) shape keeps it visible
    // on dark and light pictures.
    const QPointF h(HotSpot.X + 0.5, HotSpot.Y + 0.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3));
    DrawShape(p, R, h);
    p.setPen(QPen(Fill, 1));
    p.setBrush(R.Shape == shArrow ? QBrush(Fill) : QBrush(Qt::NoBrush));
    DrawShape(p, R, h);
  }
  TCursorImage out;
  out.HotSpot = HotSpot;
  out.Pixels.resize(32 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) out.Pixels[static_cast<size_t>(y * 32 + x)] = image.pixel(x, y);
  return out;
}

}  // namespace

void RegisterBuiltinCursorResources() {
  for (const TResourceRow& r : kRows) {
    TCursorResource res;
    res.Monochrome = Render(r, r.MonoHotSpot, Qt::black);
    if (r.ColourHotSpot) res.Colour = Render(r, *r.ColourHotSpot, QColor(0, 90, 200));
    RegisterCursorResource(r.Name, std::move(res));
  }
}
