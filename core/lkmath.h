// Numeric and plane-geometry helpers shared by the whole library: powers and
// floor, bit reversal for the codecs, the colour count of a
// sample layout, rectangle tests, point-to-line distances, joint angles, a
// cubic Bezier sampler, box fitting and the snapping of polygon-selection
// points. Coordinates are 32-bit pixels; a rectangle given by four integers
// includes both corners unless a routine says otherwise.
#pragma once

#include "platform/system.h"

/// Base raised to exponent. A whole exponent (|n| <= 2147483647) is taken
/// by repeated squaring, anything else as exp(exponent * ln(base)).
/// Returns 1 for exponent 0 and 0 for base 0 with a positive exponent.
/// Throws EMathError for base 0 with a negative exponent (division by zero)
/// and for a negative base with a fractional exponent (invalid operation).
long double LKPower(long double Base, long double Exponent);

/// Base raised to exponent, with shortcuts for the exponents -2..2. A zero
/// base gives 1 for exponent 0 and 0 for every other whole exponent (also a
/// negative one) and for |exponent| >= 2147483647. Throws EMathError for a
/// base <= 0 with a fractional exponent and for a negative base with
/// |exponent| >= 2147483647.
double LKPower2(double Base, double Exponent);

/// Largest integer not above x, clamped to the 32-bit range (0 for a NaN).
Integer LKFloor(long double x);

/// Inline choice: A when Condition holds, else B.
inline Integer LKIFI(bool Condition, Integer A, Integer B) { return Condition ? A : B; }
/// Inline choice of a real: A when Condition holds, else B.
inline double LKIFD(bool Condition, double A, double B) { return Condition ? A : B; }

/// Reverses the bit order of one byte in place (bit 7 becomes bit 0).
void ReverseBitsB(Byte& B);
/// Reverses the order of all 32 bits of a word in place (bit 31 becomes bit 0).
void ReverseBits(Cardinal& V);

// The byte swaps LKSwapWord and LKSwapDWord live in core/hylkdefs.h.

/// Number of colours of a sample layout, 2^(BitsPerSample * SamplesPerPixel)
/// kept to its low 32 bits read as a signed integer: 8 x 3 gives 16777216,
/// 32 bits or more in total give 0, SamplesPerPixel <= 0 gives 1.
Integer _GetNumCol(Integer BitsPerSample, Integer SamplesPerPixel);

/// True when x1 <= x <= x2 and y1 <= y <= y2 (the corners ordered by the caller).
bool _InRect(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2);
/// As _InRect, with the two corners given in any order.
bool _InRectO(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2);
/// Whether rectangle A (corners in any order) and rectangle B (bx1 <= bx2,
/// by1 <= by2) share at least one point; touching edges count.
bool _RectXRect(Integer ax1, Integer ay1, Integer ax2, Integer ay2, Integer bx1, Integer by1,
                Integer bx2, Integer by2);
/// How much of rectangle B lies in rectangle A (both top-left corner first):
/// 2 when all four edges of B lie within A's spans, 1 when B crosses A's
/// border, 0 otherwise (apart, or B encloses A along an axis).
Integer _RectPRect(Integer ax1, Integer ay1, Integer ax2, Integer ay2, Integer bx1, Integer by1,
                   Integer bx2, Integer by2);
/// Widens the rectangle so that it takes in the point (x, y).
void LKSetplim(TRect& R, Integer x, Integer y);

/// Euclidean distance between two points.
double _DistPoint2Point(Integer x1, Integer y1, Integer x2, Integer y2);
/// Distance from (x, y) to the infinite line through (x1, y1) and (x2, y2).
/// Throws EMathError when the two points coincide (0 / 0).
double _DistPoint2Line(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2);
/// Distance from (x, y) to the segment (x1, y1)-(x2, y2). Beyond an end the
/// distance to that end, or 1000000 when the point is more than 45000 pixels
/// from that end in x or in y; never throws.
double _DistPoint2Seg(Integer x, Integer y, Integer x1, Integer y1, Integer x2, Integer y2);
/// Smallest _DistPoint2Seg from (x, y) to the segments between consecutive
/// points of a polyline, each point p mapped to
/// (round((p.X - OriginX) * ScaleX + OffsetX), round((p.Y - OriginY) * ScaleY + OffsetY)).
/// 1000000 when Count < 2 or Points is null.
double _DistPoint2Polyline(Integer x, Integer y, const TPoint* Points, Integer Count, Integer OriginX,
                           Integer OriginY, Integer OffsetX, Integer OffsetY, double ScaleX,
                           double ScaleY);

/// Arc cosine in radians of x clamped to -1..1, except that exactly 1 and
/// exactly -1 both give 0.
long double LKArcCos(long double x);
/// Angle in radians (0..pi) between the direction P1->P2 and the direction
/// P2->P3; 0 for a straight continuation, a reversal, or a segment of length 0.
double LKAngle(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3);
/// Fills Points[0..N-1] with the cubic Bezier curve of the control points
/// P0..P3 sampled at t = 1/N, 2/N, ..., 1 (t = 0 is not produced), each
/// coordinate rounded half to even. Writes nothing when N <= 0.
void LKBezier2D4Controls(TPoint P0, TPoint P1, TPoint P2, TPoint P3, TPoint* Points, Integer N);
/// Fits Width x Height into MaxWidth x MaxHeight keeping the aspect ratio
/// (enlarging as well); each output side is truncated and at least 1. The
/// outputs are left alone when Width or Height is 0.
void LKFitResample(Integer Width, Integer Height, Integer MaxWidth, Integer MaxHeight,
                   Integer& NewWidth, Integer& NewHeight);

/// Snaps the new polygon-selection point (x1, y1) to a horizontal, vertical
/// or 45-degree direction from the previous point (x0, y0): vertical or
/// horizontal when one offset exceeds the other by more than 30 pixels,
/// otherwise onto the diagonal of the quadrant.
void _CastPolySelCC(Integer x0, Integer y0, Integer& x1, Integer& y1);
