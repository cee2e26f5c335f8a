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

#include <memory>
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

 private:
  void* FPipeline = nullptr;  // GstElement
  String FError;
};

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
