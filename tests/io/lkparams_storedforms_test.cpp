// The stored forms of the parameter record against files written by an
// earlier build: the parameter stream, the keyword texts (read, and written
// through the keyword setters), the copies (Assign, the EXIF copy) and the
// EXIF block with what its reader makes of it. Any change in a byte or a
// text fails here. Run with LUMERAK_WRITE_FIXTURES=1 to write the files anew
// (only when a stored form is meant to change).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/lkstreams.h"
#include "io/lkexif.h"
#include "tests/io/io_kit.h"
#include "io/lkkeywords.h"
#include "io/lkparams.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

fs::path DataDir() { return fs::path(LUMERAK_TESTS_DIR) / "io" / "data"; }

bool Writing() {
  const char* v = std::getenv("LUMERAK_WRITE_FIXTURES");
  return v != nullptr && std::string(v) == "1";
}

using iokit::PutLE16;
using iokit::PutLE32;

// Every field of the record away from its default, each with its own value.
void FillRecord(TIOParamsVals& p) {
  p.BITSPERSAMPLE = 16;
  p.FILENAME = "dir/pic.tif";
  p.SAMPLESPERPIXEL = 4;
  p.WIDTH = 640;
  p.HEIGHT = 480;
  p.DPIX = 150;
  p.DPIY = 151;
  p.FILETYPE = 1;
  p.IMAGEINDEX = 7;
  p.IMAGECOUNT = 8;
  p.GETTHUMBNAIL = true;
  p.TIFF_COMPRESSION = ioTIFF_LZW;
  p.TIFF_IMAGEINDEX = 9;
  p.TIFF_PHOTOMETINTEPRET = ioTIFF_CMYK;
  p.TIFF_PLANARCONF = 2;
  p.TIFF_XPOS = 11;
  p.TIFF_YPOS = 12;
  p.TIFF_DOCUMENTNAME = "doc";
  p.TIFF_IMAGEDESCRIPTION = "tiff description";
  p.TIFF_PAGENAME = "page";
  p.TIFF_PAGENUMBER = 3;
  p.TIFF_PAGECOUNT = 4;
  p.TIFF_ORIENTATION = 6;
  p.TIFF_ENABLEADJUSTORIENTATION = true;
  p.TIFF_JPEGQUALITY = 66;
  p.TIFF_JPEGCOLORSPACE = ioJPEG_CMYK;
  p.TIFF_IMAGECOUNT = 13;
  p.TIFF_FILLORDER = 2;
  p.DCX_IMAGEINDEX = 14;
  p.GIF_VERSION = "GIF87a";
  p.GIF_IMAGEINDEX = 15;
  p.GIF_XPOS = 16;
  p.GIF_YPOS = 17;
  p.GIF_DELAYTIME = 18;
  p.GIF_TRANSPARENT = true;
  p.GIF_TRANSPCOLOR = TRGB{1, 2, 3};
  p.GIF_INTERLACED = true;
  p.GIF_WINWIDTH = 19;
  p.GIF_WINHEIGHT = 20;
  p.GIF_BACKGROUND = TRGB{4, 5, 6};
  p.GIF_RATIO = 21;
  p.GIF_CommentLines.Add("gif comment");
  p.GIF_Disposal = ioGIF_RestorePrev;
  p.GIF_IMAGECOUNT = 22;
  p.JPEG_COLORSPACE = ioJPEG_GRAYLEV;
  p.JPEG_QUALITY = 55;
  p.JPEG_DCTMETHOD = ioJPEG_FLOAT;
  p.JPEG_OPTIMALHUFFMAN = true;
  p.JPEG_SMOOTH = 23;
  p.JPEG_PROGRESSIVE = true;
  p.JPEG_SCALE = ioJPEG_QUARTER;
  p.JPEG_Markers.AddMarker(0xFE, "note", 4);
  p.JPEG_Markers.AddMarker(0xE2, "\x01\x02\x03", 3);
  p.JPEG_SCALE_USED = 4;
  p.JPEG_WARNINGTOT = 24;
  p.JPEG_WARNINGCODE = 25;
  p.JPEG_ORIGINALWIDTH = 26;
  p.JPEG_ORIGINALHEIGHT = 27;
  p.JPEG_ENABLEADJUSTORIENTATION = true;
  p.JPEG_GETEXIFTHUMBNAIL = true;
  p.J2000_COLORSPACE = ioJ2000_YCbCr;
  p.J2000_RATE = 0.125;
  p.J2000_SCALABLEBY = ioJ2000_Resolution;
  p.PCX_VERSION = 3;
  p.PCX_COMPRESSION = ioPCX_UNCOMPRESSED;
  p.BMP_VERSION = ioBMP_BMOS2V2;
  p.BMP_COMPRESSION = ioBMP_RLE;
  p.BMP_HANDLETRANSPARENCY = true;
  p.ICO_IMAGEINDEX = 28;
  p.ICO_BACKGROUND = TRGB{7, 8, 9};
  p.ICO_PageSizes[1] = TSize{32, 31};
  p.ICO_PageBitCounts[1] = 24;
  p.CUR_IMAGEINDEX = 29;
  p.CUR_XHOTSPOT = 30;
  p.CUR_YHOTSPOT = 31;
  p.CUR_BACKGROUND = TRGB{10, 11, 12};
  p.PNG_INTERLACED = true;
  p.PNG_BACKGROUND = TRGB{13, 14, 15};
  p.PNG_FILTER = ioPNG_FILTER_PAETH;
  p.PNG_COMPRESSION = 9;
  p.PNG_TextKeywords.Add("Title");
  p.PNG_TextStrings.Add("png text");
  p.TGA_XPOS = 32;
  p.TGA_YPOS = 33;
  p.TGA_COMPRESSED = false;
  p.TGA_DESCRIPTOR = "tga descriptor";
  p.TGA_AUTHOR = "tga author";
  p.TGA_DATE = 46000.0;
  p.TGA_IMAGENAME = "tga name";
  p.TGA_BACKGROUND = TRGB{16, 17, 18};
  p.TGA_ASPECTRATIO = 1.5;
  p.TGA_GAMMA = 1.8;
  p.TGA_GRAYLEVEL = true;
  p.IPTC_Records.AddStringItem(2, 120, "caption");
  p.PXM_CommentLines.Add("pnm comment");

  p.EXIF_HASEXIF = true;
  p.EXIF_IMAGEDESCRIPTION = "A description";
  p.EXIF_MAKE = "Maker";
  p.EXIF_MODEL = "Model One";
  p.EXIF_ORIENTATION = 6;
  p.EXIF_XRESOLUTION = 240.0;
  p.EXIF_YRESOLUTION = 241.0;
  p.EXIF_RESOLUTIONUNIT = 2;
  p.EXIF_SOFTWARE = "Velmoran";
  p.EXIF_Artist = "Someone";
  p.EXIF_DATETIME = "2026:12:10 10:00:00";
  for (Integer i = 0; i < 2; ++i) p.SetEXIF_WhitePoint(i, 0.3 + i * 0.01);
  for (Integer i = 0; i < 6; ++i) p.SetEXIF_PrimaryChromaticities(i, 0.1 + i * 0.1);
  for (Integer i = 0; i < 3; ++i) p.SetEXIF_YCbCrCoefficients(i, 0.25 + i * 0.25);
  p.EXIF_YCbCrPositioning = 2;
  for (Integer i = 0; i < 6; ++i) p.SetEXIF_ReferenceBlackWhite(i, i * 51.0);
  p.EXIF_COPYRIGHT = "(c) nobody";
  p.EXIF_EXPOSURETIME = 0.004;
  p.EXIF_FNUMBER = 5.6;
  p.EXIF_EXPOSUREPROGRAM = 2;
  p.SetEXIF_ISOSpeedRatings(0, 400);
  p.SetEXIF_ISOSpeedRatings(1, 800);
  p.EXIF_EXIFVERSION = "0230";
  p.EXIF_DATETIMEORIGINAL = "2026:12:09 09:30:00";
  p.EXIF_DATETIMEDIGITIZED = "2026:12:09 09:31:00";
  p.EXIF_COMPRESSEDBITSPERPIXEL = 4;
  p.EXIF_SHUTTERSPEEDVALUE = -1.5;
  p.EXIF_APERTUREVALUE = 4.97;
  p.EXIF_BRIGHTNESSVALUE = -0.25;
  p.EXIF_EXPOSUREBIASVALUE = -0.7;
  p.EXIF_MAXAPERTUREVALUE = 3.5;
  p.EXIF_SUBJECTDISTANCE = 12.5;
  p.EXIF_METERINGMODE = 5;
  p.EXIF_LIGHTSOURCE = 3;
  p.EXIF_FLASH = 16;
  p.EXIF_FOCALLENGTH = 35;
  p.EXIF_SUBSECTIME = "25";
  p.EXIF_SUBSECTIMEORIGINAL = "26";
  p.EXIF_SUBSECTIMEDIGITIZED = "27";
  p.EXIF_FLASHPIXVERSION = "0100";
  p.EXIF_COLORSPACE = 1;
  p.EXIF_EXIFIMAGEWIDTH = 70000;
  p.EXIF_EXIFIMAGEHEIGHT = 4000;
  p.EXIF_RELATEDSOUNDFILE = "SND00001.WAV";
  p.EXIF_FOCALPLANEXRESOLUTION = 3000.5;
  p.EXIF_FOCALPLANEYRESOLUTION = 3001.5;
  p.EXIF_FOCALPLANERESOLUTIONUNIT = 3;
  p.EXIF_EXPOSUREINDEX = 200;
  p.EXIF_SENSINGMETHOD = 2;
  p.EXIF_FILESOURCE = 3;
  p.EXIF_SCENETYPE = 1;
  p.EXIF_USERCOMMENTCODE = std::string("ASCII\0\0\0", 8);
  p.EXIF_USERCOMMENT = "a comment";
  p.EXIF_XPTitle = u"Title \u00e9";
  p.EXIF_XPComment = u"Comment";
  p.EXIF_XPAuthor = u"Author";
  p.EXIF_XPKeywords = u"k1;k2";
  p.EXIF_XPSubject = u"Subject";
  p.EXIF_EXPOSUREMODE = 1;
  p.EXIF_WHITEBALANCE = 0;
  p.EXIF_DIGITALZOOMRATIO = 2;
  p.EXIF_FOCALLENGTHIN35MMFILM = 50;
  p.EXIF_SCENECAPTURETYPE = 1;
  p.EXIF_GAINCONTROL = 2;
  p.EXIF_CONTRAST = 1;
  p.EXIF_SATURATION = 2;
  p.EXIF_SHARPNESS = 1;
  p.EXIF_SUBJECTDISTANCERANGE = 3;
  p.EXIF_IMAGEUNIQUEID = "0123456789abcdef";
  p.EXIF_GPSVERSIONID = std::string("\x02\x02\x00\x00", 4);
  p.EXIF_GPSLATITUDEREF = "S";
  p.EXIF_GPSLATITUDEDEGREES = 33;
  p.EXIF_GPSLATITUDEMINUTES = 51;
  p.EXIF_GPSLATITUDESECONDS = 54.5;
  p.EXIF_GPSLONGITUDEREF = "E";
  p.EXIF_GPSLONGITUDEDEGREES = 151;
  p.EXIF_GPSLONGITUDEMINUTES = 12;
  p.EXIF_GPSLONGITUDESECONDS = 30.25;
  p.EXIF_GPSALTITUDEREF = std::string("\x01", 1);
  p.EXIF_GPSALTITUDE = 12.5;
  p.EXIF_GPSTIMESTAMPHOUR = 9;
  p.EXIF_GPSTIMESTAMPMINUTE = 30;
  p.EXIF_GPSTIMESTAMPSECOND = 1.5;
  p.EXIF_GPSSATELLITES = "5";
  p.EXIF_GPSSTATUS = "A";
  p.EXIF_GPSMEASUREMODE = "3";
  p.EXIF_GPSDOP = 1.25;
  p.EXIF_GPSSPEEDREF = "K";
  p.EXIF_GPSSPEED = 4.5;
  p.EXIF_GPSTRACKREF = "T";
  p.EXIF_GPSTRACK = 90.5;
  p.EXIF_GPSIMGDIRECTIONREF = "M";
  p.EXIF_GPSIMGDIRECTION = 180.25;
  p.EXIF_GPSMAPDATUM = "WGS-84";
  p.EXIF_GPSDESTLATITUDEREF = "N";
  p.EXIF_GPSDESTLATITUDEDEGREES = 10;
  p.EXIF_GPSDESTLATITUDEMINUTES = 11;
  p.EXIF_GPSDESTLATITUDESECONDS = 12.75;
  p.EXIF_GPSDESTLONGITUDEREF = "W";
  p.EXIF_GPSDESTLONGITUDEDEGREES = 20;
  p.EXIF_GPSDESTLONGITUDEMINUTES = 21;
  p.EXIF_GPSDESTLONGITUDESECONDS = 22.5;
  p.EXIF_GPSDESTBEARINGREF = "T";
  p.EXIF_GPSDESTBEARING = 45.5;
  p.EXIF_GPSDESTDISTANCEREF = "K";
  p.EXIF_GPSDESTDISTANCE = 7.25;
  p.EXIF_GPSDATESTAMP = "2026:12:09";
  // A maker note of two entries: a SHORT in the entry and a 6-byte text.
  Bytes note;
  PutLE16(note, 2);
  const uint32_t dataAt = 2 + 2 * 12;
  for (auto e : {std::vector<uint32_t>{1, 3, 1, 7}, {2, 2, 6, dataAt}}) {
    PutLE16(note, e[0]);
    PutLE16(note, e[1]);
    PutLE32(note, e[2]);
    PutLE32(note, e[3]);
  }
  for (char ch : std::string("model", 6)) note.push_back(Byte(ch));
  p.EXIF_MakerNote.GetStream()->Write(note.data(), static_cast<Integer>(note.size()));
  p.EXIF_MakerNote.Update();

  p.AVI_FrameCount = 34;
  p.AVI_FrameDelayTime = 35;
  p.MEDIAFILE_FRAMECOUNT = 36;
  p.MEDIAFILE_FRAMEDELAYTIME = 37;
  p.PS_PAPERWIDTH = 612;
  p.PS_PAPERHEIGHT = 792;
  p.PS_COMPRESSION = ioPS_JPEG;
  p.PS_TITLE = "ps title";
  p.PDF_PAPERWIDTH = 613;
  p.PDF_PAPERHEIGHT = 793;
  p.PDF_COMPRESSION = ioPDF_LZW;
  p.PDF_TITLE = "pdf title";
  p.PDF_AUTHOR = "pdf author";
  p.PDF_SUBJECT = "pdf subject";
  p.PDF_KEYWORDS = "pdf keywords";
  p.PDF_CREATOR = "pdf creator";
  p.PDF_PRODUCER = "pdf producer";
  p.RAW_HALFSIZE = true;
  p.RAW_GAMMA = 0.45;
  p.RAW_BRIGHT = 1.25;
  p.RAW_REDSCALE = 1.1;
  p.RAW_BLUESCALE = 0.9;
  p.RAW_QUICKINTERPOLATE = false;
  p.RAW_USEAUTOWB = true;
  p.RAW_USECAMERAWB = true;
  p.RAW_FOURCOLORRGB = true;
  p.RAW_CAMERA = "Camera X";
  p.RAW_GETEXIFTHUMBNAIL = true;
  p.RAW_AUTOADJUSTCOLORS = true;
  p.BMPRAW_ChannelOrder = coBGR;
  p.BMPRAW_Planes = plPlanar;
  p.BMPRAW_RowAlignBits = 32;
  p.BMPRAW_SkipBytes = 38;
  p.PSD_LOADLAYERS = true;
  p.XMP_INFO = "<x:xmpmeta/>";
  p.ISNATIVEPIXELFORMAT = true;
  p.SetColorMapCount(2);
  p.ColorMap[0] = TRGB{19, 20, 21};
  p.ColorMap[1] = TRGB{22, 23, 24};
}

// A value of each kind, distinct per keyword.
String KeywordValue(const TLKKeywordInfo& k, std::size_t i) {
  const std::string n = std::to_string(i + 2);
  switch (k.Kind) {
    case lkkInteger: return n;
    case lkkByte: return std::to_string(i % 5 + 1);
    case lkkBoolean: return i % 2 ? "T" : "true";
    case lkkReal: return n + ",25";
    case lkkText: return "t" + n;
    case lkkColour: return n + "," + std::to_string(i + 3) + ", " + std::to_string(i + 4);
    case lkkDate: return DateToStr(45000.0 + i);
  }
  return n;
}

// The keywords by name: the texts and what the setters do must not depend
// on the order the table lists them in.
std::vector<TLKKeywordInfo> KeywordsByName() {
  std::vector<TLKKeywordInfo> keys = LKParamsKeywords();
  std::sort(keys.begin(), keys.end(),
            [](const TLKKeywordInfo& a, const TLKKeywordInfo& b) { return String(a.Name) < String(b.Name); });
  return keys;
}

String Hex(const void* Data, std::size_t Size) {
  static const char digits[] = "0123456789abcdef";
  String s;
  const auto* b = static_cast<const Byte*>(Data);
  for (std::size_t i = 0; i < Size; ++i) {
    s += digits[b[i] >> 4];
    s += digits[b[i] & 15];
  }
  return s;
}

Bytes StreamBytes(TIOParamsVals& p) {
  TMemoryStream s;
  p.SaveToStream(&s);
  const auto* m = static_cast<const Byte*>(s.GetMemory());
  return Bytes(m, m + s.GetSize());
}

// Every keyword's text, the EXIF fields without a keyword, and the
// parameter stream, one line each.
String Dump(TIOParamsVals& p) {
  std::ostringstream o;
  for (const TLKKeywordInfo& k : KeywordsByName()) {
    const String name = String(k.Name) == "COLORMAPITEM" ? "COLORMAPITEM1" : String(k.Name);
    o << name << "=" << Hex(p.GetProperty(name).data(), p.GetProperty(name).size()) << "\n";
  }
  o << "Artist=" << p.EXIF_Artist << "\n";
  for (Integer i = 0; i < 2; ++i) o << "WhitePoint" << i << "=" << LKFloatToStr(p.GetEXIF_WhitePoint(i)) << "\n";
  for (Integer i = 0; i < 6; ++i)
    o << "Primaries" << i << "=" << LKFloatToStr(p.GetEXIF_PrimaryChromaticities(i)) << "\n";
  for (Integer i = 0; i < 3; ++i)
    o << "YCbCrCoefficients" << i << "=" << LKFloatToStr(p.GetEXIF_YCbCrCoefficients(i)) << "\n";
  o << "YCbCrPositioning=" << p.EXIF_YCbCrPositioning << "\n";
  for (Integer i = 0; i < 6; ++i)
    o << "ReferenceBlackWhite" << i << "=" << LKFloatToStr(p.GetEXIF_ReferenceBlackWhite(i)) << "\n";
  for (Integer i = 0; i < 2; ++i) o << "ISO" << i << "=" << p.GetEXIF_ISOSpeedRatings(i) << "\n";
  for (const std::u16string* xp : {&p.EXIF_XPTitle, &p.EXIF_XPComment, &p.EXIF_XPAuthor, &p.EXIF_XPKeywords,
                                   &p.EXIF_XPSubject})
    o << "XP=" << Hex(xp->data(), xp->size() * 2) << "\n";
  TMemoryStream* note = p.EXIF_MakerNote.GetStream();
  o << "MakerNote=" << Hex(note->GetMemory(), static_cast<std::size_t>(note->GetSize())) << "\n";
  o << "Thumbnail=" << (p.EXIF_ThumbnailImage ? p.EXIF_ThumbnailImage->GetWidth() : -1) << "\n";
  const Bytes stream = StreamBytes(p);
  o << "Stream=" << Hex(stream.data(), stream.size()) << "\n";
  return o.str();
}

String ReadText(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream o;
  o << in.rdbuf();
  return o.str();
}

void WriteText(const fs::path& Path, const String& Text) {
  fs::create_directories(Path.parent_path());
  std::ofstream out(Path, std::ios::binary);
  out << Text;
}

// Compares Got with the stored file Name (or writes it), reporting the
// first differing line by name.
void ExpectStored(const String& Name, const String& Got) {
  const fs::path path = DataDir() / Name;
  if (Writing()) {
    WriteText(path, Got);
    return;
  }
  ASSERT_TRUE(fs::exists(path)) << path;
  const String want = ReadText(path);
  if (want == Got) return;
  std::istringstream a(want), b(Got);
  std::string la, lb;
  int line = 1;
  while (true) {
    const bool ga = static_cast<bool>(std::getline(a, la));
    const bool gb = static_cast<bool>(std::getline(b, lb));
    if (!ga && !gb) break;
    if (la != lb || ga != gb) {
      ADD_FAILURE() << Name << " line " << line << ":\n stored: " << la.substr(0, 300) << "\n    now: "
                    << lb.substr(0, 300);
      return;
    }
    ++line;
  }
  ADD_FAILURE() << Name << " differs";
}

// The file-type text must not depend on what another test registered.
class StoredForms : public ::testing::Test {
 protected:
  void SetUp() override { std::swap(saved_, LKFileTypeLookup); }
  void TearDown() override { std::swap(saved_, LKFileTypeLookup); }
  TLKFileTypeLookup saved_;
};

TEST_F(StoredForms, ParameterStreamOfAFullRecord) {
  TIOParamsVals p;
  FillRecord(p);
  const Bytes got = StreamBytes(p);
  ExpectStored("params_stream.bin", String(got.begin(), got.end()));
}

TEST_F(StoredForms, KeywordTextsReadAndWritten) {
  String all;
  {
    TIOParamsVals p;
    p.TGA_DATE = 46000.0;
    all += "[default]\n" + Dump(p);
  }
  {
    TIOParamsVals p;
    FillRecord(p);
    all += "[filled]\n" + Dump(p);
  }
  {
    // Every writable keyword written in table order, through its setter.
    TIOParamsVals p;
    p.SetColorMapCount(3);
    const std::vector<TLKKeywordInfo> keys = KeywordsByName();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const String name = String(keys[i].Name) == "COLORMAPITEM" ? "COLORMAPITEM1" : String(keys[i].Name);
      p.SetProperty(name, KeywordValue(keys[i], i));
    }
    // Unparsable text stores each keyword's fallback.
    TIOParamsVals f;
    f.TGA_DATE = 46000.0;
    for (const TLKKeywordInfo& k : keys)
      if (k.Kind == lkkInteger || k.Kind == lkkReal || k.Kind == lkkByte) f.SetProperty(k.Name, "x");
    all += "[written]\n" + Dump(p) + "[fallbacks]\n" + Dump(f);
  }
  ExpectStored("params_keywords.txt", all);
}

TEST_F(StoredForms, CopiesOfARecord) {
  TIOParamsVals full;
  FillRecord(full);
  TIOParamsVals assigned;
  assigned.TGA_DATE = 1.0;
  assigned.Assign(&full);
  TIOParamsVals exif;
  exif.TGA_DATE = 46000.0;
  CopyEXIFFields(full, exif);
  TIOParamsVals compression;
  compression.TGA_DATE = 46000.0;
  compression.AssignCompressionInfo(&full);
  ExpectStored("params_copies.txt", "[assign]\n" + Dump(assigned) + "[exifcopy]\n" + Dump(exif) +
                                        "[compression]\n" + Dump(compression));
}

TEST_F(StoredForms, ExifBlockAndItsReading) {
  TIOParamsVals p;
  FillRecord(p);
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(p, block);
  ExpectStored("exif_block.bin", String(block.begin(), block.end()));
  TIOParamsVals back;
  back.TGA_DATE = 46000.0;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), back));
  ExpectStored("exif_read.txt", Dump(back));
}

}  // namespace
