// JPEG reader, content probe and embedded ICC profile loader.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpeg_pvt.h"
#include "core/lkioglobals.h"
#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkicc.h"
#include "core/lkstreams.h"
#include "io/lkconvertcolor.h"
#include "io/lkexif.h"

static_assert(JPEG_LIB_VERSION == 62, "the codec is written for the version 62 interface");

namespace {

// The library's records live on the heap: the guard's long jump must not
// skip destructors, and the records are plain C structures anyway.
struct TReadContext {
  jpeg_decompress_struct Info{};
  TLKJpegErrorMgr Err;
  bool Created = false;
  ~TReadContext() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
};

void ReportRow(TProgressRec& Progress, Integer Height) {
  if (Progress.OnProgress && Height > 0)
    Progress.OnProgress(Progress.Sender, static_cast<Integer>(Int64{Progress.Done} * 100 / Height));
}

// Copies the markers the library saved into the parameters, in file order,
// without the first APP0 (the JFIF header the writer makes again).
void CollectMarkers(jpeg_decompress_struct& Info, TIOParamsVals& Params) {
  Params.JPEG_Markers.Clear();
  bool firstApp0 = true;
  for (jpeg_saved_marker_ptr m = Info.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 && firstApp0) {
      firstApp0 = false;
      continue;
    }
    Params.JPEG_Markers.AddMarker(static_cast<Byte>(m->marker), m->data, static_cast<Integer>(m->data_length));
  }
}

// Denominator of the scale asked for (1, 2, 4 or 8).
unsigned ScaleDenominator(const TIOParamsVals& Params, JDIMENSION Width, JDIMENSION Height) {
  switch (Params.JPEG_SCALE) {
    case ioJPEG_HALF: return 2;
    case ioJPEG_QUARTER: return 4;
    case ioJPEG_EIGHTH: return 8;
    case ioJPEG_AUTOCALC:
      if (Params.WIDTH > 0 && Params.HEIGHT > 0) {
        for (int n = 3; n >= 0; --n) {
          if (static_cast<Int64>(Width >> n) >= Params.WIDTH && static_cast<Int64>(Height >> n) >= Params.HEIGHT)
            return 1u << n;
        }
      }
      return 1;
    default: return 1;
  }
}

// Loads the first APP1 marker as EXIF block and the first XMP APP1 marker.
// A picture without JFIF density (the library reports 1 by 1) takes the
// EXIF resolution; a zero EXIF resolution keeps the density as read.
void ReadExifAndXmp(TIOParamsVals& Params, TLKBitmap* Bitmap, bool ParamsOnly, Integer DensityX,
                    Integer DensityY) {
  const Integer app1 = Params.JPEG_Markers.IndexOf(0xE1);
  if (app1 >= 0 && LoadEXIFFromStandardBuffer(Params.JPEG_Markers.GetMarkerData(app1),
                                              Params.JPEG_Markers.GetMarkerLength(app1), Params)) {
    const double f = Params.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1.0;
    const bool fromExif = DensityX == 1 && DensityY == 1 && Params.EXIF_XRESOLUTION > 0 &&
                          Params.EXIF_YRESOLUTION > 0;
    Params.DPIX = fromExif ? LKTrunc(Params.EXIF_XRESOLUTION * f) : DensityX;
    Params.DPIY = fromExif ? LKTrunc(Params.EXIF_YRESOLUTION * f) : DensityY;
    if (Params.JPEG_ENABLEADJUSTORIENTATION && !ParamsOnly && Bitmap)
      LKAdjustEXIFOrientation(Bitmap, Params.EXIF_ORIENTATION);
  }
  for (Integer i = 0; i < Params.JPEG_Markers.GetCount(); ++i) {
    if (Params.JPEG_Markers.GetMarkerType(i) == 0xE1 &&
        LKLoadXMPFromJpegTag(Params.JPEG_Markers.GetMarkerData(i), Params.JPEG_Markers.GetMarkerLength(i), Params))
      break;
  }
}

// The bitmap's format for the library's output colour space.
TLKPixelFormat OutputFormat(const jpeg_decompress_struct& Ci, const TIOParamsVals& Params) {
  if (Params.ISNATIVEPIXELFORMAT) {
    if (Ci.out_color_space == JCS_GRAYSCALE) return lk8g;
    if (Ci.out_color_space == JCS_CMYK) return lkCMYK;
  }
  return lk24RGB;
}

// Asks the allocation gate for the picture the header declares, before the
// library allocates for it: the bitmap at the output size, and the library's
// whole-picture coefficient buffer of a picture in several scans (two bytes
// a coefficient, held in memory). Huffman-coded data takes at least one bit
// per block of every component, in every scan form; with Whole false the
// stream holds only some rows (the strips of old-style TIFF pages).
bool AllowPicture(jpeg_decompress_struct& Ci, TLKJpegErrorMgr* Err, const TIOParamsVals& Params,
                  TProgressRec& Progress, Int64 Available, bool Whole) {
  if (!LKJpegGuard(Err, [&] { jpeg_calc_output_dimensions(&Ci); })) return false;
  Int64 blocks = 0, coefficients = 0;
  for (int c = 0; c < Ci.num_components; ++c) {
    const jpeg_component_info& comp = Ci.comp_info[c];
    const Int64 w = comp.width_in_blocks, h = comp.height_in_blocks;
    const Int64 hs = std::max(comp.h_samp_factor, 1), vs = std::max(comp.v_samp_factor, 1);
    blocks += w * h;
    coefficients += (w + hs - 1) / hs * hs * ((h + vs - 1) / vs * vs) * DCTSIZE2;
  }
  TLKPictureRequest r;
  r.Width = Ci.output_width;
  r.Height = Ci.output_height;
  r.BitsPerPixel = LKPixelFormatBitCount(OutputFormat(Ci, Params));
  r.MaxSide = JPEG_MAX_DIMENSION;
  if (jpeg_has_multiple_scans(&Ci)) r.WorkBytes = coefficients * Int64(sizeof(JCOEF));
  if (Whole && !Ci.arith_code) {
    r.MinCodedBytes = blocks / 8;
    r.AvailableBytes = Available;
  }
  return LKAllowPicture(r, Progress, "JPEG");
}

void ReadBody(TStream* Stream, TStream* TablesStream, TLKBitmap* Bitmap, TIOParamsVals& Params,
              TProgressRec& Progress, std::atomic<bool>* Abort, bool ParamsOnly, bool RawYCbCr,
              bool ReadMetadata, bool InvertCMYK, bool DropICCMarkers, bool ReadICC, Integer MaxLines) {
  Params.JPEG_WARNINGTOT = 0;
  Params.JPEG_WARNINGCODE = 0;
  const Int64 start = JpegTryStream(Stream);
  if (start < 0) {
    Abort->store(true);
    return;
  }
  Stream->SetPosition(start);
  if (ReadICC) LKGetJpegICC(Stream, Params);
  // The embedded profile converts the rows when colour management is on.
  const bool cmsActive = Params.InputICC && lkgEnableCMS;
  if (cmsActive) Params.GetOutputICC();

  auto ctx = std::make_unique<TReadContext>();
  jpeg_decompress_struct& ci = ctx->Info;
  TLKJpegErrorMgr* err = &ctx->Err;
  ci.err = LKJpegInitErrorMgr(ctx->Err, Abort);
  if (!LKJpegGuard(err, [&] { jpeg_CreateDecompress(&ci, 62, sizeof(ci)); })) return;
  ctx->Created = true;

  std::vector<Byte> scratch;
  Integer densityX = Params.DPIX, densityY = Params.DPIY;
  bool ok = LKJpegGuard(err, [&] {
    if (TablesStream && TablesStream != Stream) {
      LKJpegAttachSource(&ci, TablesStream, Abort);
      jpeg_read_header(&ci, FALSE);
    }
    LKJpegAttachSource(&ci, Stream, Abort);
    jpeg_save_markers(&ci, JPEG_COM, 0xFFFF);
    for (int i = 0; i < 16; ++i) jpeg_save_markers(&ci, JPEG_APP0 + i, 0xFFFF);
    jpeg_read_header(&ci, TRUE);
  });

  if (ok) {
    Params.BITSPERSAMPLE = 8;
    const J_COLOR_SPACE fileSpace = ci.jpeg_color_space;
    switch (fileSpace) {
      case JCS_GRAYSCALE:
        Params.JPEG_COLORSPACE = ioJPEG_GRAYLEV;
        Params.SAMPLESPERPIXEL = 1;
        ci.out_color_space = JCS_GRAYSCALE;
        break;
      case JCS_RGB:
        // The library swaps to blue-green-red itself.
        Params.JPEG_COLORSPACE = ioJPEG_RGB;
        Params.SAMPLESPERPIXEL = 3;
        ci.out_color_space = JCS_EXT_BGR;
        break;
      case JCS_YCbCr:
        Params.JPEG_COLORSPACE = ioJPEG_YCbCr;
        Params.SAMPLESPERPIXEL = 3;
        ci.out_color_space = RawYCbCr ? JCS_YCbCr : JCS_EXT_BGR;
        break;
      case JCS_CMYK:
        Params.JPEG_COLORSPACE = ioJPEG_CMYK;
        Params.SAMPLESPERPIXEL = 4;
        ci.out_color_space = JCS_CMYK;
        break;
      case JCS_YCCK:
        Params.JPEG_COLORSPACE = ioJPEG_YCbCrK;
        Params.SAMPLESPERPIXEL = 4;
        ci.out_color_space = JCS_CMYK;
        break;
      default:
        ci.out_color_space = JCS_UNKNOWN;
        break;
    }
    switch (Params.JPEG_DCTMETHOD) {
      case ioJPEG_ISLOW: ci.dct_method = JDCT_ISLOW; break;
      case ioJPEG_IFAST: ci.dct_method = JDCT_IFAST; break;
      case ioJPEG_FLOAT: ci.dct_method = JDCT_FLOAT; break;
      default: break;
    }
    switch (ci.density_unit) {
      case 0:
      case 1:
        Params.DPIX = ci.X_density;
        Params.DPIY = ci.Y_density;
        break;
      case 2:
        Params.DPIX = LKTrunc(ci.X_density * 2.54);
        Params.DPIY = LKTrunc(ci.Y_density * 2.54);
        break;
      default: break;
    }
    densityX = Params.DPIX;
    densityY = Params.DPIY;
    Params.SetColorMapCount(0);
    Params.JPEG_PROGRESSIVE = ci.progressive_mode != 0;
    Params.JPEG_ORIGINALWIDTH = static_cast<Integer>(ci.image_width);
    Params.JPEG_ORIGINALHEIGHT = static_cast<Integer>(ci.image_height);
    const unsigned denom = ScaleDenominator(Params, ci.image_width, ci.image_height);
    ci.scale_num = 1;
    ci.scale_denom = denom;
    Params.JPEG_SCALE_USED = static_cast<Integer>(denom);

    if (ParamsOnly) {
      Params.WIDTH = static_cast<Integer>(ci.image_width);
      Params.HEIGHT = static_cast<Integer>(ci.image_height);
    } else if (ci.out_color_space == JCS_UNKNOWN) {
      // No placement exists for samples of an unknown colour space.
      Abort->store(true);
    } else if (!AllowPicture(ci, err, Params, Progress, Stream->GetSize() - start, MaxLines < 0)) {
      Abort->store(true);
    } else if (LKJpegGuard(err, [&] { jpeg_start_decompress(&ci); })) {
      const Integer width = static_cast<Integer>(ci.output_width);
      const Integer height = static_cast<Integer>(ci.output_height);
      Params.WIDTH = width;
      Params.HEIGHT = height;
      const TLKPixelFormat format = OutputFormat(ci, Params);
      bool allocated = false;
      try {
        Bitmap->Allocate(width, height, format);
        scratch.assign(static_cast<std::size_t>(width) * 4, 0);
        allocated = Bitmap->GetWidth() == width && Bitmap->GetHeight() == height;
      } catch (...) {
        allocated = false;
      }
      if (!allocated) {
        Abort->store(true);
      } else {
        const bool wholePicture = MaxLines < 0;
        if (MaxLines < 0) MaxLines = height;
        Progress.Done = 0;
        Progress.Step = height > 0 ? 100.0 / height : 0;
        Integer rows = 0;
        // A sequential picture whose data ends early stops at the end of the
        // band of rows being decoded then (one row of blocks), with the rows
        // decoded so far and the abort flag, instead of padding the rest of
        // the declared height. Progressive pictures read all their data
        // before the first row: what they hold is decoded. Callers that ask
        // for a number of rows hand over the data of those rows only (the
        // strips of old-style JPEG pages) and are not stopped.
        auto* src = reinterpret_cast<TLKJpegSource*>(ci.src);
        // A marker met while the scan still needs data (an end of image
        // before the last row) ends the data as well: the library would go
        // on giving rows of grey to the declared height.
        const bool stopAtEnd = !jpeg_has_multiple_scans(&ci) && src != nullptr && wholePicture;
        const Integer band = std::max(1, ci.max_v_samp_factor * ci.min_DCT_scaled_size);
        Integer stopRow = -1;
        while (ci.output_scanline < ci.output_height && rows < MaxLines && !Abort->load()) {
          const Integer y = static_cast<Integer>(ci.output_scanline);
          Byte* line = static_cast<Byte*>(Bitmap->GetScanLine(y));
          const bool direct = (ci.out_color_space == JCS_GRAYSCALE && format == lk8g) ||
                              ci.out_color_space == JCS_EXT_BGR || ci.out_color_space == JCS_YCbCr ||
                              (ci.out_color_space == JCS_CMYK && format == lkCMYK);
          JSAMPROW target = direct ? line : scratch.data();
          JDIMENSION got = 0;
          if (!LKJpegGuard(err, [&] { got = jpeg_read_scanlines(&ci, &target, 1); })) break;
          if (got == 0) break;
          if (!direct) {
            if (ci.out_color_space == JCS_GRAYSCALE) {
              for (Integer x = 0; x < width; ++x) line[3 * x] = line[3 * x + 1] = line[3 * x + 2] = scratch[x];
              // The plain grey copy stays where the profile cannot convert.
              if (cmsActive) LKConvertColorFunction(scratch.data(), lkcmsGray8, line, lkcmsBGR, width, &Params);
            } else {
              if (InvertCMYK)
                for (std::size_t i = 0; i < std::size_t(width) * 4; ++i) scratch[i] = Byte(255 - scratch[i]);
              LKConvertColorFunction(scratch.data(), lkcmsCMYK, line, lkcmsBGR, width, &Params);
            }
          } else if (cmsActive && ci.out_color_space == JCS_EXT_BGR) {
            std::memcpy(scratch.data(), line, std::size_t(width) * 3);
            LKConvertColorFunction(scratch.data(), lkcmsBGR, line, lkcmsBGR, width, &Params);
          }
          rows += static_cast<Integer>(got);
          Progress.Done += static_cast<Integer>(got);
          ReportRow(Progress, height);
          if (stopAtEnd && (src->PrematureEnd || err->DataEnded)) {
            const Integer at = static_cast<Integer>(ci.output_scanline);
            if (stopRow < 0) stopRow = (at + band - 1) / band * band;
            if (at >= stopRow) break;
          }
        }
        if (rows < MaxLines) LKAbort(Progress, "JPEG: the data ends before the last row");
      }
    }
  }

  CollectMarkers(ci, Params);
  if (DropICCMarkers && cmsActive && Params.InputICC->IsTransforming()) {
    // The pixels are in the output profile's colours now: the embedded
    // profile no longer describes them.
    Params.InputICC->FreeTransform();
    for (Integer i = Params.JPEG_Markers.GetCount() - 1; i >= 0; --i)
      if (Params.JPEG_Markers.GetMarkerType(i) == JPEG_APP0 + 2) Params.JPEG_Markers.DeleteMarker(i);
  }
  if (!Abort->load() && !ParamsOnly) {
    err->AbortFlag = nullptr;
    if (auto* src = reinterpret_cast<TLKJpegSource*>(ci.src)) src->AbortFlag = nullptr;
    LKJpegGuard(err, [&] { jpeg_finish_decompress(&ci); });
  }
  const Integer warnings = err->WarningCount;
  const Integer lastCode = err->LastCode;
  ctx.reset();
  if (warnings != 0) {
    Params.JPEG_WARNINGTOT = warnings;
    Params.JPEG_WARNINGCODE = lastCode;
  }

  if (ReadMetadata) {
    const Integer iptc = Params.JPEG_Markers.IndexOf(0xED);
    if (iptc >= 0)
      Params.IPTC_Records.LoadFromStandardBuffer(Params.JPEG_Markers.GetMarkerData(iptc),
                                                 Params.JPEG_Markers.GetMarkerLength(iptc));
    ReadExifAndXmp(Params, Bitmap, ParamsOnly, densityX, densityY);
  }
}

// Marker walk over a buffered reader: reads up to the next marker code
// (skipping fill bytes); false at the end of the data.
bool NextMarker(TLKBufferedReadStream& In, Byte& Code) {
  Byte b = 0;
  do {
    if (In.Read(&b, 1) != 1) return false;
  } while (b != 0xFF);
  do {
    if (In.Read(&b, 1) != 1) return false;
  } while (b == 0xFF);
  Code = b;
  return true;
}

// Reads a segment's big-endian length; false at the end or for a length
// below the two bytes it counts itself.
bool SegmentLength(TLKBufferedReadStream& In, Integer& Length) {
  Byte len[2];
  if (In.Read(len, 2) != 2) return false;
  Length = (len[0] << 8) | len[1];
  return Length >= 2;
}

}  // namespace

void ReadJPegStream(TStream* Stream, TStream* TablesStream, TLKBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, bool ParamsOnly, bool RawYCbCr, bool ReadMetadata,
                    bool InvertCMYK, bool DropICCMarkers, bool ReadICC, Integer MaxLines) {
  std::atomic<bool> ownAbort{false};
  std::atomic<bool>* abort = Progress.AbortFlag ? Progress.AbortFlag : &ownAbort;
  if (!Stream || (!Bitmap && !ParamsOnly)) {
    abort->store(true);
    return;
  }
  try {
    if (Params.JPEG_GETEXIFTHUMBNAIL) {
      if (Params.EXIF_ThumbnailImage) Params.EXIF_ThumbnailImage->FreeImage();
      Params.JPEG_GETEXIFTHUMBNAIL = false;
      const Integer w = Params.WIDTH, h = Params.HEIGHT;
      // The pass and the read after it start where the picture starts, so a
      // JPEG held inside a larger stream is read from its own beginning.
      const Int64 entry = Stream->GetPosition();
      ReadBody(Stream, TablesStream, Bitmap, Params, Progress, abort, true, RawYCbCr, true, InvertCMYK, false,
               false, -1);
      Stream->SetPosition(entry);
      Params.JPEG_GETEXIFTHUMBNAIL = true;
      if (Params.EXIF_ThumbnailImage && !Params.EXIF_ThumbnailImage->IsEmpty()) {
        if (Bitmap) Bitmap->Assign(Params.EXIF_ThumbnailImage.get());
        return;
      }
      Params.WIDTH = w;
      Params.HEIGHT = h;
    }
    ReadBody(Stream, TablesStream, Bitmap, Params, Progress, abort, ParamsOnly, RawYCbCr, ReadMetadata, InvertCMYK,
             DropICCMarkers, ReadICC, MaxLines);
  } catch (...) {
    // Stream or allocation failures outside the library.
    abort->store(true);
  }
}

Int64 JpegTryStream(TStream* Stream) {
  const Int64 p = Stream->GetPosition();
  Byte buf[102];
  Integer got = 0;
  try {
    got = Stream->Read(buf, sizeof(buf));
  } catch (...) {
    got = 0;
  }
  Stream->SetPosition(p);
  for (Integer i = 0; i + 3 <= got && i < 100; ++i) {
    if (buf[i] == 0xFF && buf[i + 1] == 0xD8 && buf[i + 2] == 0xFF) return p + i;
  }
  return -1;
}

void LKGetJpegICC(TStream* Stream, TIOParamsVals& Params) {
  const Int64 start = Stream->GetPosition();
  std::map<Integer, std::vector<Byte>> chunks;
  {
    TLKBufferedReadStream in(Stream, 8192);
    Integer met = 0;
    Integer announced = -1;
    Byte code = 0;
    while (NextMarker(in, code)) {
      if (code <= 0xBF || (code >= 0xD0 && code <= 0xD8)) continue;
      if (code == 0xD9 || (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC)) break;
      Integer len = 0;
      if (!SegmentLength(in, len)) break;
      const Integer body = len - 2;
      if (code != 0xE2) {
        if (in.Seek(body, soCurrent) < 0) break;
        continue;
      }
      std::vector<Byte> seg(static_cast<std::size_t>(body));
      if (body > 0 && in.Read(seg.data(), body) != body) break;
      static const char kTag[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
      if (body < 14 || std::memcmp(seg.data(), kTag, 12) != 0) continue;
      const Integer seq = seg[12];
      announced = seg[13];
      chunks[seq].assign(seg.begin() + 14, seg.end());
      ++met;
      if (met >= announced) break;
    }
  }
  Stream->SetPosition(start);
  std::vector<Byte> profile;
  for (auto& [seq, data] : chunks) profile.insert(profile.end(), data.begin(), data.end());
  if (profile.empty()) return;
  if (!Params.InputICC) Params.InputICC = std::make_unique<TLKICC>();
  Params.InputICC->LoadFromBuffer(profile.data(), static_cast<Integer>(profile.size()));
}
