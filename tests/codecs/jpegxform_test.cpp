// Lossless JPEG transform tests: every rearrangement compared pixel for
// pixel with the command-line JPEG transformer on 4:2:0, 4:4:4 and grey
// pictures of MCU-aligned and odd sizes; crops compared block for block
// with the source coefficients; grey output, marker copying and refused
// input.
#include <gtest/gtest.h>

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
#include "codecs/jpeg/jpegfilt.h"
#include "codecs/jpeg/jpegxform.h"
#include "core/lkbitmap.h"

extern "C" {
#include <jpeglib.h>
}

namespace fs = std::filesystem;

namespace {

using filekit::Bytes;
using filekit::HaveTool;
using filekit::RunTool;
using filekit::LoadFile;
using filekit::SaveFile;
struct TempDir : filekit::TempDir {
  TempDir() : filekit::TempDir("lkxform_") {}
};

// A picture with detail in every direction (so that a block moved to the
// wrong place or given a wrong sign shows), written as a binary PPM.
void SaveDetailedPPM(const std::string& name, int w, int h) {
  std::ofstream f(name, std::ios::binary);
  f << "P6\n" << w << " " << h << "\n255\n";
  std::mt19937 rng(w * 131 + h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const char px[3] = {char((x * 7 + y * 3 + rng() % 40) & 0xFF), char((x * y + rng() % 30) & 0xFF),
                          char((255 - x * 4 + y * 9) & 0xFF)};
      f.write(px, 3);
    }
}

Bytes Transform(const Bytes& in, Integer code, bool grey, TLKJpegCopyMarkers copy, const TRect& crop,
                bool* aborted) {
  TMemoryStream src, dst;
  if (!in.empty()) src.Write(in.data(), static_cast<Integer>(in.size()));
  src.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  LKJpegLosslessTransform(&src, &dst, pr, code, grey, copy, crop);
  *aborted = abort.load();
  const auto* p = static_cast<const Byte*>(dst.GetMemory());
  return Bytes(p, p + dst.GetSize());
}

Bytes Transform(const Bytes& in, Integer code, bool grey = false, TLKJpegCopyMarkers copy = jcCopyNone,
                const TRect& crop = TRect{}) {
  bool aborted = false;
  Bytes out = Transform(in, code, grey, copy, crop, &aborted);
  EXPECT_FALSE(aborted) << "transform " << code;
  return out;
}

// Decoded picture (24-bit, or the grey value in all three bytes).
struct Decoded {
  bool ok = false;
  Integer w = 0, h = 0;
  Bytes pixels;
};

Decoded Decode(const Bytes& data) {
  Decoded d;
  TMemoryStream ms;
  if (!data.empty()) ms.Write(data.data(), static_cast<Integer>(data.size()));
  ms.SetPosition(0);
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TLKBitmap bmp;
  TIOParamsVals params;
  ReadJPegStream(&ms, nullptr, &bmp, params, pr, false, false, false, false, false, false, -1);
  if (abort.load()) return d;
  d.ok = true;
  d.w = bmp.GetWidth();
  d.h = bmp.GetHeight();
  for (Integer y = 0; y < d.h; ++y) {
    const Byte* row = static_cast<const Byte*>(bmp.GetScanLine(y));
    d.pixels.insert(d.pixels.end(), row, row + 3 * d.w);
  }
  return d;
}

// Coefficients of every component, block rows of whole blocks.
struct Coefs {
  int comps = 0;
  unsigned width = 0, height = 0;
  std::vector<unsigned> wb, hb;           // blocks per component
  std::vector<unsigned> hs, vs;           // sampling factors
  unsigned maxH = 1, maxV = 1;
  std::vector<std::vector<JBLOCK>> blocks;  // per component, row-major
  const JCOEF* At(int c, unsigned bx, unsigned by) const { return blocks[c][by * wb[c] + bx]; }
};

Coefs ReadCoefs(const Bytes& data) {
  Coefs r;
  jpeg_decompress_struct ci{};
  jpeg_error_mgr err{};
  ci.err = jpeg_std_error(&err);
  jpeg_create_decompress(&ci);
  jpeg_mem_src(&ci, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&ci, TRUE);
  jvirt_barray_ptr* arrays = jpeg_read_coefficients(&ci);
  r.comps = ci.num_components;
  r.width = ci.image_width;
  r.height = ci.image_height;
  for (int c = 0; c < ci.num_components; ++c) {
    const jpeg_component_info& comp = ci.comp_info[c];
    r.wb.push_back(comp.width_in_blocks);
    r.hs.push_back(comp.h_samp_factor);
    r.vs.push_back(comp.v_samp_factor);
    r.maxH = ci.max_h_samp_factor;
    r.maxV = ci.max_v_samp_factor;
    r.hb.push_back(comp.height_in_blocks);
    std::vector<JBLOCK> all(static_cast<std::size_t>(comp.width_in_blocks) * comp.height_in_blocks);
    for (unsigned y = 0; y < comp.height_in_blocks; ++y) {
      JBLOCKARRAY row = (*ci.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&ci), arrays[c], y, 1, FALSE);
      std::memcpy(&all[static_cast<std::size_t>(y) * comp.width_in_blocks], row[0],
                  sizeof(JBLOCK) * comp.width_in_blocks);
    }
    r.blocks.push_back(std::move(all));
  }
  jpeg_finish_decompress(&ci);
  jpeg_destroy_decompress(&ci);
  return r;
}

// Marker codes of the header segments before the first scan, in order.
std::vector<int> HeaderMarkers(const Bytes& d) {
  std::vector<int> codes;
  std::size_t i = 2;
  while (i + 4 <= d.size() && d[i] == 0xFF && d[i + 1] != 0xDA) {
    codes.push_back(d[i + 1]);
    i += 2 + ((d[i + 2] << 8) | d[i + 3]);
  }
  return codes;
}

// ---- every rearrangement against the command-line transformer

struct Source {
  const char* name;
  const char* cjpegArgs;
  int w, h;
};

const Source kSources[] = {
    {"420_odd", "-sample 2x2", 61, 45},  {"420_aligned", "-sample 2x2", 64, 48},
    {"444_odd", "-sample 1x1", 37, 29},  {"444_aligned", "-sample 1x1", 40, 24},
    {"422_odd", "-sample 2x1", 53, 35},  {"grey_odd", "-grayscale", 43, 27},
    {"grey_aligned", "-grayscale", 48, 32},
};

struct Rearrangement {
  Integer code;
  const char* toolArgs;
};

const Rearrangement kRearrangements[] = {
    {jtNone, ""},
    {jtHorizFlip, "-flip horizontal"},
    {jtVertFlip, "-flip vertical"},
    {jtTranspose, "-transpose"},
    {jtTransverse, "-transverse"},
    {jtRotate90, "-rotate 90"},
    {jtRotate180, "-rotate 180"},
    {jtRotate270, "-rotate 270"},
};

TEST(JpegLosslessTransform, RearrangementsMatchTheCommandLineTransformer) {
  if (!HaveTool("cjpeg") || !HaveTool("jpegtran")) GTEST_SKIP() << "JPEG command-line tools missing";
  TempDir dir;
  for (const Source& s : kSources) {
    const std::string ppm = dir / (std::string(s.name) + ".ppm");
    const std::string src = dir / (std::string(s.name) + ".jpg");
    SaveDetailedPPM(ppm, s.w, s.h);
    ASSERT_TRUE(RunTool("cjpeg -quality 90 " + std::string(s.cjpegArgs) + " -outfile " + src + " " + ppm));
    const Bytes in = LoadFile(src);
    for (const Rearrangement& r : kRearrangements) {
      for (bool grey : {false, true}) {
        SCOPED_TRACE(std::string(s.name) + " code " + std::to_string(r.code) + (grey ? " grey" : ""));
        const std::string ref = dir / "ref.jpg";
        ASSERT_TRUE(RunTool("jpegtran -copy none -trim " + std::string(grey ? "-grayscale " : "") + r.toolArgs +
                            " -outfile " + ref + " " + src));
        const Decoded want = Decode(LoadFile(ref));
        const Decoded got = Decode(Transform(in, r.code, grey));
        ASSERT_TRUE(want.ok && got.ok);
        EXPECT_EQ(got.w, want.w);
        EXPECT_EQ(got.h, want.h);
        EXPECT_TRUE(got.pixels == want.pixels);
      }
    }
  }
}

// Sizes from the worked examples: rotations trim the edge they move to the
// 16-pixel MCU grid of 4:2:0, transposing keeps every pixel.
TEST(JpegLosslessTransform, TrimmedSizesOf420Picture) {
  TLKBitmap bmp(1000, 750, lk24RGB);
  TIOParamsVals params;
  TMemoryStream ms;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  WriteJPegStream(&ms, &bmp, params, pr);
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  const Bytes in(p, p + ms.GetSize());
  const struct {
    Integer code;
    unsigned w, h;
  } cases[] = {{jtRotate90, 736, 1000}, {jtRotate180, 992, 736}, {jtRotate270, 750, 992},
               {jtTranspose, 750, 1000}, {jtTransverse, 736, 992}, {jtHorizFlip, 992, 750},
               {jtVertFlip, 1000, 736}, {jtNone, 1000, 750}};
  for (const auto& c : cases) {
    const Coefs out = ReadCoefs(Transform(in, c.code));
    EXPECT_EQ(out.width, c.w) << c.code;
    EXPECT_EQ(out.height, c.h) << c.code;
  }
}

// ---- crop

struct CropCase {
  const char* name;
  const char* cjpegArgs;
  int w, h;
  TRect rect;
  unsigned wantW, wantH;  // output size
  unsigned orgX, orgY;    // source pixel of the output's top-left corner
};

const CropCase kCrops[] = {
    // The origin moves to the 16-pixel grid; the size covers the MCUs the
    // rectangle touches.
    {"interior_420", "-sample 2x2", 640, 480, {20, 20, 119, 69}, 112, 64, 16, 16},
    // Past the right edge: clamped to the picture first.
    {"right_edge_420", "-sample 2x2", 640, 480, {600, 0, 700, 31}, 48, 32, 592, 0},
    // Touching the partial bottom MCU: never past the picture's last row
    // (the blocks below it are only padding).
    {"partial_bottom_420", "-sample 2x2", 100, 100, {0, 90, 15, 99}, 16, 20, 0, 80},
    {"interior_444", "-sample 1x1", 100, 60, {13, 9, 30, 20}, 24, 16, 8, 8},
    {"grey", "-grayscale", 90, 70, {41, 3, 41, 3}, 8, 8, 40, 0},
    // A picture smaller than one MCU keeps its own size.
    {"tiny_420", "-sample 2x2", 12, 10, {2, 2, 5, 5}, 12, 10, 0, 0},
};

TEST(JpegLosslessTransform, CropKeepsTheBlocksItCovers) {
  if (!HaveTool("cjpeg")) GTEST_SKIP() << "cjpeg missing";
  TempDir dir;
  for (const CropCase& c : kCrops) {
    SCOPED_TRACE(c.name);
    const std::string ppm = dir / "c.ppm", src = dir / "c.jpg";
    SaveDetailedPPM(ppm, c.w, c.h);
    ASSERT_TRUE(RunTool("cjpeg -quality 85 " + std::string(c.cjpegArgs) + " -outfile " + src + " " + ppm));
    const Bytes in = LoadFile(src);
    const Coefs before = ReadCoefs(in);
    const Coefs after = ReadCoefs(Transform(in, jtCut, false, jcCopyNone, c.rect));
    EXPECT_EQ(after.width, c.wantW);
    EXPECT_EQ(after.height, c.wantH);
    ASSERT_EQ(after.comps, before.comps);
    // Compare every block of the output with its source block.
    for (int comp = 0; comp < after.comps; ++comp) {
      // Pixels per block of this component.
      const unsigned px = 8 * before.maxH / before.hs[comp], py = 8 * before.maxV / before.vs[comp];
      const unsigned bx0 = c.orgX / px, by0 = c.orgY / py;
      bool same = true;
      for (unsigned y = 0; y < after.hb[comp]; ++y)
        for (unsigned x = 0; x < after.wb[comp]; ++x)
          if (std::memcmp(after.At(comp, x, y), before.At(comp, bx0 + x, by0 + y), sizeof(JBLOCK)) != 0)
            same = false;
      EXPECT_TRUE(same) << "component " << comp;
    }
  }
}

// ---- refusals and markers

TEST(JpegLosslessTransform, RefusedRequestsSetTheAbortFlag) {
  TLKBitmap bmp(40, 30, lk24RGB);
  TIOParamsVals params;
  auto write = [&](TIOJPEGColorspace space) {
    params.JPEG_COLORSPACE = space;
    TMemoryStream ms;
    TProgressRec pr;
    WriteJPegStream(&ms, &bmp, params, pr);
    const auto* p = static_cast<const Byte*>(ms.GetMemory());
    return Bytes(p, p + ms.GetSize());
  };
  const Bytes colour = write(ioJPEG_YCbCr);
  const Bytes cmyk = write(ioJPEG_CMYK);
  Bytes truncatedHeader(colour.begin(), colour.begin() + 20);
  // A frame header announcing 60000 x 60000 pixels over a few bytes of data.
  Bytes huge = colour;
  for (std::size_t i = 2; i + 9 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xEA;
      huge[i + 6] = 0x60;
      huge[i + 7] = 0xEA;
      huge[i + 8] = 0x60;
      break;
    }
  const struct {
    const char* name;
    const Bytes* data;
    Integer code;
    bool grey;
    TRect crop;
  } cases[] = {
      {"grey output of CMYK", &cmyk, jtNone, true, {}},
      {"not a JPEG", nullptr, jtRotate90, false, {}},
      {"truncated header", &truncatedHeader, jtRotate90, false, {}},
      {"size beyond the data", &huge, jtRotate90, false, {}},
      {"unknown code", &colour, 9, false, {}},
      {"crop left of the picture", &colour, jtCut, false, {-8, 0, 15, 15}},
      {"crop below the picture", &colour, jtCut, false, {0, 30, 15, 40}},
      {"empty crop", &colour, jtCut, false, {10, 10, 5, 20}},
  };
  const Bytes notJpeg(300, 0x42);
  for (const auto& c : cases) {
    bool aborted = false;
    Transform(c.data ? *c.data : notJpeg, c.code, c.grey, jcCopyNone, c.crop, &aborted);
    EXPECT_TRUE(aborted) << c.name;
  }
}

TEST(JpegLosslessTransform, MarkerCopyingOptions) {
  TLKBitmap bmp(32, 32, lk24RGB);
  TIOParamsVals params;
  const char exif[] = "Exif\0\0II*\0";
  params.JPEG_Markers.AddMarker(0xE1, exif, sizeof(exif));
  params.JPEG_Markers.AddMarker(0xFE, "note", 4);
  TMemoryStream ms;
  TProgressRec pr;
  WriteJPegStream(&ms, &bmp, params, pr);
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  const Bytes in(p, p + ms.GetSize());
  ASSERT_EQ(HeaderMarkers(in).front(), 0xE0);

  auto count = [](const std::vector<int>& v, int code) { return std::count(v.begin(), v.end(), code); };
  const std::vector<int> all = HeaderMarkers(Transform(in, jtRotate90, false, jcCopyAll));
  EXPECT_EQ(count(all, 0xE0), 1);  // the JFIF header is not duplicated
  EXPECT_EQ(count(all, 0xE1), 1);
  EXPECT_EQ(count(all, 0xFE), 1);
  const std::vector<int> comments = HeaderMarkers(Transform(in, jtRotate90, false, jcCopyComments));
  EXPECT_EQ(count(comments, 0xE1), 0);
  EXPECT_EQ(count(comments, 0xFE), 1);
  const std::vector<int> none = HeaderMarkers(Transform(in, jtRotate90, false, jcCopyNone));
  EXPECT_EQ(count(none, 0xE1) + count(none, 0xFE), 0);
}

// A stream of the file's first 100 bytes is the most a transform searches.
TEST(JpegLosslessTransform, FindsThePictureAfterLeadingBytes) {
  TLKBitmap bmp(16, 16, lk24RGB);
  TIOParamsVals params;
  TMemoryStream ms;
  TProgressRec pr;
  WriteJPegStream(&ms, &bmp, params, pr);
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  for (std::size_t lead : {std::size_t{99}, std::size_t{100}}) {
    Bytes in(lead, 0);
    in.insert(in.end(), p, p + ms.GetSize());
    bool aborted = false;
    Transform(in, jtRotate180, false, jcCopyNone, {}, &aborted);
    EXPECT_EQ(aborted, lead == 100);
  }
}

}  // namespace
