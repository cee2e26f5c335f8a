// Internals shared by the JPEG reader, writer and wrappers: the error
// manager, the stream source and destination managers and the guard that
// turns the library's fatal errors into ELKJpegException.
//
// The library is C: a C++ exception must never unwind through its frames.
// The error exit therefore long-jumps back to the guard (a frame of ours
// that holds no objects with destructors), and the guard raises the
// exception from there. The stream callbacks catch whatever the streams
// raise.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

#include "codecs/jpeg/jpegfilt.h"

/// The library's error manager extended with the warning count, the last
/// message code, the caller's abort flag and the jump target of the guard.
struct TLKJpegErrorMgr {
  jpeg_error_mgr pub;
  Integer WarningCount = 0;
  Integer LastCode = 0;
  /// The entropy data ended (a marker met) while a scan still needed it.
  bool DataEnded = false;
  std::atomic<bool>* AbortFlag = nullptr;
  std::jmp_buf* Jump = nullptr;
  char Message[JMSG_LENGTH_MAX] = {};
};

/// Sets up Mgr from the routine template with the given abort flag (may be
/// null) and returns the library's view of it.
jpeg_error_mgr* LKJpegInitErrorMgr(TLKJpegErrorMgr& Mgr, std::atomic<bool>* AbortFlag);

/// Writes the message text of a library code into Buffer (truncated to
/// Size, zero-terminated); uses no heap, so the error exit can call it.
void LKJpegFormatText(Integer Code, char* Buffer, std::size_t Size);

/// The message text of a library code: parameters shown as "?", codes 73 and
/// 74 empty, codes outside 0 .. 123 "Corrupted". Parameters printed side by side
/// show as one "?".
String LKJpegMessageText(Integer Code);

/// Size of the stream managers' buffers.
inline constexpr std::size_t LKJpegBufferSize = 65536;

/// Source manager reading a TStream.
struct TLKJpegSource {
  jpeg_source_mgr pub;
  TStream* Stream;
  bool StartOfFile;
  /// The data ended before the end-of-image marker: the source then hands
  /// the library an end-of-image marker of its own.
  bool PrematureEnd;
  std::atomic<bool>* AbortFlag;
  JOCTET* Buffer;
  TLKJpegFillInputFunc UserFill;
};

/// Attaches the stream source manager to Info (from the library's permanent
/// pool, freed with the record); re-points an attached one to Stream and
/// empties its buffer. Call under LKJpegGuard.
void LKJpegAttachSource(j_decompress_ptr Info, TStream* Stream, std::atomic<bool>* AbortFlag);

/// Replaces the fill-input routine of an attached stream source manager by
/// the caller's (null restores the stream reader).
void LKJpegSetUserFill(j_decompress_ptr Info, TLKJpegFillInputFunc Func);

/// Attaches a destination manager writing Stream (permanent pool). Call
/// under LKJpegGuard.
void LKJpegAttachDest(j_compress_ptr Info, TStream* Stream, std::atomic<bool>* AbortFlag);

/// Runs F (calls into the library) with Err's jump target set. Returns true
/// when F ran through, false after a fatal library error (Err->Message holds
/// the text). F must not hold objects with destructors across library calls.
template <class F>
bool LKJpegGuard(TLKJpegErrorMgr* Err, F&& Fn) {
  std::jmp_buf here;
  std::jmp_buf* prev = Err->Jump;
  Err->Jump = &here;
  if (setjmp(here) != 0) {
    Err->Jump = prev;
    return false;
  }
  Fn();
  Err->Jump = prev;
  return true;
}

/// LKJpegGuard that raises ELKJpegException with the message on failure.
template <class F>
void LKJpegCall(TLKJpegErrorMgr* Err, F&& Fn) {
  if (!LKJpegGuard(Err, Fn)) throw ELKJpegException(Err->Message);
}
