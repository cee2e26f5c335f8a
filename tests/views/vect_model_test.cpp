// The vector view's object store: handles and vacant slots, the template,
// deep copies, the selection list, the shared bitmap table and the
// accessors that repaint.
#include <gtest/gtest.h>

#include <memory>

#include "views/vect_fixture.h"

namespace {

std::unique_ptr<TLKBitmap> Picture(Integer W, Integer H, Byte V) {
  auto b = std::make_unique<TLKBitmap>(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) b->SetPixels_lk24RGB(x, y, TRGB{V, V, V});
  return b;
}

using VectModel = VectTest;

TEST_F(VectModel, NewViewHasTemplatePictureAndNoObjects) {
  EXPECT_EQ(v_->GetObjectCount(), 0);
  EXPECT_EQ(v_->GetBitmapTableCount(), 1);
  EXPECT_EQ(v_->GetBitmapRefCount(0), 1);
  EXPECT_EQ(v_->GetObjBitmapIdx(LKVTemplate), 0);
  EXPECT_EQ(v_->GetObjBitmap(LKVTemplate)->GetWidth(), 64);
  EXPECT_EQ(v_->GetObjFontName(LKVTemplate), "Arial");
  EXPECT_EQ(v_->GetObjRect(LKVTemplate), (TRect{0, 0, 63, 63}));
  EXPECT_EQ(v_->GetObjBrushStyle(LKVTemplate), bsClear);
  Add(lkkBOX, {0, 0, 5, 5});
  v_->RemoveAllObjects();
  EXPECT_EQ(v_->GetObjectCount(), 0);
  EXPECT_EQ(v_->GetBitmapTableCount(), 1);
  EXPECT_EQ(v_->GetObjBitmap(LKVTemplate)->GetWidth(), 64);
}

TEST_F(VectModel, HandlesStayStableAndOnlyTheLastSlotIsReused) {
  const Integer a = Add(lkkLINE, {0, 0, 10, 10}), b = Add(lkkBOX, {1, 1, 5, 5}), c = Add(lkkBOX, {2, 2, 6, 6});
  EXPECT_EQ((std::vector<Integer>{a, b, c}), (std::vector<Integer>{0, 1, 2}));
  v_->RemoveObject(c);
  EXPECT_EQ(Add(lkkELLIPSE, {0, 0, 1, 1}), 2);  // the last slot came back
  v_->RemoveObject(a);
  EXPECT_EQ(v_->GetObj(a), nullptr);  // vacant
  EXPECT_EQ(v_->GetObjKind(b), lkkBOX);
  EXPECT_EQ(v_->GetStoreCount(), 3);
  EXPECT_EQ(v_->GetObjectCount(), 2);
  EXPECT_EQ(v_->GetObjKind(LKVLast), lkkELLIPSE);
  // A handle that names no object is refused, not read.
  EXPECT_THROW(v_->GetObjKind(a), EListError);
  EXPECT_THROW(v_->SetObjPenWidth(99, 3), EListError);
  EXPECT_EQ(v_->GetObj(LKVAll), nullptr);
  EXPECT_EQ(v_->GetObj(LKVNone), nullptr);
}

TEST_F(VectModel, CopiesOwnTheirDataAndOrderTheirRectangle) {
  TLKVObject src;
  src.Kind = lkkTEXT;
  src.X1 = 50, src.Y1 = 40, src.X2 = 10, src.Y2 = 5;
  src.Text = "hello";
  src.LogFont = TLKLogFont{};
  src.PolyPoints = {{1, 1}, {2, 2}};
  src.SoftShadow->Enabled = true;
  const Integer h = v_->AddVObject(src);
  TLKVObject* o = v_->GetObj(h);
  EXPECT_EQ(v_->GetObjRect(h), (TRect{10, 5, 50, 40}));
  EXPECT_EQ(v_->GetObjText(h), "hello");
  EXPECT_TRUE(o->PolyPoints.empty());  // only polylines keep points
  EXPECT_EQ(v_->GetObjName(h), "");
  EXPECT_NE(o->SoftShadow.get(), src.SoftShadow.get());
  EXPECT_TRUE(o->SoftShadow->Enabled);
  src.Text = "changed";
  EXPECT_EQ(v_->GetObjText(h), "hello");
  // Lines keep their direction; a line copies no text.
  src.Kind = lkkLINE;
  const Integer l = v_->AddVObject(src);
  EXPECT_EQ(v_->GetObjRect(l), (TRect{50, 40, 10, 5}));
  EXPECT_FALSE(v_->GetObj(l)->Text.has_value());
  // A polyline keeps its points and point box.
  src.Kind = lkkPOLYLINE;
  src.PolyBox = TRect{1, 1, 2, 2};
  EXPECT_EQ(v_->GetObjPolylinePointsCount(v_->AddVObject(src)), 2);
}

TEST_F(VectModel, AccessorsRepaintUnlessTemplate) {
  const Integer h = Add(lkkBOX, {5, 5, 20, 20});
  v_->Updates = 0;
  v_->SetObjPenWidth(LKVTemplate, 3);
  v_->SetObjMemoFixedHeight(h, 7);
  EXPECT_EQ(v_->Updates, 0);
  v_->SetObjPenWidth(h, 3);
  EXPECT_EQ(v_->Updates, 1);
  EXPECT_EQ(v_->GetObjPenWidth(Add(lkkBOX, {0, 0, 1, 1})), 1);  // Add copies its own record
  EXPECT_EQ(v_->GetObjPenWidth(v_->AddNewObject()), 3);          // new objects copy the template
}

TEST_F(VectModel, GeometryAccessors) {
  const Integer h = Add(lkkBOX, {5, 5, 20, 20});
  v_->SetObjWidth(h, 10);
  EXPECT_EQ(v_->GetObjRect(h).Right, 14);
  EXPECT_EQ(v_->GetObjWidth(h), 10);
  v_->SetObjLeft(h, 100);
  v_->SetObjTop(h, 50);
  EXPECT_EQ(v_->GetObjRect(h), (TRect{100, 50, 109, 65}));
  v_->SetObjHeight(h, 1);
  EXPECT_EQ(v_->GetObjHeight(h), 1);
}

TEST_F(VectModel, TextFontAndKind) {
  const Integer h = Add(lkkBOX, {0, 0, 10, 10});
  v_->SetObjText(h, "a\r\nb");
  EXPECT_EQ(v_->GetObjText(h), "a\nb");
  EXPECT_EQ(v_->GetObjFontHeight(h), 0);  // no font record yet
  v_->SetObjKind(h, lkkTEXT);
  EXPECT_EQ(v_->GetObjFontName(h), "Arial");
  v_->SetObjFontName(h, std::string(40, 'x'));
  EXPECT_EQ(v_->GetObjFontName(h), std::string(31, 'x'));
  v_->SetObjFontStyles(h, TFontStyles{fsBold, fsUnderline});
  EXPECT_EQ(v_->GetObj(h)->LogFont->lfWeight, 700);
  EXPECT_TRUE(v_->GetObjFontStyles(h) == (TFontStyles{fsBold, fsUnderline}));
  v_->SetObjFontAngle(h, 45.67);
  EXPECT_DOUBLE_EQ(v_->GetObjFontAngle(h), 45.6);
  TFont red;
  red.SetColor(clRed);
  v_->SetObjFont(h, &red);
  EXPECT_EQ(v_->GetObjPenColor(h), clRed);
  const Integer r = Add(lkkLINE, {0, 0, 1, 1});
  v_->SetObjKind(r, lkkRULER);
  EXPECT_TRUE(v_->GetObj(r)->LogFont.has_value());
  EXPECT_FALSE(v_->GetObj(r)->Text.has_value());
}

TEST_F(VectModel, SelectionList) {
  Load(100, 100);
  const Integer a = Add(lkkBOX, {0, 0, 10, 10}), b = Add(lkkBOX, {20, 20, 30, 30}), c = Add(lkkLINE, {5, 40, 1, 60});
  Integer events = 0;
  v_->OnSelectObject = [&](TObject*) { ++events; };
  v_->AddSelObject(a);
  v_->AddSelObject(a);  // already selected: nothing
  EXPECT_EQ(v_->GetSelObjectCount(), 1);
  EXPECT_EQ(events, 1);
  v_->AddSelObjectNS(a);  // NS does not check
  EXPECT_EQ(v_->GetSelObjectCount(), 2);
  v_->RemoveObject(a);  // every occurrence goes with the object
  EXPECT_EQ(v_->GetSelObjectCount(), 0);
  v_->SetObjStyle(b, TLKVStyle{lkvsVisible});
  v_->AddSelObject(b);
  EXPECT_EQ(v_->GetSelObjectCount(), 0);
  v_->SetObjStyle(b, TLKVStyle{lkvsSelectable, lkvsVisible});
  v_->AddSelObjectEx(b);
  v_->AddSelObjectEx(c);
  EXPECT_EQ(v_->GetSelectedObjectsRect(), (TRect{1, 20, 30, 60}));  // from (100, 100, 0, 0)
  v_->SetObjStyle(b, TLKVStyle{lkvsVisible});  // losing selectable unselects
  EXPECT_FALSE(v_->IsSelObject(b));
  EXPECT_EQ(v_->GetSelObjects(5), 0);
  v_->SelAllObjects();
  EXPECT_EQ(v_->GetSelObjectCount(), 1);  // b is not selectable
  v_->SelInRect(LKVAll, 0, 0, 100, 100);   // already selected: not added again
  EXPECT_EQ(v_->GetSelObjectCount(), 1);
}

TEST_F(VectModel, SharedBitmapTable) {
  const auto p1 = Picture(4, 3, 10), p2 = Picture(4, 3, 200);
  const Integer a = Add(lkkBITMAP, {0, 0, 10, 10}), b = Add(lkkBITMAP, {0, 0, 10, 10});
  v_->SetObjBitmap(a, p1.get());
  v_->SetObjBitmap(b, p1.get());
  EXPECT_EQ(v_->GetObjBitmapIdx(a), v_->GetObjBitmapIdx(b));
  EXPECT_EQ(v_->GetBitmapRefCount(v_->GetObjBitmapIdx(a)), 2);
  v_->RemoveObject(b);
  EXPECT_EQ(v_->GetBitmapRefCount(v_->GetObjBitmapIdx(a)), 1);
  // A copy of a bitmap object shares the entry.
  TLKVObject copy = *v_->GetObj(a);
  const Integer c = v_->AddVObject(copy);
  EXPECT_EQ(v_->GetBitmapRefCount(v_->GetObjBitmapIdx(a)), 2);
  v_->RemoveObject(c);
  // Without sharing, equal pictures take two entries.
  v_->SetShareBitmaps(false);
  const Integer d = Add(lkkBITMAP, {0, 0, 1, 1});
  v_->SetObjBitmap(d, p1.get());
  EXPECT_NE(v_->GetObjBitmapIdx(d), v_->GetObjBitmapIdx(a));
  v_->SetShareBitmaps(true);
  // Pack: entries 0 (template), 1 (a), 2 (d), 3 (e); removing d's user
  // moves e's entry to 2 and renumbers it.
  const Integer e = Add(lkkBITMAP, {0, 0, 1, 1});
  v_->SetObjBitmap(e, p2.get());
  ASSERT_EQ(v_->GetObjBitmapIdx(e), 3);
  v_->RemoveObject(d);
  v_->PackBMP();
  EXPECT_EQ(v_->GetBitmapTableCount(), 3);
  EXPECT_EQ(v_->GetObjBitmapIdx(e), 2);
  EXPECT_EQ(v_->GetObjBitmap(e)->GetPixels_lk24RGB(0, 0).r, 200);
  EXPECT_EQ(v_->GetObjBitmapIdx(LKVTemplate), 0);
  // The caller keeps the picture it passed.
  EXPECT_FALSE(p1->GetHasAlphaChannel());
}

TEST_F(VectModel, PolylinePoints) {
  const Integer h = Add(lkkPOLYLINE, {0, 0, 0, 0});
  v_->SetObjPolylinePoints(h, {{10, 10}, {10, 10}, {30, 10}, {30, 20}});
  EXPECT_EQ(v_->GetObjPolylinePointsCount(h), 3);  // the repeated point is stored once
  EXPECT_EQ(v_->GetObjRect(h), (TRect{10, 10, 30, 20}));
  // Stretching the rectangle stretches the points.
  v_->SetObjRect(h, TRect{100, 100, 140, 110});
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 1), (TPoint{140, 100}));
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 2), (TPoint{140, 110}));
  EXPECT_EQ(v_->GetObjPolylinePoints(h, 9), (TPoint{0, 0}));
}

}  // namespace
