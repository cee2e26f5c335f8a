// Buffered one-way views of other streams, an index-based quicksort driven
// by caller callbacks, and the text forms of numbers, colours and Booleans
// that the keyword interface of the I/O parameters and the preview-dialog
// parameter files read and write. The text forms never follow the locale.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// A read-only buffered view of another stream. Positions are those of the
/// source; the source's size is taken once at creation. Runs are copied
/// from the buffer, and a seek that lands inside the loaded window only
/// moves the index into it. Reads never go past the source's size, and a
/// source that delivers fewer bytes than it claims ends the read early.
class TLKBufferedReadStream : public TStream {
 public:
  /// Reads Source (not owned, must outlive this stream) from its current
  /// position through a buffer of BufferSize bytes (at least 1).
  TLKBufferedReadStream(TStream* Source, Integer BufferSize);
  ~TLKBufferedReadStream() override;

  /// Replaces the buffer by one of Size bytes (at least 1) and loads it at
  /// the current position.
  void AllocBufferSize(Integer Size);
  /// Loads the buffer from the source at the current position (fewer bytes
  /// near the end, none outside 0 .. size - 1).
  void LoadData();

  /// Copies up to Count bytes; returns the number copied, fewer at the end
  /// of the source. When Count exceeds the buffer size the buffer first
  /// grows to Count bytes, but never beyond the bytes left in the source.
  Integer Read(void* Buffer, Integer Count) override;
  /// Always raises Exception "TLKBufferedReadStream cannot write!".
  Integer Write(const void* Buffer, Integer Count) override;
  /// From the beginning: Offset; from the current position: position +
  /// Offset; from the end: size - Offset (the offset counts backwards, so 0
  /// is the end); any other origin keeps the position. Returns the new
  /// position, or -1 (position unchanged) when it would overflow.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  /// The source's size taken at creation.
  Int64 GetSize() override { return FSourceSize; }

  Integer GetBufferSize() const { return FBufferSize; }

 private:
  TStream* FSource;
  Integer FBufferSize = 0;
  std::unique_ptr<Byte[]> FBuffer;
  Int64 FPosition = 0;
  Integer FBufferIndex = 0;
  Int64 FSourceSize = 0;
  // Bytes of the buffer that hold source data, loaded at FPosition - FBufferIndex.
  Integer FBufferFill = 0;
};

/// A write-only buffered view of another stream: bytes are gathered in a
/// buffer and written to the target each time it is full, on FlushData, on
/// Seek and on destruction.
class TLKBufferedWriteStream : public TStream {
 public:
  /// Writes to Target (not owned, must outlive this stream) through a
  /// buffer of BufferSize bytes (at least 1).
  TLKBufferedWriteStream(TStream* Target, Integer BufferSize);
  /// Flushes what is waiting; a write error at this point is lost, so call
  /// FlushData first when it matters.
  ~TLKBufferedWriteStream() override;

  /// Takes all Count bytes, writing full buffers to the target; returns
  /// Count (0 for Count <= 0). A target that takes fewer bytes raises
  /// EWriteError.
  Integer Write(const void* Buffer, Integer Count) override;
  /// Always raises Exception "TLKBufferedWriteStream cannot read!".
  Integer Read(void* Buffer, Integer Count) override;
  /// Flushes, then seeks the target with the same arguments and returns
  /// its result.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  /// Writes the waiting bytes to the target (EWriteError when it takes
  /// fewer; the bytes are dropped either way).
  void FlushData();

  /// Number of bytes waiting in the buffer.
  Integer GetCount() const { return FCount; }

 private:
  TStream* FTarget;
  std::unique_ptr<Byte[]> FBuffer;
  Integer FBufferSize = 0;
  Integer FCount = 0;
};

/// Compares the items at two indexes: negative, zero or positive as the
/// first sorts before, with or after the second. Must accept equal indexes.
using TLKCompareFunction = std::function<Integer(Integer Index1, Integer Index2)>;
/// Exchanges the items at two indexes. Must accept equal indexes.
using TLKSwapFunction = std::function<void(Integer Index1, Integer Index2)>;

/// Sorts the items 0 .. Count - 1 of the caller's collection in place
/// through the callbacks (not stable). Nothing happens for Count <= 0. The
/// callbacks only ever see indexes within 0 .. Count - 1, even when the
/// comparison is inconsistent, and the recursion depth stays logarithmic.
void LKQuickSort(Integer Count, const TLKCompareFunction& Compare, const TLKSwapFunction& Swap);

/// The number in general decimal form with up to 15 significant digits and
/// "." as decimal separator whatever the locale ("0.6", "1", "2.2"); the
/// exponent form ("1E15", "1.5E-7") only below 0.0001 or from 1E15 on.
/// "NAN", "INF" and "-INF" for the special values.
String LKFloatToStr(long double Value);
/// The text without characters below 32 and without 127.
String LKRemoveCtrlChars(const String& S);
/// Red, green and blue in decimal joined by "," (red first, no blanks).
String LKrgb2str(const TRGB& Colour);
/// "1" or "0".
String LKbool2str(bool Value);
/// Parses "red,green,blue" into Colour: each part is trimmed of blanks and
/// read as a decimal integer (0 when it is not one) and its low byte is
/// stored; parts beyond the third are ignored and a colour byte without a
/// part keeps its value.
void LKstr2rgb(const String& S, TRGB& Colour);
/// As the other overload starting from black: missing parts give 0.
TRGB LKstr2rgb(const String& S);
/// True when the text, upper-cased, is "1", "TRUE" or "T".
bool LKstr2bool(const String& S);
