// PNG codec tests: the conformance suite decoded like a peer decodes it,
// corrupt files refused, our files read by peers, writer options.
#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/codec_kit.h"
#include "codecs/png/pngfilt.h"

namespace fs = std::filesystem;

namespace {

using codeckit::Bytes;
using codeckit::Progress;
using filekit::HaveTool;

bool ReadPng(const Bytes& Data, TLKBitmap& B, TIOParamsVals& P) {
  auto s = codeckit::StreamOf(Data);
  Progress pr;
  ReadPNGStream(s.get(), &B, P, false, pr.rec);
  return !pr.Aborted();
}

TEST(PngCodecTest, SuiteDecodesLikeThePeerAndCorruptFilesAbort) {
  const fs::path dir = fs::path(LUMERAK_TESTDATA_DIR) / "pngsuite";
  if (!fs::exists(dir) || !HaveTool("pngtopnm")) GTEST_SKIP() << "no PngSuite or pngtopnm";
  Integer compared = 0;
  std::vector<fs::path> files;
  for (const fs::path& d : {dir, dir / "interlaced"})
    for (const auto& e : fs::directory_iterator(d)) files.push_back(e.path());
  for (const fs::path& path : files) {
    const fs::directory_entry e(path);
    if (e.path().extension() != ".png") continue;
    const std::string name = e.path().filename().string();
    TLKBitmap b;
    TIOParamsVals p;
    const bool ok = ReadPng(filekit::LoadFile(e.path().string()), b, p);
    if (name[0] == 'x') {
      EXPECT_FALSE(ok) << name;
      continue;
    }
    ASSERT_TRUE(ok) << name;
    Integer w = 0, h = 0;
    const Bytes peer = codeckit::PeerPNM("pngtopnm", "pngtopnm -alpha", e.path().string(), w, h);
    ASSERT_EQ(b.GetWidth(), w) << name;
    // Colour is compared where the peer shows the pixel; alpha where ours
    // carries it (transparency chunks of RGB and 8-bit grey pictures give
    // no alpha here).
    Bytes ours = codeckit::RGBAOf(b);
    Bytes theirs = peer;
    for (size_t i = 3; i < theirs.size(); i += 4)
      if (!b.GetHasAlphaChannel()) theirs[i] = ours[i] = 255;
    EXPECT_EQ(codeckit::Differences(ours, theirs, 0, b.GetHasAlphaChannel()), 0) << name;
    ++compared;
  }
  EXPECT_GT(compared, 55);
}

TEST(PngCodecTest, ParametersOfTheFile) {
  const fs::path dir = fs::path(LUMERAK_TESTDATA_DIR) / "pngsuite";
  if (!fs::exists(dir)) GTEST_SKIP() << "no PngSuite";
  struct Row {
    const char* file;
    bool native;
    TLKPixelFormat fmt;
    Integer bits, samples;
    bool interlaced;
  } rows[] = {{"basn0g04.png", false, lk24RGB, 4, 1, false}, {"basn3p08.png", true, lk8p, 8, 1, false},
              {"basn3p04.png", true, lk24RGB, 4, 1, false},  {"basn0g01.png", false, lk1g, 1, 1, false},
              {"ibasn6a08.png", false, lk24RGB, 8, 4, true},  {"basn0g08.png", true, lk8g, 8, 1, false}};
  for (const Row& r : rows) {
    TLKBitmap b;
    TIOParamsVals p;
    p.ISNATIVEPIXELFORMAT = r.native;
    ASSERT_TRUE(ReadPng(filekit::LoadFile((dir / r.file).string()), b, p)) << r.file;
    EXPECT_EQ(b.GetPixelFormat(), r.fmt) << r.file;
    EXPECT_EQ(p.BITSPERSAMPLE, r.bits) << r.file;
    EXPECT_EQ(p.SAMPLESPERPIXEL, r.samples) << r.file;
    EXPECT_EQ(p.PNG_INTERLACED, r.interlaced) << r.file;
    EXPECT_EQ(p.DPIX, gDefaultDPIX) << r.file;
  }
  // The interlaced RGBA twin gives the same pixels.
  TLKBitmap a, b;
  TIOParamsVals p;
  ASSERT_TRUE(ReadPng(filekit::LoadFile((dir / "ibasn6a08.png").string()), a, p));
  ASSERT_TRUE(ReadPng(filekit::LoadFile((dir / "basn6a08.png").string()), b, p));
  EXPECT_EQ(codeckit::RGBAOf(a), codeckit::RGBAOf(b));
}

struct WriteCase {
  const char* name;
  Integer samples, bits;
  bool interlaced, mask, grey;
  int wantColourType;  // byte 25 of the file
  Integer wantDepth;   // byte 24
};

TEST(PngCodecTest, WriterKindsReadBackAndByPeers) {
  const WriteCase cases[] = {
      {"rgb", 3, 8, false, false, false, 2, 8},       {"rgb interlaced", 3, 8, true, false, false, 2, 8},
      {"rgba", 3, 8, false, true, false, 6, 8},       {"palette", 1, 8, false, false, false, 3, 8},
      {"palette 4 asked", 1, 4, false, false, false, 3, 8}, {"grey palette", 1, 8, false, false, true, 0, 8},
      {"palette with mask", 1, 8, false, true, false, 3, 8}, {"1-bit", 1, 1, false, false, false, 0, 1},
  };
  filekit::TempDir dir("lkpng_");
  for (const WriteCase& c : cases) {
    TLKBitmap src;
    codeckit::MakePicture(src, 21, 13, c.samples == 1 ? 6 : 0);
    if (c.grey)
      for (Integer y = 0; y < 13; ++y)
        for (Integer x = 0; x < 21; ++x) {
          const Byte g = Byte(x * 12);
          src.SetPixels_lk24RGB(x, y, TRGB{g, g, g});
        }
    if (c.bits == 1)
      for (Integer y = 0; y < 13; ++y)
        for (Integer x = 0; x < 21; ++x) src.SetPixels_lk24RGB(x, y, (x ^ y) & 1 ? TRGB{255, 255, 255} : TRGB{0, 0, 0});
    TLKMask mask;
    if (c.mask) {
      mask.AllocateBits(21, 13, 8);
      mask.Fill(255);
      for (Integer y = 0; y < 13; ++y) mask.SetPixel(y, y, c.samples == 1 ? 0 : 100);
      mask.SetFull(false);
    }
    TIOParamsVals p;
    p.SAMPLESPERPIXEL = c.samples;
    p.BITSPERSAMPLE = c.bits;
    p.PNG_INTERLACED = c.interlaced;
    p.DPIX = p.DPIY = 300;
    p.PNG_COMPRESSION = 5;
    p.PNG_TextKeywords.Add("Title");
    p.PNG_TextKeywords.Add("Author");
    p.PNG_TextKeywords.Add("Extra");
    p.PNG_TextStrings.Add("a picture");
    p.PNG_TextStrings.Add("us");
    Progress pr;
    TMemoryStream m;
    WritePNGStream(&m, &src, p, pr.rec, c.mask ? &mask : nullptr);
    ASSERT_FALSE(pr.Aborted()) << c.name;
    const Bytes data = codeckit::BytesOf(m);
    EXPECT_EQ(data[25], c.wantColourType) << c.name;
    EXPECT_EQ(data[24], c.wantDepth) << c.name;
    TLKBitmap back;
    TIOParamsVals q;
    ASSERT_TRUE(ReadPng(data, back, q)) << c.name;
    EXPECT_EQ(q.DPIX, 300) << c.name;
    EXPECT_EQ(q.PNG_TextKeywords.Count(), 2) << c.name;
    Bytes want = codeckit::RGBAOf(src, c.mask ? &mask : nullptr);
    if (c.mask && c.samples == 1)
      for (size_t i = 3; i < want.size(); i += 4) want[i] = want[i] == 255 ? 255 : 0;
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(back), want, 0, c.mask), 0) << c.name;
    if (!HaveTool("convert")) continue;
    filekit::SaveFile(dir / "w.png", data);
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(dir / "w.png", w, h), want, 0, c.mask), 0) << c.name;
    if (HaveTool("pngtopnm")) {
      Integer w2 = 0, h2 = 0;
      EXPECT_EQ(codeckit::Differences(codeckit::PeerPNM("pngtopnm", c.mask ? "pngtopnm -alpha" : "", dir / "w.png", w2, h2),
                                      want, 0, c.mask),
                0)
          << c.name;
    }
  }
}

TEST(PngCodecTest, PaletteOfSixteenBitsRaisesAndBadStreamsAbort) {
  TLKBitmap src;
  codeckit::MakePicture(src, 4, 4, 5);
  TIOParamsVals p;
  p.SAMPLESPERPIXEL = 1;
  p.BITSPERSAMPLE = 16;
  Progress pr;
  TMemoryStream m;
  EXPECT_THROW(WritePNGStream(&m, &src, p, pr.rec, nullptr), EInvalidGraphic);
  // Truncated header and a huge IHDR (65535 x 65535 from a few bytes).
  const Bytes sig = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes huge = sig;
  huge.insert(huge.end(), {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 8, 2, 0, 0, 0});
  TMemoryStream crc;
  for (const Bytes& bad : {Bytes{}, Bytes(sig.begin(), sig.begin() + 5), sig, huge}) {
    TLKBitmap b;
    TIOParamsVals q;
    EXPECT_FALSE(ReadPng(bad, b, q));
    EXPECT_TRUE(b.IsEmpty());
  }
}

}  // namespace
