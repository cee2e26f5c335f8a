// BMP and DIB codec tests: the conformance suite against its reference
// pictures, questionable and bad files, writer kinds read by peers, the
// run-length coder's bytes and hostile headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "codecs/bmp/bmpfilt.h"
#include "codecs/codec_kit.h"
#include "codecs/lkcodecutil.h"

namespace fs = std::filesystem;

namespace {

using codeckit::Bytes;
using codeckit::Progress;
using filekit::HaveTool;

bool ReadBmp(const Bytes& Data, TLKBitmap& B, TIOParamsVals& P, TLKMask** Mask = nullptr) {
  auto s = codeckit::StreamOf(Data);
  Progress pr;
  TLKMask* m = nullptr;
  BMPReadStream(s.get(), &B, 0, P, pr.rec, false, false, m, Mask == nullptr);
  if (Mask) *Mask = m;
  else delete m;
  return !pr.Aborted();
}

TEST(BmpCodecTest, SuiteMatchesItsReferencePictures) {
  const fs::path dir = fs::path(LUMERAK_TESTDATA_DIR) / "bmpsuite";
  if (!fs::exists(dir) || !HaveTool("convert")) GTEST_SKIP() << "no bmpsuite or convert";
  // 16-bit channels are widened by shifting (the reference replicates the
  // top bits), 1-bit pictures of two other colours keep their bits as black
  // and white.
  const std::map<std::string, Integer> tolerance = {{"rgb16.bmp", 7}, {"rgb16-565.bmp", 7}, {"rgb16-565pal.bmp", 7},
                                                    {"rgb16bfdef.bmp", 7}, {"rgb32bf.bmp", 0}};
  const std::set<std::string> skip = {"pal1bg.bmp"};
  for (const auto& e : fs::directory_iterator(dir / "g")) {
    const std::string name = e.path().filename().string();
    if (skip.count(name)) continue;
    TLKBitmap b;
    TIOParamsVals p;
    ASSERT_TRUE(ReadBmp(filekit::LoadFile(e.path().string()), b, p)) << name;
    const fs::path ref = dir / "html" / (e.path().stem().string() + ".png");
    if (!fs::exists(ref)) continue;
    Integer w = 0, h = 0;
    const Bytes want = codeckit::PeerRGBA(ref.string(), w, h);
    const auto t = tolerance.find(name);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b), want, t == tolerance.end() ? 0 : t->second, false), 0)
        << name;
  }
  for (const char* sub : {"q", "b"}) {
    for (const auto& e : fs::directory_iterator(dir / sub)) {
      TLKBitmap b;
      TIOParamsVals p;
      const bool ok = ReadBmp(filekit::LoadFile(e.path().string()), b, p);
      // Bad files need only be survived; the huge and the cut ones are
      // refused.
      const std::string name = e.path().filename().string();
      if (name == "reallybig.bmp" || name == "shortfile.bmp") {
        EXPECT_FALSE(ok) << name;
      }
    }
  }
}

TEST(BmpCodecTest, WriterKindsReadBackAndByPeers) {
  struct Row {
    const char* name;
    Integer bits, samples;
    TIOBMPVersion version;
    TIOBMPCompression compression;
    bool alpha;
    Integer colours;
  } rows[] = {{"24", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, false, 0},
              {"8 rle", 8, 1, ioBMP_BM3, ioBMP_RLE, false, 40},
              {"4", 4, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, false, 12},
              {"4 rle", 4, 1, ioBMP_BM3, ioBMP_RLE, false, 12},
              {"1", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, false, 2},
              {"32 alpha", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, true, 0},
              {"os2 8", 8, 1, ioBMP_BMOS2V1, ioBMP_RLE, false, 30},
              {"os2v2 24", 8, 3, ioBMP_BMOS2V2, ioBMP_UNCOMPRESSED, false, 0}};
  filekit::TempDir dir("lkbmp_");
  for (const Row& r : rows) {
    TLKBitmap src;
    codeckit::MakePicture(src, 19, 7, r.colours);
    if (r.colours == 2)  // two colours other than black and white would read back as 1-bit black and white
      for (Integer y = 0; y < 7; ++y)
        for (Integer x = 0; x < 19; ++x) src.SetPixels_lk24RGB(x, y, (x + y) % 3 ? TRGB{255, 255, 255} : TRGB{0, 0, 0});
    if (r.alpha)
      for (Integer x = 0; x < 19; ++x) src.SetAlpha(x, 3, Byte(x * 13));
    TIOParamsVals p;
    p.BITSPERSAMPLE = r.bits;
    p.SAMPLESPERPIXEL = r.samples;
    p.BMP_VERSION = r.version;
    p.BMP_COMPRESSION = r.compression;
    p.DPIX = p.DPIY = 150;
    Progress pr;
    TMemoryStream m;
    BMPWriteStream(&m, &src, p, pr.rec, r.alpha);
    ASSERT_FALSE(pr.Aborted()) << r.name;
    const Bytes data = codeckit::BytesOf(m);
    TLKBitmap back;
    TIOParamsVals q;
    TLKMask* mask = nullptr;
    ASSERT_TRUE(ReadBmp(data, back, q, &mask)) << r.name;
    const Bytes want = codeckit::RGBAOf(src);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(back, mask), want, 0, r.alpha), 0) << r.name;
    EXPECT_EQ(q.DPIX, r.version == ioBMP_BMOS2V1 ? gDefaultDPIX : 150) << r.name;
    delete mask;
    if (!HaveTool("convert")) continue;
    filekit::SaveFile(dir / "w.bmp", data);
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(dir / "w.bmp", w, h), want, 0, false), 0) << r.name;
    if (HaveTool("bmptopnm") && r.version == ioBMP_BM3) {
      EXPECT_TRUE(codeckit::Run("bmptopnm " + dir / "w.bmp")) << r.name;
    }
  }
}

TEST(BmpCodecTest, RunLengthRowsAreCodedAsPacked) {
  struct Row {
    const char* name;
    Bytes pixels;
    bool four;
    Bytes want;
  };
  Bytes equal(300, 7), alternating(600), five = {1, 2, 3, 4, 5};
  for (size_t i = 0; i < alternating.size(); ++i) alternating[i] = Byte(i & 1);
  Bytes alt = {0, 255};
  alt.insert(alt.end(), alternating.begin(), alternating.begin() + 255);
  alt.push_back(0);  // pad
  alt.insert(alt.end(), {1, alternating[255], 0, 255});
  alt.insert(alt.end(), alternating.begin() + 256, alternating.begin() + 511);
  alt.push_back(0);
  alt.insert(alt.end(), {1, alternating[511], 0, 88});
  alt.insert(alt.end(), alternating.begin() + 512, alternating.end());
  alt.insert(alt.end(), {0, 0});
  const Row rows[] = {{"300 equal", equal, false, {255, 7, 45, 7, 0, 0}},
                      {"600 alternating", alternating, false, alt},
                      {"rle4 literal of 5", five, true, {0, 5, 0x12, 0x34, 0x50, 0, 0, 0}}};
  for (const Row& r : rows) {
    Bytes out;
    BMPEncodeRLERow(r.pixels.data(), Integer(r.pixels.size()), r.four, out);
    EXPECT_EQ(out, r.want) << r.name;
  }
}

// Builds a bitmap file: 40-byte (or larger) header, palette, pixel bytes.
Bytes MakeBmp(Integer W, Integer H, Integer Bits, DWORD Compression, const Bytes& Pixels, DWORD HeaderSize = 40,
              const Bytes& Palette = {}, const Bytes& Masks = {}) {
  Bytes b(14 + HeaderSize, 0);
  b[0] = 'B', b[1] = 'M';
  auto put32 = [&](size_t at, DWORD v) { lkcodec::PutLe32(&b[at], v); };
  put32(14, HeaderSize);
  put32(18, DWORD(W));
  put32(22, DWORD(H));
  b[26] = 1;
  b[28] = Byte(Bits);
  put32(30, Compression);
  if (!Masks.empty() && HeaderSize >= 52) std::copy(Masks.begin(), Masks.end(), b.begin() + 54);
  put32(46, DWORD(Palette.size() / 4));
  b.insert(b.end(), Palette.begin(), Palette.end());
  if (HeaderSize < 52) b.insert(b.end(), Masks.begin(), Masks.end());
  put32(10, DWORD(b.size()));
  b.insert(b.end(), Pixels.begin(), Pixels.end());
  put32(2, DWORD(b.size()));
  return b;
}

TEST(BmpCodecTest, HeaderVariantsAndAlpha) {
  // Top-down (negative height) gives the same picture as bottom-up.
  const Bytes rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 0};  // 2 rows of 1 pixel, padded
  TLKBitmap up, down;
  TIOParamsVals p;
  ASSERT_TRUE(ReadBmp(MakeBmp(1, 2, 24, 0, rows), up, p));
  ASSERT_TRUE(ReadBmp(MakeBmp(1, -2, 24, 0, {255, 0, 0, 0, 0, 0, 255, 0}), down, p));
  EXPECT_EQ(p.HEIGHT, 2);
  EXPECT_EQ(codeckit::RGBAOf(up), codeckit::RGBAOf(down));
  // A version 5 header carries its 5-6-5 masks inside the header.
  TLKBitmap v5;
  const Bytes masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  ASSERT_TRUE(ReadBmp(MakeBmp(2, 1, 16, 3, {0x00, 0xF8, 0x1F, 0x00}, 124, {}, masks), v5, p));
  EXPECT_EQ(v5.GetPixels(0, 0), (TRGB{0, 0, 248}));
  EXPECT_EQ(v5.GetPixels(1, 0), (TRGB{248, 0, 0}));
  // 32 bits: mixed alpha gives a mask, all 0 or all 255 none.
  for (Byte a0 : {Byte(0), Byte(255), Byte(9)}) {
    TLKBitmap b;
    TLKMask* mask = nullptr;
    ASSERT_TRUE(ReadBmp(MakeBmp(2, 1, 32, 0, {1, 2, 3, a0, 4, 5, 6, a0 == 9 ? Byte(200) : a0}), b, p, &mask));
    EXPECT_EQ(mask != nullptr, a0 == 9);
    if (mask) {
      EXPECT_EQ(mask->GetPixel(1, 0), 200);
    }
    delete mask;
  }
  // A white, black palette inverts the bits.
  TLKBitmap one;
  ASSERT_TRUE(ReadBmp(MakeBmp(8, 1, 1, 0, {0xF0, 0, 0, 0}, 40, {255, 255, 255, 0, 0, 0, 0, 0}), one, p));
  EXPECT_EQ(static_cast<Byte*>(one.GetScanLine(0))[0], 0x0F);
}

// Another encoder codes an odd-width RLE8 row with a padding pixel past the
// row's end: it is dropped, not put over the last column. The files of every
// odd width give back the picture they were made of (exactly: it has fewer
// colours than the palette; netpbm refuses such rows).
TEST(BmpCodecTest, OddWidthRunLengthFilesOfAnotherEncoderMatchPeers) {
  const std::string im = "/usr/bin/convert-im6.q16";
  if (!HaveTool(im.c_str())) GTEST_SKIP() << "no ImageMagick";
  filekit::TempDir dir("lkbmprle_");
  for (Integer w : {1, 3, 5, 7, 9, 15, 31}) {
    const Integer h = 6;
    // Each column its own colour, so a wrong last column shows.
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) ppm += {char(x * 8), char(y * 40), char((x * y) & 255)};
    filekit::SaveFile(dir / "in.ppm", Bytes(ppm.begin(), ppm.end()));
    const std::string bmp = dir / ("w" + std::to_string(w) + ".bmp");
    ASSERT_TRUE(filekit::RunTool(im + " " + dir / "in.ppm" + " -type palette -compress RLE bmp3:" + bmp));
    const Bytes data = filekit::LoadFile(bmp);
    ASSERT_EQ(lkcodec::Le32(&data[30]), 1u) << "not RLE8";
    TLKBitmap b;
    TIOParamsVals p;
    ASSERT_TRUE(ReadBmp(data, b, p)) << w;
    ASSERT_EQ(b.GetWidth(), w);
    Integer wrong = 0;
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) wrong += b.GetPixels(x, y) != TRGB{Byte((x * y) & 255), Byte(y * 40), Byte(x * 8)};
    EXPECT_EQ(wrong, 0) << "width " << w;
  }
}

// RLE data that ends before the picture does (no end of bitmap, rows left)
// keeps the rows it gave and sets the flag; a whole file does not.
TEST(BmpCodecTest, RunLengthDataCutShortSetsTheFlagAndKeepsTheRows) {
  const Bytes palette(256 * 4, 0);
  // Two rows of 4: a run of 4, end of line, a run of 4, end of bitmap.
  const Bytes whole = {4, 9, 0, 0, 4, 7, 0, 1};
  for (size_t n = 1; n <= whole.size(); ++n) {
    TLKBitmap b;
    TIOParamsVals p;
    const bool ok = ReadBmp(MakeBmp(4, 2, 8, 1, Bytes(whole.begin(), whole.begin() + n), 40, palette), b, p);
    // The last row needs no end of line or end of bitmap once it is full.
    EXPECT_EQ(ok, n >= 6) << n;
    EXPECT_EQ(b.GetWidth(), 4) << n;
  }
}

TEST(BmpCodecTest, HostileHeadersAbortWithoutAllocating) {
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}},
      {"not BM", {'B', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"truncated header", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0}},
      {"huge uncompressed", MakeBmp(60000, 60000, 24, 0, {1, 2, 3, 4})},
      {"huge rle", MakeBmp(1 << 30, 1 << 20, 8, 1, {0, 1})},
      {"height INT_MIN", MakeBmp(1, INT32_MIN, 24, 0, {0, 0, 0, 0})},
      // Row length times height passes 2^63.
      {"rows past 64 bits", MakeBmp(0x7FFF0000, 0x7FFF0000, 32, 0, {0, 0, 0, 0})},
      {"unknown depth", MakeBmp(2, 2, 7, 0, {0, 0, 0, 0, 0, 0, 0, 0})},
  };
  for (const auto& [name, data] : cases) {
    TLKBitmap b;
    TIOParamsVals p;
    EXPECT_FALSE(ReadBmp(data, b, p)) << name;
    EXPECT_TRUE(b.IsEmpty()) << name;
  }
  // An RLE delta off the picture and runs past the row end stay inside.
  TLKBitmap b;
  TIOParamsVals p;
  const Bytes palette(256 * 4, 0);
  ReadBmp(MakeBmp(4, 2, 8, 1, {200, 1, 0, 2, 255, 255, 9, 2, 0, 1}, 40, palette), b, p);
  EXPECT_EQ(b.GetWidth(), 4);
  // Zero sizes fill the parameters and allocate nothing.
  TLKBitmap z;
  EXPECT_TRUE(ReadBmp(MakeBmp(0, 5, 24, 0, {}), z, p));
  EXPECT_TRUE(z.IsEmpty());
  EXPECT_EQ(p.HEIGHT, 5);
}

}  // namespace
