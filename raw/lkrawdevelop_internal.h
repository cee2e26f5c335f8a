// Shared by the development stages of the camera RAW decoder.
#pragma once

#include <cstddef>

#include "raw/lkrawstate.h"

/// Number of cells the stages may work on: height × width when the image
/// array holds at least that many cells, else 0 (nothing is touched).
inline size_t develop_cells(const TRAWDecoderState& s) {
  if (s.height <= 0 || s.width <= 0) return 0;
  const UInt64 n = UInt64(s.height) * UInt64(s.width);
  return n <= s.image.size() ? static_cast<size_t>(n) : 0;
}
