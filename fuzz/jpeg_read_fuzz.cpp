// Fuzz target for the JPEG reader: arbitrary bytes must never crash, hang or
// read outside the input, whether read for parameters only or in full, with
// scaling, and through the ICC loader and the length scan.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Headers announcing huge pictures are the reader's to refuse: the
  // allocation gate does, with a limit a fuzzing run can afford.
  static const bool limited = (LKSetAllocationLimit(Int64{1} << 28), true);
  (void)limited;
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  ms.SetPosition(0);
  LKGetJpegLength(&ms);
  TIOParamsVals probe;
  LKGetJpegICC(&ms, probe);

  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TLKBitmap bmp;
  TIOParamsVals params;
  ReadJPegStream(&ms, nullptr, &bmp, params, progress, true, false, true, false, false, true, -1);
  if (abort.load()) return 0;
  ms.SetPosition(0);
  // The last input byte picks the scale, the second last native formats.
  params.JPEG_SCALE = static_cast<TIOJPEGScale>(1 + (size ? data[size - 1] % 4 : 0));
  params.ISNATIVEPIXELFORMAT = size > 1 && (data[size - 2] & 1);
  ReadJPegStream(&ms, nullptr, &bmp, params, progress, false, false, true, size > 2 && (data[size - 3] & 1),
                 false, false, -1);
  return 0;
}
