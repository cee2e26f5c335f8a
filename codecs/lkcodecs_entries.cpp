// The codecs' side of the I/O component's entry table: the readers and
// writers that exist are filled in, the others stay null (the component then
// sets the abort flag). A codec that arrives fills its entries here.

#include "codecs/bmp/bmpfilt.h"
#include "codecs/gif/giffilter.h"
#include "codecs/ico/icofilt.h"
#include "codecs/png/pngfilt.h"
#include "codecs/pnm/pxmfilt.h"
#include "codecs/tga/tgafilt.h"
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

void ReadBmp(TStream& S, TLKBitmap& B, Int64 BlockSize, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly,
             TLKMask*& Mask, bool IgnoreAlpha) {
  BMPReadStream(&S, &B, BlockSize, P, Pr, ParamsOnly, false, Mask, IgnoreAlpha);
}
void WriteBmp(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool Alpha) {
  BMPWriteStream(&S, &B, P, Pr, Alpha);
}
void ReadPng(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  ReadPNGStream(&S, &B, P, ParamsOnly, Pr);
}
void WritePng(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, TLKMask* Mask) {
  WritePNGStream(&S, &B, P, Pr, Mask);
}
void ReadTga(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly, TLKMask*& Mask) {
  ReadTGAStream(&S, &B, P, Pr, ParamsOnly, Mask, ParamsOnly);
}
void WriteTga(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, TLKMask* Mask) {
  WriteTGAStream(&S, &B, P, Pr, Mask);
}
void ReadPxm(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  PXMReadStream(&S, &B, P, Pr, ParamsOnly);
}
void WritePxm(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { PXMWriteStream(&S, &B, P, Pr); }
void ReadWbmp(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) {
  WBMPReadStream(&S, &B, P, Pr, ParamsOnly);
}
void WriteWbmp(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) { WBMPWriteStream(&S, &B, P, Pr); }

void ReadIco(TStream& S, TLKBitmap& B, TIOParamsVals& P, bool ParamsOnly, TProgressRec& Pr, TLKMask*& Mask) {
  ICOReadStream(&S, &B, P, ParamsOnly, Pr, Mask, ParamsOnly);
}
void ReadCur(TStream& S, TLKBitmap& B, TIOParamsVals& P, bool ParamsOnly, TProgressRec& Pr, TLKMask*& Mask) {
  CURReadStream(&S, &B, P, ParamsOnly, Pr, Mask, ParamsOnly);
}
void WriteIco(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, const std::vector<TSize>& Sizes,
              const std::vector<Integer>& BitCounts) {
  ICOWriteStream(&S, &B, P, Pr, Sizes, BitCounts);
}

}  // namespace

TLKCodecEntries LKDefaultCodecEntries() {
  TLKCodecEntries e;
  e.ReadJpeg = ReadJpeg;
  e.WriteJpeg = WriteJpeg;
  e.ReadGIF = ReadGif;
  e.WriteGIF = WriteGif;
  e.ReadBMP = ReadBmp;
  e.WriteBMP = WriteBmp;
  e.ReadICO = ReadIco;
  e.ReadCUR = ReadCur;
  e.WriteICO = WriteIco;
  e.WriteICOImages = [](TStream& S, const std::vector<TObject*>& Images, TProgressRec& Pr) {
    ICOWriteImages(&S, Images, Pr);
  };
  e.ReadPNG = ReadPng;
  e.WritePNG = WritePng;
  e.ReadTGA = ReadTga;
  e.WriteTGA = WriteTga;
  e.ReadPXM = ReadPxm;
  e.WritePXM = WritePxm;
  e.ReadWBMP = ReadWbmp;
  e.WriteWBMP = WriteWbmp;
  e.ReadCameraRAW = LKReadCameraRAWStream;
  return e;
}
