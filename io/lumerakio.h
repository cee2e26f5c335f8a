// The I/O component: the non-visual component through which pictures enter
// and leave the library. It loads into and saves from one working TLKBitmap,
// either its own or one it borrows (an outside TLKBitmap or a class-library
// TBitmap), keeps the parameters of the last or next file operation, reports
// progress and the end of work, and can run its operations on worker threads
// (see io/lkiothread.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkabort.h"
#include "core/lkmsg.h"
#include "core/lkviewlink.h"
#include "io/lkacquirehooks.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "io/lkprintparams.h"
#include "platform/atomicfile.h"
#include "platform/avifile.h"
#include "platform/classes.h"
#include "platform/controls.h"
#include "platform/gstmedia.h"
#include "platform/metafile.h"
#include "platform/syncobjs.h"
#include "platform/system.h"
#include "platform/threads.h"

class TBitmap;
class TCanvas;
class TFont;
class TImage;
class TLKBitmap;
class TLKIOThread;
class TPrinter;

/// The text forms of SaveToText.
enum TLKTextFormat : Byte { lktfPascal, lktfHEX, lktfBase64, lktfASCIIArt };

/// The I/O component.
///
/// Threads: any thread may read and write the abort flag, start or wait for
/// workers and ask whether it is one of the workers. Several workers of one
/// component share its working bitmap, parameters and abort flag without
/// further locking, so callers start one operation at a time per component.
/// The worker-list lock is held only to add, remove, count or scan workers,
/// never while calling out; it comes after gThreadCS and after a plug-in's
/// lock in the lock order.
/// Options of the format-options form, one bit each.
enum TIOPreviewsParam : Byte { ioppDefaultLockPreview, ioppApplyButton };
using TIOPreviewsParams = Byte;
/// The set holding only p.
constexpr TIOPreviewsParams PreviewsOption(TIOPreviewsParam p) { return static_cast<TIOPreviewsParams>(1u << p); }

/// OnAcquireBitmap: each picture of a multi-picture acquisition; set
/// Handled to keep it from the component's bitmap.
using TLKAcquireBitmapEvent = std::function<void(TObject* Sender, TLKBitmap* Bitmap, bool& Handled)>;
/// What CaptureFromScreen copies.
enum TLKCSSource : Byte { lkcsScreen, lkcsForegroundWindow, lkcsForegroundWindowClient };

/// OnDoPreviews: set Handled to take over the format-options form.
using TLKDoPreviewsEvent = std::function<void(TObject* Sender, bool& Handled)>;
/// OnIOPreview: the form (a TLKPreviewsForm) before it shows.
using TLKIOPreviewEvent = std::function<void(TObject* Sender, TObject* PreviewForm)>;

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
  TLKViewLink* GetAttachedLumerak() const { return FAttachedLumerak; }
  /// Attaches a view: the component works on the view's TLKBitmap (or on an
  /// own TLKBitmap wrapping the view's class-library bitmap when the view
  /// has none), asks for free notification and registers for the view's
  /// bitmap changes. Null returns to an own, empty working bitmap.
  void SetAttachedLumerak(TLKViewLink* Value);
  /// The view replaced its picture (re-read its bitmaps and resolution) or
  /// is being destroyed (forget it and return to an own, empty bitmap).
  void OnBitmapChange(TObject* Sender, bool Destroying);
  /// Whether the working bitmap was created by the component (and is freed
  /// by it).
  bool GetOwnsBitmap() const { return FOwnsBitmap; }

  // ---- an image control
  /// The attached image control, or null.
  TImage* GetAttachedTImage() const { return FAttachedTImage; }
  /// Works on the control's picture bitmap (the picture swaps another
  /// graphic for an empty bitmap first), asks the control for free
  /// notification and forgets an attached view. Null: the working bitmap
  /// frees its image. When the control goes, the component forgets it and
  /// its bitmap.
  void SetTImage(TImage* Value);

  /// Makes the working bitmap ready for a codec: false without one; with a
  /// class-library bitmap attached, re-wraps it so that the working bitmap
  /// has its current size and format. Then true for an empty Formats, or
  /// whether the working bitmap's pixel format is in Formats.
  bool MakeConsistentBitmap(TLKPixelFormatSet Formats);
  /// After a load: with a class-library bitmap attached, drops the working
  /// bitmap's alpha channel. With a view attached, off the component's
  /// workers, calls the view's Update and ImageChange. On a worker the view,
  /// a widget, is not touched: it is posted an update when it is in a
  /// window, and its ImageChange is posted to the main thread after that.
  /// Without a view, marks the class-library bitmap modified.
  void Update();
  /// After a load of a layered file: the attached view takes Layers
  /// (TLumerakViewServices::TakeLoadedLayers), which is left empty. On a
  /// worker the view is not touched: the layers are posted to the main
  /// thread ahead of the update, together with the resolution of the
  /// parameters (which the view misses on that road), and are freed there
  /// when the view is gone.
  void GiveViewLayers(TList& Layers);

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
  /// Clearing the flag also forgets the reason of the last failure. While
  /// WaitThreads(true) waits, the flag cannot be cleared: a worker that
  /// starts its work then still sees the request to stop.
  void SetAborted(bool Value) {
    if (!Value && FStopRequests.load(std::memory_order_acquire) > 0) return;
    if (!Value) FAbortNote.Clear();
    FAborted.store(Value, std::memory_order_release);
  }
  /// Sets the abort flag and keeps Reason (the failure rule below).
  void SetAbortedWith(const String& Reason) {
    FAbortNote.Set(Reason);
    FAborted.store(true, std::memory_order_release);
  }
  /// Why the last operation set the abort flag, as far as it said (empty
  /// when it did not, or when the flag was cleared since). For tests and
  /// debugging output; nothing shows it to the user.
  String GetAbortReason() const { return FAbortNote.Get(); }
  /// Where progress records keep the reason (TProgressRec::AbortNote).
  TLKAbortNote* GetAbortNote() { return &FAbortNote; }
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

  /// The progress hook: when OnProgress is assigned, calls it; on a worker
  /// of a component whose view is in a window, posts the progress to the
  /// view's progress event instead.
  virtual void DoIntProgress(TObject* Sender, Integer per);
  /// Ends every load, save and acquisition: the progress hook with
  /// (this, 100), even without OnFinishWork, then OnFinishWork(this); on a
  /// worker of a component whose view is in a window, posts the view's
  /// end-of-work event instead.
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

  // ---- metadata of existing JPEG files

  /// Rewrites the JPEG file FileName with the IPTC records of IOParams as
  /// its one APP13 block (or with one EXIF APP1 block built from IOParams,
  /// replacing every APP1), without recompressing; reports progress and
  /// ends with DoFinishWork. The file is replaced only on success. False
  /// when the copy fails (see LKJpegInjectIPTC); a file that cannot be read
  /// raises EFOpenError.
  bool InjectJpegIPTC(const String& FileName);
  bool InjectJpegEXIF(const String& FileName);
  /// The same from Source's position to Target, without progress.
  bool InjectJpegIPTCStream(TStream* Source, TStream* Target);
  bool InjectJpegEXIFStream(TStream* Source, TStream* Target);

  // ---- what the parameters ask of their owner

  bool GetParamsBitmapSize(Integer& Width, Integer& Height) override;
  TLKBitmap* GetParamsBitmap() override { return GetLKBitmap(); }
  void ParamsDPIXChanged(Integer Value) override;
  void ParamsDPIYChanged(Integer Value) override;

  /// Forgets the attached view when it goes away.
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // ---- the failure rule
  //
  // Every load and save reports a failure in one of two ways, and which one
  // is fixed per road:
  //
  //  - It raises. Only the file itself does: a file that cannot be opened
  //    (EFOpenError) or created (EFCreateError) raises the stream class's
  //    exception from the file loads and saves (by extension, by type, per
  //    format, the camera RAW file road); whether the finish is reported
  //    first depends on the format's load or save shape (the file is opened
  //    before or inside the part that reports it). The parameter reads
  //    absorb it (FILETYPE 0). A reader or writer that raises (a library
  //    error, corrupt data deep inside a decoder) has its exception passed
  //    on after the abort flag is set and the finish reported, except on
  //    the registry road of LoadFromFile, which turns it into the flag.
  //  - It sets the abort flag and nothing raises. Everything else: missing,
  //    empty, truncated or corrupt data, a header the allocation gate
  //    refuses, a format the library cannot read or write, a stream header
  //    that is not there. The finish is still reported (the table of roads
  //    below names the few cases that report nothing).
  //
  // A failed load leaves a picture the caller must not use (what was decoded
  // before the failure may be there); a failed save leaves an existing file
  // as it was, and no temporary file behind. Codecs set the flag through
  // LKAbort (core/lkabort.h), the frames through SetAbortedWith: both keep
  // a reason, which GetAbortReason returns for tests and debugging output.
  // tests/io/failurerule_test.cpp pins this for every road and kind of bad
  // input.
  //
  // What each road reports when the format is not available:
  //  - LoadFromFile of an extension nobody registered, LoadFromFileFormat,
  //    LoadFromStreamFormat or LoadFromBuffer of a type nobody registered,
  //    LoadFromStream of content nobody recognises (or of no stream), the
  //    camera RAW roads when no record lists "RAW", SaveToFile of an empty
  //    name: the flag with its reason only (no progress, no finish: nothing
  //    was started, but a caller that checks the flag never reads the
  //    silence as success).
  //  - LoadFromFile of an empty name, a registry record without a reader, a
  //    built-in format without its codec: the flag, progress 100, finish.
  //  - SaveToFile of an extension nobody writes, SaveToStream of a type
  //    nobody writes: the flag only.
  //
  // Built-in formats, plug-in formats and registry records all load and
  // save through the same two frames (lumerakio_frame.h); what a registry
  // record does differently is data on the row that stands for it
  // (LKFormatRowOfRecord): the resolution default and the alpha drop of
  // every load hold for it as well.

  // ---- load and save dispatch (lumerakio_dispatch.cpp)
  //
  // Callers learn the outcome from the abort flag and from IOParams (FILETYPE
  // 0 after a failed parameter read). Streams are used from their current
  // position and never freed; in asynchronous mode a stream must stay valid
  // until the finish is reported. A file that cannot be opened or created
  // raises the stream's exception. Saves over an existing file write a
  // temporary file beside it and rename it over the target only when the
  // save succeeded, so a failed or aborted save leaves the old file as it was.

  /// Loads by the file's extension: a built-in format through its own
  /// operation, another registered format through the registry's reader. An
  /// unregistered extension sets the abort flag only; an empty name sets it
  /// and reports the finish; names starting with "http://" and ".avi" files
  /// are not supported here (abort flag and finish).
  virtual void LoadFromFile(const String& FileName);
  /// Loads FileName as the registered type FileType (lkftBMPRAW: headerless raw
  /// pixels into the bitmap as it is sized). An unregistered type sets the
  /// abort flag only.
  virtual void LoadFromFileFormat(const String& FileName, Integer FileType);
  /// Loads by the file's content; an unrecognised content goes by extension.
  virtual void LoadFromFileAuto(const String& FileName);
  /// Loads by the stream's content; an unrecognised content sets the abort
  /// flag only.
  virtual void LoadFromStream(TStream* Stream);
  /// Loads the stream as the registered type FileType; unregistered: the
  /// abort flag only.
  virtual void LoadFromStreamFormat(TStream* Stream, Integer FileType);
  /// Loads from a memory block, which must stay valid for the call; FileType
  /// 0 detects the content. A load handed to a worker reads a copy of the
  /// block, so the caller's block is never read after the call returned.
  virtual void LoadFromBuffer(const void* Buffer, Integer BufferSize, Integer FileType);
  /// Saves by the lower-cased extension of FileName: the built-in formats'
  /// own operations, then the registry's writers. An empty name or an
  /// extension nobody writes sets the abort flag only.
  virtual void SaveToFile(const String& FileName);
  /// Saves to the stream as FileType; a type nobody writes sets the abort
  /// flag only.
  virtual void SaveToStream(TStream* Stream, Integer FileType);
  /// Reads only the parameters of the file (its type from content and
  /// extension together); never on a worker. FILETYPE 0 when the file is
  /// unreadable or unrecognised; the finish is reported.
  virtual void ParamsFromFile(const String& FileName);
  /// ParamsFromFile with the type given; open failures give FILETYPE 0.
  virtual void ParamsFromFileFormat(const String& FileName, Integer FileType);
  /// Reads only the parameters of the stream (type from its content).
  virtual void ParamsFromStream(TStream* Stream);
  /// ParamsFromStream with the type given; FILENAME is left as it is.
  virtual void ParamsFromStreamFormat(TStream* Stream, Integer FileType);

  /// Camera RAW by the registry's "RAW" extension: the library's own reader
  /// while the built-in record serves it, otherwise the format that
  /// registered "RAW" (a plug-in); the abort flag only when none does.
  void SyncLoadFromStreamRAW(TStream* Stream);
  /// SyncLoadFromStreamRAW through the asynchronous gate.
  void LoadFromStreamRAW(TStream* Stream);
  /// Opens the file (an error raises) and loads it as camera RAW; FILENAME
  /// is set also when nothing was loaded.
  void LoadFromFileRAW(const String& FileName);

  /// Runs the open dialog; the chosen file name, empty when cancelled (or
  /// when no dialogs are installed). A confirmed run sets IMAGEINDEX to the
  /// page chosen in the dialog's preview.
  String ExecuteOpenDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                           Integer FilterIndex, const String& ExtendedFilters);
  /// Runs the save dialog attached to this component; as ExecuteOpenDialog.
  String ExecuteSaveDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                           Integer FilterIndex, const String& ExtendedFilters);
  /// The format-options form for Pages: true when the user confirmed it (or
  /// OnDoPreviews handled the request). Converts the working bitmap to
  /// lk24RGB unless it is lk24RGB or lk1g.
  virtual bool DoPreviews(TPreviewParams Pages);

  /// A resolution below 2 becomes the default resolution (gDefaultDPIX,
  /// gDefaultDPIY).
  void CheckDPI();
  /// Resamples the shorter side of the working bitmap so that both
  /// resolutions agree (filtered with FilteredAdjustDPI), the alpha channel
  /// stretched along. Nothing when they agree, either is below 1 or the
  /// bitmap is empty.
  void AdjustDPI();

  // ---- per-format operations (lumerakio_formats.cpp)
  //
  // Each runs the asynchronous gate, then clears or sets the abort flag,
  // prepares the bitmap, calls its codec and reports the finish. A format
  // whose codec the library lacks sets the abort flag and writes nothing.
  // Count-returning loads return -1 when handed to a worker.

  void LoadFromFileJpeg(const String& FileName);
  void LoadFromStreamJpeg(TStream* Stream);
  /// Refreshes the IPTC, EXIF and XMP markers of IOParams before writing.
  void SaveToFileJpeg(const String& FileName);
  void SaveToStreamJpeg(TStream* Stream);

  Integer LoadFromFileTIFF(const String& FileName);
  Integer LoadFromStreamTIFF(TStream* Stream);
  /// With Headers, a "TIFF" stream header must come first (else abort).
  Integer SyncLoadFromStreamTIFF(TStream* Stream, bool Headers);
  void SaveToFileTIFF(const String& FileName);
  void SaveToStreamTIFF(TStream* Stream);
  /// Loads the largest JPEG picture a camera RAW file of the CIFF kind
  /// embeds; the file type becomes camera RAW (lkftRAW). An empty name does
  /// nothing; a file without such a picture leaves the bitmap as it was
  /// (the abort flag is set when it is then empty). No
  /// asynchronous road; the finish event fires in every case.
  void LoadJpegFromFileCRW(const String& FileName);

  Integer LoadFromFileGIF(const String& FileName);
  Integer LoadFromStreamGIF(TStream* Stream);
  Integer SyncLoadFromStreamGIF(TStream* Stream);
  void SaveToFileGIF(const String& FileName);
  void SaveToStreamGIF(TStream* Stream);

  void LoadFromFilePCX(const String& FileName);
  void LoadFromStreamPCX(TStream* Stream);
  /// With Headers, a "PCX2" or older "PCX" stream header must come first.
  void SyncLoadFromStreamPCX(TStream* Stream, bool Headers);
  void SaveToFilePCX(const String& FileName);
  void SaveToStreamPCX(TStream* Stream);

  void LoadFromFileDCX(const String& FileName);
  void LoadFromStreamDCX(TStream* Stream);
  void SyncLoadFromStreamDCX(TStream* Stream);
  void SaveToFileDCX(const String& FileName);
  /// Replaces the stream's content with a one-page file.
  void SaveToStreamDCX(TStream* Stream);
  void SyncSaveToStreamDCX(TStream* Stream);
  /// Inserts the picture as page DCX_IMAGEINDEX into an existing file.
  void InsertToFileDCX(const String& FileName);

  // Pages of multi-page files (the page operations of io/lkmultipage.h):
  // each returns the pages of the file afterwards, 0 on failure, -1 when the
  // call went to a worker thread. The file is replaced only on success.
  /// The picture becomes page TIFF_IMAGEINDEX of an existing TIFF file.
  Integer InsertToFileTIFF(const String& FileName);
  /// The same on a stream holding a TIFF from position 0 (an empty stream
  /// gets a new file).
  Integer InsertToStreamTIFF(TStream* Stream);
  /// The picture becomes frame GIF_IMAGEINDEX of an existing GIF file, the
  /// logical screen grown to hold it; the file then loops.
  Integer InsertToFileGIF(const String& FileName);
  /// Page TIFF_IMAGEINDEX (frame GIF_IMAGEINDEX) replaced by the picture.
  Integer ReplaceFileTIFF(const String& FileName);
  Integer ReplaceFileGIF(const String& FileName);

  void LoadFromFileBMP(const String& FileName);
  void LoadFromStreamBMP(TStream* Stream);
  void SyncLoadFromStreamBMP(TStream* Stream);
  void SaveToFileBMP(const String& FileName);
  void SaveToStreamBMP(TStream* Stream);
  void SyncSaveToStreamBMP(TStream* Stream);

  void LoadFromFilePNG(const String& FileName);
  void LoadFromStreamPNG(TStream* Stream);
  void SaveToFilePNG(const String& FileName);
  void SaveToStreamPNG(TStream* Stream);

  void LoadFromFileTGA(const String& FileName);
  void LoadFromStreamTGA(TStream* Stream);
  void SaveToFileTGA(const String& FileName);
  void SaveToStreamTGA(TStream* Stream);

  void LoadFromFileICO(const String& FileName);
  void LoadFromStreamICO(TStream* Stream);
  void SaveToFileICO(const String& FileName);
  void SaveToStreamICO(TStream* Stream);
  void LoadFromFileCUR(const String& FileName);
  void LoadFromStreamCUR(TStream* Stream);

  void LoadFromFilePXM(const String& FileName);
  void LoadFromStreamPXM(TStream* Stream);
  void SaveToFilePXM(const String& FileName);
  void SaveToStreamPXM(TStream* Stream);

  void LoadFromFileWBMP(const String& FileName);
  void LoadFromStreamWBMP(TStream* Stream);
  void SaveToFileWBMP(const String& FileName);
  void SaveToStreamWBMP(TStream* Stream);

  /// The shared JPEG 2000 read step: no FILETYPE, no Update, no finish.
  void LoadFromStreamJ2000(TStream* Stream);
  /// The shared JPEG 2000 write step (Format 0 file, 1 code stream); no
  /// finish.
  void SaveToStreamJ2000(TStream* Stream, Integer Format);
  void LoadFromFileJP2(const String& FileName);
  void LoadFromFileJ2K(const String& FileName);
  void LoadFromStreamJP2(TStream* Stream);
  void LoadFromStreamJ2K(TStream* Stream);
  void SaveToFileJP2(const String& FileName);
  void SaveToFileJ2K(const String& FileName);
  void SaveToStreamJP2(TStream* Stream);
  void SaveToStreamJ2K(TStream* Stream);

  /// Headerless raw pixels into the bitmap as the caller sized it; an empty
  /// file name does nothing.
  void LoadFromFileBMPRAW(const String& FileName);
  void LoadFromStreamBMPRAW(TStream* Stream);
  void SyncLoadFromStreamBMPRAW(TStream* Stream);
  void SaveToFileBMPRAW(const String& FileName);
  void SaveToStreamBMPRAW(TStream* Stream);
  void SyncSaveToStreamBMPRAW(TStream* Stream);

  void LoadFromFilePSD(const String& FileName);
  void LoadFromStreamPSD(TStream* Stream);
  void SyncLoadFromStreamPSD(TStream* Stream);
  void SaveToFilePSD(const String& FileName);
  void SaveToStreamPSD(TStream* Stream);
  void SyncSaveToStreamPSD(TStream* Stream);

  // ---- PostScript and PDF documents
  //
  // A document stays open on the component while pictures are added to it,
  // one page each; each kind has one slot. Create clears the abort flag,
  // creates the file (a file that cannot be created raises) and starts the
  // document, closing one of the same kind left open first. A page save
  // makes the bitmap consistent, turns a picture other than lk24RGB and lk1g
  // into lk24RGB (the working bitmap changes), clears the abort flag and
  // adds the page; it fires no finish and ignores a call without an open
  // document. Close finishes the document and the file (nothing when none
  // is open). The destructor closes what is open. Document operations run
  // on the caller's thread only. The one-step saves make one-page documents
  // through the usual save frames and never touch the slots.

  void CreatePSFile(const String& FileName);
  void SaveToPS();
  void ClosePSFile();
  void CreatePDFFile(const String& FileName);
  /// Adds the page in memory: nothing reaches the file before the close.
  void SaveToPDF();
  void ClosePDFFile();
  void SaveToFilePS(const String& FileName);
  void SaveToStreamPS(TStream* Stream);
  void SyncSaveToStreamPS(TStream* Stream);
  void SaveToFilePDF(const String& FileName);
  void SaveToStreamPDF(TStream* Stream);
  void SyncSaveToStreamPDF(TStream* Stream);

  // ---- AVI files (lumerakio_avi.cpp)
  //
  // One AVI file at a time is open on the component, for reading or for
  // writing; opening either closes the other. The destructor closes it (a
  // file being written is completed).

  /// Opens the file's first video stream for reading: the frame count (also
  /// in AVI_FrameCount; FILENAME the name, FILETYPE 0), or 0 with the abort
  /// flag when the file cannot be read, has no video stream or holds frames
  /// coded in a way the library does not decode (plain rows of 1 to 32 bits
  /// and Motion-JPEG are).
  Integer OpenAVIFile(const String& FileName);
  /// Closes the file open for reading, or completes the file being written.
  void CloseAVIFile();
  /// Whether a file is open for reading.
  bool IsOpenAVI() const;
  /// Loads frame Index of the open file, through the asynchronous gate. No
  /// file, an index out of range or an inconsistent bitmap load nothing;
  /// a frame that does not decode sets the abort flag. The finish fires in
  /// every case. AVI_FrameDelayTime becomes the frame's duration in
  /// milliseconds (0 for a stream without a rate).
  void LoadFromAVI(Integer Index);
  /// Starts a new AVI file (replacing FileName when the file is complete)
  /// of Rate frames per second, written by SaveToAVI. Codec: "MJPG"
  /// (Motion-JPEG at JPEG_QUALITY), or "" / "DIB " for plain rows. Another
  /// code, or a rate below 1, sets the abort flag and opens nothing; a file
  /// that cannot be created raises EInvalidGraphic ("unable to create AVI
  /// file").
  void CreateAVIFile(const String& FileName, Integer Rate, const String& Codec);
  /// Appends the picture as the next frame (converted to lk24RGB unless it
  /// is lk24RGB; with BITSPERSAMPLE 8 and SAMPLESPERPIXEL 1 plain frames
  /// are written as 256 colours with their palette). The first frame fixes
  /// the size: a picture of another size sets the abort flag and is not
  /// written. No gate, no finish.
  void SaveToAVI();

  // ---- other media files (lumerakio_media.cpp)
  //
  // Video files of any kind the system's media framework plays, one frame
  // at a time. Calls run on the caller's thread.

  /// Opens FileName: its frame count (MEDIAFILE_FRAMECOUNT; WIDTH, HEIGHT,
  /// FILENAME, FILETYPE 0 too), or 0 with the abort flag when it cannot be
  /// played, has no video or no length. An open file is closed first.
  Integer OpenMediaFile(const String& FileName);
  /// Loads frame Index (IMAGEINDEX becomes Index) as a 24-bit picture;
  /// MEDIAFILE_FRAMEDELAYTIME becomes the frame's duration in milliseconds.
  /// Nothing without an open file; a frame that cannot be had sets the
  /// abort flag. No finish.
  void LoadFromMediaFile(Integer Index);
  void CloseMediaFile();
  bool IsOpenMediaFile() const;

  // ---- metafiles (lumerakio_metafile.cpp)
  //
  // Sizes: a positive width or height is taken as it is; a negative one
  // keeps the metafile's aspect ratio from the other (both negative: the
  // metafile's own size); 0 in either does nothing. A side past 16000
  // pixels scales the picture down so that its longer side is 16000.

  /// Draws Meta over the background colour into the working bitmap
  /// (lk24RGB; FILETYPE 9 or 10, the default resolution). With Alpha, the
  /// parts the metafile leaves blank get alpha 0. A metafile without a size
  /// sets the abort flag. No progress and no finish.
  void ImportMetaFile(const TMetafile& Meta, Integer Width, Integer Height, bool Alpha);
  /// Loads the metafile FileName (through the asynchronous gate) and draws
  /// it as ImportMetaFile does; FILENAME becomes FileName. A file that is no
  /// metafile sets the abort flag. The finish fires in every case.
  void ImportMetafile(const String& FileName, Integer Width, Integer Height, bool Alpha);
  /// Draws the metafile FileName over the picture with its top-left corner
  /// at X, Y (clipped to the picture); the parameters stay. Finish in every
  /// case.
  void MergeMetafile(const String& FileName, Integer X, Integer Y, Integer Width, Integer Height);

  // ---- loading from a URL, text export (lumerakio_url.cpp, lumerakio_text.cpp)

  /// Fetches an "http://" address (scheme in any case) and loads the body by
  /// its content (LoadFromStream), through the asynchronous gate. The host
  /// runs up to the first "/" (none: the path "/"), an optional ":port"
  /// after it (not a number: 80). Redirects are followed over plain HTTP.
  /// The body is held in memory and refused past the allocation gate's
  /// memory limit. Any other scheme, a connection that fails, an error
  /// status, too many redirects, a body cut short of its stated length, or
  /// the abort flag raised during the transfer: the abort flag with the
  /// reason, the finish, nothing loaded. Progress is reported while a body
  /// of stated length arrives.
  virtual void LoadFromURL(const String& URL);
  /// The HTTP proxy ("host:port"; empty: none, also none from the
  /// environment) and the user name and password it is given.
  String GetProxyServer() const { return FProxyServer; }
  void SetProxyServer(const String& Value) { FProxyServer = Value; }
  String GetProxyUserName() const { return FProxyUserName; }
  void SetProxyUserName(const String& Value) { FProxyUserName = Value; }
  String GetProxyUserPassword() const { return FProxyUserPassword; }
  void SetProxyUserPassword(const String& Value) { FProxyUserPassword = Value; }
  /// Writes the picture as text into FileName (created or truncated; a file
  /// that cannot be created raises EFCreateError): encoded as FileType
  /// (SaveToStream) and written as a Pascal byte array, C-style hex bytes or
  /// Base64 lines, or drawn as ASCII art (lk24RGB pictures only; others
  /// write nothing). FILENAME becomes FileName when something was written.
  virtual void SaveToText(const String& FileName, Integer FileType, TLKTextFormat Format);

  // ---- dialog settings

  /// Language handed to the dialogs (default msSystem).
  TMsgLanguage GetMsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  /// Options of the format-options form (ioppDefaultLockPreview,
  /// ioppApplyButton; default none).
  TIOPreviewsParams GetIOPreviewParams() const { return FPreviewsParams; }
  void SetIOPreviewParams(TIOPreviewsParams Value) { FPreviewsParams = Value; }
  /// Smaller pages in the format-options form (default true).
  bool GetSimplifiedParamsDialogs() const { return FSimplifiedParamsDialogs; }
  void SetSimplifiedParamsDialogs(bool Value) { FSimplifiedParamsDialogs = Value; }
  /// Font of the parameter dialogs (owned); SetPreviewFont copies Value.
  TFont* GetPreviewFont() const;
  void SetPreviewFont(TFont* Value);
  /// May take over DoPreviews by setting Handled.
  TLKDoPreviewsEvent OnDoPreviews;
  /// Called with the format-options form before it shows.
  TLKIOPreviewEvent OnIOPreview;

  // ---- printing (io/lkprint.cpp)
  // None of these starts or ends a print job: the caller begins and ends
  // the printer's document around PrintImage.

  /// Draws the picture on Canvas (of DpiX x DpiY dots per inch) at X, Y
  /// with the size Width x Height, all in inches; the printing filter
  /// resamples only when the picture shrinks on the device.
  void PrintImagePosEx(TCanvas* Canvas, double DpiX, double DpiY, double X, double Y, double Width,
                       double Height, double Gamma);
  /// PrintImagePosEx with the canvas's own resolution.
  void PrintImagePos(TCanvas* Canvas, double X, double Y, double Width, double Height, double Gamma);
  /// Places the picture on a page of PageWidth x PageHeight inches inside
  /// the margins (inches) by position and size mode, then PrintImagePosEx.
  void PrintImageEx(TCanvas* Canvas, double DpiX, double DpiY, double PageWidth, double PageHeight,
                    double MarginLeft, double MarginTop, double MarginRight, double MarginBottom,
                    TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos, TLKSize Size,
                    double SpecWidth, double SpecHeight, double Gamma);
  /// PrintImageEx on Canvas (null: the printer's page canvas, which needs a
  /// started job) with its resolution and page size.
  void PrintImage(TCanvas* Canvas, double MarginLeft, double MarginTop, double MarginRight,
                  double MarginBottom, TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos,
                  TLKSize Size, double SpecWidth, double SpecHeight, double Gamma);
  /// Draws into Target (made 24-bit and white) the page that PrintImage
  /// would print on Printer (null: the current printer), scaled to fit
  /// MaxWidth - 5 x MaxHeight - 5, with the margins framed by an inverting
  /// dashed line. A printer without a page, or a preview too small to have
  /// a resolution, leaves Target white.
  void PreviewPrintImage(TBitmap* Target, Integer MaxWidth, Integer MaxHeight, TPrinter* Printer,
                         double MarginLeft, double MarginTop, double MarginRight, double MarginBottom,
                         TLKVerticalPos VerticalPos, TLKHorizontalPos HorizontalPos, TLKSize Size,
                         double SpecWidth, double SpecHeight, double Gamma);
  /// Opens the print dialog (lkdtDialog) or the full-window preview
  /// (lkdtMaxi) on the picture; true when it closed with OK. False without
  /// a picture larger than one pixel, for another type, or without forms.
  bool DoPrintPreviewDialog(TLKDialogType DialogType, const String& TaskName, bool PrintAnnotations,
                            const String& Caption);
  /// The print dialogs' remembered settings (owned).
  TIOPrintPreviewParams* GetPrintPreviewParams() const { return FPrintPreviewParams.get(); }
  /// Resampling filter of printing (default rfFastLinear; rfNone: off).
  TResampleFilter GetPrintingFilter() const { return FPrintingFilter; }
  void SetPrintingFilter(TResampleFilter Value) { FPrintingFilter = Value; }
  /// Whether the print dialogs reset the printer first (default true).
  bool GetAutoResetPrinter() const { return FAutoResetPrinter; }
  void SetAutoResetPrinter(bool Value) { FAutoResetPrinter = Value; }
  /// Unit of the print dialogs (default lkduInches).
  TLKDialogsMeasureUnit GetDialogsMeasureUnit() const { return FDialogsMeasureUnit; }
  void SetDialogsMeasureUnit(TLKDialogsMeasureUnit Value) { FDialogsMeasureUnit = Value; }
  /// The process-wide print log file (LKSetPrintLogFile).
  static void SetPrintLogFile(const String& FileName) { LKSetPrintLogFile(FileName); }
  static String GetPrintLogFile() { return LKGetPrintLogFile(); }

  // ---- acquisition (lumerakio_acquire.cpp)

  /// The scanner settings (a TLKTWainParams of acquisition/lktwainparams.h),
  /// made on first use; null without the acquisition layer.
  TObject* GetTWainParams();
  /// Scans one picture into the working bitmap. False, with the abort flag
  /// set and its reason, when nothing arrived (no scanner, a failing or
  /// vanished device, an empty feeder, the user's cancel, an abort);
  /// lkaWIA transfers the first picture of the connected (or first)
  /// scanner or camera. Ends with Update and
  /// DoFinishWork.
  bool Acquire(TLKAcquireApi Api);
  /// The scanner manager's source selection; true when a source was chosen.
  bool SelectAcquireSource(TLKAcquireApi Api);
  /// Starts a modeless scan into the component (each picture through
  /// TWMultiCallBack) whose hidden control the attached view owns. False
  /// when one is open already, without a view, or when the scanner cannot
  /// start (the abort flag then tells why).
  bool AcquireOpen();
  /// Ends the modeless scan, when one is open.
  void AcquireClose();
  /// Whether a modeless scan is open.
  bool IsAcquireOpen() const { return FModelessScan != nullptr; }
  /// Called when the modeless scan has ended: forgets it.
  virtual void TWCloseCallBack();
  /// The scanner and camera object (a TLKWia of acquisition/lkwia.h), made
  /// on first use; null without the acquisition layer.
  virtual TObject* GetWIAParams();
  /// The video capture object (a TLKDirectShow of acquisition/lkdshow.h),
  /// made on first use and owned; when a view is attached at that moment,
  /// its new frames and pipeline events are posted to the view, whose
  /// OnDShowNewFrame and OnDShowEvent then run. The caller chooses the
  /// input and connects. Null without the acquisition layer.
  virtual TObject* GetDShowParams();
  /// Fires OnAcquireBitmap when assigned.
  virtual void DoAcquireBitmap(TLKBitmap* Bitmap, bool& Handled);
  /// Takes one picture of a multi-picture acquisition: unless
  /// OnAcquireBitmap handles it, the component's bitmap becomes a copy and
  /// Params the component's parameters.
  virtual void TWMultiCallBack(TLKBitmap* Bitmap, TObject*& Params);
  /// Copies the screen, the active window or its client area into the
  /// working bitmap (lk24RGB, the screen's resolution); with MouseCursor
  /// other than -1 the arrow cursor is drawn in. Nothing is copied when
  /// there is no such window; the finish event runs in every case.
  void CaptureFromScreen(TLKCSSource Source, Integer MouseCursor);
  TLKAcquireBitmapEvent OnAcquireBitmap;

 private:
  friend class TLKIOThread;

  // Drops the bitmap-change registration with the attached view.
  void RemoveViewRegistration();
  // Withdraws the free-notification asked of the attached view.
  void RemoveViewFreeNotification();
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
  // The attached view's door for workers (nil without a view), read under
  // the worker-list lock so that workers may post through it.
  std::shared_ptr<TLKViewPost> ViewPost();
  void SetViewPost(std::shared_ptr<TLKViewPost> Post);

  TBitmap* FVclBitmap = nullptr;
  TImage* FAttachedTImage = nullptr;
  TLKViewLink* FAttachedLumerak = nullptr;
  std::shared_ptr<TLKViewPost> FViewPost;
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
  std::atomic<int> FStopRequests{0};  // WaitThreads(true) calls waiting
  TLKAbortNote FAbortNote;
  TLKProgressEvent FProgressHook;

  // ---- open documents (lumerakio_documents.cpp)
  struct TDocumentSlot {
    // The document is written to a new file that replaces the target when
    // the document is closed.
    std::unique_ptr<TAtomicFile> File;
    void* Handle = nullptr;
  };
  void CreateDocument(TDocumentSlot& Slot, Integer Type, const String& FileName);
  void SaveToDocument(TDocumentSlot& Slot, Integer Type);
  void CloseDocument(TDocumentSlot& Slot, Integer Type);
  TDocumentSlot FPSDocument, FPDFDocument;

  // ---- AVI files
  std::unique_ptr<TAviReader> FAviReader;
  std::unique_ptr<TAviWriter> FAviWriter;
  bool FAviMJPG = false;
  Integer FAviWidth = 0, FAviHeight = 0, FAviRate = 0;

  // ---- other media files
  std::unique_ptr<TGstMediaFile> FMedia;
  double FMediaDelay = 0;  // milliseconds per frame

  // ---- loading from a URL
  String FProxyServer, FProxyUserName, FProxyUserPassword;

  // ---- dialog settings
  TMsgLanguage FMsgLanguage = msSystem;
  TIOPreviewsParams FPreviewsParams = 0;
  bool FSimplifiedParamsDialogs = true;
  // Made on first use.
  mutable std::unique_ptr<TFont> FPreviewFont;

  // ---- printing
  std::unique_ptr<TIOPrintPreviewParams> FPrintPreviewParams = std::make_unique<TIOPrintPreviewParams>();
  TResampleFilter FPrintingFilter = rfFastLinear;
  bool FAutoResetPrinter = true;
  TLKDialogsMeasureUnit FDialogsMeasureUnit = lkduInches;

  // ---- acquisition
  std::unique_ptr<TObject> FTWainParams;
  std::unique_ptr<TObject> FWIAParams;
  std::unique_ptr<TObject> FDShowParams;
  void* FModelessScan = nullptr;
};

/// Writes one image of a new icon file FileName per object of Images, each
/// at its own size: a TLumerakIO gives its picture (a view's, through the
/// view's GetLumerakIO) at the depth its parameters' samples and bits give;
/// a bare TLKBitmap is written by its pixel format. False (an existing file
/// left as it was) when the icon writer is missing or fails; a file that
/// cannot be created raises EFCreateError.
bool LKWriteICOImages(const String& FileName, const std::vector<TObject*>& Images);
