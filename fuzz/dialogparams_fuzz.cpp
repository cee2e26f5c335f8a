// Fuzz target for the stored form of the preview dialog's parameters:
// arbitrary bytes either load or raise EReadError with the values and the
// stream position kept. A block that loads is written again: it must come
// back byte for byte, gaps included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/classes.h"
#include "processing/lkpreviewparams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  TMemoryStream in;
  const Byte lead[2] = {0x5A, 0xA5};  // so that position 0 is not assumed
  in.Write(lead, 2);
  if (size > 0) in.Write(data, static_cast<Integer>(size));
  in.Seek(2, soBeginning);
  TIPDialogParams params, fresh;
  Byte before[TIPDialogParams::BlockSize], after[TIPDialogParams::BlockSize];
  params.Save(before);
  try {
    params.LoadFromStream(&in);
  } catch (const EReadError&) {
    params.Save(after);
    if (in.GetPosition() != 2 || std::memcmp(before, after, sizeof before) != 0) std::abort();
    return 0;
  }
  if (size < sizeof after || in.GetPosition() != 2 + TIPDialogParams::BlockSize) std::abort();
  params.Save(after);
  if (std::memcmp(after, data, sizeof after) != 0) std::abort();
  // Every key reads back what it was set to.
  for (const char* key : {"WAVE_PHASE", "BUMPMAP_COL", "FFT_GRAYSCALE", "USERFILTER_VALUES22"}) {
    fresh.SetProperty(key, params.GetProperty(key));
    if (fresh.GetProperty(key) != params.GetProperty(key)) std::abort();
  }
  return 0;
}
