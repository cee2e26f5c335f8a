// The vector view's objects with imaging annotations (TIFF tag 32932), with
// the layers in one combined stream, and in a private tag of a TIFF page.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/lkscreen.h"
#include "io/lkimagingannot.h"
#include "io/lkparams.h"
#include "io/lktiffhandler.h"
#include "io/lumerakio.h"
#include "views/vect_fixture.h"

namespace {

TLKImagingObject& Mark(TLKImagingAnnot& A, Integer Type, TRect Bounds) {
  TLKImagingObject& m = *A.AddObject();
  m.Attributes.MarkType = Type;
  m.Attributes.Left = Bounds.Left;
  m.Attributes.Top = Bounds.Top;
  m.Attributes.Right = Bounds.Right;
  m.Attributes.Bottom = Bounds.Bottom;
  return m;
}

void Colour(Byte* C, Byte R, Byte G, Byte B) {
  C[0] = B;
  C[1] = G;
  C[2] = R;
}

std::string TempPath(const char* Name) { return (std::filesystem::temp_directory_path() / Name).string(); }

using VectAnnot = VectTest;

// A line drawn from (100, 50) to (20, 10) becomes a type 3 mark with points
// relative to its bounds, and comes back as the same line.
TEST_F(VectAnnot, ObjectsBecomeMarksAndComeBack) {
  const Integer line = Add(lkkLINE, {100, 50, 20, 10});
  v_->SetObjPenWidth(line, 3);
  v_->SetObjTransparency(line, 127);
  Add(lkkELLIPSE, {0, 0, 9, 9});  // no mark
  const Integer memo = Add(lkkMEMO, {5, 6, 80, 40});
  v_->SetObjKind(memo, lkkMEMO);
  v_->SetObjText(memo, "first\nsecond");
  v_->SetObjFontHeight(memo, 16);
  v_->SetObjFontStyles(memo, TFontStyles{fsBold, fsUnderline});
  v_->SetObjBrushStyle(memo, bsClear);
  const Integer box = Add(lkkBOX, {30, 30, 10, 10});
  v_->SetObjBrushStyle(box, bsSolid);
  v_->SetObjBrushColor(box, RGB(10, 20, 30));

  TLKImagingAnnot annot;
  annot.CopyFromTLumerakVect(v_);
  ASSERT_EQ(annot.GetObjectsCount(), 3);
  const TLKAnnotMarkAttributes& l = annot.GetObject(0)->Attributes;
  EXPECT_EQ(l.MarkType, 3);
  EXPECT_EQ((TRect{l.Left, l.Top, l.Right, l.Bottom}), (TRect{20, 10, 100, 50}));
  EXPECT_EQ(annot.GetObject(0)->Points, (std::vector<TPoint>{{80, 40}, {0, 0}}));
  EXPECT_EQ(l.LineWidth, 3);
  EXPECT_NE(l.Highlighting, 0);
  EXPECT_EQ(l.Permissions, 0xFF83Fu);
  const TLKImagingObject& t = *annot.GetObject(1);
  EXPECT_EQ(t.Attributes.MarkType, 7);
  EXPECT_EQ(t.Text, "first\r\nsecond");
  EXPECT_EQ(t.Attributes.Font.Height, -LKRound(16.0 / gSystemDPIY * 72));
  EXPECT_EQ(t.Attributes.Font.Weight, 700);
  EXPECT_EQ(t.Attributes.Font.Underline, 1);
  const TLKAnnotMarkAttributes& b = annot.GetObject(2)->Attributes;
  EXPECT_EQ(b.MarkType, 6);
  EXPECT_EQ((std::vector<Byte>(b.Color1, b.Color1 + 4)), (std::vector<Byte>{30, 20, 10, 0}));

  // Through the tag's bytes and back into another view.
  std::vector<Byte> buffer;
  Integer length = 0;
  annot.SaveToStandardBuffer(buffer, length);
  TLKImagingAnnot read;
  ASSERT_TRUE(read.LoadFromStandardBuffer(buffer.data(), length));
  TLumerakVect other;
  read.CopyToTLumerakVect(&other);
  ASSERT_EQ(other.GetObjectCount(), 3);
  EXPECT_EQ(other.GetObjKind(0), lkkLINE);
  EXPECT_EQ(other.GetObjRect(0), (TRect{100, 50, 20, 10}));
  EXPECT_EQ(other.GetObjTransparency(0), 127);
  EXPECT_EQ(other.GetObjKind(1), lkkMEMO);
  EXPECT_EQ(other.GetObjText(1), "first\nsecond");
  EXPECT_EQ(other.GetObjFontHeight(1), 16);
  EXPECT_TRUE(other.GetObjFontStyles(1).Contains(fsBold));
  EXPECT_EQ(other.GetObjBrushColor(2), RGB(10, 20, 30));
  EXPECT_EQ(other.GetObjBrushStyle(2), bsSolid);

  EXPECT_THROW(annot.CopyToTLumerakVect(nullptr), EInvalidOperation);
}

TEST_F(VectAnnot, MarksOfEveryTypeBecomeTheirObjects) {
  TLKImagingAnnot a;
  TLKImagingObject& pic = Mark(a, 1, {1, 2, 4, 3});
  pic.Picture = std::make_unique<TLKBitmap>(4, 2, lk24RGB);
  pic.Picture->Fill(RGB(0, 200, 0));
  TLKImagingObject& free = Mark(a, 4, {10, 10, 30, 40});
  free.Points = {{0, 0}, {20, 5}, {10, 30}};
  Colour(free.Attributes.Color1, 255, 0, 0);
  TLKImagingObject& hollow = Mark(a, 5, {0, 0, 50, 50});
  hollow.Attributes.LineWidth = 4;
  hollow.Attributes.Highlighting = 1;
  TLKImagingObject& note = Mark(a, 10, {5, 5, 60, 30});
  Colour(note.Attributes.Color1, 255, 255, 0);
  Colour(note.Attributes.Color2, 0, 0, 255);
  note.Attributes.Font.Height = -12;
  std::strcpy(note.Attributes.Font.FaceName, "Liberation Sans");
  note.Attributes.Font.Italic = 1;
  note.Text = "a\r\nb";
  Mark(a, 11, {0, 0, 5, 5});  // kept, no object
  a.CopyToTLumerakVect(v_);
  ASSERT_EQ(v_->GetObjectCount(), 4);
  EXPECT_EQ(v_->GetObjKind(0), lkkBITMAP);
  EXPECT_EQ(v_->GetObjRect(0), (TRect{1, 2, 4, 3}));
  ASSERT_NE(v_->GetObjBitmap(0), nullptr);
  EXPECT_EQ(v_->GetObjBitmap(0)->GetPixels_lk24RGB(3, 1).g, 200);
  EXPECT_EQ(v_->GetObjKind(1), lkkPOLYLINE);
  EXPECT_EQ(v_->GetObjPolylinePoints(1, 2), (TPoint{20, 40}));
  EXPECT_EQ(v_->GetObjPenColor(1), clRed);
  EXPECT_EQ(v_->GetObjKind(2), lkkBOX);
  EXPECT_EQ(v_->GetObjPenWidth(2), 4);
  EXPECT_EQ(v_->GetObjBrushStyle(2), bsClear);
  EXPECT_TRUE(v_->GetObjBoxHighLight(2));
  EXPECT_EQ(v_->GetObjKind(3), lkkMEMO);
  EXPECT_EQ(v_->GetObjPenColor(3), clBlue);
  EXPECT_EQ(v_->GetObjBrushColor(3), clYellow);
  EXPECT_EQ(v_->GetObjFontName(3), "Liberation Sans");
  EXPECT_EQ(v_->GetObjFontHeight(3), -LKRound(-12 / 72.0 * gSystemDPIY));
  EXPECT_TRUE(v_->GetObjFontStyles(3).Contains(fsItalic));
  EXPECT_EQ(v_->GetObjText(3), "a\nb");
  EXPECT_EQ(a.GetObjectsCount(), 5);
}

// Annotations of a TIFF page are shown as objects and can be burnt in.
TEST_F(VectAnnot, TiffAnnotationsBurnIntoThePicture) {
  const std::string path = TempPath("vect_annot_burn.tif");
  {
    TLKBitmap page(60, 40, lk24RGB);
    page.Fill(clWhite);
    TLumerakIO io(nullptr);
    io.SetAttachedLKBitmap(&page);
    TLKImagingObject& box = Mark(*io.GetIOParams()->GetImagingAnnot(), 6, {10, 10, 29, 19});
    Colour(box.Attributes.Color1, 0, 0, 255);
    io.SaveToFileTIFF(path);
    ASSERT_FALSE(io.GetAborted());
  }
  TLKBitmap picture;
  TLumerakIO io(nullptr);
  io.SetAttachedLKBitmap(&picture);
  io.LoadFromFileTIFF(path);
  ASSERT_FALSE(io.GetAborted());
  TLKImagingAnnot* annot = io.GetIOParams()->GetImagingAnnot();
  ASSERT_EQ(annot->GetObjectsCount(), 1);
  annot->CopyToTLumerakVect(v_);
  ASSERT_EQ(v_->GetObjectCount(), 1);
  EXPECT_EQ(v_->GetObjRect(0), (TRect{10, 10, 29, 19}));
  annot->DrawToBitmap(&picture, false);
  const TRGB burnt = picture.GetPixels_lk24RGB(15, 15);  // through the smoothed layer
  EXPECT_GE(burnt.b, 250);
  EXPECT_LE(burnt.r + burnt.g, 4);
  EXPECT_EQ(picture.GetPixels_lk24RGB(5, 5), (TRGB{255, 255, 255}));
  std::remove(path.c_str());
}

TEST_F(VectAnnot, CombinedStreamKeepsLayersAndObjects) {
  Load(30, 20, TRGB{1, 2, 3});
  Add(lkkBOX, {1, 2, 3, 4});
  Add(lkkLINE, {5, 6, 7, 8});
  for (Int64 before : {Int64{0}, Int64{100}}) {
    SCOPED_TRACE(before);
    TMemoryStream s;
    std::vector<Byte> junk(static_cast<std::size_t>(before), 0xAB);
    s.WriteBuffer(junk.data(), before);
    v_->SaveToStreamAll(&s, -1);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    TLumerakVect other;
    s.SetPosition(before);
    ASSERT_TRUE(other.LoadFromStreamAll(&s)) << other.GetLastLKVError();
    EXPECT_EQ(other.GetObjectCount(), 2);
    EXPECT_EQ(other.GetObjRect(1), (TRect{5, 6, 7, 8}));
    EXPECT_EQ(other.GetLKBitmap()->GetWidth(), 30);
    EXPECT_EQ(other.GetLKBitmap()->GetPixels_lk24RGB(4, 4), (TRGB{1, 2, 3}));
    if (!junk.empty()) EXPECT_EQ(std::memcmp(s.GetMemory(), junk.data(), junk.size()), 0);
    if (before == 0) continue;
    // Moved elsewhere, the absolute position no longer fits.
    TMemoryStream moved;
    moved.WriteBuffer(static_cast<Byte*>(s.GetMemory()) + before, s.GetSize() - before);
    moved.SetPosition(0);
    EXPECT_FALSE(other.LoadFromStreamAll(&moved));
  }
  // A rejected layers part leaves the objects.
  TMemoryStream bad;
  bad.WriteBuffer("\0\0\0\0NOTLAYERS.................", 30);
  bad.SetPosition(0);
  EXPECT_FALSE(v_->LoadFromStreamAll(&bad));
  EXPECT_EQ(v_->GetObjectCount(), 2);

  const std::string path = TempPath("vect_annot_all.bin");
  v_->SaveToFileAll(path, -1);
  TLumerakVect other;
  ASSERT_TRUE(other.LoadFromFileAll(path));
  EXPECT_EQ(other.GetObjectCount(), 2);
  std::remove(path.c_str());
}

TEST_F(VectAnnot, ObjectsInAPrivateTagOfATiffPage) {
  const std::string path = TempPath("vect_annot_pages.tif");
  {
    TLKBitmap page(16, 8, lk24RGB);
    page.Fill(90);
    TLumerakIO io(nullptr);
    io.SetAttachedLKBitmap(&page);
    io.SaveToFileTIFF(path);
    io.InsertToFileTIFF(path);
    ASSERT_FALSE(io.GetAborted());
  }
  const Integer h = Add(lkkTEXT, {1, 1, 40, 20});
  v_->SetObjKind(h, lkkTEXT);
  v_->SetObjText(h, "caf\xe9");
  v_->SaveObjectsToTIFF(path, 1);

  TLKTIFFHandler tiff;
  ASSERT_TRUE(tiff.ReadFile(path));
  ASSERT_EQ(tiff.GetPagesCount(), 2);
  const Integer tag = tiff.FindTag(1, 40101);
  ASSERT_GE(tag, 0);
  EXPECT_EQ(tiff.GetTagType(1, tag), 1);
  EXPECT_EQ(std::memcmp(tiff.GetValueRAW(1, tag, 0), "LKV\x4b", 4), 0);
  EXPECT_LT(tiff.FindTag(0, 40101), 0);
  // The pages still read.
  for (Integer page : {0, 1}) {
    TLKBitmap b;
    TLumerakIO io(nullptr);
    io.SetAttachedLKBitmap(&b);
    io.GetIOParams()->TIFF_IMAGEINDEX = page;
    io.LoadFromFileTIFF(path);
    EXPECT_FALSE(io.GetAborted());
    EXPECT_EQ(b.GetWidth(), 16);
  }

  TLumerakVect other;
  other.AddVObject(TLKVObject{});
  EXPECT_FALSE(other.LoadObjectsFromTIFF(path, 0));
  EXPECT_EQ(other.GetObjectCount(), 1);
  ASSERT_TRUE(other.LoadObjectsFromTIFF(path, 1));
  ASSERT_EQ(other.GetObjectCount(), 1);
  EXPECT_EQ(other.GetObjText(0), "caf\xe9");

  // Another tag number moves the objects there.
  lkgObjectsTIFFTag = 40200;
  v_->SaveObjectsToTIFF(path, 0);
  EXPECT_TRUE(other.LoadObjectsFromTIFF(path, 0));
  lkgObjectsTIFFTag = 40101;
  EXPECT_FALSE(other.LoadObjectsFromTIFF(path, 0));

  // A file that is not a TIFF file is left as it was.
  const std::string text = TempPath("vect_annot_not.tif");
  std::ofstream(text) << "not a picture";
  EXPECT_THROW(v_->SaveObjectsToTIFF(text, 0), EReadError);
  std::ifstream in(text);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "not a picture");
  EXPECT_THROW(v_->SaveObjectsToTIFF(path, 5), EReadError);
  std::remove(text.c_str());
  std::remove(path.c_str());
}

}  // namespace
