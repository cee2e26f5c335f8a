// The parameter record of the image I/O: everything a file read or write
// needs besides the pixels (image description, per-format options, camera
// RAW development settings, and the metadata: EXIF with GPS and XP fields,
// IPTC records, JPEG markers, XMP text, ICC profiles). Readable and
// writable by keyword as locale-free text, and storable as a versioned
// binary stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "core/lkicc.h"
#include "io/lkimagingannot.h"
#include "io/lkmarkers.h"
#include "io/lktagshandler.h"
#include "platform/classes.h"
#include "platform/sysutils.h"

// ---------------------------------------------------------------------------
// Per-format option enumerations (each stored in one byte)

enum TIOTIFFCompression : Byte {
  ioTIFF_UNCOMPRESSED, ioTIFF_CCITT1D, ioTIFF_G3FAX1D, ioTIFF_G3FAX2D, ioTIFF_G4FAX,
  ioTIFF_LZW, ioTIFF_OLDJPEG, ioTIFF_JPEG, ioTIFF_PACKBITS, ioTIFF_UNKNOWN
};
/// Photometric interpretation: the TIFF codes 0..6, then CIELab (code 8).
enum TIOTIFFPhotometInterpret : Byte {
  ioTIFF_WHITEISZERO, ioTIFF_BLACKISZERO, ioTIFF_RGB, ioTIFF_RGBPALETTE,
  ioTIFF_TRANSPMASK, ioTIFF_CMYK, ioTIFF_YCBCR, ioTIFF_CIELAB
};
enum TIOJPEGColorspace : Byte { ioJPEG_RGB, ioJPEG_GRAYLEV, ioJPEG_YCbCr, ioJPEG_CMYK, ioJPEG_YCbCrK };
enum TIOJPEGDctMethod : Byte { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
enum TIOJPEGScale : Byte { ioJPEG_AUTOCALC, ioJPEG_FULLSIZE, ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH };
enum TIOJ2000ColorSpace : Byte { ioJ2000_GRAYLEV, ioJ2000_RGB, ioJ2000_YCbCr };
enum TIOJ2000ScalableBy : Byte { ioJ2000_Rate, ioJ2000_Resolution };
enum TIOBMPVersion : Byte { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
enum TIOBMPCompression : Byte { ioBMP_UNCOMPRESSED, ioBMP_RLE };
enum TIOPCXCompression : Byte { ioPCX_UNCOMPRESSED, ioPCX_RLE };
enum TIOPNGFilter : Byte { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };
enum TIOPSCompression : Byte { ioPS_RLE, ioPS_G4FAX, ioPS_G3FAX2D, ioPS_JPEG };
enum TIOPDFCompression : Byte {
  ioPDF_UNCOMPRESSED, ioPDF_RLE, ioPDF_G4FAX, ioPDF_G3FAX2D, ioPDF_JPEG, ioPDF_LZW
};
/// GIF frame disposal.
enum TLKGIFAction : Byte { ioGIF_None, ioGIF_DontRemove, ioGIF_DrawBackground, ioGIF_RestorePrev };
/// Headerless raw pixels: channel byte order and plane layout.
enum TIOBMPRAWChannelOrder : Byte { coRGB, coBGR };
enum TIOBMPRAWPlanes : Byte { plInterleaved, plPlanar };

// ---------------------------------------------------------------------------
// LZW hooks and process-wide defaults

/// GIF LZW decoder: (stream, height, width, interlaced, output of width x
/// height index bytes). A decoder that consumes nothing signals failure.
using TGIFLZWDecompFunc = void (*)(TStream* Stream, Integer Height, Integer Width, bool Interlaced, Byte* Output);
/// GIF LZW encoder: (stream, height, width, interlaced, index bytes, bits per pixel).
using TGIFLZWCompFunc = void (*)(TStream* Stream, Integer Height, Integer Width, bool Interlaced,
                                 const Byte* Pixels, Integer BitsPerPixel);
/// TIFF LZW decoder: (input bytes, input length in bytes, row length,
/// state) -> next row or null. The length bounds every read of the input.
using TTIFFLZWDecompFunc = Byte* (*)(const Byte* Input, Integer InputLen, Integer RowLen, std::intptr_t& State);
/// TIFF LZW encoder: (row bytes, length, output, state); no bytes flush and
/// free the state.
using TTIFFLZWCompFunc = void (*)(const Byte* Row, Integer Length, TStream* Output, std::intptr_t& State);

/// The LZW routines a parameter reset copies into its record; the I/O
/// module installs them at start-up (null until then).
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;
/// Stores the library's own GIF and TIFF LZW coders in the four hooks again,
/// as they are after start-up (defined beside the codecs' table). Main
/// thread, while no load or save runs.
void LKInstallDefaultLZW();

/// Default resolution of pictures whose file gives none (300 dpi).
extern Integer gDefaultDPIX;
extern Integer gDefaultDPIY;

/// Looks up a registered file type: fills the format's name and its first
/// extension and returns true, or returns false for an unregistered type.
using TLKFileTypeLookup = std::function<bool(Integer FileType, String& Name, String& FirstExt)>;
/// The lookup the file-type text uses; the format registry installs it.
/// Empty: no type is registered.
extern TLKFileTypeLookup LKFileTypeLookup;

// ---------------------------------------------------------------------------
// Owner of a parameter record

/// What a parameter record needs of the I/O component that owns it. The
/// component implements it; records without owner get none.
class TIOParamsOwner {
 public:
  virtual ~TIOParamsOwner() = default;
  /// The size of the component's bitmap; false when it has none.
  virtual bool GetParamsBitmapSize(Integer& Width, Integer& Height) = 0;
  /// Tells the attached view (if any) a new horizontal or vertical resolution.
  virtual void ParamsDPIXChanged(Integer Value) = 0;
  virtual void ParamsDPIYChanged(Integer Value) = 0;
  /// The component's bitmap (for the EXIF thumbnail); nil when it has none.
  virtual TLKBitmap* GetParamsBitmap() { return nullptr; }
};

// ---------------------------------------------------------------------------
// The parameter record

/// Options and metadata of one image file. Fields in capitals are also
/// reachable by keyword (GetProperty/SetProperty); those with side effects
/// (resolution, indexes, counts, orientation, thumbnail flags) should be
/// written through their setters, which keep the related fields in step.
class TIOParamsVals : public TObject {
 public:
  /// A record with every field at its default. With an owner, WIDTH and
  /// HEIGHT take its bitmap's size and DPIX/DPIY the default resolution;
  /// without one they start at 0.
  explicit TIOParamsVals(TIOParamsOwner* Owner = nullptr);
  ~TIOParamsVals() override;

  // ---- general description
  TIOParamsOwner* OwnerIO = nullptr;
  Integer BITSPERSAMPLE = 0;
  String FILENAME;
  Integer SAMPLESPERPIXEL = 0;
  Integer WIDTH = 0, HEIGHT = 0;
  Integer DPIX = 0, DPIY = 0;
  Integer FILETYPE = 0;
  Integer IMAGEINDEX = 0;
  Integer IMAGECOUNT = 0;
  bool GETTHUMBNAIL = false;
  // ---- TIFF
  TIOTIFFCompression TIFF_COMPRESSION = ioTIFF_UNCOMPRESSED;
  Integer TIFF_IMAGEINDEX = 0;
  TIOTIFFPhotometInterpret TIFF_PHOTOMETINTEPRET = ioTIFF_WHITEISZERO;
  Integer TIFF_PLANARCONF = 0;
  Integer TIFF_XPOS = 0, TIFF_YPOS = 0;
  String TIFF_DOCUMENTNAME, TIFF_IMAGEDESCRIPTION, TIFF_PAGENAME;
  Integer TIFF_PAGENUMBER = 0, TIFF_PAGECOUNT = 0;
  Integer TIFF_ORIENTATION = 0;
  TTIFFLZWDecompFunc TIFF_LZWDecompressor = nullptr;
  TTIFFLZWCompFunc TIFF_LZWCompressor = nullptr;
  bool TIFF_ENABLEADJUSTORIENTATION = false;
  Integer TIFF_JPEGQUALITY = 0;
  TIOJPEGColorspace TIFF_JPEGCOLORSPACE = ioJPEG_RGB;
  Integer TIFF_IMAGECOUNT = 0;
  Integer TIFF_FILLORDER = 0;
  // ---- DCX
  Integer DCX_IMAGEINDEX = 0;
  // ---- GIF
  String GIF_VERSION;
  Integer GIF_IMAGEINDEX = 0;
  Integer GIF_XPOS = 0, GIF_YPOS = 0;
  Integer GIF_DELAYTIME = 0;
  bool GIF_TRANSPARENT = false;
  TRGB GIF_TRANSPCOLOR{0, 0, 0};
  bool GIF_INTERLACED = false;
  Integer GIF_WINWIDTH = 0, GIF_WINHEIGHT = 0;
  TRGB GIF_BACKGROUND{0, 0, 0};
  Integer GIF_RATIO = 0;
  TStringList GIF_CommentLines;
  TLKGIFAction GIF_Disposal = ioGIF_None;
  TGIFLZWDecompFunc GIF_LZWDecompressor = nullptr;
  TGIFLZWCompFunc GIF_LZWCompressor = nullptr;
  Integer GIF_IMAGECOUNT = 0;
  // ---- JPEG
  TIOJPEGColorspace JPEG_COLORSPACE = ioJPEG_RGB;
  Integer JPEG_QUALITY = 0;
  TIOJPEGDctMethod JPEG_DCTMETHOD = ioJPEG_ISLOW;
  bool JPEG_OPTIMALHUFFMAN = false;
  Integer JPEG_SMOOTH = 0;
  bool JPEG_PROGRESSIVE = false;
  TIOJPEGScale JPEG_SCALE = ioJPEG_AUTOCALC;
  TLKMarkerList JPEG_Markers;
  Integer JPEG_SCALE_USED = 0;
  Integer JPEG_WARNINGTOT = 0, JPEG_WARNINGCODE = 0;
  Integer JPEG_ORIGINALWIDTH = 0, JPEG_ORIGINALHEIGHT = 0;
  bool JPEG_ENABLEADJUSTORIENTATION = false;
  bool JPEG_GETEXIFTHUMBNAIL = false;
  // ---- JPEG 2000
  TIOJ2000ColorSpace J2000_COLORSPACE = ioJ2000_GRAYLEV;
  double J2000_RATE = 0;
  TIOJ2000ScalableBy J2000_SCALABLEBY = ioJ2000_Rate;
  // ---- PCX, BMP, icons, cursors
  Integer PCX_VERSION = 0;
  TIOPCXCompression PCX_COMPRESSION = ioPCX_UNCOMPRESSED;
  TIOBMPVersion BMP_VERSION = ioBMP_BM;
  TIOBMPCompression BMP_COMPRESSION = ioBMP_UNCOMPRESSED;
  bool BMP_HANDLETRANSPARENCY = false;
  Integer ICO_IMAGEINDEX = 0;
  TRGB ICO_BACKGROUND{0, 0, 0};
  Integer CUR_IMAGEINDEX = 0;
  Integer CUR_XHOTSPOT = 0, CUR_YHOTSPOT = 0;
  TRGB CUR_BACKGROUND{0, 0, 0};
  // ---- PNG
  bool PNG_INTERLACED = false;
  TRGB PNG_BACKGROUND{0, 0, 0};
  TIOPNGFilter PNG_FILTER = ioPNG_FILTER_NONE;
  Integer PNG_COMPRESSION = 0;
  TStringList PNG_TextKeywords, PNG_TextStrings;
  // ---- TGA
  Integer TGA_XPOS = 0, TGA_YPOS = 0;
  bool TGA_COMPRESSED = false;
  String TGA_DESCRIPTOR, TGA_AUTHOR;
  TDateTime TGA_DATE = 0;
  String TGA_IMAGENAME;
  TRGB TGA_BACKGROUND{0, 0, 0};
  double TGA_ASPECTRATIO = 0, TGA_GAMMA = 0;
  bool TGA_GRAYLEVEL = false;
  // ---- IPTC, PXM
  TLKIPTCInfoList IPTC_Records;
  TStringList PXM_CommentLines;

  // ---- EXIF group
  bool EXIF_HASEXIF = false;
  std::unique_ptr<TLKBitmap> EXIF_ThumbnailImage;
  String EXIF_IMAGEDESCRIPTION, EXIF_MAKE, EXIF_MODEL;
  Integer EXIF_ORIENTATION = 0;
  double EXIF_XRESOLUTION = 0, EXIF_YRESOLUTION = 0;
  Integer EXIF_RESOLUTIONUNIT = 0;
  String EXIF_SOFTWARE;
  String EXIF_Artist;
  String EXIF_DATETIME;
  double EXIF_WhitePoint[2] = {};
  double EXIF_PrimaryChromaticities[6] = {};
  double EXIF_YCbCrCoefficients[3] = {};
  Integer EXIF_YCbCrPositioning = 0;
  double EXIF_ReferenceBlackWhite[6] = {};
  String EXIF_COPYRIGHT;
  double EXIF_EXPOSURETIME = 0, EXIF_FNUMBER = 0;
  Integer EXIF_EXPOSUREPROGRAM = 0;
  Integer EXIF_ISOSpeedRatings[2] = {};
  String EXIF_EXIFVERSION, EXIF_DATETIMEORIGINAL, EXIF_DATETIMEDIGITIZED;
  double EXIF_COMPRESSEDBITSPERPIXEL = 0, EXIF_SHUTTERSPEEDVALUE = 0, EXIF_APERTUREVALUE = 0,
         EXIF_BRIGHTNESSVALUE = 0, EXIF_EXPOSUREBIASVALUE = 0, EXIF_MAXAPERTUREVALUE = 0,
         EXIF_SUBJECTDISTANCE = 0;
  Integer EXIF_METERINGMODE = 0, EXIF_LIGHTSOURCE = 0, EXIF_FLASH = 0;
  double EXIF_FOCALLENGTH = 0;
  String EXIF_SUBSECTIME, EXIF_SUBSECTIMEORIGINAL, EXIF_SUBSECTIMEDIGITIZED, EXIF_FLASHPIXVERSION;
  Integer EXIF_COLORSPACE = 0, EXIF_EXIFIMAGEWIDTH = 0, EXIF_EXIFIMAGEHEIGHT = 0;
  String EXIF_RELATEDSOUNDFILE;
  double EXIF_FOCALPLANEXRESOLUTION = 0, EXIF_FOCALPLANEYRESOLUTION = 0;
  Integer EXIF_FOCALPLANERESOLUTIONUNIT = 0;
  double EXIF_EXPOSUREINDEX = 0;
  Integer EXIF_SENSINGMETHOD = 0, EXIF_FILESOURCE = 0, EXIF_SCENETYPE = 0;
  String EXIF_USERCOMMENT, EXIF_USERCOMMENTCODE;
  /// The maker-note tag directory (tag 37500).
  TLKTagsHandler EXIF_MakerNote;
  std::u16string EXIF_XPTitle, EXIF_XPComment, EXIF_XPAuthor, EXIF_XPKeywords, EXIF_XPSubject;
  Integer EXIF_EXPOSUREMODE = 0, EXIF_WHITEBALANCE = 0;
  double EXIF_DIGITALZOOMRATIO = 0;
  Integer EXIF_FOCALLENGTHIN35MMFILM = 0, EXIF_SCENECAPTURETYPE = 0, EXIF_GAINCONTROL = 0, EXIF_CONTRAST = 0,
          EXIF_SATURATION = 0, EXIF_SHARPNESS = 0, EXIF_SUBJECTDISTANCERANGE = 0;
  String EXIF_IMAGEUNIQUEID;
  String EXIF_GPSVERSIONID, EXIF_GPSLATITUDEREF;
  double EXIF_GPSLATITUDEDEGREES = 0, EXIF_GPSLATITUDEMINUTES = 0, EXIF_GPSLATITUDESECONDS = 0;
  String EXIF_GPSLONGITUDEREF;
  double EXIF_GPSLONGITUDEDEGREES = 0, EXIF_GPSLONGITUDEMINUTES = 0, EXIF_GPSLONGITUDESECONDS = 0;
  String EXIF_GPSALTITUDEREF;
  double EXIF_GPSALTITUDE = 0, EXIF_GPSTIMESTAMPHOUR = 0, EXIF_GPSTIMESTAMPMINUTE = 0, EXIF_GPSTIMESTAMPSECOND = 0;
  String EXIF_GPSSATELLITES, EXIF_GPSSTATUS, EXIF_GPSMEASUREMODE;
  double EXIF_GPSDOP = 0;
  String EXIF_GPSSPEEDREF;
  double EXIF_GPSSPEED = 0;
  String EXIF_GPSTRACKREF;
  double EXIF_GPSTRACK = 0;
  String EXIF_GPSIMGDIRECTIONREF;
  double EXIF_GPSIMGDIRECTION = 0;
  String EXIF_GPSMAPDATUM, EXIF_GPSDESTLATITUDEREF;
  double EXIF_GPSDESTLATITUDEDEGREES = 0, EXIF_GPSDESTLATITUDEMINUTES = 0, EXIF_GPSDESTLATITUDESECONDS = 0;
  String EXIF_GPSDESTLONGITUDEREF;
  double EXIF_GPSDESTLONGITUDEDEGREES = 0, EXIF_GPSDESTLONGITUDEMINUTES = 0, EXIF_GPSDESTLONGITUDESECONDS = 0;
  String EXIF_GPSDESTBEARINGREF;
  double EXIF_GPSDESTBEARING = 0;
  String EXIF_GPSDESTDISTANCEREF;
  double EXIF_GPSDESTDISTANCE = 0;
  String EXIF_GPSDATESTAMP;

  // ---- AVI, media files, PostScript, PDF
  Integer AVI_FrameCount = 0, AVI_FrameDelayTime = 0;
  Integer MEDIAFILE_FRAMECOUNT = 0, MEDIAFILE_FRAMEDELAYTIME = 0;
  Integer PS_PAPERWIDTH = 0, PS_PAPERHEIGHT = 0;
  TIOPSCompression PS_COMPRESSION = ioPS_RLE;
  String PS_TITLE;
  Integer PDF_PAPERWIDTH = 0, PDF_PAPERHEIGHT = 0;
  TIOPDFCompression PDF_COMPRESSION = ioPDF_UNCOMPRESSED;
  String PDF_TITLE, PDF_AUTHOR, PDF_SUBJECT, PDF_KEYWORDS, PDF_CREATOR, PDF_PRODUCER;
  // ---- camera RAW development
  bool RAW_HALFSIZE = false;
  double RAW_GAMMA = 0, RAW_BRIGHT = 0, RAW_REDSCALE = 0, RAW_BLUESCALE = 0;
  bool RAW_QUICKINTERPOLATE = false, RAW_USEAUTOWB = false, RAW_USECAMERAWB = false, RAW_FOURCOLORRGB = false;
  String RAW_CAMERA;
  bool RAW_GETEXIFTHUMBNAIL = false;
  bool RAW_AUTOADJUSTCOLORS = false;
  // ---- headerless raw pixels, PSD, XMP
  TIOBMPRAWChannelOrder BMPRAW_ChannelOrder = coRGB;
  TIOBMPRAWPlanes BMPRAW_Planes = plInterleaved;
  Integer BMPRAW_RowAlignBits = 0;
  Integer BMPRAW_SkipBytes = 0;
  bool PSD_LOADLAYERS = false;
  String XMP_INFO;
  bool ISNATIVEPIXELFORMAT = false;
  // ---- palette, icon pages, profiles
  /// The palette; holds COLORMAPCOUNT entries or is empty (use SetColorMap).
  std::vector<TRGB> ColorMap;
  Integer COLORMAPCOUNT = 0;
  TSize ICO_PageSizes[16] = {};
  Integer ICO_PageBitCounts[16] = {};
  std::unique_ptr<TLKICC> InputICC;
  std::unique_ptr<TLKICC> OutputICC;
  /// Imaging annotations (TIFF tag 32932), made by GetImagingAnnot.
  std::unique_ptr<TLKImagingAnnot> ImagingAnnot;

  // ---- resets and copies
  /// Every field to its default (see the class comment for the owner
  /// rule); JPEG_WARNINGTOT/CODE and the media-file counts are untouched.
  void SetDefaultParams();
  /// Forgets what a read left behind, keeping the options: IPTC, markers,
  /// EXIF group, comments, text chunks, TIFF and TGA texts, XMP, the
  /// annotations and the input profile.
  void ResetInfo();
  /// Gives every field of the EXIF group its reset value, frees the
  /// thumbnail and drops the first EXIF APP1 marker.
  void ResetEXIF();
  /// Becomes a copy of Source (all but the owner, the JPEG warnings and the
  /// media-file counts); resolution, orientation, thumbnail flag and
  /// indexes go through their setters, so every index ends equal to
  /// Source's CUR_IMAGEINDEX. A Source without EXIF thumbnail leaves this
  /// record's own. Nothing for null or this.
  void Assign(const TIOParamsVals* Source);
  /// Copies only the encoding options (not PostScript or PDF ones).
  void AssignCompressionInfo(const TIOParamsVals* Source);

  // ---- setters that keep fields in step
  void SetDpiX(Integer Value);
  void SetDpiY(Integer Value);
  void SetDpi(Integer Value);
  /// SetDpiX/SetDpiY of the value truncated toward zero (clamped).
  void SetEXIF_XResolution(double Value);
  void SetEXIF_YResolution(double Value);
  /// Writes IMAGEINDEX and the TIFF, DCX, GIF, icon and cursor indexes.
  void SetImageIndex(Integer Value);
  /// Writes IMAGECOUNT and the TIFF, AVI, GIF and media-file counts.
  void SetImageCount(Integer Value);
  /// Writes GETTHUMBNAIL and the JPEG and RAW thumbnail flags.
  void SetGetThumbnail(bool Value);
  /// Writes GETTHUMBNAIL and JPEG_GETEXIFTHUMBNAIL.
  void SetJPEG_GetExifThumbnail(bool Value);
  /// Writes RAW_GETEXIFTHUMBNAIL only.
  void SetRAW_GetExifThumbnail(bool Value);
  /// Both write TIFF_ORIENTATION and EXIF_ORIENTATION.
  void SetTIFF_Orientation(Integer Value);
  /// Makes the EXIF thumbnail from the owner's bitmap: 160 pixels wide, the
  /// height from the aspect ratio, triangle filter. Nothing without an
  /// owner or with an empty bitmap.
  void UpdateEXIFThumbnail();
  void SetEXIF_Orientation(Integer Value);
  /// Replaces the palette with Count black entries (none for Count <= 0)
  /// and sets COLORMAPCOUNT.
  void SetColorMapCount(Integer Count);

  // ---- EXIF arrays (index not validated beyond the array bounds:
  // an index outside gives 0 and sets nothing)
  Integer GetEXIF_ISOSpeedRatings(Integer Index) const;
  void SetEXIF_ISOSpeedRatings(Integer Index, Integer Value);
  double GetEXIF_WhitePoint(Integer Index) const;
  void SetEXIF_WhitePoint(Integer Index, double Value);
  double GetEXIF_PrimaryChromaticities(Integer Index) const;
  void SetEXIF_PrimaryChromaticities(Integer Index, double Value);
  double GetEXIF_YCbCrCoefficients(Integer Index) const;
  void SetEXIF_YCbCrCoefficients(Integer Index, double Value);
  double GetEXIF_ReferenceBlackWhite(Integer Index) const;
  void SetEXIF_ReferenceBlackWhite(Integer Index, double Value);

  // ---- objects made on first use
  /// The input profile, made empty when missing.
  TLKICC* GetInputICC();
  /// The output profile, made holding the sRGB profile when missing.
  TLKICC* GetOutputICC();
  /// The EXIF thumbnail bitmap, made empty when missing.
  TLKBitmap* GetEXIF_ThumbnailImage();
  /// The annotations, made empty (with this record as parent) when missing.
  TLKImagingAnnot* GetImagingAnnot();

  /// The text shown for the file type: the registered name and first
  /// extension, then the format's compression or variant words.
  String GetFileTypeStr() const;

  // ---- keywords
  /// The value of Keyword as text ("INVALID PROPERTY" for an unknown one).
  /// Control characters are dropped from the keyword and case is ignored.
  String GetProperty(const String& Keyword) const;
  /// Stores the text Value under Keyword; unknown and read-only keywords
  /// are ignored. Text that does not parse stores the keyword's fallback.
  void SetProperty(const String& Keyword, const String& Value);

  // ---- stream form
  /// Current version of the stream form.
  static constexpr Integer StreamVersion = 29;
  /// Writes the stream form (current version) at the stream's position.
  void SaveToStream(TStream* Stream);
  /// Reads one record of any version 0 .. 29 (later versions read as 29)
  /// from the stream's position. A truncated or corrupt stream raises
  /// EReadError and leaves the record and the stream position unchanged.
  void LoadFromStream(TStream* Stream);
  /// The same through a file; open and create failures raise. Saving
  /// writes a temporary file beside the target and renames it over.
  void SaveToFile(const String& FileName);
  void LoadFromFile(const String& FileName);

 private:
  void ReadStreamItems(TStream* Stream);
};
