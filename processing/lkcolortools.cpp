#include "processing/lkcolortools.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmath.h"
#include "processing/lkcolorconv.h"
#include "processing/lkpointops.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

using lkpoint::Clamp8;
using lkpoint::Is24;
using lkpoint::Table;
using lkpoint::WholeProgress;

void LKAdjustBrightnessContrastSaturation(TLKBitmap* Bitmap, Integer BrightnessFactor, Integer Contrast,
                                         Integer SaturationFactor, const TLKProgressEvent& OnProgress,
                                         TObject* Sender) {
  if (!Is24(Bitmap)) return;
  const Integer c = Contrast >= 100 ? 99 : Contrast;
  const double k = c > 0 ? 1 / std::cos(c * M_PI / 200) : std::cos(c * 0.015708);
  Table C, L;
  for (Integer i = 0; i < 256; ++i) C[i] = Clamp8(LKRound((i - 170) * k + 170));
  for (Integer j = 0; j < 256; ++j) {
    const Int64 g = ((j - 1) * static_cast<Int64>(BrightnessFactor) + 256) / 256;
    L[j] = C[Clamp8(static_cast<Integer>(g < -1 ? -1 : g > 256 ? 256 : g))];
  }
  const Integer sf = SaturationFactor < 0 ? 0 : SaturationFactor;
  Integer S[256], D[766];
  for (Integer l = 0; l < 256; ++l) S[l] = static_cast<Integer>((static_cast<Int64>(sf) * (l + 1)) >> 8);
  for (Integer t = 0; t <= 765; ++t) D[t] = t / 3 - S[t / 3];
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  WholeProgress progress(OnProgress, Sender, h);
  if (sf == 256) {
    // The saturation step is the identity: only the brightness-contrast table.
    lkpoint::ApplyTables24(Bitmap, 0, 0, w, h, L, L, L, nullptr, &progress);
    return;
  }
  for (Integer y = 0; y < h; ++y) {
    Byte* p = static_cast<Byte*>(Bitmap->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      const Integer d = D[p[0] + p[1] + p[2]];
      p[0] = L[Clamp8(d + S[p[0]])];
      p[1] = L[Clamp8(d + S[p[1]])];
      p[2] = L[Clamp8(d + S[p[2]])];
    }
    progress.Row(y);
  }
}

namespace {

// Cumulative weights of a 256-level histogram with the counts raised to
// `e` (single precision, as the levels are few and the sums small).
void Cumulate(const Int64 hist[256], float e, float cum[256], float& total) {
  total = 0;
  for (Integer i = 0; i < 256; ++i) {
    // 0 raised to a negative power has no value: an empty level weighs 0.
    const float w = hist[i] == 0 && e < 0 ? 0.0f
                                          : static_cast<float>(LKPower(static_cast<long double>(hist[i]), e));
    total += w;
    cum[i] = total;
  }
  if (!(total > 0)) total = 1;
}

// HSB equalisation of brightness, and of saturation when `sat`.
void EqualiseHSB(TLKBitmap* b, bool sat, float es, float eb, const TLKProgressEvent& ev, TObject* sender) {
  if (!Is24(b)) return;
  const Integer w = b->GetWidth(), h = b->GetHeight();
  Int64 hs[256] = {}, hb[256] = {};
  for (Integer y = 0; y < h; ++y) {
    const Byte* p = static_cast<const Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      Word H, S, B;
      LKRGBtoHSB(p[2], p[1], p[0], H, S, B);
      ++hs[S & 255];
      ++hb[B & 255];
    }
  }
  float cs[256], cb[256], ts, tb;
  Cumulate(hs, es, cs, ts);
  Cumulate(hb, eb, cb, tb);
  Word ns[256], nb[256];
  for (Integer i = 0; i < 256; ++i) {
    ns[i] = static_cast<Word>(LKTrunc(255 / ts * cs[i]));
    nb[i] = static_cast<Word>(LKTrunc(255 / tb * cb[i]));
  }
  WholeProgress progress(ev, sender, h);
  for (Integer y = 0; y < h; ++y) {
    Byte* p = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x, p += 3) {
      Word H, S, B;
      LKRGBtoHSB(p[2], p[1], p[0], H, S, B);
      if (sat) S = ns[S & 255];
      B = nb[B & 255];
      LKHSBtoRGB(H, S, B, p[2], p[1], p[0]);
    }
    progress.Row(y);
  }
}

}  // namespace

void LKContrast2(TLKBitmap* Bitmap, float Exponent, const TLKProgressEvent& OnProgress, TObject* Sender) {
  EqualiseHSB(Bitmap, false, 1, Exponent, OnProgress, Sender);
}

void LKAutoSBHist(TLKBitmap* Bitmap, float SaturationExponent, float BrightnessExponent,
                  const TLKProgressEvent& OnProgress, TObject* Sender) {
  EqualiseHSB(Bitmap, true, SaturationExponent, BrightnessExponent, OnProgress, Sender);
}

void LKAdjustSaturation(TLKBitmap* Bitmap, Integer Saturation, const TLKProgressEvent& OnProgress,
                        TObject* Sender) {
  if (!Is24(Bitmap)) return;
  const double s = Saturation;
  lkpoint::EachPixel24(Bitmap, WholeProgress(OnProgress, Sender, Bitmap->GetHeight()), [s](Byte* p) {
    const Integer R = p[2], G = p[1], B = p[0];
    const Integer Y = LKRound((30 * R + 59 * G + 11 * B) / 100.0);
    const Integer r = Y + LKRound(s * LKRound((70 * R - 59 * G - 11 * B) / 100.0) / 100);
    const Integer g = Y + LKRound(s * LKRound((41 * G - 30 * R - 11 * B) / 100.0) / 100);
    const Integer b = Y + LKRound(s * LKRound((89 * B - 30 * R - 59 * G) / 100.0) / 100);
    p[2] = Clamp8(r), p[1] = Clamp8(g), p[0] = Clamp8(b);
  });
}

void LKAdjustTint(TLKBitmap* Bitmap, Integer Angle, const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap)) return;
  const float a = static_cast<float>(Angle * 3.14159 / 180);
  const float sn = static_cast<float>(std::sin(a) * 256), cs = static_cast<float>(std::cos(a) * 256);
  lkpoint::EachPixel24(Bitmap, WholeProgress(OnProgress, Sender, Bitmap->GetHeight()), [sn, cs](Byte* p) {
    const Integer R = p[2], G = p[1], B = p[0];
    const Integer Y = LKRound((59 * G + 30 * R + 11 * B) / 100.0);
    const Integer u = LKRound((89 * B - 30 * R - 59 * G) / 100.0);
    const Integer v = LKRound((70 * R - 59 * G - 11 * B) / 100.0);
    const Integer v2 = LKRound((u * static_cast<double>(sn) + static_cast<double>(cs) * v) / 256);
    const Integer u2 = LKRound((u * static_cast<double>(cs) - static_cast<double>(sn) * v) / 256);
    const Integer g2 = LKRound((-51.0 * v2 - 19.0 * u2) / 100);
    p[2] = Clamp8(Y + v2), p[1] = Clamp8(Y + g2), p[0] = Clamp8(Y + u2);
  });
}

void LKShift(TLKBitmap* Bitmap, Integer DX, Integer DY, Integer Channel, Integer FillValue,
             const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Is24(Bitmap) || Channel < 0 || Channel > 2) return;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  // The source stays as it was while the result is built in a copy.
  TLKBitmap source;
  source.Assign(Bitmap);
  const Byte fill = static_cast<Byte>(FillValue);
  WholeProgress progress(OnProgress, Sender, h);
  for (Integer y = 0; y < h; ++y) {
    Byte* out = static_cast<Byte*>(Bitmap->GetScanLine(y));
    Integer sy = y - DY;
    const bool rowOutside = sy < 0 || sy >= h;
    if (FillValue < 0) sy = sy < 0 ? 0 : sy >= h ? h - 1 : sy;
    const Byte* in = rowOutside && FillValue >= 0 ? nullptr : static_cast<const Byte*>(source.GetScanLine(sy));
    for (Integer x = 0; x < w; ++x) {
      Integer sx = x - DX;
      Byte v;
      if (FillValue < 0) {
        sx = sx < 0 ? 0 : sx >= w ? w - 1 : sx;
        v = in[sx * 3 + Channel];
      } else {
        v = (!in || sx < 0 || sx >= w) ? fill : in[sx * 3 + Channel];
      }
      out[x * 3 + Channel] = v;
    }
    progress.Row(y);
  }
}

// --- Methods of the processing component ----------------------------------------

namespace {
const TLKPixelFormatSet k24{lk24RGB};

// The three channels of a code ("RGB", "bbb"): for the blue, green and red
// byte the storage index to take; false for a code shorter than three
// letters or with a letter other than B, G and R.
bool ChannelCode(const String& code, int order[3]) {
  if (code.size() < 3) return false;
  for (int i = 0; i < 3; ++i) {
    switch (std::toupper(static_cast<unsigned char>(code[static_cast<size_t>(i)]))) {
      case 'B': order[i] = 0; break;
      case 'G': order[i] = 1; break;
      case 'R': order[i] = 2; break;
      default: return false;
    }
  }
  return true;
}
}  // namespace

void TLumerakProc::AdjustBrightnessContrastSaturation(Integer Brightness, Integer ContrastValue,
                                                      Integer Saturation) {
  RunImageProcessing(k24, "AdjustBrightnessContrastSaturation",
                     [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
                       LKAdjustBrightnessContrastSaturation(bm, LKTrunc((Brightness / 100.0 + 1) * 256),
                                                            ContrastValue,
                                                            LKTrunc((Saturation / 100.0 + 1) * 256), OnProgress,
                                                            this);
                     });
}

void TLumerakProc::Contrast2(double Exponent) {
  RunImageProcessing(k24, "Contrast2", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKContrast2(bm, static_cast<float>(Exponent), OnProgress, this);
  });
}

void TLumerakProc::AdjustSaturation(Integer Amount) {
  RunImageProcessing(k24, "AdjustSaturation", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKAdjustSaturation(bm, Amount + 100, OnProgress, this);
  });
}

void TLumerakProc::AdjustTint(Integer Angle) {
  RunImageProcessing(k24, "AdjustTint", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKAdjustTint(bm, Angle, OnProgress, this);
  });
}

void TLumerakProc::AdjustLumSatHistogram(double SaturationExponent, double BrightnessExponent) {
  RunImageProcessing(k24, "AdjustLumSatHistogram", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKAutoSBHist(bm, static_cast<float>(SaturationExponent), static_cast<float>(BrightnessExponent), OnProgress,
                 this);
  });
}

void TLumerakProc::DisposeChannels(const String& Code) {
  RunImageProcessing(k24, "DisposeChannels", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    int order[3];
    if (!ChannelCode(Code, order) || bm->IsEmpty()) return;
    lkpoint::EachPixel24(bm, WholeProgress(OnProgress, this, bm->GetHeight()), [&order](Byte* p) {
      const Byte old[3] = {p[0], p[1], p[2]};
      p[0] = old[order[0]], p[1] = old[order[1]], p[2] = old[order[2]];
    });
  });
}

void TLumerakProc::Intensity(Integer Low, Integer High, Integer Amount, bool Average, bool Red, bool Green,
                             bool Blue) {
  RunImageProcessing(k24, "Intensity", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    if (Low == 255 || High == 0 || Low >= High || Amount == 0 || High - Low < 2 || bm->IsEmpty()) return;
    const Integer mid = LKTrunc(Low + (High - Low) / 2.0);
    const double step = static_cast<double>(Amount) / (mid - Low);
    Integer T[256], O[256];
    for (Integer i = 0; i < 256; ++i) T[i] = i, O[i] = 0;
    double offset = 0;
    for (Integer i = Low; i <= High; ++i) {
      offset += i <= mid ? step : -step;
      if (i < 0 || i > 255) continue;
      T[i] = LKTrunc(i + offset);
      O[i] = LKTrunc(offset);
    }
    Table t;
    for (Integer i = 0; i < 256; ++i) t[i] = Clamp8(Amount < 0 ? std::max<Integer>(T[i], 0) : std::min<Integer>(T[i], 255));
    const Integer w = bm->GetWidth(), h = bm->GetHeight();
    WholeProgress progress(OnProgress, this, h);
    if (!Average) {
      Table id;
      for (Integer i = 0; i < 256; ++i) id[i] = static_cast<Byte>(i);
      lkpoint::ApplyTables24(bm, 0, 0, w, h, Blue ? t : id, Green ? t : id, Red ? t : id, nullptr, &progress);
      return;
    }
    lkpoint::EachPixel24(bm, progress, [&](Byte* p) {
      const Integer o = O[(p[0] + p[1] + p[2]) / 3];
      if (Blue) p[0] = Clamp8(p[0] + o);
      if (Green) p[1] = Clamp8(p[1] + o);
      if (Red) p[2] = Clamp8(p[2] + o);
    });
  });
}

void TLumerakProc::Contrast3(Integer Amount, Integer Offset, bool Red, bool Green, bool Blue) {
  RunImageProcessing(k24, "Contrast3", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    if (Amount == 0 || bm->IsEmpty()) return;
    const Integer a = std::clamp<Integer>(Amount, -255, 255), b = std::clamp<Integer>(Offset, -100, 100);
    const double r = a > 0 ? a / 50.0 + 1 : 1 / (5 - (a + 100) / 25.0);
    const Integer d = b + 100;
    Table t, id;
    for (Integer i = 0; i < 256; ++i) t[i] = Clamp8(LKTrunc((i - d) * r + d)), id[i] = static_cast<Byte>(i);
    WholeProgress progress(OnProgress, this, bm->GetHeight());
    lkpoint::ApplyTables24(bm, 0, 0, bm->GetWidth(), bm->GetHeight(), Blue ? t : id, Green ? t : id,
                           Red ? t : id, nullptr, &progress);
  });
}

void TLumerakProc::ShiftChannel(Integer DX, Integer DY, Integer Channel, Integer FillValue) {
  RunImageProcessing(k24, "ShiftChannel", [&](TLKBitmap* bm, Integer, Integer, Integer, Integer) {
    LKShift(bm, DX, DY, Channel, FillValue, OnProgress, this);
  });
}
