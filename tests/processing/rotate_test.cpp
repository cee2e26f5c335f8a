// Rotation engines: exact quarter turns, the sizes of turned pictures, the
// background of uncovered corners and the component's alpha handling.
#include <gtest/gtest.h>

#include <cmath>

#include "processing/lkprocutils.h"
#include "processing/lkrotate.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// Where pixel (x, y) of a w x h picture lands after q counter-clockwise
// quarter turns.
TPoint Turned(Integer x, Integer y, Integer w, Integer h, Integer q) {
  switch (((q % 4) + 4) % 4) {
    case 1: return {y, w - 1 - x};
    case 2: return {w - 1 - x, h - 1 - y};
    case 3: return {h - 1 - y, x};
    default: return {x, y};
  }
}

using Engine = void (*)(TLKBitmap*, double);
struct EngineCase {
  const char* name;
  TLKPixelFormat format;
  Engine rotate;
};
const EngineCase kEngines[] = {
    {"RotateEx", lk24RGB, [](TLKBitmap* b, double a) { _RotateEx(b, a, true, TRGB{1, 2, 3}, {}, nullptr); }},
    {"RotateEx8", lk8g, [](TLKBitmap* b, double a) { _RotateEx8(b, a, true, 7, {}, nullptr); }},
    {"RotateEx on lk48RGB", lk48RGB, [](TLKBitmap* b, double a) { _RotateEx(b, a, false, TRGB{}, {}, nullptr); }},
    {"RotateEx on lk8p", lk8p, [](TLKBitmap* b, double a) { _RotateEx(b, a, false, TRGB{}, {}, nullptr); }},
    {"rotate8bit", lk8g, [](TLKBitmap* b, double a) { _rotate8bit(b, a, 0); }},
    {"rotate1bitEx", lk1g, [](TLKBitmap* b, double a) { TProgressRec r; _rotate1bitEx(b, a, 1, r); }},
    {"LKQRotate", lk24RGB, [](TLKBitmap* b, double a) { _LKQRotate(b, a, 0, lkrBilinear, {}, nullptr); }},
    {"LKQRotate8", lk8g, [](TLKBitmap* b, double a) { _LKQRotate8(b, a, 0, lkrBicubic); }},
    {"LKGRotate", lkCMYK, [](TLKBitmap* b, double a) { LKGRotate(b, a, 0, {}, nullptr); }},
};

class RotateStorage : public ::testing::TestWithParam<bool> {};

TEST_P(RotateStorage, QuarterTurnsAreExactInEveryEngine) {
  StorageScope storage(GetParam());
  // Angles and their counter-clockwise quarter turns; the nearest engines
  // take only the four exact angles.
  const struct {
    double angle;
    Integer quarters;
    bool all;
  } angles[] = {{90, 1, true}, {180, 2, true}, {-90, 3, true}, {270, 3, true}, {-180, 2, true}, {450, 1, false}};
  for (const EngineCase& e : kEngines)
    for (const auto& a : angles) {
      const bool nearest = std::string(e.name).rfind("rotate", 0) == 0;
      if (nearest && !a.all) continue;
      TLKBitmap b(3, 2, e.format);
      FillDistinct(&b);
      TLKBitmap before;
      before.Assign(&b);
      e.rotate(&b, a.angle);
      const bool odd = a.quarters % 2 == 1;
      ASSERT_EQ(b.GetWidth(), odd ? 2 : 3) << e.name << " " << a.angle;
      ASSERT_EQ(b.GetHeight(), odd ? 3 : 2) << e.name << " " << a.angle;
      ASSERT_EQ(b.GetPixelFormat(), e.format);
      for (Integer y = 0; y < 2; ++y)
        for (Integer x = 0; x < 3; ++x) {
          const TPoint p = Turned(x, y, 3, 2, a.quarters);
          ASSERT_EQ(PixelBytes(&b, p.X, p.Y), PixelBytes(&before, x, y)) << e.name << " " << a.angle;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, RotateStorage, ::testing::Bool());

TEST(Rotate, ShearSizesAndAngleReduction) {
  // 30 degrees of 100 x 50 by three shears: 112 x 94, either direction.
  for (double a : {30.0, -30.0, 390.0}) {
    TLKBitmap b(100, 50, lk24RGB);
    _RotateEx(&b, a, false, TRGB{}, {}, nullptr);
    EXPECT_EQ(b.GetWidth(), 112) << a;
    EXPECT_EQ(b.GetHeight(), 94) << a;
  }
  // 370 turns as 10; -135 is one clockwise quarter turn, then -45.
  TLKBitmap p(40, 30, lk8g), q(40, 30, lk8g), r(40, 30, lk8g), s(40, 30, lk8g);
  FillDistinct(&p);
  q.Assign(&p);
  r.Assign(&p);
  s.Assign(&p);
  _RotateEx8(&p, 370, true, 0, {}, nullptr);
  _RotateEx8(&q, 10, true, 0, {}, nullptr);
  _RotateEx8(&r, -135, true, 0, {}, nullptr);
  _RotateEx8(&s, -90, true, 0, {}, nullptr);
  _RotateEx8(&s, -45, true, 0, {}, nullptr);
  ASSERT_EQ(p.GetWidth(), q.GetWidth());
  ASSERT_EQ(r.GetWidth(), s.GetWidth());
  for (Integer y = 0; y < p.GetHeight(); ++y)
    for (Integer x = 0; x < p.GetWidth(); ++x) ASSERT_EQ(p.GetPixels_lk8(x, y), q.GetPixels_lk8(x, y));
  for (Integer y = 0; y < r.GetHeight(); ++y)
    for (Integer x = 0; x < r.GetWidth(); ++x) ASSERT_EQ(r.GetPixels_lk8(x, y), s.GetPixels_lk8(x, y));
}

TEST(Rotate, InverseEnginesHoldTheBoundingBoxAtEveryAngle) {
  // The turned picture's bounding box, to within a pixel; a barely turned
  // picture keeps its size (no row or column is lost).
  for (double a = 0.01; a < 360; a += 6.7) {
    TLKBitmap b(61, 23, lk8g), c(61, 23, lk24RGB);
    _LKQRotate8(&b, a, 0, lkrBilinear);
    LKGRotate(&c, a, 0, {}, nullptr);
    const double r = a * M_PI / 180;
    const double w = 61 * std::fabs(std::cos(r)) + 23 * std::fabs(std::sin(r));
    const double h = 61 * std::fabs(std::sin(r)) + 23 * std::fabs(std::cos(r));
    for (TLKBitmap* x : {&b, &c}) {
      EXPECT_NEAR(x->GetWidth(), w, 1.0) << a;
      EXPECT_NEAR(x->GetHeight(), h, 1.0) << a;
    }
  }
  TLKBitmap b(100, 50, lk8g);
  LKGRotate(&b, 0.01, 0, {}, nullptr);
  EXPECT_EQ(b.GetWidth(), 100);
  EXPECT_EQ(b.GetHeight(), 50);
  // The nearest engine's worked size.
  TLKBitmap n(100, 50, lk8g);
  _rotate8bit(&n, 30, 0);
  EXPECT_EQ(n.GetWidth(), 111);
  EXPECT_EQ(n.GetHeight(), 93);
}

TEST(Rotate, BicubicUndershootIsClippedToBlack) {
  // A one-pixel white line on black: across it a row of the turned picture
  // is the cubic's main lobe (at most 3 pixels); its negative side lobes
  // must give 0, not their magnitude.
  TLKBitmap b(40, 40, lk8g);
  b.Fill(0);
  for (Integer y = 0; y < 40; ++y) b.SetPixels_lk8(20, y, 255);
  _LKQRotate8(&b, 10, 0, lkrBicubic);
  for (Integer y = b.GetHeight() / 3; y < 2 * b.GetHeight() / 3; ++y) {
    Integer lit = 0;
    for (Integer x = 0; x < b.GetWidth(); ++x) lit += b.GetPixels_lk8(x, y) != 0;
    EXPECT_LE(lit, 3) << "row " << y;
  }
}

TEST(Rotate, UncoveredCornersTakeTheBackground) {
  TLKBitmap b(40, 40, lk24RGB);
  b.Fill(RGB2TColor(200, 200, 200));
  _LKQRotate(&b, 45, RGB2TColor(10, 20, 30), lkrBilinear, {}, nullptr);
  EXPECT_EQ(b.GetPixels(0, 0), (TRGB{30, 20, 10}));
  const Integer c = b.GetWidth() / 2;
  EXPECT_EQ(b.GetPixels(c, c), (TRGB{200, 200, 200}));
  // 1-bit corners: white only when the background's channels are all set.
  for (const auto& [bg, white] : {std::pair{TRGB{5, 5, 5}, true}, std::pair{TRGB{0, 255, 255}, false}}) {
    TLKBitmap one(30, 30, lk1g);
    one.Fill(1);
    TLKBitmap ink(30, 30, lk1g);
    ink.Fill(0);
    _RotateEx(&one, 45, false, bg, {}, nullptr);
    _RotateEx(&ink, 45, false, bg, {}, nullptr);
    EXPECT_EQ(one.GetPixels_lk1g(0, 0), white);
    EXPECT_EQ(ink.GetPixels_lk1g(0, 0), white);
  }
}

TEST(Rotate, ComponentTurnsAlphaWithThePicture) {
  const struct {
    TLKPixelFormat format;
    bool antialias;
    TLKAntialiasMode mode;
  } cases[] = {{lk24RGB, true, lkrBilinear}, {lk24RGB, true, lkrFast}, {lk1g, false, lkrFast}, {lk16g, true, lkrBicubic}};
  for (const auto& c : cases) {
    TLKBitmap b(30, 20, c.format);
    FillDistinct(&b);
    b.GetAlphaChannel()->Fill(200);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.Rotate(25, c.antialias, c.mode, 0);
    ASSERT_TRUE(b.GetHasAlphaChannel());
    EXPECT_EQ(b.GetAlphaChannel()->GetWidth(), b.GetWidth());
    EXPECT_EQ(b.GetAlphaChannel()->GetHeight(), b.GetHeight());
    EXPECT_GT(b.GetWidth(), 30);
    EXPECT_EQ(b.GetAlpha(0, 0), 0);
    EXPECT_EQ(b.GetAlpha(b.GetWidth() / 2, b.GetHeight() / 2), 200);
    EXPECT_EQ(proc.GetUndoCaptions(0), "Rotate 25");
    proc.Rotate(0, true, lkrBilinear, 0);  // nothing, no entry
    EXPECT_EQ(proc.GetUndoCount(), 1);
  }
  // Exactly 90 with interpolation asked for is still the exact turn.
  TLKBitmap b(3, 2, lk24RGB);
  FillDistinct(&b);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.Rotate(90, true, lkrBilinear, 0);
  ASSERT_EQ(b.GetWidth(), 2);
  EXPECT_EQ(PixelBytes(&b, 0, 2), PixelBytes(&before, 0, 0));
  proc.Rotate(2.5, false, lkrFast, 0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Rotate 2.5");
}

}  // namespace
