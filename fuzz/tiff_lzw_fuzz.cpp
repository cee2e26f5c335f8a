// Fuzz target for the TIFF LZW decoder: any bytes decode row by row without
// reading outside the input, looping or growing without bound; the first
// byte picks the row length.
#include <cstddef>
#include <cstdint>

#include "codecs/tiff/tifflzw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Integer rowLen = 1 + data[0] * 7;
  std::intptr_t state = 0;
  for (int i = 0; i < 8192; ++i)
    if (!TIFFLZWDecompress(data + 1, static_cast<Integer>(size - 1), rowLen, state)) break;
  TIFFLZWDecompress(nullptr, 0, 0, state);
  return 0;
}
