// White balance of the camera RAW decoder: black level, multipliers and the
// scaling of every sample.
#include <algorithm>
#include <cmath>
#include <vector>

#include "raw/lkrawdevelop.h"
#include "raw/lkrawdevelop_internal.h"

namespace {

/// Multipliers from per-colour sums and counts: the largest average over
/// each colour's average. A colour without a usable average keeps 1, so a
/// picture (or white block) that offers no sample of a colour never divides
/// by zero.
void MultipliersFromAverages(TRAWDecoderState& s, const double* sum, const Int64* count, int colors) {
  double avg[4] = {};
  double largest = 0;
  for (int c = 0; c < colors; ++c) {
    avg[c] = count[c] > 0 ? sum[c] / double(count[c]) : 0;
    largest = std::max(largest, avg[c]);
  }
  for (int c = 0; c < colors; ++c) s.pre_mul[c] = avg[c] > 0 ? float(largest / avg[c]) : 1.0f;
}

void AutoBalance(TRAWDecoderState& s, size_t cells, int colors) {
  // Samples within 100 of the white level are left out: clipped highlights
  // would pull the averages towards grey.
  const Integer limit = s.maximum - 100;
  Int64 isum[4] = {}, count[4] = {};
  const TRAWCell* img = s.image.data();
  for (size_t i = 0; i < cells; ++i) {
    for (int c = 0; c < colors; ++c) {
      const Integer v = img[i][c];
      if (!v) continue;
      const Integer x = v - s.black;
      if (x > limit) continue;
      if (x > 0) isum[c] += x;
      ++count[c];
    }
  }
  double sum[4];
  for (int c = 0; c < 4; ++c) sum[c] = double(isum[c]);
  MultipliersFromAverages(s, sum, count, colors);
}

void CameraBalance(TRAWDecoderState& s, int colors) {
  double sum[4] = {};
  Int64 count[4] = {};
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      const int col = cell_color(s, r, c);
      const Integer x = s.white[r][c] - s.black;
      if (x > 0) sum[col] += x;
      ++count[col];
    }
  double dmin = 1.7e308, dmax = 0, avg[4] = {};
  bool any = false;
  for (int c = 0; c < colors; ++c) {
    // A colour the block does not hold has no average; it keeps 1.
    if (!count[c]) continue;
    avg[c] = sum[c] / double(count[c]);
    dmin = std::min(dmin, avg[c]);
    dmax = std::max(dmax, avg[c]);
    any = true;
  }
  if (any && dmin > 0) {
    for (int c = 0; c < colors; ++c) s.pre_mul[c] = count[c] ? float(dmax / avg[c]) : 1.0f;
  } else if (s.camera_red != 0 && s.camera_blue != 0) {
    s.pre_mul[0] = s.camera_red;
    s.pre_mul[1] = 1;
    s.pre_mul[2] = s.camera_blue;
    s.pre_mul[3] = 1;
  }
}

}  // namespace

void apply_white_balance(TRAWDecoderState& s) {
  s.maximum -= s.black;
  const size_t cells = develop_cells(s);
  const int colors = std::clamp<Integer>(s.colors, 0, 4);

  if (s.use_auto_wb || (s.use_camera_wb && s.camera_red == -1))
    AutoBalance(s, cells, colors);
  if (s.use_camera_wb && s.camera_red != -1) CameraBalance(s, colors);
  if (!s.use_coeff) {
    s.pre_mul[0] *= s.red_scale;
    s.pre_mul[2] *= s.blue_scale;
  }

  // One table per colour maps every stored value to its balanced value
  // (0 stays 0): the same arithmetic as scaling each sample, done 65536
  // times per colour instead of once per sample.
  const Integer top = std::clamp<Integer>(s.maximum, 0, 65535);
  std::vector<Word> table(size_t(colors) * 65536);
  for (int c = 0; c < colors; ++c) {
    Word* t = table.data() + size_t(c) * 65536;
    const double mul = s.pre_mul[c];
    t[0] = 0;
    for (Integer v = 1; v < 65536; ++v) {
      // (v - black) × multiplier is exact in double precision.
      const double x = std::trunc(double(v - s.black) * mul);
      t[v] = Word(!(x > 0) ? 0 : x >= top ? top : Integer(x));
    }
  }
  TRAWCell* img = s.image.data();
  const Word* t = table.data();
  if (colors == 3) {
    for (size_t i = 0; i < cells; ++i) {
      img[i][0] = t[img[i][0]];
      img[i][1] = t[65536 + img[i][1]];
      img[i][2] = t[131072 + img[i][2]];
    }
  } else {
    for (size_t i = 0; i < cells; ++i)
      for (int c = 0; c < colors; ++c) img[i][c] = t[size_t(c) * 65536 + img[i][c]];
  }
}
