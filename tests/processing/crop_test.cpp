// Crop to a rectangle or to the selection, auto crop, fill, marks, tiles.
#include <gtest/gtest.h>

#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

class Crop : public ::testing::TestWithParam<bool> {};

TEST_P(Crop, RectangleKeepsPixelsAndAlpha) {
  StorageScope storage(GetParam());
  TLKBitmap b(40, 40, lk24RGB);
  ASSERT_EQ(b.GetLocation(), GetParam() ? lkFile : lkMemory);
  FillDistinct(&b);
  b.SetAlpha(12, 13, 33);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.Crop(10, 10, 19, 29);
  ASSERT_EQ(b.GetWidth(), 10);
  ASSERT_EQ(b.GetHeight(), 20);
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 10; ++x) ASSERT_EQ(PixelBytes(&b, x, y), PixelBytes(&before, x + 10, y + 10));
  ASSERT_TRUE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetAlphaChannel()->GetWidth(), 10);
  EXPECT_EQ(b.GetAlpha(2, 3), 33);
  EXPECT_EQ(b.GetAlpha(0, 0), 255);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Crop");
  proc.Undo();
  EXPECT_EQ(b.GetWidth(), 40);
}

TEST_P(Crop, BadRectanglesRefusedOrClipped) {
  StorageScope storage(GetParam());
  TLKBitmap b(20, 10, lk8g);
  FillDistinct(&b);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  // Reversed corners and rectangles beside the picture: no change, no undo.
  for (auto r : {std::array<Integer, 4>{5, 0, 4, 9}, std::array<Integer, 4>{0, 5, 9, 4},
                 std::array<Integer, 4>{30, 0, 40, 5}, std::array<Integer, 4>{-9, -9, -1, -1}}) {
    proc.Crop(r[0], r[1], r[2], r[3]);
    EXPECT_EQ(b.GetWidth(), 20);
    EXPECT_EQ(b.GetHeight(), 10);
  }
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // Partly outside: only the part inside is kept, never unwritten pixels.
  proc.Crop(15, -3, 25, 4);
  ASSERT_EQ(b.GetWidth(), 5);
  ASSERT_EQ(b.GetHeight(), 5);
  EXPECT_EQ(PixelBytes(&b, 4, 4), PixelBytes(&before, 19, 4));
}

TEST_P(Crop, CropSelOfNonRectangularSelection) {
  StorageScope storage(GetParam());
  TTestView view(30, 20, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  // A diamond inside the box (10, 5)-(16, 11).
  view.Mask.Empty();
  for (Integer d = 0; d <= 3; ++d) {
    view.Mask.DrawHorizontalLine(1, 13 - d, 13 + d, 5 + d);
    view.Mask.DrawHorizontalLine(1, 13 - d, 13 + d, 11 - d);
  }
  view.Mask.SyncRect();
  view.Selected = true;
  view.SetBackGround(0x0000FF);  // red
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  std::vector<std::string> events;
  proc.OnFinishWork = [&](TObject*) { events.push_back("finish"); };
  proc.CropSel();
  TLKBitmap* b = view.GetLKBitmap();
  ASSERT_EQ(b->GetWidth(), 7);
  ASSERT_EQ(b->GetHeight(), 7);
  EXPECT_EQ(b->GetPixels_lk24RGB(0, 0), (TRGB{0, 0, 255}));  // corner: background
  EXPECT_EQ(PixelBytes(b, 3, 3), PixelBytes(&before, 13, 8));
  ASSERT_TRUE(b->GetHasAlphaChannel());
  EXPECT_EQ(b->GetAlpha(0, 0), 0);
  EXPECT_EQ(b->GetAlpha(3, 3), 255);
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ(proc.GetUndoCaptions(0), "CropSel");
}

TEST_P(Crop, CropSelRectangleLeavesNoAlphaAndNoSelectionChangesNothing) {
  StorageScope storage(GetParam());
  TTestView view(12, 9, lk8g);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  std::vector<std::string> events;
  proc.OnFinishWork = [&](TObject*) { events.push_back("finish"); };
  proc.CropSel();  // no selection
  EXPECT_EQ(view.GetLKBitmap()->GetWidth(), 12);
  EXPECT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(events.size(), 1u);
  EXPECT_EQ((std::vector<std::string>{"Update", "ImageChange"}), view.Calls);

  view.SelectRect(2, 3, 5, 4);
  proc.CropSel();
  TLKBitmap* b = view.GetLKBitmap();
  ASSERT_EQ(b->GetWidth(), 4);
  ASSERT_EQ(b->GetHeight(), 2);
  EXPECT_EQ(PixelBytes(b, 3, 1), PixelBytes(&before, 5, 4));
  EXPECT_FALSE(b->GetHasAlphaChannel());
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Crop, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(AutoCrop, DotAndPlainImage) {
  TLKBitmap b(12, 10, lk24RGB);
  b.Fill(0xFFFFFF);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.AutoCrop(0, TRGB{255, 255, 255});  // all background: unchanged
  EXPECT_EQ(b.GetWidth(), 12);
  EXPECT_EQ(b.GetHeight(), 10);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  b.SetPixels_lk24RGB(5, 7, TRGB{0, 0, 0});
  b.SetPixels_lk24RGB(8, 3, TRGB{250, 250, 250});  // within tolerance 5
  proc.AutoCrop(5, TRGB{255, 255, 255});
  EXPECT_EQ(b.GetWidth(), 1);
  EXPECT_EQ(b.GetHeight(), 1);
  EXPECT_EQ(b.GetPixels_lk24RGB(0, 0), (TRGB{0, 0, 0}));
}

TEST(AutoCrop, BoxOfSeveralPixels) {
  TLKBitmap b(12, 10, lk24RGB);
  b.Fill(0xFFFFFF);
  b.SetPixels_lk24RGB(6, 2, TRGB{0, 0, 0});
  b.SetPixels_lk24RGB(3, 5, TRGB{0, 0, 0});
  b.SetPixels_lk24RGB(9, 8, TRGB{0, 0, 0});
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.AutoCrop(0, TRGB{255, 255, 255});
  EXPECT_EQ(b.GetWidth(), 7);   // columns 3..9
  EXPECT_EQ(b.GetHeight(), 7);  // rows 2..8
}

TEST(FillAndMarks, FillPerFormat) {
  TLKBitmap grey(4, 4, lk8g);
  FillDistinct(&grey);
  TLKBitmap before;
  before.Assign(&grey);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&grey);
  proc.Fill(TRGB{9, 9, 9});
  EXPECT_EQ(PixelBytes(&grey, 2, 2), PixelBytes(&before, 2, 2));  // lk8g: unchanged

  TLKBitmap bw(10, 3, lk1g);
  bw.Fill(1);
  proc.SetAttachedLKBitmap(&bw);
  proc.Fill(TRGB{255, 255, 0});  // red 0 clears, whatever green and blue
  for (Integer x = 0; x < 10; ++x) EXPECT_FALSE(bw.GetPixels_lk1g(x, 2));
}

TEST(FillAndMarks, PaintMarkGrid) {
  TLKBitmap b(7, 7, lk24RGB);
  b.Fill(0);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.PaintMark(2, TRGB{0, 0, 255});
  Integer marked = 0;
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 7; ++x) {
      const bool on = b.GetPixels_lk24RGB(x, y).r == 255;
      EXPECT_EQ(on, x % 3 == 0 && y % 3 == 0) << x << "," << y;
      marked += on;
    }
  EXPECT_EQ(marked, 9);
  EXPECT_EQ(proc.GetUndoCaptions(0), "PaintMark");
}

TEST(FillAndMarks, MakeTile) {
  TLKBitmap b(4, 5, lk24RGB);
  FillDistinct(&b);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.MakeTile(0, 3);
  proc.MakeTile(2, -1);
  EXPECT_EQ(b.GetWidth(), 4);
  proc.MakeTile(2, 3);
  ASSERT_EQ(b.GetWidth(), 8);
  ASSERT_EQ(b.GetHeight(), 15);
  for (Integer y = 0; y < 15; ++y)
    for (Integer x = 0; x < 8; ++x) ASSERT_EQ(PixelBytes(&b, x, y), PixelBytes(&before, x % 4, y % 5));
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

}  // namespace

namespace {

TEST(PenMarker, DiscOfMatchingPixelsAndRepaintRectangle) {
  TTestView view(20, 20, lk24RGB);
  TLKBitmap* b = view.GetLKBitmap();
  b->Fill(0x000000);
  b->SetPixels_lk24RGB(11, 10, TRGB{0, 0, 100});  // too far from the source colour
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  std::vector<std::string> events;
  proc.OnFinishWork = [&](TObject*) { events.push_back("finish"); };

  proc.PaintPenMarker(10, 10, 1, 0x0000FF, 0x000000, 10);  // width 1: the centre only
  Integer changed = 0;
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 20; ++x) changed += b->GetPixels_lk24RGB(x, y).r == 255;
  EXPECT_EQ(changed, 1);

  proc.PaintPenMarker(10, 10, 5, 0x0000FF, 0x000000, 10);
  for (Integer y = 0; y < 20; ++y)
    for (Integer x = 0; x < 20; ++x) {
      const Integer d2 = (x - 10) * (x - 10) + (y - 10) * (y - 10);
      if (b->GetPixels_lk24RGB(x, y).r == 255) EXPECT_LE(d2, 5) << x << "," << y;
    }
  for (TPoint p : {TPoint{9, 10}, TPoint{10, 9}, TPoint{10, 11}, TPoint{12, 10}, TPoint{8, 10}, TPoint{10, 12}})
    EXPECT_EQ(b->GetPixels_lk24RGB(p.X, p.Y).r, 255) << p.X << "," << p.Y;
  EXPECT_EQ(b->GetPixels_lk24RGB(11, 10).r, 100);  // outside the tolerance
  // Centre at client (10, 0), zoom 200: half-size Round(3 * 2) = 6.
  ASSERT_EQ(view.Repainted.size(), 2u);
  EXPECT_EQ(view.Repainted[1], Rect(4, -6, 17, 7));
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(view.Calls.empty());
  EXPECT_EQ(proc.GetUndoCount(), 0);

  proc.PaintPenMarker(-1, 3, 5, 0x0000FF, 0x000000, 10);  // outside: nothing
  proc.PaintPenMarker(3, 20, 5, 0x0000FF, 0x000000, 10);
  EXPECT_EQ(view.Repainted.size(), 2u);
}

}  // namespace

namespace {

// Red byte of pixel (x, y) of a pf24bit bitmap.
Byte Red(TBitmap& b, Integer x, Integer y) { return b.ScanLine(y)[x * 3 + 2]; }

void Paint(TBitmap& b, Byte red) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) b.ScanLine(y)[x * 3 + 2] = red;
}

TEST(PolygonCopies, TwoTrianglesToPointAndBack) {
  const TPoint polygon[] = {{0, 0}, {10, 0}, {0, 10}, {1048575, 0}, {20, 20}, {30, 20}, {20, 30}};
  TBitmap source(40, 40, pf24bit);
  Paint(source, 200);
  TBitmap dest(10, 10, pf24bit);
  Paint(dest, 0);
  _CopyPolygonToPoint(&source, polygon, 7, &dest, TPoint{5, 5});
  // The box (0, 0)-(30, 30) lands at (5, 5): dest grows to 35 x 35.
  ASSERT_EQ(dest.GetWidth(), 35);
  ASSERT_EQ(dest.GetHeight(), 35);
  EXPECT_EQ(Red(dest, 7, 7), 200);    // inside the first triangle
  EXPECT_EQ(Red(dest, 27, 27), 200);  // inside the second
  EXPECT_NE(Red(dest, 20, 20), 200);  // between them
  EXPECT_NE(Red(dest, 13, 13), 200);  // beyond the first one's hypotenuse

  TBitmap back(5, 5, pf24bit);
  Paint(back, 0);
  _CopyPointToPolygon(&dest, polygon, 7, &back, TPoint{5, 5});
  ASSERT_EQ(back.GetWidth(), 30);
  EXPECT_EQ(Red(back, 2, 2), 200);
  EXPECT_EQ(Red(back, 22, 22), 200);
  EXPECT_NE(Red(back, 15, 15), 200);

  // Fewer than 3 points: nothing.
  TBitmap same(4, 4, pf24bit);
  _CopyPolygonToPoint(&source, polygon, 2, &same, TPoint{20, 20});
  EXPECT_EQ(same.GetWidth(), 4);
}

TEST(PolygonCopies, DrawClippedToPolygon) {
  const TPoint polygon[] = {{2, 2}, {8, 2}, {8, 8}, {2, 8}};
  TBitmap source(10, 10, pf24bit);
  Paint(source, 99);
  TBitmap dest(10, 10, pf24bit);
  Paint(dest, 0);
  _CopyPolygonBitmap(&dest, &source, 0, 0, polygon, 4);
  EXPECT_EQ(Red(dest, 5, 5), 99);
  EXPECT_EQ(Red(dest, 1, 5), 0);
  EXPECT_EQ(Red(dest, 9, 9), 0);
}

}  // namespace
