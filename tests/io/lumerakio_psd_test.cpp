// Layered documents through the I/O component: loaded into the layers of
// an attached single-image view (also on a worker), the merged picture
// otherwise, the transparency of a document's only layer, the view's layers
// saved with their merged picture, and a damaged document that leaves the
// view as it was.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "codecs/psd/psdfilt.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/controls.h"
#include "platform/threads.h"
#include "tests/common/file_kit.h"
#include "tests/io/io_kit.h"
#include "views/lklayer.h"
#include "views/lumerakview.h"

namespace {

// A W x H lk24RGB picture whose pixels depend on Seed.
void Paint(TLKBitmap& B, Integer W, Integer H, Integer Seed) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      row[x * 3] = Byte(x * 7 + Seed);
      row[x * 3 + 1] = Byte(y * 11 + Seed);
      row[x * 3 + 2] = Byte((x + y) * 3 + Seed);
    }
  }
}

// Pixels and alpha as bytes (alpha 255 without an alpha channel).
std::vector<Byte> Samples(TLKBitmap& B) {
  std::vector<Byte> s;
  for (Integer y = 0; y < B.GetHeight(); ++y) {
    const auto* row = static_cast<const Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < B.GetWidth(); ++x) {
      s.insert(s.end(), row + x * 3, row + x * 3 + 3);
      s.push_back(B.GetHasAlphaChannel() ? B.GetAlphaChannel()->GetPixels_lk8(x, y) : 255);
    }
  }
  return s;
}

struct LayerSpec {
  const char* Name;
  Integer W, H, X, Y, Opacity;
  bool Visible, Alpha;
  Integer Seed;
};

// The document of the tests: a 40 x 30 background, a half-opaque layer with
// graded transparency and a hidden one, over a merged picture of its own.
const LayerSpec kLayers[] = {{"Background", 40, 30, 0, 0, 255, true, false, 0},
                             {"Top", 12, 9, 7, 5, 128, true, true, 5},
                             {"Hidden", 6, 4, 30, 20, 255, false, false, 9}};

TLKLayer* MakeLayer(const LayerSpec& S) {
  auto* l = new TLKLayer(nullptr, nullptr, false);
  Paint(*l->Bitmap, S.W, S.H, S.Seed);
  if (S.Alpha)
    for (Integer y = 0; y < S.H; ++y)
      for (Integer x = 0; x < S.W; ++x) l->Bitmap->GetAlphaChannel()->SetPixels_lk8(x, y, Byte(x * 20 + y));
  l->Name = S.Name;
  l->PosX = S.X;
  l->PosY = S.Y;
  l->Opacity = S.Opacity;
  l->Visible = S.Visible;
  return l;
}

// Writes Specs over a merged picture (seed 77) as a document at 150 dpi.
std::string Document(const std::vector<LayerSpec>& Specs) {
  TList layers;
  for (const LayerSpec& s : Specs) layers.Add(MakeLayer(s));
  TLKBitmap merged;
  Paint(merged, 40, 30, 77);
  TIOParamsVals p;
  p.DPIX = p.DPIY = 150;
  std::atomic<bool> aborted{false};
  TProgressRec pr;
  pr.AbortFlag = &aborted;
  TMemoryStream ms;
  LKWritePSD(&ms, p, pr, &merged, &layers);
  LKFreeLayers(layers);
  EXPECT_FALSE(aborted.load());
  return std::string(static_cast<const char*>(ms.GetMemory()), size_t(ms.GetSize()));
}

std::vector<LayerSpec> AllLayers() { return {std::begin(kLayers), std::end(kLayers)}; }

// Expects the layers of View to be those of Specs, pixels included.
void ExpectLayers(TLumerakView& View, const std::vector<LayerSpec>& Specs) {
  ASSERT_EQ(View.GetLayersCount(), Integer(Specs.size()));
  for (size_t i = 0; i < Specs.size(); ++i) {
    SCOPED_TRACE(Specs[i].Name);
    TLKLayer* l = View.GetLayer(Integer(i));
    std::unique_ptr<TLKLayer> want(MakeLayer(Specs[i]));
    EXPECT_EQ(l->Name, want->Name);
    EXPECT_EQ(l->PosX, want->PosX);
    EXPECT_EQ(l->PosY, want->PosY);
    EXPECT_EQ(l->Opacity, want->Opacity);
    EXPECT_EQ(l->Visible, want->Visible);
    EXPECT_EQ(Samples(*l->Bitmap), Samples(*want->Bitmap));
  }
}

// A single-image view in a window with two layers of its own.
struct Viewed {
  TWinControl Form;
  TLumerakView* View = new TLumerakView;
  TLumerakIO* IO;
  Viewed() {
    View->SetParent(&Form);
    Paint(*View->GetLKBitmap(), 20, 10, 3);
    View->LayersAdd();
    Paint(*View->GetLKBitmap(), 8, 8, 4);
    View->GetCurrentLayer()->PosX = 2;
    IO = View->GetLumerakIO();
  }
  ~Viewed() { delete View; }
  // Loads or saves through the worker road when Async is set, and runs
  // what the worker left for the main thread.
  template <typename F>
  void Run(bool Async, F Operation) {
    IO->SetAsyncEnabled(Async);
    Operation();
    IO->WaitThreads(false);
    CheckSynchronize();
  }
};

}  // namespace

TEST(LumerakIOPSD, LayersGoToTheAttachedViewOnBothRoads) {
  iokit::TempDir dir;
  const String file = dir.File("layers.psd");
  iokit::WriteAll(file, Document(AllLayers()));
  for (bool async : {false, true}) {
    SCOPED_TRACE(async ? "worker" : "main thread");
    Viewed v;
    v.IO->GetIOParams()->PSD_LOADLAYERS = true;
    v.Run(async, [&] {
      v.IO->LoadFromFilePSD(file);
      // A worker leaves the view, a widget, to the main thread.
      if (!async) return;
      v.IO->WaitThreads(false);
      EXPECT_EQ(v.View->GetLayersCount(), 2);
    });
    ASSERT_FALSE(v.IO->GetAborted()) << v.IO->GetAbortReason();
    ExpectLayers(*v.View, AllLayers());
    EXPECT_EQ(v.IO->GetIOParams()->FILETYPE, 24);
    EXPECT_EQ(v.View->GetDpiX(), 150);
    EXPECT_EQ(v.IO->GetIOParams()->DPIX, 150);
    // The component follows the view to its current layer.
    EXPECT_EQ(v.IO->GetLKBitmap(), v.View->GetLKBitmap());
  }
}

// Without the option, or without a view to take them, the layers are not
// wanted: the working bitmap gets the merged picture (also when the option
// is set but nothing could take the layers).
TEST(LumerakIOPSD, OtherwiseTheMergedPictureIsLoaded) {
  iokit::TempDir dir;
  const String file = dir.File("layers.psd");
  iokit::WriteAll(file, Document(AllLayers()));
  TLKBitmap merged;
  Paint(merged, 40, 30, 77);
  {
    Viewed v;
    v.IO->LoadFromFilePSD(file);
    ASSERT_FALSE(v.IO->GetAborted());
    EXPECT_EQ(v.View->GetLayersCount(), 2) << "the view's layers are not the document's business";
    EXPECT_EQ(Samples(*v.View->GetLKBitmap()), Samples(merged));
  }
  TLumerakIO io;
  io.GetIOParams()->PSD_LOADLAYERS = true;
  io.LoadFromFilePSD(file);
  ASSERT_FALSE(io.GetAborted());
  EXPECT_EQ(Samples(*io.GetLKBitmap()), Samples(merged));
}

// A document without layers gives the view its merged picture as the one
// layer.
TEST(LumerakIOPSD, ADocumentWithoutLayersBecomesTheViewsOnlyLayer) {
  const std::string file = std::string(LUMERAK_TESTDATA_DIR) + "/psd/0layers.psd";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "the third-party test files are not beside this tree";
  TLumerakIO plain;
  plain.LoadFromFilePSD(file);
  ASSERT_FALSE(plain.GetAborted()) << plain.GetAbortReason();
  Viewed v;
  v.IO->GetIOParams()->PSD_LOADLAYERS = true;
  v.IO->LoadFromFilePSD(file);
  ASSERT_FALSE(v.IO->GetAborted());
  ASSERT_EQ(v.View->GetLayersCount(), 1);
  EXPECT_EQ(Samples(*v.View->GetLKBitmap()), Samples(*plain.GetLKBitmap()));
}

// The only layer of a document lends the merged picture its transparency
// with its opacity, placed where the layer lies (it is smaller than the
// picture here).
TEST(LumerakIOPSD, ASingleLayersAlphaBecomesThePicturesAlpha) {
  iokit::TempDir dir;
  const String file = dir.File("one.psd");
  iokit::WriteAll(file, Document({kLayers[1]}));
  TLumerakIO io;
  io.LoadFromFilePSD(file);
  ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
  TLKBitmap& b = *io.GetLKBitmap();
  ASSERT_EQ(b.GetWidth(), 40);
  ASSERT_TRUE(b.GetHasAlphaChannel());
  TLKBitmap* a = b.GetAlphaChannel();
  ASSERT_EQ(a->GetWidth(), 40);
  ASSERT_EQ(a->GetHeight(), 30);
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const bool inside = x >= 7 && x < 19 && y >= 5 && y < 14;
      // The layer's alpha times its opacity (128).
      ASSERT_EQ(a->GetPixels_lk8(x, y), inside ? Byte((((x - 7) * 20 + (y - 5)) * 128 + 127) / 255) : 0)
          << x << "," << y;
    }
}

// A 2 x 1 RGB document built byte by byte: one layer record (channels
// Layer, raw, the layer's opacity) under a layer count of Count, and a raw
// merged picture of the channels Merged (each a plane of two bytes).
std::string HandDocument(int16_t Count, Byte Opacity, const std::vector<std::pair<int16_t, std::vector<Byte>>>& Layer,
                         const std::vector<std::vector<Byte>>& Merged) {
  std::string d;
  auto u8 = [&](int v) { d += char(v); };
  auto u16 = [&](int v) { u8(v >> 8), u8(v & 255); };
  auto u32 = [&](uint32_t v) { u16(int(v >> 16)), u16(int(v & 0xFFFF)); };
  d += "8BPS";
  u16(1);
  d.append(6, '\0');
  u16(int(Merged.size()));
  u32(1);  // height
  u32(2);  // width
  u16(8);
  u16(3);  // RGB
  u32(0);  // colour-mode data
  u32(0);  // resources
  std::string record, data;
  {
    std::string keep;
    std::swap(d, keep);
    u32(0), u32(0), u32(1), u32(2);
    u16(int(Layer.size()));
    for (const auto& [id, plane] : Layer) {
      u16(uint16_t(id));
      u32(uint32_t(2 + plane.size()));
    }
    d += "8BIMnorm";
    u8(Opacity), u8(0), u8(0), u8(0);
    u32(12), u32(0), u32(0), u32(0);  // extra: no mask, no ranges, empty name padded
    std::swap(d, keep);
    record = keep;
    for (const auto& [id, plane] : Layer) {
      data += std::string("\0\0", 2);
      data.append(plane.begin(), plane.end());
    }
  }
  std::string info = record + data;
  if (info.size() % 2) info += '\0';
  u32(uint32_t(4 + 2 + info.size() + 4));
  u32(uint32_t(2 + info.size()));
  u16(uint16_t(Count));
  d += info;
  u32(0);  // global mask
  u16(0);  // raw merged picture
  for (const auto& plane : Merged) d.append(plane.begin(), plane.end());
  return d;
}

// The merged picture after the three rules of transparency: the channel
// after the colours is the transparency only under a negative layer count;
// a lone layer lends its alpha times its opacity; partly transparent colours
// are stored over white and come back without it.
TEST(LumerakIOPSD, MergedTransparencyAndTheWhiteItWasStoredOver) {
  // Colour (R 200, G 100, B 0) at alpha 102 over white, as a writer stores it.
  const auto over = [](int c, int a) { return Byte((c * a + 255 * (255 - a) + 127) / 255); };
  const std::vector<std::vector<Byte>> merged = {
      {over(200, 102), 10}, {over(100, 102), 20}, {over(0, 102), 30}, {102, 255}};
  const std::vector<std::pair<int16_t, std::vector<Byte>>> rgb = {{0, {1, 1}}, {1, {1, 1}}, {2, {1, 1}}};
  auto withAlpha = rgb;
  withAlpha.insert(withAlpha.begin(), {int16_t(-1), std::vector<Byte>{255, 255}});
  struct Case {
    const char* Name;
    std::string Doc;
    Byte Alpha0, Alpha1;  // 255: opaque
    bool Unblended;       // pixel 0 comes back as (200, 100, 0)
  };
  const Case cases[] = {
      {"marked transparency", HandDocument(-1, 255, withAlpha, merged), 102, 255, true},
      // The fourth channel is an extra one (say a saved selection).
      {"extra channel", HandDocument(1, 255, rgb, merged), 255, 255, false},
      // An opaque lone layer at opacity 102 (merged: colours only).
      {"lone layer's opacity", HandDocument(1, 102, withAlpha, {merged[0], merged[1], merged[2]}), 102, 102, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    iokit::TempDir dir;
    const String file = dir.File("hand.psd");
    iokit::WriteAll(file, c.Doc);
    TLumerakIO io;
    io.LoadFromFilePSD(file);
    ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
    TLKBitmap& b = *io.GetLKBitmap();
    ASSERT_EQ(b.GetWidth(), 2);
    const auto alpha = [&](Integer x) { return b.GetHasAlphaChannel() ? b.GetAlphaChannel()->GetPixels_lk8(x, 0) : 255; };
    EXPECT_EQ(alpha(0), c.Alpha0);
    EXPECT_EQ(alpha(1), c.Alpha1);
    const TRGB p = b.GetPixels(0, 0);
    if (c.Unblended) {
      EXPECT_NEAR(p.r, 200, 2);
      EXPECT_NEAR(p.g, 100, 2);
      EXPECT_NEAR(p.b, 0, 2);
    } else {
      EXPECT_EQ(p.r, over(200, 102));
    }
  }
}

// Against ImageMagick on the third-party documents: the merged picture (the
// colours where it is not fully transparent, and its transparency).
TEST(LumerakIOPSD, MergedPicturesOfThirdPartyDocumentsMatchImageMagick) {
  const std::string folder = std::string(LUMERAK_TESTDATA_DIR) + "/psd";
  const std::string im = "/usr/bin/convert-im6.q16";
  if (!std::filesystem::exists(folder) || !filekit::HaveTool(im.c_str()))
    GTEST_SKIP() << "the third-party test files or ImageMagick are not here";
  // Documents ImageMagick shows as something else than their merged
  // picture: it composes their several layers itself, the merged picture was
  // left white by the writer, or grey transparency rounds otherwise.
  const std::set<std::string> elsewise = {"adjustment-fillers.psd", "note.psd", "mask_parameters.psd",
                                          "layer-name-emoji.psd", "gray0.psd"};
  iokit::TempDir dir;
  int compared = 0;
  std::vector<std::string> differing;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (e.path().extension() != ".psd" || elsewise.count(name)) continue;
    const String out = dir.File("peer.rgba");
    const std::string size = dir.File("size.txt");
    if (!filekit::RunTool(im + " '" + e.path().string() + "[0]' -format '%w %h' -write info:" + size + " -depth 8 RGBA:" + out))
      continue;
    int w = 0, h = 0;
    if (std::sscanf(iokit::ReadAll(size).c_str(), "%d %d", &w, &h) != 2) continue;
    const std::string peer = iokit::ReadAll(out);
    TLumerakIO io;
    io.LoadFromFilePSD(e.path().string());
    TLKBitmap& b = *io.GetLKBitmap();
    if (io.GetAborted() || b.GetWidth() != w || b.GetHeight() != h || peer.size() != size_t(w) * h * 4) continue;
    if (b.GetPixelFormat() != lk24RGB) b.SetPixelFormat(lk24RGB);
    ++compared;
    int bad = 0;
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const Byte* q = reinterpret_cast<const Byte*>(peer.data()) + (size_t(y) * w + x) * 4;
        const Byte a = b.GetHasAlphaChannel() ? b.GetAlphaChannel()->GetPixels_lk8(x, y) : 255;
        const TRGB c = b.GetPixels(x, y);
        bool diff = std::abs(a - q[3]) > 1;
        if (a > 8 && q[3] > 8) diff |= std::abs(c.r - q[0]) > 3 || std::abs(c.g - q[1]) > 3 || std::abs(c.b - q[2]) > 3;
        bad += diff;
      }
    if (bad > 1) differing.push_back(name + " (" + std::to_string(bad) + " pixels)");
  }
  if (compared == 0) GTEST_SKIP() << "nothing to compare";
  std::string list;
  for (const auto& d : differing) list += d + "\n";
  EXPECT_TRUE(differing.empty()) << compared << " compared, differing:\n" << list;
}

TEST(LumerakIOPSD, TheViewsLayersAreSavedWithTheirMergedPicture) {
  iokit::TempDir dir;
  for (bool async : {false, true}) {
    SCOPED_TRACE(async ? "worker" : "main thread");
    const String file = dir.File(async ? "worker.psd" : "main.psd");
    Viewed v;
    TList given;
    for (const LayerSpec& s : kLayers) given.Add(MakeLayer(s));
    v.View->TakeLoadedLayers(given);
    TLKBitmap merged;
    v.View->LayersDrawTo(&merged);
    v.Run(async, [&] { v.IO->SaveToFilePSD(file); });
    ASSERT_FALSE(v.IO->GetAborted()) << v.IO->GetAbortReason();

    auto ms = std::make_unique<TMemoryStream>();
    const std::string bytes = iokit::ReadAll(file);
    ms->WriteBuffer(bytes.data(), Integer(bytes.size()));
    ms->SetPosition(0);
    TList back;
    TLKBitmap picture;
    TIOParamsVals p;
    std::atomic<bool> aborted{false};
    TProgressRec pr;
    pr.AbortFlag = &aborted;
    LKReadPSD(ms.get(), &picture, p, pr, false, nullptr);
    EXPECT_EQ(Samples(picture), Samples(merged));
    ms->SetPosition(0);
    LKReadPSD(ms.get(), &picture, p, pr, true, &back);
    ASSERT_FALSE(aborted.load());
    ASSERT_EQ(back.GetCount(), 3);
    for (Integer i = 0; i < 3; ++i) {
      auto* l = static_cast<TLKLayer*>(back.Get(i));
      std::unique_ptr<TLKLayer> want(MakeLayer(kLayers[i]));
      EXPECT_EQ(l->Name, want->Name);
      EXPECT_EQ(l->PosX, want->PosX);
      EXPECT_EQ(l->Opacity, want->Opacity);
      EXPECT_EQ(l->Visible, want->Visible);
      EXPECT_EQ(Samples(*l->Bitmap), Samples(*want->Bitmap));
    }
    LKFreeLayers(back);
    // ImageMagick lists the merged picture and each layer.
    if (!filekit::HaveTool("identify")) continue;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("identify '" + file + "' 2>/dev/null | wc -l").c_str(), "r"),
                                               pclose);
    int lines = 0;
    ASSERT_EQ(std::fscanf(pipe.get(), "%d", &lines), 1);
    EXPECT_EQ(lines, 4);
  }
}

// A damaged document read for the view's layers: the abort flag, and the
// view keeps its layers and pixels.
TEST(LumerakIOPSD, ADamagedDocumentLeavesTheViewsLayersAlone) {
  iokit::TempDir dir;
  const std::string whole = Document(AllLayers());
  // The end of the layer section: after the header, the colour-mode data
  // and the resources, each section behind its 32-bit length.
  const auto be32 = [&](size_t At) {
    return size_t(Byte(whole[At])) << 24 | size_t(Byte(whole[At + 1])) << 16 | size_t(Byte(whole[At + 2])) << 8 |
           size_t(Byte(whole[At + 3]));
  };
  size_t at = 26;
  at += 4 + be32(at);
  at += 4 + be32(at);
  const size_t layersEnd = at + 4 + be32(at);
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"cut in the layer records", whole.substr(0, 120)},
      {"cut in the last layer's channel data", whole.substr(0, layersEnd - 30)},
      {"not a document", "8BPX" + whole.substr(4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const String file = dir.File("damaged.psd");
    iokit::WriteAll(file, c.Bytes);
    Viewed v;
    const std::vector<Byte> background = Samples(*v.View->GetLayer(0)->Bitmap);
    const std::vector<Byte> top = Samples(*v.View->GetLayer(1)->Bitmap);
    v.IO->GetIOParams()->PSD_LOADLAYERS = true;
    v.IO->LoadFromFilePSD(file);
    EXPECT_TRUE(v.IO->GetAborted());
    ASSERT_EQ(v.View->GetLayersCount(), 2);
    EXPECT_EQ(Samples(*v.View->GetLayer(0)->Bitmap), background);
    EXPECT_EQ(Samples(*v.View->GetLayer(1)->Bitmap), top);
    EXPECT_EQ(v.View->GetLayer(1)->PosX, 2);
  }
}
