// A minimal little-endian TIFF directory writer, and the EXIF and GPS
// directories built with it from the EXIF group of the parameters.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "io/lkparams.h"
#include "platform/classes.h"

/// TIFF field types used by the writer.
enum TLKTIFFWriteType : Word {
  twByte = 1, twAscii = 2, twShort = 3, twLong = 4, twRational = 5, twUndefined = 7, twSRational = 10
};

/// One directory being built: entries collected in memory, values longer
/// than 4 bytes written to the stream at once at its position. Offsets are
/// counted from Base, the stream position of the TIFF header.
class TLKTIFFDirWriter {
 public:
  /// One 12-byte entry, host order.
  struct Entry {
    Word Tag;
    Word Type;
    DWORD Count;
    DWORD Value;
  };

  /// Writes into Stream (not owned); a short write sets *Abort (may be null).
  TLKTIFFDirWriter(TStream* Stream, Int64 Base, std::atomic<bool>* Abort);

  /// SHORT values (1 or 2 sit in the entry).
  void AddShort(Word Tag, std::initializer_list<Integer> Values);
  void AddShorts(Word Tag, const Integer* Values, std::size_t Count);
  void AddLong(Word Tag, DWORD Value);
  /// SHORT when Value fits in 16 bits, LONG otherwise.
  void AddShortOrLong(Word Tag, Int64 Value);
  /// RATIONAL (or SRATIONAL) values from reals (TIFFFloatToRational).
  void AddRationals(Word Tag, std::initializer_list<double> Values, bool Signed = false);
  void AddRationals(Word Tag, const double* Values, std::size_t Count, bool Signed = false);
  /// RATIONAL values from numerator and denominator pairs.
  void AddRationalPairs(Word Tag, std::initializer_list<std::pair<DWORD, DWORD>> Pairs);
  /// Text: nothing when empty; up to 4 characters in the entry without a
  /// terminating zero; longer with one.
  void AddText(Word Tag, const String& Text);
  /// Raw bytes of the given type (BYTE or UNDEFINED); nothing when empty.
  void AddBytes(Word Tag, Word Type, const void* Data, DWORD Count);
  /// UTF-16 text as BYTE values with a terminating zero character; nothing
  /// when empty.
  void AddWide(Word Tag, const std::u16string& Text);

  /// Writes the directory at the next even position (entry count, entries
  /// sorted by tag, next-directory offset Next) and returns its offset from
  /// Base. NextPointerPos (when given) receives the stream position of the
  /// next-directory offset, to link a later directory.
  DWORD WriteDirectory(DWORD Next, Int64* NextPointerPos = nullptr);

  bool IsEmpty() const { return FEntries.empty(); }
  const std::vector<Entry>& GetEntries() const { return FEntries; }
  /// Offset of the stream's current position from Base.
  DWORD Here();
  /// Writes a zero byte when the current position is odd, so that the next
  /// value starts on a word boundary.
  void AlignWord();
  /// Writes bytes at the current position.
  void Put(const void* Data, Integer Count);
  void Add(Word Tag, Word Type, DWORD Count, DWORD Value) { FEntries.push_back({Tag, Type, Count, Value}); }

 private:
  // Puts Data in the entry when it fits in 4 bytes, else writes it out.
  void AddData(Word Tag, Word Type, DWORD Count, const std::vector<Byte>& Data);

  TStream* FStream;
  Int64 FBase;
  std::atomic<bool>* FAbort;
  std::vector<Entry> FEntries;
};

/// Numerator of Value over Denominator: the denominator starts at 1000000
/// and is divided by 10 while |Value| x Denominator exceeds 2147483640
/// (never below 1; the numerator is then clamped to that bound); the
/// numerator is Value x Denominator rounded.
Integer TIFFFloatToRational(Integer& Denominator, double Value);

/// Adds the EXIF entries of a main directory to Main (description,
/// resolution, orientation, software, the Windows XP texts, artist, make,
/// model, date, colour data, copyright), writes the EXIF directory, with
/// the maker note of Params less its entries of 1024 bytes of data or more,
/// and the GPS directory when "EXIF_GPSVERSIONID" is not empty, at the
/// stream position, and adds the pointer entries 34665 (and 34853) to Main.
void TIFFWriteEXIF(TLKTIFFDirWriter& Main, TStream* Stream, Int64 Base, TIOParamsVals& Params,
                   std::atomic<bool>* Abort);

/// Writes the GPS directory of Params at the stream position and adds the
/// pointer entry 34853 to Main.
void TIFFWriteGPS(TLKTIFFDirWriter& Main, TStream* Stream, Int64 Base, const TIOParamsVals& Params,
                  std::atomic<bool>* Abort);
