#include "processing/lkfft.h"

#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/lkbitmap.h"
#include "platform/sysutils.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"

namespace {

constexpr double kTwoPi = 6.28318530717958647692;

// The smallest power of two not below the larger side (1 for 1 x 1).
Int64 SquareSide(Integer w, Integer h) {
  Int64 n = 1;
  while (n < std::max(w, h)) n <<= 1;
  return n;
}

Integer PlaneCount(TLKFtImageType type) { return type == lkitRGB ? 3 : type == lkitGrayscale ? 1 : 0; }

String MiB(Int64 bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB"; }

}  // namespace

Int64 TLKFtImage::BytesNeeded(Integer Width, Integer Height, TLKFtImageType Type) {
  const Integer planes = PlaneCount(Type);
  if (planes == 0 || Width <= 0 || Height <= 0) return 0;
  const Int64 n = SquareSide(Width, Height);
  // Sides past 2^28 would overflow the byte count: no process holds them.
  if (n > (Int64{1} << 28)) return std::numeric_limits<Int64>::max();
  const Int64 plane = 8 * n * n;
  if (plane > std::numeric_limits<Int64>::max() / (planes + 1)) return std::numeric_limits<Int64>::max();
  return plane * (planes + 1);
}

void TLKFtImage::CheckMemory(Integer Width, Integer Height, TLKFtImageType Type) {
  const Int64 need = BytesNeeded(Width, Height, Type);
  if (need == 0) return;
  Int64 limit = std::numeric_limits<Int64>::max();
  const Int64 avail = GetAvailablePhysicalMemory();
  if (avail > 0) limit = avail;
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
    limit = std::min<Int64>(limit, static_cast<Int64>(rl.rlim_cur));
  // Sides beyond 2^15 are refused whatever the machine: their 8 GiB planes
  // are no picture's transform anybody could look at.
  if (need > limit || SquareSide(Width, Height) > 32768) {
    const Int64 n = SquareSide(Width, Height);
    throw EOutOfMemory("The Fourier transform of a " + std::to_string(Width) + " x " + std::to_string(Height) +
                       " picture needs " + (need == std::numeric_limits<Int64>::max() ? String("more than the address space")
                                                                                        : MiB(need)) +
                       " (" + std::to_string(n) + " x " + std::to_string(n) + " planes), more than the " +
                       (limit == std::numeric_limits<Int64>::max() ? String("largest side of 32768")
                                                                    : MiB(limit) + " available"));
  }
}

std::vector<TLKFtImage::Plane*> TLKFtImage::Planes() {
  if (FImageType == lkitRGB) return {&FRed, &FGreen, &FBlue};
  if (FImageType == lkitGrayscale) return {&FGray};
  return {};
}

void TLKFtImage::FreeAll() {
  for (Plane* p : {&FRed, &FGreen, &FBlue, &FGray}) Plane().swap(*p);
}

void TLKFtImage::Assign(TLKFtImage* Source) {
  if (!Source || Source == this) return;
  FreeAll();
  FSize = Source->FSize;
  if (FSize > 0) InitTables(FSize);
  FOffsetX = Source->FOffsetX;
  FOffsetY = Source->FOffsetY;
  FPictureWidth = Source->FPictureWidth;
  FPictureHeight = Source->FPictureHeight;
  OnProgress = Source->OnProgress;
  FImageType = Source->FImageType;
  FRed = Source->FRed;
  FGreen = Source->FGreen;
  FBlue = Source->FBlue;
  FGray = Source->FGray;
}

void TLKFtImage::InitTables(Integer n) {
  FTableBits = 0;
  while ((Integer{1} << FTableBits) < n) ++FTableBits;
  FNorm = 1 / std::sqrt(static_cast<double>(n));
  FSinTable.resize(static_cast<size_t>(n));
  FBitRevTable.resize(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) {
    FSinTable[static_cast<size_t>(i)] = std::sin(i * kTwoPi / n);
    Integer r = 0;
    for (Integer j = 0; j < FTableBits; ++j)
      if (i & (1 << j)) r |= 1 << (FTableBits - 1 - j);
    FBitRevTable[static_cast<size_t>(i)] = r;
  }
}

// X[k] = (1/sqrt N) sum x[m] e^(sign 2 pi i k m / N), in place: bit-reversed
// reordering, then radix-2 butterflies with twiddles from the sine table.
void TLKFtImage::Transform1D(float* re, float* im, float sign) const {
  const Integer n = FSize;
  for (Integer i = 0; i < n; ++i) {
    const Integer j = FBitRevTable[static_cast<size_t>(i)];
    if (j > i) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  const Integer quarter = n / 4;
  for (Integer len = 2; len <= n; len <<= 1) {
    const Integer half = len / 2, stride = n / len;
    for (Integer k = 0; k < half; ++k) {
      const Integer t = k * stride;
      // cos from the sine table a quarter period on (n = 1, 2 have no quarter)
      const double c = n >= 4 ? FSinTable[static_cast<size_t>((t + quarter) % n)] : std::cos(kTwoPi * t / n);
      const double s = sign * FSinTable[static_cast<size_t>(t)];
      const float wr = static_cast<float>(c), wi = static_cast<float>(s);
      for (Integer b = k; b < n; b += len) {
        const Integer e = b + half;
        const float xr = re[e] * wr - im[e] * wi;
        const float xi = re[e] * wi + im[e] * wr;
        re[e] = re[b] - xr;
        im[e] = im[b] - xi;
        re[b] += xr;
        im[b] += xi;
      }
    }
  }
  const float norm = static_cast<float>(FNorm);
  for (Integer i = 0; i < n; ++i) {
    re[i] *= norm;
    im[i] *= norm;
  }
}

void TLKFtImage::Transform2D(Plane& plane, float sign, Integer passes, Integer& done) {
  const Integer n = FSize;
  const size_t rowLen = 2 * static_cast<size_t>(n);
  for (Integer y = 0; y < n; ++y) {
    float* row = plane.data() + static_cast<size_t>(y) * rowLen;
    Transform1D(row, row + n, sign);
  }
  std::vector<float> re(static_cast<size_t>(n)), im(static_cast<size_t>(n));
  const double s = 100.0 / (static_cast<double>(passes) * n);
  for (Integer x = 0; x < n; ++x) {
    for (Integer y = 0; y < n; ++y) {
      re[static_cast<size_t>(y)] = plane[static_cast<size_t>(y) * rowLen + x];
      im[static_cast<size_t>(y)] = plane[static_cast<size_t>(y) * rowLen + n + x];
    }
    Transform1D(re.data(), im.data(), sign);
    for (Integer y = 0; y < n; ++y) {
      plane[static_cast<size_t>(y) * rowLen + x] = re[static_cast<size_t>(y)];
      plane[static_cast<size_t>(y) * rowLen + n + x] = im[static_cast<size_t>(y)];
    }
    lkfilter::Report(OnProgress, this, s * x + s * done * n);
  }
  ++done;
}

void TLKFtImage::BuildFT(TLKBitmap* Picture, TLKFtImageType Type) {
  FreeAll();
  FImageType = lkitUnknown;
  if (!Picture || Picture->IsEmpty()) return;
  const Integer w = Picture->GetWidth(), h = Picture->GetHeight();
  CheckMemory(w, h, Type);
  TLKBitmap converted;
  TLKBitmap* pic = Picture;
  if (Picture->GetPixelFormat() != lk24RGB) {
    converted.Assign(Picture);
    converted.SetPixelFormat(lk24RGB);
    pic = &converted;
  }
  FImageType = Type;
  FPictureWidth = w;
  FPictureHeight = h;
  const Integer n = static_cast<Integer>(SquareSide(w, h));
  FOffsetX = (n - w) / 2;
  FOffsetY = (n - h) / 2;
  if (n != FSize || FSinTable.empty()) InitTables(n);
  FSize = n;
  const std::vector<Plane*> planes = Planes();
  const size_t rowLen = 2 * static_cast<size_t>(n);
  for (Plane* p : planes) p->assign(rowLen * n, 0.0f);
  // The picture straight into the planes at its offset (the rest of the
  // square is black): red, green, blue, or the luminance.
  std::vector<Byte> row(static_cast<size_t>(w) * 3);
  for (Integer y = 0; y < h; ++y) {
    lkfilter::ReadRow(pic, y, row.data(), row.size());
    const size_t base = static_cast<size_t>(y + FOffsetY) * rowLen + FOffsetX;
    for (Integer x = 0; x < w; ++x) {
      const Byte* p = &row[static_cast<size_t>(x) * 3];
      if (Type == lkitRGB) {
        FRed[base + x] = p[2];
        FGreen[base + x] = p[1];
        FBlue[base + x] = p[0];
      } else {
        FGray[base + x] = static_cast<float>(_RGBToGray(TRGB{p[0], p[1], p[2]}));
      }
    }
  }
  Integer done = 0;
  for (Plane* p : planes) {
    float largest = 1;
    for (Integer y = 0; y < n; ++y)
      for (Integer x = 0; x < n; ++x) largest = std::max(largest, (*p)[static_cast<size_t>(y) * rowLen + x]);
    for (Integer y = 0; y < n; ++y)
      for (Integer x = 0; x < n; ++x) {
        float& v = (*p)[static_cast<size_t>(y) * rowLen + x];
        v /= largest;
        // Centring: (-1)^(x+y) moves the zero frequency to (N/2, N/2).
        if ((x + y) & 1) v = -v;
      }
    Transform2D(*p, -1, static_cast<Integer>(planes.size()), done);
  }
}

void TLKFtImage::GetFTImage(TLKBitmap* Picture) {
  if (!Picture) return;
  const std::vector<Plane*> planes = Planes();
  if (planes.empty() || FSize == 0) return;
  const Integer n = FSize;
  const size_t rowLen = 2 * static_cast<size_t>(n);
  Picture->Allocate(n, n, lk24RGB);
  std::vector<Byte> out(static_cast<size_t>(n) * 3);
  auto level = [](float re, float im) {
    const float m = std::sqrt(re * re + im * im);
    return m > 0 ? std::log(std::sqrt(m)) : 0.0f;
  };
  struct Stretch {
    double lo, scale;
  };
  std::vector<Stretch> stretch;
  for (Plane* p : planes) {
    double hi = -1e20, lo = 1e20;
    for (Integer y = 0; y < n; ++y)
      for (Integer x = 0; x < n; ++x) {
        const double v = level((*p)[static_cast<size_t>(y) * rowLen + x], (*p)[static_cast<size_t>(y) * rowLen + n + x]);
        hi = std::max(hi, v);
        lo = std::min(lo, v);
      }
    if (lo > -1e-5 && lo < 1e-5) lo = 0;
    stretch.push_back({lo, hi == lo ? 0 : 255 / (hi - lo)});
  }
  for (Integer y = 0; y < n; ++y) {
    for (size_t k = 0; k < planes.size(); ++k) {
      const float* r = planes[k]->data() + static_cast<size_t>(y) * rowLen;
      for (Integer x = 0; x < n; ++x) {
        const Byte v = static_cast<Byte>(blimit(LKTrunc((level(r[x], r[n + x]) - stretch[k].lo) * stretch[k].scale)));
        if (planes.size() == 1)
          std::memset(&out[static_cast<size_t>(x) * 3], v, 3);
        else
          out[static_cast<size_t>(x) * 3 + (2 - k)] = v;  // red, green, blue into bytes 2, 1, 0
      }
    }
    lkfilter::WriteRow(Picture, y, out.data(), out.size());
  }
}

void TLKFtImage::BuildBitmap(TLKBitmap* Picture) {
  if (!Picture) return;
  const std::vector<Plane*> planes = Planes();
  if (planes.empty() || FSize == 0) return;
  const Integer n = FSize, w = FPictureWidth, h = FPictureHeight;
  const size_t rowLen = 2 * static_cast<size_t>(n);
  // Each channel is stretched on its own; the bytes of the picture are
  // gathered channel by channel, one plane copy at a time.
  std::vector<Byte> px(static_cast<size_t>(w) * h * 3);
  Integer done = 0;
  for (size_t k = 0; k < planes.size(); ++k) {
    Plane copy = *planes[k];
    Transform2D(copy, +1, static_cast<Integer>(planes.size()), done);
    float lo = std::numeric_limits<float>::max(), hi = -std::numeric_limits<float>::max();
    for (Integer y = 0; y < n; ++y)
      for (Integer x = 0; x < n; ++x) {
        float& v = copy[static_cast<size_t>(y) * rowLen + x];
        v = std::fabs(v);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    const double scale = hi == lo ? 0 : 255.0 / (static_cast<double>(hi) - lo);
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const float v = copy[static_cast<size_t>(y + FOffsetY) * rowLen + FOffsetX + x];
        const Byte b = static_cast<Byte>(blimit(LKTrunc((v - lo) * scale)));
        Byte* dst = &px[(static_cast<size_t>(y) * w + x) * 3];
        if (planes.size() == 1)
          std::memset(dst, b, 3);
        else
          dst[2 - k] = b;
      }
  }
  Picture->Allocate(w, h, lk24RGB);
  for (Integer y = 0; y < h; ++y)
    lkfilter::WriteRow(Picture, y, &px[static_cast<size_t>(y) * w * 3], static_cast<size_t>(w) * 3);
}

void TLKFtImage::ClearZone(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (X2 < X1 || Y2 < Y1 || FSize == 0) return;
  const Integer n = FSize;
  const size_t rowLen = 2 * static_cast<size_t>(n);
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, n - 1);
  Y2 = std::min(Y2, n - 1);
  for (Plane* p : Planes())
    for (Integer y = Y1; y <= Y2; ++y)
      for (Integer x = X1; x <= X2; ++x) {
        (*p)[static_cast<size_t>(y) * rowLen + x] = 0;
        (*p)[static_cast<size_t>(y) * rowLen + n + x] = 0;
      }
}

namespace {
template <typename Keep>
void ClearWhere(std::vector<std::vector<float>*> planes, Integer n, Keep&& clear) {
  const size_t rowLen = 2 * static_cast<size_t>(n);
  const Integer c = n / 2;
  for (auto* p : planes)
    for (Integer y = 0; y < n; ++y)
      for (Integer x = 0; x < n; ++x) {
        const Integer d = LKTrunc(std::sqrt(static_cast<double>(x - c) * (x - c) + static_cast<double>(y - c) * (y - c)));
        if (clear(d)) {
          (*p)[static_cast<size_t>(y) * rowLen + x] = 0;
          (*p)[static_cast<size_t>(y) * rowLen + n + x] = 0;
        }
      }
}
}  // namespace

void TLKFtImage::HiPass(Integer Radius) {
  ClearWhere(Planes(), FSize, [Radius](Integer d) { return d <= Radius; });
}

void TLKFtImage::LoPass(Integer Radius) {
  ClearWhere(Planes(), FSize, [Radius](Integer d) { return d > Radius; });
}

TLKComplexPixel TLKFtImage::GetComplexImage(Integer X, Integer Y) {
  TLKComplexPixel c{};
  if (X < 0 || Y < 0 || X >= FSize || Y >= FSize) return c;
  const size_t re = static_cast<size_t>(Y) * 2 * FSize + X, im = re + FSize;
  auto at = [&](Plane& p, size_t i) { return p.empty() ? nullptr : &p[i]; };
  c.RedRe = at(FRed, re);
  c.RedIm = at(FRed, im);
  c.BlueRe = at(FBlue, re);
  c.BlueIm = at(FBlue, im);
  c.GreenRe = at(FGreen, re);
  c.GreenIm = at(FGreen, im);
  c.GrayIm = at(FGray, im);
  c.GrayRe = at(FGray, re);
  return c;
}

// --- Component methods ---------------------------------------------------------

TLKFtImage* TLumerakProc::FTCreateImage(TLKFtImageType ImageType, Integer NewWidth, Integer NewHeight) {
  if (!MakeConsistentBitmap({lk24RGB})) return nullptr;
  TLKBitmap* source = GetAttachedLKBitmap();
  const Integer w = source->GetWidth(), h = source->GetHeight();
  TLKBitmap stretched;
  if (!(NewWidth < 0 && NewHeight < 0) && w > 0 && h > 0) {
    if (NewWidth < 0) NewWidth = static_cast<Integer>(static_cast<Int64>(w) * NewHeight / h);
    else if (NewHeight < 0) NewHeight = static_cast<Integer>(static_cast<Int64>(h) * NewWidth / w);
    NewWidth = std::max(NewWidth, 1);
    NewHeight = std::max(NewHeight, 1);
    // Refused before the stretched copy is made.
    TLKFtImage::CheckMemory(NewWidth, NewHeight, ImageType);
    stretched.Allocate(NewWidth, NewHeight, source->GetPixelFormat());
    _LKBmpStretchEx(source, &stretched);
    source = &stretched;
  }
  auto ft = std::make_unique<TLKFtImage>();
  ft->OnProgress = OnProgress;
  ft->BuildFT(source, ImageType);
  DoFinishWork();
  return ft.release();
}

void TLumerakProc::FTConvertFrom(TLKFtImage* Ft) {
  if (!Ft || !MakeConsistentBitmap({})) return;
  Ft->BuildBitmap(GetAttachedLKBitmap());
  Update();
  DoFinishWork();
}

void TLumerakProc::FTDisplayFrom(TLKFtImage* Ft) {
  if (!Ft || !MakeConsistentBitmap({})) return;
  Ft->GetFTImage(GetAttachedLKBitmap());
  Update();
  DoFinishWork();
}
