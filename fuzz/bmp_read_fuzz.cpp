// Fuzz target for the BMP and DIB reader (RLE included), with and without
// the file header, native formats and alpha.
#include <atomic>
#include <cstdint>

#include "codecs/bmp/bmpfilt.h"
#include "codecs/lkcodecutil.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  const Byte last = size ? data[size - 1] : 0;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  params.ISNATIVEPIXELFORMAT = last & 1;
  TLKBitmap bmp;
  TLKMask* mask = nullptr;
  ms.SetPosition(0);
  BMPReadStream(&ms, &bmp, 0, params, progress, false, (last & 2) != 0, mask, (last & 4) != 0);
  delete mask;
  return 0;
}
