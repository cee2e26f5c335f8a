// Scans from SANE's virtual test device through the library's own source
// manager, pixels checked against what scanimage delivers with the same
// options. The device comes from a configuration folder of ours that lists
// only the test back end, so no real scanner is ever touched.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "acquisition/imscan.h"
#include "acquisition/lktwsane.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

namespace {

const char* const kConfig = LUMERAK_TESTS_DIR "/acquisition/sane";

// SANE reads its configuration folder once, when it starts: set it before
// anything in this program can start it.
const bool kConfigured = [] {
  setenv("SANE_CONFIG_DIR", kConfig, 1);
  return true;
}();

struct TPnm {
  char Kind = 0;
  int Width = 0, Height = 0, MaxVal = 1;
  std::vector<uint8_t> Data;
};

// Runs scanimage on the test device with Options and reads its PNM output.
bool Scanimage(const std::string& Options, TPnm& Out) {
  std::string Cmd = std::string("SANE_CONFIG_DIR='") + kConfig +
                    "' scanimage -d test --test-picture 'Color pattern' --format=pnm " + Options + " 2>/dev/null";
  FILE* P = popen(Cmd.c_str(), "r");
  if (!P) return false;
  std::vector<uint8_t> All;
  uint8_t Buf[65536];
  size_t N;
  while ((N = fread(Buf, 1, sizeof Buf, P)) > 0) All.insert(All.end(), Buf, Buf + N);
  if (pclose(P) != 0 || All.size() < 3 || All[0] != 'P') return false;
  Out.Kind = static_cast<char>(All[1]);
  size_t At = 2;
  int Fields[3] = {0, 0, 1};
  int Need = Out.Kind == '4' ? 2 : 3;
  for (int f = 0; f < Need; ++f) {
    while (At < All.size() && (isspace(All[At]) || All[At] == '#')) {
      if (All[At] == '#')
        while (At < All.size() && All[At] != '\n') ++At;
      else
        ++At;
    }
    while (At < All.size() && isdigit(All[At])) Fields[f] = Fields[f] * 10 + (All[At++] - '0');
  }
  ++At;
  Out.Width = Fields[0];
  Out.Height = Fields[1];
  Out.MaxVal = Fields[2];
  Out.Data.assign(All.begin() + At, All.end());
  return true;
}

struct TScan {
  TLKTWainParams Settings{nullptr};
  TLKBitmap Bitmap;
  TIOParamsVals Params;
  std::atomic<bool> Abort{false};
  TProgressRec Progress;
  TScan() {
    Progress.AbortFlag = &Abort;
    // The test device keeps its options from one opening to the next within
    // a process: every scan starts from the same area, source and mode.
    LKSaneSetExtraOptions({{"test-picture", "Color pattern"},
                           {"hand-scanner", "no"},
                           {"source", "Flatbed"},
                           {"tl-x", "0"},
                           {"tl-y", "0"},
                           {"br-x", "80"},
                           {"br-y", "100"}});
    Settings.SelectSourceByName("test:0");
    if (const char* Log = getenv("LK_TWAIN_LOG")) Settings.SetLogFile(Log);
  }
  ~TScan() { LKSaneSetExtraOptions({}); }
  void Ask(Integer PixelType, Integer Depth, double Dpi) {
    Settings.GetPixelType()->SetCurrentValue(PixelType);
    Settings.GetBitDepth()->SetCurrentValue(Depth);
    Settings.GetXResolution()->SetCurrentValue(Dpi);
  }
  bool Run(bool Native) {
    return LKTW_Acquire(&Bitmap, false, nullptr, Settings, &Params, &Progress, Settings.Shared(), nullptr, Native);
  }
};

// The bitmap's bytes of row y in the PNM's own layout, for comparison.
std::vector<uint8_t> AsPnmRow(TLKBitmap& B, Integer y) {
  auto* R = static_cast<uint8_t*>(B.GetScanLine(y));
  Integer W = B.GetWidth();
  std::vector<uint8_t> Out;
  switch (B.GetPixelFormat()) {
    case lk1g:
      for (Integer i = 0; i < (W + 7) / 8; ++i) Out.push_back(static_cast<uint8_t>(~R[i]));  // PBM: 1 is black
      if (W % 8) Out.back() &= static_cast<uint8_t>(0xFF << (8 - W % 8));
      break;
    case lk8g: Out.assign(R, R + W); break;
    case lk16g:
      for (Integer x = 0; x < W; ++x) Out.insert(Out.end(), {R[x * 2 + 1], R[x * 2]});
      break;
    case lk24RGB:
      for (Integer x = 0; x < W; ++x) Out.insert(Out.end(), {R[x * 3 + 2], R[x * 3 + 1], R[x * 3]});
      break;
    case lk48RGB:
      for (Integer x = 0; x < W * 3; ++x) Out.insert(Out.end(), {R[x * 2 + 1], R[x * 2]});
      break;
    default: break;
  }
  return Out;
}

void ExpectSamePixels(TLKBitmap& B, const TPnm& P, const std::string& What) {
  ASSERT_EQ(B.GetWidth(), P.Width) << What;
  ASSERT_EQ(B.GetHeight(), P.Height) << What;
  size_t RowBytes = P.Data.size() / std::max(1, P.Height);
  size_t Mismatch = 0;
  for (Integer y = 0; y < P.Height; ++y) {
    std::vector<uint8_t> Row = AsPnmRow(B, y);
    if (P.Kind == '4' && P.Width % 8) {
      // PBM pads the last byte; compare only the pixels.
      std::vector<uint8_t> Want(P.Data.begin() + y * RowBytes, P.Data.begin() + (y + 1) * RowBytes);
      Want.back() &= static_cast<uint8_t>(0xFF << (8 - P.Width % 8));
      Mismatch += Row != Want;
    } else {
      Mismatch += !std::equal(Row.begin(), Row.end(), P.Data.begin() + y * RowBytes);
    }
  }
  EXPECT_EQ(Mismatch, 0u) << What << ": rows that differ";
}

TEST(SaneScan, ListsTheTestDevice) {
  TLKTWainParams P(nullptr);
  ASSERT_GE(P.GetSourceCount(), 1);
  EXPECT_EQ(P.GetSourceName(0), "test:0");
  EXPECT_TRUE(P.SelectSourceByName("TEST:1"));
  EXPECT_EQ(P.GetSelectedSource(), 1);
  // The capabilities read from the device.
  EXPECT_GE(P.GetPixelType()->GetCount(), 3);
  EXPECT_GT(P.GetXResolution()->GetRangeMax(), 0);
  EXPECT_GT(P.GetPhysicalWidth(), 0);
}

TEST(SaneScan, PixelsMatchScanimage) {
  struct {
    const char* Name;
    Integer PixelType, Depth;
    bool Native, Buffered;
    TLKPixelFormat Format;
    const char* Options;
  } const Cases[] = {
      {"colour 8 buffered", TWPT_RGB, 8, false, true, lk24RGB, "--mode Color --depth 8 --resolution 50"},
      {"colour 8 native transfer", TWPT_RGB, 8, false, false, lk24RGB, "--mode Color --depth 8 --resolution 50"},
      {"colour 16 kept", TWPT_RGB, 16, true, true, lk48RGB, "--mode Color --depth 16 --resolution 40"},
      {"grey 8 kept", TWPT_GRAY, 8, true, true, lk8g, "--mode Gray --depth 8 --resolution 60"},
      {"grey 16 kept", TWPT_GRAY, 16, true, true, lk16g, "--mode Gray --depth 16 --resolution 50"},
      {"line-art", TWPT_BW, 1, false, true, lk1g, "--mode Gray --depth 1 --resolution 75"},
      {"line-art native transfer", TWPT_BW, 1, false, false, lk1g, "--mode Gray --depth 1 --resolution 75"},
  };
  for (const auto& C : Cases) {
    TScan S;
    double Dpi = std::atof(std::strstr(C.Options, "--resolution ") + 13);
    S.Ask(C.PixelType, C.Depth, Dpi);
    S.Settings.SetBufferedTransfer(C.Buffered);
    ASSERT_TRUE(S.Run(C.Native)) << C.Name << ": " << S.Settings.LastErrorText;
    EXPECT_EQ(S.Bitmap.GetPixelFormat(), C.Format) << C.Name;
    EXPECT_EQ(S.Params.DPIX, static_cast<Integer>(Dpi)) << C.Name;
    TPnm Want;
    ASSERT_TRUE(Scanimage(C.Options, Want)) << C.Name;
    ExpectSamePixels(S.Bitmap, Want, C.Name);
  }
}

TEST(SaneScan, FrameAndUnknownLength) {
  {
    TScan S;
    S.Ask(TWPT_RGB, 8, 50);
    S.Settings.SetAcquireFrameEnabled(true);
    const double Mm[4] = {10, 20, 60, 50};
    for (int i = 0; i < 4; ++i) S.Settings.SetAcquireFrame(i, Mm[i] / 25.4);
    ASSERT_TRUE(S.Run(false));
    TPnm Want;
    ASSERT_TRUE(Scanimage("--mode Color --depth 8 --resolution 50 -l 10 -t 20 -x 50 -y 30", Want));
    ExpectSamePixels(S.Bitmap, Want, "frame");
  }
  {
    // The hand-scanner mode tells no length until the last strip.
    TScan S;
    S.Ask(TWPT_GRAY, 8, 50);
    S.Settings.SetUndefinedImageSize(true);
    ASSERT_TRUE(S.Run(true)) << S.Settings.LastErrorText;
    TPnm Want;
    ASSERT_TRUE(Scanimage("--mode Gray --depth 8 --resolution 50 --hand-scanner=yes", Want));
    ExpectSamePixels(S.Bitmap, Want, "unknown length");
  }
}

TEST(SaneScan, FeederPagesAndCancel) {
  // The test device's feeder holds ten pages.
  {
    TScan S;
    S.Ask(TWPT_GRAY, 8, 25);
    S.Settings.SetFeederEnabled(true);
    int Pages = 0;
    auto Each = [&](TLKBitmap* B, TObject*&) { Pages += B->GetHeight() > 0; };
    EXPECT_TRUE(LKTW_Acquire(nullptr, true, Each, S.Settings, &S.Params, nullptr, S.Settings.Shared(), nullptr, true));
    EXPECT_EQ(Pages, 10);
  }
  // A single acquisition from the feeder takes one page and ends.
  {
    TScan S;
    S.Ask(TWPT_GRAY, 8, 25);
    S.Settings.SetFeederEnabled(true);
    EXPECT_TRUE(S.Run(true));
  }
  // The caller's abort flag stops a buffered scan after the current strip.
  {
    TScan S;
    S.Ask(TWPT_RGB, 8, 300);
    int Reports = 0;
    S.Progress.OnProgress = [&](TObject*, Integer) {
      ++Reports;
      S.Abort = true;
    };
    EXPECT_FALSE(S.Run(false));
    EXPECT_EQ(Reports, 1);
  }
}

}  // namespace
