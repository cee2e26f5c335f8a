// Obtaining the thumbnail view's images: at once on the main thread, or
// through the loader's workers; the placeholder of unreadable files; the
// readers of frames of multi-frame files; the release of far images.
#include <algorithm>
#include <chrono>

#include "core/lkbitmap.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "platform/sysutils.h"
#include "views/lkmio.h"
#include "views/lkmloader.h"
#include "views/lumerakmview.h"

namespace {

// Splits "name::frame" at its last "::" when digits follow; other names are
// plain file names (a Linux name may hold "::").
bool SplitFrameName(const String& Name, String& File, Integer& Frame) {
  const size_t p = Name.rfind("::");
  if (p == String::npos) return false;
  File = Name.substr(0, p);
  const String tail = Name.substr(p + 2);
  Frame = 0;
  if (!tail.empty() && tail.size() <= 9 && std::all_of(tail.begin(), tail.end(), [](char c) { return c >= '0' && c <= '9'; }))
    Frame = std::stoi(tail);
  return true;
}

String ExtensionOf(const String& Name) {
  const size_t slash = Name.rfind('/');
  const size_t dot = Name.rfind('.');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return String();
  return Name.substr(dot);
}

}  // namespace

bool TLumerakMView::IsOnDemand(const TLKImageInfo& Info) const {
  return (Info.ID >= 0 && static_cast<bool>(OnImageIDRequestEx)) || Info.HasFileName;
}

bool TLumerakMView::IsLookAhead(Integer Idx) const {
  return std::find(FLookAheadList.begin(), FLookAheadList.end(), Idx) != FLookAheadList.end();
}

Integer TLumerakMView::GetJobsRunning() const { return FLoader->GetJobsRunning(); }
Integer TLumerakMView::GetJobsWaiting() const { return FLoader->GetJobsWaiting(); }
Integer TLumerakMView::GetResultsWaiting() const { return static_cast<Integer>(FDeferred.size()); }

void TLumerakMView::ClearImageCache(Integer Idx) {
  if (TLKImageInfo* e = Entry(Idx)) DropDisplayCopy(*e);
}

void TLumerakMView::ClearCache() {
  for (auto& e : FEntries) DropDisplayCopy(*e);
}

void TLumerakMView::UpdateImage(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return;
  DropDisplayCopy(*e);
  UpdateEx(false);
}

void TLumerakMView::ReloadImage(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e != nullptr && IsOnDemand(*e)) DropStored(*e);
  Update();
}

void TLumerakMView::DoWrongImage(TLKBitmap* Bitmap, Integer Idx) {
  const Integer w = std::max<Integer>(FThumbWidth, 1), h = std::max<Integer>(FThumbHeight, 1);
  if (OnWrongImage) {
    Bitmap->Allocate(w, h, lk24RGB);
    bool handled = false;
    OnWrongImage(this, Bitmap, Idx, handled);
    if (handled) return;
  }
  // A white cell with a large blue question mark over a grey shadow, drawn
  // once per cell size: a folder of damaged files costs one drawing. The
  // copy is stored like any picture, so the entry has its image and is not
  // asked for again.
  if (FPlaceholder && FPlaceholder->GetWidth() == w && FPlaceholder->GetHeight() == h) {
    Bitmap->Assign(FPlaceholder.get());
    return;
  }
  TBitmap dib(w, h, pf24bit);
  TCanvas* c = dib.GetCanvas();
  c->GetBrush()->SetStyle(bsSolid);
  c->GetBrush()->SetColor(clWhite);
  c->FillRect(TRect{0, 0, w, h});
  c->GetFont()->SetName("Arial");
  c->GetFont()->SetSize(std::max<Integer>(h * 2 / 3, 1));
  c->GetFont()->SetStyle(TFontStyles{fsBold});
  c->GetBrush()->SetStyle(bsClear);
  const TSize t = c->TextExtent("?");
  c->GetFont()->SetColor(RGB(128, 128, 128));
  c->TextOut((w - t.cx) / 2 + 3, (h - t.cy) / 2 + 3, "?");
  c->GetFont()->SetColor(clBlue);
  c->TextOut((w - t.cx) / 2, (h - t.cy) / 2, "?");
  Bitmap->CopyFromTBitmap(&dib);
  FPlaceholder = std::make_unique<TLKBitmap>();
  FPlaceholder->Assign(Bitmap);
}

void TLumerakMView::StoreLoaded(Integer Idx, TLKBitmap* Bitmap, const TIOParamsVals* Params, TColor Back,
                                Integer OrigW, Integer OrigH, bool AlreadyReduced) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return;
  if (Params != nullptr) {
    if (TIOParamsVals* rec = GetLumerakMIO()->GetParams(Idx)) rec->Assign(Params);
  }
  e->BackColor = Back;
  if (AlreadyReduced) {
    // The worker reduced it already: store as it is.
    const TLKStoreType saved = StoreType;
    StoreType = lktNormal;
    SetLKBitmapEx(Idx, Bitmap);
    StoreType = saved;
  } else {
    SetLKBitmapEx(Idx, Bitmap);
  }
  if (e->Stored != nullptr && OrigW > 0 && OrigH > 0) {
    FImageList->SetImageOriginalWidth(e->Stored, OrigW);
    FImageList->SetImageOriginalHeight(e->Stored, OrigH);
  }
}

void TLumerakMView::ReadOnDemandFrame(TLKImageInfo& E, TLKBitmap* Bitmap, TLumerakIO*& Reader, bool& Failed) {
  String file;
  Integer frame = 0;
  SplitFrameName(E.FileName, file, frame);
  Reader = nullptr;
  for (auto& r : FOnDemandReaders)
    if (r->GetIOParams()->FILENAME == file) Reader = r.get();
  if (Reader == nullptr) {
    FOnDemandReaders.push_back(std::make_unique<TLumerakIO>());
    Reader = FOnDemandReaders.back().get();
    Reader->GetIOParams()->FILENAME = file;
  }
  Reader->SetAttachedLKBitmap(Bitmap);
  Reader->SetReBackground(E.BackColor);
  LKMPrepareRead(*Reader->GetIOParams(), StoreType == lktThumb, FThumbWidth, FThumbHeight, LoadExifThumbnails,
                 AdjustOrientation);
  E.Delay = 0;
  PLKFileFormatInfo info = LKFileFormatGetInfo2(ExtensionOf(file));
  if (info == nullptr || info->FormatType == lkftAVI) {
    // Frames of video files are not read yet.
    Reader->SetAbortedWith("video frames cannot be read");
    Failed = true;
    return;
  }
  Reader->GetIOParams()->SetImageIndex(frame);
  try {
    Reader->LoadFromFileAuto(file);
  } catch (...) {
    Reader->SetAborted(true);
  }
  // The reader keeps its name so the next frame of the same file finds it.
  Reader->GetIOParams()->FILENAME = file;
  if (info->FormatType == lkftGIF) E.Delay = Reader->GetIOParams()->GIF_DELAYTIME * 10;
  Failed = Reader->GetAborted() || Bitmap->IsEmpty();
}

bool TLumerakMView::ObtainImageNow(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return true;
  if (e->ID >= 0 && OnImageIDRequestEx) {
    TLKBitmap* b = nullptr;
    OnImageIDRequestEx(this, e->ID, b);
    if (b != nullptr) SetLKBitmapEx(Idx, b);
    return true;
  }
  if (!e->HasFileName) return true;
  String file;
  Integer frame = 0;
  if (!SplitFrameName(e->FileName, file, frame))
    return ReadOwn(Idx, [&](TLumerakIO& io) { io.LoadFromFileAuto(e->FileName); });
  TLKBitmap bitmap;
  TLumerakIO* reader = nullptr;
  bool failed = false;
  ReadOnDemandFrame(*e, &bitmap, reader, failed);
  if (failed) DoWrongImage(&bitmap, Idx);
  TIOParamsVals* p = reader->GetIOParams();
  StoreLoaded(Idx, &bitmap, p, reader->GetReBackground(), failed ? 0 : p->WIDTH, failed ? 0 : p->HEIGHT, false);
  reader->SetAttachedLKBitmap(nullptr);
  return !failed;
}

void TLumerakMView::MakeLoadRequest(TLKImageInfo& E) {
  TLKMLoadRequest r;
  r.Key = E.Key;
  r.FileName = E.FileName;
  r.Background = E.BackColor;
  r.Thumb = StoreType == lktThumb;
  r.ThumbWidth = FThumbWidth;
  r.ThumbHeight = FThumbHeight;
  r.ExifThumbnail = LoadExifThumbnails;
  r.AdjustOrientation = AdjustOrientation;
  r.ResampleMinor = EnableResamplingOnMinor;
  r.Filter = StoreResampleFilter;
  if (!FPost) std::atomic_store(&FPost, GetPost());
  FLoader->Request(std::move(r));
}

bool TLumerakMView::ObtainImageThreaded(Integer Idx) {
  TLKImageInfo* e = Entry(Idx);
  if (e == nullptr) return true;
  String file;
  Integer frame;
  if (e->HasFileName && SplitFrameName(e->FileName, file, frame)) return false;
  if (e->Stored != nullptr) return true;
  if (FLoader->IsPending(e->Key)) return true;
  for (const TLKMLoadResult& r : FDeferred)
    if (r.Key == e->Key) return true;  // read, waiting to be stored
  if (e->ID >= 0 && OnImageIDRequestEx) return false;
  if (!e->HasFileName) return false;
  MakeLoadRequest(*e);
  return true;
}

void TLumerakMView::PostTake() {
  // One call stands for every result that arrives before it runs, so a fast
  // loader never buries the main thread in calls.
  if (FTakePosted.exchange(true)) return;
  std::shared_ptr<TLKViewPost> post = std::atomic_load(&FPost);
  if (!post) {
    FTakePosted = false;
    return;
  }
  post->PostCall([](TLKViewLink& v) {
    if (auto* m = dynamic_cast<TLumerakMView*>(&v)) m->TakeDueImages();
  });
}

Integer TLumerakMView::StoreResult(TLKMLoadResult& R, Integer Idx) {
  if (R.Failed || !R.Bitmap) {
    TLKBitmap placeholder;
    DoWrongImage(&placeholder, Idx);
    StoreLoaded(Idx, &placeholder, R.Params.get(), R.Background, 0, 0, false);
  } else {
    StoreLoaded(Idx, R.Bitmap.get(), R.Params.get(), R.Background, R.OriginalWidth, R.OriginalHeight, true);
  }
  return 1;
}

Integer TLumerakMView::TakeLoadedImages() {
  FTakePosted = false;
  std::vector<TLKMLoadResult> results = FLoader->TakeResults();
  std::vector<TLKMLoadResult> all;
  all.swap(FDeferred);
  for (TLKMLoadResult& r : results) all.push_back(std::move(r));
  Integer stored = 0;
  for (TLKMLoadResult& r : all) {
    const Integer idx = IndexOfKey(r.Key);
    if (idx >= 0) stored += StoreResult(r, idx);  // else the entry went while it was read
  }
  if (stored > 0) Invalidate();
  return stored;
}

Integer TLumerakMView::TakeDueImages(Integer BudgetMs) {
  FTakePosted = false;
  for (TLKMLoadResult& r : FLoader->TakeResults()) FDeferred.push_back(std::move(r));
  if (FDeferred.empty()) return 0;
  // Cells on the screen first, whatever their number; then the others in
  // arrival order while the budget lasts. What is left waits for the next
  // call, posted behind the paint these results ask for.
  const auto start = std::chrono::steady_clock::now();
  Integer stored = 0;
  bool shown = false;
  std::vector<TLKMLoadResult> later;
  for (TLKMLoadResult& r : FDeferred) {
    const Integer idx = IndexOfKey(r.Key);
    if (idx < 0) continue;
    if (IsVisible(idx) || idx == FSelected) {
      stored += StoreResult(r, idx);
      shown = true;
    } else {
      later.push_back(std::move(r));
    }
  }
  FDeferred.clear();
  size_t k = 0;
  for (; k < later.size(); ++k) {
    if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(BudgetMs)) break;
    const Integer idx = IndexOfKey(later[k].Key);
    if (idx >= 0) stored += StoreResult(later[k], idx);
  }
  for (; k < later.size(); ++k) FDeferred.push_back(std::move(later[k]));
  if (shown) Invalidate();
  if (!FDeferred.empty()) PostTake();
  return stored;
}

bool TLumerakMView::WaitLoaded(Integer TimeoutMs) {
  const bool idle = FLoader->WaitIdle(TimeoutMs);
  TakeLoadedImages();
  return idle;
}

void TLumerakMView::ClearThreadsAndRequests() {
  FLookAheadList.clear();
  FLoader->CancelAll();
  // Cancelled reads stop at their next row; wait a little for them.
  FLoader->WaitIdle(1000);
  FLoader->TakeResults();
  FDeferred.clear();
}

void TLumerakMView::ReleaseFarImages(Integer First, Integer Last) {
  if (OnDemandKeepRange < 0 || First < 0) return;
  const Integer k = std::max(LookAhead, OnDemandKeepRange);
  for (Integer i = 0; i < GetImageCount(); ++i) {
    if (i >= First - k && i <= Last + k) continue;
    TLKImageInfo& e = *FEntries[static_cast<size_t>(i)];
    if (e.Stored != nullptr && IsOnDemand(e) && i != FSelected) {
      DropStored(e);
      // The next read fills the record again.
      if (FMIO) FMIO->ReleaseIOParam(i);
    }
  }
}

void TLumerakMView::RequestLookAhead(Integer Last) {
  if (LookAhead <= 0 || FThreadPoolSize <= 0 || Last + 1 >= GetImageCount()) return;
  FLookAheadList.clear();
  for (Integer i = Last + 1; i < GetImageCount() && i <= Last + LookAhead; ++i) {
    TLKImageInfo& e = *FEntries[static_cast<size_t>(i)];
    if (e.Stored == nullptr && e.DisplayCopy == nullptr) {
      FLookAheadList.push_back(i);
      ObtainImageThreaded(i);
    }
  }
}

bool TLumerakMView::ReadOwn(Integer Idx, const std::function<void(TLumerakIO&)>& Read) {
  TLKImageInfo* e = Entry(Idx);
  TLKBitmap bitmap;
  TLumerakIO* io = FOwnIO.get();
  io->SetAttachedLKBitmap(&bitmap);
  io->SetReBackground(e->BackColor);
  io->OnProgress = OnIOProgress;
  LKMPrepareRead(*io->GetIOParams(), StoreType == lktThumb, FThumbWidth, FThumbHeight, LoadExifThumbnails,
                 AdjustOrientation);
  try {
    Read(*io);
  } catch (...) {
    io->SetAborted(true);
  }
  const bool failed = io->GetAborted() || bitmap.IsEmpty();
  if (failed) DoWrongImage(&bitmap, Idx);
  TIOParamsVals* p = io->GetIOParams();
  const bool jpeg = p->FILETYPE == lkftJPEG;
  StoreLoaded(Idx, &bitmap, p, io->GetReBackground(), failed ? 0 : jpeg ? p->JPEG_ORIGINALWIDTH : p->WIDTH,
              failed ? 0 : jpeg ? p->JPEG_ORIGINALHEIGHT : p->HEIGHT, false);
  io->SetAttachedLKBitmap(nullptr);
  return !failed;
}

bool TLumerakMView::SetImageFromFile(Integer Idx, const String& FileName) {
  if (Entry(Idx) == nullptr) return false;
  const bool ok = ReadOwn(Idx, [&](TLumerakIO& io) { io.LoadFromFileAuto(FileName); });
  DropDisplayCopy(*Entry(Idx));
  UpdateEx(false);
  return ok;
}

bool TLumerakMView::SetImageFromStream(Integer Idx, TStream* Stream) {
  if (Entry(Idx) == nullptr || Stream == nullptr) return false;
  const bool ok = ReadOwn(Idx, [&](TLumerakIO& io) { io.LoadFromStream(Stream); });
  DropDisplayCopy(*Entry(Idx));
  UpdateEx(false);
  return ok;
}
