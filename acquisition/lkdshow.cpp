#include "acquisition/lkdshow.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"

namespace {

// How long a seek or a recording's end may hold the caller.
constexpr Integer kSettleMs = 5000;
constexpr Integer kEndMs = 3000;
// Pipeline events kept until taken; older ones go first.
constexpr size_t kMaxEvents = 1000;

const char* const kSubtypes[36] = {"CLPL", "YUYV", "IYUV", "YVU9", "Y411", "Y41P", "YUY2", "YVYU", "UYVY",
                                   "Y211", "YV12", "CLJR", "IF09", "CPLA", "MJPG", "TVMJ", "WAKE", "CFCC",
                                   "IJPG", "Plum", "DVCS", "DVSD", "MDVF", "RGB1", "RGB4", "RGB8", "RGB565",
                                   "RGB555", "RGB24", "RGB32", "ARGB1555", "ARGB4444", "ARGB32", "AYUV", "AI44",
                                   "IA44"};

struct TStandard {
  int Bit;
  const char* Name;
};
const TStandard kStandards[] = {{0, "NTSC_M"},    {1, "NTSC_M_J"},  {2, "NTSC_433"},  {4, "PAL_B"},
                                {5, "PAL_D"},     {7, "PAL_H"},     {8, "PAL_I"},     {9, "PAL_M"},
                                {10, "PAL_N"},    {11, "PAL_60"},   {12, "SECAM_B"},  {13, "SECAM_D"},
                                {14, "SECAM_G"},  {15, "SECAM_H"},  {16, "SECAM_K"},  {17, "SECAM_K1"},
                                {18, "SECAM_L"},  {19, "SECAM_L1"}, {20, "PAL_N_COMBO"}};

std::mutex gAliveLock;
std::set<const TObject*> gAlive;
std::vector<std::pair<String, String>> gExtraInputs;

String Lower(String S) {
  for (char& c : S) c = char(std::tolower(static_cast<unsigned char>(c)));
  return S;
}

String Quoted(const String& S) {
  String Out = "\"";
  for (char c : S) {
    if (c == '"' || c == '\\') Out += '\\';
    Out += c;
  }
  return Out + "\"";
}

// The GStreamer raw format of a subtype name ("" when none fits).
String RawFormat(const String& Subtype) {
  static const std::pair<const char*, const char*> kMap[] = {
      {"YUY2", "YUY2"}, {"YUYV", "YUY2"}, {"UYVY", "UYVY"}, {"YVYU", "YVYU"}, {"IYUV", "I420"}, {"YV12", "YV12"},
      {"RGB24", "BGR"}, {"RGB32", "BGRx"}, {"ARGB32", "BGRA"}, {"RGB565", "RGB16"}, {"RGB555", "RGB15"},
      {"AYUV", "AYUV"}, {"Y41P", "Y41B"}};
  for (const auto& [Name, Fmt] : kMap)
    if (Subtype == Name) return Fmt;
  return String();
}

}  // namespace

String SubtypeToName(const String& Subtype) {
  for (const char* N : kSubtypes)
    if (Subtype == N) return N;
  return String();
}

String NameToSubtype(const String& Name) {
  for (const char* N : kSubtypes)
    if (Name == N) return N;
  return kSubtypes[0];
}

String VideoStandardsToText(Cardinal Flags) {
  String T;
  for (const TStandard& S : kStandards)
    if (Flags & (1u << S.Bit)) T += (T.empty() ? "" : " ") + String(S.Name);
  return T;
}

void LKDShowSetExtraVideoInputs(std::vector<std::pair<String, String>> Inputs) { gExtraInputs = std::move(Inputs); }

bool LKDShowAlive(const TObject* Object) {
  std::lock_guard<std::mutex> L(gAliveLock);
  return gAlive.count(Object) && static_cast<const TLKDirectShow*>(Object)->GetGraphCreated();
}

TLKDirectShow::TLKDirectShow() : FShared(std::make_shared<TShared>()) {
  std::lock_guard<std::mutex> L(gAliveLock);
  gAlive.insert(this);
}

TLKDirectShow::~TLKDirectShow() {
  Disconnect();
  std::lock_guard<std::mutex> L(gAliveLock);
  gAlive.erase(this);
}

// ---------------------------------------------------------------------------
// Devices

TStringList* TLKDirectShow::GetVideoInputs() {
  if (FVideoInputs.GetCount() == 0) {
    FVideoDevs.clear();
    for (const TGstDevice& D : GstListDevices("Video/Source")) FVideoDevs.push_back({D.Name, D.Launch});
    for (const auto& [Name, Launch] : gExtraInputs) FVideoDevs.push_back({Name, Launch});
    for (const TDevice& D : FVideoDevs)
      if (FVideoInputs.IndexOf(D.Name) < 0) FVideoInputs.Add(D.Name);
  }
  return &FVideoInputs;
}

TStringList* TLKDirectShow::GetAudioInputs() {
  if (FAudioInputs.GetCount() == 0) {
    FAudioDevs.clear();
    for (const TGstDevice& D : GstListDevices("Audio/Source")) FAudioDevs.push_back({D.Name, D.Launch});
    for (const TDevice& D : FAudioDevs)
      if (FAudioInputs.IndexOf(D.Name) < 0) FAudioInputs.Add(D.Name);
  }
  return &FAudioInputs;
}

TStringList* TLKDirectShow::GetVideoCodecs() {
  if (FVideoCodecs.GetCount() == 0) {
    FVideoCodecDevs.clear();
    for (const auto& [Name, Factory] : GstListElements("Encoder/Video")) FVideoCodecDevs.push_back({Name, Factory});
    for (const TDevice& D : FVideoCodecDevs) FVideoCodecs.Add(D.Name);
  }
  return &FVideoCodecs;
}

TStringList* TLKDirectShow::GetAudioCodecs() {
  if (FAudioCodecs.GetCount() == 0) {
    FAudioCodecDevs.clear();
    for (const auto& [Name, Factory] : GstListElements("Encoder/Audio")) FAudioCodecDevs.push_back({Name, Factory});
    for (const TDevice& D : FAudioCodecDevs) FAudioCodecs.Add(D.Name);
  }
  return &FAudioCodecs;
}

// The launch text of the Instance-th device named like entry Index of the
// name list; "" for a negative index; the previous choice (as "\x01") for
// an index beyond the list.
String TLKDirectShow::Pick(const std::vector<TDevice>& List, Integer Index, Integer Instance) {
  if (Index < 0) return String();
  std::vector<String> Names;
  for (const TDevice& D : List)
    if (std::find(Names.begin(), Names.end(), D.Name) == Names.end()) Names.push_back(D.Name);
  if (size_t(Index) >= Names.size()) return "\x01";
  Integer Seen = 0;
  for (const TDevice& D : List)
    if (D.Name == Names[size_t(Index)] && Seen++ == Instance) return D.Launch;
  return "\x01";
}

void TLKDirectShow::SetVideoInput(Integer Index, Integer Instance) {
  GetVideoInputs();
  const String L = Pick(FVideoDevs, Index, Instance);
  if (L != "\x01") FVideoInput = L;
}

void TLKDirectShow::SetAudioInput(Integer Index, Integer Instance) {
  GetAudioInputs();
  const String L = Pick(FAudioDevs, Index, Instance);
  if (L != "\x01") FAudioInput = L;
}

void TLKDirectShow::SetVideoCodec(Integer Index) {
  GetVideoCodecs();
  const String L = Pick(FVideoCodecDevs, Index, 0);
  if (L != "\x01") FVideoCodec = L;
}

void TLKDirectShow::SetAudioCodec(Integer Index) {
  GetAudioCodecs();
  const String L = Pick(FAudioCodecDevs, Index, 0);
  if (L != "\x01") FAudioCodec = L;
}

// ---------------------------------------------------------------------------
// The pipeline

bool TLKDirectShow::Connect() {
  if (FPipe) return true;
  {
    std::lock_guard<std::mutex> L(FShared->Lock);
    FShared->Events.clear();
    FShared->Error.clear();
    FShared->EndOfStream = false;
  }
  const bool File = !InputFileName.empty();
  if (!File && FVideoInput.empty()) {
    std::lock_guard<std::mutex> L(FShared->Lock);
    FShared->Error = "no video input and no media file is chosen";
    return false;
  }
  // Only ".avi" is written: other extensions write no file.
  const String Ext = Lower(OutputFileName.size() >= 4 ? OutputFileName.substr(OutputFileName.size() - 4) : "");
  FRecording = Ext == ".avi";
  FHasGrabber = GrabberEnabled && FVideoCodec.empty();
  const char* Sync = File ? "true" : "false";
  String D;
  if (File) {
    String Uri = InputFileName;
    if (Uri.find("://") == String::npos) Uri = "file://" + Uri;
    D = "uridecodebin name=src uri=" + Quoted(Uri) + " ! queue ! videoconvert";
  } else {
    D = FVideoInput + " name=src";
    if (FWantWidth > 0 && FWantHeight > 0) {
      D += " ! video/x-raw,width=" + std::to_string(FWantWidth) + ",height=" + std::to_string(FWantHeight);
      const String Fmt = RawFormat(FWantSubtype);
      if (!Fmt.empty()) D += ",format=" + Fmt;
    }
    D += " ! queue ! videoconvert";
  }
  std::vector<String> Branches;
  if (FHasGrabber)
    Branches.push_back(String("queue ! video/x-raw,format=BGR ! appsink name=grab sync=") + Sync);
  if (FRecording)
    Branches.push_back("queue ! videoconvert" + (FVideoCodec.empty() ? String() : " ! " + FVideoCodec) +
                       " ! avimux name=mux ! filesink location=" + Quoted(OutputFileName));
  else if (!FVideoCodec.empty())
    Branches.push_back("queue ! " + FVideoCodec + " ! fakesink sync=" + Sync);
  if (Branches.empty()) Branches.push_back(String("fakesink sync=") + Sync);
  if (Branches.size() == 1) {
    D += " ! " + Branches[0];
  } else {
    D += " ! tee name=t";
    for (const String& B : Branches) D += " t. ! " + B;
  }
  if (!FAudioInput.empty()) {
    D += " " + FAudioInput + " ! queue ! audioconvert";
    if (FRecording) D += (FAudioCodec.empty() ? String() : " ! " + FAudioCodec) + " ! mux.";
    else D += " ! fakesink sync=false";
  }
  if (File && PlayAudio) D += " src. ! queue ! audioconvert ! audioresample ! autoaudiosink";

  auto P = std::make_unique<TGstPipeline>(D);
  if (!P->Valid()) {
    std::lock_guard<std::mutex> L(FShared->Lock);
    FShared->Error = "the pipeline cannot be made: " + P->Error();
    return false;
  }
  // The streaming threads only record and post.
  std::shared_ptr<TShared> Shared = FShared;
  TWindowHandle Notify = FNotify;
  const Cardinal EventMsg = FEventMessage, FrameMsg = FNewFrameMessage;
  const auto Self = reinterpret_cast<LPARAM>(static_cast<TObject*>(this));
  P->OnBusMessage([Shared, Notify, EventMsg, Self](const TGstMessage& M) {
    Integer Code = 0;
    switch (M.Kind) {
      case TGstMessage::EndOfStream: Code = 1, Shared->EndOfStream = true; break;
      case TGstMessage::Error: Code = 2; break;
      case TGstMessage::Warning: Code = 3; break;
      case TGstMessage::StateChanged: Code = 4; break;
      default: return;
    }
    {
      std::lock_guard<std::mutex> L(Shared->Lock);
      if (Code == 2 && Shared->Error.empty()) Shared->Error = M.Text;
      if (Shared->Events.size() >= kMaxEvents) Shared->Events.erase(Shared->Events.begin());
      Shared->Events.push_back(Code);
    }
    if (EventMsg) PostMessage(Notify, EventMsg, 0, Self);
  });
  if (FHasGrabber)
    P->OnNewFrame("grab", [Notify, FrameMsg, Self] {
      // A stream of frames never floods the main thread: a waiting
      // message takes the newest frame's place.
      if (FrameMsg) PostCoalescedMessage(Notify, FrameMsg, 0, Self);
    });
  FPipe = std::move(P);
  FRate = 1.0;
  FTimeFormat = tfTime;
  FLast = TGstFrame();
  FFormats.clear();
  VideoInputSources.Clear();
  return true;
}

void TLKDirectShow::Disconnect() {
  if (!FPipe) return;
  // A recording gets its end so that the file is finished.
  if (FRecording && FPipe->State(0) == 2) FPipe->EndStream(kEndMs);
  FPipe->Stop();
  FPipe.reset();
  FFormats.clear();
  VideoInputSources.Clear();
}

void TLKDirectShow::Run() {
  if (FPipe) FPipe->PlayAsync();
}

void TLKDirectShow::Pause() {
  // A file is cued (its first frame decoded) before the caller asks for
  // lengths and frames; a live source has nothing to cue. Bounded: a
  // pipeline that never settles does not hold the caller.
  if (FPipe && !FPipe->Pause(kSettleMs)) {
    std::lock_guard<std::mutex> L(FShared->Lock);
    if (FShared->Error.empty()) FShared->Error = FPipe->Error();
  }
}

void TLKDirectShow::Stop() {
  if (!FPipe) return;
  if (FRecording && FPipe->State(0) == 2) FPipe->EndStream(kEndMs);
  FPipe->Ready();
}

TLKDirectShowState TLKDirectShow::State() {
  if (!FPipe) return gsStopped;
  const Integer S = FPipe->State(100);
  return S == 2 ? gsRunning : S == 1 ? gsPaused : gsStopped;
}

void TLKDirectShow::SetRate(double Rate) {
  if (!FPipe || !(Rate > 0)) return;
  FPipe->State(1000);  // a state change under way settles first
  if (FPipe->SetRate(Rate, std::max<Int64>(0, FPipe->PositionNs()))) FRate = Rate;
}

bool TLKDirectShow::SetXTimeFormat(TLKTimeFormat Format) {
  if (!FPipe) return false;
  if (Format == tfTime || (Format == tfFrame && FPipe->DurationFrames() >= 0)) {
    FTimeFormat = Format;
    return true;
  }
  return false;
}

Int64 TLKDirectShow::ConvertTimeFormat(Int64 Value, TLKTimeFormat From, TLKTimeFormat To) {
  if (From == To) return Value;
  const Int64 Frame = GetAverageTimePerFrame();
  if (Frame <= 0) return 0;
  if (From == tfTime && To == tfFrame) return Value / Frame;
  if (From == tfFrame && To == tfTime) return Value * Frame;
  return 0;
}

Int64 TLKDirectShow::GetDuration() {
  if (!FPipe) return 0;
  const Int64 V = FTimeFormat == tfFrame ? FPipe->DurationFrames() : FPipe->DurationNs();
  if (V < 0) return 0;
  return FTimeFormat == tfFrame ? V : V / 100;
}

Int64 TLKDirectShow::GetPosition() {
  if (!FPipe) return 0;
  const Int64 Ns = FPipe->PositionNs();
  if (FTimeFormat != tfFrame) return Ns < 0 ? 0 : Ns / 100;
  // Frames from the time and the frame length where the stream states its
  // rate (elements answer position queries in frames unevenly).
  const Int64 Frame = GetAverageTimePerFrame();
  if (Frame > 0 && Ns >= 0) return (Ns / 100 + Frame / 2) / Frame;
  const Int64 V = FPipe->PositionFrames();
  return V < 0 ? 0 : V;
}

void TLKDirectShow::SetPosition(Int64 Position) {
  if (!FPipe || Position < 0) return;
  FShared->EndOfStream = false;
  if (FTimeFormat == tfFrame) FPipe->SeekFrames(Position, kSettleMs);
  else FPipe->SeekNs(Position > INT64_MAX / 100 ? INT64_MAX : Position * 100, kSettleMs);
}

bool TLKDirectShow::GetEndOfStream() { return !FPipe || FShared->EndOfStream.load(); }

bool TLKDirectShow::Step(Integer Frames) { return FPipe && FPipe->Step(Frames); }

TLKVideoFormat* TLKDirectShow::GetVideoFormats(Integer I) {
  return I >= 0 && size_t(I) < FFormats.size() ? FFormats[size_t(I)].get() : nullptr;
}

void TLKDirectShow::SetCurrentVideoFormat(Integer Width, Integer Height, const String& SubtypeName) {
  FWantWidth = Width;
  FWantHeight = Height;
  if (!SubtypeName.empty()) FWantSubtype = SubtypeName;
}

void TLKDirectShow::GetCurrentVideoFormat(Integer& Width, Integer& Height, String& SubtypeName) {
  Width = Height = 0;
  SubtypeName.clear();
  if (!FPipe || !FHasGrabber) return;
  TGstFrame F;
  if (FLast.Width > 0 || FPipe->PullFrame("grab", F, true, 0) || FPipe->LatestFrame("grab", F)) {
    if (F.Width > 0) FLast = std::move(F);
    Width = FLast.Width;
    Height = FLast.Height;
    SubtypeName = "RGB24";
  }
}

Int64 TLKDirectShow::GetAverageTimePerFrame() {
  Integer Num = 0, Den = 0;
  if (!FPipe || !FHasGrabber || !FPipe->FrameRate("grab", Num, Den)) return 0;
  return Int64(Den) * 10000000 / Num;
}

void TLKDirectShow::SetNotifyWindow(const TWindowHandle& Window, Cardinal NewFrameMessage, Cardinal EventMessage) {
  FNotify = Window;
  FNewFrameMessage = NewFrameMessage;
  FEventMessage = EventMessage;
}

bool TLKDirectShow::GetEventCode(Integer& Code) {
  std::lock_guard<std::mutex> L(FShared->Lock);
  if (FShared->Events.empty()) return false;
  Code = FShared->Events.front();
  FShared->Events.erase(FShared->Events.begin());
  return true;
}

void TLKDirectShow::GetSample(TLKBitmap* Bitmap) {
  if (!FPipe || !FHasGrabber || !Bitmap) return;
  TGstFrame F;
  // Paused: the frame shown (the preroll); running: the newest one, or the
  // last one taken when no newer came.
  const bool Got = FPipe->State(0) == 1 ? FPipe->PullFrame("grab", F, true, 0) : FPipe->LatestFrame("grab", F);
  if (Got) FLast = std::move(F);
  if (FLast.Width <= 0 || FLast.Height <= 0) return;
  TProgressRec Pr;
  if (!LKAllowPicture(FLast.Width, FLast.Height, 24, Pr, "video frame")) return;
  if (Bitmap->GetWidth() != FLast.Width || Bitmap->GetHeight() != FLast.Height ||
      Bitmap->GetPixelFormat() != lk24RGB)
    Bitmap->Allocate(FLast.Width, FLast.Height, lk24RGB);
  for (Integer y = 0; y < FLast.Height; ++y)
    std::memcpy(Bitmap->GetScanLine(y), FLast.Pixels.data() + size_t(y) * size_t(FLast.Stride),
                size_t(FLast.Width) * 3);
}

String TLKDirectShow::GetLastError() const {
  std::lock_guard<std::mutex> L(FShared->Lock);
  return FShared->Error;
}
