#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "io/lkparams.h"

namespace {

using Bytes = std::vector<Byte>;
// Lets a test replace one tagged item of a hand-built stream; returns true
// when it wrote the item itself.
using Override = std::function<bool(const std::string& Tag, Bytes& Out)>;

// Assembles a parameter stream of a given version byte by byte, item after
// item, each gated by the first version that carries it.
class Builder {
 public:
  Builder(Integer Version, Override Hook) : v_(Version), hook_(std::move(Hook)) {}
  Bytes Build();

 private:
  void I(Integer x) { Raw(&x, 4); }
  void U8(Byte x) { b_.push_back(x); }
  void S(const std::string& s) {
    I(static_cast<Integer>(s.size()));
    Raw(s.data(), s.size());
  }
  void C(Byte r, Byte g, Byte bl) { b_.insert(b_.end(), {bl, g, r}); }
  void D(double d) { Raw(&d, 8); }
  void L(std::initializer_list<const char*> l) {
    I(static_cast<Integer>(l.size()));
    for (const char* s : l) S(s);
  }
  void Raw(const void* p, std::size_t n) {
    const auto* c = static_cast<const Byte*>(p);
    b_.insert(b_.end(), c, c + n);
  }
  bool Hooked(const std::string& tag) { return hook_ && hook_(tag, b_); }

  Integer v_;
  Override hook_;
  Bytes b_;
};

Bytes Builder::Build() {
  const Integer v = v_;
  if (!Hooked("version")) I(v);
  if (!Hooked("filename")) S("pic.tif");
  if (v >= 2) I(20); else U8(20);
  I(16); I(4); I(640); I(480); I(150); I(151);
  if (!Hooked("palette")) { I(2); C(3, 2, 1); C(6, 5, 4); }
  if (v >= 25) { I(7); I(8); U8(1); }
  U8(5); I(9); U8(1); I(2); I(11); I(12); S("doc"); S("desc"); S("page"); I(3); I(4);
  if (v >= 4) I(13);
  if (v >= 6) I(6);
  if (v >= 10) I(77);
  if (v >= 16) U8(3);
  if (v >= 26) I(2);
  S("GIF87a"); I(14); I(15); I(16); I(17); U8(1); C(3, 2, 1); U8(1); I(18); I(19); C(6, 5, 4); I(20);
  if (v >= 4) I(21);
  if (v >= 9 && !Hooked("gifcomments")) L({"c1", "c2"});
  if (v >= 12) U8(3);
  U8(4); I(55); U8(2); U8(1); I(22); U8(1);
  if (v >= 1) U8(3);
  if (v >= 4 && !Hooked("markers")) { U8(0); I(1); U8(0xE1); I(4); Raw("exif", 4); }
  if (v >= 7) { I(23); I(24); }
  if (v >= 20) { U8(1); U8(1); }
  if (v >= 8) { U8(2); D(0.25); U8(1); }
  I(3); U8(0); U8(3); U8(1);
  if (v >= 28) U8(1);
  if (v >= 1) I(25); else { I(-5); I(-6); }
  if (v >= 3) C(9, 8, 7);
  if (v >= 11) {
    for (Integer i = 0; i < 16; ++i) { I(i + 1); I(i + 2); }
    for (Integer i = 0; i < 16; ++i) I(i * 2);
  }
  if (v >= 1) { I(26); I(27); I(28); } else { I(-7); I(-8); }
  if (v >= 3) C(12, 11, 10);
  U8(1); C(15, 14, 13); U8(2); I(9);
  if (v >= 23) { L({"k"}); L({"s"}); }
  if (v >= 27) U8(1);
  if (v >= 3) {
    I(29); I(30); U8(0); S("tdesc"); S("tauth"); D(45000.5); S("tname"); C(18, 17, 16); D(1.5); D(1.8); U8(1);
  }
  if (v >= 4 && !Hooked("iptc")) { I(0); I(1); I(2); I(5); I(5); Raw("title", 5); }
  if (v >= 5) L({"pxm"});
  if (v >= 6) { I(31); I(32); }
  if (v >= 14) { I(100); I(200); U8(3); S("ps"); I(300); I(400); U8(5); }
  if (v >= 15) { S("t"); S("a"); S("s"); S("k"); S("c"); S("p"); }
  if (v >= 18) I(33);
  if (v >= 17 && !Hooked("icc")) { I(2); Raw("in", 2); I(4); Raw("out!", 4); }
  if (v >= 18) { U8(1); D(0.45); D(1.25); D(1.5); D(1.75); U8(0); U8(1); U8(1); U8(1); S("Cam"); U8(1); }
  if (v >= 22) U8(1);
  if (v >= 21) { I(34); I(35); }
  if (v >= 23) { U8(1); U8(1); I(32); I(36); }
  return b_;
}

Bytes Build(Integer Version, Override Hook = nullptr) { return Builder(Version, std::move(Hook)).Build(); }

// A record holding the values the builder writes.
void FillSample(TIOParamsVals& p) {
  p.FILENAME = "pic.tif";
  p.FILETYPE = 20;
  p.BITSPERSAMPLE = 16;
  p.SAMPLESPERPIXEL = 4;
  p.WIDTH = 640;
  p.HEIGHT = 480;
  p.DPIX = 150;
  p.DPIY = 151;
  p.SetColorMapCount(2);
  p.ColorMap[0] = TRGB{1, 2, 3};
  p.ColorMap[1] = TRGB{4, 5, 6};
  p.IMAGEINDEX = 7;
  p.IMAGECOUNT = 8;
  p.GETTHUMBNAIL = true;
  p.TIFF_COMPRESSION = ioTIFF_LZW;
  p.TIFF_IMAGEINDEX = 9;
  p.TIFF_PHOTOMETINTEPRET = ioTIFF_BLACKISZERO;
  p.TIFF_PLANARCONF = 2;
  p.TIFF_XPOS = 11;
  p.TIFF_YPOS = 12;
  p.TIFF_DOCUMENTNAME = "doc";
  p.TIFF_IMAGEDESCRIPTION = "desc";
  p.TIFF_PAGENAME = "page";
  p.TIFF_PAGENUMBER = 3;
  p.TIFF_PAGECOUNT = 4;
  p.TIFF_IMAGECOUNT = 13;
  p.TIFF_ORIENTATION = 6;
  p.TIFF_JPEGQUALITY = 77;
  p.TIFF_JPEGCOLORSPACE = ioJPEG_CMYK;
  p.TIFF_FILLORDER = 2;
  p.GIF_VERSION = "GIF87a";
  p.GIF_IMAGEINDEX = 14;
  p.GIF_XPOS = 15;
  p.GIF_YPOS = 16;
  p.GIF_DELAYTIME = 17;
  p.GIF_TRANSPARENT = true;
  p.GIF_TRANSPCOLOR = TRGB{1, 2, 3};
  p.GIF_INTERLACED = true;
  p.GIF_WINWIDTH = 18;
  p.GIF_WINHEIGHT = 19;
  p.GIF_BACKGROUND = TRGB{4, 5, 6};
  p.GIF_RATIO = 20;
  p.GIF_IMAGECOUNT = 21;
  p.GIF_CommentLines.Add("c1");
  p.GIF_CommentLines.Add("c2");
  p.GIF_Disposal = ioGIF_RestorePrev;
  p.JPEG_COLORSPACE = ioJPEG_YCbCrK;
  p.JPEG_QUALITY = 55;
  p.JPEG_DCTMETHOD = ioJPEG_FLOAT;
  p.JPEG_OPTIMALHUFFMAN = true;
  p.JPEG_SMOOTH = 22;
  p.JPEG_PROGRESSIVE = true;
  p.JPEG_SCALE = ioJPEG_QUARTER;
  p.JPEG_Markers.AddMarker(0xE1, "exif", 4);
  p.JPEG_ORIGINALWIDTH = 23;
  p.JPEG_ORIGINALHEIGHT = 24;
  p.JPEG_ENABLEADJUSTORIENTATION = true;
  p.JPEG_GETEXIFTHUMBNAIL = true;
  p.J2000_COLORSPACE = ioJ2000_YCbCr;
  p.J2000_RATE = 0.25;
  p.J2000_SCALABLEBY = ioJ2000_Resolution;
  p.PCX_VERSION = 3;
  p.PCX_COMPRESSION = ioPCX_UNCOMPRESSED;
  p.BMP_VERSION = ioBMP_BMOS2V2;
  p.BMP_COMPRESSION = ioBMP_RLE;
  p.BMP_HANDLETRANSPARENCY = true;
  p.ICO_IMAGEINDEX = 25;
  p.ICO_BACKGROUND = TRGB{7, 8, 9};
  for (Integer i = 0; i < 16; ++i) {
    p.ICO_PageSizes[i] = TSize{i + 1, i + 2};
    p.ICO_PageBitCounts[i] = i * 2;
  }
  p.CUR_IMAGEINDEX = 26;
  p.CUR_XHOTSPOT = 27;
  p.CUR_YHOTSPOT = 28;
  p.CUR_BACKGROUND = TRGB{10, 11, 12};
  p.PNG_INTERLACED = true;
  p.PNG_BACKGROUND = TRGB{13, 14, 15};
  p.PNG_FILTER = ioPNG_FILTER_PAETH;
  p.PNG_COMPRESSION = 9;
  p.PNG_TextKeywords.Add("k");
  p.PNG_TextStrings.Add("s");
  p.PSD_LOADLAYERS = true;
  p.TGA_XPOS = 29;
  p.TGA_YPOS = 30;
  p.TGA_COMPRESSED = false;
  p.TGA_DESCRIPTOR = "tdesc";
  p.TGA_AUTHOR = "tauth";
  p.TGA_DATE = 45000.5;
  p.TGA_IMAGENAME = "tname";
  p.TGA_BACKGROUND = TRGB{16, 17, 18};
  p.TGA_ASPECTRATIO = 1.5;
  p.TGA_GAMMA = 1.8;
  p.TGA_GRAYLEVEL = true;
  p.IPTC_Records.AddStringItem(2, 5, "title");
  p.PXM_CommentLines.Add("pxm");
  p.AVI_FrameCount = 31;
  p.AVI_FrameDelayTime = 32;
  p.PS_PAPERWIDTH = 100;
  p.PS_PAPERHEIGHT = 200;
  p.PS_COMPRESSION = ioPS_JPEG;
  p.PS_TITLE = "ps";
  p.PDF_PAPERWIDTH = 300;
  p.PDF_PAPERHEIGHT = 400;
  p.PDF_COMPRESSION = ioPDF_LZW;
  p.PDF_TITLE = "t";
  p.PDF_AUTHOR = "a";
  p.PDF_SUBJECT = "s";
  p.PDF_KEYWORDS = "k";
  p.PDF_CREATOR = "c";
  p.PDF_PRODUCER = "p";
  p.DCX_IMAGEINDEX = 33;
  p.GetInputICC()->LoadFromBuffer("in", 2);
  p.GetOutputICC()->LoadFromBuffer("out!", 4);
  p.RAW_HALFSIZE = true;
  p.RAW_GAMMA = 0.45;
  p.RAW_BRIGHT = 1.25;
  p.RAW_REDSCALE = 1.5;
  p.RAW_BLUESCALE = 1.75;
  p.RAW_QUICKINTERPOLATE = false;
  p.RAW_USEAUTOWB = true;
  p.RAW_USECAMERAWB = true;
  p.RAW_FOURCOLORRGB = true;
  p.RAW_CAMERA = "Cam";
  p.RAW_GETEXIFTHUMBNAIL = true;
  p.RAW_AUTOADJUSTCOLORS = true;
  p.MEDIAFILE_FRAMECOUNT = 34;
  p.MEDIAFILE_FRAMEDELAYTIME = 35;
  p.BMPRAW_ChannelOrder = coBGR;
  p.BMPRAW_Planes = plPlanar;
  p.BMPRAW_RowAlignBits = 32;
  p.BMPRAW_SkipBytes = 36;
}

Bytes Save(TIOParamsVals& p) {
  TMemoryStream s;
  p.SaveToStream(&s);
  const auto* m = static_cast<const Byte*>(s.GetMemory());
  return Bytes(m, m + s.GetSize());
}

void Load(TIOParamsVals& p, const Bytes& b) {
  TMemoryStream s;
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<Int64>(b.size()));
  s.SetPosition(0);
  p.LoadFromStream(&s);
}

String Join(const TStringList& l) { return l.GetCommaText(); }
String Icc(const std::unique_ptr<TLKICC>& i) {
  return i ? String(i->GetRaw().begin(), i->GetRaw().end()) : String("<none>");
}

// What each stream item reads back as, with the first version carrying it.
struct Check {
  Integer since;
  const char* name;
  std::function<String(TIOParamsVals&)> get;
  String want;
};

std::function<String(TIOParamsVals&)> Kw(const char* key) {
  return [key](TIOParamsVals& p) { return p.GetProperty(key); };
}

std::vector<Check> Checks() {
  std::vector<Check> c;
  auto kw = [&c](Integer since, const char* key, const char* want) { c.push_back({since, key, Kw(key), want}); };
  kw(0, "FILENAME", "pic.tif");
  kw(0, "FILETYPE", "20");
  kw(0, "BITSPERSAMPLE", "16");
  kw(0, "SAMPLESPERPIXEL", "4");
  kw(0, "WIDTH", "640");
  kw(0, "HEIGHT", "480");
  kw(0, "DPIX", "150");
  kw(0, "DPIY", "151");
  kw(0, "COLORMAPCOUNT", "2");
  kw(0, "COLORMAPITEM1", "6,5,4");
  kw(25, "IMAGEINDEX", "7");
  kw(25, "IMAGECOUNT", "8");
  kw(25, "GETTHUMBNAIL", "1");
  kw(0, "TIFF_COMPRESSION", "5");
  kw(0, "TIFF_IMAGEINDEX", "9");
  kw(0, "TIFF_PHOTOMETINTEPRET", "1");
  kw(0, "TIFF_PLANARCONF", "2");
  kw(0, "TIFF_XPOS", "11");
  kw(0, "TIFF_YPOS", "12");
  kw(0, "TIFF_DOCUMENTNAME", "doc");
  kw(0, "TIFF_IMAGEDESCRIPTION", "desc");
  kw(0, "TIFF_PAGENAME", "page");
  kw(0, "TIFF_PAGENUMBER", "3");
  kw(0, "TIFF_PAGECOUNT", "4");
  kw(4, "TIFF_IMAGECOUNT", "13");
  kw(6, "TIFF_ORIENTATION", "6");
  kw(10, "TIFF_JPEGQUALITY", "77");
  kw(16, "TIFF_JPEGCOLORSPACE", "3");
  kw(26, "TIFF_FILLORDER", "2");
  kw(0, "GIF_VERSION", "GIF87a");
  kw(0, "GIF_IMAGEINDEX", "14");
  kw(0, "GIF_XPOS", "15");
  kw(0, "GIF_YPOS", "16");
  kw(0, "GIF_DELAYTIME", "17");
  kw(0, "GIF_TRANSPARENT", "1");
  kw(0, "GIF_TRANSPCOLOR", "3,2,1");
  kw(0, "GIF_INTERLACED", "1");
  kw(0, "GIF_WINWIDTH", "18");
  kw(0, "GIF_WINHEIGHT", "19");
  kw(0, "GIF_BACKGROUND", "6,5,4");
  kw(0, "GIF_RATIO", "20");
  kw(4, "GIF_IMAGECOUNT", "21");
  c.push_back({9, "GIF_CommentLines", [](TIOParamsVals& p) { return Join(p.GIF_CommentLines); }, "c1,c2"});
  c.push_back({12, "GIF_Disposal", [](TIOParamsVals& p) { return IntToStr(Integer{p.GIF_Disposal}); }, "3"});
  kw(0, "JPEG_COLORSPACE", "4");
  kw(0, "JPEG_QUALITY", "55");
  kw(0, "JPEG_DCTMETHOD", "2");
  kw(0, "JPEG_OPTIMALHUFFMAN", "1");
  kw(0, "JPEG_SMOOTH", "22");
  kw(0, "JPEG_PROGRESSIVE", "1");
  kw(1, "JPEG_SCALE", "3");
  c.push_back({4, "JPEG_Markers",
               [](TIOParamsVals& p) {
                 String s;
                 for (Integer i = 0; i < p.JPEG_Markers.GetCount(); ++i)
                   s += IntToStr(Integer{p.JPEG_Markers.GetMarkerType(i)}) + ":" +
                        String(reinterpret_cast<const char*>(p.JPEG_Markers.GetMarkerData(i)),
                               static_cast<std::size_t>(p.JPEG_Markers.GetMarkerLength(i)));
                 return s;
               },
               "225:exif"});
  kw(7, "JPEG_ORIGINALWIDTH", "23");
  kw(7, "JPEG_ORIGINALHEIGHT", "24");
  kw(20, "JPEG_ENABLEADJUSTORIENTATION", "1");
  kw(20, "JPEG_GETEXIFTHUMBNAIL", "1");
  kw(8, "J2000_COLORSPACE", "2");
  kw(8, "J2000_RATE", "0.25");
  kw(8, "J2000_SCALABLEBY", "1");
  kw(0, "PCX_VERSION", "3");
  kw(0, "PCX_COMPRESSION", "0");
  kw(0, "BMP_VERSION", "3");
  kw(0, "BMP_COMPRESSION", "1");
  kw(28, "BMP_HANDLETRANSPARENCY", "1");
  kw(1, "ICO_IMAGEINDEX", "25");
  kw(3, "ICO_BACKGROUND", "9,8,7");
  c.push_back({11, "ICO_Pages",
               [](TIOParamsVals& p) {
                 return IntToStr(p.ICO_PageSizes[15].cx) + "x" + IntToStr(p.ICO_PageSizes[15].cy) + "/" +
                        IntToStr(p.ICO_PageBitCounts[15]) + "/" + IntToStr(p.ICO_PageSizes[0].cx);
               },
               "16x17/30/1"});
  kw(1, "CUR_IMAGEINDEX", "26");
  kw(1, "CUR_XHOTSPOT", "27");
  kw(1, "CUR_YHOTSPOT", "28");
  kw(3, "CUR_BACKGROUND", "12,11,10");
  kw(0, "PNG_INTERLACED", "1");
  kw(0, "PNG_BACKGROUND", "15,14,13");
  kw(0, "PNG_FILTER", "2");
  kw(0, "PNG_COMPRESSION", "9");
  c.push_back({23, "PNG_Text",
               [](TIOParamsVals& p) { return Join(p.PNG_TextKeywords) + "=" + Join(p.PNG_TextStrings); }, "k=s"});
  kw(27, "PSD_LOADLAYERS", "1");
  kw(3, "TGA_XPOS", "29");
  kw(3, "TGA_YPOS", "30");
  kw(3, "TGA_COMPRESSED", "0");
  kw(3, "TGA_DESCRIPTOR", "tdesc");
  kw(3, "TGA_AUTHOR", "tauth");
  c.push_back({3, "TGA_DATE", [](TIOParamsVals& p) { return FloatToStr(p.TGA_DATE); }, "45000.5"});
  kw(3, "TGA_IMAGENAME", "tname");
  kw(3, "TGA_BACKGROUND", "18,17,16");
  kw(3, "TGA_ASPECTRATIO", "1.5");
  kw(3, "TGA_GAMMA", "1.8");
  kw(3, "TGA_GRAYLEVEL", "1");
  c.push_back({4, "IPTC_Records", [](TIOParamsVals& p) { return p.IPTC_Records.GetStrings(0); }, "title"});
  c.push_back({5, "PXM_CommentLines", [](TIOParamsVals& p) { return Join(p.PXM_CommentLines); }, "pxm"});
  c.push_back({6, "AVI",
               [](TIOParamsVals& p) { return IntToStr(p.AVI_FrameCount) + "," + IntToStr(p.AVI_FrameDelayTime); },
               "31,32"});
  kw(14, "PS_PAPERWIDTH", "100");
  kw(14, "PS_PAPERHEIGHT", "200");
  kw(14, "PS_COMPRESSION", "3");
  kw(14, "PS_TITLE", "ps");
  kw(14, "PDF_PAPERWIDTH", "300");
  kw(14, "PDF_PAPERHEIGHT", "400");
  kw(14, "PDF_COMPRESSION", "5");
  kw(15, "PDF_TITLE", "t");
  kw(15, "PDF_AUTHOR", "a");
  kw(15, "PDF_SUBJECT", "s");
  kw(15, "PDF_KEYWORDS", "k");
  kw(15, "PDF_CREATOR", "c");
  kw(15, "PDF_PRODUCER", "p");
  kw(18, "DCX_IMAGEINDEX", "33");
  c.push_back({17, "InputICC", [](TIOParamsVals& p) { return Icc(p.InputICC); }, "in"});
  c.push_back({17, "OutputICC", [](TIOParamsVals& p) { return Icc(p.OutputICC); }, "out!"});
  kw(18, "RAW_HALFSIZE", "1");
  kw(18, "RAW_GAMMA", "0.45");
  kw(18, "RAW_BRIGHT", "1.25");
  kw(18, "RAW_REDSCALE", "1.5");
  kw(18, "RAW_BLUESCALE", "1.75");
  kw(18, "RAW_QUICKINTERPOLATE", "0");
  kw(18, "RAW_USEAUTOWB", "1");
  kw(18, "RAW_USECAMERAWB", "1");
  kw(18, "RAW_FOURCOLORRGB", "1");
  kw(18, "RAW_CAMERA", "Cam");
  kw(18, "RAW_GETEXIFTHUMBNAIL", "1");
  kw(22, "RAW_AUTOADJUSTCOLORS", "1");
  kw(21, "MEDIAFILE_FRAMECOUNT", "34");
  kw(21, "MEDIAFILE_FRAMEDELAYTIME", "35");
  c.push_back({23, "BMPRAW",
               [](TIOParamsVals& p) {
                 return IntToStr(Integer{p.BMPRAW_ChannelOrder}) + "," + IntToStr(Integer{p.BMPRAW_Planes}) + "," +
                        IntToStr(p.BMPRAW_RowAlignBits) + "," + IntToStr(p.BMPRAW_SkipBytes);
               },
               "1,1,32,36"});
  return c;
}

class ParamStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNowFunction([] { return EncodeDate(2026, 3, 14) + 0.25; }); }
  void TearDown() override { SetNowFunction(nullptr); }
};

TEST_F(ParamStreamTest, WriterMatchesTheHandBuiltCurrentVersion) {
  TIOParamsVals p;
  FillSample(p);
  EXPECT_EQ(Save(p), Build(29));
}

TEST_F(ParamStreamTest, DefaultRecordStartAndEmptyForms) {
  TIOParamsVals p;
  const Bytes b = Save(p);
  Integer head[3];
  std::memcpy(head, b.data(), 12);
  EXPECT_EQ(head[0], 29);
  EXPECT_EQ(head[1], 0);
  EXPECT_EQ(head[2], 0);
  // Saving made both profiles (the output one with the sRGB profile, which
  // has no bytes to write) ...
  ASSERT_TRUE(p.InputICC);
  ASSERT_TRUE(p.OutputICC);
  EXPECT_TRUE(p.OutputICC->IsSRGB());
  // ... and reading it back leaves an output profile holding nothing.
  TIOParamsVals q;
  Load(q, b);
  ASSERT_TRUE(q.OutputICC);
  EXPECT_FALSE(q.OutputICC->IsValid());
  EXPECT_EQ(Save(q), b);
}

TEST_F(ParamStreamTest, EveryVersionReadsExactlyTheItemsItCarries) {
  const std::vector<Check> checks = Checks();
  TIOParamsVals fresh;
  for (Integer v = 0; v <= 29; ++v) {
    TIOParamsVals p;
    const Bytes b = Build(v);
    TMemoryStream s;
    s.WriteBuffer(b.data(), static_cast<Int64>(b.size()));
    s.SetPosition(0);
    ASSERT_NO_THROW(p.LoadFromStream(&s)) << "version " << v;
    EXPECT_EQ(s.GetPosition(), s.GetSize()) << "version " << v;
    for (const Check& c : checks) {
      const String want = v >= c.since ? c.want : c.get(fresh);
      EXPECT_EQ(c.get(p), want) << c.name << " in version " << v;
    }
  }
}

TEST_F(ParamStreamTest, VersionZeroSkipsTheOldIconAndCursorValues) {
  TIOParamsVals p;
  p.ICO_IMAGEINDEX = 4;
  p.CUR_IMAGEINDEX = 4;
  p.CUR_XHOTSPOT = 4;
  Load(p, Build(0));
  EXPECT_EQ(p.ICO_IMAGEINDEX, 0);
  EXPECT_EQ(p.CUR_IMAGEINDEX, 0);
  EXPECT_EQ(p.CUR_XHOTSPOT, 0);
  EXPECT_EQ(p.CUR_YHOTSPOT, 0);
  EXPECT_EQ(p.PNG_COMPRESSION, 9);  // the items after the skipped ones line up
}

TEST_F(ParamStreamTest, LaterVersionsReadAsTheCurrentOne) {
  TIOParamsVals p;
  Bytes b = Build(29);
  const Integer future = 40;
  std::memcpy(b.data(), &future, 4);
  Load(p, b);
  EXPECT_EQ(p.BMPRAW_SkipBytes, 36);
}

TEST_F(ParamStreamTest, ReadingStoresFieldsWithoutTheSetters) {
  struct Owner : TIOParamsOwner {
    Integer told = 0;
    bool GetParamsBitmapSize(Integer&, Integer&) override { return false; }
    void ParamsDPIXChanged(Integer) override { ++told; }
    void ParamsDPIYChanged(Integer) override { ++told; }
  } owner;
  TIOParamsVals p(&owner);
  owner.told = 0;
  p.EXIF_XRESOLUTION = 300.0;
  p.EXIF_ORIENTATION = 8;
  p.EXIF_MAKE = "Maker";
  p.XMP_INFO = "<xmp/>";
  Load(p, Build(29));
  EXPECT_EQ(p.DPIX, 150);
  EXPECT_EQ(p.EXIF_XRESOLUTION, 300.0);
  EXPECT_EQ(p.TIFF_ORIENTATION, 6);
  EXPECT_EQ(p.EXIF_ORIENTATION, 8);
  EXPECT_EQ(owner.told, 0);
  EXPECT_EQ(p.EXIF_MAKE, "Maker");
  EXPECT_EQ(p.XMP_INFO, "<xmp/>");
  EXPECT_EQ(p.IMAGEINDEX, 7);
  EXPECT_EQ(p.TIFF_IMAGEINDEX, 9);
}

TEST_F(ParamStreamTest, TruncatedStreamsAreRefusedAndChangeNothing) {
  const Bytes good = Build(29);
  TIOParamsVals p;
  const Bytes before = Save(p);
  for (std::size_t n = 0; n < good.size(); ++n) {
    TMemoryStream s;
    s.WriteBuffer(good.data(), static_cast<Int64>(n));
    s.SetPosition(0);
    EXPECT_THROW(p.LoadFromStream(&s), EReadError) << n;
    EXPECT_EQ(s.GetPosition(), 0) << n;
  }
  EXPECT_EQ(Save(p), before);
}

TEST_F(ParamStreamTest, HugeOrNegativeCountsAreRefused) {
  auto int32 = [](Bytes& out, Integer x) {
    const auto* c = reinterpret_cast<const Byte*>(&x);
    out.insert(out.end(), c, c + 4);
  };
  struct Case {
    const char* name;
    Override hook;
  };
  const Case cases[] = {
      {"negative version", [&](const std::string& t, Bytes& o) { return t == "version" && (int32(o, -1), true); }},
      {"file name longer than the stream",
       [&](const std::string& t, Bytes& o) { return t == "filename" && (int32(o, 0x7FFFFFF0), true); }},
      {"negative file name length",
       [&](const std::string& t, Bytes& o) { return t == "filename" && (int32(o, -2), true); }},
      {"palette of 2^31-1 entries",
       [&](const std::string& t, Bytes& o) { return t == "palette" && (int32(o, 0x7FFFFFFF), true); }},
      {"negative palette count",
       [&](const std::string& t, Bytes& o) { return t == "palette" && (int32(o, -3), true); }},
      {"comment list count",
       [&](const std::string& t, Bytes& o) { return t == "gifcomments" && (int32(o, 0x40000000), true); }},
      {"marker count",
       [&](const std::string& t, Bytes& o) {
         if (t != "markers") return false;
         o.push_back(0);
         int32(o, 0x7FFFFFFF);
         return true;
       }},
      {"IPTC item length",
       [&](const std::string& t, Bytes& o) {
         if (t != "iptc") return false;
         int32(o, 0);
         int32(o, 1);
         int32(o, 2);
         int32(o, 5);
         int32(o, 0x7FFFFFFF);
         return true;
       }},
      {"profile size", [&](const std::string& t, Bytes& o) { return t == "icc" && (int32(o, 0x7FFFFFFF), true); }},
  };
  for (const Case& c : cases) {
    TIOParamsVals p;
    p.JPEG_QUALITY = 61;
    TMemoryStream s;
    const Bytes b = Build(29, c.hook);
    s.WriteBuffer(b.data(), static_cast<Int64>(b.size()));
    s.SetPosition(0);
    EXPECT_THROW(p.LoadFromStream(&s), EReadError) << c.name;
    EXPECT_EQ(p.JPEG_QUALITY, 61) << c.name;
    EXPECT_EQ(p.FILENAME, "") << c.name;
  }
}

TEST_F(ParamStreamTest, FileRoundTripAndOpenErrors) {
  const String dir = GetTempFolder();
  const String name = dir + "lkparams_test_" + IntToStr(static_cast<Integer>(::getpid())) + ".prm";
  TIOParamsVals p, q;
  FillSample(p);
  p.SaveToFile(name);
  q.LoadFromFile(name);
  EXPECT_EQ(Save(q), Build(29));
  // Saving again replaces the file in one step.
  p.JPEG_QUALITY = 12;
  p.SaveToFile(name);
  q.LoadFromFile(name);
  EXPECT_EQ(q.JPEG_QUALITY, 12);
  EXPECT_TRUE(DeleteFile(name));
  EXPECT_THROW(q.LoadFromFile(name), EFOpenError);
  EXPECT_THROW(p.SaveToFile(dir + "no_such_folder_xyz/params.prm"), EFCreateError);
}

}  // namespace
