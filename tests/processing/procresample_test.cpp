// Resampling of the processing component's working bitmap: sizes, undo,
// view updates and finishing events, formats, in memory and in files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

class ProcResample : public ::testing::TestWithParam<bool> {};

TEST_P(ProcResample, RequestedSizes) {
  StorageScope storage(GetParam());
  struct Case {
    Integer w, h;          // requested
    Integer outW, outH;    // resulting target size
  };
  // On a 40 x 20 picture.
  const Case cases[] = {
      {-1, 30, 60, 30},  // width follows the height
      {10, -1, 10, 5},   // height follows the width
      {0, 0, 40, 20},    // both kept
      {-1, 0, 40, 20},   // the kept height is resolved before the ratio
      {0, -1, 40, 20},
      {1, -1, 1, 1},     // 1 * 20 div 40 = 0, raised to 1
      {-8, 3, 8, 3},     // other negative values count by their size
      {25, 7, 25, 7},
  };
  TLKBitmap b(40, 20, lk24RGB);
  FillDistinct(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "," + std::to_string(c.h));
    TLKBitmap target;
    proc.ResampleTo(&target, c.w, c.h, rfTriangle);
    EXPECT_EQ(target.GetWidth(), c.outW);
    EXPECT_EQ(target.GetHeight(), c.outH);
    EXPECT_EQ(target.GetPixelFormat(), lk24RGB);
    EXPECT_EQ(proc.GetUndoCaptions(0), "Resample " + std::to_string(c.w) + "," + std::to_string(c.h));
    EXPECT_EQ(b.GetWidth(), 40);  // the working bitmap stays
  }
}

TEST_P(ProcResample, ResampleReplacesUpdatesAndUndoes) {
  StorageScope storage(GetParam());
  TTestView view(16, 8, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetUndoLocation(GetParam() ? lkFile : lkMemory);
  proc.SetAttachedLumerak(&view);
  std::vector<std::string> events;
  Integer lastProgress = -1;
  proc.OnProgress = [&](TObject* sender, Integer p) {
    EXPECT_EQ(sender, &proc);
    lastProgress = p;
  };
  proc.OnFinishWork = [&](TObject*) { events.push_back("finish"); };

  proc.Resample(-1, 4, rfBicubic);
  TLKBitmap* b = view.GetLKBitmap();
  EXPECT_EQ(b->GetWidth(), 8);
  EXPECT_EQ(b->GetHeight(), 4);
  EXPECT_EQ(events.size(), 2u);  // once in ResampleTo, once in Resample
  EXPECT_EQ(lastProgress, 100);
  EXPECT_EQ((std::vector<std::string>{"Update", "ImageChange"}), view.Calls);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Resample -1,4");

  proc.Undo();
  b = view.GetLKBitmap();
  ASSERT_EQ(b->GetWidth(), 16);
  ASSERT_EQ(b->GetHeight(), 8);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 16; ++x) ASSERT_EQ(PixelBytes(b, x, y), PixelBytes(&before, x, y)) << x << "," << y;
}

TEST_P(ProcResample, BothNegativeOnlySavesUndo) {
  StorageScope storage(GetParam());
  TTestView view(6, 4, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Integer finished = 0;
  proc.OnFinishWork = [&](TObject*) { ++finished; };
  TLKBitmap target;
  proc.ResampleTo(&target, -5, -5, rfTriangle);
  EXPECT_TRUE(target.IsEmpty());
  EXPECT_EQ(finished, 0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Resample -5,-5");

  proc.Resample(-1, -1, rfTriangle);
  EXPECT_EQ(view.GetLKBitmap()->GetWidth(), 6);
  EXPECT_EQ(view.GetLKBitmap()->GetHeight(), 4);
  EXPECT_EQ(finished, 1);  // Resample's own
  EXPECT_EQ(proc.GetUndoCaptions(0), "Resample -1,-1");

  proc.SetAutoUndo(false);
  proc.ClearAllUndo();
  proc.ResampleTo(&target, -1, 3, rfTriangle);
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

TEST_P(ProcResample, AlphaPaletteAndOneBit) {
  StorageScope storage(GetParam());
  TLumerakProc proc;

  // Alpha goes with the picture; the working pixels under alpha 0 are not
  // greyed, and a same-size copy with rfNone is exact.
  TLKBitmap rgb(4, 4, lk24RGB);
  FillDistinct(&rgb);
  rgb.SetAlpha(1, 1, 0);
  const std::vector<Byte> hidden = PixelBytes(&rgb, 1, 1);
  proc.SetAttachedLKBitmap(&rgb);
  TLKBitmap target;
  proc.ResampleTo(&target, 0, 0, rfNone);
  ASSERT_TRUE(target.GetHasAlphaChannel());
  EXPECT_EQ(target.GetAlpha(1, 1), 0);
  EXPECT_EQ(target.GetAlpha(2, 2), 255);
  EXPECT_EQ(PixelBytes(&target, 3, 2), PixelBytes(&rgb, 3, 2));
  EXPECT_EQ(PixelBytes(&rgb, 1, 1), hidden);
  // A reused target loses an alpha channel the new picture does not have.
  rgb.RemoveAlphaChannel();
  proc.ResampleTo(&target, 0, 0, rfNone);
  EXPECT_FALSE(target.GetHasAlphaChannel());

  // A paletted picture keeps its palette.
  TLKBitmap pal(4, 4, lk8p);
  FillDistinct(&pal);
  pal.SetPalette(PixelBytes(&pal, 0, 0)[0], TRGB{1, 2, 3});
  proc.SetAttachedLKBitmap(&pal);
  proc.Resample(8, 8, rfTriangle);
  ASSERT_EQ(pal.GetPixelFormat(), lk8p);
  EXPECT_EQ(pal.GetWidth(), 8);
  EXPECT_EQ(pal.GetPalette(PixelBytes(&pal, 0, 0)[0]), (TRGB{1, 2, 3}));

  // 1-bit pictures become grey 24-bit, or stay 1-bit for the projections.
  for (auto [filter, format] : {std::pair{rfTriangle, lk24RGB}, std::pair{rfProjectBW, lk1g}}) {
    TLKBitmap bw(8, 8, lk1g);
    FillDistinct(&bw);
    proc.SetAttachedLKBitmap(&bw);
    proc.Resample(4, 4, filter);
    EXPECT_EQ(bw.GetPixelFormat(), format);
    EXPECT_EQ(bw.GetWidth(), 4);
  }
}

TEST_P(ProcResample, TargetIsTheWorkingBitmap) {
  StorageScope storage(GetParam());
  TLKBitmap b(10, 6, lk24RGB);
  b.Fill(0x336699);
  const TRGB colour = b.GetPixels_lk24RGB(0, 0);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.ResampleTo(&b, 5, -1, rfTriangle);
  ASSERT_EQ(b.GetWidth(), 5);
  ASSERT_EQ(b.GetHeight(), 3);
  EXPECT_EQ(b.GetPixels_lk24RGB(4, 2), colour);
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, ProcResample, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

}  // namespace
