// The dialogs' small controls: palette dialog, histogram, HSV picker, ruler.
#include <gtest/gtest.h>

#include <vector>

#include "core/lkbitmap.h"
#include "dialogs/lkhistogrambox.h"
#include "dialogs/lkhsvbox.h"
#include "dialogs/lkpalettedialog.h"
#include "dialogs/lkrulerbox.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

class Boxes : public ::testing::Test {
 protected:
  void TearDown() override { TestHooks::Reset(); }
};

// ---- palette dialog

TEST_F(Boxes, PaletteDialogLaysOutSwatchesAndReturnsTheHoveredOne) {
  std::vector<TRGB> pal(256);
  for (int i = 0; i < 256; ++i) pal[i] = TRGB{Byte(i), Byte(255 - i), Byte(i / 2)};
  TLumerakPaletteDialog d;
  d.SetPalette(pal.data(), 256);
  EXPECT_EQ(d.GetCaption(), "Palette");
  EXPECT_EQ(d.GetCancelButton()->GetTop(), 136);
  // 8 rows of 32 above the cancel button.
  EXPECT_EQ(TLumerakPaletteDialog::SwatchRect(255).Bottom, 7 * 16 + 16);
  EXPECT_LT(TLumerakPaletteDialog::SwatchRect(255).Bottom, 136);
  EXPECT_EQ(d.SwatchAt(1, 1), 0);
  EXPECT_EQ(d.SwatchAt(16 * 31 + 1, 16 * 7 + 1), 255);
  EXPECT_EQ(d.SwatchAt(5, 16 * 8 + 5), -1) << "below the last row";

  // A click before any swatch was under the mouse chooses nothing and the
  // form stays open; moving off the swatches keeps the last one.
  TestHooks::PushModalStep([&](TCustomForm*) {
    d.FormClick();
    EXPECT_EQ(d.GetModalResult(), mrNone);
    d.FormMouseMove(16 * 3 + 5, 16 * 1 + 5);  // swatch 35
    d.FormMouseMove(400, 180);                // off the swatches
    EXPECT_EQ(d.GetCurrent(), 35);
    d.FormClick();
  });
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.GetSelectedColor(), TRGB2TColor(pal[35]));

  // The current swatch is framed black, the others white.
  TBitmap shot;
  shot.SetPixelFormat(pf24bit);
  shot.SetSize(520, 160);
  d.FormPaint(shot.GetCanvas());
  const TRect cur = TLumerakPaletteDialog::SwatchRect(35), other = TLumerakPaletteDialog::SwatchRect(36);
  EXPECT_EQ(shot.GetCanvas()->GetPixel(cur.Left, cur.Top), clBlack);
  EXPECT_EQ(shot.GetCanvas()->GetPixel(other.Left, other.Top), clWhite);
  EXPECT_EQ(shot.GetCanvas()->GetPixel(cur.Left + 5, cur.Top + 5), TRGB2TColor(pal[35]));

  TLumerakPaletteDialog two;
  two.SetPalette(pal.data(), 2);
  EXPECT_EQ(two.SwatchAt(16 + 5, 5), 1);
  EXPECT_EQ(two.SwatchAt(32 + 5, 5), -1);
}

// ---- histogram box

struct TProcFixture {
  TLKBitmap Bitmap;
  TLumerakProc Proc;
  explicit TProcFixture(const std::vector<TRGB>& Pixels) {
    Bitmap.Allocate(static_cast<Integer>(Pixels.size()), 1, lk24RGB);
    for (Integer x = 0; x < Bitmap.GetWidth(); ++x) Bitmap.SetPixels_lk24RGB(x, 0, Pixels[x]);
    Proc.SetAttachedLKBitmap(&Bitmap);
  }
};

TEST_F(Boxes, HistogramBoxDrawsOnlyTheBackgroundWithoutData) {
  THistogramBox box;
  box.SetBackground(clSilver);
  box.Update();
  TCanvas* c = box.GetBitmap()->GetCanvas();
  for (TPoint p : {TPoint{0, 0}, TPoint{128, 50}, TPoint{255, 104}}) EXPECT_EQ(c->GetPixel(p.X, p.Y), clSilver);
}

TEST_F(Boxes, HistogramBoxBarsRampAndLeftEdge) {
  // 1000 black pixels and one white one: the white bar rounds to 0 pixels
  // yet is drawn 1 pixel high.
  std::vector<TRGB> px(1000, TRGB{0, 0, 0});
  px.push_back(TRGB{255, 255, 255});
  TProcFixture f(px);
  TForm form;
  THistogramBox box(&form);
  box.SetParent(&form);
  box.SetLeft(7);
  box.SetLabels({});
  box.SetCompBar(false);
  box.SetAttachedLumerakProc(&f.Proc);
  box.Update();
  EXPECT_EQ(box.GetHistogramLeft(), 7) << "no labels: the graph uses the whole box";
  TCanvas* c = box.GetBitmap()->GetCanvas();
  const Integer H = box.GetBitmap()->GetHeight();
  EXPECT_EQ(c->GetPixel(0, 0), clBlack) << "level 0 bar reaches the top";
  EXPECT_EQ(c->GetPixel(255, H - 1), clBlack) << "level 255: 1-pixel bar";
  EXPECT_EQ(c->GetPixel(255, H - 2), clWhite);
  EXPECT_EQ(c->GetPixel(128, H - 1), clWhite) << "empty level";

  // With the colour ramp: the bottom rows go from black to full grey.
  box.SetCompBar(true);
  EXPECT_EQ(c->GetPixel(0, H - 1), 0x000000);
  EXPECT_EQ(c->GetPixel(128, H - 1), 0x808080);
  EXPECT_EQ(c->GetPixel(255, H - 1), 0xFFFFFF);

  // A box wider than 511 pixels keeps the ramp's right end at 255.
  box.SetLabels({});
  box.SetBounds(7, 0, 600, 105);
  EXPECT_EQ(box.GetBitmap()->GetCanvas()->GetPixel(599, 104), 0xFFFFFF);

  // Labels move the drawing area right of the widest count.
  box.SetBounds(7, 0, 256, 105);
  box.SetLabels({hlVertical, hlHorizontal});
  EXPECT_GT(box.GetHistogramLeft(), 7 + 10);

  // The box forgets a component that goes away.
  {
    auto proc = std::make_unique<TLumerakProc>();
    box.SetAttachedLumerakProc(proc.get());
  }
  EXPECT_EQ(box.GetAttachedLumerakProc(), nullptr);
}

// ---- HSV box

class TTestHSV : public THSVBox {
 public:
  using THSVBox::MouseDown;
  using THSVBox::MouseMove;
  using THSVBox::MouseUp;
  using THSVBox::THSVBox;
};

TEST_F(Boxes, HSVBoxLimitsValuesAndFiresOnlyForMousePicks) {
  TForm form;
  TTestHSV box(&form);
  box.SetParent(&form);
  int changes = 0;
  box.OnChange = [&](TObject*) { ++changes; };
  box.SetHue(400);
  box.SetSat(-5);
  box.SetVal(150);
  EXPECT_EQ(box.GetHue(), 359);
  EXPECT_EQ(box.GetSat(), 0);
  EXPECT_EQ(box.GetVal(), 99);
  box.SetRGB(255, 0, 0);
  box.SetColor(clBlue);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(box.GetColor(), clBlue);
  EXPECT_EQ(box.GetBlue(), 255);

  // Square 80 wide (105 - 5 - 20): a press at the top right picks full
  // saturation and value; dragging past the square's right edge keeps
  // saturation 99 instead of reaching the hue bar.
  const Integer S = box.SquareWidth();
  ASSERT_EQ(S, 80);
  box.MouseDown(mbLeft, {}, 40, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.GetVal(), 99);
  EXPECT_EQ(box.GetSat(), 50);
  const Integer hue = box.GetHue();
  box.MouseMove({ssLeft}, 95, 104);
  EXPECT_EQ(box.GetSat(), 99);
  EXPECT_EQ(box.GetVal(), 0);
  EXPECT_EQ(box.GetHue(), hue);
  box.MouseUp(mbLeft, {}, 95, 104);
  EXPECT_EQ(changes, 2);

  // The hue bar: its top is hue 359, its bottom 0.
  box.MouseDown(mbLeft, {}, 100, 0);
  EXPECT_EQ(box.GetHue(), 359);
  box.MouseMove({ssLeft}, 100, 500);
  EXPECT_EQ(box.GetHue(), 0);
  box.MouseUp(mbLeft, {}, 100, 500);
  // A press in the gap picks nothing.
  box.MouseDown(mbLeft, {}, 82, 10);
  EXPECT_EQ(changes, 4);
  box.MouseUp(mbLeft, {}, 82, 10);

  // GetColorAt follows the pick formulas.
  box.SetHue(120);
  EXPECT_EQ(box.GetColorAt(S - 1, 0), 0x00FF00);
  EXPECT_EQ(box.GetColorAt(0, 104), 0x000000);
  EXPECT_EQ(box.GetColorAt(S + 2, 0), box.GetColor()) << "outside the square";
}

TEST_F(Boxes, HSVBoxGripsInvertAndNarrowBoxesIgnorePicks) {
  TForm form;
  TTestHSV box(&form);
  box.SetParent(&form);
  box.SetSat(50);
  box.SetVal(50);
  // The grip is drawn inverted over the square, and erasing it by drawing
  // it again leaves no trace: moving it away and back gives the same
  // picture.
  TCanvas* c = box.GetBitmap()->GetCanvas();
  auto shot = [&] {
    std::vector<TColor> px;
    for (Integer y = 0; y < 105; ++y)
      for (Integer x = 0; x < 105; ++x) px.push_back(c->GetPixel(x, y));
    return px;
  };
  const Integer x = LKRound(50 / 99.0 * 79), y = 104 - LKRound(104 * 50 / 99.0);
  EXPECT_NE(c->GetPixel(x - 3, y), box.GetColorAt(x - 3, y));
  const std::vector<TColor> before = shot();
  box.SetSat(0);
  EXPECT_NE(shot(), before);
  box.SetSat(50);
  EXPECT_EQ(shot(), before);

  TTestHSV narrow(&form);
  narrow.SetParent(&form);
  narrow.SetBounds(0, 0, 26, 30);  // square 1 pixel wide
  int changes = 0;
  narrow.OnChange = [&](TObject*) { ++changes; };
  narrow.MouseDown(mbLeft, {}, 0, 5);
  narrow.MouseUp(mbLeft, {}, 0, 5);
  EXPECT_EQ(changes, 0);
}

// ---- ruler box

class TTestRuler : public TRulerBox {
 public:
  using TRulerBox::MouseDown;
  using TRulerBox::MouseMove;
  using TRulerBox::MouseUp;
  using TRulerBox::TRulerBox;
};

TEST_F(Boxes, RulerLimitsGripsFitsTheRangeAndLabels) {
  TForm form;
  TTestRuler r(&form);
  r.SetParent(&form);
  std::vector<std::pair<Integer, double>> events;
  r.OnRulerPosChange = [&](TObject*, Integer g) { events.push_back({g, r.GetGripsPos(g)}); };
  // No range: never limited.
  r.SetGripsPos(0, -50);
  EXPECT_EQ(r.GetGripsPos(0), -50);
  EXPECT_EQ(events.size(), 1u);
  r.SetViewMin(0);
  r.SetViewMax(255);
  events.clear();
  r.SetGripsPos(0, 300);
  EXPECT_EQ(r.GetGripsPos(0), 255);
  EXPECT_EQ(events, (std::vector<std::pair<Integer, double>>{{0, 255}, {0, 255}})) << "reported twice";
  EXPECT_EQ(r.GetGripsPos(7), 0) << "index out of range";
  r.SetGripsPos(7, 1);

  r.SetBounds(0, 0, 289, 40);
  r.SetFitInView(true);
  EXPECT_DOUBLE_EQ(r.GetDotPerUnit(), 289.0 / 255.0);
  // A range of no width keeps the pixels per unit.
  r.SetViewMax(0);
  EXPECT_DOUBLE_EQ(r.GetDotPerUnit(), 289.0 / 255.0);

  r.SetHexLabels(true);
  EXPECT_EQ(r.LabelText(255), "FF");
  EXPECT_EQ(r.LabelText(-16), "-10");
  EXPECT_EQ(r.LabelText(0), "0");
  r.SetHexLabels(false);
  EXPECT_EQ(r.LabelText(32), "32");
  EXPECT_EQ(r.LabelText(1.5), "1.5");
}

TEST_F(Boxes, RulerGripShapesAndHitTest) {
  TForm form;
  TTestRuler r(&form);
  r.SetParent(&form);
  r.SetGripsCount(2);
  r.SetGripsPos(0, 50);
  r.SetGripsPos(1, 52);
  const Integer R = r.GetRulerHeight();
  std::vector<TPoint> pts;
  r.GetGripPoly(0, pts);
  EXPECT_EQ(pts, (std::vector<TPoint>{{44, 39}, {56, 39}, {50, R}}));
  r.SetGripsKind(0, gkArrow2);
  r.GetGripPoly(0, pts);
  const Integer M2 = R + (39 - R) / 2;
  EXPECT_EQ(pts, (std::vector<TPoint>{{44, 39}, {56, 39}, {56, M2}, {50, R}, {44, M2}}));
  EXPECT_EQ(r.GetGripRect(0), (TRect{44, R, 57, 40}));
  EXPECT_EQ(r.GetClickedGrip(51, 38), 1) << "the higher grip wins";
  EXPECT_EQ(r.GetClickedGrip(200, 38), -1);
  r.SetGripsDir(gdDown);
  r.SetGripsKind(1, gkTriangle);
  r.GetGripPoly(1, pts);
  EXPECT_EQ(pts, (std::vector<TPoint>{{46, 0}, {58, 0}, {52, 39 - R}}));
  r.SetRulerDir(rdVertical);
  r.SetBounds(0, 0, 40, 300);
  r.GetGripPoly(1, pts);
  EXPECT_EQ(pts, (std::vector<TPoint>{{0, 46}, {0, 58}, {39 - R, 52}}));
}

TEST_F(Boxes, RulerClickDragAndScrollPastTheEnd) {
  TestHooks::SetManualTimers(true);
  TForm form;
  TTestRuler r(&form);
  r.SetParent(&form);
  r.SetBounds(0, 0, 100, 40);
  r.SetViewMin(0);
  r.SetViewMax(255);
  r.SetGripsPos(0, 20);
  int clicks = 0, moves = 0;
  std::vector<double> rulerClicks;
  r.OnRulerGripClick = [&](TObject*, Integer) { ++clicks; };
  r.OnRulerPosChange = [&](TObject*, Integer) { ++moves; };
  r.OnRulerClick = [&](TObject*, double v) { rulerClicks.push_back(v); };
  // Press and release on the grip without moving: a click.
  r.MouseDown(mbLeft, {}, 20, 38);
  r.MouseUp(mbLeft, {}, 20, 38);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(moves, 0);
  // Moving in between: position changes instead.
  r.MouseDown(mbLeft, {}, 21, 38);
  r.MouseMove({ssLeft}, 31, 38);
  r.MouseUp(mbLeft, {}, 31, 38);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(moves, 1);
  EXPECT_DOUBLE_EQ(r.GetGripsPos(0), 30);
  // Outside the grips: the value under the press.
  r.MouseDown(mbLeft, {}, 70, 38);
  r.MouseUp(mbLeft, {}, 70, 38);
  EXPECT_EQ(rulerClicks, std::vector<double>{70});

  // Past the right end the ruler scrolls on a timer, one unit per tick,
  // until the button is released; the UI is not blocked meanwhile.
  r.MouseDown(mbLeft, {}, 30, 38);
  r.MouseMove({ssLeft}, 150, 38);
  EXPECT_DOUBLE_EQ(r.GetViewPos(), 1);
  TestHooks::AdvanceTimers(90);
  EXPECT_DOUBLE_EQ(r.GetViewPos(), 4);
  EXPECT_DOUBLE_EQ(r.GetGripsPos(0), 99 + 4);
  r.MouseUp(mbLeft, {}, 150, 38);
  TestHooks::AdvanceTimers(300);
  EXPECT_DOUBLE_EQ(r.GetViewPos(), 4);
  // The view stops at its range: 255 - 100 units.
  r.MouseDown(mbLeft, {}, LKRound((r.GetGripsPos(0) - 4)), 38);
  r.MouseMove({ssLeft}, 150, 38);
  TestHooks::AdvanceTimers(30 * 400);
  r.MouseUp(mbLeft, {}, 150, 38);
  EXPECT_DOUBLE_EQ(r.GetViewPos(), 155);
  EXPECT_DOUBLE_EQ(r.GetGripsPos(0), 255);
}

}  // namespace
