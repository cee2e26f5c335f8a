// Picture comparison and hidden data in the lowest bits of a 24-bit picture.
#include "processing/lkcompare.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

// Compares the pixel bytes of two rows of `width` pixels of `bits` bits:
// whole bytes, then the used bits of a last partial byte.
bool SamePixels(const Byte* a, const Byte* b, Integer width, Integer bits) {
  const Int64 used = static_cast<Int64>(width) * bits;
  const size_t whole = static_cast<size_t>(used / 8);
  if (std::memcmp(a, b, whole) != 0) return false;
  const Integer rest = static_cast<Integer>(used % 8);
  if (rest == 0) return true;
  const Byte mask = static_cast<Byte>(0xFF << (8 - rest));
  return ((a[whole] ^ b[whole]) & mask) == 0;
}

bool SameRows(TLKBitmap* a, TLKBitmap* b) {
  const Integer w = a->GetWidth(), bits = a->GetBitCount();
  std::vector<Byte> row(static_cast<size_t>(a->GetRowLen()));
  for (Integer y = 0; y < a->GetHeight(); ++y) {
    // File storage keeps one mapped row per bitmap; a copy keeps it simple.
    std::memcpy(row.data(), a->GetScanLine(y), row.size());
    if (!SamePixels(row.data(), static_cast<const Byte*>(b->GetScanLine(y)), w, bits)) return false;
  }
  return true;
}

// The hidden-data header: marker 0, 0, 0, 0 and the little-endian length.
constexpr Integer kHeaderBytes = 8;

// Walks the carrier bytes of an lk24RGB picture: row by row from the top,
// 3 x width bytes a row.
class Carrier {
 public:
  explicit Carrier(TLKBitmap* b) : b_(b), w_(b->GetWidth() * 3), h_(b->GetHeight()) {}
  bool AtEnd() const { return y_ >= h_ || w_ <= 0; }
  Byte& Next() {
    if (!row_) row_ = static_cast<Byte*>(b_->GetScanLine(y_));
    Byte& c = row_[x_];
    if (++x_ == w_) {
      x_ = 0;
      ++y_;
      row_ = nullptr;
    }
    return c;
  }
  // Stores one bit: a carrier byte that holds the other bit is raised by
  // 1, except 255, which becomes 254.
  void WriteBit(Integer bit) {
    Byte& c = Next();
    if ((c & 1) != bit) c = c == 255 ? 254 : static_cast<Byte>(c + 1);
  }
  // Writes a byte, lowest bit first; false when the picture ran out.
  bool WriteByte(Byte v) {
    for (Integer i = 0; i < 8; ++i) {
      if (AtEnd()) return false;
      WriteBit((v >> i) & 1);
    }
    return true;
  }
  bool ReadByte(Byte& v) {
    v = 0;
    for (Integer i = 0; i < 8; ++i) {
      if (AtEnd()) return false;
      v = static_cast<Byte>(v | ((Next() & 1) << i));
    }
    return true;
  }

 private:
  TLKBitmap* b_;
  Integer w_, h_;
  Integer x_ = 0, y_ = 0;
  Byte* row_ = nullptr;
};

Int64 Capacity(TLKBitmap* b) {
  return std::max<Int64>(static_cast<Int64>(b->GetWidth()) * b->GetHeight() * 3 / 8 - kHeaderBytes, 0);
}

}  // namespace

bool _BitmapCompareX(TBitmap* A, TBitmap* B) {
  if (!A || !B) return false;
  if (A->GetWidth() != B->GetWidth() || A->GetHeight() != B->GetHeight() ||
      A->GetPixelFormat() != B->GetPixelFormat())
    return false;
  const Integer bits = _Pixelformat2BitCount(A->GetPixelFormat());
  for (Integer y = 0; y < A->GetHeight(); ++y)
    if (!SamePixels(A->ScanLine(y), B->ScanLine(y), A->GetWidth(), bits)) return false;
  return true;
}

bool _BitmapCompareXEx(TLKBitmap* A, TLKBitmap* B) {
  if (!A || !B) return false;
  if (A->GetWidth() != B->GetWidth() || A->GetHeight() != B->GetHeight() ||
      A->GetPixelFormat() != B->GetPixelFormat() || A->GetHasAlphaChannel() != B->GetHasAlphaChannel())
    return false;
  if (!SameRows(A, B)) return false;
  return !A->GetHasAlphaChannel() || SameRows(A->GetAlphaChannel(), B->GetAlphaChannel());
}

void _LKComputeDiff(TLKBitmap* A, TLKBitmap* B, double& PSNRMin, double& PSNRMax, double& MSEMin, double& MSEMax,
                    double& RMSEMin, double& RMSEMax, double& PeakMin, double& PeakMax, double& MeanMin,
                    double& MeanMax, bool& Equal) {
  PSNRMin = MSEMin = RMSEMin = PeakMin = MeanMin = 1000000000;
  PSNRMax = MSEMax = RMSEMax = PeakMax = MeanMax = 0;
  Equal = true;
  if (!A || !B || A->GetPixelFormat() != lk24RGB || B->GetPixelFormat() != lk24RGB) return;
  const Integer w = std::min(A->GetWidth(), B->GetWidth()), h = std::min(A->GetHeight(), B->GetHeight());
  if (w <= 0 || h <= 0) return;
  double squares[3] = {0, 0, 0}, sums[3] = {0, 0, 0};
  Integer peaks[3] = {0, 0, 0};
  std::vector<TRGB> row(static_cast<size_t>(w));
  for (Integer y = 0; y < h; ++y) {
    std::memcpy(row.data(), A->GetScanLine(y), row.size() * sizeof(TRGB));
    const TRGB* b = static_cast<const TRGB*>(B->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const Integer d[3] = {b[x].b - row[x].b, b[x].g - row[x].g, b[x].r - row[x].r};
      for (Integer c = 0; c < 3; ++c) {
        squares[c] += static_cast<double>(d[c]) * d[c];
        sums[c] += std::abs(d[c]);
        peaks[c] = std::max(peaks[c], d[c]);
        if (d[c] != 0) Equal = false;
      }
    }
  }
  const double n = static_cast<double>(w) * h;
  auto track = [](double v, double& lo, double& hi) {
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  };
  for (Integer c = 0; c < 3; ++c) {
    const double mse = squares[c] / n, rmse = std::sqrt(mse);
    track(mse == 0 ? 0 : 20 * std::log10(255 / rmse), PSNRMin, PSNRMax);
    track(mse, MSEMin, MSEMax);
    track(rmse, RMSEMin, RMSEMax);
    track(peaks[c], PeakMin, PeakMax);
    track(sums[c] / n, MeanMin, MeanMax);
  }
}

double LKCompareImages(TLKBitmap* A, TLKBitmap* B, TLKBitmap* Diff) {
  if (!A || !B || A->GetPixelFormat() != lk24RGB || B->GetPixelFormat() != lk24RGB) return 0;
  const Integer w = std::min(A->GetWidth(), B->GetWidth()), h = std::min(A->GetHeight(), B->GetHeight());
  if (w <= 0 || h <= 0) return 0;
  const bool diff8 = Diff && Diff != A && Diff != B;
  if (diff8) {
    Diff->Allocate(w, h, Diff->GetPixelFormat() == lknull ? lk8g : Diff->GetPixelFormat());
    Diff->Fill(255);
  }
  const bool writeDiff = diff8 && Diff->GetBitCount() == 8;
  double sum = 0;
  std::vector<TRGB> row(static_cast<size_t>(w));
  for (Integer y = 0; y < h; ++y) {
    std::memcpy(row.data(), A->GetScanLine(y), row.size() * sizeof(TRGB));
    const TRGB* b = static_cast<const TRGB*>(B->GetScanLine(y));
    Byte* out = writeDiff ? static_cast<Byte*>(Diff->GetScanLine(y)) : nullptr;
    for (Integer x = 0; x < w; ++x) {
      const Integer d = std::abs(_RGBToGray(row[x]) - _RGBToGray(b[x]));
      sum += d / 255.0;
      if (out) out[x] = static_cast<Byte>(d);
    }
  }
  return 1 - sum / (static_cast<double>(w) * h);
}

// --- Component methods ---------------------------------------------------------

bool TLumerakProc::ComputeImageEquality(TLKBitmap* Bitmap, double& PSNRMin, double& PSNRMax, double& MSEMin,
                                        double& MSEMax, double& RMSEMin, double& RMSEMax, double& PeakMin,
                                        double& PeakMax, double& MeanMin, double& MeanMax) {
  if (!MakeConsistentBitmap({}) || !Bitmap) return false;
  if (FBitmap->GetPixelFormat() != lk24RGB || Bitmap->GetPixelFormat() != lk24RGB ||
      FBitmap->GetWidth() != Bitmap->GetWidth() || FBitmap->GetHeight() != Bitmap->GetHeight())
    return false;
  bool equal = false;
  _LKComputeDiff(FBitmap, Bitmap, PSNRMin, PSNRMax, MSEMin, MSEMax, RMSEMin, RMSEMax, PeakMin, PeakMax, MeanMin,
                 MeanMax, equal);
  DoFinishWork();
  return equal;
}

double TLumerakProc::CompareWith(TLKBitmap* Bitmap, TLKBitmap* DiffBitmap) {
  if (!FBitmap) return 0;
  const double result = LKCompareImages(FBitmap, Bitmap, DiffBitmap);
  DoFinishWork();
  return result;
}

Integer TLumerakProc::WriteHiddenData(const void* Data, Integer Size) {
  if (Size < -1 || (Size > 0 && !Data)) return 0;
  if (!MakeConsistentBitmap(TLKPixelFormatSet{lk24RGB})) return 0;
  if (FAutoUndo) SaveUndoCaptioned("WriteHiddenData", lkuImage);
  Carrier carrier(FBitmap);
  Byte header[kHeaderBytes] = {0, 0, 0, 0, 0, 0, 0, 0};
  if (Size == -1) {
    // A header no reader accepts; its last byte is not written.
    std::memset(header, 255, sizeof header);
    for (Integer i = 0; i < kHeaderBytes - 1 && carrier.WriteByte(header[i]); ++i) {
    }
  } else {
    for (Integer i = 0; i < 4; ++i) header[4 + i] = static_cast<Byte>(static_cast<DWORD>(Size) >> (8 * i));
    bool room = true;
    for (Integer i = 0; i < kHeaderBytes && room; ++i) room = carrier.WriteByte(header[i]);
    const Byte* data = static_cast<const Byte*>(Data);
    for (Integer i = 0; i < Size && room; ++i) room = carrier.WriteByte(data[i]);
  }
  Update();
  DoFinishWork();
  return Size;
}

Integer TLumerakProc::WriteHiddenText(const String& Text) {
  const Int64 n = static_cast<Int64>(Text.size());
  if (n > std::numeric_limits<Integer>::max()) return 0;
  return WriteHiddenData(Text.data(), static_cast<Integer>(n));
}

Integer TLumerakProc::ReadHiddenData(void* Data, Integer Size) {
  if (!MakeConsistentBitmap(TLKPixelFormatSet{lk24RGB})) return 0;
  Carrier carrier(FBitmap);
  Byte header[kHeaderBytes];
  bool valid = true;
  for (Integer i = 0; i < kHeaderBytes && valid; ++i) valid = carrier.ReadByte(header[i]);
  Integer n = 0;
  if (valid) {
    valid = header[0] == 0 && header[1] == 0 && header[2] == 0 && header[3] == 0;
    n = static_cast<Integer>(static_cast<DWORD>(header[4]) | (static_cast<DWORD>(header[5]) << 8) |
                             (static_cast<DWORD>(header[6]) << 16) | (static_cast<DWORD>(header[7]) << 24));
    // The length must fit the picture's capacity.
    valid = valid && n >= 0 && n <= Capacity(FBitmap);
  }
  if (valid && Data) {
    Byte* out = static_cast<Byte*>(Data);
    for (Integer i = 0; i < n && i < Size; ++i) carrier.ReadByte(out[i]);
  }
  DoFinishWork();
  return valid ? n : 0;
}

String TLumerakProc::ReadHiddenText() {
  const Integer n = ReadHiddenData(nullptr, 0);
  if (n <= 0) return String();
  String text(static_cast<size_t>(n), '\0');
  ReadHiddenData(text.data(), n);
  return text;
}

Integer TLumerakProc::GetHiddenDataSpace() {
  if (!MakeConsistentBitmap(TLKPixelFormatSet{lk24RGB})) return 0;
  return static_cast<Integer>(std::min<Int64>(Capacity(FBitmap), std::numeric_limits<Integer>::max()));
}

void TLumerakProc::ClearHiddenText() {
  const Integer space = GetHiddenDataSpace();
  if (!FBitmap || FBitmap->GetPixelFormat() != lk24RGB) return;
  std::vector<Byte> zeros(static_cast<size_t>(space), 0);
  WriteHiddenData(zeros.data(), space);
  WriteHiddenData(nullptr, 0);
  DoFinishWork();
}
