// Worker threads of the I/O component.
//
// An I/O operation that runs asynchronously creates one TLKIOThread holding
// the operation itself (bound to the component) and its arguments, and
// returns at once. The worker calls the same operation again; that second
// call sees that it runs on one of the component's workers
// (TLumerakIO::IsInsideAsyncThreads) and does the work there. A worker lists
// itself in the component's worker list for as long as it runs and frees
// itself when it ends.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "platform/system.h"
#include "platform/threads.h"

class TLumerakIO;
class TStream;

/// The kinds of worker, one per signature of the operation it runs again.
enum TLKIOMethodTypes : Byte {
  lkLoadSaveFile,          ///< procedure(FileName)
  lkLoadSaveStream,        ///< procedure(Stream)
  lkLoadSaveFileRetInt,    ///< function(FileName): Integer
  lkRetBool,               ///< function: Boolean
  lkLoadSaveStreamRetInt,  ///< function(Stream): Integer
  lkLoadSaveFileFormat,    ///< procedure(FileName, FileType)
  lkLoadSaveStreamFormat,  ///< procedure(Stream, FileType)
  lkCaptureFromScreen,     ///< procedure(Source, MouseCursor)
  lkLoadSaveIndex,         ///< procedure(Index)
  lkImportMetaFile,        ///< procedure(FileName, Width, Height, WithAlpha)
  lkLoadFromURL,           ///< procedure(URL)
  lkAcquire,               ///< function(Api): Boolean
};

/// Stored operations, one type per kind.
using TLKIOMethodFile = std::function<void(const String& FileName)>;
using TLKIOMethodStream = std::function<void(TStream* Stream)>;
using TLKIOMethodFileRetInt = std::function<Integer(const String& FileName)>;
using TLKIOMethodRetBool = std::function<bool()>;
using TLKIOMethodStreamRetInt = std::function<Integer(TStream* Stream)>;
using TLKIOMethodFileFormat = std::function<void(const String& FileName, Integer FileType)>;
using TLKIOMethodStreamFormat = std::function<void(TStream* Stream, Integer FileType)>;
using TLKIOMethodIndex = std::function<void(Integer Index)>;
using TLKIOMethodImportMetaFile =
    std::function<void(const String& FileName, Integer Width, Integer Height, bool WithAlpha)>;
using TLKIOMethodURL = std::function<void(const String& URL)>;

/// One asynchronous call of an I/O operation.
///
/// Build it with `new TLKIOThread(Owner, Method, args...)` (not with
/// TThread::Create, which would touch the object after it may have freed
/// itself), passing the method as its std::function type so that the kind
/// is unambiguous. The constructor creates the thread suspended, stores the
/// call, adds the thread to Owner's worker list under the list lock and
/// starts it. Raises EThread when the system cannot start a thread (the
/// worker is then taken off the list again). The caller never touches the
/// object afterwards: it frees itself when its call has ended.
///
/// Execute records the running thread's id, calls the stored operation
/// (results of functions are discarded), and finally takes itself off the
/// list. An exception from the operation is written to the debug output
/// ("Exception in TLKIOThread.Execute") and sets the owner's abort flag; it
/// never leaves the thread.
class TLKIOThread final : public TThread {
 public:
  /// lkLoadSaveFile: Method(FileName).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodFile Method, const String& FileName);
  /// lkLoadSaveStream: Method(Stream).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodStream Method, TStream* Stream);
  /// lkLoadSaveFileRetInt: Method(FileName).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodFileRetInt Method, const String& FileName);
  /// lkRetBool: Method().
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodRetBool Method);
  /// lkLoadSaveStreamRetInt: Method(Stream).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodStreamRetInt Method, TStream* Stream);
  /// lkLoadSaveFileFormat: Method(FileName, FileType).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodFileFormat Method, const String& FileName, Integer FileType);
  /// lkLoadSaveStreamFormat: Method(Stream, FileType).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodStreamFormat Method, TStream* Stream, Integer FileType);
  /// lkLoadSaveIndex: Method(Index).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodIndex Method, Integer Index);
  /// lkImportMetaFile: Method(FileName, Width, Height, WithAlpha).
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodImportMetaFile Method, const String& FileName, Integer Width,
              Integer Height, bool WithAlpha);
  /// lkLoadFromURL: Method(URL); Unused is ignored.
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodURL Method, const String& URL, double Unused);

  /// The kind of call this worker makes.
  TLKIOMethodTypes GetKind() const { return FKind; }
  /// Id of the thread running the call; 0 until Execute has started.
  TThreadID GetRunningThreadID() const { return FRunningID.load(std::memory_order_acquire); }

 protected:
  void Execute() override;

 private:
  TLKIOThread(TLumerakIO* Owner, TLKIOMethodTypes Kind);
  // Lists the worker with its owner and starts it.
  void ListAndStart();
  // Calls the stored operation for the kind.
  void CallMethod();

  TLumerakIO* FOwner;
  TLKIOMethodTypes FKind;
  std::atomic<TThreadID> FRunningID{0};

  TLKIOMethodFile FMethodFile;
  TLKIOMethodStream FMethodStream;
  TLKIOMethodFileRetInt FMethodFileRetInt;
  TLKIOMethodRetBool FMethodRetBool;
  TLKIOMethodStreamRetInt FMethodStreamRetInt;
  TLKIOMethodFileFormat FMethodFileFormat;
  TLKIOMethodStreamFormat FMethodStreamFormat;
  TLKIOMethodIndex FMethodIndex;
  TLKIOMethodImportMetaFile FMethodImportMetaFile;
  TLKIOMethodURL FMethodURL;

  String FString;
  TStream* FStream = nullptr;
  Integer FInt1 = 0, FInt2 = 0;
  bool FBool = false;
};
