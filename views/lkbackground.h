// Backgrounds of the views: twelve styles (solid, six hatches, chessboard,
// diagonals, cropped with a sunken edge, drop shadow, vertical gradient) and
// a wallpaper drawn normally, stretched or tiled on top.
#pragma once

#include "platform/classes.h"
#include "platform/graphics.h"

enum TLKBackgroundStyle : Byte {
  lkbsSolid,
  lkbsHorizontal,
  lkbsVertical,
  lkbsFDiagonal,
  lkbsBDiagonal,
  lkbsCross,
  lkbsDiagCross,
  lkbsChessboard,
  lkbsDiagonals,
  lkbsCropped,
  lkbsCropShadow,
  lkbsGradient
};

enum TLKWallPaperStyle : Byte { lkwoNormal, lkwoStretch, lkwoTile };

/// Colour of the gaps between hatch lines: the lines are drawn in the
/// background colour over this one, so a reused buffer never shows through.
inline constexpr TColor LKHatchGapColor = clWhite;

/// Fills (X, Y)-(X + Width, Y + Height) of Canvas with Style, then draws
/// WallPaper (from the canvas origin). Designing: only csDesigning of the
/// calling control matters (cropped and shadow styles draw plain then).
/// Bitmap, when given, is the 24-bit bitmap behind Canvas: the chessboard
/// then writes rows directly and starts with Color; through the canvas it
/// starts with the complement. ImageX1..ImageY2: the client rectangle of
/// the picture (right and bottom exclusive) for the cropped and shadow
/// styles. Color2: the gradient's bottom colour. A wallpaper graphic of
/// width or height 0 is skipped.
void LKDrawBackground(bool Designing, TCanvas* Canvas, TBitmap* Bitmap, TLKBackgroundStyle Style, TColor Color,
                      Integer X, Integer Y, Integer Width, Integer Height, Integer ImageX1, Integer ImageY1,
                      Integer ImageX2, Integer ImageY2, Integer SquareSize, TBrushStyle BrushStyle, TColor Color2,
                      TPicture* WallPaper, TLKWallPaperStyle WallPaperStyle);

/// Fills Rect with a two-colour gradient, Color1 at the top (left) and
/// Color2 at the bottom (right) edge, vertical or horizontal. Always draws
/// and returns true (false only without a canvas).
bool LKDrawGradient(const TRect& Rect, TCanvas* Canvas, TColor Color1, TColor Color2, bool Vertical);
