#include "core/lkdibbitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/lkbitmap_internal.h"
#include "core/lkfilebuffer.h"
#include "processing/lkprocutils.h"

namespace {

// Largest pixel block a raster asks for.
constexpr Int64 kMaxRasterBytes = Int64{1} << 40;

// An uncompressed device-independent pixel block (header, optional colour
// table right after it, rows bottom-up for a positive height) seen as a
// pixel surface the canvas can copy from.
class DibSurface : public TPixelSurface {
 public:
  DibSurface(const TBitmapInfoHeader* header, const void* bits) {
    if (!header || !bits || header->biSize < sizeof(TBitmapInfoHeader) || header->biCompression != 0) return;
    const Integer bpp = header->biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return;
    if (header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT32_MIN) return;
    width_ = header->biWidth;
    height_ = std::abs(header->biHeight);
    bottomUp_ = header->biHeight > 0;
    bpp_ = bpp == 16 ? 15 : bpp;  // uncompressed 16-bit blocks are 5-5-5
    stride_ = LKBitmapRowLen(width_, bpp, 32);
    bits_ = static_cast<Byte*>(const_cast<void*>(bits));
    if (bpp <= 8) {
      const DWORD maxEntries = DWORD{1} << bpp;
      const DWORD n = header->biClrUsed == 0 ? maxEntries : std::min(header->biClrUsed, maxEntries);
      const auto* table = reinterpret_cast<const TRGBQuad*>(reinterpret_cast<const Byte*>(header) + header->biSize);
      palette_ = std::span<const TRGBQuad>(table, n);
    }
    valid_ = true;
  }
  bool Valid() const { return valid_; }
  Integer SurfaceWidth() const override { return width_; }
  Integer SurfaceHeight() const override { return height_; }
  Integer SurfaceBitsPerPixel() const override { return bpp_; }
  Byte* SurfaceRow(Integer y) override {
    const Integer stored = bottomUp_ ? height_ - y - 1 : y;
    return bits_ + static_cast<std::ptrdiff_t>(stride_) * stored;
  }
  std::span<const TRGBQuad> SurfacePalette() const override { return palette_; }

 private:
  bool valid_ = false;
  bool bottomUp_ = true;
  Integer width_ = 0, height_ = 0, bpp_ = 0, stride_ = 0;
  Byte* bits_ = nullptr;
  std::span<const TRGBQuad> palette_;
};

// Copies the top-origin source rectangle of a pixel block onto the canvas
// with plain copy; false when the block or the arguments cannot be drawn.
bool StretchBlock(TCanvas* dc, Integer dx, Integer dy, Integer dw, Integer dh, const TBitmapInfoHeader* header,
                  const void* bits, Integer sx, Integer sy, Integer sw, Integer sh) {
  if (!dc) return false;
  DibSurface surface(header, bits);
  if (!surface.Valid()) return false;
  const TCopyMode saved = dc->GetCopyMode();
  dc->SetCopyMode(cmSrcCopy);
  try {
    dc->CopyFromSurface(Rect(dx, dy, dx + dw, dy + dh), &surface, Rect(sx, sy, sx + sw, sy + sh));
  } catch (...) {
    dc->SetCopyMode(saved);
    throw;
  }
  dc->SetCopyMode(saved);
  return true;
}

// Session object behind an HDRAWDIB; drawing keeps no state between calls.
struct DrawDibSession {};

}  // namespace

// ---------------------------------------------------------------------------
// TLKDibbitmap

TLKDibbitmap::TLKDibbitmap() = default;

TLKDibbitmap::~TLKDibbitmap() { FreeBits(); }

void TLKDibbitmap::AllocateBits(Integer width, Integer height, Integer bitCount) {
  if (width <= 0 || height <= 0 || (bitCount != 1 && bitCount != 24)) return;
  FreeBits();
  const Integer rowLen = LKBitmapRowLen(width, bitCount, 32);
  const Int64 size = static_cast<Int64>(rowLen) * height;
  if (size > kMaxRasterBytes) throw EOutOfMemory("Out of memory");
  try {
    DIBSection.reset(new Byte[static_cast<size_t>(size)]());
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
  Width = width;
  Height = height;
  BitCount = bitCount;
  RowLen = rowLen;
  Bits = DIBSection.get();
  BitmapInfo.bmiHeader.biBitCount = static_cast<Word>(bitCount);
  BitmapInfo.bmiHeader.biWidth = width;
  BitmapInfo.bmiHeader.biHeight = height;
  BitmapInfo.bmiHeader.biSizeImage = static_cast<DWORD>(std::min<Int64>(size, 0xFFFFFFFFLL));
  DC = std::make_unique<TCanvas>(this);
}

void TLKDibbitmap::FreeBits() {
  DC.reset();
  DIBSection.reset();
  Bits = nullptr;
  Width = Height = BitCount = RowLen = 0;
}

void* TLKDibbitmap::GetScanLine(Integer row) { return Bits + static_cast<std::ptrdiff_t>(RowLen) * (Height - row - 1); }

Byte* TLKDibbitmap::SurfaceRow(Integer y) { return static_cast<Byte*>(GetScanLine(y)); }

std::span<const TRGBQuad> TLKDibbitmap::SurfacePalette() const {
  if (BitCount == 1) return std::span<const TRGBQuad>(BitmapInfo.bmiColors, 2);
  return {};
}

TLKPixelFormat TLKDibbitmap::GetPixelFormat() {
  if (BitCount == 1) return lk1g;
  if (BitCount == 24) return lk24RGB;
  return lknull;
}

void TLKDibbitmap::Allocate(Integer width, Integer height, TLKPixelFormat format) {
  if (format == lk1g) AllocateBits(width, height, 1);
  else if (format == lk24RGB) AllocateBits(width, height, 24);
}

void TLKDibbitmap::Assign(TObject* source) {
  auto* src = dynamic_cast<TLKDibbitmap*>(source);
  if (!src || src == this) return;
  AllocateBits(src->Width, src->Height, src->BitCount);
  if (Bits && src->Bits && RowLen == src->RowLen && Height == src->Height)
    std::memcpy(Bits, src->Bits, static_cast<size_t>(RowLen) * static_cast<size_t>(Height));
}

void TLKDibbitmap::CopyToTBitmap(TBitmap* bitmap) {
  if (!bitmap) return;
  bitmap->SetSize(1, 1);
  if (BitCount == 1) {
    bitmap->SetPixelFormat(pf1bit);
    bitmap->SetColorTable(0, 2, BitmapInfo.bmiColors);
  } else if (BitCount == 24) {
    bitmap->SetPixelFormat(pf24bit);
  }
  bitmap->SetSize(Width, Height);
  const Integer len = std::min(RowLen, bitmap->RowBytes());
  for (Integer y = 0; y < Height && len > 0; ++y)
    std::memcpy(bitmap->ScanLine(y), GetScanLine(y), static_cast<size_t>(len));
  bitmap->Modify();
}

// ---------------------------------------------------------------------------
// TLKWorkBitmap

TLKWorkBitmap::TLKWorkBitmap(Integer width, Integer height, Integer bitsPerPixel) {
  if (width > 0 && height > 0) AllocateBits(width, height, bitsPerPixel);
}

TLKWorkBitmap::~TLKWorkBitmap() { FreeBits(); }

void TLKWorkBitmap::AllocateBits(Integer width, Integer height, Integer bitsPerPixel) {
  if (Data && width == Width && height == Height && bitsPerPixel == BitsPerPixel) return;
  FreeBits();
  if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return;
  const Integer rowLen = LKBitmapRowLen(width, bitsPerPixel, 32);
  const Int64 size = static_cast<Int64>(rowLen) * height;
  if (size > kMaxRasterBytes) throw EOutOfMemory("Out of memory");
  Data = static_cast<Byte*>(LKAutoAlloc(static_cast<size_t>(size)));
  Width = width;
  Height = height;
  BitsPerPixel = bitsPerPixel;
  RowLen = rowLen;
}

void TLKWorkBitmap::FreeBits() {
  if (Data) {
    void* p = Data;
    LKAutoFree(p);
  }
  Data = nullptr;
  Width = Height = BitsPerPixel = RowLen = 0;
}

void TLKWorkBitmap::SetBit(Integer y, Integer x, bool value) { _SetPixelbw(GetScanline(y), x, value ? 1 : 0); }

// ---------------------------------------------------------------------------
// Drawing pixel blocks

HDRAWDIB LKDrawDibOpen() { return new DrawDibSession(); }

bool LKDrawDibClose(HDRAWDIB handle) {
  if (!handle) return false;
  delete static_cast<DrawDibSession*>(handle);
  return true;
}

Integer LKDrawDibRealize(HDRAWDIB, TCanvas*, bool) { return 0; }

bool LKDrawDibDraw(HDRAWDIB handle, TCanvas* dc, Integer destX, Integer destY, Integer destWidth,
                   Integer destHeight, const TBitmapInfoHeader* header, const void* bits, Integer sourceX,
                   Integer sourceY, Integer sourceWidth, Integer sourceHeight, DWORD /*flags*/) {
  if (!handle || !header) return false;
  if (sourceWidth == -1) sourceWidth = header->biWidth;
  if (sourceHeight == -1) sourceHeight = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  if (destWidth == -1) destWidth = sourceWidth;
  if (destHeight == -1) destHeight = sourceHeight;
  return StretchBlock(dc, destX, destY, destWidth, destHeight, header, bits, sourceX, sourceY, sourceWidth,
                      sourceHeight);
}

bool DrawDibDrawEmu(HDRAWDIB handle, TCanvas* dc, Integer destX, Integer destY, Integer destWidth,
                    Integer destHeight, const TBitmapInfoHeader* header, const void* bits, Integer sourceX,
                    Integer sourceY, Integer sourceWidth, Integer sourceHeight, DWORD flags) {
  if (!header) return false;
  bool opened = false;
  if (header->biBitCount == 24 && !handle) {
    handle = LKDrawDibOpen();
    opened = true;
  }
  bool result;
  if (handle) {
    result = LKDrawDibDraw(handle, dc, destX, destY, destWidth, destHeight, header, bits, sourceX, sourceY,
                           sourceWidth, sourceHeight, flags);
  } else {
    // The blit counts source rows from the bottom: pass the same rectangle.
    const Integer h = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    result = DrawDib(dc, destX, destY, destWidth, destHeight, header, bits, sourceX, h - sourceY - sourceHeight,
                     sourceWidth, sourceHeight) != 0;
  }
  if (opened) LKDrawDibClose(handle);
  return result;
}

Integer DrawDib(TCanvas* dc, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                const TBitmapInfoHeader* header, const void* bits, Integer sourceX, Integer sourceY,
                Integer sourceWidth, Integer sourceHeight) {
  if (!header) return 0;
  const Int64 h = header->biHeight < 0 ? -static_cast<Int64>(header->biHeight) : header->biHeight;
  const Int64 top = h - sourceY - sourceHeight;
  if (top < INT32_MIN || top > INT32_MAX) return 0;
  if (!StretchBlock(dc, destX, destY, destWidth, destHeight, header, bits, sourceX, static_cast<Integer>(top),
                    sourceWidth, sourceHeight))
    return 0;
  return sourceHeight < 0 ? -sourceHeight : sourceHeight;
}

void LKBitmapMapXCopy(void* buffer, Integer bufferRowStride, Integer bufferBitsPerPixel, TBitmap* bitmap,
                      Integer bufferX, Integer bufferY, Integer bitmapX, Integer bitmapY, Integer width,
                      Integer rowCount, Integer direction) {
  if (!buffer || !bitmap || rowCount <= 0 || width <= 0 || bufferRowStride <= 0) return;
  if (direction != 0 && direction != 1) return;
  const TPixelFormat pf = bitmap->GetPixelFormat();
  Integer bitmapBits;
  if (pf == pf1bit) bitmapBits = 1;
  else if (pf == pf8bit) bitmapBits = 8;
  else if (pf == pf24bit) bitmapBits = 24;
  else return;
  const bool greyExpand = pf == pf1bit && direction == 1 && bufferBitsPerPixel == 24;
  const Integer bufferBits = greyExpand ? 24 : bitmapBits;

  // Keep the run inside the bitmap's columns and the block's row stride.
  Int64 bx = bufferX, tx = bitmapX, w = width;
  lkinternal::ClipNegativeOrigin(tx, bx, w);
  lkinternal::ClipNegativeOrigin(bx, tx, w);
  w = std::min<Int64>(w, static_cast<Int64>(bitmap->GetWidth()) - tx);
  w = std::min<Int64>(w, static_cast<Int64>(bufferRowStride) * 8 / bufferBits - bx);
  if (w <= 0) return;
  const Integer bmpRowLen = _PixelFormat2RowLen(bitmap->GetWidth(), pf);
  const Integer bitmapHeight = bitmap->GetHeight();
  auto* base = static_cast<Byte*>(buffer);
  for (Integer i = 0; i < rowCount; ++i) {
    const Int64 bmpRow = static_cast<Int64>(bitmapY) + rowCount - 1 - i;
    const Int64 bufRow = static_cast<Int64>(bufferY) + i;
    if (bmpRow < 0 || bmpRow >= bitmapHeight || bufRow < 0) continue;
    Byte* brow = base + bufRow * bufferRowStride;
    Byte* trow = bitmap->ScanLine(static_cast<Integer>(bmpRow));
    if (direction == 0) {
      if (pf == pf1bit)
        _CopyBits(trow, brow, static_cast<Integer>(tx), static_cast<Integer>(bx), static_cast<Integer>(w),
                  bufferRowStride);
      else
        std::memcpy(trow + tx * (bitmapBits / 8), brow + bx * (bitmapBits / 8), static_cast<size_t>(w * (bitmapBits / 8)));
    } else {
      if (greyExpand) {
        for (Int64 k = 0; k < w; ++k) {
          const Byte v = _GetPixelbw(trow, static_cast<Integer>(tx + k)) != 0 ? 255 : 0;
          std::memset(brow + (bx + k) * 3, v, 3);
        }
      } else if (pf == pf1bit) {
        _CopyBits(brow, trow, static_cast<Integer>(bx), static_cast<Integer>(tx), static_cast<Integer>(w), bmpRowLen);
      } else {
        std::memcpy(brow + bx * (bitmapBits / 8), trow + tx * (bitmapBits / 8), static_cast<size_t>(w * (bitmapBits / 8)));
      }
    }
  }
  if (direction == 0) bitmap->Modify();
}
