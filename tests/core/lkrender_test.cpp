#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "core/lkrender.h"
#include "platform/graphics.h"
#include "processing/lkfilterresample.h"
#include "processing/lkresample.h"

namespace {

// Sets LKDefMinFileSize while alive: 0 sends new bitmaps to temporary files,
// a huge value keeps them in memory.
class MinFileSizeGuard {
 public:
  explicit MinFileSizeGuard(Integer v) : saved_(LKDefMinFileSize) { LKDefMinFileSize = v; }
  ~MinFileSizeGuard() { LKDefMinFileSize = saved_; }

 private:
  Integer saved_;
};

constexpr TRGB kSentinel{1, 2, 3};

std::unique_ptr<TLKBitmap> NewBitmap(Integer w, Integer h, TLKPixelFormat f) {
  MinFileSizeGuard memory(INT_MAX);
  return std::make_unique<TLKBitmap>(w, h, f);
}

// A 24-bit picture where every pixel is distinct: blue x, green y, red
// (x * 7 + y * 13) mod 256.
TRGB PatternAt(Integer x, Integer y) {
  return TRGB{static_cast<Byte>(x), static_cast<Byte>(y), static_cast<Byte>((x * 7 + y * 13) & 255)};
}
void FillPattern(TLKBitmap& b) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) b.SetPixels_lk24RGB(x, y, PatternAt(x, y));
}
std::unique_ptr<TLKBitmap> Pattern(Integer w, Integer h) {
  auto b = NewBitmap(w, h, lk24RGB);
  FillPattern(*b);
  return b;
}
void FillWith(TLKBitmap& b, TRGB c) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) b.SetPixels_lk24RGB(x, y, c);
}
std::unique_ptr<TLKBitmap> Canvas(Integer w, Integer h, TRGB c = kSentinel) {
  auto b = NewBitmap(w, h, lk24RGB);
  FillWith(*b, c);
  return b;
}
std::vector<Byte> Bytes(TLKBitmap& b) {
  std::vector<Byte> out;
  const auto len = static_cast<size_t>(b.GetWidth()) * (b.GetBitCount() / 8 ? b.GetBitCount() / 8 : 1);
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    const auto* row = static_cast<const Byte*>(b.GetScanLine(y));
    out.insert(out.end(), row, row + len);
  }
  return out;
}

// Plain call with fresh tables freed on return.
void Render(TLKBitmap& src, TLKBitmap& dst, Integer dx, Integer dy, Integer dw, Integer dh, Integer sx, Integer sy,
            Integer sw, Integer sh, Integer transparency = 255, TResampleFilter filter = rfNone,
            TLKRenderOperation op = lklNormal, bool enableAlpha = false, const TRect* update = nullptr) {
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  src.RenderToTLKBitmap(&dst, rows, cols, rowIdx, update, dx, dy, dw, dh, sx, sy, sw, sh, enableAlpha, false,
                        transparency, filter, true, op);
  EXPECT_EQ(rows, nullptr);
  EXPECT_EQ(cols, nullptr);
  EXPECT_EQ(rowIdx, nullptr);
}

// ---------------------------------------------------------------------------
// Clipping: each case names the source pixel expected at every destination
// pixel (or none: the sentinel stays).

struct ClipCase {
  const char* name;
  Integer sw, sh;                   // source bitmap
  Integer dx, dy, dw, dh;           // destination rectangle in a 40 x 30 bitmap
  Integer rsx, rsy, rsw, rsh;       // source rectangle
  bool (*expect)(Integer x, Integer y, Integer& sx, Integer& sy);  // false: untouched
};

TEST(RenderToTLKBitmap, ClipCasesReadOnlyTheSourceAndWriteOnlyInside) {
  const ClipCase cases[] = {
      {"negative x origin skips the first source columns", 40, 30, -10, 0, 40, 30, 0, 0, 40, 30,
       [](Integer x, Integer y, Integer& sx, Integer& sy) { sx = x + 10; sy = y; return x < 30; }},
      {"negative y origin skips the first source rows", 40, 30, 0, -7, 40, 30, 0, 0, 40, 30,
       [](Integer x, Integer y, Integer& sx, Integer& sy) { sx = x; sy = y + 7; return y < 23; }},
      {"right overhang is cut", 40, 30, 30, 0, 20, 30, 0, 0, 20, 30,
       [](Integer x, Integer y, Integer& sx, Integer& sy) { sx = x - 30; sy = y; return x >= 30; }},
      {"zoom in by 2", 10, 10, 0, 0, 20, 20, 0, 0, 10, 10,
       [](Integer x, Integer y, Integer& sx, Integer& sy) { sx = x / 2; sy = y / 2; return x < 20 && y < 20; }},
      {"zoom out by 2", 40, 30, 0, 0, 20, 15, 0, 0, 40, 30,
       [](Integer x, Integer y, Integer& sx, Integer& sy) { sx = 2 * x; sy = 2 * y; return x < 20 && y < 15; }},
      {"zoom in with negative origin", 10, 10, -5, -3, 40, 40, 0, 0, 10, 10,
       [](Integer x, Integer y, Integer& sx, Integer& sy) {
         // The clipped origin moves the source by whole pixels only:
         // trunc(5 * 0.25) = 1 column and trunc(3 * 0.25) = 0 rows.
         sx = x / 4 + 1;
         sy = y / 4;
         return x < 35;  // the rectangle ends at -5 + 40
       }},
      {"1x1 source fills the rectangle", 1, 1, 5, 5, 10, 10, 0, 0, 1, 1,
       [](Integer x, Integer y, Integer& sx, Integer& sy) {
         sx = sy = 0;
         return x >= 5 && x < 15 && y >= 5 && y < 15;
       }},
      {"source rectangle past the source edge stops drawing there", 40, 30, 0, 0, 20, 10, 30, 25, 20, 10,
       [](Integer x, Integer y, Integer& sx, Integer& sy) {
         sx = x + 30;
         sy = y + 25;
         return x < 10 && y < 5;
       }},
      {"scaled source rectangle past the source edge stops drawing there", 40, 30, 0, 0, 40, 20, 30, 20, 20, 10,
       [](Integer x, Integer y, Integer& sx, Integer& sy) {
         sx = x / 2 + 30;
         sy = y / 2 + 20;
         return x < 20 && y < 20;
       }},
      {"huge zoom and far negative origin", 4, 4, -2000000000, -2000000000, 2100000000, 2100000000, 0, 0, 4, 4,
       [](Integer, Integer, Integer& sx, Integer& sy) {
         sx = sy = 3;
         return true;
       }},
      {"origin right of the destination draws nothing", 40, 30, 40, 0, 10, 10, 0, 0, 10, 10,
       [](Integer, Integer, Integer&, Integer&) { return false; }},
      {"origin below the destination draws nothing", 40, 30, 0, INT_MAX, 10, 10, 0, 0, 10, 10,
       [](Integer, Integer, Integer&, Integer&) { return false; }},
      {"rectangle wholly left of the destination draws nothing", 40, 30, -100, 0, 50, 10, 0, 0, 50, 10,
       [](Integer, Integer, Integer&, Integer&) { return false; }},
      {"most negative origin draws nothing", 40, 30, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0, 40, 30,
       [](Integer, Integer, Integer&, Integer&) { return false; }},
      {"zero source width draws nothing", 40, 30, 0, 0, 10, 10, 0, 0, 0, 10,
       [](Integer, Integer, Integer&, Integer&) { return false; }},
      {"source origin past the source is clamped to its last pixel", 40, 30, 0, 0, 2, 2, 100, 100, 1, 1,
       [](Integer x, Integer y, Integer& sx, Integer& sy) {
         sx = 39;
         sy = 29;
         return x < 2 && y < 2;
       }},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto src = Pattern(c.sw, c.sh);
    const std::vector<Byte> before = Bytes(*src);
    for (TLKRenderOperation op : {lklNormal, lklAdd}) {  // direct copy and table-driven blend
      auto dst = Canvas(40, 30, TRGB{0, 0, 0});
      Render(*src, *dst, c.dx, c.dy, c.dw, c.dh, c.rsx, c.rsy, c.rsw, c.rsh, 255, rfNone, op);
      int wrong = 0;
      for (Integer y = 0; y < 30; ++y)
        for (Integer x = 0; x < 40; ++x) {
          Integer sx = 0, sy = 0;
          const TRGB want = c.expect(x, y, sx, sy) ? PatternAt(sx, sy) : TRGB{0, 0, 0};
          if (!(dst->GetPixels_lk24RGB(x, y) == want) && wrong++ < 3)
            ADD_FAILURE() << "op " << int(op) << " pixel " << x << "," << y;
        }
    }
    EXPECT_EQ(Bytes(*src), before);
  }
}

TEST(RenderToTLKBitmap, UpdateRectangleLimitsTheDrawnPixels) {
  auto src = Pattern(40, 30);
  auto dst = Canvas(40, 30);
  const TRect update{5, 6, 9, 8};  // Right and Bottom inclusive
  Render(*src, *dst, 0, 0, 40, 30, 0, 0, 40, 30, 255, rfNone, lklNormal, false, &update);
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const bool inside = x >= 5 && x <= 9 && y >= 6 && y <= 8;
      EXPECT_EQ(dst->GetPixels_lk24RGB(x, y), inside ? PatternAt(x, y) : kSentinel) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------
// Tables

TEST(RenderToTLKBitmap, UnscaledOpaqueCopyBuildsNoCoordinateTables) {
  auto src = Pattern(20, 10);
  auto dst = Canvas(20, 10);
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  src->RenderToTLKBitmap(dst.get(), rows, cols, rowIdx, nullptr, 0, 0, 20, 10, 0, 0, 20, 10, false, false, 255,
                         rfNone, false, lklNormal);
  EXPECT_EQ(Bytes(*dst), Bytes(*src));
  ASSERT_NE(rows, nullptr);  // the row table is handed over
  EXPECT_EQ(rows[3], dst->GetScanLine(3));
  EXPECT_EQ(cols, nullptr);
  EXPECT_EQ(rowIdx, nullptr);
  LKFreeRenderTables(rows, cols, rowIdx);
  EXPECT_EQ(rows, nullptr);
}

TEST(RenderToTLKBitmap, HandedOverTablesHoldTheSourceCoordinatesAndRepaintTheSame) {
  auto src = Pattern(30, 20);
  auto first = Canvas(40, 30);
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  // 30 source columns over 20 destination columns from x = 4: ratio 1.5.
  src->RenderToTLKBitmap(first.get(), rows, cols, rowIdx, nullptr, 4, 2, 20, 10, 0, 0, 30, 20, false, false, 255,
                         rfNone, false, lklNormal);
  ASSERT_NE(cols, nullptr);
  ASSERT_NE(rowIdx, nullptr);
  EXPECT_EQ(cols[0], 0);
  EXPECT_EQ(cols[1], 1);
  EXPECT_EQ(cols[3], 4);
  EXPECT_EQ(cols[19], 28);
  EXPECT_EQ(rowIdx[9], 18);

  // A repaint of a small update rectangle with the kept tables.
  auto second = Canvas(40, 30);
  void** rows2 = nullptr;
  const TRect update{10, 5, 12, 6};
  src->RenderToTLKBitmap(second.get(), rows2, cols, rowIdx, &update, 4, 2, 20, 10, 0, 0, 30, 20, false, false, 255,
                         rfNone, true, lklNormal);
  for (Integer y = 5; y <= 6; ++y)
    for (Integer x = 10; x <= 12; ++x) EXPECT_EQ(second->GetPixels_lk24RGB(x, y), first->GetPixels_lk24RGB(x, y));
  EXPECT_EQ(second->GetPixels_lk24RGB(13, 5), kSentinel);
  LKFreeRenderTables(rows, cols, rowIdx);
}

TEST(RenderToTLKBitmap, HandedOverTablesOfAnOverhangingSourceRectangleRepaintTheSame) {
  // Source columns 30..49 of a 40-wide source at zoom 2: the right half lies
  // beyond the source and stays undrawn, in the first call and with the
  // kept tables alike (which cover the whole clipped rectangle).
  auto src = Pattern(40, 30);
  auto first = Canvas(40, 30);
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  src->RenderToTLKBitmap(first.get(), rows, cols, rowIdx, nullptr, 0, 0, 40, 20, 30, 20, 20, 10, false, false, 255,
                         rfNone, false, lklNormal);
  ASSERT_NE(cols, nullptr);
  EXPECT_EQ(cols[39], 49);
  auto second = Canvas(40, 30);
  void** rows2 = nullptr;
  src->RenderToTLKBitmap(second.get(), rows2, cols, rowIdx, nullptr, 0, 0, 40, 20, 30, 20, 20, 10, false, false, 255,
                         rfNone, true, lklNormal);
  EXPECT_EQ(Bytes(*second), Bytes(*first));
  EXPECT_EQ(second->GetPixels_lk24RGB(19, 19), PatternAt(39, 29));
  EXPECT_EQ(second->GetPixels_lk24RGB(20, 0), kSentinel);
  LKFreeRenderTables(rows, cols, rowIdx);
}

TEST(RenderToTLKBitmap, CallerTablesPointingOutsideTheSourceAreCutOrClamped) {
  auto src = Pattern(8, 6);
  auto dst = Canvas(10, 10);
  void** rows = nullptr;
  // Rows 8 and 9 name source rows past the bottom: those rows are not drawn.
  std::vector<Integer> rowIdx = {0, 1, 2, 3, 4, 5, 5, 5, 6, 900};
  // A negative and a too-large column in the middle are held to the source.
  std::vector<Integer> cols = {0, -5, 2, 3, 100, 5, 6, 7, 7, 7};
  Integer* c = cols.data();
  Integer* r = rowIdx.data();
  src->RenderToTLKBitmap(dst.get(), rows, c, r, nullptr, 0, 0, 10, 10, 0, 0, 8, 6, false, false, 255, rfNone, true,
                         lklAdd);
  EXPECT_EQ(c, cols.data());  // caller tables stay the caller's
  for (Integer x = 0; x < 10; ++x) {
    EXPECT_EQ(dst->GetPixels_lk24RGB(x, 8), kSentinel);
    EXPECT_EQ(dst->GetPixels_lk24RGB(x, 9), kSentinel);
  }
  const auto added = [](TRGB s) {
    TRGB d = kSentinel;
    LKBlend(s, d, lklAdd);
    return d;
  };
  EXPECT_EQ(dst->GetPixels_lk24RGB(1, 2), added(PatternAt(0, 2)));  // -5 held to column 0
  EXPECT_EQ(dst->GetPixels_lk24RGB(4, 2), added(PatternAt(7, 2)));  // 100 held to column 7
  EXPECT_EQ(dst->GetPixels_lk24RGB(9, 7), added(PatternAt(7, 5)));
}

// ---------------------------------------------------------------------------
// Alpha and constant transparency

TEST(RenderToTLKBitmap, ConstantTransparencyAndAlphaChannelMixByTheirWeight) {
  auto white = Canvas(4, 1, TRGB{255, 255, 255});
  {
    auto dst = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*white, *dst, 0, 0, 4, 1, 0, 0, 4, 1, 128);
    EXPECT_EQ(dst->GetPixels_lk24RGB(0, 0), (TRGB{127, 127, 127}));
  }
  white->SetAlpha(0, 0, 255);
  white->SetAlpha(1, 0, 0);
  white->SetAlpha(2, 0, 128);
  white->GetAlphaChannel()->SetFull(false);
  {
    // Through the alpha path a weight of 255 leaves a trace of the destination.
    auto dst = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*white, *dst, 0, 0, 4, 1, 0, 0, 4, 1, 255, rfNone, lklNormal, true);
    EXPECT_EQ(dst->GetPixels_lk24RGB(0, 0), (TRGB{254, 254, 254}));
    EXPECT_EQ(dst->GetPixels_lk24RGB(1, 0), (TRGB{0, 0, 0}));
    EXPECT_EQ(dst->GetPixels_lk24RGB(2, 0), (TRGB{127, 127, 127}));
    // The smaller of transparency and alpha wins.
    auto dst2 = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*white, *dst2, 0, 0, 4, 1, 0, 0, 4, 1, 64, rfNone, lklNormal, true);
    EXPECT_EQ(dst2->GetPixels_lk24RGB(0, 0), (TRGB{63, 63, 63}));
    EXPECT_EQ(dst2->GetPixels_lk24RGB(2, 0), (TRGB{63, 63, 63}));
    // Mixing towards a darker colour floors below the destination.
    auto dst3 = Canvas(4, 1, TRGB{255, 255, 255});
    auto black = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*black, *dst3, 0, 0, 4, 1, 0, 0, 4, 1, 128);
    EXPECT_EQ(dst3->GetPixels_lk24RGB(0, 0), (TRGB{127, 127, 127}));
  }
  {
    // Without enable alpha, and with a full alpha channel, the colour is exact.
    auto dst = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*white, *dst, 0, 0, 4, 1, 0, 0, 4, 1);
    EXPECT_EQ(dst->GetPixels_lk24RGB(1, 0), (TRGB{255, 255, 255}));
    white->GetAlphaChannel()->SetFull(true);
    auto dst2 = Canvas(4, 1, TRGB{0, 0, 0});
    Render(*white, *dst2, 0, 0, 4, 1, 0, 0, 4, 1, 255, rfNone, lklNormal, true);
    EXPECT_EQ(dst2->GetPixels_lk24RGB(1, 0), (TRGB{255, 255, 255}));
  }
}

TEST(RenderToTLKBitmap, AlphaSlotsOfOtherFormatsMixTheirColour) {
  auto grey = NewBitmap(2, 1, lk8g);
  grey->SetPixels_lk8(0, 0, 200);
  grey->SetPixels_lk8(1, 0, 200);
  grey->SetAlpha(1, 0, 0);
  grey->GetAlphaChannel()->SetFull(false);
  auto dst = Canvas(2, 1, TRGB{100, 100, 100});
  Render(*grey, *dst, 0, 0, 2, 1, 0, 0, 2, 1, 255, rfNone, lklNormal, true);
  EXPECT_EQ(dst->GetPixels_lk24RGB(0, 0), (TRGB{199, 199, 199}));  // 100 + floor(100 * 255 / 256)
  EXPECT_EQ(dst->GetPixels_lk24RGB(1, 0), (TRGB{100, 100, 100}));
}

// ---------------------------------------------------------------------------
// Per-format colour

TEST(RenderToTLKBitmap, EachFormatDrawsItsColour) {
  struct Case {
    const char* name;
    TLKPixelFormat format;
    void (*setup)(TLKBitmap& b);
    TRGB expect[3];
  } cases[] = {
      {"lk1g bits", lk1g,
       [](TLKBitmap& b) {
         b.SetPixels_lk1g(0, 0, true);
         b.SetPixels_lk1g(1, 0, false);
         b.SetPixels_lk1g(2, 0, true);
       },
       {{255, 255, 255}, {0, 0, 0}, {255, 255, 255}}},
      {"lk8g without a window passes grey through", lk8g,
       [](TLKBitmap& b) {
         b.SetPixels_lk8(0, 0, 0);
         b.SetPixels_lk8(1, 0, 77);
         b.SetPixels_lk8(2, 0, 255);
       },
       {{0, 0, 0}, {77, 77, 77}, {255, 255, 255}}},
      {"lk8g window 100..200", lk8g,
       [](TLKBitmap& b) {
         b.SetBlackValue(100);
         b.SetWhiteValue(200);
         b.SetPixels_lk8(0, 0, 150);
         b.SetPixels_lk8(1, 0, 90);
         b.SetPixels_lk8(2, 0, 230);
       },
       {{127, 127, 127}, {0, 0, 0}, {255, 255, 255}}},
      {"lk16g high byte", lk16g,
       [](TLKBitmap& b) {
         b.SetPixels_lk16g(0, 0, 0x12FF);
         b.SetPixels_lk16g(1, 0, 0);
         b.SetPixels_lk16g(2, 0, 0xFFFF);
       },
       {{0x12, 0x12, 0x12}, {0, 0, 0}, {255, 255, 255}}},
      {"lk16g window 1000..2000", lk16g,
       [](TLKBitmap& b) {
         b.SetBlackValue(1000);
         b.SetWhiteValue(2000);
         b.SetPixels_lk16g(0, 0, 1500);
         b.SetPixels_lk16g(1, 0, 10);
         b.SetPixels_lk16g(2, 0, 60000);
       },
       {{127, 127, 127}, {0, 0, 0}, {255, 255, 255}}},
      {"lk32f without a window takes the low byte", lk32f,
       [](TLKBitmap& b) {
         b.SetPixels_lk32f(0, 0, 1.5f);
         b.SetPixels_lk32f(1, 0, 0.5f);
         b.SetPixels_lk32f(2, 0, 1e30f);  // far out of range: no undefined conversion
       },
       {{126, 126, 126}, {127, 127, 127}, {255, 255, 255}}},
      {"lk32f window 0.25..0.75", lk32f,
       [](TLKBitmap& b) {
         b.SetBlackValue(0.25);
         b.SetWhiteValue(0.75);
         b.SetPixels_lk32f(0, 0, 0.5f);
         b.SetPixels_lk32f(1, 0, 0.0f);
         b.SetPixels_lk32f(2, 0, 3.0f);
       },
       {{127, 127, 127}, {0, 0, 0}, {255, 255, 255}}},
      {"lk8p palette", lk8p,
       [](TLKBitmap& b) {
         b.SetPalette(3, TRGB{1, 2, 3});
         b.SetPalette(9, TRGB{40, 50, 60});
         b.SetPixels_lk8(0, 0, 3);
         b.SetPixels_lk8(1, 0, 9);
         b.SetPixels_lk8(2, 0, 3);
       },
       {{1, 2, 3}, {40, 50, 60}, {1, 2, 3}}},
      {"lk48RGB high bytes", lk48RGB,
       [](TLKBitmap& b) {
         b.SetPixels_lk48RGB(0, 0, TRGB48{0x1100, 0x22FF, 0x3380});
         b.SetPixels_lk48RGB(1, 0, TRGB48{0, 0, 0});
         b.SetPixels_lk48RGB(2, 0, TRGB48{65535, 65535, 65535});
       },
       {{0x33, 0x22, 0x11}, {0, 0, 0}, {255, 255, 255}}},
      {"lkCMYK", lkCMYK,
       [](TLKBitmap& b) {
         for (Integer x = 0; x < 3; ++x) b.SetPixels_lkCMYK(x, 0, TCMYK{255, 127, 63, 200});
       },
       {LKCMYK2RGB(TCMYK{255, 127, 63, 200}), LKCMYK2RGB(TCMYK{255, 127, 63, 200}),
        LKCMYK2RGB(TCMYK{255, 127, 63, 200})}},
      {"lkCIELab", lkCIELab,
       [](TLKBitmap& b) {
         for (Integer x = 0; x < 3; ++x) b.SetPixels_lkCIELab(x, 0, TCIELab{255, 0, 0});
       },
       {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto src = NewBitmap(3, 1, c.format);
    c.setup(*src);
    // Drawn at 2x so that the table path runs; lklAdd is ignored by every
    // format except the 24- and 48-bit ones.
    auto dst = Canvas(6, 2);
    Render(*src, *dst, 0, 0, 6, 2, 0, 0, 3, 1, 255, rfNone, c.format == lk48RGB ? lklNormal : lklAdd);
    for (Integer x = 0; x < 6; ++x)
      for (Integer y = 0; y < 2; ++y) EXPECT_EQ(dst->GetPixels_lk24RGB(x, y), c.expect[x / 2]) << x << "," << y;
  }
}

TEST(RenderToTLKBitmap, PalettedPictureWithoutPaletteDrawsNothing) {
  TLKBitmap src;
  src.SetMinFileSize(INT_MAX);
  src.Allocate(2, 2, lk8g);  // lk8g has no palette; the 8p slot is reached directly
  auto dst = Canvas(2, 2);
  void** rows = nullptr;
  const Integer cols[2] = {0, 1}, rowIdx[2] = {0, 1};
  void* table[2] = {dst->GetScanLine(0), dst->GetScanLine(1)};
  rows = table;
  src.Render_lk8p(rows, dst.get(), cols, rowIdx, 0, 0, 0, 0, 0, 0, 1, 1, 16384, 16384, false);
  EXPECT_EQ(dst->GetPixels_lk24RGB(1, 1), kSentinel);
}

// ---------------------------------------------------------------------------
// Offsets, contrast and operations of 24- and 48-bit sources

TEST(RenderToTLKBitmap, ContrastAndOffsetsAdjust24And48BitSources) {
  auto src = NewBitmap(3, 1, lk24RGB);
  src->SetPixels_lk24RGB(0, 0, TRGB{192, 64, 128});
  src->SetPixels_lk24RGB(1, 0, TRGB{129, 127, 10});
  src->SetPixels_lk24RGB(2, 0, TRGB{0, 255, 100});
  auto wide = NewBitmap(3, 1, lk48RGB);
  wide->SetPixels_lk48RGB(0, 0, TRGB48{128 * 256, 64 * 256, 192 * 256});
  wide->SetPixels_lk48RGB(1, 0, TRGB48{10 * 256, 127 * 256, 129 * 256});
  wide->SetPixels_lk48RGB(2, 0, TRGB48{100 * 256, 255 * 256, 0});
  struct Case {
    Integer contrast, offsetRed;
    TRGB expect[3];
  } cases[] = {
      {10, 0, {{255, 0, 128}, {130, 126, 0}, {0, 255, 72}}},  // distance from 128 doubled
      {-100, 0, {{128, 128, 128}, {128, 128, 128}, {128, 128, 128}}},
      {0, 20, {{192, 64, 148}, {129, 127, 30}, {0, 255, 120}}},  // red + 20
  };
  for (const Case& c : cases) {
    for (TLKBitmap* b : {src.get(), wide.get()}) {
      SCOPED_TRACE(testing::Message() << "contrast " << c.contrast << " format " << int(b->GetPixelFormat()));
      b->SetContrast(c.contrast);
      b->SetChannelOffset(0, b->GetPixelFormat() == lk48RGB ? c.offsetRed * 256 : c.offsetRed);
      auto dst = Canvas(3, 1);
      Render(*b, *dst, 0, 0, 3, 1, 0, 0, 3, 1);
      for (Integer x = 0; x < 3; ++x) EXPECT_EQ(dst->GetPixels_lk24RGB(x, 0), c.expect[x]) << x;
    }
  }
}

TEST(RenderToTLKBitmap, OperationCombinesWithTheDestinationAndMixesByAlpha) {
  auto src = Pattern(8, 8);
  auto dst = Pattern(8, 8);
  auto ref = Pattern(8, 8);
  Render(*src, *dst, 0, 0, 8, 8, 0, 0, 8, 8, 255, rfNone, lklScreen);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) {
      TRGB want = ref->GetPixels_lk24RGB(x, y);
      LKBlend(PatternAt(x, y), want, lklScreen);
      EXPECT_EQ(dst->GetPixels_lk24RGB(x, y), want);
    }
  // Alpha mixing of the blended colour: half way between destination and blend.
  auto half = Canvas(1, 1, TRGB{0, 0, 0});
  auto grey = Canvas(1, 1, TRGB{100, 100, 100});
  Render(*grey, *half, 0, 0, 1, 1, 0, 0, 1, 1, 128, rfNone, lklScreen);
  EXPECT_EQ(half->GetPixels_lk24RGB(0, 0), (TRGB{50, 50, 50}));  // screen gives 101; floor(101 * 128 / 256)
}

TEST(RenderToTLKBitmap, SolidBackgroundEnlargementRepeatsRows) {
  auto src = Pattern(5, 4);
  auto plain = Canvas(20, 16);
  auto solid = Canvas(20, 16);
  Render(*src, *plain, 0, 0, 20, 16, 0, 0, 5, 4);
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  src->RenderToTLKBitmap(solid.get(), rows, cols, rowIdx, nullptr, 0, 0, 20, 16, 0, 0, 5, 4, false, true, 255,
                         rfNone, true, lklNormal);
  EXPECT_EQ(Bytes(*solid), Bytes(*plain));
}

// ---------------------------------------------------------------------------
// Filtered path

TEST(RenderToTLKBitmap, FilteredPathEqualsTheResamplerOnTheSourceRectangle) {
  auto src = Pattern(40, 30);
  for (TResampleFilter f : {rfFastLinear, rfTriangle, rfBicubic}) {
    SCOPED_TRACE(int(f));
    auto crop = NewBitmap(20, 16, lk24RGB);
    src->CopyRectTo(crop.get(), 5, 4, 0, 0, 20, 16);
    auto want = NewBitmap(30, 24, lk24RGB);
    _ResampleEx(crop.get(), want.get(), f);
    auto dst = Canvas(40, 30);
    Render(*src, *dst, 3, 2, 30, 24, 5, 4, 20, 16, 255, f);
    for (Integer y = 0; y < 24; ++y)
      for (Integer x = 0; x < 30; ++x)
        ASSERT_EQ(dst->GetPixels_lk24RGB(x + 3, y + 2), want->GetPixels_lk24RGB(x, y)) << x << "," << y;
    EXPECT_EQ(dst->GetPixels_lk24RGB(2, 2), kSentinel);
    EXPECT_EQ(dst->GetPixels_lk24RGB(33, 2), kSentinel);
  }
  // Whole source, reduced.
  auto want = NewBitmap(13, 9, lk24RGB);
  _ResampleEx(src.get(), want.get(), rfFastLinear);
  auto dst = Canvas(13, 9);
  Render(*src, *dst, 0, 0, 13, 9, 0, 0, 40, 30, 255, rfFastLinear);
  EXPECT_EQ(Bytes(*dst), Bytes(*want));
}

TEST(RenderToTLKBitmap, FilteredOneBitReductionUsesTheBoxFilter) {
  auto src = NewBitmap(32, 32, lk1g);
  for (Integer y = 0; y < 32; ++y)
    for (Integer x = 0; x < 32; ++x) src->SetPixels_lk1g(x, y, ((x / 3 + y) & 1) != 0);
  auto want = NewBitmap(8, 8, lk24RGB);
  _SubResample1bitFilteredEx(src.get(), 0, 0, 31, 31, want.get());
  auto dst = Canvas(8, 8);
  Render(*src, *dst, 0, 0, 8, 8, 0, 0, 32, 32, 255, rfTriangle);
  EXPECT_EQ(Bytes(*dst), Bytes(*want));
}

TEST(RenderToTLKBitmap, FilteredOneBitEnlargementAndProjectionFollowTheOneBitResampler) {
  auto src = NewBitmap(9, 7, lk1g);
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 9; ++x) src->SetPixels_lk1g(x, y, ((x + 2 * y) % 3) != 0);
  struct Case {
    TResampleFilter filter;
    Integer w, h;
    TLKPixelFormat resampledFormat;
  } cases[] = {{rfFastLinear, 20, 15, lk24RGB}, {rfMitchell, 20, 15, lk24RGB}, {rfProjectBW, 5, 4, lk1g},
               {rfProjectWB, 5, 4, lk1g}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.filter));
    auto want = NewBitmap(c.w, c.h, c.resampledFormat);
    _Resample1bitEx(src.get(), want.get(), c.filter);
    auto dst = Canvas(c.w, c.h);
    Render(*src, *dst, 0, 0, c.w, c.h, 0, 0, 9, 7, 255, c.filter);
    for (Integer y = 0; y < c.h; ++y)
      for (Integer x = 0; x < c.w; ++x) ASSERT_EQ(dst->GetPixels_lk24RGB(x, y), want->GetPixels(x, y)) << x << "," << y;
  }
  // A filter value outside the enumeration draws the nearest pixels.
  auto dst = Canvas(18, 14);
  Render(*src, *dst, 0, 0, 18, 14, 0, 0, 9, 7, 255, static_cast<TResampleFilter>(99));
  EXPECT_EQ(dst->GetPixels_lk24RGB(3, 5), src->GetPixels(1, 2));
}

TEST(RenderToTLKBitmap, FilteredPathCarriesTheAlphaChannel) {
  auto src = Canvas(8, 8, TRGB{255, 255, 255});
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) src->SetAlpha(x, y, x < 4 ? 0 : 255);
  src->GetAlphaChannel()->SetFull(false);
  auto dst = Canvas(16, 16, TRGB{0, 0, 0});
  Render(*src, *dst, 0, 0, 16, 16, 0, 0, 8, 8, 255, rfFastLinear, lklNormal, true);
  EXPECT_EQ(dst->GetPixels_lk24RGB(0, 5), (TRGB{0, 0, 0}));
  EXPECT_EQ(dst->GetPixels_lk24RGB(15, 5), (TRGB{254, 254, 254}));
}

// ---------------------------------------------------------------------------
// Storage, wrappers and threads

TEST(RenderToTLKBitmap, FileBackedSourceAndDestinationDrawLikeMemory) {
  auto memSrc = Pattern(30, 20);
  auto want = Canvas(25, 25);
  Render(*memSrc, *want, -3, 2, 45, 30, 0, 0, 30, 20, 200, rfNone, lklAdd);

  MinFileSizeGuard files(0);
  TLKBitmap src(30, 20, lk24RGB);
  TLKBitmap dst(25, 25, lk24RGB);
  ASSERT_EQ(src.GetLocation(), lkFile);
  ASSERT_EQ(dst.GetLocation(), lkFile);
  FillPattern(src);
  FillWith(dst, kSentinel);
  const TLKDataAccess access = src.Access;
  Render(src, dst, -3, 2, 45, 30, 0, 0, 30, 20, 200, rfNone, lklAdd);
  EXPECT_TRUE(src.Access == access);
  EXPECT_EQ(Bytes(dst), Bytes(*want));
}

TEST(RenderToTLKBitmap, TBitmapWrapperDrawsIntoTheClassLibraryBitmap) {
  auto src = Pattern(4, 4);
  TBitmap bmp(8, 8, pf24bit);
  src->RenderToTBitmapEx(&bmp, 0, 0, 8, 8, 0, 0, 4, 4, 255, rfNone, lklNormal);
  const Byte* row = bmp.ScanLine(5);
  const TRGB want = PatternAt(3, 2);
  EXPECT_EQ((TRGB{row[7 * 3], row[7 * 3 + 1], row[7 * 3 + 2]}), want);
}

TEST(RenderToTLKBitmap, ConcurrentRendersGiveTheSameResult) {
  auto proto = Pattern(200, 150);
  auto reference = Canvas(120, 90);
  proto->RenderToTLKBitmapEx(reference.get(), -7, 3, 150, 100, 10, 5, 180, 140, 180, rfNone, lklOverlay);
  auto filteredRef = Canvas(120, 90);
  proto->RenderToTLKBitmapEx(filteredRef.get(), 0, 0, 120, 90, 0, 0, 200, 150, 255, rfFastLinear, lklNormal);
  const auto want = Bytes(*reference), wantFiltered = Bytes(*filteredRef);

  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<TLKBitmap>> sources, dests, filtered;
  for (int i = 0; i < kThreads; ++i) {
    sources.push_back(Pattern(200, 150));
    dests.push_back(Canvas(120, 90));
    filtered.push_back(Canvas(120, 90));
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      for (int k = 0; k < 5; ++k) {
        FillWith(*dests[i], kSentinel);
        sources[i]->RenderToTLKBitmapEx(dests[i].get(), -7, 3, 150, 100, 10, 5, 180, 140, 180, rfNone, lklOverlay);
        sources[i]->RenderToTLKBitmapEx(filtered[i].get(), 0, 0, 120, 90, 0, 0, 200, 150, 255, rfFastLinear,
                                        lklNormal);
      }
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(Bytes(*dests[i]), want) << i;
    EXPECT_EQ(Bytes(*filtered[i]), wantFiltered) << i;
  }
}

TEST(TLKBitmapChannelOffset, IndexOutsideTheFourIsIgnored) {
  TLKBitmap b;
  b.SetChannelOffset(4, 9);
  b.SetChannelOffset(-1, 9);
  EXPECT_FALSE(b.GetChannelOffsetEnabled());
  EXPECT_EQ(b.GetChannelOffset(4), 0);
  b.SetChannelOffset(3, 9);
  EXPECT_TRUE(b.GetChannelOffsetEnabled());
  b.SetChannelOffset(3, 0);
  EXPECT_FALSE(b.GetChannelOffsetEnabled());
}

}  // namespace
