// Layers: list operations keeping mask pairs, switching, hit testing,
// synchronisation, and the layers stream (every version, hostile streams).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "core/lkbitmap.h"
#include "platform/classes.h"
#include "views/view_fixture.h"

namespace {

// Names the layers by their user data (one byte), bottom to top.
std::string Order(TLumerakView* V) {
  std::string s;
  for (Integer i = 0; i < V->GetLayersCount(); ++i) {
    TLKLayer* l = V->GetLayer(i);
    s += l->GetUserDataLength() > 0 ? static_cast<char>(l->GetUserData()[0]) : '0';
  }
  return s;
}

// Builds a stack from a description: one letter per layer above the
// background; a lower-case letter is the mask of the layer below it.
void Stack(TLumerakView* V, const std::string& Layers) {
  V->LayersClear();
  for (char c : Layers) {
    const Integer i = V->LayersAdd();
    V->GetLayer(i)->SetUserData(&c, 1);
    V->GetLayer(i)->IsMask = std::islower(static_cast<unsigned char>(c)) != 0;
  }
}

}  // namespace

TEST_F(ViewTest, LayerListOperationsKeepMaskPairsTogether) {
  Load(40, 30);
  struct Row {
    const char* name;
    const char* stack;
    std::function<void(TLumerakView*)> op;
    const char* expected;
  };
  const Row rows[] = {
      {"move up past another layer", "AaBC", [](TLumerakView* v) { v->LayersMove(1, 3); }, "0BAaC"},
      {"move onto its own mask goes past it", "AaBC", [](TLumerakView* v) { v->LayersMove(1, 2); }, "0BAaC"},
      {"pair at the top cannot move up", "Aa", [](TLumerakView* v) { v->LayersMove(1, 2); }, "0Aa"},
      {"moved under another layer's mask", "ABb", [](TLumerakView* v) { v->LayersMove(1, 2); }, "0BAb"},
      {"move down", "ABbC", [](TLumerakView* v) { v->LayersMove(2, 1); }, "0BbAC"},
      {"remove takes the mask along", "AaB", [](TLumerakView* v) { v->LayersRemove(1); }, "0B"},
      {"remove of the only layer does nothing", "", [](TLumerakView* v) { v->LayersRemove(0); }, "0"},
      {"insert at a mask goes below the pair", "Aa", [](TLumerakView* v) { v->LayersInsert(2); }, "00Aa"},
  };
  for (const Row& r : rows) {
    Stack(view_, r.stack);
    r.op(view_);
    EXPECT_EQ(Order(view_), r.expected) << r.name;
  }
}

TEST_F(ViewTest, RemovingTheCurrentTopPairMakesTheNewTopCurrent) {
  Load(40, 30);
  Stack(view_, "ABb");
  view_->SetLayersCurrent(3);
  view_->LayersRemove(2);
  EXPECT_EQ(Order(view_), "0A");
  EXPECT_EQ(view_->GetLayersCurrent(), 1);
  EXPECT_EQ(view_->GetLKBitmap(), view_->GetLayer(1)->Bitmap);
}

TEST_F(ViewTest, CurrentLayerSkipsUnselectableOnesDownwards) {
  Load(40, 30);
  Stack(view_, "ABC");
  view_->GetLayer(3)->Selectable = false;
  view_->GetLayer(2)->Selectable = false;
  Integer calls = 0;
  const Integer handle = view_->RegisterBitmapChangeEvent([&](TObject*, bool) { ++calls; });
  view_->SetLayersCurrent(0);
  view_->SetLayersCurrent(3);
  EXPECT_EQ(view_->GetLayersCurrent(), 1);
  EXPECT_EQ(view_->GetLKBitmap(), view_->GetLayer(1)->Bitmap);
  EXPECT_EQ(calls, 2);
  view_->RemoveBitmapChangeEvent(handle);
}

TEST_F(ViewTest, ClearResetsTheBackgroundLayerOnlyWhenThereWereOthers) {
  Load(40, 30);
  view_->LayersClear();
  EXPECT_FALSE(view_->GetLayer(0)->BoxVisible);
  view_->LayersAdd();
  view_->LayersClear();
  EXPECT_EQ(view_->GetLayersCount(), 1);
  EXPECT_TRUE(view_->GetLayer(0)->BoxVisible);
  EXPECT_FALSE(view_->GetLayer(0)->Locked);
}

TEST_F(ViewTest, LayersSyncGrowsEveryLayerWithTransparentArea) {
  Load(100, 50);
  const Integer i = view_->LayersAdd();
  view_->GetLayer(i)->Bitmap->Allocate(80, 120, lk24RGB);
  view_->SetLayersSync(true);
  for (Integer k = 0; k < 2; ++k) {
    TLKBitmap* b = view_->GetLayer(k)->Bitmap;
    EXPECT_EQ(b->GetWidth(), 100);
    EXPECT_EQ(b->GetHeight(), 120);
  }
  EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetAlpha(10, 100), 0);
  EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetAlpha(10, 10), 255);
}

TEST_F(ViewTest, FindLayerAtLooksThroughTransparentPixels) {
  Load(40, 30);
  const Integer top = view_->LayersAdd();
  TLKLayer* l = view_->GetLayer(top);
  l->Bitmap->GetAlphaChannel()->Fill(0);
  view_->PaintNow();
  const TRect r = l->ClientRect;
  EXPECT_EQ(view_->FindLayerAt(r.Left + 3, r.Top + 3), 0);
  l->Bitmap->SetAlpha(3, 3, 200);
  EXPECT_EQ(view_->FindLayerAt(r.Left + 3, r.Top + 3), top);
}

TEST_F(ViewTest, PositionedLayerWithOpacityBlendsOverTheBackground) {
  Load(40, 30);
  view_->GetLKBitmap()->Fill(0);  // black background layer
  const Integer i = view_->LayersAdd();
  TLKLayer* l = view_->GetLayer(i);
  l->Bitmap->Allocate(10, 10, lk24RGB);
  l->Bitmap->Fill(clWhite);
  l->PosX = 5;
  l->PosY = 4;
  l->Opacity = 128;
  view_->PaintNow();
  const TLKViewGeometry& g = view_->GetGeometry();
  EXPECT_EQ(l->ClientRect.Left, g.OffX + 5);
  const TRGB inside = Back(g.OffX + 6, g.OffY + 5), outside = Back(g.OffX + 2, g.OffY + 2);
  EXPECT_NEAR(inside.r, 128, 2);
  EXPECT_EQ(outside.r, 0);
}

TEST(LayerObject, AssignCopiesUserDataAsItsOwnBlock) {
  TLKLayer a(nullptr, nullptr, false), b(nullptr, nullptr, false);
  const char data[10] = "123456789";
  a.SetUserData(data, 10);
  a.Name = "top";
  a.PosX = 7;
  b.Assign(a);
  a.SetUserData(nullptr, 0);
  ASSERT_EQ(b.GetUserDataLength(), 10);
  EXPECT_EQ(std::memcmp(b.GetUserData(), data, 10), 0);
  EXPECT_EQ(b.Name, "top");
  EXPECT_EQ(b.PosX, 7);
}

// Layer conversions use the effective size: a layer without a display size
// converts at its bitmap's size (it used to give 0 for every point).
TEST_F(ViewTest, LayerConversionsWithoutDisplaySize) {
  Load(100, 80);
  const Integer i = view_->LayersAdd();
  TLKLayer* l = view_->GetLayer(i);
  l->PosX = 10;
  view_->SetZoom(200);
  view_->PaintNow();
  const Integer sx = l->ConvXBmp2Scr(5);
  EXPECT_EQ(l->ConvXScr2Bmp(sx), 5);
  EXPECT_NE(l->ConvXScr2Bmp(sx + 10), 0);
  l->DisplayWidth = 50;  // half the bitmap's width: two bitmap pixels per layer pixel
  EXPECT_EQ(l->ConvXScr2Bmp(l->ConvXBmp2Scr(40)), 40);
}

// ---------------------------------------------------------------------------
// The layers stream
// ---------------------------------------------------------------------------

namespace {

struct LayerSpec {
  Integer w, h;
  Byte fill;
  Integer posX;
  std::string name;
  bool mask, selectable, drawOuter;
};

void Put32(std::string& S, int32_t V) {
  for (int i = 0; i < 4; ++i) S.push_back(static_cast<char>((static_cast<uint32_t>(V) >> (8 * i)) & 0xFF));
}

// A layers stream of the given version written field by field, each image
// in the raw form through zlib.
std::string BuildStream(Integer Version, const std::vector<LayerSpec>& Layers) {
  std::string s = "LUMERAKLAYERS";
  Put32(s, Version);
  Put32(s, -1);
  Put32(s, static_cast<int32_t>(Layers.size()));
  std::vector<std::size_t> places;
  for (const LayerSpec& l : Layers) {
    s += '\1';  // visible
    s += '\1';  // box visible
    Put32(s, 200);  // opacity
    Put32(s, l.posX);
    Put32(s, 0);
    s += '\0';  // cropped
    s += '\0';  // locked
    s += '\0';  // magnification
    const double rate = 3.0;
    s.append(reinterpret_cast<const char*>(&rate), 8);
    s += '\1';  // source: canvas
    if (Version >= 3) s += '\0';  // style: rectangle
    s += '\4';  // operation: multiply
    Put32(s, 0);
    Put32(s, 0);
    if (Version >= 3) {
      s += '\x09';  // rfFastLinear
      s += '\1';
      Put32(s, static_cast<int32_t>(l.name.size()));
      s += l.name;
      Put32(s, 2);
      s += "ud";
      s += l.mask ? '\1' : '\0';
    }
    if (Version >= 4) s += l.selectable ? '\1' : '\0';
    if (Version >= 6) s += l.drawOuter ? '\1' : '\0';
    places.push_back(s.size());
    s.append(8, '\0');
  }
  for (std::size_t i = 0; i < Layers.size(); ++i) {
    const uint64_t pos = s.size();
    std::memcpy(&s[places[i]], &pos, 8);
    TLKBitmap b(Layers[i].w, Layers[i].h, lk24RGB);
    b.Fill(RGB(Layers[i].fill, Layers[i].fill, Layers[i].fill));
    std::vector<Byte> raw(static_cast<std::size_t>(b.CalcRAWSize()));
    b.SaveRAWToBufferOrStream(raw.data(), nullptr);
    uLongf n = compressBound(raw.size());
    std::vector<Byte> packed(n);
    compress2(packed.data(), &n, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION);
    Put32(s, static_cast<int32_t>(n));
    s.append(reinterpret_cast<const char*>(packed.data()), n);
  }
  return s;
}

bool LoadBytes(TLumerakView* V, const std::string& Bytes) {
  TMemoryStream m;
  m.WriteBuffer(Bytes.data(), static_cast<Int64>(Bytes.size()));
  m.SetPosition(0);
  return V->LayersLoadFromStream(&m);
}

}  // namespace

TEST_F(ViewTest, LayersStreamsOfEveryVersionLoad) {
  const std::vector<LayerSpec> layers = {{20, 10, 50, 0, "bg", false, true, false},
                                         {8, 6, 200, 4, "top", false, false, true}};
  for (Integer version : {1, 2, 3, 4, 5, 6, 9}) {
    Load(5, 5);
    ASSERT_TRUE(LoadBytes(view_, BuildStream(version, layers))) << version << ": " << view_->GetLastLayersError();
    ASSERT_EQ(view_->GetLayersCount(), 2) << version;
    TLKLayer* top = view_->GetLayer(1);
    EXPECT_EQ(top->Bitmap->GetWidth(), 8) << version;
    EXPECT_EQ(top->Bitmap->GetPixels_lk24RGB(1, 1).r, 200) << version;
    EXPECT_EQ(top->Opacity, 200);
    EXPECT_EQ(top->PosX, 4);
    EXPECT_EQ(top->Operation, lklMul);
    EXPECT_EQ(top->Magnify.Source, lkmCanvas);
    EXPECT_DOUBLE_EQ(top->Magnify.Rate, 3.0);
    // Fields a version lacks keep their defaults.
    EXPECT_EQ(top->Name, version >= 3 ? "top" : "") << version;
    EXPECT_EQ(top->GetUserDataLength(), version >= 3 ? 2 : 0) << version;
    EXPECT_EQ(top->Magnify.Style, version >= 3 ? lkmRectangle : lkmEllipse) << version;
    EXPECT_EQ(top->UseResampleFilter, version >= 3) << version;
    EXPECT_EQ(top->Selectable, version < 4) << version;
    EXPECT_EQ(top->DrawOuter, version >= 6) << version;
    EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetWidth(), 20);
  }
}

TEST_F(ViewTest, LayersStreamRoundTripsRawAndThroughACodec) {
  struct Row {
    const char* name;
    Integer compression, storedAs;
    Integer tolerance;
  };
  const Row rows[] = {{"raw form through zlib", -1, -1, 0}, {"JPEG", 3, 3, 12}};
  for (const Row& r : rows) {
    view_->LayersClear();
    Load(64, 48);
    const Integer i = view_->LayersAdd();
    TLKLayer* l = view_->GetLayer(i);
    l->Bitmap->Allocate(32, 16, lk24RGB);
    l->Bitmap->Fill(RGB(10, 120, 230));
    l->Name = "not selectable";
    l->Selectable = false;
    l->PosX = 9;
    view_->SetLayersCurrent(0);
    TMemoryStream m;
    view_->LayersSaveToStream(&m, r.compression);
    int32_t stored;
    std::memcpy(&stored, static_cast<const char*>(m.GetMemory()) + 17, 4);
    EXPECT_EQ(stored, r.storedAs) << r.name;
    view_->LayersClear();
    m.SetPosition(0);
    ASSERT_TRUE(view_->LayersLoadFromStream(&m)) << r.name << ": " << view_->GetLastLayersError();
    ASSERT_EQ(view_->GetLayersCount(), 2);
    TLKLayer* back = view_->GetLayer(1);
    EXPECT_EQ(back->Name, "not selectable");
    EXPECT_FALSE(back->Selectable);
    EXPECT_EQ(back->PosX, 9);
    // The layer that cannot become current was stored with its own image.
    ASSERT_EQ(back->Bitmap->GetWidth(), 32) << r.name;
    const TRGB p = back->Bitmap->GetPixels_lk24RGB(5, 5);
    EXPECT_NEAR(p.r, 10, r.tolerance) << r.name;
    EXPECT_NEAR(p.b, 230, r.tolerance) << r.name;
    EXPECT_NEAR(view_->GetLayer(0)->Bitmap->GetPixels_lk24RGB(3, 2).r, 5, r.tolerance) << r.name;
    EXPECT_NEAR(view_->GetLayer(0)->Bitmap->GetPixels_lk24RGB(30, 20).b, 30, r.tolerance) << r.name;
  }
}

TEST_F(ViewTest, HostileLayersStreamsAreRefusedAndTheLayersKept) {
  const std::string good = BuildStream(6, {{20, 10, 50, 0, "bg", false, true, false}});
  // Offsets into the single record of `good`.
  constexpr std::size_t kCount = 21, kRecord = 25, kNameLen = kRecord + 38, kDataPos = kRecord + 53,
                        kImageLen = kDataPos + 8;
  const auto with = [&](std::size_t at, int32_t v) {
    std::string s = good;
    std::memcpy(&s[at], &v, 4);
    return s;
  };
  struct Row {
    const char* name;
    std::string bytes;
    const char* error;  // part of the message
  };
  const Row rows[] = {
      {"wrong magic", "LUMERAKLAYERX" + good.substr(13), "Not a layers stream"},
      {"version 0", with(13, 0), "Not a layers stream"},
      {"header cut short", good.substr(0, 20), "ends inside the header"},
      {"negative layer count", with(kCount, -1), "layer count"},
      {"layer count the stream cannot hold", with(kCount, 1000000), "layer count"},
      {"name longer than the stream", with(kNameLen, 0x7FFFFFF0), "name length"},
      {"negative name length", with(kNameLen, -5), "name length"},
      {"image placed past the end", with(kDataPos, 0x7FFFFFF0), "outside the stream"},
      {"image placed inside the header", with(kDataPos, 3), "outside the stream"},
      {"image length past the end", with(kImageLen, 0x7FFFFFF0), "image length"},
      {"negative image length", with(kImageLen, -1), "image length"},
      {"record cut short", good.substr(0, kRecord + 50), "ends inside"},
      {"image bytes damaged", good.substr(0, good.size() - 6) + std::string(6, '\x55'), "image"},
      {"image cut short", good.substr(0, good.size() - 10), "image length"},
  };
  for (const Row& r : rows) {
    view_->LayersClear();
    Load(7, 5);
    view_->LayersAdd();
    EXPECT_FALSE(LoadBytes(view_, r.bytes)) << r.name;
    EXPECT_NE(view_->GetLastLayersError().find(r.error), std::string::npos)
        << r.name << ": " << view_->GetLastLayersError();
    ASSERT_EQ(view_->GetLayersCount(), 2) << r.name;
    EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetWidth(), 7) << r.name;
  }
}

TEST_F(ViewTest, LayersFileIsWrittenAndReadBack) {
  Load(16, 12);
  view_->LayersAdd();
  const std::string path = testing::TempDir() + "/view_layers.lyr";
  view_->LayersSaveToFile(path, -1);
  Load(3, 3);
  view_->LayersClear();
  ASSERT_TRUE(view_->LayersLoadFromFile(path));
  EXPECT_EQ(view_->GetLayersCount(), 2);
  EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetWidth(), 16);
  std::remove(path.c_str());
}

TEST_F(ViewTest, EllipseMagnifierShowsTheBackgroundEnlargedWithClearCorners) {
  Load(200, 150);
  view_->SetEnableAlphaChannel(true);
  const Integer i = view_->LayersAdd();
  TLKLayer* l = view_->GetLayer(i);
  l->Bitmap->Allocate(40, 40, lk24RGB);
  l->PosX = 60;
  l->PosY = 50;
  l->Magnify.Enabled = true;
  l->Magnify.Rate = 2;
  view_->PaintNow();
  TLKBitmap* alpha = l->Bitmap->GetAlphaChannel();
  EXPECT_EQ(alpha->GetPixels_lk8(0, 0), 0);
  EXPECT_EQ(alpha->GetPixels_lk8(39, 39), 0);
  EXPECT_EQ(alpha->GetPixels_lk8(20, 20), 255);
  // The layer's centre shows the background around its own centre,
  // (80, 70), at twice the size: blue is the column, green the row.
  const TRGB c = l->Bitmap->GetPixels_lk24RGB(20, 20);
  EXPECT_NEAR(c.b, 80, 2);
  EXPECT_NEAR(c.g, 70, 2);
  const TRGB c2 = l->Bitmap->GetPixels_lk24RGB(30, 20);
  EXPECT_NEAR(c2.b - c.b, 5, 1);  // ten magnifier pixels are five background pixels
}
