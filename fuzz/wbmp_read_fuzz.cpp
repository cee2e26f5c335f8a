// Fuzz target for the WBMP reader.
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/pnm/pxmfilt.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  ms.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  TLKBitmap bmp;
  WBMPReadStream(&ms, &bmp, params, progress, false);
  return 0;
}
