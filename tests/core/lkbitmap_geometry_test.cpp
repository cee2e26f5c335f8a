#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "platform/classes.h"
#include "platform/graphics.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

// Where a test picture lives: memory, a temporary file, or a class-library
// bitmap (1-, 8- and 24-bit formats only).
enum class Storage { Memory, File, VclBitmap };
const char* StorageName(Storage s) { return s == Storage::Memory ? "memory" : s == Storage::File ? "file" : "TBitmap"; }
bool Fits(Storage s, TLKPixelFormat f) {
  return s != Storage::VclBitmap || f == lk1g || f == lk8p || f == lk8g || f == lk24RGB;
}
TLKLocation LocationOf(Storage s) { return s == Storage::Memory ? lkMemory : s == Storage::File ? lkFile : lkTBitmap; }

// Distinct bytes for pixel (x, y), never equal to any fill value used here
// for a whole pixel (1-bit pixels alternate).
std::vector<Byte> Seed(TLKPixelFormat f, Integer x, Integer y) {
  const Integer bits = LKPixelFormatBitCount(f);
  if (bits == 1) return {static_cast<Byte>((x * 3 + y * 5 + x * y) % 2)};
  std::vector<Byte> v(static_cast<size_t>(bits / 8));
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<Byte>(17 + x * 29 + y * 71 + static_cast<Integer>(i) * 13);
  return v;
}

void SeedAll(TLKBitmap& b) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) PutPixel(b, x, y, Seed(b.GetPixelFormat(), x, y));
}

// The bytes FillRect writes for `value` in format f.
std::vector<Byte> FillBytes(TLKPixelFormat f, double value) {
  TLKBitmap one(1, 1, f);
  one.FillRect(0, 0, 0, 0, value);
  return GetPixel(one, 0, 0);
}

// A non-grey palette, so a class-library bitmap holding it stays lk8p.
void SetColourPalette(TLKBitmap& b) {
  for (Integer i = 0; i < b.GetPaletteLen(); ++i)
    b.SetPalette(i, TRGB{static_cast<Byte>(i), static_cast<Byte>(255 - i), static_cast<Byte>(i * 7)});
}

// A seeded w x h picture of format f in the given storage.
void MakePicture(TLKBitmap& b, Storage s, TLKPixelFormat f, Integer w, Integer h) {
  b.Allocate(w, h, f);
  if (f == lk8p) SetColourPalette(b);
  SeedAll(b);
  if (s == Storage::VclBitmap) b.SetLocation(lkTBitmap);
}

// Expected pixel after a move of the old picture by (offX, offY): the seed
// of the old pixel it came from, or the fill bytes.
std::vector<Byte> Expected(TLKPixelFormat f, Integer x, Integer y, Integer ow, Integer oh, Integer offX, Integer offY,
                           const std::vector<Byte>& fill) {
  const Integer sx = x - offX, sy = y - offY;
  if (sx >= 0 && sx < ow && sy >= 0 && sy < oh) return Seed(f, sx, sy);
  return fill;
}

Integer Offset(Integer align, Integer oldSize, Integer newSize) {
  // 0 left/top, 1 centre, 2 right/bottom; division truncates toward zero.
  return align == 0 ? 0 : align == 1 ? (newSize - oldSize) / 2 : newSize - oldSize;
}

// ---------------------------------------------------------------------------
// Resize

TEST(LKBitmapGeometry, ResizePlacesThePictureByEachAlignment) {
  StorageSettings settings(kAllInMemory);
  struct Size {
    Integer w, h;
  };
  // Growing both ways, shrinking both ways (odd differences), and mixed.
  const Size sizes[] = {{8, 6}, {2, 1}, {7, 2}, {1, 9}};
  for (Integer ha = 0; ha < 3; ++ha) {
    for (Integer va = 0; va < 3; ++va) {
      for (const Size& n : sizes) {
        SCOPED_TRACE("h" + std::to_string(ha) + " v" + std::to_string(va) + " to " + std::to_string(n.w) + "x" +
                     std::to_string(n.h));
        TLKBitmap bmp;
        MakePicture(bmp, Storage::Memory, lk8g, 4, 5);
        TLKBitmap* alpha = bmp.GetAlphaChannel();
        for (Integer y = 0; y < 5; ++y)
          for (Integer x = 0; x < 4; ++x) alpha->SetPixels_lk8(x, y, Seed(lk8g, x, y)[0]);
        bmp.Resize(n.w, n.h, 200, 9, static_cast<TLKHAlign>(ha), static_cast<TLKVAlign>(va));
        ASSERT_EQ(bmp.GetWidth(), n.w);
        ASSERT_EQ(bmp.GetHeight(), n.h);
        ASSERT_TRUE(bmp.GetHasAlphaChannel());
        ASSERT_EQ(bmp.GetAlphaChannel()->GetWidth(), n.w);
        ASSERT_EQ(bmp.GetAlphaChannel()->GetHeight(), n.h);
        const Integer offX = Offset(ha, 4, n.w), offY = Offset(va, 5, n.h);
        for (Integer y = 0; y < n.h; ++y) {
          for (Integer x = 0; x < n.w; ++x) {
            ASSERT_EQ(GetPixel(bmp, x, y), Expected(lk8g, x, y, 4, 5, offX, offY, {200})) << x << "," << y;
            ASSERT_EQ(GetPixel(*bmp.GetAlphaChannel(), x, y), Expected(lk8g, x, y, 4, 5, offX, offY, {9}))
                << "alpha " << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(LKBitmapGeometry, ResizeFourByFourToEightBySixCentreBottom) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp(4, 4, lk8g);
  bmp.Fill(50);
  bmp.Resize(8, 6, 0, 0, lkhCenter, lkvBottom);
  for (Integer y = 0; y < 6; ++y)
    for (Integer x = 0; x < 8; ++x)
      EXPECT_EQ(bmp.GetPixels_lk8(x, y), (x >= 2 && x <= 5 && y >= 2) ? 50 : 0) << x << "," << y;
}

TEST(LKBitmapGeometry, ResizeKeepsPixelsInEveryFormatAndStorage) {
  const Storage storages[] = {Storage::Memory, Storage::File, Storage::VclBitmap};
  for (Storage s : storages) {
    StorageSettings settings(s == Storage::File ? kAllInFiles : kAllInMemory);
    for (TLKPixelFormat f : kFormats) {
      if (!Fits(s, f)) continue;
      SCOPED_TRACE(std::string(StorageName(s)) + " format " + std::to_string(f));
      // Odd widths put 1-bit runs across byte borders.
      struct Step {
        Integer w, h;
        TLKHAlign ha;
        TLKVAlign va;
      };
      const Step steps[] = {{13, 9, lkhCenter, lkvCenter}, {7, 4, lkhCenter, lkvCenter}, {4, 3, lkhRight, lkvBottom}};
      TLKBitmap bmp;
      MakePicture(bmp, s, f, 6, 5);
      const std::vector<Byte> fill = FillBytes(f, 0x00A0B0C0);
      Integer ow = 6, oh = 5, totalX = 0, totalY = 0;
      for (const Step& st : steps) {
        bmp.Resize(st.w, st.h, 0x00A0B0C0, 255, st.ha, st.va);
        ASSERT_EQ(bmp.GetLocation(), LocationOf(s));
        ASSERT_EQ(bmp.GetPixelFormat(), f);
        totalX += Offset(st.ha, ow, st.w);
        totalY += Offset(st.va, oh, st.h);
        ow = st.w;
        oh = st.h;
      }
      // Growing to 13 x 9 moves the picture by (3, 2), shrinking to 7 x 4 by
      // (-3, -2), shrinking at the right and bottom to 4 x 3 by (-3, -1):
      // each pixel shows the seed of the original picture or the fill.
      for (Integer y = 0; y < oh; ++y)
        for (Integer x = 0; x < ow; ++x)
          ASSERT_EQ(GetPixel(bmp, x, y), Expected(f, x, y, 6, 5, totalX, totalY, fill)) << x << "," << y;
      if (f == lk8p) {
        EXPECT_EQ(bmp.GetPalette(7), (TRGB{7, 248, 49}));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// SetWidth and SetHeight

TEST(LKBitmapGeometry, SetWidthAndHeightKeepTheTopLeftPixels) {
  const Storage storages[] = {Storage::Memory, Storage::File, Storage::VclBitmap};
  for (Storage s : storages) {
    StorageSettings settings(s == Storage::File ? kAllInFiles : kAllInMemory);
    for (TLKPixelFormat f : kFormats) {
      if (!Fits(s, f)) continue;
      SCOPED_TRACE(std::string(StorageName(s)) + " format " + std::to_string(f));
      TLKBitmap bmp;
      MakePicture(bmp, s, f, 11, 7);
      TLKBitmap* alpha = bmp.GetAlphaChannel();
      alpha->SetPixels_lk8(2, 3, 77);
      bmp.SetWidth(5);
      bmp.SetHeight(9);
      bmp.SetWidth(17);
      ASSERT_EQ(bmp.GetWidth(), 17);
      ASSERT_EQ(bmp.GetHeight(), 9);
      ASSERT_EQ(bmp.GetPixelFormat(), f);
      ASSERT_EQ(bmp.GetLocation(), LocationOf(s));
      for (Integer y = 0; y < 7; ++y)
        for (Integer x = 0; x < 5; ++x) ASSERT_EQ(GetPixel(bmp, x, y), Seed(f, x, y)) << x << "," << y;
      // The alpha channel follows once, keeping its samples.
      EXPECT_EQ(bmp.GetAlphaChannel(), alpha);
      EXPECT_EQ(alpha->GetWidth(), 17);
      EXPECT_EQ(alpha->GetHeight(), 9);
      EXPECT_EQ(alpha->GetPixels_lk8(2, 3), 77);
      EXPECT_EQ(alpha->GetPixels_lk8(4, 6), 255);
      // A reallocated lk8p picture keeps its palette.
      if (f == lk8p) {
        EXPECT_EQ(bmp.GetPalette(7), (TRGB{7, 248, 49}));
      }
    }
  }
}

TEST(LKBitmapGeometry, SetWidthWithoutPixelsOnlyRecordsTheSize) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap empty;
  empty.SetWidth(20);
  EXPECT_EQ(empty.GetWidth(), 20);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.GetMemory(), nullptr);
  EXPECT_FALSE(empty.GetFileBuffer()->IsAllocated());

  // With a format, the second dimension brings the pixels.
  TLKBitmap later;
  later.Allocate(0, 0, lk24RGB);
  later.SetWidth(3);
  EXPECT_TRUE(later.IsEmpty());
  later.SetHeight(2);
  EXPECT_FALSE(later.IsEmpty());
  EXPECT_EQ(later.GetRowLen(), 12);

  // A negative size counts as 0.
  TLKBitmap neg(4, 4, lk8g);
  neg.SetWidth(-3);
  EXPECT_EQ(neg.GetWidth(), 0);
  EXPECT_TRUE(neg.IsEmpty());
}

// ---------------------------------------------------------------------------
// MoveRegion

TEST(LKBitmapGeometry, MoveRegionMovesTheBlockAndFillsWhatItLeft) {
  StorageSettings settings(kAllInMemory);
  for (TLKPixelFormat f : {lk8g, lk1g, lk48RGB}) {
    SCOPED_TRACE(std::to_string(f));
    TLKBitmap bmp;
    MakePicture(bmp, Storage::Memory, f, 20, 20);
    bmp.MoveRegion(0, 0, 9, 9, 5, 5, 0);
    const std::vector<Byte> zero = FillBytes(f, 0);
    for (Integer y = 0; y < 20; ++y) {
      for (Integer x = 0; x < 20; ++x) {
        std::vector<Byte> want;
        if (x >= 5 && x <= 14 && y >= 5 && y <= 14)
          want = Seed(f, x - 5, y - 5);
        else if (x <= 9 && y <= 9)
          want = zero;
        else
          want = Seed(f, x, y);
        ASSERT_EQ(GetPixel(bmp, x, y), want) << x << "," << y;
      }
    }
  }
}

TEST(LKBitmapGeometry, MoveRegionClipsAtThePictureEdges) {
  StorageSettings settings(kAllInMemory);
  struct Case {
    const char* name;
    Integer x1, y1, x2, y2, dx, dy;
  };
  const Case cases[] = {
      {"destination past the right and bottom", 2, 2, 5, 5, 6, 7},
      {"destination left of and above the picture", 3, 3, 6, 6, -2, -1},
      {"rectangle reaching past the picture", -2, -1, 20, 3, 1, 1},
      {"destination far outside", 0, 0, 3, 3, 100, -100},
      {"empty rectangle", 5, 0, 4, 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap bmp;
    MakePicture(bmp, Storage::Memory, lk8g, 8, 8);
    bmp.MoveRegion(c.x1, c.y1, c.x2, c.y2, c.dx, c.dy, 1);
    // Reference: the part of the rectangle inside the picture, moved with its
    // offset from the rectangle's corner, clipped at the destination.
    const Integer l = std::max(c.x1, 0), t = std::max(c.y1, 0);
    const Integer r = std::min(c.x2, 7), b = std::min(c.y2, 7);
    const Integer ox = c.dx + (l - c.x1) - l, oy = c.dy + (t - c.y1) - t;
    for (Integer y = 0; y < 8; ++y) {
      for (Integer x = 0; x < 8; ++x) {
        const Integer sx = x - ox, sy = y - oy;
        std::vector<Byte> want;
        if (r >= l && b >= t && sx >= l && sx <= r && sy >= t && sy <= b)
          want = Seed(lk8g, sx, sy);
        else if (r >= l && b >= t && x >= l && x <= r && y >= t && y <= b)
          want = {1};
        else
          want = Seed(lk8g, x, y);
        ASSERT_EQ(GetPixel(bmp, x, y), want) << x << "," << y;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Storage changes

TEST(LKBitmapGeometry, SetLocationRoundTripsKeepPixelsPaletteAndAlpha) {
  StorageSettings settings(kAllInMemory);
  for (TLKPixelFormat f : {lk1g, lk8p, lk8g, lk24RGB}) {
    SCOPED_TRACE(std::to_string(f));
    TLKBitmap bmp;
    MakePicture(bmp, Storage::Memory, f, 13, 6);
    bmp.GetAlphaChannel()->SetPixels_lk8(12, 5, 3);
    bmp.SetMinFileSize(kAllInMemory);
    for (TLKLocation l : {lkTBitmap, lkFile, lkMemory, lkTBitmap, lkMemory}) {
      bmp.SetMinFileSize(l == lkFile ? kAllInFiles : kAllInMemory);
      bmp.SetLocation(l);
      ASSERT_EQ(bmp.GetLocation(), l);
      ASSERT_EQ(bmp.GetPixelFormat(), f);
      ASSERT_FALSE(bmp.GetFull());
      for (Integer y = 0; y < 6; ++y)
        for (Integer x = 0; x < 13; ++x) ASSERT_EQ(GetPixel(bmp, x, y), Seed(f, x, y)) << l << ": " << x << "," << y;
      ASSERT_TRUE(bmp.GetHasAlphaChannel());
      ASSERT_EQ(bmp.GetAlphaChannel()->GetPixels_lk8(12, 5), 3);
      if (f == lk8p) {
        ASSERT_EQ(bmp.GetPalette(200), (TRGB{200, 55, static_cast<Byte>(200 * 7)}));
      }
    }
  }
}

TEST(LKBitmapGeometry, SetLocationFollowsTheSizeRule) {
  StorageSettings settings(100);
  TLKBitmap bmp;
  MakePicture(bmp, Storage::Memory, lk24RGB, 20, 20);  // 1,200 bytes: a file
  ASSERT_EQ(bmp.GetLocation(), lkFile);
  bmp.SetLocation(lkTBitmap);
  ASSERT_EQ(bmp.GetLocation(), lkTBitmap);
  bmp.SetLocation(lkMemory);
  EXPECT_EQ(bmp.GetLocation(), lkFile);
  EXPECT_EQ(GetPixel(bmp, 19, 19), Seed(lk24RGB, 19, 19));
}

TEST(LKBitmapGeometry, SixteenBitGreyMovedIntoATBitmapKeepsTheHighBytes) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp(3, 2, lk16g);
  bmp.SetPixels_lk16g(2, 1, 0xAB12);
  bmp.SetPixels_lk16g(0, 0, 0x0180);
  bmp.SetLocation(lkTBitmap);
  EXPECT_EQ(bmp.GetPixelFormat(), lk8g);
  EXPECT_EQ(bmp.GetPixels_lk8(2, 1), 0xAB);
  EXPECT_EQ(bmp.GetPixels_lk8(0, 0), 0x01);
}

TEST(LKBitmapGeometry, AFormatATBitmapCannotHoldStaysWhereItWas) {
  StorageSettings settings(kAllInMemory);
  struct Case {
    TLKPixelFormat f;
    const char* message;
  };
  const Case cases[] = {{lk32f, "lk32f pixel format not allowed when Location=lkTBitmap"},
                        {lkCMYK, "lkCMYK pixel format not allowed when Location=lkTBitmap"},
                        {lk48RGB, "lkRGB48 pixel format not allowed when Location=lkTBitmap"},
                        {lkCIELab, "lkCIELab pixel format not allowed when Location=lkTBitmap"}};
  for (const Case& c : cases) {
    TLKBitmap bmp;
    MakePicture(bmp, Storage::Memory, c.f, 4, 3);
    bmp.GetAlphaChannel()->SetPixels_lk8(1, 1, 5);
    try {
      bmp.SetLocation(lkTBitmap);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    ASSERT_EQ(bmp.GetLocation(), lkMemory);
    ASSERT_EQ(bmp.GetPixelFormat(), c.f);
    ASSERT_FALSE(bmp.IsEmpty());
    EXPECT_EQ(GetPixel(bmp, 3, 2), Seed(c.f, 3, 2));
    ASSERT_TRUE(bmp.GetHasAlphaChannel());
    EXPECT_EQ(bmp.GetAlphaChannel()->GetPixels_lk8(1, 1), 5);
  }
}

TEST(LKBitmapGeometry, DrawingOnTheCanvasMovesThePixelsIntoATBitmapForGood) {
  StorageSettings settings(kAllInMemory);
  TLKBitmap bmp;
  MakePicture(bmp, Storage::Memory, lk24RGB, 5, 4);
  TCanvas* canvas = bmp.GetCanvas();
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(bmp.GetLocation(), lkTBitmap);
  canvas->SetPixel(1, 2, static_cast<TColor>(0x00332211));  // red 0x11, green 0x22, blue 0x33
  EXPECT_EQ(bmp.GetPixels_lk24RGB(1, 2), (TRGB{0x33, 0x22, 0x11}));
  EXPECT_EQ(GetPixel(bmp, 4, 3), Seed(lk24RGB, 4, 3));
  EXPECT_EQ(bmp.GetVclBitmap()->GetWidth(), 5);
  EXPECT_EQ(bmp.GetLocation(), lkTBitmap);

  TLKBitmap empty;
  EXPECT_EQ(empty.GetCanvas(), nullptr);
}

TEST(LKBitmapGeometry, SetBitAlignmentReLaysOutRowsInEveryStorage) {
  const Storage storages[] = {Storage::Memory, Storage::File, Storage::VclBitmap};
  for (Storage s : storages) {
    StorageSettings settings(s == Storage::File ? kAllInFiles : kAllInMemory);
    for (TLKPixelFormat f : {lk1g, lk24RGB, lk16g}) {
      if (!Fits(s, f)) continue;
      SCOPED_TRACE(std::string(StorageName(s)) + " format " + std::to_string(f));
      TLKBitmap bmp;
      MakePicture(bmp, s, f, 13, 4);
      bmp.GetAlphaChannel()->SetPixels_lk8(12, 3, 9);
      for (Integer bits : {8, 16, 32, 8}) {
        bmp.SetBitAlignment(bits);
        ASSERT_EQ(bmp.GetBitAlignment(), bits);
        ASSERT_EQ(bmp.GetRowLen(), LKBitmapRowLen(13, bmp.GetBitCount(), bits));
        ASSERT_EQ(bmp.GetLocation(), LocationOf(s));
        for (Integer y = 0; y < 4; ++y)
          for (Integer x = 0; x < 13; ++x) ASSERT_EQ(GetPixel(bmp, x, y), Seed(f, x, y)) << bits << ": " << x << "," << y;
        ASSERT_EQ(bmp.GetAlphaChannel()->GetPixels_lk8(12, 3), 9);
      }
      // Values other than 8, 16 and 32 are refused.
      bmp.SetBitAlignment(24);
      EXPECT_EQ(bmp.GetBitAlignment(), 8);
      // The stored form matches the new layout: it reads back unchanged.
      TMemoryStream ms;
      ASSERT_TRUE(bmp.SaveRAWToBufferOrStream(nullptr, &ms));
      ms.SetPosition(0);
      TLKBitmap back;
      ASSERT_TRUE(back.LoadRAWFromBufferOrStream(nullptr, &ms));
      EXPECT_EQ(back.GetRowLen(), bmp.GetRowLen());
      EXPECT_EQ(GetPixel(back, 12, 3), Seed(f, 12, 3));
    }
  }
}

}  // namespace
