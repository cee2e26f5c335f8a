// PNG reader. The library reports errors through a long jump: the library
// calls run inside ReadBody, whose frame holds no object with a destructor,
// and the caller owns every buffer.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/png/pngfilt.h"

namespace {

struct TReadContext {
  TStream* Stream = nullptr;
  TProgressRec* Progress = nullptr;
  TLKBitmap* Bitmap = nullptr;
  TIOParamsVals* Params = nullptr;
  bool ParamsOnly = false;
  std::vector<Byte> Buffer;   // one row, or the whole picture when interlaced
  std::vector<Byte> Row;      // a packed 1-bit palette row
  jmp_buf Jump;
};

void OnError(png_structp png, png_const_charp) {
  auto* ctx = static_cast<TReadContext*>(png_get_error_ptr(png));
  LKAbort(*ctx->Progress, "PNG: damaged or unsupported data");
  longjmp(ctx->Jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<TReadContext*>(png_get_io_ptr(png));
  if (lkcodec::ReadFull(*ctx->Stream, data, Int64(length)) != Int64(length)) png_error(png, "short read");
}

// Everything that may jump. Returns false when the read ended early.
bool ReadBody(png_structp png, png_infop info, TReadContext& ctx) {
  if (setjmp(ctx.Jump)) return false;
  TIOParamsVals& P = *ctx.Params;
  png_set_read_fn(png, &ctx, OnRead);
  // Pictures are sized by the allocation check below, not by the library's
  // own default limit.
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
  png_textp text = nullptr;
  int textCount = 0;
  png_get_text(png, info, &text, &textCount);
  P.PNG_TextKeywords.Clear();
  P.PNG_TextStrings.Clear();
  for (int i = 0; i < textCount; ++i) {
    P.PNG_TextKeywords.Add(text[i].key ? text[i].key : "");
    P.PNG_TextStrings.Add(text[i].text ? String(text[i].text, text[i].text_length) : String());
  }
  const bool grey = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
  const bool native = P.ISNATIVEPIXELFORMAT && depth == 8 &&
                      (colorType == PNG_COLOR_TYPE_PALETTE || colorType == PNG_COLOR_TYPE_GRAY);
  if (!native) {
    if ((colorType == PNG_COLOR_TYPE_PALETTE && depth >= 2) || (colorType == PNG_COLOR_TYPE_GRAY && depth >= 2 && depth < 8))
      png_set_expand(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth >= 2 && depth < 8) png_set_packing(png);
    if (grey && depth > 1) png_set_gray_to_rgb(png);
    if (depth > 1) png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  P.WIDTH = Integer(width);
  P.HEIGHT = Integer(height);
  P.BITSPERSAMPLE = depth;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: P.SAMPLESPERPIXEL = 1; break;
    case PNG_COLOR_TYPE_PALETTE: P.SAMPLESPERPIXEL = 1; break;
    case PNG_COLOR_TYPE_RGB: P.SAMPLESPERPIXEL = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: P.SAMPLESPERPIXEL = 2; break;
    default: P.SAMPLESPERPIXEL = 4; break;
  }
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  png_get_pHYs(png, info, &resX, &resY, &unit);
  const bool metres = unit == PNG_RESOLUTION_METER;
  P.DPIX = metres && resX ? lkcodec::PpmToDpi(resX) : gDefaultDPIX;
  P.DPIY = metres && resY ? lkcodec::PpmToDpi(resY) : gDefaultDPIY;
  P.SetColorMapCount(0);
  png_colorp palette = nullptr;
  int paletteCount = 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &paletteCount)) {
    P.SetColorMapCount(paletteCount);
    for (int i = 0; i < paletteCount; ++i) P.ColorMap[size_t(i)] = TRGB{palette[i].blue, palette[i].green, palette[i].red};
  }
  P.PNG_INTERLACED = interlace != PNG_INTERLACE_NONE;
  if (ctx.ParamsOnly) return true;

  const Integer w = Integer(width), h = Integer(height);
  const bool bitPalette = colorType == PNG_COLOR_TYPE_PALETTE && depth == 1;
  TLKPixelFormat fmt = lk24RGB;
  if (colorType == PNG_COLOR_TYPE_GRAY && depth == 1) fmt = lk1g;
  else if (native) fmt = grey ? lk8g : lk8p;
  const size_t rowBytes = png_get_rowbytes(png, info);
  const int channels = png_get_channels(png, info);
  if (!LKAllowPicture(w, h, fmt == lk1g ? 1 : channels == 4 ? 32 : 24, *ctx.Progress, "PNG") ||
      rowBytes > size_t(w) * 8 + 8)
    return false;
  TLKBitmap& B = *ctx.Bitmap;
  B.Allocate(w, h, fmt);
  if (fmt == lk8p) {
    for (Integer i = 0; i < 256; ++i) B.SetPalette(i, i < paletteCount ? P.ColorMap[size_t(i)] : TRGB{0, 0, 0});
  }
  const bool alpha = channels == 4;
  TLKBitmap* alphaCh = alpha ? B.GetAlphaChannel() : nullptr;
  if (alphaCh) alphaCh->SetFull(false);
  const bool interlaced = passes > 1;
  // Rows that need converting go through a buffer; interlaced ones keep
  // the whole picture there so each pass combines with the earlier ones.
  const bool buffered = alpha || bitPalette;
  if (buffered) ctx.Buffer.assign(rowBytes * (interlaced ? size_t(h) : 1), 0);
  const TRGB c0 = paletteCount > 0 ? P.ColorMap[0] : TRGB{0, 0, 0};
  const TRGB c1 = paletteCount > 1 ? P.ColorMap[1] : TRGB{255, 255, 255};
  auto emit = [&](Integer y, const Byte* src) {
    Byte* dst = static_cast<Byte*>(B.GetScanLine(y));
    if (alpha) {
      Byte* a = static_cast<Byte*>(alphaCh->GetScanLine(y));
      for (Integer x = 0; x < w; ++x) {
        dst[x * 3] = src[x * 4];
        dst[x * 3 + 1] = src[x * 4 + 1];
        dst[x * 3 + 2] = src[x * 4 + 2];
        a[x] = src[x * 4 + 3];
      }
    } else {
      TRGB* px = reinterpret_cast<TRGB*>(dst);
      for (Integer x = 0; x < w; ++x) px[x] = (src[x >> 3] >> (7 - (x & 7))) & 1 ? c1 : c0;
    }
  };
  const double share = 100.0 / (double(h) * passes);
  Integer done = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (Integer y = 0; y < h; ++y) {
      if (buffered) {
        Byte* row = ctx.Buffer.data() + (interlaced ? size_t(y) * rowBytes : 0);
        png_read_row(png, row, nullptr);
        if (!interlaced) emit(y, row);
      } else {
        png_read_row(png, static_cast<Byte*>(B.GetScanLine(y)), nullptr);
      }
      ++done;
      if (ctx.Progress->OnProgress) lkcodec::Report(*ctx.Progress, LKTrunc(done * share));
      if (LKAborted(*ctx.Progress)) return false;
    }
  }
  if (buffered && interlaced)
    for (Integer y = 0; y < h; ++y) emit(y, ctx.Buffer.data() + size_t(y) * rowBytes);
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool IsPNGStream(TStream* Stream) {
  if (!Stream) return false;
  Byte sig[8];
  const Int64 got = lkcodec::ReadFull(*Stream, sig, 8);
  Stream->Seek(-got, soCurrent);
  return got == 8 && sig[0] == 0x89 && sig[1] == 'P' && sig[2] == 'N' && sig[3] == 'G';
}

void ReadPNGStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, bool ParamsOnly,
                   TProgressRec& Progress) {
  if (!Stream || (!Bitmap && !ParamsOnly)) return LKAbort(Progress, "PNG: damaged or unsupported data");
  TReadContext ctx;
  ctx.Stream = Stream;
  ctx.Progress = &Progress;
  ctx.Bitmap = Bitmap;
  ctx.Params = &Params;
  ctx.ParamsOnly = ParamsOnly;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    if (png) png_destroy_read_struct(&png, nullptr, nullptr);
    return LKAbort(Progress, "PNG: damaged or unsupported data");
  }
  ReadBody(png, info, ctx);
  if (Bitmap) Bitmap->FreeAllMaps();
  png_destroy_read_struct(&png, &info, nullptr);
}
