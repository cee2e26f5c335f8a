#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkimagingannot.h"
#include "io/lkparams.h"
#include "views/lkview.h"

namespace {

using Bytes = std::vector<Byte>;

Bytes Ints(std::initializer_list<Integer> Values) {
  Bytes b;
  for (Integer v : Values) {
    const Byte* p = reinterpret_cast<const Byte*>(&v);
    b.insert(b.end(), p, p + 4);
  }
  return b;
}

Bytes Cat(std::initializer_list<Bytes> Parts) {
  Bytes b;
  for (const Bytes& p : Parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

// Zero-terminated text.
Bytes Str(const std::string& S) {
  Bytes b(S.begin(), S.end());
  b.push_back(0);
  return b;
}

// Builds a tag-32932 buffer block by block. With the integer-size word 0
// every named block's data size is followed by four more bytes.
struct TagBuf {
  Bytes B;
  bool LongSizes;
  explicit TagBuf(Integer SizeWord = 1) : LongSizes(SizeWord == 0) { Raw(Ints({0, SizeWord})); }
  TagBuf& Raw(const Bytes& Data) {
    B.insert(B.end(), Data.begin(), Data.end());
    return *this;
  }
  TagBuf& Named(Integer Type, const char* Name, const Bytes& Data) {
    char name[8] = {};
    std::memcpy(name, Name, std::min<std::size_t>(std::strlen(Name), 8));
    Raw(Ints({Type, 12}));
    Raw(Bytes(name, name + 8));
    Raw(Ints({static_cast<Integer>(Data.size())}));
    if (LongSizes) Raw(Ints({0}));
    return Raw(Data);
  }
  TagBuf& Defaults() { return Named(2, "OiGroup", Str("0")).Named(2, "OiIndex", Str("1")); }
  TagBuf& Mark(const TLKAnnotMarkAttributes& A) {
    Raw(Ints({5, 164}));
    const Byte* p = reinterpret_cast<const Byte*>(&A);
    return Raw(Bytes(p, p + sizeof A));
  }
  TagBuf& GroupIndex(int Index) {
    return Named(6, "OiGroup", Str("0")).Named(6, "OiIndex", Str(std::to_string(Index)));
  }
};

// Attributes whose every byte differs from its neighbours, so a byte lost,
// moved or rewritten shows in the comparison.
TLKAnnotMarkAttributes Attrs(Integer Type, Integer Seed) {
  TLKAnnotMarkAttributes a;
  Byte* p = reinterpret_cast<Byte*>(&a);
  for (std::size_t i = 0; i < sizeof a; ++i) p[i] = static_cast<Byte>(Seed * 31 + i * 7);
  a.MarkType = Type;
  a.Left = 20;
  a.Top = 10;
  a.Right = 100;
  a.Bottom = 50;
  a.Font.Height = -16;
  std::memset(a.Font.FaceName, 0, sizeof a.Font.FaceName);
  std::memcpy(a.Font.FaceName, "Serif", 5);
  return a;
}

// The resolution record of an image mark as written at 96 dpi.
Bytes Resolution96() { return Ints({1, 1000, 96, 96, 96, 96, 0, 0, 0, 0, 0, 0, 0, 0}); }

Bytes PointsData(std::initializer_list<TPoint> Points) {
  Bytes b = Ints({static_cast<Integer>(Points.size()), static_cast<Integer>(Points.size())});
  for (const TPoint& p : Points) b = Cat({b, Ints({p.X, p.Y})});
  return b;
}

Bytes TextData(Integer Scale, const std::string& Text) {
  return Cat({Ints({0, 1000, Scale, static_cast<Integer>(Text.size())}), Str(Text)});
}

// Packed DIB header of 40 bytes.
Bytes DIBHeader(Integer W, Integer H, Integer Bits, Integer Compression = 0, Integer ColorsUsed = 0) {
  Bytes h = Ints({40, W, H, 0, Compression, 0, 0, 0, ColorsUsed, 0});
  h[12] = 1;
  h[14] = static_cast<Byte>(Bits);
  return h;
}

// A 3 x 2 24-bit DIB as the writer makes it: rows bottom-up padded to 12
// bytes, then four spare bytes.
Bytes DIB24() {
  Bytes rows = {
      // bottom row: (0,1) (1,1) (2,1)
      1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,
      // top row: (0,0) (1,0) (2,0)
      10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  return Cat({DIBHeader(3, 2, 24), rows, Bytes(4, 0)});
}

// A 9 x 2 1-bit DIB: black and white table, rows of 4 bytes, spare bytes.
Bytes DIB1() {
  Bytes table = {0, 0, 0, 0, 255, 255, 255, 255};
  Bytes rows = {0xAA, 0x80, 0, 0, 0x0F, 0x00, 0, 0};
  return Cat({DIBHeader(9, 2, 1), table, rows, Bytes(4, 0)});
}

// One container holding every kind of mark, in the form the writer gives.
TagBuf EveryMark(Integer SizeWord) {
  TagBuf t(SizeWord);
  t.Defaults();
  t.Mark(Attrs(1, 1)).Named(6, "OiAnoDat", Resolution96()).Named(6, "OiDIB", DIB24()).GroupIndex(0);
  t.Mark(Attrs(3, 2)).Named(6, "OiAnoDat", PointsData({{80, 40}, {0, 0}})).GroupIndex(1);
  t.Mark(Attrs(4, 3)).Named(6, "OiAnoDat", PointsData({{0, 0}, {5, -7}, {80, 40}})).GroupIndex(2);
  t.Mark(Attrs(5, 4)).GroupIndex(3);
  t.Mark(Attrs(6, 5)).GroupIndex(4);
  t.Mark(Attrs(7, 6)).Named(6, "OiAnText", TextData(750, "two\r\nlines")).GroupIndex(5);
  t.Mark(Attrs(10, 7)).Named(6, "OiAnText", TextData(750, "note")).GroupIndex(6);
  t.Mark(Attrs(11, 8)).GroupIndex(7);
  t.Mark(Attrs(1, 9)).Named(6, "OiAnoDat", Resolution96()).Named(6, "OiDIB", DIB1()).GroupIndex(8);
  return t;
}

Bytes Save(TLKImagingAnnot& A) {
  Bytes out;
  Integer len = -1;
  A.SaveToStandardBuffer(out, len);
  EXPECT_EQ(static_cast<std::size_t>(len), out.size());
  return out;
}

bool Load(TLKImagingAnnot& A, const Bytes& B) {
  // A heap copy of exactly the given size, so any read past it is caught.
  std::unique_ptr<Byte[]> copy(new Byte[B.size() ? B.size() : 1]);
  if (!B.empty()) std::memcpy(copy.get(), B.data(), B.size());
  return A.LoadFromStandardBuffer(copy.get(), static_cast<Integer>(B.size()));
}

bool SameAttrs(const TLKAnnotMarkAttributes& A, const TLKAnnotMarkAttributes& B) {
  return std::memcmp(&A, &B, sizeof A) == 0;
}

// The tests run at a 96-dpi screen whatever the machine's.
class ImagingAnnotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SavedX = gSystemDPIX;
    SavedY = gSystemDPIY;
    gSystemDPIX = gSystemDPIY = 96;
  }
  void TearDown() override {
    gSystemDPIX = SavedX;
    gSystemDPIY = SavedY;
  }
  Integer SavedX = 0, SavedY = 0;
};

TEST_F(ImagingAnnotTest, EveryMarkTypeLoadsAndSavesTheSameBytes) {
  const Bytes tag = EveryMark(1).B;
  TLKImagingAnnot a;
  ASSERT_TRUE(Load(a, tag));
  ASSERT_EQ(a.GetObjectsCount(), 9);
  const Integer types[] = {1, 3, 4, 5, 6, 7, 10, 11, 1};
  for (Integer i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(SameAttrs(a.GetObject(i)->Attributes, Attrs(types[i], i + 1)));
  }

  TLKBitmap* pic = a.GetObject(0)->Picture.get();
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(pic->GetWidth(), 3);
  EXPECT_EQ(pic->GetHeight(), 2);
  EXPECT_EQ(pic->GetPixels(0, 0), (TRGB{10, 11, 12}));  // first stored row is the bottom one
  EXPECT_EQ(pic->GetPixels(2, 1), (TRGB{7, 8, 9}));
  EXPECT_EQ(a.GetObject(1)->Points, (std::vector<TPoint>{{80, 40}, {0, 0}}));
  EXPECT_EQ(a.GetObject(2)->Points, (std::vector<TPoint>{{0, 0}, {5, -7}, {80, 40}}));
  EXPECT_EQ(a.GetObject(5)->Text, "two\r\nlines");
  EXPECT_EQ(a.GetObject(6)->Text, "note");
  for (Integer i : {3, 4, 7}) {
    EXPECT_TRUE(a.GetObject(i)->Points.empty());
    EXPECT_TRUE(a.GetObject(i)->Text.empty());
    EXPECT_EQ(a.GetObject(i)->Picture, nullptr);
  }
  TLKBitmap* mono = a.GetObject(8)->Picture.get();
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->GetPixelFormat(), lk1g);
  EXPECT_TRUE(mono->GetPixels_lk1g(4, 1));  // 0xAA in the bottom row
  EXPECT_FALSE(mono->GetPixels_lk1g(1, 1));
  EXPECT_TRUE(mono->GetPixels_lk1g(8, 1));

  EXPECT_EQ(Save(a), tag);
}

TEST_F(ImagingAnnotTest, IntegerSizeWordZeroReadsTheLongSizeFields) {
  TLKImagingAnnot a;
  ASSERT_TRUE(Load(a, EveryMark(0).B));
  ASSERT_EQ(a.GetObjectsCount(), 9);
  EXPECT_EQ(a.GetObject(2)->Points.size(), 3u);
  EXPECT_EQ(a.GetObject(5)->Text, "two\r\nlines");
  ASSERT_NE(a.GetObject(0)->Picture, nullptr);
  // Written again it takes the form with integer-size word 1.
  EXPECT_EQ(Save(a), EveryMark(1).B);
}

TEST_F(ImagingAnnotTest, OneFilledRectangleSavesInTheTagLayout) {
  TLKImagingAnnot a;
  const TLKAnnotMarkAttributes rect = Attrs(6, 0);
  // A bare mark block, with none of the named blocks around it.
  ASSERT_TRUE(Load(a, TagBuf(1).Mark(rect).B));
  const Byte* attrs = reinterpret_cast<const Byte*>(&rect);
  auto name = [](const char* n) { Bytes b(8, 0); std::memcpy(b.data(), n, std::strlen(n)); return b; };
  const Bytes expected = Cat({Ints({0, 1}),
                              Ints({2, 12}), name("OiGroup"), Ints({2}), Str("0"),
                              Ints({2, 12}), name("OiIndex"), Ints({2}), Str("1"),
                              Ints({5, 164}), Bytes(attrs, attrs + 164),
                              Ints({6, 12}), name("OiGroup"), Ints({2}), Str("0"),
                              Ints({6, 12}), name("OiIndex"), Ints({2}), Str("0")});
  EXPECT_EQ(Save(a), expected);
}

TEST_F(ImagingAnnotTest, EmptyContainerAndEmptyBuffer) {
  TLKImagingAnnot a;
  Bytes out = {1, 2, 3};
  Integer len = 7;
  a.SaveToStandardBuffer(out, len);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(len, 0);
  EXPECT_TRUE(a.LoadFromStandardBuffer(out.data(), 0));
  EXPECT_EQ(a.GetObjectsCount(), 0);
  // Marks of type 0 or below are not created.
  EXPECT_TRUE(Load(a, TagBuf().Mark(Attrs(0, 1)).Mark(Attrs(-3, 2)).B));
  EXPECT_EQ(a.GetObjectsCount(), 0);
}

TEST_F(ImagingAnnotTest, TextHeightFollowsTheCreationScale) {
  struct Case {
    Integer Scale, ScreenDPI, Height, Expected;
  } cases[] = {
      {750, 96, -16, -16},     // made on this screen
      {1000, 96, -16, -12},    // made at 72 dpi
      {500, 96, -10, -15},     // made at 144 dpi
      {1000, 96, 6, 4},        // 4.5 rounds half to even
      {1000, 96, 2, 2},        // 1.5 rounds half to even
      {0, 96, -16, -16},       // a scale of 0 keeps the height
      {-750, 96, -16, 16},     // a negative scale flips it, computed as given
      {1, 96, std::numeric_limits<Integer>::max(), std::numeric_limits<Integer>::max()},  // clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Scale);
    gSystemDPIY = c.ScreenDPI;
    TLKAnnotMarkAttributes attrs = Attrs(7, 1);
    attrs.Font.Height = c.Height;
    TLKImagingAnnot a;
    ASSERT_TRUE(Load(a, TagBuf().Mark(attrs).Named(6, "OiAnText", TextData(c.Scale, "t")).B));
    ASSERT_EQ(a.GetObjectsCount(), 1);
    EXPECT_EQ(a.GetObject(0)->Attributes.Font.Height, c.Expected);
  }
}

TEST_F(ImagingAnnotTest, TextIsWrittenWithTheScreenCreationScale) {
  gSystemDPIY = 120;
  TLKImagingAnnot a;
  ASSERT_TRUE(Load(a, TagBuf().Mark(Attrs(9, 1)).Named(6, "OiAnText", TextData(600, "ab")).B));
  const Bytes saved = Save(a);
  const Bytes record = TextData(600, "ab");  // 72000 / 120
  EXPECT_NE(std::search(saved.begin(), saved.end(), record.begin(), record.end()), saved.end());
}

// Pictures in the DIB forms other programs write.
TEST_F(ImagingAnnotTest, PictureDIBForms) {
  const Bytes table16 = [] {
    Bytes t;
    for (int i = 0; i < 16; ++i) t = Cat({t, Bytes{Byte(i), Byte(i * 2), Byte(i * 3), 0}});
    return t;
  }();
  struct Case {
    const char* Name;
    Bytes DIB;
    TRGB TopLeft, TopRight, BottomLeft, BottomRight;
  } cases[] = {
      {"4 bit", Cat({DIBHeader(2, 2, 4), table16, Bytes{0x12, 0, 0, 0, 0x3F, 0, 0, 0}}),
       {3, 6, 9}, {15, 30, 45}, {1, 2, 3}, {2, 4, 6}},
      // Three colours used; index 7 lies past the table and reads black.
      {"8 bit short table", Cat({DIBHeader(2, 2, 8, 0, 3), Bytes{1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0},
                                 Bytes{0, 1, 0, 0, 2, 7, 0, 0}}),
       {3, 3, 3}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}},
      {"16 bit 5-5-5", Cat({DIBHeader(2, 2, 16), Ints({0x7FFF001F, 0x00007C00})}),
       {0, 0, 248}, {0, 0, 0}, {248, 0, 0}, {248, 248, 248}},
      {"16 bit 5-6-5 fields", Cat({DIBHeader(2, 2, 16, 3), Ints({0xF800, 0x07E0, 0x001F}),
                                   Ints({static_cast<Integer>(0x07E0F800), 0x0000001F})}),
       {248, 0, 0}, {0, 0, 0}, {0, 0, 248}, {0, 252, 0}},
      {"32 bit", Cat({DIBHeader(2, 2, 32), Bytes{1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99}}),
       {7, 8, 9}, {10, 11, 12}, {1, 2, 3}, {4, 5, 6}},
      {"24 bit top-down", Cat({DIBHeader(2, -2, 24), Bytes{1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}}),
       {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TLKImagingAnnot a;
    ASSERT_TRUE(Load(a, TagBuf().Mark(Attrs(1, 1)).Named(6, "OiDIB", c.DIB).B));
    ASSERT_EQ(a.GetObjectsCount(), 1);
    TLKBitmap* p = a.GetObject(0)->Picture.get();
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->GetWidth(), 2);
    ASSERT_EQ(p->GetHeight(), 2);
    EXPECT_EQ(p->GetPixels(0, 0), c.TopLeft);
    EXPECT_EQ(p->GetPixels(1, 0), c.TopRight);
    EXPECT_EQ(p->GetPixels(0, 1), c.BottomLeft);
    EXPECT_EQ(p->GetPixels(1, 1), c.BottomRight);
  }
}

// Pictures of every pixel format are written so that they read back with
// the same colours.
TEST_F(ImagingAnnotTest, PicturesOfEveryFormatComeBack) {
  for (TLKPixelFormat f : {lk1g, lk8p, lk8g, lk24RGB, lk16g, lk48RGB}) {
    SCOPED_TRACE(static_cast<int>(f));
    TLKImagingAnnot a;
    ASSERT_TRUE(Load(a, TagBuf().Mark(Attrs(1, 1)).B));
    auto pic = std::make_unique<TLKBitmap>(5, 3, f);
    for (Integer y = 0; y < 3; ++y)
      for (Integer x = 0; x < 5; ++x) {
        const Integer v = (x * 53 + y * 31) % 256;
        switch (f) {
          case lk1g: pic->SetPixels_lk1g(x, y, v % 2); break;
          case lk8p: pic->SetPixels_lk8(x, y, static_cast<Byte>(v % 4)); break;
          case lk8g: pic->SetPixels_lk8(x, y, static_cast<Byte>(v)); break;
          case lk16g: pic->SetPixels_lk16g(x, y, static_cast<Word>(v * 257)); break;
          case lk48RGB: pic->SetPixels_lk48RGB(x, y, TRGB48{Word(v * 256), Word(v * 100), Word(7 * 256)}); break;
          default: pic->SetPixels_lk24RGB(x, y, TRGB{Byte(v), Byte(255 - v), Byte(y)}); break;
        }
      }
    if (f == lk8p)
      for (Integer i = 0; i < 4; ++i) pic->SetPalette(i, TRGB{Byte(i * 60), Byte(200 - i), Byte(i)});
    TLKImagingObject* o = a.GetObject(0);
    o->Picture = std::move(pic);

    TLKImagingAnnot back;
    ASSERT_TRUE(Load(back, Save(a)));
    TLKBitmap* got = back.GetObject(0)->Picture.get();
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->GetWidth(), 5);
    ASSERT_EQ(got->GetHeight(), 3);
    for (Integer y = 0; y < 3; ++y)
      for (Integer x = 0; x < 5; ++x) EXPECT_EQ(got->GetPixels(x, y), o->Picture->GetPixels(x, y)) << x << "," << y;
  }
}

// Damaged and hostile tags: nothing is read past the end, nothing is
// allocated beyond what the tag holds, and the marks before the damage stay.
TEST_F(ImagingAnnotTest, HostileBuffersAreRefusedCleanly) {
  const TLKAnnotMarkAttributes line = Attrs(3, 1);
  const TLKAnnotMarkAttributes text = Attrs(7, 2);
  const Bytes good = TagBuf().Mark(Attrs(5, 3)).B;  // one intact mark first
  auto after = [&](const Bytes& Tail) { return Cat({good, Tail}); };
  const Bytes pointsHead = Cat({Ints({6, 12}), Bytes{'O', 'i', 'A', 'n', 'o', 'D', 'a', 't'}});
  struct Case {
    const char* Name;
    Bytes Tag;
    bool Intact;
    Integer Count;
  } cases[] = {
      {"header cut short", Bytes{0, 0, 0, 0, 1, 0, 0}, false, 0},
      {"block header cut short", after(Ints({6})), false, 1},
      {"named block header cut short", after(Cat({pointsHead, Bytes{1, 0}})), false, 1},
      {"data size past the end", after(Cat({pointsHead, Ints({1000}), Bytes(8, 0)})), false, 1},
      {"negative data size", after(Cat({pointsHead, Ints({-8}), Bytes(8, 0)})), false, 1},
      {"huge data size", after(Cat({pointsHead, Ints({0x7FFFFFFF})})), false, 1},
      {"attributes cut short", after(Cat({Ints({5, 164}), Bytes(100, 1)})), false, 1},
      {"huge point count", TagBuf().Mark(line).Named(6, "OiAnoDat", Ints({0x7FFFFFFF, 0x7FFFFFFF, 1, 2})).B, false, 1},
      {"negative point count", TagBuf().Mark(line).Named(6, "OiAnoDat", Ints({-1, -1, 1, 2})).B, false, 1},
      {"point record cut short", TagBuf().Mark(line).Named(6, "OiAnoDat", Ints({2})).B, false, 1},
      {"text length past the data", TagBuf().Mark(text).Named(6, "OiAnText", Ints({0, 1000, 750, 500, 0})).B,
       false, 1},
      {"negative text length", TagBuf().Mark(text).Named(6, "OiAnText", Ints({0, 1000, 750, -5, 0})).B, false, 1},
      {"text record cut short", TagBuf().Mark(text).Named(6, "OiAnText", Ints({0, 1000})).B, false, 1},
      {"trailing bytes", after(Bytes{1, 2, 3}), false, 1},
      // Unknown block types pass over their type and length word only.
      {"unknown block types", after(Ints({99, 0x7FFFFFFF, -1, -1})), true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TLKImagingAnnot a;
    EXPECT_EQ(Load(a, c.Tag), c.Intact);
    ASSERT_EQ(a.GetObjectsCount(), c.Count);
    if (c.Count) {
      EXPECT_TRUE(a.GetObject(0)->Points.empty());
      EXPECT_TRUE(a.GetObject(0)->Text.empty());
    }
  }
  TLKImagingAnnot a;
  EXPECT_FALSE(a.LoadFromStandardBuffer(good.data(), -5));
  EXPECT_EQ(a.GetObjectsCount(), 0);
}

// A dropped block spoils only itself: the marks after it still load.
TEST_F(ImagingAnnotTest, DroppedBlockKeepsTheMarksAfterIt) {
  TagBuf t;
  t.Mark(Attrs(4, 1)).Named(6, "OiAnoDat", Ints({9, 9, 1, 2}));  // nine points promised, one given
  t.Mark(Attrs(3, 2)).Named(6, "OiAnoDat", PointsData({{1, 2}, {3, 4}}));
  TLKImagingAnnot a;
  EXPECT_FALSE(Load(a, t.B));
  ASSERT_EQ(a.GetObjectsCount(), 2);
  EXPECT_TRUE(a.GetObject(0)->Points.empty());
  EXPECT_EQ(a.GetObject(1)->Points, (std::vector<TPoint>{{1, 2}, {3, 4}}));
}

TEST_F(ImagingAnnotTest, BadPicturesGiveNoPicture) {
  const Bytes table = {0, 0, 0, 0, 255, 255, 255, 255};
  const Bytes cases[] = {
      Cat({DIBHeader(0x7FFFFFFF, 0x7FFFFFFF, 24), Bytes(16, 0)}),          // huge size, no rows
      Cat({DIBHeader(0x7FFFFFFF, 1, 32), Bytes(16, 0)}),                   // one huge row
      Cat({DIBHeader(4, std::numeric_limits<Integer>::min(), 24), Bytes(64, 0)}),  // height that cannot be negated
      Cat({DIBHeader(-4, 2, 24), Bytes(64, 0)}),                            // negative width
      Cat({DIBHeader(2, 2, 8, 0, 300), Bytes(64, 0)}),                      // table larger than 256 entries
      Cat({DIBHeader(2, 2, 8, 0, -1), Bytes(64, 0)}),                       // negative table size
      Cat({DIBHeader(8, 2, 1), table, Bytes{0xFF}}),                        // rows missing
      Cat({DIBHeader(2, 2, 8, 1), Bytes(1024 + 64, 0)}),                    // run-length coded
      Cat({DIBHeader(2, 2, 12), Bytes(64, 0)}),                             // no such bit count
      Cat({Ints({1000}), DIBHeader(2, 2, 24)}),                             // header size past the data
      Bytes(20, 0),                                                         // shorter than a header
  };
  int n = 0;
  for (const Bytes& dib : cases) {
    SCOPED_TRACE(n++);
    TLKImagingAnnot a;
    EXPECT_TRUE(Load(a, TagBuf().Mark(Attrs(1, 1)).Named(6, "OiDIB", dib).B));
    ASSERT_EQ(a.GetObjectsCount(), 1);
    EXPECT_EQ(a.GetObject(0)->Picture, nullptr);
  }
}

// Every prefix of a complete tag loads without reading past its end.
TEST_F(ImagingAnnotTest, EveryTruncationLoadsSafely) {
  const Bytes full = EveryMark(0).B;
  for (std::size_t n = 0; n < full.size(); ++n) {
    TLKImagingAnnot a;
    Load(a, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
    ASSERT_LE(a.GetObjectsCount(), 9) << n;
  }
}

TEST_F(ImagingAnnotTest, AssignMakesDeepCopies) {
  TLKImagingAnnot source;
  ASSERT_TRUE(Load(source, EveryMark(1).B));
  TLKImagingAnnot copy;
  ASSERT_TRUE(Load(copy, TagBuf().Mark(Attrs(5, 1)).Mark(Attrs(6, 2)).B));
  copy.Assign(&source);
  ASSERT_EQ(copy.GetObjectsCount(), 9);
  EXPECT_EQ(Save(copy), Save(source));
  EXPECT_NE(copy.GetObject(0)->Picture.get(), source.GetObject(0)->Picture.get());

  // Changing or clearing the source leaves the copy alone.
  source.GetObject(1)->Points.clear();
  source.GetObject(5)->Text = "changed";
  source.GetObject(0)->Picture->SetPixels_lk24RGB(0, 0, TRGB{0, 0, 0});
  EXPECT_EQ(copy.GetObject(1)->Points.size(), 2u);
  EXPECT_EQ(copy.GetObject(5)->Text, "two\r\nlines");
  EXPECT_EQ(copy.GetObject(0)->Picture->GetPixels(0, 0), (TRGB{10, 11, 12}));
  source.Clear();
  EXPECT_EQ(source.GetObjectsCount(), 0);
  EXPECT_EQ(copy.GetObjectsCount(), 9);

  EXPECT_THROW(copy.GetObject(9), EListError);
  EXPECT_THROW(copy.GetObject(-1), EListError);
}

TEST_F(ImagingAnnotTest, ParameterRecordOwnsItsAnnotations) {
  TIOParamsVals p;
  EXPECT_EQ(p.ImagingAnnot, nullptr);
  TLKImagingAnnot* a = p.GetImagingAnnot();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetParent(), &p);
  EXPECT_EQ(p.GetImagingAnnot(), a);
  ASSERT_TRUE(Load(*a, EveryMark(1).B));

  // Assign copies them, with the target as parent.
  TIOParamsVals q;
  q.Assign(&p);
  ASSERT_NE(q.ImagingAnnot, nullptr);
  EXPECT_EQ(q.ImagingAnnot->GetParent(), &q);
  EXPECT_EQ(Save(*q.ImagingAnnot), Save(*a));
  // Assign from a record without annotations frees them.
  TIOParamsVals none;
  q.Assign(&none);
  EXPECT_EQ(q.ImagingAnnot, nullptr);

  // ResetInfo and SetDefaultParams free them.
  p.ResetInfo();
  EXPECT_EQ(p.ImagingAnnot, nullptr);
  p.GetImagingAnnot();
  p.SetDefaultParams();
  EXPECT_EQ(p.ImagingAnnot, nullptr);
}

TEST_F(ImagingAnnotTest, ParameterStreamMakesTheContainerButCarriesNothing) {
  TIOParamsVals with;
  ASSERT_TRUE(Load(*with.GetImagingAnnot(), EveryMark(1).B));
  TIOParamsVals without;
  TMemoryStream s1, s2;
  with.SaveToStream(&s1);
  without.SaveToStream(&s2);
  EXPECT_NE(without.ImagingAnnot, nullptr);  // asked for by the writer
  ASSERT_EQ(s1.GetSize(), s2.GetSize());
  EXPECT_EQ(std::memcmp(s1.GetMemory(), s2.GetMemory(), static_cast<std::size_t>(s1.GetSize())), 0);

  TIOParamsVals read;
  s1.SetPosition(0);
  read.LoadFromStream(&s1);
  ASSERT_NE(read.ImagingAnnot, nullptr);
  EXPECT_EQ(read.ImagingAnnot->GetObjectsCount(), 0);
}

}  // namespace
