// Fuzz target for the TIFF page reader through a whole load: arbitrary bytes
// must never crash, hang, read outside the input or allocate past what the
// input could hold, whether counted, read for parameters only or decoded
// in full (native formats, alpha, a later page, relative offsets).
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "codecs/tiff/tiffilt.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A fax page of white rows codes in a bit per row, so a tiny input may
  // honestly claim a huge page; the run keeps pictures to 64 MB.
  static const bool limited = (LKSetAllocationLimit(Int64{1} << 26), true);
  (void)limited;
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  ms.SetPosition(0);
  _EnumTIFFImStream(&ms);
  const Byte flags = size ? data[size - 1] : 0;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  params.ISNATIVEPIXELFORMAT = flags & 1;
  params.TIFF_IMAGEINDEX = (flags >> 1) & 1;
  params.TIFF_ENABLEADJUSTORIENTATION = flags & 4;
  TLKBitmap bmp;
  TLKMask* mask = nullptr;
  Integer pages = 0;
  ms.SetPosition(0);
  TIFFReadStream(&bmp, &ms, pages, &params, progress, false, &mask, flags & 8, flags & 16, flags & 32);
  delete mask;
  return 0;
}
