// Fuzz target for the JPEG 2000 reader: the probes, parameters only, then
// in full. OpenJPEG's own buffers are bounded through the allocation gate
// the reader asks first.
#include <atomic>
#include <cstdint>

#include "codecs/jp2/j2kfilt.h"
#include "codecs/lkcodecutil.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  for (int pass = 0; pass < 2; ++pass) {
    ms.SetPosition(0);
    std::atomic<bool> abort{false};
    TProgressRec progress;
    progress.AbortFlag = &abort;
    TLKBitmap bmp;
    TIOParamsVals params;
    J2KTryStreamJP2(&ms);
    J2KTryStreamJ2K(&ms);
    J2KReadStream(&ms, &bmp, params, progress, pass == 0);
  }
  return 0;
}
