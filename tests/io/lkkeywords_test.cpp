#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <map>
#include <set>
#include <string>

#include "io/lkkeywords.h"
#include "io/lkparams.h"

namespace {

struct Expected {
  const char* Name;
  TLKKeywordKind Kind;
};

// Every keyword of the parameter record by value kind, besides the two
// computed ones (FILETYPESTR, COLORMAPITEM).
const Expected kAllKeywords[] = {
    // Integer
    {"FILETYPE", lkkInteger}, {"BITSPERSAMPLE", lkkInteger}, {"SAMPLESPERPIXEL", lkkInteger},
    {"WIDTH", lkkInteger}, {"HEIGHT", lkkInteger}, {"DPIX", lkkInteger}, {"DPIY", lkkInteger},
    {"COLORMAPCOUNT", lkkInteger}, {"TIFF_IMAGEINDEX", lkkInteger}, {"TIFF_IMAGECOUNT", lkkInteger},
    {"TIFF_JPEGQUALITY", lkkInteger}, {"TIFF_PLANARCONF", lkkInteger}, {"TIFF_XPOS", lkkInteger},
    {"TIFF_YPOS", lkkInteger}, {"TIFF_PAGENUMBER", lkkInteger}, {"TIFF_PAGECOUNT", lkkInteger},
    {"TIFF_FILLORDER", lkkInteger}, {"TIFF_ORIENTATION", lkkInteger}, {"DCX_IMAGEINDEX", lkkInteger},
    {"GIF_IMAGEINDEX", lkkInteger}, {"GIF_IMAGECOUNT", lkkInteger}, {"GIF_XPOS", lkkInteger},
    {"GIF_YPOS", lkkInteger}, {"GIF_DELAYTIME", lkkInteger}, {"GIF_WINWIDTH", lkkInteger},
    {"GIF_WINHEIGHT", lkkInteger}, {"GIF_RATIO", lkkInteger}, {"JPEG_QUALITY", lkkInteger},
    {"JPEG_SMOOTH", lkkInteger}, {"JPEG_SCALE_USED", lkkInteger}, {"JPEG_WARNINGTOT", lkkInteger},
    {"JPEG_WARNINGCODE", lkkInteger}, {"JPEG_ORIGINALWIDTH", lkkInteger}, {"JPEG_ORIGINALHEIGHT", lkkInteger},
    {"PCX_VERSION", lkkInteger}, {"ICO_IMAGEINDEX", lkkInteger}, {"CUR_IMAGEINDEX", lkkInteger},
    {"CUR_XHOTSPOT", lkkInteger}, {"CUR_YHOTSPOT", lkkInteger}, {"PNG_COMPRESSION", lkkInteger},
    {"TGA_XPOS", lkkInteger}, {"TGA_YPOS", lkkInteger}, {"PS_PAPERWIDTH", lkkInteger},
    {"PS_PAPERHEIGHT", lkkInteger}, {"PDF_PAPERWIDTH", lkkInteger}, {"PDF_PAPERHEIGHT", lkkInteger},
    {"EXIF_ORIENTATION", lkkInteger}, {"EXIF_RESOLUTIONUNIT", lkkInteger}, {"EXIF_EXPOSUREPROGRAM", lkkInteger},
    {"EXIF_METERINGMODE", lkkInteger}, {"EXIF_LIGHTSOURCE", lkkInteger}, {"EXIF_FLASH", lkkInteger},
    {"EXIF_COLORSPACE", lkkInteger}, {"EXIF_EXIFIMAGEWIDTH", lkkInteger}, {"EXIF_EXIFIMAGEHEIGHT", lkkInteger},
    {"EXIF_FOCALPLANERESOLUTIONUNIT", lkkInteger}, {"EXIF_SENSINGMETHOD", lkkInteger},
    {"EXIF_FILESOURCE", lkkInteger}, {"EXIF_SCENETYPE", lkkInteger}, {"EXIF_EXPOSUREMODE", lkkInteger},
    {"EXIF_WHITEBALANCE", lkkInteger}, {"EXIF_FOCALLENGTHIN35MMFILM", lkkInteger},
    {"EXIF_SCENECAPTURETYPE", lkkInteger}, {"EXIF_GAINCONTROL", lkkInteger}, {"EXIF_CONTRAST", lkkInteger},
    {"EXIF_SATURATION", lkkInteger}, {"EXIF_SHARPNESS", lkkInteger}, {"EXIF_SUBJECTDISTANCERANGE", lkkInteger},
    {"MEDIAFILE_FRAMECOUNT", lkkInteger}, {"MEDIAFILE_FRAMEDELAYTIME", lkkInteger}, {"IMAGEINDEX", lkkInteger},
    {"IMAGECOUNT", lkkInteger},
    // Byte
    {"TIFF_COMPRESSION", lkkByte}, {"TIFF_PHOTOMETINTEPRET", lkkByte}, {"TIFF_JPEGCOLORSPACE", lkkByte},
    {"JPEG_COLORSPACE", lkkByte}, {"JPEG_DCTMETHOD", lkkByte}, {"JPEG_SCALE", lkkByte},
    {"PCX_COMPRESSION", lkkByte}, {"BMP_VERSION", lkkByte}, {"BMP_COMPRESSION", lkkByte},
    {"PNG_FILTER", lkkByte}, {"J2000_COLORSPACE", lkkByte}, {"J2000_SCALABLEBY", lkkByte},
    {"PS_COMPRESSION", lkkByte}, {"PDF_COMPRESSION", lkkByte},
    // Boolean
    {"ISNATIVEPIXELFORMAT", lkkBoolean}, {"TIFF_ENABLEADJUSTORIENTATION", lkkBoolean},
    {"GIF_TRANSPARENT", lkkBoolean}, {"GIF_INTERLACED", lkkBoolean}, {"JPEG_OPTIMALHUFFMAN", lkkBoolean},
    {"JPEG_PROGRESSIVE", lkkBoolean}, {"JPEG_ENABLEADJUSTORIENTATION", lkkBoolean},
    {"JPEG_GETEXIFTHUMBNAIL", lkkBoolean}, {"BMP_HANDLETRANSPARENCY", lkkBoolean},
    {"PNG_INTERLACED", lkkBoolean}, {"PSD_LOADLAYERS", lkkBoolean}, {"TGA_COMPRESSED", lkkBoolean},
    {"TGA_GRAYLEVEL", lkkBoolean}, {"EXIF_HASEXIF", lkkBoolean}, {"RAW_HALFSIZE", lkkBoolean},
    {"RAW_QUICKINTERPOLATE", lkkBoolean}, {"RAW_USEAUTOWB", lkkBoolean}, {"RAW_USECAMERAWB", lkkBoolean},
    {"RAW_FOURCOLORRGB", lkkBoolean}, {"RAW_GETEXIFTHUMBNAIL", lkkBoolean},
    {"RAW_AUTOADJUSTCOLORS", lkkBoolean}, {"GETTHUMBNAIL", lkkBoolean},
    // Real
    {"TGA_ASPECTRATIO", lkkReal}, {"TGA_GAMMA", lkkReal}, {"J2000_RATE", lkkReal},
    {"EXIF_XRESOLUTION", lkkReal}, {"EXIF_YRESOLUTION", lkkReal}, {"EXIF_EXPOSURETIME", lkkReal},
    {"EXIF_FNUMBER", lkkReal}, {"EXIF_COMPRESSEDBITSPERPIXEL", lkkReal}, {"EXIF_SHUTTERSPEEDVALUE", lkkReal},
    {"EXIF_APERTUREVALUE", lkkReal}, {"EXIF_BRIGHTNESSVALUE", lkkReal}, {"EXIF_EXPOSUREBIASVALUE", lkkReal},
    {"EXIF_MAXAPERTUREVALUE", lkkReal}, {"EXIF_SUBJECTDISTANCE", lkkReal}, {"EXIF_FOCALLENGTH", lkkReal},
    {"EXIF_FOCALPLANEXRESOLUTION", lkkReal}, {"EXIF_FOCALPLANEYRESOLUTION", lkkReal},
    {"EXIF_EXPOSUREINDEX", lkkReal}, {"EXIF_DIGITALZOOMRATIO", lkkReal}, {"EXIF_GPSLATITUDEDEGREES", lkkReal},
    {"EXIF_GPSLATITUDEMINUTES", lkkReal}, {"EXIF_GPSLATITUDESECONDS", lkkReal},
    {"EXIF_GPSLONGITUDEDEGREES", lkkReal}, {"EXIF_GPSLONGITUDEMINUTES", lkkReal},
    {"EXIF_GPSLONGITUDESECONDS", lkkReal}, {"EXIF_GPSALTITUDE", lkkReal}, {"EXIF_GPSTIMESTAMPHOUR", lkkReal},
    {"EXIF_GPSTIMESTAMPMINUTE", lkkReal}, {"EXIF_GPSTIMESTAMPSECOND", lkkReal}, {"EXIF_GPSDOP", lkkReal},
    {"EXIF_GPSSPEED", lkkReal}, {"EXIF_GPSTRACK", lkkReal}, {"EXIF_GPSIMGDIRECTION", lkkReal},
    {"EXIF_GPSDESTLATITUDEDEGREES", lkkReal}, {"EXIF_GPSDESTLATITUDEMINUTES", lkkReal},
    {"EXIF_GPSDESTLATITUDESECONDS", lkkReal}, {"EXIF_GPSDESTLONGITUDEDEGREES", lkkReal},
    {"EXIF_GPSDESTLONGITUDEMINUTES", lkkReal}, {"EXIF_GPSDESTLONGITUDESECONDS", lkkReal},
    {"EXIF_GPSDESTBEARING", lkkReal}, {"EXIF_GPSDESTDISTANCE", lkkReal}, {"RAW_GAMMA", lkkReal},
    {"RAW_BRIGHT", lkkReal}, {"RAW_REDSCALE", lkkReal}, {"RAW_BLUESCALE", lkkReal},
    // Text
    {"FILENAME", lkkText}, {"TIFF_DOCUMENTNAME", lkkText}, {"TIFF_IMAGEDESCRIPTION", lkkText},
    {"TIFF_PAGENAME", lkkText}, {"GIF_VERSION", lkkText}, {"TGA_DESCRIPTOR", lkkText}, {"TGA_AUTHOR", lkkText},
    {"TGA_IMAGENAME", lkkText}, {"PS_TITLE", lkkText}, {"PDF_TITLE", lkkText}, {"PDF_AUTHOR", lkkText},
    {"PDF_SUBJECT", lkkText}, {"PDF_KEYWORDS", lkkText}, {"PDF_CREATOR", lkkText}, {"PDF_PRODUCER", lkkText},
    {"EXIF_IMAGEDESCRIPTION", lkkText}, {"EXIF_MAKE", lkkText}, {"EXIF_MODEL", lkkText},
    {"EXIF_SOFTWARE", lkkText}, {"EXIF_DATETIME", lkkText}, {"EXIF_COPYRIGHT", lkkText},
    {"EXIF_EXIFVERSION", lkkText}, {"EXIF_DATETIMEORIGINAL", lkkText}, {"EXIF_DATETIMEDIGITIZED", lkkText},
    {"EXIF_SUBSECTIME", lkkText}, {"EXIF_SUBSECTIMEORIGINAL", lkkText}, {"EXIF_SUBSECTIMEDIGITIZED", lkkText},
    {"EXIF_FLASHPIXVERSION", lkkText}, {"EXIF_RELATEDSOUNDFILE", lkkText}, {"EXIF_USERCOMMENT", lkkText},
    {"EXIF_USERCOMMENTCODE", lkkText}, {"EXIF_IMAGEUNIQUEID", lkkText}, {"EXIF_GPSVERSIONID", lkkText},
    {"EXIF_GPSLATITUDEREF", lkkText}, {"EXIF_GPSLONGITUDEREF", lkkText}, {"EXIF_GPSALTITUDEREF", lkkText},
    {"EXIF_GPSSATELLITES", lkkText}, {"EXIF_GPSSTATUS", lkkText}, {"EXIF_GPSMEASUREMODE", lkkText},
    {"EXIF_GPSSPEEDREF", lkkText}, {"EXIF_GPSTRACKREF", lkkText}, {"EXIF_GPSIMGDIRECTIONREF", lkkText},
    {"EXIF_GPSMAPDATUM", lkkText}, {"EXIF_GPSDESTLATITUDEREF", lkkText}, {"EXIF_GPSDESTLONGITUDEREF", lkkText},
    {"EXIF_GPSDESTBEARINGREF", lkkText}, {"EXIF_GPSDESTDISTANCEREF", lkkText}, {"EXIF_GPSDATESTAMP", lkkText},
    {"RAW_CAMERA", lkkText}, {"XMP_INFO", lkkText},
    // Colour
    {"GIF_TRANSPCOLOR", lkkColour}, {"GIF_BACKGROUND", lkkColour}, {"ICO_BACKGROUND", lkkColour},
    {"CUR_BACKGROUND", lkkColour}, {"PNG_BACKGROUND", lkkColour}, {"TGA_BACKGROUND", lkkColour},
    // Date
    {"TGA_DATE", lkkDate},
};

const std::set<std::string> kReadOnly = {"FILENAME", "FILETYPE", "COLORMAPCOUNT", "TIFF_IMAGECOUNT",
                                         "GIF_IMAGECOUNT", "FILETYPESTR"};

// Defaults of a record without owner that differ from the kind's zero text
// ("0", "0,0,0" or empty).
const std::map<std::string, std::string> kDefaults = {
    {"BITSPERSAMPLE", "8"}, {"SAMPLESPERPIXEL", "3"}, {"TIFF_PHOTOMETINTEPRET", "2"},
    {"TIFF_PLANARCONF", "1"}, {"TIFF_PAGENUMBER", "-1"}, {"TIFF_PAGECOUNT", "-1"},
    {"TIFF_ORIENTATION", "1"}, {"TIFF_JPEGQUALITY", "80"}, {"TIFF_JPEGCOLORSPACE", "2"},
    {"TIFF_FILLORDER", "1"}, {"GIF_VERSION", "GIF89a"}, {"JPEG_COLORSPACE", "2"},
    {"JPEG_QUALITY", "80"}, {"JPEG_SCALE", "1"}, {"JPEG_SCALE_USED", "1"},
    {"J2000_COLORSPACE", "1"}, {"J2000_RATE", "1"}, {"PCX_VERSION", "5"},
    {"PCX_COMPRESSION", "1"}, {"BMP_VERSION", "1"}, {"ICO_BACKGROUND", "255,255,255"},
    {"CUR_BACKGROUND", "255,255,255"}, {"PNG_COMPRESSION", "5"}, {"TGA_COMPRESSED", "1"},
    {"TGA_DATE", "2026-03-14"}, {"TGA_ASPECTRATIO", "1"}, {"TGA_GAMMA", "2.2"},
    {"EXIF_EXPOSUREMODE", "-1"}, {"EXIF_WHITEBALANCE", "-1"}, {"EXIF_DIGITALZOOMRATIO", "-1"},
    {"EXIF_FOCALLENGTHIN35MMFILM", "-1"}, {"EXIF_SCENECAPTURETYPE", "-1"}, {"EXIF_GAINCONTROL", "-1"},
    {"EXIF_CONTRAST", "-1"}, {"EXIF_SATURATION", "-1"}, {"EXIF_SHARPNESS", "-1"},
    {"EXIF_SUBJECTDISTANCERANGE", "-1"}, {"PS_PAPERWIDTH", "595"}, {"PS_PAPERHEIGHT", "842"},
    {"PS_COMPRESSION", "1"}, {"PS_TITLE", "No Title"}, {"PDF_PAPERWIDTH", "595"},
    {"PDF_PAPERHEIGHT", "842"}, {"PDF_COMPRESSION", "2"}, {"RAW_GAMMA", "0.6"},
    {"RAW_BRIGHT", "1"}, {"RAW_REDSCALE", "1"}, {"RAW_BLUESCALE", "1"},
    {"RAW_QUICKINTERPOLATE", "1"},
};

String ZeroText(TLKKeywordKind k) {
  switch (k) {
    case lkkText: return "";
    case lkkColour: return "0,0,0";
    default: return "0";
  }
}

// Switches the C and C++ locales to one with a decimal comma for the life
// of the object (the generated German locale when present, otherwise a C++
// locale with a comma decimal point).
class CommaLocale {
 public:
  CommaLocale() {
    saved_ = std::setlocale(LC_ALL, nullptr);
    savedCpp_ = std::locale();
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) {
        std::locale::global(std::locale(name));
        return;
      }
    }
    struct Comma : std::numpunct<char> {
      char do_decimal_point() const override { return ','; }
    };
    std::locale::global(std::locale(std::locale::classic(), new Comma));
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, saved_.c_str());
    std::locale::global(savedCpp_);
  }

 private:
  std::string saved_;
  std::locale savedCpp_;
};

class KeywordTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    SetNowFunction([] { return EncodeDate(2026, 3, 14) + 0.75; });
    if (GetParam()) locale_ = std::make_unique<CommaLocale>();
  }
  void TearDown() override {
    locale_.reset();
    SetNowFunction(nullptr);
  }
  std::unique_ptr<CommaLocale> locale_;
};

TEST_P(KeywordTest, TableCoversEveryKeywordWithItsKind) {
  const std::vector<TLKKeywordInfo> table = LKParamsKeywords();
  ASSERT_EQ(table.size(), 212u);
  std::map<std::string, TLKKeywordInfo> byName;
  Integer writable = 0;
  for (const TLKKeywordInfo& k : table) {
    EXPECT_TRUE(byName.emplace(k.Name, k).second) << "duplicate " << k.Name;
    writable += k.Writable ? 1 : 0;
    EXPECT_EQ(k.Writable, kReadOnly.count(k.Name) == 0) << k.Name;
  }
  EXPECT_EQ(writable, 206);
  for (const Expected& e : kAllKeywords) {
    auto it = byName.find(e.Name);
    ASSERT_NE(it, byName.end()) << e.Name;
    EXPECT_EQ(it->second.Kind, e.Kind) << e.Name;
  }
  EXPECT_EQ(byName.count("FILETYPESTR"), 1u);
  EXPECT_EQ(byName.count("COLORMAPITEM"), 1u);
}

TEST_P(KeywordTest, DefaultsReadAsText) {
  TIOParamsVals p;
  for (const Expected& e : kAllKeywords) {
    auto d = kDefaults.find(e.Name);
    const String want = d != kDefaults.end() ? d->second : ZeroText(e.Kind);
    EXPECT_EQ(p.GetProperty(e.Name), want) << e.Name;
  }
  EXPECT_EQ(p.GetProperty("FILETYPESTR"), "");
  EXPECT_EQ(p.GetProperty("raw_gamma"), "0.6");
}

TEST_P(KeywordTest, EveryKeywordWritesAndReadsBack) {
  for (const Expected& e : kAllKeywords) {
    TIOParamsVals p;
    const String before = p.GetProperty(e.Name);
    String value, want;
    switch (e.Kind) {
      case lkkInteger: value = want = "-1234"; break;
      case lkkByte: value = want = "200"; break;
      case lkkBoolean: value = "true"; want = "1"; break;
      case lkkReal: value = "72,9"; want = "72.9"; break;
      case lkkText: value = want = "Text, with 1.5 \xC3\xBC"; break;
      case lkkColour: value = "10, 20"; want = "10,20,0"; break;
      case lkkDate: value = want = "2024-02-29"; break;
    }
    // The resolutions come back truncated to the integer dpi they set.
    if (std::string(e.Name) == "EXIF_XRESOLUTION" || std::string(e.Name) == "EXIF_YRESOLUTION") want = "72";
    if (kReadOnly.count(e.Name) != 0) want = before;
    p.SetProperty(e.Name, value);
    EXPECT_EQ(p.GetProperty(e.Name), want) << e.Name;
    if (e.Kind == lkkBoolean) {
      p.SetProperty(e.Name, "0");
      EXPECT_EQ(p.GetProperty(e.Name), "0") << e.Name;
    }
  }
}

TEST_P(KeywordTest, ConversionRulesAndFallbacks) {
  struct Case {
    const char* key;
    const char* value;
    const char* readKey;
    const char* want;
  };
  const Case cases[] = {
      {"RAW_GAMMA", "0,45", "RAW_GAMMA", "0.45"},
      {"RAW_GAMMA", "0.45", "RAW_GAMMA", "0.45"},
      {"RAW_GAMMA", "abc", "RAW_GAMMA", "0"},
      {"RAW_GAMMA", "1e-7", "RAW_GAMMA", "1E-7"},
      {"RAW_QUICKINTERPOLATE", "yes", "RAW_QUICKINTERPOLATE", "0"},
      {"RAW_QUICKINTERPOLATE", "t", "RAW_QUICKINTERPOLATE", "1"},
      {"RAW_\tGAMMA", "2", "raw_gamma", "2"},
      {"TIFF_COMPRESSION", "260", "TIFF_COMPRESSION", "4"},
      {"TIFF_COMPRESSION", "-1", "TIFF_COMPRESSION", "255"},
      {"GIF_BACKGROUND", "10, 20", "GIF_BACKGROUND", "10,20,0"},
      {"GIF_BACKGROUND", "1,2,3,4", "GIF_BACKGROUND", "1,2,3"},
      {"GIF_BACKGROUND", "300,x,7", "GIF_BACKGROUND", "44,0,7"},
      {"GIF_IMAGEINDEX", "2", "TIFF_IMAGEINDEX", "2"},
      {"CUR_IMAGEINDEX", "5", "IMAGEINDEX", "5"},
      {"IMAGECOUNT", "7", "GIF_IMAGECOUNT", "7"},
      {"EXIF_XRESOLUTION", "72.9", "DPIX", "72"},
      {"EXIF_XRESOLUTION", "72.9", "EXIF_XRESOLUTION", "72"},
      {"DPIY", "x", "DPIY", "1"},
      {"DPIY", "96", "EXIF_YRESOLUTION", "96"},
      {"TIFF_ORIENTATION", "6", "EXIF_ORIENTATION", "6"},
      {"TIFF_ORIENTATION", "?", "TIFF_ORIENTATION", "1"},
      {"EXIF_ORIENTATION", "?", "TIFF_ORIENTATION", "0"},
      {"GETTHUMBNAIL", "1", "RAW_GETEXIFTHUMBNAIL", "1"},
      {"JPEG_GETEXIFTHUMBNAIL", "1", "GETTHUMBNAIL", "1"},
      {"RAW_GETEXIFTHUMBNAIL", "1", "GETTHUMBNAIL", "0"},
      {"FILENAME", "x.jpg", "FILENAME", ""},
      {"FILETYPE", "3", "FILETYPE", "0"},
      {"BITSPERSAMPLE", "", "BITSPERSAMPLE", "8"},
      {"SAMPLESPERPIXEL", "three", "SAMPLESPERPIXEL", "8"},
      {"WIDTH", "wide", "WIDTH", "1"},
      {"TIFF_FILLORDER", "", "TIFF_FILLORDER", "1"},
      {"PNG_COMPRESSION", "", "PNG_COMPRESSION", "1"},
      {"PS_PAPERWIDTH", "", "PS_PAPERWIDTH", "595"},
      {"PDF_PAPERHEIGHT", "", "PDF_PAPERHEIGHT", "842"},
      {"JPEG_QUALITY", "9x", "JPEG_QUALITY", "0"},
      {"JPEG_QUALITY", " 77", "JPEG_QUALITY", "77"},
      {"TGA_DATE", "not a date", "TGA_DATE", "2026-03-14"},
      {"PS_TITLE", "Case\x01Kept", "PS_TITLE", "CaseKept"},
      {"no_such_key", "1", "no_such_key", "INVALID PROPERTY"},
      {"TGA_GAMMA", "1234567890123456789", "TGA_GAMMA", "1.23456789012346E18"},
  };
  for (const Case& c : cases) {
    TIOParamsVals p;
    p.SetProperty(c.key, c.value);
    EXPECT_EQ(p.GetProperty(c.readKey), c.want) << c.key << " = " << c.value;
  }
}

TEST_P(KeywordTest, ColorMapItemsStayInsideThePalette) {
  TIOParamsVals p;
  EXPECT_EQ(p.GetProperty("COLORMAPITEM0"), "");
  p.SetProperty("COLORMAPITEM0", "1,2,3");  // no palette: nothing to write
  p.SetColorMapCount(4);
  p.SetProperty("colormapitem2", "1,2,3");
  EXPECT_EQ(p.GetProperty("COLORMAPITEM2"), "1,2,3");
  EXPECT_EQ(p.ColorMap[2], (TRGB{3, 2, 1}));
  p.SetProperty("COLORMAPITEM", "9,9,9");  // no index counts 0
  EXPECT_EQ(p.GetProperty("COLORMAPITEMx"), "9,9,9");
  for (const char* bad : {"COLORMAPITEM4", "COLORMAPITEM-1", "COLORMAPITEM2147483647"}) {
    p.SetProperty(bad, "5,5,5");
    EXPECT_EQ(p.GetProperty(bad), "") << bad;
  }
  // An index too large to parse counts 0 like any other unparsable index.
  p.SetProperty("COLORMAPITEM99999999999", "6,6,6");
  EXPECT_EQ(p.GetProperty("COLORMAPITEM0"), "6,6,6");
  EXPECT_EQ(p.GetProperty("COLORMAPCOUNT"), "4");
}

INSTANTIATE_TEST_SUITE_P(Locales, KeywordTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "CommaLocale" : "CLocale"; });

TEST(KeywordLocaleTest, CommaLocaleIsReallyActiveDuringTheTests) {
  CommaLocale l;
  EXPECT_EQ(std::use_facet<std::numpunct<char>>(std::locale()).decimal_point(), ',');
}

}  // namespace
