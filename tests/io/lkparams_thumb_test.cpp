// The EXIF thumbnail made from the I/O component's picture: 160 pixels wide
// with the picture's aspect, and stored in the EXIF block as a second,
// old-style JPEG page that reads back.
#include <gtest/gtest.h>

#include <vector>

#include "core/lkbitmap.h"
#include "io/lkexif.h"
#include "io/lumerakio.h"

TEST(ExifThumbnail, MadeFromTheOwnersPictureAndCarriedByTheBlock) {
  TLumerakIO io;
  io.GetLKBitmap()->Allocate(640, 400, lk24RGB);
  io.GetLKBitmap()->Fill(128);
  TIOParamsVals* p = io.GetIOParams();
  p->UpdateEXIFThumbnail();
  ASSERT_NE(p->EXIF_ThumbnailImage, nullptr);
  EXPECT_EQ(p->EXIF_ThumbnailImage->GetWidth(), 160);
  EXPECT_EQ(p->EXIF_ThumbnailImage->GetHeight(), 100);
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(*p, block);
  TIOParamsVals back;
  ASSERT_TRUE(LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), back));
  ASSERT_NE(back.EXIF_ThumbnailImage, nullptr);
  EXPECT_EQ(back.EXIF_ThumbnailImage->GetWidth(), 160);
  const TRGB want = io.GetLKBitmap()->GetPixels(320, 200), got = back.EXIF_ThumbnailImage->GetPixels(80, 50);
  EXPECT_NEAR(got.r, want.r, 4);
  EXPECT_NEAR(got.g, want.g, 4);
  EXPECT_NEAR(got.b, want.b, 4);
  // A record without an owner has no picture to take.
  TIOParamsVals alone;
  alone.UpdateEXIFThumbnail();
  EXPECT_EQ(alone.EXIF_ThumbnailImage, nullptr);
}
