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
#include "processing/lkhistogram.h"
#include "processing/lkpreviewparams.h"
#include "processing/lktone.h"

class TLKBitmap;
class TLKMask;
// Filters, rotation and transforms (declared in their own headers).
struct TGraphFilter;
class TLKFtImage;
enum TLKFtImageType : Byte;
enum TLKAntialiasMode : Byte;
enum TLKMedFilType : Byte;
class TLKViewLink;
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

  TLKViewLink* GetAttachedLumerak() const { return FAttachedLumerak; }
  /// Attaches a view: its current TLKBitmap becomes the working bitmap (not
  /// owned), or, for a view without one, an own bitmap wrapping the view's
  /// class-library bitmap; the component registers for its bitmap changes.
  /// nil detaches and gives the component a new empty bitmap of its own.
  void SetAttachedLumerak(TLKViewLink* View);
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

  // --- Colour and tone operations --------------------------------------------
  // Histograms and measurements, tone curves, white balance, negatives and
  // channel pictures, brightness and saturation tools, automatic enhancement,
  // colour reduction and the preview dialog. Each runs inside the operation
  // frame unless its comment says otherwise; the routines they call are
  // declared in lkhistogram.h, lktone.h, lkwhitebalance.h, lkcolorops.h,
  // lkcolortools.h, lkenhance.h, lkcolorreduce.h and lkpreviewparams.h.

  /// Histogram of the selection (only the pixels inside the mask). lk24RGB
  /// and lk48RGB (high bytes) pictures are measured as they are; other
  /// formats through a 24-bit copy. The picture never changes; no undo, no
  /// events. Nothing for a nil histogram or without a picture.
  void GetHistogram(THistogram* Histogram);
  /// Distinct colours of the selection's box: 2 for lk1g, counted for
  /// lk24RGB, 0 otherwise. No events.
  Integer CalcImageNumColors();
  /// Share in percent of the most frequent colour of the whole picture
  /// (lk1g: black or white, white winning a tie; lk24RGB: among equal
  /// counts the colour met first, row by row; the counts take 64 MB of
  /// which only the pages of the picture's colours are touched), -1 for
  /// other formats or an empty picture.
  /// DoFinishWork unless the picture is missing or empty.
  double GetDominantColor(TRGB& Color);
  /// Row and column density profiles of the selection (see
  /// _CalcDensityHistogram); with a mask, of its whole box. DoFinishWork.
  void CalcDensityHistogram(Integer* Vertical, Integer* Horizontal, Integer VerticalNorm, Integer HorizontalNorm);

  /// Contrast around the channel means of the whole picture. "Contrast <c>".
  void Contrast(Integer Value);
  /// Channel offsets. "IntensityRGBall <r>,<g>,<b>".
  void IntensityRGBall(Integer Red, Integer Green, Integer Blue);
  /// Per-channel thresholds (see _Threshold). "Threshold".
  void Threshold(TRGB LowLimits, TRGB HighLimits, TRGB LowColor, TRGB HighColor);
  /// Two-level threshold curve on the chosen channels. "Threshold2".
  void Threshold2(Integer First, Integer Second, bool Red, bool Green, bool Blue);
  /// Linear stretch between per-channel levels. "HistEqualize".
  void HistEqualize(TRGB Low, TRGB High);
  /// Automatic equalisation with 3 x 3 local means. "HistAutoEqualize".
  void HistAutoEqualize();
  /// Gamma correction of the chosen channels. lk8p (palette), lk8g, lk16g,
  /// lk24RGB and lk48RGB are corrected sample by sample; other formats are
  /// converted first by the usual preference. "GammaCorrect".
  void GammaCorrect(double Gamma, TLKChannels Channels);

  /// Channel coefficients. "WhiteBalance_coef".
  void WhiteBalance_coef(double Red, double Green, double Blue);
  /// Grey-world balance. "WhiteBalance_GrayWorld".
  void WhiteBalance_GrayWorld();
  /// Makes the pixel at (X, Y) of the frame's bitmap the white point.
  /// "WhiteBalance_WhiteAt".
  void WhiteBalance_WhiteAt(Integer X, Integer Y);
  /// Balance on near-white pixels. "WhiteBalance_AutoWhite".
  void WhiteBalance_AutoWhite();
  /// Stretches each channel to the full range (lk24RGB, lk48RGB).
  /// "AdjustGainOffset".
  void AdjustGainOffset();
  /// Paints the region connected to (X, Y). "CastColor".
  void CastColor(Integer X, Integer Y, TRGB Color, Integer Tolerance);
  /// Sets the alpha of the region connected to (X, Y). "CastAlpha".
  void CastAlpha(Integer X, Integer Y, Integer Alpha, Integer Tolerance);
  /// Colours the picture with one hue and saturation (0..99 scale).
  /// "Colorize".
  void Colorize(Integer Hue, Integer Saturation, double Luminosity);

  /// Colour equalisation on a reduced copy (lk24RGB). "AutoEnhance1".
  void AutoEnhance1(Integer ReductionWidth, double Angle, double ClipPercent, Integer SearchRadius);
  /// Multi-scale retinex (lk24RGB). "AutoEnhance2".
  void AutoEnhance2(Integer Scales, Integer Distribution, double Variance, Integer LargestScale, bool Grey);

  /// Negative in every pixel format. "Negative".
  void Negative();
  /// Grey levels of an lk24RGB picture; other formats stay. "ConvertToGray".
  void ConvertToGray();
  /// Replaces a colour range by one colour. "CastColorRange".
  void CastColorRange(TRGB Lower, TRGB Upper, TRGB Color);
  /// Alpha value for a colour range. "SetTransparentColors".
  void SetTransparentColors(TRGB Lower, TRGB Upper, Integer Alpha);
  /// Mixes Other (stretched to the selection) by Percent: 100 keeps the
  /// picture, 0 gives Other. "Merge <p>".
  void MergeLKBitmap(TLKBitmap* Other, Integer Percent);
  /// MergeLKBitmap of a class-library bitmap, then DoFinishWork once more.
  void Merge(TBitmap* Other, Integer Percent);
  /// Channel pictures of the whole picture (no undo; DoFinishWork after the
  /// routine). The caller owns what is returned; nil when the picture cannot
  /// be made lk24RGB.
  TLKBitmap* GetRGBChannel(Integer Channel);
  TLKBitmap* GetHSVChannel(Integer Channel);
  void GetRGBChannelAll(TLKBitmap* Red, TLKBitmap* Green, TLKBitmap* Blue);
  void GetHSVChannelAll(TLKBitmap* Hue, TLKBitmap* Saturation, TLKBitmap* Value);

  /// Brightness, contrast and saturation in percent.
  /// "AdjustBrightnessContrastSaturation".
  void AdjustBrightnessContrastSaturation(Integer Brightness, Integer ContrastValue, Integer Saturation);
  /// Brightness equalisation weighted by Exponent. "Contrast2".
  void Contrast2(double Exponent);
  /// Saturation, 0 unchanged, -100 grey. "AdjustSaturation".
  void AdjustSaturation(Integer Amount);
  /// Tint by an angle in degrees. "AdjustTint".
  void AdjustTint(Integer Angle);
  /// Saturation and brightness equalisation. "AdjustLumSatHistogram".
  void AdjustLumSatHistogram(double SaturationExponent, double BrightnessExponent);
  /// Reorders blue, green and red by a three-letter code ("RGB" swaps red
  /// and blue); shorter codes and other letters change nothing.
  /// "DisposeChannels".
  void DisposeChannels(const String& Code);
  /// Triangular intensity bump over the levels Low..High. "Intensity".
  void Intensity(Integer Low, Integer High, Integer Amount, bool Average, bool Red, bool Green, bool Blue);
  /// Contrast around the pivot 100 + Offset. "Contrast3".
  void Contrast3(Integer Amount, Integer Offset, bool Red, bool Green, bool Blue);
  /// Moves one channel by (DX, DY). "ShiftChannel".
  void ShiftChannel(Integer DX, Integer DY, Integer Channel, Integer FillValue);

  /// Colour reduction of the whole picture (no selection): below 3 colours
  /// black and white, 3..1024 the quantiser's colours, more only the undo
  /// entry and events. "ConvertTo <n>".
  void ConvertTo(Integer Colors, TLKDitherMethod Method);
  /// ConvertTo that also fills Palette (room for Colors entries; below 3
  /// colours black then white). Colors 0 does nothing. "ConvertToPalette".
  void ConvertToPalette(Integer Colors, TRGB* Palette, TLKDitherMethod Method);
  void ConvertToBWOrdered();
  void ConvertToBWThreshold(Integer Threshold);
  /// Floyd-Steinberg black and white ("ConvertToBW_FloyedSteinberg").
  void ConvertToBW_FloydSteinberg();
  /// lk1g picture to lk24RGB black and white; other formats nothing.
  void ConvertTo24Bit();
  /// Fills Palette with the quantiser's Colors colours of an lk24RGB
  /// picture; changes nothing else and fires nothing.
  void CalcImagePalette(TRGB* Palette, Integer Colors);

  /// The values of the preview dialog's pages, kept between openings.
  TIPDialogParams* GetDialogParams() const { return FDialogParams.get(); }
  TPRPreviewsParams GetPRPreviewParams() const { return FPreviewsParams; }
  void SetPRPreviewParams(TPRPreviewsParams Value) { FPreviewsParams = Value; }
  /// Initial folder of the dialog's filter load and save dialogs.
  String GetFilterFolder() const { return FFilterFolder; }
  void SetFilterFolder(const String& Value) { FFilterFolder = Value; }
  /// The dialog DoPreviews shows; an empty factory uses the one registered
  /// with LKSetPreviewDialogFactory.
  void SetPreviewDialogFactory(TLKPreviewDialogFactory Factory) { FPreviewFactory = std::move(Factory); }
  /// Called with the prepared dialog just before it is shown.
  TLKPreviewEvent OnPreview;
  /// Opens the preview dialog with the pages Effects on a copy of the
  /// selection's box and, when the user confirms, puts the result back
  /// (through the mask; a result of another size replaces the picture),
  /// with an undo entry captioned by the dialog. True when confirmed.
  /// DoFinishWork always runs; false without a dialog or for a picture
  /// below 2 x 2.
  bool DoPreviews(TPreviewEffects Effects);

  // --- End of colour and tone operations -------------------------------------

  // --- Clipboard, effects, shadows, comparison and hidden data ---------------
  // (lkclipboard.cpp, lkdistort.cpp, lkcorners.cpp, lkredeye.cpp,
  // lkshadows.cpp, lkcompare.cpp)

  /// Empties the clipboard and puts the whole image as a DIB; with Raw also
  /// in the private raw format that keeps pixel format, palette and alpha.
  void CopyToClipboard(bool Raw);
  /// Replaces the whole image with the clipboard's picture: the private
  /// format first, then a DIB, then an enhanced metafile (drawn at its own
  /// size, with an alpha channel transparent where it draws nothing). Undo
  /// "PasteFromClipboard" only when data was found.
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
  // --- Filters, rotation, transforms and analysis ------------------------------
  // (lkconvolve, lkgaussian, lkmedian, lkmorph, lkfft, lkrotate, lkedges,
  // lkbwnoise). Each runs inside the operation frame.

  /// 3x3 convolution of the selection (lk24RGB). Undo "ApplyFilter".
  void ApplyFilter(const TGraphFilter& Filter);
  /// ApplyFilter with preset Index; EListError outside the registry.
  void ApplyFilterPreset(Integer Index);
  /// Hue, saturation and lightness offsets. Undo "HSLvar h,s,l".
  void HSLvar(Integer Hue, Integer Sat, Integer Lum);
  /// Hue, saturation and value offsets. Undo "HSVvar h,s,v".
  void HSVvar(Integer Hue, Integer Sat, Integer Val);
  /// Gaussian blur of the working bitmap (lk8g or lk24RGB). Undo "Blur s".
  void Blur(double Radius);
  /// Sharpening against the window mean on the selection. Undo "Sharpen".
  void Sharpen(Integer Intensity, Integer Neighbourhood);
  /// Edge-weighted sharpening of the whole picture (converted to lk24RGB
  /// first when it has another format). Undo "AutoSharp".
  void AutoSharp(Integer Intensity, double Rate);
  /// Median-histogram filter of the working bitmap. Undo "MedianFilter".
  void MedianFilter(Integer WindowWidth, Integer WindowHeight, Integer Brightness, Integer EdgeGain,
                    Integer Sharpness, Integer Threshold, TLKMedFilType Kind);
  /// Local mean and contrast adaptation. Undo "WallisFilter".
  void WallisFilter(Integer WindowWidthPercent, Integer WindowHeightPercent, Integer TargetMean,
                    Integer TargetContrast, Integer Gain, Integer BrightnessWeight, Integer MaxDeviation,
                    bool Binarize);
  /// Grey-order morphology (lk24RGB, window 2n+1) or 1-bit morphology of the
  /// black pixels (lk1g); other formats unchanged. Undo "<name> <n>".
  void Maximum(Integer WindowSize);
  void Minimum(Integer WindowSize);
  void Opening(Integer WindowSize);
  void Closing(Integer WindowSize);
  /// A new Fourier-transform image (owned by the caller) of the working
  /// bitmap, stretched first to NewWidth x NewHeight unless both are
  /// negative (one negative side follows the aspect ratio); nil when the
  /// bitmap cannot be made lk24RGB. Raises EOutOfMemory before any work when
  /// the transform would not fit (see TLKFtImage::BuildFT).
  TLKFtImage* FTCreateImage(TLKFtImageType ImageType, Integer NewWidth, Integer NewHeight);
  /// Replaces the working bitmap by the inverse transform of Ft.
  void FTConvertFrom(TLKFtImage* Ft);
  /// Replaces the working bitmap by the spectrum picture of Ft.
  void FTDisplayFrom(TLKFtImage* Ft);
  /// Turns the picture by Angle degrees (counter-clockwise) about its
  /// centre, growing the canvas; Background -1 takes GetReBackground. Undo
  /// "Rotate <angle>".
  void Rotate(double Angle, bool Antialias, TLKAntialiasMode Mode, TColor Background);
  /// Replaces the picture by its 1-bit edge map. Undo "EdgeDetect".
  void EdgeDetect_ShenCastan(double Ratio, double Smoothing, Integer WindowSize, Integer ThinningFactor,
                             bool Hysteresis);
  /// Skew angle of the page in degrees (Hough transform); changes nothing.
  double SkewDetection(Integer ResampleWidth, Integer AngleRange, double Precision, bool EdgeDetect);
  /// Skew angle by trial rotations; changes nothing.
  double SkewDetectionFine(double StartAngle, double Step, Integer Range, bool Precise);
  /// 90 when the text lines of the page run vertically, else 0.
  Integer CalcOrientation();
  /// Gives pixels of Colour (nonzero: white) with at most Maximum such
  /// pixels in their 3x3 neighbourhood the other colour (lk1g). Maximum 0
  /// does nothing at all. Undo "RemoveIsolatedPixels".
  void RemoveIsolatedPixels(Integer Colour, Integer Maximum);
  /// Salt-and-pepper removal of a 1-bit picture by window fills. Passes 0
  /// does nothing. Undo "RemoveNoise".
  void RemoveNoise(Integer Passes, bool Invert);

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

  TLKViewLink* FAttachedLumerak = nullptr;
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
  // Preview dialog state (colour and tone operations).
  std::unique_ptr<TIPDialogParams> FDialogParams = std::make_unique<TIPDialogParams>();
  TPRPreviewsParams FPreviewsParams;
  String FFilterFolder;
  TLKPreviewDialogFactory FPreviewFactory;
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
