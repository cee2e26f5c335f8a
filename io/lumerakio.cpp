#include "io/lumerakio.h"

#include <algorithm>
#include <mutex>

#include "core/lkbitmap.h"
#include "io/lkiothread.h"
#include "core/lklayer.h"
#include "platform/graphics.h"
#include "platform/imagecontrol.h"

TLumerakIO::TLumerakIO(TComponent* Owner) : TComponent(Owner) {
  FLKBitmap = new TLKBitmap();
  FOwnsBitmap = true;
  FIOParams = new TIOParamsVals(this);
  // Bound through the virtual call, so a descendant's DoIntProgress gets
  // every codec report.
  FProgressHook = [this](TObject* Sender, Integer per) { DoIntProgress(Sender, per); };
}

TLumerakIO::~TLumerakIO() {
  // No worker may outlive the state it works on.
  WaitThreads(false);
  // An open document is finished, not lost.
  try {
    ClosePSFile();
    ClosePDFFile();
    CloseAVIFile();
    CloseMediaFile();
    // A modeless scan must not call back into a component that is gone.
    AcquireClose();
  } catch (...) {
  }
  RemoveViewRegistration();
  if (FAttachedLumerak != nullptr) RemoveViewFreeNotification();
  FAttachedLumerak = nullptr;
  delete FIOParams;
  FIOParams = nullptr;
  FreeOwnedBitmap();
  FLKBitmap = nullptr;
}

void TLumerakIO::FreeOwnedBitmap() {
  if (FOwnsBitmap) delete FLKBitmap;
  FOwnsBitmap = false;
}

void TLumerakIO::UseOwnBitmap() {
  FreeOwnedBitmap();
  FVclBitmap = nullptr;
  FLKBitmap = new TLKBitmap();
  FLKBitmap->SetDitherMethod(FDefaultDitherMethod);
  FOwnsBitmap = true;
}

void TLumerakIO::RemoveViewRegistration() {
  if (FAttachedLumerak != nullptr && FBitmapChangeHandle >= 0)
    FAttachedLumerak->RemoveBitmapChangeEvent(FBitmapChangeHandle);
  FBitmapChangeHandle = -1;
}

std::shared_ptr<TLKViewPost> TLumerakIO::ViewPost() {
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  return FViewPost;
}

void TLumerakIO::SetViewPost(std::shared_ptr<TLKViewPost> Post) {
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  FViewPost = std::move(Post);
}

void TLumerakIO::RemoveViewFreeNotification() {
  if (TComponent* view = FAttachedLumerak->GetLinkComponent()) RemoveFreeNotification(view);
}

void TLumerakIO::ForgetView() {
  FAttachedLumerak = nullptr;
  SetViewPost(nullptr);
  FBitmapChangeHandle = -1;
  // The working bitmap was the view's (or wrapped the view's pixels).
  UseOwnBitmap();
}

void TLumerakIO::SetAttachedLumerak(TLKViewLink* Value) {
  RemoveViewRegistration();
  if (FAttachedLumerak != nullptr && FAttachedLumerak != Value) RemoveViewFreeNotification();
  if (Value == nullptr) {
    if (FAttachedLumerak != nullptr || !FOwnsBitmap) UseOwnBitmap();
    FAttachedLumerak = nullptr;
    SetViewPost(nullptr);
    return;
  }
  FreeOwnedBitmap();
  if (FAttachedTImage != nullptr) RemoveFreeNotification(FAttachedTImage);
  FAttachedTImage = nullptr;
  FAttachedLumerak = Value;
  SetViewPost(Value->GetPost());
  FVclBitmap = Value->GetFBitmap();
  FLKBitmap = Value->GetLKBitmap();
  if (FLKBitmap != nullptr) {
    FVclBitmap = nullptr;
  } else {
    FLKBitmap = new TLKBitmap();
    FOwnsBitmap = true;
    FLKBitmap->SetDitherMethod(FDefaultDitherMethod);
    if (FVclBitmap != nullptr) FLKBitmap->EncapsulateTBitmap(FVclBitmap, true);
  }
  if (TComponent* view = Value->GetLinkComponent()) FreeNotification(view);
  FBitmapChangeHandle =
      Value->RegisterBitmapChangeEvent([this](TObject* Sender, bool Destroying) { OnBitmapChange(Sender, Destroying); });
}

void TLumerakIO::OnBitmapChange(TObject*, bool Destroying) {
  if (FAttachedLumerak == nullptr) return;
  if (Destroying) {
    // The view already dropped the registration.
    FBitmapChangeHandle = -1;
    RemoveViewFreeNotification();
    ForgetView();
    return;
  }
  FVclBitmap = FAttachedLumerak->GetFBitmap();
  if (FOwnsBitmap) {
    if (FVclBitmap != nullptr) FLKBitmap->EncapsulateTBitmap(FVclBitmap, true);
  } else {
    FLKBitmap = FAttachedLumerak->GetLKBitmap();
    if (FLKBitmap != nullptr) FVclBitmap = nullptr;
  }
  FIOParams->SetDpiX(FAttachedLumerak->GetDpiX());
  FIOParams->SetDpiY(FAttachedLumerak->GetDpiY());
}

void TLumerakIO::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // (A component being destroyed is no view any more: the view's own
  // destruction has already told this component through its callbacks.)
  if (Operation == opRemove && AComponent != nullptr && FAttachedLumerak != nullptr &&
      dynamic_cast<TLKViewLink*>(AComponent) == FAttachedLumerak) {
    RemoveViewRegistration();
    ForgetView();
  }
  if (Operation == opRemove && AComponent != nullptr && AComponent == FAttachedTImage) {
    FAttachedTImage = nullptr;
    // Its picture goes with it: never keep wrapping that bitmap.
    SetBitmap(nullptr);
  }
}

void TLumerakIO::SetTImage(TImage* Value) {
  if (FAttachedTImage != nullptr && FAttachedTImage != Value) RemoveFreeNotification(FAttachedTImage);
  FAttachedTImage = Value;
  if (Value == nullptr) {
    SetBitmap(nullptr);
    return;
  }
  if (FAttachedLumerak != nullptr) {
    DetachView();
    UseOwnBitmap();
  }
  SetBitmap(Value->GetPicture()->GetBitmap());
  FreeNotification(Value);
}

TColor TLumerakIO::GetReBackground() const {
  return FAttachedLumerak != nullptr ? FAttachedLumerak->GetBackground() : FBackground;
}

void TLumerakIO::SetReBackground(TColor Value) {
  if (FAttachedLumerak == nullptr)
    FBackground = Value;
  else if (FChangeViewBackground)
    FAttachedLumerak->SetBackGround(Value);
}

void TLumerakIO::SetLKBitmap(TLKBitmap* Value) {
  FVclBitmap = nullptr;
  if (FLKBitmap == nullptr) FOwnsBitmap = false;
  if (Value == FLKBitmap) {
    FOwnsBitmap = false;
    return;
  }
  FreeOwnedBitmap();
  FLKBitmap = Value;
  FOwnsBitmap = false;
}

TLKBitmap* TLumerakIO::GetAttachedLKBitmap() const {
  return (FOwnsBitmap || FVclBitmap != nullptr || FAttachedLumerak != nullptr) ? nullptr : FLKBitmap;
}

void TLumerakIO::DetachView() {
  if (FAttachedLumerak == nullptr) return;
  RemoveViewRegistration();
  RemoveViewFreeNotification();
  FAttachedLumerak = nullptr;
  SetViewPost(nullptr);
}

void TLumerakIO::SetAttachedLKBitmap(TLKBitmap* Value) {
  if (Value == nullptr) {
    // A view's bitmap stays in use; only an outside one is given back.
    if (FAttachedLumerak == nullptr) UseOwnBitmap();
    return;
  }
  DetachView();
  SetLKBitmap(Value);
}

void TLumerakIO::SetAttachedBitmap(TBitmap* Value) {
  if (Value == nullptr && FAttachedLumerak != nullptr) return;
  if (Value != nullptr && FAttachedLumerak != nullptr) {
    DetachView();
    // The working bitmap may be the view's: never wrap into that one.
    UseOwnBitmap();
  }
  SetBitmap(Value);
}

TBitmap* TLumerakIO::GetBitmap() {
  if (FLKBitmap != nullptr && FLKBitmap->GetLocation() == lkTBitmap) return FLKBitmap->GetVclBitmap();
  return FVclBitmap;
}

void TLumerakIO::SetBitmap(TBitmap* Value) {
  if (FLKBitmap == nullptr) UseOwnBitmap();
  FVclBitmap = Value;
  if (Value == nullptr) {
    FLKBitmap->FreeImage(true);
    return;
  }
  FLKBitmap->EncapsulateTBitmap(Value, true);
}

bool TLumerakIO::MakeConsistentBitmap(TLKPixelFormatSet Formats) {
  if (FLKBitmap == nullptr) return false;
  // The class-library bitmap may have been resized or reformatted outside.
  if (FVclBitmap != nullptr) FLKBitmap->EncapsulateTBitmap(FVclBitmap, false);
  if (Formats.Empty()) return true;
  return Formats.Contains(FLKBitmap->GetPixelFormat());
}

void TLumerakIO::Update() {
  if (FVclBitmap != nullptr && FLKBitmap != nullptr) FLKBitmap->RemoveAlphaChannel();
  if (IsInsideAsyncThreads()) {
    // A view is a widget: only the main thread may touch it, so a worker
    // posts the update (to a view in a window) and then the change. The
    // worker goes by the view's handle alone, which stays safe to use
    // while the main thread destroys the view.
    if (const std::shared_ptr<TLKViewPost> view = ViewPost()) {
      if (view->InWindow()) view->PostUpdate();
      view->PostCall([](TLKViewLink& View) { View.ImageChange(); });
      return;
    }
  }
  if (FAttachedLumerak != nullptr) {
    FAttachedLumerak->Update();
    FAttachedLumerak->ImageChange();
  } else if (FVclBitmap != nullptr) {
    FVclBitmap->SetModified(true);
  }
}

void TLumerakIO::GiveViewLayers(TList& Layers) {
  if (IsInsideAsyncThreads()) {
    std::shared_ptr<TList> posted(new TList, [](TList* L) {
      LKFreeLayers(*L);
      delete L;
    });
    for (Integer i = 0; i < Layers.GetCount(); ++i) posted->Add(Layers.Get(i));
    Layers.Clear();
    const Integer dpiX = FIOParams->DPIX, dpiY = FIOParams->DPIY;
    if (const std::shared_ptr<TLKViewPost> view = ViewPost())
      view->PostCall([posted, dpiX, dpiY](TLKViewLink& View) {
        auto* layered = dynamic_cast<TLumerakViewServices*>(&View);
        if (layered == nullptr) return;
        // Set first: taking the layers tells the listeners, which read the
        // view's resolution back into their parameters.
        View.SetDPI(dpiX, dpiY);
        layered->TakeLoadedLayers(*posted);
      });
    return;
  }
  if (auto* layered = dynamic_cast<TLumerakViewServices*>(FAttachedLumerak))
    layered->TakeLoadedLayers(Layers);
  else
    LKFreeLayers(Layers);
}

void TLumerakIO::SetDefaultDitherMethod(TLKDitherMethod Value) {
  FDefaultDitherMethod = Value;
  if (FLKBitmap != nullptr) FLKBitmap->SetDitherMethod(Value);
}

void TLumerakIO::AssignParams(TObject* Source) {
  if (auto* io = dynamic_cast<TLumerakIO*>(Source)) {
    if (io != this) FIOParams->Assign(io->FIOParams);
  } else if (auto* params = dynamic_cast<TIOParamsVals*>(Source)) {
    FIOParams->Assign(params);
  }
}

void TLumerakIO::DoIntProgress(TObject* Sender, Integer per) {
  if (!OnProgress) return;
  // A worker reports through the view in a window (its handler fires the
  // view's progress event on the main thread). A report still waiting there
  // takes the newer value instead of queueing another.
  const std::shared_ptr<TLKViewPost> view = ViewPost();
  if (view && view->InWindow() && IsInsideAsyncThreads()) {
    view->PostProgress(per);
    return;
  }
  OnProgress(Sender, per);
}

void TLumerakIO::DoFinishWork() {
  // Progress always ends at 100, with or without a finish handler.
  FProgressHook(this, 100);
  if (!OnFinishWork) return;
  const std::shared_ptr<TLKViewPost> view = ViewPost();
  if (view && view->InWindow() && IsInsideAsyncThreads()) {
    view->PostFinishWork();
    return;
  }
  OnFinishWork(this);
}

bool TLumerakIO::GetAsyncGate() {
  return !FOwnsBitmap && GetAsyncEnabled() && !IsInsideAsyncThreads();
}

bool TLumerakIO::IsInsideAsyncThreads() {
  const TThreadID self = GetCurrentThreadId();
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  return std::any_of(FThreads.begin(), FThreads.end(),
                     [self](const TLKIOThread* t) { return t->GetRunningThreadID() == self; });
}

void TLumerakIO::WaitThreads(bool SetAborted) {
  const TThreadID self = GetCurrentThreadId();
  // The request to stop holds until the wait is over: a worker that starts
  // meanwhile cannot clear the flag at the start of its work.
  struct TStopRequest {
    std::atomic<int>* Count;
    ~TStopRequest() {
      if (Count) Count->fetch_sub(1, std::memory_order_acq_rel);
    }
  } request{SetAborted ? &FStopRequests : nullptr};
  if (SetAborted) FStopRequests.fetch_add(1, std::memory_order_acq_rel);
  std::unique_lock<TCriticalSection> lk(FThreadsLock);
  for (;;) {
    if (SetAborted) FAborted.store(true, std::memory_order_release);
    const bool othersLeft = std::any_of(FThreads.begin(), FThreads.end(),
                                        [self](const TLKIOThread* t) { return t->GetRunningThreadID() != self; });
    if (!othersLeft) return;
    FThreadsChanged.wait(lk);
  }
}

Integer TLumerakIO::GetAsyncRunning() {
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  return static_cast<Integer>(FThreads.size());
}

void TLumerakIO::AddThread(TLKIOThread* Thread) {
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  FThreads.push_back(Thread);
  FThreadsChanged.notify_all();
}

void TLumerakIO::RemoveThread(TLKIOThread* Thread) {
  // Notified while the lock is held: a destructor waiting in WaitThreads
  // cannot go on (and free the lock and condition) before this returns.
  std::lock_guard<TCriticalSection> lk(FThreadsLock);
  auto it = std::find(FThreads.begin(), FThreads.end(), Thread);
  if (it != FThreads.end()) FThreads.erase(it);
  FThreadsChanged.notify_all();
}

bool TLumerakIO::GetParamsBitmapSize(Integer& Width, Integer& Height) {
  if (FLKBitmap == nullptr) return false;
  Width = FLKBitmap->GetWidth();
  Height = FLKBitmap->GetHeight();
  return true;
}

void TLumerakIO::ParamsDPIXChanged(Integer Value) {
  if (!IsInsideAsyncThreads()) {
    if (FAttachedLumerak != nullptr) FAttachedLumerak->SetDPIX(Value);
    return;
  }
  // From a worker the view takes the resolution on the main thread.
  if (const std::shared_ptr<TLKViewPost> view = ViewPost())
    view->PostCall([Value](TLKViewLink& View) { View.SetDPIX(Value); });
}

void TLumerakIO::ParamsDPIYChanged(Integer Value) {
  if (!IsInsideAsyncThreads()) {
    if (FAttachedLumerak != nullptr) FAttachedLumerak->SetDPIY(Value);
    return;
  }
  if (const std::shared_ptr<TLKViewPost> view = ViewPost())
    view->PostCall([Value](TLKViewLink& View) { View.SetDPIY(Value); });
}
