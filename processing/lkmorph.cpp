#include "processing/lkmorph.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// One grey-order pass over the rectangle held in memory (rows x cols pixels
// of 3 bytes and their grey levels): per row the best position of each
// window segment, then per pixel the best of its rows, the upper row winning
// ties, as the left column does within a row.
void MorphPass(std::vector<Byte>& rgb, const std::vector<Byte>& grey, Integer cols, Integer rows, Integer n, bool max,
               const std::function<void(Integer)>& rowDone) {
  const std::vector<Byte> copy = rgb;
  auto better = [max](Integer a, Integer b) { return max ? a > b : a < b; };
  const Integer start = max ? 0 : 255;
  // rowBest[r][c]: column of the first best grey in row r's window around c.
  std::vector<Integer> rowBest(static_cast<size_t>(cols) * rows);
  for (Integer r = 0; r < rows; ++r) {
    const Byte* g = &grey[static_cast<size_t>(r) * cols];
    for (Integer c = 0; c < cols; ++c) {
      Integer best = std::max(c - n, 0);
      for (Integer j = best + 1; j <= std::min(c + n, cols - 1); ++j)
        if (better(g[j], g[best])) best = j;
      rowBest[static_cast<size_t>(r) * cols + c] = best;
    }
  }
  for (Integer r = 0; r < rows; ++r) {
    for (Integer c = 0; c < cols; ++c) {
      Integer bestR = -1, bestC = -1, bestG = start;
      for (Integer i = std::max(r - n, 0); i <= std::min(r + n, rows - 1); ++i) {
        const Integer j = rowBest[static_cast<size_t>(i) * cols + c];
        const Integer g = grey[static_cast<size_t>(i) * cols + j];
        if (better(g, bestG)) {
          bestG = g;
          bestR = i;
          bestC = j;
        }
      }
      if (bestR >= 0)
        std::memcpy(&rgb[(static_cast<size_t>(r) * cols + c) * 3], &copy[(static_cast<size_t>(bestR) * cols + bestC) * 3], 3);
    }
    rowDone(r);
  }
}

}  // namespace

void _MorphFilter(TLKBitmap* Bitmap, Integer WindowSize, Integer Op, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Op < 0 || Op > 3) return;
  const lkfilter::Span s = lkfilter::ClampExclusive(Bitmap->GetWidth(), Bitmap->GetHeight(), X1, Y1, X2, Y2);
  if (s.Empty() || WindowSize < 0) return;
  const Integer cols = s.Cols(), rows = s.Rows();
  const size_t rowBytes = static_cast<size_t>(cols) * 3;
  std::vector<Byte> rgb(rowBytes * rows), grey(static_cast<size_t>(cols) * rows);
  for (Integer r = 0; r < rows; ++r)
    std::memcpy(&rgb[static_cast<size_t>(r) * rowBytes],
                static_cast<const Byte*>(Bitmap->GetScanLine(s.Y1 + r)) + static_cast<size_t>(s.X1) * 3, rowBytes);
  const bool passesMax[4][2] = {{true, true}, {false, false}, {false, true}, {true, false}};
  const Integer passes = Op >= 2 ? 2 : 1;
  const double f = 100.0 / ((s.YE - s.Y1) + 0.5) / passes;
  for (Integer p = 0; p < passes; ++p) {
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<Byte>(_RGBToGray(TRGB{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]}));
    MorphPass(rgb, grey, cols, rows, WindowSize, passesMax[Op][p],
              [&](Integer r) { lkfilter::Report(OnProgress, Sender, (r + 1 + p * rows) * f); });
  }
  for (Integer r = 0; r < rows; ++r)
    std::memcpy(static_cast<Byte*>(Bitmap->GetScanLine(s.Y1 + r)) + static_cast<size_t>(s.X1) * 3,
                &rgb[static_cast<size_t>(r) * rowBytes], rowBytes);
}

void LKmorph1bit(TLKBitmap* Bitmap, Integer Iterations, Integer Op, Integer WindowSize, bool Invert,
                 const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk1g || Bitmap->IsEmpty() || Op < 1 || Op > 4) return;
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  const Integer half = std::max(WindowSize / 2, 0);
  const Int64 threshold = static_cast<Int64>(WindowSize) * WindowSize;
  const Int64 area = static_cast<Int64>(2 * half + 1) * (2 * half + 1);
  std::vector<Byte> bits(static_cast<size_t>(W) * H);
  for (Integer y = 0; y < H; ++y) {
    const Byte* row = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) bits[static_cast<size_t>(y) * W + x] = (_GetPixelbw(row, x) != 0) != Invert;
  }
  // Counts of set pixels over every window from a summed-area table.
  std::vector<std::uint32_t> sat((static_cast<size_t>(W) + 1) * (H + 1));
  auto S = [&](Integer x, Integer y) -> std::uint32_t& { return sat[static_cast<size_t>(y) * (W + 1) + x]; };
  std::vector<Byte> result;
  for (Integer it = 0; it < Iterations; ++it) {
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x)
        S(x + 1, y + 1) = S(x, y + 1) + S(x + 1, y) - S(x, y) + bits[static_cast<size_t>(y) * W + x];
    result = bits;
    const bool dilate = Op == 1 || Op == 3;
    for (Integer y = 0; y < H; ++y) {
      const Integer t = std::max(y - half, 0), b = std::min(y + half, H - 1);
      for (Integer x = 0; x < W; ++x) {
        const Integer l = std::max(x - half, 0), r = std::min(x + half, W - 1);
        const Int64 count = static_cast<Int64>(S(r + 1, b + 1)) - S(l, b + 1) - S(r + 1, t) + S(l, t);
        Byte& out = result[static_cast<size_t>(y) * W + x];
        if (dilate) {
          if (count > 0) out = 1;
        } else {
          const Int64 outside = area - static_cast<Int64>(r - l + 1) * (b - t + 1);
          if (count + outside < threshold) out = 0;
        }
      }
      lkfilter::Report(OnProgress, Sender, y * 100.0 / H);
    }
    bits.swap(result);
    if (Op == 3) Op = 4;
    else if (Op == 4) Op = 3;
  }
  std::vector<Byte> row(static_cast<size_t>(Bitmap->GetRowLen()));
  for (Integer y = 0; y < H; ++y) {
    std::fill(row.begin(), row.end(), Byte{0});
    for (Integer x = 0; x < W; ++x)
      if ((bits[static_cast<size_t>(y) * W + x] != 0) != Invert) row[static_cast<size_t>(x >> 3)] |= lkbitmask1[x & 7];
    lkfilter::WriteRow(Bitmap, y, row.data(), row.size());
  }
}

// --- Component methods ---------------------------------------------------------

namespace {
void Morph(TLumerakProc* proc, const char* name, Integer n, Integer op, Integer passes, Integer bitOp) {
  proc->RunImageProcessing({}, String(name) + " " + std::to_string(n),
                           [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
                             if (b->GetPixelFormat() == lk24RGB)
                               _MorphFilter(b, n, op, x1, y1, x2, y2, proc->OnProgress, proc);
                             else if (b->GetPixelFormat() == lk1g)
                               LKmorph1bit(b, passes, bitOp, n, true, proc->OnProgress, proc);
                           });
}
}  // namespace

void TLumerakProc::Maximum(Integer WindowSize) { Morph(this, "Maximum", WindowSize, 0, 1, 1); }
void TLumerakProc::Minimum(Integer WindowSize) { Morph(this, "Minimum", WindowSize, 1, 1, 2); }
void TLumerakProc::Opening(Integer WindowSize) { Morph(this, "Opening", WindowSize, 2, 2, 4); }
void TLumerakProc::Closing(Integer WindowSize) { Morph(this, "Closing", WindowSize, 3, 2, 3); }
