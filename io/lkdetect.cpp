#include "io/lkdetect.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbytereader.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "platform/sysutils.h"

namespace {

// Reads up to Count bytes from Pos into Buffer and sets the position back to
// Pos. Returns false when fewer than Count bytes were there.
bool PeekAt(TStream& Stream, Int64 Pos, Byte* Buffer, Integer Count) {
  Stream.Seek(Pos, soBeginning);
  TLKByteReader reader(Stream);
  const bool ok = reader.Read(Buffer, size_t(Count));
  Stream.Seek(Pos, soBeginning);
  return ok;
}

// One probe of a row with its place in the order.
struct TOrderedProbe {
  Integer Order;
  Integer Type;
  TLKFormatProbe Probe;
};

// The rows' probes sorted by their place (rows in table order where two
// share one).
std::vector<TOrderedProbe> ProbesInOrder() {
  std::vector<TOrderedProbe> probes;
  for (const TLKFormatRow& row : LKFormatRows())
    for (const TLKRowProbe& p : row.Probes)
      if (p.Order != kLKProbeNone && p.Probe) probes.push_back({p.Order, row.Type, p.Probe});
  std::stable_sort(probes.begin(), probes.end(),
                   [](const TOrderedProbe& a, const TOrderedProbe& b) { return a.Order < b.Order; });
  return probes;
}

// Probes of registered formats (in practice external plug-ins: the built-in
// records' probes answer false).
Integer AskRegistry(TStream& Stream, Int64 Pos) {
  if (lkgFileFormats == nullptr) LKIOModuleStart();
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i) {
    const auto* info = static_cast<const TLKFileFormatInfo*>(lkgFileFormats->Get(i));
    if (!info->ProbeProc) continue;
    Stream.Seek(Pos, soBeginning);
    if (info->ProbeProc(Stream, info->FormatType)) return info->FormatType;
  }
  return 0;
}

Integer DetectFrom(TStream& Stream, Int64 Pos) {
  bool registryAsked = false;
  for (const TOrderedProbe& p : ProbesInOrder()) {
    if (!registryAsked && p.Order >= kLKProbeExternal) {
      registryAsked = true;
      if (const Integer type = AskRegistry(Stream, Pos)) return type;
    }
    Stream.Seek(Pos, soBeginning);
    if (p.Probe(Stream)) return p.Type;
  }
  if (!registryAsked) return AskRegistry(Stream, Pos);
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
  if (ext && ext->FormatType == lkftRAW && result == lkftTIFF) result = lkftRAW;
  if (VerifyExtension && result != 0) {
    if (!ext) return 0;
    // The icon and cursor probes cannot tell the two apart: an icon or cursor
    // named as either takes the type its name gives.
    const bool iconLike = result == lkftICO || result == lkftCUR;
    const bool iconExt = ext->FormatType == lkftICO || ext->FormatType == lkftCUR;
    if (iconLike && iconExt)
      result = ext->FormatType;
    else if (ext->FormatType != result)
      result = 0;
  }
  return result;
}
