// TIFF pages against the peer tools: files made by tiffcp, ImageMagick and
// vips in every coding decode to the pixels tiff2rgba gives; pages our
// writer makes pass tiffinfo and decode the same in the peers; pages are
// added at their index; hostile files are refused or cut with the abort
// flag. Peer-tool cases skip when the tools are absent.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "common/file_kit.h"
#include "common/icc_fixtures.h"
#include "common/tiff_builder.h"
#include "core/lkbitmap.h"
#include "core/lkicc.h"
#include "io/lkconvertcolor.h"
#include "io/lkparams.h"

namespace fs = std::filesystem;
using filekit::Bytes;
using filekit::HaveTool;
using filekit::RunTool;

namespace {

struct Loaded {
  TLKBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TLKMask* Mask = nullptr;
  std::atomic<bool> Abort{false};
  Integer Pages = 0;
  ~Loaded() { delete Mask; }
};

void Load(const Bytes& Data, Loaded& L, Integer Page = 0, bool Native = false) {
  TMemoryStream s;
  if (!Data.empty()) s.Write(Data.data(), static_cast<Integer>(Data.size()));
  s.SetPosition(0);
  TProgressRec pr;
  pr.AbortFlag = &L.Abort;
  L.Params.TIFF_IMAGEINDEX = Page;
  L.Params.ISNATIVEPIXELFORMAT = Native;
  TIFFReadStream(&L.Bitmap, &s, L.Pages, &L.Params, pr, false, &L.Mask, false, false, false);
}

Bytes Save(TLKBitmap& B, TIOParamsVals& P, bool& Aborted, const Bytes& AppendTo = {}) {
  TMemoryStream s;
  if (!AppendTo.empty()) s.Write(AppendTo.data(), static_cast<Integer>(AppendTo.size()));
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TIFFWriteStream(&s, !AppendTo.empty(), &B, P, pr);
  Aborted = abort.load();
  const Byte* p = static_cast<const Byte*>(s.GetMemory());
  return Bytes(p, p + s.GetSize());
}

// The peers' picture of a file: tiff2rgba's uncompressed RGBA, read by us
// (a plain 8-bit layout).
bool PeerPixels(const std::string& File, const filekit::TempDir& Dir, Loaded& Out) {
  const std::string rgba = Dir / "peer-rgba.tif";
  if (!RunTool("tiff2rgba -c none '" + File + "' '" + rgba + "'")) return false;
  Load(filekit::LoadFile(rgba), Out);
  return !Out.Abort.load();
}

// Largest channel difference over pixels the peer shows opaque.
int Difference(TLKBitmap& Ours, Loaded& Peer) {
  if (Ours.GetWidth() != Peer.Bitmap.GetWidth() || Ours.GetHeight() != Peer.Bitmap.GetHeight()) return 999;
  int worst = 0;
  for (Integer y = 0; y < Ours.GetHeight(); ++y)
    for (Integer x = 0; x < Ours.GetWidth(); ++x) {
      if (Peer.Mask && Peer.Mask->GetScanLine(y)[x] != 255) continue;
      const TRGB a = Ours.GetPixels(x, y), b = Peer.Bitmap.GetPixels(x, y);
      worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  return worst;
}

fs::path TestData() { return fs::path(LUMERAK_TESTDATA_DIR) / "tiff"; }

struct PeerCase {
  std::string source, tool, options;
  int tolerance;
};

// Makes each case's file with its tool and compares our decode with the
// peers' (tiff2rgba).
void CheckPeerCases(const std::vector<PeerCase>& Cases) {
  filekit::TempDir dir("tiffpeer");
  int n = 0;
  for (const PeerCase& c : Cases) {
    SCOPED_TRACE(c.source + " " + c.tool + " " + c.options);
    std::string file = c.source;
    if (!c.tool.empty()) {
      file = dir / ("case" + std::to_string(n++) + ".tif");
      std::string cmd;
      if (c.tool == "tiffcp") cmd = "tiffcp " + c.options + " '" + c.source + "' '" + file + "'";
      if (c.tool == "vips") cmd = "vips tiffsave '" + c.source + "' '" + file + "' " + c.options;
      if (c.tool == "convert") cmd = "convert '" + c.source + "' " + c.options + " 'TIFF:" + file + "'";
      ASSERT_TRUE(RunTool(cmd)) << cmd;
    }
    Loaded ours, peer;
    Load(filekit::LoadFile(file), ours);
    ASSERT_FALSE(ours.Abort.load());
    ASSERT_TRUE(PeerPixels(file, dir, peer));
    EXPECT_LE(Difference(ours.Bitmap, peer), c.tolerance);
  }
}

std::string Sample(const char* Name) { return (TestData() / (std::string(Name) + ".tiff")).string(); }

TEST(TiffPeers, TestPicturesDecodeAsTiff2rgbaShowsThem) {
  if (!fs::exists(TestData()) || !HaveTool("tiff2rgba")) GTEST_SKIP() << "no test data or tiff2rgba";
  std::vector<PeerCase> cases;
  for (const char* f : {"minisblack-1c-8b", "minisblack-1c-16b", "miniswhite-1c-1b", "palette-1c-1b",
                        "palette-1c-4b", "palette-1c-8b", "rgb-3c-16b", "rgb-3c-8b", "minisblack-2c-8b-alpha"})
    cases.push_back({Sample(f), "", "", 1});
  CheckPeerCases(cases);
}

TEST(TiffPeers, TiffcpCodingsAndLayouts) {
  if (!fs::exists(TestData()) || !HaveTool("tiffcp") || !HaveTool("tiff2rgba")) GTEST_SKIP() << "no tiffcp";
  const std::string rgb = Sample("rgb-3c-8b"), bw = Sample("miniswhite-1c-1b");
  CheckPeerCases({{rgb, "tiffcp", "-c none -t", 0},
                  {rgb, "tiffcp", "-c lzw", 0},
                  {rgb, "tiffcp", "-c lzw:2 -B -r 16", 0},
                  {rgb, "tiffcp", "-c lzw:2 -t -B", 0},
                  {rgb, "tiffcp", "-c packbits -p separate", 0},
                  {rgb, "tiffcp", "-c lzw:2 -p separate -B -r 32", 0},
                  {rgb, "tiffcp", "-c jpeg -r 16", 3},
                  {rgb, "tiffcp", "-c jpeg:r -t", 3},
                  {bw, "tiffcp", "-c g3:1d", 0},
                  {bw, "tiffcp", "-c g3:2d -f lsb2msb", 0},
                  {bw, "tiffcp", "-c g4 -B -r 7", 0},
                  {bw, "tiffcp", "-c packbits -f lsb2msb", 0},
                  {Sample("minisblack-1c-16b"), "tiffcp", "-c lzw:2 -B", 1}});
}

TEST(TiffPeers, VipsFiles) {
  if (!fs::exists(TestData()) || !HaveTool("tiff2rgba") || !HaveTool("vips")) GTEST_SKIP() << "no vips";
  CheckPeerCases({{Sample("rgb-3c-8b"), "vips", "--tile --tile-width 32 --tile-height 32", 0},
                  {Sample("rgb-3c-8b"), "vips", "--compression lzw --predictor horizontal", 0},
                  {Sample("rgb-3c-16b"), "vips", "--tile --tile-width 64 --tile-height 64 --compression lzw", 1}});
}

TEST(TiffPeers, ConvertFiles) {
  if (!fs::exists(TestData()) || !HaveTool("tiff2rgba") || !HaveTool("convert")) GTEST_SKIP() << "no convert";
  const std::string rgb = Sample("rgb-3c-8b");
  CheckPeerCases({{rgb, "convert", "-colorspace CMYK", 2},
                  {rgb, "convert", "-compress Group4 -monochrome", 0},
                  {rgb, "convert", "-depth 4 -colorspace gray", 1},
                  {rgb, "convert", "-colors 16 -type palette -depth 4 -define tiff:endian=msb", 1}});
}

// A small picture with edges and a gradient in every pixel format (only
// the gradient for the lossy codings).
void Picture(TLKBitmap& B, TLKPixelFormat Pf, bool Smooth, Integer W = 67, Integer H = 45) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      TRGB* p = static_cast<TRGB*>(B.GetScanLine(y)) + x;
      const bool edge = !Smooth && (x / 9 + y / 7) % 2 == 0;
      *p = TRGB{Byte(edge ? 250 : x * 3), Byte(y * 5), Byte(edge ? 20 : 255 - x * 3)};
    }
  if (Pf != lk24RGB) B.ConvertToPixelFormat(Pf);
}

TEST(TiffWriter, PagesReadBackAndPassThePeers) {
  const bool peers = HaveTool("tiffinfo") && HaveTool("tiff2rgba");
  filekit::TempDir dir("tiffwrite");
  struct Case {
    const char* name;
    TLKPixelFormat pf;
    TIOTIFFCompression compression;
    Integer bits, samples;
    int tolerance;
    Integer expectCompression;  // the Compression tag written
  };
  const Case cases[] = {
      {"rgb none", lk24RGB, ioTIFF_UNCOMPRESSED, 8, 3, 0, 1},
      {"rgb lzw+predictor", lk24RGB, ioTIFF_LZW, 8, 3, 0, 5},
      {"rgb packbits", lk24RGB, ioTIFF_PACKBITS, 8, 3, 0, 32773},
      {"rgb jpeg", lk24RGB, ioTIFF_JPEG, 8, 3, 12, 7},
      {"rgb old jpeg", lk24RGB, ioTIFF_OLDJPEG, 8, 3, 12, 6},
      {"rgb asked for g4", lk24RGB, ioTIFF_G4FAX, 8, 3, 0, 1},
      {"bilevel g4", lk1g, ioTIFF_G4FAX, 1, 1, 0, 4},
      {"bilevel g3 1-d", lk1g, ioTIFF_G3FAX1D, 1, 1, 0, 3},
      {"bilevel g3 2-d", lk1g, ioTIFF_G3FAX2D, 1, 1, 0, 3},
      {"bilevel modified huffman", lk1g, ioTIFF_CCITT1D, 1, 1, 0, 2},
      {"bilevel lzw", lk1g, ioTIFF_LZW, 1, 1, 0, 5},
      {"grey 8 packbits", lk8g, ioTIFF_PACKBITS, 8, 1, 0, 32773},
      {"grey 16 lzw", lk16g, ioTIFF_LZW, 16, 1, 1, 5},
      {"rgb 48 lzw", lk48RGB, ioTIFF_LZW, 16, 3, 1, 5},
      {"cmyk lzw", lkCMYK, ioTIFF_LZW, 8, 4, 2, 5},
      {"palette of 16 asked with jpeg", lk24RGB, ioTIFF_JPEG, 4, 1, 64, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap src;
    Picture(src, c.pf, c.tolerance > 2, 64, 48);
    TIOParamsVals p(nullptr);
    p.TIFF_COMPRESSION = c.compression;
    p.BITSPERSAMPLE = c.bits;
    p.SAMPLESPERPIXEL = c.samples;
    p.TIFF_JPEGQUALITY = 90;
    bool aborted = true;
    const Bytes file = Save(src, p, aborted);
    ASSERT_FALSE(aborted);
    Loaded back;
    Load(file, back, 0, true);
    ASSERT_FALSE(back.Abort.load());
    EXPECT_EQ(back.Params.TIFF_COMPRESSION == ioTIFF_UNCOMPRESSED ? 1 : 0, c.expectCompression == 1 ? 1 : 0);
    TLKBitmap ref;
    ref.Assign(&src);
    if (ref.GetPixelFormat() != lk24RGB) ref.ConvertToPixelFormat(lk24RGB);
    Loaded refL;
    refL.Bitmap.Assign(&ref);
    EXPECT_LE(Difference(back.Bitmap, refL), c.tolerance);
    if (!peers) continue;
    const std::string name = dir / (std::string("w") + std::to_string(&c - cases) + ".tif");
    filekit::SaveFile(name, file);
    // tiffinfo reads every strip and reports any fault on its error output
    // (old-style JPEG pages always draw its warning about the coding).
    const std::string log = dir / "tiffinfo.txt";
    EXPECT_EQ(std::system(("tiffinfo -D '" + name + "' >/dev/null 2> '" + log + "'").c_str()), 0);
    const Bytes text = filekit::LoadFile(log);
    const std::string complaints(text.begin(), text.end());
    if (c.expectCompression != 6) {
      EXPECT_EQ(complaints, "");
    }
    Loaded peer;
    ASSERT_TRUE(PeerPixels(name, dir, peer));
    EXPECT_LE(Difference(ref, peer), c.tolerance);
  }
}

Integer PeerPageCount(const std::string& File) {
  const std::string out = File + ".info";
  if (std::system(("tiffinfo '" + File + "' > '" + out + "' 2>/dev/null").c_str()) != 0) return -1;
  const Bytes text = filekit::LoadFile(out);
  const std::string s(text.begin(), text.end());
  Integer n = 0;
  for (size_t at = s.find("TIFF Directory"); at != std::string::npos; at = s.find("TIFF Directory", at + 1)) ++n;
  return n;
}

TEST(TiffWriter, AppendPlacesPagesAtTheirIndex) {
  filekit::TempDir dir("tiffpages");
  auto page = [](Byte Shade, TLKBitmap& B) {
    B.Allocate(20, 10, lk24RGB);
    B.Fill(Shade);
  };
  Bytes file;
  bool aborted = false;
  // Pages 10, 20; then 30 at index 0 and 40 at index 5 (after the last).
  const std::pair<Byte, Integer> steps[] = {{10, 0}, {20, 2}, {30, 0}, {40, 5}};
  for (auto [shade, index] : steps) {
    TLKBitmap b;
    page(shade, b);
    TIOParamsVals p(nullptr);
    p.TIFF_IMAGEINDEX = index;
    p.TIFF_COMPRESSION = ioTIFF_LZW;
    file = Save(b, p, aborted, file);
    ASSERT_FALSE(aborted);
  }
  const Byte expected[] = {30, 10, 20, 40};
  for (Integer i = 0; i < 4; ++i) {
    Loaded l;
    Load(file, l, i);
    ASSERT_FALSE(l.Abort.load());
    EXPECT_EQ(l.Pages, 4);
    EXPECT_EQ(l.Bitmap.GetPixels(3, 3).r, expected[i]) << "page " << i;
  }
  // A stream that is no little-endian TIFF takes no page.
  TLKBitmap b;
  page(1, b);
  TIOParamsVals p(nullptr);
  Save(b, p, aborted, Bytes{'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0});
  EXPECT_TRUE(aborted);
  if (!HaveTool("tiffinfo")) return;
  filekit::SaveFile(dir / "pages.tif", file);
  EXPECT_EQ(PeerPageCount(dir / "pages.tif"), 4);
}

// Hostile files: refused or cut, with the abort flag, never a crash or a
// runaway allocation.
TEST(TiffWriter, JpegCodedPagesTakeTheirProfileAsUncodedOnesDo) {
  // A wide-gamut gradient page coded as JPEG, and its decoded colours as an
  // uncompressed page with the same profile: with colour management on both
  // must come out in the same sRGB colours (the JPEG page used to keep its
  // stored colours).
  const std::vector<Byte> wide = icctest::WideRGB();
  TLKBitmap picture;
  picture.Allocate(64, 40, lk24RGB);
  for (Integer y = 0; y < 40; ++y) {
    Byte* row = static_cast<Byte*>(picture.GetScanLine(y));
    for (Integer x = 0; x < 64; ++x) {
      row[3 * x] = Byte(x * 4);
      row[3 * x + 1] = Byte(y * 6);
      row[3 * x + 2] = Byte(255 - x * 2);
    }
  }
  auto save = [&](TLKBitmap& B, TIOTIFFCompression Compression) {
    TIOParamsVals p(nullptr);
    p.TIFF_COMPRESSION = Compression;
    p.GetInputICC()->LoadFromBuffer(wide.data(), Integer(wide.size()));
    bool aborted = false;
    const Bytes out = Save(B, p, aborted);
    EXPECT_FALSE(aborted);
    return out;
  };
  const Bytes jpeg = save(picture, ioTIFF_JPEG);
  Loaded stored;
  Load(jpeg, stored);
  ASSERT_FALSE(stored.Abort.load());
  const Bytes plain = save(stored.Bitmap, ioTIFF_UNCOMPRESSED);
  Loaded fromJpeg, fromPlain;
  lkgEnableCMS = true;
  Load(jpeg, fromJpeg);
  Load(plain, fromPlain);
  lkgEnableCMS = false;
  ASSERT_FALSE(fromJpeg.Abort.load());
  ASSERT_FALSE(fromPlain.Abort.load());
  ASSERT_EQ(fromJpeg.Bitmap.GetPixelFormat(), lk24RGB);
  ASSERT_EQ(fromPlain.Bitmap.GetPixelFormat(), lk24RGB);
  int changed = 0, differ = 0;
  for (Integer y = 0; y < 40; ++y) {
    const Byte* a = static_cast<const Byte*>(fromJpeg.Bitmap.GetScanLine(y));
    const Byte* b = static_cast<const Byte*>(fromPlain.Bitmap.GetScanLine(y));
    const Byte* s = static_cast<const Byte*>(stored.Bitmap.GetScanLine(y));
    for (Integer i = 0; i < 3 * 64; ++i) {
      differ += a[i] != b[i];
      changed += a[i] != s[i];
    }
  }
  EXPECT_EQ(differ, 0);
  EXPECT_GT(changed, 64 * 40);  // the profile did change the colours
}

TEST(TiffPeers, HostileFilesAreRefusedOrCut) {
  auto page = [](tiffkit::Builder& tb, int d, uint32_t w, uint32_t h, uint16_t compression) {
    tb.Long(d, 256, {w});
    tb.Long(d, 257, {h});
    tb.Short(d, 258, {8});
    tb.Short(d, 259, {compression});
    tb.Short(d, 262, {1});
  };
  struct Case {
    const char* name;
    Bytes file;
  };
  std::vector<Case> cases;
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    page(tb, d, 100, 100, 1);
    tb.Long(d, 273, {0x7FFFFFF0});  // strip past the end
    tb.Long(d, 279, {10000});
    cases.push_back({"strip offset past the end", tb.Build()});
  }
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    page(tb, d, 100, 100, 1);
    const int blob = tb.AddBlob(Bytes(50, 7));
    tb.BlobOffset(d, 273, blob);
    tb.Long(d, 279, {10000});  // more than the file holds
    cases.push_back({"strip shorter than its rows", tb.Build()});
  }
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    page(tb, d, 64, 64, 5);
    const int blob = tb.AddBlob(Bytes{0x80, 0x00, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF});
    tb.BlobOffset(d, 273, blob);
    tb.Long(d, 279, {7});
    cases.push_back({"LZW stream that runs off", tb.Build()});
  }
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    tb.Long(d, 256, {1728});
    tb.Long(d, 257, {200});
    tb.Short(d, 259, {4});
    tb.Short(d, 262, {0});
    const int blob = tb.AddBlob(Bytes{0x12, 0x34, 0xFF});
    tb.BlobOffset(d, 273, blob);
    tb.Long(d, 279, {3});
    cases.push_back({"G4 stream that runs off", tb.Build()});
  }
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    page(tb, d, 10, 10, 1);
    tb.Long(d, 322, {0x10000});
    tb.Long(d, 323, {0x10000});
    const int blob = tb.AddBlob(Bytes(100, 1));
    tb.BlobOffset(d, 324, blob);
    tb.Long(d, 325, {100});
    cases.push_back({"tile far larger than the picture", tb.Build()});
  }
  {
    tiffkit::Builder tb;
    const int d = tb.AddIfd();
    page(tb, d, 60000, 60000, 5);
    const int blob = tb.AddBlob(Bytes(16, 0));
    tb.BlobOffset(d, 273, blob);
    cases.push_back({"huge size over a few bytes", tb.Build()});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded l;
    Load(c.file, l);
    EXPECT_TRUE(l.Abort.load());
    EXPECT_LE(Int64{l.Bitmap.GetWidth()} * l.Bitmap.GetHeight(), Int64{1728} * 200);
  }
}

}  // namespace
