#include "raw/lkraw.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkstreams.h"
#include "io/lkexif.h"
#include "processing/lkadjustcolors.h"
#include "raw/lkrawdevelop.h"
#include "raw/lkrawident.h"
#include "raw/lkrawloaders.h"
#include "raw/lkrawstate.h"

namespace {

// Buffer of the reader's view of the source stream: it absorbs the many
// single-byte reads of the header parsers and bit readers.
constexpr Integer kReadBufferSize = 8192;

bool HasThumbnail(TIOParamsVals& P) {
  return P.EXIF_ThumbnailImage && !P.EXIF_ThumbnailImage->IsEmpty();
}

// Size of the developed picture: the image array without the border that
// demosaicing leaves, with the pixel repetition of non-square sensors.
// SuperCCD pictures are turned afterwards to a size that depends on their
// content; for them the picture size less the border is given.
void PictureSize(const TRAWDecoderState& s, bool halfSize, Integer& width, Integer& height) {
  const bool superCCD = s.load_raw == fuji_s2_load_raw || s.load_raw == fuji_f700_load_raw ||
                        s.load_raw == static_cast<TRAWLoader>(fuji_load_raw_common);
  if (superCCD) {
    width = s.width - 2;
    height = s.height - 2;
    return;
  }
  const Integer shrink = halfSize && s.filters ? 1 : 0;
  const Integer trim = s.filters && !shrink ? 1 : 0;
  auto side = [&](Integer cells, Integer mag) {
    const Int64 n = std::max<Int64>(0, ((Int64(cells) + shrink) >> shrink) - 2 * trim) * std::max(1, mag);
    return static_cast<Integer>(std::min<Int64>(n, INT32_MAX));
  };
  width = side(s.width, s.xmag);
  height = side(s.height, s.ymag);
}

// Reads the EXIF metadata of the file, or the Canon CIFF records when it has
// no TIFF structure; the view is left anywhere.
void ReadMetadata(TStream& View, TIOParamsVals& P) {
  View.Seek(0, soBeginning);
  const Int64 at = LKSearchEXIFInfo(&View);
  if (at >= 0) {
    View.Seek(at, soBeginning);
    if (LKLoadEXIFFromTIFF(&View, P)) {
      const double f = P.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1.0;
      P.SetDpiX(LKTrunc(P.EXIF_XRESOLUTION * f));
      P.SetDpiY(LKTrunc(P.EXIF_YRESOLUTION * f));
    }
  } else {
    View.Seek(0, soBeginning);
    LKCRWGetCIFFAsExif(View, P);
  }
}

// Runs the development on an identified file: loading, white balance (or
// the Foveon processing), demosaicing, colour conversion and output into
// Bitmap, 48-bit when the parameters ask for the native pixel format.
// Develops the sensor data into Bitmap; false (abort flag set) when the
// picture is refused by the allocation gate or the data ends before it does.
bool Develop(TRAWDecoderState& s, TLKBitmap& Bitmap, TIOParamsVals& P) {
  s.shrink = P.RAW_HALFSIZE && s.filters ? 1 : 0;
  s.iheight = (s.height + s.shrink) >> s.shrink;
  s.iwidth = (s.width + s.shrink) >> s.shrink;
  // The working cells take four 16-bit samples per pixel, more than the
  // picture that comes out of them, and stay in memory.
  TLKPictureRequest cells;
  cells.Width = s.iwidth;
  cells.Height = s.iheight;
  cells.BitsPerPixel = 64;
  cells.MemoryOnly = true;
  if (!LKAllowPicture(cells, s.progress, "camera RAW")) return false;
  alloc_image(s);
  reset_overrun(s);
  s.data_missing = false;
  s.load_raw(s);
  if (stream_exhausted(s) || s.data_missing) {
    s.image.clear();
    s.image.shrink_to_fit();
    LKAbort(s.progress, s.data_missing ? "camera RAW: the sensor data is not where the file places it"
                                       : "camera RAW: the sensor data ends before the picture does");
    return false;
  }
  s.height = s.iheight;
  s.width = s.iwidth;
  if (s.is_foveon)
    foveon_interpolate(s);
  else
    apply_white_balance(s);
  raw_progress(s, 70);
  if (s.shrink) s.filters = 0;
  s.trim = false;
  if (s.filters && !s.document_mode) {
    s.trim = true;
    vng_interpolate(s);
  }
  convert_colors_to_rgb(s);
  raw_progress(s, 85);
  const bool wide = P.ISNATIVEPIXELFORMAT;
  if (wide)
    write_ppm16(s, Bitmap, P);
  else
    write_ppm(s, Bitmap, P);
  raw_progress(s, 90);
  if (s.fuji_rotate) {
    if (wide)
      fuji_rotate_48(Bitmap);
    else
      fuji_rotate_24(Bitmap);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Probe

bool LKRAWTryStream(TStream& Stream) {
  const Int64 entry = Stream.GetPosition();
  bool accepted = false;
  try {
    TRAWStreamSource source(&Stream);
    auto s = std::make_unique<TRAWDecoderState>();
    s->gamma = s->bright = s->red_scale = s->blue_scale = 0;
    set_source(*s, &source);
    reset_decoder_state(*s);
    accepted = identify_camera(*s) == 0;
  } catch (const EOutOfMemory&) {
    Stream.Seek(entry, soBeginning);
    throw;
  } catch (const Exception&) {
    // A header the parsers cannot make sense of is not a file we decode.
    accepted = false;
  }
  Stream.Seek(entry, soBeginning);
  return accepted;
}

// ---------------------------------------------------------------------------
// Reader

void LKReadCameraRAWStream(TStream& Stream, TLKBitmap& Bitmap, TIOParamsVals& IOParams, TProgressRec& Progress,
                           bool ParamsOnly) {
  // The embedded thumbnail in place of a development.
  if (IOParams.RAW_GETEXIFTHUMBNAIL) {
    if (IOParams.EXIF_ThumbnailImage) IOParams.EXIF_ThumbnailImage->FreeImage();
    IOParams.SetRAW_GetExifThumbnail(false);
    try {
      LKReadCameraRAWStream(Stream, Bitmap, IOParams, Progress, true);
    } catch (...) {
      IOParams.SetRAW_GetExifThumbnail(true);
      throw;
    }
    IOParams.SetRAW_GetExifThumbnail(true);
    if (HasThumbnail(IOParams)) {
      if (!ParamsOnly) Bitmap.Assign(IOParams.EXIF_ThumbnailImage.get());
      return;
    }
    Stream.Seek(0, soBeginning);
  }

  TLKBufferedReadStream view(&Stream, kReadBufferSize);
  ReadMetadata(view, IOParams);

  view.Seek(0, soBeginning);
  TRAWStreamSource source(&view);
  auto s = std::make_unique<TRAWDecoderState>();
  set_source(*s, &source);
  reset_decoder_state(*s);
  s->gamma = static_cast<float>(IOParams.RAW_GAMMA);
  s->bright = static_cast<float>(IOParams.RAW_BRIGHT);
  s->red_scale = static_cast<float>(IOParams.RAW_REDSCALE);
  s->blue_scale = static_cast<float>(IOParams.RAW_BLUESCALE);
  s->four_color_rgb = IOParams.RAW_FOURCOLORRGB;
  s->quick_interpolate = IOParams.RAW_QUICKINTERPOLATE;
  s->use_auto_wb = IOParams.RAW_USEAUTOWB;
  s->use_camera_wb = IOParams.RAW_USECAMERAWB;
  s->document_mode = false;
  s->fuji_secondary = false;
  const bool matchColors = IOParams.RAW_AUTOADJUSTCOLORS && HasThumbnail(IOParams);
  if (matchColors) s->bright = 0.5f;
  s->fuji_rotate = false;
  s->progress = Progress;

  if (identify_camera(*s) != 0) {
    LKAbort(Progress, "camera RAW: the file is no raw picture of a camera this reader knows");
    return;
  }

  IOParams.RAW_CAMERA = String(s->make) + " " + s->model + " " + s->model2;
  IOParams.SetDpiX(gDefaultDPIX);
  IOParams.SetDpiY(gDefaultDPIY);
  IOParams.SetColorMapCount(0);
  Integer width, height;
  PictureSize(*s, IOParams.RAW_HALFSIZE, width, height);
  IOParams.WIDTH = width;
  IOParams.HEIGHT = height;

  if (!ParamsOnly) {
    if (!Develop(*s, Bitmap, IOParams)) return;
    IOParams.WIDTH = Bitmap.GetWidth();
    IOParams.HEIGHT = Bitmap.GetHeight();
    // Matching the picture's colours to the camera's own rendering.
    if (matchColors) LKAdjustColors(IOParams.EXIF_ThumbnailImage.get(), &Bitmap);
  }
  raw_progress(*s, 100);
}
