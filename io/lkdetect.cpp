#include "io/lkdetect.h"

#include <cstring>
#include <memory>

#include "io/lkfileformats.h"
#include "platform/sysutils.h"

namespace {

constexpr Integer kTIFF = 1, kGIF = 2, kJPEG = 3, kPCX = 4, kBMP = 5, kICO = 6, kCUR = 7, kPNG = 8, kWMF = 9,
                  kEMF = 10, kTGA = 11, kPXM = 12, kJP2 = 13, kJ2K = 14, kAVI = 15, kDCX = 19, kCameraRAW = 20,
                  kPSD = 24;

// Reads up to Count bytes from Pos into Buffer and sets the position back to
// Pos. Returns false when fewer than Count bytes were there.
bool PeekAt(TStream& Stream, Int64 Pos, Byte* Buffer, Integer Count) {
  Stream.Seek(Pos, soBeginning);
  Integer got = 0;
  while (got < Count) {
    const Integer n = Stream.Read(Buffer + got, Count - got);
    if (n <= 0) break;
    got += n;
  }
  Stream.Seek(Pos, soBeginning);
  return got == Count;
}

// The magic of a stream header compared as text: the bytes up to the first
// zero, at most Width of them, equal Magic.
bool TextIs(const Byte* Bytes, size_t Width, const char* Magic) {
  size_t len = 0;
  while (len < Width && Bytes[len] != 0) ++len;
  return len == std::strlen(Magic) && std::memcmp(Bytes, Magic, len) == 0;
}

// One header test: the stream is longer than MinSizeExclusive, Count bytes
// are read at Pos and Match accepts them.
template <typename Match>
bool HeaderTest(TStream& Stream, Int64 Pos, Int64 Size, Int64 MinSizeExclusive, Integer Count, Match match) {
  if (Size <= MinSizeExclusive) return false;
  Byte buf[128];
  return PeekAt(Stream, Pos, buf, Count) && match(buf);
}

bool Ask(TLKContentProbe Probe, TStream& Stream, Int64 Pos) {
  if (!Probe) return false;
  Stream.Seek(Pos, soBeginning);
  return Probe(Stream);
}

Integer DetectFrom(TStream& Stream, Int64 Pos) {
  const Int64 size = Stream.Size();

  // Header tests: stream headers of our own stream saves, then plain magic.
  if (HeaderTest(Stream, Pos, size, 12, 12, [](const Byte* b) { return TextIs(b, 5, "JFIF"); })) return kJPEG;
  if (HeaderTest(Stream, Pos, size, 13, 13, [](const Byte* b) { return b[0] == 'G' && b[1] == 'I' && b[2] == 'F'; }))
    return kGIF;
  if (HeaderTest(Stream, Pos, size, 12, 12, [](const Byte* b) { return TextIs(b, 5, "PCX2"); })) return kPCX;
  if (HeaderTest(Stream, Pos, size, 4, 4, [](const Byte* b) { return TextIs(b, 4, "PCX"); })) return kPCX;
  if (HeaderTest(Stream, Pos, size, 14, 14, [](const Byte* b) { return b[0] == 'B' && b[1] == 'M'; })) return kBMP;
  // PCX file header: manufacturer 10, version 0 to 5.
  if (HeaderTest(Stream, Pos, size, 128, 128, [](const Byte* b) { return b[0] == 0x0A && b[1] <= 5; })) return kPCX;
  if (HeaderTest(Stream, Pos, size, 12, 12, [](const Byte* b) { return TextIs(b, 5, "TIFF"); })) return kTIFF;

  // Codec probes, in a fixed order: earlier ones win where formats overlap.
  const TLKContentProbes& p = LKContentProbes();
  if (Ask(p.IsTIFF, Stream, Pos) && !Ask(p.IsDNG, Stream, Pos)) return kTIFF;
  if (size > 8 && Ask(p.IsPNG, Stream, Pos)) return kPNG;
  if (Ask(p.IsICO, Stream, Pos)) return kICO;
  if (Ask(p.IsCUR, Stream, Pos)) return kCUR;
  if (Ask(p.IsTGA, Stream, Pos)) return kTGA;
  if (Ask(p.IsPXM, Stream, Pos)) return kPXM;
  if (Ask(p.IsJPEG, Stream, Pos)) return kJPEG;
  if (Ask(p.IsJP2, Stream, Pos)) return kJP2;
  if (Ask(p.IsJ2K, Stream, Pos)) return kJ2K;
  Stream.Seek(Pos, soBeginning);
  if (LKIsAVIStream(Stream)) return kAVI;
  if (Ask(p.IsDCX, Stream, Pos)) return kDCX;
  if (Ask(p.IsWMF, Stream, Pos)) return kWMF;
  if (Ask(p.IsEMF, Stream, Pos)) return kEMF;
  if (Ask(p.IsPSD, Stream, Pos)) return kPSD;

  // Probes of registered formats (in practice external plug-ins: the
  // built-in records' probes answer false).
  if (lkgFileFormats == nullptr) LKIOModuleStart();
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i) {
    const auto* info = static_cast<const TLKFileFormatInfo*>(lkgFileFormats->Get(i));
    if (!info->ProbeProc) continue;
    Stream.Seek(Pos, soBeginning);
    if (info->ProbeProc(Stream, info->FormatType)) return info->FormatType;
  }

  // Last the camera RAW identification; TIFF-based RAW files were already
  // reported as TIFF above.
  if (Ask(p.IsCameraRAW, Stream, Pos)) return kCameraRAW;
  return 0;
}

}  // namespace

bool LKIsAVIStream(TStream& Stream) {
  const Int64 pos = Stream.Position();
  Byte b[12];
  const bool ok = PeekAt(Stream, pos, b, 12) && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "AVI ", 4) == 0;
  Stream.Seek(pos, soBeginning);
  return ok;
}

Integer FindStreamFormat(TStream& Stream) {
  const Int64 pos = Stream.Position();
  Integer result = 0;
  try {
    result = DetectFrom(Stream, pos);
  } catch (...) {
    // A probe that raises on hostile data counts as "not recognised".
    result = 0;
  }
  Stream.Seek(pos, soBeginning);
  return result;
}

Integer FindFileFormat(const String& FileName, bool VerifyExtension) {
  if (FileName.empty()) return 0;
  Integer result = 0;
  try {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    result = FindStreamFormat(file);
  } catch (...) {
    return 0;
  }
  const PLKFileFormatInfo ext = LKFileFormatGetInfo2(ExtractFileExt(FileName));
  // Most camera RAW files are TIFF inside: their extension tells them apart.
  if (ext && ext->FormatType == kCameraRAW && result == kTIFF) result = kCameraRAW;
  if (VerifyExtension && result != 0) {
    if (!ext) return 0;
    // The icon and cursor probes cannot tell the two apart: an icon or cursor
    // named as either takes the type its name gives.
    const bool iconLike = result == kICO || result == kCUR;
    const bool iconExt = ext->FormatType == kICO || ext->FormatType == kCUR;
    if (iconLike && iconExt)
      result = ext->FormatType;
    else if (ext->FormatType != result)
      result = 0;
  }
  return result;
}
