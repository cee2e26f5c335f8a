#include "core/lkmask.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

// Largest pixel plane a mask or its drawing buffer asks for.
constexpr Int64 kMaxPlaneBytes = Int64{1} << 40;

std::vector<Byte> ZeroPlane(Int64 bytes) {
  if (bytes < 0 || bytes > kMaxPlaneBytes) throw EOutOfMemory("Out of memory");
  try {
    return std::vector<Byte>(static_cast<size_t>(bytes), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
}

// Bytes per pixel of the formats a mask copies sample by sample; 0 for lk1g
// (bits) and lknull.
Integer SampleBytes(TLKPixelFormat f) {
  switch (f) {
    case lk8p:
    case lk8g:
      return 1;
    case lk16g:
      return 2;
    case lk24RGB:
    case lkCIELab:
      return 3;
    case lk32f:
    case lkCMYK:
      return 4;
    case lk48RGB:
      return 6;
    default:
      return 0;
  }
}

// d moved toward s by m/256 of the difference, rounded down.
inline Byte Blend(Byte d, Byte s, Integer m) {
  return static_cast<Byte>(d + (((static_cast<Integer>(s) - d) * m) >> 8));
}

// ceil(a / b) for b > 0.
inline __int128 CeilDiv(__int128 a, __int128 b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

// One non-horizontal polygon edge, stepped a scan line at a time from its
// upper end (smaller y): x advances by dx div dy, and an error term of twice
// the remainder decides the extra unit step.
struct PolyEdge {
  Int64 x0 = 0;   // x at the upper end
  Int64 dx = 0;   // x difference, lower end minus upper end
  Int64 dy = 0;   // y difference, positive
  Int64 q = 0;    // dx div dy (truncated)
  Int64 r = 0;    // dx - q * dy
  Integer yLow = 0, yUp = 0;
  Int64 x = 0, e = 0;
  Int64 row = 0;  // scan line x and e belong to

  void Step() {
    x += q;
    e += 2 * r;
    if (e > dy || e < -dy) {
      if (dx <= 0) {
        e += 2 * dy;
        x -= 1;
      } else {
        e -= 2 * dy;
        x += 1;
      }
    }
  }
  // State after k steps in closed form: the error term stays in (-dy, dy]
  // for dx > 0 and in [-dy, dy) otherwise, so the number of unit steps is
  // the one integer that keeps it there.
  void SetSteps(Int64 k) {
    const __int128 twoRk = static_cast<__int128>(2) * r * k;
    const __int128 twoDy = static_cast<__int128>(2) * dy;
    if (dx > 0) {
      const __int128 n = CeilDiv(twoRk - dy, twoDy);
      x = x0 + q * k + static_cast<Int64>(n);
      e = static_cast<Int64>(twoRk - twoDy * n);
    } else {
      const __int128 n = CeilDiv(-static_cast<__int128>(dy) - twoRk, twoDy);
      x = x0 + q * k - static_cast<Int64>(n);
      e = static_cast<Int64>(twoRk + twoDy * n);
    }
  }
  void AdvanceTo(Int64 y) {
    if (y == row + 1) Step();
    else if (y != row) SetSteps(y - yLow);
    row = y;
  }
};

// True when a's dx/dy is at least b's.
inline bool SlopeAtLeast(const PolyEdge& a, const PolyEdge& b) {
  return static_cast<__int128>(a.dx) * b.dy >= static_cast<__int128>(b.dx) * a.dy;
}

// The mask's rows as a 1-bit black-and-white pixel surface.
class MaskSurface : public TPixelSurface {
 public:
  MaskSurface(const TLKMask& mask, std::span<const TRGBQuad> palette) : mask_(mask), palette_(palette) {}
  Integer SurfaceWidth() const override { return mask_.GetWidth(); }
  Integer SurfaceHeight() const override { return mask_.GetHeight(); }
  Integer SurfaceBitsPerPixel() const override { return 1; }
  Byte* SurfaceRow(Integer y) override { return mask_.GetScanLine(y); }
  std::span<const TRGBQuad> SurfacePalette() const override { return palette_; }

 private:
  const TLKMask& mask_;
  std::span<const TRGBQuad> palette_;
};

// Inclusive x and y ranges of the box that lie inside the mask and, shifted
// by the relative offsets, inside both pictures.
struct CopyRange {
  Int64 x0, x1, y0, y1;
  bool Empty() const { return x1 < x0 || y1 < y0; }
};

CopyRange ClipCopy(Integer bx1, Integer by1, Integer bx2, Integer by2, Integer maskW, Integer maskH, Int64 dox,
                   Int64 doy, Integer dW, Integer dH, Int64 sox, Int64 soy, Integer sW, Integer sH) {
  CopyRange r;
  r.x0 = std::max<Int64>({bx1, 0, dox, sox});
  r.x1 = std::min<Int64>({bx2, static_cast<Int64>(maskW) - 1, dox + dW - 1, sox + sW - 1});
  r.y0 = std::max<Int64>({by1, 0, doy, soy});
  r.y1 = std::min<Int64>({by2, static_cast<Int64>(maskH) - 1, doy + dH - 1, soy + sH - 1});
  return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Storage

TLKMask::TLKMask() {
  BitmapInfo.bmiHeader.biBitCount = 1;
}

TLKMask::~TLKMask() { FreeBits(); }

void TLKMask::AllocateBits(Integer width, Integer height, Integer bitsPerPixel) {
  FreeBits();
  X1 = Y1 = EmptyBox;
  X2 = Y2 = 0;
  Full = false;
  if (width <= 0 || height <= 0 || (bitsPerPixel != 1 && bitsPerPixel != 8)) return;
  const Integer rowLen = LKBitmapRowLen(width, bitsPerPixel, 32);
  Data = ZeroPlane(static_cast<Int64>(rowLen) * height);
  Width = width;
  Height = height;
  BitsPerPixel = bitsPerPixel;
  RowLen = rowLen;
}

void TLKMask::FreeBits() {
  DrawBuffer = {};
  DrawRows = {};
  DrawWidth = DrawHeight = DrawRowLen = 0;
  Data = {};
  Width = Height = BitsPerPixel = RowLen = 0;
}

void TLKMask::Assign(TLKMask* mask) {
  if (!mask || mask == this) return;
  AllocateBits(mask->Width, mask->Height, mask->BitsPerPixel);
  if (!Data.empty()) std::memcpy(Data.data(), mask->Data.data(), Data.size());
  X1 = mask->X1;
  Y1 = mask->Y1;
  X2 = mask->X2;
  Y2 = mask->Y2;
  Full = mask->Full;
}

void TLKMask::Resize(Integer width, Integer height) {
  if (BitsPerPixel == 0) return;
  if (width <= 0 || height <= 0) {
    const Integer bpp = BitsPerPixel;
    FreeBits();
    BitsPerPixel = bpp;
    X1 = Y1 = EmptyBox;
    X2 = Y2 = 0;
    Full = false;
    return;
  }
  const Integer newRowLen = LKBitmapRowLen(width, BitsPerPixel, 32);
  std::vector<Byte> rows = ZeroPlane(static_cast<Int64>(newRowLen) * height);
  const Integer copyRows = std::min(Height, height);
  const Integer copyLen = std::min(RowLen, newRowLen);
  for (Integer y = 0; y < copyRows; ++y)
    std::memcpy(rows.data() + static_cast<size_t>(newRowLen) * static_cast<size_t>(height - y - 1),
                GetScanLine(y), static_cast<size_t>(copyLen));
  Full = Full && width <= Width && height <= Height;
  Data = std::move(rows);
  Width = width;
  Height = height;
  RowLen = newRowLen;
  ClampBox();
}

void TLKMask::ClampBox() {
  if (IsEmpty()) return;
  X1 = std::clamp(X1, 0, Width - 1);
  X2 = std::clamp(X2, 0, Width - 1);
  Y1 = std::clamp(Y1, 0, Height - 1);
  Y2 = std::clamp(Y2, 0, Height - 1);
}

// ---------------------------------------------------------------------------
// Pixels

Byte* TLKMask::GetScanLine(Integer y) const {
  return const_cast<Byte*>(Data.data()) + static_cast<std::ptrdiff_t>(RowLen) * (Height - y - 1);
}

Integer TLKMask::GetPixel(Integer x, Integer y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return 0;
  const Byte* row = GetScanLine(y);
  if (BitsPerPixel == 8) return row[x];
  return _GetPixelbw(row, x) != 0 ? 1 : 0;
}

void TLKMask::UpdateFull(Integer value) {
  if (!Full) return;
  const bool fully = BitsPerPixel == 8 ? static_cast<Byte>(value) == 255 : value != 0;
  if (!fully) Full = false;
}

void TLKMask::SetPixel(Integer x, Integer y, Integer value) {
  if (x < 0 || y < 0 || x >= Width || y >= Height) return;
  if (value != 0) {
    X1 = std::min(X1, x);
    Y1 = std::min(Y1, y);
    X2 = std::max(X2, x);
    Y2 = std::max(Y2, y);
  }
  UpdateFull(value);
  Byte* row = GetScanLine(y);
  if (BitsPerPixel == 8) row[x] = static_cast<Byte>(value);
  else _SetPixelbw(row, x, value);
}

void TLKMask::Fill(Byte value) {
  if (!Data.empty()) std::memset(Data.data(), value, Data.size());
  Full = value == 255;
}

void TLKMask::Empty() {
  Fill(0);
  X1 = Y1 = EmptyBox;
  X2 = Y2 = 0;
}

void TLKMask::SyncRect() {
  Integer bx1 = EmptyBox, by1 = EmptyBox, bx2 = 0, by2 = 0;
  bool any = false;
  for (Integer y = 0; y < Height; ++y) {
    const Byte* row = GetScanLine(y);
    Integer first = -1, last = -1;
    if (BitsPerPixel == 8) {
      for (Integer x = 0; x < Width; ++x)
        if (row[x] != 0) {
          if (first < 0) first = x;
          last = x;
        }
    } else {
      const Integer bytes = (Width + 7) / 8;
      for (Integer b = 0; b < bytes; ++b) {
        if (row[b] == 0) continue;
        const Integer xEnd = std::min(Width, (b + 1) * 8);
        for (Integer x = b * 8; x < xEnd; ++x)
          if (_GetPixelbw(row, x) != 0) {
            if (first < 0) first = x;
            last = x;
          }
      }
    }
    if (first < 0) continue;
    any = true;
    bx1 = std::min(bx1, first);
    bx2 = std::max(bx2, last);
    by1 = std::min(by1, y);
    by2 = y;
  }
  if (any) {
    X1 = bx1;
    Y1 = by1;
    X2 = bx2;
    Y2 = by2;
  } else {
    X1 = Y1 = EmptyBox;
    X2 = Y2 = 0;
  }
}

void TLKMask::SyncFull() {
  if (Width <= 0 || Height <= 0) {
    Full = false;
    return;
  }
  for (Integer y = 0; y < Height; ++y) {
    const Byte* row = GetScanLine(y);
    if (BitsPerPixel == 8) {
      for (Integer x = 0; x < Width; ++x)
        if (row[x] != 255) {
          Full = false;
          return;
        }
    } else {
      const Integer whole = Width / 8;
      for (Integer b = 0; b < whole; ++b)
        if (row[b] != 255) {
          Full = false;
          return;
        }
      for (Integer x = whole * 8; x < Width; ++x)
        if (_GetPixelbw(row, x) == 0) {
          Full = false;
          return;
        }
    }
  }
  Full = true;
}

Int64 TLKMask::DrawSpan(Integer value, Int64 x1, Int64 x2, Integer y) {
  // Rows outside the mask are skipped, not folded onto the edge rows.
  if (y < 0 || y >= Height) return 0;
  x1 = std::max<Int64>(x1, 0);
  x2 = std::min<Int64>(x2, Width - 1);
  if (x1 > x2) return 0;
  Byte* row = GetScanLine(y);
  if (BitsPerPixel == 8) {
    UpdateFull(value);
    std::memset(row + x1, static_cast<Byte>(value), static_cast<size_t>(x2 - x1 + 1));
  } else {
    const bool set = value == 1;
    UpdateFull(set ? 1 : 0);
    Int64 x = x1;
    for (; x <= x2 && (x & 7) != 0; ++x) _SetPixelbw(row, static_cast<Integer>(x), set);
    for (; x + 7 <= x2; x += 8) row[x >> 3] = set ? 255 : 0;
    for (; x <= x2; ++x) _SetPixelbw(row, static_cast<Integer>(x), set);
  }
  return x2 - x1 + 1;
}

Integer TLKMask::DrawHorizontalLine(Integer value, Integer x1, Integer x2, Integer y) {
  return static_cast<Integer>(DrawSpan(value, x1, x2, y));
}

void TLKMask::DrawPolygon(Integer value, const TPoint* points, Integer count) {
  if (points && count > 0) {
    Integer start = 0;
    for (Integer i = 0; i <= count; ++i) {
      if (i < count && points[i].X != PolygonSeparator) continue;
      if (i > start) DrawSinglePolygon(value, points + start, i - start);
      start = i + 1;
    }
  }
  SyncFull();
}

void TLKMask::DrawSinglePolygon(Integer value, const TPoint* points, Integer count) {
  if (!points || count <= 0 || Width <= 0 || Height <= 0) return;
  const Integer savedX1 = X1, savedY1 = Y1, savedX2 = X2, savedY2 = Y2;
  if (value != 0) {
    for (Integer i = 0; i < count; ++i) {
      X1 = std::min(X1, points[i].X);
      Y1 = std::min(Y1, points[i].Y);
      if (points[i].X > X2) X2 = points[i].X - 1;
      if (points[i].Y > Y2) Y2 = points[i].Y - 1;
    }
    ClampBox();
  }

  // Edge list, ordered by the row where each edge starts.
  std::vector<PolyEdge> edges;
  edges.reserve(static_cast<size_t>(count));
  for (Integer i = 0; i < count; ++i) {
    const TPoint& a = points[i];
    const TPoint& b = points[(i + 1) % count];
    if (a.Y == b.Y) continue;
    const TPoint& lo = a.Y < b.Y ? a : b;
    const TPoint& up = a.Y < b.Y ? b : a;
    PolyEdge e;
    e.x0 = lo.X;
    e.dx = static_cast<Int64>(up.X) - lo.X;
    e.dy = static_cast<Int64>(up.Y) - lo.Y;
    e.q = e.dx / e.dy;
    e.r = e.dx - e.q * e.dy;
    e.yLow = lo.Y;
    e.yUp = up.Y;
    e.x = e.x0;
    e.row = lo.Y;
    edges.push_back(e);
  }
  std::stable_sort(edges.begin(), edges.end(),
                   [](const PolyEdge& a, const PolyEdge& b) { return a.yLow < b.yLow; });

  Int64 written = 0;
  if (!edges.empty()) {
    Integer maxY = edges[0].yUp;
    for (const PolyEdge& e : edges) maxY = std::max(maxY, e.yUp);
    std::vector<PolyEdge*> active;
    size_t next = 0;
    // Removes finished edges, brings the others to row y and inserts the
    // edges starting there, keeping the list sorted by x (ties: before the
    // first edge whose slope is at least the new one's).
    auto enterRow = [&](Int64 y) {
      std::erase_if(active, [y](const PolyEdge* e) { return e->yUp <= y; });
      for (PolyEdge* e : active) e->AdvanceTo(y);
      for (; next < edges.size() && edges[next].yLow == y; ++next) {
        PolyEdge* e = &edges[next];
        auto pos = std::find_if(active.begin(), active.end(), [e](const PolyEdge* a) {
          return a->x > e->x || (a->x == e->x && SlopeAtLeast(*a, *e));
        });
        active.insert(pos, e);
      }
    };
    const Int64 firstRow = std::max<Int64>(edges[0].yLow, 0);
    const Int64 lastRow = std::min<Int64>(maxY, Height - 1);
    // Rows above the mask draw nothing: only the rows where edges start
    // matter there, for the order of the active list.
    while (next < edges.size() && edges[next].yLow < firstRow) enterRow(edges[next].yLow);
    for (Int64 y = firstRow; y <= lastRow; ++y) {
      enterRow(y);
      for (size_t i = 0; i + 1 < active.size(); i += 2) {
        const Int64 xa = active[i]->x, xb = active[i + 1]->x - 1;
        if (xb >= xa) written += DrawSpan(value, xa, xb, static_cast<Integer>(y));
      }
    }
  }
  // A polygon that wrote nothing keeps the box it found.
  if (written == 0) {
    X1 = savedX1;
    Y1 = savedY1;
    X2 = savedX2;
    Y2 = savedY2;
  }
}

void TLKMask::TranslateBitmap(Integer& dx, Integer& dy, bool cut) {
  if (IsEmpty()) SyncRect();
  if (IsEmpty()) return;
  Int64 bx1 = X1, by1 = Y1, bx2 = X2, by2 = Y2;
  if (cut) {
    if (bx1 + dx < 0) bx1 = -static_cast<Int64>(dx);
    if (by1 + dy < 0) by1 = -static_cast<Int64>(dy);
    if (bx2 + dx >= Width) bx2 = static_cast<Int64>(Width) - dx - 1;
    if (by2 + dy >= Height) by2 = static_cast<Int64>(Height) - dy - 1;
  } else {
    if (bx1 + dx < 0) dx = -X1;
    if (bx2 + dx >= Width) dx = Width - X2 - 1;
    if (by1 + dy < 0) dy = -Y1;
    if (by2 + dy >= Height) dy = Height - Y2 - 1;
  }
  if (dx == 0 && dy == 0) return;
  if (bx2 < bx1 || by2 < by1) {
    Empty();
    return;
  }
  const Integer x1 = static_cast<Integer>(bx1), y1 = static_cast<Integer>(by1);
  const Integer x2 = static_cast<Integer>(bx2), y2 = static_cast<Integer>(by2);
  if (BitsPerPixel == 1) {
    const Integer bits = x2 - x1 + 1;
    const Integer blockRowLen = (bits + 7) / 8;
    std::vector<Byte> block(static_cast<size_t>(blockRowLen) * static_cast<size_t>(y2 - y1 + 1), 0);
    for (Integer y = y1; y <= y2; ++y)
      _CopyBits(block.data() + static_cast<size_t>(blockRowLen) * static_cast<size_t>(y - y1), GetScanLine(y), 0,
                x1, bits, RowLen);
    std::memset(Data.data(), 0, Data.size());
    for (Integer y = y1; y <= y2; ++y)
      _CopyBits(GetScanLine(y + dy), block.data() + static_cast<size_t>(blockRowLen) * static_cast<size_t>(y - y1),
                x1 + dx, 0, bits, blockRowLen);
  } else {
    const std::vector<Byte> copy = Data;
    std::memset(Data.data(), 0, Data.size());
    for (Integer y = y1; y <= y2; ++y) {
      const Integer ty = y + dy;
      if (ty < 0 || ty >= Height) continue;
      const Byte* src = copy.data() + static_cast<size_t>(RowLen) * static_cast<size_t>(Height - y - 1);
      Byte* dst = GetScanLine(ty);
      for (Integer x = x1; x <= x2; ++x) {
        const Integer tx = x + dx;
        if (tx >= 0 && tx < Width) dst[tx] = src[x];
      }
    }
  }
  // The moved selection no longer covers what it left.
  Full = false;
  X1 = std::clamp(x1 + dx, 0, Width - 1);
  Y1 = std::clamp(y1 + dy, 0, Height - 1);
  X2 = std::clamp(x2 + dx, 0, Width - 1);
  Y2 = std::clamp(y2 + dy, 0, Height - 1);
}

void TLKMask::Negative(Integer value) {
  if (IsEmpty()) return;
  const bool setBit = value != 0;
  const Byte v8 = static_cast<Byte>(value);
  for (Integer y = 0; y < Height; ++y) {
    Byte* row = GetScanLine(y);
    if (BitsPerPixel == 8) {
      for (Integer x = 0; x < Width; ++x) row[x] = row[x] != 0 ? 0 : v8;
    } else {
      for (Integer x = 0; x < Width; ++x) _SetPixelbw(row, x, _GetPixelbw(row, x) == 0 && setBit);
    }
  }
  SyncRect();
  Full = false;
}

void TLKMask::Intersect(Integer x1, Integer y1, Integer x2, Integer y2) {
  if (!IsEmpty()) {
    for (Integer y = Y1; y <= Y2; ++y) {
      Byte* row = GetScanLine(y);
      const bool rowOutside = y < y1 || y > y2;
      for (Integer x = X1; x <= X2; ++x) {
        if (!rowOutside && x >= x1 && x <= x2) continue;
        if (BitsPerPixel == 8) row[x] = 0;
        else _SetPixelbw(row, x, 0);
      }
    }
  }
  SyncRect();
  SyncFull();
}

void TLKMask::CombineWithAlpha(TLKBitmap* alpha, Integer x, Integer y, bool syncBox) {
  if (!alpha) return;
  const TLKPixelFormat f = alpha->GetPixelFormat();
  if (f != lk8g && f != lk8p) return;
  const Integer aw = alpha->GetWidth(), ah = alpha->GetHeight();
  const Int64 ay0 = std::max<Int64>(0, -static_cast<Int64>(y));
  const Int64 ay1 = std::min<Int64>(ah, static_cast<Int64>(Height) - y);
  const Int64 ax0 = std::max<Int64>(0, -static_cast<Int64>(x));
  const Int64 ax1 = std::min<Int64>(aw, static_cast<Int64>(Width) - x);
  for (Int64 ay = ay0; ay < ay1; ++ay) {
    const auto* arow = static_cast<const Byte*>(alpha->GetScanLine(static_cast<Integer>(ay)));
    Byte* row = GetScanLine(static_cast<Integer>(y + ay));
    for (Int64 ax = ax0; ax < ax1; ++ax) {
      const auto mx = static_cast<Integer>(x + ax);
      const Byte a = arow[ax];
      if (BitsPerPixel == 8) row[mx] = std::min(row[mx], a);
      else if (a == 0) _SetPixelbw(row, mx, 0);
    }
  }
  if (syncBox) SyncRect();
  SyncFull();
}

// ---------------------------------------------------------------------------
// Copying through the mask

void TLKMask::CopyLKBitmap(TLKBitmap* dest, TLKBitmap* source, bool destRelative, bool sourceRelative,
                           bool withAlpha) {
  if (!dest || !source || Width <= 0 || X2 < X1 || Y2 < Y1) return;
  const TLKPixelFormat df = dest->GetPixelFormat(), sf = source->GetPixelFormat();
  const bool mask8 = BitsPerPixel == 8;
  bool supported = df == sf && df != lknull;
  if (mask8) supported = supported && (df == lk24RGB || df == lk8g || df == lk8p || df == lk1g);
  if (supported) {
    const Int64 dox = destRelative ? X1 : 0, doy = destRelative ? Y1 : 0;
    const Int64 sox = sourceRelative ? X1 : 0, soy = sourceRelative ? Y1 : 0;
    const CopyRange r = ClipCopy(X1, Y1, X2, Y2, Width, Height, dox, doy, dest->GetWidth(), dest->GetHeight(),
                                 sox, soy, source->GetWidth(), source->GetHeight());
    const Integer bytes = SampleBytes(df);
    std::vector<Byte> temp;
    bool wrote = false;
    for (Int64 y = r.y0; !r.Empty() && y <= r.y1; ++y) {
      const Byte* mrow = GetScanLine(static_cast<Integer>(y));
      const Byte* srow = static_cast<const Byte*>(source->GetScanLine(static_cast<Integer>(y - soy)));
      if (dest == source) {  // the next GetScanLine may release this row
        temp.assign(srow, srow + source->GetRowLen());
        srow = temp.data();
      }
      Byte* drow = static_cast<Byte*>(dest->GetScanLine(static_cast<Integer>(y - doy)));
      for (Int64 x = r.x0; x <= r.x1; ++x) {
        const Integer m = mask8 ? mrow[x] : (_GetPixelbw(mrow, static_cast<Integer>(x)) != 0 ? 255 : 0);
        if (m == 0) continue;
        const Int64 dxp = x - dox, sxp = x - sox;
        wrote = true;
        if (df == lk1g) {
          _SetPixelbw(drow, static_cast<Integer>(dxp), _GetPixelbw(srow, static_cast<Integer>(sxp)) != 0);
        } else if (!mask8) {
          std::memcpy(drow + dxp * bytes, srow + sxp * bytes, static_cast<size_t>(bytes));
        } else {
          for (Integer c = 0; c < bytes; ++c) drow[dxp * bytes + c] = Blend(drow[dxp * bytes + c], srow[sxp * bytes + c], m);
        }
      }
    }
    if (wrote) dest->SetFull(false);
  }
  if (withAlpha) CopyLKBitmapAlpha(dest, source, destRelative, sourceRelative);
}

void TLKMask::CopyLKBitmapAlpha(TLKBitmap* dest, TLKBitmap* source, bool destRelative, bool sourceRelative) {
  if (!dest || !source || Width <= 0 || X2 < X1 || Y2 < Y1) return;
  TLKBitmap* da = dest->GetAlphaChannel();
  if (!da) return;
  TLKBitmap* sa = source->GetHasAlphaChannel() ? source->GetAlphaChannel() : nullptr;
  const bool mask8 = BitsPerPixel == 8;
  const Int64 dox = destRelative ? X1 : 0, doy = destRelative ? Y1 : 0;
  const Int64 sox = sourceRelative ? X1 : 0, soy = sourceRelative ? Y1 : 0;
  const CopyRange r = ClipCopy(X1, Y1, X2, Y2, Width, Height, dox, doy, da->GetWidth(), da->GetHeight(), sox,
                               soy, source->GetWidth(), source->GetHeight());
  std::vector<Byte> temp;
  for (Int64 y = r.y0; !r.Empty() && y <= r.y1; ++y) {
    const Byte* mrow = GetScanLine(static_cast<Integer>(y));
    const Byte* srow = sa ? static_cast<const Byte*>(sa->GetScanLine(static_cast<Integer>(y - soy))) : nullptr;
    if (srow && sa == da) {  // the next GetScanLine may release this row
      temp.assign(srow, srow + sa->GetRowLen());
      srow = temp.data();
    }
    Byte* drow = static_cast<Byte*>(da->GetScanLine(static_cast<Integer>(y - doy)));
    for (Int64 x = r.x0; x <= r.x1; ++x) {
      const Byte s = srow ? srow[x - sox] : 255;
      Byte out;
      if (mask8) out = mrow[x] != 0 ? std::min(s, mrow[x]) : 0;
      else out = _GetPixelbw(mrow, static_cast<Integer>(x)) != 0 ? s : 0;
      drow[x - dox] = out;
    }
  }
  da->SetFull(false);
}

void TLKMask::CopyBitmap(TBitmap* dest, TBitmap* source, bool destRelative, bool sourceRelative) {
  if (!dest || !source || Width <= 0 || X2 < X1 || Y2 < Y1) return;
  const TPixelFormat df = dest->GetPixelFormat(), sf = source->GetPixelFormat();
  if (df != sf || (df != pf24bit && df != pf1bit)) return;
  const bool mask8 = BitsPerPixel == 8;
  const Int64 dox = destRelative ? X1 : 0, doy = destRelative ? Y1 : 0;
  const Int64 sox = sourceRelative ? X1 : 0, soy = sourceRelative ? Y1 : 0;
  const CopyRange r = ClipCopy(X1, Y1, X2, Y2, Width, Height, dox, doy, dest->GetWidth(), dest->GetHeight(), sox,
                               soy, source->GetWidth(), source->GetHeight());
  if (r.Empty()) return;
  std::vector<Byte> temp;
  for (Int64 y = r.y0; y <= r.y1; ++y) {
    const Byte* mrow = GetScanLine(static_cast<Integer>(y));
    const Byte* srow = source->ScanLine(static_cast<Integer>(y - soy));
    if (dest == source) {
      temp.assign(srow, srow + source->RowBytes());
      srow = temp.data();
    }
    Byte* drow = dest->ScanLine(static_cast<Integer>(y - doy));
    for (Int64 x = r.x0; x <= r.x1; ++x) {
      const Integer m = mask8 ? mrow[x] : (_GetPixelbw(mrow, static_cast<Integer>(x)) != 0 ? 255 : 0);
      if (m == 0) continue;
      const Int64 dxp = x - dox, sxp = x - sox;
      if (df == pf1bit) {
        _SetPixelbw(drow, static_cast<Integer>(dxp), _GetPixelbw(srow, static_cast<Integer>(sxp)) != 0);
      } else if (!mask8) {
        std::memcpy(drow + dxp * 3, srow + sxp * 3, 3);
      } else {
        for (Integer c = 0; c < 3; ++c) drow[dxp * 3 + c] = Blend(drow[dxp * 3 + c], srow[sxp * 3 + c], m);
      }
    }
  }
  dest->Modify();
}

// ---------------------------------------------------------------------------
// Drawing

void TLKMask::InvertCanvas(TCanvas* canvas, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                           Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight) {
  if (!canvas || BitsPerPixel != 1 || IsEmpty()) return;
  BitmapInfo.bmiHeader.biWidth = Width;
  BitmapInfo.bmiHeader.biHeight = Height;
  MaskSurface surface(*this, std::span<const TRGBQuad>(BitmapInfo.bmiColors, 2));
  const TCopyMode saved = canvas->GetCopyMode();
  canvas->SetCopyMode(cmSrcInvert);
  try {
    canvas->CopyFromSurface(Rect(destX, destY, destX + destWidth, destY + destHeight), &surface,
                            Rect(sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight));
  } catch (...) {
    canvas->SetCopyMode(saved);
    throw;
  }
  canvas->SetCopyMode(saved);
}

bool TLKMask::BuildDrawBuffer(Integer w, Integer h, Integer sx, Integer sy, Integer sw, Integer sh, Int64& xStep,
                              Int64& yStep) {
  if (w != DrawWidth || h != DrawHeight || DrawRows.empty()) {
    DrawBuffer = {};
    DrawRows = {};
    DrawWidth = DrawHeight = 0;
    DrawRowLen = LKBitmapRowLen(w, BitsPerPixel, 32);
    DrawBuffer = ZeroPlane(static_cast<Int64>(DrawRowLen) * h);
    DrawRows.resize(static_cast<size_t>(h));
    for (Integer i = 0; i < h; ++i)
      DrawRows[static_cast<size_t>(i)] = DrawBuffer.data() + static_cast<size_t>(DrawRowLen) * static_cast<size_t>(h - i - 1);
    DrawWidth = w;
    DrawHeight = h;
  }
  std::fill(DrawBuffer.begin(), DrawBuffer.end(), Byte{0});
  // A zoom of more than 16384 times would give a step of 0: one mask pixel
  // per buffer pixel step at least.
  xStep = std::max<Int64>(LKTrunc64(static_cast<double>(sw) / w * 16384.0), 1);
  yStep = std::max<Int64>(LKTrunc64(static_cast<double>(sh) / h * 16384.0), 1);

  const Int64 r0 = std::max<Int64>(LKTrunc64(static_cast<double>(static_cast<Int64>(Y1) - sy) * h / sh), 0);
  const Int64 r1 = std::min<Int64>(LKTrunc64(static_cast<double>(h) / sh * (static_cast<Int64>(Y2) - sy + 1)), h - 1);
  const Int64 c0 = std::max<Int64>(LKTrunc64(static_cast<double>(static_cast<Int64>(X1) - sx) * w / sw), 0);
  const Int64 c1 = std::min<Int64>(LKTrunc64(static_cast<double>(w) / sw * (static_cast<Int64>(X2) - sx + 1)), w - 1);
  if (c1 < c0) return false;
  for (Int64 i = r0; i <= r1; ++i) {
    const Int64 my = sy + ((yStep * i) >> 14);
    if (my < 0 || my >= Height) continue;
    const Byte* mrow = GetScanLine(static_cast<Integer>(my));
    Byte* brow = DrawRows[static_cast<size_t>(i)];
    for (Int64 j = c0; j <= c1; ++j) {
      const Int64 mx = sx + ((xStep * j) >> 14);
      if (mx < 0 || mx >= Width) continue;
      if (BitsPerPixel == 8) brow[j] = mrow[mx];
      else if (_GetPixelbw(mrow, static_cast<Integer>(mx)) != 0) _SetPixelbw(brow, static_cast<Integer>(j), 1);
    }
  }
  return true;
}

bool TLKMask::DrawBufferSet(Integer col, Integer row) const {
  const Byte* brow = DrawRows[static_cast<size_t>(row)];
  return BitsPerPixel == 8 ? brow[col] != 0 : _GetPixelbw(brow, col) != 0;
}

void TLKMask::DrawOutline(TCanvas* canvas, Integer destX, Integer destY, Integer drawWidth, Integer drawHeight,
                          Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight, Integer phase,
                          TColor colour1, TColor colour2) {
  if (!canvas || drawWidth <= 0 || drawHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0 || IsEmpty() ||
      BitsPerPixel == 0)
    return;
  Int64 xStep = 1, yStep = 1;
  if (!BuildDrawBuffer(drawWidth, drawHeight, sourceX, sourceY, sourceWidth, sourceHeight, xStep, yStep)) return;
  const Int64 i0 = std::max<Int64>(((static_cast<Int64>(Y1) - sourceY) * 16384) / yStep, 0);
  const Int64 i1 = std::min<Int64>(((static_cast<Int64>(Y2) - sourceY + 1) * 16384) / yStep + 1, drawHeight - 1);
  const Int64 j0 = std::max<Int64>(((static_cast<Int64>(X1) - sourceX) * 16384) / xStep, 0);
  const Int64 j1 = std::min<Int64>(((static_cast<Int64>(X2) - sourceX + 1) * 16384) / xStep + 1, drawWidth - 1);
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetMode(pmCopy);
  const TColor c1 = ColorToRGB(colour1), c2 = ColorToRGB(colour2);
  if (i1 < i0 || j1 < j0) return;
  // The buffer's rows i - 1, i and i + 1 unpacked to one byte a pixel over
  // the columns j0 - 1 .. j1 + 1 (clamped), and their vertical AND: an inner
  // pixel lies on the border when one of its nine pixels is clear.
  const Int64 lo = std::max<Int64>(j0 - 1, 0), hi = std::min<Int64>(j1 + 1, drawWidth - 1);
  const std::size_t n = static_cast<std::size_t>(drawWidth);
  std::vector<Byte> rows[3] = {std::vector<Byte>(n), std::vector<Byte>(n), std::vector<Byte>(n)};
  std::vector<Byte> all3(n);
  auto unpack = [&](Int64 row, std::vector<Byte>& out) {
    if (row < 0 || row >= drawHeight) return;
    const Byte* brow = DrawRows[static_cast<size_t>(row)];
    if (BitsPerPixel == 8) {
      for (Int64 j = lo; j <= hi; ++j) out[static_cast<size_t>(j)] = brow[j] != 0;
    } else {
      for (Int64 j = lo; j <= hi; ++j) out[static_cast<size_t>(j)] = (brow[j >> 3] >> (7 - (j & 7))) & 1;
    }
  };
  unpack(i0 - 1, rows[0]);
  unpack(i0, rows[1]);
  for (Int64 i = i0; i <= i1; ++i) {
    std::vector<Byte>& above = rows[(i - i0) % 3];
    std::vector<Byte>& cur = rows[(i - i0 + 1) % 3];
    std::vector<Byte>& below = rows[(i - i0 + 2) % 3];
    unpack(i + 1, below);
    const bool inner = i != 0 && i != i1;
    if (inner)
      for (Int64 j = lo; j <= hi; ++j) {
        const auto k = static_cast<size_t>(j);
        all3[k] = above[k] & cur[k] & below[k];
      }
    for (Int64 j = j0; j <= j1; ++j) {
      const auto k = static_cast<size_t>(j);
      if (!cur[k]) continue;
      bool edge;
      if (j == 0) {
        edge = sourceX <= X1;
      } else if (j == j1) {
        edge = X2 <= sourceX + ((j * xStep) >> 14) || sourceWidth == Width;
      } else if (i == 0) {
        edge = sourceY <= Y1;
      } else if (i == i1) {
        edge = Y2 <= sourceY + ((i * yStep) >> 14) || sourceHeight == Height;
      } else {
        edge = !(all3[k - 1] & all3[k] & all3[k + 1]);
      }
      if (!edge) continue;
      const Int64 cx = static_cast<Int64>(destX) + j, cy = static_cast<Int64>(destY) + i;
      const TColor c = ((cx + cy + phase) & 7) < 4 ? c2 : c1;
      canvas->SetPixel(static_cast<Integer>(cx), static_cast<Integer>(cy), c);
    }
  }
}

void TLKMask::DrawOuter(TBitmap* bitmap, Integer destX, Integer destY, Integer drawWidth, Integer drawHeight,
                        Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight) {
  if (!bitmap || bitmap->GetPixelFormat() != pf24bit || drawWidth <= 0 || drawHeight <= 0 || sourceWidth <= 0 ||
      sourceHeight <= 0 || IsEmpty() || BitsPerPixel == 0)
    return;
  Int64 xStep = 1, yStep = 1;
  BuildDrawBuffer(drawWidth, drawHeight, sourceX, sourceY, sourceWidth, sourceHeight, xStep, yStep);
  const Integer bw = bitmap->GetWidth(), bh = bitmap->GetHeight();
  const Int64 i0 = std::max<Int64>((-static_cast<Int64>(sourceY) * 16384) / yStep, 0);
  const Int64 i1 = std::min<Int64>({((static_cast<Int64>(Height) - sourceY) * 16384) / yStep + 1,
                                    static_cast<Int64>(drawHeight) - 1, static_cast<Int64>(bh) - 1});
  const Int64 j0 = std::max<Int64>((-static_cast<Int64>(sourceX) * 16384) / xStep, 0);
  const Int64 j1 = std::min<Int64>({((static_cast<Int64>(Width) - sourceX) * 16384) / xStep + 1,
                                    static_cast<Int64>(drawWidth) - 1, static_cast<Int64>(bw) - 1});
  for (Int64 i = i0; i <= i1; ++i) {
    const Int64 by = static_cast<Int64>(destY) + i;
    if (by >= bh) break;
    if (by < 0) continue;
    Byte* brow = bitmap->ScanLine(static_cast<Integer>(by));
    for (Int64 j = j0; j <= j1; ++j) {
      const Int64 bx = static_cast<Int64>(destX) + j;
      if (bx >= bw) break;
      if (bx < 0 || ((i + j) & 1) != 0) continue;
      if (DrawBufferSet(static_cast<Integer>(j), static_cast<Integer>(i))) continue;
      brow[bx * 3] = 97;
      brow[bx * 3 + 1] = 97;
      brow[bx * 3 + 2] = 97;
    }
  }
  bitmap->Modify();
}
