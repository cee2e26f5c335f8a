// Prints a hash of the pixels every resampler, rotation and TIFF coding
// gives over a table of pictures and settings, one line per case, so that a
// speed change can be checked to leave every result byte for byte as it was:
// run it before and after and compare the outputs (`diff`).
//
//   hash_tool > hashes.txt
//
// Pictures: odd and even sizes, 24-bit, 8-bit grey and 1-bit, random noise
// and smooth ramps. Settings: every filter of _ResampleEx up and down (and a
// crop of a picture resampled), _LKQResample both modes, the shear and
// sampled rotations at several angles, the median filter in its three kinds
// over several windows, TIFF saved and loaded uncompressed,
// LZW with and without the predictor, PackBits and G4; the hash of a TIFF
// case covers the file's bytes and the pixels read back.
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "core/lkbitmap.h"
#include "processing/lkfilterresample.h"
#include "processing/lkmedian.h"
#include "processing/lkresample.h"
#include "processing/lkrotate.h"

namespace {

std::uint64_t Fnv(const Byte* p, size_t n, std::uint64_t h = 1469598103934665603ull) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// The hash of a picture's pixel bytes (row padding left out), its size and
// format.
std::uint64_t HashOf(TLKBitmap& B) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  const Integer bits = B.GetBitCount();
  std::uint64_t v = Fnv(reinterpret_cast<const Byte*>(&w), sizeof w);
  v = Fnv(reinterpret_cast<const Byte*>(&h), sizeof h, v);
  v = Fnv(reinterpret_cast<const Byte*>(&bits), sizeof bits, v);
  const size_t full = static_cast<size_t>(w) * static_cast<size_t>(bits) / 8;
  const Integer rest = (w * bits) % 8;
  for (Integer y = 0; y < h; ++y) {
    const auto* r = static_cast<const Byte*>(B.GetScanLine(y));
    v = Fnv(r, full, v);
    if (rest) {
      const Byte last = static_cast<Byte>(r[full] & (0xFF00 >> rest));
      v = Fnv(&last, 1, v);
    }
  }
  return v;
}

void Print(const std::string& Name, std::uint64_t H) { std::printf("%-44s %016llx\n", Name.c_str(), static_cast<unsigned long long>(H)); }

enum class Content { Noise, Smooth, Page };

void Make(TLKBitmap& B, Integer W, Integer H, TLKPixelFormat F, Content C) {
  B.Allocate(W, H, F);
  std::uint32_t seed = static_cast<std::uint32_t>(W * 7919 + H * 31 + F);
  const Integer rowBytes = F == lk1g ? (W + 7) / 8 : W * (F == lk24RGB ? 3 : 1);
  for (Integer y = 0; y < H; ++y) {
    auto* r = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer i = 0; i < rowBytes; ++i) {
      seed = seed * 1664525u + 1013904223u;
      if (C == Content::Noise) {
        r[i] = static_cast<Byte>(seed >> 24);
      } else if (C == Content::Page) {
        // A page: white, with lines of short black marks in some bands of
        // rows and long white stretches between them.
        const bool band = (y / 12) % 3 == 1 && i > rowBytes / 8 && i < rowBytes - rowBytes / 8 - 20;
        r[i] = band && (seed >> 28) < 6 ? static_cast<Byte>(seed >> 16) : 0xFF;
      } else if (F == lk1g) {
        // Runs of black and white of varying length, as on a page of text.
        r[i] = ((y / 3 + i) % 5 < 2) ? static_cast<Byte>(seed >> 24) : 0xFF;
      } else {
        const Integer x = F == lk24RGB ? i / 3 : i;
        const Integer c = F == lk24RGB ? i % 3 : 0;
        r[i] = static_cast<Byte>((x * 255 / (W > 1 ? W - 1 : 1) + y * 128 / (H > 1 ? H - 1 : 1) + c * 40) & 255);
      }
    }
  }
}

struct Pic {
  const char* name;
  Integer w, h;
  TLKPixelFormat f;
  Content c;
};

const Pic kPictures[] = {
    {"rgb-noise-97x61", 97, 61, lk24RGB, Content::Noise},   {"rgb-smooth-640x480", 640, 480, lk24RGB, Content::Smooth},
    {"rgb-noise-1x7", 1, 7, lk24RGB, Content::Noise},       {"rgb-noise-333x5", 333, 5, lk24RGB, Content::Noise},
    {"g8-noise-101x67", 101, 67, lk8g, Content::Noise},     {"g8-smooth-256x190", 256, 190, lk8g, Content::Smooth},
    {"g1-smooth-203x77", 203, 77, lk1g, Content::Smooth},   {"g1-noise-64x33", 64, 33, lk1g, Content::Noise},
    {"g1-page-1203x301", 1203, 301, lk1g, Content::Page},
};

void Resamples(const Pic& P) {
  const TResampleFilter filters[] = {rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell, rfNearest,
                                     rfLinear, rfFastLinear, rfBilinear, rfBicubic, rfProjectBW, rfProjectWB};
  const struct {
    const char* name;
    double sx, sy;
  } scales[] = {{"down90", 0.9, 0.9}, {"down37", 0.37, 0.41}, {"up250", 2.5, 2.5}, {"mixed", 1.7, 0.6},
                {"same", 1, 1},       {"tiny", 0.02, 0.02}};
  for (const TResampleFilter f : filters) {
    for (const auto& s : scales) {
      TLKBitmap src;
      Make(src, P.w, P.h, P.f, P.c);
      TLKBitmap dst;
      const Integer w2 = std::max(1, static_cast<Integer>(P.w * s.sx + 0.5));
      const Integer h2 = std::max(1, static_cast<Integer>(P.h * s.sy + 0.5));
      if (P.f == lk1g) {
        dst.Allocate(w2, h2, lk24RGB);
        _Resample1bitEx(&src, &dst, f);
      } else if (P.f == lk8g) {
        dst.Allocate(w2, h2, lk8g);
        _ResampleAlphaEx(&src, &dst, f);
      } else {
        dst.Allocate(w2, h2, lk24RGB);
        _ResampleEx(&src, &dst, f);
      }
      Print(std::string("resample ") + P.name + " f" + std::to_string(f) + " " + s.name, HashOf(dst));
    }
  }
  if (P.f == lk24RGB) {
    // A crop taken out of the picture, then the area resampler both ways.
    for (Integer mode = 0; mode < 2; ++mode) {
      TLKBitmap src;
      Make(src, P.w, P.h, P.f, P.c);
      const Integer cw = std::max(1, P.w - 2 * (P.w / 10)), ch = std::max(1, P.h - 2 * (P.h / 10));
      TLKBitmap crop;
      crop.Allocate(cw, ch, lk24RGB);
      for (Integer y = 0; y < ch; ++y)
        std::memcpy(crop.GetScanLine(y), static_cast<const Byte*>(src.GetScanLine(y + P.h / 10)) + 3 * (P.w / 10),
                    static_cast<size_t>(cw) * 3);
      TLKBitmap dst;
      dst.Allocate(std::max(1, cw * 9 / 10), std::max(1, ch * 9 / 10), lk24RGB);
      _LKQResample(&crop, &dst, mode, {}, nullptr);
      Print(std::string("qresample-crop ") + P.name + " mode" + std::to_string(mode), HashOf(dst));
    }
  }
}

void Rotations(const Pic& P) {
  const double angles[] = {0, 1.5, -7.25, 30, 45, 90, 133.3, 180, 270, -300.7};
  for (const double a : angles) {
    char tag[64];
    std::snprintf(tag, sizeof tag, " a%g", a);
    if (P.f == lk24RGB) {
      for (int aa = 0; aa < 2; ++aa) {
        TLKBitmap b;
        Make(b, P.w, P.h, P.f, P.c);
        _RotateEx(&b, a, aa == 1, TRGB{10, 20, 30}, {}, nullptr);
        Print(std::string("rotateex ") + P.name + tag + (aa ? " aa" : ""), HashOf(b));
      }
      for (int m = 0; m < 3; ++m) {
        TLKBitmap b;
        Make(b, P.w, P.h, P.f, P.c);
        _LKQRotate(&b, a, 0x203040, static_cast<TLKAntialiasMode>(m), {}, nullptr);
        Print(std::string("lkqrotate ") + P.name + tag + " m" + std::to_string(m), HashOf(b));
      }
      TLKBitmap g;
      Make(g, P.w, P.h, P.f, P.c);
      LKGRotate(&g, a, 0x405060, {}, nullptr);
      Print(std::string("lkgrotate ") + P.name + tag, HashOf(g));
    } else if (P.f == lk8g) {
      for (int aa = 0; aa < 2; ++aa) {
        TLKBitmap b;
        Make(b, P.w, P.h, P.f, P.c);
        _RotateEx8(&b, a, aa == 1, 77, {}, nullptr);
        Print(std::string("rotateex8 ") + P.name + tag + (aa ? " aa" : ""), HashOf(b));
      }
      for (int m = 0; m < 3; ++m) {
        TLKBitmap b;
        Make(b, P.w, P.h, P.f, P.c);
        _LKQRotate8(&b, a, 99, static_cast<TLKAntialiasMode>(m));
        Print(std::string("lkqrotate8 ") + P.name + tag + " m" + std::to_string(m), HashOf(b));
      }
    } else if (P.f == lk1g) {
      TLKBitmap b;
      Make(b, P.w, P.h, P.f, P.c);
      std::atomic<bool> abort{false};
      TProgressRec pr;
      pr.AbortFlag = &abort;
      _rotate1bitEx(&b, a, 1, pr);
      Print(std::string("rotate1bit ") + P.name + tag, HashOf(b));
    }
  }
}

// The median filter in its three kinds over several windows and settings.
void Medians(const Pic& P) {
  if (P.f != lk24RGB) return;
  const struct {
    Integer w, h, brightness, gain, sharpness, threshold;
  } cases[] = {{3, 3, 50, 0, 0, 50}, {5, 5, 50, 0, 0, 50}, {7, 7, 50, 0, 0, 50}, {7, 7, 60, 3, 20, 0},
               {9, 3, 40, 5, 50, 80},  {3, 11, 50, 1, 90, 30}, {15, 15, 50, 2, 10, 50}};
  for (const auto& c : cases)
    for (Integer kind = 0; kind < 3; ++kind) {
      TLKBitmap b;
      Make(b, P.w, P.h, P.f, P.c);
      _LKMedianFilter(&b, c.w, c.h, c.brightness, c.gain, c.sharpness, c.threshold, static_cast<TLKMedFilType>(kind),
                      {}, nullptr);
      char tag[96];
      std::snprintf(tag, sizeof tag, "median %s %dx%d b%d g%d s%d t%d k%d", P.name, c.w, c.h, c.brightness, c.gain,
                    c.sharpness, c.threshold, kind);
      Print(tag, HashOf(b));
    }
}

// Saves the picture as TIFF into memory with the given coding, hashes the
// file, reads it back and hashes the pixels.
void Tiffs(const Pic& P) {
  struct Coding {
    const char* name;
    TIOTIFFCompression c;
  };
  std::vector<Coding> codings = {{"none", ioTIFF_UNCOMPRESSED}, {"lzw", ioTIFF_LZW}, {"packbits", ioTIFF_PACKBITS}};
  if (P.f == lk1g) codings.push_back({"g4", ioTIFF_G4FAX}), codings.push_back({"g3-2d", ioTIFF_G3FAX2D});
  for (const Coding& cd : codings) {
    TLKBitmap b;
    Make(b, P.w, P.h, P.f, P.c);
    TMemoryStream ms;
    TIOParamsVals p(nullptr);
    p.TIFF_COMPRESSION = cd.c;
    p.BITSPERSAMPLE = P.f == lk1g ? 1 : 8;
    p.SAMPLESPERPIXEL = P.f == lk24RGB ? 3 : 1;
    p.TIFF_PHOTOMETINTEPRET = P.f == lk24RGB ? ioTIFF_RGB : ioTIFF_BLACKISZERO;
    if (P.f == lk1g) p.TIFF_PHOTOMETINTEPRET = ioTIFF_WHITEISZERO;
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    TIFFWriteStream(&ms, false, &b, p, pr);
    const std::uint64_t file = Fnv(static_cast<const Byte*>(ms.GetMemory()), static_cast<size_t>(ms.GetSize()));
    ms.SetPosition(0);
    TLKBitmap back;
    TIOParamsVals q(nullptr);
    Integer pages = 0;
    std::atomic<bool> abort2{false};
    TProgressRec pr2;
    pr2.AbortFlag = &abort2;
    TIFFReadStream(&back, &ms, pages, &q, pr2, false, nullptr, false, true, false);
    Print(std::string("tiff-file ") + P.name + " " + cd.name + (abort ? " aborted" : ""), file);
    Print(std::string("tiff-read ") + P.name + " " + cd.name + (abort2 ? " aborted" : ""), HashOf(back));
  }
}

}  // namespace

int main() {
  for (const Pic& p : kPictures) {
    Resamples(p);
    Rotations(p);
    Medians(p);
    Tiffs(p);
  }
  return 0;
}
