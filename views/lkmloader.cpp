#include "views/lkmloader.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "core/lkmath.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "processing/lkfilterresample.h"

struct TLKMLoader::Job {
  TLKMLoadRequest Request;
  // The reader's abort flag while it reads; nil before and after.
  std::atomic<bool>* Abort = nullptr;
  bool Cancelled = false;
};

bool LKMUseExifThumbnail(Integer ThumbWidth, Integer ThumbHeight, bool LoadExifThumbnails) {
  return ThumbWidth <= 200 && ThumbHeight <= 200 && LoadExifThumbnails;
}

void LKMPrepareRead(TIOParamsVals& Params, bool Thumb, Integer ThumbWidth, Integer ThumbHeight,
                    bool LoadExifThumbnails, bool AdjustOrientation) {
  if (Thumb) {
    const bool exif = LKMUseExifThumbnail(ThumbWidth, ThumbHeight, LoadExifThumbnails);
    Params.JPEG_SCALE = ioJPEG_AUTOCALC;
    Params.SetJPEG_GetExifThumbnail(exif);
    Params.JPEG_DCTMETHOD = ioJPEG_IFAST;
    Params.WIDTH = ThumbWidth;
    Params.HEIGHT = ThumbHeight;
    Params.SetRAW_GetExifThumbnail(exif);
  } else {
    Params.JPEG_SCALE = ioJPEG_FULLSIZE;
  }
  Params.JPEG_ENABLEADJUSTORIENTATION = AdjustOrientation;
  Params.TIFF_ENABLEADJUSTORIENTATION = AdjustOrientation;
}

std::unique_ptr<TLKBitmap> LKMReduce(TLKBitmap* Bitmap, Integer Width, Integer Height, bool ResampleMinor,
                                     TResampleFilter Filter) {
  const Integer bw = Bitmap->GetWidth(), bh = Bitmap->GetHeight();
  if (!ResampleMinor && bw <= Width && bh <= Height) return nullptr;
  Integer tw = Width, th = Height;
  if (bw > 0 && bh > 0) LKFitResample(bw, bh, Width, Height, tw, th);
  if (tw == bw && th == bh) return nullptr;
  auto out = std::make_unique<TLKBitmap>();
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  if (bw <= 0 || bh <= 0) {
    out->Allocate(tw, th, lk24RGB);
    out->Fill(255);
    return out;
  }
  // 1-bit pictures become grey when reduced, so thin lines stay visible.
  out->Allocate(tw, th, f == lk1g || f == lk24RGB ? lk24RGB : f);
  if (f == lk1g && Filter != rfNone)
    _Resample1bitEx(Bitmap, out.get(), rfFastLinear);
  else
    _LKResampleLKBitmap(Bitmap, out.get(), f == lk24RGB || f == lk1g ? Filter : rfNone);
  return out;
}

TLKMLoader::TLKMLoader(std::function<void()> Notify) : FNotify(std::move(Notify)) {}

TLKMLoader::~TLKMLoader() {
  {
    std::lock_guard<std::mutex> g(FLock);
    FStop = true;
    FQueue.clear();
    for (auto& j : FRunning) {
      j->Cancelled = true;
      if (j->Abort) j->Abort->store(true);
    }
  }
  FWake.notify_all();
  for (std::thread& t : FWorkers) t.join();
}

void TLKMLoader::SetPoolSize(Integer Value) {
  std::lock_guard<std::mutex> g(FLock);
  FPoolSize = std::max<Integer>(Value, 1);
}

Integer TLKMLoader::GetPoolSize() const {
  std::lock_guard<std::mutex> g(FLock);
  return FPoolSize;
}

bool TLKMLoader::Request(TLKMLoadRequest R) {
  std::unique_lock<std::mutex> g(FLock);
  for (const auto& q : FQueue)
    if (q.Key == R.Key) return true;
  for (const auto& j : FRunning)
    if (j->Request.Key == R.Key && !j->Cancelled) return true;
  FQueue.push_back(std::move(R));
  // Workers are started on demand, up to the pool size.
  if (static_cast<Integer>(FWorkers.size()) < FPoolSize) FWorkers.emplace_back([this] { WorkerLoop(); });
  g.unlock();
  FWake.notify_one();
  return true;
}

bool TLKMLoader::IsPending(Int64 Key) const {
  std::lock_guard<std::mutex> g(FLock);
  for (const auto& q : FQueue)
    if (q.Key == Key) return true;
  for (const auto& j : FRunning)
    if (j->Request.Key == Key && !j->Cancelled) return true;
  return false;
}

void TLKMLoader::Retain(const std::function<bool(Int64)>& Wanted) {
  std::lock_guard<std::mutex> g(FLock);
  FQueue.erase(std::remove_if(FQueue.begin(), FQueue.end(), [&](const TLKMLoadRequest& r) { return !Wanted(r.Key); }),
               FQueue.end());
  for (auto& j : FRunning)
    if (!j->Cancelled && !Wanted(j->Request.Key)) {
      j->Cancelled = true;
      if (j->Abort) j->Abort->store(true);
    }
  if (FQueue.empty() && FRunning.empty()) FIdle.notify_all();
}

void TLKMLoader::CancelAll() {
  Retain([](Int64) { return false; });
}

std::vector<TLKMLoadResult> TLKMLoader::TakeResults() {
  std::lock_guard<std::mutex> g(FLock);
  std::vector<TLKMLoadResult> out;
  out.swap(FResults);
  return out;
}

Integer TLKMLoader::GetJobsRunning() const {
  std::lock_guard<std::mutex> g(FLock);
  return static_cast<Integer>(FRunning.size());
}

Integer TLKMLoader::GetJobsWaiting() const {
  std::lock_guard<std::mutex> g(FLock);
  return static_cast<Integer>(FQueue.size());
}

Integer TLKMLoader::GetPeakRunning() const {
  std::lock_guard<std::mutex> g(FLock);
  return FPeak;
}

bool TLKMLoader::WaitIdle(Integer TimeoutMs) {
  std::unique_lock<std::mutex> g(FLock);
  return FIdle.wait_for(g, std::chrono::milliseconds(TimeoutMs), [&] { return FQueue.empty() && FRunning.empty(); });
}

void TLKMLoader::WorkerLoop() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> g(FLock);
      FWake.wait(g, [&] {
        return FStop || (!FQueue.empty() && static_cast<Integer>(FRunning.size()) < FPoolSize);
      });
      if (FStop) return;
      job = std::make_shared<Job>();
      job->Request = std::move(FQueue.front());
      FQueue.pop_front();
      FRunning.push_back(job);
      FPeak = std::max(FPeak, static_cast<Integer>(FRunning.size()));
    }
    Read(*job);
    bool notify = false;
    {
      std::lock_guard<std::mutex> g(FLock);
      FRunning.erase(std::find(FRunning.begin(), FRunning.end(), job));
      notify = !job->Cancelled;
      if (FQueue.empty() && FRunning.empty()) FIdle.notify_all();
    }
    FWake.notify_one();
    if (notify && FNotify) FNotify();
  }
}

void TLKMLoader::Read(Job& J) {
  TLumerakIO io;
  auto bitmap = std::make_unique<TLKBitmap>();
  io.SetAttachedLKBitmap(bitmap.get());
  io.SetReBackground(J.Request.Background);
  LKMPrepareRead(*io.GetIOParams(), J.Request.Thumb, J.Request.ThumbWidth, J.Request.ThumbHeight,
                 J.Request.ExifThumbnail, J.Request.AdjustOrientation);
  {
    std::lock_guard<std::mutex> g(FLock);
    if (J.Cancelled) return;
    J.Abort = io.GetAbortedFlag();
  }
  bool failed = false;
  try {
    io.LoadFromFileAuto(J.Request.FileName);
    failed = io.GetAborted() || bitmap->IsEmpty();
  } catch (...) {
    failed = true;
  }
  {
    std::lock_guard<std::mutex> g(FLock);
    J.Abort = nullptr;
    if (J.Cancelled) {
      io.SetAttachedLKBitmap(nullptr);
      return;
    }
  }
  TLKMLoadResult r;
  r.Key = J.Request.Key;
  r.Failed = failed;
  TIOParamsVals* p = io.GetIOParams();
  r.Background = io.GetReBackground();
  if (p->FILETYPE == lkftJPEG) {
    r.OriginalWidth = p->JPEG_ORIGINALWIDTH;
    r.OriginalHeight = p->JPEG_ORIGINALHEIGHT;
  } else {
    r.OriginalWidth = p->WIDTH;
    r.OriginalHeight = p->HEIGHT;
  }
  // A cell made from the file's embedded thumbnail has that picture as its
  // stored image already; the record does not keep a second copy of it.
  if (J.Request.Thumb && LKMUseExifThumbnail(J.Request.ThumbWidth, J.Request.ThumbHeight, J.Request.ExifThumbnail))
    p->EXIF_ThumbnailImage.reset();
  r.Params = std::make_unique<TIOParamsVals>();
  r.Params->Assign(p);
  io.SetAttachedLKBitmap(nullptr);
  if (!failed && J.Request.Thumb) {
    if (auto reduced = LKMReduce(bitmap.get(), J.Request.ThumbWidth, J.Request.ThumbHeight, J.Request.ResampleMinor,
                                 J.Request.Filter))
      bitmap = std::move(reduced);
  }
  if (!failed) r.Bitmap = std::move(bitmap);
  std::lock_guard<std::mutex> g(FLock);
  if (!J.Cancelled) FResults.push_back(std::move(r));
}
