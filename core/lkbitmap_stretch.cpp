// TLKBitmap::StretchRectTo: a stretched copy of a rectangle, alpha included,
// into a 24-bit bitmap. The vector objects' composing layer and the preview
// dialog draw pictures through it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"

namespace {

constexpr Integer kOne = 16384;  // 1:1 in 14-bit fixed point

// Source index for each destination position from First to Last (inclusive).
std::vector<Integer> StepTable(Integer First, Integer Last, Integer DestOrigin, Integer SourceOrigin, Integer Step,
                               Integer SourceExtent) {
  std::vector<Integer> t(static_cast<std::size_t>(Last - First + 1));
  for (Integer i = First; i <= Last; ++i) {
    const Int64 s = SourceOrigin + ((static_cast<Int64>(i - DestOrigin) * Step) >> 14);
    // Source positions stay inside the picture whatever the caller passed.
    t[static_cast<std::size_t>(i - First)] = static_cast<Integer>(std::clamp<Int64>(s, 0, SourceExtent - 1));
  }
  return t;
}

Integer FixedStep(Integer Source, Integer Dest) {
  const double v = static_cast<double>(Source) / Dest * kOne;
  return static_cast<Integer>(std::clamp(v, -2147483647.0, 2147483647.0));
}

}  // namespace

void TLKBitmap::StretchRectTo(TLKBitmap* dest, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                              Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight,
                              TResampleFilter filter, Integer transparency) {
  if (dest == nullptr || dest == this || dest->GetPixelFormat() != lk24RGB || IsEmpty()) return;
  if (destWidth <= 0 || destHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
  const bool partialAlpha = GetHasAlphaChannel() && !AlphaChannel->GetFull();

  if (filter != rfNone && (destWidth != sourceWidth || destHeight != sourceHeight)) {
    // Resample the rectangle once at the destination size, then copy 1:1.
    TLKBitmap part(destWidth, destHeight, lk24RGB);
    void** rows = nullptr;
    Integer* cols = nullptr;
    Integer* rowIdx = nullptr;
    RenderToTLKBitmap(&part, rows, cols, rowIdx, nullptr, 0, 0, destWidth, destHeight, sourceX, sourceY,
                      sourceWidth, sourceHeight, false, false, 255, filter, true, lklNormal);
    if (partialAlpha) {
      // The alpha rectangle goes through the same filter as a grey picture.
      TLKBitmap grey(sourceWidth, sourceHeight, lk24RGB);
      for (Integer y = 0; y < sourceHeight; ++y) {
        auto* g = static_cast<Byte*>(grey.GetScanLine(y));
        const Integer sy = std::clamp(sourceY + y, 0, GetHeight() - 1);
        const auto* a = static_cast<const Byte*>(AlphaChannel->GetScanLine(sy));
        for (Integer x = 0; x < sourceWidth; ++x) {
          const Byte v = a[std::clamp(sourceX + x, 0, GetWidth() - 1)];
          g[x * 3] = g[x * 3 + 1] = g[x * 3 + 2] = v;
        }
      }
      TLKBitmap greyOut(destWidth, destHeight, lk24RGB);
      rows = nullptr;
      cols = rowIdx = nullptr;
      grey.RenderToTLKBitmap(&greyOut, rows, cols, rowIdx, nullptr, 0, 0, destWidth, destHeight, 0, 0, sourceWidth,
                             sourceHeight, false, false, 255, filter, true, lklNormal);
      TLKBitmap* pa = part.GetAlphaChannel();
      for (Integer y = 0; y < destHeight; ++y) {
        const auto* g = static_cast<const Byte*>(greyOut.GetScanLine(y));
        auto* a = static_cast<Byte*>(pa->GetScanLine(y));
        for (Integer x = 0; x < destWidth; ++x) a[x] = g[x * 3];
      }
      pa->SetFull(false);
    }
    part.StretchRectTo(dest, destX, destY, destWidth, destHeight, 0, 0, destWidth, destHeight, rfNone, transparency);
    return;
  }

  const Integer W = dest->GetWidth(), H = dest->GetHeight();
  const Integer x1 = std::max(destX, 0);
  const Integer x2 = static_cast<Integer>(std::min<Int64>(static_cast<Int64>(destX) + destWidth - 1, W - 1));
  const Integer y1 = std::max(destY, 0);
  const Integer y2 = static_cast<Integer>(std::min<Int64>(static_cast<Int64>(destY) + destHeight - 1, H - 1));
  const Integer xStep = FixedStep(sourceWidth, destWidth), yStep = FixedStep(sourceHeight, destHeight);
  TLKBitmap* da = dest->GetAlphaChannel();  // created opaque when missing
  if (x2 < x1 || y2 < y1) return;
  const std::vector<Integer> cols = StepTable(x1, x2, destX, sourceX, xStep, GetWidth());
  const std::vector<Integer> rows = StepTable(y1, y2, destY, sourceY, yStep, GetHeight());
  const Byte limit = static_cast<Byte>(std::clamp(transparency, 0, 255));

  if (partialAlpha) {
    for (Integer y = y1; y <= y2; ++y) {
      const auto* s = static_cast<const Byte*>(AlphaChannel->GetScanLine(rows[static_cast<std::size_t>(y - y1)]));
      auto* d = static_cast<Byte*>(da->GetScanLine(y));
      for (Integer x = x1; x <= x2; ++x) d[x] = std::min(limit, s[cols[static_cast<std::size_t>(x - x1)]]);
    }
  } else {
    da->FillRect(x1, y1, x2, y2, limit);
  }
  da->SetFull(false);

  const TLKPixelFormat format = GetPixelFormat();
  if (format != lk24RGB && format != lk1g) return;
  for (Integer y = y1; y <= y2; ++y) {
    const auto* s = static_cast<const Byte*>(GetScanLine(rows[static_cast<std::size_t>(y - y1)]));
    auto* d = static_cast<Byte*>(dest->GetScanLine(y));
    if (format == lk24RGB) {
      if (xStep == kOne) {
        const Integer sx = cols[0];
        std::memcpy(d + static_cast<std::size_t>(x1) * 3, s + static_cast<std::size_t>(sx) * 3,
                    static_cast<std::size_t>(std::min(x2 - x1 + 1, GetWidth() - sx)) * 3);
      } else {
        for (Integer x = x1; x <= x2; ++x) {
          const Integer sx = cols[static_cast<std::size_t>(x - x1)];
          std::memcpy(d + static_cast<std::size_t>(x) * 3, s + static_cast<std::size_t>(sx) * 3, 3);
        }
      }
    } else {
      for (Integer x = x1; x <= x2; ++x) {
        const Integer sx = cols[static_cast<std::size_t>(x - x1)];
        const Byte v = (s[sx >> 3] & (0x80 >> (sx & 7))) ? 255 : 0;
        std::memset(d + static_cast<std::size_t>(x) * 3, v, 3);
      }
    }
  }
}
