// Pieces shared by the I/O component's load and save operations: the
// progress record, the finish that also runs when an exception leaves the
// work, the view's resolution and the file a save writes through.
#pragma once

#include <memory>

#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "platform/classes.h"

struct TLKFormatRow;

namespace lkio {

// ---- the load frame and the save frame (lumerakio_formats.cpp)
//
// Each runs a format row's job with the steps every load or save takes and
// the particulars of the row (TLKLoadShape, TLKSaveShape). The *As forms run
// the asynchronous gate first (a load handed to a worker returns -1); the
// Sync forms do not. Loads return the page count the reader reported.

Integer LoadFileAs(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName);
/// Stream headers as the component's StreamHeaders say.
Integer LoadStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream);
/// Headers: the row's required stream header must come first.
Integer SyncLoadStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream, bool Headers);
void SaveFileAs(TLumerakIO& IO, const TLKFormatRow& Row, const String& FileName);
void SaveStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream);
void SyncSaveStreamAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream* Stream);
/// The read job in parameters-only mode, without any frame around it.
void ReadParamsAs(TLumerakIO& IO, const TLKFormatRow& Row, TStream& Stream, TProgressRec& Progress);

/// The progress record of the component's loads and saves: its progress
/// hook, the component as sender, the address of its abort flag.
TProgressRec MakeProgress(TLumerakIO& IO);

/// The progress record of parameter reads: no event, no sender, the abort
/// flag only.
TProgressRec MakeSilentProgress(TLumerakIO& IO);

/// Runs Body, then the component's DoFinishWork; also when Body raises: the
/// abort flag is then set (the work failed) and the exception goes on after
/// the finish.
template <typename F>
void WithFinish(TLumerakIO& IO, F&& Body) {
  try {
    Body();
  } catch (...) {
    IO.SetAborted(true);
    IO.DoFinishWork();
    throw;
  }
  IO.DoFinishWork();
}

/// Tells the attached view the resolution of the parameters; skipped on the
/// component's workers (the view, a widget, belongs to the main thread).
void GiveViewResolution(TLumerakIO& IO);

/// Converts the working bitmap to lk24RGB unless it is lk24RGB or lk1g.
void ConvertForSave(TLumerakIO& IO);

/// Opens FileName for reading; raises EFOpenError when it cannot.
std::unique_ptr<TFileStream> OpenForRead(const String& FileName);

/// The file a save writes: a new file beside the target, named after it,
/// renamed over the target by Commit (see TAtomicFile). Destroying it
/// without Commit removes the new file and leaves the target as it was.
class TSaveFile {
 public:
  /// Creates the new file (permissions of an existing target kept, else the
  /// usual ones for new files). Raises EFCreateError naming FileName when
  /// the folder cannot take it.
  explicit TSaveFile(const String& FileName) : FFile(FileName) {}

  TStream* Stream() { return FFile.Stream(); }
  /// Closes the new file and renames it over the target. Raises
  /// EFCreateError when the rename fails and EWriteError when a write came
  /// up short (the new file is removed).
  void Commit() { FFile.Commit(); }
  /// Commit when the component's abort flag is clear; otherwise the new file
  /// is dropped. A write that came up short sets the flag with its reason
  /// (the failure rule of saves) and drops the file.
  void CommitUnlessAborted(TLumerakIO& IO);

 private:
  TAtomicFile FFile;
};

/// The lower-cased extension of FileName, dot included ("" without one).
String LowerExt(const String& FileName);

}  // namespace lkio
