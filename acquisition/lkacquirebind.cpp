// Fills the I/O component's acquisition hooks with the scanner layer when
// the library loads.
#include "acquisition/imscan.h"
#include "acquisition/lkdshow.h"
#include "acquisition/lkwia.h"
#include "core/lkabort.h"
#include "core/lkbitmap.h"
#include "platform/controls.h"
#include "io/lkacquirehooks.h"

namespace {

const bool kBound = [] {
  TLKAcquireHooks& H = LKAcquireHooks();
  H.CreateTWainParams = [](TComponent* Owner) -> std::unique_ptr<TObject> {
    return std::make_unique<TLKTWainParams>(Owner);
  };
  H.TWainAcquire = [](TObject* Settings, TLKBitmap* Bitmap, TIOParamsVals* Params, TProgressRec& Progress,
                      bool Native) {
    auto* S = dynamic_cast<TLKTWainParams*>(Settings);
    if (!S) return false;
    S->LastReturnCode = 0;
    S->LastErrorText.clear();
    return LKTW_Acquire(Bitmap, false, nullptr, *S, Params, &Progress, S->Shared(), nullptr, Native);
  };
  H.TWainSelect = [](TObject* Settings, String& Name) {
    auto* S = dynamic_cast<TLKTWainParams*>(Settings);
    if (!S) return false;
    bool Chosen = LKTW_SelectImageSource(Name, S->Shared(), nullptr);
    S->SelectSourceByName(Name);
    return Chosen;
  };
  H.TWainLastError = [](TObject* Settings) {
    auto* S = dynamic_cast<TLKTWainParams*>(Settings);
    return S ? S->LastErrorText : String();
  };
  H.TWainAcquireOpen = [](TObject* Settings, TIOParamsVals* Params, TComponent* Parent, bool Native,
                          std::function<void(TLKBitmap*, TObject*&)> Picture, std::function<void()> Closed) -> void* {
    auto* S = dynamic_cast<TLKTWainParams*>(Settings);
    if (!S) return nullptr;
    S->FreeResources();
    S->LastReturnCode = 0;
    S->LastErrorText.clear();
    return LKTWAINAcquireOpen(std::move(Closed), std::move(Picture), *S, S->Shared(), Params,
                              dynamic_cast<TWinControl*>(Parent), Native);
  };
  H.TWainAcquireClose = [](void* Session) {
    auto* C = static_cast<TLKTWConnection*>(Session);
    LKTWAINAcquireClose(C);
  };
  H.CreateWIAParams = [](TComponent* Owner) -> std::unique_ptr<TObject> { return std::make_unique<TLKWia>(Owner); };
  H.WiaAcquire = [](TObject* Object, TLKBitmap* Bitmap, TProgressRec& Progress, String& Why) {
    auto* W = dynamic_cast<TLKWia*>(Object);
    if (!W) return false;
    // The picture arrives in a bitmap of its own and replaces the
    // component's only when the transfer completed: a failed one leaves
    // the old picture as it was.
    TLKBitmap Arrived;
    W->TargetBitmap = &Arrived;
    // The percentage goes to the component's progress event; its abort
    // flag stops the transfer.
    W->OnTransferProgress = [&Progress](Integer Percent) {
      if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Percent);
      return !LKAborted(Progress);
    };
    const bool Ok = W->Transfer(nullptr, false);
    W->OnTransferProgress = nullptr;
    W->TargetBitmap = nullptr;
    if (Ok) Bitmap->Assign(&Arrived);
    else Why = W->GetLastError();
    return Ok;
  };
  H.WiaSelect = [](TObject* Object) {
    auto* W = dynamic_cast<TLKWia*>(Object);
    return W && W->ConnectToUsingDialog();
  };
  H.CreateDShowParams = [](TComponent* View) -> std::unique_ptr<TObject> {
    auto D = std::make_unique<TLKDirectShow>();
    if (auto* Window = dynamic_cast<TWinControl*>(View))
      D->SetNotifyWindow(Window->GetHandle(), LKM_DSHOWNEWFRAME, LKM_DSHOWEVENT);
    return D;
  };
  return true;
}();

}  // namespace
