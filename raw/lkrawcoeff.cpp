// Colour matrix builders of the camera RAW decoder.
#include "raw/lkrawcoeff.h"

namespace {

void SetMatrix(TRAWDecoderState& s, const float (&m)[3][4]) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) s.coeff[r][c] = m[r][c];
  s.use_coeff = true;
}

}  // namespace

void cmyg_coeff_from_table(TRAWDecoderState& s) {
  // Response of each sensor colour to red, green and blue.
  static const float kTable[4][3] = {
      {0.11f, 0.86f, 0.08f}, {0.5f, 0.29f, 0.51f}, {0.11f, 0.92f, 0.75f}, {0.81f, 0.98f, 0.08f}};
  double m[3][4] = {};
  for (int skip = 0; skip < 4; ++skip) {
    double a[3][6] = {};
    int colour[3];
    for (int k = 0, i = 0; k < 4; ++k) {
      if (k == skip) continue;
      colour[i] = k;
      for (int j = 0; j < 3; ++j) a[i][j] = kTable[k][j];
      a[i][3 + i] = 1;
      ++i;
    }
    // Gauss-Jordan elimination without pivot search: the table's diagonal
    // elements are never zero.
    for (int j = 0; j < 3; ++j) {
      const double d = a[j][j];
      for (int c = 0; c < 6; ++c) a[j][c] /= d;
      for (int r = 0; r < 3; ++r) {
        if (r == j) continue;
        const double f = a[r][j];
        for (int c = 0; c < 6; ++c) a[r][c] -= f * a[j][c];
      }
    }
    for (int i = 0; i < 3; ++i)
      for (int r = 0; r < 3; ++r) m[r][colour[i]] += a[r][3 + i];
  }
  for (int r = 0; r < 3; ++r) {
    double sum = 0;
    for (int c = 0; c < 4; ++c) sum += m[r][c];
    for (int c = 0; c < 4; ++c) s.coeff[r][c] = float(m[r][c] / sum);
  }
  s.use_coeff = true;
}

void kodak_dc20_coeff(TRAWDecoderState& s, float factor) {
  static const float kCamera[3][4] = {
      {2.25f, 0.75f, -1.75f, -0.25f}, {-0.25f, 0.75f, 0.75f, -0.25f}, {-0.25f, -1.75f, 0.75f, 2.25f}};
  static const float kPlain[3][4] = {{1, 0, 0, 0}, {0, 0.5f, 0.5f, 0}, {0, 0, 0, 1}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) s.coeff[r][c] = factor * kCamera[r][c] + (1 - factor) * kPlain[r][c];
  s.use_coeff = true;
}

void sony_coeff(TRAWDecoderState& s) {
  static const float kSony[3][4] = {{1.321918f, 0, 0.149829f, -0.471747f},
                                    {-0.288764f, 1.129213f, -0.486517f, 0.646067f},
                                    {0.061336f, -0.199343f, 1.138007f, 0}};
  SetMatrix(s, kSony);
}

void nikon_coolpix_coeff(TRAWDecoderState& s) {
  static const float kCoolpix[3][4] = {{-1.93628f, 1.800443f, -1.448486f, 2.584324f},
                                       {1.405365f, -0.524955f, -0.28909f, 0.40868f},
                                       {-1.204965f, 1.082304f, 2.941367f, -1.818705f}};
  SetMatrix(s, kCoolpix);
}

void foveon_coeff(TRAWDecoderState& s) {
  static const float kFoveon[3][3] = {{2.0343955f, -0.727533f, -0.3067457f},
                                      {-0.2287194f, 1.231793f, -0.0028293f},
                                      {-0.0086152f, -0.153336f, 1.1617814f}};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) s.coeff[i][j] = s.pre_mul[i] * kFoveon[i][j];
    s.coeff[i][3] = 0;
  }
  s.use_coeff = true;
}
