// The tag directory of an EXIF maker note, held in memory and read by tag.
#pragma once

#include <vector>

#include "io/lktagreads.h"

/// One TIFF tag directory kept in a memory stream: a 16-bit entry count,
/// the 12-byte entries and the values that do not fit in them, all numbers
/// little-endian and every value offset counted from the block's first
/// byte. Producers (the TIFF reader's maker-note copy, the camera RAW
/// helpers) write the block into GetStream() and call Update; the readers
/// see the directory as of the last Update. Every read is bounded by the
/// block: a damaged block gives the readers' defaults.
class TLKTagsHandler : public TLKTagReads {
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

  // The typed reads (GetInteger ... TagExists) are TLKTagReads'.

  /// The loaded directory (entries in host order, little-endian block).
  const TTIFFEnv& GetEnv() const { return FEnv; }

 private:
  // Mutable: the readers seek the block, which is no change of its content.
  mutable TMemoryStream FStream;
};
