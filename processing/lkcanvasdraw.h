// Drawing the library's bitmaps on device canvases (printer pages): packed
// DIBs stretched onto a canvas and the strip printer of
// TLKBitmap::RenderToCanvas (defined in lkcanvasdraw.cpp).
#pragma once

#include <vector>

#include "core/hylkdefs.h"

class TCanvas;
class TLKBitmap;

/// Stretches the packed DIB's rectangle SrcX, SrcY, SrcW x SrcH (rows
/// counted from the picture's top) onto the canvas rectangle DstX, DstY,
/// DstW x DstH with a plain source copy, nearest pixels. A DIB the reader
/// refuses, a null canvas or an empty rectangle draw nothing.
void _DIBDrawTo(TCanvas* Canvas, const std::vector<Byte>& DIB, Integer SrcX, Integer SrcY, Integer SrcW,
                Integer SrcH, Integer DstX, Integer DstY, Integer DstW, Integer DstH);

/// One strip of RenderToCanvas: rows FirstRow .. FirstRow + StripHeight - 1
/// of columns FirstCol .. FirstCol + Width - 1 of Bitmap become a DIB drawn
/// 1:1 at (X, Y + FirstRow).
void PrintPict(TCanvas* Canvas, Integer X, Integer Y, TLKBitmap* Bitmap, Integer FirstCol, Integer FirstRow,
               Integer Width, Integer StripHeight);

/// Strip height of the filtered road of RenderToCanvas for a picture Width
/// x Height pixels: min(Height, (MinFileSize / 4) / row length of 24-bit
/// rows at Alignment bits), lowered until a strip is at most 40 MiB, and at
/// least one row (a small MinFileSize would otherwise give strips of no
/// rows and a loop that never ends).
Integer LKPrintStripHeight(Integer Width, Integer Height, Integer MinFileSize, Integer Alignment);
