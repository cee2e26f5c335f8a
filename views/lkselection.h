// Types of the single-image view's selection: the outline's animated
// polygons, grips, selection options and the magic wand's modes.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/graphics.h"

/// How a new shape combines with the selection.
enum TLKSelOp : Byte { lkspReplace, lkspAdd };

/// The grips of a rectangular outline.
enum TLKGrip : Byte {
  lkNone,
  lkTopLeft,
  lkTopRight,
  lkBottomRight,
  lkBottomLeft,
  lkLeftSide,
  lkRightSide,
  lkTopSide,
  lkBottomSide
};

enum TLKMagicWandMode : Byte { lkwInclusive, lkwExclusive, lkwGlobal };

enum TLKSelectionOption : Byte {
  lksoAnimated,
  lksoSizeable,
  lksoMoveable,
  lksoFilled,
  lksoCutBorders,
  lksoMarkOuter,
  lksoCanScroll,
  lksoSelectTranspLayers
};
using TLKSelectionOptions = TSet<TLKSelectionOption>;

/// The point that separates the polygons of one outline.
inline constexpr Integer LKSelBreak = 1048575;
inline bool IsSelBreak(const TPoint& P) { return P.X == LKSelBreak && P.Y == LKSelBreak; }

/// One animated polygon drawn over the view: points in bitmap pixels of the
/// current layer (polygons separated by break points), two dash colours and
/// the marching phase. The box is exclusive at X2 and Y2.
struct TLKAnimPolygon {
  std::vector<TPoint> Points;
  TColor Color1 = clBlack, Color2 = clWhite;
  bool Animated = true;
  Integer Phase = 0;
  Integer DashCounter = 0;
  Integer X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  bool Shown = true;
  bool Sizeable = true;

  Integer Count() const { return static_cast<Integer>(Points.size()); }
  /// Appends a point; capacity grows in blocks of 64 points.
  void Append(TPoint P) {
    if (Points.size() % 64 == 0) Points.reserve(Points.size() + 64);
    Points.push_back(P);
  }
};

/// The grip style of a rectangular outline.
struct TLKGripStyle {
  TColor PenColor = clBlack;
  TColor BrushColor = clWhite;
  TBrushStyle BrushStyle = bsSolid;
  Integer Size = 5;
  bool SideGrips = true;
};
