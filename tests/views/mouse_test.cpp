// Scripted press, move and release sequences for each mouse mode of the
// view, and the crop of a selection drawn with the mouse.
#include <vector>

#include "interact_fixture.h"
#include "processing/lumerakproc.h"

TEST_F(InteractTest, ZoomClicksStepThroughTheTable) {
  Load(300, 300);
  view_->SetMouseInteract({miZoom});
  struct Row {
    double from;
    TMouseButton button;
    double to;
  };
  const Row rows[] = {{100, mbLeft, 200}, {100, mbRight, 75}, {33, mbLeft, 50},   {2, mbRight, 2},
                      {150, mbRight, 100}, {250, mbRight, 150}, {75, mbLeft, 100}, {300, mbLeft, 400}};
  for (const Row& r : rows) {
    view_->SetZoom(r.from);
    Drag({{10, 10}}, {}, r.button);
    EXPECT_EQ(view_->GetZoomX(), r.to) << r.from << (r.button == mbLeft ? " left" : " right");
  }
  // A handler that puts the zoom back prevents it.
  view_->SetZoom(100);
  view_->OnZoomIn = [&](TObject*, double& Z) { Z = view_->GetZoomX(); };
  Drag({{10, 10}});
  EXPECT_EQ(view_->GetZoomX(), 100);
}

TEST_F(InteractTest, SelectModeDrawsKeepsMovesAndRemoves) {
  Load(300, 250);
  view_->SetMouseInteract({miSelect});
  int changes = 0, changing = 0;
  view_->OnSelectionChange = [&](TObject*) { ++changes; };
  view_->OnSelectionChanging = [&](TObject*) { ++changing; };

  Drag({{20, 30}, {60, 50}, {100, 90}});
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_EQ(MaskBox(), (TRect{20, 30, 99, 89}));
  EXPECT_EQ(changes, 1);
  EXPECT_GT(changing, 2);

  // A click inside without a move keeps the selection.
  Drag({{50, 50}});
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_EQ(MaskBox(), (TRect{20, 30, 99, 89}));

  // A drag inside moves it; the mask follows the outline at the release.
  Drag({{50, 50}, {55, 52}, {60, 60}});
  EXPECT_EQ(MaskBox(), (TRect{30, 40, 109, 99}));

  // Without cutting, a move stops at the picture's edge.
  Drag({{50, 50}, {0, 50}});
  EXPECT_EQ(MaskBox(), (TRect{0, 40, 79, 99}));

  // Shift on a grip starts a new rectangle added to the selection.
  Drag({{0, 40}, {200, 200}, {220, 210}}, {ssShift});
  EXPECT_EQ(view_->GetPolySelCount(), 9);
  EXPECT_TRUE(view_->IsPointInsideSelection(210, 205));
  EXPECT_TRUE(view_->IsPointInsideSelection(10, 50));

  // A click outside removes it and tells so.
  changes = 0;
  Drag({{280, 20}});
  EXPECT_FALSE(view_->GetSelected());
  EXPECT_EQ(changes, 1);
}

TEST_F(InteractTest, FixedSizeRectangleAndCircleAreCentredOnThePress) {
  Load(300, 300);
  view_->SetMouseInteract({miSelect});
  view_->FixedSelWidth = 40;
  view_->FixedSelHeight = 20;
  view_->SetSelectionAspectRatio(0);
  view_->MouseDown(mbLeft, {ssLeft}, 100, 100);
  EXPECT_EQ(view_->GetSelX1(), 80);
  EXPECT_EQ(view_->GetSelY1(), 90);
  EXPECT_EQ(view_->GetSelX2(), 118);  // the far corner is (X + hw - 1) exclusive
  view_->MouseUp(mbLeft, {}, 100, 100);
  // Past the right edge the fixed rectangle keeps its size; its exclusive
  // right edge lands on W - 1.
  Drag({{290, 100}});
  EXPECT_EQ(MaskBox().Right, 298);
  EXPECT_EQ(MaskBox().Right - MaskBox().Left, 38);

  view_->SetSelectionAspectRatio(-1);
  view_->SetMouseInteract({miSelectCircle});
  Drag({{150, 150}, {170, 160}, {190, 170}});
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_EQ(MaskBox(), (TRect{110, 130, 189, 169}));
}

TEST_F(InteractTest, LassoPolygonAndWand) {
  Load(200, 200);
  int changes = 0;
  view_->OnSelectionChange = [&](TObject*) { ++changes; };
  view_->SetMouseInteract({miSelectLasso});
  Drag({{10, 10}, {100, 10}, {100, 100}, {10, 100}});
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_TRUE(view_->IsPointInsideSelection(50, 50));
  EXPECT_EQ(changes, 1);
  Drag({{150, 150}});  // a lasso click removes without telling
  EXPECT_FALSE(view_->GetSelected());
  EXPECT_EQ(changes, 1);

  // A polygon: one press per corner, a double click ends it.
  view_->SetMouseInteract({miSelectPolygon});
  for (TPoint p : {TPoint{20, 20}, TPoint{120, 20}, TPoint{120, 80}}) Drag({p});
  EXPECT_TRUE(view_->GetSelectionMask()->IsEmpty());
  view_->MouseDown(mbLeft, {ssLeft, ssDouble}, 120, 80);
  view_->MouseUp(mbLeft, {}, 120, 80);
  EXPECT_TRUE(view_->IsPointInsideSelection(100, 30));
  EXPECT_FALSE(view_->IsPointInsideSelection(30, 70));
  EXPECT_EQ(changes, 2);

  // The wand: the picture's left half is one colour.
  TLKBitmap* b = view_->GetLKBitmap();
  for (Integer y = 0; y < 200; ++y)
    for (Integer x = 0; x < 200; ++x)
      static_cast<TRGB*>(b->GetScanLine(y))[x] = x < 100 ? TRGB{0, 0, 200} : TRGB{255, 255, 255};
  view_->Update();
  view_->PaintNow();
  for (TLKMagicWandMode mode : {lkwInclusive, lkwExclusive, lkwGlobal}) {
    view_->DeSelect();
    view_->WandMode = mode;
    view_->SetMouseInteract({miSelectMagicWand});
    Drag({{30, 30}});
    EXPECT_EQ(MaskBox(), (TRect{0, 0, 99, 199})) << int(mode);
    // A press inside followed by a drag moves the selection.
    Drag({{30, 30}, {40, 40}});
    EXPECT_EQ(MaskBox().Left, 10) << int(mode);
  }
}

TEST_F(InteractTest, LayersMoveAndResizeOnTheirGrips) {
  Load(300, 300);
  const Integer i = view_->LayersAdd();
  TLKLayer* L = view_->GetLayer(i);
  L->Bitmap->Allocate(50, 40, lk24RGB);
  L->Bitmap->Fill(7);
  L->PosX = 100;
  L->PosY = 100;
  L->Locked = false;
  view_->Update();
  view_->PaintNow();
  view_->SetMouseInteract({miMoveLayers, miResizeLayers});
  Drag({{120, 120}, {130, 125}});
  EXPECT_EQ(view_->GetLayersCurrent(), i);
  EXPECT_EQ(L->PosX, 110);
  EXPECT_EQ(L->PosY, 105);
  view_->PaintNow();
  // Grips 1..8: corners from the top left clockwise, then the sides; each
  // row drags one by (+10, +6) and gives position and display size.
  struct Row {
    Integer grip;
    TPoint at;
    Integer x, y, w, h;
  };
  const TRect r = L->ClientRect;
  const Row rows[] = {
      {1, {r.Left, r.Top}, 120, 111, 40, 34},
      {3, {r.Right, r.Bottom}, 110, 105, 60, 46},
      {6, {r.Right, (r.Top + r.Bottom) / 2}, 110, 105, 60, 40},
      {8, {(r.Left + r.Right) / 2, r.Bottom}, 110, 105, 50, 46},
  };
  for (const Row& w : rows) {
    L->PosX = 110;
    L->PosY = 105;
    L->DisplayWidth = L->DisplayHeight = 0;
    view_->Update();
    view_->PaintNow();
    EXPECT_EQ(view_->FindLayerGrip(w.at.X, w.at.Y), w.grip);
    Drag({w.at, {w.at.X + 10, w.at.Y + 6}});
    EXPECT_EQ((std::vector<Integer>{L->PosX, L->PosY, L->GetWidth(), L->GetHeight()}),
              (std::vector<Integer>{w.x, w.y, w.w, w.h}))
        << "grip " << w.grip;
  }
}

TEST_F(InteractTest, AutoScrollFollowsAnInjectedPointerUntilTheEdge) {
  Load(2000, 2000);
  view_->SetViewXY(300, 300);
  view_->SetMouseInteract({miSelect});
  view_->MouseDown(mbLeft, {ssLeft}, 50, 50);
  const Integer vx = view_->GetViewX();
  // The pointer 10 pixels left of the picture: the view scrolls left to 0.
  TestHooks::SetPointerPos(view_->ClientToScreen(TPoint{-10, 50}));
  view_->MouseMove({ssLeft}, -10, 50);
  EXPECT_EQ(view_->GetViewX(), 0);
  EXPECT_LT(view_->GetViewX(), vx);
  EXPECT_EQ(view_->GetViewY(), 300);
  // Back inside: nothing more moves.
  TestHooks::SetPointerPos(view_->ClientToScreen(TPoint{30, 90}));
  view_->MouseMove({ssLeft}, 30, 90);
  EXPECT_EQ(view_->GetViewX(), 0);
  view_->MouseUp(mbLeft, {}, 30, 90);
  // The anchor moved with the picture: the rectangle still starts at bitmap
  // x 350.
  EXPECT_EQ(MaskBox(), (TRect{30, 350, 349, 389}));
}

TEST_F(InteractTest, CropSelectedByMouse) {
  Load(300, 200);
  view_->SetMouseInteract({miSelect});
  Drag({{40, 30}, {140, 110}});
  // A click inside, then the double click that finishes the crop.
  Drag({{80, 60}});
  Drag({{80, 60}}, {ssDouble});
  ASSERT_TRUE(view_->GetSelected());
  view_->GetLumerakProc()->CropSel();
  EXPECT_EQ(view_->GetLKBitmap()->GetWidth(), 100);
  EXPECT_EQ(view_->GetLKBitmap()->GetHeight(), 80);
  const TRGB p = static_cast<TRGB*>(view_->GetLKBitmap()->GetScanLine(0))[0];
  EXPECT_EQ(p, (TRGB{40, 30, 70}));
}

// A rectangle being dragged is drawn anew at every move: the outline of the
// move before is gone from the window, not left behind as a trail.
TEST_F(InteractTest, ADraggedRectangleLeavesNoTrail) {
  Load(300, 250);
  view_->SetMouseInteract({miSelect});
  TCanvas* screen = view_->GetSurface()->GetCanvas();
  std::vector<TColor> before;
  for (Integer y = 35; y < 85; ++y) before.push_back(screen->GetPixel(199, y));
  const TShiftState held{ssLeft};
  view_->MouseDown(mbLeft, held, 20, 30);
  view_->MouseMove(held, 200, 150);
  Integer marked = 0;
  for (Integer y = 35; y < 85; ++y) marked += screen->GetPixel(199, y) != before[size_t(y - 35)];
  EXPECT_GT(marked, 10) << "the outline's right edge while the pointer is at x 200";
  view_->MouseMove(held, 100, 90);
  for (Integer y = 35; y < 85; ++y)
    EXPECT_EQ(screen->GetPixel(199, y), before[size_t(y - 35)]) << "the old right edge at y " << y;
  view_->MouseUp(mbLeft, {}, 100, 90);
  EXPECT_EQ(MaskBox(), (TRect{20, 30, 99, 89}));
}
