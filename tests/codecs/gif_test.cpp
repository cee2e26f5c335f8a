// GIF codec tests: the LZW coders, the reader and writer against peer tools,
// frame composition, frame editing and the hooks the registry depends on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <filesystem>

#include "codecs/gif/giffilter.h"
#include "codecs/gif/giflzw.h"
#include "common/file_kit.h"
#include "core/lkallocgate.h"
#include "io/lkfileformats.h"
#include "codecs/codec_kit.h"

namespace {

using codeckit::Bytes;
using codeckit::Progress;
using filekit::HaveTool;
using filekit::RunTool;

// Decodes the LZW data of Data (starting with the code size byte).
bool Decode(const Bytes& Data, Integer W, Integer H, bool Interlaced, Bytes& Out) {
  auto s = codeckit::StreamOf(Data);
  Out.assign(size_t(W) * H, 0xEE);
  GIFLZWDecompress(s.get(), H, W, Interlaced, Out.data());
  return s->Position() != 0;
}

Bytes Encode(TGIFLZWCompFunc F, const Bytes& Pixels, Integer W, Integer H, bool Interlaced, Integer Bits) {
  TMemoryStream m;
  F(&m, H, W, Interlaced, Pixels.data(), Bits);
  return codeckit::BytesOf(m);
}

// Packs codes of the given widths into a data stream with sub-blocks.
Bytes Pack(Byte MinSize, const std::vector<std::pair<Integer, Integer>>& Codes) {
  Bytes data;
  DWORD acc = 0;
  Integer bits = 0;
  for (auto [code, width] : Codes) {
    acc |= DWORD(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(Byte(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) data.push_back(Byte(acc));
  Bytes out = {MinSize};
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    out.push_back(Byte(n));
    out.insert(out.end(), data.begin() + i, data.begin() + i + n);
  }
  out.push_back(0);
  return out;
}

TEST(GifLzwTest, BothEncodersRoundTripThroughTheDecoder) {
  struct Case {
    Integer w, h, bits;
    bool interlaced;
    Integer colours;
  } cases[] = {{1, 1, 1, false, 2}, {9, 3, 1, true, 2}, {64, 40, 8, false, 256}, {300, 50, 8, true, 7}, {17, 5, 4, false, 16},
               {500, 200, 8, false, 256}};  // the last fills the table several times
  for (const Case& c : cases) {
    Bytes px(size_t(c.w) * c.h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = Byte((i * 7 + i / 13) % c.colours);
    for (TGIFLZWCompFunc f : {&GIFLZWCompress, &GIFNONLZWCompress}) {
      const Bytes coded = Encode(f, px, c.w, c.h, c.interlaced, c.bits);
      Bytes out;
      ASSERT_TRUE(Decode(coded, c.w, c.h, c.interlaced, out)) << c.w << "x" << c.h;
      EXPECT_EQ(out, px) << c.w << "x" << c.h << " bits " << c.bits;
      EXPECT_EQ(coded[0], c.bits < 2 ? 2 : c.bits);
    }
  }
}

// Pictures of runs: the run coder sends them with the codes the decoder's
// table has just come to hold, so they must decode exactly and come out far
// smaller than a code per pixel.
TEST(GifLzwTest, RunCoderPacksRunsAndDecodesExactly) {
  struct Case {
    const char* name;
    Integer w, h, bits;
    bool interlaced;
    std::function<Byte(size_t)> pixel;
  } cases[] = {
      {"solid", 700, 500, 8, false, [](size_t) { return Byte(3); }},
      {"growing runs", 900, 300, 8, false, [](size_t i) { return Byte(size_t(std::sqrt(double(i))) % 5); }},
      {"runs then noise", 400, 300, 4, true,
       [](size_t i) { return i < 60000 ? Byte((i / 977) % 16) : Byte(((i * 2654435761u) >> 20) & 15); }},
      {"same pixel around a single", 300, 200, 8, false, [](size_t i) { return Byte(i % 1000 == 500 ? 9 : 1); }},
      // One pixel over what a table holds of a fresh run of two-bit codes.
      {"longer than a table", 4089 * 4090 / 2 / 2000 + 1, 2000, 2, false, [](size_t) { return Byte(2); }},
      {"bilevel runs", 333, 77, 1, false, [](size_t i) { return Byte((i / 200) & 1); }},
  };
  for (const Case& c : cases) {
    Bytes px(size_t(c.w) * c.h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = c.pixel(i);
    const Bytes coded = Encode(&GIFNONLZWCompress, px, c.w, c.h, c.interlaced, c.bits);
    Bytes out;
    ASSERT_TRUE(Decode(coded, c.w, c.h, c.interlaced, out)) << c.name;
    EXPECT_EQ(out, px) << c.name;
    // Plain codes would take at least bits + 1 bits a pixel.
    const size_t plain = px.size() * size_t(std::max<Integer>(c.bits, 2) + 1) / 8;
    if (std::string(c.name) != "runs then noise") {
      EXPECT_LT(coded.size(), plain / 4) << c.name;
    } else {
      EXPECT_LT(coded.size(), plain) << c.name;
    }
  }
}

TEST(GifLzwTest, InterlacedRowsOfAThreeRowImageComeAsZeroTwoOne) {
  // Plain literals 0, 1, 2 (one pixel a row) land in rows 0, 2, 1.
  const Bytes data = Pack(2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {5, 3}});
  Bytes out;
  ASSERT_TRUE(Decode(data, 1, 3, true, out));
  EXPECT_EQ(out, (Bytes{0, 2, 1}));
}

TEST(GifLzwTest, DecoderFailuresRestoreThePosition) {
  Bytes out;
  EXPECT_FALSE(Decode({1, 1, 0, 0}, 2, 2, false, out));   // code size 1
  EXPECT_FALSE(Decode({10, 1, 0, 0}, 2, 2, false, out));  // code size 10
  // A code beyond the next free entry.
  EXPECT_FALSE(Decode(Pack(2, {{4, 3}, {1, 3}, {7, 3}}), 4, 1, false, out));
}

TEST(GifLzwTest, DataEndingEarlyKeepsWhatWasDecodedAndSucceeds) {
  Bytes out;
  ASSERT_TRUE(Decode(Pack(8, {{256, 9}, {1, 9}, {2, 9}}), 4, 1, false, out));
  EXPECT_EQ(out, (Bytes{1, 2, 0xEE, 0xEE}));
}

TEST(GifLzwTest, CodeSizeNineGivesTheLowByteOfLiterals) {
  Bytes out;
  ASSERT_TRUE(Decode(Pack(9, {{512, 10}, {300, 10}, {513, 10}}), 1, 1, false, out));
  EXPECT_EQ(out[0], 300 & 255);
}

// A full table followed by more codes without a clear (a deferred clear):
// decoding goes on without new entries, as GIF decoders do.
TEST(GifLzwTest, DeferredClearAfterAFullTableKeepsDecoding) {
  std::vector<std::pair<Integer, Integer>> codes = {{256, 9}};
  Integer width = 9, next = 258, n = 0;
  Bytes expect;
  while (next < 4096) {
    codes.push_back({n % 256, width});
    expect.push_back(Byte(n % 256));
    if (n > 0) {
      ++next;
      if (next >= (1 << width) && width < 12) ++width;
    }
    ++n;
  }
  for (int i = 0; i < 10; ++i) {
    codes.push_back({i, 12});
    expect.push_back(Byte(i));
  }
  codes.push_back({257, 12});
  Bytes out;
  ASSERT_TRUE(Decode(Pack(8, codes), Integer(expect.size()), 1, false, out));
  EXPECT_EQ(out, expect);
}

// ---- reader and writer

struct GifFile {
  filekit::TempDir dir{"lkgif_"};
  std::string Path(const char* n) { return dir / n; }
};

TEST(GifCodecTest, WrittenFilesDecodeWithPeersAndOurReader) {
  struct Row {
    const char* name;
    Integer bits;
    bool interlaced, alpha;
    Integer colours;
  } rows[] = {{"8bit", 8, false, false, 200}, {"interlaced", 8, true, false, 50}, {"alpha", 8, false, true, 30},
              {"4bit", 4, false, false, 16},  {"1bit", 1, false, false, 2}};
  GifFile f;
  for (const Row& r : rows) {
    TLKBitmap src;
    codeckit::MakePicture(src, 37, 23, r.colours);
    if (r.colours == 2)
      for (Integer y = 0; y < 23; ++y)
        for (Integer x = 0; x < 37; ++x) src.SetPixels_lk24RGB(x, y, (x + y) & 1 ? TRGB{255, 255, 255} : TRGB{0, 0, 0});
    if (r.alpha)
      for (Integer y = 0; y < 23; ++y)
        for (Integer x = 0; x < 37; ++x) src.SetAlpha(x, y, x < 5 ? 0 : 255);
    TIOParamsVals p;
    p.BITSPERSAMPLE = r.bits;
    p.GIF_INTERLACED = r.interlaced;
    p.GIF_CommentLines.Add("made here");
    Progress pr;
    TMemoryStream m;
    WriteGIFStream(&m, &src, p, pr.rec);
    ASSERT_FALSE(pr.Aborted()) << r.name;
    EXPECT_EQ(p.GIF_TRANSPARENT, r.alpha);
    const Bytes want = codeckit::RGBAOf(src);
    // Ours.
    m.SetPosition(0);
    TIOParamsVals q;
    TLKBitmap back;
    TLKMask* mask = nullptr;
    Integer frames = 0;
    ReadGIFStream(&m, &back, frames, q, pr.rec, false, mask, false);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(back, mask), want, 0, true), 0) << r.name;
    EXPECT_EQ(q.GIF_CommentLines.Count(), 1);
    delete mask;
    // Peers.
    if (!HaveTool("convert")) continue;
    filekit::SaveFile(f.Path("a.gif"), codeckit::BytesOf(m));
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(f.Path("a.gif"), w, h), want, 0, true), 0) << r.name;
    if (HaveTool("giftopnm")) {
      EXPECT_TRUE(RunTool("giftopnm " + f.Path("a.gif"))) << r.name;
    }
  }
}

TEST(GifCodecTest, RunCodedFilesDecodeWithPeers) {
  if (!HaveTool("convert")) GTEST_SKIP() << "convert not installed";
  TLKBitmap src;
  src.Allocate(300, 120, lk24RGB);
  for (Integer y = 0; y < 120; ++y)
    for (Integer x = 0; x < 300; ++x)
      src.SetPixels_lk24RGB(x, y, x < 150 ? TRGB{40, 200, 10} : (y * 300 + x) % 7 ? TRGB{0, 0, 255} : TRGB{255, 0, 0});
  for (bool interlaced : {false, true}) {
    TIOParamsVals p;
    p.BITSPERSAMPLE = 8;
    p.GIF_INTERLACED = interlaced;
    p.GIF_LZWCompressor = &GIFNONLZWCompress;
    Progress pr;
    TMemoryStream m;
    WriteGIFStream(&m, &src, p, pr.rec);
    ASSERT_FALSE(pr.Aborted());
    GifFile f;
    filekit::SaveFile(f.Path("r.gif"), codeckit::BytesOf(m));
    Integer w = 0, h = 0;
    EXPECT_EQ(codeckit::Differences(codeckit::PeerRGBA(f.Path("r.gif"), w, h), codeckit::RGBAOf(src), 0, true), 0)
        << interlaced;
    if (HaveTool("giftopnm")) {
      EXPECT_TRUE(RunTool("giftopnm " + f.Path("r.gif") + " >/dev/null")) << interlaced;
    }
  }
}

TEST(GifCodecTest, PeerMadeFilesReadLikeThePeersDecode) {
  if (!HaveTool("convert")) GTEST_SKIP() << "convert not installed";
  GifFile f;
  const char* makes[] = {
      "convert -size 40x30 gradient:red-blue -colors 64 %s",
      "convert -size 40x30 gradient:red-blue -colors 64 -interlace GIF %s",
      "convert -size 33x17 pattern:checkerboard %s",  // two colours, black and white
      "convert -size 20x10 xc:none -fill red -draw 'rectangle 5,2 12,7' %s",  // transparency
  };
  for (const char* make : makes) {
    char cmd[512];
    std::snprintf(cmd, sizeof cmd, make, f.Path("p.gif").c_str());
    ASSERT_TRUE(RunTool(cmd)) << cmd;
    auto s = codeckit::StreamOf(filekit::LoadFile(f.Path("p.gif")));
    TLKBitmap b;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    Integer frames = 0;
    Progress pr;
    ReadGIFStream(s.get(), &b, frames, p, pr.rec, false, mask, false);
    ASSERT_FALSE(pr.Aborted()) << make;
    Integer w = 0, h = 0;
    const Bytes peer = codeckit::PeerRGBA(f.Path("p.gif"), w, h);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b, mask), peer, 0, true), 0) << make;
    delete mask;
  }
}

// Frame 1 is removed (background), frame 2 restores what was under it:
// composition against the coalesced frames of the peer.
TEST(GifCodecTest, CompositionFollowsDisposalLikeThePeer) {
  if (!HaveTool("convert")) GTEST_SKIP() << "convert not installed";
  GifFile f;
  const std::string gif = f.Path("anim.gif");
  ASSERT_TRUE(RunTool("convert -size 30x20 xc:none -page +0+0 -dispose none -size 30x20 xc:green "
                      "-page +5+5 -dispose background -size 10x8 xc:red "
                      "-page +12+4 -dispose previous -size 6x6 xc:blue "
                      "-page +2+2 -dispose none -size 4x4 xc:yellow -loop 0 " + gif));
  ASSERT_TRUE(RunTool("convert " + gif + " -coalesce " + f.Path("c.gif")));
  for (Integer frame = 0; frame < 5; ++frame) {
    TLKBitmap b;
    TIOParamsVals p;
    p.GIF_IMAGEINDEX = frame;
    Progress pr;
    TFileStream s(gif, fmOpenRead);
    const Integer count = LKComposeGIFFrames(&s, &b, p, pr.rec);
    ASSERT_EQ(count, 5);  // the empty canvas is a frame of its own
    EXPECT_EQ(p.GIF_IMAGEINDEX, frame);
    Integer w = 0, h = 0;
    const Bytes peer = codeckit::PeerRGBA(f.Path("c.gif"), w, h, std::to_string(frame));
    ASSERT_EQ(b.GetWidth(), 30);
    EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b), peer, 0, true), 0) << "frame " << frame;
  }
}

TEST(GifCodecTest, SingleFrameLoadsAsDecodedAndIndexPastTheEndReplaysAll) {
  TLKBitmap src;
  codeckit::MakePicture(src, 7, 5, 9);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream m;
  WriteGIFStream(&m, &src, p, pr.rec);
  m.SetPosition(0);
  TLKBitmap b;
  TIOParamsVals q;
  q.GIF_IMAGEINDEX = 5;
  EXPECT_EQ(LKComposeGIFFrames(&m, &b, q, pr.rec), 1);
  EXPECT_EQ(q.GIF_IMAGEINDEX, 5);
  EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(b), codeckit::RGBAOf(src), 0, false), 0);
}

TEST(GifCodecTest, ReaderParametersAndFramesWithoutTables) {
  // Header without global table, one 2x1 frame without local table and
  // without graphic control, a comment "AB\0C".
  const Bytes gif = {'G', 'I', 'F', '8', '7', 'a', 2, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 4, 'A', 'B', 0, 'C', 0,
                     0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x04, 0x0A, 0, 0x3B};
  auto s = codeckit::StreamOf(gif);
  TLKBitmap b;
  TIOParamsVals p;
  TLKMask* mask = nullptr;
  Integer frames = 0;
  Progress pr;
  ReadGIFStream(s.get(), &b, frames, p, pr.rec, false, mask, false);
  ASSERT_FALSE(pr.Aborted());
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(p.GIF_VERSION, String("GIF87a", 6) + '\0');
  EXPECT_EQ(p.GIF_CommentLines.Strings(0), "AB");
  EXPECT_FALSE(p.GIF_TRANSPARENT);
  EXPECT_EQ(mask, nullptr);
  // No table at all: a black-and-white ramp, so the frame is 1-bit.
  EXPECT_EQ(b.GetPixelFormat(), lk1g);
  // A wanted frame past the end loads nothing and says so; the bitmap is
  // untouched.
  s->SetPosition(0);
  TLKBitmap untouched;
  p.GIF_IMAGEINDEX = 3;
  ReadGIFStream(s.get(), &untouched, frames, p, pr.rec, false, mask, false);
  EXPECT_TRUE(pr.Aborted());
  EXPECT_TRUE(untouched.IsEmpty());
  EXPECT_EQ(p.GIF_IMAGECOUNT, 1);
}

// A frame is filled row by row as its data decodes, straight into the
// picture: an interlaced frame whose data stops in the middle must still
// give every row decoded in its place, index 0 (here the transparent one)
// for every pixel never reached, in every pixel format the reader makes and
// through a decoder hook of the caller's that fills a whole buffer.
TEST(GifCodecTest, TruncatedInterlacedFrameFillsRowsLikeTheWholeBufferDecode) {
  constexpr Integer W = 13, H = 11;
  Bytes indexes(size_t(W) * H);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = Byte((i * 7 + i / 5) % 16);
  const Bytes coded = Encode(GIFLZWCompress, indexes, W, H, true, 4);
  Bytes payload;  // the data bytes without their sub-block lengths
  for (size_t at = 1; at < coded.size() && coded[at] != 0; at += coded[at] + 1u)
    payload.insert(payload.end(), coded.begin() + long(at) + 1, coded.begin() + long(at) + 1 + coded[at]);
  // The data cut about half-way, where it stops inside a row.
  Bytes data, expected;
  for (size_t cut = payload.size() / 2; cut < payload.size(); ++cut) {
    data = {coded[0], Byte(cut)};
    data.insert(data.end(), payload.begin(), payload.begin() + long(cut));
    data.push_back(0);
    ASSERT_TRUE(Decode(data, W, H, true, expected));
    if (std::count(expected.begin(), expected.end(), 0xEE) % W != 0) break;
  }
  Bytes zeroed(expected.size(), 0);  // what the decoder wrote, on a zeroed buffer
  {
    auto s = codeckit::StreamOf(data);
    GIFLZWDecompress(s.get(), H, W, true, zeroed.data());
  }
  ASSERT_NE(std::count(expected.begin(), expected.end(), 0xEE) % W, 0);  // a row was left part-way

  // 16-entry global table, transparent index 0, interlaced W x H frame.
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', W, 0, H, 0, 0xF3, 0, 0};
  for (Integer i = 0; i < 16; ++i) gif.insert(gif.end(), {Byte(i * 16), Byte(255 - i * 16), Byte(i * 5)});
  gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, W, 0, H, 0, 0x40});
  gif.insert(gif.end(), data.begin(), data.end());
  gif.push_back(0x3B);

  struct Case {
    const char* Name;
    bool Native;
    TGIFLZWDecompFunc Hook;
  };
  const Case cases[] = {{"24-bit", false, nullptr},
                        {"palette", true, nullptr},
                        {"caller's hook", false, [](TStream* S, Integer Ht, Integer Wd, bool I, Byte* Out) {
                           GIFLZWDecompress(S, Ht, Wd, I, Out);
                         }}};
  for (const Case& c : cases) {
    auto s = codeckit::StreamOf(gif);
    TLKBitmap b;
    TIOParamsVals p;
    p.ISNATIVEPIXELFORMAT = c.Native;
    p.GIF_LZWDecompressor = c.Hook;
    TLKMask* mask = nullptr;
    Integer frames = 0;
    Progress pr;
    ReadGIFStream(s.get(), &b, frames, p, pr.rec, false, mask, false);
    std::unique_ptr<TLKMask> maskHolder(mask);
    // The rows are kept and the flag says the picture is not whole (a
    // caller's decoder cannot tell how far its data went).
    ASSERT_EQ(pr.Aborted(), c.Hook == nullptr) << c.Name;
    ASSERT_NE(mask, nullptr) << c.Name;
    ASSERT_EQ(b.GetPixelFormat(), c.Native ? lk8p : lk24RGB) << c.Name;
    Integer wrong = 0;
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) {
        const Byte index = zeroed[size_t(y) * W + size_t(x)];
        const Byte* px = static_cast<const Byte*>(b.GetScanLine(y));
        const bool pixelOk =
            c.Native ? px[x] == index : static_cast<const TRGB*>(b.GetScanLine(y))[x] == p.ColorMap[index];
        const bool alphaOk = mask->GetScanLine(y)[x] == (index == 0 ? 0 : 255);
        wrong += !pixelOk || !alphaOk;
      }
    EXPECT_EQ(wrong, 0) << c.Name;
  }
}

TEST(GifCodecTest, HostileInputSetsTheAbortFlag) {
  const Bytes header = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  Bytes huge = header;  // a 65535 x 65535 frame with four data bytes
  huge.insert(huge.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
  Bytes badCode = header;
  badCode.insert(badCode.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 11, 1, 0, 0, 0x3B});
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}}, {"not a GIF", {'G', 'I', 'X', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0}},
      {"header only", header}, {"huge frame", huge}, {"bad code size", badCode}};
  for (const auto& [name, data] : cases) {
    auto s = codeckit::StreamOf(data);
    TLKBitmap b;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    Integer frames = 0;
    Progress pr;
    ReadGIFStream(s.get(), &b, frames, p, pr.rec, false, mask, false);
    EXPECT_TRUE(pr.Aborted()) << name;
    EXPECT_TRUE(b.IsEmpty()) << name;
    delete mask;
  }
}

// The gate is asked for what the frame really takes: a 24-bit picture and
// its 8-bit mask, not one byte a pixel.
TEST(GifCodecTest, GateCountsThePictureAndItsMask) {
  constexpr Integer W = 200, H = 200;
  const Bytes coded = Encode(GIFLZWCompress, Bytes(size_t(W) * H, 1), W, H, false, 1);
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', W, 0, H, 0, 0x80, 0, 0, 0, 0, 0, 200, 10, 10};
  gif.insert(gif.end(), {0x21, 0xF9, 4, 1, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, W, 0, H, 0, 0});
  gif.insert(gif.end(), coded.begin(), coded.end());
  gif.push_back(0x3B);
  struct Case {
    Int64 Limit;
    bool Loads;
  };
  const Int64 picture = LKPictureBytes(W, H, 32);  // 24-bit rows and the mask
  for (const Case c : {Case{picture / 2, false}, Case{picture + 1024, true}}) {
    SCOPED_TRACE(c.Limit);
    LKSetAllocationLimit(c.Limit);
    auto s = codeckit::StreamOf(gif);
    TLKBitmap b;
    TIOParamsVals p;
    TLKMask* mask = nullptr;
    Integer frames = 0;
    Progress pr;
    ReadGIFStream(s.get(), &b, frames, p, pr.rec, false, mask, false);
    LKSetAllocationLimit(0);
    delete mask;
    EXPECT_EQ(pr.Aborted(), !c.Loads);
    EXPECT_EQ(b.IsEmpty(), !c.Loads);
  }
}

// ---- frame editing

TEST(GifEditTest, InsertDeleteCountAndLoopBlock) {
  GifFile f;
  const std::string gif = f.Path("e.gif");
  TLKBitmap a, b;
  codeckit::MakePicture(a, 8, 6, 5);
  codeckit::MakePicture(b, 8, 6, 3);
  {
    TIOParamsVals p;
    Progress pr;
    WriteGIF(gif, &a, p, pr.rec);
  }
  TIOParamsVals p;
  Progress pr;
  p.GIF_IMAGEINDEX = 1;  // append
  EXPECT_EQ(_InsertGIFIm(gif, &b, p, pr.rec), 2);
  p.GIF_IMAGEINDEX = 0;  // before the first frame's graphic control
  EXPECT_EQ(_InsertGIFIm(gif, &b, p, pr.rec), 3);
  p.GIF_IMAGEINDEX = 7;  // past the end: nothing
  EXPECT_EQ(_InsertGIFIm(gif, &b, p, pr.rec), 3);
  EXPECT_EQ(_DeleteGIFIm(gif, -1, false), 3);
  EXPECT_FALSE(_CheckGIFAnimate(gif));
  _GIFMakeAnimate(gif, 5, 20, 4);
  _GIFMakeAnimate(gif, 0, 0, 0);
  EXPECT_TRUE(_CheckGIFAnimate(gif));
  const Bytes data = filekit::LoadFile(gif);
  Integer loops = 0;
  for (size_t i = 0; i + 11 <= data.size(); ++i) loops += std::memcmp(&data[i], "NETSCAPE2.0", 11) == 0;
  EXPECT_EQ(loops, 1);
  EXPECT_EQ(data[6], 20);  // screen grown
  EXPECT_EQ(_DeleteGIFIm(gif, 0, true), 2);
  EXPECT_EQ(_DeleteGIFIm(gif, -1, false), 2);
  // The frames left are b (appended) and a... in file order: a, b.
  TLKBitmap r;
  TIOParamsVals q;
  TLKMask* mask = nullptr;
  Integer frames = 0;
  TFileStream s(gif, fmOpenRead);
  ReadGIFStream(&s, &r, frames, q, pr.rec, false, mask, true);
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(codeckit::Differences(codeckit::RGBAOf(r), codeckit::RGBAOf(a), 0, false), 0);
  if (HaveTool("convert")) {
    Integer w = 0, h = 0;
    EXPECT_FALSE(codeckit::PeerRGBA(gif, w, h, "1").empty());
  }
}

// A first image without graphic control still gets a frame inserted before
// it, and the count says so.
TEST(GifEditTest, InsertAtZeroBeforeAnImageWithoutGraphicControl) {
  const Bytes gif = {'G', 'I', 'F', '8', '7', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                     0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x04, 0x0A, 0, 0x3B};
  auto s = codeckit::StreamOf(gif);
  TLKBitmap b;
  codeckit::MakePicture(b, 3, 2, 4);
  TIOParamsVals p;
  Progress pr;
  EXPECT_EQ(_InsertGIFImStream(s.get(), &b, p, pr.rec), 2);
  s->SetPosition(0);
  TLKBitmap r;
  TLKMask* mask = nullptr;
  Integer frames = 0;
  TIOParamsVals q;
  ReadGIFStream(s.get(), &r, frames, q, pr.rec, false, mask, true);
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(r.GetWidth(), 3);
}

// The coders sit in the GIF hooks from start-up: the registry keeps GIF
// readable and writable, and the third writable format stays JPEG.
TEST(GifHooksTest, InstalledAtStartUpSoGifStaysReadableAndWritable) {
  EXPECT_EQ(DefGIF_LZWDECOMPFUNC, &GIFLZWDecompress);
  EXPECT_EQ(DefGIF_LZWCOMPFUNC, &GIFLZWCompress);
  LKUpdateGIFStatus();
  const PLKFileFormatInfo gif = LKFileFormatGetInfo(2);
  ASSERT_NE(gif, nullptr);
  EXPECT_NE(gif->ReadProc, nullptr);
  EXPECT_NE(gif->WriteProc, nullptr);
  Integer index = 0, jpeg = 0;
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i) {
    auto* info = static_cast<PLKFileFormatInfo>(lkgFileFormats->Get(i));
    if (!info->WriteProc) continue;
    ++index;
    if (info->FormatType == 3) jpeg = index;
  }
  EXPECT_EQ(jpeg, 3);
}

}  // namespace
