// Operations of the vector view on the whole layer: lookups, order,
// rotation, drawing into bitmaps, copies to other views, the "LUMERAK VECT"
// clipboard and a bitmap object from the selection.
#include <gtest/gtest.h>

#include <memory>

#include "platform/clipboard.h"
#include "views/vect_fixture.h"

namespace {

std::unique_ptr<TLKBitmap> Picture(Integer W, Integer H, Byte V) {
  auto b = std::make_unique<TLKBitmap>(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) b->SetPixels_lk24RGB(x, y, TRGB{V, Byte(x * 9), Byte(y * 5)});
  return b;
}

class VectOps : public VectTest {
 protected:
  std::vector<Integer> Order() {
    std::vector<Integer> o;
    for (Integer i = 0; i < v_->GetObjectCount(); ++i) o.push_back(v_->GetObjectAt(i));
    return o;
  }
};

TEST_F(VectOps, LookupsFindTheTopmostMatch) {
  const Integer a = Add(lkkBOX, {0, 0, 5, 5}), b = Add(lkkBOX, {1, 1, 5, 5}), c = Add(lkkLINE, {10, 20, 5, 50});
  v_->SetObjName(a, "door");
  v_->SetObjName(b, "door");
  v_->SetObjName(c, "Door");
  v_->SetObjID(a, 7);
  v_->SetObjID(c, 7);
  EXPECT_EQ(v_->GetObjFromName("door"), b);
  EXPECT_EQ(v_->GetObjFromName("DOOR"), -1);
  EXPECT_EQ(v_->GetObjFromID(7), c);
  EXPECT_EQ(v_->GetObjFromID(8), -1);
  EXPECT_EQ(v_->GetObjFromIndex(2), c);
  EXPECT_EQ(v_->GetObjFromIndex(3), -1);
  EXPECT_EQ(v_->GetObjFromIndex(-1), -1);
  EXPECT_EQ(v_->GetObjPos(b), 1);
  v_->RemoveObject(a);
  v_->RemoveObject(b);
  EXPECT_EQ(v_->GetObjectsExtents(), (TRect{0, 0, 11, 51}));
  v_->RemoveObject(c);
  EXPECT_EQ(v_->GetObjectsExtents(), (TRect{0, 0, 0, 0}));
}

TEST_F(VectOps, FrontAndBackMoveInTheDrawingOrder) {
  const Integer a = Add(lkkBOX, {0, 0, 5, 5}), b = Add(lkkBOX, {0, 0, 5, 5}), c = Add(lkkBOX, {0, 0, 5, 5}),
                d = Add(lkkBOX, {0, 0, 5, 5});
  v_->SetObjFrontOf(a, -1);
  EXPECT_EQ(Order(), (std::vector<Integer>{b, c, d, a}));
  v_->SetObjBackTo(a, -1);
  EXPECT_EQ(Order(), (std::vector<Integer>{a, b, c, d}));
  v_->SetObjBackTo(d, b);
  EXPECT_EQ(Order(), (std::vector<Integer>{a, d, b, c}));
  v_->SetObjFrontOf(a, b);
  EXPECT_EQ(Order(), (std::vector<Integer>{d, b, a, c}));
}

// Turning with the picture: 90 maps (x, y) to (y, W - x), 180 to
// (W - x, H - y), 270 to (H - y, x).
TEST_F(VectOps, RotationWithThePictureAndAboutTheObject) {
  Load(200, 100);
  struct Case {
    double Angle;
    TRect Want;
  };
  const Case cases[] = {{90, {20, 190, 40, 170}}, {180, {190, 80, 170, 60}}, {270, {80, 10, 60, 30}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Angle);
    const Integer h = Add(lkkLINE, {10, 20, 30, 40});
    v_->RotateObject(h, c.Angle, TLumerakVect::lkrImage);
    EXPECT_EQ(v_->GetObjRect(h), c.Want);
  }
  // A box stays ordered; text turns its font.
  const Integer box = Add(lkkBOX, {10, 10, 30, 20});
  v_->RotateObject(box, 90, TLumerakVect::lkrObject);
  EXPECT_EQ(v_->GetObjRect(box), (TRect{15, 5, 25, 25}));
  const Integer text = Add(lkkTEXT, {10, 10, 30, 20});
  v_->SetObjKind(text, lkkTEXT);
  v_->RotateObject(text, 45.5, TLumerakVect::lkrObject);
  EXPECT_EQ(v_->GetObj(text)->LogFont->lfEscapement, 455);
}

// A picture shared by two objects: turning one leaves the other's as it
// was; turning all turns the shared picture once.
TEST_F(VectOps, SharedPicturesTurnOncePerObjectThatTurns) {
  Load(200, 100);
  auto pic = Picture(6, 2, 30);
  const Integer a = Add(lkkBITMAP, {0, 0, 5, 1}), b = Add(lkkBITMAP, {0, 0, 5, 1});
  v_->SetObjBitmap(a, pic.get());
  v_->SetObjBitmap(b, pic.get());
  ASSERT_EQ(v_->GetObjBitmapIdx(a), v_->GetObjBitmapIdx(b));
  v_->RotateObject(a, 90, TLumerakVect::lkrObject);
  EXPECT_EQ(v_->GetObjBitmap(a)->GetWidth(), 2);
  EXPECT_EQ(v_->GetObjBitmap(b)->GetWidth(), 6);
  v_->RotateObject(a, -90, TLumerakVect::lkrObject);
  v_->SetObjBitmap(a, pic.get());
  ASSERT_EQ(v_->GetObjBitmapIdx(a), v_->GetObjBitmapIdx(b));
  v_->RotateAllObjects(90, TLumerakVect::lkrObject);
  EXPECT_EQ(v_->GetObjBitmapIdx(a), v_->GetObjBitmapIdx(b));
  EXPECT_EQ(v_->GetObjBitmap(a)->GetWidth(), 2);  // not turned twice
  EXPECT_EQ(v_->GetObjBitmap(a)->GetHeight(), 6);
}

TEST_F(VectOps, DrawingIntoBitmapsAndBurningIn) {
  Load(40, 30, TRGB{255, 255, 255});
  const Integer h = Add(lkkBOX, {5, 5, 20, 20});
  v_->SetObjPenColor(h, clRed);
  v_->SetObjBrushColor(h, clRed);
  v_->SetObjBrushStyle(h, bsSolid);
  // 48 bits stay 48 bits, with 8-bit values.
  TLKBitmap deep(40, 30, lk48RGB);
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) deep.SetPixels_lk48RGB(x, y, TRGB48{0x1234, 0x1234, 0x1234});
  v_->DrawObjectsToBitmap(&deep, false);
  EXPECT_EQ(deep.GetPixelFormat(), lk48RGB);
  const TRGB48 inside = deep.GetPixels_lk48RGB(10, 10), outside = deep.GetPixels_lk48RGB(30, 25);
  EXPECT_EQ(inside.r & 0xFF, inside.r >> 8);
  EXPECT_GT(inside.r, 0xF000);
  EXPECT_LT(inside.g, 0x100);
  EXPECT_EQ(outside.r, 0x1212);

  v_->CopyObjectsToBack(false);
  EXPECT_EQ(v_->GetLKBitmap()->GetPixels_lk24RGB(10, 10).r, 255);
  EXPECT_EQ(v_->GetLKBitmap()->GetPixels_lk24RGB(10, 10).g, 0);
  EXPECT_EQ(v_->GetObjectCount(), 1);

  // With the paint lock the screen shows the picture alone.
  v_->RemoveAllObjects();
  Load(40, 30, TRGB{255, 255, 255});
  Add(lkkBOX, {5, 5, 20, 20});
  v_->SetObjBrushColor(0, clRed);
  v_->SetObjBrushStyle(0, bsSolid);
  EXPECT_NE(Pixel(10, 10), (TRGB{255, 255, 255}));
  v_->ObjLockPaint();
  EXPECT_EQ(Pixel(10, 10), (TRGB{255, 255, 255}));
  v_->ObjUnLockPaint();
}

TEST_F(VectOps, CopiesToAnotherViewOwnTheirPictures) {
  auto pic = Picture(4, 4, 70);
  const Integer a = Add(lkkBITMAP, {0, 0, 4, 4}), b = Add(lkkBITMAP, {5, 5, 9, 9});
  v_->SetObjBitmap(a, pic.get());
  v_->SetObjBitmap(b, pic.get());
  v_->SetObjName(b, "second");
  v_->SetScale(4);
  TLumerakVect other;
  v_->AddSelObject(b);
  v_->CopySelectedObjectsTo(&other);
  ASSERT_EQ(other.GetObjectCount(), 1);
  EXPECT_EQ(other.GetObjName(other.GetObjectAt(0)), "second");
  EXPECT_EQ(other.GetBitmapRefCount(other.GetObjBitmapIdx(other.GetObjectAt(0))), 1);
  other.Assign(v_);
  ASSERT_EQ(other.GetObjectCount(), 2);
  EXPECT_EQ(other.GetScale(), 4.0);
  EXPECT_NE(other.GetObjBitmapIdx(0), other.GetObjBitmapIdx(1));
  EXPECT_EQ(other.GetObjBitmap(1)->GetPixels_lk24RGB(2, 3).r, 15);
  other.Assign(nullptr);
  EXPECT_EQ(other.GetObjectCount(), 0);
}

// The clipboard block: N, then the records with a PNG after each picture.
TEST_F(VectOps, ClipboardBlockCarriesSelectedObjectsAndPictures) {
  // Nothing selected: 4 bytes; pasting them only removes the selection.
  const Integer keep = Add(lkkBOX, {0, 0, 5, 5}), gone = Add(lkkBOX, {1, 1, 5, 5});
  EXPECT_EQ(v_->SelectedObjectsBlock(), (std::vector<Byte>{0, 0, 0, 0}));
  v_->AddSelObject(gone);
  ASSERT_TRUE(v_->PasteObjectsBlock({0, 0, 0, 0}, 0, 0));
  EXPECT_EQ(Order(), (std::vector<Integer>{keep}));

  auto pic = Picture(5, 3, 99);
  const Integer bmp = Add(lkkBITMAP, {10, 10, 14, 12});
  v_->SetObjBitmap(bmp, pic.get());
  const Integer angle = Add(lkkANGLE, {0, 0, 50, 50});
  v_->SetObjAnglePoints(angle, {1, 2}, {20, 30}, {40, 5});
  v_->AddSelObject(angle);
  v_->AddSelObject(bmp);
  const std::vector<Byte> block = v_->SelectedObjectsBlock();

  TLumerakVect other;
  const Integer sel = other.AddVObject(TLKVObject{});
  other.AddSelObjectNS(sel);
  ASSERT_TRUE(other.PasteObjectsBlock(block, 100, -5));
  ASSERT_EQ(other.GetObjectCount(), 2);  // the selected object gave way
  EXPECT_EQ(other.GetSelObjectCount(), 2);
  const Integer pa = other.GetSelObjects(0), pb = other.GetSelObjects(1);
  EXPECT_EQ(other.GetObjKind(pa), lkkANGLE);
  EXPECT_EQ(other.GetObj(pa)->AnglePoints[1], (TPoint{120, 25}));
  EXPECT_EQ(other.GetObjRect(pb), (TRect{110, 5, 114, 7}));
  TLKBitmap* got = other.GetObjBitmap(pb);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->GetWidth(), 5);
  EXPECT_EQ(got->GetPixels_lk24RGB(4, 2).g, 36);

  // A damaged block changes nothing.
  for (std::size_t cut : {std::size_t{3}, block.size() / 2, block.size() - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(other.PasteObjectsBlock(std::vector<Byte>(block.begin(), block.begin() + cut), 0, 0));
    EXPECT_EQ(other.GetObjectCount(), 2);
    EXPECT_EQ(other.GetSelObjectCount(), 2);
  }
}

TEST_F(VectOps, CutAndPasteThroughTheClipboard) {
  ASSERT_TRUE(ClipboardAvailable());
  const Integer a = Add(lkkLINE, {1, 2, 30, 40});
  v_->SetObjName(a, "cut me");
  v_->AddSelObject(a);
  v_->ObjCutToClipboard();
  EXPECT_EQ(v_->GetObjectCount(), 0);
  EXPECT_TRUE(Clipboard()->HasFormat(LKVECTCLIPFORMAT()));
  v_->ObjPasteFromClipboard(10, 10);
  v_->ObjPasteFromClipboard(20, 20);  // replaces the first paste, still selected
  ASSERT_EQ(v_->GetObjectCount(), 1);
  EXPECT_EQ(v_->GetObjName(v_->GetObjectAt(0)), "cut me");
  EXPECT_EQ(v_->GetObjRect(v_->GetObjectAt(0)), (TRect{21, 22, 50, 60}));
  Clipboard()->SetAsText("plain");
  v_->ObjPasteFromClipboard(0, 0);
  EXPECT_EQ(v_->GetObjectCount(), 1);
}

TEST_F(VectOps, BitmapObjectFromTheSelection) {
  Load(60, 40, TRGB{10, 20, 30});
  EXPECT_EQ(v_->CreateImageFromSelectedArea(0, false), -1);
  v_->Select(10, 5, 30, 25, lkspReplace);
  struct Case {
    Integer Feather;
    bool Smooth;
    Byte Edge, Centre;
  };
  // A feather wider than 256 still ramps by one level a pixel.
  const Case cases[] = {{0, false, 255, 255}, {4, false, 64, 255}, {1000, false, 1, 10}, {0, true, 127, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Feather);
    const Integer h = v_->CreateImageFromSelectedArea(c.Feather, c.Smooth);
    ASSERT_GE(h, 0);
    EXPECT_EQ(v_->GetObjKind(h), lkkBITMAP);
    EXPECT_EQ(v_->GetObjRect(h), (TRect{10, 5, 29, 24}));
    TLKBitmap* b = v_->GetObjBitmap(h);
    ASSERT_EQ(b->GetWidth(), 20);
    EXPECT_EQ(b->GetPixels_lk24RGB(3, 3).r, 30);
    EXPECT_EQ(static_cast<Byte*>(b->GetAlphaChannel()->GetScanLine(0))[0], c.Edge);
    if (!c.Smooth) EXPECT_EQ(static_cast<Byte*>(b->GetAlphaChannel()->GetScanLine(10))[9], c.Centre);
  }
}

}  // namespace
