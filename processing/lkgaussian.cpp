#include "processing/lkgaussian.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/lkbitmap.h"
#include "platform/sysutils.h"
#include "processing/lkedges.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// Samples per chunk of the multiply-add loops: the chunk's 32-bit sums stay
// in the first-level cache.
constexpr Integer kChunk = 2048;

// out[i] = (sum over d of w[d] * (in[i - d*step] + in[i + d*step]) + the
// centre term + 32768) shr 16 for i = 0..n-1, the kernel being symmetric
// (w[0] is the centre weight). `in` must be readable n*step samples before
// and after.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMERAK_TSAN)
__attribute__((target_clones("avx2", "default")))
#endif
void BlurLine(const Byte* in, Byte* out, Integer n, Integer step, const DWORD* w, Integer reach) {
  std::uint32_t acc[kChunk];
  for (Integer base = 0; base < n; base += kChunk) {
    const Integer m = std::min(kChunk, n - base);
    const Byte* c = in + base;
    const std::uint32_t w0 = w[0];
    for (Integer i = 0; i < m; ++i) acc[i] = 32768u + w0 * c[i];
    for (Integer d = 1; d <= reach; ++d) {
      const std::uint32_t wd = w[d];
      const Byte* lo = c - d * step;
      const Byte* hi = c + d * step;
      for (Integer i = 0; i < m; ++i) acc[i] += wd * static_cast<std::uint32_t>(lo[i] + hi[i]);
    }
    for (Integer i = 0; i < m; ++i) {
      const std::uint32_t v = acc[i] >> 16;
      out[base + i] = static_cast<Byte>(v > 255 ? 255 : v);
    }
  }
}

// The same down a column of rows: rows[k] is the row at offset k - reach.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMERAK_TSAN)
__attribute__((target_clones("avx2", "default")))
#endif
void BlurAcross(const Byte* const* rows, Byte* out, Integer n, const DWORD* w, Integer reach) {
  std::uint32_t acc[kChunk];
  for (Integer base = 0; base < n; base += kChunk) {
    const Integer m = std::min(kChunk, n - base);
    const Byte* c = rows[reach] + base;
    const std::uint32_t w0 = w[0];
    for (Integer i = 0; i < m; ++i) acc[i] = 32768u + w0 * c[i];
    for (Integer d = 1; d <= reach; ++d) {
      const std::uint32_t wd = w[d];
      const Byte* lo = rows[reach - d] + base;
      const Byte* hi = rows[reach + d] + base;
      for (Integer i = 0; i < m; ++i) acc[i] += wd * static_cast<std::uint32_t>(lo[i] + hi[i]);
    }
    for (Integer i = 0; i < m; ++i) {
      const std::uint32_t v = acc[i] >> 16;
      out[base + i] = static_cast<Byte>(v > 255 ? 255 : v);
    }
  }
}

// Blurs the inclusive region x1..xe, y1..ye of a bitmap of `step` bytes per
// pixel, the region's edges repeated. Rows are blurred as they enter a ring
// of 2n + 1 rows; each output row is written back as soon as its column sums
// are made (see RowRing).
void BlurRegion(TLKBitmap* bitmap, Integer step, const lkfilter::Span& s, const std::vector<DWORD>& kernel,
                const TLKProgressEvent& progress, TObject* sender) {
  if (s.Empty()) return;
  const Integer reach = static_cast<Integer>(kernel.size() / 2);
  const DWORD* w = kernel.data() + reach;  // w[d] for d = 0..reach
  const Integer cols = s.Cols(), rows = s.Rows();
  const size_t bytes = static_cast<size_t>(cols) * static_cast<size_t>(step);
  const size_t pad = static_cast<size_t>(reach) * static_cast<size_t>(step);
  const size_t start = static_cast<size_t>(s.X1) * static_cast<size_t>(step);
  std::vector<Byte> line(bytes + 2 * pad);
  lkfilter::RowRing ring(2 * reach + 1, bytes);
  auto blurred = [&](Integer r) {
    return ring.Get(r, [&](Integer row, Byte* dst) {
      const Byte* src = static_cast<const Byte*>(bitmap->GetScanLine(s.Y1 + row)) + start;
      Byte* mid = line.data() + pad;
      std::memcpy(mid, src, bytes);
      for (Integer d = 1; d <= reach; ++d) {
        std::memcpy(mid - static_cast<size_t>(d) * step, mid, static_cast<size_t>(step));
        std::memcpy(mid + bytes + static_cast<size_t>(d - 1) * step, mid + bytes - step, static_cast<size_t>(step));
      }
      BlurLine(mid, dst, static_cast<Integer>(bytes), step, w, reach);
    });
  };
  std::vector<const Byte*> window(static_cast<size_t>(2 * reach + 1));
  std::vector<Byte> out(bytes);
  const double factor = 100.0 / rows;
  for (Integer r = 0; r < rows; ++r) {
    for (Integer d = -reach; d <= reach; ++d)
      window[static_cast<size_t>(d + reach)] = blurred(std::clamp(r + d, 0, rows - 1));
    BlurAcross(window.data(), out.data(), static_cast<Integer>(bytes), w, reach);
    std::memcpy(static_cast<Byte*>(bitmap->GetScanLine(s.Y1 + r)) + start, out.data(), bytes);
    lkfilter::Report(progress, sender, r * factor);
  }
}

// Sharpens rows y1..ye, columns x1..xe of an lk24RGB bitmap; `amountOf(x, y)`
// gives the amount at a pixel. The window sums come from running column
// sums over rows y - h .. y + h and prefix sums along the row, so a pixel
// costs the same whatever the window. Source rows come through a ring of
// 2h + 2 rows; each result row is written back once no later window needs
// it.
template <typename Amount>
void SharpenRows(TLKBitmap* bitmap, const lkfilter::Span& s, Integer h, Amount&& amountOf,
                 const TLKProgressEvent& progress, TObject* sender, bool rowProgress) {
  const Integer W = bitmap->GetWidth(), H = bitmap->GetHeight();
  const size_t bytes = static_cast<size_t>(W) * 3;
  lkfilter::RowRing ring(2 * h + 2, bytes);
  auto src = [&](Integer y) {
    return ring.Get(y, [&](Integer row, Byte* dst) { lkfilter::ReadRow(bitmap, row, dst, bytes); });
  };
  std::vector<std::uint32_t> col(bytes, 0);
  std::vector<std::uint32_t> prefix(bytes + 3, 0), colPrefix(bytes + 3, 0);
  std::vector<Byte> out(bytes);
  Integer top = 0, bottom = -1;  // rows summed in `col`
  const double factor = 100.0 / ((s.YE - s.Y1) + 0.5);
  for (Integer y = s.Y1; y <= s.YE; ++y) {
    const Integer t = std::max(0, y - h), b = std::min(H - 1, y + h);
    if (bottom < top || t > bottom) {
      std::fill(col.begin(), col.end(), 0u);
      top = t;
      bottom = t - 1;
    }
    while (bottom < b) {
      const Byte* r = src(++bottom);
      for (size_t i = 0; i < bytes; ++i) col[i] += r[i];
    }
    while (top < t) {
      const Byte* r = src(top++);
      for (size_t i = 0; i < bytes; ++i) col[i] -= r[i];
    }
    const Byte* own = src(y);
    for (size_t i = 0; i < bytes; ++i) {
      prefix[i + 3] = prefix[i] + own[i];
      colPrefix[i + 3] = colPrefix[i] + col[i];
    }
    std::memcpy(out.data(), own, bytes);
    const Integer wr = b - t + 1;
    for (Integer x = s.X1; x <= s.XE; ++x) {
      const Integer l = std::max(0, x - h), r = std::min(W - 1, x + h);
      const Integer wc = r - l + 1;
      const Integer count = (wc - 1) * (wr - 1);
      const double amount = amountOf(x, y);
      for (Integer c = 0; c < 3; ++c) {
        const size_t lo = static_cast<size_t>(l) * 3 + c, hi = static_cast<size_t>(r + 1) * 3 + c;
        const size_t at = static_cast<size_t>(x) * 3 + c;
        const std::uint32_t total = colPrefix[hi] - colPrefix[lo];
        const std::uint32_t ownRow = prefix[hi] - prefix[lo];
        const std::uint32_t rest = total - ownRow - col[at] + own[at];
        const Integer mean = count > 0 ? static_cast<Integer>(rest / static_cast<std::uint32_t>(count)) : 0;
        const Integer v = own[at];
        out[at] = static_cast<Byte>(blimit(LKTrunc((v - mean) * amount + v)));
      }
    }
    // Later windows reach back to row y + 1 - h at most, which the ring
    // holds, so row y can be written now.
    lkfilter::WriteRow(bitmap, y, out.data(), bytes);
    if (rowProgress)
      TLumerakProc::ReportRowProgress(progress, sender, y, s.Y1, factor);
    else
      lkfilter::Report(progress, sender, static_cast<double>(y) / H * 100);
  }
}

}  // namespace

std::vector<DWORD> LKGaussKernel(double Sigma) {
  double g[201], sum = 0;
  for (Integer i = 0; i <= 200; ++i) {
    const double t = (i - 100) / Sigma;
    g[i] = std::exp(-t * t / 2);
    sum += g[i];
  }
  DWORD w[201];
  for (Integer i = 0; i <= 200; ++i) w[i] = static_cast<DWORD>(LKRound(g[i] * 65536.0 / sum));
  Integer n = 1;
  for (Integer d = 100; d >= 1; --d)
    if (w[100 + d] != 0 || w[100 - d] != 0) {
      n = d;
      break;
    }
  return std::vector<DWORD>(w + 100 - n, w + 101 + n);
}

void _LKGBlur(TLKBitmap* Bitmap, double Sigma, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || !(Sigma > 0)) return;
  const TLKPixelFormat f = Bitmap->GetPixelFormat();
  if (f != lk8g && f != lk24RGB) return;
  const lkfilter::Span s = lkfilter::ClampExclusive(Bitmap->GetWidth(), Bitmap->GetHeight(), 0, 0,
                                                    Bitmap->GetWidth(), Bitmap->GetHeight());
  BlurRegion(Bitmap, f == lk8g ? 1 : 3, s, LKGaussKernel(Sigma), OnProgress, Sender);
}

void _LKGBlurRect8(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, double Sigma) {
  if (!Bitmap || !(Sigma > 0) || Bitmap->GetPixelFormat() != lk8g) return;
  const lkfilter::Span s = lkfilter::ClampExclusive(Bitmap->GetWidth(), Bitmap->GetHeight(), X1, Y1, X2 + 1, Y2 + 1);
  BlurRegion(Bitmap, 1, s, LKGaussKernel(Sigma), {}, nullptr);
}

void _Sharpen(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Intensity,
              Integer Neighbourhood, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB) return;
  const lkfilter::Span s = lkfilter::ClampExclusive(Bitmap->GetWidth(), Bitmap->GetHeight(), X1, Y1, X2, Y2);
  if (s.Empty()) return;
  const double amount = Intensity / 10.0;
  SharpenRows(Bitmap, s, std::max(Neighbourhood / 2, 0), [amount](Integer, Integer) { return amount; }, OnProgress,
              Sender, true);
}

void _LKAutoSharp(TLKBitmap* Bitmap, Integer Intensity, double Rate, const TLKProgressEvent& OnProgress,
                  TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB || Bitmap->IsEmpty()) return;
  TLKBitmap edges;
  edges.SetMinFileSize(Bitmap->GetMinFileSize());
  TProgressRec none;
  _LKEdgeDetect_ShenCastan(Bitmap, &edges, Rate, 0.9, 7, 0, true, none);
  edges.SetPixelFormat(lk8g);
  _LKGBlur(&edges, 4, {}, nullptr);
  const Integer W = Bitmap->GetWidth(), H = Bitmap->GetHeight();
  // The strength of a row comes from that row of the blurred edge map,
  // copied once per row.
  std::vector<double> amounts(static_cast<size_t>(W));
  Integer amountsRow = -1;
  const lkfilter::Span s{0, 0, W - 1, H - 1};
  SharpenRows(
      Bitmap, s, 2,
      [&](Integer x, Integer y) {
        if (y != amountsRow) {
          const Byte* e = static_cast<const Byte*>(edges.GetScanLine(y));
          for (Integer i = 0; i < W; ++i) amounts[static_cast<size_t>(i)] = LKRound((255 - e[i]) / 255.0 * Intensity) / 10.0;
          amountsRow = y;
        }
        return amounts[static_cast<size_t>(x)];
      },
      OnProgress, Sender, false);
}

// --- Component methods ---------------------------------------------------------

void TLumerakProc::Blur(double Radius) {
  RunImageProcessing({lk8g, lk24RGB}, "Blur " + FloatToStr(Radius), [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    _LKGBlur(b, Radius, OnProgress, this);
  });
}

void TLumerakProc::Sharpen(Integer Intensity, Integer Neighbourhood) {
  RunImageProcessing({lk24RGB}, "Sharpen", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Sharpen(b, x1, y1, x2, y2, Intensity, Neighbourhood, OnProgress, this);
  });
}

void TLumerakProc::AutoSharp(Integer Intensity, double Rate) {
  RunImageProcessing({}, "AutoSharp", [&](TLKBitmap* b, Integer, Integer, Integer, Integer) {
    // Only 24-bit pixels can be sharpened: other formats go through lk24RGB
    // and back.
    const TLKPixelFormat f = b->GetPixelFormat();
    if (f == lknull) return;
    if (f != lk24RGB) b->SetPixelFormat(lk24RGB);
    _LKAutoSharp(b, Intensity, Rate, OnProgress, this);
    if (f != lk24RGB) b->SetPixelFormat(f);
  });
}
