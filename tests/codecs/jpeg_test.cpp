// JPEG codec tests: round trips through the writer and the reader, files
// made by the command-line JPEG tools compared pixel by pixel with their own
// decoder, markers, resolution, scaling, the probe, the length scan, the
// decompression wrappers and damaged input.
#include <gtest/gtest.h>

#include "common/icc_fixtures.h"
#include "core/lkicc.h"
#include "io/lkconvertcolor.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/file_kit.h"
#include "codecs/jpeg/jpeg_pvt.h"
#include "codecs/jpeg/jpegfilt.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "io/lkfileformats.h"

namespace fs = std::filesystem;

namespace {

using filekit::Bytes;
using filekit::HaveTool;
using filekit::RunTool;
using filekit::LoadFile;
using filekit::SaveFile;
struct TempDir : filekit::TempDir {
  TempDir() : filekit::TempDir("lkjpeg_") {}
};

// ---- helpers

struct Progress {
  std::atomic<bool> abort{false};
  TProgressRec rec;
  std::vector<Integer> reports;
  Progress() {
    rec.AbortFlag = &abort;
    rec.OnProgress = [this](TObject*, Integer p) { reports.push_back(p); };
  }
};

// A smooth colour picture: gradients compress well and survive JPEG within
// a small tolerance.
void FillPicture(TLKBitmap& bmp, Integer w, Integer h, TLKPixelFormat fmt = lk24RGB) {
  bmp.Allocate(w, h, lk24RGB);
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      row[x] = TRGB{Byte(40 + x * 150 / std::max(1, w - 1)), Byte(60 + y * 120 / std::max(1, h - 1)),
                    Byte(200 - (x + y) * 100 / std::max(1, w + h - 2))};
  }
  if (fmt != lk24RGB) bmp.SetPixelFormat(fmt);
}

Bytes StreamBytes(TMemoryStream& ms) {
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  return Bytes(p, p + ms.GetSize());
}

Bytes WriteJpeg(TLKBitmap& bmp, TIOParamsVals& params) {
  TMemoryStream ms;
  Progress pr;
  WriteJPegStream(&ms, &bmp, params, pr.rec);
  EXPECT_FALSE(pr.abort.load());
  return StreamBytes(ms);
}

struct ReadResult {
  bool aborted = false;
  TLKBitmap bmp;
  TIOParamsVals params;
  std::vector<Integer> reports;
};

void ReadJpeg(const Bytes& data, ReadResult& r, bool paramsOnly = false, Integer maxLines = -1,
              Int64 startAt = 0) {
  TMemoryStream ms;
  if (!data.empty()) ms.Write(data.data(), static_cast<Integer>(data.size()));
  ms.SetPosition(startAt);
  Progress pr;
  ReadJPegStream(&ms, nullptr, &r.bmp, r.params, pr.rec, paramsOnly, false, true, false, false, true, maxLines);
  r.aborted = pr.abort.load();
  r.reports = pr.reports;
}

// Largest difference of any sample between two 24-bit pictures of equal size.
int MaxDiff24(TLKBitmap& a, TLKBitmap& b) {
  EXPECT_EQ(a.GetWidth(), b.GetWidth());
  EXPECT_EQ(a.GetHeight(), b.GetHeight());
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return 999;
  int worst = 0;
  for (Integer y = 0; y < a.GetHeight(); ++y) {
    const Byte* ra = static_cast<const Byte*>(a.GetScanLine(y));
    const Byte* rb = static_cast<const Byte*>(b.GetScanLine(y));
    for (Integer i = 0; i < a.GetWidth() * 3; ++i) worst = std::max(worst, std::abs(int(ra[i]) - int(rb[i])));
  }
  return worst;
}

// Writes a binary PPM of a 24-bit picture (red, green, blue order).
void SavePPM(const std::string& name, TLKBitmap& bmp) {
  std::ofstream f(name, std::ios::binary);
  f << "P6\n" << bmp.GetWidth() << " " << bmp.GetHeight() << "\n255\n";
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    const auto* row = static_cast<const TRGB*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < bmp.GetWidth(); ++x) {
      const char px[3] = {char(row[x].r), char(row[x].g), char(row[x].b)};
      f.write(px, 3);
    }
  }
}

// Loads a binary PGM or PPM into a 24-bit picture; false when it is none.
bool LoadPNM(const std::string& name, TLKBitmap& bmp) {
  Bytes d = LoadFile(name);
  size_t pos = 0;
  auto token = [&]() {
    std::string t;
    while (pos < d.size()) {
      if (d[pos] == '#') {
        while (pos < d.size() && d[pos] != '\n') ++pos;
      } else if (std::isspace(d[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    while (pos < d.size() && !std::isspace(d[pos])) t += char(d[pos++]);
    return t;
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return false;
  const int w = std::stoi(token()), h = std::stoi(token());
  token();
  ++pos;
  const int ch = magic == "P6" ? 3 : 1;
  if (d.size() < pos + size_t(w) * h * ch) return false;
  bmp.Allocate(w, h, lk24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (int x = 0; x < w; ++x) {
      const Byte* s = &d[pos + (size_t(y) * w + x) * ch];
      row[x] = ch == 3 ? TRGB{s[2], s[1], s[0]} : TRGB{s[0], s[0], s[0]};
    }
  }
  return true;
}

// Position of the first marker segment with Code, or -1.
long FindSegment(const Bytes& d, Byte code) {
  size_t i = 2;
  while (i + 4 <= d.size() && d[i] == 0xFF) {
    if (d[i + 1] == code) return long(i);
    if (d[i + 1] == 0xDA) break;
    i += 2 + ((d[i + 2] << 8) | d[i + 3]);
  }
  return -1;
}

Bytes MakeJpeg(Integer w = 32, Integer h = 24, bool progressive = false) {
  TLKBitmap bmp;
  FillPicture(bmp, w, h);
  TIOParamsVals params;
  params.JPEG_PROGRESSIVE = progressive;
  return WriteJpeg(bmp, params);
}

// ---- round trips

struct RoundTripCase {
  const char* name;
  TLKPixelFormat format;
  TIOJPEGColorspace space;
  Integer quality;
  TIOJPEGDctMethod dct;
  bool optimal;
  bool progressive;
  Integer smooth;
  Integer samples;  // expected SAMPLESPERPIXEL
  int tolerance;
};

TEST(JpegCodecTest, RoundTripsWithEveryWriterOption) {
  const RoundTripCase cases[] = {
      {"ycbcr q95", lk24RGB, ioJPEG_YCbCr, 95, ioJPEG_ISLOW, false, false, 0, 3, 8},
      {"ycbcr q40 fast", lk24RGB, ioJPEG_YCbCr, 40, ioJPEG_IFAST, false, false, 0, 3, 30},
      {"float optimal", lk24RGB, ioJPEG_YCbCr, 90, ioJPEG_FLOAT, true, false, 0, 3, 10},
      {"progressive", lk24RGB, ioJPEG_YCbCr, 90, ioJPEG_ISLOW, false, true, 0, 3, 10},
      {"smoothed", lk24RGB, ioJPEG_YCbCr, 90, ioJPEG_ISLOW, false, false, 50, 3, 16},
      {"rgb coded", lk24RGB, ioJPEG_RGB, 95, ioJPEG_ISLOW, false, false, 0, 3, 6},
      {"cmyk", lk24RGB, ioJPEG_CMYK, 95, ioJPEG_ISLOW, false, false, 0, 4, 10},
      {"ycck", lk24RGB, ioJPEG_YCbCrK, 95, ioJPEG_ISLOW, false, false, 0, 4, 10},
      {"grey from grey", lk8g, ioJPEG_GRAYLEV, 95, ioJPEG_ISLOW, false, false, 0, 1, 4},
      {"grey from colour", lk24RGB, ioJPEG_GRAYLEV, 95, ioJPEG_ISLOW, false, false, 0, 1, 255},
      {"black and white", lk1g, ioJPEG_GRAYLEV, 95, ioJPEG_ISLOW, false, true, 0, 1, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap src;
    FillPicture(src, 37, 29, c.format);
    TIOParamsVals wp;
    wp.JPEG_COLORSPACE = c.space;
    wp.JPEG_QUALITY = c.quality;
    wp.JPEG_DCTMETHOD = c.dct;
    wp.JPEG_OPTIMALHUFFMAN = c.optimal;
    wp.JPEG_PROGRESSIVE = c.progressive;
    wp.JPEG_SMOOTH = c.smooth;
    wp.DPIX = 150;
    wp.DPIY = 72;
    Bytes data = WriteJpeg(src, wp);
    ASSERT_GT(data.size(), 100u);
    ReadResult r;
    ReadJpeg(data, r);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.params.SAMPLESPERPIXEL, c.samples);
    EXPECT_EQ(r.params.BITSPERSAMPLE, 8);
    EXPECT_EQ(r.params.JPEG_COLORSPACE, c.space);
    EXPECT_EQ(r.params.JPEG_PROGRESSIVE, c.progressive);
    // The library writes no JFIF header (no resolution) for RGB and YCCK.
    const bool jfif = c.space != ioJPEG_RGB && c.space != ioJPEG_YCbCrK;
    EXPECT_EQ(r.params.DPIX, jfif ? 150 : 1);
    EXPECT_EQ(r.params.DPIY, jfif ? 72 : 1);
    EXPECT_EQ(r.params.WIDTH, 37);
    EXPECT_EQ(r.params.HEIGHT, 29);
    EXPECT_EQ(r.bmp.GetPixelFormat(), lk24RGB);
    TLKBitmap expect;
    expect.Assign(&src);
    expect.SetPixelFormat(lk24RGB);
    if (c.tolerance < 255) {
      EXPECT_LE(MaxDiff24(expect, r.bmp), c.tolerance);
    }
    // Grey pictures come back with equal channels.
    if (c.samples == 1) {
      const auto* row = static_cast<const TRGB*>(r.bmp.GetScanLine(5));
      EXPECT_TRUE(row[7].r == row[7].g && row[7].g == row[7].b);
    }
  }
}

TEST(JpegCodecTest, NativePixelFormatsAndRowProgress) {
  struct Case {
    TIOJPEGColorspace space;
    TLKPixelFormat native;
  } cases[] = {{ioJPEG_GRAYLEV, lk8g}, {ioJPEG_CMYK, lkCMYK}, {ioJPEG_YCbCrK, lkCMYK}, {ioJPEG_YCbCr, lk24RGB}};
  for (const auto& c : cases) {
    TLKBitmap src;
    FillPicture(src, 20, 10);
    TIOParamsVals wp;
    wp.JPEG_COLORSPACE = c.space;
    Bytes data = WriteJpeg(src, wp);
    ReadResult r;
    r.params.ISNATIVEPIXELFORMAT = true;
    ReadJpeg(data, r);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.bmp.GetPixelFormat(), c.native);
    // One report per row, count * 100 / rows.
    ASSERT_EQ(r.reports.size(), 10u);
    EXPECT_EQ(r.reports[0], 10);
    EXPECT_EQ(r.reports[9], 100);
  }
}

TEST(JpegCodecTest, MaximumLinesLimitsTheRowsDecoded) {
  Bytes data = MakeJpeg(16, 32);
  ReadResult part;
  ReadJpeg(data, part, false, 5);
  EXPECT_FALSE(part.aborted);
  EXPECT_EQ(part.reports.size(), 5u);
  ReadResult beyond;
  ReadJpeg(data, beyond, false, 40);  // more rows asked than the file holds
  EXPECT_TRUE(beyond.aborted);
}

// ---- files made by the tools

// Reads Jpeg with the reader and the tool's decoder (with extra djpeg
// options) and returns the largest sample difference.
int CompareWithDjpeg(TempDir& dir, const std::string& jpeg, const std::string& djpegOpts, TIOParamsVals* params,
                     TLKBitmap* out = nullptr) {
  const std::string pnm = dir / "ref.pnm";
  if (!RunTool("djpeg " + djpegOpts + " -pnm -outfile '" + pnm + "' '" + jpeg + "'")) return -1;
  TLKBitmap ref;
  if (!LoadPNM(pnm, ref)) return -2;
  ReadResult r;
  if (params) r.params.Assign(params);
  ReadJpeg(LoadFile(jpeg), r);
  if (r.aborted) return -3;
  if (params) params->Assign(&r.params);
  if (out) out->Assign(&r.bmp);
  return MaxDiff24(ref, r.bmp);
}

TEST(JpegCodecTest, ToolMadeFilesDecodeLikeTheToolsOwnDecoder) {
  if (!HaveTool("cjpeg") || !HaveTool("djpeg")) {
    GTEST_SKIP() << "cjpeg/djpeg not installed";
  }
  TempDir dir;
  TLKBitmap src;
  FillPicture(src, 61, 43);
  SavePPM(dir / "src.ppm", src);
  struct Case {
    const char* name;
    const char* cjpeg;
    TIOJPEGColorspace space;
    bool progressive;
  } cases[] = {
      {"baseline", "-quality 85", ioJPEG_YCbCr, false},
      {"grey", "-grayscale", ioJPEG_GRAYLEV, false},
      {"rgb", "-rgb", ioJPEG_RGB, false},
      {"progressive", "-progressive -optimize", ioJPEG_YCbCr, true},
      {"restart markers", "-restart 1 -sample 1x1", ioJPEG_YCbCr, false},
      {"arithmetic", "-arithmetic", ioJPEG_YCbCr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string jpg = dir / (std::string(c.name) + ".jpg");
    ASSERT_TRUE(RunTool(std::string("cjpeg ") + c.cjpeg + " -outfile '" + jpg + "' '" + (dir / "src.ppm") + "'"));
    TIOParamsVals params;
    EXPECT_EQ(CompareWithDjpeg(dir, jpg, "", &params), 0);
    EXPECT_EQ(params.JPEG_COLORSPACE, c.space);
    EXPECT_EQ(params.JPEG_PROGRESSIVE, c.progressive);
  }
}

TEST(JpegCodecTest, CmykAndYcckFilesDecodeLikeTheToolsOwnDecoder) {
  if (!HaveTool("djpeg")) {
    GTEST_SKIP() << "djpeg not installed";
  }
  TempDir dir;
  TLKBitmap src;
  FillPicture(src, 40, 24);
  // Our own YCCK and CMYK files, decoded by the independent tool.
  for (TIOJPEGColorspace space : {ioJPEG_YCbCrK, ioJPEG_CMYK}) {
    TIOParamsVals wp;
    wp.JPEG_COLORSPACE = space;
    SaveFile(dir / "ours.jpg", WriteJpeg(src, wp));
    TIOParamsVals params;
    EXPECT_LE(CompareWithDjpeg(dir, dir / "ours.jpg", "", &params), 1);  // integer vs rounded ink product
    EXPECT_EQ(params.JPEG_COLORSPACE, space);
  }
  if (!HaveTool("convert")) {
    GTEST_SKIP() << "convert not installed";
  }
  SavePPM(dir / "src.ppm", src);
  ASSERT_TRUE(RunTool("convert '" + (dir / "src.ppm") + "' -colorspace CMYK -quality 92 '" + (dir / "cmyk.jpg") + "'"));
  TIOParamsVals params;
  EXPECT_LE(CompareWithDjpeg(dir, dir / "cmyk.jpg", "", &params), 1);
  EXPECT_EQ(params.JPEG_COLORSPACE, ioJPEG_YCbCrK);  // the tool codes its CMYK as YCCK
  EXPECT_EQ(params.SAMPLESPERPIXEL, 4);
  // The Adobe APP14 marker is kept in the list.
  EXPECT_GE(params.JPEG_Markers.IndexOf(0xEE), 0);

  // Invert CMYK: every ink inverted before the conversion.
  Bytes data = LoadFile(dir / "cmyk.jpg");
  TMemoryStream ms;
  ms.Write(data.data(), Integer(data.size()));
  ms.SetPosition(0);
  TLKBitmap plain, inverted, native;
  TIOParamsVals p1, p2, p3;
  Progress pr;
  ReadJPegStream(&ms, nullptr, &plain, p1, pr.rec, false, false, false, false, false, false, -1);
  ms.SetPosition(0);
  ReadJPegStream(&ms, nullptr, &inverted, p2, pr.rec, false, false, false, true, false, false, -1);
  ms.SetPosition(0);
  p3.ISNATIVEPIXELFORMAT = true;
  ReadJPegStream(&ms, nullptr, &native, p3, pr.rec, false, false, false, true, false, false, -1);
  ASSERT_FALSE(pr.abort.load());
  const auto* k = static_cast<const TCMYK*>(native.GetScanLine(3));  // native rows are never inverted
  const auto* a = static_cast<const TRGB*>(plain.GetScanLine(3));
  const auto* b = static_cast<const TRGB*>(inverted.GetScanLine(3));
  EXPECT_EQ(a[4], LKCMYK2RGB(k[4]));
  EXPECT_EQ(b[4], LKCMYK2RGB(TCMYK{Byte(255 - k[4].c), Byte(255 - k[4].m), Byte(255 - k[4].y), Byte(255 - k[4].k)}));
}

TEST(JpegCodecTest, ScalingMatchesTheToolAndAutoCalcPicksTheLargestFit) {
  if (!HaveTool("djpeg")) {
    GTEST_SKIP() << "djpeg not installed";
  }
  TempDir dir;
  SaveFile(dir / "s.jpg", MakeJpeg(83, 45));
  struct Case {
    TIOJPEGScale scale;
    const char* opt;
    Integer used, w, h;
  } cases[] = {{ioJPEG_FULLSIZE, "", 1, 83, 45},
               {ioJPEG_HALF, "-scale 1/2", 2, 42, 23},
               {ioJPEG_QUARTER, "-scale 1/4", 4, 21, 12},
               {ioJPEG_EIGHTH, "-scale 1/8", 8, 11, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opt);
    TIOParamsVals params;
    params.JPEG_SCALE = c.scale;
    EXPECT_EQ(CompareWithDjpeg(dir, dir / "s.jpg", c.opt, &params), 0);
    EXPECT_EQ(params.JPEG_SCALE_USED, c.used);
    EXPECT_EQ(params.WIDTH, c.w);
    EXPECT_EQ(params.HEIGHT, c.h);
    EXPECT_EQ(params.JPEG_ORIGINALWIDTH, 83);
    EXPECT_EQ(params.JPEG_ORIGINALHEIGHT, 45);
  }

  struct Auto {
    Integer fw, fh, used, w, h;
  } autos[] = {{2400, 1600, 8, 300, 200}, {2000, 1500, 4, 500, 375}, {200, 100, 1, 200, 100}};
  for (const auto& a : autos) {
    TLKBitmap big;
    big.Allocate(a.fw, a.fh, lk8g);
    big.Fill(128);
    TIOParamsVals wp;
    wp.JPEG_COLORSPACE = ioJPEG_GRAYLEV;
    Bytes data = WriteJpeg(big, wp);
    ReadResult r;
    r.params.JPEG_SCALE = ioJPEG_AUTOCALC;
    r.params.WIDTH = 300;
    r.params.HEIGHT = 200;
    ReadJpeg(data, r);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.params.JPEG_SCALE_USED, a.used);
    EXPECT_EQ(r.params.WIDTH, a.w);
    EXPECT_EQ(r.params.HEIGHT, a.h);
  }
}

TEST(JpegCodecTest, CameraFilesDecodeLikeTheToolsOwnDecoder) {
  const fs::path folder = fs::path(LUMERAK_TESTDATA_DIR) / "exif-samples";
  if (!fs::exists(folder) || !HaveTool("djpeg")) {
    GTEST_SKIP() << "no sample files or djpeg";
  }
  TempDir dir;
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    if (ext != ".jpg" && ext != ".jpeg") continue;
    if (e.file_size() > 1'500'000) continue;
    SCOPED_TRACE(e.path().string());
    // Every file, good or damaged, is read without a crash.
    ReadResult r;
    ReadJpeg(LoadFile(e.path().string()), r);
    if (r.aborted) continue;
    const std::string pnm = dir / "ref.pnm";
    if (!RunTool("djpeg -pnm -outfile '" + pnm + "' '" + e.path().string() + "'")) continue;
    TLKBitmap ref;
    if (!LoadPNM(pnm, ref)) continue;
    EXPECT_EQ(MaxDiff24(ref, r.bmp), 0);
    ++compared;
  }
  EXPECT_GT(compared, 5);
}

// ---- markers, resolution, metadata

TEST(JpegCodecTest, MarkersAreWrittenSortedWithoutApp14AndReadBackInFileOrder) {
  TLKBitmap src;
  FillPicture(src, 16, 16);
  TIOParamsVals wp;
  const char com[] = "a comment";
  const char app1a[] = "first app1", app1b[] = "second app1", app14[] = "Adobe-ish", app5[] = "five";
  wp.JPEG_Markers.AddMarker(0xFE, com, sizeof com);
  wp.JPEG_Markers.AddMarker(0xE1, app1a, sizeof app1a);
  wp.JPEG_Markers.AddMarker(0xEE, app14, sizeof app14);
  wp.JPEG_Markers.AddMarker(0xE5, app5, sizeof app5);
  wp.JPEG_Markers.AddMarker(0xE1, app1b, sizeof app1b);
  Bytes data = WriteJpeg(src, wp);
  // The list was sorted in place.
  ASSERT_EQ(wp.JPEG_Markers.GetCount(), 5);
  EXPECT_EQ(wp.JPEG_Markers.GetMarkerType(0), 0xE1);
  EXPECT_EQ(wp.JPEG_Markers.GetMarkerType(4), 0xFE);
  EXPECT_EQ(FindSegment(data, 0xEE), -1);
  EXPECT_EQ(FindSegment(data, 0xE0), 2);  // the library's JFIF header first

  ReadResult r;
  ReadJpeg(data, r);
  ASSERT_FALSE(r.aborted);
  ASSERT_EQ(r.params.JPEG_Markers.GetCount(), 4);  // JFIF APP0 dropped
  const Byte codes[] = {0xE1, 0xE1, 0xE5, 0xFE};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.params.JPEG_Markers.GetMarkerType(i), codes[i]);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.params.JPEG_Markers.GetMarkerData(1))), app1b);

  // A second APP0 stays in the list.
  TIOParamsVals wp2;
  const char jfxx[] = "JFXX";
  wp2.JPEG_Markers.AddMarker(0xE0, jfxx, sizeof jfxx);
  ReadResult r2;
  ReadJpeg(WriteJpeg(src, wp2), r2);
  ASSERT_EQ(r2.params.JPEG_Markers.GetCount(), 1);
  EXPECT_EQ(r2.params.JPEG_Markers.GetMarkerType(0), 0xE0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r2.params.JPEG_Markers.GetMarkerData(0))), jfxx);

  // CMYK output carries both a JFIF APP0 and the library's Adobe APP14.
  TIOParamsVals wp3;
  wp3.JPEG_COLORSPACE = ioJPEG_CMYK;
  Bytes cmyk = WriteJpeg(src, wp3);
  EXPECT_EQ(FindSegment(cmyk, 0xE0), 2);
  EXPECT_GT(FindSegment(cmyk, 0xEE), 2);
}

TEST(JpegCodecTest, ResolutionFromTheJfifHeader) {
  Bytes base = MakeJpeg(8, 8);
  ASSERT_EQ(FindSegment(base, 0xE0), 2);
  struct Case {
    Byte unit;
    Word density;
    Integer dpi;
  } cases[] = {{2, 118, 299}, {1, 96, 96}, {0, 3, 3}, {7, 50, 555}};
  for (const auto& c : cases) {
    Bytes d = base;
    // JFIF: length(2) "JFIF\0"(5) version(2) unit(1) x(2) y(2)
    d[4 + 2 + 5 + 2] = c.unit;
    d[14] = d[16] = Byte(c.density >> 8);
    d[15] = d[17] = Byte(c.density);
    ReadResult r;
    r.params.DPIX = r.params.DPIY = 555;
    ReadJpeg(d, r);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.params.DPIX, c.dpi) << int(c.unit);
    EXPECT_EQ(r.params.DPIY, c.dpi) << int(c.unit);
  }
  // Without a JFIF header the library reports 1 by 1.
  Bytes noJfif(base.begin(), base.begin() + 2);
  const size_t app0Len = 2 + ((base[4] << 8) | base[5]);
  noJfif.insert(noJfif.end(), base.begin() + 2 + long(app0Len), base.end());
  ReadResult r;
  ReadJpeg(noJfif, r);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.params.DPIX, 1);
  // The writer stores the default resolution for 0.
  TLKBitmap src;
  FillPicture(src, 8, 8);
  TIOParamsVals wp;
  wp.DPIX = 0;
  wp.DPIY = 0;
  ReadResult r2;
  ReadJpeg(WriteJpeg(src, wp), r2);
  EXPECT_EQ(r2.params.DPIX, gDefaultDPIX);
}

TEST(JpegCodecTest, IptcAndIccAreLoadedFromTheirMarkers) {
  TLKBitmap src;
  FillPicture(src, 8, 8);
  TIOParamsVals wp;
  TLKIPTCInfoList iptc;
  iptc.AddStringItem(2, 120, "a caption");
  iptc.AddStringItem(2, 25, "keyword");
  const std::vector<Byte> iim = iptc.SaveToStandardBuffer(true);
  wp.JPEG_Markers.AddMarker(0xED, iim.data(), Integer(iim.size()));
  // An ICC profile in two chunks, the second stored first.
  Bytes profile(300);
  for (size_t i = 0; i < profile.size(); ++i) profile[i] = Byte(i * 7);
  auto chunk = [&](Byte seq, size_t from, size_t to) {
    Bytes c = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, seq, 2};
    c.insert(c.end(), profile.begin() + long(from), profile.begin() + long(to));
    return c;
  };
  const Bytes c2 = chunk(2, 120, 300), c1 = chunk(1, 0, 120);
  wp.JPEG_Markers.AddMarker(0xE2, c2.data(), Integer(c2.size()));
  wp.JPEG_Markers.AddMarker(0xE2, c1.data(), Integer(c1.size()));
  Bytes data = WriteJpeg(src, wp);

  ReadResult r;
  ReadJpeg(data, r);
  ASSERT_FALSE(r.aborted);
  ASSERT_EQ(r.params.IPTC_Records.GetCount(), 2);
  EXPECT_EQ(r.params.IPTC_Records.GetStrings(0), "a caption");
  ASSERT_TRUE(r.params.InputICC);
  EXPECT_EQ(r.params.InputICC->GetRaw(), profile);

  // The loader restores the position; a file without chunks loads nothing.
  TMemoryStream ms;
  Bytes plain = MakeJpeg(8, 8);
  ms.Write(plain.data(), Integer(plain.size()));
  ms.SetPosition(0);
  TIOParamsVals p;
  LKGetJpegICC(&ms, p);
  EXPECT_EQ(ms.GetPosition(), 0);
  EXPECT_FALSE(p.InputICC && p.InputICC->IsValid());
}

// With colour management on, the embedded profile converts the picture to
// sRGB as it is read, and the APP2 markers that described the old colours
// are dropped; off, the pixels and markers stay as stored.
TEST(JpegCodecTest, EmbeddedProfilesConvertThePictureWhenManaged) {
  struct Case {
    const char* Name;
    TLKPixelFormat Format;
    Bytes Profile;
  } const cases[] = {
      {"wide RGB", lk24RGB, icctest::WideRGB()},
      {"linear grey", lk8g, icctest::Gray(1.0)},
  };
  for (const Case& c : cases) {
    TLKBitmap src;
    FillPicture(src, 16, 8);
    TIOParamsVals wp;
    if (c.Format == lk8g) wp.JPEG_COLORSPACE = ioJPEG_GRAYLEV;
    Bytes app2 = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    app2.insert(app2.end(), c.Profile.begin(), c.Profile.end());
    wp.JPEG_Markers.AddMarker(0xE2, app2.data(), Integer(app2.size()));
    const Bytes data = WriteJpeg(src, wp);

    ReadResult plain;
    ReadJpeg(data, plain);
    lkgEnableCMS = true;
    ReadResult managed;
    {
      // As the component reads a JPEG file: the APP2 markers go once applied.
      TMemoryStream ms;
      ms.Write(data.data(), Integer(data.size()));
      ms.SetPosition(0);
      Progress pr;
      ReadJPegStream(&ms, nullptr, &managed.bmp, managed.params, pr.rec, false, false, true, false, true, true, -1);
      managed.aborted = pr.abort.load();
    }
    lkgEnableCMS = false;
    ASSERT_FALSE(managed.aborted) << c.Name;
    EXPECT_EQ(plain.params.JPEG_COLORSPACE, c.Format == lk8g ? ioJPEG_GRAYLEV : ioJPEG_YCbCr) << c.Name;
    ASSERT_EQ(managed.bmp.GetPixelFormat(), lk24RGB) << c.Name;
    EXPECT_EQ(plain.params.JPEG_Markers.IndexOf(0xE2) >= 0, true) << c.Name;
    EXPECT_EQ(managed.params.JPEG_Markers.IndexOf(0xE2), -1) << c.Name;
    EXPECT_TRUE(managed.params.InputICC->IsApplied()) << c.Name;

    TLKICC in, out;
    in.LoadFromBuffer(c.Profile.data(), Integer(c.Profile.size()));
    out.Assign_sRGBProfile();
    int changed = 0;
    for (Integer y = 0; y < 8; ++y) {
      const auto* p = static_cast<const Byte*>(plain.bmp.GetScanLine(y));
      Bytes want(16 * 3);
      if (c.Format == lk8g) {
        Bytes grey(16);
        for (int x = 0; x < 16; ++x) grey[x] = p[3 * x];
        ASSERT_TRUE(in.Transform(&out, lkcmsGray8, lkcmsBGR, 0, 0, grey.data(), want.data(), 16));
      } else {
        ASSERT_TRUE(in.Transform(&out, lkcmsBGR, lkcmsBGR, 0, 0, p, want.data(), 16));
      }
      const auto* m = static_cast<const Byte*>(managed.bmp.GetScanLine(y));
      EXPECT_EQ(Bytes(m, m + 48), want) << c.Name << " row " << y;
      changed += Bytes(m, m + 48) != Bytes(p, p + 48);
    }
    EXPECT_GT(changed, 0) << c.Name;
  }
}

// ---- probe, thumbnail pass, params only

TEST(JpegCodecTest, ProbeFindsAPictureWithinTheFirstHundredPositions) {
  Bytes jpeg = MakeJpeg(12, 10);
  for (size_t prefix : {size_t(0), size_t(1), size_t(99), size_t(100), size_t(150)}) {
    SCOPED_TRACE(prefix);
    Bytes d(prefix, 0x11);
    d.insert(d.end(), jpeg.begin(), jpeg.end());
    TMemoryStream ms;
    ms.Write(d.data(), Integer(d.size()));
    ms.SetPosition(0);
    EXPECT_EQ(JpegTryStream(&ms), prefix < 100 ? Int64(prefix) : -1);
    EXPECT_EQ(ms.GetPosition(), 0);
    ReadResult r;
    r.params.WIDTH = 1234;
    ReadJpeg(d, r);
    EXPECT_EQ(r.aborted, prefix >= 100);
    EXPECT_EQ(r.params.WIDTH, prefix < 100 ? 12 : 1234);  // nothing changed on refusal
  }
}

TEST(JpegCodecTest, ThumbnailPassReadsAPictureHeldInsideALargerStream) {
  // The thumbnail pass rewinds to where the picture starts, not to the
  // start of the stream, so a JPEG at offset 150 still reads.
  Bytes jpeg = MakeJpeg(12, 10);
  Bytes d(150, 0x22);
  d.insert(d.end(), jpeg.begin(), jpeg.end());
  ReadResult r;
  r.params.JPEG_GETEXIFTHUMBNAIL = true;
  ReadJpeg(d, r, false, -1, 150);
  EXPECT_FALSE(r.aborted);
  EXPECT_TRUE(r.params.JPEG_GETEXIFTHUMBNAIL);
  EXPECT_EQ(r.bmp.GetWidth(), 12);
  EXPECT_EQ(r.bmp.GetHeight(), 10);
}

TEST(JpegCodecTest, TablesStreamSuppliesTheTablesOfAnAbbreviatedPicture) {
  // Split a picture as TIFF files hold it: the quantisation and Huffman
  // tables in a tables-only stream, the rest as an abbreviated picture.
  Bytes full = MakeJpeg(24, 16);
  Bytes tables = {0xFF, 0xD8}, picture = {0xFF, 0xD8};
  size_t i = 2;
  while (i + 4 <= full.size() && full[i] == 0xFF && full[i + 1] != 0xDA) {
    const size_t len = 2 + ((full[i + 2] << 8) | full[i + 3]);
    Bytes& to = (full[i + 1] == 0xDB || full[i + 1] == 0xC4) ? tables : picture;
    to.insert(to.end(), full.begin() + long(i), full.begin() + long(i + len));
    i += len;
  }
  picture.insert(picture.end(), full.begin() + long(i), full.end());
  tables.insert(tables.end(), {0xFF, 0xD9});

  ReadResult whole;
  ReadJpeg(full, whole);
  ASSERT_FALSE(whole.aborted);
  ReadResult alone;
  ReadJpeg(picture, alone);
  EXPECT_TRUE(alone.aborted);  // no tables, no picture

  TMemoryStream ts, ps;
  ts.Write(tables.data(), Integer(tables.size()));
  ps.Write(picture.data(), Integer(picture.size()));
  ts.SetPosition(0);
  ps.SetPosition(0);
  TLKBitmap bmp;
  TIOParamsVals params;
  Progress pr;
  ReadJPegStream(&ps, &ts, &bmp, params, pr.rec, false, false, false, false, false, false, -1);
  ASSERT_FALSE(pr.abort.load());
  EXPECT_EQ(MaxDiff24(whole.bmp, bmp), 0);

  // Raw YCbCr leaves the samples unconverted: pure red 90 is Y 27, Cb 113,
  // Cr 173.
  TLKBitmap grey;
  grey.Allocate(16, 16, lk24RGB);
  for (Integer y = 0; y < 16; ++y) {
    auto* row = static_cast<TRGB*>(grey.GetScanLine(y));
    for (Integer x = 0; x < 16; ++x) row[x] = TRGB{0, 0, 90};
  }
  TIOParamsVals wp;
  Bytes g = WriteJpeg(grey, wp);
  TMemoryStream gs;
  gs.Write(g.data(), Integer(g.size()));
  gs.SetPosition(0);
  TLKBitmap raw;
  TIOParamsVals rp;
  ReadJPegStream(&gs, nullptr, &raw, rp, pr.rec, false, true, false, false, false, false, -1);
  ASSERT_FALSE(pr.abort.load());
  const Byte* px = static_cast<const Byte*>(raw.GetScanLine(8));
  EXPECT_NEAR(px[0], 27, 1);
  EXPECT_NEAR(px[1], 113, 1);
  EXPECT_NEAR(px[2], 173, 1);
}

TEST(JpegCodecTest, ParamsOnlyLeavesTheBitmapAlone) {
  Bytes jpeg = MakeJpeg(40, 30);
  ReadResult r;
  r.bmp.Allocate(3, 3, lk8g);
  r.params.JPEG_SCALE = ioJPEG_HALF;
  ReadJpeg(jpeg, r, true);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.bmp.GetWidth(), 3);
  EXPECT_EQ(r.params.WIDTH, 40);  // unscaled size
  EXPECT_EQ(r.params.HEIGHT, 30);
  EXPECT_EQ(r.params.SAMPLESPERPIXEL, 3);
  EXPECT_TRUE(r.reports.empty());
}

// ---- damaged input

TEST(JpegCodecTest, TruncatedFilesNeverCrashAndHeaderCutsAbort) {
  for (bool progressive : {false, true}) {
    Bytes full = MakeJpeg(48, 40, progressive);
    const long sos = FindSegment(full, 0xDA);
    ASSERT_GT(sos, 0);
    for (size_t len = 0; len < full.size(); len += (len < size_t(sos) + 40 ? 1 : 7)) {
      SCOPED_TRACE(len);
      Bytes cut(full.begin(), full.begin() + long(len));
      ReadResult r;
      ReadJpeg(cut, r);
      if (len <= size_t(sos)) {
        EXPECT_TRUE(r.aborted);  // no picture data at all
      } else if (!r.aborted) {
        EXPECT_EQ(r.bmp.GetHeight(), 40);
        // A baseline scan cut short is filled in and counted as warnings (a
        // progressive file cut between scans is a complete coarser picture).
        if (!progressive) {
          EXPECT_GT(r.params.JPEG_WARNINGTOT, 0);
          EXPECT_NE(r.params.JPEG_WARNINGCODE, 0);
        }
      }
    }
  }
}

// A frame that declares more rows than its data holds, ended by a proper
// end-of-image marker: the rows that are there are kept, the rest is not
// made up, and the read says so.
TEST(JpegCodecTest, EndOfImageBeforeTheLastRowEndsTheData) {
  Bytes d = MakeJpeg(48, 48);
  const long sof = FindSegment(d, 0xC0);
  ASSERT_GT(sof, 0);
  ReadResult whole;
  ReadJpeg(d, whole);
  ASSERT_FALSE(whole.aborted);
  d[size_t(sof) + 5] = Byte(480 >> 8);  // the height, ten times the data
  d[size_t(sof) + 6] = Byte(480 & 0xFF);
  ReadResult r;
  ReadJpeg(d, r);
  EXPECT_TRUE(r.aborted);
  ASSERT_EQ(r.bmp.GetWidth(), 48);
  for (Integer y = 0; y < 40; ++y)
    for (Integer x = 0; x < 48; x += 7) EXPECT_EQ(r.bmp.GetPixels(x, y), whole.bmp.GetPixels(x, y)) << x << "," << y;
}

// Headers the data cannot fill, and a progressive picture whose
// coefficient buffer (held whole by the library) passes the limit while its
// pixels would not: refused before the library allocates.
TEST(JpegCodecTest, GateCountsTheCodedDataAndTheCoefficientBuffer) {
  struct Case {
    const char* name;
    bool progressive;
    Integer side;   // declared width and height
    Int64 limit;    // 0: the default
    bool refused;
  };
  const Case cases[] = {
      {"baseline 65000 square in a few hundred bytes", false, 65000, 0, true},
      {"progressive 65500 square in a few hundred bytes", true, 65500, 0, true},
      {"progressive within the limit", true, 64, 64 * 64 * 3 + 64 * 64 * 2 * 3 + 4096, false},
      {"progressive whose coefficients pass the limit", true, 64, 64 * 64 * 3 + 4096, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap bmp;
    FillPicture(bmp, 64, 64);
    TIOParamsVals params;
    params.JPEG_PROGRESSIVE = c.progressive;
    Bytes d = WriteJpeg(bmp, params);
    const long sof = FindSegment(d, c.progressive ? 0xC2 : 0xC0);
    ASSERT_GT(sof, 0);
    d[size_t(sof) + 5] = d[size_t(sof) + 7] = Byte(c.side >> 8);
    d[size_t(sof) + 6] = d[size_t(sof) + 8] = Byte(c.side & 0xFF);
    LKSetAllocationLimit(c.limit);
    ReadResult r;
    ReadJpeg(d, r);
    LKSetAllocationLimit(0);
    EXPECT_EQ(r.aborted, c.refused);
    EXPECT_EQ(r.bmp.IsEmpty(), c.refused);
  }
}

TEST(JpegCodecTest, CorruptDataSetsTheAbortFlagOrWarnsWithoutCrashing) {
  Bytes good = MakeJpeg(24, 24);
  const long sof = FindSegment(good, 0xC0);
  const long dht = FindSegment(good, 0xC4);
  ASSERT_GT(sof, 0);
  ASSERT_GT(dht, 0);
  struct Case {
    const char* name;
    long at;
    Byte value;
  } cases[] = {
      {"lossless frame", 3, 0xC3},         {"zero height", sof + 5, 0},
      {"zero height low", sof + 6, 0},       {"no components", sof + 9, 0},
      {"bad precision", sof + 4, 3},         {"huffman class", dht + 4, 0x77},
      {"segment length", sof + 3, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes d = good;
    d[size_t(c.at)] = c.value;
    if (std::string(c.name) == "zero height") d[size_t(c.at) + 1] = 0;
    ReadResult r;
    ReadJpeg(d, r);
    EXPECT_TRUE(r.aborted);
  }
  // Random damage anywhere: the reader returns, with the flag or a picture.
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    Bytes d = good;
    for (int k = 0; k < 4; ++k) d[rng() % d.size()] = Byte(rng());
    ReadResult r;
    ReadJpeg(d, r);
    if (!r.aborted) {
      EXPECT_GT(r.bmp.GetWidth(), 0);
    }
  }
  // Nothing at all, or no JPEG.
  ReadResult empty;
  ReadJpeg({}, empty);
  EXPECT_TRUE(empty.aborted);
  ReadResult text;
  ReadJpeg(Bytes(300, 'x'), text);
  EXPECT_TRUE(text.aborted);
}

// ---- writer failures

class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(Integer limit) : limit_(limit) {}
  Integer Write(const void* Buffer, Integer Count) override {
    const Integer room = std::max<Integer>(0, limit_ - Integer(GetSize()));
    return TMemoryStream::Write(Buffer, std::min(Count, room));
  }

 private:
  Integer limit_;
};

TEST(JpegCodecTest, WriterFailures) {
  // Empty bitmap: flag set, no bytes.
  TLKBitmap empty;
  TIOParamsVals p;
  TMemoryStream ms;
  Progress pr;
  WriteJPegStream(&ms, &empty, p, pr.rec);
  EXPECT_TRUE(pr.abort.load());
  EXPECT_EQ(ms.GetSize(), 0);

  // A stream that takes fewer bytes: flag set, row loop stopped.
  TLKBitmap noisy;
  noisy.Allocate(600, 600, lk24RGB);
  std::mt19937 rng(3);
  for (Integer y = 0; y < 600; ++y) {
    auto* row = static_cast<Byte*>(noisy.GetScanLine(y));
    for (Integer x = 0; x < 1800; ++x) row[x] = Byte(rng());
  }
  ShortStream shortStream(1000);
  Progress pr2;
  WriteJPegStream(&shortStream, &noisy, p, pr2.rec);
  EXPECT_TRUE(pr2.abort.load());
  EXPECT_LT(pr2.reports.size(), 600u);

  // Library errors reach the caller with the library's text.
  TLKBitmap wide;
  wide.Allocate(70000, 1, lk8g);
  Progress pr3;
  TMemoryStream ms3;
  try {
    WriteJPegStream(&ms3, &wide, p, pr3.rec);
    ADD_FAILURE() << "no exception";
  } catch (const ELKJpegException& e) {
    EXPECT_STREQ(e.what(), "Maximum supported image dimension is ? pixels");
  }
  EXPECT_TRUE(pr3.abort.load());
}

TEST(JpegCodecTest, MessageTexts) {
  EXPECT_EQ(LKJpegMessageText(0), "Bogus message code ?");
  EXPECT_EQ(LKJpegMessageText(21), "JPEG parameter struct mismatch: library thinks size is ?, caller expects ?");
  EXPECT_EQ(LKJpegMessageText(53), "Not a JPEG file: starts with ?");
  EXPECT_EQ(LKJpegMessageText(120), "Premature end of JPEG file");
  EXPECT_EQ(LKJpegMessageText(121), "Corrupt JPEG data: found marker ? instead of RST?");
  EXPECT_EQ(LKJpegMessageText(123), "Application transferred too many scanlines");
  EXPECT_EQ(LKJpegMessageText(73), "");
  EXPECT_EQ(LKJpegMessageText(74), "");
  EXPECT_EQ(LKJpegMessageText(124), "Corrupted");
  EXPECT_EQ(LKJpegMessageText(-1), "Corrupted");
}

TEST(JpegCodecTest, RegistryRowReadsAndWritesThroughTheCodec) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(3);
  ASSERT_NE(info, nullptr);
  ASSERT_TRUE(info->ReadProc && info->WriteProc);
  TLKBitmap src;
  FillPicture(src, 20, 12);
  TIOParamsVals params;
  params.JPEG_QUALITY = 95;
  TMemoryStream ms;
  Progress pr;
  info->WriteProc(ms, src, params, pr.rec);
  ms.SetPosition(0);
  TLKBitmap back;
  TIOParamsVals rp;
  info->ReadProc(ms, back, rp, pr.rec, false);
  ASSERT_FALSE(pr.abort.load());
  EXPECT_LE(MaxDiff24(src, back), 12);
}

// ---- length scan and wrappers

TEST(JpegLengthTest, MeasuresToTheEndOfImageMarker) {
  Bytes jpeg = MakeJpeg(16, 16);
  // A JPEG with an APP1 holding FF D9 (as an embedded thumbnail would),
  // followed by other data, read from an offset.
  TLKBitmap src;
  FillPicture(src, 16, 16);
  TIOParamsVals wp;
  const Byte thumb[] = {'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xD8, 0xFF, 0xD9, 1, 2};
  wp.JPEG_Markers.AddMarker(0xE1, thumb, sizeof thumb);
  Bytes withApp1 = WriteJpeg(src, wp);
  struct Case {
    const char* name;
    Bytes jpeg;
    size_t trailing;
    Int64 expect;
  } cases[] = {
      {"plain", jpeg, 0, Int64(jpeg.size())},
      {"trailing data", jpeg, 500, Int64(jpeg.size())},
      {"EOI inside APP1", withApp1, 40, Int64(withApp1.size())},
      {"cut before EOI", Bytes(jpeg.begin(), jpeg.end() - 10), 0, Int64(jpeg.size() - 10)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes d(33, 0x00);
    d.insert(d.end(), c.jpeg.begin(), c.jpeg.end());
    d.insert(d.end(), c.trailing, 0xFF);
    TMemoryStream ms;
    ms.Write(d.data(), Integer(d.size()));
    ms.SetPosition(33);
    EXPECT_EQ(LKGetJpegLength(&ms), c.expect);
    EXPECT_EQ(ms.GetPosition(), 33);
  }
}

// Supplies the whole picture at once through the caller's fill routine.
const Bytes* gFillData = nullptr;
bool FillAll(void* decomp) {
  static const Byte eoi[2] = {0xFF, 0xD9};
  if (gFillData) {
    LKJPEG_SetNextInput(decomp, gFillData->data(), gFillData->size());
    gFillData = nullptr;
  } else {
    LKJPEG_SetNextInput(decomp, eoi, 2);
  }
  return true;
}

// Decodes through the wrappers; rows as a 24-bit picture.
void WrapperDecode(TStream* stream, TLKBitmap& out, TLKJpegFillInputFunc fill = nullptr) {
  void* d = LKJPEG_CreateDecompStruct();
  void* e = LKJPEG_CreateErrMgr(d);
  struct Cleanup {
    void *d, *e;
    ~Cleanup() {
      LKJPEG_DestroyDecompress(d);
      LKJPEG_FreeDecompStruct(d);
      LKJPEG_FreeErrMgr(e);
    }
  } cleanup{d, e};
  LKJPEG_CreateDecompress(d);
  LKJPEG_SetReadStream(d, stream);
  if (fill) LKJPEG_SetFillInputBuffer(d, fill);
  LKJPEG_ReadHeader(d, true);
  LKJPEG_StartDecompress(d);
  const Integer w = LKJPEG_GetOutputWidth(d), h = LKJPEG_GetOutputHeight(d);
  ASSERT_EQ(LKJPEG_GetOutputComponents(d), 3);
  Byte** rows = LKJPEG_AllocSArray(d, 1, Cardinal(w * 3), 1);
  out.Allocate(w, h, lk24RGB);
  while (LKJPEG_GetOutputScanline(d) < h) {
    const Integer y = LKJPEG_GetOutputScanline(d);
    ASSERT_EQ(LKJPEG_ReadScanlines(d, rows, 1), 1u);
    auto* row = static_cast<TRGB*>(out.GetScanLine(y));
    for (Integer x = 0; x < w; ++x) row[x] = TRGB{rows[0][3 * x + 2], rows[0][3 * x + 1], rows[0][3 * x]};
  }
  LKJPEG_FinishDecompress(d);
}

TEST(JpegWrapperTest, DecodesLikeTheReaderAndRaisesLibraryErrors) {
  Bytes jpeg = MakeJpeg(29, 17);
  ReadResult r;
  ReadJpeg(jpeg, r);
  ASSERT_FALSE(r.aborted);

  TMemoryStream ms;
  ms.Write(jpeg.data(), Integer(jpeg.size()));
  ms.SetPosition(0);
  TLKBitmap viaStream;
  WrapperDecode(&ms, viaStream);
  EXPECT_EQ(MaxDiff24(r.bmp, viaStream), 0);

  TLKBitmap viaFill;
  gFillData = &jpeg;
  WrapperDecode(nullptr, viaFill, FillAll);
  EXPECT_EQ(MaxDiff24(r.bmp, viaFill), 0);

  Bytes bad(64, 0x42);
  TMemoryStream badStream;
  badStream.Write(bad.data(), Integer(bad.size()));
  badStream.SetPosition(0);
  TLKBitmap none;
  try {
    WrapperDecode(&badStream, none);
    ADD_FAILURE() << "no exception";
  } catch (const ELKJpegException& e) {
    EXPECT_STREQ(e.what(), "Not a JPEG file: starts with ?");
  }
}

}  // namespace
