// Fuzz target for the whole road from bytes to sensor data: the camera is
// identified from the data as the content probe does it (file-size table,
// magic numbers, maker and model rules) and, when accepted, the chosen loader
// reads the data into a picture of the identified size. Arbitrary bytes must
// never crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "raw/lkrawident.h"
#include "raw/lkrawstate.h"

namespace {

// Pictures above this many cells are skipped so the fuzzer's memory limit
// measures the decoder, not the picture it was asked to hold.
constexpr UInt64 kMaxCells = UInt64(4) << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TRAWMemorySource src(data, static_cast<Int64>(size));
  auto s = std::make_unique<TRAWDecoderState>();
  set_source(*s, &src);
  reset_decoder_state(*s);
  try {
    if (identify_camera(*s) != 0) return 0;
    if (!s->load_raw) __builtin_trap();  // accepted without a loader
    if (s->height <= 0 || s->width <= 0) __builtin_trap();  // accepted without a picture
    if (UInt64(s->height) * UInt64(s->width) > kMaxCells) return 0;
    s->iheight = s->height;
    s->iwidth = s->width;
    alloc_image(*s);
    s->load_raw(*s);
  } catch (const Exception&) {
    // Corrupt data, table overflow and refused allocations are the
    // decoder's documented failures.
  }
  return 0;
}
