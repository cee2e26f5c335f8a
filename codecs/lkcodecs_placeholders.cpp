// Placeholder rows of the formats whose codec is not in the library yet.
// They are listed in the registry as the formats they stand for, are
// detected by their magic bytes, and answer every load and save with the
// abort flag (they have no read or write job).
//
// A codec that arrives defines its row in its own folder and deletes its
// placeholder here, taking the probes and the load and save particulars
// with it; the table line stays as it is.

#include <cstring>

#include "io/lkdetect.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "processing/lkprocutils.h"

namespace {

constexpr TLKFormatRow Placeholder(Integer Type, const char* Name, const char* Exts, bool R, bool W,
                                   TPreviewParams Pages) {
  TLKFormatRow r;
  r.Type = Type;
  r.Name = Name;
  r.Extensions = Exts;
  r.CanRead = R;
  r.CanWrite = W;
  r.OptionPages = Pages;
  return r;
}

// ---------------------------------------------------------------------------
// Magic-byte probes

// PCX: our "PCX2" stream header or the older four-byte "PCX" one, or a PCX
// file header (manufacturer 10, version 0 to 5).
bool ProbePCX(TStream& S) {
  if (LKProbeText(S, "PCX2", 5, 12) || LKProbeText(S, "PCX", 4, 4)) return true;
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() > 128 && r.U8() == 0x0A && r.U8() <= 5; });
}

// Multi-page PCX: the magic, then page offsets up to the first zero (at most
// 1024), each inside the stream.
bool ProbeDCX(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    if (r.U32LE() != 0x3ADE68B1u || !r.Ok()) return false;
    Integer pages = 0;
    for (Integer i = 0; i < 1024 && r.Remaining() >= 4; ++i) {
      const Cardinal offset = r.U32LE();
      if (offset == 0) break;
      if (Int64(offset) >= r.Size()) return false;
      ++pages;
    }
    return pages > 0;
  });
}

bool ProbeWMF(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    if (r.Size() < 20) return false;
    const Int64 start = r.U32LEAt(0) == 0x9AC6CDD7u ? 22 : 0;
    const Word type = r.U16LEAt(start), header = r.U16LEAt(start + 2), params = r.U16LEAt(start + 16);
    return r.Ok() && type == 1 && header == 9 && params == 0;
  });
}

bool ProbeEMF(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    return r.Size() >= 100 && r.U32LEAt(0) == 1 && r.U32LEAt(40) == 0x464D4520u;
  });
}

bool ProbePSD(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    Byte h[26];
    if (!r.Read(h, 26) || std::memcmp(h, "8BPS", 4) != 0) return false;
    const Word channels = LKGetBE16(h + 12), depth = LKGetBE16(h + 22), mode = LKGetBE16(h + 24);
    return LKGetBE16(h + 4) == 1 && channels >= 1 && channels <= 24 && depth >= 1 && depth <= 16 && mode < 10;
  });
}

bool ProbeAVI(TStream& S) { return LKIsAVIStream(S); }

// ---------------------------------------------------------------------------

}  // namespace

extern constinit const TLKFormatRow LKRow_PCX = [] {
  TLKFormatRow r = Placeholder(lkftPCX, "PaintBrush", "PCX", true, true, PreviewPage(ppPCX));
  r.Probes[0] = {kLKProbePCXHeader, ProbePCX};
  r.Load.OpenFirst = true;
  r.Load.Header = lkshRequired;
  r.Load.HeaderText = "PCX2";
  r.Load.OlderHeader = "PCX";
  r.Save.Convert = true;
  r.Save.Header = lkshRequired;
  r.Save.HeaderText = "PCX2";
  r.Save.HeaderOnlySuccess = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_WMF = [] {
  TLKFormatRow r = Placeholder(lkftWMF, "Windows Metafile", "WMF", true, false, 0);
  r.Probes[0] = {kLKProbeWMF, ProbeWMF};
  r.Load.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_EMF = [] {
  TLKFormatRow r = Placeholder(lkftEMF, "Enhanced Windows Metafile", "EMF", true, false, 0);
  r.Probes[0] = {kLKProbeEMF, ProbeEMF};
  r.Load.NoRoad = true;
  return r;
}();

// DCX saves insert the page into the file the stream holds; a stream save
// makes a one-page file of its own.
extern constinit const TLKFormatRow LKRow_DCX = [] {
  TLKFormatRow r = Placeholder(lkftDCX, "Multipage PCX", "DCX", true, true, 0);
  r.Probes[0] = {kLKProbeDCX, ProbeDCX};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  r.Save.ReplaceStream = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PSD = [] {
  TLKFormatRow r = Placeholder(lkftPSD, "Photoshop PSD", "PSD", true, true, 0);
  r.Probes[0] = {kLKProbePSD, ProbePSD};
  r.Load.OpenFirst = true;
  r.Save.CreateFirst = true;
  return r;
}();

// AVI files are detected (their frames come through the media road), not
// registered as a picture format.
extern constinit const TLKFormatRow LKRow_AVI = [] {
  TLKFormatRow r = Placeholder(lkftAVI, "Video for Windows", "AVI", false, false, 0);
  r.Registered = false;
  r.Probes[0] = {kLKProbeAVI, ProbeAVI};
  r.Load.NoRoad = true;
  r.Save.NoRoad = true;
  return r;
}();

// Headerless raw pixels, read into the bitmap as the caller sized it: no
// resolution handling at all. Not registered.
extern constinit const TLKFormatRow LKRow_BMPRAW = [] {
  TLKFormatRow r = Placeholder(lkftBMPRAW, "Raw pixels", "", true, true, 0);
  r.Registered = false;
  r.Load.OpenFirst = true;
  r.Load.CheckResolution = r.Load.AdjustResolution = false;
  r.Load.ViewResolutionFromFile = r.Load.ViewResolutionFromStream = false;
  r.Save.CreateFirst = true;
  return r;
}();
