// Base of the library's image views and the services that the non-visual
// components (processing, I/O, transitions) call on an attached view.
//
// TLKView is the control every view derives from: the displayed picture as a
// TLKBitmap or class-library TBitmap, background colour, resolution, paint
// lock, border style and 3-D edge, mouse enter and leave events, the
// registry of bitmap-change callbacks through which attached components learn
// that the view replaced its picture or is going away, and the messages an
// I/O component working on a worker thread posts to it.
//
// TLumerakViewServices is what only the single-image view offers on top:
// its selection, its layers and its selection stream. Components ask for it
// with dynamic_cast and treat a view without it as having none of these.
#pragma once

#include <functional>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/graphics.h"

class TLKBitmap;
class TLKMask;

/// Messages an I/O component posts to its view from a worker thread:
/// recompute and repaint (0, 0), progress (percent, 0), end of work (0, 0).
constexpr Cardinal LKM_UPDATE = 8024;
constexpr Cardinal LKM_PROGRESS = 8027;
constexpr Cardinal LKM_FINISHWORK = 8028;

/// Callback of an attached component: Sender is the view; Destroying is true
/// when the view is being destroyed (the callback must drop its reference).
using TLKBitmapChangeEvent = std::function<void(TObject* Sender, bool Destroying)>;

/// Abstract base of the image views: a custom control.
class TLKView : public TCustomControl {
 public:
  /// Background clBtnFace, border bsSingle, 3-D edge on, resolution 0, empty
  /// callback registry; the control accepts children and is opaque.
  explicit TLKView(TComponent* AOwner = nullptr);
  /// Calls every registered callback with Destroying = true (registration
  /// order), removing each, before the view goes.
  ~TLKView() override;

  /// Appends Event to the registry and returns its handle (non-negative,
  /// unique for the view's life). The same callback may be registered twice;
  /// each registration has its own handle.
  Integer RegisterBitmapChangeEvent(TLKBitmapChangeEvent Event);
  /// Removes the registration under Handle; a negative or unknown handle is
  /// ignored.
  void RemoveBitmapChangeEvent(Integer Handle);
  /// Calls every registered callback with Destroying = false, first to last
  /// (registrations made during the walk are not called). Views call it
  /// whenever their current TLKBitmap object is replaced.
  virtual void CallBitmapChangeEvents();
  /// Number of registered callbacks.
  Integer GetBitmapChangeEventCount() const { return static_cast<Integer>(FBitmapChangeEvents.size()); }

  /// Background colour; SetBackGround stores it (views also repaint).
  TColor GetBackground() const { return FBackground; }
  virtual void SetBackGround(TColor Color);

  /// Border: bsSingle draws a 3-D edge (Ctl3D) or a plain border, bsNone
  /// nothing. Changing it re-creates the window; setting the same value
  /// does nothing.
  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  /// The 3-D look; changing it re-creates the window, setting the same value
  /// does nothing.
  bool GetCtl3D() const override;
  void SetCtl3D(bool Value) override;

  /// The class-library bitmap the view shows, or nil (the base has none).
  virtual TBitmap* GetFBitmap();
  /// The view's current TLKBitmap, or nil (the base has none).
  virtual TLKBitmap* GetLKBitmap();
  virtual TLKBitmap* GetAlphaChannel() = 0;
  virtual bool GetHasAlphaChannel() = 0;
  virtual void RemoveAlphaChannel(bool Merge) = 0;

  /// Paint lock: LockPaint increments the counter (painting is suppressed
  /// while it is above zero), UnLockPaint decrements and repaints,
  /// NPUnLockPaint decrements without repainting and returns the counter.
  virtual void LockPaint() = 0;
  virtual Integer UnLockPaint() = 0;
  virtual Integer NPUnLockPaint() = 0;

  /// Picture resolution in dots per inch; a value of 0 leaves it unchanged.
  Integer GetDpiX() const { return FDpiX; }
  Integer GetDpiY() const { return FDpiY; }
  virtual void SetDPIX(Integer Value);
  virtual void SetDPIY(Integer Value);
  /// SetDPIX(X) then SetDPIY(Y).
  virtual void SetDPI(Integer X, Integer Y);

  /// Tells the view's listeners that the picture changed (base: nothing).
  virtual void ImageChange();
  /// Paints the view's background over the whole of Canvas, with no picture
  /// (base: the background colour; transitions clear their frames with it).
  virtual void DrawBackgroundToCanvas(TCanvas* Canvas);

  /// Fired when the mouse enters or leaves the control (sender: the view).
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  /// The view's progress and end-of-work events, fired by the messages
  /// LKM_PROGRESS and LKM_FINISHWORK (sender: the view).
  virtual TLKProgressEvent GetOnProgress() { return FOnProgress; }
  virtual void SetOnProgress(TLKProgressEvent Value) { FOnProgress = std::move(Value); }
  virtual TNotifyEvent GetOnFinishWork() { return FOnFinishWork; }
  virtual void SetOnFinishWork(TNotifyEvent Value) { FOnFinishWork = std::move(Value); }

 protected:
  /// bsSingle asks for WS_EX_CLIENTEDGE (3-D) or WS_BORDER; the class style
  /// loses CS_HREDRAW and CS_VREDRAW, so resizing does not invalidate the
  /// whole client area.
  void CreateParams(TCreateParams& Params) override;
  /// Handles LKM_UPDATE (Update), LKM_PROGRESS (the progress event with the
  /// first parameter) and LKM_FINISHWORK (the end-of-work event).
  void WndProc(TMessage& Message) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;

 private:
  struct Registration {
    Integer Handle;
    TLKBitmapChangeEvent Event;
  };
  std::vector<Registration> FBitmapChangeEvents;
  Integer FNextHandle = 0;
  TColor FBackground = clBtnFace;
  TBorderStyle FBorderStyle = bsSingle;
  Integer FDpiX = 0;
  Integer FDpiY = 0;
  TLKProgressEvent FOnProgress;
  TNotifyEvent FOnFinishWork;
};

/// Whether programmatic selection coordinates are client-area pixels or
/// bitmap pixels.
enum TLKSelectionBase : Byte { lksbClientArea, lksbBitmap };

/// How a stored selection is placed when it is read back.
enum TLKRSOptions : Byte { lkrsNone, lkrsMoveToAdapt, lkrsSyncLayers };

/// Frees the layer objects of Layers (TLKLayer) and empties it. Any thread.
void LKFreeLayers(TList& Layers);

/// Services of the single-image view that processing and I/O use beyond
/// TLKView: the selection (mask, flag, outline), the layers, the selection
/// stream and the conversions between client-area and bitmap coordinates.
class TLumerakViewServices {
 public:
  virtual ~TLumerakViewServices() = default;
  /// The selection mask: the size of the current bitmap, empty when nothing
  /// is selected. Never nil.
  virtual TLKMask* GetSelectionMask() = 0;
  /// True while a selection exists.
  virtual bool GetSelected() = 0;
  /// Outline points (polygons separated by an entry whose X is 1048575) and
  /// their number.
  virtual TPoint* GetPolySelArray() = 0;
  virtual Integer GetPolySelCount() = 0;
  /// Index of the layer being edited (0 = background) and number of layers.
  virtual Integer GetLayersCurrent() = 0;
  virtual Integer GetLayersCount() = 0;
  /// The bitmap of layer Index (0..count-1).
  virtual TLKBitmap* GetLayerBitmap(Integer Index) = 0;
  /// Writes the current selection to Stream; LoadSelectionFromStream makes
  /// what was written the view's selection, placed by Options.
  virtual void SaveSelectionToStream(TStream* Stream) = 0;
  virtual bool LoadSelectionFromStream(TStream* Stream, TLKRSOptions Options) = 0;
  /// How programmatic selection coordinates are read.
  virtual TLKSelectionBase GetSelectionBase() = 0;
  /// Client to bitmap and bitmap to client coordinates at the current zoom
  /// and scroll position.
  virtual Integer XScr2Bmp(Integer X) = 0;
  virtual Integer YScr2Bmp(Integer Y) = 0;
  virtual Integer XBmp2Scr(Integer X) = 0;
  virtual Integer YBmp2Scr(Integer Y) = 0;
  /// Current zoom in percent.
  virtual double GetZoom() = 0;
  /// Repaints only the given client rectangle.
  virtual void UpdateRect(const TRect& Rect) = 0;

  // Layered files (main thread only; the base keeps no layers).

  /// The layers of Layers (TLKLayer objects, the background layer first)
  /// become the view's: its layers are cleared, layer 0 takes the first one
  /// and a layer added for each further one takes it. An empty list leaves
  /// the layers alone. Layers is emptied and its objects freed.
  virtual void TakeLoadedLayers(TList& Layers) { LKFreeLayers(Layers); }
  /// Renders the layers merged at 100 % into Merged and lists the view's
  /// own layer objects in Layers (valid while the layers stay as they are).
  /// False, with nothing done, for a view without layers.
  virtual bool GiveLayersToSave(TLKBitmap* Merged, TList& Layers) {
    (void)Merged;
    (void)Layers;
    return false;
  }
};

/// Screen and metric globals of the views, read by every view. They hold
/// fixed defaults (24 bits, not remote, 96 dpi, edge 2, border 1) until
/// LKViewInitGlobals reads the screen.
extern Integer gSystemColors;
extern bool gIsRemoteSession;
extern Integer gSystemDPIX;
extern Integer gSystemDPIY;
extern Integer gEdgeX;
extern Integer gEdgeY;
extern Integer gBorderX;
extern Integer gBorderY;
/// The resolution a new single-image view starts with (300 x 300); defined
/// with the I/O parameters, which read it too.
extern Integer gDefaultDPIX;
extern Integer gDefaultDPIY;

/// Fills the screen and metric globals from the screen's capabilities and
/// the system metrics. The program calls it once at start-up, on the main
/// thread with the application object built.
void LKViewInitGlobals();
