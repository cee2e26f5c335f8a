// JPEG writer.
#include <memory>
#include <vector>

#include "codecs/jpeg/jpeg_pvt.h"
#include "core/lkioglobals.h"

namespace {

struct TWriteContext {
  jpeg_compress_struct Info{};
  TLKJpegErrorMgr Err;
  bool Created = false;
  ~TWriteContext() {
    if (Created) jpeg_destroy_compress(&Info);
  }
};

UINT16 Density(Integer Dpi, Integer Default) {
  if (Dpi == 0) Dpi = Default;
  if (Dpi < 1) return 1;
  return static_cast<UINT16>(Dpi > 65535 ? 65535 : Dpi);
}

}  // namespace

void WriteJPegStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  std::atomic<bool> ownAbort{false};
  std::atomic<bool>* abort = Progress.AbortFlag ? Progress.AbortFlag : &ownAbort;
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) {
    abort->store(true);
    return;
  }
  // The library takes 24-bit rows; any other format is converted on a copy
  // so rows are never read past their end.
  std::unique_ptr<TLKBitmap> temp;
  TLKBitmap* bmp = Bitmap;
  if (Bitmap->GetPixelFormat() != lk24RGB) {
    temp = std::make_unique<TLKBitmap>();
    temp->Assign(Bitmap);
    temp->SetPixelFormat(lk24RGB);
    bmp = temp.get();
  }
  const Integer width = bmp->GetWidth();
  const Integer height = bmp->GetHeight();

  auto ctx = std::make_unique<TWriteContext>();
  jpeg_compress_struct& ci = ctx->Info;
  TLKJpegErrorMgr* err = &ctx->Err;
  ci.err = LKJpegInitErrorMgr(ctx->Err, abort);
  LKJpegCall(err, [&] { jpeg_CreateCompress(&ci, 62, sizeof(ci)); });
  ctx->Created = true;
  LKJpegCall(err, [&] { LKJpegAttachDest(&ci, Stream, abort); });
  if (abort->load()) return;

  bool cmykInput = false;
  J_COLOR_SPACE space = JCS_RGB;
  switch (Params.JPEG_COLORSPACE) {
    case ioJPEG_GRAYLEV: space = JCS_GRAYSCALE; break;
    case ioJPEG_YCbCr: space = JCS_YCbCr; break;
    case ioJPEG_CMYK: space = JCS_CMYK; cmykInput = true; break;
    case ioJPEG_YCbCrK: space = JCS_YCCK; cmykInput = true; break;
    default: space = JCS_RGB; break;
  }
  // Row dimensions are checked by the library against its own limit.
  ci.image_width = static_cast<JDIMENSION>(width);
  ci.image_height = static_cast<JDIMENSION>(height);
  ci.input_components = cmykInput ? 4 : 3;
  ci.in_color_space = cmykInput ? JCS_CMYK : JCS_EXT_BGR;

  LKJpegCall(err, [&] {
    jpeg_set_defaults(&ci);
    jpeg_set_colorspace(&ci, space);
    ci.density_unit = 1;
    ci.X_density = Density(Params.DPIX, gDefaultDPIX);
    ci.Y_density = Density(Params.DPIY, gDefaultDPIY);
    switch (Params.JPEG_DCTMETHOD) {
      case ioJPEG_ISLOW: ci.dct_method = JDCT_ISLOW; break;
      case ioJPEG_IFAST: ci.dct_method = JDCT_IFAST; break;
      case ioJPEG_FLOAT: ci.dct_method = JDCT_FLOAT; break;
      default: break;
    }
    ci.optimize_coding = Params.JPEG_OPTIMALHUFFMAN ? TRUE : FALSE;
    ci.smoothing_factor = Params.JPEG_SMOOTH < 0 ? 0 : (Params.JPEG_SMOOTH > 100 ? 100 : Params.JPEG_SMOOTH);
    jpeg_set_quality(&ci, Params.JPEG_QUALITY, TRUE);
    if (space == JCS_CMYK) ci.write_JFIF_header = TRUE;
    if (Params.JPEG_PROGRESSIVE) jpeg_simple_progression(&ci);
    jpeg_start_compress(&ci, TRUE);
  });

  Params.JPEG_Markers.Sort();
  for (Integer i = 0; i < Params.JPEG_Markers.GetCount(); ++i) {
    const Byte code = Params.JPEG_Markers.GetMarkerType(i);
    if (code == 0xEE) continue;
    const Byte* data = Params.JPEG_Markers.GetMarkerData(i);
    const unsigned len = static_cast<unsigned>(Params.JPEG_Markers.GetMarkerLength(i));
    LKJpegCall(err, [&] { jpeg_write_marker(&ci, code, data, len); });
  }

  std::vector<Byte> scratch;
  if (cmykInput) scratch.resize(static_cast<std::size_t>(width) * 4);
  Progress.Done = 0;
  Progress.Step = 100.0 / height;
  for (Integer y = 0; y < height && !abort->load(); ++y) {
    Byte* line = static_cast<Byte*>(bmp->GetScanLine(y));
    JSAMPROW row = line;
    if (cmykInput) {
      const TRGB* px = reinterpret_cast<const TRGB*>(line);
      for (Integer x = 0; x < width; ++x) {
        const TCMYK c = LKRGB2CMYK(px[x]);
        Byte* d = &scratch[4 * static_cast<std::size_t>(x)];
        d[0] = c.c;
        d[1] = c.m;
        d[2] = c.y;
        d[3] = c.k;
      }
      row = scratch.data();
    }
    LKJpegCall(err, [&] { jpeg_write_scanlines(&ci, &row, 1); });
    ++Progress.Done;
    if (Progress.OnProgress)
      Progress.OnProgress(Progress.Sender, static_cast<Integer>(Int64{Progress.Done} * 100 / height));
  }
  if (!abort->load()) LKJpegCall(err, [&] { jpeg_finish_compress(&ci); });
}
