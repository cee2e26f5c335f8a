// Measurement objects and polygons made from the picture: rulers and
// dimension lines by what they cover, line labels, angle objects, polygons
// from the selection and from a colour edge.
#include <gtest/gtest.h>

#include "core/lkmask.h"
#include "views/vect_fixture.h"

namespace {

using VectMeasure = VectTest;

TRect Drawn(TTestVect* V, Integer H) {
  TBitmap t(400, 300, pf24bit);
  V->DrawObject(*V->GetObj(H), H, &t, false, true, nullptr, 1, false);
  return V->GetObj(H)->DrawnRect;
}

TEST_F(VectMeasure, RulerTicksFollowZoomAndZeroLengthDrawsNothing) {
  Load(400, 300);
  v_->SetDPI(254, 254);  // one millimetre is 10 pixels
  const Integer h = Add(lkkRULER, {20, 100, 220, 100});
  v_->SetObjRulerUnit(h, lkuMILLIMETERS);
  v_->SetObjRulerType(h, lkrtRULER);
  TBitmap t(400, 300, pf24bit);
  TCanvas* c = t.GetCanvas();
  TRect r{2000000000, 2000000000, -2000000000, -2000000000};
  v_->DrawRuler(c, 20, 100, 220, 100, lkuMILLIMETERS, clBlack, 1, lkrtRULER, 1, 1, r, nullptr);
  // A tenth of a millimetre is 1 pixel, below 2: ticks every 5 tenths (5
  // pixels), medium ones every 25, long ones every 50 pixels (lines leave
  // out their end pixel).
  EXPECT_EQ(c->GetPixel(20, 100 - 11), clBlack);
  EXPECT_EQ(c->GetPixel(70, 100 - 11), clBlack);
  EXPECT_EQ(c->GetPixel(45, 100 - 7), clBlack);
  EXPECT_EQ(c->GetPixel(45, 100 - 8), clWhite);
  EXPECT_EQ(c->GetPixel(25, 100 - 5), clBlack);
  EXPECT_EQ(c->GetPixel(25, 100 - 6), clWhite);
  EXPECT_EQ(c->GetPixel(27, 100 - 3), clWhite);
  // At 50 % zoom (scales 2): ticks half as long and half as far apart.
  TBitmap t2(400, 300, pf24bit);
  v_->DrawRuler(t2.GetCanvas(), 20, 100, 120, 100, lkuMILLIMETERS, clBlack, 1, lkrtRULER, 2, 2, r, nullptr);
  EXPECT_EQ(t2.GetCanvas()->GetPixel(20, 100 - 5), clBlack);
  EXPECT_EQ(t2.GetCanvas()->GetPixel(20, 100 - 6), clWhite);
  EXPECT_EQ(t2.GetCanvas()->GetPixel(45, 100 - 5), clBlack);
  // A ruler of length 0 draws nothing; tiny units never loop for long.
  TRect none{2000000000, 2000000000, -2000000000, -2000000000};
  v_->DrawRuler(c, 50, 50, 50, 50, lkuMILLIMETERS, clBlack, 1, lkrtRULER, 1, 1, none, nullptr);
  EXPECT_EQ(none.Left, 2000000000);
  v_->DrawRuler(c, 0, 200, 399, 200, lkuNANOMETERS, clBlack, 1, lkrtRULER, 1, 1, none, nullptr);
}

TEST_F(VectMeasure, DimensionLineTextPlaces) {
  Load(400, 300);
  const Integer h = Add(lkkRULER, {100, 100, 130, 100});
  v_->SetObjKind(h, lkkRULER);  // gets the template's font record
  v_->SetObjRulerType(h, lkrtQUOTEEND);
  const TRect end = Drawn(v_, h);
  // The text is longer than the 30-pixel line: it starts before the first end.
  EXPECT_LT(end.Left, 100 - 15);
  v_->SetObjRulerType(h, lkrtQUOTEBEGIN);
  const TRect begin = Drawn(v_, h);
  EXPECT_GT(begin.Right, 130 + 15);
  EXPECT_GE(begin.Left, 100 - 15 - 30);
}

TEST_F(VectMeasure, LineLabelSitsAtTheChosenEnd) {
  Load(400, 300);
  const Integer h = Add(lkkLINELABEL, {50, 200, 250, 100});
  v_->SetObjKind(h, lkkLINELABEL);
  v_->SetObjText(h, "Label");
  v_->SetObjLabelBrushColor(h, clYellow);
  EXPECT_EQ(Pixel(253, 97), (TRGB{0, 255, 255}));  // box beside the second point, away from the line
  v_->SetObjLabelPos(h, lklBegin);
  EXPECT_EQ(Pixel(253, 97), (TRGB{255, 255, 255}));
  EXPECT_EQ(Pixel(47, 203), (TRGB{0, 255, 255}));
  // Without text no box is drawn.
  v_->SetObjText(h, "");
  EXPECT_EQ(Pixel(47, 203), (TRGB{255, 255, 255}));
}

TEST_F(VectMeasure, AngleWithTwoPointsDrawsOneArm) {
  Load(400, 300);
  const Integer h = Add(lkkANGLE, {0, 0, 300, 300});
  v_->SetObjAnglePoints(h, {100, 100}, {200, 100}, {LKAngleUnset, LKAngleUnset});
  EXPECT_EQ(Pixel(150, 100), (TRGB{0, 0, 0}));
  EXPECT_EQ(v_->GetAngleValue(h), 0);
  v_->SetObjAnglePoints(h, {100, 100}, {200, 100}, {200, 200});
  EXPECT_DOUBLE_EQ(v_->GetAngleValue(h), 90);
  EXPECT_EQ(Pixel(200, 150), (TRGB{0, 0, 0}));
}

TEST_F(VectMeasure, PolygonsFromSelection) {
  Load(200, 150);
  v_->Select(20, 20, 59, 49, lkspReplace);
  v_->Select(100, 100, 101, 100, lkspAdd);  // a sliver whose outline is too short
  const Integer n = v_->CreatePolygonsFromSelection();
  ASSERT_GE(n, 1);
  EXPECT_EQ(v_->GetObjectCount(), n);
  const Integer h = v_->GetObjectAt(0);
  EXPECT_EQ(v_->GetObjKind(h), lkkPOLYLINE);
  EXPECT_GE(v_->GetObjPolylinePointsCount(h), 3);
  // The outline's area matches the selected pixels within its length.
  TLKMask* m = v_->GetSelectionMask();
  double pixels = 0;
  for (Integer y = 15; y < 55; ++y)
    for (Integer x = 15; x < 65; ++x) pixels += m->GetPixel(x, y) != 0;
  EXPECT_NEAR(v_->GetPolylineArea(h), pixels, v_->GetPolylineLen(h));
}

TEST_F(VectMeasure, PolygonFromColourEdge) {
  Load(200, 150);
  TLKBitmap* b = v_->GetLKBitmap();
  for (Integer y = 40; y < 80; ++y)
    for (Integer x = 60; x < 120; ++x) b->SetPixels_lk24RGB(x, y, TRGB{0, 0, 255});
  v_->Update();
  EXPECT_EQ(v_->CreatePolygonFromEdge(-50, -50, false, 10), -1);  // outside the picture
  const Integer h = v_->CreatePolygonFromEdge(90, 60, false, 10);
  ASSERT_GE(h, 0);
  EXPECT_EQ(v_->GetObjKind(h), lkkPOLYLINE);
  const TRect r = v_->GetObjRect(h);
  EXPECT_NEAR(r.Left, 60, 1);
  EXPECT_NEAR(r.Right, 119, 1);
  EXPECT_NEAR(v_->GetPolylineArea(h), 60.0 * 40, v_->GetPolylineLen(h));
  // Simplified to at most 8 points it keeps the rectangle's corners.
  v_->SimplifyPolygon(h, 8);
  EXPECT_LE(v_->GetObjPolylinePointsCount(h), 8);
  EXPECT_NEAR(v_->GetPolylineArea(h), 60.0 * 40, v_->GetPolylineLen(h));
}

}  // namespace
