// Arithmetic of the thumbnail view, without any widget: the grid layout and
// its extent, hit tests, the fit of a picture in a cell and caption
// truncation. TLumerakMView (views/lumerakmview.h) feeds it its settings.
#pragma once

#include <functional>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Grid settings of a thumbnail view.
struct TLKMGridParams {
  Integer ThumbWidth = 100;
  Integer ThumbHeight = 100;
  Integer HorizBorder = 4;
  Integer VertBorder = 4;
  /// Columns: 0 = one row, -1 = as many as fit in ClientWidth.
  Integer GridWidth = 0;
  /// One cell at a time (frames played): every entry at (0, 0).
  bool Single = false;
  Integer ClientWidth = 0;
  Integer ClientHeight = 0;
};

/// Where one entry lies in the virtual grid.
struct TLKMCell {
  Integer X = 0;
  Integer Y = 0;
  Integer Row = 0;
  Integer Column = 0;
};

/// Number of columns the layout wraps at (0 or below: never wraps).
Integer LKMColumns(const TLKMGridParams& P);

/// Lays out Count entries into Cells and returns the grid's extent: the
/// largest cell position plus one cell and one border in each direction
/// (one cell and one border for an empty list).
TSize LKMLayout(const TLKMGridParams& P, Integer Count, std::vector<TLKMCell>& Cells);

/// Scroll limits of the extent in the client area (never negative).
TPoint LKMMaxView(const TLKMGridParams& P, TSize Extent);

/// Index of the cell under client point (X, Y) at scroll position
/// (ViewX, ViewY); -1 outside every cell (also right of the last column and
/// in the borders).
Integer LKMImageAtPos(const TLKMGridParams& P, const std::vector<TLKMCell>& Cells, Integer X, Integer Y,
                      Integer ViewX, Integer ViewY);

/// Position a dropped item goes to for client point (X, Y): at most Count.
Integer LKMInsertingPoint(const TLKMGridParams& P, Integer Count, Integer X, Integer Y, Integer ViewX,
                          Integer ViewY);

/// Size and top-left offset of a SW x SH picture drawn in a W x H area: fitted
/// (enlarged too when Enlarge) when it does not fit, centred.
struct TLKMFit {
  Integer Width = 0;
  Integer Height = 0;
  Integer OffsetX = 0;
  Integer OffsetY = 0;
};
TLKMFit LKMFitInCell(Integer SW, Integer SH, Integer W, Integer H, bool Enlarge);

/// Which end of a caption is cut off when it is too wide.
enum TLKMTruncSide : Byte { lkmtsLeft, lkmtsRight };

/// Shortens Text until Width(text) <= MaxWidth: with lkmtsLeft keeps its
/// first characters and appends "...", with lkmtsRight prepends "..." to its
/// last characters. Characters are UTF-8 code points. Returns the last try
/// when nothing fits.
String LKMTruncateCaption(const String& Text, Integer MaxWidth, TLKMTruncSide Side,
                          const std::function<Integer(const String&)>& Width);
