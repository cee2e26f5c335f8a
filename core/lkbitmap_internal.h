// Private helpers of the image buffer and the routines that walk its rows:
// scoped narrowing of a buffer's data access, and the clipping of a copy
// whose origin lies left of or above a picture.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

namespace lkinternal {

/// Sets a buffer's data access for the lifetime of the scope (rows that are
/// only read are then not written back, rows that are only written are not
/// read first) and restores the old access on every way out.
class AccessScope {
 public:
  AccessScope(TLKBaseBitmap* bitmap, TLKDataAccess access) : bitmap_(bitmap), saved_(bitmap->Access) {
    bitmap_->Access = access;
  }
  AccessScope(TLKBaseBitmap& bitmap, TLKDataAccess access) : AccessScope(&bitmap, access) {}
  ~AccessScope() { bitmap_->Access = saved_; }
  AccessScope(const AccessScope&) = delete;
  AccessScope& operator=(const AccessScope&) = delete;

 private:
  TLKBaseBitmap* bitmap_;
  TLKDataAccess saved_;
};

/// Narrows the data access of a source (read only) and a destination (write
/// only) for a row copy and restores both on every way out; source and
/// destination may be the same buffer.
class AccessNarrowing {
 public:
  AccessNarrowing(TLKBaseBitmap* source, TLKBaseBitmap* dest)
      : source_(source, TLKDataAccess{lkdRead}), dest_(dest, TLKDataAccess{lkdWrite}) {}

 private:
  AccessScope source_;
  AccessScope dest_;
};

/// Moves the start of a copied run off a negative coordinate: when `origin`
/// is below 0 the other side's origin moves along by as much, the length
/// shrinks by as much and `origin` becomes 0.
inline void ClipNegativeOrigin(Int64& origin, Int64& other, Int64& length) {
  if (origin < 0) {
    other -= origin;
    length += origin;
    origin = 0;
  }
}

}  // namespace lkinternal
