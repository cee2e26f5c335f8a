// The hit test's box pass skips objects without measuring them: it must find
// exactly what measuring every object finds, for every kind, thick pens,
// polylines whose points lie past their point box, and ties.
#include <gtest/gtest.h>

#include <random>

#include "views/vect_fixture.h"

namespace {

using VectHit = VectTest;

TEST_F(VectHit, BoxPassFindsWhatMeasuringEveryObjectFinds) {
  Load(400, 300);
  std::mt19937 rng(7);
  auto R = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
  const TLKVObjectKind kinds[] = {lkkLINE, lkkLINELABEL, lkkRULER, lkkBOX,     lkkBITMAP, lkkTEXT,
                                  lkkMEMO, lkkELLIPSE,   lkkARC,   lkkPOLYLINE, lkkANGLE};
  std::vector<Integer> handles;
  for (int i = 0; i < 300; ++i) {
    const Integer x = R(0, 380), y = R(0, 280);
    // Some rectangles are given corner to corner backwards.
    const Integer h = R(0, 3) == 0 ? Add(kinds[i % 11], TRect{x + R(2, 60), y + R(2, 60), x, y})
                                   : Add(kinds[i % 11], TRect{x, y, x + R(2, 60), y + R(2, 60)});
    TLKVObject* o = v_->GetObj(h);
    o->PenWidth = R(0, 4) == 0 ? R(2, 12) : 1;
    o->BrushStyle = R(0, 1) ? bsClear : bsSolid;
    if (o->Kind == lkkPOLYLINE) {
      // Points past the point box map outside the object's rectangle.
      o->PolyPoints = {{R(-20, 40), R(-20, 40)}, {R(-20, 40), R(-20, 40)}, {R(-20, 40), R(-20, 40)}};
      o->PolyBox = TRect{0, 0, 20, 20};
    }
    if (o->Kind == lkkANGLE) {
      o->AnglePoints[0] = TPoint{R(0, 400), R(0, 300)};
      o->AnglePoints[1] = TPoint{R(0, 400), R(0, 300)};
      o->AnglePoints[2] = R(0, 2) == 0 ? TPoint{LKAngleUnset, LKAngleUnset} : TPoint{R(0, 400), R(0, 300)};
    }
    handles.push_back(h);
  }
  // A twin of the first box, drawn later: on a tie the later one is found.
  TLKVObject* first = v_->GetObj(handles[3]);
  handles.push_back(Add(lkkBOX, TRect{first->X1, first->Y1, first->X2, first->Y2}));

  for (int q = 0; q < 400; ++q) {
    const Integer x = R(-30, 430), y = R(-30, 330);
    double best = 2147483647.0;
    Integer expected = -3;
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
      const double d = v_->CalcDistPtObj(*v_->GetObj(*it), x, y);
      if (d >= 0 && d < best) {
        best = d;
        expected = *it;
      }
    }
    double d;
    EXPECT_EQ(v_->FindNearObj(x, y, true, d), expected) << x << "," << y;
    EXPECT_DOUBLE_EQ(d, best) << x << "," << y;
  }
  double d;
  EXPECT_EQ(v_->FindNearObj(first->X1, first->Y1, true, d), handles.back());
}

}  // namespace
