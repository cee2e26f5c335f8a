// The user-definable 3x3 convolution filter, its registry of named presets
// and its 43-byte file, and the hue/saturation/lightness and
// hue/saturation/value offsets.
#pragma once

#include "core/hylkdefs.h"
#include "platform/system.h"

class TLKBitmap;

/// A 3x3 kernel: weight k applies to the neighbour at column (k mod 3) - 1,
/// row (k div 3) - 1; the sum is divided by Divisor (0 counts as 1). Forty
/// bytes of ten little-endian int32 in the filter file.
struct TGraphFilter {
  Integer Values[9];
  Integer Divisor;
  friend bool operator==(const TGraphFilter&, const TGraphFilter&) = default;
};

/// Convolves the rectangle x1, y1 (inclusive) to x2, y2 (exclusive, clamped)
/// of an lk24RGB bitmap: per channel the absolute value of the weighted sum,
/// divided toward zero by the divisor and limited to 0..255. Neighbours come
/// from the bitmap as it was (edges repeat the border pixel), also from
/// outside the rectangle, which alone is written. Other formats: nothing.
/// Progress per row through the record; a raised abort flag stops after the
/// current row (rows done stay filtered).
void _ApplyFilter(TLKBitmap* Bitmap, const TGraphFilter& Filter, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  TProgressRec& Progress);
/// The same on one channel of an lk8g bitmap, without progress.
void _ApplyFilter8(TLKBitmap* Bitmap, const TGraphFilter& Filter, Integer X1, Integer Y1, Integer X2, Integer Y2);

/// Adds Hue degrees (-360..360), Sat and Lum percent points to every pixel
/// of the rectangle of an lk24RGB bitmap in the HSL model.
void _HSLvar(TLKBitmap* Bitmap, Integer Hue, Integer Sat, Integer Lum, Integer X1, Integer Y1, Integer X2,
             Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender);
/// Adds Hue degrees and Sat and Val (0..99 scale) in the HSV model.
void _HSVvar(TLKBitmap* Bitmap, Integer Hue, Integer Sat, Integer Val, Integer X1, Integer Y1, Integer X2,
             Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender);

/// Reads a filter file (01 03 03, nine weights, the divisor) into Filter.
/// Raises EFOpenError when the file cannot be opened and EReadError naming
/// the file when it does not start 01 03 03 or is shorter than 43 bytes;
/// Filter is then left as it was.
void LoadFilterFromFile(const String& FileName, TGraphFilter& Filter);
/// Writes the 43-byte filter file. The file is replaced only once it is
/// written whole; EFCreateError when it cannot be.
void SaveFilterToFile(const String& FileName, const TGraphFilter& Filter);

/// Preset registry, built with nine entries ("None", "Blur", "Edges",
/// "Emboss", "High Pass 1".."3", "Low Pass 1", "Low Pass 2"); entries are
/// only appended. Not safe against appends from two threads at once.
Integer LKAddNewFilter(const TGraphFilter& Filter, const String& Name);
/// The registry's own kernel; EListError for an index outside the list.
const TGraphFilter* LKGetFilter(Integer Index);
String LKGetFilterName(Integer Index);
Integer LKGetFiltersCount();
