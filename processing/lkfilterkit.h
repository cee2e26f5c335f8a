// Small helpers shared by the window filters, rotation and the transforms:
// rectangles clamped to a picture, rows copied between a picture and memory
// (so that file-backed pictures, which keep only one mapped row valid, are
// read and written safely), and the row-progress and abort checks of a
// progress record. Internal to the processing routines.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/hylkdefs.h"

namespace lkfilter {

/// A rectangle clamped to a w x h picture: columns X1..XE and rows Y1..YE,
/// all inclusive. Empty when XE < X1 or YE < Y1.
struct Span {
  Integer X1 = 0, Y1 = 0, XE = -1, YE = -1;
  bool Empty() const { return XE < X1 || YE < Y1; }
  Integer Cols() const { return XE - X1 + 1; }
  Integer Rows() const { return YE - Y1 + 1; }
};

/// x2, y2 exclusive; the corners are clamped to the picture (a negative
/// start would reach pixels before the first).
inline Span ClampExclusive(Integer w, Integer h, Integer x1, Integer y1, Integer x2, Integer y2) {
  Span s;
  s.X1 = std::max(x1, 0);
  s.Y1 = std::max(y1, 0);
  s.XE = std::min(x2, w) - 1;
  s.YE = std::min(y2, h) - 1;
  return s;
}

/// Bytes per pixel of a whole-byte format.
inline Integer PixelBytes(TLKBaseBitmap* b) { return b->GetBitCount() / 8; }

/// Copies row y of a picture into `out` (the row's first `bytes` bytes).
inline void ReadRow(TLKBaseBitmap* b, Integer y, Byte* out, size_t bytes) {
  std::memcpy(out, b->GetScanLine(y), bytes);
}
/// Copies `bytes` bytes into row y of a picture.
inline void WriteRow(TLKBaseBitmap* b, Integer y, const Byte* in, size_t bytes) {
  std::memcpy(b->GetScanLine(y), in, bytes);
}

/// A picture's pixel rows held in one block of memory, `Stride` bytes apart.
struct Plane {
  Integer W = 0, H = 0;
  size_t Stride = 0;
  std::vector<Byte> Px;
  Byte* Row(Integer y) { return Px.data() + static_cast<size_t>(y) * Stride; }
  const Byte* Row(Integer y) const { return Px.data() + static_cast<size_t>(y) * Stride; }
};

/// Every row of a picture (GetRowLen bytes each) copied into memory.
inline Plane ReadPlane(TLKBaseBitmap* b) {
  Plane p;
  p.W = b->GetWidth();
  p.H = b->GetHeight();
  p.Stride = static_cast<size_t>(b->GetRowLen());
  p.Px.resize(p.Stride * static_cast<size_t>(std::max(p.H, 0)));
  for (Integer y = 0; y < p.H; ++y) ReadRow(b, y, p.Row(y), p.Stride);
  return p;
}

/// Writes a plane back into a picture of the same size and row length.
inline void WritePlane(const Plane& p, TLKBaseBitmap* b) {
  for (Integer y = 0; y < p.H; ++y) WriteRow(b, y, p.Row(y), p.Stride);
}

/// Rows of a picture held in a ring of `slots` buffers, row y in slot
/// y mod slots, each `bytes` long after `pad` spare bytes in front (and as
/// many behind). Window filters that need rows y - h .. y + h ask for them
/// with a ring of 2h + 1 slots; they may write their result for row y back
/// into the picture at once, since later windows read row y from the ring
/// and the rows below it are still unchanged. A file-backed picture then
/// needs no more memory than the window.
class RowRing {
 public:
  RowRing(Integer slots, size_t bytes, size_t pad = 0)
      : slots_(slots), bytes_(bytes), pad_(pad), held_(static_cast<size_t>(slots), -1),
        data_(static_cast<size_t>(slots) * (bytes + 2 * pad)) {}
  /// Row y: when it is not held, load(y, address) fills the row's `bytes`
  /// (the spare bytes are the caller's).
  template <typename Load>
  Byte* Get(Integer y, Load&& load) {
    const size_t slot = static_cast<size_t>(y % slots_);
    Byte* row = data_.data() + slot * (bytes_ + 2 * pad_) + pad_;
    if (held_[slot] != y) {
      load(y, row);
      held_[slot] = y;
    }
    return row;
  }

 private:
  Integer slots_;
  size_t bytes_, pad_;
  std::vector<Integer> held_;
  std::vector<Byte> data_;
};

/// True when the record's abort flag is raised.
inline bool Aborted(const TProgressRec& rec) {
  return rec.AbortFlag && rec.AbortFlag->load(std::memory_order_relaxed);
}

/// Reports Trunc(value) through an assigned event.
inline void Report(const TLKProgressEvent& event, TObject* sender, double value) {
  if (event) event(sender, LKTrunc(value));
}

}  // namespace lkfilter
