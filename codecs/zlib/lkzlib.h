// Compression streams: a stream that deflates everything written to it into
// another stream, one that inflates what it reads from another, and
// one-shot helpers for memory blocks, strings and whole streams. The data
// are in the zlib format (two-byte header, check value at the end).
#pragma once

#include <zlib.h>

#include <functional>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/system.h"

/// zlib levels 0, 1, the library default and 9.
enum TZCompressionLevel { zcNone, zcFastest, zcDefault, zcMax };

class EZLibError : public Exception {
  using Exception::Exception;
};
class EZCompressionError : public EZLibError {
  using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
  using EZLibError::EZLibError;
};

/// What both stream classes share: the wrapped stream (not owned), its
/// position as this object last left it, the zlib record, a 64 KB buffer
/// and a progress event fired once per buffer.
class TCustomZStream : public TStream {
 public:
  std::function<void(TObject* Sender)> OnProgress;

 protected:
  TCustomZStream(TStream* Stream);
  void DoProgress();
  TStream* FStrm;
  Int64 FStrmPos;
  z_stream FZRec{};
  std::vector<Byte> FBuffer;
};

/// Write-only: deflates what is written into the destination. The output
/// is complete only once the object is destroyed.
class TZCompressionStream : public TCustomZStream {
 public:
  TZCompressionStream(TStream* Dest, TZCompressionLevel Level = zcDefault);
  ~TZCompressionStream() override;
  /// Raises EZCompressionError "Invalid ZStream operation!".
  Integer Read(void* Buffer, Integer Count) override;
  Integer Write(const void* Buffer, Integer Count) override;
  /// Only offset 0 from the current position: the bytes written so far.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  /// (1 - bytes out / bytes in) x 100; 0 before anything was written.
  float GetCompressionRate();
};

/// Read-only: inflates what it reads from the source, leaving the source
/// just after the compressed data at its end.
class TZDecompressionStream : public TCustomZStream {
 public:
  explicit TZDecompressionStream(TStream* Source);
  ~TZDecompressionStream() override;
  Integer Read(void* Buffer, Integer Count) override;
  /// Raises EZDecompressionError "Invalid ZStream operation!".
  Integer Write(const void* Buffer, Integer Count) override;
  /// 0 from the beginning rewinds (the source to the position it had when
  /// this object was made); forward seeks read and discard; 0 from the end
  /// reads to the end. Returns the bytes produced so far.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
 private:
  Int64 FStart;
};

/// One-shot coding of a block; the output is allocated here and belongs to
/// the caller. Corrupt or truncated input raises EZDecompressionError.
void ZCompress(const void* InBuf, Integer InBytes, std::vector<Byte>& Out, TZCompressionLevel Level = zcDefault);
void ZDecompress(const void* InBuf, Integer InBytes, std::vector<Byte>& Out, Integer OutEstimate = 0);
String ZCompressStr(const String& S, TZCompressionLevel Level = zcDefault);
String ZDecompressStr(const String& S);
/// Codes Source from its position to its end into Dest.
void ZCompressStream(TStream* Source, TStream* Dest, TZCompressionLevel Level = zcDefault);
void ZDecompressStream(TStream* Source, TStream* Dest);
