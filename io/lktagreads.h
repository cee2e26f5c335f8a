// Typed reads of one loaded TIFF tag directory, shared by the readers of
// whole TIFF files and of maker-note blocks held in memory.
#pragma once

#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "core/hylkdefs.h"
#include "platform/classes.h"

/// The typed reads of the directory in FEnv. Every read is bounded by the
/// directory's stream; a missing tag gives the read's default.
class TLKTagReads : public TObject {
 public:
  /// The first value of the tag (a SHORT's 16 bits, other types the whole
  /// value field); 0 when missing.
  Integer GetInteger(Word Tag) const;
  /// Element Index of a SHORT or LONG tag; 0 for other types, a missing
  /// tag or an index outside the count.
  Integer GetIntegerIndexed(Word Tag, Integer Index) const;
  /// Every element of a SHORT or LONG tag into Values; returns the count.
  Integer GetIntegerArray(Word Tag, std::vector<Integer>& Values) const;
  /// The first element as a real (numerator / denominator for rationals,
  /// a zero denominator counting as 1); 0 when missing.
  double GetRational(Word Tag) const;
  /// Element Index the same way; 0 when missing or Index >= count.
  double GetRationalIndexed(Word Tag, Integer Index) const;
  /// The text; a value of more than 4 bytes loses one final zero byte;
  /// empty when missing.
  String GetString(Word Tag) const;
  /// The text of a value of at most 4 bytes held in the entry.
  String GetMiniString(Word Tag) const;
  /// The value's bytes; empty when missing or outside the stream.
  std::vector<Byte> GetRawData(Word Tag) const;
  /// The element count, 0 when missing.
  Integer TagLength(Word Tag) const;
  /// True when the directory holds the tag.
  bool TagExists(Word Tag) const;

 protected:
  TTIFFEnv FEnv;
};
