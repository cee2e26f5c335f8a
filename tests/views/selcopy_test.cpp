// Selection copies, pixel operations through the selection, feathering,
// layer merging, the navigator, the rubber band and the view's cursors.
#include <gtest/gtest.h>

#include <QCursor>
#include <QWidget>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/cursors.h"
#include "views/interact_fixture.h"

namespace {

TRGB Pixel(TLKBitmap* B, Integer X, Integer Y) { return static_cast<const TRGB*>(B->GetScanLine(Y))[X]; }
Byte AlphaAt(TLKBitmap* B, Integer X, Integer Y) {
  return static_cast<const Byte*>(B->GetAlphaChannel()->GetScanLine(Y))[X];
}
bool Same(const TRGB& A, const TRGB& B) { return A.b == B.b && A.g == B.g && A.r == B.r; }

// Fills B (lk24RGB, W x H) with one colour.
void Solid(TLKBitmap* B, Integer W, Integer H, TRGB C) {
  B->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) static_cast<TRGB*>(B->GetScanLine(y))[x] = C;
}

}  // namespace

// ---------------------------------------------------------------------------
// Copies

TEST_F(InteractTest, SelectionCopiesCutTheBoxAndFillTheRestWithTheBackground) {
  Load(60, 50);
  view_->SetBackGround(clRed);
  view_->SetSelectionBase(lksbBitmap);
  TLKBitmap untouched(3, 3, lk24RGB);
  view_->CopySelectionToLKBitmap(&untouched);  // no selection: nothing
  EXPECT_EQ(untouched.GetWidth(), 3);

  // An L shape whose box is (10, 20)-(29, 39): its inner corner is not
  // selected.
  view_->Select(10, 20, 30, 30, lkspReplace);
  view_->Select(10, 30, 20, 40, lkspAdd);
  TLKBitmap cut;
  view_->CopySelectionToLKBitmap(&cut);
  ASSERT_EQ(cut.GetWidth(), 20);
  ASSERT_EQ(cut.GetHeight(), 20);
  EXPECT_TRUE(Same(Pixel(&cut, 0, 0), Pixel(view_->GetLKBitmap(), 10, 20)));
  EXPECT_TRUE(Same(Pixel(&cut, 5, 15), Pixel(view_->GetLKBitmap(), 15, 35)));
  EXPECT_TRUE(Same(Pixel(&cut, 15, 15), (TRGB{0, 0, 255})));  // background red

  // The class-library copy gets the same size; the bitmap is marked modified.
  TBitmap bmp;
  view_->AssignSelTo(&bmp);
  EXPECT_EQ(bmp.GetWidth(), 20);
  EXPECT_EQ(bmp.GetHeight(), 20);
  EXPECT_EQ(bmp.GetPixelFormat(), pf24bit);
  EXPECT_TRUE(bmp.GetModified());
}

TEST_F(InteractTest, AssignSelToAnotherViewCopiesPictureOrSelectionWithResolution) {
  Load(40, 30);
  view_->SetDPI(150, 75);
  TLumerakView other;
  view_->AssignSelTo(&other);
  EXPECT_EQ(other.GetLKBitmap()->GetWidth(), 40);
  EXPECT_EQ(other.GetLKBitmap()->GetHeight(), 30);
  EXPECT_TRUE(Same(Pixel(other.GetLKBitmap(), 7, 9), Pixel(view_->GetLKBitmap(), 7, 9)));
  EXPECT_EQ(other.GetDpiX(), 150);
  EXPECT_EQ(other.GetDpiY(), 75);

  view_->SetSelectionBase(lksbBitmap);
  view_->Select(5, 5, 15, 10, lkspReplace);
  view_->AssignSelTo(&other);
  EXPECT_EQ(other.GetLKBitmap()->GetWidth(), 10);
  EXPECT_EQ(other.GetLKBitmap()->GetHeight(), 5);
  EXPECT_TRUE(Same(Pixel(other.GetLKBitmap(), 0, 0), Pixel(view_->GetLKBitmap(), 5, 5)));
}

// ---------------------------------------------------------------------------
// Pixel operations

TEST_F(InteractTest, AlphaAndColourWritesGoThroughTheSelection) {
  Load(20, 10);
  view_->SetSelectedAreaAlpha(0);  // no selection: the whole picture
  TLKBitmap* b = view_->GetLKBitmap();
  ASSERT_TRUE(b->GetHasAlphaChannel());
  EXPECT_EQ(AlphaAt(b, 0, 0), 0);
  EXPECT_EQ(AlphaAt(b, 19, 9), 0);

  view_->SetSelectionBase(lksbBitmap);
  view_->Select(2, 2, 6, 5, lkspReplace);
  view_->SetSelectedAreaAlpha(0x1C8);  // the low byte counts
  EXPECT_EQ(AlphaAt(b, 2, 2), 0xC8);
  EXPECT_EQ(AlphaAt(b, 5, 4), 0xC8);
  EXPECT_EQ(AlphaAt(b, 6, 4), 0);

  const TRGB green{0, 200, 0};
  view_->SetSelectedPixelsColor(green);
  EXPECT_TRUE(Same(Pixel(b, 3, 3), green));
  EXPECT_FALSE(Same(Pixel(b, 7, 3), green));

  // Alpha range: only the pixels whose alpha lies in 100..200.
  const TRGB blue{255, 0, 0};
  view_->SetAlphaRangePixelsColor(100, 200, blue);
  EXPECT_TRUE(Same(Pixel(b, 2, 2), blue));
  EXPECT_FALSE(Same(Pixel(b, 10, 8), blue));
}

TEST_F(InteractTest, PixelWritesLeaveOtherFormatsAlone) {
  // A grey picture with an alpha channel: colour writes would treat its
  // one-byte pixels as three-byte ones.
  TLKBitmap* b = view_->GetLKBitmap();
  b->Allocate(9, 4, lk8g);
  b->Fill(77);
  b->GetAlphaChannel()->Fill(128);
  view_->Update();
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(0, 0, 9, 4, lkspReplace);
  view_->SetSelectedPixelsColor(TRGB{1, 2, 3});
  view_->SetAlphaRangePixelsColor(0, 255, TRGB{1, 2, 3});
  for (Integer x = 0; x < 9; ++x) EXPECT_EQ(static_cast<const Byte*>(b->GetScanLine(3))[x], 77) << x;
}

TEST_F(InteractTest, RemoveAlphaChannelMergesOverTheBackgroundRoundingDown) {
  TLKBitmap* b = view_->GetLKBitmap();
  Solid(b, 2, 1, TRGB{50, 100, 200});
  b->GetAlphaChannel()->Fill(128);
  view_->SetBackGround(clWhite);
  view_->RemoveAlphaChannel(true);
  EXPECT_FALSE(b->GetHasAlphaChannel());
  const TRGB p = Pixel(b, 1, 0);
  EXPECT_EQ(p.r, 227);
  EXPECT_EQ(p.g, 177);
  EXPECT_EQ(p.b, 152);
}

TEST_F(InteractTest, CopyToBitmapWithAlphaBlendsOntoTheTarget) {
  TLKBitmap* b = view_->GetLKBitmap();
  Solid(b, 4, 4, TRGB{0, 0, 200});
  b->GetAlphaChannel()->Fill(255);
  TBitmap dest(6, 6, pf24bit);
  dest.GetCanvas()->GetBrush()->SetColor(clBlack);
  dest.GetCanvas()->FillRect(TRect{0, 0, 6, 6});
  view_->CopyToBitmapWithAlpha(&dest, 2, 2);
  EXPECT_EQ(dest.GetCanvas()->GetPixel(3, 3), TColor(RGB(200, 0, 0)));
  EXPECT_EQ(dest.GetCanvas()->GetPixel(1, 1), clBlack);
}

TEST_F(InteractTest, FeatheringBlursTheBoxGrownByFiveRadii) {
  Load(80, 60);
  view_->SetSelectionMaskDepth(8);
  view_->SetSelectionBase(lksbBitmap);
  view_->MakeSelectionFeather(2.0);  // nothing selected: nothing happens
  EXPECT_TRUE(view_->GetSelectionMask()->IsEmpty());
  view_->Select(30, 20, 50, 40, lkspReplace);
  view_->MakeSelectionFeather(2.0);
  TLKMask* m = view_->GetSelectionMask();
  EXPECT_EQ(view_->GetPolySelCount(), 0);  // the outline goes
  EXPECT_GT(m->GetPixel(29, 30), 0);       // blurred outwards
  EXPECT_LT(m->GetPixel(30, 30), 255);     // and inwards
  EXPECT_EQ(m->GetPixel(40, 30), 255);
  EXPECT_EQ(m->GetPixel(19, 30), 0);  // beyond the grown box
  EXPECT_LT(m->GetX1(), 30);
  EXPECT_GE(m->GetX1(), 20);
}

// ---------------------------------------------------------------------------
// Layer merging

namespace {

struct TLayerDesc {
  Integer X, Y, W, H;
  TRGB Colour;
  Integer Opacity;
};

// Two free layers over the view (layer 0 stays the background).
TLKLayer* AddLayer(TLumerakView* V, const TLayerDesc& S) {
  const Integer i = V->LayersAdd();
  TLKLayer* l = V->GetLayer(i);
  Solid(V->GetLKBitmap(), S.W, S.H, S.Colour);
  l->PosX = S.X;
  l->PosY = S.Y;
  l->Opacity = S.Opacity;
  return l;
}

}  // namespace

TEST_F(InteractTest, MergingPlacesTheLayersAndBlendsByOpacity) {
  Load(5, 5);
  const TRGB lower{10, 20, 30}, upper{200, 100, 50};
  TLKLayer* l1 = AddLayer(view_, {-10, 0, 20, 10, lower, 255});
  TLKLayer* l2 = AddLayer(view_, {0, 0, 20, 10, upper, 255});
  TLKBitmap out;
  LKLayersMerge(l1, l2, nullptr, &out, rfNone, clWhite, false);
  ASSERT_EQ(out.GetWidth(), 30);
  ASSERT_EQ(out.GetHeight(), 10);
  EXPECT_FALSE(out.GetHasAlphaChannel());  // both opaque
  EXPECT_TRUE(Same(Pixel(&out, 0, 0), lower));
  EXPECT_TRUE(Same(Pixel(&out, 9, 5), lower));
  EXPECT_TRUE(Same(Pixel(&out, 10, 5), upper));
  EXPECT_TRUE(Same(Pixel(&out, 29, 9), upper));

  // Half-transparent upper layer, and a gap nobody covers.
  l1->PosX = 0;
  l2->PosX = 25;
  l2->Opacity = 128;
  LKLayersMerge(l1, l2, nullptr, &out, rfNone, clWhite, false);
  ASSERT_EQ(out.GetWidth(), 45);
  ASSERT_TRUE(out.GetHasAlphaChannel());
  EXPECT_TRUE(Same(Pixel(&out, 22, 3), (TRGB{255, 255, 255})));
  EXPECT_EQ(AlphaAt(&out, 22, 3), 0);
  EXPECT_EQ(AlphaAt(&out, 30, 3), 128);
  l2->PosX = 0;
  LKLayersMerge(l1, l2, nullptr, &out, rfNone, clWhite, false);
  const TRGB p = Pixel(&out, 3, 3);
  const auto mix = [](Integer U, Integer L) { return LKRoundEven(U * 128.0 / 255 + L * 127.0 / 255); };
  EXPECT_EQ(p.b, mix(200, 10));
  EXPECT_EQ(p.g, mix(100, 20));
  EXPECT_EQ(p.r, mix(50, 30));
  EXPECT_FALSE(out.GetHasAlphaChannel());
}

TEST_F(InteractTest, MergingReadsGreyLayersAsColourAndHonoursTheMaskLayer) {
  Load(5, 5);
  TLKLayer* l1 = AddLayer(view_, {0, 0, 4, 2, TRGB{0, 0, 0}, 255});
  TLKLayer* l2 = AddLayer(view_, {0, 0, 4, 2, TRGB{0, 0, 0}, 255});
  l2->Bitmap->Allocate(4, 2, lk8g);
  l2->Bitmap->Fill(90);
  TLKLayer mask(view_, nullptr, false);
  mask.Bitmap->Allocate(2, 2, lk8g);
  mask.Bitmap->Fill(255);
  TLKBitmap out;
  LKLayersMerge(l1, l2, &mask, &out, rfNone, clWhite, false);
  ASSERT_EQ(out.GetWidth(), 4);
  EXPECT_TRUE(Same(Pixel(&out, 1, 1), (TRGB{90, 90, 90})));  // under the mask
  EXPECT_TRUE(Same(Pixel(&out, 3, 1), (TRGB{0, 0, 0})));     // outside: lower layer
}

TEST_F(InteractTest, LayersMergeReplacesTheLowerLayer) {
  Load(30, 30);
  AddLayer(view_, {4, 6, 10, 10, TRGB{1, 1, 1}, 255});
  AddLayer(view_, {2, 8, 10, 10, TRGB{2, 2, 2}, 255});
  TLKLayer* third = view_->GetLayer(2);
  view_->LayersMerge(1, 1, false);  // equal indexes: nothing
  ASSERT_EQ(view_->GetLayersCount(), 3);
  view_->LayersMerge(1, 2, false);
  ASSERT_EQ(view_->GetLayersCount(), 3);
  EXPECT_EQ(view_->GetLayer(2), third);  // the upper one stays
  TLKLayer* merged = view_->GetLayer(1);
  EXPECT_EQ(merged->PosX, 2);
  EXPECT_EQ(merged->PosY, 6);
  EXPECT_EQ(merged->Bitmap->GetWidth(), 12);
  EXPECT_EQ(merged->Bitmap->GetHeight(), 12);
  EXPECT_EQ(view_->GetLayersCurrent(), 1);
  view_->LayersMerge(0, 1, true);
  EXPECT_EQ(view_->GetLayersCount(), 2);
  EXPECT_EQ(view_->GetLayer(0)->Bitmap->GetWidth(), 30);
}

// ---------------------------------------------------------------------------
// Navigator, rubber band, cursors

TEST_F(InteractTest, NavigatorShowsTheVisiblePartAndScrollsTheView) {
  Load(1000, 800);
  auto* nav = new TLumerakView();
  nav->SetParentWindow(&form_);
  nav->SetBounds(500, 0, 200, 160);
  view_->SetNavigator(nav);
  EXPECT_EQ(nav->GetLKBitmap(), view_->GetLKBitmap());
  EXPECT_EQ(nav->GetSelX1(), 0);
  EXPECT_EQ(nav->GetSelY1(), 0);
  const Integer w = nav->GetSelX2() - nav->GetSelX1() + 1;
  EXPECT_EQ(w, view_->GetGeometry().DW);
  view_->SetViewXY(100, 50);
  EXPECT_EQ(nav->GetSelX1(), 100);
  EXPECT_EQ(nav->GetSelY1(), 50);
  // Moving the navigator's rectangle scrolls the view.
  nav->MoveSelection(60, 30);
  nav->DoSelectionChanging();
  EXPECT_EQ(view_->GetViewX(), 160);
  EXPECT_EQ(view_->GetViewY(), 80);
  delete nav;  // the view forgets it
  EXPECT_EQ(view_->GetNavigator(), nullptr);
  view_->SetViewXY(0, 0);
}

TEST_F(InteractTest, NavigatorLetsGoOfThePictureWhenTheViewGoes) {
  TLumerakView nav;
  {
    auto* v = new TLumerakView();
    v->GetLKBitmap()->Allocate(10, 10, lk24RGB);
    v->SetNavigator(&nav);
    delete v;
  }
  EXPECT_NE(nav.GetLKBitmap(), nullptr);
  nav.GetLKBitmap()->Allocate(3, 3, lk24RGB);  // its own again
}

TEST_F(InteractTest, PolygonRubberBandIsDrawnInvertedAndErasedByTheNextMove) {
  Load(200, 150);
  view_->SetMouseInteract(TLKMouseInteract{miSelectPolygon});
  view_->MouseDown(mbLeft, TShiftState{ssLeft}, 10, 10);
  view_->MouseUp(mbLeft, {}, 10, 10);
  view_->PaintNow();
  auto at = [&](Integer X, Integer Y) {
    const Byte* p = view_->GetSurface()->ScanLine(Y) + X * 3;
    return TRGB{p[0], p[1], p[2]};
  };
  const TRGB before = at(60, 10);
  view_->MouseMove({}, 100, 10);
  EXPECT_TRUE(view_->GetRubberBandShown());
  const TRGB inverted = at(60, 10);
  EXPECT_EQ(inverted.b, 255 - before.b);
  EXPECT_EQ(inverted.r, 255 - before.r);
  view_->MouseMove({}, 10, 100);  // the old band goes, a new one comes
  EXPECT_TRUE(Same(at(60, 10), before));
  EXPECT_FALSE(Same(at(10, 60), Pixel(view_->GetLKBitmap(), 10, 60)));
  view_->PaintNow();
  EXPECT_FALSE(view_->GetRubberBandShown());
}

TEST(ViewCursors, ConstructionRegistersTheCursorsAtTheirNumbers) {
  TLumerakView view;
  for (Integer n = LKCursorFirst; n <= LKCursorLast; ++n) EXPECT_NE(GetScreenCursor(n), nullptr) << n;
  const TCursorResource* c = GetScreenCursor(1797);  // "1795"
  ASSERT_TRUE(c->Colour.has_value());
  EXPECT_EQ(c->Colour->HotSpot.X, 2);
  EXPECT_EQ(c->Colour->HotSpot.Y, 14);
  EXPECT_EQ(c->Monochrome.HotSpot.X, 0);
  EXPECT_EQ(c->Monochrome.HotSpot.Y, 15);
  EXPECT_FALSE(GetScreenCursor(1806)->Colour.has_value());  // "1803"
  // The widget shows the view's cursor: "CROCE3", hot spot (16, 15).
  const QPoint hot = view.GetPeer()->cursor().hotSpot();
  EXPECT_EQ(hot.x(), 16);
  EXPECT_EQ(hot.y(), 15);
}

TEST_F(InteractTest, SyncedSelectionFromAStreamWithAFarPositionFallsOffThePicture) {
  Load(40, 30);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(2, 2, 10, 10, lkspReplace);
  TMemoryStream ms;
  view_->SaveSelectionToStream(&ms);
  // The stored layer position sits after w, h, count, the points, the box
  // and the selected flag.
  const Integer n = view_->GetPolySelCount();
  for (Integer far : {2147483647, -2147483647 - 1}) {
    ms.SetPosition(12 + 8 * n + 16 + 1);
    ms.WriteBuffer(&far, 4);
    ms.SetPosition(0);
    ASSERT_TRUE(view_->LoadSelectionFromStream(&ms, lkrsSyncLayers));
    EXPECT_TRUE(view_->GetSelectionMask()->IsEmpty());
    EXPECT_FALSE(view_->GetSelected());
  }
}
