// The thumbnail view's loader: a small pool of worker threads that read the
// pictures of entries named by a file, each with its own I/O component, and
// hand the results back to the view's thread.
//
// Design
// - The view queues requests (one per entry key) and, after each paint
//   pass, tells the loader which keys it still wants (Retain): unwanted
//   queued requests are dropped and unwanted running reads are stopped
//   through their reader's abort flag; their results are thrown away.
// - At most PoolSize reads run at once. Workers wait on a condition
//   variable when there is nothing to do, so an idle loader costs nothing.
// - A worker reads, reduces the picture to the cell size when asked (so
//   only small pictures cross threads) and appends the result to a queue.
//   It then calls the Notify callback, which must only queue (the view
//   posts a call to its main thread). The view takes results with
//   TakeResults on its own thread and stores them; a worker never touches
//   the view, its lists or a widget.
// - A read that fails comes back with Failed set; the view draws the
//   placeholder for it.
//
// Threads: every public call is for the view's thread, except that Notify
// runs on a worker. The destructor stops the reads and joins the workers.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/graphics.h"

/// What to read for one entry and how.
struct TLKMLoadRequest {
  Int64 Key = 0;
  String FileName;
  TColor Background = clBtnFace;
  /// Reduce to ThumbWidth x ThumbHeight (cells stored as thumbnails).
  bool Thumb = false;
  Integer ThumbWidth = 100;
  Integer ThumbHeight = 100;
  /// Read the picture's embedded thumbnail where the format has one.
  bool ExifThumbnail = false;
  bool AdjustOrientation = false;
  /// Also enlarge pictures smaller than the cell.
  bool ResampleMinor = true;
  TResampleFilter Filter = rfFastLinear;
};

/// A finished read.
struct TLKMLoadResult {
  Int64 Key = 0;
  bool Failed = false;
  std::unique_ptr<TLKBitmap> Bitmap;
  std::unique_ptr<TIOParamsVals> Params;
  TColor Background = clBtnFace;
  /// Size of the picture in the file.
  Integer OriginalWidth = 0;
  Integer OriginalHeight = 0;
};

/// Prepares a reader's parameters for a thumbnail read (JPEG scaling and
/// embedded thumbnails when the cells are at most 200 x 200).
void LKMPrepareRead(TIOParamsVals& Params, bool Thumb, Integer ThumbWidth, Integer ThumbHeight,
                    bool LoadExifThumbnails, bool AdjustOrientation);

/// Whether a ThumbWidth x ThumbHeight cell may use embedded thumbnails.
bool LKMUseExifThumbnail(Integer ThumbWidth, Integer ThumbHeight, bool LoadExifThumbnails);

/// Reduces Bitmap to fit Width x Height (lk24RGB) unless it already fits
/// and ResampleMinor is false; nil when it is kept as it is.
std::unique_ptr<TLKBitmap> LKMReduce(TLKBitmap* Bitmap, Integer Width, Integer Height, bool ResampleMinor,
                                     TResampleFilter Filter);

/// The pool of readers (see the top of the file).
class TLKMLoader {
 public:
  explicit TLKMLoader(std::function<void()> Notify);
  ~TLKMLoader();
  TLKMLoader(const TLKMLoader&) = delete;
  TLKMLoader& operator=(const TLKMLoader&) = delete;

  /// Reads at once at most Value pictures (at least 1).
  void SetPoolSize(Integer Value);
  Integer GetPoolSize() const;
  /// Queues Request unless its key is queued or being read. True when it is
  /// queued or running afterwards.
  bool Request(TLKMLoadRequest Request);
  /// True while the key is queued or being read.
  bool IsPending(Int64 Key) const;
  /// Drops queued requests and stops running reads whose key Wanted rejects.
  void Retain(const std::function<bool(Int64)>& Wanted);
  /// Drops every queued request and stops every running read.
  void CancelAll();
  /// Finished results, oldest first (cancelled reads never appear).
  std::vector<TLKMLoadResult> TakeResults();
  Integer GetJobsRunning() const;
  Integer GetJobsWaiting() const;
  /// Most reads that ran at the same time so far.
  Integer GetPeakRunning() const;
  /// Waits until nothing is queued or running (or TimeoutMs passed); true
  /// when idle. For tests and shutdown.
  bool WaitIdle(Integer TimeoutMs);

 private:
  struct Job;
  void WorkerLoop();
  void Read(Job& J);

  std::function<void()> FNotify;
  mutable std::mutex FLock;
  std::condition_variable FWake;
  std::condition_variable FIdle;
  std::deque<TLKMLoadRequest> FQueue;
  std::vector<std::shared_ptr<Job>> FRunning;
  std::vector<TLKMLoadResult> FResults;
  std::vector<std::thread> FWorkers;
  Integer FPoolSize = 5;
  Integer FPeak = 0;
  bool FStop = false;
};
