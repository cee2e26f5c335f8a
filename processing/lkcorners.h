// Geometric operations that move or hide pixels without scaling the
// picture: rounded corners in the alpha channel, a radial polynomial
// remapping per channel (lens distortion and colour fringes), and field
// morphing by pairs of feature lines.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"

class TLKBitmap;

/// A directed feature line from (X1, Y1) to (X2, Y2), in pixels.
struct TLKLine {
  Integer X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

/// Makes the corners outside a rounded rectangle fully transparent: the
/// top corners follow a cubic curve from (0, RoundHeight) to (RoundWidth,
/// 0), mirrored to the right; the bottom corners one anchored on the
/// picture's width and height. An alpha channel is made when needed.
/// Nothing when a size is not positive. The progress event is not called.
void _LKRoundImage(TLKBitmap* Bitmap, Integer RoundWidth, Integer RoundHeight, const TLKProgressEvent& Progress,
                   TObject* Sender);

/// Remaps an lk24RGB picture about its centre, channel by channel: a
/// destination pixel at distance R (in units of half the shorter side)
/// takes the channel of the source pixel at S(R) = a R^3 + b R^2 + c R + d
/// times its offset from the centre (0 outside the picture). Coefficients
/// for red, then green, then blue. Other formats are left alone. Progress
/// per row of each channel pass.
void _LKRadialStretch(TLKBitmap* Bitmap, double RedA, double RedB, double RedC, double RedD, double GreenA,
                      double GreenB, double GreenC, double GreenD, double BlueA, double BlueB, double BlueC,
                      double BlueD, const TLKProgressEvent& Progress, TObject* Sender);

/// Field morphing of an lk24RGB picture: appends FrameCount - 1 new frames
/// to Frames (nothing when FrameCount < 2), frame f showing the features of
/// the First lines moved toward the Second lines a fraction f / FrameCount
/// of the way. Lines of zero length are left out; a frame without any line
/// left is a copy of the picture. The picture is not changed; other formats
/// give no frames.
void LKFields_warp(TLKBitmap* Bitmap, const TLKLine* First, const TLKLine* Second, Integer LineCount,
                   Integer FrameCount, std::vector<std::unique_ptr<TLKBitmap>>& Frames);
