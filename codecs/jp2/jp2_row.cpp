// The JPEG 2000 rows: the JP2 file and the raw code stream, read and
// written by the same bridge.
#include <atomic>

#include "codecs/jp2/j2kfilt.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

void Read(TLKFormatJob& J) { J2KReadStream(&J.Stream, J.Bitmap, J.Params, J.Progress, J.ParamsOnly); }
void WriteJP2(TLKFormatJob& J) { J2KWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress, 0); }
void WriteJ2K(TLKFormatJob& J) { J2KWriteStream(&J.Stream, J.Bitmap, J.Params, J.Progress, 1); }
bool ProbeJP2(TStream& S) { return J2KTryStreamJP2(&S); }
bool ProbeJ2K(TStream& S) { return J2KTryStreamJ2K(&S); }

// A 16 x 16 picture whose size marker is made to claim Width x Height
// (the code stream starts at Skip bytes into the file).
void Claiming(Integer Format, Integer Width, Integer Height, std::vector<Byte>& File) {
  TLKBitmap small;
  small.Allocate(16, 16, lk24RGB);
  TIOParamsVals params;
  params.BITSPERSAMPLE = 8;
  params.J2000_COLORSPACE = ioJ2000_RGB;
  params.J2000_RATE = 1.0;
  std::atomic<bool> aborted{false};
  TProgressRec pr;
  pr.AbortFlag = &aborted;
  TMemoryStream ms;
  J2KWriteStream(&ms, &small, params, pr, Format);
  const auto* b = static_cast<const Byte*>(ms.Memory());
  File.assign(b, b + ms.Size());
  // SIZ: FF 51, length, capabilities, then Xsiz and Ysiz (32-bit).
  for (size_t i = 0; i + 14 < File.size(); ++i)
    if (File[i] == 0xFF && File[i + 1] == 0x51) {
      LKPutBE32(&File[i + 6], Cardinal(Width));
      LKPutBE32(&File[i + 10], Cardinal(Height));
      break;
    }
  // A JP2 file also says the size in its image header box.
  for (size_t i = 0; i + 12 < File.size() && Format == 0; ++i)
    if (File[i] == 'i' && File[i + 1] == 'h' && File[i + 2] == 'd' && File[i + 3] == 'r') {
      LKPutBE32(&File[i + 4], Cardinal(Height));
      LKPutBE32(&File[i + 8], Cardinal(Width));
      break;
    }
}

void ClaimingJP2(Integer Width, Integer Height, std::vector<Byte>& File) { Claiming(0, Width, Height, File); }
void ClaimingJ2K(Integer Width, Integer Height, std::vector<Byte>& File) { Claiming(1, Width, Height, File); }

String Detail(const TIOParamsVals& P) {
  static const char* const kColorspace[] = {" Gray level", " RGB", " YCbCr"};
  return P.J2000_COLORSPACE < 3 ? kColorspace[P.J2000_COLORSPACE] : "";
}

}  // namespace

extern constinit const TLKFormatRow LKRow_JP2 = [] {
  TLKFormatRow r;
  r.Type = lkftJP2;
  r.Name = "JPEG2000";
  r.Extensions = "JP2";
  r.OptionPages = PreviewPage(ppJ2000);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = WriteJP2;
  r.Probes[0] = {kLKProbeJP2, ProbeJP2};
  r.Save.Convert = true;
  r.RoundTripTolerance = 0;
  r.HeaderClaiming = ClaimingJP2;
  r.TypeDetail = Detail;
  return r;
}();

extern constinit const TLKFormatRow LKRow_J2K = [] {
  TLKFormatRow r;
  r.Type = lkftJ2K;
  r.Name = "JPEG2000 Code Stream";
  r.Extensions = "J2K;JPC;J2C";
  r.OptionPages = PreviewPage(ppJ2000);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = WriteJ2K;
  r.Probes[0] = {kLKProbeJ2K, ProbeJ2K};
  r.Save.Convert = true;
  r.RoundTripTolerance = 0;
  r.HeaderClaiming = ClaimingJ2K;
  r.TypeDetail = Detail;
  return r;
}();
