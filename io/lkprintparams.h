// Printing settings of the I/O component: the placement types of its
// printing calls, the print-preview settings remembered between dialogs
// (with their 58-byte stored form and keywords), the print log, and the
// print forms' interface that the dialogs subsystem installs.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "core/lkmsg.h"
#include "platform/classes.h"

class TFont;
class TLumerakIO;
class TStream;

/// Printed size: the picture's own size (from its resolution), fitted to
/// the page keeping its aspect, stretched to the page, or a given size.
enum TLKSize : Byte { lksNORMAL, lksFITTOPAGE, lksFITTOPAGESTRETCH, lksSPECIFIEDSIZE };
enum TLKHorizontalPos : Byte { lkhpLEFT, lkhpCENTER, lkhpRIGHT };
enum TLKVerticalPos : Byte { lkvpTOP, lkvpCENTER, lkvpBOTTOM };
/// Unit of the print dialogs; the selectable ones show a unit chooser.
enum TLKDialogsMeasureUnit : Byte { lkduInches, lkduCm, lkduSelectableDefInches, lkduSelectableDefCm };
/// Which print form DoPrintPreviewDialog opens.
enum TLKDialogType : Byte { lkdtDialog, lkdtMaxi };

enum TIOPrintPreviewPosition : Byte {
  ppTopLeft, ppTop, ppTopRight, ppLeft, ppCenter, ppRight, ppBottomLeft, ppBottom, ppBottomRight
};
enum TIOPrintPreviewSize : Byte { psNormal, psFitToPage, psStretchToPage, psSpecifiedSize };

/// Settings of the print dialogs, kept by the I/O component between uses.
/// Lengths are in the unit the dialog showed when it stored them.
class TIOPrintPreviewParams : public TObject {
 public:
  /// Size of the stored form: four margins, position, size, width, height,
  /// gamma (reals as 8-byte little-endian doubles, the two enums one byte).
  static constexpr Integer StreamSize = 58;

  double MarginTop = 1.0;
  double MarginLeft = 1.0;
  double MarginRight = 1.0;
  double MarginBottom = 1.0;
  TIOPrintPreviewPosition Position = ppCenter;
  TIOPrintPreviewSize Size = psFitToPage;
  /// -1: not specified.
  double Width = -1.0;
  double Height = -1.0;
  double Gamma = 1.0;

  /// Writes the 58-byte form at the stream's position.
  void SaveToStream(TStream* Stream) const;
  /// Reads the 58-byte form at the stream's position. A stream with fewer
  /// than 58 bytes left, or a form whose position or size byte is out of
  /// range or whose reals are not finite, is refused: every field keeps its
  /// value and false is returned (the stream is left where it was).
  bool LoadFromStream(TStream* Stream);
  /// Writes the form to a new file (replacing an existing one only when the
  /// whole form was written); raises EFCreateError when it cannot.
  void SaveToFile(const String& FileName) const;
  /// Reads the form from a file; false (fields kept) for a refused form;
  /// raises EFOpenError when the file cannot be opened.
  bool LoadFromFile(const String& FileName);
  /// Reads the form from a block of bytes, as LoadFromStream.
  bool LoadFromBytes(const Byte* Data, size_t Size);

  /// Keyword access: "MARGINTOP", "MARGINLEFT", "MARGINRIGHT",
  /// "MARGINBOTTOM", "POSITION", "SIZE", "WIDTH", "HEIGHT", "GAMMA"
  /// (control characters dropped, any case). Reals read with "." or ","
  /// (0 when not a number) and written with "."; integers 0 when not one.
  /// Unknown keywords: ignored, empty text.
  String GetProperty(const String& Keyword) const;
  void SetProperty(const String& Keyword, const String& Value);
};

/// The process-wide print log: SetPrintLogFile closes the old log and, for a
/// non-empty name, creates the file anew (raises EFCreateError when it
/// cannot). Lines are written by LKPrintLogWrite (core/lkioglobals.h).
void LKSetPrintLogFile(const String& FileName);
String LKGetPrintLogFile();

/// A print form (the print dialog or the full-window preview), filled in by
/// the I/O component before ShowModal.
class TLKPrintForm : public TObject {
 public:
  ~TLKPrintForm() override = default;
  TLumerakIO* IO = nullptr;
  TLKDialogsMeasureUnit MeasureUnit = lkduInches;
  TFont* Font = nullptr;
  /// Title of the print job.
  String TaskName;
  TIOPrintPreviewParams* Params = nullptr;
  bool PrintAnnotations = false;
  String Caption;
  virtual void SetLanguage(TMsgLanguage Language) = 0;
  /// The form as the OnIOPreview event sees it.
  virtual TObject* FormObject() = 0;
  /// Shows the form modally; true when it closed with OK.
  virtual bool ShowModal() = 0;
};

/// Maker of the print forms (null when the type has none).
using TLKPrintFormMaker = std::function<std::unique_ptr<TLKPrintForm>(TLKDialogType Type, TComponent* Owner)>;
/// Installs the print forms; without them DoPrintPreviewDialog answers false.
void LKSetPrintForms(TLKPrintFormMaker Maker);
