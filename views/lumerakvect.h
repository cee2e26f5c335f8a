// The vector view: the single-image view with a layer of vector objects
// drawn over the picture (lines, boxes, ellipses, arcs, bitmaps, texts,
// rulers, polylines, angles, memos and labelled lines), for annotation and
// measurement.
//
// Handles. Objects live in a store of slots; a handle is a slot index and
// stays valid until its object is removed (removing leaves a vacant slot;
// only the last slot is given back). -1 is the template object every new
// object copies, -2 the object in the last slot. A drawing-order list holds
// the live handles bottom first; the selection list holds handles in the
// order they were selected. Pictures of bitmap objects sit in a shared,
// reference-counted table. Accessors raise EListError for a handle that
// names no object.
//
// The code is split by concern:
//   lumerakvect.cpp          store, lists, bitmap table, accessors, life cycle
//   lumerakvect_draw.cpp     drawing one object, all objects, shapes, grips,
//                            rubber bands, screen painting
//   lumerakvect_mouse.cpp    interactions, mouse handlers, grips, hit tests
//   lumerakvect_measure.cpp  units, the measure hint, scale, polyline and
//                            selection geometry, rulers, angles, labels
// Plain arithmetic is in views/lkvectgeom.h.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "views/lkrichedit.h"
#include "views/lkvectobject.h"
#include "views/lumerakview.h"

/// The clipboard format of vector objects, registered on first use.
inline constexpr const char* LKVECTCLIPFORMAT_NAME = "LUMERAK VECT";
Word LKVECTCLIPFORMAT();

/// Vector interactions (a set of them is the view's MouseInteractVt).
enum TLKMouseInteractVtItem : Byte {
  miArea,
  miLineLen,
  miPutLine,
  miPutBox,
  miPutEllipse,
  miPutBitmap,
  miPutText,
  miObjectSelect,
  miDragLen,
  miPutRuler,
  miPutPolyLine,
  miPutAngle,
  miPutMemo,
  miPutLineLabel,
  miEditPolyline,
  miUnStampMode
};
using TLKMouseInteractVt = TSet<TLKMouseInteractVtItem>;

/// How a clicked polyline ends: by a double click, or by the application.
enum TLKPolylineEndingMode : Byte { lkemDoubleClick, lkemManual };

/// One entry of the shared bitmap table.
struct TLKVBitmap {
  std::unique_ptr<TLKBitmap> Bitmap;
  Integer RefCount = 0;
};

using TLKVObjectEvent = std::function<void(TObject* Sender, Integer hobj)>;
using TLKVMoveResizeEvent =
    std::function<void(TObject* Sender, Integer hobj, Integer Grip, Integer& OffsetX, Integer& OffsetY)>;
using TLKDrawObjectEvent = std::function<void(TObject* Sender, Integer hobj, TBitmap* Destination, TRect DestRect,
                                              bool DrawingAlpha, bool& Handled)>;
using TLKVMeasureHintEvent = std::function<void(TObject* Sender, std::string& Text, double Value)>;
using TLKVDragLenEndEvent = std::function<void(TObject* Sender, double Value)>;

/// Handles with a meaning of their own.
inline constexpr Integer LKVTemplate = -1;
inline constexpr Integer LKVLast = -2;
inline constexpr Integer LKVAll = -3;
inline constexpr Integer LKVNone = -4;

class TLumerakVect : public TLumerakView {
 public:
  explicit TLumerakVect(TComponent* AOwner = nullptr);
  ~TLumerakVect() override;

  // ---- store and handles (lumerakvect.cpp)

  /// The record of a handle (-1 template, -2 last slot); nil for -3, -4,
  /// vacant slots and handles outside the store.
  TLKVObject* GetObj(Integer hobj);
  /// Number of live objects (the drawing-order list's length).
  Integer GetObjectCount() const { return static_cast<Integer>(FOrder.size()); }
  /// Handle at a position of the drawing-order list (0 = drawn first).
  Integer GetObjectAt(Integer Index) const;
  /// Number of slots (live and vacant).
  Integer GetStoreCount() const { return static_cast<Integer>(FStore.size()); }
  /// Appends a copy of Record; what Record owns is copied as its kind
  /// needs. No event, no repaint. Returns the new handle.
  Integer AddVObject(const TLKVObject& Record);
  /// AddVObject of the template, then Update.
  Integer AddNewObject();
  /// Ends interactions, unselects and frees the object; the last slot is
  /// given back. Every occurrence in the selection list goes.
  void RemoveObject(Integer hobj);
  /// Removes every object; the template keeps its picture (as entry 0).
  void RemoveAllObjects();
  /// Takes the handle's first occurrence out of the drawing-order list.
  void RemoveVObject(Integer hobj);
  /// Frees what a record owns (picture reference, texts, font, points,
  /// user data).
  void RemoveVObjData(TLKVObject& Record);
  /// Frees the text and the memo character data.
  static void RemoveMemoTextData(TLKVObject& Record);
  /// Appends a polyline point unless it equals the last one; widens the
  /// rectangle and makes the point box the rectangle. Returns the count.
  Integer AddPolyLinePoint(Integer hobj, Integer X, Integer Y);

  // ---- selection list

  void AddSelObjectNS(Integer hobj);
  void AddSelObjectEx(Integer hobj);
  void AddSelObject(Integer hobj);
  bool IsSelObject(Integer hobj);
  void UnSelObject(Integer hobj);
  void UnSelAllObjectsNU();
  void UnSelAllObjects();
  void SelAllObjects();
  Integer GetSelObjectCount() const { return static_cast<Integer>(FSel.size()); }
  /// Handle at a position of the selection list; 0 outside it.
  Integer GetSelObjects(Integer Index) const;
  /// Union of the selected objects' rectangles, starting from (bitmap
  /// width, bitmap height, 0, 0).
  TRect GetSelectedObjectsRect();
  /// Selects (without event) every not yet selected object (-3: of the
  /// whole list) whose ordered rectangle lies inside X1..X2, Y1..Y2.
  void SelInRect(Integer hobj, Integer X1, Integer Y1, Integer X2, Integer Y2);

  // ---- shared bitmap table

  Integer AllocBitmap();
  void FreeBitmap(Integer Index);
  TLKBitmap* GetBitmap(Integer Index);
  TLKBitmap* GetBitmapAlpha(Integer Index);
  /// Last entry whose picture equals Bitmap by content; -1 when none.
  Integer FindBitmap(TLKBitmap* Bitmap);
  void SetObjBitmapNU(Integer hobj, TLKBitmap* Bitmap);
  void SetObjBitmapIdxNU(Integer hobj, Integer Index);
  /// Compacts the table, renumbering every reference.
  void PackBMP();
  Integer GetBitmapTableCount() const { return static_cast<Integer>(FBitmaps.size()); }
  Integer GetBitmapRefCount(Integer Index) const;
  bool GetShareBitmaps() const { return FShareBitmaps; }
  void SetShareBitmaps(bool Value) { FShareBitmaps = Value; }

  // ---- property accessors: set stores, then repaints unless hobj is -1

#define LK_VPROP(Type, Name, Field)                                   \
  Type GetObj##Name(Integer hobj) { return Obj(hobj).Field; }         \
  void SetObj##Name(Integer hobj, Type Value) {                       \
    Obj(hobj).Field = Value;                                          \
    Changed(hobj);                                                    \
  }
  LK_VPROP(Integer, Transparency, Transparency)
  LK_VPROP(void*, UserData, UserData)
  LK_VPROP(Integer, UserDataLength, UserDataLength)
  LK_VPROP(TLKShape, BeginShape, BeginShape)
  LK_VPROP(TLKShape, EndShape, EndShape)
  LK_VPROP(Integer, ShapeWidth, ShapeWidth)
  LK_VPROP(Integer, ShapeHeight, ShapeHeight)
  LK_VPROP(TColor, LabelBrushColor, LabelBrushColor)
  LK_VPROP(TBrushStyle, LabelBrushStyle, LabelBrushStyle)
  LK_VPROP(TLKLabelPos, LabelPos, LabelPos)
  LK_VPROP(TColor, PenColor, PenColor)
  LK_VPROP(TPenStyle, PenStyle, PenStyle)
  LK_VPROP(Integer, PenWidth, PenWidth)
  LK_VPROP(TColor, BrushColor, BrushColor)
  LK_VPROP(TBrushStyle, BrushStyle, BrushStyle)
  LK_VPROP(bool, BoxHighLight, BoxHighLight)
  LK_VPROP(double, ArcStartingAngle, ArcStartingAngle)
  LK_VPROP(double, ArcEndingAngle, ArcEndingAngle)
  LK_VPROP(bool, BitmapBorder, BitmapBorder)
  LK_VPROP(TLKAlignment, TextAlign, TextAlign)
  LK_VPROP(bool, TextAutoSize, TextAutoSize)
  LK_VPROP(bool, FontLocked, FontLocked)
  LK_VPROP(bool, TextEditable, TextEditable)
  LK_VPROP(Integer, MemoLineSpace, MemoLineSpace)
  LK_VPROP(TColor, MemoBorderColor, MemoBorderColor)
  LK_VPROP(TPenStyle, MemoBorderStyle, MemoBorderStyle)
  LK_VPROP(bool, MemoHasBitmap, MemoHasBitmap)
  LK_VPROP(double, MemoMarginLeft, MemoMarginLeft)
  LK_VPROP(double, MemoMarginTop, MemoMarginTop)
  LK_VPROP(double, MemoMarginRight, MemoMarginRight)
  LK_VPROP(double, MemoMarginBottom, MemoMarginBottom)
  LK_VPROP(Integer, ID, ID)
  LK_VPROP(TLKUnits, RulerUnit, RulerUnit)
  LK_VPROP(TLKVRulerType, RulerType, RulerType)
  LK_VPROP(bool, PolylineClosed, PolylineClosed)
#undef LK_VPROP

  TLKVObjectKind GetObjKind(Integer hobj) { return Obj(hobj).Kind; }
  /// Stores the kind; text-carrying kinds get the template's font record
  /// (and texts and labelled lines the empty text) when they have none.
  void SetObjKind(Integer hobj, TLKVObjectKind Value);
  TLKVStyle GetObjStyle(Integer hobj) { return Obj(hobj).Style; }
  /// An object that loses lkvsSelectable is unselected first.
  void SetObjStyle(Integer hobj, TLKVStyle Value);
  TRect GetObjRect(Integer hobj);
  void SetObjRect(Integer hobj, const TRect& R);
  Integer GetObjLeft(Integer hobj) { return Obj(hobj).X1; }
  Integer GetObjTop(Integer hobj) { return Obj(hobj).Y1; }
  /// Moves the object keeping its size.
  void SetObjLeft(Integer hobj, Integer Value);
  void SetObjTop(Integer hobj, Integer Value);
  /// X2 - X1 + 1 and Y2 - Y1 + 1; the setters move X2 (Y2).
  Integer GetObjWidth(Integer hobj);
  Integer GetObjHeight(Integer hobj);
  void SetObjWidth(Integer hobj, Integer Value);
  void SetObjHeight(Integer hobj, Integer Value);
  /// A copy of the text ("" when none).
  std::string GetObjText(Integer hobj);
  /// Frees text and memo data, stores the text without carriage returns.
  void SetObjText(Integer hobj, const std::string& Value);
  std::string GetObjName(Integer hobj);
  void SetObjName(Integer hobj, const std::string& Value);
  /// The font record becomes Font's; the pen colour takes Font's colour.
  void SetObjFont(Integer hobj, const TFont* Font);
  Integer GetObjFontHeight(Integer hobj);
  void SetObjFontHeight(Integer hobj, Integer Value);
  std::string GetObjFontName(Integer hobj);
  /// Keeps the first 31 characters.
  void SetObjFontName(Integer hobj, const std::string& Value);
  TFontStyles GetObjFontStyles(Integer hobj);
  void SetObjFontStyles(Integer hobj, TFontStyles Value);
  /// Escapement in degrees (stored as tenths, truncated).
  double GetObjFontAngle(Integer hobj);
  void SetObjFontAngle(Integer hobj, double Value);
  double GetObjTextCurveCharRot(Integer hobj) { return Obj(hobj).CurveCharRot / 10.0; }
  void SetObjTextCurveCharRot(Integer hobj, double Value);
  Integer GetObjMemoFixedHeight(Integer hobj) { return Obj(hobj).MemoFixedHeight; }
  /// Stores only (no repaint).
  void SetObjMemoFixedHeight(Integer hobj, Integer Value) { Obj(hobj).MemoFixedHeight = Value; }
  TLKVSoftShadow* GetObjSoftShadow(Integer hobj) { return Obj(hobj).SoftShadow.get(); }
  TLKBitmap* GetObjBitmap(Integer hobj) { return GetBitmap(Obj(hobj).BitmapIdx); }
  TLKBitmap* GetObjBitmapAlpha(Integer hobj) { return GetBitmapAlpha(Obj(hobj).BitmapIdx); }
  Integer GetObjBitmapIdx(Integer hobj) { return Obj(hobj).BitmapIdx; }
  void SetObjBitmap(Integer hobj, TLKBitmap* Bitmap);
  void ObjSetTBitmap(Integer hobj, TBitmap* Bitmap);
  /// Gives the object's (shared) picture Alpha as its alpha channel.
  void SetObjBitmapAlpha(Integer hobj, TLKBitmap* Alpha);
  /// Loads a picture file through the I/O component; false (object
  /// unchanged) when the load failed.
  bool SetObjBitmapFromFile(Integer hobj, const String& FileName);
  Integer GetObjPolylinePointsCount(Integer hobj) { return static_cast<Integer>(Obj(hobj).PolyPoints.size()); }
  /// Point Index in bitmap coordinates; (0, 0) for an index outside the list.
  TPoint GetObjPolylinePoints(Integer hobj, Integer Index);
  /// Replaces the points (each through AddPolyLinePoint), then repaints.
  void SetObjPolylinePoints(Integer hobj, const std::vector<TPoint>& Points);
  /// The three angle points (an unset one has X = -1000000).
  void SetObjAnglePoints(Integer hobj, TPoint P0, TPoint P1, TPoint P2);

  // ---- view settings of the object layer

  bool GetAllObjectsHidden() const { return FAllHidden; }
  void SetAllObjectsHidden(bool Value);
  bool GetZoomObjectsWidth() const { return FZoomObjectsWidth; }
  void SetZoomObjectsWidth(bool Value);
  bool GetObjAntialias() const { return FObjAntialias; }
  void SetObjAntialias(bool Value);
  bool GetObjGraphicRender() const { return FGraphicRender; }
  virtual void SetObjGraphicRender(bool Value);
  TResampleFilter GetBitmapResampleFilter() const { return FBitmapFilter; }
  void SetBitmapResampleFilter(TResampleFilter Value);

  // ---- drawing (lumerakvect_draw.cpp)

  /// Draws one object onto Target; true when it was within the view and
  /// visible.
  bool DrawObject(TLKVObject& O, Integer hobj, TBitmap* Target, bool DrawingAlpha, bool ViewCoords,
                  TLKBitmap* TargetLK, Integer M, bool Clip);
  /// Draws every object (negative hobj) or one onto Target, directly or
  /// through the composing layer (graphic render on).
  void DrawObjectAll(TBitmap* Target, bool InBitmapCoords, bool Antialias, Integer hobj);
  void DrawLineShape(TLKVObject& O, TCanvas* C, Integer EX, Integer EY, Integer OX, Integer OY, TLKShape Shape,
                     Integer W, Integer H, TRect& DrawnRect);
  void DrawGrip(TCanvas* C, Integer X, Integer Y, Integer Kind);
  void DrawObjectGrips(TCanvas* C, TLKVObject& O);
  void DrawSelGrips(TCanvas* C);
  void DrawPolylinePoints(TCanvas* C);
  void DrawBitmapObject(TBitmap* Target, TLKVObject& O, Integer PenWidth, TLKBitmap* TargetLK, Integer SX1,
                        Integer SY1, Integer SX2, Integer SY2);
  Integer VXBmp2Scr(Integer X, bool ViewCoords, Integer M);
  Integer VYBmp2Scr(Integer Y, bool ViewCoords, Integer M);
  /// Pen width of a drawing at the zooms; bitmap objects get their right
  /// and bottom edges on whole zoomed pixels.
  Integer AdjustCoords(TLKVObject& O, Integer& SX2, Integer& SY2, double ZoomX, double ZoomY, bool ViewCoords,
                       Integer M);
  void DrawLineInserting();
  void DrawBoxInserting();
  void DrawEllipseInserting();
  void DrawRulerInserting();
  void DrawAngleInserting();
  /// Objects drawn since the last screen paint.
  Integer GetDrawnObjectCount() const { return FDrawnCount; }
  /// Draws all objects (screen coordinates), grips and point markers on
  /// Target.
  void VPaintTo(TBitmap* Target);
  void PaintToEx(TLKBitmap* Target, void** RowTable, const TRect* UpdateRect, bool DrawBackground,
                 bool DrawGadgets) override;
  /// The composing layer (nil before the first composed drawing).
  TLKBitmap* GetComposingLayer() { return FLayer.get(); }
  TPen* GetGripPen() { return FGripPen.get(); }
  TBrush* GetGripBrush() { return FGripBrush.get(); }
  Integer GripSize = 4;
  TLKDrawObjectEvent OnBeforeDrawObject, OnAfterDrawObject;

  // ---- mouse (lumerakview_mouse.cpp)

  TLKMouseInteractVt GetMouseInteractVt() const { return FMouseInteractVt; }
  void SetMouseInteractVt(TLKMouseInteractVt Value);
  void SetMouseInteract(TLKMouseInteract Value) override;
  void CancelInteracts();
  Integer FindNearObj(Integer X, Integer Y, bool SelectableOnly, double& Distance);
  double CalcDistPtObj(TLKVObject& O, Integer X, Integer Y);
  Integer FindSelGrip(Integer X, Integer Y, Integer& Grip);
  bool InGrip(Integer GX, Integer GY, Integer X, Integer Y) const;
  void MouseSelect(TShiftState Shift, Integer X, Integer Y, bool OnPress);
  void ChangeObjectCoor(Integer hobj, Integer DX1, Integer DY1, Integer DX2, Integer DY2, bool KeepAspect,
                        Integer Grip);
  void TraslateObject(Integer hobj, Integer DX, Integer DY);
  Integer FindPolylinePoint(Integer X, Integer Y);
  Integer FindPolylineIntraPoint(Integer X, Integer Y);
  /// The nearest object to client (X, Y) among all objects, -3 when none.
  Integer FindObjectAt(Integer X, Integer Y, double& Distance);
  /// Client corners of an object's grips (pen width taken into account).
  void ObjectClientRect(TLKVObject& O, Integer& SX1, Integer& SY1, Integer& SX2, Integer& SY2);
  TLKVObjectKind GetInsertingKind() const { return FInserting; }
  Integer GetDraggedGrip() const { return FGrip; }

  bool SelectOnMouseDown = true;
  Integer SelectDistanceLimit = -1;
  bool CenterGripMove = false;
  bool CenterStampedObjects = false;
  bool MoveOutsideBitmap = true;
  bool RubberBandSelect = true;
  bool EditNewText = true;
  TLKPolylineEndingMode PolylineEndingMode = lkemDoubleClick;

  TNotifyEvent OnSelectObject;
  TLKVObjectEvent OnObjectClick, OnObjectDblClick, OnObjectOver, OnNewObject;
  TLKVMoveResizeEvent OnObjectMoveResize;
  TNotifyEvent OnVectorialChanged, OnBeforeVectorialChange;

  virtual void DoVectorialChanged();
  virtual void DoObjectMoveResize(Integer hobj, Integer Grip, Integer& DX, Integer& DY);
  virtual void DoObjectClick(Integer hobj);
  virtual void DoObjectDblClick(Integer hobj);
  virtual void DoObjectOver(Integer hobj);
  virtual void DoBeforeVectorialChange();
  virtual void DoNewObject(Integer hobj);

  // ---- measurement (lumerakvect_measure.cpp)

  TLKUnits GetMUnit() const { return FMUnit; }
  void SetMUnit(TLKUnits Value);
  Integer GetFloatDigits() const { return FFloatDigits; }
  void SetFloatDigits(Integer Value);
  Integer GetFloatPrecision() const { return FFloatPrecision; }
  void SetFloatPrecision(Integer Value);
  void SetDPIX(Integer Value) override;
  void SetDPIY(Integer Value) override;
  /// Coefficients of a unit at the view's resolution and scale.
  void CalcCoef(double& CX, double& CY, TLKUnits Unit);
  double GetCoefX() const { return FCoefX; }
  double GetCoefY() const { return FCoefY; }
  double GetScale() const { return FScale; }
  /// Stores the scale (ignored unless positive and finite), recomputes the
  /// coefficients, repaints.
  void SetScale(double Value);
  /// Scale so that Pixels pixels measure Length units horizontally
  /// (ignored unless both are positive).
  void SetScaleFromPixels(Integer Pixels, double Length);
  void SetScaleFromSelectionLen(double Length);
  double GetSelectionLen();
  double GetSelectionArea();
  TPoint GetSelectionCentroid();
  void HintShow(Integer X, Integer Y);
  void HintRestore();
  void UpdateHint(Integer X, Integer Y);
  bool GetHintActive() const { return FHintActive; }
  /// The text the hint shows now.
  const std::string& GetHintText() const { return FHintText; }
  double GetLastMeasure() const { return FLastMeasure; }
  TPoint GetHintPos() const { return FHintPos; }
  bool MeasureToMouse = true;
  TLKVMeasureHintEvent OnMeasureHint;
  TLKVDragLenEndEvent OnDragLenEnd;

  void CalcZxZyPolyline(TLKVObject& O, double& ZX, double& ZY);
  void RecalcPolylineBox(TLKVObject& O);
  double GetPolylineLen(Integer hobj);
  double GetPolylineArea(Integer hobj);
  TPoint GetPolylineCentroid(Integer hobj);
  double GetObjDiagLen(Integer hobj);
  Integer CreatePolygonFromEdge(Integer X, Integer Y, bool WandOption, Integer Tolerance);
  Integer CreatePolygonsFromSelection();
  void SimplifyPolygon(Integer hobj, Integer MaxPoints);
  bool RemovePolygonJaggedEdges(Integer hobj);

  static Integer CountAnglePoints(const TPoint* Points);
  double GetAngleValue(Integer hobj);
  void DrawAngle(TCanvas* C, const TPoint* Points, TColor Color, Integer PenWidth, TRect& DrawnRect, bool ViewCoords,
                 Integer M, double ScaleX, double ScaleY, const TLKLogFont* Font);
  void DrawRuler(TCanvas* C, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKUnits Unit, TColor Color,
                 Integer PenWidth, TLKVRulerType Type, double ScaleX, double ScaleY, TRect& DrawnRect,
                 const TLKLogFont* Font);
  void DrawObjectLineLabel(TCanvas* C, Integer X1, Integer Y1, Integer X2, Integer Y2, TLKVObject& O, double Zoom,
                           TRect& DrawnRect);

  // ---- the LKV stream and file, DXF import (lkvectfile.cpp, lkvectdxf.cpp)

  /// Record version the writer writes; the reader takes 49..LKVVER.
  static constexpr Integer LKVVER = 75;

  /// Writes the objects, shared pictures and scale as one block at the
  /// stream's position (record version 75); the stream is left at its end.
  void SaveToStreamLKV(TStream* Stream);
  /// The same with the records of an older version (49..75): what that
  /// version stores and nothing more.
  void SaveToStreamLKVVersion(TStream* Stream, Integer Version);
  /// Reads a block at the stream's position and replaces the objects.
  /// False, with the objects as they were, when the block is not one
  /// (4 bytes consumed) or is damaged (GetLastLKVError says why).
  bool LoadFromStreamLKV(TStream* Stream);
  /// Writes the block to a file (a failed save leaves an old file as it
  /// was).
  void SaveToFileLKV(const String& FileName);
  /// Reads a block from a file; raises EFOpenError when it cannot be opened.
  bool LoadFromFileLKV(const String& FileName);
  /// Writes one object record (version 75); -3 writes every object bottom
  /// first, -1 and -2 write nothing.
  void SaveObj(TStream* Stream, Integer hobj);
  /// Reads one record of Version and adds its object(s); returns the new
  /// handle, or -4 for a group. With KeepBitmapIndex false the objects get
  /// no picture. A damaged record raises EReadError and adds nothing.
  Integer ReadObj(TStream* Stream, Integer Version, bool KeepBitmapIndex);
  /// Why the last LoadFromStreamLKV returned false ("" after success).
  const std::string& GetLastLKVError() const { return FLastLKVError; }
  /// Adds the lines, circles and arcs of a DXF drawing, scaled into the
  /// picture; false when the file could not be read (the objects read
  /// before stay).
  bool ImportDXF(const String& FileName);
  /// The layers stream and the objects in one stream: int32 absolute
  /// position of the objects part, the layers, the LKV block.
  void SaveToStreamAll(TStream* Stream, Integer LayersCompression);
  /// False when the layers are refused (objects untouched), else what the
  /// objects' read gives.
  bool LoadFromStreamAll(TStream* Stream);
  void SaveToFileAll(const String& FileName, Integer LayersCompression);
  bool LoadFromFileAll(const String& FileName);
  /// Keeps the objects in tag lkgObjectsTIFFTag of a page of an existing
  /// TIFF file; raises EReadError, the file untouched, when it is not a
  /// TIFF file with that page.
  void SaveObjectsToTIFF(const String& FileName, Integer Page);
  /// Replaces the objects with those of the page's tag; false (objects
  /// kept) when the file, the page or the tag is not there or is damaged.
  bool LoadObjectsFromTIFF(const String& FileName, Integer Page);

  // ---- text objects: straight, turned and along curves (lkvecttext.cpp)

  /// Curve shapes a text can follow.
  enum TLKCurve : Byte { lkcNone, lkcEllipse, lkcCosine, lkcVertical, lkcHorizontal, lkcArc };
  /// Appends one curve point (fractions of the box's width and height).
  void SetObjTextCurve(Integer hobj, double X, double Y);
  /// Replaces the curve by a shape, starting at Phase degrees; Reverse runs
  /// it the other way (the cosine ignores it). Then Update.
  void SetObjTextCurveShape(Integer hobj, TLKCurve Shape, Integer Phase, bool Reverse);
  /// The curve of a polyline's stored points, scaled into its point box (a
  /// flat side of the box gives 0.5 on that axis). No Update.
  void SetObjTextCurveFromPolyline(Integer hobj, Integer hPolyline);
  /// Draws a text object's text in the screen box (SX1, SY1)-(SX2, SY2):
  /// straight, turned by its font's escapement and placed by its
  /// alignment, or character by character along its curve.
  void DrawObjectText(TLKVObject& O, TCanvas* C, Integer SX1, Integer SY1, Integer SX2, Integer SY2, double ZoomY,
                      TRect& DrawnRect);

  // ---- editing memo texts in place, and the object undo (lkvectedit.cpp)

  /// Ends the interactions, selects hobj alone and opens its editor.
  void SetObjTextEditMode(Integer hobj);
  /// The object whose editor is open; -1 when none.
  Integer GetObjTextEditMode() const { return FEdited; }
  bool IsEditMode() const { return FEdited >= 0; }
  /// Opens the editor over the edited object (a memo whose text may be
  /// edited; otherwise nothing is edited). The editor holds the memo's
  /// text and styles until RemoveTextEdit gives them back.
  void ActivateTextEdit();
  /// Places and styles the open editor after the view or the object changed.
  virtual void UpdateTextEdit();
  /// Gives the edited text back to its object and hides the editor; the
  /// edited object stays set (callers reset it).
  void RemoveTextEdit();
  /// The memo editor (nil before the first memo was edited).
  TLKTextControl* GetMemoEditor() { return FMemoEdit; }
  /// A memo's text as laid out, with a line feed at every line end.
  std::string GetMemoFormattedString(Integer hobj);
  /// Draws a memo object's text into the screen box at (SX1, SY1) at Zoom.
  void DrawMemo(TLKVObject& O, Integer hobj, TCanvas* C, Integer SX1, Integer SY1, double Zoom, bool DrawingAlpha);
  TNotifyEvent OnActivateTextEdit, OnDeactivateTextEdit;
  TKeyEvent OnTextKeyDown;

  /// Undo of whole snapshots of the objects (the object stream in memory).
  void ObjSaveUndo();
  /// Restores the snapshot Index places back from the newest (0); it stays
  /// in the list. Nothing for an index outside it.
  void ObjUndoAt(Integer Index);
  void ObjUndo() { ObjUndoAt(0); }
  /// Frees the newest snapshot / all of them.
  void ObjClearUndo();
  void ObjClearAllUndo() { FUndo.clear(); }
  bool GetObjCanUndo() const { return !FUndo.empty(); }
  Integer GetObjUndoCount() const { return static_cast<Integer>(FUndo.size()); }
  /// The most snapshots kept (at least 1).
  Integer GetObjUndoLimit() const { return FUndoLimit; }
  void SetObjUndoLimit(Integer Value) { FUndoLimit = std::max<Integer>(1, Value); }

  void Update() override;
  void KeyDown(Word& Key, TShiftState Shift) override;

  // ---- operations on the whole layer and the clipboard (lkvectops.cpp)

  /// The topmost object named Name (case-sensitive); -1 when none.
  Integer GetObjFromName(const std::string& Name);
  /// The topmost object with ID; -1 when none.
  Integer GetObjFromID(Integer ID);
  /// Handle at a position of the drawing-order list; -1 outside it.
  Integer GetObjFromIndex(Integer Index) const { return GetObjectAt(Index); }
  /// Position of a handle in the drawing-order list; -1 when not there.
  Integer GetObjPos(Integer hobj) const;
  /// (0, 0, 1 + largest x, 1 + largest y) of the objects' corners; all 0
  /// without objects.
  TRect GetObjectsExtents();
  /// Inserts a handle into the drawing-order list at Position (clamped).
  void ReInsertVObject(Integer hobj, Integer Position);
  /// Moves hobj directly above Ref (on top when Ref is negative).
  void SetObjFrontOf(Integer hobj, Integer Ref);
  /// Moves hobj directly below Ref (to the bottom when Ref is negative).
  void SetObjBackTo(Integer hobj, Integer Ref);
  /// While locked the view paints without its objects; no repaint.
  void ObjLockPaint() { ++FObjPaintLock; }
  void ObjUnLockPaint() { --FObjPaintLock; }
  Integer GetObjPaintLock() const { return FObjPaintLock; }
  /// Draws one object (hobj >= 0) or all (-1) into Bitmap in picture
  /// coordinates; other pixel formats pass through 24-bit RGB.
  void DrawObjectsToBitmapEx(TLKBitmap* Bitmap, bool Antialias, Integer hobj);
  void DrawObjectsToBitmap(TLKBitmap* Bitmap, bool Antialias) { DrawObjectsToBitmapEx(Bitmap, Antialias, -1); }
  void DrawOneObjectToBitmap(Integer hobj, TLKBitmap* Bitmap, bool Antialias) {
    DrawObjectsToBitmapEx(Bitmap, Antialias, hobj);
  }
  /// Burns all objects (or one) into the view's picture; they stay.
  void CopyObjectsToBack(bool Antialias);
  void CopyObjectToBack(Integer hobj, bool Antialias);
  /// Copies an object, with its own copy of its picture, into Dest.
  Integer CopyObjectTo(Integer hobj, TLumerakVect* Dest);
  void CopyAllObjectsTo(TLumerakVect* Dest);
  void CopySelectedObjectsTo(TLumerakVect* Dest);
  /// A vector view source also gives its objects and scale.
  void Assign(TPersistent* Source) override;
  /// Turning about each object's centre, or with the picture (90, 180 and
  /// 270 degrees only; other angles turn about the picture's centre).
  enum TLKRotateCenter : Byte { lkrObject, lkrImage };
  void CalcRotateValues(TLKVObject& O, double Angle, TLKRotateCenter Center, double& CX, double& CY, double& CosA,
                        double& SinA);
  void RotateObjectEx(TLKVObject& O, double CX, double CY, double CosA, double SinA, double Angle);
  void RotateObject(Integer hobj, double Angle, TLKRotateCenter Center);
  void RotateAllObjects(double Angle, TLKRotateCenter Center);
  /// A new bitmap object holding the selected area (alpha from the
  /// selection, feathered and smoothed on request); -1 without selection.
  Integer CreateImageFromSelectedArea(Integer Feather, bool Smooth);
  /// The "LUMERAK VECT" clipboard: the selected objects, their pictures as
  /// PNG. Paste replaces the selection with the pasted objects, shifted.
  void ObjCopyToClipboard();
  void ObjCutToClipboard();
  void ObjPasteFromClipboard(Integer OffsetX, Integer OffsetY);
  /// The clipboard block of the selected objects, and the paste of one.
  std::vector<Byte> SelectedObjectsBlock();
  /// False (nothing changed) for a damaged block.
  bool PasteObjectsBlock(const std::vector<Byte>& Block, Integer OffsetX, Integer OffsetY);

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

 private:
  TLKVObject& Obj(Integer hobj);
  void Changed(Integer hobj) {
    if (hobj != LKVTemplate) Update();
  }
  void EnsureFont(TLKVObject& O);
  void DrawRubber(TCanvas* C, Integer Kind);
  void DrawInserting();
  void FontToCanvas(TCanvas* C, const TLKLogFont* Font, double Scale, TColor Color);
  std::vector<TLKDPoint> PolylineBitmapPoints(TLKVObject& O);
  void SetupTemplate();
  void SnapEndGrip(Integer& CX, Integer& CY);
  bool FartherThan(const TLKVObject& O, Integer X, Integer Y, double Best);

  std::vector<std::unique_ptr<TLKVObject>> FStore;
  std::vector<Integer> FOrder, FSel;
  std::vector<TLKVBitmap> FBitmaps;
  TLKVObject FTemplate;
  bool FShareBitmaps = true;
  bool FAllHidden = false, FZoomObjectsWidth = true, FObjAntialias = false, FGraphicRender = false;
  TResampleFilter FBitmapFilter = rfNone;
  Integer FDrawnCount = 0;
  std::unique_ptr<TLKBitmap> FLayer;
  std::unique_ptr<TBitmap> FLayerAlpha;
  std::unique_ptr<TPen> FGripPen;
  std::unique_ptr<TBrush> FGripBrush;
  // Interaction state.
  TLKMouseInteractVt FMouseInteractVt;
  TLKVObjectKind FInserting = lkkNONE;
  Integer FGrip = 0;
  TPoint FEnd{}, FRawPt{}, FApplied{}, FLastPolyPt{};
  Integer FPolyInProgress = -1, FAngleInProgress = -1;
  Integer FPickedPoint = -1, FPickedSegment = -1;
  bool FDoubleClick = false, FDeferredSel = false, FObjectsChanged = false;
  Integer FFastPicture = 0;
  bool FRubberOn = false;
  // Measurement.
  TLKUnits FMUnit = lkuPIXELS;
  Integer FFloatDigits = 2, FFloatPrecision = 15;
  double FCoefX = 1, FCoefY = 1, FScale = 1;
  double FLastMeasure = 0;
  bool FHintActive = false;
  TPoint FHintPos{};
  std::unique_ptr<TBitmap> FHintBack;
  std::unique_ptr<TFont> FHintFont;
  std::unique_ptr<TBrush> FHintBrush;
  TColor FHintLight = clWhite, FHintDark = RGB(128, 128, 128);
  std::string FHintText;
  // LKV stream.
 public:
  struct TReadRecord;

 private:
  Integer AddRead(TReadRecord& Rec);
  std::string FLastLKVError;
  Integer FObjPaintLock = 0;
  // Memo editing and undo.
  void ConfigureMemo(TLKTextControl& C, TLKVObject& O, double Zoom);
  void MemoEditKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  TLKTextControl* FMemoEdit = nullptr;
  Integer FEdited = -1, FFormatting = -1;
  bool FDestroying = false;
  std::string FFormatted;
  std::vector<std::vector<Byte>> FUndo;
  Integer FUndoLimit = 1;
 protected:
  void WndProc(TMessage& Message) override;
 private:
  bool FTurningAll = false;
  std::set<Integer> FTurnedPictures;
};
