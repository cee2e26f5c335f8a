#include "views/lkmviewgrid.h"

#include <algorithm>
#include <cstdlib>

#include "core/lkmath.h"

Integer LKMColumns(const TLKMGridParams& P) {
  if (P.GridWidth != -1) return P.GridWidth;
  const Integer step = P.HorizBorder + P.ThumbWidth;
  return step > 0 ? (P.ClientWidth - P.HorizBorder) / step : 0;
}

TSize LKMLayout(const TLKMGridParams& P, Integer Count, std::vector<TLKMCell>& Cells) {
  const Integer columns = LKMColumns(P);
  Cells.assign(static_cast<size_t>(std::max<Integer>(Count, 0)), TLKMCell{});
  Integer c = 0, r = 0, maxX = 0, maxY = 0;
  for (Integer i = 0; i < Count; ++i) {
    TLKMCell& cell = Cells[static_cast<size_t>(i)];
    if (!P.Single) {
      cell.X = c * (P.ThumbWidth + P.HorizBorder) + P.HorizBorder;
      cell.Y = r * (P.ThumbHeight + P.VertBorder) + P.VertBorder;
      cell.Row = r;
      cell.Column = c;
    }
    maxX = std::max(maxX, cell.X);
    maxY = std::max(maxY, cell.Y);
    if (P.Single) continue;
    if (++c == columns) {
      c = 0;
      ++r;
    }
  }
  return TSize{maxX + P.ThumbWidth + P.HorizBorder, maxY + P.ThumbHeight + P.VertBorder};
}

TPoint LKMMaxView(const TLKMGridParams& P, TSize Extent) {
  return TPoint{std::max<Integer>(Extent.cx - P.ClientWidth, 0), std::max<Integer>(Extent.cy - P.ClientHeight, 0)};
}

Integer LKMImageAtPos(const TLKMGridParams& P, const std::vector<TLKMCell>& Cells, Integer X, Integer Y,
                      Integer ViewX, Integer ViewY) {
  const Integer rowStep = P.VertBorder + P.ThumbHeight, colStep = P.HorizBorder + P.ThumbWidth;
  if (rowStep <= 0 || colStep <= 0) return -1;
  const Integer row = (Y + ViewY) / rowStep, col = (X + ViewX) / colStep;
  const Integer columns = LKMColumns(P);
  // Right of the last column the computed index lies in the next row: not a hit.
  if (columns > 0 && col >= columns) return -1;
  const Integer idx = columns > 0 ? col + row * columns : (row == 0 ? col : -1);
  if (idx < 0 || idx >= static_cast<Integer>(Cells.size())) return -1;
  const TLKMCell& cell = Cells[static_cast<size_t>(idx)];
  const Integer x0 = cell.X - ViewX, y0 = cell.Y - ViewY;
  if (X < x0 || Y < y0 || X > x0 + P.ThumbWidth - 1 || Y > y0 + P.ThumbHeight - 1) return -1;
  return idx;
}

Integer LKMInsertingPoint(const TLKMGridParams& P, Integer Count, Integer X, Integer Y, Integer ViewX,
                          Integer ViewY) {
  const Integer rowStep = P.VertBorder + P.ThumbHeight, colStep = P.HorizBorder + P.ThumbWidth;
  if (rowStep <= 0 || colStep <= 0) return Count;
  const Integer columns = LKMColumns(P);
  Integer col = (X + ViewX) / colStep;
  const Integer row = (Y + ViewY) / rowStep;
  if (columns > 0 && columns < col) col = columns;
  return std::clamp<Integer>(col + row * columns, 0, Count);
}

TLKMFit LKMFitInCell(Integer SW, Integer SH, Integer W, Integer H, bool Enlarge) {
  TLKMFit f;
  f.Width = SW;
  f.Height = SH;
  if (Enlarge || SW > W || SH > H) LKFitResample(SW, SH, W, H, f.Width, f.Height);
  f.OffsetX = std::abs(W - f.Width) / 2;
  f.OffsetY = std::abs(H - f.Height) / 2;
  return f;
}

namespace {

// Byte offsets of the code points of a UTF-8 text.
std::vector<size_t> CodePoints(const String& Text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < Text.size(); ++i)
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) != 0x80) starts.push_back(i);
  return starts;
}

}  // namespace

String LKMTruncateCaption(const String& Text, Integer MaxWidth, TLKMTruncSide Side,
                          const std::function<Integer(const String&)>& Width) {
  const std::vector<size_t> cp = CodePoints(Text);
  const size_t n = cp.size();
  String t = Text;
  size_t k = 1;
  while (Width(t) > MaxWidth && CodePoints(t).size() >= 2) {
    ++k;
    if (k > n) break;
    String part = Side == lkmtsLeft ? Text.substr(0, cp[n - k]) : Text.substr(cp[k - 1]);
    if (part.empty()) break;
    t = Side == lkmtsLeft ? part + "..." : "..." + part;
  }
  return t;
}
