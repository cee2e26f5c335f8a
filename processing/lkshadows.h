// Shadows computed from a bitmap's alpha channel: a soft drop shadow behind
// the opaque part (optionally growing the canvas to hold it), the same for
// a rectangle of the picture, a shadow for a rectangle stamped from a
// Gaussian spot at every edge pixel, and an inner shadow that darkens the
// inside of the opaque part near its edges.
#pragma once

#include "core/hylkdefs.h"

class TLKBitmap;

/// Soft drop shadow: the alpha channel (made opaque when missing) is
/// blurred with a Gaussian of the radius and moved by the offsets; where the
/// picture was transparent and the shadow is not, the pixel takes the
/// shadow's alpha and Colour (lk24RGB) or black (lk1g; other formats only
/// the alpha). With AdaptSize the canvas first grows by the shadow extent
/// max(2 max(|OffsetX|, |OffsetY|) + Trunc(5 Radius), 1), centred.
void _LKAddSoftShadow(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, bool AdaptSize,
                      TRGB Colour, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Inner shadow of an lk24RGB picture: every pixel moves toward Colour by
/// (255 - a) / 256 of the difference, a being the blurred, shifted alpha
/// (transparent beyond the picture). The alpha channel is not changed;
/// other formats keep their colours.
void _LKAddInnerShadow(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, TRGB Colour,
                       const TLKProgressEvent& OnProgress, TObject* Sender);
/// Soft black shadow of the inclusive rectangle X1, Y1 to X2, Y2 (used for
/// vector objects): as _LKAddSoftShadow within the rectangle grown by the
/// extent; a radius of exactly 0 means radius 2 with a 3 x 3 box blur.
/// Returns the extent.
Integer _LKAddSoftShadowRect(TLKBitmap* Bitmap, double Radius, Integer OffsetX, Integer OffsetY, Integer X1,
                             Integer Y1, Integer X2, Integer Y2);
/// Black shadow of the inclusive rectangle of an lk24RGB bitmap stamped
/// from a Size x Size Gaussian spot (Intensity percent) at every edge pixel
/// of the alpha channel, moved by the offsets. Nothing for other formats or
/// a Size below 1.
void _LKAddSoftShadowRect2(TLKBitmap* Bitmap, Integer Size, double Intensity, Integer OffsetX, Integer OffsetY,
                           Integer X1, Integer Y1, Integer X2, Integer Y2);
