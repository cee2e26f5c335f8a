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

bool ProbeJP2(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    static const Byte kBox[12] = {0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    Byte b[12];
    return r.Read(b, 12) && std::memcmp(b, kBox, 12) == 0;
  });
}

bool ProbeJ2K(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) { return r.Size() >= 4 && r.U32BE() == 0xFF4FFF51u; });
}

bool ProbeAVI(TStream& S) { return LKIsAVIStream(S); }

// ---------------------------------------------------------------------------

}  // namespace

extern constinit const TLKFormatRow LKRow_JP2 = [] {
  TLKFormatRow r = Placeholder(lkftJP2, "JPEG2000", "JP2", true, true, PreviewPage(ppJ2000));
  r.Probes[0] = {kLKProbeJP2, ProbeJP2};
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_J2K = [] {
  TLKFormatRow r = Placeholder(lkftJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, PreviewPage(ppJ2000));
  r.Probes[0] = {kLKProbeJ2K, ProbeJ2K};
  r.Save.Convert = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PS = [] {
  TLKFormatRow r = Placeholder(lkftPS, "PostScript Level 2", "PS;EPS", false, true, 0);
  r.Save.NoRoad = true;
  return r;
}();

extern constinit const TLKFormatRow LKRow_PDF = [] {
  TLKFormatRow r = Placeholder(lkftPDF, "Adobe PDF", "PDF", false, true, 0);
  r.Save.NoRoad = true;
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
