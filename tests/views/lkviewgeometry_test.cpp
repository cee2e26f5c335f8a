// The view's arithmetic without a widget: paint coordinates, lookup tables
// and conversions, the largest origin, scroll steps.
#include "views/lkviewgeometry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A geometry with the tables built for the given state.
TLKViewGeometry Built(Integer BmpW, Integer BmpH, Integer CW, Integer CH, double Zoom, Integer ViewX = 0,
                      Integer ViewY = 0) {
  TLKViewGeometry g;
  g.BmpW = BmpW;
  g.BmpH = BmpH;
  g.CW = CW;
  g.CH = CH;
  g.W = CW + 4;
  g.H = CH + 4;
  g.SetZoomXFactors(Zoom);
  g.SetZoomYFactors(Zoom);
  g.UpdateLimits(false);
  g.CalcPaintCoords();
  g.CreateCoordConvLUT(BmpW, BmpH);
  // Origins within 0..maximum, as the view keeps them.
  Integer mx, my;
  g.GetMaxViewXY(mx, my);
  g.ViewX = std::min(ViewX, mx);
  g.ViewY = std::min(ViewY, my);
  g.CalcPaintCoords();
  g.CreateCoordConvLUT(BmpW, BmpH);
  // Quantised origins move the first drawn column: compute again as the
  // renderer does before each render.
  g.CalcPaintCoords();
  g.CreateCoordConvLUT(BmpW, BmpH);
  return g;
}

}  // namespace

TEST(ViewGeometry, CentredSmallPictureConvertsAtItsEdges) {
  const TLKViewGeometry g = Built(100, 50, 300, 200, 100);
  EXPECT_EQ(g.OffX, 100);
  EXPECT_EQ(g.OffY, 75);
  EXPECT_EQ(g.XScr2Bmp(100), 0);
  EXPECT_EQ(g.XScr2Bmp(99), -1);
  EXPECT_EQ(g.XScr2Bmp(199), 99);
  EXPECT_EQ(g.XBmp2Scr(0), 100);
}

TEST(ViewGeometry, ZoomAbove100SnapsTheOriginToWholePixels) {
  const TLKViewGeometry g = Built(100, 100, 50, 50, 400);
  EXPECT_EQ(g.QuantizeViewX(10), 8);
  EXPECT_EQ(g.QuantizeViewX(-5), 0);
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(g.XScr2Bmp(x), 0) << x;
  EXPECT_EQ(g.XScr2Bmp(4), 1);
}

// Every client pixel of the painted area and every visible bitmap column
// convert exactly into each other, at every zoom and for origins that are
// and are not on pixel boundaries.
TEST(ViewGeometry, ConversionsRoundTripExactly) {
  for (double zoom : {33.0, 50.0, 100.0, 250.0, 400.0}) {
    for (Integer view : {0, 7, 131}) {
      const TLKViewGeometry g = Built(997, 613, 200, 150, zoom, view, view);
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << " origin " << view);
      ASSERT_GT(g.DW, 0);
      // Client -> bitmap -> client lands on the first client pixel of the
      // same column, which converts back to that column.
      for (Integer x = g.OffX; x < g.OffX + g.DW; ++x) {
        const Integer b = g.XScr2Bmp(x);
        const Integer back = g.XBmp2Scr(b);
        ASSERT_LE(back, x);
        ASSERT_EQ(g.XScr2Bmp(back), b) << "x " << x;
      }
      for (Integer y = g.OffY; y < g.OffY + g.DH; ++y) {
        const Integer b = g.YScr2Bmp(y);
        ASSERT_EQ(g.YScr2Bmp(g.YBmp2Scr(b)), b) << "y " << y;
      }
      // At 100 % and above each visible column has its own client pixels.
      if (zoom >= 100) {
        for (Integer b = g.XScr2Bmp(g.OffX); b <= g.XScr2Bmp(g.OffX + g.DW - 1); ++b)
          ASSERT_EQ(g.XScr2Bmp(g.XBmp2Scr(b)), b) << "column " << b;
      } else {
        // Below 100 % every client pixel maps back onto itself.
        for (Integer x = g.OffX; x < g.OffX + g.DW; ++x) ASSERT_EQ(g.XBmp2Scr(g.XScr2Bmp(x)), x) << "x " << x;
      }
    }
  }
}

TEST(ViewGeometry, MaxOriginAllowsOneMorePixelForLargePictures) {
  struct Row {
    const char* name;
    Integer bmpW, bmpH, cw, ch, w, h;
    double zoom;
    Integer maxX, maxY;
  };
  const Row rows[] = {
      {"larger by more than 10: one more pixel", 1000, 800, 400, 300, 420, 320, 100, 601, 501},
      {"fits the client area", 300, 200, 400, 300, 420, 320, 100, 0, 0},
      {"fits the outer size (bar room)", 410, 310, 400, 300, 420, 320, 100, 0, 0},
      {"half size", 1000, 800, 400, 300, 420, 320, 50, 100, 100},
  };
  for (const Row& r : rows) {
    TLKViewGeometry g = Built(r.bmpW, r.bmpH, r.cw, r.ch, r.zoom);
    g.W = r.w;
    g.H = r.h;
    Integer mx, my;
    g.GetMaxViewXY(mx, my);
    EXPECT_EQ(mx, r.maxX) << r.name;
    EXPECT_EQ(my, r.maxY) << r.name;
  }
}

TEST(ViewGeometry, ScrollCommandsMoveByLinesPagesAndEnds) {
  struct Row {
    const char* name;
    TLKScrollCommand cmd;
    double zoom;  // factor
    Integer lineStep, pageStep, expected;
  };
  // Origin 100, maximum 500, client 300.
  const Row rows[] = {
      {"line at 250 %: two pixels", lkscLineDown, 2.5, -1, -1, 102},
      {"line at 50 %: one pixel", lkscLineDown, 0.5, -1, -1, 101},
      {"line up with step 3 at 400 %", lkscLineUp, 4.0, 3, -1, 88},
      {"page: one client extent", lkscPageDown, 1.0, -1, -1, 400},
      {"page with step 10 at 200 %", lkscPageUp, 2.0, -1, 10, 80},
      {"top", lkscTop, 1.0, -1, -1, 0},
      {"bottom", lkscBottom, 1.0, -1, -1, 500},
      {"position", lkscPosition, 1.0, -1, -1, 42},
  };
  for (const Row& r : rows)
    EXPECT_EQ(LKScrollTarget(r.cmd, 42, 100, 500, r.zoom, 300, r.lineStep, r.pageStep), r.expected) << r.name;
}

TEST(ViewGeometry, ExtremeZoomLeavesTablesUnbuiltButConverts) {
  const TLKViewGeometry g = Built(6000, 4000, 800, 600, 1e7);
  EXPECT_EQ(g.TableLengthX(), 0);
  EXPECT_EQ(g.XScr2Bmp(g.OffX), 0);
}

TEST(ViewGeometry, RoundingIsHalfToEvenAndTruncClamps) {
  EXPECT_EQ(LKRoundEven(2.5), 2);
  EXPECT_EQ(LKRoundEven(3.5), 4);
  EXPECT_EQ(LKRoundEven(-2.5), -2);
  EXPECT_EQ(LKTruncClamp(-2.7), -2);
  EXPECT_EQ(LKTruncClamp(1e20), INT32_MAX);
}
