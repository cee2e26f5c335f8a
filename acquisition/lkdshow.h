// Video capture, recording and media playback over a GStreamer pipeline
// (platform/gstmedia.h): the capture devices and compressors by name, the
// pipeline built from the chosen input (a device or a media file), an
// optional frame grabber and an optional AVI file, run, pause and stop,
// rates, seeks by time or by frame, frame steps, frames copied into a
// bitmap, and a posted message for every new frame and every pipeline
// event.
//
// Threads: every call on the main thread. GStreamer's streaming threads
// only post the two messages to the notify window; the frame is fetched on
// the main thread with GetSample. A message that arrives after the object
// is gone or its pipeline was torn down is recognised (LKDShowAlive).
//
// What the system does not offer answers as an absent interface does: the
// crossbar, the tuner, the codec quality, property pages and saving the
// pipeline give 0, false or nothing.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/gstmedia.h"

class TLKBitmap;

/// The messages a capture object posts to a view: a new frame and a
/// pipeline event (0, the TLKDirectShow object).
constexpr Cardinal LKM_DSHOWNEWFRAME = 8025;
constexpr Cardinal LKM_DSHOWEVENT = 8026;

enum TLKTimeFormat : Byte { tfNone, tfFrame, tfSample, tfField, tfByte, tfTime };
enum TLKDirectShowState : Byte { gsStopped, gsPaused, gsRunning };
enum TLKPropertyPages : Byte { lkpVideoInput, lkpAudioInput, lkpVideoCodec, lkpAudioCodec, lkpVideoInputSource,
                               lkpTuner };
enum TLKPropertyPagesType : Byte { lktFilter, lktInput, lktOutput };

/// One format a video input offers.
class TLKVideoFormat : public TObject {
 public:
  String SubtypeName;
  Integer BitRate = 0;
  String Standards;
  Integer MinOutputWidth = 0, MinOutputHeight = 0, MaxOutputWidth = 0, MaxOutputHeight = 0;
  Integer OutputGranularityX = 0, OutputGranularityY = 0;
};

/// Name of a video subtype by its four-character name ("" when not in the
/// table) and back (the first subtype, CLPL, for a name not in the table).
String SubtypeToName(const String& Subtype);
String NameToSubtype(const String& Name);
/// The names of the set analog-standard flags, separated by one blank.
String VideoStandardsToText(Cardinal Flags);

class TLKDirectShow : public TObject {
 public:
  TLKDirectShow();
  ~TLKDirectShow() override;

  // ---- devices and compressors
  TStringList* GetVideoInputs();
  TStringList* GetAudioInputs();
  TStringList* GetVideoCodecs();
  TStringList* GetAudioCodecs();
  /// Chooses input Index (negative: none); Instance picks among inputs of
  /// the same name. An index beyond the list changes nothing.
  void SetVideoInput(Integer Index, Integer Instance = 0);
  void SetAudioInput(Integer Index, Integer Instance = 0);
  void SetVideoCodec(Integer Index);
  void SetAudioCodec(Integer Index);

  // ---- the pipeline
  /// Builds the pipeline (Disconnect first to rebuild); false with
  /// GetLastError when it cannot be made.
  bool Connect();
  /// Stops and frees the pipeline; a recording is finished first. The
  /// choices stay.
  void Disconnect();
  bool GetGraphCreated() const { return FPipe != nullptr; }
  void Run();
  void Pause();
  void Stop();
  /// The state after waiting up to 100 ms.
  TLKDirectShowState State();
  void SetRate(double Rate);
  double GetRate() const { return FPipe ? FRate : 0; }
  /// tfTime (100-ns units) or tfFrame when the pipeline can count frames;
  /// false (format unchanged) otherwise.
  bool SetXTimeFormat(TLKTimeFormat Format);
  TLKTimeFormat GetXTimeFormat() const { return FPipe ? FTimeFormat : tfNone; }
  Int64 ConvertTimeFormat(Int64 Value, TLKTimeFormat From, TLKTimeFormat To);
  Int64 GetDuration();
  Int64 GetPosition();
  /// Seeks and waits for the pipeline to settle, at most a few seconds (a
  /// live source that cannot seek does not hold the caller).
  void SetPosition(Int64 Position);
  bool GetEndOfStream();
  bool Step(Integer Frames);

  // ---- formats
  TLKVideoFormat* GetVideoFormats(Integer I);
  Integer GetVideoFormatsCount() const { return Integer(FFormats.size()); }
  /// The capture size (and subtype) asked of the video input at Connect.
  void SetCurrentVideoFormat(Integer Width, Integer Height, const String& SubtypeName);
  void GetCurrentVideoFormat(Integer& Width, Integer& Height, String& SubtypeName);
  /// 100-ns units per frame, 0 when unknown.
  Int64 GetAverageTimePerFrame();

  // ---- what the system does not offer
  Integer GetInputSource() { return 0; }
  void SetInputSource(Integer) {}
  void SetVideoTunerChannel(Integer) {}
  Integer GetVideoTunerChannel() { return 0; }
  bool TunerFindSignal() { return false; }
  void SetVideoCodecQuality(double) {}
  double GetVideoCodecQuality() { return 0; }
  bool ShowPropertyPages(TLKPropertyPages, TLKPropertyPagesType, bool) { return false; }
  bool SaveGraph(const String&) { return false; }

  // ---- frames and notifications
  /// Posts NewFrameMessage for each grabbed frame and EventMessage for
  /// each pipeline event to Window, LParam this object.
  void SetNotifyWindow(const TWindowHandle& Window, Cardinal NewFrameMessage, Cardinal EventMessage);
  TWindowHandle GetNotifyWindow() const { return FNotify; }
  /// Takes one pipeline event; false when none is waiting. Code: 1 end of
  /// stream, 2 error (GetLastError), 3 warning, 4 state change.
  bool GetEventCode(Integer& Code);
  /// Copies the grabber's newest frame into Bitmap (lk24RGB, top row first);
  /// without a grabber or before the first frame the bitmap stays as it is.
  void GetSample(TLKBitmap* Bitmap);
  String GetLastError() const;

  String InputFileName;
  String OutputFileName;
  bool GrabberEnabled = false;
  bool PlayAudio = false;
  TStringList VideoInputSources;

 private:
  struct TDevice {
    String Name, Launch;
  };
  static String Pick(const std::vector<TDevice>& List, Integer Index, Integer Instance);
  std::vector<TDevice> FVideoDevs, FAudioDevs, FVideoCodecDevs, FAudioCodecDevs;
  TStringList FVideoInputs, FAudioInputs, FVideoCodecs, FAudioCodecs;
  String FVideoInput, FAudioInput, FVideoCodec, FAudioCodec;
  std::unique_ptr<TGstPipeline> FPipe;
  std::vector<std::unique_ptr<TLKVideoFormat>> FFormats;
  TWindowHandle FNotify;
  Cardinal FNewFrameMessage = 0, FEventMessage = 0;
  double FRate = 1.0;
  TLKTimeFormat FTimeFormat = tfTime;
  bool FRecording = false, FHasGrabber = false, FPrerolled = false;
  Integer FWantWidth = 0, FWantHeight = 0;
  String FWantSubtype;
  TGstFrame FLast;
  // Shared with the streaming threads' posts.
  struct TShared {
    std::mutex Lock;
    std::vector<Integer> Events;
    String Error;
    std::atomic<bool> EndOfStream{false};
  };
  std::shared_ptr<TShared> FShared;
};

/// Whether Object is a live TLKDirectShow with a pipeline (message handlers
/// check what a posted message names). Main thread.
bool LKDShowAlive(const TObject* Object);

/// Devices added to the system's video inputs (name and pipeline
/// description), for machines without a camera; empty by default.
void LKDShowSetExtraVideoInputs(std::vector<std::pair<String, String>> Inputs);
