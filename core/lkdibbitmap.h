// Small rasters beside the main image buffer: a 1- or 24-bit device-
// independent raster with its own drawing canvas, a plain scratch raster with
// typed pixel addresses, stretched drawing of device-independent pixel
// blocks, and the row copy between a bottom-up pixel block and a TBitmap.
#pragma once

#include <memory>
#include <span>

#include "core/hylkdefs.h"
#include "platform/graphics.h"

#pragma pack(push, 1)
/// Header of a device-independent pixel block (40 bytes). A positive height
/// means rows stored bottom-up. Colour-table entries follow the header for
/// 1, 4 and 8 bits per pixel (biClrUsed of them, all for 0).
struct TBitmapInfoHeader {
  DWORD biSize = 40;
  Integer biWidth = 0;
  Integer biHeight = 0;
  Word biPlanes = 1;
  Word biBitCount = 0;
  DWORD biCompression = 0;  ///< 0: uncompressed RGB, the only one drawn
  DWORD biSizeImage = 0;
  Integer biXPelsPerMeter = 0;
  Integer biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
/// Header with a two-entry colour table: entry 0 black, entry 1 white.
struct TLKBitmapInfo {
  TBitmapInfoHeader bmiHeader;
  TRGBQuad bmiColors[2] = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
};
#pragma pack(pop)
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(sizeof(TLKBitmapInfo) == 48);

/// A 1-bit (black 0, white 1) or 24-bit raster with rows stored bottom-up
/// and 32-bit aligned, and a canvas drawing straight into its pixels (the
/// raster is its own pixel surface). Empty until AllocateBits.
class TLKDibbitmap : public TLKBaseBitmap, public TPixelSurface {
 public:
  TLKDibbitmap();
  ~TLKDibbitmap() override;

  /// Nothing when width or height is not positive or the bit count is not 1
  /// or 24; otherwise frees the old raster and makes a zero-filled one with
  /// its canvas. Raises EOutOfMemory when the pixels cannot be had.
  void AllocateBits(Integer width, Integer height, Integer bitCount);
  /// Frees the canvas and the pixels; size and bit count become 0.
  void FreeBits();
  /// Makes `bitmap` a pf1bit or pf24bit copy of the raster.
  void CopyToTBitmap(TBitmap* bitmap);

  /// Canvas drawing into the pixels; nil while empty.
  TCanvas* GetDC() const { return DC.get(); }
  /// The header (and the black and white table) describing the pixels.
  const TLKBitmapInfo& GetBitmapInfo() const { return BitmapInfo; }
  /// First byte of the pixels (the bottom row); nil while empty.
  Byte* GetBits() const { return Bits; }

  // TLKBaseBitmap
  /// Row y (0 = top): bits + (height - y - 1) x row length. No bounds check.
  void* GetScanLine(Integer row) override;
  Integer GetBitCount() override { return BitCount; }
  Integer GetHeight() override { return Height; }
  Integer GetWidth() override { return Width; }
  /// lk1g for 1 bit, lk24RGB for 24 bits, lknull when empty.
  TLKPixelFormat GetPixelFormat() override;
  Integer GetRowLen() override { return RowLen; }
  /// Always black: the raster has no palette of its own.
  TRGB GetPalette(Integer) override { return TRGB{0, 0, 0}; }
  void SetPalette(Integer, TRGB) override {}
  Integer GetPaletteLen() override { return 0; }
  /// AllocateBits with 1 bit for lk1g, 24 for lk24RGB; nothing for others.
  void Allocate(Integer width, Integer height, TLKPixelFormat format) override;
  /// Copies another TLKDibbitmap (size, depth, pixels); other objects are
  /// ignored.
  void Assign(TObject* source) override;

  // TPixelSurface
  Integer SurfaceWidth() const override { return Width; }
  Integer SurfaceHeight() const override { return Height; }
  Integer SurfaceBitsPerPixel() const override { return BitCount; }
  Byte* SurfaceRow(Integer y) override;
  std::span<const TRGBQuad> SurfacePalette() const override;

 private:
  Integer Width = 0;
  Integer Height = 0;
  Integer BitCount = 0;
  Integer RowLen = 0;
  std::unique_ptr<TCanvas> DC;
  std::unique_ptr<Byte[]> DIBSection;
  TLKBitmapInfo BitmapInfo;
  Byte* Bits = nullptr;
};

/// Scratch raster of the resamplers and filters: rows bottom-up, 32-bit
/// aligned, contents undefined after allocation. Accessors take the row
/// first and check nothing.
class TLKWorkBitmap : public TObject {
 public:
  TLKWorkBitmap() = default;
  /// AllocateBits when width and height are positive.
  TLKWorkBitmap(Integer width, Integer height, Integer bitsPerPixel);
  ~TLKWorkBitmap() override;

  /// Keeps the buffer when width, height and bits equal the current ones;
  /// otherwise frees it and allocates row length x height bytes (nothing
  /// for a non-positive size). Raises EOutOfMemory as LKAutoAlloc does.
  void AllocateBits(Integer width, Integer height, Integer bitsPerPixel);
  /// Frees the buffer; every field becomes 0.
  void FreeBits();

  Integer GetWidth() const { return Width; }
  Integer GetHeight() const { return Height; }
  Integer GetBitsPerPixel() const { return BitsPerPixel; }
  Integer GetRowLen() const { return RowLen; }
  Byte* GetData() const { return Data; }

  /// Address of row y (0 = top).
  Byte* GetScanline(Integer y) const { return Data + static_cast<std::ptrdiff_t>(RowLen) * (Height - y - 1); }
  Byte* GetPByte(Integer y, Integer x) const { return GetScanline(y) + x; }
  TRGB* GetPRGB(Integer y, Integer x) const { return reinterpret_cast<TRGB*>(GetScanline(y) + 3 * static_cast<std::ptrdiff_t>(x)); }
  float* GetPSingle(Integer y, Integer x) const { return reinterpret_cast<float*>(GetScanline(y)) + x; }
  Integer* GetPInteger(Integer y, Integer x) const { return reinterpret_cast<Integer*>(GetScanline(y)) + x; }
  double* GetPDouble(Integer y, Integer x) const { return reinterpret_cast<double*>(GetScanline(y)) + x; }
  /// Sets (value true) or clears bit x of row y, most significant bit first.
  void SetBit(Integer y, Integer x, bool value);

 private:
  Integer Width = 0;
  Integer Height = 0;
  Integer BitsPerPixel = 0;
  Integer RowLen = 0;
  Byte* Data = nullptr;
};

// ---------------------------------------------------------------------------
// Drawing device-independent pixel blocks

/// Handle of a DIB drawing session (opened per view control).
using HDRAWDIB = void*;

/// Opens a drawing session; never nil.
HDRAWDIB LKDrawDibOpen();
/// Closes a session from LKDrawDibOpen; false for nil.
bool LKDrawDibClose(HDRAWDIB handle);
/// Palette realisation: there are no palette screens here, so no colour
/// changes; returns 0.
Integer LKDrawDibRealize(HDRAWDIB handle, TCanvas* dc, bool background);
/// Draws the source rectangle (origin at the top-left of the picture) of the
/// uncompressed 1-, 4-, 8-, 24- or 32-bit pixel block described by `header`
/// stretched into the destination rectangle of the canvas. A destination or
/// source width or height of -1 stands for the picture's own. False for a
/// nil handle, canvas, header or bits, or an unsupported block; the flags
/// are accepted and ignored.
bool LKDrawDibDraw(HDRAWDIB handle, TCanvas* dc, Integer destX, Integer destY, Integer destWidth,
                   Integer destHeight, const TBitmapInfoHeader* header, const void* bits, Integer sourceX,
                   Integer sourceY, Integer sourceWidth, Integer sourceHeight, DWORD flags);
/// LKDrawDibDraw for 24-bit blocks (through a session of its own when none is
/// given); other blocks without a handle go through the stretching blit of
/// DrawDib. Returns the result of the last drawing call.
bool DrawDibDrawEmu(HDRAWDIB handle, TCanvas* dc, Integer destX, Integer destY, Integer destWidth,
                    Integer destHeight, const TBitmapInfoHeader* header, const void* bits, Integer sourceX,
                    Integer sourceY, Integer sourceWidth, Integer sourceHeight, DWORD flags);
/// Stretching blit of a pixel block onto a canvas with plain copy. The
/// source rectangle's y is counted from the bottom row of the picture, as the
/// blit of bottom-up blocks does. Returns the number of rows drawn, 0 when
/// nothing could be drawn.
Integer DrawDib(TCanvas* dc, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                const TBitmapInfoHeader* header, const void* bits, Integer sourceX, Integer sourceY,
                Integer sourceWidth, Integer sourceHeight);

/// Copies a rectangle of rows between a bottom-up pixel block and a TBitmap:
/// buffer row (bufferY + i) pairs with bitmap row (bitmapY + rowCount - 1 - i).
/// direction 0: block to bitmap (the block has the bitmap's depth);
/// direction 1: bitmap to block (a 1-bit bitmap into a block of 24 bits per
/// pixel gives grey pixels 0 and 255). Handles pf1bit, pf8bit and pf24bit;
/// anything else copies nothing. Rows and columns outside the bitmap or past
/// the block's row stride are skipped.
void LKBitmapMapXCopy(void* buffer, Integer bufferRowStride, Integer bufferBitsPerPixel, TBitmap* bitmap,
                      Integer bufferX, Integer bufferY, Integer bitmapX, Integer bitmapY, Integer width,
                      Integer rowCount, Integer direction);
