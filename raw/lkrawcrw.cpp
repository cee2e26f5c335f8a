// Canon CIFF helpers of the camera RAW decoder: the records of a CIFF file
// as EXIF fields, and its embedded JPEG pictures.
#include "raw/lkraw.h"

#include <atomic>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "raw/lkrawciff.h"

namespace {

// Measures the JPEG picture at `pos` of Stream by reading its header into a
// temporary parameter record.
bool ProbeJpegAt(TStream& Stream, Int64 pos, Integer& width, Integer& height) {
  if (pos < 0 || Stream.Seek(pos, soBeginning) != pos) return false;
  TIOParamsVals params;
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  ReadJPegStream(&Stream, nullptr, nullptr, params, progress, true, false, false, false, false, false, -1);
  if (aborted.load() || params.WIDTH <= 0 || params.HEIGHT <= 0) return false;
  width = params.WIDTH;
  height = params.HEIGHT;
  return true;
}

// Loads the JPEG picture at `pos` of Stream into Bitmap with parameters of
// its own, so the caller's record is not touched. Bitmap is left as it was
// when the picture cannot be read.
void LoadJpegAt(TStream& Stream, Int64 pos, TLKBitmap& Bitmap) {
  if (pos < 0 || Stream.Seek(pos, soBeginning) != pos) return;
  TIOParamsVals params;
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  TLKBitmap picture;
  ReadJPegStream(&Stream, nullptr, &picture, params, progress, false, false, false, false, false, false, -1);
  if (!aborted.load() && !picture.IsEmpty()) Bitmap.Assign(&picture);
}

TCIFFJpegProbe JpegProbe(TStream& Stream) {
  return [&Stream](Int64 pos, Integer& w, Integer& h) { return ProbeJpegAt(Stream, pos, w, h); };
}

}  // namespace

bool LKCRWGetCIFFAsExif(TStream& Stream, TIOParamsVals& IOParams) {
  TRAWStreamSource src(&Stream);
  TCIFFExifInfo info;
  if (!ciff_walk_for_exif(src, JpegProbe(Stream), info)) return false;
  IOParams.EXIF_IMAGEDESCRIPTION = info.ImageDescription;
  IOParams.EXIF_MAKE = info.Make;
  IOParams.EXIF_MODEL = info.Model;
  IOParams.EXIF_SOFTWARE = info.Software;
  if (info.HasImageSize) {
    IOParams.EXIF_EXIFIMAGEWIDTH = info.ExifImageWidth;
    IOParams.EXIF_EXIFIMAGEHEIGHT = info.ExifImageHeight;
  }
  TLKBitmap* thumb = IOParams.GetEXIF_ThumbnailImage();
  thumb->FreeImage();
  if (info.ThumbPos >= 1) LoadJpegAt(Stream, info.ThumbPos, *thumb);
  // The maker-note arrays as one little-endian tag directory.
  const std::vector<Byte> notes = ciff_makernote_directory(info);
  IOParams.EXIF_MakerNote.Clear();
  if (!notes.empty()) IOParams.EXIF_MakerNote.GetStream()->Write(notes.data(), static_cast<Integer>(notes.size()));
  IOParams.EXIF_MakerNote.Update();
  return false;
}

bool LKCRWGetJpeg(TLKBitmap& Bitmap, TStream& Stream) {
  TRAWStreamSource src(&Stream);
  const Int64 best = ciff_walk_for_jpeg(src, JpegProbe(Stream));
  if (best >= 1) LoadJpegAt(Stream, best, Bitmap);
  return false;
}
