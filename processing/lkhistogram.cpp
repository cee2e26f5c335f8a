#include "processing/lkhistogram.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "processing/lkbwconv.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

using lkpoint::ClipRect;

void _GetHistogram(TLKBitmap* Bitmap, THistogram& Histogram, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   TLKMask* Mask) {
  if (!Bitmap) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt != lk24RGB && fmt != lk48RGB) return;
  Histogram = THistogram{};
  if (!ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  if (Mask && Mask->IsEmpty()) Mask = nullptr;
  // 32-bit counts: a picture holds fewer than 2^31 pixels.
  THistogramItem* h = Histogram.Items;
  auto count = [h](Integer r, Integer g, Integer b) {
    ++h[r].R;
    ++h[g].G;
    ++h[b].B;
    ++h[lkpoint::Grey(r, g, b)].Gray;
  };
  for (Integer y = Y1; y < Y2; ++y) {
    const void* row = Bitmap->GetScanLine(y);
    if (fmt == lk24RGB) {
      const Byte* p = static_cast<const Byte*>(row) + static_cast<size_t>(X1) * 3;
      for (Integer x = X1; x < X2; ++x, p += 3)
        if (!Mask || Mask->IsPointInside(x, y)) count(p[2], p[1], p[0]);
    } else {
      const Word* p = static_cast<const Word*>(row) + static_cast<size_t>(X1) * 3;
      for (Integer x = X1; x < X2; ++x, p += 3)
        if (!Mask || Mask->IsPointInside(x, y)) count(p[0] >> 8, p[1] >> 8, p[2] >> 8);
    }
  }
}

Integer _GetImageNumColors(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return 0;
  // One bit per possible colour: 2 MB whatever the picture.
  std::vector<uint64_t> seen(size_t{1} << 18, 0);
  Integer count = 0;
  for (Integer y = Y1; y < Y2; ++y) {
    const Byte* p = static_cast<const Byte*>(Bitmap->GetScanLine(y)) + static_cast<size_t>(X1) * 3;
    for (Integer x = X1; x < X2; ++x, p += 3) {
      const uint32_t key = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      uint64_t& word = seen[key >> 6];
      const uint64_t bit = uint64_t{1} << (key & 63);
      if (!(word & bit)) {
        word |= bit;
        ++count;
      }
    }
  }
  return count;
}

void _CalcDensityHistogram(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                           const TLKProgressEvent& OnProgress, TObject* Sender, Integer* Vertical,
                           Integer* Horizontal, Integer VerticalNorm, Integer HorizontalNorm) {
  if (!Bitmap || !Vertical || !Horizontal) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt != lk24RGB && fmt != lk1g) return;
  if (!ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  const Integer rows = Y2 - Y1, cols = X2 - X1;
  // Sums in 64 bits: a row of grey levels of a very wide picture passes 2^31
  // only past 8 million columns, but a column sum of a tall one is no safer.
  std::vector<Int64> v(static_cast<size_t>(rows), 0), h(static_cast<size_t>(cols), 0);
  const double factor = 100.0 / (rows - 1 + 0.5);
  for (Integer y = Y1; y < Y2; ++y) {
    const Byte* row = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    Int64 sum = 0;
    if (fmt == lk24RGB) {
      const Byte* p = row + static_cast<size_t>(X1) * 3;
      for (Integer j = 0; j < cols; ++j, p += 3) {
        const Integer g = lkpoint::Grey(p[2], p[1], p[0]);
        sum += g;
        h[static_cast<size_t>(j)] += g;
      }
    } else {
      for (Integer j = 0; j < cols; ++j) {
        const Integer x = X1 + j;
        if (row[x >> 3] & (0x80 >> (x & 7))) {
          ++sum;
          ++h[static_cast<size_t>(j)];
        }
      }
    }
    v[static_cast<size_t>(y - Y1)] = sum;
    if (OnProgress) OnProgress(Sender, LKTrunc((y - Y1 + 1) * factor));
  }
  auto normalise = [](const std::vector<Int64>& in, Integer* out, Integer norm) {
    Int64 m = 0;
    for (Int64 e : in) m = e > m ? e : m;
    for (size_t i = 0; i < in.size(); ++i)
      out[i] = m != 0 ? LKTrunc(static_cast<double>(in[i]) / static_cast<double>(m) * norm)
                      : static_cast<Integer>(in[i]);
  };
  normalise(v, Vertical, VerticalNorm);
  normalise(h, Horizontal, HorizontalNorm);
}

void LKGetLuminosityDiff(TLKBitmap* First, TLKBitmap* Second, Integer& Red, Integer& Green, Integer& Blue) {
  Red = Green = Blue = 0;
  if (!First || !Second || First->IsEmpty() || Second->IsEmpty()) return;
  if (First->GetWidth() != Second->GetWidth() || First->GetHeight() != Second->GetHeight() ||
      First->GetPixelFormat() != Second->GetPixelFormat())
    return;
  const TLKPixelFormat fmt = First->GetPixelFormat();
  if (fmt != lk24RGB && fmt != lk48RGB) return;
  // Sums of red, green, blue in 64 bits: 32 bits overflow from 8.4 million
  // 24-bit pixels or 32768 48-bit ones.
  auto sums = [fmt](TLKBitmap* b, Int64 s[3]) {
    s[0] = s[1] = s[2] = 0;
    const Integer w = b->GetWidth();
    for (Integer y = 0; y < b->GetHeight(); ++y) {
      if (fmt == lk24RGB) {
        const Byte* p = static_cast<const Byte*>(b->GetScanLine(y));
        for (Integer x = 0; x < w; ++x, p += 3) s[0] += p[2], s[1] += p[1], s[2] += p[0];
      } else {
        const Word* p = static_cast<const Word*>(b->GetScanLine(y));
        for (Integer x = 0; x < w; ++x, p += 3) s[0] += p[0], s[1] += p[1], s[2] += p[2];
      }
    }
  };
  Int64 a[3], b[3];
  sums(First, a);
  sums(Second, b);
  const Int64 n = static_cast<Int64>(First->GetWidth()) * First->GetHeight();
  Red = static_cast<Integer>(a[0] / n - b[0] / n);
  Green = static_cast<Integer>(a[1] / n - b[1] / n);
  Blue = static_cast<Integer>(a[2] / n - b[2] / n);
}

// --- Methods of the processing component ----------------------------------------

void TLumerakProc::GetHistogram(THistogram* Histogram) {
  if (!Histogram || !MakeConsistentBitmap({})) return;
  Integer x1, y1, x2, y2, count = 0;
  TPoint* poly = nullptr;
  TLKMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, count, mask);
  TLKBitmap* b = FBitmap;
  const TLKPixelFormat fmt = b->GetPixelFormat();
  if (fmt == lk24RGB || fmt == lk48RGB) {
    _GetHistogram(b, *Histogram, x1, y1, x2, y2, mask);
    return;
  }
  // Other formats are measured through a 24-bit copy: a measurement must
  // not lower the depth of the picture it looks at.
  if (b->IsEmpty()) return;
  TLKBitmap copy;
  copy.Assign(b);
  copy.SetPixelFormat(lk24RGB);
  _GetHistogram(&copy, *Histogram, x1, y1, x2, y2, mask);
}

Integer TLumerakProc::CalcImageNumColors() {
  if (!MakeConsistentBitmap({})) return 0;
  const TLKPixelFormat fmt = FBitmap->GetPixelFormat();
  if (fmt == lk1g) return 2;
  if (fmt != lk24RGB) return 0;
  Integer x1, y1, x2, y2, count = 0;
  TPoint* poly = nullptr;
  TLKMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, count, mask);
  return _GetImageNumColors(FBitmap, x1, y1, x2, y2);
}

double TLumerakProc::GetDominantColor(TRGB& Color) {
  if (!MakeConsistentBitmap({}) || FBitmap->IsEmpty()) return -1;
  TLKBitmap* b = FBitmap;
  const Integer w = b->GetWidth(), h = b->GetHeight();
  const double total = static_cast<double>(w) * h;
  double result = -1;
  if (b->GetPixelFormat() == lk1g) {
    Integer hist[256] = {};
    _GetLuminanceHistogram(b, hist);
    if (hist[1] < hist[0]) {
      Color = CreateRGB(0, 0, 0);
      result = hist[0] / total * 100;
    } else {
      Color = CreateRGB(255, 255, 255);
      result = hist[1] / total * 100;
    }
  } else if (b->GetPixelFormat() == lk24RGB) {
    // One count per possible colour (64 MB of zero pages, touched only where
    // the picture's colours fall), then the first pixel in picture order
    // whose colour has the largest count: bounded whatever the picture.
    std::unique_ptr<uint32_t[], void (*)(void*)> counts(
        static_cast<uint32_t*>(std::calloc(size_t{1} << 24, sizeof(uint32_t))), std::free);
    if (!counts) throw EOutOfMemory("Dominant colour: out of memory for the colour counts");
    auto key = [](const Byte* p) { return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0]; };
    uint32_t best = 0;
    for (Integer y = 0; y < h; ++y) {
      const Byte* p = static_cast<const Byte*>(b->GetScanLine(y));
      for (Integer x = 0; x < w; ++x, p += 3) best = std::max(best, ++counts[key(p)]);
    }
    bool found = false;
    for (Integer y = 0; y < h && !found; ++y) {
      const Byte* p = static_cast<const Byte*>(b->GetScanLine(y));
      for (Integer x = 0; x < w && !found; ++x, p += 3)
        if (counts[key(p)] == best) {
          Color = CreateRGB(p[2], p[1], p[0]);
          found = true;
        }
    }
    result = best / total * 100;
  }
  DoFinishWork();
  return result;
}

void TLumerakProc::CalcDensityHistogram(Integer* Vertical, Integer* Horizontal, Integer VerticalNorm,
                                        Integer HorizontalNorm) {
  if (!MakeConsistentBitmap({})) return;
  Integer x1, y1, x2, y2, count = 0;
  TPoint* poly = nullptr;
  TLKMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, count, mask);
  if (!mask || mask->IsEmpty()) {
    _CalcDensityHistogram(FBitmap, x1, y1, x2, y2, OnProgress, this, Vertical, Horizontal, VerticalNorm,
                          HorizontalNorm);
  } else {
    const Integer w = mask->GetX2() - mask->GetX1() + 1, h = mask->GetY2() - mask->GetY1() + 1;
    TLKBitmap box(w, h, FBitmap->GetPixelFormat());
    FBitmap->CopyRectTo(&box, mask->GetX1(), mask->GetY1(), 0, 0, w, h);
    _CalcDensityHistogram(&box, 0, 0, w, h, OnProgress, this, Vertical, Horizontal, VerticalNorm,
                          HorizontalNorm);
  }
  DoFinishWork();
}
