// The codecs' side of the I/O component's entry table: the readers and
// writers that exist are filled in, the others stay null (the component then
// sets the abort flag). A codec that arrives fills its entries here.

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/tiffilt.h"
#include "io/lkcodecentries.h"
#include "raw/lkraw.h"

namespace {

// The component reads JPEG with its metadata, dropping the profile markers
// after a colour conversion and loading the embedded profile.
void ReadJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  ReadJPegStream(&S, nullptr, &B, P, Pr, ParamsOnly, false, true, false, true, true, -1);
}

void WriteJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WriteJPegStream(&S, &B, P, Pr); }

void ReadTIFF(TStream& S, TLKBitmap& B, Integer& PageCount, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly,
              TLKMask*& Mask, bool RelativeOffsets, bool IgnoreAlpha, bool ThumbnailMode) {
  TIFFReadStream(&B, &S, PageCount, &P, Pr, ParamsOnly, &Mask, RelativeOffsets, IgnoreAlpha, ThumbnailMode);
}

Integer WriteTIFF(TStream& S, bool Append, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr) {
  return TIFFWriteStream(&S, Append, B, P, Pr);
}

}  // namespace

TLKCodecEntries LKDefaultCodecEntries() {
  TLKCodecEntries e;
  e.ReadJpeg = ReadJpeg;
  e.WriteJpeg = WriteJpeg;
  e.ReadCameraRAW = LKReadCameraRAWStream;
  e.ReadTIFF = ReadTIFF;
  e.WriteTIFF = WriteTIFF;
  return e;
}
