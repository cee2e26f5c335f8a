#include "processing/lkpointops.h"

namespace lkpoint {

void ApplyTables24(TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2, const Table& blue,
                   const Table& green, const Table& red, const RectProgress* rect, const WholeProgress* whole) {
  const Byte* tb = blue.data();
  const Byte* tg = green.data();
  const Byte* tr = red.data();
  const size_t n = static_cast<size_t>(x2 - x1);
  for (Integer y = y1; y < y2; ++y) {
    Byte* p = static_cast<Byte*>(b->GetScanLine(y)) + static_cast<size_t>(x1) * 3;
    for (size_t i = 0; i < n; ++i, p += 3) {
      const Byte v0 = tb[p[0]], v1 = tg[p[1]], v2 = tr[p[2]];
      p[0] = v0;
      p[1] = v1;
      p[2] = v2;
    }
    if (rect) rect->Row(y);
    if (whole) whole->Row(y);
  }
}

}  // namespace lkpoint
