// Metadata injection into JPEG streams, the quality estimate and the EXIF
// and XMP blocks of APP1 markers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/jpeg/jpegxform.h"
#include "codecs/tiff/tifwrite_exif.h"
#include "core/lkbitmap.h"
#include "io/lkexif.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<Byte>;

Bytes StreamBytes(TMemoryStream& ms) {
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  return Bytes(p, p + ms.GetSize());
}

// A small colour picture through the JPEG writer, with Markers in the
// parameters (written after the writer's own JFIF header, sorted by code).
Bytes MakeJpeg(const std::vector<std::pair<Byte, std::string>>& Markers, Integer Quality = 80,
               Integer W = 40, Integer H = 30) {
  TLKBitmap bmp(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) row[x] = TRGB{Byte(x * 6), Byte(y * 8), Byte((x ^ y) * 4)};
  }
  TIOParamsVals params;
  params.JPEG_QUALITY = Quality;
  for (const auto& m : Markers)
    params.JPEG_Markers.AddMarker(m.first, m.second.data(), static_cast<Integer>(m.second.size()));
  TMemoryStream ms;
  TProgressRec pr;
  WriteJPegStream(&ms, &bmp, params, pr);
  return StreamBytes(ms);
}

struct Segment {
  int code;
  std::string payload;
};

// Header segments before the first scan, in order.
std::vector<Segment> Segments(const Bytes& d) {
  std::vector<Segment> out;
  std::size_t i = 2;
  while (i + 4 <= d.size() && d[i] == 0xFF && d[i + 1] != 0xDA) {
    const std::size_t len = (d[i + 2] << 8) | d[i + 3];
    out.push_back({d[i + 1], std::string(reinterpret_cast<const char*>(&d[i + 4]), len - 2)});
    i += 2 + len;
  }
  return out;
}

std::vector<int> Codes(const std::vector<Segment>& s) {
  std::vector<int> c;
  for (const Segment& x : s) c.push_back(x.code);
  return c;
}

// Everything from the first scan on (the picture data).
Bytes ScanData(const Bytes& d) {
  std::size_t i = 2;
  while (i + 4 <= d.size() && d[i] == 0xFF && d[i + 1] != 0xDA) i += 2 + ((d[i + 2] << 8) | d[i + 3]);
  return Bytes(d.begin() + static_cast<long>(i), d.end());
}

// Removes the first segment with Code.
Bytes WithoutSegment(Bytes d, int Code) {
  std::size_t i = 2;
  while (i + 4 <= d.size() && d[i] == 0xFF) {
    const std::size_t len = (d[i + 2] << 8) | d[i + 3];
    if (d[i + 1] == Code) {
      d.erase(d.begin() + static_cast<long>(i), d.begin() + static_cast<long>(i + 2 + len));
      return d;
    }
    i += 2 + len;
  }
  return d;
}

struct InjectResult {
  bool ok = false;
  Bytes out;
  std::vector<Integer> reports;
};

InjectResult InjectIPTC(const Bytes& in, const TLKIPTCInfoList& list) {
  TMemoryStream src, dst;
  src.Write(in.data(), static_cast<Integer>(in.size()));
  src.SetPosition(0);
  InjectResult r;
  TProgressRec pr;
  pr.OnProgress = [&](TObject*, Integer p) { r.reports.push_back(p); };
  r.ok = LKJpegInjectIPTC(&src, &dst, list, pr);
  r.out = StreamBytes(dst);
  return r;
}

InjectResult InjectEXIF(const Bytes& in, TIOParamsVals& params) {
  TMemoryStream src, dst;
  src.Write(in.data(), static_cast<Integer>(in.size()));
  src.SetPosition(0);
  InjectResult r;
  TProgressRec pr;
  r.ok = LKJpegInjectEXIF(&src, &dst, params, pr);
  r.out = StreamBytes(dst);
  return r;
}

const std::string kExifApp1 = std::string("Exif\0\0II*\0\x08\0\0\0\0\0\0\0\0\0", 20);
const std::string kXmpApp1 = std::string("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>", 41);
const std::string kOldIptc = std::string("Photoshop 3.0\0old", 17);

// ---- IPTC injection

TEST(JpegInjectIPTC, PlacesOneBlockAndKeepsEverythingElse) {
  TLKIPTCInfoList list;
  list.AddStringItem(2, 120, "caption");
  const std::string block = [&] {
    const Bytes b = list.SaveToStandardBuffer(true);
    return std::string(b.begin(), b.end());
  }();
  const Bytes withApp0 = MakeJpeg({{0xE1, kExifApp1}, {0xED, kOldIptc}, {0xFE, "note"}});
  const struct {
    const char* name;
    Bytes in;
    std::vector<int> codes;  // header segments before the tables
  } cases[] = {
      // Right after the APP0; the old APP13 is dropped.
      {"after APP0", withApp0, {0xE0, 0xED, 0xE1, 0xFE}},
      // Without APP0: right after the first APP1.
      {"after APP1", WithoutSegment(withApp0, 0xE0), {0xE1, 0xED, 0xFE}},
      // Without APP0 and APP1: in place of the old APP13.
      {"in place of APP13", WithoutSegment(WithoutSegment(withApp0, 0xE0), 0xE1), {0xED, 0xFE}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const InjectResult r = InjectIPTC(c.in, list);
    EXPECT_TRUE(r.ok);
    std::vector<Segment> segs = Segments(r.out);
    std::vector<int> codes = Codes(segs);
    codes.resize(std::min(codes.size(), c.codes.size()));
    EXPECT_EQ(codes, c.codes);
    int iptcCount = 0;
    for (const Segment& s : segs)
      if (s.code == 0xED) {
        ++iptcCount;
        EXPECT_EQ(s.payload, block);
      }
    EXPECT_EQ(iptcCount, 1);
    // The picture itself is copied byte for byte.
    EXPECT_TRUE(ScanData(r.out) == ScanData(c.in));
    ASSERT_FALSE(r.reports.empty());
    EXPECT_TRUE(std::is_sorted(r.reports.begin(), r.reports.end()));
    EXPECT_LE(r.reports.back(), 100);
  }
}

TEST(JpegInjectIPTC, RefusalsAndEmptyList) {
  const Bytes in = MakeJpeg({{0xED, kOldIptc}});
  // An empty list removes the old block and still counts as placed.
  TLKIPTCInfoList empty;
  const InjectResult cleared = InjectIPTC(in, empty);
  EXPECT_TRUE(cleared.ok);
  EXPECT_EQ(Codes(Segments(cleared.out)).front(), 0xE0);
  for (const Segment& s : Segments(cleared.out)) EXPECT_NE(s.code, 0xED);

  // A block longer than one marker can hold is refused, not wrapped.
  TLKIPTCInfoList big;
  big.AddStringItem(2, 120, std::string(70000, 'x'));
  EXPECT_FALSE(InjectIPTC(in, big).ok);

  // A byte after FF that starts no marker stops the copy.
  TLKIPTCInfoList list;
  list.AddStringItem(2, 5, "t");
  Bytes bad = in;
  bad.insert(bad.begin() + 2, {0xFF, 0x05});
  EXPECT_FALSE(InjectIPTC(bad, list).ok);
  // A segment cut short by the end of the input.
  EXPECT_FALSE(InjectIPTC(Bytes(in.begin(), in.begin() + 30), list).ok);
  // Nowhere to place the block.
  EXPECT_FALSE(InjectIPTC(WithoutSegment(WithoutSegment(in, 0xE0), 0xED), list).ok);
}

// ---- EXIF injection

TEST(JpegInjectEXIF, ReplacesEveryApp1WithOneExifBlock) {
  TIOParamsVals params;
  params.EXIF_HASEXIF = true;
  params.EXIF_MAKE = "Velmoran Test";
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(params, block);
  const std::string want(block.begin(), block.end());

  const Bytes withApp0 = MakeJpeg({{0xE1, kExifApp1}, {0xE1, kXmpApp1}, {0xED, kOldIptc}});
  const struct {
    const char* name;
    Bytes in;
    std::vector<int> codes;
  } cases[] = {
      {"after APP0", withApp0, {0xE0, 0xE1, 0xED}},
      {"in place of the first APP1", WithoutSegment(withApp0, 0xE0), {0xE1, 0xED}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const InjectResult r = InjectEXIF(c.in, params);
    EXPECT_TRUE(r.ok);
    const std::vector<Segment> segs = Segments(r.out);
    std::vector<int> codes = Codes(segs);
    codes.resize(std::min(codes.size(), c.codes.size()));
    EXPECT_EQ(codes, c.codes);
    int app1 = 0;
    for (const Segment& s : segs)
      if (s.code == 0xE1) {
        ++app1;
        EXPECT_EQ(s.payload, want);
      }
    EXPECT_EQ(app1, 1);
    EXPECT_TRUE(ScanData(r.out) == ScanData(c.in));
  }
}

TEST(JpegInjectEXIF, OversizeBlockIsRefused) {
  TIOParamsVals params;
  params.EXIF_HASEXIF = true;
  params.EXIF_USERCOMMENT = std::string(70000, 'c');
  EXPECT_FALSE(InjectEXIF(MakeJpeg({}), params).ok);
}

// ---- quality estimate

std::vector<Integer> Quality(const Bytes& d, Integer* count) {
  TMemoryStream ms;
  if (!d.empty()) ms.Write(d.data(), static_cast<Integer>(d.size()));
  ms.SetPosition(0);
  std::vector<Integer> q;
  *count = LKGetJpegQuality(&ms, q);
  EXPECT_EQ(q.size(), static_cast<std::size_t>(LKJpegQualityMax));
  return q;
}

TEST(JpegQuality, EstimatesTheWriterQuality) {
  for (Integer quality : {100, 95, 75, 50, 25}) {
    Integer n = 0;
    const std::vector<Integer> q = Quality(MakeJpeg({}, quality), &n);
    ASSERT_EQ(n, 2) << quality;
    EXPECT_EQ(q[0], quality);
    EXPECT_EQ(q[1], quality);
  }
}

TEST(JpegQuality, FilesOfTheCommandLineEncoder) {
  if (std::system("command -v cjpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "cjpeg missing";
  const fs::path dir = fs::temp_directory_path() / ("lkquality_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string ppm = (dir / "q.ppm").string(), jpg = (dir / "q.jpg").string();
  {
    std::ofstream f(ppm, std::ios::binary);
    f << "P6\n16 16\n255\n" << std::string(16 * 16 * 3, '\x80');
  }
  const struct {
    const char* args;
    Integer count, quality;
  } cases[] = {{"-quality 90", 2, 90}, {"-quality 60", 2, 60}, {"-quality 10", 2, 10},
               {"-grayscale -quality 80", 1, 80}};
  for (const auto& c : cases) {
    ASSERT_EQ(std::system(("cjpeg " + std::string(c.args) + " -outfile " + jpg + " " + ppm).c_str()), 0);
    std::ifstream f(jpg, std::ios::binary);
    const Bytes d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Integer n = 0;
    const std::vector<Integer> q = Quality(d, &n);
    EXPECT_EQ(n, c.count) << c.args;
    for (Integer i = 0; i < n; ++i) EXPECT_EQ(q[static_cast<std::size_t>(i)], c.quality) << c.args;
  }
  fs::remove_all(dir);
}

TEST(JpegQuality, StreamsWithoutUsableTables) {
  const Bytes jpeg = MakeJpeg({});
  std::size_t dqt = 0;
  while (!(jpeg[dqt] == 0xFF && jpeg[dqt + 1] == 0xDB)) ++dqt;
  const struct {
    const char* name;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"no JPEG", Bytes(500, 0x11)},
      {"cut inside the first table", Bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(dqt) + 30)},
      {"end of image before any table", {0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xDB, 0x00, 0x43, 0x00}},
  };
  for (const auto& c : cases) {
    Integer n = -1;
    Quality(c.data, &n);
    EXPECT_EQ(n, 0) << c.name;
  }
}

// ---- EXIF block

// One parsed directory entry.
struct Entry {
  int type;
  uint32_t count, value;
};

struct Tiff {
  Bytes d;  // the TIFF, without the "Exif" prefix
  uint32_t U32(std::size_t at) const {
    return at + 4 <= d.size() ? d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24 : 0;
  }
  unsigned U16(std::size_t at) const { return at + 2 <= d.size() ? d[at] | d[at + 1] << 8 : 0; }
  std::map<int, Entry> Dir(uint32_t at, uint32_t* next = nullptr) const {
    std::map<int, Entry> m;
    const unsigned n = U16(at);
    int lastTag = -1;
    for (unsigned i = 0; i < n; ++i) {
      const std::size_t e = at + 2 + 12 * i;
      const int tag = static_cast<int>(U16(e));
      EXPECT_GT(tag, lastTag) << "entries sorted by tag";
      lastTag = tag;
      m[tag] = {static_cast<int>(U16(e + 2)), U32(e + 4), U32(e + 8)};
    }
    if (next) *next = U32(at + 2 + 12 * n);
    return m;
  }
  std::string Text(const Entry& e) const {
    if (e.count <= 4) return std::string(reinterpret_cast<const char*>(&e.value), e.count);
    return std::string(reinterpret_cast<const char*>(&d[e.value]), e.count - 1);
  }
};

Tiff ExifTiff(TIOParamsVals& params) {
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(params, block);
  EXPECT_GE(block.size(), 14u);
  EXPECT_EQ(std::memcmp(block.data(), "Exif\0\0II*\0", 10), 0);
  Tiff t;
  t.d.assign(block.begin() + 6, block.end());
  return t;
}

TEST(ExifBlock, DirectoriesCarryTheRecord) {
  TIOParamsVals params;
  params.EXIF_HASEXIF = true;
  params.EXIF_MAKE = "Abcd";
  params.EXIF_MODEL = "Model with a long name";
  params.TIFF_ORIENTATION = 6;
  params.EXIF_XRESOLUTION = 72.9;
  params.EXIF_EXPOSURETIME = 0.004;
  params.EXIF_EXPOSUREBIASVALUE = -0.5;
  params.EXIF_EXPOSUREMODE = 0;
  params.EXIF_EXIFIMAGEWIDTH = 70000;
  params.EXIF_EXIFVERSION = "0230";
  params.EXIF_USERCOMMENT = "hello";
  params.EXIF_XPTitle = u"T\u00e9";
  const Tiff t = ExifTiff(params);
  ASSERT_EQ(t.U16(2), 42u);
  uint32_t next = 1;
  auto main = t.Dir(t.U32(4), &next);
  EXPECT_EQ(next, 0u);  // no thumbnail: one page
  EXPECT_EQ(t.U32(4) % 2, 0u);
  EXPECT_EQ(t.Text(main.at(271)), "Abcd");
  EXPECT_EQ(t.Text(main.at(271)).size(), 4u);
  EXPECT_EQ(t.Text(main.at(272)), "Model with a long name");
  EXPECT_EQ(main.at(274).value, 6u);
  EXPECT_EQ(t.U32(main.at(282).value), 72u);  // truncated
  EXPECT_EQ(t.U32(main.at(282).value + 4), 1u);
  EXPECT_EQ(main.at(40091).count, 6u);  // two characters and a zero one, UTF-16
  EXPECT_EQ(main.at(40091).type, 1);
  EXPECT_EQ(main.count(34853), 0u);  // no GPS version: no GPS directory

  auto exif = t.Dir(main.at(34665).value);
  EXPECT_EQ(t.U32(exif.at(33434).value), 4000u);
  EXPECT_EQ(t.U32(exif.at(33434).value + 4), 1000000u);
  EXPECT_EQ(exif.at(37380).type, 10);  // signed rational
  EXPECT_EQ(static_cast<int32_t>(t.U32(exif.at(37380).value)), -500000);
  EXPECT_EQ(exif.at(41986).value, 0u);  // exposure mode 0 is written
  EXPECT_EQ(exif.count(41987), 0u);     // white balance -1 is absent
  EXPECT_EQ(exif.at(40962).type, 4);    // a width above 65535 needs a LONG
  EXPECT_EQ(exif.at(40962).value, 70000u);
  EXPECT_EQ(exif.at(36864).type, 7);
  EXPECT_EQ(t.Text(exif.at(36864)), "0230");
  const Entry& uc = exif.at(37510);
  EXPECT_EQ(uc.count, 13u);  // eight bytes of character code, then the text
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&t.d[uc.value + 8]), 5), "hello");
}

TEST(ExifBlock, GpsDirectoryAndThumbnailPage) {
  TIOParamsVals params;
  params.EXIF_HASEXIF = true;
  params.EXIF_GPSVERSIONID = std::string("\x02\x02\x00\x00", 4);
  params.EXIF_GPSLATITUDEREF = "N";
  params.EXIF_GPSLATITUDEDEGREES = 45;
  params.EXIF_GPSLATITUDEMINUTES = 30;
  params.EXIF_GPSLATITUDESECONDS = 12.25;
  TLKBitmap* thumb = params.GetEXIF_ThumbnailImage();
  thumb->Allocate(32, 24, lk24RGB);
  const Tiff t = ExifTiff(params);
  uint32_t next = 0;
  auto main = t.Dir(t.U32(4), &next);
  auto gps = t.Dir(main.at(34853).value);
  EXPECT_EQ(gps.at(0).type, 1);
  EXPECT_EQ(gps.at(0).count, 4u);
  EXPECT_EQ(gps.at(0).value, 0x0202u);
  EXPECT_EQ(t.Text(gps.at(1)), String("N\0", 2));  // ASCII values end with their zero
  EXPECT_EQ(gps.count(3), 0u);  // an empty reference is left out
  const uint32_t lat = gps.at(2).value;
  EXPECT_EQ(t.U32(lat + 16) / static_cast<double>(t.U32(lat + 20)), 12.25);

  // Page 2: the thumbnail as an old-style JPEG page.
  ASSERT_NE(next, 0u);
  EXPECT_EQ(next % 2, 0u);
  uint32_t last = 1;
  auto page = t.Dir(next, &last);
  EXPECT_EQ(last, 0u);
  EXPECT_EQ(page.at(259).value, 6u);
  EXPECT_EQ(page.at(256).value, 32u);
  const uint32_t at = page.at(513).value, len = page.at(514).value;
  ASSERT_LE(at + len, t.d.size());
  EXPECT_EQ(page.at(273).value + page.at(279).value, at + len);  // the strip is the scan data
  TMemoryStream ms;
  ms.Write(&t.d[at], static_cast<Integer>(len));
  ms.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TLKBitmap back;
  TIOParamsVals rp;
  ReadJPegStream(&ms, nullptr, &back, rp, pr, false, false, false, false, false, false, -1);
  EXPECT_FALSE(abort.load());
  EXPECT_EQ(back.GetWidth(), 32);
  EXPECT_EQ(back.GetHeight(), 24);
}

TEST(ExifBlock, WithoutExifOnlyDescriptionAndResolution) {
  TIOParamsVals params;
  params.TIFF_IMAGEDESCRIPTION = "desc";
  params.DPIX = 150;
  params.DPIY = 75;
  params.EXIF_MAKE = "ignored";
  const Tiff t = ExifTiff(params);
  auto main = t.Dir(t.U32(4));
  EXPECT_EQ(main.size(), 4u);
  EXPECT_EQ(t.Text(main.at(270)), "desc");
  EXPECT_EQ(t.U32(main.at(283).value), 75u);
  EXPECT_EQ(main.at(296).value, 2u);
}

TEST(ExifBlock, RationalsFromReals) {
  const struct {
    double value;
    Integer num, den;
  } cases[] = {{0.004, 4000, 1000000}, {3000.5, 300050000, 100000}, {-2.5, -2500000, 1000000},
               {0, 0, 1000000}, {5e12, 2147483640, 1}};
  for (const auto& c : cases) {
    Integer den = 0;
    EXPECT_EQ(TIFFFloatToRational(den, c.value), c.num) << c.value;
    EXPECT_EQ(den, c.den) << c.value;
  }
}

TEST(XmpBlock, IdentifierZeroAndPacket) {
  TIOParamsVals params;
  std::vector<Byte> b;
  LKSaveXMPToJpegTag(params, b);
  ASSERT_EQ(b.size(), 29u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 28), "http://ns.adobe.com/xap/1.0/");
  EXPECT_EQ(b[28], 0);
  params.XMP_INFO = "<x/>";
  LKSaveXMPToJpegTag(params, b);
  EXPECT_EQ(std::string(b.begin() + 29, b.end()), "<x/>");
}

}  // namespace
