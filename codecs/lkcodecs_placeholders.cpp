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

bool ProbeAVI(TStream& S) { return LKIsAVIStream(S); }

// ---------------------------------------------------------------------------

}  // namespace

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
