// Small drawing routines on a class-library canvas: soft drop shadows along
// the right and bottom edges of a framed picture, and a framed hint box
// whose covered area is saved so that it can be put back.
#pragma once

#include "core/hylkdefs.h"

class TCanvas;
class TFont;
class TBrush;
class TBitmap;

/// Kinds of drop shadow.
enum TLKShadowType : Byte { lkstNone, lkstSolid, lkstSmooth1, lkstSmooth2 };

/// Shadow in the strip (X1, Y1)-(X2, Y2) to the right of an object.
/// lkstSolid fills (X1, Y1 + w)-(X2, Y2 + 1) with the canvas's current brush
/// (Color unused); lkstSmooth1 draws one vertical line per column in Color
/// darkened by exp(-0.1 - t^2 / 6), darkest next to the object; lkstSmooth2
/// sets grey pixels, one column and one row beyond the strip included
/// (Color unused); lkstNone and unknown kinds draw nothing. w and h are the
/// strip's inclusive width and height.
void LKRightShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKShadowType ShadowType,
                   TColor Color);
/// The same below an object, with the axes exchanged.
void LKBottomShadow(TCanvas* Canvas, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKShadowType ShadowType,
                    TColor Color);

/// Draws a framed text box near (X, Y): W = text width + 12 by H = text
/// height + 12, X and Y first raised to 0 and then lowered to
/// MaxWidth - W - 1 and MaxHeight - H - 1 (the values used are passed
/// back). The canvas area (X, Y)-(X + W, Y + H) is first saved into
/// SaveBitmap (made 24-bit W x H); the box fills (X + 6, Y + 6)-(X + W,
/// Y + H) with Brush, its frame has TopLeftColor at the left and top and
/// BottomRightColor at the right and bottom, and the text starts at
/// (X + 9, Y + 9) in Font. Nothing without a canvas or a save bitmap.
void LKDrawHint(TCanvas* Canvas, Integer& X, Integer& Y, const String& Text, const TFont* Font, const TBrush* Brush,
                TBitmap* SaveBitmap, Integer MaxWidth, Integer MaxHeight, TColor TopLeftColor,
                TColor BottomRightColor);
