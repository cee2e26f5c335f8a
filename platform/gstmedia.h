// Media files and devices over GStreamer: a pipeline wrapper with its bus,
// a frame pull from an application sink, and a media file opened for
// single frames (duration, frame rate, seeks by time).
//
// Frames come out as 24-bit rows in blue, green, red order, top row first,
// each row padded to a multiple of four bytes.
//
// Threads: GStreamer runs its own streaming threads; these objects are used
// from one thread at a time and wait on that thread (never for longer than
// the timeouts they are given). GStreamer is initialised once, on first use.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/system.h"

/// One video frame pulled from a sink.
struct TGstFrame {
  Integer Width = 0;
  Integer Height = 0;
  Integer Stride = 0;          ///< bytes per row
  std::vector<Byte> Pixels;    ///< Height rows of Stride bytes, top row first
  Int64 Position = -1;         ///< presentation time in nanoseconds, -1 when unknown
};

/// What the bus said.
struct TGstMessage {
  enum TKind { None, EndOfStream, Error, Warning, StateChanged, Other } Kind = None;
  String Text;  ///< the error or warning text, with its debug detail
};

/// What a sink with a new-frame procedure keeps: the procedure and the
/// newest sample.
struct TGstFrameHolder {
  String Sink;
  std::function<void()> Proc;
  std::mutex Lock;
  TGstFrame Latest;
  bool HasLatest = false;
};

/// A pipeline made from a description ("videotestsrc ! appsink name=sink").
class TGstPipeline {
 public:
  /// Parses Description; Error() says why when that failed (Valid false).
  explicit TGstPipeline(const String& Description);
  ~TGstPipeline();
  TGstPipeline(const TGstPipeline&) = delete;
  TGstPipeline& operator=(const TGstPipeline&) = delete;
  bool Valid() const;
  String Error() const { return FError; }
  /// Sets a string property of the element named Element.
  bool SetProperty(const String& Element, const String& Property, const String& Value);
  /// Goes to paused (prerolled) or playing and waits up to TimeoutMs for
  /// the change; false (Error set from the bus) when it fails.
  bool Pause(Integer TimeoutMs);
  bool Play(Integer TimeoutMs);
  /// Back to the null state (frees the streaming threads).
  void Stop();
  /// Duration in nanoseconds, -1 when the pipeline cannot tell.
  Int64 DurationNs();
  /// Duration in frames, -1 when the pipeline cannot tell.
  Int64 DurationFrames();
  /// Seeks to Ns nanoseconds, exactly (not to the key frame before), and
  /// waits up to TimeoutMs for the pipeline to settle there.
  bool SeekNs(Int64 Ns, Integer TimeoutMs);
  /// The next bus message, waiting up to TimeoutMs (None when none came).
  TGstMessage PopMessage(Integer TimeoutMs);
  /// The frame an application sink named Sink holds: the prerolled one in
  /// the paused state, the next one while playing. False at the end of the
  /// stream, on a timeout, or when the sink gives no 24-bit frame.
  bool PullFrame(const String& Sink, TGstFrame& Frame, bool Preroll, Integer TimeoutMs);
  /// The frame rate the sink negotiated (Num/Den), false before it has.
  bool FrameRate(const String& Sink, Integer& Num, Integer& Den);

  // ---- control of a running pipeline (capture and playback)

  /// Starts the change to paused or playing without waiting for it.
  bool PauseAsync();
  bool PlayAsync();
  /// Back to the ready state (stopped, resources kept).
  void Ready();
  /// The state after waiting up to TimeoutMs for a change under way:
  /// 0 stopped (null or ready), 1 paused, 2 playing.
  Integer State(Integer TimeoutMs);
  /// Position in nanoseconds or in frames, -1 when the pipeline cannot tell.
  Int64 PositionNs();
  Int64 PositionFrames();
  /// Seeks to a frame (the pipeline's default format), exactly; false when
  /// the pipeline cannot seek by frames.
  bool SeekFrames(Int64 Frame, Integer TimeoutMs);
  /// Plays from the current position at Rate (1 normal, 2 twice as fast).
  bool SetRate(double Rate, Int64 PositionNs);
  /// Moves Frames video frames on while paused.
  bool Step(Int64 Frames);
  /// Sends the end of the stream down the pipeline and waits up to
  /// TimeoutMs for it to arrive (so that muxers finish their files).
  bool EndStream(Integer TimeoutMs);
  /// Called on a streaming thread for every frame the sink named Sink
  /// receives; it must only post. The newest frame is taken from the sink
  /// and kept for LatestFrame (the sink then never holds the stream back).
  bool OnNewFrame(const String& Sink, std::function<void()> Proc);
  /// The newest frame kept for a sink with OnNewFrame; false before the
  /// first.
  bool LatestFrame(const String& Sink, TGstFrame& Frame);
  /// Called on the thread that posts it for every bus message; it must
  /// only post. The messages stay on the bus for PopMessage.
  void OnBusMessage(std::function<void(const TGstMessage& Message)> Proc);

 private:
  void* FPipeline = nullptr;  // GstElement
  String FError;
  std::shared_ptr<std::function<void(const TGstMessage&)>> FBusProc;
  std::vector<std::shared_ptr<struct TGstFrameHolder>> FFrameProcs;
};

/// A capture device GStreamer's device monitor lists: its name and the
/// pipeline description of its source element.
struct TGstDevice {
  String Name, Launch;
};
/// The devices of a class ("Video/Source", "Audio/Source").
std::vector<TGstDevice> GstListDevices(const String& Class);
/// The long names of the element factories whose class holds every word of
/// Klass ("Encoder/Video"), with their factory names.
std::vector<std::pair<String, String>> GstListElements(const String& Klass);

/// A media file opened for single frames: the first video stream, decoded
/// by whatever GStreamer finds for it.
class TGstMediaFile {
 public:
  TGstMediaFile();
  ~TGstMediaFile();
  /// Opens and prerolls the file; false (Error says why) when GStreamer
  /// cannot play it or it has no video.
  bool Open(const String& FileName);
  void Close();
  bool IsOpen() const { return FPipeline != nullptr; }
  String Error() const { return FError; }
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  /// Length in nanoseconds (0 when unknown).
  Int64 DurationNs() const { return FDuration; }
  /// Length of one frame in nanoseconds (from the frame rate; 0 when the
  /// stream states none).
  Int64 FrameNs() const { return FFrameNs; }
  /// Frames in the file: the duration over the frame length (rounded),
  /// else the pipeline's own count, 0 when neither is known.
  Int64 FrameCount() const { return FFrames; }
  /// The frame shown at Ns nanoseconds.
  bool FrameAt(Int64 Ns, TGstFrame& Frame);

 private:
  std::unique_ptr<TGstPipeline> FPipeline;
  String FError;
  Integer FWidth = 0, FHeight = 0;
  Int64 FDuration = 0, FFrameNs = 0, FFrames = 0;
};
