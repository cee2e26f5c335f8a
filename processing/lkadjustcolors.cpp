#include "processing/lkadjustcolors.h"

#include <array>
#include <cmath>

#include "core/lkbitmap.h"

namespace {

using THistogram = std::array<Int64, 256>;

// Histograms of the three channels of a 24-bit bitmap, in storage order
// (blue, green, red).
void Histograms24(TLKBitmap& B, std::array<THistogram, 3>& h) {
  for (auto& c : h) c.fill(0);
  const Integer w = B.GetWidth(), ht = B.GetHeight();
  for (Integer y = 0; y < ht; ++y) {
    const Byte* p = static_cast<const Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      ++h[0][p[0]];
      ++h[1][p[1]];
      ++h[2][p[2]];
    }
  }
}

// Histograms of the high bytes of a 48-bit bitmap, in blue, green, red order
// (the samples are stored red, green, blue).
void Histograms48(TLKBitmap& B, std::array<THistogram, 3>& h) {
  for (auto& c : h) c.fill(0);
  const Integer w = B.GetWidth(), ht = B.GetHeight();
  for (Integer y = 0; y < ht; ++y) {
    const Word* p = static_cast<const Word*>(B.GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      ++h[0][p[2] >> 8];
      ++h[1][p[1] >> 8];
      ++h[2][p[0] >> 8];
    }
  }
}

// The level map of one channel: equalisation over the channel's own
// histogram, then for each equalised level the reference level whose
// cumulative share is nearest.
std::array<Byte, 256> ChannelMap(const THistogram& own, double ownCount, const THistogram& ref,
                                 double refCount) {
  std::array<double, 256> r;
  Int64 cum = 0;
  const double refScale = 255.0 / refCount;
  for (int i = 0; i < 256; ++i) {
    cum += ref[i];
    r[i] = refScale * static_cast<double>(cum);
  }
  // Nearest reference level for each level; the lowest one wins a tie.
  std::array<Byte, 256> nearest;
  for (int i = 0; i < 256; ++i) {
    int best = 0;
    double bestDist = std::fabs(r[0] - i);
    for (int j = 1; j < 256; ++j) {
      const double d = std::fabs(r[j] - i);
      if (d < bestDist) {
        bestDist = d;
        best = j;
      }
    }
    nearest[i] = static_cast<Byte>(best);
  }
  std::array<Byte, 256> map;
  cum = 0;
  const double ownScale = 255.0 / ownCount;
  for (int v = 0; v < 256; ++v) {
    cum += own[v];
    Integer eq = LKTrunc(static_cast<double>(cum) * ownScale);
    eq = eq < 0 ? 0 : eq > 255 ? 255 : eq;
    map[v] = nearest[eq];
  }
  return map;
}

}  // namespace

void LKAdjustColors(TLKBitmap* Reference, TLKBitmap* Bitmap) {
  if (!Reference || !Bitmap) return;
  if (Reference->GetPixelFormat() != lk24RGB || Reference->IsEmpty() || Bitmap->IsEmpty()) return;
  const TLKPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt != lk24RGB && fmt != lk48RGB) return;

  std::array<THistogram, 3> ref, own;
  Histograms24(*Reference, ref);
  const double refCount = static_cast<double>(Reference->GetWidth()) * Reference->GetHeight();
  if (fmt == lk24RGB)
    Histograms24(*Bitmap, own);
  else
    Histograms48(*Bitmap, own);
  const double ownCount = static_cast<double>(Bitmap->GetWidth()) * Bitmap->GetHeight();

  std::array<std::array<Byte, 256>, 3> map;  // blue, green, red
  for (int c = 0; c < 3; ++c) map[c] = ChannelMap(own[c], ownCount, ref[c], refCount);

  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    if (fmt == lk24RGB) {
      Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
      for (Integer x = 0; x < w; ++x, p += 3) {
        p[0] = map[0][p[0]];
        p[1] = map[1][p[1]];
        p[2] = map[2][p[2]];
      }
    } else {
      Word* p = static_cast<Word*>(Bitmap->GetScanLine(y));
      for (Integer x = 0; x < w; ++x, p += 3) {
        p[0] = static_cast<Word>(map[2][p[0] >> 8] * 257);
        p[1] = static_cast<Word>(map[1][p[1] >> 8] * 257);
        p[2] = static_cast<Word>(map[0][p[2] >> 8] * 257);
      }
    }
  }
}
