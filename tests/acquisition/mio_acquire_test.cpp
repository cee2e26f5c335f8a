// Pages acquired into a thumbnail view through the multi-image component:
// SANE's test device behind the scanner manager (its feeder holds ten
// pages) and a scripted camera behind the picture-acquisition service.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

#include "acquisition/imscan.h"
#include "acquisition/lktwainparams.h"
#include "acquisition/lktwsane.h"
#include "acquisition/lkwia.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "tests/acquisition/pump_kit.h"
#include "tests/acquisition/wia_kit.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

namespace {

using namespace wiakit;

class MioAcquire : public testing::Test {
 protected:
  void SetUp() override {
    setenv("SANE_CONFIG_DIR", LUMERAK_TESTS_DIR "/acquisition/sane", 0);
    // The test device keeps its options within a process: every scan
    // starts from the same area and source.
    LKSaneSetExtraOptions({{"test-picture", "Color pattern"}, {"hand-scanner", "no"}, {"source", "Flatbed"},
                           {"tl-x", "0"}, {"tl-y", "0"}, {"br-x", "40"}, {"br-y", "30"}});
    Form.resize(500, 400);
    View = new TLumerakMView();
    View->SetParentWindow(&Form);
    View->SetBounds(0, 0, 480, 380);
    Mio.SetAttachedMView(View);
    // Two entries there before: 3 x 3 and 5 x 5.
    for (Integer Side : {3, 5}) {
      TLKBitmap B(Side, Side, lk24RGB);
      B.Fill(0x101010);
      View->SetLKBitmap(View->AppendImage(), &B);
    }
  }
  void TearDown() override {
    Mio.SetAttachedMView(nullptr);
    delete View;
    LKSaneSetExtraOptions({});
  }
  TLKTWainParams& Scanner(double Dpi) {
    TLKTWainParams& S = *Mio.GetTWainParams();
    EXPECT_TRUE(S.SelectSourceByName("test:0"));
    S.GetPixelType()->SetCurrentValue(TWPT_GRAY);
    S.GetBitDepth()->SetCurrentValue(8);
    S.GetXResolution()->SetCurrentValue(Dpi);
    S.SetFeederEnabled(true);  // reading the source's values took its flatbed setting
    return S;
  }
  Integer Width(Integer Idx) {
    TLKBitmap* B = View->GetTLKBitmap(Idx);
    const Integer W = B ? B->GetWidth() : -1;
    View->ReleaseBitmap(Idx);
    return W;
  }

  QWidget Form;
  TLumerakMView* View = nullptr;
  TLumerakMIO Mio;
};

TEST_F(MioAcquire, TheFeederPagesGoInAtTheSelectedEntry) {
  Scanner(50);
  View->SetSelectedItem(1);
  ASSERT_TRUE(Mio.Acquire(lkaTWain));
  EXPECT_FALSE(Mio.GetAborted());
  // Ten pages of 40 x 30 mm at 50 dpi between the two entries, each with
  // its own record.
  ASSERT_EQ(View->GetImageCount(), 12);
  ASSERT_EQ(Mio.GetParamsCount(), 12);
  EXPECT_EQ(Width(0), 3);
  for (Integer i = 1; i <= 10; ++i) {
    EXPECT_EQ(Width(i), 78) << "page " << i;
    EXPECT_EQ(View->GetImageDelayTime(i), 100);
    EXPECT_EQ(Mio.GetParams(i)->DPIX, 50);
    EXPECT_EQ(Mio.GetParams(i)->WIDTH, 78);
    EXPECT_EQ(Mio.GetParams(i)->BITSPERSAMPLE, 8);
  }
  EXPECT_EQ(Width(11), 5);

  // Nothing selected: the pages are appended.
  View->Deselect();
  ASSERT_TRUE(Mio.Acquire(lkaTWain));
  EXPECT_EQ(View->GetImageCount(), 22);
  EXPECT_EQ(Width(11), 5);
  EXPECT_EQ(Width(12), 78);
}

TEST_F(MioAcquire, AHandlerTakesPagesAndAnAbortStopsTheFeeder) {
  Scanner(25);
  int Taken = 0;
  Mio.OnAcquireBitmap = [&](TObject* Sender, TLKBitmap* B, bool& Handled) {
    EXPECT_EQ(Sender, &Mio);
    Taken += B->GetWidth() == 39;
    Handled = Taken <= 2;  // the first two stay with the handler
    // The caller's abort flag stops the feeder after the fourth page.
    if (Taken == 4) Mio.SetAborted(true);
  };
  EXPECT_TRUE(Mio.Acquire(lkaTWain));
  EXPECT_EQ(Taken, 4);
  EXPECT_EQ(View->GetImageCount(), 2 + 2);
}

TEST_F(MioAcquire, NothingAcquiredIsAFailureAndLeavesTheView) {
  // A machine without a scanner manager.
  const TLKDSMEntry Old = LKTWSetManagerEntry(nullptr);
  EXPECT_FALSE(Mio.Acquire(lkaTWain));
  EXPECT_TRUE(Mio.GetAborted());
  LKTWSetManagerEntry(Old);
  // A camera whose only file is no picture.
  TCameraRig R;
  R.Camera->Files["/store"].erase("b.jpg");
  R.Camera->Files["/store"]["a.jpg"].first = std::vector<Byte>(50, 7);
  TManagerScope Scope(R.M);
  EXPECT_FALSE(Mio.Acquire(lkaWIA));
  EXPECT_TRUE(Mio.GetAborted());
  EXPECT_EQ(View->GetImageCount(), 2);
  EXPECT_EQ(Mio.GetParamsCount(), 2);
}

TEST_F(MioAcquire, ACameraPictureBecomesAnEntryWithItsParameters) {
  TCameraRig R;
  TManagerScope Scope(R.M);
  View->SetSelectedItem(0);
  ASSERT_TRUE(Mio.Acquire(lkaWIA));
  ASSERT_EQ(View->GetImageCount(), 3);
  TLKBitmap* B = View->GetTLKBitmap(0);
  ASSERT_NE(B, nullptr);
  EXPECT_EQ(B->GetWidth(), 8);
  EXPECT_NEAR(static_cast<const Byte*>(B->GetScanLine(2))[4], 40, 3);  // a.jpg, the first stored picture
  View->ReleaseBitmap(0);
  EXPECT_EQ(Mio.GetParams(0)->DPIX, 300);
  EXPECT_EQ(Mio.GetParams(0)->WIDTH, 8);
  EXPECT_EQ(Width(1), 3);
}

TEST_F(MioAcquire, AModelessScanFillsTheViewUntilClosed) {
  {
    TLKTWainParams& S = Scanner(50);
    S.SetFeederEnabled(false);
    View->Deselect();
    EXPECT_TRUE(Mio.AcquireOpen());
    EXPECT_TRUE(Mio.IsAcquireOpen());
    EXPECT_FALSE(Mio.AcquireOpen());     // one at a time
    EXPECT_TRUE(Mio.Acquire(lkaTWain));  // a modal scan beside it does nothing
    EXPECT_EQ(View->GetImageCount(), 2);
    ASSERT_TRUE(PumpUntil([&] { return View->GetImageCount() >= 3; }));
    EXPECT_EQ(Width(2), 78);
    EXPECT_EQ(Mio.GetParams(2)->DPIX, 50);
    if (const char* Shot = std::getenv("LK_MIO_ACQUIRE_SHOT")) {
      Form.show();
      for (int i = 0; i < 20; ++i) QApplication::processEvents();
      Form.grab().save(Shot);
    }
    Mio.AcquireClose();
    EXPECT_FALSE(Mio.IsAcquireOpen());
  }
  // Still open when the component goes: its destructor ends the scan.
  {
    TLumerakMIO Other;
    Other.SetAttachedMView(View);
    Other.GetTWainParams()->SelectSourceByName("test:0");
    EXPECT_TRUE(Other.AcquireOpen());
  }
  PumpUntil([] { return false; }, 50);
}

}  // namespace
