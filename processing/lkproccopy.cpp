#include "processing/lkproccopy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkprocutils.h"

void LKProcCopyRect(TLKBitmap* Dest, TLKBitmap* Source, Integer SourceX, Integer SourceY, Integer DestX,
                    Integer DestY, Integer Width, Integer Height) {
  if (!Dest || !Source || Dest == Source) return;
  const TLKPixelFormat format = Source->GetPixelFormat();
  if (format == lknull || Dest->GetPixelFormat() != format) return;
  Int64 sx = SourceX, sy = SourceY, dx = DestX, dy = DestY, w = Width, h = Height;
  // A destination origin left of or above the picture drops what falls
  // outside; a source origin outside the picture does the same.
  if (dx < 0) { sx -= dx; w += dx; dx = 0; }
  if (dy < 0) { sy -= dy; h += dy; dy = 0; }
  if (sx < 0) { dx -= sx; w += sx; sx = 0; }
  if (sy < 0) { dy -= sy; h += sy; sy = 0; }
  w = std::min<Int64>({w, Source->GetWidth() - sx, Dest->GetWidth() - dx});
  h = std::min<Int64>({h, Source->GetHeight() - sy, Dest->GetHeight() - dy});
  if (w <= 0 || h <= 0) return;

  const Integer bits = Source->GetBitCount();
  std::vector<Byte> row(static_cast<size_t>(Source->GetRowLen()));
  for (Int64 y = 0; y < h; ++y) {
    // Take the source row aside first: file storage keeps one mapped row
    // per buffer, and the copy keeps the two buffers' rows independent.
    const auto* src = static_cast<const Byte*>(Source->GetScanLine(static_cast<Integer>(sy + y)));
    std::memcpy(row.data(), src, row.size());
    auto* dst = static_cast<Byte*>(Dest->GetScanLine(static_cast<Integer>(dy + y)));
    if (bits == 1) {
      _CopyBits(dst, row.data(), static_cast<Integer>(dx), static_cast<Integer>(sx), static_cast<Integer>(w),
                static_cast<Integer>(row.size()));
    } else {
      const Int64 bpp = bits / 8;
      std::memcpy(dst + dx * bpp, row.data() + sx * bpp, static_cast<size_t>(w * bpp));
    }
  }
}
