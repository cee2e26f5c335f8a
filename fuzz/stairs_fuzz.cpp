// Staircase removal on any outline: a walk of pixel steps (straight and
// diagonal) chosen by the input, or raw points. It must end, stay in
// bounds, and give either false with nothing or a polygon of fewer
// vertices than steps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "views/lkvectgeom.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  std::vector<TPoint> pts;
  if (Data[0] & 1) {
    // A walk: each byte one step (8 directions; 0 stays, which repeats).
    static const int dx[9] = {0, 1, 1, 0, -1, -1, -1, 0, 1}, dy[9] = {0, 0, 1, 1, 1, 0, -1, -1, -1};
    TPoint p{static_cast<Integer>(Data[0]), 7};
    for (size_t i = 1; i < Size && pts.size() < 20000; ++i) {
      pts.push_back(p);
      p.X += dx[Data[i] % 9];
      p.Y += dy[Data[i] % 9];
    }
  } else {
    for (size_t i = 1; i + 8 <= Size; i += 8) {
      int32_t x, y;
      __builtin_memcpy(&x, Data + i, 4);
      __builtin_memcpy(&y, Data + i + 4, 4);
      pts.push_back(TPoint{x, y});
    }
  }
  std::vector<TPoint> out;
  const bool ok = LKRemoveJaggedEdges(pts, out);
  if (ok != !out.empty()) std::abort();
  if (ok && out.size() < 3) std::abort();
  return 0;
}
