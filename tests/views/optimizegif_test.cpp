// The animated GIF optimiser: later frames shrink to the box that changed,
// disposals are shifted onto the frame before, and the animation still
// plays as the source did.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "codecs/gif/giffilter.h"
#include "core/lkbitmap.h"
#include "io/lkmultipage.h"
#include "io/lumerakio.h"
#include "tests/common/file_kit.h"
#include "views/lkoptimizegif.h"

namespace {

constexpr Integer kW = 40, kH = 30;

// A kW x kH blue picture with an optional Size x Size white square at (X, Y).
void Picture(TLKBitmap* B, Integer X = -1, Integer Y = -1, Integer Size = 0) {
  B->Allocate(kW, kH, lk24RGB);
  for (Integer y = 0; y < kH; ++y) {
    TRGB* row = static_cast<TRGB*>(B->GetScanLine(y));
    for (Integer x = 0; x < kW; ++x) {
      const bool inside = x >= X && x < X + Size && y >= Y && y < Y + Size;
      row[x] = inside ? TRGB{255, 255, 255} : TRGB{255, 0, 0};
    }
  }
}

// Writes an animation whose frame i is drawn by Draw(bitmap, i).
template <typename F>
void WriteAnimation(const String& File, Integer Frames, F Draw, TLKGIFAction Disposal = ioGIF_None) {
  TLumerakIO io;
  for (Integer i = 0; i < Frames; ++i) {
    Draw(io.GetLKBitmap(), i);
    io.GetIOParams()->SetImageIndex(i);
    io.GetIOParams()->GIF_Disposal = Disposal;
    if (i == 0)
      io.SaveToFileGIF(File);
    else
      io.InsertToFileGIF(File);
    ASSERT_FALSE(io.GetAborted());
  }
}

// Frame Index as stored in the file (not composed): size, place, disposal.
struct StoredFrame {
  Integer Width = 0, Height = 0, X = 0, Y = 0;
  TLKGIFAction Disposal = ioGIF_None;
};
StoredFrame Stored(const String& File, Integer Index) {
  TLKBitmap b;
  TIOParamsVals p;
  p.GIF_IMAGEINDEX = Index;
  TProgressRec progress;
  Integer count = 0;
  TLKMask* mask = nullptr;
  ReadGIF(File, &b, count, p, progress, mask, true);
  return {b.GetWidth(), b.GetHeight(), p.GIF_XPOS, p.GIF_YPOS, p.GIF_Disposal};
}

// Frame Index as it shows while the animation plays.
bool SameFrame(const String& A, const String& B, Integer Index) {
  TLumerakIO a, b;
  a.GetIOParams()->SetImageIndex(Index);
  b.GetIOParams()->SetImageIndex(Index);
  a.LoadFromFileGIF(A);
  b.LoadFromFileGIF(B);
  TLKBitmap *pa = a.GetLKBitmap(), *pb = b.GetLKBitmap();
  if (a.GetAborted() || b.GetAborted() || pa->GetWidth() != pb->GetWidth() || pa->GetHeight() != pb->GetHeight())
    return false;
  pa->SetPixelFormat(lk24RGB);
  pb->SetPixelFormat(lk24RGB);
  // The GIF writer reduces colours, which may move a level or two.
  for (Integer y = 0; y < pa->GetHeight(); ++y) {
    const Byte* u = static_cast<const Byte*>(pa->GetScanLine(y));
    const Byte* v = static_cast<const Byte*>(pb->GetScanLine(y));
    for (Integer x = 0; x < pa->GetWidth() * 3; ++x)
      if (std::abs(u[x] - v[x]) > 2) return false;
  }
  return true;
}

TEST(OptimizeGIF, SecondFrameBecomesTheChangedSquare) {
  filekit::TempDir dir("lkoptgif");
  const String src = dir / "src.gif", dst = dir / "dst.gif";
  WriteAnimation(src, 2, [](TLKBitmap* B, Integer i) { i == 0 ? Picture(B) : Picture(B, 12, 8, 10); });
  LKOptimizeGIF(src, dst);
  ASSERT_EQ(EnumGIFIm(dst), 2);
  const StoredFrame first = Stored(dst, 0), second = Stored(dst, 1);
  EXPECT_EQ(first.Width, kW);
  EXPECT_EQ(first.Height, kH);
  EXPECT_EQ(first.Disposal, ioGIF_DontRemove);
  EXPECT_EQ(second.Width, 10);
  EXPECT_EQ(second.Height, 10);
  EXPECT_EQ(second.X, 12);
  EXPECT_EQ(second.Y, 8);
  EXPECT_TRUE(CheckAniGIF(dst));
  EXPECT_TRUE(SameFrame(src, dst, 0));
  EXPECT_TRUE(SameFrame(src, dst, 1));
}

// Frames without any change stay whole, and the frame before each is
// cleared to the background before it is drawn.
TEST(OptimizeGIF, IdenticalFramesStayWhole) {
  filekit::TempDir dir("lkoptgif");
  const String src = dir / "src.gif", dst = dir / "dst.gif";
  WriteAnimation(src, 3, [](TLKBitmap* B, Integer) { Picture(B, 5, 5, 4); });
  LKOptimizeGIF(src, dst);
  ASSERT_EQ(EnumGIFIm(dst), 3);
  for (Integer i = 0; i < 3; ++i) {
    const StoredFrame f = Stored(dst, i);
    EXPECT_EQ(f.Width, kW) << i;
    EXPECT_EQ(f.Height, kH) << i;
    EXPECT_EQ(f.X, 0) << i;
    if (i < 2) EXPECT_EQ(f.Disposal, ioGIF_DrawBackground) << i;
    EXPECT_TRUE(SameFrame(src, dst, i)) << i;
  }
}

// A pixel that turns transparent cannot be drawn over the frame before, so
// that frame is cleared and the new one is kept whole.
TEST(OptimizeGIF, PixelTurningTransparentKeepsTheFrameWhole) {
  filekit::TempDir dir("lkoptgif");
  const String src = dir / "src.gif", dst = dir / "dst.gif";
  auto draw = [](TLKBitmap* B, Integer i) {
    Picture(B, 12, 8, 10);
    if (i == 1) static_cast<Byte*>(B->GetAlphaChannel()->GetScanLine(20))[30] = 0;
  };
  WriteAnimation(src, 2, draw, ioGIF_DrawBackground);
  LKOptimizeGIF(src, dst);
  ASSERT_EQ(EnumGIFIm(dst), 2);
  EXPECT_EQ(Stored(dst, 0).Disposal, ioGIF_DrawBackground);
  EXPECT_EQ(Stored(dst, 1).Width, kW);
  EXPECT_EQ(Stored(dst, 1).Height, kH);
  EXPECT_TRUE(SameFrame(src, dst, 1));
}

// A source without frames writes nothing, not even an empty file, and an
// existing destination is left alone.
TEST(OptimizeGIF, SourceWithoutFramesWritesNothing) {
  filekit::TempDir dir("lkoptgif");
  const String text = dir / "text.gif", dst = dir / "dst.gif";
  {
    std::ofstream f(text);
    f << "not a picture at all";
  }
  for (const String& source : {text, String(dir / "missing.gif")}) {
    LKOptimizeGIF(source, dst);
    EXPECT_FALSE(std::filesystem::exists(dst)) << source;
  }
}

}  // namespace
