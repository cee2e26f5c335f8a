#include "views/lkview.h"

#include <cstdint>

#include "processing/lktransitionraster.h"

void LKViewInitGlobals() {
  gSystemColors = GetScreenDeviceCaps(BITSPIXEL);
  gIsRemoteSession = GetSystemMetrics(SM_REMOTESESSION) != 0;
  gSystemDPIX = GetScreenDeviceCaps(LOGPIXELSX);
  gSystemDPIY = GetScreenDeviceCaps(LOGPIXELSY);
  gEdgeX = GetSystemMetrics(SM_CXEDGE);
  gEdgeY = GetSystemMetrics(SM_CYEDGE);
  gBorderX = GetSystemMetrics(SM_CXBORDER);
  gBorderY = GetSystemMetrics(SM_CYBORDER);
}

TLKView::TLKView(TComponent* AOwner) : TCustomControl(AOwner) {
  TControlStyle style = GetControlStyle() + TControlStyle{csAcceptsControls, csOpaque, csReplicatable};
  if (!NewStyleControls) style.Include(csFramed);
  SetControlStyle(style);
  SetCtl3D(true);
}

TLKView::~TLKView() {
  // Attached components hear of the end while the view is still whole; a
  // callback may remove other registrations, so take the first one each time.
  while (!FBitmapChangeEvents.empty()) {
    TLKBitmapChangeEvent event = std::move(FBitmapChangeEvents.front().Event);
    FBitmapChangeEvents.erase(FBitmapChangeEvents.begin());
    if (event) event(this, true);
  }
  BeginDestroy();
}

Integer TLKView::RegisterBitmapChangeEvent(TLKBitmapChangeEvent Event) {
  Integer handle = FNextHandle++;
  FBitmapChangeEvents.push_back(Registration{handle, std::move(Event)});
  return handle;
}

void TLKView::RemoveBitmapChangeEvent(Integer Handle) {
  if (Handle < 0) return;
  for (auto it = FBitmapChangeEvents.begin(); it != FBitmapChangeEvents.end(); ++it) {
    if (it->Handle == Handle) {
      FBitmapChangeEvents.erase(it);
      return;
    }
  }
}

void TLKView::CallBitmapChangeEvents() {
  // Copy the handles first: a callback may register or remove entries.
  std::vector<Integer> handles;
  handles.reserve(FBitmapChangeEvents.size());
  for (const auto& r : FBitmapChangeEvents) handles.push_back(r.Handle);
  for (Integer h : handles) {
    for (const auto& r : FBitmapChangeEvents) {
      if (r.Handle == h) {
        TLKBitmapChangeEvent event = r.Event;
        if (event) event(this, false);
        break;
      }
    }
  }
}

void TLKView::SetBackGround(TColor Color) { FBackground = Color; }
TBitmap* TLKView::GetFBitmap() { return nullptr; }
TLKBitmap* TLKView::GetLKBitmap() { return nullptr; }

void TLKView::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

bool TLKView::GetCtl3D() const { return TCustomControl::GetCtl3D(); }

void TLKView::SetCtl3D(bool Value) {
  if (Value == GetCtl3D()) return;
  TCustomControl::SetCtl3D(Value);
  RecreateWnd();
}

void TLKView::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) {
    if (NewStyleControls && GetCtl3D())
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
  Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TLKView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case LKM_UPDATE:
      Update();
      break;
    case LKM_PROGRESS:
      if (TLKProgressEvent event = GetOnProgress()) event(this, static_cast<Integer>(Message.WParam));
      break;
    case LKM_FINISHWORK:
      if (TNotifyEvent event = GetOnFinishWork()) event(this);
      break;
    default:
      TCustomControl::WndProc(Message);
  }
}

void TLKView::CMMouseEnter(TMessage& Message) {
  TCustomControl::CMMouseEnter(Message);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TLKView::CMMouseLeave(TMessage& Message) {
  TCustomControl::CMMouseLeave(Message);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TLKView::SetDPIX(Integer Value) {
  if (Value != 0) FDpiX = Value;
}

void TLKView::SetDPIY(Integer Value) {
  if (Value != 0) FDpiY = Value;
}

void TLKView::SetDPI(Integer X, Integer Y) {
  SetDPIX(X);
  SetDPIY(Y);
}

void TLKView::ImageChange() {}

Integer TLKView::UnLockPaint() {
  if (FPaintLock > 0) --FPaintLock;
  if (FPaintLock == 0) Update();
  return FPaintLock;
}

Integer TLKView::NPUnLockPaint() {
  if (FPaintLock > 0) --FPaintLock;
  return FPaintLock;
}

void TLKView::DrawBackgroundToCanvas(TCanvas* Canvas) {
  if (Canvas == nullptr || Canvas->GetSurface() == nullptr) return;
  Canvas->GetBrush()->SetColor(GetBackground());
  Canvas->GetBrush()->SetStyle(bsSolid);
  Canvas->FillRect(TRect{0, 0, Canvas->GetSurface()->SurfaceWidth(), Canvas->GetSurface()->SurfaceHeight()});
}

namespace {

// The view's side of a worker's door: its window handle, which any thread
// may keep and post through, also after the view is gone.
class TLKViewWindowPost final : public TLKViewPost {
 public:
  explicit TLKViewWindowPost(TWindowHandle Handle) : FHandle(std::move(Handle)) {}
  bool InWindow() const override { return WindowHasParent(FHandle); }
  void PostUpdate() override { PostMessage(FHandle, LKM_UPDATE, 0, 0); }
  void PostProgress(Integer Percent) override {
    PostCoalescedMessage(FHandle, LKM_PROGRESS, static_cast<WPARAM>(static_cast<std::intptr_t>(Percent)), 0);
  }
  void PostFinishWork() override { PostMessage(FHandle, LKM_FINISHWORK, 0, 0); }
  void PostCall(std::function<void(TLKViewLink&)> Proc) override {
    PostWindowCall(FHandle, [Proc = std::move(Proc)](TControl* Control) {
      if (auto* view = dynamic_cast<TLKView*>(Control)) Proc(*view);
    });
  }

 private:
  TWindowHandle FHandle;
};

}  // namespace

std::shared_ptr<TLKViewPost> TLKView::GetPost() {
  TWindowHandle handle = GetHandle();
  if (handle == TWindowHandle()) return nullptr;
  return std::make_shared<TLKViewWindowPost>(std::move(handle));
}

void TLKView::ShowFrame(TBitmap* Frame) {
  std::vector<Byte*> dst, src;
  LKRowsCopyAll(LKRowsOf(GetSurface(), dst), LKRowsOf(Frame, src));
  if (HasParentWindow()) SurfaceWritten();
}
