#include "processing/lktone.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "processing/lkbwconv.h"
#include "processing/lkhistogram.h"
#include "processing/lkpointops.h"
#include "processing/lumerakproc.h"

using lkpoint::Clamp8;
using lkpoint::ClipRect;
using lkpoint::RectProgress;
using lkpoint::Table;

namespace {

// Sends the rectangle through three tables (blue, green, red) after the
// routine's own checks.
void Tables(TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2, const Table& blue, const Table& green,
            const Table& red, const TLKProgressEvent& ev, TObject* sender) {
  RectProgress progress(ev, sender, y1, y2);
  lkpoint::ApplyTables24(b, x1, y1, x2, y2, blue, green, red, &progress, nullptr);
}

Table Identity() {
  Table t;
  for (int i = 0; i < 256; ++i) t[i] = static_cast<Byte>(i);
  return t;
}

// The two-level threshold curve of Threshold2 on the chosen channels.
void Threshold2Routine(TLKBitmap* b, Integer first, Integer second, bool red, bool green, bool blue, Integer x1,
                       Integer y1, Integer x2, Integer y2, const TLKProgressEvent& ev, TObject* sender) {
  if (!lkpoint::Is24(b) || !ClipRect(b, x1, y1, x2, y2)) return;
  const Integer d = first == 0 ? 1 : first;
  const Integer u = second == 0 ? 1 : second;
  const double k1 = 255.0 / d, k2 = 255.0 / u;
  Table t;
  for (Integer i = 0; i < 256; ++i) {
    const Integer v = Clamp8(LKTrunc((255 - i) / k1 + i));
    t[i] = d < v ? static_cast<Byte>(LKTrunc(v / k2)) : static_cast<Byte>(v);
  }
  const Table id = Identity();
  Tables(b, x1, y1, x2, y2, blue ? t : id, green ? t : id, red ? t : id, ev, sender);
}

}  // namespace

void _ContrastRGB(TLKBitmap* Bitmap, Integer Contrast, Integer RedCentre, Integer GreenCentre, Integer BlueCentre,
                  Integer X1, Integer Y1, Integer X2, Integer Y2, const TLKProgressEvent& OnProgress,
                  TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  const Int64 f = Contrast >= 0 ? LKTrunc64((1 + Contrast / 10.0) * 65536)
                                : LKTrunc64((1 - std::sqrt(-static_cast<double>(Contrast)) / 10) * 65536);
  auto make = [f](Integer m) {
    Table t;
    for (Int64 i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = Clamp8(static_cast<Integer>((i - m) * f / 65536 + m));
    return t;
  };
  Tables(Bitmap, X1, Y1, X2, Y2, make(BlueCentre), make(GreenCentre), make(RedCentre), OnProgress, Sender);
}

void _IntensityRGBall(TLKBitmap* Bitmap, Integer Red, Integer Green, Integer Blue, Integer X1, Integer Y1,
                      Integer X2, Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  auto make = [](Integer off) {
    Table t;
    for (Int64 i = 0; i < 256; ++i) {
      const Int64 v = i + off;
      t[static_cast<size_t>(i)] = static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return t;
  };
  Tables(Bitmap, X1, Y1, X2, Y2, make(Blue), make(Green), make(Red), OnProgress, Sender);
}

void _Threshold(TLKBitmap* Bitmap, TRGB LowLimits, TRGB HighLimits, TRGB LowColor, TRGB HighColor, Integer X1,
                Integer Y1, Integer X2, Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  if (LowLimits == TRGB{0, 0, 0} && HighLimits == TRGB{255, 255, 255}) return;
  // Per channel the two tests in order, as a table: the low test, then the
  // high test on the value as it then stands.
  auto make = [](Byte lo, Byte hi, Byte loC, Byte hiC) {
    Table t;
    for (Integer i = 0; i < 256; ++i) {
      Integer v = i <= lo ? loC : i;
      if (v > hi) v = hiC;
      t[i] = static_cast<Byte>(v);
    }
    return t;
  };
  Tables(Bitmap, X1, Y1, X2, Y2, make(LowLimits.b, HighLimits.b, LowColor.b, HighColor.b),
         make(LowLimits.g, HighLimits.g, LowColor.g, HighColor.g),
         make(LowLimits.r, HighLimits.r, LowColor.r, HighColor.r), OnProgress, Sender);
}

void _HistEqualize(TLKBitmap* Bitmap, TRGB Low, TRGB High, Integer X1, Integer Y1, Integer X2, Integer Y2,
                   const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  if (High.r < 1) High.r = 1;
  if (High.g < 1) High.g = 1;
  if (High.b < 1) High.b = 1;
  if (Low == High) return;
  auto make = [](Integer l, Integer h) {
    const double d = l == 255 ? 1 : 255 - l;
    Table first, second, t;
    for (Integer i = 0; i < 256; ++i) {
      first[i] = Clamp8(LKRound((i - l) / d * 255));
      second[i] = Clamp8(LKRound(static_cast<double>(i) / h * 255));
    }
    for (Integer i = 0; i < 256; ++i) t[i] = second[first[i]];
    return t;
  };
  Tables(Bitmap, X1, Y1, X2, Y2, make(Low.b, High.b), make(Low.g, High.g), make(Low.r, High.r), OnProgress,
         Sender);
}

void _HistAutoEqualize(TLKBitmap* Bitmap, Integer X1, Integer Y1, Integer X2, Integer Y2,
                       const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!lkpoint::Is24(Bitmap) || !ClipRect(Bitmap, X1, Y1, X2, Y2)) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  THistogram hist;
  _GetHistogram(Bitmap, hist, 0, 0, w, h, nullptr);
  const double step = static_cast<double>(w) * h / 256;
  Table low, high;
  double sum = 0;
  Integer k = 0;
  for (Integer g = 0; g < 256; ++g) {
    low[g] = Clamp8(k);
    sum += hist.Items[g].Gray;
    while (sum > step) {
      sum -= step;
      ++k;
    }
    high[g] = Clamp8(k);
  }
  // Rolling copies of the unchanged rows above, at and below the row being
  // written: the result of row y goes straight back into the picture once
  // the original of row y is kept for row y + 1.
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  std::vector<Byte> prev(rowBytes), cur(rowBytes), next(rowBytes);
  auto load = [&](std::vector<Byte>& dst, Integer y) {
    y = y < 0 ? 0 : y >= h ? h - 1 : y;
    std::memcpy(dst.data(), Bitmap->GetScanLine(y), rowBytes);
  };
  load(prev, Y1 - 1);
  load(cur, Y1);
  // Column sums of the three rows, one per channel byte, with a repeated
  // column at each end so that the horizontal sum needs no edge test.
  std::vector<Integer> colSum((static_cast<size_t>(w) + 2) * 3);
  RectProgress progress(OnProgress, Sender, Y1, Y2);
  for (Integer y = Y1; y < Y2; ++y) {
    load(next, y + 1);
    Integer* cs = colSum.data() + 3;
    for (size_t i = 0; i < rowBytes; ++i) cs[i] = prev[i] + cur[i] + next[i];
    for (int c = 0; c < 3; ++c) {
      cs[-3 + c] = cs[c];
      cs[static_cast<size_t>(w) * 3 + c] = cs[static_cast<size_t>(w - 1) * 3 + c];
    }
    Byte* out = static_cast<Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = X1; x < X2; ++x) {
      const Integer* s3 = cs + static_cast<ptrdiff_t>(x) * 3;
      const Integer mb = (s3[-3] + s3[0] + s3[3]) / 9;
      const Integer mg = (s3[-2] + s3[1] + s3[4]) / 9;
      const Integer mr = (s3[-1] + s3[2] + s3[5]) / 9;
      const Byte* p = cur.data() + static_cast<size_t>(x) * 3;
      const Integer g = lkpoint::Grey(p[2], p[1], p[0]);
      const Integer a = lkpoint::Grey(mr, mg, mb);
      Byte* o = out + static_cast<size_t>(x) * 3;
      if (low[g] == high[g] || a < low[g]) {
        o[0] = low[p[0]], o[1] = low[p[1]], o[2] = low[p[2]];
      } else if (a > high[g]) {
        o[0] = high[p[0]], o[1] = high[p[1]], o[2] = high[p[2]];
      } else {
        o[0] = static_cast<Byte>(mb), o[1] = static_cast<Byte>(mg), o[2] = static_cast<Byte>(mr);
      }
    }
    prev.swap(cur);
    cur.swap(next);
    progress.Row(y);
  }
}

void _LKGammaCorrect(TLKBitmap* Bitmap, double Gamma, TLKChannels Channels, const TLKProgressEvent& OnProgress,
                     TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty() || !(Gamma > 0)) return;
  const bool r = Channels.Contains(lkcRed), g = Channels.Contains(lkcGreen), b = Channels.Contains(lkcBlue);
  if (!r && !g && !b) return;
  const double e = 1 / Gamma;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  lkpoint::WholeProgress progress(OnProgress, Sender, h);
  switch (Bitmap->GetPixelFormat()) {
    case lk24RGB: {
      Table t;
      for (Integer i = 0; i < 256; ++i) t[i] = lkpoint::Clamp8d(std::nearbyint(std::pow(i / 255.0, e) * 255));
      const Table id = Identity();
      lkpoint::ApplyTables24(Bitmap, 0, 0, w, h, b ? t : id, g ? t : id, r ? t : id, nullptr, &progress);
      break;
    }
    case lk8p:
      for (Integer i = 0; i < Bitmap->GetPaletteLen(); ++i) {
        TRGB c = Bitmap->GetPalette(i);
        auto f = [e](Byte v) { return lkpoint::Clamp8d(std::nearbyint(std::pow(v / 255.0, e) * 255)); };
        if (r) c.r = f(c.r);
        if (g) c.g = f(c.g);
        if (b) c.b = f(c.b);
        Bitmap->SetPalette(i, c);
      }
      break;
    case lk8g: {
      Table t;
      for (Integer i = 0; i < 256; ++i) t[i] = lkpoint::Clamp8d(std::nearbyint(std::pow(i / 255.0, e) * 255));
      for (Integer y = 0; y < h; ++y) {
        Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
        for (Integer x = 0; x < w; ++x) p[x] = t[p[x]];
        progress.Row(y);
      }
      break;
    }
    case lk16g:
    case lk48RGB: {
      std::vector<Word> t(65536);
      for (Integer i = 0; i < 65536; ++i) {
        const double v = std::nearbyint(std::pow(i / 65535.0, e) * 65535);
        t[static_cast<size_t>(i)] = static_cast<Word>(v <= 0 ? 0 : v >= 65535 ? 65535 : v);
      }
      const bool grey = Bitmap->GetPixelFormat() == lk16g;
      for (Integer y = 0; y < h; ++y) {
        Word* p = static_cast<Word*>(Bitmap->GetScanLine(y));
        if (grey) {
          for (Integer x = 0; x < w; ++x) p[x] = t[p[x]];
        } else {
          for (Integer x = 0; x < w; ++x, p += 3) {
            if (r) p[0] = t[p[0]];
            if (g) p[1] = t[p[1]];
            if (b) p[2] = t[p[2]];
          }
        }
        progress.Row(y);
      }
      break;
    }
    default:
      break;
  }
}

// --- Methods of the processing component ----------------------------------------

namespace {
const TLKPixelFormatSet k24{lk24RGB};
}

void TLumerakProc::Contrast(Integer Value) {
  RunImageProcessing(k24, "Contrast " + std::to_string(Value),
                     [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
                       // The centres are the means of the whole attached
                       // picture, also with a selection.
                       Integer r = 0, g = 0, b = 0;
                       _GetMediaContrastRGB(FBitmap, r, g, b);
                       _ContrastRGB(bm, Value, r, g, b, x1, y1, x2, y2, OnProgress, this);
                     });
}

void TLumerakProc::IntensityRGBall(Integer Red, Integer Green, Integer Blue) {
  RunImageProcessing(k24,
                     "IntensityRGBall " + std::to_string(Red) + "," + std::to_string(Green) + "," +
                         std::to_string(Blue),
                     [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
                       _IntensityRGBall(bm, Red, Green, Blue, x1, y1, x2, y2, OnProgress, this);
                     });
}

void TLumerakProc::Threshold(TRGB LowLimits, TRGB HighLimits, TRGB LowColor, TRGB HighColor) {
  RunImageProcessing(k24, "Threshold", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Threshold(bm, LowLimits, HighLimits, LowColor, HighColor, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::Threshold2(Integer First, Integer Second, bool Red, bool Green, bool Blue) {
  RunImageProcessing(k24, "Threshold2", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    Threshold2Routine(bm, First, Second, Red, Green, Blue, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::HistEqualize(TRGB Low, TRGB High) {
  RunImageProcessing(k24, "HistEqualize", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    _HistEqualize(bm, Low, High, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::HistAutoEqualize() {
  RunImageProcessing(k24, "HistAutoEqualize", [&](TLKBitmap* bm, Integer x1, Integer y1, Integer x2, Integer y2) {
    _HistAutoEqualize(bm, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::GammaCorrect(double Gamma, TLKChannels Channels) {
  RunImageProcessing({lk8p, lk8g, lk16g, lk24RGB, lk48RGB}, "GammaCorrect",
                     [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
                       _LKGammaCorrect(bm, Gamma, Channels, OnProgress, this);
                       lkpoint::CopyPalette(bm, FBitmap);
                     });
}
