// Host side of external I/O plug-ins: shared libraries that add image formats
// to the format registry. Registration gives each format of a library a file
// type from 4096 up and registry functions (read, write, probe) that run the
// plug-in through the contract of io/lkxplugin.h. Every read, probe and write
// opens its own plug-in instance and closes it before returning; the formats
// of a library without the thread-safe flag are serialised by a lock of their
// own, held from the instance's opening to its closing.
//
// Lock order: a plug-in's lock is taken before the I/O component's
// worker-list lock (the progress callback runs inside the plug-in's lock).
#pragma once

#include <memory>
#include <type_traits>

#include "core/hylkdefs.h"
#include "io/lkfileformats.h"
#include "io/lkxplugin.h"
#include "platform/classes.h"
#include "platform/dynlib.h"
#include "platform/syncobjs.h"

class TLKBitmap;
class TIOParamsVals;

/// Bytes of the buffered reader the read bridge puts between the stream and
/// the plug-in.
inline constexpr Integer kLKExtIOReadBufferSize = 8192;

/// The nine exports of a plug-in library.
struct TLKXExports {
  LKX_ExecuteReadProc ExecuteRead = nullptr;
  LKX_ExecuteWriteProc ExecuteWrite = nullptr;
  LKX_ExecuteTryProc ExecuteTry = nullptr;
  LKX_AddParameterProc AddParameter = nullptr;
  LKX_SetCallBacksProc SetCallBacks = nullptr;
  LKX_InitializeProc Initialize = nullptr;
  LKX_FinalizeProc Finalize = nullptr;
  LKX_GetInfoProc GetInfo = nullptr;
  LKX_SetInfoProc SetInfo = nullptr;

  /// Looks every export up by its LKX_NAME_* name; Find returns the address
  /// of a name, or null when the library lacks it.
  template <typename TFind>
  void Resolve(TFind&& Find) {
    const auto get = [&](auto& Fn, const char* Name) { Fn = reinterpret_cast<std::decay_t<decltype(Fn)>>(Find(Name)); };
    get(ExecuteRead, LKX_NAME_EXECUTEREAD);
    get(ExecuteWrite, LKX_NAME_EXECUTEWRITE);
    get(ExecuteTry, LKX_NAME_EXECUTETRY);
    get(AddParameter, LKX_NAME_ADDPARAMETER);
    get(SetCallBacks, LKX_NAME_SETCALLBACKS);
    get(Initialize, LKX_NAME_INITIALIZE);
    get(Finalize, LKX_NAME_FINALIZE);
    get(GetInfo, LKX_NAME_GETINFO);
    get(SetInfo, LKX_NAME_SETINFO);
  }

  /// True when every export was found.
  bool Complete() const {
    return ExecuteRead && ExecuteWrite && ExecuteTry && AddParameter && SetCallBacks && Initialize && Finalize &&
           GetInfo && SetInfo;
  }
};

/// One registered plug-in format. Each record holds its own reference to the
/// library, released at module end.
struct TLKIOPlugin : TLKXExports {
  HMODULE LibHandle = nullptr;
  /// File type assigned at registration (4096 and up).
  Integer FileType = 0;
  /// Serialises the format's instances; null when the plug-in declared
  /// LKX_FLAG_THREADSAFE.
  std::unique_ptr<TCriticalSection> CS;
  /// Flags the plug-in reported (LKX_FLAG_*).
  Integer Flags = 0;
  /// Index of the format inside its library (0 = first).
  Integer FormatIndex = 0;
  /// Library file name as given to LKAddExtIOPlugin.
  String FileName;
};
using PLKIOPlugin = TLKIOPlugin*;

/// What the host callbacks work on during one plug-in call; the plug-in only
/// hands the pointer back.
struct TLKExtIOContext {
  /// Progress event and its Sender (empty during a probe).
  TLKProgressEvent OnProgress;
  TObject* Sender = nullptr;
  /// The stream the byte callbacks read or write.
  TStream* Stream = nullptr;
  /// The parameter record of the keyword callbacks (null during a probe).
  TIOParamsVals* Params = nullptr;
  /// Stream position at entry: the plug-in's position 0.
  Int64 Base = 0;
  /// Bytes written through the write callback.
  Int64 Written = 0;
};

/// The plug-in records (PLKIOPlugin, owned) in registration order. Filled on
/// the main thread at start-up; read without a lock afterwards.
extern TList lkgExtIOPlugins;

/// Registers every format of the plug-in library FileName (loaded by the
/// platform's plug-in name rule). Returns the file type of the last format
/// registered; 0 when the library is registered already (same name without
/// folder), cannot be loaded or lacks an entry point. Formats registered
/// before a failure stay. Registration stops once as many formats as the
/// library reports (at least one) are registered. Never shows anything.
Integer LKAddExtIOPlugin(const String& FileName);

/// True when a registered library has the file name of FileName (folders
/// ignored, letter case significant).
bool LKIsExtIOPluginLoaded(const String& FileName);

/// The first plug-in record of FileType, null when there is none.
PLKIOPlugin LKFindExtIOPlugin(Integer FileType);

/// Registry read function of plug-in formats: decodes Stream from its
/// position through the plug-in of IOParams.FILETYPE. Fills WIDTH, HEIGHT,
/// BITSPERSAMPLE and SAMPLESPERPIXEL, empties the palette, and unless
/// Preview fills Bitmap (in the plug-in's format when ISNATIVEPIXELFORMAT,
/// else lk1g or lk24RGB). With GETTHUMBNAIL, an EXIF thumbnail found by a
/// parameters-only pass becomes the picture. Sets the abort flag when there
/// is no such plug-in, or (unless Preview) when the plug-in delivers no rows,
/// a zero or oversized picture, or a pixel format outside 1..9 or lk8p.
void LKExtIOPluginRead(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress,
                       bool Preview);

/// Registry probe of plug-in formats: true when the plug-in of FileType
/// recognises Stream (read from its position, which the caller restores).
/// The parameter callbacks have no record during a probe.
bool LKExtIOPluginTry(TStream& Stream, Integer FileType);

/// Registry write function of plug-in formats: encodes Bitmap into Stream
/// through the plug-in of IOParams.FILETYPE. Sets the abort flag when there
/// is no such plug-in, when Bitmap is empty or lk8p, or when the plug-in
/// writes nothing.
void LKExtIOPluginWrite(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress);

/// Module end of the plug-ins: for each record in order removes its registry
/// record (when the registry exists), deletes its lock, releases its library
/// reference and frees it; then empties lkgExtIOPlugins. Called by
/// LKIOModuleEnd.
void LKExtIOModuleEnd();

// The host callbacks, in the order LKX_SetCallBacks receives them. Context is
// a TLKExtIOContext. None lets an exception out; a failing read, write or
// query answers 0.
extern "C" {
/// Calls the context's progress event with its Sender and Percent.
void LKExtIOProgressCallBack(int32_t Percent, void* Context);
/// Reads up to Count bytes of the context's stream; returns the number read.
int32_t LKExtIOReadCallBack(void* Buffer, int32_t Count, void* Context);
/// Writes Count bytes to the context's stream; returns the number written.
int32_t LKExtIOWriteCallBack(const void* Buffer, int32_t Count, void* Context);
/// Moves to Position bytes after the entry position (negative: to it).
void LKExtIOSetPosCallBack(int32_t Position, void* Context);
/// Position relative to the entry position (clamped to int32).
int32_t LKExtIOGetPosCallBack(void* Context);
/// Bytes from the entry position to the end (clamped to 0..int32 max).
int32_t LKExtIOSizeCallBack(void* Context);
/// Copies the keyword's value, cut to LKX_PARAM_BUFFER_SIZE - 1 bytes (at a
/// character boundary) and zero-terminated, into Dest; an empty text when the
/// context has no record.
void LKExtIOGetParamCallBack(const char* Name, char* Dest, void* Context);
/// Stores Value under the keyword Name; nothing when the context has no
/// record.
void LKExtIOSetParamCallBack(const char* Name, const char* Value, void* Context);
}
