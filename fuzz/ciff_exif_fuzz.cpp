// Fuzz target for the Canon CIFF helpers: arbitrary bytes are read as a
// CIFF file for its EXIF fields and thumbnail, and for its largest embedded
// picture. Nothing may crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "raw/lkraw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (4u << 20)) return 0;
  TMemoryStream stream;
  if (size > 0) stream.Write(data, static_cast<Integer>(size));
  stream.Seek(0, soBeginning);
  try {
    TIOParamsVals params;
    if (LKCRWGetCIFFAsExif(stream, params)) std::abort();  // false in every case
  } catch (const Exception&) {
  }
  stream.Seek(0, soBeginning);
  try {
    TLKBitmap bitmap;
    if (LKCRWGetJpeg(bitmap, stream)) std::abort();
  } catch (const Exception&) {
  }
  return 0;
}
