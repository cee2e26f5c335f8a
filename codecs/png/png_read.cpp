// PNG reader. The library reports errors through a long jump: the library
// calls run inside ReadBody, whose frame holds no object with a destructor,
// and the caller owns every buffer.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/png/pngfilt.h"

namespace {

// Bounds on ancillary chunks: the largest one the library may allocate (a
// compressed text or profile counts inflated), and how many it keeps.
constexpr png_alloc_size_t kMaxChunkBytes = 16 * 1024 * 1024;
constexpr png_uint_32 kMaxChunks = 1000;

struct TReadContext {
  TStream* Stream = nullptr;
  TProgressRec* Progress = nullptr;
  TLKBitmap* Bitmap = nullptr;
  TIOParamsVals* Params = nullptr;
  bool ParamsOnly = false;
  Int64 Available = -1;       // bytes of the stream from the signature on
  Int64 MallocLimit = 0;      // largest block the library may allocate now
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

// The library's allocations: no block past the chunk bound until the gate
// has allowed the picture, none past the allowed rows afterwards. A refusal
// makes the library raise its out-of-memory error.
png_voidp OnMalloc(png_structp png, png_alloc_size_t size) {
  auto* ctx = static_cast<TReadContext*>(png_get_mem_ptr(png));
  if (ctx && Int64(size) > ctx->MallocLimit) return nullptr;
  return std::malloc(size);
}

void OnFree(png_structp, png_voidp block) { std::free(block); }

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
  // own default limit; ancillary chunks (texts, suggested palettes, profiles)
  // are held to a size and a number no real file comes near.
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, kMaxChunks);
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
  const bool expand = !native && ((colorType == PNG_COLOR_TYPE_PALETTE && depth >= 2) ||
                                   (colorType == PNG_COLOR_TYPE_GRAY && depth >= 2 && depth < 8));
  if (!native) {
    if (expand) png_set_expand(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth >= 2 && depth < 8) png_set_packing(png);
    if (grey && depth > 1) png_set_gray_to_rgb(png);
    if (depth > 1) png_set_bgr(png);
  }
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
  // The gate is asked on the header before the library sizes its rows.
  // Deflate codes at most 258 bytes in two bits, so the data is at least
  // 1/1032 of the filtered rows; the library holds two rows of up to eight
  // bytes a pixel, and an interlaced picture that needs converting is kept
  // whole beside the bitmap.
  const bool mayAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || (expand && png_get_valid(png, info, PNG_INFO_tRNS));
  const Int64 fileRow = (Int64{width} * png_get_channels(png, info) * depth + 7) / 8 + 1;
  const Int64 fileBytes = fileRow > std::numeric_limits<Int64>::max() / h ? std::numeric_limits<Int64>::max()
                                                                          : fileRow * h;
  Int64 whole = 0;
  if (interlace != PNG_INTERLACE_NONE) whole = mayAlpha ? Int64{width} * 4 * h : bitPalette ? (w + 7) / 8 * Int64{h} : 0;
  TLKPictureRequest request;
  request.Width = w;
  request.Height = h;
  request.BitsPerPixel = fmt == lk1g ? 1 : mayAlpha ? 32 : LKPixelFormatBitCount(fmt);
  request.MinCodedBytes = fileBytes / 1032;
  request.AvailableBytes = ctx.Available;
  request.WorkBytes = Int64{width} * 16 + whole;
  if (!LKAllowPicture(request, *ctx.Progress, "PNG")) return false;
  ctx.MallocLimit = std::max<Int64>(ctx.MallocLimit, Int64{width} * 8 + 4096);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  const int channels = png_get_channels(png, info);
  if (rowBytes > size_t(w) * 8 + 8) {
    LKAbort(*ctx.Progress, "PNG: damaged or unsupported data");
    return false;
  }
  const bool alpha = channels == 4;
  const bool interlaced = passes > 1;
  const bool buffered = alpha || bitPalette;
  TLKBitmap& B = *ctx.Bitmap;
  B.Allocate(w, h, fmt);
  if (fmt == lk8p) {
    for (Integer i = 0; i < 256; ++i) B.SetPalette(i, i < paletteCount ? P.ColorMap[size_t(i)] : TRGB{0, 0, 0});
  }
  TLKBitmap* alphaCh = alpha ? B.GetAlphaChannel() : nullptr;
  if (alphaCh) alphaCh->SetFull(false);
  // Rows that need converting go through a buffer; interlaced ones keep
  // the whole picture there so each pass combines with the earlier ones.
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
  ctx.Available = Stream->GetSize() - Stream->GetPosition();
  ctx.MallocLimit = Int64(kMaxChunkBytes) + 4096;
  png_structp png =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning, &ctx, OnMalloc, OnFree);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    if (png) png_destroy_read_struct(&png, nullptr, nullptr);
    return LKAbort(Progress, "PNG: damaged or unsupported data");
  }
  ReadBody(png, info, ctx);
  if (Bitmap) Bitmap->FreeAllMaps();
  png_destroy_read_struct(&png, &info, nullptr);
}
