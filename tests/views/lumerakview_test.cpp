// The single-image view on a window: structure, zoom and fit, scroll bars,
// scroll messages, the wheel, synchronous painting and the render.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <thread>

#include "core/lkbitmap.h"
#include "views/view_fixture.h"

TEST_F(ViewTest, StartsEmptyAndCountsTwoPixelPicturesAsPictures) {
  EXPECT_TRUE(view_->GetIsEmpty());
  EXPECT_EQ(view_->GetZoom(), 100);
  EXPECT_EQ(view_->GetLayersCount(), 1);
  EXPECT_FALSE(view_->GetLayer(0)->BoxVisible);
  EXPECT_TRUE(view_->GetLayer(0)->Locked);
  EXPECT_EQ(view_->GetDpiX(), 300);
  EXPECT_EQ(view_->GetCursor(), 1785);
  Load(1, 300);
  EXPECT_FALSE(view_->GetIsEmpty());
  Load(1, 1);
  EXPECT_TRUE(view_->GetIsEmpty());
}

TEST_F(ViewTest, FitUsesTheOuterSizeLessTheBorder) {
  struct Row {
    const char* name;
    TLKBackgroundStyle style;
    double fit;
  };
  const Row rows[] = {{"solid: edge 2", lkbsSolid, 50}, {"shadow: margins 5", lkbsCropShadow, 48.8}};
  for (const Row& r : rows) {
    view_->SetBounds(0, 0, 504, 254);
    view_->SetZoom(100);
    view_->SetBackgroundStyle(r.style);
    Load(1000, 500);
    EXPECT_DOUBLE_EQ(view_->GetFitValue(), r.fit) << r.name;
    view_->Fit();
    EXPECT_DOUBLE_EQ(view_->GetZoomX(), r.fit) << r.name;
    EXPECT_DOUBLE_EQ(view_->GetZoomY(), r.fit) << r.name;
    EXPECT_FALSE(view_->GetHScrollBarShown()) << r.name;
    EXPECT_FALSE(view_->GetVScrollBarShown()) << r.name;
    EXPECT_EQ(view_->GetClientWidth(), 500) << r.name;
  }
}

TEST_F(ViewTest, AutoFitClampsAndKeepsTinyPicturesAt100) {
  view_->SetAutoFit(true);
  Load(1, 1);
  EXPECT_EQ(view_->GetZoom(), 100);
  Load(100000, 10);
  EXPECT_EQ(view_->GetZoom(), 1);  // below 1 becomes 1
}

TEST_F(ViewTest, SetZoomPaintsAtOnceAndSameZoomDoesNothing) {
  Load(200, 100);
  Integer changes = 0;
  view_->OnViewChange = [&](TObject*, Integer c) { changes += c == 1; };
  const Integer renders = view_->GetRenderCount();
  view_->SetZoom(100);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(view_->GetRenderCount(), renders);
  view_->SetZoom(200);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(view_->GetRenderCount(), renders + 1);
  // The client image holds the picture without any paint message: at 200 %
  // the view is centred on the picture's centre, bitmap (100, 50).
  const Integer cx = view_->GetClientWidth() / 2, cy = view_->GetClientHeight() / 2;
  const Integer bx = view_->XScr2Bmp(cx), by = view_->YScr2Bmp(cy);
  EXPECT_NEAR(bx, 100, 1);
  EXPECT_NEAR(by, 50, 1);
  EXPECT_EQ(Screen(cx, cy), (TRGB{Byte(bx), Byte(by), Byte(bx + by)}));
}

TEST_F(ViewTest, ZoomStepsKeepThePictureUnderTheCentre) {
  Load(2000, 1500);
  view_->SetZoom(400);
  view_->SetViewXY(3000, 2000);
  const Integer cx = view_->GetClientWidth() / 2, cy = view_->GetClientHeight() / 2;
  const Integer bx = view_->XScr2Bmp(cx), by = view_->YScr2Bmp(cy);
  // Bars stay shown at every step, so the client centre stays put.
  for (double z : {250.0, 100.0, 50.0, 33.0, 50.0, 100.0, 400.0}) {
    view_->SetZoom(z);
    // Rounding at 33 % may move it by a few pixels over the round trip.
    EXPECT_NEAR(view_->XScr2Bmp(cx), bx, 4) << z;
    EXPECT_NEAR(view_->YScr2Bmp(cy), by, 4) << z;
  }
}

TEST_F(ViewTest, ScrollBarsTakeTheirRoomAndSendTheSizeAtOnce) {
  Integer resizes = 0;
  view_->OnResize = [&](TObject*) { ++resizes; };
  Load(1000, 800);
  EXPECT_TRUE(view_->GetHScrollBarShown());
  EXPECT_TRUE(view_->GetVScrollBarShown());
  EXPECT_EQ(view_->GetClientWidth(), 400);
  EXPECT_EQ(view_->GetClientHeight(), 300);
  EXPECT_GE(resizes, 1);
  Integer mx, my;
  view_->GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 601);
  EXPECT_EQ(my, 501);
  EXPECT_DOUBLE_EQ(view_->GetHScrollScale(), (400.0 + 601) / 65536);
  EXPECT_EQ(view_->GetScrollBarState(SB_HORZ).Page, 26188);
  view_->SetViewX(300);
  EXPECT_EQ(view_->GetScrollBarState(SB_HORZ).Pos, 19641);
  // A picture that fits: no bars, and moving the origin does nothing.
  Load(300, 200);
  EXPECT_FALSE(view_->GetHScrollBarShown());
  EXPECT_EQ(view_->GetClientWidth(), 416);
  Integer changes = 0;
  view_->OnViewChange = [&](TObject*, Integer) { ++changes; };
  view_->SetViewXY(50, 50);
  EXPECT_EQ(view_->GetViewX(), 0);
  EXPECT_EQ(changes, 0);
  view_->SetScrollBarsAlwaysVisible(true);
  EXPECT_TRUE(view_->GetHScrollBarShown());
  EXPECT_FALSE(view_->GetScrollBarState(SB_HORZ).Enabled);
  // Flat bars draw flat and take the same room once the view updates.
  Load(1000, 800);
  view_->SetFlatScrollBars(true);
  EXPECT_TRUE(view_->IsFlatSB());
  view_->Update();
  EXPECT_TRUE(view_->GetHScrollBarShown());
  EXPECT_EQ(view_->GetClientWidth(), 400);
  view_->SetFlatScrollBars(false);
  EXPECT_FALSE(view_->IsFlatSB());
}

TEST_F(ViewTest, ScrollMessagesMapToCommands) {
  Load(1000, 800);
  view_->SetZoom(250);
  struct Row {
    const char* name;
    Word code;
    Word pos;
    bool tracking;
    Integer expected;  // from origin 100
  };
  Integer mx, my;
  view_->GetMaxViewXY(mx, my);
  const double scale = view_->GetVScrollScale();
  const Row rows[] = {
      {"line down at 250 %: 2 pixels", SB_LINEDOWN, 0, true, 102},
      {"line up", SB_LINEUP, 0, true, 98},
      {"page down: one client height", SB_PAGEDOWN, 0, true, 100 + view_->GetClientHeight()},
      {"top", SB_TOP, 0, true, 0},
      {"bottom", SB_BOTTOM, 0, true, my},
      {"thumb track", SB_THUMBTRACK, 1000, true, static_cast<Integer>(1000 * scale)},
      {"thumb track without tracking stays", SB_THUMBTRACK, 1000, false, 100},
      {"thumb position", SB_THUMBPOSITION, 1000, false, static_cast<Integer>(1000 * scale)},
      {"end scroll changes nothing", SB_ENDSCROLL, 0, true, 100},
  };
  for (const Row& r : rows) {
    view_->SetViewY(100);
    view_->VScrollBarParams.ThumbTracking = r.tracking;
    view_->Perform(WM_VSCROLL, MAKEWPARAM(r.code, r.pos), 0);
    EXPECT_EQ(view_->GetViewY(), r.expected) << r.name;
  }
}

TEST_F(ViewTest, WheelZoomsOrScrolls) {
  Load(1000, 800);
  struct Row {
    const char* name;
    TLKMouseWheelParamsAction action;
    TLKMouseWheelParamsVariation variation;
    Integer delta;
    bool ctrl, invert;
    double zoom;
    Integer viewX, viewY;  // from origin (100, 100) at zoom 100
  };
  const Row rows[] = {
      {"notch away zooms out by 8 %", lkmwZoom, lkmwPercentage, 120, false, false, 92, -1, -1},
      {"notch towards zooms in by 8 %", lkmwZoom, lkmwPercentage, -120, false, false, 108, -1, -1},
      {"absolute zoom step", lkmwZoom, lkmwAbsolute, 120, false, false, 92, -1, -1},
      {"inverted", lkmwZoom, lkmwPercentage, 120, false, true, 108, -1, -1},
      {"scroll: 8 % of the client height", lkmwVScroll, lkmwPercentage, -120, false, false, 100, 100, 124},
      {"scroll with Ctrl goes sideways", lkmwVScroll, lkmwPercentage, 120, true, false, 100, 68, 100},
      {"absolute scroll", lkmwVScroll, lkmwAbsolute, -120, false, false, 100, 100, 108},
      {"no action", lkmwNone, lkmwPercentage, 120, false, false, 100, 100, 100},
  };
  for (const Row& r : rows) {
    view_->SetZoom(100);
    view_->SetViewXY(100, 100);
    view_->MouseWheelParams.Action = r.action;
    view_->MouseWheelParams.Variation = r.variation;
    view_->MouseWheelParams.ReverseDirection = r.invert;
    double proposed = 0;
    view_->OnZoomOut = [&](TObject*, double& z) { proposed = z; };
    view_->Perform(WM_MOUSEWHEEL, MAKEWPARAM(r.ctrl ? MK_CONTROL : 0, static_cast<Word>(r.delta)), 0);
    EXPECT_DOUBLE_EQ(view_->GetZoom(), r.zoom) << r.name;
    if (r.zoom < 100) EXPECT_DOUBLE_EQ(proposed, r.zoom) << r.name;
    if (r.viewX >= 0) {
      EXPECT_EQ(view_->GetViewX(), r.viewX) << r.name;
      EXPECT_EQ(view_->GetViewY(), r.viewY) << r.name;
    }
  }
  view_->MouseWheelParams.Action = lkmwZoom;
  view_->SetAutoFit(true);
  const double z = view_->GetZoom();
  view_->DoMouseWheelScroll(-120, 0, 0, false);
  EXPECT_EQ(view_->GetZoom(), z);
}

TEST_F(ViewTest, RenderAt100IsExactAndFilteredOnlyWhenZoomed) {
  Load(64, 48);
  view_->SetZoomFilter(rfFastLinear);
  view_->PaintNow();
  const TLKViewGeometry& g = view_->GetGeometry();
  for (Integer y = 0; y < 48; y += 7)
    for (Integer x = 0; x < 64; x += 5)
      ASSERT_EQ(Back(g.OffX + x, g.OffY + y), (TRGB{Byte(x), Byte(y), Byte(x + y)})) << x << "," << y;
  // The area around the picture is the background colour.
  const TColor bg = ColorToRGB(clBtnFace);
  EXPECT_EQ(Back(0, 0), (TRGB{GetBValue(bg), GetGValue(bg), GetRValue(bg)}));
  // At 50 % the linear filter mixes neighbours: not a copy of any one pixel.
  view_->SetZoom(50);
  const TRGB mid = Back(g.OffX + 10, g.OffY + 10);
  EXPECT_NE(mid.b % 2, 0);
}

TEST_F(ViewTest, DelayedFilterRendersFilteredAfterFourTicks) {
  Load(400, 400);
  view_->SetZoomFilter(rfFastLinear);
  view_->SetDelayZoomFilter(true);
  view_->SetZoom(200);
  view_->SetViewXY(20, 20);
  EXPECT_EQ(view_->GetFilterCountdown(), 4);
  for (int i = 0; i < 3; ++i) view_->FilterTick();
  EXPECT_EQ(view_->GetFilterCountdown(), 1);
  const Integer renders = view_->GetRenderCount();
  view_->FilterTick();
  EXPECT_EQ(view_->GetFilterCountdown(), 0);
  view_->PaintNow();
  EXPECT_EQ(view_->GetRenderCount(), renders + 1);
}

TEST_F(ViewTest, PaintLockHoldsTheRenderAndUnlockRepaints) {
  Load(100, 100);
  view_->PaintNow();
  const Integer renders = view_->GetRenderCount();
  view_->LockPaint();
  view_->SetZoom(300);
  EXPECT_EQ(view_->GetRenderCount(), renders);
  view_->UnLockPaint();
  view_->PaintNow();
  EXPECT_EQ(view_->GetRenderCount(), renders + 1);
}

TEST_F(ViewTest, GridFrom400Percent) {
  Load(20, 20);
  view_->SetBackGround(clBlack);
  view_->GetLKBitmap()->Fill(0);
  view_->SetDisplayGrid(true);
  struct Row {
    double zoom;
    bool grid;
  };
  for (const Row& r : {Row{399, false}, Row{400, true}}) {
    view_->SetZoom(r.zoom);
    view_->PaintNow();
    const TLKPaintPlacement& p = view_->GetLayer(0)->Placement;
    // The grid inverts the line at the picture's left edge.
    EXPECT_EQ(Back(p.DestX, p.DestY + 1).r == 255, r.grid) << r.zoom;
  }
}

TEST_F(ViewTest, MouseInteractKeepsCompatibleModes) {
  struct Row {
    const char* name;
    TLKMouseInteract from, to, stored;
  };
  const Row rows[] = {
      {"select added to scroll and zoom", {miScroll, miZoom}, {miScroll, miZoom, miSelect}, {miZoom, miSelect}},
      {"move layers added to select", {miSelect}, {miSelect, miMoveLayers}, {miMoveLayers}},
      {"polygon alone", {miZoom}, {miZoom, miSelectPolygon}, {miSelectPolygon}},
      {"zoom added drops the wand", {miSelectMagicWand}, {miSelectMagicWand, miZoom}, {miZoom}},
  };
  for (const Row& r : rows) {
    view_->SetMouseInteract(r.from);
    view_->SetMouseInteract(r.to);
    EXPECT_TRUE(view_->GetMouseInteract() == r.stored) << r.name;
  }
}

TEST_F(ViewTest, ExternalBitmapIsNeverFreedByTheView) {
  auto external = std::make_unique<TLKBitmap>(30, 20, lk24RGB);
  view_->SetExternalBitmap(external.get());
  EXPECT_EQ(view_->GetLKBitmap(), external.get());
  view_->SetExternalBitmap(nullptr);
  EXPECT_NE(view_->GetLKBitmap(), external.get());
  delete view_;
  view_ = nullptr;
  EXPECT_EQ(external->GetWidth(), 30);
  view_ = new TLumerakView();
}

TEST_F(ViewTest, WorkerProgressIsCoalescedToTheLatestValue) {
  std::vector<Integer> seen;
  view_->SetOnProgress([&](TObject*, Integer p) { seen.push_back(p); });
  std::thread worker([h = view_->GetHandle()] {
    for (Integer p = 0; p <= 100; ++p) PostCoalescedMessage(h, LKM_PROGRESS, static_cast<WPARAM>(p), 0);
  });
  worker.join();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  ASSERT_FALSE(seen.empty());
  EXPECT_LT(seen.size(), 5u);
  EXPECT_EQ(seen.back(), 100);
}

TEST(ViewCursors, ThirtyThreeNumberedCursorsWithTheirHotSpots) {
  const TLKViewCursor* c = LKViewCursors();
  for (Integer i = 0; i <= LKCursorLast - LKCursorFirst; ++i) EXPECT_EQ(c[i].Number, LKCursorFirst + i);
  EXPECT_EQ(c[1783 - LKCursorFirst].HotX, 2);
  EXPECT_EQ(c[1783 - LKCursorFirst].HotY, 29);
  EXPECT_STREQ(c[1796 - LKCursorFirst].Resource, "CROCE2-");
  TLumerakView withoutOwner;
  withoutOwner.SetTempCursor(1790);
  EXPECT_EQ(withoutOwner.GetCurrentCursor(), 1785);
}

TEST_F(ViewTest, AssignFromBitmapsKeepsOneBitAndWidensTheRest) {
  struct Row {
    const char* name;
    TPixelFormat format;
    TLKPixelFormat expected;
  };
  const Row rows[] = {{"monochrome", pf1bit, lk1g}, {"palette", pf8bit, lk24RGB}, {"true colour", pf24bit, lk24RGB}};
  for (const Row& r : rows) {
    TBitmap b;
    b.SetPixelFormat(r.format);
    b.SetSize(12, 9);
    Integer changes = 0;
    view_->OnImageChange = [&](TObject*) { ++changes; };
    view_->Assign(&b);
    EXPECT_EQ(view_->GetLKBitmap()->GetPixelFormat(), r.expected) << r.name;
    EXPECT_EQ(view_->GetLKBitmap()->GetWidth(), 12) << r.name;
    EXPECT_EQ(changes, 1) << r.name;
  }
}

TEST_F(ViewTest, ChangeResolutionResamplesToTheNewDensity) {
  Load(120, 60);
  view_->SetDPI(300, 300);
  view_->ChangeResolution(150, rfNone);
  EXPECT_EQ(view_->GetLKBitmap()->GetWidth(), 60);
  EXPECT_EQ(view_->GetLKBitmap()->GetHeight(), 30);
  EXPECT_EQ(view_->GetDpiX(), 150);
  EXPECT_EQ(view_->GetDpiY(), 150);
}

TEST_F(ViewTest, LegacyStorageDecidesWhetherAClassLibraryBitmapIsShown) {
  Load(10, 10);
  EXPECT_NE(view_->GetFBitmap(), nullptr);
  view_->SetLegacyBitmap(false);
  EXPECT_EQ(view_->GetFBitmap(), nullptr);
  EXPECT_EQ(view_->GetLKBitmap()->GetPixels_lk24RGB(3, 4), (TRGB{3, 4, 7}));
}

// The Qt widgets on screen reach the view as scroll and wheel messages.
TEST_F(ViewTest, QtScrollBarsAndWheelEventsReachTheView) {
  Load(1000, 800);
  QScrollBar* vertical = nullptr;
  for (QScrollBar* bar : view_->GetPeer()->findChildren<QScrollBar*>())
    if (bar->orientation() == Qt::Vertical && bar->isVisibleTo(view_->GetPeer())) vertical = bar;
  ASSERT_NE(vertical, nullptr);
  vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(view_->GetViewY(), 1);
  vertical->triggerAction(QAbstractSlider::SliderToMaximum);
  Integer mx, my;
  view_->GetMaxViewXY(mx, my);
  EXPECT_EQ(view_->GetViewY(), my);
  EXPECT_EQ(vertical->value(), view_->GetScrollBarState(SB_VERT).Pos);

  const QPointF at(50, 50);
  QWheelEvent away(at, view_->GetPeer()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_->GetPeer(), &away);
  EXPECT_DOUBLE_EQ(view_->GetZoom(), 92);
}
