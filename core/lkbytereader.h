// The bounded byte reader: a cursor over a stream or a memory block for the
// header and table parsing of codecs and probes.
//
// Every read is bounded by the end of the input (and by a length the caller
// may give). A read that cannot be served in full fails: it delivers zeros
// for the bytes it could not read, moves nothing past the end and leaves the
// reader in a sticky failed state, so a parser can read a whole header and
// test Ok() once at the end instead of after every field. Reads at an offset
// (PeekAt, the *At forms) leave the cursor where it is and never pass the
// end either.
//
// Positions are relative to where the reader starts: for a stream, its
// position when the reader was made; for a memory block, its first byte.
// A stream reader moves the stream's position as it reads and does not set
// it back when it goes away (probes restore the position themselves).
//
// The plain functions below read and write fixed-width values in a buffer
// the caller has already checked the length of.
#pragma once

#include <cstddef>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Reads a little- or big-endian value from P (the caller checked there are
/// enough bytes).
inline Word LKGetLE16(const Byte* P) { return static_cast<Word>(P[0] | (P[1] << 8)); }
inline Word LKGetBE16(const Byte* P) { return static_cast<Word>((P[0] << 8) | P[1]); }
inline Cardinal LKGetLE32(const Byte* P) {
  return Cardinal(P[0]) | (Cardinal(P[1]) << 8) | (Cardinal(P[2]) << 16) | (Cardinal(P[3]) << 24);
}
inline Cardinal LKGetBE32(const Byte* P) {
  return (Cardinal(P[0]) << 24) | (Cardinal(P[1]) << 16) | (Cardinal(P[2]) << 8) | Cardinal(P[3]);
}
/// Writes V little- or big-endian at P.
inline void LKPutLE16(Byte* P, Word V) {
  P[0] = Byte(V);
  P[1] = Byte(V >> 8);
}
inline void LKPutBE16(Byte* P, Word V) {
  P[0] = Byte(V >> 8);
  P[1] = Byte(V);
}
inline void LKPutLE32(Byte* P, Cardinal V) {
  P[0] = Byte(V);
  P[1] = Byte(V >> 8);
  P[2] = Byte(V >> 16);
  P[3] = Byte(V >> 24);
}
inline void LKPutBE32(Byte* P, Cardinal V) {
  P[0] = Byte(V >> 24);
  P[1] = Byte(V >> 16);
  P[2] = Byte(V >> 8);
  P[3] = Byte(V);
}

/// A bounded cursor over a stream or a memory block.
class TLKByteReader {
 public:
  /// Over the stream from its current position to its end. The stream is
  /// not owned and must outlive the reader.
  explicit TLKByteReader(TStream& Stream);
  /// Over at most Length bytes of the stream from its current position
  /// (fewer when the stream ends sooner).
  TLKByteReader(TStream& Stream, Int64 Length);
  /// Over Size bytes at Data, which must stay valid while the reader is
  /// used.
  TLKByteReader(const void* Data, size_t Size);

  TLKByteReader(const TLKByteReader&) = delete;
  TLKByteReader& operator=(const TLKByteReader&) = delete;

  /// False once any read, seek or skip could not be served in full.
  bool Ok() const { return !FFailed; }
  bool Failed() const { return FFailed; }
  /// Marks the reader failed (a parser that found a bad value).
  void Fail() { FFailed = true; }

  /// The cursor, from the start of the input.
  Int64 Position() const { return FPos; }
  /// Bytes the input holds from its start.
  Int64 Size() const { return FSize; }
  /// Bytes left after the cursor (0 at or past the end).
  Int64 Remaining() const { return FPos < FSize ? FSize - FPos : 0; }

  /// Moves the cursor to Pos; a position outside 0..Size() fails and leaves
  /// the cursor at the end.
  bool Seek(Int64 Pos);
  /// Moves the cursor Count bytes on; past the end fails (cursor at the end).
  bool Skip(Int64 Count);

  /// Reads Count bytes at the cursor into Buffer: true when all were there.
  /// Otherwise the bytes that were there are copied, the rest of Buffer is
  /// zeroed, the cursor goes to the end and the reader fails.
  bool Read(void* Buffer, size_t Count);
  /// Reads up to Count bytes at the cursor; returns how many. Reading less
  /// than asked is not a failure (for a scan that takes what is there).
  size_t ReadSome(void* Buffer, size_t Count);

  /// Values at the cursor; 0 (and the reader failed) when the input ends.
  Byte U8();
  Word U16LE();
  Word U16BE();
  Cardinal U32LE();
  Cardinal U32BE();
  /// In the byte order BigEndian names (TIFF-like inputs).
  Word U16(bool BigEndian) { return BigEndian ? U16BE() : U16LE(); }
  Cardinal U32(bool BigEndian) { return BigEndian ? U32BE() : U32LE(); }

  /// Reads Count bytes at Pos without moving the cursor: true when all were
  /// there; otherwise the rest of Buffer is zeroed and the reader fails.
  bool PeekAt(Int64 Pos, void* Buffer, size_t Count);
  /// Values at Pos without moving the cursor; 0 (reader failed) past the end.
  Byte U8At(Int64 Pos);
  Word U16LEAt(Int64 Pos);
  Word U16BEAt(Int64 Pos);
  Cardinal U32LEAt(Int64 Pos);
  Cardinal U32BEAt(Int64 Pos);
  Word U16At(Int64 Pos, bool BigEndian) { return BigEndian ? U16BEAt(Pos) : U16LEAt(Pos); }
  Cardinal U32At(Int64 Pos, bool BigEndian) { return BigEndian ? U32BEAt(Pos) : U32LEAt(Pos); }

 private:
  // Copies up to Count bytes at Pos (inside the input) into Buffer; returns
  // how many were copied.
  size_t Fetch(Int64 Pos, void* Buffer, size_t Count);

  TStream* FStream = nullptr;
  const Byte* FData = nullptr;
  Int64 FBase = 0;  // stream position of the reader's 0
  Int64 FSize = 0;
  Int64 FPos = 0;
  bool FFailed = false;
};
