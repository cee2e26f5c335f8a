// Drawing of the vector view, checked by geometry and sampled pixels:
// line ends, boxes with the desktop's exclusive right and bottom edges,
// the highlighter, bitmap objects and their opacity on both paths, pen
// widths with the zoom, draw events, grips and rubber bands.
#include <gtest/gtest.h>

#include "views/vect_fixture.h"

namespace {

using VectDraw = VectTest;

TRGB White{255, 255, 255}, Black{0, 0, 0};

TEST_F(VectDraw, BoxCoversItsRectangleInclusive) {
  Load(100, 80);
  const Integer h = Add(lkkBOX, {10, 10, 20, 15});
  v_->SetObjBrushStyle(h, bsSolid);
  v_->SetObjBrushColor(h, clBlue);
  EXPECT_EQ(Pixel(10, 10), Black);  // outline
  EXPECT_EQ(Pixel(20, 15), Black);  // X2, Y2 are inside the box
  EXPECT_EQ(Pixel(21, 15), White);
  EXPECT_EQ(Pixel(15, 12), (TRGB{255, 0, 0}));
  EXPECT_EQ(v_->GetDrawnObjectCount(), 1);
}

TEST_F(VectDraw, LineWithArrowsAndDrawnRect) {
  Load(300, 200);
  const Integer h = Add(lkkLINE, {100, 100, 200, 100});
  v_->SetObjBeginShape(h, lksINARROW);
  v_->SetObjEndShape(h, lksOUTARROW);
  v_->SetObjBrushStyle(h, bsSolid);
  v_->SetObjBrushColor(h, clBlack);
  EXPECT_EQ(Pixel(150, 100), Black);
  EXPECT_EQ(Pixel(100, 100), Black);
  EXPECT_EQ(Pixel(200, 100), Black);  // both ends of a line object are drawn
  EXPECT_EQ(Pixel(105, 100), Black);  // inside the begin triangle
  EXPECT_EQ(Pixel(182, 97), Black);   // inside the end arrowhead
  EXPECT_EQ(Pixel(150, 97), White);
  const TRect r = v_->GetObj(h)->DrawnRect;
  EXPECT_EQ(r.Top, 95);
  EXPECT_EQ(r.Bottom, 105);
  // Without shapes the drawn rectangle covers the line alone.
  v_->SetObjBeginShape(h, lksNONE);
  v_->SetObjEndShape(h, lksNONE);
  Pixel(0, 0);
  EXPECT_EQ(v_->GetObj(h)->DrawnRect, (TRect{100, 100, 200, 100}));
}

TEST_F(VectDraw, HighlighterTintsAndStaysInside) {
  TLKBitmap* b = v_->GetLKBitmap();
  Load(100, 80);
  for (Integer x = 50; x < 100; ++x)
    for (Integer y = 0; y < 80; ++y) b->SetPixels_lk24RGB(x, y, TRGB{0, 0, 0});
  v_->Update();
  const Integer h = Add(lkkBOX, {-20, 10, 60, 20});  // reaches off the picture on the left
  v_->SetObjBoxHighLight(h, true);
  v_->SetObjBrushColor(h, clYellow);
  EXPECT_EQ(Pixel(20, 15), (TRGB{0, 255, 255}));  // white shows the brush
  EXPECT_EQ(Pixel(55, 15), Black);                // black stays black
  EXPECT_EQ(Pixel(20, 21), White);
  EXPECT_EQ(Pixel(61, 15), Black);
  EXPECT_EQ(v_->GetObjPenWidth(h), 1);
  // Wholly off the picture: nothing is tinted (no clamped row or column).
  v_->SetObjRect(h, TRect{-50, 30, -10, 40});
  EXPECT_EQ(Pixel(0, 35), White);
}

TEST_F(VectDraw, MissingPictureIsCrossedBox) {
  Load(100, 80);
  const Integer h = Add(lkkBITMAP, {10, 10, 30, 30});
  EXPECT_EQ(v_->GetObjBitmapIdx(h), -1);
  EXPECT_EQ(Pixel(20, 20), Black);  // the diagonals cross at the centre
  EXPECT_EQ(Pixel(10, 20), Black);
  EXPECT_EQ(Pixel(25, 20), White);
}

TEST_F(VectDraw, BitmapObjectCoversZoomedPixelsAndOpacity) {
  Load(100, 80);
  TLKBitmap pic(2, 2, lk24RGB);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 2; ++x) pic.SetPixels_lk24RGB(x, y, TRGB{0, 0, 200});
  const Integer h = Add(lkkBITMAP, {10, 10, 19, 19});
  v_->SetObjBitmap(h, &pic);
  v_->SetZoom(200);
  EXPECT_EQ(Pixel(20, 20), (TRGB{0, 0, 200}));
  EXPECT_EQ(Pixel(39, 39), (TRGB{0, 0, 200}));  // no gap at the right and bottom
  EXPECT_EQ(Pixel(40, 40), White);
  v_->SetZoom(100);
  // Opacity applies to pictures on the direct path too.
  v_->SetObjTransparency(h, 128);
  const TRGB half = Pixel(15, 15);
  EXPECT_NEAR(half.r, 227, 2);
  EXPECT_NEAR(half.b, 127, 2);
}

TEST_F(VectDraw, OpacityOnlyThroughTheComposingPath) {
  Load(100, 80);
  const Integer h = Add(lkkBOX, {10, 10, 40, 40});
  v_->SetObjBrushStyle(h, bsSolid);
  v_->SetObjBrushColor(h, clBlack);
  v_->SetObjTransparency(h, 128);
  EXPECT_EQ(Pixel(25, 25), Black);  // direct path: opaque
  v_->SetObjGraphicRender(true);
  const TRGB c = Pixel(25, 25);
  EXPECT_NEAR(c.g, 127, 2);  // composed: half over white
  EXPECT_EQ(Pixel(50, 25), White);
  EXPECT_EQ(v_->GetComposingLayer()->GetWidth(), v_->GetClientWidth());
  v_->SetObjAntialias(true);
  Pixel(0, 0);
  EXPECT_EQ(v_->GetComposingLayer()->GetWidth(), 2 * v_->GetClientWidth());
  EXPECT_NEAR(Pixel(25, 25).g, 127, 3);
}

TEST_F(VectDraw, SoftShadowDarkensBesideTheObject) {
  Load(100, 80);
  const Integer h = Add(lkkBOX, {20, 20, 40, 40});
  v_->SetObjBrushStyle(h, bsSolid);
  v_->SetObjBrushColor(h, clWhite);
  v_->SetObjGraphicRender(true);
  EXPECT_EQ(Pixel(44, 44), White);
  v_->GetObjSoftShadow(h)->Enabled = true;
  v_->GetObjSoftShadow(h)->OffsetX = 3;
  v_->GetObjSoftShadow(h)->OffsetY = 3;
  EXPECT_LT(Pixel(43, 43).g, 250);
}

TEST_F(VectDraw, PenWidthFollowsZoom) {
  Load(100, 80);
  TLKVObject o;
  o.PenWidth = 1;
  Integer x2 = 0, y2 = 0;
  EXPECT_EQ(v_->AdjustCoords(o, x2, y2, 0.5, 0.5, true, 1), 1);
  EXPECT_EQ(v_->AdjustCoords(o, x2, y2, 2.5, 2.5, true, 1), 3);
  v_->SetZoomObjectsWidth(false);
  EXPECT_EQ(v_->AdjustCoords(o, x2, y2, 2.5, 2.5, true, 1), 1);
}

TEST_F(VectDraw, DrawEventsAndInvisibleObjects) {
  Load(100, 80);
  const Integer h = Add(lkkBOX, {10, 10, 30, 30});
  Integer before = 0, after = 0;
  v_->OnBeforeDrawObject = [&](TObject*, Integer, TBitmap*, TRect, bool, bool& Handled) {
    ++before;
    Handled = true;
  };
  v_->OnAfterDrawObject = [&](TObject*, Integer, TBitmap*, TRect, bool, bool&) { ++after; };
  EXPECT_EQ(Pixel(10, 10), White);  // the handler took the drawing over
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  TBitmap target(50, 50, pf24bit);
  EXPECT_TRUE(v_->DrawObject(*v_->GetObj(h), h, &target, false, false, nullptr, 1, false));
  v_->SetObjStyle(h, TLKVStyle{lkvsSelectable});
  before = after = 0;
  EXPECT_FALSE(v_->DrawObject(*v_->GetObj(h), h, &target, false, false, nullptr, 1, false));
  EXPECT_EQ(before + after, 0);
}

TEST_F(VectDraw, GripsOfSelectedObjects) {
  Load(200, 150);
  const Integer box = Add(lkkBOX, {40, 40, 80, 70});
  const Integer line = Add(lkkLINE, {100, 100, 150, 120});
  v_->AddSelObject(box);
  v_->AddSelObject(line);
  EXPECT_EQ(Pixel(37, 37), Black);   // corner grip 1
  EXPECT_EQ(Pixel(60, 37), Black);   // middle of the top side (grip 8)
  EXPECT_EQ(Pixel(44, 44), White);   // grip squares leave out right and bottom
  EXPECT_EQ(Pixel(125, 100), White); // a line has no middle grips
  v_->CenterGripMove = true;
  EXPECT_EQ(Pixel(60, 51), Black);   // the centre diamond top point (60, 55 - 4)
  // Objects wholly outside the picture show no grips.
  v_->CenterGripMove = false;
  v_->SetObjRect(box, TRect{400, 400, 420, 420});
  v_->SetObjRect(line, TRect{400, 400, 420, 420});
  EXPECT_EQ(Pixel(199, 149), White);
}

TEST_F(VectDraw, RubberBoxTwiceLeavesWindowUnchanged) {
  Load(200, 150);
  v_->SetMouseInteractVt(TLKMouseInteractVt{miPutBox});
  TBitmap* s = v_->GetSurface();
  std::vector<Byte> before(s->ScanLine(0), s->ScanLine(0) + s->RowBytes() * 150);
  const TShiftState held{ssLeft};
  v_->MouseDown(mbLeft, held, 20, 20);
  v_->MouseMove(held, 60, 50);
  EXPECT_NE(std::vector<Byte>(s->ScanLine(0), s->ScanLine(0) + s->RowBytes() * 150), before);
  v_->DrawBoxInserting();  // erase by drawing again
  EXPECT_EQ(std::vector<Byte>(s->ScanLine(0), s->ScanLine(0) + s->RowBytes() * 150), before);
}

}  // namespace
