// The metafile player: text, bitmaps, clipping, transforms, curves and
// paths of both kinds, drawn from files written record by record, and
// records that lie about their contents.
#include <gtest/gtest.h>

#include <QImage>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "common/metafile_kit.h"
#include "platform/metafile.h"

using namespace mfkit;

namespace {

struct Colour {
  int R, G, B;
  bool operator==(const Colour&) const = default;
};
std::ostream& operator<<(std::ostream& O, const Colour& C) { return O << "(" << C.R << "," << C.G << "," << C.B << ")"; }

constexpr Colour kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

// A metafile played at its own size onto white.
struct Picture {
  Integer W = 0, H = 0, Stride = 0;
  std::vector<Byte> Px;
  Colour At(int X, int Y) const {
    const Byte* p = Px.data() + size_t(Y) * size_t(Stride) + size_t(X) * 3;
    return {p[2], p[1], p[0]};
  }
  // The box of pixels of colour C (empty when none): left, top, right, bottom inclusive.
  struct Box {
    int L = 1 << 30, T = 1 << 30, R = -1, B = -1;
    bool Empty() const { return R < 0; }
    int Width() const { return R - L + 1; }
    int Height() const { return B - T + 1; }
  };
  Box Ink(Colour C) const {
    Box b;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (At(x, y) == C) b.L = std::min(b.L, x), b.T = std::min(b.T, y), b.R = std::max(b.R, x), b.B = std::max(b.B, y);
    return b;
  }
};

Picture Play(const std::string& Bytes) {
  TMetafile m;
  Picture p;
  if (!m.LoadFromBytes(std::vector<Byte>(Bytes.begin(), Bytes.end()))) {
    ADD_FAILURE() << m.Error();
    return p;
  }
  p.W = m.Width(), p.H = m.Height(), p.Stride = (p.W * 3 + 3) & ~3;
  p.Px.assign(size_t(p.Stride) * size_t(p.H), 0xFF);
  m.Play(p.Px.data(), p.W, p.H, p.Stride);
  return p;
}

// Records that make a solid brush of colour C current and the pen null.
void EmfFill(Emf& E, Cardinal C, Cardinal Handle = 1) {
  E.Rec(39, {Handle, 0, C, 0});
  E.Rec(37, {Handle});
  E.Rec(37, {0x80000008u});  // the null pen
}
void WmfFill(Wmf& W, Cardinal C) {
  W.Rec(0x02FC, Le16({0}) + Le32({C}) + Le16({0}));
  W.Rec(0x012D, {0});
  W.Rec(0x02FA, {5, 0, 0, 0, 0});
  W.Rec(0x012D, {1});
}

// --- text ---------------------------------------------------------------------

// A 16-bit metafile of 200 x 100 units with a red font 20 units high.
Wmf RedTextWmf() {
  Wmf w;
  w.Rec(0x020B, {0, 0});
  w.Rec(0x020C, {100, 200});
  w.Rec(0x02FB, WmfFont(-20, 0, 400, "DejaVu Sans"));
  w.Rec(0x012D, {0});
  w.Rec(0x0209, Le32({Rgb(255, 0, 0)}));
  return w;
}

TEST(MetafileText, AlignmentPlacesTheInkAroundTheAnchor) {
  // Anchor (100, 50); "HHHH" in red, 20 pixels high, no background.
  struct Row {
    const char* Name;
    int Align;
    int (*X)(const Picture::Box&);  // the ink's edge or middle that should sit at x = 100
    int (*Y)(const Picture::Box&);  // the edge that should sit near y = 50
    int YSlack;
  };
  const Row rows[] = {
      {"left top", 0, [](const Picture::Box& b) { return b.L; }, [](const Picture::Box& b) { return b.T; }, 8},
      {"centre baseline", 6 | 24, [](const Picture::Box& b) { return (b.L + b.R) / 2; },
       [](const Picture::Box& b) { return b.B + 1; }, 1},
      {"right bottom", 2 | 8, [](const Picture::Box& b) { return b.R + 1; },
       [](const Picture::Box& b) { return b.B + 1; }, 8},
  };
  for (const Row& r : rows) {
    for (bool enhanced : {true, false}) {
      SCOPED_TRACE(std::string(r.Name) + (enhanced ? " emf" : " wmf"));
      std::string bytes;
      if (enhanced) {
        Emf e;
        e.Rec(82, EmfFont(1, -20, 0, 400, u"DejaVu Sans"));
        e.Rec(37, {1});
        e.Rec(24, {Rgb(255, 0, 0)});
        e.Rec(18, {1});
        e.Rec(22, {Cardinal(r.Align)});
        e.Rec(84, EmfText(100, 50, u"HHHH"));
        bytes = e.Bytes(200, 100);
      } else {
        Wmf w = RedTextWmf();
        w.Rec(0x0102, {1});
        w.Rec(0x012E, {r.Align});
        w.Rec(0x0521, Le16({4}) + "HHHH" + Le16({50, 100}));
        bytes = w.Bytes(200, 100);
      }
      const Picture p = Play(bytes);
      const Picture::Box ink = p.Ink(kRed);
      ASSERT_FALSE(ink.Empty());
      EXPECT_GT(ink.Width(), 30);
      EXPECT_GT(ink.Height(), 10);
      EXPECT_LE(ink.Height(), 20);
      EXPECT_NEAR(r.X(ink), 100, 4);
      EXPECT_GE(r.Y(ink), 50 - (r.Align & 8 ? r.YSlack : 0));
      EXPECT_LE(r.Y(ink), 50 + (r.Align & 8 ? 1 : r.YSlack));
      // Aliased, and no background behind transparent text.
      int other = 0;
      for (int y = 0; y < p.H; ++y)
        for (int x = 0; x < p.W; ++x) other += p.At(x, y) != kRed && p.At(x, y) != kWhite;
      EXPECT_EQ(other, 0);
    }
  }
}

TEST(MetafileText, EscapementAdvancesAndBackground) {
  // Turned a quarter counter-clockwise: the text climbs from the anchor.
  Emf e;
  e.Rec(82, EmfFont(1, -20, 900, 700, u"DejaVu Sans"));
  e.Rec(37, {1});
  e.Rec(24, {Rgb(255, 0, 0)});
  e.Rec(18, {1});
  e.Rec(84, EmfText(50, 150, u"HHHHH"));
  Picture p = Play(e.Bytes(100, 200));
  Picture::Box ink = p.Ink(kRed);
  ASSERT_FALSE(ink.Empty());
  EXPECT_GT(ink.Height(), 2 * ink.Width());
  EXPECT_LE(ink.B, 151);
  EXPECT_GE(ink.L, 49);

  // Given advances spread the characters; an opaque background fills
  // behind them in the background colour.
  Wmf w = RedTextWmf();
  w.Rec(0x0201, Le32({Rgb(0, 255, 0)}));
  w.Rec(0x0102, {2});
  w.Rec(0x0A32, Le16({20, 10, 2, 0}) + "II" + Le16({80, 80}));
  p = Play(w.Bytes(200, 100));
  ink = p.Ink(kRed);
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.Width(), 80);
  const Picture::Box back = p.Ink(kGreen);
  EXPECT_GE(back.Width(), 150);
  EXPECT_LE(back.L, 11);
}

// --- bitmaps ------------------------------------------------------------------

TEST(MetafileBitmap, EveryBitmapRecordDrawsTheRightWayUp) {
  // A 20 x 20 bitmap: red top left, green top right, blue bottom left,
  // black bottom right; drawn at (10, 10) at its size or doubled.
  auto quad = [](int X, int Y) { return X < 10 ? (Y < 10 ? Rgb(255, 0, 0) : Rgb(0, 0, 255)) : (Y < 10 ? Rgb(0, 255, 0) : 0u); };
  const std::string dib24 = Dib(20, 20, quad);
  const std::string dib8 =
      Dib(20, 20, [&](int X, int Y) { return X < 10 ? (Y < 10 ? 0u : 2u) : (Y < 10 ? 1u : 3u); }, 8,
          {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), 0});
  const Cardinal info24 = 40;
  // The same quadrants run-coded at 8 and 4 bits: the left half of each row
  // as a repeated run, the right half as literal pixels, then end of line.
  auto rle = [](int Bits) {
    std::string d;
    for (int y = 19; y >= 0; --y) {
      const int left = y < 10 ? 0 : 2, right = y < 10 ? 1 : 3;
      d += char(10), d += char(Bits == 8 ? left : left << 4 | left);
      d += char(0), d += char(10);
      if (Bits == 8) d += std::string(10, char(right)) + std::string(1, '\0');
      else d += std::string(5, char(right << 4 | right)) + std::string(1, '\0');
      d += char(0), d += char(0);
    }
    d += char(0), d += char(1);
    std::string s = Le32({40, 20, 20}) + Le16({1, Bits}) + Le32({Cardinal(Bits == 8 ? 1 : 2), Cardinal(d.size()), 0, 0, 4, 0});
    for (Cardinal c : {Rgb(0, 0, 255), Rgb(0, 255, 0), Rgb(255, 0, 0), 0u}) s += Le32({c});  // stored blue first
    return s + d;
  };
  struct Row {
    const char* Name;
    std::string Bytes;
    int Scale;
    bool Mirrored = false;
  };
  std::vector<Row> rows;
  {
    Emf e;
    e.Rec(81, EmfStretchDib(10, 10, 40, 40, dib24, 20, 20));
    rows.push_back({"emf stretchdibits", e.Bytes(60, 60), 2});
  }
  {
    Emf e;
    e.Rec(81, EmfStretchDib(10, 10, 40, 40, dib8, 20, 20));
    rows.push_back({"emf stretchdibits, 8 bits", e.Bytes(60, 60), 2});
  }
  for (int bits : {8, 4}) {
    Emf e;
    e.Rec(81, EmfStretchDib(10, 10, 40, 40, rle(bits), 20, 20));
    rows.push_back({bits == 8 ? "emf stretchdibits, run-coded 8 bits" : "emf stretchdibits, run-coded 4 bits",
                    e.Bytes(60, 60), 2});
  }
  {
    Emf e;
    e.Rec(81, EmfStretchDib(50, 10, -40, 40, dib24, 20, 20));
    rows.push_back({"emf stretchdibits, mirrored", e.Bytes(60, 60), 2, true});
  }
  for (bool stretch : {false, true}) {
    Emf e;
    const Cardinal fixed = 8 + (stretch ? 100 : 92);
    std::string p = Le32({0, 0, 0, 0, 10, 10, 20, 20, 0x00CC0020, 0, 0}) + Le32({0x3F800000, 0, 0, 0x3F800000, 0, 0}) +
                    Le32({0, 0, fixed, info24, fixed + info24, Cardinal(dib24.size() - info24)});
    if (stretch) p += Le32({20, 20});
    e.Rec(stretch ? 77 : 76, p + dib24);
    rows.push_back({stretch ? "emf stretchblt" : "emf bitblt", e.Bytes(60, 60), 1});
  }
  {
    Emf e;
    const Cardinal fixed = 8 + 68;
    e.Rec(80, Le32({0, 0, 0, 0, 10, 10, 0, 0, 20, 20, fixed, info24, fixed + info24,
                    Cardinal(dib24.size() - info24), 0, 0, 20}) +
                  dib24);
    rows.push_back({"emf setdibitstodevice", e.Bytes(60, 60), 1});
  }
  auto wmf = [](Word Fn, const std::string& Params) {
    Wmf w;
    w.Rec(0x020B, {0, 0});
    w.Rec(0x020C, {60, 60});
    w.Rec(Fn, Params);
    return w.Bytes(60, 60);
  };
  const std::string rop = Le32({0x00CC0020});
  rows.push_back({"wmf dibstretchblt", wmf(0x0B41, rop + Le16({20, 20, 0, 0, 40, 40, 10, 10}) + dib24), 2});
  rows.push_back({"wmf stretchdib", wmf(0x0F43, rop + Le16({0, 20, 20, 0, 0, 40, 40, 10, 10}) + dib8), 2});
  rows.push_back({"wmf dibbitblt", wmf(0x0940, rop + Le16({0, 0, 20, 20, 10, 10}) + dib24), 1});
  rows.push_back({"wmf setdibtodev", wmf(0x0D33, Le16({0, 20, 0, 0, 0, 20, 20, 10, 10}) + dib24), 1});
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    const Picture p = Play(r.Bytes);
    const int q = 5 * r.Scale, o = 10;  // a quarter of the drawn side, and the offset
    const Colour left = r.Mirrored ? kGreen : kRed, right = r.Mirrored ? kRed : kGreen;
    EXPECT_EQ(p.At(o + q, o + q), left);
    EXPECT_EQ(p.At(o + 3 * q, o + q), right);
    EXPECT_EQ(p.At(o + q, o + 3 * q), r.Mirrored ? kBlack : kBlue);
    EXPECT_EQ(p.At(o + 3 * q, o + 3 * q), r.Mirrored ? kBlue : kBlack);
    EXPECT_EQ(p.At(o - 2, o - 2), kWhite);
    EXPECT_EQ(p.At(o + 4 * q + 1, o + 4 * q + 1), kWhite);
  }
}

// Lines and fills mix with what is under them by the binary raster
// operation; a red rectangle over white, once or twice.
TEST(MetafileBitmap, BinaryRasterOperationsOfFills) {
  struct Case {
    Cardinal Mode;
    int Times;
    Colour Want;
  };
  const Case cases[] = {{13, 1, kRed},   {7, 1, {0, 255, 255}}, {7, 2, kWhite},         {11, 1, kWhite},
                        {1, 1, kBlack},  {16, 1, kWhite},       {6, 1, kBlack},         {6, 2, kWhite},
                        {9, 1, kRed},    {4, 1, {0, 255, 255}}, {10, 1, kRed},          {15, 1, kWhite},
                        {99, 1, kRed}};  // an unknown mode leaves the copy
  for (const Case& c : cases) {
    for (bool enhanced : {true, false}) {
      SCOPED_TRACE(testing::Message() << "mode " << c.Mode << " x" << c.Times << (enhanced ? " emf" : " wmf"));
      std::string bytes;
      if (enhanced) {
        Emf e;
        EmfFill(e, Rgb(255, 0, 0));
        e.Rec(20, {c.Mode});
        for (int i = 0; i < c.Times; ++i) e.Rec(43, {10, 10, 30, 30});
        bytes = e.Bytes(40, 40);
      } else {
        Wmf w;
        w.Rec(0x020B, {0, 0});
        w.Rec(0x020C, {40, 40});
        WmfFill(w, Rgb(255, 0, 0));
        w.Rec(0x0104, {int(c.Mode)});
        for (int i = 0; i < c.Times; ++i) w.Rec(0x041B, {30, 30, 10, 10});
        bytes = w.Bytes(40, 40);
      }
      const Picture p = Play(bytes);
      EXPECT_EQ(p.At(20, 20), c.Want);
      EXPECT_EQ(p.At(5, 5), kWhite);
    }
  }
}

// --- clipping, saved states, transforms ---------------------------------------

TEST(MetafileState, ClippingSavedStatesAndTransforms) {
  // Each row sets something up, then a blue rectangle is drawn over
  // (0, 0)-(40, 40); the points say where blue must and must not land.
  struct Row {
    const char* Name;
    std::function<void(Emf&)> Setup;
    std::vector<std::pair<int, int>> Blue, White;
  };
  const float two = 2.0f;
  Cardinal twoBits;
  std::memcpy(&twoBits, &two, 4);
  const std::vector<Row> rows = {
      {"intersect", [](Emf& e) { e.Rec(30, {10, 10, 30, 30}); }, {{20, 20}, {11, 11}}, {{5, 5}, {35, 35}}},
      {"exclude", [](Emf& e) { e.Rec(29, {10, 10, 30, 30}); }, {{5, 5}, {35, 20}}, {{20, 20}}},
      {"saved and restored",
       [](Emf& e) {
         e.Rec(33, std::initializer_list<Cardinal>{});
         e.Rec(30, {10, 10, 30, 30});
         e.Rec(34, {Cardinal(-1)});
       },
       {{5, 5}, {20, 20}},
       {}},
      {"region",
       [](Emf& e) { e.Rec(75, Le32({64, 5}) + Le32({32, 1, 2, 32, 0, 0, 40, 40}) + Le32({0, 0, 10, 10, 30, 30, 40, 40})); },
       {{5, 5}, {35, 35}},
       {{20, 20}, {5, 35}}},
      {"path",
       [](Emf& e) {
         e.Rec(59, std::initializer_list<Cardinal>{});
         e.Rec(43, {20, 0, 40, 40});
         e.Rec(60, std::initializer_list<Cardinal>{});
         e.Rec(67, {1});
       },
       {{30, 20}},
       {{10, 20}}},
      {"world transform",
       [&](Emf& e) { e.Rec(35, {twoBits, 0, 0, twoBits, 0x41200000 /* 10 */, 0}); },  // x2, then 10 right
       {{15, 15}, {89, 79}},
       {{5, 5}, {95, 85}}},
      {"anisotropic mapping",
       [](Emf& e) {
         e.Rec(17, {8});
         e.Rec(9, {40, 40});
         e.Rec(11, {20, 80});  // half as wide, twice as high
       },
       {{5, 70}, {19, 79}},
       {{25, 10}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    Emf e;
    r.Setup(e);
    EmfFill(e, Rgb(0, 0, 255));
    e.Rec(43, {0, 0, 40, 40});
    const Picture p = Play(e.Bytes(100, 90));
    for (auto [x, y] : r.Blue) EXPECT_EQ(p.At(x, y), kBlue) << x << "," << y;
    for (auto [x, y] : r.White) EXPECT_EQ(p.At(x, y), kWhite) << x << "," << y;
  }
}

// --- curves and paths ---------------------------------------------------------

TEST(MetafileCurves, ArcsPiesChordsBeziersAndPaths) {
  // Pies and chords of the box (0, 0)-(40, 40) from the right to the top.
  struct Row {
    const char* Name;
    std::string Bytes;
    std::vector<std::pair<int, int>> Red, White;
  };
  std::vector<Row> rows;
  for (Cardinal type : {47u, 46u}) {
    Emf e;
    EmfFill(e, Rgb(255, 0, 0));
    e.Rec(type, {0, 0, 40, 40, 40, 20, 20, 0});
    rows.push_back({type == 47 ? "emf pie" : "emf chord", e.Bytes(50, 50),
                    type == 47 ? std::vector<std::pair<int, int>>{{28, 12}, {22, 18}} : std::vector<std::pair<int, int>>{{33, 7}},
                    {{12, 28}, {12, 12}, {28, 28}}});
  }
  {
    Emf e;
    EmfFill(e, Rgb(255, 0, 0));
    e.Rec(57, {2});  // clockwise: all but the top right
    e.Rec(47, {0, 0, 40, 40, 40, 20, 20, 0});
    rows.push_back({"emf pie, clockwise", e.Bytes(50, 50), {{12, 28}, {12, 12}, {28, 28}}, {{30, 10}}});
  }
  {
    Wmf w;
    w.Rec(0x020B, {0, 0});
    w.Rec(0x020C, {50, 50});
    WmfFill(w, Rgb(255, 0, 0));
    w.Rec(0x081A, {0, 20, 20, 40, 40, 40, 0, 0});  // end, start, bottom, right, top, left
    rows.push_back({"wmf pie", w.Bytes(50, 50), {{28, 12}}, {{12, 28}, {12, 12}}});
  }
  {
    // A path of a triangle made of lines and closed, filled.
    Emf e;
    EmfFill(e, Rgb(255, 0, 0));
    e.Rec(59, std::initializer_list<Cardinal>{});
    e.Rec(27, {0, 0});
    e.Rec(54, {40, 0});
    e.Rec(54, {0, 40});
    e.Rec(61, std::initializer_list<Cardinal>{});
    e.Rec(60, std::initializer_list<Cardinal>{});
    e.Rec(62, {0, 0, 40, 40});
    rows.push_back({"filled path", e.Bytes(50, 50), {{5, 5}, {15, 15}}, {{30, 30}}});
  }
  {
    // Nothing drawn while the path is open; an aborted path draws nothing.
    Emf e;
    EmfFill(e, Rgb(255, 0, 0));
    e.Rec(59, std::initializer_list<Cardinal>{});
    e.Rec(43, {0, 0, 40, 40});
    e.Rec(68, std::initializer_list<Cardinal>{});
    rows.push_back({"aborted path", e.Bytes(50, 50), {}, {{20, 20}}});
  }
  {
    // A Bézier bulging upward from (0, 40) to (40, 40), drawn with a red pen
    // three pixels wide: it passes its ends and its top near y = 10.
    Emf e;
    e.Rec(38, {1, 0, 3, 0, Rgb(255, 0, 0)});
    e.Rec(37, {1});
    e.Rec(2, {0, 0, 0, 0, 4, 2, 40, 0, 0, 38, 0, 38, 40});
    rows.push_back({"bezier", e.Bytes(50, 50), {{2, 39}, {38, 39}, {20, 10}}, {{20, 25}, {20, 5}}});
  }
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    const Picture p = Play(r.Bytes);
    for (auto [x, y] : r.Red) EXPECT_EQ(p.At(x, y), kRed) << x << "," << y;
    for (auto [x, y] : r.White) EXPECT_EQ(p.At(x, y), kWhite) << x << "," << y;
  }
}

// --- records that lie ---------------------------------------------------------

TEST(MetafileHostile, LyingRecordsAreSkippedAndTheRestStaysDrawn) {
  // Each row's record comes after a blue rectangle at (0, 0)-(10, 10) and
  // before a red one at (20, 20)-(30, 30): both must come out.
  const Cardinal nan = 0x7FC00000, huge = 0x7F000000;
  const std::string dib = Dib(2, 2, [](int, int) { return 0u; });
  std::string bigDib = dib;
  bigDib.replace(4, 8, Le32({30000, 30000}));  // 30000 x 30000 claimed on a few bytes
  struct Row {
    const char* Name;
    Cardinal Type;
    std::string Params;
    Cardinal Then = 0;  // a record after it (text, when it sets a font)
  };
  const std::vector<Row> rows = {
      {"text count past the record", 84, EmfText(5, 5, u"abc").replace(36, 4, Le32({0x7FFFFFFF}))},
      {"text offset past the record", 84, EmfText(5, 5, u"abc").replace(40, 4, Le32({0xFFFFFFF0}))},
      {"advances past the record", 84, EmfText(35, 35, u"abc", {1, 2, 3}).replace(64, 4, Le32({0x7FFFFFF0}))},
      {"a font of 2^31 pixels", 82, EmfFont(9, -0x7FFFFFFF, 0, 400, u"x"), 84},
      {"a font of 2^31 pixels, cell height", 82, EmfFont(9, 0x7FFFFFFF, 1234, 400, u"x"), 84},
      {"bitmap bigger than its bytes", 81, EmfStretchDib(0, 0, 10, 10, bigDib, 2, 2)},
      {"bitmap offsets past the record", 81, EmfStretchDib(0, 0, 10, 10, dib, 2, 2).replace(40, 4, Le32({0xFFFFFF00}))},
      {"bitmap source row at the end of the integers", 81,
       EmfStretchDib(0, 0, 10, 10, dib, 2, 2).replace(28, 4, Le32({0x80000000u}))},
      {"bitmap of 0 bits", 81, EmfStretchDib(0, 0, 10, 10, dib, 2, 2).replace(72 + 14, 2, Le16({0}))},
      {"not-a-number transform", 35, Le32({nan, 0, 0, nan, 0, 0})},
      {"huge transform", 36, Le32({huge, 0, 0, huge, huge, huge, 4})},
      {"singular transform", 35, Le32({0, 0, 0, 0, 0, 0})},
      {"region count past the record", 75, Le32({32, 5}) + Le32({32, 1, 0x7FFFFFFF, 32, 0, 0, 4, 4})},
      {"restore past every save", 34, Le32({Cardinal(-100)})},
      {"restore a later state", 34, Le32({100})},
      {"poly-polygon counts past the points", 91, Le32({0, 0, 0, 0, 2, 3, 0x7FFFFFFF, 2}) + Le16({1, 1, 2, 2, 3, 3})},
      {"arc of an empty box", 47, Le32({5, 5, 5, 5, 0, 0, 1, 1})},
      {"angle arc of not-a-number", 41, Le32({5, 5, 10, nan, nan})},
      {"fill of a path never begun", 62, Le32({0, 0, 0, 0})},
      {"widening an open path", 66, Le32({0, 0, 0, 0})},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Name);
    Emf e;
    EmfFill(e, Rgb(0, 0, 255));
    e.Rec(43, {0, 0, 10, 10});
    e.Rec(33, std::initializer_list<Cardinal>{});
    e.Rec(r.Type, r.Params);
    if (r.Then) {
      // Sized and laid out, with nothing to see.
      e.Rec(37, {9});
      e.Rec(18, {1});
      e.Rec(r.Then, EmfText(5, 5, u"  "));
    }
    e.Rec(34, {Cardinal(-1)});
    EmfFill(e, Rgb(255, 0, 0), 2);
    e.Rec(43, {20, 20, 30, 30});
    const Picture p = Play(e.Bytes(40, 40));
    EXPECT_EQ(p.At(5, 5), kBlue);
    EXPECT_EQ(p.At(25, 25), kRed);
  }
  // Saved states without end, and as many objects as handles go.
  Emf e;
  for (int i = 0; i < 5000; ++i) e.Rec(33, std::initializer_list<Cardinal>{});
  for (Cardinal i = 0; i < 5000; ++i) e.Rec(39, {i, 0, Rgb(0, 0, 255), 0});
  e.Rec(37, {4000});
  e.Rec(37, {0x80000008u});
  e.Rec(43, {0, 0, 10, 10});
  EXPECT_EQ(Play(e.Bytes(20, 20)).At(5, 5), kBlue);

  // The 16-bit kind: cut text and bitmaps.
  struct WRow {
    const char* Name;
    Word Fn;
    std::string Params;
  };
  const std::vector<WRow> wrows = {
      {"text length past the record", 0x0521, Le16({0x7FFF}) + "ab" + Le16({5, 5})},
      {"extended text length past the record", 0x0A32, Le16({5, 5, 0x7FFF, 0}) + "ab"},
      {"extended text box cut", 0x0A32, Le16({5, 5, 2, 4, 0})},
      {"bitmap cut", 0x0B41, Le32({0x00CC0020}) + Le16({2, 2, 0, 0, 10, 10, 0, 0}) + dib.substr(0, 44)},
      {"bitmap bigger than its bytes", 0x0F43, Le32({0x00CC0020}) + Le16({0, 2, 2, 0, 0, 10, 10, 0, 0}) + bigDib},
      {"poly-polygon counts past the points", 0x0538, Le16({2, 3, 0x7FFF, 1, 1, 2, 2, 3, 3})},
      {"pattern brush of no bitmap", 0x0142, Le16({5, 0, 1, 2, 3})},
  };
  for (const WRow& r : wrows) {
    SCOPED_TRACE(r.Name);
    Wmf w;
    w.Rec(0x020B, {0, 0});
    w.Rec(0x020C, {40, 40});
    WmfFill(w, Rgb(0, 0, 255));
    w.Rec(0x041B, {10, 10, 0, 0});
    w.Rec(r.Fn, r.Params);
    w.Rec(0x041B, {30, 30, 20, 20});
    const Picture p = Play(w.Bytes(40, 40));
    EXPECT_EQ(p.At(5, 5), kBlue);
    EXPECT_EQ(p.At(25, 25), kBlue);
  }
}

}  // namespace

namespace {

// --- against another player -----------------------------------------------------

// Runs Tool on the 16-bit metafile Bytes; the output file's path ("" when
// the tool failed). The caller removes it.
std::string RunPeer(const std::string& Bytes, const std::string& Tool, const std::string& Ext) {
  char dir[] = "/tmp/lkmetafileXXXXXX";
  if (!mkdtemp(dir)) return "";
  const std::string wmf = std::string(dir) + "/scene.wmf", out = std::string(dir) + "/scene" + Ext;
  FILE* f = std::fopen(wmf.c_str(), "wb");
  std::fwrite(Bytes.data(), 1, Bytes.size(), f);
  std::fclose(f);
  const bool ok = std::system((Tool + " -o " + out + " " + wmf + " >/dev/null 2>&1").c_str()) == 0;
  std::remove(wmf.c_str());
  return ok ? out : "";
}

void RemovePeer(const std::string& Out) {
  std::filesystem::remove_all(std::filesystem::path(Out).parent_path());
}

TEST(MetafilePeer, GeometryAndSampledPixelsMatchLibwmf) {
  if (std::system("command -v wmf2gd >/dev/null && command -v wmf2svg >/dev/null") != 0)
    GTEST_SKIP() << "wmf2gd and wmf2svg are not installed";
  // One picture of 200 x 100 units with each kind of figure and a
  // stretched bitmap in its own colour.
  Wmf w;
  w.Rec(0x020B, {0, 0});
  w.Rec(0x020C, {100, 200});
  w.Rec(0x02FA, {5, 0, 0, 0, 0});  // pen 0: none
  w.Rec(0x012D, {0});
  const Cardinal colours[] = {Rgb(255, 0, 0), Rgb(0, 128, 0), Rgb(0, 0, 255), Rgb(255, 255, 0), Rgb(255, 0, 255)};
  for (Word i = 0; i < 5; ++i) w.Rec(0x02FC, Le16({0}) + Le32({colours[i]}) + Le16({0}));  // brushes 1-5
  w.Rec(0x012D, {1});
  w.Rec(0x041B, {40, 50, 10, 10});  // rectangle (10, 10)-(50, 40)
  w.Rec(0x012D, {2});
  w.Rec(0x0418, {50, 110, 10, 60});  // ellipse (60, 10)-(110, 50)
  w.Rec(0x012D, {3});
  w.Rec(0x0324, {3, 120, 10, 190, 10, 120, 60});  // triangle
  w.Rec(0x012D, {4});
  w.Rec(0x081A, {50, 35, 72, 60, 95, 60, 50, 10});  // pie: the top right quarter of (10, 50)-(60, 95)
  w.Rec(0x012D, {5});
  w.Rec(0x061C, {10, 10, 95, 120, 60, 70});  // rounded (70, 60)-(120, 95)
  const std::string dib = Dib(2, 2, [](int X, int Y) { return X == Y ? Rgb(0, 0, 0) : Rgb(0, 200, 200); });
  w.Rec(0x0B41, Le32({0x00CC0020}) + Le16({2, 2, 0, 0, 30, 60, 65, 130}) + dib);  // (130, 65)-(190, 95)
  const std::string bytes = w.Bytes(200, 100);
  const Picture ours = Play(bytes);
  ASSERT_EQ(ours.W, 200);

  // Geometry: the SVG player's shapes, mapped back to units (it spreads
  // what is drawn, from 9.5 to 190.5 across and 9.5 to 95.5 down, over its
  // 200 x 100 picture), against the boxes of our colours.
  const std::string svgFile = RunPeer(bytes, "wmf2svg", ".svg");
  ASSERT_FALSE(svgFile.empty());
  std::ifstream in(svgFile);
  const std::string svg((std::istreambuf_iterator<char>(in)), {});
  RemovePeer(svgFile);
  auto num = [&](const std::string& Element, const std::string& Attr) {
    const size_t at = svg.find("<" + Element);
    const size_t a = svg.find(" " + Attr + "=\"", at);
    return at == std::string::npos || a == std::string::npos ? -1e9 : std::stod(svg.substr(a + Attr.size() + 3));
  };
  auto ux = [](double X) { return X * 181 / 200 + 9.5; };
  auto uy = [](double Y) { return Y * 86 / 100 + 9.5; };
  struct Shape {
    const char* Name;
    Colour C;
    double L, T, R, B;
  };
  const Shape shapes[] = {
      {"rect", {255, 0, 0}, ux(num("rect", "x")), uy(num("rect", "y")), ux(num("rect", "x") + num("rect", "width")),
       uy(num("rect", "y") + num("rect", "height"))},
      {"ellipse", {0, 128, 0}, ux(num("ellipse", "cx") - num("ellipse", "rx")), uy(num("ellipse", "cy") - num("ellipse", "ry")),
       ux(num("ellipse", "cx") + num("ellipse", "rx")), uy(num("ellipse", "cy") + num("ellipse", "ry"))},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.Name);
    const Picture::Box b = ours.Ink(s.C);
    EXPECT_NEAR(b.L, s.L, 1.0);
    EXPECT_NEAR(b.T, s.T, 1.0);
    EXPECT_NEAR(b.R + 1, s.R, 1.0);
    EXPECT_NEAR(b.B + 1, s.B, 1.0);
  }

  // Pixels: the raster player spreads what is drawn (10 to 190 across, 10
  // to 95 down) over its picture and smooths stretched bitmaps, so the
  // bitmap is sampled near its corners. It leaves filled ellipses out.
  const std::string pngFile = RunPeer(bytes, "wmf2gd -t png", ".png");
  ASSERT_FALSE(pngFile.empty());
  const QImage peer(QString::fromStdString(pngFile));
  RemovePeer(pngFile);
  ASSERT_FALSE(peer.isNull());
  const std::pair<int, int> points[] = {{30, 25}, {12, 12}, {130, 20}, {150, 25}, {40, 60},  {25, 85},  {95, 78},
                                        {133, 68}, {187, 68}, {133, 92}, {187, 92}, {55, 45}, {165, 45}, {100, 55}};
  for (auto [x, y] : points) {
    const Colour a = ours.At(x, y);
    const QRgb b = peer.pixel((x - 10) * peer.width() / 180, (y - 10) * peer.height() / 85);
    EXPECT_NEAR(a.R, qRed(b), 40) << x << "," << y;
    EXPECT_NEAR(a.G, qGreen(b), 40) << x << "," << y;
    EXPECT_NEAR(a.B, qBlue(b), 40) << x << "," << y;
  }
}

TEST(MetafilePeer, FilesWrittenByLibEMFPlayInPlace) {
#ifndef LK_EMF_WRITER
  GTEST_SKIP() << "libEMF is not installed";
#else
  // The frame without and with margins: libEMF's reference device has 3.2
  // pixels per millimetre, so 10 mm and 5 mm of margin are 32 and 16 pixels.
  struct Case {
    const char* Args;
    int Dx, Dy, W, H;
  };
  for (const Case& c : {Case{"", 0, 0, 200, 100}, Case{" margin", 32, 16, 232, 116}}) {
    SCOPED_TRACE(c.Args);
    char dir[] = "/tmp/lkemfXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string file = std::string(dir) + "/w.emf";
    ASSERT_EQ(std::system((std::string(LK_EMF_WRITER) + " " + file + c.Args).c_str()), 0);
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove_all(dir);
    const Picture p = Play(bytes);
    ASSERT_EQ(p.W, c.W);
    ASSERT_EQ(p.H, c.H);
    const int dx = c.Dx, dy = c.Dy;
    const Picture::Box red = p.Ink(kRed), blue = p.Ink(kBlue), green = p.Ink({0, 128, 0}), black = p.Ink(kBlack);
    EXPECT_NEAR(red.L, dx + 10, 1);
    EXPECT_NEAR(red.T, dy + 10, 1);
    EXPECT_NEAR(red.R, dx + 49, 1);
    EXPECT_NEAR(red.B, dy + 39, 1);
    EXPECT_NEAR(blue.L, dx + 60, 1);  // the ellipse's left and the triangle's right
    EXPECT_NEAR(blue.R, dx + 189, 1);
    EXPECT_NEAR(blue.B, dy + 59, 1);
    EXPECT_EQ(p.At(dx + 85, dy + 30), kBlue);
    EXPECT_EQ(p.At(dx + 125, dy + 15), kBlue);
    EXPECT_EQ(p.At(dx + 170, dy + 50), kWhite);
    // The arc: counter-clockwise from the right to the top of its box.
    ASSERT_FALSE(black.Empty());
    EXPECT_GE(black.L, dx + 34);
    EXPECT_LE(black.T, dy + 51);
    EXPECT_LE(black.B, dy + 73);
    // The text: green, from (120, 65) down.
    ASSERT_FALSE(green.Empty());
    EXPECT_NEAR(green.L, dx + 121, 3);
    EXPECT_GE(green.T, dy + 65);
    EXPECT_LE(green.B, dy + 65 + 24);
  }
#endif
}

// The header's bounds hold only the ink; the frame around it, margins and
// all, is the picture. A file whose bounds are tighter than its frame keeps
// its size and its drawing stays where it was put.
TEST(MetafileFrame, ThePictureIsTheFrameNotTheInksBounds) {
  Emf e;
  EmfFill(e, Rgb(255, 0, 0));
  e.Rec(43, {30, 20, 60, 50});  // RECTANGLE
  std::string bytes = e.Bytes(100, 80);
  bytes.replace(8, 16, Le32({30, 20, 59, 49}));  // bounds: the rectangle only
  const Picture p = Play(bytes);
  ASSERT_EQ(p.W, 100);
  ASSERT_EQ(p.H, 80);
  const Picture::Box red = p.Ink(kRed);
  EXPECT_EQ(red.L, 30);
  EXPECT_EQ(red.T, 20);
  EXPECT_EQ(red.R, 59);
  EXPECT_EQ(red.B, 49);
  EXPECT_EQ(p.At(10, 10), kWhite);
  // An empty frame, or a reference device of no size, leaves the bounds.
  for (const size_t at : {size_t(24), size_t(72)}) {
    std::string b = bytes;
    b.replace(at, 16, Le32({0, 0, 0, 0}));
    const Picture q = Play(b);
    EXPECT_EQ(q.W, 30) << at;
    EXPECT_EQ(q.H, 30) << at;
    EXPECT_EQ(q.At(15, 15), kRed) << at;
  }
}

}  // namespace
