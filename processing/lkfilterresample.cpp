#include "processing/lkfilterresample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"
#include "processing/lkresample_util.h"

using namespace lkresample;

namespace {

// ---------------------------------------------------------------------------
// Kernels

constexpr double kPi = 3.14159265358979323846;

double TriangleKernel(double x) {
  x = std::fabs(x);
  return x < 1 ? 1 - x : 0;
}

double HermiteKernel(double x) {
  x = std::fabs(x);
  return x < 1 ? (2 * x - 3) * x * x + 1 : 0;
}

double BellKernel(double x) {
  x = std::fabs(x);
  if (x < 0.5) return 0.75 - x * x;
  if (x < 1.5) {
    const double t = x - 1.5;
    return 0.5 * t * t;
  }
  return 0;
}

double BSplineKernel(double x) {
  x = std::fabs(x);
  if (x < 1) return (0.5 * x - 1) * x * x + 2.0 / 3.0;
  if (x < 2) {
    const double t = 2 - x;
    return t * t * t / 6;
  }
  return 0;
}

double Sinc(double t) {
  if (t == 0) return 1;
  const double a = t * kPi;
  return std::sin(a) / a;
}

double Lanczos3Kernel(double x) {
  x = std::fabs(x);
  return x < 3 ? Sinc(x) * Sinc(x / 3) : 0;
}

// The Mitchell-Netravali cubic with B = C = 1/3.
double MitchellKernel(double x) {
  x = std::fabs(x);
  const double x2 = x * x;
  if (x < 1) return (7 * x * x2 - 12 * x2 + 16.0 / 3.0) / 6;
  if (x < 2) return (-(7.0 / 3.0) * x * x2 + 12 * x2 - 20 * x + 32.0 / 3.0) / 6;
  return 0;
}

// A half-open box: +0.5 is inside, -0.5 outside.
double NearestKernel(double x) { return x > -0.5 && x <= 0.5 ? 1 : 0; }

double LinearKernel(double x) {
  if (x >= -1 && x < 0) return 1 + x;
  if (x >= 0 && x < 1) return 1 - x;
  return 0;
}

// Kernels of the filter ordinals 1 (rfTriangle) to 8 (rfLinear).
constexpr TLKResampleKernel kKernels[8] = {
    {TriangleKernel, 1.0}, {HermiteKernel, 1.0},  {BellKernel, 1.5},    {BSplineKernel, 2.0},
    {Lanczos3Kernel, 3.0}, {MitchellKernel, 2.0}, {NearestKernel, 1.0}, {LinearKernel, 1.0},
};

// ---------------------------------------------------------------------------
// Contributor lists

// The weighted source pixels of every destination pixel of one axis, as
// flat arrays: list i holds entries first[i] .. first[i + 1] - 1.
struct Contributors {
  std::vector<Integer> first;
  std::vector<Integer> index;
  std::vector<Integer> weight;
  std::vector<Integer> sum;     // sum of the weights of each list
  std::vector<Int64> absSum;    // sum of their absolute values
};

// Source index of tap j on an axis of n pixels: mirrored at the edges (-j on
// the left, 2n - j - 1 on the right), then clamped, so a narrow source whose
// mirror still falls outside reads its edge pixel.
inline Integer MirrorIndex(Int64 j, Integer n) {
  if (j < 0)
    j = -j;
  else if (j >= n)
    j = 2 * Int64{n} - j - 1;
  return static_cast<Integer>(std::clamp<Int64>(j, 0, n - 1));
}

// Builds the contributor lists for n source and m destination pixels. The
// first and last pixels of the two axes map onto each other; a reduced axis
// stretches the kernel by the reduction factor. Weights are the kernel
// values times 256, rounded half to even; zero weights are not stored. A
// pixel whose weights all round to 0 takes the nearest source pixel.
void BuildContributors(Integer n, Integer m, const TLKResampleKernel& kernel, Contributors& out) {
  try {
    const double s =
        n > 1 && m > 1 ? static_cast<double>(m - 1) / (n - 1) : static_cast<double>(m) / n;
    const bool enlarge = s >= 1;
    const double f = enlarge ? 1.0 : 1.0 / s;
    const double w = kernel.Support * f;
    out.first.assign(static_cast<size_t>(m) + 1, 0);
    out.sum.assign(static_cast<size_t>(m), 0);
    out.absSum.assign(static_cast<size_t>(m), 0);
    out.index.clear();
    out.weight.clear();
    const auto estimate = static_cast<size_t>(std::min(static_cast<double>(m) * (2 * w + 1), 1e8));
    out.index.reserve(estimate);
    out.weight.reserve(estimate);
    for (Integer i = 0; i < m; ++i) {
      out.first[static_cast<size_t>(i)] = static_cast<Integer>(out.index.size());
      const double c = i / s;
      const Int64 left = static_cast<Int64>(std::floor(c - w));
      const Int64 right = static_cast<Int64>(std::ceil(c + w));
      Integer sum = 0;
      Int64 absSum = 0;
      for (Int64 j = left; j <= right; ++j) {
        const double d = c - static_cast<double>(j);
        const Integer wt = enlarge ? LKRound(kernel.Kernel(d) * 256) : LKRound(kernel.Kernel(d / f) * 256 / f);
        if (wt == 0) continue;
        out.index.push_back(MirrorIndex(j, n));
        out.weight.push_back(wt);
        sum += wt;
        absSum += wt < 0 ? -Int64{wt} : Int64{wt};
      }
      if (sum == 0 && absSum == 0) {
        // Every weight rounded to 0 (a strong reduction with a narrow
        // kernel): the nearest source pixel stands in rather than black.
        out.index.push_back(std::clamp(LKRound(c), 0, n - 1));
        out.weight.push_back(256);
        sum = 256;
        absSum = 256;
      }
      out.sum[static_cast<size_t>(i)] = sum;
      out.absSum[static_cast<size_t>(i)] = absSum;
    }
    out.first[static_cast<size_t>(m)] = static_cast<Integer>(out.index.size());
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
}

// Normalisation of one list's channel sums: divided by the weight sum
// (truncating toward zero), or, for a sum of 0, the channel sum read as an
// unsigned 32-bit number shifted right by 8; then limited to 0..255.
class Normaliser {
 public:
  Normaliser(Integer sum, Int64 absSum) : zero_(sum == 0), div_(sum == 0 ? 1 : sum, 255 * absSum) {}
  Byte operator()(Integer channelSum) const {
    if (zero_) return static_cast<Byte>(blimit(static_cast<Integer>(static_cast<DWORD>(channelSum) >> 8)));
    return static_cast<Byte>(blimit(div_(channelSum)));
  }

 private:
  bool zero_;
  TruncDivider div_;
};

std::vector<Normaliser> MakeNormalisers(const Contributors& c) {
  std::vector<Normaliser> out;
  out.reserve(c.sum.size());
  for (size_t i = 0; i < c.sum.size(); ++i) out.emplace_back(c.sum[i], c.absSum[i]);
  return out;
}

// a[k] += weight * src[k] over a row; the pointers never overlap, which the
// compiler is told so that it can vectorise the loop. Kept out of line: merged
// into the loop over the contributors it was fused into a scalar loop.
[[gnu::noinline]] void MultiplyAddRow(Integer* __restrict a, const Byte* __restrict src, Integer weight, Int64 count) {
  for (Int64 k = 0; k < count; ++k) a[k] += weight * static_cast<Integer>(src[k]);
}

// Rows of the horizontal pass handled together.
constexpr Integer kBlockRows = 16;

// Sums of one destination column for all lanes of a block of rows turned on
// their side (block: source column x at x * Lanes, lane r * channels + c
// holding channel c of row r).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMERAK_TSAN)
__attribute__((target_clones("avx2", "default")))
#endif
void SumColumn(const Byte* __restrict block, const Integer* __restrict idx, const Integer* __restrict wts,
               Integer count, Integer* __restrict acc, Integer lanes) {
  for (Integer l = 0; l < lanes; ++l) acc[l] = 0;
  for (Integer e = 0; e < count; ++e) {
    const Byte* px = block + Int64{idx[e]} * lanes;
    const Integer wt = wts[e];
    for (Integer l = 0; l < lanes; ++l) acc[l] += wt * static_cast<Integer>(px[l]);
  }
}

template <Integer Lanes>
void HorizontalBlock(const Byte* block, const Contributors& cols, const std::vector<Normaliser>& norm, Byte* out,
                     Int64 midRow, Integer rows, Integer channels) {
  alignas(32) Integer acc[Lanes];
  const Integer w2 = static_cast<Integer>(norm.size());
  for (Integer i = 0; i < w2; ++i) {
    const Integer first = cols.first[static_cast<size_t>(i)];
    SumColumn(block, cols.index.data() + first, cols.weight.data() + first,
              cols.first[static_cast<size_t>(i) + 1] - first, acc, Lanes);
    const Normaliser& nz = norm[static_cast<size_t>(i)];
    for (Integer r = 0; r < rows; ++r)
      for (Integer c = 0; c < channels; ++c)
        out[Int64{r} * midRow + Int64{i} * channels + c] = nz(acc[r * channels + c]);
  }
}

// How a kernel resample reads its source and writes its destination.
enum class KernelLayout {
  Rgb,       // lk24RGB in, lk24RGB out
  Grey,      // 8 bits in, 8 bits out
  BitsToRgb  // lk1g in (set = 255), grey lk24RGB out
};

// The two passes of the kernel resampler: horizontally into a W2 x H
// intermediate, then vertically into the destination.
void KernelResample(TLKBaseBitmap* source, TLKBaseBitmap* dest, const TLKResampleKernel& kernel, KernelLayout layout,
                    const TLKProgressEvent& progress, TObject* sender) {
  const Integer w = source->GetWidth(), h = source->GetHeight();
  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (w <= 0 || h <= 0 || w2 <= 0 || h2 <= 0) return;
  const Integer channels = layout == KernelLayout::Rgb ? 3 : 1;
  const Int64 midRow = CheckedProduct(w2, channels);
  const double p = 100.0 / (h + w2 + 0.5);

  Scratch<Byte> mid(CheckedProduct(midRow, h));
  {
    Contributors cols;
    BuildContributors(w, w2, kernel, cols);
    const std::vector<Normaliser> norm = MakeNormalisers(cols);
    Scratch<Byte> expanded(layout == KernelLayout::BitsToRgb ? w : 0);
    // Rows are taken kBlockRows at a time and turned on their side, so that
    // the samples of one source column for all those rows lie side by side:
    // each contributor then adds one weight times a whole vector of samples,
    // the same sums as a row at a time, in lanes the compiler can fill.
    const Integer lanes = kBlockRows * channels;
    Scratch<Byte> block(CheckedProduct(w, lanes));
    for (Integer y0 = 0; y0 < h; y0 += kBlockRows) {
      const Integer rows = std::min(kBlockRows, h - y0);
      for (Integer r = 0; r < kBlockRows; ++r) {
        // Lanes of rows past the bottom repeat the last row; they are not
        // written out.
        const auto* row = static_cast<const Byte*>(source->GetScanLine(y0 + std::min(r, rows - 1)));
        if (layout == KernelLayout::BitsToRgb) {
          for (Integer x = 0; x < w; ++x) expanded[x] = (row[x >> 3] & lkbitmask1[x & 7]) ? 255 : 0;
          row = expanded.get();
        }
        Byte* lane = block.get() + static_cast<Int64>(r) * channels;
        for (Integer x = 0; x < w; ++x)
          for (Integer c = 0; c < channels; ++c) lane[Int64{x} * lanes + c] = row[Int64{x} * channels + c];
      }
      Byte* out = mid.get() + static_cast<Int64>(y0) * midRow;
      if (channels == 3)
        HorizontalBlock<3 * kBlockRows>(block.get(), cols, norm, out, midRow, rows, 3);
      else
        HorizontalBlock<kBlockRows>(block.get(), cols, norm, out, midRow, rows, 1);
      for (Integer r = 0; r < rows; ++r) Report(progress, sender, LKTrunc((y0 + r + 1) * p));
    }
  }

  // Vertical pass, a destination row at a time (the per-column progress
  // reports keep their values and order).
  Contributors rows;
  BuildContributors(h, h2, kernel, rows);
  const Int64 outRow = CheckedProduct(w2, layout == KernelLayout::Grey ? 1 : 3);
  Scratch<Integer> acc(midRow);
  Scratch<Byte> out(outRow);
  Integer reported = 0;
  for (Integer r = 0; r < h2; ++r) {
    std::fill_n(acc.get(), midRow, 0);
    for (Integer e = rows.first[static_cast<size_t>(r)]; e < rows.first[static_cast<size_t>(r) + 1]; ++e) {
      const Byte* src = mid.get() + Int64{rows.index[static_cast<size_t>(e)]} * midRow;
      MultiplyAddRow(acc.get(), src, rows.weight[static_cast<size_t>(e)], midRow);
    }
    const Normaliser nz(rows.sum[static_cast<size_t>(r)], rows.absSum[static_cast<size_t>(r)]);
    if (layout == KernelLayout::BitsToRgb) {
      for (Integer i = 0; i < w2; ++i) out[3 * Int64{i}] = out[3 * Int64{i} + 1] = out[3 * Int64{i} + 2] = nz(acc[i]);
    } else {
      for (Int64 k = 0; k < midRow; ++k) out[k] = nz(acc[k]);
    }
    std::memcpy(dest->GetScanLine(r), out.get(), static_cast<size_t>(outRow));
    if (progress) {
      const auto upTo = static_cast<Integer>(Int64{r + 1} * w2 / h2);
      for (; reported < upTo; ++reported) progress(sender, LKTrunc((h + reported + 1) * p));
    }
  }
}

bool IsKernelFilter(TResampleFilter filter) { return filter >= rfTriangle && filter <= rfLinear; }

// True when some sample of an 8-bit bitmap is 0.
bool HasZeroSample(TLKBitmap* alpha) {
  const Integer w = alpha->GetWidth(), h = alpha->GetHeight();
  for (Integer y = 0; y < h; ++y)
    if (std::memchr(alpha->GetScanLine(y), 0, static_cast<size_t>(w))) return true;
  return false;
}

}  // namespace

const TLKResampleKernel* LKResampleKernel(TResampleFilter filter) {
  return IsKernelFilter(filter) ? &kKernels[filter - rfTriangle] : nullptr;
}

void _ResampleEx(TLKBaseBitmap* source, TLKBaseBitmap* dest, TResampleFilter filter, const TLKProgressEvent& progress,
                 TObject* sender) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk24RGB) return;
  switch (filter) {
    case rfFastLinear:
      _ResampleLinearEx(source, dest, progress, sender);
      return;
    case rfBilinear:
      _LKQResample(source, dest, 0, progress, sender);
      return;
    case rfBicubic:
      _LKQResample(source, dest, 1, progress, sender);
      return;
    case rfProjectBW:
      _ResampleProject24Bit(source, dest, false, progress, sender);
      return;
    case rfProjectWB:
      _ResampleProject24Bit(source, dest, true, progress, sender);
      return;
    default:
      break;
  }
  const TLKResampleKernel* kernel = LKResampleKernel(filter);
  if (!kernel || dest->GetPixelFormat() != lk24RGB) return;
  KernelResample(source, dest, *kernel, KernelLayout::Rgb, progress, sender);
}

void _ResampleAlphaEx(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter) {
  if (!source || !dest || source == dest) return;
  if (source->GetBitCount() != 8 || dest->GetBitCount() != 8) return;
  if (filter >= rfFastLinear && filter <= rfProjectWB) {
    _ResampleLinearAlpha(source, dest);
    return;
  }
  const TLKResampleKernel* kernel = LKResampleKernel(filter);
  if (!kernel) return;
  KernelResample(source, dest, *kernel, KernelLayout::Grey, {}, nullptr);
}

void _Resample1bitEx(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter) {
  if (!source || !dest || source == dest || source->GetPixelFormat() != lk1g) return;
  switch (filter) {
    case rfFastLinear:
    case rfBilinear:
    case rfBicubic:
      _ResampleLinear1BitEx(source, dest);
      return;
    case rfProjectBW:
      _ResampleProject1Bit(source, dest, false);
      return;
    case rfProjectWB:
      _ResampleProject1Bit(source, dest, true);
      return;
    default:
      break;
  }
  const TLKResampleKernel* kernel = LKResampleKernel(filter);
  if (!kernel || dest->GetPixelFormat() != lk24RGB) return;
  KernelResample(source, dest, *kernel, KernelLayout::BitsToRgb, {}, nullptr);
}

void _LKSetAlpha0Color(TLKBitmap* bitmap, TRGB colour) {
  if (!bitmap || bitmap->GetPixelFormat() != lk24RGB) return;
  TLKBitmap* alpha = bitmap->GetAlphaChannel();
  if (!alpha) return;
  const Integer w = imin(bitmap->GetWidth(), alpha->GetWidth());
  const Integer h = imin(bitmap->GetHeight(), alpha->GetHeight());
  bool changed = false;
  for (Integer y = 0; y < h; ++y) {
    const auto* a = static_cast<const Byte*>(alpha->GetScanLine(y));
    if (!std::memchr(a, 0, static_cast<size_t>(w))) continue;
    auto* px = static_cast<TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      if (a[x] == 0) {
        px[x] = colour;
        changed = true;
      }
  }
  if (changed && !(colour.r == 255 && colour.g == 255 && colour.b == 255)) bitmap->SetFull(false);
}

void _LKResampleLKBitmap(TLKBitmap* source, TLKBitmap* dest, TResampleFilter filter, const TLKProgressEvent& progress,
                         TObject* sender) {
  if (!source || !dest || source == dest || source->IsEmpty() || dest->IsEmpty()) return;

  // Fully transparent pixels hold arbitrary colours that filtering would
  // bleed into their visible neighbours: they are read as mid-grey, from a
  // copy, since the source belongs to the caller.
  TLKBitmap* src = source;
  std::unique_ptr<TLKBitmap> greyed;
  if (source->GetHasAlphaChannel() && source->GetPixelFormat() == lk24RGB &&
      HasZeroSample(source->GetAlphaChannel())) {
    greyed = std::make_unique<TLKBitmap>();
    greyed->Assign(source);
    _LKSetAlpha0Color(greyed.get(), CreateRGB(128, 128, 128));
    src = greyed.get();
  }

  const Integer w2 = dest->GetWidth(), h2 = dest->GetHeight();
  if (filter == rfNone) {
    _LKBmpStretchEx(src, dest, progress, sender);
  } else {
    switch (src->GetPixelFormat()) {
      case lk1g: {
        const TLKPixelFormat target = filter == rfProjectBW || filter == rfProjectWB ? lk1g : lk24RGB;
        if (dest->GetPixelFormat() != target) dest->Allocate(w2, h2, target);
        _Resample1bitEx(src, dest, filter);
        break;
      }
      case lk24RGB:
        _ResampleEx(src, dest, filter, progress, sender);
        break;
      case lk8g:
        _ResampleAlphaEx(src, dest, filter);
        break;
      default:
        // No filtered path for this format: the nearest pixels, rather than
        // leaving the destination unwritten.
        _LKBmpStretchEx(src, dest, progress, sender);
        break;
    }
  }

  if (source->GetHasAlphaChannel()) {
    TLKBitmap* sa = source->GetAlphaChannel();
    TLKBitmap* da = dest->GetAlphaChannel();
    if (sa && da) {
      if (filter == rfNone)
        _LKBmpStretchEx(sa, da);
      else
        _ResampleAlphaEx(sa, da, filter);
      da->SetFull(sa->GetFull());
    }
  }
}

void _LKResampleLKBitmap2(TLKBitmap* bitmap, TResampleFilter filter, Integer newWidth, Integer newHeight,
                          const TLKProgressEvent& progress, TObject* sender) {
  if (!bitmap || newWidth < 1 || newHeight < 1 || bitmap->IsEmpty()) return;
  TLKBitmap temp;
  temp.Assign(bitmap);
  const TLKPixelFormat format = bitmap->GetPixelFormat();
  bitmap->Allocate(newWidth, newHeight, format);
  for (Integer i = 0; i < temp.GetPaletteLen(); ++i) bitmap->SetPalette(i, temp.GetPalette(i));
  _LKResampleLKBitmap(&temp, bitmap, filter, progress, sender);
}
