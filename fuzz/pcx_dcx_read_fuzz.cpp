// Fuzz target for the PCX reader (whole input and a cut data length), the
// DCX probe, count, page read, delete and insert.
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/pcx/pcxfilt.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  TLKBitmap bmp;
  ms.SetPosition(0);
  ReadPcxStream(&ms, &bmp, params, size > 4 ? Int64(size) - data[size - 1] : -1, progress, false);
  ms.SetPosition(0);
  LKDCXCountStream(&ms);
  abort = false;
  params.DCX_IMAGEINDEX = size ? data[0] % 4 : 0;
  LKDCXReadStream(&ms, &bmp, params, progress, false);
  ms.SetPosition(0);
  if (size && (data[size - 1] & 1)) {
    LKDCXDeleteStream(&ms, size ? data[0] % 3 : 0);
  } else if (size < 4096) {
    TLKBitmap page(5, 3, lk24RGB);
    page.Fill(0);
    abort = false;
    ms.SetPosition(0);
    LKDCXInsertStream(&ms, &page, params, progress);
  }
  return 0;
}
