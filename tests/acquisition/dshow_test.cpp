// Capture, recording and playback over GStreamer, with test sources in
// place of cameras and media files made at test time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <thread>

#include "acquisition/lkdshow.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/gstmedia.h"
#include "platform/threads.h"
#include "tests/acquisition/pump_kit.h"
#include "views/lumerakview.h"

namespace {

// A control that counts the two messages and checks what they name.
class TFrameWindow : public TWinControl {
 public:
  int Frames = 0, Events = 0, Stale = 0;
  void WndProc(TMessage& M) override {
    if (M.Msg == 8025 || M.Msg == 8026) {
      if (!LKDShowAlive(reinterpret_cast<TObject*>(M.LParam))) ++Stale;
      else (M.Msg == 8025 ? Frames : Events)++;
      return;
    }
    TWinControl::WndProc(M);
  }
};

std::array<Byte, 3> Rgb(TLKBitmap& B, int x, int y) {
  const Byte* Row = static_cast<const Byte*>(B.GetScanLine(y));
  return {Row[x * 3 + 2], Row[x * 3 + 1], Row[x * 3]};
}

// The test sources stand in for two cameras of the same name.
const bool kInputs = [] {
  LKDShowSetExtraVideoInputs({{"Test camera", "videotestsrc pattern=smpte is-live=true"},
                              {"Test camera", "videotestsrc pattern=red is-live=true"},
                              {"Gone camera", "v4l2src device=/dev/lumerak-no-such-camera"}});
  return true;
}();

Integer IndexOf(TLKDirectShow& D, const char* Name) { return D.GetVideoInputs()->IndexOf(Name); }

String TempName(const char* Suffix) {
  char Dir[] = "/tmp/lkdshow-XXXXXX";
  return String(mkdtemp(Dir)) + "/" + Suffix;
}

}  // namespace

TEST(DShowTables, SubtypesAndStandards) {
  EXPECT_EQ(VideoStandardsToText((1u << 0) | (1u << 4)), "NTSC_M PAL_B");
  EXPECT_EQ(VideoStandardsToText(0), "");
  EXPECT_EQ(NameToSubtype("nothing"), "CLPL");
  EXPECT_EQ(NameToSubtype("RGB24"), "RGB24");
  EXPECT_EQ(SubtypeToName("XXXX"), "");
}

TEST(DShowCapture, FramesArriveAsMessagesAndComeOutTheRightWayUp) {
  TFrameWindow Window;
  TLKDirectShow D;
  const Integer Cam = IndexOf(D, "Test camera");
  ASSERT_GE(Cam, 0);
  EXPECT_FALSE(D.Connect());  // nothing chosen yet
  EXPECT_FALSE(D.GetLastError().empty());
  struct {
    Integer Instance;
    std::array<Byte, 3> TopLeft, BottomLeft;
  } Rows[] = {{0, {255, 255, 255}, {0, 0, 128}},  // the bars: white above, dark blue below
              {1, {255, 0, 0}, {255, 0, 0}}};     // the second camera of that name
  for (const auto& R : Rows) {
    D.SetVideoInput(Cam, R.Instance);
    D.SetCurrentVideoFormat(64, 48, "");
    D.GrabberEnabled = true;
    D.SetNotifyWindow(Window.GetHandle(), 8025, 8026);
    ASSERT_TRUE(D.Connect()) << D.GetLastError();
    D.Run();
    Window.Frames = 0;
    ASSERT_TRUE(PumpUntil([&] { return Window.Frames >= 3; })) << D.GetLastError();
    EXPECT_EQ(D.State(), gsRunning);
    TLKBitmap B;
    D.GetSample(&B);
    ASSERT_EQ(B.GetWidth(), 64);
    ASSERT_EQ(B.GetHeight(), 48);
    EXPECT_EQ(Rgb(B, 2, 2), R.TopLeft);
    EXPECT_EQ(Rgb(B, 2, 45), R.BottomLeft);
    Integer W = 0, H = 0;
    String Sub;
    D.GetCurrentVideoFormat(W, H, Sub);
    EXPECT_EQ(W, 64);
    EXPECT_EQ(Sub, "RGB24");
    D.Disconnect();
    EXPECT_FALSE(D.GetGraphCreated());
    EXPECT_EQ(D.State(), gsStopped);
  }
  // Messages still queued for a torn-down pipeline name nothing alive.
  PumpUntil([] { return false; }, 50);
  EXPECT_GT(Window.Events, 0);
}

TEST(DShowCapture, AViewShowsTheCaptureAndIgnoresStaleMessages) {
  QWidget Form;
  Form.resize(300, 200);
  auto* View = new TLumerakView();
  View->SetParentWindow(&Form);
  View->SetBounds(0, 0, 280, 180);
  TLumerakIO* IO = View->GetLumerakIO();
  auto* D = dynamic_cast<TLKDirectShow*>(IO->GetDShowParams());
  ASSERT_NE(D, nullptr);
  EXPECT_EQ(IO->GetDShowParams(), D);  // made once
  EXPECT_TRUE(D->GetNotifyWindow() == View->GetHandle());
  int Frames = 0, Events = 0;
  View->OnDShowNewFrame = [&](TObject* Sender) {
    EXPECT_EQ(Sender, View);
    ++Frames;
    D->GetSample(IO->GetLKBitmap());
    IO->Update();
  };
  View->OnDShowEvent = [&](TObject*) { ++Events; };
  D->SetVideoInput(IndexOf(*D, "Test camera"), 0);
  D->SetCurrentVideoFormat(64, 48, "");
  D->GrabberEnabled = true;
  ASSERT_TRUE(D->Connect()) << D->GetLastError();
  D->Run();
  ASSERT_TRUE(PumpUntil([&] { return Frames >= 3; })) << D->GetLastError();
  EXPECT_GT(Events, 0);
  // The bars, the right way up, in the view's picture and on its surface.
  TLKBitmap* B = View->GetLKBitmap();
  ASSERT_EQ(B->GetWidth(), 64);
  EXPECT_EQ(Rgb(*B, 2, 2), (std::array<Byte, 3>{255, 255, 255}));
  EXPECT_EQ(Rgb(*B, 2, 45), (std::array<Byte, 3>{0, 0, 128}));
  const Integer Left = View->XBmp2Scr(0), Top = View->YBmp2Scr(0);
  const Byte* Painted = View->GetSurface()->ScanLine(Top + 2) + (Left + 2) * 3;
  EXPECT_EQ(Painted[0], 255);
  if (const char* Shot = std::getenv("LK_DSHOW_VIEW_SHOT")) {
    Form.show();
    PumpUntil([] { return false; }, 300);
    Form.grab().save(Shot);
  }
  // Messages queued for a torn-down pipeline, with no object, or naming
  // something that is no capture object reach no handler.
  D->Disconnect();
  const int Seen = Frames + Events;
  TLKDirectShow Other;
  for (LPARAM Named : {LPARAM(0), reinterpret_cast<LPARAM>(static_cast<TObject*>(D)),
                       reinterpret_cast<LPARAM>(static_cast<TObject*>(&Other)),
                       reinterpret_cast<LPARAM>(static_cast<TObject*>(IO))}) {
    PostMessage(View->GetHandle(), LKM_DSHOWNEWFRAME, 0, Named);
    PostMessage(View->GetHandle(), LKM_DSHOWEVENT, 0, Named);
  }
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(Frames + Events, Seen);
  delete View;
}

TEST(DShowCapture, RecordsAnAviNamedInCapitals) {
  const String Name = TempName("CAPTURE.AVI");
  {
    TLKDirectShow D;
    D.SetVideoInput(IndexOf(D, "Test camera"), 0);
    D.SetCurrentVideoFormat(32, 24, "RGB24");
    D.OutputFileName = Name;
    D.GrabberEnabled = true;
    ASSERT_TRUE(D.Connect()) << D.GetLastError();
    D.Run();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    D.Disconnect();  // finishes the file
  }
  TGstMediaFile F;
  ASSERT_TRUE(F.Open(Name)) << F.Error();
  EXPECT_EQ(F.Width(), 32);
  EXPECT_EQ(F.Height(), 24);
  EXPECT_GT(F.FrameCount(), 0);
  std::remove(Name.c_str());
}

TEST(DShowPlayback, DurationsSeeksAndFrames) {
  const String Name = TempName("clip.avi");
  const String Cmd = "gst-launch-1.0 -q videotestsrc pattern=smpte num-buffers=250 ! "
                     "video/x-raw,width=32,height=24,framerate=25/1 ! videoconvert ! video/x-raw,format=BGR ! "
                     "avimux ! filesink location=" + Name;
  ASSERT_EQ(std::system(Cmd.c_str()), 0);
  TLKDirectShow D;
  D.InputFileName = Name;
  D.GrabberEnabled = true;
  ASSERT_TRUE(D.Connect());
  D.Pause();
  EXPECT_EQ(D.State(), gsPaused);
  EXPECT_EQ(D.GetDuration(), 100000000);  // 10 s in 100-ns units
  EXPECT_EQ(D.GetAverageTimePerFrame(), 400000);
  EXPECT_EQ(D.ConvertTimeFormat(40000000, tfTime, tfFrame), 100);
  // Frame 100 at 4 s, by time or by frame where the file can count them.
  D.SetPosition(40000000);
  EXPECT_EQ(D.GetPosition(), 40000000) << D.GetLastError();
  if (D.SetXTimeFormat(tfFrame)) {
    EXPECT_EQ(D.GetDuration(), 250);
    D.SetPosition(100);
    EXPECT_EQ(D.GetPosition(), 100);
  }
  TLKBitmap B;
  D.GetSample(&B);
  ASSERT_EQ(B.GetWidth(), 32);
  EXPECT_EQ(Rgb(B, 1, 1), (std::array<Byte, 3>{255, 255, 255}));
  // Played to its end at four times the speed.
  D.SetXTimeFormat(tfTime);
  D.SetPosition(90000000);
  D.Run();
  D.SetRate(4);
  EXPECT_EQ(D.GetRate(), 4);
  ASSERT_TRUE(PumpUntil([&] { return D.GetEndOfStream(); }));
  Integer Code = 0;
  bool SawEnd = false;
  while (D.GetEventCode(Code)) SawEnd = SawEnd || Code == 1;
  EXPECT_TRUE(SawEnd);
  std::remove(Name.c_str());
}

TEST(DShowFaults, BrokenFilesAndVanishedDevicesGiveAClearError) {
  const String Junk = TempName("junk.avi");
  {
    FILE* F = std::fopen(Junk.c_str(), "wb");
    const char Bytes[] = "RIFF\x10\0\0\0AVI LIST garbage garbage garbage";
    std::fwrite(Bytes, 1, sizeof Bytes, F);
    std::fclose(F);
  }
  struct {
    const char* Case;
    String File;
    const char* Input;
  } Rows[] = {{"a file that is no video", Junk, nullptr}, {"a camera that is gone", "", "Gone camera"}};
  for (const auto& R : Rows) {
    TLKDirectShow D;
    D.InputFileName = R.File;
    if (R.Input) D.SetVideoInput(IndexOf(D, R.Input), 0);
    D.GrabberEnabled = true;
    ASSERT_TRUE(D.Connect()) << R.Case;
    D.Run();
    Integer Code = 0;
    bool Error = false;
    std::string Seen;
    ASSERT_TRUE(PumpUntil([&] {
      while (D.GetEventCode(Code)) Error = Error || Code == 2, Seen += std::to_string(Code);
      // A file nobody can decode may also just fall back to stopped.
      return Error || (R.File.size() && Seen.size() > 3 && D.State() == gsStopped);
    })) << R.Case << " events " << Seen << " state " << int(D.State());
    if (R.Input) EXPECT_FALSE(D.GetLastError().empty()) << R.Case;
    EXPECT_NE(D.State(), gsRunning) << R.Case;
    TLKBitmap B;
    D.GetSample(&B);
    EXPECT_EQ(B.GetWidth(), 0) << R.Case;
  }
  std::remove(Junk.c_str());
}
