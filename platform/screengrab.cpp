// Screen copies through Qt's screen grab.
#include "platform/screengrab.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace {

// The arrow cursor as an outline with its hot spot at the tip.
void DrawArrow(QPainter& P, QPoint Tip) {
  static const QPoint Shape[] = {{0, 0}, {0, 16}, {4, 12}, {7, 19}, {9, 18}, {6, 11}, {11, 11}};
  QPolygon Poly;
  for (const QPoint& S : Shape) Poly << Tip + S;
  P.setPen(Qt::white);
  P.setBrush(Qt::black);
  P.drawPolygon(Poly);
}

}  // namespace

bool LKGrabScreen(TLKScreenArea Area, bool WithCursor, Integer& Width, Integer& Height, std::vector<Byte>& Pixels) {
  QScreen* Screen = QGuiApplication::primaryScreen();
  if (!Screen) return false;
  QRect Rect = Screen->virtualGeometry();
  if (Area != lksaScreen) {
    QWidget* W = QApplication::activeWindow();
    if (!W) return false;
    Rect = Area == lksaActiveWindow ? W->frameGeometry() : QRect(W->mapToGlobal(QPoint(0, 0)), W->size());
    // A maximised window reaching past the screen's top or left edge is cut
    // to what is visible.
    Rect = Rect.intersected(Screen->virtualGeometry());
  }
  if (Rect.isEmpty()) return false;
  QPixmap Shot = Screen->grabWindow(0, Rect.x(), Rect.y(), Rect.width(), Rect.height());
  if (Shot.isNull()) return false;
  QImage Image = Shot.toImage().convertToFormat(QImage::Format_RGB888);
  if (WithCursor) {
    QPainter P(&Image);
    DrawArrow(P, QCursor::pos(Screen) - Rect.topLeft());
  }
  Width = Image.width();
  Height = Image.height();
  Pixels.resize(size_t(Width) * Height * 3);
  for (Integer y = 0; y < Height; ++y) {
    const uchar* Src = Image.constScanLine(y);
    Byte* Dst = Pixels.data() + size_t(y) * Width * 3;
    for (Integer x = 0; x < Width; ++x) {
      Dst[x * 3] = Src[x * 3 + 2];
      Dst[x * 3 + 1] = Src[x * 3 + 1];
      Dst[x * 3 + 2] = Src[x * 3];
    }
  }
  return true;
}
