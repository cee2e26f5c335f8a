#include "views/lkview.h"

Integer gSystemColors = 24;
bool gIsRemoteSession = false;
Integer gSystemDPIX = 96;
Integer gSystemDPIY = 96;
Integer gEdgeX = 2;
Integer gEdgeY = 2;
Integer gBorderX = 1;
Integer gBorderY = 1;

TLKView::TLKView(TComponent* AOwner) : TComponent(AOwner) {}

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
void TLKView::Update() {}
