// Animated polygons and the outline timer: dashes, phases, the adaptive
// period under an injected clock, and drawing only on the main thread.
#include <thread>

#include "interact_fixture.h"

namespace {

TColor ScreenColor(TLumerakView* V, Integer X, Integer Y) {
  const Byte* p = V->GetSurface()->ScanLine(Y) + X * 3;
  return RGB(p[2], p[1], p[0]);
}

}  // namespace

TEST_F(InteractTest, MaskBorderTimingStretchesTheTimerPeriod) {
  Load(200, 200);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(20, 20, 120, 120, lkspReplace);
  view_->PaintNow();
  struct Row {
    Integer delay;
    DWORD drawMs;
    Cardinal interval;
  };
  const Row rows[] = {{-20, 100, 500}, {-20, 10, 210}, {-50, 200, 400}, {300, 1000, 300}};
  for (const Row& r : rows) {
    view_->SetDelayTimer(r.delay);
    view_->GetOutlineTimer()->SetInterval(210);
    if (r.delay > 0) view_->SetDelayTimer(r.delay);
    DWORD now = 1000;
    bool start = true;
    view_->OutlineClock = [&] {
      const DWORD t = now;
      if (start) now += r.drawMs;
      start = !start;
      return t;
    };
    view_->AniPolyFunc(view_, false);
    EXPECT_EQ(view_->GetOutlineTimer()->GetInterval(), r.interval) << r.delay << " " << r.drawMs;
  }
}

TEST_F(InteractTest, PhasesMarchOnTimerTicksOnlyAndTheTimerStopsWithoutAnimation) {
  Load(200, 200);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(20, 20, 120, 120, lkspReplace);
  TTimer* timer = view_->GetOutlineTimer();
  const TLKAnimPolygon* o = view_->GetSelectionOutline();
  const Integer phase = o->Phase, maskPhase = view_->GetMaskPhase();
  view_->AniPolyFunc(view_, false);
  EXPECT_EQ(o->Phase, phase);
  for (int i = 0; i < 12; ++i) timer->Timer();
  EXPECT_EQ(o->Phase, (phase + 12) % 10);
  EXPECT_EQ(view_->GetMaskPhase(), maskPhase + 12);  // never wrapped
  EXPECT_TRUE(timer->GetEnabled());

  view_->SetSelectionOptions({lksoSizeable, lksoMoveable});
  view_->AniPolyFunc(view_, false);
  EXPECT_FALSE(timer->GetEnabled());
}

TEST_F(InteractTest, RectangleOutlineDashesAndDrawEvents) {
  Load(200, 200);
  view_->SetSelectionBase(lksbBitmap);
  TLKAnimPolygon* p = view_->AnimPolygonNew(clRed, clBlue, true, false);
  for (TPoint q : {TPoint{10, 10}, TPoint{60, 10}, TPoint{60, 40}, TPoint{10, 40}})
    view_->AnimPolygonAddPtEx(p, q.X, q.Y);
  std::vector<Integer> points;
  view_->OnDrawPolygon = [&](TObject*, Integer Polygon, Integer Point, TCanvas*, Integer, Integer) {
    if (Polygon == 1) points.push_back(Point);
  };
  view_->PaintNow();
  EXPECT_EQ(points, (std::vector<Integer>{1, 2, 3, 0}));
  // Four pixels of each colour along the top edge, from phase 0 (the corner
  // itself is drawn again by the left edge).
  for (Integer x = 11; x < 26; ++x)
    EXPECT_EQ(ScreenColor(view_, x, 10), ((x - 10) % 8 < 4 ? clRed : clBlue)) << x;
}

TEST_F(InteractTest, RemovingPolygonsAndPoints) {
  const TPoint brk{LKSelBreak, LKSelBreak};
  struct Row {
    std::vector<TPoint> in;
    bool lastPolygon;
    std::vector<TPoint> out;
  };
  const Row rows[] = {
      {{{0, 0}, {10, 0}, {10, 10}, brk, {20, 20}, {30, 20}, {30, 30}}, true, {{0, 0}, {10, 0}, {10, 10}}},
      {{{0, 0}, {10, 0}, {10, 10}}, true, {}},
      {{{1, 1}, {2, 2}, brk, {3, 3}}, false, {{1, 1}, {2, 2}}},
  };
  for (const Row& r : rows) {
    TLKAnimPolygon* p = view_->AnimPolygonNew(clBlack, clWhite, false, false);
    for (const TPoint& q : r.in) q == brk ? view_->AnimPolygonAddBreak(p) : view_->AnimPolygonAddPtEx(p, q.X, q.Y);
    if (r.lastPolygon)
      view_->AnimPolygonRemoveLast(p);
    else
      view_->AnimPolygonRemoveLastPoint(p);
    EXPECT_EQ(p->Points, r.out);
    view_->AnimPolygonDel(p);
  }
}

TEST_F(InteractTest, OutlineNeverDrawsFromAnotherThread) {
  Load(200, 200);
  view_->SetSelectionBase(lksbBitmap);
  TLKAnimPolygon* p = view_->AnimPolygonNew(clRed, clBlue, true, false);
  for (TPoint q : {TPoint{10, 10}, TPoint{60, 10}, TPoint{60, 40}, TPoint{10, 40}})
    view_->AnimPolygonAddPtEx(p, q.X, q.Y);
  const TColor before = ScreenColor(view_, 10, 10);
  std::thread([&] { view_->AniPolyFunc(view_->GetOutlineTimer(), true); }).join();
  EXPECT_EQ(ScreenColor(view_, 10, 10), before);
  EXPECT_EQ(p->Phase, 0);
}
