// The codec entry points the I/O component calls for its built-in formats,
// one per reader and writer, each with the extras its format needs (masks,
// page counts, byte counts, icon sizes, layers). The table is filled beside
// the codecs (LKDefaultCodecEntries), so this module includes no codec
// header. A null entry stands for a codec the library does not have yet:
// the operation that needs it sets the abort flag and writes nothing.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TLKBitmap;
class TLKMask;
class TIOParamsVals;

/// Entry points of the built-in codecs. Readers read from the stream's
/// position and, with ParamsOnly, fill only the parameters. A reader that
/// returns an alpha mask stores a new TLKMask in Mask (the caller frees it).
/// Failures set the abort flag that Progress points to.
struct TLKCodecEntries {
  // JPEG (type 3).
  void (*ReadJpeg)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*WriteJpeg)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // TIFF (type 1): page TIFF_IMAGEINDEX; PageCount receives the number of
  // pages. RelativeOffsets: offsets count from the position where the TIFF
  // starts. The writer returns the page count (Append false: a new file).
  void (*ReadTIFF)(TStream& S, TLKBitmap& B, Integer& PageCount, TIOParamsVals& P, TProgressRec& Pr,
                   bool ParamsOnly, TLKMask*& Mask, bool RelativeOffsets, bool IgnoreAlpha,
                   bool ThumbnailMode) = nullptr;
  Integer (*WriteTIFF)(TStream& S, bool Append, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // GIF (type 2): frame GIF_IMAGEINDEX; FrameCount receives the number of
  // frames.
  void (*ReadGIF)(TStream& S, TLKBitmap& B, Integer& FrameCount, TIOParamsVals& P, TProgressRec& Pr,
                  bool ParamsOnly, TLKMask*& Mask) = nullptr;
  void (*WriteGIF)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // PCX (type 4): reads at most ByteCount bytes.
  void (*ReadPCX)(TStream& S, TLKBitmap& B, TIOParamsVals& P, Int64 ByteCount, TProgressRec& Pr,
                  bool ParamsOnly) = nullptr;
  void (*WritePCX)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // Multi-page PCX (type 19): page DCX_IMAGEINDEX; the insert adds the bitmap
  // as that page to the file held by the stream, starting one when empty.
  void (*ReadDCX)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*InsertDCX)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // BMP (type 5): BlockSize 0 reads the whole stream.
  void (*ReadBMP)(TStream& S, TLKBitmap& B, Int64 BlockSize, TIOParamsVals& P, TProgressRec& Pr,
                  bool ParamsOnly, TLKMask*& Mask, bool IgnoreAlpha) = nullptr;
  void (*WriteBMP)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool HandleTransparency) = nullptr;
  // Icons (type 6) and cursors (type 7): image ICO_IMAGEINDEX or
  // CUR_IMAGEINDEX. The icon writer writes one image per size.
  void (*ReadICO)(TStream& S, TLKBitmap& B, TIOParamsVals& P, bool ParamsOnly, TProgressRec& Pr,
                  TLKMask*& Mask) = nullptr;
  void (*ReadCUR)(TStream& S, TLKBitmap& B, TIOParamsVals& P, bool ParamsOnly, TProgressRec& Pr,
                  TLKMask*& Mask) = nullptr;
  void (*WriteICO)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, const std::vector<TSize>& Sizes,
                   const std::vector<Integer>& BitCounts) = nullptr;
  /// One icon image per bitmap of Images.
  void (*WriteICOImages)(TStream& S, const std::vector<TObject*>& Images, TProgressRec& Pr) = nullptr;
  // PNG (type 8): the reader puts transparency into the bitmap's alpha
  // channel itself; the writer takes an optional mask.
  void (*ReadPNG)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*WritePNG)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, TLKMask* Mask) = nullptr;
  // Targa (type 11).
  void (*ReadTGA)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly,
                  TLKMask*& Mask) = nullptr;
  void (*WriteTGA)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, TLKMask* Mask) = nullptr;
  // Portable bitmap, grey map, pixmap (type 12).
  void (*ReadPXM)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*WritePXM)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // Wireless bitmap (type 16).
  void (*ReadWBMP)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*WriteWBMP)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // JPEG 2000 (types 13 and 14): Format 0 a JPEG 2000 file, 1 a code stream.
  void (*ReadJ2K)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
  void (*WriteJ2K)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, Integer Format) = nullptr;
  // Headerless raw pixels (type 21): the bitmap is sized and formatted by
  // the caller; the BMPRAW_ options give the layout.
  void (*ReadBMPRAW)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  void (*WriteBMPRAW)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr) = nullptr;
  // PSD (type 24): the merged picture into B (null: parameters only) and,
  // with LoadLayers, one layer object per layer into Layers (the caller
  // frees them). The writer takes the merged picture and the layer list.
  void (*ReadPSD)(TStream& S, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr, bool LoadLayers,
                  TList* Layers) = nullptr;
  void (*WritePSD)(TStream& S, TIOParamsVals& P, TProgressRec& Pr, TLKBitmap* Merged, TList* Layers) = nullptr;
  // The library's camera RAW reader (type 20).
  void (*ReadCameraRAW)(TStream& S, TLKBitmap& B, TIOParamsVals& P, TProgressRec& Pr, bool ParamsOnly) = nullptr;
};

/// The library's codecs (defined beside them).
TLKCodecEntries LKDefaultCodecEntries();

/// The entries the I/O component uses: LKDefaultCodecEntries on first use.
/// Replaceable as a whole (tests put stand-in codecs here and restore the
/// table afterwards); not guarded: change it only while no I/O runs.
TLKCodecEntries& LKCodecEntries();
