// Rotation by any angle: three shears after exact quarter turns (24-bit and
// 8-bit), inverse mapping with bilinear or bicubic interpolation, inverse
// mapping without interpolation for every whole-byte format, and nearest
// rotation of 1-bit and 8-bit pictures. Positive angles turn
// counter-clockwise on the screen. Each routine replaces the bitmap's
// picture with a new one; multiples of 90 degrees are always exact turns.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

class TLKBitmap;
class TBitmap;

/// Interpolation of the inverse-mapping rotation.
enum TLKAntialiasMode : Byte { lkrFast = 0, lkrBilinear = 1, lkrBicubic = 2 };

/// Three-shear rotation of an lk24RGB bitmap (the angle taken to thousandths
/// of a degree, modulo 360); antialiased shears blend neighbours with
/// weights out of 4096. lk1g goes to _rotate1bitEx (white corners when the
/// background's channels are all nonzero), lk8g and lk8p to _RotateEx8 (the
/// background's grey level), other formats to LKGRotate.
void _RotateEx(TLKBitmap* Bitmap, double Angle, bool Antialias, TRGB Background, const TLKProgressEvent& OnProgress,
               TObject* Sender);
/// The same for lk8g and lk8p; Background is the byte value.
void _RotateEx8(TLKBitmap* Bitmap, double Angle, bool Antialias, Integer Background,
                const TLKProgressEvent& OnProgress, TObject* Sender);
/// Nearest rotation of an lk1g bitmap (quarter and half turns exact); the
/// corners are white when White is nonzero.
void _rotate1bitEx(TLKBitmap* Bitmap, double Angle, Integer White, TProgressRec& Progress);
/// _rotate1bitEx of a pf1bit class-library bitmap.
void _rotate1bit(TBitmap* Bitmap, double Angle, Integer White, TProgressRec& Progress);
/// Nearest rotation of an lk8g or lk8p bitmap.
void _rotate8bit(TLKBitmap* Bitmap, double Angle, Integer Background);
/// Inverse-mapping rotation of an lk24RGB bitmap with bilinear or bicubic
/// interpolation; the result holds the turned picture's bounding box.
void _LKQRotate(TLKBitmap* Bitmap, double Angle, TColor Background, TLKAntialiasMode Mode,
                const TLKProgressEvent& OnProgress, TObject* Sender);
/// The same for 8-bit bitmaps (Background a byte value).
void _LKQRotate8(TLKBitmap* Bitmap, double Angle, Integer Background, TLKAntialiasMode Mode);
/// Inverse mapping without interpolation for any format of whole bytes per
/// pixel; uncovered pixels take Background as TLKBitmap::Fill reads it.
void LKGRotate(TLKBitmap* Bitmap, double Angle, TColor Background, const TLKProgressEvent& OnProgress,
               TObject* Sender);
