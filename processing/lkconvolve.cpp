#include "processing/lkconvolve.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lumerakio_frame.h"
#include "platform/classes.h"
#include "processing/lkcolorconv.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using lkfilter::Span;

// Magnitude of a kernel sum divided toward zero and limited to a byte. Only
// whether the quotient reaches 255 matters above it, so a double division is
// exact enough and vectorises where an integer division does not.
inline Byte Quotient(std::int32_t sum, double divisor) {
  const double q = std::fabs(static_cast<double>(sum)) / divisor;
  return static_cast<Byte>(q >= 255.0 ? 255 : (q <= 0 ? 0 : static_cast<std::int32_t>(q)));
}

// One output row of `n` interleaved samples, `step` bytes per pixel. a, b, c
// are the rows above, at and below, each with one repeated pixel in front
// and behind (sample i of the row is at index i + step). When the largest
// possible sum fits 32 bits (`narrow`), the weights are multiplied in 32-bit
// lanes, which equals the product-table sum exactly.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(LUMERAK_TSAN)
__attribute__((target_clones("avx2", "default")))
#endif
void ConvolveRow32(const Byte* a, const Byte* b, const Byte* c, Byte* out, Integer n, Integer step,
                   const std::int32_t* v, double divisor) {
  const std::int32_t v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3], v4 = v[4], v5 = v[5], v6 = v[6], v7 = v[7],
                     v8 = v[8];
  const Byte* am = a;
  const Byte* a0 = a + step;
  const Byte* ap = a + 2 * step;
  const Byte* bm = b;
  const Byte* b0 = b + step;
  const Byte* bp = b + 2 * step;
  const Byte* cm = c;
  const Byte* c0 = c + step;
  const Byte* cp = c + 2 * step;
  if (divisor == 1.0) {
    for (Integer i = 0; i < n; ++i) {
      std::int32_t s = v0 * am[i] + v1 * a0[i] + v2 * ap[i] + v3 * bm[i] + v4 * b0[i] + v5 * bp[i] +
                       v6 * cm[i] + v7 * c0[i] + v8 * cp[i];
      s = s < 0 ? -s : s;
      out[i] = static_cast<Byte>(s > 255 ? 255 : s);
    }
    return;
  }
  for (Integer i = 0; i < n; ++i) {
    const std::int32_t s = v0 * am[i] + v1 * a0[i] + v2 * ap[i] + v3 * bm[i] + v4 * b0[i] + v5 * bp[i] +
                           v6 * cm[i] + v7 * c0[i] + v8 * cp[i];
    out[i] = Quotient(s, divisor);
  }
}

// The same for kernels whose sums need 64 bits (weights near the int32
// range): the products are summed exactly.
void ConvolveRow64(const Byte* a, const Byte* b, const Byte* c, Byte* out, Integer n, Integer step,
                   const std::int32_t* v, Int64 divisor) {
  const Byte* rows[3] = {a, b, c};
  for (Integer i = 0; i < n; ++i) {
    Int64 s = 0;
    for (Integer k = 0; k < 9; ++k) s += static_cast<Int64>(v[k]) * rows[k / 3][i + (k % 3) * step];
    if (s < 0) s = -s;
    const Int64 q = s / divisor;
    out[i] = static_cast<Byte>(q > 255 ? 255 : (q < 0 ? 0 : q));
  }
}

// The convolution of both formats: `step` bytes per pixel.
void Convolve(TLKBitmap* bitmap, const TGraphFilter& filter, Integer x1, Integer y1, Integer x2, Integer y2,
              Integer step, TProgressRec* progress) {
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const Span s = lkfilter::ClampExclusive(w, h, x1, y1, x2, y2);
  if (s.Empty()) return;
  const Int64 divisor = filter.Divisor == 0 ? 1 : filter.Divisor;
  Int64 reach = 0;
  for (Integer v : filter.Values) reach += std::llabs(static_cast<Int64>(v)) * 255;
  const bool narrow = reach <= 0x7FFFFFFF;

  // Rows with one repeated pixel on each side; three source rows are held
  // in a ring, so a file-backed picture needs no more, and each output row is
  // written back once the rows it feeds have been read.
  const size_t rowBytes = static_cast<size_t>(w) * static_cast<size_t>(step);
  lkfilter::RowRing ring(3, rowBytes, static_cast<size_t>(step));
  std::vector<Byte> out(rowBytes);
  auto rowOf = [&](Integer y) -> const Byte* {
    return ring.Get(y, [&](Integer row, Byte* r) {
      lkfilter::ReadRow(bitmap, row, r, rowBytes);
      std::memcpy(r - step, r, static_cast<size_t>(step));
      std::memcpy(r + rowBytes, r + rowBytes - step, static_cast<size_t>(step));
    }) - step;
  };
  const double factor = 100.0 / ((s.YE - s.Y1) + 0.5);
  if (progress) progress->Step = factor;
  const Integer first = s.X1 * step, count = s.Cols() * step;
  for (Integer y = s.Y1; y <= s.YE; ++y) {
    const Byte* above = rowOf(std::max(y - 1, 0));
    const Byte* below = rowOf(std::min(y + 1, h - 1));
    const Byte* own = rowOf(y);
    // Row y may be written at once: the rows still to come read only rows
    // held in the ring or rows below it, which are unchanged.
    std::memcpy(out.data(), own + step, rowBytes);
    if (narrow)
      ConvolveRow32(above + first, own + first, below + first, out.data() + first, count, step, filter.Values,
                    static_cast<double>(divisor));
    else
      ConvolveRow64(above + first, own + first, below + first, out.data() + first, count, step, filter.Values,
                    divisor);
    lkfilter::WriteRow(bitmap, y, out.data(), rowBytes);
    if (progress) {
      lkfilter::Report(progress->OnProgress, progress->Sender, (y - s.Y1 + 1) * factor);
      if (lkfilter::Aborted(*progress)) break;
    }
  }
}

// The preset registry: kernels and names side by side. A deque keeps the
// addresses LKGetFilter hands out valid while entries are appended.
struct Registry {
  std::deque<TGraphFilter> Filters;
  std::vector<String> Names;
  Registry() {
    const struct {
      const char* name;
      TGraphFilter f;
    } presets[] = {
        {"None", {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0}},
        {"Blur", {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9}},
        {"Edges", {{1, 1, 1, 1, -8, 1, 1, 1, 1}, 1}},
        {"Emboss", {{-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1}},
        {"High Pass 1", {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1}},
        {"High Pass 2", {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1}},
        {"High Pass 3", {{1, -2, 1, -2, 5, -2, 1, -2, 1}, 1}},
        {"Low Pass 1", {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 10}},
        {"Low Pass 2", {{1, 2, 1, 2, 4, 2, 1, 2, 1}, 16}},
    };
    for (const auto& p : presets) {
      Filters.push_back(p.f);
      Names.emplace_back(p.name);
    }
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

void CheckIndex(Integer index) {
  if (index < 0 || index >= LKGetFiltersCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

constexpr Byte kFilterMagic[3] = {0x01, 0x03, 0x03};
constexpr size_t kFilterFileSize = 43;

// Pixel loop of the two colour-variation routines.
template <typename F>
void EachPixel(TLKBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2, const TLKProgressEvent& progress,
               TObject* sender, F&& change) {
  if (!bitmap || bitmap->GetPixelFormat() != lk24RGB) return;
  const Span s = lkfilter::ClampExclusive(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2);
  if (s.Empty()) return;
  const double factor = 100.0 / ((s.YE - s.Y1) + 0.5);
  for (Integer y = s.Y1; y <= s.YE; ++y) {
    TRGB* row = static_cast<TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = s.X1; x <= s.XE; ++x) change(row[x]);
    TLumerakProc::ReportRowProgress(progress, sender, y, s.Y1, factor);
  }
}

}  // namespace

void _ApplyFilter(TLKBitmap* Bitmap, const TGraphFilter& Filter, Integer X1, Integer Y1, Integer X2, Integer Y2,
                  TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB) return;
  Convolve(Bitmap, Filter, X1, Y1, X2, Y2, 3, &Progress);
}

void _ApplyFilter8(TLKBitmap* Bitmap, const TGraphFilter& Filter, Integer X1, Integer Y1, Integer X2, Integer Y2) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk8g) return;
  Convolve(Bitmap, Filter, X1, Y1, X2, Y2, 1, nullptr);
}

void _HSLvar(TLKBitmap* Bitmap, Integer Hue, Integer Sat, Integer Lum, Integer X1, Integer Y1, Integer X2,
             Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender) {
  const double dH = Hue / 360.0, dS = Sat / 100.0, dL = Lum / 100.0;
  EachPixel(Bitmap, X1, Y1, X2, Y2, OnProgress, Sender, [&](TRGB& c) {
    double h, s, l;
    RGB2HSL(c, h, s, l);
    HSL2RGB(c, h + dH, s + dS, l + dL);
  });
}

void _HSVvar(TLKBitmap* Bitmap, Integer Hue, Integer Sat, Integer Val, Integer X1, Integer Y1, Integer X2,
             Integer Y2, const TLKProgressEvent& OnProgress, TObject* Sender) {
  EachPixel(Bitmap, X1, Y1, X2, Y2, OnProgress, Sender, [&](TRGB& c) {
    Integer h, s, v;
    RGB2HSV(c, h, s, v);
    HSV2RGB(c, h + Hue, s + Sat, v + Val);
  });
}

void LoadFilterFromFile(const String& FileName, TGraphFilter& Filter) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  Byte bytes[kFilterFileSize] = {};
  const Integer got = stream.Read(bytes, static_cast<Integer>(kFilterFileSize));
  if (got < 3 || std::memcmp(bytes, kFilterMagic, 3) != 0)
    throw EReadError("\"" + FileName + "\" is not a filter file (it does not start with 01 03 03)");
  if (static_cast<size_t>(got) < kFilterFileSize)
    throw EReadError("Filter file \"" + FileName + "\" is truncated: " + std::to_string(got) + " of " +
                     std::to_string(kFilterFileSize) + " bytes");
  TGraphFilter f;
  for (Integer k = 0; k < 10; ++k) {
    const Byte* p = bytes + 3 + 4 * k;
    const std::uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    (k < 9 ? f.Values[k] : f.Divisor) = static_cast<Integer>(u);
  }
  Filter = f;
}

void SaveFilterToFile(const String& FileName, const TGraphFilter& Filter) {
  Byte bytes[kFilterFileSize];
  std::memcpy(bytes, kFilterMagic, 3);
  for (Integer k = 0; k < 10; ++k) {
    const auto u = static_cast<std::uint32_t>(k < 9 ? Filter.Values[k] : Filter.Divisor);
    for (Integer j = 0; j < 4; ++j) bytes[3 + 4 * k + j] = static_cast<Byte>(u >> (8 * j));
  }
  lkio::TSaveFile file(FileName);
  file.Stream()->WriteBuffer(bytes, static_cast<Integer>(kFilterFileSize));
  file.Commit();
}

Integer LKAddNewFilter(const TGraphFilter& Filter, const String& Name) {
  Registry& r = TheRegistry();
  r.Filters.push_back(Filter);
  r.Names.push_back(Name);
  return static_cast<Integer>(r.Filters.size()) - 1;
}

const TGraphFilter* LKGetFilter(Integer Index) {
  CheckIndex(Index);
  return &TheRegistry().Filters[static_cast<size_t>(Index)];
}

String LKGetFilterName(Integer Index) {
  CheckIndex(Index);
  return TheRegistry().Names[static_cast<size_t>(Index)];
}

Integer LKGetFiltersCount() { return static_cast<Integer>(TheRegistry().Filters.size()); }

// --- Component methods ---------------------------------------------------------

void TLumerakProc::ApplyFilter(const TGraphFilter& Filter) {
  const TGraphFilter f = Filter;  // the caller's record may be the registry's
  RunImageProcessing({lk24RGB}, "ApplyFilter", [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    TProgressRec rec;
    rec.OnProgress = OnProgress;
    rec.Sender = this;
    _ApplyFilter(b, f, x1, y1, x2, y2, rec);
  });
}

void TLumerakProc::ApplyFilterPreset(Integer Index) { ApplyFilter(*LKGetFilter(Index)); }

void TLumerakProc::HSLvar(Integer Hue, Integer Sat, Integer Lum) {
  const String caption =
      "HSLvar " + std::to_string(Hue) + "," + std::to_string(Sat) + "," + std::to_string(Lum);
  RunImageProcessing({lk24RGB}, caption, [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _HSLvar(b, Hue, Sat, Lum, x1, y1, x2, y2, OnProgress, this);
  });
}

void TLumerakProc::HSVvar(Integer Hue, Integer Sat, Integer Val) {
  const String caption =
      "HSVvar " + std::to_string(Hue) + "," + std::to_string(Sat) + "," + std::to_string(Val);
  RunImageProcessing({lk24RGB}, caption, [&](TLKBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _HSVvar(b, Hue, Sat, Val, x1, y1, x2, y2, OnProgress, this);
  });
}
