// Red-eye reduction, pattern search over several sizes of the pattern, and
// the tracing of a mask's outlines into polygons.
#pragma once

#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/system.h"

class TLKBitmap;
class TLKMask;

/// Damps strongly red pixels of the rectangle (right and bottom exclusive,
/// clamped) of an lk24RGB bitmap; other formats are left alone. Row
/// progress through OnProgress.
void _LKRemoveRedEyes(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                      const TLKProgressEvent& OnProgress, TObject* Sender);

/// Searches Pattern in Picture at its own size and, with Steps from 1 to M
/// (M = the smaller of the width and height differences), at sizes grown by
/// M div Steps at a time; other Steps values try the pattern's own size
/// only. Quality -1 keeps the best position, any other value every position
/// whose match quality (1 - mean grey difference / 255) is at least
/// Quality. Every kept match is outlined in red on Picture (which moves to
/// class-library storage) and Rect receives the best one (right and bottom
/// exclusive). False, with nothing drawn and Rect unchanged, when nothing
/// matched or the pattern does not fit inside the picture.
bool LKPatternSearch(TLKBitmap* Picture, TLKBitmap* Pattern, TRect& Rect, double Quality, Integer Steps);

/// A growable text of direction characters '0'..'7' (x to the right, y
/// downward: '0' right, '2' up, '4' left, '6' down, odd ones the
/// diagonals between).
class TLKChainCode {
 public:
  void Append(char Code) { FText.push_back(Code); }
  const std::string& Text() const { return FText; }
  /// From the start: four equal characters in a row become one; otherwise
  /// three equal characters in a row are dropped; otherwise one character
  /// is kept.
  TLKChainCode Reduced() const;

 private:
  std::string FText;
};

/// Separator in front of each polygon of LKVectorize.
inline constexpr Integer LKVectorSeparator = 2147483647;

/// Traces the outlines of the selected pixels of the inclusive rectangle of
/// Mask (clamped to it) on a grid four times finer than the mask, and
/// returns them as polygons in mask coordinates, each preceded by the point
/// (LKVectorSeparator, LKVectorSeparator). Empty for an empty selection.
std::vector<TPoint> LKVectorize(TLKMask* Mask, Integer X1, Integer Y1, Integer X2, Integer Y2);
