// The view's selection: shapes, outline and mask in step, resizing with
// grips, moving, inversion, depth, the magic wand and the outline timer.
#include <thread>

#include "interact_fixture.h"
#include "platform/threads.h"
#include "processing/lkmagicwand.h"

namespace {

std::vector<TPoint> Outline(TLumerakView* V) {
  return std::vector<TPoint>(V->GetPolySelArray(), V->GetPolySelArray() + V->GetPolySelCount());
}

}  // namespace

TEST_F(InteractTest, RectanglesClipToThePictureAndAddAsSeparatePolygons) {
  Load(200, 100);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(-5, -5, 205, 105, lkspReplace);
  EXPECT_EQ(Outline(view_), (std::vector<TPoint>{{0, 0}, {200, 0}, {200, 100}, {0, 100}}));
  EXPECT_TRUE(view_->GetSelectionMask()->GetFull());

  view_->Select(10, 10, 20, 20, lkspReplace);
  view_->Select(50, 40, 60, 45, lkspAdd);
  ASSERT_EQ(view_->GetPolySelCount(), 9);
  EXPECT_EQ(view_->GetPolySel(4), (TPoint{LKSelBreak, LKSelBreak}));
  EXPECT_EQ(view_->GetPolySel(-1), (TPoint{0, 0}));
  EXPECT_EQ(view_->GetPolySel(9), (TPoint{0, 0}));
  EXPECT_TRUE(view_->IsPointInsideSelection(10, 10));
  EXPECT_FALSE(view_->IsPointInsideSelection(20, 20));  // right and bottom edges are exclusive
  EXPECT_TRUE(view_->IsPointInsideSelection(55, 42));
  EXPECT_EQ(MaskBox(), (TRect{10, 10, 59, 44}));

  // A degenerate rectangle adds nothing: the outline survives, a mask-only
  // selection does not.
  view_->Select(10, 10, 10, 50, lkspReplace);
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_EQ(view_->GetPolySelCount(), 9);
  view_->InvertSelection();
  EXPECT_EQ(view_->GetPolySelCount(), 0);
  view_->Select(10, 10, 10, 50, lkspReplace);
  EXPECT_FALSE(view_->GetSelected());
}

TEST_F(InteractTest, EllipseInversionDepthAndAspect) {
  Load(100, 100);
  view_->SetSelectionBase(lksbBitmap);
  view_->SelectEllipse(50, 50, 2, 2, lkspReplace);
  EXPECT_EQ(view_->GetPolySelCount(), 3);

  view_->Select(0, 0, 100, 100, lkspReplace);
  view_->InvertSelection();  // everything selected: the selection goes
  EXPECT_FALSE(view_->GetSelected());

  view_->SetSelectionMaskDepth(4);
  EXPECT_EQ(view_->GetSelectionMaskDepth(), 1);
  view_->Select(10, 10, 20, 20, lkspReplace);
  view_->SetSelectionMaskDepth(8);
  EXPECT_FALSE(view_->GetSelected());
  EXPECT_EQ(view_->GetSelectionIntensity(), 255);
  view_->Select(10, 10, 20, 20, lkspReplace);
  view_->InvertSelection();
  EXPECT_EQ(view_->GetSelectionMask()->GetPixel(15, 15), 0);
  EXPECT_EQ(view_->GetSelectionMask()->GetPixel(5, 5), 255);

  view_->SetSelectionAspectRatio(0);
  EXPECT_FALSE(view_->GetSelectionOptions().Contains(lksoSizeable));
  view_->SetSelectionAspectRatio(1.5);
  EXPECT_TRUE(view_->GetSelectionOptions().Contains(lksoSizeable));
}

TEST_F(InteractTest, GripDragsResizeAndMirrorTheGripWhenTheRectangleTurnsOver) {
  Load(200, 200);
  view_->SetMouseInteract({miSelect});
  struct Row {
    TPoint press, over, then;
    TLKGrip grip;
    TRect turned, final;  // outline boxes, exclusive at the right and bottom
  };
  const Row rows[] = {
      {{50, 60}, {79, 69}, {90, 90}, lkBottomRight, {20, 30, 80, 70}, {20, 30, 91, 91}},
      {{20, 30}, {100, 100}, {110, 120}, lkTopLeft, {50, 60, 100, 100}, {50, 60, 111, 121}},
      {{50, 45}, {10, 45}, {5, 45}, lkRightSide, {11, 30, 20, 60}, {5, 30, 20, 60}},
      {{35, 30}, {40, 70}, {40, 80}, lkTopSide, {20, 60, 50, 70}, {20, 60, 50, 81}},
  };
  for (const Row& r : rows) {
    view_->SetSelectionBase(lksbBitmap);
    view_->Select(20, 30, 50, 60, lkspReplace);
    EXPECT_EQ(view_->GetGripAt(r.press.X, r.press.Y), r.grip);
    const TLKAnimPolygon* o = view_->GetSelectionOutline();
    view_->MouseDown(mbLeft, {ssLeft}, r.press.X, r.press.Y);
    view_->MouseMove({ssLeft}, r.over.X, r.over.Y);
    EXPECT_EQ((TRect{o->X1, o->Y1, o->X2, o->Y2}), r.turned) << int(r.grip);
    // The next move works on the edge the mirrored grip names.
    view_->MouseMove({ssLeft}, r.then.X, r.then.Y);
    EXPECT_EQ((TRect{o->X1, o->Y1, o->X2, o->Y2}), r.final) << int(r.grip);
    view_->MouseUp(mbLeft, {}, r.then.X, r.then.Y);
    EXPECT_EQ(MaskBox(), (TRect{r.final.Left, r.final.Top, r.final.Right - 1, r.final.Bottom - 1})) << int(r.grip);
  }
}

// The filled and mark-outer effects are drawn into the rendered view where
// the current layer's selected pixels are, at the view's zoom and scroll:
// filled inverts exactly the selected pixels, mark-outer greys every other
// pixel outside them on a one-pixel checkerboard, and without the options,
// or with the selection hidden, the render is the picture's alone.
TEST_F(InteractTest, FilledAndMarkOuterSelectionsArePaintedOverTheSelectedPixels) {
  Load(100, 80);
  view_->SetZoomFilter(rfNone);
  view_->SetZoom(200);
  view_->SetViewXY(10, 6);  // scrolled: the placement, not the client origin, counts
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(20, 10, 40, 30, lkspReplace);  // picture pixels 20..39 x 10..29
  const Integer cw = view_->GetClientWidth(), ch = view_->GetClientHeight();
  auto render = [&](TLKSelectionOptions Options, bool Visible) {
    view_->SetSelectionOptions(Options);
    view_->SetVisibleSelection(Visible);
    auto t = std::make_unique<TLKBitmap>(cw, ch, lk24RGB);
    view_->PaintToEx(t.get(), nullptr, nullptr, true, true);
    return t;
  };
  auto pixel = [](TLKBitmap* B, Integer X, Integer Y) {
    const Byte* p = static_cast<const Byte*>(B->GetScanLine(Y)) + X * 3;
    return TRGB{p[0], p[1], p[2]};
  };
  const auto plain = render({}, true);
  const auto hidden = render({lksoFilled, lksoMarkOuter}, false);
  const auto filled = render({lksoFilled}, true);
  const auto outer = render({lksoMarkOuter}, true);
  Integer inside = 0, marked = 0;
  for (Integer y = 0; y < ch; ++y)
    for (Integer x = 0; x < cw; ++x) {
      const Integer bx = view_->XScr2Bmp(x), by = view_->YScr2Bmp(y);
      const bool onPicture = bx >= 0 && bx < 100 && by >= 0 && by < 80;
      const bool selected = onPicture && bx >= 20 && bx < 40 && by >= 10 && by < 30;
      const TRGB p = pixel(plain.get(), x, y);
      ASSERT_EQ(pixel(hidden.get(), x, y), p) << x << "," << y;
      const TRGB f = pixel(filled.get(), x, y);
      if (selected) {
        ++inside;
        ASSERT_EQ(f, (TRGB{Byte(255 - p.b), Byte(255 - p.g), Byte(255 - p.r)})) << x << "," << y;
        ASSERT_EQ(pixel(outer.get(), x, y), p) << x << "," << y;
      } else {
        ASSERT_EQ(f, p) << x << "," << y;
        const TRGB o = pixel(outer.get(), x, y);
        if (onPicture && o == (TRGB{97, 97, 97})) ++marked;
        else ASSERT_EQ(o, p) << x << "," << y;
      }
    }
  EXPECT_EQ(inside, 40 * 40);  // 20 x 20 pixels at 200 %
  EXPECT_GT(marked, 1000);
}
