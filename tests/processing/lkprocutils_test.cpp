#include "processing/lkprocutils.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/graphics.h"

namespace {

TEST(ProcUtilsTest, IntegerLimits) {
  struct Case {
    Integer v, lo, hi, expected;
  };
  // ilimit tests the low bound first, so an inverted range gives low for
  // v <= low and high for everything else.
  const Case cases[] = {
      {7, 0, 5, 5}, {-1, 0, 5, 0}, {0, 0, 5, 0}, {3, 0, 5, 3}, {5, 0, 5, 5},
      {9, 10, 2, 10}, {10, 10, 2, 10}, {11, 10, 2, 2}, {-4, 10, 2, 10},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ilimit(c.v, c.lo, c.hi), c.expected) << c.v << " in " << c.lo << ".." << c.hi;

  EXPECT_EQ(imin(5, 5), 5);
  EXPECT_EQ(imax(5, 5), 5);
  EXPECT_EQ(imin(-3, 2), -3);
  EXPECT_EQ(imax(-3, 2), 2);
  EXPECT_EQ(blimit(-3), 0);
  EXPECT_EQ(blimit(300), 255);
  EXPECT_EQ(blimit(255), 255);
  EXPECT_EQ(blimit(17), 17);
  EXPECT_EQ(dmin(1.5, -2.0), -2.0);
  EXPECT_EQ(dmax(1.5, -2.0), 1.5);
}

TEST(ProcUtilsTest, LKCeil) {
  const std::pair<long double, Integer> cases[] = {
      {3.0L, 3}, {3.0001L, 4}, {-0.5L, 0}, {2.1L, 3}, {-2.5L, -2}, {0.0L, 0}, {-3.0L, -3},
      {1e300L, 2147483647}, {-1e300L, -2147483647 - 1},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(LKCeil(x), expected) << static_cast<double>(x);
}

TEST(ProcUtilsTest, OrdCorAndSwaps) {
  Integer x1 = 10, y1 = 20, x2 = 5, y2 = 30;
  OrdCor(x1, y1, x2, y2);
  EXPECT_EQ(x1, 5);
  EXPECT_EQ(y1, 20);
  EXPECT_EQ(x2, 10);
  EXPECT_EQ(y2, 30);
  x1 = 1, y1 = 9, x2 = 2, y2 = -9;
  OrdCor(x1, y1, x2, y2);
  EXPECT_EQ(y1, -9);
  EXPECT_EQ(y2, 9);

  double a = 1.5, b = -2.5;
  lkdswap(a, b);
  EXPECT_EQ(a, -2.5);
  EXPECT_EQ(b, 1.5);
}

TEST(ProcUtilsTest, ColourHelpers) {
  EXPECT_EQ(TRGB2TColor(CreateRGB(1, 2, 3)), 197121);
  EXPECT_EQ(RGB2TColor(1, 2, 3), 197121);
  const TRGB c = TColor2TRGB(197121);
  EXPECT_EQ(c.r, 1);
  EXPECT_EQ(c.g, 2);
  EXPECT_EQ(c.b, 3);
  EXPECT_TRUE(EqualRGB(CreateRGB(4, 5, 6), CreateRGB(4, 5, 6)));
  EXPECT_FALSE(EqualRGB(CreateRGB(4, 5, 6), CreateRGB(4, 5, 7)));
}

TEST(ProcUtilsTest, GreyUsesCurrentWeights) {
  EXPECT_EQ(_RGBToGray(CreateRGB(255, 255, 255)), 255);
  EXPECT_EQ(_RGBToGray(CreateRGB(255, 0, 0)), 53);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 255, 0)), 181);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 0, 255)), 20);
  const Integer saved[3] = {gRedToGrayCoef, gGreenToGrayCoef, gBlueToGrayCoef};
  gRedToGrayCoef = 30, gGreenToGrayCoef = 59, gBlueToGrayCoef = 11;
  const Integer red = _RGBToGray(CreateRGB(255, 0, 0));
  gRedToGrayCoef = saved[0], gGreenToGrayCoef = saved[1], gBlueToGrayCoef = saved[2];
  EXPECT_EQ(red, 76);
}

TEST(ProcUtilsTest, OneBitPixels) {
  Byte row[2] = {0x80, 0x00};
  EXPECT_EQ(_GetPixelbw(row, 0), 128u);
  EXPECT_EQ(_GetPixelbw(row, 1), 0u);
  _SetPixelbw(row, 9, 1);
  EXPECT_EQ(row[1], 0x40);
  _SetPixelbw(row, 0, 0);
  EXPECT_EQ(row[0], 0x00);
  _SetPixelbw(row, 15, -7);
  EXPECT_EQ(row[1], 0x41);
}

// Reference: copies bit by bit, reading only bits inside the source row.
void CopyBitsSlow(std::vector<Byte>& dst, const std::vector<Byte>& src, int dpos, int spos,
                  int count) {
  for (int i = 0; i < count && spos + i < static_cast<int>(src.size()) * 8; ++i) {
    const bool bit = src[(spos + i) / 8] & (0x80 >> ((spos + i) % 8));
    Byte& d = dst[(dpos + i) / 8];
    const Byte m = static_cast<Byte>(0x80 >> ((dpos + i) % 8));
    d = bit ? (d | m) : (d & ~m);
  }
}

TEST(ProcUtilsTest, CopyBitsSpanningBytes) {
  // 3 bits from source bit 6 to destination bit 7: two bytes on each side,
  // and the other 13 destination bits stay as they were.
  const Byte src[2] = {0b00000010, 0b10000000};  // bits 6, 7, 8 = 1, 0, 1
  Byte dst[2] = {0x00, 0xFF};
  _CopyBits(dst, src, 7, 6, 3, 2);
  EXPECT_EQ(dst[0], 0x01);
  EXPECT_EQ(dst[1], 0b01111111);
}

TEST(ProcUtilsTest, CopyBitsMatchesBitwiseCopy) {
  std::vector<Byte> src(9);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<Byte>(0x5A ^ (i * 37));
  for (int spos = 0; spos < 20; spos += 3)
    for (int dpos = 0; dpos < 19; dpos += 5)
      for (int count = 1; count <= 60; count += 7) {
        std::vector<Byte> want(12, 0xC3), got(12, 0xC3);
        CopyBitsSlow(want, src, dpos, spos, count);
        _CopyBits(got.data(), src.data(), dpos, spos, count, 9);
        ASSERT_EQ(got, want) << "spos " << spos << " dpos " << dpos << " count " << count;
      }
}

TEST(ProcUtilsTest, CopyBitsRefusesBadArgumentsAndStaysInTheRow) {
  const std::vector<Byte> src = {0xFF, 0xFF};
  std::vector<Byte> dst(4, 0);
  _CopyBits(dst.data(), src.data(), 0, 0, 0, 2);
  _CopyBits(dst.data(), src.data(), -1, 0, 8, 2);
  _CopyBits(dst.data(), src.data(), 0, -1, 8, 2);
  EXPECT_EQ(dst, std::vector<Byte>(4, 0));
  // A run longer than the row stops at the row's end (ASan guards the read).
  _CopyBits(dst.data(), src.data(), 4, 3, 32, 2);
  EXPECT_EQ(dst, (std::vector<Byte>{0x0F, 0xFF, 0x80, 0x00}));
  // A start past the row's end copies nothing.
  _CopyBits(dst.data(), src.data(), 24, 16, 8, 2);
  EXPECT_EQ(dst[3], 0x00);
}

TEST(ProcUtilsTest, SystemColoursAreResolved) {
  const TColor window = ColorToRGB(clWindow);
  ASSERT_GE(window, 0);
  EXPECT_EQ(TRGB2TColor(TColor2TRGB(clWindow)), window);
  EXPECT_EQ(TRGB2TColor(TColor2TRGB(clBtnFace)), ColorToRGB(clBtnFace));
}

TEST(ProcUtilsTest, CopyBitmap) {
  // An indexed picture with its own table: pixels and table both travel.
  TBitmap src(5, 3, pf8bit);
  std::vector<TRGBQuad> table(256);
  for (int i = 0; i < 256; ++i) table[i] = TRGBQuad{static_cast<Byte>(i), 0, static_cast<Byte>(255 - i), 0};
  src.SetColorTable(table);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 5; ++x) src.ScanLine(y)[x] = static_cast<Byte>(y * 5 + x);

  TBitmap dest(9, 9, pf24bit);
  LKCopyBitmap(&src, &dest);
  EXPECT_EQ(dest.GetWidth(), 5);
  EXPECT_EQ(dest.GetHeight(), 3);
  EXPECT_EQ(dest.GetPixelFormat(), pf8bit);
  EXPECT_EQ(dest.GetColorTable(), table);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 5; ++x) ASSERT_EQ(dest.ScanLine(y)[x], y * 5 + x);

  std::unique_ptr<TBitmap> clone(LKCloneBitmap(&src));
  EXPECT_EQ(clone->GetPixelFormat(), pf8bit);
  EXPECT_EQ(clone->ScanLine(2)[4], 14);
  EXPECT_EQ(clone->GetColorTable(), table);

  // A source without pixels leaves the destination 1 x 1 in its format.
  TBitmap empty;
  empty.SetPixelFormat(pf1bit);
  LKCopyBitmap(&empty, &dest);
  EXPECT_EQ(dest.GetWidth(), 1);
  EXPECT_EQ(dest.GetHeight(), 1);
  EXPECT_EQ(dest.GetPixelFormat(), pf1bit);
}

}  // namespace
