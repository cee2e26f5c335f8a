// The codecs' side of the I/O component's entry table: the readers and
// writers that exist are filled in, the others stay null (the component then
// sets the abort flag). A codec that arrives fills its entries here.

#include "codecs/gif/giffilter.h"
#include "codecs/jpeg/jpegfilt.h"
#include "io/lkcodecentries.h"
#include "raw/lkraw.h"

namespace {

// The component reads JPEG with its metadata, dropping the profile markers
// after a colour conversion and loading the embedded profile.
void ReadJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  ReadJPegStream(&S, nullptr, &B, P, Pr, ParamsOnly, false, true, false, true, true, -1);
}

void WriteJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WriteJPegStream(&S, &B, P, Pr); }

// GIF loads compose an animation's frames; reading parameters decodes
// nothing.
void ReadGif(TStream& S, TLKBitmap& B, Integer& FrameCount, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly,
             TLKMask*& Mask) {
  if (ParamsOnly) return ReadGIFStream(&S, &B, FrameCount, P, Pr, true, Mask, true);
  FrameCount = LKComposeGIFFrames(&S, &B, P, Pr);
}

void WriteGif(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WriteGIFStream(&S, &B, P, Pr); }

}  // namespace

TLKCodecEntries LKDefaultCodecEntries() {
  TLKCodecEntries e;
  e.ReadJpeg = ReadJpeg;
  e.WriteJpeg = WriteJpeg;
  e.ReadGIF = ReadGif;
  e.WriteGIF = WriteGif;
  e.ReadCameraRAW = LKReadCameraRAWStream;
  return e;
}
