// The JPEG 2000 bridge: probes, lossless round trips in both forms, the
// pictures OpenJPEG's own tools write (12-bit grey, subsampled, colour),
// what those tools decode from our files, rate and progression options,
// and damaged input.
#include <gtest/gtest.h>

#include "codecs/jp2/j2kfilt.h"
#include "tests/codecs/codec_kit.h"

using namespace codeckit;

namespace {

Bytes Write(TLKBitmap& B, TIOParamsVals& P, Integer Format) {
  Progress pr;
  TMemoryStream ms;
  J2KWriteStream(&ms, &B, P, pr.rec, Format);
  EXPECT_FALSE(pr.Aborted());
  return BytesOf(ms);
}

bool Read(const Bytes& File, TLKBitmap& B, TIOParamsVals& P) {
  Progress pr;
  auto s = StreamOf(File);
  J2KReadStream(s.get(), &B, P, pr.rec, false);
  return !pr.Aborted();
}

// Lossless 8-bit samples.
void Lossless(TIOParamsVals& P) { P.BITSPERSAMPLE = 8; }

TEST(JPEG2000, ProbesTellFilesFromCodeStreams) {
  TLKBitmap b;
  MakePicture(b, 20, 10);
  TIOParamsVals p;
  Lossless(p);
  const Bytes jp2 = Write(b, p, 0), j2k = Write(b, p, 1);
  auto s1 = StreamOf(jp2), s2 = StreamOf(j2k);
  s1->SetPosition(0);
  EXPECT_TRUE(J2KTryStreamJP2(s1.get()));
  EXPECT_FALSE(J2KTryStreamJ2K(s1.get()));
  EXPECT_EQ(s1->Position(), 0);
  EXPECT_TRUE(J2KTryStreamJ2K(s2.get()));
  EXPECT_FALSE(J2KTryStreamJP2(s2.get()));
  auto s3 = StreamOf(Bytes{0xFF, 0x4F, 0xFF});
  EXPECT_FALSE(J2KTryStreamJ2K(s3.get()));
}

TEST(JPEG2000, BothFormsRoundTripLosslessly) {
  TLKBitmap b;
  MakePicture(b, 37, 23);
  for (Integer format : {0, 1}) {
    TIOParamsVals p;
  Lossless(p);
    const Bytes file = Write(b, p, format);
    TLKBitmap back;
    TIOParamsVals q;
    ASSERT_TRUE(Read(file, back, q)) << format;
    EXPECT_EQ(back.GetPixelFormat(), lk24RGB);
    EXPECT_EQ(q.BITSPERSAMPLE, 8);
    EXPECT_EQ(q.SAMPLESPERPIXEL, 3);
    EXPECT_EQ(q.WIDTH, 37);
    EXPECT_EQ(q.HEIGHT, 23);
    EXPECT_EQ(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0) << format;
  }
}

TEST(JPEG2000, OneBitPicturesStayOneBitAndGreyUsesTheWeights) {
  TLKBitmap b;
  b.Allocate(19, 7, lk1g);
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 19; ++x) b.SetPixels_lk1g(x, y, (x + y) % 3 == 0);
  TIOParamsVals p;
  p.BITSPERSAMPLE = 8;
  p.J2000_COLORSPACE = ioJ2000_RGB;
  const Bytes file = Write(b, p, 1);
  EXPECT_EQ(p.BITSPERSAMPLE, 1);
  EXPECT_EQ(p.J2000_COLORSPACE, ioJ2000_GRAYLEV);
  TLKBitmap back;
  TIOParamsVals q;
  ASSERT_TRUE(Read(file, back, q));
  EXPECT_EQ(back.GetPixelFormat(), lk1g);
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 19; ++x) EXPECT_EQ(back.GetPixels_lk1g(x, y), (x + y) % 3 == 0);

  // A grey save of a colour picture: (R*21 + G*71 + B*8) / 100.
  TLKBitmap c;
  c.Allocate(2, 1, lk24RGB);
  auto* px = static_cast<Byte*>(c.GetScanLine(0));
  const Byte bgr[6] = {10, 200, 30, 255, 0, 0};
  std::copy(bgr, bgr + 6, px);
  TIOParamsVals g;
  Lossless(g);
  g.J2000_COLORSPACE = ioJ2000_GRAYLEV;
  TLKBitmap grey;
  TIOParamsVals gq;
  ASSERT_TRUE(Read(Write(c, g, 0), grey, gq));
  EXPECT_EQ(gq.SAMPLESPERPIXEL, 1);
  const auto* out = static_cast<const Byte*>(grey.GetScanLine(0));
  EXPECT_EQ(out[0], (30 * 21 + 200 * 71 + 10 * 8) / 100);
  EXPECT_EQ(out[3], (255 * 8) / 100);
}

TEST(JPEG2000, OptionsAndTables) {
  TIOParamsVals p;
  p.J2000_RATE = 0.05;
  p.J2000_SCALABLEBY = ioJ2000_Resolution;
  EXPECT_EQ(J2KOptionText(p), "rate=0.05 prg=rlcp");
  p.J2000_RATE = 1;
  p.J2000_SCALABLEBY = ioJ2000_Rate;
  EXPECT_EQ(J2KOptionText(p), "rate=1 prg=lrcp");
  const TJ2KYCbCrTables& t = J2KYCbCrTables();
  EXPECT_EQ(t.RedFromCr[255], 178);    // 1.402 * 127 = 178.05
  EXPECT_EQ(t.BlueFromCb[0], -227);    // 1.772 * -128 = -226.8
  EXPECT_EQ(t.GreenFromCr[128], 0);
  EXPECT_EQ(t.GreenFromCb[255], -44);  // 0.114 * 1.772 / 0.587 * 127 = 43.7
  EXPECT_EQ(t.GreenFromCr[0], 91);     // 0.299 * 1.402 / 0.587 * 128 = 91.4
}

TEST(JPEG2000, ALowerRateMakesASmallerLossyFile) {
  TLKBitmap b;
  MakePicture(b, 96, 64);
  TIOParamsVals full;
  Lossless(full);
  TIOParamsVals low;
  Lossless(low);
  low.J2000_RATE = 0.1;
  low.J2000_SCALABLEBY = ioJ2000_Resolution;
  const Bytes a = Write(b, full, 1), c = Write(b, low, 1);
  EXPECT_LT(c.size(), a.size() / 2);
  EXPECT_LT(c.size(), size_t(96 * 64 * 3 / 10 + 200));
  // COD: progression order byte after the marker, length and style.
  size_t cod = 0;
  while (cod + 5 < c.size() && !(c[cod] == 0xFF && c[cod + 1] == 0x52)) ++cod;
  ASSERT_LT(cod + 5, c.size());
  EXPECT_EQ(c[cod + 5], 1);  // RLCP
  TLKBitmap back;
  TIOParamsVals q;
  ASSERT_TRUE(Read(c, back, q));
  EXPECT_EQ(back.GetWidth(), 96);
}

// ---- peers

TEST(JPEG2000, OpenJPEGToolsAgreeWithUs) {
  if (!filekit::HaveTool("opj_compress") || !filekit::HaveTool("opj_decompress")) GTEST_SKIP() << "no OpenJPEG tools";
  filekit::TempDir dir("lkj2k");
  TLKBitmap b;
  MakePicture(b, 45, 31);
  // Our files, decoded by the peer.
  for (const char* ext : {"jp2", "j2k"}) {
    TIOParamsVals p;
  Lossless(p);
    filekit::SaveFile(dir / (std::string("ours.") + ext), Write(b, p, ext[1] == 'p' ? 0 : 1));
    ASSERT_TRUE(codeckit::Run("opj_decompress -i '" + dir / (std::string("ours.") + ext) + "' -o '" +
                              dir / (std::string("ours-") + ext + ".ppm") + "'"));
    Integer w = 0, h = 0;
    const Bytes got = ParsePNM(filekit::LoadFile(dir / (std::string("ours-") + ext + ".ppm")), w, h);
    EXPECT_EQ(w, 45);
    EXPECT_EQ(Differences(RGBAOf(b), got, 0, false), 0) << ext;
  }
  // The peer's files, read by us: colour as it was.
  filekit::SaveFile(dir / "in.ppm", filekit::LoadFile(dir / "ours-jp2.ppm"));
  ASSERT_TRUE(codeckit::Run("opj_compress -i '" + dir / "in.ppm" + "' -o '" + dir / "peer.jp2" + "' -p RLCP -n 4"));
  TLKBitmap back;
  TIOParamsVals q;
  ASSERT_TRUE(Read(filekit::LoadFile(dir / "peer.jp2"), back, q));
  EXPECT_EQ(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0);

  // 12-bit grey: each pixel the sample's top 8 bits.
  std::string pgm = "P5\n7 3\n4095\n";
  for (int i = 0; i < 21; ++i) {
    const int v = i * 195;
    pgm += char(v >> 8);
    pgm += char(v & 255);
  }
  filekit::SaveFile(dir / "g12.pgm", Bytes(pgm.begin(), pgm.end()));
  ASSERT_TRUE(codeckit::Run("opj_compress -i '" + dir / "g12.pgm" + "' -o '" + dir / "g12.j2k" + "' -n 2"));
  TLKBitmap g;
  TIOParamsVals gq;
  ASSERT_TRUE(Read(filekit::LoadFile(dir / "g12.j2k"), g, gq));
  EXPECT_EQ(gq.BITSPERSAMPLE, 12);
  EXPECT_EQ(g.GetPixelFormat(), lk24RGB);
  for (int i = 0; i < 21; ++i) {
    const auto* row = static_cast<const Byte*>(g.GetScanLine(i / 7));
    EXPECT_EQ(row[3 * (i % 7)], (i * 195) >> 4) << i;
  }

  // Subsampled components (each sample covering 2 x 2 of the grid) are
  // read at the grid's size, every sample repeated.
  ASSERT_TRUE(codeckit::Run("opj_compress -i '" + dir / "in.ppm" + "' -o '" + dir / "sub.j2k" + "' -s 2,2 -n 2"));
  TLKBitmap s;
  TIOParamsVals sq;
  ASSERT_TRUE(Read(filekit::LoadFile(dir / "sub.j2k"), s, sq));
  ASSERT_EQ(s.GetWidth(), 89);
  ASSERT_EQ(s.GetHeight(), 61);
  for (Integer y = 0; y < 61; y += 7)
    for (Integer x = 0; x < 89; x += 5) {
      const TRGB got = s.GetPixels(x, y), want = b.GetPixels(x / 2, y / 2);
      EXPECT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << "," << y;
    }
}

TEST(JPEG2000, DamagedInputEndsInTheAbortFlag) {
  TLKBitmap b;
  MakePicture(b, 40, 30);
  TIOParamsVals p;
  Lossless(p);
  const Bytes jp2 = Write(b, p, 0), j2k = Write(b, p, 1);
  std::vector<std::pair<const char*, Bytes>> cases = {
      {"signature only", Bytes(jp2.begin(), jp2.begin() + 12)},
      {"half a file", Bytes(jp2.begin(), jp2.begin() + std::ptrdiff_t(jp2.size() / 2))},
      {"code stream start only", Bytes(j2k.begin(), j2k.begin() + 4)},
      {"not JPEG 2000", Bytes(100, 0x55)},
  };
  // 76 bytes whose size marker claims a 327689 x 7 picture in 9 x 7 tiles
  // (36410 of them): refused before the decoder sets up every tile.
  const Byte tiles[] = {0xFF, 0x4F, 0xFF, 0x51, 0x00, 0x29, 0x00, 0x00, 0x00, 0x05, 0x00, 0x09, 0x00, 0x00, 0x00,
                        0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00,
                        0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x0B, 0x01, 0x01,
                        0xFF, 0x52, 0x00, 0x0C, 0x00, 0xCB, 0x00, 0x01, 0x00, 0x05, 0x00, 0x01, 0x04, 0x04, 0x00,
                        0x01, 'J', 'P', 'E', 'G', ' ', 'v', 'e', 'r', 's', 'i', 'o', 'n', 0xD9};
  cases.push_back({"many tiles in a few bytes", Bytes(std::begin(tiles), std::end(tiles))});
  Bytes garbled = j2k;
  for (size_t i = 60; i < garbled.size(); i += 7) garbled[i] ^= 0x5A;
  cases.push_back({"garbled code stream", garbled});
  for (const auto& [name, bytes] : cases) {
    TLKBitmap back;
    TIOParamsVals q;
    Progress pr;
    auto s = StreamOf(bytes);
    J2KReadStream(s.get(), &back, q, pr.rec, false);
    // A garbled stream may still decode to something; it must not crash.
    if (std::string(name) != "garbled code stream") {
      EXPECT_TRUE(pr.Aborted()) << name;
    }
  }
}

}  // namespace
