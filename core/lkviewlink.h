// The view link: what the non-visual components (I/O, processing,
// transitions, codecs) may ask of a view they are attached to, without
// knowing what kind of view, widget or window it is.
//
// Design
// - TLKViewLink is an abstract interface. Every view (the single-image view,
//   the thumbnail view, the vector view) implements it; a component holds a
//   TLKViewLink* and includes nothing of the views. The link never owns the
//   component, and the component never owns the view.
// - Lifetime: an attached component registers a bitmap-change callback. The
//   view calls it with Destroying = false whenever it replaces its picture
//   object, and with Destroying = true (registration removed first) when it
//   is going away; the component must then drop its pointer. When the link
//   is a component (GetLinkComponent), components also ask it for
//   free-notification, as with any attached component.
// - TLumerakViewServices is the optional second face of a view that has a
//   selection and layers. Components ask for it with dynamic_cast on the
//   link and treat a view without it as having none of these.
// - Layers cross the link as TLKLayer objects (core/lklayer.h) in a TList.
//
// Threads
// - Every TLKViewLink and TLumerakViewServices call is for the main thread
//   only: a view is a widget.
// - A worker thread reaches the view only through the TLKViewPost it was
//   handed (GetPost, taken on the main thread when attaching). Its calls are
//   safe on any thread and at any time, also while or after the view is
//   destroyed: each queues work that the main thread runs in order, and that
//   is dropped (with whatever the queued call captured) when the view is
//   gone by then.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TBitmap;
class TCanvas;
class TLKBitmap;
class TLKMask;
class TLKViewLink;

/// Callback of an attached component: Sender is the view; Destroying is true
/// when the view is being destroyed (the callback must drop its reference).
using TLKBitmapChangeEvent = std::function<void(TObject* Sender, bool Destroying)>;

/// A worker thread's way to a view (see the threading rules above). Any
/// thread; every call only queues and returns.
class TLKViewPost {
 public:
  virtual ~TLKViewPost() = default;
  /// True while the view sits in a window: then a worker's progress and
  /// end-of-work reports go through the view's own events.
  virtual bool InWindow() const = 0;
  /// Queues a recompute and repaint of the view (its Update).
  virtual void PostUpdate() = 0;
  /// Queues the view's progress event with Percent. A report still waiting
  /// takes the newer value instead of queueing another.
  virtual void PostProgress(Integer Percent) = 0;
  /// Queues the view's end-of-work event.
  virtual void PostFinishWork() = 0;
  /// Queues Proc, run on the main thread with the view while it exists.
  virtual void PostCall(std::function<void(TLKViewLink& View)> Proc) = 0;
};

/// What an attached component uses of a view. Main thread only.
class TLKViewLink {
 public:
  virtual ~TLKViewLink() = default;

  /// The view as a component, for free-notification; nil when the link is
  /// not a component.
  virtual TComponent* GetLinkComponent() = 0;
  /// A door for worker threads, or nil when the view has no window to post
  /// to. Take it on the main thread; keep it as long as needed.
  virtual std::shared_ptr<TLKViewPost> GetPost() = 0;

  /// Appends Event to the view's callbacks and returns its handle
  /// (non-negative, unique for the view's life).
  virtual Integer RegisterBitmapChangeEvent(TLKBitmapChangeEvent Event) = 0;
  /// Removes the registration under Handle; a negative or unknown handle is
  /// ignored.
  virtual void RemoveBitmapChangeEvent(Integer Handle) = 0;

  /// The view's current picture as a TLKBitmap, or nil; otherwise the
  /// class-library bitmap it shows, or nil.
  virtual TLKBitmap* GetLKBitmap() = 0;
  virtual TBitmap* GetFBitmap() = 0;
  /// The picture's alpha channel (created on demand), whether it has one,
  /// and its removal (merged into the picture over the background first
  /// when Merge is true).
  virtual TLKBitmap* GetAlphaChannel() = 0;
  virtual bool GetHasAlphaChannel() = 0;
  virtual void RemoveAlphaChannel(bool Merge) = 0;

  /// Background colour behind the picture.
  virtual TColor GetBackground() const = 0;
  virtual void SetBackGround(TColor Color) = 0;
  /// Paints the background over the whole of Canvas, with no picture.
  virtual void DrawBackgroundToCanvas(TCanvas* Canvas) = 0;

  /// Picture resolution in dots per inch; setting 0 leaves it unchanged.
  virtual Integer GetDpiX() const = 0;
  virtual Integer GetDpiY() const = 0;
  virtual void SetDPIX(Integer Value) = 0;
  virtual void SetDPIY(Integer Value) = 0;
  virtual void SetDPI(Integer X, Integer Y) = 0;

  /// Paint lock: LockPaint increments the counter (no painting while it is
  /// above zero), UnLockPaint decrements and repaints, NPUnLockPaint
  /// decrements without repainting; both return the counter.
  virtual void LockPaint() = 0;
  virtual Integer UnLockPaint() = 0;
  virtual Integer NPUnLockPaint() = 0;
  /// After the picture changed: recompute the view (fit, scroll ranges,
  /// zoom tables), re-render and repaint.
  virtual void Update() = 0;
  /// Tells the view's listeners that the picture changed.
  virtual void ImageChange() = 0;
  /// Shows Frame in the view's window at once, top-left, without touching
  /// the picture (transition frames). Nothing for a view without window.
  virtual void ShowFrame(TBitmap* Frame) = 0;
};

/// Whether programmatic selection coordinates are client-area pixels or
/// bitmap pixels.
enum TLKSelectionBase : Byte { lksbClientArea, lksbBitmap };

/// How a stored selection is placed when it is read back.
enum TLKRSOptions : Byte { lkrsNone, lkrsMoveToAdapt, lkrsSyncLayers };

/// Services of a view with a selection and layers, beyond TLKViewLink: the
/// selection (mask, flag, outline), the layers, the selection stream and the
/// conversions between client-area and bitmap coordinates. Main thread only.
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
  /// Current zoom in percent; across and down (they differ when the view
  /// stretches the picture).
  virtual double GetZoom() = 0;
  virtual double GetZoomX() const = 0;
  virtual double GetZoomY() const = 0;
  /// Repaints only the given client rectangle.
  virtual void UpdateRect(const TRect& Rect) = 0;

  // Layered files (the base keeps no layers).

  /// The layers of Layers (TLKLayer objects, the background layer first)
  /// become the view's: its layers are cleared, layer 0 takes the first one
  /// and a layer added for each further one takes it. An empty list leaves
  /// the layers alone. Layers is emptied and its objects freed.
  virtual void TakeLoadedLayers(TList& Layers);
  /// Renders the layers merged at 100 % into Merged and lists the view's
  /// own layer objects in Layers (valid while the layers stay as they are).
  /// False, with nothing done, for a view without layers.
  virtual bool GiveLayersToSave(TLKBitmap* Merged, TList& Layers) {
    (void)Merged;
    (void)Layers;
    return false;
  }
};
