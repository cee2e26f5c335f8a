// Scaled drawing of an image buffer into a 24-bit bitmap: clipping of both
// rectangles, the coordinate tables (built here or reused from the caller),
// the filtered pass through the resamplers, and one drawing slot per pixel
// format that converts to 24-bit colour and writes, blends or alpha-mixes it.
//
// Nothing here keeps state between calls or shares scratch memory, so
// renders of distinct bitmaps may run on several threads at once. Every
// table entry used for reading is kept inside the source, and every write
// inside the destination, whatever rectangles, tables or zoom the caller
// passes.
#include "core/lkrender.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/lkcolorspace.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkfilterresample.h"
#include "processing/lkprocutils.h"
#include "processing/lkresample.h"

namespace {

// ---------------------------------------------------------------------------
// Drawing engine shared by the slots

// What every slot walks: rows y1..y2 and columns x1..x2 of the destination,
// the tables positioned at x1 and y1.
struct RenderArgs {
  void** rows;
  TLKBitmap* dest;
  const Integer* cols;
  const Integer* rowIdx;
  Integer x1, y1, x2, y2;
  bool solid;
  Integer transparency;
  TLKBitmap* alphaChannel;  // non-nil when the slot mixes by the alpha channel
  const Byte* constAlpha;
};

// d + floor((v - d) * a / 256); the arithmetic shift floors negative values.
inline Byte MixChannel(Byte d, Byte v, Integer a) {
  return static_cast<Byte>(d + (((static_cast<Integer>(v) - d) * a) >> 8));
}

inline void Mix(TRGB& d, const TRGB& v, Integer a) {
  d.b = MixChannel(d.b, v.b, a);
  d.g = MixChannel(d.g, v.g, a);
  d.r = MixChannel(d.r, v.r, a);
}

// Walks the rows: Read(sourceRow, column) gives the 24-bit colour of a source
// pixel. kAlpha mixes by the alpha rule, kBlend combines by `op` first.
// repeatRows copies a destination row from the one above when its source row
// repeats over a solid background.
template <bool kAlpha, bool kBlend, class Read>
void Walk(TLKBitmap* src, const RenderArgs& a, TLKRenderOperation op, bool repeatRows, Read read) {
  if (a.x1 > a.x2 || a.y1 > a.y2 || a.cols == nullptr || a.rowIdx == nullptr || a.rows == nullptr) return;
  const Integer n = a.x2 - a.x1 + 1;
  const auto rowLen = static_cast<size_t>(a.dest->GetRowLen());
  Integer previous = -1;
  for (Integer y = a.y1; y <= a.y2; ++y) {
    const Integer sr = a.rowIdx[y - a.y1];
    auto* drow = static_cast<Byte*>(a.rows[y]);
    if (repeatRows && a.solid && sr == previous) {
      std::memcpy(drow, a.rows[y - 1], rowLen);
      continue;
    }
    previous = sr;
    const auto* srow = static_cast<const Byte*>(src->GetScanLine(sr));
    TRGB* d = reinterpret_cast<TRGB*>(drow) + a.x1;
    if constexpr (kAlpha) {
      const Byte* arow = a.alphaChannel ? static_cast<const Byte*>(a.alphaChannel->GetScanLine(sr)) : a.constAlpha;
      const Integer cap = imin(a.transparency, 255);
      for (Integer i = 0; i < n; ++i) {
        const Integer c = a.cols[i];
        const Integer w = arow ? imin(a.transparency, arow[c]) : cap;
        TRGB v = read(srow, c);
        if constexpr (kBlend) {
          TRGB t = d[i];
          LKBlend(v, t, op);
          v = t;
        }
        Mix(d[i], v, w);
      }
    } else {
      for (Integer i = 0; i < n; ++i) {
        if constexpr (kBlend)
          LKBlend(read(srow, a.cols[i]), d[i], op);
        else
          d[i] = read(srow, a.cols[i]);
      }
    }
  }
}

template <class Read>
void Draw(TLKBitmap* src, const RenderArgs& a, bool alphaSlot, bool blend, TLKRenderOperation op, bool repeatRows,
          Read read) {
  if (alphaSlot) {
    if (blend)
      Walk<true, true>(src, a, op, repeatRows, read);
    else
      Walk<true, false>(src, a, op, repeatRows, read);
  } else {
    if (blend)
      Walk<false, true>(src, a, op, repeatRows, read);
    else
      Walk<false, false>(src, a, op, repeatRows, read);
  }
}

// Contrast factor k of a contrast value: 1 + c/10 upwards, 1 - sqrt(-c)/10
// downwards (so -100 flattens every channel to 128).
double ContrastFactor(Integer contrast) {
  return contrast >= 0 ? 1.0 + contrast / 10.0 : 1.0 - std::sqrt(-static_cast<double>(contrast)) / 10.0;
}

// One channel of the 24-bit adjustment as a table: offset o, then contrast
// in 16.16 fixed point around 128, clamped to a byte.
std::array<Byte, 256> AdjustTable24(Integer offset, Integer fixedK) {
  std::array<Byte, 256> t{};
  for (Integer s = 0; s < 256; ++s) {
    const Int64 v = (static_cast<Int64>(s) + offset - 128) * fixedK / 65536 + 128;
    t[static_cast<size_t>(s)] = static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  return t;
}

// One 16-bit channel adjusted: offset added unscaled, contrast around 32768,
// then the high byte (floored) clamped.
inline Byte Adjust48(Word w, Integer offset, double k) {
  const Int64 t = LKTrunc64((static_cast<double>(w) + offset - 32768.0) * k + 32768.0);
  const Int64 v = t >> 8;
  return static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Grey level of a value through the black/white window (lk8g, lk16g).
inline Integer WindowGrey(Integer g, double black, double white) {
  const Integer b0 = LKTrunc(black), w0 = LKTrunc(white);
  return blimit(LKTrunc((imin(imax(g, b0), w0) - b0) / (white - black) * 255.0));
}

inline TRGB Grey(Integer g) {
  const auto v = static_cast<Byte>(g);
  return TRGB{v, v, v};
}

// A table of H row addresses (or of integers) allocated with std::malloc, so
// that callers may keep it and free it with std::free.
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using MallocPtr = std::unique_ptr<T[], FreeDeleter>;

template <class T>
MallocPtr<T> MallocArray(Int64 count) {
  void* p = std::malloc(static_cast<size_t>(std::max<Int64>(count, 1)) * sizeof(T));
  if (p == nullptr) throw std::bad_alloc();
  return MallocPtr<T>(static_cast<T*>(p));
}

// Narrows the access set of file-backed bitmaps to reading for the life of
// the object, so that mapped rows are never written back; memory and TBitmap
// storage do not look at it and are left untouched.
class ReadOnlyScope {
 public:
  explicit ReadOnlyScope(TLKBitmap* bitmap) : bitmap_(bitmap && bitmap->GetLocation() == lkFile ? bitmap : nullptr) {
    if (bitmap_) {
      saved_ = bitmap_->Access;
      bitmap_->Access = TLKDataAccess{lkdRead};
    }
  }
  ~ReadOnlyScope() {
    if (bitmap_) bitmap_->Access = saved_;
  }
  ReadOnlyScope(const ReadOnlyScope&) = delete;
  ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

 private:
  TLKBitmap* bitmap_;
  TLKDataAccess saved_;
};

// A memory-backed temporary bitmap whatever the size threshold says.
std::unique_ptr<TLKBitmap> MemoryBitmap(Integer width, Integer height, TLKPixelFormat format) {
  auto bmp = std::make_unique<TLKBitmap>();
  bmp->SetMinFileSize(std::numeric_limits<Integer>::max());
  bmp->Allocate(width, height, format);
  return bmp;
}

}  // namespace

void LKFreeRenderTables(void**& rowTable, Integer*& colTable, Integer*& rowIndexTable) {
  std::free(rowTable);
  std::free(colTable);
  std::free(rowIndexTable);
  rowTable = nullptr;
  colTable = nullptr;
  rowIndexTable = nullptr;
}

// ---------------------------------------------------------------------------
// RenderToTLKBitmap

void TLKBitmap::RenderToTLKBitmap(TLKBitmap* dest, void**& rowTable, Integer*& colTable, Integer*& rowIndexTable,
                                  const TRect* updateRect, Integer destX, Integer destY, Integer destWidth,
                                  Integer destHeight, Integer sourceX, Integer sourceY, Integer sourceWidth,
                                  Integer sourceHeight, bool enableAlpha, bool solidBackground,
                                  Integer transparency, TResampleFilter filter, bool freeTables,
                                  TLKRenderOperation op) {
  if (dest == nullptr || dest == this || dest->GetPixelFormat() != lk24RGB || PixelFormat == lknull) return;
  const ReadOnlyScope sourceScope(this);
  const ReadOnlyScope alphaScope(AlphaChannel);

  const Int64 W = dest->GetWidth(), H = dest->GetHeight(), SW = Width, SH = Height;
  if (W <= 0 || H <= 0 || SW <= 0 || SH <= 0) return;
  Int64 dx = destX, dy = destY, dw = destWidth, dh = destHeight;
  Int64 sx = sourceX, sy = sourceY, sw = sourceWidth, sh = sourceHeight;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (dy > H - 1 || dx > W - 1) return;

  // Ratios of the rectangles as given; the clipping below moves the source
  // by the same ratio as the destination.
  const double ry = static_cast<double>(sh) / static_cast<double>(dh);
  const double rx = static_cast<double>(sw) / static_cast<double>(dw);
  if (dy < 0) {
    const Int64 n = -dy, t = LKTrunc64(static_cast<double>(n) * ry);
    sy += t;
    sh -= t;
    dh -= n;
    dy = 0;
  }
  if (dx < 0) {
    const Int64 n = -dx, t = LKTrunc64(static_cast<double>(n) * rx);
    sx += t;
    sw -= t;
    dw -= n;
    dx = 0;
  }
  if (dy + dh > H) {
    sh -= LKTrunc64(static_cast<double>(dy + dh - H) * ry);
    dh = H - dy;
  }
  if (dx + dw > W) {
    sw -= LKTrunc64(static_cast<double>(dx + dw - W) * rx);
    dw = W - dx;
  }
  dx = std::clamp<Int64>(dx, 0, W - 1);
  dy = std::clamp<Int64>(dy, 0, H - 1);
  dw = std::clamp<Int64>(dw, 0, W);
  dh = std::clamp<Int64>(dh, 0, H);
  sx = std::clamp<Int64>(sx, 0, SW - 1);
  sy = std::clamp<Int64>(sy, 0, SH - 1);
  sw = std::clamp<Int64>(sw, 0, SW);
  sh = std::clamp<Int64>(sh, 0, SH);
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;

  const Integer tp = imax(transparency, 0);

  // Filtered path: resample once at the destination size, then draw 1:1.
  // A filter value outside the enumeration draws unfiltered: no resampler
  // would fill the temporary.
  if (filter != rfNone && filter <= rfProjectWB && (dw != sw || dh != sh) &&
      (PixelFormat == lk1g || PixelFormat == lk24RGB)) {
    // The resamplers read whole bitmaps: the rectangle is kept inside the
    // source so that nothing undefined is resampled.
    const auto fw = static_cast<Integer>(std::min(sw, SW - sx)), fh = static_cast<Integer>(std::min(sh, SH - sy));
    const auto ix = static_cast<Integer>(sx), iy = static_cast<Integer>(sy);
    const auto iw = static_cast<Integer>(dw), ih = static_cast<Integer>(dh);
    const bool project = filter == rfProjectBW || filter == rfProjectWB;
    const bool withAlpha = enableAlpha && AlphaChannel != nullptr;
    const bool linear24 = filter == rfFastLinear && PixelFormat == lk24RGB;
    const TRect visibleSource{ix, iy, ix + fw, iy + fh};

    // The fast linear filter of a 24-bit picture drawn opaque and unadjusted
    // (the 1:1 draw would be a plain copy) is computed straight into the
    // destination rows, and only for the drawn pixels: no temporary, and
    // only the source pixels they depend on are read.
    if (linear24 && tp >= 255 && !(withAlpha && !AlphaChannel->GetFull()) && !ChannelOffsetEnabled &&
        Contrast == 0 && op == lklNormal && dest->GetLocation() != lkFile) {
      const auto iW = static_cast<Integer>(W), iH = static_cast<Integer>(H);
      const auto ox = static_cast<Integer>(dx), oy = static_cast<Integer>(dy);
      Integer x1 = ox, y1 = oy, x2 = imin(ox + iw - 1, iW - 1), y2 = imin(oy + ih - 1, iH - 1);
      if (updateRect != nullptr) {
        x1 = imax(x1, updateRect->Left);
        y1 = imax(y1, updateRect->Top);
        x2 = imin(x2, updateRect->Right);
        y2 = imin(y2, updateRect->Bottom);
      }
      x1 = std::clamp(x1, 0, iW - 1);
      x2 = std::clamp(x2, 0, iW - 1);
      y1 = std::clamp(y1, 0, iH - 1);
      y2 = std::clamp(y2, 0, iH - 1);
      if (x1 > x2 || y1 > y2) return;
      void** const callerRows = rowTable;
      LKResampleLinearPart(this, visibleSource, iw, ih, TRect{x1 - ox, y1 - oy, x2 - ox + 1, y2 - oy + 1},
                           [&](Integer k) {
                             void* row = callerRows ? callerRows[y1 + k] : dest->GetScanLine(y1 + k);
                             return static_cast<Byte*>(row) + static_cast<Int64>(x1) * 3;
                           });
      return;
    }

    std::unique_ptr<TLKBitmap> resampled;
    if (PixelFormat == lk1g && dw <= sw && !withAlpha && !project) {
      resampled = MemoryBitmap(iw, ih, lk24RGB);
      _SubResample1bitFilteredEx(this, ix, iy, ix + fw - 1, iy + fh - 1, resampled.get());
    } else {
      TLKBitmap* from = this;
      TLKBitmap* fromAlpha = withAlpha ? AlphaChannel : nullptr;
      std::unique_ptr<TLKBitmap> crop, cropAlpha;
      if (ix != 0 || iy != 0 || fw != Width || fh != Height) {
        // The fast linear filter reads the rectangle in place; the others
        // resample a copy of it.
        if (!linear24) {
          crop = std::make_unique<TLKBitmap>(fw, fh, PixelFormat);
          CopyRectTo(crop.get(), ix, iy, 0, 0, fw, fh);
          from = crop.get();
        }
        if (withAlpha) {
          cropAlpha = std::make_unique<TLKBitmap>(fw, fh, lk8g);
          AlphaChannel->CopyRectTo(cropAlpha.get(), ix, iy, 0, 0, fw, fh);
          cropAlpha->SetFull(AlphaChannel->GetFull());
          fromAlpha = cropAlpha.get();
        }
      }
      resampled = MemoryBitmap(iw, ih, PixelFormat == lk1g && project ? lk1g : lk24RGB);
      if (linear24) {
        TLKBitmap* to = resampled.get();
        LKResampleLinearPart(from, visibleSource, iw, ih, TRect{0, 0, iw, ih},
                             [to](Integer r) { return static_cast<Byte*>(to->GetScanLine(r)); });
      } else if (PixelFormat == lk1g) {
        _Resample1bitEx(from, resampled.get(), filter);
      } else {
        _ResampleEx(from, resampled.get(), filter);
      }
      if (fromAlpha != nullptr) {
        TLKBitmap* alpha = resampled->GetAlphaChannel();
        _ResampleAlphaEx(fromAlpha, alpha, filter);
        alpha->SetFull(fromAlpha->GetFull());
      }
      for (int i = 0; i < 4; ++i) resampled->ChannelOffset[i] = ChannelOffset[i];
      resampled->ChannelOffsetEnabled = ChannelOffsetEnabled;
      resampled->Contrast = Contrast;
    }
    Integer* freshCols = nullptr;
    Integer* freshRows = nullptr;
    resampled->RenderToTLKBitmap(dest, rowTable, freshCols, freshRows, updateRect, static_cast<Integer>(dx),
                                 static_cast<Integer>(dy), iw, ih, 0, 0, iw, ih, enableAlpha, solidBackground, tp,
                                 rfNone, true, op);
    return;
  }

  // File storage keeps only mapped copies of rows: they are mapped for this
  // call alone, read and written back, and never handed to the caller.
  const bool destFile = dest->GetLocation() == lkFile;
  const TLKDataAccess destAccess = dest->Access;
  MallocPtr<void*> builtRows;
  MallocPtr<Integer> builtCols, builtRowIdx;
  try {
    const Integer ix = static_cast<Integer>(dx), iy = static_cast<Integer>(dy);
    const Integer isx = static_cast<Integer>(sx), isy = static_cast<Integer>(sy);
    const auto iW = static_cast<Integer>(W), iH = static_cast<Integer>(H);

    // Steps in 14-bit fixed point from the clipped extents.
    const Integer yStep = LKTrunc(static_cast<double>(sh) / static_cast<double>(dh) * 16384.0);
    const Integer xStep = LKTrunc(static_cast<double>(sw) / static_cast<double>(dw) * 16384.0);

    // Drawn area.
    const Integer lastRow = static_cast<Integer>(std::min(dy + dh - 1, H - 1));
    const Integer lastCol = static_cast<Integer>(std::min(dx + dw - 1, W - 1));
    Integer ul = -2147483646, ut = -2147483646, ur = 2147483646, ub = 2147483646;
    if (updateRect != nullptr) {
      ul = updateRect->Left;
      ut = updateRect->Top;
      ur = updateRect->Right;
      ub = updateRect->Bottom;
    }
    Integer x1 = std::clamp(imax(ul, ix), 0, iW - 1), x2 = std::clamp(imin(ur, lastCol), 0, iW - 1);
    Integer y1 = std::clamp(imax(ut, iy), 0, iH - 1), y2 = std::clamp(imin(ub, lastRow), 0, iH - 1);

    const bool alphaFlag = enableAlpha && AlphaChannel != nullptr && !AlphaChannel->GetFull() &&
                           AlphaChannel->GetWidth() >= Width && AlphaChannel->GetHeight() >= Height;
    const bool direct = xStep == 16384 && yStep == 16384 && PixelFormat == lk24RGB && tp >= 255 && !alphaFlag &&
                        !ChannelOffsetEnabled && Contrast == 0 && op == lklNormal;

    // Coordinate tables (the direct copy needs none): the caller's, or built
    // here over x1..x2 and y1..y2 with the source positions as computed.
    if (!direct && colTable == nullptr) {
      builtCols = MallocArray<Integer>(static_cast<Int64>(x2) - x1 + 1);
      for (Integer x = x1; x <= x2; ++x) builtCols[x - x1] = LKTrunc((x - ix) * rx + isx);
    }
    if (!direct && rowIndexTable == nullptr) {
      builtRowIdx = MallocArray<Integer>(static_cast<Int64>(y2) - y1 + 1);
      for (Integer y = y1; y <= y2; ++y) builtRowIdx[y - y1] = LKTrunc((y - iy) * ry + isy);
    }
    const Integer tableX1 = x1, tableY1 = y1;
    const auto colAt = [&](Integer x) { return colTable ? colTable[x - ix] : builtCols[x - tableX1]; };
    const auto rowAt = [&](Integer y) { return rowIndexTable ? rowIndexTable[y - iy] : builtRowIdx[y - tableY1]; };

    // Trailing entries at or beyond the source shorten the drawn area. For
    // built tables this happens when the source rectangle overhangs the
    // source: those columns and rows stay undrawn, as the direct copy leaves
    // them, and a handed-over table gives the same picture on the next call.
    if (rowIndexTable != nullptr || builtRowIdx)
      while (y2 >= y1 && rowAt(y2) >= SH) --y2;
    if (colTable != nullptr || builtCols)
      while (x2 >= x1 && colAt(x2) >= SW) --x2;
    if (x1 > x2 || y1 > y2) return;
    const Integer nx = x2 - x1 + 1, ny = y2 - y1 + 1;

    // Any other entry outside the source (only a caller's table has them) is
    // clamped in a local copy.
    const Integer* cols = nullptr;
    const Integer* rowIdx = nullptr;
    std::vector<Integer> clampedCols, clampedRows;
    if (!direct) {
      cols = colTable ? colTable + (x1 - ix) : builtCols.get();
      if (std::any_of(cols, cols + nx, [&](Integer c) { return c < 0 || c >= SW; })) {
        clampedCols.resize(static_cast<size_t>(nx));
        for (Integer i = 0; i < nx; ++i)
          clampedCols[static_cast<size_t>(i)] = std::clamp<Integer>(cols[i], 0, static_cast<Integer>(SW - 1));
        cols = clampedCols.data();
      }
      rowIdx = rowIndexTable ? rowIndexTable + (y1 - iy) : builtRowIdx.get();
      if (std::any_of(rowIdx, rowIdx + ny, [&](Integer r) { return r < 0 || r >= SH; })) {
        clampedRows.resize(static_cast<size_t>(ny));
        for (Integer i = 0; i < ny; ++i)
          clampedRows[static_cast<size_t>(i)] = std::clamp<Integer>(rowIdx[i], 0, static_cast<Integer>(SH - 1));
        rowIdx = clampedRows.data();
      }
    }

    // Destination rows.
    void** rows = nullptr;
    if (destFile) {
      builtRows = MallocArray<void*>(H);
      dest->FreeAllMaps();  // pending writes of earlier rows reach the file first
      dest->Access = TLKDataAccess{lkdRead, lkdWrite};
      for (Integer y = y1; y <= y2; ++y) builtRows[y] = dest->GetRow(y);
      rows = builtRows.get();
    } else if (rowTable != nullptr) {
      rows = rowTable;
    } else {
      builtRows = MallocArray<void*>(H);
      for (Integer y = 0; y < iH; ++y) builtRows[y] = dest->GetScanLine(y);
      rows = builtRows.get();
    }

    std::vector<Byte> constAlpha;
    if (tp < 255) constAlpha.assign(static_cast<size_t>(SW), static_cast<Byte>(tp));

    const bool alphaSlot = tp < 255 || alphaFlag;
    const Byte* ca = constAlpha.empty() ? nullptr : constAlpha.data();
#define LK_PLAIN(NAME) \
  Render_##NAME(rows, dest, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep, yStep, solidBackground)
#define LK_ALPHA(NAME)                                                                                        \
  Render_##NAME##_alpha(rows, dest, tp, alphaFlag, ca, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep, \
                        yStep, solidBackground)
    switch (PixelFormat) {
      case lk24RGB:
        if (alphaSlot)
          Render_lk24RGB_alpha(rows, dest, tp, alphaFlag, ca, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep,
                               yStep, solidBackground, op);
        else
          Render_lk24RGB(rows, dest, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep, yStep, solidBackground,
                         op);
        break;
      case lk48RGB:
        if (alphaSlot)
          Render_lk48RGB_alpha(rows, dest, tp, alphaFlag, ca, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep,
                               yStep, solidBackground, op);
        else
          Render_lk48RGB(rows, dest, cols, rowIdx, isx, isy, ix, iy, x1, y1, x2, y2, xStep, yStep, solidBackground,
                         op);
        break;
      case lk1g: alphaSlot ? LK_ALPHA(lk1g) : LK_PLAIN(lk1g); break;
      case lk8g: alphaSlot ? LK_ALPHA(lk8g) : LK_PLAIN(lk8g); break;
      case lk8p: alphaSlot ? LK_ALPHA(lk8p) : LK_PLAIN(lk8p); break;
      case lk16g: alphaSlot ? LK_ALPHA(lk16g) : LK_PLAIN(lk16g); break;
      case lk32f: alphaSlot ? LK_ALPHA(lk32f) : LK_PLAIN(lk32f); break;
      case lkCMYK: alphaSlot ? LK_ALPHA(lkCMYK) : LK_PLAIN(lkCMYK); break;
      case lkCIELab: alphaSlot ? LK_ALPHA(lkCIELab) : LK_PLAIN(lkCIELab); break;
      default: break;
    }
#undef LK_PLAIN
#undef LK_ALPHA

    if (destFile) {
      dest->FreeAllMaps();
      dest->Access = destAccess;
      builtRows.reset();
    }
    // Tables built here pass to the caller when asked.
    if (!freeTables) {
      if (builtRows) rowTable = builtRows.release();
      if (builtCols) colTable = builtCols.release();
      if (builtRowIdx) rowIndexTable = builtRowIdx.release();
    }
  } catch (...) {
    // Drawing errors are dropped: the destination keeps what was drawn.
    if (destFile) {
      try {
        dest->FreeAllMaps();
      } catch (...) {
      }
      dest->Access = destAccess;
    }
  }
}

void TLKBitmap::RenderToTBitmap(TBitmap* dest, void**& rowTable, Integer*& colTable, Integer*& rowIndexTable,
                                const TRect* updateRect, Integer destX, Integer destY, Integer destWidth,
                                Integer destHeight, Integer sourceX, Integer sourceY, Integer sourceWidth,
                                Integer sourceHeight, bool enableAlpha, bool solidBackground, Integer transparency,
                                TResampleFilter filter, bool freeTables, TLKRenderOperation op) {
  if (dest == nullptr) return;
  TLKBitmap wrapper;
  wrapper.EncapsulateTBitmap(dest, true);
  RenderToTLKBitmap(&wrapper, rowTable, colTable, rowIndexTable, updateRect, destX, destY, destWidth, destHeight,
                    sourceX, sourceY, sourceWidth, sourceHeight, enableAlpha, solidBackground, transparency, filter,
                    freeTables, op);
}

void TLKBitmap::RenderToTLKBitmapEx(TLKBitmap* dest, Integer destX, Integer destY, Integer destWidth,
                                    Integer destHeight, Integer sourceX, Integer sourceY, Integer sourceWidth,
                                    Integer sourceHeight, Integer transparency, TResampleFilter filter,
                                    TLKRenderOperation op) {
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  RenderToTLKBitmap(dest, rows, cols, rowIdx, nullptr, destX, destY, destWidth, destHeight, sourceX, sourceY,
                    sourceWidth, sourceHeight, true, false, transparency, filter, true, op);
}

void TLKBitmap::RenderToTBitmapEx(TBitmap* dest, Integer destX, Integer destY, Integer destWidth,
                                  Integer destHeight, Integer sourceX, Integer sourceY, Integer sourceWidth,
                                  Integer sourceHeight, Integer transparency, TResampleFilter filter,
                                  TLKRenderOperation op) {
  void** rows = nullptr;
  Integer* cols = nullptr;
  Integer* rowIdx = nullptr;
  RenderToTBitmap(dest, rows, cols, rowIdx, nullptr, destX, destY, destWidth, destHeight, sourceX, sourceY,
                  sourceWidth, sourceHeight, true, false, transparency, filter, true, op);
}

// ---------------------------------------------------------------------------
// Per-format slots

namespace {

// Readers are lambdas (not functions) so that each Walk instance inlines its
// reader instead of calling through a pointer per pixel.
constexpr auto Read24 = [](const Byte* row, Integer c) {
  const Byte* p = row + static_cast<std::ptrdiff_t>(c) * 3;
  return TRGB{p[0], p[1], p[2]};
};

constexpr auto Read48High = [](const Byte* row, Integer c) {
  TRGB48 p;
  std::memcpy(&p, row + static_cast<std::ptrdiff_t>(c) * 6, sizeof p);
  return TRGB{static_cast<Byte>(p.b >> 8), static_cast<Byte>(p.g >> 8), static_cast<Byte>(p.r >> 8)};
};

// Plain scaled 24-bit drawing, the common paint: the column table is turned
// into byte offsets once, and each pixel is a 3-byte copy.
void Copy24Scaled(TLKBitmap* src, const RenderArgs& a) {
  if (a.x1 > a.x2 || a.y1 > a.y2 || a.cols == nullptr || a.rowIdx == nullptr || a.rows == nullptr) return;
  const Integer n = a.x2 - a.x1 + 1;
  std::vector<std::ptrdiff_t> offsets(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) offsets[static_cast<size_t>(i)] = static_cast<std::ptrdiff_t>(a.cols[i]) * 3;
  const auto rowLen = static_cast<size_t>(a.dest->GetRowLen());
  Integer previous = -1;
  for (Integer y = a.y1; y <= a.y2; ++y) {
    const Integer sr = a.rowIdx[y - a.y1];
    auto* drow = static_cast<Byte*>(a.rows[y]);
    if (a.solid && sr == previous) {
      std::memcpy(drow, a.rows[y - 1], rowLen);
      continue;
    }
    previous = sr;
    const auto* srow = static_cast<const Byte*>(src->GetScanLine(sr));
    Byte* d = drow + static_cast<std::ptrdiff_t>(a.x1) * 3;
    for (Integer i = 0; i < n; ++i, d += 3) {
      const Byte* p = srow + offsets[static_cast<size_t>(i)];
      d[0] = p[0];
      d[1] = p[1];
      d[2] = p[2];
    }
  }
}

}  // namespace

// The 24-bit and 48-bit slots honour offsets, contrast and the operation.
static void Draw24(TLKBitmap* self, const RenderArgs& a, bool alphaSlot, TLKRenderOperation op,
                   const Integer offsets[3], bool offsetsOn, Integer contrast) {
  const bool adjust = offsetsOn || contrast != 0;
  const bool blend = adjust || op != lklNormal;
  if (!adjust) {
    if (!alphaSlot && !blend)
      Copy24Scaled(self, a);
    else
      Draw(self, a, alphaSlot, blend, op, true, Read24);
    return;
  }
  const Integer k = LKTrunc(ContrastFactor(contrast) * 65536.0);
  const auto tr = AdjustTable24(offsets[0], k), tg = AdjustTable24(offsets[1], k), tb = AdjustTable24(offsets[2], k);
  Draw(self, a, alphaSlot, blend, op, true, [&](const Byte* row, Integer c) {
    const Byte* p = row + static_cast<std::ptrdiff_t>(c) * 3;
    return TRGB{tb[p[0]], tg[p[1]], tr[p[2]]};
  });
}

static void Draw48(TLKBitmap* self, const RenderArgs& a, bool alphaSlot, TLKRenderOperation op,
                   const Integer offsets[3], bool offsetsOn, Integer contrast) {
  const bool adjust = offsetsOn || contrast != 0;
  const bool blend = adjust || op != lklNormal;
  if (!adjust) {
    Draw(self, a, alphaSlot, blend, op, false, Read48High);
    return;
  }
  const double k = ContrastFactor(contrast);
  const Integer o0 = offsets[0], o1 = offsets[1], o2 = offsets[2];
  Draw(self, a, alphaSlot, blend, op, false, [=](const Byte* row, Integer c) {
    TRGB48 p;
    std::memcpy(&p, row + static_cast<std::ptrdiff_t>(c) * 6, sizeof p);
    return TRGB{Adjust48(p.b, o2, k), Adjust48(p.g, o1, k), Adjust48(p.r, o0, k)};
  });
}

// Formats written as their colour whatever the operation.
static void DrawFormat(TLKBitmap* self, TLKPixelFormat format, const RenderArgs& a, bool alphaSlot, const TRGB* palette,
                       Integer paletteLen, double black, double white) {
  switch (format) {
    case lk1g:
      Draw(self, a, alphaSlot, false, lklNormal, true, [](const Byte* row, Integer c) {
        return (row[c >> 3] & lkbitmask1[c & 7]) ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
      });
      break;
    case lk8p: {
      if (palette == nullptr) return;
      std::array<TRGB, 256> lut{};
      for (Integer i = 0; i < imin(paletteLen, 256); ++i) lut[static_cast<size_t>(i)] = palette[i];
      Draw(self, a, alphaSlot, false, lklNormal, false, [&](const Byte* row, Integer c) { return lut[row[c]]; });
      break;
    }
    case lk8g: {
      std::array<TRGB, 256> lut{};
      for (Integer g = 0; g < 256; ++g)
        lut[static_cast<size_t>(g)] = Grey(white - black != 0 ? WindowGrey(g, black, white) : g);
      Draw(self, a, alphaSlot, false, lklNormal, false, [&](const Byte* row, Integer c) { return lut[row[c]]; });
      break;
    }
    case lk16g:
      Draw(self, a, alphaSlot, false, lklNormal, false, [=](const Byte* row, Integer c) {
        Word v;
        std::memcpy(&v, row + static_cast<std::ptrdiff_t>(c) * 2, sizeof v);
        return Grey(white - black != 0 ? WindowGrey(v, black, white) : v >> 8);
      });
      break;
    case lk32f:
      Draw(self, a, alphaSlot, false, lklNormal, false, [=](const Byte* row, Integer c) {
        float fv;
        std::memcpy(&fv, row + static_cast<std::ptrdiff_t>(c) * 4, sizeof fv);
        double f = fv;
        if (white - black != 0) {
          if (f <= black)
            f = black;
          else if (f >= white)
            f = white;
          return Grey(blimit(LKTrunc((f - black) / (white - black) * 255.0)));
        }
        // Values are expected in 0..1; others wrap to their low byte.
        return Grey(static_cast<Integer>(static_cast<UInt64>(LKTrunc64(f * 255.0)) & 255u));
      });
      break;
    case lkCMYK:
      Draw(self, a, alphaSlot, false, lklNormal, false, [](const Byte* row, Integer c) {
        TCMYK p;
        std::memcpy(&p, row + static_cast<std::ptrdiff_t>(c) * 4, sizeof p);
        return LKCMYK2RGB(p);
      });
      break;
    case lkCIELab:
      Draw(self, a, alphaSlot, false, lklNormal, false, [](const Byte* row, Integer c) {
        TCIELab p;
        std::memcpy(&p, row + static_cast<std::ptrdiff_t>(c) * 3, sizeof p);
        return LKCIELAB2RGB(p);
      });
      break;
    default: break;
  }
}

void TLKBitmap::Render_lk24RGB(void** rowTable, TLKBitmap* dest, const Integer* colTable,
                               const Integer* rowIndexTable, Integer sourceX, Integer sourceY, Integer destX,
                               Integer destY, Integer x1, Integer y1, Integer x2, Integer y2, Integer xStep,
                               Integer yStep, bool solidBackground, TLKRenderOperation op) {
  if (x1 > x2 || y1 > y2 || rowTable == nullptr) return;
  const bool adjusted = ChannelOffsetEnabled || Contrast != 0 || op != lklNormal;
  if (!adjusted && xStep == 16384 && yStep == 16384) {
    // Direct copy of row spans, cut to the source.
    const Int64 col = static_cast<Int64>(x1) - destX + sourceX;
    const Int64 n = std::min<Int64>(x2 - x1 + 1, Width - col);
    if (col < 0 || n <= 0) return;
    for (Integer y = y1; y <= y2; ++y) {
      const Int64 sr = static_cast<Int64>(y) - destY + sourceY;
      if (sr < 0) continue;
      if (sr >= Height) break;
      std::memcpy(static_cast<Byte*>(rowTable[y]) + static_cast<std::ptrdiff_t>(x1) * 3,
                  static_cast<const Byte*>(GetScanLine(static_cast<Integer>(sr))) + col * 3,
                  static_cast<size_t>(n) * 3);
    }
    return;
  }
  const RenderArgs a{rowTable, dest, colTable, rowIndexTable, x1, y1, x2, y2, solidBackground, 255, nullptr, nullptr};
  Draw24(this, a, false, op, ChannelOffset, ChannelOffsetEnabled, Contrast);
}

void TLKBitmap::Render_lk24RGB_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,
                                     const Byte* constAlpha, const Integer* colTable, const Integer* rowIndexTable,
                                     Integer, Integer, Integer, Integer, Integer x1, Integer y1, Integer x2,
                                     Integer y2, Integer, Integer, bool solidBackground, TLKRenderOperation op) {
  const RenderArgs a{rowTable, dest,        colTable,    rowIndexTable,
                     x1,       y1,          x2,          y2,
                     solidBackground,       transparency, alpha ? AlphaChannel : nullptr, constAlpha};
  Draw24(this, a, true, op, ChannelOffset, ChannelOffsetEnabled, Contrast);
}

void TLKBitmap::Render_lk48RGB(void** rowTable, TLKBitmap* dest, const Integer* colTable,
                               const Integer* rowIndexTable, Integer, Integer, Integer, Integer, Integer x1,
                               Integer y1, Integer x2, Integer y2, Integer, Integer, bool solidBackground,
                               TLKRenderOperation op) {
  const RenderArgs a{rowTable, dest, colTable, rowIndexTable, x1, y1, x2, y2, solidBackground, 255, nullptr, nullptr};
  Draw48(this, a, false, op, ChannelOffset, ChannelOffsetEnabled, Contrast);
}

void TLKBitmap::Render_lk48RGB_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,
                                     const Byte* constAlpha, const Integer* colTable, const Integer* rowIndexTable,
                                     Integer, Integer, Integer, Integer, Integer x1, Integer y1, Integer x2,
                                     Integer y2, Integer, Integer, bool solidBackground, TLKRenderOperation op) {
  const RenderArgs a{rowTable, dest,        colTable,    rowIndexTable,
                     x1,       y1,          x2,          y2,
                     solidBackground,       transparency, alpha ? AlphaChannel : nullptr, constAlpha};
  Draw48(this, a, true, op, ChannelOffset, ChannelOffsetEnabled, Contrast);
}

#define LK_DEFINE_SLOTS(NAME)                                                                                  \
  void TLKBitmap::Render_##NAME(void** rowTable, TLKBitmap* dest, const Integer* colTable,                    \
                                const Integer* rowIndexTable, Integer, Integer, Integer, Integer, Integer x1,  \
                                Integer y1, Integer x2, Integer y2, Integer, Integer, bool solidBackground) { \
    const RenderArgs a{rowTable, dest, colTable, rowIndexTable, x1, y1, x2, y2, solidBackground, 255,        \
                       nullptr,  nullptr};                                                                     \
    DrawFormat(this, NAME, a, false, Palette, PaletteLen, BlackValue, WhiteValue);                            \
  }                                                                                                            \
  void TLKBitmap::Render_##NAME##_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,  \
                                        const Byte* constAlpha, const Integer* colTable,                      \
                                        const Integer* rowIndexTable, Integer, Integer, Integer, Integer,     \
                                        Integer x1, Integer y1, Integer x2, Integer y2, Integer, Integer,     \
                                        bool solidBackground) {                                               \
    const RenderArgs a{rowTable, dest,        colTable,    rowIndexTable,                                     \
                       x1,       y1,          x2,          y2,                                                \
                       solidBackground,       transparency, alpha ? AlphaChannel : nullptr, constAlpha};      \
    DrawFormat(this, NAME, a, true, Palette, PaletteLen, BlackValue, WhiteValue);                             \
  }
LK_DEFINE_SLOTS(lk1g)
LK_DEFINE_SLOTS(lk8g)
LK_DEFINE_SLOTS(lk8p)
LK_DEFINE_SLOTS(lk16g)
LK_DEFINE_SLOTS(lk32f)
LK_DEFINE_SLOTS(lkCMYK)
LK_DEFINE_SLOTS(lkCIELab)
#undef LK_DEFINE_SLOTS
