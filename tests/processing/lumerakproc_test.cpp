// The processing component's frame: format choice, selection copy-out and
// copy-back, view notifications, events and attachment lifetimes.
#include "processing/lumerakproc.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "testview.h"

namespace {

TLKPixelFormatSet Set(std::initializer_list<TLKPixelFormat> f) { return TLKPixelFormatSet(f); }

TEST(LKPreferredFormat, RowsAndFallback) {
  struct Case {
    TLKPixelFormat current;
    TLKPixelFormatSet allowed;
    TLKPixelFormat expected;
  } cases[] = {
      {lk1g, Set({lk24RGB}), lk24RGB},              // fourth entry of the lk1g row
      {lk24RGB, Set({lk8g, lk1g}), lk8g},           // sixth entry of the lk24RGB row
      {lk1g, Set({lk48RGB}), lk48RGB},              // not in the row: highest allowed
      {lk1g, Set({lk8p, lk48RGB}), lk48RGB},        // neither in the row: highest wins
      {lk8g, Set({lk48RGB, lk16g}), lk16g},         // row order, not set order
      {lk16g, Set({lk8g, lk24RGB}), lk8g},
      {lk32f, Set({lkCIELab, lk24RGB}), lk24RGB},
      {lkCMYK, Set({lk8g, lk48RGB}), lk48RGB},
      {lk48RGB, Set({lk16g, lk1g}), lk16g},
      {lkCIELab, Set({lk8g}), lk8g},
      {lk8p, Set({lkCIELab, lk1g}), lkCIELab},
      {lknull, Set({lk8g, lk24RGB}), lk24RGB},      // empty row: highest allowed
  };
  for (const Case& c : cases)
    EXPECT_EQ(LKPreferredFormat(c.current, c.allowed), c.expected) << int(c.current);
}

TEST(LumerakProc, CheckFormatConvertsOrRefuses) {
  TLKBitmap b(4, 3, lk1g);
  b.Fill(0);
  b.SetPixels_lk1g(1, 2, true);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  EXPECT_TRUE(proc.CheckFormat({}));
  EXPECT_TRUE(proc.CheckFormat(Set({lk1g, lk8g})));
  EXPECT_EQ(b.GetPixelFormat(), lk1g);
  proc.SetAutoConvertFormat(false);
  EXPECT_FALSE(proc.CheckFormat(Set({lk24RGB})));
  EXPECT_EQ(b.GetPixelFormat(), lk1g);
  proc.SetAutoConvertFormat(true);
  EXPECT_TRUE(proc.CheckFormat(Set({lk24RGB})));
  EXPECT_EQ(b.GetPixelFormat(), lk24RGB);
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_EQ(b.GetPixels_lk24RGB(1, 2), (TRGB{255, 255, 255}));  // pixels carried over
  EXPECT_EQ(b.GetPixels_lk24RGB(0, 2), (TRGB{0, 0, 0}));

  TLKBitmap empty;
  proc.SetAttachedLKBitmap(&empty);
  EXPECT_TRUE(proc.CheckFormat({}));
}

// Records events and view calls in one ordered log.
struct Log {
  std::vector<std::string> entries;
  void Attach(TLumerakProc& proc) {
    proc.OnProgress = [this](TObject*, Integer p) { entries.push_back("progress " + std::to_string(p)); };
    proc.OnFinishWork = [this](TObject*) { entries.push_back("finish"); };
  }
};

class Frame : public ::testing::TestWithParam<bool> {};

TEST_P(Frame, WholeImageInPlaceWithProgressThenFinishLast) {
  StorageScope storage(GetParam());
  TTestView view(6, 10, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Log log;
  log.Attach(proc);
  TLKBitmap* seen = nullptr;
  Integer rect[4] = {-1, -1, -1, -1};
  ASSERT_TRUE(proc.RunImageProcessing({}, "Test", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    seen = b;
    rect[0] = x1, rect[1] = y1, rect[2] = x2, rect[3] = y2;
    _Fill(b, x1, y1, x2, y2, TRGB{1, 2, 3}, proc.OnProgress, &proc);
  }));
  EXPECT_EQ(seen, view.GetLKBitmap());  // no selection: no copy
  EXPECT_EQ(rect[0], 0);
  EXPECT_EQ(rect[1], 0);
  EXPECT_EQ(rect[2], 6);
  EXPECT_EQ(rect[3], 10);
  const std::vector<std::string> expected = {"progress 10", "progress 21", "progress 31", "progress 42",
                                             "progress 52", "progress 63", "progress 73", "progress 84",
                                             "progress 94", "progress 105", "progress 100", "finish"};
  EXPECT_EQ(log.entries, expected);
  EXPECT_EQ((std::vector<std::string>{"Update", "ImageChange"}), view.Calls);
  EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(5, 9), (TRGB{1, 2, 3}));
  EXPECT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Test");
}

TEST_P(Frame, SelectionBoxCopiedOutAndBackThroughMask) {
  StorageScope storage(GetParam());
  TTestView view(40, 50, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  view.SelectRect(10, 20, 29, 39);
  view.Mask.SetPixel(12, 22, 0);  // a hole: this pixel must stay
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Integer w = 0, h = 0, rect[4] = {-1, -1, -1, -1};
  proc.RunImageProcessing({}, "Fill", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    EXPECT_NE(b, view.GetLKBitmap());
    w = b->GetWidth(), h = b->GetHeight();
    rect[0] = x1, rect[1] = y1, rect[2] = x2, rect[3] = y2;
    // The copy holds the box's pixels at 0,0.
    EXPECT_EQ(PixelBytes(b, 0, 0), PixelBytes(&before, 10, 20));
    _Fill(b, x1, y1, x2, y2, TRGB{9, 9, 9}, nullptr, nullptr);
  });
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 20);
  EXPECT_EQ(rect[2], 20);
  EXPECT_EQ(rect[3], 20);
  TLKBitmap* after = view.GetLKBitmap();
  for (Integer y = 0; y < 50; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const bool selected = view.Mask.GetPixel(x, y) != 0;
      if (selected)
        ASSERT_EQ(after->GetPixels_lk24RGB(x, y), (TRGB{9, 9, 9})) << x << "," << y;
      else
        ASSERT_EQ(PixelBytes(after, x, y), PixelBytes(&before, x, y)) << x << "," << y;
    }
  EXPECT_FALSE(after->GetHasAlphaChannel());
}

TEST_P(Frame, AlphaMadeByRoutineCopiedBackUnderMask) {
  StorageScope storage(GetParam());
  TTestView view(8, 8, lk24RGB);
  view.SelectRect(2, 2, 5, 5);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.RunImageProcessing({}, "Alpha", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    TLKBitmap* a = b->GetAlphaChannel();
    for (Integer y = 0; y < a->GetHeight(); ++y)
      for (Integer x = 0; x < a->GetWidth(); ++x) b->SetAlpha(x, y, 7);
  });
  TLKBitmap* after = view.GetLKBitmap();
  ASSERT_TRUE(after->GetHasAlphaChannel());
  EXPECT_EQ(after->GetAlpha(3, 3), 7);
  EXPECT_EQ(after->GetAlpha(1, 1), 255);
  EXPECT_FALSE(after->GetAlphaChannel()->GetFull());
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, Frame, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(LumerakProc, RefusedFormatKeepsUndoEntryFiresNothing) {
  TTestView view(4, 4, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SetAutoConvertFormat(false);
  Log log;
  log.Attach(proc);
  bool ran = false;
  EXPECT_FALSE(proc.RunImageProcessing(Set({lk8g}), "Negative",
                                       [&](TLKBitmap*, Integer, Integer, Integer, Integer) { ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_TRUE(view.Calls.empty());
  EXPECT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Negative");
  EXPECT_EQ(view.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  EXPECT_EQ(PixelBytes(view.GetLKBitmap(), 3, 3), PixelBytes(&before, 3, 3));
}

TEST(LumerakProc, RoutineExceptionPassesOnAndLeavesImage) {
  TTestView view(8, 8, lk24RGB);
  FillDistinct(view.GetLKBitmap());
  TLKBitmap before;
  before.Assign(view.GetLKBitmap());
  view.SelectRect(1, 1, 4, 4);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Log log;
  log.Attach(proc);
  EXPECT_THROW(proc.RunImageProcessing({}, "Boom",
                                       [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
                                         _Fill(b, x1, y1, x2, y2, TRGB{0, 0, 0}, nullptr, nullptr);
                                         throw std::runtime_error("routine failed");
                                       }),
               std::runtime_error);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(PixelBytes(view.GetLKBitmap(), 2, 2), PixelBytes(&before, 2, 2));
}

TEST(LumerakProc, AnalysisHasNoUndoNoUpdate) {
  TTestView view(5, 4, lk24RGB);
  view.SelectRect(1, 1, 2, 2);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  Integer w = 0;
  EXPECT_TRUE(proc.RunImageAnalysis({}, [&](TLKBitmap* b, Integer, Integer, Integer x2, Integer) {
    w = b->GetWidth();
    EXPECT_EQ(x2, 2);
  }));
  EXPECT_EQ(w, 2);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_TRUE(view.Calls.empty());
}

TEST(LumerakProc, NoEventsAssignedCallsNothing) {
  TLKBitmap b(3, 3, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  EXPECT_TRUE(proc.RunImageProcessing({}, "X", [](TLKBitmap*, Integer, Integer, Integer, Integer) {}));
  proc.DoFinishWork();
}

TEST(LumerakProc, AttachmentFollowsTheView) {
  TLumerakProc proc;
  ASSERT_NE(proc.GetAttachedLKBitmap(), nullptr);  // own empty bitmap
  {
    TTestView view(4, 4, lk24RGB);
    proc.SetAttachedLumerak(&view);
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 1);
    EXPECT_EQ(proc.GetAttachedLKBitmap(), view.GetLKBitmap());

    // The view replaces its bitmap object: the next operation works on it.
    view.ReplaceBitmap(std::make_unique<TLKBitmap>(7, 5, lk24RGB));
    EXPECT_EQ(proc.GetAttachedLKBitmap(), view.GetLKBitmap());
    proc.Fill(TRGB{5, 5, 5});
    EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(6, 4), (TRGB{5, 5, 5}));

    // nil while a view is attached changes nothing.
    proc.SetAttachedLKBitmap(nullptr);
    EXPECT_EQ(proc.GetAttachedLumerak(), &view);

    // Background goes through the view.
    proc.SetReBackground(0x123456);
    EXPECT_EQ(view.GetBackground(), 0x123456);
  }
  // The view went first: the component forgot it and has its own bitmap.
  EXPECT_EQ(proc.GetAttachedLumerak(), nullptr);
  ASSERT_NE(proc.GetAttachedLKBitmap(), nullptr);
  proc.Fill(TRGB{1, 1, 1});  // safe on the empty own bitmap
  EXPECT_EQ(proc.GetReBackground(), 0);
}

TEST(LumerakProc, ComponentGoingFirstUnregisters) {
  TTestView view(4, 4, lk24RGB);
  {
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    TLumerakProc other;
    other.SetAttachedLumerak(&view);
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 2);
    other.SetAttachedLumerak(nullptr);  // back to its own new empty bitmap
    EXPECT_EQ(view.GetBitmapChangeEventCount(), 1);
    EXPECT_TRUE(other.GetAttachedLKBitmap()->IsEmpty());
  }
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 0);
  view.CallBitmapChangeEvents();  // nobody left to call
}

TEST(LumerakProc, ExternalBitmapDropsTheView) {
  TTestView view(4, 4, lk24RGB);
  TLKBitmap external(3, 3, lk24RGB);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SetAttachedLKBitmap(&external);
  EXPECT_EQ(proc.GetAttachedLumerak(), nullptr);
  EXPECT_EQ(view.GetBitmapChangeEventCount(), 0);
  proc.Fill(TRGB{4, 4, 4});
  EXPECT_EQ(external.GetPixels_lk24RGB(2, 2), (TRGB{4, 4, 4}));
  EXPECT_TRUE(view.Calls.empty());
}

TEST(LumerakProc, ClassLibraryBitmapWrappedAndMarkedModified) {
  TBitmap bmp(4, 3, pf24bit);
  TLumerakProc proc;
  proc.SetAttachedBitmap(&bmp);
  EXPECT_EQ(proc.GetAttachedBitmap(), &bmp);
  proc.Fill(TRGB{1, 2, 3});
  EXPECT_EQ(bmp.ScanLine(2)[3 * 3 + 2], 3);  // red of pixel (3, 2)
  EXPECT_TRUE(bmp.GetModified());
  // A size change made through the class library is seen by the next
  // operation.
  bmp.SetSize(6, 5);
  proc.Fill(TRGB{7, 8, 9});
  EXPECT_EQ(proc.GetAttachedLKBitmap()->GetWidth(), 6);
  EXPECT_EQ(bmp.ScanLine(4)[5 * 3 + 2], 9);
  // A caller's TLKBitmap is never made to wrap it.
  TLKBitmap external(2, 2, lk8g);
  proc.SetAttachedLKBitmap(&external);
  proc.SetAttachedBitmap(&bmp);
  EXPECT_EQ(external.GetWidth(), 2);
  EXPECT_NE(proc.GetAttachedLKBitmap(), &external);
}

// A view that shows a class-library bitmap and has no TLKBitmap.
class TLegacyView : public TTestView {
 public:
  TLegacyView() : TTestView(1, 1, lk24RGB), Bitmap(5, 4, pf24bit) {}
  TBitmap Bitmap;
  bool Legacy = true;
  TBitmap* GetFBitmap() override { return Legacy ? &Bitmap : nullptr; }
  TLKBitmap* GetLKBitmap() override { return Legacy ? nullptr : TTestView::GetLKBitmap(); }
};

TEST(LumerakProc, ViewWithClassLibraryBitmapOnly) {
  TLegacyView view;
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  EXPECT_EQ(proc.GetAttachedBitmap(), &view.Bitmap);
  proc.Fill(TRGB{0, 0, 200});
  EXPECT_EQ(view.Bitmap.ScanLine(3)[4 * 3 + 2], 200);
  EXPECT_EQ((std::vector<std::string>{"Update", "ImageChange"}), view.Calls);
  // The view moves its picture into its own storage and says so.
  view.Legacy = false;
  view.CallBitmapChangeEvents();
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
  EXPECT_EQ(proc.GetAttachedLKBitmap(), view.GetLKBitmap());
}

TEST(LKView, RegistryAndResolution) {
  std::vector<std::string> calls;
  auto* view = new TTestView(2, 2, lk8g);
  const Integer a = view->RegisterBitmapChangeEvent([&](TObject*, bool d) { calls.push_back(d ? "a end" : "a"); });
  const Integer b = view->RegisterBitmapChangeEvent([&](TObject*, bool d) { calls.push_back(d ? "b end" : "b"); });
  const Integer c = view->RegisterBitmapChangeEvent([&](TObject*, bool d) { calls.push_back(d ? "c end" : "c"); });
  EXPECT_GE(a, 0);
  EXPECT_NE(a, b);
  view->RemoveBitmapChangeEvent(b);
  view->RemoveBitmapChangeEvent(-1);
  view->RemoveBitmapChangeEvent(12345);
  view->CallBitmapChangeEvents();
  view->SetDPI(0, 150);
  EXPECT_EQ(view->GetDpiX(), 0);
  EXPECT_EQ(view->GetDpiY(), 150);
  EXPECT_EQ(view->GetBackground(), clBtnFace);
  delete view;
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "c", "a end", "c end"}));
  (void)c;
}

}  // namespace
