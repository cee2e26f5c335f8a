// The I/O component's acquisition entry points: a scan through a scripted
// scanner, the failures a caller must see, the per-picture event and the
// screen copies.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QWidget>

#include "acquisition/lkwiadevice.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "tests/acquisition/fake_dsm.h"

namespace {

void ScannerCaps(TFakeDSM& D) {
  D.Caps[ICAP_PIXELTYPE] = {TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, 2};
  D.Caps[ICAP_XFERMECH] = {TWON_ENUMERATION, TWTY_UINT16, {0, 2}, 0};
}

// A 6 x 4 grey picture at 200 x 100 dpi.
TFakePicture WidePicture() {
  TFakePicture P;
  P.Info.XResolution = {200, 0};
  P.Info.YResolution = {100, 0};
  P.Info.ImageWidth = 6;
  P.Info.ImageLength = 4;
  P.Info.SamplesPerPixel = 1;
  P.Info.BitsPerSample[0] = 8;
  P.Info.BitsPerPixel = 8;
  P.Info.PixelType = TWPT_GRAY;
  P.BytesPerRow = 6;
  P.Rows.assign(24, 0x80);
  return P;
}

TEST(AcquireIO, ScanLandsInTheComponentWithItsResolution) {
  for (bool Adjust : {false, true}) {
    TFakeDSM D;
    ScannerCaps(D);
    D.Pictures.push_back(WidePicture());
    TLumerakIO IO;
    IO.SetAutoAdjustDPI(Adjust);
    int Finished = 0;
    IO.OnFinishWork = [&](TObject*) { ++Finished; };
    ASSERT_TRUE(IO.Acquire(lkaTWain));
    EXPECT_FALSE(IO.GetAborted());
    EXPECT_EQ(Finished, 1);
    EXPECT_EQ(IO.GetLKBitmap()->GetWidth(), 6);
    // Equal resolutions asked for: the shorter resolution's side is stretched.
    EXPECT_EQ(IO.GetLKBitmap()->GetHeight(), Adjust ? 8 : 4);
    EXPECT_EQ(IO.GetIOParams()->DPIY, Adjust ? 200 : 100);
  }
}

TEST(AcquireIO, NothingScannedIsAFailureWithAReason) {
  {
    TLKDSMEntry Old = LKTWSetManagerEntry(nullptr);  // no scanner manager at all
    TLumerakIO IO;
    EXPECT_FALSE(IO.Acquire(lkaTWain));
    EXPECT_TRUE(IO.GetAborted());
    EXPECT_FALSE(IO.GetAbortReason().empty());
    LKTWSetManagerEntry(Old);
  }
  {
    TFakeDSM D;  // a source with no picture to give
    ScannerCaps(D);
    TLumerakIO IO;
    EXPECT_FALSE(IO.Acquire(lkaTWain));
    EXPECT_TRUE(IO.GetAborted());
  }
  {
    auto Old = LKWiaSetManager(nullptr);  // no scanner and camera service
    TLumerakIO IO;
    EXPECT_FALSE(IO.Acquire(lkaWIA));
    EXPECT_TRUE(IO.GetAborted());
    EXPECT_FALSE(IO.GetAbortReason().empty());
    LKWiaSetManager(Old);
  }
}

TEST(AcquireIO, HandledPicturesLeaveTheBitmap) {
  TLumerakIO IO;
  IO.GetLKBitmap()->Allocate(2, 2, lk8g);
  TLKBitmap Incoming(5, 3, lk24RGB);
  bool HandleIt = true;
  IO.OnAcquireBitmap = [&](TObject*, TLKBitmap*, bool& Handled) { Handled = HandleIt; };
  TObject* Params = nullptr;
  IO.TWMultiCallBack(&Incoming, Params);
  EXPECT_EQ(IO.GetLKBitmap()->GetWidth(), 2);
  EXPECT_EQ(Params, nullptr);
  HandleIt = false;
  IO.TWMultiCallBack(&Incoming, Params);
  EXPECT_EQ(IO.GetLKBitmap()->GetWidth(), 5);
  EXPECT_EQ(Params, IO.GetIOParams());
}

TEST(AcquireIO, CapturesTheScreenAndAWindowOfKnownContent) {
  QWidget W;
  W.setAutoFillBackground(true);
  QPalette Pal = W.palette();
  Pal.setColor(QPalette::Window, QColor(10, 200, 30));
  W.setPalette(Pal);
  W.setGeometry(40, 50, 120, 90);
  W.show();
  W.raise();
  W.activateWindow();
  for (int i = 0; i < 50 && QApplication::activeWindow() != &W; ++i) {
    QApplication::processEvents();
    QThread::msleep(20);
  }
  QApplication::processEvents();
  TLumerakIO IO;
  IO.CaptureFromScreen(lkcsScreen, -1);
  if (IO.GetLKBitmap()->GetWidth() == 0) GTEST_SKIP() << "this display cannot be grabbed";
  EXPECT_EQ(IO.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  if (QApplication::activeWindow() != &W) GTEST_SKIP() << "the window did not become active";
  IO.CaptureFromScreen(lkcsForegroundWindowClient, -1);
  ASSERT_EQ(IO.GetLKBitmap()->GetWidth(), 120);
  ASSERT_EQ(IO.GetLKBitmap()->GetHeight(), 90);
  auto* Mid = static_cast<uint8_t*>(IO.GetLKBitmap()->GetScanLine(45)) + 60 * 3;
  EXPECT_EQ(Mid[0], 30);   // blue
  EXPECT_EQ(Mid[1], 200);  // green
  EXPECT_EQ(Mid[2], 10);   // red
  // With the cursor, the arrow is drawn where the pointer is.
  QCursor::setPos(W.mapToGlobal(QPoint(20, 20)));
  QApplication::processEvents();
  IO.CaptureFromScreen(lkcsForegroundWindowClient, 0);
  auto* Tip = static_cast<uint8_t*>(IO.GetLKBitmap()->GetScanLine(25)) + 21 * 3;
  EXPECT_NE(Tip[1], 200);
}

}  // namespace
