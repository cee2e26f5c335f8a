// Portable formats, WBMP and TGA: peer-made files, our files read by
// peers, the scaling and header rules, and hostile headers.
#include <gtest/gtest.h>

#include <cstring>

#include "codecs/codec_kit.h"
#include "codecs/pnm/pxmfilt.h"
#include "codecs/tga/tgafilt.h"
#include "io/lumerakio.h"

namespace {

using codeckit::Bytes;
using codeckit::Progress;
using filekit::HaveTool;
using filekit::RunTool;

Bytes Text(const std::string& S) { return Bytes(S.begin(), S.end()); }

bool ReadPxm(const Bytes& Data, TLKBitmap& B, TIOParamsVals& P) {
  auto s = codeckit::StreamOf(Data);
  Progress pr;
  PXMReadStream(s.get(), &B, P, pr.rec, false);
  return !pr.Aborted();
}

bool ReadTga(const Bytes& Data, TLKBitmap& B, TIOParamsVals& P, TLKMask** Mask = nullptr) {
  auto s = codeckit::StreamOf(Data);
  Progress pr;
  TLKMask* m = nullptr;
  ReadTGAStream(s.get(), &B, P, pr.rec, false, m, Mask == nullptr);
  if (Mask) *Mask = m;
  else delete m;
  return !pr.Aborted();
}

TEST(PxmCodecTest, PeerMadeFilesReadLikeThePeerDecodes) {
  if (!HaveTool("convert") || !HaveTool("pnmtopnm")) GTEST_SKIP() << "convert or netpbm missing";
  filekit::TempDir dir("lkpxm_");
  const std::string src = dir / "src.ppm";
  ASSERT_TRUE(RunTool("convert -size 23x11 gradient:orange-navy " + src));
  const char* makes[] = {
      "pnmtopnm -plain %s > %s",                          // P3
      "ppmtopgm %s > %s",                                 // P5
      "ppmtopgm %s | pnmtopnm -plain > %s",               // P2
      "ppmtopgm %s | pgmtopbm > %s",                      // P4
      "ppmtopgm %s | pgmtopbm | pnmtopnm -plain > %s",    // P1
      "pnmdepth 1023 %s > %s",                            // 16-bit P6
      "pnmdepth 15 %s > %s",                              // small maximum
  };
  for (const char* make : makes) {
    char cmd[512];
    std::snprintf(cmd, sizeof cmd, make, src.c_str(), (dir / "p.pnm").c_str());
    ASSERT_TRUE(codeckit::Run(cmd)) << cmd;
    TLKBitmap b;
    TIOParamsVals p;
    ASSERT_TRUE(ReadPxm(filekit::LoadFile(dir / "p.pnm"), b, p)) << make;
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b), codeckit::PeerRGBA(dir / "p.pnm", w, h), 1, false), 0) << make;
  }
}

TEST(PxmCodecTest, WrittenFilesReadBackAndByPeers) {
  struct Row {
    const char* name;
    Integer bits, samples;
    TLKPixelFormat fmt;
    const char* magic;
  } rows[] = {{"P6", 8, 3, lk24RGB, "P6"}, {"P5", 8, 1, lk24RGB, "P5"}, {"P4", 1, 1, lk1g, "P4"},
              {"P6 16", 16, 3, lk24RGB, "P6"}, {"P6 48", 16, 3, lk48RGB, "P6"}};
  filekit::TempDir dir("lkpxmw_");
  for (const Row& r : rows) {
    TLKBitmap src;
    codeckit::MakePicture(src, 13, 6, r.samples == 1 ? 0 : 0);
    if (r.samples == 1)
      for (Integer y = 0; y < 6; ++y)
        for (Integer x = 0; x < 13; ++x) {
          const Byte g = r.bits == 1 ? ((x + y) & 1 ? 255 : 0) : Byte(x * 19);
          src.SetPixels_lk24RGB(x, y, TRGB{g, g, g});
        }
    if (r.fmt != lk24RGB) src.SetPixelFormat(r.fmt);
    TIOParamsVals p;
    p.BITSPERSAMPLE = r.bits;
    p.SAMPLESPERPIXEL = r.samples;
    p.PXM_CommentLines.Add("first");
    p.PXM_CommentLines.Add("second line");
    p.ISNATIVEPIXELFORMAT = r.fmt == lk48RGB;
    Progress pr;
    TMemoryStream m;
    PXMWriteStream(&m, &src, p, pr.rec);
    const Bytes data = codeckit::BytesOf(m);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 2), r.magic) << r.name;
    TLKBitmap back;
    TIOParamsVals q;
    q.ISNATIVEPIXELFORMAT = r.fmt == lk48RGB;
    ASSERT_TRUE(ReadPxm(data, back, q)) << r.name;
    EXPECT_EQ(back.GetPixelFormat(), r.fmt == lk48RGB ? lk48RGB : r.bits == 1 ? lk1g : lk24RGB) << r.name;
    ASSERT_EQ(q.PXM_CommentLines.Count(), 2) << r.name;
    EXPECT_EQ(q.PXM_CommentLines.Strings(1), "second line");
    const Bytes want = codeckit::RGBAOf(src);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(back), want, 0, false), 0) << r.name;
    if (!HaveTool("convert")) continue;
    filekit::SaveFile(dir / "w.pnm", data);
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(dir / "w.pnm", w, h), want, 0, false), 0) << r.name;
  }
}

TEST(PxmCodecTest, SampleScalingAndHeaderRules) {
  struct Row {
    const char* name;
    std::string file;
    bool ok;
    TRGB first;
  } rows[] = {
      {"P5 max 15", "P5 2 1 15\n\x0f\x07", true, TRGB{255, 255, 255}},
      {"P2 max 65535", "P2 1 1 65535 65535", true, TRGB{255, 255, 255}},
      {"P6 max 1023 keeps scale", std::string("P6 1 1 1023\n\x03\xff\x00\x00\x01\xff", 18), true, TRGB{127, 0, 255}},  // 16-bit samples scaled to their maximum
      {"P6 max 15 scaled", std::string("P6 1 1 15\n\x0f\x00\x07", 13), true, TRGB{119, 0, 255}},
      {"P3 comment", "P3\n# hi\n1 1 255 1 2 3", true, TRGB{3, 2, 1}},
      {"only magic and width", "P6 7", false, {}},
      {"maximum 0", "P2 1 1 0 0", false, {}},
      {"maximum past 16 bits", "P6 1 1 70000\n", false, {}},
      {"unknown magic", "P7 1 1 255\n", false, {}},
      {"huge size", "P6 60000 60000 255\n\x01\x02\x03", false, {}},
  };
  for (const Row& r : rows) {
    TLKBitmap b;
    TIOParamsVals p;
    EXPECT_EQ(ReadPxm(Text(r.file), b, p), r.ok) << r.name;
    if (r.ok) {
      EXPECT_EQ(b.GetPixels(0, 0), r.first) << r.name;
    } else {
      EXPECT_TRUE(b.IsEmpty()) << r.name;
    }
  }
  TLKBitmap b;
  TIOParamsVals p;
  ASSERT_TRUE(ReadPxm(Text("P5 2 1 15\n\x0f\x07"), b, p));
  EXPECT_EQ(b.GetPixels(1, 0), (TRGB{119, 119, 119}));
}

TEST(WbmpCodecTest, RoundTripPeersAndHeaderBytes) {
  TLKBitmap src(200, 3, lk1g);
  for (Integer x = 0; x < 200; ++x)
    for (Integer y = 0; y < 3; ++y) src.SetPixels_lk1g(x, y, (x * y) % 3 == 0);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream m;
  WBMPWriteStream(&m, &src, p, pr.rec);
  const Bytes data = codeckit::BytesOf(m);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 5), (Bytes{0, 0, 0x81, 0x48, 3}));
  auto s = codeckit::StreamOf(data);
  TLKBitmap back;
  WBMPReadStream(s.get(), &back, p, pr.rec, false);
  ASSERT_FALSE(pr.Aborted());
  EXPECT_EQ(codeckit::RGBAOf(back), codeckit::RGBAOf(src));
  if (HaveTool("wbmptopbm")) {
    filekit::TempDir dir("lkwbmp_");
    filekit::SaveFile(dir / "a.wbmp", data);
    ASSERT_TRUE(codeckit::Run("wbmptopbm " + dir / "a.wbmp > " + dir / "a.pbm"));
    TLKBitmap peer;
    TIOParamsVals q;
    ASSERT_TRUE(ReadPxm(filekit::LoadFile(dir / "a.pbm"), peer, q));
    EXPECT_EQ(codeckit::RGBAOf(peer), codeckit::RGBAOf(src));
  }
  // Width 300 reads; a non-zero type, a zero size or a huge one aborts.
  Bytes wide = {0, 0, 0x82, 0x2C, 1};  // 300 x 1
  wide.resize(wide.size() + 38, 0xFF);
  for (const auto& [data2, ok] : std::vector<std::pair<Bytes, bool>>{{wide, true},
                                                                  {{1, 0, 1, 1, 0}, false},
                                                                  {{0, 0, 0, 1, 0}, false},
                                                                  {{0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0}, false}}) {
    auto in = codeckit::StreamOf(data2);
    TLKBitmap b;
    TIOParamsVals q;
    Progress pr2;
    WBMPReadStream(in.get(), &b, q, pr2.rec, false);
    EXPECT_EQ(!pr2.Aborted(), ok);
    if (ok) {
      EXPECT_EQ(q.WIDTH, 300);
    }
  }
}

// A colour picture goes to one bit by its own light: a light picture
// stays mostly white, a dark one mostly black (the conversion once wrote
// every pixel black).
TEST(WbmpCodecTest, ColourPicturesKeepTheirLight) {
  for (const auto& [name, base, whiteShare] :
       std::vector<std::tuple<const char*, int, double>>{{"light", 200, 0.85}, {"dark", 20, 0.15}}) {
    SCOPED_TRACE(name);
    TLKBitmap src(120, 80, lk24RGB);
    // A gentle gradient with a dark square in the light picture.
    for (Integer y = 0; y < 80; ++y)
      for (Integer x = 0; x < 120; ++x) {
        const bool patch = base > 100 && x >= 10 && x < 30 && y >= 10 && y < 30;
        const Byte v = Byte(patch ? 30 : base + (x + y) % 40);
        src.SetPixels_lk24RGB(x, y, TRGB{Byte(v - 10), v, Byte(v + 10)});
      }
    for (const bool throughRegistry : {false, true}) {
      TMemoryStream m;
      Progress pr;
      TIOParamsVals p;
      if (throughRegistry) {
        TLumerakIO io;
        io.GetLKBitmap()->Assign(&src);
        io.SaveToStreamWBMP(&m);
        ASSERT_FALSE(io.GetAborted());
      } else {
        WBMPWriteStream(&m, &src, p, pr.rec);
        ASSERT_FALSE(pr.Aborted());
      }
      auto s = codeckit::StreamOf(codeckit::BytesOf(m));
      TLKBitmap back;
      WBMPReadStream(s.get(), &back, p, pr.rec, false);
      ASSERT_EQ(back.GetWidth(), 120);
      const auto share = [&](Integer X0, Integer Y0, Integer X1, Integer Y1) {
        Integer white = 0;
        for (Integer y = Y0; y < Y1; ++y)
          for (Integer x = X0; x < X1; ++x) white += back.GetPixels_lk1g(x, y) ? 1 : 0;
        return double(white) / double((X1 - X0) * (Y1 - Y0));
      };
      EXPECT_NEAR(share(40, 0, 120, 80), whiteShare, 0.2) << throughRegistry;
      if (base > 100) EXPECT_LT(share(10, 10, 30, 30), 0.3) << "the dark square stays dark";
    }
  }
}

TEST(TgaCodecTest, PeerMadeFilesReadLikeThePeerDecodes) {
  if (!HaveTool("convert") || !HaveTool("ppmtotga")) GTEST_SKIP() << "convert or netpbm missing";
  filekit::TempDir dir("lktga_");
  const std::string src = dir / "src.ppm";
  ASSERT_TRUE(RunTool("convert -size 23x11 gradient:orange-navy -colors 40 " + src));
  ASSERT_TRUE(codeckit::Run("ppmtopgm " + src + " > " + dir / "src.pgm"));
  ASSERT_TRUE(codeckit::Run("convert " + src + " -flip " + dir / "flip.ppm"));
  ASSERT_TRUE(codeckit::Run("convert " + src + " -alpha set -channel A -fx 'i/w' -flip " + dir / "flipa.png"));
  // The peer that makes a file, and the picture it must show. The peers
  // disagree on the row order of bottom-up files: netpbm stores the bottom
  // row first, as the format says; convert stores the top row first in a
  // file marked bottom-up (and reads its own files back that way), so its
  // files show the source upside down.
  const std::pair<const char*, std::string> makes[] = {
      {"ppmtotga -rgb -norle %s > %s", src},        {"ppmtotga -rgb %s > %s", src},
      {"ppmtotga -cmap %s > %s", src},              {"ppmtotga -cmap -norle %s > %s", src},
      {"ppmtopgm %s | ppmtotga -mono > %s", dir / "src.pgm"},
      {"convert %s -compress RLE %s", dir / "flip.ppm"},
      {"convert %s -alpha set -channel A -fx 'i/w' -compress RLE TGA:%s", dir / "flipa.png"},
  };
  for (const auto& [make, reference] : makes) {
    char cmd[512];
    std::snprintf(cmd, sizeof cmd, make, src.c_str(), (dir / "t.tga").c_str());
    ASSERT_TRUE(codeckit::Run(cmd)) << cmd;
    TLKBitmap b;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    ASSERT_TRUE(ReadTga(filekit::LoadFile(dir / "t.tga"), b, p, &mask)) << make;
    Integer w = 0, h = 0;
    const Bytes want = codeckit::PeerRGBA(reference, w, h);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b, mask), want, 1, mask != nullptr), 0) << make;
    delete mask;
  }
}

TEST(TgaCodecTest, WrittenFilesReadBackAndByPeers) {
  struct Row {
    const char* name;
    Integer bits, samples;
    bool rle, grey, mask;
    Integer colours;
    Byte type;
  } rows[] = {{"24", 8, 3, false, false, false, 0, 2},      {"24 rle", 8, 3, true, false, false, 0, 10},
              {"8 mapped rle", 8, 1, true, false, false, 30, 9}, {"8 grey", 8, 1, false, true, false, 0, 3},
              {"4 as 8-bit indices", 4, 1, false, false, false, 12, 1}, {"32 alpha", 8, 3, true, false, true, 0, 2},
              {"1", 1, 1, false, false, false, 2, 3}};
  filekit::TempDir dir("lktgaw_");
  for (const Row& r : rows) {
    TLKBitmap src;
    codeckit::MakePicture(src, 17, 9, r.colours);
    if (r.grey || r.bits == 1)
      for (Integer y = 0; y < 9; ++y)
        for (Integer x = 0; x < 17; ++x) {
          const Byte g = r.bits == 1 ? ((x ^ y) & 1 ? 255 : 0) : Byte(x * 15);
          src.SetPixels_lk24RGB(x, y, TRGB{g, g, g});
        }
    TLKMask mask;
    if (r.mask) {
      mask.AllocateBits(17, 9, 8);
      mask.Fill(255);
      for (Integer x = 0; x < 17; ++x) mask.SetPixel(x, 2, x * 15);
      mask.SetFull(false);
    }
    TIOParamsVals p;
    p.BITSPERSAMPLE = r.bits;
    p.SAMPLESPERPIXEL = r.samples;
    p.TGA_COMPRESSED = r.rle;
    p.TGA_GRAYLEVEL = r.grey;
    p.TGA_GAMMA = 2.2;
    p.TGA_AUTHOR = "someone";
    Progress pr;
    TMemoryStream m;
    WriteTGAStream(&m, &src, p, pr.rec, r.mask ? &mask : nullptr);
    const Bytes data = codeckit::BytesOf(m);
    EXPECT_EQ(data[2], r.type) << r.name;
    TLKBitmap back;
    TIOParamsVals q;
    TLKMask* got = nullptr;
    ASSERT_TRUE(ReadTga(data, back, q, &got)) << r.name;
    EXPECT_DOUBLE_EQ(q.TGA_GAMMA, 2.2) << r.name;
    EXPECT_EQ(q.TGA_AUTHOR, "someone") << r.name;
    const Bytes want = codeckit::RGBAOf(src, r.mask ? &mask : nullptr);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(back, got), want, 0, r.mask), 0) << r.name;
    delete got;
    if (!HaveTool("convert") || r.bits == 1) continue;  // the peer reads no 1-bit TGA
    filekit::SaveFile(dir / "w.tga", data);
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(dir / "w.tga", w, h), want, 0, r.mask), 0) << r.name;
  }
}

// Header pieces: 18 bytes, then pixels.
Bytes MakeTga(Byte Type, Byte Depth, Byte Desc, Integer W, Integer H, const Bytes& Pixels) {
  Bytes b(18, 0);
  b[2] = Type;
  b[12] = Byte(W), b[13] = Byte(W >> 8), b[14] = Byte(H), b[15] = Byte(H >> 8);
  b[16] = Depth;
  b[17] = Desc;
  b.insert(b.end(), Pixels.begin(), Pixels.end());
  return b;
}

TEST(TgaCodecTest, OrientationRunsAcrossRowsAndHostileHeaders) {
  // Bottom-up rows are put upright; bit 4 alone (right to left) is not
  // top-down.
  TLKBitmap b;
  TIOParamsVals p;
  ASSERT_TRUE(ReadTga(MakeTga(2, 24, 0, 1, 2, {1, 1, 1, 2, 2, 2}), b, p));
  EXPECT_EQ(b.GetPixels(0, 0), (TRGB{2, 2, 2}));
  ASSERT_TRUE(ReadTga(MakeTga(2, 24, 0x10, 2, 2, {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}), b, p));
  EXPECT_EQ(b.GetPixels(0, 0), (TRGB{4, 4, 4}));
  EXPECT_DOUBLE_EQ(p.TGA_GAMMA, 2.2);
  EXPECT_DOUBLE_EQ(p.TGA_ASPECTRATIO, 1.0);
  // A run of 3 in a 2-pixel-wide picture goes on into the next row.
  ASSERT_TRUE(ReadTga(MakeTga(10, 24, 0x20, 2, 2, {0x82, 9, 8, 7, 0x00, 5, 5, 5}), b, p));
  EXPECT_EQ(b.GetPixels(0, 1), (TRGB{9, 8, 7}));
  EXPECT_EQ(b.GetPixels(1, 1), (TRGB{5, 5, 5}));
  // 32 bits with all alpha zero gives no mask.
  TLKMask* mask = nullptr;
  ASSERT_TRUE(ReadTga(MakeTga(2, 32, 0x28, 1, 1, {1, 2, 3, 0}), b, p, &mask));
  EXPECT_EQ(mask, nullptr);
  const std::pair<const char*, Bytes> bad[] = {
      {"empty", {}}, {"bad type", MakeTga(4, 24, 0, 1, 1, {0, 0, 0})},
      {"bad depth", MakeTga(2, 12, 0, 1, 1, {0, 0, 0})}, {"huge raw", MakeTga(2, 24, 0, 65535, 65535, {1, 2, 3})},
      {"huge rle", MakeTga(10, 24, 0, 65535, 65535, {0xFF, 1, 2, 3})}, {"4-bit", MakeTga(3, 4, 0, 2, 1, {0})}};
  for (const auto& [name, data] : bad) {
    TLKBitmap z;
    TIOParamsVals q;
    EXPECT_FALSE(ReadTga(data, z, q)) << name;
    EXPECT_TRUE(z.IsEmpty()) << name;
  }
}

}  // namespace
