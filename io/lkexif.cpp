#include "io/lkexif.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "processing/lumerakproc.h"

namespace {

// Reads the TIFF at Stream's position with parameters only into Temp;
// false when no directory could be read.
bool ReadTIFFParams(TStream* Stream, TIOParamsVals& Temp) {
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  Integer pages = 0;
  const Int64 pos = Stream->GetPosition();
  // A page count of 0 or an abort before the fields were filled means no
  // usable directory; a size of 0 alone does not matter here.
  Temp.WIDTH = Temp.HEIGHT = -1;
  TIFFReadStream(nullptr, Stream, pages, &Temp, progress, true, nullptr, true, true, true);
  Stream->SetPosition(pos);
  return pages > 0 && Temp.WIDTH >= 0 && Temp.HEIGHT >= 0;
}

// Reads page Index of the TIFF at Stream's position into Thumb in thumbnail
// mode; false when the read was aborted.
bool ReadTIFFThumbnail(TStream* Stream, TIOParamsVals& Temp, Integer Index, TLKBitmap* Thumb) {
  std::atomic<bool> aborted{false};
  TProgressRec progress;
  progress.AbortFlag = &aborted;
  Integer pages = 0;
  const Int64 pos = Stream->GetPosition();
  Temp.SetImageIndex(Index);
  TIFFReadStream(Thumb, Stream, pages, &Temp, progress, false, nullptr, true, true, true);
  Stream->SetPosition(pos);
  return !aborted.load() && Index < pages;
}

}  // namespace

bool CheckEXIFFromStandardBuffer(const Byte* Buffer, Integer Length) {
  return Buffer != nullptr && Length >= 5 && std::memcmp(Buffer, "Exif", 4) == 0 && Buffer[4] == 0;
}

void CopyEXIFFields(const TIOParamsVals& S, TIOParamsVals& T) {
  if (&S == &T) return;
  T.EXIF_IMAGEDESCRIPTION = S.TIFF_IMAGEDESCRIPTION;
  T.EXIF_MAKE = S.EXIF_MAKE;
  T.EXIF_MODEL = S.EXIF_MODEL;
  T.SetEXIF_Orientation(S.EXIF_ORIENTATION);
  T.SetEXIF_XResolution(S.EXIF_XRESOLUTION);
  T.SetEXIF_YResolution(S.EXIF_YRESOLUTION);
  T.EXIF_RESOLUTIONUNIT = S.EXIF_RESOLUTIONUNIT;
  T.EXIF_SOFTWARE = S.EXIF_SOFTWARE;
  T.EXIF_Artist = S.EXIF_Artist;
  T.EXIF_DATETIME = S.EXIF_DATETIME;
  for (Integer i = 0; i < 2; ++i) T.SetEXIF_WhitePoint(i, S.GetEXIF_WhitePoint(i));
  for (Integer i = 0; i < 6; ++i) T.SetEXIF_PrimaryChromaticities(i, S.GetEXIF_PrimaryChromaticities(i));
  for (Integer i = 0; i < 3; ++i) T.SetEXIF_YCbCrCoefficients(i, S.GetEXIF_YCbCrCoefficients(i));
  T.EXIF_YCbCrPositioning = S.EXIF_YCbCrPositioning;
  for (Integer i = 0; i < 6; ++i) T.SetEXIF_ReferenceBlackWhite(i, S.GetEXIF_ReferenceBlackWhite(i));
  T.EXIF_COPYRIGHT = S.EXIF_COPYRIGHT;
  T.EXIF_EXPOSURETIME = S.EXIF_EXPOSURETIME;
  T.EXIF_FNUMBER = S.EXIF_FNUMBER;
  T.EXIF_EXPOSUREPROGRAM = S.EXIF_EXPOSUREPROGRAM;
  for (Integer i = 0; i < 2; ++i) T.SetEXIF_ISOSpeedRatings(i, S.GetEXIF_ISOSpeedRatings(i));
  T.EXIF_EXIFVERSION = S.EXIF_EXIFVERSION;
  T.EXIF_DATETIMEORIGINAL = S.EXIF_DATETIMEORIGINAL;
  T.EXIF_DATETIMEDIGITIZED = S.EXIF_DATETIMEDIGITIZED;
  T.EXIF_COMPRESSEDBITSPERPIXEL = S.EXIF_COMPRESSEDBITSPERPIXEL;
  T.EXIF_SHUTTERSPEEDVALUE = S.EXIF_SHUTTERSPEEDVALUE;
  T.EXIF_APERTUREVALUE = S.EXIF_APERTUREVALUE;
  T.EXIF_BRIGHTNESSVALUE = S.EXIF_BRIGHTNESSVALUE;
  T.EXIF_EXPOSUREBIASVALUE = S.EXIF_EXPOSUREBIASVALUE;
  T.EXIF_MAXAPERTUREVALUE = S.EXIF_MAXAPERTUREVALUE;
  T.EXIF_SUBJECTDISTANCE = S.EXIF_SUBJECTDISTANCE;
  T.EXIF_METERINGMODE = S.EXIF_METERINGMODE;
  T.EXIF_LIGHTSOURCE = S.EXIF_LIGHTSOURCE;
  T.EXIF_FLASH = S.EXIF_FLASH;
  T.EXIF_FOCALLENGTH = S.EXIF_FOCALLENGTH;
  T.EXIF_SUBSECTIME = S.EXIF_SUBSECTIME;
  T.EXIF_SUBSECTIMEORIGINAL = S.EXIF_SUBSECTIMEORIGINAL;
  T.EXIF_SUBSECTIMEDIGITIZED = S.EXIF_SUBSECTIMEDIGITIZED;
  T.EXIF_FLASHPIXVERSION = S.EXIF_FLASHPIXVERSION;
  T.EXIF_COLORSPACE = S.EXIF_COLORSPACE;
  T.EXIF_EXIFIMAGEWIDTH = S.EXIF_EXIFIMAGEWIDTH;
  T.EXIF_EXIFIMAGEHEIGHT = S.EXIF_EXIFIMAGEHEIGHT;
  T.EXIF_RELATEDSOUNDFILE = S.EXIF_RELATEDSOUNDFILE;
  T.EXIF_FOCALPLANEXRESOLUTION = S.EXIF_FOCALPLANEXRESOLUTION;
  T.EXIF_FOCALPLANEYRESOLUTION = S.EXIF_FOCALPLANEYRESOLUTION;
  T.EXIF_FOCALPLANERESOLUTIONUNIT = S.EXIF_FOCALPLANERESOLUTIONUNIT;
  T.EXIF_EXPOSUREINDEX = S.EXIF_EXPOSUREINDEX;
  T.EXIF_SENSINGMETHOD = S.EXIF_SENSINGMETHOD;
  T.EXIF_FILESOURCE = S.EXIF_FILESOURCE;
  T.EXIF_SCENETYPE = S.EXIF_SCENETYPE;
  T.EXIF_USERCOMMENT = S.EXIF_USERCOMMENT;
  T.EXIF_USERCOMMENTCODE = S.EXIF_USERCOMMENTCODE;
  T.EXIF_MakerNote.Assign(S.EXIF_MakerNote);
  T.EXIF_XPTitle = S.EXIF_XPTitle;
  T.EXIF_XPComment = S.EXIF_XPComment;
  T.EXIF_XPAuthor = S.EXIF_XPAuthor;
  T.EXIF_XPKeywords = S.EXIF_XPKeywords;
  T.EXIF_XPSubject = S.EXIF_XPSubject;
  T.EXIF_EXPOSUREMODE = S.EXIF_EXPOSUREMODE;
  T.EXIF_WHITEBALANCE = S.EXIF_WHITEBALANCE;
  T.EXIF_DIGITALZOOMRATIO = S.EXIF_DIGITALZOOMRATIO;
  T.EXIF_FOCALLENGTHIN35MMFILM = S.EXIF_FOCALLENGTHIN35MMFILM;
  T.EXIF_SCENECAPTURETYPE = S.EXIF_SCENECAPTURETYPE;
  T.EXIF_GAINCONTROL = S.EXIF_GAINCONTROL;
  T.EXIF_CONTRAST = S.EXIF_CONTRAST;
  T.EXIF_SATURATION = S.EXIF_SATURATION;
  T.EXIF_SHARPNESS = S.EXIF_SHARPNESS;
  T.EXIF_SUBJECTDISTANCERANGE = S.EXIF_SUBJECTDISTANCERANGE;
  T.EXIF_IMAGEUNIQUEID = S.EXIF_IMAGEUNIQUEID;
  T.EXIF_GPSVERSIONID = S.EXIF_GPSVERSIONID;
  T.EXIF_GPSLATITUDEREF = S.EXIF_GPSLATITUDEREF;
  T.EXIF_GPSLATITUDEDEGREES = S.EXIF_GPSLATITUDEDEGREES;
  T.EXIF_GPSLATITUDEMINUTES = S.EXIF_GPSLATITUDEMINUTES;
  T.EXIF_GPSLATITUDESECONDS = S.EXIF_GPSLATITUDESECONDS;
  T.EXIF_GPSLONGITUDEREF = S.EXIF_GPSLONGITUDEREF;
  T.EXIF_GPSLONGITUDEDEGREES = S.EXIF_GPSLONGITUDEDEGREES;
  T.EXIF_GPSLONGITUDEMINUTES = S.EXIF_GPSLONGITUDEMINUTES;
  T.EXIF_GPSLONGITUDESECONDS = S.EXIF_GPSLONGITUDESECONDS;
  T.EXIF_GPSALTITUDEREF = S.EXIF_GPSALTITUDEREF;
  T.EXIF_GPSALTITUDE = S.EXIF_GPSALTITUDE;
  T.EXIF_GPSTIMESTAMPHOUR = S.EXIF_GPSTIMESTAMPHOUR;
  T.EXIF_GPSTIMESTAMPMINUTE = S.EXIF_GPSTIMESTAMPMINUTE;
  T.EXIF_GPSTIMESTAMPSECOND = S.EXIF_GPSTIMESTAMPSECOND;
  T.EXIF_GPSSATELLITES = S.EXIF_GPSSATELLITES;
  T.EXIF_GPSSTATUS = S.EXIF_GPSSTATUS;
  T.EXIF_GPSMEASUREMODE = S.EXIF_GPSMEASUREMODE;
  T.EXIF_GPSDOP = S.EXIF_GPSDOP;
  T.EXIF_GPSSPEEDREF = S.EXIF_GPSSPEEDREF;
  T.EXIF_GPSSPEED = S.EXIF_GPSSPEED;
  T.EXIF_GPSTRACKREF = S.EXIF_GPSTRACKREF;
  T.EXIF_GPSTRACK = S.EXIF_GPSTRACK;
  T.EXIF_GPSIMGDIRECTIONREF = S.EXIF_GPSIMGDIRECTIONREF;
  T.EXIF_GPSIMGDIRECTION = S.EXIF_GPSIMGDIRECTION;
  T.EXIF_GPSMAPDATUM = S.EXIF_GPSMAPDATUM;
  T.EXIF_GPSDESTLATITUDEREF = S.EXIF_GPSDESTLATITUDEREF;
  T.EXIF_GPSDESTLATITUDEDEGREES = S.EXIF_GPSDESTLATITUDEDEGREES;
  T.EXIF_GPSDESTLATITUDEMINUTES = S.EXIF_GPSDESTLATITUDEMINUTES;
  T.EXIF_GPSDESTLATITUDESECONDS = S.EXIF_GPSDESTLATITUDESECONDS;
  T.EXIF_GPSDESTLONGITUDEREF = S.EXIF_GPSDESTLONGITUDEREF;
  T.EXIF_GPSDESTLONGITUDEDEGREES = S.EXIF_GPSDESTLONGITUDEDEGREES;
  T.EXIF_GPSDESTLONGITUDEMINUTES = S.EXIF_GPSDESTLONGITUDEMINUTES;
  T.EXIF_GPSDESTLONGITUDESECONDS = S.EXIF_GPSDESTLONGITUDESECONDS;
  T.EXIF_GPSDESTBEARINGREF = S.EXIF_GPSDESTBEARINGREF;
  T.EXIF_GPSDESTBEARING = S.EXIF_GPSDESTBEARING;
  T.EXIF_GPSDESTDISTANCEREF = S.EXIF_GPSDESTDISTANCEREF;
  T.EXIF_GPSDESTDISTANCE = S.EXIF_GPSDESTDISTANCE;
  T.EXIF_GPSDATESTAMP = S.EXIF_GPSDATESTAMP;
}

bool LoadEXIFFromStandardBuffer(const Byte* Buffer, Integer Length, TIOParamsVals& Params) {
  if (!CheckEXIFFromStandardBuffer(Buffer, Length) || Length < 6) return false;
  TMemoryStream stream;
  if (Length > 6) stream.Write(Buffer + 6, Length - 6);
  stream.SetPosition(0);
  // The temporary record has no owner: only the target's setters below
  // reach the attached view.
  TIOParamsVals temp(nullptr);
  if (!ReadTIFFParams(&stream, temp)) return false;
  CopyEXIFFields(temp, Params);
  Params.EXIF_HASEXIF = true;
  TLKBitmap* thumb = Params.GetEXIF_ThumbnailImage();
  thumb->FreeImage();
  if (!ReadTIFFThumbnail(&stream, temp, 1, thumb)) thumb->FreeImage();
  LKAdjustEXIFOrientation(thumb, Params.TIFF_ORIENTATION);
  return true;
}

Int64 LKSearchEXIFInfo(TStream* Stream) {
  if (!Stream) return -1;
  const Int64 pos = Stream->GetPosition();
  Int64 result = -1;
  try {
    const Int64 size = Stream->GetSize();
    std::vector<Byte> buf(static_cast<size_t>(std::clamp<Int64>(size - pos, 0, LKEXIF_SEARCHWINDOW)));
    const Integer got = buf.empty() ? 0 : Stream->Read(buf.data(), static_cast<Integer>(buf.size()));
    for (Integer i = 0; i + 8 <= got; ++i) {
      const Byte* p = buf.data() + i;
      bool le;
      if (p[0] == 'I' && p[1] == 'I') le = true;
      else if (p[0] == 'M' && p[1] == 'M') le = false;
      else continue;
      const Word magic = le ? Word(p[2] | (p[3] << 8)) : Word((p[2] << 8) | p[3]);
      const DWORD first = le ? DWORD(p[4]) | (DWORD(p[5]) << 8) | (DWORD(p[6]) << 16) | (DWORD(p[7]) << 24)
                             : (DWORD(p[4]) << 24) | (DWORD(p[5]) << 16) | (DWORD(p[6]) << 8) | DWORD(p[7]);
      if ((magic == 42 || magic == 0x4F52 || magic == 0x5352) && Int64{first} < size) {
        result = i;
        break;
      }
    }
  } catch (...) {
    result = -1;
  }
  Stream->SetPosition(pos);
  return result;
}

bool LKLoadEXIFFromTIFF(TStream* Stream, TIOParamsVals& Params) {
  if (!Stream) return false;
  const Int64 pos = Stream->GetPosition();
  TIOParamsVals temp(nullptr);
  bool ok = false;
  try {
    ok = ReadTIFFParams(Stream, temp);
    if (ok) {
      CopyEXIFFields(temp, Params);
      Params.EXIF_HASEXIF = true;
      TLKBitmap* thumb = Params.GetEXIF_ThumbnailImage();
      thumb->FreeImage();
      if (!ReadTIFFThumbnail(Stream, temp, 0, thumb) || thumb->IsEmpty() || thumb->IsAllBlack()) {
        thumb->FreeImage();
        if (!ReadTIFFThumbnail(Stream, temp, 1, thumb) || thumb->IsEmpty() || thumb->IsAllBlack())
          thumb->FreeImage();
      }
    }
  } catch (...) {
    // Allocation failures of a thumbnail leave it empty; the fields stay.
    if (Params.EXIF_ThumbnailImage) Params.EXIF_ThumbnailImage->FreeImage();
  }
  Stream->SetPosition(pos);
  return ok;
}

void LKAdjustEXIFOrientation(TLKBitmap* Bitmap, Integer Orientation) {
  if (!Bitmap || Bitmap->IsEmpty() || Orientation < 2 || Orientation > 8) return;
  auto turn = [](TLKBitmap* b, bool clockwise) {
    TLKBitmap turned;
    if (clockwise) _Rot90oEx(b, &turned);
    else _Rot90Ex(b, &turned);
    std::unique_ptr<TLKBitmap> alpha;
    if (b->GetHasAlphaChannel()) {
      alpha = std::make_unique<TLKBitmap>();
      if (clockwise) _Rot90oEx(b->GetAlphaChannel(), alpha.get());
      else _Rot90Ex(b->GetAlphaChannel(), alpha.get());
    }
    b->Assign(&turned);
    if (alpha) b->GetAlphaChannel()->Assign(alpha.get());
  };
  switch (Orientation) {
    case 2: _FlipEx(Bitmap, fdHorizontal); break;
    case 3:
      _FlipEx(Bitmap, fdVertical);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 4: _FlipEx(Bitmap, fdVertical); break;
    case 5:
      turn(Bitmap, true);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 6: turn(Bitmap, true); break;
    case 7:
      turn(Bitmap, false);
      _FlipEx(Bitmap, fdHorizontal);
      break;
    case 8: turn(Bitmap, false); break;
    default: break;
  }
}

const Byte* LKFindXMPFromJpegTag(const Byte* Buffer, Integer Length) {
  if (!Buffer || Length < 30 || std::memcmp(Buffer, LKXMP_NAMESPACE, 24) != 0) return nullptr;
  const void* zero = std::memchr(Buffer, 0, static_cast<size_t>(Length));
  if (!zero) return nullptr;
  return static_cast<const Byte*>(zero) + 1;
}

bool LKLoadXMPFromJpegTag(const Byte* Buffer, Integer Length, TIOParamsVals& Params) {
  const Byte* packet = LKFindXMPFromJpegTag(Buffer, Length);
  if (!packet) return false;
  Params.XMP_INFO.assign(reinterpret_cast<const char*>(packet), static_cast<size_t>(Buffer + Length - packet));
  return true;
}
