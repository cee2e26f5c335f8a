// The selection of an image: a plane of 1-bit (selected or not) or 8-bit
// (degree of selection, 255 = fully selected) values with the bounding box of
// the selected pixels. The view builds it from shapes and draws its outline;
// the processing routines restrict their work to it and copy through it.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkdibbitmap.h"

class TLKBitmap;
class TBitmap;
class TCanvas;

/// Selection mask of 1 or 8 bits per pixel. Rows are stored bottom-up, 32-bit
/// aligned; 1-bit rows put the leftmost pixel in the most significant bit.
/// A pixel is selected when its value is non-zero. The inclusive bounding
/// box (X1, Y1)-(X2, Y2) is kept by the operations below (empty: X1 =
/// 2147483647, X2 = Y2 = 0); writing rows directly leaves it to SyncRect.
/// Full tells that every pixel is fully selected. One thread at a time.
class TLKMask : public TObject {
 public:
  /// Separator between polygons in the point list of DrawPolygon (its x).
  static constexpr Integer PolygonSeparator = 1048575;
  /// X1 of an empty bounding box.
  static constexpr Integer EmptyBox = 2147483647;

  /// No rows, size 0, empty box, Full false.
  TLKMask();
  ~TLKMask() override;

  // --- Storage ---------------------------------------------------------------

  /// Replaces the rows by zero-filled rows of the given size and depth (1 or
  /// 8; any other depth, or a non-positive size, leaves the mask without
  /// rows). The box becomes empty, Full false. Raises EOutOfMemory when the
  /// rows cannot be had.
  void AllocateBits(Integer width, Integer height, Integer bitsPerPixel);
  /// Frees the rows and the drawing buffer; size, depth and row length 0.
  void FreeBits();
  /// Becomes a copy of `mask` (size, depth, rows, box, Full); nil is ignored.
  void Assign(TLKMask* mask);
  /// New zero-filled rows of the same depth; the overlapping part stays
  /// anchored at the top-left. A non-empty box is clamped into the new size.
  /// Full stays only when neither dimension grew.
  void Resize(Integer width, Integer height);

  Integer GetWidth() const { return Width; }
  Integer GetHeight() const { return Height; }
  Integer GetBitsPerPixel() const { return BitsPerPixel; }
  Integer GetRowLen() const { return RowLen; }
  Integer GetX1() const { return X1; }
  Integer GetY1() const { return Y1; }
  Integer GetX2() const { return X2; }
  Integer GetY2() const { return Y2; }
  bool GetFull() const { return Full; }
  void SetFull(bool value) { Full = value; }
  /// Header used to draw a 1-bit mask (width and height filled in on use).
  const TLKBitmapInfo& GetBitmapInfo() const { return BitmapInfo; }

  // --- Pixels ----------------------------------------------------------------

  /// Address of row y (0 = top); no bounds check.
  Byte* GetScanLine(Integer y) const;
  /// Value of pixel (x, y): 0 outside the mask; 8-bit the value; 1-bit 1 when
  /// set, 0 when clear.
  Integer GetPixel(Integer x, Integer y) const;
  /// True when pixel (x, y) is selected.
  bool IsPointInside(Integer x, Integer y) const { return GetPixel(x, y) != 0; }
  /// Writes pixel (x, y) (ignored outside the mask). A non-zero value widens
  /// the box; Full survives only a fully selecting value (255, or non-zero
  /// for 1 bit). 1-bit: non-zero sets, 0 clears.
  void SetPixel(Integer x, Integer y, Integer value);
  /// Every byte of every row := value (a pattern of 8 pixels on 1 bit);
  /// Full := value = 255. The box is not changed.
  void Fill(Byte value);
  /// Fill(0) and an empty box.
  void Empty();
  /// True when the box is empty.
  bool IsEmpty() const { return X1 == EmptyBox; }
  /// Recomputes the box from the selected pixels (empty when none).
  void SyncRect();
  /// Full := every pixel is fully selected.
  void SyncFull();

  /// Writes pixels x1..x2 of row y: 8-bit the value; 1-bit value 1 sets the
  /// bits, any other value clears them. x1 and x2 are clamped to the row; a
  /// row outside the mask writes nothing. Full follows SetPixel's rule when a
  /// pixel is written; the box is not changed. Returns the pixels written.
  Integer DrawHorizontalLine(Integer value, Integer x1, Integer x2, Integer y);
  /// Fills the polygons of `points` (runs separated by a point whose x is
  /// PolygonSeparator) with DrawSinglePolygon, then SyncFull.
  void DrawPolygon(Integer value, const TPoint* points, Integer count);
  /// Fills one closed polygon by scan lines; rows outside the mask are
  /// skipped. A non-zero value widens the box by the vertices; a polygon that
  /// writes no pixel leaves the box as it was.
  void DrawSinglePolygon(Integer value, const TPoint* points, Integer count);
  /// Moves the selection by (dx, dy). cut: what leaves the mask is dropped;
  /// otherwise the offsets are reduced so that the box stays inside, and the
  /// reduced values are returned through dx and dy.
  void TranslateBitmap(Integer& dx, Integer& dy, bool cut);
  /// Selected pixels become 0, unselected ones `value`; the box is rebuilt
  /// and Full cleared. Nothing when the box is empty.
  void Negative(Integer value);
  /// Clears the pixels of the box outside the inclusive rectangle, then
  /// SyncRect and SyncFull.
  void Intersect(Integer x1, Integer y1, Integer x2, Integer y2);
  /// Lays an lk8g or lk8p picture over the mask with its top-left corner at
  /// (x, y): 1-bit pixels under alpha 0 are cleared, 8-bit values become the
  /// smaller of value and alpha. Then SyncRect when syncBox, and SyncFull.
  /// Other formats change nothing.
  void CombineWithAlpha(TLKBitmap* alpha, Integer x, Integer y, bool syncBox);

  // --- Copying through the mask ------------------------------------------------

  /// Copies the selected pixels of the box from `source` into `dest`. A side
  /// flagged relative is addressed from the box's top-left corner. 1-bit
  /// mask: selected pixels are copied when both formats are equal; 8-bit
  /// mask: lk24RGB, lk8g and lk8p are blended by the mask value, lk1g copied
  /// where the value is non-zero. Pixels outside either bitmap are skipped.
  /// withAlpha: then CopyLKBitmapAlpha.
  void CopyLKBitmap(TLKBitmap* dest, TLKBitmap* source, bool destRelative, bool sourceRelative,
                    bool withAlpha);
  /// Writes dest's alpha channel (created when missing) over the box: the
  /// source's alpha (255 without alpha channel) where selected, limited by an
  /// 8-bit mask value, 0 where not. The alpha channel's Full is cleared.
  void CopyLKBitmapAlpha(TLKBitmap* dest, TLKBitmap* source, bool destRelative, bool sourceRelative);
  /// CopyLKBitmap for class-library bitmaps that are both pf24bit (copy or
  /// blend) or both pf1bit; nothing otherwise.
  void CopyBitmap(TBitmap* dest, TBitmap* source, bool destRelative, bool sourceRelative);

  // --- Drawing ---------------------------------------------------------------

  /// 1-bit mask with a non-empty box: stretches the source rectangle of the
  /// mask onto the canvas rectangle with exclusive or, so selected pixels
  /// invert the canvas. Drawing twice restores it.
  void InvertCanvas(TCanvas* canvas, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                    Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight);
  /// Draws the border of the visible part of the selection, zoomed to
  /// drawWidth x drawHeight at (destX, destY), as single canvas pixels in
  /// dashes of 4 alternating colour1 and colour2 by (x + y + phase).
  void DrawOutline(TCanvas* canvas, Integer destX, Integer destY, Integer drawWidth, Integer drawHeight,
                   Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight, Integer phase,
                   TColor colour1, TColor colour2);
  /// Shades the unselected part of the visible area in a pf24bit bitmap with
  /// a one-pixel checkerboard of grey (97, 97, 97).
  void DrawOuter(TBitmap* bitmap, Integer destX, Integer destY, Integer drawWidth, Integer drawHeight,
                 Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight);

 private:
  void ClampBox();
  void UpdateFull(Integer value);
  Int64 DrawSpan(Integer value, Int64 x1, Int64 x2, Integer y);
  // Builds the zoomed drawing buffer; false when nothing of the box is seen.
  bool BuildDrawBuffer(Integer w, Integer h, Integer sx, Integer sy, Integer sw, Integer sh, Int64& xStep,
                       Int64& yStep);
  bool DrawBufferSet(Integer col, Integer row) const;

  Integer Width = 0;
  Integer Height = 0;
  Integer BitsPerPixel = 0;
  Integer RowLen = 0;
  std::vector<Byte> Data;
  Integer X1 = EmptyBox;
  Integer Y1 = EmptyBox;
  Integer X2 = 0;
  Integer Y2 = 0;
  TLKBitmapInfo BitmapInfo;
  std::vector<Byte> DrawBuffer;
  Integer DrawWidth = 0;
  Integer DrawHeight = 0;
  Integer DrawRowLen = 0;
  std::vector<Byte*> DrawRows;
  bool Full = false;
};
