// Background styles, the gradient and the wallpaper, on plain bitmaps and
// inside the view's render.
#include "views/lkbackground.h"

#include <gtest/gtest.h>

#include "views/view_fixture.h"

namespace {

TColor At(TBitmap& B, Integer X, Integer Y) {
  const Byte* p = B.ScanLine(Y) + X * 3;
  return RGB(p[2], p[1], p[0]);
}

struct Board {
  TBitmap bmp;
  TCanvas canvas{&bmp};
  Board(Integer W, Integer H) {
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(W, H);
  }
  void Draw(TLKBackgroundStyle Style, TColor Color, bool Fast, TColor Color2 = clBlue, TPicture* Wall = nullptr,
            TLKWallPaperStyle WallStyle = lkwoNormal, TRect Image = TRect{}) {
    LKDrawBackground(false, &canvas, Fast ? &bmp : nullptr, Style, Color, 0, 0, bmp.GetWidth(), bmp.GetHeight(),
                     Image.Left, Image.Top, Image.Right, Image.Bottom, 16, bsSolid, Color2, Wall, WallStyle);
  }
};

constexpr TColor kColor = RGB(10, 20, 30);
constexpr TColor kComplement = RGB(245, 235, 225);

}  // namespace

TEST(Background, ChessboardPhasesDependOnThePath) {
  struct Row {
    const char* name;
    bool fast;
    TColor origin, next;
  };
  const Row rows[] = {{"rows written directly start with the colour", true, kColor, kComplement},
                      {"the canvas path starts with the complement", false, kComplement, kColor}};
  for (const Row& r : rows) {
    Board b(40, 40);
    b.Draw(lkbsChessboard, kColor, r.fast);
    EXPECT_EQ(At(b.bmp, 0, 0), r.origin) << r.name;
    EXPECT_EQ(At(b.bmp, 16, 0), r.next) << r.name;
    EXPECT_EQ(At(b.bmp, 0, 16), r.next) << r.name;
    EXPECT_EQ(At(b.bmp, 16, 16), r.origin) << r.name;
    // The narrower last column of squares.
    EXPECT_EQ(At(b.bmp, 39, 0), r.origin) << r.name;
  }
}

TEST(Background, GradientRunsFromTopToBottomColour) {
  Board b(4, 50);
  b.Draw(lkbsGradient, clBlack, false, clWhite);
  EXPECT_EQ(At(b.bmp, 2, 0), clBlack);
  EXPECT_EQ(At(b.bmp, 2, 49), clWhite);
  EXPECT_GT(GetRValue(At(b.bmp, 2, 30)), GetRValue(At(b.bmp, 2, 20)));
}

TEST(Background, HatchGapsAreFilledSoNothingOldShowsThrough) {
  Board b(16, 16);
  b.Draw(lkbsSolid, clRed, false);
  b.Draw(lkbsHorizontal, clBlack, false);
  Integer lines = 0, gaps = 0;
  for (Integer y = 0; y < 16; ++y) {
    const TColor c = At(b.bmp, 5, y);
    lines += c == clBlack;
    gaps += c == LKHatchGapColor;
  }
  EXPECT_GT(lines, 0);
  EXPECT_EQ(lines + gaps, 16);
}

TEST(Background, CroppedEdgeOnlyAroundAPictureOfTwoPixelsOrMore) {
  for (Integer w : {1, 10}) {
    Board b(40, 40);
    b.Draw(lkbsCropped, kColor, false, clBlue, nullptr, lkwoNormal, TRect{10, 10, 10 + w, 30});
    const bool edge = At(b.bmp, 8, 20) != ColorToRGB(clBtnFace);
    EXPECT_EQ(edge, w >= 2) << w;
  }
}

TEST(Background, DiagonalsCrossTheArea) {
  Board b(20, 20);
  b.Draw(lkbsDiagonals, kColor, false);
  EXPECT_EQ(At(b.bmp, 5, 5), kComplement);
  EXPECT_EQ(At(b.bmp, 15, 5), kComplement);
  EXPECT_EQ(At(b.bmp, 10, 2), kColor);
}

TEST(Background, WallpaperTilesFromTheOrigin) {
  TPicture wall;
  TBitmap tile;
  tile.SetPixelFormat(pf24bit);
  tile.SetSize(30, 40);
  TCanvas tc(&tile);
  tc.GetBrush()->SetColor(clWhite);
  tc.FillRect(TRect{0, 0, 30, 40});
  tc.GetBrush()->SetColor(clRed);
  tc.FillRect(TRect{0, 0, 1, 1});  // marks each copy's corner
  wall.SetGraphic(&tile);
  Board b(100, 100);
  b.Draw(lkbsSolid, clBlack, false, clBlue, &wall, lkwoTile);
  for (Integer y : {0, 40, 80})
    for (Integer x : {0, 30, 60, 90}) EXPECT_EQ(At(b.bmp, x, y), clRed) << x << "," << y;
  EXPECT_EQ(At(b.bmp, 1, 1), clWhite);
  // A graphic without width is skipped.
  TPicture empty;
  TBitmap none;
  empty.SetGraphic(&none);
  b.Draw(lkbsSolid, clBlack, false, clBlue, &empty, lkwoTile);
  EXPECT_EQ(At(b.bmp, 0, 0), clBlack);
}

TEST_F(ViewTest, BackgroundIsSkippedUnderAnOpaquePictureCoveringTheBuffer) {
  Load(2000, 2000);
  view_->SetBackgroundStyle(lkbsChessboard);
  Integer handled = 0;
  view_->OnDrawBackground = [&](TObject*, TCanvas*, TRect, bool& Handled) {
    ++handled;
    Handled = true;
  };
  view_->PaintNow();
  EXPECT_EQ(handled, 0);
  Load(20, 20);
  view_->PaintNow();
  EXPECT_EQ(handled, 1);
  // A hidden only layer: just the background.
  view_->GetLayer(0)->Visible = false;
  view_->Update();
  view_->PaintNow();
  EXPECT_EQ(handled, 2);
}

TEST_F(ViewTest, ChessboardInTheBackBufferStartsWithTheColour) {
  Load(4, 4);
  view_->SetBackGround(kColor);
  view_->SetBackgroundStyle(lkbsChessboard);
  view_->PaintNow();
  EXPECT_EQ(Back(0, 0), (TRGB{30, 20, 10}));
  EXPECT_EQ(Back(16, 0), (TRGB{225, 235, 245}));
}
