#include "io/lumerakio.h"

#include <algorithm>
#include <mutex>

#include "core/lkbitmap.h"
#include "io/lkiothread.h"
#include "platform/graphics.h"

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

void TLumerakIO::SetLKBitmap(TLKBitmap* Value) {
  FVclBitmap = nullptr;
  if (Value == FLKBitmap) {
    FOwnsBitmap = false;
    return;
  }
  FreeOwnedBitmap();
  FLKBitmap = Value;
  FOwnsBitmap = false;
}

TLKBitmap* TLumerakIO::GetAttachedLKBitmap() const {
  return (FOwnsBitmap || FVclBitmap != nullptr) ? nullptr : FLKBitmap;
}

void TLumerakIO::SetAttachedLKBitmap(TLKBitmap* Value) {
  if (Value == nullptr)
    UseOwnBitmap();
  else
    SetLKBitmap(Value);
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
  if (FVclBitmap == nullptr) return;
  if (FLKBitmap != nullptr) FLKBitmap->RemoveAlphaChannel();
  FVclBitmap->SetModified(true);
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
  if (OnProgress) OnProgress(Sender, per);
}

void TLumerakIO::DoFinishWork() {
  // Progress always ends at 100, with or without a finish handler.
  FProgressHook(this, 100);
  if (OnFinishWork) OnFinishWork(this);
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

void TLumerakIO::ParamsDPIXChanged(Integer) {}

void TLumerakIO::ParamsDPIYChanged(Integer) {}
