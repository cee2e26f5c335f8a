// The multi-image component's acquisition: every page a scanner or camera
// gives becomes one entry of the thumbnail view.
#include <algorithm>
#include <atomic>

#include "acquisition/imscan.h"
#include "acquisition/lktwainparams.h"
#include "acquisition/lkwia.h"
#include "core/lkbitmap.h"
#include "io/lkadjustdpi.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

namespace {

// Acquired pages show for this long when the entries are played.
constexpr Integer kPageDelayMs = 100;

}  // namespace

TLKTWainParams* TLumerakMIO::GetTWainParams() {
  if (!FTWainParams) FTWainParams = std::make_unique<TLKTWainParams>(this, true);
  return static_cast<TLKTWainParams*>(FTWainParams.get());
}

TObject* TLumerakMIO::GetWIAParams() {
  if (!FWIAParams) FWIAParams = std::make_unique<TLKWia>(this);
  return FWIAParams.get();
}

bool TLumerakMIO::Acquire(TLKAcquireApi Api) {
  if (FModelessScan) return true;
  bool Result = false;
  try {
    FAborted = false;
    FAcquirePosition = FView ? (FView->GetSelectedImage() >= 0 ? FView->GetSelectedImage() : FView->GetImageCount()) : 0;
    auto Page = [this](TLKBitmap* Bitmap, TObject*& Params) { TWMultiCallBack(Bitmap, Params); };
    if (Api == lkaTWain) {
      // The caller's progress handler may set Aborted; the scanner layer
      // watches a flag of its own, raised from it.
      std::atomic<bool> Abort{false};
      FAcquireAbort = &Abort;
      TProgressRec Progress;
      Progress.Sender = this;
      Progress.AbortFlag = &Abort;
      Progress.OnProgress = [this, &Abort](TObject* Sender, Integer Percent) {
        if (OnProgress) OnProgress(Sender, Percent);
        if (FAborted) Abort = true;
      };
      TLKTWainParams* S = GetTWainParams();
      S->LastReturnCode = 0;
      S->LastErrorText.clear();
      try {
        Result = LKTW_Acquire(nullptr, true, Page, *S, nullptr, &Progress, S->Shared(), nullptr, NativePixelFormat);
      } catch (...) {
        Result = false;
      }
      FAcquireAbort = nullptr;
    } else if (Api == lkaWIA) {
      auto* W = static_cast<TLKWia*>(GetWIAParams());
      TLKBitmap Processing;
      W->TargetBitmap = &Processing;
      W->OnPage = Page;
      W->OnTransferProgress = [this](Integer Percent) {
        if (OnProgress) OnProgress(this, Percent);
        return !FAborted;
      };
      // Every page of the feeder.
      W->SetDeviceProperty(WIA_DPS_DOCUMENT_HANDLING_SELECT, FEEDER);
      W->SetDeviceProperty(WIA_DPS_PAGES, 0);
      try {
        Result = W->Transfer(nullptr, true);
      } catch (...) {
        Result = false;
      }
      W->TargetBitmap = nullptr;
      W->OnPage = nullptr;
      W->OnTransferProgress = nullptr;
    }
    Update();
  } catch (...) {
    Result = false;
  }
  // Nothing acquired is a failure the caller must be able to see.
  if (!Result) FAborted = true;
  return Result;
}

void TLumerakMIO::TWMultiCallBack(TLKBitmap* Bitmap, TObject*& Params) {
  bool Handled = false;
  if (OnAcquireBitmap) OnAcquireBitmap(this, Bitmap, Handled);
  // Aborted, set by the handler, stops the pages after this one.
  if (FAborted && FAcquireAbort) *FAcquireAbort = true;
  if (Handled || FView == nullptr || Bitmap == nullptr) return;
  FAcquirePosition = std::clamp(FAcquirePosition, 0, FView->GetImageCount());
  const Integer Idx = FAcquirePosition;
  FView->InsertImageEx(Idx);
  TIOParamsVals* Record = GetParams(Idx);
  Params = Record;
  TLKBitmap* Page = Bitmap;
  if (AutoAdjustDPI && Record) Page = LKAdjustDPI(Bitmap, Record, FilteredAdjustDPI);
  FView->SetLKBitmapEx(Idx, Page);
  if (Page != Bitmap) delete Page;
  FView->SetImageDelayTime(Idx, kPageDelayMs);
  ++FAcquirePosition;
}

bool TLumerakMIO::AcquireOpen() {
  if (FModelessScan || FView == nullptr) return false;
  FAcquirePosition = FView->GetSelectedImage() >= 0 ? FView->GetSelectedImage() : FView->GetImageCount();
  FAborted = false;
  TLKTWainParams* S = GetTWainParams();
  S->FreeResources();
  S->LastReturnCode = 0;
  S->LastErrorText.clear();
  // The layer writes each page's information into the record the page
  // callback hands back; this one only stands in until the first page.
  FModelessParams = std::make_unique<TIOParamsVals>();
  TLKTWConnection* C = LKTWAINAcquireOpen(
      [this] { TWCloseCallBack(); }, [this](TLKBitmap* Bitmap, TObject*& Params) { TWMultiCallBack(Bitmap, Params); },
      *S, S->Shared(), FModelessParams.get(), FView, NativePixelFormat);
  FModelessScan = C;
  if (!C) FAborted = true;
  return C != nullptr;
}

void TLumerakMIO::AcquireClose() {
  if (!FModelessScan) return;
  auto* C = static_cast<TLKTWConnection*>(FModelessScan);
  FModelessScan = nullptr;
  LKTWAINAcquireClose(C);
}

void TLumerakMIO::TWCloseCallBack() { FModelessScan = nullptr; }

bool TLumerakMIO::SelectAcquireSource(TLKAcquireApi Api) {
  if (Api == lkaWIA) return static_cast<TLKWia*>(GetWIAParams())->ConnectToUsingDialog();
  if (Api != lkaTWain) return false;
  TLKTWainParams* S = GetTWainParams();
  String Name;
  const bool Chosen = LKTW_SelectImageSource(Name, S->Shared(), nullptr);
  S->SelectSourceByName(Name);
  return Chosen;
}
