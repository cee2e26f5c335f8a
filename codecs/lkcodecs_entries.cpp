// The codecs' side of the I/O component's entry table: the readers and
// writers that exist are filled in, the others stay null (the component then
// sets the abort flag). A codec that arrives fills its entries here.

#include "codecs/jpeg/jpegfilt.h"
#include "io/lkcodecentries.h"
#include "io/lkfileformats.h"

namespace {

// The component reads JPEG with its metadata, dropping the profile markers
// after a colour conversion and loading the embedded profile.
void ReadJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  ReadJPegStream(&S, nullptr, &B, P, Pr, ParamsOnly, false, true, false, true, true, -1);
}

void WriteJpeg(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WriteJPegStream(&S, &B, P, Pr); }

constexpr Integer kCameraRAWFormat = 20;

// Camera RAW through the built-in record's own reader, which the RAW entry
// point serves.
void ReadCameraRAW(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  for (const TLKFileFormatInfo& row : LKBuiltInFileFormats())
    if (row.FormatType == kCameraRAWFormat && row.ReadProc) {
      row.ReadProc(S, B, P, Pr, ParamsOnly);
      return;
    }
  if (Pr.AbortFlag) Pr.AbortFlag->store(true);
}

}  // namespace

TLKCodecEntries LKDefaultCodecEntries() {
  TLKCodecEntries e;
  e.ReadJpeg = ReadJpeg;
  e.WriteJpeg = WriteJpeg;
  e.ReadCameraRAW = ReadCameraRAW;
  return e;
}
