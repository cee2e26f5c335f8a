// The arithmetic of the single-image view, kept apart from any widget so
// that it can be reached without an event loop: zoom factors, the visible
// extent and centring offsets, the paint coordinates, the coordinate lookup
// tables and the four conversions, the largest view origin, fitting and the
// scroll and wheel steps.
//
// Rounding: Trunc goes toward zero (values outside the 32-bit range are
// clamped to it first), Round goes to the nearest integer with halves to the
// even neighbour, and "div" is C++ integer division.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hylkdefs.h"

/// Trunc of a double into the 32-bit range (NaN gives 0).
Integer LKTruncClamp(double V);
/// Round half to even into the 32-bit range (NaN gives 0).
Integer LKRoundEven(double V);

/// Zoom, extent, paint coordinates and lookup tables of one view.
///
/// Inputs are set by the owner before each computation: the layout size
/// (BmpW, BmpH), the client size (CW, CH), the outer size (W, H), the zooms,
/// the view origin and the centring flag. Everything else is derived.
class TLKViewGeometry {
 public:
  TLKViewGeometry();

  // ---- inputs
  Integer BmpW = 0, BmpH = 0;
  Integer CW = 50, CH = 50;
  Integer W = 105, H = 105;
  bool Center = true;
  Integer ViewX = 0, ViewY = 0;

  // ---- zoom: percent per axis and the derived factors
  double ZoomX = 100, ZoomY = 100;
  double zx = 1, ix = 1, zy = 1, iy = 1;
  /// Sets the zoom of one or both axes with its factors.
  void SetZoomXFactors(double Zoom);
  void SetZoomYFactors(double Zoom);

  // ---- derived state
  Integer ZW = 0, ZH = 0;      // zoomed picture size
  Integer VW = 0, VH = 0;      // visible extent
  Integer OffX = 0, OffY = 0;  // centring offsets
  Integer SX0 = 0, SY0 = 0, SW = 0, SH = 0, DW = 0, DH = 0;

  /// Zoomed size, visible extent and centring offsets. While designing the
  /// extent is taken against the outer size and nothing is centred.
  void UpdateLimits(bool Designing);
  /// The bitmap rectangle drawn and the client pixels it covers for a view
  /// origin (a partly visible column or row is drawn whole above 100 %).
  void CalcPaintCoordsEx(Integer& OSX0, Integer& OSY0, Integer& OSW, Integer& OSH, Integer& ODW, Integer& ODH,
                         Integer AViewX, Integer AViewY) const;
  /// CalcPaintCoordsEx on the own state.
  void CalcPaintCoords();

  /// Rebuilds the four lookup tables when the zooms, the painted extent or
  /// the layout size changed (tables stay empty for an empty extent or
  /// picture, or when they would be unreasonably long), then points them at
  /// the view origin. CurW, CurH: the current bitmap's size.
  void CreateCoordConvLUT(Integer CurW, Integer CurH);
  /// Drops the tables (the next CreateCoordConvLUT builds them).
  void FreeTables();

  /// The first zoomed coordinate of the bitmap column (row) holding V (V
  /// below 0 counts as 0); V itself past the picture or without tables.
  Integer QuantizeViewX(Integer V) const;
  Integer QuantizeViewY(Integer V) const;

  /// Client to bitmap coordinates and back at the last built tables; inside
  /// the painted area a table read, outside it the zoom formula. Results may
  /// lie outside the bitmap or the client area.
  Integer XScr2Bmp(Integer X) const;
  Integer YScr2Bmp(Integer Y) const;
  Integer XBmp2Scr(Integer B) const;
  Integer YBmp2Scr(Integer B) const;

  /// The largest view origin (0 when the picture fits).
  void GetMaxViewXY(Integer& MaxX, Integer& MaxY) const;
  /// Origin for a new zoom that keeps the bitmap point under the client
  /// centre there; DoX / DoY pick the axes. Limits against the maximum of
  /// the old zoom. Also sets the zoom and its factors.
  void ZoomKeepingCentre(double Z, bool DoX, bool DoY);

  /// Screen-to-bitmap table entries and where the conversions start.
  const Integer* ScreenToBitmapX() const { return FS2BX.empty() ? nullptr : FS2BX.data() + FS2BPosX; }
  const Integer* ScreenToBitmapY() const { return FS2BY.empty() ? nullptr : FS2BY.data() + FS2BPosY; }
  Integer TableLengthX() const { return FLX; }
  Integer TableLengthY() const { return FLY; }

 private:
  std::vector<Integer> FS2BX, FS2BY, FB2SX, FB2SY;
  Integer FLX = 0, FLY = 0, FBX = 0, FBY = 0;
  Integer FS2BPosX = 0, FS2BPosY = 0, FB2SPosX = 0, FB2SPosY = 0;
  double FKeyZoomX = -1, FKeyZoomY = -1;
  Integer FKeyDW = -1, FKeyDH = -1, FKeyBmpW = -1, FKeyBmpH = -1;
};

/// Margins fitting leaves: cropped style edges, the shadow's 5, or the
/// border (UseBorder) or half the non-client size.
struct TLKFitEdges {
  bool Cropped = false, CropShadow = false;
  bool BorderNone = false, Ctl3D = true;
};
void LKCalcEdges(const TLKViewGeometry& G, const TLKFitEdges& E, Integer EdgeX, Integer EdgeY, Integer BorderX,
                 Integer BorderY, bool UseBorderX, bool UseBorderY, Integer& EX, Integer& EY);

/// Commands that move the view origin of one axis.
enum TLKScrollCommand : Byte {
  lkscPosition,
  lkscBottom,
  lkscTop,
  lkscLineDown,
  lkscLineUp,
  lkscPageDown,
  lkscPageUp
};

/// The origin a scroll command asks for on one axis (before clamping).
/// Zoom: the axis factor (zoom / 100); Client: the client extent;
/// LineStep, PageStep: -1 for one unit and one client extent.
Integer LKScrollTarget(TLKScrollCommand Command, Integer Pos, Integer Origin, Integer Max, double Zoom,
                       Integer Client, Integer LineStep, Integer PageStep);
