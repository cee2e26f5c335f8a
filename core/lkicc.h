// A holder of one ICC colour profile: its raw bytes, the profile opened by
// the colour-management library (LittleCMS), and one cached transform to
// another profile. The I/O parameters keep an input profile (read from a
// JPEG, TIFF or PSD file) and an output profile (sRGB by default); the row
// colour converter calls Transform for every row it converts while
// colour management is on.
//
// Threading: a holder and its cached transform belong to one thread at a
// time. Profile bytes come from files: they are only ever read through the
// colour-management library's own checks or the bounded tag walk of
// ExtractInfo.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkioglobals.h"
#include "platform/classes.h"

class TLKBitmap;

/// An ICC profile kept as its raw bytes (or made in memory: sRGB, Lab, XYZ),
/// opened for colour conversion, with a transform cached by its key.
class TLKICC : public TObject {
 public:
  /// An empty holder: no profile bytes, nothing open.
  TLKICC() = default;
  ~TLKICC() override;
  TLKICC(const TLKICC&) = delete;
  TLKICC& operator=(const TLKICC&) = delete;

  /// Replaces this profile with a copy of Source's bytes (or its sRGB
  /// mark) and opens it; nothing for a null Source or Source == this.
  void Assign(const TLKICC* Source);
  /// Drops the profile and opens the built-in sRGB profile: IsValid is true
  /// afterwards, but no raw bytes are held (the stream form writes size 0).
  /// Returns whether the profile opened.
  bool Assign_sRGBProfile();
  /// A Lab profile (v2) for the white point with chromaticity X, Y and
  /// luminance Yl (for instance 0.3457, 0.3585, 1 for D50). Holds the
  /// profile's bytes. False (and nothing open) for a white point the
  /// library refuses.
  bool Assign_LabProfile(double X, double Y, double Yl);
  /// A Lab profile for the white point of a black body at Temp kelvin
  /// (4000..25000). False outside that range.
  bool Assign_LabProfileFromTemp(Integer Temp);
  /// A Lab profile for the D50 white point.
  bool Assign_LabProfileD50();
  /// An XYZ profile.
  bool Assign_XYZProfile();

  /// Closes the profile and its transform, frees the bytes, clears the
  /// applied mark. The holder stays usable.
  void Clear();
  /// True when a profile is open.
  bool IsValid() const { return FProfile != nullptr; }
  /// True when the open profile is the built-in sRGB profile.
  bool IsSRGB() const { return FsRGB; }
  /// True while a transform is cached.
  bool IsTransforming() const { return FTransform != nullptr; }
  /// Deletes the cached transform; when there was one, the profile is
  /// marked as applied (the row converter then leaves it alone).
  void FreeTransform();
  /// True after FreeTransform released a transform, until the next load or
  /// Clear.
  bool IsApplied() const { return FApplied; }

  /// Replaces the profile with Count bytes at Buffer and opens them (nothing
  /// open for 0 bytes or bytes the library refuses; the bytes are kept).
  void LoadFromBuffer(const void* Buffer, Integer Count);
  /// Reads the int32 byte count and that many bytes at the stream's
  /// position. With Raw, the rest of the stream is the profile. Raises
  /// EReadError for a negative count or one larger than what the stream
  /// still holds; the profile is unchanged then.
  void LoadFromStream(TStream* Stream, bool Raw = false);
  /// Writes the int32 byte count and the raw bytes (count 0 when the holder
  /// has none); with Raw only the bytes.
  void SaveToStream(TStream* Stream, bool Raw = false) const;

  /// Converts Count pixels of Source, laid out as InSpace in this profile's
  /// colours, to Dest, laid out as OutSpace in Target's colours. The
  /// transform is cached by (Target, spaces, Key1, Key2) and rebuilt when
  /// any of them changes. Source is never written. Returns false when no
  /// transform can be made (a profile not open, spaces that do not fit the
  /// profiles) or for a bad argument; Dest is untouched then.
  bool Transform(TLKICC* Target, TLKColorSpace InSpace, TLKColorSpace OutSpace, Integer Key1, Integer Key2,
                 const void* Source, void* Dest, Integer Count);
  /// Gives Dest Source's size in Dest's pixel format (lk24RGB when Dest has
  /// none) and transforms every row; stops at the first row that fails.
  /// False for an empty Source.
  bool Apply(TLKBitmap* Source, TLKColorSpace InSpace, TLKBitmap* Dest, TLKColorSpace OutSpace, TLKICC* Target,
             Integer Key1 = 0, Integer Key2 = 0);
  /// Apply in place: both layouts must have the same bytes per pixel.
  bool Apply2(TLKBitmap* Bitmap, TLKColorSpace InSpace, TLKColorSpace OutSpace, TLKICC* Target, Integer Key1 = 0,
              Integer Key2 = 0);

  /// Takes the texts of the "cprt" and "desc" tags from the raw bytes
  /// (empty when absent or malformed). Run by every load.
  void ExtractInfo();
  const String& GetCopyright() const { return FCprt; }
  const String& GetDescription() const { return FDesc; }

  /// The raw profile bytes (empty for none or for the sRGB profile).
  const std::vector<Byte>& GetRaw() const { return FRaw; }

 private:
  void OpenProfileFromRaw();
  void CloseProfileFromRaw();
  bool TakeMadeProfile(void* Profile);

  std::vector<Byte> FRaw;
  bool FsRGB = false;
  void* FProfile = nullptr;    // cmsHPROFILE
  void* FTransform = nullptr;  // cmsHTRANSFORM
  bool FApplied = false;
  // The cached transform's key.
  // Every profile opened gets a new serial, so a target reloaded in place
  // never matches a transform made for its old profile.
  std::uint64_t FSerial = 0;
  std::uint64_t FKeyTarget = 0;
  TLKColorSpace FKeyIn = lkcmsRGB, FKeyOut = lkcmsRGB;
  Integer FKey1 = 0, FKey2 = 0;
  String FCprt, FDesc;
};
