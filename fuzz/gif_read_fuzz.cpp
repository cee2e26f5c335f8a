// Fuzz target for the GIF reader, its LZW decoder and the frame
// composition: the last input byte picks the frame and the pixel format.
#include <atomic>
#include <cstdint>

#include "codecs/gif/giffilter.h"
#include "codecs/gif/giflzw.h"
#include "codecs/lkcodecutil.h"
#include "platform/classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 24);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  const Byte last = size ? data[size - 1] : 0;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  params.GIF_LZWDecompressor = GIFLZWDecompress;
  params.ISNATIVEPIXELFORMAT = last & 0x80;
  params.GIF_IMAGEINDEX = last & 3;
  TLKBitmap bmp;
  TLKMask* mask = nullptr;
  Integer frames = 0;
  ms.SetPosition(0);
  ReadGIFStream(&ms, &bmp, frames, params, progress, false, mask, false);
  delete mask;
  abort = false;
  ms.SetPosition(0);
  LKComposeGIFFrames(&ms, &bmp, params, progress);
  // The bare decoder on the raw bytes, interlaced or not.
  Byte out[64 * 16];
  ms.SetPosition(0);
  GIFLZWDecompress(&ms, 16, 64, last & 1, out);
  return 0;
}
