#include "views/lkmviewgrid.h"

#include <gtest/gtest.h>

namespace {

TLKMGridParams Params(Integer GridWidth, Integer ClientWidth, bool Single = false) {
  TLKMGridParams p;
  p.GridWidth = GridWidth;
  p.ClientWidth = ClientWidth;
  p.ClientHeight = 200;
  p.Single = Single;
  return p;
}

TEST(ThumbGrid, LayoutAndExtent) {
  struct Case {
    const char* name;
    TLKMGridParams p;
    Integer count, probe, x, y, row, col, extentW, extentH;
  } cases[] = {
      // The extent follows the layout: last position + one cell + one border.
      {"three columns", Params(3, 500), 10, 4, 108, 108, 1, 1, 316, 420},
      {"one row", Params(0, 500), 5, 4, 420, 4, 0, 4, 524, 108},
      {"as many as fit, narrower than a cell", Params(-1, 50), 3, 2, 212, 4, 0, 2, 316, 108},
      {"as many as fit", Params(-1, 320), 7, 3, 4, 108, 1, 0, 316, 316},
      {"single cell", Params(3, 500, true), 4, 3, 0, 0, 0, 0, 104, 104},
      {"empty", Params(3, 500), 0, -1, 0, 0, 0, 0, 104, 104},
  };
  for (const Case& c : cases) {
    std::vector<TLKMCell> cells;
    const TSize e = LKMLayout(c.p, c.count, cells);
    EXPECT_EQ(e.cx, c.extentW) << c.name;
    EXPECT_EQ(e.cy, c.extentH) << c.name;
    if (c.probe < 0) continue;
    const TLKMCell& cell = cells[static_cast<size_t>(c.probe)];
    EXPECT_EQ(cell.X, c.x) << c.name;
    EXPECT_EQ(cell.Y, c.y) << c.name;
    EXPECT_EQ(cell.Row, c.row) << c.name;
    EXPECT_EQ(cell.Column, c.col) << c.name;
  }
}

TEST(ThumbGrid, HitTests) {
  const TLKMGridParams p = Params(3, 500);
  std::vector<TLKMCell> cells;
  LKMLayout(p, 5, cells);
  struct Case {
    Integer x, y, viewX, viewY, expect;
  } cases[] = {
      {4, 4, 0, 0, 0},        // top-left pixel of the first cell
      {103, 103, 0, 0, 0},    // its bottom-right pixel
      {104, 50, 0, 0, -1},    // the border between two cells
      {112, 112, 0, 0, 4},    // row 1, column 1
      {320, 50, 0, 0, -1},    // right of the last column: not the next row's cell
      {216, 112, 0, 0, -1},   // a cell index past the count
      {8, 4, 104, 104, 4},    // scrolled
  };
  for (const Case& c : cases)
    EXPECT_EQ(LKMImageAtPos(p, cells, c.x, c.y, c.viewX, c.viewY), c.expect) << c.x << "," << c.y;
  EXPECT_EQ(LKMInsertingPoint(p, 5, 900, 10, 0, 0), 3);
  EXPECT_EQ(LKMInsertingPoint(p, 5, 900, 900, 0, 0), 5);
}

TEST(ThumbGrid, FitInCell) {
  struct Case {
    Integer sw, sh, w, h;
    bool enlarge;
    Integer fw, fh, ox, oy;
  } cases[] = {
      {400, 300, 100, 100, true, 100, 75, 0, 12},
      {40, 30, 100, 100, false, 40, 30, 30, 35},
      {40, 30, 100, 100, true, 100, 75, 0, 12},
      {300, 400, 100, 100, false, 75, 100, 12, 0},
  };
  for (const Case& c : cases) {
    const TLKMFit f = LKMFitInCell(c.sw, c.sh, c.w, c.h, c.enlarge);
    EXPECT_EQ(f.Width, c.fw);
    EXPECT_EQ(f.Height, c.fh);
    EXPECT_EQ(f.OffsetX, c.ox);
    EXPECT_EQ(f.OffsetY, c.oy);
  }
}

TEST(ThumbGrid, CaptionTruncation) {
  // Ten pixels per character.
  auto width = [](const String& s) {
    Integer n = 0;
    for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
    return n * 10;
  };
  struct Case {
    const char* text;
    Integer max;
    TLKMTruncSide side;
    const char* expect;
  } cases[] = {
      {"abcdefghij", 100, lkmtsLeft, "abcdefghij"},
      {"abcdefghij", 99, lkmtsLeft, "abcdef..."},     // 8 characters, 7, 6 with the dots
      {"abcdefghij", 70, lkmtsLeft, "abcd..."},
      {"abcdefghij", 99, lkmtsRight, "...efghij"},    // from the 2nd character, 3rd, ...
      {"abcdefghij", 70, lkmtsRight, "...ghij"},
      {"ab", 5, lkmtsLeft, "ab"},                     // nothing shorter: kept
      {"\xc3\xa9t\xc3\xa9s", 35, lkmtsLeft, "\xc3\xa9..."},  // code points, not bytes
  };
  for (const Case& c : cases) EXPECT_EQ(LKMTruncateCaption(c.text, c.max, c.side, width), c.expect) << c.text;
}

}  // namespace
