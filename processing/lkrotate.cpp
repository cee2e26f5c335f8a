#include "processing/lkrotate.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "platform/graphics.h"
#include "platform/sysutils.h"
#include "processing/lkfilterkit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// A picture's rows: N bytes per pixel. Either rows of a bitmap that keeps
// them in memory (read or written in place), or a buffer of its own, not
// cleared (every engine writes each pixel), rows W * N bytes apart.
struct Pic {
  Integer W = 0, H = 0, N = 1;
  std::unique_ptr<Byte[]> Own;
  std::vector<Byte*> Rows;
  Pic() = default;
  Pic(Integer w, Integer h, Integer n) : W(w), H(h), N(n) {
    const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(n);
    try {
      const size_t bytes = stride * static_cast<size_t>(std::max(h, 0));
      Own.reset(new Byte[bytes]);
      LKAdviseHugePages(Own.get(), bytes);
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory");
    }
    Rows.resize(static_cast<size_t>(std::max(h, 0)));
    for (Integer y = 0; y < h; ++y) Rows[static_cast<size_t>(y)] = Own.get() + stride * static_cast<size_t>(y);
  }
  size_t Stride() const { return static_cast<size_t>(W) * N; }
  Byte* At(Integer x, Integer y) { return Rows[static_cast<size_t>(y)] + static_cast<size_t>(x) * N; }
  const Byte* At(Integer x, Integer y) const { return Rows[static_cast<size_t>(y)] + static_cast<size_t>(x) * N; }
  void Fill(const Byte* value) {
    for (Integer y = 0; y < H; ++y)
      for (Integer x = 0; x < W; ++x) std::memcpy(At(x, y), value, static_cast<size_t>(N));
  }
};

// Whether a bitmap's rows stay put in memory, so that they can be used in
// place (file storage maps one row at a time; 1-bit rows are unpacked).
bool RowsInPlace(TLKBitmap* b) { return b->GetLocation() != lkFile && b->GetPixelFormat() != lk1g; }

// The picture of a whole-byte bitmap, or of an lk1g bitmap as one byte per
// pixel (0 or 1).
Pic Load(TLKBitmap* b) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  if (RowsInPlace(b)) {
    Pic p;
    p.W = w;
    p.H = h;
    p.N = b->GetBitCount() / 8;
    for (Integer y = 0; y < h; ++y) p.Rows.push_back(static_cast<Byte*>(b->GetScanLine(y)));
    return p;
  }
  const bool bits = b->GetPixelFormat() == lk1g;
  Pic p(w, h, bits ? 1 : b->GetBitCount() / 8);
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(b->GetScanLine(y));
    if (bits)
      for (Integer x = 0; x < w; ++x) *p.At(x, y) = _GetPixelbw(row, x) ? 1 : 0;
    else
      std::memcpy(p.At(0, y), row, p.Stride());
  }
  return p;
}

// The new picture of an engine: a bitmap in the format and storage rule of
// the one it replaces, written in place when it keeps its rows in memory.
struct Result {
  TLKBitmap Bitmap;
  Pic Picture;
  Result(TLKBitmap* like, Integer w, Integer h) {
    Bitmap.SetMinFileSize(like->GetMinFileSize());
    Bitmap.Allocate(w, h, like->GetPixelFormat());
    if (RowsInPlace(&Bitmap)) {
      Picture = Load(&Bitmap);
    } else {
      Picture = Pic(w, h, like->GetPixelFormat() == lk1g ? 1 : like->GetBitCount() / 8);
    }
  }
  // Replaces the target's picture (its palette kept; its alpha channel is
  // the caller's to turn).
  void Finish(TLKBitmap* target) {
    const TLKPixelFormat f = Bitmap.GetPixelFormat();
    if (Picture.Own) {
      std::vector<Byte> bits(static_cast<size_t>(Bitmap.GetRowLen()));
      for (Integer y = 0; y < Picture.H; ++y) {
        if (f == lk1g) {
          std::fill(bits.begin(), bits.end(), Byte{0});
          for (Integer x = 0; x < Picture.W; ++x)
            if (*Picture.At(x, y)) bits[static_cast<size_t>(x >> 3)] |= lkbitmask1[x & 7];
          lkfilter::WriteRow(&Bitmap, y, bits.data(), bits.size());
        } else {
          lkfilter::WriteRow(&Bitmap, y, Picture.At(0, y), Picture.Stride());
        }
      }
      Bitmap.FreeAllMaps();
    }
    for (Integer i = 0; i < target->GetPaletteLen(); ++i) Bitmap.SetPalette(i, target->GetPalette(i));
    Picture = Pic();
    if (target->GetLocation() == lkTBitmap) {
      // A wrapped class-library bitmap keeps its own storage.
      target->Allocate(Bitmap.GetWidth(), Bitmap.GetHeight(), f);
      for (Integer i = 0; i < Bitmap.GetPaletteLen(); ++i) target->SetPalette(i, Bitmap.GetPalette(i));
      const size_t len = static_cast<size_t>(Bitmap.GetRowLen());
      for (Integer y = 0; y < Bitmap.GetHeight(); ++y) std::memcpy(target->GetScanLine(y), Bitmap.GetScanLine(y), len);
    } else {
      Bitmap.SwitchTo(target);
    }
  }
};

// Quarter turns counter-clockwise (1 = 90, 2 = 180, 3 = 270 degrees) of s
// into d (of the turned size), in tiles so that both pictures are walked
// through the cache; N bytes per pixel (0: s.N, known only at run time).
template <Integer N>
void TurnTiles(const Pic& s, Integer quarters, Pic& d) {
  const size_t n = static_cast<size_t>(N ? N : s.N);
  constexpr Integer kTile = 32;
  for (Integer y0 = 0; y0 < s.H; y0 += kTile)
    for (Integer x0 = 0; x0 < s.W; x0 += kTile)
      for (Integer y = y0; y < std::min(s.H, y0 + kTile); ++y) {
        const Byte* src = s.At(x0, y);
        for (Integer x = x0; x < std::min(s.W, x0 + kTile); ++x, src += n) {
          Integer dx, dy;
          if (quarters == 1) {
            dx = y;
            dy = s.W - 1 - x;
          } else if (quarters == 3) {
            dx = s.H - 1 - y;
            dy = x;
          } else if (quarters == 2) {
            dx = s.W - 1 - x;
            dy = s.H - 1 - y;
          } else {
            dx = x;
            dy = y;
          }
          std::memcpy(d.At(dx, dy), src, n);
        }
      }
}

void Turn(const Pic& s, Integer quarters, Pic& d) {
  if (s.N == 3)
    TurnTiles<3>(s, quarters, d);
  else if (s.N == 1)
    TurnTiles<1>(s, quarters, d);
  else
    TurnTiles<0>(s, quarters, d);
}

// The picture of a bitmap turned by whole quarters, into a new picture.
Pic Turned(TLKBitmap* b, Integer quarters) {
  quarters = ((quarters % 4) + 4) % 4;
  const Pic s = Load(b);
  Pic d(quarters % 2 ? s.H : s.W, quarters % 2 ? s.W : s.H, s.N);
  Turn(s, quarters, d);
  return d;
}

// Turns a bitmap by whole quarters (nothing for 0).
void TurnBitmap(TLKBitmap* b, Integer quarters) {
  quarters = ((quarters % 4) + 4) % 4;
  if (quarters == 0) return;
  const Pic s = Load(b);
  Result r(b, quarters % 2 ? s.H : s.W, quarters % 2 ? s.W : s.H);
  Turn(s, quarters, r.Picture);
  r.Finish(b);
}

// Quarter turns of an angle that is a whole multiple of 90 degrees, or -1.
Integer ExactQuarters(double angle) {
  if (angle != std::trunc(angle) || std::fabs(angle) > 1e15) return -1;
  const Int64 a = static_cast<Int64>(angle);
  return a % 90 == 0 ? static_cast<Integer>(((a / 90) % 4 + 4) % 4) : -1;
}

// Round half to even of v / 4096, held to 0..255; the sums of the shears
// stay within 32 bits (|v| < 2^21), and an arithmetic shift floors.
inline Byte Div4096(std::int32_t v) {
  std::int32_t q = v >> 12;
  const std::int32_t r = v & 4095;
  q += static_cast<std::int32_t>(r > 2048) | (static_cast<std::int32_t>(r == 2048) & q);
  return static_cast<Byte>(q < 0 ? 0 : q > 255 ? 255 : q);
}

inline Byte Blend(std::int32_t prev, std::int32_t cur, std::int32_t b) {
  return Div4096(prev * b + cur * (4096 - b) + 2048);
}

// out[k] = Blend(prev[k], cur[k], b) over `count` bytes, in vector lanes.
__attribute__((target_clones("avx2", "default"))) void BlendBytes(const Byte* prev, const Byte* cur, Byte* out, size_t count, std::int32_t b) {
  for (size_t k = 0; k < count; ++k) out[k] = Blend(prev[k], cur[k], b);
}

// out[k] = Blend(prev[k], cur[k], w[k]): weights per byte.
__attribute__((target_clones("avx2", "default"))) void BlendBytes(const Byte* prev, const Byte* cur, Byte* out, size_t count, const std::int32_t* w) {
  for (size_t k = 0; k < count; ++k) out[k] = Blend(prev[k], cur[k], w[k]);
}

void FillPixels(Byte* dst, Integer count, const Byte* bg, Integer n) {
  if (n == 1) {
    if (count > 0) std::memset(dst, bg[0], static_cast<size_t>(count));
    return;
  }
  for (Integer q = 0; q < count; ++q) std::memcpy(dst + static_cast<size_t>(q) * n, bg, static_cast<size_t>(n));
}

// One row of a shear: `len` source pixels are placed in a destination row
// of `dlen` pixels from offset d; the rest is background. With antialias
// every placed pixel blends with the source pixel placed before it (the
// background before the first) by weights b and 4096 - b; for b > 0 the
// pixel after the last one blends it with the background.
void ShearRow(const Byte* src, Integer len, Byte* dst, Integer dlen, Integer d, bool aa, Integer b, const Byte* bg,
              Integer n) {
  const Integer r0 = std::max(0, -d), r1 = std::min(len, dlen - d);
  const size_t N = static_cast<size_t>(n);
  Integer end = 0;  // destination pixels written so far
  if (r1 > r0) {
    FillPixels(dst, r0 + d, bg, n);
    Byte* out = dst + static_cast<size_t>(r0 + d) * N;
    const Byte* cur = src + static_cast<size_t>(r0) * N;
    const size_t bytes = static_cast<size_t>(r1 - r0) * N;
    if (!aa) {
      std::memcpy(out, cur, bytes);
    } else {
      BlendBytes(bg, cur, out, N, b);
      BlendBytes(cur, cur + N, out + N, bytes - N, b);
    }
    end = r1 + d;
  }
  if (aa && b > 0 && len > 0 && d + len >= 0 && d + len < dlen) {
    FillPixels(dst + static_cast<size_t>(end) * N, d + len - end, bg, n);
    BlendBytes(src + static_cast<size_t>(len - 1) * N, bg, dst + static_cast<size_t>(d + len) * N, N, b);
    end = d + len + 1;
  }
  FillPixels(dst + static_cast<size_t>(end) * N, dlen - end, bg, n);
}

// Three-shear rotation of a whole-byte picture of n bytes per pixel. The
// first shear (along rows) is made row by row into a ring that holds the
// band of its rows the second shear (along columns) reads; the second is
// made a whole row at a time, each column taking the two first-shear rows
// its offset names, and that row goes straight through the third shear
// (along rows again) into the result.
void ShearRotate(TLKBitmap* bitmap, double angle, bool aa, const Byte* bg, const TLKProgressEvent& progress,
                 TObject* sender) {
  if (angle == 0 || bitmap->IsEmpty()) return;
  double a = static_cast<double>(LKTrunc64(angle * 1000) % 360000) / 1000;
  Integer quarters = 0;
  while (a > 45) {
    ++quarters;
    a -= 90;
  }
  while (a < -45) {
    --quarters;
    a += 90;
  }
  if (a == 0) {
    TurnBitmap(bitmap, quarters);
    return;
  }
  Pic pic = ((quarters % 4) + 4) % 4 ? Turned(bitmap, quarters) : Load(bitmap);
  const Integer W = pic.W, H = pic.H, n = pic.N;
  const size_t N = static_cast<size_t>(n);
  const double theta = a * kPi / 180;
  const double t = std::fabs(std::sin(theta / 2) / std::cos(theta / 2)), s = std::fabs(std::sin(theta));
  const Integer W1 = LKRound(H * t + W + 1);
  const Integer g = LKRound((W1 - W) * s);
  Integer H2 = LKRound(W1 * s + H + 1);
  const Integer o = LKRound((H2 - H - g) * t);
  H2 -= 2 * g;
  const Integer W3 = LKRound(H2 * t + W1 + 1 - 2 * o);

  // The second shear's offset and weight of every column; columns of one
  // offset form runs (the offsets are monotonic in x).
  std::vector<Integer> D(static_cast<size_t>(W1));
  std::vector<std::int32_t> weight(static_cast<size_t>(W1) * N);
  Integer dmin = 0, dmax = 0;
  for (Integer x = 0; x < W1; ++x) {
    const double skew = (theta > 0 ? W1 - x : x) * s;
    const Integer m = LKRound(skew);
    D[static_cast<size_t>(x)] = m - g;
    for (size_t c = 0; c < N; ++c) weight[static_cast<size_t>(x) * N + c] = LKRound((skew - m) * 4096);
    dmin = x ? std::min(dmin, m - g) : m - g;
    dmax = x ? std::max(dmax, m - g) : m - g;
  }
  struct Run {
    Integer x0, x1, d;
  };
  std::vector<Run> runs;
  for (Integer x = 0; x < W1; ++x) {
    if (runs.empty() || runs.back().d != D[static_cast<size_t>(x)])
      runs.push_back({x, x + 1, D[static_cast<size_t>(x)]});
    else
      runs.back().x1 = x + 1;
  }

  // First-shear rows r - 1 and r for every column are within a band of
  // dmax - dmin + 2 rows, held in a ring (row r in slot r % slots).
  const size_t stride1 = static_cast<size_t>(W1) * N;
  const Integer slots = static_cast<Integer>(std::min<Int64>(H, static_cast<Int64>(dmax) - dmin + 2));
  Pic ring(W1, slots, n);
  std::vector<Integer> held(static_cast<size_t>(slots), -1);
  auto first = [&](Integer r) {
    const Integer slot = r % slots;
    Byte* row = ring.At(0, slot);
    if (held[static_cast<size_t>(slot)] != r) {
      const double skew = (theta > 0 ? r : H - r) * t;
      const Integer m = LKRound(skew);
      ShearRow(pic.At(0, r), W, row, W1, m, aa, LKTrunc((skew - m) * 4096), bg, n);
      held[static_cast<size_t>(slot)] = r;
    }
    return static_cast<const Byte*>(row);
  };
  Integer made = 0;  // first-shear rows made so far, in order

  Result out(bitmap, W3, H2);
  // A row of the second shear: the pixels each column blends, gathered
  // run by run into two rows, then blended in one sweep; columns whose
  // pixel is background are set after it.
  std::vector<Byte> two(stride1), prevRow(stride1), curRow(stride1);
  std::vector<const Run*> plain;
  for (Integer q = 0; q < H2; ++q) {
    // Rows q - d - 1 .. q - d of the first shear, d from dmax to dmin.
    for (const Integer last = std::min(H - 1, q - dmin); made <= last; ++made) first(made);
    plain.clear();
    for (const Run& run : runs) {
      const Integer r = q - run.d;
      const size_t at = static_cast<size_t>(run.x0) * N, bytes = static_cast<size_t>(run.x1 - run.x0) * N;
      if (r >= 0 && r < H) {
        const Byte* cur = first(r) + at;
        if (!aa) {
          std::memcpy(two.data() + at, cur, bytes);
          continue;
        }
        std::memcpy(curRow.data() + at, cur, bytes);
        if (r == 0 || q == 0)
          FillPixels(prevRow.data() + at, run.x1 - run.x0, bg, n);
        else
          std::memcpy(prevRow.data() + at, first(r - 1) + at, bytes);
      } else if (aa && r == H && H > 0) {
        // The pixel after a column's last one, where its weight is above 0.
        std::memcpy(prevRow.data() + at, first(H - 1) + at, bytes);
        FillPixels(curRow.data() + at, run.x1 - run.x0, bg, n);
        plain.push_back(&run);
      } else if (aa) {
        plain.push_back(&run);  // whatever the sweep makes of it is replaced
      } else {
        FillPixels(two.data() + at, run.x1 - run.x0, bg, n);
      }
    }
    if (aa) {
      BlendBytes(prevRow.data(), curRow.data(), two.data(), stride1, weight.data());
      for (const Run* run : plain) {
        const bool after = q - run->d == H;
        for (Integer x = run->x0; x < run->x1; ++x)
          if (!after || weight[static_cast<size_t>(x) * N] <= 0)
            std::memcpy(two.data() + static_cast<size_t>(x) * N, bg, N);
      }
    }
    const double skew = (theta > 0 ? q : H2 - q) * t;
    const Integer m = LKRound(skew);
    ShearRow(two.data(), W1, out.Picture.At(0, q), W3, m - o, aa, LKRound((skew - m) * 4096), bg, n);
    lkfilter::Report(progress, sender, q * 100.0 / H2);
  }
  out.Finish(bitmap);
}

// Nearest rotation of a picture held one byte per pixel (1-bit pictures as
// 0/1 bytes).
void NearestRotate(TLKBitmap* bitmap, double angle, Byte bg, TProgressRec* progress) {
  if (bitmap->IsEmpty()) return;
  if (angle == 90 || angle == -90 || angle == 270 || angle == 180 || angle == -180) {
    TurnBitmap(bitmap, angle == 90 ? 1 : (angle == 180 || angle == -180) ? 2 : 3);
    return;
  }
  const Pic src = Load(bitmap);
  const Integer W = src.W, H = src.H;
  const double r = -angle / 57.295779513082320877;
  const double c = LKTrunc(std::cos(r) * 10000) / 10000.0, s = LKTrunc(std::sin(r) * 10000) / 10000.0;
  const Integer W2 = std::max(1, LKTrunc(std::fabs(H * s) + std::fabs(W * c)));
  const Integer H2 = std::max(1, LKTrunc(std::fabs(H * c) + std::fabs(W * s)));
  const double cx2 = W2 / 2.0 - 0.5, cy2 = H2 / 2.0 - 0.5, cx = W / 2.0 - 0.5, cy = H / 2.0 - 0.5;
  std::vector<Integer> dx(static_cast<size_t>(W2)), dy(static_cast<size_t>(W2));
  for (Integer i = 0; i < W2; ++i) {
    dx[static_cast<size_t>(i)] = LKTrunc((i - cx2) * c);
    dy[static_cast<size_t>(i)] = LKTrunc(-(i - cx2) * s);
  }
  Result result(bitmap, W2, H2);
  Pic& out = result.Picture;
  if (progress) progress->Step = 100.0 / H2;
  for (Integer y = 0; y < H2; ++y) {
    const Integer bx = LKTrunc((y - cy2) * s + cx), by = LKTrunc((y - cy2) * c + cy);
    Byte* row = out.At(0, y);
    for (Integer i = 0; i < W2; ++i) {
      const Int64 sx = static_cast<Int64>(dx[static_cast<size_t>(i)]) + bx;
      const Int64 sy = static_cast<Int64>(dy[static_cast<size_t>(i)]) + by;
      row[i] = sx >= 0 && sx < W && sy >= 0 && sy < H ? *src.At(static_cast<Integer>(sx), static_cast<Integer>(sy)) : bg;
    }
    if (progress) lkfilter::Report(progress->OnProgress, progress->Sender, y * progress->Step);
  }
  result.Finish(bitmap);
}

// Geometry of the inverse-mapping engines: the picture framed by 3 pixels of
// background, turned about the centres of the framed picture and of the new
// framed picture, whose inner part (without its 3 pixels of frame) is the
// turned picture's bounding box, rounded: an unturned picture keeps its
// size, and no angle loses a row or column of the picture.
struct Inverse {
  double cs, sn, cx, cy, cxn, cyn;
  Integer Wn, Hn;  // framed result
  Inverse(Integer W, Integer H, double angle) {
    const double theta = angle * kPi / 180;
    cs = std::cos(theta);
    sn = std::sin(theta);
    const Integer Wf = W + 6, Hf = H + 6;
    Wn = std::max(1, LKRound(std::fabs(sn) * H + std::fabs(cs) * W)) + 6;
    Hn = std::max(1, LKRound(std::fabs(cs) * H + std::fabs(sn) * W)) + 6;
    cx = (Wf - 1) / 2.0;
    cy = (Hf - 1) / 2.0;
    cxn = (Wn - 1) / 2.0;
    cyn = (Hn - 1) / 2.0;
  }
};

// The bilinear blend of four pixels of three bytes, in lanes of doubles
// (lane by lane the operations of the one-byte blend in InterpolatedRotate,
// so the same results).
typedef double Lanes4d __attribute__((vector_size(32)));
typedef std::int32_t Lanes4i __attribute__((vector_size(16)));

inline void Bilinear3(const Byte* p00, const Byte* p10, const Byte* p01, const Byte* p11, double fx, double fy,
                      Byte* out) {
  const Lanes4d a = __builtin_convertvector((Lanes4i{p00[0], p00[1], p00[2], 0}), Lanes4d);
  const Lanes4d b = __builtin_convertvector((Lanes4i{p10[0], p10[1], p10[2], 0}), Lanes4d);
  const Lanes4d c = __builtin_convertvector((Lanes4i{p01[0], p01[1], p01[2], 0}), Lanes4d);
  const Lanes4d d = __builtin_convertvector((Lanes4i{p11[0], p11[1], p11[2], 0}), Lanes4d);
  const Lanes4d top = a + (b - a) * fx, bottom = c + (d - c) * fx;
  Lanes4i v = __builtin_convertvector(top + (bottom - top) * fy, Lanes4i);
  v = v < 0 ? 0 : v;
  v = v > 255 ? 255 : v;
  out[0] = static_cast<Byte>(v[0]);
  out[1] = static_cast<Byte>(v[1]);
  out[2] = static_cast<Byte>(v[2]);
}

// One row of the bilinear inverse rotation of a picture of three bytes per
// pixel (see InterpolatedRotate).
__attribute__((target_clones("avx2", "default"))) void BilinearRow3(const Pic& src, const Inverse& g, Integer y,
                                                                     Byte* row, Integer outW, const Byte* bg) {
  const Integer W = src.W, H = src.H;
  const double Y = y + 3 - g.cyn;
  for (Integer i = 0; i < outW; ++i, row += 3) {
    const double I = i + 3 - g.cxn;
    const double sx = I * g.cs - Y * g.sn + g.cx, sy = I * g.sn + Y * g.cs + g.cy;
    if (!(sx > -1e9 && sx < 1e9 && sy > -1e9 && sy < 1e9)) {
      std::memcpy(row, bg, 3);
      continue;
    }
    // floor, without a call to the library's
    Int64 x0 = static_cast<Int64>(sx), y0 = static_cast<Int64>(sy);
    x0 -= sx < static_cast<double>(x0);
    y0 -= sy < static_cast<double>(y0);
    const double fx = sx - static_cast<double>(x0), fy = sy - static_cast<double>(y0);
    x0 -= 3;  // framed to picture coordinates
    y0 -= 3;
    if (static_cast<std::uint64_t>(x0) < static_cast<std::uint64_t>(W - 1) &&
        static_cast<std::uint64_t>(y0) < static_cast<std::uint64_t>(H - 1)) {
      const Byte* p00 = src.At(static_cast<Integer>(x0), static_cast<Integer>(y0));
      const Byte* p01 = src.At(static_cast<Integer>(x0), static_cast<Integer>(y0 + 1));
      Bilinear3(p00, p00 + 3, p01, p01 + 3, fx, fy, row);
    } else {
      auto px = [&](Int64 x, Int64 yy) -> const Byte* {
        return x >= 0 && x < W && yy >= 0 && yy < H ? src.At(static_cast<Integer>(x), static_cast<Integer>(yy)) : bg;
      };
      Bilinear3(px(x0, y0), px(x0 + 1, y0), px(x0, y0 + 1), px(x0 + 1, y0 + 1), fx, fy, row);
    }
  }
}

// Interpolating inverse rotation of a picture of n bytes per pixel (1 or 3).
void InterpolatedRotate(TLKBitmap* bitmap, double angle, const Byte* bg, TLKAntialiasMode mode,
                        const TLKProgressEvent& progress, TObject* sender) {
  if (bitmap->IsEmpty() || mode == lkrFast) return;
  const Integer q = ExactQuarters(angle);
  if (q >= 0) {
    TurnBitmap(bitmap, q);
    return;
  }
  const Pic src = Load(bitmap);
  const Integer W = src.W, H = src.H, n = src.N;
  const Inverse g(W, H, angle);
  Result result(bitmap, g.Wn - 6, g.Hn - 6);
  Pic& out = result.Picture;
  auto px = [&](Int64 x, Int64 y) -> const Byte* {  // framed coordinates
    x -= 3;
    y -= 3;
    return x >= 0 && x < W && y >= 0 && y < H ? src.At(static_cast<Integer>(x), static_cast<Integer>(y)) : bg;
  };
  auto inRange = [](double v) { return v > -1e9 && v < 1e9; };
  for (Integer y = 0; y < out.H; ++y) {
    if (mode == lkrBilinear && n == 3) {
      BilinearRow3(src, g, y, out.At(0, y), out.W, bg);
      lkfilter::Report(progress, sender, y * 100.0 / g.Hn);
      continue;
    }
    const double Y = y + 3 - g.cyn;
    Byte* row = out.At(0, y);
    for (Integer i = 0; i < out.W; ++i, row += n) {
      const double I = i + 3 - g.cxn;
      const double sx = I * g.cs - Y * g.sn + g.cx, sy = I * g.sn + Y * g.cs + g.cy;
      if (!inRange(sx) || !inRange(sy)) {
        std::memcpy(row, bg, static_cast<size_t>(n));
        continue;
      }
      if (mode == lkrBilinear) {
        const double fx0 = std::floor(sx), fy0 = std::floor(sy);
        const Int64 x0 = static_cast<Int64>(fx0), y0 = static_cast<Int64>(fy0);
        const double fx = sx - fx0, fy = sy - fy0;
        const Byte *p00 = px(x0, y0), *p10 = px(x0 + 1, y0), *p01 = px(x0, y0 + 1), *p11 = px(x0 + 1, y0 + 1);
        for (Integer c = 0; c < n; ++c) {
          const double top = p00[c] + (p10[c] - p00[c]) * fx;
          const double bottom = p01[c] + (p11[c] - p01[c]) * fx;
          row[c] = static_cast<Byte>(blimit(LKTrunc(top + (bottom - top) * fy)));
        }
      } else {
        const double tx0 = std::trunc(sx), ty0 = std::trunc(sy);
        const Int64 x0 = static_cast<Int64>(tx0), y0 = static_cast<Int64>(ty0);
        const double fx = sx - tx0, fy = sy - ty0;
        const double wx[4] = {-fx * (1 - fx) * (1 - fx), 1 - 2 * fx * fx + fx * fx * fx, fx * (1 + fx - fx * fx),
                              -fx * fx * (1 - fx)};
        const double wy[4] = {-fy * (1 - fy) * (1 - fy), 1 - 2 * fy * fy + fy * fy * fy, fy * (1 + fy - fy * fy),
                              -fy * fy * (1 - fy)};
        double sum[3] = {0, 0, 0};
        for (Integer r = 0; r < 4; ++r) {
          double rs[3] = {0, 0, 0};
          for (Integer k = 0; k < 4; ++k) {
            const Byte* p = px(x0 - 1 + k, y0 - 1 + r);
            for (Integer c = 0; c < n; ++c) rs[c] += wx[k] * p[c];
          }
          for (Integer c = 0; c < n; ++c) sum[c] += wy[r] * rs[c];
        }
        // Overshoot below 0 is clipped to 0, as above 255 to 255.
        for (Integer c = 0; c < n; ++c) row[c] = static_cast<Byte>(blimit(LKTrunc(sum[c])));
      }
    }
    lkfilter::Report(progress, sender, y * 100.0 / g.Hn);
  }
  result.Finish(bitmap);
}

// The bytes TLKBitmap::Fill writes for `value` in a format.
std::vector<Byte> FillBytes(TLKPixelFormat f, double value) {
  TLKBitmap one;
  one.SetMinFileSize(0x7FFFFFFF);
  one.Allocate(1, 1, f);
  one.Fill(value);
  const Byte* p = static_cast<const Byte*>(one.GetScanLine(0));
  return std::vector<Byte>(p, p + one.GetBitCount() / 8);
}

Byte GreyOf(TRGB c) { return static_cast<Byte>(_RGBToGray(c)); }

}  // namespace

void _RotateEx(TLKBitmap* Bitmap, double Angle, bool Antialias, TRGB Background, const TLKProgressEvent& OnProgress,
               TObject* Sender) {
  if (!Bitmap || Angle == 0) return;
  switch (Bitmap->GetPixelFormat()) {
    case lk24RGB: {
      const Byte bg[3] = {Background.b, Background.g, Background.r};
      ShearRotate(Bitmap, Angle, Antialias, bg, OnProgress, Sender);
      return;
    }
    case lk1g: {
      TProgressRec rec;
      rec.OnProgress = OnProgress;
      rec.Sender = Sender;
      _rotate1bitEx(Bitmap, Angle, Background.r && Background.g && Background.b ? 1 : 0, rec);
      return;
    }
    // 8-bit and other pictures keep their format and get the same exact
    // quarter turns instead of being read as 1-bit rows.
    case lk8g:
    case lk8p:
      _RotateEx8(Bitmap, Angle, Antialias, GreyOf(Background), OnProgress, Sender);
      return;
    default:
      LKGRotate(Bitmap, Angle, TRGB2TColor(Background), OnProgress, Sender);
  }
}

void _RotateEx8(TLKBitmap* Bitmap, double Angle, bool Antialias, Integer Background,
                const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || (Bitmap->GetPixelFormat() != lk8g && Bitmap->GetPixelFormat() != lk8p)) return;
  const Byte bg = static_cast<Byte>(Background);
  ShearRotate(Bitmap, Angle, Antialias, &bg, OnProgress, Sender);
}

void _rotate1bitEx(TLKBitmap* Bitmap, double Angle, Integer White, TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk1g) return;
  NearestRotate(Bitmap, Angle, White ? 1 : 0, &Progress);
}

void _rotate1bit(TBitmap* Bitmap, double Angle, Integer White, TProgressRec& Progress) {
  if (!Bitmap || Bitmap->GetPixelFormat() != pf1bit) return;
  TLKBitmap b;
  b.CopyFromTBitmap(Bitmap);
  _rotate1bitEx(&b, Angle, White, Progress);
  b.CopyToTBitmap(Bitmap);
}

void _rotate8bit(TLKBitmap* Bitmap, double Angle, Integer Background) {
  if (!Bitmap || (Bitmap->GetPixelFormat() != lk8g && Bitmap->GetPixelFormat() != lk8p)) return;
  NearestRotate(Bitmap, Angle, static_cast<Byte>(Background), nullptr);
}

void _LKQRotate(TLKBitmap* Bitmap, double Angle, TColor Background, TLKAntialiasMode Mode,
                const TLKProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->GetPixelFormat() != lk24RGB) return;
  const TRGB c = TColor2TRGB(Background);
  const Byte bg[3] = {c.b, c.g, c.r};
  InterpolatedRotate(Bitmap, Angle, bg, Mode, OnProgress, Sender);
}

void _LKQRotate8(TLKBitmap* Bitmap, double Angle, Integer Background, TLKAntialiasMode Mode) {
  if (!Bitmap || Bitmap->GetBitCount() != 8) return;
  const Byte bg = static_cast<Byte>(Background);
  InterpolatedRotate(Bitmap, Angle, &bg, Mode, {}, nullptr);
}

void LKGRotate(TLKBitmap* Bitmap, double Angle, TColor Background, const TLKProgressEvent& OnProgress,
               TObject* Sender) {
  if (!Bitmap || Bitmap->IsEmpty() || Bitmap->GetBitCount() % 8 != 0) return;
  const Integer q = ExactQuarters(Angle);
  if (q >= 0) {
    TurnBitmap(Bitmap, q);
    return;
  }
  const std::vector<Byte> bg = FillBytes(Bitmap->GetPixelFormat(), Background);
  const Pic src = Load(Bitmap);
  const Integer W = src.W, H = src.H, n = src.N;
  const Inverse g(W, H, Angle);
  Result result(Bitmap, g.Wn - 6, g.Hn - 6);
  Pic& out = result.Picture;
  out.Fill(bg.data());
  std::vector<Integer> tx(static_cast<size_t>(out.W)), ty(static_cast<size_t>(out.W));
  for (Integer i = 0; i < out.W; ++i) {
    tx[static_cast<size_t>(i)] = LKTrunc((i + 3 - g.cxn) * g.cs + g.cx);
    ty[static_cast<size_t>(i)] = LKTrunc((i + 3 - g.cxn) * g.sn + g.cy);
  }
  for (Integer y = 0; y < out.H; ++y) {
    const Integer ry = LKTrunc((y + 3 - g.cyn) * g.sn), rx = LKTrunc((y + 3 - g.cyn) * g.cs);
    for (Integer i = 0; i < out.W; ++i) {
      // Framed coordinates; the frame itself is background, as is the fill.
      const Int64 fx = static_cast<Int64>(tx[static_cast<size_t>(i)]) - ry - 3;
      const Int64 fy = static_cast<Int64>(ty[static_cast<size_t>(i)]) + rx - 3;
      if (fx >= 0 && fx < W && fy >= 0 && fy < H)
        std::memcpy(out.At(i, y), src.At(static_cast<Integer>(fx), static_cast<Integer>(fy)), static_cast<size_t>(n));
    }
    lkfilter::Report(OnProgress, Sender, y * 100.0 / g.Hn);
  }
  result.Finish(Bitmap);
}

// --- Component method ----------------------------------------------------------

void TLumerakProc::Rotate(double Angle, bool Antialias, TLKAntialiasMode Mode, TColor Background) {
  if (Angle == 0) return;
  RunWholeImage({}, "Rotate " + FloatToStr(Angle), [&](TLKBitmap* b) {
    const TColor bg = Background == -1 ? GetReBackground() : Background;
    const TLKPixelFormat f = b->GetPixelFormat();
    std::unique_ptr<TLKBitmap> alpha;
    if (b->GetHasAlphaChannel()) {
      alpha = std::make_unique<TLKBitmap>();
      alpha->Assign(b->GetAlphaChannel());
    }
    if (f == lk1g || f == lk24RGB) {
      if (Antialias && Mode != lkrFast && ExactQuarters(Angle) < 0 && f == lk24RGB) {
        if (alpha) _LKQRotate8(alpha.get(), Angle, 0, Mode);
        _LKQRotate(b, Angle, bg, Mode, OnProgress, this);
      } else {
        if (alpha && f == lk1g) _rotate8bit(alpha.get(), Angle, 0);
        if (alpha && f == lk24RGB) _RotateEx8(alpha.get(), Angle, Antialias, 0, {}, nullptr);
        _RotateEx(b, Angle, Antialias, TColor2TRGB(bg), OnProgress, this);
      }
    } else {
      if (alpha) LKGRotate(alpha.get(), Angle, 0, {}, nullptr);
      LKGRotate(b, Angle, bg, OnProgress, this);
    }
    if (alpha) {
      TLKBitmap* target = b->GetAlphaChannel();
      target->Assign(alpha.get());
      target->SetFull(false);
    }
  });
}
