// The multi-image I/O component: reads every page or frame of a GIF, TIFF,
// icon or DCX file into a thumbnail view (one entry each) and writes every
// entry of the view as one page of a GIF, TIFF, DCX, PostScript or PDF file.
// It keeps one parameter record per entry, in step with the view's
// insertions, deletions, moves and swaps (through the view's bitmap-change
// callbacks and last list operation).
//
// It also reads every frame of AVI and other video files, writes entries as
// the frames of an AVI file, loads from "http://" addresses, opens the file
// dialogs and the format options, and prints through the print preview.
//
// It acquires pages from scanners and cameras into the view, one entry
// each (lkmio_acquire.cpp).
//
// Threads: main thread only.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/classes.h"

class TLumerakIO;
class TLumerakMView;
class TStream;
class TLKTWainParams;

// ---- printing: the multi-image print preview's door (views/lkmio_print.cpp)
#include <functional>

#include "core/lkmsg.h"
#include "io/lkprintparams.h"

class TFont;
class TLumerakMIO;

/// The multi-image print preview, filled in by the component before
/// ShowModal (the dialogs subsystem installs the maker).
class TLKMultiPrintForm : public TObject {
 public:
  ~TLKMultiPrintForm() override = default;
  TLumerakMIO* MIO = nullptr;
  TMsgLanguage Language = msSystem;
  TFont* Font = nullptr;
  /// Title of the print job.
  String TaskName;
  TLKDialogsMeasureUnit MeasureUnit = lkduInches;
  bool PrintAnnotations = false;
  /// Replaces the form's caption when not empty.
  String Caption;
  /// Shows the form modally; true when it closed with OK.
  virtual bool ShowModal() = 0;
};
using TLKMultiPrintFormMaker = std::function<std::unique_ptr<TLKMultiPrintForm>(TComponent* Owner)>;
/// Installs the multi-image print preview; without it the component's
/// DoPrintPreviewDialog answers false.
void LKSetMultiPrintForm(TLKMultiPrintFormMaker Maker);
// ---- end of printing

/// Pictures of FileName as frames of a thumbnail view: the page count of
/// TIFF, GIF, icon and DCX files, 1 for other readable formats, 0 for video
/// files and for what nobody reads.
Integer LKMGetFileFramesCount(const String& FileName);

/// The file name extension a download of ContentType is saved under: the
/// subtype up to its parameters, letters, digits, '+' and '-' only.
String LKMExtensionOfContentType(const String& ContentType);

/// The multi-image I/O component (see the top of the file).
class TLumerakMIO : public TComponent {
 public:
  explicit TLumerakMIO(TComponent* Owner = nullptr);
  ~TLumerakMIO() override;

  TLumerakMView* GetAttachedMView() const { return FView; }
  /// Attaches View (nil detaches) and gives it a record per entry.
  void SetAttachedMView(TLumerakMView* View);
  /// The view's Update.
  void Update();

  /// Record of entry Idx (nil out of range). Records are made when first
  /// asked for; until then an entry's record holds the defaults.
  TIOParamsVals* GetParams(Integer Idx) const;
  /// Forgets what the record of entry Idx holds (back to the defaults,
  /// without memory): the view does so when it releases the image of an
  /// entry it reads again when shown, whose read fills the record anew.
  void ReleaseIOParam(Integer Idx);
  Integer GetParamsCount() const { return static_cast<Integer>(FParams.size()); }
  void InsertIOParam(Integer Idx);
  void RemoveIOParam(Integer Idx);
  void MoveIOParams(Integer Idx, Integer Destination);
  void SwapIOParams(Integer Idx1, Integer Idx2);
  /// Copies record 0's encoding options to every record.
  void DuplicateCompressionInfo();

  // Loading: the pages go to the view's selected index (the end when
  // nothing is selected) and the following indexes.
  void LoadFromFile(const String& FileName);
  void LoadFromFileAuto(const String& FileName);
  void LoadFromFileFormat(const String& FileName, Integer FileType);
  void LoadFromFileGIF(const String& FileName);
  void LoadFromFileTIFF(const String& FileName);
  void LoadFromFileICO(const String& FileName);
  void LoadFromFileDCX(const String& FileName);
  void LoadFromStreamGIF(TStream* Stream);
  void LoadFromStreamTIFF(TStream* Stream);
  void LoadFromStreamICO(TStream* Stream);
  void LoadFromStreamDCX(TStream* Stream);

  // Saving every entry as one page (the file is replaced only on success).
  void SaveToFile(const String& FileName);
  void SaveToFileGIF(const String& FileName);
  void SaveToFileTIFF(const String& FileName);
  void SaveToFileDCX(const String& FileName);
  void SaveToFilePS(const String& FileName);
  void SaveToFilePDF(const String& FileName);

  // ---- printing (views/lkmio_print.cpp)
  /// Opens the multi-image print preview over the attached view: every
  /// entry (or the selected ones) printed one per page. The printer is
  /// reset first while the reset switch is on. False without an attached
  /// view with entries, without an installed form, or when the form closed
  /// otherwise than with OK.
  bool DoPrintPreviewDialog(const String& TaskName, bool PrintAnnotations, const String& Caption);
  // (its language and font are the dialogs' below)
  /// Unit of the print preview (default lkduInches).
  TLKDialogsMeasureUnit DialogsMeasureUnit = lkduInches;
  /// Resampling filter of printed pages (default rfFastLinear; rfNone: off).
  TResampleFilter GetPrintingFilter() const { return FPrintingFilter; }
  void SetPrintingFilter(TResampleFilter Value) { FPrintingFilter = Value; }
  /// Whether the print preview resets the printer first (default true).
  bool GetAutoResetPrinter() const { return FAutoResetPrinter; }
  void SetAutoResetPrinter(bool Value) { FAutoResetPrinter = Value; }
  // ---- end of printing

  // ---- dialogs (views/lkmio_dialogs.cpp)

  /// Runs the open dialog; the chosen file name, empty when cancelled (or
  /// when no dialogs are installed).
  String ExecuteOpenDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                           Integer FilterIndex, const String& ExtendedFilters);
  /// Runs the save dialog attached to this component; as ExecuteOpenDialog.
  String ExecuteSaveDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                           Integer FilterIndex, const String& ExtendedFilters);
  /// The format-options form on the selected entry (entry 0 is selected
  /// when nothing is), editing the record of entry Idx; Idx below 0 edits
  /// record 0 and then gives its choices to every record. True when the
  /// user confirmed (or OnDoPreviews handled the request).
  bool DoPreviews(Integer Idx, TPreviewParams Pages);
  bool SimplifiedParamsDialogs = true;
  /// Handed to the open and save dialogs with AutoAdjustDPI.
  bool FilteredAdjustDPI = false;
  TMsgLanguage MsgLanguage = msSystem;
  /// ioppDefaultLockPreview, ioppApplyButton.
  TIOPreviewsParams PreviewsParams = 0;
  TLKDitherMethod DefaultDitherMethod = lkThreshold;
  /// Font of the dialogs and the print preview (owned, made on first use).
  TFont* GetPreviewFont() const;
  /// Copies Value.
  void SetPreviewFont(const TFont* Value);
  /// May take over DoPreviews by setting Handled.
  TLKDoPreviewsEvent OnDoPreviews;

  bool GetAborted() const { return FAborted; }
  void SetAborted(bool Value) { FAborted = Value; }
  /// Resample pages whose horizontal and vertical resolutions differ.
  bool AutoAdjustDPI = false;
  TLKProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;

  // ---- acquisition (views/lkmio_acquire.cpp)
  // Pages go into the view from its selected index (the end when nothing
  // is selected) onwards, one entry each with a delay of 100 ms and its
  // record filled with what the device says of the page.

  /// Acquires every page the source gives: lkaTWain through the scanner
  /// settings (GetTWainParams), lkaWIA from the connected (or first)
  /// scanner's feeder or camera. True when at least one page arrived;
  /// false with Aborted set when nothing did (no device, a failing or
  /// vanished one, an empty feeder, the user's cancel). True at once,
  /// doing nothing, while a modeless scan is open.
  bool Acquire(TLKAcquireApi Api);
  /// Starts a modeless scan whose pages come into the view as they are
  /// scanned. False when one is open already, without a view, or when the
  /// scanner cannot start (Aborted then set).
  bool AcquireOpen();
  /// Ends the modeless scan, when one is open.
  void AcquireClose();
  bool IsAcquireOpen() const { return FModelessScan != nullptr; }
  /// The source choice (the scanner manager's or the device list's); true
  /// when one was chosen.
  bool SelectAcquireSource(TLKAcquireApi Api);
  /// Takes one acquired page: OnAcquireBitmap may handle it; otherwise it
  /// becomes a new entry and Params the entry's record.
  virtual void TWMultiCallBack(TLKBitmap* Bitmap, TObject*& Params);
  /// Called when the modeless scan has ended: forgets it.
  virtual void TWCloseCallBack();
  /// The scanner settings (feeder on), made on first use.
  TLKTWainParams* GetTWainParams();
  /// The scanner and camera object (a TLKWia), made on first use.
  virtual TObject* GetWIAParams();
  /// Handed to the scanner layer: pages keep the device's own pixel format.
  bool NativePixelFormat = false;
  /// May take each acquired page by setting Handled.
  TLKAcquireBitmapEvent OnAcquireBitmap;
  // ---- end of acquisition

  // ---- video files and addresses (lkmio_media.cpp) --------------------------
  // Frames go to the view's selected index (the end when nothing is
  // selected) and onwards, each with its duration in milliseconds as its
  // delay; a frame that cannot be read ends the load, frames before stay.

  /// Every frame of an AVI file (the delay also in the record's
  /// GIF_DELAYTIME); a file the AVI reader cannot read goes to
  /// LoadFromMediaFile.
  void LoadFromFileAVI(const String& FileName);
  /// Every frame of a video file the media framework plays; Aborted when it
  /// plays nothing.
  void LoadFromMediaFile(const String& FileName);
  /// Every entry as one frame of an AVI file of 1000 / (entry 0's delay)
  /// frames per second with the compressor Codec (TLumerakIO::CreateAVIFile);
  /// no finish event.
  void SaveToFileAVI(const String& FileName, const String& Codec);
  /// The picture at an "http://" address: TIFF, GIF, icon and DCX pages one
  /// entry each, other pictures by the extension their content type gives.
  /// A failed download sets Aborted.
  void LoadFromURL(const String& URL);
  /// HTTP proxy ("host:port") and its user of LoadFromURL.
  String ProxyServer, ProxyUserName, ProxyUserPassword;

 protected:
  void DoFinishWork();

 private:
  void OnBitmapChange(TObject* Sender, bool Destroying);
  void LoadPages(TStream* Stream, Integer FileType, const String& Name);
  void LoadFileAs(const String& FileName, Integer FileType);
  void SavePages(const String& FileName, Integer FileType);
  void SaveDocument(const String& FileName, bool Pdf);
  // Video files (lkmio_media.cpp).
  void LoadVideo(const String& FileName, bool Avi);
  void LoadFrames(TLumerakIO& Io, Integer Count, bool Avi, const String& FileName);

  TLumerakMView* FView = nullptr;
  Integer FRegistration = -1;
  mutable std::vector<std::unique_ptr<TIOParamsVals>> FParams;
  bool FAborted = false;
  // ---- printing
  TResampleFilter FPrintingFilter = rfFastLinear;
  bool FAutoResetPrinter = true;
  // ---- end of printing
  mutable std::unique_ptr<TFont> FPreviewFont;
  // ---- acquisition
  std::unique_ptr<TObject> FTWainParams;
  std::unique_ptr<TObject> FWIAParams;
  std::unique_ptr<TIOParamsVals> FModelessParams;
  Integer FAcquirePosition = 0;  // where the next acquired page goes
  void* FModelessScan = nullptr;
  std::atomic<bool>* FAcquireAbort = nullptr;  // the running scan's abort flag
  // ---- end of acquisition
};
