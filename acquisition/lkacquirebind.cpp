// Fills the I/O component's acquisition hooks with the scanner layer when
// the library loads.
#include "acquisition/imscan.h"
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
  return true;
}();

}  // namespace
