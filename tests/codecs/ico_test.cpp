// Icon and cursor codec tests: our icons read back and by peers, cursor hot
// spots, the transparency rules and hostile directories.
#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/codec_kit.h"
#include "codecs/ico/icofilt.h"
#include "codecs/lkcodecutil.h"
#include "io/lumerakio.h"

namespace {

using codeckit::Bytes;
using codeckit::Progress;
using filekit::HaveTool;

TEST(IcoCodecTest, WrittenSizesAndDepthsReadBackAndByPeers) {
  TLKBitmap src;
  codeckit::MakePicture(src, 48, 48, 9);
  for (Integer x = 0; x < 48; ++x) src.SetAlpha(x, 0, x < 24 ? 0 : 255);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream m;
  const std::vector<TSize> sizes = {{16, 16}, {32, 32}, {48, 48}, {24, 24}};
  const std::vector<Integer> depths = {4, 32, 8, 1};
  ICOWriteStream(&m, &src, p, pr.rec, sizes, depths);
  ASSERT_FALSE(pr.Aborted());
  m.SetPosition(0);
  EXPECT_EQ(_EnumICOImStream(&m), 4);
  EXPECT_TRUE(ICOTryStream(&m));
  EXPECT_FALSE(CURTryStream(&m));
  for (Integer i = 0; i < 4; ++i) {
    TIOParamsVals q;
    q.ICO_IMAGEINDEX = i;
    q.ICO_BACKGROUND = TRGB{0, 0, 255};
    TLKBitmap back;
    TLKMask* mask = nullptr;
    m.SetPosition(0);
    ICOReadStream(&m, &back, q, false, pr.rec, mask, false);
    ASSERT_FALSE(pr.Aborted());
    EXPECT_EQ(back.GetWidth(), sizes[size_t(i)].cx);
    EXPECT_EQ(q.ICO_PageSizes[i], sizes[size_t(i)]);
    EXPECT_EQ(q.ICO_PageBitCounts[i], depths[size_t(i)]);
    if (depths[size_t(i)] == 4 || depths[size_t(i)] == 8) {
      // The top-left pixel is transparent: red background there, mask 0.
      ASSERT_NE(mask, nullptr);
      EXPECT_EQ(mask->GetPixel(0, 0), 0);
      EXPECT_EQ(back.GetPixels(0, 0), (TRGB{0, 0, 255}));
    }
    delete mask;
  }
  // The 8-bit image keeps the picture's colours (nine, so exact).
  if (HaveTool("convert")) {
    filekit::TempDir dir("lkico_");
    filekit::SaveFile(dir / "a.ico", codeckit::BytesOf(m));
    for (Integer i = 0; i < 4; ++i) {
      Integer w = 0, h = 0;
      EXPECT_FALSE(codeckit::PeerRGBA(dir / "a.ico", w, h, std::to_string(i)).empty()) << i;
      EXPECT_EQ(w, sizes[size_t(i)].cx);
    }
    // A peer-made icon reads like the peer decodes it.
    ASSERT_TRUE(filekit::RunTool("convert -size 32x32 gradient:red-blue -alpha set -channel A -fx 'i>8?1:0' " + dir / "p.ico"));
    TLKBitmap b;
    TIOParamsVals q;
    TLKMask* mask = nullptr;
    auto s = codeckit::StreamOf(filekit::LoadFile(dir / "p.ico"));
    ICOReadStream(s.get(), &b, q, false, pr.rec, mask, false);
    ASSERT_FALSE(pr.Aborted());
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b, mask), codeckit::PeerRGBA(dir / "p.ico", w, h), 0, true), 0);
    delete mask;
  }
}

// Icons written from several pictures, each at its own size and at the depth
// its parameters give, read back by us and by ImageMagick.
TEST(IcoCodecTest, ImagesFromViewsKeepTheirSizesAndDepths) {
  TLKBitmap two, rgba, nibbles, palette;
  codeckit::MakePicture(two, 24, 20, 2);
  two.SetPixelFormat(lk1g);
  codeckit::MakePicture(rgba, 32, 32);
  for (Integer y = 0; y < 32; ++y)
    for (Integer x = 0; x < 32; ++x) rgba.SetAlpha(x, y, Byte(x * 8));
  codeckit::MakePicture(nibbles, 13, 7, 9);  // odd width: the last byte holds one pixel
  for (Integer x = 0; x < 13; ++x) nibbles.SetAlpha(x, 0, x < 5 ? 0 : 255);
  codeckit::MakePicture(palette, 16, 16, 9);
  palette.SetPixelFormat(lk8p);
  struct Case {
    TLKBitmap* Bitmap;
    Integer Samples, Bits, Depth;
  };
  // The two-level picture is 1 bit whatever its parameters said; the
  // palette picture stays 8 bits rather than being thresholded.
  const std::vector<Case> cases = {{&two, 3, 8, 1}, {&rgba, 4, 8, 32}, {&nibbles, 1, 4, 4}, {&palette, 1, 8, 8}};
  std::vector<TIOParamsVals> params(cases.size());
  std::vector<TLKIconImage> images;
  TLKBitmap empty;
  images.push_back({&empty, nullptr});  // skipped
  for (size_t i = 0; i < cases.size(); ++i) {
    params[i].SAMPLESPERPIXEL = cases[i].Samples;
    params[i].BITSPERSAMPLE = cases[i].Bits;
    images.push_back({cases[i].Bitmap, &params[i]});
  }
  Progress pr;
  TMemoryStream m;
  ICOWriteStream2(&m, images, pr.rec);
  ASSERT_FALSE(pr.Aborted());
  EXPECT_EQ(params[0].SAMPLESPERPIXEL, 1);
  EXPECT_EQ(params[0].BITSPERSAMPLE, 1);
  m.SetPosition(0);
  ASSERT_EQ(_EnumICOImStream(&m), Integer(cases.size()));
  std::vector<Bytes> ours;
  for (size_t i = 0; i < cases.size(); ++i) {
    TIOParamsVals q;
    q.ICO_IMAGEINDEX = Integer(i);
    TLKBitmap back;
    TLKMask* mask = nullptr;
    m.SetPosition(0);
    ICOReadStream(&m, &back, q, false, pr.rec, mask, false);
    ASSERT_FALSE(pr.Aborted());
    TLKBitmap& src = *cases[i].Bitmap;
    EXPECT_EQ(q.ICO_PageSizes[i], (TSize{src.GetWidth(), src.GetHeight()})) << i;
    EXPECT_EQ(q.ICO_PageBitCounts[i], cases[i].Depth) << i;
    // Every picture has at most 256 colours (the palette ones nine), so each
    // reads back exactly, with its transparency.
    TLKBitmap want;
    want.Assign(cases[i].Bitmap);
    if (want.GetPixelFormat() != lk24RGB) want.SetPixelFormat(lk24RGB);
    if (back.GetPixelFormat() != lk24RGB) back.SetPixelFormat(lk24RGB);
    ours.push_back(codeckit::RGBAOf(back, mask));
    Bytes expected = codeckit::RGBAOf(want);
    if (cases[i].Depth == 4) // transparency of palette images is all or nothing
      for (size_t k = 3; k < expected.size(); k += 4) expected[k] = expected[k] < 255 ? 0 : 255;
    EXPECT_EQ(codeckit::Differences(ours.back(), expected, 0, true), 0) << i;
    delete mask;
  }
  const std::string im = "/usr/bin/identify-im6.q16";
  if (!HaveTool(im.c_str())) GTEST_SKIP() << "no ImageMagick";
  filekit::TempDir dir("lkico2_");
  const std::string file = dir / "v.ico";
  filekit::SaveFile(file, codeckit::BytesOf(m));
  FILE* p = popen((im + " -format '%w %h\\n' '" + file + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string listed;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) listed += buf;
  pclose(p);
  EXPECT_EQ(listed, "24 20\n32 32\n13 7\n16 16\n");
  for (size_t i = 0; i < cases.size(); ++i) {
    Integer w = 0, h = 0;
    const Bytes peer = codeckit::PeerRGBA(file, w, h, std::to_string(i), "/usr/bin/convert-im6.q16");
    EXPECT_EQ(codeckit::Differences(ours[i], peer, 0, true), 0) << i;
  }
}

// The icon save of several pictures: an I/O component gives its picture with
// its parameters, a bare bitmap goes by its pixel format; nothing to write
// leaves no file.
TEST(IcoCodecTest, IconOfComponentsAndBitmaps) {
  filekit::TempDir dir("lkico3_");
  TLumerakIO io;
  codeckit::MakePicture(*io.GetLKBitmap(), 20, 10, 9);
  io.GetIOParams()->SAMPLESPERPIXEL = 1;
  io.GetIOParams()->BITSPERSAMPLE = 4;
  TLKBitmap bare;
  codeckit::MakePicture(bare, 8, 8);
  TObject* none = nullptr;
  ASSERT_TRUE(LKWriteICOImages(dir / "a.ico", {&io, none, &bare}));
  auto s = codeckit::StreamOf(filekit::LoadFile(dir / "a.ico"));
  TIOParamsVals q;
  TLKBitmap back;
  TLKMask* mask = nullptr;
  Progress pr;
  ICOReadStream(s.get(), &back, q, true, pr.rec, mask, true);
  EXPECT_EQ(_EnumICOImStream(s.get()), 2);
  EXPECT_EQ(q.ICO_PageSizes[0], (TSize{20, 10}));
  EXPECT_EQ(q.ICO_PageBitCounts[0], 4);
  EXPECT_EQ(q.ICO_PageSizes[1], (TSize{8, 8}));
  EXPECT_EQ(q.ICO_PageBitCounts[1], 24);
  EXPECT_FALSE(LKWriteICOImages(dir / "b.ico", {none}));
  EXPECT_FALSE(std::filesystem::exists(dir / "b.ico"));
}

// An icon directory with one 2 x 2 4-bit image; Type 2 makes it a cursor.
Bytes MakeIcon(Word Type, Byte EntryW, Integer HeaderW, Word Planes, Word Bits) {
  Bytes b = {0, 0, Byte(Type), 0, 1, 0, EntryW, 2, 16, 0};
  b.insert(b.end(), {Byte(Planes), Byte(Planes >> 8), Byte(Bits), Byte(Bits >> 8)});
  const size_t sizeAt = b.size();
  b.insert(b.end(), {0, 0, 0, 0, 22, 0, 0, 0});
  Bytes h(40, 0);
  lkcodec::PutLe32(&h[0], 40);
  lkcodec::PutLe32(&h[4], DWORD(HeaderW));
  lkcodec::PutLe32(&h[8], 4);
  h[12] = 1;
  h[14] = 4;
  b.insert(b.end(), h.begin(), h.end());
  for (int i = 0; i < 16; ++i) b.insert(b.end(), {Byte(i * 16), Byte(i * 8), Byte(i), 0});
  b.insert(b.end(), {0x12, 0, 0, 0, 0x34, 0, 0, 0});        // rows bottom-up
  b.insert(b.end(), {0x40, 0, 0, 0, 0x00, 0, 0, 0});        // AND mask: bottom-right... pixel (1, 1)
  lkcodec::PutLe32(&b[sizeAt], DWORD(b.size() - 22));
  return b;
}

TEST(IcoCodecTest, CursorHotSpotNibbleOrderAndTransparency) {
  auto s = codeckit::StreamOf(MakeIcon(2, 2, 2, 5, 7));
  EXPECT_TRUE(CURTryStream(s.get()));
  TLKBitmap b;
  TIOParamsVals p;
  p.CUR_BACKGROUND = TRGB{1, 2, 3};
  TLKMask* mask = nullptr;
  Progress pr;
  CURReadStream(s.get(), &b, p, false, pr.rec, mask, false);
  ASSERT_FALSE(pr.Aborted());
  EXPECT_EQ(p.CUR_XHOTSPOT, 5);
  EXPECT_EQ(p.CUR_YHOTSPOT, 7);
  // Top row (stored last) 3, 4; bottom row 1, 2 with pixel (1, 1) transparent.
  EXPECT_EQ(b.GetPixels(0, 0), (TRGB{48, 24, 3}));
  EXPECT_EQ(b.GetPixels(1, 0), (TRGB{64, 32, 4}));
  EXPECT_EQ(b.GetPixels(0, 1), (TRGB{16, 8, 1}));
  EXPECT_EQ(b.GetPixels(1, 1), (TRGB{1, 2, 3}));
  ASSERT_NE(mask, nullptr);  // cursors always return their mask
  EXPECT_EQ(mask->GetPixel(1, 1), 0);
  delete mask;
}

// Cursors of every depth decode by their image header: the entry holds the
// hot spot (here 1, 4: a "bit count" of 4 to a reader that looks there)
// where an icon's holds planes and bit count, and its colour count says
// nothing of the palette.
TEST(IcoCodecTest, CursorDepthComesFromTheImageHeader) {
  for (Word bits : {Word(8), Word(24), Word(32)}) {
    Bytes b = {0, 0, 2, 0, 1, 0, 2, 2, 3, 0, 1, 0, 4, 0};  // colour count 3: not the palette's
    const size_t sizeAt = b.size();
    b.insert(b.end(), {0, 0, 0, 0, 22, 0, 0, 0});
    Bytes h(40, 0);
    lkcodec::PutLe32(&h[0], 40);
    lkcodec::PutLe32(&h[4], 2);
    lkcodec::PutLe32(&h[8], 4);
    h[12] = 1;
    h[14] = Byte(bits);
    b.insert(b.end(), h.begin(), h.end());
    // Pixel k (bottom-up) is (blue 10 + k, green 100 + k, red 200 + k).
    if (bits == 8) {
      for (int i = 0; i < 256; ++i) b.insert(b.end(), {Byte(10 + i), Byte(100 + i), Byte(200 + i), 0});
      b.insert(b.end(), {0, 1, 0, 0, 2, 3, 0, 0});
    } else {
      for (int r = 0; r < 2; ++r) {
        for (int x = 0; x < 2; ++x) {
          const int k = r * 2 + x;
          b.insert(b.end(), {Byte(10 + k), Byte(100 + k), Byte(200 + k)});
          if (bits == 32) b.push_back(255);
        }
        if (bits == 24) b.insert(b.end(), {0, 0});  // rows padded to 4 bytes
      }
    }
    b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 0});  // AND mask: all opaque
    lkcodec::PutLe32(&b[sizeAt], DWORD(b.size() - 22));
    auto s = codeckit::StreamOf(b);
    TLKBitmap bmp;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    Progress pr;
    CURReadStream(s.get(), &bmp, p, false, pr.rec, mask, false);
    delete mask;
    ASSERT_FALSE(pr.Aborted()) << bits;
    EXPECT_EQ(p.CUR_XHOTSPOT, 1);
    EXPECT_EQ(p.CUR_YHOTSPOT, 4);
    EXPECT_EQ(bmp.GetPixels(0, 1), (TRGB{10, 100, 200})) << bits;
    EXPECT_EQ(bmp.GetPixels(1, 0), (TRGB{13, 103, 203})) << bits;
  }
}

TEST(IcoCodecTest, HostileDirectoriesAndBitmapFiles) {
  Bytes huge = MakeIcon(1, 0, 1 << 20, 1, 4);  // entry width 0 takes the header's
  Bytes past = MakeIcon(1, 2, 2, 1, 4);
  lkcodec::PutLe32(&past[18], 0x7FFFFFF0);  // data offset past the end
  Bytes noBits = MakeIcon(1, 2, 2, 1, 0);
  noBits[22 + 14] = 0;
  noBits[8] = 0;  // no colour count either
  // A depth the reader shows blank still needs its transparency rows.
  Bytes blankHuge = MakeIcon(1, 0, 1 << 20, 1, 4);
  blankHuge[22 + 14] = 7;
  // A row of 2^29 pixels at 32 bits is 2 GB: its length must not wrap to
  // something a few bytes of data seem to hold.
  Bytes wideDeep = MakeIcon(1, 0, 1 << 29, 1, 32);
  wideDeep[22 + 14] = 32;
  // And one whose row length times its height passes 2^63.
  Bytes wideTall = MakeIcon(1, 0, 0x7FFF0000, 1, 32);
  wideTall[22 + 14] = 32;
  lkcodec::PutLe32(&wideTall[22 + 8], 0x7FFF0000u);
  wideTall[7] = 0;  // the entry gives no height: the header's half counts
  for (const Bytes& bad : {Bytes{}, Bytes{0, 0, 1}, huge, past, noBits, blankHuge, wideDeep, wideTall}) {
    auto s = codeckit::StreamOf(bad);
    TLKBitmap b;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    Progress pr;
    ICOReadStream(s.get(), &b, p, false, pr.rec, mask, false);
    EXPECT_TRUE(pr.Aborted());
    EXPECT_TRUE(b.IsEmpty());
    delete mask;
  }
  // An index outside the directory reads nothing and says so.
  auto s = codeckit::StreamOf(MakeIcon(1, 2, 2, 1, 4));
  TLKBitmap b;
  TIOParamsVals p;
  p.ICO_IMAGEINDEX = 3;
  TLKMask* mask = nullptr;
  Progress pr;
  ICOReadStream(s.get(), &b, p, false, pr.rec, mask, false);
  EXPECT_TRUE(pr.Aborted());
  EXPECT_TRUE(b.IsEmpty());
}

}  // namespace
