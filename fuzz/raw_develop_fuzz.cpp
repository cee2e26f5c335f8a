// Fuzz target for the whole camera RAW reader: arbitrary bytes are
// identified, their metadata read and, when accepted, developed into a
// bitmap. The input's size picks the settings (quick or full
// interpolation, 24- or 48-bit output, half size, white balance, four-colour
// interpolation, thumbnail in place of the development), so mutations reach
// them all. Nothing may crash, hang or read outside the input, and a
// development gives the picture size a parameters-only read reports.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "raw/lkraw.h"
#include "raw/lkrawident.h"
#include "raw/lkrawloaders.h"
#include "raw/lkrawstate.h"

namespace {

// Files that identify as pictures above this many cells are skipped: the
// reader develops any size up to 65535 on a side from a few bytes of
// metadata, and the fuzzer should measure the decoder, not the demosaic of
// a forged sensor size.
constexpr UInt64 kMaxCells = UInt64(1) << 18;

// SuperCCD pictures are turned after development to a size that depends
// on their content, so only their size before turning is known in advance.
bool superCCD = false;

bool SmallEnough(const uint8_t* data, size_t size) {
  superCCD = false;
  TRAWMemorySource src(data, static_cast<Int64>(size));
  auto s = std::make_unique<TRAWDecoderState>();
  set_source(*s, &src);
  reset_decoder_state(*s);
  try {
    if (identify_camera(*s) != 0) return true;  // refused: the reader must refuse it too
  } catch (const Exception&) {
    return true;
  }
  superCCD = s->load_raw == fuji_s2_load_raw || s->load_raw == fuji_f700_load_raw ||
             s->load_raw == static_cast<TRAWLoader>(fuji_load_raw_common);
  const UInt64 raw = UInt64(std::max(s->raw_height, 0)) * UInt64(std::max(s->raw_width, 0));
  const UInt64 cells = UInt64(std::max(s->height, 0)) * UInt64(std::max(s->width, 0));
  return cells <= kMaxCells && raw <= 4 * kMaxCells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (4u << 20) || !SmallEnough(data, size)) return 0;
  TMemoryStream stream;
  if (size > 0) stream.Write(data, static_cast<Integer>(size));
  stream.Seek(0, soBeginning);
  auto settings = [size](TIOParamsVals& params) {
    const unsigned opts = static_cast<unsigned>(size % 64);
    params.RAW_QUICKINTERPOLATE = opts & 1;
    params.ISNATIVEPIXELFORMAT = opts & 2;
    params.RAW_HALFSIZE = opts & 4;
    params.RAW_USEAUTOWB = opts & 8;
    params.RAW_USECAMERAWB = opts & 16;
    params.RAW_FOURCOLORRGB = (opts & 32) && (opts & 1);
    params.RAW_GETEXIFTHUMBNAIL = (opts & 32) && !(opts & 1);
    params.RAW_AUTOADJUSTCOLORS = (opts & 36) == 36;
  };
  TLKBitmap bitmap;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals announced;
  settings(announced);
  try {
    LKReadCameraRAWStream(stream, bitmap, announced, progress, true);
  } catch (const Exception&) {
    return 0;
  }
  if (!bitmap.IsEmpty()) std::abort();  // a parameters-only read touches no pixel
  stream.Seek(0, soBeginning);
  TIOParamsVals params;
  settings(params);
  try {
    LKReadCameraRAWStream(stream, bitmap, params, progress, false);
  } catch (const Exception&) {
    // Corrupt data and refused allocations are the reader's documented
    // failures.
    return 0;
  }
  if (!abort && !params.RAW_GETEXIFTHUMBNAIL) {
    // A development gives a picture, of the size the parameters report.
    if (bitmap.GetWidth() != params.WIDTH || bitmap.GetHeight() != params.HEIGHT) std::abort();
    if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) std::abort();
    if (!superCCD && (announced.WIDTH != params.WIDTH || announced.HEIGHT != params.HEIGHT)) std::abort();
  }
  return 0;
}
