// Bump mapping, lens and wave.
#include <gtest/gtest.h>

#include <atomic>

#include "processing/lkdistort.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

bool Same(TLKBitmap& a, TLKBitmap& b) {
  for (Integer y = 0; y < a.GetHeight(); ++y)
    for (Integer x = 0; x < a.GetWidth(); ++x)
      if (!(a.GetPixels(x, y) == b.GetPixels(x, y))) return false;
  return true;
}

class Distort : public ::testing::TestWithParam<bool> {};

TEST_P(Distort, BumpMapLightSpot) {
  StorageScope storage(GetParam());
  TLKBitmap b(60, 20, lk24RGB);
  b.Fill(RGB2TColor(90, 90, 90));
  TLKBitmap flat;
  flat.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.BumpMapping(30, 10, 10, 10, 100, TRGB{255, 255, 255});
  EXPECT_TRUE(Same(b, flat));  // everything of the picture kept, no light
  EXPECT_EQ(proc.GetUndoCaptions(0), "BumpMapping");
  proc.BumpMapping(30, 10, 0, 10, 0, TRGB{255, 255, 255});
  EXPECT_TRUE(Same(b, flat));  // no radius
  proc.BumpMapping(30, 10, 10, 10, 0, TRGB{255, 255, 255});
  EXPECT_EQ(b.GetPixels(30, 10), (TRGB{255, 255, 255}));
  EXPECT_EQ(b.GetPixels(40, 10), (TRGB{0, 0, 0}));
  EXPECT_EQ(b.GetPixels(55, 10), (TRGB{0, 0, 0}));
  EXPECT_EQ(b.GetPixels(20, 10), (TRGB{2, 2, 2}));  // u clamped to 255: table entry 2
  EXPECT_EQ(b.GetPixels(5, 10), (TRGB{2, 2, 2}));
  // An abort flag set before the first row changes nothing.
  b.Assign(&flat);
  std::atomic<bool> abort{true};
  TProgressRec rec;
  rec.AbortFlag = &abort;
  _BumpMapping(&b, 30, 10, 10, 10, 0, TRGB{255, 255, 255}, 0, 0, 60, 20, rec);
  EXPECT_TRUE(Same(b, flat));
}

TEST_P(Distort, LensMagnifiesInsideItsEllipseOnly) {
  StorageScope storage(GetParam());
  TLKBitmap b(40, 30, lk24RGB);
  FillDistinct(&b);
  TLKBitmap original;
  original.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  for (double n : {0.5, 1.0}) {
    proc.Lens(20, 15, 20, 21, n);  // no refraction: nothing moves
    EXPECT_TRUE(Same(b, original));
  }
  proc.Lens(20, 15, 20, 21, 1.8);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Lens");
  EXPECT_FALSE(Same(b, original));
  // Area columns 10..29, rows 5..24: its corners and everything outside
  // stay.
  for (auto [x, y] : {std::pair{10, 5}, std::pair{29, 5}, std::pair{10, 24}, std::pair{29, 24},
                      std::pair{9, 15}, std::pair{30, 15}, std::pair{20, 4}, std::pair{20, 25}})
    EXPECT_EQ(b.GetPixels(x, y), original.GetPixels(x, y)) << x << "," << y;
  // An ellipse past the right edge never changes the last column.
  b.Assign(&original);
  proc.Lens(36, 15, 20, 20, 1.5);
  for (Integer y = 0; y < 30; ++y) EXPECT_EQ(b.GetPixels(39, y), original.GetPixels(39, y));
  EXPECT_FALSE(Same(b, original));
}

TEST_P(Distort, WaveRipplesAboutTheCentre) {
  StorageScope storage(GetParam());
  TLKBitmap b(31, 21, lk24RGB);
  FillDistinct(&b);
  TLKBitmap original;
  original.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.Wave(0, 10, 0, false);
  proc.Wave(5, 0, 0, true);
  EXPECT_TRUE(Same(b, original));
  std::vector<Integer> progress;
  proc.OnProgress = [&](TObject*, Integer p) { progress.push_back(p); };
  proc.Wave(3, 4, 45, true);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Wave");
  EXPECT_EQ(b.GetPixels(15, 10), original.GetPixels(15, 10));  // the centre keeps its colour
  EXPECT_FALSE(Same(b, original));
  ASSERT_GE(progress.size(), 21u);
  EXPECT_EQ(progress[0], 0);
  EXPECT_LT(progress[20], 100);
  // A shift by a whole amplitude on a flat ring area stays in the picture:
  // a one-pixel-high picture reads no row outside it.
  TLKBitmap line(9, 1, lk24RGB);
  line.Fill(RGB2TColor(200, 200, 200));
  TProgressRec rec;
  _wave(&line, 2, 3, 0, false, rec);
  EXPECT_LE(line.GetPixels(4, 0).r, 200);
}

INSTANTIATE_TEST_SUITE_P(Storage, Distort, ::testing::Bool());

}  // namespace
