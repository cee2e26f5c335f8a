// The I/O component's acquisition entry points: a scan through the
// scanner layer (reached through io/lkacquirehooks.h) and screen copies.
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkscreen.h"
#include "io/lumerakio.h"
#include "platform/screengrab.h"

TObject* TLumerakIO::GetTWainParams() {
  if (!FTWainParams && LKAcquireHooks().CreateTWainParams) FTWainParams = LKAcquireHooks().CreateTWainParams(this);
  return FTWainParams.get();
}

bool TLumerakIO::Acquire(TLKAcquireApi Api) {
  SetAborted(false);
  if (FModelessScan) {
    SetAbortedWith("a modeless scan is open");
    DoFinishWork();
    return false;
  }
  TProgressRec Progress;
  Progress.OnProgress = GetProgressHook();
  Progress.Sender = this;
  Progress.AbortFlag = GetAbortedFlag();
  Progress.AbortNote = GetAbortNote();
  if (!MakeConsistentBitmap(TLKPixelFormatSet())) {
    SetAbortedWith("there is no bitmap to acquire into");
    DoFinishWork();
    return false;
  }
  bool Result = false;
  try {
    const TLKAcquireHooks& H = LKAcquireHooks();
    if (Api == lkaTWain && H.TWainAcquire && GetTWainParams()) {
      Result = H.TWainAcquire(GetTWainParams(), GetLKBitmap(), GetIOParams(), Progress, GetNativePixelFormat());
      if (Result) {
        if (GetAutoAdjustDPI()) AdjustDPI();
        if (TLKViewLink* View = GetAttachedLumerak()) View->SetDPI(GetIOParams()->DPIX, GetIOParams()->DPIY);
      } else if (!GetAborted()) {
        // A scan that brought nothing is a failure the caller must see.
        String Why = H.TWainLastError ? H.TWainLastError(GetTWainParams()) : String();
        SetAbortedWith(Why.empty() ? String("the scanner delivered no picture") : "the scanner failed: " + Why);
      }
    } else if (Api == lkaWIA && H.WiaAcquire && GetWIAParams()) {
      String Why;
      Result = H.WiaAcquire(GetWIAParams(), GetLKBitmap(), Progress, Why);
      if (Result) {
        if (GetAutoAdjustDPI()) AdjustDPI();
        if (TLKViewLink* View = GetAttachedLumerak()) View->SetDPI(GetIOParams()->DPIX, GetIOParams()->DPIY);
      } else if (!GetAborted()) {
        SetAbortedWith(Why.empty() ? String("the device delivered no picture") : Why);
      }
    } else {
      SetAbortedWith("no acquisition source of that kind is available");
    }
    Update();
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return Result;
}

TObject* TLumerakIO::GetWIAParams() {
  if (!FWIAParams && LKAcquireHooks().CreateWIAParams) FWIAParams = LKAcquireHooks().CreateWIAParams(this);
  return FWIAParams.get();
}

TObject* TLumerakIO::GetDShowParams() {
  if (!FDShowParams && LKAcquireHooks().CreateDShowParams) {
    TLKViewLink* View = GetAttachedLumerak();
    FDShowParams = LKAcquireHooks().CreateDShowParams(View ? View->GetLinkComponent() : nullptr);
  }
  return FDShowParams.get();
}

bool TLumerakIO::SelectAcquireSource(TLKAcquireApi Api) {
  const TLKAcquireHooks& H = LKAcquireHooks();
  if (Api == lkaWIA) return H.WiaSelect && GetWIAParams() && H.WiaSelect(GetWIAParams());
  if (Api != lkaTWain || !H.TWainSelect || !GetTWainParams()) return false;
  String Name;
  return H.TWainSelect(GetTWainParams(), Name);
}

void TLumerakIO::DoAcquireBitmap(TLKBitmap* Bitmap, bool& Handled) {
  if (OnAcquireBitmap) OnAcquireBitmap(this, Bitmap, Handled);
}

void TLumerakIO::TWMultiCallBack(TLKBitmap* Bitmap, TObject*& Params) {
  if (!MakeConsistentBitmap(TLKPixelFormatSet())) return;
  bool Handled = false;
  DoAcquireBitmap(Bitmap, Handled);
  if (Handled) return;
  Params = GetIOParams();
  GetLKBitmap()->Assign(Bitmap);
  if (GetAutoAdjustDPI()) AdjustDPI();
  Update();
}

void TLumerakIO::CaptureFromScreen(TLKCSSource Source, Integer MouseCursor) {
  if (!MakeConsistentBitmap(TLKPixelFormatSet())) return;
  const TLKScreenArea Area = Source == lkcsScreen ? lksaScreen
                             : Source == lkcsForegroundWindow ? lksaActiveWindow
                                                              : lksaActiveWindowClient;
  Integer W = 0, H = 0;
  std::vector<Byte> Pixels;
  if (LKGrabScreen(Area, MouseCursor != -1, W, H, Pixels)) {
    TLKBitmap* B = GetLKBitmap();
    B->Allocate(W, H, lk24RGB);
    for (Integer y = 0; y < H; ++y) std::memcpy(B->GetScanLine(y), Pixels.data() + size_t(y) * W * 3, size_t(W) * 3);
    GetIOParams()->SetDpiX(gSystemDPIX);
    GetIOParams()->SetDpiY(gSystemDPIY);
    GetIOParams()->WIDTH = W;
    GetIOParams()->HEIGHT = H;
    Update();
  }
  DoFinishWork();
}

bool TLumerakIO::AcquireOpen() {
  TLKViewLink* View = GetAttachedLumerak();
  if (FModelessScan || !View) return false;
  SetAborted(false);
  const TLKAcquireHooks& H = LKAcquireHooks();
  if (!H.TWainAcquireOpen || !GetTWainParams()) {
    SetAbortedWith("no scanner layer is available");
    return false;
  }
  FModelessScan = H.TWainAcquireOpen(
      GetTWainParams(), GetIOParams(), View->GetLinkComponent(), GetNativePixelFormat(),
      [this](TLKBitmap* Bitmap, TObject*& Params) { TWMultiCallBack(Bitmap, Params); },
      [this] { TWCloseCallBack(); });
  if (!FModelessScan) {
    String Why = H.TWainLastError ? H.TWainLastError(GetTWainParams()) : String();
    SetAbortedWith(Why.empty() ? String("the scanner could not be started") : "the scanner failed: " + Why);
  }
  return FModelessScan != nullptr;
}

void TLumerakIO::AcquireClose() {
  if (!FModelessScan) return;
  void* Session = FModelessScan;
  FModelessScan = nullptr;
  if (LKAcquireHooks().TWainAcquireClose) LKAcquireHooks().TWainAcquireClose(Session);
}

void TLumerakIO::TWCloseCallBack() { FModelessScan = nullptr; }
