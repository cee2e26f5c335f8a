// Fuzz target for the paths that read an existing JPEG without decoding its
// pixels: the lossless transform (code, grey flag, marker option and crop
// picked from the last input bytes), both metadata injections and the
// quality estimate. Arbitrary bytes must never crash, hang or read outside
// the input.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/jpeg/jpegxform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream in;
  if (size > 0) in.Write(data, static_cast<Integer>(size));
  const Byte opt = size ? data[size - 1] : 0;
  const Byte pos = size > 1 ? data[size - 2] : 0;

  in.SetPosition(0);
  std::vector<Integer> q;
  LKGetJpegQuality(&in, q);

  in.SetPosition(0);
  TMemoryStream out;
  TLKIPTCInfoList iptc;
  iptc.AddStringItem(2, 120, "fuzz");
  TProgressRec progress;
  LKJpegInjectIPTC(&in, &out, iptc, progress);

  in.SetPosition(0);
  TMemoryStream out2;
  TIOParamsVals params;
  params.EXIF_HASEXIF = (opt & 1) != 0;
  LKJpegInjectEXIF(&in, &out2, params, progress);

  in.SetPosition(0);
  TMemoryStream out3;
  std::atomic<bool> abort{false};
  TProgressRec xprogress;
  xprogress.AbortFlag = &abort;
  const TRect crop{pos % 40, pos / 40 * 8, pos % 40 + 30, pos / 40 * 8 + 20};
  LKJpegLosslessTransform(&in, &out3, xprogress, opt % 10, (opt & 16) != 0,
                          static_cast<TLKJpegCopyMarkers>((opt >> 5) % 3), crop);
  return 0;
}
