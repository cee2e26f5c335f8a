// The single-image view: one picture made of layers, zoomed and scrolled in
// its client area and painted through a back buffer.
//
// The view's arithmetic lives in TLKViewGeometry (views/lkviewgeometry.h)
// and the layer object in TLKLayer (views/lklayer.h); this class wires them
// to the window layer. Its code is split by concern:
//   lumerakview.cpp          construction, companions, picture operations,
//                            locks, cursors, messages
//   lumerakview_zoom.cpp     Update, zoom, fit and conversions
//   lumerakview_scroll.cpp   view origin, scroll bars, scroll commands, wheel
//   lumerakview_render.cpp   Paint, back buffer, layer compositing
//   lumerakview_layers.cpp   the layer list
//   lumerakview_transition.cpp  transitions and the view's own messages
//   lklayersfile.cpp         the layers stream
//
// Painting is synchronous where the view asks for it (zoom and origin
// changes) and happens on the main thread only; worker threads reach the
// view through posted messages (see views/lkview.h).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkblend.h"
#include "core/lkmask.h"
#include "views/lkbackground.h"
#include "views/lklayer.h"
#include "views/lkselection.h"
#include "views/lkview.h"
#include "views/lkviewgeometry.h"
#include "processing/lktransitions.h"

class TLKBitmap;
class TLKMask;
class TLumerakIO;
class TLumerakProc;

/// Mouse interaction modes (a set of them is the view's MouseInteract).
enum TLKMouseInteractItem : Byte {
  miZoom,
  miScroll,
  miSelect,
  miSelectPolygon,
  miSelectCircle,
  miSelectZoom,
  miSelectMagicWand,
  miSelectLasso,
  miMoveLayers,
  miResizeLayers
};
using TLKMouseInteract = TSet<TLKMouseInteractItem>;

/// Which scroll bars the view may show.
enum TScrollStyle : Byte { ssNone, ssHorizontal, ssVertical, ssBoth };

/// Settings of one scroll bar: line and page steps in units of
/// max(Trunc(zoom / 100), 1) client pixels (-1: one unit; one client extent),
/// and whether the view follows the thumb while it is dragged.
struct TLKScrollBarParams {
  Integer LineScrollStep = -1;
  Integer PageScrollStep = -1;
  bool ThumbTracking = true;
};

enum TLKMouseWheelParamsAction : Byte { lkmwNone, lkmwVScroll, lkmwZoom };
enum TLKMouseWheelParamsVariation : Byte { lkmwAbsolute, lkmwPercentage };
enum TLKMouseWheelParamsZoomPosition : Byte { lkmwCenter, lkmwMouse };

/// What the mouse wheel does.
struct TLKMouseWheelParams {
  bool ReverseDirection = false;
  TLKMouseWheelParamsAction Action = lkmwZoom;
  TLKMouseWheelParamsVariation Variation = lkmwPercentage;
  Integer Amount = 8;
  TLKMouseWheelParamsZoomPosition ZoomPosition = lkmwCenter;
};

/// Change 0 after a scroll, 1 after a zoom.
using TViewChangeEvent = std::function<void(TObject* Sender, Integer Change)>;
/// A proposed zoom that the handler may change.
using TLKZoomEvent = std::function<void(TObject* Sender, double& NewZoom)>;
using TLKLayerNotify = std::function<void(TObject* Sender, Integer Layer, TLKLayerEvent Event)>;
using TLKOnDrawBackground = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool& Handled)>;
using TLKOnDrawCanvas = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect)>;
using TLKOnDrawLayerBox = std::function<void(TObject* Sender, TBitmap* ABitmap, TLKLayer* Layer)>;
using TLKOnDrawLayerGrip =
    std::function<void(TObject* Sender, TBitmap* ABitmap, TLKLayer* Layer, Integer Grip, TRect Rect)>;

/// The screen cursors the view registers (1778..1810) and its default.
inline constexpr Integer LKCursorFirst = 1778;
inline constexpr Integer LKCursorLast = 1810;
inline constexpr Integer LKCursorDefault = 1785;

/// The version the view reports and draws.
inline constexpr const char* LKViewVersion = "2.2.4rc3";

/// The single-image view.
class TLumerakView : public TLKView, public TLumerakViewServices {
 public:
  /// A view with one background layer holding an empty picture, zoom 100,
  /// size 105 x 105, both scroll bars allowed, centred, resolution 300 dpi.
  explicit TLumerakView(TComponent* AOwner = nullptr);
  ~TLumerakView() override;

  // ---- companions (created on first request, owned by the view)

  TLumerakIO* GetLumerakIO();
  TLumerakProc* GetLumerakProc();
  void SetOnProgress(TLKProgressEvent Value) override;
  void SetOnFinishWork(TNotifyEvent Value) override;

  // ---- picture

  /// Fills the current bitmap with the background colour, drops its alpha
  /// channel, then Update.
  void Clear();
  /// The current bitmap becomes 1 x 1, then Clear.
  void Blank();
  /// True when the current bitmap is narrower and lower than 2 pixels.
  virtual bool GetIsEmpty();
  /// nil: Clear. A TLumerakView: copies its current bitmap, background and
  /// resolution. A TBitmap: copies it (converted to lk24RGB unless it is
  /// lk1g or lk24RGB). Then Update and ImageChange. Others: nothing.
  void Assign(TPersistent* Source) override;
  void SetBackGround(TColor Color) override;
  /// Fires OnImageChange.
  void ImageChange() override;
  bool GetLegacyBitmap() const { return FLegacyBitmap; }
  /// Moves the current bitmap between class-library storage (true) and the
  /// library's own memory, then tells the listeners and updates.
  virtual void SetLegacyBitmap(bool Value);
  /// Shows Bitmap (not owned) in the current layer, freeing the layer's own
  /// bitmap; nil gives the layer a new empty bitmap of its own without
  /// callbacks or update. Nothing while no layer is current.
  void SetExternalBitmap(TLKBitmap* Bitmap);
  /// Resamples the picture to NewDPI (keeping the aspect ratio) and adjusts
  /// the resolution; nothing while a resolution is 0.
  void ChangeResolution(Integer NewDPI, TResampleFilter Filter);

  TBitmap* GetFBitmap() override;
  TLKBitmap* GetLKBitmap() override;
  TLKBitmap* GetAlphaChannel() override;
  bool GetHasAlphaChannel() override;
  /// Drops the alpha channel; Merge first blends the picture over the
  /// background colour (c' = bg + floor((c - bg) * a / 256)).
  void RemoveAlphaChannel(bool Merge) override;

  // ---- locks

  void LockUpdate() { ++FUpdateLock; }
  void UnLockUpdate();
  /// Update without invalidating the control.
  void UpdateNoPaint();

  // ---- settings

  TResampleFilter GetZoomFilter() const { return FZoomFilter; }
  void SetZoomFilter(TResampleFilter Value);
  bool GetDelayZoomFilter() const { return FDelayZoomFilter; }
  void SetDelayZoomFilter(bool Value) { FDelayZoomFilter = Value; }
  bool GetCenter() const { return FGeo.Center; }
  void SetCenter(bool Value);
  bool GetAutoFit() const { return FAutoFit; }
  void SetAutoFit(bool Value) { FAutoFit = Value; }
  bool GetAutoStretch() const { return FAutoStretch; }
  void SetAutoStretch(bool Value) { FAutoStretch = Value; }
  bool GetAutoShrink() const { return FAutoShrink; }
  void SetAutoShrink(bool Value) { FAutoShrink = Value; }
  bool GetEnableAlphaChannel() const { return FEnableAlphaChannel; }
  void SetEnableAlphaChannel(bool Value);
  bool GetDrawVersion() const { return FDrawVersion; }
  void SetDrawVersion(bool Value);
  bool GetDisplayGrid() const { return FDisplayGrid; }
  void SetDisplayGrid(bool Value);
  String GetLumerakVersion() const { return LKViewVersion; }
  /// Accepted and ignored (stored forms carry the property).
  void SetLumerakVersion(const String&) {}
  TLKMouseInteract GetMouseInteract() const { return FMouseInteract; }
  /// Stores the set by the first rule that applies to the newly added mode
  /// (each mode keeps only the modes it can share the mouse with).
  virtual void SetMouseInteract(TLKMouseInteract Value);

  // ---- background (lumerakview_render.cpp)

  TLKBackgroundStyle GetBackgroundStyle() const { return FBackgroundStyle; }
  void SetBackgroundStyle(TLKBackgroundStyle Value);
  TColor GetGradientEndColor() const { return FGradientEndColor; }
  void SetGradientEndColor(TColor Value);
  /// Chessboard square size and brush style.
  void SetChessboardStyle(Integer Size, TBrushStyle BrushStyle);
  TPicture* GetWallPaper() { return FWallPaper.get(); }
  void SetWallPaper(TPicture* Value);
  TLKWallPaperStyle GetWallPaperStyle() const { return FWallPaperStyle; }
  void SetWallPaperStyle(TLKWallPaperStyle Value);
  /// The background over the whole control (outer size), with no picture.
  void DrawBackgroundToCanvas(TCanvas* Canvas) override;

  // ---- cursors

  Integer GetCursor() const { return FCursor; }
  /// The default and current cursor.
  void SetCursor(Integer Value);
  /// The current cursor only (views created with an owner).
  void SetTempCursor(Integer Value);
  void RestoreCursor() { SetTempCursor(FDefaultCursor); }
  Integer GetCurrentCursor() const { return FCurrentCursor; }
  /// Makes the view's cursor resources screen cursors 1778..1810 (every
  /// construction does; registering again replaces them).
  static void RegisterCursors();

  // ---- geometry (lumerakview_zoom.cpp)

  /// Recomputes the geometry after any change (see the implementation for
  /// the steps); invalidates the control.
  void Update() override;
  virtual void UpdateLimits();
  virtual void CalcPaintCoords();
  virtual void CreateCoordConvLUT();
  double GetZoom() override { return FGeo.ZoomX; }
  double GetZoomX() const override { return FGeo.ZoomX; }
  double GetZoomY() const override { return FGeo.ZoomY; }
  /// Both zooms (ignored at 0 or below or when unchanged); paints at once.
  void SetZoom(double Zoom);
  void SetZoomX(double Zoom);
  void SetZoomY(double Zoom);
  virtual void SetZoomNoUpdate(double Zoom);
  virtual void SetZoomXNoUpdate(double Zoom);
  virtual void SetZoomYNoUpdate(double Zoom);
  /// Zooms keeping the bitmap point under client (X, Y) there, or moving it
  /// to the client centre.
  void ZoomAt(Integer X, Integer Y, double Zoom, bool Center);
  void GetFitValueXY(double& FX, double& FY);
  double GetFitValue();
  void Fit();
  void Stretch();
  void FitToWidth();
  void FitToHeight();
  double GetOptimalZoom(Integer BmpW, Integer BmpH, Integer AvailW, Integer AvailH, bool CanStretch,
                        bool CanShrink);
  void CalcEdges(Integer& EX, Integer& EY, bool UseBorderX, bool UseBorderY);
  double GetIdealZoom();
  Integer GetIdealComponentWidth();
  Integer GetIdealComponentHeight();
  Integer XScr2Bmp(Integer X) override { return FGeo.XScr2Bmp(X); }
  Integer YScr2Bmp(Integer Y) override { return FGeo.YScr2Bmp(Y); }
  Integer XBmp2Scr(Integer X) override { return FGeo.XBmp2Scr(X); }
  Integer YBmp2Scr(Integer Y) override { return FGeo.YBmp2Scr(Y); }
  /// The client rectangle the picture covers and the bitmap rectangle shown
  /// there, brought up to date.
  void GetRenderRectangles(Integer& DstX, Integer& DstY, Integer& DstW, Integer& DstH, Integer& SrcX, Integer& SrcY,
                           Integer& SrcW, Integer& SrcH);
  /// The geometry as last computed (for tests and the mouse code).
  const TLKViewGeometry& GetGeometry() const { return FGeo; }
  Integer GetClientWidth();
  Integer GetClientHeight();

  // ---- scrolling (lumerakview_scroll.cpp)

  Integer GetViewX() const { return FGeo.ViewX; }
  Integer GetViewY() const { return FGeo.ViewY; }
  void GetMaxViewXY(Integer& MaxX, Integer& MaxY);
  bool RequiresScrollBars();
  /// Moves the view (clamped) and paints at once.
  void SetViewXY(Integer X, Integer Y);
  void SetViewX(Integer X);
  void SetViewY(Integer Y);
  /// Centres the zoomed picture in the client area.
  void CenterImage();
  void DoHorizScroll(TLKScrollCommand Command, Integer Pos);
  void DoVertScroll(TLKScrollCommand Command, Integer Pos);
  /// One wheel event: Delta 120 per notch, positive away from the user;
  /// (X, Y) in client pixels; Horizontal when Ctrl is held.
  void DoMouseWheelScroll(Integer Delta, Integer X, Integer Y, bool Horizontal);
  void DoZoomIn(double& NewZoom);
  void DoZoomOut(double& NewZoom);
  TScrollStyle GetScrollBars() const { return FScrollBars; }
  virtual void SetScrollBars(TScrollStyle Value);
  bool GetScrollBarsAlwaysVisible() const { return FScrollBarsAlwaysVisible; }
  void SetScrollBarsAlwaysVisible(bool Value);
  bool GetFlatScrollBars() const { return FFlatScrollBars; }
  void SetFlatScrollBars(bool Value);
  void HideHorizScrollBar();
  void HideVertScrollBar();
  bool GetHScrollBarShown() const { return FHBarShown; }
  bool GetVScrollBarShown() const { return FVBarShown; }
  double GetHScrollScale() const { return FHScale; }
  double GetVScrollScale() const { return FVScale; }
  TLKScrollBarParams HScrollBarParams, VScrollBarParams;
  TLKMouseWheelParams MouseWheelParams;

  // ---- rendering (lumerakview_render.cpp)

  /// Brings the back buffer up to date and copies Rect of it to the client
  /// image.
  void PaintRect(const TRect& Rect);
  /// Renders the view into Target (an lk24RGB bitmap); RowTable, when given,
  /// holds Target's row addresses; UpdateRect limits the background.
  virtual void PaintToEx(TLKBitmap* Target, void** RowTable, const TRect* UpdateRect, bool DrawBackground,
                         bool DrawGadgets);
  /// Marks the back buffer dirty and invalidates Rect.
  void UpdateRect(const TRect& Rect) override;
  /// The back buffer (lk24RGB, client size).
  TLKBitmap* GetBackBufferLK() { return FBackBuffer.get(); }
  TBitmap* GetBackBuffer();
  /// Copies the picture area of the back buffer onto Canvas at (0, 0).
  void DrawTo(TCanvas* Canvas);
  /// Renders all layers at 100 % into Bitmap (resized to their extent).
  void LayersDrawTo(TLKBitmap* Bitmap);
  /// Merges every layer into the background layer.
  void LayersMergeAll();
  /// Merges layers Index1 and Index2 (and the mask layer above the upper
  /// one) into Dest with the zoom filter and the background colour; the
  /// result starts at the layers' top-left unless the lower one is 0.
  void LayersMergeTo(Integer Index1, Integer Index2, TLKBitmap* Dest);
  /// Replaces the lower of the two layers by their merge; RemoveUpper also
  /// removes the upper one (with its mask layer). Equal or invalid indexes
  /// do nothing.
  void LayersMerge(Integer Index1, Integer Index2, bool RemoveUpper);
  /// Re-renders the back buffer on the next paint.
  void MarkBackBufferDirty() { FBackBufferDirty = true; }
  bool GetBackBufferDirty() const { return FBackBufferDirty; }
  /// Number of back-buffer renders so far (for tests and benchmarks).
  Integer GetRenderCount() const { return FRenderCount; }
  /// Filter countdown of the delayed zoom filter; a timer tick lowers it.
  Integer GetFilterCountdown() const { return FFilterCountdown; }
  /// One tick of the outline timer's countdown work.
  void FilterTick();
  /// Runs the pending paint now (a paint message).
  void PaintNow();
  /// The eight 8 x 8 grips around the layer's client rectangle (corners
  /// from the top left clockwise, then left, right, top, bottom sides).
  void CalcLayerGripCoords(const TLKLayer* Layer, TRect (&Grips)[8]) const;
  /// 1..8 for the current layer's grip under (X, Y) (edges included), 0 for
  /// none.
  Integer FindLayerGrip(Integer X, Integer Y);
  void DrawLayerBox(TLKBitmap* Target, TLKLayer* Layer);
  void DrawLayerGrips(TLKBitmap* Target, TLKLayer* Layer);
  /// Dims everything outside the layer with a one-pixel grey checker.
  void DrawLayerOuter(TLKBitmap* Target, TLKLayer* Layer);
  /// The selection's fill (lksoFilled: the selected pixels inverted) and
  /// outer mark (lksoMarkOuter: a grey checkerboard outside it), drawn into
  /// Target after the layers while the selection and its outline show.
  void PaintSelection(TLKBitmap* Target);
  /// The pixel grid over the current layer from 400 % up.
  void PaintGrid(TLKBitmap* Target);

  // ---- layers (lumerakview_layers.cpp)

  Integer GetLayersCount() override { return static_cast<Integer>(FLayers.size()); }
  Integer GetLayersCurrent() override { return FLayersCurrent; }
  TLKLayer* GetLayer(Integer Index);
  TLKLayer* GetCurrentLayer();
  TLKBitmap* GetLayerBitmap(Integer Index) override;
  virtual void SetLayersCurrent(Integer Index);
  Integer LayersAdd();
  void LayersInsert(Integer Index);
  void LayersRemove(Integer Index);
  void LayersClear();
  void LayersMove(Integer CurIndex, Integer NewIndex);
  Integer LayersCreateFromSelection();
  Integer FindLayerAt(Integer X, Integer Y);
  virtual void DoLayerNotify(Integer Layer, TLKLayerEvent Event);
  void DoLayersSync();
  bool GetLayersSync() const { return FLayersSync; }
  void SetLayersSync(bool Value);
  bool GetLayersDrawBox() const { return FLayersDrawBox; }
  void SetLayersDrawBox(bool Value);
  /// Writes the layers stream at the stream's position. Compression -1
  /// stores each image in the raw form through zlib; another value is a
  /// registry file type (1 is stored as 8).
  void LayersSaveToStream(TStream* Stream, Integer Compression);
  /// Reads a layers stream. False, with the layers unchanged, for a stream
  /// that is not one or that is damaged (a count, length or position that
  /// the stream cannot hold, a truncated record, an image that fails to
  /// decode); LastLayersError then tells what was wrong.
  bool LayersLoadFromStream(TStream* Stream);
  void LayersSaveToFile(const String& FileName, Integer Compression);
  bool LayersLoadFromFile(const String& FileName);
  const String& GetLastLayersError() const { return FLastLayersError; }
  /// Layered files through the I/O component: the view takes the layers
  /// read (LayersClear, then TLKLayer::Assign into layer 0 and into a layer
  /// added for each further one), and gives its layers merged by
  /// LayersDrawTo with its own layer list.
  void TakeLoadedLayers(TList& Layers) override;
  bool GiveLayersToSave(TLKBitmap* Merged, TList& Layers) override;

  // ---- selection (lumerakview_select.cpp)

  TLKMask* GetSelectionMask() override { return FMask.get(); }
  bool GetSelected() override { return FSelected; }
  TPoint* GetPolySelArray() override;
  Integer GetPolySelCount() override;
  /// The point at Index; (0, 0) outside 0..count-1.
  TPoint GetPolySel(Integer Index);
  TLKSelectionBase GetSelectionBase() override { return FSelectionBase; }
  void SetSelectionBase(TLKSelectionBase Value) { FSelectionBase = Value; }
  void SwapSelectionBase() { std::swap(FSelectionBase, FKeptSelectionBase); }
  /// The selection box (inclusive): the outline's while a drag runs, else
  /// the mask's.
  Integer GetSelX1();
  Integer GetSelY1();
  Integer GetSelX2();
  Integer GetSelY2();
  bool IsPointInsideSelection(Integer X, Integer Y);
  void DeSelect();
  virtual void Select(Integer X1, Integer Y1, Integer X2, Integer Y2, TLKSelOp Op);
  void SelectEx(Integer X1, Integer Y1, Integer X2, Integer Y2, TLKSelOp Op, bool Square, bool KeepInside);
  void SelectEllipse(Integer CenterX, Integer CenterY, Integer Width, Integer Height, TLKSelOp Op);
  void SelectRoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer RoundWidth, Integer RoundHeight,
                       TLKSelOp Op);
  void SelectCustom();
  void SelectMagicWand(Integer X, Integer Y, TLKSelOp Op);
  virtual void AddSelPoint(Integer X, Integer Y);
  void AddSelPointEx(Integer X, Integer Y);
  void AddSelBreak() { AddSelBreakEx(); }
  void AddSelBreakEx();
  /// Fills the outline into the mask.
  virtual void EndSelect();
  void ShowSelectionEx(bool Draw);
  void HideSelectionEx(bool Repaint);
  bool GetVisibleSelection() const { return FVisibleSelection; }
  void SetVisibleSelection(bool Value);
  TLKSelectionOptions GetSelectionOptions() const { return FSelectionOptions; }
  void SetSelectionOptions(TLKSelectionOptions Value);
  TColor GetSelColor1() const { return FSelColor1; }
  TColor GetSelColor2() const { return FSelColor2; }
  void SetSelColor1(TColor Value);
  void SetSelColor2(TColor Value);
  double GetSelectionAspectRatio() const { return FAspectRatio; }
  void SetSelectionAspectRatio(double Value);
  /// Moves an edge or corner of a rectangular outline; returns the grip to
  /// use from now on (mirrored when the rectangle turned over).
  TLKGrip SelectResizeEx(TLKGrip Grip, Integer X, Integer Y, bool MaintainAspect);
  Integer SelectMoveEx(Integer MoveGrip, Integer DX, Integer DY, bool CutBorders);
  void MoveSelection(Integer DX, Integer DY);
  void InvertSelection();
  Integer GetSelectionMaskDepth() const { return FMask->GetBitsPerPixel() == 8 ? 8 : 1; }
  void SetSelectionMaskDepth(Integer Depth);
  Integer GetSelectionIntensity() const { return FIntensity; }
  void SetSelectionIntensity(Integer Value);
  void MakeSelectionFeather(double Radius);
  void SetSelectionGripStyle(TColor PenColor, TColor BrushColor, TBrushStyle BrushStyle, Integer Size,
                             bool SideGrips);
  const TLKGripStyle& GetSelectionGripStyle() const { return FGripStyle; }
  Integer FixedSelWidth = 100, FixedSelHeight = 100;
  Integer WandTolerance = 15;
  bool WandMaxFilter = false;
  TLKMagicWandMode WandMode = lkwInclusive;
  bool ForceConstrain = false;
  bool ShiftAddsSelection = true;

  // ---- navigator (lumerakview_select.cpp)

  /// A second view that shows this view's picture whole with a rectangle
  /// over the visible part; moving that rectangle scrolls this view. Nil
  /// ends it (the earlier navigator lets go of the picture).
  void SetNavigator(TLumerakView* View);
  TLumerakView* GetNavigator() const { return FNavigator; }
  /// Puts the navigator's rectangle over the part of the picture shown.
  void SetNavigatorRect();
  /// The navigator's handler while its rectangle is dragged.
  void NavigatorSelectionChanging(TObject* Sender);

  // ---- selection copies and pixel operations (lumerakview_selcopy.cpp)

  /// Copies the selected pixels of the current bitmap into Dest, sized to
  /// the selection box and filled with the background colour elsewhere (an
  /// outline still being dragged is rasterised first). Nothing without a
  /// selection.
  void CopySelectionToLKBitmap(TLKBitmap* Dest);
  /// The same into a class-library bitmap (24 bits a pixel unless 1).
  void CopySelectionToBitmap(TBitmap* Dest);
  /// A TLumerakView target gets the selection (or the whole picture without
  /// one), the background colour and the resolution; a TBitmap target gets
  /// the selection or the picture and is marked modified. Others: nothing.
  void AssignSelTo(TPersistent* Target);
  /// Renders a picture with an alpha channel onto Dest at (X, Y), blended
  /// at 100 %; Dest becomes 24 bits a pixel.
  void CopyToBitmapWithAlpha(TBitmap* Dest, Integer X, Integer Y);
  /// Alpha (low byte) for every selected pixel, or for the whole picture
  /// without a selection; the alpha channel is created when missing.
  void SetSelectedAreaAlpha(Integer Alpha);
  /// Colour for every selected pixel of an lk24RGB picture.
  void SetSelectedPixelsColor(TRGB Color);
  /// Colour for every pixel whose alpha lies in Min..Max, on an lk24RGB
  /// picture with an alpha channel.
  void SetAlphaRangePixelsColor(Integer Min, Integer Max, TRGB Color);
  /// The polygon area of Source into the picture, its box at Position.
  void CopyFromPolygon(TBitmap* Source, const TPoint* Polygon, Integer Count, TPoint Position);
  /// The picture from Position into the polygon area of Dest.
  void CopyToPolygon(TBitmap* Dest, const TPoint* Polygon, Integer Count, TPoint Position);

  // ---- selection stream (lkselstream.cpp)

  /// Writes outline, mask and their state at the stream's position.
  void SaveSelectionToStream(TStream* Stream) override;
  /// Reads what SaveSelectionToStream wrote and makes it the selection.
  /// False, with the selection unchanged, for a stream that cannot hold
  /// what it claims (sizes, counts or depth out of range, truncated).
  bool LoadSelectionFromStream(TStream* Stream, TLKRSOptions Options) override;
  bool MergeSelectionFromStream(TStream* Stream);
  void SaveSelection();
  bool RestoreSelection(bool Delete, TLKRSOptions Options);
  bool DiscardSavedSelection();
  Integer GetSavedSelectionsCount() const { return static_cast<Integer>(FSavedSelections.size()); }

  // ---- animated polygons and the outline timer (lumerakview_select.cpp)

  TLKAnimPolygon* AnimPolygonNew(TColor Color1, TColor Color2, bool Animated, bool Sizeable);
  void AnimPolygonDel(TLKAnimPolygon* Polygon);
  void AnimPolygonClear(TLKAnimPolygon* Polygon);
  void AnimPolygonAddPtEx(TLKAnimPolygon* Polygon, Integer X, Integer Y);
  void AnimPolygonAddPt(TLKAnimPolygon* Polygon, Integer X, Integer Y);
  void AnimPolygonAddBreak(TLKAnimPolygon* Polygon);
  void AnimPolygonRemoveLast(TLKAnimPolygon* Polygon);
  void AnimPolygonRemoveLastPoint(TLKAnimPolygon* Polygon);
  void AnimPolygonEnabled(TLKAnimPolygon* Polygon, bool Enabled);
  void AnimPolygonMove(TLKAnimPolygon* Polygon, Integer DX, Integer DY, Integer Width, Integer Height,
                       bool CutBorders);
  /// Draws every polygon once; from the timer (FromTimer) the dashes march.
  void AniPolyFunc(TObject* Sender, bool Redraw);
  void TimerEvent(TObject* Sender) { AniPolyFunc(Sender, true); }
  Integer GetDelayTimer() const { return FDelayTimer; }
  void SetDelayTimer(Integer Value);
  /// The outline timer (tests tick it by hand).
  TTimer* GetOutlineTimer();
  Integer GetMaskPhase() const { return FMaskPhase; }
  /// Milliseconds for timing the mask border (tests inject a clock).
  std::function<DWORD()> OutlineClock;
  /// The first polygon: the selection outline.
  TLKAnimPolygon* GetSelectionOutline() const { return FPolygons.empty() ? nullptr : FPolygons.front().get(); }
  using TLKOnDrawPolygon = std::function<void(TObject*, Integer Polygon, Integer Point, TCanvas*, Integer, Integer)>;
  TLKOnDrawPolygon OnDrawPolygon;

  // ---- mouse and keys (lumerakview_mouse.cpp)

  TLKGrip GetGripAt(Integer X, Integer Y);
  TLKGrip GetResizingGrip(Integer X, Integer Y, TShiftState Shift);
  Integer GetMovingGrip(Integer X, Integer Y, TShiftState Shift);
  void MouseSelectRectangle(Integer X, Integer Y, TShiftState Shift);
  void MouseSelectCircle(Integer X, Integer Y, TShiftState Shift);
  bool MouseMoveScroll();
  virtual void SubMouseMoveScroll(Integer DX, Integer DY);
  void MouseResizeLayer(Integer X, Integer Y, bool MaintainAspect);
  /// Zooms onto the selection box and centres it (the selection goes).
  void ZoomSelection(bool KeepAspect);
  /// Ends a polygon being drawn (the double click of the polygon mode).
  void DoDoubleClickEx(TShiftState Shift);
  /// Draws the rubber band of a polygon being drawn, from its last point to
  /// the rubber-band point, with an inverting pen: a second call erases it.
  void PolyDraw1();
  /// Whether the rubber band is on the screen now (a paint removes it).
  bool GetRubberBandShown() const { return FRubberShown; }
  /// A view position snapped to the first position of the bitmap column
  /// (row) under it; negative counts as 0; unchanged beyond the tables.
  Integer QuantizeViewX(Integer V) const { return FGeo.QuantizeViewX(V); }
  Integer QuantizeViewY(Integer V) const { return FGeo.QuantizeViewY(V); }
  double MouseScrollRatio = 1.0;
  bool SelectZoomAspect = true;

  TNotifyEvent OnBeforeSelectionChange, OnSelectionChanging, OnSelectionChange, OnMouseInSel;
  std::function<void(TObject*, TLKGrip)> OnMouseInResizingGrip;
  void DoBeforeSelectionChange();
  void DoSelectionChanging();
  void DoSelectionChange();
  void DoMouseInSel();
  void DoMouseInResizingGrip(TLKGrip Grip);

  // ---- transitions (lumerakview_transition.cpp)

  /// Captures the present look into the transition's start frame (nothing
  /// while the client area is empty); stops a running transition.
  void PrepareTransition();
  /// Captures the new look into the end frame and starts Effect for
  /// Duration ms (1 when 0 or below); returns at once, the frames come from
  /// the engine's timer. A pan-zoom then shows its end rectangle.
  void RunTransition(TLKTransitionType Effect, Integer Duration);
  bool GetTransitionRunning() const { return FTransition->Running; }
  void AbortTransition() { FTransition->Stop(); }
  /// Frame-by-frame transitions between two outside bitmaps.
  void PrepareTransitionBitmap(TBitmap* StartBitmap, TBitmap* TargetBitmap, TLKTransitionType Effect);
  void CreateTransitionBitmapFrame(Integer Step, TBitmap* Bitmap);
  void SetOnTransitionStop(TNotifyEvent Value) { FTransition->OnTransitionStop = std::move(Value); }
  TNotifyEvent GetOnTransitionStop() const { return FTransition->OnTransitionStop; }
  void SetOnTransitionStep(TLKTransitionStepEvent Value) { FTransition->OnTransitionStep = std::move(Value); }
  TLKTransitionStepEvent GetOnTransitionStep() const { return FTransition->OnTransitionStep; }
  void SetTransitionTiming(TLKTransitionTiming Value) { FTransition->Timing = Value; }
  TLKTransitionTiming GetTransitionTiming() const { return FTransition->Timing; }
  /// The pan-zoom rectangles (bitmap pixels), brought to the client area's
  /// aspect ratio first while that is asked for.
  void SetTransitionStartRect(const TRect& Rect);
  void SetTransitionEndRect(const TRect& Rect);
  TRect GetTransitionStartRect() const { return FTransition->StartRect; }
  TRect GetTransitionEndRect() const { return FTransition->EndRect; }
  bool GetTransitionRectMaintainAspectRatio() const { return FTransitionKeepAspect; }
  void SetTransitionRectMaintainAspectRatio(bool Value);
  /// Rect (bitmap pixels) clipped to the picture's size and widened or
  /// heightened about its centre to the client area's aspect ratio.
  TRect AdjustRectToAspectRatio(const TRect& Rect);
  /// Shows the bitmap rectangle Rect filling the client height.
  void DisplayImageRect(const TRect& Rect);
  /// The engine (tests drive its timer and clock).
  TLKTransitionEffects* GetTransitionEngine() { return FTransition.get(); }
  /// Handler asked whether the view wants a special key (arrows, Tab...).
  std::function<void(TObject* Sender, Word CharCode, TShiftState Shift, bool& Handled)> OnSpecialKey;
  /// Called (Sender: the view) for each new frame and each pipeline event
  /// that the I/O component's video capture object (TLumerakIO::
  /// GetDShowParams) posts, while its pipeline exists; messages that name
  /// no live capture object, or one whose pipeline was torn down, are
  /// ignored. The frame itself is fetched with GetSample.
  TNotifyEvent OnDShowNewFrame;
  TNotifyEvent OnDShowEvent;

  // ---- events

  TViewChangeEvent OnViewChange;
  TNotifyEvent OnImageChange;
  TNotifyEvent OnPaint;
  TLKZoomEvent OnZoomIn, OnZoomOut;
  TNotifyEvent OnDrawBackBuffer;
  TLKOnDrawBackground OnDrawBackground;
  TLKOnDrawCanvas OnDrawCanvas;
  TLKLayerNotify OnLayerNotify;
  TLKOnDrawLayerBox OnDrawLayerBox;
  TLKOnDrawLayerGrip OnDrawLayerGrip;

  /// Fires OnViewChange.
  virtual void ViewChange(Integer Change);

 protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // For views built on this one (the vector view): the press point limited
  // to the picture, the rubber-band point, and whether a polygon selection
  // is being drawn.
  TPoint GetAnchorPoint() const { return FAnchor; }
  void SetAnchorPoint(TPoint Value) { FAnchor = Value; }
  TPoint GetRubberPoint() const { return FRubber; }
  bool GetPolygonDrawing() const { return FPolyDrawing; }

 public:
  /// While the control is read, designed or loaded, the picture follows the
  /// control's size (and is cleared).
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

 private:
  friend class TLKLayer;
  bool UpdateBlocked() const;
  bool Designing() const { return GetComponentState().Contains(csDesigning); }
  void SetupScrollBars(Integer MaxX, Integer MaxY);
  void SetupScrollBar(Integer Bar, Integer Max, Integer Client, Integer Origin, double& Scale, bool& Shown);
  void DelayFilterAfterChange(bool AnyAxisNot100);
  void ZoomAndPaint(double Zoom, bool DoX, bool DoY);
  void MoveView(Integer X, Integer Y, bool DoX, bool DoY);
  void DrawBackgroundInto(TLKBitmap* Target, const TRect* UpdateRect, bool SkipRule, TLKLayer* FirstLayer);
  void RenderLayer(TLKLayer* Layer, Integer Index, TLKBitmap* Target, void** RowTable, const TRect* UpdateRect,
                   bool First);
  void RenderPositionedLayer(TLKLayer* Layer, TLKBitmap* Target, void** RowTable, const TRect* UpdateRect,
                             bool First, TResampleFilter Filter);
  void EnsureBackBuffer();
  void EnsureFilterTimer();
  void Magnify(TLKLayer* Layer, TLKBitmap* Target, TResampleFilter Filter);
  TResampleFilter LayerFilter(const TLKLayer* Layer) const;
  std::vector<Byte> ApplyMaskLayer(TLKLayer* Layer, TLKLayer* Mask);
  void RestoreMaskedAlpha(TLKLayer* Layer, const std::vector<Byte>& Own);
  void DrawLayerGadgets(TLKBitmap* Target, TLKLayer* Layer, Integer Index);
  void SyncCurrentToLayer();
  void SetCurrentNone() { FLayersCurrent = -1; }
  void DoDrawVersion();
  void ReadLayersStream(TStream* Stream);
  void WriteLayerImage(TStream* Stream, TLKLayer* Layer, Integer Compression);
  void ReadLayerImage(TStream* Stream, Integer Compression, TLKBitmap* Target, bool Mask, Int64 End);

  TLKViewGeometry FGeo;
  TLKBitmap* FCurrent = nullptr;
  std::vector<TLKLayer*> FLayers;
  Integer FLayersCurrent = 0;
  Integer FLastWidth = -1, FLastHeight = -1;
  bool FLegacyBitmap = true;

  bool FAutoFit = false, FAutoStretch = false, FAutoShrink = false;
  TScrollStyle FScrollBars = ssBoth;
  bool FFlatScrollBars = false, FScrollBarsAlwaysVisible = false;
  bool FHBarShown = false, FVBarShown = false;
  double FHScale = 1, FVScale = 1;
  Integer FRememberedCW = 0, FRememberedCH = 0;

  std::unique_ptr<TLKBitmap> FBackBuffer;
  std::vector<void*> FRowTable;
  bool FBackBufferDirty = true, FFullRepaint = true;
  Integer FRenderCount = 0;
  TResampleFilter FZoomFilter = rfNone, FRememberedFilter = rfNone;
  bool FDelayZoomFilter = false;
  Integer FFilterCountdown = 0, FOutlineCountdown = 0;
  std::unique_ptr<TTimer> FTimer;
  TLKBackgroundStyle FBackgroundStyle = lkbsSolid;
  TColor FGradientEndColor = clBlue;
  Integer FChessboardSize = 16;
  TBrushStyle FChessboardBrush = bsSolid;
  std::unique_ptr<TPicture> FWallPaper;
  TLKWallPaperStyle FWallPaperStyle = lkwoNormal;
  bool FDisplayGrid = false, FEnableAlphaChannel = false, FDrawVersion = false;

  Integer FUpdateLock = 0;
  bool FInsideUpdate = false, FUpdateReentry = false, FNoPaintUpdate = false;

  std::unique_ptr<TLKMask> FMask;
  TLKSelectionBase FSelectionBase = lksbClientArea;
  // Selection state (lumerakview_select.cpp, lumerakview_mouse.cpp).
  void InitSelection();
  void StartShape(TLKSelOp Op);
  void TimerStep();
  void RepaintSelection();
  void DrawPolygonLines(TLKAnimPolygon* P, Integer Index, TCanvas* C);
  void DrawGrips(TLKAnimPolygon* P, TCanvas* C);
  bool DragInProgress() const { return FPolyDrawing || FRectDrawing || FCircleDrawing || FResizingGrip != lkNone || FMovingGrip >= 0 || FRectMoved; }
  bool OutlineIsRect();
  TPoint Clamped(Integer X, Integer Y);
  void ConvPoint(Integer& X, Integer& Y);
  bool ReadSelection(TStream* Stream, TLKAnimPolygon& Outline, TLKMask& Mask, TRect& Box, bool& Selected,
                     Integer& SX, Integer& SY);
  std::vector<std::unique_ptr<TLKAnimPolygon>> FPolygons;
  std::vector<std::unique_ptr<TMemoryStream>> FSavedSelections;
  TLKSelectionBase FKeptSelectionBase = lksbClientArea;
  TLKSelectionOptions FSelectionOptions{lksoAnimated, lksoSizeable, lksoMoveable, lksoCanScroll};
  bool FSelected = false, FVisibleSelection = true;
  Integer FIntensity = 1;
  TColor FSelColor1 = clBlack, FSelColor2 = clWhite;
  double FAspectRatio = -1.0;
  TLKGripStyle FGripStyle;
  Integer FDelayTimer = -20, FMaskPhase = 0;
  bool FCountdownGate = true, FAutoScrolling = false, FKeepTimer = false;
  std::unique_ptr<TTimer> FOutlineTimer;
  // Drag state.
  bool FPolyDrawing = false, FLasso = false, FRectDrawing = false, FCircleDrawing = false, FRectMoved = false;
  TLKGrip FResizingGrip = lkNone;
  Integer FMovingGrip = -1, FMovedLayer = -1, FLayerGrip = 0;
  TPoint FRaw{}, FAnchor{}, FPrev{}, FRubber{}, FOriginAtPress{};
  Integer FCountAtPress = 0;
  TRect FResizeOrigin{}, FLayerRectAtPress{};
  TResampleFilter FKeptZoomFilter = rfNone;
  TLKMouseInteract FMouseInteract;
  bool FLayersDrawBox = false, FLayersSync = false;

  std::unique_ptr<TLKTransitionEffects> FTransition;
  TLKTransitionType FTransitionType = lkttNone;
  Integer FTransitionDuration = 1000;
  bool FTransitionKeepAspect = true;
  void CaptureInto(TBitmap* Frame);

  TLumerakIO* FIO = nullptr;
  TLumerakProc* FProc = nullptr;
  bool FOwnerGiven = false;
  Integer FDefaultCursor = LKCursorDefault, FCursor = LKCursorDefault, FCurrentCursor = LKCursorDefault;
  String FLastLayersError;
  TLumerakView* FNavigator = nullptr;
  bool FNavigatorGuard = false, FRubberShown = false;
};

/// A view whose I/O and processing components exist from construction.
class TLumerak : public TLumerakView {
 public:
  explicit TLumerak(TComponent* AOwner = nullptr);
};

/// Screen cursor numbers with their hot spots (monochrome image).
struct TLKViewCursor {
  Integer Number;
  const char* Resource;
  Integer HotX, HotY;
};
/// The 33 cursors of the view, 1778..1810 in order.
const TLKViewCursor* LKViewCursors();

/// Whether the outline can be seen as a rectangle: four points whose closed
/// outline alternates strictly between vertical and horizontal edges,
/// starting with the closing edge.
bool _IsRectangle(const TPoint* Points, Integer Count);

/// Composites Layer2 (masked by MaskLayer, which may be nil) over Layer1
/// into Dest (lk24RGB with an alpha channel, dropped when every pixel is
/// opaque): each layer placed by its position at its display size (resampled
/// with Filter), Layer2 blended by its operation, opacity and alpha, and
/// Background where neither lies. Crop starts Dest at the layers' top-left
/// instead of (0, 0). The layers are left unchanged.
void LKLayersMerge(TLKLayer* Layer1, TLKLayer* Layer2, TLKLayer* MaskLayer, TLKBitmap* Dest, TResampleFilter Filter,
                   TColor Background, bool Crop);
