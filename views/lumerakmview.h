// The thumbnail view: a scrollable control that shows a list of images as a
// grid of equal cells (or one cell at a time while frames are played).
//
// Design
// - Entries (TLKImageInfo) are kept in display order. Their pixels live in
//   a file-backed image list ("ILIST"), their ready-to-draw copies in a
//   second one, the display cache ("ICACHE"): memory stays bounded by the
//   lists' mapped limits, not by the number of entries.
// - An entry is filled from a bitmap handed in, or read later, when its
//   cell is first painted, from a file name, an ID (through an event) or a
//   frame of a multi-frame file ("name::3"). Plain file names are read by
//   the loader's worker threads (views/lkmloader.h); the rest at once.
// - The arithmetic (layout, hit tests, fit, caption truncation) is in
//   views/lkmviewgrid.h; painting in lumerakmview_paint.cpp; selection,
//   mouse and keys in lumerakmview_select.cpp.
// - List operations record the last operation (GetLastOp...) while the
//   bitmap-change callbacks run, so an attached multi-image I/O component
//   (views/lkmio.h) keeps one parameter record per entry in step.
//
// Threads
// - Everything here runs on the main thread. Workers reach the view only
//   through the loader's result queue and the view link's post door: the
//   posted call takes the results on the main thread and stores them.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkvirtualimagelist.h"
#include "io/lkparams.h"
#include "platform/graphics.h"
#include "views/lkbackground.h"
#include "views/lkmviewgrid.h"
#include "views/lkview.h"
#include "views/lumerakview.h"

class TLumerakIO;
class TLumerakMIO;
class TLumerakMView;
class TLKMLoader;
struct TLKMLoadResult;
class TLKTransitionEffects;
class TLumerakVect;
class TPicture;
class TTimer;

/// Where stored images are kept: at full size or reduced to the cell.
enum TLKStoreType : Byte { lktNormal, lktThumb };
enum TLKMTextPos : Byte { lkmtpTop, lkmtpBottom, lkmtpInfo };
enum TLKMMouseInteractItem : Byte { mmiScroll, mmiSelect };
using TLKMMouseInteract = TLKSet<TLKMMouseInteractItem>;
enum TLKMKeyInteractItem : Byte { mkiMoveSelected };
using TLKMKeyInteract = TLKSet<TLKMKeyInteractItem>;
enum TLKMDisplayMode : Byte { mdGrid, mdSingle };
enum TLKSeek : Byte { iskLeft, iskRight, iskUp, iskDown, iskFirst, iskLast, iskPagDown, iskPagUp };
/// Cells flat or with three-dimensional frames.
enum TLKMStyle : Byte { lkmsFlat, lkmsACD };
/// The selected cell framed, or in highlight colours.
enum TLKSStyle : Byte { lkssAround, lkssACD };
enum TLKMultiSelectionOption : Byte { lkmoRegion, lkmoSelectOnMouseUp };
using TLKMultiSelectionOptions = TLKSet<TLKMultiSelectionOption>;

using TLKImageSelectEvent = std::function<void(TObject* Sender, Integer Idx)>;
using TLKImageIDRequestExEvent = std::function<void(TObject* Sender, Integer ID, TLKBitmap*& Bitmap)>;
using TLKMProgressEvent = std::function<void(TObject* Sender, Integer Per, Integer Idx)>;
using TLKWrongImageEvent = std::function<void(TObject* Sender, TLKBitmap* OutBitmap, Integer Idx, bool& Handled)>;
using TLKImageDrawEvent = std::function<void(TObject* Sender, Integer Idx, Integer Left, Integer Top, TCanvas* Canvas)>;
using TLKViewChangeEvent = std::function<void(TObject* Sender, Integer Change)>;
using TLKLumerakMViewSortCompare = std::function<Integer(Integer Idx1, Integer Idx2)>;

/// One caption of a cell.
class TLKMText : public TObject {
 public:
  TLKMText(TComponent* Owner, TLKMTextPos Position);
  ~TLKMText() override;
  const String& GetCaption() const { return FCaption; }
  /// Stores the text; in a thumbnail view a top or bottom caption first
  /// raises the view's gap to hold it (never lowers it).
  void SetCaption(const String& Text);
  /// The caption's own font, made from the view's font when first asked
  /// for; until then the caption draws with the view's font.
  TFont* GetFont() const;
  /// The font the caption is drawn with.
  TFont* GetDrawFont() const;
  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value) { FBackground = Value; }
  TBrushStyle GetBackgroundStyle() const { return FBackgroundStyle; }
  void SetBackgroundStyle(TBrushStyle Value) { FBackgroundStyle = Value; }
  TLKMTextPos GetPosition() const { return FPosition; }
  TLKMTruncSide GetTruncSide() const { return FTruncSide; }
  void SetTruncSide(TLKMTruncSide Value) { FTruncSide = Value; }

 private:
  String FCaption;
  mutable std::unique_ptr<TFont> FFont;
  TColor FBackground = clBtnFace;
  TBrushStyle FBackgroundStyle = bsSolid;
  TComponent* FOwner;
  TLKMTextPos FPosition;
  TLKMTruncSide FTruncSide = lkmtsRight;
};

/// One entry of the view.
struct TLKImageInfo {
  TLumerakMView* Owner = nullptr;
  TLKVirtualImageInfo* Stored = nullptr;
  TLKVirtualImageInfo* DisplayCopy = nullptr;
  Integer X = 0, Y = 0, Row = 0, Column = 0;
  TColor BackColor = clBtnFace;
  bool HasFileName = false;
  String FileName;
  Integer ID = -1;
  Integer Delay = 0;
  /// Made when first asked for (GetImageTopText...): nil means empty.
  std::unique_ptr<TLKMText> TopText, BottomText, InfoText;
  TRect ImageRect{};
  /// Stable identity for the loader (indexes move with list operations).
  Int64 Key = 0;
};

/// The thumbnail view (see the top of the file).
class TLumerakMView : public TLKView {
 public:
  explicit TLumerakMView(TComponent* AOwner = nullptr);
  ~TLumerakMView() override;

  // ---- life and updates
  void Clear();
  /// Lays out, sets the scroll bars and repaints, dropping the display copies.
  void Update() override { UpdateEx(true); }
  void UpdateEx(bool ClearCache);
  void UpdateCoords();
  void UpdateImage(Integer Idx);
  void CallBitmapChangeEvents() override;
  /// The multi-image I/O component, created and attached on first request.
  TLumerakMIO* GetLumerakMIO();
  void SetOnProgress(TLKProgressEvent Value) override;
  void SetOnFinishWork(TNotifyEvent Value) override;

  // ---- list operations
  void InsertImage(Integer Idx);
  void InsertImageEx(Integer Idx);
  Integer AppendImage();
  Integer AppendImage2(Integer Width, Integer Height, TLKPixelFormat PixelFormat);
  void DeleteImage(Integer Idx);
  bool DeleteImageNU(Integer Idx);
  void DeleteSelectedImages();
  void MoveImage(Integer Idx, Integer Destination);
  void SwapImages(Integer Idx1, Integer Idx2);
  void Sort(const TLKLumerakMViewSortCompare& Compare);
  Integer GetImageCount() const { return static_cast<Integer>(FEntries.size()); }
  /// Last list operation (0 none, 1 insert, 2 delete, 3 move, 4 swap) and
  /// its indexes; meaningful while the bitmap-change callbacks run.
  Integer GetLastOp() const { return FLastOp; }
  Integer GetLastOpIdx() const { return FLastOpIdx; }
  Integer GetLastOpP1() const { return FLastOpP1; }

  // ---- images
  void SetLKBitmap(Integer Idx, TLKBitmap* Bitmap);
  void SetLKBitmapEx(Integer Idx, TLKBitmap* Bitmap);
  void SetImage(Integer Idx, TBitmap* Bitmap);
  void SetImageEx(Integer Idx, TBitmap* Bitmap);
  bool SetImageFromFile(Integer Idx, const String& FileName);
  bool SetImageFromStream(Integer Idx, TStream* Stream);
  /// The stored image as a lent bitmap (read first when needed); give it
  /// back with ReleaseBitmap.
  TLKBitmap* GetTLKBitmap(Integer Idx);
  void ReleaseBitmap(Integer Idx);
  void CopyToLKBitmap(Integer Idx, TLKBitmap* Bitmap);
  /// The selected image's bitmap (nil without a selection).
  TLKBitmap* GetLKBitmap() override;
  TBitmap* GetFBitmap() override;
  TLKBitmap* GetAlphaChannel() override { return nullptr; }
  bool GetHasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}
  void PrepareSpaceFor(Integer Width, Integer Height, Integer Count, Integer BitCount);
  Integer GetImageWidth(Integer Idx);
  Integer GetImageHeight(Integer Idx);
  Integer GetImageOriginalWidth(Integer Idx);
  Integer GetImageOriginalHeight(Integer Idx);
  void SetImageOriginalWidth(Integer Idx, Integer Value);
  void SetImageOriginalHeight(Integer Idx, Integer Value);
  Integer GetImageBitCount(Integer Idx);
  bool HasStoredImage(Integer Idx) const;
  bool HasDisplayCopy(Integer Idx) const;

  // ---- entry fields
  String GetImageFileName(Integer Idx) const;
  void SetImageFileName(Integer Idx, const String& Name);
  Integer GetImageID(Integer Idx) const;
  void SetImageID(Integer Idx, Integer ID);
  TColor GetImageBackground(Integer Idx) const;
  void SetImageBackground(Integer Idx, TColor Value);
  Integer GetImageDelayTime(Integer Idx) const;
  void SetImageDelayTime(Integer Idx, Integer Value);
  Integer GetImageX(Integer Idx) const;
  Integer GetImageY(Integer Idx) const;
  Integer GetImageRow(Integer Idx) const;
  Integer GetImageCol(Integer Idx) const;
  TLKMText* GetImageTopText(Integer Idx) const;
  TLKMText* GetImageBottomText(Integer Idx) const;
  TLKMText* GetImageInfoText(Integer Idx) const;
  TRect GetImageRect(Integer Idx) const;

  // ---- layout and scrolling
  TLKMGridParams GetGridParams();
  TSize GetExtent() const { return FExtent; }
  Integer ImageAtPos(Integer X, Integer Y);
  Integer ImageAtGridPos(Integer Row, Integer Col);
  Integer InsertingPoint(Integer X, Integer Y);
  /// 0 not visible, 1 partly, 2 wholly visible in the client area.
  Integer GetImageVisibility(Integer Idx);
  bool IsVisible(Integer Idx);
  Integer GetViewX() const { return FViewX; }
  Integer GetViewY() const { return FViewY; }
  void SetViewX(Integer V);
  void SetViewY(Integer V);
  void SetViewXY(Integer X, Integer Y);
  void GetMaxViewXY(Integer& X, Integer& Y);
  Integer GetMaximumViewX();
  Integer GetMaximumViewY();
  virtual void ViewChange(Integer Change);

  // ---- filling
  /// Appends an entry per picture file of Directory (sorted by name), at
  /// most Limit (negative: no limit); pictures are read when shown.
  void FillFromDirectory(const String& Directory, Integer Limit = -1);
  /// Replaces the entries by the frames of FileName ("name::i"), read when shown.
  void LoadFromFileOnDemand(const String& FileName);
  /// Appends Source's picture, the in-between pictures of a morph from
  /// Source to Target and Target's picture. The objects of the two vector
  /// views mark corresponding features, pairwise in object order (each
  /// object's rectangle read as a line from its top-left to its
  /// bottom-right corner). Steps - 1 pictures lie between the two. Nothing
  /// unless both views hold objects, the same number, and both pictures are
  /// lk24RGB.
  void CreateMorphingSequence(TLumerakVect* Source, TLumerakVect* Target, Integer Steps);

  // ---- loading (see lumerakmview_load.cpp)
  bool ObtainImageNow(Integer Idx);
  bool ObtainImageThreaded(Integer Idx);
  virtual void DoWrongImage(TLKBitmap* Bitmap, Integer Idx);
  virtual void ClearThreadsAndRequests();
  Integer GetJobsRunning() const;
  Integer GetJobsWaiting() const;
  bool IsLookAhead(Integer Idx) const;
  bool IsOnDemand(const TLKImageInfo& Info) const;
  void ReloadImage(Integer Idx);
  void ClearImageCache(Integer Idx);
  void ClearCache();
  /// Stores the loader's finished reads (main thread). Returns how many.
  Integer TakeLoadedImages();
  /// Stores the finished reads of visible cells, and of the others as many
  /// as fit in BudgetMs; the rest wait for the next call, which is posted.
  /// Returns how many were stored.
  Integer TakeDueImages(Integer BudgetMs = 4);
  /// Finished reads not stored yet.
  Integer GetResultsWaiting() const;
  /// Waits until the loader is idle and stores its results (tests, tools).
  bool WaitLoaded(Integer TimeoutMs);
  TLKMLoader* GetLoader() const { return FLoader.get(); }
  /// Drops stored images of on-demand entries far from First..Last.
  void ReleaseFarImages(Integer First, Integer Last);

  // ---- painting and playing (lumerakmview_paint.cpp)
  virtual void PaintTo(TBitmap* Bitmap);
  void DrawImage(TBitmap* Bitmap, TLKImageInfo& Info, Integer Idx, bool Selected);
  void SetPresetThumbnailFrame(Integer PresetIndex, TColor UnselectedColor, TColor SelectedColor);
  bool GetPlaying() const { return FPlaying; }
  void SetPlaying(bool Value);
  void PlayFrame();
  Integer GetVisibleFrame() const { return FCurrentFrame; }
  void SetVisibleFrame(Integer Idx);
  void CenterFrame();
  /// The period the play timer runs with (0 when stopped).
  Cardinal GetPlayInterval() const;
  TTimer* GetPlayTimer() const { return FPlayTimer; }
  bool GetAllDisplayed() const { return FAllDisplayed; }
  /// SetVisibleFrame animates the change with TransitionEffect (lkttNone:
  /// none) over TransitionDuration milliseconds.
  TLKTransitionType TransitionEffect = lkttNone;
  Integer TransitionDuration = 1000;
  bool GetTransitionRunning() const;
  TLKTransitionEffects* GetTransitionEngine() const { return FTransition.get(); }

  // ---- selection, mouse and keys (lumerakmview_select.cpp)
  Integer GetSelectedImage() const { return FSelected; }
  void SetSelectedItem(Integer Idx);
  void SetSelectedItemNU(Integer Idx);
  void Deselect();
  void DeselectNU();
  void UnSelectImage(Integer Idx);
  void SelectAll();
  void BeginSelectImages();
  void EndSelectImages();
  bool IsSelected(Integer Idx) const;
  Integer MultiSelectedImages(Integer I) const;
  Integer MultiSelectedImagesCount() const { return static_cast<Integer>(FMultiSel.size()); }
  void MultiSelectSortList();
  void SelectAtPos(Integer X, Integer Y, TShiftState Shift);
  void SelectSeek(TLKSeek Seek);
  void CenterSelected();
  virtual void DoImageSelect(Integer Idx);
  virtual void DoImageDeselect(Integer Idx);

  // ---- settings
  TLKStoreType StoreType = lktNormal;
  Integer GetThumbWidth() const { return FThumbWidth; }
  Integer GetThumbHeight() const { return FThumbHeight; }
  void SetThumbWidth(Integer V);
  void SetThumbHeight(Integer V);
  Integer GetHorizBorder() const { return FHorizBorder; }
  Integer GetVertBorder() const { return FVertBorder; }
  void SetHorizBorder(Integer V) { FHorizBorder = V; UpdateEx(false); }
  void SetVertBorder(Integer V) { FVertBorder = V; UpdateEx(false); }
  Integer GetUpperGap() const { return FUpperGap; }
  Integer GetBottomGap() const { return FBottomGap; }
  void SetUpperGap(Integer V) { FUpperGap = FUserUpperGap = V; UpdateEx(false); }
  void SetBottomGap(Integer V) { FBottomGap = FUserBottomGap = V; UpdateEx(false); }
  /// Caption gaps raised by captions (written directly, no update).
  void RaiseGaps(Integer Upper, Integer Bottom);
  Integer GetGridWidth() const { return FGridWidth; }
  void SetGridWidth(Integer V) { FGridWidth = V; UpdateEx(false); }
  TLKMDisplayMode GetDisplayMode() const { return FDisplayMode; }
  void SetDisplayMode(TLKMDisplayMode V);
  TScrollStyle GetScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle V);
  bool GetFlatScrollBars() const { return FFlatScrollBars; }
  /// Flat bars: plain thumb and arrows without raised edges. Turning them on
  /// hides both bars until the next Update shows what is needed.
  void SetFlatScrollBars(bool V);
  /// Picture drawn over the view background (copied; empty: none).
  TPicture* GetWallPaper() const { return FWallPaper.get(); }
  void SetWallPaper(TPicture* Value);
  void SetWallPaperStyle(TLKWallPaperStyle Value);
  Integer GetImageCacheSize() const { return FImageCacheSize; }
  void SetImageCacheSize(Integer V);
  Integer GetThreadPoolSize() const { return FThreadPoolSize; }
  void SetThreadPoolSize(Integer V);
  bool GetEnableImageCaching() const { return FEnableImageCaching; }
  void SetEnableImageCaching(bool V);
  void SetBackGround(TColor Color) override;
  bool VisibleSelection = true;
  TLKMMouseInteract MouseInteract{mmiSelect};
  TLKMKeyInteract KeyInteract{mkiMoveSelected};
  Integer SelectionWidth = 3;
  Integer SelectionWidthNoFocus = 1;
  TColor SelectionColor = clRed;
  bool RemoveCorrupted = false;
  bool DrawImageBackground = false;
  TLKMStyle Style = lkmsACD;
  TLKSStyle SelectionStyle = lkssAround;
  TColor ThumbnailsBackground = clBtnFace;
  bool EnableMultiSelect = false;
  TLKMultiSelectionOptions MultiSelectionOptions;
  Integer ThumbnailsBorderWidth = 0;
  TColor ThumbnailsBorderColor = clBtnFace;
  bool ThumbnailsInternalBorder = false;
  TColor ThumbnailsInternalBorderColor = clBlack;
  TLKWallPaperStyle WallPaperStyle = lkwoNormal;
  bool EnableAlphaChannel = true;
  TLKBackgroundStyle BackgroundStyle = lkbsSolid;
  TLKBackgroundStyle ThumbnailsBackgroundStyle = lkbsSolid;
  bool ScrollBarsAlwaysVisible = false;
  bool EnableResamplingOnMinor = true;
  bool FillThumbnail = true;
  bool ShowText = true;
  Integer ChessboardSize = 16;
  TBrushStyle ChessboardBrushStyle = bsSolid;
  TColor GradientEndColor = clBlue;
  TResampleFilter StoreResampleFilter = rfFastLinear;
  TResampleFilter DisplayResampleFilter = rfNone;
  Integer RoundRadiusDivisor = 0;
  bool SoftShadowEnabled = false;
  double SoftShadowRadius = 3.0;
  Integer SoftShadowOffsetX = 3, SoftShadowOffsetY = 3;
  Integer LookAhead = 0;
  Integer OnDemandKeepRange = 15;
  bool PlayLoop = true;
  bool AdjustOrientation = false;
  bool LoadExifThumbnails = true;
  TLKScrollBarParams HScrollBarParams, VScrollBarParams;

  /// Font of new captions.
  TFont* GetFont() const { return FFont.get(); }

  // ---- events
  TLKViewChangeEvent OnViewChange;
  TLKImageIDRequestExEvent OnImageIDRequestEx;
  TLKImageDrawEvent OnBeforeImageDraw;
  TLKImageDrawEvent OnImageDraw;
  TLKImageSelectEvent OnImageSelect;
  TLKImageSelectEvent OnImageDeselect;
  TLKProgressEvent OnIOProgress;
  TLKMProgressEvent OnDrawProgress;
  TLKWrongImageEvent OnWrongImage;
  TNotifyEvent OnAllDisplayed;

  /// The user-action flag: selection and view-change events fire only
  /// while a mouse or key handler runs (tests set it to act as the user).
  bool GetUserAction() const { return FUserAction; }
  void SetUserAction(bool V) { FUserAction = V; }

 protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseMove(TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void KeyDown(Word& Key, TShiftState Shift) override;

 private:
  friend class TLKMText;
  TLKImageInfo* Entry(Integer Idx) const;
  TLKMText* Caption(Integer Idx, TLKMTextPos Position) const;
  void StoreLoaded(Integer Idx, TLKBitmap* Bitmap, const TIOParamsVals* Params, TColor Back, Integer OrigW,
                   Integer OrigH, bool AlreadyReduced);
  void DropDisplayCopy(TLKImageInfo& E);
  void DropStored(TLKImageInfo& E);
  void FreeEntry(TLKImageInfo* E);
  void StopPlaying();
  void SetupScrollBars(Integer MaxX, Integer MaxY);
  bool ReadOwn(Integer Idx, const std::function<void(TLumerakIO&)>& Read);
  void ReadOnDemandFrame(TLKImageInfo& E, TLKBitmap* Bitmap, TLumerakIO*& Reader, bool& Failed);
  Integer IndexOfKey(Int64 Key) const;
  void MakeLoadRequest(TLKImageInfo& E);
  void DoScrollMessage(bool Horz, Word Code, Integer Pos);
  void ApplyToSelection(Integer Idx);
  void RebuildDragRange();
  void RequestLookAhead(Integer Last);
  TSize TextSize(TFont* Font, const String& Text);

  std::vector<std::unique_ptr<TLKImageInfo>> FEntries;
  std::vector<TLKMCell> FCells;
  std::unique_ptr<TLKVirtualImageList> FImageList;
  std::unique_ptr<TLKVirtualImageList> FDisplayCache;
  std::unique_ptr<TLumerakIO> FOwnIO;
  std::vector<std::unique_ptr<TLumerakIO>> FOnDemandReaders;
  std::unique_ptr<TLKMLoader> FLoader;
  std::shared_ptr<TLKViewPost> FPost;
  // Finished reads taken from the loader and not stored yet (oldest first),
  // and whether a call to store them is already posted.
  std::vector<TLKMLoadResult> FDeferred;
  std::atomic<bool> FTakePosted{false};
  void PostTake();
  Integer StoreResult(TLKMLoadResult& R, Integer Idx);
  std::shared_ptr<bool> FAlive;
  std::unique_ptr<TLumerakMIO> FMIO;
  std::unique_ptr<TBitmap> FBackBuffer;
  std::unique_ptr<TBitmap> FMeasure;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TLKBitmap> FPresetFrame, FPresetFrameSelected;
  std::unique_ptr<TLKBitmap> FPlaceholder;  // the "?" cell of unreadable files
  std::unique_ptr<TPicture> FWallPaper;
  std::unique_ptr<TLKTransitionEffects> FTransition;
  bool FFlatScrollBars = false;
  TRect FPresetInner{};
  TTimer* FPlayTimer = nullptr;
  TSize FExtent{0, 0};
  Integer FViewX = 0, FViewY = 0;
  double FHScale = 1.0, FVScale = 1.0;
  bool FUpdating = false;
  bool FDestroying = false;
  Integer FLastOp = 0, FLastOpIdx = 0, FLastOpP1 = 0;
  TLKBitmap* FSelectedBitmap = nullptr;
  std::unique_ptr<TBitmap> FSelectedFBitmap;
  Int64 FNextKey = 1;
  std::vector<Integer> FLookAheadList;
  Integer FThumbWidth = 100, FThumbHeight = 100;
  Integer FHorizBorder = 4, FVertBorder = 4;
  Integer FUpperGap = 0, FBottomGap = 0, FUserUpperGap = 0, FUserBottomGap = 0;
  Integer FGridWidth = 0;
  TLKMDisplayMode FDisplayMode = mdGrid;
  TScrollStyle FScrollBars = ssBoth;
  Integer FImageCacheSize = 10;
  Integer FThreadPoolSize = 5;
  bool FEnableImageCaching = true;
  bool FAllDisplayed = false;
  // Playing.
  bool FPlaying = false;
  Integer FCurrentFrame = 0;
  bool FPlayGuard = false;
  // The frame the last play tick showed (-1 before the first one).
  Integer FPlayShown = -1;
  void RunFrameTransition(Integer Idx);
  TLKMDisplayMode FSavedDisplayMode = mdGrid;
  Integer FSavedSelected = -1;
  // Selection.
  Integer FSelected = -1;
  std::vector<Integer> FMultiSel;
  bool FMultiSelecting = false, FExtending = false, FBatch = false, FChanged = false;
  bool FDragSelected = false, FPressed = false, FDblClick = false, FUserAction = false;
  TPoint FPressPoint{}, FPressView{};
  Integer FPressImage = -1, FLastReached = -1, FAnchor = -1;
};
