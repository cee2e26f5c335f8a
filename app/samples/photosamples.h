// Sample camera RAW files made from photographs: each photograph is reduced
// to the camera's picture size, levelled as the decoder exposes a picture
// (its brightest one percent white), and turned back into what that
// camera's sensor would have recorded: the inverse of the decoder's output
// curve at the default gamma, divided by the camera's white balance,
// sampled through its colour filter array and coded as its raw format.
// Developing such a file at the default settings (with the camera's white
// balance) gives the photograph back.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "raw/kit/identfiles.h"
#include "raw/lkrawbits.h"
#include "raw/lkrawstate.h"
#include "raw/rawfiles.h"
#include "app/samples/samplecoders.h"

namespace samples {

/// The folder of the photographs the samples are made from (a Debian
/// package of desktop backgrounds).
inline const char* const kPhotoFolder = "/usr/share/backgrounds/mate/nature";

/// The develop's gamma at the program's default settings.
constexpr double kGamma = 0.6;

/// One sample camera file.
struct PhotoSample {
  const char* name;   ///< file name of the sample
  const char* photo;  ///< photograph it shows (file name in kPhotoFolder)
  int height, width;  ///< the camera's picture, before the develop trims its 1-pixel border
  /// The file from a picture of height × width.
  std::function<rawkit::Bytes(const TLKBitmap& picture)> make;
  /// Rows and columns the develop leaves out on every side of the picture
  /// (the demosaic's border; 0 where every cell holds all three colours).
  int border = 1;
  /// Rows and columns near the edges left out when the develop is compared
  /// with the picture (the corners of a turned sensor layout stay black).
  int inset = 0;
};

/// Reads a JPEG photograph as a 24-bit picture; false when it cannot.
inline bool LoadPhoto(const std::string& Path, TLKBitmap& Out) {
  try {
    TLumerakIO io;
    io.SetAttachedLKBitmap(&Out);
    io.LoadFromFileJpeg(Path);
    if (io.GetAborted() || Out.IsEmpty()) return false;
  } catch (const std::exception&) {
    return false;
  }
  if (Out.GetPixelFormat() != lk24RGB) Out.SetPixelFormat(lk24RGB);
  return true;
}

/// The photograph as a sample holds it: the middle of the photograph in the
/// picture's proportions, reduced by area averages to half of Width ×
/// Height and enlarged bilinearly to the full size (a sensor samples every
/// colour only on every other cell, so the picture must be smooth at that
/// scale), then levelled so that its brightest one percent is white, as
/// the develop exposes it.
inline void Prepare(TLKBitmap& Photo, int Height, int Width, TLKBitmap& Out) {
  const int pw = Photo.GetWidth(), ph = Photo.GetHeight();
  double cw = pw, ch = double(pw) * Height / Width;
  if (ch > ph) {
    ch = ph;
    cw = double(ph) * Width / Height;
  }
  const double x0 = (pw - cw) / 2, y0 = (ph - ch) / 2;
  const int hw = Width / 2, hh = Height / 2;
  std::vector<double> half(size_t(hw) * hh * 3);
  for (int y = 0; y < hh; ++y) {
    const int sy0 = int(y0 + ch * y / hh), sy1 = std::max(sy0 + 1, int(y0 + ch * (y + 1) / hh));
    for (int x = 0; x < hw; ++x) {
      const int sx0 = int(x0 + cw * x / hw), sx1 = std::max(sx0 + 1, int(x0 + cw * (x + 1) / hw));
      double sum[3] = {};
      for (int sy = sy0; sy < std::min(sy1, ph); ++sy)
        for (int sx = sx0; sx < std::min(sx1, pw); ++sx) {
          const TRGB p = Photo.GetPixels_lk24RGB(sx, sy);
          sum[0] += p.r;
          sum[1] += p.g;
          sum[2] += p.b;
        }
      const double n = double(std::max(1, std::min(sy1, ph) - sy0)) * std::max(1, std::min(sx1, pw) - sx0);
      for (int k = 0; k < 3; ++k) half[(size_t(y) * hw + x) * 3 + k] = sum[k] / n;
    }
  }
  std::vector<double> full(size_t(Width) * Height * 3);
  for (int y = 0; y < Height; ++y) {
    const double fy = std::clamp((y + 0.5) / 2 - 0.5, 0.0, double(hh - 1));
    const int iy = std::min(int(fy), hh - 2 < 0 ? 0 : hh - 2);
    const double ty = hh > 1 ? fy - iy : 0;
    for (int x = 0; x < Width; ++x) {
      const double fx = std::clamp((x + 0.5) / 2 - 0.5, 0.0, double(hw - 1));
      const int ix = std::min(int(fx), hw - 2 < 0 ? 0 : hw - 2);
      const double tx = hw > 1 ? fx - ix : 0;
      for (int k = 0; k < 3; ++k) {
        auto at = [&](int yy, int xx) { return half[(size_t(std::min(yy, hh - 1)) * hw + std::min(xx, hw - 1)) * 3 + k]; };
        const double top = at(iy, ix) * (1 - tx) + at(iy, ix + 1) * tx;
        const double bottom = at(iy + 1, ix) * (1 - tx) + at(iy + 1, ix + 1) * tx;
        full[(size_t(y) * Width + x) * 3 + k] = top * (1 - ty) + bottom * ty;
      }
    }
  }
  // The develop maps the brightness its brightest one percent reach to
  // white: level the picture the same way. Channels clipped at white make
  // the brightest pixels less bright, so the gain is found again on the
  // clipped picture until the two agree.
  const double white = 255 * std::sqrt(3.0);
  const size_t pixels = size_t(Width) * Height;
  const size_t at = pixels - 1 - pixels / 100;
  std::vector<double> length(pixels);
  double gain = 1;
  for (int pass = 0; pass < 8; ++pass) {
    for (size_t i = 0; i < pixels; ++i) {
      double sq = 0;
      for (int k = 0; k < 3; ++k) {
        const double v = std::min(255.0, full[3 * i + k] * gain);
        sq += v * v;
      }
      length[i] = std::sqrt(sq);
    }
    std::nth_element(length.begin(), length.begin() + long(at), length.end());
    if (!(length[at] > 0)) break;
    gain *= white / length[at];
  }
  Out.Allocate(Width, Height, lk24RGB);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const double* p = &full[(size_t(y) * Width + x) * 3];
      auto level = [&](double v) { return Byte(std::clamp(std::lround(v * gain), 0L, 255L)); };
      Out.SetPixels_lk24RGB(x, y, TRGB{level(p[2]), level(p[1]), level(p[0])});
    }
}

/// The linear light of a picture pixel (red, green, blue), up to a
/// constant: the inverse of the develop's output curve.
inline void Linear(const TRGB& p, double (&Out)[3]) {
  const double rgb[3] = {double(p.r), double(p.g), double(p.b)};
  const double len = std::sqrt(rgb[0] * rgb[0] + rgb[1] * rgb[1] + rgb[2] * rgb[2]);
  // The develop gives out = c × (|c| / white)^(gamma - 1) / white, up to a
  // constant: c = out × |out|^((1 - gamma) / gamma).
  const double curve = len > 0 ? std::pow(len, (1 - kGamma) / kGamma) : 0;
  for (int k = 0; k < 3; ++k) Out[k] = rgb[k] * curve;
}

/// What the sensor recorded under the picture: for each cell of
/// Filters' pattern, the linear light of its colour (the inverse of the
/// develop's curve) divided by that colour's white-balance multiplier,
/// plus Black; scaled so that neither the largest value nor the largest
/// value times its multiplier passes Top, so that no cell is clipped once
/// the develop has balanced it. Rows × columns of the picture, row-major.
inline std::vector<int> Mosaic(TLKBitmap& Picture, Cardinal Filters, const double (&Multipliers)[3], int Black,
                               int Top) {
  const int w = Picture.GetWidth(), h = Picture.GetHeight();
  std::vector<double> linear(size_t(w) * h);
  double largest = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double rgb[3];
      Linear(Picture.GetPixels_lk24RGB(x, y), rgb);
      const int colour = std::min(2, cell_color(Filters, y, x));
      const double v = rgb[colour] / Multipliers[colour];
      linear[size_t(y) * w + x] = v;
      largest = std::max({largest, v, rgb[colour]});
    }
  const double scale = largest > 0 ? (Top - Black) / largest : 0;
  std::vector<int> out(linear.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = Black + int(std::lround(linear[i] * scale));
  return out;
}

/// Value of a Bayer cell under a picture pixel: its colour's linear light
/// over that colour's multiplier, times Scale, plus Black; at most Top.
inline int CellUnder(const TRGB& Pixel, int Colour, const double (&Multipliers)[3], double Scale, int Black, int Top) {
  double rgb[3];
  Linear(Pixel, rgb);
  const int colour = std::min(2, Colour);
  return std::min(Top, Black + int(std::lround(rgb[colour] / Multipliers[colour] * Scale)));
}

/// The largest linear light of any colour in the picture (at least 1).
inline double LargestLinear(TLKBitmap& Picture) {
  double largest = 1;
  for (int y = 0; y < Picture.GetHeight(); ++y)
    for (int x = 0; x < Picture.GetWidth(); ++x) {
      double rgb[3];
      Linear(Picture.GetPixels_lk24RGB(x, y), rgb);
      largest = std::max({largest, rgb[0], rgb[1], rgb[2]});
    }
  return largest;
}

/// Solves a 3 × 3 system M x = b by Cramer's rule.
inline void Solve3(const double (&M)[3][3], const double (&b)[3], double (&x)[3]) {
  auto det = [](const double (&a)[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double d = det(M);
  for (int k = 0; k < 3; ++k) {
    double a[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) a[i][j] = j == k ? b[i] : M[i][j];
    x[k] = d != 0 ? det(a) / d : 0;
  }
}

/// The values a Foveon sensor recorded under a picture's linear light,
/// found by undoing the develop's steps that act on a cell alone: the
/// camera's colour matrix, the develop's own matrix, the chroma step's
/// offsets and the correction's square and cube terms. The steps that
/// look at neighbours (sharpening, despeckle, smoothing, de-haze) change a
/// smooth picture little and are left as they are. Rgb in, the corrected
/// values (before the correction's difference term) out.
inline void FoveonUndoCell(const double (&Rgb)[3], const double (&Camera)[3][3], double (&Out)[3]) {
  // The camera's matrix, then the develop's matrix (in 1/8192).
  double m2[3];
  Solve3(Camera, Rgb, m2);
  static const double kR[3][3] = {{7576, -2933, 1279}, {-11594, 29911, -12394}, {4000, -18850, 20772}};
  double r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = kR[i][j] / 8192;
  double y[3];
  Solve3(r, m2, y);
  // The chroma step lowers each value by 21 (green by 22) and pulls it
  // towards the mean by up to 8: found again by a few fixed-point steps.
  auto curveB = [](double v) {
    static const short e[20] = {0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7};
    const long i = std::lround(v);
    const long k = std::labs(i);
    const long c = k >= 20 ? 8 : e[k];
    return double(i >= 0 ? c : -c);
  };
  auto chroma = [&](const double (&in)[3], double (&out)[3]) {
    double d[3];
    for (int c = 0; c < 3; ++c) {
      const double z = in[c] - 13 - (c == 1 ? 1 : 0);
      d[c] = z - curveB(z);
    }
    const double m = (d[0] + 2 * d[1] + d[2]) / 4;
    for (int c = 0; c < 3; ++c) out[c] = d[c] - curveB(d[c] - m);
  };
  double before[3] = {y[0] + 21, y[1] + 22, y[2] + 21};
  for (int pass = 0; pass < 6; ++pass) {
    double got[3];
    chroma(before, got);
    for (int c = 0; c < 3; ++c) before[c] += y[c] - got[c];
  }
  // The correction: y_j = (x_j + q_j(x) / 16384) × mul_j with q of the
  // squares and cubes; Newton's method from x = y / mul.
  static const double kQ[3][9] = {{4141, 37726, 11265, -30437, 16066, -41102, 326, -413, 362},
                                  {1770, -1316, 3480, -2139, 213, -4998, -2381, 3496, -2008},
                                  {-3838, -24025, -12968, 20144, -12195, 30272, -631, -2025, 822}};
  static const double kMul[3] = {1.0321, 1, 1.1124};
  auto correct = [&](const double (&x)[3], double (&out)[3]) {
    const double w[9] = {x[0] * x[0] / 16384,       x[1] * x[1] / 16384,       x[2] * x[2] / 16384,
                         x[0] * x[1] / 16384,       x[0] * x[2] / 16384,       x[1] * x[2] / 16384,
                         x[0] * x[0] * x[0] / 16384 / 16384, x[1] * x[1] * x[1] / 16384 / 16384,
                         x[2] * x[2] * x[2] / 16384 / 16384};
    for (int j = 0; j < 3; ++j) {
      double q = 0;
      for (int i = 0; i < 9; ++i) q += kQ[j][i] * w[i];
      out[j] = (x[j] + q / 16384) * kMul[j];
    }
  };
  double x[3];
  for (int c = 0; c < 3; ++c) x[c] = std::max(0.0, before[c]) / kMul[c];
  for (int pass = 0; pass < 20; ++pass) {
    double f[3], jac[3][3];
    correct(x, f);
    for (int k = 0; k < 3; ++k) {
      double xs[3] = {x[0], x[1], x[2]}, fs[3];
      xs[k] += 1;
      correct(xs, fs);
      for (int j = 0; j < 3; ++j) jac[j][k] = fs[j] - f[j];
    }
    double rhs[3], step[3];
    for (int j = 0; j < 3; ++j) rhs[j] = std::max(0.0, before[j]) - f[j];
    Solve3(jac, rhs, step);
    for (int c = 0; c < 3; ++c) x[c] = std::clamp(x[c] + step[c], 0.0, 32000.0);
  }
  for (int c = 0; c < 3; ++c) Out[c] = x[c];
}

/// The upright picture the develop makes of a FinePix S5000 file: its
/// size, and the last lit column of the first row before the turn (the
/// turn places every cell from it). The sensor's layout fixes all three:
/// the 45-degree band of cells is the same in every such file.
constexpr int kFujiRows = 2154, kFujiCols = 2850, kFujiLast = 1425;

/// The samples of cameras whose files are no plain rows of cells: Phase
/// One's scrambled words, Kodak DC120's turned rows, Rollei's split data,
/// Sigma's Foveon sensor and Fuji's sensor turned by 45 degrees.
inline void AddTurnedLayoutSamples(std::vector<PhotoSample>& list) {
  // Phase One back of a size the decoder takes from the header: 16-bit
  // cells in scrambled word pairs.
  list.push_back({"phaseone_back.raw", "Garden.jpg", 900, 1200, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x49494949, {1, 1, 1}, 0, 60000);
                    return PhaseOneFile(h, w, [&](int r, int c) { return cells[size_t(r) * w + c]; }, 0x3c5a, 0xa5c3);
                  }});
  // Kodak DC120: 848 × 976 8-bit cells.
  list.push_back({"kodak_dc120.dcr", "Aqua.jpg", 976, 848, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth();
                    const std::vector<int> cells = Mosaic(pic, 0x61616161, {1, 1, 1}, 0, 250);
                    return KodakDc120File([&](int r, int c) { return cells[size_t(r) * w + c]; });
                  }});
  // Rollei d530flex: a 1316-cell-wide sensor, the picture 1 row down and 6
  // cells in.
  list.push_back({"rollei_d530flex.raw", "Dune.jpg", 1030, 1300, [](const TLKBitmap& Picture) {
                    constexpr int kRawRows = 1032, kRawCols = 1316, kTop = 1, kLeft = 6;
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x16161616, {1.8, 1, 1.3}, 0, 1000);
                    return RolleiFile(kRawRows, kRawCols, [&](int r, int c) {
                      const int y = r - kTop, x = c - kLeft;
                      return y >= 0 && y < h && x >= 0 && x < w ? cells[size_t(y) * w + x] : 0;
                    });
                  }});
  // Sigma SD10 at its low resolution: 1152 × 763 cells of three values,
  // the picture 2 rows down and 8 cells in. Every cell holds all three
  // colours, so the develop keeps the picture's border.
  PhotoSample sigma{"sigma_sd10.x3f", "Storm.jpg", 756, 1136, [](const TLKBitmap& Picture) {
                      constexpr int kRawRows = 763, kRawCols = 1152, kTop = 2, kLeft = 8;
                      TLKBitmap pic;
                      pic.Assign(const_cast<TLKBitmap*>(&Picture));
                      const int w = pic.GetWidth(), h = pic.GetHeight();
                      // The camera's matrix: its balance (red 1.179 × 2.07,
                      // blue 0.713 × 2.3) on the sensor's colour matrix.
                      static const double kFoveon[3][3] = {{2.0343955, -0.727533, -0.3067457},
                                                           {-0.2287194, 1.231793, -0.0028293},
                                                           {-0.0086152, -0.153336, 1.1617814}};
                      const double balance[3] = {1.179 * 2.07, 1, 0.713 * 2.3};
                      double camera[3][3];
                      for (int i = 0; i < 3; ++i)
                        for (int j = 0; j < 3; ++j) camera[i][j] = float(balance[i]) * float(kFoveon[i][j]);
                      // The develop keeps values below 5600: the brightest
                      // colour becomes 5000.
                      const double scale = 5000 / LargestLinear(pic);
                      std::vector<double> corrected(size_t(w) * h * 3);
                      for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x) {
                          double rgb[3], out[3];
                          Linear(pic.GetPixels_lk24RGB(x, y), rgb);
                          for (double& v : rgb) v *= scale;
                          FoveonUndoCell(rgb, camera, out);
                          for (int c = 0; c < 3; ++c) corrected[(size_t(y) * w + x) * 3 + size_t(c)] = out[c];
                        }
                      // The correction adds 0.8 × (d + d² / 16384) of the
                      // step d from the cell on the left: undone along each
                      // row from the values found so far.
                      std::vector<int> cells(size_t(w) * h * 3);
                      for (int y = 0; y < h; ++y)
                        for (int c = 0; c < 3; ++c) {
                          double previous = -1;
                          for (int x = 0; x < w; ++x) {
                            const double target = corrected[(size_t(y) * w + x) * 3 + size_t(c)];
                            double v = target;
                            if (previous >= 0) {
                              constexpr double a = 0.8 / 16384;
                              const double disc = 1.8 * 1.8 + 4 * a * (target - previous);
                              const double d = disc > 0 ? (-1.8 + std::sqrt(disc)) / (2 * a) : -1.8 / (2 * a);
                              v = previous + d;
                            }
                            const int stored = int(std::clamp(std::lround(v), 1L, 32000L));
                            cells[(size_t(y) * w + x) * 3 + size_t(c)] = stored;
                            previous = stored;
                          }
                        }
                      return FoveonFile(kRawRows, kRawCols,
                                        [&](int r, int c, int k) {
                                          const int y = std::clamp(r - kTop, 0, h - 1), x = std::clamp(c - kLeft, 0, w - 1);
                                          return cells[(size_t(y) * w + x) * 3 + size_t(k)];
                                        },
                                        "SIGMA", "SIGMA SD10");
                    }};
  sigma.border = 0;
  list.push_back(sigma);
  // Fuji FinePix S5000: a 2499 × 2500 picture whose cells sit on a grid
  // turned by 45 degrees; the develop turns it upright, filling the cells
  // between with the average of their four neighbours. Picture pixel of
  // sensor cell (row, col): the turn's own arithmetic, after the
  // demosaic's one-cell border.
  PhotoSample fuji{"fuji_s5000.raf", "LadyBird.jpg", kFujiRows, kFujiCols, [](const TLKBitmap& Picture) {
                     TLKBitmap pic;
                     pic.Assign(const_cast<TLKBitmap*>(&Picture));
                     const int w = pic.GetWidth(), h = pic.GetHeight();
                     const double mul[3] = {1.639, 1, 1.438};
                     const double scale = 15000 / (LargestLinear(pic) * std::max({mul[0], mul[1], mul[2], 1.0}));
                     return FujiS5000File([&](int row, int col) {
                       const int r = row - 1, j = col - 1;
                       const int e = j + r - kFujiLast + 5, g = (j + kFujiLast - r - 1) / 2;
                       const int x = std::clamp(2 * g + (e & 1), 0, w - 1), y = std::clamp(e - 1, 0, h - 1);
                       return CellUnder(pic.GetPixels_lk24RGB(x, y), cell_color(0x49494949, row, col), mul, scale, 0, 15872);
                     });
                   }};
  fuji.border = 0;
  fuji.inset = 4;
  list.push_back(fuji);
}

/// The sample files, a camera of each kind the decoder reads from a plain
/// file builder of ours: Canon CIFF (compressed), Nikon TIFF, Minolta
/// (with the camera's white balance in the file), Nucore, Pentax and Casio
/// and Creative
/// (raw dumps known by their size), Olympus and Leaf TIFF; then the
/// cameras of AddTurnedLayoutSamples.
inline std::vector<PhotoSample> PhotoSamples() {
  std::vector<PhotoSample> list;
  // Canon PowerShot with the 2224-cell rows: a 1448 × 2176 picture 6 rows
  // down and 48 cells in; 12-bit cells stored as their high 10 bits coded
  // and their low 2 bits in a block of their own; the 48 masked cells of
  // each row give the black level.
  list.push_back({"canon_powershot.crw", "LadyBird.jpg", 1448, 2176, [](const TLKBitmap& Picture) {
                    constexpr int kRawRows = 1456, kRawCols = 2224, kTop = 6, kLeft = 48, kBlack = 128;
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1.592, 1, 1.261}, kBlack, 4000);
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const auto value = [&](int r, int c) {
                      const int y = r - kTop, x = c - kLeft;
                      return y >= 0 && y < h && x >= 0 && x < w ? cells[size_t(y) * w + x] : kBlack;
                    };
                    const rawkit::Bytes coded =
                        rawkit::canon_compressed(kRawRows, kRawCols, [&](int r, int c) { return value(r, c) >> 2; },
                                                 kCanonFirstTree[0], 29, kCanonSecondTree[0], 180);
                    // The sensor record comes first in the heap (at 26): the
                    // low bits, four cells a byte, band by band; the coded
                    // cells 514 bytes after them.
                    rawkit::Bytes sensor(size_t(kRawRows) * kRawCols / 4 + 514, 0);
                    for (int row = 0; row < kRawRows; ++row)
                      for (int col = 0; col < kRawCols; ++col) {
                        const size_t j = size_t(row) * kRawCols + col;
                        sensor[j / 4] = uint8_t(sensor[j / 4] | ((value(row, col) & 3) << (2 * (j % 4))));
                      }
                    // A 0xFF followed by a non-zero byte at 540 (low bits of
                    // the masked top row) marks the file as one with low bits.
                    sensor[514] = 0xFF;
                    sensor[515] = 0x01;
                    sensor.insert(sensor.end(), coded.begin(), coded.end());
                    rawkit::ByteWriter names(true);
                    names.text("Canon").text("Canon PowerShot Sample");
                    rawkit::ByteWriter sizes(true);
                    sizes.u16(0).u16(uint32_t(kRawCols)).u16(uint32_t(kRawRows));
                    std::vector<rawkit::CiffRecord> image = {rawkit::CiffBuilder::rec(0x080a, names.bytes())};
                    return rawkit::CiffBuilder(true).build_file({rawkit::CiffBuilder::rec(0x2005, sensor),
                                                                 rawkit::CiffBuilder::heap(0x300a, image),
                                                                 rawkit::CiffBuilder::rec(0x1031, sizes.bytes())});
                  }});
  // Nikon D1: 12-bit cells, packed, uncompressed.
  list.push_back({"nikon_d1.nef", "Aqua.jpg", 1000, 1500, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const std::vector<int> cells = Mosaic(pic, 0x16161616, {0.838, 1, 1.095}, 0, 4000);
                    const int w = pic.GetWidth();
                    return rawfiles::NikonTiff(pic.GetHeight(), w, "NIKON D1",
                                               [&](int r, int c) { return cells[size_t(r) * w + c]; });
                  }});
  // Minolta DiMAGE 7: 12-bit cells in 16-bit words; the file carries the
  // camera's white balance (red 1.9, blue 1.4).
  list.push_back({"minolta_dimage7.mrw", "TwoWings.jpg", 960, 1280, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1.9, 1, 1.4}, 0, 3900);
                    rawkit::Bytes file = rawkit::minolta_file(uint32_t(h), uint32_t(w), 1000);
                    // The balance block: red over green 570 / 300, blue 420 / 300.
                    const uint16_t balance[4] = {570, 300, 300, 420};
                    for (int i = 0; i < 4; ++i) {
                      file[436 + 2 * i] = uint8_t(balance[i] >> 8);
                      file[437 + 2 * i] = uint8_t(balance[i]);
                    }
                    const rawkit::Bytes data = rawkit::pack_words(h, w, [&](int r, int c) { return cells[size_t(r) * w + c]; }, true);
                    file.insert(file.end(), data.begin(), data.end());
                    return file;
                  }});
  // Nucore: 12-bit cells in little-endian 16-bit words.
  list.push_back({"nucore_scene.raw", "Wood.jpg", 900, 1350, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const std::vector<int> cells = Mosaic(pic, 0x61616161, {1, 1, 1}, 0, 4000);
                    const int w = pic.GetWidth();
                    return rawfiles::Nucore(pic.GetHeight(), w, [&](int r, int c) { return cells[size_t(r) * w + c]; });
                  }});
  // Pentax Optio S: 12-bit cells packed most significant bit first, each
  // 2068-cell row padded to 3136 bytes; the camera is known by the file's
  // size alone.
  list.push_back({"pentax_optio_s.raw", "Dune.jpg", 1544, 2068, [](const TLKBitmap& Picture) {
                    constexpr int kRowBytes = 3136;
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1.506, 1, 1.152}, 0, 4000);
                    rawkit::Bytes file = rawkit::pack_bits(h, w, 12, [&](int r, int c) { return cells[size_t(r) * w + c]; },
                                                           kRowBytes - w * 3 / 2);
                    file.resize(size_t(h) * kRowBytes);  // the bit writer's closing bytes would change the size
                    return file;
                  }});
  // Olympus E-10: a big-endian TIFF whose strips hold 16-bit words with
  // the 12-bit cell in their high bits.
  list.push_back({"olympus_e10.orf", "GreenMeadow.jpg", 900, 1200, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1.43, 1, 1.77}, 0, 4000);
                    const std::string make = "OLYMPUS OPTICAL CO.,LTD", model = "E-10";
                    // Header, five entries, the two names, the two strip
                    // offsets, then the cells.
                    const uint32_t names = 8 + 2 + 5 * 12 + 4, strips = (names + uint32_t(make.size() + model.size()) + 2 + 1) & ~1u;
                    const uint32_t data = strips + 8, half = uint32_t(h / 2) * uint32_t(w) * 2;
                    rawkit::ByteWriter t(false);
                    t.u16(0x4d4d).u16(42).u32(8).u16(5);
                    t.u16(256).u16(4).u32(1).u32(uint32_t(w));
                    t.u16(257).u16(4).u32(1).u32(uint32_t(h));
                    t.u16(271).u16(2).u32(uint32_t(make.size() + 1)).u32(names);
                    t.u16(272).u16(2).u32(uint32_t(model.size() + 1)).u32(names + uint32_t(make.size() + 1));
                    t.u16(273).u16(4).u32(2).u32(strips);
                    t.u32(0);
                    t.text(make).text(model);
                    while (t.bytes().size() < strips) t.u8(0);
                    t.u32(data).u32(data + half);
                    for (const int v : cells) t.u16(uint32_t(v) << 4);
                    return t.bytes();
                  }});
  // Casio QV-2000UX: 8-bit cells after two rows of header, known by size.
  list.push_back({"casio_qv2000ux.raw", "YellowFlower.jpg", 1208, 1632, [](const TLKBitmap& Picture) {
                    constexpr size_t kFileSize = 1976352, kDataOffset = 3264;
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1, 1, 1}, 0, 250);
                    rawkit::Bytes file(kDataOffset, 0);
                    for (const int v : cells) file.push_back(uint8_t(v));
                    file.resize(kFileSize, 0);
                    return file;
                  }});
  // Leaf: a big-endian TIFF with one tile of 16-bit cells.
  list.push_back({"leaf_back.raw", "Storm.jpg", 900, 1200, [](const TLKBitmap& Picture) {
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const int w = pic.GetWidth(), h = pic.GetHeight();
                    const std::vector<int> cells = Mosaic(pic, 0x94949494, {1.1629, 1, 1.3556}, 0, 64000);
                    constexpr uint32_t kData = 8 + 2 + 3 * 12 + 4;
                    rawkit::ByteWriter t(false);
                    t.u16(0x4d4d).u16(42).u32(8).u16(3);
                    t.u16(256).u16(4).u32(1).u32(uint32_t(w));
                    t.u16(257).u16(4).u32(1).u32(uint32_t(h));
                    t.u16(324).u16(4).u32(1).u32(kData);
                    t.u32(0);
                    for (const int v : cells) t.u16(uint32_t(v));
                    return t.bytes();
                  }});
  // Creative PC-CAM 600: 8-bit cells after a 1024-byte header, known by size.
  list.push_back({"creative_pccam600.raw", "RainDrops.jpg", 768, 1024, [](const TLKBitmap& Picture) {
                    constexpr size_t kFileSize = 787456, kDataOffset = 1024;
                    TLKBitmap pic;
                    pic.Assign(const_cast<TLKBitmap*>(&Picture));
                    const std::vector<int> cells = Mosaic(pic, 0x49494949, {1.14, 1, 2.73}, 0, 250);
                    rawkit::Bytes file(kDataOffset, 0);
                    for (const int v : cells) file.push_back(uint8_t(v));
                    file.resize(kFileSize, 0);
                    return file;
                  }});
  AddTurnedLayoutSamples(list);
  return list;
}

/// Writes every sample into Folder (which must exist), each from its
/// photograph in PhotoFolder. False with Error set when a photograph cannot
/// be read or a file cannot be written.
inline bool WritePhotoSamples(const std::string& Folder, const std::string& PhotoFolder, std::string& Error) {
  for (const PhotoSample& sample : PhotoSamples()) {
    TLKBitmap photo, picture;
    const std::string source = PhotoFolder + "/" + sample.photo;
    if (!LoadPhoto(source, photo)) {
      Error = "cannot read the photograph " + source;
      return false;
    }
    Prepare(photo, sample.height, sample.width, picture);
    const rawkit::Bytes bytes = sample.make(picture);
    const std::string path = Folder + "/" + sample.name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
      Error = "cannot write " + path;
      return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !ok) {
      Error = "cannot write " + path;
      return false;
    }
  }
  return true;
}

}  // namespace samples
