// Fuzz target for the PNG reader: parameters only, then in full, plain and
// with native pixel formats.
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/png/pngfilt.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  for (int pass = 0; pass < 3; ++pass) {
    ms.SetPosition(0);
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    TLKBitmap bmp;
    TIOParamsVals params;
    params.ISNATIVEPIXELFORMAT = pass == 2;
    IsPNGStream(&ms);
    ReadPNGStream(&ms, &bmp, params, pass == 0, progress);
  }
  return 0;
}
