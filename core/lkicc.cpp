#include "core/lkicc.h"

#include <lcms2.h>

#include <atomic>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"

namespace {

std::atomic<std::uint64_t> gNextSerial{1};

// Row layouts as the colour-management library's pixel types. Inverted CMYK
// (255 = no ink) is the library's reversed flavour; CMYK6 carries two bytes
// that are skipped. CIELab rows are handed over as 8-bit Lab with a and b
// offset by 128 (see LabRow below). YCbCr rows are plain three-channel data
// become RGB before the transform.
cmsUInt32Number PixelType(TLKColorSpace Space) {
  switch (Space) {
    case lkcmsRGB: return TYPE_RGB_8;
    case lkcmsBGR: return TYPE_BGR_8;
    case lkcmsCMYK: return TYPE_CMYK_8_REV;
    case lkcmsCMYK6: return COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4) | BYTES_SH(1) | EXTRA_SH(2);
    case lkcmsCIELab: return TYPE_Lab_8;
    case lkcmsGray8: return TYPE_GRAY_8;
    case lkcmsRGB48: return TYPE_RGB_16;
    case lkcmsRGB48_SE: return TYPE_RGB_16_SE;
    case lkcmsYCBCR: return TYPE_RGB_8;  // converted to RGB first
  }
  return 0;
}

Integer PixelBytes(TLKColorSpace Space) {
  switch (Space) {
    case lkcmsCMYK: return 4;
    case lkcmsCMYK6:
    case lkcmsRGB48:
    case lkcmsRGB48_SE: return 6;
    case lkcmsGray8: return 1;
    default: return 3;
  }
}

// Our CIELab bytes keep a and b as signed bytes; the library's 8-bit Lab
// adds 128 to them. Flipping the top bit turns one into the other.
void LabRow(Byte* Row, Integer Count) {
  for (Integer i = 0; i < Count; ++i, Row += 3) Row[1] ^= 0x80, Row[2] ^= 0x80;
}

// A big-endian 32-bit value at Offset; the caller has checked the bounds.
std::uint32_t BE32(const std::vector<Byte>& B, std::size_t Offset) {
  return (std::uint32_t(B[Offset]) << 24) | (std::uint32_t(B[Offset + 1]) << 16) | (std::uint32_t(B[Offset + 2]) << 8) |
         B[Offset + 3];
}

}  // namespace

TLKICC::~TLKICC() { CloseProfileFromRaw(); }

void TLKICC::Assign(const TLKICC* Source) {
  if (Source == nullptr || Source == this) return;
  if (Source->FsRGB) {
    Assign_sRGBProfile();
    return;
  }
  LoadFromBuffer(Source->FRaw.data(), static_cast<Integer>(Source->FRaw.size()));
}

bool TLKICC::TakeMadeProfile(void* Profile) {
  Clear();
  if (Profile == nullptr) return false;
  cmsUInt32Number n = 0;
  if (cmsSaveProfileToMem(Profile, nullptr, &n) && n > 0) {
    FRaw.resize(n);
    if (!cmsSaveProfileToMem(Profile, FRaw.data(), &n)) FRaw.clear();
  }
  FProfile = Profile;
  FSerial = gNextSerial++;
  ExtractInfo();
  return true;
}

bool TLKICC::Assign_sRGBProfile() {
  Clear();
  FProfile = cmsCreate_sRGBProfile();
  if (FProfile == nullptr) return false;
  FsRGB = true;
  FSerial = gNextSerial++;
  return true;
}

bool TLKICC::Assign_LabProfile(double X, double Y, double Yl) {
  // A chromaticity outside the unit triangle, or a luminance of 0, is no
  // white point.
  if (!(X > 0 && Y > 0 && X + Y < 1 && Yl > 0)) {
    Clear();
    return false;
  }
  const cmsCIExyY wp{X, Y, Yl};
  return TakeMadeProfile(cmsCreateLab2Profile(&wp));
}

bool TLKICC::Assign_LabProfileFromTemp(Integer Temp) {
  cmsCIExyY wp{};
  if (Temp < 4000 || Temp > 25000 || !cmsWhitePointFromTemp(&wp, Temp)) {
    Clear();
    return false;
  }
  return TakeMadeProfile(cmsCreateLab2Profile(&wp));
}

bool TLKICC::Assign_LabProfileD50() { return TakeMadeProfile(cmsCreateLab2Profile(cmsD50_xyY())); }

bool TLKICC::Assign_XYZProfile() { return TakeMadeProfile(cmsCreateXYZProfile()); }

void TLKICC::Clear() {
  CloseProfileFromRaw();
  FRaw.clear();
  FsRGB = false;
  FApplied = false;
  FCprt.clear();
  FDesc.clear();
}

void TLKICC::FreeTransform() {
  if (FTransform == nullptr) return;
  cmsDeleteTransform(FTransform);
  FTransform = nullptr;
  FApplied = true;
}

void TLKICC::OpenProfileFromRaw() {
  FProfile = FRaw.empty() ? nullptr : cmsOpenProfileFromMem(FRaw.data(), static_cast<cmsUInt32Number>(FRaw.size()));
  if (FProfile != nullptr) FSerial = gNextSerial++;
  ExtractInfo();
}

void TLKICC::CloseProfileFromRaw() {
  if (FTransform != nullptr) cmsDeleteTransform(FTransform);
  FTransform = nullptr;
  if (FProfile != nullptr) cmsCloseProfile(FProfile);
  FProfile = nullptr;
  FSerial = 0;
  FKeyTarget = 0;
  FKeyIn = FKeyOut = lkcmsRGB;
  FKey1 = FKey2 = 0;
}

void TLKICC::LoadFromBuffer(const void* Buffer, Integer Count) {
  Clear();
  if (Buffer == nullptr || Count <= 0) return;
  const auto* p = static_cast<const Byte*>(Buffer);
  FRaw.assign(p, p + Count);
  OpenProfileFromRaw();
}

void TLKICC::LoadFromStream(TStream* Stream, bool Raw) {
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  Int64 count = left;
  if (!Raw) {
    Integer n = 0;
    if (left < 4) throw EReadError("Stream read error");
    Stream->ReadBuffer(&n, 4);
    if (n < 0 || n > left - 4) throw EReadError("ICC profile size " + std::to_string(n) + " exceeds the stream");
    count = n;
  }
  std::vector<Byte> bytes(static_cast<std::size_t>(count < 0 ? 0 : count));
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
  Clear();
  FRaw = std::move(bytes);
  OpenProfileFromRaw();
}

void TLKICC::SaveToStream(TStream* Stream, bool Raw) const {
  if (!Raw) {
    const Integer n = static_cast<Integer>(FRaw.size());
    Stream->WriteBuffer(&n, 4);
  }
  if (!FRaw.empty()) Stream->WriteBuffer(FRaw.data(), static_cast<Int64>(FRaw.size()));
}

bool TLKICC::Transform(TLKICC* Target, TLKColorSpace InSpace, TLKColorSpace OutSpace, Integer Key1, Integer Key2,
                       const void* Source, void* Dest, Integer Count) {
  if (Target == nullptr || Source == nullptr || Dest == nullptr || Count <= 0) return false;
  if (FProfile == nullptr || Target->FProfile == nullptr) return false;
  if (FTransform == nullptr || FKeyTarget != Target->FSerial || FKeyIn != InSpace || FKeyOut != OutSpace ||
      FKey1 != Key1 || FKey2 != Key2) {
    if (FTransform != nullptr) cmsDeleteTransform(FTransform);
    // Perceptual intent; the high-resolution grid is the "best quality"
    // setting of the library.
    FTransform = cmsCreateTransform(FProfile, PixelType(InSpace), Target->FProfile, PixelType(OutSpace),
                                    INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC);
    FKeyTarget = Target->FSerial;
    FKeyIn = InSpace, FKeyOut = OutSpace, FKey1 = Key1, FKey2 = Key2;
  }
  if (FTransform == nullptr) return false;
  const auto n = static_cast<cmsUInt32Number>(Count);
  if (InSpace == lkcmsYCBCR) {
    // Profiles describe RGB: the row becomes RGB before the profile sees it.
    const Byte* in = static_cast<const Byte*>(Source);
    std::vector<Byte> tmp(std::size_t(n) * 3);
    for (std::size_t i = 0; i < n; ++i, in += 3) {
      TRGB c{};
      LKYCbCr2RGB(c, in[0], in[1], in[2]);
      tmp[3 * i] = c.r, tmp[3 * i + 1] = c.g, tmp[3 * i + 2] = c.b;
    }
    cmsDoTransform(FTransform, tmp.data(), Dest, n);
  } else if (InSpace == lkcmsCIELab) {
    // The input row stays as it was: the offset form goes into a copy.
    std::vector<Byte> tmp(static_cast<const Byte*>(Source), static_cast<const Byte*>(Source) + std::size_t(n) * 3);
    LabRow(tmp.data(), Count);
    cmsDoTransform(FTransform, tmp.data(), Dest, n);
  } else {
    cmsDoTransform(FTransform, Source, Dest, n);
  }
  if (OutSpace == lkcmsCIELab) LabRow(static_cast<Byte*>(Dest), Count);
  return true;
}

namespace {
// Bytes of one pixel of the format, or 0 for formats the transforms do not
// carry (palette, 1-bit, float).
Integer FormatPixelBytes(TLKPixelFormat F) {
  switch (F) {
    case lk8g: return 1;
    case lk24RGB:
    case lkCIELab: return 3;
    case lkCMYK: return 4;
    case lk48RGB: return 6;
    default: return 0;
  }
}
}  // namespace

bool TLKICC::Apply(TLKBitmap* Source, TLKColorSpace InSpace, TLKBitmap* Dest, TLKColorSpace OutSpace, TLKICC* Target,
                   Integer Key1, Integer Key2) {
  if (Source == nullptr || Dest == nullptr || Source == Dest || Source->IsEmpty()) return false;
  TLKPixelFormat f = Dest->GetPixelFormat();
  if (f == lknull) f = lk24RGB;
  // A row of the wrong width would be read or written past its end.
  if (FormatPixelBytes(Source->GetPixelFormat()) != PixelBytes(InSpace) || FormatPixelBytes(f) != PixelBytes(OutSpace))
    return false;
  Dest->Allocate(Source->GetWidth(), Source->GetHeight(), f);
  bool ok = false;
  for (Integer y = 0; y < Source->GetHeight(); ++y) {
    ok = Transform(Target, InSpace, OutSpace, Key1, Key2, Source->GetRow(y), Dest->GetRow(y), Source->GetWidth());
    if (!ok) break;
  }
  return ok;
}

bool TLKICC::Apply2(TLKBitmap* Bitmap, TLKColorSpace InSpace, TLKColorSpace OutSpace, TLKICC* Target, Integer Key1,
                    Integer Key2) {
  if (Bitmap == nullptr || Bitmap->IsEmpty()) return false;
  const Integer bpp = FormatPixelBytes(Bitmap->GetPixelFormat());
  if (bpp == 0 || bpp != PixelBytes(InSpace) || bpp != PixelBytes(OutSpace)) return false;
  const Integer w = Bitmap->GetWidth();
  std::vector<Byte> row(static_cast<std::size_t>(w) * bpp);
  bool ok = false;
  for (Integer y = 0; y < Bitmap->GetHeight(); ++y) {
    Byte* line = static_cast<Byte*>(Bitmap->GetScanLine(y));
    std::memcpy(row.data(), line, row.size());
    ok = Transform(Target, InSpace, OutSpace, Key1, Key2, row.data(), line, w);
    if (!ok) break;
  }
  return ok;
}

void TLKICC::ExtractInfo() {
  FCprt.clear();
  FDesc.clear();
  const std::size_t len = FRaw.size();
  if (len < 132) return;
  const std::uint32_t count = BE32(FRaw, 128);
  if (count > 1000) return;
  // The zero-terminated text at Start, when it ends inside the profile and
  // is shorter than 1000 characters.
  auto text = [&](std::size_t Start, String& Out) {
    if (Start >= len) return;
    const Byte* p = FRaw.data() + Start;
    const void* z = std::memchr(p, 0, len - Start);
    if (z == nullptr) return;
    const std::size_t n = static_cast<const Byte*>(z) - p;
    if (n < 1000) Out.assign(reinterpret_cast<const char*>(p), n);
  };
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = 132 + std::size_t(i) * 12;
    // A tag table longer than the profile ends the walk there.
    if (e + 12 > len) break;
    const std::uint32_t offset = BE32(FRaw, e + 4), size = BE32(FRaw, e + 8);
    if (offset > len || size > len || offset > 0x7fffffffu || size > 0x7fffffffu) break;
    if (size >= 1000) continue;
    if (std::memcmp(&FRaw[e], "cprt", 4) == 0) text(std::size_t(offset) + 8, FCprt);
    else if (std::memcmp(&FRaw[e], "desc", 4) == 0) text(std::size_t(offset) + 12, FDesc);
  }
}
