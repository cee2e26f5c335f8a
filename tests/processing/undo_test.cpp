// Undo and redo stacks: limits, order, captions, restore targets.
#include <gtest/gtest.h>

#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// The red byte of pixel (0, 0): each step of a sequence fills the image with
// a new value, so the red byte tells which state is shown.
Byte Shown(TLKBitmap& b) { return b.GetPixels_lk24RGB(0, 0).r; }

class Undo : public ::testing::TestWithParam<bool> {};

TEST_P(Undo, SequencesAsTables) {
  StorageScope storage(GetParam());
  // Each row: the undo limit, the fills applied (value v fills with red v),
  // then what the stack holds and what Undo shows.
  struct Case {
    const char* name;
    Integer limit;
    std::vector<Byte> fills;
    Integer count;
    std::vector<String> captions;  // newest first
    Byte afterUndo;
  } cases[] = {
      {"default limit keeps the state before the last", 1, {10, 20}, 1, {"Fill"}, 10},
      {"limit 3 keeps three", 3, {10, 20, 30, 40}, 3, {"Fill", "Fill", "Fill"}, 30},
      {"one operation restores the start", 2, {10}, 1, {"Fill"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TLKBitmap b(4, 3, lk24RGB);
    b.Fill(0);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.SetUndoLimit(c.limit);
    for (Byte v : c.fills) proc.Fill(TRGB{0, 0, v});
    EXPECT_EQ(proc.GetUndoCount(), c.count);
    for (size_t i = 0; i < c.captions.size(); ++i) EXPECT_EQ(proc.GetUndoCaptions(Integer(i)), c.captions[i]);
    EXPECT_EQ(proc.GetUndoCaptions(c.count), "");
    EXPECT_EQ(proc.GetUndoCaptions(-1), "");
    proc.Undo();
    EXPECT_EQ(Shown(b), c.afterUndo);
    // Undo does not pop: a second Undo shows the same state.
    b.Fill(99);
    proc.Undo();
    EXPECT_EQ(Shown(b), c.afterUndo);
  }
}

TEST_P(Undo, IndexesCountFromNewestAndPeekFromOldest) {
  StorageScope storage(GetParam());
  TTestView view(4, 3, lk24RGB);
  TLKBitmap& b = *view.GetLKBitmap();
  b.Fill(0);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SetUndoLimit(5);
  proc.SaveUndoCaptioned("first", lkuImage);    // red 0
  proc.SaveUndoCaptioned("select", lkuSelection);
  proc.Fill(TRGB{0, 0, 50});                    // saves red 0 as "Fill"
  proc.Fill(TRGB{0, 0, 60});                    // saves red 50 as "Fill"
  ASSERT_EQ(proc.GetUndoCount(), 4);
  EXPECT_EQ(proc.UndoPeekAt(0), 1);
  EXPECT_EQ(proc.UndoPeekAt(1), 2);
  EXPECT_EQ(proc.UndoPeekAt(3), 1);
  EXPECT_EQ(proc.UndoPeekAt(4), 0);
  EXPECT_EQ(proc.UndoPeekAt(-1), 0);
  EXPECT_EQ(proc.GetUndoCaptions(2), "select");
  EXPECT_EQ(proc.GetUndoCaptions(3), "first");
  proc.UndoAt(0);
  EXPECT_EQ(Shown(b), 50);
  proc.UndoAt(1);
  EXPECT_EQ(Shown(b), 0);
  proc.UndoAt(4);  // out of range: nothing
  proc.UndoAt(-1);
  EXPECT_EQ(Shown(b), 0);
  proc.ClearUndoAt(1);
  EXPECT_EQ(proc.GetUndoCount(), 3);
  EXPECT_EQ(proc.GetUndoCaptions(1), "select");
  proc.SetUndoCaptions(1, "renamed");
  proc.SetUndoCaptions(9, "ignored");
  EXPECT_EQ(proc.GetUndoCaptions(1), "renamed");
  proc.ClearAllUndo();
  EXPECT_FALSE(proc.GetCanUndo());
  EXPECT_EQ(proc.GetUndoCaptions(0), "");
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Undo, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(UndoLimits, SetAndLoweredLimit) {
  TLKBitmap b(3, 3, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  for (Integer v : {0, -5}) {
    proc.SetUndoLimit(v);
    EXPECT_EQ(proc.GetUndoLimit(), 1);
  }
  proc.SetUndoLimit(5);
  for (int i = 0; i < 7; ++i) proc.SaveUndo(lkuImage);
  EXPECT_EQ(proc.GetUndoCount(), 5);
  proc.SetUndoLimit(2);
  EXPECT_EQ(proc.GetUndoCount(), 5);  // until the next push
  proc.SaveUndo(lkuImage);
  EXPECT_EQ(proc.GetUndoCount(), 2);
  // The redo stack is bounded by the same limit, separately.
  for (int i = 0; i < 4; ++i) proc.SaveRedoCaptioned("r" + std::to_string(i), lkuImage);
  EXPECT_EQ(proc.GetRedoCount(), 2);
  EXPECT_EQ(proc.GetRedoCaptions(0), "r3");
  EXPECT_EQ(proc.GetRedoCaptions(1), "r2");
  EXPECT_EQ(proc.GetUndoCount(), 2);
}

TEST(UndoLimits, RefusedSaves) {
  TLKBitmap thin(1, 500, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&thin);
  proc.SaveUndo(lkuImage);
  proc.SaveUndoCaptioned("thin", lkuImage);
  EXPECT_EQ(proc.GetUndoCount(), 0);

  TLKBitmap b(3, 3, lk24RGB);
  proc.SetAttachedLKBitmap(&b);
  proc.SaveUndoCaptioned("no view", lkuSelection);  // no selection view
  proc.SaveUndo(lkuUnknown);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  proc.SaveUndoCaptioned("kept", lkuImage);
  proc.SaveUndoCaptioned("no view", lkuSelection);
  EXPECT_EQ(proc.GetUndoCaptions(0), "kept");  // no caption written for nothing
}

TEST(UndoRestore, RedoIsASecondStack) {
  TLKBitmap b(3, 3, lk24RGB);
  b.Fill(0);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.Fill(TRGB{0, 0, 10});
  proc.SaveRedoCaptioned("Fill", lkuImage);  // the state about to be undone
  proc.Undo();
  EXPECT_EQ(Shown(b), 0);
  EXPECT_EQ(proc.GetUndoCount(), 1);
  proc.Redo();
  EXPECT_EQ(Shown(b), 10);
  EXPECT_EQ(proc.RedoPeekAt(0), 1);
  proc.ClearRedo();
  EXPECT_FALSE(proc.GetCanRedo());
  proc.Redo();  // empty: nothing
  EXPECT_EQ(Shown(b), 10);
}

TEST(UndoRestore, ImageWithAlphaAndPaletteComesBack) {
  TLKBitmap b(4, 4, lk8p);
  FillDistinct(&b);
  b.SetPalette(3, TRGB{1, 2, 3});
  b.SetAlpha(1, 1, 40);
  TLKBitmap before;
  before.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.SaveUndo(lkuImage);
  b.Allocate(2, 2, lk24RGB);
  proc.Undo();
  ASSERT_EQ(b.GetPixelFormat(), lk8p);
  ASSERT_EQ(b.GetWidth(), 4);
  EXPECT_EQ(PixelBytes(&b, 3, 2), PixelBytes(&before, 3, 2));
  EXPECT_EQ(b.GetPalette(3), (TRGB{1, 2, 3}));
  ASSERT_TRUE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(1, 1), 40);
}

TEST(UndoRestore, UndoRectCopiesInclusiveRectangle) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    TLKBitmap b(8, 8, lk24RGB);
    b.Fill(0);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.Fill(TRGB{0, 0, 200});  // undo holds the black image
    proc.UndoRect(5, 5, 1, 1);   // corners in any order
    Integer black = 0;
    for (Integer y = 0; y < 8; ++y)
      for (Integer x = 0; x < 8; ++x) {
        const bool inside = x >= 1 && x <= 5 && y >= 1 && y <= 5;
        EXPECT_EQ(b.GetPixels_lk24RGB(x, y).r, inside ? 0 : 200) << x << "," << y;
        black += inside;
      }
    EXPECT_EQ(black, 25);
    EXPECT_EQ(proc.GetUndoCount(), 1);
    proc.UndoRect(-100, -100, 100, 100);  // clipped to the picture
    EXPECT_EQ(b.GetPixels_lk24RGB(7, 7).r, 0);
  }
}

TEST(UndoRestore, LayerTagClampedToLayersThere) {
  TTestView view(4, 4, lk24RGB);
  for (int i = 0; i < 3; ++i) view.Layers.push_back(std::make_unique<TLKBitmap>(4, 4, lk24RGB));
  view.Current = 3;
  view.GetLKBitmap()->Fill(0x0000FF);  // red 255 on layer 3
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SaveUndo(lkuImage);  // tagged with layer 3
  view.Layers.resize(2);
  view.Current = 0;
  view.Layers[1]->Fill(0);
  view.CallBitmapChangeEvents();
  proc.Undo();
  EXPECT_EQ(view.Layers[1]->GetPixels_lk24RGB(2, 2).r, 255);
  EXPECT_EQ(view.Layers[0]->GetPixels_lk24RGB(2, 2).r == 255, false);
}

TEST(UndoRestore, SelectionEntryReloadsWithoutUpdate) {
  TTestView view(10, 10, lk24RGB);
  view.SelectRect(1, 1, 3, 3);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SaveUndoCaptioned("Select", lkuSelection);
  view.SelectRect(5, 5, 8, 8);
  proc.Undo();
  EXPECT_EQ(view.SelectionLoads, 1);
  EXPECT_EQ(view.Mask.GetX1(), 1);
  EXPECT_EQ(view.Mask.GetY2(), 3);
  EXPECT_TRUE(view.Calls.empty());
  proc.Undo();  // the stream is rewound each time
  EXPECT_EQ(view.SelectionLoads, 2);
}

TEST(UndoRestore, MemoryLocationWorksAlike) {
  TLKBitmap b(5, 5, lk24RGB);
  b.Fill(0);
  TLumerakProc proc;
  EXPECT_EQ(proc.GetUndoLocation(), lkFile);
  proc.SetUndoLocation(lkMemory);
  proc.SetAttachedLKBitmap(&b);
  proc.Fill(TRGB{0, 0, 77});
  proc.Undo();
  EXPECT_EQ(Shown(b), 0);
}

}  // namespace
