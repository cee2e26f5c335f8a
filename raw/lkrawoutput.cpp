// Colour conversion, gamma output into a bitmap and the upright turn of
// 45-degree sensor layouts.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "io/lkparams.h"
#include "raw/lkrawdevelop.h"
#include "raw/lkrawdevelop_internal.h"

namespace {

inline Word ClampSample(double v, Integer maximum) {
  // Truncation of the limited value; NaN (a broken matrix) counts as 0.
  if (!(v > 0)) return 0;
  return v >= maximum ? Word(maximum) : Word(Integer(v));
}

inline Word ClampSample(Integer v, Integer maximum) { return Word(std::clamp<Integer>(v, 0, maximum)); }

/// Brightness of a converted cell into sample 3, counted in the histogram.
inline void Brightness(TRAWDecoderState& s, Word* p) {
  const double sq = double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2];
  double b = std::sqrt(sq) / 2;
  if (b > 65535) b = 65535;
  const Integer v = Integer(b);
  p[3] = Word(v);
  ++s.histogram[v >> 3];
}

/// Picture rows and columns the output covers (the trimmed border left out).
struct TOutputArea {
  Integer top, left, rows, cols;
};

TOutputArea Area(const TRAWDecoderState& s) {
  const Integer t = s.trim ? 1 : 0;
  return {t, t, std::max<Integer>(0, s.height - 2 * t), std::max<Integer>(0, s.width - 2 * t)};
}

/// White point from the histogram: the bin where the brightest cells,
/// counted from the top, pass 1 % of the picture (0.5 % for FUJIFILM),
/// times 16; at least 1.
Integer WhitePoint(const TRAWDecoderState& s) {
  const double p = std::strcmp(s.make, "FUJIFILM") == 0 ? 0.005 : 0.01;
  const Int64 limit = Int64(std::trunc(p * s.height * s.width));
  Int64 total = 0;
  Integer bin = 0x1FFF;
  for (;; --bin) {
    total += s.histogram[bin];
    if (total > limit || bin == 0) break;
  }
  return bin ? bin * 16 : 1;
}

/// Output size in pixels, checked against the bitmap's 32-bit dimensions.
void OutputSize(const TRAWDecoderState& s, const TOutputArea& a, Integer& w, Integer& h, const char* stage) {
  const Int64 xmag = std::max<Integer>(1, s.xmag), ymag = std::max<Integer>(1, s.ymag);
  const Int64 ow = Int64(a.cols) * xmag, oh = Int64(a.rows) * ymag;
  if (ow * 8 > 0x7FFFFFFF || oh > 0x7FFFFFFF) throw EOutOfMemory(String(": Out of memory in ") + stage);
  w = Integer(ow);
  h = Integer(oh);
}

/// Output sample: truncated, limited to 0..top.
template <typename Sample>
inline Sample OutSample(double v, double top) {
  v = std::trunc(v);
  return v > 0 ? (v < top ? Sample(v) : Sample(top)) : Sample(0);
}

/// Frees the image array once the picture is in the bitmap.
void FreeImage(TRAWDecoderState& s) { std::vector<TRAWCell>().swap(s.image); }

/// Shared body of both outputs: `Pixel` is TRGB48 or TRGB with samples of
/// type `Sample`.
template <typename Pixel, typename Sample>
void WriteOutput(TRAWDecoderState& s, TLKBitmap& bitmap, TIOParamsVals& params, TLKPixelFormat format,
                 const char* stage) {
  constexpr bool wide = sizeof(Sample) == 2;
  params.BITSPERSAMPLE = wide ? 16 : 8;
  params.SAMPLESPERPIXEL = 3;

  const TOutputArea a = Area(s);
  const bool haveCells = develop_cells(s) != 0;
  Integer ow = 0, oh = 0;
  OutputSize(s, haveCells ? a : TOutputArea{0, 0, 0, 0}, ow, oh, stage);

  const double white = WhitePoint(s);
  const double top = wide ? 65535 : 255;
  std::vector<double> table(65536);
  const long double exponent = (long double)s.gamma - 1;
  const double scale = double(s.bright) * 442 / white;
  for (Integer i = 1; i < 65536; ++i) {
    double v = double(LKPower(2.0L * i / white, exponent)) * scale;
    if (wide) v *= 65535.0 / 255.0;
    table[size_t(i)] = v;
  }

  bitmap.Allocate(ow, oh, format);
  if (ow > 0 && oh > 0) {
    auto row = raw_alloc<Pixel>(ow, stage);
    const Integer xmag = std::max<Integer>(1, s.xmag), ymag = std::max<Integer>(1, s.ymag);
    const size_t rowBytes = size_t(ow) * sizeof(Pixel);
    for (Integer r = 0; r < a.rows; ++r) {
      const TRAWCell* cell = s.image.data() + size_t(r + a.top) * size_t(s.width) + size_t(a.left);
      Pixel* out = row.get();
      for (Integer c = 0; c < a.cols; ++c, ++cell) {
        const double t = table[(*cell)[3]];
        Pixel px;
        px.r = OutSample<Sample>((*cell)[0] * t, top);
        px.g = OutSample<Sample>((*cell)[1] * t, top);
        px.b = OutSample<Sample>((*cell)[2] * t, top);
        for (Integer k = 0; k < xmag; ++k) *out++ = px;
      }
      for (Integer k = 0; k < ymag; ++k) std::memcpy(bitmap.GetScanLine(r * ymag + k), row.get(), rowBytes);
    }
  }
  FreeImage(s);
}

}  // namespace

void convert_colors_to_rgb(TRAWDecoderState& s) {
  std::fill(std::begin(s.histogram), std::end(s.histogram), 0);
  if (!develop_cells(s)) return;
  const TOutputArea a = Area(s);
  const int colors = std::clamp<Integer>(s.colors, 1, 4);
  const Integer maximum = std::clamp<Integer>(s.maximum, 0, 65535);
  for (Integer r = 0; r < a.rows; ++r) {
    Word* p = s.image.data()[size_t(r + a.top) * size_t(s.width) + size_t(a.left)].data();
    for (Integer c = 0; c < a.cols; ++c, p += 4) {
      if (colors == 4 && !s.use_coeff) p[1] = Word((Integer(p[1]) + p[3]) >> 1);
      if (colors == 1) {
        const Word v = ClampSample(Integer(p[0]), maximum);
        p[0] = p[1] = p[2] = v;
      } else if (s.use_coeff) {
        double out[3];
        for (int i = 0; i < 3; ++i) {
          double v = 0;
          for (int k = 0; k < colors; ++k) v += double(p[k]) * s.coeff[i][k];
          out[i] = v;
        }
        for (int i = 0; i < 3; ++i) p[i] = ClampSample(out[i], maximum);
      } else if (s.use_cmy) {
        const Integer c0 = p[0], c1 = p[1], c2 = p[2];
        p[0] = ClampSample(c0 + c1 - c2, maximum);
        p[1] = ClampSample(c1 + c2 - c0, maximum);
        p[2] = ClampSample(c2 + c0 - c1, maximum);
      }
      Brightness(s, p);
    }
  }
}

void write_ppm16(TRAWDecoderState& s, TLKBitmap& bitmap, TIOParamsVals& params) {
  WriteOutput<TRGB48, Word>(s, bitmap, params, lk48RGB, "write_ppm16()");
}

void write_ppm(TRAWDecoderState& s, TLKBitmap& bitmap, TIOParamsVals& params) {
  WriteOutput<TRGB, Byte>(s, bitmap, params, lk24RGB, "write_ppm()");
}

// ---- Upright turn of 45-degree layouts -----------------------------------------

namespace {

template <typename Pixel>
bool IsBlack(const Pixel& p) {
  return p.r == 0 && p.g == 0 && p.b == 0;
}

template <typename Pixel, typename Sample>
void FujiRotate(TLKBitmap& bitmap, TLKPixelFormat format) {
  if (bitmap.GetPixelFormat() != format) return;
  const Integer W = bitmap.GetWidth(), H = bitmap.GetHeight();
  if (W <= 0 || H <= 0) return;
  const auto* first = static_cast<const Pixel*>(bitmap.GetScanLine(0));
  Integer z = 0;
  while (z < W && IsBlack(first[z])) ++z;
  Integer last = W - 1;
  while (last >= 0 && IsBlack(first[last])) --last;
  // An all-black first row gives no layout to follow: leave the picture.
  const Int64 a64 = 2 * Int64(W) - 2 * Int64(z) - 4;
  if (last <= 0 || a64 <= 1 || a64 > 0x7FFFFFF || 2 * Int64(last) > 0x7FFFFFF) return;
  const Integer a = Integer(a64);

  // The 45-degree grid: a rows × last columns.
  const size_t gw = size_t(last);
  std::vector<Pixel> grid(size_t(a) * gw, Pixel{});
  for (Integer r = 0; r < H; ++r) {
    const auto* src = static_cast<const Pixel*>(bitmap.GetScanLine(r));
    for (Integer j = 0; j < W; ++j) {
      const Int64 e = Int64(j) + r - last + 5;
      const Int64 g = (Int64(j) + last - r - 1) / 2;
      if (e >= 0 && e < a && g >= 0 && g < last) grid[size_t(e) * gw + size_t(g)] = src[j];
    }
  }

  const Integer nw = 2 * last;
  TLKBitmap result(nw, a, format);
  std::vector<Pixel> row(size_t(nw), Pixel{});
  auto at = [&](Integer j, Integer col) -> const Pixel& { return grid[size_t(j) * gw + size_t(col)]; };
  for (Integer j = 1; j < a; ++j) {
    for (Integer k = 1; k < nw; ++k) {
      const Pixel& p = at(j, k / 2);
      if (((j + k) & 1) == 0) {
        row[size_t(k)] = p;
      } else if (j <= a - 2 && k <= nw - 2) {
        const Integer lc = (j & 1) ? k / 2 - 1 : k / 2;
        const Pixel& up = at(j - 1, k / 2);
        const Pixel& down = at(j + 1, k / 2);
        const Pixel& left = at(j, lc);
        const Pixel& right = at(j, lc + 1);
        Pixel& o = row[size_t(k)];
        o.r = Sample((Integer(up.r) + down.r + left.r + right.r) >> 2);
        o.g = Sample((Integer(up.g) + down.g + left.g + right.g) >> 2);
        o.b = Sample((Integer(up.b) + down.b + left.b + right.b) >> 2);
      }
    }
    std::memcpy(result.GetScanLine(j - 1), row.data(), size_t(nw) * sizeof(Pixel));
  }
  // The last row is never produced by the turn: keep it black rather than
  // leaving whatever the new allocation held.
  std::memset(result.GetScanLine(a - 1), 0, size_t(nw) * sizeof(Pixel));
  bitmap.Assign(&result);
}

}  // namespace

void fuji_rotate_48(TLKBitmap& bitmap) { FujiRotate<TRGB48, Word>(bitmap, lk48RGB); }

void fuji_rotate_24(TLKBitmap& bitmap) { FujiRotate<TRGB, Byte>(bitmap, lk24RGB); }
