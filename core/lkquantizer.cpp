#include "core/lkquantizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

// Calls fn(row, width) for every row of the picture as 24-bit colours, top
// row first. lk24RGB rows are handed over as they are; other formats are
// converted a row at a time.
template <typename Fn>
void ForEachRGBRow(TLKBitmap* bitmap, Fn&& fn) {
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (w <= 0 || h <= 0) return;
  if (bitmap->GetPixelFormat() == lk24RGB) {
    for (Integer y = 0; y < h; ++y) fn(static_cast<const TRGB*>(bitmap->GetScanLine(y)), w);
    return;
  }
  std::vector<TRGB> row(w);
  for (Integer y = 0; y < h; ++y) {
    for (Integer x = 0; x < w; ++x) row[x] = bitmap->GetPixels(x, y);
    fn(row.data(), w);
  }
}

}  // namespace

// ===========================================================================
// Median cut
// ===========================================================================

namespace {

// Sum of the two halves' variances that marks a channel as impossible to cut;
// larger than any real sum (at most 3 x 15.5^2 per pixel).
constexpr double kNoSplit = 17523.6;

inline Integer CellIndex(Integer r5, Integer g5, Integer b5) { return (r5 << 10) | (g5 << 5) | b5; }

// Channel means and the weighted variance of a box from its marginals.
void BoxStatistics(TMedianCutBox& box, Int64 totalPixels) {
  if (box.Count == 0 || totalPixels == 0) {
    box.Variance = 0;
    return;
  }
  const double n = static_cast<double>(box.Count);
  double variance = 0;
  for (int c = 0; c < 3; ++c) {
    double sum = 0, sum2 = 0;
    for (Integer v = std::max(box.Lower[c], 0); v < std::min(box.Upper[c], 32); ++v) {
      const double h = static_cast<double>(box.Hist[c][v]);
      sum += v * h;
      sum2 += static_cast<double>(v) * v * h;
    }
    const double mean = sum / n;
    box.Mean[c] = mean;
    variance += sum2 - mean * mean * n;
  }
  box.Variance = variance / static_cast<double>(totalPixels);
}

// Shrinks every channel's bounds to its first and last non-empty slot; an
// empty channel gets 32 and 1.
void ShrinkBox(TMedianCutBox& box) {
  for (int c = 0; c < 3; ++c) {
    Integer first = 32, last = 0;
    for (Integer v = 0; v < 32; ++v) {
      if (box.Hist[c][v] != 0) {
        if (first == 32) first = v;
        last = v;
      }
    }
    box.Lower[c] = first;
    box.Upper[c] = last + 1;
  }
}

// Tries to cut `box` along channel c. On success fills both halves (bounds
// shrunk, statistics computed) and returns true.
bool TryCut(const TMedianCutState& st, const TMedianCutBox& box, int c, TMedianCutBox& first,
            TMedianCutBox& second) {
  const Integer lower = box.Lower[c], upper = box.Upper[c];
  if (upper <= lower + 1) return false;
  const Int64 n = box.Count;
  const double m = box.Mean[c];
  const Int64* h = box.Hist[c];
  Integer s = LKRound((lower + m) / 2);
  Integer e = LKRound((m + upper) / 2);
  // Every pixel lies below upper, so the walk stops before passing it; the
  // clamps only keep the marginal reads inside the table.
  s = std::clamp<Integer>(s, lower, upper - 1);
  e = std::min<Integer>(e, upper - 1);

  Int64 below = 0;
  for (Integer v = lower; v < s; ++v) below += h[v];
  double t = 0, best = 0;
  Integer cut = s;
  Int64 cutCount = n;
  for (Integer v = s; v <= e; ++v) {
    below += h[v];
    if (below == n) break;
    t += static_cast<double>(h[v]) * v / static_cast<double>(n);
    const double d = m - t;
    const double criterion = static_cast<double>(below) / static_cast<double>(n - below) * d * d;
    if (criterion > best) {
      best = criterion;
      cut = v;
      cutCount = below;
    }
  }
  if (cutCount <= 0 || cutCount >= n) return false;

  first = box;
  second = box;
  first.Upper[c] = cut + 1;
  first.Count = cutCount;
  second.Lower[c] = cut + 1;
  second.Count = n - cutCount;

  // Marginals of the first half from the cube; the second half keeps the
  // rest of the box's marginals.
  std::memset(first.Hist, 0, sizeof first.Hist);
  for (Integer r = first.Lower[0]; r < first.Upper[0]; ++r)
    for (Integer g = first.Lower[1]; g < first.Upper[1]; ++g) {
      const Int64* cell = &st.Histogram[CellIndex(r, g, 0)];
      for (Integer b = first.Lower[2]; b < first.Upper[2]; ++b) {
        const Int64 k = cell[b];
        if (k == 0) continue;
        first.Hist[0][r] += k;
        first.Hist[1][g] += k;
        first.Hist[2][b] += k;
      }
    }
  for (int ch = 0; ch < 3; ++ch)
    for (int v = 0; v < 32; ++v) second.Hist[ch][v] -= first.Hist[ch][v];

  ShrinkBox(first);
  ShrinkBox(second);
  BoxStatistics(first, st.TotalPixels);
  BoxStatistics(second, st.TotalPixels);
  return true;
}

// Splits boxes until N exist or none can be split, then writes the palette
// and the box map.
void BuildMedianCut(TMedianCutState& st, TRGB* palette, Integer paletteHigh) {
  st.Boxes.assign(256, TMedianCutBox{});
  TMedianCutBox& box0 = st.Boxes[0];
  box0.Count = st.TotalPixels;
  for (int c = 0; c < 3; ++c) {
    box0.Lower[c] = 0;
    box0.Upper[c] = 32;
  }
  for (Integer r = 0; r < 32; ++r)
    for (Integer g = 0; g < 32; ++g)
      for (Integer b = 0; b < 32; ++b) {
        const Int64 k = st.Histogram[CellIndex(r, g, b)];
        box0.Hist[0][r] += k;
        box0.Hist[1][g] += k;
        box0.Hist[2][b] += k;
      }
  BoxStatistics(box0, st.TotalPixels);
  st.BoxCount = 1;

  TMedianCutBox first, second, bestFirst, bestSecond;
  while (st.BoxCount < st.ColorCount) {
    Integer pick = -1;
    double maxVariance = 0;
    for (Integer i = 0; i < st.BoxCount; ++i)
      if (st.Boxes[i].Variance > maxVariance) {
        maxVariance = st.Boxes[i].Variance;
        pick = i;
      }
    if (pick < 0) break;
    TMedianCutBox& chosen = st.Boxes[pick];
    double bestSum = kNoSplit;
    bool found = false;
    if (chosen.Count > 0) {
      for (int c = 0; c < 3; ++c) {
        if (!TryCut(st, chosen, c, first, second)) continue;
        const double sum = first.Variance + second.Variance;
        if (sum < bestSum) {
          bestSum = sum;
          bestFirst = first;
          bestSecond = second;
          found = true;
        }
      }
    }
    if (!found) {
      chosen.Variance = 0;
      continue;
    }
    chosen = bestFirst;
    st.Boxes[st.BoxCount++] = bestSecond;
  }

  for (Integer i = 0; i < st.BoxCount; ++i) {
    const TMedianCutBox& box = st.Boxes[i];
    if (palette && i <= paletteHigh) {
      palette[i] = CreateRGB(static_cast<Byte>(blimit(LKRound(box.Mean[0]) * 8)),
                             static_cast<Byte>(blimit(LKRound(box.Mean[1]) * 8)),
                             static_cast<Byte>(blimit(LKRound(box.Mean[2]) * 8)));
    }
    for (Integer r = box.Lower[0]; r < std::min(box.Upper[0], 32); ++r)
      for (Integer g = box.Lower[1]; g < std::min(box.Upper[1], 32); ++g)
        for (Integer b = box.Lower[2]; b < std::min(box.Upper[2], 32); ++b)
          st.BoxMap[CellIndex(r, g, b)] = static_cast<Byte>(i);
  }
}

TMedianCutState* NewMedianCutState(Integer width, Integer height, Integer N) {
  auto st = std::make_unique<TMedianCutState>();
  st->Histogram.assign(32768, 0);
  st->BoxMap.assign(32768, 0);
  st->ColorCount = std::clamp<Integer>(N, 1, 256);
  st->Width = std::max<Integer>(width, 0);
  st->Height = std::max<Integer>(height, 0);
  st->TotalPixels = Int64{st->Width} * st->Height;
  return st.release();
}

inline void CountRow(std::vector<Int64>& hist, const Byte* p, Integer width) {
  Int64* hp = hist.data();
  for (Integer x = 0; x < width; ++x, p += 3)
    ++hp[CellIndex(p[2] >> 3, p[1] >> 3, p[0] >> 3)];
}

}  // namespace

TMedianCutState* CreateMedianCutQuantizer(TLKBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N) {
  const Integer w = bitmap ? bitmap->GetWidth() : 0, h = bitmap ? bitmap->GetHeight() : 0;
  TMedianCutState* st = NewMedianCutState(w, h, N);
  if (bitmap && st->TotalPixels > 0) {
    ForEachRGBRow(bitmap, [st](const TRGB* row, Integer width) {
      CountRow(st->Histogram, reinterpret_cast<const Byte*>(row), width);
    });
  }
  BuildMedianCut(*st, palette, paletteHigh);
  return st;
}

TMedianCutState* CreateMedianCutQuantizer(TBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N) {
  const Integer w = bitmap ? bitmap->GetWidth() : 0, h = bitmap ? bitmap->GetHeight() : 0;
  TMedianCutState* st = NewMedianCutState(w, h, N);
  if (bitmap && st->TotalPixels > 0) {
    std::unique_ptr<TBitmap> copy;
    TBitmap* src = bitmap;
    if (bitmap->GetPixelFormat() != pf24bit) {
      copy = std::make_unique<TBitmap>();
      copy->Assign(bitmap);
      copy->SetPixelFormat(pf24bit);
      src = copy.get();
    }
    for (Integer y = 0; y < h; ++y) CountRow(st->Histogram, src->ScanLine(y), w);
  }
  BuildMedianCut(*st, palette, paletteHigh);
  return st;
}

Integer MedianCutFindIndex(const TMedianCutState* state, const TRGB& colour) {
  if (!state) return 0;
  return state->BoxMap[CellIndex(colour.r >> 3, colour.g >> 3, colour.b >> 3)];
}

void FreeMedianCutQuantizer(TMedianCutState* state) { delete state; }

// ===========================================================================
// NeuQuant
// ===========================================================================

namespace {

constexpr Integer kNetBiasShift = 4;    // colour values scaled by 16
constexpr Integer kIntBiasShift = 16;   // bias and frequency fixed point
constexpr Integer kIntBias = 1 << kIntBiasShift;
constexpr Integer kGammaShift = 10;
constexpr Integer kBetaShift = 10;
constexpr Integer kBeta = kIntBias >> kBetaShift;  // 64
constexpr Integer kBetaGamma = kIntBias << (kGammaShift - kBetaShift);  // 65536
constexpr Integer kRadiusBiasShift = 6;
constexpr Integer kRadiusDec = 30;
constexpr Integer kInitAlpha = 1 << 10;
constexpr Integer kRadBias = 1 << 8;
constexpr Integer kAlphaRadBias = 1 << 18;
constexpr Integer kCycles = 100;
constexpr Integer kPrimes[4] = {499, 491, 487, 503};

}  // namespace

/// State of the network quantiser.
struct TNeuQuantState {
  Integer NetSize = 0;
  Integer MaxNetPos = 0;
  Integer InitRad = 0;
  Integer InitRadius = 0;
  Integer AlphaDec = 0;
  Int64 LengthCount = 0;
  Integer SampleFac = 1;
  std::vector<std::array<Integer, 4>> Network;  // blue, green, red, palette index
  Integer NetIndex[256] = {};
  std::vector<Integer> Bias;
  std::vector<Integer> Freq;
  std::vector<Integer> RadPower;
  Integer Width = 0;
  Integer Height = 0;

  void Learn(const std::vector<std::array<Integer, 3>>& samples);
  Integer Contest(Integer b, Integer g, Integer r);
  void AlterSingle(Integer alpha, Integer i, Integer b, Integer g, Integer r);
  void AlterNeighbours(Integer rad, Integer i, Integer b, Integer g, Integer r);
  void BuildIndex();
  Integer Search(Integer b, Integer g, Integer r) const;
};

Integer NeuQuantSampleFactor(Int64 pixels, Integer quality) {
  if (quality >= 0) {
    const Integer q = std::min<Integer>(quality, 100);
    return LKTrunc((100 - q) / 100.0 * 29) + 1;
  }
  if (pixels < 2000) return 1;
  const double n = static_cast<double>(pixels - 2000) * 13.0 / 148000.0 + 2.0;
  return ilimit(LKRound(n), 1, 30);
}

Integer TNeuQuantState::Contest(Integer b, Integer g, Integer r) {
  Integer bestd = 0x7FFFFFFF, bestbiasd = bestd, bestpos = -1, bestbiaspos = -1;
  for (Integer i = 0; i < NetSize; ++i) {
    const auto& n = Network[i];
    const Integer dist = std::abs(n[0] - b) + std::abs(n[1] - g) + std::abs(n[2] - r);
    if (dist < bestd) {
      bestd = dist;
      bestpos = i;
    }
    const Integer biasdist = dist - (Bias[i] >> (kIntBiasShift - kNetBiasShift));
    if (biasdist < bestbiasd) {
      bestbiasd = biasdist;
      bestbiaspos = i;
    }
    const Integer betafreq = Freq[i] >> kBetaShift;
    Freq[i] -= betafreq;
    Bias[i] += betafreq << kGammaShift;
  }
  Freq[bestpos] += kBeta;
  Bias[bestpos] -= kBetaGamma;
  return bestbiaspos;
}

void TNeuQuantState::AlterSingle(Integer alpha, Integer i, Integer b, Integer g, Integer r) {
  auto& n = Network[i];
  n[0] -= (n[0] - b) * alpha / kInitAlpha;
  n[1] -= (n[1] - g) * alpha / kInitAlpha;
  n[2] -= (n[2] - r) * alpha / kInitAlpha;
}

void TNeuQuantState::AlterNeighbours(Integer rad, Integer i, Integer b, Integer g, Integer r) {
  const Integer lo = std::max(i - rad, -1);
  const Integer hi = std::min(i + rad, NetSize);
  Integer j = i + 1, k = i - 1, d = 1;
  while (j < hi || k > lo) {
    // Products stay below 2^31: |c - sample| <= 4095 and a <= 2^18.
    const Integer a = RadPower[d++];
    if (j < hi) {
      auto& p = Network[j++];
      p[0] -= (p[0] - b) * a / kAlphaRadBias;
      p[1] -= (p[1] - g) * a / kAlphaRadBias;
      p[2] -= (p[2] - r) * a / kAlphaRadBias;
    }
    if (k > lo) {
      auto& p = Network[k--];
      p[0] -= (p[0] - b) * a / kAlphaRadBias;
      p[1] -= (p[1] - g) * a / kAlphaRadBias;
      p[2] -= (p[2] - r) * a / kAlphaRadBias;
    }
  }
}

void TNeuQuantState::Learn(const std::vector<std::array<Integer, 3>>& samples) {
  const Int64 samplePixels = static_cast<Int64>(samples.size());
  Int64 delta = samplePixels / kCycles;
  if (delta == 0) delta = 1;
  Integer alpha = kInitAlpha;
  Integer radius = InitRadius;
  auto setRadius = [&](Integer& rad) {
    rad = radius >> kRadiusBiasShift;
    if (rad <= 1) rad = 0;
    for (Integer j = 0; j < rad; ++j) RadPower[j] = alpha * (((rad * rad - j * j) * kRadBias) / (rad * rad));
  };
  Integer rad = 0;
  setRadius(rad);
  for (Int64 i = 0; i < samplePixels;) {
    const auto& s = samples[i];
    const Integer j = Contest(s[0], s[1], s[2]);
    AlterSingle(alpha, j, s[0], s[1], s[2]);
    if (rad) AlterNeighbours(rad, j, s[0], s[1], s[2]);
    ++i;
    if (i % delta == 0) {
      alpha -= alpha / AlphaDec;
      radius -= radius / kRadiusDec;
      setRadius(rad);
    }
  }
}

void TNeuQuantState::BuildIndex() {
  Integer previouscol = 0, startpos = 0;
  for (Integer i = 0; i < NetSize; ++i) {
    Integer smallpos = i;
    Integer smallval = Network[i][1];
    for (Integer j = i + 1; j < NetSize; ++j)
      if (Network[j][1] < smallval) {
        smallpos = j;
        smallval = Network[j][1];
      }
    if (i != smallpos) std::swap(Network[i], Network[smallpos]);
    if (smallval != previouscol) {
      NetIndex[previouscol] = (startpos + i) >> 1;
      for (Integer j = previouscol + 1; j < smallval; ++j) NetIndex[j] = i;
      previouscol = smallval;
      startpos = i;
    }
  }
  NetIndex[previouscol] = (startpos + MaxNetPos) >> 1;
  for (Integer j = previouscol + 1; j < 256; ++j) NetIndex[j] = MaxNetPos;
}

Integer TNeuQuantState::Search(Integer b, Integer g, Integer r) const {
  Integer bestd = 1000, best = -1;
  Integer i = NetIndex[g], j = i - 1;
  while (i < NetSize || j >= 0) {
    if (i < NetSize) {
      const auto& p = Network[i];
      Integer dist = p[1] - g;
      if (dist >= bestd) {
        i = NetSize;
      } else {
        ++i;
        if (dist < 0) dist = -dist;
        dist += std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
    if (j >= 0) {
      const auto& p = Network[j];
      Integer dist = g - p[1];
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        if (dist < 0) dist = -dist;
        dist += std::abs(p[0] - b);
        if (dist < bestd) {
          dist += std::abs(p[2] - r);
          if (dist < bestd) {
            bestd = dist;
            best = p[3];
          }
        }
      }
    }
  }
  return best;
}

namespace {

// Reads the pixels the learning walk visits, in walk order: sample i is
// pixel (i * step) mod P. The rows are read once each, top to bottom, so a
// file-backed picture is not re-read for every sample.
std::vector<std::array<Integer, 3>> GatherSamples(TLKBitmap* bitmap, Int64 pixels, Int64 count, Int64 step) {
  std::vector<std::array<Integer, 3>> samples(static_cast<std::size_t>(count));
  if (count == 0) return samples;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  // Bucket the sample numbers by row (counting sort).
  std::vector<Int64> start(static_cast<std::size_t>(h) + 1, 0);
  Int64 k = 0;
  for (Int64 i = 0; i < count; ++i) {
    ++start[static_cast<std::size_t>(k / w) + 1];
    k = (k + step) % pixels;
  }
  for (Integer y = 0; y < h; ++y) start[y + 1] += start[y];
  std::vector<Int64> next(start.begin(), start.end() - 1);
  std::vector<Int64> order(static_cast<std::size_t>(count));
  k = 0;
  for (Int64 i = 0; i < count; ++i) {
    order[next[static_cast<std::size_t>(k / w)]++] = i;
    k = (k + step) % pixels;
  }
  for (Integer y = 0; y < h; ++y) {
    if (start[y] == start[y + 1]) continue;
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Int64 o = start[y]; o < start[y + 1]; ++o) {
      const Int64 i = order[o];
      const TRGB& p = row[(i * step) % pixels % w];
      samples[i] = {p.b << kNetBiasShift, p.g << kNetBiasShift, p.r << kNetBiasShift};
    }
  }
  return samples;
}

TNeuQuantState* CreateNeuQuant(TLKBitmap* bitmap, TRGB* palette, Integer N, Integer quality) {
  auto st = std::make_unique<TNeuQuantState>();
  st->Width = bitmap->GetWidth();
  st->Height = bitmap->GetHeight();
  const Int64 pixels = Int64{st->Width} * st->Height;
  st->NetSize = N;
  st->MaxNetPos = N - 1;
  st->InitRad = N / 8;
  st->InitRadius = st->InitRad << kRadiusBiasShift;
  st->LengthCount = pixels * 3;
  st->SampleFac = NeuQuantSampleFactor(pixels, quality);
  st->AlphaDec = 30 + (st->SampleFac - 1) / 3;
  st->Network.resize(N);
  st->Bias.assign(N, 0);
  st->Freq.assign(N, kIntBias / N);
  st->RadPower.assign(std::max<Integer>(st->InitRad, 1), 0);
  for (Integer i = 0; i < N; ++i) {
    const Integer v = (i << (kNetBiasShift + 8)) / N;
    st->Network[i] = {v, v, v, 0};
  }

  if (pixels > 0) {
    Int64 step = kPrimes[3];
    for (int p = 0; p < 3; ++p)
      if (st->LengthCount % kPrimes[p] != 0) {
        step = kPrimes[p];
        break;
      }
    const Int64 count = st->LengthCount / (3 * Int64{st->SampleFac});
    st->Learn(GatherSamples(bitmap, pixels, count, step));
  }

  for (Integer i = 0; i < N; ++i) {
    auto& n = st->Network[i];
    n[0] >>= kNetBiasShift;
    n[1] >>= kNetBiasShift;
    n[2] >>= kNetBiasShift;
    n[3] = i;
    palette[i] = CreateRGB(static_cast<Byte>(blimit(n[2])), static_cast<Byte>(blimit(n[1])),
                           static_cast<Byte>(blimit(n[0])));
  }
  // Moves stay between the current value and a sample, so every component
  // is 0..255 already; the clamp keeps the green index safe regardless.
  for (auto& n : st->Network)
    for (int c = 0; c < 3; ++c) n[c] = blimit(n[c]);
  st->BuildIndex();
  return st.release();
}

}  // namespace

// ===========================================================================
// TLKQuantizer
// ===========================================================================

namespace {

constexpr Integer kExactBits = 10;  // 1024 slots for at most 256 colours
constexpr DWORD kExactMask = (1u << kExactBits) - 1;

constexpr Integer kCacheBits = 18;

inline DWORD ColourKey(const TRGB& c) { return (DWORD{c.r} << 16 | DWORD{c.g} << 8 | c.b) + 1; }
inline DWORD ExactSlot(DWORD key) { return (key * 2654435761u) >> (32 - kExactBits); }

}  // namespace

TLKQuantizer::TLKQuantizer(TLKBitmap* bitmap, TRGB* palette, Integer paletteHigh, Integer N, Integer quality,
                           Integer method)
    : bitmap_(bitmap) {
  if (!bitmap || !palette || paletteHigh < 0) return;
  colorCount_ = std::clamp<Integer>(N, 1, 256);
  if (static_cast<Int64>(paletteHigh) + 1 < colorCount_) colorCount_ = paletteHigh + 1;
  const Integer n = colorCount_;

  grayScale_ = bitmap->IsGrayScale();
  const TLKPixelFormat format = bitmap->GetPixelFormat();
  if (format == lk24RGB && !grayScale_) {
    if (FindExactColors(palette)) return;
    if (n < 128) {
      method_ = qmMedianCut;
      medianCut_ = CreateMedianCutQuantizer(bitmap, palette, paletteHigh, n);
    } else {
      method_ = qmNeuQuant;
      neuQuant_ = CreateNeuQuant(bitmap, palette, n, quality);
    }
    return;
  }
  if (format == lk8p) {
    for (Integer i = 0; i < n; ++i) palette[i] = bitmap->GetPalette(i);
  } else if (grayScale_) {
    for (Integer i = 0; i < n; ++i) {
      const Byte v = static_cast<Byte>(blimit(LKTrunc(256.0 / n * i)));
      palette[i] = CreateRGB(v, v, v);
    }
  }
}

TLKQuantizer::~TLKQuantizer() {
  delete neuQuant_;
  FreeMedianCutQuantizer(medianCut_);
}

bool TLKQuantizer::FindExactColors(TRGB* palette) {
  exactKeys_.assign(kExactMask + 1, 0);
  exactIndex_.assign(kExactMask + 1, 0);
  std::vector<TRGB> colours;
  colours.reserve(colorCount_);
  bool tooMany = false;
  DWORD lastKey = 0;
  const Integer w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  for (Integer y = 0; y < h && !tooMany; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap_->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const DWORD key = ColourKey(row[x]);
      if (key == lastKey) continue;  // runs of one colour are common
      lastKey = key;
      DWORD slot = ExactSlot(key);
      while (exactKeys_[slot] != 0 && exactKeys_[slot] != key) slot = (slot + 1) & kExactMask;
      if (exactKeys_[slot] == key) continue;
      if (static_cast<Integer>(colours.size()) == colorCount_) {
        tooMany = true;
        break;
      }
      exactKeys_[slot] = key;
      exactIndex_[slot] = static_cast<Byte>(colours.size());
      colours.push_back(row[x]);
    }
  }
  if (tooMany) {
    exactKeys_.clear();
    exactIndex_.clear();
    return false;
  }
  std::copy(colours.begin(), colours.end(), palette);
  exactCount_ = static_cast<Integer>(colours.size());
  return true;
}

Integer TLKQuantizer::ExactIndex(const TRGB& colour) const {
  const DWORD key = ColourKey(colour);
  for (DWORD slot = ExactSlot(key);; slot = (slot + 1) & kExactMask) {
    if (exactKeys_[slot] == key) return exactIndex_[slot];
    if (exactKeys_[slot] == 0) return -1;
  }
}

Integer TLKQuantizer::GetRGBIndex(const TRGB& colour) const {
  if (exactCount_ >= 0) return ExactIndex(colour);
  if (!bitmap_ || colorCount_ == 0) return 0;
  // The ramp rule is for pictures given a ramp; a grey lk8p picture was
  // given its own palette, so it is looked up there below.
  if (grayScale_ && bitmap_->GetPixelFormat() != lk8p) return colour.r * colorCount_ / 256;
  if (neuQuant_) {
    if (cacheKeys_.empty()) {
      cacheKeys_.assign(std::size_t{1} << kCacheBits, 0);
      cacheIndex_.assign(std::size_t{1} << kCacheBits, 0);
    }
    const DWORD key = ColourKey(colour);
    const DWORD slot = (key * 2654435761u) >> (32 - kCacheBits);
    if (cacheKeys_[slot] != key) {
      cacheKeys_[slot] = key;
      cacheIndex_[slot] = static_cast<Byte>(neuQuant_->Search(colour.b, colour.g, colour.r));
    }
    return cacheIndex_[slot];
  }
  if (medianCut_) return MedianCutFindIndex(medianCut_, colour);
  if (bitmap_->GetPixelFormat() == lk8p) {
    const Integer len = bitmap_->GetPaletteLen();
    for (Integer i = 0; i < len; ++i)
      if (bitmap_->GetPalette(i) == colour) return i;
    return len;
  }
  return 0;
}
