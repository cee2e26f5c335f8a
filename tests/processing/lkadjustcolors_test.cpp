#include "processing/lkadjustcolors.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/lkbitmap.h"

namespace {

// A one-row 24-bit bitmap of the given pixels.
std::unique_ptr<TLKBitmap> Row24(const std::vector<TRGB>& px) {
  auto b = std::make_unique<TLKBitmap>();
  b->Allocate(Integer(px.size()), 1, lk24RGB);
  for (size_t i = 0; i < px.size(); ++i) b->SetPixels_lk24RGB(Integer(i), 0, px[i]);
  return b;
}

TRGB Bgr(Byte b, Byte g, Byte r) { return TRGB{b, g, r}; }

// Reference of two pixels: blue 0 and 255, green 100 twice, red 0 and 128.
std::vector<TRGB> ReferencePixels() { return {Bgr(0, 100, 0), Bgr(255, 100, 128)}; }
// Picture of four pixels with distinct levels per channel.
std::vector<TRGB> PicturePixels() {
  return {Bgr(10, 10, 40), Bgr(20, 20, 30), Bgr(30, 30, 20), Bgr(40, 40, 10)};
}

}  // namespace

// Worked values. Each channel of the picture is equalised (4 distinct levels
// become 63, 127, 191, 255), then each equalised level takes the reference
// level of nearest cumulative share:
//  blue  reference shares 127.5 (levels 0..254), 255 (255): up to 191 -> 0, above -> 255
//  green reference shares 0 (levels 0..99), 255 (100..): up to 127 -> 0, above -> 100
//  red   reference shares 127.5 (0..127), 255 (128..): up to 191 -> 0, above -> 128
TEST(AdjustColorsTest, WorkedValues24) {
  auto ref = Row24(ReferencePixels());
  auto pic = Row24(PicturePixels());
  LKAdjustColors(ref.get(), pic.get());
  const TRGB expected[] = {Bgr(0, 0, 128), Bgr(0, 0, 0), Bgr(0, 100, 0), Bgr(255, 100, 0)};
  for (Integer x = 0; x < 4; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(pic->GetPixels_lk24RGB(x, 0), expected[x]);
  }
  // The reference is read only.
  EXPECT_EQ(ref->GetPixels_lk24RGB(1, 0), Bgr(255, 100, 128));
}

// A 48-bit picture is matched on the high bytes of its samples (red, green,
// blue order) and every sample ends as the 24-bit result times 257.
TEST(AdjustColorsTest, FortyEightBitMatchesOnHighBytes) {
  auto ref = Row24(ReferencePixels());
  auto pic24 = Row24(PicturePixels());
  TLKBitmap pic48;
  pic48.Allocate(4, 1, lk48RGB);
  for (Integer x = 0; x < 4; ++x) {
    const TRGB p = pic24->GetPixels_lk24RGB(x, 0);
    // Low bytes differ per pixel and must not change the result.
    pic48.SetPixels_lk48RGB(x, 0, TRGB48{Word(p.r * 256 + 3 * x), Word(p.g * 256 + 200), Word(p.b * 256 + 255)});
  }
  LKAdjustColors(ref.get(), pic24.get());
  LKAdjustColors(ref.get(), &pic48);
  for (Integer x = 0; x < 4; ++x) {
    SCOPED_TRACE(x);
    const TRGB e = pic24->GetPixels_lk24RGB(x, 0);
    const TRGB48 got = pic48.GetPixels_lk48RGB(x, 0);
    EXPECT_EQ(got, (TRGB48{Word(e.r * 257), Word(e.g * 257), Word(e.b * 257)}));
  }
}

// A picture already holding the reference's distribution keeps its levels.
TEST(AdjustColorsTest, MatchingToItselfKeepsTwoLevelPicture) {
  auto ref = Row24({Bgr(0, 0, 0), Bgr(255, 255, 255)});
  auto pic = Row24({Bgr(0, 0, 0), Bgr(255, 255, 255)});
  LKAdjustColors(ref.get(), pic.get());
  EXPECT_EQ(pic->GetPixels_lk24RGB(0, 0), Bgr(0, 0, 0));
  EXPECT_EQ(pic->GetPixels_lk24RGB(1, 0), Bgr(255, 255, 255));
}

// Nothing changes without a usable reference or picture.
TEST(AdjustColorsTest, UnusableInputsChangeNothing) {
  struct Case {
    const char* name;
    TLKPixelFormat refFormat;
    Integer refWidth;
    TLKPixelFormat picFormat;
  };
  const Case cases[] = {
      {"grey reference", lk8g, 2, lk24RGB},
      {"empty reference", lk24RGB, 0, lk24RGB},
      {"grey picture", lk24RGB, 2, lk8g},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap ref;
    if (c.refWidth > 0) {
      ref.Allocate(c.refWidth, 1, c.refFormat);
      ref.Fill(0);
    }
    TLKBitmap pic;
    pic.Allocate(3, 2, c.picFormat);
    for (Integer y = 0; y < 2; ++y) {
      Byte* row = static_cast<Byte*>(pic.GetScanLine(y));
      for (Integer i = 0; i < pic.GetRowLen(); ++i) row[i] = Byte(17 + 5 * i + y);
    }
    TLKBitmap before;
    before.Assign(&pic);
    LKAdjustColors(&ref, &pic);
    for (Integer y = 0; y < 2; ++y)
      for (Integer i = 0; i < pic.GetRowLen(); ++i)
        ASSERT_EQ(static_cast<Byte*>(pic.GetScanLine(y))[i], static_cast<Byte*>(before.GetScanLine(y))[i]);
  }
  // An empty picture and null pointers are ignored.
  auto ref = Row24(ReferencePixels());
  TLKBitmap empty;
  LKAdjustColors(ref.get(), &empty);
  EXPECT_TRUE(empty.IsEmpty());
  LKAdjustColors(nullptr, ref.get());
  LKAdjustColors(ref.get(), nullptr);
  EXPECT_EQ(ref->GetPixels_lk24RGB(1, 0), Bgr(255, 100, 128));
}
