// The image buffer of the whole system: size, pixel format, optional palette
// and alpha channel, and pixels kept in memory, in a temporary file or in a
// class-library TBitmap. Every pixel of the library is reached through the
// row addresses of GetScanLine and GetRow, so the storage is invisible to the
// code that works on the pixels.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkblend.h"
#include "core/lkfilebuffer.h"

class TBitmap;
class TLKDibbitmap;
class TLKMask;
class TCanvas;

/// Image buffer. Memory storage keeps rows bottom-up in one block aligned to
/// 32 bytes; file storage keeps them top-down in a temporary file and maps
/// one row at a time; TBitmap storage keeps them in a class-library bitmap
/// (1-, 8- and 24-bit formats only). Which storage a new image gets depends on
/// its byte size against MinFileSize. Not safe for use from two threads at
/// once (even reading changes the mapped row of file storage).
class TLKBitmap : public TLKBaseBitmap {
 public:
  /// An empty buffer: no pixels, lknull, file storage requested, threshold
  /// from LKDefMinFileSize.
  TLKBitmap();
  /// An empty buffer, then Allocate(width, height, format).
  TLKBitmap(Integer width, Integer height, TLKPixelFormat format);
  /// The alpha-channel form: an lk8g buffer marked as alpha channel, in the
  /// given storage (lkTBitmap becomes lkMemory), every sample 255 and Full.
  TLKBitmap(Integer width, Integer height, TLKLocation location);
  ~TLKBitmap() override;

  // --- Base operations -----------------------------------------------------

  /// Address of row y (0 = top). Memory: computed from the block. File: the
  /// previously mapped row is released first (written back when it was
  /// mapped with lkdWrite), so only the last row asked for stays valid.
  /// TBitmap: the bitmap's row. No bounds check: y must be in 0..Height-1.
  void* GetScanLine(Integer y) override;
  Integer GetBitCount() override;
  Integer GetHeight() override;
  Integer GetWidth() override;
  TLKPixelFormat GetPixelFormat() override;
  Integer GetRowLen() override;
  /// Palette entry `index` (0..PaletteLen-1); black for an index outside.
  TRGB GetPalette(Integer index) override;
  /// Sets palette entry `index`; ignored outside 0..255 or without palette.
  void SetPalette(Integer index, TRGB value) override;
  Integer GetPaletteLen() override;
  /// Gives the buffer pixels of that size and format. Nothing when the size
  /// and format are unchanged and no reallocation is pending; otherwise the
  /// old pixels (and alpha channel) are released first. Pixels are not
  /// cleared. Raises Exception for formats TBitmap storage cannot hold,
  /// EOutOfMemory when memory runs out.
  void Allocate(Integer width, Integer height, TLKPixelFormat format) override;
  /// Copies a TLKBitmap: size, format, pixels, palette, dither method and
  /// (unless this is an alpha channel) the alpha channel. A TBitmap goes to
  /// CopyFromTBitmap. Other objects are ignored.
  void Assign(TObject* source) override;

  /// Number of channels of the pixel format (the alpha channel not counted).
  Integer GetChannelCount();

  // --- Storage -------------------------------------------------------------

  /// Releases the pixels, palette, mapped rows, temporary file, memory block
  /// and TBitmap (those owned), and the alpha channel when asked. Format,
  /// location request and settings stay.
  void FreeImage(bool withAlpha = true);
  /// True when width, height, row length or bit count is 0.
  bool IsEmpty();

  /// Address of row y that stays valid until FreeRow or FreeAllMaps (file
  /// storage maps it alongside the GetScanLine row); elsewhere as GetScanLine.
  void* GetRow(Integer y);
  /// File storage: releases entry `index` of the rows held by GetRow (0 = the
  /// oldest still held; written back when mapped with lkdWrite). Elsewhere,
  /// or for an index past the list, nothing.
  void FreeRow(Integer index);
  /// Releases the GetScanLine row and every GetRow row, newest first; the
  /// temporary file then holds every row written.
  void FreeAllMaps();

  /// Moves everything this buffer holds into `dest` without copying pixels;
  /// dest's previous pixels and alpha channel are freed. This buffer is left
  /// empty, keeping its location request, alpha-channel mark, threshold and
  /// display settings.
  void SwitchTo(TLKBitmap* dest);
  /// Copies the picture only: as Assign, but this buffer's alpha channel is
  /// kept, alignment and dither method are not taken, and Full ends false.
  /// Nothing when the source is empty.
  void AssignImage(TLKBitmap* source);

  // --- Alpha channel -------------------------------------------------------

  /// The alpha channel, created fully opaque at this size on first request;
  /// nil on a buffer that is itself an alpha channel.
  TLKBitmap* GetAlphaChannel();
  /// True when an alpha channel exists (never creates one).
  bool GetHasAlphaChannel() const { return AlphaChannel != nullptr; }
  /// Frees the alpha channel, unless this buffer is itself an alpha channel.
  void RemoveAlphaChannel();
  /// True for a buffer that is itself an alpha channel.
  bool GetIsAlphaChannel() const { return IsAlphaChannel; }

  // --- Pixel-format conversion (lkbitmap_convert.cpp) -----------------------

  /// Converts the pixels to `format` (ConvertToPixelFormat); nothing when
  /// `format` is the current pixel format.
  void SetPixelFormat(TLKPixelFormat format);
  /// Converts this buffer to `format`, keeping size and alpha channel.
  /// Memory and file storage: the picture moves into a temporary buffer, new
  /// storage is allocated for the new byte size (the size rule decides
  /// afresh) and filled by CopyAndConvertFormat. When the allocation or a
  /// conversion runs out of memory the old picture is put back and the
  /// exception raised. TBitmap storage: 1-bit to lk24RGB expands the rows,
  /// lk24RGB to lk1g dithers or thresholds by DitherMethod, other formats the
  /// class-library bitmap can hold go through a temporary buffer; lk32f,
  /// lkCMYK, lk48RGB and lkCIELab raise Exception with the message of
  /// Allocate and leave the picture unchanged. An empty TBitmap only takes
  /// the new format.
  void ConvertToPixelFormat(TLKPixelFormat format);
  /// Fills this buffer, already allocated in the target format at the
  /// source's size, from `source`, row by row. Source formats lkCMYK and
  /// lkCIELab, and targets lkCMYK and lkCIELab, go through lk24RGB by
  /// converting `source` itself to lk24RGB first (as do lk48RGB to lk8p and
  /// lk48RGB to lk1g by threshold). lk1g targets follow DitherMethod; lk8p
  /// targets get a palette (black and white, the grey ramp, or quantised to
  /// QuantizeColorCount colours). A source of the same format is copied.
  /// Afterwards this buffer takes over the source's alpha channel, when the
  /// source has one (an alpha channel of its own is freed). Nothing at all
  /// for a nil source, this buffer itself, different sizes, or TBitmap
  /// storage here; no pixels for an lknull source or target.
  void CopyAndConvertFormat(TLKBitmap* source);

 private:
  // The conversion of TBitmap storage (see ConvertToPixelFormat).
  void ConvertVclImage(TLKPixelFormat format);

 public:
  // --- End of pixel-format conversion ---------------------------------------

  // --- TBitmap storage -----------------------------------------------------

  /// Picks up changes made to the wrapped TBitmap through the class library
  /// (size, pixel format, moved rows, colour table).
  void UpdateFromTBitmap();
  /// Rebuilds the table of row addresses of the wrapped TBitmap.
  void BuildBitmapScanlines();
  void FreeBitmapScanlines();
  /// Copies the palette into the colour table of the wrapped TBitmap (TBitmap
  /// storage with a palette only).
  void UpdateTBitmapPalette();

  // --- Settings and state ----------------------------------------------------

  TLKLocation GetLocation() const { return Location; }
  /// True when every sample is known to be at its maximum (white, or fully
  /// opaque for an alpha channel).
  bool GetFull() const { return Full; }
  void SetFull(bool value) { Full = value; }
  Integer GetMinFileSize() const { return MinFileSize; }
  void SetMinFileSize(Integer value) { MinFileSize = value; }
  TLKMemoryAllocator GetMemoryAllocator() const { return MemoryAllocator; }
  void SetMemoryAllocator(TLKMemoryAllocator value) { MemoryAllocator = value; }
  Integer GetBitAlignment() const { return BitAlignment; }
  TLKDitherMethod GetDitherMethod() const { return DitherMethod; }
  void SetDitherMethod(TLKDitherMethod value) { DitherMethod = value; }
  Integer GetQuantizeColorCount() const { return QuantizeColorCount; }
  /// Number of colours of conversions to lk8p, clamped to 1..256.
  void SetQuantizeColorCount(Integer value) { QuantizeColorCount = value < 1 ? 1 : value > 256 ? 256 : value; }
  double GetBlackValue() const { return BlackValue; }
  void SetBlackValue(double value) { BlackValue = value; }
  double GetWhiteValue() const { return WhiteValue; }
  void SetWhiteValue(double value) { WhiteValue = value; }
  /// Display offset of channel i (0 red, 1 green, 2 blue, 3 unused); 0
  /// outside 0..3.
  Integer GetChannelOffset(Integer i) const { return i >= 0 && i < 4 ? ChannelOffset[i] : 0; }
  /// Sets a display offset; ChannelOffsetEnabled follows whether any is set.
  void SetChannelOffset(Integer i, Integer value);
  bool GetChannelOffsetEnabled() const { return ChannelOffsetEnabled; }
  Integer GetContrast() const { return Contrast; }
  void SetContrast(Integer value) { Contrast = value; }
  /// True while the pixels live in a TBitmap that belongs to a caller.
  bool GetVclBitmapEncapsulated() const { return VclBitmapEncapsulated; }
  /// True while the pixels live in a memory block that belongs to a caller.
  bool GetMemoryEncapsulated() const { return MemoryEncapsulated; }
  /// The temporary file of file storage.
  TLKFileBuffer* GetFileBuffer() const { return FileBuffer; }
  /// First byte of the memory block of memory storage (the bottom row).
  void* GetMemory() const { return Memory; }
  /// Rows held by GetRow and not yet released (file storage).
  Integer GetMappedRowCount() const { return static_cast<Integer>(MappedRows.size()); }


  // --- Pixel access, fill and whole-image tests (lkbitmap_pixels.cpp) -------
  // Single-pixel reads and writes take (x, y) with y = 0 the top row and do
  // not check bounds. Writes that may leave a sample below its maximum clear
  // Full; no write sets it.

  /// lk1g: true when pixel (x, y) is set (white).
  bool GetPixels_lk1g(Integer x, Integer y);
  /// lk1g: sets or clears pixel (x, y); clearing clears Full.
  void SetPixels_lk1g(Integer x, Integer y, bool value);
  /// lk8p index or lk8g level of pixel (x, y).
  Byte GetPixels_lk8(Integer x, Integer y);
  /// Writes an lk8p index or lk8g level; a value other than 255 clears Full.
  void SetPixels_lk8(Integer x, Integer y, Byte value);
  /// lk16g sample.
  Word GetPixels_lk16g(Integer x, Integer y);
  /// Writes an lk16g sample; a value other than 65535 clears Full.
  void SetPixels_lk16g(Integer x, Integer y, Word value);
  /// lk32f sample.
  float GetPixels_lk32f(Integer x, Integer y);
  /// Writes an lk32f sample; a value below 1.0 (or NaN) clears Full.
  void SetPixels_lk32f(Integer x, Integer y, float value);
  /// lk24RGB pixel.
  TRGB GetPixels_lk24RGB(Integer x, Integer y);
  /// Writes an lk24RGB pixel; any channel other than 255 clears Full.
  void SetPixels_lk24RGB(Integer x, Integer y, TRGB value);
  /// lk48RGB pixel.
  TRGB48 GetPixels_lk48RGB(Integer x, Integer y);
  /// Writes an lk48RGB pixel; any channel other than 65535 clears Full.
  void SetPixels_lk48RGB(Integer x, Integer y, const TRGB48& value);
  /// lkCMYK pixel.
  TCMYK GetPixels_lkCMYK(Integer x, Integer y);
  /// Writes an lkCMYK pixel; Full is not changed.
  void SetPixels_lkCMYK(Integer x, Integer y, TCMYK value);
  /// lkCIELab pixel.
  TCIELab GetPixels_lkCIELab(Integer x, Integer y);
  /// Writes an lkCIELab pixel; Full is not changed.
  void SetPixels_lkCIELab(Integer x, Integer y, TCIELab value);
  /// Address of an lk24RGB pixel, valid as long as its row address is.
  TRGB* GetPPixels_lk24RGB(Integer x, Integer y);
  /// Address of an lk48RGB pixel, valid as long as its row address is.
  TRGB48* GetPPixels_lk48RGB(Integer x, Integer y);

  /// Pixel (x, y) as 24-bit colour, whatever the format: lk1g white or
  /// black, lk8p its palette entry, grey formats grey (lk16g its high byte,
  /// lk32f trunc(v * 255) mod 256), lk48RGB the high bytes, lkCMYK and
  /// lkCIELab converted; lknull black.
  TRGB GetPixels(Integer x, Integer y);

  /// Alpha of pixel (x, y): an alpha channel's own sample, otherwise the
  /// alpha channel's (created fully opaque when missing).
  Byte GetAlpha(Integer x, Integer y);
  /// Writes the alpha of pixel (x, y) the same way; a value below 255 also
  /// clears Full of this buffer.
  void SetAlpha(Integer x, Integer y, Byte value);

  /// Fills the whole image with one value read per format: lk1g set for
  /// non-zero, 8- and 16-bit formats the truncated level (low bits), lk32f the
  /// value itself, colour formats a TColor (system colours resolved). Full
  /// becomes true exactly when the samples written are at their maximum.
  void Fill(double value);
  /// Fills the inclusive rectangle (x1, y1)-(x2, y2), clamped to the image,
  /// with the value read as in Fill (lk32f takes the truncated value). Full
  /// is not changed.
  void FillRect(Integer x1, Integer y1, Integer x2, Integer y2, double value);

  /// Full := every byte of every row, row padding included, is 255.
  void SyncFull();
  /// True when every byte of every row is 0.
  bool IsAllBlack();
  /// lk8p: every palette entry grey; lk24RGB: every pixel grey; other
  /// formats true.
  bool IsGrayScale();
  /// lk8g, lk16g, lk32f: BlackValue := smallest sample, WhiteValue :=
  /// largest. Other formats keep both.
  void AutoCalcBWValues();
  // --- End of pixel access, fill and whole-image tests ----------------------

  // --- Exchange with TBitmap, DIBs and masks (lkbitmap_exchange.cpp) --------

  /// Wraps a caller's TBitmap without copying: TBitmap storage over it (never
  /// freed here). freeFirst: the image and alpha channel are released first;
  /// otherwise the old pixels are released and the alpha channel kept. The
  /// format follows the bitmap as UpdateFromTBitmap reads it. Nil: nothing
  /// more.
  void EncapsulateTBitmap(TBitmap* bitmap, bool freeFirst);
  /// Wraps a caller's block of RowLen x height bytes with rows bottom-up
  /// (memory storage, never freed here); the freeFirst rule as above. Nil or
  /// a non-positive size: nothing more.
  void EncapsulateMemory(void* address, Integer width, Integer height, TLKPixelFormat format, bool freeFirst);
  /// Makes `bitmap` a copy of the image: lk1g pf1bit black and white; lk8p
  /// pf8bit with the palette; lk8g, lk16g (high bytes) and lk32f
  /// (trunc(v x 255), low byte) pf8bit grey; lk24RGB pf24bit. Raises
  /// Exception "CMYK to TBitmap not supported", "RGB48 to TBitmap not
  /// supported" or "CIELab to TBitmap not supported", leaving it at 1 x 1.
  void CopyToTBitmap(TBitmap* bitmap);
  /// Becomes a copy of `bitmap`: pf1bit lk1g (monochrome) or lk8p, pf4bit
  /// and pf8bit lk8p with the colour table, pf15bit, pf16bit, pf24bit and
  /// pf32bit lk24RGB. In TBitmap storage the bitmap is copied whole. Full
  /// ends false; nil changes nothing.
  void CopyFromTBitmap(TBitmap* bitmap);
  /// Becomes a copy of a DIB raster (lk1g or lk24RGB); nil or an empty DIB
  /// changes nothing.
  void CopyFromTDibBitmap(TLKDibbitmap* dib);
  /// Copies the whole DIB into the image with its top-left corner at (x, y),
  /// clipped to the image; nothing unless the formats agree.
  void MergeFromTDibBitmap(TLKDibbitmap* dib, Integer x, Integer y);
  /// Copies the rectangle at (x, y) of the image into the DIB at (0, 0),
  /// clipped to both; nothing unless the formats agree.
  void CopyToTDibBitmap(TLKDibbitmap* dib, Integer x, Integer y, Integer width, Integer height);
  /// lk1g or lk8g: reallocates `mask` as 1- or 8-bit of this size, copies
  /// the rows and Full (the box stays empty: callers follow with
  /// TLKMask::SyncRect). Other formats do nothing.
  void CopyToTLKMask(TLKMask* mask);
  /// Becomes lk1g or lk8g copy of a 1- or 8-bit mask, Full included; a nil
  /// mask fills the image with 255.
  void CopyFromTLKMask(TLKMask* mask);
  /// Copies a width x height rectangle from (sourceX, sourceY) of this image
  /// to (destX, destY) of `dest`, clipped to both: lk1g to lk1g or lk24RGB
  /// (white and black), otherwise only between equal formats. The alpha
  /// channels are not copied.
  void CopyRectTo(TLKBitmap* dest, Integer sourceX, Integer sourceY, Integer destX, Integer destY, Integer width,
                  Integer height);
  /// Clipped as CopyRectTo: each alpha sample of dest's alpha channel
  /// becomes the larger of it and this image's. Missing alpha channels are
  /// created fully opaque.
  void MergeAlphaRectTo(TLKBitmap* dest, Integer sourceX, Integer sourceY, Integer destX, Integer destY,
                        Integer width, Integer height);
  /// Cuts the selection out: `dest` becomes the size of the mask's box in
  /// this format (and palette), filled with `colour`, with the selected
  /// pixels copied in and an alpha channel that is 0 outside the selection.
  /// Nothing for an empty mask.
  void CopyWithMask1(TLKBitmap* dest, TLKMask* mask, TColor colour);
  /// Pastes back what CopyWithMask1 cut out: the selected pixels of this
  /// box-sized image (and its alpha channel, when it has one) go to their
  /// places in `dest`. Nothing for an empty mask.
  void CopyWithMask2(TLKBitmap* dest, TLKMask* mask);
  // --- End of exchange with TBitmap, DIBs and masks ---------------------------

  // --- Geometry, storage changes (lkbitmap_geometry.cpp) and raw stream -----
  // --- form (lkrawstream.cpp) ------------------------------------------------

  /// New width, keeping the pixels that stay (the top-left part). Nothing
  /// when equal; a negative width counts as 0. An existing alpha channel is
  /// resized first. Memory and file storage: with a pixel format and a
  /// positive height the image is reallocated and the overlapping rows and
  /// the palette copied back (new columns keep what the allocation gave), Full
  /// cleared; otherwise only the width is recorded. TBitmap storage: the
  /// class-library bitmap is resized (new pixels white).
  void SetWidth(Integer w);
  /// New height; as SetWidth for rows (row 0, the top, stays in place).
  void SetHeight(Integer h);
  /// Changes the canvas size to newWidth x newHeight and places the old
  /// picture by the alignments: shrinking keeps the left, centre or right
  /// (top, centre or bottom) part; growing puts the old picture there and
  /// fills the new area with `background` (read per pixel format as FillRect
  /// reads it). An existing alpha channel gets the same treatment with
  /// `alpha` as its fill value. Negative sizes count as 0.
  void Resize(Integer newWidth, Integer newHeight, double background, double alpha, TLKHAlign hAlign,
              TLKVAlign vAlign);
  /// Moves the inclusive rectangle (x1, y1)-(x2, y2) so that its top-left
  /// corner lands on (destX, destY): the block is copied aside, the
  /// rectangle filled with `value` (as FillRect), and the block copied back,
  /// clipped to the picture. The alpha channel is not moved. Nothing when the
  /// rectangle is empty.
  void MoveRegion(Integer x1, Integer y1, Integer x2, Integer y2, Integer destX, Integer destY, double value);
  /// Moves the pixels into another storage kind. Nothing when `location` is
  /// the current one. The size rule still applies to memory and file
  /// storage. Palette and alpha channel stay; Full ends false. lk16g moved
  /// into TBitmap storage becomes lk8g (the high byte of each sample).
  /// Raises Exception for a format TBitmap storage cannot hold ("lkCMYK pixel
  /// format not allowed when Location=lkTBitmap" and its siblings); the
  /// picture then stays where it was, unchanged.
  void SetLocation(TLKLocation location);
  /// Moves the pixels into TBitmap storage for good and returns the
  /// class-library bitmap (nil for a buffer without pixels). Raises as
  /// SetLocation.
  TBitmap* GetVclBitmap();
  /// The canvas of the class-library bitmap, after moving memory or file
  /// storage into TBitmap storage for good; nil for a buffer without pixels.
  /// Raises as SetLocation.
  TCanvas* GetCanvas();
  /// Row alignment in bits: 8, 16 or 32 (other values are ignored). Memory
  /// and file storage are re-laid out at once, keeping pixels, palette and
  /// alpha channel; TBitmap storage (whose rows are 32-bit aligned anyway)
  /// only takes the new row length.
  void SetBitAlignment(Integer bits);

  /// Bytes of the raw stream form of this buffer: 76 + 3 * PaletteLen +
  /// RowLen * Height, plus alpha RowLen * alpha Height + 1 with an alpha
  /// channel.
  Int64 CalcRAWSize();
  /// Writes the raw stream form ("TLKBITMAPRAW", palette, size, format,
  /// display settings, rows top first, alpha channel): into `buffer` when it
  /// is not nil (the caller provides CalcRAWSize bytes; the stream is
  /// ignored), else through `stream`. Returns false when the stream took
  /// fewer bytes than given, or with neither buffer nor stream.
  bool SaveRAWToBufferOrStream(void* buffer, TStream* stream);
  /// Reads the raw stream form from `buffer` (at most `bufferSize` bytes)
  /// when it is not nil, else from `stream`, replacing size, format, pixels,
  /// palette, alpha channel and display settings; location, threshold,
  /// allocator and dither method stay. Returns false for a wrong magic, a
  /// negative version, a palette count outside 0..256, an unknown format, an
  /// alignment other than 8, 16 or 32, a negative or oversized width or
  /// height, or data shorter than the header announces. Faults found before
  /// allocating (the header's, and missing data when the source tells its
  /// size) leave the buffer untouched; data found missing while reading
  /// leaves it empty. Raises the allocation's exceptions (a format TBitmap
  /// storage cannot hold) and the stream's own.
  bool LoadRAWFromBufferOrStream(const void* buffer, TStream* stream, Int64 bufferSize = 0);

 private:
  // Reallocates memory or file storage at width x height with the current
  // alignment, copying the overlapping rows, the palette and the alpha
  // channel back; on a failed allocation the old picture is put back.
  void ReLayout(Integer width, Integer height);

 public:
  // --- End of geometry, storage changes and raw stream form -----------------

  // --- Rendering into 24-bit bitmaps (lkrender.cpp) --------------------------
  // Tables built by a render call and handed to the caller (free tables
  // false) are allocated with std::malloc; the caller frees them with
  // std::free and drops them whenever the destination, either rectangle or a
  // bitmap size changes.

  /// Draws the source rectangle (sourceX, sourceY, sourceWidth,
  /// sourceHeight) of this bitmap, scaled, into the rectangle (destX, destY,
  /// destWidth, destHeight) of the lk24RGB bitmap `dest`, clipped to dest and
  /// to this bitmap (nothing outside either is read or written).
  /// rowTable: dest's row addresses, one per dest row; colTable and
  /// rowIndexTable: the source column (row) drawn at each dest column (row)
  /// from the clipped dest origin. A nil reference is built here and, when
  /// freeTables is false, handed back through it. updateRect (inclusive
  /// Right and Bottom) limits the dest pixels drawn. enableAlpha uses the
  /// alpha channel; transparency (0..255, 255 or more opaque) is a constant
  /// opacity; solidBackground lets repeated source rows be copied from the
  /// dest row above. filter other than rfNone resamples lk1g and lk24RGB
  /// sources once at the dest size first. op combines each drawn colour
  /// with the dest (lk24RGB and lk48RGB sources). Nothing is drawn for empty
  /// or fully clipped rectangles, a non-24-bit dest or dest == this. Errors
  /// while drawing are dropped (dest keeps what was drawn); errors of the
  /// resampling pass to the caller. This bitmap is never changed.
  void RenderToTLKBitmap(TLKBitmap* dest, void**& rowTable, Integer*& colTable, Integer*& rowIndexTable,
                         const TRect* updateRect, Integer destX, Integer destY, Integer destWidth,
                         Integer destHeight, Integer sourceX, Integer sourceY, Integer sourceWidth,
                         Integer sourceHeight, bool enableAlpha, bool solidBackground, Integer transparency,
                         TResampleFilter filter, bool freeTables, TLKRenderOperation op);
  /// RenderToTLKBitmap into a pf24bit class-library bitmap, wrapped for the
  /// call; other pixel formats draw nothing.
  void RenderToTBitmap(TBitmap* dest, void**& rowTable, Integer*& colTable, Integer*& rowIndexTable,
                       const TRect* updateRect, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                       Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight, bool enableAlpha,
                       bool solidBackground, Integer transparency, TResampleFilter filter, bool freeTables,
                       TLKRenderOperation op);
  /// RenderToTLKBitmap with fresh tables freed on return, no update
  /// rectangle, the alpha channel enabled and no solid background.
  void RenderToTLKBitmapEx(TLKBitmap* dest, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                           Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight,
                           Integer transparency, TResampleFilter filter, TLKRenderOperation op);
  /// RenderToTLKBitmapEx into a class-library bitmap (through RenderToTBitmap).
  void RenderToTBitmapEx(TBitmap* dest, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                         Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight,
                         Integer transparency, TResampleFilter filter, TLKRenderOperation op);

  // --- Rectangle stretch with alpha (lkbitmap_stretch.cpp) ------------------

  /// Copies the source rectangle (sourceX, sourceY, sourceWidth,
  /// sourceHeight) of this bitmap, stretched, into the rectangle (destX,
  /// destY, destWidth, destHeight) of the lk24RGB bitmap `dest`, clipped to
  /// dest; source positions are limited to this bitmap. Steps are 14-bit
  /// fixed point (column x takes source column sourceX + ((x - destX) x
  /// step >> 14)). lk1g sources write white and black, lk24RGB sources their
  /// colours; other formats leave dest's pixels alone. dest always ends with
  /// an alpha channel: over the drawn rectangle it takes this bitmap's alpha
  /// limited to `transparency` when this bitmap has a partial (not Full)
  /// alpha channel, else `transparency` itself. A filter other than rfNone
  /// resamples the rectangle (and its alpha) to the destination size first
  /// when the sizes differ. Empty rectangles, a nil or non-24-bit dest draw
  /// nothing.
  void StretchRectTo(TLKBitmap* dest, Integer destX, Integer destY, Integer destWidth, Integer destHeight,
                     Integer sourceX, Integer sourceY, Integer sourceWidth, Integer sourceHeight,
                     TResampleFilter filter, Integer transparency);

  // ---- drawing on a device canvas (printer pages; processing/lkcanvasdraw.cpp)

  /// Draws the whole bitmap into the rectangle x, y, width x height of a
  /// device canvas. rfNone: one DIB of the whole bitmap, gamma-corrected
  /// (gamma neither 0 nor 1), stretched by the canvas. Another filter: the
  /// bitmap is resampled once to the rectangle's size, gamma-corrected
  /// (gamma above 0 and not 1) and sent in strips of at most 40 MiB and a
  /// quarter of MinFileSize (at least one row). Empty bitmaps or rectangles
  /// draw nothing. Each step writes a line to the print log.
  void RenderToCanvas(TCanvas* canvas, Integer x, Integer y, Integer width, Integer height,
                      TResampleFilter filter, double gamma);
  /// RenderToCanvas at the bitmap's own size, no filter, no gamma.
  void DrawToCanvas(TCanvas* canvas, Integer x, Integer y);

  // Per-format drawing slots. Each walks dest rows y1..y2 and columns
  // x1..x2 (inclusive, already clipped); colTable and rowIndexTable start at
  // the entries of x1 and y1 and hold source columns and rows inside this
  // bitmap. The _alpha slots mix by min(transparency, alpha), alpha being
  // the alpha channel's sample when `alpha` is true, else constAlpha's
  // (indexed by source column). xStep and yStep are the 14-bit fixed-point
  // source-per-dest ratios. A descendant may replace the drawing of one
  // format.
  virtual void Render_lk24RGB(void** rowTable, TLKBitmap* dest, const Integer* colTable,
                              const Integer* rowIndexTable, Integer sourceX, Integer sourceY, Integer destX,
                              Integer destY, Integer x1, Integer y1, Integer x2, Integer y2, Integer xStep,
                              Integer yStep, bool solidBackground, TLKRenderOperation op);
  virtual void Render_lk24RGB_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,
                                    const Byte* constAlpha, const Integer* colTable, const Integer* rowIndexTable,
                                    Integer sourceX, Integer sourceY, Integer destX, Integer destY, Integer x1,
                                    Integer y1, Integer x2, Integer y2, Integer xStep, Integer yStep,
                                    bool solidBackground, TLKRenderOperation op);
#define LK_RENDER_SLOTS(NAME)                                                                                  \
  virtual void Render_##NAME(void** rowTable, TLKBitmap* dest, const Integer* colTable,                       \
                             const Integer* rowIndexTable, Integer sourceX, Integer sourceY, Integer destX,   \
                             Integer destY, Integer x1, Integer y1, Integer x2, Integer y2, Integer xStep,    \
                             Integer yStep, bool solidBackground);                                            \
  virtual void Render_##NAME##_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,      \
                                     const Byte* constAlpha, const Integer* colTable,                         \
                                     const Integer* rowIndexTable, Integer sourceX, Integer sourceY,          \
                                     Integer destX, Integer destY, Integer x1, Integer y1, Integer x2,        \
                                     Integer y2, Integer xStep, Integer yStep, bool solidBackground);
  LK_RENDER_SLOTS(lk1g)
  LK_RENDER_SLOTS(lk8g)
  LK_RENDER_SLOTS(lk8p)
  LK_RENDER_SLOTS(lk16g)
  LK_RENDER_SLOTS(lk32f)
  LK_RENDER_SLOTS(lkCMYK)
  LK_RENDER_SLOTS(lkCIELab)
#undef LK_RENDER_SLOTS
  virtual void Render_lk48RGB(void** rowTable, TLKBitmap* dest, const Integer* colTable,
                              const Integer* rowIndexTable, Integer sourceX, Integer sourceY, Integer destX,
                              Integer destY, Integer x1, Integer y1, Integer x2, Integer y2, Integer xStep,
                              Integer yStep, bool solidBackground, TLKRenderOperation op);
  virtual void Render_lk48RGB_alpha(void** rowTable, TLKBitmap* dest, Integer transparency, bool alpha,
                                    const Byte* constAlpha, const Integer* colTable, const Integer* rowIndexTable,
                                    Integer sourceX, Integer sourceY, Integer destX, Integer destY, Integer x1,
                                    Integer y1, Integer x2, Integer y2, Integer xStep, Integer yStep,
                                    bool solidBackground, TLKRenderOperation op);
  // --- End of rendering into 24-bit bitmaps ---------------------------------

 private:
  friend class LKBitmapTestAccess;  // tests reach TBitmap storage through it
  void InitDefaults();
  void AllocateImage();
  void AllocateVclImage();
  void AssignVclImage(TLKBitmap* source, bool takeAlignment);
  void FreeVclBitmap();
  void FreeMemoryBlock();
  void CopyRowsFrom(TLKBitmap* source);
  void CopyPaletteFrom(TLKBitmap* source);
  void FillAllBytes(Byte value);
  void ReleaseMappedRow();

  TLKFileBuffer* FileBuffer = nullptr;
  void* MappedRow = nullptr;
  TRGB* Palette = nullptr;
  Integer PaletteLen = 0;
  TLKBitmap* AlphaChannel = nullptr;
  Byte* Memory = nullptr;
  void* MemoryBlock = nullptr;
  TBitmap* VclBitmap = nullptr;
  std::vector<Byte*> BitmapScanlines;
  std::vector<void*> MappedRows;
  Integer Width = 0;
  Integer Height = 0;
  Integer BitCount = 0;
  Integer ChannelCount = 0;
  Integer RowLen = 0;
  TLKPixelFormat PixelFormat = lknull;
  bool IsAlphaChannel = false;
  TLKLocation Location = lkFile;
  bool Full = false;
  bool VclBitmapEncapsulated = false;
  bool MemoryEncapsulated = false;
  Integer MinFileSize = 0;
  TLKDitherMethod DitherMethod = lkThreshold;
  Integer QuantizeColorCount = 256;
  double BlackValue = 0;
  double WhiteValue = 0;
  Integer ChannelOffset[4] = {0, 0, 0, 0};
  bool ChannelOffsetEnabled = false;
  Integer Contrast = 0;
  Integer BitAlignment = 32;
  TLKMemoryAllocator MemoryAllocator = lkmaAuto;
  bool ReallocPending = true;
  // File storage: the row, access and file change count of MappedRow, so
  // that asking again for the same row (pixel by pixel) reuses it.
  Integer mappedY_ = -1;
  TLKDataAccess mappedAccess_;
  UInt64 mappedChange_ = 0;
  // Allocator that gave MemoryBlock (MemoryAllocator may change afterwards).
  TLKMemoryAllocator blockAllocator_ = lkmaAuto;
};

/// Reads the header of a raw stream form from the first Size bytes of
/// Buffer (a form's header takes at most 843 bytes): the picture it
/// announces and the least and most bytes the whole form takes (without and
/// with an alpha channel). False when the header is not whole or is refused
/// as LoadRAWFromBufferOrStream refuses it.
bool LKRAWFormHeader(const void* Buffer, Int64 Size, Integer& Width, Integer& Height, TLKPixelFormat& Format,
                     Int64& MinBytes, Int64& MaxBytes);
