#include "core/lkdibbitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/lkbitmap.h"

namespace {

TEST(LKDibbitmap, RowsAreBottomUpAndThirtyTwoBitAligned) {
  TLKDibbitmap d;
  EXPECT_EQ(d.GetPixelFormat(), lknull);
  d.AllocateBits(33, 10, 1);
  EXPECT_EQ(d.GetRowLen(), 8);
  EXPECT_EQ(d.GetPixelFormat(), lk1g);
  EXPECT_EQ(d.GetScanLine(0), d.GetBits() + 9 * 8);
  EXPECT_EQ(d.GetScanLine(9), d.GetBits());
  d.AllocateBits(1, 2, 24);
  EXPECT_EQ(d.GetRowLen(), 4);
  EXPECT_EQ(d.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(d.GetBitmapInfo().bmiHeader.biHeight, 2);
  EXPECT_EQ(d.GetBitmapInfo().bmiHeader.biSizeImage, 8u);

  TLKWorkBitmap w(5, 10, 24);
  EXPECT_EQ(w.GetRowLen(), 16);
  EXPECT_EQ(w.GetScanline(0), w.GetData() + 9 * 16);
  EXPECT_EQ(reinterpret_cast<Byte*>(w.GetPRGB(2, 3)), w.GetScanline(2) + 9);
  EXPECT_EQ(reinterpret_cast<Byte*>(w.GetPDouble(2, 1)), w.GetScanline(2) + 8);
}

TEST(LKDibbitmap, AllocateAndAssignIgnoreWhatTheyCannotHold) {
  TLKDibbitmap d;
  d.Allocate(4, 4, lk8g);
  EXPECT_EQ(d.GetWidth(), 0);
  EXPECT_EQ(d.GetBits(), nullptr);
  d.AllocateBits(0, 5, 24);
  d.AllocateBits(5, 5, 8);
  EXPECT_EQ(d.GetWidth(), 0);
  d.Allocate(3, 2, lk24RGB);
  static_cast<Byte*>(d.GetScanLine(1))[0] = 7;
  TLKBitmap b(2, 2, lk8g);
  d.Assign(&b);
  EXPECT_EQ(d.GetWidth(), 3);
  TLKDibbitmap copy;
  copy.Assign(&d);
  EXPECT_EQ(copy.GetWidth(), 3);
  EXPECT_EQ(copy.GetHeight(), 2);
  EXPECT_EQ(static_cast<Byte*>(copy.GetScanLine(1))[0], 7);
  d.FreeBits();
  EXPECT_EQ(d.GetDC(), nullptr);
  EXPECT_EQ(d.GetBitCount(), 0);
}

TEST(LKDibbitmap, CanvasDrawsIntoThePixels) {
  TLKDibbitmap d;
  d.AllocateBits(10, 4, 24);
  d.GetDC()->GetBrush()->SetColor(RGB(10, 20, 30));
  d.GetDC()->FillRect(Rect(2, 1, 4, 2));
  const auto* row = static_cast<const Byte*>(d.GetScanLine(1));
  EXPECT_EQ(row[6], 30);  // blue, green, red
  EXPECT_EQ(row[7], 20);
  EXPECT_EQ(row[8], 10);
  EXPECT_EQ(static_cast<const Byte*>(d.GetScanLine(0))[6], 0);

  TLKDibbitmap mono;
  mono.AllocateBits(10, 2, 1);
  mono.GetDC()->GetBrush()->SetColor(clWhite);
  mono.GetDC()->FillRect(Rect(1, 1, 3, 2));
  EXPECT_EQ(static_cast<const Byte*>(mono.GetScanLine(1))[0], 0x60);

  TBitmap out;
  mono.CopyToTBitmap(&out);
  EXPECT_EQ(out.GetPixelFormat(), pf1bit);
  EXPECT_TRUE(out.GetMonochrome());
  EXPECT_EQ(out.GetWidth(), 10);
  EXPECT_EQ(out.ScanLine(1)[0], 0x60);
  EXPECT_EQ(out.ScanLine(0)[0], 0);
}

TEST(LKWorkBitmap, SameSizeKeepsTheBufferAndSetBitIsMsbFirst) {
  TLKWorkBitmap w;
  w.AllocateBits(17, 3, 1);
  Byte* first = w.GetData();
  w.AllocateBits(17, 3, 1);
  EXPECT_EQ(w.GetData(), first);
  std::memset(w.GetData(), 0, static_cast<size_t>(w.GetRowLen()) * 3);
  w.SetBit(2, 0, true);
  w.SetBit(2, 9, true);
  w.SetBit(2, 9, false);
  w.SetBit(2, 10, true);
  EXPECT_EQ(w.GetScanline(2)[0], 0x80);
  EXPECT_EQ(w.GetScanline(2)[1], 0x20);
  w.AllocateBits(0, 3, 1);
  EXPECT_EQ(w.GetData(), nullptr);
  EXPECT_EQ(w.GetWidth(), 0);
}

TEST(LKBitmapMapXCopy, PairsRowsBottomUpForEveryFormatAndDirection) {
  // Buffer rows 0..2 go to bitmap rows 12, 11, 10.
  for (TPixelFormat pf : {pf8bit, pf24bit}) {
    const Integer bpp = pf == pf8bit ? 1 : 3;
    TBitmap bmp(6, 14, pf);
    for (Integer y = 0; y < 14; ++y) std::memset(bmp.ScanLine(y), 0, static_cast<size_t>(bmp.RowBytes()));
    std::vector<Byte> buffer(3 * 32);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<Byte>(i + 1);
    LKBitmapMapXCopy(buffer.data(), 32, bpp * 8, &bmp, 1, 0, 2, 10, 3, 3, 0);
    for (Integer i = 0; i < 3; ++i) {
      const Byte* row = bmp.ScanLine(12 - i);
      for (Integer k = 0; k < 3 * bpp; ++k) ASSERT_EQ(row[2 * bpp + k], buffer[32 * i + bpp + k]) << i;
      EXPECT_EQ(row[2 * bpp - 1], 0);
      EXPECT_EQ(row[5 * bpp], 0);
    }
    std::vector<Byte> back(3 * 32, 0);
    LKBitmapMapXCopy(back.data(), 32, bpp * 8, &bmp, 1, 0, 2, 10, 3, 3, 1);
    for (Integer i = 0; i < 3; ++i)
      for (Integer k = 0; k < 3 * bpp; ++k) ASSERT_EQ(back[32 * i + bpp + k], buffer[32 * i + bpp + k]);
  }
}

TEST(LKBitmapMapXCopy, OneBitRunsGreyExpansionAndClipping) {
  TBitmap bmp(20, 2, pf1bit);
  for (Integer y = 0; y < 2; ++y) std::memset(bmp.ScanLine(y), 0, 4);
  std::vector<Byte> buffer = {0x0F, 0xF0, 0, 0, 0x81, 0, 0, 0};  // two rows of 4 bytes
  LKBitmapMapXCopy(buffer.data(), 4, 1, &bmp, 4, 0, 3, 0, 8, 2, 0);
  // Buffer row 0 bits 4..11 (1111 1111) land at bitmap row 1 bits 3..10.
  EXPECT_EQ(bmp.ScanLine(1)[0], 0x1F);
  EXPECT_EQ(bmp.ScanLine(1)[1], 0xE0);
  EXPECT_EQ(bmp.ScanLine(0)[0], 0x02);  // buffer row 1: 0001 0000
  std::vector<Byte> grey(2 * 32, 1);
  LKBitmapMapXCopy(grey.data(), 32, 24, &bmp, 0, 0, 7, 0, 5, 2, 1);
  const Byte expect[5] = {255, 255, 255, 255, 0};
  for (Integer k = 0; k < 5; ++k) EXPECT_EQ(grey[3 * k], expect[k]) << k;

  // Columns left of and right of the bitmap, and rows below it, are skipped.
  TBitmap small(4, 2, pf8bit);
  for (Integer y = 0; y < 2; ++y) std::memset(small.ScanLine(y), 0, 4);
  std::vector<Byte> src(3 * 16, 9);
  LKBitmapMapXCopy(src.data(), 16, 8, &small, 0, 0, -2, 0, 10, 3, 0);
  EXPECT_EQ(small.ScanLine(0)[0], 9);
  EXPECT_EQ(small.ScanLine(1)[3], 9);
  // A run longer than the block's row stride stops at the stride.
  std::vector<Byte> narrow(4, 5);
  LKBitmapMapXCopy(narrow.data(), 2, 8, &small, 0, 0, 0, 0, 4, 1, 1);
  EXPECT_EQ(narrow[1], 9);
  EXPECT_EQ(narrow[2], 5);
}

// A 2 x 2 bottom-up 24-bit block: top row red, blue; bottom row green, white.
struct Block {
  TBitmapInfoHeader header;
  Byte bits[16] = {0, 255, 0, 255, 255, 255, 0, 0,  // bottom row, padded to 8
                   0, 0, 255, 255, 0, 0, 0, 0};     // top row
  Block() {
    header.biWidth = 2;
    header.biHeight = 2;
    header.biBitCount = 24;
  }
};

TEST(LKDrawDib, DrawsBlocksStretchedOntoACanvas) {
  Block b;
  TBitmap target(4, 4, pf24bit);
  HDRAWDIB h = LKDrawDibOpen();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(LKDrawDibRealize(h, target.GetCanvas(), false), 0);
  EXPECT_TRUE(LKDrawDibDraw(h, target.GetCanvas(), 0, 0, 4, 4, &b.header, b.bits, 0, 0, 2, 2, 0));
  EXPECT_EQ(target.GetCanvas()->GetPixel(0, 0), clRed);
  EXPECT_EQ(target.GetCanvas()->GetPixel(3, 1), clBlue);
  EXPECT_EQ(target.GetCanvas()->GetPixel(1, 3), clLime);
  // Source origin at the top for the session draw, at the bottom for DrawDib.
  EXPECT_TRUE(LKDrawDibDraw(h, target.GetCanvas(), 0, 0, 1, 1, &b.header, b.bits, 1, 1, 1, 1, 0));
  EXPECT_EQ(target.GetCanvas()->GetPixel(0, 0), clWhite);
  EXPECT_EQ(DrawDib(target.GetCanvas(), 0, 0, 1, 1, &b.header, b.bits, 1, 1, 1, 1), 1);
  EXPECT_EQ(target.GetCanvas()->GetPixel(0, 0), clBlue);
  EXPECT_TRUE(LKDrawDibClose(h));
  EXPECT_FALSE(LKDrawDibDraw(nullptr, target.GetCanvas(), 0, 0, 1, 1, &b.header, b.bits, 0, 0, 1, 1, 0));

  // Without a session the emulation draws the same rectangle either way.
  EXPECT_TRUE(DrawDibDrawEmu(nullptr, target.GetCanvas(), 2, 2, 1, 1, &b.header, b.bits, 1, 1, 1, 1, 0));
  EXPECT_EQ(target.GetCanvas()->GetPixel(2, 2), clWhite);
  TLKDibbitmap mono;
  mono.AllocateBits(2, 2, 1);
  static_cast<Byte*>(mono.GetScanLine(1))[0] = 0x40;  // bottom row, right pixel white
  EXPECT_TRUE(DrawDibDrawEmu(nullptr, target.GetCanvas(), 0, 0, 2, 2, &mono.GetBitmapInfo().bmiHeader,
                             mono.GetBits(), 0, 0, 2, 2, 0));
  EXPECT_EQ(target.GetCanvas()->GetPixel(1, 1), clWhite);
  EXPECT_EQ(target.GetCanvas()->GetPixel(0, 1), clBlack);
  EXPECT_EQ(target.GetCanvas()->GetPixel(1, 0), clBlack);

  Block bad;
  bad.header.biCompression = 1;
  EXPECT_EQ(DrawDib(target.GetCanvas(), 0, 0, 2, 2, &bad.header, bad.bits, 0, 0, 2, 2), 0);
}

}  // namespace
