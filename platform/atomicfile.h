// The one way a file is replaced: the new content goes to a new file beside
// the target, which takes the target's place only when it is complete and on
// the disk. A save that fails, raises or is abandoned leaves the old file as
// it was and nothing beside it.
#pragma once

#include <functional>
#include <memory>

#include "platform/classes.h"

/// A new file written under a temporary name in the target's folder and
/// renamed over the target by Commit.
///
/// - The new file is created exclusively (O_CREAT|O_EXCL, mode 0600) as
///   "<target>.~<pid>-<n>" and locked while it is written; new files of that
///   pattern that no process locks (left by a killed save) are removed.
/// - An existing target keeps its permissions (and, where the system lets
///   the saver, its owner and group); a new one gets the usual permissions
///   of new files (0666 less the umask).
/// - A symbolic link stays a link: the write goes to the file it points to.
/// - A target nobody may write (no write bit at all), or one that is not a
///   regular file (a device, a pipe), is not replaced.
/// - Destroying the object without Commit removes the new file.
///
/// Thread use: one object belongs to one thread at a time.
class TAtomicFile {
 public:
  /// Creates the new file for FileName. Raises EFCreateError
  /// `Cannot create file "<FileName>". <system error>` when the name is
  /// empty or a folder, the target is not a regular file or may not be
  /// written, or its folder cannot
  /// take the new file.
  explicit TAtomicFile(const String& FileName);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  /// The new file's stream (readable, writable and seekable); nullptr after
  /// Commit or Discard.
  TStream* Stream();
  /// The file that Commit replaces (a symbolic link resolved).
  const String& Target() const { return FTarget; }
  /// Whether a write to the stream came up short (a full disk, a file-size
  /// limit): such a file is never committed.
  bool WriteFailed() const;
  /// Syncs the new file to the disk and renames it over the target. Raises
  /// EWriteError when a write came up short and EFCreateError when the sync
  /// or the rename fails; the new file is removed in every failure.
  void Commit();
  /// Removes the new file now; the target stays as it was.
  void Discard();

 private:
  class TStreamImpl;
  String FName;
  String FTarget;
  String FTemp;
  int FHandle = -1;
  std::unique_ptr<TStreamImpl> FStream;
};

/// Replaces FileName by what Write puts into the stream it is given, through
/// a TAtomicFile. When Write raises, the old file stays and the exception
/// passes on. Raises as TAtomicFile's constructor and Commit do.
void WriteFileAtomically(const String& FileName, const std::function<void(TStream*)>& Write);
