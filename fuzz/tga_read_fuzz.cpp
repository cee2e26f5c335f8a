// Fuzz target for the TGA reader and its probe, with and without alpha.
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/tga/tgafilt.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  ms.SetPosition(0);
  TryTGA(&ms);
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  TLKBitmap bmp;
  TLKMask* mask = nullptr;
  ReadTGAStream(&ms, &bmp, params, progress, false, mask, size && (data[size - 1] & 1));
  delete mask;
  return 0;
}
