// The JPEG format row: the codec's read and write jobs, its probes, and what
// the component's frames do around them (our "JFIF" stream header, the
// metadata markers refreshed before every save, the conversion to 24-bit
// colour).

#include <atomic>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkexif.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"

namespace {

// Reads the picture with its metadata, dropping the profile markers after a
// colour conversion and loading the embedded profile.
void Read(TLKFormatJob& J) {
  ReadJPegStream(&J.Stream, nullptr, J.Bitmap, J.Params, J.Progress, J.ParamsOnly, false, true, false, true, true, -1);
}

void Write(TLKFormatJob& J) { WriteJPegStream(&J.Stream, J.Bitmap, J.Params, J.Progress); }

bool ProbeStreamHeader(TStream& S) { return LKProbeText(S, "JFIF", 5, 12); }

// A JPEG start (FF D8 FF) at the position or up to 99 bytes after it.
bool ProbeContent(TStream& S) {
  return LKProbeWith(S, [](TLKByteReader& r) {
    Byte buf[102];
    const size_t n = r.ReadSome(buf, sizeof buf);
    for (size_t p = 0; p + 2 < n && p < 100; ++p)
      if (buf[p] == 0xFF && buf[p + 1] == 0xD8 && buf[p + 2] == 0xFF) return true;
    return false;
  });
}

// A 16 x 16 picture whose frame header is made to claim Width x Height.
void HeaderClaiming(Integer Width, Integer Height, std::vector<Byte>& File) {
  TLKBitmap small;
  small.Allocate(16, 16, lk24RGB);
  TIOParamsVals params;
  std::atomic<bool> aborted{false};
  TProgressRec pr;
  pr.AbortFlag = &aborted;
  TMemoryStream ms;
  WriteJPegStream(&ms, &small, params, pr);
  const auto* b = static_cast<const Byte*>(ms.Memory());
  File.assign(b, b + ms.Size());
  for (size_t i = 0; i + 8 < File.size(); ++i)
    if (File[i] == 0xFF && File[i + 1] == 0xC0) {
      LKPutBE16(&File[i + 5], Word(Height));
      LKPutBE16(&File[i + 7], Word(Width));
      break;
    }
}

String Detail(const TIOParamsVals& P) {
  static const char* const kColorspace[] = {"", " Gray level", " YCbCr", " CMYK", " YCbCrK"};
  return P.JPEG_COLORSPACE < 5 ? kColorspace[P.JPEG_COLORSPACE] : "";
}

}  // namespace

extern constinit const TLKFormatRow LKRow_JPEG = [] {
  TLKFormatRow r;
  r.Type = lkftJPEG;
  r.Name = "JPEG Bitmap";
  r.Extensions = "JPG;JPEG;JPE;JIF";
  r.OptionPages = PreviewPage(ppJPEG);
  r.CanRead = r.CanWrite = true;
  r.Read = Read;
  r.Write = Write;
  r.Probes[0] = {kLKProbeJPEGHeader, ProbeStreamHeader};
  r.Probes[1] = {kLKProbeJPEG, ProbeContent};
  // A "JFIF" stream header is skipped whatever StreamHeaders says, and the
  // position then ends after the data it announces.
  r.Load.Header = lkshSkipped;
  r.Load.HeaderText = "JFIF";
  r.Save.Convert = true;
  r.Save.Header = lkshSkipped;
  r.Save.HeaderText = "JFIF";
  r.Save.BeforeWrite = LKRefreshJpegMarkers;
  r.RoundTripTolerance = 24;
  r.HeaderClaiming = HeaderClaiming;
  r.TypeDetail = Detail;
  return r;
}();
