// Keyword access to the parameter record: every option and most metadata
// read and written as text. The text forms never follow the locale: reals
// are written with "." and read with either "." or ",".
#include <cstring>

#include "core/lkstreams.h"
#include "io/lkkeywords.h"
#include "io/lkparams.h"

namespace {

using P = TIOParamsVals;

Integer ParseInt(const String& V, Integer Fallback) {
  Integer n = 0;
  return TryStrToInt(V, n) ? n : Fallback;
}

double ParseReal(const String& V) {
  double d = 0.0;
  if (TryStrToFloat(V, d)) return d;
  // Written with the other separator: a "," becomes the "." we parse with.
  const std::size_t comma = V.find(',');
  if (comma != String::npos) {
    String alt = V;
    alt[comma] = '.';
    if (TryStrToFloat(alt, d)) return d;
  }
  return 0.0;
}

String RealText(double V) { return LKFloatToStr(V); }

using Getter = String (*)(const P&);
using Setter = void (*)(P&, const String&);

struct Keyword {
  const char* Name;
  TLKKeywordKind Kind;
  Getter Get;
  Setter Set;  // null: read-only
};

// Plain fields of each kind, with the fallback for integers that do not parse.
#define KW_INT_FB(F, FB)                                               \
  Keyword {                                                            \
    #F, lkkInteger, [](const P& p) { return IntToStr(p.F); },          \
        [](P& p, const String& v) { p.F = ParseInt(v, FB); }           \
  }
#define KW_INT(F) KW_INT_FB(F, 0)
#define KW_INT_RO(F) \
  Keyword { #F, lkkInteger, [](const P& p) { return IntToStr(p.F); }, nullptr }
#define KW_INT_SET(F, SETTER, FB)                                      \
  Keyword {                                                            \
    #F, lkkInteger, [](const P& p) { return IntToStr(p.F); },          \
        [](P& p, const String& v) { p.SETTER(ParseInt(v, FB)); }       \
  }
#define KW_BYTE(F)                                                                       \
  Keyword {                                                                              \
    #F, lkkByte, [](const P& p) { return IntToStr(static_cast<Integer>(p.F)); },         \
        [](P& p, const String& v) {                                                      \
          p.F = static_cast<decltype(p.F)>(static_cast<DWORD>(ParseInt(v, 0)) & 0xFFu);  \
        }                                                                                \
  }
#define KW_BOOL(F)                                                          \
  Keyword {                                                                 \
    #F, lkkBoolean, [](const P& p) { return LKbool2str(p.F); },             \
        [](P& p, const String& v) { p.F = LKstr2bool(v); }                  \
  }
#define KW_BOOL_SET(F, SETTER)                                              \
  Keyword {                                                                 \
    #F, lkkBoolean, [](const P& p) { return LKbool2str(p.F); },             \
        [](P& p, const String& v) { p.SETTER(LKstr2bool(v)); }              \
  }
#define KW_REAL(F)                                                          \
  Keyword {                                                                 \
    #F, lkkReal, [](const P& p) { return RealText(p.F); },                  \
        [](P& p, const String& v) { p.F = ParseReal(v); }                   \
  }
#define KW_REAL_SET(F, SETTER)                                              \
  Keyword {                                                                 \
    #F, lkkReal, [](const P& p) { return RealText(p.F); },                  \
        [](P& p, const String& v) { p.SETTER(ParseReal(v)); }               \
  }
#define KW_TEXT(F) \
  Keyword { #F, lkkText, [](const P& p) { return p.F; }, [](P& p, const String& v) { p.F = v; } }
#define KW_TEXT_RO(F) \
  Keyword { #F, lkkText, [](const P& p) { return p.F; }, nullptr }
#define KW_COLOR(F)                                                         \
  Keyword {                                                                 \
    #F, lkkColour, [](const P& p) { return LKrgb2str(p.F); },               \
        [](P& p, const String& v) { p.F = LKstr2rgb(v); }                   \
  }

// The keywords in the order they are compared (COLORMAPITEM is tested
// separately, right after DPIY).
const Keyword kKeywords[] = {
    KW_INT_RO(FILETYPE),
    Keyword{"FILETYPESTR", lkkText, [](const P& p) { return p.GetFileTypeStr(); }, nullptr},
    KW_TEXT_RO(FILENAME),
    KW_INT_FB(BITSPERSAMPLE, 8),
    KW_INT_FB(SAMPLESPERPIXEL, 8),
    KW_INT_FB(WIDTH, 1),
    KW_INT_FB(HEIGHT, 1),
    KW_INT_SET(DPIX, SetDpiX, 1),
    KW_INT_SET(DPIY, SetDpiY, 1),
    KW_INT_RO(COLORMAPCOUNT),
    KW_BOOL(ISNATIVEPIXELFORMAT),
    KW_BYTE(TIFF_COMPRESSION),
    KW_INT_SET(TIFF_IMAGEINDEX, SetImageIndex, 0),
    KW_INT_RO(TIFF_IMAGECOUNT),
    KW_BYTE(TIFF_PHOTOMETINTEPRET),
    KW_INT(TIFF_PLANARCONF),
    KW_INT(TIFF_XPOS),
    KW_INT(TIFF_YPOS),
    KW_TEXT(TIFF_DOCUMENTNAME),
    KW_TEXT(TIFF_IMAGEDESCRIPTION),
    KW_TEXT(TIFF_PAGENAME),
    KW_INT(TIFF_PAGENUMBER),
    KW_INT(TIFF_PAGECOUNT),
    KW_INT_FB(TIFF_FILLORDER, 1),
    KW_INT_SET(TIFF_ORIENTATION, SetTIFF_Orientation, 1),
    KW_BOOL(TIFF_ENABLEADJUSTORIENTATION),
    KW_INT(TIFF_JPEGQUALITY),
    KW_BYTE(TIFF_JPEGCOLORSPACE),
    KW_INT_SET(DCX_IMAGEINDEX, SetImageIndex, 0),
    KW_TEXT(GIF_VERSION),
    KW_INT_SET(GIF_IMAGEINDEX, SetImageIndex, 0),
    KW_INT_RO(GIF_IMAGECOUNT),
    KW_INT(GIF_XPOS),
    KW_INT(GIF_YPOS),
    KW_INT(GIF_DELAYTIME),
    KW_BOOL(GIF_TRANSPARENT),
    KW_COLOR(GIF_TRANSPCOLOR),
    KW_BOOL(GIF_INTERLACED),
    KW_INT(GIF_WINWIDTH),
    KW_INT(GIF_WINHEIGHT),
    KW_COLOR(GIF_BACKGROUND),
    KW_INT(GIF_RATIO),
    KW_BYTE(JPEG_COLORSPACE),
    KW_INT(JPEG_QUALITY),
    KW_BYTE(JPEG_DCTMETHOD),
    KW_BOOL(JPEG_OPTIMALHUFFMAN),
    KW_INT(JPEG_SMOOTH),
    KW_BOOL(JPEG_PROGRESSIVE),
    KW_BYTE(JPEG_SCALE),
    KW_INT(JPEG_SCALE_USED),
    KW_INT(JPEG_WARNINGTOT),
    KW_INT(JPEG_WARNINGCODE),
    KW_INT(JPEG_ORIGINALWIDTH),
    KW_INT(JPEG_ORIGINALHEIGHT),
    KW_BOOL(JPEG_ENABLEADJUSTORIENTATION),
    KW_BOOL_SET(JPEG_GETEXIFTHUMBNAIL, SetJPEG_GetExifThumbnail),
    KW_INT(PCX_VERSION),
    KW_BYTE(PCX_COMPRESSION),
    KW_BYTE(BMP_VERSION),
    KW_BYTE(BMP_COMPRESSION),
    KW_BOOL(BMP_HANDLETRANSPARENCY),
    KW_INT_SET(ICO_IMAGEINDEX, SetImageIndex, 0),
    KW_COLOR(ICO_BACKGROUND),
    KW_INT_SET(CUR_IMAGEINDEX, SetImageIndex, 0),
    KW_INT(CUR_XHOTSPOT),
    KW_INT(CUR_YHOTSPOT),
    KW_COLOR(CUR_BACKGROUND),
    KW_BOOL(PNG_INTERLACED),
    KW_COLOR(PNG_BACKGROUND),
    KW_BYTE(PNG_FILTER),
    KW_INT_FB(PNG_COMPRESSION, 1),
    KW_BOOL(PSD_LOADLAYERS),
    KW_INT(TGA_XPOS),
    KW_INT(TGA_YPOS),
    KW_BOOL(TGA_COMPRESSED),
    KW_TEXT(TGA_DESCRIPTOR),
    KW_TEXT(TGA_AUTHOR),
    Keyword{"TGA_DATE", lkkDate, [](const P& p) { return DateToStr(p.TGA_DATE); },
            [](P& p, const String& v) {
              TDateTime d = 0;
              if (TryStrToDate(v, d)) p.TGA_DATE = d;
            }},
    KW_TEXT(TGA_IMAGENAME),
    KW_COLOR(TGA_BACKGROUND),
    KW_REAL(TGA_ASPECTRATIO),
    KW_REAL(TGA_GAMMA),
    KW_BOOL(TGA_GRAYLEVEL),
    KW_BYTE(J2000_COLORSPACE),
    KW_REAL(J2000_RATE),
    KW_BYTE(J2000_SCALABLEBY),
    KW_BOOL(EXIF_HASEXIF),
    KW_TEXT(EXIF_IMAGEDESCRIPTION),
    KW_TEXT(EXIF_MAKE),
    KW_TEXT(EXIF_MODEL),
    KW_INT_SET(EXIF_ORIENTATION, SetEXIF_Orientation, 0),
    KW_REAL_SET(EXIF_XRESOLUTION, SetEXIF_XResolution),
    KW_REAL_SET(EXIF_YRESOLUTION, SetEXIF_YResolution),
    KW_INT(EXIF_RESOLUTIONUNIT),
    KW_TEXT(EXIF_SOFTWARE),
    KW_TEXT(EXIF_DATETIME),
    KW_TEXT(EXIF_COPYRIGHT),
    KW_REAL(EXIF_EXPOSURETIME),
    KW_REAL(EXIF_FNUMBER),
    KW_INT(EXIF_EXPOSUREPROGRAM),
    KW_TEXT(EXIF_EXIFVERSION),
    KW_TEXT(EXIF_DATETIMEORIGINAL),
    KW_TEXT(EXIF_DATETIMEDIGITIZED),
    KW_REAL(EXIF_COMPRESSEDBITSPERPIXEL),
    KW_REAL(EXIF_SHUTTERSPEEDVALUE),
    KW_REAL(EXIF_APERTUREVALUE),
    KW_REAL(EXIF_BRIGHTNESSVALUE),
    KW_REAL(EXIF_EXPOSUREBIASVALUE),
    KW_REAL(EXIF_MAXAPERTUREVALUE),
    KW_REAL(EXIF_SUBJECTDISTANCE),
    KW_INT(EXIF_METERINGMODE),
    KW_INT(EXIF_LIGHTSOURCE),
    KW_INT(EXIF_FLASH),
    KW_REAL(EXIF_FOCALLENGTH),
    KW_TEXT(EXIF_SUBSECTIME),
    KW_TEXT(EXIF_SUBSECTIMEORIGINAL),
    KW_TEXT(EXIF_SUBSECTIMEDIGITIZED),
    KW_TEXT(EXIF_FLASHPIXVERSION),
    KW_INT(EXIF_COLORSPACE),
    KW_INT(EXIF_EXIFIMAGEWIDTH),
    KW_INT(EXIF_EXIFIMAGEHEIGHT),
    KW_TEXT(EXIF_RELATEDSOUNDFILE),
    KW_REAL(EXIF_FOCALPLANEXRESOLUTION),
    KW_REAL(EXIF_FOCALPLANEYRESOLUTION),
    KW_INT(EXIF_FOCALPLANERESOLUTIONUNIT),
    KW_REAL(EXIF_EXPOSUREINDEX),
    KW_INT(EXIF_SENSINGMETHOD),
    KW_INT(EXIF_FILESOURCE),
    KW_INT(EXIF_SCENETYPE),
    KW_TEXT(EXIF_USERCOMMENT),
    KW_TEXT(EXIF_USERCOMMENTCODE),
    KW_INT(EXIF_EXPOSUREMODE),
    KW_INT(EXIF_WHITEBALANCE),
    KW_REAL(EXIF_DIGITALZOOMRATIO),
    KW_INT(EXIF_FOCALLENGTHIN35MMFILM),
    KW_INT(EXIF_SCENECAPTURETYPE),
    KW_INT(EXIF_GAINCONTROL),
    KW_INT(EXIF_CONTRAST),
    KW_INT(EXIF_SATURATION),
    KW_INT(EXIF_SHARPNESS),
    KW_INT(EXIF_SUBJECTDISTANCERANGE),
    KW_TEXT(EXIF_IMAGEUNIQUEID),
    KW_TEXT(EXIF_GPSVERSIONID),
    KW_TEXT(EXIF_GPSLATITUDEREF),
    KW_REAL(EXIF_GPSLATITUDEDEGREES),
    KW_REAL(EXIF_GPSLATITUDEMINUTES),
    KW_REAL(EXIF_GPSLATITUDESECONDS),
    KW_TEXT(EXIF_GPSLONGITUDEREF),
    KW_REAL(EXIF_GPSLONGITUDEDEGREES),
    KW_REAL(EXIF_GPSLONGITUDEMINUTES),
    KW_REAL(EXIF_GPSLONGITUDESECONDS),
    KW_TEXT(EXIF_GPSALTITUDEREF),
    KW_REAL(EXIF_GPSALTITUDE),
    KW_REAL(EXIF_GPSTIMESTAMPHOUR),
    KW_REAL(EXIF_GPSTIMESTAMPMINUTE),
    KW_REAL(EXIF_GPSTIMESTAMPSECOND),
    KW_TEXT(EXIF_GPSSATELLITES),
    KW_TEXT(EXIF_GPSSTATUS),
    KW_TEXT(EXIF_GPSMEASUREMODE),
    KW_REAL(EXIF_GPSDOP),
    KW_TEXT(EXIF_GPSSPEEDREF),
    KW_REAL(EXIF_GPSSPEED),
    KW_TEXT(EXIF_GPSTRACKREF),
    KW_REAL(EXIF_GPSTRACK),
    KW_TEXT(EXIF_GPSIMGDIRECTIONREF),
    KW_REAL(EXIF_GPSIMGDIRECTION),
    KW_TEXT(EXIF_GPSMAPDATUM),
    KW_TEXT(EXIF_GPSDESTLATITUDEREF),
    KW_REAL(EXIF_GPSDESTLATITUDEDEGREES),
    KW_REAL(EXIF_GPSDESTLATITUDEMINUTES),
    KW_REAL(EXIF_GPSDESTLATITUDESECONDS),
    KW_TEXT(EXIF_GPSDESTLONGITUDEREF),
    KW_REAL(EXIF_GPSDESTLONGITUDEDEGREES),
    KW_REAL(EXIF_GPSDESTLONGITUDEMINUTES),
    KW_REAL(EXIF_GPSDESTLONGITUDESECONDS),
    KW_TEXT(EXIF_GPSDESTBEARINGREF),
    KW_REAL(EXIF_GPSDESTBEARING),
    KW_TEXT(EXIF_GPSDESTDISTANCEREF),
    KW_REAL(EXIF_GPSDESTDISTANCE),
    KW_TEXT(EXIF_GPSDATESTAMP),
    KW_INT_FB(PS_PAPERWIDTH, 595),
    KW_INT_FB(PS_PAPERHEIGHT, 842),
    KW_BYTE(PS_COMPRESSION),
    KW_TEXT(PS_TITLE),
    KW_INT_FB(PDF_PAPERWIDTH, 595),
    KW_INT_FB(PDF_PAPERHEIGHT, 842),
    KW_BYTE(PDF_COMPRESSION),
    KW_TEXT(PDF_TITLE),
    KW_TEXT(PDF_AUTHOR),
    KW_TEXT(PDF_SUBJECT),
    KW_TEXT(PDF_KEYWORDS),
    KW_TEXT(PDF_CREATOR),
    KW_TEXT(PDF_PRODUCER),
    KW_BOOL(RAW_HALFSIZE),
    KW_REAL(RAW_GAMMA),
    KW_REAL(RAW_BRIGHT),
    KW_REAL(RAW_REDSCALE),
    KW_REAL(RAW_BLUESCALE),
    KW_BOOL(RAW_QUICKINTERPOLATE),
    KW_BOOL(RAW_USEAUTOWB),
    KW_BOOL(RAW_USECAMERAWB),
    KW_BOOL(RAW_FOURCOLORRGB),
    KW_TEXT(RAW_CAMERA),
    KW_BOOL_SET(RAW_GETEXIFTHUMBNAIL, SetRAW_GetExifThumbnail),
    KW_BOOL(RAW_AUTOADJUSTCOLORS),
    KW_INT(MEDIAFILE_FRAMECOUNT),
    KW_INT(MEDIAFILE_FRAMEDELAYTIME),
    KW_TEXT(XMP_INFO),
    KW_INT_SET(IMAGEINDEX, SetImageIndex, 0),
    KW_INT_SET(IMAGECOUNT, SetImageCount, 0),
    KW_BOOL_SET(GETTHUMBNAIL, SetGetThumbnail),
};

constexpr const char kColorMapItem[] = "COLORMAPITEM";
constexpr std::size_t kColorMapItemLen = sizeof kColorMapItem - 1;

const Keyword* Find(const String& Key) {
  for (const Keyword& k : kKeywords)
    if (Key == k.Name) return &k;
  return nullptr;
}

String NormaliseKeyword(const String& Keyword) { return UpperCase(LKRemoveCtrlChars(Keyword)); }

}  // namespace

std::vector<TLKKeywordInfo> LKParamsKeywords() {
  std::vector<TLKKeywordInfo> out;
  for (const Keyword& k : kKeywords) out.push_back(TLKKeywordInfo{k.Name, k.Kind, k.Set != nullptr});
  out.push_back(TLKKeywordInfo{kColorMapItem, lkkColour, true});
  return out;
}

String TIOParamsVals::GetProperty(const String& Keyword) const {
  const String key = NormaliseKeyword(Keyword);
  if (const ::Keyword* k = Find(key)) return k->Get(*this);
  if (key.compare(0, kColorMapItemLen, kColorMapItem) == 0) {
    const Integer i = ParseInt(key.substr(kColorMapItemLen), 0);
    if (i >= 0 && static_cast<std::size_t>(i) < ColorMap.size()) return LKrgb2str(ColorMap[static_cast<std::size_t>(i)]);
    return String();
  }
  return "INVALID PROPERTY";
}

void TIOParamsVals::SetProperty(const String& Keyword, const String& Value) {
  const String key = NormaliseKeyword(Keyword);
  const String value = LKRemoveCtrlChars(Value);
  if (const ::Keyword* k = Find(key)) {
    if (k->Set != nullptr) k->Set(*this, value);
    return;
  }
  if (key.compare(0, kColorMapItemLen, kColorMapItem) == 0) {
    const Integer i = ParseInt(key.substr(kColorMapItemLen), 0);
    if (i >= 0 && static_cast<std::size_t>(i) < ColorMap.size()) ColorMap[static_cast<std::size_t>(i)] = LKstr2rgb(value);
  }
}
