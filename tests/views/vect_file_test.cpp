// The vector view's object stream: the block's layout, round trips of every
// object kind, shared pictures, older record versions, and damaged or
// hostile blocks that must leave the view's objects as they were.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/lkbytereader.h"
#include "platform/classes.h"
#include "common/file_kit.h"
#include "views/vect_fixture.h"

namespace {

std::vector<Byte> Bytes(TMemoryStream& S) {
  const Byte* p = static_cast<const Byte*>(S.GetMemory());
  return std::vector<Byte>(p, p + S.GetSize());
}

std::vector<Byte> Inflate(const Byte* P, std::size_t N) {
  std::vector<Byte> out(1 << 20);
  uLongf len = out.size();
  EXPECT_EQ(uncompress(out.data(), &len, P, static_cast<uLong>(N)), Z_OK);
  out.resize(len);
  return out;
}

std::unique_ptr<TLKBitmap> Picture(Integer W, Integer H, Byte V, bool Alpha = false) {
  auto b = std::make_unique<TLKBitmap>(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y)
    for (Integer x = 0; x < W; ++x) b->SetPixels_lk24RGB(x, y, TRGB{V, Byte(x * 7), Byte(y * 11)});
  if (Alpha) {
    TLKBitmap* a = b->GetAlphaChannel();
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) static_cast<Byte*>(a->GetScanLine(y))[x] = Byte(x * 20 + y);
  }
  return b;
}

// An object of Kind with every stored field set to something other than
// the default.
TLKVObject Rich(TLKVObjectKind Kind, Integer Seed) {
  TLKVObject o;
  o.Kind = Kind;
  o.X1 = 10 + Seed;
  o.Y1 = 20 + Seed;
  o.X2 = 110 + Seed;
  o.Y2 = 90 + Seed;
  o.SoftShadow->Enabled = true;
  o.SoftShadow->Radius = 4.5;
  o.SoftShadow->OffsetX = -3;
  o.SoftShadow->OffsetY = 7;
  o.Name = "obj" + std::to_string(Seed);
  o.ID = 1000 + Seed;
  o.PenColor = RGB(1, 2, Byte(Seed));
  o.PenStyle = psDashDot;
  o.PenWidth = 3;
  o.BrushColor = RGB(9, 8, 7);
  o.BrushStyle = bsCross;
  o.Style = TLKVStyle{lkvsSelectable, lkvsVisible};
  o.Transparency = 128;
  o.BoxHighLight = true;
  o.TextEditable = false;
  TLKLogFont f;
  f.lfHeight = -17;
  f.lfWeight = 700;
  f.lfItalic = 1;
  std::strcpy(f.lfFaceName, "Liberation Serif");
  switch (Kind) {
    case lkkLINELABEL:
      o.LabelBrushColor = RGB(50, 60, 70);
      o.LabelBrushStyle = bsDiagCross;
      o.LabelPos = lklBegin;
      [[fallthrough]];
    case lkkTEXT:
      o.TextAlign = lkjCenter;
      o.TextAutoSize = true;
      o.Text = "caf\xe9 " + std::to_string(Seed);  // Windows-1252 bytes
      o.LogFont = f;
      o.CurvePoints = {{1.5, 2.25}, {30, 40.125}, {90, 10}};
      o.CurveCharRot = 45;
      if (Kind == lkkTEXT) break;
      [[fallthrough]];
    case lkkLINE:
      o.BeginShape = lksINARROW;
      o.EndShape = lksOUTARROW;
      o.ShapeWidth = 12;
      o.ShapeHeight = 24;
      break;
    case lkkARC:
      o.ArcStartingAngle = 0.5;
      o.ArcEndingAngle = 2.75;
      break;
    case lkkMEMO: {
      o.Text = "ab\ncd";
      o.LogFont = f;
      o.MemoCharIndex = {0, 1, 1, 0, 1};
      TLKCharInfo a{}, b{};
      a[0] = 3;
      b[0] = 2;
      b[279] = 0x5a;
      o.MemoCharInfos = {a, b};
      o.HasMemoCharInfos = true;
      o.FontLocked = false;
      o.TextAutoSize = true;
      o.MemoLineSpace = 4;
      o.MemoBorderColor = RGB(3, 4, 5);
      o.MemoBorderStyle = psDot;
      o.TextAlign = lkjJustify;
      o.MemoFixedHeight = 77;
      o.MemoMarginLeft = 1.5;
      o.MemoMarginTop = 2.5;
      o.MemoMarginRight = 3.5;
      o.MemoMarginBottom = 4.5;
      break;
    }
    case lkkRULER:
      o.RulerUnit = lkuMILLIMETERS;
      o.RulerType = lkrtQUOTEEND;
      o.LogFont = f;
      break;
    case lkkPOLYLINE:
      o.PolyPoints = {{0, 0}, {40, 5}, {20, 30}};
      o.PolyBox = TRect{0, 0, 40, 30};
      o.PolylineClosed = true;
      break;
    case lkkANGLE:
      o.AnglePoints[0] = {5, 6};
      o.AnglePoints[1] = {50, 60};
      o.AnglePoints[2] = {90, 10};
      o.LogFont = f;
      break;
    default:
      break;
  }
  return o;
}

// Every stored field of two records, with a message naming the field.
void ExpectSameStored(const TLKVObject& A, const TLKVObject& B) {
  SCOPED_TRACE("kind " + std::to_string(A.Kind));
  EXPECT_EQ(A.Kind, B.Kind);
  EXPECT_EQ((TRect{A.X1, A.Y1, A.X2, A.Y2}), (TRect{B.X1, B.Y1, B.X2, B.Y2}));
  EXPECT_EQ(A.SoftShadow->Enabled, B.SoftShadow->Enabled);
  EXPECT_EQ(A.SoftShadow->Radius, B.SoftShadow->Radius);
  EXPECT_EQ(A.SoftShadow->OffsetX, B.SoftShadow->OffsetX);
  EXPECT_EQ(A.SoftShadow->OffsetY, B.SoftShadow->OffsetY);
  EXPECT_EQ(A.Name.value_or(""), B.Name.value_or(""));
  EXPECT_EQ(A.ID, B.ID);
  EXPECT_EQ(A.PenColor, B.PenColor);
  EXPECT_EQ(A.PenStyle, B.PenStyle);
  EXPECT_EQ(A.PenWidth, B.PenWidth);
  EXPECT_EQ(A.BrushColor, B.BrushColor);
  EXPECT_EQ(A.BrushStyle, B.BrushStyle);
  EXPECT_TRUE(A.Style == B.Style);
  EXPECT_EQ(A.Transparency, B.Transparency);
  EXPECT_EQ(A.BoxHighLight, B.BoxHighLight);
  EXPECT_EQ(A.TextEditable, B.TextEditable);
  EXPECT_EQ(A.UserDataLength, B.UserDataLength);
  if (A.UserDataLength > 0 && B.UserDataLength == A.UserDataLength)
    EXPECT_EQ(std::memcmp(A.UserData, B.UserData, A.UserDataLength), 0);
  const TLKVObjectKind k = A.Kind;
  if (k == lkkLINE || k == lkkLINELABEL) {
    EXPECT_EQ(A.BeginShape, B.BeginShape);
    EXPECT_EQ(A.EndShape, B.EndShape);
    EXPECT_EQ(A.ShapeWidth, B.ShapeWidth);
    EXPECT_EQ(A.ShapeHeight, B.ShapeHeight);
  }
  if (k == lkkLINELABEL) {
    EXPECT_EQ(A.LabelBrushColor, B.LabelBrushColor);
    EXPECT_EQ(A.LabelBrushStyle, B.LabelBrushStyle);
    EXPECT_EQ(A.LabelPos, B.LabelPos);
  }
  if (k == lkkARC) {
    EXPECT_EQ(A.ArcStartingAngle, B.ArcStartingAngle);
    EXPECT_EQ(A.ArcEndingAngle, B.ArcEndingAngle);
  }
  if (k == lkkTEXT || k == lkkLINELABEL || k == lkkMEMO) {
    EXPECT_EQ(A.Text.value_or(""), B.Text.value_or(""));
    EXPECT_EQ(A.TextAlign, B.TextAlign);
    EXPECT_EQ(A.TextAutoSize, B.TextAutoSize);
  }
  if (k == lkkTEXT || k == lkkLINELABEL) {
    ASSERT_EQ(A.CurvePoints.size(), B.CurvePoints.size());
    for (std::size_t i = 0; i < A.CurvePoints.size(); ++i) {
      EXPECT_EQ(A.CurvePoints[i].X, B.CurvePoints[i].X);
      EXPECT_EQ(A.CurvePoints[i].Y, B.CurvePoints[i].Y);
    }
    EXPECT_EQ(A.CurveCharRot, B.CurveCharRot);
  }
  if (k == lkkTEXT || k == lkkLINELABEL || k == lkkMEMO || k == lkkRULER || k == lkkANGLE) {
    ASSERT_EQ(A.LogFont.has_value(), B.LogFont.has_value());
    if (A.LogFont) EXPECT_EQ(std::memcmp(&*A.LogFont, &*B.LogFont, sizeof(TLKLogFont)), 0);
  }
  if (k == lkkMEMO) {
    EXPECT_EQ(A.MemoCharIndex, B.MemoCharIndex);
    EXPECT_EQ(A.MemoCharInfos, B.MemoCharInfos);
    EXPECT_EQ(A.FontLocked, B.FontLocked);
    EXPECT_EQ(A.MemoLineSpace, B.MemoLineSpace);
    EXPECT_EQ(A.MemoBorderColor, B.MemoBorderColor);
    EXPECT_EQ(A.MemoBorderStyle, B.MemoBorderStyle);
    EXPECT_EQ(A.MemoFixedHeight, B.MemoFixedHeight);
    EXPECT_EQ(A.MemoHasBitmap, B.MemoHasBitmap);
    EXPECT_EQ(A.MemoMarginLeft, B.MemoMarginLeft);
    EXPECT_EQ(A.MemoMarginTop, B.MemoMarginTop);
    EXPECT_EQ(A.MemoMarginRight, B.MemoMarginRight);
    EXPECT_EQ(A.MemoMarginBottom, B.MemoMarginBottom);
  }
  if (k == lkkRULER) {
    EXPECT_EQ(A.RulerUnit, B.RulerUnit);
    EXPECT_EQ(A.RulerType, B.RulerType);
  }
  if (k == lkkPOLYLINE) {
    EXPECT_EQ(A.PolyPoints, B.PolyPoints);
    EXPECT_EQ(A.PolyBox, B.PolyBox);
    EXPECT_EQ(A.PolylineClosed, B.PolylineClosed);
  }
  if (k == lkkANGLE)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(A.AnglePoints[i], B.AnglePoints[i]);
  if (k == lkkBITMAP) EXPECT_EQ(A.BitmapBorder, B.BitmapBorder);
}

// A block with no pictures whose object section holds Records (already
// including the object count).
std::vector<Byte> Block(Integer Version, const std::vector<Byte>& Records) {
  std::vector<Byte> b = {'L', 'K', 'V', Byte(Version), 0, 0, 0, 0};
  const double scale = 1;
  Byte s[8];
  std::memcpy(s, &scale, 8);
  b.insert(b.end(), s, s + 8);
  b.insert(b.end(), {0, 0, 0, 0});
  uLongf len = compressBound(static_cast<uLong>(Records.size()));
  std::vector<Byte> z(len);
  compress2(z.data(), &len, Records.data(), static_cast<uLong>(Records.size()), Z_DEFAULT_COMPRESSION);
  b.insert(b.end(), z.begin(), z.begin() + static_cast<std::ptrdiff_t>(len));
  LKPutLE32(b.data() + 4, static_cast<Cardinal>(b.size()));
  return b;
}

void PutI32(std::vector<Byte>& B, Integer V) {
  Byte b[4];
  LKPutLE32(b, static_cast<Cardinal>(V));
  B.insert(B.end(), b, b + 4);
}

// The records of the objects of View as the writer writes them.
std::vector<Byte> RecordsOf(TLumerakVect& View) {
  TMemoryStream s;
  Byte n[4];
  LKPutLE32(n, static_cast<Cardinal>(View.GetObjectCount()));
  s.WriteBuffer(n, 4);
  View.SaveObj(&s, LKVAll);
  return Bytes(s);
}

class VectFile : public VectTest {
 protected:
  void SetUp() override {
    VectTest::SetUp();
    other_ = std::make_unique<TLumerakVect>();
  }
  void TearDown() override {
    other_.reset();
    VectTest::TearDown();
  }
  /// Saves v_ and loads the block into other_.
  std::vector<Byte> RoundTrip(Integer Version = TLumerakVect::LKVVER) {
    TMemoryStream s;
    v_->SaveToStreamLKVVersion(&s, Version);
    s.SetPosition(0);
    EXPECT_TRUE(other_->LoadFromStreamLKV(&s)) << other_->GetLastLKVError();
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    return Bytes(s);
  }
  /// Loads Data into a view holding one box; the load must fail and leave
  /// the box.
  void ExpectRefused(const std::vector<Byte>& Data, const char* Why) {
    SCOPED_TRACE(Why);
    other_->RemoveAllObjects();
    TLKVObject box;
    box.Kind = lkkBOX;
    box.ID = 4242;
    other_->AddVObject(box);
    TMemoryStream s;
    s.WriteBuffer(Data.data(), static_cast<Int64>(Data.size()));
    s.SetPosition(0);
    EXPECT_FALSE(other_->LoadFromStreamLKV(&s));
    EXPECT_FALSE(other_->GetLastLKVError().empty());
    ASSERT_EQ(other_->GetObjectCount(), 1);
    EXPECT_EQ(other_->GetObjID(other_->GetObjectAt(0)), 4242);
  }
  std::unique_ptr<TLumerakVect> other_;
};

TEST_F(VectFile, EmptyViewWritesHeaderTemplateEntryAndZeroCount) {
  v_->SetScale(2.5);
  TMemoryStream s;
  v_->SaveToStreamLKV(&s);
  const std::vector<Byte> b = Bytes(s);
  ASSERT_GE(b.size(), 28u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 3), "LKV");
  EXPECT_EQ(b[3], 75);
  EXPECT_EQ(LKGetLE32(&b[4]), b.size());
  double scale;
  std::memcpy(&scale, &b[8], 8);
  EXPECT_EQ(scale, 2.5);
  EXPECT_EQ(LKGetLE32(&b[16]), 1u);  // the template's entry...
  EXPECT_EQ(LKGetLE32(&b[20]), 0u);  // ...without its picture
  const std::vector<Byte> section = Inflate(&b[24], b.size() - 24);
  EXPECT_EQ(section, (std::vector<Byte>{0, 0, 0, 0}));
}

TEST_F(VectFile, EveryKindRoundTripsWithUserDataAndOrder) {
  std::vector<TLKVObjectKind> kinds = {lkkLINE, lkkBOX,      lkkELLIPSE, lkkARC,  lkkBITMAP,
                                       lkkTEXT, lkkRULER,    lkkPOLYLINE, lkkANGLE, lkkMEMO, lkkLINELABEL};
  auto pic = Picture(8, 6, 200, true);
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const Integer h = v_->AddVObject(Rich(kinds[i], Integer(i)));
    if (kinds[i] == lkkBITMAP) {
      v_->SetObjBitmap(h, pic.get());
      v_->SetObjBitmapBorder(h, true);
    }
    if (kinds[i] == lkkMEMO) {
      v_->SetObjMemoHasBitmap(h, true);
      v_->SetObjBitmap(h, pic.get());
    }
  }
  // User data on one object.
  const char data[] = "user\0data";
  TLKVObject& box = *v_->GetObj(1);
  box.UserData = std::malloc(sizeof data);
  std::memcpy(box.UserData, data, sizeof data);
  box.UserDataLength = sizeof data;
  v_->SetScale(0.125);

  RoundTrip();
  ASSERT_EQ(other_->GetObjectCount(), v_->GetObjectCount());
  EXPECT_EQ(other_->GetScale(), 0.125);
  for (Integer i = 0; i < v_->GetObjectCount(); ++i)
    ExpectSameStored(*v_->GetObj(v_->GetObjectAt(i)), *other_->GetObj(other_->GetObjectAt(i)));
  // The picture, its alpha included, is shared by the bitmap and the memo.
  const Integer bmp = other_->GetObjectAt(4), memo = other_->GetObjectAt(9);
  ASSERT_NE(other_->GetObjBitmap(bmp), nullptr);
  EXPECT_EQ(other_->GetObjBitmapIdx(bmp), other_->GetObjBitmapIdx(memo));
  EXPECT_EQ(other_->GetBitmapRefCount(other_->GetObjBitmapIdx(bmp)), 2);
  TLKBitmap* got = other_->GetObjBitmap(bmp);
  ASSERT_TRUE(got->GetHasAlphaChannel());
  for (Integer y = 0; y < 6; ++y)
    for (Integer x = 0; x < 8; ++x) {
      EXPECT_EQ(got->GetPixels_lk24RGB(x, y).r, pic->GetPixels_lk24RGB(x, y).r);
      EXPECT_EQ(static_cast<Byte*>(got->GetAlphaChannel()->GetScanLine(y))[x], Byte(x * 20 + y));
    }
  // The template keeps its own picture.
  EXPECT_EQ(other_->GetObjBitmap(LKVTemplate)->GetWidth(), 64);
}

TEST_F(VectFile, SharedPictureIsStoredOnceAndCountedAgain) {
  auto pic = Picture(5, 5, 90);
  for (int i = 0; i < 2; ++i) {
    const Integer h = Add(lkkBITMAP, {0, 0, 20, 20});
    v_->SetObjBitmap(h, pic.get());
  }
  const std::vector<Byte> b = RoundTrip();
  EXPECT_EQ(LKGetLE32(&b[16]), 2u);  // template entry and the shared one
  EXPECT_EQ(LKGetLE32(&b[20]), 0u);
  EXPECT_EQ(LKGetLE32(&b[24]), 2u);
  EXPECT_EQ(std::memcmp(&b[28], "\x89PNG", 4), 0);
  const Integer idx = other_->GetObjBitmapIdx(other_->GetObjectAt(0));
  EXPECT_EQ(idx, other_->GetObjBitmapIdx(other_->GetObjectAt(1)));
  EXPECT_EQ(other_->GetBitmapRefCount(idx), 2);
}

TEST_F(VectFile, BlockAtAnOffsetCarriesItsOwnLengthAndFileRoundTrips) {
  Add(lkkBOX, {1, 2, 3, 4});
  TMemoryStream s;
  s.WriteBuffer("prefix", 6);
  v_->SaveToStreamLKV(&s);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
  const std::vector<Byte> b = Bytes(s);
  EXPECT_EQ(LKGetLE32(&b[10]), b.size() - 6);
  s.WriteBuffer("tail", 4);
  s.SetPosition(6);
  ASSERT_TRUE(other_->LoadFromStreamLKV(&s));
  EXPECT_EQ(s.GetPosition(), static_cast<Int64>(b.size()));  // just after the block
  EXPECT_EQ(other_->GetObjRect(other_->GetObjectAt(0)), (TRect{1, 2, 3, 4}));

  const filekit::TempDir dir("vect_file_");
  const std::string path = dir / "objects.lkv";
  v_->SaveToFileLKV(path);
  other_->RemoveAllObjects();
  ASSERT_TRUE(other_->LoadFromFileLKV(path));
  EXPECT_EQ(other_->GetObjectCount(), 1);
  std::remove(path.c_str());
  EXPECT_THROW(other_->LoadFromFileLKV(path), EFOpenError);
}

// Each older version keeps what it stores and gives the table's values to
// what it does not.
TEST_F(VectFile, OlderVersionsReadWhatTheyCarry) {
  struct Case {
    Integer Version;
    bool Shadow, Align, AutoSize, Curve, PolyPoints, Closed, Angle, Editable, Margins, UserData, MemoIndexFlag;
  };
  const Case cases[] = {
      {49, false, false, false, false, false, false, false, false, false, false, false},
      {51, false, false, false, false, false, false, false, false, false, false, false},
      {55, false, true, false, false, false, false, false, false, false, false, false},
      {60, false, true, true, false, true, true, true, false, false, false, false},
      {61, true, true, true, false, true, true, true, false, false, false, false},
      {67, true, true, true, true, true, true, true, false, false, false, true},
      {73, true, true, true, true, true, true, true, false, true, true, true},
      {75, true, true, true, true, true, true, true, true, true, true, true},
  };
  const TLKVObject text = Rich(lkkTEXT, 1), poly = Rich(lkkPOLYLINE, 2), angle = Rich(lkkANGLE, 3),
                   memo = Rich(lkkMEMO, 4);
  v_->AddVObject(text);
  v_->AddVObject(poly);
  v_->AddVObject(angle);
  v_->AddVObject(memo);
  TLKVObject& first = *v_->GetObj(0);
  first.UserData = std::malloc(3);
  std::memcpy(first.UserData, "abc", 3);
  first.UserDataLength = 3;
  v_->SetScale(3);
  const TLKVObject& tpl = *v_->GetObj(LKVTemplate);
  for (const Case& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.Version));
    const std::vector<Byte> b = RoundTrip(c.Version);
    EXPECT_EQ(b[3], c.Version);
    ASSERT_EQ(other_->GetObjectCount(), 4);
    EXPECT_EQ(other_->GetScale(), 3.0);
    const TLKVObject &t = *other_->GetObj(0), &p = *other_->GetObj(1), &a = *other_->GetObj(2),
                     &m = *other_->GetObj(3);
    EXPECT_EQ(t.Text, text.Text);
    EXPECT_EQ(t.Name, text.Name);
    EXPECT_EQ(t.SoftShadow->Enabled, c.Shadow);
    EXPECT_EQ(t.SoftShadow->OffsetX, c.Shadow ? -3 : 2);
    EXPECT_EQ(t.Transparency, c.Shadow ? 128 : 255);
    EXPECT_EQ(t.TextAlign, c.Align ? text.TextAlign : tpl.TextAlign);
    EXPECT_EQ(t.TextAutoSize, c.AutoSize ? text.TextAutoSize : tpl.TextAutoSize);
    EXPECT_EQ(t.CurvePoints.size(), c.Curve ? 3u : 0u);
    EXPECT_EQ(t.CurveCharRot, c.Curve ? 45 : -10);
    EXPECT_EQ(t.UserDataLength, c.UserData ? 3 : 0);
    EXPECT_EQ(t.TextEditable, !c.Editable);  // the source says false
    EXPECT_EQ(p.PolyPoints.size(), c.PolyPoints ? 3u : 0u);
    EXPECT_EQ(p.PolylineClosed, c.Closed);
    EXPECT_EQ(a.AnglePoints[1], c.Angle ? angle.AnglePoints[1] : tpl.AnglePoints[1]);
    ASSERT_TRUE(a.LogFont.has_value());
    EXPECT_EQ(a.LogFont->lfHeight, c.Editable ? -17 : 10);  // stored font from 75 on
    EXPECT_EQ(m.Text, memo.Text);
    EXPECT_EQ(m.MemoCharIndex, memo.MemoCharIndex);
    EXPECT_EQ(m.MemoCharInfos, memo.MemoCharInfos);
    EXPECT_EQ(m.MemoMarginRight, c.Margins ? 3.5 : 0.0);
    (void)c.MemoIndexFlag;
  }
}

TEST_F(VectFile, SeparateAlphaBlocksOfVersions55To60) {
  auto pic = Picture(7, 3, 10, true);
  const Integer h = Add(lkkBITMAP, {0, 0, 7, 3});
  v_->SetObjBitmap(h, pic.get());
  for (Integer version : {49, 60, 61}) {
    SCOPED_TRACE(version);
    RoundTrip(version);
    TLKBitmap* got = other_->GetObjBitmap(other_->GetObjectAt(0));
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->GetWidth(), 7);
    EXPECT_EQ(got->GetPixels_lk24RGB(3, 2).g, 21);
    if (version == 49) continue;  // BMP entries carry no alpha
    ASSERT_TRUE(got->GetHasAlphaChannel());
    EXPECT_EQ(static_cast<Byte*>(got->GetAlphaChannel()->GetScanLine(2))[3], 62);
    EXPECT_EQ(static_cast<Byte*>(got->GetAlphaChannel()->GetScanLine(0))[6], 120);
  }
}

TEST_F(VectFile, WrongMagicOrVersionIsRefusedAfterFourBytes) {
  Add(lkkBOX, {0, 0, 5, 5});
  TMemoryStream good;
  v_->SaveToStreamLKV(&good);
  std::vector<Byte> b = Bytes(good);
  for (Byte version : {Byte(48), Byte(76)}) {
    b[3] = version;
    ExpectRefused(b, "version");
  }
  b[3] = 75;
  b[0] = 'X';
  ExpectRefused(b, "magic");
  TMemoryStream s;
  s.WriteBuffer(b.data(), 10);
  s.SetPosition(0);
  EXPECT_FALSE(other_->LoadFromStreamLKV(&s));
  EXPECT_EQ(s.GetPosition(), 4);
}

// Cut short anywhere, or with one byte changed in the header and picture
// table, a block is refused and the objects stay; never a crash.
TEST_F(VectFile, TruncatedOrDamagedBlocksKeepTheObjects) {
  auto pic = Picture(4, 4, 1);
  v_->AddVObject(Rich(lkkMEMO, 1));
  v_->AddVObject(Rich(lkkTEXT, 2));
  const Integer h = Add(lkkBITMAP, {0, 0, 4, 4});
  v_->SetObjBitmap(h, pic.get());
  TMemoryStream s;
  v_->SaveToStreamLKV(&s);
  const std::vector<Byte> b = Bytes(s);
  for (std::size_t n = 0; n < b.size(); ++n)
    ExpectRefused(std::vector<Byte>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n)), "truncated");
  std::vector<Byte> damaged = b;
  LKPutLE32(&damaged[16], 0x7FFFFFFF);
  ExpectRefused(damaged, "picture count");
  damaged = b;
  damaged[b.size() - 10] ^= 0x55;
  ExpectRefused(damaged, "zlib check");
}

// Hand-made records: huge counts, bad enumerations and deep groups are
// refused; bad indexes become harmless.
TEST_F(VectFile, HostileRecordsAreRefusedOrMadeSafe) {
  TLKVObject memo = Rich(lkkMEMO, 1);
  v_->AddVObject(memo);
  std::vector<Byte> r = RecordsOf(*v_);
  // Locate the memo's text length: after handle, rect, kind, shadow, name,
  // id, pen/brush, style, transparency, highlight, user data.
  const std::size_t nameAt = 4 + 4 + 16 + 1 + 17;
  const std::size_t textAt = nameAt + 4 + memo.Name->size() + 4 + 4 + 1 + 4 + 4 + 1 + 1 + 4 + 1 + 4;
  ASSERT_EQ(LKGetLE32(&r[textAt]), 5u);

  struct Patch {
    const char* Why;
    std::size_t At;
    Cardinal Value;
  };
  const Patch patches[] = {
      {"object count", 0, 0x10000000},
      {"name length", nameAt, 0x7FFFFFF0},
      {"negative name length", nameAt, 0xFFFFFFFF},
      {"memo text length", textAt, 0x40000000},
      {"kind", 4 + 4 + 16, 200},
  };
  for (const Patch& p : patches) {
    std::vector<Byte> bad = r;
    if (std::strcmp(p.Why, "kind") == 0)
      bad[p.At] = Byte(p.Value);
    else
      LKPutLE32(&bad[p.At], p.Value);
    ExpectRefused(Block(75, bad), p.Why);
  }

  // Groups nested a thousand deep.
  std::vector<Byte> deep;
  PutI32(deep, 1);
  TLKVObject group;
  group.Kind = lkkNONE;
  TLumerakVect g;
  g.AddVObject(group);
  std::vector<Byte> one = RecordsOf(g);
  one.erase(one.begin(), one.begin() + 4);
  for (int i = 0; i < 1000; ++i) {
    std::vector<Byte> rec = one;
    LKPutLE32(&rec[rec.size() - 5], 1);  // the group count before row 37
    deep.insert(deep.end(), rec.begin(), rec.end());
  }
  ExpectRefused(Block(75, deep), "deep groups");

  // A memo style index past the styles becomes 0; a picture index past the
  // table gives no picture.
  TLumerakVect w;
  TLKVObject m2 = memo;
  m2.MemoCharIndex = {0, 1, 7, -3, 1};
  w.AddVObject(m2);
  TLKVObject bmp;
  bmp.Kind = lkkBITMAP;
  const Integer hb = w.AddVObject(bmp);
  w.GetObj(hb)->BitmapIdx = 9;
  TMemoryStream s;
  const std::vector<Byte> rec2 = RecordsOf(w);
  const std::vector<Byte> blk = Block(75, rec2);
  s.WriteBuffer(blk.data(), static_cast<Int64>(blk.size()));
  s.SetPosition(0);
  ASSERT_TRUE(other_->LoadFromStreamLKV(&s)) << other_->GetLastLKVError();
  EXPECT_EQ(other_->GetObj(0)->MemoCharIndex, (std::vector<Integer>{0, 1, 0, 0, 1}));
  EXPECT_EQ(other_->GetObjBitmapIdx(1), -1);
  EXPECT_EQ(other_->GetObjBitmap(1), nullptr);
}

// A kind-0 object is written as an empty group, so the block reads back;
// records read one at a time add a group's members and return -4, and
// without picture indexes the members get no picture.
TEST_F(VectFile, GroupsReadBackAndPasteDropsTheirPictureIndexes) {
  TLKVObject none;
  none.Kind = lkkNONE;
  v_->AddVObject(none);
  Add(lkkBOX, {1, 1, 2, 2});
  RoundTrip();
  EXPECT_EQ(other_->GetObjectCount(), 1);

  // A group of a line and a bitmap object, by hand.
  auto pic = Picture(3, 3, 50);
  TLumerakVect src;
  TLKVObject line = Rich(lkkLINE, 1);
  src.AddVObject(line);
  TLKVObject b;
  b.Kind = lkkBITMAP;
  const Integer hb = src.AddVObject(b);
  src.SetObjBitmap(hb, pic.get());
  std::vector<Byte> members = RecordsOf(src);
  members.erase(members.begin(), members.begin() + 4);
  TLumerakVect g;
  g.AddVObject(none);
  std::vector<Byte> head = RecordsOf(g);
  head.erase(head.begin(), head.begin() + 4);
  LKPutLE32(&head[head.size() - 5], 2);
  TMemoryStream s;
  s.WriteBuffer(head.data(), static_cast<Int64>(head.size()));
  s.WriteBuffer(members.data(), static_cast<Int64>(members.size()));
  for (bool keep : {false, true}) {
    SCOPED_TRACE(keep);
    other_->RemoveAllObjects();
    auto target = Picture(3, 3, 50);
    const Integer own = other_->AddVObject(b);  // an own picture at entry >= 1
    other_->SetObjBitmap(own, target.get());
    s.SetPosition(0);
    EXPECT_EQ(other_->ReadObj(&s, 75, keep), LKVNone);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    ASSERT_EQ(other_->GetObjectCount(), 3);
    ExpectSameStored(line, *other_->GetObj(other_->GetObjectAt(1)));
    const Integer pasted = other_->GetObjectAt(2);
    if (keep)
      EXPECT_EQ(other_->GetObjBitmapIdx(pasted), src.GetObjBitmapIdx(hb));
    else
      EXPECT_EQ(other_->GetObjBitmap(pasted), nullptr);
  }
  s.SetPosition(0);
  EXPECT_THROW(other_->ReadObj(&s, 76, true), EReadError);
  TMemoryStream cut;
  cut.WriteBuffer(head.data(), static_cast<Int64>(head.size()));
  cut.SetPosition(0);
  const Integer before = other_->GetObjectCount();
  EXPECT_THROW(other_->ReadObj(&cut, 75, true), EReadError);
  EXPECT_EQ(other_->GetObjectCount(), before);
}

}  // namespace
