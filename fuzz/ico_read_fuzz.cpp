// Fuzz target for the icon and cursor readers and their probes: the last
// input byte picks the image and whether alpha is read.
#include <atomic>
#include <cstdint>

#include "codecs/ico/icofilt.h"
#include "codecs/lkcodecutil.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 24);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  const Byte last = size ? data[size - 1] : 0;
  ms.SetPosition(0);
  ICOTryStream(&ms);
  CURTryStream(&ms);
  _EnumICOImStream(&ms);
  for (int cursor = 0; cursor < 2; ++cursor) {
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    TIOParamsVals params;
    params.ICO_IMAGEINDEX = params.CUR_IMAGEINDEX = last & 3;
    TLKBitmap bmp;
    TLKMask* mask = nullptr;
    ms.SetPosition(0);
    if (cursor) CURReadStream(&ms, &bmp, params, false, progress, mask, last & 4);
    else ICOReadStream(&ms, &bmp, params, false, progress, mask, last & 4);
    delete mask;
  }
  return 0;
}
