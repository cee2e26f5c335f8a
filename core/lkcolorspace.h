// Per-pixel conversions between TRGB and the CIELab and YCbCr encodings, and
// a two-colour frame drawn on a canvas.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

class TCanvas;

/// sRGB (D65) colour to CIELab. The lightness L* (0..100) is stored times
/// 2.55, so white is 255 and survives a round trip; a* and b* are stored
/// truncated toward zero as signed bytes.
TCIELab LKRGB2CIELAB(const TRGB& rgb);

/// CIELab (lightness stored times 2.55) to sRGB, each channel rounded to the
/// nearest integer (halves to even) and clamped to 0..255.
TRGB LKCIELAB2RGB(const TCIELab& lab);

/// TRGB to JFIF YCbCr: each of Y, Cb and Cr is the exact value of the JFIF
/// formula truncated toward zero and limited to 0..255.
void LKRGB2YCbCr(const TRGB& rgb, Integer& Y, Integer& Cb, Integer& Cr);

/// JFIF YCbCr to TRGB: each channel is the exact value of the JFIF formula
/// truncated toward zero and limited to 0..255.
void LKYCbCr2RGB(TRGB& rgb, Integer Y, Integer Cb, Integer Cr);

/// Draws a one-pixel frame: left and top edges in Color1, bottom and right
/// edges in Color2, with a solid copy-mode pen. Each line leaves out its end
/// point, so the top-right corner pixel is not drawn.
void LKDraw3DRect(TCanvas* Canvas, Integer x1, Integer y1, Integer x2, Integer y2,
                  TColor Color1, TColor Color2);
