// Geometry and measurement of the vector view, as plain functions: unit
// coefficients, lengths, areas and centroids of polylines and of outlines,
// polyline simplification, angle values, segment directions, line-end
// shapes, the ellipse distance of the hit test, and fixed-point number text.
// The view (views/lumerakvect.h) applies them to its objects; tests reach
// them without a window.
#pragma once

#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"
#include "views/lkvectobject.h"

/// Unit names by TLKUnits: "pixels", "inches", "km", "mt", "cm", "mm",
/// "microns", "nanometers".
extern const char* const LKUnitNames[8];
/// The name of a unit ("" for a value outside the list).
const char* LKUnitName(TLKUnits Unit);

/// Size of one bitmap pixel in Unit along x and y: 1 for pixels, else
/// factor / DPI (the factor of inches is 1, of centimetres 2.54 ...), both
/// times Scale. A resolution of 0 or below counts as 1 dot per inch.
void LKVectCalcCoef(TLKUnits Unit, Integer DpiX, Integer DpiY, double Scale, double& CX, double& CY);

/// Length of one step: sqrt((|DX| CX)^2 + (|DY| CY)^2).
double LKStepLen(double DX, double DY, double CX, double CY);

/// Factors that map a polyline's point box onto its rectangle: (X2 - X1) /
/// (max x - min x), or 1 when the box is flat that way; Y alike.
void LKPolylineFactors(const TRect& PolyBox, Integer X1, Integer Y1, Integer X2, Integer Y2, double& ZX, double& ZY);

/// Sum of the steps between consecutive points (no closing step).
double LKPolylineLength(const std::vector<TLKDPoint>& P, double CX, double CY);
/// |sum over every edge, the closing one included, of (Xi - Xj)(Yi + Yj)| CX
/// CY / 2.
double LKPolygonArea(const std::vector<TLKDPoint>& P, double CX, double CY);
/// Centroid of the closed polygon (closing edge included), each coordinate
/// truncated toward zero; (0, 0) for a polygon of area 0.
TPoint LKPolygonCentroid(const std::vector<TLKDPoint>& P);

/// Length of an outline whose polygons are separated by points with
/// X = 1048575: every polygon is closed, except the last one while Drawing;
/// while Drawing with ToMouse the step from the last point to Mouse is
/// added.
double LKOutlineLength(const TPoint* P, Integer N, bool Drawing, bool ToMouse, TPoint Mouse, double CX, double CY);
/// Area of such an outline: the signed trapezoid sums of its polygons
/// (each closed) added, then |total| CX CY / 2; 0 for 2 points or fewer.
double LKOutlineArea(const TPoint* P, Integer N, double CX, double CY);
/// Centroid of the first polygon of such an outline; (0, 0) for 2 points or
/// fewer or an area of 0.
TPoint LKOutlineCentroid(const TPoint* P, Integer N);

/// One simplification with tolerance T (pixels): a radial pass (points
/// closer than T to the last kept one go; first and last stay), then
/// Douglas-Peucker keeping points farther than T from the span.
std::vector<TPoint> LKSimplifyOnce(const std::vector<TPoint>& P, double T);
/// LKSimplifyOnce from T = 0.1 up in steps of 0.1, each on the last result,
/// until at most MaxPoints points are left. MaxPoints below 2 counts as 2.
std::vector<TPoint> LKSimplify(const std::vector<TPoint>& P, Integer MaxPoints);

/// Staircase removal: turns a traced pixel outline (closed, a repeated point
/// ignored) into a polygon of straight edges, each within half a pixel of
/// the pixel edges it replaces. Straight and 45-degree stretches between
/// points count as runs of one-pixel steps. False, with Out empty, for any
/// other step, or when no polygon of more than 2 vertices comes out, or it
/// would need as many vertices as the outline has steps.
bool LKRemoveJaggedEdges(const std::vector<TPoint>& P, std::vector<TPoint>& Out);

/// The angle at P1 from the arm to P0 to the arm to P2, in degrees
/// 0 .. 360 by orientation: 90 for (10, 0)-(0, 0)-(0, 10) swapped, 270 for
/// that order; 180 for a straight angle.
double LKAngleDegrees(TPoint P0, TPoint P1, TPoint P2);

/// Direction from (X1, Y1) to (X2, Y2), 0 .. 2 pi counter-clockwise on the
/// screen (0 right, pi / 2 up); 0 for a segment of length 0.
double LKSegmentDirection(Integer X1, Integer Y1, Integer X2, Integer Y2);

/// The triangle of a line-end shape at end E = (EX, EY) of a segment whose
/// other end is (OX, OY), base width W and length H; false (nothing to draw)
/// for lksNONE or an unknown shape. A segment of length 0 points up.
bool LKLineShapeTriangle(Integer EX, Integer EY, Integer OX, Integer OY, TLKShape Shape, Integer W, Integer H,
                         TPoint (&Out)[3]);

/// Distance in pixels from (PX, PY), relative to an ellipse's centre, to the
/// ellipse of half axes RX and RY, drawn as chords; a filled ellipse gives 0
/// for every point inside it.
double LKEllipseDistance(Integer RX, Integer RY, Integer PX, Integer PY, bool Filled);

/// Fixed-point text of V with Digits decimals and at most Precision
/// significant digits ("." always).
std::string LKFormatFixed(double V, Integer Precision, Integer Digits);

/// UTF-8 text of a Windows-1252 byte string (the stored form of object
/// texts), for drawing.
std::string LKAnsiToUtf8(const std::string& Bytes);
