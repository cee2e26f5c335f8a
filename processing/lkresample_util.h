// Private helpers of the resampling routines: checked scratch rasters and
// exact integer division by a divisor that is fixed for a whole run of
// samples. The narrowing of data-access sets comes from the image buffer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>

#include "core/hylkdefs.h"
#include "core/lkbitmap_internal.h"
#include "platform/system.h"

namespace lkresample {

using lkinternal::AccessNarrowing;

/// Scratch array of `count` elements owned by the calling routine (never
/// shared between calls). Elements are not initialised. A negative count or
/// one whose byte size overflows, or a failed allocation, raises EOutOfMemory.
template <typename T>
class Scratch {
 public:
  Scratch() = default;
  explicit Scratch(Int64 count) { Reset(count); }
  void Reset(Int64 count) {
    data_.reset();
    if (count < 0 || static_cast<std::uint64_t>(count) > std::numeric_limits<std::size_t>::max() / sizeof(T))
      throw EOutOfMemory("Out of memory");
    if (count == 0) return;
    data_.reset(new (std::nothrow) T[static_cast<std::size_t>(count)]);
    if (!data_) throw EOutOfMemory("Out of memory");
  }
  T* get() const { return data_.get(); }
  T& operator[](Int64 i) const { return data_[static_cast<std::size_t>(i)]; }

 private:
  std::unique_ptr<T[]> data_;
};

/// Product of two non-negative counts; EOutOfMemory when it leaves 62 bits
/// (no raster of that size can be held).
inline Int64 CheckedProduct(Int64 a, Int64 b) {
  if (a < 0 || b < 0) throw EOutOfMemory("Out of memory");
  if (a != 0 && b > (Int64{1} << 62) / a) throw EOutOfMemory("Out of memory");
  return a * b;
}

/// Division truncating toward zero by a divisor that stays the same for many
/// dividends: a multiply and a shift where that is exact for every dividend
/// up to the bound given, the plain division otherwise.
class TruncDivider {
 public:
  /// `divisor` must not be 0; `maxAbsDividend` bounds |dividend|.
  TruncDivider(Integer divisor, Int64 maxAbsDividend) : divisor_(divisor) {
    const std::uint64_t d = divisor < 0 ? 0 - static_cast<std::uint64_t>(static_cast<Int64>(divisor))
                                        : static_cast<std::uint64_t>(divisor);
    negative_ = divisor < 0;
    // floor(a * m / 2^40) equals floor(a / d) whenever a * d < 2^40, with
    // m = floor(2^40 / d) + 1.
    if (maxAbsDividend >= 0 && static_cast<std::uint64_t>(maxAbsDividend) < (std::uint64_t{1} << 40) / d) {
      fast_ = true;
      multiplier_ = (std::uint64_t{1} << 40) / d + 1;
    }
  }
  Integer operator()(Integer a) const {
    if (!fast_) return a / divisor_;
    const bool neg = a < 0;
    const std::uint64_t ua = neg ? 0 - static_cast<std::uint64_t>(static_cast<Int64>(a)) : static_cast<std::uint64_t>(a);
    const auto q = static_cast<Integer>((ua * multiplier_) >> 40);
    return (neg != negative_) ? -q : q;
  }

 private:
  Integer divisor_;
  std::uint64_t multiplier_ = 0;
  bool negative_ = false;
  bool fast_ = false;
};

/// Calls the progress event when it is assigned.
inline void Report(const TLKProgressEvent& progress, TObject* sender, Integer percent) {
  if (progress) progress(sender, percent);
}

}  // namespace lkresample
