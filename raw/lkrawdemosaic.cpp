// Demosaicing of colour-filter pictures: a bilinear pass, then a refinement
// that averages only the neighbour directions with small gradients.
//
// Both passes are driven by code tables built once per pattern phase
// (row mod 8, column mod 2), so the per-cell work is a fixed list of
// sample offsets. The refinement reads a five-row window split into planes
// per colour and column parity, where four cells of the same phase lie side
// by side and are refined together.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
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

/// Four cells of one pattern phase (every second cell of a row) side by
/// side: the refinement runs on four cells at once.
typedef Integer TLanes __attribute__((vector_size(16)));
/// Four 16-bit samples as they lie in a plane.
typedef Word TWordLanes __attribute__((vector_size(8)));

/// A sample relative to cell (row, 2i + parity) in the planar row window:
/// row offset, colour, column parity and index offset in that plane.
struct TPlanePoint {
  int dy, ch, q, dj;
};

/// Planar address of the sample of colour `ch` at (dy, dx) from a cell of
/// column parity `par`.
TPlanePoint PointAt(int par, int dy, int dx, int ch) {
  const int x = par + dx;
  const int q = x & 1;
  return {dy, ch, q, (x - q) / 2};
}

struct TGradientCode {
  int color = 0;
  /// The kept terms' two points, those whose difference counts twice
  /// (weight 1) first.
  std::vector<TPlanePoint> a, b;
  size_t doubled = 0;
  /// The terms each direction sums.
  std::vector<int> dirTerms[8];
  /// Each direction's neighbour, one point per colour.
  TPlanePoint nb[8][4] = {};
  /// The own colour's share of each direction is (ownA + ownB) / 2: the
  /// cell and the cell two steps away when the neighbour has another colour
  /// and that cell has the cell's colour, otherwise the neighbour's sample
  /// of the cell's colour twice.
  TPlanePoint ownA[8] = {}, ownB[8] = {};
};

void BuildGradients(const TRAWDecoderState& s, TGradientCode (&code)[kPhases]) {
  for (int row = 0; row < 8; ++row)
    for (int par = 0; par < 2; ++par) {
      TGradientCode& k = code[Phase(row, par)];
      // Rows and columns before the tile repeat the pattern.
      auto colorAt = [&](int dy, int dx) { return cell_color(s, row + dy + 8, par + dx + 2); };
      std::vector<unsigned> masks;
      for (const auto& t : kTerms) {
        const int y1 = t[0], x1 = t[1], y2 = t[2], x2 = t[3];
        const int color = colorAt(y1, x1);
        if (colorAt(y2, x2) != color) continue;
        const int diag = (colorAt(0, 1) == color && colorAt(1, 0) == color) ? 2 : 1;
        if (std::abs(y1 - y2) == diag && std::abs(x1 - x2) == diag) continue;
        // Weight-1 terms go first so the per-cell loop needs no shift.
        const size_t at = t[4] ? k.doubled++ : k.a.size();
        k.a.insert(k.a.begin() + ptrdiff_t(at), PointAt(par, y1, x1, color));
        k.b.insert(k.b.begin() + ptrdiff_t(at), PointAt(par, y2, x2, color));
        masks.insert(masks.begin() + ptrdiff_t(at), static_cast<unsigned>(t[5]));
      }
      for (size_t i = 0; i < masks.size(); ++i)
        for (int d = 0; d < 8; ++d)
          if ((masks[i] >> d) & 1u) k.dirTerms[d].push_back(int(i));
      const int own = colorAt(0, 0);
      k.color = own;
      for (int d = 0; d < 8; ++d) {
        const int dy = kDirs[d][0], dx = kDirs[d][1];
        for (int c = 0; c < 4; ++c) k.nb[d][c] = PointAt(par, dy, dx, c);
        if (colorAt(dy, dx) != own && colorAt(2 * dy, 2 * dx) == own) {
          k.ownA[d] = PointAt(par, 0, 0, own);
          k.ownB[d] = PointAt(par, 2 * dy, 2 * dx, own);
        } else {
          k.ownA[d] = k.ownB[d] = k.nb[d][own];
        }
      }
    }
}

/// Five picture rows around the current one, split per colour and column
/// parity into planes of 16-bit samples, so four cells of one phase read
/// their samples with one load. Planes carry a zero margin so that reads
/// for the lanes past the row's last cell stay inside them.
class TPlaneWindow {
 public:
  static constexpr int kMargin = 8;

  TPlaneWindow(const Word* image, Integer width)
      : Image(image), Width(width), Stride(size_t((width + 1) / 2) + 2 * kMargin),
        Data(raw_alloc<Word>(Int64(Stride) * 5 * 4 * 2, "vng_interpolate()")) {}

  /// Loads picture row `row` into its slot.
  void Load(Integer row) {
    const Word* src = Image + size_t(row) * size_t(Width) * 4;
    Word* planes[4][2];
    for (int c = 0; c < 4; ++c)
      for (int q = 0; q < 2; ++q) planes[c][q] = Plane(row, c, q);
    for (Integer col = 0; col < Width; ++col, src += 4)
      for (int c = 0; c < 4; ++c) planes[c][col & 1][col >> 1] = src[c];
  }

  /// Start of the plane of colour `ch`, parity `q` of picture row `row`
  /// (index 0 = the row's first cell of that parity).
  Word* Plane(Integer row, int ch, int q) const {
    return Data.get() + (size_t(row % 5) * 8 + size_t(ch) * 2 + size_t(q)) * Stride + kMargin;
  }

  const Word* At(Integer row, const TPlanePoint& p) const { return Plane(row + p.dy, p.ch, p.q) + p.dj; }

 private:
  const Word* Image;
  Integer Width;
  size_t Stride;
  std::unique_ptr<Word[]> Data;
};

inline TLanes Load4(const Word* p) {
  TWordLanes w;
  std::memcpy(&w, p, sizeof w);
  return __builtin_convertvector(w, TLanes);
}

inline TLanes AbsDiff(const Word* a, const Word* b) {
  const TLanes d = Load4(a) - Load4(b);
  return d < 0 ? -d : d;
}

/// Refines the cells of one phase (columns 2i + par, i = first..last) of
/// picture row `row` into the row buffer `out`, four at a time.
void RefineRun(const TGradientCode& k, const TPlaneWindow& win, const Word* line, Word* out, Integer row,
               int par, Integer first, Integer last, int colors, Integer maximum) {
  const size_t terms = k.a.size();
  const Word* pa[64];
  const Word* pb[64];
  for (size_t t = 0; t < terms; ++t) {
    pa[t] = win.At(row, k.a[t]);
    pb[t] = win.At(row, k.b[t]);
  }
  const Word* nb[8][4];
  const Word* ownA[8];
  const Word* ownB[8];
  for (int d = 0; d < 8; ++d) {
    for (int c = 0; c < 4; ++c) nb[d][c] = win.At(row, k.nb[d][c]);
    ownA[d] = win.At(row, k.ownA[d]);
    ownB[d] = win.At(row, k.ownB[d]);
  }
  const Word* ownPlane = win.Plane(row, k.color, par);
  const TLanes zero = {}, top = zero + maximum;

  for (Integer i = first; i <= last; i += 4) {
    TLanes diff[64];
    for (size_t t = 0; t < k.doubled; ++t) diff[t] = AbsDiff(pa[t] + i, pb[t] + i) * 2;
    for (size_t t = k.doubled; t < terms; ++t) diff[t] = AbsDiff(pa[t] + i, pb[t] + i);
    TLanes gval[8];
    for (int d = 0; d < 8; ++d) {
      TLanes g = zero;
      for (int t : k.dirTerms[d]) g += diff[t];
      gval[d] = g;
    }
    TLanes gmin = gval[0], gmax = gval[0];
    for (int d = 1; d < 8; ++d) {
      gmin = gval[d] < gmin ? gval[d] : gmin;
      gmax = gval[d] > gmax ? gval[d] : gmax;
    }
    const TLanes thold = gmin + (gmax >> 1);
    TLanes sum[4] = {zero, zero, zero, zero}, sOwn = zero, num = zero;
    for (int d = 0; d < 8; ++d) {
      const TLanes sel = gval[d] <= thold;
      for (int c = 0; c < 4; ++c) sum[c] += Load4(nb[d][c] + i) & sel;
      sOwn += ((Load4(ownA[d] + i) + Load4(ownB[d] + i)) >> 1) & sel;
      num -= sel;
    }
    const TLanes own = Load4(ownPlane + i);
    TLanes value[4];
    for (int c = 0; c < colors; ++c) {
      if (c == k.color) continue;
      const TLanes v = own + (sum[c] - sOwn) / num;
      value[c] = v < zero ? zero : v > top ? top : v;
    }
    for (Integer l = 0; l < 4 && i + l <= last; ++l) {
      const size_t at = (size_t(i + l) * 2 + size_t(par)) * 4;
      Word* o = out + at;
      std::memcpy(o, line + at, 4 * sizeof(Word));
      if (gmax[l] == 0) continue;
      for (int c = 0; c < colors; ++c)
        if (c != k.color) o[c] = Word(value[c][l]);
    }
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
  TPlaneWindow win(base, w);
  const size_t rowSamples = size_t(w) * 4;
  auto bufRow = [&](Integer row) { return buffer.get() + size_t(row % 3) * rowSamples; };
  // Refined cells wait in three row buffers: a row goes back into the image
  // only when no later row reads it, so every gradient sees bilinear values.
  auto copyBack = [&](Integer row) {
    std::memcpy(base + size_t(row) * rowSamples + 8, bufRow(row) + 8, size_t(w - 4) * 4 * sizeof(Word));
  };
  for (Integer row = 0; row < 4; ++row) win.Load(row);
  const Integer last = h - 3;
  for (Integer row = 2; row <= last; ++row) {
    win.Load(row + 2);
    const Word* line = base + size_t(row) * rowSamples;
    // Columns 2..w - 3: index i of column 2i + par runs from 1.
    for (int par = 0; par < 2; ++par)
      if (w - 3 - par >= 2)
        RefineRun(code[Phase(row, par)], win, line, bufRow(row), row, par, 1, (w - 3 - par) / 2, colors, maximum);
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
