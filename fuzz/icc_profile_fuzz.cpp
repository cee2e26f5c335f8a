// Fuzz target for ICC profiles read from files: arbitrary bytes are opened
// as a profile (the colour-management library's parser and our tag walk
// for the description and copyright texts), and when they open, rows of
// every layout are converted to sRGB and back. Nothing may crash, hang or
// read outside the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/lkicc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLKICC in;
  in.LoadFromBuffer(data, static_cast<Integer>(size));
  (void)in.GetDescription();
  if (!in.IsValid()) return 0;
  static TLKICC* srgb = [] {
    auto* p = new TLKICC;
    p->Assign_sRGBProfile();
    return p;
  }();
  std::vector<Byte> src(6 * 16), dst(6 * 16);
  for (size_t i = 0; i < src.size(); ++i) src[i] = Byte(i * 37);
  for (int s = lkcmsRGB; s <= lkcmsYCBCR; ++s) {
    in.Transform(srgb, TLKColorSpace(s), lkcmsBGR, 0, 0, src.data(), dst.data(), 16);
    srgb->Transform(&in, lkcmsBGR, TLKColorSpace(s), 0, 0, src.data(), dst.data(), 16);
  }
  return 0;
}
