#include "core/lkbitmappalette.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"

namespace {

TEST(BitmapPaletteTest, GreyTable) {
  TBitmap bmp(4, 4, pf8bit);
  EXPECT_FALSE(LKIsGrayPalette(&bmp));  // the default table is colours
  LKSetGrayPalette(&bmp);
  EXPECT_TRUE(LKIsGrayPalette(&bmp));
  TRGBQuad q{1, 2, 3, 0};
  bmp.SetColorTable(200, 1, &q);
  EXPECT_FALSE(LKIsGrayPalette(&bmp));

  TBitmap rgb(2, 2, pf24bit);  // no table: counts as grey
  EXPECT_TRUE(LKIsGrayPalette(&rgb));
  LKSetGrayPalette(&rgb);  // nothing to set, nothing breaks
  TBitmap mono(2, 2, pf1bit);  // black, white: entry 1 is not grey 1
  EXPECT_FALSE(LKIsGrayPalette(&mono));
  EXPECT_FALSE(LKIsGrayPalette(nullptr));
}

TEST(BitmapPaletteTest, CopyTableToBuffer) {
  TBitmap bmp(2, 2, pf8bit);
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i)
    table[i] = TRGBQuad{static_cast<Byte>(i), static_cast<Byte>(255 - i), static_cast<Byte>(i / 2), 0};
  bmp.SetColorTable(table);

  auto dest = std::make_unique<TLKBitmap>(2, 2, lk8p);
  LKCopyTBitmapPaletteToTLKBitmap(&bmp, dest.get());
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(dest->GetPalette(i), (TRGB{static_cast<Byte>(i), static_cast<Byte>(255 - i), static_cast<Byte>(i / 2)}));

  // Only pf8bit into lk8p.
  auto grey = std::make_unique<TLKBitmap>(2, 2, lk8p);
  grey->SetPalette(7, TRGB{9, 9, 9});
  TBitmap four(2, 2, pf4bit);
  LKCopyTBitmapPaletteToTLKBitmap(&four, grey.get());
  EXPECT_EQ(grey->GetPalette(7), (TRGB{9, 9, 9}));
  auto rgb = std::make_unique<TLKBitmap>(2, 2, lk24RGB);
  LKCopyTBitmapPaletteToTLKBitmap(&bmp, rgb.get());
  EXPECT_EQ(rgb->GetPaletteLen(), 0);
}

}  // namespace
