// Text objects of the vector view: curve shapes, curves from polylines, and
// text drawn straight, turned and along a curve.
#include <gtest/gtest.h>

#include "views/vect_fixture.h"

namespace {

class VectText : public VectTest {
 protected:
  Integer Text(TRect R, const std::string& S) {
    const Integer h = Add(lkkTEXT, R);
    v_->SetObjKind(h, lkkTEXT);
    v_->SetObjText(h, S);
    v_->SetObjFontHeight(h, -20);
    v_->SetObjPenColor(h, clBlack);
    v_->SetObjPenStyle(h, psClear);
    return h;
  }
  /// Dark pixels of the screen inside R.
  Integer Ink(TRect R) {
    Pixel(0, 0);  // repaint
    Integer n = 0;
    for (Integer y = R.Top; y < R.Bottom; ++y)
      for (Integer x = R.Left; x < R.Right; ++x) {
        const Byte* p = static_cast<const Byte*>(v_->GetBackBufferLK()->GetScanLine(y)) + x * 3;
        if (p[0] < 100 && p[1] < 100 && p[2] < 100) ++n;
      }
    return n;
  }
};

TEST_F(VectText, CurveShapes) {
  const Integer h = Text({0, 0, 99, 99}, "x");
  struct Case {
    TLumerakVect::TLKCurve Shape;
    bool Reverse;
    std::size_t Count;
    TLKDPoint First, Last;
  };
  const Case cases[] = {
      {TLumerakVect::lkcNone, false, 0, {}, {}},
      {TLumerakVect::lkcEllipse, false, 361, {0.5, 1.0}, {0.5, 1.0}},
      {TLumerakVect::lkcArc, false, 181, {0.0, 0.5}, {1.0, 0.5}},
      {TLumerakVect::lkcArc, true, 181, {1.0, 0.5}, {0.0, 0.5}},
      {TLumerakVect::lkcCosine, false, 361, {1 / 360.0, 1.0}, {361 / 360.0, 1.0}},
      {TLumerakVect::lkcVertical, false, 2, {0.5, 1}, {0.5, 0}},
      {TLumerakVect::lkcVertical, true, 2, {0.5, 0}, {0.5, 1}},
      {TLumerakVect::lkcHorizontal, false, 2, {1, 0.5}, {0, 0.5}},
      {TLumerakVect::lkcHorizontal, true, 2, {0, 0.5}, {1, 0.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Shape) << (c.Reverse ? " reversed" : ""));
    v_->SetObjTextCurveShape(h, c.Shape, 0, c.Reverse);
    const std::vector<TLKDPoint>& p = v_->GetObj(h)->CurvePoints;
    ASSERT_EQ(p.size(), c.Count);
    if (p.empty()) continue;
    EXPECT_NEAR(p.front().X, c.First.X, 1e-9);
    EXPECT_NEAR(p.front().Y, c.First.Y, 1e-9);
    EXPECT_NEAR(p.back().X, c.Last.X, 1e-9);
    EXPECT_NEAR(p.back().Y, c.Last.Y, 1e-9);
  }
  v_->SetObjTextCurve(h, 0.25, 0.75);
  EXPECT_EQ(v_->GetObj(h)->CurvePoints.size(), 3u);
}

// The curve follows the polyline inside its point box; a straight polyline
// (a flat box) takes the middle on its flat axis instead of dividing by 0.
TEST_F(VectText, CurveFromPolyline) {
  const Integer t = Text({0, 0, 99, 99}, "x");
  const Integer p = Add(lkkPOLYLINE, {0, 0, 0, 0});
  v_->SetObjPolylinePoints(p, {{10, 20}, {30, 60}, {50, 20}});
  v_->SetObjTextCurveFromPolyline(t, p);
  const std::vector<TLKDPoint>& c = v_->GetObj(t)->CurvePoints;
  ASSERT_EQ(c.size(), 3u);
  EXPECT_DOUBLE_EQ(c[1].X, 0.5);
  EXPECT_DOUBLE_EQ(c[1].Y, 1.0);
  EXPECT_DOUBLE_EQ(c[2].X, 1.0);
  v_->SetObjPolylinePoints(p, {{10, 20}, {50, 20}});
  v_->SetObjTextCurveFromPolyline(t, p);
  EXPECT_DOUBLE_EQ(v_->GetObj(t)->CurvePoints[1].Y, 0.5);
}

TEST_F(VectText, StraightTurnedAndCurvedTextIsDrawn) {
  Load(400, 300);
  const Integer straight = Text({10, 10, 200, 50}, "Straight");
  EXPECT_GT(Ink({10, 10, 200, 50}), 50);
  EXPECT_EQ(Ink({10, 60, 200, 100}), 0);
  v_->RemoveObject(straight);

  // Turned a quarter: the ink stands in a tall narrow band.
  const Integer turned = Text({20, 20, 80, 250}, "Upright");
  v_->SetObjFontAngle(turned, 90);
  EXPECT_GT(Ink({20, 120, 80, 250}), 50);
  v_->RemoveObject(turned);

  // Along a horizontal curve from right to left: the characters spread
  // over the box, and the drawn area grows with them.
  const Integer curved = Text({50, 100, 350, 160}, "ABCDE");
  v_->SetObjTextCurveShape(curved, TLumerakVect::lkcHorizontal, 0, true);
  EXPECT_GT(Ink({50, 100, 120, 160}), 10);
  EXPECT_GT(Ink({230, 100, 300, 160}), 10);
  const TRect drawn = v_->GetObj(curved)->DrawnRect;
  EXPECT_LE(drawn.Left, 60);
  EXPECT_GE(drawn.Right, 280);

  // More characters than pixels of curve: drawn, never stuck.
  const Integer crowded = Text({10, 200, 12, 202}, std::string(500, 'i'));
  v_->SetObjTextCurveShape(crowded, TLumerakVect::lkcEllipse, 0, false);
  Pixel(0, 0);
  v_->SetObjTextCurveCharRot(crowded, 45);
  Pixel(0, 0);
}

}  // namespace
