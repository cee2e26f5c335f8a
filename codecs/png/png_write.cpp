// PNG writer. Library errors long-jump back into WriteBody, whose frame
// holds no object with a destructor; the caller then raises
// EInvalidGraphic.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/png/pngfilt.h"
#include "core/lkquantizer.h"

namespace {

struct TWriteContext {
  TStream* Stream = nullptr;
  TProgressRec* Progress = nullptr;
  TIOParamsVals* Params = nullptr;
  TLKBitmap* Source = nullptr;     // the bitmap rows come from
  TLKMask* Mask = nullptr;         // transparency, or null
  TLKQuantizer* Quantizer = nullptr;
  std::vector<TRGB> Palette;       // quantiser colours
  std::vector<png_color> FilePalette;
  std::vector<Byte> Row;
  std::vector<png_text> Texts;
  int ColorType = PNG_COLOR_TYPE_RGB;
  int Depth = 8;
  jmp_buf Jump;
};

void OnError(png_structp png, png_const_charp) {
  auto* ctx = static_cast<TWriteContext*>(png_get_error_ptr(png));
  longjmp(ctx->Jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, size_t length) {
  auto* ctx = static_cast<TWriteContext*>(png_get_io_ptr(png));
  if (LKAborted(*ctx->Progress)) return;
  SafeStreamWrite(ctx->Stream, ctx->Progress->AbortFlag, data, Integer(length));
}

void OnFlush(png_structp) {}

// Returns false after a library error.
bool WriteBody(png_structp png, png_infop info, TWriteContext& ctx, TLKBitmap& B) {
  if (setjmp(ctx.Jump)) return false;
  TIOParamsVals& P = *ctx.Params;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  png_set_write_fn(png, &ctx, OnWrite, OnFlush);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), ctx.Depth, ctx.ColorType,
               P.PNG_INTERLACED ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!ctx.FilePalette.empty()) png_set_PLTE(png, info, ctx.FilePalette.data(), int(ctx.FilePalette.size()));
  png_set_pHYs(png, info, png_uint_32(lkcodec::DpiToPpm(P.DPIX)), png_uint_32(lkcodec::DpiToPpm(P.DPIY)),
               PNG_RESOLUTION_METER);
  switch (P.PNG_FILTER) {
    case ioPNG_FILTER_NONE: png_set_filter(png, 0, PNG_FILTER_NONE); break;
    case ioPNG_FILTER_SUB: png_set_filter(png, 0, PNG_FILTER_SUB); break;
    case ioPNG_FILTER_PAETH: png_set_filter(png, 0, PNG_FILTER_PAETH); break;
  }
  // The background in the file's own terms: a palette index, a grey level
  // or the colour itself, each at the file's sample size.
  png_color_16 bkgd{};
  const TRGB bg = P.PNG_BACKGROUND;
  const bool maskPalette = ctx.ColorType == PNG_COLOR_TYPE_PALETTE && ctx.Mask;
  if (ctx.ColorType == PNG_COLOR_TYPE_PALETTE) {
    bkgd.index = maskPalette ? 0 : Byte(std::clamp(ctx.Quantizer ? ctx.Quantizer->GetRGBIndex(bg) : 0, 0, 255));
  } else if (ctx.ColorType == PNG_COLOR_TYPE_GRAY) {
    const int level = (21 * bg.r + 71 * bg.g + 8 * bg.b) / 100;
    bkgd.gray = png_uint_16(ctx.Depth == 1 ? (level >= 128) : ctx.Depth == 16 ? level * 257 : level);
  } else {
    bkgd.red = bg.r;
    bkgd.green = bg.g;
    bkgd.blue = bg.b;
  }
  png_set_bKGD(png, info, &bkgd);
  if (maskPalette) {
    png_byte trans = 0;
    png_set_tRNS(png, info, &trans, 1, nullptr);
  }
  png_set_compression_level(png, std::clamp<Integer>(P.PNG_COMPRESSION, 0, 9));
  if (!ctx.Texts.empty()) png_set_text(png, info, ctx.Texts.data(), int(ctx.Texts.size()));
  png_write_info(png, info);
  if (ctx.ColorType == PNG_COLOR_TYPE_RGB || ctx.ColorType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  const double share = 100.0 / (double(h) * passes);
  Integer done = 0;
  TLKBitmap& S = *ctx.Source;
  const TLKPixelFormat sf = S.GetPixelFormat();
  for (int pass = 0; pass < passes; ++pass) {
    for (Integer y = 0; y < h; ++y) {
      const Byte* src = static_cast<const Byte*>(S.GetScanLine(y));
      const Byte* m = ctx.Mask ? ctx.Mask->GetScanLine(y) : nullptr;
      Byte* row = ctx.Row.data();
      const TRGB* px = reinterpret_cast<const TRGB*>(src);
      auto qi = [&](const TRGB& c) { return std::clamp(ctx.Quantizer->GetRGBIndex(c), 0, 255); };
      switch (ctx.ColorType) {
        case PNG_COLOR_TYPE_PALETTE:
          if (maskPalette) {
            if (sf == lk8p) {
              for (Integer x = 0; x < w; ++x) row[x] = m[x] == 255 ? Byte(std::min(src[x] + 1, 255)) : 0;
            } else {
              for (Integer x = 0; x < w; ++x) row[x] = m[x] == 255 ? Byte(std::min(qi(px[x]) + 1, 255)) : 0;
            }
          } else if (sf == lk8p) {
            std::memcpy(row, src, size_t(w));
          } else {
            for (Integer x = 0; x < w; ++x) row[x] = Byte(qi(px[x]));
          }
          break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
          for (Integer x = 0; x < w; ++x) {
            row[x * 4] = px[x].b;
            row[x * 4 + 1] = px[x].g;
            row[x * 4 + 2] = px[x].r;
            row[x * 4 + 3] = m[x];
          }
          break;
        case PNG_COLOR_TYPE_RGB: row = const_cast<Byte*>(src); break;
        default:  // grey
          if (ctx.Depth == 1) {
            row = const_cast<Byte*>(src);
          } else if (ctx.Depth == 16) {
            for (Integer x = 0; x < w; ++x) {
              row[x * 2] = sf == lk16g ? src[x * 2 + 1] : Byte(qi(px[x]));
              row[x * 2 + 1] = 0;
            }
          } else if (sf == lk8g) {
            row = const_cast<Byte*>(src);
          } else {
            for (Integer x = 0; x < w; ++x) row[x] = Byte(qi(px[x]));
          }
          break;
      }
      png_write_row(png, row);
      ++done;
      if (ctx.Progress->OnProgress) lkcodec::Report(*ctx.Progress, LKTrunc(done * share));
      if (LKAborted(*ctx.Progress)) return true;
    }
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

void WritePNGStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TLKMask* Mask) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "PNG: damaged or unsupported data");
  TLKBitmap& B = *Bitmap;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  if (Params.SAMPLESPERPIXEL == 1 && Params.BITSPERSAMPLE != 1 && Params.BITSPERSAMPLE != 8 &&
      Params.BITSPERSAMPLE != 16)
    Params.BITSPERSAMPLE = 8;
  TWriteContext ctx;
  ctx.Stream = Stream;
  ctx.Progress = &Progress;
  ctx.Params = &Params;
  std::unique_ptr<TLKBitmap> copy;
  std::unique_ptr<TLKQuantizer> quantizer;
  if (Mask && (Mask->GetFull() || Mask->GetWidth() < w || Mask->GetHeight() < h || Mask->GetBitsPerPixel() != 8))
    Mask = nullptr;
  ctx.Mask = Mask;
  const TLKPixelFormat pf = B.GetPixelFormat();
  TLKBitmap* src = &B;
  if (Params.BITSPERSAMPLE == 1) {
    // One bit: lk1g as it is, anything else reduced to two colours (a plain
    // conversion when it has more).
    if (pf != lk1g) {
      TRGB dark{}, light{};
      copy = lkcodec::ConvertTo1bitEx(B, dark, light);
      if (!copy) {
        copy = std::make_unique<TLKBitmap>();
        copy->Assign(&B);
        copy->SetPixelFormat(lk1g);
      }
      src = copy.get();
    }
  } else {
    const bool keep8p = pf == lk8p && Params.SAMPLESPERPIXEL == 1;
    const bool keepGrey = (pf == lk8g && Params.BITSPERSAMPLE == 8) || (pf == lk16g && Params.BITSPERSAMPLE == 16);
    if (!keep8p && !(keepGrey && Params.SAMPLESPERPIXEL == 1)) src = lkcodec::WorkingCopy(B, copy, false, false);
  }
  ctx.Source = src;
  const TLKPixelFormat sf = src->GetPixelFormat();
  if (Params.SAMPLESPERPIXEL == 1 && sf == lk1g) {
    ctx.ColorType = PNG_COLOR_TYPE_GRAY;
    ctx.Depth = 1;
    ctx.Mask = nullptr;
  } else if (Params.SAMPLESPERPIXEL == 1 && (sf == lk8g || sf == lk16g) && !Mask) {
    ctx.ColorType = PNG_COLOR_TYPE_GRAY;
    ctx.Depth = sf == lk8g ? 8 : 16;
  } else if (Params.SAMPLESPERPIXEL == 1) {
    ctx.ColorType = PNG_COLOR_TYPE_PALETTE;
    ctx.Depth = Params.BITSPERSAMPLE;
    if (sf != lk8p && sf != lk24RGB) src = ctx.Source = lkcodec::WorkingCopy(B, copy, false, false);
    if (Mask) {
      const Integer n = std::min(1 << std::min(Params.BITSPERSAMPLE, 8), 255);
      ctx.Depth = 8;
      ctx.Palette.assign(256, TRGB{0, 0, 0});
      quantizer = std::make_unique<TLKQuantizer>(ctx.Source, ctx.Palette.data(), 255, n, -1, 0);
      ctx.FilePalette.resize(size_t(std::min(n + 1, 256)));
      ctx.FilePalette[0] = png_color{Params.PNG_BACKGROUND.r, Params.PNG_BACKGROUND.g, Params.PNG_BACKGROUND.b};
      for (size_t i = 1; i < ctx.FilePalette.size(); ++i)
        ctx.FilePalette[i] = png_color{ctx.Palette[i - 1].r, ctx.Palette[i - 1].g, ctx.Palette[i - 1].b};
    } else {
      ctx.Palette.assign(256, TRGB{0, 0, 0});
      quantizer = std::make_unique<TLKQuantizer>(ctx.Source, ctx.Palette.data(), 255, 256, -1, 0);
      if (quantizer->GetGrayScale() && sf != lk8p) {
        ctx.ColorType = PNG_COLOR_TYPE_GRAY;
      } else {
        ctx.FilePalette.resize(256);
        for (size_t i = 0; i < 256; ++i) ctx.FilePalette[i] = png_color{ctx.Palette[i].r, ctx.Palette[i].g, ctx.Palette[i].b};
      }
      // Grey keeps 8 or 16 bits; a palette of 16 bits is refused by the
      // library (EInvalidGraphic).
      Params.BITSPERSAMPLE = ctx.Depth;
    }
  } else {
    ctx.ColorType = ctx.Mask ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    ctx.Depth = 8;
  }
  ctx.Quantizer = quantizer.get();
  ctx.Row.assign(size_t(w) * 4 + 8, 0);
  const Integer texts = std::min(Params.PNG_TextKeywords.Count(), Params.PNG_TextStrings.Count());
  std::vector<String> keys(size_t(texts > 0 ? texts : 0)), values(keys.size());
  for (Integer i = 0; i < texts; ++i) {
    keys[size_t(i)] = Params.PNG_TextKeywords.Strings(i).substr(0, 79);
    values[size_t(i)] = Params.PNG_TextStrings.Strings(i);
    png_text t{};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = keys[size_t(i)].data();
    t.text = values[size_t(i)].data();
    t.text_length = values[size_t(i)].size();
    ctx.Texts.push_back(t);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    if (png) png_destroy_write_struct(&png, nullptr);
    throw EInvalidGraphic("Error on creating PNG");
  }
  const bool ok = WriteBody(png, info, ctx, *src);
  src->FreeAllMaps();
  png_destroy_write_struct(&png, &info);
  if (!ok) throw EInvalidGraphic("Error on creating PNG");
}
