// Fuzz target for the portable bitmap, grey map and pixmap reader and its
// probe.
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
  TryPXM(&ms);
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  params.ISNATIVEPIXELFORMAT = size && (data[size - 1] & 1);
  TLKBitmap bmp;
  PXMReadStream(&ms, &bmp, params, progress, false);
  return 0;
}
