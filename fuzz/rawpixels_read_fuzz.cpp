// Fuzz target for the headerless pixel reader: the first bytes choose the
// bitmap's size and format, the alignment, order, layout and skip.
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/rawpix/rawpixels.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  static const TLKPixelFormat kFormats[] = {lk1g, lk8p, lk8g, lk16g, lk24RGB, lk32f, lkCMYK, lk48RGB, lkCIELab};
  const Integer w = 1 + data[0] % 40, h = 1 + data[1] % 40;
  TLKBitmap bmp(w, h, kFormats[data[2] % 9]);
  TIOParamsVals params;
  params.BMPRAW_RowAlignBits = data[3] % 3 == 0 ? 8 : data[3] % 3 == 1 ? 16 : 32;
  params.BMPRAW_ChannelOrder = data[4] & 1 ? coBGR : coRGB;
  params.BMPRAW_Planes = data[4] & 2 ? plPlanar : plInterleaved;
  params.BMPRAW_SkipBytes = data[5] % 16;
  TMemoryStream ms;
  ms.Write(data + 6, static_cast<Integer>(size - 6));
  ms.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  LKRealRAWReadStream(&ms, &bmp, params, progress);
  ms.SetPosition(0);
  LKEMFTryStream(&ms);
  LKWMFTryStream(&ms);
  TMemoryStream out;
  abort = false;
  LKRealRAWWriteStream(&out, &bmp, params, progress);
  return 0;
}
