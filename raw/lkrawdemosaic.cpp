// Demosaicing of colour-filter pictures: a bilinear pass, then a refinement
// that averages only the neighbour directions with small gradients.
//
// Both passes are driven by code tables built once per pattern phase
// (row mod 8, column mod 2), so the per-cell work is a fixed list of
// sample offsets.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raw/lkrawdevelop.h"
#include "raw/lkrawdevelop_internal.h"

namespace {

constexpr int kPhases = 16;

/// Phase index of cell (row, col).
inline int Phase(Integer row, Integer col) { return ((row & 7) << 1) | (col & 1); }

// ---- Bilinear pass -----------------------------------------------------------

struct TBilinearCode {
  /// Neighbours of a colour other than the cell's own: sample offset from
  /// the cell's first sample, shift (1 orthogonal, 0 diagonal) and colour.
  int count = 0;
  ptrdiff_t offset[8] = {};
  int shift[8] = {};
  int color[8] = {};
  /// Colours to fill with the sum of 2^shift over their neighbours.
  int outs = 0;
  int outColor[4] = {};
  int outWeight[4] = {};
};

void BuildBilinear(const TRAWDecoderState& s, TBilinearCode (&code)[kPhases]) {
  for (int row = 0; row < 8; ++row)
    for (int col = 0; col < 2; ++col) {
      TBilinearCode& k = code[Phase(row, col)];
      const int own = cell_color(s, row, col);
      int weight[4] = {};
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (!dy && !dx) continue;
          // Rows and columns before the tile repeat the pattern.
          const int color = cell_color(s, row + dy + 8, col + dx + 2);
          const int shift = (dy == 0 || dx == 0) ? 1 : 0;
          weight[color] += 1 << shift;
          // Neighbours of the cell's own colour add only to its own sum,
          // which the pass never uses.
          if (color == own || color >= s.colors) continue;
          k.offset[k.count] = (ptrdiff_t(dy) * s.width + dx) * 4 + color;
          k.shift[k.count] = shift;
          k.color[k.count] = color;
          ++k.count;
        }
      for (int c = 0; c < s.colors; ++c) {
        // A colour no neighbour carries (possible only with unusual
        // patterns) has nothing to average and is left as it is.
        if (c == own || !weight[c]) continue;
        k.outColor[k.outs] = c;
        k.outWeight[k.outs] = weight[c];
        ++k.outs;
      }
    }
}

void BilinearPass(TRAWDecoderState& s) {
  TBilinearCode code[kPhases];
  BuildBilinear(s, code);
  Word* base = s.image.data()->data();
  const Integer h = s.height, w = s.width;
  for (Integer row = 1; row < h - 1; ++row) {
    for (Integer col = 1; col < w - 1; ++col) {
      const TBilinearCode& k = code[Phase(row, col)];
      Word* pix = base + (size_t(row) * size_t(w) + size_t(col)) * 4;
      Integer sum[4] = {};
      for (int i = 0; i < k.count; ++i) sum[k.color[i]] += Integer(pix[k.offset[i]]) << k.shift[i];
      for (int i = 0; i < k.outs; ++i) pix[k.outColor[i]] = Word(sum[k.outColor[i]] / k.outWeight[i]);
    }
  }
}

// ---- Gradient refinement -------------------------------------------------------

/// Gradient terms: (y1, x1, y2, x2, weight, direction mask).
constexpr short kTerms[64][6] = {
    {-2, -2, 0, -1, 0, 1}, {-2, -2, 0, 0, 1, 1}, {-2, -1, -1, 0, 0, 1}, {-2, -1, 0, -1, 0, 2},
    {-2, -1, 0, 0, 0, 3}, {-2, -1, 0, 1, 1, 1}, {-2, 0, 0, -1, 0, 6}, {-2, 0, 0, 0, 1, 2},
    {-2, 0, 0, 1, 0, 3}, {-2, 1, -1, 0, 0, 4}, {-2, 1, 0, -1, 1, 4}, {-2, 1, 0, 0, 0, 6},
    {-2, 1, 0, 1, 0, 2}, {-2, 2, 0, 0, 1, 4}, {-2, 2, 0, 1, 0, 4}, {-1, -2, -1, 0, 0, 128},
    {-1, -2, 0, -1, 0, 1}, {-1, -2, 1, -1, 0, 1}, {-1, -2, 1, 0, 1, 1}, {-1, -1, -1, 1, 0, 136},
    {-1, -1, 1, -2, 0, 64}, {-1, -1, 1, -1, 0, 34}, {-1, -1, 1, 0, 0, 51}, {-1, -1, 1, 1, 1, 17},
    {-1, 0, -1, 2, 0, 8}, {-1, 0, 0, -1, 0, 68}, {-1, 0, 0, 1, 0, 17}, {-1, 0, 1, -2, 1, 64},
    {-1, 0, 1, -1, 0, 102}, {-1, 0, 1, 0, 1, 34}, {-1, 0, 1, 1, 0, 51}, {-1, 0, 1, 2, 1, 16},
    {-1, 1, 1, -1, 1, 68}, {-1, 1, 1, 0, 0, 102}, {-1, 1, 1, 1, 0, 34}, {-1, 1, 1, 2, 0, 16},
    {-1, 2, 0, 1, 0, 4}, {-1, 2, 1, 0, 1, 4}, {-1, 2, 1, 1, 0, 4}, {0, -2, 0, 0, 1, 128},
    {0, -1, 0, 1, 1, 136}, {0, -1, 1, -2, 0, 64}, {0, -1, 1, 0, 0, 17}, {0, -1, 2, -2, 0, 64},
    {0, -1, 2, -1, 0, 32}, {0, -1, 2, 0, 0, 48}, {0, -1, 2, 1, 1, 16}, {0, 0, 0, 2, 1, 8},
    {0, 0, 2, -2, 1, 64}, {0, 0, 2, -1, 0, 96}, {0, 0, 2, 0, 1, 32}, {0, 0, 2, 1, 0, 48},
    {0, 0, 2, 2, 1, 16}, {0, 1, 1, 0, 0, 68}, {0, 1, 1, 2, 0, 16}, {0, 1, 2, -1, 1, 64},
    {0, 1, 2, 0, 0, 96}, {0, 1, 2, 1, 0, 32}, {0, 1, 2, 2, 0, 16}, {1, -2, 1, 0, 0, 128},
    {1, -1, 1, 1, 0, 136}, {1, 0, 1, 2, 0, 8}, {1, 0, 2, -1, 0, 64}, {1, 0, 2, 1, 0, 16},
};

/// Neighbour directions (dy, dx), numbered 0..7.
constexpr signed char kDirs[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};

/// Four 32-bit lanes: the gradients of a cell are summed for directions
/// 0..3 and 4..7 at once.
typedef Integer TDirLanes __attribute__((vector_size(16)));

struct TGradientCode {
  struct Term {
    /// -1 in each direction the term counts for, else 0 (directions 0..3
    /// and 4..7).
    TDirLanes maskLo, maskHi;
    ptrdiff_t a, b;   ///< sample offsets of the two points
  };
  /// The kept terms, those whose difference counts twice (weight 1) first.
  std::vector<Term> terms;
  size_t doubled = 0;
  ptrdiff_t dirOffset[8] = {};  ///< cell offset (in samples) of each neighbour
  /// The own colour's share of each direction is (sample ownA + sample
  /// ownB) / 2: the cell and the cell two steps away when the neighbour has
  /// another colour and that cell has the cell's colour, otherwise the
  /// neighbour's sample of the cell's colour twice.
  ptrdiff_t ownA[8] = {}, ownB[8] = {};
  int color = 0;
};

void BuildGradients(const TRAWDecoderState& s, TGradientCode (&code)[kPhases]) {
  const ptrdiff_t w = s.width;
  for (int row = 0; row < 8; ++row)
    for (int col = 0; col < 2; ++col) {
      TGradientCode& k = code[Phase(row, col)];
      // Rows and columns before the tile repeat the pattern.
      auto colorAt = [&](int dy, int dx) { return cell_color(s, row + dy + 8, col + dx + 2); };
      for (const auto& t : kTerms) {
        const int y1 = t[0], x1 = t[1], y2 = t[2], x2 = t[3];
        const int color = colorAt(y1, x1);
        if (colorAt(y2, x2) != color) continue;
        const int diag = (colorAt(0, 1) == color && colorAt(1, 0) == color) ? 2 : 1;
        if (std::abs(y1 - y2) == diag && std::abs(x1 - x2) == diag) continue;
        TGradientCode::Term term{};
        term.a = (y1 * w + x1) * 4 + color;
        term.b = (y2 * w + x2) * 4 + color;
        const unsigned mask = static_cast<unsigned>(t[5]);
        for (int d = 0; d < 4; ++d) {
          term.maskLo[d] = (mask >> d) & 1u ? -1 : 0;
          term.maskHi[d] = (mask >> (d + 4)) & 1u ? -1 : 0;
        }
        // Weight-1 terms go first so the per-cell loop needs no shift.
        if (t[4]) {
          k.terms.insert(k.terms.begin() + ptrdiff_t(k.doubled), term);
          ++k.doubled;
        } else {
          k.terms.push_back(term);
        }
      }
      const int own = colorAt(0, 0);
      k.color = own;
      for (int d = 0; d < 8; ++d) {
        const int dy = kDirs[d][0], dx = kDirs[d][1];
        k.dirOffset[d] = (dy * w + dx) * 4;
        if (colorAt(dy, dx) != own && colorAt(2 * dy, 2 * dx) == own) {
          k.ownA[d] = own;
          k.ownB[d] = (2 * dy * w + 2 * dx) * 4 + own;
        } else {
          k.ownA[d] = k.ownB[d] = k.dirOffset[d] + own;
        }
      }
    }
}

/// Refines one cell from the bilinear values around it into `out`. The
/// direction choice is branch-free: its pattern follows the picture and
/// would defeat branch prediction.
inline void RefineCell(const TGradientCode& k, const Word* pix, Word* out, int colors, Integer maximum) {
  TDirLanes lo = {}, hi = {};
  const TGradientCode::Term* t = k.terms.data();
  const TGradientCode::Term* const doubledEnd = t + k.doubled;
  const TGradientCode::Term* const end = t + k.terms.size();
  for (; t < doubledEnd; ++t) {
    const Integer diff = 2 * std::abs(Integer(pix[t->a]) - Integer(pix[t->b]));
    lo += diff & t->maskLo;
    hi += diff & t->maskHi;
  }
  for (; t < end; ++t) {
    const Integer diff = std::abs(Integer(pix[t->a]) - Integer(pix[t->b]));
    lo += diff & t->maskLo;
    hi += diff & t->maskHi;
  }
  const Integer gval[8] = {lo[0], lo[1], lo[2], lo[3], hi[0], hi[1], hi[2], hi[3]};
  Integer gmin = gval[0], gmax = gval[0];
  for (int d = 1; d < 8; ++d) {
    gmin = std::min(gmin, gval[d]);
    gmax = std::max(gmax, gval[d]);
  }
  std::memcpy(out, pix, 4 * sizeof(Word));
  if (gmax == 0) return;
  const Integer thold = gmin + (gmax >> 1);
  Integer s0 = 0, s1 = 0, s2 = 0, s3 = 0, sOwn = 0, num = 0;
  for (int d = 0; d < 8; ++d) {
    const Integer sel = -Integer(gval[d] <= thold);
    const Word* nb = pix + k.dirOffset[d];
    s0 += nb[0] & sel;
    s1 += nb[1] & sel;
    s2 += nb[2] & sel;
    s3 += nb[3] & sel;
    sOwn += ((Integer(pix[k.ownA[d]]) + pix[k.ownB[d]]) >> 1) & sel;
    num -= sel;
  }
  const Integer sum[4] = {s0, s1, s2, s3};
  const int color = k.color;
  const Integer own = pix[color];
  for (int c = 0; c < colors; ++c) {
    if (c == color) continue;
    const Integer v = own + (sum[c] - sOwn) / num;
    out[c] = Word(std::clamp<Integer>(v, 0, maximum));
  }
}

void GradientPass(TRAWDecoderState& s) {
  const Integer h = s.height, w = s.width;
  if (h < 5 || w < 5) return;
  TGradientCode code[kPhases];
  BuildGradients(s, code);
  const int colors = std::clamp<Integer>(s.colors, 1, 4);
  const Integer maximum = std::clamp<Integer>(s.maximum, 0, 65535);
  auto buffer = raw_alloc<Word>(Int64(w) * 4 * 3, "vng_interpolate()");
  Word* base = s.image.data()->data();
  const size_t rowSamples = size_t(w) * 4;
  auto bufRow = [&](Integer row) { return buffer.get() + size_t(row % 3) * rowSamples; };
  // Refined cells wait in three row buffers: a row goes back into the image
  // only when no later row reads it, so every gradient sees bilinear values.
  auto copyBack = [&](Integer row) {
    std::memcpy(base + size_t(row) * rowSamples + 8, bufRow(row) + 8, size_t(w - 4) * 4 * sizeof(Word));
  };
  const Integer last = h - 3;
  for (Integer row = 2; row <= last; ++row) {
    Word* out = bufRow(row);
    const Word* line = base + size_t(row) * rowSamples;
    const TGradientCode& even = code[Phase(row, 0)];
    const TGradientCode& odd = code[Phase(row, 1)];
    for (Integer col = 2; col < w - 2; ++col)
      RefineCell(col & 1 ? odd : even, line + size_t(col) * 4, out + size_t(col) * 4, colors, maximum);
    if (row >= 4) copyBack(row - 2);
  }
  for (Integer row = std::max<Integer>(2, last - 1); row <= last; ++row) copyBack(row);
}

}  // namespace

void vng_interpolate(TRAWDecoderState& s) {
  if (!develop_cells(s) || !s.filters) return;
  BilinearPass(s);
  if (s.quick_interpolate) return;
  GradientPass(s);
}
