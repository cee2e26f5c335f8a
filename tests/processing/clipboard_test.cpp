// Copy, cut, paste and clearing through the desktop clipboard (the
// offscreen platform's) and through stand-ins that fail.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/metafile_kit.h"
#include "platform/graphics.h"
#include "processing/lkclipboard.h"
#include "processing/lkdibcopy.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"
#include "testview.h"

namespace {

// A clipboard that cannot be opened, or that announces formats whose data
// cannot be fetched.
class FakeClipboard : public TLKClipboardAccess {
 public:
  bool opens = true;
  bool fetches = true;
  std::map<std::string, std::vector<Byte>> data;
  bool Open() override { return opens; }
  void Close() override {}
  void Empty() override { data.clear(); }
  bool HasFormat(const char* n) override { return data.count(n) != 0; }
  bool GetData(const char* n, std::vector<Byte>& d) override {
    if (!fetches || !data.count(n)) return false;
    d = data[n];
    return true;
  }
  void SetData(const char* n, std::vector<Byte> d) override { data[n] = std::move(d); }
};

class ClipboardScope {
 public:
  explicit ClipboardScope(TLKClipboardAccess* a) { LKSetClipboard(a); }
  ~ClipboardScope() { LKSetClipboard(nullptr); }
};

bool SameImage(TLKBitmap* a, TLKBitmap* b) {
  if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight() ||
      a->GetPixelFormat() != b->GetPixelFormat())
    return false;
  for (Integer y = 0; y < a->GetHeight(); ++y)
    for (Integer x = 0; x < a->GetWidth(); ++x)
      if (PixelBytes(a, x, y) != PixelBytes(b, x, y)) return false;
  return true;
}

class Clipboard : public ::testing::TestWithParam<bool> {};

TEST_P(Clipboard, RawCopyComesBackUnchangedPlainCopyAs24Bit) {
  StorageScope storage(GetParam());
  TLKBitmap b(9, 5, lk48RGB);
  FillDistinct(&b);
  b.SetAlpha(3, 2, 40);
  TLKBitmap original;
  original.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  proc.CopyToClipboard(true);
  b.Allocate(2, 2, lk8g);
  proc.PasteFromClipboard();
  EXPECT_TRUE(SameImage(&b, &original));
  ASSERT_TRUE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(3, 2), 40);
  EXPECT_EQ(proc.GetUndoCaptions(0), "PasteFromClipboard");

  proc.CopyToClipboard(false);
  proc.PasteFromClipboard();
  EXPECT_EQ(b.GetPixelFormat(), lk24RGB);
  EXPECT_FALSE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetPixels(4, 4), original.GetPixels(4, 4));
}

TEST_P(Clipboard, SelectionCopyCutAndClear) {
  StorageScope storage(GetParam());
  TTestView view(12, 8, lk24RGB);
  TLKBitmap* b = view.GetLKBitmap();
  FillDistinct(b);
  TLKBitmap original;
  original.Assign(b);
  TLumerakProc proc;
  proc.SetAttachedLumerak(&view);
  proc.SetReBackground(RGB2TColor(1, 2, 3));

  // Cut without a selection changes neither the clipboard nor the image.
  FakeClipboard fake;
  fake.data["marker"] = {1};
  {
    ClipboardScope scope(&fake);
    proc.SelCutToClip(true);
  }
  EXPECT_TRUE(fake.data.count("marker"));
  EXPECT_TRUE(SameImage(b, &original));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // Copy without a selection copies the whole image.
  proc.SelCopyToClip(false);
  TLKBitmap pasted;
  TLumerakProc other;
  other.SetAttachedLKBitmap(&pasted);
  other.PasteFromClipboard();
  EXPECT_EQ(pasted.GetWidth(), 12);

  // Cut of a selection: the box goes out, the selected pixels take the
  // background colour.
  view.SelectRect(2, 1, 5, 3);
  proc.SelCutToClip(true);
  EXPECT_EQ(b->GetPixels(3, 2), (TRGB{3, 2, 1}));
  EXPECT_EQ(b->GetPixels(6, 2), original.GetPixels(6, 2));
  EXPECT_EQ(proc.GetUndoCaptions(0), "SelCutToClip");
  other.PasteFromClipboard();
  ASSERT_EQ(pasted.GetWidth(), 4);
  ASSERT_EQ(pasted.GetHeight(), 3);
  EXPECT_EQ(pasted.GetPixels(1, 1), original.GetPixels(3, 2));

  // A clipboard that cannot be opened: cut still clears, paste does nothing.
  proc.Undo();
  FakeClipboard closed;
  closed.opens = false;
  ClipboardScope scope(&closed);
  proc.SelCutToClip(false);
  EXPECT_EQ(b->GetPixels(2, 1), (TRGB{3, 2, 1}));
  proc.Undo();
  const Integer undos = proc.GetUndoCount();
  proc.PasteFromClipboard();
  EXPECT_EQ(proc.GetUndoCount(), undos);
  EXPECT_TRUE(SameImage(b, &original));

  // ClearSel fills only the selected pixels; Clear fills everything.
  proc.ClearSel();
  EXPECT_EQ(b->GetPixels(5, 3), (TRGB{3, 2, 1}));
  EXPECT_EQ(b->GetPixels(6, 3), original.GetPixels(6, 3));
  EXPECT_EQ(proc.GetUndoCaptions(0), "ClearSel");
}

TEST_P(Clipboard, PointPasteIsClippedAndConvertedToTheImageFormat) {
  StorageScope storage(GetParam());
  TLKBitmap picture(6, 4, lk24RGB);
  picture.Fill(RGB2TColor(200, 100, 50));
  TLumerakProc source;
  source.SetAttachedLKBitmap(&picture);
  for (bool raw : {false, true}) {
    SCOPED_TRACE(raw);
    source.CopyToClipboard(raw);
    TTestView view(20, 10, lk8g);  // another format than the picture's
    TLKBitmap* b = view.GetLKBitmap();
    b->Fill(0);
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    // Client (20, 0) is bitmap (15, 10) at 200 % scrolled by (10, 20); the
    // picture then lies at columns 15..20 and rows 10..13: all outside
    // vertically. Client (20, -14) is (15, 3).
    proc.PointPasteFromClip(20, 0, false);
    EXPECT_EQ(proc.GetUndoCaptions(0), "PointPasteFromClip 15,10");
    EXPECT_TRUE(b->IsAllBlack());
    proc.PointPasteFromClip(20, -14, false);
    EXPECT_EQ(proc.GetUndoCaptions(0), "PointPasteFromClip 15,3");
    EXPECT_NE(b->GetPixels_lk8(19, 6), 0);
    EXPECT_EQ(b->GetPixels_lk8(14, 6), 0);
    EXPECT_EQ(b->GetPixels_lk8(19, 7), 0);
  }
}

TEST_P(Clipboard, PointPasteWithMergedAlphaLeavesTransparentParts) {
  StorageScope storage(GetParam());
  TLKBitmap picture(4, 1, lk24RGB);
  picture.Fill(RGB2TColor(255, 255, 255));
  picture.SetAlpha(0, 0, 0);
  TLumerakProc source;
  source.SetAttachedLKBitmap(&picture);
  source.CopyToClipboard(true);
  for (bool merge : {false, true}) {
    TLKBitmap b(6, 2, lk24RGB);
    b.Fill(0);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&b);
    proc.PointPasteFromClip(-1, 1, merge);  // column 0 of the picture falls outside
    EXPECT_EQ(b.GetPixels(0, 1).r, 255);
    EXPECT_EQ(b.GetPixels(2, 1).r, 255);
    EXPECT_EQ(b.GetPixels(3, 1).r, 0);
    EXPECT_EQ(b.GetPixels(1, 0).r, 0);
    proc.PointPasteFromClip(3, 0, merge);
    EXPECT_EQ(b.GetPixels(3, 0).r, merge ? 0 : 255);
    EXPECT_EQ(b.GetPixels(4, 0).r, 255);
  }
}

TEST_P(Clipboard, SelectionPastesThroughTheMaskOrOverTheBox) {
  StorageScope storage(GetParam());
  TLKBitmap picture(3, 3, lk24RGB);
  picture.Fill(RGB2TColor(255, 255, 255));
  TLumerakProc source;
  source.SetAttachedLKBitmap(&picture);
  source.CopyToClipboard(false);
  for (bool stretch : {false, true}) {
    SCOPED_TRACE(stretch);
    TTestView view(20, 20, lk24RGB);
    view.GetLKBitmap()->Fill(0);
    // An elliptic selection inside the box (4, 4)-(15, 15).
    view.Mask.Empty();
    for (Integer y = 4; y <= 15; ++y)
      for (Integer x = 4; x <= 15; ++x)
        if ((x - 9.5) * (x - 9.5) + (y - 9.5) * (y - 9.5) <= 36) view.Mask.SetPixel(x, y, 1);
    view.Mask.SyncRect();
    view.Selected = true;
    TLumerakProc proc;
    proc.SetAttachedLumerak(&view);
    if (stretch) proc.SelPasteFromClipStretch(false);
    else proc.SelPasteFromClip(false);
    TLKBitmap* b = view.GetLKBitmap();
    EXPECT_EQ(b->GetPixels(9, 9), (TRGB{255, 255, 255}));
    EXPECT_EQ(b->GetPixels(view.Mask.GetX1(), view.Mask.GetY1()).r, stretch ? 255 : 0);
    EXPECT_EQ(b->GetPixels(2, 2).r, 0);
    EXPECT_EQ(proc.GetUndoCaptions(0), stretch ? "SelPasteFromClipStretch" : "SelPasteFromClip");
  }
}

INSTANTIATE_TEST_SUITE_P(Storage, Clipboard, ::testing::Bool());

TEST(ClipboardData, RawPasteIntoAClassLibraryBitmap) {
  TLKBitmap deep(5, 4, lk48RGB);
  FillDistinct(&deep);
  TLumerakProc source;
  source.SetAttachedLKBitmap(&deep);
  source.CopyToClipboard(true);
  TBitmap vcl(2, 2, pf8bit);
  TLumerakProc proc;
  proc.SetAttachedBitmap(&vcl);
  proc.PasteFromClipboard();  // a format the class-library bitmap cannot hold arrives as 24 bits
  EXPECT_EQ(vcl.GetWidth(), 5);
  EXPECT_EQ(vcl.GetPixelFormat(), pf24bit);
}

TEST(ClipboardData, UnfetchableOrHostileDataChangesNothing) {
  TLKBitmap b(4, 4, lk24RGB);
  FillDistinct(&b);
  TLKBitmap original;
  original.Assign(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  FakeClipboard fake;
  ClipboardScope scope(&fake);
  // The private format announced but not to be had: the DIB is not tried.
  fake.data[LKRAWCLIPFORMAT_NAME] = {1, 2, 3};
  fake.data[LKDIBCLIPFORMAT_NAME] = _CopyBitmaptoDIBEx(&original, 0, 0, 2, 2);
  fake.fetches = false;
  proc.PasteFromClipboard();
  // A damaged raw stream or DIB: nothing either.
  fake.fetches = true;
  proc.PasteFromClipboard();
  fake.data.erase(LKRAWCLIPFORMAT_NAME);
  fake.data[LKDIBCLIPFORMAT_NAME].resize(45);
  proc.PasteFromClipboard();
  proc.PointPasteFromClip(0, 0, true);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_TRUE(SameImage(&b, &original));
}

// An enhanced metafile of 30 x 20 pixels with a red rectangle over
// (10, 5)-(20, 15) and nothing else.
std::vector<Byte> RedBoxMetafile() {
  mfkit::Emf e;
  e.Rec(39, {1, 0, mfkit::Rgb(255, 0, 0), 0});
  e.Rec(37, {1});
  e.Rec(37, {0x80000008u});
  e.Rec(43, {10, 5, 20, 15});
  const std::string s = e.Bytes(30, 20);
  return std::vector<Byte>(s.begin(), s.end());
}

TEST(ClipboardData, AMetafileAloneIsPastedAtItsOwnSizeWithAlpha) {
  TLKBitmap b(4, 4, lk24RGB);
  FillDistinct(&b);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&b);
  FakeClipboard fake;
  ClipboardScope scope(&fake);
  fake.data[LKEMFCLIPFORMAT_NAME] = RedBoxMetafile();
  // Point and selection pastes take pictures only.
  proc.PointPasteFromClip(0, 0, false);
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_EQ(proc.GetUndoCount(), 0);

  proc.PasteFromClipboard();
  ASSERT_EQ(b.GetWidth(), 30);
  ASSERT_EQ(b.GetHeight(), 20);
  EXPECT_EQ(proc.GetUndoCount(), 1);
  const TRGB inside = *b.GetPPixels_lk24RGB(15, 10);
  EXPECT_EQ(inside.r, 255);
  EXPECT_EQ(inside.g, 0);
  ASSERT_TRUE(b.GetHasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(15, 10), 255);
  EXPECT_EQ(b.GetAlpha(2, 2), 0);

  // A picture beside it wins; a metafile that is no enhanced one, or is
  // damaged, changes nothing.
  TLKBitmap small(3, 2, lk24RGB);
  FillDistinct(&small);
  fake.data[LKDIBCLIPFORMAT_NAME] = _CopyBitmaptoDIBEx(&small, 0, 0, 0, 0);
  proc.PasteFromClipboard();
  EXPECT_EQ(b.GetWidth(), 3);
  fake.data.erase(LKDIBCLIPFORMAT_NAME);
  mfkit::Wmf w;
  w.Rec(0x020C, {20, 30});
  const std::string wmf = w.Bytes(30, 20, 0);
  const std::vector<Byte> whole = RedBoxMetafile();
  const std::vector<std::vector<Byte>> refused = {std::vector<Byte>(wmf.begin(), wmf.end()), {1, 0, 0, 0, 88},
                                                  std::vector<Byte>(whole.begin(), whole.begin() + 60)};
  const Integer undo = proc.GetUndoCount();
  for (const auto& bytes : refused) {
    fake.data[LKEMFCLIPFORMAT_NAME] = bytes;
    proc.PasteFromClipboard();
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(proc.GetUndoCount(), undo);
  }
}

}  // namespace
