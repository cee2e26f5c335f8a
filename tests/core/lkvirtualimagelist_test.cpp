#include "core/lkvirtualimagelist.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/lkbitmap.h"
#include "tests/core/bitmap_fixtures.h"

namespace {

using namespace bitmap_test;

// A 24-bit picture whose every pixel tells its own position.
void FillPattern(TLKBitmap& b, Byte seed) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      b.SetPixels_lk24RGB(x, y, TRGB{static_cast<Byte>(x + seed), static_cast<Byte>(y * 3), seed});
}

bool SamePixels(TLKBitmap& a, TLKBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (Integer y = 0; y < a.GetHeight(); ++y)
    for (Integer x = 0; x < a.GetWidth(); ++x) {
      TRGB p = a.GetPixels_lk24RGB(x, y), q = b.GetPixels_lk24RGB(x, y);
      if (p.r != q.r || p.g != q.g || p.b != q.b) return false;
    }
  return true;
}

TEST(VirtualImageList, RoundTripsPixelsAndAlphaPastTheMappedLimit) {
  TempFolder dir;
  TLKVirtualImageList list("ILIST");
  std::vector<TLKVirtualImageInfo*> images;
  for (Byte i = 0; i < 25; ++i) {
    TLKBitmap b(17 + i, 9, lk24RGB);
    FillPattern(b, i);
    if (i % 3 == 0) {
      TLKBitmap* a = b.GetAlphaChannel();
      a->Fill(0);
      a->SetAlpha(0, 0, 0);
      for (Integer x = 0; x < a->GetWidth(); ++x) a->SetPixels_lk8(x, 4, static_cast<Byte>(x * 7));
      a->SetFull(false);
    }
    images.push_back(list.AddLKBitmap(&b));
    EXPECT_LE(list.GetMappedCount(), 10);
  }
  // Every image comes back from the file (most were written back and dropped).
  for (Byte i = 0; i < 25; ++i) {
    TLKBitmap expect(17 + i, 9, lk24RGB);
    FillPattern(expect, i);
    TLKBitmap got;
    list.DirectCopyToBitmap(images[i], &got);
    EXPECT_TRUE(SamePixels(expect, got)) << int(i);
    EXPECT_EQ(got.GetHasAlphaChannel(), i % 3 == 0) << int(i);
    if (i % 3 == 0) EXPECT_EQ(got.GetAlphaChannel()->GetPixels_lk8(5, 4), 35);
    EXPECT_LE(list.GetMappedCount(), 10);
  }
}

TEST(VirtualImageList, LeastRecentlyUsedIsDroppedFirst) {
  TempFolder dir;
  TLKVirtualImageList list("ILIST");
  std::vector<TLKVirtualImageInfo*> images;
  for (int i = 0; i < 11; ++i) images.push_back(list.AddBlankImage(4, 4, 24, lk24RGB, false));
  for (int i = 0; i < 10; ++i) list.GetImageBits(images[i]);
  list.GetImageBits(images[1]);  // 1 becomes the most recent
  list.GetImageBits(images[10]);
  const auto& mapped = list.GetMapped();
  ASSERT_EQ(mapped.size(), 10u);
  EXPECT_EQ(images[0]->Data, nullptr);
  EXPECT_EQ(mapped.front(), images[2]);
  EXPECT_EQ(mapped[mapped.size() - 2], images[1]);
  EXPECT_EQ(mapped.back(), images[10]);
}

TEST(VirtualImageList, BlocksAreReusedFirstFitAndGrowthForgetsThem) {
  TempFolder dir;
  TLKVirtualImageList list("ILIST");
  // 100 x 100 x 24 with alpha: 30,000 + 10,000 + 1 bytes.
  TLKVirtualImageInfo* a = list.AddBlankImage(100, 100, 24, lk24RGB, true);
  EXPECT_EQ(a->Size, 40001);
  TLKVirtualImageInfo* keep = list.AddBlankImage(100, 100, 32, lk24RGB, false);  // 40,000
  const Int64 aOffset = a->Offset;
  list.Delete(a);
  ASSERT_EQ(list.GetFreeBlockCount(), 1);
  TLKVirtualImageInfo* b = list.AddBlankImage(100, 100, 24, lk24RGB, false);  // 30,000
  EXPECT_EQ(b->Offset, aOffset);
  EXPECT_EQ(list.GetFreeBlockCount(), 0);
  const Int64 end = list.GetEndOfUsedSpace();
  list.Delete(b);
  EXPECT_EQ(list.GetFreeBlockSize(0), 30000);
  EXPECT_EQ(list.GetEndOfUsedSpace(), end);
  // An image too big for the file grows it and forgets the free blocks.
  const Int64 before = list.GetFileSize();
  TLKVirtualImageInfo* big = list.AddBlankImage(400, 400, 24, lk24RGB, false);
  EXPECT_GT(list.GetFileSize(), before);
  EXPECT_EQ(list.GetFreeBlockCount(), 0);
  EXPECT_GE(list.GetFileSize(), big->Offset + big->Size);
  list.Delete(keep);
  list.Delete(big);
  EXPECT_EQ(list.GetImageCount(), 0);
  EXPECT_EQ(list.GetEndOfUsedSpace(), 0);
  EXPECT_EQ(list.GetFileSize(), list.GetGrowthStep());
}

TEST(VirtualImageList, LentBitmapsAreCountedAndCopiedBack) {
  TempFolder dir;
  TLKVirtualImageList list("ILIST");
  TLKBitmap src(8, 6, lk24RGB);
  FillPattern(src, 1);
  TLKVirtualImageInfo* image = list.AddLKBitmap(&src);
  TLKBitmap* b1 = list.GetBitmap(image);
  TLKBitmap* b2 = list.GetBitmap(image);
  ASSERT_NE(b1, nullptr);
  EXPECT_EQ(b1, b2);
  EXPECT_TRUE(SamePixels(*b1, src));
  list.ReleaseBitmap(b1, false);
  EXPECT_TRUE(image->HandedOut);
  // The lent bitmap answers the size queries while it is out.
  b2->Allocate(20, 5, lk24RGB);
  FillPattern(*b2, 9);
  EXPECT_EQ(list.GetImageWidth(image), 20);
  list.ReleaseBitmap(b2, true);
  EXPECT_FALSE(image->HandedOut);
  EXPECT_EQ(list.GetImageWidth(image), 20);
  EXPECT_EQ(list.GetImageOriginalWidth(image), 20);
  TLKBitmap expect(20, 5, lk24RGB), got;
  FillPattern(expect, 9);
  list.CopyToLKBitmap(image, &got);
  EXPECT_TRUE(SamePixels(expect, got));
  // A bitmap the list never lent changes nothing.
  list.ReleaseBitmap(&got, true);
  list.ReleaseBitmap(nullptr, true);
  EXPECT_EQ(list.GetImageWidth(image), 20);
}

TEST(VirtualImageList, GreyAndOneBitImagesKeepTheirFormat) {
  TempFolder dir;
  TLKVirtualImageList list("ILIST");
  TLKBitmap grey(5, 3, lk8g);
  grey.SetPixels_lk8(4, 2, 77);
  TLKBitmap bw(9, 3, lk1g);
  bw.Fill(0);
  bw.SetPixels_lk1g(8, 1, true);
  TLKVirtualImageInfo* g = list.AddLKBitmap(&grey);
  TLKVirtualImageInfo* w = list.AddLKBitmap(&bw);
  TLKBitmap outG, outW;
  list.DirectCopyToBitmap(g, &outG);
  list.DirectCopyToBitmap(w, &outW);
  EXPECT_EQ(outG.GetPixelFormat(), lk8g);
  EXPECT_EQ(outG.GetPixels_lk8(4, 2), 77);
  EXPECT_EQ(outW.GetPixelFormat(), lk1g);
  EXPECT_TRUE(outW.GetPixels_lk1g(8, 1));
  EXPECT_FALSE(outW.GetPixels_lk1g(7, 1));
}

}  // namespace
