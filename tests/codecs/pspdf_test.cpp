// The PostScript and PDF writers and their parts: the ASCII85 and
// run-length encoders, the PDF object model, the text forms of both
// documents (with the clock pinned), and every compression checked by
// peers: qpdf and ghostscript accept the files, and pdftoppm and
// ghostscript render them back to the pictures we wrote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/pdf/lkpdfobjects.h"
#include "codecs/pdf/lkpdfwriter.h"
#include "codecs/ps/lkascii85.h"
#include "codecs/ps/lkpswriter.h"
#include "platform/sysutils.h"
#include "tests/codecs/codec_kit.h"

using namespace codeckit;

namespace {

std::string A85(const std::vector<Byte>& In, Integer* Counter = nullptr) {
  std::vector<Byte> out(size_t(LKASCII85EncodedMax(Int64(In.size()))));
  const Byte* src = In.data();
  Byte* dst = out.data();
  Integer counter = 0;
  const Integer n = LKASCII85EncodeBlock(src, Integer(In.size()), dst, counter);
  EXPECT_EQ(dst - out.data(), n);
  EXPECT_LE(size_t(n), out.size());
  if (Counter) *Counter = counter;
  return std::string(out.begin(), out.begin() + n);
}

std::vector<Byte> RLE(const std::vector<Byte>& In) {
  std::vector<Byte> out(size_t(LKRunLengthEncodedMax(Int64(In.size()))));
  out.resize(size_t(LKPSRunLengthEncode(In.data(), Integer(In.size()), out.data())));
  return out;
}

TEST(ASCII85, EncodesGroupsZerosLinesAndTheEndMarker) {
  struct Case {
    const char* Name;
    std::vector<Byte> In;
    std::string Out;
  } cases[] = {
      {"empty", {}, "~>\r\n"},
      {"zero group", {0, 0, 0, 0}, "z~>\r\n"},
      {"single zero byte", {0}, "!!~>\r\n"},
      {"abc", {'a', 'b', 'c'}, "@:E^~>\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(A85(c.In), c.Out) << c.Name;

  // Sixteen full groups: the break follows the fifteenth (75 characters).
  std::vector<Byte> in(64, 0xA5);
  Integer counter = 0;
  const std::string text = A85(in, &counter);
  EXPECT_EQ(counter, 80);
  const size_t br = text.find("\r\n");
  EXPECT_EQ(br, 75u);
  EXPECT_EQ(text.substr(br + 2), text.substr(0, 5) + "~>\r\n");
}

TEST(ASCII85, DecodesWhatItEncodesSkippingOtherCharacters) {
  std::vector<Byte> in;
  for (int i = 0; i < 1003; ++i) in.push_back(Byte(i * 37 >> (i % 5)));
  in.insert(in.begin() + 100, {0, 0, 0, 0, 0, 0, 0, 0});
  std::string text = A85(in);
  text.insert(3, " \t\n");  // blanks are skipped
  text += "trailing";      // nothing after "~>" is read
  std::vector<Byte> out(in.size() + 8);
  const Byte* src = reinterpret_cast<const Byte*>(text.data());
  Byte* dst = out.data();
  const Integer n = LKASCII85DecodeBlock(src, Integer(text.size()), dst);
  ASSERT_EQ(n, Integer(in.size()));
  out.resize(size_t(n));
  EXPECT_EQ(out, in);
  EXPECT_EQ(reinterpret_cast<const char*>(src), text.data() + text.size() - 10);  // after "~>"
}

TEST(RunLength, RunsLiteralsAndTheEndByte) {
  struct Case {
    const char* Name;
    std::vector<Byte> In;
    std::vector<Byte> Out;
  } cases[] = {
      {"three equal", {7, 7, 7}, {254, 7, 128}},
      {"three different", {1, 2, 3}, {2, 1, 2, 3, 128}},
      {"literal then run", {1, 2, 2, 2}, {1, 1, 2, 255, 2, 128}},
      {"empty", {}, {128}},
  };
  for (const auto& c : cases) EXPECT_EQ(RLE(c.In), c.Out) << c.Name;
  // 300 equal bytes: runs of 128, 128 and 44.
  // Pairs split by the literal rule: three bytes for every two, still
  // inside the destination size.
  EXPECT_EQ(RLE({1, 2, 2, 3, 3, 4, 4}), (std::vector<Byte>{1, 1, 2, 1, 2, 3, 1, 3, 4, 0, 4, 128}));
  EXPECT_EQ(RLE(std::vector<Byte>(300, 9)), (std::vector<Byte>{129, 9, 129, 9, 213, 9, 128}));
  // 200 different bytes: literals of 128 and 72.
  std::vector<Byte> in;
  for (int i = 0; i < 200; ++i) in.push_back(Byte(i));
  const auto out = RLE(in);
  ASSERT_EQ(out.size(), 203u);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 71);
  EXPECT_EQ(out.back(), 128);
}

// ---------------------------------------------------------------------------
// PDF objects

std::string TextOf(TLKPDFObject& O) {
  TMemoryStream ms;
  O.Write(ms);
  const Bytes b = BytesOf(ms);
  return std::string(b.begin(), b.end());
}

TEST(PDFObjects, WriteTheirTextForms) {
  TLKPDFDictionaryObject d;
  d.Add("Type", new TLKPDFNameObject("Catalog"));
  d.Add("Pages", new TLKPDFRefObject(3, 0));
  EXPECT_EQ(TextOf(d), "<< /Type /Catalog\n/Pages 3 0 R\n>>");

  TLKPDFNameObject name("a b#");
  EXPECT_EQ(TextOf(name), "/a#20b#");
  TLKPDFNameObject high("\xC8x");
  EXPECT_EQ(TextOf(high), "/#C8x");
  TLKPDFStringObject str("a(b)\\\r\n\t\b\f");
  EXPECT_EQ(TextOf(str), "(a\\(b\\)\\\\\\r\\n\\t\\b\\f)");
  TLKPDFArrayObject arr;
  arr.Add(new TLKPDFNameObject("PDF"));
  arr.Add(new TLKPDFNameObject("ImageB"));
  EXPECT_EQ(TextOf(arr), "[/PDF /ImageB ]");
  TLKPDFNumericObject n(-421), real(0.25);
  EXPECT_EQ(TextOf(n), "-421");
  EXPECT_EQ(TextOf(real), "0.25");
  TLKPDFBooleanObject t(true);
  EXPECT_EQ(TextOf(t), "true");

  TLKPDFStreamObject s("0123456789", 10);
  EXPECT_EQ(TextOf(s), "<< /Length 10\n>>\nstream\n0123456789\nendstream");
}

TEST(PDFObjects, SharedObjectsOutliveTheirHolders) {
  auto* shared = new TLKPDFNameObject("kept");
  shared->Shared = true;
  {
    TLKPDFDictionaryObject d;
    d.Add("K", shared);
    TLKPDFArrayObject a;
    a.Add(shared);
  }
  EXPECT_EQ(TextOf(*shared), "/kept");  // ASan reports a use after free otherwise
  delete shared;
}

TEST(PDFObjects, NumbersTheCrossReferenceAndTheTrailer) {
  TLKPDFObjectList list;
  TLKPDFDictionaryObject* catalog = lkpdf_AddCatalog(list);
  EXPECT_EQ(catalog->Number, 1);
  TLKPDFDictionaryObject info;
  lkpdf_AddIndirectObject(list, &info);
  EXPECT_EQ(info.Number, 2);
  TMemoryStream ms;
  lkpdf_WriteHeader(ms);
  lkpdf_WriteIndirectObjects(ms, list);
  const Int64 table = ms.Position();
  lkpdf_WriteFooter(ms, list, &info);
  const Bytes b = BytesOf(ms);
  const std::string text(b.begin(), b.end());
  EXPECT_EQ(text.substr(0, 15), "%PDF-1.4\n%\xC8\xD2\xF0\xFE\n");
  EXPECT_EQ(catalog->Position, 15);
  EXPECT_EQ(text.substr(15, 39), "1 0 obj\n<< /Type /Catalog\n>>\nendobj\n2 0");
  EXPECT_EQ(text.substr(size_t(table)),
            "xref\n0 3\n0000000000 65535 f \n0000000015 00000 n \n0000000051 00000 n \n"
            "trailer\n<< /Size 3\n/Root 1 0 R\n/Info 2 0 R\n>>\nstartxref\n" +
                std::to_string(table) + "\n%%EOF\n");
  delete catalog;
}

// ---------------------------------------------------------------------------
// Writers

struct PinnedClock {
  PinnedClock() { SetNowFunction([] { return EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0); }); }
  ~PinnedClock() { SetNowFunction(nullptr); }
};

void BitPicture(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk1g);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) B.SetPixels_lk1g(x, y, ((x / 3) ^ (y / 2)) % 3 != 0 || x > W - 5);
}

std::string Text(TMemoryStream& M) {
  const Bytes b = BytesOf(M);
  return std::string(b.begin(), b.end());
}

size_t Count(const std::string& Text, const std::string& What) {
  size_t n = 0;
  for (size_t p = Text.find(What); p != std::string::npos; p = Text.find(What, p + 1)) ++n;
  return n;
}

TEST(PostScriptWriter, WritesTheHeaderAndAOneBitPage) {
  PinnedClock clock;
  TLKBitmap b;
  BitPicture(b, 595, 421);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream ms;
  LKPostScriptSaveOneStep(&ms, &b, p, pr.rec);
  EXPECT_FALSE(pr.Aborted());
  const std::string t = Text(ms);
  EXPECT_EQ(t.substr(0, t.find("%%Page: ")),
            "%!PS-Adobe-3.0\r\n%%Creator: Lumerak by Ostrovane\r\n%%Title: No Title\r\n"
            "%%CreationDate: Tue Mar 05 07:08:09 2024\r\n%%DocumentData: Clean7Bit\r\n%%LanguageLevel: 2\r\n"
            "%%Pages: 1     \r\n%%BoundingBox: 0 0 594 841\r\n%%EndComments\r\n%%BeginProlog\r\n10 dict begin\r\n"
            "%%EndProlog\r\n");
  EXPECT_NE(t.find("%%Page: 1 1\r\n0 842 translate\r\n595 -421 scale\r\n595 421 1\r\n[ 595 0 0 421 0 0 ]\r\n"
                   "currentfile /ASCII85Decode filter << /K -1 /BlackIs1 true /Columns 595 /Rows 421 /EndOfLine false "
                   "/Uncompressed true /EncodedByteAlign false /EndOfBlock false >> /CCITTFaxDecode filter\r\n"
                   "%%BeginData:      "),
            std::string::npos);
  // The count of the data line is the number of ASCII85 characters.
  const size_t at = t.find("%%BeginData:      ") + 18;
  const size_t data = t.find("image\r\n", at) + 7, end = t.find("~>", data);
  std::string chars = t.substr(data, end - data);
  std::erase(chars, '\r');
  std::erase(chars, '\n');
  EXPECT_EQ(std::stoul(t.substr(at)), chars.size());
  EXPECT_EQ(t.substr(end), "~>\r\n%%EndData\r\nshowpage\r\n%%Trailer\r\nend\r\n%%EOF\r\n");
}

TEST(PostScriptWriter, CountsPagesInTheHeaderAndFollowsTheCompression) {
  TLKBitmap bits, colour;
  BitPicture(bits, 40, 30);
  MakePicture(colour, 21, 5);
  TIOParamsVals p;
  p.PS_COMPRESSION = ioPS_RLE;
  p.BITSPERSAMPLE = 1;  // a stale value: the page says what the bitmap is
  Progress pr;
  TMemoryStream ms;
  TLKPSDocument* d = LKPostScriptCreate(&ms, p);
  LKPostScriptSave(d, &ms, &colour, p, pr.rec);
  LKPostScriptSave(d, &ms, &bits, p, pr.rec);
  p.PS_COMPRESSION = ioPS_JPEG;
  LKPostScriptSave(d, &ms, &bits, p, pr.rec);
  LKPostScriptClose(d, &ms);
  EXPECT_FALSE(pr.Aborted());
  const std::string t = Text(ms);
  EXPECT_NE(t.find("%%Pages: 3     \r\n"), std::string::npos);
  for (const char* page : {"%%Page: 1 1\r\n", "%%Page: 2 2\r\n", "%%Page: 3 3\r\n"})
    EXPECT_EQ(Count(t, page), 1u) << page;
  const std::string p1 = t.substr(t.find("%%Page: 1 1"), t.find("%%Page: 2 2") - t.find("%%Page: 1 1"));
  EXPECT_NE(p1.find("21 5 8\r\n[ 21 0 0 5 0 0 ]\r\n/rstr 21 string def\r\n/gstr 21 string def\r\n"
                    "/bstr 21 string def\r\n{currentfile /ASCII85Decode filter /RunLengthDecode filter rstr readstring "
                    "pop}\r\n"),
            std::string::npos);
  EXPECT_EQ(Count(p1, "~>"), 15u);  // three blocks per row
  EXPECT_NE(t.find("currentfile /ASCII85Decode filter /RunLengthDecode filter\r\n%%BeginData"), std::string::npos);
  // JPEG cannot hold a 1-bit page: Group 3, and the parameters say so.
  EXPECT_NE(t.find("<< /K 1 /BlackIs1 true /Columns 40 /Rows 30"), std::string::npos);
  EXPECT_EQ(p.PS_COMPRESSION, ioPS_G3FAX2D);
  EXPECT_EQ(t.substr(t.size() - 33), "showpage\r\n%%Trailer\r\nend\r\n%%EOF\r\n");
}

TEST(PDFWriter, WritesOnePageAsSevenObjects) {
  PinnedClock clock;
  TLKBitmap b;
  BitPicture(b, 595, 421);
  TIOParamsVals p;
  p.PDF_COMPRESSION = ioPDF_UNCOMPRESSED;
  Progress pr;
  TMemoryStream ms;
  LKPDFSaveOneStep(&ms, &b, p, pr.rec);
  EXPECT_FALSE(pr.Aborted());
  const std::string t = Text(ms);
  EXPECT_NE(t.find("1 0 obj\n<< /Type /Catalog\n/Pages 6 0 R\n>>\nendobj\n"), std::string::npos);
  EXPECT_NE(t.find("2 0 obj\n<< /ProcSet [/PDF /ImageB ]\n/XObject << /lm1 3 0 R\n>>\n>>\nendobj\n"),
            std::string::npos);
  EXPECT_NE(t.find("3 0 obj\n<< /Type /XObject\n/Subtype /Image\n/Length " + std::to_string(75 * 421) +
                   "\n/ColorSpace /DeviceGray\n/BitsPerComponent 1\n/Width 595\n/Height 421\n>>\nstream\n"),
            std::string::npos);
  EXPECT_NE(t.find("4 0 obj\n<< /Length 32\n>>\nstream\nq\n595 0 0 421 0 421 cm\n/lm1 Do\nQ\nendstream\nendobj\n"),
            std::string::npos);
  EXPECT_NE(t.find("5 0 obj\n<< /Type /Page\n/Resources 2 0 R\n/MediaBox [0 0 595 842 ]\n/Contents 4 0 R\n"
                   "/Parent 6 0 R\n>>\nendobj\n"),
            std::string::npos);
  EXPECT_NE(t.find("6 0 obj\n<< /Type /Pages\n/Kids [5 0 R ]\n/Count 1\n>>\nendobj\n"), std::string::npos);
  EXPECT_NE(t.find("7 0 obj\n<< /CreationDate (D:20240305070809)\n>>\nendobj\nxref\n0 8\n"), std::string::npos);
  EXPECT_NE(t.find("trailer\n<< /Size 8\n/Root 1 0 R\n/Info 7 0 R\n>>\nstartxref\n"), std::string::npos);
  // Every cross-reference entry points at its object's line.
  const size_t x = t.find("xref\n0 8\n0000000000 65535 f \n") + 29;
  for (int i = 1; i <= 7; ++i) {
    const size_t pos = std::stoul(t.substr(x + size_t(i - 1) * 20, 10));
    EXPECT_EQ(t.substr(pos, 8), std::to_string(i) + " 0 obj\n") << i;
  }
}

TEST(PDFWriter, ChoosesFiltersAndColourSpacesByPictureAndCompression) {
  TLKBitmap bits, colour;
  BitPicture(bits, 30, 20);
  MakePicture(colour, 30, 20);
  struct Case {
    TIOPDFCompression Compression;
    bool Bits;
    const char* Expect;
  } cases[] = {
      {ioPDF_RLE, true, "/Filter [/RunLengthDecode ]\n/ColorSpace /DeviceGray"},
      {ioPDF_G4FAX, true,
       "/Filter /CCITTFaxDecode\n/DecodeParms << /K -1\n/BlackIs1 true\n/Columns 30\n/Rows 20\n/EndOfLine false\n"
       "/Uncompressed true\n/EncodedByteAlign false\n/EndOfBlock false\n>>\n/ColorSpace /DeviceGray\n"},
      {ioPDF_LZW, true, "/Filter /LZWDecode\n/ColorSpace /DeviceGray\n/BitsPerComponent 1"},
      {ioPDF_RLE, false, "/Length 1800\n/ColorSpace /DeviceRGB\n/BitsPerComponent 8"},
      {ioPDF_G3FAX2D, false, "/Length 1800\n/ColorSpace /DeviceRGB"},
      {ioPDF_JPEG, false, "/Filter /DCTDecode\n/ColorSpace /DeviceRGB\n"},
      {ioPDF_LZW, false, "/Filter /LZWDecode\n/ColorSpace /DeviceRGB\n"},
  };
  for (const auto& c : cases) {
    TIOParamsVals p;
    p.PDF_COMPRESSION = c.Compression;
    Progress pr;
    TMemoryStream ms;
    LKPDFSaveOneStep(&ms, c.Bits ? &bits : &colour, p, pr.rec);
    EXPECT_NE(Text(ms).find(c.Expect), std::string::npos) << c.Expect;
  }
  // A grey JPEG page says so.
  TIOParamsVals p;
  p.PDF_COMPRESSION = ioPDF_JPEG;
  p.JPEG_COLORSPACE = ioJPEG_GRAYLEV;
  Progress pr;
  TMemoryStream ms;
  LKPDFSaveOneStep(&ms, &colour, p, pr.rec);
  EXPECT_NE(Text(ms).find("/Filter /DCTDecode\n/ColorSpace /DeviceGray\n"), std::string::npos);
}

TEST(PDFWriter, SharesResourcesAndKeepsTheFaxChangeForLaterPages) {
  TLKBitmap bits, colour;
  BitPicture(bits, 16, 8);
  MakePicture(colour, 10, 10);
  TIOParamsVals p;
  p.PDF_COMPRESSION = ioPDF_JPEG;
  p.PDF_TITLE = "T(1)";
  Progress pr;
  TLKPDFDocument* d = LKPDFCreate(p);
  LKPDFSave(d, &bits, p, pr.rec);
  EXPECT_EQ(p.PDF_COMPRESSION, ioPDF_G3FAX2D);
  LKPDFSave(d, &colour, p, pr.rec);
  TMemoryStream ms;
  LKPDFClose(d, &ms, p);
  LKPDFClose(nullptr, &ms, p);
  const std::string t = Text(ms);
  EXPECT_NE(t.find("/K 1\n"), std::string::npos);
  EXPECT_NE(t.find("2 0 obj\n<< /ProcSet [/PDF /ImageB ]\n/XObject << /lm1 3 0 R\n/lm2 6 0 R\n>>\n>>"),
            std::string::npos);
  EXPECT_EQ(Count(t, "/Resources 2 0 R\n"), 2u);
  EXPECT_NE(t.find("/Kids [5 0 R 8 0 R ]\n/Count 2"), std::string::npos);
  EXPECT_NE(t.find("<< /Title (T\\(1\\))\n/CreationDate (D:"), std::string::npos);
  EXPECT_NE(t.find("/Length 300\n/ColorSpace /DeviceRGB"), std::string::npos);  // the colour page: uncompressed
}

TEST(Writers, RefuseAPictureWithoutPixels) {
  TLKBitmap empty;
  TIOParamsVals p;
  for (int k = 0; k < 2; ++k) {
    Progress pr;
    TMemoryStream ms;
    if (k == 0) LKPDFSaveOneStep(&ms, &empty, p, pr.rec);
    else LKPostScriptSaveOneStep(&ms, &empty, p, pr.rec);
    EXPECT_TRUE(pr.Aborted()) << k;
  }
}

// ---------------------------------------------------------------------------
// Peers: every compression accepted and rendered back to our picture. The
// paper is the picture's size, so 72 dpi renders one pixel per sample.

struct PeerCase {
  const char* Name;
  bool Bits;
  Integer Compression;  // TIOPDFCompression or TIOPSCompression
  Integer Tolerance;
};

Bytes Expected(TLKBitmap& B) { return RGBAOf(B); }

// A smooth colour picture (JPEG keeps it within a few levels).
void SmoothPicture(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      row[3 * x] = Byte(128 + x - y);
      row[3 * x + 1] = Byte(y * 5);
      row[3 * x + 2] = Byte(x * 4);
    }
  }
}

// pdftoppm blends neighbouring samples at one pixel per sample, so it
// renders four pixels per sample and the centre of each block is taken.
Bytes BlockCentres(const Bytes& RGBA, Integer W, Integer H, Integer Factor) {
  Bytes out;
  for (Integer y = 0; y < H / Factor; ++y)
    for (Integer x = 0; x < W / Factor; ++x) {
      const size_t at = (size_t(y * Factor + Factor / 2) * size_t(W) + size_t(x * Factor + Factor / 2)) * 4;
      out.insert(out.end(), RGBA.begin() + std::ptrdiff_t(at), RGBA.begin() + std::ptrdiff_t(at + 4));
    }
  return out;
}

TEST(PDFWriter, PeersAcceptAndRenderEveryCompression) {
  if (!filekit::HaveTool("qpdf") || !filekit::HaveTool("pdftoppm") || !filekit::HaveTool("gs"))
    GTEST_SKIP() << "qpdf, pdftoppm or gs missing";
  filekit::TempDir dir("lkpdf");
  TLKBitmap bits, colour;
  BitPicture(bits, 64, 48);
  SmoothPicture(colour, 64, 48);
  const PeerCase cases[] = {
      {"1-bit none", true, ioPDF_UNCOMPRESSED, 0}, {"1-bit RLE", true, ioPDF_RLE, 0},
      {"1-bit G4", true, ioPDF_G4FAX, 0},          {"1-bit G3", true, ioPDF_G3FAX2D, 0},
      {"1-bit LZW", true, ioPDF_LZW, 0},           {"colour none", false, ioPDF_UNCOMPRESSED, 0},
      {"colour JPEG", false, ioPDF_JPEG, 12},      {"colour LZW", false, ioPDF_LZW, 0},
  };
  // One page per case in one document, so each peer runs once.
  const std::string file = dir / "p.pdf";
  {
    TIOParamsVals p;
    p.PDF_PAPERWIDTH = 64;
    p.PDF_PAPERHEIGHT = 48;
    Progress pr;
    TLKPDFDocument* d = LKPDFCreate(p);
    for (const auto& c : cases) {
      p.PDF_COMPRESSION = TIOPDFCompression(c.Compression);
      LKPDFSave(d, c.Bits ? &bits : &colour, p, pr.rec);
    }
    TFileStream fs(file, fmCreate);
    LKPDFClose(d, &fs, p);
    EXPECT_FALSE(pr.Aborted());
  }
  EXPECT_TRUE(codeckit::Run("qpdf --check '" + file + "'"));
  EXPECT_TRUE(codeckit::Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + file + "'"));
  ASSERT_TRUE(codeckit::Run("pdftoppm -r 288 '" + file + "' '" + (dir / "r") + "'"));
  ASSERT_TRUE(codeckit::Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -o '" + (dir / "g-%d.ppm") + "' '" +
                            file + "'"));
  Integer page = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ++page;
    const Bytes want = Expected(c.Bits ? bits : colour);
    Integer w = 0, h = 0;
    Bytes got = ParsePNM(filekit::LoadFile(dir / ("r-" + std::to_string(page) + ".ppm")), w, h);
    ASSERT_EQ(w, 256);
    ASSERT_EQ(h, 192);
    EXPECT_EQ(Differences(want, BlockCentres(got, w, h, 4), c.Tolerance, false), 0) << "pdftoppm";
    got = ParsePNM(filekit::LoadFile(dir / ("g-" + std::to_string(page) + ".ppm")), w, h);
    ASSERT_EQ(w, 64);
    EXPECT_EQ(Differences(want, got, c.Tolerance, false), 0) << "gs";
  }
}

TEST(PostScriptWriter, GhostscriptRendersEveryCompression) {
  if (!filekit::HaveTool("gs")) GTEST_SKIP() << "gs missing";
  filekit::TempDir dir("lkps");
  TLKBitmap bits, colour;
  BitPicture(bits, 64, 48);
  SmoothPicture(colour, 64, 48);
  const PeerCase cases[] = {
      {"1-bit RLE", true, ioPS_RLE, 0},       {"1-bit G4", true, ioPS_G4FAX, 0},
      {"1-bit G3", true, ioPS_G3FAX2D, 0},    {"colour RLE", false, ioPS_RLE, 0},
      {"colour JPEG", false, ioPS_JPEG, 12},
  };
  const std::string file = dir / "p.ps";
  {
    TIOParamsVals p;
    p.PS_PAPERWIDTH = 64;
    p.PS_PAPERHEIGHT = 48;
    Progress pr;
    TFileStream fs(file, fmCreate);
    TLKPSDocument* d = LKPostScriptCreate(&fs, p);
    for (const auto& c : cases) {
      p.PS_COMPRESSION = TIOPSCompression(c.Compression);
      LKPostScriptSave(d, &fs, c.Bits ? &bits : &colour, p, pr.rec);
    }
    LKPostScriptClose(d, &fs);
    EXPECT_FALSE(pr.Aborted());
  }
  EXPECT_TRUE(codeckit::Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=nullpage '" + file + "'"));
  ASSERT_TRUE(codeckit::Run("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r72 -g64x48 -o '" + (dir / "g-%d.ppm") +
                            "' '" + file + "'"));
  Integer page = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ++page;
    Integer w = 0, h = 0;
    const Bytes got = ParsePNM(filekit::LoadFile(dir / ("g-" + std::to_string(page) + ".ppm")), w, h);
    ASSERT_EQ(w, 64);
    ASSERT_EQ(h, 48);
    EXPECT_EQ(Differences(Expected(c.Bits ? bits : colour), got, c.Tolerance, false), 0);
  }
}

}  // namespace
