// The versioned binary form of the parameter record. The writer always
// writes the current version; the reader takes every older version and
// reads an item only when the stream's version carries it. Every count and
// length in the stream is checked against what the stream still holds.
#include <cstring>

#include "core/lklists.h"
#include "io/lkparams.h"
#include "platform/atomicfile.h"

namespace {

// First stream version that carries each versioned group of items.
enum : Integer {
  kVerFileTypeInt32 = 2,  // FILETYPE widened from one byte
  kVerJpegScale = 1,
  kVerIcoCurIndex = 1,    // version 0 holds two skipped int32 in their place
  kVerTGAAndBackgrounds = 3,
  kVerCountsAndMarkers = 4,  // TIFF/GIF image counts, markers, IPTC
  kVerPXMComments = 5,
  kVerOrientationAVI = 6,
  kVerJpegOriginalSize = 7,
  kVerJ2000 = 8,
  kVerGIFComments = 9,
  kVerTIFFJpegQuality = 10,
  kVerIcoPages = 11,
  kVerGIFDisposal = 12,
  kVerAnnotations = 13,  // no bytes: the reader only makes the container
  kVerPSPDF = 14,
  kVerPDFInfo = 15,
  kVerTIFFJpegColorspace = 16,
  kVerICC = 17,
  kVerRAW = 18,  // also DCX_IMAGEINDEX
  kVerJpegOrientationThumb = 20,
  kVerMediaFile = 21,
  kVerRAWAutoAdjust = 22,
  kVerPNGTextAndRawPixels = 23,
  kVerImageIndexCount = 25,
  kVerTIFFFillOrder = 26,
  kVerPSDLayers = 27,
  kVerBMPTransparency = 28,
};

class Writer {
 public:
  explicit Writer(TStream* S) : S_(S) {}
  void Int(Integer v) { S_->WriteBuffer(&v, 4); }
  void Byte1(Byte v) { S_->WriteBuffer(&v, 1); }
  void Bool(bool v) { Byte1(v ? 1 : 0); }
  void Colour(const TRGB& c) { S_->WriteBuffer(&c, 3); }
  void Real(double v) { S_->WriteBuffer(&v, 8); }
  void Str(const String& s) { SaveStringToStream(S_, s); }
  void List(const TStringList& l) { SaveStringListToStream(S_, &l); }
  TStream* Stream() { return S_; }

 private:
  TStream* S_;
};

// Reads with every access checked against the end of the stream.
class Reader {
 public:
  explicit Reader(TStream* S) : S_(S) {}
  void Raw(void* buf, Int64 n) {
    if (n < 0 || n > Remaining()) Fail();
    if (n > 0) S_->ReadBuffer(buf, n);
  }
  Integer Int() {
    Integer v = 0;
    Raw(&v, 4);
    return v;
  }
  Byte Byte1() {
    Byte v = 0;
    Raw(&v, 1);
    return v;
  }
  bool Bool() { return Byte1() != 0; }
  TRGB Colour() {
    TRGB c{};
    Raw(&c, 3);
    return c;
  }
  double Real() {
    double v = 0;
    Raw(&v, 8);
    return v;
  }
  String Str() {
    String s;
    LoadStringFromStream(S_, s);
    return s;
  }
  void List(TStringList& l) { LoadStringListFromStream(S_, &l); }
  Int64 Remaining() {
    const Int64 left = S_->GetSize() - S_->GetPosition();
    return left < 0 ? 0 : left;
  }
  TStream* Stream() { return S_; }
  [[noreturn]] static void Fail() { throw EReadError("Parameter stream is truncated or corrupt"); }

 private:
  TStream* S_;
};

}  // namespace

void TIOParamsVals::SaveToStream(TStream* Stream) {
  Writer w(Stream);
  w.Int(StreamVersion);
  w.Str(FILENAME);
  w.Int(FILETYPE);
  w.Int(BITSPERSAMPLE);
  w.Int(SAMPLESPERPIXEL);
  w.Int(WIDTH);
  w.Int(HEIGHT);
  w.Int(DPIX);
  w.Int(DPIY);
  // The palette count written is the number of entries actually held.
  const Integer colours = static_cast<Integer>(ColorMap.size());
  w.Int(colours);
  if (colours > 0) Stream->WriteBuffer(ColorMap.data(), Int64{colours} * 3);
  w.Int(IMAGEINDEX);
  w.Int(IMAGECOUNT);
  w.Bool(GETTHUMBNAIL);
  w.Byte1(TIFF_COMPRESSION);
  w.Int(TIFF_IMAGEINDEX);
  w.Byte1(TIFF_PHOTOMETINTEPRET);
  w.Int(TIFF_PLANARCONF);
  w.Int(TIFF_XPOS);
  w.Int(TIFF_YPOS);
  w.Str(TIFF_DOCUMENTNAME);
  w.Str(TIFF_IMAGEDESCRIPTION);
  w.Str(TIFF_PAGENAME);
  w.Int(TIFF_PAGENUMBER);
  w.Int(TIFF_PAGECOUNT);
  w.Int(TIFF_IMAGECOUNT);
  w.Int(TIFF_ORIENTATION);
  w.Int(TIFF_JPEGQUALITY);
  w.Byte1(TIFF_JPEGCOLORSPACE);
  w.Int(TIFF_FILLORDER);
  w.Str(GIF_VERSION);
  w.Int(GIF_IMAGEINDEX);
  w.Int(GIF_XPOS);
  w.Int(GIF_YPOS);
  w.Int(GIF_DELAYTIME);
  w.Bool(GIF_TRANSPARENT);
  w.Colour(GIF_TRANSPCOLOR);
  w.Bool(GIF_INTERLACED);
  w.Int(GIF_WINWIDTH);
  w.Int(GIF_WINHEIGHT);
  w.Colour(GIF_BACKGROUND);
  w.Int(GIF_RATIO);
  w.Int(GIF_IMAGECOUNT);
  w.List(GIF_CommentLines);
  w.Byte1(GIF_Disposal);
  w.Byte1(JPEG_COLORSPACE);
  w.Int(JPEG_QUALITY);
  w.Byte1(JPEG_DCTMETHOD);
  w.Bool(JPEG_OPTIMALHUFFMAN);
  w.Int(JPEG_SMOOTH);
  w.Bool(JPEG_PROGRESSIVE);
  w.Byte1(JPEG_SCALE);
  JPEG_Markers.SaveToStream(Stream);
  w.Int(JPEG_ORIGINALWIDTH);
  w.Int(JPEG_ORIGINALHEIGHT);
  w.Bool(JPEG_ENABLEADJUSTORIENTATION);
  w.Bool(JPEG_GETEXIFTHUMBNAIL);
  w.Byte1(J2000_COLORSPACE);
  w.Real(J2000_RATE);
  w.Byte1(J2000_SCALABLEBY);
  w.Int(PCX_VERSION);
  w.Byte1(PCX_COMPRESSION);
  w.Byte1(BMP_VERSION);
  w.Byte1(BMP_COMPRESSION);
  w.Bool(BMP_HANDLETRANSPARENCY);
  w.Int(ICO_IMAGEINDEX);
  w.Colour(ICO_BACKGROUND);
  for (const TSize& s : ICO_PageSizes) {
    w.Int(s.cx);
    w.Int(s.cy);
  }
  for (Integer b : ICO_PageBitCounts) w.Int(b);
  w.Int(CUR_IMAGEINDEX);
  w.Int(CUR_XHOTSPOT);
  w.Int(CUR_YHOTSPOT);
  w.Colour(CUR_BACKGROUND);
  w.Bool(PNG_INTERLACED);
  w.Colour(PNG_BACKGROUND);
  w.Byte1(PNG_FILTER);
  w.Int(PNG_COMPRESSION);
  w.List(PNG_TextKeywords);
  w.List(PNG_TextStrings);
  w.Bool(PSD_LOADLAYERS);
  w.Int(TGA_XPOS);
  w.Int(TGA_YPOS);
  w.Bool(TGA_COMPRESSED);
  w.Str(TGA_DESCRIPTOR);
  w.Str(TGA_AUTHOR);
  w.Real(TGA_DATE);
  w.Str(TGA_IMAGENAME);
  w.Colour(TGA_BACKGROUND);
  w.Real(TGA_ASPECTRATIO);
  w.Real(TGA_GAMMA);
  w.Bool(TGA_GRAYLEVEL);
  IPTC_Records.SaveToStream(Stream);
  w.List(PXM_CommentLines);
  w.Int(AVI_FrameCount);
  w.Int(AVI_FrameDelayTime);
  w.Int(PS_PAPERWIDTH);
  w.Int(PS_PAPERHEIGHT);
  w.Byte1(PS_COMPRESSION);
  w.Str(PS_TITLE);
  w.Int(PDF_PAPERWIDTH);
  w.Int(PDF_PAPERHEIGHT);
  w.Byte1(PDF_COMPRESSION);
  w.Str(PDF_TITLE);
  w.Str(PDF_AUTHOR);
  w.Str(PDF_SUBJECT);
  w.Str(PDF_KEYWORDS);
  w.Str(PDF_CREATOR);
  w.Str(PDF_PRODUCER);
  w.Int(DCX_IMAGEINDEX);
  GetImagingAnnot()->SaveToStream(Stream);
  GetInputICC()->SaveToStream(Stream);
  GetOutputICC()->SaveToStream(Stream);
  w.Bool(RAW_HALFSIZE);
  w.Real(RAW_GAMMA);
  w.Real(RAW_BRIGHT);
  w.Real(RAW_REDSCALE);
  w.Real(RAW_BLUESCALE);
  w.Bool(RAW_QUICKINTERPOLATE);
  w.Bool(RAW_USEAUTOWB);
  w.Bool(RAW_USECAMERAWB);
  w.Bool(RAW_FOURCOLORRGB);
  w.Str(RAW_CAMERA);
  w.Bool(RAW_GETEXIFTHUMBNAIL);
  w.Bool(RAW_AUTOADJUSTCOLORS);
  w.Int(MEDIAFILE_FRAMECOUNT);
  w.Int(MEDIAFILE_FRAMEDELAYTIME);
  w.Byte1(BMPRAW_ChannelOrder);
  w.Byte1(BMPRAW_Planes);
  w.Int(BMPRAW_RowAlignBits);
  w.Int(BMPRAW_SkipBytes);
}

void TIOParamsVals::ReadStreamItems(TStream* Stream) {
  Reader r(Stream);
  Integer ver = r.Int();
  if (ver < 0) Reader::Fail();
  if (ver > StreamVersion) ver = StreamVersion;
  FILENAME = r.Str();
  FILETYPE = ver >= kVerFileTypeInt32 ? r.Int() : r.Byte1();
  BITSPERSAMPLE = r.Int();
  SAMPLESPERPIXEL = r.Int();
  WIDTH = r.Int();
  HEIGHT = r.Int();
  DPIX = r.Int();
  DPIY = r.Int();
  {
    const Integer colours = r.Int();
    if (colours < 0 || Int64{colours} * 3 > r.Remaining()) Reader::Fail();
    ColorMap.clear();
    COLORMAPCOUNT = 0;
    if (colours > 0) {
      std::vector<TRGB> map(static_cast<std::size_t>(colours));
      r.Raw(map.data(), Int64{colours} * 3);
      ColorMap = std::move(map);
      COLORMAPCOUNT = colours;
    }
  }
  if (ver >= kVerImageIndexCount) {
    IMAGEINDEX = r.Int();
    IMAGECOUNT = r.Int();
    GETTHUMBNAIL = r.Bool();
  }
  TIFF_COMPRESSION = static_cast<TIOTIFFCompression>(r.Byte1());
  TIFF_IMAGEINDEX = r.Int();
  TIFF_PHOTOMETINTEPRET = static_cast<TIOTIFFPhotometInterpret>(r.Byte1());
  TIFF_PLANARCONF = r.Int();
  TIFF_XPOS = r.Int();
  TIFF_YPOS = r.Int();
  TIFF_DOCUMENTNAME = r.Str();
  TIFF_IMAGEDESCRIPTION = r.Str();
  TIFF_PAGENAME = r.Str();
  TIFF_PAGENUMBER = r.Int();
  TIFF_PAGECOUNT = r.Int();
  if (ver >= kVerCountsAndMarkers) TIFF_IMAGECOUNT = r.Int();
  if (ver >= kVerOrientationAVI) TIFF_ORIENTATION = r.Int();
  if (ver >= kVerTIFFJpegQuality) TIFF_JPEGQUALITY = r.Int();
  if (ver >= kVerTIFFJpegColorspace) TIFF_JPEGCOLORSPACE = static_cast<TIOJPEGColorspace>(r.Byte1());
  if (ver >= kVerTIFFFillOrder) TIFF_FILLORDER = r.Int();
  GIF_VERSION = r.Str();
  GIF_IMAGEINDEX = r.Int();
  GIF_XPOS = r.Int();
  GIF_YPOS = r.Int();
  GIF_DELAYTIME = r.Int();
  GIF_TRANSPARENT = r.Bool();
  GIF_TRANSPCOLOR = r.Colour();
  GIF_INTERLACED = r.Bool();
  GIF_WINWIDTH = r.Int();
  GIF_WINHEIGHT = r.Int();
  GIF_BACKGROUND = r.Colour();
  GIF_RATIO = r.Int();
  if (ver >= kVerCountsAndMarkers) GIF_IMAGECOUNT = r.Int();
  if (ver >= kVerGIFComments) r.List(GIF_CommentLines);
  if (ver >= kVerGIFDisposal) GIF_Disposal = static_cast<TLKGIFAction>(r.Byte1());
  JPEG_COLORSPACE = static_cast<TIOJPEGColorspace>(r.Byte1());
  JPEG_QUALITY = r.Int();
  JPEG_DCTMETHOD = static_cast<TIOJPEGDctMethod>(r.Byte1());
  JPEG_OPTIMALHUFFMAN = r.Bool();
  JPEG_SMOOTH = r.Int();
  JPEG_PROGRESSIVE = r.Bool();
  if (ver >= kVerJpegScale) JPEG_SCALE = static_cast<TIOJPEGScale>(r.Byte1());
  if (ver >= kVerCountsAndMarkers) JPEG_Markers.LoadFromStream(Stream);
  if (ver >= kVerJpegOriginalSize) {
    JPEG_ORIGINALWIDTH = r.Int();
    JPEG_ORIGINALHEIGHT = r.Int();
  }
  if (ver >= kVerJpegOrientationThumb) {
    JPEG_ENABLEADJUSTORIENTATION = r.Bool();
    JPEG_GETEXIFTHUMBNAIL = r.Bool();
  }
  if (ver >= kVerJ2000) {
    J2000_COLORSPACE = static_cast<TIOJ2000ColorSpace>(r.Byte1());
    J2000_RATE = r.Real();
    J2000_SCALABLEBY = static_cast<TIOJ2000ScalableBy>(r.Byte1());
  }
  PCX_VERSION = r.Int();
  PCX_COMPRESSION = static_cast<TIOPCXCompression>(r.Byte1());
  BMP_VERSION = static_cast<TIOBMPVersion>(r.Byte1());
  BMP_COMPRESSION = static_cast<TIOBMPCompression>(r.Byte1());
  if (ver >= kVerBMPTransparency) BMP_HANDLETRANSPARENCY = r.Bool();
  if (ver >= kVerIcoCurIndex) {
    ICO_IMAGEINDEX = r.Int();
  } else {
    r.Int();
    r.Int();
    ICO_IMAGEINDEX = 0;
  }
  if (ver >= kVerTGAAndBackgrounds) ICO_BACKGROUND = r.Colour();
  if (ver >= kVerIcoPages) {
    for (TSize& s : ICO_PageSizes) {
      s.cx = r.Int();
      s.cy = r.Int();
    }
    for (Integer& b : ICO_PageBitCounts) b = r.Int();
  }
  if (ver >= kVerIcoCurIndex) {
    CUR_IMAGEINDEX = r.Int();
    CUR_XHOTSPOT = r.Int();
    CUR_YHOTSPOT = r.Int();
  } else {
    r.Int();
    r.Int();
    CUR_IMAGEINDEX = CUR_XHOTSPOT = CUR_YHOTSPOT = 0;
  }
  if (ver >= kVerTGAAndBackgrounds) CUR_BACKGROUND = r.Colour();
  PNG_INTERLACED = r.Bool();
  PNG_BACKGROUND = r.Colour();
  PNG_FILTER = static_cast<TIOPNGFilter>(r.Byte1());
  PNG_COMPRESSION = r.Int();
  if (ver >= kVerPNGTextAndRawPixels) {
    r.List(PNG_TextKeywords);
    r.List(PNG_TextStrings);
  }
  if (ver >= kVerPSDLayers) PSD_LOADLAYERS = r.Bool();
  if (ver >= kVerTGAAndBackgrounds) {
    TGA_XPOS = r.Int();
    TGA_YPOS = r.Int();
    TGA_COMPRESSED = r.Bool();
    TGA_DESCRIPTOR = r.Str();
    TGA_AUTHOR = r.Str();
    TGA_DATE = r.Real();
    TGA_IMAGENAME = r.Str();
    TGA_BACKGROUND = r.Colour();
    TGA_ASPECTRATIO = r.Real();
    TGA_GAMMA = r.Real();
    TGA_GRAYLEVEL = r.Bool();
  }
  if (ver >= kVerCountsAndMarkers) IPTC_Records.LoadFromStream(Stream);
  if (ver >= kVerPXMComments) r.List(PXM_CommentLines);
  if (ver >= kVerOrientationAVI) {
    AVI_FrameCount = r.Int();
    AVI_FrameDelayTime = r.Int();
  }
  if (ver >= kVerPSPDF) {
    PS_PAPERWIDTH = r.Int();
    PS_PAPERHEIGHT = r.Int();
    PS_COMPRESSION = static_cast<TIOPSCompression>(r.Byte1());
    PS_TITLE = r.Str();
    PDF_PAPERWIDTH = r.Int();
    PDF_PAPERHEIGHT = r.Int();
    PDF_COMPRESSION = static_cast<TIOPDFCompression>(r.Byte1());
  }
  if (ver >= kVerPDFInfo) {
    PDF_TITLE = r.Str();
    PDF_AUTHOR = r.Str();
    PDF_SUBJECT = r.Str();
    PDF_KEYWORDS = r.Str();
    PDF_CREATOR = r.Str();
    PDF_PRODUCER = r.Str();
  }
  if (ver >= kVerRAW) DCX_IMAGEINDEX = r.Int();
  if (ver >= kVerAnnotations) GetImagingAnnot()->LoadFromStream(Stream);
  if (ver >= kVerICC) {
    GetInputICC()->LoadFromStream(Stream);
    GetOutputICC()->LoadFromStream(Stream);
  }
  if (ver >= kVerRAW) {
    RAW_HALFSIZE = r.Bool();
    RAW_GAMMA = r.Real();
    RAW_BRIGHT = r.Real();
    RAW_REDSCALE = r.Real();
    RAW_BLUESCALE = r.Real();
    RAW_QUICKINTERPOLATE = r.Bool();
    RAW_USEAUTOWB = r.Bool();
    RAW_USECAMERAWB = r.Bool();
    RAW_FOURCOLORRGB = r.Bool();
    RAW_CAMERA = r.Str();
    RAW_GETEXIFTHUMBNAIL = r.Bool();
  }
  if (ver >= kVerRAWAutoAdjust) RAW_AUTOADJUSTCOLORS = r.Bool();
  if (ver >= kVerMediaFile) {
    MEDIAFILE_FRAMECOUNT = r.Int();
    MEDIAFILE_FRAMEDELAYTIME = r.Int();
  }
  if (ver >= kVerPNGTextAndRawPixels) {
    BMPRAW_ChannelOrder = static_cast<TIOBMPRAWChannelOrder>(r.Byte1());
    BMPRAW_Planes = static_cast<TIOBMPRAWPlanes>(r.Byte1());
    BMPRAW_RowAlignBits = r.Int();
    BMPRAW_SkipBytes = r.Int();
  }
}

void TIOParamsVals::LoadFromStream(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  // A first pass into a scratch record without owner checks the whole
  // stream, so a truncated or corrupt one leaves this record unchanged.
  {
    TIOParamsVals probe(nullptr);
    try {
      probe.ReadStreamItems(Stream);
    } catch (const EStreamError&) {
      Stream->SetPosition(start);
      throw EReadError("Parameter stream is truncated or corrupt");
    }
  }
  Stream->SetPosition(start);
  ReadStreamItems(Stream);
}

void TIOParamsVals::SaveToFile(const String& FileName) {
  WriteFileAtomically(FileName, [this](TStream* Stream) { SaveToStream(Stream); });
}

void TIOParamsVals::LoadFromFile(const String& FileName) {
  TFileStream fs(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}
