// The multi-image I/O component: reads every page or frame of a GIF, TIFF,
// icon or DCX file into a thumbnail view (one entry each) and writes every
// entry of the view as one page of a GIF, TIFF, DCX, PostScript or PDF file.
// It keeps one parameter record per entry, in step with the view's
// insertions, deletions, moves and swaps (through the view's bitmap-change
// callbacks and last list operation).
//
// Not here yet: loading from URLs, acquisition, video files and the print
// preview.
//
// Threads: main thread only.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "platform/classes.h"

class TLumerakMView;
class TStream;

/// Pictures of FileName as frames of a thumbnail view: the page count of
/// TIFF, GIF, icon and DCX files, 1 for other readable formats, 0 for video
/// files and for what nobody reads.
Integer LKMGetFileFramesCount(const String& FileName);

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
  TFont* GetPreviewFont() const;
  /// Copies Value.
  void SetPreviewFont(TFont* Value);
  /// May take over DoPreviews by setting Handled.
  TLKDoPreviewsEvent OnDoPreviews;

  bool GetAborted() const { return FAborted; }
  void SetAborted(bool Value) { FAborted = Value; }
  /// Resample pages whose horizontal and vertical resolutions differ.
  bool AutoAdjustDPI = false;
  TLKProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;

 protected:
  void DoFinishWork();

 private:
  void OnBitmapChange(TObject* Sender, bool Destroying);
  void LoadPages(TStream* Stream, Integer FileType, const String& Name);
  void LoadFileAs(const String& FileName, Integer FileType);
  void SavePages(const String& FileName, Integer FileType);
  void SaveDocument(const String& FileName, bool Pdf);

  TLumerakMView* FView = nullptr;
  Integer FRegistration = -1;
  mutable std::vector<std::unique_ptr<TIOParamsVals>> FParams;
  bool FAborted = false;
  mutable std::unique_ptr<TFont> FPreviewFont;
};
