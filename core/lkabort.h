// The one way a reader, writer or load frame reports a failure that does not
// raise: the abort flag of the progress record is set, and a short reason is
// kept beside it (for tests and debugging output; nothing shows it to the
// user). Which operations raise and which only set the flag is written down
// in io/lumerakio.h.
#pragma once

#include <mutex>

#include "core/hylkdefs.h"

/// The reason of the last failure of one component. Any thread may set or
/// read it.
struct TLKAbortNote {
  /// Keeps Reason (the first reason since the last Clear wins: later
  /// failures are usually consequences of the first).
  void Set(const String& Reason) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FReason.empty()) FReason = Reason;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FReason.clear();
  }
  String Get() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FReason;
  }

 private:
  mutable std::mutex FLock;
  String FReason;
};

/// Sets the abort flag of Progress (when it has one) and keeps Reason in its
/// note (when it has one).
inline void LKAbort(TProgressRec& Progress, const String& Reason) {
  if (Progress.AbortNote) Progress.AbortNote->Set(Reason);
  if (Progress.AbortFlag) Progress.AbortFlag->store(true, std::memory_order_release);
}

/// Whether the abort flag of Progress is set.
inline bool LKAborted(const TProgressRec& Progress) {
  return Progress.AbortFlag && Progress.AbortFlag->load(std::memory_order_acquire);
}
