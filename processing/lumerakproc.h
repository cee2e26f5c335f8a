// The image-processing component: one working bitmap (its own, an attached
// view's current bitmap or an external one), the operation frame that every
// operation runs inside (undo entry, pixel-format check, selection box copy
// out and back through the mask, view update, finishing events), undo and
// redo stacks, and the whole-image operations crop, flip, canvas resize and
// resampling.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "platform/classes.h"
#include "platform/graphics.h"

class TLKBitmap;
class TLKMask;
class TLKView;
class TLumerakViewServices;

/// What an undo or redo entry holds.
enum TLKUndoSource : Byte { lkuUnknown = 0, lkuImage = 1, lkuSelection = 2 };

/// Direction of a mirror: fdHorizontal exchanges left and right, fdVertical
/// top and bottom.
enum TFlipDir : Byte { fdHorizontal = 0, fdVertical = 1 };

/// A low-level routine as the frame calls it: the bitmap to work on and the
/// rectangle x1, y1, x2, y2 (right and bottom exclusive).
using TLKFrameRoutine = std::function<void(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2)>;

/// The processing component. One thread at a time.
class TLumerakProc : public TComponent {
 public:
  /// A component with its own empty working bitmap, AutoUndo and
  /// AutoConvertFormat on, UndoLimit 1, undo images in temporary files.
  explicit TLumerakProc(TComponent* AOwner = nullptr);
  /// Unregisters from an attached view, drops every undo and redo entry and
  /// frees the working bitmap when it is the component's own.
  ~TLumerakProc() override;

  // --- Attaching -------------------------------------------------------------

  TLKView* GetAttachedLumerak() const { return FAttachedLumerak; }
  /// Attaches a view: its current TLKBitmap becomes the working bitmap (not
  /// owned), or, for a view without one, an own bitmap wrapping the view's
  /// class-library bitmap; the component registers for its bitmap changes.
  /// nil detaches and gives the component a new empty bitmap of its own.
  void SetAttachedLumerak(TLKView* View);
  /// Makes an external bitmap the working bitmap (not owned) and drops the
  /// view link. nil while a view is attached changes nothing; nil otherwise
  /// leaves the component without a working bitmap.
  void SetAttachedLKBitmap(TLKBitmap* Bitmap);
  /// Makes Bitmap the working bitmap (not owned), freeing an owned one.
  void SetLKBitmap(TLKBitmap* Bitmap);
  /// Works on a class-library bitmap: an own working bitmap wraps it (and
  /// wraps it again before each operation, so outside size and format
  /// changes are seen); the view link is dropped. nil while a view is
  /// attached changes nothing; nil otherwise leaves an own empty bitmap.
  void SetAttachedBitmap(TBitmap* Bitmap);
  /// The class-library bitmap the working bitmap wraps, or nil.
  TBitmap* GetAttachedBitmap() const { return FAttachedBitmap; }
  /// The working bitmap (nil after the attached view went away).
  TLKBitmap* GetAttachedLKBitmap() const { return FBitmap; }
  /// The view's bitmap-change callback: Destroying forgets the view (the
  /// component falls back to an own empty bitmap); otherwise the view's
  /// current bitmap is taken as SetAttachedLumerak takes it.
  void OnBitmapChange(TObject* Sender, bool Destroying);

  // --- Settings --------------------------------------------------------------

  bool GetAutoUndo() const { return FAutoUndo; }
  void SetAutoUndo(bool Value) { FAutoUndo = Value; }
  bool GetAutoConvertFormat() const { return FAutoConvertFormat; }
  void SetAutoConvertFormat(bool Value) { FAutoConvertFormat = Value; }
  TMsgLanguage GetMsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  TFont* GetPreviewFont() const { return FPreviewFont.get(); }
  /// Copies Font into the preview font (nil is ignored).
  void SetPreviewFont(TFont* Font);
  /// Background: the attached view's, else the component's own.
  TColor GetReBackground() const;
  void SetReBackground(TColor Color);

  /// Progress in percent (Sender is the component) and end of an operation.
  TLKProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;

  // --- The operation frame ---------------------------------------------------

  /// True when Allowed is empty or holds the working bitmap's format.
  /// Otherwise, with AutoConvertFormat on, converts the working bitmap to the
  /// preferred allowed format (see LKPreferredFormat) and returns true; with
  /// it off returns false and changes nothing. False without a working
  /// bitmap.
  bool CheckFormat(TLKPixelFormatSet Allowed);
  /// False without a working bitmap; otherwise CheckFormat(Allowed).
  bool MakeConsistentBitmap(TLKPixelFormatSet Allowed);
  /// The selection: X1, Y1, X2, Y2 (right and bottom exclusive) is the whole
  /// bitmap, or the mask's box when the attached view has a selection whose
  /// mask is not empty; Mask is the view's mask (nil without a selection
  /// view); Polygon and PolygonCount the view's outline. True when the view
  /// reports a selection.
  virtual bool GetReSel(Integer& X1, Integer& Y1, Integer& X2, Integer& Y2, TPoint*& Polygon,
                        Integer& PolygonCount, TLKMask*& Mask);
  /// Opens a frame operation: undo entry (when AutoUndo; saved before the
  /// format check, and kept when the operation is refused), format check,
  /// selection. Without a selection Bitmap is the working bitmap and the
  /// rectangle the whole image; with one, Bitmap is a temporary copy of the
  /// mask's box and the rectangle 0, 0, box width, box height. False when the
  /// operation must not run.
  bool BeginImageProcessing(TLKPixelFormatSet Allowed, Integer& X1, Integer& Y1, Integer& X2, Integer& Y2,
                            const String& UndoCaption, TLKBitmap*& Bitmap, TLKMask*& Mask);
  /// Closes a frame operation: a temporary copy goes back into the working
  /// bitmap through the mask (with its alpha channel when a routine made or
  /// changed one) and is freed; then Update.
  void EndImageProcessing(TLKBitmap* Bitmap, TLKMask* Mask);
  /// BeginImageProcessing without the undo entry.
  bool BeginImageAnalysis(TLKPixelFormatSet Allowed, Integer& X1, Integer& Y1, Integer& X2, Integer& Y2,
                          TLKBitmap*& Bitmap, TLKMask*& Mask);
  /// Frees a temporary copy; nothing is copied back and nothing updated.
  void EndImageAnalysis(TLKBitmap* Bitmap);

  /// Runs one frame operation: BeginImageProcessing, Routine on the bitmap
  /// and rectangle the frame chose, EndImageProcessing, DoFinishWork. A
  /// refused operation runs nothing and fires nothing. The temporary copy is
  /// freed also when Routine raises (the exception passes on). Returns
  /// whether the routine ran.
  bool RunImageProcessing(TLKPixelFormatSet Allowed, const String& UndoCaption, const TLKFrameRoutine& Routine);
  /// Runs one analysis operation: BeginImageAnalysis, Routine,
  /// EndImageAnalysis, DoFinishWork. Returns whether the routine ran.
  bool RunImageAnalysis(TLKPixelFormatSet Allowed, const TLKFrameRoutine& Routine);
  /// Runs one operation that replaces the whole image: MakeConsistentBitmap,
  /// an undo entry when AutoUndo, Routine on the working bitmap, Update, and
  /// DoFinishWork when FinishWork. Returns whether the routine ran.
  bool RunWholeImage(TLKPixelFormatSet Allowed, const String& UndoCaption,
                     const std::function<void(TLKBitmap* Bitmap)>& Routine, bool FinishWork = true);

  /// Tells the attached view that the picture changed (its Update, then
  /// ImageChange), or marks an attached class-library bitmap modified; a
  /// wrapping working bitmap loses its alpha channel.
  void Update();
  /// Reports 100 through OnProgress, then fires OnFinishWork.
  virtual void DoFinishWork();
  /// Progress of one routine row as the routines report it: calls OnProgress
  /// with Trunc((Row - Y1 + 1) * Factor) where Factor = 100 / (LastRow - Y1
  /// + 0.5). For routines that run inside the frame.
  static void ReportRowProgress(const TLKProgressEvent& Event, TObject* Sender, Integer Row, Integer Y1,
                                double Factor);

  // --- Undo and redo ---------------------------------------------------------
  // Indexes of UndoAt, RedoAt, ClearUndoAt and the caption getters count from
  // the newest entry (0 = newest); those of UndoPeekAt and RedoPeekAt from
  // the oldest.

  /// Pushes the working image (lkuImage, not for images below 2 x 2) or the
  /// view's selection (lkuSelection, only with a selection view). The oldest
  /// entries are dropped so that at most UndoLimit remain.
  virtual void SaveUndo(TLKUndoSource Source);
  /// SaveUndo, then Caption on the entry pushed (none when nothing was).
  void SaveUndoCaptioned(const String& Caption, TLKUndoSource Source);
  virtual void SaveRedo(TLKUndoSource Source);
  void SaveRedoCaptioned(const String& Caption, TLKUndoSource Source);
  /// UndoAt(0).
  virtual void Undo();
  /// Restores the entry Index places below the newest; it stays on the
  /// stack. Image entries go back to the layer they were saved from (clamped
  /// to the layers there are), else to the working bitmap, then Update;
  /// selection entries are reloaded into the view.
  virtual void UndoAt(Integer Index);
  virtual void Redo();
  virtual void RedoAt(Integer Index);
  /// Copies the inclusive rectangle (corners in any order) of the newest
  /// undo image, with its alpha, back into the working bitmap; then Update.
  void UndoRect(Integer X1, Integer Y1, Integer X2, Integer Y2);
  /// Kind of the entry Index places above the oldest: 1 image, 2 selection,
  /// 0 out of range.
  Integer UndoPeekAt(Integer Index) const;
  Integer RedoPeekAt(Integer Index) const;
  /// Drops the newest entry (nothing when empty).
  void ClearUndo();
  virtual void ClearRedo();
  /// Drops the entry Index places below the newest.
  void ClearUndoAt(Integer Index);
  void ClearAllUndo();
  void ClearAllRedo();
  bool GetCanUndo() const { return !FUndo.empty(); }
  bool GetCanRedo() const { return !FRedo.empty(); }
  Integer GetUndoCount() const { return static_cast<Integer>(FUndo.size()); }
  Integer GetRedoCount() const { return static_cast<Integer>(FRedo.size()); }
  /// Caption Index places below the newest; empty out of range.
  String GetUndoCaptions(Integer Index) const;
  String GetRedoCaptions(Integer Index) const;
  /// Replaces that undo caption; nothing out of range.
  void SetUndoCaptions(Integer Index, const String& Caption);
  Integer GetUndoLimit() const { return FUndoLimit; }
  /// UndoLimit := max(1, Value); a lowered limit drops entries at the next
  /// push.
  void SetUndoLimit(Integer Value);
  /// Where undo and redo images keep their pixels: lkFile (every size in a
  /// temporary file, the default) or lkMemory (lkTBitmap counts as memory).
  /// Takes effect for entries pushed afterwards.
  TLKLocation GetUndoLocation() const { return FUndoLocation; }
  void SetUndoLocation(TLKLocation Value) { FUndoLocation = Value; }

  // --- Whole-image operations ------------------------------------------------

  /// Keeps the selection's box; pixels of the box outside the mask take the
  /// background colour (alpha 0 there). Without a selection the image stays
  /// (the undo entry and finishing events still happen). Undo "CropSel".
  void CropSel();
  /// Keeps the inclusive rectangle (X1, Y1)-(X2, Y2), with its alpha. A
  /// rectangle with X2 < X1 or Y2 < Y1, or one that misses the image, is
  /// refused (no change, no undo entry). Undo "Crop".
  void Crop(Integer X1, Integer Y1, Integer X2, Integer Y2);
  /// Crops to the box of the pixels whose red, green or blue differs from
  /// Color by more than Tolerance. An image made only of such background
  /// pixels is left unchanged. Undo through Crop.
  void AutoCrop(Integer Tolerance, TRGB Color);
  /// Fills the selection (the whole image without one) with Color: lk24RGB
  /// pixels, lk1g bits (set when Color's red is not 0); other formats stay.
  /// Undo "Fill".
  void Fill(TRGB Color);
  /// Sets every (Spacing + 1)-th pixel of every (Spacing + 1)-th row of the
  /// selection, from its top-left corner, to Color (lk24RGB only). Undo
  /// "PaintMark".
  void PaintMark(Integer Spacing, TRGB Color);
  /// Pen marker: recolours to Color, within a disc of diameter Width around
  /// (X, Y), the pixels whose channels all lie within Tolerance of
  /// SourceColor (their alpha becomes 255); works on lk24RGB (converting
  /// when AutoConvertFormat allows). Tests the centre, then circles of
  /// radius 1 .. Width div 2 with 2 * Round(2 pi r) points each. A selection
  /// view repaints only the screen rectangle around the pen. No undo entry,
  /// no Update, no events; nothing for a point outside the image.
  void PaintPenMarker(Integer X, Integer Y, Integer Width, TColor Color, TColor SourceColor, Integer Tolerance);
  /// Repeats the image Columns x Rows times (alpha channel too). Counts
  /// below 1 do nothing. No undo entry.
  void MakeTile(Integer Columns, Integer Rows);
  /// Fills the whole image with the background colour. Undo "Clear".
  void Clear();
  /// Mirrors the image (and its alpha channel). Undo "Flip".
  void Flip(TFlipDir Direction);
  /// Changes the canvas size without scaling, placing the old picture by the
  /// alignments; new area background colour, new alpha 255. Non-positive
  /// sizes do nothing. Undo "ImageResize <w>,<h>".
  void ImageResize(Integer NewWidth, Integer NewHeight, TLKHAlign HAlign, TLKVAlign VAlign);
  /// Resamples the working bitmap into Target (which becomes NewWidth x
  /// NewHeight in the working format, with its palette and alpha channel;
  /// lk1g becomes lk24RGB, or stays lk1g for the projection filters); the
  /// working bitmap is not replaced. A size of 0 keeps that side, -1 follows
  /// the other side with the aspect ratio, other values count by their
  /// absolute value; a result below 1 becomes 1. Both sides negative: only
  /// the undo entry is made. Target being the working bitmap resamples it in
  /// place (as Resample). Undo "Resample <NewWidth>,<NewHeight>" as passed.
  void ResampleTo(TLKBitmap* Target, Integer NewWidth, Integer NewHeight, TResampleFilter Filter);
  /// Replaces the working bitmap by its resampled copy (see ResampleTo), then
  /// Update and DoFinishWork; the finishing events fire twice (once in
  /// ResampleTo). Nothing for an empty working bitmap.
  void Resample(Integer NewWidth, Integer NewHeight, TResampleFilter Filter);

  // --- Clipboard, effects, shadows, comparison and hidden data ---------------
  // (lkclipboard.cpp, lkdistort.cpp, lkcorners.cpp, lkredeye.cpp,
  // lkshadows.cpp, lkcompare.cpp)

  /// Empties the clipboard and puts the whole image as a DIB; with Raw also
  /// in the private raw format that keeps pixel format, palette and alpha.
  void CopyToClipboard(bool Raw);
  /// Replaces the whole image with the clipboard's picture: the private
  /// format first, then a DIB. Undo "PasteFromClipboard" only when data was
  /// found.
  void PasteFromClipboard();
  /// Draws the clipboard's picture with its top-left corner at X, Y
  /// (converted from client coordinates for a view whose selection base is
  /// the client area), clipped to the image; with MergeAlpha a picture's
  /// transparent parts leave the image. Undo "PointPasteFromClip X,Y".
  void PointPasteFromClip(Integer X, Integer Y, bool MergeAlpha);
  /// Stretches the clipboard's picture to the selection's box and draws it
  /// through the selection; PasteFromClipboard without a selection. Undo
  /// "SelPasteFromClip".
  void SelPasteFromClip(bool MergeAlpha);
  /// As SelPasteFromClip, except that a DIB covers the whole box. Undo
  /// "SelPasteFromClipStretch".
  void SelPasteFromClipStretch(bool MergeAlpha);
  /// Copies the selection's box (unselected pixels in the background colour
  /// in the DIB); CopyToClipboard without a selection.
  void SelCopyToClip(bool Raw);
  /// SelCopyToClip, then fills the selected pixels with the background
  /// colour; nothing at all without a selection. Undo "SelCutToClip".
  void SelCutToClip(bool Raw);
  /// Fills the selected pixels with the background colour. Undo "ClearSel".
  void ClearSel();

  /// Bump mapping of the working rectangle: a light spot of Color centred
  /// at (Left, Top) with radii Width and Height over the picture's relief;
  /// Src is the percentage of the picture kept. lk24RGB. Undo "BumpMapping".
  void BumpMapping(Integer Left, Integer Top, Integer Width, Integer Height, Integer Src, TRGB Color);
  /// Elliptic magnifier centred at (X, Y). lk24RGB. Undo "Lens".
  void Lens(Integer X, Integer Y, Integer Width, Integer Height, double Refraction);
  /// Concentric ripples about the centre. lk24RGB. Undo "Wave".
  void Wave(Integer Amplitude, Integer WaveLength, Integer Phase, bool Reflective);
  /// Makes the corners outside a rounded rectangle transparent. Undo
  /// "RoundImage".
  void RoundImage(Integer RoundWidth, Integer RoundHeight);
  /// Radial polynomial remapping per channel (red a, b, c, d, then green,
  /// then blue). lk24RGB. Undo "RadialStretch".
  void RadialStretch(double RedA, double RedB, double RedC, double RedD, double GreenA, double GreenB,
                     double GreenC, double GreenD, double BlueA, double BlueB, double BlueC, double BlueD);
  /// Damps strongly red pixels of the working rectangle. lk24RGB. Undo
  /// "RemoveRedEyes".
  void RemoveRedEyes();
  /// Soft drop shadow behind the opaque part, growing the canvas to fit
  /// with AdaptSize. Undo "AddSoftShadow".
  void AddSoftShadow(double Radius, Integer OffsetX, Integer OffsetY, bool AdaptSize, TColor Color);
  /// Darkens the inside of the opaque part near its edges. Undo
  /// "AddInnerShadow".
  void AddInnerShadow(double Radius, Integer OffsetX, Integer OffsetY, TColor Color);

  /// Per-channel error measures between the working bitmap and Bitmap (both
  /// lk24RGB of one size, else false and the values untouched); true when
  /// they are equal.
  bool ComputeImageEquality(TLKBitmap* Bitmap, double& PSNRMin, double& PSNRMax, double& MSEMin, double& MSEMax,
                            double& RMSEMin, double& RMSEMax, double& PeakMin, double& PeakMax, double& MeanMin,
                            double& MeanMax);
  /// LKCompareImages of the working bitmap and Bitmap.
  double CompareWith(TLKBitmap* Bitmap, TLKBitmap* DiffBitmap);
  /// Hides Size bytes in the lowest bits of the 24-bit image (converted when
  /// needed and allowed). Returns Size, 0 when refused. Undo
  /// "WriteHiddenData".
  Integer WriteHiddenData(const void* Data, Integer Size);
  Integer WriteHiddenText(const String& Text);
  /// Reads up to Size hidden bytes into Data; returns the stored length, 0
  /// when no valid stream is found.
  Integer ReadHiddenData(void* Data, Integer Size);
  String ReadHiddenText();
  /// Bytes that can be hidden: width x height x 3 div 8 - 8 (0 when the
  /// image cannot be made 24-bit).
  Integer GetHiddenDataSpace();
  /// Overwrites the whole capacity with zeros, then stores an empty stream.
  void ClearHiddenText();
  // --- End of clipboard, effects, shadows, comparison and hidden data -------

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  struct Entry;
  using Stack = std::vector<std::unique_ptr<Entry>>;

  TLumerakViewServices* ViewServices() const;
  void Unregister();
  void FreeOwnedBitmap();
  void SetOwnBitmap();
  void TakeViewBitmap();
  void ForgetView();
  bool PushEntry(Stack& stack, std::vector<String>& captions, TLKUndoSource source);
  void Restore(Stack& stack, Integer index);
  static void DropAt(Stack& stack, std::vector<String>& captions, size_t pos);

  TLKView* FAttachedLumerak = nullptr;
  Integer FRegistration = -1;
  TColor FBackground = 0;
  TMsgLanguage FMsgLanguage = msSystem;
  std::unique_ptr<TFont> FPreviewFont;
  TLKBitmap* FBitmap = nullptr;
  bool FOwnsBitmap = false;
  TBitmap* FAttachedBitmap = nullptr;
  bool FAutoUndo = true;
  bool FAutoConvertFormat = true;
  Stack FUndo;
  std::vector<String> FUndoCaptions;
  TLKLocation FUndoLocation = lkFile;
  Integer FUndoLimit = 1;
  Stack FRedo;
  std::vector<String> FRedoCaptions;
  bool FLastPushed = false;  // whether the last SaveUndo/SaveRedo pushed an entry
};

/// The format CheckFormat converts `current` to for the non-empty set
/// `allowed` that does not hold it: the first allowed entry of current's
/// preference row, else the highest-numbered allowed format.
TLKPixelFormat LKPreferredFormat(TLKPixelFormat current, TLKPixelFormatSet allowed);

/// Fills the rectangle (right and bottom exclusive, clamped to the bitmap)
/// with Color: lk24RGB pixels with progress per row, lk1g bits set when
/// Color's red is not 0 (no progress); other formats unchanged.
void _Fill(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, TRGB Color,
           const TLKProgressEvent& OnProgress, TObject* Sender);
/// Marks a grid of single pixels (see TLumerakProc::PaintMark); lk24RGB only.
void _PaintMark(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Spacing, TRGB Color,
                const TLKProgressEvent& OnProgress, TObject* Sender);

/// Polygon copies between class-library bitmaps. A polygon list may hold
/// several polygons, each ended by an entry whose X is 1048575 or by the end
/// of the list; each is clipped with the alternate (even-odd) rule, and the
/// polygons' box spans the points (its right and bottom edges excluded, as
/// canvas rectangles are).
///
/// _CopyPolygonToPoint: copies the polygon area of Source into Dest with the
/// box's top-left corner at Point; Dest grows to hold it. Nothing for fewer
/// than 3 points.
void _CopyPolygonToPoint(TBitmap* Source, const TPoint* Polygon, Integer Count, TBitmap* Dest, const TPoint& Point);
/// Copies the box-sized area of Source at Point into the polygon area of
/// Dest; Dest grows to hold the box. Nothing for fewer than 3 points.
void _CopyPointToPolygon(TBitmap* Source, const TPoint* Polygon, Integer Count, TBitmap* Dest, const TPoint& Point);
/// Draws Source at (X, Y) on Dest, clipped to each polygon.
void _CopyPolygonBitmap(TBitmap* Dest, TBitmap* Source, Integer X, Integer Y, const TPoint* Polygon, Integer Count);

/// Mirrors Bitmap and, the same way, its alpha channel; every pixel format.
void _FlipEx(TLKBitmap* Bitmap, TFlipDir Direction);
/// Quarter turns into Dest (allocated H x W in Source's format), every pixel
/// format (palette copied). Clockwise: source (x, y) goes to (H - 1 - y, x);
/// counter-clockwise: to (y, W - 1 - x). Alpha channels are not turned.
void _Rot90oEx(TLKBitmap* Source, TLKBitmap* Dest);
void _Rot90Ex(TLKBitmap* Source, TLKBitmap* Dest);
/// The 1-byte-per-pixel names of the same turns (kept for their callers).
void _Rot90oEx8(TLKBitmap* Source, TLKBitmap* Dest);
void _Rot90Ex8(TLKBitmap* Source, TLKBitmap* Dest);
/// Quarter turns of a pf24bit class-library bitmap into Dest, which becomes
/// pf24bit of H x W; other source formats leave Dest unchanged.
void _Rot90o(TBitmap* Source, TBitmap* Dest);
void _Rot90(TBitmap* Source, TBitmap* Dest);
