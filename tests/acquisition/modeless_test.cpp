// Modeless scans: the source stays enabled while the hidden control polls
// it from the main thread's event loop; every way of ending one (the
// caller, the callback itself, a vanished source, the parent's
// destruction) closes the source and calls the close callback once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cstring>
#include <thread>

#include "acquisition/lkproxywin.h"
#include "acquisition/lktwsane.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/threads.h"
#include "tests/acquisition/pump_kit.h"
#include "tests/acquisition/fake_dsm.h"
#include "views/lumerakview.h"

namespace {

TFakePicture GreyPicture(uint8_t Base) {
  TFakePicture P;
  P.Info.XResolution = {150, 0};
  P.Info.YResolution = {150, 0};
  P.Info.ImageWidth = 3;
  P.Info.ImageLength = 2;
  P.Info.SamplesPerPixel = 1;
  P.Info.BitsPerSample[0] = 8;
  P.Info.BitsPerPixel = 8;
  P.Info.PixelType = TWPT_GRAY;
  P.BytesPerRow = 3;
  P.Rows = {Base, uint8_t(Base + 1), uint8_t(Base + 2), uint8_t(Base + 3), uint8_t(Base + 4), uint8_t(Base + 5)};
  return P;
}

struct TRig {
  TFakeDSM D;
  TLKTWainParams Settings{nullptr};
  TIOParamsVals Params;
  TWinControl* Parent = new TWinControl(nullptr);
  int Pages = 0, Closed = 0;
  std::vector<uint8_t> Firsts;
  std::function<void()> InPicture;
  TRig() {
    D.Caps[ICAP_PIXELTYPE] = {TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, 1};
    D.Caps[ICAP_XFERMECH] = {TWON_ENUMERATION, TWTY_UINT16, {0, 2}, 0};
    Settings.SetBufferedTransfer(true);
  }
  ~TRig() { delete Parent; }
  TLKTWConnection* Open() {
    return LKTWAINAcquireOpen([this] { ++Closed; },
                              [this](TLKBitmap* B, TObject*&) {
                                ++Pages;
                                Firsts.push_back(*static_cast<uint8_t*>(B->GetScanLine(0)));
                                if (InPicture) InPicture();
                              },
                              Settings, Settings.Shared(), &Params, Parent, true);
  }
};

}  // namespace

TEST(Modeless, PicturesArriveThroughTheEventLoopUntilClosed) {
  TRig R;
  R.D.Pictures = {GreyPicture(10), GreyPicture(50)};
  TLKTWConnection* C = R.Open();
  ASSERT_NE(C, nullptr);
  // Nothing is fetched before the event loop runs.
  EXPECT_EQ(R.Pages, 0);
  ASSERT_TRUE(PumpUntil([&] { return R.Pages == 2; }));
  EXPECT_EQ(R.Firsts, (std::vector<uint8_t>{10, 50}));
  // The source stays enabled for further scans.
  EXPECT_GE(C->State, 5);
  EXPECT_EQ(R.Closed, 0);
  R.D.Calls.clear();
  LKTWAINAcquireClose(C);
  EXPECT_EQ(C, nullptr);
  EXPECT_EQ(R.Closed, 1);
  // The source is disabled and closed, then the manager closed.
  ASSERT_EQ(R.D.Calls.size(), 3u);
  EXPECT_EQ(R.D.Calls[0], "DS 1/0x0009/0x0501");
  EXPECT_EQ(R.D.Calls[1], "DSM 1/0x0003/0x0402");
  EXPECT_EQ(R.D.Calls[2], "DSM 1/0x0004/0x0302");
}

TEST(Modeless, EveryOtherEndClosesOnce) {
  {  // no manager: nothing opens and the close callback runs once
    TRig R;
    TLKDSMEntry Old = LKTWSetManagerEntry(nullptr);
    EXPECT_EQ(R.Open(), nullptr);
    EXPECT_EQ(R.Closed, 1);
    LKTWSetManagerEntry(Old);
  }
  {  // the picture callback ends the acquisition from inside the transfer
    TRig R;
    R.D.Pictures = {GreyPicture(10)};
    TLKTWConnection* C = R.Open();
    ASSERT_NE(C, nullptr);
    R.InPicture = [&] { LKTWAINAcquireClose(C); };
    ASSERT_TRUE(PumpUntil([&] { return R.Closed == 1; }));
    EXPECT_EQ(R.Pages, 1);
    EXPECT_EQ(C, nullptr);
  }
  {  // a source that stops answering ends it without the caller
    TRig R;
    R.D.Pictures = {GreyPicture(10)};
    R.D.VanishWhenEnabled = true;
    ASSERT_NE(R.Open(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return R.Closed == 1; }));
    EXPECT_EQ(R.Pages, 0);
  }
  {  // the parent control goes away and takes the acquisition with it
    TRig R;
    R.D.Pictures = {GreyPicture(10)};
    ASSERT_NE(R.Open(), nullptr);
    delete R.Parent;
    R.Parent = nullptr;
    EXPECT_EQ(R.Closed, 1);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(R.Closed, 1);
  }
}

TEST(Modeless, TheComponentScansIntoItsViewWithoutBlocking) {
  setenv("SANE_CONFIG_DIR", LUMERAK_TESTS_DIR "/acquisition/sane", 0);
  LKSaneSetExtraOptions({{"test-picture", "Color pattern"}, {"hand-scanner", "no"}, {"source", "Flatbed"},
                         {"tl-x", "0"}, {"tl-y", "0"}, {"br-x", "60"}, {"br-y", "40"}});
  QWidget Form;
  Form.resize(500, 400);
  auto* View = new TLumerakView();
  View->SetParentWindow(&Form);
  View->SetBounds(0, 0, 480, 380);
  Form.show();
  {
    TLumerakIO IO;
    EXPECT_FALSE(IO.AcquireOpen());  // no view yet
    IO.SetAttachedLumerak(View);
    auto* Settings = dynamic_cast<TLKTWainParams*>(IO.GetTWainParams());
    ASSERT_TRUE(Settings->SelectSourceByName("test:0"));
    Settings->GetPixelType()->SetCurrentValue(TWPT_RGB);
    Settings->GetXResolution()->SetCurrentValue(75);
    int Pictures = 0;
    IO.OnAcquireBitmap = [&](TObject*, TLKBitmap*, bool&) { ++Pictures; };
    ASSERT_TRUE(IO.AcquireOpen()) << IO.GetAbortReason();
    EXPECT_TRUE(IO.IsAcquireOpen());
    EXPECT_FALSE(IO.AcquireOpen());      // one at a time
    EXPECT_FALSE(IO.Acquire(lkaTWain));  // and no modal scan beside it
    ASSERT_TRUE(PumpUntil([&] { return Pictures == 1; }));
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    TLKBitmap* B = View->GetLKBitmap();
    ASSERT_EQ(B->GetWidth(), 177);  // 60 mm at 75 dpi
    ASSERT_EQ(B->GetHeight(), 118);
    const Integer Left = View->XBmp2Scr(0), Top = View->YBmp2Scr(0);
    for (Integer y = 0; y < 118; y += 9)
      ASSERT_EQ(std::memcmp(View->GetSurface()->ScanLine(Top + y) + Left * 3, B->GetScanLine(y), 177 * 3), 0);
    if (const char* Shot = std::getenv("LK_MODELESS_SHOT")) Form.grab().save(Shot);
    IO.AcquireClose();
    EXPECT_FALSE(IO.IsAcquireOpen());
    // Still open when the component goes: its destructor ends the scan.
    ASSERT_TRUE(IO.AcquireOpen());
    IO.SetAttachedLumerak(nullptr);
  }
  PumpUntil([] { return false; }, 50);
  delete View;
  LKSaneSetExtraOptions({});
}
