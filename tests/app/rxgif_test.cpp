// The GIF picture class: files made by a peer decode to the peer's pixels,
// pictures built from bitmaps are written so the peer reads them back, the
// coder's edge cases, damaged files, the block rules of the format, the
// animation timer and the clipboard form.
#include "app/RxGIF.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "app/app_kit.h"
#include "platform/testhooks.h"

namespace {

const char* const kPeer = "/usr/bin/convert-im6.q16";
bool HavePeer() { return std::ifstream(kPeer).good(); }

bool RunPeer(const std::string& Command) { return std::system((Command + " 2>/dev/null").c_str()) == 0; }

/// The peer's decoding of frame Frame as RGB bytes.
std::vector<Byte> PeerRGB(const std::string& File, int Frame) {
  std::vector<Byte> out;
  const std::string cmd =
      std::string(kPeer) + " '" + File + "[" + std::to_string(Frame) + "]' -coalesce -depth 8 rgb:- 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  Byte buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.insert(out.end(), buf, buf + n);
  pclose(p);
  return out;
}

/// A bitmap's pixels as RGB bytes.
std::vector<Byte> RGBOf(TBitmap* B) {
  std::vector<Byte> out;
  for (Integer y = 0; y < B->GetHeight(); ++y)
    for (Integer x = 0; x < B->GetWidth(); ++x) {
      const TColor c = B->GetCanvas()->GetPixel(x, y);
      out.push_back(GetRValue(c));
      out.push_back(GetGValue(c));
      out.push_back(GetBValue(c));
    }
  return out;
}

std::vector<Byte> Bytes(TGIFImage& G) {
  TMemoryStream m;
  G.SaveToStream(&m);
  const Byte* p = static_cast<const Byte*>(m.GetMemory());
  return std::vector<Byte>(p, p + m.GetSize());
}

void LoadBytes(TGIFImage& G, const std::vector<Byte>& B) {
  TMemoryStream m;
  m.WriteBuffer(B.data(), Int64(B.size()));
  m.SetPosition(0);
  G.LoadFromStream(&m);
}

/// A 24-bit bitmap of few colours: Colors distinct ones in bands.
std::unique_ptr<TBitmap> Bands(Integer W, Integer H, int Colors, int Seed) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) {
      const int k = (x + y * 3 + Seed) % Colors;
      b->GetCanvas()->SetPixel(x, y, RGB(Byte(k * 37 + Seed), Byte(255 - k * 11), Byte(k * 5)));
    }
  return b;
}

/// Header, a global map of 2^Bits entries (none for Bits 0), then Body and ";".
std::vector<Byte> GifFile(Integer W, Integer H, int Bits, const std::vector<Byte>& Body) {
  std::vector<Byte> f = {'G', 'I', 'F', '8', '9', 'a', Byte(W), Byte(W >> 8), Byte(H), Byte(H >> 8),
                         Byte(Bits ? 0x80 | (Bits - 1) << 4 | (Bits - 1) : 0), 0, 0};
  for (int i = 0; Bits && i < (1 << Bits); ++i) f.insert(f.end(), {Byte(i * 40), Byte(i * 20), Byte(255 - i)});
  f.insert(f.end(), Body.begin(), Body.end());
  f.push_back(';');
  return f;
}

/// An image descriptor (with a local map of 2^LocalBits entries) and its data.
std::vector<Byte> Image(Integer W, Integer H, int LocalBits, const std::vector<Byte>& Zip) {
  std::vector<Byte> b = {',', 0, 0, 0, 0, Byte(W), Byte(W >> 8), Byte(H), Byte(H >> 8),
                         Byte(LocalBits ? 0x80 | (LocalBits - 1) : 0)};
  for (int i = 0; LocalBits && i < (1 << LocalBits); ++i) b.insert(b.end(), {Byte(i * 60), 0, Byte(i)});
  b.insert(b.end(), Zip.begin(), Zip.end());
  return b;
}

}  // namespace

TEST(RxGIFTest, PeerMadeFilesDecodeToThePeersPixels) {
  if (!HavePeer()) GTEST_SKIP() << "ImageMagick is not installed";
  appkit::TScratch dir;
  const std::string peer = kPeer;
  const char* makes[] = {
      "-size 40x30 gradient:red-blue -colors 64",
      "-size 40x30 gradient:red-blue -colors 64 -interlace GIF",
      "-size 33x17 pattern:checkerboard",
      "-size 31x9 gradient:yellow-navy -colors 13",
      // Noise in 256 colours fills the coder's table many times over.
      "-size 200x150 xc: +noise Random -colors 256",
  };
  for (const char* make : makes) {
    SCOPED_TRACE(make);
    const std::string file = dir / "peer.gif";
    ASSERT_TRUE(RunPeer(peer + " " + make + " " + file));
    TGIFImage g;
    g.LoadFromFile(file);
    ASSERT_EQ(g.GetCount(), 1);
    EXPECT_FALSE(g.GetFrame(0)->GetCorrupted());
    EXPECT_EQ(RGBOf(g.GetFrame(0)->GetBitmap()), PeerRGB(file, 0));
  }
}

TEST(RxGIFTest, PicturesBuiltFromBitmapsAreReadByThePeer) {
  TGIFImage g;
  auto first = Bands(23, 11, 7, 0);
  auto second = Bands(23, 11, 40, 9);
  auto third = Bands(17, 5, 3, 2);
  EXPECT_EQ(g.AppendFrame(first.get()), 0);
  EXPECT_EQ(g.GetVersion(), 1);
  g.AppendFrame(second.get());
  g.AppendFrame(third.get());
  EXPECT_EQ(g.GetVersion(), 2);
  g.GetFrame(1)->SetAnimateInterval(75);
  g.GetFrame(2)->SetInterlaced(true);
  const std::vector<Byte> bytes = Bytes(g);
  // "89a", a global map from the first frame, a local one for the second.
  ASSERT_GT(bytes.size(), 13u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
  EXPECT_EQ(bytes[10] & 0x80, 0x80);
  {
    TGIFImage back;
    LoadBytes(back, bytes);
    ASSERT_EQ(back.GetCount(), 3);
    // 75 ms are stored as 7 hundredths and read back as 70 ms.
    EXPECT_EQ(back.GetFrame(1)->GetAnimateInterval(), 70);
    EXPECT_TRUE(back.GetFrame(2)->GetInterlaced());
    EXPECT_EQ(RGBOf(back.GetFrame(0)->GetBitmap()), RGBOf(first.get()));
    EXPECT_EQ(RGBOf(back.GetFrame(1)->GetBitmap()), RGBOf(second.get()));
    EXPECT_EQ(RGBOf(back.GetFrame(2)->GetBitmap()), RGBOf(third.get()));
  }
  // The graphic control of the second frame: delay 7, no transparency.
  const Byte control[] = {0x21, 0xF9, 4, 0, 7, 0, 0, 0};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), control, control + 8), bytes.end());

  if (!HavePeer()) return;
  appkit::TScratch dir;
  const std::string file = dir / "ours.gif";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  EXPECT_EQ(PeerRGB(file, 0), RGBOf(first.get()));
  const std::vector<Byte> peer1 = PeerRGB(file, 1);
  EXPECT_EQ(peer1, RGBOf(second.get()));
  // The third frame lies over the second on the peer's canvas: compare its
  // top-left corner.
  const std::vector<Byte> peer2 = PeerRGB(file, 2);
  const std::vector<Byte> want = RGBOf(third.get());
  ASSERT_EQ(peer2.size(), std::size_t(23 * 11 * 3));
  for (Integer y = 0; y < 5; ++y)
    EXPECT_TRUE(std::equal(want.begin() + 17 * 3 * y, want.begin() + 17 * 3 * (y + 1), peer2.begin() + 23 * 3 * y))
        << "row " << y;
}

TEST(RxGIFTest, TrueColourFramesAreReducedAndSurviveAReload) {
  // 1000 colours, each once: the exact-colour reduction keeps the first 256
  // met, and the other pixels take the nearest of those.
  TBitmap rich(50, 20, pf24bit);
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 50; ++x) rich.GetCanvas()->SetPixel(x, y, RGB(Byte(x * 5), Byte(y * 12), 128));
  TGIFImage g;
  g.Assign(&rich);
  TGIFImage back;
  LoadBytes(back, Bytes(g));
  TBitmap* b = back.GetFrame(0)->GetBitmap();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetWidth(), 50);
  EXPECT_EQ(b->GetPixelFormat(), pf8bit);
  int exact = 0;
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 50; ++x) exact += b->GetCanvas()->GetPixel(x, y) == rich.GetCanvas()->GetPixel(x, y);
  EXPECT_EQ(exact, 256);
  EXPECT_EQ(b->GetCanvas()->GetPixel(5, 5), rich.GetCanvas()->GetPixel(5, 5));
}

TEST(RxGIFTest, CoderEdgeCases) {
  std::mt19937 rng(7);
  // Round trips through our own coder at every depth, plain and interlaced.
  for (Integer bits : {1, 2, 4, 8})
    for (bool interlaced : {false, true}) {
      std::vector<Byte> px(97 * 41);
      for (Byte& p : px) p = Byte(rng() % (1u << bits));
      const std::vector<Byte> zip = gifcoder::Encode(px, 97, 41, bits, interlaced);
      std::vector<Byte> back;
      EXPECT_TRUE(gifcoder::Decode(zip, 97, 41, bits, interlaced, back)) << bits;
      EXPECT_EQ(back, px) << bits << " " << interlaced;
    }

  // 6000 literal codes without a clear: the table fills at 4096 entries and
  // stays full, and decoding goes on at 12 bits.
  std::vector<Byte> px(6000);
  for (Byte& p : px) p = Byte(rng());
  std::vector<Byte> zip = {8}, block;
  std::uint32_t acc = 0;
  int have = 0, next = 256 + 2;
  auto width = [&] {
    int w = 1;
    while ((1 << w) <= next) ++w;
    return std::min(w, 12);
  };
  auto emit = [&](int code, int w) {
    acc |= std::uint32_t(code) << have;
    for (have += w; have >= 8; have -= 8, acc >>= 8) block.push_back(Byte(acc));
  };
  emit(256, 9);
  for (std::size_t i = 0; i < px.size(); ++i) {
    emit(px[i], width());
    if (i > 0 && next < 4096) ++next;
  }
  emit(257, width());
  if (have) block.push_back(Byte(acc));
  for (std::size_t i = 0; i < block.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, block.size() - i);
    zip.push_back(Byte(n));
    zip.insert(zip.end(), block.begin() + long(i), block.begin() + long(i + n));
  }
  zip.push_back(0);
  std::vector<Byte> back;
  EXPECT_TRUE(gifcoder::Decode(zip, 100, 60, 8, false, back));
  EXPECT_EQ(back, px);

  // Damaged streams stop without reading outside the data. Codes of 3 bits
  // at minimum code size 2: 4 is the clear code, 5 the end code.
  auto pack = [](std::initializer_list<int> Codes, Byte MinSize = 2) {
    std::vector<Byte> z = {MinSize}, data;
    std::uint32_t a = 0;
    int n = 0;
    for (int c : Codes) {
      a |= std::uint32_t(c) << n;
      for (n += 3; n >= 8; n -= 8, a >>= 8) data.push_back(Byte(a));
    }
    if (n) data.push_back(Byte(a));
    z.push_back(Byte(data.size()));
    z.insert(z.end(), data.begin(), data.end());
    z.push_back(0);
    return z;
  };
  const std::vector<std::vector<Byte>> damaged = {
      pack({4, 6}),           // a table code right after a clear refers to nothing
      pack({4, 1, 7}),        // a code beyond the next free one
      pack({4, 1, 1}),        // the data ends before the picture is full
      pack({4, 1, 5}, 12),    // a code size outside 2 to 9
      {},
  };
  for (const auto& z : damaged) {
    std::vector<Byte> out;
    EXPECT_FALSE(gifcoder::Decode(z, 5, 5, 2, false, out));
    EXPECT_EQ(out.size(), 25u);
  }
  // An end code before the picture is full is no damage.
  std::vector<Byte> out;
  EXPECT_TRUE(gifcoder::Decode(pack({4, 1, 2, 5}), 5, 5, 2, false, out));
  EXPECT_EQ(out[1], 2);
}

TEST(RxGIFTest, DamagedAndUnusualFiles) {
  std::vector<Byte> px(12 * 6);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = Byte(i % 4);
  const std::vector<Byte> zip = gifcoder::Encode(px, 12, 6, 2, false);

  // Data ending early: loaded, the frame flagged.
  std::vector<Byte> cut = GifFile(12, 6, 2, Image(12, 6, 0, zip));
  cut.resize(cut.size() - 6);
  TGIFImage g;
  EXPECT_NO_THROW(LoadBytes(g, cut));
  ASSERT_EQ(g.GetCount(), 1);
  EXPECT_TRUE(g.GetFrame(0)->GetCorrupted());
  EXPECT_EQ(g.GetWidth(), 12);

  // Only a local map (no global one), and no map at all: both load.
  TGIFImage local;
  LoadBytes(local, GifFile(12, 6, 0, Image(12, 6, 2, zip)));
  ASSERT_EQ(local.GetCount(), 1);
  EXPECT_EQ(local.GetFrame(0)->GetBitmap()->GetCanvas()->GetPixel(1, 0), RGB(60, 0, 1));
  TGIFImage none;
  LoadBytes(none, GifFile(12, 6, 0, Image(12, 6, 0, zip)));
  EXPECT_EQ(none.GetWidth(), 12);

  // A frame without width or height on a screen without size decodes to
  // an empty picture.
  for (const auto& [W, H] : {std::pair<Integer, Integer>{0, 6}, {12, 0}}) {
    TGIFImage z;
    LoadBytes(z, GifFile(0, 0, 0, Image(W, H, 2, zip)));
    ASSERT_EQ(z.GetCount(), 1);
    TBitmap* b = z.GetFrame(0)->GetBitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetWidth() * b->GetHeight(), 0);
  }

  // A frame that claims 65535 x 65535 pixels is refused, not allocated.
  TGIFImage huge;
  EXPECT_THROW(LoadBytes(huge, GifFile(10, 10, 2, Image(65535, 65535, 0, zip))), EInvalidGraphicOperation);

  // Structure errors raise the format's texts.
  struct Bad {
    std::vector<Byte> File;
    const char* Text;
  };
  std::vector<Byte> badExt = GifFile(4, 4, 1, {0x21, 0x07, 0});
  const Bad bads[] = {
      {{'G', 'I', 'F', '9', '0', 'a', 4, 0, 4, 0, 0, 0, 0}, "Unknown GIF version"},
      {{'P', 'N', 'G', '8', '9', 'a'}, "Unknown GIF version"},
      {badExt, "Unrecognized extension block: 07"},
      {{'G', 'I', 'F', '8', '7', 'a', 4, 0}, "Stream read error"},
  };
  for (const Bad& b : bads) {
    TGIFImage t;
    try {
      LoadBytes(t, b.File);
      ADD_FAILURE() << b.Text;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(String(e.what()), b.Text);
    }
  }
  EXPECT_THROW(g.SetWidth(3), EInvalidGraphicOperation);
  TGIFImage empty;
  EXPECT_TRUE(empty.GetEmpty());
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_THROW(Bytes(empty), EInvalidGraphicOperation);
}

TEST(RxGIFTest, LoopBlockAndComments) {
  std::vector<Byte> px(4 * 4, 1);
  const std::vector<Byte> zip = gifcoder::Encode(px, 4, 4, 2, false);
  const Byte app[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1,
                      0x40, 0x9C /* 40000 */, 0};
  std::vector<Byte> body(app, app + sizeof app);
  const std::vector<Byte> img = Image(4, 4, 0, zip);
  body.insert(body.end(), img.begin(), img.end());
  body.insert(body.end(), img.begin(), img.end());
  const Byte comment[] = {0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
  body.insert(body.end(), comment, comment + sizeof comment);
  TGIFImage g;
  LoadBytes(g, GifFile(4, 4, 2, body));
  EXPECT_TRUE(g.GetLooping());
  EXPECT_EQ(g.GetRepeatCount(), 30000);
  EXPECT_EQ(g.GetCount(), 2);
  EXPECT_EQ(g.GetComment(), std::vector<String>{"hello"});

  // Written again: the loop block and the comment are kept.
  const std::vector<Byte> again = Bytes(g);
  const std::string text(again.begin(), again.end());
  EXPECT_NE(text.find("NETSCAPE2.0"), std::string::npos);
  EXPECT_NE(text.find("hello"), std::string::npos);
  // One frame writes no loop block even while looping.
  g.DeleteFrame(1);
  const std::vector<Byte> single = Bytes(g);
  EXPECT_EQ(std::string(single.begin(), single.end()).find("NETSCAPE2.0"), std::string::npos);

  // The component-streaming form carries the GIF's length first.
  TMemoryStream form;
  g.WriteData(&form);
  form.SetPosition(0);
  TGIFImage back;
  back.ReadData(&form);
  EXPECT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetWidth(), 4);
  // A length past the stream's end is refused before anything is allocated.
  TMemoryStream lie;
  const Byte big[] = {0xFF, 0xFF, 0xFF, 0x7F, 'G', 'I', 'F'};
  lie.WriteBuffer(big, sizeof big);
  lie.SetPosition(0);
  EXPECT_THROW(back.ReadData(&lie), EInvalidGraphicOperation);
}

TEST(RxGIFTest, TransparencyCopiesAndThePictureObject) {
  TBitmap keyed(6, 4, pf24bit);
  keyed.GetCanvas()->GetBrush()->SetColor(clRed);
  keyed.GetCanvas()->FillRect(TRect{0, 0, 6, 4});
  keyed.GetCanvas()->SetPixel(2, 2, clBlue);
  keyed.SetTransparentColor(clRed);
  keyed.SetTransparent(true);
  TGIFImage g;
  g.Assign(&keyed);
  EXPECT_TRUE(g.GetTransparent());
  TGIFImage back;
  LoadBytes(back, Bytes(g));
  EXPECT_EQ(back.GetFrame(0)->GetTransparentColor(), clRed);
  // Drawn over green, the red pixels leave the green showing.
  TBitmap canvas(6, 4, pf24bit);
  canvas.GetCanvas()->GetBrush()->SetColor(clLime);
  canvas.GetCanvas()->FillRect(TRect{0, 0, 6, 4});
  back.Draw(canvas.GetCanvas(), TRect{0, 0, 6, 4});
  EXPECT_EQ(canvas.GetCanvas()->GetPixel(0, 0), clLime);
  EXPECT_EQ(canvas.GetCanvas()->GetPixel(2, 2), clBlue);
  // Into a bitmap: the picture and its transparent colour.
  TBitmap out;
  back.AssignTo(&out);
  EXPECT_EQ(out.GetWidth(), 6);
  EXPECT_TRUE(out.GetTransparent());
  // Copies share the picture data.
  TGIFImage copy;
  copy.Assign(&back);
  EXPECT_TRUE(copy.Equals(&back));
  EXPECT_FALSE(copy.Equals(&g));

  appkit::TScratch dir;
  back.SaveToFile(dir / "k.gif");
  TPicture pic;
  pic.LoadFromFile(dir / "k.gif");
  EXPECT_NE(dynamic_cast<TGIFImage*>(pic.GetGraphic()), nullptr);
  EXPECT_EQ(pic.GetWidth(), 6);
}

TEST(RxGIFTest, AnimationStepsByTheFrameDelays) {
  TGIFImage g;
  for (int i = 0; i < 3; ++i) {
    auto b = Bands(5, 5, 2, i * 50);
    g.AppendFrame(b.get());
  }
  g.GetFrame(0)->SetAnimateInterval(50);
  g.GetFrame(2)->SetAnimateInterval(70);
  g.SetFrameIndex(0);
  int changes = 0;
  g.OnChange = [&](TObject*) { ++changes; };
  struct Case {
    bool Looping;
    Integer Repeat;
    std::vector<Integer> Frames;  // the frame after each tick
  };
  const Case cases[] = {
      {false, 1, {1, 2, 2, 2}},           // plays once, stops on the last frame
      {true, 1, {1, 2, 0, 1, 2, 2}},      // once more
      {true, 0, {1, 2, 0, 1, 2, 0, 1}},   // endless
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Repeat);
    g.SetLooping(c.Looping);
    g.SetRepeatCount(c.Repeat);
    g.SetFrameIndex(0);
    g.SetAnimate(true);
    ASSERT_NE(g.GetAnimationTimer(), nullptr);
    EXPECT_EQ(g.GetAnimationTimer()->GetInterval(), 50u);
    changes = 0;
    std::vector<Integer> seen;
    for (std::size_t i = 0; i < c.Frames.size(); ++i) {
      if (g.GetAnimationTimer()->GetEnabled()) g.GetAnimationTimer()->Timer();
      seen.push_back(g.GetFrameIndex());
      if (seen.back() == 1) EXPECT_EQ(g.GetAnimationTimer()->GetInterval(), 100u);  // no delay: 100 ms
    }
    EXPECT_EQ(seen, c.Frames);
    EXPECT_GT(changes, 0);
    g.SetAnimate(false);
    EXPECT_FALSE(g.GetAnimationTimer()->GetEnabled());
  }
}

TEST(RxGIFTest, FramesAreComposedByTheirDisposalAsThePeerCoalescesThem) {
  if (!HavePeer()) GTEST_SKIP() << "ImageMagick is not installed";
  appkit::TScratch dir;
  // Four frames on a 24 x 16 screen: a gradient over all of it, a blue disc
  // with transparent corners, a green and a yellow square, each at its own
  // place; every disposal method in several orders. The peer shows the
  // screen before the first frame in the background colour and the areas a
  // disposal clears as transparent: drawn opaque, both are the background
  // colour here.
  const char* const frames[] = {
      "\\( -size 24x16 gradient:red-yellow \\)",
      "\\( -size 10x8 xc:none -fill blue -draw 'circle 5,4 5,0' -repage 24x16+3+2 \\)",
      "\\( -size 6x6 xc:green -repage 24x16+12+6 \\)",
      "\\( -size 4x4 xc:yellow -repage 24x16+5+3 \\)",
  };
  const std::vector<std::vector<std::string>> orders = {
      {"None", "None", "None", "None"},
      {"None", "Background", "Previous", "Previous"},
      {"Background", "Previous", "None", "Background"},
      {"Previous", "Background", "Background", "None"},
      {"Previous", "Previous", "Previous", "Previous"},
  };
  const TColor outside = RGB(1, 2, 3);  // in no frame's map: shows what is not drawn
  for (const auto& order : orders) {
    const std::string trace = order[0] + "," + order[1] + "," + order[2] + "," + order[3];
    SCOPED_TRACE(trace);
    const std::string file = dir / "anim.gif";
    std::string make = std::string(kPeer);
    for (int i = 0; i < 4; ++i) make += " -dispose " + order[std::size_t(i)] + " " + frames[i];
    ASSERT_TRUE(RunPeer(make + " -delay 10 " + file));
    std::vector<Byte> peer;
    {
      FILE* p = popen((std::string(kPeer) + " " + file + " -coalesce -depth 8 rgba:- 2>/dev/null").c_str(), "r");
      ASSERT_NE(p, nullptr);
      Byte buf[4096];
      for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) peer.insert(peer.end(), buf, buf + n);
      pclose(p);
    }
    ASSERT_EQ(peer.size(), std::size_t(4 * 24 * 16 * 4));
    TGIFImage g;
    g.LoadFromFile(file);
    ASSERT_EQ(g.GetCount(), 4);
    EXPECT_EQ(g.GetWidth(), 24);
    EXPECT_EQ(g.GetHeight(), 16);
    g.SetTransparent(false);
    const TColor background = g.GetBackgroundColor();
    ASSERT_NE(background, clNone);
    // Forwards (each frame built on the last) and backwards (rebuilt).
    for (const int i : {0, 1, 2, 3, 2, 1, 0, 3}) {
      g.SetFrameIndex(i);
      TBitmap shown(24, 16, pf24bit);
      shown.GetCanvas()->GetBrush()->SetColor(outside);
      shown.GetCanvas()->FillRect(TRect{0, 0, 24, 16});
      g.Draw(shown.GetCanvas(), TRect{0, 0, 24, 16});
      int wrong = 0;
      for (Integer y = 0; y < 16; ++y)
        for (Integer x = 0; x < 24; ++x) {
          const Byte* q = peer.data() + ((std::size_t(i) * 16 + std::size_t(y)) * 24 + std::size_t(x)) * 4;
          const TColor want = q[3] == 0 ? background : RGB(q[0], q[1], q[2]);
          if (shown.GetCanvas()->GetPixel(x, y) != want && ++wrong < 4)
            ADD_FAILURE() << "frame " << i << " pixel " << x << "," << y;
        }
      EXPECT_EQ(wrong, 0) << "frame " << i;
    }
  }
}

TEST(RxGIFTest, AFrameChangedAfterDrawingIsComposedAnew) {
  // Two frames, the second a 2 x 2 square restoring the background.
  TGIFImage g;
  TBitmap red(6, 6, pf24bit), blue(2, 2, pf24bit);
  red.GetCanvas()->GetBrush()->SetColor(clRed);
  red.GetCanvas()->FillRect(TRect{0, 0, 6, 6});
  blue.GetCanvas()->GetBrush()->SetColor(clBlue);
  blue.GetCanvas()->FillRect(TRect{0, 0, 2, 2});
  g.AppendFrame(&red);
  g.AppendFrame(&blue);
  g.GetFrame(1)->SetOrigin(TPoint{1, 1});
  TBitmap shown(6, 6, pf24bit);
  auto pixel = [&](Integer Frame, Integer X, Integer Y) {
    g.SetFrameIndex(Frame);
    shown.GetCanvas()->GetBrush()->SetColor(clLime);
    shown.GetCanvas()->FillRect(TRect{0, 0, 6, 6});
    g.Draw(shown.GetCanvas(), TRect{0, 0, 6, 6});
    return shown.GetCanvas()->GetPixel(X, Y);
  };
  EXPECT_EQ(pixel(1, 1, 1), clBlue);
  EXPECT_EQ(pixel(1, 4, 4), clRed);
  // Moved, and the first frame cleared away before it: the screen follows.
  g.GetFrame(1)->SetOrigin(TPoint{4, 4});
  g.GetFrame(0)->SetDisposalMethod(2);
  EXPECT_EQ(pixel(1, 1, 1), clLime);
  EXPECT_EQ(pixel(1, 4, 4), clBlue);
  EXPECT_EQ(pixel(0, 1, 1), clRed);
}

TEST(RxGIFTest, ClipboardCarriesTheGIFAndItsPicture) {
  if (!ClipboardAvailable()) GTEST_SKIP() << "no clipboard";
  TGIFImage g;
  std::vector<Byte> px(8 * 3, 2);
  LoadBytes(g, GifFile(8, 3, 2, Image(8, 3, 0, gifcoder::Encode(px, 8, 3, 2, false))));
  g.SaveToClipboardFormat(*Clipboard());
  EXPECT_TRUE(Clipboard()->HasFormat(CF_GIF()));
  TGIFImage back;
  EXPECT_TRUE(back.LoadFromClipboardFormat(*Clipboard()));
  EXPECT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetWidth(), 8);
  // A plain picture on the clipboard becomes one frame.
  TBitmap plain(3, 2, pf24bit);
  Clipboard()->SetBitmap(plain);
  TGIFImage fromBitmap;
  EXPECT_TRUE(fromBitmap.LoadFromClipboardFormat(*Clipboard()));
  EXPECT_EQ(fromBitmap.GetWidth(), 3);
}
