// A scan from SANE's virtual test device shown in a view: what the view
// paints is the scanned picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cstring>

#include "acquisition/lktwainparams.h"
#include "acquisition/lktwsane.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "views/lumerakview.h"

namespace {

TEST(ScanView, TheViewShowsTheScan) {
  setenv("SANE_CONFIG_DIR", LUMERAK_TESTS_DIR "/acquisition/sane", 0);
  LKSaneSetExtraOptions({{"test-picture", "Color pattern"}, {"hand-scanner", "no"}, {"source", "Flatbed"},
                         {"tl-x", "0"}, {"tl-y", "0"}, {"br-x", "80"}, {"br-y", "100"}});
  QWidget Form;
  Form.resize(700, 700);
  auto* View = new TLumerakView();
  View->SetParentWindow(&Form);
  View->SetBounds(0, 0, 680, 680);
  Form.show();
  TLumerakIO IO;
  IO.SetAttachedLumerak(View);
  auto* Settings = dynamic_cast<TLKTWainParams*>(IO.GetTWainParams());
  ASSERT_NE(Settings, nullptr);
  ASSERT_TRUE(Settings->SelectSourceByName("test:0"));
  Settings->GetPixelType()->SetCurrentValue(TWPT_RGB);
  Settings->GetXResolution()->SetCurrentValue(75);
  ASSERT_TRUE(IO.Acquire(lkaTWain)) << IO.GetAbortReason();
  for (int i = 0; i < 20; ++i) QApplication::processEvents();
  TLKBitmap* B = View->GetLKBitmap();
  ASSERT_EQ(B->GetWidth(), 236);  // 80 mm at 75 dpi
  ASSERT_EQ(B->GetHeight(), 295);  // 100 mm
  EXPECT_EQ(View->GetDpiX(), 75);
  // The view paints the picture at 1:1 where its geometry says.
  const Integer Left = View->XBmp2Scr(0), Top = View->YBmp2Scr(0);
  ASSERT_GE(Left, 0);
  ASSERT_GE(Top, 0);
  for (Integer y = 0; y < 295; y += 7) {
    const Byte* Painted = View->GetSurface()->ScanLine(Top + y) + Left * 3;
    ASSERT_EQ(std::memcmp(Painted, B->GetScanLine(y), 236 * 3), 0) << "row " << y;
  }
  IO.SetAttachedLumerak(nullptr);
  delete View;
  LKSaneSetExtraOptions({});
}

}  // namespace
