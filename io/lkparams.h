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
#include "io/lkparamfields.h"
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

  /// The I/O component that owns the record, or none.
  TIOParamsOwner* OwnerIO = nullptr;

  // Every other field, declared in io/lkparamfields.h with its default
  // (which the constructor gives it), keyword and EXIF tag.
#define LK_PARAM_DECLARE(Type, Name, Default, Reset, Copy, Keyword, Tag) Type Name{};
  LK_PARAMS_FIELDS(LK_PARAM_DECLARE)
#undef LK_PARAM_DECLARE

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

// ---------------------------------------------------------------------------
// Going through the fields

/// What the field list says of one field besides its type and default.
struct TLKParamFieldInfo {
  const char* Name;
  TLKParamReset Reset;
  TLKParamCopy Copy;
  TLKParamTag Tag;
};

/// Copies one field of a record into the same field of another: plain
/// values and arrays as they are, lists and containers deeply. Owned
/// objects (thumbnail, profiles, annotations) are left to the caller.
template <class T>
void LKCopyParamField(T& Target, const T& Source) {
  Target = Source;
}
template <class E, std::size_t N>
void LKCopyParamField(E (&Target)[N], const E (&Source)[N]) {
  for (std::size_t i = 0; i < N; ++i) Target[i] = Source[i];
}
template <class T>
void LKCopyParamField(std::unique_ptr<T>&, const std::unique_ptr<T>&) {}
inline void LKCopyParamField(TStringList& Target, const TStringList& Source) {
  Target.Clear();
  for (Integer i = 0; i < Source.GetCount(); ++i) Target.Add(Source.Get(i));
}
inline void LKCopyParamField(TLKMarkerList& Target, const TLKMarkerList& Source) { Target.Assign(&Source); }
inline void LKCopyParamField(TLKIPTCInfoList& Target, const TLKIPTCInfoList& Source) { Target.Assign(&Source); }
inline void LKCopyParamField(TLKTagsHandler& Target, const TLKTagsHandler& Source) { Target.Assign(Source); }

/// Calls Fn(field, info, default) for every field of Params in declaration
/// order. Params may be const.
template <class Record, class Fn>
void LKForEachParamField(Record& Params, Fn&& Visit) {
#define LK_PARAM_VISIT(Type, Name, Default, Reset, Copy, Keyword, Tag) \
  Visit(Params.Name, TLKParamFieldInfo{#Name, Reset, Copy, Tag}, Default);
  LK_PARAMS_FIELDS(LK_PARAM_VISIT)
#undef LK_PARAM_VISIT
}

/// Calls Fn(target field, source field, info) for every field, in
/// declaration order.
template <class Fn>
void LKForEachParamFieldPair(TIOParamsVals& Target, const TIOParamsVals& Source, Fn&& Visit) {
#define LK_PARAM_VISIT(Type, Name, Default, Reset, Copy, Keyword, Tag) \
  Visit(Target.Name, Source.Name, TLKParamFieldInfo{#Name, Reset, Copy, Tag});
  LK_PARAMS_FIELDS(LK_PARAM_VISIT)
#undef LK_PARAM_VISIT
}
