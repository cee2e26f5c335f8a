// Change notification for one folder over inotify: the stand-in for the
// desktop's "find first change notification" handle that a folder watcher
// waits on.
//
// A TDirChangeWatch is opened on the thread that creates it (so that no
// change made after the constructor returns is missed), waited on by one
// thread, and may be woken from any thread. It reports that the set of
// names in the folder changed: an entry was created, deleted, or renamed
// into, out of or within the folder. Changes inside files and inside
// sub-folders are not reported. The folder itself going away counts as a
// change.
#pragma once

#include "platform/system.h"

/// What TDirChangeWatch::Wait saw.
enum class TDirWaitResult {
  Changed,   // a name in the folder was added, removed or renamed
  TimedOut,  // nothing happened within the time given
  Woken,     // Wake was called
  Failed,    // the watch could not be opened, or waiting failed
};

class TDirChangeWatch {
 public:
  /// Starts watching Folder. When the system refuses (no such folder, no
  /// permission, out of watches) Valid() is false and Wait answers Failed.
  explicit TDirChangeWatch(const String& Folder);
  ~TDirChangeWatch();
  TDirChangeWatch(const TDirChangeWatch&) = delete;
  TDirChangeWatch& operator=(const TDirChangeWatch&) = delete;

  /// Whether the folder is being watched.
  bool Valid() const { return FNotify >= 0; }
  /// Blocks up to Milliseconds for a change or a wake-up. A change reported
  /// once is consumed: the events waiting are read and dropped. Woken wins
  /// over a change that arrived at the same time.
  TDirWaitResult Wait(Cardinal Milliseconds);
  /// Makes the current or next Wait return Woken. Any thread; safe to call
  /// while another thread waits.
  void Wake();
  /// Stops watching (the wake-up stays usable until destruction).
  void Close();

 private:
  int FNotify = -1;
  int FWatch = -1;
  int FWake = -1;
};
