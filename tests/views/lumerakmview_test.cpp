#include "views/lumerakmview.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <random>
#include <algorithm>
#include <memory>
#include <set>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/controls.h"
#include "tests/core/bitmap_fixtures.h"
#include "tests/views/view_fixture.h"
#include "views/lkmio.h"
#include "views/lkmloader.h"
#include "views/lkpresetim.h"
#include "views/lumerakvect.h"
#include "processing/lkcompare.h"
#include "processing/lktransitions.h"

namespace {

namespace fs = std::filesystem;
using bitmap_test::TempFolder;

// A thumbnail view in a shown top-level window.
class MViewTest : public testing::Test {
 protected:
  void SetUp() override {
    LKInstallDefaultLZW();
    form_.resize(700, 500);
    view_ = new TLumerakMView();
    view_->SetParentWindow(&form_);
    view_->SetBounds(0, 0, 440, 330);
    form_.show();
  }
  void TearDown() override { delete view_; }

  // Appends N entries holding small pictures of distinct colours.
  void AddPictures(Integer N) {
    for (Integer i = 0; i < N; ++i) {
      const Integer idx = view_->AppendImage();
      TLKBitmap b(20 + i, 10, lk24RGB);
      b.Fill(i * 10);
      view_->SetLKBitmap(idx, &b);
    }
  }

  std::vector<Integer> Listed() {
    std::vector<Integer> out;
    for (Integer i = 0; i < view_->MultiSelectedImagesCount(); ++i) out.push_back(view_->MultiSelectedImages(i));
    return out;
  }

  // Client point inside the cell of entry Idx.
  TPoint CellPoint(Integer Idx) {
    return TPoint{view_->GetImageX(Idx) - view_->GetViewX() + 10, view_->GetImageY(Idx) - view_->GetViewY() + 10};
  }

  void Click(Integer Idx, TShiftState Shift = {}) {
    const TPoint p = CellPoint(Idx);
    view_->SetUserAction(true);
    view_->SelectAtPos(p.X, p.Y, Shift);
    view_->SetUserAction(false);
  }

  QWidget form_;
  TLumerakMView* view_ = nullptr;
  TempFolder temp_;
};

// Writes a W x H picture of colour Grey to Name with our own writer.
void WritePicture(const String& Name, Integer W, Integer H, Byte Grey) {
  TLKBitmap b(W, H, lk24RGB);
  b.Fill(Grey);
  TLumerakIO io;
  io.SetAttachedLKBitmap(&b);
  io.SaveToFile(Name);
  io.SetAttachedLKBitmap(nullptr);
}

TEST_F(MViewTest, ListOperationsKeepTheSelectionAndTheRecords) {
  AddPictures(5);
  TLumerakMIO* mio = view_->GetLumerakMIO();
  ASSERT_EQ(mio->GetParamsCount(), 5);
  for (Integer i = 0; i < 5; ++i) mio->GetParams(i)->GIF_DELAYTIME = i;  // tag each record
  // Deleting an entry before the selected one keeps the same image selected.
  view_->SetSelectedItem(3);
  view_->DeleteImage(1);
  EXPECT_EQ(view_->GetSelectedImage(), 2);
  EXPECT_EQ(mio->GetParams(1)->GIF_DELAYTIME, 2);
  // Deleting the selected last entry selects the new last entry.
  view_->SetSelectedItem(3);
  view_->DeleteImage(3);
  EXPECT_EQ(view_->GetSelectedImage(), 2);
  EXPECT_EQ(mio->GetParamsCount(), 3);
  // Moving the selected entry past the end moves it there and selects nothing.
  view_->SetSelectedItem(0);
  view_->MoveImage(0, 10);
  EXPECT_EQ(view_->GetSelectedImage(), -1);
  EXPECT_EQ(mio->GetParams(2)->GIF_DELAYTIME, 0);
  // Sorting keeps the selected position and every record with its image.
  view_->SetSelectedItem(0);
  view_->Sort([&](Integer a, Integer b) { return view_->GetImageWidth(a) - view_->GetImageWidth(b); });
  EXPECT_EQ(view_->GetSelectedImage(), 0);
  for (Integer i = 0; i < 3; ++i) EXPECT_EQ(mio->GetParams(i)->GIF_DELAYTIME, view_->GetImageWidth(i) - 20) << i;
  // Inserting copies the encoding options of the record it goes before.
  mio->GetParams(1)->JPEG_QUALITY = 33;
  view_->InsertImageEx(1);
  EXPECT_EQ(mio->GetParamsCount(), 4);
  EXPECT_EQ(mio->GetParams(1)->JPEG_QUALITY, 33);
}

TEST_F(MViewTest, EntryFieldsAndOutOfRangeAnswers) {
  AddPictures(1);
  view_->SetImageID(0, 7);
  view_->SetImageFileName(0, "/x/a.jpg");
  EXPECT_EQ(view_->GetImageID(0), -1);
  view_->SetImageID(0, 9);
  EXPECT_EQ(view_->GetImageFileName(0), "");
  EXPECT_EQ(view_->GetImageID(5), -1);
  EXPECT_EQ(view_->GetImageTopText(-1), nullptr);
  EXPECT_EQ(view_->GetImageX(3), 0);
  EXPECT_FALSE(view_->DeleteImageNU(4));
  view_->MoveImage(-1, 0);
  EXPECT_EQ(view_->GetImageCount(), 1);
}

TEST_F(MViewTest, CaptionsRaiseTheGapsAndNeverLowerThem) {
  AddPictures(1);
  view_->Style = lkmsACD;
  TLKMText* bottom = view_->GetImageBottomText(0);
  bottom->GetFont()->SetHeight(16);
  const Integer h = bottom->GetFont()->GetHeight();
  bottom->SetCaption("Caption");
  EXPECT_GE(view_->GetBottomGap(), h);
  const Integer gap = view_->GetBottomGap();
  bottom->GetFont()->SetHeight(8);
  bottom->SetCaption("small");
  EXPECT_EQ(view_->GetBottomGap(), gap);
  TLKMText* top = view_->GetImageTopText(0);
  top->GetFont()->SetHeight(16);
  top->SetCaption("Top");
  // Text height + 2 on top; + 4 below with three-dimensional frames.
  EXPECT_EQ(view_->GetUpperGap(), gap - 2);
}

TEST_F(MViewTest, ShiftCtrlAndRegionSelection) {
  AddPictures(12);
  view_->SetGridWidth(4);
  view_->EnableMultiSelect = true;
  struct Case {
    const char* name;
    bool region;
    Integer from, to;
    std::vector<Integer> expect;
  } cases[] = {
      {"range up", false, 2, 7, {2, 3, 4, 5, 6, 7}},
      {"range down", false, 7, 2, {7, 6, 5, 4, 3, 2}},
      {"region", true, 1, 10, {1, 2, 5, 6, 9, 10}},
  };
  for (const Case& c : cases) {
    view_->MultiSelectionOptions = c.region ? TLKMultiSelectionOptions{lkmoRegion} : TLKMultiSelectionOptions{};
    view_->Deselect();
    Click(c.from);
    Click(c.to, TShiftState{ssShift});
    EXPECT_EQ(Listed(), c.expect) << c.name;
    EXPECT_EQ(view_->GetSelectedImage(), c.to) << c.name;
  }
  // Ctrl-click on a listed image removes it and leaves no selected index;
  // a second one adds it back.
  std::vector<Integer> deselected;
  view_->OnImageDeselect = [&](TObject*, Integer i) { deselected.push_back(i); };
  Click(5, TShiftState{ssCtrl});
  EXPECT_FALSE(view_->IsSelected(5));
  EXPECT_EQ(view_->GetSelectedImage(), -1);
  EXPECT_EQ(deselected, std::vector<Integer>{5});
  Click(5, TShiftState{ssCtrl});
  EXPECT_TRUE(view_->IsSelected(5));
  EXPECT_EQ(view_->GetSelectedImage(), 5);
  // Events fire for the user only.
  deselected.clear();
  view_->Deselect();
  EXPECT_TRUE(deselected.empty());
  // Select all lists everything with the last selected.
  view_->SelectAll();
  EXPECT_EQ(view_->MultiSelectedImagesCount(), 12);
  EXPECT_EQ(view_->GetSelectedImage(), 11);
  view_->DeleteSelectedImages();
  EXPECT_EQ(view_->GetImageCount(), 0);
}

TEST_F(MViewTest, WithoutMultiSelectClicksSelectSingleImages) {
  AddPictures(6);
  Click(1);
  Click(4, TShiftState{ssShift});
  EXPECT_EQ(view_->GetSelectedImage(), 4);
  EXPECT_FALSE(view_->IsSelected(4));
  view_->DeleteSelectedImages();
  EXPECT_EQ(view_->GetImageCount(), 6);
}

TEST_F(MViewTest, SeekKeys) {
  AddPictures(20);
  struct Case {
    Integer grid, from;
    TLKSeek seek;
    Integer expect;
  } cases[] = {
      {4, -1, iskRight, 0}, {4, -1, iskDown, 3}, {0, -1, iskDown, 0}, {4, -1, iskLeft, -1}, {4, -1, iskUp, -1},
      {4, 5, iskUp, 1},     {4, 5, iskDown, 9},  {0, 5, iskUp, 4},    {4, 5, iskLast, 19},  {4, 5, iskFirst, 0},
      {4, 18, iskDown, 19}, {4, 2, iskUp, 0},
  };
  for (const Case& c : cases) {
    view_->SetGridWidth(c.grid);
    view_->Deselect();
    if (c.from >= 0) view_->SetSelectedItem(c.from);
    view_->SelectSeek(c.seek);
    EXPECT_EQ(view_->GetSelectedImage(), c.expect) << c.grid << " " << c.from << " " << int(c.seek);
  }
  // The last entry is scrolled into view.
  view_->SetGridWidth(4);
  view_->SetSelectedItem(0);
  view_->SelectSeek(iskLast);
  EXPECT_EQ(view_->GetImageVisibility(19), 2);
  EXPECT_GT(view_->GetViewY(), 0);
}

TEST_F(MViewTest, MousePressDragAndRelease) {
  AddPictures(8);
  view_->SetGridWidth(4);
  view_->EnableMultiSelect = true;
  Integer selects = 0;
  view_->OnImageSelect = [&](TObject*, Integer) { ++selects; };
  TPoint p = CellPoint(1);
  view_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  view_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(view_->GetSelectedImage(), 1);
  EXPECT_GE(selects, 1);
  // Pressing on an already listed image and releasing collapses to it.
  Click(3, TShiftState{ssShift});
  EXPECT_EQ(view_->MultiSelectedImagesCount(), 3);
  p = CellPoint(2);
  view_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(view_->MultiSelectedImagesCount(), 3);
  view_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(p.X, p.Y));
  EXPECT_EQ(Listed(), std::vector<Integer>{2});
  // With only scrolling, a drag moves the view and never the selection.
  view_->SetThumbHeight(200);
  view_->MouseInteract = TLKMMouseInteract{mmiScroll};
  view_->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 150));
  view_->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(50, 100));
  view_->Perform(WM_LBUTTONUP, 0, MAKELPARAM(50, 100));
  EXPECT_EQ(view_->GetViewY(), 50);
  EXPECT_EQ(Listed(), std::vector<Integer>{2});
}

TEST_F(MViewTest, CellsDrawFittedAndTheDisplayCopyLooksTheSame) {
  view_->SetHorizBorder(0);
  view_->SetVertBorder(0);
  view_->Style = lkmsFlat;
  view_->ThumbnailsBackground = clWhite;
  const Integer idx = view_->AppendImage();
  view_->Deselect();
  TLKBitmap b(400, 300, lk24RGB);
  b.Fill(0);  // black picture in a white cell
  view_->SetLKBitmap(idx, &b);
  TBitmap first(440, 330, pf24bit), second(440, 330, pf24bit);
  view_->PaintTo(&first);
  ASSERT_TRUE(view_->HasDisplayCopy(idx));
  view_->PaintTo(&second);
  // 100 x 75 at (0, 12): white above, black inside, white below.
  auto at = [](TBitmap& bm, Integer x, Integer y) { return bm.ScanLine(y)[x * 3]; };
  EXPECT_EQ(at(first, 50, 11), 255);
  EXPECT_EQ(at(first, 50, 12), 0);
  EXPECT_EQ(at(first, 50, 86), 0);
  EXPECT_EQ(at(first, 50, 87), 255);
  for (Integer y = 0; y < 100; ++y)
    for (Integer x = 0; x < 100; ++x) ASSERT_EQ(at(first, x, y), at(second, x, y)) << x << "," << y;
}

TEST_F(MViewTest, PlayingUsesEachFramesDelay) {
  AddPictures(3);
  view_->SetImageDelayTime(0, 0);
  view_->SetImageDelayTime(1, 50);
  view_->SetImageDelayTime(2, 200);
  view_->SetPlaying(true);
  EXPECT_EQ(view_->GetDisplayMode(), mdSingle);
  std::vector<Cardinal> periods{view_->GetPlayInterval()};
  for (int i = 0; i < 3; ++i) {
    view_->GetPlayTimer()->Timer();
    periods.push_back(view_->GetPlayInterval());
  }
  EXPECT_EQ(periods, (std::vector<Cardinal>{10, 50, 200, 10}));
  view_->SetPlaying(false);
  EXPECT_EQ(view_->GetDisplayMode(), mdGrid);
  // An empty view plays nothing and plays again once it has entries.
  view_->Clear();
  view_->SetPlaying(true);
  view_->SetPlaying(false);
  AddPictures(2);
  view_->SetPlaying(true);
  EXPECT_GT(view_->GetPlayInterval(), 0u);
  view_->SetPlaying(false);
}

TEST_F(MViewTest, FolderLoadsThroughTheWorkersWithPlaceholdersForBadFiles) {
  const String dir = String(temp_.path()) + "pics/";
  fs::create_directories(dir);
  for (int i = 0; i < 12; ++i) WritePicture(dir + "p" + std::to_string(10 + i) + ".png", 60 + i, 40, Byte(i * 20));
  WritePicture(dir + "a.jpg", 300, 200, 90);
  {
    std::ofstream bad(dir + "bad.jpg", std::ios::binary);  // random bytes with a picture extension
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) bad.put(static_cast<char>(rng()));
    std::ofstream(dir + "notes.txt") << "not a picture";
  }
  view_->StoreType = lktThumb;
  view_->SetThreadPoolSize(2);
  view_->SetGridWidth(-1);
  view_->FillFromDirectory(dir);
  ASSERT_EQ(view_->GetImageCount(), 14);
  EXPECT_EQ(view_->GetImageBottomText(0)->GetCaption(), "a.jpg");
  bool all = false;
  view_->OnAllDisplayed = [&](TObject*) { all = true; };
  view_->Deselect();
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  EXPECT_FALSE(all);
  ASSERT_TRUE(view_->WaitLoaded(20000));
  EXPECT_LE(view_->GetLoader()->GetPeakRunning(), 2);
  view_->PaintTo(&screen);
  EXPECT_TRUE(all);
  // The JPEG keeps its file's size as original size; thumbnails fit the cell.
  EXPECT_EQ(view_->GetImageOriginalWidth(0), 300);
  EXPECT_LE(view_->GetImageWidth(0), 100);
  // The damaged file shows the placeholder: a white cell with a blue mark.
  ASSERT_TRUE(view_->HasStoredImage(1));
  TLKBitmap placeholder;
  view_->CopyToLKBitmap(1, &placeholder);
  EXPECT_EQ(placeholder.GetWidth(), 100);
  const TRGB corner = placeholder.GetPixels_lk24RGB(1, 1);
  EXPECT_EQ(corner.r + corner.g + corner.b, 3 * 255);
  bool blue = false;
  for (Integer y = 0; y < 100 && !blue; ++y)
    for (Integer x = 0; x < 100 && !blue; ++x) {
      const TRGB p = placeholder.GetPixels_lk24RGB(x, y);
      blue = p.b > 200 && p.r < 60 && p.g < 60;
    }
  EXPECT_TRUE(blue);
  // The records of the component hold each read's parameters.
  EXPECT_EQ(view_->GetLumerakMIO()->GetParams(0)->JPEG_ORIGINALWIDTH, 300);
}

TEST_F(MViewTest, ScrollingAwayDropsRequestsAndFarImagesAreReleased) {
  const String dir = String(temp_.path()) + "many/";
  fs::create_directories(dir);
  WritePicture(dir + "x.png", 30, 20, 50);
  view_->StoreType = lktThumb;
  view_->SetGridWidth(-1);
  view_->OnDemandKeepRange = 2;
  for (int i = 0; i < 300; ++i) {
    const Integer idx = view_->AppendImage();
    view_->SetImageFileName(idx, dir + "x.png");
  }
  view_->Deselect();
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  // Jump to the end before the first screen finished: early requests go.
  view_->SetViewY(view_->GetMaximumViewY());
  view_->PaintTo(&screen);
  ASSERT_TRUE(view_->WaitLoaded(20000));
  view_->PaintTo(&screen);
  EXPECT_FALSE(view_->HasStoredImage(0));
  EXPECT_TRUE(view_->HasStoredImage(299));
  TLumerakMIO* mio = view_->GetLumerakMIO();
  EXPECT_EQ(mio->GetParams(299)->WIDTH, 30);
  // Going back reads the first ones again; the far end is released, and so
  // is what its read wrote in its record.
  view_->SetViewY(0);
  view_->PaintTo(&screen);
  ASSERT_TRUE(view_->WaitLoaded(20000));
  view_->PaintTo(&screen);
  EXPECT_TRUE(view_->HasStoredImage(0));
  EXPECT_FALSE(view_->HasStoredImage(299));
  EXPECT_EQ(mio->GetParams(0)->WIDTH, 30);
  EXPECT_EQ(mio->GetParams(299)->WIDTH, TIOParamsVals().WIDTH);
}

TEST_F(MViewTest, ResultsOfVisibleCellsAreStoredBeforeTheOthers) {
  const String dir = String(temp_.path()) + "due/";
  fs::create_directories(dir);
  WritePicture(dir + "x.png", 30, 20, 50);
  view_->StoreType = lktThumb;
  view_->SetGridWidth(-1);
  view_->SetThreadPoolSize(3);
  view_->LookAhead = 40;
  for (int i = 0; i < 300; ++i) view_->SetImageFileName(view_->AppendImage(), dir + "x.png");
  view_->Deselect();
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  ASSERT_TRUE(view_->GetLoader()->WaitIdle(20000));
  // With no time to spare, only the cells on the screen are stored; the
  // look-ahead reads wait and are not asked for again.
  view_->TakeDueImages(0);
  Integer visible = 0;
  for (Integer i = 0; i < view_->GetImageCount(); ++i) {
    EXPECT_EQ(view_->HasStoredImage(i), view_->IsVisible(i)) << i;
    visible += view_->IsVisible(i);
  }
  EXPECT_GT(visible, 0);
  EXPECT_EQ(view_->GetResultsWaiting(), 40);
  for (Integer i = 0; i < view_->GetImageCount(); ++i)
    if (!view_->HasStoredImage(i) && view_->IsLookAhead(i)) view_->ObtainImageThreaded(i);
  EXPECT_EQ(view_->GetJobsWaiting() + view_->GetJobsRunning(), 0);
  // A budget stores the rest, and so does taking everything.
  view_->TakeDueImages(1000);
  EXPECT_EQ(view_->GetResultsWaiting(), 0);
  EXPECT_EQ(view_->TakeLoadedImages(), 0);
  Integer stored = 0;
  for (Integer i = 0; i < view_->GetImageCount(); ++i) stored += view_->HasStoredImage(i);
  EXPECT_EQ(stored, visible + 40);
}

TEST_F(MViewTest, SynchronousReadsWithoutWorkers) {
  const String name = String(temp_.path()) + "s.png";
  WritePicture(name, 30, 20, 70);
  view_->SetThreadPoolSize(0);
  view_->AppendImage();
  view_->SetImageFileName(0, name);
  view_->AppendImage();
  view_->SetImageFileName(1, String(temp_.path()) + "gone.png");  // vanished file
  view_->Deselect();
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  EXPECT_TRUE(view_->HasStoredImage(0));
  EXPECT_TRUE(view_->HasStoredImage(1));
  EXPECT_EQ(view_->GetJobsRunning() + view_->GetJobsWaiting(), 0);
  EXPECT_EQ(view_->GetImageOriginalWidth(0), 30);
  // With RemoveCorrupted the unreadable entry goes instead.
  view_->ReloadImage(1);
  view_->RemoveCorrupted = true;
  view_->PaintTo(&screen);
  EXPECT_EQ(view_->GetImageCount(), 1);
}

TEST_F(MViewTest, MultiPageFilesRoundTripThroughTheComponent) {
  AddPictures(3);
  view_->SetImageDelayTime(0, 70);
  view_->SetImageDelayTime(1, 0);
  view_->SetImageDelayTime(2, 120);
  TLumerakMIO* mio = view_->GetLumerakMIO();
  const String tif = String(temp_.path()) + "m.tif", gif = String(temp_.path()) + "m.gif";
  mio->SaveToFile(tif);
  EXPECT_FALSE(mio->GetAborted());
  mio->SaveToFile(gif);
  EXPECT_FALSE(mio->GetAborted());
  EXPECT_EQ(LKMGetFileFramesCount(tif), 3);
  EXPECT_EQ(LKMGetFileFramesCount(gif), 3);
  // Pages go in at the selected index.
  view_->SetSelectedItem(1);
  mio->LoadFromFile(tif);
  EXPECT_FALSE(mio->GetAborted());
  ASSERT_EQ(view_->GetImageCount(), 6);
  EXPECT_EQ(view_->GetImageWidth(1), 20);
  EXPECT_EQ(view_->GetImageWidth(2), 21);
  EXPECT_EQ(view_->GetImageWidth(3), 22);
  EXPECT_EQ(mio->GetParamsCount(), 6);
  // GIF frames come with their delays; a frame without one keeps the last.
  view_->Clear();
  mio->LoadFromFile(gif);
  ASSERT_EQ(view_->GetImageCount(), 3);
  EXPECT_EQ(view_->GetImageDelayTime(0), 70);
  EXPECT_EQ(view_->GetImageDelayTime(1), 70);
  EXPECT_EQ(view_->GetImageDelayTime(2), 120);
  EXPECT_EQ(mio->GetParams(1)->GIF_XPOS, 0);
  // Frames on demand: "name::i" entries read when drawn, one reader per file.
  view_->LoadFromFileOnDemand(tif);
  ASSERT_EQ(view_->GetImageCount(), 3);
  EXPECT_EQ(view_->GetImageFileName(2), tif + "::2");
  EXPECT_FALSE(view_->ObtainImageThreaded(2));
  EXPECT_TRUE(view_->ObtainImageNow(2));
  EXPECT_EQ(view_->GetImageWidth(2), 22);
  // Documents of all pages.
  const String ps = String(temp_.path()) + "m.ps", pdf = String(temp_.path()) + "m.pdf";
  mio->SaveToFile(ps);
  mio->SaveToFile(pdf);
  std::ifstream a(ps), b(pdf);
  std::string la, lb;
  std::getline(a, la);
  std::getline(b, lb);
  EXPECT_EQ(la.rfind("%!PS", 0), 0u);
  EXPECT_EQ(lb.rfind("%PDF", 0), 0u);
}

TEST_F(MViewTest, BadMultiPageInputFailsCleanly) {
  TLumerakMIO* mio = view_->GetLumerakMIO();
  const String bad = String(temp_.path()) + "bad.tif";
  std::ofstream(bad, std::ios::binary) << "II*\0garbage that is no TIFF";
  struct Case {
    String name;
  } cases[] = {{""}, {"   "}, {bad}, {String(temp_.path()) + "missing.gif"}, {String(temp_.path()) + "v.avi"}};
  for (const Case& c : cases) {
    mio->LoadFromFile(c.name);
    EXPECT_TRUE(mio->GetAborted()) << c.name;
    EXPECT_EQ(view_->GetImageCount(), 0) << c.name;
  }
  // Video frames count none until video files are read.
  std::ofstream(String(temp_.path()) + "v.avi") << "RIFF";
  EXPECT_EQ(LKMGetFileFramesCount(String(temp_.path()) + "v.avi"), 0);
  // A save to an extension without a multi-page writer fails.
  AddPictures(1);
  mio->SaveToFile(String(temp_.path()) + "x.bmp");
  EXPECT_TRUE(mio->GetAborted());
}

}  // namespace

namespace {

TEST_F(MViewTest, PresetFramesTintTheirWhitePartsAndHoldTheCell) {
  ASSERT_EQ(LKPresetImages().size(), 4u);
  const Integer sizes[4][2] = {{162, 159}, {112, 100}, {163, 108}, {150, 150}};
  for (size_t i = 0; i < 4; ++i) {
    const TLKPresetImage& p = LKPresetImages()[i];
    EXPECT_EQ(std::memcmp(p.Data, "\x89PNG", 4), 0);
    TLKBitmap b;
    TLumerakIO io;
    io.SetAttachedLKBitmap(&b);
    io.LoadFromBuffer(p.Data, p.Size, p.FileType);
    io.SetAttachedLKBitmap(nullptr);
    EXPECT_EQ(b.GetWidth(), sizes[i][0]);
    EXPECT_EQ(b.GetHeight(), sizes[i][1]);
    EXPECT_LT(p.Inner.Right, sizes[i][0]);
  }
  view_->SetPresetThumbnailFrame(9, clRed, clRed);  // out of range: nothing
  EXPECT_EQ(view_->GetThumbWidth(), 100);
  AddPictures(2);
  view_->SetHorizBorder(0);
  view_->SetVertBorder(0);
  view_->SetPresetThumbnailFrame(3, clWhite, clRed);
  EXPECT_EQ(view_->GetThumbWidth(), 150);
  EXPECT_FALSE(view_->ShowText);
  view_->SetSelectedItem(1);
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  auto at = [&](Integer x, Integer y) {
    const Byte* p = screen.ScanLine(y) + x * 3;
    return TRGB{p[0], p[1], p[2]};
  };
  // Frame 3 is white between its outer and inner outlines: white around the
  // first cell, red around the selected second one.
  const TRGB plain = at(8, 75), red = at(150 + 8, 75);
  EXPECT_GE(plain.r + plain.g + plain.b, 3 * 250);
  EXPECT_GE(red.r, 250);
  EXPECT_EQ(red.g, 0);
  EXPECT_EQ(red.b, 0);
  // The picture lies inside the inner rectangle.
  const TRGB inside = at(150 + 74, 75);
  EXPECT_EQ(inside.r, 10);
}

}  // namespace

namespace {

TEST_F(MViewTest, ScrollBarsFollowTheGrid) {
  view_->SetScrollBars(ssHorizontal);
  view_->SetThumbHeight(109);
  view_->SetBounds(0, 0, 210, 250);
  AddPictures(3);
  EXPECT_TRUE(view_->GetScrollBarState(SB_HORZ).Shown);
  EXPECT_FALSE(view_->GetScrollBarState(SB_VERT).Shown);
  view_->SetViewX(10000);
  EXPECT_EQ(view_->GetViewX(), view_->GetMaximumViewX());
  EXPECT_GT(view_->GetViewX(), 0);
  view_->DeleteImage(2);
  view_->DeleteImage(1);
  EXPECT_FALSE(view_->GetScrollBarState(SB_HORZ).Shown);
  EXPECT_EQ(view_->GetViewX(), 0);
}

}  // namespace

namespace {

TEST_F(MViewTest, EntriesNamedByAnIdAreServedByTheEventWhenShown) {
  std::vector<Integer> asked;
  TLKBitmap served(50, 40, lk24RGB);
  served.Fill(200);
  view_->OnImageIDRequestEx = [&](TObject*, Integer ID, TLKBitmap*& B) {
    asked.push_back(ID);
    B = ID == 2 ? nullptr : &served;  // the handler keeps its bitmap
  };
  for (Integer id = 0; id < 3; ++id) view_->SetImageID(view_->AppendImage(), id);
  view_->Deselect();
  EXPECT_FALSE(view_->ObtainImageThreaded(0));  // served at once, not by the workers
  TBitmap screen(440, 330, pf24bit);
  view_->PaintTo(&screen);
  EXPECT_EQ(asked, (std::vector<Integer>{0, 1, 2}));
  EXPECT_EQ(view_->GetImageWidth(1), 50);
  EXPECT_FALSE(view_->HasStoredImage(2));  // nothing handed back: nothing stored
}

}  // namespace

namespace {

// Red byte of pixel (X, Y) of a 24-bit bitmap.
Byte RedAt(TBitmap* B, Integer X, Integer Y) { return B->ScanLine(Y)[X * 3 + 2]; }

TEST_F(MViewTest, WallpaperLiesOverTheBackgroundAndUnderTheCells) {
  TBitmap green(16, 16, pf24bit);
  green.GetCanvas()->GetBrush()->SetColor(RGB(0, 200, 0));
  green.GetCanvas()->FillRect(TRect{0, 0, 16, 16});
  TPicture wall;
  wall.SetGraphic(&green);
  view_->SetWallPaper(&wall);
  wall.SetGraphic(nullptr);  // the view keeps its own copy
  view_->SetBackGround(clBlack);
  AddPictures(1);
  struct Case {
    TLKWallPaperStyle Style;
    bool FarCornerGreen;
  };
  for (const Case& c : {Case{lkwoNormal, false}, Case{lkwoTile, true}, Case{lkwoStretch, true}}) {
    SCOPED_TRACE(int(c.Style));
    view_->SetWallPaperStyle(c.Style);
    TBitmap screen(440, 330, pf24bit);
    view_->PaintTo(&screen);
    const Byte* corner = screen.ScanLine(329) + 439 * 3;
    EXPECT_EQ(corner[1], c.FarCornerGreen ? 200 : 0);
    EXPECT_EQ(screen.ScanLine(2)[2 * 3 + 1], 200);  // origin: every style
    // The cell covers the wallpaper.
    EXPECT_NE(screen.ScanLine(50)[50 * 3 + 1], 200);
  }
}

TEST_F(MViewTest, ChangingTheShownFrameRunsTheTransitionOverTheCell) {
  for (Byte grey : {Byte(0), Byte(250)}) {
    TLKBitmap b(100, 100, lk24RGB);
    b.Fill(grey);
    view_->SetLKBitmap(view_->AppendImage(), &b);
  }
  view_->Deselect();
  view_->SetDisplayMode(mdSingle);
  DWORD now = 1000;
  TLKTransitionEffects* engine = view_->GetTransitionEngine();
  engine->Clock = [&] { return now; };

  // Without an effect the frame changes at once.
  view_->SetVisibleFrame(1);
  EXPECT_EQ(view_->GetVisibleFrame(), 1);
  EXPECT_FALSE(view_->GetTransitionRunning());

  view_->TransitionEffect = lkttCrossDissolve;
  view_->TransitionDuration = 1000;
  view_->SetVisibleFrame(0);
  EXPECT_EQ(view_->GetVisibleFrame(), 0);
  ASSERT_TRUE(view_->GetTransitionRunning());
  EXPECT_EQ(view_->GetPaintLock(), 1);
  // The engine holds the cell as it was and as it becomes.
  ASSERT_EQ(engine->FromBitmap->GetWidth(), view_->GetThumbWidth());
  EXPECT_EQ(RedAt(engine->FromBitmap.get(), 50, 50), 250);
  EXPECT_EQ(RedAt(engine->ToBitmap.get(), 50, 50), 0);
  for (DWORD t : {1000u, 1500u, 1600u}) {
    now = t;
    engine->GetTimer()->Timer();
  }
  const Byte halfway = RedAt(view_->GetSurface(), 50, 50);
  EXPECT_GT(halfway, 60);
  EXPECT_LT(halfway, 190);
  now = 2000;
  engine->GetTimer()->Timer();
  EXPECT_FALSE(view_->GetTransitionRunning());
  EXPECT_EQ(view_->GetPaintLock(), 0);
  // Out of range or unchanged: nothing starts.
  for (Integer idx : {0, -1, 2}) {
    view_->SetVisibleFrame(idx);
    EXPECT_FALSE(view_->GetTransitionRunning()) << idx;
  }
}

TEST_F(MViewTest, PlayedFramesChangeThroughTheTransition) {
  for (Byte grey : {Byte(0), Byte(250), Byte(120)}) {
    TLKBitmap b(100, 100, lk24RGB);
    b.Fill(grey);
    view_->SetLKBitmap(view_->AppendImage(), &b);
  }
  DWORD now = 1000;
  TLKTransitionEffects* engine = view_->GetTransitionEngine();
  engine->Clock = [&] { return now; };
  view_->TransitionEffect = lkttCrossDissolve;
  view_->TransitionDuration = 40;
  for (Integer f = 0; f < 3; ++f) view_->SetImageDelayTime(f, 100);
  // The first frame shows at once; each tick after it blends the frame on
  // the screen into the next, wrapping round at the end.
  view_->SetPlaying(true);
  EXPECT_FALSE(view_->GetTransitionRunning());
  const std::vector<std::pair<Byte, Byte>> blends{{0, 250}, {250, 120}, {120, 0}};
  for (const auto& [from, to] : blends) {
    view_->GetPlayTimer()->Timer();
    ASSERT_TRUE(view_->GetTransitionRunning());
    EXPECT_EQ(RedAt(engine->FromBitmap.get(), 50, 50), from);
    EXPECT_EQ(RedAt(engine->ToBitmap.get(), 50, 50), to);
    EXPECT_EQ(view_->GetPlayInterval(), 100u);
    now += 100;
    engine->GetTimer()->Timer();
    EXPECT_FALSE(view_->GetTransitionRunning());
    EXPECT_EQ(RedAt(view_->GetSurface(), 50, 50), to);
  }
  // Stopping in the middle of a blend ends it and gives the paint back.
  view_->GetPlayTimer()->Timer();
  ASSERT_TRUE(view_->GetTransitionRunning());
  view_->SetPlaying(false);
  EXPECT_FALSE(view_->GetTransitionRunning());
  EXPECT_EQ(view_->GetPaintLock(), 0);
  EXPECT_EQ(view_->GetDisplayMode(), mdGrid);
}

TEST_F(MViewTest, FlatScrollBarsKeepTheBarsTheGridNeeds) {
  AddPictures(20);
  ASSERT_TRUE(view_->GetScrollBarState(SB_HORZ).Shown);
  // Turning them on hides both bars; the new client size lays the grid out
  // again at once, which brings back the bar it needs, over the full range.
  view_->SetFlatScrollBars(true);
  EXPECT_TRUE(view_->GetFlatScrollBars());
  EXPECT_TRUE(view_->GetScrollBarState(SB_HORZ).Shown);
  EXPECT_FALSE(view_->GetScrollBarState(SB_VERT).Shown);
  EXPECT_EQ(view_->GetScrollBarState(SB_HORZ).Max, 65535);
  view_->SetFlatScrollBars(false);
  view_->Update();
  EXPECT_TRUE(view_->GetScrollBarState(SB_HORZ).Shown);
}

TEST_F(MViewTest, FlatScrollBarsPaintFlat) {
  AddPictures(20);
  ASSERT_TRUE(view_->GetScrollBarState(SB_HORZ).Shown);
  // The horizontal bar as the window paints it.
  auto bar = [&] {
    for (QScrollBar* b : view_->GetPeer()->findChildren<QScrollBar*>())
      if (b->orientation() == Qt::Horizontal && b->isVisible()) return b->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return QImage();
  };
  // Colours of the flat look: track, face, outline and arrow.
  const std::set<QRgb> flatInks = {qRgb(200, 200, 200), qRgb(240, 240, 240), qRgb(160, 160, 160), qRgb(0, 0, 0)};
  auto middleRow = [](const QImage& Img) {
    std::set<QRgb> inks;
    for (int x = 0; x < Img.width(); ++x) inks.insert(Img.pixel(x, Img.height() / 2));
    return inks;
  };
  const QImage standard = bar();
  ASSERT_FALSE(standard.isNull());
  view_->SetFlatScrollBars(true);
  const QImage flat = bar();
  ASSERT_EQ(flat.size(), standard.size());
  EXPECT_NE(flat, standard);
  // Flat: nothing but plain fills across the bar, with track, thumb face and
  // arrows all there; the standard look shades its parts.
  const std::set<QRgb> flatRow = middleRow(flat);
  for (QRgb c : flatRow) EXPECT_TRUE(flatInks.count(c)) << std::hex << c;
  for (QRgb c : flatInks) EXPECT_TRUE(flatRow.count(c)) << std::hex << c;
  const std::set<QRgb> standardRow = middleRow(standard);
  EXPECT_TRUE(std::any_of(standardRow.begin(), standardRow.end(), [&](QRgb c) { return !flatInks.count(c); }));
  // Off gives the standard look back, on the flat one again.
  view_->SetFlatScrollBars(false);
  EXPECT_EQ(bar(), standard);
  view_->SetFlatScrollBars(true);
  EXPECT_EQ(bar(), flat);
}

// A vector view holding a W x H picture of one grey and one feature line
// per given rectangle.
std::unique_ptr<TLumerakVect> MorphEnd(Byte Grey, const std::vector<TRect>& Lines,
                                       TLKPixelFormat Format = lk24RGB) {
  auto v = std::make_unique<TLumerakVect>();
  v->GetLKBitmap()->Allocate(40, 30, Format);
  v->GetLKBitmap()->Fill(Grey);
  for (const TRect& r : Lines) v->SetObjRect(v->AddNewObject(), r);
  return v;
}

TEST_F(MViewTest, MorphingSequenceRunsFromSourceToTarget) {
  const std::vector<TRect> line{TRect{5, 5, 30, 20}};
  auto source = MorphEnd(0, line), target = MorphEnd(200, line);
  view_->CreateMorphingSequence(source.get(), target.get(), 4);
  // Source, three pictures between, target; each blend leans less on the
  // source's warp than the one before.
  ASSERT_EQ(view_->GetImageCount(), 5);
  std::vector<Integer> greys;
  for (Integer i = 0; i < 5; ++i) {
    TLKBitmap b;
    view_->CopyToLKBitmap(i, &b);
    ASSERT_EQ(b.GetWidth(), 40);
    greys.push_back(b.GetPixels_lk24RGB(20, 15).r);
  }
  EXPECT_EQ(greys.front(), 0);
  EXPECT_EQ(greys.back(), 200);
  EXPECT_TRUE(std::is_sorted(greys.begin(), greys.end()));
  EXPECT_GT(greys[3], 100);

  // Pairs that do not match add nothing.
  struct Refused {
    const char* Why;
    std::unique_ptr<TLumerakVect> From, To;
  };
  Refused cases[] = {
      {"no objects", MorphEnd(0, {}), MorphEnd(200, {})},
      {"different counts", MorphEnd(0, line), MorphEnd(200, {line[0], line[0]})},
      {"grey picture", MorphEnd(0, line, lk8g), MorphEnd(200, line)},
  };
  for (Refused& c : cases) {
    view_->CreateMorphingSequence(c.From.get(), c.To.get(), 4);
    EXPECT_EQ(view_->GetImageCount(), 5) << c.Why;
  }
}

}  // namespace

namespace {

TEST_F(MViewTest, DamagedFilesShareOnePlaceholderOfTheCellSize) {
  const String dir = String(temp_.path()) + "bad/";
  fs::create_directories(dir);
  for (const char* name : {"a.jpg", "b.png"}) {
    std::ofstream(dir + name) << "not a picture at all";
  }
  view_->SetThreadPoolSize(0);
  view_->SetGridWidth(-1);
  TBitmap screen(440, 330, pf24bit);
  TLKBitmap first;
  for (Integer cell : {100, 60}) {
    SCOPED_TRACE(cell);
    view_->Clear();
    view_->SetThumbWidth(cell);
    view_->SetThumbHeight(cell);
    view_->FillFromDirectory(dir);
    view_->Deselect();
    view_->PaintTo(&screen);
    TLKBitmap a, b;
    view_->CopyToLKBitmap(0, &a);
    view_->CopyToLKBitmap(1, &b);
    ASSERT_EQ(a.GetWidth(), cell);
    EXPECT_TRUE(_BitmapCompareXEx(&a, &b));
    // A blue mark on white, whatever size it was drawn at.
    bool blue = false;
    for (Integer y = 0; y < cell; ++y)
      for (Integer x = 0; x < cell; ++x) blue = blue || (a.GetPixels_lk24RGB(x, y).b == 255 && a.GetPixels_lk24RGB(x, y).r == 0);
    EXPECT_TRUE(blue);
    EXPECT_TRUE(view_->GetAllDisplayed());
  }
}

}  // namespace
