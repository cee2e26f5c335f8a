// The I/O component: the non-visual component through which pictures enter
// and leave the library. It loads into and saves from one working TLKBitmap,
// either its own or one it borrows (an outside TLKBitmap or a class-library
// TBitmap), keeps the parameters of the last or next file operation, reports
// progress and the end of work, and can run its operations on worker threads
// (see io/lkiothread.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <vector>

#include "core/hylkdefs.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "platform/syncobjs.h"
#include "platform/system.h"
#include "platform/threads.h"

class TBitmap;
class TLKBitmap;
class TLKIOThread;
class TLKView;

/// The I/O component.
///
/// Threads: any thread may read and write the abort flag, start or wait for
/// workers and ask whether it is one of the workers. Several workers of one
/// component share its working bitmap, parameters and abort flag without
/// further locking, so callers start one operation at a time per component.
/// The worker-list lock is held only to add, remove, count or scan workers,
/// never while calling out; it comes after gThreadCS and after a plug-in's
/// lock in the lock order.
class TLumerakIO : public TComponent, public TIOParamsOwner {
 public:
  /// A component with an empty working bitmap of its own, parameters owned
  /// by it (with the component as their owner), no attachment, the abort flag
  /// clear and the progress hook bound to DoIntProgress.
  explicit TLumerakIO(TComponent* Owner = nullptr);
  /// Waits until every worker has ended (without setting the abort flag),
  /// then frees the parameters and the working bitmap when owned.
  ~TLumerakIO() override;

  TLumerakIO(const TLumerakIO&) = delete;
  TLumerakIO& operator=(const TLumerakIO&) = delete;

  // ---- the picture

  /// The working bitmap (null only after SetLKBitmap(nullptr)).
  TLKBitmap* GetLKBitmap() const { return FLKBitmap; }
  /// Uses Value as the working bitmap without owning it; frees an owned
  /// working bitmap and forgets the class-library bitmap.
  void SetLKBitmap(TLKBitmap* Value);
  /// The outside TLKBitmap in use, or null while the component works on its
  /// own bitmap or a class-library bitmap.
  TLKBitmap* GetAttachedLKBitmap() const;
  /// Attaches an outside TLKBitmap (as SetLKBitmap), forgetting an attached
  /// view. Null returns to an own, empty working bitmap, but changes nothing
  /// while a view is attached.
  void SetAttachedLKBitmap(TLKBitmap* Value);
  /// The class-library bitmap: the one the working bitmap keeps its pixels
  /// in (storage lkTBitmap), otherwise the attached one (or null).
  virtual TBitmap* GetBitmap();
  /// Works on Value: the working bitmap frees its image and wraps Value,
  /// taking its size and pixel format. Null: the working bitmap frees its
  /// image and no class-library bitmap is attached.
  void SetBitmap(TBitmap* Value);
  /// The attached class-library bitmap, or null.
  TBitmap* GetAttachedBitmap() const { return FVclBitmap; }
  /// As SetBitmap, forgetting an attached view; null while a view is
  /// attached changes nothing.
  void SetAttachedBitmap(TBitmap* Value);
  /// The attached view, or null.
  TLKView* GetAttachedLumerak() const { return FAttachedLumerak; }
  /// Attaches a view: the component works on the view's TLKBitmap (or on an
  /// own TLKBitmap wrapping the view's class-library bitmap when the view
  /// has none), asks for free notification and registers for the view's
  /// bitmap changes. Null returns to an own, empty working bitmap.
  void SetAttachedLumerak(TLKView* Value);
  /// The view replaced its picture (re-read its bitmaps and resolution) or
  /// is being destroyed (forget it and return to an own, empty bitmap).
  void OnBitmapChange(TObject* Sender, bool Destroying);
  /// Whether the working bitmap was created by the component (and is freed
  /// by it).
  bool GetOwnsBitmap() const { return FOwnsBitmap; }

  /// Makes the working bitmap ready for a codec: false without one; with a
  /// class-library bitmap attached, re-wraps it so that the working bitmap
  /// has its current size and format. Then true for an empty Formats, or
  /// whether the working bitmap's pixel format is in Formats.
  bool MakeConsistentBitmap(TLKPixelFormatSet Formats);
  /// After a load: with a class-library bitmap attached, drops the working
  /// bitmap's alpha channel. With a view attached, off the component's
  /// workers, calls the view's Update and ImageChange (on a worker the view,
  /// a widget, is not touched); without a view, marks the class-library
  /// bitmap modified.
  void Update();

  // ---- settings

  /// Background colour: the attached view's, or the component's own
  /// (default 0). Writing with a view attached reaches the view only when
  /// ChangeViewBackground is true; otherwise the value is dropped.
  TColor GetReBackground() const;
  void SetReBackground(TColor Value);
  bool GetChangeViewBackground() const { return FChangeViewBackground; }
  void SetChangeViewBackground(bool Value) { FChangeViewBackground = Value; }
  /// The native-pixel-format flag of IOParams.
  bool GetNativePixelFormat() const { return FIOParams->ISNATIVEPIXELFORMAT; }
  void SetNativePixelFormat(bool Value) { FIOParams->ISNATIVEPIXELFORMAT = Value; }
  /// Dither method for conversions to palette formats; also stored in the
  /// working bitmap's own setting. Default lkThreshold.
  TLKDitherMethod GetDefaultDitherMethod() const { return FDefaultDitherMethod; }
  void SetDefaultDitherMethod(TLKDitherMethod Value);
  /// JPEG, TIFF and PCX stream saves write the 12-byte stream header.
  bool GetStreamHeaders() const { return FStreamHeaders; }
  void SetStreamHeaders(bool Value) { FStreamHeaders = Value; }
  /// After a load, resample so that both resolutions agree (filtered or not).
  bool GetAutoAdjustDPI() const { return FAutoAdjustDPI; }
  void SetAutoAdjustDPI(bool Value) { FAutoAdjustDPI = Value; }
  bool GetFilteredAdjustDPI() const { return FFilteredAdjustDPI; }
  void SetFilteredAdjustDPI(bool Value) { FFilteredAdjustDPI = Value; }

  // ---- parameters

  /// The parameters of the last or next file operation (owned).
  TIOParamsVals* GetIOParams() const { return FIOParams; }
  /// Copies the parameters of Source when it is a TLumerakIO or a
  /// TIOParamsVals; anything else (or null) is ignored.
  void AssignParams(TObject* Source);

  // ---- abort, progress and finish

  /// The abort flag: cleared before work, set by codecs on failure or by
  /// anyone who wants the running work to stop. Any thread may use it.
  bool GetAborted() const { return FAborted.load(std::memory_order_acquire); }
  void SetAborted(bool Value) { FAborted.store(Value, std::memory_order_release); }
  /// Address of the abort flag, for progress records.
  std::atomic<bool>* GetAbortedFlag() { return &FAborted; }
  /// The progress hook handed to codecs in every progress record: calls the
  /// (possibly overridden) DoIntProgress.
  const TLKProgressEvent& GetProgressHook() const { return FProgressHook; }

  /// Progress in percent; called on the thread that does the work.
  TLKProgressEvent OnProgress;
  /// End of a load, save or acquisition; called on the thread that does the
  /// work.
  TNotifyEvent OnFinishWork;

  /// The progress hook: calls OnProgress(Sender, per) when assigned.
  virtual void DoIntProgress(TObject* Sender, Integer per);
  /// Ends every load, save and acquisition: the progress hook with
  /// (this, 100), even without OnFinishWork, then OnFinishWork(this).
  virtual void DoFinishWork();

  // ---- worker threads

  /// Asynchronous mode (off by default): operations on a bitmap the
  /// component does not own run on worker threads.
  bool GetAsyncEnabled() const { return FAsyncEnabled.load(std::memory_order_acquire); }
  void SetAsyncEnabled(bool Value) { FAsyncEnabled.store(Value, std::memory_order_release); }
  /// Whether an operation called now goes to a worker: the component does
  /// not own its working bitmap, asynchronous mode is on, and the caller is
  /// not one of the component's workers.
  bool GetAsyncGate();
  /// Whether the calling thread is one of this component's workers.
  bool IsInsideAsyncThreads();
  /// Blocks until no worker is left, other than the calling thread when it
  /// is one of them (a worker waiting for itself would never return).
  /// SetAborted: sets the abort flag first and again whenever the list
  /// changes, so that workers started meanwhile are told to stop as well.
  /// Waits on a condition, without spinning.
  void WaitThreads(bool SetAborted);
  /// Number of running workers (both names give the same count).
  Integer GetAsyncRunning();
  Integer GetThreadsCount() { return GetAsyncRunning(); }

  // ---- what the parameters ask of their owner

  bool GetParamsBitmapSize(Integer& Width, Integer& Height) override;
  void ParamsDPIXChanged(Integer Value) override;
  void ParamsDPIYChanged(Integer Value) override;

  /// Forgets the attached view when it goes away.
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TLKIOThread;

  // Drops the bitmap-change registration with the attached view.
  void RemoveViewRegistration();
  // Unregisters from the view and forgets it, keeping the working bitmap.
  void DetachView();
  // Forgets the view; a bitmap of the view's is no longer used.
  void ForgetView();

  // Worker list, called by TLKIOThread.
  void AddThread(TLKIOThread* Thread);
  void RemoveThread(TLKIOThread* Thread);
  // Frees an owned working bitmap; the reference stays as it was.
  void FreeOwnedBitmap();
  // Returns to a new, empty working bitmap of the component's own.
  void UseOwnBitmap();

  TBitmap* FVclBitmap = nullptr;
  TLKView* FAttachedLumerak = nullptr;
  Integer FBitmapChangeHandle = -1;
  bool FChangeViewBackground = false;
  TLKBitmap* FLKBitmap = nullptr;
  bool FOwnsBitmap = true;
  TColor FBackground = 0;
  bool FStreamHeaders = false;
  bool FAutoAdjustDPI = false;
  bool FFilteredAdjustDPI = false;
  TLKDitherMethod FDefaultDitherMethod = lkThreshold;

  std::vector<TLKIOThread*> FThreads;
  TCriticalSection FThreadsLock;
  std::condition_variable_any FThreadsChanged;
  std::atomic<bool> FAsyncEnabled{false};

  TIOParamsVals* FIOParams = nullptr;
  std::atomic<bool> FAborted{false};
  TLKProgressEvent FProgressHook;
};
