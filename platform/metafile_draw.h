// The drawing side of the metafile player: the device-context state a
// metafile changes (mapping, world transform, pens, brushes, fonts, text
// settings, clipping, the saved states and the open path) and the drawing
// calls the records of both kinds come down to. The record readers in
// metafile.cpp decode the bytes and call in here; nothing here reads the
// file, except packed bitmaps (ReadDib), whose lengths the caller hands in.
//
// Coordinates given to the drawing calls are logical units. They go through
// the world transform, the window-to-viewport mapping and the picture's
// frame to pixels of the target.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <QTransform>

#include <optional>
#include <vector>

#include "platform/system.h"

class QPainter;

namespace metafile {

/// A packed bitmap: Info holds the header and colour table, Bits the rows
/// (Bits may point into Info's block). Uncompressed rows of 1, 4, 8, 16, 24
/// and 32 bits, with bit-field masks for 16 and 32. A null image when the
/// header is not understood or the rows are not all there.
QImage ReadDib(const Byte* Info, size_t InfoLen, const Byte* Bits, size_t BitsLen);
/// The bytes of a packed bitmap's header and colour table (0 when the
/// header is not understood); its rows follow them.
size_t DibInfoSize(const Byte* Info, size_t InfoLen);

/// A graphics object of the handle table.
struct Object {
  enum TKind { None, Pen, Brush, Font, Other };
  Object() = default;
  explicit Object(TKind K, QColor C = Qt::black, bool IsNull = false) : Kind(K), Colour(C), Null(IsNull) {}
  TKind Kind = None;  // None: a free slot
  QColor Colour = Qt::black;
  bool Null = false;  // a null pen or a hollow brush
  // Pens: the width in logical units (0: one pixel) and the style word.
  double Width = 0;
  Cardinal Style = 0;
  // Brushes: the hatch (-1 for none) or a pattern bitmap.
  int Hatch = -1;
  QImage Pattern;
  // Fonts: the height (negative: of the characters, positive: of the
  // cell), the escapement in tenths of a degree, weight, face.
  double Height = 0;
  int Escapement = 0, Weight = 400;
  bool Italic = false, Underline = false, StrikeOut = false;
  QString Face;
};

/// Options of a text call.
enum : Cardinal { kTextOpaque = 2, kTextClipped = 4 };

class Player {
 public:
  /// Draws into P, a painter on a Width x Height target; the picture's frame
  /// (FrameLeft, FrameTop, FrameW, FrameH) covers the whole target. For the
  /// enhanced kind the frame is in device units and MmX, MmY the reference
  /// device's pixels per millimetre.
  Player(QPainter& P, bool Enhanced, double Width, double Height, double FrameLeft, double FrameTop,
         double FrameW, double FrameH, double MmX, double MmY);

  // --- state ------------------------------------------------------------------
  void SetWindowOrg(double X, double Y) { S.WinOX = X, S.WinOY = Y; }
  void SetWindowExt(double X, double Y) { S.WinEX = X, S.WinEY = Y; }
  void SetViewportOrg(double X, double Y) { S.VpOX = X, S.VpOY = Y; }
  void SetViewportExt(double X, double Y) { S.VpEX = X, S.VpEY = Y; }
  void OffsetWindowOrg(double X, double Y) { S.WinOX += X, S.WinOY += Y; }
  void OffsetViewportOrg(double X, double Y) { S.VpOX += X, S.VpOY += Y; }
  void ScaleWindowExt(double XNum, double XDen, double YNum, double YDen);
  void ScaleViewportExt(double XNum, double XDen, double YNum, double YDen);
  void SetMapMode(Cardinal Mode) { S.MapMode = Mode; }
  /// Sets (Mode 4), resets (1) or multiplies the world transform before (2)
  /// or after (3) the current one; non-finite or degenerate ones are ignored.
  void WorldTransform(const QTransform& M, Cardinal Mode);
  void SaveDC();
  /// Back to a saved state: negative counts back from the last, positive is
  /// the number a SaveDC returned.
  void RestoreDC(Integer Which);
  void SetTextColour(QColor C) { S.TextColour = C; }
  void SetBkColour(QColor C) { S.BkColour = C; }
  void SetBkMode(Cardinal Mode) { S.Opaque = Mode == 2; }
  void SetTextAlign(Cardinal Align) { S.TextAlign = Align; }
  void SetFillMode(Cardinal Mode) { S.Winding = Mode == 2; }
  /// The binary raster operation of lines and fills (1 black .. 16 white;
  /// other values are ignored).
  void SetRop2(Cardinal Mode) {
    if (Mode >= 1 && Mode <= 16) S.Rop2 = Mode;
  }
  void SetArcClockwise(bool Clockwise) { S.Clockwise = Clockwise; }
  void MoveTo(double X, double Y);
  QPointF Current() const { return S.Cur; }

  // --- objects ----------------------------------------------------------------
  /// Puts O at slot Index (Enhanced) or the first free slot (16-bit).
  void Put(Cardinal Index, const Object& O);
  void Add(const Object& O);
  void Select(Cardinal Index);
  void Delete(Cardinal Index);

  // --- clipping (rectangles in logical units, regions in device units) --------
  void IntersectClip(const QRectF& R) { ClipRect(R, 0); }
  void ExcludeClip(const QRectF& R) { ClipRect(R, 3); }
  /// Region modes: 1 and, 2 or, 3 xor, 4 difference, 5 copy (an empty
  /// region with copy lifts the clip).
  void SelectClipRegion(const std::vector<QRectF>& DeviceRects, Cardinal Mode);
  void SelectClipPath(Cardinal Mode);

  // --- paths ------------------------------------------------------------------
  void BeginPath();
  void EndPath() { FPathOpen = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath(bool Fill, bool Stroke);
  void WidenPath();

  // --- drawing ----------------------------------------------------------------
  void LineTo(double X, double Y);
  void Polyline(const QPolygonF& Points);
  void PolylineTo(const QPolygonF& Points);
  void Polygon(const QPolygonF& Points);
  void PolyPolygon(const std::vector<QPolygonF>& Polys);
  /// Béziers: start, then three points per segment.
  void PolyBezier(const QPolygonF& Points);
  void PolyBezierTo(const QPolygonF& Points);
  void Rectangle(const QRectF& R);
  void RoundRect(const QRectF& R, double CornerW, double CornerH);
  void Ellipse(const QRectF& R);
  /// Kind 0: arc, 1: chord, 2: pie, 3: arc with a line from the current
  /// position (which moves to the arc's end).
  void Arc(const QRectF& Box, QPointF Start, QPointF End, int Kind);
  void AngleArc(QPointF Centre, double Radius, double Start, double Sweep);
  void SetPixel(double X, double Y, QColor C);
  /// Fills device-unit rectangles with a brush (the selected one when null).
  void FillRegion(const std::vector<QRectF>& DeviceRects, const Object* Brush);
  /// Text at (X, Y) with the selected font; Dx the advance of each
  /// character in logical units (empty: the font's own), Rect the box of
  /// the opaque and clipped options.
  void Text(double X, double Y, const QString& Str, const std::vector<double>& Dx, Cardinal Options,
            const std::optional<QRectF>& Rect);
  /// A bitmap from the source rectangle into the destination rectangle
  /// (logical units; a negative size mirrors) with a raster operation.
  void Blit(const QRectF& Dest, const QImage& Image, const QRectF& Source, Cardinal Rop);
  /// A raster operation with the brush only, over a logical rectangle.
  void PatBlt(const QRectF& Dest, Cardinal Rop);
  /// The object the handle table holds at Index (null when none).
  const Object* At(Cardinal Index) const;

 private:
  struct State {
    Cardinal MapMode = 1;
    double WinOX = 0, WinOY = 0, WinEX = 0, WinEY = 0;
    double VpOX = 0, VpOY = 0, VpEX = 0, VpEY = 0;
    QTransform World;
    Object Pen{Object::Pen}, Brush{Object::Brush, Qt::white}, Font{Object::Font};
    QColor TextColour = Qt::black, BkColour = Qt::white;
    bool Opaque = true, Winding = false, Clockwise = false;
    Cardinal TextAlign = 0;
    Cardinal Rop2 = 13;  // the pen's colour as it is
    std::optional<QPainterPath> Clip;  // in target pixels
    QPointF Cur;
  };
  QTransform Full() const;
  bool Usable(const QTransform& M) const;
  // Puts the painter's transform, clip, pen and brush in place; false when
  // nothing can be drawn with the current mapping.
  bool Ready(bool Fill);
  // Puts the binary raster operation in place for a line or fill; false
  // when it leaves the target as it is.
  bool Mix();
  void Shape(QPainterPath Path, bool Fill, bool Stroke);
  void ClipTo(const QPainterPath& Target, int How);  // 0 and, 1 or, 2 xor, 3 difference, 4 copy
  void ClipRect(const QRectF& R, int How);
  QPainterPath ArcPath(const QRectF& Box, QPointF Start, QPointF End, int Kind) const;

  QPainter& P;
  bool FEnhanced;
  double FTw, FTh, FOx, FOy, FFw, FFh, FMmX, FMmY;
  State S;
  std::vector<State> FSaved;
  std::vector<Object> FObjects;
  QPainterPath FPath;  // target pixels
  bool FPathOpen = false, FPathDone = false;
};

}  // namespace metafile
