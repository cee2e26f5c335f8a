// The tag directory of an EXIF maker note, held in memory and read by tag.
#pragma once

#include <vector>

#include "codecs/tiff/tiffdir.h"
#include "core/hylkdefs.h"
#include "platform/classes.h"

/// One TIFF tag directory kept in a memory stream: a 16-bit entry count,
/// the 12-byte entries and the values that do not fit in them, all numbers
/// little-endian and every value offset counted from the block's first
/// byte. Producers (the TIFF reader's maker-note copy, the camera RAW
/// helpers) write the block into GetStream() and call Update; the readers
/// see the directory as of the last Update. Every read is bounded by the
/// block: a damaged block gives the readers' defaults.
class TLKTagsHandler : public TObject {
 public:
  TLKTagsHandler();
  ~TLKTagsHandler() override;
  TLKTagsHandler(const TLKTagsHandler&) = delete;
  TLKTagsHandler& operator=(const TLKTagsHandler&) = delete;

  /// The block; write into it, then call Update.
  TMemoryStream* GetStream() { return &FStream; }
  /// Re-reads the directory from the block: none when the block is empty;
  /// otherwise the count at position 0 and as many whole entries as the
  /// block holds of it.
  void Update();
  /// Empties the block and the directory.
  void Clear();
  /// Takes a copy of Source's block and re-reads the directory.
  void Assign(const TLKTagsHandler& Source);

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
  /// The value's bytes; empty when missing or outside the block.
  std::vector<Byte> GetRawData(Word Tag) const;
  /// The element count, 0 when missing.
  Integer TagLength(Word Tag) const;
  /// True when the directory holds the tag.
  bool TagExists(Word Tag) const;

  /// The loaded directory (entries in host order, little-endian block).
  const TTIFFEnv& GetEnv() const { return FEnv; }

 private:
  // Mutable: the readers seek the block, which is no change of its content.
  mutable TMemoryStream FStream;
  TTIFFEnv FEnv;
};
