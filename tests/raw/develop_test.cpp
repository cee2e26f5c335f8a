#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "raw/lkrawdevelop.h"

namespace {

using RGB = std::array<int, 3>;
using Picture = std::function<RGB(int row, int col)>;

constexpr Cardinal kRGGB = 0x94949494u;
/// The four phases of a three-colour 2 × 2 filter tile.
constexpr Cardinal kBayerPhases[] = {0x94949494u, 0x61616161u, 0x16161616u, 0x49494949u};

/// A decoded picture of h × w cells, as a loader leaves it.
std::unique_ptr<TRAWDecoderState> make_state(int h, int w, Cardinal filters = kRGGB, int colors = 3) {
  auto s = std::make_unique<TRAWDecoderState>();
  s->height = s->iheight = s->raw_height = h;
  s->width = s->iwidth = s->raw_width = w;
  s->filters = filters;
  s->colors = colors;
  alloc_image(*s);
  return s;
}

TRAWCell& cell(TRAWDecoderState& s, int row, int col) { return s.image[size_t(row) * size_t(s.width) + size_t(col)]; }

/// Stores in every cell the sample of its filter colour taken from `pic`.
void mosaic(TRAWDecoderState& s, const Picture& pic) {
  for (int r = 0; r < s.height; ++r)
    for (int c = 0; c < s.width; ++c) {
      const int col = cell_color(s, r, c);
      cell(s, r, c)[col] = Word(pic(r, c)[col]);
    }
}

/// PSNR (peak 4095) of the demosaiced cells against `pic` over the cells at
/// least `border` away from the edge.
double psnr(TRAWDecoderState& s, const Picture& pic, int border) {
  double err = 0;
  int n = 0;
  for (int r = border; r < s.height - border; ++r)
    for (int c = border; c < s.width - border; ++c)
      for (int k = 0; k < 3; ++k) {
        const double d = double(cell(s, r, c)[k]) - pic(r, c)[k];
        err += d * d;
        ++n;
      }
  return err == 0 ? 200 : 10 * std::log10(4095.0 * 4095.0 * n / err);
}

RGB smooth(int r, int c) {
  return {int(2000 + 900 * std::sin(c / 9.0) * std::cos(r / 11.0)), int(2000 + 800 * std::cos((r + c) / 13.0)),
          int(1800 + 700 * std::sin(r / 8.0 + 1))};
}

/// Two colours split by a slanted edge.
RGB edge(int r, int c) { return 3 * c + r < 90 ? RGB{3200, 900, 400} : RGB{500, 2600, 3500}; }

void develop(TRAWDecoderState& s, bool quick) {
  s.maximum = 4095;
  s.quick_interpolate = quick;
  vng_interpolate(s);
}

}  // namespace

// ---- White balance --------------------------------------------------------------

// Hand-worked balance: black 100, white 4195. Red, green and blue sit at
// 1000, 2000 and 500 above black; one red sample within 100 of white is not
// counted, one green sample at black counts as 0. Averages: red 1000, green
// 7 × 2000 / 8 = 1750, blue 500, so the multipliers are 1.75, 1, 3.5, and
// the red scale 1.5 makes red 2.625.
TEST(RawWhiteBalanceTest, AutomaticBalanceWorkedNumbers) {
  auto s = make_state(4, 4);
  s->black = 100;
  s->maximum = 4195;
  s->use_auto_wb = true;
  s->red_scale = 1.5f;
  mosaic(*s, [](int, int) { return RGB{1100, 2100, 600}; });
  cell(*s, 2, 2)[0] = 4100;  // near white: left out of the average, clipped
  cell(*s, 0, 1)[1] = 100;   // at black: becomes 0
  apply_white_balance(*s);
  EXPECT_EQ(s->maximum, 4095);
  EXPECT_FLOAT_EQ(s->pre_mul[0], 2.625f);
  EXPECT_FLOAT_EQ(s->pre_mul[1], 1.0f);
  EXPECT_FLOAT_EQ(s->pre_mul[2], 3.5f);
  EXPECT_EQ(cell(*s, 0, 0)[0], 2625);
  EXPECT_EQ(cell(*s, 1, 0)[1], 2000);
  EXPECT_EQ(cell(*s, 1, 1)[2], 1750);
  EXPECT_EQ(cell(*s, 2, 2)[0], 4095);
  EXPECT_EQ(cell(*s, 0, 1)[1], 0);
  EXPECT_EQ(cell(*s, 0, 0)[1], 0);  // missing colours stay 0
}

// Multipliers from each source of balance; colours without a usable average
// get 1 instead of a division by zero.
TEST(RawWhiteBalanceTest, MultiplierSources) {
  struct Case {
    const char* name;
    std::function<void(TRAWDecoderState&)> setup;
    std::array<float, 3> mul;
  };
  const Case cases[] = {
      {"defaults with scales", [](TRAWDecoderState& s) {
         s.pre_mul[0] = 1.5f; s.pre_mul[2] = 1.25f; s.red_scale = 2; s.blue_scale = 0.5f;
       }, {3.0f, 1.0f, 0.625f}},
      {"matrix leaves scales to the matrix", [](TRAWDecoderState& s) {
         s.use_coeff = true; s.red_scale = 2; s.blue_scale = 3;
       }, {1, 1, 1}},
      {"camera white block", [](TRAWDecoderState& s) {
         s.use_camera_wb = true; s.black = 10;
         // RGGB block: red 410, green 210, blue 110 -> averages 400, 200, 100.
         for (int r = 0; r < 8; ++r)
           for (int c = 0; c < 8; ++c) s.white[r][c] = SmallInt(410 - 200 * cell_color(s, r, c) + (cell_color(s, r, c) == 2 ? 100 : 0));
       }, {1, 2, 4}},
      {"camera multipliers when the block is empty", [](TRAWDecoderState& s) {
         s.use_camera_wb = true; s.camera_red = 1.8f; s.camera_blue = 1.2f;
       }, {1.8f, 1, 1.2f}},
      {"unusable camera balance falls back to automatic", [](TRAWDecoderState& s) {
         s.use_camera_wb = true; s.camera_red = -1;
       }, {1, 2, 4}},
      {"all samples near white: nothing counted", [](TRAWDecoderState& s) {
         s.use_auto_wb = true;
         for (auto& c : s.image) for (auto& v : c) if (v) v = 4090;
       }, {1, 1, 1}},
      {"all samples at black: zero averages", [](TRAWDecoderState& s) {
         s.use_auto_wb = true; s.black = 5000;
       }, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = make_state(4, 4);
    s->maximum = 4095;
    mosaic(*s, [](int, int) { return RGB{1000, 500, 250}; });
    c.setup(*s);
    apply_white_balance(*s);
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(s->pre_mul[k], c.mul[k]) << k;
    for (const auto& cl : s->image)
      for (int k = 0; k < 3; ++k) EXPECT_LE(cl[k], std::max(s->maximum, 0));
  }
}

// ---- Demosaicing ----------------------------------------------------------------

// A smooth picture mosaicked in every phase of the filter tile comes back
// close to the original from both passes; a wrong phase or colour code
// would fall far below these bounds.
TEST(RawDemosaicTest, SmoothPictureEveryPhase) {
  for (Cardinal filters : kBayerPhases)
    for (bool quick : {true, false}) {
      SCOPED_TRACE(testing::Message() << std::hex << filters << (quick ? " quick" : " refined"));
      auto s = make_state(41, 37, filters);
      mosaic(*s, smooth);
      develop(*s, quick);
      EXPECT_GT(psnr(*s, smooth, 2), 50.0);
    }
}

// Across a sharp edge the refinement does no worse than the bilinear pass,
// in every phase, and the refinement changes the bilinear result there.
TEST(RawDemosaicTest, RefinementAtEdges) {
  for (Cardinal filters : kBayerPhases) {
    SCOPED_TRACE(testing::Message() << std::hex << filters);
    auto quick = make_state(40, 40, filters), full = make_state(40, 40, filters);
    mosaic(*quick, edge);
    mosaic(*full, edge);
    develop(*quick, true);
    develop(*full, false);
    const double pq = psnr(*quick, edge, 2), pf = psnr(*full, edge, 2);
    EXPECT_GE(pf, pq);
    EXPECT_NE(quick->image, full->image);
  }
}

// The outermost ring keeps only its measured colour; the ring inside it is
// filled by the bilinear pass; a uniform picture is left as it is, for
// three-colour and four-colour tiles.
TEST(RawDemosaicTest, BordersAndUniformField) {
  struct Case {
    Cardinal filters;
    int colors;
  };
  const Case cases[] = {{kRGGB, 3}, {0xe1e4e1e4u, 4}, {0xb4b4b4b4u, 4}, {0x1e4e1e4eu, 4}};
  const TRAWCell field = {700, 900, 1100, 1300};
  for (const Case& k : cases)
    for (bool quick : {false, true}) {
      SCOPED_TRACE(testing::Message() << std::hex << k.filters << (quick ? " quick" : ""));
      auto s = make_state(10, 9, k.filters, k.colors);
      for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 9; ++c) cell(*s, r, c)[cell_color(*s, r, c)] = field[cell_color(*s, r, c)];
      develop(*s, quick);
      TRAWCell corner{};
      corner[cell_color(*s, 9, 8)] = field[cell_color(*s, 9, 8)];
      EXPECT_EQ(cell(*s, 9, 8), corner);
      TRAWCell inner = field;
      if (k.colors == 3) inner[3] = 0;
      for (int r = 1; r < 9; ++r)
        for (int c = 1; c < 8; ++c) ASSERT_EQ(cell(*s, r, c), inner) << r << "," << c;
    }
}

// ---- Conversion and output ------------------------------------------------------

// Colour conversion of one cell per sensor kind, brightness included.
TEST(RawConvertTest, SensorKinds) {
  struct Case {
    const char* name;
    int colors;
    bool cmy, matrix;
    TRAWCell in, out;
  };
  const Case cases[] = {
      {"monochrome, clipped to white", 1, false, false, {5000, 0, 0, 0}, {4095, 4095, 4095, 3546}},
      {"CMY", 3, true, false, {1000, 2000, 1500, 0}, {1500, 2500, 500, 1479}},
      {"matrix, negative clipped", 3, false, true, {1000, 2000, 3000, 0}, {2000, 2000, 0, 1414}},
      {"four colours, greens averaged", 4, false, false, {100, 200, 300, 400}, {100, 300, 300, 217}},
      {"plain RGB", 3, false, false, {30, 40, 0, 0}, {30, 40, 0, 25}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = make_state(1, 1, 0, c.colors);
    s->maximum = 4095;
    s->use_cmy = c.cmy;
    if (c.matrix) {
      const float m[3][4] = {{1, 0.5f, 0, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}};
      std::memcpy(s->coeff, m, sizeof m);
      s->use_coeff = true;
    }
    s->image[0] = c.in;
    convert_colors_to_rgb(*s);
    EXPECT_EQ(s->image[0], c.out);
    EXPECT_EQ(s->histogram[c.out[3] >> 3], 1);
  }
}

// A grey field through balance, both demosaic passes, conversion and both
// outputs. Raw red, green, blue 64 + (500, 1000, 250) with black 64 and the
// camera multipliers 2, 1, 4 balance to 1000 everywhere. Brightness
// trunc(√3 × 1000 / 2) = 866 falls in bin 108, so white = 1728 (1 % of 63
// cells is 0). With gamma 0.6 and bright 0.5 the table entry is
// (1732 / 1728)^-0.4 × 221 / 1728, and 1000 × it = 127.775: 127 at 8 bits,
// 32838 at 16 bits (× 65535 / 255). The bitmap drops the one-cell border.
TEST(RawOutputTest, GreyFieldThroughThePipeline) {
  for (bool wide : {false, true})
    for (bool quick : {false, true}) {
      SCOPED_TRACE(testing::Message() << (wide ? "48-bit" : "24-bit") << (quick ? " quick" : " refined"));
      auto s = make_state(9, 7, 0x16161616u);
      s->black = 64;
      s->maximum = 4095 + 64;
      s->pre_mul[0] = 2;
      s->pre_mul[2] = 4;
      s->gamma = 0.6f;
      s->bright = 0.5f;
      s->quick_interpolate = quick;
      mosaic(*s, [](int, int) { return RGB{564, 1064, 314}; });
      apply_white_balance(*s);
      s->trim = true;
      vng_interpolate(*s);
      convert_colors_to_rgb(*s);
      TLKBitmap bmp;
      TIOParamsVals params;
      if (wide) write_ppm16(*s, bmp, params); else write_ppm(*s, bmp, params);
      EXPECT_TRUE(s->image.empty());
      ASSERT_EQ(bmp.GetWidth(), 5);
      ASSERT_EQ(bmp.GetHeight(), 7);
      EXPECT_EQ(params.BITSPERSAMPLE, wide ? 16 : 8);
      EXPECT_EQ(params.SAMPLESPERPIXEL, 3);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 5; ++x) {
          if (wide) {
            ASSERT_EQ(static_cast<TRGB48*>(bmp.GetScanLine(y))[x], (TRGB48{32838, 32838, 32838}));
          } else {
            ASSERT_EQ(static_cast<TRGB*>(bmp.GetScanLine(y))[x], (TRGB{127, 127, 127}));
          }
        }
    }
}

// The worked output: a cell (4000, 2000, 1000) whose table entry is 0.05
// (gamma 1, bright 0.4, white 221 × 16) gives red 200, green 100, blue 50,
// stored blue first; at 16 bits the entry is 0.05 × 257.
TEST(RawOutputTest, WorkedCellAndSampleOrder) {
  for (bool wide : {false, true}) {
    auto s = make_state(1, 1, 0);
    s->gamma = 1;
    s->bright = 0.4f;
    s->image[0] = {4000, 2000, 1000, 1000};
    s->histogram[221] = 1;
    TLKBitmap bmp;
    TIOParamsVals params;
    if (wide) {
      write_ppm16(*s, bmp, params);
      EXPECT_EQ(*static_cast<TRGB48*>(bmp.GetScanLine(0)), (TRGB48{51400, 25700, 12850}));
    } else {
      write_ppm(*s, bmp, params);
      const Byte* p = static_cast<Byte*>(bmp.GetScanLine(0));
      EXPECT_EQ(p[0], 50);
      EXPECT_EQ(p[1], 100);
      EXPECT_EQ(p[2], 200);
    }
  }
}

// The white point: 99.5 % for FUJIFILM, 99 % for other makes, 1 for a
// black picture. 10000 cells: 60 at bin 1000, 60 at bin 500, the rest low.
TEST(RawOutputTest, WhitePoint) {
  struct Case {
    const char* make;
    bool black;
    Byte value;
  };
  const Case cases[] = {
      {"FUJIFILM", false, 27},  // white 16000: 1000 × 442 / 16000 = 27.6
      {"NIKON", false, 55},     // white 8000: 55.25
      {"NIKON", true, 0},       // all black: white 1, black bitmap
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.make);
    auto s = make_state(100, 100, 0);
    set_text(s->make, c.make);
    s->gamma = 1;
    if (c.black) {
      convert_colors_to_rgb(*s);
      EXPECT_EQ(s->histogram[0], 10000);
    } else {
      for (auto& cl : s->image) cl = {1000, 1000, 1000, 1};
      s->histogram[1000] = 60;
      s->histogram[500] = 60;
      s->histogram[10] = 10000 - 120;
    }
    TLKBitmap bmp;
    TIOParamsVals params;
    write_ppm(*s, bmp, params);
    EXPECT_EQ(static_cast<TRGB*>(bmp.GetScanLine(57))[31], (TRGB{c.value, c.value, c.value}));
  }
}

// Non-square sensors: each pixel is repeated xmag times and each row ymag
// times.
TEST(RawOutputTest, PixelRepetition) {
  auto s = make_state(3, 2, 0);
  s->gamma = 1;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 2; ++c) cell(*s, r, c) = {Word(1000 * (r + 1)), Word(500 * (c + 1)), 0, 1};
  s->histogram[400] = 6;  // white 6400: entry 442 / 6400
  s->xmag = 2;
  s->ymag = 3;
  TLKBitmap bmp;
  TIOParamsVals params;
  write_ppm16(*s, bmp, params);
  ASSERT_EQ(bmp.GetWidth(), 4);
  ASSERT_EQ(bmp.GetHeight(), 9);
  const double t = 442.0 / 6400 * 65535 / 255;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 4; ++x) {
      const TRGB48 px = static_cast<TRGB48*>(bmp.GetScanLine(y))[x];
      EXPECT_EQ(px.r, Word(1000 * (y / 3 + 1) * t)) << y << "," << x;
      EXPECT_EQ(px.g, Word(500 * (x / 2 + 1) * t)) << y << "," << x;
    }
}

// Every stage on tiny and odd sizes stays inside the image array (checked
// by the address sanitizer) and the bitmap has the trimmed size.
TEST(RawDevelopTest, TinyAndOddSizes) {
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 5}, {2, 2}, {3, 3}, {4, 5}, {5, 4}, {5, 5}, {6, 7}, {9, 3}};
  for (auto [h, w] : sizes)
    for (bool quick : {false, true}) {
      SCOPED_TRACE(testing::Message() << h << "x" << w << (quick ? " quick" : ""));
      auto s = make_state(h, w);
      mosaic(*s, smooth);
      s->maximum = 4095;
      s->use_auto_wb = true;
      s->quick_interpolate = quick;
      apply_white_balance(*s);
      s->trim = true;
      vng_interpolate(*s);
      convert_colors_to_rgb(*s);
      TLKBitmap bmp;
      TIOParamsVals params;
      write_ppm(*s, bmp, params);
      EXPECT_EQ(bmp.GetWidth(), std::max(0, w - 2));
      EXPECT_EQ(bmp.GetHeight(), std::max(0, h - 2));

      auto f = make_state(h, w, 0);
      for (auto& cl : f->image) cl = {1200, 900, 600, 0};
      foveon_interpolate(*f);
      for (const auto& cl : f->image) EXPECT_LE(cl[0], 24000);
    }
}

// A repetition that would make the bitmap wider than 32-bit sizes allow is
// refused before anything is allocated.
TEST(RawOutputTest, OversizedRepetitionIsRefused) {
  auto s = make_state(2, 3, 0);
  s->xmag = 0x7FFFFFFF;
  TLKBitmap bmp;
  TIOParamsVals params;
  EXPECT_THROW(write_ppm16(*s, bmp, params), EOutOfMemory);
  EXPECT_EQ(bmp.GetWidth(), 0);
}

// An image array smaller than the picture size is left alone rather than
// read past its end.
TEST(RawDevelopTest, ShortImageArrayIsNotTouched) {
  auto s = make_state(4, 4);
  mosaic(*s, smooth);
  const auto before = s->image;
  s->height = 400;
  s->use_auto_wb = true;
  apply_white_balance(*s);
  vng_interpolate(*s);
  convert_colors_to_rgb(*s);
  foveon_interpolate(*s);
  EXPECT_EQ(s->image, before);
}

// ---- Foveon ------------------------------------------------------------------------

// One grey cell (1000, 1000, 1000) through the correction (no neighbours:
// x = 1000, w = 61 five times, 3 three times) and the colour matrix; the
// other steps need larger pictures. Hand-computed: correction gives
// (1023, 989, 1101), the matrix (764, 498, 1016).
TEST(RawFoveonTest, SingleCellCorrectionAndMatrix) {
  auto s = make_state(1, 1, 0);
  s->image[0] = {1000, 1000, 1000, 0};
  foveon_interpolate(*s);
  EXPECT_EQ(s->image[0], (TRAWCell{764, 498, 1016, 0}));
}

// ---- SuperCCD turn ------------------------------------------------------------------

// A uniform diamond-shaped layout turns into an upright picture of the same
// colour, 2 × last columns and 2W - 2z - 4 rows, its last row black; a
// picture whose first row is black is left as it was.
TEST(RawFujiRotateTest, UprightTurn) {
  const int W = 12, H = 10;
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "48-bit" : "24-bit");
    TLKBitmap bmp(W, H, wide ? lk48RGB : lk24RGB);
    for (int y = 0; y < H; ++y) {
      Byte* row = static_cast<Byte*>(bmp.GetScanLine(y));
      const int bpp = wide ? 6 : 3;
      for (int x = 0; x < W; ++x)
        for (int k = 0; k < bpp; ++k) row[x * bpp + k] = (y == 0 && (x < 2 || x > 9)) ? 0 : Byte(40 + k);
    }
    if (wide) fuji_rotate_48(bmp); else fuji_rotate_24(bmp);
    ASSERT_EQ(bmp.GetWidth(), 18);   // last = 9
    ASSERT_EQ(bmp.GetHeight(), 16);  // 24 - 4 - 4
    const int bpp = wide ? 6 : 3;
    const Byte* mid = static_cast<Byte*>(bmp.GetScanLine(7));
    for (int k = 0; k < bpp; ++k) EXPECT_EQ(mid[9 * bpp + k], 40 + k);
    const Byte* lastRow = static_cast<Byte*>(bmp.GetScanLine(15));
    for (int i = 0; i < 18 * bpp; ++i) EXPECT_EQ(lastRow[i], 0);
  }
  TLKBitmap black(5, 4, lk24RGB);
  for (int y = 0; y < 4; ++y) std::memset(black.GetScanLine(y), y == 0 ? 0 : 9, 15);
  fuji_rotate_24(black);
  EXPECT_EQ(black.GetWidth(), 5);
  EXPECT_EQ(black.GetHeight(), 4);
}
