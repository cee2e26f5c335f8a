// The scanner connection against a scripted manager: settings, the order of
// the negotiation, the transfers and what odd sources get.
#include <gtest/gtest.h>

#include <fstream>

#include "acquisition/imscan.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "tests/acquisition/fake_dsm.h"

namespace {

TW_FIX32 Fix(double V) {
  TW_FIX32 F{0, 0};
  DoubleToFIX32(V, F);
  return F;
}

TW_UINT32 FixBits(double V) {
  TW_FIX32 F = Fix(V);
  TW_UINT32 B = 0;
  std::memcpy(&B, &F, sizeof F);
  return B;
}

// A source with the capabilities every negotiation reads.
void BasicCaps(TFakeDSM& D, bool Memory = true) {
  D.Caps[ICAP_UNITS] = {TWON_ONEVALUE, TWTY_UINT16, {0}};
  D.Caps[ICAP_PIXELFLAVOR] = {TWON_ONEVALUE, TWTY_UINT16, {0}};
  D.Caps[ICAP_PIXELTYPE] = {TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, 2};
  D.Caps[ICAP_PLANARCHUNKY] = {TWON_ONEVALUE, TWTY_UINT16, {0}};
  D.Caps[ICAP_XFERMECH] = Memory ? TFakeCap{TWON_ENUMERATION, TWTY_UINT16, {0, 2}, 0}
                                 : TFakeCap{TWON_ENUMERATION, TWTY_UINT16, {0}, 0};
  D.Caps[ICAP_XRESOLUTION] = {TWON_ONEVALUE, TWTY_FIX32, {FixBits(300)}};
  D.Caps[CAP_FEEDERENABLED] = {TWON_ONEVALUE, TWTY_BOOL, {0}};
  D.Caps[CAP_INDICATORS] = {TWON_ONEVALUE, TWTY_BOOL, {1}};
  D.Caps[CAP_DUPLEXENABLED] = {TWON_ONEVALUE, TWTY_BOOL, {0}};
}

// A picture of W x H pixels at Bpp bits with row bytes made from the row
// and column (so misplaced rows or swapped channels show).
TFakePicture Picture(Integer W, Integer H, Integer Bpp, Integer PixelType) {
  TFakePicture P;
  P.Info.XResolution = Fix(200);
  P.Info.YResolution = Fix(100);
  P.Info.ImageWidth = W;
  P.Info.ImageLength = H;
  P.Info.SamplesPerPixel = Bpp == 24 ? 3 : 1;
  P.Info.BitsPerSample[0] = static_cast<TW_INT16>(Bpp == 24 ? 8 : Bpp);
  P.Info.BitsPerPixel = static_cast<TW_INT16>(Bpp);
  P.Info.PixelType = static_cast<TW_INT16>(PixelType);
  P.BytesPerRow = static_cast<TW_UINT32>((W * Bpp + 7) / 8);
  P.Rows.resize(size_t(P.BytesPerRow) * H);
  for (Integer y = 0; y < H; ++y)
    for (TW_UINT32 x = 0; x < P.BytesPerRow; ++x) P.Rows[y * P.BytesPerRow + x] = static_cast<uint8_t>(y * 16 + x);
  return P;
}

struct TAcquire {
  TLKTWainParams Settings{nullptr};
  TLKBitmap Bitmap;
  TIOParamsVals Params;
  std::atomic<bool> Abort{false};
  TProgressRec Progress;
  TAcquire() { Progress.AbortFlag = &Abort; }
  bool Run(bool Native = false) {
    return LKTW_Acquire(&Bitmap, false, nullptr, Settings, &Params, &Progress, Settings.Shared(), nullptr, Native);
  }
};

TEST(TWainFix32, RoundsHalfAwayFromZeroAndRefusesOverflow) {
  struct {
    double Value;
    bool Ok;
    TW_INT16 Whole;
    TW_UINT16 Frac;
  } const Cases[] = {
      {1.5, true, 1, 32768},     {-1.5, true, -2, 32768},  {300.0, true, 300, 0},
      {0.25, true, 0, 16384},    {32767.99999, true, 32767, 65535},
      {40000.0, false, 7, 7},    // beyond 16 bits of whole part: the target stays
  };
  for (const auto& C : Cases) {
    TW_FIX32 F{7, 7};
    EXPECT_EQ(DoubleToFIX32(C.Value, F), C.Ok) << C.Value;
    EXPECT_EQ(F.Whole, C.Whole) << C.Value;
    EXPECT_EQ(F.Frac, C.Frac) << C.Value;
  }
}

TEST(TWainParams, SelectsByPrefixWithoutCaseOfPlainLetters) {
  TFakeDSM D;
  D.Sources = {"Alpha Scan", "al", "Beta \xC3\x89", "beta \xC3\xA9"};
  struct {
    const char* Name;
    bool Found;
    Integer Index;
  } const Cases[] = {
      {"", true, 0},             // every name begins with the empty text
      {"AL", true, 0},           // the first prefix wins over the later exact name
      {"alpha scan", true, 0},
      {"BETA \xC3\xA9", true, 3},  // an accented letter must match its case
      {"Gamma", false, 3},         // no match leaves the selection
  };
  TLKTWainParams P(nullptr);
  for (const auto& C : Cases) {
    EXPECT_EQ(P.SelectSourceByName(C.Name), C.Found) << C.Name;
    EXPECT_EQ(P.GetSelectedSource(), C.Index) << C.Name;
  }
  EXPECT_EQ(P.GetSourceName(4), "");
  TLKTWainParams Empty(nullptr);
  D.Sources.clear();
  EXPECT_FALSE(Empty.SelectSourceByName(""));
}

TEST(TWainParams, DefaultsCopiesAndTexts) {
  TLKTWainParams Single(nullptr), Multi(nullptr, true);
  EXPECT_FALSE(Single.Caps().FeederEnabled || Single.Caps().DuplexEnabled || Single.Caps().AutoFeed);
  EXPECT_TRUE(Multi.Caps().FeederEnabled && Multi.Caps().DuplexEnabled && Multi.Caps().AutoFeed);
  Single.SetAppProductName(std::string(40, 'x'));
  EXPECT_EQ(Single.GetAppProductName().size(), 32u);

  auto Copy = std::make_unique<TLKTWainParams>(nullptr);
  Single.Caps().XResolution.Add(150);
  Single.Caps().XResolution.SetCurrentValue(150);
  Copy->Assign(Single);
  Single.Caps().XResolution.Clear();
  ASSERT_EQ(Copy->Caps().XResolution.GetCount(), 1);
  EXPECT_EQ(Copy->Caps().XResolution.GetCurrentValue(), 150);
  EXPECT_TRUE(Copy->Caps().XResolution.GetChanges().Contains(lklItems));
  EXPECT_EQ(Copy->GetAppProductName().size(), 32u);
}

TEST(TWainParams, PlainReadClearsFlagsUpdateKeepsThem) {
  TFakeDSM D;
  BasicCaps(D);
  TLKTWainParams P(nullptr);
  P.Caps().PixelType.SetCurrentValue(1);
  P.FillCapabilities();
  EXPECT_TRUE(P.Caps().PixelType.GetChanges().Empty());
  EXPECT_EQ(P.Caps().PixelType.GetCurrentValue(), 2);
  // Without the capability, scaling reads as 1.0 and orientation as 0.
  ASSERT_EQ(P.GetXScaling()->GetCount(), 1);
  EXPECT_EQ(P.GetXScaling()->GetItem(0), 1.0);
  EXPECT_EQ(P.GetOrientation()->GetItem(0), 0);

  P.GetPixelType()->SetCurrentValue(1);
  EXPECT_TRUE(P.Update());
  EXPECT_TRUE(P.Caps().PixelType.GetChanges().Contains(lklCurrentValue));
  EXPECT_EQ(D.Caps[ICAP_PIXELTYPE].Current, 1u);
}

TEST(TWainNegotiation, WritesInItsOrderAndFallsBackToNative) {
  TFakeDSM D;
  BasicCaps(D, /*Memory=*/false);
  D.Pictures.push_back(Picture(4, 3, 24, TWPT_RGB));
  D.Pictures.front().Rows.clear();
  TAcquire A;
  A.Settings.CapabilitiesValid = true;
  A.Settings.Caps().PixelType.SetCurrentValue(5);  // above RGB: negotiated as RGB
  A.Settings.Caps().AutoBright = true;
  D.Caps[ICAP_AUTOBRIGHT] = {TWON_ONEVALUE, TWTY_BOOL, {0}};
  A.Run();
  std::vector<std::string> Sets;
  for (const auto& C : D.CallsWith("/0x0006 cap=")) Sets.push_back(C.substr(C.find("cap=")));
  const std::vector<std::string> Expected = {"cap=0x111F", "cap=0x0101", "cap=0x1002", "cap=0x1100",
                                             "cap=0x100B", "cap=0x1013"};
  EXPECT_EQ(Sets, Expected);
  EXPECT_EQ(D.Caps[ICAP_PIXELTYPE].SetValues, std::vector<TW_UINT32>{2});
  // No memory mechanism listed: the picture is asked for natively.
  EXPECT_EQ(D.CallsWith("2/0x0104/0x0001").size(), 1u);
  EXPECT_TRUE(D.CallsWith("2/0x0103/").empty());
}

TEST(TWainTransfer, BufferedRgbStripsLandSwappedInPlace) {
  TFakeDSM D;
  BasicCaps(D);
  D.Pictures.push_back(Picture(3, 5, 24, TWPT_RGB));
  TAcquire A;
  ASSERT_TRUE(A.Run());
  ASSERT_EQ(A.Bitmap.GetPixelFormat(), lk24RGB);
  ASSERT_EQ(A.Bitmap.GetWidth(), 3);
  ASSERT_EQ(A.Bitmap.GetHeight(), 5);
  for (Integer y = 0; y < 5; ++y) {
    auto* Row = static_cast<uint8_t*>(A.Bitmap.GetScanLine(y));
    for (Integer x = 0; x < 3; ++x) {
      EXPECT_EQ(Row[x * 3 + 2], y * 16 + x * 3 + 0) << x << "," << y;  // red
      EXPECT_EQ(Row[x * 3 + 0], y * 16 + x * 3 + 2) << x << "," << y;  // blue
    }
  }
  EXPECT_EQ(A.Params.DPIX, 200);
  EXPECT_EQ(A.Params.DPIY, 100);
  EXPECT_EQ(A.Params.BITSPERSAMPLE, 8);
  EXPECT_EQ(A.Params.SAMPLESPERPIXEL, 3);
}

TEST(TWainTransfer, GreyDepthsByNativeFlag) {
  struct {
    Integer Bpp;
    bool Native;
    TLKPixelFormat Format;
    uint8_t FirstSample;  // the first pixel's stored byte
  } const Cases[] = {
      {8, false, lk24RGB, 0},  {8, true, lk8g, 0},
      {16, false, lk24RGB, 1},  // the high byte of the first 16-bit value
      {16, true, lk16g, 0},
  };
  for (const auto& C : Cases) {
    TFakeDSM D;
    BasicCaps(D);
    D.Pictures.push_back(Picture(4, 2, C.Bpp, TWPT_GRAY));
    TAcquire A;
    ASSERT_TRUE(A.Run(C.Native)) << C.Bpp;
    EXPECT_EQ(A.Bitmap.GetPixelFormat(), C.Format) << C.Bpp << C.Native;
    EXPECT_EQ(static_cast<uint8_t*>(A.Bitmap.GetScanLine(0))[0], C.FirstSample) << C.Bpp << C.Native;
  }
}

TEST(TWainTransfer, UnknownLengthArrivesWholeOrNotAtAll) {
  for (Integer Final : {5, -1}) {
    TFakeDSM D;
    BasicCaps(D);
    TFakePicture P = Picture(2, 5, 8, TWPT_GRAY);
    P.Info.ImageLength = -1;
    P.FinalLength = Final;
    D.Pictures.push_back(P);
    TAcquire A;
    bool Got = A.Run(true);
    if (Final > 0) {
      ASSERT_TRUE(Got);
      ASSERT_EQ(A.Bitmap.GetHeight(), 5);
      EXPECT_EQ(static_cast<uint8_t*>(A.Bitmap.GetScanLine(4))[1], 4 * 16 + 1);
    } else {
      // Without a final length the strips cannot be placed: no picture.
      EXPECT_FALSE(Got);
    }
  }
}

TEST(TWainTransfer, OddSourcesEndCleanly) {
  // A source that answers "more" for ever without rows.
  {
    TFakeDSM D;
    BasicCaps(D);
    TFakePicture P = Picture(2, 3, 8, TWPT_GRAY);
    P.EndlessSuccess = true;
    D.Pictures.push_back(P);
    TAcquire A;
    EXPECT_FALSE(A.Run());
    EXPECT_LT(D.CallsWith("2/0x0103/").size(), 200u);
  }
  // Strips claiming columns past the width and an x offset inside it.
  {
    TFakeDSM D;
    BasicCaps(D);
    TFakePicture P = Picture(4, 3, 8, TWPT_GRAY);
    P.StripColumns = 1000;
    P.StripXOffset = 2;
    D.Pictures.push_back(P);
    TAcquire A;
    EXPECT_TRUE(A.Run(true));
    EXPECT_EQ(static_cast<uint8_t*>(A.Bitmap.GetScanLine(1))[3], 16 + 1);
  }
  // A transfer that fails midway: no picture, the failure recorded.
  {
    TFakeDSM D;
    BasicCaps(D);
    TFakePicture P = Picture(2, 6, 8, TWPT_GRAY);
    P.FailMidway = true;
    D.Pictures.push_back(P);
    TAcquire A;
    EXPECT_FALSE(A.Run());
    EXPECT_EQ(A.Settings.LastReturnCode, TWRC_FAILURE);
    EXPECT_EQ(A.Settings.LastErrorText, LKTW_ConditionText(TWCC_OPERATIONERROR));
  }
}

TEST(TWainTransfer, ASourceThatVanishesEndsTheScan) {
  TFakeDSM D;
  BasicCaps(D);
  D.Pictures.push_back(Picture(2, 2, 8, TWPT_GRAY));
  D.VanishWhenEnabled = true;
  TAcquire A;
  EXPECT_FALSE(A.Run());  // returns instead of waiting for events for ever
  EXPECT_EQ(A.Settings.LastReturnCode, TWRC_FAILURE);
}

TEST(TWainTransfer, MultiPlacesEachPageFromItsFirstStrip) {
  TFakeDSM D;
  BasicCaps(D);
  for (int i = 0; i < 3; ++i) D.Pictures.push_back(Picture(2, 3, 8, TWPT_GRAY));
  TLKTWainParams Settings(nullptr);
  TIOParamsVals Params;
  std::vector<uint8_t> LastRows;
  int Pages = 0;
  auto Each = [&](TLKBitmap* B, TObject*&) {
    ++Pages;
    LastRows.assign(static_cast<uint8_t*>(B->GetScanLine(0)), static_cast<uint8_t*>(B->GetScanLine(0)) + 3);
  };
  EXPECT_TRUE(LKTW_Acquire(nullptr, true, Each, Settings, &Params, nullptr, Settings.Shared(), nullptr, false));
  EXPECT_EQ(Pages, 3);
  EXPECT_EQ(LastRows[0], 0);  // the third page's first row is still its row 0
}

TEST(TWainConnection, NoManagerGivesEmptyResults) {
  TLKDSMEntry Old = LKTWSetManagerEntry(nullptr);
  TAcquire A;
  EXPECT_FALSE(A.Run());
  EXPECT_NE(A.Settings.Shared().ProxyWindow, nullptr);  // the proxy window is still made and kept
  EXPECT_EQ(A.Settings.GetSourceCount(), 0);
  std::string Name = "x";
  EXPECT_FALSE(LKTW_SelectImageSource(Name, A.Settings.Shared(), nullptr));
  EXPECT_EQ(Name, "");
  LKTWSetManagerEntry(Old);
}

TEST(TWainConnection, ConditionTexts) {
  EXPECT_EQ(LKTW_ConditionText(0), "Operation worked.");
  EXPECT_EQ(LKTW_ConditionText(20), "Transfer failed because of a feeder error");
  EXPECT_EQ(LKTW_ConditionText(21), "Transfer failed because of a feeder error");
  EXPECT_EQ(LKTW_ConditionText(7), "Unknown Condition 7");
  EXPECT_EQ(LKTW_ConditionText(65535), "Unknown Condition 65535");
}

TEST(TWainConnection, LogsItsSteps) {
  TFakeDSM D;
  BasicCaps(D);
  D.Pictures.push_back(Picture(2, 2, 8, TWPT_GRAY));
  std::string Log = testing::TempDir() + "twain_log.txt";
  TAcquire A;
  A.Settings.SetLogFile(Log);
  A.Run();
  A.Settings.SetLogFile("");
  std::ifstream In(Log);
  std::string All((std::istreambuf_iterator<char>(In)), {});
  for (const char* Line : {" : LKTW_Acquire\n", " :   LKTW_OpenSourceManager : Ok\n", " : GetCapability : $0101\n",
                           " :   LKTW_SetCapabilities : ICAP_PIXELTYPE\n", " :   LKTW_Acquire : end\n"})
    EXPECT_NE(All.find(Line), std::string::npos) << Line;
}

}  // namespace
