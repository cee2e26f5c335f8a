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
// TLKView implements the view link (core/lkviewlink.h) that the non-visual
// components hold; TLumerakViewServices, declared there too, is what only
// the single-image view offers on top.
#pragma once

#include <functional>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkscreen.h"
#include "core/lkviewlink.h"
#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/graphics.h"

/// Messages an I/O component posts to its view from a worker thread:
/// recompute and repaint (0, 0), progress (percent, 0), end of work (0, 0).
constexpr Cardinal LKM_UPDATE = 8024;
constexpr Cardinal LKM_PROGRESS = 8027;
constexpr Cardinal LKM_FINISHWORK = 8028;

/// Abstract base of the image views: a custom control.
class TLKView : public TCustomControl, public TLKViewLink {
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
  Integer RegisterBitmapChangeEvent(TLKBitmapChangeEvent Event) override;
  /// Removes the registration under Handle; a negative or unknown handle is
  /// ignored.
  void RemoveBitmapChangeEvent(Integer Handle) override;
  /// Calls every registered callback with Destroying = false, first to last
  /// (registrations made during the walk are not called). Views call it
  /// whenever their current TLKBitmap object is replaced.
  virtual void CallBitmapChangeEvents();
  /// Number of registered callbacks.
  Integer GetBitmapChangeEventCount() const { return static_cast<Integer>(FBitmapChangeEvents.size()); }

  /// Background colour; SetBackGround stores it (views also repaint).
  TColor GetBackground() const override { return FBackground; }
  void SetBackGround(TColor Color) override;

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
  TBitmap* GetFBitmap() override;
  /// The view's current TLKBitmap, or nil (the base has none).
  TLKBitmap* GetLKBitmap() override;

  // The alpha channel is left to each view.

  /// Paint lock: LockPaint raises the counter (no painting while it is above
  /// zero), UnLockPaint lowers it and runs the view's Update when it reaches
  /// zero, NPUnLockPaint lowers it without repainting. Each returns the
  /// counter left.
  void LockPaint() override { ++FPaintLock; }
  Integer UnLockPaint() override;
  Integer NPUnLockPaint() override;
  Integer GetPaintLock() const { return FPaintLock; }

  /// The view itself.
  TComponent* GetLinkComponent() override { return this; }
  /// A door that posts LKM_UPDATE, LKM_PROGRESS (coalesced), LKM_FINISHWORK
  /// and window calls through the view's window handle; nil without one.
  std::shared_ptr<TLKViewPost> GetPost() override;
  /// The control's Update (views recompute before they repaint).
  void Update() override { TCustomControl::Update(); }
  /// Copies Frame's rows over the window surface and shows it when the view
  /// has a parent window.
  void ShowFrame(TBitmap* Frame) override;

  /// Picture resolution in dots per inch; a value of 0 leaves it unchanged.
  Integer GetDpiX() const override { return FDpiX; }
  Integer GetDpiY() const override { return FDpiY; }
  void SetDPIX(Integer Value) override;
  void SetDPIY(Integer Value) override;
  /// SetDPIX(X) then SetDPIY(Y).
  void SetDPI(Integer X, Integer Y) override;

  /// Tells the view's listeners that the picture changed (base: nothing).
  void ImageChange() override;
  /// Paints the view's background over the whole of Canvas, with no picture
  /// (base: the background colour; transitions clear their frames with it).
  void DrawBackgroundToCanvas(TCanvas* Canvas) override;

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

  Integer FPaintLock = 0;

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

/// The resolution a new single-image view starts with (300 x 300); defined
/// with the I/O parameters, which read it too.
extern Integer gDefaultDPIX;
extern Integer gDefaultDPIY;

/// Fills the screen and metric globals (core/lkscreen.h) from the screen's capabilities and
/// the system metrics. The program calls it once at start-up, on the main
/// thread with the application object built.
void LKViewInitGlobals();
