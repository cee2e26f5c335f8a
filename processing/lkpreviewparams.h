// The values of the processing preview dialog's pages, their stored form
// (221 bytes, little-endian, written and read field by field) and their
// textual keys; and the interface through which the processing component
// shows the dialog, so that the dialog itself lives in the dialogs layer and
// tests can script it.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "platform/classes.h"
#include "platform/graphics.h"

class TLKBitmap;
class TLumerakProc;

/// Pages of the preview dialog.
enum TPreviewEffect : Byte {
  peAll = 0, peContrast = 1, peHSV = 2, peHSL = 3, peRGB = 4, peUserFilt = 5, peEqualize = 6, peBumpMap = 7,
  peLens = 8, peWave = 9, peMorph = 10, peRotate = 11, peFFT = 12, peGamma = 13, peSharpen = 14,
};
using TPreviewEffects = TLKSet<TPreviewEffect>;

/// Remembered options of the preview dialog.
enum TPRPreviewsParam : Byte { prppDefaultLockPreview = 0 };
using TPRPreviewsParams = TLKSet<TPRPreviewsParam>;

/// Values of every page of the preview dialog. The stored form is 221
/// bytes; the gaps of the stored form (at 115, 121..123, 149..151,
/// 165..167 and 176..179) are kept as read, 0 in a new block.
class TIPDialogParams : public TObject {
 public:
  /// Size of the stored form in bytes.
  static constexpr Integer BlockSize = 221;

  Integer ContrastContrast, ContrastBrightness;
  Integer HSV_H, HSV_S, HSV_V;
  Integer HSL_H, HSL_S, HSL_L;
  Integer RGB_R, RGB_G, RGB_B;
  Integer UserFilterValues[9];  ///< 3 x 3 kernel, element 3 * i + j
  Integer UserFilterDivisor;
  TRGB EqThresholdDown, EqThresholdUp, EqDown, EqUp;
  Integer BumpLeft, BumpTop, BumpWidth, BumpHeight;
  TRGB BumpCol;
  Integer BumpSrc;
  bool BumpAuto;
  Integer LensLeft, LensTop, LensWidth, LensHeight;
  double LensRef;
  bool LensAuto;
  Integer WaveAmplitude, WaveLength, WavePhase;
  bool WaveReflect;
  Integer MorphFilter, MorphWinSize;
  double RotateAngle;
  double GammaValue;
  Integer SharpenSharpen, SharpenSize;
  Integer FFTLeft, FFTTop, FFTRight, FFTBottom;
  bool FFTGrayScale;

  /// A block with the defaults and zero gaps.
  TIPDialogParams();
  /// Every value to its default (the gaps are not touched).
  void SetDefaultParams();

  /// The stored form of the block.
  void Save(Byte (&Block)[BlockSize]) const;
  /// Takes the values of a stored block. A Boolean byte other than 0 or 1,
  /// or a real that is not finite, marks the block damaged: EReadError is
  /// raised and nothing changes.
  void Load(const Byte (&Block)[BlockSize]);
  /// Writes the 221 bytes at the stream's position.
  void SaveToStream(TStream* Stream) const;
  /// Reads 221 bytes at the stream's position. A stream that ends sooner
  /// raises EReadError ("Preview parameters: 221 bytes expected, <n>
  /// read"); so does a damaged block (see Load). A refused block changes
  /// no value and leaves the stream at the position it had.
  void LoadFromStream(TStream* Stream);
  /// Writes the block to FileName through a temporary file renamed over it,
  /// so a failed save leaves an existing file as it was. Raises the
  /// stream's errors.
  void SaveToFile(const String& FileName) const;
  /// Reads the block of FileName; raises EFOpenError for a missing file and
  /// as LoadFromStream for a short or damaged one.
  void LoadFromFile(const String& FileName);

  /// The value of Key (control characters removed, any case) as text:
  /// integers in decimal, colours "red,green,blue", Booleans "1" or "0",
  /// reals with "." ("1.7"). "USERFILTER_VALUES" followed by digits i and j
  /// gives element 3 * i + j (a missing digit counts as 0). An unknown key
  /// gives "INVALID PROPERTY".
  String GetProperty(const String& Key) const;
  /// Sets the value of Key from text: integers (0 when not a number),
  /// colours "red,green,blue", Booleans ("1", "TRUE", "T" in any case are
  /// true), reals with "." or "," (not a number: 1.7 for "LENS_REF", 0
  /// for the others). Unknown keys are ignored.
  void SetProperty(const String& Key, const String& Value);

 private:
  Byte gaps_[BlockSize] = {};  // the gap bytes as read, at their offsets
};

/// What the processing component needs of the preview dialog. The dialogs
/// layer supplies the real one; tests script their own.
class TLKPreviewDialog {
 public:
  virtual ~TLKPreviewDialog() = default;
  virtual void SetLockPreview(bool Value) = 0;
  virtual bool GetLockPreview() = 0;
  virtual void SetLanguage(TMsgLanguage Language) = 0;
  virtual void SetPreviewFont(TFont* Font) = 0;
  /// The dialog's progress event and the component it works through.
  virtual void SetProcessing(const TLKProgressEvent& Progress, TLumerakProc* Proc) = 0;
  virtual void SetBackground(TColor Color) = 0;
  /// Initial folder of the filter load and save dialogs.
  virtual void SetFilterFolder(const String& Folder) = 0;
  /// The source view's bitmap: the component fills it with the selection's
  /// box before showing, and takes the result from it after OK.
  virtual TLKBitmap* GetBitmap() = 0;
  /// Pages to show (the first visible opens) and the values to edit.
  virtual void SetPages(TPreviewEffects Effects, TIPDialogParams* Params) = 0;
  /// Shows the dialog modally; 1 is OK.
  virtual Integer ShowModal() = 0;
  /// Undo caption built from the pages applied.
  virtual String GetUndoCaption() = 0;
};

/// Makes the dialog for a component (nil: no dialog available).
using TLKPreviewDialogFactory = std::function<std::unique_ptr<TLKPreviewDialog>(TLumerakProc* Owner)>;
/// Called with the component and the prepared dialog before it is shown.
using TLKPreviewEvent = std::function<void(TObject* Sender, TLKPreviewDialog* Dialog)>;

/// The factory components use when they have none of their own; set once
/// by the dialogs layer at start-up, before any thread runs.
void LKSetPreviewDialogFactory(TLKPreviewDialogFactory Factory);
const TLKPreviewDialogFactory& LKGetPreviewDialogFactory();
