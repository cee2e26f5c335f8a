// Shell graphics helpers: bitmaps drawn stretched with one colour left out,
// the icon clipboard format, and the shell's own screen cursors.
#pragma once

#include "platform/ctrltypes.h"
#include "platform/graphics.h"

/// Screen cursor numbers of the shell's hand and drag cursors.
constexpr TCursor crHand = 14000;
constexpr TCursor crDragHand = 14001;

/// The clipboard format for icons, registered on first use.
Word CF_ICON();
/// The start-up step: the hand and drag cursors become screen cursors
/// crHand and crDragHand, and the icon clipboard format is registered.
void RegisterShellGraphics();

/// Draws Source's rectangle SourceRect of Bitmap stretched into DestRect of
/// Canvas with TransparentColor left out. A destination side below 1 takes
/// the bitmap's; a source side below 1 the whole bitmap's. clNone copies
/// everything; clDefault takes the colour of the bitmap's bottom-left pixel;
/// a monochrome bitmap always leaves out white.
void DrawBitmapTransparentStretched(TCanvas* Canvas, TBitmap* Bitmap, TColor TransparentColor, TRect DestRect,
                                    TRect SourceRect);
/// The same at (X, Y), at the source rectangle's own size.
void DrawBitmapRectTransparent(TCanvas* Canvas, Integer X, Integer Y, TColor TransparentColor, TBitmap* Bitmap,
                               TRect SourceRect);
