#include "io/lkparams.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "io/lkformatrow.h"

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;
TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;
Integer gDefaultDPIX = 300;
Integer gDefaultDPIY = 300;
TLKFileTypeLookup LKFileTypeLookup;

namespace {

// An APP1 payload that holds an EXIF block starts with "Exif" and a zero byte.
bool IsEXIFPayload(const Byte* Data, Integer Length) {
  return Data != nullptr && Length >= 5 && std::memcmp(Data, "Exif", 4) == 0 && Data[4] == 0;
}

// A field back to its default: plain values take it, lists and owned
// objects are emptied.
template <class T, class D>
void ResetField(T& Field, const D& Default) {
  Field = Default;
}
template <class E, std::size_t N>
void ResetField(E (&Field)[N], TLKEmpty) {
  std::fill(std::begin(Field), std::end(Field), E{});
}
template <class T>
void ResetField(std::unique_ptr<T>& Field, TLKEmpty) {
  Field.reset();
}
template <class T>
void ResetField(std::vector<T>& Field, TLKEmpty) {
  Field.clear();
}
void ResetField(TStringList& Field, TLKEmpty) { Field.Clear(); }
void ResetField(TLKMarkerList& Field, TLKEmpty) { Field.Clear(); }
void ResetField(TLKIPTCInfoList& Field, TLKEmpty) { Field.Clear(); }
void ResetField(TLKTagsHandler& Field, TLKEmpty) { Field.Clear(); }

// Resets every field whose reset is one of Which.
template <class... R>
void ResetFields(TIOParamsVals& P, R... Which) {
  LKForEachParamField(P, [&](auto& Field, const TLKParamFieldInfo& Info, const auto& Default) {
    if (((Info.Reset == Which) || ...)) ResetField(Field, Default);
  });
}

}  // namespace

TIOParamsVals::TIOParamsVals(TIOParamsOwner* Owner) : OwnerIO(Owner) { SetDefaultParams(); }

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::SetDefaultParams() {
  ResetFields(*this, lkrDefault, lkrInfo);
  if (OwnerIO != nullptr) {
    Integer w = 0, h = 0;
    if (OwnerIO->GetParamsBitmapSize(w, h)) {
      WIDTH = w;
      HEIGHT = h;
    }
    SetDpiX(gDefaultDPIX);
    SetDpiY(gDefaultDPIY);
  }
  TIFF_LZWDecompressor = DefTIFF_LZWDECOMPFUNC;
  TIFF_LZWCompressor = DefTIFF_LZWCOMPFUNC;
  GIF_LZWDecompressor = DefGIF_LZWDECOMPFUNC;
  GIF_LZWCompressor = DefGIF_LZWCOMPFUNC;
  TGA_DATE = Date();
  for (auto& s : ICO_PageSizes) s = TSize{};
  for (auto& b : ICO_PageBitCounts) b = 0;
  ICO_PageSizes[0] = TSize{64, 64};
  ICO_PageBitCounts[0] = 8;
  // After the resolution: the EXIF resolutions of a fresh record are 0.
  ResetEXIF();
}

void TIOParamsVals::ResetInfo() {
  ResetFields(*this, lkrInfo);
  ResetEXIF();
}

void TIOParamsVals::ResetEXIF() {
  ResetFields(*this, lkrExif);
  for (Integer i = 0; i < JPEG_Markers.GetCount(); ++i) {
    if (JPEG_Markers.GetMarkerType(i) == 0xE1 &&
        IsEXIFPayload(JPEG_Markers.GetMarkerData(i), JPEG_Markers.GetMarkerLength(i))) {
      JPEG_Markers.DeleteMarker(i);
      break;
    }
  }
}

void TIOParamsVals::Assign(const TIOParamsVals* S) {
  if (S == nullptr || S == this) return;
  // The setters first: the copies below then give the EXIF resolutions and
  // orientation the source's own values. GETTHUMBNAIL follows the source's
  // JPEG_GETEXIFTHUMBNAIL through its setter.
  SetDpiX(S->DPIX);
  SetDpiY(S->DPIY);
  SetTIFF_Orientation(S->TIFF_ORIENTATION);
  SetJPEG_GetExifThumbnail(S->JPEG_GETEXIFTHUMBNAIL);
  LKForEachParamFieldPair(*this, *S, [](auto& Target, const auto& Source, const TLKParamFieldInfo& Info) {
    if (Info.Copy == lkcCopy || Info.Copy == lkcAssign) LKCopyParamField(Target, Source);
  });
  COLORMAPCOUNT = static_cast<Integer>(ColorMap.size());
  // A source without thumbnail leaves this record's own.
  if (S->EXIF_ThumbnailImage) GetEXIF_ThumbnailImage()->Assign(S->EXIF_ThumbnailImage.get());
  if (S->ImagingAnnot)
    GetImagingAnnot()->Assign(S->ImagingAnnot.get());
  else
    ImagingAnnot.reset();
  if (S->InputICC)
    GetInputICC()->Assign(S->InputICC.get());
  else
    InputICC.reset();
  if (S->OutputICC) {
    if (!OutputICC) OutputICC = std::make_unique<TLKICC>();
    OutputICC->Assign(S->OutputICC.get());
  } else {
    OutputICC.reset();
  }
  // The indexes go through the setter one after another, so all of them end
  // at the source's cursor index.
  SetImageIndex(S->TIFF_IMAGEINDEX);
  SetImageIndex(S->GIF_IMAGEINDEX);
  SetImageIndex(S->DCX_IMAGEINDEX);
  SetImageIndex(S->ICO_IMAGEINDEX);
  SetImageIndex(S->CUR_IMAGEINDEX);
}

void TIOParamsVals::AssignCompressionInfo(const TIOParamsVals* S) {
  if (S == nullptr || S == this) return;
  BITSPERSAMPLE = S->BITSPERSAMPLE;
  SAMPLESPERPIXEL = S->SAMPLESPERPIXEL;
  TIFF_COMPRESSION = S->TIFF_COMPRESSION;
  TIFF_PHOTOMETINTEPRET = S->TIFF_PHOTOMETINTEPRET;
  TIFF_PLANARCONF = S->TIFF_PLANARCONF;
  SetTIFF_Orientation(S->TIFF_ORIENTATION);
  TIFF_LZWDecompressor = S->TIFF_LZWDecompressor;
  TIFF_LZWCompressor = S->TIFF_LZWCompressor;
  TIFF_ENABLEADJUSTORIENTATION = S->TIFF_ENABLEADJUSTORIENTATION;
  TIFF_JPEGQUALITY = S->TIFF_JPEGQUALITY;
  TIFF_JPEGCOLORSPACE = S->TIFF_JPEGCOLORSPACE;
  TIFF_FILLORDER = S->TIFF_FILLORDER;
  GIF_INTERLACED = S->GIF_INTERLACED;
  GIF_LZWDecompressor = S->GIF_LZWDecompressor;
  GIF_LZWCompressor = S->GIF_LZWCompressor;
  JPEG_COLORSPACE = S->JPEG_COLORSPACE;
  JPEG_QUALITY = S->JPEG_QUALITY;
  JPEG_DCTMETHOD = S->JPEG_DCTMETHOD;
  JPEG_OPTIMALHUFFMAN = S->JPEG_OPTIMALHUFFMAN;
  JPEG_SMOOTH = S->JPEG_SMOOTH;
  JPEG_PROGRESSIVE = S->JPEG_PROGRESSIVE;
  J2000_COLORSPACE = S->J2000_COLORSPACE;
  J2000_RATE = S->J2000_RATE;
  J2000_SCALABLEBY = S->J2000_SCALABLEBY;
  PCX_VERSION = S->PCX_VERSION;
  PCX_COMPRESSION = S->PCX_COMPRESSION;
  BMP_VERSION = S->BMP_VERSION;
  BMP_COMPRESSION = S->BMP_COMPRESSION;
  BMP_HANDLETRANSPARENCY = S->BMP_HANDLETRANSPARENCY;
  PNG_INTERLACED = S->PNG_INTERLACED;
  PNG_FILTER = S->PNG_FILTER;
  PNG_COMPRESSION = S->PNG_COMPRESSION;
  TGA_COMPRESSED = S->TGA_COMPRESSED;
  TGA_GRAYLEVEL = S->TGA_GRAYLEVEL;
}

void TIOParamsVals::SetDpiX(Integer Value) {
  DPIX = Value;
  EXIF_XRESOLUTION = Value;
  if (OwnerIO != nullptr) OwnerIO->ParamsDPIXChanged(Value);
}

void TIOParamsVals::SetDpiY(Integer Value) {
  DPIY = Value;
  EXIF_YRESOLUTION = Value;
  if (OwnerIO != nullptr) OwnerIO->ParamsDPIYChanged(Value);
}

void TIOParamsVals::SetDpi(Integer Value) {
  SetDpiX(Value);
  SetDpiY(Value);
}

void TIOParamsVals::SetEXIF_XResolution(double Value) { SetDpiX(LKTrunc(Value)); }
void TIOParamsVals::SetEXIF_YResolution(double Value) { SetDpiY(LKTrunc(Value)); }

void TIOParamsVals::SetImageIndex(Integer Value) {
  IMAGEINDEX = TIFF_IMAGEINDEX = DCX_IMAGEINDEX = GIF_IMAGEINDEX = ICO_IMAGEINDEX = CUR_IMAGEINDEX = Value;
}

void TIOParamsVals::SetImageCount(Integer Value) {
  IMAGECOUNT = TIFF_IMAGECOUNT = AVI_FrameCount = GIF_IMAGECOUNT = MEDIAFILE_FRAMECOUNT = Value;
}

void TIOParamsVals::SetGetThumbnail(bool Value) {
  GETTHUMBNAIL = JPEG_GETEXIFTHUMBNAIL = RAW_GETEXIFTHUMBNAIL = Value;
}

void TIOParamsVals::SetJPEG_GetExifThumbnail(bool Value) { GETTHUMBNAIL = JPEG_GETEXIFTHUMBNAIL = Value; }
void TIOParamsVals::SetRAW_GetExifThumbnail(bool Value) { RAW_GETEXIFTHUMBNAIL = Value; }
void TIOParamsVals::SetTIFF_Orientation(Integer Value) { TIFF_ORIENTATION = EXIF_ORIENTATION = Value; }
void TIOParamsVals::SetEXIF_Orientation(Integer Value) { EXIF_ORIENTATION = TIFF_ORIENTATION = Value; }

void TIOParamsVals::SetColorMapCount(Integer Count) {
  ColorMap.assign(static_cast<std::size_t>(Count > 0 ? Count : 0), TRGB{0, 0, 0});
  COLORMAPCOUNT = Count > 0 ? Count : 0;
}

namespace {
template <typename T, std::size_t N>
T GetAt(const T (&a)[N], Integer i) {
  return i >= 0 && static_cast<std::size_t>(i) < N ? a[i] : T{};
}
template <typename T, std::size_t N>
void SetAt(T (&a)[N], Integer i, T v) {
  if (i >= 0 && static_cast<std::size_t>(i) < N) a[i] = v;
}
}  // namespace

Integer TIOParamsVals::GetEXIF_ISOSpeedRatings(Integer I) const { return GetAt(EXIF_ISOSpeedRatings, I); }
void TIOParamsVals::SetEXIF_ISOSpeedRatings(Integer I, Integer V) { SetAt(EXIF_ISOSpeedRatings, I, V); }
double TIOParamsVals::GetEXIF_WhitePoint(Integer I) const { return GetAt(EXIF_WhitePoint, I); }
void TIOParamsVals::SetEXIF_WhitePoint(Integer I, double V) { SetAt(EXIF_WhitePoint, I, V); }
double TIOParamsVals::GetEXIF_PrimaryChromaticities(Integer I) const { return GetAt(EXIF_PrimaryChromaticities, I); }
void TIOParamsVals::SetEXIF_PrimaryChromaticities(Integer I, double V) { SetAt(EXIF_PrimaryChromaticities, I, V); }
double TIOParamsVals::GetEXIF_YCbCrCoefficients(Integer I) const { return GetAt(EXIF_YCbCrCoefficients, I); }
void TIOParamsVals::SetEXIF_YCbCrCoefficients(Integer I, double V) { SetAt(EXIF_YCbCrCoefficients, I, V); }
double TIOParamsVals::GetEXIF_ReferenceBlackWhite(Integer I) const { return GetAt(EXIF_ReferenceBlackWhite, I); }
void TIOParamsVals::SetEXIF_ReferenceBlackWhite(Integer I, double V) { SetAt(EXIF_ReferenceBlackWhite, I, V); }

TLKImagingAnnot* TIOParamsVals::GetImagingAnnot() {
  if (!ImagingAnnot) ImagingAnnot = std::make_unique<TLKImagingAnnot>(this);
  return ImagingAnnot.get();
}

TLKICC* TIOParamsVals::GetInputICC() {
  if (!InputICC) InputICC = std::make_unique<TLKICC>();
  return InputICC.get();
}

TLKICC* TIOParamsVals::GetOutputICC() {
  if (!OutputICC) {
    OutputICC = std::make_unique<TLKICC>();
    OutputICC->Assign_sRGBProfile();
  }
  return OutputICC.get();
}

TLKBitmap* TIOParamsVals::GetEXIF_ThumbnailImage() {
  if (!EXIF_ThumbnailImage) EXIF_ThumbnailImage = std::make_unique<TLKBitmap>();
  return EXIF_ThumbnailImage.get();
}

String TIOParamsVals::GetFileTypeStr() const {
  String s;
  String name, ext;
  if (LKFileTypeLookup && LKFileTypeLookup(FILETYPE, name, ext)) {
    s = name + " (";
    if (s.size() > 82) s.resize(82);
    s += UpperCase(ext) + ")";
  }
  // What the last read tells about the file's kind, in the format's own words.
  const TLKFormatRow* row = LKFormatRowOf(FILETYPE);
  if (row && row->TypeDetail) s += row->TypeDetail(*this);
  return s;
}
