// Fuzz target for the CCITT fax decoders: any bytes decode row by row in
// every coding without reading outside the input or looping; the first byte
// picks the coding and the fill order, the second the row width.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/tiff/ccitt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const Byte mode = data[0];
  const Byte* in = data + 2;
  const Integer len = static_cast<Integer>(size - 2);
  const Integer width = 1 + data[1] * 13;
  const Integer fill = 1 + ((mode >> 3) & 1);
  const size_t bytes = static_cast<size_t>((width + 7) / 8);
  std::vector<Byte> row(bytes), ref(bytes, 0xFF);
  switch (mode & 3) {
    case 0: {
      Integer pos = 0;
      for (int i = 0; i < 4096 && pos < len; ++i) {
        const Integer used = CCITTHuffmanGetLine(row.data(), in + pos, len - pos, width, fill);
        if (used <= 0) break;
        pos += used;
      }
      break;
    }
    case 1: {
      Int64 pos = 0;
      for (int i = 0; i < 4096 && pos < Int64{len} * 8; ++i)
        pos = _CCITTHuffmanGetLine(row.data(), in, len, width, pos, fill);
      break;
    }
    default: {
      Int64 pos = 0;
      const bool g3 = mode & 1;
      for (int i = 0; i < 4096 && pos < Int64{len} * 8; ++i)
        pos = CCITT3_2D_GetLine(row.data(), in, len, width, ref.data(), pos, fill, g3);
      break;
    }
  }
  return 0;
}
