// The fields of the parameter record, each declared once: its type, name,
// default, which reset gives it that default, how a copy of the record
// takes it, its keyword, and the TIFF tag it is stored under in an EXIF
// block. The record's members, its resets and copies, the keyword table
// and the EXIF tag reads and writes are all made from this one list.
//
// A new option is one line here (plus a stream item in lkparamstream.cpp
// when it belongs in the parameter stream, which has an order and versions
// of its own). Columns of LK_PARAMS_FIELDS(F):
//   Type     the member's type (arrays through the aliases below)
//   Name     the member's name; a name in capitals is also its keyword
//   Default  its value after a reset (lkEmpty: empty list or no object)
//   Reset    lkrDefault   set by SetDefaultParams
//            lkrInfo      set by SetDefaultParams and emptied by ResetInfo
//            lkrExif      set by ResetEXIF (the EXIF group)
//            lkrKeep      never reset
//            lkrCode      reset by code of its own (owner, clock, globals)
//   Copy     lkcCopy      Assign copies it; so does CopyEXIFFields (EXIF group)
//            lkcAssign    Assign copies it; CopyEXIFFields does its own
//            lkcCode      Assign's own code copies it (setters, objects)
//            lkcKeep      never copied
//   Keyword  kw_... (made into the keyword table in lkkeywords.cpp)
//   Tag      where the EXIF block holds it (LKParamTag...), or LKNoTag
//
// Declaration order is the order the resets, copies and the EXIF tag
// writer go through; within each EXIF directory the values are written in
// this order.
#pragma once

#include <cstdint>

#include "core/hylkdefs.h"
#include "platform/system.h"

/// Placeholder default of lists and owned objects: empty, or none.
struct TLKEmpty {};
inline constexpr TLKEmpty lkEmpty{};

enum TLKParamReset : Byte { lkrDefault, lkrInfo, lkrExif, lkrKeep, lkrCode };
enum TLKParamCopy : Byte { lkcCopy, lkcAssign, lkcCode, lkcKeep };

/// The directory of an EXIF block a value is stored in.
enum TLKParamTagDir : Byte { lkdNone, lkdMain, lkdExif, lkdGps };
/// How a value is stored under its tag.
enum TLKParamTagForm : Byte {
  lkfNone,
  lkfText,         ///< ASCII; read back as long text
  lkfShortText,    ///< ASCII; read back as a text of up to 4 characters
  lkfVersion,      ///< exactly 4 bytes (UNDEFINED; BYTE in the GPS directory)
  lkfFirstByte,    ///< the text's first byte as one BYTE
  lkfRational,     ///< RATIONAL, one per value (arrays: one per element)
  lkfSRational,    ///< SRATIONAL
  lkfRationalOf3,  ///< element Index of a tag of three RATIONALs
  lkfShort,        ///< SHORT, one per value
  lkfShortOrLong,  ///< SHORT when it fits, else LONG
  lkfUndefinedByte,  ///< one UNDEFINED byte holding a small number
  lkfWide,         ///< UTF-16 as BYTEs with a final zero character
};
/// When a value is written.
enum TLKParamTagWhen : Byte {
  lkwAlways,   ///< always (texts: when not empty; an empty EXIF version
               ///< is written as the version the block follows)
  lkwPresent,  ///< unless it holds -1, the record's "absent"
  lkwKnown,    ///< unless it holds 0 or -1 (arrays: all 0), which in this
               ///< record means nothing is known
};

struct TLKParamTag {
  TLKParamTagDir Dir = lkdNone;
  Word Number = 0;
  TLKParamTagForm Form = lkfNone;
  TLKParamTagWhen When = lkwAlways;
  Byte Index = 0;
};

inline constexpr TLKParamTag LKNoTag{};
constexpr TLKParamTag LKParamTag(TLKParamTagDir Dir, Word Number, TLKParamTagForm Form,
                                 TLKParamTagWhen When = lkwAlways) {
  return TLKParamTag{Dir, Number, Form, When, 0};
}
constexpr TLKParamTag LKParamTagOf3(Word Number, Byte Index) {
  return TLKParamTag{lkdGps, Number, lkfRationalOf3, lkwAlways, Index};
}

// Array members, named so that a declaration can hold them.
using TLKDoubles2 = double[2];
using TLKDoubles3 = double[3];
using TLKDoubles6 = double[6];
using TLKIntegers2 = Integer[2];
using TLKIntegers16 = Integer[16];
using TLKSizes16 = TSize[16];

// Shorter names for the table only.
#define LKT_M(N, F, ...) LKParamTag(lkdMain, N, F __VA_OPT__(, ) __VA_ARGS__)
#define LKT_E(N, F, ...) LKParamTag(lkdExif, N, F __VA_OPT__(, ) __VA_ARGS__)
#define LKT_G(N, F, ...) LKParamTag(lkdGps, N, F __VA_OPT__(, ) __VA_ARGS__)

// clang-format off
#define LK_PARAMS_FIELDS(F) \
  /* ---- general description */ \
  F(Integer, BITSPERSAMPLE, 8, lkrDefault, lkcCopy, kw_int(8), LKNoTag) \
  F(String, FILENAME, "", lkrDefault, lkcCopy, kw_text_ro, LKNoTag) \
  F(Integer, SAMPLESPERPIXEL, 3, lkrDefault, lkcCopy, kw_int(8), LKNoTag) \
  /* WIDTH, HEIGHT, DPIX and DPIY come from the owner, when there is one */ \
  F(Integer, WIDTH, 0, lkrCode, lkcCopy, kw_int(1), LKNoTag) \
  F(Integer, HEIGHT, 0, lkrCode, lkcCopy, kw_int(1), LKNoTag) \
  F(Integer, DPIX, 0, lkrCode, lkcCode, kw_int_set(SetDpiX, 1), LKNoTag) \
  F(Integer, DPIY, 0, lkrCode, lkcCode, kw_int_set(SetDpiY, 1), LKNoTag) \
  F(Integer, FILETYPE, 0, lkrDefault, lkcCopy, kw_int_ro, LKNoTag) \
  F(Integer, IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  F(Integer, IMAGECOUNT, 0, lkrDefault, lkcCopy, kw_int_set(SetImageCount, 0), LKNoTag) \
  /* A copy takes the source's JPEG_GETEXIFTHUMBNAIL here, through its setter */ \
  F(bool, GETTHUMBNAIL, false, lkrDefault, lkcCode, kw_bool_set(SetGetThumbnail), LKNoTag) \
  /* ---- TIFF */ \
  F(TIOTIFFCompression, TIFF_COMPRESSION, ioTIFF_UNCOMPRESSED, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(Integer, TIFF_IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  F(TIOTIFFPhotometInterpret, TIFF_PHOTOMETINTEPRET, ioTIFF_RGB, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(Integer, TIFF_PLANARCONF, 1, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, TIFF_XPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, TIFF_YPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(String, TIFF_DOCUMENTNAME, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(String, TIFF_IMAGEDESCRIPTION, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(String, TIFF_PAGENAME, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(Integer, TIFF_PAGENUMBER, -1, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, TIFF_PAGECOUNT, -1, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  /* Written with EXIF_ORIENTATION through SetTIFF_Orientation */ \
  F(Integer, TIFF_ORIENTATION, 1, lkrDefault, lkcCode, kw_int_set(SetTIFF_Orientation, 1), LKNoTag) \
  F(TTIFFLZWDecompFunc, TIFF_LZWDecompressor, nullptr, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(TTIFFLZWCompFunc, TIFF_LZWCompressor, nullptr, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(bool, TIFF_ENABLEADJUSTORIENTATION, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(Integer, TIFF_JPEGQUALITY, 80, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TIOJPEGColorspace, TIFF_JPEGCOLORSPACE, ioJPEG_YCbCr, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(Integer, TIFF_IMAGECOUNT, 0, lkrDefault, lkcCopy, kw_int_ro, LKNoTag) \
  F(Integer, TIFF_FILLORDER, 1, lkrDefault, lkcCopy, kw_int(1), LKNoTag) \
  /* ---- DCX */ \
  F(Integer, DCX_IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  /* ---- GIF */ \
  F(String, GIF_VERSION, "GIF89a", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(Integer, GIF_IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  F(Integer, GIF_XPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, GIF_YPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, GIF_DELAYTIME, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(bool, GIF_TRANSPARENT, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(TRGB, GIF_TRANSPCOLOR, (TRGB{0, 0, 0}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  F(bool, GIF_INTERLACED, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(Integer, GIF_WINWIDTH, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, GIF_WINHEIGHT, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TRGB, GIF_BACKGROUND, (TRGB{0, 0, 0}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  F(Integer, GIF_RATIO, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TStringList, GIF_CommentLines, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  F(TLKGIFAction, GIF_Disposal, ioGIF_DrawBackground, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(TGIFLZWDecompFunc, GIF_LZWDecompressor, nullptr, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(TGIFLZWCompFunc, GIF_LZWCompressor, nullptr, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(Integer, GIF_IMAGECOUNT, 0, lkrDefault, lkcCopy, kw_int_ro, LKNoTag) \
  /* ---- JPEG */ \
  F(TIOJPEGColorspace, JPEG_COLORSPACE, ioJPEG_YCbCr, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(Integer, JPEG_QUALITY, 80, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TIOJPEGDctMethod, JPEG_DCTMETHOD, ioJPEG_ISLOW, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(bool, JPEG_OPTIMALHUFFMAN, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(Integer, JPEG_SMOOTH, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(bool, JPEG_PROGRESSIVE, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(TIOJPEGScale, JPEG_SCALE, ioJPEG_FULLSIZE, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(TLKMarkerList, JPEG_Markers, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  F(Integer, JPEG_SCALE_USED, 1, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, JPEG_WARNINGTOT, 0, lkrKeep, lkcKeep, kw_int(0), LKNoTag) \
  F(Integer, JPEG_WARNINGCODE, 0, lkrKeep, lkcKeep, kw_int(0), LKNoTag) \
  F(Integer, JPEG_ORIGINALWIDTH, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, JPEG_ORIGINALHEIGHT, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(bool, JPEG_ENABLEADJUSTORIENTATION, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(bool, JPEG_GETEXIFTHUMBNAIL, false, lkrDefault, lkcCode, kw_bool_set(SetJPEG_GetExifThumbnail), LKNoTag) \
  /* ---- JPEG 2000 */ \
  F(TIOJ2000ColorSpace, J2000_COLORSPACE, ioJ2000_RGB, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(double, J2000_RATE, 1.0, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(TIOJ2000ScalableBy, J2000_SCALABLEBY, ioJ2000_Rate, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  /* ---- PCX, BMP, icons, cursors */ \
  F(Integer, PCX_VERSION, 5, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TIOPCXCompression, PCX_COMPRESSION, ioPCX_RLE, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(TIOBMPVersion, BMP_VERSION, ioBMP_BM3, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(TIOBMPCompression, BMP_COMPRESSION, ioBMP_UNCOMPRESSED, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(bool, BMP_HANDLETRANSPARENCY, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(Integer, ICO_IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  F(TRGB, ICO_BACKGROUND, (TRGB{255, 255, 255}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  F(Integer, CUR_IMAGEINDEX, 0, lkrDefault, lkcCode, kw_int_set(SetImageIndex, 0), LKNoTag) \
  F(Integer, CUR_XHOTSPOT, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, CUR_YHOTSPOT, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(TRGB, CUR_BACKGROUND, (TRGB{255, 255, 255}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  /* ---- PNG */ \
  F(bool, PNG_INTERLACED, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(TRGB, PNG_BACKGROUND, (TRGB{0, 0, 0}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  F(TIOPNGFilter, PNG_FILTER, ioPNG_FILTER_NONE, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(Integer, PNG_COMPRESSION, 5, lkrDefault, lkcCopy, kw_int(1), LKNoTag) \
  F(TStringList, PNG_TextKeywords, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  F(TStringList, PNG_TextStrings, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  /* ---- TGA */ \
  F(Integer, TGA_XPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(Integer, TGA_YPOS, 0, lkrDefault, lkcCopy, kw_int(0), LKNoTag) \
  F(bool, TGA_COMPRESSED, true, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(String, TGA_DESCRIPTOR, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(String, TGA_AUTHOR, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  /* Today, at each reset */ \
  F(TDateTime, TGA_DATE, 0.0, lkrCode, lkcCopy, kw_date, LKNoTag) \
  F(String, TGA_IMAGENAME, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(TRGB, TGA_BACKGROUND, (TRGB{0, 0, 0}), lkrDefault, lkcCopy, kw_colour, LKNoTag) \
  F(double, TGA_ASPECTRATIO, 1.0, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(double, TGA_GAMMA, 2.2, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(bool, TGA_GRAYLEVEL, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  /* ---- IPTC, PXM */ \
  F(TLKIPTCInfoList, IPTC_Records, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  F(TStringList, PXM_CommentLines, lkEmpty, lkrInfo, lkcCopy, kw_none, LKNoTag) \
  /* ---- EXIF group. The description, orientation and resolution of the */ \
  /* main directory are written and read by the TIFF codec's own code     */ \
  /* (they meet TIFF fields there), as are the user comment and the maker */ \
  /* note of the EXIF directory.                                          */ \
  F(bool, EXIF_HASEXIF, false, lkrExif, lkcAssign, kw_bool, LKNoTag) \
  F(std::unique_ptr<TLKBitmap>, EXIF_ThumbnailImage, lkEmpty, lkrExif, lkcCode, kw_none, LKNoTag) \
  F(String, EXIF_IMAGEDESCRIPTION, "", lkrExif, lkcAssign, kw_text, LKNoTag) \
  F(Integer, EXIF_ORIENTATION, 0, lkrExif, lkcAssign, kw_int_set(SetEXIF_Orientation, 0), LKNoTag) \
  F(double, EXIF_XRESOLUTION, 0.0, lkrExif, lkcAssign, kw_real_set(SetEXIF_XResolution), LKNoTag) \
  F(double, EXIF_YRESOLUTION, 0.0, lkrExif, lkcAssign, kw_real_set(SetEXIF_YResolution), LKNoTag) \
  F(Integer, EXIF_RESOLUTIONUNIT, 0, lkrExif, lkcCopy, kw_int(0), LKNoTag) \
  F(String, EXIF_SOFTWARE, "", lkrExif, lkcCopy, kw_text, LKT_M(305, lkfText)) \
  F(std::u16string, EXIF_XPTitle, u"", lkrExif, lkcCopy, kw_none, LKT_M(40091, lkfWide)) \
  F(std::u16string, EXIF_XPComment, u"", lkrExif, lkcCopy, kw_none, LKT_M(40092, lkfWide)) \
  F(std::u16string, EXIF_XPAuthor, u"", lkrExif, lkcCopy, kw_none, LKT_M(40093, lkfWide)) \
  F(std::u16string, EXIF_XPKeywords, u"", lkrExif, lkcCopy, kw_none, LKT_M(40094, lkfWide)) \
  F(std::u16string, EXIF_XPSubject, u"", lkrExif, lkcCopy, kw_none, LKT_M(40095, lkfWide)) \
  F(String, EXIF_Artist, "", lkrExif, lkcCopy, kw_none, LKT_M(315, lkfText)) \
  F(String, EXIF_MAKE, "", lkrExif, lkcCopy, kw_text, LKT_M(271, lkfText)) \
  F(String, EXIF_MODEL, "", lkrExif, lkcCopy, kw_text, LKT_M(272, lkfText)) \
  F(String, EXIF_DATETIME, "", lkrExif, lkcCopy, kw_text, LKT_M(306, lkfText)) \
  F(TLKDoubles2, EXIF_WhitePoint, lkEmpty, lkrExif, lkcCopy, kw_none, LKT_M(318, lkfRational, lkwKnown)) \
  F(Integer, EXIF_YCbCrPositioning, 0, lkrExif, lkcCopy, kw_none, LKT_M(531, lkfShort, lkwKnown)) \
  F(TLKDoubles6, EXIF_PrimaryChromaticities, lkEmpty, lkrExif, lkcCopy, kw_none, LKT_M(319, lkfRational, lkwKnown)) \
  F(TLKDoubles3, EXIF_YCbCrCoefficients, lkEmpty, lkrExif, lkcCopy, kw_none, LKT_M(529, lkfRational, lkwKnown)) \
  F(TLKDoubles6, EXIF_ReferenceBlackWhite, lkEmpty, lkrExif, lkcCopy, kw_none, LKT_M(532, lkfRational, lkwKnown)) \
  F(String, EXIF_COPYRIGHT, "", lkrExif, lkcCopy, kw_text, LKT_M(33432, lkfText)) \
  F(double, EXIF_EXPOSURETIME, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(33434, lkfRational, lkwKnown)) \
  F(double, EXIF_FNUMBER, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(33437, lkfRational, lkwKnown)) \
  F(Integer, EXIF_EXPOSUREPROGRAM, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(34850, lkfShort, lkwKnown)) \
  F(TLKIntegers2, EXIF_ISOSpeedRatings, lkEmpty, lkrExif, lkcCopy, kw_none, LKT_E(34855, lkfShort, lkwKnown)) \
  F(String, EXIF_EXIFVERSION, "", lkrExif, lkcCopy, kw_text, LKT_E(36864, lkfVersion)) \
  F(String, EXIF_DATETIMEORIGINAL, "", lkrExif, lkcCopy, kw_text, LKT_E(36867, lkfText)) \
  F(String, EXIF_DATETIMEDIGITIZED, "", lkrExif, lkcCopy, kw_text, LKT_E(36868, lkfText)) \
  F(double, EXIF_COMPRESSEDBITSPERPIXEL, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37122, lkfRational, lkwKnown)) \
  F(double, EXIF_SHUTTERSPEEDVALUE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37377, lkfSRational, lkwKnown)) \
  F(double, EXIF_APERTUREVALUE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37378, lkfRational, lkwKnown)) \
  F(double, EXIF_BRIGHTNESSVALUE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37379, lkfSRational, lkwKnown)) \
  F(double, EXIF_EXPOSUREBIASVALUE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37380, lkfSRational)) \
  F(double, EXIF_MAXAPERTUREVALUE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37381, lkfRational, lkwKnown)) \
  F(double, EXIF_SUBJECTDISTANCE, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37382, lkfRational, lkwKnown)) \
  F(Integer, EXIF_METERINGMODE, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(37383, lkfShort, lkwKnown)) \
  F(Integer, EXIF_LIGHTSOURCE, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(37384, lkfShort, lkwKnown)) \
  F(Integer, EXIF_FLASH, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(37385, lkfShort, lkwKnown)) \
  F(double, EXIF_FOCALLENGTH, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(37386, lkfRational, lkwKnown)) \
  F(String, EXIF_SUBSECTIME, "", lkrExif, lkcCopy, kw_text, LKT_E(37520, lkfText)) \
  F(String, EXIF_SUBSECTIMEORIGINAL, "", lkrExif, lkcCopy, kw_text, LKT_E(37521, lkfText)) \
  F(String, EXIF_SUBSECTIMEDIGITIZED, "", lkrExif, lkcCopy, kw_text, LKT_E(37522, lkfText)) \
  F(String, EXIF_FLASHPIXVERSION, "", lkrExif, lkcCopy, kw_text, LKT_E(40960, lkfVersion, lkwKnown)) \
  F(Integer, EXIF_COLORSPACE, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(40961, lkfShort, lkwKnown)) \
  F(Integer, EXIF_EXIFIMAGEWIDTH, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(40962, lkfShortOrLong, lkwKnown)) \
  F(Integer, EXIF_EXIFIMAGEHEIGHT, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(40963, lkfShortOrLong, lkwKnown)) \
  F(String, EXIF_RELATEDSOUNDFILE, "", lkrExif, lkcCopy, kw_text, LKT_E(40964, lkfText)) \
  F(double, EXIF_FOCALPLANEXRESOLUTION, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(41486, lkfRational, lkwKnown)) \
  F(double, EXIF_FOCALPLANEYRESOLUTION, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(41487, lkfRational, lkwKnown)) \
  F(Integer, EXIF_FOCALPLANERESOLUTIONUNIT, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(41488, lkfShort, lkwKnown)) \
  F(double, EXIF_EXPOSUREINDEX, 0.0, lkrExif, lkcCopy, kw_real, LKT_E(41493, lkfRational, lkwKnown)) \
  F(Integer, EXIF_SENSINGMETHOD, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(41495, lkfShort, lkwKnown)) \
  F(Integer, EXIF_FILESOURCE, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(41728, lkfUndefinedByte, lkwKnown)) \
  F(Integer, EXIF_SCENETYPE, 0, lkrExif, lkcCopy, kw_int(0), LKT_E(41729, lkfUndefinedByte, lkwKnown)) \
  F(Integer, EXIF_EXPOSUREMODE, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41986, lkfShort, lkwPresent)) \
  F(Integer, EXIF_WHITEBALANCE, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41987, lkfShort, lkwPresent)) \
  F(double, EXIF_DIGITALZOOMRATIO, -1.0, lkrExif, lkcCopy, kw_real, LKT_E(41988, lkfRational, lkwPresent)) \
  F(Integer, EXIF_FOCALLENGTHIN35MMFILM, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41989, lkfShort, lkwPresent)) \
  F(Integer, EXIF_SCENECAPTURETYPE, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41990, lkfShort, lkwPresent)) \
  F(Integer, EXIF_GAINCONTROL, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41991, lkfShort, lkwPresent)) \
  F(Integer, EXIF_CONTRAST, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41992, lkfShort, lkwPresent)) \
  F(Integer, EXIF_SATURATION, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41993, lkfShort, lkwPresent)) \
  F(Integer, EXIF_SHARPNESS, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41994, lkfShort, lkwPresent)) \
  F(Integer, EXIF_SUBJECTDISTANCERANGE, -1, lkrExif, lkcCopy, kw_int(0), LKT_E(41996, lkfShort, lkwPresent)) \
  F(String, EXIF_IMAGEUNIQUEID, "", lkrExif, lkcCopy, kw_text, LKT_E(42016, lkfText)) \
  F(String, EXIF_USERCOMMENT, "", lkrExif, lkcCopy, kw_text, LKNoTag) \
  F(String, EXIF_USERCOMMENTCODE, "", lkrExif, lkcCopy, kw_text, LKNoTag) \
  F(TLKTagsHandler, EXIF_MakerNote, lkEmpty, lkrExif, lkcCopy, kw_none, LKNoTag) \
  /* The GPS directory is written only when it has a version */ \
  F(String, EXIF_GPSVERSIONID, "", lkrExif, lkcCopy, kw_text, LKT_G(0, lkfVersion)) \
  F(String, EXIF_GPSLATITUDEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(1, lkfShortText)) \
  F(double, EXIF_GPSLATITUDEDEGREES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(2, 0)) \
  F(double, EXIF_GPSLATITUDEMINUTES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(2, 1)) \
  F(double, EXIF_GPSLATITUDESECONDS, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(2, 2)) \
  F(String, EXIF_GPSLONGITUDEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(3, lkfShortText)) \
  F(double, EXIF_GPSLONGITUDEDEGREES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(4, 0)) \
  F(double, EXIF_GPSLONGITUDEMINUTES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(4, 1)) \
  F(double, EXIF_GPSLONGITUDESECONDS, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(4, 2)) \
  F(String, EXIF_GPSALTITUDEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(5, lkfFirstByte)) \
  F(double, EXIF_GPSALTITUDE, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(6, lkfRational)) \
  F(double, EXIF_GPSTIMESTAMPHOUR, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(7, 0)) \
  F(double, EXIF_GPSTIMESTAMPMINUTE, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(7, 1)) \
  F(double, EXIF_GPSTIMESTAMPSECOND, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(7, 2)) \
  F(String, EXIF_GPSSATELLITES, "", lkrExif, lkcCopy, kw_text, LKT_G(8, lkfText)) \
  F(String, EXIF_GPSSTATUS, "", lkrExif, lkcCopy, kw_text, LKT_G(9, lkfShortText)) \
  F(String, EXIF_GPSMEASUREMODE, "", lkrExif, lkcCopy, kw_text, LKT_G(10, lkfShortText)) \
  F(double, EXIF_GPSDOP, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(11, lkfRational)) \
  F(String, EXIF_GPSSPEEDREF, "", lkrExif, lkcCopy, kw_text, LKT_G(12, lkfShortText)) \
  F(double, EXIF_GPSSPEED, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(13, lkfRational)) \
  F(String, EXIF_GPSTRACKREF, "", lkrExif, lkcCopy, kw_text, LKT_G(14, lkfShortText)) \
  F(double, EXIF_GPSTRACK, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(15, lkfRational)) \
  F(String, EXIF_GPSIMGDIRECTIONREF, "", lkrExif, lkcCopy, kw_text, LKT_G(16, lkfShortText)) \
  F(double, EXIF_GPSIMGDIRECTION, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(17, lkfRational)) \
  F(String, EXIF_GPSMAPDATUM, "", lkrExif, lkcCopy, kw_text, LKT_G(18, lkfText)) \
  F(String, EXIF_GPSDESTLATITUDEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(19, lkfShortText)) \
  F(double, EXIF_GPSDESTLATITUDEDEGREES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(20, 0)) \
  F(double, EXIF_GPSDESTLATITUDEMINUTES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(20, 1)) \
  F(double, EXIF_GPSDESTLATITUDESECONDS, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(20, 2)) \
  F(String, EXIF_GPSDESTLONGITUDEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(21, lkfShortText)) \
  F(double, EXIF_GPSDESTLONGITUDEDEGREES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(22, 0)) \
  F(double, EXIF_GPSDESTLONGITUDEMINUTES, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(22, 1)) \
  F(double, EXIF_GPSDESTLONGITUDESECONDS, 0.0, lkrExif, lkcCopy, kw_real, LKParamTagOf3(22, 2)) \
  F(String, EXIF_GPSDESTBEARINGREF, "", lkrExif, lkcCopy, kw_text, LKT_G(23, lkfShortText)) \
  F(double, EXIF_GPSDESTBEARING, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(24, lkfRational)) \
  F(String, EXIF_GPSDESTDISTANCEREF, "", lkrExif, lkcCopy, kw_text, LKT_G(25, lkfShortText)) \
  F(double, EXIF_GPSDESTDISTANCE, 0.0, lkrExif, lkcCopy, kw_real, LKT_G(26, lkfRational)) \
  F(String, EXIF_GPSDATESTAMP, "", lkrExif, lkcCopy, kw_text, LKT_G(29, lkfText)) \
  /* ---- AVI, media files, PostScript, PDF */ \
  F(Integer, AVI_FrameCount, 0, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(Integer, AVI_FrameDelayTime, 0, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(Integer, MEDIAFILE_FRAMECOUNT, 0, lkrKeep, lkcKeep, kw_int(0), LKNoTag) \
  F(Integer, MEDIAFILE_FRAMEDELAYTIME, 0, lkrKeep, lkcKeep, kw_int(0), LKNoTag) \
  F(Integer, PS_PAPERWIDTH, 595, lkrDefault, lkcCopy, kw_int(595), LKNoTag) \
  F(Integer, PS_PAPERHEIGHT, 842, lkrDefault, lkcCopy, kw_int(842), LKNoTag) \
  F(TIOPSCompression, PS_COMPRESSION, ioPS_G4FAX, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(String, PS_TITLE, "No Title", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(Integer, PDF_PAPERWIDTH, 595, lkrDefault, lkcCopy, kw_int(595), LKNoTag) \
  F(Integer, PDF_PAPERHEIGHT, 842, lkrDefault, lkcCopy, kw_int(842), LKNoTag) \
  F(TIOPDFCompression, PDF_COMPRESSION, ioPDF_G4FAX, lkrDefault, lkcCopy, kw_byte, LKNoTag) \
  F(String, PDF_TITLE, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(String, PDF_AUTHOR, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(String, PDF_SUBJECT, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(String, PDF_KEYWORDS, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(String, PDF_CREATOR, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(String, PDF_PRODUCER, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  /* ---- camera RAW development */ \
  F(bool, RAW_HALFSIZE, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(double, RAW_GAMMA, 0.6, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(double, RAW_BRIGHT, 1.0, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(double, RAW_REDSCALE, 1.0, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(double, RAW_BLUESCALE, 1.0, lkrDefault, lkcCopy, kw_real, LKNoTag) \
  F(bool, RAW_QUICKINTERPOLATE, true, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(bool, RAW_USEAUTOWB, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(bool, RAW_USECAMERAWB, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(bool, RAW_FOURCOLORRGB, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(String, RAW_CAMERA, "", lkrDefault, lkcCopy, kw_text, LKNoTag) \
  F(bool, RAW_GETEXIFTHUMBNAIL, false, lkrDefault, lkcCopy, kw_bool_set(SetRAW_GetExifThumbnail), LKNoTag) \
  F(bool, RAW_AUTOADJUSTCOLORS, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  /* ---- headerless raw pixels, PSD, XMP */ \
  F(TIOBMPRAWChannelOrder, BMPRAW_ChannelOrder, coRGB, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(TIOBMPRAWPlanes, BMPRAW_Planes, plInterleaved, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(Integer, BMPRAW_RowAlignBits, 8, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(Integer, BMPRAW_SkipBytes, 0, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(bool, PSD_LOADLAYERS, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  F(String, XMP_INFO, "", lkrInfo, lkcCopy, kw_text, LKNoTag) \
  F(bool, ISNATIVEPIXELFORMAT, false, lkrDefault, lkcCopy, kw_bool, LKNoTag) \
  /* ---- palette, icon pages, profiles, annotations */ \
  /* The palette holds COLORMAPCOUNT entries or is empty (SetColorMapCount) */ \
  F(std::vector<TRGB>, ColorMap, lkEmpty, lkrDefault, lkcCopy, kw_none, LKNoTag) \
  F(Integer, COLORMAPCOUNT, 0, lkrDefault, lkcCode, kw_int_ro, LKNoTag) \
  /* The first page 64 x 64 at 8 bits, the rest none */ \
  F(TLKSizes16, ICO_PageSizes, lkEmpty, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(TLKIntegers16, ICO_PageBitCounts, lkEmpty, lkrCode, lkcCopy, kw_none, LKNoTag) \
  F(std::unique_ptr<TLKICC>, InputICC, lkEmpty, lkrInfo, lkcCode, kw_none, LKNoTag) \
  F(std::unique_ptr<TLKICC>, OutputICC, lkEmpty, lkrDefault, lkcCode, kw_none, LKNoTag) \
  /* Imaging annotations (TIFF tag 32932), made by GetImagingAnnot */ \
  F(std::unique_ptr<TLKImagingAnnot>, ImagingAnnot, lkEmpty, lkrInfo, lkcCode, kw_none, LKNoTag)
// clang-format on
