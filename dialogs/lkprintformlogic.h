// The arithmetic of the print forms, without widgets: unit factors, number
// texts of the edits, the steppers, the unit switch and the page layout
// values handed to the printing calls.
#pragma once

#include "core/hylkdefs.h"
#include "io/lkprintparams.h"

/// The layout the print forms hand to PrintImage and PreviewPrintImage
/// (lengths in inches).
struct TLKPrintLayout {
  TLKVerticalPos VerticalPos = lkvpCENTER;
  TLKHorizontalPos HorizontalPos = lkhpCENTER;
  TLKSize Size = lksFITTOPAGE;
  double MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
  double Width = 0, Height = 0;
  double Gamma = 1;
};

/// What the form's controls hold: the seven edits' texts (top, left, right,
/// bottom margin, width, height, gamma), the grid button that is down (0 to
/// 8, -1 none) and the size item (-1 none).
struct TLKPrintFormTexts {
  String Margin[4];  // top, left, right, bottom
  String Width = "6", Height = "4", Gamma = "1";
  Integer Position = ppCenter;
  Integer SizeIndex = -1;
};

namespace lkprintform {

/// 2.54 for the centimetre units, 1 for the inch units.
double XMult(TLKDialogsMeasureUnit Unit);
/// The number of an edit; Default when the text is not one.
double Number(const String& Text, double Default);
/// A number in the general form with 4 significant digits ("1", "2.54",
/// "0.3937", "1.5E-5").
String NumberText(double Value);
/// The up (Up true) or down step of an edit's number by Step, never below
/// 0; a text that is not a number counts as 0.
String Stepped(const String& Text, bool Up, double Step);
/// Fills the texts from the settings: margins, position, size (an unknown
/// one selects nothing, which the forms show as "Fit to page"), width and
/// height (when not above 0: the picture's size at its resolution, in the
/// unit; a resolution of 0 counts as DefaultDpi), gamma.
void Load(const TIOPrintPreviewParams& Params, TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit Unit,
          Integer PictureWidth, Integer PictureHeight, Integer DpiX, Integer DpiY, Integer DefaultDpi);
/// Stores the texts: margins and gamma 1 when not numbers, width 6 and
/// height 4 when not numbers, and both -1 unless the size is specified.
void Save(const TLKPrintFormTexts& Texts, TIOPrintPreviewParams& Params);
/// The layout values: position from the grid, size from the list
/// (fit to page for none), margins divided by the unit factor (0 when not a
/// number), width and height likewise (1 when not a number, a result of 0
/// becoming 0.001), gamma (1 when not a number).
TLKPrintLayout Layout(const TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit Unit);
/// The unit switch: every margin, the width and the height converted from
/// one unit to the other (nothing when the factor is the same).
void ConvertUnits(TLKPrintFormTexts& Texts, TLKDialogsMeasureUnit From, TLKDialogsMeasureUnit To);

}  // namespace lkprintform
