// Mouse interaction of the vector view: the interaction set's priority
// rule, scripted press / move / release sequences per mode, grips, hit
// testing, point editing and the measure hint.
#include <gtest/gtest.h>

#include "views/vect_fixture.h"

namespace {

using VectMouse = VectTest;
using Vt = TLKMouseInteractVt;

TEST(VectMouseSet, PriorityRule) {
  TLumerakVect v;
  struct Row {
    Vt start, set, expected;
  } rows[] = {
      {Vt{miPutLine}, Vt{miPutLine, miPutBox}, Vt{miPutBox}},
      {Vt{}, Vt{miPutLine, miPutBox}, Vt{miPutLine}},
      {Vt{}, Vt{miPutBox, miPutLineLabel}, Vt{miPutLineLabel}},
      {Vt{}, Vt{miObjectSelect, miUnStampMode}, Vt{miObjectSelect, miUnStampMode}},
      {Vt{miPutBox, miUnStampMode}, Vt{miUnStampMode}, Vt{miUnStampMode}},  // removing only: stored as given
      {Vt{miPutBox}, Vt{miPutBox, miUnStampMode}, Vt{miPutBox, miUnStampMode}},
  };
  for (const Row& r : rows) {
    v.SetMouseInteractVt(r.start);
    v.SetMouseInteractVt(r.set);
    EXPECT_TRUE(v.GetMouseInteractVt() == r.expected);
  }
  // A view interaction keeps only the measuring ones.
  v.SetMouseInteractVt(Vt{miArea});
  EXPECT_TRUE(v.GetHintActive());
  v.SetMouseInteract(TLKMouseInteract{miZoom});
  EXPECT_TRUE(v.GetMouseInteractVt() == Vt{miArea});
  v.SetMouseInteractVt(Vt{miPutBox});
  EXPECT_FALSE(v.GetHintActive());
  EXPECT_TRUE(v.GetMouseInteract().Empty());
}

TEST_F(VectMouse, InsertByDragClickAndStamp) {
  Load(300, 200);
  Integer newObjects = 0;
  v_->OnNewObject = [&](TObject*, Integer) { ++newObjects; };
  v_->SetObjRect(LKVTemplate, TRect{0, 0, 20, 10});
  struct Row {
    Vt mode;
    std::vector<TPoint> path;
    TLKVObjectKind kind;
    TRect rect;
  } rows[] = {
      {Vt{miPutBox}, {{10, 20}, {40, 30}, {60, 70}}, lkkBOX, {10, 20, 60, 70}},
      {Vt{miPutLine}, {{80, 90}, {20, 30}}, lkkLINE, {80, 90, 20, 30}},
      {Vt{miPutEllipse}, {{50, 50}, {10, 10}}, lkkELLIPSE, {10, 10, 50, 50}},  // ordered by the copy
      {Vt{miPutRuler}, {{5, 5}, {105, 5}}, lkkRULER, {5, 5, 105, 5}},
      {Vt{miPutBox}, {{100, 100}}, lkkBOX, {100, 100, 120, 110}},  // a click stamps the template's size
  };
  for (const Row& r : rows) {
    v_->SetMouseInteractVt(r.mode);
    const Integer before = v_->GetObjectCount();
    const TShiftState held{ssLeft};
    v_->MouseDown(mbLeft, held, r.path[0].X, r.path[0].Y);
    for (std::size_t i = 1; i < r.path.size(); ++i) v_->MouseMove(held, r.path[i].X, r.path[i].Y);
    v_->MouseUp(mbLeft, {}, r.path.back().X, r.path.back().Y);
    ASSERT_EQ(v_->GetObjectCount(), before + 1);
    EXPECT_EQ(v_->GetObjKind(LKVLast), r.kind);
    EXPECT_EQ(v_->GetObjRect(LKVLast), r.rect) << int(r.kind);
    EXPECT_TRUE(v_->IsSelObject(LKVLast));
    EXPECT_EQ(v_->GetInsertingKind(), lkkNONE);
    v_->SetObjRect(LKVTemplate, TRect{0, 0, 20, 10});
  }
  EXPECT_EQ(newObjects, 5);
  // Centred stamping, and no stamping at all in unstamp mode.
  v_->CenterStampedObjects = true;
  v_->SetMouseInteractVt(Vt{miPutBox});
  Click(100, 100);
  EXPECT_EQ(v_->GetObjRect(LKVLast), (TRect{90, 95, 110, 105}));
  v_->SetMouseInteractVt(Vt{miPutBox, miUnStampMode});
  const Integer n = v_->GetObjectCount();
  Click(150, 150);
  EXPECT_EQ(v_->GetObjectCount(), n);
}

TEST_F(VectMouse, CtrlMakesSquareAndUnsizeableTemplateStamps) {
  Load(300, 200);
  v_->SetMouseInteractVt(Vt{miPutBox});
  Drag({{10, 10}, {60, 30}}, TShiftState{ssCtrl});
  EXPECT_EQ(v_->GetObjRect(LKVLast), (TRect{10, 10, 60, 60}));
  v_->SetObjStyle(LKVTemplate, TLKVStyle{lkvsSelectable, lkvsMoveable, lkvsVisible});
  v_->SetObjRect(LKVTemplate, TRect{0, 0, 20, 10});
  Drag({{100, 100}, {150, 150}, {200, 160}});
  EXPECT_EQ(v_->GetObjRect(LKVLast), (TRect{200, 160, 220, 170}));
}

TEST_F(VectMouse, ClickedPolylineAndAngle) {
  Load(300, 200);
  v_->SetMouseInteractVt(Vt{miPutPolyLine});
  const TShiftState held{ssLeft};
  for (TPoint p : {TPoint{10, 10}, TPoint{50, 10}, TPoint{50, 40}}) {
    v_->MouseDown(mbLeft, held, p.X, p.Y);
    v_->MouseUp(mbLeft, {}, p.X, p.Y);
  }
  v_->MouseDown(mbLeft, held + TShiftState{ssDouble}, 50, 40);  // double click ends it
  v_->MouseUp(mbLeft, {}, 50, 40);
  ASSERT_EQ(v_->GetObjectCount(), 1);
  EXPECT_EQ(v_->GetObjKind(0), lkkPOLYLINE);
  EXPECT_EQ(v_->GetObjPolylinePointsCount(0), 3);
  EXPECT_EQ(v_->GetObjRect(0), (TRect{10, 10, 50, 40}));
  EXPECT_TRUE(v_->IsSelObject(0));
  EXPECT_DOUBLE_EQ(v_->GetPolylineLen(0), 70);

  v_->SetMouseInteractVt(Vt{miPutAngle});
  for (TPoint p : {TPoint{110, 100}, TPoint{100, 100}, TPoint{100, 110}}) {
    v_->MouseDown(mbLeft, held, p.X, p.Y);
    v_->MouseUp(mbLeft, {}, p.X, p.Y);
  }
  ASSERT_EQ(v_->GetObjKind(LKVLast), lkkANGLE);
  EXPECT_DOUBLE_EQ(v_->GetAngleValue(LKVLast), 270);
  // The rectangle holds both arms.
  EXPECT_EQ(v_->GetObjRect(LKVLast), (TRect{100, 100, 110, 110}));
}

TEST_F(VectMouse, HitTesting) {
  Load(300, 200);
  const Integer clear = Add(lkkBOX, {10, 10, 50, 50});
  const Integer filled = Add(lkkBOX, {100, 10, 140, 50});
  v_->SetObjBrushStyle(filled, bsSolid);
  const Integer thick = Add(lkkLINE, {10, 150, 200, 150});
  v_->SetObjPenWidth(thick, 9);
  Add(lkkNONE, {0, 0, 300, 200});  // a kind without a shape is never found
  double d;
  EXPECT_EQ(v_->FindNearObj(30, 12, true, d), clear);
  EXPECT_EQ(d, 2);
  EXPECT_EQ(v_->FindNearObj(120, 30, true, d), filled);
  EXPECT_EQ(d, 0);
  EXPECT_GT(v_->CalcDistPtObj(*v_->GetObj(clear), 30, 30), 10);
  EXPECT_EQ(v_->CalcDistPtObj(*v_->GetObj(thick), 50, 154), 0);  // within 4.5 of the axis
  EXPECT_DOUBLE_EQ(v_->CalcDistPtObj(*v_->GetObj(thick), 50, 156), 1.5);
  // Far away still finds the nearest, unless a limit is set.
  EXPECT_GE(v_->FindNearObj(290, 100, true, d), 0);
  v_->SelectDistanceLimit = 5;
  EXPECT_EQ(v_->FindNearObj(30, 4, true, d), LKVAll);  // 6 pixels from the top side
  EXPECT_EQ(v_->FindNearObj(30, 5, true, d), clear);
  // Equal distance: the topmost wins.
  const Integer twin = Add(lkkBOX, {10, 10, 50, 50});
  EXPECT_EQ(v_->FindNearObj(30, 10, true, d), twin);
}

TEST_F(VectMouse, SelectMoveAndResizeByGrips) {
  Load(300, 200);
  const Integer a = Add(lkkBOX, {20, 20, 60, 60});
  const Integer b = Add(lkkBOX, {100, 100, 140, 140});
  v_->SetMouseInteractVt(Vt{miObjectSelect});
  Click(30, 20);  // on a's top side, away from its grips
  EXPECT_TRUE(v_->IsSelObject(a));
  Click(110, 100, TShiftState{ssShift});
  EXPECT_EQ(v_->GetSelObjectCount(), 2);
  // Dragging one of a selected group moves the whole group.
  Drag({{30, 20}, {35, 25}, {40, 30}});
  EXPECT_EQ(v_->GetObjRect(a), (TRect{30, 30, 70, 70}));
  EXPECT_EQ(v_->GetObjRect(b), (TRect{110, 110, 150, 150}));
  EXPECT_EQ(v_->GetSelObjectCount(), 2);
  // Shift-click on a selected object deselects it.
  Click(120, 110, TShiftState{ssShift});
  EXPECT_FALSE(v_->IsSelObject(b));
  // Corner grip 2 resizes; Alt keeps the proportions of the press.
  Drag({{70, 70}, {90, 80}});
  EXPECT_EQ(v_->GetObjRect(a), (TRect{30, 30, 90, 80}));
  Drag({{90, 80}, {110, 80}}, TShiftState{ssAlt});
  EXPECT_EQ(v_->GetObjRect(a), (TRect{30, 30, 110, 97}));  // 80 wide at 60:50
  // Side grip 6 moves the left edge only.
  Drag({{30, 63}, {20, 63}});
  EXPECT_EQ(v_->GetObjRect(a), (TRect{20, 30, 110, 97}));
  // By default a click anywhere finds the nearest object; with a distance
  // limit a click on empty space clears the selection.
  Click(250, 20);
  EXPECT_EQ(v_->GetSelObjectCount(), 1);
  v_->SelectDistanceLimit = 5;
  Click(250, 20);
  EXPECT_EQ(v_->GetSelObjectCount(), 0);
}

TEST_F(VectMouse, CtrlSnapsDraggedLineEnd) {
  Load(300, 200);
  v_->SetMouseInteractVt(Vt{miObjectSelect});
  // Grip 2 of a line from (50, 50) dragged to each place, with Ctrl: the end
  // goes to the horizontal, vertical or diagonal of the other end.
  struct Row {
    TPoint to;
    TShiftState shift;
    TRect expected;
  } rows[] = {
      {{200, 75}, {ssCtrl}, {50, 50, 200, 50}},    // mostly across: horizontal
      {{60, 190}, {ssCtrl}, {50, 50, 50, 190}},    // mostly down: vertical
      {{120, 125}, {ssCtrl}, {50, 50, 125, 125}},  // near the diagonal: on it
      {{20, 90}, {ssCtrl}, {50, 50, 10, 90}},      // diagonal down-left
      {{200, 75}, {}, {50, 50, 200, 75}},          // no Ctrl: where the mouse is
  };
  for (const Row& r : rows) {
    const Integer h = Add(lkkLINE, {50, 50, 150, 60});
    v_->UnSelAllObjects();
    v_->AddSelObjectEx(h);
    Drag({{150, 60}, {r.to.X - 3, r.to.Y + 4}, r.to}, r.shift);
    EXPECT_EQ(v_->GetObjRect(h), r.expected) << r.to.X << "," << r.to.Y;
    v_->RemoveObject(h);
  }
  // Grip 1 snaps against the other end too, at 200 % with the view
  // scrolled: the snap is made in bitmap pixels.
  const Integer h = Add(lkkLINE, {40, 40, 100, 40});
  v_->UnSelAllObjects();
  v_->AddSelObjectEx(h);
  v_->SetZoom(200);
  v_->SetViewXY(20, 10);
  const Integer sx = 40 * 2 - 20, sy = 40 * 2 - 10;  // grip 1 on the screen
  Drag({{sx, sy}, {sx + 20, sy + 200}}, TShiftState{ssCtrl});  // 10 right, 100 down in the picture
  EXPECT_EQ(v_->GetObjRect(h), (TRect{100, 140, 100, 40}));
  // A box's corner grip is not snapped.
  const Integer box = Add(lkkBOX, {150, 100, 180, 120});
  v_->SetZoom(100);
  v_->SetViewXY(0, 0);
  v_->UnSelAllObjects();
  v_->AddSelObjectEx(box);
  Drag({{180, 120}, {230, 130}}, TShiftState{ssCtrl});
  EXPECT_EQ(v_->GetObjRect(box), (TRect{150, 100, 230, 130}));
}

TEST_F(VectMouse, MoveStopsAtEdgeWhenAsked) {
  Load(300, 200);
  const Integer a = Add(lkkBOX, {20, 20, 60, 60});
  v_->SetMouseInteractVt(Vt{miObjectSelect});
  v_->MoveOutsideBitmap = false;
  Click(30, 20);
  Drag({{30, 20}, {280, 20}});  // the union would end past the right edge
  EXPECT_EQ(v_->GetObjRect(a).Left, 20);
  Drag({{30, 20}, {10, 20}});
  EXPECT_EQ(v_->GetObjRect(a).Left, 0);
  v_->MoveOutsideBitmap = true;
  Drag({{10, 20}, {280, 20}});
  EXPECT_EQ(v_->GetObjRect(a).Left, 270);
}

TEST_F(VectMouse, RubberBandSelects) {
  Load(300, 200);
  const Integer a = Add(lkkBOX, {20, 20, 60, 60});
  const Integer b = Add(lkkLINE, {150, 150, 100, 100});
  Add(lkkBOX, {200, 20, 260, 180});
  v_->SetMouseInteractVt(Vt{miObjectSelect});
  Drag({{10, 10}, {90, 90}, {170, 170}});
  EXPECT_TRUE(v_->IsSelObject(a));
  EXPECT_TRUE(v_->IsSelObject(b));
  EXPECT_EQ(v_->GetSelObjectCount(), 2);
}

TEST_F(VectMouse, PolylinePointEditing) {
  Load(300, 200);
  const Integer h = Add(lkkPOLYLINE, {0, 0, 0, 0});
  v_->SetObjPolylinePoints(h, {{10, 10}, {100, 10}, {100, 100}});
  v_->AddSelObject(h);
  v_->SetMouseInteractVt(Vt{miEditPolyline});
  v_->PaintNow();
  Click(50, 10);  // on the first segment: a point is inserted
  EXPECT_EQ(v_->GetObjPolylinePointsCount(h), 4);
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 1), (TPoint{50, 10}));
  v_->PaintNow();
  Drag({{100, 100}, {110, 120}});  // drag the last point
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 3), (TPoint{110, 120}));
  v_->PaintNow();
  Click(50, 10, TShiftState{ssCtrl});  // Ctrl-click removes it
  EXPECT_EQ(v_->GetObjPolylinePointsCount(h), 3);
  v_->SetObjPolylinePoints(h, {{10, 10}, {100, 10}});
  v_->PaintNow();
  Click(10, 10, TShiftState{ssCtrl});  // two points stay
  EXPECT_EQ(v_->GetObjPolylinePointsCount(h), 2);
  // Squeezed to one pixel wide, its factor is 0: a point inserted on a
  // segment must still land on a finite place.
  v_->SetObjPolylinePoints(h, {{10, 10}, {60, 10}, {60, 100}});
  v_->SetObjWidth(h, 1);
  v_->PaintNow();
  Click(10, 50);
  ASSERT_EQ(v_->GetObjPolylinePointsCount(h), 4);
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 2), (TPoint{10, 50}));
}

TEST_F(VectMouse, DragLengthMeasuresWithoutInserting) {
  Load(300, 200);
  double ended = -1;
  v_->OnDragLenEnd = [&](TObject*, double V) { ended = V; };
  v_->SetMouseInteractVt(Vt{miDragLen});
  Drag({{10, 10}, {59, 10}});
  EXPECT_EQ(v_->GetObjectCount(), 0);
  EXPECT_NEAR(ended, std::sqrt(50.0 * 50 + 1), 1e-9);
  EXPECT_FALSE(v_->GetHintActive());
  // The same span leftwards measures the same.
  Drag({{59, 10}, {10, 10}});
  EXPECT_NEAR(ended, std::sqrt(50.0 * 50 + 1), 1e-9);
}

TEST_F(VectMouse, MeasureHintTextAndUnits) {
  Load(300, 200);
  v_->SetDPI(300, 300);
  v_->SetMUnit(lkuCENTIMETERS);
  EXPECT_EQ(v_->GetObjRulerUnit(LKVTemplate), lkuCENTIMETERS);  // new rulers take the unit
  const Integer older = Add(lkkRULER, {0, 0, 10, 0});
  v_->Select(0, 0, 100, 50, lkspReplace);
  ASSERT_EQ(v_->GetPolySelCount(), 4);
  EXPECT_NEAR(v_->GetSelectionLen(), 2.54, 1e-9);  // 300 pixels at 300 dpi, closed
  std::string seen;
  v_->OnMeasureHint = [&](TObject*, std::string& Text, double) { seen = Text; };
  v_->SetMouseInteractVt(Vt{miLineLen});
  EXPECT_TRUE(v_->GetHintActive());
  EXPECT_EQ(seen, "2.54 cm");
  v_->SetMouseInteractVt(Vt{miArea});
  EXPECT_EQ(seen, "0.36 cm\xC2\xB2");  // 5000 square pixels
  v_->SetMUnit(lkuPIXELS);
  EXPECT_EQ(v_->GetObjRulerUnit(older), lkuPIXELS);  // was pixels when made
  // Calibration: 100 pixels measure 2.5 cm; a scale of 0 is refused.
  v_->SetMUnit(lkuCENTIMETERS);
  v_->SetScaleFromPixels(100, 2.5);
  EXPECT_NEAR(100 * v_->GetCoefX(), 2.5, 1e-12);
  v_->SetScale(0);
  v_->SetScaleFromPixels(0, 2.5);
  EXPECT_NEAR(100 * v_->GetCoefX(), 2.5, 1e-12);
  // A measurement of 0 (no selection) keeps showing the previous value.
  v_->SetMouseInteractVt(Vt{miLineLen});
  const double last = v_->GetLastMeasure();
  EXPECT_NEAR(last, 7.5, 1e-9);  // 300 pixels at 100 per 2.5 cm
  v_->DeSelect();
  v_->UpdateHint(10, 10);
  EXPECT_EQ(v_->GetLastMeasure(), last);
  EXPECT_EQ(v_->GetHintText(), "7.50 cm");
}

}  // namespace
