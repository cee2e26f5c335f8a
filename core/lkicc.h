// A holder of one ICC colour profile as raw bytes, with the length-prefixed
// stream form the parameter stream and the layers file use. Colour
// conversion through the profile is not part of this holder yet.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// An ICC profile kept as its raw bytes, or the system's sRGB profile taken
/// by name (which holds no raw bytes).
class TLKICC : public TObject {
 public:
  /// An empty holder: no profile bytes, nothing open.
  TLKICC() = default;

  /// Replaces this profile with a copy of Source's bytes (and its sRGB
  /// mark); nothing for a null Source or Source == this.
  void Assign(const TLKICC* Source);
  /// Drops the bytes and opens the system's sRGB profile by name: IsValid
  /// is true afterwards, but the stream form writes size 0.
  void Assign_sRGBProfile();
  /// Drops the profile.
  void Clear();
  /// True when a profile is open (raw bytes or the sRGB profile).
  bool IsValid() const { return !FRaw.empty() || FsRGB; }
  /// True when the open profile is the system's sRGB profile.
  bool IsSRGB() const { return FsRGB; }

  /// Replaces the profile with Count bytes at Buffer (nothing open for 0).
  void LoadFromBuffer(const void* Buffer, Integer Count);
  /// Reads the int32 byte count and that many bytes at the stream's
  /// position. With Raw, the whole rest of the stream is the profile.
  /// Raises EReadError for a negative count or one larger than what the
  /// stream still holds; the profile is unchanged then.
  void LoadFromStream(TStream* Stream, bool Raw = false);
  /// Writes the int32 byte count and the raw bytes (count 0 when the holder
  /// has none); with Raw only the bytes.
  void SaveToStream(TStream* Stream, bool Raw = false) const;

  /// The raw profile bytes (empty for none or for the sRGB profile).
  const std::vector<Byte>& GetRaw() const { return FRaw; }

 private:
  std::vector<Byte> FRaw;
  bool FsRGB = false;
};
