// The selection stream: its byte layout, round trips, placement on read,
// merging, the saved-selection stack and hostile streams.
#include <cstring>

#include "interact_fixture.h"
#include "platform/classes.h"

namespace {

std::vector<Byte> Bytes(TMemoryStream& S) {
  const auto* p = static_cast<const Byte*>(S.GetMemory());
  return std::vector<Byte>(p, p + S.GetSize());
}

Integer I32(const std::vector<Byte>& B, std::size_t At) {
  Integer v;
  std::memcpy(&v, B.data() + At, 4);
  return v;
}

}  // namespace

TEST_F(InteractTest, SelectionStreamLayoutAndRoundTrip) {
  Load(10, 3);
  view_->SetSelectionBase(lksbBitmap);
  TMemoryStream empty;
  view_->SaveSelectionToStream(&empty);
  std::vector<Byte> e = Bytes(empty);
  ASSERT_EQ(e.size(), 58u + 3 * 4);
  EXPECT_EQ(I32(e, 8), 0);                  // no points
  EXPECT_EQ(I32(e, 41), 2147483647);        // empty mask box
  EXPECT_EQ(I32(e, 37), 1);                 // depth

  view_->Select(2, 1, 7, 3, lkspReplace);
  TMemoryStream s;
  view_->SaveSelectionToStream(&s);
  std::vector<Byte> b = Bytes(s);
  ASSERT_EQ(b.size(), 58u + 4 * 8 + 3 * 4);
  EXPECT_EQ(I32(b, 0), 10);
  EXPECT_EQ(I32(b, 4), 3);
  EXPECT_EQ(I32(b, 8), 4);
  EXPECT_EQ(I32(b, 12 + 8), 7);  // second point x
  EXPECT_EQ(b[28 + 32], 1);      // selected
  EXPECT_EQ(I32(b, 41 + 32), 2);
  EXPECT_EQ(I32(b, 41 + 32 + 12), 2);  // mask Y2
  // Rows bottom first, leftmost pixel in the high bit: row 2 holds x 2..6.
  EXPECT_EQ(b[58 + 32], 0x3E);
  EXPECT_EQ(b[58 + 32 + 8], 0x00);  // row 0 is not selected

  view_->DeSelect();
  s.SetPosition(0);
  EXPECT_TRUE(view_->LoadSelectionFromStream(&s, lkrsNone));
  EXPECT_TRUE(view_->GetSelected());
  EXPECT_EQ(view_->GetPolySelCount(), 4);
  EXPECT_EQ(MaskBox(), (TRect{2, 1, 6, 2}));
  TMemoryStream again;
  view_->SaveSelectionToStream(&again);
  EXPECT_EQ(Bytes(again), b);

  empty.SetPosition(0);
  EXPECT_TRUE(view_->LoadSelectionFromStream(&empty, lkrsNone));
  EXPECT_FALSE(view_->GetSelected());
}

TEST_F(InteractTest, ReadSelectionPlacement) {
  Load(200, 100);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(150, 10, 200, 30, lkspReplace);
  TMemoryStream s;
  view_->SaveSelectionToStream(&s);
  // A narrower picture: the selection moves left to end at its edge.
  Load(150, 100);
  s.SetPosition(0);
  ASSERT_TRUE(view_->LoadSelectionFromStream(&s, lkrsMoveToAdapt));
  EXPECT_EQ(MaskBox(), (TRect{100, 10, 149, 29}));

  // Layers: a selection saved on a layer at (10, 10) lands 20 pixels left in
  // a layer at (30, 10).
  Load(200, 100);
  view_->GetLayer(0)->PosX = 10;
  view_->GetLayer(0)->PosY = 10;
  view_->Select(50, 20, 60, 30, lkspReplace);
  TMemoryStream l;
  view_->SaveSelectionToStream(&l);
  view_->GetLayer(0)->PosX = 30;
  l.SetPosition(0);
  ASSERT_TRUE(view_->LoadSelectionFromStream(&l, lkrsSyncLayers));
  EXPECT_EQ(MaskBox(), (TRect{30, 20, 39, 29}));
  // A negative saved position keeps its pixels.
  view_->GetLayer(0)->PosX = -5;
  view_->Select(0, 0, 10, 10, lkspReplace);
  TMemoryStream n;
  view_->SaveSelectionToStream(&n);
  view_->GetLayer(0)->PosX = -10;
  n.SetPosition(0);
  ASSERT_TRUE(view_->LoadSelectionFromStream(&n, lkrsSyncLayers));
  EXPECT_EQ(MaskBox(), (TRect{5, 0, 14, 9}));
}

TEST_F(InteractTest, MergeAndTheSavedSelectionStack) {
  Load(100, 100);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(10, 10, 20, 20, lkspReplace);
  TMemoryStream s;
  view_->SaveSelectionToStream(&s);
  view_->Select(50, 50, 60, 60, lkspReplace);
  s.SetPosition(0);
  ASSERT_TRUE(view_->MergeSelectionFromStream(&s));
  EXPECT_EQ(view_->GetPolySelCount(), 0);
  EXPECT_TRUE(view_->IsPointInsideSelection(15, 15));
  EXPECT_TRUE(view_->IsPointInsideSelection(55, 55));

  EXPECT_FALSE(view_->RestoreSelection(false, lkrsNone));
  EXPECT_FALSE(view_->DiscardSavedSelection());
  view_->Select(30, 30, 40, 40, lkspReplace);
  view_->SaveSelection();
  for (int i = 0; i < 2; ++i) {
    view_->DeSelect();
    EXPECT_TRUE(view_->RestoreSelection(false, lkrsNone));
    EXPECT_EQ(MaskBox(), (TRect{30, 30, 39, 39}));
  }
  EXPECT_EQ(view_->GetSavedSelectionsCount(), 1);
  EXPECT_TRUE(view_->DiscardSavedSelection());
  EXPECT_EQ(view_->GetSavedSelectionsCount(), 0);
}

TEST_F(InteractTest, HostileSelectionStreamsAreRefusedAndTheSelectionKept) {
  Load(10, 3);
  view_->SetSelectionBase(lksbBitmap);
  view_->Select(2, 1, 7, 3, lkspReplace);
  TMemoryStream good;
  view_->SaveSelectionToStream(&good);
  const std::vector<Byte> base = Bytes(good);
  struct Row {
    const char* what;
    std::size_t at;
    Integer value;
    std::size_t cut;  // 0: whole stream
  };
  const std::size_t n = 32;  // four points
  const Row rows[] = {
      {"negative width", 0, -1, 0},
      {"height beyond the stream", 4, 1 << 30, 0},
      {"huge width", 0, 0x7FFFFFF0, 0},
      {"negative point count", 8, -5, 0},
      {"point count beyond the stream", 8, 0x10000000, 0},
      {"depth 4", 37 + n, 4, 0},
      {"truncated rows", 0, 10, base.size() - 3},
      {"truncated header", 0, 10, 20},
  };
  for (const Row& r : rows) {
    std::vector<Byte> b = base;
    std::memcpy(b.data() + r.at, &r.value, 4);
    if (r.cut) b.resize(r.cut);
    TMemoryStream s;
    s.WriteBuffer(b.data(), static_cast<Int64>(b.size()));
    s.SetPosition(0);
    EXPECT_FALSE(view_->LoadSelectionFromStream(&s, lkrsNone)) << r.what;
    EXPECT_EQ(s.GetPosition(), 0) << r.what;
    EXPECT_TRUE(view_->GetSelected()) << r.what;
    EXPECT_EQ(MaskBox(), (TRect{2, 1, 6, 2})) << r.what;
    EXPECT_EQ(view_->GetPolySelCount(), 4) << r.what;
  }
}
