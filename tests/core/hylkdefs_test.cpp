#include "core/hylkdefs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "core/lkioglobals.h"
#include "platform/classes.h"
#include "platform/graphics.h"
#include "platform/syncobjs.h"
#include "platform/sysutils.h"

namespace {

TEST(PixelFormatTables, BitsAndChannelsPerFormat) {
  struct Row {
    TLKPixelFormat f;
    Integer bits, channels;
  };
  const Row rows[] = {{lknull, 0, 0}, {lk1g, 1, 1},    {lk8p, 8, 1},    {lk8g, 8, 1},
                      {lk16g, 16, 1}, {lk24RGB, 24, 3}, {lk32f, 32, 1},  {lkCMYK, 32, 4},
                      {lk48RGB, 48, 3}, {lkCIELab, 24, 3}};
  for (const Row& r : rows) {
    EXPECT_EQ(LKPixelFormatBitCount(r.f), r.bits) << int(r.f);
    EXPECT_EQ(LKPixelFormatChannelCount(r.f), r.channels) << int(r.f);
  }
  // An ordinal past the table (as a corrupt stream could carry) reads as 0.
  EXPECT_EQ(LKPixelFormatBitCount(static_cast<TLKPixelFormat>(10)), 0);
  EXPECT_EQ(LKPixelFormatChannelCount(static_cast<TLKPixelFormat>(200)), 0);
}

TEST(PixelFormatTables, SetsAndAccess) {
  TLKPixelFormatSet s{lk1g, lk24RGB};
  EXPECT_TRUE(s.Contains(lk24RGB));
  EXPECT_FALSE(s.Contains(lk8g));
  s.Include(lk8g);
  s.Exclude(lk1g);
  EXPECT_EQ(s, (TLKPixelFormatSet{lk8g, lk24RGB}));
  TLKDataAccess rw{lkdRead, lkdWrite};
  EXPECT_EQ(rw - TLKDataAccess{lkdWrite}, TLKDataAccess{lkdRead});
  EXPECT_TRUE(TLKDataAccess{}.Empty());
}

TEST(RowLen, Table) {
  struct Row {
    Integer width, bits, align, expected;
  };
  const Row rows[] = {
      {1, 1, 32, 4},   {33, 1, 32, 8},   {3, 24, 32, 12}, {3, 24, 8, 9},  {3, 24, 16, 10},
      {0, 24, 32, 0},  {0, 1, 8, 0},     {100, 24, 32, 300}, {10, 24, 32, 32},
      {5, 48, 32, 32}, {7, 16, 16, 14},  {9, 1, 8, 2},    {9, 1, 16, 2},  {17, 1, 16, 4},
  };
  for (const Row& r : rows)
    EXPECT_EQ(LKBitmapRowLen(r.width, r.bits, r.align), r.expected)
        << r.width << "x" << r.bits << "/" << r.align;
}

TEST(RowLen, HugeWidthsSaturateInsteadOfWrapping) {
  // 2^28 pixels of 24 bits is 6 GiB of bits: a 32-bit product would wrap to
  // a short row and let callers write past their buffers.
  EXPECT_EQ(LKBitmapRowLen(1 << 28, 24, 32), 805306368);
  EXPECT_EQ(LKBitmapRowLen(std::numeric_limits<Integer>::max(), 48, 32),
            std::numeric_limits<Integer>::max());
  EXPECT_EQ(LKBitmapRowLen(-5, 24, 32), 0);
}

TEST(BitHelpers, GetBitCountAndColourBits) {
  EXPECT_EQ(_GetBitCount(0x0000F800u), 5);  // bits 11..15
  EXPECT_EQ(_GetBitCount(0xFF000000u), 8);  // bits 24..31
  EXPECT_EQ(_GetBitCount(0xFFFFFFFFu), 32);
  EXPECT_EQ(_GetBitCount(0), 0);
  EXPECT_EQ(_GetBitCount(0x0F0F0000u), 4);  // only the first run counts

  const std::pair<Integer, Integer> ncol[] = {{256, 8}, {257, 9}, {16, 4}, {17, 5}, {255, 8},
                                              {3, 2},   {2, 1},   {1, 0},  {0, -1}};
  for (auto [n, bits] : ncol) EXPECT_EQ(_NColToBitsPixel(n), bits) << n;
}

TEST(BitHelpers, ClassLibraryPixelFormats) {
  struct Row {
    TPixelFormat pf;
    Integer bits;
    TLKPixelFormat lk;
  };
  const Row rows[] = {{pfDevice, 0, lk24RGB}, {pf1bit, 1, lk1g},     {pf4bit, 4, lk8p},
                      {pf8bit, 8, lk8p},      {pf15bit, 15, lk24RGB}, {pf16bit, 16, lk24RGB},
                      {pf24bit, 24, lk24RGB}, {pf32bit, 32, lk24RGB}, {pfCustom, 0, lk24RGB}};
  for (const Row& r : rows) {
    EXPECT_EQ(_Pixelformat2BitCount(r.pf), r.bits) << int(r.pf);
    EXPECT_EQ(LKVCLPixelFormat2LumerakPixelFormat(r.pf), r.lk) << int(r.pf);
    if (r.bits != 0) {
      EXPECT_EQ(_Bitcount2Pixelformat(r.bits), r.pf);
    }
  }
  EXPECT_EQ(_Bitcount2Pixelformat(2), pfCustom);
  EXPECT_EQ(_PixelFormat2RowLen(3, pf24bit), 12);
  EXPECT_EQ(_PixelFormat2RowLen(5, pf15bit), 12);
}

TEST(BitHelpers, ByteSwaps) {
  EXPECT_EQ(LKSwapWord(0x1234), 0x3412);
  EXPECT_EQ(LKSwapDWord(0x12345678), 0x78563412);
  EXPECT_EQ(static_cast<DWORD>(LKSwapDWord(static_cast<Integer>(0x80000001u))), 0x01000080u);
  EXPECT_EQ(LKCSwapWord(0x1234, false), 0x1234);
  EXPECT_EQ(LKCSwapWord(0x1234, true), 0x3412);
  EXPECT_EQ(LKCSwapDWord(0xAABBCCDDu, true), 0xDDCCBBAAu);
  EXPECT_EQ(LKCSwapDWord(0xAABBCCDDu, false), 0xAABBCCDDu);
}

TEST(BitHelpers, SixtyFourBitArithmetic) {
  DWORD lo = 0, hi = 0;
  LKAdd64(0xFFFFFFFFu, 0, 1, 0, lo, hi);
  EXPECT_EQ(lo, 0u);
  EXPECT_EQ(hi, 1u);
  LKAdd64(0xFFFFFFFFu, 0xFFFFFFFFu, 2, 0, lo, hi);  // carry out of the top dropped
  EXPECT_EQ(lo, 1u);
  EXPECT_EQ(hi, 0u);

  EXPECT_TRUE(LKGreater64(0, 1, 0xFFFFFFFFu, 0));  // high words decide first
  EXPECT_FALSE(LKGreater64(5, 7, 5, 7));
  EXPECT_FALSE(LKGreater64(4, 7, 5, 7));

  LKMul64(0xFFFFFFFFu, 0xFFFFFFFFu, lo, hi);
  EXPECT_EQ(lo, 1u);
  EXPECT_EQ(hi, 0xFFFFFFFEu);
}

// A stream that takes at most two bytes per write, like a full disk.
class ShortStream : public TMemoryStream {
 public:
  Integer Write(const void* buffer, Integer count) override {
    return TMemoryStream::Write(buffer, count > 2 ? 2 : count);
  }
};

TEST(SafeStreamWrite, SetsButNeverClearsTheAbortFlag) {
  const char data[5] = {1, 2, 3, 4, 5};
  TMemoryStream full;
  std::atomic<bool> flag{false};
  SafeStreamWrite(&full, &flag, data, 5);
  EXPECT_FALSE(flag);
  flag = true;
  SafeStreamWrite(&full, &flag, data, 5);
  EXPECT_TRUE(flag);
  EXPECT_EQ(full.GetSize(), 10);

  ShortStream shortStream;
  flag = false;
  SafeStreamWrite(&shortStream, &flag, data, 5);
  EXPECT_TRUE(flag);
  SafeStreamWrite(&shortStream, nullptr, data, 5);  // no flag to set: no crash
}

TEST(CheckedConversions, ClampAndRoundHalfToEven) {
  EXPECT_EQ(LKTrunc(2.9), 2);
  EXPECT_EQ(LKTrunc(-2.9), -2);
  EXPECT_EQ(LKTrunc(1e300), std::numeric_limits<Integer>::max());
  EXPECT_EQ(LKTrunc(-1e300), std::numeric_limits<Integer>::min());
  EXPECT_EQ(LKTrunc(std::nan("")), 0);
  EXPECT_EQ(LKRound(2.5), 2);
  EXPECT_EQ(LKRound(3.5), 4);
  EXPECT_EQ(LKRound(-2.5), -2);
  EXPECT_EQ(LKRound(2147483647.6), std::numeric_limits<Integer>::max());
  EXPECT_EQ(LKTrunc64(1e30), std::numeric_limits<Int64>::max());
  EXPECT_EQ(LKRound64(4.5), 4);
}

TEST(Globals, StartUpValues) {
  EXPECT_EQ(LKDefMinFileSize, -1);
  EXPECT_FALSE(LKDefDialogCenter);
  EXPECT_FALSE(gAVIFILEinit);
  EXPECT_EQ(gRedToGrayCoef + gGreenToGrayCoef + gBlueToGrayCoef, 100);
  // Grey level of full red, green and blue.
  EXPECT_EQ(255 * gRedToGrayCoef / 100, 53);
  EXPECT_EQ(255 * gGreenToGrayCoef / 100, 181);
  EXPECT_EQ(255 * gBlueToGrayCoef / 100, 20);
  EXPECT_EQ(LKTAGSIZE[5], 8);   // RATIONAL
  EXPECT_EQ(LKTAGSIZE[11], 4);  // FLOAT
  EXPECT_EQ(LKTagSize(0), 0);
  EXPECT_EQ(LKTagSize(13), 0);
  EXPECT_EQ(LKTagSize(12), 8);
  EXPECT_TRUE(DefTEMPPATH.empty());
}

TEST(Globals, ThreadLockExistsAndIsReentrant) {
  ASSERT_NE(gThreadCS, nullptr);
  gThreadCS->Enter();
  EXPECT_TRUE(gThreadCS->TryEnter());  // the same thread may take it again
  gThreadCS->Leave();
  gThreadCS->Leave();
}

TEST(Globals, CosineTable) {
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(lkCosineTable[i], 0) << i;
  EXPECT_EQ(lkCosineTable[11], 1);
  EXPECT_EQ(lkCosineTable[127], 64);
  EXPECT_EQ(lkCosineTable[128], 64);
  for (int i = 245; i <= 255; ++i) EXPECT_EQ(lkCosineTable[i], 128) << i;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(lkCosineTable[i] + lkCosineTable[255 - i], 128) << i;
}

TEST(CmykConversions, Table) {
  struct Row {
    TRGB rgb;
    TCMYK cmyk;
  };
  const Row rows[] = {
      {{0, 0, 0}, {0, 0, 0, 1}},            // black: m = 1
      {{255, 255, 255}, {255, 255, 255, 255}},  // white: no ink
      {{0, 0, 255}, {255, 0, 0, 255}},      // red (b, g, r order)
      {{50, 100, 200}, {255, 127, 63, 200}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(LKRGB2CMYK(r.rgb), r.cmyk);
  }
  EXPECT_EQ(LKCMYK2RGB(TCMYK{255, 127, 63, 200}), (TRGB{49, 99, 200}));
  EXPECT_EQ(LKCMYK2RGB(TCMYK{255, 255, 255, 255}), (TRGB{255, 255, 255}));
  // Round trip stays within one step of the original.
  for (int v = 0; v < 256; v += 5) {
    const TRGB in{Byte(v), Byte(255 - v), Byte(v / 2)};
    const TRGB out = LKCMYK2RGB(LKRGB2CMYK(in));
    EXPECT_NEAR(out.r, in.r, 1);
    EXPECT_NEAR(out.g, in.g, 1);
    EXPECT_NEAR(out.b, in.b, 1);
  }
}

TEST(PrintLog, WritesOnlyWhenNamed) {
  const std::string name = ::testing::TempDir() + "lkprintlog_test.txt";
  std::remove(name.c_str());
  lkgPrintLogFileName.clear();
  LKPrintLogWrite("not written");
  lkgPrintLogFileName = name;
  SetNowFunction([] { return EncodeDate(2026, 3, 4) + EncodeTime(5, 6, 7, 0); });
  LKPrintLogWrite("first");
  LKPrintLogWrite("second");
  SetNowFunction({});
  lkgPrintLogFileName.clear();
  std::ifstream in(name);
  std::string l1, l2, l3;
  std::getline(in, l1);
  std::getline(in, l2);
  EXPECT_FALSE(std::getline(in, l3));
  EXPECT_EQ(l1, "2026-03-04 05:06:07 : first");
  EXPECT_EQ(l2.substr(l2.size() - 9), " : second");
  std::remove(name.c_str());

  lkgPrintLogFileName = "/nonexistent-dir/x/log.txt";
  EXPECT_THROW(LKPrintLogWrite("x"), EFOpenError);
  lkgPrintLogFileName.clear();
}

}  // namespace
